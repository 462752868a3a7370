#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/object_bounds.h"
#include "render/object_file.h"

namespace {

constexpr int32_t M = 65536;

struct Case {
    const char *name;
    std::vector<ObjectPoint> points;
    std::vector<ObjectTriangle> triangles;
    FixVector centre;
    double radiusMetres;
};

ObjectPoint Point(int32_t x, int32_t y, int32_t z, uint8_t flags = 0)
{
    ObjectPoint point = {};
    point.flags = flags;
    point.x = x;
    point.y = y;
    point.z = z;
    return point;
}

ObjectTriangle Triangle(uint16_t a, uint16_t b, uint16_t c)
{
    ObjectTriangle triangle = {};
    triangle.corners[0] = a;
    triangle.corners[1] = b;
    triangle.corners[2] = c;
    return triangle;
}

} // namespace

TEST(ObjectBoundingSphere, BoxOfTheUsedPointsAndTheirTwins)
{
    const Case cases[] = {
        {"no triangles", {Point(5 * M, 5 * M, 5 * M)}, {}, {0, 0, 0}, 0.0},
        // The far point is used by no triangle and does not count.
        {"used points only",
         {Point(0, 0, 0), Point(2 * M, 0, 0), Point(2 * M, 4 * M, 4 * M), Point(100 * M, 0, 0)},
         {Triangle(0, 1, 2)},
         {M, 2 * M, 2 * M},
         std::sqrt(1.0 + 4.0 + 4.0)},
        // A point with a twin also stands at -x; a twin corner names the same point.
        {"mirrored twins",
         {Point(3 * M, 0, 0, PointHasTwin), Point(1 * M, 2 * M, 0), Point(1 * M, 0, 2 * M)},
         {Triangle(0 | CornerTwin, 1, 2)},
         {0, M, M},
         std::sqrt(9.0 + 1.0 + 1.0)},
    };
    for (const Case &c : cases) {
        Object3D object;
        InitObject3D(&object);
        object.pointCount = static_cast<uint16_t>(c.points.size());
        object.points = new ObjectPoint[c.points.size()];
        std::copy(c.points.begin(), c.points.end(), object.points);
        object.triangleCount = static_cast<uint16_t>(c.triangles.size());
        object.triangles = c.triangles.empty() ? nullptr : new ObjectTriangle[c.triangles.size()];
        std::copy(c.triangles.begin(), c.triangles.end(), object.triangles);

        FixVector centre;
        int32_t radius = -1;
        ComputeObjectBoundingSphere(&object, centre, radius);
        EXPECT_EQ(centre.x, c.centre.x) << c.name;
        EXPECT_EQ(centre.y, c.centre.y) << c.name;
        EXPECT_EQ(centre.z, c.centre.z) << c.name;
        EXPECT_NEAR(radius / 65536.0, c.radiusMetres, 1e-4) << c.name;
        FreeObject3D(&object);
    }
}
