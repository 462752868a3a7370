#include "core/colour.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/data_stream.h"

namespace {

TEST(ColourTest, Packers)
{
    struct Case {
        uint32_t (*pack)(int, int, int);
        int r, g, b;
        uint32_t expected;
    };
    const Case cases[] = {
        {PackRgb, 255, 128, 0, 0xFFFF8000u},
        {PackRgb, 0, 0, 0, 0xFF000000u},
        {PackRgb, 0x1FF, 0, 0, 0xFFFF0000u},   // red's high bits land in the forced alpha
        {PackRgbNoAlpha, 1, 2, 3, 0x010203u},
        {PackRgb565, 255, 255, 255, 0xFFFFu},
        {PackRgb565, 8, 4, 8, 0x0821u},
        {PackRgb565, 7, 3, 7, 0x0000u},
        {PackRgb555, 255, 255, 255, 0x7FFFu},
        {PackRgb555, 8, 8, 8, 0x0421u},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.pack(c.r, c.g, c.b), c.expected) << c.r << "," << c.g << "," << c.b;
}

TEST(ColourTest, Unpackers)
{
    struct Case {
        int (*unpack)(uint32_t, int *, int *, int *);
        uint32_t pixel;
        int r, g, b, value;
    };
    const Case cases[] = {
        {UnpackRgb565, 0xFFFF, 248, 248, 248, 1},   // flag set: 512 - 511
        {UnpackRgb565, 0xFFDF, 248, 248, 248, 0},   // bit 5 clear
        {UnpackRgb565, 0x0821, 8, 0, 8, 480},   // green's low bit doubles as the flag
        {UnpackRgb565, 0x0060, 0, 8, 0, 511},       // flag set, 9-bit value 1
        {UnpackRgb555, 0xFFFF, 248, 248, 248, 1},
        {UnpackRgb555, 0x7FFF, 248, 248, 248, 0},   // bit 15 clear
        {UnpackRgb555, 0x8421, 8, 8, 8, 512 - 0x010},
    };
    for (const Case &c : cases) {
        int r = -1, g = -1, b = -1;
        EXPECT_EQ(c.unpack(c.pixel, &r, &g, &b), c.value) << std::hex << c.pixel;
        EXPECT_EQ(r, c.r) << std::hex << c.pixel;
        EXPECT_EQ(g, c.g) << std::hex << c.pixel;
        EXPECT_EQ(b, c.b) << std::hex << c.pixel;
    }
}

TEST(ColourTest, SetColourBytesClearsFlags)
{
    Colour colour = {1, 2, 3, 0x55};
    SetColourBytes(&colour, 10, 20, 30);
    EXPECT_EQ(colour.red, 10);
    EXPECT_EQ(colour.green, 20);
    EXPECT_EQ(colour.blue, 30);
    EXPECT_EQ(colour.flags, 0);
}

TEST(ColourTest, ReadThenWriteKeepsAllFourBytes)
{
    const uint8_t image[] = {'C', 'O', 'L', 'T', 'S', 'T', 0, 1, 0x12, 0x80, 0xFE, 0xA5};
    DataStream in;
    int version = 0;
    in.OpenMemory(image, sizeof image, &version);
    Colour colour = {};
    ReadColour(&colour, &in);
    EXPECT_FALSE(in.overrun);
    in.Close();
    EXPECT_EQ(colour.red, 0x12);
    EXPECT_EQ(colour.green, 0x80);
    EXPECT_EQ(colour.blue, 0xFE);
    EXPECT_EQ(colour.flags, 0xA5);

    const char *path = "colour_test_roundtrip.bin";
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, path, "COLTST", 1), nullptr);
    WriteColour(&colour, &out);
    ASSERT_EQ(out.Close(), 0);

    std::vector<uint8_t> written(64);
    FILE *file = std::fopen(path, "rb");
    ASSERT_NE(file, nullptr);
    written.resize(std::fread(written.data(), 1, written.size(), file));
    std::fclose(file);
    std::remove(path);
    EXPECT_EQ(written, std::vector<uint8_t>(image, image + sizeof image));
}

TEST(ColourTest, MessageColoursTable)
{
    InitMessageColours();
    struct Case {
        int index;
        int r, g, b;
    };
    const Case cases[] = {
        {ColourBlack, 0, 0, 0},        {ColourRed, 255, 0, 0},          {ColourWhite, 255, 255, 255},
        {ColourGrey, 148, 148, 148},   {ColourSalmon, 250, 140, 120},   {ColourLightBlue, 160, 160, 255},
        {ColourLightGrey, 200, 200, 200}, {ColourSkyBlue, 120, 150, 220},
    };
    EXPECT_EQ(ColourSalmon, 9);
    EXPECT_EQ(ColourLightGrey, 18);
    EXPECT_EQ(MessageColourCount, 24);
    for (const Case &c : cases) {
        const Colour &colour = MessageColours[c.index];
        EXPECT_EQ(colour.red, c.r) << c.index;
        EXPECT_EQ(colour.green, c.g) << c.index;
        EXPECT_EQ(colour.blue, c.b) << c.index;
        EXPECT_EQ(colour.flags, 0) << c.index;
    }
    // The first eight follow the text colour codes: bit 1 red, bit 2 green, bit 4 blue.
    for (int code = 0; code < 8; code++) {
        EXPECT_EQ(MessageColours[code].red, (code & 1) ? 255 : 0) << code;
        EXPECT_EQ(MessageColours[code].green, (code & 2) ? 255 : 0) << code;
        EXPECT_EQ(MessageColours[code].blue, (code & 4) ? 255 : 0) << code;
    }
}

} // namespace
