#include "core/card_config.h"
#include "core/settings.h"
#include "platform/dxt_codec.h"
#include "platform/jpeg_file.h"
#include "platform/recording_device.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

namespace {

int ScreenWidth = 640;
int ScreenHeight = 480;

class TextureFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RenderShellLink link{};
        link.screenWidth = &ScreenWidth;
        link.screenHeight = &ScreenHeight;
        SetRenderShellLink(link);
        ASSERT_TRUE(UseGraphicsDevice(&Device));
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        ASSERT_EQ(StartGraphics(), 1);
        folder = std::filesystem::temp_directory_path() /
                 ("kzv_texture_files_" + std::to_string(static_cast<long>(::getpid())));
        std::filesystem::create_directories(folder);
        CompressTextures = 0;
        HalfTexRes = 0;
        savedMaxSide = MaxTextureSide;
        MaxTextureSide = 4096;
    }

    void TearDown() override
    {
        CompressTextures = 1;
        HalfTexRes = 0;
        LargestTextureSide = 0;
        MaxTextureSide = savedMaxSide;
        PendingRawImage = false;
        PendingRawPixels = nullptr;
        PendingRawSide = 0;
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderShellLink(RenderShellLink{});
        std::filesystem::remove_all(folder);
    }

    std::string Write(const std::string &name, const std::vector<uint8_t> &bytes)
    {
        const std::string path = (folder / name).string();
        FILE *file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return path;
    }

    // Level 0's first texel as the device holds it.
    uint32_t FirstTexel(const TextureRecord *record, int bytes)
    {
        DeviceLockedRect locked{};
        EXPECT_EQ(Device.LockTexture(record->texture, 0, nullptr, 0, &locked), DeviceOk);
        uint32_t value = 0;
        std::memcpy(&value, locked.bits, static_cast<size_t>(bytes));
        Device.UnlockTexture(record->texture, 0);
        return value;
    }

    RecordingDevice Device;
    std::filesystem::path folder;
    int savedMaxSide = 0;
};

TEST_F(TextureFilesTest, RawSidesComeFromTheFileSizes)
{
    const std::string colour = Write("X.raw", std::vector<uint8_t>(49152, 10));
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(colour.c_str(), &record, "x", 0, 0), 0);
    EXPECT_EQ(record->width, 128u);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatR5G6B5));
    EXPECT_EQ(record->levels, 8u);
    EXPECT_EQ(record->averageColour[0], 10);
    EXPECT_EQ(FindTexture("X"), record);

    // An alpha file alone: a white picture with that alpha.
    const std::string alpha = Write("YALPHA.raw", std::vector<uint8_t>(16384, 0xA0));
    ASSERT_EQ(LoadTextureFile(alpha.c_str(), &record, "yalpha", 0, 0), 0);
    EXPECT_EQ(record->width, 128u);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatA4R4G4B4));
    EXPECT_EQ(FirstTexel(record, 2), 0xAFFFu);

    // A size of no picture, and a side above the allowed one: refused, no record left.
    const std::string odd = Write("odd.raw", std::vector<uint8_t>(3000, 0));
    EXPECT_EQ(LoadTextureFile(odd.c_str(), &record, "odd", 0, 0), -1);
    EXPECT_EQ(TextureLoadResult, 1);
    EXPECT_EQ(FindTexture("odd"), nullptr);
    LargestTextureSide = 64;
    EXPECT_EQ(LoadTextureFile(colour.c_str(), &record, "big", 0, 0), -1);
    EXPECT_EQ(TextureLoadResult, 2);
    LargestTextureSide = 0;
    EXPECT_EQ(LoadTextureFile((folder / "none.raw").string().c_str(), &record, "none", 0, 0), -1);
    EXPECT_EQ(LoadTextureFile("", &record, "empty", 0, 0), -1);
}

TEST_F(TextureFilesTest, AlphaTestedNamesInAnyCase)
{
    Write("road.raw", std::vector<uint8_t>(16 * 16 * 3, 200));
    const std::string alpha = Write("roadAtest.raw", std::vector<uint8_t>(16 * 16, 255));
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(alpha.c_str(), &record, "road", 0, 0), 0);
    EXPECT_EQ(record->alphaReference, 128);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatA1R5G5B5));
    int test = 0;
    EXPECT_EQ(ClassifyRawName("roadAtest.RAW", &test), AlphaKindTest);
    EXPECT_EQ(test, 1);
    EXPECT_EQ(ClassifyRawName("xALP24.RAW", &test), AlphaKindFull);
    EXPECT_EQ(ClassifyRawName("ATEST.raw", &test), AlphaKindNone);  // 9 characters: no suffix
    EXPECT_EQ(ClassifyRawName("xaonly.raw", &test), AlphaKindOnly);
    EXPECT_EQ(test, 0);
}

