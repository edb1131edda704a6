#include "core/thread_pool.h"
#include "platform/win32/kernel_faults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

namespace
{

struct ThreadPool : ::testing::Test
{
    void TearDown() override { win32::ClearKernelFaults(); }
};

void CountCall(void* argument) { static_cast<std::atomic<int>*>(argument)->fetch_add(1); }

// Every index adds its own value into its own slot: an exact check that each
// index ran once, with no two jobs writing the same data.
struct SliceSums
{
    explicit SliceSums(std::uint32_t n) : values(n, 0) {}
    static void Job(void* context, std::uint32_t index)
    {
        auto* self = static_cast<SliceSums*>(context);
        self->values[index] += std::uint64_t{index} * 3 + 1;
    }
    std::uint64_t Expected() const
    {
        const std::uint64_t n = values.size();
        return 3 * (n * (n - 1) / 2) + n;
    }
    std::uint64_t Total() const { return std::accumulate(values.begin(), values.end(), std::uint64_t{0}); }
    bool EachOnce() const
    {
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i] != std::uint64_t{i} * 3 + 1)
                return false;
        return true;
    }
    std::vector<std::uint64_t> values;
};

TEST_F(ThreadPool, StartingTwiceCreatesTheThreadsOnceAndStopReleasesThem)
{
    const std::size_t before = win32::OpenKernelHandleCount();
    {
        cThreadPool pool;
        const std::size_t idle = win32::OpenKernelHandleCount();
        pool.Stop(); // never started: returns at once
        EXPECT_FALSE(pool.IsStarted());
        ASSERT_TRUE(pool.Start());
        const std::size_t started = win32::OpenKernelHandleCount();
        // A thread handle and an exit event per thread.
        EXPECT_EQ(started - idle, 2u * static_cast<std::size_t>(pool.GetThreadCount()));
        EXPECT_TRUE(pool.Start());
        EXPECT_EQ(win32::OpenKernelHandleCount(), started);
        pool.Stop();
        EXPECT_FALSE(pool.IsStarted());
        EXPECT_EQ(win32::OpenKernelHandleCount(), idle);
    }
    EXPECT_EQ(win32::OpenKernelHandleCount(), before);
}

TEST_F(ThreadPool, HasAtLeastTwoThreadsAndNoMoreThanOneWaitCanWatch)
{
    win32::OverrideProcessorCount(1);
    EXPECT_EQ(cThreadPool().GetThreadCount(), 2);
    win32::OverrideProcessorCount(500);
    cThreadPool big;
    EXPECT_EQ(big.GetThreadCount(), 64);
    ASSERT_TRUE(big.Start());
    SliceSums sums(10000);
    ParallelFor(&big, 10000, SliceSums::Job, &sums);
    EXPECT_TRUE(sums.EachOnce());
    big.Stop();
}

TEST_F(ThreadPool, AChosenSizeIsKeptWithinOneAndTheWaitLimit)
{
    EXPECT_EQ(cThreadPool(0).GetThreadCount(), 1);
    EXPECT_EQ(cThreadPool(1000).GetThreadCount(), 64);
    cThreadPool single(1);
    ASSERT_TRUE(single.Start());
    SliceSums sums(5000);
    ParallelFor(&single, 5000, SliceSums::Job, &sums);
    EXPECT_TRUE(sums.EachOnce());
    single.Stop();
}

TEST_F(ThreadPool, ParallelForRunsEveryIndexExactlyOnce)
{
    cThreadPool pool;
    for (std::uint32_t n : {0u, 1u, 7u, 1000u, 100001u})
    {
        SliceSums sums(n);
        ParallelFor(&pool, n, SliceSums::Job, &sums);
        EXPECT_TRUE(sums.EachOnce()) << n;
        EXPECT_EQ(sums.Total(), n == 0 ? 0 : sums.Expected()) << n;
    }
    SliceSums inline_(1000);
    ParallelFor(nullptr, 1000, SliceSums::Job, &inline_);
    EXPECT_TRUE(inline_.EachOnce());
}

TEST_F(ThreadPool, ABatchAskedForInsideAJobRunsOnThatJobsThread)
{
    // Each outer job asks for a batch of its own; waiting for the pool to
    // fall idle from inside a job never returned.
    cThreadPool pool(4);
    std::vector<SliceSums> inner(32, SliceSums(500));
    struct stOuter
    {
        cThreadPool* pool;
        std::vector<SliceSums>* inner;
        static void Job(void* context, std::uint32_t index)
        {
            auto* self = static_cast<stOuter*>(context);
            ParallelFor(self->pool, 500, SliceSums::Job, &(*self->inner)[index]);
        }
    } outer{&pool, &inner};
    ParallelFor(&pool, 32, stOuter::Job, &outer);
    for (const SliceSums& sums : inner)
        EXPECT_TRUE(sums.EachOnce());
}

