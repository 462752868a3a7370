#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "world/world_object.h"

struct ModelNode;

constexpr uint32_t NoRotorDuplicator = 0xFFFFFFFFu;

// A wind turbine: one of the world's duplicators (a 3D object) at a place
// and height, turned to face the wind, whose first child part (the rotor)
// spins faster as the wind grows. It takes no part in collisions.
class WindRotorObject : public WorldObject {
public:
    WindRotorObject(int32_t x, int32_t y);

    void Release() override { FreeModel(); }
    // Refuses a duplicator index at or beyond the world's duplicator count
    // (NoRotorDuplicator is none). A record with a duplicator frees any model.
    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectWindRotor; }
    void Prepare() override;

    // Frees the model built from the duplicator's 3D object.
    void FreeModel();

    // The motion that drawing runs: the rotor turns about the vertical axis
    // to the wind's base direction (radians) ...
    void FaceWind(float baseDirection);
    // ... and, with n the race ticks since the last call (from the tick's
    // low byte, at most 4; none while the tick stands), the rotor angle goes
    // back by 0.01 x 6956.81 x sqrt(baseSpeed) x n units: 2/3 x sqrt(speed)
    // radians per second of race time.
    void AdvanceRotor(uint32_t raceTick, float baseSpeed);

    float height = 0.0f;                    // metres
    uint32_t unused = 0;
    uint32_t duplicator = NoRotorDuplicator;  // index into the world's duplicator table
    ModelNode *model = nullptr;             // owned; built with drawing
    uint16_t rotorAngle = 0;                // 65536 units per turn
    uint8_t lastTick = 0;                   // race tick low byte of the last advance
    FixTransform transform = IdentityTransform;
};
