#include "vehicle/rigid_body.h"

#include <cmath>
#include <cstring>

#include "core/float_matrix.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/world_query.h"
#include "vehicle/vector3.h"

namespace {

// Candidate lists of one query hold at most this many objects; further ones
// are dropped.
constexpr int MaxCandidates = 64;

// Squared speed below which a movable object comes to rest (0.02 m/s).
constexpr float RestSpeedSquared = 0.0004f;

// The 16.16 dot rule: signed 64-bit products summed (wrapping), shifted right
// arithmetically by 16, the low 32 bits kept.
int32_t FixDot(const FixVector &a, const FixVector &b) {
    const uint64_t sum = static_cast<uint64_t>(static_cast<int64_t>(a.x) * b.x) +
                         static_cast<uint64_t>(static_cast<int64_t>(a.y) * b.y) +
                         static_cast<uint64_t>(static_cast<int64_t>(a.z) * b.z);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(sum) >> 16)));
}

// One component of a 16.16 cross product: (a1 b2 - a2 b1) >> 16, low 32 bits.
int32_t FixCrossPart(int32_t a1, int32_t b2, int32_t a2, int32_t b1) {
    const uint64_t diff = static_cast<uint64_t>(static_cast<int64_t>(a1) * b2) -
                          static_cast<uint64_t>(static_cast<int64_t>(a2) * b1);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(diff) >> 16)));
}

FixVector FixSub(const FixVector &a, const FixVector &b) {
    return {WrapSub(a.x, b.x), WrapSub(a.y, b.y), WrapSub(a.z, b.z)};
}

FixVector FixAdd(const FixVector &a, const FixVector &b) {
    return {WrapAdd(a.x, b.x), WrapAdd(a.y, b.y), WrapAdd(a.z, b.z)};
}

// Float metres to 16.16, per axis.
FixVector ToFix(const float v[3]) {
    return {MetresToFix(v[0]), MetresToFix(v[1]), MetresToFix(v[2])};
}

// transpose(m) x v.
// Angular velocity in the world frame: orientation x inverseInertia x
// transpose(orientation) x angularMomentum.
void AngularVelocity(const float orientation[9], const float inverseInertia[9], const float momentum[3],
                     float out[3]) {
    float local[3];
    MatTVec3(orientation, momentum, local);
    float turned[3];
    MatVec3(inverseInertia, local, turned);
    MatVec3(orientation, turned, out);
}

// Appends object to list unless it is already there or the list is full.
template <typename T>
void AddCandidate(T *list[], int &count, T *object) {
    for (int i = 0; i < count; i++) {
        if (list[i] == object)
            return;
    }
    if (count < MaxCandidates)
        list[count++] = object;
}

// Whether the open square centre +/- r overlaps the box (minX..maxX, minY..maxY).
bool SquareOverlaps(int32_t x, int32_t y, int32_t r, int64_t minX, int64_t maxX, int64_t minY, int64_t maxY) {
    const int64_t cx = x;
    const int64_t cy = y;
    const int64_t rr = r;
    return cx + rr > minX && cx - rr < maxX && cy + rr > minY && cy - rr < maxY;
}

}  // namespace

void CollisionPoint::Clear() {
    Zero3(force);
    Zero3(anchor);
    lastDepth = 0.0f;
    phase = 0;
    sliding = 0;
    contactKind = 0;
    probe.Clear();
    Zero3(previousContact);
    Zero3(contact);
    Zero3(stepContact);
    previousGrip = 0.0f;
    grip = 0.0f;
    stepGrip = 0.0f;
    Zero3(previousNormal);
    Zero3(contactNormal);
    Zero3(stepNormal);
}

RigidBody::RigidBody(uint8_t dynamic_, uint8_t moving_, DuplicatorObject *owner_)
    : dynamic(dynamic_), moving(moving_), touched(0), active(0), settleCount(0), radius(0.0f), mass(0.0f),
      maxY(0.0f), minY(0.0f), maxX(0.0f), minX(0.0f), maxZ(0.0f), centreOfMass{}, inertia{}, inverseInertia{},
      position{0, 0, 0}, orientation{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}, stepOffset{},
      velocity{}, angularMomentum{}, predictedPosition{0, 0, 0},
      predictedOrientation{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}, force{}, torque{}, impulse{},
      angularImpulse{}, stiffness(0.0f), friction(0.0f), damping(0.0f), pointCount(0), points(nullptr),
      faceCount(0), faces(nullptr), owner(owner_) {
}

