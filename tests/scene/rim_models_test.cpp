#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "render/model_node.h"
#include "render/object_file.h"
#include "scene/rim_models.h"
#include "vehicle/car_curve.h"
#include "vehicle/rim_data.h"

namespace {

// A tyre of width 0.2, aspect 0.5 on a rim of radius 0.19 and width 0.18,
// with its tyre sizes computed.
void MakeRim(RimData &rim, int roundCrown) {
    ClearRimProfile(rim);
    rim.tyreWidth = 0.2f;
    rim.aspect = 0.5f;
    rim.rimRadius = 0.19f;
    rim.rimWidth = 0.18f;
    ASSERT_EQ(ComputeTyreProfile(rim, 0.1f, roundCrown), 1);
}

struct Record {
    int a, b, group, surface;
};

// A rim curve: points as (x, y) pairs (y 4 = the seat radius), the records,
// and surfaces of row 0 (colour bytes and name).
struct CurveSurface {
    uint8_t r, g, b;
    const char *name;
};

void MakeCurve(CarCurve &curve, const std::vector<FloatPair> &points, const std::vector<Record> &records,
               const std::vector<CurveSurface> &surfaces, uint8_t flags = 0) {
    curve.Free();
    curve.count = static_cast<uint32_t>(points.size());
    curve.pairs = new FloatPair[points.size() + 1];
    for (size_t i = 0; i < points.size(); i++)
        curve.pairs[i] = points[i];
    curve.segmentCount = static_cast<uint8_t>(records.size());
    curve.segments = records.empty() ? nullptr : new CurveSegment[records.size()];
    for (size_t i = 0; i < records.size(); i++)
        curve.segments[i] = CurveSegment{records[i].a, records[i].b, records[i].group, records[i].surface};
    curve.extraCounts[0] = flags;
    curve.materials.width = surfaces.empty() ? 0 : 1;
    curve.materials.height = static_cast<uint16_t>(surfaces.size());
    curve.materials.cells = surfaces.empty() ? nullptr : new GridCell[surfaces.size()]();
    for (size_t i = 0; i < surfaces.size(); i++) {
        curve.materials.cells[i].bytes[0] = surfaces[i].r;
        curve.materials.cells[i].bytes[1] = surfaces[i].g;
        curve.materials.cells[i].bytes[2] = surfaces[i].b;
        std::strncpy(reinterpret_cast<char *>(curve.materials.cells[i].bytes + 4), surfaces[i].name, 10);
    }
}

// Points 0 and 1 are the rim edges at x = -1 and +1; point 2 lies inside.
const std::vector<FloatPair> EdgePoints = {{-1.0f, 4.0f}, {1.0f, 4.0f}, {0.0f, 2.0f}, {0.0f, 0.0f}};

TEST(RimProfileTest, PlainProfileGivesTheFixedRingsAndTheRecordFace) {
    RimData rim;
    MakeRim(rim, 0);
    CarCurve curve;
    MakeCurve(curve, EdgePoints, {{0, 1, 0, 0}}, {{200, 100, 50, "rim"}});
    ASSERT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 1);
    EXPECT_EQ(rim.ringCount, 16);
    ASSERT_EQ(rim.faceCount, 12);
    // Faces 9 and 10 join the rim edges to the seat; the record's face joins
    // the fixed seat rings 12 and 13 (points 0 and 1, group 0, surface 0).
    EXPECT_EQ(rim.faces[9].ringA, 12u);
    EXPECT_EQ(rim.faces[9].ringB, 10u);
    EXPECT_EQ(rim.faces[10].ringA, 11u);
    EXPECT_EQ(rim.faces[10].ringB, 13u);
    EXPECT_EQ(rim.faces[11].ringA, 12u);
    EXPECT_EQ(rim.faces[11].ringB, 13u);
    // Seat: half the rim width + 5 mm at the rim radius; edge 15 mm above.
    EXPECT_FLOAT_EQ(rim.rings[13].offset, 0.095f);
    EXPECT_FLOAT_EQ(rim.rings[13].radius, 0.19f);
    EXPECT_FLOAT_EQ(rim.rings[11].radius, 0.205f);
    EXPECT_EQ(rim.rings[3].kind, 3);
    EXPECT_EQ(rim.rings[1].kind, 2);
    EXPECT_EQ(rim.rings[1].linkB, 8);
    // Without the round crown rings 8 and 14 (and 9 and 15) share one normal.
    EXPECT_EQ(rim.rings[8].normal[0], rim.rings[14].normal[0]);
    EXPECT_EQ(rim.rings[9].normal[1], rim.rings[15].normal[1]);
    for (int i = 0; i < rim.ringCount; i++) {
        const float length = std::hypot(rim.rings[i].normal[0], rim.rings[i].normal[1]);
        EXPECT_NEAR(length, 1.0f, 1e-5f) << "ring " << i;
    }
}

