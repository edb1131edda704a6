#include "overlay/prop_tree.h"
#include "overlay/prop_tree_number.h"

#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/tests/support/scroll_bar_probe.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <functional>
#include <map>
#include <vector>

namespace
{

// The dialog that holds the tree: records the tree's notifications and
// answers the ones a test wants to veto.
class CNotifyRecorder : public CWnd
{
public:
    struct Note
    {
        int code;
        CPropTreeItem* item;
    };
    std::vector<Note> notes;
    std::function<LRESULT(int code, CPropTreeItem* item)> reply;

    std::vector<int> Codes() const
    {
        std::vector<int> out;
        for (const Note& n : notes)
            out.push_back(n.code);
        return out;
    }
    int Count(int code) const
    {
        int n = 0;
        for (const Note& note : notes)
            n += note.code == code;
        return n;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NOTIFY)
        {
            auto* nm = reinterpret_cast<NMPROPTREE*>(lParam);
            notes.push_back({static_cast<int>(nm->hdr.code), nm->pItem});
            return reply ? reply(static_cast<int>(nm->hdr.code), nm->pItem) : 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class PropTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ClearPromptAnswers();
        win32::ResetInputState();
        dialog.CreateEx(0, AfxRegisterWndClass(0), L"Shape", WS_POPUP | WS_VISIBLE, 0, 0, 320, 300, nullptr, nullptr);
        tree.ShowInfoText(false);
        RECT r{10, 10, 310, 290};
        ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | PTS_NOTIFY, r, &dialog, 3027));
        heading = Add(new CPropTreeItem, nullptr, L"Cylinder");
        heading->Expand();
        radius = static_cast<CPropTreeItemEdit*>(Add(new CPropTreeItemEdit(CPropTreeItemEdit::kReal), heading, L"Radius"));
        count = static_cast<CPropTreeItemEdit*>(Add(new CPropTreeItemEdit(CPropTreeItemEdit::kInteger), heading, L"Sections"));
        name = static_cast<CPropTreeItemEdit*>(Add(new CPropTreeItemEdit(CPropTreeItemEdit::kText), heading, L"Name"));
        axis = static_cast<CPropTreeItemCombo*>(Add(new CPropTreeItemCombo, heading, L"Axis"));
        ASSERT_TRUE(axis->CreateComboBox());
        const wchar_t* choices[] = {L"Fit Driven", L"X Axis", L"Y Axis", L"Z Axis", L"Custom"};
        for (int i = 0; i < 5; ++i)
            axis->SetItemData(axis->AddString(choices[i]), static_cast<DWORD_PTR>(i));
        axis->SetItemValue(0);
        double r0 = 12.5;
        radius->SetItemValue(reinterpret_cast<LPARAM>(&r0));
        count->SetItemValue(8);
        name->SetItemValue(reinterpret_cast<LPARAM>(L"Cylinder 1"));
        Paint();
        dialog.notes.clear();
    }
    void TearDown() override
    {
        win32::PumpUntilIdle();
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        win32::ClearPromptAnswers();
    }
    CPropTreeItem* Add(CPropTreeItem* item, CPropTreeItem* parent, LPCWSTR label)
    {
        item->SetLabelText(label);
        return tree.InsertItem(item, parent);
    }
    void Paint()
    {
        tree.GetList().RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    HWND List() { return tree.GetListWindow(); }
    // A click at a row's label or value (rows sit at content y; the list
    // has not scrolled).
    void ClickValue(CPropTreeItem* item)
    {
        Paint();
        const POINT at = item->GetLocation();
        SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tree.GetColumn() + 20, at.y + 10));
        SendMessageW(List(), WM_LBUTTONUP, 0, MAKELPARAM(tree.GetColumn() + 20, at.y + 10));
    }
    void ClickLabel(CPropTreeItem* item)
    {
        Paint();
        const POINT at = item->GetLocation();
        SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, at.y + 10));
        SendMessageW(List(), WM_LBUTTONUP, 0, MAKELPARAM(40, at.y + 10));
    }
    void TypeInto(CEdit& edit, const std::wstring& text)
    {
        edit.SetSel(0, -1);
        for (wchar_t c : text)
            edit.SendMessage(WM_CHAR, c);
    }
    void Key(HWND hwnd, UINT vk) { SendMessageW(hwnd, WM_KEYDOWN, vk, 0); }
    double Real(CPropTreeItemEdit* item) { return *reinterpret_cast<double*>(item->GetItemValue()); }

    CNotifyRecorder dialog;
    CPropTree tree;
    CPropTreeItem* heading = nullptr;
    CPropTreeItemEdit* radius = nullptr;
    CPropTreeItemEdit* count = nullptr;
    CPropTreeItemEdit* name = nullptr;
    CPropTreeItemCombo* axis = nullptr;
};

