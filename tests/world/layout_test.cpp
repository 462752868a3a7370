#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/shell_globals.h"
#include "tests/world/layout_fixture.h"
#include "tests/world/path_fixture.h"
#include "tests/world/road_strip.h"
#include "vehicle/world_query.h"
#include "world/path_follower.h"

namespace {

constexpr float Pi = 3.14159265f;

// Ground rising 2 m over 10 m toward +y: x 25..35, y -5..5, 1 m high at y = 0.
void AddSlope(World *world)
{
    ASSERT_NE(AddRoadStrip(world, 30.0f, -5.0f, 0.0f, 2.0f), nullptr);
}

LayoutRecord Record(int16_t x, int16_t y, int8_t height, uint8_t flags, uint8_t duplicator, uint8_t heading)
{
    LayoutRecord record;
    record.x = x;
    record.y = y;
    record.height = height;
    record.flags = flags;
    record.duplicator = duplicator;
    record.heading = heading;
    return record;
}

// The order numbers of the checkpoint circles.
std::vector<int> CircleNumbers()
{
    std::vector<int> out;
    for (int n = 0; n < LayoutCircles.count; ++n) {
        if ((LayoutCircles.records[n].flags & LayoutRestrictedFlag) == 0) {
            out.push_back(LayoutCircles.records[n].heading);
        }
    }
    return out;
}

} // namespace

TEST(LayoutRecords, PackAndUnpack)
{
    // Heading pi - 0.001 packs to 256, which wraps to 0 and reads back as -pi.
    LayoutRecord turn = LayoutObjectRecord(1.0f, 2.0f, 0.0f, 0, Pi - 0.001f);
    EXPECT_EQ(turn.heading, 0);
    int32_t position[3];
    float heading = 0.0f;
    UnpackLayoutRecordPosition(turn, position, heading);
    EXPECT_FLOAT_EQ(heading, -Pi);
    EXPECT_EQ(position[0], 65536);
    EXPECT_EQ(position[1], 2 * 65536);

    // 2 m below z = 0 is a negative height byte, and comes back 1/8 m up.
    LayoutRecord low = LayoutObjectRecord(-3.0f, 0.0f, -2.0f, 1, 0.0f);
    EXPECT_EQ(low.height, -8);
    UnpackLayoutRecordPosition(low, position, heading);
    EXPECT_EQ(position[2], -2 * 65536 + 8192);

    // A timing line 3 m wide, checkpoint 2.
    const LayoutRecord line = LayoutTimingRecord(0.0f, 0.0f, 0.0f, 3, 2, 0.0f);
    EXPECT_EQ(line.flags, 0x80 + 4 * 3 + 2);
    EXPECT_EQ(line.duplicator, 0);

    // Little-endian bytes, negative positions included.
    const LayoutRecord record = Record(-2, 0x1234, -8, 0x8E, 7, 200);
    uint8_t bytes[8];
    LayoutRecordToBytes(record, bytes);
    const uint8_t want[8] = {0xFE, 0xFF, 0x34, 0x12, 0xF8, 0x8E, 7, 200};
    EXPECT_EQ(std::memcmp(bytes, want, 8), 0);
    EXPECT_TRUE(SameRecord(LayoutRecordFromBytes(bytes), record));
}

TEST(LayoutRecords, UnpackPutsTheRecordOnTheGround)
{
    LayoutScene scene;
    AddSlope(scene.world());
    scene.world()->BuildMapSquares();
    // The loft eases in and out, so its middle is at its steepest, 0.3;
    // facing 45 degrees across it both tilts are asin(0.3 / sqrt(1.09) x
    // sqrt(0.5)), of opposite sign.
    const float tilt = std::asin(0.3f / std::sqrt(1.09f) * std::sqrt(0.5f));
    struct Case {
        int16_t x, y;
        int8_t height;
        int found;
        float z;
        float tilt1, tilt2;
    };
    const Case cases[] = {
        {30 * 16, 0, 0, 1, 1.0f, tilt, -tilt},   // on the slope, heading pi/4
        {0, 0, 0, 1, 0.0f, 0.0f, 0.0f},          // flat ground
        {0, 0, -16, 1, 0.0f, 0.0f, 0.0f},        // 4 m under the ground: the second search
        {0, 0, 20, 0, 5.0f, 0.0f, 0.0f},         // 5 m above it: nothing
        {60 * 16, 0, 0, 0, 0.0f, 0.0f, 0.0f},    // no ground at all
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x);
        int32_t position[3];
        float height, heading, tilt1, tilt2;
        EXPECT_EQ(UnpackLayoutRecord(Record(c.x, c.y, c.height, 0, 0, 160), position, height, heading, tilt1, tilt2),
                  c.found);
        EXPECT_NEAR(height, c.z, 0.01f);
        EXPECT_NEAR(static_cast<float>(position[2]) / 65536.0f, c.z, 0.01f);
        EXPECT_NEAR(tilt1, c.tilt1, 0.002f);
        EXPECT_NEAR(tilt2, c.tilt2, 0.002f);
    }

    // A dedicated host without graphics keeps the record's height.
    DedicatedMode = DedicatedConsole;
    int32_t position[3];
    float height, heading, tilt1, tilt2;
    EXPECT_EQ(UnpackLayoutRecord(Record(30 * 16, 0, 12, 0, 0, 160), position, height, heading, tilt1, tilt2), 1);
    DedicatedMode = DedicatedNone;
    EXPECT_FLOAT_EQ(height, 3.0f);
    EXPECT_FLOAT_EQ(tilt1, 0.0f);
}

