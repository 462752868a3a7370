#include "screens/startup_screen.h"

#include "core/main_window.h"
#include "screens/main_menu.h"
#include "ui/menu_page.h"

namespace {

// The start-up work (the intro track, skin conversion, the sound start) does
// not exist yet, so the screen closes at its first run.
struct StartupScreenPage : MenuPage {
};

MenuPage *RunStartupScreen(MenuPage *page)
{
    StartupScreenPage *screen = static_cast<StartupScreenPage *>(page);
    if (!page->Active) {
        MenuPage *next = MainMenuScreen(page->Parent);
        delete screen;
        return next;
    }
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
