#include "core/card_config.h"
#include "platform/recording_device.h"
#include "render/car_skins.h"
#include "render/device_resources.h"
#include "render/material.h"
#include "render/material_textures.h"
#include "render/number_plates.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/standard_textures.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using render_test::Contains;
using render_test::RenderLogLines;

std::vector<std::string> Printed;

void WriteBytes(const std::filesystem::path &path, size_t size, uint8_t value)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes(size, static_cast<char>(value));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A .raw colour picture (and its alpha companion for names with an alpha
// suffix) of the side in data/pic.
void WritePicture(const std::string &name, int side)
{
    const size_t count = static_cast<size_t>(side) * static_cast<size_t>(side);
    const std::filesystem::path pic = "data/pic";
    static const char *const Suffixes[] = {"ATEST", "ALPHA", "ALP24"};
    for (const char *suffix : Suffixes) {
        const size_t n = std::strlen(suffix);
        if (name.size() > n && name.compare(name.size() - n, n, suffix) == 0) {
            WriteBytes(pic / (name.substr(0, name.size() - n) + ".raw"), count * 3, 128);
            WriteBytes(pic / (name + ".raw"), count, 255);
            return;
        }
    }
    WriteBytes(pic / (name + ".raw"), count * 3, 128);
}

// The renderer on the recording device with its graphics started, inside a
// folder of its own holding data/pic with every standard picture.
class StandardTexturesTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        home = std::filesystem::current_path();
        folder = home / "standard_textures_run";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "data/pic");
        std::filesystem::create_directories(folder / "data/dds");
        std::filesystem::current_path(folder);
        for (int i = 0; i < StandardTextureCount; ++i) {
            WritePicture(StandardTextureTable[i].name, 64);
        }
        WritePicture(TitlePictureName, 64);
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
        RenderShellLink link = RenderShell;
        Printed.clear();
        link.printMessage = [](const char *text, int) { Printed.emplace_back(text); };
        SetRenderShellLink(link);
        SetTextureLink(TextureLink{});
        TextureNoLoad = 0;
        TextureMissing = 0;
        SkinMode = 0;
    }

    void TearDown() override
    {
        SetTextureLink(TextureLink{});
        SetBackgroundPicture(nullptr);
        render_test::RecordingRenderTest::TearDown();
        LoadStandardTextures();  // without a device: every standard material zero
        std::filesystem::current_path(home);
        std::filesystem::remove_all(folder);
    }

    void Start()
    {
        ASSERT_EQ(StartGraphics(), 1);
        ASSERT_EQ(LoadStandardTextures(), 1);
    }

    std::filesystem::path home;
    std::filesystem::path folder;
};

TEST_F(StandardTexturesTest, SpecialNamesAnswerInEveryLookUpMode)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(StandardMaterials.mirror, nullptr);
    ASSERT_NE(StandardMaterials.clock, nullptr);
    for (int slot = 0; slot < 5; ++slot) {
        char text[8] = {'P', 'L', 'A', 'T', 'E', static_cast<char>('0' + slot)};
        GetNumberPlate(text);
    }
    ASSERT_NE(PlateGroups[1].opaqueMaterial, nullptr);

    Material sky;
    static Material *SkyMaterial = nullptr;
    SkyMaterial = &sky;
    for (int world = 0; world < 2; ++world) {
        TextureLink link{};
        if (world) {
            link.worldSkyMaterial = [] { return SkyMaterial; };
        }
        SetTextureLink(link);
        for (int mode = 0; mode < 3; ++mode) {
            SCOPED_TRACE(std::to_string(world) + " mode " + std::to_string(mode));
            uint8_t environment = 0;
            EXPECT_EQ(GetMaterialTexture("s_sky", mode, 0, 0, &environment), world ? &sky : DefaultMaterial);
            EXPECT_EQ(environment, mode == 0 ? 1 : 0);
            EXPECT_EQ(GetMaterialTexture("S_ENV", mode, 0, 0, nullptr), DefaultMaterial);
            if (mode == 0) {
                continue;  // world objects load the special names as ordinary textures
            }
            EXPECT_EQ(GetMaterialTexture("s_mirr", mode, 0, 0, nullptr), StandardMaterials.mirror);
            for (const char *clock : {"s_clock", "s_clock_white", "s_clock_formula", "s_clock_f1", "S_CLOCK_F3"}) {
                EXPECT_EQ(GetMaterialTexture(clock, mode, 0, 0, nullptr), StandardMaterials.clock) << clock;
            }
            EXPECT_EQ(GetMaterialTexture("s_plate", mode, 0, 1, nullptr), PlateGroups[1].opaqueMaterial);
            EXPECT_EQ(GetMaterialTexture("s_plate_atest", mode, 0, 1, nullptr), PlateGroups[1].cutOutMaterial);
            // A group without textures takes group 0's.
            EXPECT_EQ(GetMaterialTexture("s_plate", mode, 0, 5, nullptr), PlateGroups[0].opaqueMaterial);
        }
    }
    // GetTextureForName: the plain default without a world.
    SetTextureLink(TextureLink{});
    EXPECT_EQ(GetTextureForName("s_sky"), StandardMaterials.plainDefault);
    EXPECT_EQ(GetTextureForName("s_plate"), PlateGroups[0].opaqueMaterial);
    EXPECT_EQ(GetSpecialTexture("s_plate", 0), nullptr);
}

