#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/debug_log.h"
#include "core/controllers.h"
#include "core/controls.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/track_ir.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "platform/file_system.h"
#include "platform/timer.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_length.h"
#include "race/race_object.h"
#include "race/race_requests.h"
#include "race/session_clock.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "race/session_sound.h"
#include "render/render_device.h"
#include "render/screen_modes.h"
#include "render/view.h"
#include "render/standard_textures.h"
#include "vehicle/car_object.h"
#include "world/layout.h"
#include "world/world.h"

namespace {

const char *RaceWord(const RaceObject &race)
{
    // "3a_smlpract", "3a_smlqulng", "3a_sml_race"
    if (race.raceLength == 0) {
        return Tx(Text_3a_smlpract);
    }
    return RaceKind == 2 ? Tx(Text_3a_smlqulng) : Tx(Text_3a_sml_race);
}

void CallLink(void (*entry)())
{
    if (entry != nullptr) {
        entry();
    }
}

// A replay request of InSim that waited for the session.
void AnswerInSimReplayRequest(GameSession &session)
{
    int32_t position = -1;
    int pause = 0;
    if (SessionLinks.inSimReplayRequest == nullptr || !SessionLinks.inSimReplayRequest(&position, &pause)) {
        return;
    }
    auto notice = [](int code) {
        if (SessionLinks.inSimReplayNotice != nullptr) {
            SessionLinks.inSimReplayNotice(code);
        }
    };
    if (!session.controlsFrozen) {
        notice(9);
    } else if (position < 0) {
        if ((pause != 0) != (Paused != 0)) {
            TogglePause();
        }
        notice(0);
    } else {
        session.SeekReplay(position + ReplayStartTick, pause);
    }
}

}  // namespace

int HeadTrackerStartedBySession = 0;

void StartHeadTrackerForSession()
{
    // TrackIRState 0: the client is loaded.
    if (GameSessionPtr == nullptr || HeadTrackerStartedBySession || TrackIRState != 0) {
        return;
    }
    if (StartTrackIRTransmission() != 0) {
        LogLine("TrackIR : could not start");
        UnloadTrackIRClient();
        return;
    }
    HeadTrackerStartedBySession = 1;
}

GameSession *EnterSession(MenuPage *owner, int kind, int join)
{
    // 1. The physics world is made by the constructor; everything else is 0.
    GameSession *session = new GameSession;
    session->owner = owner;
    // 2. The garage picture behind a normal session.
    if (RaceLinks.ownerBackground != nullptr && RaceLinks.setOwnerBackground != nullptr) {
        session->savedBackground = RaceLinks.ownerBackground(owner);
        RaceLinks.setOwnerBackground(owner, "garage");
    }
    if (GraphicsEnabled) {
        const int state = GameState;
        GameState = 1;
        SetBackgroundPicture(kind == SessionNormal ? "garage" : nullptr);
        GameState = state;
    }
    // 3. The start-up logo is not needed while the session runs.
    if (SessionLinks.logoExists != nullptr && SessionLinks.logoExists()) {
        CallLink(SessionLinks.freeLogo);
        session->logoRemoved = 1;
    }
    // 4.
    session->pointerX = MouseX;
    session->pointerY = MouseY;
    session->active = 1;
    GameSessionPtr = session;
    for (uint32_t &time : FrameTimes) {
        time = 0;
    }
    // 5.
    ViewMode = 2;
    if (DedicatedMode != DedicatedNone) {
        NamesMode = 1;
    }
    // 6.
    ReplaceDisplayMode(DisplayModeOwnScene);
    // 7.
    session->isIntro = kind == SessionIntro ? 1 : 0;
    session->isLesson = kind == SessionLesson ? 1 : 0;
    if (kind != SessionIntro) {
        CallLink(SessionLinks.stopMusic);
    }
    // 8.
    session->endAtReplayEnd = PlayOnceRequest;
    PlayOnceRequest = 0;
    // 9.
    InitGameSession(*session, join);
    // 10.
    HudShown = 1;
    CallLink(SessionLinks.setupDashGauges);
    if (SessionLinks.setMusicContext != nullptr) {
        SessionLinks.setMusicContext(1);
    }
    StartHeadTrackerForSession();
    // 11. An intro sends nothing out and shows the reduced head-up display.
    if (kind != SessionIntro) {
        if (SessionLinks.openOutSimOutGauge != nullptr) {
            SessionLinks.openOutSimOutGauge(MultiplayerReplayPlaying ? 0 : 1, 1);
        }
    } else {
        HudShown = 0;
    }
    // 12.
    if (NamesMode == 1) {
        NamesMode = 2;
    }
    ScreenFlags &= ~0x20u;
    // 13.
    AnswerInSimReplayRequest(*session);
    return session;
}

