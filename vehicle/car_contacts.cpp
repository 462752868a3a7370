#include <cmath>
#include <cstring>

#include "core/fixed_math.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/surface_table.h"
#include "vehicle/tyre_grip.h"
#include "vehicle/world_query.h"
#include "vehicle/vector3.h"

namespace {

constexpr float FuelDensity = 0.74f;   // kg per litre

// Unreported counters: a statistic packet goes out above the first value;
// past the second (twice as much) the counter is dropped instead.
constexpr int32_t OdometerReport = 0x7FFFFFF;     // 2048 m in 16.16
constexpr int32_t OdometerDrop = 0xFFFFFFF;
constexpr int32_t FuelReport = 0xBFFFFF;          // 1.92 litres in 1/6553600 litre
constexpr int32_t FuelDrop = 0x17FFFFF;
constexpr uint8_t StatisticPacketId = 48;

// Sum of the three signed 64-bit products, shifted right arithmetically by 16.
int64_t FixDot64(const FixVector &a, const FixVector &b) {
    const uint64_t sum = static_cast<uint64_t>(static_cast<int64_t>(a.x) * b.x) +
                         static_cast<uint64_t>(static_cast<int64_t>(a.y) * b.y) +
                         static_cast<uint64_t>(static_cast<int64_t>(a.z) * b.z);
    return static_cast<int64_t>(sum) >> 16;
}

void Subtract3(float v[3], const float d[3]) {
    v[0] -= d[0];
    v[1] -= d[1];
    v[2] -= d[2];
}

// The car's lateral band across the path (0..7, the outer bands being the
// path's edges): the lane race progress keeps (0 until it has placed the car,
// so the body points are then always queried).
int LateralBand(const CarObject &car) {
    return car.progressWord;
}

// A hit of the probe made a contact: the new position relative to the car
// and the hit normal become current. With contact in the previous tick the
// old current values become the previous ones, else both ends take the new
// values so that nothing is blended across a tick without contact.
void TakeContact(WheelProbe &wheelProbe, const FixVector &position, bool wasInContact) {
    const ContactProbe &probe = wheelProbe.probe;
    if (wasInContact) {
        Copy3(wheelProbe.previousPosition, wheelProbe.currentPosition);
        Copy3(wheelProbe.previousNormal, wheelProbe.currentNormal);
    }
    wheelProbe.currentPosition[0] = FixToMetres(WrapSub(probe.hitPoint.x, position.x));
    wheelProbe.currentPosition[1] = FixToMetres(WrapSub(probe.hitPoint.y, position.y));
    wheelProbe.currentPosition[2] = FixToMetres(WrapSub(probe.hitPoint.z, position.z));
    Copy3(wheelProbe.currentNormal, probe.normal);
    if (!wasInContact) {
        Copy3(wheelProbe.previousPosition, wheelProbe.currentPosition);
        Copy3(wheelProbe.previousNormal, wheelProbe.currentNormal);
    }
}

int ClampIndex(int value, int count) {
    return value < 0 ? 0 : (value >= count ? count - 1 : value);
}

}  // namespace

void CarObject::SetPosition(const FixVector &p) {
    position = p;
    predictedPosition = p;
}

