// Manual- and auto-reset events.
#include "platform/win32/kernel.h"
#include "platform/win32/kernel_dispatch.h"

#include <memory>

namespace
{

class Event final : public win32::dispatch::Waitable
{
public:
    Event(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled) {}

    bool IsSignalled() const override { return m_signalled; }
    void Acquire() override
    {
        if (!m_manualReset)
            m_signalled = false;
    }

    void Set()
    {
        if (m_signalled)
            return;
        m_signalled = true;
        WakeWaiters();
    }
    void Reset() { m_signalled = false; }

private:
    const bool m_manualReset;
    bool m_signalled; // guarded by the dispatcher lock
};

} // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    if (name != nullptr && name[0] != L'\0')
    {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (win32::dispatch::TakeFault(win32::KernelFault::CreateEventFails))
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return win32::RegisterKernelObject(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event)
{
    auto e = win32::LookupKernelObjectAs<Event>(event);
    if (!e)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(win32::dispatch::Lock());
    e->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    auto e = win32::LookupKernelObjectAs<Event>(event);
    if (!e)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(win32::dispatch::Lock());
    e->Reset();
    return TRUE;
}