TEST(LayoutAdding, RefusesWhatCannotBeAdded)
{
    LayoutScene scene;
    EXPECT_EQ(scene.Add(LayoutTimingRecord(0.0f, 0.0f, 0.0f, 0, 0, 0.0f)), 1);    // start point
    EXPECT_EQ(scene.Add(LayoutTimingRecord(2.0f, 0.0f, 0.0f, 0, 0, 1.0f)), 0);    // a second one
    EXPECT_EQ(scene.Add(LayoutTimingRecord(0.0f, 3.0f, 0.0f, 4, 0, 0.0f)), 1);    // finish line
    EXPECT_EQ(scene.Add(LayoutTimingRecord(0.0f, -3.0f, 0.0f, 6, 0, 0.0f)), 0);   // a second finish
    EXPECT_EQ(scene.Add(LayoutTimingRecord(0.0f, -3.0f, 0.0f, 6, 1, 0.0f)), 1);   // checkpoint 1
    EXPECT_EQ(scene.Add(LayoutObjectRecord(1.0f, 1.0f, 0.0f, 2, 0.0f)), 0);       // not placeable
    EXPECT_EQ(scene.Add(LayoutObjectRecord(1.0f, 1.0f, 0.0f, 3, 0.0f)), 0);       // no such duplicator
    EXPECT_EQ(scene.Add(LayoutObjectRecord(1.0f, 1.0f, 0.0f, 1, 0.0f)), 1);
    EXPECT_EQ(scene.world()->layoutObjectCount, 4);
    EXPECT_EQ(scene.world()->objectCount, scene.ownObjects + 4);
    EXPECT_TRUE(LayoutHasStartPoint());
    EXPECT_TRUE(LayoutHasRouteIndex(3));
    EXPECT_FALSE(LayoutHasRouteIndex(4));
}

TEST(LayoutAdding, CirclesKeepApartAndInOrder)
{
    LayoutScene scene;
    // Radii 3 and 2 m: 5 m between the centres is enough, 4.9 m is not.
    ASSERT_EQ(scene.Add(LayoutCheckCircleRecord(0.0f, 0.0f, 0.0f, 3, 1)), 1);
    EXPECT_EQ(scene.Add(LayoutCheckCircleRecord(4.9f, 0.0f, 0.0f, 2, 2)), 0);
    EXPECT_EQ(scene.Add(LayoutCheckCircleRecord(0.0f, 5.0f, 0.0f, 2, 2)), 1);
    EXPECT_EQ(scene.Add(LayoutCheckCircleRecord(0.0f, 20.0f, 0.0f, 2, 3)), 1);
    const LayoutRecord restricted = LayoutRestrictedRecord(0.0f, 40.0f, 0.0f, 4, 1, 0.5f);
    EXPECT_EQ(scene.Add(restricted), 1);
    EXPECT_NE(LayoutCircles.transforms[3].matrix.m[0], 0);   // a restricted area is turned

    // A new number 2 moves the old 2 and 3 up.
    const LayoutRecord inserted = LayoutCheckCircleRecord(20.0f, 20.0f, 0.0f, 2, 2);
    ASSERT_EQ(scene.Add(inserted), 1);
    EXPECT_EQ(CircleNumbers(), (std::vector<int>{1, 3, 4, 2}));
    EXPECT_EQ(CountLayoutCheckCircles(), 4);

    // Removing a restricted area renumbers nothing; removing checkpoint 2
    // closes the gap.
    EXPECT_EQ(RemoveLayoutObject(restricted), 1);
    EXPECT_EQ(CircleNumbers(), (std::vector<int>{1, 3, 4, 2}));
    EXPECT_EQ(RemoveLayoutObject(inserted), 1);
    EXPECT_EQ(CircleNumbers(), (std::vector<int>{1, 2, 3}));
}

