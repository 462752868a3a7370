#include "render/light_maps.h"
#include "render/render_device.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/texture_manager.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A strip whose texel (x, row) holds the row in red and green (low and high
// byte) and x in blue.
std::vector<uint8_t> Strip(int width, int length)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(length) * 4);
    for (int row = 0; row < length; ++row) {
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &pixels[(static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
            p[0] = static_cast<uint8_t>(row & 255);
            p[1] = static_cast<uint8_t>(row >> 8);
            p[2] = static_cast<uint8_t>(x);
            p[3] = 255;
        }
    }
    return pixels;
}

class LightMapTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
        ASSERT_EQ(StartGraphics(), 1);
        BaseTextures = Device.LiveTextures();
    }
    void TearDown() override
    {
        Map.Release();
        ResetWorldMatrix();
        ResetViewMatrix();
        RecordingRenderTest::TearDown();
    }

    // The texel of a page, read back through a lock.
    uint16_t Texel(int page, int x, int y)
    {
        TextureRecord *record = Map.Page(page);
        if (record == nullptr) {
            return 0xDEAD;
        }
        DeviceLockedRect locked{};
        if (Device.LockTexture(record->texture, 0, nullptr, 0, &locked) != DeviceOk) {
            return 0xDEAD;
        }
        uint16_t texel = 0;
        std::memcpy(&texel, static_cast<uint8_t *>(locked.bits) + y * locked.pitch + x * 2, 2);
        Device.UnlockTexture(record->texture, 0);
        return texel;
    }

    static std::vector<float> Register(int r)
    {
        const float *c = GetVertexConstant(r);
        return {c[0], c[1], c[2], c[3]};
    }

    LightMapSet Map;
    int BaseTextures = 0;
};

TEST(LightMapTexelTest, ChannelsAreFiveBitsOrDoubledAndSaturating)
{
    struct Case {
        uint8_t r, g, b;
        int doubled;
        uint16_t texel;
    };
    const Case cases[] = {
        {200, 100, 50, 0, 0x6586}, {200, 100, 50, 1, 0x7F2C}, {255, 255, 255, 0, 0x7FFF},
        {255, 255, 255, 1, 0x7FFF}, {7, 3, 0, 1, 0x0400},     {7, 7, 7, 0, 0x0000},
        {124, 128, 4, 1, 0x7FE1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LightMapTexel(c.r, c.g, c.b, c.doubled), c.texel) << int(c.r) << " " << c.doubled;
    }
}

TEST_F(LightMapTest, PagesHoldOverlappingSegmentsColumnByColumnWrappingAtTheStripsEnd)
{
    const std::vector<uint8_t> strip = Strip(64, 1000);
    ASSERT_EQ(Map.Build(0, 64, 1000, strip.data(), 256, 16), 1);
    EXPECT_EQ(Map.step, 240);
    EXPECT_EQ(Map.segmentCount, 5);
    EXPECT_EQ(Map.segmentsPerPage, 4);
    EXPECT_EQ(Map.pageCount, 2);
    ASSERT_NE(Map.Page(1), nullptr);
    EXPECT_EQ(Map.Page(2), nullptr);
    EXPECT_EQ(FindTexture("!!LMAP00"), Map.Page(0));
    EXPECT_EQ(FindTexture("!!LMAP01"), Map.Page(1));
    EXPECT_EQ(Map.Page(0)->format, static_cast<uint32_t>(RenderFormatA1R5G5B5));
    EXPECT_EQ(Map.Page(0)->width, 256u);
    EXPECT_EQ(Map.Page(0)->lodClass, 1);
    EXPECT_EQ(Map.Page(0)->levels, 1);

    auto expected = [&](int row, int x) { return LightMapTexel(row & 255, row >> 8, x, 0); };
    struct Case {
        int page, x, y, row, stripX;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0},        {0, 63, 255, 255, 63}, {0, 64, 0, 240, 0},   {0, 70, 15, 255, 6},
        {0, 192, 10, 730, 0},   {1, 0, 0, 960, 0},     {1, 5, 39, 999, 5},   {1, 5, 40, 0, 5},
        {1, 63, 255, 215, 63},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Texel(c.page, c.x, c.y), expected(c.row, c.stripX)) << c.page << " " << c.x << " " << c.y;
    }
    // The second page's unused columns stay black.
    EXPECT_EQ(Texel(1, 64, 0), 0);

    Map.Release();
    EXPECT_EQ(Map.pageCount, 0);
    EXPECT_EQ(Device.LiveTextures(), BaseTextures);
}

