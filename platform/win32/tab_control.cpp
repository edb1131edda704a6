// The tab control: a row of tabs along the top. A click on a tab asks the
// parent (TCN_SELCHANGING, a non-zero reply keeps the current tab), selects
// it and tells TCN_SELCHANGE. TCM_SETCURSEL tells nobody.
#include "platform/win32/control_internal.h"

#include <algorithm>

namespace win32::detail
{

namespace
{

struct TabItem
{
    std::wstring text;
    LPARAM param = 0;
    int image = -1;
};

struct TabState : ControlState
{
    std::vector<TabItem> tabs;
    int selected = -1;
};

constexpr int kTabHeight = 20;

RECT TabRect(HWND hwnd, const TabState& s, int index)
{
    HDC dc = GetDC(hwnd);
    if (s.font)
        SelectObject(dc, s.font);
    int x = 2;
    RECT r{};
    for (int i = 0; i <= index && i < static_cast<int>(s.tabs.size()); ++i)
    {
        SIZE size{};
        const std::wstring& t = s.tabs[static_cast<std::size_t>(i)].text;
        GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
        r = RECT{x, 2, x + size.cx + 12, kTabHeight};
        x = r.right;
    }
    return r;
}

int TabAt(HWND hwnd, const TabState& s, POINT p)
{
    for (int i = 0; i < static_cast<int>(s.tabs.size()); ++i)
    {
        RECT r = TabRect(hwnd, s, i);
        if (PtInRect(&r, p))
            return i;
    }
    return -1;
}

LRESULT NotifyParentNm(HWND hwnd, UINT code)
{
    HWND parent = GetParent(hwnd);
    if (!parent)
        return 0;
    NMHDR nm{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), code};
    return SendMessageW(parent, WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void Paint(HWND hwnd, const TabState& s)
{
    ControlPaint p(hwnd);
    if (!p.dc)
        return;
    p.Fill(p.client, COLOR_BTNFACE);
    RECT page{p.client.left, kTabHeight, p.client.right, p.client.bottom};
    DrawEdge(p.dc, &page, EDGE_RAISED, BF_RECT);
    for (int i = 0; i < static_cast<int>(s.tabs.size()); ++i)
    {
        RECT r = TabRect(hwnd, s, i);
        const bool sel = i == s.selected;
        if (sel)
            InflateRect(&r, 2, 2);
        RECT edge{r.left, r.top, r.right, r.bottom + (sel ? 1 : 0)};
        DrawEdge(p.dc, &edge, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT | BF_MIDDLE);
        p.Text(s.tabs[static_cast<std::size_t>(i)].text, r, DT_SINGLELINE | DT_VCENTER | DT_CENTER, COLOR_BTNTEXT);
        if (sel && p.focused)
        {
            InflateRect(&r, -3, -3);
            DrawFocusRect(p.dc, &r);
        }
    }
}

} // namespace

LRESULT TabControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CommonControlMessage<TabState>(hwnd, message, wParam, lParam, result))
        return result;
    auto* s = StateOf<TabState>(hwnd);
    if (!s)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    const int count = static_cast<int>(s->tabs.size());
    switch (message)
    {
    case TCM_GETITEMCOUNT:
        return count;
    case TCM_INSERTITEMW:
    {
        auto* item = reinterpret_cast<const TCITEMW*>(lParam);
        if (!item)
            return -1;
        const int at = std::clamp(static_cast<int>(wParam), 0, count);
        TabItem t;
        if ((item->mask & TCIF_TEXT) && item->pszText)
            t.text = item->pszText;
        if (item->mask & TCIF_PARAM)
            t.param = item->lParam;
        if (item->mask & TCIF_IMAGE)
            t.image = item->iImage;
        s->tabs.insert(s->tabs.begin() + at, std::move(t));
        if (s->selected < 0)
            s->selected = 0;
        else if (s->selected >= at)
            ++s->selected;
        InvalidateRect(hwnd, nullptr, TRUE);
        return at;
    }
    case TCM_SETITEMW:
    case TCM_GETITEMW:
    {
        auto* item = reinterpret_cast<TCITEMW*>(lParam);
        if (!item || static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count)
            return FALSE;
        TabItem& t = s->tabs[wParam];
        if (message == TCM_SETITEMW)
        {
            if ((item->mask & TCIF_TEXT) && item->pszText)
                t.text = item->pszText;
            if (item->mask & TCIF_PARAM)
                t.param = item->lParam;
            if (item->mask & TCIF_IMAGE)
                t.image = item->iImage;
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0)
        {
            const std::size_t n = std::min<std::size_t>(t.text.size(), static_cast<std::size_t>(item->cchTextMax - 1));
            std::copy_n(t.text.begin(), n, item->pszText);
            item->pszText[n] = 0;
        }
        if (item->mask & TCIF_PARAM)
            item->lParam = t.param;
        if (item->mask & TCIF_IMAGE)
            item->iImage = t.image;
        return TRUE;
    }
    case TCM_DELETEITEM:
        if (static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count)
            return FALSE;
        s->tabs.erase(s->tabs.begin() + static_cast<std::ptrdiff_t>(wParam));
        if (s->selected == static_cast<int>(wParam))
            s->selected = -1;
        else if (s->selected > static_cast<int>(wParam))
            --s->selected;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case TCM_DELETEALLITEMS:
        s->tabs.clear();
        s->selected = -1;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case TCM_GETCURSEL:
    case TCM_GETCURFOCUS:
        return s->selected;
    case TCM_SETCURSEL:
    {
        const int previous = s->selected;
        if (static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count)
            return -1;
        s->selected = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return previous;
    }
    case TCM_GETITEMRECT:
        if (!lParam || static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count)
            return FALSE;
        *reinterpret_cast<RECT*>(lParam) = TabRect(hwnd, *s, static_cast<int>(wParam));
        return TRUE;
    case TCM_HITTEST:
    {
        auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
        return info ? TabAt(hwnd, *s, info->pt) : -1;
    }
    case TCM_ADJUSTRECT:
    {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r)
            return 0;
        // wParam TRUE: from the page to the whole control; FALSE: the reverse.
        if (wParam)
        {
            r->top -= kTabHeight;
            InflateRect(r, 2, 2);
        }
        else
        {
            r->top += kTabHeight;
            InflateRect(r, -2, -2);
        }
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    {
        SetFocus(hwnd);
        if (!IsWindow(hwnd))
            return 0;
        const int index = TabAt(hwnd, *s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (index < 0 || index == s->selected)
            return 0;
        if (NotifyParentNm(hwnd, TCN_SELCHANGING))
            return 0;
        if (!IsWindow(hwnd) || index >= static_cast<int>(s->tabs.size()))
            return 0;
        s->selected = index;
        InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParentNm(hwnd, TCN_SELCHANGE);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SIZE:
    case WM_ENABLE:
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
