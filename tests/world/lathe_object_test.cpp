#include <gtest/gtest.h>

#include <vector>

#include "vehicle/solid_link.h"
#include "world/lathe_object.h"
#include "world_bytes.h"

namespace {

struct LinkBytes {
    uint16_t surface;
    uint8_t collide, measured;
    uint16_t mapping;
    uint8_t a, b;
    // With a == b two u32 follow whose low bytes are the real indices.
    uint32_t wideA = 0, wideB = 0;
};

void WriteLathe(WorldBytes &bytes, const char *name, uint32_t segments, uint32_t pointCount,
                const std::vector<LinkBytes> &links)
{
    bytes.Name(name).U32(segments).U32(0xDEAD);
    bytes.U32(pointCount);
    for (uint32_t i = 0; i < pointCount; ++i) {
        bytes.F32(0.5f * static_cast<float>(i)).F32(-1.0f * static_cast<float>(i));
    }
    bytes.U32(static_cast<uint32_t>(links.size()));
    for (const LinkBytes &l : links) {
        bytes.U16(l.surface).U8(l.collide).U8(l.measured).U16(l.mapping).U8(l.a).U8(l.b);
        if (l.a == l.b) {
            bytes.U32(l.wideA).U32(l.wideB);
        }
    }
}

TEST(LatheObject, ReadsProfileAndBothLinkForms)
{
    WorldBytes bytes;
    WriteLathe(bytes, "cone_a", 12, 3,
               {{7, 1, 0, 0x0102, 0, 1}, {9, 0, 1, 0x0304, 2, 2, 0x301, 0x100}});
    bytes.U8(0x77);
    DataStream stream;
    bytes.Open(stream, 252);

    ObjectRecordList lathe;
    EXPECT_EQ(lathe.segments, 5);   // the default before a read
    ASSERT_EQ(lathe.Read(&stream, 252), 0);
    EXPECT_EQ(stream.ReadU8(), 0x77);   // exactly the record, 16-byte link included
    EXPECT_STREQ(lathe.name, "cone_a");
    EXPECT_EQ(lathe.segments, 12);
    ASSERT_EQ(lathe.count, 3u);
    EXPECT_FLOAT_EQ(lathe.pairs[2].a, 1.0f);
    EXPECT_FLOAT_EQ(lathe.pairs[2].b, -2.0f);
    ASSERT_EQ(lathe.linkCount, 2u);
    const SolidLink &first = lathe.links[0];
    EXPECT_EQ(first.surface, 7);
    EXPECT_EQ(first.collide, 1);
    EXPECT_EQ(first.measured, 0);
    EXPECT_EQ(first.mapping, 0x0102);
    EXPECT_EQ(first.curveA, 0);
    EXPECT_EQ(first.curveB, 1);
    const SolidLink &wide = lathe.links[1];
    EXPECT_EQ(wide.surface, 9);
    EXPECT_EQ(wide.measured, 1);
    EXPECT_EQ(wide.curveA, 1);   // low bytes of the two words
    EXPECT_EQ(wide.curveB, 0);
    lathe.Free();
    EXPECT_EQ(lathe.links, nullptr);
    EXPECT_EQ(lathe.linkCount, 0u);
    EXPECT_EQ(lathe.pairs, nullptr);
}

TEST(LatheObject, DamagedRecordsAreRefused)
{
    struct Case {
        const char *what;
        uint32_t pointCount;
        std::vector<LinkBytes> links;
        int cutBytes;        // bytes taken off the end of the record
        int overrideCount;   // replaces the link count word when not -1
    };
    const Case cases[] = {
        {"point count beyond the data", 3, {}, 8, -1},
        {"more points than a lathe holds", 65, {}, 0, -1},
        {"link count beyond the data", 2, {{0, 1, 0, 0, 0, 1}}, 0, 2},
        {"link names a point past the profile", 2, {{0, 1, 0, 0, 0, 2}}, 0, -1},
        {"wide link names a point past the profile", 2, {{0, 1, 0, 0, 1, 1, 0, 0x105}}, 0, -1},
        {"wide link cut short", 2, {{0, 1, 0, 0, 1, 1, 0, 1}}, 4, -1},
        {"no link count", 2, {}, 4, -1},
    };
    for (const Case &c : cases) {
        WorldBytes bytes;
        WriteLathe(bytes, "bad", 5, c.pointCount, c.links);
        if (c.overrideCount >= 0) {
            const size_t at = 16 + 4 + 4 + 4 + 8 * c.pointCount;
            bytes.bytes[at] = static_cast<uint8_t>(c.overrideCount);
        }
        bytes.bytes.resize(bytes.bytes.size() - c.cutBytes);
        DataStream stream;
        bytes.Open(stream, 252);
        ObjectRecordList lathe;
        EXPECT_NE(lathe.Read(&stream, 252), 0) << c.what;
        EXPECT_EQ(lathe.links, nullptr) << c.what;
        EXPECT_EQ(lathe.linkCount, 0u) << c.what;
        EXPECT_EQ(lathe.pairs, nullptr) << c.what;
        EXPECT_EQ(lathe.count, 0u) << c.what;
    }

    // The largest profile a lathe may have reads.
    WorldBytes bytes;
    WriteLathe(bytes, "big", 5, 64, {{0, 1, 0, 0, 62, 63}});
    DataStream stream;
    bytes.Open(stream, 252);
    ObjectRecordList lathe;
    EXPECT_EQ(lathe.Read(&stream, 252), 0);
    lathe.Free();
}

} // namespace
