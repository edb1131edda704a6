// Threads: created running or suspended, waitable until they end.
#include "platform/win32/kernel.h"
#include "platform/win32/kernel_dispatch.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>

namespace
{

std::atomic<DWORD> g_nextThreadId{0x104};

DWORD NewThreadId() { return g_nextThreadId.fetch_add(4, std::memory_order_relaxed); }

thread_local DWORD t_threadId = 0;

class Thread final : public win32::dispatch::Waitable
{
public:
    Thread(DWORD id, bool suspended) : id(id), suspendCount(suspended ? 1 : 0) {}

    bool IsSignalled() const override { return ended; }

    const DWORD id;
    // Guarded by the dispatcher lock.
    DWORD suspendCount;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    std::condition_variable resumed;
};

HANDLE StartThread(std::function<DWORD()> body, DWORD creationFlags, DWORD* threadId)
{
    if (win32::dispatch::TakeFault(win32::KernelFault::CreateThreadFails))
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const bool diesAtStart = win32::dispatch::TakeFault(win32::KernelFault::ThreadDiesAtStart);

    auto thread = std::make_shared<Thread>(NewThreadId(), (creationFlags & CREATE_SUSPENDED) != 0);
    HANDLE handle = win32::RegisterKernelObject(thread);
    try
    {
        std::thread([thread, body = std::move(body), diesAtStart] {
            t_threadId = thread->id;
            {
                std::unique_lock<std::mutex> lock(win32::dispatch::Lock());
                thread->resumed.wait(lock, [&] { return thread->suspendCount == 0; });
            }
            const DWORD code = diesAtStart ? 0xFFFFFFFF : body();
            std::lock_guard<std::mutex> guard(win32::dispatch::Lock());
            thread->exitCode = code;
            thread->ended = true;
            thread->WakeWaiters();
        }).detach();
    }
    catch (const std::system_error&)
    {
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId != nullptr)
        *threadId = thread->id;
    return handle;
}

} // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId)
{
    if (start == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return StartThread([start, parameter] { return start(parameter); }, creationFlags, threadId);
}

std::uintptr_t _beginthreadex(void*, unsigned, unsigned (*start)(void*), void* argument, unsigned initFlag,
                              unsigned* threadId)
{
    if (start == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD id = 0;
    HANDLE h = StartThread([start, argument] { return static_cast<DWORD>(start(argument)); },
                           initFlag & CREATE_SUSPENDED, &id);
    if (h == nullptr)
        return 0;
    if (threadId != nullptr)
        *threadId = id;
    return reinterpret_cast<std::uintptr_t>(h);
}

DWORD ResumeThread(HANDLE handle)
{
    auto thread = win32::LookupKernelObjectAs<Thread>(handle);
    if (!thread)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    std::lock_guard<std::mutex> guard(win32::dispatch::Lock());
    const DWORD previous = thread->suspendCount;
    if (previous > 0 && --thread->suspendCount == 0)
        thread->resumed.notify_all();
    return previous;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode)
{
    auto thread = win32::LookupKernelObjectAs<Thread>(handle);
    if (!thread || exitCode == nullptr)
    {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(win32::dispatch::Lock());
    *exitCode = thread->exitCode;
    return TRUE;
}

DWORD GetCurrentThreadId()
{
    if (t_threadId == 0)
        t_threadId = NewThreadId();
    return t_threadId;
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
