// Faults and machine shapes that tests impose on the kernel stand-in, so that
// the system's handling of failed thread or event creation, of threads that
// die before they run, and of small or large machines can be exercised.
// Nothing here is part of the platform interface the system's code calls.
#pragma once

#include "platform/win32/types.h"

namespace win32
{

enum class KernelFault
{
    CreateThreadFails, // CreateThread/_beginthreadex report failure
    ThreadDiesAtStart, // the thread is created but ends (exit code 0xFFFFFFFF) before its routine runs
    CreateEventFails,  // CreateEventW reports failure
};

// The next `count` calls that reach the fault's point fail in that way.
void InjectKernelFault(KernelFault fault, int count);
// Removes every pending fault and the processor-count override.
void ClearKernelFaults();
// GetSystemInfo reports this many processors (0 restores the machine's own).
void OverrideProcessorCount(DWORD processors);

} // namespace win32
