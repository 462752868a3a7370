// Single-player replays through the real session over the fixture track:
// a race recorded tick by tick, saved, opened again and played back to the
// same state bit for bit, and the replay's time controls.

#include "tests/tools/spr_fixture.h"

#include "app/command_services.h"
#include "core/command_interpreter.h"
#include "core/file_handover.h"
#include "core/main_window.h"
#include "race/game_session.h"
#include "screens/main_menu.h"
#include "screens/replay_open.h"
#include "ui/menu_page.h"

namespace {

class SprReplayTest : public SprFixture {
protected:
    // Opens the saved replay from a new race object, as the entry page
    // does, and enters its session.
    static void OpenReplaySession(const char *name, uint32_t endTick)
    {
        int loading = 1;
        ASSERT_EQ(OpenSprForPlayback(nullptr, name, 1, &loading), 1);
        EXPECT_EQ(loading, 0);
        ASSERT_EQ(ReadSprPlayers(nullptr, 1), 1);
        EXPECT_EQ(SprReadFirstRecord(), static_cast<int32_t>(endTick));
        ReplayStartTick = 0;
        ReplayLength = static_cast<int32_t>(endTick);
        GameState = 3;
        GameSession *session = EnterSession(nullptr, SessionNormal, 0);
        ASSERT_NE(session, nullptr);
        EXPECT_EQ(session->controlsFrozen, 1);
        EXPECT_EQ(session->drivenCar, nullptr);
        EXPECT_EQ(SprRecordingActive(), 0);
        GameClock = InitTime + SessionFrameCount * 10;
    }

    // Plays to `endTick`, comparing the hashes on the way: the number
    // compared.
    static int PlayTo(uint32_t endTick, const std::map<uint32_t, uint32_t> &hashes)
    {
        RaceObject &race = *RaceObjectPtr;
        int compared = 0;
        for (int stalled = 0; race.tick < endTick && GameSessionPtr != nullptr && stalled < 100;) {
            const uint32_t before = race.tick;
            Pass();
            stalled = race.tick == before ? stalled + 1 : 0;
            const auto at = hashes.find(race.tick);
            if (at != hashes.end()) {
                EXPECT_EQ(ReplayStateHash(race), at->second) << "tick " << race.tick;
                if (ReplayStateHash(race) != at->second) {
                    return compared;
                }
                ++compared;
            }
        }
        return compared;
    }
};

TEST_F(SprReplayTest, ARecordedRacePlaysBackToTheSameStateBitForBit)
{
    std::map<uint32_t, uint32_t> hashes;
    const uint32_t endTick = RecordRace(2500, hashes);
    ASSERT_EQ(endTick, 2500u);
    // The cars moved: the replay has something to show.
    const CarObject *car = RaceObjectPtr->slots[3].car;
    ASSERT_NE(car, nullptr);
    int32_t grid[3];
    float heading = 0.0f;
    GetStartPosition(world, grid, heading, 3, 0, 0, nullptr);
    EXPECT_NE(car->position.x, grid[0]);
    ASSERT_EQ(RaceLinks.endSingleRecording(), 1);
    ASSERT_EQ(SaveSprAs("round_trip", 1), 1);
    EXPECT_TRUE(WasPrinted("Saved SP replay - round_trip"));
    Leave();
    DeleteRaceObject();
    GameState = 1;
    ResetSessionAsHost();

    OpenReplaySession("round_trip", endTick);
    EXPECT_GT(PlayTo(endTick, hashes), 20);

    EXPECT_EQ(RaceObjectPtr->tick, endTick);
    EXPECT_EQ(ReplayOutOfSync, 0);
    EXPECT_TRUE(EndCodes.empty());
}

TEST_F(SprReplayTest, SeekingForwardAndBackReachesTheRecordedStatesAndTheEndRewindsOrEnds)
{
    std::map<uint32_t, uint32_t> hashes;
    const uint32_t endTick = RecordAndSave("seek", 1500, hashes);
    OpenReplaySession("seek", endTick);
    GameSession &session = *GameSessionPtr;
    RaceObject *race = RaceObjectPtr;
    PlayTo(300, hashes);
    ASSERT_EQ(race->tick, 300u);

    // A target at the tick toggles the pause; the target is clamped to the
    // replay.
    EXPECT_EQ(session.SeekReplay(300, 1), 1);
    EXPECT_EQ(Paused, 1u);
    EXPECT_EQ(session.SeekReplay(300, 0), 1);
    EXPECT_EQ(Paused, 0u);
    EXPECT_EQ(session.SeekReplay(-50, 0), 0);
    EXPECT_EQ(SeekTarget, 0);
    SeekActive = 0;
    race = RaceObjectPtr;

    // One tick behind: the replay restarts from its beginning and runs
    // fast to the target, where the state is the recorded one.
    PlayTo(700, hashes);
    ASSERT_EQ(race->tick, 700u);
    EXPECT_EQ(session.SeekReplay(699, 0), 0);
    race = RaceObjectPtr;
    EXPECT_LT(race->tick, 699u);
    EXPECT_TRUE(WasPrinted("Replay restarted"));
    for (int i = 0; i < 200 && SeekActive; ++i) {
        Pass();
    }
    EXPECT_EQ(SeekActive, 0u);
    ASSERT_GE(race->tick, 699u);
    // Forward over 100 ticks: the fast ticks reach the target.
    EXPECT_EQ(session.SeekReplay(1200, 0), 0);
    for (int i = 0; i < 200 && SeekActive; ++i) {
        Pass();
    }
    EXPECT_EQ(SeekActive, 0u);
    ASSERT_GE(race->tick, 1200u);
    // Ahead of an out-of-sync point a seek is refused.
    ReplayOutOfSync = 1;
    EXPECT_EQ(session.SeekReplay(1400, 0), 11);
    ReplayOutOfSync = 0;

    // At the end the replay starts again (EndAtReplayEnd clear) ...
    session.endAtReplayEnd = 0;
    bool restarted = false;
    for (int i = 0; i < 600 && !restarted; ++i) {
        Pass();
        restarted = RaceObjectPtr->tick < 100;
    }
    EXPECT_TRUE(restarted);
    EXPECT_LT(RaceObjectPtr->tick, 100u);
    ASSERT_NE(GameSessionPtr, nullptr);
    // ... or the session ends (EndAtReplayEnd set).
    GameSessionPtr->endAtReplayEnd = 1;
    for (int i = 0; i < 2000 && GameSessionPtr != nullptr; ++i) {
        Pass();
    }
    EXPECT_EQ(GameSessionPtr, nullptr);
}

TEST_F(SprReplayTest, RewindWhileDrivingSavesTheRecordingAndPlaysIt)
{
    std::map<uint32_t, uint32_t> hashes;
    RecordRace(600, hashes);
    GameSession &session = *GameSessionPtr;
    session.RewindReplay();
    EXPECT_EQ(GameState, 3);
    EXPECT_EQ(SprPlaybackOpen(), 1);
    EXPECT_EQ(RaceObjectPtr->tick, 0u);
    EXPECT_TRUE(WasPrinted("Saved SP replay - Driver_"));
    PlayTo(600, hashes);
    EXPECT_EQ(RaceObjectPtr->tick, 600u);
    EXPECT_EQ(ReplayOutOfSync, 0);
}

}  // namespace

