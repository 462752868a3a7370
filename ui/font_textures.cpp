#include "ui/font_textures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/card_config.h"
#include "core/colour.h"
#include "core/float_math.h"
#include "render/render_device.h"
#include "render/software_raster.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"
#include "ui/font.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"

namespace {

constexpr int EllipseSegments = 24;
constexpr int BandSegments = 7;
constexpr int QuarterPixels = 4;
constexpr float RowLimit = 0.99f;
constexpr int WidthDonorGlyph = 95;

struct BoxPoint {
    float x;  // pixels
    float y;
};

// The glyph cell mapped onto a pixel box, with the glyph's own columns.
struct GlyphBox {
    float left;
    float top;
    float width;    // pixels of 7 units
    float height;   // pixels of 9 units
    float right;    // the glyph's right edge

    BoxPoint Map(float x, float y) const
    {
        return {left + x / GlyphCellWidth * width, top + (1.0f - y / GlyphCellHeight) * height};
    }

    BoxPoint Clamp(BoxPoint p) const
    {
        return {std::clamp(p.x, left, right), std::clamp(p.y, top, top + height)};
    }
};

RasterCorner ToCorner(BoxPoint p)
{
    return {static_cast<int>(std::lround(p.x * QuarterPixels)), static_cast<int>(std::lround(p.y * QuarterPixels))};
}

// The raster fills a triangle only when its corners run with a negative
// signed area (y down); the font does not promise an order.
void FillOriented(BoxPoint a, BoxPoint b, BoxPoint c, uint32_t pixel)
{
    RasterCorners[0] = ToCorner(a);
    RasterCorners[1] = ToCorner(b);
    RasterCorners[2] = ToCorner(c);
    const int64_t area = static_cast<int64_t>(RasterCorners[1].x - RasterCorners[0].x) *
                             (RasterCorners[2].y - RasterCorners[0].y) -
                         static_cast<int64_t>(RasterCorners[2].x - RasterCorners[0].x) *
                             (RasterCorners[1].y - RasterCorners[0].y);
    if (area > 0) {
        std::swap(RasterCorners[1], RasterCorners[2]);
    }
    FillRasterTriangle(pixel);
}

// One side of a band: a cubic from p0 to p1 whose directions at the ends are
// the two slope angles, measured from the chord.
BoxPoint BandSide(BoxPoint p0, BoxPoint p1, float startSlope, float endSlope, float t)
{
    const float dx = p1.x - p0.x;
    const float dy = p1.y - p0.y;
    const float c0 = FloatCos(startSlope);
    const float s0 = FloatSin(startSlope);
    const float c1 = FloatCos(endSlope);
    const float s1 = FloatSin(endSlope);
    // Tangents of chord length, turned from the chord by the angles.
    const float t0x = dx * c0 - dy * s0;
    const float t0y = dx * s0 + dy * c0;
    const float t1x = dx * c1 - dy * s1;
    const float t1y = dx * s1 + dy * c1;
    const float t2 = t * t;
    const float t3 = t2 * t;
    const float h00 = 2.0f * t3 - 3.0f * t2 + 1.0f;
    const float h10 = t3 - 2.0f * t2 + t;
    const float h01 = -2.0f * t3 + 3.0f * t2;
    const float h11 = t3 - t2;
    return {h00 * p0.x + h10 * t0x + h01 * p1.x + h11 * t1x, h00 * p0.y + h10 * t0y + h01 * p1.y + h11 * t1y};
}

void StrokeEnds(const FontGlyph &glyph, const GlyphBox &box, int stroke, int turn, BoxPoint *a, BoxPoint *b)
{
    const GlyphStroke &s = glyph.strokes[stroke];
    *a = box.Map(glyph.pairs[s.first].a, glyph.pairs[s.first].b);
    *b = box.Map(glyph.pairs[s.second].a, glyph.pairs[s.second].b);
    if (turn == 0) {
        std::swap(*a, *b);
    }
}

void FillBand(const FontGlyph &glyph, const GlyphBox &box, const GlyphCurve &curve, uint32_t pixel)
{
    BoxPoint start[2];
    BoxPoint end[2];
    StrokeEnds(glyph, box, curve.startStroke, curve.startTurn, &start[0], &start[1]);
    StrokeEnds(glyph, box, curve.endStroke, curve.endTurn, &end[0], &end[1]);
    BoxPoint previous[2] = {box.Clamp(start[0]), box.Clamp(start[1])};
    for (int i = 1; i <= BandSegments; ++i) {
        const float t = static_cast<float>(i) / BandSegments;
        BoxPoint next[2];
        for (int side = 0; side < 2; ++side) {
            next[side] = box.Clamp(BandSide(start[side], end[side], curve.slope[side][0], curve.slope[side][1], t));
        }
        FillOriented(previous[0], previous[1], next[1], pixel);
        FillOriented(next[1], next[0], previous[0], pixel);
        previous[0] = next[0];
        previous[1] = next[1];
    }
}

void FillDot(const FontGlyph &glyph, const GlyphBox &box, const GlyphDot &dot, uint32_t pixel)
{
    const BoxPoint centre = box.Clamp(box.Map(glyph.pairs[dot.point].a, glyph.pairs[dot.point].b));
    float rx = 0.1f * static_cast<float>(dot.radiusX) / GlyphCellWidth * box.width;
    float ry = 0.1f * static_cast<float>(dot.radiusY) / GlyphCellHeight * box.height;
    rx = std::min({rx, centre.x - box.left, box.right - centre.x});
    ry = std::min({ry, centre.y - box.top, box.top + box.height - centre.y});
    const RasterCorner c = ToCorner(centre);
    FillRasterEllipse(c.x, c.y, static_cast<int>(rx * QuarterPixels), static_cast<int>(ry * QuarterPixels), pixel,
                      EllipseSegments);
}

TextureRecord *FontTexture(int n)
{
    char name[24];
    std::snprintf(name, sizeof(name), "FONT%dAONLY", n);
    return FindTexture(name);
}

// Makes texture n from the raster's picture: alpha 255 where drawn on.
int MakeFontTexture(int n, uint16_t white)
{
    const uint16_t *picture = static_cast<const uint16_t *>(RasterTarget.pixels);
    std::vector<uint8_t> pixels(static_cast<size_t>(FontPictureSide) * FontPictureSide * 4, 255);
    for (size_t i = 0; i < static_cast<size_t>(FontPictureSide) * FontPictureSide; ++i) {
        pixels[i * 4 + 3] = picture[i] != white ? 255 : 0;
    }
    // Box-filtered to the texture size: what smooths the glyph edges.
    int side = FontPictureSide;
    while (side > FontTextureSide) {
        DownsampleImage32(pixels.data(), side, AlphaKindOnly);
        side /= 2;
    }
    char name[24];
    std::snprintf(name, sizeof(name), "FONT%dAONLY", n);
    TextureRecord *record = nullptr;
    return CreateRawAlphaTexture(name, pixels.data(), side, &record) ? 0 : -1;
}

}  // namespace

