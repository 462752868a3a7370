#pragma once

#include <cstdint>

struct Material;

// Number plates. Every car shows its 8-byte plate text through one of 32
// plate slots; four slots share one texture pair (a group): slot s is drawn
// from group s / 4, in band s % 4 of its textures. Each group has an opaque
// texture "PLATE~%d" and a cut-out one "PLATE~%dATEST" whose alpha is the
// inverse of the opaque texture's red level (dark lettering stays, white
// background goes), each with its material.

constexpr int NumberPlateSlotCount = 32;
constexpr int NumberPlateSlotsPerGroup = 4;
constexpr int NumberPlateGroupCount = NumberPlateSlotCount / NumberPlateSlotsPerGroup;
constexpr int NumberPlateTextLength = 8;
constexpr int PlatePlaceholderSide = 16;  // the one-colour texture of a group not drawn yet
constexpr int PlateImageSide = 512;       // the image the four texts are drawn into
constexpr int PlateTextureSide = 128;     // the loaded textures (MaxTextureSide held at 128)
constexpr int PlateBandRows = PlateImageSide / NumberPlateSlotsPerGroup;
constexpr int PlateTextureNameLength = 20;
// The one-colour placeholders of a group not drawn yet: the opaque one white
// (a blank plate), the cut-out one black (its alpha keeps the whole plate).
constexpr uint8_t PlatePlaceholderOpaqueLevel = 255;
constexpr uint8_t PlatePlaceholderCutOutLevel = 0;
// Plate lettering: the text is measured at this size (in raster units of
// the 512-pixel image) and shrunk to fit this width.
constexpr float PlateTextSize = 116.0f / (PlateImageSide / 2);
constexpr float PlateTextMaxWidth = 1.9f;
constexpr float PlateFirstTextY = -0.93f;
constexpr float PlateTextStepY = 0.5f;

struct NumberPlateSlot {
    char text[NumberPlateTextLength];  // not always zero-terminated
    int32_t count;                     // cars using the slot
};

struct NumberPlateGroup {
    int32_t redraw;            // the texts changed: drawn at the next UpdatePlateTextures
    Material *opaqueMaterial;  // "PLATE~%d"; null until the group's textures exist
    Material *cutOutMaterial;  // "PLATE~%dATEST"
};

extern NumberPlateSlot NumberPlates[NumberPlateSlotCount];
extern NumberPlateGroup PlateGroups[NumberPlateGroupCount];

// The slot for a plate text: a slot holding the same 8 bytes is shared (its
// count raised); else the first unused slot takes the text, its group is
// flagged for redraw and the count becomes 1. With all 32 in use "Could not
// get number plate" is shown and slot 0 is shared. The group's textures are
// created when missing. A null text counts as 8 zero bytes.
int GetNumberPlate(const char text[NumberPlateTextLength]);
// One user less; never below 0; slots outside 0..31 are ignored.
void ReleaseNumberPlate(int slot);

// The group's textures as 16 x 16 placeholders unless it has them already
// (needs a device). Returns 1 when the group has its materials afterwards.
int CreatePlateTextures(int group);
// Draws the texts of every group flagged for redraw into new textures with
// the software raster and clears the flags.
void UpdatePlateTextures();
// Destroys every group's textures and materials (the slots and their texts
// stay).
void ReleasePlateTextures();
// Clears every slot and forgets every texture (the device's textures go
// with the texture manager).
void ResetNumberPlates();
// The slot holding the text, or -1.
int FindNumberPlate(const char text[NumberPlateTextLength]);

// The glyphs of the plate lettering, from the font. width: the glyph's width
// in glyph units (of 7 a cell); draw: the glyph into the software raster's
// target, its 7 x 9 cell spanning width x height pixels from (left, top).
struct PlateGlyphSource {
    float (*width)(uint8_t character);
    void (*draw)(uint8_t character, float left, float top, float width, float height, uint32_t pixel);
};
void SetPlateGlyphSource(const PlateGlyphSource &source);
// The colour of "^n" (n 0..7) on a plate, as red, green, blue.
void PlateCodeColour(int code, int *red, int *green, int *blue);