TEST_F(ThreadPool, QueueFullOfTinyJobsLosesNone)
{
    // Far more jobs than the queue holds: the overflow runs on the submitting
    // thread instead of being dropped.
    cThreadPool pool;
    std::atomic<int> calls{0};
    std::vector<stTask> tasks(250000, stTask{CountCall, &calls});
    EXPECT_TRUE(pool.RunAndWait(tasks));
    EXPECT_EQ(calls.load(), 250000);
    EXPECT_TRUE(pool.RunAndWait({}));
}

TEST_F(ThreadPool, JobsOfferedToAFullQueueRunOnTheSubmitter)
{
    // Every thread is held by a gate job, so the queue fills up for certain.
    // The jobs that find it full must run on the submitting thread (the
    // first of them opens the gates); dropping them would lose their counts
    // and leave the gates shut.
    cThreadPool pool;
    ASSERT_TRUE(pool.Start());
    struct Batch
    {
        HANDLE gates = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<DWORD> submitter{0};
        std::atomic<int> counted{0};
        std::atomic<int> onSubmitter{0};
        ~Batch()
        {
            CloseHandle(gates);
            CloseHandle(finished);
        }
    } batch;
    const auto gate = [](void* p) { WaitForSingleObject(static_cast<Batch*>(p)->gates, INFINITE); };
    const auto count = [](void* p) {
        auto* b = static_cast<Batch*>(p);
        b->counted.fetch_add(1);
        if (GetCurrentThreadId() == b->submitter.load())
        {
            b->onSubmitter.fetch_add(1);
            SetEvent(b->gates);
        }
    };
    const int jobs = static_cast<int>(cThreadPool::kDefaultQueueLimit) + 100;
    std::vector<stTask> tasks(static_cast<std::size_t>(pool.GetThreadCount()), stTask{gate, &batch});
    tasks.insert(tasks.end(), static_cast<std::size_t>(jobs), stTask{count, &batch});

    std::thread submitter([&] {
        batch.submitter.store(GetCurrentThreadId());
        EXPECT_TRUE(pool.RunAndWait(tasks));
        SetEvent(batch.finished);
    });
    const bool finished = WaitForSingleObject(batch.finished, 60000) == WAIT_OBJECT_0;
    SetEvent(batch.gates); // never leave the threads shut in, whatever happened
    submitter.join();
    EXPECT_TRUE(finished) << "the batch hung with its gates shut: no job ran on the submitter";
    EXPECT_EQ(batch.counted.load(), jobs);
    EXPECT_GE(batch.onSubmitter.load(), 1);
}

TEST_F(ThreadPool, BatchReturnsOnlyAfterEveryJobHasEnded)
{
    // Each job writes into a block that is freed as soon as the batch returns;
    // a batch that came back early shows as a use after free or a missing mark.
    cThreadPool pool;
    for (int round = 0; round < 2000; ++round)
    {
        const std::uint32_t n = static_cast<std::uint32_t>(pool.GetThreadCount()) * 2 + (round % 5);
        auto marks = std::make_unique<std::atomic<std::uint8_t>[]>(n);
        for (std::uint32_t i = 0; i < n; ++i)
            marks[i].store(0);
        ParallelFor(
            &pool, n,
            [](void* context, std::uint32_t index) {
                std::this_thread::yield();
                static_cast<std::atomic<std::uint8_t>*>(context)[index].fetch_add(1);
            },
            marks.get());
        for (std::uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(marks[i].load(), 1) << "round " << round << " index " << i;
    }
}

TEST_F(ThreadPool, ABatchReturnsWhenItsLastJobEndsNotAtItsWaitsPeriod)
{
    // The submitter sleeps until the pool falls idle, re-testing every few
    // seconds: a batch of many tiny jobs that is not woken by the job that
    // leaves the pool idle comes back only at that re-test.
    cThreadPool pool;
    for (int round = 0; round < 50; ++round)
    {
        std::atomic<int> ran{0};
        const auto start = std::chrono::steady_clock::now();
        ParallelFor(
            &pool, 256, [](void* context, std::uint32_t) { static_cast<std::atomic<int>*>(context)->fetch_add(1); },
            &ran);
        ASSERT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0) << round;
        ASSERT_EQ(ran.load(), 256);
    }
}

TEST_F(ThreadPool, StopAndStartCyclesKeepWorking)
{
    cThreadPool pool;
    for (int cycle = 0; cycle < 20; ++cycle)
    {
        ASSERT_TRUE(pool.Start());
        SliceSums sums(5000);
        ParallelFor(&pool, 5000, SliceSums::Job, &sums);
        ASSERT_TRUE(sums.EachOnce()) << cycle;
        pool.Stop();
        ASSERT_FALSE(pool.IsStarted());
    }
    // A batch on a stopped pool starts it again.
    SliceSums sums(300);
    ParallelFor(&pool, 300, SliceSums::Job, &sums);
    EXPECT_TRUE(sums.EachOnce());
    EXPECT_TRUE(pool.IsStarted());
}

