// The wheel pass of one sub-step: the drive torque split between the axles
// and, through each axle's differential, between its wheels; anti-roll;
// steer angles; brake torques; each wheel's suspension step; solid axles;
// and the driven wheels' rotation fed back into the gearbox. Runs 2000 times
// a second per car: float literals and the evaluation order are kept, since
// the results feed the physics checksum.
#include "vehicle/car_object.h"

#include <cmath>

#include "core/float_math.h"

namespace {

constexpr float Pi = 3.14159265f;
// Wheel rotation is kept within +-32 pi by turns of 64 pi.
constexpr float RotationWrapLimit = 32.0f * Pi;
constexpr float RotationWrapTurn = 64.0f * Pi;
// Every wheel's brake holds at least this much (N m), pedal released or not.
constexpr float BrakeDrag = 0.1f;
// The clutch-pack preload is stored in steps of this many N m.
constexpr float PreloadStep = 5.0f;
// With this data flag the wheels carry the up-axis force of the surfaces.
constexpr uint32_t WheelsCarryAeroFlag = 0x2000;

constexpr uint8_t NeutralGear = 1;
constexpr uint8_t CentreDiffViscous = 1;
constexpr uint8_t DiffViscous = 2;
constexpr uint8_t DiffClutchPack = 3;

// The wheel in slot s of axle a, or null for an empty slot or an index that
// names no wheel.
CarWheel *SlotWheel(CarObject &car, int a, int s) {
    const int32_t index = car.axleWheels[a][s];
    if (index < 0 || index >= car.wheelCount || car.wheels == nullptr)
        return nullptr;
    return &car.wheels[index];
}

// Both wheels of an axle that has two, else null for both.
bool AxlePair(CarObject &car, int a, CarWheel *&first, CarWheel *&second) {
    first = SlotWheel(car, a, 0);
    second = SlotWheel(car, a, 1);
    return car.axleTwoWheels[a] != 0 && first != nullptr && second != nullptr;
}

// Mean angular velocity of the axle's wheels; 0 for an axle without wheels.
float MeanAngularVelocity(CarObject &car, int a) {
    const CarWheel *first = SlotWheel(car, a, 0);
    const CarWheel *second = SlotWheel(car, a, 1);
    if (first != nullptr && second != nullptr)
        return (first->angularVelocity + second->angularVelocity) * 0.5f;
    if (first != nullptr)
        return first->angularVelocity;
    if (second != nullptr)
        return second->angularVelocity;
    return 0.0f;
}

// The axle's torque through its differential to the two wheels a and b.
void SplitAxleTorque(const CarSetupAxle &diff, float axleTorque, float dt, CarWheel &a, CarWheel &b) {
    const float h = 0.5f * axleTorque;
    if (diff.diffType == DiffViscous) {
        const float d = (b.angularVelocity - a.angularVelocity) * static_cast<float>(diff.viscousTorque);
        a.torque = h + d;
        b.torque = h - d;
    } else if (diff.diffType == DiffClutchPack) {
        float lock;
        if (h >= 0.0f)
            lock = static_cast<float>(diff.lockPower) * h * 0.01f;
        else
            lock = static_cast<float>(diff.lockCoast) * h * (-0.01f);
        if (diff.diffPreload == 0) {
            if (a.angularVelocity > b.angularVelocity) {
                a.torque = h - lock;
                b.torque = h + lock;
            } else {
                a.torque = h + lock;
                b.torque = h - lock;
            }
        } else {
            lock += static_cast<float>(diff.diffPreload) * PreloadStep;
            CarWheel &faster = a.angularVelocity > b.angularVelocity ? a : b;
            CarWheel &slower = &faster == &a ? b : a;
            // No more than the torque that brings both to one speed in this
            // step, or the pack would drive them apart the other way.
            const float equalise =
                (faster.angularVelocity - slower.angularVelocity) * faster.inertia * 0.5f / dt;
            if (lock > equalise)
                lock = equalise;
            slower.torque = h + lock;
            faster.torque = h - lock;
        }
    } else {
        a.torque = h;
        b.torque = h;
    }
}

// The front wheels' angle on the Ackermann geometry of the turn, blended
// with parallel steer by p.
float FrontWheelAngle(const CarObject &car, const CarWheel &wheel, float p) {
    if (wheel.side == 0.0f)
        return car.wheelSteerAngle;
    float ackermann = 0.0f;
    // A wheel on the turn's centre line has a zero denominator: the ratio is
    // infinite and the angle a right angle, which FloatAtan gives.
    if (car.turnDirection == 1.0f)
        ackermann = FloatAtan(car.wheelbase / (wheel.lateralPosition + car.turnRadius));
    else if (car.turnDirection == 2.0f)
        ackermann = -FloatAtan(car.wheelbase / (car.turnRadius - wheel.lateralPosition));
    if (ackermann != ackermann)
        ackermann = 0.0f;  // 0 / 0 of a car without a wheelbase
    return p * car.wheelSteerAngle + (1.0f - p) * ackermann;
}

void WrapRotation(float &rotation) {
    if (rotation > RotationWrapLimit)
        rotation -= RotationWrapTurn;
    else if (rotation < -RotationWrapLimit)
        rotation += RotationWrapTurn;
}

const CarSetup &SetupInUse(const CarObject &car) {
    static const CarSetup none{};
    return car.setup != nullptr ? *car.setup : none;
}

}  // namespace

