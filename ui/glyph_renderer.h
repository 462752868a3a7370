#pragma once

#include <cstdint>

// The back end that draws the characters of the four double-byte code pages,
// which the program's own font does not hold. The system's one works on the
// installed outline fonts; tests put in their own.

constexpr int GlyphFaceNameSize = 64;
constexpr int GlyphPictureSide = 64;   // character pictures are 64 x 64 coverage bytes
constexpr int GlyphCellPixels = 64;    // ascent + descent of a cache font

// Kinds of face, in the order of their rank.
constexpr int GlyphFaceOther = 0;
constexpr int GlyphFaceMonospace = 1;
constexpr int GlyphFaceSans = 2;

struct GlyphFace {
    char name[GlyphFaceNameSize];
    int kind;                      // GlyphFaceOther, GlyphFaceMonospace, GlyphFaceSans
};

// An opaque font of the back end; null is none.
using GlyphFontHandle = void *;

class GlyphRenderer {
public:
    virtual ~GlyphRenderer() = default;
    // Returns false when the back end cannot be used.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // The outline faces for a language ("ja", "zh-tw", "zh-cn", "ko") in the
    // order the system reports them. Returns how many (at most max).
    virtual int ListFaces(const char *language, GlyphFace *out, int max) = 0;
    // The face at GlyphCellPixels, bold from weight 600 on; null on failure.
    virtual GlyphFontHandle CreateFont(const char *face, const char *language, int weight) = 0;
    virtual void DeleteFont(GlyphFontHandle font) = 0;
    // Draws one character into a GlyphPictureSide x GlyphPictureSide coverage
    // picture (row by row from the top, the pen at the left edge, the
    // baseline at the ascent). 1 with the first and last rows holding ink, 0
    // no ink, -1 the character cannot be drawn.
    virtual int Render(GlyphFontHandle font, uint32_t unicode, uint8_t *coverage, int *firstRow, int *lastRow) = 0;
    // The rounded advance in pixels, or -1.
    virtual int Advance(GlyphFontHandle font, uint32_t unicode) = 0;
};

// The back end InitFont uses: the one set, else the system's.
GlyphRenderer *ActiveGlyphRenderer();
// Null puts the system's back in.
void SetGlyphRenderer(GlyphRenderer *renderer);
