// The combo box as a drop-down list: a selection field with an arrow, and a
// list of strings that opens inside the combo's own window below the field.
// The height a caller gives the combo (as callers of the original control
// do: field plus list) is the open height; closed, the window is only as
// tall as its field, so that the controls below it take their own clicks.
// The user picks with the mouse in the open list or with the arrow keys;
// each pick tells the parent CBN_SELCHANGE. CB_SETCURSEL tells nobody.
// WS_VSCROLL belongs to the open list, not to the field: a list with more
// strings than rows shows a scroll bar at its right, which scrolls it as
// the wheel does.
#include "platform/win32/control_internal.h"
#include "platform/win32/scroll_bar.h"
#include "platform/win32/window_internal.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

struct ComboState : ControlState
{
    ListItems list;
    bool dropped = false;
    int top = 0;            // first string shown in the open list
    bool listBar = false;   // made with WS_VSCROLL: the open list may scroll
    int thumbGrab = -1;     // while the list's thumb is dragged: where it was taken
    int openHeight = 0;     // the window's height while the list is open
    bool sizing = false;    // the combo sets its own height
};

bool Sorted(HWND hwnd)
{
    return (GetWindowLongPtrW(hwnd, GWL_STYLE) & CBS_SORT) != 0;
}

int FieldHeight(HWND hwnd, const ComboState& s)
{
    return std::max(0, std::min<int>(RowHeight(hwnd) + 6, s.openHeight));
}

int ItemHeight(HWND hwnd)
{
    return RowHeight(hwnd) + 2;
}

// Rows that fit under the field while the list is open.
int VisibleRows(HWND hwnd, const ComboState& s)
{
    return std::max(0, (s.openHeight - FieldHeight(hwnd, s) - 2) / ItemHeight(hwnd));
}

// The window's height for the list's state: the field alone while closed.
void FitHeight(HWND hwnd, ComboState& s)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    const int height = s.dropped ? s.openHeight : FieldHeight(hwnd, s);
    if (r.bottom - r.top == height)
        return;
    s.sizing = true;
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.sizing = false;
}

void ShowText(HWND hwnd, const ComboState& s)
{
    const std::wstring text =
        s.list.selected >= 0 ? s.list.items[static_cast<std::size_t>(s.list.selected)].text : std::wstring();
    SetStoredText(hwnd, text.c_str());
}

void ClampTop(HWND hwnd, ComboState& s)
{
    const int rows = std::max(1, VisibleRows(hwnd, s));
    s.top = std::clamp(s.top, 0, std::max(0, static_cast<int>(s.list.items.size()) - rows));
}

void KeepSelectionVisible(HWND hwnd, ComboState& s)
{
    const int rows = std::max(1, VisibleRows(hwnd, s));
    if (s.list.selected >= 0)
    {
        if (s.list.selected < s.top)
            s.top = s.list.selected;
        else if (s.list.selected >= s.top + rows)
            s.top = s.list.selected - rows + 1;
    }
    ClampTop(hwnd, s);
}

int ShownRows(HWND hwnd, const ComboState& s)
{
    return std::max(0, std::min(VisibleRows(hwnd, s), static_cast<int>(s.list.items.size()) - s.top));
}

SCROLLINFO ListScrollInfo(HWND hwnd, const ComboState& s)
{
    return SCROLLINFO{sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, static_cast<int>(s.list.items.size()) - 1),
                      static_cast<UINT>(std::max(1, VisibleRows(hwnd, s))), s.top, s.top};
}

// The open list's scroll bar, in client coordinates; inactive (and not
// shown) while every string has its row.
ScrollBarParts ListScrollBar(HWND hwnd, const ComboState& s)
{
    RECT c{};
    GetClientRect(hwnd, &c);
    const int fh = FieldHeight(hwnd, s);
    const bool overflows = static_cast<int>(s.list.items.size()) > VisibleRows(hwnd, s);
    if (!s.dropped || !s.listBar || !overflows)
        return ScrollBarParts{};
    const RECT bar{c.right - 1 - kScrollBarThickness, fh + 1, c.right - 1, fh + 1 + ShownRows(hwnd, s) * ItemHeight(hwnd)};
    return LayOutScrollBar(bar, true, ListScrollInfo(hwnd, s));
}

