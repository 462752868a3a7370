#include <gtest/gtest.h>

#include "world/world_object.h"
#include "world_bytes.h"

namespace {

TEST(ConfigMask, SelectsForwardOrReverseBitOfTheConfiguration)
{
    struct Case {
        uint32_t mask;
        int config, reversed, expected;
    };
    const Case cases[] = {
        {0x10005, 2, 0, 1},      // bit 2
        {0x10005, 2, 1, 0},      // bit 18 clear
        {0x10005, 1, 0, 0},
        {0x40001, 2, 1, 1},      // bit 18
        {0x80000000, 15, 1, 1},  // the last reversed bit
        {0xFFFFFFFF, 16, 0, 0},  // no configuration 16
        {0xFFFFFFFF, -1, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ConfigMaskHas(c.mask, c.config, c.reversed), c.expected)
            << std::hex << c.mask << " config " << c.config << " reversed " << c.reversed;
    }
}

struct HeaderCase {
    const char *what;
    int version;
    std::vector<uint8_t> header;   // without the position
    int type;
    uint32_t mask;
    uint8_t reach;
    uint8_t flags;
};

TEST(WorldObjectHeader, ReadsBothFormsAndConsumesExactlyTheHeader)
{
    const HeaderCase cases[] = {
        {"251 without mask", 251, {7, 0x04, 200, 0}, 7, 0xFFFFFFFF, 200, 0x04},
        {"251 with mask 4", 251, {10, 0x80, 0, 0, 4, 0, 0, 0}, 10, 0x10005, 0, 0x80},
        {"250 forward word 6", 250, {8, 0x01, 6, 0}, 8, 0x10007, 0, 0x01},
        {"250 both directions", 250, {8, 0x03, 6, 0}, 8, 0x70007, 0, 0x03},
        {"250 reverse only", 250, {8, 0x02, 6, 0}, 8, 0x70001, 0, 0x02},
        {"250 with reach bytes", 250, {15, 0x80, 0, 0, 255, 9, 9, 9}, 15, 0x10001, 255, 0x80},
    };
    for (const HeaderCase &c : cases) {
        WorldBytes bytes;
        for (uint8_t b : c.header) {
            bytes.U8(b);
        }
        bytes.U32(0x00010000).U32(0xFFFE0000).U8(0xAB);   // position (1 m, -2 m), then the record
        DataStream stream;
        bytes.Open(stream, c.version);
        WorldObjectHeader header;
        ASSERT_EQ(ReadWorldObjectHeader(&stream, c.version, header), 0) << c.what;
        EXPECT_EQ(header.type, c.type) << c.what;
        EXPECT_EQ(header.configMask, c.mask) << c.what;
        EXPECT_EQ(header.reachRadius, c.reach) << c.what;
        EXPECT_EQ(header.flags, c.flags) << c.what;
        EXPECT_EQ(header.x, 0x10000) << c.what;
        EXPECT_EQ(header.y, -0x20000) << c.what;
        EXPECT_EQ(stream.ReadU8(), 0xAB) << c.what;
    }
}

TEST(WorldObjectHeader, SolidHeaderHasNoPosition)
{
    for (const int version : {250, 251}) {
        WorldBytes bytes;
        bytes.U8(9).U8(0).U16(0).U8(0xCD);
        DataStream stream;
        bytes.Open(stream, version);
        WorldObjectHeader header;
        ASSERT_EQ(ReadWorldObjectHeader(&stream, version, header), 0);
        EXPECT_EQ(header.type, 9);
        EXPECT_EQ(header.x, 0);
        EXPECT_EQ(header.y, 0);
        EXPECT_EQ(stream.ReadU8(), 0xCD) << "version " << version;
    }
}

TEST(CreateWorldObject, RefusesTypeCodesWithoutABuiltKindWithTheirCode)
{
    // Codes 0..3, 12 and above 15 name no kind.
    for (const int type : {0, 3, 12, 16, 255}) {
        WorldBytes bytes;
        bytes.U8(type).U8(0).U8(0).U8(0).U32(0).U32(0).U32(0).U32(0);
        DataStream stream;
        bytes.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        EXPECT_EQ(result.object, nullptr) << type;
        EXPECT_EQ(result.error, WorldObjectUnknownType) << type;
        EXPECT_EQ(result.type, type);
    }
}

TEST(CreateWorldObject, TruncatedHeaderIsAnError)
{
    WorldBytes bytes;
    bytes.U8(7).U8(0x80).U8(0).U8(0).U16(4);   // the mask and position are cut off
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    EXPECT_EQ(result.object, nullptr);
    EXPECT_EQ(result.error, WorldObjectTruncated);
    EXPECT_EQ(result.type, 7);
}

}  // namespace
