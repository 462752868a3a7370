#include "platform/timer.h"

#include <errno.h>
#include <time.h>

uint32_t PlatformTimeMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void PlatformSleepMs(int ms)
{
    if (ms <= 0) {
        return;
    }
    timespec left{};
    left.tv_sec = ms / 1000;
    left.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    // A signal wakes the sleep early; sleep the rest.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

int PlatformTimerResolutionMs()
{
    timespec resolution{};
    if (clock_getres(CLOCK_MONOTONIC, &resolution) != 0) {
        return 0;
    }
    const int64_t ns = static_cast<int64_t>(resolution.tv_sec) * 1000000000 + resolution.tv_nsec;
    const int64_t ms = (ns + 999999) / 1000000;
    return ms < 1 ? 1 : static_cast<int>(ms);
}
