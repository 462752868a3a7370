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

namespace {

// A font file described field by field, serialised by hand so that tests can
// damage any part of it.
struct FixtureGlyph {
    std::vector<std::array<float, 2>> points;
    std::vector<std::array<uint8_t, 4>> strokes;
    std::vector<std::array<uint8_t, 4>> triangles;
    std::vector<std::array<uint8_t, 4>> dots;
    std::vector<std::array<uint8_t, 4>> curves;   // stroke bytes; four slope floats follow
    uint8_t bitmapFirst = 0;
    uint8_t bitmapLast = 0;
};

struct FontFixture {
    char id[7] = "QZCHAR";
    int version = FontFileVersion;
    std::vector<FixtureGlyph> glyphs;
    std::vector<uint32_t> tableNumbers;
    std::vector<std::array<CodePageEntry, CodePageEntryCount>> tables;
    std::vector<std::array<uint16_t, DoubleByteEntryCount>> doubleByteTables;
    uint32_t glyphCountField = 0;   // written instead of glyphs.size() when not 0
    uint32_t tableCountField = 0;   // written instead of tables.size() when not 0
};

struct Bytes {
    std::vector<uint8_t> data;
    void U8(int v) { data.push_back(static_cast<uint8_t>(v)); }
    void U16(int v) { U8(v); U8(v >> 8); }
    void U32(uint32_t v) { U16(static_cast<int>(v & 0xffff)); U16(static_cast<int>(v >> 16)); }
    void F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof(bits));
        U32(bits);
    }
};

std::vector<uint8_t> Serialise(const FontFixture &f)
{
    Bytes out;
    for (int i = 0; i < 6; ++i) {
        out.U8(f.id[i]);
    }
    out.U8(f.version >> 8);
    out.U8(f.version & 0xff);
    out.U32(f.glyphCountField ? f.glyphCountField : static_cast<uint32_t>(f.glyphs.size()));
    for (const FixtureGlyph &g : f.glyphs) {
        out.U32(static_cast<uint32_t>(g.points.size()));
        for (const auto &p : g.points) {
            out.F32(p[0]);
            out.F32(p[1]);
        }
        out.U8(static_cast<int>(g.strokes.size()));
        out.U8(static_cast<int>(g.triangles.size()));
        out.U8(static_cast<int>(g.dots.size()));
        out.U8(static_cast<int>(g.curves.size()));
        for (const auto *list : {&g.strokes, &g.triangles, &g.dots}) {
            for (const auto &record : *list) {
                for (const uint8_t b : record) {
                    out.U8(b);
                }
            }
        }
        for (const auto &curve : g.curves) {
            for (const uint8_t b : curve) {
                out.U8(b);
            }
            for (int k = 0; k < 4; ++k) {
                out.F32(0.25f * static_cast<float>(k));
            }
        }
        for (int k = 0; k < GlyphBitmapSize; ++k) {
            out.U8(k == 0 ? g.bitmapFirst : k == GlyphBitmapSize - 1 ? g.bitmapLast : 0);
        }
    }
    out.U32(f.tableCountField ? f.tableCountField : static_cast<uint32_t>(f.tables.size()));
    for (size_t t = 0; t < f.tables.size(); ++t) {
        out.U32(f.tableNumbers[t]);
        for (const CodePageEntry &e : f.tables[t]) {
            out.U16(e.glyph);
            out.U8(e.accent);
            out.U8(e.flags);
        }
    }
    out.U32(static_cast<uint32_t>(f.doubleByteTables.size()));
    for (const auto &table : f.doubleByteTables) {
        for (const uint16_t u : table) {
            out.U16(u);
        }
    }
    return out.data;
}

std::string WriteFixture(const std::vector<uint8_t> &bytes, const char *name)
{
    const std::string path = std::string("font_test_") + name + ".abc";
    FILE *file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file) {
        if (!bytes.empty()) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        }
        std::fclose(file);
    }
    return path;
}

// 97 glyphs: a few with shapes, the rest empty. Table t (of `tables`) has
// number 1000 + t and maps byte b to glyph b - 32; byte 0x81 of tables 4 and
// 9 leads to double-byte tables 0 and 1.
FontFixture StandardFixture(int tables = 12)
{
    FontFixture f;
    f.glyphs.resize(97);
    FixtureGlyph &space = f.glyphs[0];
    space.points = {{0.5f, 0.0f}};

    FixtureGlyph &shaped = f.glyphs[33];
    shaped.points = {{0.0f, 0.0f}, {4.5f, 0.0f}, {2.0f, 6.0f}, {1.0f, 1.0f}};
    shaped.strokes = {{0, 3, 0, 0}, {3, 0, 0, 0}};
    shaped.triangles = {{0, 1, 2, 0}};
    shaped.dots = {{1, 0, 15, 10}};          // widens the glyph to 4.5 + 1.5
    shaped.curves = {{0, 1, 1, 0}};
    shaped.bitmapFirst = 200;
    shaped.bitmapLast = 7;

    f.glyphs[40].points = {{0.0f, 0.0f}, {8.0f, 9.0f}};
    f.glyphs[95].points = {{0.0f, 0.0f}, {3.0f, 0.0f}, {3.0f, 5.0f}};
    f.glyphs[95].triangles = {{0, 1, 2, 0}};

    for (int t = 0; t < tables; ++t) {
        f.tableNumbers.push_back(1000 + t);
        std::array<CodePageEntry, CodePageEntryCount> table{};
        for (int b = 32; b < 256; ++b) {
            table[b - 32] = {static_cast<uint16_t>(b - 32), 0, 0};
        }
        f.tables.push_back(table);
    }
    for (int d = 0; d < 2; ++d) {
        std::array<uint16_t, DoubleByteEntryCount> table{};
        for (int k = 0; k < DoubleByteEntryCount; ++k) {
            table[k] = static_cast<uint16_t>(0x3000 + 0x100 * d + k);
        }
        f.doubleByteTables.push_back(table);
    }
    if (tables > 9) {
        f.tables[4][0x81 - 32] = {0, 0, CodePageDoubleByteFlag};
        f.tables[9][0x81 - 32] = {1, 0, CodePageDoubleByteFlag};
    }
    return f;
}

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