TEST_F(LightMapTest, AStripThatCannotBeCutMakesNoPages)
{
    const std::vector<uint8_t> strip = Strip(64, 100);
    struct Case {
        int width, length, side, overlap;
        bool pixels;
    };
    const Case cases[] = {
        {0, 100, 256, 16, true},  {300, 100, 256, 16, true}, {64, 100, 256, 256, true}, {64, 100, 256, 400, true},
        {64, 0, 256, 16, true},   {64, -5, 256, 16, true},   {64, 100, 0, 0, true},     {64, 100, 256, -1, true},
        {64, 100, 256, 16, false}, {-64, 100, 256, 16, true},
    };
    for (const Case &c : cases) {
        render_test::RenderLogLines.clear();
        EXPECT_EQ(Map.Build(0, c.width, c.length, c.pixels ? strip.data() : nullptr, c.side, c.overlap), 0);
        EXPECT_EQ(Map.pageCount, 0);
        EXPECT_EQ(Map.Page(0), nullptr);
        EXPECT_EQ(render_test::RenderLogLines.size(), 1u) << c.width << " " << c.length;
        EXPECT_EQ(Device.LiveTextures(), BaseTextures);
    }
    // A page the device refuses: none are kept.
    Device.failing.insert("LockTexture");
    EXPECT_EQ(Map.Build(0, 64, 100, strip.data(), 64, 8), 0);
    Device.failing.clear();
    EXPECT_EQ(Map.pageCount, 0);
    EXPECT_EQ(Device.LiveTextures(), BaseTextures);

    // A car on a refused map projects as one without a light map.
    ProjectorConstantSource car;
    car.lightMap = &Map;
    UseVertexConstantSource(&car);
    EXPECT_EQ(Register(16), (std::vector<float>{0, 0, 1, 1}));
    EXPECT_EQ(car.LightTexture(), nullptr);
    UseDefaultVertexConstants();
}

TEST_F(LightMapTest, TheCarsPlaceOnTheStripPicksThePageAndClampsToItsColumn)
{
    const std::vector<uint8_t> strip = Strip(64, 1000);
    ASSERT_EQ(Map.Build(1, 64, 1000, strip.data(), 256, 16), 1);
    // The car turned a quarter about z and standing away from the origin.
    const float world[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 120, -40, 3, 1};
    SetWorldMatrix(world);
    ProjectorConstantSource car;
    car.lightMap = &Map;
    car.uOffset = 0.5f;
    car.xScale = 0.01f;
    car.yScale = 0.02f;
    car.headingSine = 0.6f;
    car.headingCosine = 0.8f;
    car.reflectionStrength = 0.3f;
    car.sunDirection[0] = 1.0f;
    car.sunDirection[1] = 0.0f;
    car.sunDirection[2] = 0.0f;
    struct Case {
        float fraction;
        int page, column;
        float row;  // r
    };
    const Case cases[] = {
        {0.5f, 0, 2, 492.0f},  // r = 500 - 8: segment 2
        {0.0f, 1, 0, 992.0f},  // r below 0 wraps: segment 4
        {0.25f, 0, 1, 242.0f}, // segment 1
        {-3.0f, 1, 0, 992.0f}, // a negative fraction counts as 0
        {0.999f, 1, 0, 991.0f},
    };
    for (const Case &c : cases) {
        car.stripFraction = c.fraction;
        UseVertexConstantSource(&car);
        EXPECT_EQ(car.pageIndex, c.page) << c.fraction;
        EXPECT_EQ(car.LightTexture(), Map.Page(c.page)) << c.fraction;
        const std::vector<float> low = Register(16);
        const std::vector<float> high = Register(17);
        EXPECT_FLOAT_EQ(low[0], c.column / 4.0f + 0.5f / 256.0f) << c.fraction;
        EXPECT_FLOAT_EQ(high[0], (c.column + 1) / 4.0f - 0.5f / 256.0f) << c.fraction;
        EXPECT_EQ(low[1], 0.0f);
        EXPECT_EQ(high[1], 1.0f);
        EXPECT_EQ(low[3], 1.0f);
        EXPECT_EQ(high[3], 1.0f);
        // The car's own origin projects to its column and row.
        const int segment = c.page * 4 + c.column;
        const float u = (c.column + 0.5f) * 64.0f / 256.0f;
        const float v = (c.row - segment * 240.0f + 8.0f) / 256.0f;
        EXPECT_NEAR(Register(12)[3], u, 1e-4f) << c.fraction;
        EXPECT_NEAR(Register(13)[3], v, 1e-4f) << c.fraction;
        EXPECT_GE(Register(12)[3], low[0]);
        EXPECT_LE(Register(12)[3], high[0]);
    }
    // The reflection constants and the base lighting in object space: the
    // sun along world x is along the car's -y.
    EXPECT_EQ(Register(35), (std::vector<float>{0.5f, 0.5f, 1.0f, 1.0f}));
    EXPECT_EQ(Register(36), (std::vector<float>{0, 0, 0, 0.3f}));
    EXPECT_NEAR(Register(10)[0], 0.0f, 1e-6f);
    EXPECT_NEAR(Register(10)[1], -1.0f, 1e-6f);
    // The eye (at the view's origin) in the car's object space.
    EXPECT_NEAR(Register(30)[0], 40.0f, 1e-4f);
    EXPECT_NEAR(Register(30)[1], 120.0f, 1e-4f);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(ObjectSpaceMatrix[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    }
    UseDefaultVertexConstants();
}

TEST_F(LightMapTest, ACarWithoutALightMapGetsTheWholeTextureRange)
{
    ProjectorConstantSource car;
    car.reflectionStrength = 0.75f;
    UseVertexConstantSource(&car);
    EXPECT_EQ(Register(16), (std::vector<float>{0, 0, 1, 1}));
    EXPECT_EQ(Register(17), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ(Register(35), (std::vector<float>{0.5f, 0.5f, 1.0f, 1.0f}));
    EXPECT_EQ(Register(36)[3], 0.75f);
    EXPECT_EQ(car.LightTexture(), nullptr);
    EXPECT_EQ(car.pageIndex, 0);
    UseDefaultVertexConstants();
}

}  // namespace
