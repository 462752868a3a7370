#pragma once

#include <cstdint>

// What the render layer reads, writes and calls of the layers above it: the
// program shell's screen state, settings and request flags, and the services
// of the shell, the interface and the scene that a display switch or a frame
// start needs. The render layer sits below all of them, so the shell hands
// them over once at start-up.
constexpr int InSimShotNameSize = 32;

struct RenderShellLink {
    // State of the shell, each an int of its own.
    int *screenWidth;            // ScreenWidth: the back-buffer size the program believes in
    int *screenHeight;           // ScreenHeight
    int *windowed;               // "Start Windowed ": 1 while the program runs in a window
    int *fullScreenModeIndex;    // FullScreenModeIndex: the selected full-screen mode
    int *antialiasing;           // "Antialiasing ": multisample type 0..16
    int *nextShot;               // "Next Shot ": number of the next screenshot, 1..99999999
    int *screenshotRequest;      // ScreenshotRequest
    int *textureRefreshRequest;  // TextureRefreshRequest
    int *noDrawFlag;             // NoDrawFlag: nothing more is drawn in this pass
    int *verticalSync;           // "Vertical Sync "
    int *fogEnabled;             // "Haze Effect "
    int *testShadows;            // "Test Shadows "
    // The InSim screenshot request: the asking connection (0..7; 8 or more:
    // none) and the file name it gave (empty: a numbered shot).
    int *insimShotConnection;
    char *insimShotName;         // InSimShotNameSize bytes

    // Services.
    void (*logLine)(const char *text);                   // LogLine: a line of the debug log
    void (*printMessage)(const char *text, int colour);  // a message line; colour: a MessageColour
    void (*showHudMessageShort)(const char *text);       // a head-up display note for 1000 ms
    void (*applyWindowStyle)();                          // ApplyWindowStyle for the windowed flag
    void (*updateCursorClip)();
    void (*shutDownInputDevices)();
    void (*requestInputRestart)();
    void (*applyViewGeometry)();
    void (*restartWorldGraphics)();
    uint32_t (*viewGroundColour)();                      // the current view's ground colour, packed
    void (*insimNotifyScreenshot)(int error);            // IS_SSH to the guests: 0 saved, 3 failed
    // The interface's font textures: built with a device (after the character
    // cache is emptied), released without one. Returns 0 when they could not
    // be made.
    int (*buildFontTextures)();
};

// Takes the link. Every member left null gets the render layer's stand-in:
// a private int (screen 0 x 0, windowed, full-screen mode 0, no
// antialiasing, next shot 1, no requests, no vertical sync, haze on, no test
// shadows, no InSim request) or a service that does nothing
// (the ground colour is black). A later call replaces the whole link.
void SetRenderShellLink(const RenderShellLink &link);

// The link in use; every member is set.
extern RenderShellLink RenderShell;

// A line of the debug log, printf-style.
void RenderLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
// A message line in the warning colour.
void RenderWarning(const char *text);
