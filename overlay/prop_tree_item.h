// The rows of the property tree: a plain row with a label and an info text,
// a row whose text, integer or real value is edited in place in an edit box,
// and a row whose value is picked from a drop-down list. Rows report a
// finished edit through CPropTreeItem::Commit, at most once per activation.
#pragma once

#include "platform/mfc/mfc.h"

#include <string>

class CPropTree;

class CPropTreeItem
{
public:
    // State bits.
    static constexpr UINT kSelected = 1;
    static constexpr UINT kExpanded = 2;
    static constexpr UINT kCheckBox = 4;
    static constexpr UINT kChecked = 8;
    static constexpr UINT kReadOnly = 32;
    static constexpr LONG kRowHeight = 21;

    CPropTreeItem();
    virtual ~CPropTreeItem();
    CPropTreeItem(const CPropTreeItem&) = delete;
    CPropTreeItem& operator=(const CPropTreeItem&) = delete;

    virtual void DrawValue(CDC* dc, RECT& rc);
    virtual LONG GetItemHeight();
    virtual LPARAM GetItemValue();
    virtual void SetItemValue(LPARAM value);
    virtual void MoveEditor();
    virtual void RefreshText();
    virtual BOOL CommitChanges();
    virtual void Activate();

    // Draws the row (and its expanded children) at content y; returns the
    // height used.
    LONG DrawItem(CDC* dc, const RECT& client, LONG x, LONG y);
    // Ends an edit: true when committed (or already committed in this
    // activation), false when the value was refused.
    BOOL Commit();

    void SetLabelText(LPCWSTR text) { m_label = text ? text : L""; }
    LPCWSTR GetLabelText() const { return m_label.c_str(); }
    void SetInfoText(LPCWSTR text) { m_info = text ? text : L""; }
    LPCWSTR GetInfoText() const { return m_info.c_str(); }
    UINT GetCtrlID() const { return m_id; }
    void SetCtrlID(UINT id) { m_id = id; }
    CPropTree* GetPropTree() const { return m_tree; }
    void SetPropTree(CPropTree* tree) { m_tree = tree; }

    bool IsSelected() const { return (m_state & kSelected) != 0; }
    void Select(bool on = true) { SetBit(kSelected, on); }
    bool IsExpanded() const { return (m_state & kExpanded) != 0; }
    void Expand(bool on = true) { SetBit(kExpanded, on); }
    bool HasCheckBox() const { return (m_state & kCheckBox) != 0; }
    void SetCheckBox(bool on = true) { SetBit(kCheckBox, on); }
    bool IsChecked() const { return (m_state & kChecked) != 0; }
    void Check(bool on = true) { SetBit(kChecked, on); }
    bool IsReadOnly() const { return (m_state & kReadOnly) != 0; }
    void ReadOnly(bool on = true) { SetBit(kReadOnly, on); }
    UINT GetState() const { return m_state; }
    bool IsActivated() const { return m_activated != 0; }
    bool IsCommitting() const { return m_committing != 0; }
    // What the tree does when it activates a row for editing.
    void BeginActivation()
    {
        m_activated = 1;
        m_committing = 0;
    }
    bool IsRootLevel() const;

    POINT GetLocation() const { return m_location; }
    const RECT& GetValueRect() const { return m_valueRect; }
    const RECT& GetExpandRect() const { return m_expandRect; }
    const RECT& GetCheckRect() const { return m_checkRect; }
    LONG GetTotalHeight();

    CPropTreeItem* GetParent() const { return m_parent; }
    CPropTreeItem* GetSibling() const { return m_sibling; }
    CPropTreeItem* GetChild() const { return m_child; }
    CPropTreeItem* GetNextVisible() const { return m_nextVisible; }
    void SetParent(CPropTreeItem* parent) { m_parent = parent; }
    void SetSibling(CPropTreeItem* sibling) { m_sibling = sibling; }
    void SetChild(CPropTreeItem* child) { m_child = child; }
    void SetNextVisible(CPropTreeItem* next) { m_nextVisible = next; }

    // Set by the tree when it takes the row out while an edit is being
    // committed; the row is freed once that commit has returned.
    bool IsRemoved() const { return m_removed; }
    void MarkRemoved() { m_removed = true; }

protected:
    void SetBit(UINT bit, bool on) { m_state = on ? (m_state | bit) : (m_state & ~bit); }

    CPropTree* m_tree = nullptr;
    std::wstring m_label;
    std::wstring m_info;
    POINT m_location{0, 0};
    RECT m_valueRect{};
    UINT m_id = 0;
    UINT m_state = 0;
    int m_activated = 0;
    int m_committing = 0;
    RECT m_expandRect{};
    RECT m_checkRect{};
    CPropTreeItem* m_parent = nullptr;
    CPropTreeItem* m_sibling = nullptr;
    CPropTreeItem* m_child = nullptr;
    CPropTreeItem* m_nextVisible = nullptr;
    bool m_removed = false;
};

// A text, integer or real value edited in an edit box over the value column.
class CPropTreeItemEdit : public CEdit, public CPropTreeItem
{
public:
    static constexpr int kInteger = 1;
    static constexpr int kReal = 2;
    static constexpr int kText = 0;

    explicit CPropTreeItemEdit(int valueKind = kText);
    ~CPropTreeItemEdit() override;

    void DrawValue(CDC* dc, RECT& rc) override;
    LPARAM GetItemValue() override;
    // Integer kind: the integer itself; real kind: a pointer to a double
    // (FLT_MAX clears the text); text kind: a wide-string pointer.
    void SetItemValue(LPARAM value) override;
    void MoveEditor() override;
    void RefreshText() override;
    BOOL CommitChanges() override;
    void Activate() override;

    int GetValueKind() const { return m_kind; }
    void SetPassword(bool on) { m_password = on ? 1 : 0; }
    const std::wstring& GetText() const { return m_text; }

protected:
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
    afx_msg void OnKillFocusReflect();
    DECLARE_MESSAGE_MAP()

private:
    // Shows the refusal and keeps the box's text selected for retyping.
    void Refuse(LPCWSTR message);

    std::wstring m_text;
    double m_value = 0.0;
    int m_kind = kText;
    int m_password = 0;
};

// A value picked from a drop-down list; each entry carries its item data.
class CPropTreeItemCombo : public CComboBox, public CPropTreeItem
{
public:
    CPropTreeItemCombo();
    ~CPropTreeItemCombo() override;

    BOOL CreateComboBox(DWORD style = WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST);
    void DrawValue(CDC* dc, RECT& rc) override;
    LPARAM GetItemValue() override;
    void SetItemValue(LPARAM value) override;
    void MoveEditor() override;
    void RefreshText() override;
    BOOL CommitChanges() override;
    void Activate() override;

    // First entry whose item data equals data, or -1.
    int FindItemData(DWORD_PTR data);
    void SetDropDownHeight(LONG height) { m_dropDownHeight = height; }
    LONG GetDropDownHeight() const { return m_dropDownHeight; }

protected:
    afx_msg void OnSelChangeReflect();
    afx_msg void OnKillFocusReflect();
    DECLARE_MESSAGE_MAP()

private:
    LPARAM m_value = 0;
    LONG m_dropDownHeight = 100;
};
