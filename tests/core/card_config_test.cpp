#include "core/card_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/debug_log.h"
#include "core/settings.h"

namespace {

namespace fs = std::filesystem;

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

class CardConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ec;
        fs::remove("card_cfg.txt", ec);
        AdapterDescription[0] = 0;
    }
};

TEST_F(CardConfigTest, ReadClampsAndIgnoresTheAdapterName)
{
    struct Case {
        const char *file;
        int adapter;
        int zbd;
        int simple;
    } const cases[] = {
        {"", 0, -1, 0},
        {"Adapter Select 9\nZBD Select -5\nSimple Track 7", 7, -1, 2},
        {"Adapter Select 3\nZBD Select 2\nSimple Track 1", 3, 2, 1},
        {"Adapter Name My Card Simple Track 2\nAdapter Select 1", 1, -1, 0},
    };
    for (const Case &c : cases) {
        WriteText("card_cfg.txt", c.file);
        AdapterSelect = 5;
        ReadCardConfig();
        EXPECT_EQ(AdapterSelect, c.adapter) << c.file;
        EXPECT_EQ(ZbdSelect, c.zbd) << c.file;
        EXPECT_EQ(SimpleTrack, c.simple) << c.file;
    }
}

TEST_F(CardConfigTest, WriteThenReadKeepsTheNumbers)
{
    AdapterSelect = 3;
    ZbdSelect = 2;
    SimpleTrack = 1;
    WriteCardConfig();
    EXPECT_EQ(ReadLines("card_cfg.txt"),
              (std::vector<std::string>{"Adapter Select 3", "Adapter Name ", "ZBD Select 2", "Simple Track 1"}));
    EXPECT_FALSE(fs::exists("card_cfg.txt.tmp"));

    AdapterSelect = 0;
    ZbdSelect = -1;
    SimpleTrack = 0;
    ReadCardConfig();
    EXPECT_EQ(AdapterSelect, 3);
    EXPECT_EQ(ZbdSelect, 2);
    EXPECT_EQ(SimpleTrack, 1);

    std::snprintf(AdapterDescription, sizeof(AdapterDescription), "Null Display Adapter");
    WriteCardConfig();
    EXPECT_EQ(ReadLines("card_cfg.txt")[1], "Adapter Name Null Display Adapter");
}

// The lines LogDeviceCaps appended to deb.log, without their time stamps.
std::vector<std::string> LoggedDeviceCaps()
{
    DeleteDebugLog();
    LogDeviceCaps();
    std::vector<std::string> lines;
    for (const std::string &line : ReadLines(DefaultDebugLogName)) {
        lines.push_back(line.substr(LogStampLength));
    }
    return lines;
}

TEST_F(CardConfigTest, DeviceCapsAreLoggedAndLowerTheSettings)
{
    struct Case {
        const char *what;
        std::function<void(DeviceCaps &)> change;
        std::function<void()> check;
    } const cases[] = {
        {"no anisotropy", [](DeviceCaps &) {},
         [] {
             EXPECT_EQ(MaxMipFilter, 2);
             EXPECT_EQ(MipFilter, 2);
             EXPECT_EQ(HalfTexRes, 1);
             EXPECT_EQ(DxtSupported, 0);
             EXPECT_EQ(ShadowMode, 2);
             EXPECT_EQ(Modulate2xOn, 1u);
             EXPECT_EQ(MultiTextureOn, 1);
             EXPECT_EQ(MaxTextureSide, 4096);
         }},
        {"anisotropy 8", [](DeviceCaps &caps) { caps.maxAnisotropy = 8; },
         [] {
             EXPECT_EQ(MaxMipFilter, 8);
             EXPECT_EQ(MipFilter, 8);
         }},
        {"DXT1 without DXT3", [](DeviceCaps &caps) { caps.dxt1Textures = 1; },
         [] {
             EXPECT_EQ(DxtSupported, 0);
             EXPECT_EQ(HalfTexRes, 1);
         }},
        {"DXT1 and DXT3",
         [](DeviceCaps &caps) {
             caps.dxt1Textures = 1;
             caps.dxt3Textures = 1;
         },
         [] {
             EXPECT_EQ(DxtSupported, 1);
             EXPECT_EQ(HalfTexRes, 0);
         }},
        {"no clamping", [](DeviceCaps &caps) { caps.canClampTextures = 0; },
         [] {
             EXPECT_EQ(ShadowMode, 0);
             EXPECT_EQ(Modulate2xOn, 1u);
         }},
        {"no blending", [](DeviceCaps &caps) { caps.sourceColourDestBlend = 0; },
         [] {
             EXPECT_EQ(ShadowMode, 0);
             EXPECT_EQ(Modulate2xOn, 0u);
         }},
        {"one texture", [](DeviceCaps &caps) { caps.maxSimultaneousTextures = 1; },
         [] { EXPECT_EQ(MultiTextureOn, 0); }},
        {"small textures",
         [](DeviceCaps &caps) {
             caps.maxTextureWidth = 2048;
             caps.maxTextureHeight = 1024;
         },
         [] { EXPECT_EQ(MaxTextureSide, 1024); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetRenderCapabilityDefaults();
        MipFilter = 16;
        ShadowMode = 2;
        HalfTexRes = 0;
        CurrentDeviceCaps = NullDeviceCaps();
        c.change(CurrentDeviceCaps);
        LogDeviceCaps();
        c.check();
    }

    CurrentDeviceCaps = NullDeviceCaps();
    EXPECT_EQ(LoggedDeviceCaps(),
              (std::vector<std::string>{"max texture size 4096", "can do shadows", "can use 2x tex", "can do multi tex",
                                        "can use dynamic tex", "can't use compressed tex"}));
    CurrentDeviceCaps = {};
    CurrentDeviceCaps.maxTextureWidth = 512;
    CurrentDeviceCaps.maxTextureHeight = 256;
    CurrentDeviceCaps.dxt1Textures = 1;
    CurrentDeviceCaps.dxt3Textures = 1;
    EXPECT_EQ(LoggedDeviceCaps(),
              (std::vector<std::string>{"max texture size 256", "can't do shadows", "can't use 2x tex",
                                        "can't do multi tex", "can't use dynamic tex", "can use compressed tex"}));
}

}  // namespace
