#include "render/number_plates.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "render/render_link.h"

NumberPlateSlot NumberPlates[NumberPlateSlotCount];
NumberPlateGroup PlateGroups[NumberPlateGroupCount];

namespace {

PlateTextDrawer TextDrawer = nullptr;

void FreePlateTexture(PlateTexture *texture)
{
    delete[] texture->pixels;
    *texture = PlateTexture{};
}

// Makes the texture's pixel array; 0 (texture left empty, failure logged)
// when memory runs out.
int MakePlateTexture(PlateTexture *texture, const char *name, int side)
{
    FreePlateTexture(texture);
    uint32_t *pixels = new (std::nothrow) uint32_t[static_cast<size_t>(side) * side];
    if (pixels == nullptr) {
        RenderLog("Failed to create : %s", name);
        return 0;
    }
    std::snprintf(texture->name, sizeof(texture->name), "%s", name);
    texture->side = side;
    texture->pixels = pixels;
    return 1;
}

void GroupTextureNames(int group, char opaque[PlateTextureNameLength], char cutOut[PlateTextureNameLength])
{
    std::snprintf(opaque, PlateTextureNameLength, "PLATE~%d", group);
    std::snprintf(cutOut, PlateTextureNameLength, "PLATE~%dATEST", group);
}

uint32_t Channel(uint32_t pixel, int shift)
{
    return (pixel >> shift) & 0xFFu;
}

// The 512 x 512 image brought down to the texture side by averaging each
// block of pixels, alpha made 255.
void ShrinkImage(const uint32_t *image, uint32_t *out)
{
    constexpr int Step = PlateImageSide / PlateTextureSide;
    for (int y = 0; y < PlateTextureSide; y++) {
        for (int x = 0; x < PlateTextureSide; x++) {
            uint32_t sums[3] = {0, 0, 0};
            for (int dy = 0; dy < Step; dy++) {
                const uint32_t *row = image + static_cast<size_t>(y * Step + dy) * PlateImageSide + x * Step;
                for (int dx = 0; dx < Step; dx++) {
                    sums[0] += Channel(row[dx], 16);
                    sums[1] += Channel(row[dx], 8);
                    sums[2] += Channel(row[dx], 0);
                }
            }
            constexpr uint32_t Count = Step * Step;
            out[y * PlateTextureSide + x] = 0xFF000000u | (sums[0] + Count / 2) / Count << 16 |
                                            (sums[1] + Count / 2) / Count << 8 | (sums[2] + Count / 2) / Count;
        }
    }
}

// Draws the four texts of one group into new textures.
void DrawPlateGroup(int group, uint32_t *image)
{
    NumberPlateGroup &g = PlateGroups[group];
    for (size_t i = 0; i < static_cast<size_t>(PlateImageSide) * PlateImageSide; i++) {
        image[i] = 0xFFFFFFFFu;
    }
    if (TextDrawer != nullptr) {
        for (int band = 0; band < NumberPlateSlotsPerGroup; band++) {
            TextDrawer(image, PlateImageSide, band, NumberPlates[group * NumberPlateSlotsPerGroup + band].text);
        }
    }
    char opaqueName[PlateTextureNameLength];
    char cutOutName[PlateTextureNameLength];
    GroupTextureNames(group, opaqueName, cutOutName);
    if (MakePlateTexture(&g.opaque, opaqueName, PlateTextureSide)) {
        ShrinkImage(image, g.opaque.pixels);
    }
    if (g.opaque.pixels != nullptr && MakePlateTexture(&g.cutOut, cutOutName, PlateTextureSide)) {
        for (int i = 0; i < PlateTextureSide * PlateTextureSide; i++) {
            const uint32_t alpha = 255u - Channel(g.opaque.pixels[i], 16);
            g.cutOut.pixels[i] = alpha << 24 | 0x00FFFFFFu;
        }
    }
}

}  // namespace

void SetPlateTextDrawer(PlateTextDrawer drawer)
{
    TextDrawer = drawer;
}

int CreatePlateTextures(int group)
{
    if (group < 0 || group >= NumberPlateGroupCount) {
        return 0;
    }
    NumberPlateGroup &g = PlateGroups[group];
    if (g.opaque.pixels != nullptr) {
        return 1;
    }
    char opaqueName[PlateTextureNameLength];
    char cutOutName[PlateTextureNameLength];
    GroupTextureNames(group, opaqueName, cutOutName);
    PlateTexture *const textures[2] = {&g.opaque, &g.cutOut};
    const char *const names[2] = {opaqueName, cutOutName};
    for (int k = 0; k < 2; k++) {
        PlateTexture *texture = textures[k];
        if (!MakePlateTexture(texture, names[k], PlatePlaceholderSide)) {
            continue;
        }
        for (int i = 0; i < PlatePlaceholderSide * PlatePlaceholderSide; i++) {
            texture->pixels[i] = PlatePlaceholderColour;
        }
    }
    return g.opaque.pixels != nullptr;
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

void UpdatePlateTextures()
{
    int flagged = 0;
    for (const NumberPlateGroup &g : PlateGroups) {
        flagged |= g.redraw;
    }
    if (!flagged) {
        return;
    }
    uint32_t *image = new (std::nothrow) uint32_t[static_cast<size_t>(PlateImageSide) * PlateImageSide];
    for (int group = 0; group < NumberPlateGroupCount; group++) {
        NumberPlateGroup &g = PlateGroups[group];
        if (!g.redraw) {
            continue;
        }
        g.redraw = 0;
        FreePlateTexture(&g.opaque);
        FreePlateTexture(&g.cutOut);
        if (image == nullptr) {
            char opaqueName[PlateTextureNameLength];
            char cutOutName[PlateTextureNameLength];
            GroupTextureNames(group, opaqueName, cutOutName);
            RenderLog("Failed to create : %s", opaqueName);
            continue;
        }
        DrawPlateGroup(group, image);
    }
    delete[] image;
}

void ReleasePlateTextures()
{
    for (NumberPlateGroup &g : PlateGroups) {
        FreePlateTexture(&g.opaque);
        FreePlateTexture(&g.cutOut);
    }
}

void ResetNumberPlates()
{
    ReleasePlateTextures();
    for (NumberPlateGroup &g : PlateGroups) {
        g.redraw = 0;
    }
    for (NumberPlateSlot &slot : NumberPlates) {
        slot = NumberPlateSlot{};
    }
}
