#include "platform/win32/control_internal.h"
#include "platform/win32/tooltip.h"
#include "platform/win32/window_internal.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

void RegisterControlClass(const wchar_t* name, WNDPROC proc, UINT style, int sysBackground)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style | CS_GLOBALCLASS;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(void*);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(sysBackground);
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

// The standard classes exist from the start, like the system's own.
[[maybe_unused]] const bool g_controlClasses = [] {
    RegisterControlClass(WC_EDITW, EditProc, CS_DBLCLKS, COLOR_WINDOW);
    RegisterControlClass(WC_BUTTONW, ButtonProc, CS_DBLCLKS, COLOR_BTNFACE);
    RegisterControlClass(WC_STATICW, StaticProc, 0, COLOR_BTNFACE);
    RegisterControlClass(WC_COMBOBOXW, ComboBoxProc, CS_DBLCLKS, COLOR_WINDOW);
    RegisterControlClass(WC_LISTBOXW, ListBoxProc, CS_DBLCLKS, COLOR_WINDOW);
    RegisterControlClass(TRACKBAR_CLASSW, TrackbarProc, 0, COLOR_BTNFACE);
    RegisterControlClass(WC_TABCONTROLW, TabControlProc, CS_DBLCLKS, COLOR_BTNFACE);
    RegisterControlClass(TOOLTIPS_CLASSW, TooltipProc, 0, COLOR_INFOBK);
    return true;
}();

} // namespace

void NotifyParent(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    if (!parent)
        return;
    const int id = GetDlgCtrlID(control);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

std::wstring WindowText(HWND hwnd)
{
    return StoredText(hwnd);
}

int RowHeight(HWND hwnd)
{
    // Measured on a context of its own: controls ask in the middle of their
    // paint, and taking the window's context again would reset the one
    // they are painting with (font, background mode) to its defaults.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    if (font)
        SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    DeleteDC(dc);
    return std::max<int>(tm.tmHeight, 8);
}

ControlPaint::ControlPaint(HWND h) : hwnd(h)
{
    dc = BeginPaint(hwnd, &ps);
    GetClientRect(hwnd, &client);
    enabled = IsWindowEnabled(hwnd) != FALSE;
    focused = GetFocus() == hwnd;
    if (!dc)
        return;
    if (auto* s = StateOf<ControlState>(hwnd); s && s->font)
        SelectObject(dc, s->font);
    SetBkMode(dc, TRANSPARENT);
}

ControlPaint::~ControlPaint()
{
    EndPaint(hwnd, &ps);
}

void ControlPaint::Fill(const RECT& r, int sysColor) const
{
    FillRect(dc, &r, GetSysColorBrush(sysColor));
}

void ControlPaint::Frame(const RECT& r, int sysColor) const
{
    FrameRect(dc, &r, GetSysColorBrush(sysColor));
}

void ControlPaint::Text(const std::wstring& text, RECT r, UINT format, int sysColor) const
{
    SetTextColor(dc, GetSysColor(enabled ? sysColor : COLOR_GRAYTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

} // namespace win32::detail
