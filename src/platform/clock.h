// The demo clock: a 32-bit millisecond tick count that wraps like the
// original system's tick counter. A run either follows the monotonic wall
// clock or a virtual clock that only moves when it is told to, so headless
// runs and captures are deterministic and as fast as the CPU allows.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t GetTickCount();

// Switches between the wall clock (the default) and the virtual clock.
void ClockUseVirtual(bool use_virtual);
bool ClockIsVirtual();

// Sets the virtual clock to a time in milliseconds (fractions allowed; the
// tick count is that value rounded to the nearest millisecond, then wrapped).
void ClockSetVirtualMs(double time_ms);
void ClockAdvanceVirtualMs(double delta_ms);
double ClockVirtualMs();

// Sleeps the calling thread.
void SleepMs(uint32_t ms);

}  // namespace platform
