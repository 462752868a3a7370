#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/fixed_math.h"
#include "tests/world/world_file_fixture.h"
#include "world/path.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

const std::string Track = "Kestrel Water";   // configurations "Grand Prix", "Club", "Sprint"

uint32_t Now = 0;
uint32_t FakeClock()
{
    return Now++;
}

int OpenTimedCalls = 0;

// Solids counted among the squares of the map.
int SquareSolids(const World *world)
{
    int count = 0;
    for (const MapSquare &square : world->mapSquares) {
        count += square.solidCount;
    }
    return count;
}

bool InSomeSquare(const World *world, const WorldObject *object)
{
    for (const MapSquare &square : world->mapSquares) {
        for (int i = 0; i < square.solidCount; ++i) {
            if (square.solidList[i] == object) {
                return true;
            }
        }
    }
    return false;
}

// A strip (objects 0-2, every configuration), then solids over its panels
// with checkpoint numbers: 1 in configuration 1 only, 2 in configuration 2
// only, 5 everywhere (no timing line can hold it).
void WriteCheckpointWorld(WorldWriter &out, int version)
{
    RoadStrip strip;
    strip.startY = -5 * 65536;
    strip.endY = 40 * 65536;
    strip.width = 20 * 65536;
    WriteRoadStrip(out, version, strip);
    const struct {
        int checkpoint;
        uint32_t mask;
    } solids[] = {{1, 1u << 1}, {2, 1u << 2}, {5, ConfigMaskAll}};
    for (const auto &s : solids) {
        SolidFields solid;
        solid.indexA = 0;
        solid.indexB = 1;
        solid.checkpoint = static_cast<uint8_t>(s.checkpoint);
        solid.curves = {{2, 0, 0, 0}, {2, 0, 1, 1}};
        solid.links = {{0, 1, 1, 0, 0, 1}};
        WorldObjectHeader header = ObjectHeaderAt(ObjectSolid, 0, 0);
        header.flags |= 0x80;
        header.configMask = s.mask;
        WriteSolid(out, version, header, solid);
    }
}

class WorldConfigTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
    void SetUp() override
    {
        SetLoadClock(FakeClock);
        SetWorldMessagePrinter(nullptr);
        SetOpenTimedPathHook([] { ++OpenTimedCalls; });
        OpenTimedCalls = 0;
        WorldFixture fixture;
        fixture.configs = {{"Long", StraightPath(6, PathReversible)},
                           {"Short", StraightPath(4, 0, 4.0f)},
                           {"Dash", StraightPath(3, PathUsesKnowledge, 8.0f)}};
        fixture.objectCount = 6;
        fixture.litObjects = 4;
        fixture.writeObjects = WriteCheckpointWorld;
        fixture.Write(Track, "KE");
        world = WorldCreate();
        EXPECT_EQ(WorldOpen(world, Track.c_str(), "KE", 0, 0, 1, 0, 0), 1);
        while (!WorldLoadStep(world)) {
        }
        EXPECT_FALSE(WorldLoadFailed(world));
    }
    void TearDown() override
    {
        WorldDestroy(world);
        SetLoadClock(nullptr);
        SetOpenTimedPathHook(nullptr);
    }

    World *world = nullptr;
};

TEST_F(WorldConfigTest, SameConfigurationChangesNothing)
{
    uint32_t lampWord = 0x12345678;
    world->startLamps[0].boundColours[0] = &lampWord;
    world->timingLineCount = 9;   // a rebuild would count again
    SelectConfig(world, 1, 0);
    EXPECT_EQ(lampWord, 0x12345678u);
    EXPECT_EQ(world->startLamps[0].boundColours[0], &lampWord);
    EXPECT_EQ(world->timingLineCount, 9);
}

TEST_F(WorldConfigTest, SwitchingRebuildsTheConfigurationsData)
{
    EXPECT_EQ(world->timingLineCount, 1);
    EXPECT_TRUE(InSomeSquare(world, world->objects[3]));
    EXPECT_FALSE(InSomeSquare(world, world->objects[4]));
    const int solidsInOne = SquareSolids(world);
    EXPECT_EQ(world->configs[1].path.radius, 0);   // no lap timing yet

    uint32_t lampWord = 0x12345678;
    world->startLamps[0].boundColours[0] = &lampWord;
    SelectConfig(world, 2, 0);
    EXPECT_EQ(world->config, 2);
    EXPECT_EQ(world->startLamps[0].boundColours[0], nullptr);   // lamps off and unbound
    EXPECT_EQ(lampWord, world->startLamps[0].offColour);
    // Checkpoint 5 is beyond the timing lines and ignored.
    EXPECT_EQ(world->timingLineCount, 2);
    EXPECT_EQ(world->currentPath, &world->configs[1].path);
    EXPECT_GT(world->configs[1].path.radius, 0);
    // The config-1 checkpoint solid left the squares, the config-2 one came.
    EXPECT_EQ(SquareSolids(world), solidsInOne);
    EXPECT_FALSE(InSomeSquare(world, world->objects[3]));
    EXPECT_TRUE(InSomeSquare(world, world->objects[4]));
    EXPECT_EQ(OpenTimedCalls, 0);

    // The sprint: an open path with timing asks the race for one lap.
    SelectConfig(world, 3, 0);
    EXPECT_EQ(world->timingLineCount, 0);
    EXPECT_EQ(world->knowledgePath, &world->configs[2].path);
    EXPECT_EQ(world->closedKnowledgePath, nullptr);
    EXPECT_GE(OpenTimedCalls, 1);
}

TEST_F(WorldConfigTest, ReversalFollowsThePathsFlag)
{
    struct Step {
        int config, reversed;
        int nowConfig, nowReversed;
        int32_t firstNodeY;   // of configuration 1's path
    };
    const Step steps[] = {
        {1, 1, 1, 1, 25 * 65536}, // reversible: turned round
        {2, 1, 2, 0, 0},          // not reversible: forward, and 1 is turned back
        {0, 1, 1, 1, 25 * 65536}, // clamped to 1
        {99, 0, 3, 0, 0},         // clamped to the last
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << s.config << " / " << s.reversed);
        SelectConfig(world, s.config, s.reversed);
        EXPECT_EQ(world->config, s.nowConfig);
        EXPECT_EQ(world->reversed, s.nowReversed);
        EXPECT_EQ(world->configs[0].path.nodes[0].position[1], s.firstNodeY);
    }
}

TEST_F(WorldConfigTest, ConfigurationNames)
{
    SelectConfig(world, 2, 0);
    EXPECT_STREQ(world->GetConfigName(), "Club");
    EXPECT_STREQ(world->GetFileConfigName(), "Short");
    std::strcpy(world->trackName, "Not A Site");
    EXPECT_STREQ(world->GetConfigName(), "Short");
    world->config = 0;
    EXPECT_STREQ(world->GetConfigName(), "unknown");
}

// Without configurations (a failed load) selection does nothing.
TEST(WorldConfigEmpty, SelectionOnAnEmptyWorldDoesNothing)
{
    World *world = WorldCreate();
    SelectConfig(world, 2, 1);
    ReverseConfig(world);
    world->SelectCurrentPath();
    EXPECT_EQ(world->config, 1);
    EXPECT_EQ(world->reversed, 0);
    EXPECT_EQ(world->currentPath, nullptr);
    EXPECT_STREQ(world->GetFileConfigName(), "unknown");
    WorldDestroy(world);
}

} // namespace
