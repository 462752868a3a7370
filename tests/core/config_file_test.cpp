#include "core/config_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "core/card_config.h"
#include "core/font_face_settings.h"
#include "core/language_table.h"
#include "core/shell_globals.h"
#include "platform/locale.h"

namespace {

namespace fs = std::filesystem;

constexpr int German = 7 | 1 << 10;
constexpr int SpanishLatin = 10 | 2 << 10;

void WriteText(const char *path, const std::string &text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> ReadLines(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The current value of a key in its written form.
std::string Value(const char *key)
{
    const ConfigKey *row = FindConfigKey(key);
    if (!row) {
        return std::string("<no key ") + key + ">";
    }
    char text[128];
    FormatConfigValue(*row, text, sizeof(text));
    return text;
}

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DesktopWidth = 1000;
        DesktopHeight = 700;
        MpSpeedupChoice = -1;
        SetUserLanguageIdOverride(LanguageIdEnglish);
        std::error_code ec;
        fs::remove("cfg.txt", ec);
        fs::remove_all("cfg.txt.tmp", ec);
    }
    void TearDown() override
    {
        SetUserLanguageIdOverride(-1);
        DesktopWidth = 0;
        DesktopHeight = 0;
    }

    static void ReadFragment(const std::string &text)
    {
        WriteText("cfg.txt", text);
        ReadConfigFile();
    }
};

TEST_F(ConfigFileTest, KeyTableIsCompleteAndOrderedForTheMatcher)
{
    for (int i = 0; i < ConfigKeyCount; ++i) {
        const char *key = ConfigKeyTable[i].key;
        ASSERT_NE(key, nullptr) << "row " << i;
        const size_t length = std::strlen(key);
        ASSERT_GE(length, 2u);
        EXPECT_LE(length, 25u) << key;
        EXPECT_EQ(key[length - 1], ' ') << key;
        EXPECT_NE(key[length - 2], ' ') << key;
        for (int j = 0; j < ConfigKeyCount; ++j) {
            // A key that begins a longer one fires inside it; only a number
            // scan fails without eating the longer key's next character.
            if (j != i && std::strncmp(ConfigKeyTable[j].key, key, length) == 0) {
                EXPECT_TRUE(ConfigKeyTable[i].kind == ConfigInt || ConfigKeyTable[i].kind == ConfigMask)
                    << key << " begins " << ConfigKeyTable[j].key;
            }
        }
        // The first key that matches wins, so no key may end a later one.
        for (int j = i + 1; j < ConfigKeyCount; ++j) {
            const std::string later = ConfigKeyTable[j].key;
            EXPECT_FALSE(later.size() >= length && later.compare(later.size() - length, length, key) == 0)
                << "\"" << key << "\" stands before \"" << later << "\"";
        }
    }
    // The four dashboard keys name cars of the car table and stand between
    // "Back Texture " and "Road Gear LED ".
    const ConfigKey *backTexture = FindConfigKey("Back Texture ");
    ASSERT_NE(backTexture, nullptr);
    for (int i = 1; i <= 4; ++i) {
        const std::string key = backTexture[i].key;
        ASSERT_EQ(key.size(), 9u);
        EXPECT_EQ(key.substr(3), " Dash ");
        EXPECT_GE(FindCarByCode(key.substr(0, 3).c_str()), 0) << key;
    }
    EXPECT_STREQ(backTexture[5].key, "Road Gear LED ");
}

TEST_F(ConfigFileTest, ReaderClampsMasksAndMatchesKeys)
{
    const std::string name23 = "ABCDEFGHIJKLMNOPQRSTUVW";
    struct Case {
        std::string file;
        const char *key;
        const char *expected;
    } const cases[] = {
        // Clamps.
        {"Min Frame Time 5", "Min Frame Time ", "10"},
        {"Min Frame Time 500", "Min Frame Time ", "100"},
        {"FF Strength 250.0", "FF Strength ", "200.00"},
        {"KB Limit Mul 0.1", "KB Limit Mul ", "0.40"},
        {"FF Strength nan", "FF Strength ", "0.00"},
        {"FF Strength -inf", "FF Strength ", "0.00"},
        {"Next Shot 99999999999", "Next Shot ", "99999999"},
        {"Min Sleep -99999999999", "Min Sleep ", "1"},
        {"Cars In Race 40", "Cars In Race ", "32"},
        {"Fuel Start 0", "Fuel Start ", "1"},
        {"Sun Colour 300 -1 7", "Sun Colour ", "44 255 7"},
        {"Server Port 1234567890", "Server Port ", "1234567"},
        // Masks and the rules after reading.
        {"MP Flags 65535", "MP Flags ", "995"},
        {"Mip Filter 3", "Mip Filter ", "0"},
        {"Mip Filter 8", "Mip Filter ", "8"},
        // Matching: anywhere, exact, case-sensitive, first key in table order.
        {"xShow FPS 0", "Show FPS ", "0"},
        {"Editor Options 2", "Editor Options ", "2"},
        {"Editor Options 2", "Options ", "1"},
        {"Show FPS\t0", "Show FPS ", "1"},
        {"show fps 0", "Show FPS ", "1"},
        {"Show FPS 0\nShow FPS 2", "Show FPS ", "2"},
        // Scanning: line ends are skipped; a failed scan keeps the value and
        // gives its character back to the matcher.
        {"Start Windowed \n1", "Start Windowed ", "1"},
        {"Show FPS Sky Res 0", "Show FPS ", "1"},
        {"Show FPS Sky Res 0", "Sky Res ", "0"},
        {"Steer Look 2 Steer Look Amount 1.5", "Steer Look ", "2"},
        {"Steer Look 2 Steer Look Amount 1.5", "Steer Look Amount ", "1.50"},
        {"Window 10 20 30", "Window ", "10 20 30 620"},
        // Names and texts.
        {"Ply Name A?B:C", "Ply Name ", "ABC"},
        {"Ply Name " + name23 + "Show FPS 0", "Ply Name ", name23.c_str()},
        {"Ply Name " + name23 + "Show FPS 0", "Show FPS ", "0"},
        {"Game Name Show FPS 0 here", "Game Name ", "Show FPS 0 here"},
        {"Game Name Show FPS 0 here", "Show FPS ", "1"},
        // The window rectangle: an inverted one gives the default.
        {"Window 100 100 50 50", "Window ", "80 80 920 620"},
        {"Window 0 0 640 480", "Window ", "0 0 640 480"},
        // Choices taken only once "Welcome Z " is 0.
        {"Selected Car Kestrel Turbo\nWelcome Z 0", "Selected Car ", "Zento Hatch"},
        {"Welcome Z 0\nSelected Car Kestrel Turbo", "Selected Car ", "Kestrel Turbo"},
        {"Welcome Z 0\nSetup Name \n", "Setup Name ", ""},
        // Keys the file lacks.
        {"Auto Get Skins 2", "Helmet Skins ", "2"},
        {"Helmet Skins 0\nAuto Get Skins 2", "Helmet Skins ", "0"},
        {"Version 0.5Z28", "MP Filter ", "32"},
        {"Version 0.5Z28\nMP Filter 0", "MP Filter ", "0"},
    };
    for (const Case &c : cases) {
        ReadFragment(c.file);
        EXPECT_EQ(Value(c.key), c.expected) << "file: " << c.file << "\nkey: " << c.key;
    }
}

TEST_F(ConfigFileTest, MissingFileGivesDefaultsAndTheAfterReadingRules)
{
    DesktopWidth = 0;  // a start without a display
    DesktopHeight = 0;
    ReadConfigFile();
    EXPECT_EQ(Value("Window "), "80 80 1104 848");
    EXPECT_STREQ(SelectedCarName, CarTable[DefaultCarIndex].name);
    EXPECT_EQ(MpFilter, 0x20u);
    EXPECT_EQ(HelmetSkins, AutoGetSkins);
    EXPECT_FLOAT_EQ(MainLodReciprocal, 1.25f);
    EXPECT_NEAR(EditorViewScale, 2.0f * std::tan(60.0 * M_PI / 360.0), 1e-5);
    EXPECT_STREQ(MusicFilePattern, "data\\ogg\\%s.ogg");
    EXPECT_EQ(MaxTextureSide, 4096);
    EXPECT_EQ(Modulate2xOn, 1u);
    EXPECT_EQ(MultiTextureOn, 1);
    EXPECT_EQ(FontFaceSettings[3].weight, DefaultFontWeight);

    DesktopWidth = 2560;
    DesktopHeight = 1440;
    ReadConfigFile();
    EXPECT_EQ(Value("Window "), "80 80 1104 848");
}

TEST_F(ConfigFileTest, UpgradeRulesFollowTheFilesVersion)
{
    ReadFragment("Version 0.5Z20\nMP Filter 4\nWindowed Link 0");
    EXPECT_EQ(MpFilter, 0x104u);
    EXPECT_EQ(WindowedLink, 1);

    ReadFragment("Version 0.5Z28\nMP Filter 4\nWindowed Link 0");
    EXPECT_EQ(MpFilter, 0x4u);
    EXPECT_EQ(WindowedLink, 0);

    ReadFragment("Version 0.6A1\nMP Filter 4\nWindowed Link 0");
    EXPECT_EQ(MpFilter, 0x4u);
    EXPECT_EQ(WindowedLink, 1);

    // A Spanish user of an older file gets the language chosen again.
    SetUserLanguageIdOverride(SpanishLatin);
    ReadFragment("Version 0.5Z18\nLanguage Castellano");
    EXPECT_STREQ(LanguageName, "Latino");
    ReadFragment("Version 0.5Z28\nLanguage Castellano");
    EXPECT_STREQ(LanguageName, "Castellano");
    ReadFragment("Version junk\nLanguage Castellano");  // counts as 0.0, older than 0.5Z
    EXPECT_STREQ(LanguageName, "Latino");

    // Older than 0.5Z clears only the listed languages.
    SetUserLanguageIdOverride(German);
    ReadFragment("Version 0.5Y3\nLanguage Italiano");
    EXPECT_STREQ(LanguageName, "Italiano");
}

TEST_F(ConfigFileTest, LanguageComesFromTheLocaleOnlyWhenEmpty)
{
    SetUserLanguageIdOverride(German);
    ReadConfigFile();
    EXPECT_STREQ(LanguageName, "Deutsch");

    ReadFragment("Version 0.5Z28\nLanguage ENGLISH");
    EXPECT_STREQ(LanguageName, "");
    WriteConfigFile();
    ReadConfigFile();
    EXPECT_STREQ(LanguageName, "") << "a chosen English survives a restart on a German system";

    SetUserLanguageIdOverride(LanguageIdFromLocaleName("C"));
    fs::remove("cfg.txt");
    ReadConfigFile();
    EXPECT_STREQ(LanguageName, "");
}

TEST_F(ConfigFileTest, DefaultsFileHasEveryKeyInTableOrder)
{
    ReadConfigFile();
    WriteConfigFile();
    const std::vector<std::string> lines = ReadLines("cfg.txt");
    ASSERT_EQ(lines.size(), static_cast<size_t>(ConfigKeyCount));
    for (int i = 0; i < ConfigKeyCount; ++i) {
        EXPECT_EQ(lines[i].rfind(ConfigKeyTable[i].key, 0), 0u) << lines[i];
    }
    EXPECT_EQ(lines[0], "Version 0.5Z28");
    for (const char *expected : {"Main LOD 0.80", "Message Size 0.040", "MUSIC 10.0", "Button Look 45",
                                 "Screen Flags 53760", "INFO_F9 1 0 640 480", "Sun Colour 255 255 255",
                                 "Language English", "Window 80 80 920 620", "MIP_3 -4.0", "Music Dir data\\ogg",
                                 "Helmet Skins 1", "MP Filter 32"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
    EXPECT_FALSE(fs::exists("cfg.txt.tmp"));
}

TEST_F(ConfigFileTest, WriterStoresTheRunsChoices)
{
    ReadConfigFile();
    OutSimMode = 3;
    OutGaugeMode = 2;
    MpSpeedupChoice = 0;
    WriteConfigFile();
    EXPECT_EQ(OutSimMode, 0);
    EXPECT_EQ(MpSpeedupOpt, 0);
    const std::vector<std::string> lines = ReadLines("cfg.txt");
    for (const char *expected : {"OutSim Mode 0", "OutGauge Mode 2", "MP Speedup Opt 0"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
}

TEST_F(ConfigFileTest, UnwritableFileLeavesThePreviousOne)
{
    WriteText("cfg.txt", "Show FPS 2\n");
    fs::create_directory("cfg.txt.tmp");  // the temporary cannot be made
    ReadConfigFile();
    WriteConfigFile();
    EXPECT_EQ(ReadLines("cfg.txt"), std::vector<std::string>{"Show FPS 2"});
}

// Every setting gets an in-range value other than its default; after a write,
// a reset and a read each comes back (floats to their written precision).
TEST_F(ConfigFileTest, EverySettingSurvivesWriteAndRead)
{
    ReadConfigFile();
    std::vector<std::string> defaults;
    for (const ConfigKey &row : ConfigKeyTable) {
        defaults.push_back(Value(row.key));
    }
    for (int i = 0; i < ConfigKeyCount; ++i) {
        const ConfigKey &row = ConfigKeyTable[i];
        switch (row.kind) {
        case ConfigVersion:
            break;
        case ConfigInt:
        case ConfigByte: {
            const int value = row.defaults[0] != row.max ? row.max : row.min;
            if (row.kind == ConfigInt) {
                *static_cast<int *>(row.variable) = value;
            } else {
                *static_cast<uint8_t *>(row.variable) = static_cast<uint8_t>(value);
            }
            break;
        }
        case ConfigPlainInt:
            *static_cast<int *>(row.variable) = -1000 - i;
            break;
        case ConfigMask:
            *static_cast<uint32_t *>(row.variable) = row.defaults[0] != static_cast<int>(row.mask) ? row.mask : 0;
            break;
        case ConfigFloat:
            *static_cast<float *>(row.variable) = row.floatDefault != row.floatMax ? row.floatMax : row.floatMin;
            break;
        case ConfigColour:
            SetColourBytes(static_cast<Colour *>(row.variable), row.defaults[0] + 1, row.defaults[1] + 2, i);
            break;
        case ConfigFourInts:
            for (int k = 0; k < 4; ++k) {
                *row.parts[k] = row.defaults[k] + 7 + k;
            }
            break;
        case ConfigText:
        case ConfigName:
            std::snprintf(static_cast<char *>(row.variable), static_cast<size_t>(row.size), "T%d", i);
            break;
        }
    }
    WelcomeZ = 0;  // the gated choices are read only after it

    std::vector<std::string> before;
    for (const ConfigKey &row : ConfigKeyTable) {
        before.push_back(Value(row.key));
    }
    WriteConfigFile();
    SetConfigDefaults();
    ReadConfigFile();
    for (int i = 0; i < ConfigKeyCount; ++i) {
        const ConfigKey &row = ConfigKeyTable[i];
        if (row.kind == ConfigFloat) {
            const double step = std::pow(10.0, -row.decimals);
            EXPECT_NEAR(*static_cast<float *>(row.variable), std::stod(before[i]), step / 2 + 1e-6) << row.key;
        } else {
            EXPECT_EQ(Value(row.key), before[i]) << row.key;
        }
        if (row.kind != ConfigVersion) {
            EXPECT_NE(before[i], defaults[i]) << row.key << " was not changed, so proves nothing";
        }
    }
}

}  // namespace
