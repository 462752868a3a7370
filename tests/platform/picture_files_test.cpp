#include "platform/bmp_file.h"
#include "platform/dds_file.h"
#include "platform/dxt_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void Put32(std::vector<uint8_t> *bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        (*bytes)[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A BMP file of w x h whose pixel (x, y) (from the top) is (red x * 40,
// green y * 50, blue 7), rows padded to four bytes.
std::vector<uint8_t> MakeBmp(int w, int h, int bits, bool topDown)
{
    const size_t stride = (static_cast<size_t>(w) * static_cast<size_t>(bits) + 31) / 32 * 4;
    std::vector<uint8_t> bytes(54 + stride * static_cast<size_t>(h), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(&bytes, 2, static_cast<uint32_t>(bytes.size()));
    Put32(&bytes, 10, 54);
    Put32(&bytes, 14, 40);
    Put32(&bytes, 18, static_cast<uint32_t>(w));
    Put32(&bytes, 22, static_cast<uint32_t>(topDown ? -h : h));
    bytes[26] = 1;
    bytes[28] = static_cast<uint8_t>(bits);
    for (int y = 0; y < h; ++y) {
        const int stored = topDown ? y : h - 1 - y;
        uint8_t *row = bytes.data() + 54 + static_cast<size_t>(stored) * stride;
        for (int x = 0; x < w; ++x) {
            uint8_t *p = row + static_cast<size_t>(x) * static_cast<size_t>(bits / 8);
            p[0] = 7;
            p[1] = static_cast<uint8_t>(y * 50);
            p[2] = static_cast<uint8_t>(x * 40);
            if (bits == 32) {
                p[3] = 0;  // unused: the picture is opaque
            }
        }
    }
    return bytes;
}

TEST(BmpImage, DepthsAndRowOrders)
{
    for (const int bits : {24, 32}) {
        for (const bool topDown : {false, true}) {
            const std::vector<uint8_t> bytes = MakeBmp(3, 2, bits, topDown);
            RgbImage image;
            ASSERT_TRUE(DecodeBmpImage(bytes.data(), bytes.size(), &image)) << bits << topDown;
            ASSERT_EQ(image.width, 3);
            ASSERT_EQ(image.height, 2);
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < 3; ++x) {
                    const uint8_t *p = &image.pixels[static_cast<size_t>((y * 3 + x) * 3)];
                    EXPECT_EQ(p[0], x * 40) << bits << topDown;
                    EXPECT_EQ(p[1], y * 50) << bits << topDown;
                    EXPECT_EQ(p[2], 7);
                }
            }
        }
    }
}

TEST(BmpImage, RefusesWhatItCannotRead)
{
    const std::vector<uint8_t> good = MakeBmp(3, 2, 24, false);
    struct Case {
        const char *what;
        size_t at;
        uint32_t value;
    };
    const Case cases[] = {{"8-bit palette", 28, 8},     {"run-length compressed", 30, 1},
                          {"width 0", 18, 0},           {"width too large", 18, BmpMaxSide + 1},
                          {"height 0", 22, 0},          {"most negative height", 22, 0x80000000u},
                          {"pixels past the end", 10, 60}, {"info header size past the end", 14, 1000}};
    for (const Case &c : cases) {
        std::vector<uint8_t> bytes = good;
        if (c.at == 28) {
            bytes[28] = static_cast<uint8_t>(c.value);
        } else {
            Put32(&bytes, c.at, c.value);
        }
        RgbImage image;
        EXPECT_FALSE(DecodeBmpImage(bytes.data(), bytes.size(), &image)) << c.what;
        EXPECT_TRUE(image.pixels.empty()) << c.what;
    }
    // Cut anywhere into the pixels; the last row's padding is not needed.
    const size_t last = good.size() - 3;
    RgbImage image;
    EXPECT_TRUE(DecodeBmpImage(good.data(), last, &image));
    for (size_t size = 0; size < last; size += 5) {
        EXPECT_FALSE(DecodeBmpImage(good.data(), size, &image)) << size;
    }
}

// A w x h DDS image of solid blocks with the full chain of levels.
DdsImage MakeDds(int w, int h, bool dxt3)
{
    DdsImage image;
    image.width = w;
    image.height = h;
    image.dxt3 = dxt3;
    for (int level = 0;; ++level) {
        const int lw = std::max(w >> level, 1);
        const int lh = std::max(h >> level, 1);
        std::vector<uint8_t> rgba(static_cast<size_t>(lw * lh * 4), static_cast<uint8_t>(30 * level + 20));
        std::vector<uint8_t> blocks;
        EXPECT_TRUE(EncodeDxt(rgba.data(), lw, lh, dxt3, &blocks));
        image.levels.push_back(blocks);
        if (lw == 1 && lh == 1) {
            break;
        }
    }
    return image;
}

TEST(DdsImage, WrittenLevelsReadBack)
{
    for (const bool dxt3 : {false, true}) {
        const DdsImage image = MakeDds(16, 8, dxt3);
        ASSERT_EQ(image.levels.size(), 5u);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(EncodeDdsImage(image, &bytes));
        EXPECT_EQ(std::memcmp(bytes.data(), "DDS ", 4), 0);
        EXPECT_EQ(bytes[4], 124);
        EXPECT_EQ(std::memcmp(bytes.data() + 84, dxt3 ? "DXT3" : "DXT1", 4), 0);
        int width = 0;
        int height = 0;
        ASSERT_TRUE(ReadDdsHeaderSize(bytes.data(), bytes.size(), &width, &height));
        EXPECT_EQ(width, 16);
        EXPECT_EQ(height, 8);
        DdsImage back;
        ASSERT_TRUE(DecodeDdsImage(bytes.data(), bytes.size(), &back));
        EXPECT_EQ(back.width, 16);
        EXPECT_EQ(back.height, 8);
        EXPECT_EQ(back.dxt3, dxt3);
        EXPECT_EQ(back.levels, image.levels);
    }
}

TEST(DdsImage, RefusesOtherFormatsAndShortData)
{
    std::vector<uint8_t> good;
    ASSERT_TRUE(EncodeDdsImage(MakeDds(8, 8, false), &good));
    struct Case {
        const char *what;
        size_t at;
        uint32_t value;
    };
    const Case cases[] = {{"magic", 0, 0x20534444u + 1},  {"header size", 4, 100},   {"height 0", 12, 0},
                          {"width too large", 16, 9000},   {"DXT5", 84, 0x35545844u}, {"no four-cc flag", 80, 0x40},
                          {"more levels than sides", 28, 5}};
    for (const Case &c : cases) {
        std::vector<uint8_t> bytes = good;
        Put32(&bytes, c.at, c.value);
        DdsImage image;
        EXPECT_FALSE(DecodeDdsImage(bytes.data(), bytes.size(), &image)) << c.what;
        EXPECT_TRUE(image.levels.empty()) << c.what;
    }
    DdsImage image;
    for (size_t size = 0; size < good.size(); ++size) {
        ASSERT_FALSE(DecodeDdsImage(good.data(), size, &image)) << size;
    }
    EXPECT_TRUE(DecodeDdsImage(good.data(), good.size(), &image));
    // A level with the wrong number of bytes is not written.
    DdsImage broken = MakeDds(8, 8, true);
    broken.levels[1].pop_back();
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(EncodeDdsImage(broken, &bytes));
    EXPECT_FALSE(EncodeDdsImage(DdsImage{}, &bytes));
}

}  // namespace
