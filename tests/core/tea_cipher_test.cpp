#include "core/tea_cipher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

namespace {

TEST(TeaCipherTest, PublishedVectorOfZeroKeyAndBlock)
{
    const uint32_t key[4] = {0, 0, 0, 0};
    uint32_t block[2] = {0, 0};
    TeaEncipher(block, block, key);  // in place
    EXPECT_EQ(block[0], 0x41EA3A0Au);
    EXPECT_EQ(block[1], 0x94BAA940u);
    TeaDecipher(block, block, key);
    EXPECT_EQ(block[0], 0u);
    EXPECT_EQ(block[1], 0u);
}

TEST(TeaCipherTest, WordsAreLittleEndianBytes)
{
    // The same vector given as bytes: the cipher must not depend on the
    // machine's byte order.
    const uint8_t key[16] = {};
    const uint8_t plain[8] = {};
    uint8_t out[8];
    TeaEncipher(plain, out, key);
    const uint8_t expected[8] = {0x0A, 0x3A, 0xEA, 0x41, 0x40, 0xA9, 0xBA, 0x94};
    EXPECT_EQ(std::memcmp(out, expected, 8), 0);
}

TEST(TeaCipherTest, DecipherUndoesEncipherForRandomKeysAndBlocks)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        uint32_t key[4];
        uint32_t plain[2];
        for (uint32_t &word : key) {
            word = random();
        }
        for (uint32_t &word : plain) {
            word = random();
        }
        uint32_t cipher[2];
        uint32_t back[2];
        TeaEncipher(plain, cipher, key);
        EXPECT_TRUE(cipher[0] != plain[0] || cipher[1] != plain[1]);
        TeaDecipher(cipher, back, key);
        ASSERT_EQ(back[0], plain[0]) << "round " << round;
        ASSERT_EQ(back[1], plain[1]) << "round " << round;
    }
}

}  // namespace
