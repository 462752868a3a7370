#include "vehicle/collision_hull.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/fixed_math.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "vehicle/rigid_body.h"

namespace {

const char *const HullOk = ": OK";
const char *const HullNoPoints = ": No physics - No points in lowest LOD";
const char *const HullNoTriangles = ": No physics - No triangles in lowest LOD";
const char *const HullTooManyPoints = ": No physics - More than 24 vertices in lowest LOD";
const char *const HullTooManyTriangles = ": No physics - More than 42 triangles in lowest LOD";

constexpr int MaxPartNumber = 31;

// Reflection in x, in the parent's frame: what a mirrored child is placed by
// before its own rotation and position.
constexpr FixTransform MirrorX = {{{-65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}};
constexpr FixTransform RootFrame = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}};

// A collected triangle before the point array is final: collector indices.
struct PendingTriangle {
    int32_t corners[3];
    const void *surface;
    uint8_t layer;
};

struct Flattening {
    int level;
    uint32_t partMask;
    std::vector<CollisionVertex> points;
    std::vector<PendingTriangle> triangles;
};

int32_t NegateWrapping(int32_t value) {
    return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

// The collector index of point `index` of the object on `side` (1: its
// mirrored twin), collected on first use. slots holds two entries per point,
// -1 until collected. A point without a twin answers for both sides.
int32_t CollectPoint(Flattening &flat, const Object3D &object, const FixTransform &toRoot,
                     std::vector<int32_t> &slots, int index, int side) {
    const ObjectPoint &point = object.points[index];
    if (!IsMirroredPoint(point))
        side = 0;
    int32_t &slot = slots[2 * index + side];
    if (slot < 0) {
        const FixVector local = {side ? NegateWrapping(point.x) : point.x, point.y, point.z};
        CollisionVertex vertex;
        vertex.first = 0;
        toRoot.Apply(local, vertex.position);
        slot = static_cast<int32_t>(flat.points.size());
        flat.points.push_back(vertex);
    }
    return slot;
}

// Adds one triangle, or its mirrored twin: every corner's side flipped and the
// winding reversed. A mirrored frame reverses the winding once more.
void CollectTriangle(Flattening &flat, const Object3D &object, const FixTransform &toRoot,
                     std::vector<int32_t> &slots, const ObjectTriangle &triangle, int twin, int mirroredFrame) {
    int32_t corners[3];
    for (int c = 0; c < 3; ++c) {
        const uint16_t corner = triangle.corners[c];
        const int side = ((corner & CornerTwin) ? 1 : 0) ^ twin;
        corners[c] = CollectPoint(flat, object, toRoot, slots, corner & CornerIndexMask, side);
    }
    PendingTriangle pending;
    pending.corners[0] = corners[0];
    if (twin ^ mirroredFrame) {
        pending.corners[1] = corners[2];
        pending.corners[2] = corners[1];
    } else {
        pending.corners[1] = corners[1];
        pending.corners[2] = corners[2];
    }
    pending.surface = ObjectSurfaceCell(&object, 0, triangle.surface);
    pending.layer = triangle.part;
    flat.triangles.push_back(pending);
}

bool IsSelected(const Flattening &flat, const Object3D &object, const ObjectTriangle &triangle) {
    if (triangle.lod != flat.level || triangle.part > MaxPartNumber || ((flat.partMask >> triangle.part) & 1u) == 0)
        return false;
    for (const uint16_t corner : triangle.corners) {
        if ((corner & CornerIndexMask) >= object.pointCount)
            return false;
    }
    return true;
}

void FlattenObject(Flattening &flat, const Object3D &object, const FixTransform &toRoot, int mirroredFrame) {
    std::vector<int32_t> slots(2 * static_cast<size_t>(object.pointCount), -1);
    for (int t = 0; t < object.triangleCount; ++t) {
        const ObjectTriangle &triangle = object.triangles[t];
        if (!IsSelected(flat, object, triangle))
            continue;
        CollectTriangle(flat, object, toRoot, slots, triangle, 0, mirroredFrame);
        if (triangle.flags & TriangleMirrored)
            CollectTriangle(flat, object, toRoot, slots, triangle, 1, mirroredFrame);
    }
    for (int c = 0; c < object.childCount; ++c) {
        const Object3D &child = object.children[c];
        FixTransform local;
        FixRotationZXY(local.matrix, child.heading, child.pitch, child.roll);
        local.position = {child.x, child.y, child.z};
        FixTransform childToRoot;
        toRoot.Compose(local, childToRoot);
        FlattenObject(flat, child, childToRoot, mirroredFrame);
        if (child.flags & ObjectMirroredChild) {
            FixTransform mirroredParent;
            toRoot.Compose(MirrorX, mirroredParent);
            mirroredParent.Compose(local, childToRoot);
            FlattenObject(flat, child, childToRoot, mirroredFrame ^ 1);
        }
    }
}

}  // namespace

GeometryCollector::~GeometryCollector() {
    FreeGeometry();
}

int GeometryCollector::Reset() {
    radius = 0;
    pointCount = 0;
    triangleCount = 0;
    points = nullptr;
    triangles = nullptr;
    return 0;
}

