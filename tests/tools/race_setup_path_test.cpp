// The race setup path headless over the fixture track and the generated
// cars: the entry page, "/sp", the lobby's packets, "/ready", the race, and
// the way back. Everything goes through the program's registered entries.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/command_services.h"
#include "app/race_object_services.h"
#include "core/car_table.h"
#include "core/command_interpreter.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "net/game_batch.h"
#include "net/race_setup_packets.h"
#include "platform/keys.h"
#include "race/game_session.h"
#include "race/driver_names.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "screens/main_menu.h"
#include "screens/setup_screen.h"
#include "tests/tools/session_world_fixture.h"
#include "tools/default_grid.h"
#include "tools/knowledge_files.h"
#include "world/track_code.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"
#include "world/layout.h"
#include "world/map_squares.h"
#include "world/start_lights.h"
#include "world/world.h"

namespace {

class RaceSetupPathTest : public SessionWorldFixture {
protected:
    void SetUp() override
    {
        SessionWorldFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        std::memcpy(savedCar, SelectedCarName, sizeof(savedCar));
        std::memcpy(&savedName, &PlayerName, sizeof(savedName));
        RegisterCommandServices();
        ResetSession(1, 0);
        std::snprintf(SelectedCarName, sizeof(SelectedCarName), "%s", CarTable[0].name);
        std::snprintf(PlayerName.name, sizeof(PlayerName.name), "Driver");
        std::filesystem::create_directories("data/grids");
        // The computer drivers' knowledge of the track for every car.
        char code[16];
        FormatTrackCode(code, sizeof(code), world->trackName, world->config > 0 ? world->config : 1, 0);
        const char *knowledgeError = WriteKnowledgeFilesForPath(*world->currentPath, code);
        ASSERT_EQ(knowledgeError, nullptr) << knowledgeError;
        std::filesystem::remove("data/grids/cfg.rac");
        ClearMessageLines();
        SetCurrentScreen(nullptr);
        MainMenuScreen(nullptr);
        ASSERT_EQ(IsMainMenuIdle(), 1);
    }
    void TearDown() override
    {
        // The program's exit closes whatever is still open.
        ExitState = 1;
        for (int i = 0; i < 20 && MainMenuPage != nullptr; ++i) {
            Frame();
        }
        ExitState = 0;
        SessionWorldFixture::TearDown();
        SetCommandServices(CommandServices{});
        SetCurrentScreen(nullptr);
        std::memcpy(SelectedCarName, savedCar, sizeof(savedCar));
        std::memcpy(&PlayerName, &savedName, sizeof(savedName));
        std::filesystem::remove("data/grids/cfg.rac");
    }

    // One main-loop pass of 10 ms: the entry page runs its child.
    static void Frame(uint32_t ms = 10)
    {
        GameClock += ms;
        if (MainMenuPage != nullptr) {
            MainMenuPage->Run(MainMenuPage);
        }
    }

    static bool Printed(const char *text)
    {
        for (int i = 0; i < MessageLineCount; ++i) {
            if (std::strstr(MessageLines[i].Text, text) != nullptr) {
                return true;
            }
        }
        return false;
    }

