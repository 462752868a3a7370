// Single-player replays through the real session over the fixture track:
// a race recorded tick by tick, saved, opened again and played back to the
// same state bit for bit.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "app/replay_services.h"
#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "race/race_links.h"
#include "race/session_frame.h"
#include "race/spr_file.h"
#include "tests/tools/replay_state_hash.h"
#include "tests/tools/session_world_fixture.h"
#include "vehicle/car_object.h"

namespace {

class SprReplayTest : public SessionWorldFixture {
protected:
    void SetUp() override
    {
        SessionWorldFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        RegisterReplayServices();
        std::filesystem::create_directories("data/spr");
        ReplayOutOfSync = 0;
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
        CopyString(RaceObjectPtr->trackName, world->trackName, sizeof(RaceObjectPtr->trackName));
        RaceObjectPtr->raceLength = 3;
        RaceObjectPtr->wind = 0;
    }
    void TearDown() override
    {
        CloseSprPlayback(0);
        SessionWorldFixture::TearDown();
        ReplayOutOfSync = 0;
    }

    // The computer drivers' cars get scripted inputs: throttle after the
    // start, a weaving steer and gear changes, different for each car.
    static void Drive(RaceObject &race)
    {
        const uint32_t t = race.tick;
        for (int i = 1; i < race.slotCount; ++i) {
            CarObject *car = race.slots[i].car;
            if (car == nullptr) {
                continue;
            }
            car->inputs[1] = t > 1000 ? static_cast<uint16_t>(30000 + 8000 * i) : 0;
            car->inputs[0] = static_cast<uint16_t>(32768 + ((t / 37 + 11 * i) % 9 - 4) * 700);
            car->inputs[3] = t % 300 == static_cast<uint32_t>(10 * i) ? 1 : 0;
        }
    }

    static void Pass()
    {
        GameClock += 10;
        SessionFrame(*GameSessionPtr);
    }

    static void Leave()
    {
        if (GameSessionPtr != nullptr) {
            GameSession *session = GameSessionPtr;
            LeaveSession(*session);
            delete session;
        }
    }

    // Records `ticks` ticks of the race; the hashes every 100 ticks and at
    // the end. Returns the end tick.
    static uint32_t RecordRace(uint32_t ticks, std::map<uint32_t, uint32_t> &hashes)
    {
        EnterSession(nullptr, SessionNormal, 0);
        EXPECT_EQ(SprRecordingActive(), 1);
        GameClock = InitTime;
        RaceObject &race = *RaceObjectPtr;
        while (race.tick < ticks && GameSessionPtr != nullptr) {
            Drive(race);
            Pass();
            if (race.tick % 100 == 0) {
                hashes[race.tick] = ReplayStateHash(race);
            }
        }
        hashes[race.tick] = ReplayStateHash(race);
        return race.tick;
    }

    // Plays the saved replay from a new race object, as the entry page
    // does, comparing the hashes on the way.
    static void PlayBack(const char *name, uint32_t endTick, const std::map<uint32_t, uint32_t> &hashes)
    {
        int loading = 1;
        ASSERT_EQ(OpenSprForPlayback(nullptr, name, 1, &loading), 1);
        EXPECT_EQ(loading, 0);
        ASSERT_EQ(ReadSprPlayers(nullptr, 1), 1);
        EXPECT_EQ(SprReadFirstRecord(), static_cast<int32_t>(endTick));
        GameState = 3;
        GameSession *session = EnterSession(nullptr, SessionNormal, 0);
        ASSERT_NE(session, nullptr);
        EXPECT_EQ(session->controlsFrozen, 1);
        EXPECT_EQ(session->drivenCar, nullptr);
        EXPECT_EQ(SprRecordingActive(), 0);
        GameClock = InitTime;
        RaceObject &race = *RaceObjectPtr;
        int compared = 0;
        while (race.tick < endTick && GameSessionPtr != nullptr) {
            Pass();
            const auto at = hashes.find(race.tick);
            if (at != hashes.end()) {
                ASSERT_EQ(ReplayStateHash(race), at->second) << "tick " << race.tick;
                ++compared;
            }
        }
        EXPECT_EQ(race.tick, endTick);
        EXPECT_EQ(ReplayOutOfSync, 0);
        EXPECT_GT(compared, 10);
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
    Leave();
    DeleteRaceObject();
    GameState = 1;

    PlayBack("round_trip", endTick, hashes);
}

}  // namespace