TEST(LayoutAdding, RemovePacketIgnoresHeightAndTakesTheFirst)
{
    LayoutScene scene;
    // Off the ground the heights stay as given.
    const LayoutRecord a = LayoutObjectRecord(40.0f, 0.0f, 0.0f, 1, 0.0f);
    const LayoutRecord b = LayoutObjectRecord(40.0f, 0.0f, 1.0f, 1, 0.0f);
    const LayoutRecord other = LayoutObjectRecord(42.0f, 0.0f, 0.0f, 1, 0.0f);
    ASSERT_EQ(scene.Add(a), 1);
    ASSERT_EQ(scene.Add(other), 1);
    ASSERT_EQ(scene.Add(b), 1);

    LayoutRecord probe = a;
    probe.height = 9;
    uint8_t packet[12] = {MP_LAYOUT_EDIT, LayoutActionRemove};
    LayoutRecordToBytes(probe, packet + 4);
    ASSERT_EQ(HandleLayoutObjectPacket(packet, 12, 0), 1);
    // a went; b, the last object, took its place.
    const std::vector<LayoutRecord> left = scene.Objects();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(SameRecord(left[0], b));
    EXPECT_TRUE(SameRecord(left[1], other));
    EXPECT_EQ(scene.world()->objectCount, scene.ownObjects + 2);
}

TEST(LayoutAdding, RefusedPlaceIsRemovedByItsOwnPacket)
{
    LayoutScene scene;
    auto add = [](const LayoutRecord &record) {
        uint8_t packet[12] = {MP_LAYOUT_EDIT, LayoutActionAdd};
        LayoutRecordToBytes(record, packet + 4);
        HandleLayoutObjectPacket(packet, 12, 0);
    };
    add(LayoutObjectRecord(0.0f, 0.0f, 0.0f, 0, 0.0f));
    ASSERT_EQ(scene.world()->layoutObjectCount, 1);
    ASSERT_EQ(PrintedLines().size(), 0u);

    add(LayoutObjectRecord(0.2f, 0.0f, 0.0f, 0, 0.0f));    // on the first crate
    add(LayoutObjectRecord(60.0f, 0.0f, 0.0f, 0, 0.0f));   // off the ground
    add(LayoutObjectRecord(3.0f, 0.0f, 0.0f, 0, 0.0f));    // free
    EXPECT_EQ(PrintedLines(), (std::vector<std::string>{"Can't add : intersecting object",
                                                        "Can't add : invalid position"}));
    const std::vector<LayoutRecord> left = scene.Objects();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(LayoutRecordsMatch(left[0], LayoutObjectRecord(0.0f, 0.0f, 0.0f, 0, 0.0f)));
    EXPECT_TRUE(LayoutRecordsMatch(left[1], LayoutObjectRecord(3.0f, 0.0f, 0.0f, 0, 0.0f)));
}

