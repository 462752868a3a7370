#include "platform/recording_device.h"
#include "render/device_resources.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using render_test::RenderLogLines;

class TextureManagerTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
    }

    void Start()
    {
        ASSERT_EQ(StartGraphics(), 1);
        BeginRenderScene();
        FlushStateCache();
        Device.ClearLog();
    }

    std::vector<std::string> BiasCalls()
    {
        std::vector<std::string> calls;
        for (const DeviceCall &call : Device.CallsNamed("SetTextureStageState")) {
            if (call.args[1] == TssMipMapLodBias) {
                calls.push_back(std::to_string(call.args[0]) + " " + std::to_string(BitsFloat(call.args[2])));
            }
        }
        return calls;
    }
};

TEST_F(TextureManagerTest, NamesIgnoreTheCaseOfLettersAndLodClassesOnlyRise)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TextureRecord *road = nullptr;
    ASSERT_EQ(CreateTexture("Road", 64, 64, RenderFormatR5G6B5, &road, 0, 2, -1, 0), 0);
    EXPECT_EQ(FindTexture("ROAD"), road);
    EXPECT_EQ(FindTexture("road"), road);
    EXPECT_EQ(FindTexture("Road_"), nullptr);
    EXPECT_EQ(GetTexture("rOaD", 1), road);
    EXPECT_EQ(road->lodClass, 2);
    EXPECT_EQ(GetTexture("ROAD", 3), road);
    EXPECT_EQ(road->lodClass, 3);
    // Not loadable yet: the placeholder, and nothing added.
    EXPECT_EQ(GetTexture("missing", 0), PlaceholderTexture);
    EXPECT_EQ(TextureMap.size(), 1u);
    DeleteTexture(road);
    EXPECT_TRUE(TextureMap.empty());
}

TEST_F(TextureManagerTest, StagesBindOnlyChangesAndTheBiasFollowsOneLastLodClass)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TextureRecord *a = nullptr;
    TextureRecord *b = nullptr;
    TextureRecord *c = nullptr;
    ASSERT_EQ(CreateTexture("a", 8, 8, RenderFormatR5G6B5, &a, 0, 2, -1, 0), 0);
    ASSERT_EQ(CreateTexture("b", 8, 8, RenderFormatR5G6B5, &b, 0, 2, -1, 0), 0);
    ASSERT_EQ(CreateTexture("c", 8, 8, RenderFormatR5G6B5, &c, 0, 2, -1, 0), 0);
    Device.ClearLog();
    SetStageTexture(0, a);
    SetStageTexture(0, a);
    SetStageTexture(0, b);
    FlushStateCache();
    EXPECT_EQ(Device.CallsNamed("SetTexture").size(), 2u);
    EXPECT_EQ(BiasCalls(), std::vector<std::string>({"0 -3.000000"}));

    // The class is one for all stages: stage 1 took it, stage 0 does not.
    UnbindTexture(nullptr);
    ResetStageTextureCache(0);
    FlushStateCache();
    Device.ClearLog();
    SetStageTexture(1, a);
    SetStageTexture(0, c);
    FlushStateCache();
    EXPECT_EQ(BiasCalls(), std::vector<std::string>({"1 -3.000000"}));

    // Removing a record unbinds every stage that holds it.
    SetStageTexture(2, a);
    Device.ClearLog();
    RemoveTexture(a);
    std::vector<uint32_t> unbound;
    for (const DeviceCall &call : Device.CallsNamed("SetTexture")) {
        EXPECT_EQ(call.args[1], 0u);
        unbound.push_back(call.args[0]);
    }
    EXPECT_EQ(unbound, std::vector<uint32_t>({1, 2}));
    EXPECT_EQ(FindTexture("a"), nullptr);
    delete a;
}

TEST_F(TextureManagerTest, TheFrameFilterSettingsForgetTheLastLodClass)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TextureRecord *a = nullptr;
    TextureRecord *b = nullptr;
    ASSERT_EQ(CreateTexture("a", 8, 8, RenderFormatR5G6B5, &a, 0, 2, -1, 0), 0);
    ASSERT_EQ(CreateTexture("b", 8, 8, RenderFormatR5G6B5, &b, 0, 2, -1, 0), 0);
    SetStageTexture(0, a);
    FlushStateCache();
    Device.ClearLog();
    // Same class on another stage: no bias, until the settings are applied.
    SetStageTexture(1, b);
    FlushStateCache();
    EXPECT_TRUE(BiasCalls().empty());
    ApplyTextureFilterSettings();
    SetStageTexture(2, a);
    FlushStateCache();
    EXPECT_EQ(BiasCalls(), std::vector<std::string>({"2 -3.000000"}));
    UnbindTexture(nullptr);
}