void InitGameSession(GameSession &session, int join)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    // 1, 2. The cars of every player who has one.
    race->carsOk = 1;
    const uint32_t started = PlatformTimeMs();
    for (int i = 0; i < race->slotCount; ++i) {
        if ((race->slots[i].info.flags & PlayerFlagNoCar) == 0 && race->slots[i].car == nullptr) {
            CreatePlayerCar(&race->slots[i]);
        }
    }
    race->RepointCars();
    // 3, 4. The game clock does not jump by the time spent loading.
    const uint32_t loading = PlatformTimeMs() - started;
    if (!join && (!OnlineFlag || MultiplayerReplayPlaying)) {
        InitTime += loading;
    }
    // 5.
    session.StartRace(GameState == 3 ? 1 : 0, join, 0);
}

void StopAndSaveReplays(GameSession &session)
{
    // A race under 30 s is not worth keeping.
    const RaceObject *race = RaceObjectPtr;
    const uint32_t raceTick = race != nullptr ? race->tick : 0;
    const bool isShort = raceTick < 3000 || session.tickCounter < 3000;
    auto answer = [](int (*entry)()) { return entry != nullptr ? entry() : 0; };
    if (OnlineFlag) {
        const int wasRecording = answer(RaceLinks.endMultiRecording);
        if (wasRecording && !isShort && answer(RaceLinks.multiReplayOption) == 2 &&
            RaceLinks.saveMultiRecording != nullptr) {
            RaceLinks.saveMultiRecording();
        }
        return;
    }
    const int wasRecording = answer(RaceLinks.endSingleRecording);
    if (wasRecording && !isShort && answer(RaceLinks.singleReplayOption) == 2 && !session.controlsFrozen &&
        !answer(RaceLinks.ownerHasChild) && RaceLinks.saveSingleRecording != nullptr) {
        RaceLinks.saveSingleRecording();
    }
}

void StopReplaysOnLeave()
{
    if (GameSessionPtr != nullptr) {
        StopAndSaveReplays(*GameSessionPtr);
    }
}

void StopReplayRecording()
{
    if (RaceLinks.endSingleRecording != nullptr) {
        RaceLinks.endSingleRecording();
    }
    const int option = RaceLinks.singleReplayOption != nullptr ? RaceLinks.singleReplayOption() : 0;
    if (GameSessionPtr != nullptr && !OnlineFlag && option != 0 && RaceLinks.showRecordingNotice != nullptr) {
        // "3g_notrecor"
        RaceLinks.showRecordingNotice(Tx(Text_3g_notrecor));
    }
}

void EndSessionNow()
{
    if (GameSessionPtr != nullptr) {
        GameSessionPtr->active = 0;
    }
}

