#include "recording_window.h"

#include <gtest/gtest.h>

namespace
{

class Messages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        win32::ResetInputState();
        win32::UseManualClock(1000);
        a = testwin::CreateTop(0, 0, 100, 100);
        b = testwin::CreateTop(200, 0, 100, 100);
        win32::PumpUntilIdle();
        testwin::ClearLog();
    }
    void TearDown() override
    {
        DestroyWindow(a);
        DestroyWindow(b);
        win32::PumpUntilIdle();
        win32::UseSystemClock();
    }
    HWND a = nullptr;
    HWND b = nullptr;
};

TEST_F(Messages, SendInsideSendRunsSynchronouslyAndReturnsEachResult)
{
    std::vector<std::string> trace;
    testwin::SetHandler(a,
                        [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT>
                        {
                            if (m == WM_USER)
                            {
                                trace.push_back("a enters");
                                LRESULT r = SendMessageW(b, WM_USER + 1, 0, 0);
                                trace.push_back("a leaves with " + std::to_string(r));
                                return 10;
                            }
                            if (m == WM_USER + 2)
                            {
                                trace.push_back("a re-entered");
                                return 30;
                            }
                            return std::nullopt;
                        });
    testwin::SetHandler(b,
                        [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT>
                        {
                            if (m != WM_USER + 1)
                                return std::nullopt;
                            LRESULT r = SendMessageW(a, WM_USER + 2, 0, 0);
                            trace.push_back("b got " + std::to_string(r));
                            return 20;
                        });
    EXPECT_EQ(SendMessageW(a, WM_USER, 0, 0), 10);
    EXPECT_EQ(trace, (std::vector<std::string>{"a enters", "a re-entered", "b got 30", "a leaves with 20"}));
    EXPECT_EQ(win32::PumpUntilIdle(), 0u); // nothing was queued
}

TEST_F(Messages, PostedMessagesWaitForTheLoopInOrder)
{
    PostMessageW(a, WM_USER, 1, 0);
    PostMessageW(b, WM_USER, 2, 0);
    PostMessageW(a, WM_USER, 3, 0);
    EXPECT_TRUE(testwin::Log({WM_USER}).empty());
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 2u); // the window filter skips a's messages
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    DispatchMessageW(&msg);
    win32::PumpUntilIdle();
    auto got = testwin::Log({WM_USER});
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].wParam, 1u);
    EXPECT_EQ(got[1].wParam, 2u);
    EXPECT_EQ(got[2].wParam, 3u);
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x4242), WM_USER, 0, 0));
}

TEST_F(Messages, MessagesForADestroyedWindowAreDropped)
{
    HWND c = testwin::CreateTop(0, 0, 10, 10);
    PostMessageW(c, WM_USER, 0, 0);
    DestroyWindow(c);
    testwin::ClearLog();
    win32::PumpUntilIdle();
    EXPECT_TRUE(testwin::Log({WM_USER}).empty());
}

TEST_F(Messages, QuitEndsGetMessageAndStaysForTheOwnerOfTheLoop)
{
    PostMessageW(a, WM_USER, 0, 0);
    PostQuitMessage(3);
    EXPECT_EQ(win32::PumpUntilIdle(), 1u);
    MSG msg{};
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, RegisteredMessagesShareOneIdPerName)
{
    UINT id = RegisterWindowMessageW(L"_NEW_VTL_SOFTWARE_AVAILABLE");
    EXPECT_GE(id, 0xC000u);
    EXPECT_LE(id, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageW(L"_new_vtl_software_available"), id);
    EXPECT_NE(RegisterWindowMessageW(L"another message"), id);
    EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}

