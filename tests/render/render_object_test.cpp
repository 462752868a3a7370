#include "render/buffer_pools.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_object.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// One indexed draw as the device got it.
struct PartDraw {
    uint32_t firstVertex;
    uint32_t vertexCount;
    uint32_t firstIndex;
    uint32_t triangleCount;
};

PartVertex Vertex(float x, float y, float z)
{
    PartVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.nz = 1.0f;
    v.diffuse = 0xFF808080u;
    return v;
}

// Adds a quad (4 vertices, 2 triangles) to the item being collected.
void AddQuad(RenderPart &part, float x)
{
    const int a = part.AddVertex(Vertex(x, 0, 0));
    const int b = part.AddVertex(Vertex(x + 1, 0, 0));
    const int c = part.AddVertex(Vertex(x + 1, 1, 0));
    const int d = part.AddVertex(Vertex(x, 1, 0));
    part.AddTriangle(static_cast<uint16_t>(a), static_cast<uint16_t>(b), static_cast<uint16_t>(c));
    part.AddTriangle(static_cast<uint16_t>(a), static_cast<uint16_t>(c), static_cast<uint16_t>(d));
}

class RenderObjectTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(800, 600));
        ASSERT_EQ(StartGraphics(), 1);
        Device.ClearLog();
    }
    void TearDown() override
    {
        DeleteAllRenderObjects();
        RecordingRenderTest::TearDown();
    }

    // The indexed draws since the log was last cleared.
    std::vector<PartDraw> Draws() const
    {
        std::vector<PartDraw> draws;
        for (const DeviceCall &call : Device.CallsNamed("DrawIndexedTriangles"))
            draws.push_back(PartDraw{call.args[0], call.args[1], call.args[2], call.args[3]});
        return draws;
    }

    // One part; item i gets a quad unless it is listed in `empty`.
    static RenderObject *BuildItems(int items, const std::vector<int> &empty = {})
    {
        RenderObject *object = new RenderObject("items", 1);
        object->InitParts(1, items);
        object->SetPartMaterial(0, nullptr);
        for (int i = 0; i < items; ++i) {
            EXPECT_EQ(object->ClearParts(), i);
            bool skip = false;
            for (int e : empty)
                skip = skip || e == i;
            if (!skip)
                AddQuad(object->parts[0], static_cast<float>(i));
            object->FinishParts();
        }
        object->Build(0);
        return object;
    }
};

TEST_F(RenderObjectTest, ItemIndicesAreOffsetByTheItemsFirstVertexAndReadBackRelative)
{
    RenderObject object("mesh", 1);
    object.InitParts(2, 3);
    object.SetPartMaterial(0, nullptr);
    object.SetPartMaterial(1, nullptr);

    object.ClearParts();
    AddQuad(object.parts[0], 0.0f);
    object.FinishParts();

    object.ClearParts();
    // Vertices but no triangles: recorded empty.
    object.parts[0].AddVertex(Vertex(5, 5, 5));
    // A triangle reaching a vertex the item does not have is dropped.
    AddQuad(object.parts[1], 2.0f);
    object.parts[1].AddTriangle(0, 1, 7);
    object.FinishParts();

    object.ClearParts();
    AddQuad(object.parts[0], 3.0f);
    object.FinishParts();
    object.Build(0);

    const RenderPart &part = object.parts[0];
    EXPECT_EQ(part.itemCount, 3u);
    EXPECT_EQ(part.vertexCount, 8u);
    EXPECT_EQ(part.indexCount, 12u);
    EXPECT_TRUE(part.IsItemEmpty(1));
    EXPECT_EQ(part.ItemVertexCount(1), 0);
    // Item 2 starts at vertex 4: its stored indices are 4.., read back 0..
    EXPECT_EQ(part.ranges[2].firstVertex, 4u);
    EXPECT_EQ(part.indices[6], 4u);
    int a = -1, b = -1, c = -1;
    ASSERT_TRUE(part.ItemTriangle(2, 1, &a, &b, &c));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(c, 3);
    ASSERT_NE(part.ItemVertex(2, 1), nullptr);
    EXPECT_EQ(part.ItemVertex(2, 1)->x, 4.0f);
    EXPECT_EQ(part.ItemVertex(2, 4), nullptr);
    EXPECT_FALSE(part.ItemTriangle(2, 2, &a, &b, &c));

    EXPECT_EQ(object.parts[1].ItemTriangleCount(1), 2);
    EXPECT_TRUE(object.parts[1].IsItemEmpty(0));

    // Nothing can be added after the build.
    EXPECT_EQ(object.ClearParts(), -1);
    EXPECT_EQ(object.parts[0].AddVertex(Vertex(0, 0, 0)), -1);
}

