#include "vehicle/car_wheel.h"

#include <cstring>

#include "core/data_stream.h"

namespace {

// One atmosphere: 14.7 psi, a psi being (9.81 / 2.204623) / 0.0254^2 Pa.
constexpr float Psi = (9.81f / 2.204623f) / (0.0254f * 0.0254f);
constexpr float Atmosphere = 14.7f * Psi;

constexpr float Pi = 3.14159265f;

void Zero3(float v[3]) {
    v[0] = 0.0f;
    v[1] = 0.0f;
    v[2] = 0.0f;
}

}  // namespace

void WheelProbe::Clear() {
    *this = WheelProbe{};  // every value 0, no surface, no body
}

CarWheel::CarWheel() {
    // Every field has a value before the model set-up writes its own; the
    // state record and checksums later read whole wheels.
    std::memset(static_cast<void *>(this), 0, sizeof(*this));
    tyreProbe.Clear();
    sideProbe.Clear();
    Zero3(restPosition);
    SetDefaults();
    ClearDamage();
}

void CarWheel::SetDefaults() {
    peakSlip = 1.0f;
    peakSlipShown = 1.0f;
    pressure = Atmosphere;
    Zero3(sectionLoad);
    std::memset(temperatureBytes, 0, sizeof(temperatureBytes));
    temperatureSpare = 0;
    std::memset(treadBytes, 0, sizeof(treadBytes));
    dirtByte = 0;
    frictionLimit = 0.0f;
    bumpSurface = 0;
    bumpBlend = 0;
    bumpHeight = 0;
    surfaceType = 0;
    smokeCounter = 0;
    steerAngle = 0.0f;
    skidSegment = -1;
    rotation = Pi;
    angularVelocity = 0.0f;
    rotationStep = 0.0f;
    compression = 0.0f;
    compressionSpeed = 0.0f;
    antiRollForce = 0.0f;
    torque = 0.0f;
    Zero3(contactForce);
    Zero3(rollDirection);
    Zero3(lastReferencePoint);
    Zero3(contactPoint);
    Zero3(deflection);
    Zero3(dragAnchor);
    slip = 0.0f;
    slipShown = 0.0f;
    normalForce = 0.0f;
    contactWidth = 0.0f;
    patchLength = 0.0f;
    frictionRatio = 0.0f;
    tyreDeflection = 0.0f;
    camberSine = 0.0f;
    longDeflection = 0.0f;
    latDeflection = 0.0f;
    friction = 0.0f;
    inContact = 0;
    tyreHit = 0;
    sideInContact = 0;
    sideHit = 0;
    tyreProbe.Clear();
    sideProbe.Clear();
    Zero3(sideAnchor);
    sideDepth = 0.0f;
}

void CarWheel::ClearDamage() {
    travelDamage = 0.0f;
    upperArmDamage = 0.0f;
    lowerArmDamage = 0.0f;
    damageSpare = 0.0f;
    springState = 0;
    upperArmState = 0;
    lowerArmState = 0;
    toeState = 0;
    flat = 0;
    for (int k = 0; k < 3; k++)
        position[k] = restPosition[k];
}

void CarWheel::ReadRestPosition(DataStream &stream) {
    for (int k = 0; k < 3; k++)
        restPosition[k] = stream.ReadFloat();
}