TEST_F(Messages, UpdateNowPaintsInsideTheCallAndInternalPaintWaitsForTheLoop)
{
    RedrawWindow(a, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    auto paints = testwin::Log({WM_PAINT, WM_ERASEBKGND});
    ASSERT_EQ(paints.size(), 2u);
    EXPECT_EQ(paints[0].message, WM_PAINT);
    EXPECT_EQ(paints[1].message, WM_ERASEBKGND); // from BeginPaint, inside the paint
    EXPECT_FALSE(GetUpdateRect(a, nullptr, FALSE));

    testwin::ClearLog();
    RedrawWindow(a, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
    EXPECT_TRUE(testwin::Log({WM_PAINT}).empty());
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
    win32::PumpUntilIdle();
    EXPECT_EQ(testwin::Log({WM_PAINT}).size(), 1u);

    testwin::ClearLog();
    RECT part{10, 10, 20, 20};
    InvalidateRect(a, &part, FALSE);
    RECT more{50, 50, 60, 60};
    InvalidateRect(a, &more, FALSE);
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(a, &update, FALSE));
    EXPECT_EQ(update.left, 10);
    EXPECT_EQ(update.right, 60);
    UpdateWindow(a);
    EXPECT_EQ(testwin::Log({WM_PAINT}).size(), 1u);
    UpdateWindow(a); // nothing pending: no paint
    EXPECT_EQ(testwin::Log({WM_PAINT}).size(), 1u);
}

TEST_F(Messages, AWindowThatInvalidatesItselfInEveryPaintStopsThePumpLoudly)
{
    testwin::SetHandler(a,
                        [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT>
                        {
                            if (m != WM_PAINT)
                                return std::nullopt;
                            PAINTSTRUCT ps;
                            BeginPaint(h, &ps);
                            EndPaint(h, &ps);
                            InvalidateRect(h, nullptr, FALSE);
                            return 0;
                        });
    InvalidateRect(a, nullptr, FALSE);
    EXPECT_THROW(win32::PumpUntilIdle(50), std::runtime_error);
    testwin::SetHandler(a, nullptr);
    ValidateRect(a, nullptr);
}

TEST_F(Messages, TimersFireFromTheManualClock)
{
    SetTimer(a, 7, 100, nullptr);
    win32::PumpUntilIdle();
    EXPECT_TRUE(testwin::Log({WM_TIMER}).empty());
    win32::AdvanceClock(99);
    win32::PumpUntilIdle();
    EXPECT_TRUE(testwin::Log({WM_TIMER}).empty());
    win32::AdvanceClock(1);
    win32::PumpUntilIdle();
    auto timers = testwin::Log({WM_TIMER});
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0].wParam, 7u);
    win32::AdvanceClock(250); // one message however late, as the real timers do
    win32::PumpUntilIdle();
    EXPECT_EQ(testwin::Log({WM_TIMER}).size(), 2u);
    EXPECT_TRUE(KillTimer(a, 7));
    EXPECT_FALSE(KillTimer(a, 7));
    win32::AdvanceClock(1000);
    win32::PumpUntilIdle();
    EXPECT_EQ(testwin::Log({WM_TIMER}).size(), 2u);
    EXPECT_EQ(GetTickCount(), 2350u);
}

TEST_F(Messages, RightButtonReleaseRaisesTheContextMenuInScreenCoordinatesThroughTheParent)
{
    HWND child = testwin::CreateChild(b, 1, 10, 10, 50, 50);
    testwin::ClearLog();
    SendMessageW(child, WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
    auto menus = testwin::Log({WM_CONTEXTMENU});
    ASSERT_EQ(menus.size(), 2u); // the child's default handling passes it to the parent
    EXPECT_EQ(menus[0].hwnd, child);
    EXPECT_EQ(menus[1].hwnd, b);
    EXPECT_EQ(reinterpret_cast<HWND>(menus[1].wParam), child);
    EXPECT_EQ(GET_X_LPARAM(menus[1].lParam), 215);
    EXPECT_EQ(GET_Y_LPARAM(menus[1].lParam), 16);
}

TEST_F(Messages, DefaultCursorIsTheClassCursor)
{
    SetCursor(nullptr);
    SendMessageW(a, WM_SETCURSOR, reinterpret_cast<WPARAM>(a), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    win32::CursorInfo info = win32::DescribeCursor(GetCursor());
    EXPECT_TRUE(info.system);
    EXPECT_EQ(info.id, 32515u); // IDC_CROSS, the recording class's cursor
    EXPECT_EQ(SendMessageW(a, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(a), 0), MA_ACTIVATE);
}

TEST_F(Messages, DebugOutputIsCaptured)
{
    win32::TakeDebugOutput();
    OutputDebugStringW(L"View redraw is locked, try again later ...");
    EXPECT_EQ(win32::TakeDebugOutput(), L"View redraw is locked, try again later ...");
    EXPECT_EQ(win32::TakeDebugOutput(), L"");
}

} // namespace