void CarObject::UpdateMassProperties() {
    const float fm = fuel * FuelDensity;
    const float total = dryMass + fm;
    if (!(total > 0.0f && std::isfinite(total)))
        return;
    const float *t = tankPosition;
    const float *h = tankHalfSize;

    float centre[3];
    for (int k = 0; k < 3; k++)
        centre[k] = (dryMass * dryCentreOfMass[k] + fm * t[k]) / total;

    // The working tensor about the car's origin, plus the fuel as a solid box.
    float tensor[9];
    std::memcpy(tensor, workingInertia, sizeof(tensor));
    tensor[0] += fm * (t[1] * t[1] + t[2] * t[2]) + (h[1] * h[1] + h[2] * h[2]) * fm / 3.0f;
    tensor[4] += fm * (t[0] * t[0] + t[2] * t[2]) + (h[0] * h[0] + h[2] * h[2]) * fm / 3.0f;
    tensor[8] += fm * (t[0] * t[0] + t[1] * t[1]) + (h[0] * h[0] + h[1] * h[1]) * fm / 3.0f;
    const float xy = fm * t[0] * t[1];
    const float xz = fm * t[0] * t[2];
    const float yz = fm * t[1] * t[2];
    tensor[1] -= xy;
    tensor[3] -= xy;
    tensor[2] -= xz;
    tensor[6] -= xz;
    tensor[5] -= yz;
    tensor[7] -= yz;

    // Moved to the centre of mass and inverted as the mass model does; a
    // tensor without a positive determinant leaves the car as it was.
    float shifted[9];
    ShiftInertiaToCentre(tensor, total, centre, shifted);
    float inverse[9];
    if (!InvertInertia(shifted, inverse))
        return;
    for (float value : inverse) {
        if (!std::isfinite(value))
            return;
    }

    mass = total;
    Copy3(centreOfMass, centre);
    std::memcpy(inertia, shifted, sizeof(inertia));
    std::memcpy(inverseInertia, inverse, sizeof(inverseInertia));

    // Where the sprung weight acts: the working intermediate mass (with the
    // occupants, without the wheels) and the fuel.
    const float sprungMass = passMasses[1] + fm;
    if (sprungMass > 0.0f && std::isfinite(sprungMass)) {
        for (int k = 0; k < 3; k++)
            sprungCentre[k] = (passMasses[1] * passCentres[1][k] + fm * t[k]) / sprungMass;
    }
}

void CarObject::PreStep(float dt) {
    if (!active)
        return;
    if (shapeRefreshPending != 0) {
        shapeRefreshPending = 0;
        RefreshShape();
    }
    if (!isRemote)
        UpdateMassProperties();
    RigidBody::PreStep(dt);

    // Negated before rounding (the same value for any orientation), so that
    // the INT32_MIN of a value off the scale is never negated.
    const FixVector down = {RoundToInt(-65536.0f * orientation[2]), RoundToInt(-65536.0f * orientation[5]),
                            RoundToInt(-65536.0f * orientation[8])};
    for (int w = 0; w < wheelCount; w++) {
        CarWheel &wheel = wheels[w];
        const RimData &axle = axles[wheel.axleIndex != 0 ? 1 : 0];
        FixVector c;
        FloatToFixPosition(orientation, wheel.centre, predictedPosition, c);

        float steer[9];
        SetFloatAxisRotation(steer, wheel.steerAxis[0], wheel.steerAxis[1], wheel.steerAxis[2], wheel.steerAngle);
        float offset[3];
        MatVec3(steer, wheel.contactOffset, offset);
        FixVector contact;
        FloatToFixPosition(orientation, offset, c, contact);
        const int64_t probeStart = axle.probeStart;
        ContactProbe &tyre = wheel.tyreProbe.probe;
        tyre.Clear();
        tyre.endPoint.x = WrapAdd(contact.x, static_cast<int32_t>((down.x * probeStart) >> 16));
        tyre.endPoint.y = WrapAdd(contact.y, static_cast<int32_t>((down.y * probeStart) >> 16));
        tyre.endPoint.z = WrapAdd(contact.z, static_cast<int32_t>((down.z * probeStart) >> 16));
        tyre.segment = down;

        if (wheel.side != 0.0f) {
            float a[3];
            MatVec3(orientation, wheel.axleDirection, a);
            const float reach = wheel.side * (0.5f * axle.treadWidth + axle.hubOffset);
            ContactProbe &sideProbe = wheel.sideProbe.probe;
            sideProbe.Clear();
            sideProbe.endPoint.x = WrapAdd(c.x, RoundToInt(65536.0f * (reach * a[0])));
            sideProbe.endPoint.y = WrapAdd(c.y, RoundToInt(65536.0f * (reach * a[1])));
            sideProbe.endPoint.z = WrapAdd(c.z, RoundToInt(65536.0f * (reach * a[2])));
            sideProbe.segment.x = RoundToInt(65536.0f * (wheel.side * a[0]));
            sideProbe.segment.y = RoundToInt(65536.0f * (wheel.side * a[1]));
            sideProbe.segment.z = RoundToInt(65536.0f * (wheel.side * a[2]));
        }
    }

    WorldQuery *world = LoadedWorldQuery();
    float air[3] = {0.0f, 0.0f, 0.0f};
    if (world != nullptr)
        world->GetWind(air);
    Copy3(wind, air);
    for (AeroSurface &surface : wings)
        Copy3(surface.wakeInflow, wind);

    if (ExtrapolatingRemoteCar != 0)
        return;
    wakeStrength = 0.0f;
    Copy3(wakeVelocity, velocity);
    const float rel[3] = {wind[0] - velocity[0], wind[1] - velocity[1], wind[2] - velocity[2]};
    const float square = rel[0] * rel[0] + rel[1] * rel[1] + rel[2] * rel[2];
    if (square < 0.0001f) {
        airDirection[0] = airDirection[1] = airDirection[2] = 0.0f;
        wake[0] = wake[1] = wake[2] = 0.0f;
        return;
    }
    const float length = std::sqrt(square);
    for (int k = 0; k < 3; k++)
        airDirection[k] = rel[k] / length;
    wake[0] = radius;
    wake[1] = length * 0.24f + radius;
    wake[2] = -radius;
}