void ScrollList(HWND hwnd, ComboState& s, int top)
{
    s.top = top;
    ClampTop(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void EndThumbDrag(HWND hwnd, ComboState& s)
{
    if (s.thumbGrab < 0)
        return;
    s.thumbGrab = -1;
    if (GetCapture() == hwnd)
        ReleaseCapture();
}

void SetDropped(HWND hwnd, ComboState& s, bool dropped)
{
    if (s.dropped == dropped)
        return;
    if (dropped && s.list.items.empty())
        return;
    s.dropped = dropped;
    if (!dropped)
        EndThumbDrag(hwnd, s);
    FitHeight(hwnd, s);
    KeepSelectionVisible(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, dropped ? CBN_DROPDOWN : CBN_CLOSEUP);
}

// A pick by the user.
void Pick(HWND hwnd, ComboState& s, int index)
{
    if (index < 0 || index >= static_cast<int>(s.list.items.size()) || index == s.list.selected)
        return;
    s.list.selected = index;
    ShowText(hwnd, s);
    KeepSelectionVisible(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, CBN_SELCHANGE);
}

UINT ListMessageOf(UINT message)
{
    switch (message)
    {
    case CB_ADDSTRING:
        return LB_ADDSTRING;
    case CB_INSERTSTRING:
        return LB_INSERTSTRING;
    case CB_DELETESTRING:
        return LB_DELETESTRING;
    case CB_RESETCONTENT:
        return LB_RESETCONTENT;
    case CB_GETCOUNT:
        return LB_GETCOUNT;
    case CB_GETCURSEL:
        return LB_GETCURSEL;
    case CB_SETCURSEL:
        return LB_SETCURSEL;
    case CB_GETLBTEXT:
        return LB_GETTEXT;
    case CB_GETLBTEXTLEN:
        return LB_GETTEXTLEN;
    case CB_GETITEMDATA:
        return LB_GETITEMDATA;
    case CB_SETITEMDATA:
        return LB_SETITEMDATA;
    case CB_FINDSTRING:
        return LB_FINDSTRING;
    case CB_FINDSTRINGEXACT:
        return LB_FINDSTRINGEXACT;
    default:
        return 0;
    }
}

void Paint(HWND hwnd, ComboState& s)
{
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    const int fh = FieldHeight(hwnd, s);
    RECT field{0, 0, p.client.right, fh};
    // Below the field the window shows nothing until the list opens: those
    // pixels stay clear, so that screenshots show what lies beneath.
    win32::DeviceSurface surface = win32::SurfaceOfDC(p.dc);
    if (surface.pixels && !s.dropped)
        for (int y = std::max(fh, 0); y < surface.height; ++y)
            std::fill_n(surface.pixels + static_cast<std::size_t>(y) * surface.width, surface.width, 0u);
    p.Fill(field, p.enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    p.Frame(field, COLOR_BTNSHADOW);
    // The arrow button at the right end of the field.
    const int arrowWidth = std::min<int>(fh, 16);
    RECT arrow{field.right - 1 - arrowWidth, 1, field.right - 1, fh - 1};
    DrawEdge(p.dc, &arrow, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    const int cx = (arrow.left + arrow.right) / 2;
    const int cy = (arrow.top + arrow.bottom) / 2 - 1;
    for (int i = 0; i < 4; ++i)
    {
        RECT row{cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1};
        p.Fill(row, p.enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    }
    RECT text{3, 0, arrow.left - 1, fh};
    if (p.focused && !s.dropped)
    {
        RECT band{2, 2, arrow.left - 1, fh - 2};
        p.Fill(band, COLOR_HIGHLIGHT);
        p.Text(WindowText(hwnd), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, COLOR_HIGHLIGHTTEXT);
    }
    else
        p.Text(WindowText(hwnd), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, COLOR_WINDOWTEXT);
    if (!s.dropped)
        return;
    const int ih = ItemHeight(hwnd);
    const int shown = ShownRows(hwnd, s);
    RECT list{0, fh, p.client.right, fh + 2 + shown * ih};
    p.Fill(list, COLOR_WINDOW);
    p.Frame(list, COLOR_WINDOWFRAME);
    const ScrollBarParts bar = ListScrollBar(hwnd, s);
    const LONG rowsRight = bar.active ? bar.bar.left : p.client.right - 1;
    if (bar.active)
        DrawScrollBar(p.dc, bar);
    for (int r = 0; r < shown; ++r)
    {
        const int index = s.top + r;
        RECT row{1, fh + 1 + r * ih, rowsRight, fh + 1 + (r + 1) * ih};
        const bool sel = index == s.list.selected;
        if (sel)
            p.Fill(row, COLOR_HIGHLIGHT);
        RECT t = row;
        t.left += 3;
        p.Text(s.list.items[static_cast<std::size_t>(index)].text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
               sel ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    }
}

} // namespace

LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<ComboState>(hwnd, message, wParam, lParam, result))
        return result;
    auto* s = StateOf<ComboState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (UINT lb = ListMessageOf(message))
    {
        const int before = s->list.selected;
        s->list.Handle(lb, wParam, lParam, Sorted(hwnd), result);
        if (s->list.selected != before || lb == LB_RESETCONTENT || lb == LB_DELETESTRING)
        {
            ShowText(hwnd, *s);
            if (s->list.items.empty())
                s->dropped = false;
            KeepSelectionVisible(hwnd, *s);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        if (result == -2)
            NotifyParent(hwnd, CBN_ERRSPACE);
        return result;
    }
    switch (message)
    {
    case CB_SHOWDROPDOWN:
        SetDropped(hwnd, *s, wParam != 0);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return s->dropped;
    case CB_GETITEMHEIGHT:
        return ItemHeight(hwnd);
    case CB_GETDROPPEDCONTROLRECT:
        if (lParam)
        {
            auto* r = reinterpret_cast<RECT*>(lParam);
            GetWindowRect(hwnd, r);
            r->bottom = r->top + s->openHeight;
        }
        return TRUE;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (s->dropped ? DLGC_WANTALLKEYS : 0);
    case WM_LBUTTONDOWN:
    {
        if (GetFocus() != hwnd)
            SetFocus(hwnd);
        if (!IsWindow(hwnd))
            return 0;
        const int y = GET_Y_LPARAM(lParam);
        const int fh = FieldHeight(hwnd, *s);
        if (y < fh)
        {
            SetDropped(hwnd, *s, !s->dropped);
            return 0;
        }
        if (!s->dropped)
            return 0;
        const ScrollBarParts bar = ListScrollBar(hwnd, *s);
        switch (ScrollBarPartAt(bar, POINT{GET_X_LPARAM(lParam), y}))
        {
        case SB_LINEUP: ScrollList(hwnd, *s, s->top - 1); return 0;
        case SB_LINEDOWN: ScrollList(hwnd, *s, s->top + 1); return 0;
        case SB_PAGEUP: ScrollList(hwnd, *s, s->top - VisibleRows(hwnd, *s)); return 0;
        case SB_PAGEDOWN: ScrollList(hwnd, *s, s->top + VisibleRows(hwnd, *s)); return 0;
        case SB_THUMBTRACK:
            s->thumbGrab = y - bar.thumb.top;
            SetCapture(hwnd);
            return 0;
        default: break;
        }
        if (bar.active && GET_X_LPARAM(lParam) >= bar.bar.left)
            return 0;
        const int row = (y - fh - 1) / ItemHeight(hwnd);
        const int index = s->top + row;
        if (row >= 0 && row < VisibleRows(hwnd, *s) && index < static_cast<int>(s->list.items.size()))
        {
            SetDropped(hwnd, *s, false);
            Pick(hwnd, *s, index);
            if (IsWindow(hwnd))
                NotifyParent(hwnd, CBN_SELENDOK);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (s->thumbGrab >= 0 && s->dropped)
        {
            const ScrollBarParts bar = ListScrollBar(hwnd, *s);
            ScrollList(hwnd, *s, ScrollPosForThumb(bar, ListScrollInfo(hwnd, *s), GET_Y_LPARAM(lParam) - s->thumbGrab));
        }
        return 0;
    case WM_LBUTTONUP:
        EndThumbDrag(hwnd, *s);
        return 0;
    case WM_MOUSEWHEEL:
        if (s->dropped)
        {
            ScrollList(hwnd, *s, s->top + (GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -1 : 1));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_CREATE:
    {
        // The bar is the open list's: the field keeps the combo's width.
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        s->listBar = (style & WS_VSCROLL) != 0;
        if (s->listBar)
            SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style & ~WS_VSCROLL));
        RECT r{};
        GetWindowRect(hwnd, &r);
        s->openHeight = r.bottom - r.top;
        s->sizing = true;
        SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, FieldHeight(hwnd, *s),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        s->sizing = false;
        return 0;
    }
    case WM_WINDOWPOSCHANGING:
    {
        // A height from outside taller than the field is the open height
        // (one of the field alone, as the window reports itself while closed,
        // keeps it); the window shows it only while the list is open.
        auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
        if (wp && !s->sizing && !(wp->flags & SWP_NOSIZE))
        {
            if (wp->cy > FieldHeight(hwnd, *s))
                s->openHeight = wp->cy;
            wp->cy = s->dropped ? s->openHeight : FieldHeight(hwnd, *s);
        }
        return 0;
    }
    case WM_KEYDOWN:
    {
        const int count = static_cast<int>(s->list.items.size());
        switch (wParam)
        {
        case VK_UP:
        case VK_LEFT:
            Pick(hwnd, *s, s->list.selected < 0 ? 0 : s->list.selected - 1);
            return 0;
        case VK_DOWN:
        case VK_RIGHT:
            Pick(hwnd, *s, s->list.selected + 1);
            return 0;
        case VK_HOME:
            Pick(hwnd, *s, 0);
            return 0;
        case VK_END:
            Pick(hwnd, *s, count - 1);
            return 0;
        case 0x73: // F4
            SetDropped(hwnd, *s, !s->dropped);
            return 0;
        case VK_RETURN:
            if (s->dropped)
            {
                SetDropped(hwnd, *s, false);
                NotifyParent(hwnd, CBN_SELENDOK);
            }
            return 0;
        case VK_ESCAPE:
            if (s->dropped)
            {
                SetDropped(hwnd, *s, false);
                NotifyParent(hwnd, CBN_SELENDCANCEL);
            }
            return 0;
        default:
            return 0;
        }
    }
    case WM_CHAR:
    {
        // A typed letter picks the next string that starts with it.
        const wchar_t ch = static_cast<wchar_t>(wParam);
        if (ch >= 32)
        {
            const int found = s->list.Find(std::wstring(1, ch), s->list.selected, false);
            if (found >= 0)
                Pick(hwnd, *s, found);
        }
        return 0;
    }
    case WM_SETFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (s->dropped)
        {
            SetDropped(hwnd, *s, false);
            if (!IsWindow(hwnd))
                return 0;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, CBN_KILLFOCUS);
        return 0;
    case WM_SETTEXT:
    {
        // A drop-down list shows only its strings: the text selects the
        // string that equals it.
        if (!lParam)
            return CB_ERR;
        const int found = s->list.Find(reinterpret_cast<LPCWSTR>(lParam), -1, true);
        if (found < 0)
            return CB_ERR;
        s->list.selected = found;
        ShowText(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case WM_ENABLE:
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_PAINT:
        Paint(hwnd, *s);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace win32::detail
