#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/data_stream.h"
#include "tools/world_scenery_writer.h"
#include "world/flag_object.h"
#include "world/world.h"

namespace {

constexpr int32_t Metre = 65536;
constexpr float Still[3] = {0.0f, 0.0f, 0.0f};

class FlagTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildTrigTables();
        world = WorldCreate();
        CurrentWorld = world;
        world->colours.count = 2;
        world->colours.records = new TrackColour[2]{};
    }
    void TearDown() override
    {
        WorldDestroy(world);
        CurrentWorld = nullptr;
    }

    static WorldObjectResult ReadFlag(const FlagFields &fields)
    {
        WorldWriter bytes;
        WriteFlag(bytes, 251, ObjectHeaderAt(0, 5 * Metre, 7 * Metre), fields);
        DataStream stream;
        bytes.Open(stream, 251);
        const WorldObjectResult result = CreateWorldObject(&stream, 251);
        EXPECT_EQ(stream.Remaining(), 0);
        return result;
    }

    World *world = nullptr;
};

TEST_F(FlagTest, SizeClampsAndSurface)
{
    const struct {
        float width, height;
        float readWidth, readHeight;
    } cases[] = {
        {6.0f, 2.0f, 4.0f, 4.0f / 3.0f},  // a wide flag keeps its shape
        {0.5f, 0.2f, 1.0f, 0.5f},
        {2.0f, 5.0f, 2.0f, 3.0f},
        {8.0f, 0.5f, 4.0f, 0.25f},
        {NAN, NAN, 1.0f, 0.5f},
        {INFINITY, 1.0f, 4.0f, 0.001f},
    };
    for (const auto &c : cases) {
        FlagFields fields;
        fields.width = c.width;
        fields.height = c.height;
        const WorldObjectResult result = ReadFlag(fields);
        ASSERT_EQ(result.error, WorldObjectOk);
        const FlagObject *flag = static_cast<FlagObject *>(result.object);
        EXPECT_EQ(flag->width, c.readWidth) << c.width;
        EXPECT_FLOAT_EQ(flag->height, c.readHeight) << c.width;
        delete flag;
    }

    // The surface must name one of the world's colours.
    for (uint16_t surface : {0, 1, 2, 65535}) {
        FlagFields fields;
        fields.surface = surface;
        const WorldObjectResult result = ReadFlag(fields);
        EXPECT_EQ(result.error, surface < 2 ? WorldObjectOk : WorldObjectBadRecord) << surface;
        delete result.object;
    }
}

TEST_F(FlagTest, ColourSetCountsFlags)
{
    FlagObject *flag = new FlagObject(0, 0);
    flag->surface = 1;
    world->objects[world->objectCount++] = flag;
    world->colours.MarkUsed(world->objects, world->objectCount);
    EXPECT_EQ(world->colours.records[0].flags & ColourUsed, 0);
    EXPECT_EQ(world->colours.records[1].flags & ColourUsed, ColourUsed);
}

TEST_F(FlagTest, PrepareLaysThePointsOut)
{
    FlagObject flag(5 * Metre, 7 * Metre);
    flag.poleHeight = 3.0f;
    flag.width = 4.0f;
    flag.height = 1.5f;
    flag.lastTick = 9;
    flag.Prepare();
    EXPECT_EQ(flag.centreZ, static_cast<int32_t>(2.25f * Metre));
    EXPECT_EQ(flag.radius, std::lround(std::sqrt(16.0 + 1.5 * 1.5 / 4.0) * Metre));
    EXPECT_EQ(flag.lastTick, 0);
    const FlagPoint &corner = flag.Point(3, 4);
    EXPECT_EQ(corner.position[0], 9 * Metre);
    EXPECT_EQ(corner.position[1], 7 * Metre);
    EXPECT_EQ(corner.position[2], static_cast<int32_t>(1.5f * Metre));
    EXPECT_EQ(corner.free, 1);
    EXPECT_EQ(flag.Point(2, 0).free, 0);
    EXPECT_EQ(flag.CellPoint(1, 1).position[0], static_cast<int32_t>(5.5f * Metre));
    EXPECT_EQ(flag.CellPoint(1, 1).position[2], static_cast<int32_t>(2.75f * Metre));
    // Gravity of the world times the point mass (4 x 1.5 / 32).
    EXPECT_FLOAT_EQ(corner.force[2], -9.81f * 0.1875f);
}