void CarObject::CollideWithObject(WorldObject *object, uint8_t upper, uint8_t lowerFront, uint8_t lowerRear) {
    bool bodyPoints = true;
    bool wheelProbes = true;
    if (singleStep != 0) {
        const float upZ = orientation[8];
        const int band = LateralBand(*this);
        if (upZ < -0.7071f) {
            wheelProbes = false;
        } else if (upZ > 0.7071f && band >= 1 && band <= 6) {
            // On the path the hull is queried only where a wheel no longer
            // holds it up.
            bodyPoints = false;
            upper = 0;
            lowerFront = 0;
            lowerRear = 0;
            for (int w = 0; w < wheelCount; w++) {
                const CarWheel &wheel = wheels[w];
                if (wheel.springState != 3 && !(wheel.compression > wheel.maxTravel))
                    continue;
                bodyPoints = true;
                if (wheel.axleIndex == 0)
                    lowerRear = 1;
                else
                    lowerFront = 1;
            }
        }
    }
    if (bodyPoints)
        RigidBody::CollideWithObject(object, upper, lowerFront, lowerRear);
    WorldQuery *world = CurrentWorldQuery();
    if (!wheelProbes || world == nullptr)
        return;
    for (int w = 0; w < wheelCount; w++) {
        CarWheel &wheel = wheels[w];
        if (wheel.bumpBlend != 0) {
            const int64_t blend = static_cast<int64_t>(wheel.bumpBlend) - bumpStep;
            wheel.bumpBlend = blend > 0 ? static_cast<int32_t>(blend) : 0;
        }
        ContactProbe &tyre = wheel.tyreProbe.probe;
        const FixVector tyreEnd = tyre.endPoint;
        const FixVector tyreSegment = tyre.segment;
        world->Contact(object, tyreEnd, tyreSegment, tyre, &wheel.bumpSurface, &wheel.bumpBlend, &wheel.bumpHeight);
        if (bodyPoints && wheel.side != 0.0f) {
            ContactProbe &sideProbe = wheel.sideProbe.probe;
            const FixVector sideEnd = sideProbe.endPoint;
            const FixVector sideSegment = sideProbe.segment;
            world->Contact(object, sideEnd, sideSegment, sideProbe, nullptr, nullptr, nullptr);
        }
    }
}

void CarObject::CollideWithBody(RigidBody *other, const FixVector &separation) {
    RigidBody::CollideWithBody(other, separation);
    for (int w = 0; w < wheelCount; w++) {
        CarWheel &wheel = wheels[w];
        ContactProbe &tyre = wheel.tyreProbe.probe;
        if (!other->dynamic || tyre.fraction == 0) {
            const FixVector end = tyre.endPoint;
            const FixVector segment = tyre.segment;
            other->IntersectSegment(end, segment, tyre);
        }
        ContactProbe &sideProbe = wheel.sideProbe.probe;
        if (wheel.side != 0.0f && FixDot64(sideProbe.segment, separation) > 0) {
            const FixVector end = sideProbe.endPoint;
            const FixVector segment = sideProbe.segment;
            other->IntersectSegment(end, segment, sideProbe);
        }
    }
}

void CarObject::CollideWithGround() {
    RigidBody::CollideWithGround();
    for (int w = 0; w < wheelCount; w++) {
        CarWheel &wheel = wheels[w];
        ProbeGroundPlane(wheel.tyreProbe.probe);
        if (wheel.side != 0.0f)
            ProbeGroundPlane(wheel.sideProbe.probe);
    }
}