constexpr int kCommitted = -1105;
constexpr int kFocusChanged = -1107;

TEST_F(PropTree, RowsGetIdsInOrderAndPaintingBuildsTheVisibleChain)
{
    EXPECT_EQ(heading->GetCtrlID(), 1u);
    EXPECT_EQ(axis->GetCtrlID(), 5u);
    EXPECT_EQ(tree.FindItem(3), count);
    std::vector<CPropTreeItem*> chain;
    for (CPropTreeItem* v = tree.GetVisibleList(); v; v = v->GetNextVisible())
        chain.push_back(v);
    EXPECT_EQ(chain, (std::vector<CPropTreeItem*>{heading, radius, count, name, axis}));
    EXPECT_EQ(radius->GetLocation().y, 21);
    EXPECT_EQ(count->GetLocation().y, 42);
    EXPECT_EQ(tree.HitTest(POINT{40, 30}), HTPROPTREE_LABEL);
    EXPECT_EQ(tree.HitTest(POINT{tree.GetColumn() + 3, 30}), HTPROPTREE_COLUMN);
    EXPECT_EQ(tree.HitTest(POINT{tree.GetColumn() + 6, 30}), HTPROPTREE_ATTRIBUTE);
    EXPECT_EQ(tree.HitTest(POINT{tree.GetColumn() + 3, 5}), HTPROPTREE_LABEL); // headings have no split
    EXPECT_EQ(tree.HitTest(POINT{6, 8}), HTPROPTREE_EXPAND);
    EXPECT_EQ(tree.HitTest(POINT{40, 250}), HTPROPTREE_NONE);
}

TEST_F(PropTree, IntegerRowRefusesBadTextAndCommitsOncePerActivation)
{
    ClickValue(count);
    ASSERT_TRUE(count->IsWindowVisible());
    EXPECT_EQ(count->GetDlgCtrlID(), static_cast<int>(count->GetCtrlID()));
    RECT editor{};
    count->GetWindowRect(&editor);
    EXPECT_EQ(editor.bottom - editor.top, 20);
    EXPECT_EQ(CWnd::GetFocus(), count);

    // ES_NUMBER keeps letters out of typing; a program's text still gets in.
    count->SetWindowText(L"abc");
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"Please enter valid integer value", IDOK, nullptr});
    Key(count->GetSafeHwnd(), VK_RETURN);
    EXPECT_EQ(dialog.Count(kCommitted), 0);
    EXPECT_TRUE(count->IsWindowVisible());
    EXPECT_EQ(CWnd::GetFocus(), count);
    CString shown;
    count->GetWindowText(shown);
    EXPECT_STREQ(shown, L"8"); // the stored value came back

    for (const wchar_t* bad : {L"", L"   ", L"99999999999", L"-", L"\U0001F600"})
    {
        count->SetWindowText(bad);
        win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"valid integer", IDOK, nullptr});
        Key(count->GetSafeHwnd(), VK_RETURN);
    }
    EXPECT_EQ(dialog.Count(kCommitted), 0);
    EXPECT_EQ(count->GetItemValue(), 8);

    count->SetWindowText(L"12abc"); // the scan stops after the number
    Key(count->GetSafeHwnd(), VK_RETURN);
    EXPECT_EQ(dialog.Count(kCommitted), 1);
    EXPECT_EQ(count->GetText(), L"12abc");
    EXPECT_EQ(count->GetItemValue(), 12);
    EXPECT_FALSE(count->IsWindowVisible());
    // Losing the focus after the commit reports nothing more.
    ClickLabel(name);
    EXPECT_EQ(dialog.Count(kCommitted), 1);
    EXPECT_EQ(dialog.notes.back().code, kFocusChanged);
}