int RigidBody::GetType() const {
    return 0;
}

void RigidBody::CollideWithObject(WorldObject *object, uint8_t upper, uint8_t lowerFront, uint8_t lowerRear) {
    WorldQuery *world = CurrentWorldQuery();
    if (world == nullptr)
        return;
    for (int i = 0; i < pointCount; i++) {
        CollisionPoint &point = points[i];
        uint8_t flag;
        if (point.local[2] > centreOfMass[2])
            flag = upper;
        else
            flag = point.local[1] > 0.0f ? lowerFront : lowerRear;
        if (flag == 0)
            continue;
        const FixVector endPoint = point.probe.endPoint;
        const FixVector segment = point.probe.segment;
        world->Contact(object, endPoint, segment, point.probe, nullptr, nullptr, nullptr);
    }
}

void RigidBody::CollideWithBody(RigidBody *other, const FixVector &separation) {
    for (int i = 0; i < pointCount; i++) {
        ContactProbe &probe = points[i].probe;
        if (FixDot(probe.segment, separation) > 0) {
            const FixVector endPoint = probe.endPoint;
            const FixVector segment = probe.segment;
            other->IntersectSegment(endPoint, segment, probe);
        }
    }
}

void RigidBody::CollideWithGround() {
    for (int i = 0; i < pointCount; i++)
        ProbeGroundPlane(points[i].probe);
}

void RigidBody::FinishContacts() {
    WorldQuery *world = CurrentWorldQuery();
    int wallContacts = 0;
    for (int i = 0; i < pointCount; i++) {
        CollisionPoint &point = points[i];
        const ContactProbe &probe = point.probe;
        if (probe.fraction < 1) {
            point.contactKind = 0;
            continue;
        }
        if (point.phase != 0) {
            Copy3(point.previousContact, point.contact);
            Copy3(point.previousNormal, point.contactNormal);
        }
        point.contact[0] = FixToMetres(WrapSub(probe.hitPoint.x, position.x));
        point.contact[1] = FixToMetres(WrapSub(probe.hitPoint.y, position.y));
        point.contact[2] = FixToMetres(WrapSub(probe.hitPoint.z, position.z));
        Copy3(point.contactNormal, probe.normal);
        if (point.phase == 0) {
            Copy3(point.previousContact, point.contact);
            Copy3(point.previousNormal, point.contactNormal);
        }
        point.previousGrip = point.grip;
        point.grip = 1.0f;

        RigidBody *other = probe.otherBody;
        if (other != nullptr && (moving || other->moving)) {
            if (dynamic)
                touched = 1;
            if (other->dynamic) {
                CarObject *lessonCar = RaceLessonContactCar();
                if (CollidingCar != nullptr && lessonCar != nullptr && other->GetType() == 1 &&
                    (other == lessonCar || CollidingCar == lessonCar))
                    RaceReportCarContact();
                other->touched = 1;
            }
            point.contactKind = 1;
        } else if (probe.surface != nullptr) {
            int flag = 0;
            int kind = 0;
            if (world != nullptr) {
                flag = world->GetSurfaceFlagBit0(probe.surface) & 1;
                kind = world->GetSurfaceKind(probe.surface);
            }
            point.contactKind = static_cast<uint8_t>(1 + flag);
            if (kind == 6 || kind == 10 || kind == 11)
                wallContacts++;
        } else {
            point.contactKind = 1;
        }
    }
    if (wallContacts >= 3 && RaceHotLapMode() != 0)
        RaceInvalidateHotLap(1);
}

