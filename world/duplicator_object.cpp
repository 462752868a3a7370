#include "world/duplicator_object.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/colour.h"
#include "core/data_stream.h"
#include "core/float_matrix.h"
#include "render/object_bounds.h"
#include "render/object_file.h"
#include "vehicle/collision_hull.h"
#include "vehicle/fix_convert.h"
#include "vehicle/movable_hull.h"
#include "vehicle/physics_world.h"
#include "vehicle/rigid_body.h"
#include "world/lathe_object.h"
#include "world/object_holder.h"
#include "world/world.h"
#include "world/world_messages.h"

namespace {

constexpr int32_t MinLatheSegments = 5;
constexpr int32_t LatheLastLevelMinimum = 3;
// Why a hull that was built still gives no body: the mass or the inertia
// of its faces cannot be used.
constexpr const char *NoUsableMass = ": No physics - No usable mass";
constexpr uint32_t AllParts = 0xFFFFFFFFu;

int32_t ScaledFix(int32_t value, float scale)
{
    return RoundToInt(static_cast<float>(value) * scale);
}

// m x v (rows first) in 16.16.
FixVector TurnToFix(const float m[9], const float v[3])
{
    FixVector out;
    int32_t *component[3] = {&out.x, &out.y, &out.z};
    for (int r = 0; r < 3; ++r) {
        *component[r] = MetresToFix(m[r * 3] * v[0] + m[r * 3 + 1] * v[1] + m[r * 3 + 2] * v[2]);
    }
    return out;
}

// a + b and a - b per component, wrapping like the bodies' own fixed-point
// sums instead of overflowing.
FixVector WrappedSum(const FixVector &a, const FixVector &b, int sign)
{
    auto one = [sign](int32_t x, int32_t y) {
        const uint32_t u = static_cast<uint32_t>(x);
        const uint32_t v = static_cast<uint32_t>(y);
        return static_cast<int32_t>(sign > 0 ? u + v : u - v);
    };
    return {one(a.x, b.x), one(a.y, b.y), one(a.z, b.z)};
}

} // namespace

DuplicatorObject::DuplicatorObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

void DuplicatorObject::Release()
{
    ClearDuplicator();
    // A copy without a duplicator may still hold a body handed to it.
    FreeBody();
    LitMeshObject::Release();
}

int DuplicatorObject::Read(DataStream *stream, int)
{
    if (stream->overrun || stream->Remaining() < DuplicatorRecordSize) {
        return 1;
    }
    heading = stream->ReadFloat();
    pitch = stream->ReadFloat();
    roll = stream->ReadFloat();
    height = stream->ReadFloat();
    flags = stream->ReadU32();
    const uint16_t index = static_cast<uint16_t>(stream->ReadU16());
    number = static_cast<uint8_t>(stream->ReadU8());
    markerWidth = static_cast<uint8_t>(stream->ReadU8());
    if (stream->overrun) {
        return 1;
    }
    if (!(flags & DuplicatorNone) && index != NoDuplicator) {
        const int count = CurrentWorld ? CurrentWorld->duplicatorCount : 0;
        if (index >= count) {
            return 1;
        }
        AssignDuplicator(index);
    }
    return 0;
}

void DuplicatorObject::GetPosition(int32_t position[3], float &outHeading) const
{
    WorldObject::GetPosition(position, outHeading);
    outHeading = heading;
}

void DuplicatorObject::SetPosition(const int32_t position[3], float newHeading)
{
    WorldObject::SetPosition(position, newHeading);
    heading = newHeading;
    ReleaseMeshForMove();
}

ObjectHolder *DuplicatorObject::GetHolder() const
{
    if (duplicator == NoDuplicator || !CurrentWorld || duplicator >= CurrentWorld->duplicatorCount) {
        return nullptr;
    }
    return &CurrentWorld->duplicators[duplicator];
}

void DuplicatorObject::AssignDuplicator(uint16_t index)
{
    duplicator = index;
    flags &= 0xFFFFu & ~DuplicatorNone;
    ReleaseDynamicMesh();
}

void DuplicatorObject::ClearDuplicator()
{
    if (duplicator == NoDuplicator) {
        return;
    }
    duplicator = NoDuplicator;
    Rebuild(1);
    FreeBody();
}

void DuplicatorObject::ReleaseMeshForMove()
{
    if (duplicator != NoDuplicator) {
        ReleaseDynamicMesh();
    }
}

void DuplicatorObject::PlacementTransform(float scale, FixTransform &out) const
{
    FixMatrix rotation;
    FixRotationZXY(rotation, AngleFromRadians(heading), AngleFromRadians(pitch), AngleFromRadians(roll));
    for (int32_t &element : rotation.m) {
        element = ScaledFix(element, scale);
    }
    const FixVector position = {positionX, positionY, MetresToFix(height)};
    out.Set(rotation, position);
}