TEST_F(PropTree, EscapeRestoresTheStoredTextAndStillCommits)
{
    ClickValue(count);
    TypeInto(*count, L"42");
    Key(count->GetSafeHwnd(), VK_ESCAPE);
    EXPECT_EQ(dialog.Count(kCommitted), 1);
    EXPECT_EQ(count->GetItemValue(), 8);
}

TEST_F(PropTree, KillFocusByClickingElsewhereCommitsTheTypedValue)
{
    ClickValue(name);
    TypeInto(*name, L"Bore %s %n \U0001F600");
    ClickLabel(radius);
    ASSERT_EQ(dialog.Count(kCommitted), 1);
    auto it = std::find_if(dialog.notes.begin(), dialog.notes.end(), [](const auto& n) { return n.code == kCommitted; });
    EXPECT_EQ(it->item, name);
    EXPECT_STREQ(reinterpret_cast<LPCWSTR>(name->GetItemValue()), L"Bore %s %n \U0001F600");
}

TEST_F(PropTree, RealRowsReadAndWriteDotsAndRefuseWhatIsNoNumber)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    double value = 1.5;
    radius->SetItemValue(reinterpret_cast<LPARAM>(&value));
    EXPECT_EQ(radius->GetText(), L"1.500000");
    ClickValue(radius);
    for (const wchar_t* bad : {L"1,5", L"nan", L"inf", L"-Infinity", L"1e400", L"0x1p3", L"abc", L"2.5mm"})
    {
        radius->SetWindowText(bad);
        win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"valid real", IDOK, nullptr});
        Key(radius->GetSafeHwnd(), VK_RETURN);
        EXPECT_EQ(dialog.Count(kCommitted), 0) << "accepted " << std::string(bad, bad + std::wcslen(bad));
    }
    EXPECT_DOUBLE_EQ(Real(radius), 1.5);
    radius->SetWindowText(L" -2.25e1 ");
    Key(radius->GetSafeHwnd(), VK_RETURN);
    EXPECT_EQ(dialog.Count(kCommitted), 1);
    EXPECT_DOUBLE_EQ(Real(radius), -22.5);
    // An empty field is "no value", not the last number.
    ClickValue(radius);
    radius->SetWindowText(L"");
    Key(radius->GetSafeHwnd(), VK_RETURN);
    EXPECT_EQ(dialog.Count(kCommitted), 2);
    EXPECT_EQ(Real(radius), static_cast<double>(FLT_MAX));
    double unset = FLT_MAX;
    value = 3.0;
    radius->SetItemValue(reinterpret_cast<LPARAM>(&value));
    radius->SetItemValue(reinterpret_cast<LPARAM>(&unset));
    EXPECT_EQ(radius->GetText(), L"");
    EXPECT_EQ(Real(radius), static_cast<double>(FLT_MAX));
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma)
        GTEST_SKIP() << "no comma-decimal locale installed; checked in the C locale only";
}

