#include "render/geometry_batch.h"
#include "render/buffer_pools.h"
#include "render/material.h"
#include "render/mesh_lit_colours.h"
#include "render/model_node.h"
#include "render/object_mesh_part.h"
#include "render/screen_modes.h"
#include "render/strip_mesh.h"
#include "render/view.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int32_t M = 65536;

// The main view, looking along y with the sun straight above.
void UseTestView()
{
    InitViewRecord(&MainView, FixVector{0, -10 * M, M}, FixVector{0, -M, 0}, M, FixVector{0, 0, M});
}

StripMeshBuilder &B()
{
    return TheStripMeshBuilder;
}

Colour MakeColour(uint8_t r, uint8_t g, uint8_t b, uint8_t flags = 0)
{
    return Colour{r, g, b, flags};
}

// A builder holding the given points and no rows, ready for AddTriangle.
void HoldPoints(const std::vector<FixVector> &positions)
{
    StripMeshInputs inputs{};
    B().Generate(inputs, nullptr, nullptr);
    for (const FixVector &p : positions) {
        StripPoint &point = B().points[B().pointCount++];
        point = StripPoint{};
        point.position = p;
        point.firstNormal = -1;
    }
}

// One material covering one section between profile points 0 and 1.
StripMaterial PlainMaterial()
{
    StripMaterial m{};
    m.uRepeat = 64;
    m.vRepeat = 64;
    m.lengthCount = 1;
    m.subdivisionCount = 1;
    m.colour = MakeColour(200, 150, 100);
    return m;
}

TEST(StripMeshTest, TrianglesShorterThanAQuarterMillimetreOnEveryAxisAreDropped)
{
    struct Case {
        FixVector second;
        bool kept;
    };
    const Case cases[] = {
        {{200, 200, 200}, false}, {{300, 200, 200}, true}, {{-255, 255, 0}, false}, {{0, 0, -256}, true},
    };
    for (const Case &c : cases) {
        HoldPoints({{0, 0, 0}, c.second, {0, 100 * M, 0}});
        EXPECT_EQ(B().AddTriangle(0, 1, 2, MakeColour(1, 2, 3), 0, 0), c.kept) << c.second.x;
        EXPECT_EQ(B().triangleCount, c.kept ? 1 : 0);
    }
    // e1 - e2 short: the second and third corners almost together.
    HoldPoints({{0, 0, 0}, {M, 0, 0}, {M + 100, 100, 0}});
    EXPECT_FALSE(B().AddTriangle(0, 1, 2, MakeColour(1, 2, 3), 0, 0));
    // The face normal is a unit of 65536 by the corners' winding.
    HoldPoints({{0, 0, 0}, {M, 0, 0}, {0, M, 0}});
    ASSERT_TRUE(B().AddTriangle(0, 1, 2, MakeColour(1, 2, 3), 0, 0));
    EXPECT_EQ(B().triangles[0].faceNormal.z, M);
}

TEST(StripMeshTest, CornersShareANormalEntryOnlyWithTheSameKeyAndColourBytes)
{
    HoldPoints({{0, 0, 0}, {M, 0, 0}, {0, M, 0}, {M, M, 0}, {0, 0, M}});
    const Colour grey = MakeColour(100, 100, 100);
    ASSERT_TRUE(B().AddTriangle(0, 1, 2, grey, 1, 0));
    ASSERT_TRUE(B().AddTriangle(1, 3, 2, grey, 1, 0));
    EXPECT_EQ(B().normalCount, 4);
    EXPECT_EQ(B().triangles[1].normals[0], B().triangles[0].normals[1]);
    // A different flags byte, then a different key: entries of their own,
    // chained on the shared point.
    ASSERT_TRUE(B().AddTriangle(0, 4, 1, MakeColour(100, 100, 100, 8), 1, 0));
    EXPECT_EQ(B().normalCount, 7);
    ASSERT_TRUE(B().AddTriangle(0, 1, 4, grey, 2, 0));
    EXPECT_EQ(B().normalCount, 10);
    int chain = 0;
    for (int e = B().points[0].firstNormal; e >= 0; e = B().normals[e].next) {
        ++chain;
    }
    EXPECT_EQ(chain, 3);
    // The entry keeps the first triangle's face normal.
    EXPECT_EQ(B().normals[B().triangles[1].normals[0]].normal.z, M);
}

