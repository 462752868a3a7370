#pragma once

#include <cstdint>

// The engine and clutch of a car, embedded in the car. Built zero-filled by
// Clear, given its defaults by SetDefaults, loaded from the engine record of
// the car data, derived from the vehicle class by the model set-up. Speeds in
// rad/s, torques in N m, angles in rad.
//
// The engine sound's parameters and waves belong to the audio service, which
// keeps them beside the car; this record holds only the sound words that the
// engine code itself clears.
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
    uint32_t soundWord;          // sound state, cleared with the engine state
    float turboSpeed;            // rad/s of the turbocharger
    float manifold;              // (boost + 1) x throttle - 1
    float smoothedManifold;
    float boost;                 // turboSpeed x maxBoost / 15707.963
    float soundState[2];         // sound state
    uint8_t firingOrder[12];     // cylinder numbers from 1, in firing order

    // Zeroes the whole record, then every sound wave is in use.
    void Clear();
    // The defaults of a new car's engine, then ResetState and ResetWear.
    // Expects a cleared record.
    void SetDefaults();
    // Stopped, at rest, throttle 0.05 (the car reset).
    void ResetState();
    // A healthy engine and a cold clutch (the repair).
    void ResetWear();
};
