// The quick shape pickers: a button chooses its kind in the shapes dialog's
// combo by item data, a kind the combo lacks leaves it without a selection
// and makes nothing, and the pickers hide when used, on Escape and when they
// lose the focus.
#include "plugin/dialogs/quick_pickers.h"
#include "resources/shape_list.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

namespace
{

class QuickPickers : public ShapesDialog
{
protected:
    HWND Combo() const { return ::GetDlgItem(Window(), IDC_SHAPES_KIND); }
    void Press(HWND picker, int id)
    {
        ::SendMessageW(picker, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(::GetDlgItem(picker, id)));
    }
    // The user's middle click in the middle of the shapes view, a second
    // after anything before it (no double click).
    void MiddleClickInTheView()
    {
        RECT client{};
        ::GetClientRect(dialog->GetShapesView()->GetSafeHwnd(), &client);
        MiddleClickInTheView(POINT{client.right / 2, client.bottom / 2});
    }
    void MiddleClickInTheView(POINT at)
    {
        cCPView* view = dialog->GetShapesView();
        win32::AdvanceClock(1000);
        viewinput::Move(view, at);
        viewinput::Inject(view, WM_MBUTTONDOWN, at);
        viewinput::Inject(view, WM_MBUTTONUP, at);
    }
    static void LeftClickOnTheScreen(POINT at)
    {
        for (UINT message : {UINT(WM_MOUSEMOVE), UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONUP)})
        {
            if (message == WM_MOUSEMOVE)
                win32::InjectMouseMove(at);
            else
                win32::InjectMouseButton(message, at);
            mfc::PumpUntilIdle();
        }
    }
};

} // namespace

TEST(QuickKind, FirstItemWithThatDataOrMinusOne)
{
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(SelectQuickKind(combo, 0), -1); // empty
    for (int data : {3, 7, 1, 7})
    {
        const LRESULT i = ::SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(L"kind"));
        ::SendMessageW(combo, CB_SETITEMDATA, WPARAM(i), LPARAM(data));
    }
    EXPECT_EQ(SelectQuickKind(combo, 7), 1);
    EXPECT_EQ(SelectQuickKind(combo, 1), 2);
    EXPECT_EQ(SelectQuickKind(combo, 2), -1);
    EXPECT_EQ(SelectQuickKind(nullptr, 2), -1);
    DestroyWindow(combo);
}

TEST_F(QuickPickers, APickerChoosesItsKindAndHides)
{
    Open(scans::Plane({10, 20, 30}, {0, 0, 1}, 20, 4, 0.01));
    const HWND picker = dialog->QuickShapePicker(false);
    ASSERT_NE(picker, nullptr);
    EXPECT_FALSE(::IsWindowVisible(picker)); // made hidden
    EXPECT_EQ(dialog->QuickShapePicker(false), picker);
    for (int id : {IDC_QUICK_PLANE, IDC_QUICK_CYLINDER, IDC_QUICK_SPHERE, IDC_QUICK_FREE_FORM, IDC_QUICK_REVOLVED,
                   IDC_QUICK_EXTRUDED, IDC_QUICK_SYMMETRY, IDC_QUICK_CURVES})
        EXPECT_NE(::GetDlgItem(picker, id), nullptr) << id;

    Click(IDC_SHAPES_SELECT_ALL);
    ::ShowWindow(picker, SW_SHOW);
    Press(picker, IDC_QUICK_PLANE);
    EXPECT_FALSE(::IsWindowVisible(picker));
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    EXPECT_EQ(dialog->GetCurrentKind(), eShapeKind::Plane);
    EXPECT_EQ(::SendMessageW(Combo(), CB_GETCURSEL, 0, 0), 0);

    // "Draw curves on the mesh" is kind 7 wherever the combo lists it.
    dialog->SetCurrentShape(nullptr);
    ::SendMessageW(Combo(), CB_RESETCONTENT, 0, 0);
    for (int kind : {7, 0, 2})
    {
        const LRESULT i = ::SendMessageW(Combo(), CB_ADDSTRING, 0, LPARAM(L"kind"));
        ::SendMessageW(Combo(), CB_SETITEMDATA, WPARAM(i), LPARAM(kind));
    }
    auto* kinds = static_cast<CQuickSurfaceDialog*>(CWnd::FromHandle(picker));
    ASSERT_NE(kinds, nullptr);
    // A kind the combo lacks: no selection, no new shape.
    const std::size_t before = dialog->GetEntry()->SessionCount();
    kinds->ChooseKind(1);
    EXPECT_EQ(::SendMessageW(Combo(), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), before);
    EXPECT_EQ(SelectQuickKind(Combo(), 7), 0);
}

