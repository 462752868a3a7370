#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "world/path.h"
#include "world/shared_random.h"
#include "world/start_lights.h"
#include "world/world_state_packet.h"
#include "world_scene.h"

namespace {

constexpr float Infinity = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

class WorldStatePacket : public testing::Test {
protected:
    TestWorld scene;
    World &world = *scene.world;
    Path closedPath;   // a red delay needs a closed knowledge path
    StartRaceView race = {};

    void SetUp() override
    {
        world.closedKnowledgePath = &closedPath;
        race.startOffset = 10;
        race.raceLength = 5;
        race.raceKind = 1;
        race.online = 1;
        world.ResetStartLightsAndWind(&race);   // online: no wind, no delay yet
    }
    void TearDown() override { world.closedKnowledgePath = nullptr; }
};

TEST_F(WorldStatePacket, RoundTripSetsWindSeedAndRedDelay)
{
    uint8_t packet[WorldStatePacketLength];
    BuildWorldStatePacket(packet, 0xBEEF, 7.25f, -1.5f);
    EXPECT_EQ(packet[0], 40);
    EXPECT_EQ(packet[1], 0);
    EXPECT_EQ(packet[2], 0xEF);   // little-endian
    EXPECT_EQ(packet[3], 0xBE);
    EXPECT_EQ(packet[7], 0x40);   // 7.25f is 0x40E80000

    SharedRandom = 1;
    ApplyWorldStatePacket(&world, packet, WorldStatePacketLength, &race);
    EXPECT_EQ(world.wind.baseSpeed, 7.25f);
    EXPECT_EQ(world.wind.speed, 7.25f);
    EXPECT_EQ(world.wind.baseDirection, -1.5f);
    EXPECT_EQ(world.wind.direction, -1.5f);
    // The delay comes from the packet's seed: its next value mod 3000.
    const uint32_t next = (0xBEEFu * 5 + 1) & 65535u;
    EXPECT_EQ(SharedRandom, next);
    EXPECT_EQ(world.redDelay, next % 3000);
    EXPECT_EQ(world.nextLightEvent, 7000u - next % 3000);
}

TEST_F(WorldStatePacket, BadPacketsAreRefusedAndBadWindIsCalm)
{
    struct Case {
        const char *name;
        int length;
        float speed, direction;
        bool applied;
        float expectSpeed, expectDirection;
    };
    const Case cases[] = {
        {"short", 11, 5.0f, 1.0f, false, 0.0f, 0.0f},
        {"long", 13, 5.0f, 1.0f, false, 0.0f, 0.0f},
        {"speed not a number", 12, NaN, 1.0f, true, 0.0f, 0.0f},
        {"infinite speed", 12, Infinity, 1.0f, true, 0.0f, 0.0f},
        {"direction not a number", 12, 5.0f, NaN, true, 0.0f, 0.0f},
        {"infinite direction", 12, 5.0f, -Infinity, true, 0.0f, 0.0f},
        {"gale", 12, 50.0f, 1.0f, true, MaxWindSpeed, 1.0f},
        {"negative speed", 12, -3.0f, 1.0f, true, 0.0f, 1.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        world.SetWindBase(0.0f, 0.0f);
        uint8_t packet[16] = {};
        BuildWorldStatePacket(packet, 100, c.speed, c.direction);
        SharedRandom = 9;
        ApplyWorldStatePacket(&world, packet, c.length, &race);
        EXPECT_EQ(SharedRandom == 9, !c.applied);
        EXPECT_EQ(world.wind.baseSpeed, c.expectSpeed);
        EXPECT_EQ(world.wind.baseDirection, c.expectDirection);
        for (int tick = 0; tick < 100; ++tick) {
            world.StepStartLightsAndWind(&race);
        }
        EXPECT_TRUE(std::isfinite(world.wind.velocity[0]) && std::isfinite(world.wind.velocity[1]));
    }
}

TEST_F(WorldStatePacket, NothingHappensWithoutALoadedWorld)
{
    uint8_t packet[WorldStatePacketLength];
    BuildWorldStatePacket(packet, 100, 5.0f, 1.0f);
    SharedRandom = 9;
    ApplyWorldStatePacket(nullptr, packet, WorldStatePacketLength, &race);
    EXPECT_EQ(SharedRandom, 9u);

    world.loadState = 5;   // still loading
    ApplyWorldStatePacket(&world, packet, WorldStatePacketLength, &race);
    world.loadState = 0;
    EXPECT_EQ(SharedRandom, 9u);
    EXPECT_EQ(world.wind.baseSpeed, 0.0f);
}

} // namespace
