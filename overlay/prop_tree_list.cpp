// The list window of the property tree (painting, mouse, keys, scrolling)
// and its description pane.
#include "overlay/prop_tree.h"

#include <algorithm>

namespace
{

// Frees the rows removed while a commit ran (posted when it returned).
constexpr UINT kFreeRemovedRows = WM_APP + 0x2F1;

} // namespace

BEGIN_MESSAGE_MAP(CPropTreeList, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_PAINT()
ON_WM_SETCURSOR()
ON_WM_LBUTTONDOWN()
ON_WM_RBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_LBUTTONDBLCLK()
ON_WM_MOUSEMOVE()
ON_WM_MOUSEWHEEL()
ON_WM_KEYDOWN()
ON_WM_GETDLGCODE()
ON_WM_VSCROLL()
ON_CONTROL(EN_KILLFOCUS, CPropTreeList::kLabelEditId, &CPropTreeList::OnEditKillFocus)
ON_MESSAGE(kFreeRemovedRows, &CPropTreeList::OnFreeRemovedRows)
END_MESSAGE_MAP()

CPropTreeList::~CPropTreeList()
{
    if (m_backBuffer)
        DeleteObject(m_backBuffer);
}

int CPropTreeList::OnCreate(CREATESTRUCTW* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    RECT r{0, 0, 150, 25};
    if (!m_labelEdit.Create(WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, r, this, kLabelEditId))
        return -1;
    return 0;
}

void CPropTreeList::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    if (cx > m_backSize.cx || cy > m_backSize.cy)
    {
        if (m_backBuffer)
            DeleteObject(m_backBuffer);
        HDC screen = ::GetDC(nullptr);
        m_backBuffer = CreateCompatibleBitmap(screen, cx, cy);
        ::ReleaseDC(nullptr, screen);
        m_backSize = SIZE{cx, cy};
    }
    if (!m_tree)
        return;
    UpdateScrollbar();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    m_tree->MoveEditors();
}

void CPropTreeList::UpdateScrollbar()
{
    if (!m_tree || !GetSafeHwnd())
        return;
    RECT client{};
    GetClientRect(&client);
    CPropTreeItem* root = m_tree->GetRootItem();
    long long total = 0;
    if (root->IsExpanded())
        for (CPropTreeItem* c = root->GetChild(); c; c = c->GetSibling())
            total += c->GetTotalHeight();
    total = std::min<long long>(total, 0x3FFFFFFF);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, static_cast<int>(total), static_cast<UINT>(client.bottom + 1), 0,
                  0};
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
    if (static_cast<long long>(client.bottom) + 1 > total)
        m_tree->SetOrigin(0);
    ::SetScrollPos(m_hWnd, SB_VERT, m_tree->GetOrigin(), TRUE);
    m_tree->SetColumnWidth(m_tree->GetColumn());
}

void CPropTreeList::OnPaint()
{
    PAINTSTRUCT ps{};
    HDC screen = BeginPaint(m_hWnd, &ps);
    if (!m_tree || !screen)
    {
        EndPaint(m_hWnd, &ps);
        return;
    }
    RECT client{};
    GetClientRect(&client);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ oldBitmap = m_backBuffer ? SelectObject(dc, m_backBuffer) : nullptr;
    m_tree->ClearVisibleList();
    const bool enabled = m_tree->IsWindowEnabled() != FALSE;
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT inner = client;
    InflateRect(&inner, -2, -2);
    FillRect(dc, &inner, enabled ? static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)) : GetSysColorBrush(COLOR_BTNFACE));
    RECT column{client.left, client.top, client.left + CPropTree::kIndent, client.bottom};
    FillRect(dc, &column, GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = client;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    IntersectClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
    CDC* cdc = CDC::FromHandle(dc);
    LONG y = 0;
    for (CPropTreeItem* c = m_tree->GetRootItem()->GetChild(); c; c = c->GetSibling())
        y += c->DrawItem(cdc, client, 0, y);
    SelectClipRgn(dc, nullptr);
    BitBlt(screen, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top, dc, inner.left,
           inner.top, SRCCOPY);
    // The frame around the clip box is the same in both.
    BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    if (oldBitmap)
        SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    EndPaint(m_hWnd, &ps);
}

BOOL CPropTreeList::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    if (m_tree && hitTest == HTCLIENT)
    {
        POINT p{};
        ::GetCursorPos(&p);
        ::ScreenToClient(m_hWnd, &p);
        switch (m_tree->HitTest(p))
        {
        case HTPROPTREE_COLUMN:
            ::SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
            return TRUE;
        case HTPROPTREE_EXPAND:
        case HTPROPTREE_CHECKBOX:
            ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        default:
            break;
        }
    }
    return CWnd::OnSetCursor(wnd, hitTest, message);
}

bool CPropTreeList::InputAllowed() const
{
    return m_tree && !m_tree->IsDisableInput() && m_tree->IsWindowEnabled();
}