TEST_F(PropTree, NumberTextIsIndependentOfTheLocale)
{
    EXPECT_EQ(proptree::ScanInt(L"  +17x"), 17);
    EXPECT_EQ(proptree::ScanInt(L"-2147483648"), -2147483648LL);
    EXPECT_FALSE(proptree::ScanInt(L"2147483648"));
    EXPECT_FALSE(proptree::ScanInt(std::wstring(100000, L'9')));
    EXPECT_EQ(proptree::ScanReal(L"1e308"), 1e308);
    EXPECT_FALSE(proptree::ScanReal(std::wstring(100000, L'9')));
    EXPECT_EQ(proptree::FormatReal(-0.5), L"-0.500000");
    EXPECT_EQ(proptree::FormatReal(1e300).size(), 308u);
}

TEST_F(PropTree, ReadOnlyRowsAreNeverActivated)
{
    count->ReadOnly();
    ClickValue(count);
    EXPECT_FALSE(count->GetSafeHwnd() && count->IsWindowVisible());
    Key(List(), VK_RETURN);
    EXPECT_FALSE(count->GetSafeHwnd() && count->IsWindowVisible());
    EXPECT_EQ(tree.GetFocusedItem(), count);
}

TEST_F(PropTree, ComboCommitsTheItemDataOfThePickedEntryOnce)
{
    ClickValue(axis);
    ASSERT_TRUE(axis->IsWindowVisible());
    EXPECT_TRUE(axis->GetDroppedState());
    RECT combo{};
    axis->GetWindowRect(&combo);
    EXPECT_EQ(combo.bottom - combo.top, 20 + 100);
    // Pick "Z Axis" in the open list.
    const int item = static_cast<int>(axis->SendMessage(CB_GETITEMHEIGHT));
    const int field = item + 4;
    axis->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, field + 1 + 3 * item + item / 2));
    EXPECT_EQ(dialog.Count(kCommitted), 1);
    EXPECT_EQ(axis->GetItemValue(), 3);
    EXPECT_FALSE(axis->IsWindowVisible());
    ClickLabel(radius); // the combo loses the focus: no second report
    EXPECT_EQ(dialog.Count(kCommitted), 1);
    // A value that matches no entry keeps the shown selection.
    axis->SetItemValue(77);
    EXPECT_EQ(axis->GetCurSel(), 3);
}

TEST_F(PropTree, VetoedDeletionKeepsTheRowWithItsChildrenAndIdsStayUnique)
{
    dialog.reply = [&](int code, CPropTreeItem* item) -> LRESULT { return code == -1102 && item == count ? 1 : 0; };
    CPropTreeItem* other = Add(new CPropTreeItem, nullptr, L"Other");
    tree.DeleteAllItems();
    EXPECT_EQ(tree.GetRootItem()->GetChild(), heading);
    EXPECT_EQ(heading->GetChild(), count);
    EXPECT_EQ(count->GetSibling(), nullptr);
    EXPECT_EQ(static_cast<CPropTreeItem*>(count)->GetParent(), heading);
    EXPECT_EQ(heading->GetSibling(), nullptr);
    (void)other;
    // Ids go on: a new row never shares an id with a kept one.
    CPropTreeItem* fresh = Add(new CPropTreeItem, heading, L"New");
    EXPECT_GT(fresh->GetCtrlID(), 6u);
    EXPECT_EQ(tree.FindItem(count->GetCtrlID()), count);
    dialog.reply = nullptr;
    tree.DeleteAllItems();
    EXPECT_EQ(tree.GetRootItem()->GetChild(), nullptr);
    EXPECT_EQ(Add(new CPropTreeItem, nullptr, L"Again")->GetCtrlID(), 1u);
}

TEST_F(PropTree, CommitHandlerMayRebuildTheRows)
{
    int rebuilt = 0;
    dialog.reply = [&](int code, CPropTreeItem*) -> LRESULT {
        if (code == kCommitted)
        {
            ++rebuilt;
            tree.DeleteAllItems();
            CPropTreeItem* h = Add(new CPropTreeItem, nullptr, L"Rebuilt");
            h->Expand();
            auto* e = static_cast<CPropTreeItemEdit*>(Add(new CPropTreeItemEdit(CPropTreeItemEdit::kInteger), h, L"Sections"));
            e->SetItemValue(99);
        }
        return 0;
    };
    ClickValue(count);
    TypeInto(*count, L"5");
    Key(count->GetSafeHwnd(), VK_RETURN);
    EXPECT_EQ(rebuilt, 1);
    win32::PumpUntilIdle();
    Paint();
    ASSERT_NE(tree.FindItem(2), nullptr);
    EXPECT_EQ(tree.FindItem(2)->GetItemValue(), 99);
}

