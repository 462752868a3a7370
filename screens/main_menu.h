#pragma once

struct MenuPage;

// The entry screen (main menu, page name "entry"): the screen the program
// returns to and leaves from. Esc begins the exit; once the program exits the
// entry screen closes and its run returns no page, which ends the main loop.

// The one entry screen, null while there is none.
extern MenuPage *MainMenuPage;

// Set by the program: the entry screen's first pass starts the race of the
// "cfg" grid (StartRaceAtStartup) until the menus exist.
extern int StartRaceOnEntry;

// Creates the entry screen, makes it current and returns it.
MenuPage *MainMenuScreen(MenuPage *parent);
// 1 when the entry screen exists, has no child open and no game session runs.
int IsMainMenuIdle();
// The entry screen is idle, or a replay it opened plays without a child
// page: a handed-over file can be taken.
int CanMainMenuTakeFile();
