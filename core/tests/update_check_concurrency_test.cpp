#include "core/update_checker.h"
#include "platform/wininet/tests/support/loopback_http_server.h"
#include "vtl_version.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

using vtl_test::LoopbackHttpServer;

std::string Utf16Text(const std::wstring& text)
{
    std::string bytes("\xFF\xFE", 2);
    for (wchar_t c : text)
    {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

struct UpdateCheckThread : ::testing::Test
{
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"UpdateCheckTarget";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"UpdateCheckTarget", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
        }
    }

    // Runs the whole check on its worker thread and waits for it to end.
    void RunCheck(const std::string& offered)
    {
        server.SetReply({200, offered, 0, false, false});
        auto* request = new stUpdateCheckRequest;
        request->notifyWindow = window;
        request->server = server.Url(L"/");
        std::unique_ptr<cWorkerThread> thread(StartUpdateCheck(request));
        ASSERT_NE(thread, nullptr);
        EXPECT_EQ(WaitForSingleObject(thread->GetThreadHandle(), 30000), WAIT_OBJECT_0);
    }

    int NoticesReceived()
    {
        const UINT notice = RegisterWindowMessageW(L"_NEW_VTL_SOFTWARE_AVAILABLE");
        int count = 0;
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == notice)
            {
                EXPECT_EQ(msg.hwnd, window);
                EXPECT_EQ(msg.wParam, 0u);
                EXPECT_EQ(msg.lParam, 0);
                ++count;
            }
        return count;
    }

    LoopbackHttpServer server;
    HWND window = nullptr;
};

TEST_F(UpdateCheckThread, NewerVersionPostsTheNoticeAndPingsWithTheRunningVersion)
{
    RunCheck(Utf16Text(L"65535|0|0|0"));
    EXPECT_EQ(NoticesReceived(), 1);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rfind("GET /download/update_info4.txt ", 0), 0u);
    EXPECT_EQ(requests[1].rfind("GET /download/update_check.php?Version=" VTL_VERSION_TEXT " ", 0), 0u);
}

TEST_F(UpdateCheckThread, SameVersionPostsNothingButStillPings)
{
    const std::string running = VTL_VERSION_TEXT;
    std::wstring text(running.begin(), running.end());
    for (auto& c : text)
        if (c == L'.')
            c = L'|';
    RunCheck(Utf16Text(text));
    EXPECT_EQ(NoticesReceived(), 0);
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(UpdateCheckThread, ClosedWindowGetsNoNotice)
{
    DestroyWindow(window);
    RunCheck(Utf16Text(L"65535|0|0|0"));
    EXPECT_EQ(NoticesReceived(), 0);
    EXPECT_EQ(server.Requests().size(), 2u);
}

} // namespace
