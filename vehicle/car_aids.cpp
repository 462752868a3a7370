// Driving aids: brake help, anti-lock brakes and traction control.
#include <cmath>

#include "vehicle/car_object.h"

namespace {

// Brake help acts only above this speed (m/s).
constexpr float BrakeHelpSpeed = 5.0f;
// A wheel slipping this many times its shown peak slip counts as locking.
constexpr float BrakeHelpSlip = 2.0f;
// Seconds the brake stays limited after the last trigger.
constexpr float BrakeHelpTime = 0.2f;

// Anti-lock brakes: no wheel is released while the reference rim speed is at
// most this (m/s); a wheel slower than this share of the reference is
// released completely, and gets its brake back by a fifth per tick.
constexpr float AbsLeastReference = 5.0f;
constexpr float AbsLockShare = 0.8f;
constexpr uint8_t AbsFullRelease = 100;
constexpr uint8_t AbsReturnStep = 20;
constexpr float Gravity = 9.81f;

// Traction control: the least undriven wheel speed (rad/s) that gives a
// ratio, and the allowed slip's unit (tenths of a percent).
constexpr float TractionLeastSpeed = 0.001f;
constexpr float TractionSlipUnit = 0.001f;

}  // namespace

// Starts the brake limit when either axle locks: an axle counts as locking
// unless one of its wheels is on the ground and slips less than twice its
// shown peak slip (an axle with no wheel on the ground locks).
void CarObject::UpdateBrakeHelp() {
    if (brakeHelpTimer > 0.0f || !(speed > BrakeHelpSpeed))
        return;
    bool locking[2] = {true, true};
    for (int i = 0; i < wheelCount; i++) {
        const CarWheel &wheel = wheels[i];
        if (wheel.inContact && wheel.slip < BrakeHelpSlip * wheel.peakSlipShown)
            locking[wheel.axleIndex == 1 ? 1 : 0] = false;
    }
    if (locking[0] || locking[1])
        brakeHelpTimer = BrakeHelpTime;
}

// The reference is the fastest rim speed of this tick; a reference that was
// already set is first replaced by 2 g dt, so that it never stays at zero
// while every wheel locks, yet is too small to release any wheel then.
// Release entries exist for the first four wheels; the car data holds no
// more.
void CarObject::StepAbs(float dt) {
    const int count = wheelCount < MaxCarWheels ? wheelCount : MaxCarWheels;
    if (brake == 0.0f) {
        absReference = 0.0f;
        for (uint8_t &release : absRelease)
            release = 0;
        return;
    }
    if (absReference != 0.0f)
        absReference = 2.0f * Gravity * dt;
    float rim[MaxCarWheels] = {};
    for (int i = 0; i < count; i++) {
        rim[i] = std::fabs(wheels[i].angularVelocity * wheels[i].radius);
        if (rim[i] > absReference)
            absReference = rim[i];
    }
    for (int i = 0; i < count; i++) {
        if (absReference > AbsLeastReference && AbsLockShare * absReference > rim[i])
            absRelease[i] = AbsFullRelease;
        else if (absRelease[i] > AbsReturnStep)
            absRelease[i] = static_cast<uint8_t>(absRelease[i] - AbsReturnStep);
        else
            absRelease[i] = 0;  // never below 0, whatever value an entry was given
    }
}

// One sub-step of the traction cut, from the engine speed against the
// fastest undriven wheel. Within the allowed slip nothing changes: the last
// cut holds until a later sub-step computes a new one.
void CarObject::ApplyTractionCut() {
    float fastest = 0.0f;
    for (int i = 0; i < wheelCount; i++) {
        const CarWheel &wheel = wheels[i];
        if (wheel.driven == 0 && wheel.angularVelocity > fastest)
            fastest = wheel.angularVelocity;
    }
    if (!(fastest > TractionLeastSpeed))
        return;
    const float allowed = setup != nullptr ? static_cast<float>(setup->tcSlip) * TractionSlipUnit : 0.0f;
    const float least = setup != nullptr ? static_cast<float>(setup->tcMinSpeed) : 0.0f;
    // The driven tyres' surface speed the engine implies over the undriven
    // tyres' surface speed.
    const float ratio = tyreRadiusRatio * engine.speed / (fastest * engine.totalRatio);
    if (!(ratio > 1.0f + allowed))
        return;
    float f = ratio > 1.0f + 1.5f * allowed ? 1.0f : (ratio - (1.0f + allowed)) / (0.5f * allowed);
    // The cut fades in between the minimum speed and 1.5 times it.
    if (speed < 1.5f * least)
        f = f * (speed - least) / (0.5f * least);
    // The car step arms the cut only above the minimum speed; below it (a
    // direct call) there is nothing to cut, never a throttle raised above
    // the driver's.
    if (f < 0.0f)
        f = 0.0f;
    tractionFactor = 1.0f - f;
    engine.throttle = (1.0f - f) * uncutThrottle;
}
