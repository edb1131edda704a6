// One-shot threads: cThreadBase runs its Run operation once on a thread of
// its own; cWorkerThread runs a plain function. The update check runs on one.
#pragma once

#include "core/thread_pool.h"
#include "platform/win32/win32.h"

#include <cstdint>

class cThreadBase
{
public:
    cThreadBase() = default;
    // Closes the thread handle. A derived class whose Run may still be going
    // on waits for it in its own destructor (WaitForExit), before its members
    // are gone.
    virtual ~cThreadBase();
    cThreadBase(const cThreadBase&) = delete;
    cThreadBase& operator=(const cThreadBase&) = delete;

    virtual void Run() = 0;

    // Starts the thread and returns once it is running Run: true then; false
    // when it is still running from an earlier start, or when the thread
    // could not be created or ended before it got to Run.
    bool Start();

    bool IsRunning() const;
    HANDLE GetThreadHandle() const { return m_thread; }
    DWORD GetThreadId() const { return m_threadId; }
    // With auto-delete the thread deletes the object when Run returns.
    void SetAutoDelete(bool autoDelete) { m_autoDelete = autoDelete ? 1 : 0; }

    // The thread entry, reachable for tests: a start block without its
    // object or its start event makes the thread end at once with 0xFFFFFFFF.
    struct stStartBlock
    {
        HANDLE startedEvent;
        cThreadBase* thread;
    };
    static unsigned ThreadEntry(void* startBlock);

protected:
    // Waits until the thread has left Run (at most `timeout` ms); true when it
    // has or when there is none. Safe to call from the thread itself.
    bool WaitForExit(DWORD timeout = INFINITE) const;

private:
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    std::uint8_t m_autoDelete = 0;
    DWORD volatile m_running = 0; // interlocked
};

class cWorkerThread : public cThreadBase
{
public:
    cWorkerThread(TaskFunction function, void* argument) : m_function(function), m_argument(argument) {}
    // Waits for a run that is still going on: the thread uses this object.
    ~cWorkerThread() override;

    void Run() override;

private:
    TaskFunction m_function;
    void* m_argument;
};

// What a one-shot worker runs; allocated with new by the caller and freed by
// the worker once the function has returned (or by CreateWorkerThread when
// the thread cannot start).
struct stWorkerThreadBlock
{
    void* argument;
    TaskFunction function;
};

// Creates and starts a worker thread that calls block->function(argument)
// and then frees the block. Auto-delete is clear: the caller owns and
// deletes the returned object. Null when the thread cannot start (the block
// is freed; its argument stays the caller's).
cWorkerThread* CreateWorkerThread(stWorkerThreadBlock* block);
