#pragma once

#include <cstdint>

#include "render/render_device.h"

struct DisplayModeEntry;

// The program's control of the screen above the render device: starting and
// stopping graphics, switching between full screen and a window, following
// window resizes, beginning and ending each drawn frame, the display-mode
// stack that tells the frame start what to draw behind a frame, and the
// colour packers of the back buffer's format.

// --- Display-mode stack -----------------------------------------------------------

// What the frame start draws behind a frame, by the mode on top of the stack.
enum DisplayMode : uint32_t {
    DisplayModeMenu = 0,        // clear to black and draw the background picture
    DisplayModeMenuOver = 1,    // the same; a screen shown over another
    DisplayModeOwnScene = 2,    // the frame's owner (the game session) draws everything
    DisplayModeGroundClear = 3, // clear to the current view's ground colour
};

constexpr int DisplayModeStackSize = 16;

// Above the top unless the stack is full.
void PushDisplayMode(uint32_t mode);
// Lowers the top unless it is the bottom entry.
void PopDisplayMode();
// Pushes the mode; with mode 1 on top the new mode goes under it.
void ReplaceDisplayMode(uint32_t mode);
// Pops the top; with mode 1 on top the entry under it goes instead.
void RemoveDisplayMode();
// Back to the one bottom entry, mode 0.
void ClearDisplayModeStack();
uint32_t TopDisplayMode();

// --- Frame control ----------------------------------------------------------------------

// Set by the frame start; the main loop clears it every pass, and drawing
// code that finds it clear begins the frame itself.
extern int FrameBegun;
// Set while graphics start, stop or switch; a switch asked for meanwhile
// does nothing, and the window does not repaint itself.
extern int DisplaySwitchBusy;

// Begins the drawn frame (nothing when it has begun already) and clears it
// by the top display mode. A frame that cannot begin sets NoDrawFlag.
void DrawFrameBackground();
// The left U of the background quad for the screen's height over width:
// max(1/2048, (1 - aspect) / 2); the right one is 1 minus it.
float BackgroundQuadU0(float aspect);
void SyncGpuFrame();
// Returns 1 when the frame must be skipped (the device cannot draw).
int BeginDrawFrame();
void EndDrawFrame();
void ApplyTextureFilterSettings();

// --- Graphics start and display switches ------------------------------------------------------

// Creates the device at ScreenWidth x ScreenHeight, windowed or in the
// selected full-screen mode, with "Antialiasing ". Returns 1, or 0 with
// "Could not initialise KZVE" in the log.
int StartGraphics();
void StopGraphics();
// Full screen in the mode of the current adapter's list (kept to the list).
// Returns 1, or 0 without a mode list.
int GoFullScreen(int modeIndex);
// Windowed at the window's client size. Returns 0 when refused.
int GoToWindow();
// Follows a resized window. Returns 0.
int ResizeWindowedDevice();
// Returns 1, printing the reason, when windowed display is refused on the
// current adapter; else 0.
int CanGoToWindow();
// The full-screen mode GoFullScreen chose last (size and formats).
extern DisplayModeEntry RememberedFullScreenMode;
// The entry of the selected full-screen mode; null without a mode list.
const DisplayModeEntry *GetSelectedDisplayMode();
// When the device's size differs from ScreenWidth x ScreenHeight, says so
// with the reason and makes the program's size the device's.
void LogScreenDimensions(const char *reason);

// --- Mouse mapping ----------------------------------------------------------------------------------

// A client pixel maps to screen units as pixel / half the client size minus
// the centre offset; the centre of the client area is 0.
extern float ScreenCentreOffsetX;
extern float ScreenCentreOffsetY;

// --- Colour packers --------------------------------------------------------------------------------

using PixelPacker = uint32_t (*)(int red, int green, int blue);

// Packs pixels of the back buffer's format.
extern PixelPacker BackBufferPacker;
extern int BackBufferPixelBits;
// Packs vertex colour words: always PackRgb.
extern PixelPacker PackPixelColour;

// Chooses the back buffer's packer by its format and clears
// BackBufferFormatChanged. Returns "A888", "X888", "565", "X555" or
// "unknown" (packer unchanged).
const char *SelectPixelFormat();
// The software raster's pixel size and packer follow the back buffer's.
void SetPixelPacker();