TEST_F(PropTree, KeysAndExpansionMoveTheFocusOverDrawnRows)
{
    Key(List(), VK_DOWN);
    EXPECT_EQ(tree.GetFocusedItem(), heading);
    tree.SetFocusedItem(nullptr);
    Key(List(), VK_UP);
    EXPECT_EQ(tree.GetFocusedItem(), axis);
    ClickLabel(count);
    dialog.notes.clear();
    // Collapsing the heading hides the focused row.
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 8));
    EXPECT_FALSE(heading->IsExpanded());
    EXPECT_EQ(tree.GetFocusedItem(), nullptr);
    ASSERT_FALSE(dialog.notes.empty());
    EXPECT_EQ(dialog.notes.back().code, kFocusChanged);
    EXPECT_EQ(dialog.notes.back().item, nullptr);
    // A vetoed expansion leaves it collapsed.
    dialog.reply = [](int code, CPropTreeItem*) -> LRESULT { return code == -1108 ? 1 : 0; };
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 8));
    EXPECT_FALSE(heading->IsExpanded());
}

TEST_F(PropTree, SplitDragAndScrollingStayInTheirBounds)
{
    RECT client{};
    ::GetClientRect(List(), &client);
    const int y = radius->GetLocation().y + 10;
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tree.GetColumn(), y));
    SendMessageW(List(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-40, y));
    SendMessageW(List(), WM_LBUTTONUP, 0, MAKELPARAM(3, y));
    EXPECT_EQ(tree.GetColumn(), 16);
    tree.SetColumnWidth(100000);
    EXPECT_EQ(tree.GetColumn(), client.right - 16);
    tree.SetColumnWidth(100);

    for (int i = 0; i < 30; ++i)
        static_cast<CPropTreeItemEdit*>(Add(new CPropTreeItemEdit, heading, L"Row"));
    Paint();
    SendMessageW(List(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(tree.GetOrigin(), 21);
    for (int i = 0; i < 100; ++i)
        SendMessageW(List(), WM_VSCROLL, SB_LINEDOWN, 0);
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    ::GetScrollInfo(List(), SB_VERT, &si);
    EXPECT_EQ(tree.GetOrigin(), si.nMax - static_cast<int>(si.nPage));
    EXPECT_EQ(si.nPage, static_cast<UINT>(client.bottom + 1));
    SendMessageW(List(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(tree.GetOrigin(), si.nMax - static_cast<int>(si.nPage) - 21);
}

// Rows that fit leave the list its whole width; rows that overflow bring
// the list's scroll bar, which a person's presses on its arrow and track
// scroll by.
TEST_F(PropTree, OverflowingRowsShowTheListsScrollBarWhichScrollsThem)
{
    RECT window{}, client{};
    ::GetWindowRect(List(), &window);
    ::GetClientRect(List(), &client);
    EXPECT_EQ(client.right, window.right - window.left) << "no bar while the rows fit";
    for (int i = 0; i < 30; ++i)
        Add(new CPropTreeItemEdit, heading, L"Row");
    Paint();
    ::GetClientRect(List(), &client);
    ASSERT_EQ(client.right, window.right - window.left - 17);
    win32::WriteSnapshotIfRequested(dialog.GetSafeHwnd(), "property_tree_scroll_bar");
    const win32::ClientImage image = win32::ComposeWindowImage(dialog.GetSafeHwnd());
    POINT strip{window.left + client.right, window.bottom - 17};
    ::ScreenToClient(dialog.GetSafeHwnd(), &strip);
    EXPECT_GT(testwin::ArrowInk(image, strip), 5) << "the down arrow";
    const auto press = [&](POINT at) {
        win32::InjectMouseMove(at);
        win32::InjectMouseButton(WM_LBUTTONDOWN, at);
        win32::InjectMouseButton(WM_LBUTTONUP, at);
        win32::PumpUntilIdle();
    };
    const LONG barX = window.right - 8;
    press({barX, window.bottom - 8});
    EXPECT_EQ(tree.GetOrigin(), CPropTreeList::kLineScroll);
    press({barX, window.bottom - 17 - 10}); // the track below the thumb
    EXPECT_EQ(tree.GetOrigin(), CPropTreeList::kLineScroll + client.bottom + 1);
}

// The editor's top in the list's client pixels.
LONG EditorTop(CWnd& editor, HWND list)
{
    RECT r{};
    ::GetWindowRect(editor.GetSafeHwnd(), &r);
    ::MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&r), 2);
    return r.top;
}

// A press on the scroll bar's arrow while a row is being typed scrolls the
// rows under the open editor; the editor goes with its row.
TEST_F(PropTree, AnOpenEditorMovesWithItsRowWhenTheBarScrolls)
{
    for (int i = 0; i < 30; ++i)
        Add(new CPropTreeItemEdit, heading, L"Row");
    Paint();
    ClickValue(count);
    ASSERT_EQ(EditorTop(*count, List()), 42);
    RECT window{};
    ::GetWindowRect(List(), &window);
    const POINT arrow{window.right - 8, window.bottom - 8};
    win32::InjectMouseMove(arrow);
    win32::InjectMouseButton(WM_LBUTTONDOWN, arrow);
    win32::InjectMouseButton(WM_LBUTTONUP, arrow);
    win32::PumpUntilIdle();
    ASSERT_EQ(tree.GetOrigin(), CPropTreeList::kLineScroll);
    ASSERT_TRUE(count->IsWindowVisible());
    EXPECT_EQ(EditorTop(*count, List()), 42 - CPropTreeList::kLineScroll) << "over the Name row otherwise";
    Key(count->GetSafeHwnd(), VK_RETURN);
}

// A click on the value of the row cut by the list's bottom scrolls it into
// view and opens its editor over it, not where it was before the scroll.
TEST_F(PropTree, AnEditorOpenedOnARowCutByTheBottomSitsOnTheScrolledRow)
{
    CPropTreeItemEdit* cut = nullptr;
    for (int i = 0; i < 30; ++i)
        cut = static_cast<CPropTreeItemEdit*>(Add(new CPropTreeItemEdit, heading, L"Row"));
    Paint();
    RECT client{};
    ::GetClientRect(List(), &client);
    for (CPropTreeItem* r = radius; r; r = r->GetSibling())
        if (r->GetLocation().y < client.bottom && r->GetLocation().y + 21 > client.bottom)
            cut = static_cast<CPropTreeItemEdit*>(r);
    ASSERT_EQ(cut->GetLocation().y, 273) << "the row 7 pixels into a list 280 high";
    const LPARAM at = MAKELPARAM(tree.GetColumn() + 20, cut->GetLocation().y + 3);
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(List(), WM_LBUTTONUP, 0, at);
    ASSERT_EQ(tree.GetOrigin(), 35);
    ASSERT_TRUE(cut->IsWindowVisible());
    EXPECT_EQ(EditorTop(*cut, List()), 273 - 35);
    Key(cut->GetSafeHwnd(), VK_RETURN);
}

// A row that refuses its text keeps its editor open through a drag of the
// column split; the editor then starts where the value column now starts.
TEST_F(PropTree, AnEditorKeptOpenThroughASplitDragMovesWithTheSplit)
{
    ClickValue(count);
    ::SetWindowTextW(count->GetSafeHwnd(), L"");
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"valid integer", IDOK, nullptr});
    const int y = radius->GetLocation().y + 10;
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tree.GetColumn(), y));
    ASSERT_EQ(::GetFocus(), count->GetSafeHwnd()) << "the refused row kept the keyboard";
    SendMessageW(List(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, y));
    SendMessageW(List(), WM_LBUTTONUP, 0, MAKELPARAM(150, y));
    ASSERT_EQ(tree.GetColumn(), 150);
    RECT editor{};
    ::GetWindowRect(count->GetSafeHwnd(), &editor);
    ::MapWindowPoints(nullptr, List(), reinterpret_cast<POINT*>(&editor), 2);
    EXPECT_EQ(editor.left, 155) << "over the label column at the old split otherwise";
    Key(count->GetSafeHwnd(), VK_ESCAPE);
}

