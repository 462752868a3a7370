#pragma once

#include <cstdint>

#include "core/fixed_math.h"

// The grid of directions on the unit sphere along which every tree draws its
// branches. It sways in the wind once per frame, so the whole forest moves
// together at no cost per tree. Ring r = 0..15 runs from straight up (polar
// angle 0) to straight down (r x pi / 15); column c = 0..23 goes round the
// vertical axis (azimuth c x 2 pi / 24).
constexpr int SphereGridRings = 16;
constexpr int SphereGridColumns = 24;
constexpr int SphereGridEntries = SphereGridRings * SphereGridColumns;

struct SphereGridEntry {
    FixVector rest;      // 16.16 unit vector of the entry's direction
    FixVector current;   // where the swaying point is now
    FixVector unit;      // current, normalised
    float velocity[3];   // m/s
};

struct SphereGrid {
    SphereGridEntry entries[SphereGridEntries];   // ring by ring

    SphereGridEntry &At(int ring, int column) { return entries[ring * SphereGridColumns + column]; }
    const SphereGridEntry &At(int ring, int column) const { return entries[ring * SphereGridColumns + column]; }
};

extern SphereGrid TreeSphereGrid;

// Resets the grid: rest, current and unit points filled, velocities cleared.
// At start-up, and when a race starts or the user leaves the track.
void BuildSphereGrid();

// Advances the sway for one drawn frame: clockStepMs / 10 steps of 0.01 s,
// held to 1..4, each pulling every point back to rest and pushing it with
// the wind velocity (m/s; x, y, z).
void SwaySphereGrid(int clockStepMs, const float wind[3]);
