#include "tools/font_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/font_outline.h"
#include "tools/code_page_decode.h"
#include "platform/recording_device.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "ui/font.h"
#include "ui/font_textures.h"

namespace {

constexpr const char *SourceFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char *RunFolder = "font_file_test_run";

// Table index of each page in the file.
constexpr int Latin = 0, CentralEuropean = 1, Turkish = 2, Baltic = 3, Japanese = 4, Cyrillic = 5, Greek = 6,
              TraditionalChinese = 7, SimplifiedChinese = 8, Korean = 9;

class FontFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        writeError = WriteFontFile(RunFolder);
        loaded = writeError == nullptr && InitFont((std::string(RunFolder) + "/data/abc/kzv.abc").c_str()) == 1;
        outlineFont = OpenOutlineFont(SourceFont, GlyphCellHeight);
    }
    static void TearDownTestSuite()
    {
        FreeFont();
        CloseOutlineFont(outlineFont);
        outlineFont = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ(writeError, nullptr) << writeError;
        ASSERT_TRUE(loaded);
        ASSERT_NE(outlineFont, nullptr);
    }

    static const char *writeError;
    static bool loaded;
    static OutlineFont *outlineFont;
};

const char *FontFileTest::writeError = nullptr;
bool FontFileTest::loaded = false;
OutlineFont *FontFileTest::outlineFont = nullptr;

const CodePageEntry &Entry(int table, int byte)
{
    return CodePageTables[table].entries[byte - CodePageFirstByte];
}

double TriangleArea(const FontGlyph &glyph)
{
    double sum = 0.0;
    for (int i = 0; i < glyph.triangleCount; ++i) {
        const FloatPair &a = glyph.pairs[glyph.triangles[i].corner[0]];
        const FloatPair &b = glyph.pairs[glyph.triangles[i].corner[1]];
        const FloatPair &c = glyph.pairs[glyph.triangles[i].corner[2]];
        sum += 0.5 * std::fabs((b.a - a.a) * (c.b - a.b) - (b.b - a.b) * (c.a - a.a));
    }
    return sum;
}

// The character's outline from the source font, moved so its ink starts at
// x 0 as the generator places it.
GlyphOutline SourceOutline(OutlineFont *font, uint32_t unicode)
{
    GlyphOutline outline;
    EXPECT_EQ(LoadGlyphOutline(font, unicode, 0.005f, &outline), 0) << std::hex << unicode;
    float left = 1e9f;
    for (const OutlineContour &c : outline.contours) {
        for (const OutlinePoint &p : c) {
            left = std::min(left, p.x);
        }
    }
    for (OutlineContour &c : outline.contours) {
        for (OutlinePoint &p : c) {
            p.x -= left;
        }
    }
    return outline;
}

double OutlineArea(const GlyphOutline &outline)
{
    double sum = 0.0;
    for (const OutlineContour &c : outline.contours) {
        for (size_t i = 0; i < c.size(); ++i) {
            const OutlinePoint &a = c[i];
            const OutlinePoint &b = c[(i + 1) % c.size()];
            sum += 0.5 * (static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y);
        }
    }
    return sum;
}

bool InsideOutline(const GlyphOutline &outline, float x, float y)
{
    int winding = 0;
    for (const OutlineContour &c : outline.contours) {
        for (size_t i = 0; i < c.size(); ++i) {
            const OutlinePoint &a = c[i];
            const OutlinePoint &b = c[(i + 1) % c.size()];
            const float side = (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y);
            if (a.y <= y && b.y > y && side > 0.0f) {
                ++winding;
            } else if (a.y > y && b.y <= y && side < 0.0f) {
                --winding;
            }
        }
    }
    return winding != 0;
}

