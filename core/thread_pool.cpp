#include "core/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace
{

// RAII guard for a critical section.
class cLockGuard
{
public:
    explicit cLockGuard(CRITICAL_SECTION& section) : m_section(section) { EnterCriticalSection(&m_section); }
    ~cLockGuard() { LeaveCriticalSection(&m_section); }
    cLockGuard(const cLockGuard&) = delete;
    cLockGuard& operator=(const cLockGuard&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

constexpr DWORD kLockSpinCount = 1024;
constexpr DWORD kIdleWaitPeriod = 3000;
constexpr DWORD kBatchWaitPeriod = 5000;

// An atomic read of an interlocked counter.
DWORD ReadCounter(const DWORD volatile* counter)
{
    return InterlockedCompareExchange(const_cast<DWORD volatile*>(counter), 0u, 0u);
}

int PoolThreadCount()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    // The stop waits for every thread in one call, which takes at most
    // MAXIMUM_WAIT_OBJECTS handles.
    return static_cast<int>(std::clamp<DWORD>(info.dwNumberOfProcessors, 2, MAXIMUM_WAIT_OBJECTS));
}

} // namespace

cThreadPool::cThreadPool()
    : m_threadCount(PoolThreadCount()),
      m_stopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_taskFinishedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_workAvailableEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    InitializeCriticalSectionAndSpinCount(&m_lock, kLockSpinCount);
    InitializeCriticalSectionAndSpinCount(&m_lifecycleLock, 0);
}

cThreadPool::cThreadPool(int threadCount) : cThreadPool()
{
    m_threadCount = std::clamp(threadCount, 1, static_cast<int>(MAXIMUM_WAIT_OBJECTS));
}

cThreadPool::~cThreadPool()
{
    Stop();
    // A stop that timed out leaves threads that still use the pool; freeing
    // it under them would crash later, so wait for their jobs to end.
    std::vector<stThreadContext*> retired;
    {
        cLockGuard guard(m_lock);
        retired.swap(m_retired);
    }
    for (stThreadContext* c : retired)
        WaitForSingleObject(c->exitEvent, INFINITE);
    FreeContexts(retired);
    for (HANDLE h : {m_stopEvent, m_taskFinishedEvent, m_workAvailableEvent})
        if (h != nullptr)
            CloseHandle(h);
    DeleteCriticalSection(&m_lifecycleLock);
    DeleteCriticalSection(&m_lock);
}

void cThreadPool::FreeContexts(std::vector<stThreadContext*>& contexts)
{
    for (stThreadContext* c : contexts)
    {
        if (c->exitEvent != nullptr)
            CloseHandle(c->exitEvent);
        if (c->thread != nullptr)
            CloseHandle(c->thread);
        delete c;
    }
    contexts.clear();
}

bool cThreadPool::ReapRetiredThreads()
{
    cLockGuard guard(m_lock);
    std::vector<stThreadContext*> gone;
    std::erase_if(m_retired, [&](stThreadContext* c) {
        if (WaitForSingleObject(c->exitEvent, 0) != WAIT_OBJECT_0)
            return false;
        gone.push_back(c);
        return true;
    });
    FreeContexts(gone);
    return m_retired.empty();
}

bool cThreadPool::IsStarted() const { return ReadCounter(&m_started) != 0; }

bool cThreadPool::Start()
{
    cLockGuard lifecycle(m_lifecycleLock);
    if (ReadCounter(&m_started) != 0)
        return true;
    if (m_stopEvent == nullptr || m_taskFinishedEvent == nullptr || m_workAvailableEvent == nullptr)
        return false;
    // Late threads of a timed-out stop still need the stop event set to
    // leave; new threads would see it too, so no start until they are gone.
    if (!ReapRetiredThreads())
        return false;
    ResetEvent(m_stopEvent);

    std::vector<stThreadContext*> contexts;
    bool complete = true;
    try
    {
        contexts.reserve(static_cast<std::size_t>(m_threadCount));
        for (int i = 0; i < m_threadCount && complete; ++i)
        {
            auto* c = new stThreadContext;
            c->pool = this;
            c->exitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            if (c->exitEvent != nullptr)
                c->thread = CreateThread(nullptr, 0, WorkerProc, c, 0, &c->threadId);
            if (c->thread == nullptr)
            {
                complete = false;
                if (c->exitEvent != nullptr)
                    CloseHandle(c->exitEvent);
                delete c;
                break;
            }
            contexts.push_back(c);
        }
    }
    catch (const std::bad_alloc&)
    {
        complete = false;
    }

    if (!complete)
    {
        // A partial pool is taken down again: the caller learns that the
        // pool is not running and runs its jobs itself.
        SetEvent(m_stopEvent);
        for (stThreadContext* c : contexts)
            WaitForSingleObject(c->exitEvent, INFINITE);
        FreeContexts(contexts);
        ResetEvent(m_stopEvent);
        return false;
    }

    bool leftOver = false;
    {
        cLockGuard guard(m_lock);
        m_contexts.swap(contexts);
        m_accepting = true;
        leftOver = !m_queue.empty();
    }
    // Jobs left queued by an earlier stop are picked up now.
    if (leftOver)
        SetEvent(m_workAvailableEvent);
    InterlockedIncrement(&m_started);
    return true;
}

