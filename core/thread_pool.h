// The process-wide pool of worker threads that runs batches of independent
// jobs (deviation distances, multi-plane mesh sectioning) while the
// submitting thread waits.
//
// The pool is built once by the plug-in object, started at load (or by the
// first batch) and stopped at unload. A batch never comes back before every
// one of its jobs has run to its end, and no job is ever dropped: when the
// pool cannot run a job (it could not start, it is being stopped, or its
// queue is full) the submitting thread runs the job itself.
#pragma once

#include "platform/win32/win32.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

using TaskFunction = void (*)(void* argument);

// One job of a batch, copied by value into the pool's queue.
struct stTask
{
    TaskFunction function;
    void* argument;
};

class cThreadPool
{
public:
    static constexpr DWORD kDefaultStopTimeout = 60000;
    static constexpr std::uint32_t kDefaultQueueLimit = 100000;

    // Sizes the pool (one thread per processor, at least two); starts nothing.
    cThreadPool();
    // A pool of the given size (1 to MAXIMUM_WAIT_OBJECTS threads), for
    // callers that must see the same results on any number of threads.
    explicit cThreadPool(int threadCount);
    // Stops the threads; a job that is still running is waited for, because
    // the threads use the pool until they leave.
    ~cThreadPool();
    cThreadPool(const cThreadPool&) = delete;
    cThreadPool& operator=(const cThreadPool&) = delete;

    // Starts the threads once; true also when already started. False when
    // the threads cannot all be created (none is left running then), or while
    // the threads of a stop that timed out are still finishing their jobs.
    bool Start();
    // Asks the threads to leave as soon as they are free and waits for them
    // at most `timeout` ms. After a time-out the late threads still leave
    // once their job ends, and the pool is not started again before they have.
    // Queued jobs that no thread took stay queued for the next start (a
    // waiting batch runs them itself).
    void Stop(DWORD timeout = kDefaultStopTimeout);

    // Runs every task and returns when all have finished. True when the pool
    // ran them; false when the calling thread ran them itself, in order: the
    // pool could not start, or the caller is itself running one of the
    // pool's jobs (a batch waits for the pool to fall idle, which would
    // wait on the job asking).
    bool RunAndWait(const std::vector<stTask>& tasks);

    int GetThreadCount() const { return m_threadCount; }
    bool IsStarted() const;

private:
    struct stThreadContext
    {
        DWORD volatile busy = 0; // interlocked; raised under the queue lock together with the dequeue
        cThreadPool* pool = nullptr;
        DWORD threadId = 0;
        HANDLE thread = nullptr;
        HANDLE exitEvent = nullptr;
    };

    static DWORD WorkerProc(void* context);
    // Waits until no job is queued or running, re-testing every `period` ms.
    void WaitUntilIdle(DWORD period);
    bool IsIdleLocked() const;
    // Wakes the waiting batches when no job is queued or running.
    void SignalIfIdle();
    bool TakeQueuedTaskLocked(stTask& task);
    void FreeContexts(std::vector<stThreadContext*>& contexts);
    // Frees the late threads of a timed-out stop that have left; true when
    // none is left running.
    bool ReapRetiredThreads();

    std::deque<stTask> m_queue;
    std::vector<stThreadContext*> m_contexts;
    int m_threadCount;
    std::uint32_t m_queueLimit = kDefaultQueueLimit;
    CRITICAL_SECTION m_lock;
    HANDLE m_stopEvent;
    HANDLE m_taskFinishedEvent;
    HANDLE m_workAvailableEvent;
    DWORD volatile m_started = 0; // interlocked
    std::uint32_t m_tasksLeft = 0;

    // Serialises Start and Stop.
    CRITICAL_SECTION m_lifecycleLock;
    // Guarded by m_lock: whether threads are taking jobs (false while a stop
    // is under way and when stopped), the threads of a stop that timed out,
    // and the queued jobs that waiting batches are running themselves.
    bool m_accepting = false;
    std::vector<stThreadContext*> m_retired;
    std::uint32_t m_inlineBusy = 0;
};

// Calls callback(context, i) exactly once for every i in [0, count) on the
// pool's threads and returns when all calls have finished. Calls run in any
// order and in parallel; each must only write data that no other call of the
// batch touches. Without a pool (or when it cannot run) the calls run on the
// calling thread.
using ParallelForCallback = void (*)(void* context, std::uint32_t index);
void ParallelFor(cThreadPool* pool, std::uint32_t count, ParallelForCallback callback, void* context);

// Calls each(i) for every i in [0, count), `block` consecutive indices per
// job of ParallelFor; each(i) must only write what belongs to i. For
// per-item results that the caller then combines in index order, so that
// the outcome is the same with or without a pool.
template <class Each> void ParallelForEach(cThreadPool* pool, std::size_t count, std::size_t block, Each& each)
{
    struct stJobs
    {
        Each* each;
        std::size_t count;
        std::size_t block;
    } jobs{&each, count, block};
    if (count == 0 || block == 0)
        return;
    const ParallelForCallback run = [](void* context, std::uint32_t job) {
        const auto& j = *static_cast<const stJobs*>(context);
        const std::size_t end = std::min(j.count, (std::size_t{job} + 1) * j.block);
        for (std::size_t i = std::size_t{job} * j.block; i < end; ++i)
            (*j.each)(i);
    };
    ParallelFor(pool, static_cast<std::uint32_t>((count + block - 1) / block), run, &jobs);
}

// The pool that work shares where it splits (region walks, fit sums): the
// plug-in object's while it is loaded, null otherwise, when such work runs
// on the calling thread. Every such work gives the same result either way.
cThreadPool* SharedThreadPool();
void SetSharedThreadPool(cThreadPool* pool);
