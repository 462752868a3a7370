#pragma once

#include <cstdint>

#include "core/fixed_math.h"

// Records owned elsewhere that a probe only points at: the surface record of
// the world's colour set and the body whose face was hit. The vehicle library
// never looks inside a TrackColour; it asks the world query (world_query.h).
struct TrackColour;
class RigidBody;

// The record that every contact query fills: a body's collision points, the
// tyre probes of a car and the world's own contact queries all use it. The
// probed line runs from endPoint - segment to endPoint; a query replaces the
// hit only by one with a larger fraction (nearer the start of the line).
struct ContactProbe {
    FixVector endPoint;           // 16.16: where the point will be at the end of the tick
    FixVector segment;            // 16.16: from the body's predicted centre of mass to endPoint
    FixVector hitPoint;           // 16.16
    float normal[3];              // unit surface normal at the hit
    const TrackColour *surface;   // surface hit, or null (a body's face, the ground plane)
    RigidBody *otherBody;         // body whose face was hit, or null
    int32_t fraction;             // 16.16: hit = endPoint - fraction x segment; 0 = no hit
    uint32_t tag;                 // checkpoint number a solid's contact query writes

    // Every field 0 (null pointers, no hit).
    void Clear() {
        endPoint = {0, 0, 0};
        segment = {0, 0, 0};
        hitPoint = {0, 0, 0};
        normal[0] = 0.0f;
        normal[1] = 0.0f;
        normal[2] = 0.0f;
        surface = nullptr;
        otherBody = nullptr;
        fraction = 0;
        tag = 0;
    }
};