void CarObject::FinishContacts() {
    RigidBody::FinishContacts();
    WorldQuery *world = CurrentWorldQuery();
    for (int w = 0; w < wheelCount; w++) {
        CarWheel &wheel = wheels[w];
        const ContactProbe &tyre = wheel.tyreProbe.probe;
        if (tyre.fraction > 0) {
            int kind = NoSurfaceKind;
            if (tyre.surface != nullptr && world != nullptr)
                kind = ClampIndex(world->GetSurfaceKind(tyre.surface), SurfaceKindCount);
            wheel.surfaceType = static_cast<uint32_t>(kind);
            TakeContact(wheel.tyreProbe, position, wheel.inContact != 0);
            const RimData &axle = axles[wheel.axleIndex != 0 ? 1 : 0];
            wheel.tyreProbe.previousSurface = wheel.tyreProbe.currentSurface;
            wheel.tyreProbe.currentSurface = TyreSurfaceGrip[ClampIndex(axle.tyreType, TyreTypeCount)][kind];
            wheel.tyreHit = 1;
        } else {
            wheel.tyreHit = 0;
        }

        const ContactProbe &sideProbe = wheel.sideProbe.probe;
        if (wheel.side != 0.0f && sideProbe.fraction > 0) {
            TakeContact(wheel.sideProbe, position, wheel.sideInContact != 0);
            wheel.sideProbe.previousSurface = wheel.sideProbe.currentSurface;
            wheel.sideProbe.currentSurface = 1.0f;
            if (sideProbe.otherBody != nullptr) {
                if (sideProbe.otherBody->dynamic)
                    sideProbe.otherBody->touched = 1;
                wheel.sideHit = 1;
            } else if (sideProbe.surface != nullptr) {
                const int flag = world != nullptr ? (world->GetSurfaceFlagBit0(sideProbe.surface) & 1) : 0;
                wheel.sideHit = static_cast<uint8_t>(1 + flag);
            } else {
                wheel.sideHit = 1;
            }
        } else {
            wheel.sideHit = 0;
        }
    }
}

void CarObject::PostStep() {
    if (announcePending != 0)
        return;
    const float d = std::sqrt(stepOffset[0] * stepOffset[0] + stepOffset[1] * stepOffset[1] +
                              stepOffset[2] * stepOffset[2]);
    bumpStep = RoundToInt(d * 65536.0f);
    speedStep = d * 100.0f;

    if (!isRemote) {
        if (timingArmed == 0)
            lapDistance += d;
        odometer = WrapAdd(odometer, RoundToInt(d * 65536.0f));
        fuelUsed = WrapAdd(fuelUsed, RoundToInt(tickFuel * 6553600.0f));
    }

    if (odometer > OdometerReport || fuelUsed > FuelReport) {
        if (odometer > OdometerDrop)
            odometer = 0;
        if (fuelUsed > FuelDrop)
            fuelUsed = 0;
        const int32_t litres = fuelUsed < 0 ? 0 : (fuelUsed >> 16 < 192 ? fuelUsed >> 16 : 192);
        const int32_t metres = odometer < 0 ? 0 : (odometer >> 16 < 2048 ? odometer >> 16 : 2048);
        const uint8_t packet[4] = {StatisticPacketId, static_cast<uint8_t>(litres), static_cast<uint8_t>(metres & 0xFF),
                                   static_cast<uint8_t>(metres >> 8)};
        fuelUsed -= litres * 65536;
        odometer -= metres * 65536;
        // A car in a remote player's slot is a remote car here: its own
        // program reports its statistics.
        if (RaceIsOnline() && !RaceIsReplayPlayback() && FindCarSlot(this) != nullptr && !isRemote) {
            statisticSent = 1;
            RaceSendReliableToHost(packet, sizeof(packet));
        }
    }

    RigidBody::PostStep();

    for (int w = 0; w < wheelCount; w++) {
        CarWheel &wheel = wheels[w];
        Subtract3(wheel.lastReferencePoint, stepOffset);
        Subtract3(wheel.contactPoint, stepOffset);
        Subtract3(wheel.dragAnchor, stepOffset);
        Subtract3(wheel.tyreProbe.currentPosition, stepOffset);
        Subtract3(wheel.sideAnchor, stepOffset);
        Subtract3(wheel.sideProbe.currentPosition, stepOffset);
    }
}
