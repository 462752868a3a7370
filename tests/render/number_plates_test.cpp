#include "render/number_plates.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/data_stream.h"
#include "core/settings.h"
#include "render/car_skins.h"
#include "render/material.h"
#include "render/software_raster.h"
#include "render/texture_manager.h"

#include "render_fixtures.h"
#include "render/render_link.h"

namespace {

std::vector<std::string> PlateMessages;

// The renderer on the recording device with graphics started, so that the
// groups get their textures.
struct NumberPlatesTest : render_test::RecordingRenderTest {
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
        PlateMessages.clear();
        RenderShellLink link = RenderShell;
        link.printMessage = [](const char *text, int) { PlateMessages.emplace_back(text); };
        SetRenderShellLink(link);
        ASSERT_EQ(StartGraphics(), 1);
        ResetNumberPlates();
        SetPlateGlyphSource(PlateGlyphSource{});
    }
    void TearDown() override
    {
        ReleasePlateTextures();
        ResetNumberPlates();
        SetPlateGlyphSource(PlateGlyphSource{});
        render_test::RecordingRenderTest::TearDown();
    }
};

void PlateText(char out[NumberPlateTextLength], int n)
{
    char text[16];
    std::snprintf(text, sizeof(text), "KZ%05d", n);
    std::memcpy(out, text, NumberPlateTextLength);
}

TEST_F(NumberPlatesTest, EqualTextsShareASlotAndNewTextsTakeFreeOnes)
{
    char a[8], b[8];
    PlateText(a, 1);
    PlateText(b, 2);
    EXPECT_EQ(GetNumberPlate(a), 0);
    EXPECT_EQ(GetNumberPlate(b), 1);
    EXPECT_EQ(GetNumberPlate(a), 0);
    EXPECT_EQ(NumberPlates[0].count, 2);
    EXPECT_EQ(PlateGroups[0].redraw, 1);
    ASSERT_NE(PlateGroups[0].opaqueMaterial, nullptr);
    ASSERT_NE(PlateGroups[0].cutOutMaterial, nullptr);
    EXPECT_STREQ(PlateGroups[0].opaqueMaterial->texture->name, "PLATE~0");
    EXPECT_STREQ(PlateGroups[0].cutOutMaterial->texture->name, "PLATE~0ATEST");
    EXPECT_EQ(PlateGroups[0].opaqueMaterial->texture->width, static_cast<uint32_t>(PlatePlaceholderSide));
    EXPECT_EQ(PlateGroups[0].opaqueMaterial->AddPass, 1);
    EXPECT_EQ(PlateGroups[0].cutOutMaterial->AddPass, 1);
    EXPECT_EQ(PlateGroups[0].cutOutMaterial->secondTexture, nullptr);
    EXPECT_EQ(FindNumberPlate(a), 0);
    EXPECT_EQ(FindNumberPlate(b), 1);
    char none[8] = {'N', 'O', 'N', 'E'};
    EXPECT_EQ(FindNumberPlate(none), -1);

    // A released slot never goes below 0 and is free for another text.
    ReleaseNumberPlate(1);
    ReleaseNumberPlate(1);
    ReleaseNumberPlate(-1);
    ReleaseNumberPlate(NumberPlateSlotCount);
    EXPECT_EQ(NumberPlates[1].count, 0);
    char c[8];
    PlateText(c, 3);
    EXPECT_EQ(GetNumberPlate(c), 1);
    EXPECT_EQ(std::memcmp(NumberPlates[1].text, c, 8), 0);
}

TEST_F(NumberPlatesTest, AFullTableSharesSlotZeroWithAMessage)
{
    char text[8];
    for (int i = 0; i < NumberPlateSlotCount; i++) {
        PlateText(text, i);
        ASSERT_EQ(GetNumberPlate(text), i);
    }
    EXPECT_TRUE(PlateMessages.empty());
    // Slots 4 to 7 draw from group 1.
    EXPECT_STREQ(PlateGroups[1].opaqueMaterial->texture->name, "PLATE~1");
    EXPECT_STREQ(PlateGroups[1].cutOutMaterial->texture->name, "PLATE~1ATEST");
    PlateText(text, 99);
    EXPECT_EQ(GetNumberPlate(text), 0);
    EXPECT_EQ(NumberPlates[0].count, 2);
    ASSERT_EQ(PlateMessages.size(), 1u);
    EXPECT_EQ(PlateMessages[0], "Could not get number plate");
}

