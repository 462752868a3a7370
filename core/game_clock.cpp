#include "core/game_clock.h"

#include <cmath>
#include <time.h>

#include "core/shell_globals.h"

int PendingClockStep = 0;

namespace {

constexpr int HotLapPassMs = 1000;
constexpr int SpeedResetElapsedMs = 2000;
constexpr float SpeedResetAbove = 1.5f;
constexpr float CarryBelowSpeed = 0.9f;
constexpr uint32_t WallClockSampleMs = 1000;
// Whole milliseconds beyond this are not a frame's step; kept off the int range's ends.
constexpr float StepLimit = 2.0e9f;

// Nearest integer, a half going to the even neighbour, whatever the
// floating-point environment's rounding mode.
int RoundHalfEven(float value)
{
    if (!(value == value)) {
        return 0;
    }
    if (value > StepLimit) {
        value = StepLimit;
    } else if (value < -StepLimit) {
        value = -StepLimit;
    }
    const float below = std::floor(value);
    const float fraction = value - below;  // exact: both are floats this close
    int64_t result = static_cast<int64_t>(below);
    if (fraction > 0.5f || (fraction == 0.5f && (result & 1) != 0)) {
        ++result;
    }
    return static_cast<int>(result);
}

}  // namespace

int FrameTargetMs(const FrameBudgetInput &input)
{
    int target = input.limitFps || input.dedicated ? input.minFrameTime : 0;
    if (input.noRaceShown && target < input.frameTimeFloor) {
        target = input.frameTimeFloor;
    }
    return target;
}

int FrameSleepMs(const FrameBudgetInput &input, int elapsedMs)
{
    int sleep = input.minSleep < 1 ? 1 : input.minSleep;
    const int target = FrameTargetMs(input);
    if (elapsedMs < target && target - elapsedMs > sleep) {
        sleep = target - elapsedMs;
    }
    return sleep;
}

ClockStepResult StepGameClock(GameClockState &state, const ClockStepInput &input, float &speed)
{
    ClockStepResult result{};
    int elapsed = input.elapsedMs;
    if (input.hotLapCheck) {
        elapsed = HotLapPassMs;
    } else if (elapsed > SpeedResetElapsedMs && speed > SpeedResetAbove) {
        speed = 1.0f;
        result.speedWasReset = 1;
    }
    result.elapsedMs = elapsed;

    int step;
    const float product = static_cast<float>(elapsed) * speed;
    if (speed >= CarryBelowSpeed) {
        step = RoundHalfEven(product);
    } else {
        state.carry = state.carry + product;
        step = RoundHalfEven(state.carry);
        state.carry = state.carry - static_cast<float>(step);
    }

    // Multiplayer trim: one millisecond more (or less) each time the wall
    // time crosses a multiple of the trim's period.
    int trim = input.clockTrim;
    if (trim > ClockTrimMax) {
        trim = ClockTrimMax;
    } else if (trim < -ClockTrimMax) {
        trim = -ClockTrimMax;
    }
    if (trim != 0 && input.trimPeriods) {
        const uint32_t period = input.trimPeriods[(trim < 0 ? -trim : trim) - 1];
        if (period != 0) {
            const uint32_t division = input.wallMs / period;
            if (division != state.trimDivision) {
                state.trimDivision = division;
                step += trim > 0 ? 1 : -1;
            }
        }
    }

    if (step < 0) {
        step = 0;
    }
    if (input.timeStopped) {
        step = 0;
    }
    if (input.pendingStep > 0) {
        step += input.pendingStep;
    }
    result.step = step;
    return result;
}

void FillClockTrimPeriods(uint32_t *periods, int count)
{
    for (int k = 1; k <= count; ++k) {
        periods[k - 1] = static_cast<uint32_t>(RoundHalfEven(5000.0f / static_cast<float>(k)));
    }
}

int UpdateWallClock(WallClockState &state, uint32_t nowMs, std::time_t wallSeconds)
{
    if (nowMs - state.lastSampleMs <= WallClockSampleMs) {
        return 0;
    }
    state.lastSampleMs = nowMs;
    std::tm parts{};
    if (state.nextIsUtc) {
        if (gmtime_r(&wallSeconds, &parts)) {
            UtcHour = parts.tm_hour % 24;
            UtcMinute = parts.tm_min % 60;
        }
    } else if (localtime_r(&wallSeconds, &parts)) {
        LocalHour = parts.tm_hour % 24;
        LocalMinute = parts.tm_min % 60;
    }
    state.nextIsUtc = !state.nextIsUtc;
    return 1;
}