void LeaveSession(GameSession &session)
{
    RaceObject *race = RaceObjectPtr;
    // 1. The car sounds stop and the listener goes back to the view's
    // reference frame; the menus' music.
    ResetCarSoundListener();
    if (SessionLinks.setMusicContext != nullptr) {
        SessionLinks.setMusicContext(0);
    }
    // 2.
    SeekActive = 0;
    SeekTarget = 0;
    SeekFast = 0;
    StartWaitFlag = 0;
    SoundFade = 1.0f;
    GameSpeed = 1.0f;
    // 3.
    StopAndSaveReplays(session);
    // 4.
    HudShown = 1;
    // 5.
    if (session.tempReplayName[0] != 0) {
        char path[96];
        std::snprintf(path, sizeof(path), "data\\spr\\%s.spr", session.tempReplayName);
        PlatformRemoveFile(path);
    }
    // 6.
    RacingLineView = 0;
    // 7.
    Unpause();
    // 8.
    if (session.isIntro || session.isLesson) {
        DeleteRaceObject();
        race = nullptr;
        GameState = 1;
    }
    // 9.
    ResetAiDrivers();
    // 10.
    if (!session.isIntro) {
        CallLink(SessionLinks.stopMusic);
        if (PointerHiddenFlag) {
            PointerHiddenFlag = 0;
            if (SessionLinks.showCursor != nullptr) {
                SessionLinks.showCursor(1);
            }
        }
    }
    // 11.
    GameSessionPtr = nullptr;
    // 12. The cars are destroyed.
    if (race != nullptr) {
        race->SendDistanceUpdates();
        race->ClearSlotFlag();
    }
    // 13.
    if (SessionLinks.inSimTiny != nullptr) {
        SessionLinks.inSimTiny(11);
    }
    // 14.
    RemoveDisplayMode();
    if (session.displayHeld) {
        PopDisplayMode();
        session.displayHeld = 0;
    }
    // 15.
    if (race != nullptr && TopDisplayMode() == DisplayModeMenuOver) {
        char text[64];
        // "3a_thexhase"
        std::snprintf(text, sizeof(text), Tx(Text_3a_thexhase), RaceWord(*race));
        RacePrint(text, RaceMessageInfoBeep);
    }
    // 16.
    session.physics.Clear();
    ResetLayoutRoute();
    // 17. A guest still waiting for the layout is told it has no objects.
    const bool host = RaceLinks.isHost != nullptr && RaceLinks.isHost();
    if (OnlineFlag && host && LayoutRecordsToSend == 0 && SessionLinks.peerAwaitsLayout != nullptr &&
        SessionLinks.peerAwaitsLayout()) {
        uint8_t packet[132] = {46, 0, 1, 0};
        RaceQueuePacket(packet, sizeof(packet));
    }
    // 18.
    CallLink(SessionLinks.closeOutSimOutGauge);
    // 19.
    if (GraphicsEnabled) {
        TextureRefreshRequest = 1;
        if (!NoDrawFlag && !FrameBegun) {
            LogLine("Exit : draw background");
            DrawBackgroundScreen();
        }
    }
    // 20. The transmission the session started is stopped; a tracker that
    // cannot stop it is let go.
    if (HeadTrackerStartedBySession) {
        HeadTrackerStartedBySession = 0;
        if (StopTrackIRTransmission() != 0) {
            LogLine("TrackIR : could not stop");
            UnloadTrackIRClient();
        }
    }
    // 21.
    if (session.logoRemoved) {
        LogLine("Exit : set up logo");
        CallLink(SessionLinks.loadLogo);
        session.logoRemoved = 0;
    }
    // 22.
    if (RaceLinks.setOwnerBackground != nullptr) {
        RaceLinks.setOwnerBackground(session.owner, session.savedBackground);
    }
    if (RaceLinks.restoreBackgroundPicture != nullptr) {
        RaceLinks.restoreBackgroundPicture(session.owner);
    }
    // 23.
    session.knowledge.Clear();
    int32_t position = -1;
    int pause = 0;
    const bool requestPending =
        SessionLinks.inSimReplayRequest != nullptr && SessionLinks.inSimReplayRequest(&position, &pause);
    if (!requestPending && SessionLinks.inSimReplayNotice != nullptr) {
        SessionLinks.inSimReplayNotice(10);
    }
}