TEST(LayoutRoute, Messages)
{
    struct Case {
        const char *name;
        std::vector<int> lines;   // (width, index) pairs, width 0 none
        int count;
        std::string message;
    };
    const Case cases[] = {
        {"no lines", {}, 0, "No checkpoints - laps will not be timed"},
        {"no finish", {4, 1}, 0, "No finish line - laps will not be timed"},
        {"finish only", {4, 0}, 0, "Finish line but no checkpoints"},
        {"missing checkpoint", {4, 0, 4, 2}, 0, "Checkpoint 1 not found"},
        {"one checkpoint", {4, 0, 4, 1}, 2, "Autocross : 1 checkpoint"},
        {"three checkpoints", {4, 0, 4, 1, 4, 2, 4, 3}, 4, "Autocross : 3 checkpoints"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LayoutScene scene;
        for (size_t i = 0; i < c.lines.size(); i += 2) {
            ASSERT_EQ(AddLayoutObject(LayoutTimingRecord(0.0f, static_cast<float>(i), 0.0f, c.lines[i], c.lines[i + 1],
                                                         0.0f),
                                      0, 0, nullptr, nullptr, 0),
                      1);
        }
        BuildLayoutRoute(1);
        EXPECT_EQ(PrintedLines(), std::vector<std::string>{c.message});
        EXPECT_EQ(LayoutRouteLines.timingLineCount, c.count);
        EXPECT_EQ(scene.world()->GetCheckpointCount(), c.count);
    }
}

TEST(LayoutRoute, StartPointAndLinesJoinTheWorld)
{
    LayoutScene scene;
    scene.world()->timingLineCount = 3;
    ASSERT_EQ(scene.Add(LayoutTimingRecord(2.0f, 3.0f, 0.0f, 0, 0, 0.0f)), 1);
    ASSERT_EQ(scene.Add(LayoutTimingRecord(0.0f, -2.0f, 0.0f, 5, 0, Pi / 2)), 1);
    ASSERT_EQ(scene.Add(LayoutTimingRecord(0.0f, 2.0f, 0.0f, 5, 1, 0.0f)), 1);
    EXPECT_EQ(scene.world()->GetCheckpointCount(), 2);
    const LayoutRouteLine &finish = LayoutRouteLines.lines[0];
    EXPECT_EQ(finish.halfWidth, 5 * 65536);
    EXPECT_NEAR(finish.direction[0], -65536, 2);   // (-sin h, cos h) at 90 degrees
    EXPECT_NEAR(finish.along[1], 65536, 2);
    EXPECT_TRUE(CurrentWorldQuery()->IsStartOverride());

    int32_t position[3];
    int32_t second[3];
    float heading = 1.0f;
    GetStartPosition(scene.world(), position, heading, 0, 0, 0, second);
    EXPECT_EQ(position[0], 2 * 65536);
    EXPECT_EQ(position[1], 3 * 65536);
    EXPECT_EQ(second[0], 0);   // the ordinary start of the slot
    GetStartPosition(scene.world(), position, heading, 1, 0, 0, nullptr);
    EXPECT_EQ(position[0], 0);   // other slots go to the pit positions
    JoiningCarPlacement = 1;
    GetStartPosition(scene.world(), position, heading, 1, 0, 0, nullptr);
    EXPECT_EQ(position[0], 2 * 65536);

    // Cleared, the world's own lines count again.
    ClearObjectGrid(scene.world());
    EXPECT_EQ(scene.world()->layoutObjectCount, 0);
    EXPECT_EQ(scene.world()->objectCount, scene.ownObjects);
    EXPECT_EQ(scene.world()->GetCheckpointCount(), 3);
    EXPECT_FALSE(CurrentWorldQuery()->IsStartOverride());
}

// Layout objects come and go in any order; a follower searching afresh
// sees the world's own objects as without them, and every layout object
// byte as 0xFF.
TEST(LayoutPathLists, StayConsistent)
{
    ResetLayoutState();
    PathWorld scene;
    PathFields fields = StraightPath(6, 0);
    for (int k = 0; k < 12; ++k) {
        fields.nodes[k % 6].deltas[k % 3].push_back({static_cast<uint16_t>(k), static_cast<uint8_t>(k * 37 + 1), 0});
    }
    fields.baseLists[0] = {{1, 0x11, 0}, {5, 0x22, 0}};
    scene.LoadPath(fields);
    World *world = scene.world;
    for (int k = 0; k < 12; ++k) {
        world->objects[world->objectCount++] = new DuplicatorObject(0, 0);
    }
    world->duplicators = new ObjectHolder[1];
    world->duplicatorCount = 1;
    world->duplicators[0].placeable = 1;
    const int32_t point[3] = {Metres(-22.0f), 0, 0};
    auto reference = std::make_unique<PathFollower>();
    ASSERT_GE(reference->FindPosition(point, 1), 0);

    auto check = [&](const char *step) {
        SCOPED_TRACE(step);
        auto follower = std::make_unique<PathFollower>();
        ASSERT_GE(follower->FindPosition(point, 1), 0);
        const int own = world->objectCount - world->layoutObjectCount;
        for (int p = 0; p < 3; ++p) {
            EXPECT_EQ(std::memcmp(follower->planes[p], reference->planes[p], static_cast<size_t>(own)), 0);
            for (int n = own; n < world->objectCount; ++n) {
                EXPECT_EQ(follower->planes[p][n], 0xFF);
            }
        }
    };
    std::vector<LayoutRecord> records;
    for (int i = 0; i < 6; ++i) {
        records.push_back(LayoutObjectRecord(static_cast<float>(i), 0.0f, 0.0f, 0, 0.0f));
        ASSERT_EQ(AddLayoutObject(records.back(), 0, 0, nullptr, nullptr, 0), 1);
    }
    check("added");
    for (int i : {2, 0, 5}) {
        ASSERT_EQ(RemoveLayoutObject(records[i]), 1);
        check("removed");
    }
    ASSERT_EQ(AddLayoutObject(records[0], 0, 0, nullptr, nullptr, 0), 1);
    check("added again");
    ClearObjectGrid(world);
    check("cleared");
    EXPECT_EQ(world->objectCount, 12);
    ResetLayoutState();
}