void DuplicatorObject::Prepare()
{
    minX = maxX = positionX;
    minY = maxY = positionY;
    stateFlags |= 4;
    const ObjectHolder *holder = GetHolder();
    if (!holder) {
        radius = 0;
        centreX = positionX;
        centreY = positionY;
        centreZ = 0;
        return;
    }

    FixVector localCentre = {0, 0, 0};
    if (holder->kind == HolderObject3D && holder->object) {
        const Object3D *object = holder->object;
        int32_t objectRadius = 0;
        ComputeObjectBoundingSphere(object, localCentre, objectRadius);
        radius = std::max(ScaledFix(objectRadius, holder->scale), 0);
        const int32_t limit = std::min(radius, DuplicatorLevelRadiusCap) * 256;
        levelCount = static_cast<uint8_t>(object->lodCount);
        for (int i = 0; i < levelCount; ++i) {
            levels[i].maxDistance = std::min(object->lodDistances[i], limit);
        }
        if (levelCount > 0) {
            levels[levelCount - 1].maxDistance = limit;
        }
        distanceFlag = 1;
    } else if (holder->kind == HolderLathe && holder->lathe) {
        ObjectRecordList &lathe = *holder->lathe;
        lathe.segments = std::max(lathe.segments, MinLatheSegments);
        float latheRadius = 0.0f;
        if (lathe.count > 0) {
            float lowest = lathe.pairs[0].b;
            float highest = lathe.pairs[0].b;
            for (uint32_t i = 1; i < lathe.count; ++i) {
                lowest = std::min(lowest, lathe.pairs[i].b);
                highest = std::max(highest, lathe.pairs[i].b);
            }
            const float middle = (lowest + highest) / 2.0f;
            for (uint32_t i = 0; i < lathe.count; ++i) {
                const float r = lathe.pairs[i].a;
                const float h = lathe.pairs[i].b - middle;
                latheRadius = std::max(latheRadius, std::sqrt(r * r + h * h));
            }
            localCentre.z = MetresToFix(middle);
        }
        radius = std::max(MetresToFix(latheRadius * holder->scale), 0);
        const int32_t r = std::min(radius, DuplicatorLevelRadiusCap);
        const int32_t s = lathe.segments;
        int n = 0;
        levels[n].segments = static_cast<uint16_t>(s);
        levels[n].second = 1;
        levels[n++].maxDistance = r * 32;
        if (s / 2 > 4) {
            levels[n].segments = static_cast<uint16_t>(s / 2);
            levels[n].second = 0;
            levels[n++].maxDistance = r * 128;
        }
        levels[n].segments = static_cast<uint16_t>(std::max(s / 4, LatheLastLevelMinimum));
        levels[n].second = 0;
        levels[n++].maxDistance = r * 256;
        levelCount = static_cast<uint8_t>(n);
        distanceFlag = 0;
    } else {
        radius = 0;
    }

    FixTransform placement;
    PlacementTransform(holder->scale, placement);
    FixVector centre;
    placement.Apply(localCentre, centre);
    centreX = centre.x;
    centreY = centre.y;
    centreZ = centre.z;
}

void DuplicatorObject::CreateBody()
{
    const ObjectHolder *holder = GetHolder();
    if (!holder || (holder->movable != HolderMovable && holder->movable != HolderMovableDynamic)) {
        return;
    }
    FreeBody();
    RigidBody *made = new RigidBody(holder->movable == HolderMovableDynamic ? 1 : 0, 0, this);
    made->ClearGeometry();
    const char *reason = ": No physics - No points in lowest LOD";
    if (holder->kind == HolderObject3D && holder->object) {
        reason = BuildCollisionHull(holder->object, made, holder->scale, AllParts);
    } else if (holder->kind == HolderLathe && holder->lathe) {
        reason = BuildMovableObjectHull(*holder->lathe, holder->lathe->links, holder->lathe->linkCount, *made,
                                        holder->scale);
    }
    if (made->pointCount != 0) {
        made->stiffness = holder->stiffness;
        made->friction = holder->friction;
        made->damping = holder->damping;
        made->ComputeBounds();
        if (!made->ComputeMassFromPoints(holder->density)) {
            reason = NoUsableMass;
            made->FreeGeometry();
        }
    }
    if (made->pointCount == 0) {
        char line[128];
        snprintf(line, sizeof line, "%s %s", holder->GetName(), reason);
        WorldPrintMessage(line, ColourLightGrey);
        made->FreeGeometry();
        delete made;
        return;
    }

    float tilt[9];
    float turn[9];
    SetFloatRotationXY(tilt, pitch, roll);
    SetFloatRotationZ(turn, heading);
    MultiplyFloatMatrix(turn, tilt, made->orientation);
    for (int i = 0; i < 9; ++i) {
        made->predictedOrientation[i] = made->orientation[i];
    }
    made->position = {positionX, positionY, MetresToFix(height)};
    made->predictedPosition = made->position;
    made->ResetState();
    // The probes start where the points stand, measured from the centre of
    // mass, as a step would leave them: bodies about to touch this one test
    // them before its first step.
    const FixVector centre = TurnToFix(made->orientation, made->centreOfMass);
    for (int i = 0; i < made->pointCount; ++i) {
        ContactProbe &probe = made->points[i].probe;
        const FixVector q = TurnToFix(made->orientation, made->points[i].local);
        probe.endPoint = WrappedSum(made->position, q, 1);
        probe.segment = WrappedSum(q, centre, -1);
    }
    body = made;
}

void DuplicatorObject::FreeBody()
{
    if (!body) {
        return;
    }
    // A body still stepped by the physics world must not outlive its place there.
    if (CurrentPhysicsWorld) {
        CurrentPhysicsWorld->Remove(body);
    }
    body->FreeGeometry();
    delete body;
    body = nullptr;
}