TEST_F(QuickPickers, CurrentShapePickerHidesOnEscapeFocusLossAndUseWithoutChangingAnything)
{
    Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 10, 2));
    const HWND picker = dialog->QuickShapePicker(true);
    ASSERT_NE(picker, nullptr);
    EXPECT_NE(picker, dialog->QuickShapePicker(false));
    ::ShowWindow(picker, SW_SHOW);
    ::SendMessageW(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(::IsWindowVisible(picker));
    EXPECT_TRUE(::IsWindow(picker)); // hidden, not ended
    ::ShowWindow(picker, SW_SHOW);
    ::SendMessageW(picker, WM_KILLFOCUS, WPARAM(Window()), 0);
    EXPECT_FALSE(::IsWindowVisible(picker));
    // "New Shape" with no current shape only hides.
    ::ShowWindow(picker, SW_SHOW);
    Press(picker, IDC_QUICK_NEW_SHAPE);
    EXPECT_FALSE(::IsWindowVisible(picker));
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 0u);
    // The dialog hides both when it closes them.
    ::ShowWindow(picker, SW_SHOW);
    dialog->HideQuickPickers();
    EXPECT_FALSE(::IsWindowVisible(picker));
}

TEST_F(QuickPickers, AClickOutsideThePickerHidesItAndChangesNothing)
{
    Open(scans::Plane({-30, 45, 120}, {0, 0, 1}, 20, 4));
    RECT list{};
    ::GetWindowRect(::GetDlgItem(Window(), IDC_SHAPES_LIST), &list);
    // The first showing makes the picker; the second shows it again.
    for (int showing = 1; showing <= 2; ++showing)
    {
        MiddleClickInTheView();
        const HWND picker = dialog->QuickShapePicker(false);
        ASSERT_TRUE(::IsWindowVisible(picker)) << showing;
        LeftClickOnTheScreen(POINT{(list.left + list.right) / 2, (list.top + list.bottom) / 2});
        EXPECT_FALSE(::IsWindowVisible(picker)) << showing;
    }
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 0u);
    EXPECT_EQ(dialog->GetCurrentSession(), nullptr);
}

TEST_F(QuickPickers, AKindChosenInThePickerLeavesTheKeyboardWithTheView)
{
    Open(scans::Plane({-30, 45, 120}, {0, 0, 1}, 20, 4));
    Click(IDC_SHAPES_SELECT_ALL);
    MiddleClickInTheView();
    RECT button{};
    ::GetWindowRect(::GetDlgItem(dialog->QuickShapePicker(false), IDC_QUICK_PLANE), &button);
    LeftClickOnTheScreen(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::Plane);
    EXPECT_EQ(::GetFocus(), dialog->GetShapesView()->GetSafeHwnd());
    // Escape in the view leaves the shape just made.
    win32::InjectKey(VK_ESCAPE, true);
    win32::InjectKey(VK_ESCAPE, false);
    mfc::PumpUntilIdle();
    EXPECT_EQ(dialog->GetCurrentSession(), nullptr);
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 1u);
}

TEST_F(QuickPickers, InAMaximisedDialogThePickerStaysOnTheScreenAndOffTheCursor)
{
    Open(scans::Plane({-30, 45, 120}, {0, 0, 1}, 20, 4));
    ::ShowWindow(Window(), SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    const HWND view = dialog->GetShapesView()->GetSafeHwnd();
    RECT client{};
    ::GetClientRect(view, &client);
    MONITORINFO monitor{sizeof(MONITORINFO), {}, {}, 0};
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(Window(), MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork;
    // Up and to the right of the cursor where it fits (the middle of the
    // view); near the view's top left corner below the cursor, near its top
    // right corner below and to the left, each 10 pixels off it.
    struct stCase
    {
        POINT at;
        bool left, below;
    };
    for (const stCase& c : {stCase{POINT{client.right / 2, client.bottom / 2}, false, false},
                            stCase{POINT{5, 5}, false, true}, stCase{POINT{client.right - 5, 5}, true, true}})
    {
        MiddleClickInTheView(c.at);
        const HWND picker = dialog->QuickShapePicker(false);
        ASSERT_TRUE(::IsWindowVisible(picker));
        RECT r{};
        ::GetWindowRect(picker, &r);
        POINT cursor = c.at;
        ::ClientToScreen(view, &cursor);
        EXPECT_EQ(c.left ? r.right : r.left, c.left ? cursor.x - 10 : cursor.x + 10) << c.at.x;
        EXPECT_EQ(c.below ? r.top : r.bottom, c.below ? cursor.y + 10 : cursor.y - 10) << c.at.x;
        EXPECT_TRUE(r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom)
            << c.at.x;
        win32::InjectKey(VK_ESCAPE, true);
        win32::InjectKey(VK_ESCAPE, false);
        mfc::PumpUntilIdle();
        EXPECT_FALSE(::IsWindowVisible(picker));
    }
}

// The first click's picker went away as the second press of a quick pair
// activated the dialog, and the second press, a double click, showed none.
TEST_F(QuickPickers, AQuickSecondMiddleClickShowsThePickerAgain)
{
    Open(scans::Plane({-30, 45, 120}, {0, 0, 1}, 20, 4));
    cCPView* view = dialog->GetShapesView();
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    const POINT at{client.right / 2, client.bottom / 2};
    MiddleClickInTheView(at);
    viewinput::Inject(view, WM_MBUTTONDOWN, at);
    viewinput::Inject(view, WM_MBUTTONUP, at);
    EXPECT_TRUE(::IsWindowVisible(dialog->QuickShapePicker(false)));
}
