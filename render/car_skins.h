#pragma once

#include <cstdint>

struct Material;

// Car and helmet skins: their texture names, their files and the lists the
// texture look-up keeps while a car is built.
//
// A car skin's texture name is "%s_%s" of the car code and the skin name
// (at most 19 characters and a zero: the 20 bytes of a texture name). Skin
// files are data\skins\<name>.jpg as downloaded and data\skins_dds\<name>.dds
// as converted; with "Local Skins DDS " set only the DDS files count.

constexpr int SkinNameLength = 20;   // texture name of a skin, zero included
constexpr int MaxAlphaTestMaterials = 24;
constexpr int MaxSkinsInUse = 68;

// "%s_%s" of code and skin into out, cut to 19 characters; a null code or
// skin counts as empty.
void FormatCarSkinName(char out[SkinNameLength], const char *carCode, const char *skin);
// 1 when the skin's file exists: the JPEG (unless "Local Skins DDS ") or the
// DDS. An empty or over-long name never exists.
int SkinFileExists(const char *name);
int CarSkinFileExists(const char *carCode, const char *skin);
// The last-write time in minutes since 1601 of the JPEG (unless "Local Skins
// DDS ") or else of the DDS; 0 when neither exists.
uint32_t CarSkinFileTime(const char *carCode, const char *skin);

// The index of value in array[0 .. *count - 1], appended (and *count
// raised) when absent. -1 when absent and the array already holds capacity
// entries.
int AddUniqueEntry(int *count, Material **array, int capacity, Material *value);

// The materials handed out by alpha-tested look-ups while a car is built:
// the car code empties the list before a build and copies it afterwards.
extern Material *AlphaTestMaterials[MaxAlphaTestMaterials];
extern int AlphaTestMaterialCount;
// Appends unless listed already or full (then nothing happens). Null is
// never listed.
void AddAlphaTestMaterial(Material *material);
void ClearAlphaTestMaterials();

// The number of skins kept loaded with slotCount race slots (-1: no race
// object): min(2 x slots + 8, 68), 8 without a race. Loading a new skin
// purges down to one less than this.
int SkinBudget(int slotCount);