TEST_F(StandardTexturesTest, EmptyNamesFallBackAndTheNoLoadFlagLoadsNothing)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ClearAlphaTestMaterials();
    EXPECT_EQ(GetMaterialTexture("", 0, 0, 0, nullptr), StandardMaterials.plainDefault);
    EXPECT_EQ(GetMaterialTexture("", 1, 1, 0, nullptr), StandardMaterials.plainDefault);
    EXPECT_EQ(GetMaterialTexture("", 2, 0, 0, nullptr), StandardMaterials.addPassWhite);
    EXPECT_EQ(AlphaTestMaterialCount, 0);
    EXPECT_EQ(GetMaterialTexture("", 2, 1, 0, nullptr), StandardMaterials.trackLitPlain);
    EXPECT_EQ(AlphaTestMaterialCount, 1);

    WritePicture("body", 32);
    Material *body = GetMaterialTexture("body", 2, 0, 0, nullptr);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->AddPass, 1);
    EXPECT_NE(body->texture->texture, 0u);

    TextureNoLoad = 1;
    EXPECT_EQ(GetMaterialTexture("body", 2, 0, 0, nullptr), body);
    EXPECT_EQ(TextureMissing, 0);
    WritePicture("wing", 32);
    EXPECT_EQ(GetMaterialTexture("wing", 2, 0, 0, nullptr), StandardMaterials.addPassWhite);
    EXPECT_EQ(TextureMissing, 1);
    EXPECT_EQ(FindTexture("wing"), nullptr);
    TextureNoLoad = 0;

    // A missing ordinary texture is reported once per look-up.
    Printed.clear();
    GetMaterialTexture("nothing", 1, 0, 0, nullptr);
    EXPECT_EQ(Printed, std::vector<std::string>({"Can't open : nothing"}));
}

TEST_F(StandardTexturesTest, SkinModeOneLoadsWithTheLocalSkinsSettingAndRestoresCompression)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    std::filesystem::create_directories("data/skins");
    Printed.clear();
    CompressTextures = 0;
    SkinMode = 1;
    EXPECT_NE(GetMaterialTexture("XR_none", 2, 0, 0, nullptr), nullptr);
    SkinMode = 0;
    EXPECT_EQ(CompressTextures, 0);
    EXPECT_TRUE(Printed.empty());  // no report for a skin
}

TEST_F(StandardTexturesTest, WithoutGraphicsTheLookUpDrawsNothingAndIsNotRegistered)
{
    // No device: every standard material zero, and nothing registered as the
    // object look-up, so a car built headless finds no missing texture.
    EXPECT_EQ(LoadStandardTextures(), 1);
    EXPECT_EQ(StandardMaterials.plainDefault, nullptr);
    EXPECT_EQ(StandardMaterials.mirror, nullptr);
    EXPECT_EQ(GetMaterialTexture("s_mirr", 1, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetTrackDefaultTexture(), nullptr);
}

}  // namespace
