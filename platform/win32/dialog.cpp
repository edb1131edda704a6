// Dialog windows: creation from a template, the default dialog procedure and
// the modal loop. Navigation between controls is in dialog_navigation.cpp.
#include "platform/win32/codepage.h"
#include "platform/win32/device_context.h"
#include "platform/win32/dialog_internal.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/input.h"
#include "platform/win32/message.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace win32::detail
{

namespace
{

struct DialogTable
{
    std::mutex lock;
    std::map<HWND, std::shared_ptr<DialogState>> dialogs;
};

DialogTable& Table()
{
    static DialogTable* table = new DialogTable;
    return *table;
}

void Forget(HWND hwnd)
{
    std::shared_ptr<DialogState> doomed;
    {
        DialogTable& t = Table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.dialogs.find(hwnd);
        if (it == t.dialogs.end())
            return;
        doomed = std::move(it->second);
        t.dialogs.erase(it);
    }
    if (doomed->font)
        DeleteObject(doomed->font);
}

void Remember(HWND hwnd, std::shared_ptr<DialogState> state)
{
    static const bool observing = []
    {
        AddWindowObserver({nullptr, &Forget});
        return true;
    }();
    (void)observing;
    DialogTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.dialogs[hwnd] = std::move(state);
}

[[maybe_unused]] const bool g_dialogClass = []
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_GLOBALCLASS;
    wc.lpfnWndProc = &DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = WC_DIALOGW;
    RegisterClassExW(&wc);
    return true;
}();

// The face that dialogs without a FONT statement use.
constexpr const wchar_t* kDefaultFace = L"MS Shell Dlg";
constexpr int kDefaultPointSize = 8;
constexpr int kScreenDpi = 96;

HFONT CreateDialogFont(const DialogTemplate& t)
{
    const int points = t.fontFace.empty() ? kDefaultPointSize : t.pointSize;
    const wchar_t* face = t.fontFace.empty() ? kDefaultFace : t.fontFace.c_str();
    const int height = -((points * kScreenDpi + 36) / 72);
    return CreateFontW(height, 0, 0, 0, t.fontFace.empty() ? FW_NORMAL : t.weight, t.italic ? TRUE : FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

// Average character width over the letters, and the font's height: what a
// dialog unit is a fraction of.
SIZE BaseUnitsOf(HFONT font)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE letters{};
    GetTextExtentPoint32W(dc, kLetters, 52, &letters);
    SelectObject(dc, old);
    DeleteDC(dc);
    SIZE base{(letters.cx / 26 + 1) / 2, tm.tmHeight};
    base.cx = std::max<LONG>(base.cx, 1);
    base.cy = std::max<LONG>(base.cy, 1);
    return base;
}

// Template coordinates are 16-bit and base units a few dozen pixels, so this
// stays far inside int; the clamp keeps it so for any font.
int Scale(int units, LONG base, int divisor)
{
    const long long v = static_cast<long long>(units) * base / divisor;
    return static_cast<int>(std::clamp<long long>(v, -1000000, 1000000));
}

RECT ToPixels(SIZE base, int x, int y, int cx, int cy)
{
    const int left = Scale(x, base.cx, 4);
    const int top = Scale(y, base.cy, 8);
    return RECT{left, top, left + Scale(cx, base.cx, 4), top + Scale(cy, base.cy, 8)};
}

bool IsControlMessage(UINT message)
{
    return message == WM_INITDIALOG || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

WORD DefaultId(HWND dialog, const DialogState* state)
{
    if (state && state->defId)
        return state->defId;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
            return static_cast<WORD>(GetDlgCtrlID(c));
    return IDOK;
}

void SetDefaultId(HWND dialog, DialogState& state, WORD id)
{
    // The old default button looks like any other; the new one gets the frame.
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    {
        const LRESULT code = SendMessageW(c, WM_GETDLGCODE, 0, 0);
        if ((code & DLGC_DEFPUSHBUTTON) && GetDlgCtrlID(c) != id)
            SendMessageW(c, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        else if ((code & DLGC_UNDEFPUSHBUTTON) && GetDlgCtrlID(c) == id)
            SendMessageW(c, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
    state.defId = id;
}

// Destroys the dialog and enables its owner again on every way out of a
// modal run, an unanswered prompt included.
struct ModalRun
{
    HWND dialog = nullptr;
    HWND owner = nullptr;
    bool ownerDisabled = false;
    ~ModalRun()
    {
        if (ownerDisabled && IsWindow(owner))
            EnableWindow(owner, TRUE);
        if (IsWindow(dialog))
            DestroyWindow(dialog);
        if (IsWindow(owner))
            SetActiveWindow(owner);
    }
};

} // namespace

std::shared_ptr<DialogState> FindDialog(HWND hwnd)
{
    DialogTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.dialogs.find(hwnd);
    return it == t.dialogs.end() ? nullptr : it->second;
}

void SetDialogFocus(HWND dialog, HWND control)
{
    if (!control || !IsWindow(control))
        return;
    SetFocus(control);
    if (GetFocus() == control && (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
        SendMessageW(control, EM_SETSEL, 0, -1);
    if (auto state = FindDialog(dialog))
        state->lastFocus = control;
}

bool SameGroup(HWND dialog, HWND a, HWND b)
{
    if (!a || !b)
        return false;
    for (HWND h = GetNextDlgGroupItem(dialog, a, FALSE); h && h != a; h = GetNextDlgGroupItem(dialog, h, FALSE))
        if (h == b)
            return true;
    return false;
}

WORD DialogDefaultId(HWND dialog)
{
    return DefaultId(dialog, FindDialog(dialog).get());
}

} // namespace win32::detail

using win32::detail::DialogState;
using win32::detail::FindDialog;

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW t, HWND parent, DLGPROC dialogProc,
                                LPARAM initParam)
{
    if (!t)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto state = std::make_shared<DialogState>();
    state->proc = dialogProc;
    state->font = win32::detail::CreateDialogFont(*t);
    state->baseUnits = win32::detail::BaseUnitsOf(state->font);
    const bool child = (t->style & WS_CHILD) != 0;
    const DWORD style = t->style & ~WS_VISIBLE;
    DWORD exStyle = t->exStyle;
    if (t->style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME;
    if (t->style & DS_CONTROL)
        exStyle |= WS_EX_CONTROLPARENT;

    // The template gives the client area; the window gets its frame around it.
    RECT r = win32::detail::ToPixels(state->baseUnits, t->x, t->y, t->cx, t->cy);
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    if (!child && parent && !(t->style & DS_ABSALIGN))
    {
        POINT origin{0, 0};
        ClientToScreen(parent, &origin);
        OffsetRect(&r, origin.x, origin.y);
    }
    const std::wstring className = t->className.empty() ? std::wstring(WC_DIALOGW) : t->className;
    HWND dialog = CreateWindowExW(exStyle, className.c_str(), t->caption.c_str(), style, r.left, r.top,
                                  r.right - r.left, r.bottom - r.top, parent, nullptr, instance,
                                  reinterpret_cast<LPVOID>(initParam));
    if (!dialog)
    {
        DeleteObject(state->font);
        return nullptr;
    }
    win32::detail::Remember(dialog, state);
    if (t->style & DS_CENTER)
    {
        RECT self{}, area{};
        GetWindowRect(dialog, &self);
        if (parent && !child)
            GetWindowRect(parent, &area);
        else if (parent)
            GetClientRect(parent, &area);
        else
        {
            MONITORINFO mi{sizeof(MONITORINFO), {}, {}, 0};
            GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &mi);
            area = mi.rcWork;
        }
        const int w = self.right - self.left, h = self.bottom - self.top;
        SetWindowPos(dialog, nullptr, (area.left + area.right - w) / 2, (area.top + area.bottom - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);

    for (const win32::DialogItemTemplate& item : t->items)
    {
        if (!IsWindow(dialog))
            return nullptr;
        const RECT c = win32::detail::ToPixels(state->baseUnits, item.x, item.y, item.cx, item.cy);
        HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(), item.style,
                                       c.left, c.top, c.right - c.left, c.bottom - c.top, dialog,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
        if (!control)
        {
            if (t->style & DS_NOFAILCREATE)
                continue;
            DestroyWindow(dialog);
            return nullptr;
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    }
    if (!IsWindow(dialog))
        return nullptr;

    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    const LRESULT wantsFocus =
        SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam);
    if (!IsWindow(dialog))
        return nullptr;
    if (wantsFocus && first && IsWindow(first))
        win32::detail::SetDialogFocus(dialog, first);
    if ((t->style & WS_VISIBLE) && IsWindow(dialog))
    {
        ShowWindow(dialog, SW_SHOWNORMAL);
        UpdateWindow(dialog);
    }
    return IsWindow(dialog) ? dialog : nullptr;
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc,
                        LPARAM initParam)
{
    auto t = win32::FindDialogTemplate(instance, templateName);
    if (!t)
    {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return CreateDialogIndirectParamW(instance, &*t, parent, dialogProc, initParam);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW t, HWND owner, DLGPROC dialogProc,
                                LPARAM initParam)
{
    win32::detail::ModalRun run;
    run.owner = owner;
    if (owner && IsWindowEnabled(owner))
    {
        EnableWindow(owner, FALSE);
        run.ownerDisabled = true;
    }
    run.dialog = CreateDialogIndirectParamW(instance, t, owner, dialogProc, initParam);
    if (!run.dialog)
        return -1;
    if (auto state = FindDialog(run.dialog))
        state->modal = true;
    ShowWindow(run.dialog, SW_SHOW);
    HWND dialog = run.dialog;
    return win32::RunModalDialogLoop(dialog,
                                     [dialog]
                                     {
                                         MSG msg{};
                                         while (win32::PeekMessageLeavingQuit(&msg))
                                             if (!IsDialogMessageW(dialog, &msg))
                                             {
                                                 TranslateMessage(&msg);
                                                 DispatchMessageW(&msg);
                                             }
                                     });
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam)
{
    auto t = win32::FindDialogTemplate(instance, templateName);
    if (!t)
    {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    return DialogBoxIndirectParamW(instance, &*t, owner, dialogProc, initParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    auto state = FindDialog(dialog);
    if (!state)
        return FALSE;
    state->ended = true;
    state->result = result;
    if (state->modal)
        ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto state = FindDialog(dialog);
    if (state && state->proc)
    {
        const INT_PTR handled = state->proc(dialog, message, wParam, lParam);
        if (handled)
            return win32::detail::IsControlMessage(message) ? handled : GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
        if (!IsWindow(dialog))
            return 0;
    }
    switch (message)
    {
    case WM_CLOSE:
    {
        // Closing is cancelling, unless Cancel is there and disabled.
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID:
        return MAKELONG(win32::detail::DefaultId(dialog, state.get()), DC_HASDEFID);
    case DM_SETDEFID:
        if (state)
            win32::detail::SetDefaultId(dialog, *state, static_cast<WORD>(wParam));
        return TRUE;
    case WM_NEXTDLGCTL:
    {
        HWND from = GetFocus();
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(dialog, from, wParam != 0);
        // Going back from inside a group of radio buttons leaves the group,
        // rather than stopping at the group's own tab stop.
        auto radio = [](HWND h) { return h && (SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON); };
        if (!LOWORD(lParam) && wParam && target != from && radio(from) && radio(target) &&
            win32::detail::SameGroup(dialog, from, target))
            target = GetNextDlgTabItem(dialog, target, TRUE);
        // Tabbing into a group of radio buttons lands on the checked one.
        if (!LOWORD(lParam) && target && (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) &&
            SendMessageW(target, BM_GETCHECK, 0, 0) == BST_UNCHECKED)
            for (HWND h = GetNextDlgGroupItem(dialog, target, FALSE); h && h != target;
                 h = GetNextDlgGroupItem(dialog, h, FALSE))
                if ((SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) &&
                    SendMessageW(h, BM_GETCHECK, 0, 0) != BST_UNCHECKED)
                {
                    target = h;
                    break;
                }
        if (target && (target == dialog || IsChild(dialog, target)))
            win32::detail::SetDialogFocus(dialog, target);
        return 0;
    }
    case WM_SETFOCUS:
    {
        // The dialog hands the focus on to the control that had it last.
        HWND target = state && IsWindow(state->lastFocus) && IsChild(dialog, state->lastFocus)
                          ? state->lastFocus
                          : GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (target)
            win32::detail::SetDialogFocus(dialog, target);
        return 0;
    }
    case WM_SETFONT:
        if (state)
            state->shownFont = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return state ? reinterpret_cast<LRESULT>(state->shownFont) : 0;
    case WM_ERASEBKGND:
    {
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : GetDC(dialog);
        RECT client{};
        GetClientRect(dialog, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        if (!wParam)
            ReleaseDC(dialog, dc);
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE && state)
            if (HWND focus = GetFocus(); focus && IsChild(dialog, focus))
                state->lastFocus = focus;
        return DefWindowProcW(dialog, message, wParam, lParam);
    default:
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

BOOL MapDialogRect(HWND dialog, RECT* rect)
{
    auto state = FindDialog(dialog);
    if (!state || !rect)
        return FALSE;
    *rect = win32::detail::ToPixels(state->baseUnits, rect->left, rect->top, rect->right - rect->left,
                                    rect->bottom - rect->top);
    return TRUE;
}

LONG GetDialogBaseUnits()
{
    static const SIZE base = []
    {
        HFONT font = win32::detail::CreateDialogFont(win32::DialogTemplate{});
        SIZE b = win32::detail::BaseUnitsOf(font);
        DeleteObject(font);
        return b;
    }();
    return MAKELONG(base.cx, base.cy);
}

namespace win32
{

RECT DialogUnitsToPixels(const DialogTemplate& t, int x, int y, int cx, int cy)
{
    HFONT font = detail::CreateDialogFont(t);
    const SIZE base = detail::BaseUnitsOf(font);
    DeleteObject(font);
    return detail::ToPixels(base, x, y, cx, cy);
}

bool IsDialogEnded(HWND dialog, INT_PTR* result)
{
    auto state = FindDialog(dialog);
    if (!state || !state->ended)
        return false;
    if (result)
        *result = state->result;
    return true;
}

INT_PTR RunModalDialogLoop(HWND dialog, const std::function<void()>& pump)
{
    auto state = FindDialog(dialog);
    if (!state)
        return -1;
    state->modal = true;
    std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(dialog)) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(GetWindowTextW(dialog, caption.data(), static_cast<int>(caption.size()))));
    pump();
    // Each round takes the next answer; a dialog that keeps refusing its
    // answers runs out of them and fails as an unexpected prompt. A handler
    // that answers forever is cut off as well.
    constexpr int kMaxRounds = 1000;
    for (int round = 0; !state->ended && IsWindow(dialog); ++round)
    {
        if (round == kMaxRounds)
            throw UnexpectedPrompt("the dialog \"" + WideToUtf8(caption) + "\" does not end with its answers");
        const INT_PTR answer = AnswerPrompt(kDialogPrompt, caption, dialog);
        pump();
        if (state->ended || !IsWindow(dialog))
            break;
        // An answer of 0 presses nothing: the script only looked at the
        // dialog (took its picture), and the next answer follows.
        if (answer == 0)
            continue;
        // The answer is the control the user ends with: OK, Cancel, or any
        // other command button.
        HWND control = GetDlgItem(dialog, static_cast<int>(answer));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(answer), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
        pump();
    }
    return state->ended ? state->result : -1;
}

} // namespace win32
