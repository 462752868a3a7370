#pragma once

#include <cstdint>

#include "world/world_object.h"

// A turned rectangle on the ground: a speed limit zone (non-zero speed
// limit, the pit lane) or a camera zone (flag bit 0), or both. The world
// collects the zones of the current configuration and asks the point test.
class ZoneObject : public HeadedWorldObject {
public:
    ZoneObject(int32_t x, int32_t y);

    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectZone; }
    void Prepare() override;

    int IsCameraZone() const { return flags & 1; }
    // Non-zero when the ground point (16.16) lies strictly inside the
    // rectangle; a point on an edge is outside. Needs Prepare.
    int ContainsPoint(int32_t x, int32_t y) const;

    uint32_t flags = 0;             // bit 0 camera zone, bit 1 tied to a path node
    uint8_t speedLimit = 80;        // km/h; 0 = no speed limit zone
    uint8_t keptBytes[3] = {};
    float keptFloat = 0.0f;
    float halfLength = 5.0f;        // metres
    float halfWidth = 30.0f;        // metres
    float sine = 0.0f;
    float cosine = 0.0f;
    float reachSquared = 0.0f;      // m^2
    int32_t cameraPosition[3] = {}; // 16.16, camera zones only
    float cameraValue = 0.0f;
    int32_t lateralBand = 0;        // eighth of the path width, set by the world
    uint8_t visibilityPlane[16384] = {};
};