    // A grid of the local driver and three computer drivers, their car
    // records filled, saved as the "cfg" grid.
    static void WriteFourCarGrid()
    {
        RaceObject *race = CreateRaceObject();
        for (int i = 0; i < 4; ++i) {
            PlayerInfo info{};
            if (i == 0) {
                FillPlayerInfo(&info, nullptr);
            } else {
                FillAiPlayerInfo(&info, AiDriverNames[i].name, 0, nullptr);
            }
            info.playerId = static_cast<uint8_t>(i + 1);
            info.gridIndex = static_cast<uint8_t>(i);
            PlayerSlot *slot = race->AddSlot(info);
            if (i == 0) {
                LoadCarRecord(slot, CarTable[0].name);
            } else {
                FillAiCarRecord(slot, i, CarTable[i].name);
            }
        }
        race->raceLength = 3;
        race->wind = 0;
        ASSERT_EQ(WriteRaceFile(race, "cfg"), 1);
        DeleteRaceObject();
    }

private:
    char savedCar[32] = {};
    PlayerNameRecord savedName{};
};

TEST_F(RaceSetupPathTest, SinglePlayerJoinsThroughPacketsAndReadyStartsTheRace)
{
    ExecuteCommand(CommandSourceLocal, "/sp", 0);
    ASSERT_NE(SetupScreenPtr, nullptr);
    EXPECT_EQ(MainMenuPage->Child, SetupScreenPtr);
    EXPECT_EQ(CurrentScreen, SetupScreenPtr);
    RaceObject *race = RaceObjectPtr;
    ASSERT_NE(race, nullptr);
    // The join request became a new-player packet, still in the own ring.
    EXPECT_EQ(race->slotCount, 0);

    // One frame later the driver has a slot and its car record is on its way.
    Frame();
    ASSERT_EQ(race->slotCount, 1);
    const PlayerSlot &slot = race->slots[0];
    EXPECT_EQ(slot.info.kind, KindLocal);
    EXPECT_STREQ(SlotName(&slot), "Driver");
    EXPECT_NE(slot.info.playerId, 0);
    EXPECT_EQ(slot.packetSent, 1);
    EXPECT_EQ(IsGridIncomplete(), 1);
    // A ready vote now is refused: the car has not arrived.
    ExecuteCommand(CommandSourceLocal, "/ready", 0);
    Frame();
    EXPECT_EQ(GameState, 1);
    EXPECT_EQ(slot.packetSent, 2);
    EXPECT_STREQ(slot.carName, CarTable[0].name);
    EXPECT_EQ(IsGridIncomplete(), 0);

    ExecuteCommand(CommandSourceLocal, "/ready", 0);
    EXPECT_EQ(GameState, 1);
    Frame();
    ASSERT_NE(GameSessionPtr, nullptr);
    EXPECT_EQ(GameState, 2);
    EXPECT_EQ(GameSessionPtr->owner, SetupScreenPtr);
    EXPECT_EQ(IsSetupScreenIdle(), 0);
    ExpectOnGrid(*race, 1);
    EXPECT_EQ(GameSessionPtr->drivenCar, race->slots[0].car);
    EXPECT_EQ(world->startLightState, StartLightsArmed);
    EXPECT_GT(race->countdownSeconds, 0);
    // The session runs a tick every 10 ms of game clock.
    GameClock = InitTime + SessionFrameCount * 10;
    const uint32_t tick = race->tick;
    for (int i = 0; i < 50; ++i) {
        Frame();
    }
    EXPECT_EQ(race->tick - tick, 50u);
}

TEST_F(RaceSetupPathTest, EscapeInTheLobbyReturnsToTheEntryPageWithTheGridSaved)
{
    ExecuteCommand(CommandSourceLocal, "/sp", 0);
    Frame();
    Frame();
    ASSERT_EQ(RaceObjectPtr->slotCount, 1);
    SetupScreenPtr->Key(SetupScreenPtr, VkEscape);
    Frame();
    EXPECT_EQ(SetupScreenPtr, nullptr);
    EXPECT_EQ(RaceObjectPtr, nullptr);
    ASSERT_NE(MainMenuPage, nullptr);
    EXPECT_EQ(MainMenuPage->Child, nullptr);
    EXPECT_EQ(CurrentScreen, MainMenuPage);
    EXPECT_EQ(IsMainMenuIdle(), 1);
    // The grid was saved as "cfg": it reads back with the driver and his car.
    RaceObject *race = CreateRaceObject();
    ASSERT_EQ(ReadRaceFile(race, "cfg", nullptr, 1), 1);
    ASSERT_EQ(race->slotCount, 1);
    EXPECT_STREQ(race->slots[0].carName, CarTable[0].name);
    DeleteRaceObject();

    // "/sp" again finds the saved grid: no join request, the driver is there.
    ExecuteCommand(CommandSourceLocal, "/sp", 0);
    ASSERT_NE(RaceObjectPtr, nullptr);
    EXPECT_EQ(RaceObjectPtr->slotCount, 1);
    EXPECT_EQ(IsGridIncomplete(), 0);
}

TEST_F(RaceSetupPathTest, TheCfgGridOfFourStartsWithinTwoFramesAndTheExitEndsItInOrder)
{
    WriteFourCarGrid();
    ExecuteCommand(CommandSourceLocal, "/sp", 0);
    ExecuteCommand(CommandSourceLocal, "/ready", 0);
    Frame();
    if (GameSessionPtr == nullptr) {
        Frame();
    }
    ASSERT_NE(GameSessionPtr, nullptr);
    RaceObject &race = *RaceObjectPtr;
    ASSERT_EQ(race.slotCount, 4);
    EXPECT_EQ(race.countdownSeconds, 10);
    ExpectOnGrid(race, 4);
    EXPECT_EQ(race.slots[0].info.kind, KindLocal);
    EXPECT_EQ(GameSessionPtr->drivenCar, race.slots[0].car);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(race.slots[i].info.kind, KindLocalAi) << i;
    }
    // Every car waits on the grid with its engine running (it is heard idling).
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(race.slots[i].car, nullptr) << i;
        EXPECT_EQ(race.slots[i].car->engine.running, 1) << i;
        EXPECT_GT(race.slots[i].car->engine.speed, 0.5f * race.slots[i].car->engine.idleSpeed) << i;
    }

    // The program's exit: the end vote ends the race, then the setup page and
    // the entry page close in that order.
    ExitState = 1;
    bool sawLobbyAfterRace = false;
    for (int i = 0; i < 20 && MainMenuPage != nullptr; ++i) {
        Frame();
        if (GameSessionPtr == nullptr && SetupScreenPtr != nullptr) {
            sawLobbyAfterRace = true;
        }
    }
    EXPECT_TRUE(sawLobbyAfterRace || SetupScreenPtr == nullptr);
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_EQ(SetupScreenPtr, nullptr);
    EXPECT_EQ(MainMenuPage, nullptr);
    EXPECT_EQ(GameState, 1);
    ExitState = 0;
}

