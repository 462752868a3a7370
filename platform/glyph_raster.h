#pragma once

#include <cstdint>

// Faces and 64-pixel character pictures of the system's outline fonts
// (fontconfig and FreeType), for the characters of the double-byte code
// pages that the program's own font does not hold.

constexpr int PlatformFaceNameSize = 64;
constexpr int PlatformGlyphSide = 64;   // the character picture is 64 x 64

enum PlatformFaceKind {
    PlatformFaceOther = 0,
    PlatformFaceMonospace = 1,
    PlatformFaceSans = 2,
};

struct PlatformFontFace {
    char name[PlatformFaceNameSize];  // family name
    int kind;                         // PlatformFaceKind
};

struct PlatformGlyphFont;

// Starts the font libraries. Returns false when they cannot be used.
bool PlatformGlyphStart();
void PlatformGlyphStop();

// The outline (TrueType / OpenType) families that cover the language
// ("ja", "zh-tw", "zh-cn", "ko"), in the order fontconfig reports them, each
// family once. Returns how many were written (at most max).
int PlatformListFontFaces(const char *language, PlatformFontFace *out, int max);

// The family's font sized so that ascent + descent is `cellPixels` pixels.
// Weight 600 and above takes the family's bold face, or emboldens the
// regular one when the family has none. Null when the family is not there.
PlatformGlyphFont *PlatformCreateGlyphFont(const char *family, const char *language, int weight, int cellPixels);
void PlatformDeleteGlyphFont(PlatformGlyphFont *font);

// Draws the character into a PlatformGlyphSide x PlatformGlyphSide coverage
// picture (0 no ink .. 255 full; row by row from the top), the pen at the
// left edge and the baseline at the font's ascent. Returns 1 with the first
// and last rows that hold ink, 0 when no row has ink, -1 when the
// character cannot be drawn.
int PlatformRenderGlyph(PlatformGlyphFont *font, uint32_t unicode, uint8_t *coverage, int *firstRow, int *lastRow);

// The character's advance in whole pixels (rounded), or -1.
int PlatformGlyphAdvance(PlatformGlyphFont *font, uint32_t unicode);
