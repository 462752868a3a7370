// A game session entered over a race object with four generated cars on the
// fixture track, run by a fake game clock through the program's registered
// race, vehicle and network entries.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/race_object_services.h"
#include "core/car_table.h"
#include "core/debug_log.h"
#include "core/shell_globals.h"
#include "net/game_batch.h"
#include "race/game_session.h"
#include "render/screen_modes.h"
#include "ui/menu_page.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_requests.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "tests/tools/fixture_world.h"
#include "tests/tools/generated_cars_fixture.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"
#include "world/layout.h"
#include "world/map_squares.h"
#include "world/start_lights.h"
#include "world/world_messages.h"

namespace {

namespace fw = fixture_world;

class GameSessionWorldTest : public GeneratedCarsFixture {
protected:
    static void SetUpTestSuite()
    {
        GeneratedCarsFixture::SetUpTestSuite();
        BuildTyreCurves();
        world = WorldCreate();
        fw::WriteAndLoad(world);
    }
    static void TearDownTestSuite()
    {
        WorldDestroy(world);
        world = nullptr;
        GeneratedCarsFixture::TearDownTestSuite();
    }
    void SetUp() override
    {
        GeneratedCarsFixture::SetUp();
        ASSERT_EQ(CurrentWorld, world);
        savedHooks = VehicleRaceHooks;
        savedServices = RaceServices;
        savedNetwork = CarNetwork;
        savedLayout = GetLayoutServices();
        savedLinks = RaceLinks;
        savedClock = GameClock;
        RegisterRaceObjectServices();
        SetSessionExistsCheck([] { return GameSessionPtr != nullptr ? 1 : 0; });
        GameClock = 50000;
        ResetSessionAsHost();
        RaceKind = 1;
        CreateRaceObject();
        for (int i = 0; i < 4; ++i) {
            PlayerInfo info{};
            std::snprintf(info.name, sizeof(info.name), i == 0 ? "Driver" : "AI %d", i);
            info.kind = i == 0 ? KindLocal : KindLocalAi;
            info.playerId = static_cast<uint8_t>(i + 1);
            info.fuel[0] = 50;
            PlayerSlot *slot = RaceObjectPtr->AddSlot(info);
            std::snprintf(slot->carName, sizeof(slot->carName), "%s", CarTable[i].name);
        }
        RaceObjectPtr->raceLength = 3;
        RaceObjectPtr->wind = 0;
    }
    void TearDown() override
    {
        if (GameSessionPtr != nullptr) {
            GameSession *session = GameSessionPtr;
            LeaveSession(*session);
            delete session;
        }
        DeleteRaceObject();
        world->FreeObjectGrid();
        SetSessionExistsCheck(nullptr);
        VehicleRaceHooks = savedHooks;
        RaceServices = savedServices;
        CarNetwork = savedNetwork;
        SetLayoutServices(savedLayout);
        RaceLinks = savedLinks;
        GameClock = savedClock;
        GameState = 1;
        RaceKind = 0;
        ResetSession(0, 0);
    }

    // Main-loop passes of `ms` milliseconds each.
    static void Run(int passes, uint32_t ms)
    {
        for (int i = 0; i < passes && GameSessionPtr != nullptr; ++i) {
            GameClock += ms;
            SessionFrame(*GameSessionPtr);
        }
    }

    static inline World *world = nullptr;

private:
    RaceHooks savedHooks{};
    CarRaceServices savedServices{};
    CarNetworkServices savedNetwork{};
    LayoutServices savedLayout{};
    RaceLinkServices savedLinks{};
    uint32_t savedClock = 0;
};

TEST_F(GameSessionWorldTest, FourCarsOnTheGridRaceAtOneHundredTicksASecondUntilTheEndVote)
{
    GameSession *session = EnterSession(nullptr, SessionNormal, 0);
    ASSERT_EQ(GameSessionPtr, session);
    RaceObject &race = *RaceObjectPtr;
    EXPECT_EQ(GameState, 2);
    EXPECT_EQ(race.countdownSeconds, 10);  // 4 / 2 + 8
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(race.slots[i].car, nullptr) << i;
        int32_t position[3];
        float heading = 0.0f;
        GetStartPosition(world, position, heading, i, 0, 0, nullptr);
        EXPECT_EQ(race.slots[i].car->position.x, position[0]) << i;
        EXPECT_EQ(race.slots[i].car->position.y, position[1]) << i;
        EXPECT_EQ(race.gridPositions[i][0], position[0]) << i;
    }
    EXPECT_EQ(session->drivenCar, race.slots[0].car);
    EXPECT_EQ(world->startLightState, StartLightsArmed);