void cThreadPool::Stop(DWORD timeout)
{
    cLockGuard lifecycle(m_lifecycleLock);
    if (ReadCounter(&m_started) == 0)
        return;

    std::vector<HANDLE> exitEvents;
    {
        cLockGuard guard(m_lock);
        for (stThreadContext* c : m_contexts)
            exitEvents.push_back(c->exitEvent);
        SetEvent(m_stopEvent);
        m_accepting = false;
    }
    // Batches that are waiting take over the queue at once instead of at
    // their next periodic check.
    SetEvent(m_taskFinishedEvent);

    DWORD result = WAIT_OBJECT_0;
    if (!exitEvents.empty())
        result = WaitForMultipleObjects(static_cast<DWORD>(exitEvents.size()), exitEvents.data(), TRUE, timeout);

    cLockGuard guard(m_lock);
    if (result == WAIT_OBJECT_0)
    {
        FreeContexts(m_contexts);
        ResetEvent(m_stopEvent);
    }
    else
    {
        // The stop event stays set, so each late thread leaves once its job
        // ends; Start frees them and refuses to start until they have.
        m_retired.insert(m_retired.end(), m_contexts.begin(), m_contexts.end());
        m_contexts.clear();
    }
    InterlockedExchange(&m_started, 0u);
}

namespace
{

// How many pool jobs this thread is running, one inside another when a job
// ran a waiting batch's job itself. A batch asked for inside a job runs on
// that job's thread: waiting for the pool to fall idle would wait on itself.
thread_local std::uint32_t theJobDepth = 0;

void RunJob(const stTask& task)
{
    struct stDepth
    {
        stDepth() { ++theJobDepth; }
        ~stDepth() { --theJobDepth; }
    } depth;
    task.function(task.argument);
}

} // namespace

DWORD cThreadPool::WorkerProc(void* parameter)
{
    auto* context = static_cast<stThreadContext*>(parameter);
    cThreadPool* pool = context->pool;
    // The stop event comes first: a thread that is free leaves even when
    // jobs are still queued.
    const HANDLE waits[2] = {pool->m_stopEvent, pool->m_workAvailableEvent};
    for (;;)
    {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        stTask task{};
        {
            cLockGuard guard(pool->m_lock);
            // Threads of a start that is being taken back, or of a stop under
            // way, take no more jobs: the waiting batches run them instead.
            if (pool->m_queue.empty() || !pool->m_accepting)
            {
                ResetEvent(pool->m_workAvailableEvent);
                continue;
            }
            task = pool->m_queue.front();
            pool->m_queue.pop_front();
            pool->m_tasksLeft = static_cast<std::uint32_t>(pool->m_queue.size());
            // Raised while the lock is held, so that a waiter never sees the
            // job neither queued nor running.
            InterlockedIncrement(&context->busy);
        }
        RunJob(task);
        InterlockedDecrement(&context->busy);
        // Batches wait for the pool to fall idle: only the job that leaves it
        // idle wakes them, not each of a batch's many jobs in turn.
        pool->SignalIfIdle();
    }
    SetEvent(context->exitEvent);
    return 0;
}

void cThreadPool::SignalIfIdle()
{
    bool idle = false;
    {
        cLockGuard guard(m_lock);
        idle = IsIdleLocked();
    }
    if (idle)
        SetEvent(m_taskFinishedEvent);
}

bool cThreadPool::IsIdleLocked() const
{
    if (!m_queue.empty() || m_inlineBusy != 0)
        return false;
    for (const auto* list : {&m_contexts, &m_retired})
        for (const stThreadContext* c : *list)
            if (ReadCounter(&c->busy) != 0)
                return false;
    return true;
}

