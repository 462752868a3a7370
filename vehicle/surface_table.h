#pragma once

#include <cstdint>

#include "vehicle/tyre_grip.h"

// What each surface kind under a wheel (0..16) means to the tyre. 12 bytes a
// record: the table is folded into the race state checksum.
struct SurfaceInfo {
    float capability;     // read by the AI's capability estimate
    float drag;           // drag coefficient of the loose-ground spring; 0 on firm ground
    uint8_t loose;        // 1 on loose ground: loose tyre curves, no dirt factor, dirt deposits
    uint8_t otherValue;   // not read by the vehicle code
    uint8_t onRoad;       // read by the path nodes and the car step
    uint8_t dirtPercent;  // most dirt, in percent, that the ground leaves on a tread
};
static_assert(sizeof(SurfaceInfo) == 12, "surface records are 12 bytes");

// The kind used when the wheel's probe hit no surface.
constexpr int NoSurfaceKind = 13;

// Constant data, indexed by surface kind, ready before the program's first step.
extern const SurfaceInfo SurfaceTable[SurfaceKindCount];
