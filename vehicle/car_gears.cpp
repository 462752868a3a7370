// Gear choice, the shift controls and the gear change of a car.
//
// Gears are numbered 0 reverse, 1 neutral, 2.. forward; the top gear is
// gearCount - 1. The gear requests run once per tick at the end of the pit
// logic; a request waits in requestedGear until DoGearChange carries it out.

#include <cmath>

#include "vehicle/car_object.h"
#include "vehicle/engine_record.h"

namespace {

constexpr uint8_t ReverseGear = 0;
constexpr uint8_t NeutralGear = 1;
constexpr uint8_t FirstGear = 2;
constexpr uint16_t NoDirectGear = 255;
// Input words: shift up, shift down, a direct gear choice.
constexpr int ShiftUpWord = 3;
constexpr int ShiftDownWord = 4;
constexpr int DirectGearWord = 14;
// Stop tests after a reset before the controls may change gear (one second).
constexpr uint8_t GearRequestWarmUp = 100;
// Ticks the automatic gearbox waits after a change down and a change up.
constexpr int32_t HoldAfterDown = 20;
constexpr int32_t HoldAfterUp = 100;

// Net engine power at speed v, with full boost for a turbocharged engine.
float NetPower(const CarEngine &engine, float v) {
    const float b = (engine.flags & EngineFlagTurbo) ? 1.0f + engine.maxBoost : 1.0f;
    return (engine.Torque(v) * b + engine.Friction(v)) * v;
}

}  // namespace

float CarObject::EngineSpeedForRoadSpeed() const {
    const float radius = axles[0].outerRadius;
    if (!(radius > 0.0f))
        return 0.0f;
    return speed * engine.totalRatio / radius;
}

int CarObject::ChooseAutoGear(float w) const {
    // Bogging down under throttle in a gear above first.
    if (w < 0.75f * engine.idleSpeed && gear > FirstGear && engine.throttle > 0.5f)
        return 1;
    if (gear == NeutralGear || engine.clutchPedal > 0.75f)
        return 0;
    if (gear >= CarGearPositions)
        return 0;
    const float p = NetPower(engine, w);

    if (gear > NeutralGear && gear < gearCount - 1 && gear + 1 < CarGearPositions && w > engine.maxPowerSpeed) {
        if (engine.clutchPedal > 0.05f)
            return 0;
        // No change up while a driven wheel spins or is in the air.
        for (int i = 0; i < wheelCount; i++) {
            const CarWheel &wheel = wheels[i];
            if (wheel.driven != 0 && (wheel.slip > wheel.peakSlipShown || wheel.inContact == 0))
                return 0;
        }
        if (w > 0.99f * engine.maxSpeed)
            return 2;
        const float w2 = 1.0f / gearRatios[gear] * gearRatios[gear + 1] * w;
        return NetPower(engine, w2) > p ? 2 : 0;
    }
    if (gear > FirstGear && w < engine.maxPowerSpeed) {
        const float w0 = 1.0f / gearRatios[gear] * gearRatios[gear - 1] * w;
        return NetPower(engine, w0) > p && w0 < engine.maxPowerSpeed ? 1 : 0;
    }
    return 0;
}