TEST(StripMeshTest, AnUpNormalColourLightsAsFacingStraightUp)
{
    UseTestView();
    // A wall facing +x, once in a plain colour and once flagged up-facing.
    HoldPoints({{0, 0, 0}, {0, M, 0}, {0, 0, M}});
    B().listCount = 1;
    B().lists[0] = StripListEntry{0, 0, nullptr, nullptr};
    ASSERT_TRUE(B().AddTriangle(0, 1, 2, MakeColour(200, 200, 200, 4), 0, 0));
    ASSERT_TRUE(B().AddTriangle(0, 1, 2, MakeColour(200, 200, 200), 0, 0));
    EXPECT_EQ(B().normals[B().triangles[0].normals[0]].normal.z, M);
    EXPECT_EQ(B().normals[B().triangles[1].normals[0]].normal.x, M);
    std::unique_ptr<ObjectMeshPart> part(B().MakeObjectMeshPart(nullptr));
    ASSERT_NE(part, nullptr);
    ASSERT_EQ(part->vertexCount, 6);
    ObjectMeshVertex up{};
    LightColourByNormal(&up, MakeColour(200, 200, 200, 4), FixVector{0, 0, M}, 0);
    EXPECT_EQ(part->vertices[0].litColour, up.litColour);
    EXPECT_EQ(part->vertices[0].nz, 1.0f);
    ObjectMeshVertex side{};
    LightColourByNormal(&side, MakeColour(200, 200, 200), FixVector{M, 0, 0}, 0);
    EXPECT_EQ(part->vertices[3].litColour, side.litColour);
}

class StripBuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseTestView();
        Material = PlainMaterial();
        Section = StripSection{0, 0, 0, 0, 1};
        Inputs = StripMeshInputs{};
        Inputs.sectionCount = 1;
        Inputs.sections = &Section;
        Inputs.profileCount = 2;
        Inputs.materials = &Material;
        Inputs.materialCount = 1;
        Inputs.lengthFactor = 1.0f;
        Inputs.flags = StripMaterialLists | StripFixedLengths;
    }

    // A row of two points one metre apart along x, at y = row metres.
    static std::vector<FixVector> Row(int row)
    {
        return {{0, row * M, 0}, {M, row * M, 0}};
    }

    // Builds rows 0..rows.
    void Build(int rows)
    {
        Inputs.rowCount = rows;
        const std::vector<FixVector> first = Row(0);
        B().Generate(Inputs, first.data(), nullptr);
        for (int r = 1; r <= rows; ++r) {
            const std::vector<FixVector> row = Row(r);
            B().AddRow(row.data(), nullptr);
        }
    }

    StripMaterial Material{};
    StripSection Section{};
    StripMeshInputs Inputs{};
};