void DrawGlyphToRaster(const FontGlyph &glyph, float left, float top, float width, float height, uint32_t pixel)
{
    const GlyphBox box = {left, top, width, height, left + glyph.width / GlyphCellWidth * width};
    for (int i = 0; i < glyph.triangleCount; ++i) {
        const GlyphTriangle &t = glyph.triangles[i];
        FillOriented(box.Map(glyph.pairs[t.corner[0]].a, glyph.pairs[t.corner[0]].b),
                     box.Map(glyph.pairs[t.corner[1]].a, glyph.pairs[t.corner[1]].b),
                     box.Map(glyph.pairs[t.corner[2]].a, glyph.pairs[t.corner[2]].b), pixel);
    }
    for (int i = 0; i < glyph.dotCount; ++i) {
        FillDot(glyph, box, glyph.dots[i], pixel);
    }
    for (int i = 0; i < glyph.curveCount; ++i) {
        FillBand(glyph, box, glyph.curves[i], pixel);
    }
}

void ReleaseFontTextures()
{
    for (int n = 0; n < MaxFontTextures; ++n) {
        if (TextureRecord *record = FontTexture(n)) {
            DeleteTexture(record);
        }
    }
}

int BuildFontTextures()
{
    if (RenderDevice.Device == nullptr) {
        ReleaseFontTextures();
        return 0;
    }
    if (!BeginRasterImage(FontPictureSide)) {
        return -1;
    }
    const uint32_t white = PackRgb565(255, 255, 255);
    const uint32_t black = PackRgb565(0, 0, 0);
    const float pixelsPerUnit = FontPictureSide * 0.5f;
    FillRasterImage(white);
    int texture = 0;
    int made = 0;
    bool drawn = false;
    bool failed = false;
    float x = -1.0f;
    float y = -1.0f;
    for (int g = 0; g < FontGlyphCount && !failed; ++g) {
        FontGlyph &glyph = FontGlyphs[g];
        if (g > WidthDonorGlyph && glyph.count == 0) {
            continue;   // takes glyph 95's place below
        }
        const float w = glyph.width * FontGlyphDrawWidth / GlyphCellWidth;
        if (x + w > 1.0f) {
            x = -1.0f;
            y += FontGlyphRowHeight;
            if (y > RowLimit) {
                if (texture >= MaxFontTextures || MakeFontTexture(texture, static_cast<uint16_t>(white)) != 0) {
                    failed = true;
                    break;
                }
                ++made;
                ++texture;
                FillRasterImage(white);
                drawn = false;
                y = -1.0f;
            }
        }
        if (texture >= MaxFontTextures) {
            failed = true;
            break;
        }
        DrawGlyphToRaster(glyph, (x + 1.0f) * pixelsPerUnit, (y + 1.0f) * pixelsPerUnit,
                          FontGlyphDrawWidth * pixelsPerUnit, FontGlyphDrawHeight * pixelsPerUnit, black);
        drawn = true;
        glyph.texture = static_cast<uint8_t>(texture);
        glyph.u0 = (x - 1.0f / 128.0f + 1.0f) * 0.5f;
        glyph.u1 = (x + w) * 0.5f + 0.50390625f;
        glyph.v0 = (y + 1.0f) * 0.5f;
        glyph.v1 = y * 0.5f + 0.615f;
        x += w + FontGlyphGap;
    }
    if (!failed && drawn) {
        if (MakeFontTexture(texture, static_cast<uint16_t>(white)) != 0) {
            failed = true;
        } else {
            ++made;
        }
    }
    EndRasterImage();
    const FontGlyph &donor = FontGlyphs[WidthDonorGlyph];
    for (int g = WidthDonorGlyph + 1; g < FontGlyphCount; ++g) {
        FontGlyph &glyph = FontGlyphs[g];
        if (glyph.count == 0) {
            glyph.texture = donor.texture;
            glyph.u0 = donor.u0;
            glyph.u1 = donor.u1;
            glyph.v0 = donor.v0;
            glyph.v1 = donor.v1;
        }
    }
    return failed ? -1 : made;
}

int RebuildFontTextures()
{
    ReleaseCachePages();
    ClearCharCaches();
    return BuildFontTextures() < 0 ? 0 : 1;
}
