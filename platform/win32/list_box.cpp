// The list box: rows of strings with item data and one selected row. A click
// or an arrow key selects (LBN_SELCHANGE with LBS_NOTIFY), a double click
// tells LBN_DBLCLK; LB_SETCURSEL and LB_INSERTSTRING tell nobody. Made with
// WS_VSCROLL, it shows its scroll bar while the rows overflow (always with
// LBS_DISABLENOSCROLL); the bar, the wheel and the page keys scroll it, and
// a selection is scrolled into view.
#include "platform/win32/control_internal.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

struct ListBoxState : ControlState
{
    ListItems list;
    int top = 0;
    bool scrollBar = false; // made with WS_VSCROLL
};

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

int ItemHeight(HWND hwnd)
{
    return RowHeight(hwnd) + 2;
}

int VisibleRows(HWND hwnd)
{
    RECT c{};
    GetClientRect(hwnd, &c);
    return std::max(1, (c.bottom - 2) / ItemHeight(hwnd));
}

// The bar shows the rows: its range the items, its page the rows that fit,
// its position the top row.
void SyncScrollBar(HWND hwnd, const ListBoxState& s)
{
    if (!s.scrollBar)
        return;
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0,
                    std::max(0, static_cast<int>(s.list.items.size()) - 1), static_cast<UINT>(VisibleRows(hwnd)),
                    s.top, 0};
    if (StyleOf(hwnd) & LBS_DISABLENOSCROLL)
        info.fMask |= SIF_DISABLENOSCROLL;
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

void ClampTop(HWND hwnd, ListBoxState& s)
{
    s.top = std::clamp(s.top, 0, std::max(0, static_cast<int>(s.list.items.size()) - VisibleRows(hwnd)));
    SyncScrollBar(hwnd, s);
}

