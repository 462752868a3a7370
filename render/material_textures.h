#pragma once

#include <cstdint>

struct Material;
struct TextureRecord;

// The one look-up through which every material of a 3D object gets its
// texture: special names (sky, environment, plates, mirror, clock), ordinary
// textures, and car and helmet skins kept under a budget. Also whether a
// skin is in use, and the purge of the least recently used skins.

// Look-up modes.
constexpr int MaterialModeWorld = 0;      // world objects
constexpr int MaterialModeObject = 1;     // objects
constexpr int MaterialModeSkinned = 2;    // objects with skins: the add-pass variant

// Set by callers: with it the look-up loads nothing and answers the
// materials already loaded (the car code rebuilding a car).
extern int TextureNoLoad;
// Set by the look-up when, under TextureNoLoad, a texture was not loaded
// and it fell back.
extern int TextureMissing;

// The material of a material's texture name. mode: the look-up modes above;
// alphaTest asks for the alpha-tested variant; index selects the number-plate
// group; environment is set to 1 by "s_sky" and "s_env" in mode 0. Skins
// load from the folder of SkinMode (1 car skins, 2 and 3 the other skin
// folders). Null when the program draws nothing (no graphics).
Material *GetMaterialTexture(const char *name, int mode, int alphaTest, int index, uint8_t *environment);

// With render textures on, the current world's default texture, or the
// fallback record (the plain black texture) without a world or without one;
// null with render textures off.
TextureRecord *GetTrackDefaultTexture();
// The material of an empty name: modes 0 and 1 the plain default; mode 2
// the add-pass white, or with alpha test the track-lit plain (which joins
// the alpha-tested list).
Material *GetFallbackTexture(int mode, int alphaTest);

// --- Skins in use -------------------------------------------------------------------------------------

constexpr uint32_t SkinInUsePriority = 65535;

struct SkinInUseEntry {
    uint32_t priority;  // the use stamp; 65535 for a skin in use
    char name[20];
};

// 1 when a car or a screen shows the skin texture: a "HEL" name with
// "DEFAULT" after the fourth character always; every race slot, the local
// car, the garage's display car and the helmet screen.
int IsSkinInUse(const char *textureName);
// The loaded skins (records with a texture and a use stamp) in the texture
// map's order, sorted by priority, stable. At most MaxSkinsInUse entries:
// a further candidate stops the walk with "Too many skins in use". Returns
// the count.
int BuildSkinsInUseList(SkinInUseEntry *entries);
// Before a new skin loads: frees the least recently used skins no one uses
// until one more fits the budget of the race slots.
void PurgeSkins();
