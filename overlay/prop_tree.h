// The property tree: a two-column grid of labelled rows (prop_tree_item.h)
// under an invisible root, drawn and scrolled by its list window, with an
// optional description pane below. The tree tells its parent about inserted,
// deleted, focused, expanded, activated, checked and committed rows by
// WM_NOTIFY (NMPROPTREE); some of them the parent may veto.
#pragma once

#include "overlay/prop_tree_item.h"

#include <vector>

// Notification codes.
inline constexpr UINT PTN_INSERTITEM = static_cast<UINT>(-1101);
inline constexpr UINT PTN_DELETEITEM = static_cast<UINT>(-1102);
inline constexpr UINT PTN_DELETEALLITEMS = static_cast<UINT>(-1103);
inline constexpr UINT PTN_ITEMCHANGED = static_cast<UINT>(-1105);
inline constexpr UINT PTN_ITEMBUTTONCLICK = static_cast<UINT>(-1106);
inline constexpr UINT PTN_SELCHANGE = static_cast<UINT>(-1107);
inline constexpr UINT PTN_ITEMEXPANDING = static_cast<UINT>(-1108);
inline constexpr UINT PTN_COLUMNCLICK = static_cast<UINT>(-1109);
inline constexpr UINT PTN_PROPCLICK = static_cast<UINT>(-1110);
inline constexpr UINT PTN_CHECKCLICK = static_cast<UINT>(-1112);
inline constexpr UINT PTN_RCLICK = static_cast<UINT>(-5);
// Style bit of the tree window that turns the notifications on.
inline constexpr DWORD PTS_NOTIFY = 0x00000001;

struct NMPROPTREE
{
    NMHDR hdr;
    CPropTreeItem* pItem;
};

// Hit-test codes.
inline constexpr LONG HTPROPTREE_NONE = 1;
inline constexpr LONG HTPROPTREE_LABEL = 50;
inline constexpr LONG HTPROPTREE_COLUMN = 51;
inline constexpr LONG HTPROPTREE_EXPAND = 52;
inline constexpr LONG HTPROPTREE_ATTRIBUTE = 53;
inline constexpr LONG HTPROPTREE_CHECKBOX = 54;

class CPropTree;

// Draws and scrolls the rows and takes the mouse and keys.
class CPropTreeList : public CWnd
{
public:
    static constexpr UINT kLabelEditId = 150;
    static constexpr LONG kLineScroll = 21;

