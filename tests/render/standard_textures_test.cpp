#include "core/card_config.h"
#include "core/data_stream.h"
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
#include "core/settings.h"
#include "render/state_cache.h"
#include "platform/jpeg_file.h"
#include "platform/dds_file.h"
#include "render/skin_conversion.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <chrono>
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

TEST_F(StandardTexturesTest, TheSetLoadsEveryTableEntryWithItsLodClassAndTheRenderTargets)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(Printed.empty()) << Printed.front();
    const char *const names[] = {"LEAF0ATEST", "LEAF1ATEST", "LEAF2ATEST", "LEAF3ATEST", "RACELINEALPHA",
                                 "DISCSOLIDALP24", "DISCDRILLALP24", "TYRE", "LOGOALPHA", "DUSTALPHA",
                                 "NDLCTRALPHA", "LIGHTALPHA", "STARTALPHA", "KZVFLAGSALPHA", "BUTTALPHA",
                                 "SMLBALPHA", "LANGICONS", "LINE"};
    const int classes[] = {1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(StandardTextureCount, 18);
    for (int i = 0; i < StandardTextureCount; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_STREQ(StandardTextureTable[i].name, names[i]);
        TextureRecord *record = FindTexture(names[i]);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->lodClass, classes[i]);
        EXPECT_NE(record->texture, 0u);
    }
    EXPECT_EQ(StandardMaterials.leaves[2]->texture, FindTexture("LEAF2ATEST"));
    EXPECT_EQ(StandardMaterials.leaves[2]->Modulate2x, Modulate2xOn ? 1 : 0);
    EXPECT_EQ(StandardMaterials.flags->texture, FindTexture("KZVFLAGSALPHA"));
    EXPECT_EQ(StandardMaterials.picture->texture, FindTexture(TitlePictureName));
    // The plain materials.
    EXPECT_STREQ(StandardMaterials.plainBlack->texture->name, "PLAIN~B");
    EXPECT_STREQ(StandardMaterials.plainGrey->texture->name, "PLAIN~G");
    EXPECT_STREQ(StandardMaterials.plainDefault->texture->name, "PLAIN~W");
    EXPECT_EQ(StandardMaterials.plainDefault->PreLit, 1);
    EXPECT_EQ(StandardMaterials.trackLitPlain->texture, nullptr);
    EXPECT_EQ(StandardMaterials.trackLitPlain->secondTexture, StandardMaterials.plainBlack->texture);
    EXPECT_EQ(StandardMaterials.addPassWhite->AddPass, 1);
    EXPECT_EQ(StandardMaterials.addPassWhite->texture, StandardMaterials.plainDefault->texture);
    // The render targets: 512 and 256 (R5G6B5), cleared to opaque black.
    TextureRecord *mirror = FindTexture(MirrorTextureName);
    TextureRecord *clock = FindTexture(ClockTargetTextureName);
    ASSERT_NE(mirror, nullptr);
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(mirror->width, 512u);
    EXPECT_EQ(clock->width, 256u);
    EXPECT_EQ(clock->format, static_cast<uint32_t>(RenderFormatR5G6B5));
    EXPECT_NE(mirror->flags & TextureFlagRenderTarget, 0);
    Device.ClearLog();
    ResetRenderTextures();
    const std::vector<DeviceCall> clears = Device.CallsNamed("Clear");
    ASSERT_EQ(clears.size(), 2u);
    for (const DeviceCall &clear : clears) {
        EXPECT_EQ(clear.args[1], 0xFF000000u);
    }
    EXPECT_EQ(Device.CallsNamed("SetRenderTarget").size(), 4u);  // in and out, twice
}