TEST_F(RenderObjectTest, ConsecutiveVisibleItemsAreOneDrawCall)
{
    struct Case {
        std::vector<int> marked;
        std::vector<int> empty;
        std::vector<std::pair<int, int>> runs;  // first and last item of each draw
    };
    const Case cases[] = {
        {{3, 4, 5, 9}, {}, {{3, 5}, {9, 9}}},
        {{6, 7, 8, 9, 10}, {}, {{6, 10}}},             // across a byte boundary
        {{2, 3, 4}, {3}, {{2, 2}, {4, 4}}},            // an empty item is never drawn
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {}, {{0, 11}}},
        {{11}, {}, {{11, 11}}},
    };
    for (const Case &test : cases) {
        RenderObject *object = BuildItems(12, test.empty);
        for (int item : test.marked)
            object->SetPartVisible(item, 0);
        Device.ClearLog();
        object->DrawVisible();
        ASSERT_EQ(Draws().size(), test.runs.size()) << "first marked " << test.marked[0];
        for (size_t i = 0; i < test.runs.size(); ++i) {
            const int first = test.runs[i].first;
            const int last = test.runs[i].second;
            int quadsBefore = first;
            for (int e : test.empty)
                quadsBefore -= e < first ? 1 : 0;
            EXPECT_EQ(Draws()[i].firstVertex, static_cast<uint32_t>(4 * quadsBefore));
            EXPECT_EQ(Draws()[i].firstIndex, static_cast<uint32_t>(6 * quadsBefore));
            // Empty items hold no geometry, so a run's size counts drawn items only.
            EXPECT_EQ(Draws()[i].triangleCount, static_cast<uint32_t>(2 * (last - first + 1)));
        }
        // Marks last one draw.
        Device.ClearLog();
        object->DrawVisible();
        EXPECT_TRUE(Draws().empty());
        delete object;
    }
}

TEST_F(RenderObjectTest, MarksOutsideTheItemsAreIgnoredAndMaskedDrawsHonourMasks)
{
    RenderObject *object = BuildItems(4);
    object->SetPartVisible(4, 0);  // item count
    object->SetPartVisible(-1, 0);
    object->DrawVisible();
    EXPECT_TRUE(Draws().empty());

    // Nothing masked: nothing drawn.
    object->SetPartVisible(1, 0);
    object->DrawMasked(2);
    EXPECT_TRUE(Draws().empty());
    object->DrawVisible();
    EXPECT_EQ(Draws().size(), 1u);

    // Marked twice with different masks: the last mask, drawn once.
    Device.ClearLog();
    object->SetPartVisible(2, 0x5);
    object->SetPartVisible(2, 0x6);
    EXPECT_EQ(object->itemMasks[2], 0x6u);
    EXPECT_EQ(object->maskUnion, 0x7u);
    object->DrawMasked(1);
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws()[0].firstVertex, 8u);
    // No caster is active: none is honoured, the item is drawn plain and
    // nothing is left over for the multiplicative passes.
    EXPECT_EQ(object->parts[0].itemData[4], 0u);
    EXPECT_EQ(object->maskUnion, 0u);
    Device.ClearLog();
    object->DrawMasked(1);
    EXPECT_TRUE(Draws().empty());
    delete object;
}

