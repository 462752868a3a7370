#pragma once

#include <cstdint>

// The shadow casters that the draw passes project onto the world meshes:
// one record per possible caster, filled by the scene pass. Until the
// caster textures are rendered the active count stays 0 and no caster is
// honoured.

struct RenderObject;
struct TextureRecord;

constexpr int MaxShadowCasters = 32;      // one bit of an item mask each
constexpr int MaxShadowCasterObjects = 8;

struct ShadowCaster {
    uint8_t preset;             // non-zero: uses the preset texture, not rendered
    uint8_t cellKind;           // 0 large cell, else small
    uint8_t objectCount;        // 0..8
    uint8_t allVertices;        // fit the light view to every hull vertex
    float lightDirection[4];    // x, y, z and a height offset
    uint8_t colour[4];          // R, G, B, reserved
    float horizontalAxis[2];
    RenderObject *objects[MaxShadowCasterObjects];
    int32_t items[MaxShadowCasterObjects];
    float lightMatrix[16];
    TextureRecord *presetTexture;
    float fieldOfView;          // radians, preset casters
    float lightViewProjection[16];
    float textureMatrix[16];    // object space to the caster's texture
    TextureRecord *texture;     // the rendered (or preset) result
};
static_assert(sizeof(void *) != 4 || sizeof(ShadowCaster) == 300, "caster records are 300 bytes");

extern ShadowCaster ShadowCasters[MaxShadowCasters];
// Casters whose textures exist this frame.
extern int ActiveShadowCasterCount;

// The texture of caster `index`; null outside the active count.
TextureRecord *GetShadowCasterTexture(int index);
