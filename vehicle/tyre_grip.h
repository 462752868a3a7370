#pragma once

// Grip factor of a tyre on a surface: row = the set-up's tyre type (0..7),
// column = the surface kind under the wheel (0..16; 13 when the wheel's probe
// hit no surface). Constant data, ready before the program's first step.
constexpr int TyreTypeCount = 8;
constexpr int SurfaceKindCount = 17;

extern const float (&TyreSurfaceGrip)[TyreTypeCount][SurfaceKindCount];
