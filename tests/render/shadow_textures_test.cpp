#include "render/device_resources.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/shadow_casters.h"
#include "render/shadow_textures.h"
#include "render/standard_textures.h"
#include "render/texture_manager.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The recording device with refusals the plain one cannot script: textures
// of some sides, and the surfaces of textures of one side.
class RefusingDevice : public RecordingDevice {
public:
    std::set<int> refusedSides;        // CreateTexture of these widths fails
    std::set<int> refusedSurfaceSides; // TextureSurface of textures this wide fails
    int maxRefusedSide = 0;            // CreateTexture of widths up to this fails

    uint32_t CreateTexture(int width, int height, int levels, uint32_t usage, uint32_t format, uint32_t pool,
                           uint32_t *texture) override
    {
        if (refusedSides.count(width) != 0 || width <= maxRefusedSide) {
            return DeviceInvalidCall;
        }
        return RecordingDevice::CreateTexture(width, height, levels, usage, format, pool, texture);
    }
    uint32_t TextureSurface(uint32_t texture, int level) override
    {
        int width = 0;
        int height = 0;
        if (TextureLevelSize(texture, level, &width, &height) && refusedSurfaceSides.count(width) != 0) {
            return 0;
        }
        return RecordingDevice::TextureSurface(texture, level);
    }
};

PartVertex Corner(float x, float y, float z)
{
    PartVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.nz = 1.0f;
    v.diffuse = 0xFFFFFFFFu;
    return v;
}

// A box of the given corners as one item of one part, with its bounds.
RenderObject *BoxObject(const char *name, const float *low, const float *high)
{
    RenderObject *object = new RenderObject(name, 1);
    object->InitParts(1, 1);
    object->SetPartMaterial(0, GetMaterial(nullptr, 0, 0, 0, 0, nullptr));
    object->ClearParts();
    RenderPart &part = object->parts[0];
    for (int i = 0; i < 8; ++i) {
        part.AddVertex(Corner(i & 1 ? high[0] : low[0], i & 2 ? high[1] : low[1], i & 4 ? high[2] : low[2]));
    }
    const uint16_t faces[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                   {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
    for (const auto &f : faces) {
        part.AddTriangle(f[0], f[1], f[2]);
    }
    object->FinishParts();
    object->Build(1);
    SetIdentityMatrix(object->matrix);
    return object;
}

class ShadowTexturesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        render_test::RenderLogLines.clear();
        RenderShellLink link{};
        link.screenWidth = &render_test::RenderScreenWidth;
        link.screenHeight = &render_test::RenderScreenHeight;
        link.logLine = [](const char *text) { render_test::RenderLogLines.emplace_back(text); };
        SetRenderShellLink(link);
        ASSERT_TRUE(UseGraphicsDevice(&Device));
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        render_test::RenderScreenWidth = 640;
        render_test::RenderScreenHeight = 480;
        ASSERT_EQ(StartGraphics(), 1);
        BeginRenderScene();
        const float low[3] = {-1.0f, -2.0f, 0.0f};
        const float high[3] = {1.0f, 2.0f, 1.5f};
        Box = BoxObject("box", low, high);
        BaseTextures = Device.LiveTextures();
    }

    void TearDown() override
    {
        ReleaseShadowTextures();
        for (ShadowCaster &caster : ShadowCasters) {
            caster = ShadowCaster{};
        }
        delete Box;
        RenderDevice.TestShadows = 0;
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderShellLink(RenderShellLink{});
    }

    // Casters 0..n-1 rendered, of the kinds given (0 large, 1 small), each
    // casting the box from a light slanting down.
    void SetCasters(const std::vector<int> &kinds)
    {
        for (size_t i = 0; i < kinds.size(); ++i) {
            ShadowCaster &caster = ShadowCasters[i];
            caster = ShadowCaster{};
            caster.cellKind = static_cast<uint8_t>(kinds[i]);
            caster.lightDirection[0] = 0.3f;
            caster.lightDirection[1] = 0.2f;
            caster.lightDirection[2] = -1.0f;
            caster.colour[0] = 40;
            caster.colour[1] = 50;
            caster.colour[2] = 60;
            AddShadowCaster(&caster, Box, 0);
        }
    }

    // Source rectangles (left, top, right, bottom) and destinations of the
    // copies since the log was cleared.
    std::vector<std::vector<uint32_t>> Copies() const
    {
        std::vector<std::vector<uint32_t>> copies;
        for (const DeviceCall &call : Device.CallsNamed("CopyRect")) {
            copies.push_back({call.args[1], call.args[2], call.args[3], call.args[4], call.args[6], call.args[7]});
        }
        return copies;
    }

    // Expects a clean refusal: the code kept, no shadows, and nothing drawn
    // or made by another render until the textures are released.
    void ExpectFailure(int code)
    {
        EXPECT_EQ(ShadowFailure, code);
        EXPECT_EQ(ActiveShadowCasterCount, 0);
        EXPECT_EQ(GetShadowCasterTexture(0), nullptr);
        EXPECT_EQ(RenderDevice.CurrentRenderTarget, 0u);
        EXPECT_EQ(RenderDevice.InScene, 1);
        Device.ClearLog();
        RenderShadowTextures(2, 32);
        EXPECT_TRUE(Device.calls.empty()) << code;
        EXPECT_EQ(ActiveShadowCasterCount, 0);
        ReleaseShadowTextures();
        EXPECT_EQ(ShadowFailure, 0);
        EXPECT_EQ(Device.LiveTextures(), BaseTextures) << code;
    }

    RefusingDevice Device;
    RenderObject *Box = nullptr;
    int BaseTextures = 0;
};

