#include "platform/dxt_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

std::vector<uint8_t> Picture(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    std::vector<uint8_t> rgba;
    for (int i = 0; i < w * h; ++i) {
        rgba.insert(rgba.end(), {r, g, b, a});
    }
    return rgba;
}

uint64_t Fnv(const std::vector<uint8_t> &bytes)
{
    uint64_t hash = 1469598103934665603ull;
    for (uint8_t byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    return hash;
}

TEST(DxtCodec, SolidBlocksRoundTripExactly)
{
    // Colours a 5:6:5 texel holds exactly.
    for (const bool dxt3 : {false, true}) {
        const std::vector<uint8_t> solid = Picture(8, 4, 255, 0, 0, 255);
        std::vector<uint8_t> blocks;
        ASSERT_TRUE(EncodeDxt(solid.data(), 8, 4, dxt3, &blocks));
        EXPECT_EQ(blocks.size(), dxt3 ? 32u : 16u);
        std::vector<uint8_t> back;
        ASSERT_TRUE(DecodeDxt(blocks.data(), blocks.size(), 8, 4, dxt3, &back));
        EXPECT_EQ(back, solid) << dxt3;
    }
    EXPECT_EQ(DxtLevelBytes(1, 1, false), 8);
    EXPECT_EQ(DxtLevelBytes(5, 9, true), 2 * 3 * 16);
}

TEST(DxtCodec, AlphaKeepsItsBitsAndDxt1CutsBelowHalf)
{
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 16; ++i) {
        rgba.insert(rgba.end(), {0, 0, 255, static_cast<uint8_t>(i * 17)});
    }
    std::vector<uint8_t> blocks;
    std::vector<uint8_t> back;
    ASSERT_TRUE(EncodeDxt(rgba.data(), 4, 4, true, &blocks));
    ASSERT_TRUE(DecodeDxt(blocks.data(), blocks.size(), 4, 4, true, &back));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(back[i * 4 + 3], i * 17) << i;  // 4-bit steps are exact
    }
    ASSERT_TRUE(EncodeDxt(rgba.data(), 4, 4, false, &blocks));
    ASSERT_TRUE(DecodeDxt(blocks.data(), blocks.size(), 4, 4, false, &back));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(back[i * 4 + 3], i * 17 < 128 ? 0 : 255) << i;
    }
    // Too few blocks for the level: refused.
    EXPECT_FALSE(DecodeDxt(blocks.data(), 7, 4, 4, false, &back));
}

TEST(DxtCodec, GradientsStayCloseAndBytesArePinned)
{
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            rgba.insert(rgba.end(), {static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 16),
                                     static_cast<uint8_t>(128), 255});
        }
    }
    std::vector<uint8_t> blocks;
    std::vector<uint8_t> back;
    ASSERT_TRUE(EncodeDxt(rgba.data(), 16, 16, false, &blocks));
    ASSERT_TRUE(DecodeDxt(blocks.data(), blocks.size(), 16, 16, false, &back));
    double error = 0.0;
    for (size_t i = 0; i < rgba.size(); ++i) {
        if (i % 4 != 3) {
            const double d = static_cast<double>(rgba[i]) - back[i];
            error += d * d;
        }
    }
    const double psnr = 10.0 * std::log10(255.0 * 255.0 / (error / (16 * 16 * 3)));
    EXPECT_GT(psnr, 25.0);  // a two-way gradient of 16 per texel measures 27.3
    std::vector<uint8_t> again;
    ASSERT_TRUE(EncodeDxt(rgba.data(), 16, 16, false, &again));
    EXPECT_EQ(again, blocks);
    EXPECT_EQ(Fnv(blocks), 3764888244936521635ull);  // the encoder's bytes, pinned
}

}  // namespace
