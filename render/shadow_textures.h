#pragma once

#include <cstdint>

#include "platform/graphics_device.h"

// The car shadows' textures. Each frame the scene pass fills the caster
// records (render/shadow_casters.h); RenderShadowTextures draws every
// rendered caster as a flat colour, seen from its light, into a cell of one
// atlas render target, blurs the atlas by halving it once or twice, and
// copies each cell into a small tile texture of its own, which the masked
// draw passes then project onto the world meshes through the caster's
// texture matrix.
//
// Atlas sides 1024, 512, 256 and 128 ("0~SHTX<side>"); 64 tile slots
// ("X<column>Y<row>~<cell side>"): 0..7 the big atlas's large cells,
// 8..31 its medium cells (or a normal atlas's large ones), 32..63 the small
// cells. Every one of them is a render target of ShadowTextureFormat kept
// between frames and released before a device Reset.

struct RenderObject;
struct ShadowCaster;
struct TextureRecord;

// The render-texture format of the shadow atlases and tiles: the back
// buffer's usual format.
constexpr uint32_t ShadowTextureFormat = RenderFormatX8R8G8B8;
constexpr int ShadowTileSlots = 64;

// 0, or the code of the last failure (1 atlas, 2 atlas target, 3 halved
// atlas, 4 halved atlas target, 5 tile texture). Non-zero stops all shadow
// rendering until ReleaseShadowTextures.
extern int ShadowFailure;

// Adds an object (and the item of it to draw) to a caster; ignored when the
// caster holds 8 already or either pointer is null.
void AddShadowCaster(ShadowCaster *caster, RenderObject *object, int item);

// Renders the first `count` casters of ShadowCasters with tile side
// `tileSide` (32, or 64 for the high shadow setting). Outside a scene's
// target switches the viewport, the back buffer and the scene are as
// before. A count above the caster array, or a tile side whose atlas side
// (16 x tileSide) is not one of the four, fails (codes 1) without
// rendering.
void RenderShadowTextures(int count, int tileSide);

// The atlas of a side (1024, 512, 256 or 128), made on first use; null for
// other sides or when it cannot be made.
TextureRecord *GetShadowTexture(int side);
// The tile texture of a slot (null when not made or out of range).
TextureRecord *GetShadowTileTexture(int slot);

// Destroys every tile and atlas texture, clears ShadowFailure and the
// active caster count.
void ReleaseShadowTextures();

// Draws `source` (of side `sourceSide`) halved into the top-left
// sourceSide / 2 square of the current target, each pixel the average of
// 2 x 2 texels: the blur step of RenderShadowTextures.
void DrawShadowHalving(TextureRecord *source, int sourceSide);

// --- Cells (exposed for the tests) ----------------------------------------

struct ShadowCell {
    int x, y;     // pixel position in the atlas
    int side;
    int perRow;   // cells of this side per atlas row
    int index;    // in units of this side, row by row
    int tileSlot; // 0..63
};

// The three cell counters to 0.
void ResetShadowCells();
// The next cell for a caster of `kind` (0 large, else small) in an atlas
// built for tile side `tileSide` (big when >= 64), with base side `base`.
ShadowCell AllocateShadowCell(int kind, int base, int tileSide);

// Builds the caster's light view-projection (world to the clip space of its
// cell) and texture matrix for a cell of `cellSide` texels: every bounding
// point of its objects lands inside the cell with one texel of the final
// tile (cellSide / 4) free on each side.
void FitShadowLightView(ShadowCaster &caster, int cellSide);