bool InsideGlyph(const FontGlyph &glyph, float x, float y)
{
    for (int i = 0; i < glyph.triangleCount; ++i) {
        const FloatPair &a = glyph.pairs[glyph.triangles[i].corner[0]];
        const FloatPair &b = glyph.pairs[glyph.triangles[i].corner[1]];
        const FloatPair &c = glyph.pairs[glyph.triangles[i].corner[2]];
        if ((b.a - a.a) * (y - a.b) - (b.b - a.b) * (x - a.a) >= 0.0f
            && (c.a - b.a) * (y - b.b) - (c.b - b.b) * (x - b.a) >= 0.0f
            && (a.a - c.a) * (y - c.b) - (a.b - c.b) * (x - c.a) >= 0.0f) {
            return true;
        }
    }
    return false;
}

float DistanceToOutline(const GlyphOutline &outline, float x, float y)
{
    float best = 1e9f;
    for (const OutlineContour &c : outline.contours) {
        for (size_t i = 0; i < c.size(); ++i) {
            const OutlinePoint &a = c[i];
            const OutlinePoint &b = c[(i + 1) % c.size()];
            const float dx = b.x - a.x, dy = b.y - a.y;
            const float length2 = dx * dx + dy * dy;
            float t = length2 > 0.0f ? ((x - a.x) * dx + (y - a.y) * dy) / length2 : 0.0f;
            t = std::clamp(t, 0.0f, 1.0f);
            const float ex = a.x + t * dx - x, ey = a.y + t * dy - y;
            best = std::min(best, ex * ex + ey * ey);
        }
    }
    return std::sqrt(best);
}

// Samples on which the glyph's triangles and the character's outline
// disagree, as a fraction of the samples inside the outline. Samples closer
// to the outline than the flattening can stray are not counted.
double ShapeMismatch(const FontGlyph &glyph, OutlineFont *font, uint32_t unicode)
{
    const GlyphOutline outline = SourceOutline(font, unicode);
    constexpr float Step = 0.1f;
    constexpr float Margin = 0.05f;
    // Samples over the outline's box and the glyph's width, with a margin.
    float bottom = GlyphCellHeight, top = 0.0f;
    for (const OutlineContour &c : outline.contours) {
        for (const OutlinePoint &p : c) {
            bottom = std::min(bottom, p.y);
            top = std::max(top, p.y);
        }
    }
    int inked = 0;
    int wrong = 0;
    const float right = std::max(glyph.width, 1.0f) + 0.5f;
    for (float y = bottom - 0.45f; y < top + 0.5f; y += Step) {
        for (float x = -0.45f; x < right; x += Step) {
            const bool inOutline = InsideOutline(outline, x, y);
            inked += inOutline ? 1 : 0;
            if (inOutline != InsideGlyph(glyph, x, y) && DistanceToOutline(outline, x, y) > Margin) {
                ++wrong;
            }
        }
    }
    return inked ? static_cast<double>(wrong) / inked : 1.0;
}

TEST_F(FontFileTest, TablesComeInLetterOrder)
{
    ASSERT_EQ(CodePageTableCount, 11);
    EXPECT_EQ(CodePageLetterCount, 10);
    const int numbers[11] = {1252, 1250, 1254, 1257, 932, 1251, 1253, 950, 936, 949, 42};
    for (int t = 0; t < 11; ++t) {
        EXPECT_EQ(CodePageTables[t].number, numbers[t]);
    }
}

TEST_F(FontFileTest, EveryLatinByteHasAGlyphWithShape)
{
    for (int b = 32; b < 256; ++b) {
        SCOPED_TRACE(b);
        const CodePageEntry &entry = Entry(Latin, b);
        // Undefined bytes are passive.
        EXPECT_TRUE(entry.flags == 0 || (entry.flags == CodePagePassiveFlag && entry.glyph == GlyphNoCharacter));
        EXPECT_EQ(entry.accent, 0);
        ASSERT_LT(entry.glyph, FontGlyphCount);
        const FontGlyph &glyph = FontGlyphs[entry.glyph];
        EXPECT_GT(glyph.count, 0u);
        if (b == ' ' || b == 0xA0) {
            EXPECT_EQ(entry.glyph, GlyphSpace);   // spaces draw nothing but advance
            EXPECT_GT(glyph.width, 1.5f);
        } else {
            EXPECT_GT(glyph.triangleCount, 0);
        }
        if (b < 127) {
            EXPECT_EQ(entry.glyph, b - 32);
        }
    }
    // Bytes that the code page leaves undefined show the box.
    EXPECT_EQ(Entry(Latin, 0x81).glyph, GlyphNoCharacter);
    EXPECT_EQ(Entry(Latin, 0x7F).glyph, GlyphNoCharacter);
}

