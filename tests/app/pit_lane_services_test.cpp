#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>
#include <filesystem>

#include "app/simulation_services.h"
#include "audio/interface_sound.h"
#include "core/fixed_math.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "tools/default_track.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/car_records.h"
#include "vehicle/race_hooks.h"
#include "world/path.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

uint32_t FakeClock()
{
    static uint32_t now = 0;
    return now += 1;
}

void IgnoreMessage(const char *, int) {}

// The default track loaded as the current world, with the program's
// simulation services registered; everything is put back afterwards.
class DefaultTrackServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildTrigTables();
        SetLoadClock(FakeClock);
        // The track's files go away again afterwards: the program's start-up
        // tests of this folder read what a data folder holds.
        hadData = std::filesystem::exists("data");
        ASSERT_EQ(WriteDefaultTrack("."), nullptr);
        const TrackSite &row = SiteTable[DefaultTrackSite];
        world = WorldCreate();
        ASSERT_EQ(WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0), 1);
        int steps = 0;
        while (!WorldLoadStep(world) && ++steps < 100000) {
        }
        SetWorldMessagePrinter(IgnoreMessage);
        SelectConfig(world, 1, 0);

        RaceServices = {};
        RegisterSimulationServices();
        SetWorldMessagePrinter(IgnoreMessage);
    }
    void TearDown() override
    {
        if (world != nullptr) {
            CurrentWorld = world;
            WorldDestroy(world);  // the current world: its world query goes with it
        }
        CurrentWorld = savedWorld;
        RaceServices = savedRace;
        VehicleRaceHooks = savedHooks;
        CarServices = savedCar;
        SetWorldMessagePrinter(nullptr);
        SetLoadClock(nullptr);
        if (!hadData)
            std::filesystem::remove_all("data");
    }

    const CarRaceServices savedRace = RaceServices;
    const RaceHooks savedHooks = VehicleRaceHooks;
    const CarObjectServices savedCar = CarServices;
    World *const savedWorld = CurrentWorld;
    bool hadData = false;
    World *world = nullptr;
};

// The pit lane's world entries, as the program registers them, answer from
// the current world: the default track's 32 pit places all lie in its
// 80 km/h pit lane, and nothing answers without a world.
TEST_F(DefaultTrackServices, TheDefaultTrackAnswersThroughTheRegisteredEntries)
{
    // The pit messages' sound and the online flag reach the car.
    EXPECT_EQ(RaceServices.playInterfaceSound, &PlayInterfaceSound);
    const int savedOnline = OnlineFlag;
    OnlineFlag = 0;
    EXPECT_EQ(RaceIsOnline(), 0);
    OnlineFlag = 1;
    EXPECT_EQ(RaceIsOnline(), 1);
    OnlineFlag = savedOnline;

    CurrentWorld = nullptr;
    EXPECT_EQ(RacePitPlaceCount(), 0);
    EXPECT_EQ(RacePathNodeCount(), 0);
    EXPECT_EQ(RaceFindSpeedLimitZone(0, 0), nullptr);

    CurrentWorld = world;
    ASSERT_EQ(RacePitPlaceCount(), 32);
    for (int i = 0; i < 32; ++i) {
        int32_t x = 0;
        int32_t y = 0;
        ASSERT_EQ(RacePitPlacePosition(i, &x, &y), 1) << "place " << i;
        const ZoneObject *zone = RaceFindSpeedLimitZone(x, y);
        ASSERT_NE(zone, nullptr) << "place " << i;
        EXPECT_EQ(RaceZoneSpeedLimit(zone), 80) << "place " << i;
    }
    int32_t x = 0;
    int32_t y = 0;
    EXPECT_EQ(RacePitPlacePosition(32, &x, &y), 0);
    EXPECT_EQ(RacePitPlacePosition(-1, &x, &y), 0);
    EXPECT_EQ(RaceFindSpeedLimitZone(1900 * 65536, 1900 * 65536), nullptr);
    EXPECT_EQ(RacePathNodeCount(), world->currentPath->nodeCount);
    EXPECT_GT(RacePathNodeCount(), 100);
}