TEST(RimProfileTest, CreasedSidewallAndFlangePairAddRingsAndFaces) {
    RimData rim;
    MakeRim(rim, 0);
    rim.style[2] = 5;   // a flange pair 5 mm below the flange
    rim.style[3] = 1;   // creased
    ASSERT_EQ(BuildRimProfile(rim, nullptr, 0, 0, 0), 1);
    ASSERT_EQ(rim.ringCount, 20);
    ASSERT_EQ(rim.faceCount, 13);
    EXPECT_EQ(rim.faces[0].ringB, 16u);
    EXPECT_EQ(rim.faces[8].ringA, 17u);
    EXPECT_EQ(rim.rings[1].kind, 1);
    EXPECT_EQ(rim.rings[1].linkB, 0);
    EXPECT_NEAR(rim.rings[18].radius, 0.19f + 0.015f - 0.005f, 1e-6f);
    const uint32_t expected[4][2] = {{12, 18}, {19, 13}, {18, 10}, {11, 19}};
    for (int f = 0; f < 4; f++) {
        EXPECT_EQ(rim.faces[9 + f].ringA, expected[f][0]);
        EXPECT_EQ(rim.faces[9 + f].ringB, expected[f][1]);
    }
}

TEST(RimProfileTest, RoundCrownLinksAndTreadV) {
    RimData rim;
    MakeRim(rim, 1);
    rim.tyreType = 5;
    ASSERT_EQ(BuildRimProfile(rim, nullptr, 1, 0, 0), 1);
    EXPECT_EQ(rim.rings[8].linkB, 8);
    EXPECT_EQ(rim.rings[9].linkA, 9);
    EXPECT_EQ(rim.rings[14].linkA, 14);
    EXPECT_EQ(rim.rings[15].linkB, 15);
    EXPECT_FLOAT_EQ(rim.rings[14].v, 0.625f);
    EXPECT_FLOAT_EQ(rim.rings[15].v, 0.75f);
    // With the plain v flag and a low tyre type the tread starts at 0.125.
    rim.tyreType = 1;
    ASSERT_EQ(BuildRimProfile(rim, nullptr, 1, 1, 0), 1);
    EXPECT_FLOAT_EQ(rim.rings[2].v, 0.125f + 0.0125f);
}

TEST(RimProfileTest, RingsAreSharedPerPointGroupAndSurface) {
    RimData rim;
    MakeRim(rim, 0);
    CarCurve curve;
    // Same group and surface: point 2 gives one ring.
    MakeCurve(curve, EdgePoints, {{0, 2, 0, 0}, {2, 1, 0, 0}}, {{200, 100, 50, "rim"}});
    ASSERT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 1);
    EXPECT_EQ(rim.ringCount, 17);
    EXPECT_EQ(rim.faces[11].ringB, rim.faces[12].ringA);
    // Different groups: point 2 gives two rings, and point 0 of a group
    // other than 0 a new ring at the seat's place.
    MakeCurve(curve, EdgePoints, {{0, 2, 0, 0}, {2, 1, 1, 0}}, {{200, 100, 50, "rim"}});
    ASSERT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 1);
    EXPECT_EQ(rim.ringCount, 19);
    EXPECT_NE(rim.faces[11].ringB, rim.faces[12].ringA);
    EXPECT_EQ(rim.faces[12].ringB, 18u);
    EXPECT_EQ(rim.rings[18].offset, rim.rings[13].offset);
    EXPECT_EQ(rim.rings[18].radius, rim.rings[13].radius);
    // Point 2 sits on the wheel's middle at half the seat radius.
    EXPECT_FLOAT_EQ(rim.rings[16].offset, 0.0f);
    EXPECT_FLOAT_EQ(rim.rings[16].radius, 0.095f);
}

