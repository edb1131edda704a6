// The one clock behind GetTickCount, timers and animations. Tests switch it
// to manual and move it by hand, so that anything that waits for time to pass
// is driven deterministically instead of by sleeping.
#pragma once

#include "platform/win32/types.h"

DWORD GetTickCount();
ULONGLONG GetTickCount64();

namespace win32
{

// From now on the clock only moves through AdvanceClock; it starts at
// startMs (the tick count a test wants to begin with).
void UseManualClock(ULONGLONG startMs = 0);
// Back to the steady system clock (continuing from the manual value, so the
// tick count never runs backwards).
void UseSystemClock();
bool IsClockManual();
// Moves the manual clock forward; wakes message loops so that due timers fire.
void AdvanceClock(ULONGLONG ms);

// Called by the clock whenever manual time moves (the message queues use it
// to wake threads that wait for a timer). One listener per process.
void SetClockListener(void (*listener)());

} // namespace win32
