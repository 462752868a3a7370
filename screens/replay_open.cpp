#include "screens/replay_open.h"

#include <cstring>

#include "core/file_handover.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "net/game_batch.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "race/session_frame.h"
#include "race/spr_file.h"
#include "world/track_sites.h"
#include "world/world.h"

namespace {

struct EntryReplay {
    int state = 0;
    int kind = ReplayKindSingle;
    int sessionShown = 0;
    char name[128] = {};
};
EntryReplay Entry;

void Fail()
{
    CloseSprPlayback(1);
    Entry.state = 0;
}

// The players read; with graphics the replay's skins are looked for.
void PlayerStep(MenuPage *page)
{
    if (!ReadSprPlayers(page, 1)) {
        Fail();
        return;
    }
    if (GraphicsEnabled && ReplayLinks.loadSessionSkins != nullptr) {
        ReplayLinks.loadSessionSkins();
    }
    Entry.state = 5;
}

void StartPlayback(MenuPage *page)
{
    InitTime = GameClock;
    GameState = 3;
    const RaceObject *race = RaceObjectPtr;
    RaceKind = race != nullptr && race->qualifyMinutes != 0 ? 2 : 1;
    ReplayStartTick = 0;
    EnterSession(page, SessionNormal, 0);
    Entry.sessionShown = 1;
    Entry.state = 0;
}

}  // namespace

void QueueReplayToOpen(MenuPage *, const char *name, int kind)
{
    if (Entry.state != 0 || name == nullptr || name[0] == 0) {
        return;
    }
    Entry.kind = kind;
    CopyString(Entry.name, name, sizeof(Entry.name));
    ReplayLength = 0;
    Entry.state = 1;
}

int ReplayOpenState()
{
    return Entry.state;
}

int EntryReplaySessionShown()
{
    return Entry.sessionShown;
}

void TakePendingExternalFile(MenuPage *page)
{
    if (PendingFileType == PendingFileNone) {
        return;
    }
    if (StartMode == StartModeNormal && (PendingFileType == PendingFileSpr || PendingFileType == PendingFileMpr)) {
        QueueReplayToOpen(page, PendingFileName, PendingFileType == PendingFileSpr ? ReplayKindSingle : ReplayKindMulti);
    }
    PendingFileType = PendingFileNone;
}

void ResetEntryReplay()
{
    Entry = EntryReplay{};
}

void RunEntryReplay(MenuPage *page)
{
    // The replay session run over the entry page.
    if (Entry.sessionShown) {
        if (CurrentWorld != nullptr && WorldIsLoading(CurrentWorld)) {
            StepRaceTrackLoad();
        }
        if (GameSessionPtr != nullptr) {
            SessionFrame(*GameSessionPtr);
        }
        if (GameSessionPtr == nullptr) {
            if (CurrentWorld != nullptr) {
                ClearObjectGrid(CurrentWorld);
            }
            Entry.sessionShown = 0;
            CloseSprPlayback(0);
            ResetSessionAsHost();
        }
        return;
    }
    switch (Entry.state) {
    case 1:
        Entry.state = 2;
        break;
    case 2: {
        // Multiplayer replays are not played here yet.
        int loading = 0;
        if (Entry.kind != ReplayKindSingle || !OpenSprForPlayback(page, Entry.name, 1, &loading)) {
            Fail();
            break;
        }
        if (loading) {
            Entry.state = 3;
        } else {
            PlayerStep(page);
        }
        break;
    }
    case 3:
        if (CurrentWorld != nullptr && WorldIsLoading(CurrentWorld)) {
            StepRaceTrackLoad();
            break;
        }
        PlayerStep(page);
        break;
    case 4:
        Entry.state = 5;
        break;
    case 5:
        Entry.state = ReplayLength >= 1 ? 7 : 6;
        break;
    case 6:
        ReplayLength = SprReadFirstRecord();
        Entry.state = 7;
        break;
    case 7:
        StartPlayback(page);
        break;
    default:
        break;
    }
}
