#include "vehicle/collision_hull.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/fixed_math.h"
#include "render/material.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "vehicle/rigid_body.h"

namespace {

constexpr double Metre = 65536.0;

ObjectPoint Point(double x, double y, double z, uint8_t flags = 0) {
    ObjectPoint point = {};
    point.flags = flags;
    point.x = static_cast<int32_t>(std::lround(x * Metre));
    point.y = static_cast<int32_t>(std::lround(y * Metre));
    point.z = static_cast<int32_t>(std::lround(z * Metre));
    return point;
}

struct Mesh {
    std::vector<ObjectPoint> points;
    std::vector<ObjectTriangle> triangles;

    void AddTriangle(int a, int b, int c, int8_t lod = 0, uint8_t part = 0, uint8_t flags = 0) {
        ObjectTriangle triangle = {};
        triangle.flags = flags;
        triangle.part = part;
        triangle.lod = lod;
        triangle.corners[0] = static_cast<uint16_t>(a);
        triangle.corners[1] = static_cast<uint16_t>(b);
        triangle.corners[2] = static_cast<uint16_t>(c);
        triangles.push_back(triangle);
    }

    // Two triangles over the quad a b c d (in order around it), wound so that
    // (v1 - v0) x (v2 - v0) points along `outward`.
    void AddQuad(int a, int b, int c, int d, const double outward[3], int8_t lod, uint8_t flags) {
        const ObjectPoint &p0 = points[a], &p1 = points[b], &p2 = points[c];
        const double u[3] = {double(p1.x) - p0.x, double(p1.y) - p0.y, double(p1.z) - p0.z};
        const double v[3] = {double(p2.x) - p0.x, double(p2.y) - p0.y, double(p2.z) - p0.z};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        if (n[0] * outward[0] + n[1] * outward[1] + n[2] * outward[2] < 0.0)
            std::swap(b, d);
        AddTriangle(a, b, c, lod, 0, flags);
        AddTriangle(a, c, d, lod, 0, flags);
    }

    // A box from lo to hi: 8 points, 12 triangles wound outward.
    void AddBox(const double lo[3], const double hi[3], int8_t lod = 0) {
        const int first = static_cast<int>(points.size());
        for (int i = 0; i < 8; ++i)
            points.push_back(Point(i & 1 ? hi[0] : lo[0], i & 2 ? hi[1] : lo[1], i & 4 ? hi[2] : lo[2]));
        for (int axis = 0; axis < 3; ++axis) {
            const int bit = 1 << axis, u = 1 << ((axis + 1) % 3), v = 1 << ((axis + 2) % 3);
            for (int side = 0; side < 2; ++side) {
                const int base = first + (side ? bit : 0);
                double outward[3] = {0, 0, 0};
                outward[axis] = side ? 1.0 : -1.0;
                AddQuad(base, base + u, base + u + v, base + v, outward, lod, 0);
            }
        }
    }
};

// Owns an Object3D built from meshes.
struct TestObject {
    Object3D object;

    TestObject() { InitObject3D(&object); }
    ~TestObject() { FreeObject3D(&object); }

    static void Fill(Object3D &object, const Mesh &mesh, int lodCount) {
        object.lodCount = static_cast<uint16_t>(lodCount);
        object.pointCount = static_cast<uint16_t>(mesh.points.size());
        object.triangleCount = static_cast<uint16_t>(mesh.triangles.size());
        object.points = mesh.points.empty() ? nullptr : new ObjectPoint[mesh.points.size()];
        object.triangles = mesh.triangles.empty() ? nullptr : new ObjectTriangle[mesh.triangles.size()];
        for (size_t i = 0; i < mesh.points.size(); ++i)
            object.points[i] = mesh.points[i];
        for (size_t i = 0; i < mesh.triangles.size(); ++i)
            object.triangles[i] = mesh.triangles[i];
    }

    TestObject(const Mesh &mesh, int lodCount = 1) : TestObject() { Fill(object, mesh, lodCount); }

