#include "race/game_session.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <filesystem>
#include <fstream>

#include "race/game_state.h"
#include "race/session_frame.h"
#include "core/shell_globals.h"
#include "render/screen_modes.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/race_requests.h"
#include "race/session_clock.h"
#include "vehicle/car_race_services.h"
#include "tests/race/race_fixture.h"
#include "world/layout.h"
#include "world/start_lights.h"

namespace {

class SessionTickTest : public RaceFixture {
protected:
    void SetUp() override {
        RaceFixture::SetUp();
        savedState = GameState;
        GameState = 2;
        VoteAction = 0;
        VoteCountdown = 0;
        VoteHeldByHost = 0;
        ReplayOutOfSync = 0;
        session = new GameSession;
        session->active = 1;
        GameSessionPtr = session;
        for (int &v : votes) {
            v = 0;
        }
        connections = 1;
        RaceLinks.connectionVote = [](int c) { return votes[c]; };
        RaceLinks.connectionCount = [] { return connections; };
    }
    void TearDown() override {
        DeleteRaceObject();
        GameSessionPtr = nullptr;
        delete session;
        GameState = savedState;
        ReplayOutOfSync = 0;
        VoteAction = 0;
        RaceFixture::TearDown();
    }

    GameSession *session = nullptr;
    int savedState = 0;
    static inline int votes[8] = {};
    static inline int connections = 1;
};

TEST_F(SessionTickTest, CountdownsOfAStart)
{
    struct Case {
        int slots, online, layoutStart, raceKind, raceLength;
        uint32_t seconds;
    };
    const Case cases[] = {
        {5, 0, 0, 1, 5, 10}, {5, 1, 0, 1, 5, 14}, {4, 0, 0, 1, 5, 10}, {5, 0, 0, 2, 5, 3},
        {5, 0, 0, 1, 0, 3},  {5, 0, 1, 1, 5, 6},  {32, 0, 0, 1, 3, 24},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(StartCountdownFor(c.slots, c.online, c.layoutStart, c.raceKind, c.raceLength), c.seconds)
            << c.slots << " " << c.online << " " << c.layoutStart << " " << c.raceKind << " " << c.raceLength;
    }
}

TEST_F(SessionTickTest, TickCountsAndOrdersEvery128)
{
    // No race: nothing; a tick of a race counts; the running order is taken
    // at multiples of 128 (nothing to order without a world: it empties).
    GameState = 1;
    EXPECT_EQ(SessionTick(*session, 2, 1), 1u);
    EXPECT_EQ(race->tick, 0u);
    GameState = 2;
    race->tick = 120;
    race->orderCount = 5;
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(SessionTick(*session, 0, 7 - i), 0u);
    }
    EXPECT_EQ(race->tick, 127u);
    EXPECT_EQ(race->orderCount, 5);
    SessionTick(*session, 1, 1);
    EXPECT_EQ(race->tick, 128u);
    EXPECT_EQ(race->orderCount, 0);
    EXPECT_EQ(session->tickCounter, 8u);

    // Out of sync: only the AI and the controls run.
    ReplayOutOfSync = 1;
    SessionTick(*session, 2, 1);
    EXPECT_EQ(race->tick, 128u);
    EXPECT_EQ(session->tickCounter, 8u);
    ReplayOutOfSync = 0;
    // A session no longer active only counts the race tick.
    session->active = 0;
    SessionTick(*session, 2, 1);
    EXPECT_EQ(race->tick, 129u);
    EXPECT_EQ(session->tickCounter, 8u);

