#include "ui/font.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/ui/fake_glyph_renderer.h"
#include "tests/ui/font_fixture.h"

namespace {


// The fixtures' double-byte pages find no faces.
class FontTest : public ::testing::Test {
protected:
    void SetUp() override { SetGlyphRenderer(&renderer); }
    void TearDown() override
    {
        FreeFont();
        SetGlyphRenderer(nullptr);
    }
    FakeGlyphRenderer renderer;
};

TEST_F(FontTest, ReadsGlyphsAndAppliesTheWidthRules)
{
    ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture()), "glyphs").c_str()), 1);

    const FontGlyph &shaped = FontGlyphs[33];
    ASSERT_EQ(shaped.count, 4u);
    EXPECT_EQ(shaped.pairs[2].a, 2.0f);
    EXPECT_EQ(shaped.pairs[2].b, 6.0f);
    ASSERT_EQ(shaped.triangleCount, 1);
    EXPECT_EQ(shaped.triangles[0].corner[2], 2);
    ASSERT_EQ(shaped.strokeCount, 2);
    EXPECT_NEAR(shaped.strokes[0].angle, 0.7853982f, 1e-5f);     // (0,0) -> (1,1)
    EXPECT_NEAR(shaped.strokes[1].angle, -2.3561945f, 1e-5f);    // (1,1) -> (0,0)
    ASSERT_EQ(shaped.dotCount, 1);
    EXPECT_EQ(shaped.dots[0].radiusY, 10);
    ASSERT_EQ(shaped.curveCount, 1);
    EXPECT_EQ(shaped.curves[0].endStroke, 1);
    EXPECT_EQ(shaped.curves[0].slope[1][1], 0.75f);
    EXPECT_EQ(shaped.consoleBitmap[0], 200);
    EXPECT_EQ(shaped.consoleBitmap[GlyphBitmapSize - 1], 7);

    // Width: largest x, widened by a dot, at least 1; pixels round(9 w / 7), at most 9.
    struct WidthCase {
        int glyph;
        float width;
        int pixelWidth;
    };
    const WidthCase cases[] = {
        {33, 6.0f, 8},    // dot at x 4.5 with radius 15 tenths
        {0, 1.0f, 1},     // point at 0.5: the minimum
        {40, 8.0f, 9},    // wider than the cell: pixels capped
        {10, 1.0f, 1},    // empty glyph below 96 keeps the minimum
        {95, 3.0f, 4},
        {96, 3.0f, 4},    // in the file but without points: glyph 95's width
        {200, 3.0f, 4},   // not in the file at all: empty, glyph 95's width
        {543, 3.0f, 4},
    };
    for (const WidthCase &c : cases) {
        SCOPED_TRACE(c.glyph);
        EXPECT_FLOAT_EQ(FontGlyphs[c.glyph].width, c.width);
        EXPECT_EQ(FontGlyphs[c.glyph].pixelWidth, c.pixelWidth);
    }
    EXPECT_EQ(FontGlyphs[200].count, 0u);
    EXPECT_EQ(FontGlyphs[200].triangleCount, 0);
}

TEST_F(FontTest, CodePageLettersAddressTheFirstTenTables)
{
    ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture(12)), "twelve").c_str()), 1);
    EXPECT_EQ(CodePageTableCount, 12);
    EXPECT_EQ(CodePageLetterCount, 10);
    EXPECT_EQ(CurrentCodePage, &CodePageTables[0]);
    EXPECT_EQ(CodePageTables[11].number, 1011);

    // Each letter selects its table and yields no character.
    const char letters[] = "LETBJCGHSK";
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(DecodeCaretLetter(letters[i], nullptr), 0);
        EXPECT_EQ(CurrentCodePage, &CodePageTables[i]) << letters[i];
    }
    // Table 10, the symbol table, is reached by number only.
    SelectCodePage(10);
    EXPECT_EQ(CurrentCodePage, &CodePageTables[10]);
    SelectCodePage(12);
    EXPECT_EQ(CurrentCodePage, &CodePageTables[0]);
    SelectCodePage(-1);
    EXPECT_EQ(CurrentCodePage, &CodePageTables[0]);

    // With somewhere to put it, the index is stored and nothing is selected.
    int index = -1;
    SelectCodePageTo(11, &index);
    EXPECT_EQ(index, 11);
    SelectCodePageTo(40, &index);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(DecodeCaretLetter('G', &index), 0);
    EXPECT_EQ(index, 6);
    EXPECT_EQ(CurrentCodePage, &CodePageTables[0]);

    // The double-byte pages wait for their cache fonts.
    const int slotTables[DoubleByteSlotCount] = {4, 7, 8, 9};
    for (int slot = 0; slot < DoubleByteSlotCount; ++slot) {
        EXPECT_EQ(CodePageTables[slotTables[slot]].Unavailable, 1);
        EXPECT_EQ(CodePageTables[slotTables[slot]].doubleByteSlot, slot);
    }
    EXPECT_EQ(CodePageTables[0].Unavailable, 0);
}

