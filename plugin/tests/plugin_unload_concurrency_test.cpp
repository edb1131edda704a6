// Unloading the plug-in while a job of its pool is still running.
#include "plugin/vtl_plugin.h"

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

} // namespace
