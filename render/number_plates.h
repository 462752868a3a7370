#pragma once

#include <cstdint>

// Number plates. Every car shows its 8-byte plate text through one of 32
// plate slots; four slots share one texture pair (a group): slot s is drawn
// from group s / 4, in band s % 4 of its textures. Each group has an opaque
// texture "PLATE~%d" and a cut-out one "PLATE~%dATEST" whose alpha is the
// inverse of the opaque texture's red level (dark lettering stays, white
// background goes).
//
// The pixels are kept on the CPU side (32-bit, alpha in the top byte, then
// red, green, blue); they are what a graphics backend uploads, and what the
// null backend keeps.

constexpr int NumberPlateSlotCount = 32;
constexpr int NumberPlateSlotsPerGroup = 4;
constexpr int NumberPlateGroupCount = NumberPlateSlotCount / NumberPlateSlotsPerGroup;
constexpr int NumberPlateTextLength = 8;
constexpr int PlatePlaceholderSide = 16;  // the one-colour texture of a group not drawn yet
constexpr int PlateImageSide = 512;       // the image the four texts are drawn into
constexpr int PlateTextureSide = 128;     // the loaded textures (MaxTextureSide held at 128)
constexpr int PlateBandRows = PlateImageSide / NumberPlateSlotsPerGroup;
constexpr int PlateTextureNameLength = 20;
constexpr uint32_t PlatePlaceholderColour = 0xFFFFFFFFu;  // opaque white

// One texture with its pixels; side 0 and no pixels when not made.
struct PlateTexture {
    char name[PlateTextureNameLength];
    int32_t side;
    uint32_t *pixels;  // owned, side x side, row by row
};

struct NumberPlateSlot {
    char text[NumberPlateTextLength];  // not always zero-terminated
    int32_t count;                     // cars using the slot
};

struct NumberPlateGroup {
    int32_t redraw;        // the texts changed: drawn at the next UpdatePlateTextures
    PlateTexture opaque;   // "PLATE~%d"
    PlateTexture cutOut;   // "PLATE~%dATEST"
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

// The group's textures as 16 x 16 placeholders unless it has them already.
// Returns 1 when the group has its textures afterwards.
int CreatePlateTextures(int group);
// Draws the texts of every group flagged for redraw into new textures and
// clears the flags. Without a text drawer the bands stay white.
void UpdatePlateTextures();
// Frees every group's textures (the slots and their texts stay).
void ReleasePlateTextures();
// Clears every slot and frees every texture.
void ResetNumberPlates();

// Draws one plate text into a band of the white 512 x 512 image: rows
// band x 128 .. band x 128 + 127 (the first text at the top). The text
// layer registers it; the plate is drawn in the colours its "^" codes ask
// for, white 7 when none.
using PlateTextDrawer = void (*)(uint32_t *image, int side, int band, const char text[NumberPlateTextLength]);
void SetPlateTextDrawer(PlateTextDrawer drawer);
