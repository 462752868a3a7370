// A game session entered over a race object with four generated cars on the
// fixture track, run by a fake game clock through the program's registered
// race, vehicle and network entries.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/car_sound_services.h"
#include "app/race_object_services.h"
#include "audio/car_engine_sound.h"
#include "audio/car_sound_mixer.h"
#include "audio/interface_sound.h"
#include "audio/sound_output.h"
#include "core/settings.h"
#include "sound_analysis.h"
#include "tools/default_engines.h"
#include "tools/default_sounds.h"
#include "vehicle/car_sound_feed.h"
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
#include "tests/tools/session_world_fixture.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"
#include "world/layout.h"
#include "world/map_squares.h"
#include "world/start_lights.h"
#include "world/world_messages.h"

namespace {

class GameSessionWorldTest : public SessionWorldFixture {
protected:
    void SetUp() override
    {
        SessionWorldFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
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

    // Main-loop passes of `ms` milliseconds each.
    static void Run(int passes, uint32_t ms)
    {
        for (int i = 0; i < passes && GameSessionPtr != nullptr; ++i) {
            GameClock += ms;
            SessionFrame(*GameSessionPtr);
        }
    }
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

// The car-sound feed as the physics tick drives it, on an output whose
// write cursor moves one block a call: every tick mixes one block, kept here.
struct CapturedCarSound {
    CarSoundBufferState state{0, 0, 1.0f};
    uint32_t cursor = 0;
    int16_t block[CarSoundBlockFrames * 2] = {};
    std::vector<int16_t> pcm;
};
CapturedCarSound *Captured = nullptr;

void InstallCapturedCarSound(CapturedCarSound &c)
{
    Captured = &c;
    CarSound = {};
    CarSound.state = &c.state;
    CarSound.ready = [] { return CarSoundMixerEnabled != 0 && SoundListenerValid != 0 ? 1 : 0; };
    CarSound.hasBuffer = [] { return 1; };
    CarSound.startSilent = [](int) { return 1; };
    CarSound.getWriteCursor = [](uint32_t *bytes) {
        Captured->cursor = (Captured->cursor + CarSoundBlockBytes) % (CarSoundBufferFrames * CarSoundBytesPerFrame);
        *bytes = Captured->cursor;
        return 0;
    };
    CarSound.lock = [](uint32_t, uint32_t, void **part1, uint32_t *size1, void **part2, uint32_t *size2) {
        *part1 = Captured->block;
        *size1 = CarSoundBlockBytes;
        *part2 = nullptr;
        *size2 = 0;
        return 0;
    };
    CarSound.unlock = [](void *, uint32_t, void *, uint32_t) {
        Captured->pcm.insert(Captured->pcm.end(), Captured->block, Captured->block + CarSoundBlockFrames * 2);
    };
    CarSound.mixBlock = [](int16_t *samples, int) { MixCarSounds(samples); };
    CarSound.getVolume = [] { return CarSoundGain; };
    CarSound.setVolume = [](float v) { CarSoundGain = v; };
}

// The fraction of a signal's energy between 40 and 2,000 Hz, by one-pole
// high- and low-pass filters.
double BandShare(const std::vector<double> &x)
{
    const double a = std::exp(-2.0 * M_PI * 40.0 / 44100.0);
    const double b = std::exp(-2.0 * M_PI * 2000.0 / 44100.0);
    double low40 = 0.0;
    double low2000 = 0.0;
    double band = 0.0;
    double all = 0.0;
    for (double v : x) {
        low40 = a * low40 + (1.0 - a) * v;
        const double high = v - low40;
        low2000 = b * low2000 + (1.0 - b) * high;
        band += low2000 * low2000;
        all += v * v;
    }
    return all > 0.0 ? band / all : 0.0;
}

// The cars are heard in a session: the session starts the mixer, writes the
// listener every frame and the feed mixes one block a tick; over the last
// 15 s every 0.5 s is above -50 dBFS, and once the AI cars race at least half
// its energy lies between 40 and 2,000 Hz; the cars are marked heard.
TEST_F(GameSessionWorldTest, TheCarsAreHeardThroughoutTheRace)
{
    ASSERT_EQ(WriteDefaultEngineFiles("."), nullptr);
    ASSERT_EQ(WriteDefaultSounds("."), nullptr);
    LoadSoundSamples();
    const CarObjectServices savedCarServices = CarServices;
    RegisterCarEngineSound();
    RegisterCarSoundServices();
    const float savedDelay = SoundDelay;
    SoundDelay = 0.0f;
    CarSoundGain = 1.0f;
    CapturedCarSound capture;
    InstallCapturedCarSound(capture);

    GameSession *session = EnterSession(nullptr, SessionNormal, 0);
    ASSERT_EQ(GameSessionPtr, session);
    EXPECT_EQ(CarSoundMixerEnabled, 1u);
    GameClock = InitTime;
    Run(1, 10);
    EXPECT_EQ(SoundListenerValid, 1u);
    EXPECT_EQ(Listener.focusedCar, session->viewedCar);
    // The AI drivers do not drive the cars yet: the test starts every
    // engine and, at the green light, opens the AI cars' throttles in
    // first gear on the automatic gears.
    for (int i = 0; i < RaceObjectPtr->slotCount; i++) {
        CarObject *c = RaceObjectPtr->slots[i].car;
        ASSERT_NE(c, nullptr);
        c->engine.StartAtIdle();
        c->autoClutch = 1;
        c->autoGears = 1;
    }
    Run(1000, 10);
    for (int i = 1; i < RaceObjectPtr->slotCount; i++) {
        RaceObjectPtr->slots[i].car->inputs[14] = 2;
    }
    Run(5, 10);
    const size_t pullAway = capture.pcm.size() / 2;
    for (int i = 1; i < RaceObjectPtr->slotCount; i++) {
        RaceObjectPtr->slots[i].car->inputs[14] = 255;
        RaceObjectPtr->slots[i].car->inputs[1] = static_cast<uint16_t>(30000 + 10000 * i);
    }
    Run(1500, 10);
    const size_t frames = capture.pcm.size() / 2;
    EXPECT_GE(frames, static_cast<size_t>(2400 * CarSoundBlockFrames));
    WriteTestWav("session_race", capture.pcm.data(), static_cast<uint32_t>(frames), 2);
    int quiet = 0;
    int narrow = 0;
    const size_t window = 22050;
    for (size_t w = frames - 15 * 44100; w + window <= frames; w += window) {
        std::vector<double> x(window);
        for (size_t i = 0; i < window; i++) {
            x[i] = 0.5 * (capture.pcm[(w + i) * 2] + capture.pcm[(w + i) * 2 + 1]);
        }
        const double rms = SoundRms(x);
        quiet += rms < 32767.0 * 0.00316 ? 1 : 0;
        // Idling four-cylinders fire near 32 Hz: the band is judged from
        // 3 s after the AI cars pull away, when their engines are up (the
        // window at 2.5 s still holds the first gear's low revs).
        if (w >= pullAway + 3 * 44100) {
            narrow += BandShare(x) < 0.5 ? 1 : 0;
        }
    }
    EXPECT_EQ(quiet, 0);
    EXPECT_EQ(narrow, 0);
    int heard = 0;
    for (int i = 0; i < RaceObjectPtr->slotCount; i++) {
        heard += RaceObjectPtr->slots[i].car != nullptr && RaceObjectPtr->slots[i].car->soundHeard != 0 ? 1 : 0;
    }
    EXPECT_GE(heard, 1);

    // Leaving the session resets the listener and stops the mixer.
    LeaveSession(*session);
    delete session;
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_EQ(CarSoundMixerEnabled, 0u);
    EXPECT_EQ(SoundListenerValid, 0u);
    CarSound = {};
    Captured = nullptr;
    CarSoundLinks = {};
    FreeSoundSamples();
    SoundDelay = savedDelay;
    CarServices = savedCarServices;
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