void CarObject::StepPitStop(PlayerSlot *slot, float dt, int changed) {
    StepPitLane(slot, dt, changed);
    if (stopCheckCount < GearRequestWarmUp)
        return;

    const uint16_t direct = inputs[DirectGearWord];
    if (direct != NoDirectGear) {
        // The word comes from callers: a gear the box does not have is no
        // request at all.
        if (direct < static_cast<uint32_t>(gearCount) && direct < CarGearPositions)
            requestedGear = static_cast<uint8_t>(direct);
    } else {
        const bool upPressed = inputs[ShiftUpWord] != 0;
        if (inputs[ShiftDownWord] != 0) {
            if (upPressed && upLatch == 0 && downLatch == 0) {
                // Both controls at once cancel each other.
                requestedGear = gear;
                upLatch = 1;
                downLatch = 1;
            }
            if (downLatch == 0) {
                if (gearboxKind == 2) {
                    // This box never reaches reverse from the controls.
                    if (gear == ReverseGear)
                        requestedGear = NeutralGear;
                    else if (gear == NeutralGear || gear == FirstGear)
                        requestedGear = FirstGear;
                    else
                        requestedGear = static_cast<uint8_t>(gear - 1);
                } else {
                    requestedGear = gear > 0 ? static_cast<uint8_t>(gear - 1) : 0;
                }
                autoShiftHold = HoldAfterDown;
                downLatch = 1;
            }
        } else {
            if (downLatch != 0)
                requestedGear = gear;
            downLatch = 0;
        }

        if (upPressed) {
            if (upLatch == 0) {
                const int top = gearCount - 1;
                int next;
                if (gearboxKind == 2 && gear <= NeutralGear)
                    next = NeutralGear;
                else if (gearboxKind == 2 && gear == FirstGear)
                    next = speed < 2.0f ? NeutralGear : 3;
                else
                    next = gear + 1 < top ? gear + 1 : top;
                if (next < 0)
                    next = 0;
                requestedGear = static_cast<uint8_t>(next);
                autoShiftHold = HoldAfterUp;
                upLatch = 1;
            }
        } else {
            if (upLatch != 0)
                requestedGear = gear;
            upLatch = 0;
        }
    }

    if (autoGears != 0) {
        if (autoShiftHold != 0)
            autoShiftHold--;
        if (autoShiftHold == 0) {
            revMatchWait = 0;
            AutoShift();
        }
    }

    if (requestedGear != gear)
        DoGearChange();
}

void CarObject::AutoShift() {
    const float road = EngineSpeedForRoadSpeed();
    const float w = road > engine.speed ? road : engine.speed;
    switch (ChooseAutoGear(w)) {
    case 1:
        requestedGear = static_cast<uint8_t>(gear - 1);
        autoShiftHold = HoldAfterDown;
        break;
    case 2:
        requestedGear = static_cast<uint8_t>(gear + 1);
        autoShiftHold = HoldAfterUp;
        break;
    default:
        break;
    }
}

void CarObject::DoGearChange() {
    // gearRatios has a fixed number of places, and the box may have fewer:
    // a gear it does not have is dropped, never engaged.
    if (requestedGear >= gearCount || requestedGear >= CarGearPositions) {
        requestedGear = gear;
        return;
    }

    if (autoClutch != 0 && (gearboxKind == 5 || gearboxKind == 1 || gear == NeutralGear)) {
        autoClutchTimer = shiftTimes[0];
        engine.clutchPedal = 1.0f;
    }

    if (gear == NeutralGear) {
        if (engine.clutchPedal > 0.9f || engine.speed < 1.0f) {
            gear = requestedGear;
            return;
        }
        // The mean driven wheel speed; a car with no driven wheel gives 0.
        float m = 0.0f;
        if (drivenWheelCount > 0) {
            const float factor[2] = {rearDriveFactor, frontDriveFactor};
            for (int i = 0; i < wheelCount; i++) {
                const CarWheel &wheel = wheels[i];
                if (wheel.driven != 0)
                    m += factor[wheel.axleIndex != 0 ? 1 : 0] * wheel.angularVelocity /
                         static_cast<float>(drivenWheelCount);
            }
        }
        const float geared = gearRatios[requestedGear] * finalDrive * m;
        if (std::fabs(engine.speed - geared) / engine.speed < 0.02f)
            gear = requestedGear;
        return;
    }

    const bool up = requestedGear > gear;
    if (gearboxKind == 1) {
        if (upLatch == 0 && downLatch == 0) {
            // The box goes through neutral; the new gear engages from there.
            if (up && autoCut != 0)
                revMatchWait = 1;
            if (!up && requestedGear >= FirstGear && autoBlip != 0)
                blipTimer = shiftTimes[2];
            gear = NeutralGear;
        } else if (engine.clutchPedal > 0.9f) {
            gear = requestedGear;
        }
        return;
    }

    if (up) {
        if (autoCut != 0)
            throttleCutTimer = shiftTimes[1];
        else if (gearboxKind == 4)
            ignitionCutTimer = shiftTimes[1];
    } else if (autoBlip != 0 && requestedGear >= FirstGear) {
        blipTimer = shiftTimes[2];
    }
    // The gears part only while the clutch carries little torque; otherwise
    // the change is tried again next tick.
    if (std::fabs(engine.clutchTorque) < 0.3f * engine.maxTorque)
        gear = requestedGear;
}
