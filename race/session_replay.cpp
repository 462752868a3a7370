// The session's replay time controls: seeking, rewinding, reopening a
// replay and its end, and the session's small accessors.

#include <algorithm>

#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_frame.h"
#include "race/session_links.h"

SessionLinkServices SessionLinks = {};

int HudShown = 1;
int HudBandsOn = 0;
int32_t ReplayStartTick = 0;
int32_t ReplayLength = 0;
uint32_t PlayOnceRequest = 0;
void (*FrameCallback)() = nullptr;
uint32_t PointerHiddenFlag = 0;
uint32_t HudClick = 0;

namespace {

// The player id of the viewed car's slot, 0 for none.
uint8_t ViewedPlayerId(const GameSession &session)
{
    const RaceObject *race = RaceObjectPtr;
    for (int i = 0; race != nullptr && session.viewedCar != nullptr && i < race->slotCount; ++i) {
        if (race->slots[i].car == session.viewedCar) {
            return race->slots[i].info.playerId;
        }
    }
    return 0;
}

void StopCarSound()
{
    if (SessionLinks.stopCarSoundBuffer != nullptr) {
        SessionLinks.stopCarSoundBuffer();
    }
}

}  // namespace

int GameSession::SeekReplay(int32_t target, int pauseAfter)
{
    const RaceObject *race = RaceObjectPtr;
    if (GameSessionPtr != this || race == nullptr) {
        return 9;
    }
    target = std::clamp(target, ReplayStartTick, ReplayStartTick + std::max(ReplayLength, 0));
    const int32_t now = static_cast<int32_t>(race->tick);
    if (ReplayOutOfSync && target > now) {
        return 11;
    }
    if (target == now) {
        if ((pauseAfter != 0) != (Paused != 0)) {
            TogglePause();
        }
        return 1;
    }
    SeekActive = 1;
    pauseAfterSeek = pauseAfter ? 1 : 0;
    seekPlayerId = ViewedPlayerId(*this);
    SeekTarget = target;
    if (target <= now) {
        RewindReplay();
        return 0;
    }
    if (target - now > 100) {
        HoldDisplayAfterStart(*this);
    }
    Unpause();
    return 0;
}

void GameSession::RewindReplay()
{
    if (GameSessionPtr != this) {
        return;
    }
    if (RaceLinks.clearGameVotes != nullptr) {
        RaceLinks.clearGameVotes();
    }
    StopCarSound();
    const int32_t length = ReplayLength;
    if (MultiplayerReplayPlaying) {
        if (SessionLinks.mprClearEnd != nullptr) {
            SessionLinks.mprClearEnd();
        }
        RacePrint(Tx(Text_3a_replrest), RaceMessageInfo);
        restarting = 1;
        PlayMpr();
        ReplayLength = ReplayLength == 0 ? length : ReplayLength;
        restarting = 0;
        return;
    }
    if (GameState == 3) {
        if (RaceLinks.endSingleRecording != nullptr) {
            RaceLinks.endSingleRecording();
        }
        if (!RaceLessonRunning()) {
            RacePrint(Tx(Text_3a_replrest), RaceMessageInfo);
        }
        restarting = 1;
        PlaySpr();
        ReplayLength = ReplayLength == 0 ? length : ReplayLength;
        restarting = 0;
        return;
    }
    const bool recording = SessionLinks.sprRecording != nullptr && SessionLinks.sprRecording() != 0;
    if (!recording) {
        RacePrint(Tx(Text_3a_replnotr), RaceMessageInfo);
        return;
    }
    if (tickCounter > 500 && SessionLinks.sprSaveDefault != nullptr && SessionLinks.sprSaveDefault() != 0) {
        PlaySpr();
    }
}

void GameSession::PlaySpr()
{
    Unpause();
    const uint32_t wasActive = active;
    active = 0;
    const int opened = SessionLinks.sprOpenPlayback != nullptr ? SessionLinks.sprOpenPlayback() : 0;
    active = wasActive;
    if (opened) {
        GameState = 3;
        StartRace(1, 0, 0);
    }
}

void GameSession::PlayMpr()
{
    Unpause();
    DeleteRaceObject();
    const uint32_t wasActive = active;
    active = 0;
    int join = 0;
    const int opened = SessionLinks.mprOpenPlayback != nullptr ? SessionLinks.mprOpenPlayback(&join) : 0;
    active = wasActive;
    if (opened) {
        InitGameSession(*this, join);
    }
}

void OnSprPlaybackEnd(GameSession &session)
{
    if (StartMode == StartModeHotLapCheck) {
        if (SessionLinks.endProgram != nullptr) {
            SessionLinks.endProgram(13);
        }
        return;
    }
    OnMprPlaybackEnd(session);
}

void OnMprPlaybackEnd(GameSession &session)
{
    if (session.endAtReplayEnd) {
        EndGameSession();
    } else {
        session.rewindRequest = 1;
    }
}

// --- Accessors ---

int AreControlsFrozen()
{
    return GameSessionPtr != nullptr ? GameSessionPtr->controlsFrozen : 0;
}

int IsIntroSessionEnded()
{
    const bool child = RaceLinks.ownerHasChild != nullptr && RaceLinks.ownerHasChild() != 0;
    return GameSessionPtr != nullptr && GameSessionPtr->isIntro && !child ? 1 : 0;
}

void SetDriveUnderChild()
{
    if (GameSessionPtr != nullptr) {
        GameSessionPtr->driveUnderChild = 1;
    }
}

int IsFreeViewActive()
{
    return GameSessionPtr != nullptr ? GameSessionPtr->freeView : 0;
}

void SetViewScale(float scale)
{
    if (GameSessionPtr != nullptr) {
        GameSessionPtr->viewScale = scale;
    }
}

void RequestSessionPopup()
{
    if (GameSessionPtr != nullptr) {
        GameSessionPtr->popupRequest = 1;
    }
}
