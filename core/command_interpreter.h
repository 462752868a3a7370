#pragma once

// The command interpreter: chat lines, "/" commands and key bindings, shared
// by the function-key messages, scripts, InSim and the host console.

struct MenuPage;

// Runs one command line on behalf of the page (null: no page). Returns 0.
int ExecuteCommand(MenuPage *page, const char *text, int flags);
