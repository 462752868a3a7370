#include "core/card_config.h"
#include "core/settings.h"
#include "platform/dds_file.h"
#include "platform/dxt_codec.h"
#include "platform/jpeg_file.h"
#include "platform/recording_device.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/screenshot.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"
#include "test_files.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class TextureFilesTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
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
        RecordingRenderTest::TearDown();
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

namespace {

// The DDS cache lives in data/dds below the working folder.
class TextureCacheTest : public TextureFilesTest {
protected:
    void SetUp() override
    {
        TextureFilesTest::SetUp();
        std::filesystem::create_directories("data/dds");
        CompressTextures = 1;
        savedDxt = DxtSupported;
        DxtSupported = 1;
        writes = DdsCacheWrites;
    }

    void TearDown() override
    {
        DxtSupported = savedDxt;
        std::filesystem::remove_all("data");
        TextureFilesTest::TearDown();
    }

    // A side x side .raw picture (and its alpha companion with a suffix),
    // colour (90, 160, 30), alpha falling from 255 across the rows.
    std::string WriteRaw(const std::string &name, const char *suffix, int side)
    {
        std::vector<uint8_t> colour(static_cast<size_t>(side * side * 3));
        std::vector<uint8_t> alpha(static_cast<size_t>(side * side));
        for (int i = 0; i < side * side; ++i) {
            colour[static_cast<size_t>(i * 3)] = 90;
            colour[static_cast<size_t>(i * 3 + 1)] = 160;
            colour[static_cast<size_t>(i * 3 + 2)] = 30;
            alpha[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - (i / side) * 255 / side);
        }
        const std::string path = Write(name + ".raw", colour);
        return suffix[0] != 0 ? Write(name + suffix, alpha) : path;
    }

    DdsImage ReadCache(const std::string &name)
    {
        DdsImage image;
        const std::vector<uint8_t> bytes = ReadFileBytes("data/dds/" + name + ".dds");
        EXPECT_TRUE(DecodeDdsImage(bytes.data(), bytes.size(), &image)) << name;
        return image;
    }

