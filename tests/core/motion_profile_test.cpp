#include "core/motion_profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(MotionProfileTest, FromRestToOneInTwoSeconds)
{
    MotionProfile profile;
    profile.Clear();
    profile.SetTarget(1.0f, 0.0f, 2.0f);
    // Single-precision intermediates leave a few millionths of error.
    EXPECT_NEAR(profile.accel, 3.0f, 1e-5f);
    EXPECT_NEAR(profile.jerk, -6.0f, 1e-5f);
    EXPECT_NEAR(profile.snap, 4.5f, 1e-5f);

    profile.Advance(1.0f);
    EXPECT_NEAR(profile.value, 0.6875f, 1e-5f);
    EXPECT_NEAR(profile.rate, 0.75f, 1e-5f);

    profile.Advance(1.0f);
    EXPECT_EQ(profile.value, 1.0f);
    EXPECT_EQ(profile.rate, 0.0f);
}

TEST(MotionProfileTest, ArrivesWithTheFinalRateAndNoAcceleration)
{
    MotionProfile profile;
    profile.Init(0.0f, 1.0f);
    profile.SetTarget(5.0f, 0.0f, 3.0f);

    // The polynomial itself meets the end conditions at t = T.
    const float T = 3.0f;
    const float endValue = profile.startRate * T + profile.accel * T * T / 2.0f +
                           profile.jerk * T * T * T / 6.0f + profile.snap * T * T * T * T / 24.0f;
    const float endRate = profile.startRate + profile.accel * T + profile.jerk * T * T / 2.0f +
                          profile.snap * T * T * T / 6.0f;
    const float endAccel = profile.accel + profile.jerk * T + profile.snap * T * T / 2.0f;
    EXPECT_NEAR(endValue, 5.0f, 1e-4f);
    EXPECT_NEAR(endRate, 0.0f, 1e-4f);
    EXPECT_NEAR(endAccel, 0.0f, 1e-4f);

    // It starts with the old rate, so it joins without a jump.
    profile.Advance(0.001f);
    EXPECT_NEAR(profile.value, 0.001f, 1e-5f);
    EXPECT_NEAR(profile.rate, 1.0f, 1e-2f);

    profile.Advance(2.998f);
    EXPECT_NEAR(profile.value, 5.0f, 1e-4f);
    profile.Advance(0.5f);
    EXPECT_EQ(profile.value, 5.0f);
    EXPECT_EQ(profile.rate, 0.0f);
    EXPECT_EQ(profile.elapsed, 3.0f);
}

TEST(MotionProfileTest, PastTheEndHoldsTargetWithZeroRate)
{
    MotionProfile profile;
    profile.Clear();
    profile.SetTarget(10.0f, 4.0f, 1.0f);
    profile.Advance(0.5f);
    EXPECT_GT(profile.rate, 0.0f);
    profile.Advance(5.0f);
    EXPECT_EQ(profile.value, 10.0f);
    EXPECT_EQ(profile.rate, 0.0f);
    profile.Advance(1.0f);
    EXPECT_EQ(profile.value, 10.0f);
    EXPECT_EQ(profile.rate, 0.0f);
}

TEST(MotionProfileTest, NewTargetDuringAMoveStartsFromCurrentState)
{
    MotionProfile profile;
    profile.Clear();
    profile.SetTarget(1.0f, 0.0f, 2.0f);
    profile.Advance(1.0f);
    const float value = profile.value;
    const float rate = profile.rate;
    profile.SetTarget(-1.0f, 0.0f, 1.0f);
    EXPECT_EQ(profile.startValue, value);
    EXPECT_EQ(profile.startRate, rate);
    profile.Advance(1.0e-4f);
    EXPECT_NEAR(profile.value, value + rate * 1.0e-4f, 1e-6f);
    EXPECT_NEAR(profile.rate, rate, 1e-2f);
}

TEST(MotionProfileTest, InitRestsAtValue)
{
    MotionProfile profile;
    profile.Init(2.5f, 3.0f);
    EXPECT_EQ(profile.rate, 3.0f);
    profile.Advance(0.01f);
    EXPECT_EQ(profile.value, 2.5f);
    EXPECT_EQ(profile.rate, 0.0f);
}

TEST(MotionProfileTest, DurationWithoutLengthJumpsToTarget)
{
    const float durations[] = {0.0f, -1.0f, 1.0e-30f, std::numeric_limits<float>::quiet_NaN()};
    for (float duration : durations) {
        MotionProfile profile;
        profile.Init(1.0f, 2.0f);
        profile.SetTarget(7.0f, 3.0f, duration);
        EXPECT_EQ(profile.value, 7.0f) << duration;
        EXPECT_EQ(profile.rate, 0.0f) << duration;
        profile.Advance(0.01f);
        EXPECT_EQ(profile.value, 7.0f) << duration;
        EXPECT_EQ(profile.rate, 0.0f) << duration;
        EXPECT_TRUE(std::isfinite(profile.accel) && std::isfinite(profile.jerk) && std::isfinite(profile.snap));
    }
}

}  // namespace