void RigidBody::Step(float dt, float gravity) {
    const float h = 0.05f * dt;
    float wind[3] = {0.0f, 0.0f, 0.0f};
    WorldQuery *world = LoadedWorldQuery();
    if (world != nullptr)
        world->GetWind(wind);
    float drag[3];
    {
        const float air[3] = {velocity[0] - wind[0], velocity[1] - wind[1], velocity[2] - wind[2]};
        const float airSpeed = std::sqrt(Dot3(air, air));
        for (int k = 0; k < 3; k++)
            drag[k] = -airSpeed * air[k];
    }

    for (int i = 0; i < 20; i++) {
        const float wr = static_cast<float>(20 - i) / 20.0f;
        const float we = static_cast<float>(i) / 20.0f;
        if (moving) {
            float w[3];
            Integrate(h, w);
        }
        for (int p = 0; p < pointCount; p++) {
            CollisionPoint &point = points[p];
            if (point.contactKind == 0)
                continue;
            for (int k = 0; k < 3; k++) {
                point.stepNormal[k] = wr * point.previousNormal[k] + we * point.contactNormal[k];
                point.stepContact[k] = wr * point.previousContact[k] + we * point.contact[k];
            }
            point.stepGrip = wr * point.previousGrip + we * point.grip;
        }
        ComputeContactForces(h);
        if (!moving && !touched)
            continue;

        float f[3] = {drag[0], drag[1], drag[2]};
        float t[3] = {0.0f, 0.0f, 0.0f};
        for (int p = 0; p < pointCount; p++) {
            const CollisionPoint &point = points[p];
            if (point.phase == 0)
                continue;
            for (int k = 0; k < 3; k++)
                f[k] += point.force[k];
            const float arm[3] = {point.anchor[0] - stepOffset[0], point.anchor[1] - stepOffset[1],
                                  point.anchor[2] - stepOffset[2]};
            float turn[3];
            Cross3(arm, point.force, turn);
            for (int k = 0; k < 3; k++)
                t[k] += turn[k];
        }
        const float weight = gravity * mass;
        f[2] += weight;
        float c[3];
        MatVec3(orientation, centreOfMass, c);
        {
            const float down[3] = {0.0f, 0.0f, weight};
            float turn[3];
            Cross3(c, down, turn);
            for (int k = 0; k < 3; k++)
                t[k] += turn[k];
        }
        for (int k = 0; k < 3; k++)
            velocity[k] += f[k] * h / mass;
        float cf[3];
        Cross3(c, f, cf);
        for (int k = 0; k < 3; k++)
            angularMomentum[k] += (t[k] - cf[k]) * h;
    }

    if (owner == nullptr) {
        if (moving)
            PostStep();
        return;
    }

    // A movable track object: it stops below 0.02 m/s and is knocked above it.
    WorldQuery *current = CurrentWorldQuery();
    const float s = Dot3(velocity, velocity);
    if (moving && s <= RestSpeedSquared) {
        std::memcpy(predictedOrientation, orientation, sizeof(orientation));
        moving = 0;
        if (current != nullptr)
            current->GridAddObject(owner);
    } else if (!moving && s > RestSpeedSquared) {
        moving = 1;
        if (current != nullptr && current->IsStartOverride())
            RaceReportObjectHit(position, radius);
        if (RaceHotLapMode() != 0)
            RaceInvalidateHotLap(2);
        if (current != nullptr) {
            current->SetKnocked(owner, 1);
            current->GridRemoveObject(owner);
        }
    }
    if (moving) {
        PostStep();
        return;
    }
    // At rest (also when it has just stopped: its last stepOffset is not folded).
    Zero3(velocity);
    Zero3(angularMomentum);
    Zero3(impulse);
    Zero3(angularImpulse);
}

void RigidBody::PreStep(float dt) {
    if (!moving && !touched) {
        for (int i = 0; i < pointCount; i++) {
            points[i].probe.surface = nullptr;
            points[i].probe.otherBody = nullptr;
        }
        return;
    }
    touched = 0;
    if (moving && LoadedWorldQuery() != nullptr)
        CollideWithObstacles(dt);

    // Momentum handed over by other bodies' contacts and by obstacles.
    {
        float c[3];
        MatVec3(orientation, centreOfMass, c);
        for (int k = 0; k < 3; k++)
            velocity[k] += impulse[k] / mass;
        float ci[3];
        Cross3(c, impulse, ci);
        for (int k = 0; k < 3; k++)
            angularMomentum[k] += angularImpulse[k] - ci[k];
        Zero3(impulse);
        Zero3(angularImpulse);
    }

    predictedPosition.x = WrapAdd(position.x, RoundToInt(65536.0f * dt * velocity[0]));
    predictedPosition.y = WrapAdd(position.y, RoundToInt(65536.0f * dt * velocity[1]));
    predictedPosition.z = WrapAdd(position.z, RoundToInt(65536.0f * dt * velocity[2]));

    float w[3];
    AngularVelocity(orientation, inverseInertia, angularMomentum, w);
    const float wLength = std::sqrt(Dot3(w, w));
    const float theta = wLength * dt;
    if (theta <= 1e-5f) {
        std::memcpy(predictedOrientation, orientation, sizeof(orientation));
    } else {
        float turn[9];
        SetFloatAxisRotation(turn, w[0] / wLength, w[1] / wLength, w[2] / wLength, theta);
        MultiplyFloatMatrix(turn, orientation, predictedOrientation);
        float oldCentre[3], newCentre[3];
        MatVec3(orientation, centreOfMass, oldCentre);
        MatVec3(predictedOrientation, centreOfMass, newCentre);
        const float shift[3] = {oldCentre[0] - newCentre[0], oldCentre[1] - newCentre[1],
                                oldCentre[2] - newCentre[2]};
        predictedPosition = FixAdd(predictedPosition, ToFix(shift));
    }

    float centre[3];
    MatVec3(predictedOrientation, centreOfMass, centre);
    const FixVector cp = ToFix(centre);
    Zero3(stepOffset);

    for (int i = 0; i < pointCount; i++) {
        CollisionPoint &point = points[i];
        float q[3];
        MatVec3(predictedOrientation, point.local, q);
        const FixVector qf = ToFix(q);
        point.probe.Clear();
        point.probe.endPoint = FixAdd(predictedPosition, qf);
        point.probe.segment = FixSub(qf, cp);
    }
    for (int i = 0; i < faceCount; i++)
        MatVec3(predictedOrientation, faces[i].localNormal, faces[i].worldNormal);
}

