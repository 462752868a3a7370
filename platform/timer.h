#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, wrapping at 2^32 like the system tick
// count: differences of two readings are right across the wrap.
uint32_t PlatformTimeMs();

// Sleeps at least ms milliseconds; nothing for 0 or less.
void PlatformSleepMs(int ms);

// Finest step of the clock that sleeps are measured in, in whole
// milliseconds (at least 1); 0 when the system cannot tell.
int PlatformTimerResolutionMs();
