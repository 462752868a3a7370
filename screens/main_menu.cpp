#include "screens/main_menu.h"

#include "audio/music_player.h"
#include "core/command_interpreter.h"
#include "core/main_window.h"
#include "platform/keys.h"
#include "core/file_handover.h"
#include "race/game_state.h"
#include "screens/replay_open.h"
#include "screens/setup_screen.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "ui/dialogs.h"
#include "ui/interface_colours.h"
#include "ui/interface_items.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"

MenuPage *MainMenuPage = nullptr;
int StartRaceOnEntry = 0;

namespace {

struct MainMenuScreenPage : MenuPage {
    int startRaceTried = 0;
};

// The idle layout: the six choices in a column at the right (passive until
// their screens exist) and the exit button at the bottom left.
constexpr float ChoiceLeft = 0.35f;
constexpr float ChoiceRight = 0.9f;
constexpr float ChoiceTop = -0.3625f;
constexpr float ChoiceHeight = 0.1f;
constexpr float ChoiceGap = 0.025f;
constexpr TextId ChoiceTexts[] = {Text_3g_tr_selct, Text_3a_mpselect, Text_3a_spselect,
                                  Text_3a_hlselect, Text_3g_repl_sel, Text_3a_opselect};

void ExitPressed(MenuPage *, intptr_t, intptr_t)
{
    StartProgramExit(0);
}

void AddEntryItems(MenuPage *page)
{
    int row = 0;
    for (TextId text : ChoiceTexts) {
        // Computed from the row each frame, so that a press and its release
        // meet the same rectangle.
        const float y0 = ChoiceTop + static_cast<float>(row) * (ChoiceHeight + ChoiceGap);
        AddItem(nullptr, ChoiceLeft, y0, ChoiceRight, y0 + ChoiceHeight, 0, Tx(text), 0, 0, ItemButton,
                &InterfaceColours.textUnselected, nullptr);
        ++row;
    }
    AddItem(page, -1.0f, 0.85f, -0.75f, 1.0f, 0, Tx(Text_3a_exit_btn), 0, 0, ItemBarButton,
            &InterfaceColours.buttonRed, ExitPressed);
    BackButtonShown = 1;
}

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
        // A pending replay is taken when nothing else runs; a queued one
        // opens, and plays in a session over this page.
        if (!page->Child && !GameSessionPtr && ExitState == 0 && ReplayOpenState() == 0 &&
            !EntryReplaySessionShown()) {
            TakePendingExternalFile(page);
        }
        if (!page->Child) {
            RunEntryReplay(page);
        }
        // The radio of the menus, and of the session run over this page.
        UpdateMusic(0);
        // The exit is taken only with no child open and no session running:
        // the children close themselves first.
        if (ExitState == 0 || page->Child || GameSessionPtr) {
            if (!page->Child && ExitState == 0 && NoDrawFlag == 0 && ReplayOpenState() == 0 &&
                !EntryReplaySessionShown()) {
                AddEntryItems(page);
            }
            return page;
        }
        ClosePage(page);
    }
    MainMenuPage = nullptr;
    ResetEntryReplay();
    delete static_cast<MainMenuScreenPage *>(page);
    return nullptr;
}

void ExitConfirmed(MenuPage *, uint32_t, uint32_t)
{
    StartProgramExit(0);
}

// Esc, Q and X ask before leaving the program; Enter does nothing here, the
// rest are the pages' shared keys.
void MainMenuKey(MenuPage *page, int code)
{
    if (code == VkEscape || code == 'Q' || code == 'X') {
        OpenMessageBox(page, ExitConfirmed, Tx(Text_3a_exitprog), nullptr, 0, 0, MessageBoxYesNo);
        return;
    }
    if (code == 13) {
        return;
    }
    DefaultPageKey(page, code);
}

int MainMenuInput(MenuPage *page, MouseEvent *event)
{
    return DefaultPageInput(page, event);
}

}  // namespace

MenuPage *MainMenuScreen(MenuPage *parent)
{
    MainMenuScreenPage *screen = new MainMenuScreenPage();
    InitMenuPage(screen, parent, RunMainMenu, MainMenuKey, MainMenuInput, "entry", 1);
    MainMenuPage = screen;
    SetCurrentScreen(screen);
    // The hot-lap check plays the replay named on the command line.
    if (StartMode == StartModeHotLapCheck) {
        QueueReplayToOpen(screen, PendingFileName, ReplayKindSingle);
    }
    // The user's own start-up commands; nothing happens without the file.
    RunScriptFile("autoexec");
    return screen;
}

int CanMainMenuTakeFile()
{
    return IsMainMenuIdle() || (MainMenuPage && !MainMenuPage->Child && EntryReplaySessionShown()) ? 1 : 0;
}

int IsMainMenuIdle()
{
    return MainMenuPage && !MainMenuPage->Child && !GameSessionPtr ? 1 : 0;
}