TEST_F(ThreadPool, FailedStartIsReportedAndTheBatchRunsOnTheCaller)
{
    cThreadPool pool;
    const std::size_t idle = win32::OpenKernelHandleCount();
    // One thread of the pool cannot be created.
    win32::InjectKernelFault(win32::KernelFault::CreateThreadFails, 1);
    EXPECT_FALSE(pool.Start());
    EXPECT_FALSE(pool.IsStarted());
    EXPECT_EQ(win32::OpenKernelHandleCount(), idle) << "a partial pool was left behind";

    win32::InjectKernelFault(win32::KernelFault::CreateThreadFails, 1);
    struct Record
    {
        DWORD thread = 0;
        int calls = 0;
    };
    std::vector<Record> records(50);
    std::vector<stTask> tasks;
    for (auto& r : records)
        tasks.push_back({[](void* p) {
                             auto* rec = static_cast<Record*>(p);
                             rec->thread = GetCurrentThreadId();
                             ++rec->calls;
                         },
                         &r});
    EXPECT_FALSE(pool.RunAndWait(tasks));
    for (const auto& r : records)
    {
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(r.thread, GetCurrentThreadId());
    }
    // With the fault spent the pool starts normally.
    EXPECT_TRUE(pool.Start());
    pool.Stop();
    EXPECT_EQ(win32::OpenKernelHandleCount(), idle);
}

TEST_F(ThreadPool, PoolWithoutItsEventsNeverStartsAndStillRunsBatches)
{
    win32::InjectKernelFault(win32::KernelFault::CreateEventFails, 1);
    cThreadPool pool;
    EXPECT_FALSE(pool.Start());
    SliceSums sums(100);
    ParallelFor(&pool, 100, SliceSums::Job, &sums);
    EXPECT_TRUE(sums.EachOnce());
}

TEST_F(ThreadPool, BatchesFinishWhileAnotherThreadStopsAndStartsThePool)
{
    cThreadPool pool;
    std::atomic<bool> done{false};
    std::atomic<int> batches{0};
    std::atomic<int> failures{0};
    std::thread submitter([&] {
        for (int b = 0; b < 300; ++b)
        {
            SliceSums sums(2000 + b);
            ParallelFor(&pool, 2000 + b, SliceSums::Job, &sums);
            if (!sums.EachOnce())
                failures.fetch_add(1);
            batches.fetch_add(1);
        }
        done.store(true);
    });
    while (!done.load())
    {
        pool.Stop();
        std::this_thread::yield();
        pool.Start();
    }
    submitter.join();
    EXPECT_EQ(batches.load(), 300);
    EXPECT_EQ(failures.load(), 0);
}

struct Gate
{
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> runs{0};
    ~Gate()
    {
        CloseHandle(entered);
        CloseHandle(release);
    }
    static void Job(void* p)
    {
        auto* g = static_cast<Gate*>(p);
        SetEvent(g->entered);
        WaitForSingleObject(g->release, INFINITE);
        g->runs.fetch_add(1);
    }
};

TEST_F(ThreadPool, TimedOutStopNeverStartsNewThreadsUnderLateOnes)
{
    cThreadPool pool;
    Gate gate;
    std::atomic<bool> batchDone{false};
    std::thread submitter([&] {
        EXPECT_TRUE(pool.RunAndWait({{Gate::Job, &gate}}));
        batchDone.store(true);
    });
    ASSERT_EQ(WaitForSingleObject(gate.entered, 10000), WAIT_OBJECT_0);

    pool.Stop(20); // the job holds one thread: the stop times out
    EXPECT_FALSE(pool.IsStarted());
    EXPECT_FALSE(pool.Start()) << "started new threads while a late one still runs a job";
    // Meanwhile batches still complete, on the calling thread.
    std::atomic<int> calls{0};
    EXPECT_FALSE(pool.RunAndWait({{CountCall, &calls}, {CountCall, &calls}}));
    EXPECT_EQ(calls.load(), 2);
    EXPECT_FALSE(batchDone.load()) << "the batch returned while its job was still running";

    SetEvent(gate.release);
    submitter.join();
    EXPECT_EQ(gate.runs.load(), 1);
    bool restarted = false;
    for (int i = 0; i < 1000 && !restarted; ++i)
    {
        restarted = pool.Start();
        if (!restarted)
            Sleep(5);
    }
    EXPECT_TRUE(restarted);
}

} // namespace