TEST(ShadowCellTest, CellsFollowTheAtlasLayout)
{
    struct Case {
        int tileSide;
        int base;
        std::vector<int> kinds;
        // x, y, side, slot of the last cell.
        int x, y, side, slot;
    };
    const std::vector<int> eightLarge(8, 0);
    auto with = [](std::vector<int> kinds, int more) {
        kinds.push_back(more);
        return kinds;
    };
    const Case cases[] = {
        // Normal atlas of 512 while rendering (base 128).
        {32, 128, {0}, 0, 0, 128, 8},
        {32, 128, {0, 0, 0, 0, 0}, 0, 128, 128, 12},
        {32, 128, eightLarge, 384, 128, 128, 15},
        {32, 128, with(eightLarge, 0), 0, 256, 64, 32},
        {32, 128, {1}, 0, 256, 64, 32},
        {32, 128, {1, 0}, 0, 0, 128, 8},
        // The same layout at tile size: the slots follow the cell's side.
        {32, 32, with(eightLarge, 1), 0, 64, 16, 32},
        {32, 32, eightLarge, 96, 32, 32, 15},
        // Big atlas of 1024 (base 256).
        {64, 256, {0}, 0, 0, 256, 0},
        {64, 256, eightLarge, 768, 256, 256, 7},
        {64, 256, with(eightLarge, 0), 0, 512, 128, 8},
        {64, 256, {1}, 0, 896, 64, 32},
        {64, 256, {0, 1, 1}, 64, 896, 64, 33},
        {64, 64, with(eightLarge, 0), 0, 128, 32, 8},
    };
    for (const Case &c : cases) {
        ResetShadowCells();
        ShadowCell cell{};
        for (int kind : c.kinds) {
            cell = AllocateShadowCell(kind, c.base, c.tileSide);
        }
        EXPECT_EQ(cell.x, c.x) << c.tileSide << " " << c.kinds.size();
        EXPECT_EQ(cell.y, c.y) << c.tileSide << " " << c.kinds.size();
        EXPECT_EQ(cell.side, c.side) << c.tileSide << " " << c.kinds.size();
        EXPECT_EQ(cell.tileSlot, c.slot) << c.tileSide << " " << c.kinds.size();
    }
}

TEST(ShadowCellTest, ThirtyTwoCastersOfAnyMixGetDistinctCellsAndSlotsInsideTheAtlas)
{
    std::mt19937 random(7);
    for (int tileSide : {32, 64}) {
        for (int trial = 0; trial < 200; ++trial) {
            const int largeShare = trial % 5;
            ResetShadowCells();
            std::set<int> slots;
            std::vector<ShadowCell> cells;
            const int atlas = 16 * tileSide;
            for (int i = 0; i < MaxShadowCasters; ++i) {
                const int kind = static_cast<int>(random() % 4) < largeShare ? 0 : 1;
                const ShadowCell cell = AllocateShadowCell(kind, 4 * tileSide, tileSide);
                ASSERT_GE(cell.x, 0);
                ASSERT_GE(cell.y, 0);
                ASSERT_LE(cell.x + cell.side, atlas) << tileSide << " " << i;
                ASSERT_LE(cell.y + cell.side, atlas) << tileSide << " " << i;
                ASSERT_GE(cell.tileSlot, 0);
                ASSERT_LT(cell.tileSlot, ShadowTileSlots);
                EXPECT_TRUE(slots.insert(cell.tileSlot).second) << tileSide << " " << i;
                for (const ShadowCell &other : cells) {
                    const bool apart = cell.x + cell.side <= other.x || other.x + other.side <= cell.x ||
                                       cell.y + cell.side <= other.y || other.y + other.side <= cell.y;
                    ASSERT_TRUE(apart) << tileSide << " caster " << i;
                }
                cells.push_back(cell);
            }
        }
    }
}

