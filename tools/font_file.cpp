#include "tools/font_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "core/data_stream.h"
#include "platform/font_outline.h"
#include "tools/code_page_decode.h"
#include "tools/polygon_triangulate.h"
#include "ui/font.h"

namespace {

constexpr const char *SourceFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Curves are first flattened to this tolerance (glyph units); a glyph that
// then needs more points or triangles than a record can index is flattened
// again more coarsely.
constexpr float FlattenTolerance = 0.02f;
constexpr float CoarserTolerance = 1.5f;
constexpr int FlattenAttempts = 12;
constexpr size_t MaxGlyphPoints = 255;
constexpr size_t MaxGlyphTriangles = 255;

// The drawing adds 0.1 of the 7-unit size after each glyph.
constexpr float LetterSpacing = 0.7f;

// Console bitmap sampling: 4 x 4 samples per pixel; a pixel a quarter
// covered reaches 128, so that thin strokes survive at 11 rows.
constexpr int BitmapSamples = 4;
constexpr int BitmapGain = 2;

constexpr uint32_t NoBreakSpace = 0x00A0;
constexpr uint32_t SoftHyphen = 0x00AD;
constexpr uint32_t CheckMark = 0x2713;
constexpr uint32_t ReplacementCharacter = 0xFFFD;
constexpr uint32_t FirstPrivateUse = 0xE000;
constexpr uint32_t LastPrivateUse = 0xF8FF;

struct CodePageSource {
    uint16_t number;
    const char *converter;
    bool doubleByte;
};

// Tables 0..9 in the order of the code-page letters L E T B J C G H S K.
constexpr CodePageSource CodePageSources[] = {
    {1252, "CP1252", false}, {1250, "CP1250", false}, {1254, "CP1254", false}, {1257, "CP1257", false},
    {932, "CP932", true},    {1251, "CP1251", false}, {1253, "CP1253", false}, {950, "CP950", true},
    {936, "CP936", true},    {949, "CP949", true},
};
constexpr int CodePageSourceCount = static_cast<int>(sizeof(CodePageSources) / sizeof(CodePageSources[0]));

// The symbol table (table 10) and its glyphs, drawn here from 472 on.
constexpr uint16_t SymbolTableNumber = 42;
constexpr int FirstSymbolGlyph = 472;
constexpr int InstrumentDigitsA = 0x60;   // byte = ASCII + 0x60: the plain instrument digits
constexpr int InstrumentDigitsB = 0x70;   // byte = ASCII + 0x70: the segment digits
constexpr char InstrumentCharacters[] = "0123456789.+,";
constexpr int SymbolArrowUp = 0xB9;
constexpr int SymbolArrowDown = 0xBA;
// Icon bytes of the dashboards, dials and replay bar, in drawing order.
constexpr int SymbolIconBytes[] = {0xAD, 0xAE, 0xAF, 0xB5, 0xB6, 0xB7, 0xBD, 0xBE, 0xC0, 0xC1, 0xC2, 0xC3,
                                   0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF};

// Glyphs drawn by number; characters are not given these slots.
constexpr int ReservedGlyphs[] = {GlyphNoCharacter, GlyphTick, GlyphUnknownCharacter,
                                  GlyphSolidBlock, GlyphSolidBlockAlt, GlyphMapArrow};

struct BuiltGlyph {
    std::vector<OutlinePoint> points;
    std::vector<TriangleCorners> triangles;
    uint8_t bitmap[GlyphBitmapSize] = {};
};

struct FontBuild {
    OutlineFont *font = nullptr;
    float baseline = 0.0f;       // y of the baseline in glyph units
    float capTop = 0.0f;         // y of the top of a capital
    uint32_t character[FontGlyphCount] = {};   // Unicode drawn by each glyph, 0 none
    std::map<uint32_t, int> glyphOf;           // Unicode -> glyph
    std::vector<BuiltGlyph> glyphs = std::vector<BuiltGlyph>(FontGlyphCount);
    std::vector<std::unique_ptr<DecodedCodePage>> pages;
    std::vector<CodePageEntry> entries[CodePageSourceCount];
    std::vector<CodePageEntry> symbolEntries;
    std::vector<std::vector<uint16_t>> doubleByteTables;
};

bool IsReserved(int glyph)
{
    return std::find(std::begin(ReservedGlyphs), std::end(ReservedGlyphs), glyph) != std::end(ReservedGlyphs);
}

// Triangulates contours given as point lists into a glyph. Returns false when
// the glyph would need more points or triangles than its record can index.
bool FillGlyph(const std::vector<OutlineContour> &contours, BuiltGlyph *glyph)
{
    glyph->points.clear();
    glyph->triangles.clear();
    std::vector<std::vector<int>> indexed;
    for (const OutlineContour &contour : contours) {
        std::vector<int> ring;
        for (const OutlinePoint &p : contour) {
            ring.push_back(static_cast<int>(glyph->points.size()));
            glyph->points.push_back(p);
        }
        indexed.push_back(std::move(ring));
    }
    if (glyph->points.size() > MaxGlyphPoints) {
        return false;
    }
    TriangulateContours(glyph->points, indexed, &glyph->triangles);
    return glyph->triangles.size() <= MaxGlyphTriangles;
}

// The glyph of a character of the source font, its ink moved to start at x 0.
bool BuildCharacterGlyph(FontBuild &build, uint32_t unicode, BuiltGlyph *glyph)
{
    float tolerance = FlattenTolerance;
    for (int attempt = 0; attempt < FlattenAttempts; ++attempt, tolerance *= CoarserTolerance) {
        GlyphOutline outline;
        if (LoadGlyphOutline(build.font, unicode, tolerance, &outline) != 0) {
            return false;
        }
        float left = 0.0f;
        bool first = true;
        for (const OutlineContour &contour : outline.contours) {
            for (const OutlinePoint &p : contour) {
                left = first ? p.x : std::min(left, p.x);
                first = false;
            }
        }
        for (OutlineContour &contour : outline.contours) {
            for (OutlinePoint &p : contour) {
                p.x -= left;
            }
        }
        if (FillGlyph(outline.contours, glyph)) {
            return true;
        }
    }
    glyph->points.clear();
    glyph->triangles.clear();
    return false;
}

OutlineContour Rectangle(float x0, float y0, float x1, float y1, bool hole)
{
    OutlineContour ring = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    if (hole) {
        std::reverse(ring.begin(), ring.end());
    }
    return ring;
}

// The shapes that no character of the source font gives.
void BuildDrawnGlyphs(FontBuild &build)
{
    // The space has no ink; one point gives it the source font's spacing.
    GlyphOutline space;
    float spaceWidth = 1.0f;
    if (LoadGlyphOutline(build.font, ' ', FlattenTolerance, &space) == 0) {
        spaceWidth = std::max(1.0f, space.advance - LetterSpacing);
    }
    build.glyphs[GlyphSpace].points = {{spaceWidth, 0.0f}};

    // A box of capital height for bytes and characters without a glyph.
    const float box = (build.capTop - build.baseline) * 0.7f;
    const float rim = 0.45f;
    FillGlyph({Rectangle(0.0f, build.baseline, box, build.capTop, false),
               Rectangle(rim, build.baseline + rim, box - rim, build.capTop - rim, true)},
              &build.glyphs[GlyphNoCharacter]);

    FillGlyph({Rectangle(0.0f, 0.0f, GlyphCellWidth, GlyphCellHeight, false)}, &build.glyphs[GlyphSolidBlock]);
    FillGlyph({Rectangle(0.0f, 0.0f, GlyphCellWidth, GlyphCellHeight, false)}, &build.glyphs[GlyphSolidBlockAlt]);

    // The map marker: an arrowhead pointing up the cell.
    FillGlyph({{{3.5f, 9.0f}, {0.0f, 0.0f}, {3.5f, 2.5f}, {7.0f, 0.0f}}}, &build.glyphs[GlyphMapArrow]);

    if (!BuildCharacterGlyph(build, CheckMark, &build.glyphs[GlyphTick])) {
        FillGlyph({{{0.0f, 4.6f}, {0.9f, 5.4f}, {2.2f, 3.6f}, {5.6f, 8.0f}, {6.4f, 7.3f}, {2.2f, 2.0f}}},
                  &build.glyphs[GlyphTick]);
    }
    BuildCharacterGlyph(build, ReplacementCharacter, &build.glyphs[GlyphUnknownCharacter]);
}

// Glyph numbers: ASCII 32..126 at 0..94, the drawn glyphs at their fixed
// numbers, then every further character of the single-byte pages in the order
// in which the pages (in table order) first use it.
void AssignGlyphs(FontBuild &build)
{
    for (int c = 32; c < 127; ++c) {
        build.character[c - 32] = static_cast<uint32_t>(c);
        build.glyphOf[static_cast<uint32_t>(c)] = c - 32;
    }
    build.glyphOf[NoBreakSpace] = GlyphSpace;
    build.glyphOf[SoftHyphen] = '-' - 32;

    int next = GlyphNoCharacter + 1;
    for (int p = 0; p < CodePageSourceCount; ++p) {
        if (CodePageSources[p].doubleByte) {
            continue;
        }
        for (int b = 128; b < 256; ++b) {
            const uint32_t unicode = build.pages[p]->single[b];
            if (unicode == 0 || build.glyphOf.count(unicode) || !OutlineFontHasCharacter(build.font, unicode)) {
                continue;
            }
            while (next < FirstSymbolGlyph && IsReserved(next)) {
                ++next;
            }
            if (next >= FirstSymbolGlyph) {
                return;   // the rest stay on the box glyph
            }
            build.character[next] = unicode;
            build.glyphOf[unicode] = next++;
        }
    }
}

int GlyphOfCharacter(const FontBuild &build, uint32_t unicode)
{
    const auto found = build.glyphOf.find(unicode);
    return found == build.glyphOf.end() ? GlyphNoCharacter : found->second;
}

void BuildCodePageTables(FontBuild &build)
{
    for (int p = 0; p < CodePageSourceCount; ++p) {
        const DecodedCodePage &page = *build.pages[p];
        std::vector<CodePageEntry> &entries = build.entries[p];
        entries.assign(CodePageEntryCount, CodePageEntry{GlyphNoCharacter, 0, 0});
        const bool doubleByte = CodePageSources[p].doubleByte;
        for (int b = CodePageFirstByte; b < 256; ++b) {
            CodePageEntry &entry = entries[b - CodePageFirstByte];
            if (CodePageSources[p].doubleByte && page.lead[b]) {
                std::vector<uint16_t> table(DoubleByteEntryCount, 0);
                for (int t = 0; t < DoubleByteEntryCount; ++t) {
                    const uint32_t unicode = page.pair[b][t];
                    // No font draws private-use characters, and a table
                    // entry holds only the basic plane.
                    const bool drawable = unicode <= 0xFFFF && (unicode < FirstPrivateUse || unicode > LastPrivateUse);
                    table[t] = drawable ? static_cast<uint16_t>(unicode) : 0;
                }
                entry.glyph = static_cast<uint16_t>(build.doubleByteTables.size());
                entry.flags = CodePageLeadByteFlags;
                build.doubleByteTables.push_back(std::move(table));
            } else if (doubleByte && b < 128) {
                entry.glyph = static_cast<uint16_t>(b < 127 ? b - 32 : GlyphNoCharacter);
            } else if (page.single[b] == 0) {
                // A byte the page does not define: passive, the box glyph.
                entry.glyph = GlyphNoCharacter;
                entry.flags = CodePagePassiveFlag;
            } else {
                entry.glyph = static_cast<uint16_t>(GlyphOfCharacter(build, page.single[b]));
            }
        }
    }
}

OutlineContour Polygon(std::initializer_list<OutlinePoint> points, bool hole = false)
{
    OutlineContour ring(points);
    float area = 0.0f;
    for (size_t i = 0; i < ring.size(); ++i) {
        const OutlinePoint &a = ring[i];
        const OutlinePoint &b = ring[(i + 1) % ring.size()];
        area += a.x * b.y - b.x * a.y;
    }
    // Outlines run counter-clockwise, holes clockwise.
    if ((area < 0.0f) != hole) {
        std::reverse(ring.begin(), ring.end());
    }
    return ring;
}

OutlineContour Circle(float cx, float cy, float r, bool hole = false)
{
    constexpr int Segments = 16;
    OutlineContour ring;
    for (int i = 0; i < Segments; ++i) {
        const float angle = 6.28318530718f * static_cast<float>(i) / Segments;
        ring.push_back({cx + r * std::cos(angle), cy + r * std::sin(angle)});
    }
    if (hole) {
        std::reverse(ring.begin(), ring.end());
    }
    return ring;
}

// A segment digit: the seven bars of a display (a top, b top right, c bottom
// right, d bottom, e bottom left, f top left, g middle).
std::vector<OutlineContour> SegmentCharacter(char c)
{
    static const char *const Bars[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc",
                                         "afgcd", "afgedc", "abc", "abcdefg", "abcdfg"};
    const float x0 = 0.3f, x1 = 4.3f, yBottom = 1.8f, yMiddle = 4.65f, yTop = 7.5f, t = 0.7f;
    std::vector<OutlineContour> shapes;
    if (c == '.') {
        shapes.push_back(Rectangle(0.3f, yBottom, 0.3f + t, yBottom + t, false));
        return shapes;
    }
    if (c == ',') {
        shapes.push_back(Polygon({{0.5f, yBottom + t}, {1.2f, yBottom + t}, {1.0f, 0.8f}, {0.3f, 0.8f}}));
        return shapes;
    }
    if (c == '+') {
        shapes.push_back(Rectangle(0.3f, yMiddle - t / 2, 3.3f, yMiddle + t / 2, false));
        shapes.push_back(Rectangle(1.45f, yMiddle - 1.5f, 2.15f, yMiddle - t / 2, false));
        shapes.push_back(Rectangle(1.45f, yMiddle + t / 2, 2.15f, yMiddle + 1.5f, false));
        return shapes;
    }
    for (const char *bar = Bars[c - '0']; *bar; ++bar) {
        switch (*bar) {
        case 'a': shapes.push_back(Rectangle(x0, yTop - t, x1, yTop, false)); break;
        case 'b': shapes.push_back(Rectangle(x1 - t, yMiddle, x1, yTop - t, false)); break;
        case 'c': shapes.push_back(Rectangle(x1 - t, yBottom + t, x1, yMiddle, false)); break;
        case 'd': shapes.push_back(Rectangle(x0, yBottom, x1, yBottom + t, false)); break;
        case 'e': shapes.push_back(Rectangle(x0, yBottom + t, x0 + t, yMiddle, false)); break;
        case 'f': shapes.push_back(Rectangle(x0, yMiddle, x0 + t, yTop - t, false)); break;
        default: shapes.push_back(Rectangle(x0 + t, yMiddle - t / 2, x1 - t, yMiddle + t / 2, false)); break;
        }
    }
    return shapes;
}

// The icons, in the order of SymbolIconBytes.
std::vector<OutlineContour> IconShape(int icon)
{
    const float b = 1.8f;   // baseline
    const float top = 7.5f;
    const float mid = (b + top) / 2;
    switch (icon) {
    case 0:   // lamp: a ring with a dot
        return {Circle(3.0f, mid, 2.8f), Circle(3.0f, mid, 2.0f, true), Circle(3.0f, mid, 1.0f)};
    case 1:   // warning: a triangle with an exclamation bar
        return {Polygon({{0.0f, b}, {6.0f, b}, {3.0f, top}}), Polygon({{1.2f, b + 0.6f}, {4.8f, b + 0.6f}, {3.0f, top - 1.3f}}, true),
                Rectangle(2.6f, b + 1.8f, 3.4f, top - 2.3f, false), Rectangle(2.6f, b + 0.9f, 3.4f, b + 1.5f, false)};
    case 2:   // full disc
        return {Circle(3.0f, mid, 2.8f)};
    case 3:   // square lamp
        return {Rectangle(0.2f, b, 5.8f, top, false), Rectangle(1.0f, b + 0.8f, 5.0f, top - 0.8f, true)};
    case 4:   // diamond
        return {Polygon({{3.0f, b}, {6.0f, mid}, {3.0f, top}, {0.0f, mid}})};
    case 5:   // half disc (a gauge face)
        return {Polygon({{0.0f, b}, {6.0f, b}, {5.6f, b + 1.5f}, {4.5f, b + 2.6f}, {3.0f, b + 3.0f}, {1.5f, b + 2.6f}, {0.4f, b + 1.5f}})};
    case 6:   // gauge label: empty mark (a bar)
        return {Rectangle(0.2f, b, 1.0f, top, false), Rectangle(1.0f, mid - 0.4f, 4.0f, mid + 0.4f, false)};
    case 7:   // gauge label: full mark
        return {Rectangle(0.2f, b, 1.0f, top, false), Rectangle(1.0f, top - 0.8f, 4.0f, top, false),
                Rectangle(1.0f, mid - 0.4f, 3.2f, mid + 0.4f, false)};
    case 8:   // play
        return {Polygon({{0.3f, b}, {5.5f, mid}, {0.3f, top}})};
    case 9:   // pause
        return {Rectangle(0.5f, b, 2.2f, top, false), Rectangle(3.6f, b, 5.3f, top, false)};
    case 10:  // step forward
        return {Polygon({{0.3f, b}, {4.0f, mid}, {0.3f, top}}), Rectangle(4.4f, b, 5.6f, top, false)};
    case 11:  // step back
        return {Rectangle(0.3f, b, 1.5f, top, false), Polygon({{5.6f, b}, {5.6f, top}, {1.9f, mid}})};
    case 12:  // fast forward
        return {Polygon({{0.2f, b}, {3.2f, mid}, {0.2f, top}}), Polygon({{3.2f, b}, {6.2f, mid}, {3.2f, top}})};
    case 13:  // rewind
        return {Polygon({{3.0f, b}, {3.0f, top}, {0.0f, mid}}), Polygon({{6.0f, b}, {6.0f, top}, {3.0f, mid}})};
    case 14:  // stop
        return {Rectangle(0.6f, b + 0.3f, 5.4f, top - 0.3f, false)};
    case 15:  // to the start
        return {Rectangle(0.2f, b, 1.2f, top, false), Polygon({{6.0f, b}, {6.0f, top}, {1.4f, mid}})};
    case 16:  // to the end
        return {Polygon({{0.0f, b}, {4.6f, mid}, {0.0f, top}}), Rectangle(4.8f, b, 5.8f, top, false)};
    case 17:  // record
        return {Circle(3.0f, mid, 2.4f)};
    case 18:  // slow (a single narrow play sign with a bar under it)
        return {Polygon({{1.0f, b + 1.2f}, {4.6f, mid + 0.6f}, {1.0f, top}}), Rectangle(0.4f, b, 5.2f, b + 0.7f, false)};
    case 19:  // up
        return {Polygon({{0.3f, b}, {5.7f, b}, {3.0f, top}})};
    case 20:  // down
        return {Polygon({{0.3f, top}, {3.0f, b}, {5.7f, top}})};
    case 21:  // left
        return {Polygon({{5.5f, b}, {5.5f, top}, {0.3f, mid}})};
    case 22:  // cross
        return {Polygon({{0.3f, b + 0.7f}, {1.0f, b}, {5.7f, top - 0.7f}, {5.0f, top}}),
                Polygon({{0.3f, top - 0.7f}, {5.0f, b}, {5.7f, b + 0.7f}, {1.0f, top}})};
    default:  // ring
        return {Circle(3.0f, mid, 2.8f), Circle(3.0f, mid, 2.0f, true)};
    }
}

// Table 10 and the glyphs it draws, from FirstSymbolGlyph on.
void BuildSymbolTable(FontBuild &build)
{
    std::vector<CodePageEntry> &entries = build.symbolEntries;
    entries.assign(CodePageEntryCount, CodePageEntry{GlyphNoCharacter, 0, CodePagePassiveFlag});
    for (int b = CodePageFirstByte; b < 127; ++b) {
        entries[b - CodePageFirstByte] = CodePageEntry{static_cast<uint16_t>(b - 32), 0, 0};
    }
    int next = FirstSymbolGlyph;
    auto place = [&](int byte, const std::vector<OutlineContour> &shapes) {
        BuiltGlyph &glyph = build.glyphs[next];
        FillGlyph(shapes, &glyph);
        entries[byte - CodePageFirstByte] = CodePageEntry{static_cast<uint16_t>(next), 0, 0};
        ++next;
    };
    place(SymbolArrowUp, IconShape(19));
    place(SymbolArrowDown, IconShape(20));
    // The plain digits: the font's own, each moved to start at x 0.
    for (const char *c = InstrumentCharacters; *c; ++c) {
        BuiltGlyph source;
        BuildCharacterGlyph(build, static_cast<uint32_t>(*c), &source);
        build.glyphs[next] = source;
        entries[*c + InstrumentDigitsA - CodePageFirstByte] = CodePageEntry{static_cast<uint16_t>(next), 0, 0};
        ++next;
    }
    for (const char *c = InstrumentCharacters; *c; ++c) {
        place(*c + InstrumentDigitsB, SegmentCharacter(*c));
    }
    int icon = 0;
    for (const int byte : SymbolIconBytes) {
        place(byte, IconShape(icon++));
    }
}

// Glyph width as the program measures it: the largest x, at least 1.
float GlyphWidth(const BuiltGlyph &glyph)
{
    float width = 1.0f;
    for (const OutlinePoint &p : glyph.points) {
        width = std::max(width, p.x);
    }
    return width;
}

bool InTriangle(const OutlinePoint &a, const OutlinePoint &b, const OutlinePoint &c, float x, float y)
{
    const float d1 = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    const float d2 = (c.x - b.x) * (y - b.y) - (c.y - b.y) * (x - b.x);
    const float d3 = (a.x - c.x) * (y - c.y) - (a.y - c.y) * (x - c.x);
    return d1 >= 0.0f && d2 >= 0.0f && d3 >= 0.0f;
}

// The console bitmap: the glyph's triangles sampled into 11 rows of its
// pixel width, the whole width of the glyph squeezed into those pixels.
void RasteriseConsoleBitmap(BuiltGlyph *glyph)
{
    std::memset(glyph->bitmap, 0, sizeof(glyph->bitmap));
    if (glyph->triangles.empty()) {
        return;
    }
    const float width = GlyphWidth(*glyph);
    const float pixels = std::floor(static_cast<float>(GlyphMaxPixelWidth) * width / GlyphCellWidth + 0.5f);
    const int pixelWidth = std::min(GlyphMaxPixelWidth, static_cast<int>(pixels));
    const float unitsPerColumn = width / static_cast<float>(pixelWidth);
    const float unitsPerRow = GlyphCellHeight / static_cast<float>(GlyphBitmapRows);
    for (int row = 0; row < GlyphBitmapRows; ++row) {
        for (int column = 0; column < pixelWidth; ++column) {
            int covered = 0;
            for (int sy = 0; sy < BitmapSamples; ++sy) {
                const float y = GlyphCellHeight
                    - (static_cast<float>(row) + (static_cast<float>(sy) + 0.5f) / BitmapSamples) * unitsPerRow;
                for (int sx = 0; sx < BitmapSamples; ++sx) {
                    const float x = (static_cast<float>(column) + (static_cast<float>(sx) + 0.5f) / BitmapSamples)
                        * unitsPerColumn;
                    for (const TriangleCorners &t : glyph->triangles) {
                        if (InTriangle(glyph->points[t[0]], glyph->points[t[1]], glyph->points[t[2]], x, y)) {
                            ++covered;
                            break;
                        }
                    }
                }
            }
            const int grey = covered * 255 * BitmapGain / (BitmapSamples * BitmapSamples);
            glyph->bitmap[row * pixelWidth + column] = static_cast<uint8_t>(std::min(255, grey));
        }
    }
}

void WriteFloat(DataStream &stream, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    stream.WriteU32(bits);
}

const char *WriteFile(const FontBuild &build, const std::string &path)
{
    DataStream stream;
    stream.OpenWrite(nullptr, path.c_str(), FontFileId, FontFileVersion);
    if (!stream.file) {
        return "cannot create the font file";
    }
    stream.WriteU32(FontGlyphCount);
    for (const BuiltGlyph &glyph : build.glyphs) {
        stream.WriteU32(static_cast<uint32_t>(glyph.points.size()));
        for (const OutlinePoint &p : glyph.points) {
            WriteFloat(stream, p.x);
            WriteFloat(stream, p.y);
        }
        stream.WriteU8(0);                                   // strokes
        stream.WriteU8(static_cast<int>(glyph.triangles.size()));
        stream.WriteU8(0);                                   // dots
        stream.WriteU8(0);                                   // curves
        for (const TriangleCorners &t : glyph.triangles) {
            stream.WriteU8(t[0]);
            stream.WriteU8(t[1]);
            stream.WriteU8(t[2]);
            stream.WriteU8(0);
        }
        stream.WriteBytes(glyph.bitmap, GlyphBitmapSize);
    }
    stream.WriteU32(CodePageSourceCount + 1);
    for (int p = 0; p <= CodePageSourceCount; ++p) {
        const bool symbols = p == CodePageSourceCount;
        stream.WriteU32(symbols ? SymbolTableNumber : CodePageSources[p].number);
        for (const CodePageEntry &entry : symbols ? build.symbolEntries : build.entries[p]) {
            stream.WriteU16(entry.glyph);
            stream.WriteU8(entry.accent);
            stream.WriteU8(entry.flags);
        }
    }
    stream.WriteU32(static_cast<uint32_t>(build.doubleByteTables.size()));
    for (const std::vector<uint16_t> &table : build.doubleByteTables) {
        for (const uint16_t unicode : table) {
            stream.WriteU16(unicode);
        }
    }
    return stream.Close() == 0 ? nullptr : "cannot write the font file";
}

const char *BuildAndWrite(FontBuild &build, const char *runFolder)
{
    build.font = OpenOutlineFont(SourceFontPath, GlyphCellHeight);
    if (!build.font) {
        return "cannot read the source font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf (package fonts-dejavu-core)";
    }
    for (const CodePageSource &source : CodePageSources) {
        build.pages.push_back(std::make_unique<DecodedCodePage>());
        if (DecodeCodePage(source.converter, build.pages.back().get()) != 0) {
            return "a code page converter is missing from the C library";
        }
    }

    // The capital 'H' gives the baseline and capital height for the box.
    BuiltGlyph capital;
    if (!BuildCharacterGlyph(build, 'H', &capital) || capital.points.empty()) {
        return "the source font has no capital H";
    }
    build.baseline = capital.points[0].y;
    build.capTop = capital.points[0].y;
    for (const OutlinePoint &p : capital.points) {
        build.baseline = std::min(build.baseline, p.y);
        build.capTop = std::max(build.capTop, p.y);
    }

    AssignGlyphs(build);
    for (int g = 0; g < FontGlyphCount; ++g) {
        if (build.character[g] > ' ') {
            BuildCharacterGlyph(build, build.character[g], &build.glyphs[g]);
        }
    }
    BuildDrawnGlyphs(build);
    BuildSymbolTable(build);
    for (BuiltGlyph &glyph : build.glyphs) {
        RasteriseConsoleBitmap(&glyph);
    }
    BuildCodePageTables(build);

    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "abc";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot create the folder data/abc";
    }
    return WriteFile(build, (folder / "kzv.abc").string());
}

} // namespace

const char *WriteFontFile(const char *runFolder)
{
    auto build = std::make_unique<FontBuild>();
    const char *error = BuildAndWrite(*build, runFolder);
    CloseOutlineFont(build->font);
    return error;
}
