// A race of twenty computer drivers on the Grand Prix circuit of the generated
// default site, recorded into a single-player replay, saved by the end vote
// and played back.

#include "tests/tools/ai_race_fixture.h"

#include <filesystem>
#include <map>

#include "app/replay_services.h"
#include "core/text_utils.h"
#include "race/race_links.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "race/spr_file.h"
#include "tests/tools/replay_state_hash.h"

namespace {

class SprAiRaceTest : public AiRaceFixture {
protected:
    void SetUp() override
    {
        AiRaceFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        savedLinks = SessionLinks;
        savedAutoSave = SprAutoSave;
        RegisterReplayServices();
        std::filesystem::create_directories("data/spr");
        ReplayOutOfSync = 0;
    }
    void TearDown() override
    {
        StopSprRecording();
        CloseSprPlayback(0);
        AiRaceFixture::TearDown();
        SessionLinks = savedLinks;
        SetReplayPacketRecorder(nullptr);
        ReplayLinks = ReplayLinkServices{};
        SprAutoSave = savedAutoSave;
        ReplayOutOfSync = 0;
    }

private:
    SessionLinkServices savedLinks{};
    int savedAutoSave = 0;
};

TEST_F(SprAiRaceTest, TwentyComputerDriversRaceAndTheirReplayIsSavedByTheEndVoteAndPlaysBackBitForBit)
{
    std::vector<int> cars;
    const int count = 20;
    for (int i = 0; i < count; ++i) {
        cars.push_back(i % CarModelCount);
    }
    FrameRandom = 4321;
    SprAutoSave = 2;
    MakeAiRace(cars, 4, 3, 1);
    CopyString(RaceObjectPtr->trackName, world->trackName, sizeof(RaceObjectPtr->trackName));
    EnterSession(nullptr, SessionNormal, 0);
    ASSERT_NE(GameSessionPtr, nullptr);
    ASSERT_EQ(SprRecordingActive(), 1);
    RaceObject &race = *RaceObjectPtr;
    EXPECT_EQ(race.countdownSeconds, count / 2 + 8);  // 18 s for twenty cars
    GameClock = InitTime + SessionFrameCount * 10;

    // From the grid to 60 s after the green.
    std::map<uint32_t, uint32_t> hashes;
    int greenTick = -1;
    for (int i = 0; i < 9000 && GameSessionPtr != nullptr; ++i) {
        Run(1);
        if (greenTick < 0 && world->startLightState == StartLightsGreen) {
            greenTick = static_cast<int>(race.tick);
        }
        if (race.tick % 100 == 0) {
            hashes[race.tick] = ReplayStateHash(race);
        }
        if (greenTick > 0 && race.tick >= static_cast<uint32_t>(greenTick) + 6000) {
            break;
        }
    }
    ASSERT_GE(greenTick, (count / 2 + 8) * 100);
    for (int i = 0; i < race.slotCount; ++i) {
        SCOPED_TRACE(testing::Message() << "slot " << i);
        ASSERT_NE(race.slots[i].car, nullptr);
        ASSERT_NE(race.slots[i].ai, nullptr);
    }
    const uint32_t endTick = race.tick;
    hashes[endTick] = ReplayStateHash(race);

    // The end vote ends the race; a race over 3000 ticks is saved under its
    // default name.
    LastSavedSprName[0] = 0;
    ConnTable[0].gameVote = 1;
    Run(5);
    ASSERT_EQ(GameSessionPtr, nullptr);
    ASSERT_NE(LastSavedSprName[0], 0);
    const std::string name = LastSavedSprName;
    DeleteRaceObject();
    GameState = 1;
    ResetSessionAsHost();

    // Played back: the state matches at every hundredth tick.
    SharedRandom = 1;
    ASSERT_EQ(OpenSprForPlayback(nullptr, name.c_str(), 1, nullptr), 1);
    ASSERT_EQ(ReadSprPlayers(nullptr, 1), 1);
    EXPECT_GE(SprReadFirstRecord(), static_cast<int32_t>(endTick));
    GameState = 3;
    EnterSession(nullptr, SessionNormal, 0);
    ASSERT_NE(GameSessionPtr, nullptr);
    GameClock = InitTime + SessionFrameCount * 10;
    RaceObject &replay = *RaceObjectPtr;
    int compared = 0;
    while (GameSessionPtr != nullptr && replay.tick < endTick) {
        Run(1);
        const auto at = hashes.find(replay.tick);
        if (at != hashes.end()) {
            ASSERT_EQ(ReplayStateHash(replay), at->second) << "tick " << replay.tick;
            ++compared;
        }
    }
    EXPECT_EQ(replay.tick, endTick);
    EXPECT_GE(compared, 70);
    EXPECT_EQ(ReplayOutOfSync, 0);
}

}  // namespace
