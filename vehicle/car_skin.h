#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/containers.h"

struct Material;
struct ModelNode;

// The program's skin state word: 1 after a car's skin was settled, 2 while
// the downloaded-skins folder is looked in, 3 when the high-resolution
// folder is ("Auto Get Skins " 2).
extern uint32_t SkinStateWord;

// Tints a list of colour records (bytes 0-3 the colour, then the name): a
// record whose name has a letter at position 4 and a digit d = 1..4 at
// position 5 (0-based) takes colour d: "C" and "M" (any case) all four
// bytes, "D" 3/5 and "E" 2/5 of red, green and blue (integer division);
// other letters leave it alone.
void TintMaterials(CellGrid *materials, const Colour colours[4]);

// The texture rectangle's v offset (1/64 of the texture) of a plate slot's
// band: 48 - 16 x (slot % 4), the remainder taking the slot's sign.
int PlateBandOffset(int32_t plateSlot);

// Stores the texture in every material list of a model node (null-safe).
void SetMaterialTexture(ModelNode *node, Material *texture);
