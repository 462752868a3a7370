// Damage: dents from hard body contacts, kept as deformation records, and
// the physics shape (wheel mounts, collision points) rebuilt from them.
#include "vehicle/car_damage.h"

#include <cmath>

#include "core/float_matrix.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/collision_hull.h"
#include "vehicle/vector3.h"

// Byte 0 of a record names the collision point.
static_assert(MaxCollisionHullPoints <= 256, "a damage record names its point in one byte");

namespace {

constexpr float DirectionScale = 30720.0f;
constexpr float InverseDirectionScale = 1.0f / 30720.0f;
// A dent pushes a point at most this share of its distance from the centre
// of mass away from its undamaged place.
constexpr float DentLimitShare = 0.12f;
// Contacts no harder than the car's weight leave no dent.
constexpr float DentGravity = 9.81f;

int PackComponent(float c) {
    if (!std::isfinite(c))
        return 0;
    if (c > 1.0f)
        c = 1.0f;
    if (c < -1.0f)
        c = -1.0f;
    const int16_t word = static_cast<int16_t>(std::lround(c * DirectionScale));
    return word >> 11;  // arithmetic: -0.5 gives -8, +0.5 gives 7
}

float UnpackComponent(uint16_t fiveBitsAtTop) {
    const int16_t word = static_cast<int16_t>(fiveBitsAtTop & 0xF800u);
    return static_cast<float>(word) * InverseDirectionScale;
}

float Length3(const float v[3]) {
    return std::sqrt(Dot3(v, v));
}

}  // namespace

uint16_t PackDamageDirection(const float direction[3]) {
    const unsigned x = static_cast<unsigned>(PackComponent(direction[0])) & 31u;
    const unsigned y = static_cast<unsigned>(PackComponent(direction[1])) & 31u;
    const unsigned z = static_cast<unsigned>(PackComponent(direction[2])) & 31u;
    return static_cast<uint16_t>(x << 11 | y << 6 | z << 1);
}

void UnpackDamageDirection(uint16_t packed, float direction[3]) {
    direction[0] = UnpackComponent(packed);
    direction[1] = UnpackComponent(static_cast<uint16_t>(packed << 5));
    direction[2] = UnpackComponent(static_cast<uint16_t>(packed << 10));
}

int CarObject::AddDamageRecord(const uint8_t record[4]) {
    if (damageCount < 0)
        damageCount = 0;
    if (damageCount < CarDamageRecords) {
        for (int k = 0; k < 4; k++)
            damageRecords[damageCount][k] = record[k];
        damageCount++;
        return 1;
    }
    damageCount = CarDamageRecords;
    int weakest = 0;
    for (int i = 1; i < CarDamageRecords; i++) {
        if (damageRecords[i][1] < damageRecords[weakest][1])
            weakest = i;
    }
    if (record[1] <= damageRecords[weakest][1])
        return 0;
    for (int i = weakest; i < CarDamageRecords - 1; i++) {
        for (int k = 0; k < 4; k++)
            damageRecords[i][k] = damageRecords[i + 1][k];
    }
    for (int k = 0; k < 4; k++)
        damageRecords[CarDamageRecords - 1][k] = record[k];
    return 1;
}

