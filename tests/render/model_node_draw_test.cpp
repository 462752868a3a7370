#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/card_config.h"
#include "core/fixed_math.h"
#include "platform/graphics_device.h"
#include "platform/recording_device.h"
#include "render/geometry_batch.h"
#include "render/lit_colours.h"
#include "render/material.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_device.h"
#include "render/render_object.h"
#include "render/state_cache.h"
#include "render/view.h"

#include "render_fixtures.h"

namespace {

constexpr int32_t M = 65536;

GridCell Surface = {{100, 160, 240, 0}};

// A node in front of the eye (10 m along view z) whose lists are strips:
// list l has listTriangles[l] triangles (v, v + 1, v + 2) over vertices of
// its own, 1 cm apart.
ModelNode *MakeStripNode(const std::vector<int> &listTriangles, const std::vector<uint8_t> &listFlags)
{
    ModelNode *node = CreateModelNode();
    int vertexTotal = 0;
    int triangleTotal = 0;
    for (int t : listTriangles) {
        vertexTotal += t + 2;
        triangleTotal += t;
    }
    node->vertices = new ModelVertex[static_cast<size_t>(vertexTotal)]();
    node->triangles = new ModelTriangle[static_cast<size_t>(triangleTotal)]();
    node->lists = new MaterialDrawList[listTriangles.size()]();
    node->listCount = static_cast<int32_t>(listTriangles.size());
    int v = 0;
    int tri = 0;
    for (size_t l = 0; l < listTriangles.size(); l++) {
        const int first = v;
        for (int i = 0; i < listTriangles[l] + 2; i++, v++) {
            ModelVertex &vertex = node->vertices[v];
            vertex.position[0] = (i % 100) * M / 100;
            vertex.position[1] = (i % 2) * M / 100;
            vertex.normal[2] = -M;
            vertex.surface = &Surface;
        }
        for (int i = 0; i < listTriangles[l]; i++, tri++) {
            ModelTriangle &triangle = node->triangles[tri];
            triangle.corners[0] = static_cast<uint16_t>(first + i);
            triangle.corners[1] = static_cast<uint16_t>(first + i + 1);
            triangle.corners[2] = static_cast<uint16_t>(first + i + 2);
            triangle.surface = &Surface;
        }
        node->lists[l].vertexCount = static_cast<uint32_t>(listTriangles[l] + 2);
        node->lists[l].triangleCount = static_cast<uint32_t>(listTriangles[l]);
        node->lists[l].flags = listFlags[l];
        if ((listFlags[l] & ModelListAlpha) != 0 && node->firstAlphaList == ModelNoAlphaList)
            node->firstAlphaList = static_cast<uint8_t>(l);
    }
    node->vertexCount = vertexTotal;
    node->triangleCount = triangleTotal;
    node->position[2] = 10 * M;
    node->ComputeBounds();
    return node;
}

// The recording device in a scene, a view looking along +z with a 90 degree
// cone, light from above.
class ModelNodeDrawTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        BuildTrigTables();
        InitIdentityTransform();
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(800, 600));
        ASSERT_EQ(StartGraphics(), 1);
        BeginRenderScene();
        previousView = CurrentView;
        view = ViewRecord{};
        CurrentView = &view;
        view.groundColour = {100, 100, 100, 0};
        view.skyLight[0] = view.skyLight[1] = view.skyLight[2] = 200;
        view.upView = {0, M, 0};
        view.sunDirView = {0, 0, -M};
        for (int32_t &level : view.sunLight)
            level = 100;
        UpdateHemisphereLight();
        std::memcpy(savedPlanes, ViewPlanes, sizeof(savedPlanes));
        const int32_t d = 46341;  // 1 / sqrt 2
        ViewPlanes[ViewPlaneBottom] = {0, d, d};
        ViewPlanes[ViewPlaneTop] = {0, -d, d};
        ViewPlanes[ViewPlaneRight] = {-d, 0, d};
        ViewPlanes[ViewPlaneLeft] = {d, 0, d};
        Device.ClearLog();
    }
    void TearDown() override
    {
        GaragePreview = 0;
        ModelPlainSkinMaterial = nullptr;
        for (ModelNode *node : nodes)
            DeleteModelNode(node);
        CurrentView = previousView;
        std::memcpy(ViewPlanes, savedPlanes, sizeof(savedPlanes));
        RecordingRenderTest::TearDown();
    }

    ModelNode *Keep(ModelNode *node)
    {
        nodes.push_back(node);
        return node;
    }

    // Triangle counts of the draws, in order.
    std::vector<uint32_t> DrawnTriangles() const
    {
        std::vector<uint32_t> out;
        for (const DeviceCall &call : Device.CallsNamed("DrawIndexedTriangles"))
            out.push_back(call.args[3]);
        return out;
    }
    std::vector<uint32_t> DrawnVertices() const
    {
        std::vector<uint32_t> out;
        for (const DeviceCall &call : Device.CallsNamed("DrawIndexedTriangles"))
            out.push_back(call.args[1]);
        return out;
    }

    // The world vertices the last draw read.
    std::vector<WorldVertex> LastVertices(size_t count) const
    {
        const std::vector<DeviceCall> binds = Device.CallsNamed("SetStreamSource");
        std::vector<WorldVertex> out(count);
        if (binds.empty())
            return out;
        const std::vector<uint8_t> bytes = Device.BufferBytes(binds.back().args[0]);
        std::memcpy(out.data(), bytes.data(), std::min(bytes.size(), count * sizeof(WorldVertex)));
        return out;
    }

    ViewRecord view{};
    ViewRecord *previousView = nullptr;
    FixVector savedPlanes[ViewPlaneCount]{};
    std::vector<ModelNode *> nodes;
};

