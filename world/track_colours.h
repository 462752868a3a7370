#pragma once

#include <cstdint>

#include "core/colour.h"

struct DataStream;
struct Material;
class WorldObject;
struct ObjectHolder;

// Flag bits of a TrackColour.
constexpr uint16_t ColourHasCells = 2;   // some cell names a palette colour
constexpr uint16_t ColourUsed = 4;       // some object of the world uses the record

// Alpha flag bits, set when the texture loads.
constexpr uint8_t AlphaBlend = 1;
constexpr uint8_t AlphaTest = 2;
constexpr uint8_t AlphaSkyTexture = 4;

// A palette index that names no colour.
constexpr uint8_t NoPaletteIndex = 255;

// One surface of the track: its name and texture, base colour, a small grid
// of palette colours whose average tints it, texture mapping values and the
// surface kind that the tyres look up. Objects refer to records by index.
struct TrackColour {
    uint16_t flags;             // bit 1 has cells, bit 2 used; bits 0 and 3 as read
    uint8_t form;               // 1: the record carries radial mapping values
    uint8_t alphaFlags;         // AlphaBlend, AlphaTest, AlphaSkyTexture
    char name[16];
    char textureName[16];
    Colour average;             // computed from the palette grid
    Colour colour;              // as read; its flag byte: bit 0 unlit, bit 2 up normal
    Colour lit;                 // colour tinted by the average

    // The twelve mapping and surface bytes, in file order.
    uint8_t uRepeat;            // 1/64 of the texture
    uint8_t vRepeat;
    uint8_t uOffset;
    uint8_t vOffset;
    uint8_t rowCount;           // rows of the palette grid (pattern length)
    uint8_t orientation;        // texture orientation row 0..7
    uint8_t paletteCount;
    uint8_t columnCount;        // subdivisions across a row
    uint8_t surfaceKind;        // 0..16, the column of the surface tables
    uint8_t bumpKind;           // 1 ridges, 2 profile, otherwise the bump map
    uint8_t bumpAmplitude;      // 0: no bumps
    uint8_t bumpShift;          // bump period shift

    uint32_t lengthWord;        // low byte: texture repeats along a strip (0 taken as 1)
    // Radial mapping (form 1): centre in 16.16, angle in radians, two extents
    // (2.0 each without the block).
    uint32_t mappingCentreX;
    uint32_t mappingCentreY;
    float mappingAngle;
    float scale1;
    float scale2;

    Colour *palette;            // paletteCount entries, owned
    uint32_t *columnEnds;       // columnCount rising 16.16 positions, owned
    uint32_t *cells;            // rowCount x columnCount palette indices, owned
    Material *texture;          // the loaded texture material; null without graphics

    // colour x average >> 8 per channel; the flag byte takes bit 0 of the
    // average's.
    void ComputeLitColour();
    // Alpha flags, texture and lit colour for the current graphics state.
    void LoadTexture();
};

// The world's track colours.
struct ColourSet {
    int count = 0;
    TrackColour *records = nullptr;   // owned

    ColourSet() = default;
    ~ColourSet();
    ColourSet(const ColourSet &) = delete;
    ColourSet &operator=(const ColourSet &) = delete;

    // Reads the colour set of a world file (new or old record form), replacing
    // what the set held. siteShortName chooses the advertisement texture table.
    // 0, or non-zero when the data is damaged (the set is then empty).
    int Read(DataStream *stream, int version, const char *siteShortName);
    // Average colour and cell flag of every record. With oldColourFlags set a
    // cell holds four palette indices, one per byte.
    void Initialise(int oldColourFlags);
    // TrackColour::LoadTexture for every record.
    void LoadAllTextures();
    // Clears the used flag of every record and sets it on those that placed
    // objects (panels, flags, links of solids) and the links of lathe holders
    // name.
    void MarkUsed(WorldObject *const *objects, int objectCount, const ObjectHolder *holders = nullptr,
                  int holderCount = 0);
    // Frees every record.
    void Free();
};

// The alpha flags a texture name asks for: AlphaBlend when the name is longer
// than five characters and ends in "ALPHA", "ALP15" or "ALP24", AlphaTest when
// it ends in "ATEST" (any case); else 0. Every textured kind uses this rule.
uint8_t TextureNameAlphaFlags(const char *textureName);

// Replaces an advertisement texture name of the given track site by its
// picture file name. Our sites carry no advertisement table, so names pass
// unchanged; the table is kept here for sites that get one.
void SubstituteAdvertTextures(char textureName[16], const char *siteShortName);