TEST_F(FontFileTest, SameCharacterSharesOneGlyphAcrossPages)
{
    struct Case {
        int tableA, byteA, tableB, byteB;
    };
    const Case cases[] = {
        {Latin, 0xC9, CentralEuropean, 0xC9},   // É
        {Latin, 0x80, Cyrillic, 0x88},          // €
        {CentralEuropean, 0x8A, Baltic, 0xD0},  // Š
        {Latin, 0xA9, Greek, 0xA9},             // ©
        {Turkish, 0x41, Japanese, 0x41},        // A
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Entry(c.tableA, c.byteA).glyph, Entry(c.tableB, c.byteB).glyph) << c.byteA;
    }
    EXPECT_NE(Entry(Latin, 0xC0).glyph, Entry(Cyrillic, 0xC0).glyph);   // À and А
}

TEST_F(FontFileTest, CyrillicPageMapsC0ToCyrillicA)
{
    const FontGlyph &glyph = FontGlyphs[Entry(Cyrillic, 0xC0).glyph];
    EXPECT_LT(ShapeMismatch(glyph, outlineFont, 0x0410), 0.005);   // А
    EXPECT_GT(ShapeMismatch(glyph, outlineFont, 0x0411), 0.2);    // Б
}

TEST_F(FontFileTest, TrianglesCoverTheOutlineArea)
{
    // Holes, several holes, nested contours, many curves.
    const uint32_t characters[] = {'A', 'O', 'B', '8', '%', '@', 0x00AE, 0x00DF, 0x2030, 0x0416, 0x03A6};
    for (const uint32_t c : characters) {
        SCOPED_TRACE(c);
        int glyph = -1;
        std::unique_ptr<DecodedCodePage> page;
        const char *converters[] = {"CP1252", "CP1251", "CP1253"};
        const int tables[] = {Latin, Cyrillic, Greek};
        for (int p = 0; p < 3 && glyph < 0; ++p) {
            page = std::make_unique<DecodedCodePage>();
            ASSERT_EQ(DecodeCodePage(converters[p], page.get()), 0);
            for (int b = 32; b < 256; ++b) {
                if (page->single[b] == c) {
                    glyph = Entry(tables[p], b).glyph;
                    break;
                }
            }
        }
        ASSERT_GE(glyph, 0);
        const double triangles = TriangleArea(FontGlyphs[glyph]);
        const double outline = OutlineArea(SourceOutline(outlineFont, c));
        EXPECT_NEAR(triangles, outline, 0.01 * outline);
    }
}

TEST_F(FontFileTest, EverySingleBytePageCharacterHasItsShape)
{
    struct Page {
        int table;
        const char *converter;
    };
    const Page pages[] = {{Latin, "CP1252"}, {CentralEuropean, "CP1250"}, {Turkish, "CP1254"},
                          {Baltic, "CP1257"}, {Cyrillic, "CP1251"},      {Greek, "CP1253"}};
    std::map<int, uint32_t> checked;   // glyph -> the character it was checked as
    auto page = std::make_unique<DecodedCodePage>();
    for (const Page &p : pages) {
        ASSERT_EQ(DecodeCodePage(p.converter, page.get()), 0);
        for (int b = 33; b < 256; ++b) {
            const uint32_t unicode = page->single[b];
            const int glyph = Entry(p.table, b).glyph;
            if (unicode == 0 || unicode == 0x7F || unicode == 0xA0 || unicode == 0xAD) {
                continue;   // no character, or a space or soft hyphen that shares a glyph
            }
            SCOPED_TRACE(::testing::Message() << p.converter << " byte " << b << " U+" << std::hex << unicode);
            const auto seen = checked.find(glyph);
            if (seen != checked.end()) {
                EXPECT_EQ(seen->second, unicode);   // one glyph, one character
                continue;
            }
            checked[glyph] = unicode;
            EXPECT_LT(ShapeMismatch(FontGlyphs[glyph], outlineFont, unicode), 0.005);
        }
    }
    EXPECT_GT(checked.size(), 360u);
}