void CPropTreeList::FocusRow(CPropTreeItem* item)
{
    CPropTreeItem* old = m_tree->GetFocusedItem();
    m_tree->DeselectAll();
    if (item)
        item->Select();
    m_tree->SetFocusedItem(item);
    Invalidate();
    if (item != old)
        m_tree->SendNotify(PTN_SELCHANGE, item);
}

void CPropTreeList::CheckVisibleFocus()
{
    CPropTreeItem* focus = m_tree ? m_tree->GetFocusedItem() : nullptr;
    if (focus && !m_tree->IsItemVisible(focus))
    {
        focus->Select(false);
        m_tree->SetFocusedItem(nullptr);
        m_tree->SendNotify(PTN_SELCHANGE, nullptr);
    }
}

void CPropTreeList::ToggleExpand(CPropTreeItem* item)
{
    if (!item || !item->GetChild())
        return;
    if (m_tree->SendNotify(PTN_ITEMEXPANDING, item))
        return;
    item->Expand(!item->IsExpanded());
    UpdateScrollbar();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    // An editor kept open (a row that refused its text) goes with its row.
    m_tree->MoveEditors();
    CheckVisibleFocus();
}

void CPropTreeList::DrawSplitBar(LONG x)
{
    HDC dc = ::GetDC(m_hWnd);
    RECT client{};
    GetClientRect(&client);
    PatBlt(dc, x - 2, client.top, 5, client.bottom - client.top, DSTINVERT);
    ::ReleaseDC(m_hWnd, dc);
}

void CPropTreeList::OnLButtonDown(UINT, CPoint point)
{
    if (!InputAllowed())
        return;
    SetFocus();
    const LONG hit = m_tree->HitTest(point);
    CPropTreeItem* item = m_tree->FindItemAtY(point);
    switch (hit)
    {
    case HTPROPTREE_COLUMN:
        if (m_tree->SendNotify(PTN_COLUMNCLICK))
            return;
        m_dragging = true;
        m_dragX = point.x;
        SetCapture();
        DrawSplitBar(m_dragX);
        return;
    case HTPROPTREE_EXPAND:
        ToggleExpand(item);
        return;
    case HTPROPTREE_CHECKBOX:
        item->Check(!item->IsChecked());
        m_tree->SendNotify(PTN_CHECKCLICK, item);
        Invalidate();
        return;
    default:
        break;
    }
    if (!item)
    {
        FocusRow(nullptr);
        return;
    }
    FocusRow(item);
    if (hit == HTPROPTREE_ATTRIBUTE && !item->IsRootLevel())
    {
        if (m_tree->SendNotify(PTN_PROPCLICK, item))
            return;
        if (!item->IsReadOnly())
        {
            item->BeginActivation();
            item->Activate();
        }
    }
}

void CPropTreeList::OnMouseMove(UINT, CPoint point)
{
    if (!m_dragging)
        return;
    DrawSplitBar(m_dragX);
    m_dragX = point.x;
    DrawSplitBar(m_dragX);
}

void CPropTreeList::OnLButtonUp(UINT, CPoint point)
{
    if (!m_dragging)
        return;
    DrawSplitBar(m_dragX);
    m_dragging = false;
    ::ReleaseCapture();
    m_tree->SetColumnWidth(point.x);
    // Painted first: an editor still open (a row that refused its text)
    // follows the value rectangle the paint sets.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    m_tree->MoveEditors();
}

void CPropTreeList::OnLButtonDblClk(UINT, CPoint point)
{
    if (!InputAllowed())
        return;
    CPropTreeItem* item = m_tree->FindItemAtY(point);
    if (!item || !item->GetChild())
        return;
    switch (m_tree->HitTest(point))
    {
    case HTPROPTREE_COLUMN:
        return;
    case HTPROPTREE_CHECKBOX:
        item->Check(!item->IsChecked());
        m_tree->SendNotify(PTN_CHECKCLICK, item);
        Invalidate();
        return;
    case HTPROPTREE_ATTRIBUTE:
        if (!item->IsRootLevel())
            return;
        break;
    case HTPROPTREE_EXPAND:
        ToggleExpand(item);
        return;
    default:
        break;
    }
    FocusRow(item);
    ToggleExpand(item);
}

void CPropTreeList::OnRButtonDown(UINT, CPoint point)
{
    if (!InputAllowed())
        return;
    CPropTreeItem* item = m_tree->FindItemAtY(point);
    if (item && !item->IsRootLevel())
        m_tree->SendNotify(PTN_RCLICK, item);
    Invalidate();
    SetFocus();
}

void CPropTreeList::ScrollTo(long long pos)
{
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    ::GetScrollInfo(m_hWnd, SB_VERT, &si);
    const long long high = std::max<long long>(si.nMin, static_cast<long long>(si.nMax) - si.nPage);
    pos = std::clamp<long long>(pos, si.nMin, high);
    m_tree->SetOrigin(static_cast<LONG>(pos));
    ::SetScrollPos(m_hWnd, SB_VERT, static_cast<int>(pos), TRUE);
    // The editors follow the rows' value rectangles, which the paint sets.
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    m_tree->MoveEditors();
}

