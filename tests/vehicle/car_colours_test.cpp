#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "byte_image.h"
#include "vehicle/car_colours.h"

namespace {

CarColours ValidColours()
{
    CarColours c{};
    std::strcpy(c.skin, "DEFAULT");
    for (int i = 0; i < 4; ++i) {
        c.body[i] = Colour{uint8_t(10 + i), uint8_t(100 + i), uint8_t(160 - i), uint8_t(i)};
        c.rim[i] = Colour{uint8_t(50 + i), uint8_t(60 + i), uint8_t(70 + i), uint8_t(0x80 | i)};
    }
    return c;
}

TEST(CarColoursTest, ChannelsAreClampedAndFlagsKept) {
    ByteImage f = ByteImage::WithHeader("KZVCFG", 251);
    f.bytes.insert(f.bytes.end(), {'R', 'E', 'D', 0});
    f.Zeros(12);
    for (int i = 0; i < 8; ++i)
        f.U8(0).U8(200).U8(100).U8(0x5A + i);
    ASSERT_TRUE(f.Save("clamp.col"));
    CarColours c{};
    ASSERT_EQ(ReadColourFile(&c, "clamp.col"), 1);
    EXPECT_STREQ(c.skin, "RED");
    for (int i = 0; i < 8; ++i) {
        const Colour &colour = i < 4 ? c.body[i] : c.rim[i - 4];
        EXPECT_EQ(colour.red, 10) << i;
        EXPECT_EQ(colour.green, 160) << i;
        EXPECT_EQ(colour.blue, 100) << i;
        EXPECT_EQ(colour.flags, 0x5A + i) << i;
    }
}

TEST(CarColoursTest, RoundTripAndLongSkinName) {
    const CarColours written = ValidColours();
    ASSERT_EQ(WriteColourFile(written, "round.col"), 1);
    EXPECT_EQ(ReadFileBytes("round.col").size(), 8u + 48u);
    CarColours read{};
    ASSERT_EQ(ReadColourFile(&read, "round.col"), 1);
    EXPECT_EQ(CarColoursDiffer(read, written), 0);

    // A name that fills the field runs on into the colour bytes: 15
    // characters and a zero are written.
    CarColours longName = ValidColours();
    std::memset(longName.skin, 'S', sizeof(longName.skin));
    ASSERT_EQ(WriteColourFile(longName, "long.col"), 1);
    const std::vector<uint8_t> bytes = ReadFileBytes("long.col");
    ASSERT_EQ(bytes.size(), 8u + 48u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 23), std::string(15, 'S'));
    EXPECT_EQ(bytes[23], 0);
    ASSERT_EQ(ReadColourFile(&read, "long.col"), 1);
    EXPECT_EQ(std::string(read.skin), std::string(15, 'S'));
    EXPECT_EQ(std::memcmp(read.body, longName.body, 32), 0);

    CarColours other = written;
    other.rim[3].flags ^= 1;
    EXPECT_EQ(CarColoursDiffer(other, written), 1);
}

TEST(CarColoursTest, UnreadableFilesLeaveTheRecordUnchanged) {
    ASSERT_EQ(WriteColourFile(ValidColours(), "good.col"), 1);
    std::vector<uint8_t> good = ReadFileBytes("good.col");
    ByteImage truncated{std::vector<uint8_t>(good.begin(), good.end() - 1)};
    ByteImage later{good};
    later.bytes[7] = 252;
    ByteImage otherId{good};
    otherId.bytes[0] = 'Q';
    struct Case {
        const char *name;
        const ByteImage *file;
    };
    const Case cases[] = {{"truncated", &truncated}, {"version 252", &later}, {"other id", &otherId}};
    for (const Case &c : cases) {
        ASSERT_TRUE(c.file->Save("bad.col"));
        CarColours read{};
        EXPECT_EQ(ReadColourFile(&read, "bad.col"), 0) << c.name;
        EXPECT_EQ(CarColoursDiffer(read, CarColours{}), 0) << c.name;
    }
    CarColours read{};
    EXPECT_EQ(ReadColourFile(&read, "missing.col"), 0);
}

// A device that refuses the data: the colours are not reported as saved.
TEST(CarColoursTest, WriteFailureReturnsZero) {
    EXPECT_EQ(WriteColourFile(ValidColours(), "/dev/full"), 0);
    EXPECT_EQ(WriteColourFile(ValidColours(), "no such folder\\x.col"), 0);
}

}  // namespace