    // The float environment is the start one at every tick.
    session->active = 1;
    std::fesetround(FE_UPWARD);
    SessionTick(*session, 2, 1);
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

TEST_F(SessionTickTest, VotesOffline)
{
    AddWithCar("me", 1);
    // A lone voter's end ends the session at the next check.
    votes[0] = 1;
    session->CheckRaceVote();
    EXPECT_EQ(VoteAction, 1);
    EXPECT_EQ(VoteCountdown, 0);
    session->CheckRaceVote();
    EXPECT_EQ(session->active, 0u);
    EXPECT_EQ(GameState, 1);
    EXPECT_EQ(RaceKind, 0);

    // A restart waits 100 ticks.
    GameState = 2;
    session->active = 1;
    votes[0] = 2;
    session->CheckRaceVote();
    EXPECT_EQ(VoteCountdown, 100);
    votes[0] = 0;
    for (int i = 0; i < 99; ++i) {
        session->CheckRaceVote();
    }
    EXPECT_EQ(VoteAction, 2);
    race->tick = 500;
    session->CheckRaceVote();
    EXPECT_EQ(VoteAction, 0);
    EXPECT_EQ(race->tick, 0u);
    EXPECT_EQ(RaceKind, 1);
    EXPECT_EQ(session->active, 1u);

    // An empty offline race ends at once.
    race->RemoveSlot(0);
    session->CheckRaceVote();
    EXPECT_EQ(session->active, 0u);
}

TEST_F(SessionTickTest, VotesOnline)
{
    OnlineFlag = 1;
    struct Case {
        const char *what;
        std::vector<int> votes;  // one per connection, each with a player
        int action;
        int countdown;
    };
    const Case cases[] = {
        {"restart, restart, end", {0, 2, 2, 1}, 2, 300},
        {"two end, two qualify", {0, 1, 1, 3, 3}, 3, 300},
        {"the host's own vote", {1, 2, 2, 2}, 1, 300},
        {"no majority", {0, 2, 0, 0, 1}, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        race->ClearSlotFlag();
        race->slotCount = 0;
        VoteAction = 0;
        VoteCountdown = 0;
        connections = static_cast<int>(c.votes.size());
        for (int i = 0; i < connections; ++i) {
            votes[i] = c.votes[i];
            // The host (connection 0) has no player in these races but its
            // vote still decides.
            if (i > 0) {
                race->AddSlot(Info("p", KindLocal, static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
            }
        }
        session->CheckRaceVote();
        EXPECT_EQ(VoteAction, c.action);
        EXPECT_EQ(VoteCountdown, c.countdown);
    }
}

TEST_F(SessionTickTest, StartRacePlacesAndChoosesCars)
{
    MakeWorld();
    RaceKind = 1;
    race->raceLength = 5;
    PlayerSlot *ai = AddWithCar("AI", 1);
    ai->info.kind = KindLocalAi;
    AddWithCar("first", 2);
    AddWithCar("second", 3);
    AddWithCar("third", 4);
    AddWithCar("fourth", 5);
    race->results[0].laps = 3;
    race->resultCount = 1;
    race->tick = 777;
    session->StartRace(0, 0, 0);
    EXPECT_EQ(race->countdownSeconds, 10);
    EXPECT_EQ(race->tick, 0u);
    EXPECT_EQ(race->resultCount, 0);
    EXPECT_EQ(GameState, 2);
    EXPECT_EQ(session->drivenCar, race->slots[1].car);
    EXPECT_EQ(session->viewedCar, race->slots[1].car);
    for (int i = 0; i < race->slotCount; ++i) {
        EXPECT_EQ(race->slots[i].info.gridIndex, i);
        EXPECT_EQ(race->slots[i].car->startByte, 1);
        EXPECT_EQ(race->slots[i].inputCopy[0], 32768);
    }
    EXPECT_EQ(session->ignitionEdge, 1);
    EXPECT_EQ(world->startLightState, StartLightsArmed);
    EXPECT_EQ(messages.back(), "The race is starting");

    // A layout finish keeps the results; only AI cars: the AI is viewed.
    LayoutRouteLines.timingLineCount = 1;
    race->resultCount = 1;
    for (int i = race->slotCount - 1; i >= 1; --i) {
        race->RemoveSlot(i);
    }
    session->StartRace(0, 0, 0);
    EXPECT_EQ(race->resultCount, 1);
    EXPECT_EQ(session->drivenCar, nullptr);
    EXPECT_EQ(session->viewedCar, race->slots[0].car);
    LayoutRouteLines.timingLineCount = 0;
}

TEST_F(SessionTickTest, ACarAddedAfterTheGreenStartsInThePits)
{
    MakeWorld();
    RaceKind = 1;
    race->raceLength = 5;
    AddWithCar("a", 1);
    AddWithCar("b", 2);
    session->StartRace(0, 0, 0);
    PlayerSlot *late = race->AddSlot(Info("late", KindLocalAi, 3));
    world->startLightState = StartLightsGreen;
    // No car data in these tests: the car is not built and nothing is placed.
    EXPECT_EQ(session->AddPlayerCar(late), 0u);
    EXPECT_EQ(late->info.gridIndex, 2);
}

TEST_F(SessionTickTest, AKnockedObjectIsReportedByTheNearestLocalCarTouchingIt)
{
    // Local car 1 at the origin, remote car 2 at 3 m, local AI car 3 at
    // 20 m; every car 1 m in radius. Car 1 is viewed.
    PlayerSlot *own = AddWithCar("own", 1);
    PlayerSlot *remote = AddWithCar("remote", 2);
    remote->info.kind = KindRemote;
    PlayerSlot *ai = AddWithCar("ai", 3);
    ai->info.kind = KindLocalAi;
    const int32_t metre = 65536;
    own->car->position = FixVector{0, 0, 0};
    remote->car->position = FixVector{3 * metre, 0, 0};
    ai->car->position = FixVector{20 * metre, 0, 0};
    for (PlayerSlot *slot : {own, remote, ai}) {
        slot->car->radius = 1.0f;
    }
    session->viewedCar = own->car;
    struct Case {
        const char *what;
        int32_t x;
        float radius;
        int mprPlaying;
        std::vector<int> sounds;
        std::vector<std::vector<uint8_t>> packets;
    };
    const Case cases[] = {
        {"the viewed local car", metre, 0.5f, 0, {3}, {{50, 1, 2, 0}}},
        {"nearer to the remote car: nothing", 2 * metre, 1.5f, 0, {}, {}},
        {"an unviewed local AI car: no sound", 19 * metre, 0.5f, 0, {}, {{50, 3, 2, 0}}},
        {"touching none", 10 * metre, 0.5f, 0, {}, {}},
        {"in multiplayer replay playback: no packet", metre, 0.5f, 1, {3}, {}},
    };
    const int savedMpr = MultiplayerReplayPlaying;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sounds.clear();
        packets.clear();
        MultiplayerReplayPlaying = c.mprPlaying;
        ReportObjectHit(FixVector{c.x, 0, 0}, c.radius);
        EXPECT_EQ(sounds, c.sounds);
        EXPECT_EQ(packets, c.packets);
    }
    MultiplayerReplayPlaying = savedMpr;

    // Without a session nothing is reported.
    GameSessionPtr = nullptr;
    packets.clear();
    ReportObjectHit(FixVector{metre, 0, 0}, 0.5f);
    EXPECT_TRUE(packets.empty());
    GameSessionPtr = session;
}

TEST_F(SessionTickTest, StartAllowedAndRemoteCarView)
{
    struct Allowed {
        uint8_t action;
        int32_t countdown;
        int allowed;
    };
    for (const Allowed &c : {Allowed{0, 0, 1}, Allowed{0, 50, 1}, Allowed{1, 199, 0}, Allowed{2, 0, 0},
                             Allowed{3, 200, 1}}) {
        VoteAction = c.action;
        VoteCountdown = c.countdown;
        EXPECT_EQ(IsStartAllowed(), c.allowed) << int(c.action) << " " << c.countdown;
    }
    VoteAction = 0;
    VoteCountdown = 0;

    // The session runs behind the clock by more than 128 frames; the frame
    // counters wrap.
    struct Behind {
        uint32_t clock, session;
        int catchingUp;
    };
    const uint32_t savedClock = ClockFrame;
    const uint32_t savedFrames = SessionFrameCount;
    CarObject other;
    session->freeView = 1;
    for (const Behind &c : {Behind{1000, 872, 0}, Behind{1000, 871, 1}, Behind{0x10, 0xFFFFFFF0u, 0},
                            Behind{0x80, 0xFFFFFFF0u, 1}, Behind{5, 10, 0}}) {
        ClockFrame = c.clock;
        SessionFrameCount = c.session;
        RemoteCarView view;
        GetRemoteCarView(&other, &view);
        EXPECT_EQ(view.catchingUp, c.catchingUp) << c.clock << " " << c.session;
        EXPECT_EQ(view.freeView, 1);
        EXPECT_EQ(view.soundIndex, -1);
    }
    ClockFrame = savedClock;
    SessionFrameCount = savedFrames;

    // A jump start sets the start flag; the green clears it.
    MakeWorld();
    race->raceLength = 5;
    AddWithCar("a", 1);
    session->StartRace(0, 0, 0);
    SetJumpStartFlag();
    EXPECT_EQ(StartWaitFlag, 1);
    StartRaceView view;
    FillStartRaceView(&view);
    world->StartLightsGo(&view);
    EXPECT_EQ(StartWaitFlag, 0);
}

TEST(SessionLifecycle, LeavingDeletesTheTemporaryReplayAndEndsAnIntro)
{
    std::filesystem::create_directories("data/spr");
    for (const char *name : {"data/spr/x.spr", "data/spr/xx.spr", "data/spr/x.mpr"}) {
        std::ofstream(name) << "replay";
    }
    const int savedState = GameState;
    CreateRaceObject();
    GameSession *session = EnterSession(nullptr, SessionIntro, 0);
    ASSERT_EQ(GameSessionPtr, session);
    EXPECT_EQ(session->isIntro, 1u);
    EXPECT_EQ(session->active, 1u);
    std::snprintf(session->tempReplayName, sizeof(session->tempReplayName), "x");
    EndGameSession();
    EXPECT_EQ(GameState, 1);
    SessionFrame(*session);  // leaves and frees the session
    EXPECT_EQ(GameSessionPtr, nullptr);
    EXPECT_EQ(RaceObjectPtr, nullptr);  // an intro's race goes with it
    EXPECT_FALSE(std::filesystem::exists("data/spr/x.spr"));
    EXPECT_TRUE(std::filesystem::exists("data/spr/xx.spr"));
    EXPECT_TRUE(std::filesystem::exists("data/spr/x.mpr"));
    GameState = savedState;
}

TEST(SessionFrameServices, BackgroundBeginsOnlyAFrameNotBegunAndSpeedSnapsToOne)
{
    const int savedBegun = FrameBegun;
    const int savedNoDraw = NoDrawFlag;
    FrameBegun = 1;
    NoDrawFlag = 0;
    DrawBackgroundScreen();  // begun already: left as it is
    EXPECT_EQ(NoDrawFlag, 0);
    FrameBegun = 0;
    DrawBackgroundScreen();  // no render device here: begun, then skipped
    EXPECT_EQ(FrameBegun, 1);
    EXPECT_EQ(NoDrawFlag, 1);
    FrameBegun = savedBegun;
    NoDrawFlag = savedNoDraw;

    const float savedSpeed = GameSpeed;
    static float shown = 0.0f;
    const RaceLinkServices savedLinks = RaceLinks;
    RaceLinks.showReplaySpeed = [](float speed) { shown = speed; };
    GameSpeed = 0.95f;
    ShowReplaySpeed();  // no session: nothing
    EXPECT_EQ(GameSpeed, 0.95f);
    GameSession session;
    GameSessionPtr = &session;
    for (const auto &[speed, snapped] : {std::pair{0.95f, 1.0f}, {1.09f, 1.0f}, {0.5f, 0.5f}, {1.1f, 1.1f}}) {
        GameSpeed = speed;
        ShowReplaySpeed();
        EXPECT_EQ(GameSpeed, snapped) << speed;
        EXPECT_EQ(shown, snapped) << speed;
    }
    struct Step {
        float from;
        bool halve;
        float to;
    };
    for (const Step &step : {Step{0.125f, true, 0.125f}, Step{0.25f, true, 0.125f}, Step{16.0f, false, 32.0f},
                             Step{32.0f, false, 32.0f}, Step{0.5f, false, 1.0f}}) {
        GameSpeed = step.from;
        step.halve ? HalveReplaySpeed() : DoubleReplaySpeed();
        EXPECT_EQ(GameSpeed, step.to) << step.from;
    }
    GameSessionPtr = nullptr;
    RaceLinks = savedLinks;
    GameSpeed = savedSpeed;
}

}  // namespace

namespace {

class SessionFrameTest : public SessionTickTest {
protected:
    void SetUp() override {
        SessionTickTest::SetUp();
        savedClock = GameClock;
        savedInit = InitTime;
        savedFrames = SessionFrameCount;
        savedClockFrame = ClockFrame;
        savedMark = OwnFrameMark;
        RaceLinks.updateSprites = [] { ++ticks; };
        ticks = 0;
        Paused = 0;
        SeekActive = 0;
        InitTime = 1000;
        SessionFrameCount = 0;
        ClockFrame = 0;
        OwnFrameMark = 0;
    }
    void TearDown() override {
        Paused = 0;
        SeekActive = 0;
        GameClock = savedClock;
        InitTime = savedInit;
        SessionFrameCount = savedFrames;
        ClockFrame = savedClockFrame;
        OwnFrameMark = savedMark;
        SessionTickTest::TearDown();
    }
    uint32_t savedClock = 0, savedInit = 0, savedFrames = 0, savedClockFrame = 0, savedMark = 0;
    static inline int ticks = 0;
};

}  // namespace

TEST(SessionFrameSteps, TickFlagsAndTicksLeftWithinAFrame)
{
    struct Case {
        uint32_t due, runBefore;
        std::vector<int> flags, lefts;
    };
    const Case cases[] = {
        {3, 2, {2}, {1}},              // 35 ms after 2 ticks: one tick, the only one
        {3, 0, {0, 0, 1}, {3, 2, 1}},  // three due
        {0xFFFFFFFFu, 0xFFFFFFFDu, {0, 1}, {2, 1}},  // across the wrap
    };
    for (const Case &c : cases) {
        std::vector<int> flags, lefts;
        uint32_t run = c.runBefore;
        for (int n = 0; static_cast<int32_t>(run - c.due) < 0; ++n) {
            ++run;
            int flag = -1, left = -1;
            TickFlagAndLeft(c.due, run, n, &flag, &left);
            flags.push_back(flag);
            lefts.push_back(left);
        }
        EXPECT_EQ(flags, c.flags) << c.due;
        EXPECT_EQ(lefts, c.lefts) << c.due;
    }
}

TEST_F(SessionFrameTest, TicksFollowTheClockPauseAndSeek)
{
    // Four players (an empty race would end at once).
    for (int i = 0; i < 4; ++i) {
        race->AddSlot(Info("p", KindLocal, static_cast<uint8_t>(i + 1)));
    }
    // 35 ms past the base after 2 ticks: one tick.
    SessionFrameCount = 2;
    GameClock = InitTime + 35;
    race->tick = 2;
    SessionFrame(*session);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(SessionFrameCount, 3u);
    EXPECT_EQ(race->tick, 3u);

    // Paused: the session frames go on, the race does not.
    TogglePause();
    GameClock = InitTime + 100;
    SessionFrame(*session);
    EXPECT_EQ(SessionFrameCount, 10u);
    EXPECT_EQ(race->tick, 3u);
    Unpause();
    EXPECT_EQ(Paused, 0u);

    // A forward seek with 4 players runs at most 1024 / 4 ticks a frame and
    // ends at its target, taking the pause it asked for.
    SeekActive = 1;
    SeekTarget = 600;
    session->pauseAfterSeek = 1;
    uint32_t before = race->tick;
    SessionFrame(*session);
    EXPECT_EQ(race->tick - before, 256u);
    before = race->tick;
    SessionFrame(*session);
    EXPECT_EQ(race->tick - before, 256u);
    SessionFrame(*session);
    EXPECT_EQ(race->tick, 600u);
    EXPECT_EQ(SeekActive, 0u);
    EXPECT_EQ(Paused, 1u);
}

TEST(SessionFrameSteps, FrameRateFadeAndNearestCars)
{
    for (int i = 0; i < 16; ++i) {
        RecordFrameTime(20);
    }
    EXPECT_FLOAT_EQ(FrameRate, 50.0f);
    for (int i = 0; i < 16; ++i) {
        RecordFrameTime(0);
    }
    EXPECT_EQ(FrameRate, 0.0f);

    EXPECT_NEAR(SoundFadeFor(8, 1, 0), 0.9365f, 0.0001f);
    EXPECT_EQ(SoundFadeFor(2, 1, 0), 1.0f);    // fewer than 4: no fade
    EXPECT_EQ(SoundFadeFor(200, 9, 0), 0.1f);  // never below 0.1, however crowded
    EXPECT_EQ(SoundFadeFor(300, 1, 0), 0.1f);
    EXPECT_EQ(SoundFadeFor(8, 1, 1), 1.0f);    // free view
    EXPECT_EQ(SoundFadeFor(8, 0, 0), 1.0f);    // setting off

    // Six cars at 6, 1, 5, 2, 4, 3 m from the first: the four nearest, in
    // order; a car never counts itself.
    RaceObject *race = CreateRaceObject();
    const int metres[] = {0, 6, 1, 5, 2, 4, 3};
    for (int i = 0; i < 7; ++i) {
        PlayerSlot *slot = race->AddSlot(PlayerInfo{});
        slot->car = new CarObject;
        slot->car->position = FixVector{metres[i] * 65536, 0, 0};
    }
    NearestCarsToCar(race->slots[0].car);
    ASSERT_EQ(NearestCarCount, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(NearestCars[i].distanceSquared, static_cast<float>((i + 1) * (i + 1)));
    }
    EXPECT_EQ(NearestCars[0].car, race->slots[2].car);
    const int32_t eye[3] = {6 * 65536, 0, 0};
    NearestCarsToEye(eye);
    EXPECT_EQ(NearestCars[0].car, race->slots[1].car);
    EXPECT_EQ(NearestCars[3].car, race->slots[6].car);
    DeleteRaceObject();
}

TEST(SessionFrameSteps, SmallForceChangesAreSentLessOften)
{
    struct Case {
        int change, every;
    };
    static std::vector<float> sent;
    for (const Case &c : {Case{2, 16}, Case{5, 8}, Case{11, 4}, Case{23, 2}, Case{30, 1}}) {
        ForceLevel = 0.0f;
        ForceSent = 0;
        ForceHoldFrames = 0;
        sent.clear();
        // At speed step 5 the level follows the force at once; each send
        // is followed by the next change of the same size.
        int frames = 0;
        std::vector<int> gaps;
        for (int target = c.change; gaps.size() < 3; ++frames) {
            if (SteerForceFrame(static_cast<float>(target) / 100.0f, 5.0f, 100,
                                [](float level) { sent.push_back(level); })) {
                gaps.push_back(frames + 1);
                frames = -1;
                target = ForceSent + c.change > 100 ? ForceSent - c.change : ForceSent + c.change;
            }
        }
        EXPECT_EQ(gaps, (std::vector<int>{c.every, c.every, c.every})) << c.change;
        EXPECT_EQ(sent.size(), 3u);
    }
    ForceLevel = 0.0f;
    ForceSent = 0;
    ForceHoldFrames = 0;
}

// The force of a frame comes from the time driven, the strength setting and
// the car's two steering torques; the speed step sets how fast the level
// follows it; the steps setting quantises what is sent.
TEST(SessionFrameSteps, TheSteeringForceComesFromTheCarsTorques)
{
    const float savedStrength = FfStrength;
    const int savedSteps = FfStepNum;
    FfStrength = 100.0f;
    FfStepNum = 100;
    ForceLevel = 0.0f;
    ForceSent = 0;
    ForceHoldFrames = 0;
    static std::vector<float> sent;
    sent.clear();
    auto send = [](float level) { sent.push_back(level); };
    CarObject car;
    car.sideSteerTorque[0] = 10.0f;
    car.sideSteerTorque[1] = 15.0f;  // 25 N m: half of full force after 2 s
    car.speedStep = 10.0f;
    EXPECT_EQ(ForceFeedbackFrame(car, 2000, send), 1);
    EXPECT_EQ(sent, std::vector<float>{0.5f});
    // Just after the player took the wheel the force is small; at a crawl
    // the level moves only a fifth of the way (0.5 -> 0.41: a change of 9
    // steps waits for its fourth frame).
    car.speedStep = 0.5f;
    sent.clear();
    EXPECT_EQ(ForceFeedbackFrame(car, 200, send), 0);
    EXPECT_FLOAT_EQ(ForceLevel, 0.8f * 0.5f + 0.2f * 0.05f);
    // A torque far beyond full scale is held to full force.
    car.sideSteerTorque[0] = 5000.0f;
    car.speedStep = 5.0f;
    EXPECT_EQ(ForceFeedbackFrame(car, 2000, send), 1);
    EXPECT_EQ(sent, std::vector<float>{1.0f});
    FfStrength = savedStrength;
    FfStepNum = savedSteps;
    ForceLevel = 0.0f;
    ForceSent = 0;
    ForceHoldFrames = 0;
}

TEST_F(SessionTickTest, OnlyARaceOfThirtySecondsOrMoreIsSavedWhenAsked)
{
    static int saved = 0;
    static int option = 2;
    static int child = 0;
    RaceLinks.endSingleRecording = [] { return 1; };
    RaceLinks.endMultiRecording = [] { return 1; };
    RaceLinks.saveSingleRecording = [] { ++saved; };
    RaceLinks.saveMultiRecording = [] { saved += 10; };
    RaceLinks.singleReplayOption = [] { return option; };
    RaceLinks.multiReplayOption = [] { return option; };
    RaceLinks.ownerHasChild = [] { return child; };
    struct Case {
        uint32_t raceTick, tickCounter;
        int opt, online, frozen, hasChild;
        int saved;
    };
    const Case cases[] = {
        {2999, 5000, 2, 0, 0, 0, 0},   // short by the race tick
        {5000, 2999, 2, 0, 0, 0, 0},   // short since the last start
        {3000, 3000, 2, 0, 0, 0, 1},
        {3000, 3000, 1, 0, 0, 0, 0},   // not asked for
        {3000, 3000, 2, 0, 1, 0, 0},   // a replay showing
        {3000, 3000, 2, 0, 0, 1, 0},   // a page open over the session
        {3000, 3000, 2, 1, 0, 0, 10},  // online: the multiplayer recording
        {2999, 3000, 2, 1, 0, 0, 0},
    };
    const int savedOnline = OnlineFlag;
    for (const Case &c : cases) {
        saved = 0;
        option = c.opt;
        child = c.hasChild;
        OnlineFlag = c.online;
        race->tick = c.raceTick;
        session->tickCounter = c.tickCounter;
        session->controlsFrozen = static_cast<uint8_t>(c.frozen);
        StopAndSaveReplays(*session);
        EXPECT_EQ(saved, c.saved) << c.raceTick << " " << c.tickCounter << " " << c.opt << " " << c.online;
    }
    OnlineFlag = savedOnline;

    // Nothing was being recorded: nothing is saved.
    RaceLinks.endSingleRecording = [] { return 0; };
    saved = 0;
    option = 2;
    child = 0;
    session->controlsFrozen = 0;
    OnlineFlag = 0;
    StopAndSaveReplays(*session);
    EXPECT_EQ(saved, 0);
    OnlineFlag = savedOnline;
}

TEST_F(SessionTickTest, ASpectatorStopsTheRecordingWithANoticeOffline)
{
    static int ended = 0;
    static std::vector<std::string> notices;
    ended = 0;
    notices.clear();
    RaceLinks.endSingleRecording = [] { ++ended; return 1; };
    RaceLinks.singleReplayOption = [] { return 1; };
    RaceLinks.showRecordingNotice = [](const char *text) { notices.emplace_back(text); };
    AddWithCar("a", 1);
    AddWithCar("b", 2);
    const uint8_t spectate[4] = {17, RequestSpectate, 2, 0};
    HandleRaceRequest(*session, 0, spectate);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(notices, std::vector<std::string>{"Not recording"});
    EXPECT_EQ(race->slotCount, 1);

    // Online no notice is shown.
    const int savedOnline = OnlineFlag;
    OnlineFlag = 1;
    StopReplayRecording();
    EXPECT_EQ(ended, 2);
    EXPECT_EQ(notices.size(), 1u);
    OnlineFlag = savedOnline;

    EndSessionNow();
    EXPECT_EQ(session->active, 0u);
}

TEST_F(SessionTickTest, AGuestVotesAtMostOnceInFourSeconds)
{
    static int host = 0;
    RaceLinks.isHost = [] { return host; };
    const int savedOnline = OnlineFlag;
    const uint32_t savedClock = GameClock;
    OnlineFlag = 1;
    host = 0;
    LastVoteTime = 0;
    race->raceLength = 5;
    race->qualifyMinutes = 10;
    struct Step {
        int (*vote)();
        uint32_t clock;
        int result;
    };
    const Step steps[] = {
        {VoteEndRace, 10000, 1},
        {VoteRestart, 13999, 0},  // too soon after the last vote
        {VoteQualify, 14000, 1},
        {VoteEndRace, 14001, 0},
    };
    for (const Step &s : steps) {
        GameClock = s.clock;
        EXPECT_EQ(s.vote(), s.result) << s.clock;
    }
    EXPECT_EQ(packets.size(), 2u);
    // The host votes as often as it likes.
    host = 1;
    EXPECT_EQ(VoteRestart(), 1);
    EXPECT_EQ(VoteRestart(), 1);
    EXPECT_EQ(packets.size(), 4u);

    // With the layout's own start the local driver leaves to rejoin.
    packets.clear();
    LayoutRouteLines.startOverride = 1;
    race->AddSlot(Info("remote", KindRemote, 4, 1));
    race->AddSlot(Info("own", KindLocal, 5));
    RejoinPending = 0;
    EXPECT_EQ(VoteRestart(), 1);
    EXPECT_EQ(packets, (std::vector<std::vector<uint8_t>>{{17, 7, 5, 0}}));
    EXPECT_EQ(RejoinPending, 1);
    LayoutRouteLines.startOverride = 0;
    RejoinPending = 0;
    LastVoteTime = 0;
    OnlineFlag = savedOnline;
    GameClock = savedClock;
}

TEST_F(SessionTickTest, WithoutAViewedCarTheFrameViewsTheDrivenCarElseTheFirst)
{
    PlayerSlot *empty = race->AddSlot(Info("no car", KindRemote, 1, 1));
    PlayerSlot *first = AddWithCar("first", 2);
    PlayerSlot *driven = AddWithCar("driven", 3);
    ASSERT_EQ(empty->car, nullptr);
    session->viewedCar = nullptr;
    session->PickViewCar(0);
    EXPECT_EQ(session->viewedCar, first->car);
    session->drivenCar = driven->car;
    session->viewedCar = nullptr;
    session->PickViewCar(0);
    EXPECT_EQ(session->viewedCar, driven->car);

    // SelectView takes modes 0..4 only; the fixed cameras count as fixed.
    const uint32_t savedMode = ViewMode;
    SelectView(1);
    EXPECT_EQ(ViewMode, 1u);
    EXPECT_EQ(IsFreeOrFixedView(*session), 1);
    SelectView(5);
    EXPECT_EQ(ViewMode, 1u);
    SelectView(DefaultView());
    EXPECT_EQ(IsFreeOrFixedView(*session), 0);
    ViewMode = savedMode;
    session->drivenCar = nullptr;
}
