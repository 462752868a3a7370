// The car reset: the car's motion and working state cleared, then the car
// dropped onto the solid ground below its position, tilted to the ground and
// pushed out of solid objects that its corners reach into.

#include <cmath>
#include <cstring>

#include "core/float_math.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/world_query.h"
#include "vehicle/vector3.h"

namespace {

constexpr int32_t FixOne = 65536;
// Extra push-out of the placement passes with shrunken corners: a third of
// the probe in pass 1, the whole probe in pass 2.
constexpr int64_t PassExtraPush[3] = {0, 21845, 65536};
constexpr float PassCornerScale[3] = {1.0f, 0.75f, 0.5f};
// Passes in all before the placement gives up pushing.
constexpr int MaxPlacementPasses = 12;

template <typename T, size_t N>
void Zero(T (&array)[N]) {
    std::memset(array, 0, sizeof(array));
}

void Normalise(float v[3]) {
    const float square = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (!(square > 0.0f))
        return;
    const float inverse = 1.0f / std::sqrt(square);
    v[0] *= inverse;
    v[1] *= inverse;
    v[2] *= inverse;
}

// The orientation (rows first) tilted so that its z axis is the ground
// normal, keeping its y axis in the vertical plane it was in.
void TiltToGround(float m[9], const float normal[3]) {
    float up[3] = {normal[0], normal[1], normal[2]};
    Normalise(up);
    const float forwardBefore[3] = {m[1], m[4], m[7]};
    float right[3];
    Cross3(forwardBefore, up, right);
    Normalise(right);
    float forward[3];
    Cross3(up, right, forward);
    for (int r = 0; r < 3; r++) {
        m[r * 3 + 0] = right[r];
        m[r * 3 + 1] = forward[r];
        m[r * 3 + 2] = up[r];
    }
}

}  // namespace

