#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/track_ir.h"
#include "platform/dynamic_library.h"
#include "core/shell_globals.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_requests.h"
#include "race/session_clock.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "render/screen_modes.h"
#include "tests/race/empty_world_query.h"
#include "tests/race/race_fixture.h"

namespace {

// A session over a race object whose session entries write what they see
// into one call list.
class SessionPassTest : public RaceFixture {
public:
    static void Record(const char *what) { calls.emplace_back(what); }

protected:
    void SetUp() override
    {
        RaceFixture::SetUp();
        savedLinks = SessionLinks;
        SessionLinks = SessionLinkServices{};
        calls.clear();
        savedState = GameState;
        savedGraphics = GraphicsEnabled;
        savedNoDraw = NoDrawFlag;
        savedMirror = MirrorInternal;
        savedScreenFlags = ScreenFlags;
        savedViewMode = ViewMode;
        GameState = 2;
        ReplayOutOfSync = 0;
        Paused = 0;
        session = new GameSession;
        session->active = 1;
        GameSessionPtr = session;
    }
    void TearDown() override
    {
        SetWorldQuery(nullptr);
        if (GameSessionPtr == session) {
            GameSessionPtr = nullptr;
            delete session;
        }
        ClearDisplayModeStack();
        SessionLinks = savedLinks;
        GameState = savedState;
        GraphicsEnabled = savedGraphics;
        NoDrawFlag = savedNoDraw;
        MirrorInternal = savedMirror;
        ScreenFlags = savedScreenFlags;
        ViewMode = savedViewMode;
        FrameBegun = 0;
        ReplayOutOfSync = 0;
        Paused = 0;
        RaceFixture::TearDown();
    }

    // No tick is due in the next frame.
    static void NoTickDue() { GameClock = InitTime + SessionFrameCount * 10u; }

    GameSession *session = nullptr;
    static inline std::vector<std::string> calls;

private:
    SessionLinkServices savedLinks{};
    int savedState = 0;
    int savedGraphics = 0;
    int savedNoDraw = 0;
    int savedMirror = 0;
    uint32_t savedScreenFlags = 0;
    uint32_t savedViewMode = 0;
};

// What the tick's spies see of the race at their call.
struct TickView {
    RaceObject *race;
    World *world;
    RigidBody *body;
};
TickView Seen{};

std::string Snapshot(const char *what)
{
    // l: the lights' clock moved this tick; p: the physics stepped; t: the
    // race tick.
    return std::string(what) + " l" + std::to_string(Seen.world->startLightClock) + " p" +
           (Seen.body->velocity[2] < 0.0f ? "1" : "0") + " t" + std::to_string(Seen.race->tick);
}

TEST_F(SessionPassTest, ATickRunsItsStepsInTheirOrder)
{
    World *track = MakeWorld();
    EmptyWorld query;
    query.loaded = true;
    SetWorldQuery(&query);
    PlayerSlot *slot = AddWithCar("me", 1);
    RigidBody body(1, 1, nullptr);
    body.mass = 1.0f;
    body.position = {0, 0, 10 * 65536};
    body.ResetState();
    ASSERT_EQ(session->physics.AddBody(&body), 1);
    Seen = TickView{race, track, &body};
    race->tick = 256;
    track->startLightClock = 0;
    session->freeView = 1;

    SessionLinks.sprRecording = [] { return 1; };
    SessionLinks.sprRecordControls = [](int, const uint8_t *record, int length) {
        calls.push_back(Snapshot("controls") + " n" + std::to_string(record[1]) + "/" + std::to_string(length));
    };
    SessionLinks.sprRecordStateCheck = [](uint32_t) { calls.push_back(Snapshot("check")); };
    RaceLinks.updateSprites = [] { calls.push_back(Snapshot("sprites")); };
    SessionLinks.advanceFreeCamera = [](float) {
        // The input words were copied after the physics step.
        const PlayerSlot &s = Seen.race->slots[0];
        const bool copied = s.inputCopy[3] == s.car->inputs[3];
        calls.push_back(Snapshot("camera") + (copied ? " copied" : " not copied"));
    };
    SessionLinks.editorCameraStep = [] { calls.push_back(Snapshot("editor")); };

    // Two input words changed since the last tick.
    std::memcpy(slot->inputCopy, slot->car->inputs, sizeof(slot->inputCopy));
    slot->car->inputs[3] = 1234;
    slot->car->inputs[7] = 9;
    std::fesetround(FE_DOWNWARD);
    EXPECT_EQ(SessionTick(*session, 2, 1), 0u);
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    const std::vector<std::string> order = {
        "controls l10 p0 t256 n2/10", "check l10 p0 t256", "sprites l10 p0 t256",
        "camera l10 p1 t256 copied",  "editor l10 p1 t256",
    };
    EXPECT_EQ(calls, order);
    EXPECT_EQ(race->tick, 257u);
    EXPECT_EQ(session->tickCounter, 1u);

    // Nothing changed: no control record, and no state check off the 256s.
    calls.clear();
    SessionTick(*session, 2, 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"sprites l20 p1 t257", "camera l20 p1 t257 copied",
                                               "editor l20 p1 t257"}));

    // Out of sync: the tick stops after the AI and the controls.
    calls.clear();
    ReplayOutOfSync = 1;
    slot->car->inputs[3] = 1;
    EXPECT_EQ(SessionTick(*session, 2, 1), 0u);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(race->tick, 258u);
    EXPECT_EQ(track->startLightClock, 20u);
}

