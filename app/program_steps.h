#pragma once

#include <cstdint>

#include "app/program.h"
#include "core/game_clock.h"

// What the start-up, the main loop and the shutdown share during one run.
struct ProgramRun {
    ProgramServices services;  // every member set
    char *commandLine;         // the arguments joined by blanks; a link is decoded in place
    int runningInstance;       // another instance of the program was found
    int consoleMode;           // no graphics and not invisible: the terminal is the host's console
    MenuPage *firstPage;       // what the start-up screen gave to run first
    GameClockState clock;
    WallClockState wallClock;
    uint32_t previousPassMs;   // wall time at the end of the previous pass's sleep
};

// The start-up steps. Returns 1 to go on to the main loop; otherwise 0 with
// the process's exit code in exitCode (100 for a failed step).
int RunStartup(ProgramRun &run, int *exitCode);
// Passes until QuitFlag is set.
void RunMainLoop(ProgramRun &run);
// The shutdown steps, ending with "EXIT".
void RunShutdown(ProgramRun &run);

// Frees every loaded car body object; harmless for those never loaded.
void FreeBodyObjects();