// A glyph source whose glyphs are all 5 units wide and that records every
// glyph drawn: its character, left edge, width and colour.
struct DrawnGlyph {
    char c;
    float left, top, width;
    uint32_t pixel;
};
std::vector<DrawnGlyph> Drawn;

void RecordGlyphs()
{
    Drawn.clear();
    PlateGlyphSource source{};
    source.width = [](uint8_t) { return 5.0f; };
    source.draw = [](uint8_t c, float left, float top, float width, float height, uint32_t pixel) {
        Drawn.push_back({static_cast<char>(c), left, top, width, pixel});
        FillRasterRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + width),
                       static_cast<int>(top + height), pixel);
    };
    SetPlateGlyphSource(source);
}

TEST_F(NumberPlatesTest, RedrawnGroupsDrawTheirTextsInBandsNarrowedToFitAndColouredByCodes)
{
    RecordGlyphs();
    const char narrow[8] = {'A', 'B', 0};
    const char wide[8] = {'W', 'W', 'W', 'W', 'W', 'W', 'W', 'W'};
    const char coloured[8] = {'X', '^', '3', 'Y', '^', '8', 'Z', 0};
    EXPECT_EQ(GetNumberPlate(narrow), 0);
    EXPECT_EQ(GetNumberPlate(wide), 1);
    EXPECT_EQ(GetNumberPlate(coloured), 2);
    const RasterTargetRecord before = RasterTarget;
    UpdatePlateTextures();
    EXPECT_EQ(PlateGroups[0].redraw, 0);
    // The raster is back on its own target.
    EXPECT_EQ(RasterTarget.pixels, before.pixels);
    EXPECT_EQ(RasterTarget.width, before.width);
    ASSERT_EQ(Drawn.size(), 2u + 8u + 3u);

    constexpr float Half = PlateImageSide / 2.0f;
    // Each text in its band: the first at y = -0.93, the next 0.5 lower.
    EXPECT_NEAR(Drawn[0].top, (1.0f - 0.93f) * Half, 0.01f);
    EXPECT_NEAR(Drawn[2].top, (1.0f - 0.43f) * Half, 0.01f);
    EXPECT_NEAR(Drawn[10].top, (1.0f + 0.07f) * Half, 0.01f);
    // Two glyphs fit at full size, centred; each advances (5 + 0.65) x size / 7.
    const float advance = 5.65f * PlateTextSize / 7.0f * Half;
    EXPECT_NEAR(Drawn[0].width, PlateTextSize * Half, 0.01f);
    EXPECT_NEAR(Drawn[1].left - Drawn[0].left, advance, 0.01f);
    EXPECT_NEAR(Drawn[0].left, Half - advance, 0.01f);
    // Eight glyphs are wider than 1.9 units: narrowed, first to last inside the image.
    const float squeeze = 1.9f / (8.0f * 5.65f * PlateTextSize / 7.0f);
    ASSERT_LT(squeeze, 1.0f);
    EXPECT_NEAR(Drawn[2].width, PlateTextSize * squeeze * Half, 0.01f);
    EXPECT_NEAR(Drawn[2].left, Half - 0.95f * Half, 0.01f);
    EXPECT_NEAR(Drawn[9].left + advance * squeeze, Half + 0.95f * Half, 0.01f);
    // Black lettering; "^3" colour 3 (yellow) for what follows; "^8" back to black.
    const uint32_t black = RasterTarget.packer(0, 0, 0);
    int r = 0, g = 0, b = 0;
    PlateCodeColour(3, &r, &g, &b);
    EXPECT_EQ(Drawn[10].c, 'X');
    EXPECT_EQ(Drawn[10].pixel, black);
    EXPECT_EQ(Drawn[11].c, 'Y');
    EXPECT_EQ(Drawn[11].pixel, RasterTarget.packer(r, g, b));
    EXPECT_EQ(Drawn[12].c, 'Z');
    EXPECT_EQ(Drawn[12].pixel, black);

    // Both textures drawn, held at 128.
    const NumberPlateGroup &group = PlateGroups[0];
    ASSERT_NE(group.opaqueMaterial, nullptr);
    EXPECT_EQ(group.opaqueMaterial->texture->width, static_cast<uint32_t>(PlateTextureSide));
    EXPECT_EQ(group.cutOutMaterial->texture->width, static_cast<uint32_t>(PlateTextureSide));

    // A group not flagged again keeps its drawing.
    Drawn.clear();
    UpdatePlateTextures();
    EXPECT_TRUE(Drawn.empty());
}