TEST_F(SessionPassTest, AReplayPlaysUpToTheTickAndItsEndLoopsOrEnds)
{
    GameState = 3;
    race->tick = 40;
    ReplayStartTick = 10;
    ReplayLength = 5;
    static int endAt;
    endAt = 1000;
    SessionLinks.sprPlayUntilTick = [](uint32_t tick, int) { return tick >= static_cast<uint32_t>(endAt) ? 1 : 0; };
    EXPECT_EQ(SessionTick(*session, 2, 1), 0u);
    EXPECT_EQ(ReplayLength, 31);

    // The end: played again, or the session ends when asked to.
    endAt = 0;
    EXPECT_EQ(SessionTick(*session, 2, 1), 1u);
    EXPECT_EQ(session->rewindRequest, 1);
    EXPECT_EQ(session->active, 1u);
    session->endAtReplayEnd = 1;
    const uint32_t tick = race->tick;
    EXPECT_EQ(SessionTick(*session, 2, 1), 1u);
    EXPECT_EQ(session->active, 0u);
    EXPECT_EQ(race->tick, tick + 1);
    ReplayStartTick = 0;
    ReplayLength = 0;
}

TEST_F(SessionPassTest, SeekingClampsToTheReplayAndHoldsALongSeek)
{
    GameState = 3;
    race->tick = 100;
    ReplayStartTick = 0;
    ReplayLength = 1000;
    struct Case {
        const char *what;
        int32_t target;
        int outOfSync;
        int code;
        uint32_t seekActive;
        int32_t seekTarget;
    };
    const Case cases[] = {
        {"the current tick", 100, 0, 1, 0, 0},
        {"out of sync, ahead", 150, 1, 11, 0, 0},
        {"ahead, past the end", 5000, 0, 0, 1, 1000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SeekActive = 0;
        SeekTarget = 0;
        ReplayOutOfSync = c.outOfSync;
        EXPECT_EQ(session->SeekReplay(c.target, 0), c.code);
        EXPECT_EQ(SeekActive, c.seekActive);
        EXPECT_EQ(SeekTarget, c.seekTarget);
    }
    EXPECT_EQ(session->displayHeld, 1);
    SeekActive = 0;
    SeekTarget = 0;
    ReplayOutOfSync = 0;
    GameSessionPtr = nullptr;
    EXPECT_EQ(session->SeekReplay(5, 0), 9);
    GameSessionPtr = session;
    ReplayLength = 0;
}

// Every scene entry writes its name into the call list.
void InstallSceneSpies()
{
    SessionLinks.swaySphereGrid = [] { SessionPassTest::Record("sway"); };
    SessionLinks.setupDashGauges = [] { SessionPassTest::Record("dash gauges"); };
    SessionLinks.mirrorTargetPresent = [] { return 1; };
    SessionLinks.beginMirrorTarget = [] {
        SessionPassTest::Record("mirror target");
        return 1;
    };
    SessionLinks.endMirrorTarget = [] { SessionPassTest::Record("mirror target end"); };
    SessionLinks.clearToSky = [](int mirror) { SessionPassTest::Record(mirror ? "sky mirror" : "sky"); };
    SessionLinks.setupCockpitView = [](GameSession *, int mirror) {
        SessionPassTest::Record(mirror ? "cockpit mirror" : "cockpit");
    };
    SessionLinks.drawSceneShadows = [](int mirror, float) {
        SessionPassTest::Record(mirror ? "shadows mirror" : "shadows");
    };
    SessionLinks.drawDrivingViewSegments = [](GameSession *) { SessionPassTest::Record("driving view"); };
    SessionLinks.buildViewMatrix = [](int) { SessionPassTest::Record("view matrix"); };
    SessionLinks.drawDashboard = [](CarObject *) { SessionPassTest::Record("dashboard"); };
    SessionLinks.drawMirror = [](float) { SessionPassTest::Record("mirror quad"); };
    SessionLinks.drawFramedQuad = [] { SessionPassTest::Record("dashboard quad"); };
    SessionLinks.drawConnectionList = [] { SessionPassTest::Record("connections"); };
    SessionLinks.drawFrameRateReadout = [](CarObject *) { SessionPassTest::Record("frame rate"); };
    SessionLinks.drawSystemCaption = [] { SessionPassTest::Record("caption"); };
    SessionLinks.drawReplayBar = [] { SessionPassTest::Record("replay bar"); };
    SessionLinks.drawHud = [](CarObject *, CarObject *, MenuPage *, int) { SessionPassTest::Record("hud"); };
    SessionLinks.drawEditorOverlay = [] { SessionPassTest::Record("editor overlay"); };
    SessionLinks.trackCameraView = [](GameSession *) { SessionPassTest::Record("track camera"); };
    SessionLinks.instrumentsOption = [](int) { return 1; };
}

TEST_F(SessionPassTest, AFrameCallsTheSceneEntriesInOrderAndNoneWithoutGraphics)
{
    MakeWorld();
    PlayerSlot *slot = AddWithCar("me", 1);
    session->viewedCar = slot->car;
    InstallSceneSpies();
    MirrorInternal = 2;
    ScreenFlags = 0;
    NamesMode = 0;

    // The cockpit view with a mirror and the instruments.
    GraphicsEnabled = 1;
    NoDrawFlag = 0;
    FrameBegun = 0;
    ReplaceDisplayMode(DisplayModeOwnScene);
    ViewMode = 3;
    NoTickDue();
    SessionFrame(*session);
    const std::vector<std::string> cockpit = {
        "sway",          "mirror target", "sky mirror", "cockpit mirror", "shadows mirror", "mirror target end",
        "dashboard",     "cockpit",       "sky",        "driving view",   "mirror quad",    "dashboard quad",
        "hud",
    };
    EXPECT_EQ(calls, cockpit);

    // A fixed camera: the track camera's step, its own view matrix and the
    // scene with shadows.
    calls.clear();
    FrameBegun = 0;
    ViewMode = 2;
    NoTickDue();
    SessionFrame(*session);
    EXPECT_EQ(calls, (std::vector<std::string>{"sway", "track camera", "sky", "view matrix", "shadows", "hud"}));

    // A frame begun already draws no scene: the caption only.
    calls.clear();
    FrameBegun = 1;
    NoTickDue();
    SessionFrame(*session);
    EXPECT_EQ(calls, (std::vector<std::string>{"sway", "caption"}));

    // Without a sky clear the scene still begins the frame itself, so that
    // the end of the pass does not clear what the scene and the HUD drew:
    // here, with no device, the frame cannot begin and nothing is drawn.
    calls.clear();
    SessionLinks.clearToSky = nullptr;
    FrameBegun = 0;
    ViewMode = 2;
    NoTickDue();
    SessionFrame(*session);
    EXPECT_EQ(calls, (std::vector<std::string>{"sway", "track camera"}));
    EXPECT_NE(NoDrawFlag, 0);
    NoDrawFlag = 0;

    // Without graphics nothing is drawn.
    calls.clear();
    GraphicsEnabled = 0;
    FrameBegun = 0;
    ViewMode = 3;
    NoTickDue();
    SessionFrame(*session);
    EXPECT_TRUE(calls.empty());
}

}  // namespace

