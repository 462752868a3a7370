#pragma once

#include <cstdint>

#include "world/world_object.h"

// A cloth flag hanging from a pole: 5 x 4 mass points (column 0 pinned to
// the pole) plus one point in the middle of each of the 12 cells, joined by
// springs, pulled down by gravity and pushed by the wind along each point's
// normal. The cloth moves one step per race tick, at most 4 per frame, and
// only while drawing asks it to.

constexpr int FlagRows = 4;
constexpr int FlagColumns = 5;
constexpr int FlagCellRows = FlagRows - 1;
constexpr int FlagCellColumns = FlagColumns - 1;

constexpr float FlagMinWidth = 1.0f;
constexpr float FlagMaxWidth = 4.0f;
constexpr float FlagMinHeight = 0.5f;
constexpr float FlagMaxHeight = 3.0f;

// Gravity when there is no world (m/s^2 along z).
constexpr float FlagDefaultGravity = -9.81f;

struct FlagPoint {
    uint8_t free;         // 0 pinned to the pole
    int32_t position[3];  // 16.16
    float normal[3];
    float velocity[3];    // m/s
    float force[3];       // N
};

class FlagObject : public WorldObject {
public:
    FlagObject(int32_t x, int32_t y);

    // Clamps the size (width 1..4, the height scaled with a wide flag, then
    // 0.5..3) and refuses a surface at or beyond the world's colour count.
    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectFlag; }
    void Prepare() override;

    // Lays the points out flat along x from the pole, at rest, with gravity
    // g (m/s^2) as their force.
    void InitPoints(float gravity);
    // One spring between a and b with its rest length (metres) and stiffness.
    static void Spring(FlagPoint &a, FlagPoint &b, float rest, float stiffness);
    // out.normal = ((b - a) x (d - c)) x scale, positions in metres.
    static void SetNormal(FlagPoint &out, const FlagPoint &a, const FlagPoint &b, const FlagPoint &c,
                          const FlagPoint &d, float scale);
    // The cloth steps for the race ticks since the last call (from the
    // tick's low byte, at most 4; none while the tick stands), with the wind
    // velocity (m/s) and gravity (m/s^2 along z).
    void StepCloth(uint32_t raceTick, const float wind[3], float gravity);

    FlagPoint &Point(int row, int column) { return points[row * FlagColumns + column]; }
    // The cell point between rows row - 1 and row and columns column - 1 and
    // column (row 1..3, column 1..4).
    FlagPoint &CellPoint(int row, int column) { return cells[(row - 1) * FlagCellColumns + column - 1]; }

    uint32_t flags = 0;           // bit 0: the back shows the texture unmirrored
    float poleHeight = 2.0f;      // metres, the top edge
    float width = 2.0f;
    float height = 1.5f;
    uint16_t surface = 0;         // TrackColour index
    uint8_t lastTick = 0;
    uint8_t spareByte = 0;
    FlagPoint points[FlagRows * FlagColumns] = {};
    FlagPoint cells[FlagCellRows * FlagCellColumns] = {};
};
