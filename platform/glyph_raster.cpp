#include "platform/glyph_raster.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

struct PlatformGlyphFont {
    FT_Face face = nullptr;
    int baseline = 0;      // pixels from the top of the picture
    FT_Pos embolden = 0;   // 26.6 strength added to the outline, 0 none
};

namespace {

FT_Library Library = nullptr;
bool FontConfigStarted = false;

// fontconfig's weight of a bold face, and the weight from which a face
// counts as bold.
constexpr int BoldWeight = 600;

// Family names whose look is the sans-serif kind of the East Asian scripts.
const char *const SansMarks[] = {"Sans", "Hei", "Gothic", "Dotum", "Gulim"};

int KindOf(const char *family, int spacing)
{
    if (spacing == FC_MONO || spacing == FC_DUAL || std::strstr(family, "Mono") != nullptr) {
        return PlatformFaceMonospace;
    }
    for (const char *mark : SansMarks) {
        if (std::strstr(family, mark) != nullptr) {
            return PlatformFaceSans;
        }
    }
    return PlatformFaceOther;
}

bool SameFamily(FcPattern *pattern, const char *family)
{
    for (int i = 0;; ++i) {
        FcChar8 *name = nullptr;
        if (FcPatternGetString(pattern, FC_FAMILY, i, &name) != FcResultMatch) {
            return false;
        }
        if (std::strcmp(reinterpret_cast<const char *>(name), family) == 0) {
            return true;
        }
    }
}

}  // namespace

bool PlatformGlyphStart()
{
    if (Library == nullptr && FT_Init_FreeType(&Library) != 0) {
        Library = nullptr;
        return false;
    }
    if (!FontConfigStarted) {
        if (!FcInit()) {
            FT_Done_FreeType(Library);
            Library = nullptr;
            return false;
        }
        FontConfigStarted = true;
    }
    return true;
}

void PlatformGlyphStop()
{
    if (Library != nullptr) {
        FT_Done_FreeType(Library);
        Library = nullptr;
    }
    // fontconfig's own configuration stays loaded: FcFini would free what
    // other users of the library (the window system) still hold.
}

int PlatformListFontFaces(const char *language, PlatformFontFace *out, int max)
{
    if (!FontConfigStarted || language == nullptr || out == nullptr || max <= 0) {
        return 0;
    }
    FcPattern *pattern = FcPatternCreate();
    FcLangSet *languages = FcLangSetCreate();
    FcLangSetAdd(languages, reinterpret_cast<const FcChar8 *>(language));
    FcPatternAddLangSet(pattern, FC_LANG, languages);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcObjectSet *objects = FcObjectSetBuild(FC_FAMILY, FC_SPACING, FC_FONTFORMAT, nullptr);
    FcFontSet *set = FcFontList(nullptr, pattern, objects);
    int count = 0;
    for (int i = 0; set != nullptr && i < set->nfont && count < max; ++i) {
        FcChar8 *family = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch) {
            continue;
        }
        FcChar8 *format = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch &&
            std::strcmp(reinterpret_cast<const char *>(format), "TrueType") != 0 &&
            std::strcmp(reinterpret_cast<const char *>(format), "CFF") != 0) {
            continue;
        }
        const char *name = reinterpret_cast<const char *>(family);
        bool seen = false;
        for (int k = 0; k < count && !seen; ++k) {
            seen = std::strcmp(out[k].name, name) == 0;
        }
        if (seen || std::strlen(name) >= PlatformFaceNameSize) {
            continue;
        }
        int spacing = FC_PROPORTIONAL;
        FcPatternGetInteger(set->fonts[i], FC_SPACING, 0, &spacing);
        std::snprintf(out[count].name, sizeof(out[count].name), "%s", name);
        out[count].kind = KindOf(name, spacing);
        ++count;
    }
    if (set != nullptr) {
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcLangSetDestroy(languages);
    FcPatternDestroy(pattern);
    return count;
}