// A group expanded above a row that refuses its text moves the row down; its
// editor, kept open, goes with it.
TEST_F(PropTree, AnEditorKeptOpenMovesWithItsRowWhenAGroupAboveItExpands)
{
    CPropTreeItem* group = Add(new CPropTreeItem, heading, L"Base Point");
    for (int i = 0; i < 3; ++i)
        Add(new CPropTreeItemEdit(CPropTreeItemEdit::kReal), group, L"X");
    auto* below = static_cast<CPropTreeItemEdit*>(Add(new CPropTreeItemEdit(CPropTreeItemEdit::kInteger), heading, L"Sections"));
    below->SetItemValue(20);
    ClickValue(below);
    const LONG y = below->GetLocation().y;
    ::SetWindowTextW(below->GetSafeHwnd(), L"");
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"valid integer", IDOK, nullptr});
    const RECT button = group->GetExpandRect();
    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(button.left + 2, button.top + 2));
    ASSERT_TRUE(group->IsExpanded());
    ASSERT_EQ(::GetFocus(), below->GetSafeHwnd()) << "the refused row kept the keyboard";
    ASSERT_EQ(below->GetLocation().y, y + 3 * 21);
    EXPECT_EQ(EditorTop(*below, List()), y + 3 * 21) << "over the group's new rows otherwise";
    Key(below->GetSafeHwnd(), VK_ESCAPE);
}