// Round obstacles (trees, posts): pushes the body out of the circles of the
// objects with a reach radius near it. Probes the hull as the previous
// tick's prediction left it.
void RigidBody::CollideWithObstacles(float dt) {
    WorldQuery *world = LoadedWorldQuery();
    const int32_t r = MetresToFix(radius);
    int i0, i1, j0, j1;
    if (!world->GetGridRange(i0, i1, j0, j1, position.x, position.y, r))
        return;
    WorldObject *obstacles[MaxCandidates];
    int count = 0;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            const WorldObjectList list = world->GetRadiusList(i, j);
            for (int n = 0; n < list.count; n++) {
                WorldObject *object = list.objects[n];
                int32_t ox, oy;
                world->GetPosition(object, ox, oy);
                const int64_t b = static_cast<int64_t>(world->GetReachRadius(object)) * 655;
                if (SquareOverlaps(position.x, position.y, r, ox - b, ox + b, oy - b, oy + b))
                    AddCandidate(obstacles, count, object);
            }
        }
    }

    float c0[3];
    MatVec3(orientation, centreOfMass, c0);
    const FixVector c = FixAdd(position, ToFix(c0));
    for (int n = 0; n < count; n++) {
        WorldObject *object = obstacles[n];
        int32_t ox, oy;
        world->GetPosition(object, ox, oy);
        const float h = static_cast<float>(world->GetReachRadius(object)) * 0.01f;
        const float reach = h + radius;
        const float d[2] = {FixToMetres(WrapSub(c.x, ox)), FixToMetres(WrapSub(c.y, oy))};
        const float d2 = d[0] * d[0] + d[1] * d[1];
        if (!(d2 > 0.0001f))
            continue;
        const float dLength = std::sqrt(d2);
        const float u[3] = {d[0] / dLength, d[1] / dLength, 0.0f};

        ContactProbe scratch;
        scratch.Clear();
        const FixVector segment = {MetresToFix(reach * u[0]), MetresToFix(reach * u[1]), 0};
        IntersectSegment(c, segment, scratch);
        if (scratch.fraction == 0)
            continue;
        const float ext = FixToMetres(scratch.fraction) * reach;
        const float *n3 = scratch.normal;
        const float cosine = n3[0] * u[0] + n3[1] * u[1];
        if (cosine >= 0.0f)
            continue;
        const float minusCos = -cosine;
        const float depth = h / (minusCos > 0.5f ? minusCos : 0.5f) + ext - dLength;
        if (depth <= 0.0f)
            continue;
        const float approach = u[0] * velocity[0] + u[1] * velocity[1];
        float j[3];
        for (int k = 0; k < 3; k++)
            j[k] = stiffness * depth * dt * n3[k] + damping * approach * dt * u[k];
        const float arm[3] = {FixToMetres(WrapSub(scratch.hitPoint.x, position.x)),
                              FixToMetres(WrapSub(scratch.hitPoint.y, position.y)),
                              FixToMetres(WrapSub(scratch.hitPoint.z, position.z))};
        float turn[3];
        Cross3(arm, j, turn);
        for (int k = 0; k < 3; k++) {
            impulse[k] -= j[k];
            angularImpulse[k] -= turn[k];
        }
    }
}