int32_t GeometryCollector::ComputeBounds() {
    float maxSquared = 0.0f;
    for (int i = 0; i < pointCount; i++)
        KeepMaxSquaredLength(&maxSquared, points[i].position);
    const float units = std::sqrt(maxSquared) * 65536.0f + 0.5f;
    radius = units >= 2147483520.0f ? INT32_MAX : static_cast<int32_t>(units);
    return radius;
}

void GeometryCollector::FillRenderObject(RenderObject *object) const {
    if (object == nullptr)
        return;
    object->ClearParts();
    RenderPart *part = nullptr;
    object->FindPart(CollectorPartMaterial, &part);
    int base = part != nullptr ? 0 : -1;
    for (int i = 0; i < pointCount && base >= 0; i++) {
        PartVertex out{};
        out.x = static_cast<float>(points[i].position.x) * FixToFloat;
        out.y = static_cast<float>(points[i].position.y) * FixToFloat;
        out.z = static_cast<float>(points[i].position.z) * FixToFloat;
        const int index = part->AddVertex(out);
        if (index < 0)
            base = -1;  // the item is full: the triangles would point nowhere
        else if (i == 0)
            base = index;
    }
    for (int t = 0; t < triangleCount && base >= 0; t++) {
        int corners[3];
        bool inside = true;
        for (int k = 0; k < 3; k++) {
            const CollisionVertex *vertex = triangles[t].vertices[k];
            corners[k] = vertex != nullptr ? static_cast<int>(vertex - points) : -1;
            inside = inside && corners[k] >= 0 && corners[k] < pointCount;
        }
        if (inside)
            part->AddTriangle(static_cast<uint16_t>(base + corners[0]), static_cast<uint16_t>(base + corners[1]),
                              static_cast<uint16_t>(base + corners[2]));
    }
    object->FinishParts();
}

void GeometryCollector::FreeGeometry() {
    delete[] triangles;
    delete[] points;
    triangles = nullptr;
    points = nullptr;
    triangleCount = 0;
    pointCount = 0;
}

void FlattenObjectTree(const Object3D *object, GeometryCollector *collector, int level, uint32_t partMask) {
    collector->FreeGeometry();
    if (object == nullptr)
        return;
    Flattening flat;
    flat.level = level;
    flat.partMask = partMask;
    FlattenObject(flat, *object, RootFrame, 0);

    collector->pointCount = static_cast<int32_t>(flat.points.size());
    collector->triangleCount = static_cast<int32_t>(flat.triangles.size());
    if (collector->pointCount > 0) {
        collector->points = new CollisionVertex[collector->pointCount];
        for (int i = 0; i < collector->pointCount; ++i)
            collector->points[i] = flat.points[i];
    }
    if (collector->triangleCount > 0) {
        collector->triangles = new CollisionTriangle[collector->triangleCount];
        for (int i = 0; i < collector->triangleCount; ++i) {
            const PendingTriangle &pending = flat.triangles[i];
            CollisionTriangle &triangle = collector->triangles[i];
            triangle.meshWords[0] = 0;
            triangle.meshWords[1] = 0;
            triangle.meshWords[2] = 0;
            SetUpCollisionTriangle(triangle, &collector->points[pending.corners[0]],
                                   &collector->points[pending.corners[1]], &collector->points[pending.corners[2]],
                                   pending.surface, pending.layer);
        }
    }
}

const char *BuildCollisionHull(const Object3D *object, RigidBody *body, float scale, uint32_t partMask) {
    const int level = object != nullptr && object->lodCount > 0 ? object->lodCount - 1 : 0;
    GeometryCollector collector;
    FlattenObjectTree(object, &collector, level, partMask);
    if (collector.pointCount == 0)
        return HullNoPoints;
    if (collector.triangleCount == 0)
        return HullNoTriangles;
    if (collector.pointCount > MaxCollisionHullPoints)
        return HullTooManyPoints;
    if (collector.triangleCount > MaxCollisionHullTriangles)
        return HullTooManyTriangles;

    body->FreeGeometry();
    body->pointCount = collector.pointCount;
    body->faceCount = collector.triangleCount;
    body->points = new CollisionPoint[collector.pointCount];
    body->faces = new CollisionFace[collector.triangleCount];
    const float factor = scale / 65536.0f;
    for (int i = 0; i < collector.pointCount; ++i) {
        const FixVector &p = collector.points[i].position;
        CollisionPoint &point = body->points[i];
        point.local[0] = static_cast<float>(p.x) * factor;
        point.local[1] = static_cast<float>(p.y) * factor;
        point.local[2] = static_cast<float>(p.z) * factor;
        point.Clear();
    }
    for (int f = 0; f < collector.triangleCount; ++f) {
        const CollisionTriangle &triangle = collector.triangles[f];
        CollisionFace &face = body->faces[f];
        face.localNormal[0] = static_cast<float>(triangle.normal.x) * FixToFloat;
        face.localNormal[1] = static_cast<float>(triangle.normal.y) * FixToFloat;
        face.localNormal[2] = static_cast<float>(triangle.normal.z) * FixToFloat;
        for (int k = 0; k < 3; ++k) {
            face.worldNormal[k] = face.localNormal[k];
            face.corners[k] = &body->points[triangle.vertices[k] - collector.points];
        }
    }
    return HullOk;
}