TEST_F(FontFileTest, DoubleBytePagesLeadToUnicodeTables)
{
    struct Case {
        int table, lead, trail;
        uint16_t unicode;
    };
    const Case cases[] = {
        {Japanese, 0x82, 0xA0, 0x3042},            // あ
        {Japanese, 0x88, 0x9F, 0x4E9C},            // 亜
        {TraditionalChinese, 0xA4, 0x40, 0x4E00},  // 一
        {SimplifiedChinese, 0xD6, 0xD0, 0x4E2D},   // 中
        {Korean, 0xB0, 0xA1, 0xAC00},              // 가
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.unicode);
        const CodePageEntry &entry = Entry(c.table, c.lead);
        ASSERT_EQ(entry.flags, CodePageLeadByteFlags);
        ASSERT_LT(entry.glyph, DoubleByteTableCount);
        const DoubleByteTable &table = DoubleByteTables[entry.glyph];
        EXPECT_EQ(table.codePage, &CodePageTables[c.table]);
        EXPECT_EQ(table.entries[c.trail - DoubleByteFirstTrail].unicode, c.unicode);
        EXPECT_EQ(table.entries[c.trail - DoubleByteFirstTrail].cacheSlot, NoCacheSlot);
    }
    for (const int t : {Japanese, TraditionalChinese, SimplifiedChinese, Korean}) {
        SCOPED_TRACE(t);
        for (int b = 32; b < 127; ++b) {
            EXPECT_EQ(Entry(t, b).glyph, b - 32);
            EXPECT_EQ(Entry(t, b).flags, 0);
        }
        // Available exactly when the page has its cache font.
        EXPECT_EQ(CodePageTables[t].Unavailable, CodePageTables[t].cacheFont == nullptr ? 1 : 0);
    }
    // A half-width katakana byte stands alone and has no glyph of the font.
    EXPECT_EQ(Entry(Japanese, 0xB1).flags, 0);
    EXPECT_EQ(Entry(Japanese, 0xB1).glyph, GlyphNoCharacter);
    // The single-byte pages have no lead bytes.
    for (const int t : {Latin, CentralEuropean, Turkish, Baltic, Cyrillic, Greek}) {
        for (int b = 128; b < 256; ++b) {
            ASSERT_EQ(Entry(t, b).flags & CodePageDoubleByteFlag, 0) << t << " " << b;
        }
    }
}

TEST_F(FontFileTest, GlyphsDrawnByNumber)
{
    EXPECT_EQ(Entry(Latin, '|').glyph, GlyphCursorBar);
    EXPECT_NEAR(TriangleArea(FontGlyphs[GlyphSolidBlock]), GlyphCellWidth * GlyphCellHeight, 1e-4);
    EXPECT_NEAR(TriangleArea(FontGlyphs[GlyphSolidBlockAlt]), GlyphCellWidth * GlyphCellHeight, 1e-4);
    EXPECT_LT(ShapeMismatch(FontGlyphs[GlyphTick], outlineFont, 0x2713), 0.005);
    EXPECT_LT(ShapeMismatch(FontGlyphs[GlyphUnknownCharacter], outlineFont, 0xFFFD), 0.005);
    for (const int g : {GlyphNoCharacter, GlyphMapArrow}) {
        EXPECT_GT(FontGlyphs[g].triangleCount, 0) << g;
    }
    // The box is hollow: less ink than its outer rectangle.
    const FontGlyph &box = FontGlyphs[GlyphNoCharacter];
    EXPECT_LT(TriangleArea(box), 0.6 * box.width * 5.0);
}

