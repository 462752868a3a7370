#pragma once

#include <cstdint>

#include "render/model_node.h"
#include "vehicle/collision_triangle.h"

struct Object3D;
class RigidBody;
struct RenderObject;

// Hull limits of a body's collision shape: more points or triangles than these
// make a body the contact code does not take.
constexpr int MaxCollisionHullPoints = 24;
constexpr int MaxCollisionHullTriangles = 42;

// The flat point and triangle set of one level of a 3D object tree, in the
// root's frame. It never draws; a body's collision hull is made from it.
// Each point's first word is its transform index (0: no skeleton). It
// answers the slots of a model node with its own column: no drawing, no
// render object.
struct GeometryCollector : ModelNodeBase {
    int32_t radius = 0;   // 16.16, about the origin, after ComputeBounds
    int32_t pointCount = 0;
    int32_t triangleCount = 0;
    CollisionVertex *points = nullptr;
    CollisionTriangle *triangles = nullptr;   // corners point into `points`

    GeometryCollector() = default;
    ~GeometryCollector() override;
    GeometryCollector(const GeometryCollector &) = delete;
    GeometryCollector &operator=(const GeometryCollector &) = delete;

    // Forgets the points and triangles without freeing them; 0.
    int Reset() override;
    int IsModelNode() const override
    {
        return 0;
    }
    int PointCount() const override
    {
        return pointCount;
    }
    int TriangleCount() const override
    {
        return triangleCount;
    }
    // Frees the triangles and points.
    void FreeGeometry() override;
    // The radius over the points (no flatness rule), stored and returned.
    int32_t ComputeBounds() override;
    void DetachRenderObject() override
    {
    }
    void BuildRenderObject() override
    {
    }
    void Draw(int, const FixTransform &, int) override
    {
    }
    void DrawSkinned(const FixTransform &, const FixTransform *, int) override
    {
    }
    void DrawWithOptions(int, const FixTransform &, const FixTransform *, int, int) override
    {
    }

    // Clears the object's parts and puts every point (position as floats,
    // the normal left zero) and every triangle into the part of
    // CollectorPartMaterial, then finishes the parts. Nothing is added when
    // the object has no such part.
    void FillRenderObject(RenderObject *object) const;
};

// Replaces the collector's contents by every triangle of the tree whose level
// byte equals `level` and whose part bit is set in `partMask`, with the points
// they use. A triangle flagged mirrored adds its twin (x negated, corner order
// reversed so it still faces outward); a child flagged mirrored is added
// itself and as its mirror image. Children are placed by heading, pitch, roll
// and position into their parent's frame, so every point lands in the root's
// frame (the root's own placement is not applied). Each point is collected
// once per side it is used on; a point without a twin serves both sides.
// Triangles whose part lies above 31 or whose corners lie outside the point
// table are skipped. Needs the trig tables (BuildTrigTables).
void FlattenObjectTree(const Object3D *object, GeometryCollector *collector, int level, uint32_t partMask);

// Makes the body's collision hull from the object's last (coarsest) level,
// the parts selected by `partMask`, positions multiplied by `scale`. Returns
// the text printed after the object's name: ": OK", or why the body gets no
// physics (": No physics - No points in lowest LOD", ": No physics - No
// triangles in lowest LOD", ": No physics - More than 24 vertices in lowest
// LOD", ": No physics - More than 42 triangles in lowest LOD"). On success the
// body's points and faces are replaced (one point per collected point, one
// face per collected triangle with its unit normal); on failure the body
// keeps its old hull.
const char *BuildCollisionHull(const Object3D *object, RigidBody *body, float scale, uint32_t partMask);