TEST_F(RaceSetupPathTest, TheDefaultGridStartsItsRaceAtStartOnceEveryCarRecordIsIn)
{
    ASSERT_EQ(WriteDefaultGrid("."), nullptr);
    ASSERT_EQ(StartRaceAtStartup(), 1);
    ASSERT_NE(SetupScreenPtr, nullptr);
    // The grid's drivers have no car records yet: the lobby sends one a
    // frame, and the ready vote waits for the last.
    ASSERT_EQ(RaceObjectPtr->slotCount, 4);
    EXPECT_EQ(IsGridIncomplete(), 1);
    int frames = 0;
    while (GameSessionPtr == nullptr && frames < 20) {
        Frame();
        ++frames;
    }
    ASSERT_NE(GameSessionPtr, nullptr);
    EXPECT_GE(frames, 5);
    const RaceObject &race = *RaceObjectPtr;
    ASSERT_EQ(race.slotCount, 4);
    ExpectOnGrid(race, 4);
    EXPECT_EQ(GameSessionPtr->drivenCar, race.slots[0].car);
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(race.slots[i].carName, CarTable[i].name) << i;
    }
    // A grid already there is the user's: it is kept.
    const auto written = std::filesystem::last_write_time("data/grids/cfg.rac");
    ASSERT_EQ(WriteDefaultGrid("."), nullptr);
    EXPECT_EQ(std::filesystem::last_write_time("data/grids/cfg.rac"), written);
}

