#include "vehicle/movable_hull.h"

#include <cmath>

#include "core/containers.h"
#include "core/float_math.h"
#include "vehicle/rigid_body.h"
#include "vehicle/solid_link.h"

namespace {

constexpr int MaxProfilePoints = 64;
constexpr int MaxHullTriangles = 42;
constexpr int MaxHullPoints = 24;
constexpr int RingCount = 6;

constexpr uint8_t KindNone = 0;
constexpr uint8_t KindOnAxis = 1;    // one point, shared by every ring
constexpr uint8_t KindOffAxis = 6;   // one point per ring

const char *const HullOk = ": OK";
const char *const HullUnusable = ": No Physics - Unusable surface found";
const char *const HullTooManyTriangles = ": No physics - More than 42 triangles";
const char *const HullNoTriangles = ": No physics - No triangles";
const char *const HullTooManyPoints = ": No physics - More than 24 points";

uint8_t PointKind(const FloatPair &point) {
    return point.a == 0.0f ? KindOnAxis : KindOffAxis;   // either sign of zero is on the axis
}

void SetFace(CollisionFace &face, CollisionPoint *points, int c0, int c1, int c2) {
    face.corners[0] = &points[c0];
    face.corners[1] = &points[c1];
    face.corners[2] = &points[c2];
}

// The unit normal of (corner1 - corner0) x (corner2 - corner0); a face of no
// area gets the zero vector, which no probe ever hits.
void SetFaceNormal(CollisionFace &face) {
    const float *a = face.corners[0]->local;
    const float *b = face.corners[1]->local;
    const float *c = face.corners[2]->local;
    const float ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
    const float vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
    const float nx = uy * vz - uz * vy;
    const float ny = uz * vx - ux * vz;
    const float nz = ux * vy - uy * vx;
    const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length > 0.0f && std::isfinite(length)) {
        face.localNormal[0] = nx / length;
        face.localNormal[1] = ny / length;
        face.localNormal[2] = nz / length;
    } else {
        face.localNormal[0] = 0.0f;
        face.localNormal[1] = 0.0f;
        face.localNormal[2] = 0.0f;
    }
    face.worldNormal[0] = face.localNormal[0];
    face.worldNormal[1] = face.localNormal[1];
    face.worldNormal[2] = face.localNormal[2];
}

}  // namespace

const char *BuildMovableObjectHull(const FloatPairTable &profile, const SolidLink *links, uint32_t linkCount,
                                   RigidBody &body, float scale) {
    if (linkCount == 0)
        return HullNoTriangles;

    // 1. Classify the profile points that colliding links use. Link indices
    //    come from world files; one outside the profile (or beyond the
    //    64-entry kind table) makes the surface unusable.
    uint8_t kinds[MaxProfilePoints] = {};
    int triangleCount = 0;
    for (uint32_t l = 0; l < linkCount; ++l) {
        const SolidLink &link = links[l];
        if (link.collide == 0)
            continue;
        if (link.curveA >= MaxProfilePoints || link.curveA >= profile.count || link.curveB >= MaxProfilePoints ||
            link.curveB >= profile.count)
            return HullUnusable;
        const uint8_t kindA = PointKind(profile.pairs[link.curveA]);
        const uint8_t kindB = PointKind(profile.pairs[link.curveB]);
        kinds[link.curveA] = kindA;
        kinds[link.curveB] = kindB;
        if (kindA == KindOnAxis && kindB == KindOnAxis)
            return HullUnusable;
        triangleCount += (kindA == KindOnAxis || kindB == KindOnAxis) ? 6 : 12;
    }

    // 2, 3. Limits.
    if (triangleCount > MaxHullTriangles)
        return HullTooManyTriangles;
    if (triangleCount == 0)
        return HullNoTriangles;
    const int markedCount = profile.count < MaxProfilePoints ? static_cast<int>(profile.count) : MaxProfilePoints;
    int pointCount = 0;
    for (int p = 0; p < markedCount; ++p)
        pointCount += kinds[p];
    if (pointCount > MaxHullPoints)
        return HullTooManyPoints;

    // 4. Fresh arrays.
    body.FreeGeometry();
    body.points = new CollisionPoint[pointCount];
    body.faces = new CollisionFace[triangleCount];
    body.pointCount = pointCount;
    body.faceCount = triangleCount;
    for (int i = 0; i < pointCount; ++i) {
        body.points[i].local[0] = 0.0f;
        body.points[i].local[1] = 0.0f;
        body.points[i].local[2] = 0.0f;
        body.points[i].Clear();
    }

    // 5. Ring 0 in the y-z plane.
    int ring[RingCount][MaxProfilePoints] = {};
    int next = 0;
    for (int p = 0; p < markedCount; ++p) {
        if (kinds[p] == KindNone)
            continue;
        const FloatPair &point = profile.pairs[p];
        float *local = body.points[next].local;
        local[0] = 0.0f;
        local[1] = scale * point.a;
        local[2] = scale * point.b;
        ring[0][p] = next++;
    }

    // 6. Rings 1 to 5, each turned a sixth of a turn further about z.
    const float ringStep = 2.0f * 3.14159265f * 0.16666667f;
    float angle = 0.0f;
    for (int k = 1; k < RingCount; ++k) {
        angle += ringStep;
        const float sine = FloatSin(angle);
        const float cosine = FloatCos(angle);
        for (int p = 0; p < markedCount; ++p) {
            if (kinds[p] == KindNone)
                continue;
            if (kinds[p] == KindOnAxis) {
                ring[k][p] = ring[0][p];
                continue;
            }
            const FloatPair &point = profile.pairs[p];
            float *local = body.points[next].local;
            local[0] = -sine * scale * point.a;
            local[1] = cosine * scale * point.a;
            local[2] = scale * point.b;
            ring[k][p] = next++;
        }
    }

    // 7. Faces between ring k - 1 and ring k (ring 6 is ring 0 again).
    int face = 0;
    for (int k = 1; k <= RingCount; ++k) {
        const int *ringA = ring[k - 1];
        const int *ringB = ring[k % RingCount];
        for (uint32_t l = 0; l < linkCount; ++l) {
            const SolidLink &link = links[l];
            if (link.collide == 0)
                continue;
            const int p = link.curveA;
            const int q = link.curveB;
            if (kinds[p] == KindOnAxis) {
                SetFace(body.faces[face++], body.points, ringA[p], ringA[q], ringB[q]);
            } else if (kinds[q] == KindOnAxis) {
                SetFace(body.faces[face++], body.points, ringA[p], ringA[q], ringB[p]);
            } else {
                SetFace(body.faces[face++], body.points, ringA[p], ringA[q], ringB[p]);
                SetFace(body.faces[face++], body.points, ringA[q], ringB[q], ringB[p]);
            }
        }
    }

    // 8. Normals.
    for (int f = 0; f < triangleCount; ++f)
        SetFaceNormal(body.faces[f]);
    return HullOk;
}