namespace {

std::vector<std::string> LogTail()
{
    std::vector<std::string> lines;
    std::ifstream in("deb.log");
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line.size() >= LogStampLength ? line.substr(LogStampLength) : line);
    }
    return lines;
}

bool Logged(const std::vector<std::string> &lines, const std::string &wanted)
{
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

TEST_F(SessionPassTest, EntryAndExitOpenAndCloseWhatTheSessionUses)
{
    // The session made by the fixture is not used here.
    GameSessionPtr = nullptr;
    delete session;
    session = nullptr;
    SessionLinks.logoExists = [] { return 1; };
    SessionLinks.freeLogo = [] { SessionPassTest::Record("free logo"); };
    SessionLinks.loadLogo = [] { SessionPassTest::Record("load logo"); };
    SessionLinks.stopMusic = [] { SessionPassTest::Record("stop music"); };
    SessionLinks.setMusicContext = [](int c) { SessionPassTest::Record(c ? "game music" : "menu music"); };
    SessionLinks.setupDashGauges = [] { SessionPassTest::Record("dash gauges"); };
    SessionLinks.openOutSimOutGauge = [](int outSim, int outGauge) {
        SessionPassTest::Record(outSim && outGauge ? "open outsim outgauge" : "open outgauge");
    };
    SessionLinks.closeOutSimOutGauge = [] { SessionPassTest::Record("close outsim outgauge"); };
    RaceLinks.resetSoundListener = [] { SessionPassTest::Record("reset listener"); };
    SessionLinks.inSimTiny = [](int subtype) { SessionPassTest::Record(("insim tiny " + std::to_string(subtype)).c_str()); };
    SessionLinks.inSimReplayNotice = [](int code) {
        SessionPassTest::Record(("insim replay " + std::to_string(code)).c_str());
    };
    GraphicsEnabled = 0;
    NamesMode = 1;
    PlayOnceRequest = 1;

    struct Case {
        int kind;
        int hudShown;
        std::vector<std::string> entry;
    };
    const Case cases[] = {
        {SessionNormal, 1, {"free logo", "stop music", "dash gauges", "game music", "open outsim outgauge"}},
        {SessionIntro, 0, {"free logo", "dash gauges", "game music"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        DeleteDebugLog();
        if (RaceObjectPtr == nullptr) {
            race = CreateRaceObject();
        }
        calls.clear();
        GameSession *entered = EnterSession(nullptr, c.kind, 0);
        EXPECT_EQ(calls, c.entry);
        EXPECT_EQ(HudShown, c.hudShown);
        EXPECT_EQ(NamesMode, 2);
        EXPECT_EQ(entered->logoRemoved, 1u);
        calls.clear();
        EndGameSession();
        NoTickDue();
        SessionFrame(*entered);
        EXPECT_EQ(GameSessionPtr, nullptr);
        EXPECT_EQ(HudShown, 1);
        std::vector<std::string> exit = {"reset listener", "menu music"};
        if (c.kind != SessionIntro) {
            exit.push_back("stop music");
        }
        for (const char *step : {"insim tiny 11", "close outsim outgauge", "load logo", "insim replay 10"}) {
            exit.push_back(step);
        }
        EXPECT_EQ(calls, exit);
        const std::vector<std::string> lines = LogTail();
        EXPECT_TRUE(Logged(lines, "Exit : set up logo"));
        NamesMode = 1;
    }
    // The first session took the play-once request.
    EXPECT_EQ(PlayOnceRequest, 0u);
    race = RaceObjectPtr;
    NamesMode = 0;
}

// The head tracker's client: the fake library of the tests.
class HeadTrackerSessionTest : public SessionPassTest {
protected:
    using SetFunction = void (*)(int, int);
    using SeenFunction = int (*)(int);

    void SetUp() override
    {
        SessionPassTest::SetUp();
        DeleteDebugLog();
        setenv(TrackIRLibraryVariable, KZV_FAKE_TRACKER_LIBRARY, 1);
        library = PlatformOpenLibrary(KZV_FAKE_TRACKER_LIBRARY);
        ASSERT_NE(library, nullptr);
        set = reinterpret_cast<SetFunction>(PlatformLibrarySymbol(library, "FakeTrackerSet"));
        seen = reinterpret_cast<SeenFunction>(PlatformLibrarySymbol(library, "FakeTrackerSeen"));
        ASSERT_NE(set, nullptr);
        ASSERT_NE(seen, nullptr);
        for (int i = 0; i < 6; ++i) {
            set(i, 0);
        }
        TrackIRState = LoadTrackIRClient();
        ASSERT_EQ(TrackIRState, 0);
        HeadTrackerStartedBySession = 0;
    }
    void TearDown() override
    {
        for (int i = 0; i < 6; ++i) {
            set(i, 0);
        }
        UnloadTrackIRClient();
        TrackIRState = 2;
        HeadTrackerStartedBySession = 0;
        unsetenv(TrackIRLibraryVariable);
        PlatformCloseLibrary(library);
        SessionPassTest::TearDown();
    }

    void *library = nullptr;
    SetFunction set = nullptr;
    SeenFunction seen = nullptr;
};

TEST_F(HeadTrackerSessionTest, LeavingStopsTheTransmissionAndLetsTheClientGoOnlyWhenThatFails)
{
    struct Case {
        const char *what;
        int stopResult;
        bool logged;
        bool stillLoaded;
    };
    const Case cases[] = {
        {"stopped", 0, false, true},
        {"cannot stop", 1, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DeleteDebugLog();
        if (LoadTrackIRClient() == 0) {
            TrackIRState = 0;
        }
        set(5, c.stopResult);
        const int stopsBefore = seen(3);
        StartHeadTrackerForSession();
        EXPECT_EQ(HeadTrackerStartedBySession, 1);
        StartHeadTrackerForSession();  // started already: nothing
        session->active = 0;
        LeaveSession(*session);
        EXPECT_EQ(seen(3), stopsBefore + 1);
        EXPECT_EQ(HeadTrackerStartedBySession, 0);
        EXPECT_EQ(Logged(LogTail(), "TrackIR : could not stop"), c.logged);
        // An unloaded client answers 1 to everything.
        EXPECT_EQ(StopTrackIRTransmission() == 0, c.stillLoaded);
        GameSessionPtr = session;
        session->active = 1;
    }

    // A transmission that cannot start lets the client go at once.
    DeleteDebugLog();
    ASSERT_EQ(LoadTrackIRClient(), 0);
    TrackIRState = 0;
    set(4, 1);
    StartHeadTrackerForSession();
    EXPECT_EQ(HeadTrackerStartedBySession, 0);
    EXPECT_TRUE(Logged(LogTail(), "TrackIR : could not start"));
    // Leaving stops nothing the session did not start.
    const int stops = seen(3);
    LeaveSession(*session);
    EXPECT_EQ(seen(3), stops);
    GameSessionPtr = session;
}

}  // namespace

namespace {

struct Sent {
    int connection;
    std::vector<uint8_t> packet;
    std::string caller;
};
std::vector<Sent> ReliableSent;

TEST_F(SessionPassTest, TheOnlineHostRefusesAnEarlyRestartAndClearsCarTexts)
{
    static int votes[4];
    for (int &v : votes) {
        v = 0;
    }
    RaceLinks.connectionVote = [](int c) { return votes[c]; };
    RaceLinks.setConnectionVote = [](int c, int v) { votes[c] = v; };
    RaceLinks.connectionCount = [] { return 3; };
    RaceLinks.isHost = [] { return 1; };
    ReliableSent.clear();
    SessionLinks.sendReliable = [](int c, const uint8_t *p, int n, const char *caller) {
        ReliableSent.push_back({c, std::vector<uint8_t>(p, p + n), caller});
    };
    const CommandLineValues savedSettings = CommandLineSettings;
    OnlineFlag = 1;
    RaceKind = 1;
    PlayerSlot *host = AddWithCar("host", 1);
    PlayerSlot *guest = AddWithCar("guest", 2);
    guest->info.connection = 1;
    race->countdownSeconds = 10;

    struct Case {
        const char *what;
        int minimum, afterEnd;
        uint32_t tick;
        int results;
        int refusal;  // 0: the vote stands
    };
    const Case cases[] = {
        {"30 s after the start, setting 300 s", 300, 30, 1000 + 3000, 0, 55},
        {"after the setting", 20, 30, 1000 + 3000, 0, 0},
        {"10 s after the winner, setting 30 s", 0, 30, 1000 + 6000, 1, 55},
        {"after the winner's wait, cars on the grid", 0, 30, 1000 + 9000, 1, 56},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        votes[1] = 0;
        packets.clear();
        ReliableSent.clear();
        CommandLineSettings.restartMinimum = c.minimum;
        CommandLineSettings.restartAfterEnd = c.afterEnd;
        race->tick = c.tick;
        race->resultCount = c.results;
        race->results[0].raceTime = 5000;
        for (PlayerSlot *slot : {host, guest}) {
            slot->car->speed = 0.0f;
            slot->car->progress[0] = 1.0f;
            slot->car->finished = 0;
            slot->car->penalty = 0;
        }
        const uint8_t vote[4] = {17, RequestVoteRestart, 0, 0};
        HandleRaceRequest(*session, 1, vote);
        EXPECT_EQ(votes[1], 2);
        if (c.refusal == 0) {
            EXPECT_TRUE(packets.empty());
            EXPECT_TRUE(ReliableSent.empty());
            continue;
        }
        ASSERT_EQ(packets.size(), 1u);
        EXPECT_EQ(packets[0], (std::vector<uint8_t>{17, RequestVotesCancelled, 0, 0}));
        ASSERT_EQ(ReliableSent.size(), 1u);
        EXPECT_EQ(ReliableSent[0].connection, 1);
        EXPECT_EQ(ReliableSent[0].caller, "CANCEL");
        ASSERT_EQ(ReliableSent[0].packet.size(), 68u);
        EXPECT_EQ(ReliableSent[0].packet[0], 43);
        const std::string text(reinterpret_cast<const char *>(ReliableSent[0].packet.data() + 4));
        EXPECT_EQ(text, c.refusal == 55 ? "Too early to restart race" : "Some people are still racing");
        // The cancellation, once dispatched, clears every vote.
        static int cleared;
        cleared = 0;
        RaceLinks.clearGameVotes = [] { ++cleared; };
        HandleRaceRequest(*session, 0, packets[0].data());
        EXPECT_EQ(cleared, 1);
    }
    // Offline the rules never apply.
    OnlineFlag = 0;
    votes[1] = 0;
    packets.clear();
    race->resultCount = 0;
    const uint8_t vote[4] = {17, RequestVoteRestart, 0, 0};
    HandleRaceRequest(*session, 1, vote);
    EXPECT_TRUE(packets.empty());
    race->resultCount = 0;

    // Clearing the car text: one player's, then every car's.
    std::snprintf(host->car->raceControlText, 64, "PIT NOW");
    std::snprintf(guest->car->raceControlText, 64, "SLOW");
    const uint8_t one[4] = {17, RequestClearCarText, 2, 0};
    HandleRaceRequest(*session, 0, one);
    EXPECT_STREQ(host->car->raceControlText, "PIT NOW");
    EXPECT_STREQ(guest->car->raceControlText, "");
    const uint8_t all[4] = {17, RequestClearCarText, 0, 0};
    HandleRaceRequest(*session, 0, all);
    EXPECT_STREQ(host->car->raceControlText, "");
    CommandLineSettings = savedSettings;
}

}  // namespace

namespace {

TEST_F(SessionPassTest, LeavingDrawsTheBackgroundOnlyWhenNoFrameBegan)
{
    GraphicsEnabled = 1;
    for (int begun : {0, 1}) {
        SCOPED_TRACE(begun);
        DeleteDebugLog();
        NoDrawFlag = 0;
        FrameBegun = begun;
        TextureRefreshRequest = 0;
        LeaveSession(*session);
        EXPECT_EQ(TextureRefreshRequest, 1);
        EXPECT_EQ(Logged(LogTail(), "Exit : draw background"), begun == 0);
        EXPECT_EQ(FrameBegun, 1);
        GameSessionPtr = session;
    }
    TextureRefreshRequest = 0;
}

}  // namespace