TEST_F(StandardTexturesTest, LoadFailuresArePrintedWithTheirReasons)
{
    // A 512 disc is refused by the loader's own limit; a 3,000-byte leaf is
    // no square; a missing one cannot be opened.
    WritePicture("DISCSOLIDALP24", 512);
    WriteBytes("data/pic/LEAF0.raw", 3000, 1);
    std::filesystem::remove("data/pic/LEAF1.raw");
    std::filesystem::remove("data/pic/LEAF1ATEST.raw");
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(Contains(Printed, "Too big : DISCSOLIDALP24"));
    EXPECT_TRUE(Contains(Printed, "Invalid : LEAF0ATEST"));
    EXPECT_TRUE(Contains(Printed, "Can't open : LEAF1ATEST"));
    EXPECT_EQ(Printed.size(), 3u);
    EXPECT_EQ(LargestTextureSide, 0);  // the limit is gone afterwards
    // The 256 drilled disc and the 512 logo loaded.
    EXPECT_NE(FindTexture("DISCDRILLALP24"), nullptr);
}

TEST_F(StandardTexturesTest, CompressedLoadingWritesCacheFilesExceptForTheFlags)
{
    CompressTextures = 1;
    ASSERT_NO_FATAL_FAILURE(Start());
    CompressTextures = 0;
    EXPECT_TRUE(std::filesystem::exists("data/dds/DUSTALPHA.dds"));
    EXPECT_FALSE(std::filesystem::exists("data/dds/KZVFLAGSALPHA.dds"));
}

TEST_F(StandardTexturesTest, TheSameBackgroundTwiceLoadsOnceAndANewNameReplacesIt)
{
    WriteBytes("data/pic/unused", 1, 0);
    std::vector<uint8_t> rgb(64 * 64 * 3, 90);
    ASSERT_TRUE(WriteJpegFile("data/pic/bkg_entry.jpg", rgb.data(), 64, 64, 90));
    ASSERT_TRUE(WriteJpegFile("data/pic/bkg_garage.jpg", rgb.data(), 64, 64, 90));
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(StandardMaterials.background, nullptr);
    SetBackgroundPicture("entry");
    Material *entry = StandardMaterials.background;
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->texture->name, "bkg_entry.jpg");
    EXPECT_EQ(entry->texture->levels, 1);
    Device.ClearLog();
    SetBackgroundPicture("entry");
    EXPECT_EQ(StandardMaterials.background, entry);
    EXPECT_TRUE(Device.CallsNamed("CreateTexture").empty());
    SetBackgroundPicture("garage");
    EXPECT_EQ(FindTexture("bkg_entry.jpg"), nullptr);
    ASSERT_NE(StandardMaterials.background, nullptr);
    EXPECT_STREQ(StandardMaterials.background->texture->name, "bkg_garage.jpg");
    // A rebuilt set loads the picture of the name again.
    ASSERT_EQ(LoadStandardTextures(), 1);
    ASSERT_NE(StandardMaterials.background, nullptr);
    EXPECT_STREQ(BackgroundPictureName(), "garage");
    SetBackgroundPicture(nullptr);
    EXPECT_EQ(StandardMaterials.background, nullptr);
    EXPECT_STREQ(BackgroundPictureName(), "");
}

// The quad of the menus' background: depth writes off around it, the
// picture's middle as wide as the screen's shape.
TEST_F(StandardTexturesTest, MenuFramesDrawTheBackgroundQuadUnlessAScreenCoversIt)
{
    std::vector<uint8_t> rgb(64 * 64 * 3, 90);
    ASSERT_TRUE(WriteJpegFile("data/pic/bkg_entry.jpg", rgb.data(), 64, 64, 90));
    ASSERT_NO_FATAL_FAILURE(Start());
    SetBackgroundPicture("entry");
    static int covered;
    covered = 0;
    TextureLink link{};
    link.screenMetrics = [](float *aspect, float *pw, float *ph) {
        *aspect = 0.75f;
        *pw = 2.0f / 640.0f;
        *ph = 2.0f / 480.0f;
    };
    link.noBackground = [] { return covered; };
    SetTextureLink(link);
    for (uint32_t mode : {DisplayModeMenu, DisplayModeMenuOver}) {
        for (int cover = 0; cover < 2; ++cover) {
            SCOPED_TRACE(std::to_string(mode) + " " + std::to_string(cover));
            covered = cover;
            ClearDisplayModeStack();
            if (mode == DisplayModeMenuOver) {
                PushDisplayMode(mode);
            }
            FrameBegun = 0;
            Device.ClearLog();
            DrawFrameBackground();
            FlushStateCache();
            std::vector<uint32_t> zWrites;
            for (const DeviceCall &call : Device.CallsNamed("SetRenderState")) {
                if (call.args[0] == RsZWriteEnable) {
                    zWrites.push_back(call.args[1]);
                }
            }
            const size_t draws = Device.CallsNamed("DrawIndexedTriangles").size();
            EndDrawFrame();
            if (cover) {
                EXPECT_EQ(draws, 0u);
                continue;
            }
            EXPECT_EQ(draws, 1u);
            EXPECT_EQ(zWrites, std::vector<uint32_t>({0, 1}));
        }
    }
    EXPECT_NEAR(BackgroundQuadU0(0.75f), 0.125f, 1e-6f);
    EXPECT_NEAR(BackgroundQuadU0(1.5f), 1.0f / 2048.0f, 1e-6f);
}

