#pragma once

#include <cstdint>

#include "core/fixed_math.h"

// Where the cars' tyre marks, smoke and dust go. The scene keeps the shared
// ring of mark segments and the list of fading sprites and draws them; the
// car only decides what to lay and hands it over through these entries. The
// layer that owns the ring and the list registers them at start-up; an empty
// entry drops what it is given, so a program without the scene (or a test)
// runs the car unchanged.
struct TyreMarkSink {
    // Extends a wheel's mark: left and right are the 16.16 world points of the
    // mark's new end, intensity 0..1 its darkness (the segment's alpha is
    // intensity x 255, kept within 0..255), segment the index the previous
    // call returned or -1 to start a new mark, node the path node stored with
    // the segment. Returns the index to pass next time.
    int32_t (*addSkidMark)(const FixVector &left, const FixVector &right, float intensity, int32_t segment,
                           uint16_t node);
    // Sets the alpha byte of a ring segment to 0: the end of a mark.
    void (*clearSegmentAlpha)(int32_t segment);
    // Appends a fading sprite: position and velocity (per second) as 16.16
    // triples, start and end size in 16.16 metres, colour red, green, blue and
    // alpha, lifetime in milliseconds. Ignored when the list is full.
    void (*addSprite)(const FixVector &position, const FixVector &velocity, int32_t startSize, int32_t endSize,
                      const uint8_t colour[4], int32_t lifetime);
};

extern TyreMarkSink TyreMarks;

// Null-safe callers. Without a registered entry a mark call returns -1 (the
// next call starts a new mark) and the others do nothing.
int32_t SinkAddSkidMark(const FixVector &left, const FixVector &right, float intensity, int32_t segment,
                        uint16_t node);
void SinkClearSegmentAlpha(int32_t segment);
void SinkAddSprite(const FixVector &position, const FixVector &velocity, int32_t startSize, int32_t endSize,
                   const uint8_t colour[4], int32_t lifetime);
