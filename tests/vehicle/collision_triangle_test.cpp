#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "vehicle/collision_triangle.h"

namespace {

constexpr int32_t M = 65536;   // one metre

TEST(SetUpCollisionTriangleTest, NormalsAsTable) {
    struct Case {
        const char *name;
        FixVector p0, p1, p2;
        FixVector normal;
    };
    const Case cases[] = {
        {"counter-clockwise seen from above", {0, 0, 0}, {M, 0, 0}, {0, M, 0}, {0, 0, M}},
        {"clockwise seen from above", {0, 0, 0}, {0, M, 0}, {M, 0, 0}, {0, 0, -M}},
        // (0, -1, 1) / sqrt 2: 46340.95 rounds to 46341.
        {"tilted", {5 * M, 5 * M, 5 * M}, {6 * M, 5 * M, 5 * M}, {5 * M, 6 * M, 6 * M}, {0, -46341, 46341}},
        {"collinear", {0, 0, 0}, {M, M, 0}, {2 * M, 2 * M, 0}, {0, 0, 0}},
        // Edges of 1/65536 m: |c| is far below 1e-6 and stays unscaled.
        {"tiny", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}},
        // Corners at opposite ends of the 16.16 range must not wrap.
        {"far apart", {INT32_MIN, 0, 0}, {INT32_MAX, 0, 0}, {INT32_MIN, INT32_MAX, 0}, {0, 0, M}},
    };
    for (const Case &c : cases) {
        const CollisionVertex v0 = {7, c.p0};
        const CollisionVertex v1 = {8, c.p1};
        const CollisionVertex v2 = {9, c.p2};
        CollisionTriangle triangle;
        std::memset(&triangle, 0xAB, sizeof triangle);
        SetUpCollisionTriangle(triangle, &v0, &v1, &v2, nullptr, 0);
        EXPECT_EQ(triangle.normal.x, c.normal.x) << c.name;
        EXPECT_EQ(triangle.normal.y, c.normal.y) << c.name;
        EXPECT_EQ(triangle.normal.z, c.normal.z) << c.name;
    }
}

TEST(SetUpCollisionTriangleTest, FillsReferencesAndLeavesMeshWords) {
    const CollisionVertex v0 = {0, {0, 0, 0}};
    const CollisionVertex v1 = {0, {M, 0, 0}};
    const CollisionVertex v2 = {0, {0, M, 0}};
    const char surface[16] = {};
    CollisionTriangle triangle;
    std::memset(&triangle, 0xAB, sizeof triangle);
    SetUpCollisionTriangle(triangle, &v0, &v1, &v2, surface, 5);
    EXPECT_EQ(triangle.layer, 5);
    EXPECT_EQ(triangle.zero[0], 0);
    EXPECT_EQ(triangle.zero[1], 0);
    EXPECT_EQ(triangle.zero[2], 0);
    EXPECT_EQ(triangle.surface, surface);
    EXPECT_EQ(triangle.vertices[0], &v0);
    EXPECT_EQ(triangle.vertices[1], &v1);
    EXPECT_EQ(triangle.vertices[2], &v2);
    // The mesh code's own words are not touched.
    EXPECT_EQ(static_cast<uint32_t>(triangle.meshWords[0]), 0xABABABABu);
    EXPECT_EQ(static_cast<uint32_t>(triangle.meshWords[2]), 0xABABABABu);
}

}  // namespace