TEST_F(TextureFilesTest, HalvingBySettingAndByLargestSide)
{
    const std::string big = Write("b.raw", std::vector<uint8_t>(256 * 256 * 3, 1));
    const std::string small = Write("s.raw", std::vector<uint8_t>(16 * 16 * 3, 1));
    HalfTexRes = 1;
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(big.c_str(), &record, "b", 0, 0), 0);
    EXPECT_EQ(record->width, 128u);
    ASSERT_EQ(LoadTextureFile(small.c_str(), &record, "s", 0, 0), 0);
    EXPECT_EQ(record->width, 16u);
    HalfTexRes = 0;
    const std::string huge = Write("h.raw", std::vector<uint8_t>(4096 * 4096 * 3, 1));
    MaxTextureSide = 1024;
    ASSERT_EQ(LoadTextureFile(huge.c_str(), &record, "h", 0, 0), 0);
    EXPECT_EQ(record->width, 1024u);
}

TEST_F(TextureFilesTest, EachAlphaKindPacksOnePixel)
{
    const uint8_t pixel[4] = {200, 100, 50, 160};
    struct Case {
        const char *path;
        uint32_t texel;
        int bytes;
    };
    const Case cases[] = {{"p0.raw", 0xCB26, 2},        {"p1ATEST.raw", 0xE586, 2}, {"p4ALPHA.raw", 0xAC63, 2},
                          {"p8ALP24.raw", 0xA0C86432, 4}, {"p32AONLY.raw", 0xAFFF, 2}};
    PendingRawImage = true;
    PendingRawPixels = pixel;
    PendingRawSide = 1;
    int index = 0;
    for (const Case &c : cases) {
        TextureRecord *record = nullptr;
        const std::string name = "p" + std::to_string(index++);
        ASSERT_EQ(LoadTextureFile(c.path, &record, name.c_str(), 0, 0), 0) << c.path;
        EXPECT_EQ(FirstTexel(record, c.bytes), c.texel) << c.path;
    }
    // The pending pixels are the owner's: untouched.
    EXPECT_EQ(pixel[0], 200);
    PendingRawPixels = nullptr;
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile("blankALPHA.raw", &record, "blank", 0, 0), 0);
    EXPECT_EQ(FirstTexel(record, 2), 0x0FFFu);
}

TEST_F(TextureFilesTest, DownsamplingWeighsColourByAlpha)
{
    // (R, G, B, A) of a 2 x 2 block.
    uint8_t one[16] = {100, 40, 20, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    DownsampleImage32(one, 2, AlphaKindHalf);
    EXPECT_EQ(std::vector<uint8_t>(one, one + 4), std::vector<uint8_t>({100, 40, 20, 63}));
    uint8_t clear[16] = {100, 40, 20, 0, 0, 0, 0, 0, 4, 8, 12, 0, 0, 0, 0, 0};
    DownsampleImage32(clear, 2, AlphaKindHalf);
    EXPECT_EQ(std::vector<uint8_t>(clear, clear + 4), std::vector<uint8_t>({26, 12, 8, 0}));
    uint8_t only[16] = {1, 2, 3, 40, 9, 9, 9, 80, 9, 9, 9, 0, 9, 9, 9, 0};
    DownsampleImage32(only, 2, AlphaKindOnly);
    EXPECT_EQ(std::vector<uint8_t>(only, only + 4), std::vector<uint8_t>({1, 2, 3, 30}));
}

TEST_F(TextureFilesTest, RetriesAFullAlphaPictureWithFourBitAlpha)
{
    const std::string path = Write("cALP24.raw", std::vector<uint8_t>(4 * 4, 255));
    Device.refusedTextureFormats.insert(RenderFormatA8R8G8B8);
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(path.c_str(), &record, "c", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatA4R4G4B4));
    EXPECT_EQ(FirstTexel(record, 2), 0xFFFFu);
    // No texture at all: -4, and no record left behind.
    Device.failing.insert("CreateTexture");
    EXPECT_EQ(LoadTextureFile(path.c_str(), &record, "d", 0, 0), -4);
    EXPECT_EQ(FindTexture("d"), nullptr);
    Device.failing.clear();
}