namespace {

class SprEntryTest : public SprFixture {
protected:
    void TearDown() override
    {
        ExitState = 1;
        for (int i = 0; i < 3000 && MainMenuPage != nullptr; ++i) {
            Frame();
        }
        ExitState = 0;
        ExitCode = 0;
        SprFixture::TearDown();
        SetCommandServices(CommandServices{});
        SetCurrentScreen(nullptr);
    }
    static void Frame()
    {
        GameClock += 10;
        if (MainMenuPage != nullptr) {
            MainMenuPage->Run(MainMenuPage);
        }
    }
};

TEST_F(SprEntryTest, TheSprCommandPlaysASavedReplayFromTheEntryPageToItsEnd)
{
    std::map<uint32_t, uint32_t> hashes;
    const uint32_t endTick = RecordAndSave("entry", 900, hashes);
    RegisterCommandServices();
    SetCurrentScreen(nullptr);
    MainMenuScreen(nullptr);
    ASSERT_EQ(IsMainMenuIdle(), 1);
    PlayOnceRequest = 1;
    ExecuteCommand(CommandSourceLocal, "/spr entry", 0);
    EXPECT_EQ(PendingFileType, PendingFileSpr);
    for (int i = 0; i < 10 && GameSessionPtr == nullptr; ++i) {
        Frame();
    }
    ASSERT_NE(GameSessionPtr, nullptr);
    EXPECT_EQ(GameState, 3);
    EXPECT_EQ(PendingFileType, PendingFileNone);
    EXPECT_EQ(EntryReplaySessionShown(), 1);
    EXPECT_EQ(GameSessionPtr->owner, MainMenuPage);
    EXPECT_EQ(ReplayLength, static_cast<int32_t>(endTick));
    // A handed-over file may come while the replay shows.
    EXPECT_EQ(CanAcceptExternalFile(), 1);

    int compared = 0;
    for (int i = 0; i < 5000 && GameSessionPtr != nullptr; ++i) {
        Frame();
        const RaceObject *race = RaceObjectPtr;
        const auto at = race != nullptr ? hashes.find(race->tick) : hashes.end();
        if (GameSessionPtr != nullptr && at != hashes.end()) {
            EXPECT_EQ(ReplayStateHash(*race), at->second) << race->tick;
            ++compared;
        }
    }
    EXPECT_GE(compared, 8);
    EXPECT_EQ(ReplayOutOfSync, 0);
    // The replay ended its session; the entry page is idle again.
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_EQ(EntryReplaySessionShown(), 0);
    EXPECT_EQ(IsMainMenuIdle(), 1);
}

TEST_F(SprEntryTest, TheHotLapCheckStartModeEndsWithTheCodeOfTheReplay)
{
    std::map<uint32_t, uint32_t> hashes;
    RecordAndSave("not_hot", 400, hashes);
    RegisterCommandServices();
    SessionLinks.endProgram = [](int code) {
        EndCodes.push_back(code);
        ExitProgram(code);
    };
    SetCurrentScreen(nullptr);
    StartMode = StartModeHotLapCheck;
    CopyString(PendingFileName, "not_hot", sizeof(PendingFileName));
    MainMenuScreen(nullptr);
    for (int i = 0; i < 20 && MainMenuPage != nullptr; ++i) {
        Frame();
    }
    StartMode = StartModeNormal;
    EXPECT_EQ(EndCodes, std::vector<int>{5});
    EXPECT_EQ(ExitCode, 5);
    EXPECT_EQ(MainMenuPage, nullptr);
    EXPECT_EQ(GameSessionPtr, nullptr);
}

}  // namespace