    int savedDxt = 0;
    int writes = 0;
};

TEST_F(TextureCacheTest, FirstLoadWritesTheCacheAndLaterLoadsReadIt)
{
    struct Case {
        const char *name;
        const char *suffix;
        bool dxt3;
        uint8_t reference;
    };
    const Case cases[] = {{"k0", "", false, 0},
                          {"k1", "ATEST.raw", false, 128},
                          {"k4", "ALPHA.raw", true, 0},
                          {"k8", "ALP24.raw", true, 0},
                          {"k32", "AONLY.raw", false, 0}};
    for (const Case &c : cases) {
        const std::string path = WriteRaw(c.name, c.suffix, 32);
        TextureRecord *record = nullptr;
        ASSERT_EQ(LoadTextureFile(path.c_str(), &record, c.name, 0, 0), 0) << c.name;
        EXPECT_EQ(DdsCacheWrites, ++writes) << c.name;
        const uint32_t dxt = c.dxt3 ? RenderFormatDxt3 : RenderFormatDxt1;
        EXPECT_EQ(record->format, dxt) << c.name;
        EXPECT_EQ(record->width, 32u);
        EXPECT_EQ(record->alphaReference, c.reference) << c.name;
        const DdsImage cache = ReadCache(c.name);
        EXPECT_EQ(cache.dxt3, c.dxt3) << c.name;
        EXPECT_EQ(cache.width, 32);
        // After a cache miss the texture has one level, and so has the file.
        EXPECT_EQ(cache.levels.size(), static_cast<size_t>(record->levels)) << c.name;
        // The texture holds the cache file's blocks.
        DeviceLockedRect locked{};
        ASSERT_EQ(Device.LockTexture(record->texture, 0, nullptr, 0, &locked), DeviceOk);
        EXPECT_EQ(std::memcmp(locked.bits, cache.levels[0].data(), cache.levels[0].size()), 0) << c.name;
        Device.UnlockTexture(record->texture, 0);
        // Without the .raw files the second load comes from the cache with
        // the full chain, and writes nothing.
        DeleteTexture(record);
        std::filesystem::remove(path);
        std::filesystem::remove(folder / (std::string(c.name) + ".raw"));
        ASSERT_EQ(LoadTextureFile(path.c_str(), &record, c.name, 0, 0), 0) << c.name;
        EXPECT_EQ(DdsCacheWrites, writes) << c.name;
        EXPECT_EQ(record->format, dxt) << c.name;
        EXPECT_EQ(record->levels, 6u) << c.name;
        EXPECT_EQ(record->alphaReference, c.reference) << c.name;
    }
    // A kind 0 picture is opaque in its DXT1 cache; an alpha-only one white.
    std::vector<uint8_t> rgba;
    const DdsImage opaque = ReadCache("k0");
    ASSERT_TRUE(DecodeDxt(opaque.levels[0].data(), opaque.levels[0].size(), 32, 32, false, &rgba));
    EXPECT_EQ(rgba[3], 255);
    EXPECT_NEAR(rgba[0], 90, 8);
    EXPECT_NEAR(rgba[1], 160, 8);
    const DdsImage white = ReadCache("k32");
    ASSERT_TRUE(DecodeDxt(white.levels[0].data(), white.levels[0].size(), 32, 32, false, &rgba));
    EXPECT_EQ(rgba[0], 255);
    EXPECT_EQ(rgba[2], 255);
}

TEST_F(TextureCacheTest, HalfTexResReadsTheCacheAtHalfSize)
{
    // A one-level cache of 256 is decoded, halved and encoded again.
    const std::string path = WriteRaw("h", "ALPHA.raw", 256);
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(path.c_str(), &record, "h", 0, 0), 0);
    EXPECT_EQ(record->width, 256u);  // the cache was tried: no halving on the way in
    DeleteTexture(record);
    HalfTexRes = 1;
    ASSERT_EQ(LoadTextureFile(path.c_str(), &record, "h", 0, 0), 0);
    EXPECT_EQ(record->width, 128u);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatDxt3));
    EXPECT_EQ(DdsCacheWrites, writes + 1);
    DeleteTexture(record);

    // A cache with its levels: level 1 of the file is level 0 of the texture.
    DdsImage image;
    image.width = 64;
    image.height = 64;
    for (int side = 64; side >= 1; side /= 2) {
        std::vector<uint8_t> rgba(static_cast<size_t>(side * side * 4), static_cast<uint8_t>(side * 3));
        std::vector<uint8_t> blocks;
        ASSERT_TRUE(EncodeDxt(rgba.data(), side, side, false, &blocks));
        image.levels.push_back(blocks);
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeDdsImage(image, &bytes));
    WriteFileBytes("data/dds/m.dds", bytes);
    ASSERT_EQ(LoadTextureFile((folder / "m.raw").string().c_str(), &record, "m", 0, 0), 0);
    EXPECT_EQ(record->width, 32u);
    EXPECT_EQ(record->levels, 6u);
    DeviceLockedRect locked{};
    ASSERT_EQ(Device.LockTexture(record->texture, 0, nullptr, 0, &locked), DeviceOk);
    EXPECT_EQ(std::memcmp(locked.bits, image.levels[1].data(), image.levels[1].size()), 0);
    Device.UnlockTexture(record->texture, 0);
    DeleteTexture(record);

    // 16 stays 16; 8 is below the sides a halved cache may have.
    for (const int side : {16, 8}) {
        DdsImage small;
        small.width = side;
        small.height = side;
        std::vector<uint8_t> rgba(static_cast<size_t>(side * side * 4), 40);
        small.levels.emplace_back();
        ASSERT_TRUE(EncodeDxt(rgba.data(), side, side, false, &small.levels[0]));
        ASSERT_TRUE(EncodeDdsImage(small, &bytes));
        WriteFileBytes("data/dds/s.dds", bytes);
        const int result = LoadTextureFile((folder / "s.raw").string().c_str(), &record, "s", 0, 0);
        if (side == 16) {
            ASSERT_EQ(result, 0);
            EXPECT_EQ(record->width, 16u);
            DeleteTexture(record);
        } else {
            EXPECT_EQ(result, -1);  // the cache is refused and there is no .raw
        }
    }
}

TEST_F(TextureCacheTest, UnusableCachesFallBackToTheRawFiles)
{
    // A bad header: ignored, the .raw loads and the cache is written anew.
    const std::string path = WriteRaw("bad", "", 16);
    WriteFileBytes("data/dds/bad.dds", std::vector<uint8_t>(200, 7));
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(path.c_str(), &record, "bad", 0, 0), 0);
    EXPECT_EQ(DdsCacheWrites, writes + 1);
    EXPECT_EQ(ReadCache("bad").levels.size(), 1u);
    DeleteTexture(record);

    // Without DXT textures a cache file is decoded into the kind's own format.
    DxtSupported = 0;
    ASSERT_EQ(LoadTextureFile(path.c_str(), &record, "bad", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatR5G6B5));
    EXPECT_NEAR(static_cast<int>(FirstTexel(record, 2) >> 11), 90 >> 3, 1);
    DeleteTexture(record);
    DxtSupported = 1;

    // No cache folder: the uncompressed texture stays and nothing is counted.
    std::filesystem::remove_all("data");
    const std::string other = WriteRaw("nodir", "ALP24.raw", 16);
    ASSERT_EQ(LoadTextureFile(other.c_str(), &record, "nodir", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatA8R8G8B8));
    EXPECT_EQ(record->levels, 1u);
    EXPECT_EQ(DdsCacheWrites, writes + 1);
    EXPECT_FALSE(std::filesystem::exists("data"));

    // A device without DXT textures keeps the uncompressed one as well.
    std::filesystem::create_directories("data/dds");
    Device.refusedTextureFormats.insert(RenderFormatDxt1);
    ASSERT_EQ(LoadTextureFile(path.c_str(), &record, "refused", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatR5G6B5));
    EXPECT_EQ(DdsCacheWrites, writes + 1);
}