TEST_F(ModelNodeDrawTest, BlendingStartsAtTheFirstAlphaListAndEndsWithTheNode)
{
    ModelNode *node = Keep(MakeStripNode({2, 2, 2, 2}, {0, 0, ModelListAlpha, 0}));
    ASSERT_EQ(node->firstAlphaList, 2);
    node->Draw(0, IdentityTransform, 0);

    EXPECT_EQ(DrawnTriangles(), std::vector<uint32_t>({2, 2, 2, 2}));
    // The calls in order: where the blending state went on, and the draws.
    int draw = 0;
    int blendOnBeforeDraw = -1;
    for (const DeviceCall &call : Device.calls) {
        if (call.name == "DrawIndexedTriangles")
            draw++;
        if (call.name == "SetRenderState" && call.args[0] == RsAlphaBlendEnable) {
            EXPECT_EQ(call.args[1], 1u) << "only switched on within the node";
            blendOnBeforeDraw = draw;
        }
    }
    EXPECT_EQ(blendOnBeforeDraw, 2) << "on just before list 2, and it stays on for list 3";
    EXPECT_EQ(WantedRenderState(RsAlphaBlendEnable), 0u);
}

TEST_F(ModelNodeDrawTest, LongListsFlushEvery5120TrianglesAndReAddTheirVertices)
{
    ModelNode *node = Keep(MakeStripNode({6000}, {0}));
    node->Draw(0, IdentityTransform, 0);
    EXPECT_EQ(DrawnTriangles(), std::vector<uint32_t>({5120, 880}));
    // The strip's triangle 5120 uses vertices 5120 and 5121 again.
    EXPECT_EQ(DrawnVertices(), std::vector<uint32_t>({5122, 882}));

    // The skinned draw takes the same pieces rather than overrunning the
    // batch's indices.
    Device.ClearLog();
    FixTransform bone = IdentityTransform;
    node->DrawSkinned(IdentityTransform, &bone, 1);
    EXPECT_EQ(DrawnTriangles(), std::vector<uint32_t>({5120, 880}));
    EXPECT_EQ(DrawnVertices(), std::vector<uint32_t>({5122, 882}));
}

TEST_F(ModelNodeDrawTest, ANodeOutsideTheViewDrawsNothingChildrenIncluded)
{
    ModelNode *parent = Keep(MakeStripNode({4}, {0}));
    ModelNode *child = MakeStripNode({4}, {0});
    parent->children = new ModelNode *[1]{child};
    parent->childCount = 1;
    // Behind the eye, with a child that alone would be in view.
    parent->position[2] = -50 * M;
    child->position[2] = 60 * M;
    parent->Draw(1, IdentityTransform, 0);
    EXPECT_TRUE(DrawnTriangles().empty());

    // In view, the child draws first.
    parent->position[2] = 10 * M;
    child->position[2] = 1 * M;
    parent->Draw(1, IdentityTransform, 0);
    EXPECT_EQ(DrawnTriangles(), std::vector<uint32_t>({4, 4}));
    const std::vector<WorldVertex> last = LastVertices(1);
    EXPECT_FLOAT_EQ(last[0].z, 10.0f) << "the parent's own list last";
}