namespace {

int OwnerHasChild()
{
    return RaceLinks.ownerHasChild != nullptr && RaceLinks.ownerHasChild() != 0 ? 1 : 0;
}

// The look keys of this frame: 0 ahead, 1 both sides, 2 left, 3 right, 4
// back (unless the host forbids looking back).
uint32_t LookDirectionOf(const GameSession &session)
{
    if (!GraphicsEnabled || session.viewedCar == nullptr || ViewMode <= 2) {
        return 0;
    }
    const int keys = static_cast<int>(session.controlsEnabled);
    if (IsControlDown(FunctionRearView, keys) && (HostRuleFlags & 0x100u) == 0) {
        return 4;
    }
    const int left = IsControlDown(FunctionLeftView, keys);
    const int right = IsControlDown(FunctionRightView, keys);
    return left && right ? 1 : left ? 2 : right ? 3 : 0;
}

// The mirror bits of the view: the cockpit's mirror option; sideways only
// bit 0; none looking back.
int MirrorBits(const GameSession &session)
{
    if (session.lookDirection == 4 || ViewMode != 3) {
        return 0;
    }
    const int bits = MirrorInternal;
    return session.lookDirection >= 1 ? bits & 1 : bits;
}

// Renders the mirror's picture into its target: 1 when done.
int RenderMirror(GameSession &session)
{
    if (SessionLinks.mirrorTargetPresent == nullptr || !SessionLinks.mirrorTargetPresent() ||
        SessionLinks.beginMirrorTarget == nullptr || !SessionLinks.beginMirrorTarget()) {
        return 0;
    }
    if (SessionLinks.clearToSky != nullptr) {
        SessionLinks.clearToSky(1);
    }
    if (SessionLinks.setupCockpitView != nullptr) {
        SessionLinks.setupCockpitView(&session, 1);
    }
    SetViewportRect(0, 128, 512, 256);
    if (SessionLinks.drawSceneShadows != nullptr) {
        SessionLinks.drawSceneShadows(1, 0.0f);
    }
    CallLink(SessionLinks.endMirrorTarget);
    return 1;
}

void RunChildPage(GameSession &session)
{
    if (SessionLinks.runChildPage != nullptr) {
        SessionLinks.runChildPage(session.owner);
    }
}

void DrawBackgroundUnlessBegun()
{
    if (!FrameBegun) {
        DrawBackgroundScreen();
    }
}

// Steps 26 to 45: the pointer, the listener and, with graphics, the frame's
// drawing. Nothing here touches the simulation.
void DrawSessionFrame(GameSession &session, float dt, int childAtStart)
{
    // 26.
    const int replay = MultiplayerReplayPlaying || GameState == 3 ? 1 : 0;
    session.pointerHidden = 0;
    if (!session.isIntro) {
        session.UpdateCursor(replay);
    }
    // 27.
    if (GraphicsEnabled && !Paused) {
        CallLink(SessionLinks.swaySphereGrid);
    }
    // 28.
    const World *world = CurrentWorld;
    bool scene = GraphicsEnabled && TopDisplayMode() == DisplayModeOwnScene && world != nullptr && !WorldIsLoading(world) &&
                 !FrameBegun && !NoDrawFlag;
    // 29. Which cars were heard comes with the car sounds; until then the
    // fade counts none.
    SoundFade = SoundFadeFor(0, 0, IsFreeOrFixedView(session));
    // 30.
    NoViewedCarFlag = session.viewedCar == nullptr ? 1 : 0;
    // 31. The mirror's picture and the dashboard's texture (the listener
    // is step 34's).
    int mirrorDrawn = 0;
    int dashboardDrawn = 0;
    const bool dedicated = DedicatedMode != DedicatedNone;
    if (scene && !session.freeView && !dedicated && session.viewedCar != nullptr) {
        CarObject *car = session.viewedCar;
        if (MirrorBits(session) != 0) {
            mirrorDrawn = RenderMirror(session);
        }
        if (session.lookDirection != 4 && IsDashboardShown()) {
            if (SessionLinks.drawDashboard != nullptr) {
                SessionLinks.drawDashboard(car);
            }
            dashboardDrawn = 1;
        }
    }
    // 32. The top and bottom eighths of the screen are left to the HUD.
    const int geometry = SessionLinks.viewGeometryIndex != nullptr ? SessionLinks.viewGeometryIndex() : 0;
    const bool bands = session.isIntro || ((ScreenFlags & 4u) != 0 && (!session.freeView || (ScreenFlags & 8u) != 0));
    if (scene && geometry == 0 && bands) {
        HudBandsOn = 1;
    }
    // 33. The popup, the child page, or the camera of the view.
    if (!session.freeView) {
        if (session.popupRequest && !OwnerHasChild()) {
            CallLink(SessionLinks.openLapFileEntry);
            session.popupRequest = 0;
        }
        if (childAtStart && OwnerHasChild()) {
            RunChildPage(session);
            if (TopDisplayMode() == DisplayModeMenuOver) {
                scene = false;
            }
        } else if (scene) {
            SessionFovKeys(session, dt);
            UpdateCamera(session, dt);
            if (ViewMode == 1) {
                SetViewScale(1.0f);
            } else if (ViewMode == 2) {
                TrackCameraStep(session);
            }
        }
    } else {
        RunChildPage(session);
    }
    // 34. The sound listener of this frame.
    WriteSessionListener(session);
    // 36.
    if (HudShown == 1 && !SeekActive && !OwnerHasChild() && NamesMode == 1) {
        CallLink(SessionLinks.drawConnectionList);
    }
    // 37.
    if (!GraphicsEnabled) {
        return;
    }
    if (dedicated) {
        DrawBackgroundUnlessBegun();
        if (SessionLinks.drawFrameRateReadout != nullptr) {
            SessionLinks.drawFrameRateReadout(session.viewedCar);
        }
        return;
    }
    // 38.
    const int replayBar = replay && !session.isIntro && !session.isLesson &&
                          (session.pointerShowTime > 0 || SeekActive) ? 1 : 0;
    // 39.
    if (!scene) {
        DrawBackgroundUnlessBegun();
        if (!NoDrawFlag) {
            CallLink(SessionLinks.drawSystemCaption);
            if (replayBar) {
                CallLink(SessionLinks.drawReplayBar);
            }
        }
        return;
    }
    // 40. The viewport: the centre screen for a fixed camera, without the
    // bands of the HUD.
    int x = 0;
    int y = 0;
    int width = ScreenWidth;
    int height = ScreenHeight;
    if (TopDisplayMode() == DisplayModeOwnScene) {
        if (IsFreeOrFixedView(session)) {
            x = ViewCentreLeft;
            width = ViewCentreRight - ViewCentreLeft;
        }
        if (HudBandsOn) {
            y = ScreenHeight / 8;
            height = ScreenHeight - 2 * (ScreenHeight / 8);
        }
    }
    const bool narrowed = x != 0 || y != 0 || width != ScreenWidth || height != ScreenHeight;
    if (narrowed) {
        DrawBackgroundUnlessBegun();
        SetViewportRect(x, y, width, height);
    }
    auto resetViewport = [narrowed] {
        if (narrowed) {
            SetViewportRect(0, 0, 0, 0);
        }
    };
    if (NoDrawFlag) {
        resetViewport();
        return;
    }
    if (SessionLinks.clearToSky != nullptr) {
        SessionLinks.clearToSky(0);
    } else {
        // Without the sky the frame still begins here, so that the end of
        // the pass does not clear what the scene and the HUD drew.
        DrawBackgroundUnlessBegun();
    }
    if (NoDrawFlag) {
        resetViewport();
        return;
    }
    // 41.
    if (!IsFreeOrFixedView(session)) {
        if (ViewMode == 0 && SessionLinks.buildViewMatrix != nullptr) {
            SessionLinks.buildViewMatrix(0);
        }
        if (SessionLinks.drawDrivingViewSegments != nullptr) {
            SessionLinks.drawDrivingViewSegments(&session);
        }
    } else {
        if (SessionLinks.buildViewMatrix != nullptr) {
            SessionLinks.buildViewMatrix(session.freeView);
        }
        if (SessionLinks.drawSceneShadows != nullptr) {
            SessionLinks.drawSceneShadows(0, std::atan(session.viewScale * 0.5f));
        }
    }
    // 42.
    SetViewportRect(0, 0, 0, 0);
    if (FrameCallback != nullptr) {
        void (*callback)() = FrameCallback;
        FrameCallback = nullptr;
        callback();
    }
    if (mirrorDrawn && MirrorBits(session) >= 2 && session.lookDirection == 0 &&
        SessionLinks.drawMirror != nullptr) {
        SessionLinks.drawMirror(session.cockpitPitch);
    }
    if (dashboardDrawn) {
        CallLink(SessionLinks.drawFramedQuad);
    }
    // 44.
    if (!NoDrawFlag) {
        if (session.freeView) {
            CallLink(SessionLinks.drawEditorOverlay);
        }
        if (SessionLinks.drawHud != nullptr) {
            SessionLinks.drawHud(session.viewedCar, session.drivenCar, session.owner, replayBar);
        }
    }
}

}  // namespace