std::vector<std::vector<uint8_t>> &Sent()
{
    static std::vector<std::vector<uint8_t>> packets;
    return packets;
}

// A car in the default track's pit lane, judged by the world the program
// registers: it enters the 80 km/h zone too fast and is asked for a
// stop-go, stops in pit box 0 and its stop begins; leaving the zone ends the
// lane.
TEST_F(DefaultTrackServices, ACarStopsInThePitBoxOfTheLoadedWorld)
{
    Sent().clear();
    RaceServices.queueGamePacket = [](const uint8_t *bytes, int length) {
        Sent().emplace_back(bytes, bytes + length);
    };
    RaceServices.playerId = [](const PlayerSlot *) { return static_cast<uint8_t>(7); };
    // A slot with no refuelling, tyre change or repair ordered.
    static PlayerSlot slotRecord{};
    PlayerSlot *slot = &slotRecord;

    int32_t x = 0;
    int32_t y = 0;
    ASSERT_EQ(RacePitPlacePosition(0, &x, &y), 1);
    CarObject car;
    car.stepCount = 2500;
    car.position = {x, y, 0};
    car.stopped = 0;
    car.speed = 81.0f * 0.2777778f + 6.0f;  // more than 20 km/h over
    car.StepPitStop(slot, 0.01f, 0);
    EXPECT_EQ(car.pitLaneState, 1);
    EXPECT_NE(car.speedZone, nullptr);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0], (std::vector<uint8_t>{66, 7, 3, 4}));

    // Stopped 2.4 m along from the box: in it.
    car.position.x = x + static_cast<int32_t>(2.4f * 65536.0f);
    car.speed = 0.0f;
    car.stopped = 1;
    car.stepCount++;
    car.StepPitStop(slot, 0.01f, 1);
    EXPECT_EQ(car.pitWorkStep, 1);
    EXPECT_EQ(car.pitLaneState, 2);
    EXPECT_EQ(car.pitStepEndTick, car.stepCount + 100);

    // Far outside the world's zones: out of the pit lane.
    car.pitWorkStep = 0;
    car.stopped = 0;
    car.position = {1900 * 65536, 1900 * 65536, 0};
    car.StepPitStop(slot, 0.01f, 0);
    EXPECT_EQ(car.speedZone, nullptr);
    EXPECT_EQ(car.pitLaneState, 0);
}

// A reset request is checked against the loaded world's path: a node past
// its end is refused, and a request from off the road is moved onto the
// node's cross-section.
TEST_F(DefaultTrackServices, AResetRequestIsCheckedAgainstTheWorldsPath)
{
    CarObject car;
    car.minX = -0.9f;
    car.maxX = 0.9f;
    const int nodes = RacePathNodeCount();
    ASSERT_GT(nodes, 100);
    PositionPacket p{};
    p.type = PositionPacketType;
    p.node = nodes;
    uint8_t bytes[24];
    std::memcpy(bytes, &p, sizeof(p));
    EXPECT_EQ(car.CheckPositionPacket(bytes, nullptr), ResetOffPath);

    p.node = 10;
    p.offRoad = 1;
    p.lateralOffset = 0.0f;
    std::memcpy(bytes, &p, sizeof(p));
    EXPECT_EQ(car.CheckPositionPacket(bytes, nullptr), ResetFree);
    std::memcpy(&p, bytes, sizeof(p));
    EXPECT_EQ(p.adjusted, 1);
    PathSection section{};
    ASSERT_EQ(RacePathSection(10, 0.5f, &section), 1);
    EXPECT_EQ(p.position[2], section.position[2]);
    // On the path line: the cross-section's own point.
    EXPECT_EQ(p.position[0], section.position[0]);
    EXPECT_EQ(p.position[1], section.position[1]);
}

}  // namespace
