#include <algorithm>
#include <cstdio>

#include "core/debug_log.h"
#include "core/shell_globals.h"
#include "platform/file_system.h"
#include "platform/timer.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "race/session_frame.h"
#include "render/screen_modes.h"
#include "render/standard_textures.h"
#include "world/layout.h"
#include "world/world.h"

namespace {

const char *RaceWord(const RaceObject &race)
{
    // "3a_smlpract", "3a_smlqulng", "3a_sml_race"
    if (race.raceLength == 0) {
        return "practice session";
    }
    return RaceKind == 2 ? "qualifying" : "race";
}

}  // namespace

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
    if (RaceLinks.setMusicContext != nullptr) {
        RaceLinks.setMusicContext(1);
    }
    // 4.
    session->active = 1;
    GameSessionPtr = session;
    for (uint32_t &time : FrameTimes) {
        time = 0;
    }
    // 5.
    ViewMode = 2;
    // 6.
    ReplaceDisplayMode(DisplayModeOwnScene);
    // 7.
    session->isIntro = kind == SessionIntro ? 1 : 0;
    session->isLesson = kind == SessionLesson ? 1 : 0;
    // 9.
    InitGameSession(*session, join);
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
        RaceLinks.showRecordingNotice("Not recording");
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
    // 2.
    SeekActive = 0;
    SeekTarget = 0;
    SeekFast = 0;
    StartWaitFlag = 0;
    SoundFade = 1.0f;
    GameSpeed = 1.0f;
    // 3.
    StopAndSaveReplays(session);
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
    // 11.
    GameSessionPtr = nullptr;
    if (RaceLinks.setMusicContext != nullptr) {
        RaceLinks.setMusicContext(0);
    }
    // 12. The cars are destroyed.
    if (race != nullptr) {
        race->SendDistanceUpdates();
        race->ClearSlotFlag();
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
        std::snprintf(text, sizeof(text), "The %s has ended", RaceWord(*race));
        RacePrint(text, RaceMessageInfoBeep);
    }
    // 16.
    session.physics.Clear();
    ResetLayoutRoute();
    // 22.
    if (RaceLinks.setOwnerBackground != nullptr) {
        RaceLinks.setOwnerBackground(session.owner, session.savedBackground);
    }
    if (RaceLinks.restoreBackgroundPicture != nullptr) {
        RaceLinks.restoreBackgroundPicture(session.owner);
    }
}

void SessionFrame(GameSession &session)
{
    RaceObject *race = RaceObjectPtr;
    // 2. The display held at the start is let go.
    if (session.displayHeld && DedicatedMode == DedicatedNone && !SeekActive &&
        session.tickCounter >= (OnlineFlag ? 200u : 50u)) {
        PopDisplayMode();
        session.displayHeld = 0;
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
    // 9.
    session.steerForceTime = std::min(session.steerForceTime + GameClockStep, 2000);
    // 12.
    RecordFrameTime(static_cast<uint32_t>(std::max(FrameElapsed, 0)));
    const float dt = static_cast<float>(GameClockStep) * 0.001f;
    // 13. A paused multiplayer replay lets no ticks become due.
    if (Paused && MultiplayerReplayPlaying) {
        InitTime += static_cast<uint32_t>(GameClockStep);
        SmoothLookAngle(session, std::min(dt, 0.01f));
    }
    // 14.
    SetSeekClock(race != nullptr ? race->slotCount : 0);
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
    // 29. Which cars were heard comes with the car sounds; until then the
    // fade counts none.
    SoundFade = SoundFadeFor(0, 0, session.freeView);
}
