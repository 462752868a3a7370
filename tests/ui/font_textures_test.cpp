// The glyph textures, built over a fixture font on the recording device and
// read back texel by texel.
#include "ui/font_textures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/card_config.h"
#include "platform/recording_device.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/standard_textures.h"
#include "render/texture_manager.h"
#include "tests/ui/fake_glyph_renderer.h"
#include "tests/ui/font_device_fixture.h"
#include "tests/ui/font_fixture.h"
#include "ui/font.h"

namespace {

int ScreenWidth = 640;
int ScreenHeight = 480;

// Every glyph below 96 is 7 units wide (a point at x 7), so 11 fit a row
// and 88 a picture: glyph 11 starts the second row, glyph 88 the second
// picture.
constexpr int ThinGlyph = 5;       // a bar one picture pixel wide on an even column
constexpr int RisingGlyph = 1;     // a full block of two triangles in one corner order
constexpr int FallingGlyph = 2;    // the same in the other order
constexpr int DotGlyph = 7;       // its neighbours are empty
constexpr int BandGlyph = 9;

FontFixture TextureFixture()
{
    FontFixture f;
    f.glyphs.resize(FontGlyphCount);
    for (int g = 0; g < 96; ++g) {
        f.glyphs[g].points = {{7.0f, 0.0f}};
    }
    const std::array<float, 2> block[4] = {{0.0f, 0.0f}, {7.0f, 0.0f}, {7.0f, 9.0f}, {0.0f, 9.0f}};
    f.glyphs[RisingGlyph].points.assign(block, block + 4);
    f.glyphs[RisingGlyph].triangles = {{0, 1, 2, 0}, {0, 2, 3, 0}};
    f.glyphs[FallingGlyph].points.assign(block, block + 4);
    f.glyphs[FallingGlyph].triangles = {{0, 2, 1, 0}, {0, 3, 2, 0}};
    f.glyphs[GlyphSolidBlock].points.assign(block, block + 4);
    f.glyphs[GlyphSolidBlock].triangles = {{0, 1, 2, 0}, {2, 3, 0, 0}};
    // One picture pixel is 7 / 80 units: the bar covers pixel column 2 of
    // the glyph, which starts at an even picture column.
    const float pixel = 7.0f / 80.0f;
    f.glyphs[ThinGlyph].points = {{2 * pixel, 1.0f}, {3 * pixel, 1.0f}, {3 * pixel, 8.0f}, {2 * pixel, 8.0f}, {7.0f, 0.0f}};
    f.glyphs[ThinGlyph].triangles = {{0, 1, 2, 0}, {0, 2, 3, 0}};
    // A dot reaching past the cell's right edge, and a band.
    f.glyphs[DotGlyph].points = {{6.0f, 4.5f}, {7.0f, 0.0f}};
    f.glyphs[DotGlyph].dots = {{0, 0, 30, 30}};
    f.glyphs[BandGlyph].points = {{1.0f, 1.0f}, {3.0f, 1.0f}, {1.0f, 8.0f}, {3.0f, 8.0f}, {7.0f, 0.0f}};
    f.glyphs[BandGlyph].strokes = {{0, 1, 0, 0}, {2, 3, 0, 0}};
    f.glyphs[BandGlyph].curves = {{0, 1, 1, 1}};
    f.tableNumbers = {1252};
    std::array<CodePageEntry, CodePageEntryCount> table{};
    for (int b = 32; b < 256; ++b) {
        table[b - 32] = {static_cast<uint16_t>(b < 128 ? b - 32 : GlyphNoCharacter), 0, 0};
    }
    f.tables.push_back(table);
    return f;
}

class FontTexturesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartFontOnDevice(TextureFixture(), "textures", &renderer, &Device, &ScreenWidth, &ScreenHeight);
        if (HasFatalFailure()) {
            return;
        }
        CompressTextures = 1;
        MaxTextureSide = 4096;
    }
    void TearDown() override
    {
        StopFontOnDevice();
    }

    int FontTextureCount() const
    {
        int n = 0;
        for (const auto &entry : TextureMap) {
            n += entry.first.rfind("FONT", 0) == 0;
        }
        return n;
    }

    // The alpha nibble of texel (x, y) of level 0.
    int Alpha(int texture, int x, int y)
    {
        char name[16];
        std::snprintf(name, sizeof(name), "FONT%dAONLY", texture);
        const TextureRecord *record = FindTexture(name);
        EXPECT_NE(record, nullptr);
        if (record == nullptr) {
            return -1;
        }
        DeviceLockedRect locked{};
        EXPECT_EQ(Device.LockTexture(record->texture, 0, nullptr, 0, &locked), DeviceOk);
        uint16_t texel = 0;
        std::memcpy(&texel, static_cast<const uint8_t *>(locked.bits) + y * locked.pitch + x * 2, 2);
        Device.UnlockTexture(record->texture, 0);
        return texel >> 12;
    }

    // The glyph's box in texels: left, top, 40 x 60.
    static void Box(int glyph, int *left, int *top)
    {
        *left = static_cast<int>((FontGlyphs[glyph].u0 + 1.0f / 256.0f) * FontTextureSide + 0.5f);
        *top = static_cast<int>(FontGlyphs[glyph].v0 * FontTextureSide + 0.5f);
    }

    // Texels of the glyph's box (40 x 60) with any alpha, and with full alpha
    // inside a 2-texel margin.
    void Ink(int glyph, int *any, int *fullInside, int *inside)
    {
        int left = 0;
        int top = 0;
        Box(glyph, &left, &top);
        *any = *fullInside = *inside = 0;
        for (int y = top; y < top + 60; ++y) {
            for (int x = left; x < left + 40; ++x) {
                const int a = Alpha(FontGlyphs[glyph].texture, x, y);
                *any += a > 0;
                const bool in = x >= left + 2 && x < left + 38 && y >= top + 2 && y < top + 58;
                *inside += in;
                *fullInside += in && a == 15;
            }
        }
    }

    RecordingDevice Device;
    FakeGlyphRenderer renderer;
};

