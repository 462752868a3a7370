#include "screens/main_menu.h"

#include "audio/music_player.h"
#include "core/command_interpreter.h"
#include "core/main_window.h"
#include "platform/keys.h"
#include "race/game_state.h"
#include "screens/setup_screen.h"
#include "ui/menu_page.h"

MenuPage *MainMenuPage = nullptr;
int StartRaceOnEntry = 0;

namespace {

struct MainMenuScreenPage : MenuPage {
    int startRaceTried = 0;
};

MenuPage *RunMainMenu(MenuPage *page)
{
    if (page->Active) {
        // Until the menus exist, the program goes to its race at once.
        MainMenuScreenPage *screen = static_cast<MainMenuScreenPage *>(page);
        if (!screen->startRaceTried && StartRaceOnEntry && IsMainMenuIdle() && ExitState == 0) {
            screen->startRaceTried = 1;
            StartRaceAtStartup();
        }
        RunChildPage(page);
        // The radio of the menus, and of the session run over this page.
        UpdateMusic(0);
        // The exit is taken only with no child open and no session running:
        // the children close themselves first.
        if (ExitState == 0 || page->Child || GameSessionPtr) {
            return page;
        }
        ClosePage(page);
    }
    MainMenuPage = nullptr;
    delete static_cast<MainMenuScreenPage *>(page);
    return nullptr;
}

// Esc leaves the program.
void MainMenuKey(MenuPage *, int code)
{
    if (code == VkEscape) {
        StartProgramExit(0);
    }
}

int MainMenuInput(MenuPage *, MouseEvent *)
{
    return 0;
}

}  // namespace

MenuPage *MainMenuScreen(MenuPage *parent)
{
    MainMenuScreenPage *screen = new MainMenuScreenPage();
    InitMenuPage(screen, parent, RunMainMenu, MainMenuKey, MainMenuInput, "entry", 1);
    MainMenuPage = screen;
    SetCurrentScreen(screen);
    // The user's own start-up commands; nothing happens without the file.
    RunScriptFile("autoexec");
    return screen;
}

int IsMainMenuIdle()
{
    return MainMenuPage && !MainMenuPage->Child && !GameSessionPtr ? 1 : 0;
}