TEST_F(RenderObjectTest, PartsByMaterialAndVertexKind)
{
    Material *const a = GetMaterial(nullptr, 0, 0, 1, 0, nullptr);  // pre-lit: kind 10
    Material *const b = GetMaterial(nullptr, 1, 0, 0, 0, nullptr);
    RenderObject object("kinds", 1);
    object.InitParts(2, 1);
    object.SetPartMaterial(0, a);
    object.SetPartMaterial(1, b, 4, 14, 14, 14);
    object.SetPartMaterial(2, a);  // no such part: ignored
    EXPECT_EQ(object.parts[0].vertexKind, 10u);
    EXPECT_EQ(object.parts[1].vertexKind, 4u);

    RenderPart *part = nullptr;
    EXPECT_EQ(object.FindPart(b, &part), 1);
    EXPECT_EQ(part, &object.parts[1]);
    EXPECT_EQ(object.FindPart(GetMaterial(nullptr, 0, 1, 0, 0, nullptr), &part), 2);
    EXPECT_EQ(part, nullptr);
}

TEST_F(RenderObjectTest, LevelMeshesAreEditedOneLevelAtATime)
{
    RenderObject *lamp = CreateRenderObject("PRT0");
    lamp->InitParts(1, 4);
    lamp->SetPartMaterial(0, nullptr);
    EXPECT_EQ(lamp->GetLevelMesh(0), nullptr);  // not open

    ASSERT_EQ(lamp->OpenForEdit(), 0);
    RenderPart *mesh = lamp->GetLevelMesh(0);
    ASSERT_NE(mesh, nullptr);
    AddQuad(*mesh, 0.0f);
    EXPECT_EQ(lamp->GetLevelMesh(0), mesh);  // the same level again
    lamp->CloseEdit();

    // Level 2 after level 0: level 1 is recorded empty.
    lamp->OpenForEdit();
    mesh = lamp->GetLevelMesh(2);
    ASSERT_NE(mesh, nullptr);
    mesh->AddVertex(Vertex(1, 2, 3));
    mesh->AddVertex(Vertex(4, 5, 6));
    mesh->AddVertex(Vertex(7, 8, 9));
    mesh->AddTriangle(2, 1, 0);
    EXPECT_EQ(lamp->GetLevelMesh(1), nullptr);  // passed already
    EXPECT_EQ(lamp->GetLevelMesh(4), nullptr);  // no such level
    EXPECT_EQ(lamp->GetLevelMesh(3, 1), nullptr);  // no such part
    lamp->CloseEdit();

    lamp->Build(0);
    EXPECT_EQ(lamp->OpenForEdit(), -1);
    const RenderPart &part = lamp->parts[0];
    EXPECT_EQ(part.ItemTriangleCount(0), 2);
    EXPECT_TRUE(part.IsItemEmpty(1));
    ASSERT_EQ(part.ItemVertexCount(2), 3);
    EXPECT_EQ(part.ItemVertex(2, 2)->z, 9.0f);
    int a, b, c;
    ASSERT_TRUE(part.ItemTriangle(2, 0, &a, &b, &c));
    EXPECT_EQ(a, 2);
    EXPECT_EQ(c, 0);

    // Drawing a level marks its item.
    lamp->SetPartVisible(2, 0);
    lamp->DrawVisible();
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws()[0].firstVertex, 4u);
    EXPECT_EQ(Draws()[0].vertexCount, 3u);
    DeleteRenderObject(&lamp);
}

