#pragma once

// Smooth one-dimensional motion of a value towards a target over a duration:
// it starts from the current value and rate and arrives with a chosen final
// rate and zero acceleration. During a move the acceleration at time t is
// accel + jerk t + snap t^2 / 2. Cameras, the layout editor, race progress,
// the session and remote-car corrections embed one each.
struct MotionProfile {
    float value;
    float target;
    float rate;        // value units per second
    float elapsed;     // seconds since the move began
    float duration;    // seconds
    float startValue;
    float startRate;
    float accel;
    float jerk;
    float snap;

    // Every field 0.
    void Clear();
    // Rests at value with the given rate and no move.
    void Init(float startAt, float startRateOfChange);
    // Begins a new move from the current value and rate. A duration that is
    // not above 0 (or too short to solve for) ends the move at once: the
    // value jumps to the target and the rate becomes 0.
    void SetTarget(float newTarget, float finalRate, float moveDuration);
    // Advances the move by dt seconds. Once the duration is reached the value
    // holds the target and the rate is 0, whatever final rate was asked for.
    void Advance(float dt);
};