TEST_F(TextureCacheTest, PendingPicturesWriteNoCache)
{
    const uint8_t pixel[4] = {1, 2, 3, 4};
    PendingRawImage = true;
    PendingRawPixels = pixel;
    PendingRawSide = 1;
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile("glyphAONLY.raw", &record, "glyph", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatA4R4G4B4));
    EXPECT_FALSE(std::filesystem::exists("data/dds/glyph.dds"));
    EXPECT_EQ(DdsCacheWrites, writes);
}

TEST_F(TextureFilesTest, DdsAndBmpFilesLoad)
{
    // A BMP of 5 x 3 (not a power of two: kept at its own size).
    std::vector<uint8_t> bgra(5 * 3 * 4, 0);
    for (size_t i = 0; i < 15; ++i) {
        bgra[i * 4] = 20;    // blue
        bgra[i * 4 + 1] = 200;
        bgra[i * 4 + 2] = 100;  // red
        bgra[i * 4 + 3] = 255;
    }
    const std::string bmp = (folder / "pic.bmp").string();
    ASSERT_TRUE(WriteBmpFile(bmp.c_str(), bgra.data(), 5, 3));
    TextureRecord *record = nullptr;
    ASSERT_EQ(LoadTextureFile(bmp.c_str(), &record, "bmp", 0, 0), 0);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatR5G6B5));
    EXPECT_EQ(record->width, 5u);
    EXPECT_EQ(record->height, 3u);
    EXPECT_EQ(record->levels, 3u);
    EXPECT_EQ(FirstTexel(record, 2), static_cast<uint32_t>((100 >> 3) << 11 | (200 >> 2) << 5 | 20 >> 3));

    // A DDS file of DXT3 blocks becomes DXT1 with the full chain.
    DdsImage image;
    image.width = 8;
    image.height = 8;
    image.dxt3 = true;
    std::vector<uint8_t> rgba(8 * 8 * 4, 255);
    image.levels.emplace_back();
    ASSERT_TRUE(EncodeDxt(rgba.data(), 8, 8, true, &image.levels[0]));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeDdsImage(image, &bytes));
    const std::string dds = Write("pic.dds", bytes);
    TextureMipLevels = 1;
    ASSERT_EQ(LoadTextureFile(dds.c_str(), &record, "dds", 0, 0), 0);
    TextureMipLevels = 0;
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatDxt1));
    EXPECT_EQ(record->levels, 4u);
    // A DDS file of another pixel format cannot be decoded.
    bytes[84 + 3] = '5';
    const std::string dxt5 = Write("five.dds", bytes);
    EXPECT_EQ(LoadTextureFile(dxt5.c_str(), &record, "five", 0, 0), -3);
    EXPECT_EQ(FindTexture("five"), nullptr);
}

TEST_F(TextureFilesTest, PendingEncodedPictureBecomesDxt1AndADdsFile)
{
    std::vector<uint8_t> rgb(8 * 4 * 3, 0);
    for (size_t i = 0; i < 32; ++i) {
        rgb[i * 3] = 250;
        rgb[i * 3 + 1] = 120;
    }
    const std::string jpg = (folder / "skin.jpg").string();
    ASSERT_TRUE(WriteJpegFile(jpg.c_str(), rgb.data(), 8, 4, 100));
    const std::vector<uint8_t> encoded = ReadFileBytes(jpg);
    PendingEncodedBytes = encoded.data();
    PendingEncodedSize = static_cast<int>(encoded.size());
    const std::string path = (folder / "skin.dds").string();
    TextureRecord *record = nullptr;
    const int result = LoadTextureFile(path.c_str(), &record, "skin", 0, 0);
    // Damaged bytes: -3, and no file.
    const std::vector<uint8_t> cut(encoded.begin(), encoded.begin() + static_cast<long>(encoded.size() / 2));
    PendingEncodedBytes = cut.data();
    PendingEncodedSize = static_cast<int>(cut.size());
    const std::string cutPath = (folder / "cut.dds").string();
    const int cutResult = LoadTextureFile(cutPath.c_str(), &record, "cut", 0, 0);
    PendingEncodedBytes = nullptr;
    PendingEncodedSize = 0;
    ASSERT_EQ(result, 0);
    record = FindTexture("skin");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->format, static_cast<uint32_t>(RenderFormatDxt1));
    EXPECT_EQ(record->width, 8u);
    EXPECT_EQ(record->levels, 4u);
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    DdsImage image;
    ASSERT_TRUE(DecodeDdsImage(bytes.data(), bytes.size(), &image));
    EXPECT_FALSE(image.dxt3);
    EXPECT_EQ(image.levels.size(), 4u);
    std::vector<uint8_t> back;
    ASSERT_TRUE(DecodeDxt(image.levels[0].data(), image.levels[0].size(), 8, 4, false, &back));
    EXPECT_NEAR(back[0], 250, 8);
    EXPECT_NEAR(back[1], 120, 8);
    EXPECT_EQ(cutResult, -3);
    EXPECT_FALSE(std::filesystem::exists(cutPath));
    EXPECT_FALSE(std::filesystem::exists(cutPath + ".tmp"));
}

}  // namespace
