#include "platform/font_outline.h"

#include <cmath>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

struct OutlineFont {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    float scale = 0.0f;      // cell units per font unit
    float baseline = 0.0f;   // y of the font's baseline in cell units
};

namespace {

// A curve is cut into at most this many segments, whatever the tolerance.
constexpr int MaxCurveSegments = 64;

// Collects the decomposed outline, flattening curves as they come.
struct OutlineBuilder {
    const OutlineFont *font;
    float tolerance;
    GlyphOutline *out;
    OutlinePoint current;
};

OutlinePoint ToCell(const OutlineBuilder &builder, const FT_Vector *v)
{
    return {static_cast<float>(v->x) * builder.font->scale,
            static_cast<float>(v->y) * builder.font->scale + builder.font->baseline};
}

void AddPoint(OutlineBuilder &builder, OutlinePoint p)
{
    OutlineContour &contour = builder.out->contours.back();
    if (contour.empty() || contour.back().x != p.x || contour.back().y != p.y) {
        contour.push_back(p);
    }
    builder.current = p;
}

// Segments that keep a curve whose second difference has length `bend` within
// the tolerance: a chord of a curve with |B''| <= k over a step h strays at
// most k h^2 / 8 from it.
int SegmentCount(float bend, float factor, float tolerance)
{
    const float n = std::ceil(std::sqrt(bend * factor / tolerance));
    if (!(n >= 1.0f)) {
        return 1;
    }
    return n > MaxCurveSegments ? MaxCurveSegments : static_cast<int>(n);
}

float Length(float x, float y)
{
    return std::sqrt(x * x + y * y);
}

int MoveTo(const FT_Vector *to, void *user)
{
    OutlineBuilder &builder = *static_cast<OutlineBuilder *>(user);
    builder.out->contours.emplace_back();
    AddPoint(builder, ToCell(builder, to));
    return 0;
}

int LineTo(const FT_Vector *to, void *user)
{
    OutlineBuilder &builder = *static_cast<OutlineBuilder *>(user);
    AddPoint(builder, ToCell(builder, to));
    return 0;
}

int ConicTo(const FT_Vector *control, const FT_Vector *to, void *user)
{
    OutlineBuilder &builder = *static_cast<OutlineBuilder *>(user);
    const OutlinePoint p0 = builder.current;
    const OutlinePoint p1 = ToCell(builder, control);
    const OutlinePoint p2 = ToCell(builder, to);
    // B'' = 2 (p0 - 2 p1 + p2): error <= |p0 - 2 p1 + p2| / (4 n^2).
    const float bend = Length(p0.x - 2.0f * p1.x + p2.x, p0.y - 2.0f * p1.y + p2.y);
    const int n = SegmentCount(bend, 0.25f, builder.tolerance);
    for (int i = 1; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(n);
        const float u = 1.0f - t;
        AddPoint(builder, {u * u * p0.x + 2.0f * u * t * p1.x + t * t * p2.x,
                           u * u * p0.y + 2.0f * u * t * p1.y + t * t * p2.y});
    }
    AddPoint(builder, p2);
    return 0;
}

int CubicTo(const FT_Vector *control1, const FT_Vector *control2, const FT_Vector *to, void *user)
{
    OutlineBuilder &builder = *static_cast<OutlineBuilder *>(user);
    const OutlinePoint p0 = builder.current;
    const OutlinePoint p1 = ToCell(builder, control1);
    const OutlinePoint p2 = ToCell(builder, control2);
    const OutlinePoint p3 = ToCell(builder, to);
    // |B''| <= 6 max(|p0 - 2 p1 + p2|, |p1 - 2 p2 + p3|): error <= 3 m / (4 n^2).
    const float bendA = Length(p0.x - 2.0f * p1.x + p2.x, p0.y - 2.0f * p1.y + p2.y);
    const float bendB = Length(p1.x - 2.0f * p2.x + p3.x, p1.y - 2.0f * p2.y + p3.y);
    const int n = SegmentCount(bendA > bendB ? bendA : bendB, 0.75f, builder.tolerance);
    for (int i = 1; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(n);
        const float u = 1.0f - t;
        const float a = u * u * u;
        const float b = 3.0f * u * u * t;
        const float c = 3.0f * u * t * t;
        const float d = t * t * t;
        AddPoint(builder, {a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                           a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    AddPoint(builder, p3);
    return 0;
}

// Twice the signed area: positive for a counter-clockwise contour (y up).
float DoubleArea(const OutlineContour &contour)
{
    float sum = 0.0f;
    const size_t n = contour.size();
    for (size_t i = 0; i < n; ++i) {
        const OutlinePoint &a = contour[i];
        const OutlinePoint &b = contour[(i + 1) % n];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

} // namespace

OutlineFont *OpenOutlineFont(const char *path, float cellHeight)
{
    OutlineFont *font = new OutlineFont;
    if (FT_Init_FreeType(&font->library) != 0) {
        delete font;
        return nullptr;
    }
    if (FT_New_Face(font->library, path, 0, &font->face) != 0 || !FT_IS_SCALABLE(font->face)
        || FT_Select_Charmap(font->face, FT_ENCODING_UNICODE) != 0
        || font->face->ascender <= font->face->descender) {
        CloseOutlineFont(font);
        return nullptr;
    }
    const float range = static_cast<float>(font->face->ascender - font->face->descender);
    font->scale = cellHeight / range;
    font->baseline = -static_cast<float>(font->face->descender) * font->scale;
    return font;
}

void CloseOutlineFont(OutlineFont *font)
{
    if (!font) {
        return;
    }
    if (font->face) {
        FT_Done_Face(font->face);
    }
    if (font->library) {
        FT_Done_FreeType(font->library);
    }
    delete font;
}

bool OutlineFontHasCharacter(const OutlineFont *font, uint32_t unicode)
{
    return font && FT_Get_Char_Index(font->face, unicode) != 0;
}

int LoadGlyphOutline(OutlineFont *font, uint32_t unicode, float tolerance, GlyphOutline *out)
{
    out->contours.clear();
    out->advance = 0.0f;
    if (!font || !(tolerance > 0.0f)) {
        return -1;
    }
    const FT_UInt index = FT_Get_Char_Index(font->face, unicode);
    if (index == 0) {
        return -1;
    }
    // Unscaled and unhinted: the outline exactly as designed, in font units.
    if (FT_Load_Glyph(font->face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) {
        return -1;
    }
    FT_GlyphSlot slot = font->face->glyph;
    out->advance = static_cast<float>(slot->metrics.horiAdvance) * font->scale;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) {
        return -1;
    }

    FT_Outline_Funcs funcs = {};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    OutlineBuilder builder{font, tolerance, out, {0.0f, 0.0f}};
    if (FT_Outline_Decompose(&slot->outline, &funcs, &builder) != 0) {
        out->contours.clear();
        return -1;
    }

    // The decomposition closes each contour back onto its first point; drop
    // that repeat, and contours too small to hold any area.
    const bool clockwiseFill = FT_Outline_Get_Orientation(&slot->outline) == FT_ORIENTATION_TRUETYPE;
    std::vector<OutlineContour> kept;
    for (OutlineContour &contour : out->contours) {
        while (contour.size() > 1 && contour.back().x == contour.front().x
               && contour.back().y == contour.front().y) {
            contour.pop_back();
        }
        if (contour.size() < 3 || DoubleArea(contour) == 0.0f) {
            continue;
        }
        if (clockwiseFill) {
            std::vector<OutlinePoint> reversed(contour.rbegin(), contour.rend());
            contour.swap(reversed);
        }
        kept.push_back(std::move(contour));
    }
    out->contours.swap(kept);
    return 0;
}
