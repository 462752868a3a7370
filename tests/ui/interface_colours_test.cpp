#include "ui/interface_colours.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr const char *ConfigPath = "interface_cfg.txt";

const char *const DefaultFileText =
    "Big Opacity 0.30\n"
    "Big Col 5 0 0\n"
    "Button Opacity 0.40\n"
    "Button Col 200 200 200\n"
    "Title Grey 218 255 87\n"
    "Big Text 186 200 204\n"
    "Text Unselected 0 0 0\n"
    "Text Selected 255 255 255\n"
    "Text Unavailable 114 114 111\n"
    "Text String 48 166 236\n"
    "Button Green 117 179 77\n"
    "Button Red 210 98 32\n"
    "Button Alt 180 180 30\n"
    "Small Map Light 208 208 208\n"
    "Small Map Dark 48 48 48\n"
    "Car Lap Ahead 255 255 192\n"
    "Car Ahead 224 224 32\n"
    "AI Ahead 32 176 240\n"
    "Own Car 32 224 32\n"
    "AI Behind 48 48 240\n"
    "Car Behind 255 160 0\n"
    "Car Lap Behind 208 96 0\n";

void WriteConfig(const char *text)
{
    std::ofstream(ConfigPath, std::ios::binary) << text;
}

std::string ReadConfig()
{
    std::ifstream file(ConfigPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Every byte wrong, flag bytes included, so a value left unset shows.
void SpoilColours()
{
    std::memset(&InterfaceColours, 0x5a, sizeof(InterfaceColours));
}

InterfaceColour *AllColours[] = {
    &InterfaceColours.bigCol,          &InterfaceColours.buttonCol,     &InterfaceColours.titleGrey,
    &InterfaceColours.bigText,         &InterfaceColours.textUnselected, &InterfaceColours.textSelected,
    &InterfaceColours.textUnavailable, &InterfaceColours.textString,    &InterfaceColours.buttonGreen,
    &InterfaceColours.buttonRed,       &InterfaceColours.buttonAlt,     &InterfaceColours.smallMapLight,
    &InterfaceColours.smallMapDark,    &InterfaceColours.carLapAhead,   &InterfaceColours.carAhead,
    &InterfaceColours.aiAhead,         &InterfaceColours.ownCar,        &InterfaceColours.aiBehind,
    &InterfaceColours.carBehind,       &InterfaceColours.carLapBehind,
};

TEST(InterfaceColoursTest, MissingEmptyOrForeignFileGivesTheDefaults)
{
    const char *const cases[] = {nullptr, "", "Options 3\nbig col 1 2 3\nBig Col\n"};
    for (const char *content : cases) {
        SCOPED_TRACE(content ? content : "(missing)");
        if (content) {
            WriteConfig(content);
        } else {
            std::remove(ConfigPath);
        }
        SpoilColours();
        LoadInterfaceColours();
        for (const InterfaceColour *colour : AllColours) {
            EXPECT_EQ(colour->flags, 0);
        }
        ASSERT_EQ(SaveInterfaceColours(), 1);
        EXPECT_EQ(ReadConfig(), DefaultFileText);
    }
    EXPECT_FALSE(std::filesystem::exists("interface_cfg.txt.tmp"));
}

TEST(InterfaceColoursTest, WrittenFileReadsBackTheSameSettings)
{
    std::remove(ConfigPath);
    LoadInterfaceColours();
    InterfaceColours.bigOpacity = 0.57f;
    InterfaceColours.buttonOpacity = 0.123f;  // the file keeps two decimals
    for (int i = 0; i < 20; ++i) {
        SetColourBytes(AllColours[i], i * 11, 255 - i * 7, (i * 37) % 256);
    }
    ASSERT_EQ(SaveInterfaceColours(), 1);

    SpoilColours();
    LoadInterfaceColours();
    EXPECT_EQ(InterfaceColours.bigOpacity, 0.57f);
    EXPECT_EQ(InterfaceColours.buttonOpacity, 0.12f);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(AllColours[i]->red, i * 11);
        EXPECT_EQ(AllColours[i]->green, 255 - i * 7);
        EXPECT_EQ(AllColours[i]->blue, (i * 37) % 256);
        EXPECT_EQ(AllColours[i]->flags, 0);
    }
}

struct OpacityCase {
    const char *file;
    float big;
    float button;
};

TEST(InterfaceColoursTest, OpacitiesAreClampedToZeroToOne)
{
    const OpacityCase cases[] = {
        {"Big Opacity 1.7\n", 1.0f, 0.4f},
        {"Button Opacity -0.5\n", 0.3f, 0.0f},
        {"Big Opacity nan\nButton Opacity inf\n", 0.0f, 1.0f},
        {"Big Opacity 0.75", 0.75f, 0.4f},           // no line end at the end of the file
        {"Big Opacity \n\n  0.6\n", 0.6f, 0.4f},      // the number may follow on a later line
        {"Big Opacity x 0.6\n", 0.3f, 0.4f},          // no number: the default stays
    };
    for (const OpacityCase &c : cases) {
        SCOPED_TRACE(c.file);
        WriteConfig(c.file);
        LoadInterfaceColours();
        EXPECT_EQ(InterfaceColours.bigOpacity, c.big);
        EXPECT_EQ(InterfaceColours.buttonOpacity, c.button);
    }
}

struct ColourCase {
    const char *file;
    InterfaceColour *colour;
    int red;
    int green;
    int blue;
};

TEST(InterfaceColoursTest, ColoursAreFoundAnywhereAndClampedToBytes)
{
    const ColourCase cases[] = {
        {"Title Grey 300 -5 128\n", &InterfaceColours.titleGrey, 255, 0, 128},
        {"Title Grey 99999999999 1 2\n", &InterfaceColours.titleGrey, 255, 1, 2},
        {"Button Col 7 x 9\n", &InterfaceColours.buttonCol, 7, 200, 200},  // the scan stops at x
        {"Own Car \n1\n2\n3\n", &InterfaceColours.ownCar, 1, 2, 3},
        {"junk before Own Car 4 5 6 and after\n", &InterfaceColours.ownCar, 4, 5, 6},
        {"Own Car 1 2 3\nOwn Car 7 8 9\n", &InterfaceColours.ownCar, 7, 8, 9},  // the later copy wins
        {"own car 1 2 3\nOwn  Car 1 2 3\nOwn Car1 2 3\n", &InterfaceColours.ownCar, 32, 224, 32},
        {"Text Selected 9 9 9 Text Unselected 8 7 6\n", &InterfaceColours.textUnselected, 8, 7, 6},
        {"Text Selected 9 9 9 Text Unselected 8 7 6\n", &InterfaceColours.textSelected, 9, 9, 9},
        {"Car Lap Ahead 1 1 1\n", &InterfaceColours.carAhead, 224, 224, 32},
        {"Car Ahead 1 1 1\n", &InterfaceColours.carLapAhead, 255, 255, 192},
    };
    for (const ColourCase &c : cases) {
        SCOPED_TRACE(c.file);
        WriteConfig(c.file);
        LoadInterfaceColours();
        EXPECT_EQ(c.colour->red, c.red);
        EXPECT_EQ(c.colour->green, c.green);
        EXPECT_EQ(c.colour->blue, c.blue);
        EXPECT_EQ(c.colour->flags, 0);
    }
}

TEST(InterfaceColoursTest, FailedSaveLeavesTheOldFileAndReportsIt)
{
    WriteConfig("Big Col 1 2 3\n");
    LoadInterfaceColours();
    // A folder where the temporary file must go: the file cannot be made.
    std::filesystem::create_directory("interface_cfg.txt.tmp");
    EXPECT_EQ(SaveInterfaceColours(), 0);
    EXPECT_EQ(ReadConfig(), "Big Col 1 2 3\n");
    std::filesystem::remove("interface_cfg.txt.tmp");
}

}  // namespace