void SessionFrame(GameSession &session)
{
    RaceObject *race = RaceObjectPtr;
    // 2. The display held at the start is let go.
    if (session.displayHeld && DedicatedMode == DedicatedNone && !SeekActive &&
        session.tickCounter >= (OnlineFlag ? 200u : 50u)) {
        PopDisplayMode();
        session.displayHeld = 0;
    }
    // 4. The program is closing: a lesson ends, a race is voted to its end.
    if (ExitState == 1) {
        ExitState = 2;
        if (session.isLesson) {
            EndGameSession();
        } else if (!OnlineFlag) {
            VoteEndRace();
        }
    }
    // 5.
    if (session.viewedCar == nullptr) {
        session.PickViewCar(0);
    }
    // 6.
    if (!session.active) {
        LogLine("Exit : clean up");
        LeaveSession(session);
        LogLine("Exit : delete");
        if (GameSessionPtr == &session) {
            GameSessionPtr = nullptr;
        }
        delete &session;
        return;
    }
    // 7.
    if (session.rewindRequest) {
        session.rewindRequest = 0;
        session.RewindReplay();
        race = RaceObjectPtr;
    }
    // 9.
    session.steerForceTime = std::min(session.steerForceTime + GameClockStep, 2000);
    // 10.
    const int childAtStart = OwnerHasChild();
    if (!childAtStart) {
        if (session.freeView) {
            session.freeView = 0;
            session.steerForceTime = 0;
        }
        session.driveUnderChild = 0;
    }
    // 11.
    const bool drives = session.drivenCar != nullptr && !Paused && !session.controlsFrozen &&
                        (!childAtStart || session.driveUnderChild);
    if (!drives) {
        session.steerForceTime = 0;
    }
    // 12.
    RecordFrameTime(static_cast<uint32_t>(std::max(FrameElapsed, 0)));
    const float dt = static_cast<float>(GameClockStep) * 0.001f;
    // 13. The car sound stops while paused or while the window is not
    // active; a paused multiplayer replay lets no ticks become due.
    if (Paused || WindowInactive) {
        CallLink(SessionLinks.stopCarSoundBuffer);
    }
    if (Paused && MultiplayerReplayPlaying) {
        InitTime += static_cast<uint32_t>(GameClockStep);
        SmoothLookAngle(session, std::min(dt, 0.01f));
    }
    // 14.
    SetSeekClock(race != nullptr ? race->slotCount : 0);
    // 16. The keys are the player's unless a page or Shift (a session
    // command) has them.
    session.controlsEnabled = !childAtStart && !SessionShiftHeld() ? 1 : 0;
    TickForceFeedback(std::max(FrameElapsed, 0));
    ReadControlInputs();
    // 17.
    session.lookDirection = LookDirectionOf(session);
    // 18. Offline every due tick is one session frame: the clock moves a
    // frame, the batch is flushed when the own ring needs it, the frame's
    // packets apply, the votes are checked and, unless paused, the tick runs.
    uint32_t due = GameClock > InitTime ? (GameClock - InitTime) / 10 : 0;
    for (int n = 0; static_cast<int32_t>(SessionFrameCount - due) < 0 && session.active;) {
        ++ClockFrame;
        if (static_cast<int32_t>(OwnFrameMark - ClockFrame) < 0) {
            RaceFlushBatch();
        }
        if (RaceLinks.runSessionFrame != nullptr) {
            RaceLinks.runSessionFrame();
        } else {
            ++SessionFrameCount;
        }
        session.CheckRaceVote();
        if (Paused) {
            SmoothLookAngle(session, 0.01f);
            continue;
        }
        int flag = 0;
        int left = 0;
        TickFlagAndLeft(due, SessionFrameCount, n, &flag, &left);
        if (SessionTick(session, flag, left) != 0) {
            due = SessionFrameCount;
        } else if (SessionLinks.inSimActive != nullptr && SessionLinks.inSimActive()) {
            CallLink(SessionLinks.inSimTick);
        }
        ++n;
    }
    // 20.
    if (SeekActive) {
        if (ReplayOutOfSync) {
            EndSeek(session, 11);
        } else if (RaceObjectPtr != nullptr && static_cast<int32_t>(RaceObjectPtr->tick) >= SeekTarget) {
            EndSeek(session, 0);
        }
    }
    // 21.
    if (session.viewedCar != nullptr && SessionLinks.sendOutSimOutGauge != nullptr) {
        SessionLinks.sendOutSimOutGauge(session.viewedCar);
    }
    // 22. The steering wheel's force.
    if (drives && ForceFeedbackOn && ControlType == 1 && session.drivenCar != nullptr) {
        ForceFeedbackFrame(*session.drivenCar, session.steerForceTime, SetSteerForce);
    }
    // 24. Qualifying time is over: the driving rules are no longer checked.
    race = RaceObjectPtr;
    if (RaceKind == 2 && RuleCheckActive && race != nullptr &&
        race->tick > (static_cast<uint32_t>(race->qualifyMinutes) * 60u + race->countdownSeconds) * 100u) {
        RuleCheckActive = 0;
    }
    // 25.
    if (!session.active) {
        return;
    }
    // 26-45.
    const int hudShown = HudShown;
    DrawSessionFrame(session, dt, childAtStart);
    HudShown = hudShown;
}