// Indices are offset by each item's first vertex: a part of more than
// 65536 vertices would wrap 16-bit indices onto other items' vertices. Such
// a part indexes with 32 bits and keeps every item; others stay 16-bit.
TEST_F(RenderObjectTest, APartPastSixteenBitIndicesGetsThirtyTwoBitIndicesAndDrawsEveryItem)
{
    const struct {
        std::vector<int> sizes;
        uint32_t indexFormat;
    } cases[] = {
        {{40000, 30000, 25536}, RenderFormatIndex32},
        {{40000, 25536}, RenderFormatIndex16},  // exactly 65536 vertices: the last index is 65535
    };
    for (const auto &test : cases) {
        RenderObject object("big", 1);
        const int items = static_cast<int>(test.sizes.size());
        object.InitParts(1, items);
        object.SetPartMaterial(0, nullptr);
        for (int size : test.sizes) {
            object.ClearParts();
            RenderPart &part = object.parts[0];
            for (int i = 0; i < size; ++i)
                part.AddVertex(Vertex(static_cast<float>(i), 0, 0));
            part.AddTriangle(0, 1, static_cast<uint16_t>(size - 1));
            object.FinishParts();
        }
        Device.ClearLog();
        object.Build(0);
        const RenderPart &part = object.parts[0];
        const std::vector<DeviceCall> made = Device.CallsNamed("CreateIndexBuffer");
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(made[0].args[2], test.indexFormat);
        ASSERT_NE(part.indexBuffer, nullptr);
        const std::vector<uint8_t> bytes = Device.BufferBytes(part.indexBuffer->handle);
        const size_t width = test.indexFormat == RenderFormatIndex32 ? 4 : 2;
        ASSERT_EQ(bytes.size(), width * 3 * static_cast<size_t>(items));
        uint32_t first = 0;
        for (int item = 0; item < items; ++item) {
            EXPECT_EQ(part.ItemTriangleCount(item), 1) << item;
            // The item's last corner, offset by its first vertex.
            uint32_t last = 0;
            std::memcpy(&last, &bytes[width * (3 * static_cast<size_t>(item) + 2)], width);
            EXPECT_EQ(last, first + static_cast<uint32_t>(test.sizes[static_cast<size_t>(item)]) - 1) << item;
            first += static_cast<uint32_t>(test.sizes[static_cast<size_t>(item)]);
            object.SetPartVisible(item, 0);
        }
        Device.ClearLog();
        object.DrawVisible();
        ASSERT_EQ(Draws().size(), 1u);
        EXPECT_EQ(Draws()[0].triangleCount, static_cast<uint32_t>(items));
        EXPECT_EQ(Draws()[0].vertexCount, first);
    }

    RenderObject full("full", 1);
    full.InitParts(1, 1);
    full.ClearParts();
    for (int i = 0; i < 65536; ++i)
        full.parts[0].AddVertex(Vertex(0, 0, 0));
    EXPECT_EQ(full.parts[0].AddVertex(Vertex(0, 0, 0)), -1);
}

TEST_F(RenderObjectTest, BoundsAlwaysContainTheOrigin)
{
    RenderObject object("bounds", 1);
    object.InitParts(2, 1);
    object.ClearParts();
    object.parts[0].AddVertex(Vertex(1, 2, 3));
    object.parts[0].AddVertex(Vertex(2, 4, 5));
    object.parts[0].AddVertex(Vertex(1.5f, 3, -1));
    object.parts[0].AddTriangle(0, 1, 2);
    object.parts[1].AddVertex(Vertex(-50, -50, -50));  // not part 0: not in the box
    object.parts[1].AddTriangle(0, 0, 0);
    object.Build(1);

    ASSERT_NE(object.bounds, nullptr);
    EXPECT_EQ(object.hullVertexCount, 3);
    const float *lowCorner = &object.bounds[0];
    const float *highCorner = &object.bounds[21];
    EXPECT_EQ(lowCorner[0], 0.0f);
    EXPECT_EQ(lowCorner[1], 0.0f);
    EXPECT_EQ(lowCorner[2], -1.0f);
    EXPECT_EQ(highCorner[0], 2.0f);
    EXPECT_EQ(highCorner[1], 4.0f);
    EXPECT_EQ(highCorner[2], 5.0f);
    EXPECT_EQ(object.bounds[24 + 3 * 2 + 2], -1.0f);  // part 0's third position
}