TEST(CarSkins, NamesFilesAndTimes)
{
    char name[SkinNameLength];
    FormatCarSkinName(name, "XRT", "red");
    EXPECT_STREQ(name, "XRT_red");
    FormatCarSkinName(name, "XRT", "abcdefghijklmnopqrstuvwxyz");
    EXPECT_STREQ(name, "XRT_abcdefghijklmno");

    std::filesystem::create_directories("data/skins");
    std::filesystem::create_directories("data/skins_dds");
    std::ofstream("data/skins/XRT_both.jpg") << "j";
    std::ofstream("data/skins_dds/XRT_both.dds") << "d";
    std::ofstream("data/skins/XRT_jpeg.jpg") << "j";
    const int saved = LocalSkinsDds;
    LocalSkinsDds = 0;
    EXPECT_EQ(CarSkinFileExists("XRT", "both"), 1);
    EXPECT_EQ(CarSkinFileExists("XRT", "jpeg"), 1);
    EXPECT_EQ(CarSkinFileExists("XRT", "none"), 0);
    EXPECT_EQ(CarSkinFileExists("XRT", ""), 0);
    EXPECT_EQ(SkinFileExists(""), 0);
    EXPECT_EQ(CarSkinFileTime("XRT", "jpeg"), GetFileTimeMinutes("data\\skins\\XRT_jpeg.jpg"));
    // Names are found whatever their case on disk.
    EXPECT_EQ(CarSkinFileExists("xrt", "JPEG"), 1);
    EXPECT_EQ(CarSkinFileTime("xrt", "JPEG"), CarSkinFileTime("XRT", "jpeg"));
    EXPECT_NE(CarSkinFileTime("XRT", "both"), 0u);
    EXPECT_EQ(CarSkinFileTime("XRT", "none"), 0u);
    // Only the converted files count with "Local Skins DDS ".
    LocalSkinsDds = 1;
    EXPECT_EQ(CarSkinFileExists("XRT", "both"), 1);
    EXPECT_EQ(CarSkinFileExists("XRT", "jpeg"), 0);
    EXPECT_EQ(CarSkinFileTime("XRT", "jpeg"), 0u);
    LocalSkinsDds = saved;
}

TEST(CarSkins, AlphaTestListKeepsEachMaterialOnceUpToItsLimit)
{
    ClearAlphaTestMaterials();
    Material *materials[MaxAlphaTestMaterials + 2];
    for (int i = 0; i < MaxAlphaTestMaterials + 2; i++) {
        materials[i] = reinterpret_cast<Material *>(static_cast<uintptr_t>(0x1000 + 16 * i));
    }
    AddAlphaTestMaterial(materials[0]);
    AddAlphaTestMaterial(materials[0]);
    AddAlphaTestMaterial(nullptr);
    EXPECT_EQ(AlphaTestMaterialCount, 1);
    for (int i = 1; i < MaxAlphaTestMaterials + 2; i++) {
        AddAlphaTestMaterial(materials[i]);
    }
    EXPECT_EQ(AlphaTestMaterialCount, MaxAlphaTestMaterials);
    EXPECT_EQ(AlphaTestMaterials[MaxAlphaTestMaterials - 1], materials[MaxAlphaTestMaterials - 1]);
    int count = 0;
    Material *list[2];
    EXPECT_EQ(AddUniqueEntry(&count, list, 2, materials[5]), 0);
    EXPECT_EQ(AddUniqueEntry(&count, list, 2, materials[6]), 1);
    EXPECT_EQ(AddUniqueEntry(&count, list, 2, materials[5]), 0);
    EXPECT_EQ(AddUniqueEntry(&count, list, 2, materials[7]), -1);
    EXPECT_EQ(count, 2);
    ClearAlphaTestMaterials();
}

TEST(CarSkins, BudgetFollowsTheRaceSlots)
{
    EXPECT_EQ(SkinBudget(-1), 8);
    EXPECT_EQ(SkinBudget(0), 8);
    EXPECT_EQ(SkinBudget(10), 28);
    EXPECT_EQ(SkinBudget(29), 66);
    EXPECT_EQ(SkinBudget(30), 68);
    EXPECT_EQ(SkinBudget(1000000000), 68);
}

}  // namespace