    Object3D &AddChildren(int count) {
        object.childCount = static_cast<uint16_t>(count);
        object.children = new Object3D[count];
        for (int i = 0; i < count; ++i)
            InitObject3D(&object.children[i]);
        return object.children[0];
    }
};

// A body whose hull is freed with it.
struct HullBody : RigidBody {
    HullBody() : RigidBody(1, 1, nullptr) {}
    ~HullBody() override { FreeGeometry(); }
};

const double UnitLo[3] = {-1.0, -2.0, 0.0};
const double UnitHi[3] = {1.0, 2.0, 1.0};

// Points on a twisted curve: triangles (i, i + 1, i + 2) between them are never flat.
Mesh Strip(int pointCount, int triangleCount) {
    Mesh mesh;
    for (int i = 0; i < pointCount; ++i)
        mesh.points.push_back(Point(std::cos(i * 0.7), std::sin(i * 0.7), i * 0.1));
    for (int t = 0; t < triangleCount; ++t)
        mesh.AddTriangle(t % pointCount, (t + 1) % pointCount, (t + 2) % pointCount);
    return mesh;
}

// Every face of a convex hull: a unit normal with every other point on its
// inner side. `same` picks the points of the face's own convex piece.
void ExpectOutwardUnitNormals(const RigidBody &body,
                              const std::function<bool(const float *a, const float *b)> &same) {
    for (int f = 0; f < body.faceCount; ++f) {
        const CollisionFace &face = body.faces[f];
        const float *n = face.localNormal;
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-4f) << "face " << f;
        const float *c = face.corners[0]->local;
        for (int p = 0; p < body.pointCount; ++p) {
            const float *q = body.points[p].local;
            if (!same(c, q))
                continue;
            const float side = n[0] * (q[0] - c[0]) + n[1] * (q[1] - c[1]) + n[2] * (q[2] - c[2]);
            EXPECT_LE(side, 1e-4f) << "face " << f << " point " << p;
        }
    }
}

bool AnyPoint(const float *, const float *) {
    return true;
}

class CollisionHullTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
};

struct HullCase {
    const char *name;
    std::function<void(TestObject &)> build;
    uint32_t partMask;
    const char *message;
    int points;
    int faces;
};

TEST_F(CollisionHullTest, MessagesAndCounts) {
    const HullCase cases[] = {
        {"box", [](TestObject &o) { Mesh m; m.AddBox(UnitLo, UnitHi); TestObject::Fill(o.object, m, 1); },
         1u, ": OK", 8, 12},
        {"24 points 42 triangles", [](TestObject &o) { TestObject::Fill(o.object, Strip(24, 42), 1); }, 1u,
         ": OK", 24, 42},
        {"25 points", [](TestObject &o) { TestObject::Fill(o.object, Strip(25, 42), 1); }, 1u,
         ": No physics - More than 24 vertices in lowest LOD", -1, -1},
        {"43 triangles", [](TestObject &o) { TestObject::Fill(o.object, Strip(24, 43), 1); }, 1u,
         ": No physics - More than 42 triangles in lowest LOD", -1, -1},
        {"empty object", [](TestObject &) {}, 1u, ": No physics - No points in lowest LOD", -1, -1},
        {"nothing on the last level",
         [](TestObject &o) { Mesh m; m.AddBox(UnitLo, UnitHi, 0); TestObject::Fill(o.object, m, 2); }, 1u,
         ": No physics - No points in lowest LOD", -1, -1},
        {"nothing in the mask",
         [](TestObject &o) { Mesh m; m.AddBox(UnitLo, UnitHi); TestObject::Fill(o.object, m, 1); }, 2u,
         ": No physics - No points in lowest LOD", -1, -1},
        // A 30-point strip on level 0 and on part 5 would break both limits
        // if it were taken.
        {"other levels and parts ignored",
         [](TestObject &o) {
             Mesh m;
             m.AddBox(UnitLo, UnitHi, 1);
             const Mesh noise = Strip(30, 50);
             const int base = static_cast<int>(m.points.size());
             m.points.insert(m.points.end(), noise.points.begin(), noise.points.end());
             for (const ObjectTriangle &t : noise.triangles) {
                 m.AddTriangle(base + t.corners[0], base + t.corners[1], base + t.corners[2], 0, 0);
                 m.AddTriangle(base + t.corners[0], base + t.corners[1], base + t.corners[2], 1, 5);
                 m.AddTriangle(base + t.corners[0], base + t.corners[1], base + t.corners[2], -1, 0);
             }
             TestObject::Fill(o.object, m, 2);
         },
         1u, ": OK", 8, 12},
        // Part numbers above 31 and corners outside the point table come
        // from damaged data: they are skipped, never followed.
        {"damaged triangles skipped",
         [](TestObject &o) {
             Mesh m;
             m.AddBox(UnitLo, UnitHi);
             m.AddTriangle(0, 1, 500);
             m.AddTriangle(0, 1, 2, 0, 40);
             TestObject::Fill(o.object, m, 1);
         },
         0xFFFFFFFFu, ": OK", 8, 12},
    };
    for (const HullCase &c : cases) {
        SCOPED_TRACE(c.name);
        TestObject object;
        c.build(object);
        HullBody body;
        const std::string message = BuildCollisionHull(&object.object, &body, 1.0f, c.partMask);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(body.pointCount, c.points < 0 ? 0 : c.points);
        EXPECT_EQ(body.faceCount, c.faces < 0 ? 0 : c.faces);
    }
}

