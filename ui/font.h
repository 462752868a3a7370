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
constexpr int SymbolCodePage = 10;            // table 10: the symbols of items and instruments
constexpr int MaxRankedFaces = 76;

// Code-page entry flags. A lead byte is an entry with 0x10 set: its glyph
// field is a double-byte table index and the byte takes the next byte as its
// trail (the generator writes 0x30 for it). An entry with 0x20 alone is a
// passive byte the page does not define: drawn as glyph 95, it takes no
// trail byte. Readers of text test the 0x10 bit, never the pair, or every
// undefined byte would swallow the one after it.
constexpr uint8_t CodePageDoubleByteFlag = 0x10;  // lead byte: the glyph field is a double-byte table index
constexpr uint8_t CodePageLeadByteFlags = 0x30;   // what the generator writes for a lead byte
constexpr uint8_t CodePagePassiveFlag = 0x20;     // alone: a byte the page does not define

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
    void *cacheFont = nullptr;            // the glyph back end's font of a double-byte page
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
extern int TranslationCodePage;           // table of the loaded language
extern int KeyboardCodePage;              // table of the keyboard layout's code page
extern int NounAfterAdjective;            // the language puts the noun after its adjective

// The table of each double-byte slot (Japanese, traditional Chinese,
// simplified Chinese, Korean), the slot's character-set name for the log and
// the language its faces must cover.
extern const int DoubleByteSlotTables[DoubleByteSlotCount];
extern const char *const DoubleByteSlotNames[DoubleByteSlotCount];
extern const char *const DoubleByteSlotLanguages[DoubleByteSlotCount];
// The face each slot takes when cfg.txt names none that is installed.
extern const char *const DefaultCacheFaces[DoubleByteSlotCount];

// The faces EnumerateFonts found for the last slot, by falling rank, and the
// one chosen (-1 none).
struct RankedFace {
    int rank;
    char name[64];
};
extern RankedFace RankedFaces[MaxRankedFaces];
extern int RankedFaceCount;
extern int ChosenFace;

// The 64 x 64 coverage picture RenderCharsGDI draws into.
extern uint8_t CharBitmap[64 * 64];

// Reads the font file. Returns 1, or 0 when the file cannot be opened, is
// older than FontFileVersion, or is truncated or damaged (nothing is kept).
// Then makes the cache fonts of the double-byte pages through the glyph back
// end; a page without one stays unavailable (logged), which is no failure.
int InitFont(const char *path);
// Frees the tables, the glyphs, the cache fonts and the glyph back end.
void FreeFont();

// Ranks the faces of the slot's language into RankedFaces and chooses one:
// the slot's configured face when it is there, else the first. Returns the
// number of faces.
int EnumerateFonts(int slot);
// Makes the slot's cache font of the chosen face and measures its 'E'.
// Returns 1, or 0 leaving the page unavailable.
int CreateCacheFont(int slot);
// Draws the character in the slot's cache font into CharBitmap. Returns 1
// with the first and last rows holding ink, 0 when no row has ink or it
// cannot be drawn.
int RenderCharsGDI(int slot, uint32_t character, int *top, int *bottom);
// The character's advance in the slot's cache font in pixels, or -1.
int CacheCharWidth(int slot, uint32_t character);

// Takes the keyboard's code page (PlatformGetKeyboardCodePage) as
// KeyboardCodePage (table 0 when no table has it); a change is shown as a
// message line with announce, else logged.
void UpdateKeyboardCodePage(int announce);

// Makes table n current (table 0 when there is no table n).
void SelectCodePage(int n);
// The same, but with out given the table index is stored there instead.
void SelectCodePageTo(int n, int *out);

// The meaning of the character after "^": a code-page letter selects its table
// (SelectCodePageTo) and gives 0; a file-name escape gives the character it
// stands for; anything else is returned unchanged.
int DecodeCaretLetter(int letter, int *out);