BOOL CPropTreeList::OnMouseWheel(UINT, short delta, CPoint)
{
    if (!InputAllowed())
        return FALSE;
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    ::GetScrollInfo(m_hWnd, SB_VERT, &si);
    RECT client{};
    GetClientRect(&client);
    if (si.nMax - si.nMin < client.bottom)
        return TRUE;
    SetFocus();
    ScrollTo(static_cast<long long>(m_tree->GetOrigin()) + (delta < 0 ? kLineScroll : -kLineScroll));
    return TRUE;
}

void CPropTreeList::OnVScroll(UINT code, UINT, CScrollBar*)
{
    if (!m_tree)
        return;
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    ::GetScrollInfo(m_hWnd, SB_VERT, &si);
    long long pos = m_tree->GetOrigin();
    switch (code)
    {
    case SB_LINEUP:
        pos -= kLineScroll;
        break;
    case SB_LINEDOWN:
        pos += kLineScroll;
        break;
    case SB_PAGEUP:
        pos -= si.nPage;
        break;
    case SB_PAGEDOWN:
        pos += si.nPage;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        // The 16-bit position in the message wraps for tall content; the
        // bar's own record has it whole.
        pos = si.nTrackPos;
        break;
    default:
        return;
    }
    ScrollTo(pos);
}

void CPropTreeList::OnKeyDown(UINT key, UINT, UINT)
{
    if (!InputAllowed() || key < 13 || key > 40)
        return;
    CPropTreeItem* focus = m_tree->GetFocusedItem();
    switch (key)
    {
    case VK_RETURN:
        if (focus && !focus->IsRootLevel() && !focus->IsReadOnly())
        {
            focus->BeginActivation();
            focus->Activate();
        }
        return;
    case VK_HOME:
        m_tree->FocusFirst();
        return;
    case VK_END:
        m_tree->FocusLast();
        return;
    case VK_UP:
        m_tree->FocusPrev();
        return;
    case VK_DOWN:
        m_tree->FocusNext();
        return;
    case VK_LEFT:
        if (focus)
        {
            if (!m_tree->SendNotify(PTN_ITEMEXPANDING, focus) && focus->GetChild() && focus->IsExpanded())
            {
                focus->Expand(false);
                UpdateScrollbar();
                RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
                CheckVisibleFocus();
                return;
            }
        }
        m_tree->FocusPrev();
        return;
    case VK_RIGHT:
        if (focus)
        {
            if (m_tree->SendNotify(PTN_ITEMEXPANDING, focus))
            {
                m_tree->FocusNext();
                return;
            }
            if (focus->GetChild() && !focus->IsExpanded())
            {
                focus->Expand();
                UpdateScrollbar();
                RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
                return;
            }
        }
        m_tree->FocusNext();
        return;
    default:
        return;
    }
}

UINT CPropTreeList::OnGetDlgCode()
{
    return 0x85; // arrows, characters and all keys
}

void CPropTreeList::OnEditKillFocus()
{
    if (!m_tree || !m_labelEdit.IsWindowVisible())
        return;
    CPropTreeItem* focus = m_tree->GetFocusedItem();
    CString text;
    m_labelEdit.GetWindowText(text);
    m_labelEdit.ShowWindow(SW_HIDE);
    if (!focus)
        return;
    focus->SetLabelText(text);
    focus->Commit();
}

LRESULT CPropTreeList::OnFreeRemovedRows(WPARAM, LPARAM)
{
    if (m_tree)
        m_tree->FreeRemovedItems();
    return 0;
}

// The description pane.

BEGIN_MESSAGE_MAP(CPropTreeInfo, CStatic)
ON_WM_PAINT()
END_MESSAGE_MAP()

void CPropTreeInfo::OnPaint()
{
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (!dc || !m_tree)
    {
        EndPaint(m_hWnd, &ps);
        return;
    }
    RECT r{};
    GetClientRect(&r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    InflateRect(&r, -4, -4);
    SetTextColor(dc, GetSysColor(m_tree->IsWindowEnabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    CPropTreeItem* focus = m_tree->GetFocusedItem();
    const std::wstring title = focus ? focus->GetLabelText() : L"No item selected";
    HGDIOBJ old = SelectObject(dc, CPropTree::GetBoldFont());
    RECT line = r;
    const int h = DrawTextW(dc, title.c_str(), -1, &line, DT_SINGLELINE);
    SelectObject(dc, CPropTree::GetNormalFont());
    const std::wstring info = focus ? focus->GetInfoText() : L"Selection info";
    RECT body{r.left, r.top + h + 2, r.right, r.bottom};
    DrawTextW(dc, info.c_str(), -1, &body, DT_WORDBREAK);
    SelectObject(dc, old);
    EndPaint(m_hWnd, &ps);
}
