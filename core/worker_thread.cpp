#include "core/worker_thread.h"

#include <memory>
#include <new>

bool cThreadBase::IsRunning() const
{
    return InterlockedCompareExchange(const_cast<DWORD volatile*>(&m_running), 0u, 0u) != 0;
}

cThreadBase::~cThreadBase()
{
    if (m_thread != nullptr)
        CloseHandle(m_thread);
}

bool cThreadBase::WaitForExit(DWORD timeout) const
{
    if (m_thread == nullptr || m_threadId == GetCurrentThreadId())
        return true;
    return WaitForSingleObject(m_thread, timeout) == WAIT_OBJECT_0;
}

unsigned cThreadBase::ThreadEntry(void* parameter)
{
    const auto* block = static_cast<const stStartBlock*>(parameter);
    if (block == nullptr || block->thread == nullptr || block->startedEvent == nullptr)
        return 0xFFFFFFFF;
    // The block lives on the starter's stack only until the event is set.
    cThreadBase* self = block->thread;
    // Counted as running before the starter is released, so that a second
    // Start right after the first one sees the thread.
    InterlockedIncrement(&self->m_running);
    SetEvent(block->startedEvent);
    self->Run();
    const bool autoDelete = self->m_autoDelete != 0;
    InterlockedDecrement(&self->m_running);
    if (autoDelete)
        delete self;
    return 0;
}

bool cThreadBase::Start()
{
    if (IsRunning())
        return false;
    if (m_thread != nullptr)
    {
        // The handle of an earlier run; its thread may still be on its way out.
        if (WaitForSingleObject(m_thread, 0) != WAIT_OBJECT_0)
            return false;
        CloseHandle(m_thread);
        m_thread = nullptr;
        m_threadId = 0;
    }

    HANDLE started = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (started == nullptr)
        return false;
    stStartBlock block{started, this};
    unsigned id = 0;
    const std::uintptr_t raw = _beginthreadex(nullptr, 0, ThreadEntry, &block, CREATE_SUSPENDED, &id);
    if (raw == 0)
    {
        CloseHandle(started);
        return false;
    }
    const HANDLE thread = reinterpret_cast<HANDLE>(raw);
    m_thread = thread;
    m_threadId = id;
    ResumeThread(thread);

    // The event comes first: a thread that signalled and then ended at once
    // still counts as started. With auto-delete the object may be gone once
    // the event is set, so only locals are used from here on.
    const HANDLE waits[2] = {started, thread};
    const DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    // An auto-delete thread that already ran to its end has closed its own
    // handle, which fails the wait; its start event still tells.
    const bool running = result == WAIT_OBJECT_0 || WaitForSingleObject(started, 0) == WAIT_OBJECT_0;
    CloseHandle(started);
    if (running)
        return true;
    CloseHandle(thread);
    m_thread = nullptr;
    m_threadId = 0;
    return false;
}

cWorkerThread::~cWorkerThread() { WaitForExit(); }

void cWorkerThread::Run()
{
    if (m_function != nullptr)
        m_function(m_argument);
}

namespace
{

void RunWorkerBlock(void* parameter)
{
    std::unique_ptr<stWorkerThreadBlock> block(static_cast<stWorkerThreadBlock*>(parameter));
    if (block->function != nullptr)
        block->function(block->argument);
}

} // namespace

cWorkerThread* CreateWorkerThread(stWorkerThreadBlock* block)
{
    if (block == nullptr)
        return nullptr;
    auto* thread = new (std::nothrow) cWorkerThread(RunWorkerBlock, block);
    if (thread == nullptr)
    {
        delete block;
        return nullptr;
    }
    if (!thread->Start())
    {
        // Run never began, so the block was not freed by the trampoline.
        delete thread;
        delete block;
        return nullptr;
    }
    return thread;
}
