// The car's steering: the input word's angle, the steering rack that the
// tyres push back on (or the lean steering of vehicle class 0), and the turn
// direction and radius that the wheel pass's Ackermann angles use. Runs
// every sub-step: float literals and the evaluation order are kept, since
// the results feed the physics checksum.
#include "vehicle/car_object.h"

#include <cmath>

#include "core/float_math.h"

namespace {

constexpr float Pi = 3.14159265f;
// Below this the wheels count as pointing straight ahead.
constexpr float StraightAngle = 1e-05f;
// Lean steering needs this speed (m/s).
constexpr float LeanSteerSpeed = 2.0f;

// The set-up's maximum lock in radians; 0 without a set-up.
float LockAngle(const CarObject &car) {
    if (car.setup == nullptr)
        return 0.0f;
    return static_cast<float>(car.setup->maxLock) * Pi / 180.0f;
}

// wheelSteerAngle held within +-lock; at a limit the rack stops.
void HoldWithinLock(CarObject &car, float lock) {
    if (car.wheelSteerAngle > lock) {
        car.wheelSteerAngle = lock;
        car.wheelSteerRate = 0.0f;
    } else if (car.wheelSteerAngle < -lock) {
        car.wheelSteerAngle = -lock;
        car.wheelSteerRate = 0.0f;
    } else if (!(car.wheelSteerAngle == car.wheelSteerAngle)) {
        // Not a number (a zero lock met an infinite gain): straight ahead.
        car.wheelSteerAngle = 0.0f;
        car.wheelSteerRate = 0.0f;
    }
}

void UpdateTurnGeometry(CarObject &car) {
    if (car.wheelSteerAngle > StraightAngle) {
        car.turnDirection = 1.0f;
        car.turnRadius = car.wheelbase / FloatTan(car.wheelSteerAngle);
    } else if (car.wheelSteerAngle < -StraightAngle) {
        car.turnDirection = 2.0f;
        car.turnRadius = car.wheelbase / FloatTan(-car.wheelSteerAngle);
    } else {
        car.turnDirection = 0.0f;
    }
}

}  // namespace

float CarObject::SteerAngleFromInput(uint16_t word) const {
    const float maxLock = setup != nullptr ? static_cast<float>(setup->maxLock) : 0.0f;
    return static_cast<float>(static_cast<int32_t>(word) - 32768) / 32768.0f * maxLock * Pi * (-1.0f / 180.0f);
}

void CarObject::UpdateSteering(float dt) {
    const float lock = LockAngle(*this);
    if (vehicleClass == 0 && speed >= LeanSteerSpeed) {
        // The rider steers into the lean: the roll rate about the car's
        // forward axis and its change damp the lean towards the one the
        // input asks for.
        const float q = angularVelocity[0] * orientation[1] + angularVelocity[1] * orientation[4] +
                        angularVelocity[2] * orientation[7];
        const float dq = q - lastRollRate;
        lastRollRate = q;
        const float k = 2.5f / std::sqrt(speed);
        const float lean = orientation[6];
        const float e = lean - k * q - k * k * (dq / dt) * 0.5f - 2.0f * steerTarget / lock;
        wheelSteerAngle += e * k * 0.01f / speed;
        HoldWithinLock(*this, lock);
    } else if (steerInertia > 0.0f) {
        const float torque = (steerAngle - wheelSteerAngle) * steerStiffness -
                             (wheelSteerRate - steerRate) * steerDamping + subStepSteerTorque;
        wheelSteerRate += torque / steerInertia * dt;
        wheelSteerAngle += wheelSteerRate * dt;
        HoldWithinLock(*this, lock);
    } else {
        // A car without a set-up has no rack inertia: the wheels simply take
        // the input's angle rather than dividing by zero.
        wheelSteerAngle = steerAngle;
        wheelSteerRate = 0.0f;
        HoldWithinLock(*this, lock);
    }
    UpdateTurnGeometry(*this);
}

void CarObject::UpdateSteeringGeometry() {
    wheelSteerAngle = steerAngle;
    wheelSteerRate = 0.0f;
    UpdateTurnGeometry(*this);
}
