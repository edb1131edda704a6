#include "recording_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{

TEST(MessagesAcrossThreads, PostsFromAWorkerArriveInOrderOnTheWindowsThread)
{
    testwin::Reset();
    HWND w = testwin::CreateTop(0, 0, 10, 10, WS_OVERLAPPED);
    std::thread worker(
        [w]
        {
            for (int i = 0; i < 200; ++i)
                PostMessageW(w, WM_APP, static_cast<WPARAM>(i), 0);
            PostMessageW(w, WM_APP + 1, 0, 0);
        });
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0))
    {
        DispatchMessageW(&msg);
        if (msg.message == WM_APP + 1)
            break;
    }
    worker.join();
    auto got = testwin::Log({WM_APP});
    ASSERT_EQ(got.size(), 200u);
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].wParam, i);
    DestroyWindow(w);
}

TEST(MessagesAcrossThreads, SendFromAWorkerRunsOnTheOwnerThreadAndReturnsItsResult)
{
    testwin::Reset();
    HWND w = testwin::CreateTop(0, 0, 10, 10, WS_OVERLAPPED);
    const auto owner = std::this_thread::get_id();
    std::atomic<bool> ranOnOwner{false};
    testwin::SetHandler(w,
                        [&](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT>
                        {
                            if (m != WM_APP)
                                return std::nullopt;
                            ranOnOwner = std::this_thread::get_id() == owner;
                            return static_cast<LRESULT>(wp * 2);
                        });
    std::atomic<LRESULT> result{0};
    std::atomic<bool> done{false};
    std::thread worker(
        [&]
        {
            result = SendMessageW(w, WM_APP, 21, 0);
            done = true;
        });
    while (!done)
    {
        win32::PumpUntilIdle();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(result.load(), 42);
    EXPECT_TRUE(ranOnOwner);
    DestroyWindow(w);
}

TEST(MessagesAcrossThreads, IsWindowIsSafeFromAnotherThreadAfterDestruction)
{
    testwin::Reset();
    HWND w = testwin::CreateTop(0, 0, 10, 10, WS_OVERLAPPED);
    DestroyWindow(w);
    std::atomic<bool> alive{true};
    std::atomic<bool> posted{true};
    std::thread worker(
        [&]
        {
            alive = IsWindow(w) != FALSE;
            posted = PostMessageW(w, WM_APP, 0, 0) != FALSE;
        });
    worker.join();
    EXPECT_FALSE(alive);
    EXPECT_FALSE(posted);
}

} // namespace
