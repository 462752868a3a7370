#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "world/world_object.h"

class World;
struct ViewRecord;

// A television camera position beside the track: a height, a fixed direction
// or a target-following mode, and a zoom law. Never drawn, never collides.
class CameraObject : public HeadedWorldObject {
public:
    CameraObject(int32_t x, int32_t y);

    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectCamera; }
    void Prepare() override;

    int IsFixed() const { return flags & 1; }
    int IsFollowing() const { return (flags >> 1) & 1; }
    int HasZoomRange() const { return (flags >> 2) & 1; }

    uint32_t flags = 0;          // bit 0 fixed direction, bit 1 follow with fixed zoom, bit 2 zoom range
    float height = 0.0f;         // metres, the camera's z
    float pitch = 0.0f;          // radians, fixed direction only
    float zoom = 1.0f;           // 0.05..4.0
    float farDistance = 100.0f;  // metres
    float nearZoom = 1.0f;       // 0.05..4.0
    float nearDistance = 10.0f;  // metres
};

// Aims the view from the camera object with that index in the world's object
// array at the target (16.16): the view's eye and back (the unit vector from
// the target toward the camera). zoom becomes the camera's zoom law at this
// distance. Returns 0, leaving the view and zoom alone, when the index does
// not name a camera object.
int AimTvCamera(const World &world, const FixVector &target, int cameraIndex, ViewRecord &view, float &zoom);