TEST_F(FontFileTest, ConsoleBitmapShowsTheLetter)
{
    const FontGlyph &h = FontGlyphs['H' - 32];
    const int w = h.pixelWidth;
    ASSERT_GE(w, 4);
    auto set = [&](int row, int column) { return h.consoleBitmap[row * w + column] >= 128; };
    int left = 0, right = 0, bar = 0;
    for (int row = 0; row < GlyphBitmapRows; ++row) {
        left += set(row, 0) ? 1 : 0;
        right += set(row, w - 1) ? 1 : 0;
        EXPECT_FALSE(set(row, w / 2) && (row < 2 || row > 8)) << row;   // no ink above or below the letter
    }
    for (int column = 0; column < w; ++column) {
        bool any = false;
        for (int row = 4; row <= 6; ++row) {
            any = any || set(row, column);
        }
        bar += any ? 1 : 0;
    }
    EXPECT_GE(left, 5);
    EXPECT_GE(right, 5);
    EXPECT_EQ(bar, w);
    for (int k = GlyphBitmapRows * w; k < GlyphBitmapSize; ++k) {
        EXPECT_EQ(h.consoleBitmap[k], 0);
    }
}

} // namespace

namespace {

struct PageSource {
    int table;
    const char *converter;
    bool doubleByte;
};
const PageSource AllPages[] = {
    {Latin, "CP1252", false},    {CentralEuropean, "CP1250", false}, {Turkish, "CP1254", false},
    {Baltic, "CP1257", false},   {Japanese, "CP932", true},          {Cyrillic, "CP1251", false},
    {Greek, "CP1253", false},    {TraditionalChinese, "CP950", true}, {SimplifiedChinese, "CP936", true},
    {Korean, "CP949", true},
};

}  // namespace

TEST_F(FontFileTest, EveryByteOfTheTenPagesRoundTripsThroughItsEntry)
{
    auto page = std::make_unique<DecodedCodePage>();
    for (const PageSource &p : AllPages) {
        SCOPED_TRACE(p.converter);
        ASSERT_EQ(DecodeCodePage(p.converter, page.get()), 0);
        for (int b = 32; b < 256; ++b) {
            const CodePageEntry &entry = Entry(p.table, b);
            if (p.doubleByte && page->lead[b]) {
                ASSERT_EQ(entry.flags, CodePageLeadByteFlags) << b;
                ASSERT_LT(entry.glyph, DoubleByteTableCount);
                const DoubleByteTable &table = DoubleByteTables[entry.glyph];
                for (int t = 0; t < DoubleByteEntryCount; ++t) {
                    const uint32_t unicode = page->pair[b][t];
                    const bool drawable = unicode <= 0xFFFF && (unicode < 0xE000 || unicode > 0xF8FF);
                    ASSERT_EQ(table.entries[t].unicode, drawable ? unicode : 0u) << b << " " << t;
                }
                continue;
            }
            const bool defined = page->single[b] != 0 || (p.doubleByte && b < 128);
            if (!defined) {
                // Passive: the box, no trail byte.
                EXPECT_EQ(entry.flags, CodePagePassiveFlag) << b;
                EXPECT_EQ(entry.glyph, GlyphNoCharacter) << b;
                continue;
            }
            EXPECT_EQ(entry.flags, 0) << b;
            const FontGlyph &glyph = FontGlyphs[entry.glyph];
            EXPECT_TRUE(entry.glyph == GlyphSpace || glyph.triangleCount > 0) << b;
        }
    }
}