TEST_F(StandardTexturesTest, LagPreventRendersIntoOneSyncTargetAndReadsTheOther)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(BlockSurf[0], 0u);
    ASSERT_NE(BlockSurf[1], 0u);
    const int saved = LagPrevent;
    for (int setting : {1, 2}) {
        SCOPED_TRACE(setting);
        LagPrevent = setting;
        Device.ClearLog();
        SyncGpuFrame();
        const std::vector<DeviceCall> targets = Device.CallsNamed("SetRenderTarget");
        ASSERT_EQ(targets.size(), 2u);
        const uint32_t rendered = targets[0].args[0];
        EXPECT_TRUE(rendered == BlockSurf[0] || rendered == BlockSurf[1]);
        EXPECT_EQ(targets[1].args[0], RenderDevice.BackBufferSurface);
        const std::vector<DeviceCall> clears = Device.CallsNamed("Clear");
        ASSERT_EQ(clears.size(), 1u);
        EXPECT_EQ(clears[0].args[0], static_cast<uint32_t>(ClearTarget));
        EXPECT_EQ(clears[0].args[1], 0xFFFF0000u);
        const std::vector<DeviceCall> locks = Device.CallsNamed("LockSurface");
        ASSERT_EQ(locks.size(), 1u);
        EXPECT_NE(locks[0].args[0], rendered);  // the other one
        EXPECT_EQ(locks[0].args[1], setting == 2 ? LockReadOnly : (LockReadOnly | LockNoSysLock));
        EXPECT_EQ(Device.CallsNamed("UnlockSurface").size(), 1u);
    }
    LagPrevent = 0;
    Device.ClearLog();
    SyncGpuFrame();
    EXPECT_TRUE(Device.CallsNamed("LockSurface").empty());
    LagPrevent = saved;
}

TEST_F(StandardTexturesTest, FilterSettingsFollowMipFilterAndThePlainFiltersAfterAReload)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const int saved = MipFilter;
    struct Case {
        int mipFilter;
        int reloaded;
        uint32_t mag, min, mip, anisotropy;
    } cases[] = {
        {0, 0, 2, 2, 1, 1}, {1, 0, 2, 2, 2, 1}, {8, 0, 3, 3, 3, 8}, {8, 1, 2, 2, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.mipFilter) + " " + std::to_string(c.reloaded));
        MipFilter = c.mipFilter;
        StateCacheReloaded = c.reloaded;
        ApplyTextureFilterSettings();
        EXPECT_EQ(StateCacheReloaded, 0);
        EXPECT_EQ(WantedStageState(0, TssMagFilter), c.mag);
        EXPECT_EQ(WantedStageState(0, TssMinFilter), c.min);
        EXPECT_EQ(WantedStageState(0, TssMipFilter), c.mip);
        EXPECT_EQ(WantedStageState(0, TssMaxAnisotropy), c.anisotropy);
    }
    MipFilter = saved;
}

