#include "platform/win32/clock.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace
{

struct Clock
{
    std::mutex lock;
    bool manual = false;
    ULONGLONG manualNow = 0;
    // The system clock is reported relative to this base, so switching
    // between manual and system time stays monotonic.
    std::chrono::steady_clock::time_point systemBase = std::chrono::steady_clock::now();
    ULONGLONG systemOffset = 0;
};

Clock& TheClock()
{
    static Clock* clock = new Clock; // usable during static initialisation and destruction
    return *clock;
}

std::atomic<void (*)()> g_listener{nullptr};

ULONGLONG SystemNowLocked(Clock& c)
{
    auto elapsed = std::chrono::steady_clock::now() - c.systemBase;
    return c.systemOffset +
           static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

} // namespace

ULONGLONG GetTickCount64()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.manual ? c.manualNow : SystemNowLocked(c);
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}

namespace win32
{

void UseManualClock(ULONGLONG startMs)
{
    Clock& c = TheClock();
    {
        std::lock_guard<std::mutex> guard(c.lock);
        c.manual = true;
        c.manualNow = startMs;
    }
    if (auto listener = g_listener.load())
        listener();
}

void UseSystemClock()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.manual)
        return;
    c.manual = false;
    c.systemBase = std::chrono::steady_clock::now();
    c.systemOffset = c.manualNow;
}

bool IsClockManual()
{
    Clock& c = TheClock();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.manual;
}

void AdvanceClock(ULONGLONG ms)
{
    Clock& c = TheClock();
    {
        std::lock_guard<std::mutex> guard(c.lock);
        if (c.manual)
            c.manualNow += ms;
    }
    if (auto listener = g_listener.load())
        listener();
}

void SetClockListener(void (*listener)())
{
    g_listener.store(listener);
}

} // namespace win32
