#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"

// Vertex colours of geometry lit on the CPU: a base colour under a
// hemisphere light (the view's ground colour below, its sky light above),
// the sun, and for shiny parts a highlight of the sun and the sky. Every
// input comes from the current view; normals are 16.16 unit vectors.
//
// With Modulate2xOn (the texture stage doubles the vertex colour) the
// colours are made at half intensity.

// The hemisphere light levels: GroundLight = min(ground colour x 255 / 200,
// 255) per channel, SkyGroundDelta = (sky light - ground colour) x 255 / 200.
extern uint8_t GroundLight[3];
extern int32_t SkyGroundDelta[3];

// Recomputes both from the current view; whenever its light changes.
void UpdateHemisphereLight();

// View-space normal: hemisphere and sun; packed with PackPixelColour.
uint32_t ShadeColour(const FixVector &normal, const Colour &colour);
// View-space normal; an unlit colour (flag bit 0) is returned as it is.
// The channels are shifted down by `shift` more; alpha 0xFF, ARGB.
uint32_t ShadeColourUnlessUnlit(const FixVector &normal, const Colour &colour, int shift);
// View-space normal: hemisphere, sun and the sun highlight of the view's
// sunHalf, at 3/4 intensity; alpha 0xFF, ARGB.
uint32_t ShadeColourHighlighted(const FixVector &normal, const Colour &colour);
// The highlight alone: the sun's (sunHalf) and the sky's (upHalf), each only
// above a dot product of 0.5, rising with its fourth power; alpha 0xFF.
uint32_t ShadeHighlight(const FixVector &normal);
// World-space normal: hemisphere by its z, the sun by the world sun
// direction; an unlit colour is packed as it is.
uint32_t ShadeColourUpward(const FixVector &normal, const Colour &colour);
