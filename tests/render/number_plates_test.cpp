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
#include "render/render_link.h"

namespace {

std::vector<std::string> PlateMessages;

struct NumberPlatesTest : ::testing::Test {
    void SetUp() override
    {
        PlateMessages.clear();
        RenderShellLink link{};
        link.printMessage = [](const char *text, int) { PlateMessages.emplace_back(text); };
        SetRenderShellLink(link);
        ResetNumberPlates();
        SetPlateTextDrawer(nullptr);
    }
    void TearDown() override
    {
        ResetNumberPlates();
        SetPlateTextDrawer(nullptr);
        SetRenderShellLink(RenderShellLink{});
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
    ASSERT_NE(PlateGroups[0].opaque.pixels, nullptr);
    EXPECT_STREQ(PlateGroups[0].opaque.name, "PLATE~0");
    EXPECT_STREQ(PlateGroups[0].cutOut.name, "PLATE~0ATEST");
    EXPECT_EQ(PlateGroups[0].opaque.side, PlatePlaceholderSide);

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
    EXPECT_STREQ(PlateGroups[1].opaque.name, "PLATE~1");
    EXPECT_STREQ(PlateGroups[1].cutOut.name, "PLATE~1ATEST");
    PlateText(text, 99);
    EXPECT_EQ(GetNumberPlate(text), 0);
    EXPECT_EQ(NumberPlates[0].count, 2);
    ASSERT_EQ(PlateMessages.size(), 1u);
    EXPECT_EQ(PlateMessages[0], "Could not get number plate");
}

// Paints a black block at the left of the band of every text starting "B".
void BlockDrawer(uint32_t *image, int side, int band, const char text[NumberPlateTextLength])
{
    if (text[0] != 'B') {
        return;
    }
    for (int y = band * PlateBandRows; y < band * PlateBandRows + 8; y++) {
        for (int x = 0; x < 8; x++) {
            image[y * side + x] = 0xFF000000u;
        }
    }
}

TEST_F(NumberPlatesTest, RedrawnGroupsGetTheirTextsAndACutOutFromTheRedLevel)
{
    SetPlateTextDrawer(BlockDrawer);
    char white[8] = {'W'};
    char black[8] = {'B'};
    EXPECT_EQ(GetNumberPlate(white), 0);
    EXPECT_EQ(GetNumberPlate(black), 1);
    UpdatePlateTextures();
    const NumberPlateGroup &g = PlateGroups[0];
    EXPECT_EQ(g.redraw, 0);
    ASSERT_EQ(g.opaque.side, PlateTextureSide);
    ASSERT_EQ(g.cutOut.side, PlateTextureSide);
    constexpr int Scale = PlateImageSide / PlateTextureSide;
    const int bandRow = PlateBandRows / Scale;  // the second text's first row
    // The black block of band 1, shrunk; the rest white and opaque.
    EXPECT_EQ(g.opaque.pixels[bandRow * PlateTextureSide + 0], 0xFF000000u);
    EXPECT_EQ(g.cutOut.pixels[bandRow * PlateTextureSide + 0], 0xFFFFFFFFu);
    EXPECT_EQ(g.opaque.pixels[0], 0xFFFFFFFFu);
    EXPECT_EQ(g.cutOut.pixels[0], 0x00FFFFFFu);
    EXPECT_EQ(g.opaque.pixels[bandRow * PlateTextureSide + 8 / Scale], 0xFFFFFFFFu);

    // A group not flagged again keeps its drawing.
    const uint32_t *before = g.opaque.pixels;
    UpdatePlateTextures();
    EXPECT_EQ(g.opaque.pixels, before);
    // Without texture the group gets placeholders until it is drawn again.
    ReleasePlateTextures();
    EXPECT_EQ(GetNumberPlate(white), 0);
    EXPECT_EQ(g.opaque.side, PlatePlaceholderSide);
    EXPECT_EQ(g.opaque.pixels[0], PlatePlaceholderColour);
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
