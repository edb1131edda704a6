// Waits on events and threads through the shared dispatcher.
#include "platform/win32/kernel.h"
#include "platform/win32/kernel_dispatch.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace win32::dispatch
{

std::mutex& Lock()
{
    static std::mutex* lock = new std::mutex; // usable from static destructors
    return *lock;
}

void Waitable::WakeWaiters()
{
    for (Waiter* w : waiters)
        w->wake.notify_one();
}

} // namespace win32::dispatch

namespace
{

using win32::dispatch::Waitable;
using win32::dispatch::Waiter;

// Tests the wait's condition and, when it holds, takes the objects.
// Returns the wait result or WAIT_TIMEOUT when the condition does not hold.
DWORD TryAcquire(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll)
{
    if (waitAll)
    {
        for (const auto& o : objects)
            if (!o->IsSignalled())
                return WAIT_TIMEOUT;
        for (const auto& o : objects)
            o->Acquire();
        return WAIT_OBJECT_0;
    }
    for (std::size_t i = 0; i < objects.size(); ++i)
    {
        if (objects[i]->IsSignalled())
        {
            objects[i]->Acquire();
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
    }
    return WAIT_TIMEOUT;
}

} // namespace

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i)
    {
        auto o = win32::LookupKernelObjectAs<Waitable>(handles[i]);
        if (!o)
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        // The same object twice in a wait-all could never be taken "at once".
        if (waitAll && std::find(objects.begin(), objects.end(), o) != objects.end())
        {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(o));
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(win32::dispatch::Lock());
    DWORD result = TryAcquire(objects, waitAll != FALSE);
    if (result != WAIT_TIMEOUT || milliseconds == 0)
        return result;

    Waiter self;
    for (const auto& o : objects)
        o->waiters.push_back(&self);
    for (;;)
    {
        if (milliseconds == INFINITE)
            self.wake.wait(lock);
        else if (self.wake.wait_until(lock, deadline) == std::cv_status::timeout)
        {
            result = TryAcquire(objects, waitAll != FALSE);
            break;
        }
        result = TryAcquire(objects, waitAll != FALSE);
        if (result != WAIT_TIMEOUT)
            break;
    }
    for (const auto& o : objects)
        std::erase(o->waiters, &self);
    return result;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}