TEST_F(PropTree, PaintShowsColumnsBandsAndTheSelectedRow)
{
    ClickLabel(radius);
    Paint();
    const win32::ClientImage* image = win32::GetWindowClientImage(List());
    ASSERT_NE(image, nullptr);
    auto at = [&](int x, int y) { return image->pixels[static_cast<std::size_t>(y) * image->width + x] & 0xFFFFFF; };
    auto rgb = [](COLORREF c) { return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c); };
    const int rowY = radius->GetLocation().y;
    EXPECT_EQ(at(8, rowY + 10), rgb(GetSysColor(COLOR_BTNFACE)));      // the 16-pixel column
    EXPECT_EQ(at(150, count->GetLocation().y + 5), 0xFFFFFFu);          // the white value area
    EXPECT_EQ(at(20, rowY + 3), rgb(GetSysColor(COLOR_HIGHLIGHT)));    // selected row band
    EXPECT_EQ(at(tree.GetColumn(), rowY + 5), rgb(GetSysColor(COLOR_BTNSHADOW))); // the split line
    EXPECT_EQ(at(200, 5), rgb(GetSysColor(COLOR_BTNFACE)));            // heading band
    EXPECT_EQ(at(0, 0), rgb(GetSysColor(COLOR_BTNSHADOW)));            // sunken edge
    // Minus sign of the expanded heading's box.
    EXPECT_EQ(at(4 + 3, heading->GetExpandRect().top + 4), 0u);
    ClickValue(count);
    win32::WriteSnapshotIfRequested(dialog.GetSafeHwnd(), "property_tree");
    Key(count->GetSafeHwnd(), VK_RETURN);
}

} // namespace


