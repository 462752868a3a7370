#include "platform/recording_device.h"
#include "render/device_resources.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class MaterialTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
        ASSERT_EQ(StartGraphics(), 1);
    }

    void TearDown() override
    {
        EnableFog(0);
        RecordingRenderTest::TearDown();
    }
};

TEST_F(MaterialTest, MaterialsAreUniquePerContent)
{
    TextureRecord *road = nullptr;
    ASSERT_EQ(CreateTexture("road", 16, 16, RenderFormatR5G6B5, &road, 0, 0, -1, 0), 0);
    Material *a = GetMaterial(road, 0, 0, 0, 0, nullptr);
    EXPECT_EQ(GetMaterial(road, 0, 0, 0, 0, nullptr), a);
    EXPECT_EQ(GetTextureMaterial("ROAD", 0, 0, 0, 0, 0, nullptr), a);
    Material *doubled = GetMaterial(road, 1, 0, 0, 0, nullptr);
    EXPECT_NE(doubled, a);
    EXPECT_EQ(FindMaterial("Road", 1, 0, 0, 0, nullptr), doubled);
    // An unloaded name: nothing found, nothing loaded.
    const size_t textures = TextureMap.size();
    EXPECT_EQ(FindMaterial("grass", 0, 0, 0, 0, nullptr), nullptr);
    EXPECT_EQ(TextureMap.size(), textures);
    EXPECT_NE(DefaultMaterial, nullptr);
    EXPECT_EQ(DefaultMaterial->PreLit, 1);

    EXPECT_EQ(DeleteMaterialOfTexture(road), 1);
    EXPECT_EQ(DeleteMaterialOfTexture(road), 1);
    EXPECT_EQ(DeleteMaterialOfTexture(road), 0);
    EXPECT_EQ(LookupMaterial(road, 0, 0, 0, 0, nullptr), nullptr);
    DeleteAllMaterials(1);
    EXPECT_EQ(MaterialMap.size(), 1u);  // the default material again
    EXPECT_EQ(*MaterialMap.begin(), DefaultMaterial);
}

TEST_F(MaterialTest, VertexKindsOfMaterials)
{
    struct Case {
        int preLit;
        int envMapped;
        int addPass;
        uint32_t kind;
    };
    const Case cases[] = {{1, 0, 0, 10}, {0, 0, 0, 4}, {0, 1, 0, 1}, {0, 1, 1, 4}, {1, 1, 0, 1}};
    for (const Case &c : cases) {
        Material *m = GetMaterial(nullptr, 0, c.addPass, c.preLit, c.envMapped, nullptr);
        EXPECT_EQ(GetVertexKindOfMaterial(m), c.kind) << c.preLit << c.envMapped << c.addPass;
    }
}

TEST_F(MaterialTest, FogModesAndRange)
{
    EnableFog(0);
    ApplyFogMode(3);
    FlushStateCache();
    EXPECT_EQ(Device.renderStates[RsFogEnable], 0u);
    EnableFog(1);
    FlushStateCache();
    EXPECT_EQ(Device.renderStates[RsFogEnable], 1u);
    EXPECT_EQ(Device.renderStates[RsFogColor], 0u);  // mode 3: black

    SetFogRange(0xC06021, 0.0f, 100.0f);  // (192, 96, 33)
    FlushStateCache();
    const float *c90 = GetVertexConstant(90);
    EXPECT_FLOAT_EQ(c90[0], -0.01f);
    EXPECT_FLOAT_EQ(c90[1], 1.0f);
    EXPECT_FLOAT_EQ(c90[2], 0.5f);
    EXPECT_FLOAT_EQ(c90[3], 0.0f);
    EXPECT_EQ(Device.renderStates[RsFogVertexMode], static_cast<uint32_t>(FogLinear));
    EXPECT_EQ(BitsFloat(Device.renderStates[RsFogEnd]), 100.0f);
    ApplyFogMode(2);
    FlushStateCache();
    EXPECT_EQ(Device.renderStates[RsFogColor], 0x603010u);  // (96, 48, 16)
    const uint32_t expected[] = {0, 0xC06021, 0x603010, 0, 0xFFFFFF, 0x808080};
    for (int mode = 1; mode <= 5; ++mode) {
        ApplyFogMode(mode);
        FlushStateCache();
        EXPECT_EQ(Device.renderStates[RsFogColor], expected[mode]) << mode;
    }

    // A range of nothing stays finite.
    SetFogRange(0x000000, 50.0f, 50.0f);
    FlushStateCache();
    EXPECT_TRUE(std::isfinite(GetVertexConstant(90)[0]));
    EXPECT_FLOAT_EQ(BitsFloat(Device.renderStates[RsFogEnd]), 50.001f);
}

TEST_F(MaterialTest, PartsOfKind14TakeTheirMaterialsKind)
{
    TextureRecord *road = nullptr;
    ASSERT_EQ(CreateTexture("road", 16, 16, RenderFormatR5G6B5, &road, 0, 0, -1, 0), 0);
    Material *const lit = GetMaterial(road, 0, 0, 0, 0, nullptr);
    Material *const preLit = GetMaterial(road, 0, 0, 1, 0, nullptr);
    Material *const env = GetMaterial(road, 0, 0, 0, 1, nullptr);
    Material *const envAdded = GetMaterial(road, 0, 1, 0, 1, nullptr);
    Material *const envPreLit = GetMaterial(road, 0, 0, 1, 1, nullptr);
    Material *const materials[] = {lit, preLit, env, envAdded, envPreLit};
    const uint32_t expected[] = {4, 10, 1, 4, 1};
    RenderObject object("kinds", 1);
    ASSERT_EQ(object.InitParts(5, 1), 0);
    for (int i = 0; i < 5; ++i) {
        object.SetPartMaterial(i, materials[i]);
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(object.parts[i].vertexKind, expected[i]) << "part " << i;
    }
}

}  // namespace
