// The car's tick of 0.01 s: the control words become filtered pedal values
// with the driving aids at fixed points of that chain, the aerodynamic forces
// are computed once, the car moves in sub-steps, and the per-tick
// bookkeeping follows. Replaces the plain body's step for cars.
#include <cmath>

#include "core/fixed_math.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/world_query.h"
#include "vehicle/vector3.h"

namespace {

// word / 65535
constexpr float PedalFactor = 1.5259022e-05f;
// A pedal moves by at most this much per tick (not scaled by dt).
constexpr float ControlRate = 0.2f;
// Ticks without a state after which a remote car stops.
constexpr uint32_t RemoteTimeOut = 150;
// 0.01 s of motion in 16.16 units, whatever dt is.
constexpr float RemoteStepScale = 655.36f;
// Least change of the input activity that counts as the driver moving.
constexpr int32_t InputActivityThreshold = 512;
constexpr float Gravity = 9.81f;

float MoveToward(float x, float v) {
    if (v > x) {
        const float n = x + ControlRate;
        return n < v ? n : v;
    }
    const float n = x - ControlRate;
    return n > v ? n : v;
}

float CountDown(float timer, float dt) {
    const float t = timer - dt;
    return t > 0.0f ? t : 0.0f;
}

// Re-orthonormalises the orientation from its y column; returns the columns.
void CleanOrientation(float o[9], float X[3], float Y[3], float Z[3]) {
    const float y[3] = {o[1], o[4], o[7]};
    const float ly = std::sqrt(Dot3(y, y));
    for (int k = 0; k < 3; k++)
        Y[k] = y[k] / ly;
    const float x[3] = {o[0], o[3], o[6]};
    float z[3];
    Cross3(x, Y, z);
    const float lz = std::sqrt(Dot3(z, z));
    for (int k = 0; k < 3; k++)
        Z[k] = z[k] / lz;
    Cross3(Y, Z, X);
    for (int k = 0; k < 3; k++) {
        o[3 * k] = X[k];
        o[3 * k + 1] = Y[k];
        o[3 * k + 2] = Z[k];
    }
}

}  // namespace

float CarObject::UpwardComponent() const {
    return angularVelocity[0] * orientation[2] + angularVelocity[1] * orientation[5] +
           angularVelocity[2] * orientation[8];
}

void CarObject::RestingStep() {
    engine.CoolClutch();
    if (previewCar)
        return;
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        wheel.UpdateTemperatures(axles[wheel.axleIndex & 1], 0.01f, 1.0f, false);
    }
}