TEST_F(TextureManagerTest, StampsWrapFrom65534ToOne)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ReleaseAllTextures(1);
    uint16_t last = 0;
    for (int i = 0; i < 65534; ++i) {
        last = NextResourceId();
    }
    EXPECT_EQ(last, 65534);
    EXPECT_EQ(NextResourceId(), 1);
    ReleaseAllTextures(1);
    EXPECT_EQ(NextResourceId(), 1);
    EXPECT_NE(PlaceholderTexture, nullptr);
}

TEST_F(TextureManagerTest, RenderTargetsComeBackAfterAResetUnderTheirNames)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TextureRecord *mirror = nullptr;
    TextureRecord *plain = nullptr;
    ASSERT_EQ(CreateTexture("Mirror", 512, 256, RenderFormatX8R8G8B8, &mirror, 1, 0, 1, 0), 0);
    ASSERT_EQ(CreateTexture("plain", 64, 64, RenderFormatR5G6B5, &plain, 0, 0, -1, 0), 0);
    const uint32_t plainTexture = plain->texture;
    Device.cooperativeLevel = DeviceNotReset;
    EXPECT_FALSE(CheckRenderDevice());
    EXPECT_EQ(FindTexture("mirror"), mirror);
    ASSERT_NE(mirror->texture, 0u);
    int w = 0;
    int h = 0;
    ASSERT_TRUE(Device.TextureLevelSize(mirror->texture, 0, &w, &h));
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 256);
    EXPECT_EQ(mirror->flags, TextureFlagRenderTarget);
    EXPECT_EQ(plain->texture, plainTexture);  // managed: untouched
    EXPECT_TRUE(CheckRenderDevice());

    // A target the device refuses to make again keeps its entry and is
    // tried again.
    Device.cooperativeLevel = DeviceNotReset;
    Device.failing.insert("CreateTexture");
    EXPECT_FALSE(CheckRenderDevice());
    EXPECT_EQ(FindTexture("Mirror"), mirror);
    EXPECT_EQ(mirror->texture, 0u);
    EXPECT_EQ(mirror->flags, TextureFlagRenderTarget | TextureFlagRecreate);
    Device.failing.clear();
    EXPECT_FALSE(CheckRenderDevice());
    EXPECT_NE(mirror->texture, 0u);
    EXPECT_TRUE(CheckRenderDevice());
}

TEST_F(TextureManagerTest, RefusedBlockSurfacesAreLoggedAndStayEmpty)
{
    Device.failing.insert("CreateLockableTarget");
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(BlockSurf[0], 0u);
    EXPECT_EQ(BlockSurf[1], 0u);
    int logged = 0;
    for (const std::string &line : RenderLogLines) {
        logged += line == "Could not create BlockSurf[0]" || line == "Could not create BlockSurf[1]" ? 1 : 0;
    }
    EXPECT_EQ(logged, 2);
}

TEST_F(TextureManagerTest, MemorySizeSumsEveryLevel)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TextureRecord *plain = nullptr;
    TextureRecord *packed = nullptr;
    ASSERT_EQ(CreateTexture("plain", 256, 256, RenderFormatR5G6B5, &plain, 0, 0, -1, 0), 0);
    ASSERT_EQ(CreateTexture("packed", 256, 256, RenderFormatDxt1, &packed, 0, 0, -1, 0), 0);
    uint32_t plainBytes = 0;
    uint32_t packedBytes = 0;
    for (int side = 256; side >= 1; side /= 2) {
        plainBytes += static_cast<uint32_t>(side * side * 2);
        const int blocks = side < 4 ? 1 : side / 4;
        packedBytes += static_cast<uint32_t>(blocks * blocks * 8);
    }
    EXPECT_EQ(plain->MemorySize(), plainBytes);
    EXPECT_EQ(packed->MemorySize(), packedBytes);
    EXPECT_EQ(GetTextureMemory(), plainBytes + packedBytes);
}

}  // namespace