void CarObject::StepWheels(float dt, bool light, float gravity) {
    const CarSetup &set = SetupInUse(*this);
    const float axleFactor[2] = {rearDriveFactor, frontDriveFactor};

    // 1. The drive torque between the axles.
    const float drive = driveEfficiency * engine.clutchTorque * engine.totalRatio;
    subStepSteerTorque = 0.0f;
    float axleTorque[2] = {0.0f, 0.0f};
    if (gear != NeutralGear) {
        if (drivenAxles == 1) {
            axleTorque[0] = drive;
        } else if (drivenAxles == 2) {
            axleTorque[1] = drive;
        } else if (drivenAxles == 3) {
            axleTorque[0] = 0.5f * drive * axleFactor[0];
            axleTorque[1] = 0.5f * drive * axleFactor[1];
            if (set.centreDiffType == CentreDiffViscous) {
                const float transfer = (MeanAngularVelocity(*this, 1) - MeanAngularVelocity(*this, 0)) *
                                       static_cast<float>(set.centreViscousTorque);
                axleTorque[0] += transfer;
                axleTorque[1] -= transfer;
            }
        }
    }

    // 2. Each axle's differential and anti-roll bar, rear then front.
    for (int a = 0; a < 2; a++) {
        CarWheel *first;
        CarWheel *second;
        if (!AxlePair(*this, a, first, second)) {
            CarWheel *only = first != nullptr ? first : second;
            if (only != nullptr)
                only->torque = axleTorque[a];
            continue;
        }
        const CarSetupAxle &block = set.axles[a];
        const float roll = (second->compression - first->compression) * block.antiRoll;
        first->antiRollForce = roll;
        second->antiRollForce = -roll;
        if (first->driven == 0) {
            first->torque = 0.0f;
            second->torque = 0.0f;
        } else {
            SplitAxleTorque(block, axleTorque[a], dt, *first, *second);
        }
    }

    // 3. Each wheel's travel, steer angle, brake and suspension step.
    const float invDt = 1.0f / dt;
    const float p = static_cast<float>(set.parallelSteer) / 100.0f;
    const bool carriesAero = (dataFlags & WheelsCarryAeroFlag) != 0;
    float driveSum = 0.0f;
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        const int a = wheel.axleIndex == 1 ? 1 : 0;
        const RimData &axle = axles[a];

        if (!light && wheel.suspensionType != 0) {
            wheel.compression += dt * wheel.compressionSpeed;
            if (wheel.compression < 0.0f) {
                wheel.compression = 0.0f;
                wheel.compressionSpeed = 0.0f;
            } else if (wheel.compression > wheel.maxTravel) {
                wheel.compression = wheel.maxTravel;
                wheel.compressionSpeed = 0.0f;
            }
            wheel.UpdateSuspensionGeometry(axle);
        }

        const float steer = a == 1 ? FrontWheelAngle(*this, wheel, p) : 0.0f;
        wheel.steerAngle = steer + wheel.toe * wheel.side;

        const uint8_t release = i < MaxCarWheels ? absRelease[i] : 0;
        float brakeTorque;
        if (release != 0)
            brakeTorque = static_cast<float>(100 - release) * brake * wheel.brakeShare * 0.01f + BrakeDrag;
        else
            brakeTorque = brake * wheel.brakeShare + BrakeDrag;
        if (a == 0)
            brakeTorque += set.brakeTorque * handbrake;

        const float centre[3] = {
            orientation[0] * wheel.centre[0] + orientation[1] * wheel.centre[1] + orientation[2] * wheel.centre[2] +
                stepOffset[0],
            orientation[3] * wheel.centre[0] + orientation[4] * wheel.centre[1] + orientation[5] * wheel.centre[2] +
                stepOffset[1],
            orientation[6] * wheel.centre[0] + orientation[7] * wheel.centre[1] + orientation[8] * wheel.centre[2] +
                stepOffset[2],
        };

        float external[3] = {0.0f, 0.0f, 0.0f};
        if (carriesAero) {
            for (int k = 0; k < 3; k++)
                external[k] = wings[a].verticalForce[k] * 0.5f;
        }

        const float torqueBefore = subStepSteerTorque;
        wheel.StepSuspension(axle, orientation, centre, brakeTorque, light ? nullptr : &subStepSteerTorque, dt,
                             invDt, gravity, this, external, isRemote != 0);
        sideSteerTorque[wheel.side > 0.0f ? 1 : 0] += subStepSteerTorque - torqueBefore;

        if (wheel.driven != 0)
            driveSum += axleFactor[a] * wheel.rotationStep;
    }

    // 4. The tick's steering torque.
    steerTorque += subStepSteerTorque;

    // 5. Solid axles turn as one.
    for (int a = 0; a < 2; a++) {
        CarWheel *first;
        CarWheel *second;
        if (solidAxle[a] == 0 || !AxlePair(*this, a, first, second))
            continue;
        const float meanVelocity = (first->angularVelocity + second->angularVelocity) * 0.5f;
        const float meanStep = (first->rotationStep + second->rotationStep) * 0.5f;
        first->angularVelocity = meanVelocity;
        second->angularVelocity = meanVelocity;
        first->rotationStep = meanStep;
        second->rotationStep = meanStep;
        first->rotation += meanStep;
        WrapRotation(first->rotation);
        second->rotation = first->rotation;
    }

    // 6. The driven wheels' mean rotation turns the gearbox. Without a driven
    // wheel there is nothing to average: the wheels then move no shaft.
    const float m = drivenWheelCount > 0 ? driveSum / static_cast<float>(drivenWheelCount) : 0.0f;
    propShaftSpeed = std::fabs(invDt * finalDrive * m);
    if (gear == NeutralGear) {
        engine.gearboxAngle = engine.crankAngle;
        return;
    }
    const float g = m * engine.totalRatio;
    engine.gearboxAngle += g;
    wheelEngineSpeed = g / dt;
    if (light && engine.clutchPedal < 0.5f) {
        engine.crankAngle += g;
        const float w = g / dt;
        engine.speed = w > 0.0f ? w : 0.0f;
    }
}