TEST_F(TextureFilesTest, CellsUploadOnEveryLevel)
{
    TextureRecord *page = nullptr;
    ASSERT_EQ(CreateTexture("page", 256, 256, RenderFormatA4R4G4B4, &page, 0, 0, 2, 0), 0);
    std::vector<uint8_t> cell(64 * 64 * 4, 0);
    for (size_t i = 0; i < 64 * 64; ++i) {
        cell[i * 4 + 3] = 0xF0;
    }
    UploadTexturePixels(page, cell.data(), 64, 2, 1, 2);
    for (int level = 0; level < 2; ++level) {
        DeviceLockedRect locked{};
        ASSERT_EQ(Device.LockTexture(page->texture, level, nullptr, 0, &locked), DeviceOk);
        const auto texel = [&](int x, int y) {
            uint16_t value = 0;
            std::memcpy(&value, static_cast<uint8_t *>(locked.bits) + y * locked.pitch + x * 2, 2);
            return value;
        };
        const int n = 64 >> level;
        EXPECT_EQ(texel(2 * n, n), 0xFFFF) << level;
        EXPECT_EQ(texel(3 * n - 1, 2 * n - 1), 0xFFFF) << level;
        EXPECT_EQ(texel(2 * n - 1, n), 0) << level;
        EXPECT_EQ(texel(3 * n, n), 0) << level;
        Device.UnlockTexture(page->texture, level);
    }
}

}  // namespace

namespace {

TEST_F(TextureFilesTest, JpegPicturesLoadAsColourOrLuminance)
{
    // 4 x 2: left half grey 128, right half pure red.
    std::vector<uint8_t> rgb(4 * 2 * 3, 0);
    for (int i = 0; i < 8; ++i) {
        const bool red = i % 4 >= 2;
        rgb[i * 3] = red ? 255 : 128;
        rgb[i * 3 + 1] = red ? 0 : 128;
        rgb[i * 3 + 2] = red ? 0 : 128;
    }
    const std::string jpg = (folder / "pic.jpg").string();
    ASSERT_TRUE(WriteJpegFile(jpg.c_str(), rgb.data(), 4, 2, 100));
    ASSERT_TRUE(std::filesystem::exists(jpg)) << jpg;
    const std::string jbw = (folder / "pic.jbw").string();
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(jbw.c_str(), &record, "pic_bw", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatL8));
    EXPECT_EQ(record->width, 4u);
    EXPECT_EQ(record->height, 2u);
    EXPECT_EQ(record->levels, 3u);
    const uint32_t grey = FirstTexel(record, 1);
    EXPECT_NEAR(static_cast<int>(grey), 128, 3);

    ASSERT_EQ(LoadTextureFile(jpg.c_str(), &record, "pic", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatR5G6B5));
    // Compressed: DXT1, every level, the grey half still grey.
    CompressTextures = 1;
    ASSERT_EQ(LoadTextureFile(jpg.c_str(), &record, "pic_dxt", 0, 0), 0);
    CompressTextures = 0;
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatDxt1));
    EXPECT_EQ(record->levels, 3u);
    {
        DeviceLockedRect locked{};
        ASSERT_EQ(Device.LockTexture(record->texture, 0, nullptr, 0, &locked), DeviceOk);
        std::vector<uint8_t> back;
        ASSERT_TRUE(DecodeDxt(static_cast<const uint8_t *>(locked.bits), 8, 4, 2, false, &back));
        Device.UnlockTexture(record->texture, 0);
        EXPECT_NEAR(back[0], 128, 8);
        EXPECT_NEAR(back[3 * 4], 255, 8);
        EXPECT_NEAR(back[3 * 4 + 1], 0, 8);
    }

    // Cut short: not decodable. Missing: -2.
    std::vector<uint8_t> bytes;
    {
        FILE *file = std::fopen(jpg.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        uint8_t chunk[4096];
        size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        std::fclose(file);
    }
    bytes.resize(bytes.size() / 2);
    const std::string cut = Write("cut.jpg", bytes);
    EXPECT_EQ(LoadTextureFile(cut.c_str(), &record, "cut", 0, 0), -3);
    EXPECT_EQ(FindTexture("cut"), nullptr);
    EXPECT_EQ(LoadTextureFile((folder / "gone.jpg").string().c_str(), &record, "gone", 0, 0), -2);
}

}  // namespace
