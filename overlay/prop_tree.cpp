#include "overlay/prop_tree.h"

#include <algorithm>
#include <cwctype>

namespace
{

bool SameNameNoCase(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::towlower(*a) != std::towlower(*b))
            return false;
    return *a == *b;
}

int FindTahoma(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found)
{
    if (font && SameNameNoCase(font->lfFaceName, L"Tahoma"))
    {
        *reinterpret_cast<bool*>(found) = true;
        return 0;
    }
    return 1;
}

} // namespace

HFONT CPropTree::s_normalFont = nullptr;
HFONT CPropTree::s_boldFont = nullptr;
int CPropTree::s_instances = 0;

BEGIN_MESSAGE_MAP(CPropTree, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_ENABLE()
ON_WM_SYSCOLORCHANGE()
END_MESSAGE_MAP()

CPropTree::CPropTree()
{
    m_root.Expand();
    m_root.SetPropTree(this);
    if (s_instances++ == 0)
        InitGlobalResources();
}

CPropTree::~CPropTree()
{
    // The rows go first (no veto is asked on the way out), then the fonts
    // when this was the last tree.
    std::vector<CPropTreeItem*> rows;
    for (CPropTreeItem* c = m_root.GetChild(); c; c = c->GetSibling())
        rows.push_back(c);
    m_root.SetChild(nullptr);
    m_focus = nullptr;
    m_visible = m_visibleTail = nullptr;
    std::vector<CPropTreeItem*> all;
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        all.push_back(rows[i]);
        for (CPropTreeItem* c = rows[i]->GetChild(); c; c = c->GetSibling())
            rows.push_back(c);
    }
    for (CPropTreeItem* item : all)
        delete item;
    for (CPropTreeItem* item : m_removed)
        delete item;
    m_removed.clear();
    if (GetSafeHwnd())
        DestroyWindow();
    if (--s_instances == 0)
        FreeGlobalResources();
}

void CPropTree::InitGlobalResources()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = 500;
    LOGFONTW menu{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        menu = metrics.lfMenuFont;
    else
        menu = win32::SystemMenuFont();
    menu.lfFaceName[LF_FACESIZE - 1] = 0;
    LOGFONTW lf{};
    lf.lfHeight = menu.lfHeight;
    lf.lfWeight = menu.lfWeight;
    lf.lfItalic = menu.lfItalic;
    std::copy(std::begin(menu.lfFaceName), std::end(menu.lfFaceName), lf.lfFaceName);
    HDC screen = GetDC(nullptr);
    lf.lfCharSet = static_cast<BYTE>(GetTextCharsetInfo(screen, nullptr, 0));
    if (menu.lfCharSet < 3)
    {
        bool found = false;
        EnumFontFamiliesW(screen, nullptr, FindTahoma, reinterpret_cast<LPARAM>(&found));
        const wchar_t* face = found ? L"Tahoma" : L"MS Sans Serif";
        std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), L'\0');
        std::copy(face, face + std::wcslen(face), lf.lfFaceName);
    }
    ReleaseDC(nullptr, screen);
    s_normalFont = CreateFontIndirectW(&lf);
    lf.lfWeight = FW_BOLD;
    s_boldFont = CreateFontIndirectW(&lf);
}

void CPropTree::FreeGlobalResources()
{
    DeleteObject(s_normalFont);
    DeleteObject(s_boldFont);
    s_normalFont = s_boldFont = nullptr;
}

BOOL CPropTree::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    LPCWSTR cls = AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW), GetSysColorBrush(COLOR_BTNFACE));
    return CreateEx(0, cls, L"", style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                    parent ? parent->GetSafeHwnd() : nullptr, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

int CPropTree::OnCreate(CREATESTRUCTW* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    RECT client{};
    GetClientRect(&client);
    LPCWSTR cls = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, LoadCursorW(nullptr, IDC_ARROW));
    m_list.SetPropOwner(this);
    if (!m_list.CreateEx(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, client.right, client.bottom, m_hWnd,
                         reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kListId))))
        return -1;
    if (m_showInfo)
    {
        m_info.SetPropOwner(this);
        RECT r{0, 0, client.right, 0};
        if (!m_info.Create(L"", WS_CHILD | WS_VISIBLE, r, this, kInfoId))
            return -1;
        m_infoHeight = kInfoHeight;
    }
    ResizeChildWindows(client.right, client.bottom);
    return 0;
}

