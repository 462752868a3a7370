// The single-player replay recorder and player in the session's and the
// race's entries.

#include "core/settings.h"
#include "core/text_utils.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/session_links.h"
#include "race/spr_file.h"

namespace {

// The recording ended and kept under its default name (the session's
// restart of a race being driven).
int SaveDefault()
{
    StopSprRecording();
    if (!MakeDefaultSprName()) {
        return 0;
    }
    CopyString(SprPlaybackName, LastSavedSprName, sizeof(SprPlaybackName));
    return 1;
}

void SaveEnded()
{
    MakeDefaultSprName();
}

int SingleReplayOption()
{
    return SprAutoSave;
}

int SingleReplayPlaying()
{
    return GameState == 3 ? 1 : 0;
}

int PlayUntilTick(uint32_t raceTick, int apply)
{
    return SprPlayUntilTick(raceTick, apply);
}

}  // namespace

void InstallSprReplays()
{
    SessionLinks.sprRecording = SprRecordingActive;
    SessionLinks.sprRecordControls = SprRecordControls;
    SessionLinks.sprRecordStateCheck = SprRecordStateCheck;
    SessionLinks.sprPlayUntilTick = PlayUntilTick;
    SessionLinks.sprOpenPlayback = ReopenSprPlayback;
    SessionLinks.startSprRecording = StartSprRecording;
    SessionLinks.sprSaveDefault = SaveDefault;
    RaceLinks.endSingleRecording = StopSprRecording;
    RaceLinks.saveSingleRecording = SaveEnded;
    RaceLinks.singleReplayOption = SingleReplayOption;
    RaceLinks.singleReplayPlaying = SingleReplayPlaying;
}
