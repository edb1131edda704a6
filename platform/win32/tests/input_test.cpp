#include "recording_window.h"

#include <gtest/gtest.h>

namespace
{

class Input : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        win32::ResetInputState();
        win32::UseManualClock(5000);
        a = testwin::CreateTop(0, 0, 100, 100);
        b = testwin::CreateTop(200, 0, 100, 100);
        win32::PumpUntilIdle();
        testwin::ClearLog();
    }
    void TearDown() override
    {
        ReleaseCapture();
        DestroyWindow(a);
        DestroyWindow(b);
        win32::PumpUntilIdle();
        win32::ResetInputState();
        win32::UseSystemClock();
    }
    HWND a = nullptr;
    HWND b = nullptr;
};

std::vector<std::pair<HWND, UINT>> Sequence(std::vector<UINT> only)
{
    std::vector<std::pair<HWND, UINT>> out;
    for (const auto& r : testwin::Log(std::move(only)))
        out.emplace_back(r.hwnd, r.message);
    return out;
}

TEST_F(Input, FocusChangeKillsTheOldFocusBeforeSettingTheNew)
{
    SetFocus(a);
    testwin::ClearLog();
    EXPECT_EQ(SetFocus(b), a);
    auto log = testwin::Log({WM_KILLFOCUS, WM_SETFOCUS});
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, a);
    EXPECT_EQ(log[0].message, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(reinterpret_cast<HWND>(log[0].wParam), b);
    EXPECT_EQ(log[1].hwnd, b);
    EXPECT_EQ(log[1].message, static_cast<UINT>(WM_SETFOCUS));
    EXPECT_EQ(reinterpret_cast<HWND>(log[1].wParam), a);
    EXPECT_EQ(GetFocus(), b);
}

