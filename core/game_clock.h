#pragma once

#include <cstdint>
#include <ctime>

// The main loop's pacing and its millisecond game clock, as functions of
// their inputs: the loop passes the wall time, the settings and the shell
// state in, and stores what comes back. Nothing here reads a clock itself,
// so a test can drive every rule with made-up times.

// --- Frame budget --------------------------------------------------------------

struct FrameBudgetInput {
    int minSleep;        // "Min Sleep ": every pass sleeps at least this (1..20 ms)
    int minFrameTime;    // "Min Frame Time " (10..100 ms)
    int limitFps;        // "Game Limit FPS ": non-zero holds each pass to the frame time
    int dedicated;       // non-zero for a dedicated host, which is always held to it
    int noRaceShown;     // no race (game state 1), or the session views no car
    int frameTimeFloor;  // MinFrameTimeFloor: the lowest frame time while no race is shown
};

// The frame time T a pass is held to; 0 when the frame rate is not limited.
int FrameTargetMs(const FrameBudgetInput &input);

// How long a pass sleeps after elapsedMs of work: "Min Sleep ", or what is
// left of T when that is longer. Never less than 1 ms, so the loop never
// busy-waits.
int FrameSleepMs(const FrameBudgetInput &input, int elapsedMs);

// --- Game clock ---------------------------------------------------------------------

// What the clock keeps from one pass to the next.
struct GameClockState {
    float carry;            // slow motion: the part of a millisecond not yet stepped
    uint32_t trimDivision;  // wall time / trim period at the last trim millisecond
};

struct ClockStepInput {
    int elapsedMs;                // FrameElapsed
    int hotLapCheck;              // start mode "hlvc": every pass counts as 1000 ms
    int clockTrim;                // ClockTrim c, -50..50 (kept to that range)
    const uint32_t *trimPeriods;  // ClockTrimPeriods (50 entries)
    uint32_t wallMs;              // the wall clock the trim divides (platform milliseconds)
    int timeStopped;              // InSimTimeStop
    int pendingStep;              // InSim steps made while time stands; added after the stop
};

struct ClockStepResult {
    int step;          // GameClockStep: milliseconds to add to GameClock, 0 or more
    int elapsedMs;     // FrameElapsed after the pass (1000 in the hot-lap check)
    int speedWasReset; // the speed went back to 1.0: the replay speed is shown again
};

// One pass of the clock. speed is GameSpeed and may be reset to 1.0: a pass
// longer than 2 s at a speed above 1.5 (a stalled replay at high speed would
// otherwise leap far ahead). At a speed of 0.9 or more the step is the
// elapsed time times the speed, rounded; below 0.9 the product accumulates in
// the carry and the step is the carry rounded, so slow motion loses no time.
// Products are single precision; halves round to the even neighbour.
ClockStepResult StepGameClock(GameClockState &state, const ClockStepInput &input, float &speed);

// Steps InSim asked for while time stood still; the main loop adds them to
// the next pass's step after its time-stop test and clears them, so a step
// given while the clock stands reaches the clock and the session frame.
extern int PendingClockStep;

// Entry k-1 = 5000 / k rounded (single precision, halves to even): the wall
// time in ms between two trim milliseconds for a trim of k.
void FillClockTrimPeriods(uint32_t *periods, int count);

// --- Wall-clock samples ----------------------------------------------------------------

struct WallClockState {
    uint32_t lastSampleMs;  // platform time of the last sample
    int nextIsUtc;          // the next sample takes the universal time
};

// Once more than 1000 ms have passed since the last sample, takes one
// sample of wallSeconds, alternating between the local time (LocalHour,
// LocalMinute) and the universal time (UtcHour, UtcMinute). Returns 1 when it
// sampled.
int UpdateWallClock(WallClockState &state, uint32_t nowMs, std::time_t wallSeconds);
