#include "vehicle/tyre_grip.h"

namespace {

struct GripTable {
    float grip[TyreTypeCount][SurfaceKindCount];
};

// Rows 0 and 4 to 7 as printed (each the float nearest the number); rows 1 to
// 3 are filled from row 0 below.
constexpr float PrintedRows[TyreTypeCount][SurfaceKindCount] = {
    {1.52f, 1.48f, 0.6f, 0.5f, 0.55f, 0.55f, 1.36f, 1.36f, 0.6f, 1.36f, 1.36f, 0.6f, 1.52f, 0.1f, 1.52f, 1.52f, 1.52f},
    {},
    {},
    {},
    {1.15f, 1.10f, 0.7f, 0.6f, 0.65f, 0.65f, 1.05f, 1.05f, 0.7f, 1.05f, 1.05f, 0.7f, 1.15f, 0.1f, 1.15f, 1.15f, 1.15f},
    {1.05f, 1.00f, 0.7f, 0.6f, 0.65f, 0.65f, 0.95f, 0.95f, 0.7f, 0.95f, 0.95f, 0.7f, 1.05f, 0.1f, 1.05f, 1.05f, 1.05f},
    {1.05f, 1.00f, 0.85f, 0.75f, 0.8f, 0.8f, 0.95f, 0.95f, 0.85f, 0.95f, 0.95f, 0.85f, 1.05f, 0.1f, 1.05f, 1.05f,
     1.05f},
    {0.9f, 0.9f, 0.95f, 0.85f, 0.9f, 0.9f, 0.8f, 0.8f, 0.95f, 0.8f, 0.8f, 0.95f, 0.9f, 0.1f, 0.9f, 0.9f, 0.9f},
};

// Rows 1 to 3 are row 0 lowered by 0.02, 0.04 and 0.06 on the road-like
// columns (those holding 1.52, 1.48 or 1.36). Each lowered value is the
// single-precision difference, rounded once, not the float nearest the
// printed number: 1.48f - 0.06f lies one unit in the last place above 1.42f.
// IEEE subtraction gives the same bits at compile time as at run time.
constexpr GripTable BuildGripTable() {
    constexpr float steps[4] = {0.0f, 0.02f, 0.04f, 0.06f};
    GripTable table = {};
    for (int row = 0; row < TyreTypeCount; ++row) {
        for (int column = 0; column < SurfaceKindCount; ++column) {
            if (row >= 1 && row <= 3) {
                const float base = PrintedRows[0][column];
                const bool lowered = base == 1.52f || base == 1.48f || base == 1.36f;
                table.grip[row][column] = lowered ? base - steps[row] : base;
            } else {
                table.grip[row][column] = PrintedRows[row][column];
            }
        }
    }
    return table;
}

constexpr GripTable gripTable = BuildGripTable();

}  // namespace

constinit const float (&TyreSurfaceGrip)[TyreTypeCount][SurfaceKindCount] = gripTable.grip;
