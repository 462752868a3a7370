#pragma once

// The screen layout of the views: one display, a wide display or a row of
// monitors, kept in data\misc\views.bin.

// The 3D window's share of the back buffer (width and height fractions,
// 0..1); the interface is laid out over the same area. 1.0 and 1.0 until the
// views file is read and applied.
extern float ViewWidthFraction;
extern float ViewHeightFraction;

// Sets the defaults, then reads data\misc\views.bin over them; a missing or
// unreadable file leaves the defaults.
void ReadViewGeometry();
// Writes data\misc\views.bin (at shutdown).
void WriteViewGeometry();