TEST_F(StandardTexturesTest, AFullScreenRoundTripKeepsThePlatesTargetsAndBackground)
{
    std::vector<uint8_t> rgb(64 * 64 * 3, 90);
    ASSERT_TRUE(WriteJpegFile("data/pic/bkg_entry.jpg", rgb.data(), 64, 64, 90));
    ASSERT_NO_FATAL_FAILURE(Start());
    SetBackgroundPicture("entry");
    char text[8] = {'A', 'B', '1'};
    GetNumberPlate(text);
    UpdatePlateTextures();
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    ASSERT_NE(adapter, nullptr);
    ASSERT_EQ(GoFullScreen(static_cast<int>(adapter->modeCount) - 1), 1);
    EXPECT_EQ(RememberedFullScreenMode.width, adapter->modes[adapter->modeCount - 1].width);
    ASSERT_EQ(GoToWindow(), 1);
    ResetRenderTextures();
    for (const char *name : {MirrorTextureName, ClockTargetTextureName, "PLATE~0", "PLATE~0ATEST", "bkg_entry.jpg"}) {
        SCOPED_TRACE(name);
        TextureRecord *record = FindTexture(name);
        ASSERT_NE(record, nullptr);
        EXPECT_NE(record->texture, 0u);
    }
    EXPECT_EQ(FindTexture(MirrorTextureName)->width, 512u);
    EXPECT_EQ(FindTexture(ClockTargetTextureName)->width, 256u);
    EXPECT_EQ(FindTexture("PLATE~0")->width, static_cast<uint32_t>(PlateTextureSide));
    EXPECT_NE(StandardMaterials.background, nullptr);

    // A switch asked for while one is under way only notes the mode.
    DisplaySwitchBusy = 1;
    Device.ClearLog();
    ASSERT_EQ(GoFullScreen(0), 1);
    EXPECT_TRUE(Device.CallsNamed("Reset").empty());
    EXPECT_EQ(RememberedFullScreenMode.width, adapter->modes[0].width);
    DisplaySwitchBusy = 0;
    SetBackgroundPicture(nullptr);
}

// --- Skins ------------------------------------------------------------------------------------------

void WriteSkin(const std::string &name)
{
    std::filesystem::create_directories("data/skins");
    std::vector<uint8_t> rgb(32 * 32 * 3, 150);
    ASSERT_TRUE(WriteJpegFile(("data/skins/" + name + ".jpg").c_str(), rgb.data(), 32, 32, 90));
}

Material *AskSkin(const std::string &name)
{
    SkinMode = 1;
    Material *material = GetMaterialTexture(name.c_str(), 2, 0, 0, nullptr);
    SkinMode = 0;
    return material;
}

