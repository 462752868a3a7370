#include "core/game_clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <vector>

#include <time.h>

#include "core/shell_globals.h"

namespace {

uint32_t Periods[ClockTrimMax];

class GameClockTest : public ::testing::Test {
protected:
    void SetUp() override { FillClockTrimPeriods(Periods, ClockTrimMax); }
};

ClockStepInput Pass(int elapsed)
{
    ClockStepInput input{};
    input.elapsedMs = elapsed;
    input.trimPeriods = Periods;
    return input;
}

TEST_F(GameClockTest, OnePassTable)
{
    struct Case {
        int elapsed;
        float speed;
        int hotLap;
        int stopped;
        int pending;
        int step;
        float speedAfter;
        int elapsedAfter;
    };
    const Case cases[] = {
        {2500, 4.0f, 0, 0, 0, 2500, 1.0f, 2500},  // over 2 s above 1.5: back to normal speed
        {2500, 1.5f, 0, 0, 0, 3750, 1.5f, 2500},  // 1.5 itself is kept
        {2000, 4.0f, 0, 0, 0, 8000, 4.0f, 2000},  // exactly 2 s is not over it
        {16, 1.0f, 0, 0, 0, 16, 1.0f, 16},
        {3, 1.5f, 0, 0, 0, 4, 1.5f, 3},           // 4.5: the half goes to the even 4
        {5, 1.5f, 0, 0, 0, 8, 1.5f, 5},           // 7.5 goes to 8
        {5, 0.9f, 0, 0, 0, 4, 0.9f, 5},           // 4.5 at 0.9: rounded, no carry
        {-40, 1.0f, 0, 0, 0, 0, 1.0f, -40},       // a negative step stands still
        {16, 1.0f, 0, 1, 0, 0, 1.0f, 16},         // time stopped by InSim
        {16, 1.0f, 0, 1, 30, 30, 1.0f, 16},       // ...but its own steps still arrive
        {5, 4.0f, 1, 0, 0, 4000, 4.0f, 1000},     // hlvc: every pass is 1000 ms, no reset
        {3000, 2.0f, 1, 0, 0, 2000, 2.0f, 1000},
        {7, 0.5f, 1, 0, 0, 500, 0.5f, 1000},      // slow hlvc through the carry
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.elapsed << " ms at " << c.speed << " hlvc " << c.hotLap << " stop "
                                        << c.stopped << " pending " << c.pending);
        GameClockState state{};
        ClockStepInput input = Pass(c.elapsed);
        input.hotLapCheck = c.hotLap;
        input.timeStopped = c.stopped;
        input.pendingStep = c.pending;
        float speed = c.speed;
        const ClockStepResult result = StepGameClock(state, input, speed);
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(speed, c.speedAfter);
        EXPECT_EQ(result.speedWasReset, c.speedAfter != c.speed ? 1 : 0);
        EXPECT_EQ(result.elapsedMs, c.elapsedAfter);
    }
}

TEST_F(GameClockTest, SlowMotionCarriesTheFraction)
{
    GameClockState state{};
    float speed = 0.25f;
    std::vector<int> steps;
    for (int i = 0; i < 4; ++i) {
        steps.push_back(StepGameClock(state, Pass(10), speed).step);
    }
    EXPECT_EQ(steps, (std::vector<int>{2, 3, 2, 3}));
    EXPECT_EQ(state.carry, 0.0f);

    // A third of a millisecond per pass loses nothing over many passes.
    speed = 0.1f;
    int total = 0;
    for (int i = 0; i < 300; ++i) {
        total += StepGameClock(state, Pass(1), speed).step;
    }
    EXPECT_NEAR(total, 30, 1);
}

TEST_F(GameClockTest, TrimMovesTheClockByItsPeriod)
{
    struct Case {
        int trim;
        int passMs;
        uint32_t fromMs;
        uint32_t toMs;
        int adjustments;  // +1 or -1 steps expected over the run
    };
    const Case cases[] = {
        {50, 10, 1000, 2000, 10},     // +1 every 100 ms
        {-1, 100, 5000, 15000, -2},   // -1 every 5000 ms
        {3, 50, 0, 5050, 3},          // every 1667 ms
        {-50, 10, 1000, 2000, -10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "trim " << c.trim);
        GameClockState state{};
        const uint32_t period = Periods[(c.trim < 0 ? -c.trim : c.trim) - 1];
        state.trimDivision = c.fromMs / period;
        float speed = 1.0f;
        int total = 0;
        int passes = 0;
        for (uint32_t now = c.fromMs + c.passMs; now <= c.toMs; now += c.passMs) {
            ClockStepInput input = Pass(c.passMs);
            input.clockTrim = c.trim;
            input.wallMs = now;
            total += StepGameClock(state, input, speed).step;
            ++passes;
        }
        EXPECT_EQ(total - passes * c.passMs, c.adjustments);
    }

    // A pass of 0 ms that would lose a millisecond stays at 0.
    GameClockState state{};
    ClockStepInput input = Pass(0);
    input.clockTrim = -1;
    input.wallMs = 5000;
    float speed = 1.0f;
    EXPECT_EQ(StepGameClock(state, input, speed).step, 0);
    EXPECT_EQ(state.trimDivision, 1u);

    // A trim out of its range is held to it.
    input.clockTrim = 500;
    input.wallMs = 5100;
    EXPECT_EQ(StepGameClock(state, input, speed).step, 1);
}

