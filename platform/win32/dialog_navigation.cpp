// Keyboard navigation in dialogs, and the helpers that address a dialog's
// controls by id.
#include "platform/win32/dialog_internal.h"
#include "platform/win32/input.h"
#include "platform/win32/message.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <string>
#include <vector>

namespace
{

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

// Shown and enabled as far as the dialog goes (the dialog itself may still
// be hidden while it is being set up).
bool Reachable(HWND dialog, HWND hwnd)
{
    for (HWND h = hwnd; h && h != dialog; h = GetParent(h))
    {
        const DWORD style = StyleOf(h);
        if (!(style & WS_VISIBLE) || (style & WS_DISABLED))
            return false;
    }
    return true;
}

// The dialog's controls in tab order: its children front to back, with the
// controls of a child that is a control parent (a nested dialog page) in its
// place.
void CollectControls(HWND parent, std::vector<HWND>& out, int depth)
{
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    {
        if ((GetWindowLongPtrW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) && depth < 16)
            CollectControls(c, out, depth + 1);
        else
            out.push_back(c);
    }
}

// The control among ctls that holds hwnd (hwnd itself, or its ancestor: the
// edit inside a combo box, say).
std::ptrdiff_t IndexOf(const std::vector<HWND>& ctls, HWND hwnd)
{
    for (HWND h = hwnd; h; h = GetParent(h))
    {
        auto it = std::find(ctls.begin(), ctls.end(), h);
        if (it != ctls.end())
            return it - ctls.begin();
    }
    return -1;
}

bool IsAutoRadio(HWND hwnd)
{
    return (StyleOf(hwnd) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
           (SendMessageW(hwnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON);
}

void PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button))
        return;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// Handles a navigation key; false when the key is the control's own.
bool NavigationKey(HWND dialog, const MSG& msg, LRESULT code)
{
    const auto vk = static_cast<WORD>(msg.wParam);
    switch (vk)
    {
    case VK_TAB:
        if (code & DLGC_WANTTAB)
            return false;
        SendMessageW(dialog, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0, 0);
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    {
        if (code & DLGC_WANTARROWS)
            return false;
        HWND focus = GetFocus();
        HWND next = GetNextDlgGroupItem(dialog, focus, vk == VK_LEFT || vk == VK_UP);
        if (next && next != focus)
        {
            win32::detail::SetDialogFocus(dialog, next);
            if (IsAutoRadio(next))
                SendMessageW(next, BM_CLICK, 0, 0);
        }
        return true;
    }
    case VK_RETURN:
    {
        // A focused push button is pressed; otherwise the default one.
        int id = win32::detail::DialogDefaultId(dialog);
        if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))
            id = GetDlgCtrlID(msg.hwnd);
        PressButton(dialog, id);
        return true;
    }
    case VK_ESCAPE:
        PressButton(dialog, IDCANCEL);
        return true;
    default:
        return false;
    }
}

} // namespace

BOOL IsDialogMessageW(HWND dialog, MSG* msg)
{
    if (!msg || !dialog || !IsWindow(dialog) || !msg->hwnd)
        return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))
        return FALSE;
    if (msg->message == WM_KEYDOWN || msg->message == WM_CHAR)
    {
        const LRESULT code =
            SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (!(code & DLGC_WANTALLKEYS))
        {
            if (msg->message == WM_KEYDOWN && NavigationKey(dialog, *msg, code))
                return TRUE;
            // The characters of the navigation keys are not typed anywhere.
            const auto ch = static_cast<wchar_t>(msg->wParam);
            if (msg->message == WM_CHAR && (ch == L'\r' || ch == 0x1B || (ch == L'\t' && !(code & DLGC_WANTTAB))))
                return TRUE;
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    if (!dialog || !IsWindow(dialog))
        return nullptr;
    std::vector<HWND> ctls;
    CollectControls(dialog, ctls, 0);
    const auto n = static_cast<std::ptrdiff_t>(ctls.size());
    if (n == 0)
        return nullptr;
    auto eligible = [&](HWND h) { return (StyleOf(h) & WS_TABSTOP) && Reachable(dialog, h); };
    const std::ptrdiff_t at = control ? IndexOf(ctls, control) : -1;
    const std::ptrdiff_t step = previous ? -1 : 1;
    std::ptrdiff_t i = at >= 0 ? at : (previous ? 0 : n - 1);
    for (std::ptrdiff_t k = 0; k < n; ++k)
    {
        i = (i + step + n) % n;
        if (i == at)
            break;
        if (eligible(ctls[static_cast<std::size_t>(i)]))
            return ctls[static_cast<std::size_t>(i)];
    }
    return at >= 0 ? ctls[static_cast<std::size_t>(at)] : nullptr;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous)
{
    if (!dialog || !IsWindow(dialog))
        return nullptr;
    std::vector<HWND> ctls;
    CollectControls(dialog, ctls, 0);
    const std::ptrdiff_t at = control ? IndexOf(ctls, control) : -1;
    if (at < 0)
        return nullptr;
    // The group: from the nearest WS_GROUP control at or before this one, up
    // to the next WS_GROUP control.
    std::ptrdiff_t first = at;
    while (first > 0 && !(StyleOf(ctls[static_cast<std::size_t>(first)]) & WS_GROUP))
        --first;
    std::ptrdiff_t last = at + 1;
    while (last < static_cast<std::ptrdiff_t>(ctls.size()) && !(StyleOf(ctls[static_cast<std::size_t>(last)]) & WS_GROUP))
        ++last;
    const std::ptrdiff_t n = last - first;
    std::ptrdiff_t i = at - first;
    for (std::ptrdiff_t k = 1; k < n; ++k)
    {
        i = (i + (previous ? -1 : 1) + n) % n;
        HWND h = ctls[static_cast<std::size_t>(first + i)];
        if (Reachable(dialog, h))
            return h;
    }
    return ctls[static_cast<std::size_t>(at)];
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageW(control, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int maxCount)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control)
    {
        if (buffer && maxCount > 0)
            buffer[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(control, buffer, maxCount));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    const std::wstring text =
        isSigned ? std::to_wstring(static_cast<int>(value)) : std::to_wstring(static_cast<unsigned>(value));
    return SetDlgItemTextW(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned)
{
    if (translated)
        *translated = FALSE;
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return 0;
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
    {
        negative = text[i] == L'-';
        if (negative && !isSigned)
            return 0;
        ++i;
    }
    const std::size_t digits = i;
    unsigned long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
    {
        value = value * 10 + static_cast<unsigned>(text[i] - L'0');
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    if (i == digits)
        return 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    if (i != text.size())
        return 0;
    if (isSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return 0;
    if (translated)
        *translated = TRUE;
    return negative ? static_cast<UINT>(0ull - value) : static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND button = GetDlgItem(dialog, id);
    if (!button)
        return FALSE;
    SendMessageW(button, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    // The buttons are the dialog's children in the range, not every number in it.
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    {
        const int id = GetDlgCtrlID(c);
        if (id >= firstId && id <= lastId)
            SendMessageW(c, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}
