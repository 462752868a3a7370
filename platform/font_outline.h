#pragma once

#include <cstdint>
#include <vector>

// Character outlines of a TrueType or OpenType font, for the tools that build
// the program's own vector font.
//
// Outlines come back in cell units: the font's descender..ascender range is
// scaled to the cell height given at open, y grows upward and y = 0 is the
// font's descender line, so every glyph fits the cell height. x keeps the
// font's own origin (the glyph's left side bearing stays in it).

struct OutlinePoint {
    float x;
    float y;
};

// One closed contour: the last point joins the first (which is not repeated).
// Filled area lies on the left: outer contours run counter-clockwise, holes
// clockwise, whatever the font's own convention.
using OutlineContour = std::vector<OutlinePoint>;

struct GlyphOutline {
    std::vector<OutlineContour> contours;
    float advance = 0.0f;   // the font's advance width in cell units
};

struct OutlineFont;

// Opens the font file. Returns null when it cannot be read as a scalable font.
OutlineFont *OpenOutlineFont(const char *path, float cellHeight);
void CloseOutlineFont(OutlineFont *font);

// True when the font has a glyph of its own for the Unicode character.
bool OutlineFontHasCharacter(const OutlineFont *font, uint32_t unicode);

// The character's outline with curves replaced by line segments that stay
// within `tolerance` (cell units) of the curve. Returns 0, or -1 when the font
// has no glyph for the character or the glyph cannot be loaded. A character
// without ink (a space) gives no contours and its advance.
int LoadGlyphOutline(OutlineFont *font, uint32_t unicode, float tolerance, GlyphOutline *out);