TEST_F(FontTexturesTest, GlyphsArePlacedInRowsAndPictures)
{
    ASSERT_EQ(LoadStandardTextures(), 1);
    EXPECT_EQ(FontTextureCount(), 2);
    const TextureRecord *first = FindTexture("FONT0AONLY");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width, 512u);
    EXPECT_EQ(first->height, 512u);

    struct Case {
        int glyph;
        int texture;
        float x;
        float y;
    };
    const Case cases[] = {
        {0, 0, -1.0f, -1.0f},                 // the first glyph
        {1, 0, -1.0f + 0.171875f, -1.0f},     // next along the row: width 0.15625 + gap
        {11, 0, -1.0f, -0.75f},               // a new row
        {87, 0, -1.0f + 10 * 0.171875f, 0.75f},
        {88, 1, -1.0f, -1.0f},                // a new picture
        {GlyphSolidBlock, 1, -1.0f + 8 * 0.171875f, -1.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.glyph);
        const FontGlyph &glyph = FontGlyphs[c.glyph];
        EXPECT_EQ(glyph.texture, c.texture);
        EXPECT_FLOAT_EQ(glyph.u0, (c.x - 1.0f / 128.0f + 1.0f) * 0.5f);
        EXPECT_FLOAT_EQ(glyph.u1, (c.x + 0.15625f) * 0.5f + 0.50390625f);
        EXPECT_FLOAT_EQ(glyph.v0, (c.y + 1.0f) * 0.5f);
        EXPECT_FLOAT_EQ(glyph.v1, c.y * 0.5f + 0.615f);
    }
    // Above 95 without points: glyph 95's place.
    EXPECT_EQ(FontGlyphs[200].texture, FontGlyphs[95].texture);
    EXPECT_FLOAT_EQ(FontGlyphs[200].u0, FontGlyphs[95].u0);
    EXPECT_FLOAT_EQ(FontGlyphs[200].v1, FontGlyphs[95].v1);

    // A second load replaces the textures by name.
    ASSERT_EQ(LoadStandardTextures(), 1);
    EXPECT_EQ(FontTextureCount(), 2);
    EXPECT_EQ(FindTexture("FONT0AONLY"), first);
}

TEST_F(FontTexturesTest, FilledShapesStayInTheirBoxes)
{
    ASSERT_GE(BuildFontTextures(), 1);
    int any = 0;
    int full = 0;
    int inside = 0;
    // Full blocks are covered whatever the corner order of their triangles.
    for (const int g : {GlyphSolidBlock, RisingGlyph, FallingGlyph}) {
        Ink(g, &any, &full, &inside);
        EXPECT_EQ(full, inside) << g;
    }
    Ink(GlyphSpace, &any, &full, &inside);
    EXPECT_EQ(any, 0);

    // A dot and a band leave ink, and none outside the glyph's box.
    for (const int g : {DotGlyph, BandGlyph}) {
        SCOPED_TRACE(g);
        Ink(g, &any, &full, &inside);
        EXPECT_GT(any, 50);
        int left = 0;
        int top = 0;
        Box(g, &left, &top);
        // The glyph's own width (a dot widens it) ends its box.
        const int right = static_cast<int>((FontGlyphs[g].u1 - 1.0f / 256.0f) * FontTextureSide + 0.5f);
        int outside = 0;
        for (int y = std::max(0, top - 4); y < top + 64; ++y) {
            for (int x = std::max(0, left - 4); x < right + 4; ++x) {
                const bool in = x >= left && x <= right && y >= top && y < top + 60;
                outside += !in && Alpha(0, x, y) > 0;
            }
        }
        EXPECT_EQ(outside, 0);
    }
}

TEST_F(FontTexturesTest, OnePixelStrokeComesOutAtHalfAlpha)
{
    ASSERT_GE(BuildFontTextures(), 1);
    int left = 0;
    int top = 0;
    Box(ThinGlyph, &left, &top);
    // Glyph pixel column 2 of the picture is texel column 1 of the glyph.
    const int y = top + 30;
    const int a = Alpha(0, left + 1, y);
    EXPECT_GE(a, 6);
    EXPECT_LE(a, 8);
    EXPECT_EQ(Alpha(0, left, y), 0);
    EXPECT_EQ(Alpha(0, left + 2, y), 0);
}

TEST_F(FontTexturesTest, WithoutADeviceTheTexturesAreReleased)
{
    ASSERT_GE(BuildFontTextures(), 1);
    EXPECT_EQ(FontTextureCount(), 2);
    GraphicsDevice *device = RenderDevice.Device;
    RenderDevice.Device = nullptr;
    EXPECT_EQ(LoadStandardTextures(), 1);
    RenderDevice.Device = device;
    EXPECT_EQ(FontTextureCount(), 0);
}

}  // namespace