TEST_F(RenderObjectTest, MapKeepsTheFirstObjectOfANameCaseInsensitively)
{
    RenderObject *first = CreateRenderObject("SOL1");
    RenderObject *second = CreateRenderObject("sol1");
    ASSERT_NE(first, second);
    EXPECT_EQ(first->notInMap, 0u);
    EXPECT_EQ(second->notInMap, 1u);
    EXPECT_EQ(FindRenderObject("Sol1"), first);

    // Deleting the unentered one leaves the entry alone.
    DeleteRenderObject(&second);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(FindRenderObject("SOL1"), first);
    DeleteRenderObject(&second);  // null: nothing

    DeleteRenderObject(&first);
    EXPECT_EQ(FindRenderObject("SOL1"), nullptr);
    EXPECT_EQ(RenderObjectMapCount(), 0);

    // Names are cut to 63 characters.
    const std::string longName(80, 'x');
    RenderObject *cut = CreateRenderObject(longName.c_str());
    EXPECT_EQ(std::string(cut->name).size(), 63u);
    CreateRenderObject("ALP2");
    EXPECT_EQ(RenderObjectMapCount(), 2);
    DeleteAllRenderObjects();
    EXPECT_EQ(RenderObjectMapCount(), 0);
}

TEST_F(RenderObjectTest, PerspectiveUsesTheViewportAspect)
{
    const RenderViewport saved = RenderDevice.Viewport;
    RenderDevice.Viewport.width = 800;
    RenderDevice.Viewport.height = 600;
    ASSERT_EQ(SetPerspective(1.0f, 0.25f, 1000.0f, 0.1f, -0.2f), 0);
    const float *p = GetTransformState().projection;
    EXPECT_EQ(p[0], 2.0f);
    EXPECT_FLOAT_EQ(p[5], 8.0f / 3.0f);
    EXPECT_EQ(p[8], 0.1f);
    EXPECT_EQ(p[9], -0.2f);
    EXPECT_EQ(p[11], 1.0f);

    RenderDevice.Viewport.height = 0;
    ASSERT_EQ(SetPerspective(2.0f, 0.0f, 0.0f, 0, 0), 0);
    EXPECT_EQ(p[5], 1.0f);
    EXPECT_TRUE(std::isfinite(p[10]) && std::isfinite(p[14]));

    EXPECT_EQ(SetPerspective(0.0f, 0.25f, 100.0f, 0, 0), -1);
    EXPECT_EQ(SetPerspective(NAN, 0.25f, 100.0f, 0, 0), -1);
    EXPECT_EQ(p[0], 1.0f);
    RenderDevice.Viewport = saved;
}

TEST_F(RenderObjectTest, MatrixFunctions)
{
    float m[16];
    SetScaleMatrix(m, 2.0f, 4.0f, 0.5f);
    m[12] = 1.0f;
    m[13] = -2.0f;
    m[14] = 3.0f;
    const float p[3] = {1.0f, 1.0f, 2.0f};
    float q[3];
    TransformPoint(q, p, m);
    EXPECT_EQ(q[0], 3.0f);
    EXPECT_EQ(q[1], 2.0f);
    EXPECT_EQ(q[2], 4.0f);

    float inverse[16], product[16];
    ASSERT_EQ(InvertMatrix(inverse, m), 0);
    MultiplyMatrix(product, m, inverse);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product[i], i % 5 == 0 ? 1.0f : 0.0f, 1e-6f) << i;

    ScaleMatrixAxes(m, 0.5f, 1.0f, 2.0f);
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[10], 1.0f);
    EXPECT_EQ(m[12], 0.5f);
    EXPECT_EQ(m[14], 6.0f);

    float t[16];
    TransposeMatrix(t, m);
    EXPECT_EQ(t[3], m[12]);

    // A singular matrix leaves the output alone and the world inverse falls back to identity.
    float singular[16];
    SetScaleMatrix(singular, 1.0f, 0.0f, 1.0f);
    SetIdentityMatrix(inverse);
    EXPECT_EQ(InvertMatrix(inverse, singular), -1);
    EXPECT_EQ(inverse[5], 1.0f);
    SetWorldMatrix(singular);
    EXPECT_EQ(GetTransformState().worldInverse[5], 1.0f);
    ResetWorldMatrix();
}