TEST(RimProfileTest, LineWordsOfFlatAndSlopedFaces) {
    RimData rim;
    MakeRim(rim, 0);
    CarCurve curve;
    // Point 2 (x 0, y 2) to point 3 on the axle: a disc face, and the flat
    // record across the seat.
    MakeCurve(curve, EdgePoints, {{0, 1, 0, 0}, {2, 3, 0, 0}}, {{200, 100, 50, "rim"}});
    ASSERT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 1);
    const ProfileFace &flat = rim.faces[11];
    EXPECT_EQ(flat.axisCrossing, 0.0f);
    EXPECT_EQ(flat.slope, 0.0f);
    EXPECT_FLOAT_EQ(flat.normal[0], 0.0f);
    EXPECT_FLOAT_EQ(flat.normal[1], 1.0f);
    // Face 9: seat (-0.095, 0.19) to edge (-0.095, 0.205): dx 0 counts as
    // -0.0001, slope word = -(dr / dx).
    const ProfileFace &wall = rim.faces[9];
    const float m = 0.015f / -0.0001f;
    EXPECT_NEAR(wall.slope, -m, 1.0f);
    EXPECT_NEAR(wall.axisCrossing, -0.095f - 0.19f / m, 1e-4f);
}

TEST(RimProfileTest, DarkeningOfRingColours) {
    const uint8_t tyre[4] = {32, 32, 32, 7};
    const uint8_t rim[4] = {200, 100, 50, 9};
    struct Case {
        int variant;
        const uint8_t *colour;
        float offset;
        uint8_t expected[3];
    };
    // Half width 0.1, scale 0.5, base 0.5.
    const Case cases[] = {
        {0, tyre, -0.1f, {32, 32, 32}},     // variant 0 keeps the tyre colour
        {0, rim, -0.05f, {150, 75, 38}},    // f = 0.5 x 0.5 + 0.5 = 0.75
        {0, rim, 0.1f, {200, 100, 50}},     // f = 1: copied
        {1, tyre, -0.05f, {8, 8, 8}},       // f = 0.05 x 0.5 / 0.1 = 0.25
        {1, tyre, -0.1f, {0, 0, 0}},        // f = 0: black
        {1, rim, -0.05f, {100, 50, 25}},    // negative offset: f = base
        {1, rim, 0.05f, {150, 75, 38}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "variant " << c.variant << " offset " << c.offset);
        ProfileRing ring = {};
        SetProfileRing(&ring, RingDarkening{1, 0.1f, 0.5f, 0.5f, c.variant}, c.offset, 0.2f, c.colour, 0.125f, 0, 0,
                       0);
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(ring.colour.bytes[k], c.expected[k]) << k;
    }
    ProfileRing ring = {};
    SetProfileRing(&ring, RingDarkening{0, 0.1f, 0.5f, 0.5f, 0}, -0.1f, 0.2f, rim, 0.125f, 0, 0, 0);
    EXPECT_EQ(std::memcmp(ring.colour.bytes, rim, 4), 0);
}

TEST(RimProfileTest, SpokeSurfaceIsNotDarkenedAndEdgeFlagBlackensTheInnerRim) {
    RimData rim;
    MakeRim(rim, 0);
    rim.darkening = 5;
    CarCurve curve;
    MakeCurve(curve, EdgePoints, {{2, 3, 0, 1}, {0, 2, 0, 2}},
              {{200, 100, 50, "rim"}, {120, 120, 120, "M2SPOKE"}, {120, 120, 120, "disc"}}, 1);
    ASSERT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 1);
    // Point 2 lies at offset 0: a darkened ring takes the base 0.5 there.
    EXPECT_EQ(rim.rings[16].colour.bytes[0], 120);  // the spoke surface
    EXPECT_EQ(rim.rings[18].colour.bytes[0], 120);  // point 0 of surface 2 at -w_d: f = 1
    EXPECT_EQ(rim.rings[19].colour.bytes[0], 60);   // point 2 of surface 2
    EXPECT_EQ(rim.rings[10].colour.bytes[0], 0);    // rim A black
    EXPECT_EQ(rim.rings[11].colour.bytes[0], 200);  // +w_d: f = 1
}

TEST(RimProfileTest, ShapesBeyondTheTablesAreRefused) {
    RimData rim;
    MakeRim(rim, 0);
    CarCurve curve;
    // 22 records reach 33 faces.
    std::vector<Record> many(22, Record{0, 1, 0, 0});
    MakeCurve(curve, EdgePoints, many, {{200, 100, 50, "rim"}});
    EXPECT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 0);
    EXPECT_EQ(rim.ringCount, 0);
    EXPECT_EQ(rim.faceCount, 0);
    // A face whose two rings coincide has no normal.
    MakeCurve(curve, EdgePoints, {{0, 1, 0, 0}, {2, 2, 3, 0}}, {{200, 100, 50, "rim"}});
    EXPECT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 0);
    EXPECT_EQ(rim.faceCount, 0);
    // No tyre sizes: nothing to build.
    RimData empty;
    EXPECT_EQ(BuildRimProfile(empty, nullptr, 0, 0, 0), 0);
}