void ScrollTo(HWND hwnd, ListBoxState& s, int top)
{
    s.top = top;
    ClampTop(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
}

int ScrollTarget(HWND hwnd, const ListBoxState& s, WORD code)
{
    const int rows = VisibleRows(hwnd);
    switch (code)
    {
    case SB_LINEUP: return s.top - 1;
    case SB_LINEDOWN: return s.top + 1;
    case SB_PAGEUP: return s.top - rows;
    case SB_PAGEDOWN: return s.top + rows;
    case SB_TOP: return 0;
    case SB_BOTTOM: return static_cast<int>(s.list.items.size());
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
    {
        SCROLLINFO info{sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        GetScrollInfo(hwnd, SB_VERT, &info);
        return info.nTrackPos;
    }
    default: return s.top;
    }
}

void Select(HWND hwnd, ListBoxState& s, int index, bool notify)
{
    if (index < 0 || index >= static_cast<int>(s.list.items.size()))
        return;
    const bool changed = index != s.list.selected;
    s.list.selected = index;
    if (index < s.top)
        s.top = index;
    else if (index >= s.top + VisibleRows(hwnd))
        s.top = index - VisibleRows(hwnd) + 1;
    ClampTop(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
    if (changed && notify && (StyleOf(hwnd) & LBS_NOTIFY))
        NotifyParent(hwnd, LBN_SELCHANGE);
}

int RowAt(HWND hwnd, const ListBoxState& s, int y)
{
    if (y < 1)
        return -1;
    const int index = s.top + (y - 1) / ItemHeight(hwnd);
    return index < static_cast<int>(s.list.items.size()) ? index : -1;
}

void Paint(HWND hwnd, ListBoxState& s)
{
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    p.Fill(p.client, p.enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    p.Frame(p.client, COLOR_BTNSHADOW);
    const int ih = ItemHeight(hwnd);
    const int rows = VisibleRows(hwnd);
    for (int r = 0; r < rows && s.top + r < static_cast<int>(s.list.items.size()); ++r)
    {
        const int index = s.top + r;
        RECT row{1, 1 + r * ih, p.client.right - 1, 1 + (r + 1) * ih};
        const bool sel = index == s.list.selected;
        if (sel)
            p.Fill(row, COLOR_HIGHLIGHT);
        RECT t = row;
        t.left += 3;
        p.Text(s.list.items[static_cast<std::size_t>(index)].text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
               sel ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
        if (sel && p.focused)
            DrawFocusRect(p.dc, &row);
    }
}

} // namespace

LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<ListBoxState>(hwnd, message, wParam, lParam, result))
        return result;
    auto* s = StateOf<ListBoxState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_CREATE)
    {
        s->scrollBar = (StyleOf(hwnd) & WS_VSCROLL) != 0;
        ClampTop(hwnd, *s);
        return 0;
    }
    if (s->list.Handle(message, wParam, lParam, (StyleOf(hwnd) & LBS_SORT) != 0, result))
    {
        if (message == LB_SETCURSEL && result >= 0)
            Select(hwnd, *s, static_cast<int>(result), false);
        ClampTop(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return result;
    }
    switch (message)
    {
    case LB_GETTOPINDEX:
        return s->top;
    case LB_SETTOPINDEX:
        if (!s->list.Valid(wParam))
            return LB_ERR;
        ScrollTo(hwnd, *s, static_cast<int>(wParam));
        return 0;
    case LB_GETITEMHEIGHT:
        return ItemHeight(hwnd);
    case LB_GETITEMRECT:
    {
        if (!s->list.Valid(wParam) || !lParam)
            return LB_ERR;
        RECT c{};
        GetClientRect(hwnd, &c);
        const int ih = ItemHeight(hwnd);
        const int r = static_cast<int>(wParam) - s->top;
        *reinterpret_cast<RECT*>(lParam) = RECT{1, 1 + r * ih, c.right - 1, 1 + (r + 1) * ih};
        return 1;
    }
    case LB_ITEMFROMPOINT:
    {
        const int index = RowAt(hwnd, *s, GET_Y_LPARAM(lParam));
        return index < 0 ? MAKELONG(static_cast<WORD>(s->list.items.size()), 1) : index;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    {
        SetFocus(hwnd);
        if (!IsWindow(hwnd))
            return 0;
        const int index = RowAt(hwnd, *s, GET_Y_LPARAM(lParam));
        Select(hwnd, *s, index, true);
        if (message == WM_LBUTTONDBLCLK && index >= 0 && IsWindow(hwnd) && (StyleOf(hwnd) & LBS_NOTIFY))
            NotifyParent(hwnd, LBN_DBLCLK);
        return 0;
    }
    case WM_KEYDOWN:
        switch (wParam)
        {
        case VK_UP:
            Select(hwnd, *s, std::max(0, s->list.selected - 1), true);
            return 0;
        case VK_DOWN:
            Select(hwnd, *s, s->list.selected + 1, true);
            return 0;
        case VK_HOME:
            Select(hwnd, *s, 0, true);
            return 0;
        case VK_END:
            Select(hwnd, *s, static_cast<int>(s->list.items.size()) - 1, true);
            return 0;
        case VK_PRIOR:
            Select(hwnd, *s, std::max(0, s->list.selected - std::max(1, VisibleRows(hwnd) - 1)), true);
            return 0;
        case VK_NEXT:
            Select(hwnd, *s,
                   std::min(static_cast<int>(s->list.items.size()) - 1,
                            s->list.selected + std::max(1, VisibleRows(hwnd) - 1)),
                   true);
            return 0;
        default:
            return 0;
        }
    case WM_MOUSEWHEEL:
        ScrollTo(hwnd, *s, s->top + (GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -3 : 3));
        return 0;
    case WM_VSCROLL:
        if (LOWORD(wParam) != SB_ENDSCROLL)
            ScrollTo(hwnd, *s, ScrollTarget(hwnd, *s, LOWORD(wParam)));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        if (StyleOf(hwnd) & LBS_NOTIFY)
            NotifyParent(hwnd, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
    case WM_SIZE:
        ClampTop(hwnd, *s);
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
