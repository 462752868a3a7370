#pragma once

#include <cstdint>

#include "core/colour.h"

struct InterfaceColour;

// Process-wide state of the program shell: how it was started, the game
// clock, the frame and display state, and the request flags through which
// any code asks the main loop for a display, input or screenshot change that
// it carries out at the end of the pass.

// Start mode set by the command line.
enum StartModeValue {
    StartModeError = 0,
    StartModeNormal = 1,
    StartModeHost = 2,
    StartModeJoin = 3,
    StartModeHotLapCheck = 4,
    StartModeKill = 6,
};

// Dedicated host kind.
enum DedicatedModeValue {
    DedicatedNone = 0,
    DedicatedWithGraphics = 1,
    DedicatedConsole = 2,    // text console, no graphics
    DedicatedInvisible = 3,  // no window at all
};

struct DisplayModeChoice {
    int32_t sixteenBit;  // 1 for a 16-bit mode
    int32_t refresh;
    int32_t width;
    int32_t height;
};

constexpr int ModePresetCount = 4;
constexpr int ClockTrimMax = 50;

extern int DesktopWidth;
extern int DesktopHeight;
extern int StartMode;
extern int GraphicsEnabled;
extern int DedicatedMode;
extern int QuitFlag;
extern int ExitCode;
extern uint32_t GameClock;
extern int GameClockStep;
extern int FrameElapsed;
extern uint32_t FrameRandom;
extern float GameSpeed;
extern int ClockTrim;
extern uint32_t ClockTrimPeriods[ClockTrimMax];
extern int InSimTimeStop;
extern int LocalHour;    // 0..23
extern int LocalMinute;  // 0..59
extern int UtcHour;      // 0..23
extern int UtcMinute;    // 0..59
extern int ScreenWidth;
extern int ScreenHeight;
extern DisplayModeChoice FullScreenMode;
extern int FullScreenModeIndex;
extern DisplayModeChoice ModePresets[ModePresetCount];
extern int ModePresetIndex[ModePresetCount];
extern int FullScreenModeRequest;
extern int WindowModeRequest;
extern int ResizeRequest;
extern int InputRestartRequest;
extern int ScreenshotRequest;
extern int TextureRefreshRequest;
extern int NoDrawFlag;
extern int MinFrameTimeFloor;
extern uint32_t StartFileTimeMinutes;
extern Colour BlinkColour;
extern Colour BlinkTint;
extern const InterfaceColour *BlinkColourSet;

// Steps the 16-bit shared random number x = (x * 5 + 1) & 65535 and returns it.
uint32_t StepFrameRandom();
