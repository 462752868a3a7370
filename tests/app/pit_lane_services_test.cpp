#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "app/simulation_services.h"
#include "audio/interface_sound.h"
#include "core/fixed_math.h"
#include "race/game_state.h"
#include "tools/default_track.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
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

// The pit lane's world entries, as the program registers them, answer from
// the current world: the default track's 32 pit places all lie in its
// 80 km/h pit lane, and nothing answers without a world.
TEST(PitLaneServices, TheDefaultTrackAnswersThroughTheRegisteredEntries)
{
    const CarRaceServices savedRace = RaceServices;
    const RaceHooks savedHooks = VehicleRaceHooks;
    const CarObjectServices savedCar = CarServices;
    World *const savedWorld = CurrentWorld;
    BuildTrigTables();
    SetLoadClock(FakeClock);
    // The track's files go away again afterwards: the program's start-up
    // tests of this folder read what a data folder holds.
    const bool hadData = std::filesystem::exists("data");
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    const TrackSite &row = SiteTable[DefaultTrackSite];
    World *world = WorldCreate();
    ASSERT_EQ(WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0), 1);
    int steps = 0;
    while (!WorldLoadStep(world) && ++steps < 100000) {
    }
    SetWorldMessagePrinter(IgnoreMessage);
    SelectConfig(world, 1, 0);

    RaceServices = {};
    RegisterSimulationServices();
    SetWorldMessagePrinter(IgnoreMessage);

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

    WorldDestroy(world);  // the current world: its world query goes with it
    CurrentWorld = savedWorld;
    RaceServices = savedRace;
    VehicleRaceHooks = savedHooks;
    CarServices = savedCar;
    SetWorldMessagePrinter(nullptr);
    SetLoadClock(nullptr);
    if (!hadData)
        std::filesystem::remove_all("data");
}

}  // namespace