TEST_F(StripBuildTest, APerTileMaterialEmitsInnerRowsTwiceSoEachRowIsOneTile)
{
    Material.perTile = 1;
    Material.vRepeat = 64;
    Material.vOffset = 0;
    Build(3);
    // Rows 0 and 3 once, rows 1 and 2 twice: 2 + 4 + 4 + 2 points.
    EXPECT_EQ(B().pointCount, 12);
    EXPECT_EQ(B().triangleCount, 6);
    // Every quad runs from V 1 (its row's start) to V 0 (the next row's end).
    for (int t = 0; t < B().triangleCount; ++t) {
        float low = 2.0f;
        float high = -1.0f;
        for (int k = 0; k < 3; ++k) {
            const float v = B().points[B().triangles[t].points[k]].v;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        EXPECT_EQ(low, 0.0f) << t;
        EXPECT_EQ(high, 1.0f) << t;
    }
    // A plain material repeats along the length count instead.
    Material.perTile = 0;
    Material.lengthCount = 4;
    Build(3);
    EXPECT_EQ(B().pointCount, 8);
    EXPECT_FLOAT_EQ(B().points[2].v, 0.75f);
    EXPECT_FLOAT_EQ(B().points[6].v, 0.25f);
}

TEST_F(StripBuildTest, PatternBytesColourQuadsAnd255LeavesThemOut)
{
    const Colour colours[3] = {MakeColour(255, 0, 0), MakeColour(0, 255, 0), MakeColour(0, 0, 255)};
    const int32_t fractions[2] = {M / 4, M / 2};
    Material.subdivisionCount = 3;
    Material.subdivisions = fractions;
    Material.colours = colours;
    Material.colourCount = 3;
    // Two pattern rows of three quads.
    const uint8_t pattern[6] = {0, 255, 2, 1, 1, 255};
    Material.pattern = pattern;
    Material.patternLength = 2;
    Build(3);
    EXPECT_EQ(B().pointCount, 16);
    // Rows of quads: 2 drawn, 2 drawn, 2 drawn (pattern rows 0, 1, 0).
    ASSERT_EQ(B().triangleCount, 12);
    EXPECT_EQ(B().triangles[0].colour.red, 255);
    EXPECT_EQ(B().triangles[2].colour.blue, 255);
    EXPECT_EQ(B().triangles[4].colour.green, 255);
    // The subdivision point sits at its fraction, with U along the repeat.
    EXPECT_EQ(B().points[1].position.x, M / 4);
    EXPECT_FLOAT_EQ(B().points[2].u, 0.5f);

    // The four-byte layout: one byte per triangle of a quad.
    Material.subdivisionCount = 1;
    const uint8_t fourBytes[4] = {0, 255, 255, 1};
    Material.pattern = fourBytes;
    Material.patternLength = 1;
    Inputs.flags |= StripPatternLayout;
    Build(2);
    ASSERT_EQ(B().triangleCount, 4);
    EXPECT_EQ(B().triangles[0].colour.red, 255);
    EXPECT_EQ(B().triangles[1].colour.green, 255);
    // Triangle (c1, c0, c2) of the first quad: cur 0, prev 0, prev 1.
    EXPECT_EQ(B().triangles[1].points[0], 2);
    EXPECT_EQ(B().triangles[1].points[1], 0);
    EXPECT_EQ(B().triangles[1].points[2], 1);
}

TEST_F(StripBuildTest, ABuildStopsAddingRowsBeforePassing4096Points)
{
    Build(3000);
    EXPECT_LE(B().pointCount, StripMaxPoints);
    EXPECT_EQ(B().pointCount, 4096);
    EXPECT_EQ(B().rowsAdded, 2047);
    EXPECT_EQ(B().stopped, 1);
    const std::vector<FixVector> row = Row(5000);
    EXPECT_FALSE(B().AddRow(row.data(), nullptr));
    EXPECT_EQ(B().pointCount, 4096);
    // A repeated first row (no points given) closes a ring.
    Build(0);
    EXPECT_TRUE(B().AddRow(nullptr, nullptr));
    EXPECT_EQ(B().points[2].position.y, 0);
}

TEST_F(StripBuildTest, SplitEdgesAreMadeOnce)
{
    Build(1);
    const int count = B().pointCount;
    const int middle = B().SplitEdge(0, 3);
    EXPECT_EQ(middle, count);
    EXPECT_EQ(B().SplitEdge(3, 0), middle);
    EXPECT_EQ(B().pointCount, count + 1);
    EXPECT_EQ(B().points[middle].position.x, M / 2);
    EXPECT_EQ(B().points[middle].position.y, M / 2);
    EXPECT_NE(B().SplitEdge(0, 1), middle);
    EXPECT_EQ(B().SplitEdge(0, 99), -1);
}

TEST_F(StripBuildTest, ModelNodesAndMeshPartsGetOneVertexPerNormalEntryInListOrder)
{
    StripMaterial materials[2] = {PlainMaterial(), PlainMaterial()};
    // A second material: a list of its own.
    materials[1].material = GetMaterial(nullptr, 1, 0, 0, 0, nullptr);
    materials[1].environment = 1;
    materials[1].colour = MakeColour(10, 20, 30);
    const StripSection sections[2] = {{0, 0, 0, 0, 1}, {1, 0, 0, 1, 2}};
    Inputs.sections = sections;
    Inputs.sectionCount = 2;
    Inputs.materials = materials;
    Inputs.materialCount = 2;
    Inputs.profileCount = 3;
    Inputs.rowCount = 1;
    const FixVector first[3] = {{0, 0, 0}, {M, 0, 0}, {2 * M, 0, 0}};
    const FixVector second[3] = {{0, M, 0}, {M, M, 0}, {2 * M, M, 0}};
    B().Generate(Inputs, first, nullptr);
    ASSERT_TRUE(B().AddRow(second, nullptr));
    ASSERT_EQ(B().listCount, 2);
    ASSERT_EQ(B().triangleCount, 4);

    ModelNode *node = CreateModelNode();
    B().MakeModelNode(node);
    EXPECT_EQ(node->listCount, 2);
    EXPECT_EQ(node->vertexCount, 8);
    EXPECT_EQ(node->triangleCount, 4);
    EXPECT_EQ(node->lists[0].vertexCount, 4u);
    EXPECT_EQ(node->lists[1].flags, ModelListEnvironment);
    EXPECT_EQ(node->lists[1].material, materials[1].material);
    EXPECT_EQ(node->vertices[4].surface->bytes[0], 10);
    EXPECT_EQ(node->vertices[0].normal[2], M);
    EXPECT_GE(node->triangles[2].corners[0], 4);
    DeleteModelNode(node);

    // With a light list: ambient only where the sun is not let in.
    std::vector<uint8_t> light(8 * 4, 0);
    for (int v = 0; v < 8; ++v) {
        light[static_cast<size_t>(v * 4)] = 100;
        light[static_cast<size_t>(v * 4 + 1)] = 100;
        light[static_cast<size_t>(v * 4 + 2)] = 100;
        light[static_cast<size_t>(v * 4 + 3)] = v == 0 ? 1 : 0;
    }
    std::unique_ptr<ObjectMeshPart> part(B().MakeObjectMeshPart(light.data()));
    ASSERT_NE(part, nullptr);
    ObjectMeshVertex expected{};
    const int32_t ambient[3] = {100, 100, 100};
    SetAmbientColourPair(&expected, materials[0].colour, ambient, 0);
    EXPECT_EQ(part->vertices[1].litColour, expected.litColour);
    EXPECT_EQ(part->vertices[1].ambientColour, expected.ambientColour);
    // The sun from above lights vertex 0, facing up.
    EXPECT_NE(part->vertices[0].litColour, part->vertices[0].ambientColour);
    EXPECT_EQ(part->vertices[0].ambientColour, expected.ambientColour);
}

class ObjectMeshDrawTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
        ASSERT_EQ(StartGraphics(), 1);
        UseTestView();
    }
    void TearDown() override
    {
        ObjectMeshColourSelector = ObjectMeshLitWord;
        RecordingRenderTest::TearDown();
    }
};

