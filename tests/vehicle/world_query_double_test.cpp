#include <cstdint>

#include <gtest/gtest.h>

#include "vehicle/fix_convert.h"
#include "vehicle/rigid_body.h"
#include "world_query_double.h"

namespace {

constexpr int32_t M = 65536;   // one metre

bool SquareHolds(const WorldQuery &world, int i, int j, const DuplicatorObject *object) {
    for (const ObjectGridNode *node = world.GetGridSquare(i, j); node != nullptr; node = node->next) {
        if (node->object == object)
            return true;
    }
    return false;
}

TEST(WorldQueryDoubleTest, RegistersItselfWhileItExists) {
    {
        WorldQueryDouble world;
        EXPECT_EQ(CurrentWorldQuery(), &world);
        EXPECT_EQ(LoadedWorldQuery(), &world);
        world.loaded = false;
        EXPECT_EQ(LoadedWorldQuery(), nullptr);
        EXPECT_EQ(world.GetGravity(), -9.81f);
    }
    EXPECT_EQ(CurrentWorldQuery(), nullptr);
}

TEST(WorldQueryDoubleTest, GridRanges) {
    WorldQueryDouble world;
    struct Case {
        const char *name;
        int32_t x, y, r;
        int result, i0, i1, j0, j1;
    };
    const Case cases[] = {
        {"inside one square", 5 * M, 5 * M, M, 1, 8, 8, 8, 8},
        {"across a square edge", 0, 5 * M, M, 1, 7, 8, 8, 8},
        // Truncation toward zero maps a little left of the grid to column 0.
        {"left of the grid by less than a cell", -85 * M, 0, M, 1, 0, 0, 7, 8},
        {"wholly left of the grid", -95 * M, 0, M, 0, 0, 0, 0, 0},
        {"wholly above the grid", 0, 81 * M, M / 2, 0, 0, 0, 0, 0},
        {"clamped to the grid", 0, 0, 200 * M, 1, 0, 15, 0, 15},
    };
    for (const Case &c : cases) {
        int i0 = 0, i1 = 0, j0 = 0, j1 = 0;
        EXPECT_EQ(world.GetGridRange(i0, i1, j0, j1, c.x, c.y, c.r), c.result) << c.name;
        if (c.result) {
            EXPECT_EQ(i0, c.i0) << c.name;
            EXPECT_EQ(i1, c.i1) << c.name;
            EXPECT_EQ(j0, c.j0) << c.name;
            EXPECT_EQ(j1, c.j1) << c.name;
        }
    }
}

TEST(WorldQueryDoubleTest, GroundPlane) {
    WorldQueryDouble world;
    world.groundHeight = M;
    world.SetGroundSurface(6, 1);

    // A probe from 2 m down to 0.5 m crosses the ground at 1 m: a third of
    // the segment back from its end.
    ContactProbe probe;
    probe.Clear();
    EXPECT_EQ(world.SolidContactQuery({3 * M, 4 * M, M / 2}, {0, 0, -3 * M / 2}, probe), 1);
    EXPECT_EQ(probe.fraction, 65536 / 3);
    EXPECT_EQ(probe.hitPoint.x, 3 * M);
    EXPECT_EQ(probe.hitPoint.z, M);
    EXPECT_EQ(probe.normal[2], 1.0f);
    EXPECT_EQ(world.GetSurfaceKind(probe.surface), 6);
    EXPECT_EQ(world.GetSurfaceFlagBit0(probe.surface), 1);

    // An end point exactly on the plane, a start below it, or a point off the
    // grid finds nothing.
    EXPECT_EQ(world.SolidContactQuery({0, 0, M}, {0, 0, -M}, probe), 0);
    EXPECT_EQ(world.SolidContactQuery({0, 0, 0}, {0, 0, M}, probe), 0);
    EXPECT_EQ(world.SolidContactQuery({90 * M, 0, 0}, {0, 0, -2 * M}, probe), 0);

    EXPECT_EQ(world.ProbeSolidBelow(0, 0, 2 * M, 0), M);
    EXPECT_EQ(world.ProbeSolidBelow(0, 0, 4 * M, 0), 0);
    EXPECT_EQ(world.ProbeSolidBelow(0, 0, 40 * M, 1), M);

    WorldObjectList solids = world.GetSolidList(15, 0);
    ASSERT_EQ(solids.count, 1);
    EXPECT_NE(world.IsPointInside(solids.objects[0], 79 * M, -79 * M, 0), 0);
}

TEST(WorldQueryDoubleTest, BoxHullFacesPointOut) {
    RigidBody body(1, 1, nullptr);
    BuildBoxHull(body, 0.5f, 1.0f, 1.5f);
    ASSERT_EQ(body.faceCount, 12);
    for (int f = 0; f < body.faceCount; ++f) {
        const CollisionFace &face = body.faces[f];
        const float *a = face.corners[0]->local;
        const float *b = face.corners[1]->local;
        const float *c = face.corners[2]->local;
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float cross[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const float *n = face.localNormal;
        // Counter-clockwise seen from outside, and every corner on the face's
        // outer side of the box.
        EXPECT_GT(cross[0] * n[0] + cross[1] * n[1] + cross[2] * n[2], 0.0f) << "face " << f;
        for (int k = 0; k < 3; ++k) {
            const float *p = face.corners[k]->local;
            EXPECT_GT(p[0] * n[0] + p[1] * n[1] + p[2] * n[2], 0.0f) << "face " << f;
        }
    }
    body.FreeGeometry();
}

TEST(WorldQueryDoubleTest, ObstaclesAndMovables) {
    WorldQueryDouble world;
    // Reach 1.5 m just left of a square edge: listed on both sides of it.
    WorldObject *obstacle = world.AddObstacle(-M / 2, 5 * M, 150);
    EXPECT_EQ(world.GetRadiusList(7, 8).count, 1);
    EXPECT_EQ(world.GetRadiusList(8, 8).count, 1);
    EXPECT_EQ(world.GetRadiusList(9, 8).count, 0);
    EXPECT_EQ(world.GetReachRadius(obstacle), 150);
    EXPECT_EQ(world.IsPointInside(obstacle, -M / 2, 5 * M, M), 0);

    DuplicatorObject *cone = world.AddMovable(15 * M, 25 * M, 0.2f, 0.2f, 0.3f);
    ASSERT_NE(cone, nullptr);
    ASSERT_EQ(world.GetMovableCount(), 1);
    EXPECT_EQ(world.GetMovableObject(0), cone);
    RigidBody *body = world.GetBody(cone);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->owner, cone);
    EXPECT_EQ(body->moving, 0);
    EXPECT_EQ(body->pointCount, 8);
    EXPECT_EQ(body->faceCount, 12);
    EXPECT_GT(body->mass, 0.0f);
    EXPECT_EQ(body->position.z, MetresToFix(0.3f));   // standing on the ground
    EXPECT_TRUE(SquareHolds(world, 9, 10, cone));
    EXPECT_TRUE(world.IsInGrid(cone));

    world.GridRemoveObject(cone);
    EXPECT_FALSE(SquareHolds(world, 9, 10, cone));
    world.GridRemoveObject(cone);
    EXPECT_EQ(world.gridFaults, 1);

    world.SetKnocked(cone, 1);
    world.SetFrozen(cone, 1);
    world.FreeBody(cone);
    EXPECT_EQ(world.GetBody(cone), nullptr);
    world.CreateBody(cone);
    world.GridAddObject(cone);
    EXPECT_TRUE(SquareHolds(world, 9, 10, cone));
    EXPECT_EQ(world.GetKnocked(cone), 1);
    EXPECT_EQ(world.createBodyCount, 2);
    EXPECT_EQ(world.freeBodyCount, 1);
    EXPECT_EQ(world.gridAddCount, 2);
    EXPECT_EQ(world.gridRemoveCount, 2);
    EXPECT_EQ(world.gridFaults, 1);

    // The world looks for an object only where its body is: removing it
    // after the body has moved to other squares is a fault.
    world.GetBody(cone)->position.x += 20 * M;
    world.GridRemoveObject(cone);
    EXPECT_EQ(world.gridFaults, 2);
    EXPECT_FALSE(SquareHolds(world, 9, 10, cone));
}

}  // namespace
