// Internal to the kernel stand-in: the dispatcher that every waitable object
// (event, thread) and every wait shares. One process-wide lock guards the
// signal state of all waitable objects, so that a wait-all can test and take
// several objects atomically and a signal can never slip between a waiter's
// test and its sleep. Each blocked wait owns a condition variable and is
// listed on every object it waits for; a signal wakes only those waits.
#pragma once

#include "platform/win32/handles.h"
#include "platform/win32/kernel_faults.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace win32::dispatch
{

struct Waiter
{
    std::condition_variable wake;
};

class Waitable : public KernelObject
{
public:
    // Both called with the dispatcher lock held.
    virtual bool IsSignalled() const = 0;
    // A satisfied wait takes the object (auto-reset events reset here).
    virtual void Acquire() {}

    // Called with the dispatcher lock held after the object became signalled.
    void WakeWaiters();

    std::vector<Waiter*> waiters; // guarded by the dispatcher lock
};

std::mutex& Lock();

// True when a fault of this kind was injected and is now spent on the caller.
bool TakeFault(KernelFault fault);

} // namespace win32::dispatch