PlatformGlyphFont *PlatformCreateGlyphFont(const char *family, const char *language, int weight, int cellPixels)
{
    if (Library == nullptr || !FontConfigStarted || family == nullptr || cellPixels <= 0) {
        return nullptr;
    }
    const bool bold = weight >= BoldWeight;
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
    if (language != nullptr) {
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8 *>(language));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) {
        return nullptr;
    }
    FcChar8 *file = nullptr;
    int index = 0;
    int matchedWeight = FC_WEIGHT_REGULAR;
    const bool found = SameFamily(match, family) && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
    FT_Face face = nullptr;
    const bool opened = found && FT_New_Face(Library, reinterpret_cast<const char *>(file), index, &face) == 0;
    FcPatternDestroy(match);
    if (!opened) {
        return nullptr;
    }
    const int height = face->ascender - face->descender;
    if (!FT_IS_SCALABLE(face) || height <= 0 || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    // The em that makes ascent + descent the cell.
    const double em = static_cast<double>(cellPixels) * face->units_per_EM / height;
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64.0)), 72, 72) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto *font = new PlatformGlyphFont;
    font->face = face;
    font->baseline = static_cast<int>(std::lround(static_cast<double>(cellPixels) * face->ascender / height));
    if (bold && matchedWeight < FC_WEIGHT_BOLD) {
        // The strength FreeType's own emboldening uses: 1/24 of the em.
        font->embolden = static_cast<FT_Pos>(std::lround(em * 64.0 / 24.0));
    }
    return font;
}

void PlatformDeleteGlyphFont(PlatformGlyphFont *font)
{
    if (font == nullptr) {
        return;
    }
    if (Library != nullptr) {
        FT_Done_Face(font->face);
    }
    delete font;
}

namespace {

bool LoadOutline(PlatformGlyphFont *font, uint32_t unicode)
{
    if (font == nullptr || Library == nullptr || FT_Get_Char_Index(font->face, unicode) == 0) {
        return false;
    }
    if (FT_Load_Char(font->face, unicode, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
        font->face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        return false;
    }
    if (font->embolden != 0) {
        FT_Outline_Embolden(&font->face->glyph->outline, font->embolden);
    }
    return true;
}

}  // namespace

int PlatformRenderGlyph(PlatformGlyphFont *font, uint32_t unicode, uint8_t *coverage, int *firstRow, int *lastRow)
{
    if (coverage == nullptr) {
        return -1;
    }
    std::memset(coverage, 0, PlatformGlyphSide * PlatformGlyphSide);
    if (!LoadOutline(font, unicode) || FT_Render_Glyph(font->face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
        return -1;
    }
    const FT_GlyphSlot slot = font->face->glyph;
    const FT_Bitmap &bitmap = slot->bitmap;
    int first = -1;
    int last = -1;
    for (unsigned int r = 0; r < bitmap.rows; ++r) {
        const int y = font->baseline - slot->bitmap_top + static_cast<int>(r);
        if (y < 0 || y >= PlatformGlyphSide) {
            continue;
        }
        const unsigned char *source = bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch;
        for (unsigned int c = 0; c < bitmap.width; ++c) {
            const int x = slot->bitmap_left + static_cast<int>(c);
            if (x < 0 || x >= PlatformGlyphSide || source[c] == 0) {
                continue;
            }
            coverage[y * PlatformGlyphSide + x] = source[c];
            if (first < 0) {
                first = y;
            }
            last = y;
        }
    }
    if (first < 0) {
        return 0;
    }
    if (firstRow != nullptr) {
        *firstRow = first;
    }
    if (lastRow != nullptr) {
        *lastRow = last;
    }
    return 1;
}

int PlatformGlyphAdvance(PlatformGlyphFont *font, uint32_t unicode)
{
    if (!LoadOutline(font, unicode)) {
        return -1;
    }
    const FT_Pos advance = font->face->glyph->advance.x + font->embolden;
    return static_cast<int>((advance + 32) >> 6);
}
