#include "platform/timer.h"

#include <gtest/gtest.h>

namespace {

TEST(Timer, SleepIsMeasuredByTheMillisecondClock)
{
    EXPECT_GE(PlatformTimerResolutionMs(), 1);
    const uint32_t start = PlatformTimeMs();
    PlatformSleepMs(20);
    const uint32_t elapsed = PlatformTimeMs() - start;
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 2000u);

    const uint32_t before = PlatformTimeMs();
    PlatformSleepMs(0);
    PlatformSleepMs(-5);
    EXPECT_LT(PlatformTimeMs() - before, 5u);
}

}  // namespace