    CPropTreeList() = default;
    ~CPropTreeList() override;
    void SetPropOwner(CPropTree* tree) { m_tree = tree; }
    void UpdateScrollbar();
    void CheckVisibleFocus();
    CEdit& LabelEdit() { return m_labelEdit; }

protected:
    afx_msg int OnCreate(CREATESTRUCTW* cs);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnPaint();
    afx_msg BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    afx_msg void OnLButtonDown(UINT flags, CPoint point);
    afx_msg void OnRButtonDown(UINT flags, CPoint point);
    afx_msg void OnLButtonUp(UINT flags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
    afx_msg void OnMouseMove(UINT flags, CPoint point);
    afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnEditKillFocus();
    afx_msg LRESULT OnFreeRemovedRows(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    bool InputAllowed() const;
    void FocusRow(CPropTreeItem* item);
    void ToggleExpand(CPropTreeItem* item);
    void DrawSplitBar(LONG x);
    void ScrollTo(long long pos);

    CPropTree* m_tree = nullptr;
    HBITMAP m_backBuffer = nullptr;
    SIZE m_backSize{0, 0};
    CEdit m_labelEdit;
    bool m_dragging = false;
    LONG m_dragX = 0;
};

// The description pane below the rows.
class CPropTreeInfo : public CStatic
{
public:
    void SetPropOwner(CPropTree* tree) { m_tree = tree; }

protected:
    afx_msg void OnPaint();
    DECLARE_MESSAGE_MAP()

private:
    CPropTree* m_tree = nullptr;
};

class CPropTree : public CWnd
{
public:
    static constexpr UINT kListId = 100;
    static constexpr UINT kInfoId = 0xFFFF;
    static constexpr LONG kInfoHeight = 50;
    static constexpr LONG kIndent = 16;

    CPropTree();
    ~CPropTree() override;

    // Must be set before the window is created.
    void ShowInfoText(bool show) { m_showInfo = show; }
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    CPropTreeItem* InsertItem(CPropTreeItem* item, CPropTreeItem* parent = nullptr);
    // Null deletes every top-level row. False when a veto kept the item.
    BOOL DeleteItem(CPropTreeItem* item);
    void DeleteAllItems();
    CPropTreeItem* FindItem(UINT id);
    using EnumProc = BOOL (*)(CPropTree* tree, CPropTreeItem* item, LPARAM param);
    BOOL EnumItems(CPropTreeItem* item, EnumProc proc, LPARAM param = 0);
    CPropTreeItem* GetRootItem() { return &m_root; }

    CPropTreeItem* GetFocusedItem() const { return m_focus; }
    void SetFocusedItem(CPropTreeItem* item);
    void EnsureVisible(CPropTreeItem* item);
    void SelectItems(CPropTreeItem* item, bool select);
    void DeselectAll() { SelectItems(nullptr, false); }
    CPropTreeItem* FocusFirst();
    CPropTreeItem* FocusLast();
    CPropTreeItem* FocusPrev();
    CPropTreeItem* FocusNext();

    LONG GetColumn() const { return m_column; }
    void SetColumnWidth(LONG x);
    LONG GetOrigin() const { return m_scroll; }
    void SetOrigin(LONG scroll) { m_scroll = scroll; }
    void RefreshItems(CPropTreeItem* item = nullptr);
    void MoveEditors();
    void ResizeChildWindows(int cx, int cy);
    void DisableInput(bool disable = true) { m_inputDisabled = disable; }
    bool IsDisableInput() const { return m_inputDisabled; }

    LRESULT SendNotify(UINT code, CPropTreeItem* item = nullptr);
    LONG HitTest(const POINT& point);
    CPropTreeItem* FindItemAtY(POINT point);

    // The visible chain that the last paint built.
    CPropTreeItem* GetVisibleList() const { return m_visible; }
    void ClearVisibleList();
    void AddToVisibleList(CPropTreeItem* item);
    bool IsItemVisible(CPropTreeItem* item) const;

    CPropTreeList& GetList() { return m_list; }
    CPropTreeInfo& GetInfo() { return m_info; }
    HWND GetListWindow() const { return m_list.GetSafeHwnd(); }
    static HFONT GetNormalFont() { return s_normalFont; }
    static HFONT GetBoldFont() { return s_boldFont; }

    // Commits may rebuild the rows: while one runs, removed rows are kept
    // until it has returned.
    void BeginCommit() { ++m_commitDepth; }
    void EndCommit();
    void FreeRemovedItems();

protected:
    afx_msg int OnCreate(CREATESTRUCTW* cs);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnEnable(BOOL enable);
    afx_msg void OnSysColorChange();
    DECLARE_MESSAGE_MAP()

private:
    void DeleteChildren(CPropTreeItem* item, bool& kept);
    bool DeleteOne(CPropTreeItem* item);
    void Unlink(CPropTreeItem* item);
    void Dispose(CPropTreeItem* item);
    static void InitGlobalResources();
    static void FreeGlobalResources();

    CPropTreeList m_list;
    CPropTreeInfo m_info;
    bool m_infoLayout = true;
    LONG m_infoHeight = 0;
    CPropTreeItem m_root;
    CPropTreeItem* m_visible = nullptr;
    CPropTreeItem* m_visibleTail = nullptr;
    CPropTreeItem* m_focus = nullptr;
    LONG m_column = 100;
    LONG m_scroll = 0;
    UINT m_nextId = 1;
    bool m_inputDisabled = false;
    bool m_showInfo = true;
    int m_commitDepth = 0;
    std::vector<CPropTreeItem*> m_removed;

    static HFONT s_normalFont;
    static HFONT s_boldFont;
    static int s_instances;
};
