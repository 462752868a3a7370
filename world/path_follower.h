#pragma once

#include <cstdint>

#include "world/path.h"

// Where a point lies along the world's current path, and the three
// visibility planes that go with that span: one byte per object index, bit b
// set when the object is seen from lateral band b. The planes of span i are
// the path's base lists written in, then the deltas of nodes 0..i XORed in,
// so a follower that moves forward one span XORs in the next node's deltas
// and one that moves back XORs in its own node's.
class PathFollower {
public:
    Path *path;
    int32_t node;        // first node of the span the point is in; -1 unknown
    int32_t lost;        // 1 when the last search failed or could not run
    uint8_t planes[3][VisibilityPlaneSize];

    PathFollower() { Reset(); }

    // Everything 0, node -1; with a world, the bytes of the layout objects
    // (from the world's own object count up) 0xFF in every plane, so layout
    // objects are seen from everywhere.
    void Reset();
    // Resets, then searches the current world's path for the span holding
    // point (16.16; x and y count). With deltas the planes follow the
    // search. Returns the node, or -1 (lost) with the message the failure
    // calls for.
    int FindPosition(const int32_t point[3], int withDeltas);
    // The lost flag after making sure the node is known: a known node stays;
    // an unknown one is searched for with deltas.
    int EnsurePosition(const int32_t point[3]);
    // (node + 1) and (n + 1) modulo the node count; -1 without nodes.
    int NextNodeIndex() const;
    int NodeAfter(int n) const;
    // XORs node n's three delta lists into the planes.
    void ApplyNodeDeltas(int n);
};

// The car's follower comes from the world: the program calls this once at
// start-up so that the car (vehicle code, which cannot see this class) can
// make and free its follower through CarServices.
void RegisterPathFollowerFactory();
