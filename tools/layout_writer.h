#pragma once

// Layout files from a list of records, for the default-data generator and
// tests: the data-file header "KZVLYT" at the current version, then the body
// the game writes.

#include "world/layout.h"

// 0, or the opening or writing error text.
const char *WriteLayoutFile(const char *path, const LayoutRecord *records, int count, int laps);

// Records of the kinds a layout holds (positions in metres, headings in
// radians as the game packs them).
LayoutRecord LayoutObjectRecord(float x, float y, float height, int duplicator, float heading);
// A start point (width 0) or a timing line (width 1..15 m, index 0 finish,
// 1..3 checkpoints).
LayoutRecord LayoutTimingRecord(float x, float y, float height, int width, int index, float heading);
// A checkpoint circle with its order number, or a restricted area with its
// figure number (0..3) and heading.
LayoutRecord LayoutCheckCircleRecord(float x, float y, float height, int radius, int order);
LayoutRecord LayoutRestrictedRecord(float x, float y, float height, int radius, int figure, float heading);
