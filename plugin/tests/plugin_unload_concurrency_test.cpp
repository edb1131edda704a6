// Unloading the plug-in while a job of its pool or its update check is
// still running.
#include "plugin/vtl_plugin.h"

#include "platform/win32/window.h"
#include "platform/wininet/tests/support/loopback_http_server.h"
#include "plugin/dialogs/update_notice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace
{

TEST(PlugInUnload, WithABlockedPoolJobItReturnsAfterTheTimeOut)
{
    auto plugin = std::make_unique<Cvtl_for_Dezaz4PlugIn>();
    ASSERT_TRUE(plugin->OnLoadPlugIn());
    std::atomic<bool> release{false};
    std::atomic<bool> running{false};
    struct Job
    {
        std::atomic<bool>* release;
        std::atomic<bool>* running;
    } job{&release, &running};
    std::thread submitter([&] {
        plugin->ThreadPool().RunAndWait({{[](void* argument) {
                                              auto* j = static_cast<Job*>(argument);
                                              j->running->store(true);
                                              while (!j->release->load())
                                                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                          },
                                          &job}});
    });
    while (!running.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    plugin->SetPoolStopTimeout(50);
    plugin->OnUnloadPlugIn(); // comes back although the job still runs
    EXPECT_TRUE(running.load());
    EXPECT_FALSE(plugin->ThreadPool().IsStarted());
    EXPECT_EQ(plugin->EventWatcher(), nullptr);
    release.store(true);
    submitter.join();
    plugin.reset(); // the pool's late thread has left or is waited for
}

TEST(PlugInUnload, WhileTheUpdateCheckWaitsOnASilentServerItEndsTheCheckAtOnce)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"UnloadUpdateNoticeView";
    RegisterClassW(&wc);
    HWND view = CreateWindowExW(0, L"UnloadUpdateNoticeView", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(view, nullptr);
    auto plugin = std::make_unique<Cvtl_for_Dezaz4PlugIn>();
    ASSERT_TRUE(plugin->OnLoadPlugIn());
    // The server takes the request and never answers.
    vtl_test::LoopbackHttpServer server;
    server.SetReply({200, "", 0, true, false});
    ResetUpdateCheckOnce();
    ASSERT_TRUE(StartUpdateCheckOnce(view, server.Url(L"/")));
    for (int i = 0; i < 400 && server.Requests().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(server.Requests().size(), 1u);
    // The host closing: the plug-in unloads, then its library goes, which
    // waits for a check still running.
    const auto start = std::chrono::steady_clock::now();
    plugin->OnUnloadPlugIn();
    FinishUpdateCheck();
    const auto held = std::chrono::steady_clock::now() - start;
    // Waiting the silent server out takes one time-out for the information
    // and one for the ping, 2 s (10 s where the connection is never made).
    EXPECT_LT(held, std::chrono::milliseconds(900));
    plugin.reset();
    ResetUpdateCheckOnce();
    DestroyWindow(view);
}

} // namespace
