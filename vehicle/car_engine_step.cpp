// The running engine and clutch: torque curve, friction, the per-sub-step
// clutch spring and engine step, the light engaged step and the starter.
// Everything here runs 2000 times a second per car: closed forms only, float
// literals and the evaluation order kept, since the results feed the physics
// checksum.
#include "vehicle/car_engine.h"

#include <algorithm>

#include "vehicle/engine_record.h"

namespace {

constexpr float Pi = 3.14159265f;
// The crank angle is kept within +-32 pi; a wrap moves both shaft angles by
// 64 pi so the clutch spring between them keeps its twist.
constexpr float CrankWrapLimit = 32.0f * Pi;
constexpr float CrankWrapTurn = 64.0f * Pi;
// Full turbo speed, 150000 rpm.
constexpr float FullTurboSpeed = 15707.963f;
// Below this the engine has stalled.
constexpr float StallSpeed = 1.0f;
// Below this the clutch heat is dropped to 0 instead of decaying.
constexpr float ClutchHeatFloor = 0.0002f;

// The bell curve with its fade-in below 1.5 x idle, without the cap.
float CurveTorque(const CarEngine &engine, float w) {
    if (w <= 0.0f)
        return 0.0f;
    const float d = (w - engine.peakSpeed) / engine.curveWidth;
    float torque = engine.peakTorque / (1.0f + d * d);
    if (w < 1.5f * engine.idleSpeed) {
        // Smooth from 0 at standstill to full at 1.5 x idle. Not clamped:
        // just below 1.5 x idle x is 1.0005 and the factor a hair under 1.
        const float x = w * 0.667f / engine.idleSpeed;
        torque = torque * (3.0f - 2.0f * x) * (x * x);
    }
    return torque;
}

// The boosted throttle and the combustion torque shared by both engine
// steps. Writes manifold, *power and, when the limiter fades the torque or
// the engine gives none, *limiter.
float CombustionTorque(CarEngine &engine, float *power, float *limiter) {
    engine.manifold = (engine.boost + 1.0f) * engine.throttle - 1.0f;
    const float boosted = engine.manifold + 1.0f;
    const float health = (engine.condition + 1.0f) * 0.5f;
    const float gross = engine.Torque(engine.speed) * boosted * health;
    *power = gross * engine.speed;
    if (engine.running && engine.speed < engine.maxSpeed) {
        const float over = engine.speed - 0.99f * engine.maxSpeed;
        if (over <= 0.0f)
            return gross * health * engine.condition;
        // The rev limiter fades the torque to 0 over the last 1 %.
        const float fade = 1.0f - over * 100.0f / engine.maxSpeed;
        *limiter = fade;
        return fade * gross * health * engine.condition;
    }
    *limiter = 0.0f;
    return 0.0f;
}

// Keeps the crank angle within +-32 pi; returns the turn applied.
float WrapCrank(CarEngine &engine) {
    if (engine.crankAngle > CrankWrapLimit) {
        engine.crankAngle -= CrankWrapTurn;
        return -CrankWrapTurn;
    }
    if (engine.crankAngle < -CrankWrapLimit) {
        engine.crankAngle += CrankWrapTurn;
        return CrankWrapTurn;
    }
    return 0.0f;
}

float DecayClutchHeat(float heat, float factor) {
    return heat > ClutchHeatFloor ? heat * factor : 0.0f;
}

}  // namespace

int CarEngine::Start() {
    running = 1;
    if (speed < 0.25f * idleSpeed) {
        speed = 0.25f * idleSpeed;
        return 1;
    }
    return 0;
}

void CarEngine::StartAtIdle() {
    running = 1;
    speed = idleSpeed;
}

void CarEngine::Stop() {
    running = 0;
}

float CarEngine::Torque(float w) const {
    if (torqueLimit != 0.0f)
        return LimitedTorque(w);
    return CurveTorque(*this, w);
}

float CarEngine::LimitedTorque(float w) const {
    float torque = CurveTorque(*this, w);
    const float friction = Friction(w);
    const float b = (flags & EngineFlagTurbo) ? 1.0f + maxBoost : 1.0f;
    if (b * torque + friction > torqueLimit)
        torque = (torqueLimit - friction) / b;
    return torque;
}