TEST_F(ShadowTexturesTest, TheLightViewKeepsEveryBoundingPointInsideItsCellWithABorder)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int trial = 0; trial < 100; ++trial) {
        const float low[3] = {unit(random) * 3 - 3, unit(random) * 3 - 3, unit(random) - 1};
        const float high[3] = {low[0] + 0.2f + std::fabs(unit(random)) * 4, low[1] + 0.1f + std::fabs(unit(random)) * 5,
                               low[2] + 0.3f + std::fabs(unit(random)) * 2};
        RenderObject *box = BoxObject("fit", low, high);
        // Placed somewhere, turned about z and tilted a little.
        const float a = unit(random) * 3.1f;
        const float t = unit(random) * 0.3f;
        const float m[16] = {std::cos(a), std::sin(a), 0, 0, -std::sin(a) * std::cos(t), std::cos(a) * std::cos(t),
                             std::sin(t), 0, std::sin(a) * std::sin(t), -std::cos(a) * std::sin(t), std::cos(t), 0,
                             unit(random) * 500, unit(random) * 500, unit(random) * 20, 1};
        std::memcpy(box->matrix, m, sizeof m);
        ShadowCaster caster{};
        caster.lightDirection[0] = unit(random);
        caster.lightDirection[1] = unit(random);
        caster.lightDirection[2] = -0.2f - std::fabs(unit(random));
        caster.lightDirection[3] = unit(random);
        caster.horizontalAxis[0] = trial % 7 == 0 ? 0.0f : unit(random);
        caster.horizontalAxis[1] = trial % 7 == 0 ? 0.0f : unit(random);
        caster.allVertices = static_cast<uint8_t>(trial & 1);
        AddShadowCaster(&caster, box, 0);
        AddShadowCaster(&caster, Box, 0);
        const int cellSide = trial % 3 == 0 ? 64 : 128;
        FitShadowLightView(caster, cellSide);
        const float tileTexel = 4.0f / static_cast<float>(cellSide);
        for (RenderObject *object : {box, Box}) {
            const int count = caster.allVertices ? object->hullVertexCount : 8;
            const float *points = caster.allVertices ? object->bounds + 24 : object->bounds;
            for (int i = 0; i < count; ++i) {
                float world[4];
                float clip[4];
                float uv[4];
                TransformPoint(world, &points[i * 3], object->matrix);
                TransformPoint(clip, world, caster.lightViewProjection);
                TransformPoint(uv, world, caster.textureMatrix);
                const float limit = 1.0f - 2.0f * tileTexel + 1e-4f;
                EXPECT_LE(std::fabs(clip[0]), limit) << trial;
                EXPECT_LE(std::fabs(clip[1]), limit) << trial;
                EXPECT_GE(clip[2], 0.0f);
                EXPECT_LE(clip[2], 1.0f);
                // In the tile: one final texel free on each side.
                EXPECT_GE(uv[0], tileTexel - 1e-4f) << trial;
                EXPECT_LE(uv[0], 1.0f - tileTexel + 1e-4f) << trial;
                EXPECT_GE(uv[1], tileTexel - 1e-4f) << trial;
                EXPECT_LE(uv[1], 1.0f - tileTexel + 1e-4f) << trial;
                // Row 0 of the texture is the top of the cell.
                EXPECT_NEAR(uv[1], 0.5f - 0.5f * clip[1], 1e-4f);
            }
        }
        delete box;
    }
}