TEST_F(GameClockTest, TrimPeriods)
{
    EXPECT_EQ(Periods[0], 5000u);
    EXPECT_EQ(Periods[1], 2500u);
    EXPECT_EQ(Periods[2], 1667u);
    EXPECT_EQ(Periods[15], 312u);  // 312.5: the half goes to the even neighbour
    EXPECT_EQ(Periods[16], 294u);
    EXPECT_EQ(Periods[49], 100u);
}

TEST(FrameBudgetTest, SleepTable)
{
    struct Case {
        int minSleep;
        int minFrameTime;
        int limitFps;
        int dedicated;
        int noRaceShown;
        int floor;
        int elapsed;
        int target;
        int sleep;
    };
    const Case cases[] = {
        {1, 10, 0, 0, 0, 25, 3, 0, 1},     // limit off, race in view: "Min Sleep " only
        {5, 10, 0, 0, 0, 25, 0, 0, 5},
        {1, 10, 1, 0, 0, 25, 3, 10, 7},    // a 3 ms pass with a 10 ms minimum sleeps 7
        {1, 10, 1, 0, 0, 25, 12, 10, 1},   // over the budget: still the least sleep
        {8, 10, 1, 0, 0, 25, 3, 10, 8},    // "Min Sleep " longer than what is left
        {1, 10, 0, 1, 0, 25, 3, 10, 7},    // a dedicated host is always held to it
        {1, 10, 1, 0, 1, 25, 3, 25, 22},   // menus raise the frame time to 25
        {1, 10, 0, 0, 1, 25, 3, 25, 22},   // ...with the limit off as well
        {1, 10, 1, 0, 1, 10, 3, 10, 7},    // host-list refresh: 10
        {1, 40, 1, 0, 1, 25, 3, 40, 37},   // a longer own frame time stays
        {0, 10, 0, 0, 0, 25, 0, 0, 1},     // never a pass without a sleep
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "case elapsed " << c.elapsed << " target " << c.target);
        const FrameBudgetInput input{c.minSleep, c.minFrameTime, c.limitFps, c.dedicated, c.noRaceShown, c.floor};
        EXPECT_EQ(FrameTargetMs(input), c.target);
        EXPECT_EQ(FrameSleepMs(input, c.elapsed), c.sleep);
    }
}

TEST(WallClockTest, SamplesAlternateOncePerSecond)
{
    // 8 December 2024, 18:59:54 UTC.
    std::tm utc{};
    utc.tm_year = 2024 - 1900;
    utc.tm_mon = 11;
    utc.tm_mday = 8;
    utc.tm_hour = 18;
    utc.tm_min = 59;
    utc.tm_sec = 54;
    const std::time_t when = timegm(&utc);
    std::tm local{};
    localtime_r(&when, &local);

    LocalHour = LocalMinute = UtcHour = UtcMinute = -1;
    WallClockState state{};
    state.lastSampleMs = 500;
    EXPECT_EQ(UpdateWallClock(state, 1500, when), 0);  // exactly 1000 ms: not yet
    EXPECT_EQ(UpdateWallClock(state, 1501, when), 1);
    EXPECT_EQ(LocalHour, local.tm_hour);
    EXPECT_EQ(LocalMinute, local.tm_min);
    EXPECT_EQ(UtcHour, -1);
    EXPECT_EQ(UpdateWallClock(state, 2400, when), 0);
    EXPECT_EQ(UpdateWallClock(state, 2502, when), 1);
    EXPECT_EQ(UtcHour, 18);
    EXPECT_EQ(UtcMinute, 59);
    // The platform clock wraps at 2^32 without missing a sample.
    state.lastSampleMs = 0xFFFFFF00u;
    EXPECT_EQ(UpdateWallClock(state, 0x00000400u, when), 1);
}

}  // namespace