TEST_F(RaceSetupPathTest, CommandsAnswerWithTheirRefusals)
{
    // "/ready" and "/clear" need the setup page, "/sp" the idle entry page.
    ExecuteCommand(CommandSourceLocal, "/ready", 1);
    EXPECT_STREQ(CommandErrorText, "Command is for game setup screen");
    ExecuteCommand(CommandSourceLocal, "/clear", 1);
    EXPECT_STREQ(CommandErrorText, "Command is for game setup screen");
    ExecuteCommand(CommandSourceLocal, "/sp", 0);
    ExecuteCommand(CommandSourceLocal, "/sp", 1);
    EXPECT_STREQ(CommandErrorText, "Command is for entry screen only");
    Frame();
    Frame();
    // "/join" with the driver on the grid, "/car" while in the race.
    ExecuteCommand(CommandSourceLocal, "/join", 1);
    EXPECT_STREQ(CommandErrorText, "Driver already in race");
    char line[32];
    std::snprintf(line, sizeof(line), "/car %s", CarTable[1].code);
    ExecuteCommand(CommandSourceLocal, line, 1);
    EXPECT_STREQ(CommandErrorText, "Driver already in race");
    EXPECT_STREQ(SelectedCarName, CarTable[0].name);

    // "/spec" takes the driver off the grid; "/car" then chooses the car and
    // clears the set-up and colour choices.
    ExecuteCommand(CommandSourceLocal, "/spec", 0);
    Frame();
    EXPECT_EQ(RaceObjectPtr->slotCount, 0);
    SetupIndex = 3;
    std::snprintf(SetupName, sizeof(SetupName), "fast");
    ColoursIndex = -1;
    ExecuteCommand(CommandSourceLocal, line, 1);
    EXPECT_STREQ(SelectedCarName, CarTable[1].name);
    EXPECT_EQ(SetupIndex, 0);
    EXPECT_EQ(ColoursIndex, 0);
    EXPECT_STREQ(SetupName, "");
    ExecuteCommand(CommandSourceLocal, "/spec", 1);
    EXPECT_STREQ(CommandErrorText, "Driver is not in race");

    // "/join" adds the driver again; "/clear" empties the grid.
    ExecuteCommand(CommandSourceLocal, "/join", 0);
    Frame();
    EXPECT_EQ(RaceObjectPtr->slotCount, 1);
    // Queued without a flush of its own: it goes with the lobby's next one.
    ExecuteCommand(CommandSourceLocal, "/clear", 0);
    Frame();
    Frame();
    EXPECT_EQ(RaceObjectPtr->slotCount, 0);
}

TEST_F(RaceSetupPathTest, TheLobbyRebaseMovesTheClockAndEveryCounterTogether)
{
    ExecuteCommand(CommandSourceLocal, "/sp", 0);
    // Run the lobby to just past 61 s of game clock.
    GameClock = 60990;
    Frame(5);
    ASSERT_GT(SessionFrameCount, 100u);
    const uint32_t ahead = (GameClock - InitTime) / 10 - SessionFrameCount;
    const uint32_t clock = GameClock;
    const uint32_t frames = SessionFrameCount;
    const uint32_t own = OwnFrameMark;
    Frame(10);
    const uint32_t moved = clock + 10 - GameClock;
    EXPECT_GT(moved, 0u);
    EXPECT_EQ(moved % 100, 0u);
    EXPECT_LT(InitTime, 100u);
    EXPECT_EQ((GameClock - InitTime) / 10 - SessionFrameCount, ahead);
    // The frames moved back by whole hundreds, the own ring's mark with them.
    EXPECT_EQ((frames + 1 - SessionFrameCount) % 100, 0u);
    EXPECT_EQ(own - OwnFrameMark, frames + 1 - SessionFrameCount);
    EXPECT_EQ(ClockFrame, SessionFrameCount);
    EXPECT_EQ(ConnTable[0].framesStored, SessionFrameCount);
    // Packets still go round: a driver joins after the rebase.
    ASSERT_EQ(RaceObjectPtr->slotCount, 1);
    ExecuteCommand(CommandSourceLocal, "/clear", 0);
    Frame();
    Frame();
    EXPECT_EQ(RaceObjectPtr->slotCount, 0);
    ExecuteCommand(CommandSourceLocal, "/join", 0);
    Frame();
    EXPECT_EQ(RaceObjectPtr->slotCount, 1);
}

}  // namespace
