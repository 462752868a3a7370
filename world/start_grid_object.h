#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "world/world_object.h"

// Worlds older than version 251 of this site get 16 grid rows after reading,
// whatever the record says.
extern const char SixteenRowGridSite[3];

// Where cars stand at the start: rows and columns of slots behind the first
// slot, straight, or bending along a cubic from the curve row on. Cars face
// (-sin heading, cos heading).
class StartGridObject : public HeadedWorldObject {
public:
    StartGridObject(int32_t x, int32_t y);

    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectStartGrid; }
    void Prepare() override;

    // Position (16.16) and heading of slot n (0-based). Without columns, or
    // for a negative n, there are no slots: the origin and heading 0. Needs
    // Prepare.
    void GetSlotPosition(int n, FixVector &position, float &slotHeading) const;

    uint32_t flags = 0;           // bit 0 mirrored columns, bit 1 curved
    uint8_t columns = 2;
    uint8_t rows = 16;
    uint8_t curveRow = 0;         // the first row on the curve
    uint8_t spareByte = 0;
    float height = 0.0f;          // metres, the slots' z
    float width = 10.0f;          // metres between the outer columns
    float rowSpacing = 16.0f;     // metres
    float columnStagger = 8.0f;   // metres back per column within a row
    int32_t curveEndX = 0;        // 16.16, curved grids
    int32_t curveEndY = 0;
    float curveEndHeading = 0.0f;
    int32_t curveX[4] = {};       // 16.16 cubic coefficients c0..c3, t = 0 at the curve end
    int32_t curveY[4] = {};
    FixVector forward = {};       // 16.16 unit vector
    int32_t curveStartX = 0;      // 16.16
    int32_t curveStartY = 0;
    int32_t curveLength = 0;      // 16.16 plan distance from the curve end to its start
};
