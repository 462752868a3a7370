#pragma once

#include <cstdint>

#include "vehicle/engine_sound.h"

// Bytes of each line that CarEngine::FormatDescription writes, the end zero
// included.
constexpr int EngineDescriptionLineSize = 64;

// The engine and clutch of a car, embedded in the car. Built zero-filled by
// Clear, given its defaults by SetDefaults, loaded from the engine record of
// the car data, derived from the vehicle class by the model set-up. Speeds in
// rad/s, torques in N m, angles in rad.
//
// The engine's sound (its parameters and eight waves) is data of the car; the
// sound layer reads it into the car and synthesises from it. The sound words
// (firing index, load, rev fraction) are written by the sound layer and never
// enter the car step or the physics checksum.
struct CarEngine {
    uint32_t flags;              // bit 0 turbocharged; bit 1 second V8 firing order; bits 2, 3 engine record markers
    uint32_t waveMask;           // sound waves in use; all ones after Clear
    float frictionCoefficient;   // k of the friction torque k w^2
    float inertia;               // kg m^2 of the crank side
    float idleSpeed;
    float displacement;          // cubic centimetres
    int32_t cylinders;
    int32_t layout;              // 0 inline, 1 flat, 2 V
    float maxBoost;              // boost at full turbo speed, as a fraction of the unboosted torque
    float turboLagFactor;        // 0 from the car data: the vehicle class default applies
    float torqueFactor;
    float widthFactor;
    float torqueLimit;           // cap of the net full-throttle torque; 0 no cap
    float driveStiffness;        // N m/rad of the clutch spring
    float totalRatio;            // gear ratio x final drive; 0 in neutral
    uint32_t clutchSlipping;
    float clutchTorque;          // crank to gearbox; positive drives the car
    float peakTorque;
    float maxSpeed;              // rev limit
    float peakSpeedFactor;
    float inertiaFactor;
    float peakSpeed;
    float curveWidth;
    float turboDrive;
    float turboInertia;
    float turboDrag;
    float maxPower;              // W, net
    float maxPowerSpeed;
    float maxTorque;             // net
    float maxTorqueSpeed;
    float clutchCapacity;
    float condition;             // 1.0 healthy; falls while over-revved
    float clutchHeat;            // 0..1
    float clutchPedal;           // 0 engaged .. 1 pressed
    float gearboxAngle;          // gearbox input shaft, engine side
    float speed;                 // engine speed
    float smoothedSpeed;         // low-passed at 20 per second for the rev counters
    float throttle;              // 0..1
    float crankAngle;            // within +-32 pi
    uint32_t running;            // the engine fires
    uint32_t firingIndex;        // the next entry of firingOrder to fire; cleared with the engine state
    float turboSpeed;            // rad/s of the turbocharger
    float manifold;              // (boost + 1) x throttle - 1
    float smoothedManifold;
    float boost;                 // turboSpeed x maxBoost / 15707.963
    float soundLoad;             // 0..1, written by the sound layer for the synthesis
    float soundRevFraction;      // engine speed / rev limit, written by the sound layer
    uint8_t firingOrder[12];     // cylinder numbers from 1, in firing order
    EngineSoundParams soundParams;
    EngineWave waves[EngineWaveCount];   // owned; a copy of the record shares them

    // Zeroes the whole record, then every sound wave is in use.
    void Clear();
    // The defaults of a new car's engine (its sound parameters included),
    // then ResetState and ResetWear. Expects a cleared record.
    void SetDefaults();
    // Frees the samples of the eight waves; with clear the slots become zero.
    // Call it on the car's own record, never on a copy.
    void FreeWaves(bool clear);
    // Stopped, at rest, throttle 0.05 (the car reset).
    void ResetState();
    // A healthy engine and a cold clutch (the repair).
    void ResetWear();

    // The starter: the engine fires; a stopped or nearly stopped engine
    // (below a quarter of idle) is spun up to a quarter of idle and the
    // result is 1, else 0.
    int Start();
    // Fires at idle speed (cars placed with the engine running).
    void StartAtIdle();
    void Stop();

    // Full-throttle torque of the curve at speed w, before boost and
    // friction; 0 at and below 0. Capped through LimitedTorque when
    // torqueLimit is non-zero.
    float Torque(float w) const;
    // The curve capped so that the net torque at full boost, b T + Friction,
    // never exceeds torqueLimit.
    float LimitedTorque(float w) const;
    // The engine's own friction torque at w: negative above 0, else 0.
    float Friction(float w) const;
    // The two engine speeds a driver holds before a start: the launch speed
    // (last red light and green) and the lower speed of the earlier reds.
    float LaunchSpeed() const { return maxTorqueSpeed; }
    float HeldSpeed() const { return 0.5f * (idleSpeed + maxTorqueSpeed); }

    // The clutch spring of one sub-step; runs before Step.
    void StepClutch();
    // One sub-step of the free-running engine: rev limiter, stall, over-rev
    // wear, crank wrap and turbocharger. Writes the combustion power and,
    // when the limiter acts or the engine gives no torque, the limiter
    // factor. Returns the net torque on the crank (before the speed update),
    // which reacts on the car body.
    float Step(float dt, float *power, float *limiter);
    // The light step of a single-step tick with a gear engaged: the wheels
    // drive the engine speed, and the clutch spring is set to carry the
    // engine's net torque.
    void StepEngaged(float dt, float *power, float *limiter);
    // Cools the clutch of a resting car.
    void CoolClutch();

    // Derives the engine from its vehicle class and the engine record's
    // figures: clamps the record to the class, then idle, inertia, friction,
    // torque curve, turbo, the power and torque peaks, clutch and firing
    // order. The gearbox kind is accepted for the callers' convenience and
    // not used.
    void SetUpFromClass(int vehicleClass, int gearboxKind = 0);

    // Rev-counter scale of the dashboards: out[0] range, out[1] step,
    // out[2] where the red starts, in thousands of rpm.
    void GetRevCounterScale(int out[3]) const;
    // Half sizes of the engine block along the car's x, y and z in metres;
    // a non-zero swap exchanges x and y (an engine across the car).
    void GetPartSizes(float out[3], int swap) const;
    // Mass of the engine block in kg.
    float GetScaledValue() const;
    // The engine lines of the set-up information page (displacement and
    // layout, torque, power), each into EngineDescriptionLineSize bytes.
    void FormatDescription(char *line1, char *line2, char *line3) const;
};
