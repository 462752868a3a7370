#include "screens/startup_screen.h"

#include <cstdio>
#include <cstring>

#include "audio/music_player.h"
#include "audio/sound_output.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "screens/main_menu.h"
#include "ui/menu_page.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_loader.h"

namespace {

// The start-up page loads the selected track, one load step per main-loop
// pass in slices of 100 ms, and logs each new progress text; then sound
// starts. The intro replay and the skin conversion come later.
struct StartupScreenPage : MenuPage {
    int started = 0;
    int loading = 0;
    char lastProgress[64] = {};
};

void LogProgress(StartupScreenPage *screen)
{
    if (CurrentWorld && std::strcmp(CurrentWorld->progressText, screen->lastProgress) != 0) {
        std::snprintf(screen->lastProgress, sizeof screen->lastProgress, "%s", CurrentWorld->progressText);
        LogPrintf("track : %s", screen->lastProgress);
    }
}

// True while the track is still loading.
bool LoadTrackStep(StartupScreenPage *screen)
{
    if (!screen->started) {
        screen->started = 1;
        if (LoadRaceTrack()) {
            screen->loading = 1;
            LoadSliceMs = IntroLoadSliceMs;
            LogProgress(screen);
        }
    }
    if (!screen->loading) {
        return false;
    }
    const bool ended = StepRaceTrackLoad();
    LogProgress(screen);
    if (!ended) {
        return true;
    }
    screen->loading = 0;
    LoadSliceMs = DefaultLoadSliceMs;
    if (!CurrentWorld) {
        LogLine("track : load failed");
    }
    return false;
}

MenuPage *RunStartupScreen(MenuPage *page)
{
    StartupScreenPage *screen = static_cast<StartupScreenPage *>(page);
    if (!page->Active) {
        MenuPage *next = MainMenuScreen(page->Parent);
        delete screen;
        return next;
    }
    UpdateMusic(1);
    if (LoadTrackStep(screen)) {
        return page;
    }
    // The sound step: never on a dedicated host or without graphics.
    if (DedicatedMode == DedicatedNone && GraphicsEnabled) {
        LogLine("init sound");
        StartSound();
    }
    StopMusic(1);
    ReadRadioFile();
    ClosePage(page);
    return page;
}

void StartupScreenKey(MenuPage *, int)
{
}

int StartupScreenInput(MenuPage *, MouseEvent *)
{
    return 0;
}

}  // namespace

MenuPage *StartupScreen(MenuPage *parent)
{
    StartupScreenPage *screen = new StartupScreenPage();
    InitMenuPage(screen, parent, RunStartupScreen, StartupScreenKey, StartupScreenInput, nullptr, 1);
    SetCurrentScreen(screen);
    return screen;
}