TEST_F(ObjectMeshDrawTest, TheSelectorPicksTheWordAndTrianglesGoInFirstThirdSecond)
{
    ObjectMeshPart part;
    part.vertexCount = 3;
    part.vertices = new ObjectMeshVertex[3]();
    for (int i = 0; i < 3; ++i) {
        part.vertices[i].x = i * M;
        part.vertices[i].y = (i == 2 ? 2 : 0) * M;
        part.vertices[i].z = M / 2;
        part.vertices[i].litColour = 0xFF112233u;
        part.vertices[i].ambientColour = 0xFF445566u;
        part.vertices[i].u = 0.25f * static_cast<float>(i);
    }
    part.triangleCount = 1;
    part.triangles = new ObjectMeshTriangle[1]{{{0, 1, 2}}};
    part.listCount = 1;
    part.lists = new MaterialDrawList[1]();
    part.lists[0].vertexCount = 3;
    part.lists[0].triangleCount = 1;

    for (int selector : {ObjectMeshLitWord, ObjectMeshAmbientWord}) {
        ObjectMeshColourSelector = selector;
        Device.ClearLog();
        part.Draw(0);
        ASSERT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 1u);
        const std::vector<uint8_t> vertices = Device.BufferBytes(WorldBatch.vertexBuffer->handle);
        const std::vector<uint8_t> indices = Device.BufferBytes(WorldBatch.indexBuffer->handle);
        WorldVertex v[3];
        std::memcpy(v, vertices.data(), sizeof v);
        EXPECT_EQ(v[0].colour, selector == ObjectMeshLitWord ? 0xFF112233u : 0xFF445566u);
        EXPECT_EQ(v[2].y, 2.0f);
        EXPECT_EQ(v[1].z, 0.5f);
        EXPECT_EQ(v[2].u, 0.5f);
        uint16_t corners[3];
        std::memcpy(corners, indices.data(), sizeof corners);
        EXPECT_EQ(corners[0], 0);
        EXPECT_EQ(corners[1], 2);
        EXPECT_EQ(corners[2], 1);
    }
}

}  // namespace
