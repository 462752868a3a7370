#include "platform/jpeg_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include "test_files.h"

namespace {

// A smooth gradient with a flat block: something a JPEG keeps within a few
// levels everywhere.
std::vector<uint8_t> MakePicture(int width, int height)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            const bool block = x >= width / 4 && x < width / 2 && y >= height / 4 && y < height / 2;
            p[0] = block ? 200 : static_cast<uint8_t>(x * 255 / (width - 1));
            p[1] = block ? 40 : static_cast<uint8_t>(y * 255 / (height - 1));
            p[2] = block ? 90 : 128;
        }
    }
    return rgb;
}

TEST(JpegFile, RoundTripKeepsSizeAndColoursWithinTolerance)
{
    // An odd size checks that rows are not assumed to be whole blocks.
    constexpr int Width = 70;
    constexpr int Height = 45;
    const std::vector<uint8_t> rgb = MakePicture(Width, Height);
    ASSERT_TRUE(WriteJpegFile("round.jpg", rgb.data(), Width, Height, 95));

    JpegImage image;
    ASSERT_TRUE(ReadJpegFile("round.jpg", &image));
    ASSERT_EQ(image.width, Width);
    ASSERT_EQ(image.height, Height);
    ASSERT_EQ(image.pixels.size(), rgb.size());
    long totalError = 0;
    for (size_t i = 0; i < rgb.size(); ++i) {
        totalError += std::abs(int(image.pixels[i]) - int(rgb[i]));
    }
    EXPECT_LT(double(totalError) / double(rgb.size()), 3.0);
    // Inside the flat block (away from its edges, where colour is shared
    // between neighbouring pixels) every channel is close to exact.
    const uint8_t *inside = &image.pixels[(static_cast<size_t>(Height * 3 / 8) * Width + Width * 3 / 8) * 3];
    EXPECT_NEAR(inside[0], 200, 4);
    EXPECT_NEAR(inside[1], 40, 4);
    EXPECT_NEAR(inside[2], 90, 4);

    // The same bytes decode from memory too.
    const std::vector<uint8_t> bytes = ReadFileBytes("round.jpg");
    JpegImage fromMemory;
    ASSERT_TRUE(DecodeJpegImage(bytes.data(), bytes.size(), &fromMemory));
    EXPECT_EQ(fromMemory.pixels, image.pixels);
}

TEST(JpegFile, DamagedOrForeignDataIsRefused)
{
    const std::vector<uint8_t> rgb = MakePicture(64, 64);
    ASSERT_TRUE(WriteJpegFile("whole.jpg", rgb.data(), 64, 64, 90));
    const std::vector<uint8_t> whole = ReadFileBytes("whole.jpg");
    ASSERT_GT(whole.size(), 600u);

    std::vector<uint8_t> garbage(whole.size());
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    // A real header followed by noise where the compressed data should be.
    std::vector<uint8_t> noisyData = whole;
    for (size_t i = noisyData.size() / 2; i + 2 < noisyData.size(); ++i) {
        noisyData[i] = static_cast<uint8_t>(i * 131);
    }
    const struct {
        const char *name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"cut in the compressed data", std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2)},
        {"cut inside the header", std::vector<uint8_t>(whole.begin(), whole.begin() + 20)},
        {"not a JPEG at all", garbage},
        {"noise after a good header", noisyData},
        {"empty", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        JpegImage image;
        image.width = 5;
        EXPECT_FALSE(DecodeJpegImage(c.bytes.data(), c.bytes.size(), &image));
        EXPECT_EQ(image.width, 0);
        EXPECT_TRUE(image.pixels.empty());
        WriteFileBytes("damaged.jpg", c.bytes);
        EXPECT_FALSE(ReadJpegFile("damaged.jpg", &image));
    }
    JpegImage image;
    EXPECT_FALSE(ReadJpegFile("missing.jpg", &image));
}

TEST(JpegFile, WritingRefusesImpossibleImages)
{
    const std::vector<uint8_t> rgb = MakePicture(8, 8);
    EXPECT_FALSE(WriteJpegFile("zero.jpg", rgb.data(), 0, 8, 90));
    EXPECT_FALSE(WriteJpegFile("huge.jpg", rgb.data(), JpegMaxSide + 1, 8, 90));
    EXPECT_FALSE(WriteJpegFile("no_folder/x.jpg", rgb.data(), 8, 8, 90));
    EXPECT_TRUE(ReadFileBytes("zero.jpg").empty());
}

}  // namespace
