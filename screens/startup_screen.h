#pragma once

struct MenuPage;

// Creates the start-up screen, makes it current and returns it: the first
// page the main loop runs. When it has done its work it closes, and in the
// pass after that it hands over to the entry screen.
MenuPage *StartupScreen(MenuPage *parent);
