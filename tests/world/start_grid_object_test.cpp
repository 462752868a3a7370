#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "world/start_grid_object.h"
#include "world/world.h"
#include "world_bytes.h"

namespace {

constexpr int32_t Metre = 65536;

WorldBytes GridBytes(uint32_t flags, uint8_t columns, uint8_t rows)
{
    WorldBytes b;
    b.U8(ObjectStartGrid).U8(0).U16(0).U32(0).U32(0);   // pre-251 header at the origin
    b.U32(flags).U8(columns).U8(rows).U8(1).U8(0).F32(0.0f).F32(1.5f).F32(12.0f).F32(15.0f).F32(6.0f);
    if (flags & 2) {
        b.U32(3 * Metre).U32(-40 * Metre).F32(0.25f);
    }
    return b;
}

StartGridObject Grid(uint32_t flags, int columns, float stagger)
{
    StartGridObject grid(100 * Metre, 200 * Metre);
    grid.flags = flags;
    grid.columns = static_cast<uint8_t>(columns);
    grid.rows = 8;
    grid.width = 10.0f;
    grid.rowSpacing = 16.0f;
    grid.columnStagger = stagger;
    grid.Prepare();
    return grid;
}

TEST(StartGridObject, RecordLengthAndTheSixteenRowSite)
{
    struct Case {
        uint32_t flags;
        int version;
        const char *site;
        int rows;
    };
    const Case cases[] = {
        {0, 250, "AA", 5},
        {2, 250, "AA", 5},
        {0, 250, SixteenRowGridSite, 16},
        {2, 251, SixteenRowGridSite, 5},
    };
    for (const Case &c : cases) {
        CurrentWorld = WorldCreate();
        strcpy(CurrentWorld->shortName, c.site);
        WorldBytes bytes = GridBytes(c.flags, 3, 5);
        if (c.version >= 251) {
            bytes.bytes[2] = 0;   // 251 header: reach 0, spare byte
            bytes.bytes[3] = 0;
        }
        DataStream stream;
        bytes.Open(stream, c.version);
        const WorldObjectResult result = CreateWorldObject(&stream, c.version);
        ASSERT_EQ(result.error, WorldObjectOk);
        EXPECT_EQ(stream.Remaining(), 0) << c.flags;
        StartGridObject *grid = static_cast<StartGridObject *>(result.object);
        EXPECT_EQ(grid->rows, c.rows) << c.site << " " << c.version;
        EXPECT_EQ(grid->columns, 3);
        EXPECT_EQ(grid->height, 1.5f);
        EXPECT_EQ(grid->columnStagger, 6.0f);
        EXPECT_EQ(grid->curveEndY, (c.flags & 2) ? -40 * Metre : 0);
        EXPECT_EQ(grid->curveEndHeading, (c.flags & 2) ? 0.25f : 0.0f);
        delete grid;
        WorldDestroy(CurrentWorld);
    }
}

TEST(StartGridObject, CutRecordIsRefused)
{
    WorldBytes bytes = GridBytes(2, 2, 4);
    bytes.bytes.resize(bytes.bytes.size() - 2);
    DataStream stream;
    bytes.Open(stream, 250);
    EXPECT_EQ(CreateWorldObject(&stream, 250).error, WorldObjectBadRecord);
}

TEST(StartGridObject, StraightSlotPositions)
{
    struct Case {
        uint32_t flags;
        int columns;
        float stagger;
        int slot;
        float lateral;   // metres to the right of the grid's centre line (+x at heading 0)
        float back;      // metres behind the first slot
    };
    const Case cases[] = {
        {0, 2, 0.0f, 0, -5.0f, 0.0f},
        {0, 2, 0.0f, 1, 5.0f, 0.0f},
        {1, 2, 0.0f, 0, 5.0f, 0.0f},    // mirrored
        {1, 2, 0.0f, 1, -5.0f, 0.0f},
        {0, 1, 0.0f, 3, 0.0f, 48.0f},   // one column stands on the centre line
        {0, 2, 8.0f, 3, 5.0f, 24.0f},   // row 1, column 1: 16 + 8
        {0, 3, 0.0f, 4, 0.0f, 16.0f},
    };
    for (const Case &c : cases) {
        const StartGridObject grid = Grid(c.flags, c.columns, c.stagger);
        FixVector position;
        float heading = 1.0f;
        grid.GetSlotPosition(c.slot, position, heading);
        EXPECT_EQ(position.x, 100 * Metre + int32_t(c.lateral * Metre)) << c.columns << " slot " << c.slot;
        EXPECT_EQ(position.y, 200 * Metre - int32_t(c.back * Metre)) << c.columns << " slot " << c.slot;
        EXPECT_EQ(heading, 0.0f);
    }
}

TEST(StartGridObject, NoColumnsGiveNoSlots)
{
    const StartGridObject grid = Grid(0, 0, 8.0f);
    FixVector position;
    float heading = 1.0f;
    grid.GetSlotPosition(3, position, heading);
    EXPECT_EQ(position.x, 0);
    EXPECT_EQ(position.y, 0);
    EXPECT_EQ(heading, 0.0f);
}

TEST(StartGridObject, CurvedGridFollowsItsCubicFromTheCurveRow)
{
    // A curve that runs straight back reproduces the straight grid, within
    // the rounding of t to 16.16 (1/65536 of the 100 m curve).
    StartGridObject straightCurve(100 * Metre, 200 * Metre);
    straightCurve.flags = 2;
    straightCurve.curveEndX = 100 * Metre;
    straightCurve.curveEndY = 100 * Metre;
    straightCurve.Prepare();
    const StartGridObject straight = Grid(0, 2, 8.0f);
    for (int slot = 0; slot < 6; ++slot) {
        FixVector a, b;
        float ha, hb;
        straightCurve.GetSlotPosition(slot, a, ha);
        straight.GetSlotPosition(slot, b, hb);
        EXPECT_LE(std::abs(a.x - b.x), 64) << slot;
        EXPECT_LE(std::abs(a.y - b.y), 64) << slot;
        EXPECT_NEAR(ha, 0.0f, 1e-4f) << slot;
    }

    // Bent: the curve ends 40 m back and 20 m to the side, facing another way.
    StartGridObject bent(0, 0);
    bent.flags = 2;
    bent.curveRow = 0;
    bent.curveEndX = 20 * Metre;
    bent.curveEndY = -40 * Metre;
    bent.curveEndHeading = -0.6f;
    bent.Prepare();
    FixVector first, second;
    float firstHeading, secondHeading;
    bent.GetSlotPosition(0, first, firstHeading);
    bent.GetSlotPosition(2, second, secondHeading);
    EXPECT_EQ(first.x, -5 * Metre);   // the first row stands at the curve's start
    EXPECT_EQ(first.y, 0);
    EXPECT_NEAR(firstHeading, 0.0f, 1e-5f);
    EXPECT_GT(std::abs(secondHeading), 0.01f);   // the second row already turns
    EXPECT_GT(std::abs(second.x - first.x), Metre / 10);

    // With curve row 1 the first two rows stay straight.
    bent.curveRow = 1;
    bent.Prepare();
    bent.GetSlotPosition(2, second, secondHeading);
    EXPECT_EQ(second.x, -5 * Metre);
    EXPECT_EQ(second.y, -16 * Metre);
}

TEST(StartGridObject, CurveOfNoLengthUsesTheStraightRule)
{
    StartGridObject grid(0, 0);
    grid.flags = 2;
    grid.curveRow = 0;
    grid.Prepare();   // curve end equals the position
    FixVector position;
    float heading;
    grid.GetSlotPosition(3, position, heading);
    EXPECT_EQ(position.x, 5 * Metre);
    EXPECT_EQ(position.y, -24 * Metre);
}

}  // namespace
