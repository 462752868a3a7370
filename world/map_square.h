#pragma once

#include <cstdint>

class WorldObject;

// One of the world's 16 x 16 map squares: the solid objects whose bounds touch
// it and the objects whose reach radius touches it. Both lists point into the
// world's one square list buffer.
struct MapSquare {
    uint16_t solidCount;
    uint16_t radiusCount;
    WorldObject **solidList;    // null when solidCount is 0
    WorldObject **radiusList;   // null when radiusCount is 0
};