// Every collision point whose push has grown and stopped growing (phase 2)
// is handled once (phase 3); a push harder than the car's weight leaves a
// dent of the contact depth, shared with a softer body and limited so that
// no point strays far from its undamaged place.
void CarObject::AccumulateDamage(PlayerSlot *slot) {
    const float h = 0.5f * wheelbase;
    // A car without axles has no scale for the magnitude: no dents.
    const bool canDent = h > 0.0f && std::isfinite(h);
    const float weight = DentGravity * dryMass;
    float inverse[9];
    bool haveInverse = false;
    bool stored = false;
    for (int i = 0; i < pointCount; i++) {
        CollisionPoint &point = points[i];
        if (point.phase != 2)
            continue;
        point.phase = 3;
        if (!canDent || !(Dot3(point.force, point.stepNormal) > weight))
            continue;

        float d = point.lastDepth;
        if (!(d > 0.0f))
            d = 0.0f;
        if (d > h)
            d = h;
        const RigidBody *other = point.probe.otherBody;
        if (other != nullptr) {
            const float both = stiffness + other->stiffness;
            if (both > 0.0f)
                d *= other->stiffness / both;
        }

        if (!haveInverse) {
            InvertFloatMatrix(inverse, orientation);
            haveInverse = true;
        }
        float n[3];
        MatVec3(inverse, point.stepNormal, n);

        if (savedPoints != nullptr && i < hullPointCount) {
            const float *p = savedPoints[i];
            const float fromCentre[3] = {p[0] - dryCentreOfMass[0], p[1] - dryCentreOfMass[1],
                                         p[2] - dryCentreOfMass[2]};
            const float r0 = Length3(fromCentre);
            const float moved[3] = {point.local[0] + d * n[0] - p[0], point.local[1] + d * n[1] - p[1],
                                    point.local[2] + d * n[2] - p[2]};
            const float e = Length3(moved) - DentLimitShare * r0;
            if (e > 0.0f) {
                d -= e;
                if (!(d > 0.0f))
                    d = 0.0f;
                if (d > h)
                    d = h;
            }
        }

        const long m = std::lround(d * 255.0f / h);
        if (m <= 0)
            continue;
        const uint16_t packed = PackDamageDirection(n);
        const uint8_t record[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(m > 255 ? 255 : m),
                                   static_cast<uint8_t>(packed & 0xFF), static_cast<uint8_t>(packed >> 8)};
        if (AddDamageRecord(record) == 0)
            continue;
        stored = true;
        if (RaceIsOnline() && RaceIsStartAllowed()) {
            const uint8_t id = slot != nullptr && RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
            const uint8_t packet[CarDamagePacketSize] = {CarDamagePacketId, id, 0, 0,
                                                         record[0], record[1], record[2], record[3]};
            RaceQueueGamePacket(packet, CarDamagePacketSize);
        }
    }
    if (stored)
        RefreshShape();
}

void CarObject::RestoreShape(int withMeshes) {
    for (int i = 0; i < wheelCount && wheels != nullptr; i++)
        Copy3(wheels[i].position, wheels[i].restPosition);
    if (savedPoints != nullptr) {
        const int n = pointCount < hullPointCount ? pointCount : hullPointCount;
        for (int i = 0; i < n; i++)
            Copy3(points[i].local, savedPoints[i]);
    }
    // The saved vertices and part positions come back once the scene keeps
    // the car's meshes.
    (void)withMeshes;
}

// Each record in order pushes its collision point by the dent and drags the
// wheel mounts within half a wheelbase of it along, less with distance and
// with their height above the dent along its direction.
void CarObject::ApplyDamageToMeshes() {
    const float h = 0.5f * wheelbase;
    if (!(h > 0.0f) || !std::isfinite(h))
        return;
    const float h2 = h * h;
    const float d0 = 0.333f * h;
    const int count = damageCount < 0 ? 0 : (damageCount > CarDamageRecords ? CarDamageRecords : damageCount);
    for (int r = 0; r < count; r++) {
        const uint8_t *record = damageRecords[r];
        // Received records are checked on arrival; this keeps the write
        // safe whatever reaches it.
        if (record[0] >= pointCount)
            continue;
        float *p = points[record[0]].local;
        float n[3];
        UnpackDamageDirection(static_cast<uint16_t>(record[2] | record[3] << 8), n);
        const float m = static_cast<float>(record[1]) / 255.0f * h;

        for (int i = 0; i < wheelCount && wheels != nullptr; i++) {
            float *w = wheels[i].position;
            const float v[3] = {w[0] - p[0], w[1] - p[1], w[2] - p[2]};
            const float s = Dot3(v, n);
            const float dist2 = Dot3(v, v);
            if (!(s < d0 && dist2 < h2))
                continue;
            const float f = s >= 0.0f ? 1.0f - s / d0 : 1.0f;
            const float amount = (1.0f - dist2 / h2) * f * m;
            for (int k = 0; k < 3; k++)
                w[k] += n[k] * amount;
        }
        for (int k = 0; k < 3; k++)
            p[k] += n[k] * m;
    }
}

// The shape rebuild after stored dents or a received record: release the
// material textures (none are made yet), restore the undamaged shape and
// apply every record again.
void CarObject::RefreshShape() {
    RestoreShape(1);
    ApplyDamageToMeshes();
}
