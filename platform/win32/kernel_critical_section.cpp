// Critical sections: recursive locks that spin briefly before they block.
#include "platform/win32/kernel.h"

#include <atomic>
#include <mutex>
#include <new>
#include <thread>

namespace
{

struct RecursiveLock
{
    std::mutex mutex;
    std::atomic<std::thread::id> owner{};
    unsigned depth = 0; // touched by the owner only
};

RecursiveLock* LockOf(LPCRITICAL_SECTION section) { return static_cast<RecursiveLock*>(section->LockObject); }

} // namespace

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount)
{
    if (section == nullptr)
        return FALSE;
    section->LockObject = new (std::nothrow) RecursiveLock;
    section->SpinCount = spinCount;
    if (section->LockObject == nullptr)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) { InitializeCriticalSectionAndSpinCount(section, 0); }

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    RecursiveLock* lock = LockOf(section);
    const std::thread::id self = std::this_thread::get_id();
    if (lock->owner.load(std::memory_order_relaxed) == self)
    {
        ++lock->depth;
        return;
    }
    bool taken = false;
    for (DWORD spin = 0; spin < section->SpinCount && !taken; ++spin)
        taken = lock->mutex.try_lock();
    if (!taken)
        lock->mutex.lock();
    lock->owner.store(self, std::memory_order_relaxed);
    lock->depth = 1;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section)
{
    RecursiveLock* lock = LockOf(section);
    const std::thread::id self = std::this_thread::get_id();
    if (lock->owner.load(std::memory_order_relaxed) == self)
    {
        ++lock->depth;
        return TRUE;
    }
    if (!lock->mutex.try_lock())
        return FALSE;
    lock->owner.store(self, std::memory_order_relaxed);
    lock->depth = 1;
    return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    RecursiveLock* lock = LockOf(section);
    // Leaving a section the caller does not own is a caller bug; ignoring it
    // keeps another thread's lock intact.
    if (lock->owner.load(std::memory_order_relaxed) != std::this_thread::get_id())
        return;
    if (--lock->depth == 0)
    {
        lock->owner.store(std::thread::id(), std::memory_order_relaxed);
        lock->mutex.unlock();
    }
}

void DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    if (section == nullptr)
        return;
    delete LockOf(section);
    section->LockObject = nullptr;
}
