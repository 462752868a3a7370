#include "ui/glyph_renderer.h"

#include <cstring>

#include "platform/glyph_raster.h"

namespace {

static_assert(GlyphPictureSide == PlatformGlyphSide, "the pictures have one size");
static_assert(GlyphFaceNameSize == PlatformFaceNameSize, "face names have one size");

class SystemGlyphRenderer : public GlyphRenderer {
public:
    bool Start() override
    {
        return PlatformGlyphStart();
    }

    void Stop() override
    {
        PlatformGlyphStop();
    }

    int ListFaces(const char *language, GlyphFace *out, int max) override
    {
        PlatformFontFace faces[128];
        const int count = PlatformListFontFaces(language, faces, max < 128 ? max : 128);
        for (int i = 0; i < count; ++i) {
            const size_t length = strnlen(faces[i].name, sizeof(out[i].name) - 1);
            std::memcpy(out[i].name, faces[i].name, length);
            out[i].name[length] = 0;
            out[i].kind = faces[i].kind;
        }
        return count;
    }

    GlyphFontHandle CreateFont(const char *face, const char *language, int weight) override
    {
        return PlatformCreateGlyphFont(face, language, weight, GlyphCellPixels);
    }

    void DeleteFont(GlyphFontHandle font) override
    {
        PlatformDeleteGlyphFont(static_cast<PlatformGlyphFont *>(font));
    }

    int Render(GlyphFontHandle font, uint32_t unicode, uint8_t *coverage, int *firstRow, int *lastRow) override
    {
        return PlatformRenderGlyph(static_cast<PlatformGlyphFont *>(font), unicode, coverage, firstRow, lastRow);
    }

    int Advance(GlyphFontHandle font, uint32_t unicode) override
    {
        return PlatformGlyphAdvance(static_cast<PlatformGlyphFont *>(font), unicode);
    }
};

SystemGlyphRenderer SystemRenderer;
GlyphRenderer *Current = nullptr;

}  // namespace

GlyphRenderer *ActiveGlyphRenderer()
{
    return Current != nullptr ? Current : &SystemRenderer;
}

void SetGlyphRenderer(GlyphRenderer *renderer)
{
    Current = renderer;
}