TEST_F(CollisionHullTest, BoxFacesPointOutAlongTheAxes) {
    Mesh mesh;
    mesh.AddBox(UnitLo, UnitHi);
    TestObject object(mesh);
    HullBody body;
    ASSERT_STREQ(BuildCollisionHull(&object.object, &body, 0.5f, 1u), ": OK");
    for (int p = 0; p < body.pointCount; ++p) {
        const float *q = body.points[p].local;
        EXPECT_EQ(std::fabs(q[0]), 0.5f);
        EXPECT_EQ(std::fabs(q[1]), 1.0f);
        EXPECT_TRUE(q[2] == 0.0f || q[2] == 0.5f);
    }
    ExpectOutwardUnitNormals(body, AnyPoint);
    int perAxis[3] = {};
    for (int f = 0; f < body.faceCount; ++f) {
        const float *n = body.faces[f].localNormal;
        int axis = -1;
        for (int k = 0; k < 3; ++k)
            if (std::fabs(n[k]) == 1.0f)
                axis = k;
        ASSERT_GE(axis, 0) << "face " << f;
        ++perAxis[axis];
        EXPECT_EQ(body.faces[f].worldNormal[axis], n[axis]);
    }
    EXPECT_EQ(perAxis[0], 4);
    EXPECT_EQ(perAxis[1], 4);
    EXPECT_EQ(perAxis[2], 4);
}

TEST_F(CollisionHullTest, RefusalKeepsTheOldHull) {
    Mesh box;
    box.AddBox(UnitLo, UnitHi);
    TestObject good(box);
    TestObject tooBig(Strip(25, 30));
    HullBody body;
    ASSERT_STREQ(BuildCollisionHull(&good.object, &body, 1.0f, 1u), ": OK");
    const CollisionPoint *points = body.points;
    EXPECT_STRNE(BuildCollisionHull(&tooBig.object, &body, 1.0f, 1u), ": OK");
    EXPECT_EQ(body.points, points);
    EXPECT_EQ(body.pointCount, 8);
    EXPECT_EQ(body.faceCount, 12);
}

// The right half of a box, x 0..1, stored once: points on the centre plane
// serve both sides, the others have twins, and every triangle is mirrored.
TEST_F(CollisionHullTest, MirroredTrianglesGiveOutwardTwins) {
    Mesh mesh;
    for (int i = 0; i < 8; ++i)
        mesh.points.push_back(Point(i & 1 ? 1.0 : 0.0, i & 2 ? 2.0 : -2.0, i & 4 ? 1.0 : 0.0,
                                    i & 1 ? PointHasTwin : PointOnMirrorPlane));
    const double px[3] = {1, 0, 0}, ny[3] = {0, -1, 0}, py[3] = {0, 1, 0}, nz[3] = {0, 0, -1}, pz[3] = {0, 0, 1};
    mesh.AddQuad(1, 3, 7, 5, px, 0, TriangleMirrored);
    mesh.AddQuad(0, 1, 5, 4, ny, 0, TriangleMirrored);
    mesh.AddQuad(2, 3, 7, 6, py, 0, TriangleMirrored);
    mesh.AddQuad(0, 1, 3, 2, nz, 0, TriangleMirrored);
    mesh.AddQuad(4, 5, 7, 6, pz, 0, TriangleMirrored);
    TestObject object(mesh);
    HullBody body;
    ASSERT_STREQ(BuildCollisionHull(&object.object, &body, 1.0f, 1u), ": OK");
    EXPECT_EQ(body.pointCount, 12);
    EXPECT_EQ(body.faceCount, 20);
    ExpectOutwardUnitNormals(body, AnyPoint);
    int leftFacing = 0;
    for (int f = 0; f < body.faceCount; ++f)
        leftFacing += body.faces[f].localNormal[0] == -1.0f;
    EXPECT_EQ(leftFacing, 2);
}

