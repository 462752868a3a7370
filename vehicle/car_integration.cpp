// The motion of the car's tick: 20 sub-steps in which the steering, clutch,
// engine, body pose, wheels and body contacts advance together, or one light
// step for a distant remote car. Semi-implicit: each sub-step moves the pose
// with the previous velocities, computes the forces at the new pose and only
// then changes the velocity and angular momentum.
#include "vehicle/car_object.h"
#include "vehicle/vector3.h"

namespace {

constexpr int SubSteps = 20;
// Litres of fuel per joule of combustion work (1.75 / 30 000 000).
constexpr float FuelPerJoule = 3.3333333e-08f;
// The roll stabiliser of class 0: fades out at this speed (m/s).
constexpr float StabiliserSpeed = 4.0f;

void Blend(float out[3], float a, const float start[3], float b, const float end[3]) {
    for (int k = 0; k < 3; k++)
        out[k] = a * start[k] + b * end[k];
}

void BlendProbe(WheelProbe &probe, float a, float b) {
    Blend(probe.stepPosition, a, probe.previousPosition, b, probe.currentPosition);
    probe.stepSurface = a * probe.previousSurface + b * probe.currentSurface;
    Blend(probe.stepNormal, a, probe.previousNormal, b, probe.currentNormal);
}

void TakeProbeEnd(WheelProbe &probe) {
    for (int k = 0; k < 3; k++) {
        probe.stepPosition[k] = probe.currentPosition[k];
        probe.stepNormal[k] = probe.currentNormal[k];
    }
    probe.stepSurface = probe.currentSurface;
}

}  // namespace

// Sums the wheels', the contacts' and the sprung weight's forces on the body
// (torques about the body origin), then changes velocity and angular
// momentum over h. `torque` comes in holding the engine and aerodynamic
// torques.
static void ApplyForces(CarObject &car, float h, float gravity, const float aeroForce[3]) {
    float m = car.mass;
    for (int k = 0; k < 3; k++)
        car.force[k] = aeroForce[k];
    for (int i = 0; i < car.wheelCount; i++) {
        const CarWheel &wheel = car.wheels[i];
        m -= wheel.unsprungMass;
        const float arm[3] = {wheel.contactPoint[0] - car.stepOffset[0], wheel.contactPoint[1] - car.stepOffset[1],
                              wheel.contactPoint[2] - car.stepOffset[2]};
        float turn[3];
        Cross3(arm, wheel.contactForce, turn);
        for (int k = 0; k < 3; k++) {
            car.force[k] += wheel.contactForce[k];
            car.torque[k] += turn[k];
        }
    }
    for (int p = 0; p < car.pointCount; p++) {
        const CollisionPoint &point = car.points[p];
        if (point.phase == 0)
            continue;
        const float arm[3] = {point.anchor[0] - car.stepOffset[0], point.anchor[1] - car.stepOffset[1],
                              point.anchor[2] - car.stepOffset[2]};
        float turn[3];
        Cross3(arm, point.force, turn);
        for (int k = 0; k < 3; k++) {
            car.force[k] += point.force[k];
            car.torque[k] += turn[k];
        }
    }
    // The sprung weight acts at the sprung centre; the unsprung mass rests on
    // the wheels, whose own weight the suspension carries.
    const float weight = m * gravity;
    car.force[2] += weight;
    float c[3];
    MatVec3(car.orientation, car.sprungCentre, c);
    car.torque[0] += c[1] * weight;
    car.torque[1] -= c[0] * weight;

    const float step = h / car.mass;
    for (int k = 0; k < 3; k++)
        car.velocity[k] += step * car.force[k];
    // About the centre of mass: the sums above are about the body origin.
    float g[3];
    MatVec3(car.orientation, car.centreOfMass, g);
    float shift[3];
    Cross3(car.force, g, shift);
    for (int k = 0; k < 3; k++)
        car.angularMomentum[k] += h * (car.torque[k] + shift[k]);
    for (int k = 0; k < 3; k++)
        car.smoothedForce[k] = 0.9f * car.smoothedForce[k] + 0.1f * car.force[k];
}