    // 100 ticks per second of game clock, whatever the frame lengths. The
    // load time of the cars moved InitTime on: start the clock there.
    GameClock = InitTime;
    Run(100, 10);
    EXPECT_EQ(race.tick, 100u);
    Run(20, 35);
    EXPECT_EQ(race.tick, 170u);
    Run(82, 100);
    Run(99, 1);
    EXPECT_EQ(race.tick, 999u);
    EXPECT_NE(world->startLightState, StartLightsGreen);
    Run(30, 100);
    EXPECT_EQ(race.tick, 1299u);
    EXPECT_EQ(world->startLightState, StartLightsGreen);

    // Packets go round the own ring: every frame stored one entry.
    EXPECT_EQ(ConnTable[0].framesStored, SessionFrameCount);

    // The end vote: decided at the next check, carried out at the one after,
    // left in the next pass.
    ConnTable[0].gameVote = 1;
    std::remove("deb.log");
    Run(3, 10);
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_EQ(GameState, 1);
    EXPECT_EQ(race.slots[0].car, nullptr);
    std::ifstream log("deb.log");
    std::stringstream text;
    text << log.rdbuf();
    const std::string lines = text.str();
    const size_t cleanUp = lines.find("Exit : clean up");
    const size_t deleted = lines.find("Exit : delete");
    EXPECT_NE(cleanUp, std::string::npos);
    EXPECT_NE(deleted, std::string::npos);
    EXPECT_LT(cleanUp, deleted);
}

TEST_F(GameSessionWorldTest, ARestartVoteRestartsAfterOneHundredTicks)
{
    EnterSession(nullptr, SessionNormal, 0);
    GameClock = InitTime;
    Run(50, 10);
    ASSERT_EQ(RaceObjectPtr->tick, 50u);
    ConnTable[0].gameVote = 2;
    Run(1, 10);
    ConnTable[0].gameVote = 0;
    EXPECT_EQ(VoteAction, 2);
    Run(99, 10);
    EXPECT_EQ(RaceObjectPtr->tick, 150u);
    Run(1, 10);
    EXPECT_EQ(VoteAction, 0);
    EXPECT_LE(RaceObjectPtr->tick, 1u);
    ASSERT_NE(GameSessionPtr, nullptr);
    EXPECT_EQ(GameSessionPtr->active, 1u);
}

TEST_F(GameSessionWorldTest, VotesAndRequestsTravelAsPackets)
{
    EnterSession(nullptr, SessionNormal, 0);
    GameClock = InitTime;
    Run(10, 10);
    // The same vote twice cancels it.
    EXPECT_EQ(VoteRestart(), 1);
    EXPECT_EQ(VoteRestart(), 1);
    Run(1, 10);
    EXPECT_EQ(ConnTable[0].gameVote, 0);
    EXPECT_EQ(VoteAction, 0);
    // A player joins the spectators: the car leaves and the slot with it.
    const uint8_t spectate[4] = {17, RequestSpectate, 3, 0};
    QueueGamePacket(spectate, 4);
    Run(1, 10);
    EXPECT_EQ(RaceObjectPtr->slotCount, 3);
    EXPECT_EQ(GameSessionPtr->physics.bodyCount, 3);
    // The end vote queued as a packet ends the session.
    EXPECT_EQ(VoteEndRace(), 1);
    Run(4, 10);
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_EQ(GameState, 1);
}

TEST_F(GameSessionWorldTest, ALayoutClearReachesItsHandlerThroughTheLoop)
{
    EnterSession(nullptr, SessionNormal, 0);
    GameClock = InitTime;
    Run(5, 10);
    RaceObjectPtr->resultCount = 1;
    const uint8_t clear[12] = {45, 2};
    // Not from a connection without admin rights.
    ConnTable[0].admin = 0;
    QueueGamePacket(clear, sizeof(clear));
    Run(1, 10);
    EXPECT_EQ(RaceObjectPtr->resultCount, 1);
    ConnTable[0].admin = 1;
    QueueGamePacket(clear, sizeof(clear));
    EXPECT_EQ(RaceObjectPtr->resultCount, 1);  // applied in the next frame
    Run(1, 10);
    EXPECT_EQ(RaceObjectPtr->resultCount, 0);
    EXPECT_EQ(GameSessionPtr->physics.bodyCount, 4);
}

}  // namespace

TEST_F(GameSessionWorldTest, TheOwnersBackgroundIsTheGarageDuringTheSessionAndTheDisplayComesBack)
{
    MenuPage owner{};
    owner.Background = "setup";
    ClearDisplayModeStack();
    EnterSession(&owner, SessionNormal, 0);
    EXPECT_STREQ(owner.Background, "garage");
    // The start holds the menus over the scene until 50 ticks have run.
    EXPECT_EQ(TopDisplayMode(), DisplayModeMenuOver);
    GameClock = InitTime;
    Run(49, 10);
    EXPECT_EQ(TopDisplayMode(), DisplayModeMenuOver);
    Run(2, 10);
    EXPECT_EQ(TopDisplayMode(), DisplayModeOwnScene);
    EndSessionNow();
    Run(1, 10);
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_STREQ(owner.Background, "setup");
    EXPECT_EQ(TopDisplayMode(), DisplayModeMenu);
}