void CarObject::Step(float dt, float gravity) {
    if (countdown > 0)
        countdown -= 10;

    // A remote car: nothing before its first state; once timed out or while
    // it takes no part in collisions, it only moves along its velocity.
    if (isRemote) {
        if (remotePhase == -1)
            return;
        // A signed span: a record stamped ahead of the car's count is fresh.
        const int32_t age = static_cast<int32_t>(stepCount - remoteStateTick);
        if (age > static_cast<int32_t>(RemoteTimeOut)) {
            remotePhase = 1;
            remoteAge = static_cast<float>(age) * 0.01f;
            active = 0;
        }
        if (!active) {
            if (remotePhase == 0) {
                position.x = WrapAdd(position.x, RoundToInt(velocity[0] * RemoteStepScale));
                position.y = WrapAdd(position.y, RoundToInt(velocity[1] * RemoteStepScale));
                position.z = WrapAdd(position.z, RoundToInt(velocity[2] * RemoteStepScale));
                predictedPosition = position;
                CheckStopped();
            }
            UpdateRaceProgress(dt, 0);
            return;
        }
    }

    PlayerSlot *slot = nullptr;
    if (!isRemote && CurrentWorldQuery() != nullptr)
        slot = FindCarSlot(this);
    if (!ExtrapolatingRemoteCar)
        StepCycleTimer();
    const int stopChanged = CheckStopped();
    if (slot != nullptr)
        StepPitStop(slot, dt, stopChanged);

    const float idle = engine.idleSpeed;
    float w = engine.speed;
    // Stall guard: the automatic clutch goes down before the engine stalls.
    if (autoClutch && gear != 1 && w < 0.75f * idle)
        autoClutchTimer = shiftTimes[0];

    float clutch = static_cast<float>(inputs[11]) * PedalFactor;
    if (autoClutchTimer > 0.0f) {
        // Fully down for the first half of the time, then up linearly.
        const float half = 0.5f * shiftTimes[0];
        const float f = autoClutchTimer < half ? autoClutchTimer / half : 1.0f;
        if (f > clutch)
            clutch = f;
        autoClutchTimer = CountDown(autoClutchTimer, dt);
    }

    if (slot != nullptr)
        UpdateStateFlags();

    // A standing car keeps its handbrake fully on once applied.
    if (stopped && handbrake > 0.1f && (gear == 1 || engine.clutchPedal > 0.9f))
        handbrake = 1.0f;
    else
        handbrake = static_cast<float>(inputs[12]) * PedalFactor;

    if (!previewCar && CountStandstill() == 1) {
        ClearMotionTotals();
        return;
    }
    if (announcePending) {
        AnnounceCar();
        return;
    }

    const float throttleRequest = static_cast<float>(inputs[1]) * PedalFactor;
    w = engine.speed;
    // Automatic clutch while pulling away: fully down below 1.25 x idle, fully
    // up at a target speed that rises with the throttle.
    if (autoClutch && gear != 1 && wheelEngineSpeed < 1.1f * w) {
        float target = throttleRequest * engine.maxTorqueSpeed * 0.667f;
        if (target < 1.5f * idle)
            target = 1.5f * idle;
        float f;
        if (w - idle < 0.25f * idle) {
            f = 1.0f;
        } else {
            f = 1.0f - (w - 1.25f * idle) / (target - 1.25f * idle);
            f = f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
        }
        if (f > clutch)
            clutch = f;
    }
    engine.clutchPedal = MoveToward(engine.clutchPedal, clutch);

    // Idle control: the throttle never falls below what holds idle speed.
    const float idleThrottle = engine.running && w < idle ? 1.0f - w / idle : 0.0f;
    float t = throttleRequest >= idleThrottle ? (throttleRequest < 1.0f ? throttleRequest : 1.0f) : idleThrottle;
    if (speedLimit != 0) {
        // The pit limiter fades the throttle out over the last eighth.
        const float limit = static_cast<float>(speedLimit) * 0.2777778f;
        const float band = 0.125f * limit;
        if (speed > limit - band) {
            t = t * (1.0f - (speed - limit + band) / band);
            if (!(t > 0.0f))
                t = 0.0f;
        }
    }
    engine.throttle = MoveToward(engine.throttle, t);
    if (throttleCutTimer > 0.0f) {
        engine.throttle = 0.0f;
        throttleCutTimer = CountDown(throttleCutTimer, dt);
    }
    if (revMatchWait) {
        if (EngineSpeedForRoadSpeed() < w)
            engine.throttle = 0.0f;
        else
            revMatchWait = 0;
    }
    if (blipTimer > 0.0f) {
        const float blip = blipTimer / shiftTimes[2] * 0.5f;
        if (blip > engine.throttle)
            engine.throttle = blip;
        blipTimer = CountDown(blipTimer, dt);
    }

    float brakeRequest = static_cast<float>(inputs[2]) * PedalFactor;
    if (brakeHelp && !isRemote) {
        UpdateBrakeHelp();
        if (brakeHelpTimer > 0.0f) {
            const float limit = 0.333f + brakeHelpTimer * 0.667f / 0.2f;
            if (limit < brakeRequest)
                brakeRequest = limit;
            brakeHelpTimer = CountDown(brakeHelpTimer, dt);
        }
    }
    brake = MoveToward(brake, brakeRequest);

    // A held car (pit work, penalty, start) stands on its brakes.
    const bool held = isRemote ? remoteHeld != 0 : pitWorkStep != 0;
    if (held) {
        const float least = stopped ? 0.125f : 0.5f;
        if (brake < least)
            brake = least;
        if (isRemote || pitLaneState != 4)
            autoClutchTimer = shiftTimes[0];
    }

    // Engine brake reduction: the throttle cancels part of the engine's
    // friction so that it brakes less.
    const int reduction = setup != nullptr ? setup->engineBrakeReduction : 0;
    if ((aidFlags & 4) != 0 && tractionFactor == 1.0f && reduction != 0 && gear >= 2 &&
        engine.clutchPedal < 0.05f) {
        const float T = engine.Torque(w);
        const float F = engine.Friction(w);
        if (T > 1.0f) {
            const float least = std::fabs(F * static_cast<float>(reduction) * 0.01f / T);
            if (least > engine.throttle)
                engine.throttle = least;
        }
    }

    if (absFitted)
        StepAbs(dt);
    if (slot != nullptr && RaceIsOnline())
        TrackInputChanges();

    steerTarget = SteerAngleFromInput(inputs[0]);
    steerPrev = steerNext;
    steerNext = steerTarget;

    float aeroForce[3];
    float aeroTorque[3];
    StepAerodynamics(aeroForce, aeroTorque);

    if (engine.running && fuel == 0.0f)
        engine.Stop();

    // The ignition cut stops combustion for this tick only; an engine that
    // was stopped already stays stopped.
    bool ignitionCleared = false;
    if (ignitionCutTimer > 0.0f) {
        ignitionCutTimer = CountDown(ignitionCutTimer, dt);
        if (engine.running) {
            engine.running = 0;
            ignitionCleared = true;
        }
    }

    if (gear != lastGear) {
        if (gear != 1 && carSoundStarted)
            gearChangeCount = static_cast<uint8_t>(gearChangeCount + 1);
        lastGear = gear;
    }

    engine.totalRatio = gearRatios[gear < CarGearPositions ? gear : 1] * finalDrive;
    tractionFactor = 1.0f;
    limiterFactor = 1.0f;
    uncutThrottle = engine.throttle;
    const float tcMinSpeed = setup != nullptr ? static_cast<float>(setup->tcMinSpeed) : 0.0f;
    tractionArmed = (aidFlags & 1) != 0 && !tcOff && engine.throttle > 0.1f && throttleRequest > 0.1f &&
                            engine.totalRatio > 1.0f && engine.clutchPedal < 0.5f && speed > tcMinSpeed
                        ? 1
                        : 0;

    IntegrateTick(dt, gravity, aeroForce, aeroTorque, isRemote ? nullptr : slot);
    if (ignitionCleared)
        engine.running = 1;

    if ((aidFlags & 2) != 0)
        engine.throttle = uncutThrottle;
    else if (tractionFactor != 1.0f)
        tractionFactor = 2.0f;

    PostStep();
    if (ExtrapolatingRemoteCar)
        return;

    if (stopped) {
        const int32_t activity = InputActivity();
        const int32_t change = activity - lastInputActivity;
        if (change >= InputActivityThreshold || change <= -InputActivityThreshold) {
            lastInputActivity = activity;
            lastInputTick = stepCount;
            standstillCount = 0;
        }
    }

    if (!previewCar) {
        flatCount = 0;
        const float convection = std::sqrt(airSpeed + 1.0f);
        for (int i = 0; i < wheelCount; i++) {
            CarWheel &wheel = wheels[i];
            wheel.UpdateTemperatures(axles[wheel.axleIndex & 1], dt, convection, isRemote != 0);
            flatCount = static_cast<uint8_t>(flatCount + wheel.flat);
            StepTyreMarks(wheel);
        }
    }

    speed = std::sqrt(Dot3(velocity, velocity));
    for (int k = 0; k < 3; k++)
        acceleration[k] = 0.9f * acceleration[k] + 0.1f * force[k] / mass;

    float X[3] = {orientation[0], orientation[3], orientation[6]};
    float Y[3] = {orientation[1], orientation[4], orientation[7]};
    float Z[3] = {orientation[2], orientation[5], orientation[8]};
    if (!isRemote) {
        CleanOrientation(orientation, X, Y, Z);
        if (slot != nullptr)
            SendStatePackets(slot);
    }
    gForce[0] = Dot3(X, smoothedForce) / mass / Gravity;
    gForce[1] = Dot3(Y, smoothedForce) / mass / Gravity;
    gForce[2] = Dot3(Z, smoothedForce) / mass / Gravity;

    UpdateRaceProgress(dt, singleStep == 0 ? 1 : 0);
    // Three or more wheels on surface types 3 or 4 spoil a hot lap.
    if (RaceHotLapMode() && FewWheelsInState3or4() == 0)
        RaceInvalidateHotLap(0);
    if (!singleStep)
        UpdateWheelLoadAverage(dt);
}