void RigidBody::PostStep() {
    position.x = WrapAdd(position.x, RoundToInt(stepOffset[0] * 65536.0f));
    position.y = WrapAdd(position.y, RoundToInt(stepOffset[1] * 65536.0f));
    position.z = WrapAdd(position.z, RoundToInt(stepOffset[2] * 65536.0f));
    for (int i = 0; i < pointCount; i++) {
        for (int k = 0; k < 3; k++) {
            points[i].anchor[k] -= stepOffset[k];
            points[i].contact[k] -= stepOffset[k];
        }
    }
}

void RigidBody::ResetState() {
    touched = 0;
    active = 1;
    settleCount = 0;
    Zero3(velocity);
    Zero3(angularMomentum);
    Zero3(force);
    Zero3(torque);
    Zero3(impulse);
    Zero3(angularImpulse);
    Zero3(stepOffset);
    for (int i = 0; i < pointCount; i++)
        points[i].Clear();
    for (int i = 0; i < faceCount; i++)
        MatVec3(orientation, faces[i].localNormal, faces[i].worldNormal);
}

void RigidBody::ComputeBounds() {
    maxY = 0.0f;
    minY = 0.0f;
    maxX = 0.0f;
    minX = 0.0f;
    maxZ = 0.0f;
    for (int i = 0; i < pointCount; i++) {
        const float *p = points[i].local;
        if (p[1] > maxY)
            maxY = p[1];
        if (p[1] < minY)
            minY = p[1];
        if (p[0] > maxX)
            maxX = p[0];
        if (p[0] < minX)
            minX = p[0];
        if (p[2] > maxZ)
            maxZ = p[2];
    }
}

