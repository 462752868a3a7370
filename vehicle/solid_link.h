#pragma once

#include <cstdint>

// One link of a solid or lathe object (8 bytes in memory and in the world
// file): the strip between two curves. In a lathe object curveA and curveB are
// profile point indices. The world's solids and lathe objects use this
// record; the hull builder of movable objects reads it.
struct SolidLink {
    uint16_t surface;    // index of the link's TrackColour in the world's colour set
    uint8_t collide;     // non-zero: the link takes part in contact probes
    uint8_t measured;    // non-zero: its length enters the mesh builder's texture lengths
    uint16_t mapping;    // passed to the mesh builder with the link
    uint8_t curveA;
    uint8_t curveB;
};
static_assert(sizeof(SolidLink) == 8, "SolidLink is stored as 8 bytes");
