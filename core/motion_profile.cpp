#include "core/motion_profile.h"

#include <cmath>

// Every intermediate is a float so that each product is rounded to single
// precision as it is stored; the same move gives the same values on every
// program of a race.

void MotionProfile::Clear()
{
    *this = MotionProfile{};
}

void MotionProfile::Init(float startAt, float startRateOfChange)
{
    value = startAt;
    target = startAt;
    startValue = startAt;
    rate = startRateOfChange;
    elapsed = 0.0f;
    duration = 0.0f;
    startRate = 0.0f;
    accel = 0.0f;
    jerk = 0.0f;
    snap = 0.0f;
}

void MotionProfile::SetTarget(float newTarget, float finalRate, float moveDuration)
{
    startValue = value;
    startRate = rate;
    target = newTarget;
    duration = moveDuration;
    elapsed = 0.0f;

    // Solve for accel, jerk and snap so that at t = T the value is the
    // target, the rate is the final rate and the acceleration is 0.
    const float T = moveDuration;
    const float T2 = T * T;
    const float T3 = T2 * T;
    const float h = T2 / 2.0f;
    const float c = T3 / 6.0f;
    const float q = T3 * T / 24.0f;
    const float third = T3 / 3.0f;
    const float cTminusH2 = c * T - h * h;
    const float hMinusT2 = h - T2;
    const float denominator = cTminusH2 * h + third * c + hMinusT2 * q;
    const float D = 1.0f / denominator;
    if (!(T > 0.0f) || !std::isfinite(D)) {
        duration = 0.0f;
        accel = 0.0f;
        jerk = 0.0f;
        snap = 0.0f;
        value = newTarget;
        rate = 0.0f;
        return;
    }
    const float dx = newTarget - startValue - startRate * T;
    const float dv = finalRate - startRate;
    accel = (c * h - q * T) * D * dv + cTminusH2 * D * dx;
    jerk = (q - h * h) * D * dv + third * D * dx;
    snap = third * D * dv + hMinusT2 * D * dx;
}

void MotionProfile::Advance(float dt)
{
    elapsed = elapsed + dt;
    if (elapsed < duration) {
        const float t = elapsed;
        const float t2 = t * t;
        const float t3 = t2 * t;
        const float t4 = t3 * t;
        rate = startRate + accel * t + jerk * t2 / 2.0f + snap * t3 / 6.0f;
        value = startValue + startRate * t + accel * t2 / 2.0f + jerk * t3 / 6.0f + snap * t4 / 24.0f;
    } else {
        value = target;
        rate = 0.0f;
        elapsed = duration;
    }
}