bool cThreadPool::TakeQueuedTaskLocked(stTask& task)
{
    if (m_accepting || m_queue.empty())
        return false;
    task = m_queue.front();
    m_queue.pop_front();
    m_tasksLeft = static_cast<std::uint32_t>(m_queue.size());
    ++m_inlineBusy;
    return true;
}

void cThreadPool::WaitUntilIdle(DWORD period)
{
    for (;;)
    {
        stTask task{};
        bool runHere = false;
        bool idle = false;
        {
            cLockGuard guard(m_lock);
            // With the threads stopping or stopped nobody else will run the
            // queued jobs, and this batch may be among them.
            runHere = TakeQueuedTaskLocked(task);
            if (!runHere)
                idle = IsIdleLocked();
        }
        if (runHere)
        {
            RunJob(task);
            {
                cLockGuard guard(m_lock);
                --m_inlineBusy;
            }
            SignalIfIdle(); // other batches waiting may be waiting for this job
            continue;
        }
        if (idle)
            return;
        // Reset before the next test: a job that ends after the reset sets
        // the event again, one that ended before it is seen by the test.
        if (WaitForSingleObject(m_taskFinishedEvent, period) == WAIT_OBJECT_0)
            ResetEvent(m_taskFinishedEvent);
    }
}

bool cThreadPool::RunAndWait(const std::vector<stTask>& tasks)
{
    if (tasks.empty())
        return true;
    if (theJobDepth > 0 || !Start())
    {
        for (const stTask& task : tasks)
            task.function(task.argument);
        return false;
    }

    ResetEvent(m_taskFinishedEvent);
    WaitUntilIdle(kIdleWaitPeriod);
    ResetEvent(m_taskFinishedEvent);

    for (const stTask& task : tasks)
    {
        bool queued = false;
        try
        {
            cLockGuard guard(m_lock);
            if (m_accepting && m_queue.size() < m_queueLimit)
            {
                m_queue.push_back(task);
                queued = true;
            }
        }
        catch (const std::bad_alloc&)
        {
            queued = false;
        }
        if (queued)
            SetEvent(m_workAvailableEvent);
        else
            RunJob(task); // a full queue or a stopping pool: run it here, never drop it
    }

    WaitUntilIdle(kBatchWaitPeriod);
    ResetEvent(m_taskFinishedEvent);
    return true;
}

namespace
{

// A contiguous share of a ParallelFor's indices. Grouping indices keeps the
// queue short and the per-job overhead low for millions of tiny items, while
// several shares per thread still balance uneven items.
struct stIndexRange
{
    std::uint32_t begin;
    std::uint32_t end;
    ParallelForCallback callback;
    void* context;
};

void RunIndexRange(void* argument)
{
    const auto* range = static_cast<const stIndexRange*>(argument);
    for (std::uint32_t i = range->begin; i < range->end; ++i)
        range->callback(range->context, i);
}

constexpr std::uint32_t kSharesPerThread = 8;

} // namespace

void ParallelFor(cThreadPool* pool, std::uint32_t count, ParallelForCallback callback, void* context)
{
    if (count == 0 || callback == nullptr)
        return;
    if (pool != nullptr)
    {
        try
        {
            const std::uint32_t threads = static_cast<std::uint32_t>(pool->GetThreadCount());
            const std::uint32_t shares = std::min(count, threads * kSharesPerThread);
            std::vector<stIndexRange> ranges(shares);
            std::vector<stTask> tasks(shares);
            for (std::uint32_t s = 0; s < shares; ++s)
            {
                // Shares differ in size by one index at most.
                const auto begin = static_cast<std::uint32_t>(std::uint64_t{count} * s / shares);
                const auto end = static_cast<std::uint32_t>(std::uint64_t{count} * (s + 1) / shares);
                ranges[s] = {begin, end, callback, context};
                tasks[s] = {RunIndexRange, &ranges[s]};
            }
            pool->RunAndWait(tasks);
            return;
        }
        catch (const std::bad_alloc&)
        {
            // Nothing was submitted: fall through and run every index here.
        }
    }
    for (std::uint32_t i = 0; i < count; ++i)
        callback(context, i);
}

namespace
{
std::atomic<cThreadPool*> theSharedPool{nullptr};
} // namespace

cThreadPool* SharedThreadPool()
{
    return theSharedPool.load(std::memory_order_acquire);
}

void SetSharedThreadPool(cThreadPool* pool)
{
    theSharedPool.store(pool, std::memory_order_release);
}