TEST_F(ShadowTexturesTest, CastersGetTilesCopiedFromTheirCellsOfTheHalvedAtlas)
{
    std::vector<int> kinds(9, 0);
    kinds.push_back(1);
    SetCasters(kinds);
    // Caster 0 is preset: it takes its texture and no cell.
    TextureRecord *preset = nullptr;
    ASSERT_EQ(CreateTexture("preset", 8, 8, RenderFormatX8R8G8B8, &preset, 0, 1, 1, 0), 0);
    const int baseTextures = Device.LiveTextures();
    ShadowCasters[0].preset = 1;
    ShadowCasters[0].presetTexture = preset;
    ShadowCasters[0].fieldOfView = 0.5f;
    SetIdentityMatrix(ShadowCasters[0].lightMatrix);
    const RenderViewport before = RenderDevice.Viewport;
    Device.ClearLog();
    RenderShadowTextures(10, 32);
    ASSERT_EQ(ShadowFailure, 0);
    ASSERT_EQ(ActiveShadowCasterCount, 10);
    EXPECT_EQ(GetShadowCasterTexture(0), preset);
    EXPECT_EQ(ShadowCasters[0].textureMatrix[8], 0.5f);  // x and y over the distance, moved to the middle

    // 512, 256 and 128 atlases; the casters 1..9 are rendered one box each.
    EXPECT_NE(FindTexture("0~SHTX512"), nullptr);
    EXPECT_NE(FindTexture("0~SHTX256"), nullptr);
    EXPECT_NE(FindTexture("0~SHTX128"), nullptr);
    EXPECT_EQ(FindTexture("0~SHTX1024"), nullptr);
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 9u + 2u);  // casters and two halvings
    // The flat colour of the last caster drawn.
    EXPECT_FLOAT_EQ(GetVertexConstant(84)[0], 40.0f / 255.0f);

    // Eight large cells of 32 texels at tile size, then small ones of 16.
    const std::vector<std::vector<uint32_t>> copies = Copies();
    ASSERT_EQ(copies.size(), 9u);
    const char *names[9] = {"X0Y0~32", "X1Y0~32", "X2Y0~32", "X3Y0~32", "X0Y1~32",
                            "X1Y1~32", "X2Y1~32", "X3Y1~32", "X0Y4~16"};
    for (int i = 0; i < 8; ++i) {
        const uint32_t x = static_cast<uint32_t>(i % 4 * 32);
        const uint32_t y = static_cast<uint32_t>(i / 4 * 32);
        EXPECT_EQ(copies[static_cast<size_t>(i)], (std::vector<uint32_t>{x, y, x + 32, y + 32, 0, 0})) << i;
        EXPECT_EQ(GetShadowCasterTexture(i + 1), FindTexture(names[i]));
        EXPECT_EQ(GetShadowTileTexture(8 + i), FindTexture(names[i]));
    }
    EXPECT_EQ(copies[8], (std::vector<uint32_t>{0, 64, 16, 80, 0, 0}));
    EXPECT_EQ(GetShadowCasterTexture(9), FindTexture(names[8]));
    EXPECT_EQ(GetShadowTileTexture(32), FindTexture(names[8]));
    EXPECT_NE(FindTexture(names[8]), nullptr);

    // Back on the back buffer, in the scene, with the viewport as it was.
    EXPECT_EQ(RenderDevice.CurrentRenderTarget, 0u);
    EXPECT_EQ(RenderDevice.InScene, 1);
    EXPECT_EQ(RenderDevice.Viewport.width, before.width);
    EXPECT_EQ(RenderDevice.Viewport.height, before.height);
    ASSERT_FALSE(Device.CallsNamed("SetRenderTarget").empty());
    EXPECT_EQ(Device.CallsNamed("SetRenderTarget").back().args[0], RenderDevice.BackBufferSurface);

    // The next frame makes nothing new and copies the same cells.
    const int textures = Device.LiveTextures();
    Device.ClearLog();
    RenderShadowTextures(10, 32);
    EXPECT_EQ(Copies(), copies);
    EXPECT_EQ(Device.LiveTextures(), textures);
    EXPECT_TRUE(Device.CallsNamed("CreateTexture").empty());

    // Without border addressing each copy leaves a white edge.
    RenderDevice.DeviceCaps.borderAddressing = 0;
    Device.ClearLog();
    RenderShadowTextures(10, 32);
    RenderDevice.DeviceCaps.borderAddressing = 1;
    ASSERT_EQ(Copies().size(), 9u);
    EXPECT_EQ(Copies()[1], (std::vector<uint32_t>{33, 1, 63, 31, 1, 1}));

    ReleaseShadowTextures();
    EXPECT_EQ(Device.LiveTextures(), baseTextures);
    EXPECT_EQ(GetShadowCasterTexture(1), nullptr);
    DeleteTexture(preset);
}

