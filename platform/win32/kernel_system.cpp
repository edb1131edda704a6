// System information and the test faults of the kernel stand-in.
#include "platform/win32/kernel.h"
#include "platform/win32/kernel_dispatch.h"

#include <algorithm>
#include <atomic>
#include <unistd.h>

namespace
{

constexpr int kFaultKinds = 3;
std::atomic<int> g_faults[kFaultKinds]{};
std::atomic<DWORD> g_processorOverride{0};

} // namespace

namespace win32
{

void InjectKernelFault(KernelFault fault, int count)
{
    g_faults[static_cast<int>(fault)].store(count < 0 ? 0 : count);
}

void ClearKernelFaults()
{
    for (auto& f : g_faults)
        f.store(0);
    g_processorOverride.store(0);
}

void OverrideProcessorCount(DWORD processors) { g_processorOverride.store(processors); }

namespace dispatch
{

bool TakeFault(KernelFault fault)
{
    std::atomic<int>& pending = g_faults[static_cast<int>(fault)];
    int n = pending.load();
    while (n > 0)
    {
        if (pending.compare_exchange_weak(n, n - 1))
            return true;
    }
    return false;
}

} // namespace dispatch
} // namespace win32

void GetSystemInfo(LPSYSTEM_INFO info)
{
    if (info == nullptr)
        return;
    *info = SYSTEM_INFO{};
    const long pageSize = sysconf(_SC_PAGESIZE);
    info->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
    info->dwAllocationGranularity = 65536;
    info->wProcessorArchitecture = 9; // x64
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x10000});
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x7FFFFFFEFFFF});

    DWORD processors = g_processorOverride.load();
    if (processors == 0)
    {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        processors = online > 0 ? static_cast<DWORD>(online) : 1;
    }
    processors = std::min<DWORD>(processors, 64);
    info->dwNumberOfProcessors = processors;
    info->dwActiveProcessorMask = processors >= 64 ? ~DWORD_PTR{0} : ((DWORD_PTR{1} << processors) - 1);
}