TEST(InterfaceColoursTest, LoadDerivesTheAlphasAndPackedColours)
{
    WriteConfig("Big Opacity 0.5\nOwn Car 18 52 86\nSmall Map Dark 1 2 3\nCar Lap Behind 255 0 7\n");
    ButtonAlpha = BigAlpha = 0;
    LoadInterfaceColours();
    EXPECT_EQ(ButtonAlpha, 0x66000000u);  // the default 0.4
    EXPECT_EQ(BigAlpha, 0x80000000u);     // round(0.5 x 255) = 128
    EXPECT_EQ(CarMarkerColours[3], 0xff123456u);
    EXPECT_EQ(CarMarkerColours[6], 0xffff0007u);
    EXPECT_EQ(SmallMapDarkPacked, 0xff010203u);
    EXPECT_EQ(SmallMapLightPacked, 0xffd0d0d0u);

    // A change shows once applied.
    InterfaceColours.buttonOpacity = 1.0f;
    InterfaceColours.bigOpacity = 0.0f;
    SetColourBytes(&InterfaceColours.carAhead, 9, 8, 7);
    ApplyInterfaceColours();
    EXPECT_EQ(ButtonAlpha, 0xff000000u);
    EXPECT_EQ(BigAlpha, 0u);
    EXPECT_EQ(CarMarkerColours[1], 0xff090807u);
    std::remove(ConfigPath);
}
