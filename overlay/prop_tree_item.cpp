#include "overlay/prop_tree_item.h"

#include "overlay/prop_tree.h"
#include "overlay/prop_tree_number.h"

#include <algorithm>
#include <cfloat>

namespace
{

void DrawLine(HDC dc, int x0, int y0, int x1, int y1, COLORREF color)
{
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void DrawValueText(CDC* dc, RECT& rc, const std::wstring& text, COLORREF color)
{
    HDC h = dc->GetSafeHdc();
    HGDIOBJ old = SelectObject(h, CPropTree::GetNormalFont());
    SetTextColor(h, color);
    SetBkMode(h, TRANSPARENT);
    RECT r = rc;
    DrawTextW(h, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(h, old);
}

} // namespace

CPropTreeItem::CPropTreeItem() = default;

CPropTreeItem::~CPropTreeItem() = default;

void CPropTreeItem::DrawValue(CDC*, RECT&) {}

LONG CPropTreeItem::GetItemHeight()
{
    return kRowHeight;
}

LPARAM CPropTreeItem::GetItemValue()
{
    return 0;
}

void CPropTreeItem::SetItemValue(LPARAM) {}
void CPropTreeItem::MoveEditor() {}
void CPropTreeItem::RefreshText() {}

BOOL CPropTreeItem::CommitChanges()
{
    return TRUE;
}

void CPropTreeItem::Activate() {}

bool CPropTreeItem::IsRootLevel() const
{
    return m_tree && m_parent == m_tree->GetRootItem();
}

LONG CPropTreeItem::GetTotalHeight()
{
    LONG h = GetItemHeight();
    if (IsExpanded())
        for (CPropTreeItem* c = m_child; c; c = c->m_sibling)
            h += c->GetTotalHeight();
    return h;
}

BOOL CPropTreeItem::Commit()
{
    m_activated = 0;
    if (m_committing)
        return TRUE;
    m_committing = 1;
    if (!m_tree)
        return FALSE;
    CPropTree* tree = m_tree;
    tree->BeginCommit();
    struct End
    {
        CPropTree* tree;
        ~End() { tree->EndCommit(); }
    } end{tree};
    if (CommitChanges())
    {
        tree->SendNotify(PTN_ITEMCHANGED, this);
        // The parent may have rebuilt the rows; a removed row is only kept
        // alive until this commit returns and has nothing left to refresh.
        if (!IsRemoved())
            tree->RefreshItems(this);
        return TRUE;
    }
    m_committing = 0;
    if (!IsRemoved())
        RefreshText();
    return FALSE;
}

LONG CPropTreeItem::DrawItem(CDC* dc, const RECT& client, LONG x, LONG y)
{
    if (!m_tree)
        return 0;
    HDC h = dc->GetSafeHdc();
    m_tree->AddToVisibleList(this);
    m_location = POINT{x, y};
    const LONG height = GetItemHeight();
    const LONG scroll = m_tree->GetOrigin();
    const LONG split = m_tree->GetColumn();
    const bool root = IsRootLevel();
    m_valueRect = RECT{split + 5, y - scroll, client.right, y + height - 1 - scroll};
    RECT row{x + CPropTree::kIndent, y - scroll, root ? client.right : split, y - scroll + height};
    if (root)
    {
        RECT band{client.left, y - scroll, client.right + 1, y - scroll + height};
        FillRect(h, &band, GetSysColorBrush(COLOR_BTNFACE));
    }
    if (m_child)
    {
        m_expandRect = RECT{4, y + height / 2 - 6, 12, y + height / 2 + 2};
        const LONG bx = m_expandRect.left;
        const LONG by = m_expandRect.top - scroll;
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HGDIOBJ oldPen = SelectObject(h, pen);
        HGDIOBJ oldBrush = SelectObject(h, GetStockObject(root ? NULL_BRUSH : WHITE_BRUSH));
        Rectangle(h, bx, by, bx + 9, by + 9);
        SelectObject(h, oldBrush);
        SelectObject(h, oldPen);
        DeleteObject(pen);
        DrawLine(h, bx + 2, by + 4, bx + 7, by + 4, RGB(0, 0, 0));
        if (!IsExpanded())
            DrawLine(h, bx + 4, by + 2, bx + 4, by + 7, RGB(0, 0, 0));
    }
    else
        SetRectEmpty(&m_expandRect);
    if (HasCheckBox())
        m_checkRect = RECT{x + 21, y + height / 2 - 6, x + 35, y + height / 2 + 8};
    else
        SetRectEmpty(&m_checkRect);

    const int saved = SaveDC(h);
    if (!root)
        IntersectClipRect(h, row.left, row.top, row.right, row.bottom);
    RECT label = row;
    label.left += 5 + (HasCheckBox() ? 24 : 0);
    if (!m_label.empty())
    {
        HGDIOBJ oldFont = SelectObject(h, root ? CPropTree::GetBoldFont() : CPropTree::GetNormalFont());
        SetBkMode(h, TRANSPARENT);
        COLORREF color = GetSysColor(COLOR_BTNTEXT);
        if (IsSelected())
        {
            RECT band{CPropTree::kIndent, row.top, row.right, row.top + height};
            FillRect(h, &band, GetSysColorBrush(COLOR_HIGHLIGHT));
            color = GetSysColor(COLOR_HIGHLIGHTTEXT);
        }
        if (!m_tree->IsWindowEnabled())
            color = GetSysColor(COLOR_GRAYTEXT);
        SetTextColor(h, color);
        DrawTextW(h, m_label.c_str(), static_cast<int>(m_label.size()), &label, DT_SINGLELINE | DT_VCENTER);
        SelectObject(h, oldFont);
    }
    if (HasCheckBox())
    {
        RECT box = m_checkRect;
        OffsetRect(&box, 0, -scroll);
        DrawFrameControl(h, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (IsChecked() ? DFCS_CHECKED : 0));
    }
    RestoreDC(h, saved);

    // A dotted line along the row's last pixel line.
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    for (LONG px = CPropTree::kIndent; px < client.right - 15; px += 2)
        SetPixel(h, px, y - scroll + height - 1, shadow);
    if (!root)
    {
        DrawLine(h, split, y - scroll, split, y - scroll + height, shadow);
        DrawLine(h, split + 1, y - scroll, split + 1, y - scroll + height, GetSysColor(COLOR_HIGHLIGHTTEXT));
        const int savedValue = SaveDC(h);
        IntersectClipRect(h, m_valueRect.left, m_valueRect.top, m_valueRect.right, m_valueRect.bottom);
        DrawValue(dc, m_valueRect);
        RestoreDC(h, savedValue);
    }
    LONG used = height;
    if (m_child && IsExpanded())
        for (CPropTreeItem* c = m_child; c; c = c->m_sibling)
            used += c->DrawItem(dc, client, root ? x : x + CPropTree::kIndent, y + used);
    return used;
}

// Edit rows.

BEGIN_MESSAGE_MAP(CPropTreeItemEdit, CEdit)
ON_WM_GETDLGCODE()
ON_WM_KEYDOWN()
ON_CONTROL_REFLECT(EN_KILLFOCUS, &CPropTreeItemEdit::OnKillFocusReflect)
END_MESSAGE_MAP()

CPropTreeItemEdit::CPropTreeItemEdit(int valueKind) : m_kind(valueKind) {}

CPropTreeItemEdit::~CPropTreeItemEdit()
{
    if (GetSafeHwnd())
        DestroyWindow();
}

void CPropTreeItemEdit::DrawValue(CDC* dc, RECT& rc)
{
    std::wstring shown = m_password ? std::wstring(m_text.size(), L'*') : m_text;
    DrawValueText(dc, rc, shown, IsReadOnly() ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
}

LPARAM CPropTreeItemEdit::GetItemValue()
{
    switch (m_kind)
    {
    case kInteger:
        return proptree::ScanInt(m_text).value_or(0);
    case kReal:
        // An empty field means "no value"; text that is not a number (set by
        // a program) leaves the last value.
        if (m_text.find_first_not_of(L" \t") == std::wstring::npos)
            m_value = FLT_MAX;
        else if (auto v = proptree::ScanReal(m_text))
            m_value = *v;
        return reinterpret_cast<LPARAM>(&m_value);
    default:
        return reinterpret_cast<LPARAM>(m_text.c_str());
    }
}

void CPropTreeItemEdit::SetItemValue(LPARAM value)
{
    switch (m_kind)
    {
    case kInteger:
        m_text = proptree::FormatInt(static_cast<int>(value));
        break;
    case kReal:
    {
        auto* d = reinterpret_cast<const double*>(value);
        if (!d)
            return;
        if (*d == static_cast<double>(FLT_MAX))
        {
            m_value = FLT_MAX;
            m_text.clear();
        }
        else
        {
            m_value = *d;
            m_text = proptree::FormatReal(*d);
        }
        break;
    }
    default:
        if (!value)
            return;
        m_text = reinterpret_cast<LPCWSTR>(value);
        break;
    }
    RefreshText();
}

void CPropTreeItemEdit::MoveEditor()
{
    if (!GetSafeHwnd())
        return;
    const RECT& r = GetValueRect();
    SetWindowPos(nullptr, r.left, r.top, r.right - r.left, GetItemHeight() - 1, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPropTreeItemEdit::RefreshText()
{
    if (GetSafeHwnd())
        SetWindowText(m_text.c_str());
}

void CPropTreeItemEdit::Refuse(LPCWSTR message)
{
    AfxMessageBox(message, MB_OK | MB_ICONERROR);
    if (GetSafeHwnd())
    {
        SetSel(0, -1);
        SendMessage(EM_SCROLLCARET);
    }
}

BOOL CPropTreeItemEdit::CommitChanges()
{
    if (!GetSafeHwnd())
        return FALSE;
    CString typed;
    GetWindowText(typed);
    const std::wstring text = static_cast<LPCWSTR>(typed);
    if (m_kind == kInteger && !proptree::ScanInt(text))
    {
        Refuse(L"Please enter valid integer value");
        return FALSE;
    }
    // A real field may be left empty (no value); anything else must be a
    // number, or the old value would silently stay.
    if (m_kind == kReal && text.find_first_not_of(L" \t") != std::wstring::npos && !proptree::ScanReal(text))
    {
        Refuse(L"Please enter valid real value");
        return FALSE;
    }
    m_text = text;
    if (m_kind == kReal)
        GetItemValue();
    ShowWindow(SW_HIDE);
    return TRUE;
}

void CPropTreeItemEdit::Activate()
{
    CPropTree* tree = GetPropTree();
    if (!tree)
        return;
    if (!GetSafeHwnd())
    {
        RECT r{0, 0, 10, 10};
        CWnd* list = CWnd::FromHandle(tree->GetListWindow());
        if (!Create(WS_CHILD | ES_AUTOHSCROLL, r, list, GetCtrlID()))
            return;
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(CPropTree::GetNormalFont()), FALSE);
    }
    if (m_kind == kInteger)
        ModifyStyle(0, ES_NUMBER);
    else
        ModifyStyle(ES_NUMBER, 0);
    SetPasswordChar(m_password ? L'*' : 0);
    SetWindowText(m_text.c_str());
    const RECT& r = GetValueRect();
    SetWindowPos(nullptr, r.left, r.top, r.right - r.left, GetItemHeight() - 1, SWP_NOZORDER | SWP_SHOWWINDOW);
    SetFocus();
}

UINT CPropTreeItemEdit::OnGetDlgCode()
{
    return static_cast<UINT>(Default()) | DLGC_WANTALLKEYS;
}

void CPropTreeItemEdit::OnKeyDown(UINT key, UINT, UINT)
{
    if (key == VK_RETURN || key == VK_ESCAPE)
    {
        if (key == VK_ESCAPE)
            SetWindowText(m_text.c_str());
        if (!Commit() && GetSafeHwnd())
            SetFocus();
        return;
    }
    Default();
}

void CPropTreeItemEdit::OnKillFocusReflect()
{
    if (!Commit() && GetSafeHwnd() && !IsRemoved())
        SetFocus();
}

// Combo rows.

BEGIN_MESSAGE_MAP(CPropTreeItemCombo, CComboBox)
ON_CONTROL_REFLECT(CBN_SELCHANGE, &CPropTreeItemCombo::OnSelChangeReflect)
ON_CONTROL_REFLECT(CBN_KILLFOCUS, &CPropTreeItemCombo::OnKillFocusReflect)
END_MESSAGE_MAP()

CPropTreeItemCombo::CPropTreeItemCombo() = default;

CPropTreeItemCombo::~CPropTreeItemCombo()
{
    if (GetSafeHwnd())
        DestroyWindow();
}

BOOL CPropTreeItemCombo::CreateComboBox(DWORD style)
{
    CPropTree* tree = GetPropTree();
    if (!tree || !tree->GetListWindow())
        return FALSE;
    if (GetSafeHwnd())
        DestroyWindow();
    RECT r{0, 0, 10, 10};
    if (!Create(style | WS_CHILD, r, CWnd::FromHandle(tree->GetListWindow()), GetCtrlID()))
        return FALSE;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(CPropTree::GetNormalFont()), FALSE);
    return TRUE;
}

void CPropTreeItemCombo::DrawValue(CDC* dc, RECT& rc)
{
    if (!GetSafeHwnd())
        return;
    CString text;
    const int sel = GetCurSel();
    if (sel >= 0)
        GetLBText(sel, text);
    DrawValueText(dc, rc, static_cast<LPCWSTR>(text), RGB(0, 0, 0));
}

LPARAM CPropTreeItemCombo::GetItemValue()
{
    return m_value;
}

void CPropTreeItemCombo::SetItemValue(LPARAM value)
{
    m_value = value;
    RefreshText();
}

void CPropTreeItemCombo::MoveEditor()
{
    if (!GetSafeHwnd() || !IsWindowVisible())
        return;
    const RECT& r = GetValueRect();
    SetWindowPos(nullptr, r.left, r.top, r.right - r.left + 1, r.bottom - r.top + m_dropDownHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPropTreeItemCombo::RefreshText()
{
    if (!GetSafeHwnd())
        return;
    const int index = FindItemData(static_cast<DWORD_PTR>(m_value));
    if (index >= 0)
        SetCurSel(index);
}

int CPropTreeItemCombo::FindItemData(DWORD_PTR data)
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (GetItemData(i) == data)
            return i;
    return -1;
}

BOOL CPropTreeItemCombo::CommitChanges()
{
    if (!GetSafeHwnd())
        return FALSE;
    const int sel = GetCurSel();
    m_value = sel >= 0 ? static_cast<LPARAM>(GetItemData(sel)) : 0;
    ShowWindow(SW_HIDE);
    return TRUE;
}

void CPropTreeItemCombo::Activate()
{
    if (!GetSafeHwnd())
        return;
    const RECT& r = GetValueRect();
    SetWindowPos(nullptr, r.left, r.top, r.right - r.left + 1, r.bottom - r.top + m_dropDownHeight,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    SetFocus();
    if (GetCount() > 0)
        ShowDropDown(TRUE);
}

void CPropTreeItemCombo::OnSelChangeReflect()
{
    Commit();
}

void CPropTreeItemCombo::OnKillFocusReflect()
{
    Commit();
}
