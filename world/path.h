#pragma once

#include <cstdint>

#include "core/containers.h"

struct DataStream;

// One byte per world object index in a visibility plane; an object index in
// a path list must lie below this.
constexpr int VisibilityPlaneSize = 16384;
constexpr int PathBandBytes = 128;       // 8 lateral groups of two 8-byte halves
constexpr int PathMaxSplits = 3;

// Path flag bits.
constexpr uint32_t PathClosedLoop = 1;
constexpr uint32_t PathUsesKnowledge = 4;   // path knowledge and lap timing on solids
constexpr uint32_t PathReversible = 8;
constexpr uint32_t PathHasBandData = 16;

// The farthest, in metres, a node's edges, outer limits and driving lines
// may lie from its centre, and the largest component its direction may
// have. Anything beyond (or not a number) damages the record: with these
// bounds a lateral point scaled to 16.16 stays well inside the 32-bit range
// (2 x 10000 m against 32768 m).
constexpr float PathMaxLateral = 10000.0f;
constexpr float PathMaxDirection = 2.0f;

inline bool IsSoundPathLateral(float metres)
{
    return metres >= -PathMaxLateral && metres <= PathMaxLateral;
}

// One learned driving line of a node: lateral offset and weight, and where
// the line meets the ground with its colour (alpha in the top byte).
struct DrivingLine {
    float offset;        // metres, positive right of the direction of travel
    float weight;
    int32_t point[3];    // 16.16
    uint32_t colour;
};

// A cross-section of the track. Lateral offsets are metres along the right
// hand normal (dir.y, -dir.x). The record owns its three delta lists but has
// no destructor: node arrays move whole records around (reversal), and the
// owning Path frees the lists.
struct PathNode {
    uint8_t flags = 0;
    uint8_t spare[3] = {};
    int32_t position[3] = {};          // 16.16
    float direction[3] = {};           // unit vector along the path
    float leftEdge = 0.0f;             // road edges
    float rightEdge = 0.0f;
    float outerLeft = 0.0f;            // drivable area
    float outerRight = 0.0f;
    float distance = 0.0f;             // metres along the path (lap timing)
    DrivingLine lines[3] = {};
    uint8_t band[PathBandBytes] = {};  // only with PathHasBandData
    uint32_t value = 0;
    IdList deltas[3] = {};             // visibility changes to the next span

    PathNode() = default;
    // A node between a and b at fraction t (PathNode::Interpolate).
    PathNode(const PathNode &a, const PathNode &b, float t, int full);

    // One node record. 0, or non-zero when the record runs past the data, a
    // direction component or lateral limit lies beyond its bound above, or
    // a list names an object index of VisibilityPlaneSize or more (the node
    // then holds no lists).
    int Read(DataStream *stream, int version, int withBandData);
    // Replaces the node by the one at fraction t between a and b (its own
    // lists are freed). Returns 5 x the plan distance from a to b along the
    // new direction.
    float Interpolate(const PathNode &a, const PathNode &b, float t, int full);
    // The ground point at lateral offset `offset`, kept margin + 1 m inside
    // the outer limits; z of the node.
    void GetLateralPoint(int32_t point[3], float margin, float offset) const;
    // The timing value of the solid under the node (0 when none) and, when
    // onRoad is given, whether its surface is a road kind. When the program
    // draws, also drops the three line points onto the ground.
    int QueryGround(int *onRoad);
    void FreeLists();
};

// One light map of a path, handed to the light-map builder.
struct PathLightMapItem {
    uint8_t bytes[8];
};
static_assert(sizeof(PathLightMapItem) == 8, "a light map item is stored as 8 bytes");

struct PathLightMap {
    uint32_t width;
    uint32_t height;
    uint32_t *words;              // width x height, owned
    PathLightMapItem *items;      // width x height, owned
};

// The chain of nodes of one configuration.
struct Path {
    uint32_t flags = 0;
    int32_t nodeCount = 0;
    PathNode *nodes = nullptr;            // owned
    int32_t secondNodeCount = 0;
    PathNode *secondNodes = nullptr;      // owned; never with band data
    int32_t lightMapCount = 0;            // must equal the world's light scheme count
    PathLightMap *lightMaps = nullptr;    // owned
    IdList baseLists[3] = {};             // starting values of the visibility planes
    int32_t centre[3] = {};               // 16.16, z 0
    int32_t radius = 0;                   // 16.16, at least 384 m
    float onRoadShare = 0.0f;             // knowledge paths only
    int32_t finishNode = -1;
    int32_t splitNodes[PathMaxSplits] = {-1, -1, -1};

    Path() = default;
    ~Path();
    Path(const Path &) = delete;
    Path &operator=(const Path &) = delete;

    // Reads the path record. 0, or non-zero when the record is damaged (a
    // count larger than the bytes left, an object index of 16384 or more, a
    // read past the end); the path is then empty.
    int Read(DataStream *stream, int version);
    void FreeNodes();
    void FreeSecondNodes();
    // Both node arrays, the base lists and the light maps.
    void FreeAll();
    // Turns the path round in place: both node arrays (ReversePathNodes), the
    // bit order of the base lists, and every light map reversed and rotated
    // left by `rotation` elements (the configuration's light map factor 1 x
    // factor 2) modulo its size. Doing it twice restores the path.
    void Reverse(int rotation);
};

// One configuration of the track.
struct WorldConfig {
    char name[32] = {};
    Path path;
    int32_t lightMapFactor1 = 24;
    int32_t lightMapFactor2 = 6;
};

// Pulls the outer limits of neighbouring nodes to within `step` metres of
// each other (less 0.001), never outward; neighbours wrap at the ends.
void SmoothOuterLimits(PathNode *nodes, int count, float step);

// Reverses the order of the nodes and mirrors each one (direction, edges,
// limits, band data, the bits of its delta values).
void ReversePathNodes(PathNode *nodes, int count);

// Finish and split nodes, node distances, centre and radius, and for a
// knowledge path the on-road share, for the current world's configuration.
void SetUpLapTiming(Path *path);