TEST(RimNodeTest, SixteenSegmentsOfThePlainRim) {
    RimData rim;
    MakeRim(rim, 0);
    CarCurve curve;
    MakeCurve(curve, EdgePoints, {{0, 1, 0, 0}}, {{200, 100, 50, "rim"}});
    ASSERT_EQ(BuildRimProfile(rim, &curve, 0, 0, 0), 1);
    ModelNode *node = CreateModelNode();
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(BuildRimNode(rim, node, 16, nullptr, 1.0f), 1);
    // Rings 10 to 13 per segment; faces 9, 10 and the record's face.
    EXPECT_EQ(node->vertexCount, 4 * 16);
    EXPECT_EQ(node->triangleCount, 3 * 16 * 2);
    // Segment 0: the rings at angle 0; segment 4 at -pi/2.
    EXPECT_EQ(node->vertices[3].position[0], std::lround(0.095f * 65536.0f));
    EXPECT_EQ(node->vertices[3].position[1], std::lround(0.19f * 65536.0f));
    EXPECT_EQ(node->vertices[3].position[2], 0);
    EXPECT_NEAR(node->vertices[4 * 4 + 3].position[2], -std::lround(0.19f * 65536.0f), 1);
    EXPECT_EQ(node->vertices[0].surface, &rim.rings[10].colour);
    // Face 9 (12, 10) between segment 15 and segment 0 (the wrap).
    const ModelTriangle &last = node->triangles[15 * 6];
    EXPECT_EQ(last.corners[0], 15 * 4 + 2);
    EXPECT_EQ(last.corners[1], 0 * 4 + 0);
    EXPECT_EQ(last.corners[2], 15 * 4 + 0);
    for (int i = 0; i < node->vertexCount; i++) {
        const int32_t *n = node->vertices[i].normal;
        const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
        EXPECT_NEAR(length, 65536.0, 3.0) << i;
    }
    // Too few segments: nothing.
    EXPECT_EQ(BuildRimNode(rim, node, 2, nullptr, 1.0f), 0);
    EXPECT_EQ(node->vertexCount, 0);
    DeleteModelNode(node);
}

TEST(RimNodeTest, TyreMeshTakesTheWheelObjectsMaterialAndMapping) {
    RimData rim;
    MakeRim(rim, 0);
    ASSERT_EQ(BuildRimProfile(rim, nullptr, 0, 0, 0), 1);
    Object3D wheel;
    InitObject3D(&wheel);
    wheel.textureCount = 1;
    wheel.textures = new ObjectTexture[1]();
    std::strcpy(wheel.textures[0].name, "rim_tex");
    wheel.materialCount = 1;
    wheel.materials = new ObjectMaterial[1]();
    wheel.materials[0].uRepeat = 64;
    wheel.materials[0].vRepeat = 32;
    wheel.mappingCount = 1;
    wheel.mappings = new ObjectMapping[1]();
    wheel.mappings[0].uMin = -65536;
    wheel.mappings[0].uMax = 65536;
    wheel.mappings[0].vMin = -65536;
    wheel.mappings[0].vMax = 65536;
    ModelNode *node = CreateModelNode();
    ASSERT_EQ(BuildTyreMesh(node, 10, &wheel, rim, 0.5f), 1);
    ASSERT_EQ(node->listCount, 1);
    EXPECT_EQ(node->lists[0].flags, ModelListTextureOnly);
    EXPECT_STREQ(node->lists[0].textureName, "rim_tex");
    EXPECT_EQ(node->lists[0].vertexCount, 40u);
    EXPECT_EQ(node->lists[0].triangleCount, 40u);
    EXPECT_EQ(node->radius, rim.boundingRadius);
    // The mapping's ranges times the scale: y 0.19 m of a range -0.5..0.5 m.
    const ModelVertex &v = node->vertices[3];
    EXPECT_NEAR(v.u, (0.19f + 0.5f) / 1.0f, 1e-4f);
    EXPECT_NEAR(v.v, 1.0f - 0.5f * 0.5f, 1e-4f);
    DeleteModelNode(node);
    FreeObject3D(&wheel);
}

TEST(RimNodeTest, SegmentTableAndFreeingUnbuiltMeshes) {
    EXPECT_EQ(RimSegmentCount(2), 30);
    EXPECT_EQ(RimSegmentCount(3), 27);
    EXPECT_EQ(RimSegmentCount(13), 26);
    EXPECT_EQ(RimSegmentCount(22), 30);
    EXPECT_EQ(RimSegmentCount(40), 30);   // outside 2..22: that of 2
    RimData rim;
    rim.FreeMeshes();
    EXPECT_EQ(rim.hubNode, nullptr);
}

}  // namespace
