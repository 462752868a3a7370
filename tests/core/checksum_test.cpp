#include "core/checksum.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ChecksumTest, TableHoldsTheMsbFirstPolynomial)
{
    BuildCrcTable();
    EXPECT_EQ(CrcTable[0], 0u);
    EXPECT_EQ(CrcTable[1], 0x04C11DB7u);
    EXPECT_EQ(CrcTable[128], 0x690CE0EEu);
    EXPECT_EQ(CrcTable[255], 0xB1F740B4u);
}

TEST(ChecksumTest, BlockChecksumLoadsItsFirstWordDirectly)
{
    const uint8_t zeros[4] = {0, 0, 0, 0};
    const uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(CrcOfBlock(zeros, 4), 0u);
    EXPECT_EQ(CrcOfBlock(ones, 4), 0xFFFFFFFFu);

    // Longer blocks: complement of the first word, then the rest shifted in.
    const uint8_t block[7] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE};
    uint32_t crc = ~0x12345678u;
    crc = CrcAddBytes(crc, block + 4, 3);
    EXPECT_EQ(CrcOfBlock(block, 7), ~crc);
    // Not CRC-32/MPEG-2, whose check value for "123456789" is 0x0376E6E7.
    EXPECT_NE(CrcOfBlock("123456789", 9), 0x0376E6E7u);
}

TEST(ChecksumTest, AccumulatorsShiftBytesInLowestFirst)
{
    const uint32_t start = 0xA5A5F00Fu;
    EXPECT_EQ(CrcAddU16(start, 0x1234), CrcAddByte(CrcAddByte(start, 0x34), 0x12));
    EXPECT_EQ(CrcAddU32(start, 0x12345678),
              CrcAddByte(CrcAddByte(CrcAddByte(CrcAddByte(start, 0x78), 0x56), 0x34), 0x12));
    const uint8_t bytes[3] = {0x78, 0x56, 0x34};
    EXPECT_EQ(CrcAddBytes(start, bytes, 3), CrcAddByte(CrcAddByte(CrcAddByte(start, 0x78), 0x56), 0x34));
    EXPECT_EQ(CrcAddBytes(start, bytes, 0), start);
    EXPECT_EQ(CrcAddBytes(start, bytes, -1), start);
    EXPECT_EQ(CrcAddByte(0, 0x5A), 0x5Au);  // the old top byte picks the table entry
}

TEST(ChecksumTest, StringCharactersAreSignExtended)
{
    const uint32_t start = 0x01234567u;
    EXPECT_EQ(CrcAddString(start, "A"), CrcAddByte(start, 0x41));
    EXPECT_EQ(CrcAddString(start, "AB"), CrcAddByte(CrcAddByte(start, 0x41), 0x42));
    EXPECT_NE(CrcAddString(start, "\xE9"), CrcAddByte(start, 0xE9));
    EXPECT_EQ(CrcAddString(start, "\xE9"), ((start << 8) | 0xFFFFFFE9u) ^ CrcTable[start >> 24]);
    EXPECT_EQ(CrcAddString(start, ""), start);
}

TEST(ChecksumTest, StringCrc32IsTheStandardReflectedOne)
{
    EXPECT_EQ(Crc32OfString("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32OfString(""), 0u);
    EXPECT_EQ(Crc32OfString("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

}  // namespace