TEST_F(FontFileTest, SymbolTableDrawsItsBytesWithGlyphsOfTheirOwn)
{
    ASSERT_GT(CodePageTableCount, SymbolCodePage);
    EXPECT_EQ(CodePageTables[SymbolCodePage].number, 42);
    std::vector<int> bytes = {0xB9, 0xBA, 0xAD, 0xAE, 0xAF, 0xB5, 0xB6, 0xB7, 0xBD, 0xBE};
    for (int b = 0xC0; b <= 0xCF; ++b) {
        bytes.push_back(b);
    }
    for (const char c : std::string("0123456789.+,")) {
        bytes.push_back(c + 0x60);
        bytes.push_back(c + 0x70);
    }
    std::map<int, int> owners;
    for (const int b : bytes) {
        SCOPED_TRACE(b);
        const CodePageEntry &entry = Entry(SymbolCodePage, b);
        EXPECT_EQ(entry.flags, 0);
        EXPECT_GE(entry.glyph, 472);
        EXPECT_LT(entry.glyph, FontGlyphCount);
        EXPECT_GT(FontGlyphs[entry.glyph].triangleCount, 0);
        EXPECT_EQ(owners.count(entry.glyph), 0u);   // one glyph per byte
        owners[entry.glyph] = b;
    }
    // ASCII stays ASCII; an unlisted byte is passive.
    EXPECT_EQ(Entry(SymbolCodePage, 'A').glyph, 'A' - 32);
    EXPECT_EQ(Entry(SymbolCodePage, 0xF0).flags, CodePagePassiveFlag);
    EXPECT_EQ(Entry(SymbolCodePage, 0xF0).glyph, GlyphNoCharacter);
    // The plain instrument digit is the font's own '7'.
    EXPECT_LT(ShapeMismatch(FontGlyphs[Entry(SymbolCodePage, '7' + 0x60).glyph], outlineFont, '7'), 0.005);
}

TEST_F(FontFileTest, EveryGlyphKeepsWithinItsRecordLimits)
{
    // A glyph's row in the texture is 0.25 high for a 0.234375 cell: y may
    // stray 0.6 units past the cell before it reaches the next row.
    const float room = GlyphCellHeight * (0.25f / 0.234375f - 1.0f);
    for (int g = 0; g < FontGlyphCount; ++g) {
        const FontGlyph &glyph = FontGlyphs[g];
        ASSERT_LE(glyph.count, 255u) << g;
        ASSERT_LE(glyph.triangleCount, 255) << g;
        for (uint32_t i = 0; i < glyph.count; ++i) {
            ASSERT_GE(glyph.pairs[i].a, 0.0f) << g;
            ASSERT_LE(glyph.pairs[i].a, 2.0f * GlyphCellWidth) << g;
            ASSERT_GE(glyph.pairs[i].b, -room) << g;
            ASSERT_LE(glyph.pairs[i].b, GlyphCellHeight + room) << g;
        }
    }
}

// The system's outline fonts (fonts-wqy-microhei, installed by make deps).
TEST_F(FontFileTest, SystemBackEndDrawsChineseThroughTheSimplifiedPage)
{
    const CodePageTable &page = CodePageTables[SimplifiedChinese];
    ASSERT_EQ(page.Unavailable, 0) << "no simplified Chinese face: install fonts-wqy-microhei";
    ASSERT_NE(page.cacheFont, nullptr);
    EXPECT_GT(page.inkHeight, 20);
    EXPECT_LT(page.inkHeight, 62);
    int top = -1;
    int bottom = -1;
    ASSERT_EQ(RenderCharsGDI(2, 0x4E2D, &top, &bottom), 1);
    EXPECT_LT(top, bottom);
    int ink = 0;
    for (const uint8_t v : CharBitmap) {
        ink += v > 128;
    }
    EXPECT_GT(ink, 100);
    const int advance = CacheCharWidth(2, 0x4E2D);
    EXPECT_GE(advance, 1);
    EXPECT_LE(advance, 62);
}

// The generated font's glyphs fit the four font textures.
TEST_F(FontFileTest, GlyphTexturesOfTheGeneratedFontFitFourPictures)
{
    static int width = 640;
    static int height = 480;
    RenderShellLink link{};
    link.screenWidth = &width;
    link.screenHeight = &height;
    SetRenderShellLink(link);
    RecordingDevice device;
    ASSERT_TRUE(UseGraphicsDevice(&device));
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    ASSERT_EQ(StartGraphics(), 1);
    const int made = BuildFontTextures();
    EXPECT_GE(made, 1);
    EXPECT_LE(made, 4);
    for (int g = 0; g < FontGlyphCount; ++g) {
        EXPECT_LT(FontGlyphs[g].texture, made) << g;
    }
    ReleaseFontTextures();
    StopGraphics();
    UseGraphicsDevice(nullptr);
    SetRenderShellLink(RenderShellLink{});
}