TEST_F(ModelNodeDrawTest, ThePreviewDrawsEverythingAThousandMetresFurther)
{
    ModelNode *node = Keep(MakeStripNode({3}, {ModelListCarSpecific}));
    Material own{};
    Material plain{};
    node->lists[0].material = &own;
    ModelPlainSkinMaterial = &plain;
    node->position[2] = -50 * M;  // behind the eye: no culling in the preview
    GaragePreview = 1;
    node->Draw(0, IdentityTransform, 0);
    ASSERT_EQ(DrawnTriangles(), std::vector<uint32_t>({3}));
    EXPECT_FLOAT_EQ(LastVertices(1)[0].z, 950.0f);
    EXPECT_EQ(WorldBatch.material, &own);

    // Plain skins: the car-specific list takes the plain material.
    Device.ClearLog();
    node->DrawWithOptions(0, IdentityTransform, nullptr, 0, 1);
    ASSERT_EQ(DrawnTriangles(), std::vector<uint32_t>({3}));
    EXPECT_EQ(WorldBatch.material, &plain);
    EXPECT_FLOAT_EQ(LastVertices(1)[0].z, 950.0f);
}

TEST_F(ModelNodeDrawTest, SharedVerticesAreLitOnceWithTheSurfaceColour)
{
    ModelNode *node = Keep(MakeStripNode({4}, {0}));
    node->vertices[2].flags = 1 << ModelVertexLightingShift;  // one class darker
    node->Draw(0, IdentityTransform, 0);
    ASSERT_EQ(DrawnVertices(), std::vector<uint32_t>({6}));
    const std::vector<WorldVertex> drawn = LastVertices(6);
    // Facing the sun (normal -z, sun -z), sideways to up: the hemisphere half
    // way and the full sun.
    const uint32_t lit = ShadeColourUnlessUnlit({0, 0, -M}, Colour{100, 160, 240, 0}, 0);
    EXPECT_EQ(drawn[0].colour, lit);
    EXPECT_EQ(drawn[1].colour, lit);
    EXPECT_EQ(drawn[2].colour, ShadeColourUnlessUnlit({0, 0, -M}, Colour{100, 160, 240, 0}, 1));
    EXPECT_NE(drawn[2].colour, lit);
}

}  // namespace