TEST_F(FlagTest, SpringAndNormal)
{
    FlagPoint a = {};
    FlagPoint b = {};
    b.position[0] = 2 * Metre;
    FlagObject::Spring(a, b, 1.0f, 100.0f);   // stretched by 1, held to rest / 2
    EXPECT_FLOAT_EQ(a.force[0], 50.0f);
    EXPECT_FLOAT_EQ(b.force[0], -50.0f);
    FlagPoint c = {};
    FlagPoint d = {};
    d.position[0] = Metre / 2;
    FlagObject::Spring(c, d, 1.0f, 100.0f);   // squeezed: an eighth of the push
    EXPECT_FLOAT_EQ(c.force[0], -50.0f / 8.0f);
    FlagPoint e = {};
    FlagPoint f = {};
    FlagObject::Spring(e, f, 1.0f, 100.0f);   // one place: no direction, no force
    EXPECT_EQ(e.force[0], 0.0f);

    FlagPoint out = {};
    FlagPoint down = {};
    down.position[2] = -Metre;
    FlagObject::SetNormal(out, a, down, a, b, 0.5f);   // (0, 0, -1) x (2, 0, 0) / 2
    EXPECT_FLOAT_EQ(out.normal[1], -1.0f);
    EXPECT_FLOAT_EQ(out.normal[0], 0.0f);
}

TEST_F(FlagTest, ClothMovesOnlyWithNewTicks)
{
    FlagObject flag(0, 0);
    flag.Prepare();
    const FlagObject start = flag;
    flag.StepCloth(0, Still, -9.81f);   // the tick has not moved since the points were laid out
    EXPECT_EQ(memcmp(flag.points, start.points, sizeof flag.points), 0);

    // Ten ticks at once are four steps.
    FlagObject stepped = start;
    flag.StepCloth(10, Still, -9.81f);
    for (uint32_t tick = 1; tick <= 4; ++tick) {
        stepped.StepCloth(tick, Still, -9.81f);
    }
    EXPECT_EQ(memcmp(flag.points, stepped.points, sizeof flag.points), 0);
    EXPECT_EQ(memcmp(flag.cells, stepped.cells, sizeof flag.cells), 0);
    EXPECT_EQ(flag.lastTick, 10);
    EXPECT_LT(flag.Point(3, 4).position[2], start.points[19].position[2]);
}

TEST_F(FlagTest, ClothSettlesHangingAndBlowsWithTheWind)
{
    FlagObject flag(Metre, 2 * Metre);
    flag.Prepare();
    const FlagObject start = flag;
    for (uint32_t tick = 1; tick <= 3000; ++tick) {
        flag.StepCloth(tick, Still, -9.81f);
    }
    for (int r = 0; r < FlagRows; ++r) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(flag.Point(r, 0).position[k], start.points[r * FlagColumns].position[k]);
        }
        for (int c = 1; c < FlagColumns; ++c) {
            const FlagPoint &p = flag.Point(r, c);
            // Hanging lower, nearly still, in the plane it started in.
            EXPECT_LT(p.position[2], start.points[r * FlagColumns + c].position[2]) << r << c;
            EXPECT_EQ(p.position[1], 2 * Metre) << r << c;
            EXPECT_LT(std::fabs(p.velocity[0]) + std::fabs(p.velocity[2]), 0.05f) << r << c;
        }
    }
    EXPECT_LT(flag.Point(0, 4).position[2], flag.Point(0, 1).position[2]);

    // Wind across the flag pushes the free points along it.
    FlagObject blown = start;
    const float wind[3] = {0.0f, 6.0f, 0.0f};
    for (uint32_t tick = 1; tick <= 50; ++tick) {
        blown.StepCloth(tick, wind, -9.81f);
    }
    EXPECT_GT(blown.Point(2, 4).position[1], 2 * Metre);
    EXPECT_EQ(blown.Point(2, 0).position[1], 2 * Metre);
}

} // namespace
