#pragma once

#include <cstdint>

#include "ui/font.h"

// Measuring and queuing marked-up text: bytes of a code page with "^" codes
// that change the colour ("^0".."^7", "^8" back to the call's page and
// colour, "^9" the call's colour, "^:" table 0) or the code page (the page
// letters), and "^" escapes for characters file names cannot hold. Sizes are
// the width of 7 glyph units before TextWidthScale; x and y are screen units
// (-1..1, y down).

constexpr int CursorNone = -1;
constexpr int CursorNoColours = -2;   // no cursor, colour codes ignored
constexpr int CursorFullBox = -3;     // no cursor, glyphs fill the box, no accents
constexpr uint32_t DropShadowFlag = 0x4000;   // of ScreenFlags

// The open input-method composition, when the text entry has one: its text,
// in the keyboard's code page. Null while none is open (always, until the
// input method exists).
using CompositionHook = const char *(*)();
void SetCompositionHook(CompositionHook hook);

float MeasureCodedText(const char *text, float size, int codePage);
// Returns the x after the last character.
float DrawCodedText(const char *text, float x, float y, float size, float box, int clip, uint32_t topColour,
                    uint32_t bottomColour, int cursor, int codePage);
// The glyph of a lead byte and trail: a font glyph, or -1 for a cached
// character with its pixel width, width in glyph units and cache slot id.
int DoubleByteLookup(const CodePageEntry &entry, int trail, int *pixelWidth, float *width, int *cacheSlot);
float DrawCursor(float x, float y, float size, float box);
void DrawTextShadowed(const char *text, float x, float y, float size, float box, uint32_t colour, int codePage);
void DrawTextRightAligned(const char *text, float right, float y, float size, float box, uint32_t colour,
                          int codePage);
float DrawTextOneColour(const char *text, float x, float y, float size, float box, uint32_t colour, int cursor,
                        int codePage);
void DrawCentredCaption(const char *text, uint32_t colour);
void DrawCentredCaptionLatin(const char *text, uint32_t colour);
void DrawSmallCaption(const char *text, uint32_t colour);
void QueueGlyphQuad(int glyph, float x, float y, float size, float box, int clip, uint32_t topColour,
                    uint32_t bottomColour);
void QueueGlyphQuadTo(int batch, int glyph, float x, float y, float size, float box, uint32_t colour, int mirrored);

// Text on 3D surfaces.
float MeasureVectorText(const char *text, float size, int codePage);
// Queues the text into batch 2 and draws it on the world batch at the depth;
// double-byte characters leave placeholders in the current batch so that they
// are cached this frame.
void DrawVectorText(const char *text, float x, float y, float depth, float size, float box, uint32_t colour,
                    int mirrored, int codePage);

// The dedicated host's console picture: 32-bit pixels 0x00RRGGBB.
struct ConsoleImage {
    uint32_t *pixels;
    int width;
    int height;
};
// Writes the text from the glyphs' console bitmaps; colour codes as above
// (channels 255 or 0), double-byte characters as glyph 95. Returns the x
// after it.
int DrawTextToDC(ConsoleImage &image, const char *text, int x, int y, int red, int green, int blue, int codePage);

// 2D shapes on the screen batch.
void DrawCircle2D(int segments, float x, float y, float radius, uint32_t colour, int aspectCorrected);
void DrawSquare2D(float x, float y, float half, uint32_t colour, int aspectCorrected);
void BeginGlyphDraw(int glyph, int blend);
void DrawRotatedGlyph(int glyph, float x, float y, float size, uint32_t colour, float angle, int aspectCorrected);
void EndGlyphDraw(int blend);
