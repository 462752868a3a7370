#pragma once

#include <cstdint>

class FontGlyph;

// The glyphs of the font drawn into alpha-only textures "FONT0AONLY" ..
// "FONT3AONLY": each glyph's texture number and rectangle are stored in
// FontGlyphs.

constexpr int FontPictureSide = 1024;       // the picture the glyphs are drawn into
constexpr int FontTextureSide = 512;        // the texture it is reduced to
constexpr int MaxFontTextures = 4;
constexpr float FontGlyphDrawWidth = 0.15625f;    // 7 glyph units, in -1..1 picture units
constexpr float FontGlyphDrawHeight = 0.234375f;  // 9 glyph units
constexpr float FontGlyphRowHeight = 0.25f;
constexpr float FontGlyphGap = 0.015625f;

// Draws one glyph into the software raster's target with the pixel colour:
// the 7 x 9 cell spans `width` x `height` pixels from (left, top); its
// triangles (in either corner order), dots and curve bands are filled, the
// dots and bands kept inside the glyph's own box.
void DrawGlyphToRaster(const FontGlyph &glyph, float left, float top, float width, float height, uint32_t pixel);

// Places and draws the glyphs and makes the textures (a texture that already
// exists by name is replaced). Without a device the textures are released.
// Returns the number of textures made, or -1 when one could not be made
// ("Can't create :" shown).
int BuildFontTextures();
// Releases the four font textures.
void ReleaseFontTextures();

// What the render layer calls when it loads the standard textures: the
// character cache is emptied, then BuildFontTextures. Returns 0 when a
// texture could not be made, else 1.
int RebuildFontTextures();