void CPropTree::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    ResizeChildWindows(cx, cy);
}

void CPropTree::ResizeChildWindows(int cx, int cy)
{
    if (!m_list.GetSafeHwnd())
        return;
    if (m_infoLayout)
    {
        const int listHeight = std::max(0, cy - m_infoHeight);
        m_list.MoveWindow(0, 0, cx, listHeight);
        if (m_info.GetSafeHwnd())
            m_info.MoveWindow(0, listHeight, cx, cy - listHeight);
    }
    else
        m_list.MoveWindow(0, 0, cx, cy);
}

void CPropTree::OnEnable(BOOL enable)
{
    CWnd::OnEnable(enable);
    m_list.Invalidate();
    if (m_info.GetSafeHwnd())
        m_info.Invalidate();
}

void CPropTree::OnSysColorChange()
{
    CWnd::OnSysColorChange();
    Invalidate();
    m_list.Invalidate();
}

LRESULT CPropTree::SendNotify(UINT code, CPropTreeItem* item)
{
    const int signedCode = static_cast<int>(code);
    const bool known = signedCode == -5 || (signedCode <= -1101 && signedCode >= -1103) ||
                       (signedCode <= -1105 && signedCode >= -1110) || signedCode == -1112;
    if (!known || !GetSafeHwnd() || !(GetStyle() & PTS_NOTIFY))
        return 0;
    HWND parent = ::GetParent(m_hWnd);
    if (!parent)
        return 0;
    NMPROPTREE nm{};
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    nm.hdr.code = code;
    nm.pItem = item;
    return ::SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

CPropTreeItem* CPropTree::InsertItem(CPropTreeItem* item, CPropTreeItem* parent)
{
    if (!item)
        return nullptr;
    if (!parent)
        parent = &m_root;
    item->SetSibling(nullptr);
    if (!parent->GetChild())
        parent->SetChild(item);
    else
    {
        CPropTreeItem* last = parent->GetChild();
        while (last->GetSibling())
            last = last->GetSibling();
        last->SetSibling(item);
    }
    item->SetParent(parent);
    item->SetPropTree(this);
    item->SetCtrlID(m_nextId++);
    SendNotify(PTN_INSERTITEM, item);
    if (m_list.GetSafeHwnd())
    {
        m_list.UpdateScrollbar();
        m_list.Invalidate();
    }
    return item;
}

void CPropTree::Unlink(CPropTreeItem* item)
{
    CPropTreeItem* parent = item->GetParent();
    if (parent)
    {
        if (parent->GetChild() == item)
            parent->SetChild(item->GetSibling());
        else
            for (CPropTreeItem* c = parent->GetChild(); c; c = c->GetSibling())
                if (c->GetSibling() == item)
                {
                    c->SetSibling(item->GetSibling());
                    break;
                }
    }
    // Out of the visible chain.
    if (m_visible == item)
        m_visible = item->GetNextVisible();
    else
        for (CPropTreeItem* v = m_visible; v; v = v->GetNextVisible())
            if (v->GetNextVisible() == item)
            {
                v->SetNextVisible(item->GetNextVisible());
                if (m_visibleTail == item)
                    m_visibleTail = v;
                break;
            }
    if (m_visibleTail == item)
        m_visibleTail = nullptr;
    if (m_focus == item)
        m_focus = nullptr;
    item->SetParent(nullptr);
    item->SetSibling(nullptr);
    item->SetNextVisible(nullptr);
}

void CPropTree::Dispose(CPropTreeItem* item)
{
    if (m_commitDepth > 0)
    {
        // A commit is on the stack, maybe inside this very row's editor:
        // hide the row's editor now and free the row once the commit is over.
        item->MarkRemoved();
        if (auto* wnd = dynamic_cast<CWnd*>(item); wnd && wnd->GetSafeHwnd())
            wnd->ShowWindow(SW_HIDE);
        m_removed.push_back(item);
        return;
    }
    delete item;
}

void CPropTree::DeleteChildren(CPropTreeItem* item, bool& kept)
{
    CPropTreeItem* c = item->GetChild();
    while (c)
    {
        CPropTreeItem* next = c->GetSibling();
        if (!DeleteOne(c))
            kept = true;
        c = next;
    }
}

bool CPropTree::DeleteOne(CPropTreeItem* item)
{
    if (SendNotify(PTN_DELETEITEM, item))
        return false;
    // A child that its parent window keeps keeps this row too, so that no
    // row is left with a freed parent.
    bool kept = false;
    DeleteChildren(item, kept);
    if (m_list.GetSafeHwnd())
        m_list.Invalidate();
    if (kept)
        return false;
    Unlink(item);
    Dispose(item);
    if (m_list.GetSafeHwnd())
        m_list.UpdateScrollbar();
    return true;
}

BOOL CPropTree::DeleteItem(CPropTreeItem* item)
{
    if (!item || item == &m_root)
    {
        bool kept = false;
        DeleteChildren(&m_root, kept);
        return !kept;
    }
    return DeleteOne(item) ? TRUE : FALSE;
}

void CPropTree::DeleteAllItems()
{
    if (!m_root.GetChild())
        return;
    DeleteItem(nullptr);
    if (m_list.GetSafeHwnd())
    {
        m_list.UpdateScrollbar();
        m_list.Invalidate();
    }
    // Ids start again only when no row is left that holds one.
    if (!m_root.GetChild())
        m_nextId = 1;
}

void CPropTree::EndCommit()
{
    if (--m_commitDepth == 0 && !m_removed.empty())
    {
        if (m_list.GetSafeHwnd())
            m_list.PostMessage(WM_APP + 0x2F1);
    }
}

void CPropTree::FreeRemovedItems()
{
    if (m_commitDepth > 0)
        return;
    std::vector<CPropTreeItem*> doomed;
    doomed.swap(m_removed);
    for (CPropTreeItem* item : doomed)
        delete item;
}

CPropTreeItem* CPropTree::FindItem(UINT id)
{
    std::vector<CPropTreeItem*> stack;
    for (CPropTreeItem* c = m_root.GetChild(); c; c = c->GetSibling())
        stack.push_back(c);
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty())
    {
        CPropTreeItem* item = stack.back();
        stack.pop_back();
        if (item->GetCtrlID() == id)
            return item;
        std::vector<CPropTreeItem*> children;
        for (CPropTreeItem* c = item->GetChild(); c; c = c->GetSibling())
            children.push_back(c);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return nullptr;
}

BOOL CPropTree::EnumItems(CPropTreeItem* item, EnumProc proc, LPARAM param)
{
    if (!item || !proc)
        return FALSE;
    if (item != &m_root && !proc(this, item, param))
        return FALSE;
    for (CPropTreeItem* c = item->GetChild(); c;)
    {
        CPropTreeItem* next = c->GetSibling();
        if (!EnumItems(c, proc, param))
            return FALSE;
        c = next;
    }
    return TRUE;
}

void CPropTree::ClearVisibleList()
{
    m_visible = m_visibleTail = nullptr;
}

void CPropTree::AddToVisibleList(CPropTreeItem* item)
{
    item->SetNextVisible(nullptr);
    if (!m_visible)
        m_visible = item;
    else if (m_visibleTail)
        m_visibleTail->SetNextVisible(item);
    m_visibleTail = item;
}

bool CPropTree::IsItemVisible(CPropTreeItem* item) const
{
    for (CPropTreeItem* v = m_visible; v; v = v->GetNextVisible())
        if (v == item)
            return true;
    return false;
}

void CPropTree::SetFocusedItem(CPropTreeItem* item)
{
    m_focus = item;
    EnsureVisible(item);
    if (m_list.GetSafeHwnd())
        m_list.Invalidate();
    if (m_info.GetSafeHwnd())
        m_info.Invalidate();
}

void CPropTree::EnsureVisible(CPropTreeItem* item)
{
    if (!item || !m_list.GetSafeHwnd())
        return;
    if (!IsItemVisible(item))
    {
        for (CPropTreeItem* p = item->GetParent(); p && p != &m_root; p = p->GetParent())
            p->Expand();
        m_list.UpdateScrollbar();
        m_list.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    }
    RECT client{};
    m_list.GetClientRect(&client);
    const LONG h = item->GetItemHeight();
    OffsetRect(&client, 0, m_scroll);
    client.bottom -= h;
    const POINT at = item->GetLocation();
    if (PtInRect(&client, at))
        return;
    RECT list{};
    m_list.GetClientRect(&list);
    long long pos = at.y < m_scroll ? at.y : static_cast<long long>(at.y) + 2LL * h - list.bottom;
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    ::GetScrollInfo(m_list.GetSafeHwnd(), SB_VERT, &si);
    const long long high = std::max<long long>(si.nMin, static_cast<long long>(si.nMax) - si.nPage);
    pos = std::clamp<long long>(pos, si.nMin, high);
    m_list.SetFocus();
    m_scroll = static_cast<LONG>(pos);
    ::SetScrollPos(m_list.GetSafeHwnd(), SB_VERT, m_scroll, TRUE);
    // Painted at once: the rows' value rectangles come from the paint, and
    // an editor opened right after (a click on a row cut by the list's
    // bottom) must be placed over its row where it now is.
    m_list.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CPropTree::SetColumnWidth(LONG x)
{
    RECT client{};
    if (m_list.GetSafeHwnd())
        m_list.GetClientRect(&client);
    LONG split = std::max<LONG>(x, 16);
    if (!IsRectEmpty(&client))
        split = std::min<LONG>(split, client.right - 16);
    m_column = split;
}

void CPropTree::RefreshItems(CPropTreeItem* item)
{
    struct Refresh
    {
        static void Walk(CPropTreeItem* i)
        {
            i->RefreshText();
            for (CPropTreeItem* c = i->GetChild(); c; c = c->GetSibling())
                Walk(c);
        }
    };
    if (item)
        Refresh::Walk(item);
    if (m_list.GetSafeHwnd())
        m_list.Invalidate();
}

void CPropTree::MoveEditors()
{
    EnumItems(
        &m_root,
        [](CPropTree*, CPropTreeItem* i, LPARAM) -> BOOL {
            i->MoveEditor();
            return TRUE;
        },
        0);
}

void CPropTree::SelectItems(CPropTreeItem* item, bool select)
{
    CPropTreeItem* start = item ? item : &m_root;
    if (item)
        item->Select(select);
    EnumItems(
        start,
        [](CPropTree*, CPropTreeItem* i, LPARAM on) -> BOOL {
            i->Select(on != 0);
            return TRUE;
        },
        select ? 1 : 0);
}

namespace
{

CPropTreeItem* FocusTo(CPropTree& tree, CPropTreeItem* next)
{
    CPropTreeItem* old = tree.GetFocusedItem();
    tree.SelectItems(nullptr, false);
    if (next)
        next->Select();
    tree.SetFocusedItem(next);
    if (next != old)
        tree.SendNotify(PTN_SELCHANGE, next);
    return next;
}

} // namespace

CPropTreeItem* CPropTree::FocusFirst()
{
    return m_visible ? FocusTo(*this, m_visible) : nullptr;
}

CPropTreeItem* CPropTree::FocusLast()
{
    CPropTreeItem* last = m_visible;
    while (last && last->GetNextVisible())
        last = last->GetNextVisible();
    return last ? FocusTo(*this, last) : nullptr;
}

CPropTreeItem* CPropTree::FocusPrev()
{
    if (!m_focus)
        return FocusLast();
    CPropTreeItem* prev = nullptr;
    for (CPropTreeItem* v = m_visible; v && v != m_focus; v = v->GetNextVisible())
        prev = v;
    return prev ? FocusTo(*this, prev) : m_focus;
}

CPropTreeItem* CPropTree::FocusNext()
{
    if (!m_focus)
        return FocusFirst();
    CPropTreeItem* next = m_focus->GetNextVisible();
    if (!IsItemVisible(m_focus))
        next = nullptr;
    return next ? FocusTo(*this, next) : m_focus;
}

CPropTreeItem* CPropTree::FindItemAtY(POINT point)
{
    const long long y = static_cast<long long>(point.y) + m_scroll;
    for (CPropTreeItem* v = m_visible; v; v = v->GetNextVisible())
    {
        const long long top = v->GetLocation().y;
        if (y >= top && y < top + v->GetItemHeight())
            return v;
    }
    return nullptr;
}

LONG CPropTree::HitTest(const POINT& point)
{
    CPropTreeItem* item = FindItemAtY(point);
    if (!item)
        return HTPROPTREE_NONE;
    if (!item->IsRootLevel() && point.x >= m_column - 5 && point.x <= m_column + 5)
        return HTPROPTREE_COLUMN;
    if (point.x > m_column + 5)
        return HTPROPTREE_ATTRIBUTE;
    POINT content{point.x, point.y + m_scroll};
    if (PtInRect(&item->GetExpandRect(), content))
        return HTPROPTREE_EXPAND;
    if (PtInRect(&item->GetCheckRect(), content))
        return HTPROPTREE_CHECKBOX;
    return HTPROPTREE_LABEL;
}
