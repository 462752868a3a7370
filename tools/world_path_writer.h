#pragma once

// Writers of the world's path records, start and pit position objects and
// the camera triangle block, in the form the world reads them.

#include <cstdint>
#include <vector>

#include "core/containers.h"
#include "world/path.h"
#include "world/world.h"

class WorldWriter;

// One node record's fields. The delta entries are written as given.
struct PathNodeFields {
    uint8_t flags = 0;
    int32_t position[3] = {};                   // 16.16
    float direction[3] = {0.0f, 1.0f, 0.0f};
    float leftEdge = -5.0f, rightEdge = 5.0f;   // road edges, metres
    float outerLeft = -10.0f, outerRight = 10.0f;
    uint8_t band[PathBandBytes] = {};           // written when the path has PathHasBandData
    uint32_t value = 0;
    std::vector<IdListEntry> deltas[3];
};

struct PathLightMapFields {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> words;                // width x height are written (zeros when short)
    std::vector<PathLightMapItem> items;
};

struct PathFields {
    uint32_t flags = 0;
    std::vector<PathNodeFields> nodes;          // at most 65535 of each are written
    std::vector<PathNodeFields> secondNodes;
    std::vector<IdListEntry> baseLists[3];
    std::vector<PathLightMapFields> lightMaps;
};

// A node at (x, y) (16.16, z 0) heading `heading` radians: direction
// (-sin, cos, 0), road edges -halfWidth..halfWidth, outer limits 5 m beyond.
PathNodeFields PathNodeAt(int32_t x, int32_t y, float heading, float halfWidth);

// The path record: flags, a spare word, the two u16 node counts, the nodes
// (band data with PathHasBandData, never in the second list), the three base
// lists and the light maps.
void WritePath(WorldWriter &out, const PathFields &path);

// A start position object (pit 0) or pit position object (pit 1) with the
// position number 1..32 and no duplicator.
void WritePositionObject(WorldWriter &out, int version, int32_t x, int32_t y, float heading, int number, int pit);

struct CameraTriangleFields {
    uint32_t corners[3];
    uint32_t camera;
    float floorHeight;   // metres
};

// The camera block: u32 point count, the points (i32 x, y), u32 triangle
// count, the triangles.
void WriteCameraGeometry(WorldWriter &out, const std::vector<CameraPoint> &points,
                         const std::vector<CameraTriangleFields> &triangles);
