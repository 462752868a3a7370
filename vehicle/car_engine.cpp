#include "vehicle/car_engine.h"

#include <cstring>

void CarEngine::Clear() {
    std::memset(this, 0, sizeof(*this));
    waveMask = 0xFFFFFFFFu;
}

void CarEngine::SetDefaults() {
    flags = 0;
    inertiaFactor = 1.0f;
    peakSpeedFactor = 1.0f;
    totalRatio = 1.0f;
    displacement = 2800.0f;
    cylinders = 4;
    layout = 0;
    maxBoost = 1.0f;
    torqueFactor = 1.0f;
    widthFactor = 1.0f;
    torqueLimit = 0.0f;
    ResetState();
    ResetWear();
}

void CarEngine::ResetState() {
    throttle = 0.05f;
    soundWord = 0;
    gearboxAngle = 0.0f;
    speed = 0.0f;
    smoothedSpeed = 0.0f;
    crankAngle = 0.0f;
    running = 0;
    turboSpeed = 0.0f;
    manifold = 0.0f;
    smoothedManifold = 0.0f;
    boost = 0.0f;
    clutchPedal = 0.0f;
    clutchSlipping = 0;
    clutchTorque = 0.0f;
}

void CarEngine::ResetWear() {
    condition = 1.0f;
    clutchHeat = 0.0f;
}