std::vector<std::string> LinesStartingWith(const std::string &start)
{
    std::vector<std::string> lines;
    for (const std::string &line : RenderLogLines) {
        if (line.rfind(start, 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

static int SlotCount = -1;
static std::vector<std::string> Busy;

TEST_F(StandardTexturesTest, NewSkinsPurgeTheLeastRecentlyAskedForBeyondTheBudget)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TextureLink link{};
    link.raceSlotCount = [] { return SlotCount; };
    link.localCarUsesSkin = [](const char *name, int) {
        for (const std::string &busy : Busy) {
            if (busy == name) {
                return 1;
            }
        }
        return 0;
    };
    SetTextureLink(link);
    SlotCount = -1;  // no race: 8 skins, 7 kept before a new one
    Busy.clear();
    for (int i = 1; i <= 11; ++i) {
        WriteSkin("XR_s" + std::to_string(i));
    }
    for (int i = 1; i <= 8; ++i) {
        ASSERT_NE(AskSkin("XR_s" + std::to_string(i)), nullptr);
        ASSERT_NE(FindTexture(("XR_s" + std::to_string(i)).c_str()), nullptr);
    }
    EXPECT_TRUE(LinesStartingWith("Must purge").empty());
    // s1 asked for again goes behind the others: s2 goes first.
    AskSkin("XR_s1");
    RenderLogLines.clear();
    AskSkin("XR_s9");
    EXPECT_EQ(LinesStartingWith("Must purge"), std::vector<std::string>({"Must purge 1 skin"}));
    EXPECT_EQ(LinesStartingWith("Deleted"), std::vector<std::string>({"Deleted 1 material for XR_s2"}));
    EXPECT_EQ(FindTexture("XR_s2"), nullptr);
    EXPECT_NE(FindTexture("XR_s1"), nullptr);

    // One race slot: 10 skins, 9 kept; nothing goes.
    SlotCount = 1;
    RenderLogLines.clear();
    AskSkin("XR_s10");
    EXPECT_TRUE(LinesStartingWith("Must purge").empty());
    // Back to 8 with 9 loaded: two must go, the oldest not in use (s3 is).
    SlotCount = -1;
    Busy = {"XR_s3"};
    RenderLogLines.clear();
    AskSkin("XR_s2");
    EXPECT_EQ(LinesStartingWith("Must purge"), std::vector<std::string>({"Must purge 2 skins"}));
    EXPECT_EQ(FindTexture("XR_s4"), nullptr);
    EXPECT_EQ(FindTexture("XR_s5"), nullptr);
    EXPECT_NE(FindTexture("XR_s3"), nullptr);

    // Skins in use sort last, stable among themselves.
    Busy = {"XR_s6", "XR_s7"};
    SkinInUseEntry entries[MaxSkinsInUse];
    const int count = BuildSkinsInUseList(entries);
    ASSERT_EQ(count, 8);
    EXPECT_EQ(entries[7].priority, SkinInUsePriority);
    EXPECT_STREQ(entries[6].name, "XR_s6");
    EXPECT_EQ(entries[5].priority, FindTexture(entries[5].name)->useStamp);
    // Everything in use: the purge keeps them and says so.
    Busy = {"XR_s1", "XR_s2", "XR_s3", "XR_s6", "XR_s7", "XR_s8", "XR_s9", "XR_s10"};
    Printed.clear();
    AskSkin("XR_s11");
    EXPECT_EQ(Printed, std::vector<std::string>({"Texture is still in use : XR_s1"}));
    for (const std::string &busy : Busy) {
        EXPECT_NE(FindTexture(busy.c_str()), nullptr) << busy;
    }
    Busy.clear();
}

TEST_F(StandardTexturesTest, TheBuiltInHelmetIsAlwaysInUseAndTheListStopsAt68)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(IsSkinInUse("HEL_DEFAULT"), 1);
    EXPECT_EQ(IsSkinInUse("hel_DEFAULT"), 1);
    EXPECT_EQ(IsSkinInUse("HEL_BLUE"), 0);
    EXPECT_EQ(IsSkinInUse("HELDEFAULT"), 0);
    static const char *Shown = "HEL_RED";
    TextureLink link{};
    link.shownHelmetTexture = [] { return Shown; };
    SetTextureLink(link);
    EXPECT_EQ(IsSkinInUse("HEL_RED"), 1);
    EXPECT_EQ(IsSkinInUse("XR_RED"), 0);

    for (int i = 0; i < 69; ++i) {
        TextureRecord *record = nullptr;
        const std::string name = "SKIN" + std::to_string(i);
        ASSERT_EQ(CreateTexture(name.c_str(), 4, 4, RenderFormatR5G6B5, &record, 0, 0, -1, NextResourceId()), 0);
    }
    Printed.clear();
    SkinInUseEntry entries[MaxSkinsInUse];
    EXPECT_EQ(BuildSkinsInUseList(entries), MaxSkinsInUse);
    EXPECT_EQ(Printed, std::vector<std::string>({"Too many skins in use"}));
}

TEST_F(StandardTexturesTest, ConversionSkipsCurrentDdsFilesAndCountsThroughTheRest)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    std::filesystem::create_directories("data/skins_dds");
    for (const char *name : {"XR_a", "XR_b", "XR_c", "XR_d"}) {
        WriteSkin(name);
    }
    using Clock = std::filesystem::file_time_type;
    const Clock now = std::filesystem::last_write_time("data/skins/XR_a.jpg");
    // XR_a has a newer DDS: skipped. XR_b an older one: converted again.
    WriteBytes("data/skins_dds/XR_a.dds", 10, 0);
    std::filesystem::last_write_time("data/skins_dds/XR_a.dds", now + std::chrono::seconds(60));
    WriteBytes("data/skins_dds/xr_b.dds", 10, 0);
    std::filesystem::last_write_time("data/skins_dds/xr_b.dds", now - std::chrono::seconds(60));
    Printed.clear();
    RenderLogLines.clear();
    EXPECT_EQ(StartSkinConversion(1), 3);
    EXPECT_EQ(HasCurrentDdsSkin("xr_a"), 1);
    EXPECT_EQ(HasCurrentDdsSkin("XR_b"), 0);
    EXPECT_EQ(ConvertNextSkin(1), 1);
    EXPECT_EQ(ConvertNextSkin(1), 1);
    EXPECT_EQ(ConvertNextSkin(1), 0);
    EXPECT_EQ(Printed, std::vector<std::string>({"Converting skin 1 of 3 : XR_b", "Converting skin 2 of 3 : XR_c",
                                                 "Converting skin 3 of 3 : XR_d"}));
    EXPECT_EQ(LinesStartingWith("convert"),
              std::vector<std::string>({"convert : XR_b", "convert : XR_c", "convert : XR_d"}));
    EXPECT_EQ(GetSkinConversionState().converted, 3);
    EXPECT_EQ(std::filesystem::file_size("data/skins_dds/XR_a.dds"), 10u);
    // The converted file is a DXT1 DDS of the picture with its levels.
    std::ifstream in("data/skins_dds/XR_c.dds", std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DdsImage image;
    ASSERT_TRUE(DecodeDdsImage(bytes.data(), bytes.size(), &image));
    EXPECT_EQ(image.width, 32);
    EXPECT_FALSE(image.dxt3);
    EXPECT_EQ(image.levels.size(), 6u);
    // Nothing left to do.
    EXPECT_EQ(StartSkinConversion(0), 0);
}

TEST_F(StandardTexturesTest, AConversionThatCannotBeSavedLeavesNoDdsFile)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    WriteSkin("XR_full");
    // A folder where the file would go: the save fails at its last step.
    std::filesystem::create_directories("data/skins_dds/XR_full.dds");
    Printed.clear();
    EXPECT_EQ(ConvertSkinToDds("XR_full"), 0);
    EXPECT_TRUE(Contains(Printed, "Could not save file : data\\skins_dds\\XR_full.dds"));
    EXPECT_TRUE(std::filesystem::is_directory("data/skins_dds/XR_full.dds"));
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator("data/skins_dds")) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 0);
    EXPECT_EQ(ConvertSkinToDds("XR_none"), 0);
    EXPECT_TRUE(Contains(Printed, "Could not load file : data\\skins\\XR_none.jpg"));
}

TEST(ScreenSwitches, WindowedDisplayIsRefusedOnAnAdapterOtherThanThePrimary)
{
    RecordingDevice device;
    device.adapters = {NullDisplayAdapter(), NullDisplayAdapter()};
    Printed.clear();
    RenderShellLink link{};
    link.printMessage = [](const char *text, int) { Printed.emplace_back(text); };
    SetRenderShellLink(link);
    ASSERT_TRUE(UseGraphicsDevice(&device));
    ASSERT_EQ(StartRenderer(1, -1, 1), 0);
    ASSERT_NE(GetCurrentDisplayMode(), nullptr);
    EXPECT_EQ(GetCurrentDisplayMode()->ordinal, 1u);
    EXPECT_EQ(CanGoToWindow(), 1);
    EXPECT_EQ(GoToWindow(), 0);
    EXPECT_EQ(Printed, std::vector<std::string>({"Can't go to window - not using the primary adapter",
                                                 "Can't go to window - not using the primary adapter"}));
    ShutDownRenderer();
    UseGraphicsDevice(nullptr);
    SetRenderShellLink(RenderShellLink{});
}

}  // namespace