TEST_F(FontTest, DecodeCaretLetter)
{
    ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture(5)), "five").c_str()), 1);
    EXPECT_EQ(CodePageLetterCount, 5);
    struct Case {
        int letter;
        int result;
        int table;   // selected table, -1 when the selection stays
    };
    const Case cases[] = {
        {'a', '*', -1}, {'c', ':', -1}, {'d', '\\', -1}, {'h', '#', -1}, {'l', '<', -1},
        {'q', '?', -1}, {'r', '>', -1}, {'s', '/', -1},  {'t', '"', -1}, {'v', '|', -1},
        {'x', 'x', -1}, {'^', '^', -1}, {'0', '0', -1},
        {'E', 0, 1},    {'J', 0, 4},    {'L', 0, 0},
        {'C', 'C', -1}, {'K', 'K', -1},  // tables 5 and 9 do not exist: plain letters
    };
    SelectCodePage(3);
    for (const Case &c : cases) {
        CodePageTable *before = CurrentCodePage;
        EXPECT_EQ(DecodeCaretLetter(c.letter, nullptr), c.result) << static_cast<char>(c.letter);
        EXPECT_EQ(CurrentCodePage, c.table < 0 ? before : &CodePageTables[c.table]) << static_cast<char>(c.letter);
    }
}

TEST_F(FontTest, DoubleByteTablesLinkBackAndStartUncached)
{
    ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture()), "double").c_str()), 1);
    ASSERT_EQ(DoubleByteTableCount, 2);
    EXPECT_EQ(DoubleByteTables[0].codePage, &CodePageTables[4]);
    EXPECT_EQ(DoubleByteTables[1].codePage, &CodePageTables[9]);
    EXPECT_EQ(CodePageTables[4].entries[0x81 - 32].flags, CodePageDoubleByteFlag);
    EXPECT_EQ(DoubleByteTables[1].entries[0].unicode, 0x3100);
    EXPECT_EQ(DoubleByteTables[1].entries[191].unicode, 0x31BF);
    for (int t = 0; t < 2; ++t) {
        for (const DoubleByteEntry &e : DoubleByteTables[t].entries) {
            ASSERT_EQ(e.cacheSlot, NoCacheSlot);
            ASSERT_EQ(e.pixelWidth, 0);
        }
    }
}

TEST_F(FontTest, MoreThan544GlyphsAreReadPastToTheTables)
{
    FontFixture f = StandardFixture();
    f.glyphs.resize(546);
    f.glyphs[545].points = {{1.0f, 1.0f}, {2.0f, 2.0f}, {3.0f, 1.0f}};
    f.glyphs[545].triangles = {{0, 1, 2, 0}};
    ASSERT_EQ(InitFont(WriteFixture(Serialise(f), "extra").c_str()), 1);
    EXPECT_EQ(CodePageTableCount, 12);
    EXPECT_EQ(CodePageTables[11].number, 1011);
    EXPECT_EQ(DoubleByteTables[1].codePage, &CodePageTables[9]);
}

// A refused file leaves nothing loaded, even after a good one.
void ExpectRefused(const std::string &path)
{
    ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture()), "good").c_str()), 1);
    EXPECT_EQ(InitFont(path.c_str()), 0);
    EXPECT_EQ(CodePageTableCount, 0);
    EXPECT_EQ(CodePageLetterCount, 0);
    EXPECT_EQ(DoubleByteTableCount, 0);
    EXPECT_EQ(CurrentCodePage, nullptr);
    EXPECT_EQ(FontGlyphs[33].count, 0u);
    EXPECT_EQ(FontGlyphs[33].triangleCount, 0);
}

TEST_F(FontTest, RefusesFilesItCannotUse)
{
    struct Case {
        const char *name;
        void (*damage)(FontFixture &);
    };
    const Case cases[] = {
        {"version250", [](FontFixture &f) { f.version = 250; }},
        {"version252", [](FontFixture &f) { f.version = 252; }},
        {"wrongId", [](FontFixture &f) { std::memcpy(f.id, "QZchar", 6); }},
        {"triangleIndex", [](FontFixture &f) { f.glyphs[33].triangles[0][1] = 4; }},
        {"strokeIndex", [](FontFixture &f) { f.glyphs[33].strokes[1][0] = 9; }},
        {"dotIndex", [](FontFixture &f) { f.glyphs[33].dots[0][0] = 4; }},
        {"curveStroke", [](FontFixture &f) { f.glyphs[33].curves[0][1] = 2; }},
        {"pointNaN", [](FontFixture &f) { f.glyphs[40].points[1][0] = std::numeric_limits<float>::quiet_NaN(); }},
        {"glyphNumber", [](FontFixture &f) { f.tables[3][10].glyph = FontGlyphCount; }},
        {"leadTable", [](FontFixture &f) { f.tables[7][0x90 - 32] = {2, 0, CodePageDoubleByteFlag}; }},
        {"noTables", [](FontFixture &f) { f.tables.clear(); f.tableNumbers.clear(); }},
        {"hugeGlyphCount", [](FontFixture &f) { f.glyphCountField = 0xffffffffu; }},
        {"hugeTableCount", [](FontFixture &f) { f.tableCountField = 0x40000000u; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FontFixture f = StandardFixture();
        c.damage(f);
        ExpectRefused(WriteFixture(Serialise(f), c.name));
    }
    SCOPED_TRACE("missing");
    ExpectRefused("font_test_no_such_file.abc");
}

TEST_F(FontTest, RefusesTruncatedFiles)
{
    const std::vector<uint8_t> whole = Serialise(StandardFixture());
    // Cuts inside the header, the glyphs, the code-page tables and the
    // double-byte tables, and the last byte alone.
    std::vector<size_t> cuts;
    for (size_t cut = 0; cut < whole.size(); cut += 199) {
        cuts.push_back(cut);
    }
    cuts.push_back(whole.size() - 1);
    for (const size_t cut : cuts) {
        SCOPED_TRACE(cut);
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
        ExpectRefused(WriteFixture(part, "cut"));
    }
}

} // namespace
