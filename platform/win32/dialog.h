// Dialogs: windows built from a dialog template of the resource script, with
// the default dialog procedure (the default button, closing as Cancel, the
// saved focus), keyboard navigation between the controls (IsDialogMessageW:
// Tab and Shift+Tab over the WS_TABSTOP controls, the arrows inside a group,
// Enter for the default button, Escape for Cancel), and modal dialogs, whose
// loop asks the prompt script (prompt_script.h, kind "dialog", matched
// against the caption) instead of waiting for a person.
#pragma once

#include "platform/win32/controls.h"
#include "platform/win32/resource.h"
#include "platform/win32/types.h"

#include <functional>

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using LPCDLGTEMPLATEW = const win32::DialogTemplate*;

// The class of dialog windows whose template names none.
inline constexpr const wchar_t* WC_DIALOGW = L"#32770";
// Extra window bytes a class must reserve for windows that DefDlgProcW serves.
inline constexpr int DLGWINDOWEXTRA = 30;

// Dialog styles.
inline constexpr DWORD DS_ABSALIGN = 0x0001;
inline constexpr DWORD DS_SYSMODAL = 0x0002;
inline constexpr DWORD DS_3DLOOK = 0x0004;
inline constexpr DWORD DS_FIXEDSYS = 0x0008;
inline constexpr DWORD DS_NOFAILCREATE = 0x0010;
inline constexpr DWORD DS_LOCALEDIT = 0x0020;
inline constexpr DWORD DS_SETFONT = 0x0040;
inline constexpr DWORD DS_MODALFRAME = 0x0080;
inline constexpr DWORD DS_NOIDLEMSG = 0x0100;
inline constexpr DWORD DS_SETFOREGROUND = 0x0200;
inline constexpr DWORD DS_CONTROL = 0x0400;
inline constexpr DWORD DS_CENTER = 0x0800;
inline constexpr DWORD DS_CENTERMOUSE = 0x1000;
inline constexpr DWORD DS_CONTEXTHELP = 0x2000;
inline constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// Dialog messages.
inline constexpr UINT WM_NEXTDLGCTL = 0x0028;
inline constexpr UINT DM_GETDEFID = WM_USER + 0;
inline constexpr UINT DM_SETDEFID = WM_USER + 1;
inline constexpr WORD DC_HASDEFID = 0x534B;
// Window-data index of the dialog procedure's message result.
inline constexpr int DWLP_MSGRESULT = 0;

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC dialogProc, LPARAM initParam);
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc,
                        LPARAM initParam);
inline HWND CreateDialogW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc)
{
    return CreateDialogParamW(instance, templateName, parent, dialogProc, 0);
}
// Modal: the owner is disabled while the dialog runs. Returns the EndDialog
// result, or -1 when the dialog could not be made. A prompt that nobody
// answered throws win32::UnexpectedPrompt after the dialog was destroyed and
// its owner enabled again.
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC dialogProc, LPARAM initParam);
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam);
// Ends a modal dialog's loop with this result; a modeless dialog is hidden.
BOOL EndDialog(HWND dialog, INT_PTR result);

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Handles navigation keys for the dialog and dispatches every other message
// of its windows; false for a message of another window (left to the caller).
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
// Dialog units to pixels with the dialog's font.
BOOL MapDialogRect(HWND dialog, RECT* rect);
// Base units of the system's dialog font: average width low, height high.
LONG GetDialogBaseUnits();

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int maxCount);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// The item's text as a decimal integer (spaces around it allowed); 0 with
// *translated FALSE for any other text or a value out of range.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);

namespace win32
{

// Pixels of a rectangle given in dialog units of a font (its face, point
// size, weight and italic as in a template). Coordinates are clamped so
// that no template can overflow them.
RECT DialogUnitsToPixels(const DialogTemplate& dialogTemplate, int x, int y, int cx, int cy);

// Whether the dialog's modal loop has been ended by EndDialog, and with what.
bool IsDialogEnded(HWND dialog, INT_PTR* result = nullptr);

// The loop of a modal dialog that is already made and shown. Nobody sits in
// front of the stand-in: each round asks the prompt script for the dialog's
// answer (its act may drive the controls), runs pump to dispatch what that
// left queued, and, while the dialog has not ended, presses the answered
// control (WM_COMMAND with BN_CLICKED: IDOK, IDCANCEL or any button) and
// pumps again. A dialog still running when the answers run out throws
// UnexpectedPrompt. Returns the EndDialog result (-1 when the dialog was
// destroyed without ending).
INT_PTR RunModalDialogLoop(HWND dialog, const std::function<void()>& pump);

} // namespace win32
