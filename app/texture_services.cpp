#include "app/texture_services.h"

#include "core/shell_globals.h"
#include "render/number_plates.h"
#include "render/standard_textures.h"
#include "ui/font.h"
#include "ui/font_textures.h"
#include "ui/interface_draw.h"

namespace {

void ScreenMetrics(float *aspect, float *pixelWidth, float *pixelHeight)
{
    *aspect = ScreenAspect;
    *pixelWidth = PixelWidth;
    *pixelHeight = PixelHeight;
}

int MainGameMode()
{
    return StartMode != StartModeHotLapCheck ? 1 : 0;
}

// The glyph of a plate character in the current code page; null without one.
const FontGlyph *PlateGlyph(uint8_t character)
{
    if (CurrentCodePage == nullptr) {
        return nullptr;
    }
    const uint16_t glyph = CurrentCodePage->entries[character].glyph;
    return glyph < FontGlyphCount ? &FontGlyphs[glyph] : nullptr;
}

float PlateGlyphWidth(uint8_t character)
{
    const FontGlyph *glyph = PlateGlyph(character);
    return glyph != nullptr ? glyph->width : 0.0f;
}

void DrawPlateGlyph(uint8_t character, float left, float top, float width, float height, uint32_t pixel)
{
    if (const FontGlyph *glyph = PlateGlyph(character)) {
        DrawGlyphToRaster(*glyph, left, top, width, height, pixel);
    }
}

}  // namespace

void RegisterTextureServices()
{
    TextureLink link{};
    link.screenMetrics = ScreenMetrics;
    link.mainGameMode = MainGameMode;
    SetTextureLink(link);
    PlateGlyphSource glyphs{};
    glyphs.width = PlateGlyphWidth;
    glyphs.draw = DrawPlateGlyph;
    SetPlateGlyphSource(glyphs);
}
