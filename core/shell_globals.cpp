#include "core/shell_globals.h"

int DesktopWidth = 0;
int DesktopHeight = 0;
int StartMode = StartModeNormal;
int GraphicsEnabled = 1;
int DedicatedMode = DedicatedNone;
int QuitFlag = 0;
int ExitCode = 0;
uint32_t GameClock = 0;
int GameClockStep = 0;
int FrameElapsed = 0;
uint32_t FrameRandom = 0;
float GameSpeed = 1.0f;
int ClockTrim = 0;
uint32_t ClockTrimPeriods[ClockTrimMax];
int InSimTimeStop = 0;
int LocalHour = 0;
int LocalMinute = 0;
int UtcHour = 0;
int UtcMinute = 0;
int ScreenWidth = 0;
int ScreenHeight = 0;
DisplayModeChoice FullScreenMode = {0, 0, 0, 0};
int FullScreenModeIndex = -1;
DisplayModeChoice ModePresets[ModePresetCount] = {
    {1, 0, 640, 480},
    {1, 0, 800, 600},
    {1, 0, 1024, 768},
    {1, 0, 1280, 960},
};
int ModePresetIndex[ModePresetCount] = {-1, -1, -1, -1};
int FullScreenModeRequest = -1;
int WindowModeRequest = 0;
int ResizeRequest = 0;
int InputRestartRequest = 0;
int ScreenshotRequest = 0;
int TextureRefreshRequest = 0;
int NoDrawFlag = 0;
int MinFrameTimeFloor = 25;
uint32_t StartFileTimeMinutes = 0;
Colour BlinkColour = {};
Colour BlinkTint = {};
const InterfaceColour *BlinkColourSet = nullptr;

uint32_t StepFrameRandom()
{
    FrameRandom = (FrameRandom * 5 + 1) & 65535;
    return FrameRandom;
}
