#include <gtest/gtest.h>

#include <vector>

#include "core/shell_globals.h"
#include "world/track_colours.h"
#include "world_bytes.h"

namespace {

constexpr uint32_t Half = 0x8000;
constexpr uint32_t One = 0x10000;

// One record as a test writes it; the counts are written as given, so a
// test can make them disagree with the arrays.
struct RecordSpec {
    const char *name = "road";
    const char *texture = "asphalt";
    uint8_t rows = 1, palettes = 2, columns = 2;
    uint8_t kind = 0;
    uint8_t form = 0;
    std::vector<::Colour> palette = {{255, 0, 0, 0}, {0, 0, 255, 0}};
    std::vector<uint32_t> columnEnds = {Half, One};
    std::vector<uint32_t> cells = {0, 1};
};

void WriteNewRecord(WorldBytes &b, const RecordSpec &r)
{
    b.U16(0x0009).U8(r.form).U8(0).Name(r.name).Name(r.texture).Colour(200, 100, 50, 4);
    // U/V repeat and offset, rows, orientation, palettes, columns, kind,
    // bump kind, amplitude, shift.
    b.U8(64).U8(32).U8(1).U8(2).U8(r.rows).U8(5).U8(r.palettes).U8(r.columns);
    b.U8(r.kind).U8(2).U8(7).U8(18).U32(0x103);
    if (r.form == 1) {
        b.U32(0x50000).U32(0x60000).F32(1.5f).F32(3.0f).F32(4.0f);
    }
    for (const ::Colour &c : r.palette) {
        b.Colour(c.red, c.green, c.blue, c.flags);
    }
    for (uint32_t end : r.columnEnds) {
        b.U32(end);
    }
    for (uint32_t cell : r.cells) {
        b.U32(cell);
    }
}

void WriteOldRecord(WorldBytes &b, const RecordSpec &r)
{
    b.Name(r.name).Name(r.texture).Colour(200, 100, 50, 0);
    b.U32(r.rows).U32(3).U8(64).U8(32).U8(1).U8(2);
    b.U32(r.palettes);
    for (const ::Colour &c : r.palette) {
        b.Colour(c.red, c.green, c.blue, c.flags);
    }
    b.U32(r.columns);
    for (uint32_t end : r.columnEnds) {
        b.U32(end);
    }
    for (uint32_t cell : r.cells) {
        b.U32(cell);
    }
    b.U32(r.kind).U32(1).U32(0x00010009).U32(0x20);
}

WorldBytes ColourSetBytes(const std::vector<RecordSpec> &records, bool newForm)
{
    WorldBytes b;
    b.U16(static_cast<uint32_t>(records.size())).U8(newForm ? 1 : 0).U8(0);
    for (const RecordSpec &r : records) {
        newForm ? WriteNewRecord(b, r) : WriteOldRecord(b, r);
    }
    return b;
}

int ReadSet(ColourSet &set, WorldBytes &bytes, int version = 251, DataStream *out = nullptr)
{
    DataStream stream;
    bytes.Open(stream, version);
    const int result = set.Read(&stream, version, "BL");
    if (out) {
        *out = stream;
    }
    return result;
}

TEST(ColourSet, NewRecordFieldsLandInPlaceAndTheRecordIsConsumedWhole)
{
    RecordSpec radial;
    radial.form = 1;
    WorldBytes bytes = ColourSetBytes({RecordSpec{}, radial}, true);
    ColourSet set;
    DataStream stream;
    ASSERT_EQ(ReadSet(set, bytes, 251, &stream), 0);
    EXPECT_EQ(stream.Remaining(), 0);
    ASSERT_EQ(set.count, 2);

    const TrackColour &plain = set.records[0];
    EXPECT_EQ(plain.flags, 9);
    EXPECT_STREQ(plain.name, "road");
    EXPECT_STREQ(plain.textureName, "asphalt");
    EXPECT_EQ(plain.colour.red, 200);
    EXPECT_EQ(plain.colour.flags, 4);
    EXPECT_EQ(plain.uRepeat, 64);
    EXPECT_EQ(plain.vRepeat, 32);
    EXPECT_EQ(plain.uOffset, 1);
    EXPECT_EQ(plain.vOffset, 2);
    EXPECT_EQ(plain.rowCount, 1);
    EXPECT_EQ(plain.orientation, 5);
    EXPECT_EQ(plain.paletteCount, 2);
    EXPECT_EQ(plain.columnCount, 2);
    EXPECT_EQ(plain.surfaceKind, 0);
    EXPECT_EQ(plain.bumpKind, 2);
    EXPECT_EQ(plain.bumpAmplitude, 7);
    EXPECT_EQ(plain.bumpShift, 18);
    EXPECT_EQ(plain.lengthWord, 0x103u);
    EXPECT_EQ(plain.scale1, 2.0f);
    EXPECT_EQ(plain.scale2, 2.0f);
    EXPECT_EQ(plain.palette[1].blue, 255);
    EXPECT_EQ(plain.columnEnds[0], Half);
    EXPECT_EQ(plain.cells[1], 1u);

    const TrackColour &mapped = set.records[1];
    EXPECT_EQ(mapped.form, 1);
    EXPECT_EQ(mapped.mappingCentreX, 0x50000u);
    EXPECT_EQ(mapped.mappingCentreY, 0x60000u);
    EXPECT_EQ(mapped.mappingAngle, 1.5f);
    EXPECT_EQ(mapped.scale1, 3.0f);
    EXPECT_EQ(mapped.scale2, 4.0f);
    EXPECT_EQ(mapped.cells[0], 0u);
}

TEST(ColourSet, OldRecordFieldsAndTheFenceRule)
{
    struct Case {
        const char *name;
        uint8_t kind;
        int version;
        uint8_t expectedKind;
    };
    const Case cases[] = {
        {"FENCE_2", 0, 251, 9},
        {"fence", 3, 251, 9},
        {"bin_l_a", 1, 251, 9},
        {"BIN_L_AB", 1, 251, 1},
        {"road_fence", 2, 251, 2},
        {"FENCE_2", 0, 252, 0},   // newer worlds name their fence kind themselves
    };
    for (const Case &c : cases) {
        RecordSpec r;
        r.name = c.name;
        r.kind = c.kind;
        WorldBytes bytes = ColourSetBytes({r}, false);
        ColourSet set;
        DataStream stream;
        ASSERT_EQ(ReadSet(set, bytes, c.version, &stream), 0) << c.name;
        EXPECT_EQ(stream.Remaining(), 0) << c.name;
        ASSERT_EQ(set.count, 1);
        const TrackColour &record = set.records[0];
        EXPECT_EQ(record.surfaceKind, c.expectedKind) << c.name << " version " << c.version;
        EXPECT_EQ(record.rowCount, 1);
        EXPECT_EQ(record.orientation, 3);
        EXPECT_EQ(record.bumpKind, 1);
        EXPECT_EQ(record.flags, 9);
        EXPECT_EQ(record.form, 1);
        EXPECT_EQ(record.lengthWord, 0x20u);
        EXPECT_EQ(record.scale1, 2.0f);
        EXPECT_STREQ(record.textureName, "asphalt");   // no advertisement table
    }
}

TEST(ColourSet, InitialiseAveragesTheCellsAndSetsTheCellFlag)
{
    struct Case {
        const char *what;
        RecordSpec record;
        int oldColourFlags;
        ::Colour average;
        bool cellFlag;
    };
    RecordSpec halfAndHalf;
    RecordSpec flaggedPalette;
    flaggedPalette.palette[1].flags = 1;
    RecordSpec noRows;
    noRows.rows = 0;
    noRows.cells = {};
    RecordSpec noneNamed;
    noneNamed.cells = {255, 255};
    RecordSpec beyondPalette;
    beyondPalette.cells = {0, 2};   // index 2 of a 2-entry palette names nothing
    RecordSpec fourPerCell;
    fourPerCell.cells = {0xFFFF0100, 0xFFFFFF01};   // red, blue | blue: summed over 2 x rows
    const Case cases[] = {
        {"half red, half blue", halfAndHalf, 0, {127, 0, 127, 0}, true},
        {"palette flag", flaggedPalette, 0, {127, 0, 127, 1}, true},
        {"no rows", noRows, 0, {0, 0, 0, 0}, false},
        {"no index", noneNamed, 0, {0, 0, 0, 0}, false},
        {"index beyond palette", beyondPalette, 0, {127, 0, 0, 0}, true},
        {"old colour flags", fourPerCell, 1, {63, 0, 127, 0}, true},
    };
    for (const Case &c : cases) {
        WorldBytes bytes = ColourSetBytes({c.record}, true);
        ColourSet set;
        ASSERT_EQ(ReadSet(set, bytes), 0) << c.what;
        set.records[0].flags |= ColourHasCells | ColourUsed;
        set.Initialise(c.oldColourFlags);
        const TrackColour &record = set.records[0];
        EXPECT_EQ(record.average.red, c.average.red) << c.what;
        EXPECT_EQ(record.average.green, c.average.green) << c.what;
        EXPECT_EQ(record.average.blue, c.average.blue) << c.what;
        EXPECT_EQ(record.average.flags, c.average.flags) << c.what;
        // Without a contributing cell only the flags as read (bits 0 and 3) stay.
        EXPECT_EQ(record.flags, c.cellFlag ? 9 | ColourHasCells | ColourUsed : 9) << c.what;
    }
}

TEST(TrackColour, LitColourTintsByTheAverage)
{
    TrackColour record{};
    record.colour = {200, 100, 50, 4};
    record.average = {128, 255, 0, 1};
    record.ComputeLitColour();
    EXPECT_EQ(record.lit.red, 100);
    EXPECT_EQ(record.lit.green, 99);
    EXPECT_EQ(record.lit.blue, 0);
    EXPECT_EQ(record.lit.flags, 5);
}

TEST(TrackColour, TextureNameSuffixRule)
{
    struct Case {
        const char *name;
        uint8_t flags;
    };
    const Case cases[] = {
        {"xALPHA", AlphaBlend},
        {"fence_alpha", AlphaBlend},
        {"treeatest", AlphaTest},
        {"ALPHA", 0},
        {"ATEST", 0},
        {"signALP15", AlphaBlend},
        {"signALP24", AlphaBlend},
        {"signALP16", 0},
        {"", 0},
        {"alphabet", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TextureNameAlphaFlags(c.name), c.flags) << c.name;
    }
}

TEST(TrackColour, LoadTextureSettlesAlphaFlagsAndColours)
{
    struct Case {
        int graphics;
        const char *texture;
        uint8_t alphaFlags;
        uint8_t red;   // the colour after loading
    };
    const Case cases[] = {
        {0, "xALPHA", 0, 200},
        {0, "s_sky", 0, 200},
        {1, "xALPHA", AlphaBlend, 200},
        {1, "S_SKY", AlphaSkyTexture, 255},
        {1, "s_env", AlphaSkyTexture, 255},
        {1, "", 0, 255},
    };
    const int savedGraphics = GraphicsEnabled;
    for (const Case &c : cases) {
        RecordSpec r;
        r.texture = c.texture;
        WorldBytes bytes = ColourSetBytes({r}, true);
        ColourSet set;
        ASSERT_EQ(ReadSet(set, bytes), 0);
        set.Initialise(0);
        GraphicsEnabled = c.graphics;
        set.LoadAllTextures();
        const TrackColour &record = set.records[0];
        EXPECT_EQ(record.texture, nullptr) << c.texture;
        EXPECT_EQ(record.alphaFlags, c.alphaFlags) << c.texture << " graphics " << c.graphics;
        EXPECT_EQ(record.colour.red, c.red) << c.texture;
        EXPECT_EQ(record.lit.red, (c.red * 127) >> 8) << c.texture;
        const int blue = c.red == 255 ? 255 : 50;   // white replaces the whole colour
        EXPECT_EQ(record.lit.blue, (blue * 127) >> 8) << c.texture;
    }
    GraphicsEnabled = savedGraphics;
}

TEST(ColourSet, MarkUsedClearsTheUsedFlag)
{
    WorldBytes bytes = ColourSetBytes({RecordSpec{}}, true);
    ColourSet set;
    ASSERT_EQ(ReadSet(set, bytes), 0);
    set.records[0].flags |= ColourUsed;
    set.MarkUsed(nullptr, 0);
    EXPECT_EQ(set.records[0].flags, 9);
}

TEST(ColourSet, DamagedDataIsRefusedAndLeavesTheSetEmpty)
{
    struct Case {
        const char *what;
        WorldBytes bytes;
    };
    RecordSpec manyCells;
    manyCells.rows = 255;
    manyCells.columns = 255;
    RecordSpec manyPalettes;
    manyPalettes.palettes = 200;
    RecordSpec bigOldCount;
    bigOldCount.palettes = 0;

    std::vector<Case> cases;
    {
        WorldBytes b = ColourSetBytes({RecordSpec{}}, true);
        b.bytes[0] = 0xFF;   // 255 records, data for one
        b.bytes[1] = 0xFF;
        cases.push_back({"record count beyond the data", b});
    }
    cases.push_back({"cells beyond the data", ColourSetBytes({manyCells}, true)});
    cases.push_back({"palette beyond the data", ColourSetBytes({manyPalettes}, true)});
    cases.push_back({"old palette beyond the data", ColourSetBytes({manyPalettes}, false)});
    {
        WorldBytes b = ColourSetBytes({RecordSpec{}, RecordSpec{}}, true);
        b.bytes.resize(b.bytes.size() - 3);
        cases.push_back({"last record cut short", b});
    }
    {
        WorldBytes b = ColourSetBytes({RecordSpec{}, RecordSpec{}}, false);
        b.bytes.resize(b.bytes.size() - 3);
        cases.push_back({"old last record cut short", b});
    }
    {
        // An old palette count whose high bytes are set.
        WorldBytes b = ColourSetBytes({bigOldCount}, false);
        b.bytes[4 + 16 + 16 + 4 + 8 + 4 + 1] = 1;
        cases.push_back({"old palette count above 255", b});
    }
    cases.push_back({"header only", WorldBytes().U16(1)});
    for (Case &c : cases) {
        ColourSet set;
        EXPECT_NE(ReadSet(set, c.bytes), 0) << c.what;
        EXPECT_EQ(set.count, 0) << c.what;
        EXPECT_EQ(set.records, nullptr) << c.what;
    }
}

TEST(ColourSet, ReadReplacesThePreviousSet)
{
    WorldBytes two = ColourSetBytes({RecordSpec{}, RecordSpec{}}, true);
    WorldBytes one = ColourSetBytes({RecordSpec{}}, false);
    ColourSet set;
    ASSERT_EQ(ReadSet(set, two), 0);
    ASSERT_EQ(ReadSet(set, one), 0);
    EXPECT_EQ(set.count, 1);
}

}  // namespace