TEST_F(ShadowTexturesTest, TheBigAtlasAndTheTestSettingsOneHalving)
{
    std::vector<int> kinds(10, 0);
    kinds.push_back(1);
    SetCasters(kinds);
    Device.ClearLog();
    RenderShadowTextures(11, 64);
    ASSERT_EQ(ShadowFailure, 0);
    // 1024 -> 512 -> 256; large tiles of 64, medium of 32 from row 512 / 4,
    // small of 16 in the last two rows.
    EXPECT_NE(FindTexture("0~SHTX1024"), nullptr);
    const std::vector<std::vector<uint32_t>> copies = Copies();
    ASSERT_EQ(copies.size(), 11u);
    EXPECT_EQ(copies[7], (std::vector<uint32_t>{192, 64, 256, 128, 0, 0}));
    EXPECT_EQ(copies[8], (std::vector<uint32_t>{0, 128, 32, 160, 0, 0}));
    EXPECT_EQ(copies[9], (std::vector<uint32_t>{32, 128, 64, 160, 0, 0}));
    EXPECT_EQ(copies[10], (std::vector<uint32_t>{0, 224, 16, 240, 0, 0}));
    EXPECT_EQ(GetShadowCasterTexture(8), FindTexture("X0Y4~32"));
    EXPECT_EQ(GetShadowCasterTexture(10), FindTexture("X0Y14~16"));
    ReleaseShadowTextures();

    // "Test Shadows": one halving and the tiles drawn, not copied.
    RenderDevice.TestShadows = 1;
    SetCasters({0, 1});
    Device.ClearLog();
    RenderShadowTextures(2, 32);
    EXPECT_EQ(ShadowFailure, 0);
    EXPECT_TRUE(Copies().empty());
    EXPECT_EQ(FindTexture("0~SHTX128"), nullptr);
    EXPECT_NE(FindTexture("0~SHTX256"), nullptr);
    // Two casters, one halving, two tiles.
    EXPECT_EQ(Device.CallsNamed("DrawIndexedTriangles").size(), 2u + 1u + 2u);
    EXPECT_EQ(GetShadowCasterTexture(1), FindTexture("X0Y4~16"));
}

TEST_F(ShadowTexturesTest, EachFailureEndsWithNoShadowsAndNoLeak)
{
    SetCasters({0, 0, 1});
    // The atlas cannot be made.
    Device.failing.insert("CreateTexture");
    RenderShadowTextures(3, 32);
    Device.failing.clear();
    ExpectFailure(1);
    // A tile side without an atlas side; more casters than the array.
    RenderShadowTextures(3, 48);
    ExpectFailure(1);
    RenderShadowTextures(MaxShadowCasters + 1, 32);
    ExpectFailure(1);
    // Rendering into the atlas cannot begin.
    Device.refusedSurfaceSides = {512};
    RenderShadowTextures(3, 32);
    Device.refusedSurfaceSides.clear();
    ExpectFailure(2);
    // The halved atlas, or rendering into it.
    Device.refusedSides = {256};
    RenderShadowTextures(3, 32);
    Device.refusedSides.clear();
    ExpectFailure(3);
    Device.refusedSurfaceSides = {128};
    RenderShadowTextures(3, 32);
    Device.refusedSurfaceSides.clear();
    ExpectFailure(4);
    // A tile.
    Device.maxRefusedSide = 32;
    RenderShadowTextures(3, 32);
    Device.maxRefusedSide = 0;
    ExpectFailure(5);
    // And once released, shadows render again.
    RenderShadowTextures(3, 32);
    EXPECT_EQ(ShadowFailure, 0);
    EXPECT_EQ(ActiveShadowCasterCount, 3);
    EXPECT_NE(GetShadowCasterTexture(2), nullptr);
}

TEST_F(ShadowTexturesTest, ReleasesComeWithADisplayModeChangeAndWithEveryTexture)
{
    SetCasters({0});
    RenderShadowTextures(1, 32);
    ASSERT_NE(GetShadowTileTexture(8), nullptr);
    EndRenderScene();
    RenderTextureState = 2;
    ResetRenderTextures();
    EXPECT_EQ(GetShadowTileTexture(8), nullptr);
    EXPECT_EQ(FindTexture("0~SHTX512"), nullptr);
    EXPECT_EQ(Device.LiveTextures(), BaseTextures);

    BeginRenderScene();
    RenderShadowTextures(1, 32);
    ASSERT_NE(GetShadowTileTexture(8), nullptr);
    ReleaseAllTextures(1);
    EXPECT_EQ(GetShadowTileTexture(8), nullptr);
    EXPECT_EQ(GetShadowTexture(100), nullptr);
    EXPECT_EQ(ActiveShadowCasterCount, 0);

    AddShadowCaster(&ShadowCasters[0], Box, 0);
    EXPECT_EQ(ShadowCasters[0].objectCount, 2);
    for (int i = 0; i < 10; ++i) {
        AddShadowCaster(&ShadowCasters[0], Box, i);
    }
    EXPECT_EQ(ShadowCasters[0].objectCount, MaxShadowCasterObjects);
    EXPECT_EQ(ShadowCasters[0].items[7], 5);
}

}  // namespace
