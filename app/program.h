#pragma once

#include <cstdint>
#include <ctime>

struct MenuPage;
class GraphicsDevice;

// The program's whole life: the start-up steps, the main loop and the
// shutdown steps, in the three run modes (a window with graphics; the text
// console of a dedicated host, /host=<name> /dedicated=nogfx; an invisible
// dedicated host, /host=<name> /dedicated=invisible).

// Exit code of a start-up step that failed. Not 1..13: the hot-lap check
// ends the program with its result in that range.
constexpr int FailedStartExitCode = 100;

// What the program takes from the system, so that a test can run it with a
// clock and sleep of its own. Every member left null is the system's.
struct ProgramServices {
    uint32_t (*timeMs)();                           // monotonic milliseconds
    void (*sleepMs)(int ms);
    std::time_t (*wallTime)();                      // seconds since 1970
    bool (*readConsoleLine)(char *out, int size);   // a typed console line, without waiting
    MenuPage *(*firstPage)(MenuPage *parent);       // the page the loop runs first: the start-up screen
    int noDisplay;                                  // 1: never start the video layer
    // Graphics on this device instead of OpenGL, with no window (implies
    // noDisplay).
    GraphicsDevice *graphicsDevice;
};

// Replaces the services of the next RunProgram.
void SetProgramServices(const ProgramServices &services);

// Runs the program with its command-line arguments (argv[0] is the
// program). Returns 100 when a start-up step failed, 0 when the start ended
// early without an error, and ExitCode after a normal end.
int RunProgram(int argc, char **argv);