static void SubStep(CarObject &car, float h, float gravity, float inc, const float crank[3], const float aeroForce[3],
                    const float aeroTorque[3], int k, int r, float *fuelUsed) {
    car.steerAngle += inc;
    car.UpdateSteering(h);
    if (car.tractionArmed)
        car.ApplyTractionCut();
    car.engine.StepClutch();
    const float reaction = car.engine.Step(h, &car.enginePower, &car.limiterFactor);
    for (int j = 0; j < 3; j++)
        car.torque[j] = reaction * crank[j];
    *fuelUsed += h * car.enginePower * 1.75f * FuelPerJoule;
    for (int j = 0; j < 3; j++)
        car.torque[j] += aeroTorque[j];

    if (car.vehicleClass == 0) {
        const float *o = car.orientation;
        const float xz = o[6];
        if (car.speed < StabiliserSpeed && (xz < 0.5f && xz > -0.5f)) {
            const float Y[3] = {o[1], o[4], o[7]};
            const float rollRate = car.angularVelocity[0] * Y[0] + car.angularVelocity[1] * Y[1] +
                                   car.angularVelocity[2] * Y[2];
            const float s = (1.0f - car.speed * 0.25f) * (xz * 2500.0f - rollRate * 500.0f);
            for (int j = 0; j < 3; j++)
                car.torque[j] += s * Y[j];
        }
    }

    car.Integrate(h, car.angularVelocity);

    const float a = static_cast<float>(r) * 0.05f;
    const float b = static_cast<float>(k) * 0.05f;
    for (int i = 0; i < car.wheelCount; i++) {
        CarWheel &wheel = car.wheels[i];
        if (wheel.tyreHit)
            BlendProbe(wheel.tyreProbe, a, b);
        if (wheel.sideHit != 0)
            BlendProbe(wheel.sideProbe, a, b);
    }
    car.StepWheels(h, false, gravity);
    for (int p = 0; p < car.pointCount; p++) {
        CollisionPoint &point = car.points[p];
        if (point.contactKind == 0)
            continue;
        Blend(point.stepContact, a, point.previousContact, b, point.contact);
        point.stepGrip = a * point.previousGrip + b * point.grip;
        Blend(point.stepNormal, a, point.previousNormal, b, point.contactNormal);
    }
    car.ComputeContactForces(h);
    ApplyForces(car, h, gravity, aeroForce);
}

static void SingleStep(CarObject &car, float dt, float gravity, const float aeroForce[3], const float aeroTorque[3]) {
    car.steerAngle = car.steerNext;
    car.steerTorque = 0.0f;
    car.sideSteerTorque[0] = car.sideSteerTorque[1] = 0.0f;
    car.steerRate = (car.steerNext - car.steerPrev) / dt;
    car.UpdateSteeringGeometry();
    for (int k = 0; k < 3; k++)
        car.torque[k] = aeroTorque[k];
    if (car.tractionArmed)
        car.ApplyTractionCut();
    car.engine.StepClutch();
    if (car.gear == 1 || car.engine.clutchPedal >= 0.5f) {
        car.engine.Step(dt, &car.enginePower, &car.limiterFactor);
        car.engine.gearboxAngle = car.engine.crankAngle;
    } else {
        car.engine.StepEngaged(dt, &car.enginePower, &car.limiterFactor);
    }
    car.Integrate(dt, car.angularVelocity);
    for (int i = 0; i < car.wheelCount; i++) {
        CarWheel &wheel = car.wheels[i];
        if (wheel.tyreHit)
            TakeProbeEnd(wheel.tyreProbe);
        if (wheel.sideHit != 0)
            TakeProbeEnd(wheel.sideProbe);
    }
    car.StepWheels(dt, true, gravity);
    for (int p = 0; p < car.pointCount; p++) {
        CollisionPoint &point = car.points[p];
        if (point.contactKind == 0)
            continue;
        for (int k = 0; k < 3; k++) {
            point.stepContact[k] = point.contact[k];
            point.stepNormal[k] = point.contactNormal[k];
        }
        point.stepGrip = point.grip;
    }
    car.ComputeContactForces(dt);
    ApplyForces(car, dt, gravity, aeroForce);
    car.engine.smoothedManifold = car.engine.manifold > 0.0f ? car.engine.manifold : 0.0f;
}

void CarObject::IntegrateTick(float dt, float gravity, const float aeroForce[3], const float aeroTorque[3],
                              PlayerSlot *slot) {
    if (singleStep) {
        SingleStep(*this, dt, gravity, aeroForce, aeroTorque);
        return;
    }
    const float h = 0.05f * dt;
    float fuelUsed = 0.0f;
    const float inc = (steerNext - steerPrev) * 0.05f;
    steerAngle = steerPrev;
    steerRate = inc / h;
    steerTorque = 0.0f;
    sideSteerTorque[0] = sideSteerTorque[1] = 0.0f;
    // Taken once: the crank axis turns with the body only by the little of
    // one tick.
    float crank[3];
    MatVec3(orientation, crankAxis, crank);

    for (int k = 0, r = SubSteps; r > 0; k++, r--)
        SubStep(*this, h, gravity, inc, crank, aeroForce, aeroTorque, k, r, &fuelUsed);

    if (slot != nullptr)
        AccumulateDamage(slot);
    fuel = fuel - fuelUsed > 0.0f ? fuel - fuelUsed : 0.0f;
    tickFuel = fuelUsed;
    engine.smoothedManifold = 0.95f * engine.smoothedManifold + 0.05f * engine.manifold;
    steerTorque = steerTorque * 0.05f;
    sideSteerTorque[0] *= 0.05f;
    sideSteerTorque[1] *= 0.05f;
}
