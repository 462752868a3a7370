// Small per-tick rules of a car: the lamp cycle counter, the standstill
// count that lets a car at rest leave the physics world's body list, and the
// clearing of its motion when it does.

#include <cmath>

#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"

namespace {

// Consecutive resting ticks before the car counts as standing still.
constexpr uint8_t StandstillTicks = 100;
// The pit lane state in which a held car may still come to rest: its work
// is done (or its penalty stop made).
constexpr uint8_t PitLaneMayLeave = 4;

// Whether a moving body of the physics world, other than the car, is within
// reach of it (the two bounding radii).
bool MovingBodyNear(const PhysicsWorld &world, const CarObject &car) {
    for (int i = 0; i < world.bodyCount; i++) {
        const RigidBody *body = world.bodies[i];
        if (body == nullptr || body == &car || body->moving == 0)
            continue;
        const float d[3] = {
            FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(body->position.x) -
                                              static_cast<uint32_t>(car.position.x))),
            FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(body->position.y) -
                                              static_cast<uint32_t>(car.position.y))),
            FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(body->position.z) -
                                              static_cast<uint32_t>(car.position.z))),
        };
        const float reach = car.radius + body->radius;
        if (d[0] * d[0] + d[1] * d[1] + d[2] * d[2] < reach * reach)
            return true;
    }
    return false;
}

}  // namespace

void CarObject::StepCycleTimer() {
    if (indicator != 0) {
        cycleCounter += 10;
        if (cycleCounter >= 1000)
            cycleCounter = 0;
    }
    if (vehicleClass == 10 && speedLimit != 0) {
        cycleCounter += 10;
        if (cycleCounter >= 300)
            cycleCounter = 0;
    }
}

int CarObject::CountStandstill() {
    const uint8_t held = isRemote != 0 ? remoteHeld : pitWorkStep;
    const bool resting = engine.running == 0 && speed < 0.05f && engine.speed < 1.0f &&
                         std::fabs(angularVelocity[0]) < 0.2f && std::fabs(angularVelocity[1]) < 0.2f &&
                         std::fabs(angularVelocity[2]) < 0.2f && (held == 0 || pitLaneState == PitLaneMayLeave) &&
                         CurrentPhysicsWorld != nullptr && !MovingBodyNear(*CurrentPhysicsWorld, *this);
    if (!resting) {
        standstillCount = 0;
        return 0;
    }
    standstillCount++;
    if (standstillCount < StandstillTicks)
        return 0;
    standstillCount = 0;
    return 1;
}

void CarObject::ClearMotionTotals() {
    moving = 0;
    speed = 0.0f;
    engine.speed = 0.0f;
    for (int k = 0; k < 3; k++) {
        velocity[k] = 0.0f;
        angularMomentum[k] = 0.0f;
        impulse[k] = 0.0f;
        angularImpulse[k] = 0.0f;
    }
}
