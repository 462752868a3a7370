#pragma once

#include <cstdint>

#include "core/containers.h"

// The program's own vector font and the code-page tables that map the bytes
// of ten Windows code pages to its glyphs, read from data\abc\kzv.abc.
//
// File (a data file with the id "QZCHAR"; little-endian after the header):
//   u32 glyph count G, then G glyph records:
//     u32 P, P points (f32 x, f32 y) in glyph units (a 7 x 9 cell, y up),
//     u8 strokes S, u8 triangles T, u8 dots D, u8 curves C,
//     S strokes (4 bytes), T triangles (4), D dots (4), C curves (20),
//     the 100-byte console bitmap;
//   u32 code-page table count N, then N x (u32 code page number,
//     224 entries of 4 bytes for the bytes 32..255);
//   u32 double-byte table count M, then M x 192 u16 Unicode characters for
//     the trail bytes 64..255 of one lead byte.

constexpr const char *FontFileId = "QZCHAR";
constexpr int FontFileVersion = 251;          // written by the generator, the oldest read
constexpr const char *FontFilePath = "data\\abc\\kzv.abc";

constexpr int FontGlyphCount = 544;
constexpr float GlyphCellWidth = 7.0f;
constexpr float GlyphCellHeight = 9.0f;
constexpr int GlyphBitmapSize = 100;          // console bitmap bytes
constexpr int GlyphBitmapRows = 11;
constexpr int GlyphMaxPixelWidth = 9;

constexpr int CodePageFirstByte = 32;
constexpr int CodePageEntryCount = 224;       // bytes 32..255
constexpr int CodePageLetterLimit = 10;       // tables reachable by "^" letters
constexpr int DoubleByteFirstTrail = 64;
constexpr int DoubleByteEntryCount = 192;     // trail bytes 64..255
constexpr int DoubleByteSlotCount = 4;

// Code-page entry flags.
constexpr uint8_t CodePageDoubleByteFlag = 0x10;  // the glyph field is a double-byte table index
constexpr uint8_t CodePageLeadByteFlags = 0x30;   // the byte takes a trail byte

constexpr uint16_t NoCacheSlot = 0xffff;

// Glyphs that the program draws by number, whatever the code page.
constexpr int GlyphSpace = 0;              // draws nothing
constexpr int GlyphCursorBar = 92;
constexpr int GlyphNoCharacter = 95;       // box for a byte or character without a glyph
constexpr int GlyphTick = 117;
constexpr int GlyphUnknownCharacter = 175; // a double-byte character that cannot be drawn
constexpr int GlyphSolidBlock = 411;
constexpr int GlyphSolidBlockAlt = 412;    // the rev dial's red marks
constexpr int GlyphMapArrow = 415;

// Records as stored.
struct GlyphStroke {
    uint8_t first;       // point indices: the cross-section at a curve's end
    uint8_t second;
    uint8_t spare[2];
    float angle;         // direction from the first point to the second (not stored)
};

struct GlyphTriangle {
    uint8_t corner[3];   // point indices
    uint8_t spare;
};
static_assert(sizeof(GlyphTriangle) == 4, "a triangle is stored as 4 bytes");

struct GlyphDot {
    uint8_t point;
    uint8_t spare;
    uint8_t radiusX;     // tenths of a glyph unit
    uint8_t radiusY;
};
static_assert(sizeof(GlyphDot) == 4, "a dot is stored as 4 bytes");

struct GlyphCurve {
    uint8_t startStroke;
    uint8_t endStroke;
    uint8_t startTurn;   // 0: the stroke's direction is turned by half a turn
    uint8_t endTurn;
    float slope[2][2];   // per side: slope angle at the start, at the end
};
static_assert(sizeof(GlyphCurve) == 20, "a curve is stored as 20 bytes");

// One glyph of the font; the points are the base table's pairs (a = x, b = y).
class FontGlyph : public FloatPairTable {
public:
    uint8_t strokeCount = 0;
    uint8_t triangleCount = 0;
    uint8_t dotCount = 0;
    uint8_t curveCount = 0;
    GlyphStroke *strokes = nullptr;
    GlyphTriangle *triangles = nullptr;
    GlyphDot *dots = nullptr;
    GlyphCurve *curves = nullptr;
    float width = 0.0f;                   // glyph units
    int pixelWidth = 0;                   // console pixels
    uint8_t texture = 0;                  // font texture, set when the textures are built
    float u0 = 0.0f, u1 = 0.0f, v0 = 0.0f, v1 = 0.0f;
    uint8_t consoleBitmap[GlyphBitmapSize] = {};

    FontGlyph() = default;
    FontGlyph(const FontGlyph &) = delete;
    FontGlyph &operator=(const FontGlyph &) = delete;
    ~FontGlyph();
    // Frees the points and the four arrays and empties the glyph.
    void Free() override;
};

struct CodePageEntry {
    uint16_t glyph;      // glyph number, or the double-byte table of a lead byte
    uint8_t accent;      // glyph drawn over it, 0 none
    uint8_t flags;
};
static_assert(sizeof(CodePageEntry) == 4, "a code-page entry is stored as 4 bytes");

struct CodePageTable {
    uint16_t number = 0;                  // Windows code page
    uint8_t Unavailable = 0;              // a double-byte page without its cache font
    uint8_t doubleByteSlot = 0;           // 0..3 for the double-byte pages
    int32_t inkHeight = 0;                // pixels of the letter 'E' in the cache font
    float CacheTop = 0.0f;
    float CacheBottom = 0.0f;
    CodePageEntry entries[CodePageEntryCount] = {};
};

struct DoubleByteEntry {
    uint16_t unicode;
    uint16_t cacheSlot;                   // character-cache slot id, NoCacheSlot none
    uint8_t pixelWidth;                   // 0 not measured yet, 255 no glyph
};

struct DoubleByteTable {
    CodePageTable *codePage = nullptr;    // the table whose lead byte names this one
    DoubleByteEntry entries[DoubleByteEntryCount] = {};
};

extern FontGlyph FontGlyphs[FontGlyphCount];
extern CodePageTable *CodePageTables;
extern int CodePageTableCount;
extern int CodePageLetterCount;           // min(CodePageTableCount, 10)
extern DoubleByteTable *DoubleByteTables;
extern int DoubleByteTableCount;
extern CodePageTable *CurrentCodePage;

// Reads the font file. Returns 1, or 0 when the file cannot be opened, is
// older than FontFileVersion, or is truncated or damaged (nothing is kept).
int InitFont(const char *path);
void FreeFont();

// Makes table n current (table 0 when there is no table n).
void SelectCodePage(int n);
// The same, but with out given the table index is stored there instead.
void SelectCodePageTo(int n, int *out);

// The meaning of the character after "^": a code-page letter selects its table
// (SelectCodePageTo) and gives 0; a file-name escape gives the character it
// stands for; anything else is returned unchanged.
int DecodeCaretLetter(int letter, int *out);
