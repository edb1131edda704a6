// Menus and accelerator tables. Menus are loaded from a module's resource
// script or built by hand; popup menus are answered by the prompt script
// (a popup that no test expected fails instead of waiting for a click).
#pragma once

#include "platform/win32/message.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/resource.h"
#include "platform/win32/types.h"

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_BITMAP = 0x0004;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_MENUBARBREAK = 0x0020;
inline constexpr UINT MF_MENUBREAK = 0x0040;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_HELP = 0x4000;

inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_CENTERALIGN = 0x0004;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

HMENU CreateMenu();
HMENU CreatePopupMenu();
HMENU LoadMenuW(HINSTANCE module, LPCWSTR name);
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
// RemoveMenu leaves a removed sub-menu alive; DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position); // 0xFFFFFFFF for sub-menus and bad positions
HMENU GetSubMenu(HMENU menu, int position);
// Previous state (MF_GRAYED / MF_DISABLED, or MF_CHECKED), 0xFFFFFFFF when no such item.
DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags);
BOOL SetMenuItemBitmaps(HMENU menu, UINT item, UINT flags, HBITMAP unchecked, HBITMAP checked);

inline constexpr UINT MIIM_ID = 0x0002;
inline constexpr UINT MIIM_SUBMENU = 0x0004;
inline constexpr UINT MIIM_CHECKMARKS = 0x0008;
struct MENUITEMINFOW
{
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPWSTR dwTypeData;
    UINT cch;
    HBITMAP hbmpItem;
};
// Fills the fields that fMask asks for among MIIM_ID, MIIM_SUBMENU and
// MIIM_CHECKMARKS; the others are left as they are.
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);

struct TPMPARAMS
{
    UINT cbSize;
    RECT rcExclude;
};
// Sends WM_INITMENUPOPUP (unless TPM_NONOTIFY), takes the script's answer (a
// command id, 0 for dismissed; it must name an enabled item), then returns
// it (TPM_RETURNCMD) or posts it as WM_COMMAND to the window.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND hwnd, const TPMPARAMS* params);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND hwnd, const RECT* rect);

// Accelerator tables.
inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FNOINVERT = 0x02;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;
struct ACCEL
{
    BYTE fVirt;
    WORD key;
    WORD cmd;
};
HACCEL LoadAcceleratorsW(HINSTANCE module, LPCWSTR name);
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// A key message that matches an entry (with the Shift, Ctrl and Alt state
// of the message) becomes WM_COMMAND (high word 1) sent to hwnd at once.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg);

namespace win32
{

// The text a popup prompt shows the script: the enabled and disabled item
// texts joined by '|' (sub-menus as their text).
std::wstring DescribeMenu(HMENU menu);
std::size_t LiveMenuCount();

// Queues the command a popup menu answers with (0: dismissed).
inline void QueuePopupMenuAnswer(UINT command, std::wstring expect = L"")
{
    QueuePromptAnswer({kPopupMenuPrompt, std::move(expect), static_cast<INT_PTR>(command), nullptr});
}

} // namespace win32
