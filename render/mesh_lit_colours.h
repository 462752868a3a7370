#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"

struct ObjectMeshVertex;

// The two colour words of a lit mesh vertex (render/object_mesh_part.h): the
// lit word (ambient and sun) and the ambient word (ambient only). Light
// levels are per channel r, g, b on a scale where 255 is full; colour words
// are opaque ARGB. The shift of both words is (Modulate2xOn + lightClass + 7)
// taken modulo 32, so a brighter class darkens by halves.

// World-space unit normal (16.16). An unlit colour (flags bit 0) keeps its
// own colour in both words; otherwise the hemisphere ambient by n.z, and the
// sun of the current view where the normal faces it (d = n . sunDir at
// least 1).
void LightColourByNormal(ObjectMeshVertex *vertex, const Colour &colour, const FixVector &normal, int lightClass);

// Both words from the colour and the levels: the lit word with
// min(ambient + sun, 255), the ambient word with min(ambient, 255).
void SetLitColourPair(ObjectMeshVertex *vertex, const Colour &colour, const int32_t ambient[3],
                      const int32_t sun[3], int lightClass);
// Both words the ambient colour.
void SetAmbientColourPair(ObjectMeshVertex *vertex, const Colour &colour, const int32_t ambient[3],
                          int lightClass);
// Both words the colour itself.
void SetFlatColourPair(ObjectMeshVertex *vertex, const Colour &colour);