void CarObject::Reset(float heading, int rescue, int fullProbe) {
    // 1. Drawing and working state; the body moves again.
    shiftByte = 0;
    turnRadius = 0.0f;
    turnDirection = 0.0f;
    moving = 1;
    Zero(smoothedForce);
    Zero(airDirection);
    Zero(wake);
    Zero(wakeVelocity);
    wakeStrength = 0.0f;
    wheelLoadTotal = 0;

    // 2. Race state of the car standing where it was put.
    stopped = 1;
    remoteHeld = 0;
    recentlyReset = 0;
    announcePending = 0;
    active = 1;
    standstillCount = 0;
    resetPosition = position;
    pitWorkStep = 0;
    stopCheckCount = 0;

    // 3. Step factors, penalty state and the driving aids' timers.
    resetFactors[0] = 1.0f;
    resetFactors[1] = 1.0f;
    tractionFactor = 1.0f;
    limiterFactor = 1.0f;
    ClearPenaltyState();
    countdown = 0;
    autoClutchTimer = 0.0f;
    throttleCutTimer = 0.0f;
    ignitionCutTimer = 0.0f;
    blipTimer = 0.0f;
    brakeHelpTimer = 0.0f;
    revMatchWait = 0;
    upLatch = 0;
    downLatch = 0;
    autoShiftHold = 0;

    // 4. Motion and the gearbox in neutral.
    Zero(angularVelocity);
    Zero(acceleration);
    Zero(gForce);
    gear = 1;
    requestedGear = 1;
    Zero(clockWords);
    speed = 0.0f;

    // 5. Heading about z, then the body and the engine at rest.
    const float c = FloatCos(heading);
    const float s = FloatSin(heading);
    const float turned[9] = {c, -s, 0.0f, s, c, 0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(orientation, turned, sizeof(orientation));
    ResetState();
    engine.ResetState();

    // 6. Display, fuel and steering working values and the sound state.
    displayBytes[0] = 0;
    displayBytes[1] = 0;
    displayBytes[2] = 1;
    displayBytes[3] = 0;
    Zero(fuelWork);
    steerTarget = 0.0f;
    soundState.Init();
    hornIndex = 0;
    hornStarted = 255;
    engineStartSound = 0;
    gearChangeCount = 0;

    // 7. Height of the body origin above the ground: every tyre just clear.
    float lowest = -1000.0f;
    for (int i = 0; i < wheelCount; i++) {
        const float below = wheels[i].radius - wheels[i].baseHeight;
        if (below > lowest)
            lowest = below;
    }
    const int32_t clearance = MetresToFix(0.05f + lowest);
    const int32_t z0 = MetresToFix(dryCentreOfMass[2]);

    // 8. Placement passes. A pass that pushes the car starts the sequence
    // again from pass 0, until a whole sequence needs no push or 12 passes
    // have run.
    WorldQuery *world = LoadedWorldQuery();
    const int passes = rescue ? 3 : 1;
    int passesRun = 0;
    for (;;) {
        bool pushed = false;
        for (int pass = 0; pass < passes && !pushed; pass++) {
            passesRun++;
            const int32_t ground =
                world != nullptr ? world->ProbeSolidBelow(position.x, position.y, WrapAdd(position.z, z0), fullProbe)
                                 : 0;
            position.z = WrapAdd(ground, clearance);
            if (world == nullptr)
                continue;

            ContactProbe record;
            record.Clear();
            const FixVector below = {position.x, position.y, WrapAdd(position.z, -2 * FixOne)};
            const FixVector down = {0, 0, -4 * FixOne};
            if (world->SolidContactQuery(below, down, record))
                TiltToGround(orientation, record.normal);

            int64_t push[2] = {0, 0};
            const float corners[4][2] = {{maxX, maxY}, {minX, maxY}, {maxX, minY}, {minX, minY}};
            for (const float *corner : corners) {
                const float cx = corner[0] * PassCornerScale[pass];
                const float cy = corner[1] * PassCornerScale[pass];
                const FixVector o = {
                    MetresToFix(orientation[0] * cx + orientation[1] * cy),
                    MetresToFix(orientation[3] * cx + orientation[4] * cy),
                    MetresToFix(orientation[6] * cx + orientation[7] * cy),
                };
                const FixVector end = {WrapAdd(position.x, o.x), WrapAdd(position.y, o.y),
                                       WrapAdd(WrapAdd(position.z, o.z), z0)};
                record.Clear();
                if (!world->SolidContactQuery(end, o, record))
                    continue;
                pushed = true;
                const int64_t f = record.fraction;
                const int64_t k = f + f / 16 + PassExtraPush[pass];
                push[0] -= (static_cast<int64_t>(o.x) * k) >> 16;
                push[1] -= (static_cast<int64_t>(o.y) * k) >> 16;
            }
            position.x = WrapAdd(position.x, static_cast<int32_t>(push[0]));
            position.y = WrapAdd(position.y, static_cast<int32_t>(push[1]));
        }
        if (!pushed || passesRun >= MaxPlacementPasses)
            break;
    }

    // 9. The start-of-step copies.
    predictedPosition = position;
    std::memcpy(predictedOrientation, orientation, sizeof(predictedOrientation));

    // 10. Smoothed position at rest, and the steering.
    smoothPosition[0].Init(FixToMetres(position.x), 0.0f);
    smoothPosition[1].Init(FixToMetres(position.y), 0.0f);
    smoothPosition[2].Init(FixToMetres(position.z) + dryCentreOfMass[2], 0.0f);
    smoothPosition[3].Init(0.0f, 0.0f);
    ClearSteeringState();

    // 11. Pedals, steering working values, inputs and lamps.
    steerAngle = 0.0f;
    steerRate = 0.0f;
    wheelSteerAngle = 0.0f;
    wheelSteerRate = 0.0f;
    subStepSteerTorque = 0.0f;
    steerTorque = 0.0f;
    lastRollRate = 0.0f;
    steerPrev = 0.0f;
    steerNext = 0.0f;
    brake = 0.0f;
    handbrake = 0.0f;
    Zero(absRelease);
    absReference = 0.0f;
    Zero(inputs);
    inputs[0] = 32768;
    inputs[14] = 255;
    headlight = 0;
    brakeLamp = 0;
    reverseLamp = 0;
    auxLamp = 0;
    indicator = 0;
    cycleCounter = 0;

    // 12. Wheels.
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        const RimData &axle = axles[wheel.axleIndex != 0 ? 1 : 0];
        wheel.SetDefaults();
        wheel.UpdateSuspensionGeometry(axle);
        if (!rescue)
            wheel.SetUp(axle, isRemote != 0);
    }

    // 13. Aerodynamic working values and race progress.
    for (AeroSurface &wing : wings) {
        Zero(wing.force);
        Zero(wing.verticalForce);
        Zero(wing.wakeInflow);
    }
    Zero(progress);
    progressWord = 0;
    singleStep = isRemote != 0 ? 1 : 0;

    // 14. Remote state: a remote car that has received nothing stays still
    // until its first record; any other remote car starts fresh.
    if (isRemote != 0) {
        if (remotePhase == -1)
            moving = 0;
        else
            remotePhase = 0;
    }
    remoteAge = 0.0f;

    // 15.
    ResetDrawState();
    lastInputTick = stepCount;
}