namespace {

// Two triangles over six points: points 0..2 name bone entry 0, points 3..5
// entry 1, whose triangle is mirrored. Entry 1 uses transform 1, and its
// mirrored side transform 2.
struct SkinFixture {
    Object3D object{};
    SkinFixture()
    {
        InitObject3D(&object);
        object.lodCount = 1;
        object.groupCount = 1;
        object.lodDistances[0] = 100 * M;
        object.pointCount = 6;
        object.points = new ObjectPoint[6]();
        const int32_t xyz[6][3] = {{M, 0, 0},     {2 * M, 0, 0},     {M, M, 0},
                                   {M, 0, 2 * M}, {2 * M, 0, 2 * M}, {M, M, 3 * M}};
        for (int p = 0; p < 6; p++) {
            object.points[p].x = xyz[p][0];
            object.points[p].y = xyz[p][1];
            object.points[p].z = xyz[p][2];
            object.points[p].bone = p < 3 ? 0 : 1;
            object.points[p].flags = p < 3 ? 0 : PointHasTwin;
        }
        object.triangleCount = 2;
        object.triangles = new ObjectTriangle[2]();
        const uint16_t corners[2][3] = {{0, 1, 2}, {3, 4, 5}};
        for (int t = 0; t < 2; t++) {
            for (int k = 0; k < 3; k++)
                object.triangles[t].corners[k] = corners[t][k];
            object.triangles[t].normalWeight = 1;
        }
        object.triangles[1].flags = TriangleMirrored;
        object.surfaces.width = 1;
        object.surfaces.height = 1;
        object.surfaces.cells = new GridCell[1]();
        object.surfaces.cells[0].bytes[0] = 200;
        object.mappingCount = 1;
        object.mappings = new ObjectMapping[1]();
        object.materialCount = 1;
        object.materials = new ObjectMaterial[1]();
        object.materials[0].uRepeat = object.materials[0].vRepeat = 64;
        object.textureCount = 1;
        object.textures = new ObjectTexture[1]();
        std::snprintf(object.textures[0].name, sizeof(object.textures[0].name), "skin");
    }
    ~SkinFixture() { FreeObject3D(&object); }
};

TEST_F(ModelNodeDrawTest, ASkinnedBuildStoresVerticesInTheirBonesAndDrawsBackInPlace)
{
    SkinFixture fixture;
    FixTransform bones[3];
    bones[0].Set(FixIdentityMatrix, FixVector{M, 0, 0});
    FixMatrix quarter{};
    SetFixMatrix(quarter, 0, -M, 0, M, 0, 0, 0, 0, M);  // a quarter turn about z
    bones[1].Set(quarter, FixVector{0, 2 * M, 0});
    bones[2].Set(FixIdentityMatrix, FixVector{0, 0, 3 * M});
    const SkeletonEntry entries[2] = {{0, 0}, {1, 1}};
    const ModelSkeleton skeleton = {entries, 2, bones, 3};

    ModelNode *plain = Keep(CreateModelNode());
    ModelNode *skinned = Keep(CreateModelNode());
    LoadObjectTextures(&fixture.object, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(&fixture.object, plain, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    BuildModelFromObject(&fixture.object, skinned, nullptr, nullptr, 0, BuildNoChildren, 0, &skeleton, M, M,
                         AllObjectParts);
    ASSERT_EQ(plain->vertexCount, 9);
    ASSERT_EQ(skinned->vertexCount, 9);
    ASSERT_EQ(skinned->triangleCount, 3);
    int perBone[3] = {0, 0, 0};
    for (int v = 0; v < 9; v++) {
        const ModelVertex &in = skinned->vertices[v];
        const ModelVertex &model = plain->vertices[v];
        ASSERT_LT(in.bone, 3);
        perBone[in.bone]++;
        // The mirrored side of entry 1 takes its mirror bit.
        EXPECT_EQ(in.bone == 2, (in.flags & ModelVertexMirrored) != 0) << v;
        // Stored in the bone's frame: the bone takes it back to model space.
        FixVector back;
        bones[in.bone].Apply(FixVector{in.position[0], in.position[1], in.position[2]}, back);
        EXPECT_NEAR(back.x, model.position[0], 2) << v;
        EXPECT_NEAR(back.y, model.position[1], 2) << v;
        EXPECT_NEAR(back.z, model.position[2], 2) << v;
        // The normal too, turned into the bone's frame.
        FixVector normal;
        TransformFixVector(bones[in.bone].matrix, FixVector{in.normal[0], in.normal[1], in.normal[2]}, normal);
        EXPECT_NEAR(normal.x, model.normal[0], 2) << v;
        EXPECT_NEAR(normal.y, model.normal[1], 2) << v;
        EXPECT_NEAR(normal.z, model.normal[2], 2) << v;
    }
    EXPECT_EQ(perBone[0], 3);
    EXPECT_EQ(perBone[1], 3);
    EXPECT_EQ(perBone[2], 3);

    // Drawn skinned with the same bones, the vertices land where the plain
    // build's do.
    skinned->DrawSkinned(IdentityTransform, bones, 3);
    const std::vector<WorldVertex> drawn = LastVertices(9);
    ASSERT_EQ(DrawnVertices(), std::vector<uint32_t>({9}));
    for (int v = 0; v < 9; v++) {
        EXPECT_NEAR(drawn[v].x, plain->vertices[v].position[0] / 65536.0f, 1e-4f) << v;
        EXPECT_NEAR(drawn[v].y, plain->vertices[v].position[1] / 65536.0f, 1e-4f) << v;
        EXPECT_NEAR(drawn[v].z, plain->vertices[v].position[2] / 65536.0f, 1e-4f) << v;
    }
}

}  // namespace
