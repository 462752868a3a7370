#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "render/render_object.h"
#include "scene/wheel_octagons.h"

namespace {

TEST(WheelOctagonTest, MeshesAreNumberedInRunOrder) {
    const int first = WheelMeshCounter;
    RenderObject *a = BuildWheelOctagonMesh(0.2f, 0.3f, nullptr);
    RenderObject *b = BuildWheelOctagonMesh(0.2f, 0.3f, nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::string(a->name), "WHL" + std::to_string(first));
    EXPECT_EQ(std::string(b->name), "WHL" + std::to_string(first + 1));
    DeleteRenderObject(&a);
    DeleteRenderObject(&b);
}

TEST(WheelOctagonTest, SeventeenVerticesAndThirtyTwoTriangles) {
    RenderObject *mesh = BuildWheelOctagonMesh(0.2f, 0.3f, nullptr);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->partCount, 1);
    EXPECT_EQ(mesh->built, 1u);
    const RenderPart &part = mesh->parts[0];
    ASSERT_EQ(part.ItemVertexCount(0), 17);
    ASSERT_EQ(part.ItemTriangleCount(0), 32);

    const PartVertex *centre = part.ItemVertex(0, 0);
    EXPECT_EQ(centre->x, 0.0f);
    EXPECT_EQ(centre->y, 0.0f);
    EXPECT_EQ(centre->diffuse, 0xFF000000u);
    // k = 2: a = -pi/2, so (y, z) = (0, -r); the two tread edges at -h and +h.
    const PartVertex *inner = part.ItemVertex(0, 5);
    const PartVertex *outer = part.ItemVertex(0, 6);
    EXPECT_FLOAT_EQ(inner->x, -0.1f);
    EXPECT_FLOAT_EQ(outer->x, 0.1f);
    EXPECT_NEAR(inner->y, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(inner->z, -0.3f);
    for (int v = 1; v < 17; v++) {
        const PartVertex *p = part.ItemVertex(0, v);
        EXPECT_NEAR(std::hypot(p->y, p->z), 0.3f, 1e-6f) << v;
    }
    // The last step closes on vertices 1 and 2.
    int c[3];
    ASSERT_TRUE(part.ItemTriangle(0, 28, &c[0], &c[1], &c[2]));
    EXPECT_EQ(c[0], 16);
    EXPECT_EQ(c[1], 15);
    EXPECT_EQ(c[2], 2);
    ASSERT_TRUE(part.ItemTriangle(0, 30, &c[0], &c[1], &c[2]));
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 15);
    EXPECT_EQ(c[2], 0);
    DeleteRenderObject(&mesh);
}

TEST(WheelOctagonTest, SizesThatAreNotFiniteCountAsZero) {
    RenderObject *mesh = BuildWheelOctagonMesh(NAN, INFINITY, nullptr);
    ASSERT_NE(mesh, nullptr);
    for (int v = 0; v < 17; v++) {
        const PartVertex *p = mesh->parts[0].ItemVertex(0, v);
        EXPECT_EQ(p->x, 0.0f);
        EXPECT_EQ(std::fabs(p->y) + std::fabs(p->z), 0.0f);
    }
    DeleteRenderObject(&mesh);
}

}  // namespace