TEST_F(RenderObjectTest, BitScans)
{
    const struct {
        uint32_t mask;
        int start;
        int next;
    } cases[] = {
        {0, 0, 32}, {1, 0, 0}, {1, 1, 32}, {0x80000000u, 5, 31}, {0x00010100u, 9, 16}, {0xFFu, 32, 32},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FindNextSetBit(c.mask, c.start), c.next) << c.mask << " from " << c.start;
    EXPECT_EQ(CountSetBits(0), 0);
    EXPECT_EQ(CountSetBits(0xF0F00001u), 9);
}

TEST_F(RenderObjectTest, VertexConstantsOfASource)
{
    auto uploaded = [this] {
        std::vector<int> registers;
        for (const DeviceCall &call : Device.CallsNamed("SetVertexShaderConstant"))
            for (uint32_t r = call.args[0]; r < call.args[0] + call.args[1]; ++r)
                registers.push_back(static_cast<int>(r));
        return registers;
    };

    // The default source: up axis (0, 0, 1, 1), white hemisphere, sun from above.
    ResetViewMatrix();
    float world[16];
    SetIdentityMatrix(world);
    world[12] = 5.0f;  // translation x
    SetWorldMatrix(world);
    UseDefaultVertexConstants();
    EXPECT_EQ(CurrentVertexConstantSource(), nullptr);
    const float *c7 = GetVertexConstant(7);
    EXPECT_EQ(c7[2], 1.0f);
    EXPECT_EQ(c7[3], 1.0f);
    EXPECT_EQ(GetVertexConstant(10)[2], 1.0f);
    EXPECT_EQ(GetVertexConstant(9)[0], 0.0f);
    // c0..c3 hold world x view x projection transposed: the translation
    // reaches column 3 of register 0.
    const float *wvp = GetTransformState().worldViewProjection;
    EXPECT_EQ(GetVertexConstant(0)[3], wvp[12]);
    EXPECT_NE(wvp[12], 0.0f);
    EXPECT_EQ(GetTransformState().worldInverse[12], -5.0f);

    // A source with a dark ground: c8 halfway between ground and sky, c9 half the difference.
    VertexConstantSource source;
    source.groundFactors[0] = 0.5f;
    source.skyColour[0] = 0.8f;
    source.groundW = 0.0f;
    source.sunColour[1] = 0.25f;
    UseVertexConstantSource(&source);
    EXPECT_EQ(CurrentVertexConstantSource(), &source);
    EXPECT_FLOAT_EQ(GetVertexConstant(8)[0], 0.4f + 0.2f);
    EXPECT_FLOAT_EQ(GetVertexConstant(9)[0], 0.2f);
    EXPECT_FLOAT_EQ(GetVertexConstant(8)[3], 0.5f);
    EXPECT_FLOAT_EQ(GetVertexConstant(9)[3], 0.5f);
    EXPECT_EQ(GetVertexConstant(6)[1], 0.25f);
    UseDefaultVertexConstants();

    // One item drawn with a matrix: c80..c83 = (object matrix x matrix) transposed.
    RenderObject *object = BuildItems(2);
    object->SetPartVisible(0, 0);
    object->DrawVisible();  // takes the world matrix
    float itemMatrix[16];
    SetIdentityMatrix(itemMatrix);
    itemMatrix[13] = 2.0f;
    Device.ClearLog();
    object->DrawItemWithMatrix(itemMatrix, 1);
    EXPECT_EQ(uploaded(), (std::vector<int>{80, 81, 82, 83}));
    EXPECT_EQ(GetVertexConstant(80)[3], 5.0f);
    EXPECT_EQ(GetVertexConstant(81)[3], 2.0f);
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws()[0].firstVertex, 4u);
    EXPECT_EQ(GetVertexConstant(VertexConstantRegisters), nullptr);

    // The device holds what the render layer holds.
    for (int r : {0, 6, 7, 8, 80, 83})
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(Device.constants[r][k], GetVertexConstant(r)[k]) << "c" << r;
    delete object;
    ResetWorldMatrix();
}

}  // namespace
