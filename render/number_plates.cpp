#include "render/number_plates.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/card_config.h"
#include "core/colour.h"
#include "render/material.h"
#include "render/material_textures.h"
#include "render/render_link.h"
#include "render/software_raster.h"
#include "render/standard_textures.h"
#include "render/texture_manager.h"

NumberPlateSlot NumberPlates[NumberPlateSlotCount];
NumberPlateGroup PlateGroups[NumberPlateGroupCount];

namespace {

PlateGlyphSource Glyphs{};

// The colours of "^0" .. "^7" on a plate.
constexpr uint8_t PlateColours[8][3] = {{0, 0, 0},   {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                        {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
// The lettering before any code and after a reset: black on the white plate.
constexpr int PlateDefaultColour = 0;

void GroupTextureNames(int group, char opaque[PlateTextureNameLength], char cutOut[PlateTextureNameLength])
{
    std::snprintf(opaque, PlateTextureNameLength, "PLATE~%d", group);
    std::snprintf(cutOut, PlateTextureNameLength, "PLATE~%dATEST", group);
}

// The group's materials and textures go.
void DestroyGroupTextures(NumberPlateGroup &g)
{
    Material **materials[2] = {&g.opaqueMaterial, &g.cutOutMaterial};
    for (Material **material : materials) {
        if (*material == nullptr) {
            continue;
        }
        TextureRecord *texture = (*material)->texture;
        DeleteMaterial(material);
        if (texture != nullptr) {
            while (DeleteMaterialOfTexture(texture)) {
            }
            DeleteTexture(texture);
        }
    }
}

// Both materials of a group from its two textures (either may be null).
void MakeGroupMaterials(NumberPlateGroup &g, TextureRecord *opaque, TextureRecord *cutOut)
{
    const int m2x = static_cast<int>(Modulate2xOn);
    g.opaqueMaterial = opaque != nullptr ? GetMaterial(opaque, m2x, 1, 0, 0, GetTrackDefaultTexture()) : nullptr;
    g.cutOutMaterial = cutOut != nullptr ? GetMaterial(cutOut, m2x, 1, 0, 0, nullptr) : nullptr;
}

TextureRecord *PlaceholderOf(const char *name, uint8_t level)
{
    std::vector<uint8_t> pixels(PlatePlaceholderSide * PlatePlaceholderSide * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = level;
        pixels[i + 1] = level;
        pixels[i + 2] = level;
        pixels[i + 3] = 255;
    }
    return LoadImageTexture(name, pixels.data(), PlatePlaceholderSide, PlatePlaceholderSide);
}

int PlateCodeValue(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c == ':' ? 10 : -1;
}

// The width of the text in raster units at the size, codes left out.
float MeasurePlateText(const char *text, float size)
{
    float width = 0.0f;
    for (int i = 0; i < NumberPlateTextLength && text[i] != 0; ++i) {
        if (text[i] == '^' && i + 1 < NumberPlateTextLength && PlateCodeValue(text[i + 1]) >= 0) {
            ++i;
            continue;
        }
        const float glyph = Glyphs.width != nullptr ? Glyphs.width(static_cast<uint8_t>(text[i])) : 0.0f;
        width += (glyph + 0.65f) * size / 7.0f;
    }
    return width;
}

// One plate text in its band of the raster image.
void DrawPlateText(const char *text, float top)
{
    const float size = PlateTextSize;
    const float width = MeasurePlateText(text, size);
    // Too wide: the glyphs are drawn narrower, never cut off.
    const float squeeze = width > PlateTextMaxWidth ? PlateTextMaxWidth / width : 1.0f;
    const float half = static_cast<float>(RasterTarget.width) / 2.0f;
    float x = -width * squeeze / 2.0f;
    int colour = PlateDefaultColour;
    for (int i = 0; i < NumberPlateTextLength && text[i] != 0; ++i) {
        if (text[i] == '^' && i + 1 < NumberPlateTextLength && PlateCodeValue(text[i + 1]) >= 0) {
            const int code = PlateCodeValue(text[++i]);
            colour = code <= 7 ? code : PlateDefaultColour;
            continue;
        }
        const uint8_t c = static_cast<uint8_t>(text[i]);
        const float glyph = Glyphs.width != nullptr ? Glyphs.width(c) : 0.0f;
        if (Glyphs.draw != nullptr) {
            int r = 0;
            int g = 0;
            int b = 0;
            PlateCodeColour(colour, &r, &g, &b);
            Glyphs.draw(c, (x + 1.0f) * half, (top + 1.0f) * half, size * squeeze * half,
                        size * 9.0f / 7.0f * half, RasterTarget.packer(r, g, b));
        }
        x += (glyph + 0.65f) * size / 7.0f * squeeze;
    }
}

// The raster image (R5G6B5) as R, G, B, A bytes with alpha 255.
void ImageToBytes(std::vector<uint8_t> *bytes)
{
    const int side = RasterTarget.width;
    bytes->resize(static_cast<size_t>(side) * side * 4);
    for (int y = 0; y < side; ++y) {
        const uint16_t *row =
            reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(RasterTarget.pixels) + y * RasterTarget.stride);
        for (int x = 0; x < side; ++x) {
            const uint16_t p = row[x];
            uint8_t *out = bytes->data() + (static_cast<size_t>(y) * side + x) * 4;
            const int r = p >> 11 & 31;
            const int g = p >> 5 & 63;
            const int b = p & 31;
            out[0] = static_cast<uint8_t>(r << 3 | r >> 2);
            out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
            out[2] = static_cast<uint8_t>(b << 3 | b >> 2);
            out[3] = 255;
        }
    }
}

void DrawPlateGroup(int group)
{
    NumberPlateGroup &g = PlateGroups[group];
    FillRasterImage(0xFFFF);
    for (int band = 0; band < NumberPlateSlotsPerGroup; ++band) {
        DrawPlateText(NumberPlates[group * NumberPlateSlotsPerGroup + band].text,
                      PlateFirstTextY + PlateTextStepY * static_cast<float>(band));
    }
    std::vector<uint8_t> bytes;
    ImageToBytes(&bytes);
    char opaqueName[PlateTextureNameLength];
    char cutOutName[PlateTextureNameLength];
    GroupTextureNames(group, opaqueName, cutOutName);
    const int side = MaxTextureSide < PlateTextureSide ? MaxTextureSide : PlateTextureSide;
    TextureRecord *opaque = LoadImageTexture(opaqueName, bytes.data(), PlateImageSide, side);
    for (size_t i = 0; i < bytes.size(); i += 4) {
        bytes[i + 3] = static_cast<uint8_t>(255 - bytes[i]);
        bytes[i] = 255;
        bytes[i + 1] = 255;
        bytes[i + 2] = 255;
    }
    TextureRecord *cutOut = LoadImageTexture(cutOutName, bytes.data(), PlateImageSide, side);
    MakeGroupMaterials(g, opaque, cutOut);
}

}  // namespace

void SetPlateGlyphSource(const PlateGlyphSource &source)
{
    Glyphs = source;
}

void PlateCodeColour(int code, int *red, int *green, int *blue)
{
    const uint8_t *c = PlateColours[code >= 0 && code < 8 ? code : PlateDefaultColour];
    *red = c[0];
    *green = c[1];
    *blue = c[2];
}

int CreatePlateTextures(int group)
{
    if (group < 0 || group >= NumberPlateGroupCount) {
        return 0;
    }
    NumberPlateGroup &g = PlateGroups[group];
    if (g.opaqueMaterial != nullptr) {
        return 1;
    }
    if (!RenderTexturesOn()) {
        return 0;
    }
    char opaqueName[PlateTextureNameLength];
    char cutOutName[PlateTextureNameLength];
    GroupTextureNames(group, opaqueName, cutOutName);
    TextureRecord *opaque = PlaceholderOf(opaqueName, PlatePlaceholderOpaqueLevel);
    TextureRecord *cutOut = PlaceholderOf(cutOutName, PlatePlaceholderCutOutLevel);
    MakeGroupMaterials(g, opaque, cutOut);
    return g.opaqueMaterial != nullptr;
}

int GetNumberPlate(const char text[NumberPlateTextLength])
{
    char key[NumberPlateTextLength] = {};
    if (text != nullptr) {
        std::memcpy(key, text, sizeof(key));
    }
    for (int slot = 0; slot < NumberPlateSlotCount; slot++) {
        // A slot no car uses any more still holds its text and its drawing.
        if (std::memcmp(NumberPlates[slot].text, key, sizeof(key)) == 0) {
            CreatePlateTextures(slot / NumberPlateSlotsPerGroup);
            NumberPlates[slot].count++;
            return slot;
        }
    }
    for (int slot = 0; slot < NumberPlateSlotCount; slot++) {
        if (NumberPlates[slot].count == 0) {
            const int group = slot / NumberPlateSlotsPerGroup;
            std::memcpy(NumberPlates[slot].text, key, sizeof(key));
            CreatePlateTextures(group);
            PlateGroups[group].redraw = 1;
            NumberPlates[slot].count = 1;
            return slot;
        }
    }
    RenderWarning("Could not get number plate");
    NumberPlates[0].count++;
    return 0;
}

void ReleaseNumberPlate(int slot)
{
    if (slot < 0 || slot >= NumberPlateSlotCount) {
        return;
    }
    if (NumberPlates[slot].count > 0) {
        NumberPlates[slot].count--;
    }
}

int FindNumberPlate(const char text[NumberPlateTextLength])
{
    char key[NumberPlateTextLength] = {};
    if (text != nullptr) {
        std::memcpy(key, text, sizeof(key));
    }
    for (int slot = 0; slot < NumberPlateSlotCount; slot++) {
        if (std::memcmp(NumberPlates[slot].text, key, sizeof(key)) == 0) {
            return slot;
        }
    }
    return -1;
}

void UpdatePlateTextures()
{
    int flagged = 0;
    for (const NumberPlateGroup &g : PlateGroups) {
        flagged |= g.redraw;
    }
    if (!flagged || !RenderTexturesOn()) {
        return;
    }
    for (NumberPlateGroup &g : PlateGroups) {
        if (g.redraw) {
            DestroyGroupTextures(g);
        }
    }
    if (!BeginRasterImage(PlateImageSide)) {
        return;
    }
    for (int group = 0; group < NumberPlateGroupCount; group++) {
        NumberPlateGroup &g = PlateGroups[group];
        if (!g.redraw) {
            continue;
        }
        g.redraw = 0;
        DrawPlateGroup(group);
    }
    EndRasterImage();
}

void ReleasePlateTextures()
{
    for (NumberPlateGroup &g : PlateGroups) {
        DestroyGroupTextures(g);
    }
}

void ResetNumberPlates()
{
    for (NumberPlateGroup &g : PlateGroups) {
        g = NumberPlateGroup{};
    }
    for (NumberPlateSlot &slot : NumberPlates) {
        slot = NumberPlateSlot{};
    }
}