// A child turned half a turn about z and moved 10 m along x: its box x 0..1,
// y 0..2 lands at x 9..10, y -2..0. A second child, flagged mirrored, adds
// itself and its mirror image at -x.
TEST_F(CollisionHullTest, ChildrenLandInTheRootFrame) {
    TestObject object;
    object.object.lodCount = 1;
    Object3D &turned = object.AddChildren(2);
    const double lo[3] = {0.0, 0.0, 0.0}, hi[3] = {1.0, 2.0, 1.0};
    Mesh box;
    box.AddBox(lo, hi);
    TestObject::Fill(turned, box, 1);
    turned.heading = 32768;
    turned.x = 10 * 65536;
    Object3D &mirrored = object.object.children[1];
    const double mlo[3] = {1.0, -1.0, 0.0}, mhi[3] = {2.0, 1.0, 1.0};
    Mesh mirroredBox;
    mirroredBox.AddBox(mlo, mhi);
    TestObject::Fill(mirrored, mirroredBox, 1);
    mirrored.flags |= ObjectMirroredChild;

    GeometryCollector collector;
    FlattenObjectTree(&object.object, &collector, 0, 1u);
    ASSERT_EQ(collector.pointCount, 24);
    ASSERT_EQ(collector.triangleCount, 36);
    int turnedPoints = 0, leftPoints = 0, rightPoints = 0;
    for (int p = 0; p < collector.pointCount; ++p) {
        const FixVector &v = collector.points[p].position;
        if (v.x >= 9 * 65536 - 2) {
            ++turnedPoints;
            EXPECT_NEAR(v.x, v.x > 19 * 32768 ? 10 * 65536 : 9 * 65536, 2);
            EXPECT_NEAR(v.y, v.y < -65536 ? -2 * 65536 : 0, 2);
        } else if (v.x < 0) {
            ++leftPoints;
            EXPECT_TRUE(v.x == -65536 || v.x == -2 * 65536);
        } else {
            ++rightPoints;
        }
    }
    EXPECT_EQ(turnedPoints, 8);
    EXPECT_EQ(leftPoints, 8);
    EXPECT_EQ(rightPoints, 8);

    // Each box stays closed and faces out, the mirrored one included.
    HullBody body;
    ASSERT_STREQ(BuildCollisionHull(&object.object, &body, 1.0f, 1u), ": OK");
    EXPECT_EQ(body.pointCount, 24);
    EXPECT_EQ(body.faceCount, 36);
    ExpectOutwardUnitNormals(body, [](const float *a, const float *b) {
        const auto piece = [](const float *p) { return p[0] < -0.5f ? 0 : p[0] < 3.0f ? 1 : 2; };
        return piece(a) == piece(b);
    });
}

}  // namespace

namespace {

// The collector answers the node slots with its own column, and fills only
// the part of the collector material: every point (normals zero) and every
// triangle, indices into the part's own vertices.
TEST_F(CollisionHullTest, CollectorSlotsAndItsRenderObject) {
    TestObject object(Strip(5, 3));
    GeometryCollector collector;
    FlattenObjectTree(&object.object, &collector, 0, 1u);
    ASSERT_EQ(collector.pointCount, 5);
    ASSERT_EQ(collector.triangleCount, 3);
    ModelNodeBase &slots = collector;
    EXPECT_EQ(slots.IsModelNode(), 0);
    EXPECT_EQ(slots.PointCount(), 5);
    EXPECT_EQ(slots.TriangleCount(), 3);
    // Point 0 of the strip is (1, 0, 0) m, the farthest (cos 0.7, sin 0.7, 0.1)...
    float far = 0.0f;
    for (int i = 0; i < 5; ++i)
        far = std::max(far, std::sqrt(static_cast<float>(std::cos(i * 0.7) * std::cos(i * 0.7) +
                                                         std::sin(i * 0.7) * std::sin(i * 0.7) +
                                                         (i * 0.1) * (i * 0.1))));
    EXPECT_NEAR(slots.ComputeBounds(), far * 65536.0f, 2.0f);

    Material other{};
    Material white{};
    CollectorPartMaterial = &white;
    RenderObject *render = CreateRenderObject("COLLECT");
    ASSERT_NE(render, nullptr);
    render->InitParts(2, 1);
    render->SetPartMaterial(0, &other);
    render->SetPartMaterial(1, &white);
    collector.FillRenderObject(render);
    const RenderPart &part = render->parts[1];
    EXPECT_EQ(render->parts[0].ItemVertexCount(0), 0);
    ASSERT_EQ(part.ItemVertexCount(0), 5);
    ASSERT_EQ(part.ItemTriangleCount(0), 3);
    for (int v = 0; v < 5; ++v) {
        EXPECT_EQ(part.ItemVertex(0, v)->x, static_cast<float>(collector.points[v].position.x) / 65536.0f);
        EXPECT_EQ(part.ItemVertex(0, v)->nz, 0.0f);
    }
    CollectorPartMaterial = nullptr;
    DeleteRenderObject(&render);

    // Reset forgets the arrays (the caller owns them then).
    CollisionVertex *points = collector.points;
    CollisionTriangle *triangles = collector.triangles;
    EXPECT_EQ(slots.Reset(), 0);
    EXPECT_EQ(collector.points, nullptr);
    EXPECT_EQ(slots.PointCount(), 0);
    delete[] points;
    delete[] triangles;
}

}  // namespace