TEST_F(Input, AKillFocusHandlerCanTakeTheFocusBack)
{
    SetFocus(a);
    testwin::SetHandler(a,
                        [&](HWND self, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT>
                        {
                            if (m == WM_KILLFOCUS)
                                SetFocus(self); // a failed commit keeps the focus
                            return std::nullopt;
                        });
    testwin::ClearLog();
    SetFocus(b);
    EXPECT_EQ(GetFocus(), a);
    EXPECT_TRUE(testwin::Log({WM_SETFOCUS}).size() == 1u && testwin::Log({WM_SETFOCUS})[0].hwnd == a);
}

TEST_F(Input, DestroyingOrHidingTheFocusWindowDropsTheFocus)
{
    HWND child = testwin::CreateChild(a, 3, 0, 0, 10, 10);
    SetFocus(child);
    ShowWindow(a, SW_HIDE);
    EXPECT_EQ(GetFocus(), nullptr);
    ShowWindow(a, SW_SHOW);
    SetFocus(child);
    DestroyWindow(child);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(Input, CaptureKeepsADragOnItsWindowOutsideTheWindow)
{
    testwin::SetHandler(a,
                        [](HWND self, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT>
                        {
                            if (m == WM_LBUTTONDOWN)
                                SetCapture(self);
                            if (m == WM_LBUTTONUP)
                                ReleaseCapture();
                            return std::nullopt;
                        });
    // Input is routed when it is injected, so each step is pumped as a user's
    // pace would allow.
    win32::InjectMouseButton(WM_LBUTTONDOWN, POINT{50, 50});
    win32::PumpUntilIdle();
    win32::InjectMouseMove(POINT{250, 20}); // over b
    win32::PumpUntilIdle();
    win32::InjectMouseMove(POINT{-30, -5}); // over nothing
    win32::PumpUntilIdle();
    win32::InjectMouseButton(WM_LBUTTONUP, POINT{-30, -5});
    win32::PumpUntilIdle();
    win32::InjectMouseMove(POINT{250, 20});
    win32::PumpUntilIdle();
    auto moves = testwin::Log({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP});
    std::vector<std::pair<HWND, UINT>> expected{{a, WM_MOUSEMOVE}, {a, WM_LBUTTONDOWN}, {a, WM_MOUSEMOVE},
                                                {a, WM_MOUSEMOVE}, {a, WM_LBUTTONUP},   {b, WM_MOUSEMOVE}};
    EXPECT_EQ(Sequence({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}), expected);
    ASSERT_EQ(moves.size(), 6u);
    EXPECT_EQ(GET_X_LPARAM(moves[3].lParam), -30); // negative client coordinates during capture
    EXPECT_EQ(moves[2].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(moves[4].wParam & MK_LBUTTON, 0u);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(testwin::Log({WM_CAPTURECHANGED}).size(), 1u);
}

TEST_F(Input, InputIsPrecededByHitTestActivationAndCursorMessages)
{
    SetActiveWindow(b);
    testwin::ClearLog();
    win32::InjectMouseButton(WM_RBUTTONDOWN, POINT{10, 10});
    win32::PumpUntilIdle();
    std::vector<std::pair<HWND, UINT>> expected{{a, WM_NCHITTEST},  {a, WM_SETCURSOR},     {a, WM_MOUSEMOVE},
                                                {a, WM_NCHITTEST},  {a, WM_MOUSEACTIVATE}, {a, WM_SETCURSOR},
                                                {a, WM_RBUTTONDOWN}};
    EXPECT_EQ(Sequence({WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE, WM_MOUSEACTIVATE, WM_RBUTTONDOWN}),
              expected);
    EXPECT_EQ(GetActiveWindow(), a);
}

TEST_F(Input, LeaveTrackingPostsOneLeavePerArming)
{
    win32::InjectMouseMove(POINT{10, 10});
    TRACKMOUSEEVENT tme{sizeof(TRACKMOUSEEVENT), TME_LEAVE, a, HOVER_DEFAULT};
    ASSERT_TRUE(TrackMouseEvent(&tme));
    win32::InjectMouseMove(POINT{20, 20});
    win32::PumpUntilIdle();
    EXPECT_TRUE(testwin::Log({WM_MOUSELEAVE}).empty());
    win32::InjectMouseMove(POINT{250, 20});
    win32::InjectMouseMove(POINT{20, 20});
    win32::InjectMouseMove(POINT{250, 20});
    win32::PumpUntilIdle();
    EXPECT_EQ(Sequence({WM_MOUSELEAVE}), (std::vector<std::pair<HWND, UINT>>{{a, WM_MOUSELEAVE}}));

    // Arming while the pointer is elsewhere reports the leave at once.
    testwin::ClearLog();
    TrackMouseEvent(&tme);
    win32::PumpUntilIdle();
    EXPECT_EQ(testwin::Log({WM_MOUSELEAVE}).size(), 1u);
}

TEST_F(Input, KeyStateFollowsInjectedInput)
{
    SetFocus(a);
    win32::InjectKey(VK_CONTROL, true);
    EXPECT_LT(GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0); // not yet taken from the queue
    win32::PumpUntilIdle();
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);

    win32::InjectMouseButton(WM_MBUTTONDOWN, POINT{5, 5});
    win32::PumpUntilIdle();
    auto presses = testwin::Log({WM_MBUTTONDOWN});
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].wParam, MK_MBUTTON | MK_CONTROL);
    win32::InjectMouseButton(WM_MBUTTONUP, POINT{5, 5});

    win32::InjectKey(VK_MENU, true);
    win32::InjectKey('X', true);
    win32::PumpUntilIdle();
    EXPECT_EQ(testwin::Log({WM_KEYDOWN}).back().wParam,
              static_cast<WPARAM>('X')); // Ctrl+Alt is no system key
    win32::InjectKey(VK_CONTROL, false);
    win32::InjectKey('Y', true);
    win32::PumpUntilIdle();
    auto sys = testwin::Log({WM_SYSKEYDOWN});
    ASSERT_FALSE(sys.empty());
    EXPECT_EQ(sys.back().wParam, static_cast<WPARAM>('Y'));
    win32::InjectKey(VK_MENU, false);
    EXPECT_GE(GetAsyncKeyState(VK_MENU), 0);
}

TEST_F(Input, ASecondQuickPressBecomesADoubleClickForClassesThatAskForIt)
{
    const POINT p{30, 30};
    win32::InjectMouseButton(WM_LBUTTONDOWN, p);
    win32::InjectMouseButton(WM_LBUTTONUP, p);
    win32::AdvanceClock(100);
    win32::InjectMouseButton(WM_LBUTTONDOWN, p);
    win32::InjectMouseButton(WM_LBUTTONUP, p);
    win32::AdvanceClock(1000);
    win32::InjectMouseButton(WM_LBUTTONDOWN, p); // too late for a third click to pair
    win32::PumpUntilIdle();
    std::vector<std::pair<HWND, UINT>> expected{{a, WM_LBUTTONDOWN},
                                                {a, WM_LBUTTONUP},
                                                {a, WM_LBUTTONDBLCLK},
                                                {a, WM_LBUTTONUP},
                                                {a, WM_LBUTTONDOWN}};
    EXPECT_EQ(Sequence({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}), expected);
    win32::InjectMouseButton(WM_LBUTTONUP, p);
}

TEST_F(Input, SetCursorPosMovesThePointerAndAMoveFollows)
{
    SetCursorPos(40, 45);
    POINT p{};
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 40);
    win32::PumpUntilIdle();
    auto moves = testwin::Log({WM_MOUSEMOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 45);
}

TEST_F(Input, MonitorsAndCursors)
{
    win32::SetMonitors(
        {{{0, 0, 1000, 800}, {0, 0, 1000, 760}}, {{1000, 0, 2000, 800}, {1000, 0, 2000, 800}}});
    HMONITOR m = MonitorFromWindow(b, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi{sizeof(MONITORINFO), {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoW(m, &mi));
    EXPECT_EQ(mi.rcMonitor.right, 1000);
    EXPECT_EQ(mi.dwFlags, MONITORINFOF_PRIMARY);
    POINT far{5000, 10};
    EXPECT_EQ(MonitorFromPoint(far, MONITOR_DEFAULTTONULL), nullptr);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(far, MONITOR_DEFAULTTONEAREST), &mi));
    EXPECT_EQ(mi.rcMonitor.left, 1000);
    win32::SetMonitors({{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}});

    static std::uintptr_t nextModule = 0x1230; // registrations last for the process
    HINSTANCE module = reinterpret_cast<HINSTANCE>(nextModule += 0x10);
    EXPECT_EQ(LoadCursorW(module, MAKEINTRESOURCEW(17032)), nullptr);
    win32::RegisterCursorResource(module, 17032);
    HCURSOR own = LoadCursorW(module, MAKEINTRESOURCEW(17032));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(LoadCursorW(module, MAKEINTRESOURCEW(17032)), own);
    SetCursor(own);
    win32::CursorInfo info = win32::DescribeCursor(GetCursor());
    EXPECT_FALSE(info.system);
    EXPECT_EQ(info.id, 17032u);
    EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), own);
}

} // namespace
