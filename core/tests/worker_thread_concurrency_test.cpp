#include "core/worker_thread.h"
#include "platform/win32/kernel_faults.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{

struct WorkerThread : ::testing::Test
{
    void TearDown() override { win32::ClearKernelFaults(); }
};

struct Counter
{
    std::atomic<int> calls{0};
    std::atomic<DWORD> thread{0};
    static void Run(void* p)
    {
        auto* c = static_cast<Counter*>(p);
        c->thread.store(GetCurrentThreadId());
        c->calls.fetch_add(1);
    }
};

TEST_F(WorkerThread, RunsTheFunctionOnceOnItsOwnThreadAndFreesTheBlock)
{
    const std::size_t handles = win32::OpenKernelHandleCount();
    Counter counter;
    cWorkerThread* worker = CreateWorkerThread(new stWorkerThreadBlock{&counter, Counter::Run});
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(WaitForSingleObject(worker->GetThreadHandle(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(counter.calls.load(), 1);
    EXPECT_EQ(counter.thread.load(), worker->GetThreadId());
    EXPECT_NE(counter.thread.load(), GetCurrentThreadId());
    EXPECT_FALSE(worker->IsRunning());
    delete worker;
    EXPECT_EQ(win32::OpenKernelHandleCount(), handles);
}

TEST_F(WorkerThread, StartIsRefusedWhileRunningAndWorksAgainAfterwards)
{
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    cWorkerThread worker([](void* p) { WaitForSingleObject(static_cast<HANDLE>(p), INFINITE); }, release);
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.Start());
    SetEvent(release);
    WaitForSingleObject(worker.GetThreadHandle(), INFINITE);
    const std::size_t handles = win32::OpenKernelHandleCount();
    ASSERT_TRUE(worker.Start()); // the event is still set: returns at once
    WaitForSingleObject(worker.GetThreadHandle(), INFINITE);
    EXPECT_EQ(win32::OpenKernelHandleCount(), handles) << "the first run's handle leaked";
    CloseHandle(release);
}

TEST_F(WorkerThread, ThreadThatEndsBeforeSignallingMakesStartFail)
{
    const std::size_t handles = win32::OpenKernelHandleCount();
    Counter counter;
    cWorkerThread worker(Counter::Run, &counter);
    win32::InjectKernelFault(win32::KernelFault::ThreadDiesAtStart, 1);
    EXPECT_FALSE(worker.Start());
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.GetThreadId(), 0u);
    EXPECT_EQ(win32::OpenKernelHandleCount(), handles);

    win32::InjectKernelFault(win32::KernelFault::CreateThreadFails, 1);
    EXPECT_FALSE(worker.Start());
    win32::InjectKernelFault(win32::KernelFault::CreateEventFails, 1);
    EXPECT_FALSE(worker.Start());
    EXPECT_EQ(counter.calls.load(), 0);
    EXPECT_EQ(win32::OpenKernelHandleCount(), handles);

    // A start block without its event or object ends the thread at once.
    cThreadBase::stStartBlock missing{nullptr, &worker};
    EXPECT_EQ(cThreadBase::ThreadEntry(&missing), 0xFFFFFFFFu);
    EXPECT_EQ(cThreadBase::ThreadEntry(nullptr), 0xFFFFFFFFu);
}

TEST_F(WorkerThread, CreateWorkerThreadFreesTheBlockWhenTheThreadCannotStart)
{
    Counter counter;
    win32::InjectKernelFault(win32::KernelFault::ThreadDiesAtStart, 1);
    EXPECT_EQ(CreateWorkerThread(new stWorkerThreadBlock{&counter, Counter::Run}), nullptr);
    EXPECT_EQ(CreateWorkerThread(nullptr), nullptr);
    EXPECT_EQ(counter.calls.load(), 0);
}

TEST_F(WorkerThread, DeletingTheObjectWaitsForARunningFunction)
{
    std::atomic<int> finished{0};
    auto* worker = new cWorkerThread(
        [](void* p) {
            Sleep(30);
            static_cast<std::atomic<int>*>(p)->store(1);
        },
        &finished);
    ASSERT_TRUE(worker->Start());
    delete worker;
    EXPECT_EQ(finished.load(), 1);
}

struct SelfDeleting : cThreadBase
{
    explicit SelfDeleting(std::atomic<int>* destroyed) : destroyed(destroyed) {}
    ~SelfDeleting() override
    {
        WaitForExit(); // from its own thread: must not wait for itself
        destroyed->store(1);
    }
    void Run() override {}
    std::atomic<int>* destroyed;
};

TEST_F(WorkerThread, AutoDeleteObjectDeletesItselfWhenRunReturns)
{
    std::atomic<int> destroyed{0};
    auto* thread = new SelfDeleting(&destroyed);
    thread->SetAutoDelete(true);
    ASSERT_TRUE(thread->Start());
    for (int i = 0; i < 2000 && destroyed.load() == 0; ++i)
        Sleep(1);
    EXPECT_EQ(destroyed.load(), 1);
}

} // namespace