float CarEngine::Friction(float w) const {
    if (w <= 0.0f)
        return 0.0f;
    return -(frictionCoefficient * w * w) - 0.015f * peakTorque;
}

void CarEngine::StepClutch() {
    if (totalRatio == 0.0f) {
        // Neutral: nothing is passed whatever the pedal.
        clutchTorque = 0.0f;
        clutchSlipping = 0;
    } else {
        const float spring = (crankAngle - gearboxAngle) * driveStiffness;
        float capacity = (1.0f - clutchPedal) * (1.0f - clutchHeat) * clutchCapacity;
        if (clutchSlipping)
            capacity *= 0.9f;  // a slipping clutch holds less than a gripping one
        if (spring > capacity || spring < -capacity) {
            // The gearbox side is dragged along until the spring holds the
            // capacity; the slip heats the clutch.
            float slip;
            if (spring > capacity) {
                slip = (spring - capacity) / driveStiffness;
                gearboxAngle += slip;
                clutchTorque = capacity;
            } else {
                slip = (-capacity - spring) / driveStiffness;
                gearboxAngle -= slip;
                clutchTorque = -capacity;
            }
            clutchSlipping = 1;
            clutchHeat += 0.0002f * slip * (1.0f - clutchPedal) * (1.0f - clutchHeat);
        } else {
            clutchTorque = spring;
            clutchSlipping = 0;
        }
    }
    if (!clutchSlipping && clutchHeat != 0.0f)
        clutchHeat = DecayClutchHeat(clutchHeat, 0.999998f);
}

float CarEngine::Step(float dt, float *power, float *limiter) {
    const float combustion = CombustionTorque(*this, power, limiter);
    const float net = Friction(speed) + combustion - clutchTorque;

    speed += net / inertia * dt;
    if (speed < StallSpeed) {
        // Stalled; whether it still fires is the caller's business.
        speed = 0.0f;
        smoothedSpeed = 0.0f;
        manifold = 0.0f;
    } else {
        smoothedSpeed += (speed - smoothedSpeed) * dt * 20.0f;
    }

    if (speed > maxSpeed) {
        const float over = (speed - maxSpeed) / maxSpeed;
        condition = std::max(0.0f, condition - over * over * dt);
    }

    crankAngle += dt * speed;
    gearboxAngle += WrapCrank(*this);

    if (flags & EngineFlagTurbo) {
        boost = turboSpeed * maxBoost / FullTurboSpeed;
        float wastegate;
        if (boost >= maxBoost)
            wastegate = 1.0f;
        else if (boost <= 0.95f * maxBoost)
            wastegate = 0.0f;
        else
            wastegate = (boost - 0.95f * maxBoost) / (0.05f * maxBoost);
        const float drag = turboDrag * turboSpeed;
        const float drive = 6.711e-7f * *power;
        // A turbo without inertia (an engine giving no torque at the turbo's
        // reference speed) cannot be integrated: it keeps its speed.
        if (turboInertia > 0.0f)
            turboSpeed += ((drive - drag) * (1.0f - wastegate) - drag) * 3000.0f / turboInertia * dt;
    }
    return net;
}

void CarEngine::StepEngaged([[maybe_unused]] float dt, float *power, float *limiter) {
    if (flags & EngineFlagTurbo) {
        // No lag while the wheels drive the engine.
        turboSpeed = FullTurboSpeed * throttle;
        boost = maxBoost * throttle;
    }
    const float net = Friction(speed) + CombustionTorque(*this, power, limiter);
    smoothedSpeed = speed;
    // The wheel pass advances the crank; here it is only kept in range, and
    // the spring is set to carry exactly the engine's net torque.
    WrapCrank(*this);
    // An engine without a clutch spring (no net torque anywhere, so none was
    // derived) passes nothing.
    gearboxAngle = driveStiffness > 0.0f ? crankAngle - net / driveStiffness : crankAngle;
}

void CarEngine::CoolClutch() {
    if (clutchHeat != 0.0f)
        clutchHeat = DecayClutchHeat(clutchHeat, 0.99996f);
}