int RigidBody::ComputeMassFromPoints(float density) {
    float totalMass = 0.0f;
    float centre[3] = {0.0f, 0.0f, 0.0f};
    for (int f = 0; f < faceCount; f++) {
        const CollisionFace &face = faces[f];
        const float *a = face.corners[0]->local;
        const float *b = face.corners[1]->local;
        const float *c = face.corners[2]->local;
        const float ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float ac[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        float n[3];
        Cross3(ab, ac, n);
        const float area = std::sqrt(Dot3(n, n)) / 2.0f;
        const float m = area * density;
        totalMass += m;
        for (int k = 0; k < 3; k++)
            centre[k] += m * ((a[k] + b[k] + c[k]) / 3.0f);
    }
    if (!(totalMass > 0.0f && std::isfinite(totalMass)))
        return 0;
    for (int k = 0; k < 3; k++)
        centre[k] /= totalMass;

    float tensor[9] = {};
    for (int f = 0; f < faceCount; f++) {
        const CollisionFace &face = faces[f];
        const float *corner[3] = {face.corners[0]->local, face.corners[1]->local, face.corners[2]->local};
        const float ab[3] = {corner[1][0] - corner[0][0], corner[1][1] - corner[0][1], corner[1][2] - corner[0][2]};
        const float ac[3] = {corner[2][0] - corner[0][0], corner[2][1] - corner[0][1], corner[2][2] - corner[0][2]};
        float n[3];
        Cross3(ab, ac, n);
        const float area = std::sqrt(Dot3(n, n)) / 2.0f;
        const float m = area * density;
        float g[3];
        for (int k = 0; k < 3; k++)
            g[k] = (corner[0][k] + corner[1][k] + corner[2][k]) / 3.0f;

        // The face's mass at its centroid.
        const float g2 = Dot3(g, g);
        for (int a = 0; a < 3; a++) {
            for (int b = 0; b < 3; b++)
                tensor[a * 3 + b] += m * ((a == b ? g2 : 0.0f) - g[a] * g[b]);
        }

        // Spread of a uniform lamina about its centroid.
        float d[3][3];
        for (int k = 0; k < 3; k++) {
            for (int a = 0; a < 3; a++)
                d[k][a] = corner[k][a] - g[a];
        }
        float s[9];
        for (int a = 0; a < 3; a++) {
            for (int b = 0; b < 3; b++) {
                float same = 0.0f;
                float cross = 0.0f;
                for (int k = 0; k < 3; k++) {
                    for (int l = 0; l < 3; l++) {
                        if (k == l)
                            same += d[k][a] * d[l][b];
                        else
                            cross += d[k][a] * d[l][b];
                    }
                }
                s[a * 3 + b] = (m / 18.0f) * (same - 0.5f * cross);
            }
        }
        tensor[0] += s[4] + s[8];
        tensor[4] += s[0] + s[8];
        tensor[8] += s[0] + s[4];
        for (int a = 0; a < 3; a++) {
            for (int b = 0; b < 3; b++) {
                if (a != b)
                    tensor[a * 3 + b] -= s[a * 3 + b];
            }
        }
    }

    // Shift to the centre of mass.
    const float c2 = Dot3(centre, centre);
    for (int a = 0; a < 3; a++) {
        for (int b = 0; b < 3; b++)
            tensor[a * 3 + b] -= totalMass * ((a == b ? c2 : 0.0f) - centre[a] * centre[b]);
    }

    const float det = tensor[0] * (tensor[4] * tensor[8] - tensor[5] * tensor[7]) -
                      tensor[1] * (tensor[3] * tensor[8] - tensor[5] * tensor[6]) +
                      tensor[2] * (tensor[3] * tensor[7] - tensor[4] * tensor[6]);
    if (!(det > 0.0f && std::isfinite(det)))
        return 0;
    float inverse[9];
    InvertFloatMatrix(inverse, tensor);
    for (int k = 0; k < 9; k++) {
        if (!std::isfinite(inverse[k]))
            return 0;
    }

    mass = totalMass;
    Copy3(centreOfMass, centre);
    std::memcpy(inertia, tensor, sizeof(inertia));
    std::memcpy(inverseInertia, inverse, sizeof(inverseInertia));
    float largest = 0.0f;
    for (int i = 0; i < pointCount; i++) {
        const float length = std::sqrt(Dot3(points[i].local, points[i].local));
        if (length > largest)
            largest = length;
    }
    radius = largest;
    return 1;
}

void RigidBody::Collide(float dt, int lastTickOfFrame) {
    (void)dt;
    if (!active)
        return;
    WorldQuery *world = LoadedWorldQuery();
    if (world == nullptr) {
        CollideWithGround();
        FinishContacts();
        return;
    }

    const int32_t r = MetresToFix(radius);
    WorldObject *solids[MaxCandidates];
    int count = 0;
    int i0, i1, j0, j1;
    if (world->GetGridRange(i0, i1, j0, j1, predictedPosition.x, predictedPosition.y, r)) {
        for (int j = j0; j <= j1; j++) {
            for (int i = i0; i <= i1; i++) {
                const WorldObjectList list = world->GetSolidList(i, j);
                for (int n = 0; n < list.count; n++) {
                    WorldObject *object = list.objects[n];
                    const WorldObjectBounds b = world->GetBounds(object);
                    if (SquareOverlaps(predictedPosition.x, predictedPosition.y, r, b.minX, b.maxX, b.minY, b.maxY))
                        AddCandidate(solids, count, object);
                }
            }
        }
    }

    CarObject *car = CollidingCar;
    if (lastTickOfFrame != 0 && car != nullptr)
        car->ResetDrawState();

    if (count == 0) {
        CollideWithGround();
    } else {
        for (int n = 0; n < count; n++) {
            WorldObject *object = solids[n];
            if (world->IsPointInside(object, predictedPosition.x, predictedPosition.y, r) != 0) {
                CollideWithObject(object, 1, 1, 1);
                if (lastTickOfFrame != 0 && car != nullptr)
                    car->AddTouchedObject(object);
            }
        }
    }

    PhysicsWorld *physics = CurrentPhysicsWorld;
    if (ExtrapolatingRemoteCar == 0 && physics != nullptr) {
        for (int n = 0; n < physics->bodyCount; n++) {
            RigidBody *b = physics->bodies[n];
            if (b == this || !b->active || !(moving || b->moving))
                continue;
            const FixVector s = FixSub(b->predictedPosition, predictedPosition);
            const float sm[3] = {FixToMetres(s.x), FixToMetres(s.y), FixToMetres(s.z)};
            const float distance = std::sqrt(Dot3(sm, sm));
            if (distance < radius + b->radius && MayTouch(*b) && b->MayTouch(*this))
                CollideWithBody(b, s);
        }
    }
    FinishContacts();
}

int RigidBody::MayTouch(const RigidBody &other) const {
    // Sides of the bounds box: 1 y above, 2 y below, 4 x above, 8 x below.
    const float *o = orientation;
    auto local = [o](const FixVector &d, float &lx, float &ly) {
        const float x = FixToMetres(d.x);
        const float y = FixToMetres(d.y);
        const float z = FixToMetres(d.z);
        lx = o[0] * x + o[3] * y + o[6] * z;
        ly = o[1] * x + o[4] * y + o[7] * z;
    };
    float lx, ly;
    local(FixSub(other.predictedPosition, predictedPosition), lx, ly);
    int sides = 0;
    if (ly > maxY)
        sides |= 1;
    if (ly < minY)
        sides |= 2;
    if (lx > maxX)
        sides |= 4;
    if (lx < minX)
        sides |= 8;
    if (sides == 0)
        return 1;
    for (int i = 0; i < other.pointCount; i++) {
        local(FixSub(other.points[i].probe.endPoint, predictedPosition), lx, ly);
        if (!(ly >= maxY))
            sides &= ~1;
        if (!(ly <= minY))
            sides &= ~2;
        if (!(lx >= maxX))
            sides &= ~4;
        if (!(lx <= minX))
            sides &= ~8;
        if (sides == 0)
            return 1;
    }
    return 0;
}

void RigidBody::IntersectSegment(const FixVector &endPoint, const FixVector &segment, ContactProbe &probe) {
    for (int f = 0; f < faceCount; f++) {
        const CollisionFace &face = faces[f];
        const FixVector n = ToFix(face.worldNormal);
        const int32_t dn = FixDot(segment, n);
        if (!(dn < -64))
            continue;
        const FixVector &c0 = face.corners[0]->probe.endPoint;
        const int32_t h = FixDot(FixSub(endPoint, c0), n);
        if (!(h < 0 && h > dn))
            continue;
        const int64_t t = static_cast<int64_t>(h) * 65536 / dn;
        if (!(t > probe.fraction))
            continue;
        const FixVector hit = {
            WrapSub(endPoint.x, static_cast<int32_t>((t * segment.x) >> 16)),
            WrapSub(endPoint.y, static_cast<int32_t>((t * segment.y) >> 16)),
            WrapSub(endPoint.z, static_cast<int32_t>((t * segment.z) >> 16)),
        };
        bool inside = true;
        for (int k = 0; k < 3 && inside; k++) {
            const FixVector &from = face.corners[k]->probe.endPoint;
            const FixVector &to = face.corners[(k + 1) % 3]->probe.endPoint;
            const FixVector e = FixSub(to, from);
            const FixVector v = FixSub(hit, from);
            const FixVector ev = {FixCrossPart(e.y, v.z, e.z, v.y), FixCrossPart(e.z, v.x, e.x, v.z),
                                  FixCrossPart(e.x, v.y, e.y, v.x)};
            if (!(FixDot(ev, n) > 0))
                inside = false;
        }
        if (!inside)
            continue;
        Copy3(probe.normal, face.worldNormal);
        probe.hitPoint = hit;
        probe.surface = nullptr;
        probe.otherBody = this;
        probe.fraction = static_cast<int32_t>(t);
    }
}

int RigidBody::IsNearPoint(int32_t x, int32_t y, int r) const {
    const float d[2] = {FixToMetres(WrapSub(x, position.x)), FixToMetres(WrapSub(y, position.y))};
    const float distance = std::sqrt(d[0] * d[0] + d[1] * d[1]);
    if (distance > 80.0f)
        return 0;
    if (distance < 1.0f)
        return 1;
    float approach = d[0] * velocity[0] + d[1] * velocity[1];
    if (approach < 0.0f)
        approach = 0.0f;
    return distance - radius - static_cast<float>(r) - approach / distance < 0.0f ? 1 : 0;
}

void RigidBody::Integrate(float h, float angularVelocity[3]) {
    for (int k = 0; k < 3; k++)
        stepOffset[k] += h * velocity[k];
    float w[3];
    AngularVelocity(orientation, inverseInertia, angularMomentum, w);
    Copy3(angularVelocity, w);
    const float wLength = std::sqrt(Dot3(w, w));
    const float theta = wLength * h;
    // Any turn at all: a sub-step is short (0.5 ms for a car), and an angle
    // floor here would leave every slow rotation (below 0.02 rad/s for a car)
    // unintegrated, so that the contact torques could never bring the body
    // to rest.
    if (wLength > 0.0f) {
        float turn[9];
        SetFloatAxisRotation(turn, w[0] / wLength, w[1] / wLength, w[2] / wLength, theta);
        float oldCentre[3];
        MatVec3(orientation, centreOfMass, oldCentre);
        MultiplyFloatMatrix(turn, orientation, orientation);
        float newCentre[3];
        MatVec3(orientation, centreOfMass, newCentre);
        for (int k = 0; k < 3; k++)
            stepOffset[k] += oldCentre[k] - newCentre[k];
    }
}

void RigidBody::ComputeContactForces(float h) {
    for (int i = 0; i < pointCount; i++) {
        CollisionPoint &point = points[i];
        point.sliding = 0;
        float p[3];
        MatVec3(orientation, point.local, p);
        for (int k = 0; k < 3; k++)
            p[k] += stepOffset[k];

        if (point.contactKind != 0) {
            const float gap[3] = {point.stepContact[0] - p[0], point.stepContact[1] - p[1],
                                  point.stepContact[2] - p[2]};
            const float depth = Dot3(gap, point.stepNormal);
            if (depth > 0.0f) {
                float k = stiffness;
                float c = damping;
                RigidBody *other = point.probe.otherBody;
                if (other != nullptr) {
                    if (other->stiffness < k)
                        k = other->stiffness;
                    if (other->damping < c)
                        c = other->damping;
                }
                float s[3];
                for (int a = 0; a < 3; a++)
                    s[a] = p[a] + depth * point.stepNormal[a];
                float f[3];
                for (int a = 0; a < 3; a++)
                    f[a] = k * (point.anchor[a] - s[a]);
                float rate = (depth - point.lastDepth) / h;
                if (rate > 4.0f)
                    rate = 4.0f;
                if (rate < -4.0f)
                    rate = -4.0f;
                const bool grew = depth > point.lastDepth;
                point.lastDepth = depth;
                const float normalForce = c * rate + k * depth;
                for (int a = 0; a < 3; a++)
                    point.force[a] = normalForce * point.stepNormal[a];
                const float maxFriction = point.stepGrip * friction * normalForce;
                const float max2 = maxFriction * maxFriction;
                if (max2 < 0.0001f) {
                    Copy3(point.anchor, s);
                    Zero3(f);
                } else {
                    const float f2 = Dot3(f, f);
                    if (f2 > max2) {
                        const float fLength = std::sqrt(f2);
                        for (int a = 0; a < 3; a++)
                            f[a] = f[a] * maxFriction / fLength;
                        for (int a = 0; a < 3; a++)
                            point.anchor[a] = s[a] + f[a] / k;
                        point.sliding = 1;
                    }
                }
                for (int a = 0; a < 3; a++)
                    point.force[a] += f[a];
                if (other != nullptr) {
                    const float hf[3] = {h * point.force[0], h * point.force[1], h * point.force[2]};
                    const float r[3] = {FixToMetres(WrapSub(point.probe.endPoint.x, other->predictedPosition.x)),
                                        FixToMetres(WrapSub(point.probe.endPoint.y, other->predictedPosition.y)),
                                        FixToMetres(WrapSub(point.probe.endPoint.z, other->predictedPosition.z))};
                    float turn[3];
                    Cross3(r, hf, turn);
                    for (int a = 0; a < 3; a++) {
                        other->impulse[a] -= hf[a];
                        other->angularImpulse[a] -= turn[a];
                    }
                }
                if (grew)
                    point.phase = 1;
                else if (point.phase == 1)
                    point.phase = 2;
                continue;
            }
        }
        point.lastDepth = 0.0f;
        Zero3(point.force);
        Copy3(point.anchor, p);
        point.phase = 0;
    }
}

void RigidBody::FreeGeometry() {
    delete[] points;
    delete[] faces;
    ClearGeometry();
}

void RigidBody::ClearGeometry() {
    pointCount = 0;
    points = nullptr;
    faceCount = 0;
    faces = nullptr;
}

void ProbeGroundPlane(ContactProbe &probe) {
    const int32_t endZ = probe.endPoint.z;
    const int32_t segmentZ = probe.segment.z;
    if (!(segmentZ < -64 && endZ < 0 && endZ > segmentZ))
        return;
    const int64_t t = static_cast<int64_t>(endZ) * 65536 / segmentZ;
    if (!(t > probe.fraction))
        return;
    probe.normal[0] = 0.0f;
    probe.normal[1] = 0.0f;
    probe.normal[2] = 1.0f;
    probe.hitPoint = {probe.endPoint.x, probe.endPoint.y, 0};
    probe.surface = nullptr;
    probe.otherBody = nullptr;
    probe.fraction = static_cast<int32_t>(t);
}
