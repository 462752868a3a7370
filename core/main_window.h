#pragma once

#include <cstdint>

// The main window's state that the pages, the controls and the shell share:
// the program's own input model (key states by virtual-key code, held
// modifiers, the mouse), the exit request, the in-race display choices, and
// the window's small services (cursor clip, input restarts, screen-mode
// requests). The window procedure that fills the input model belongs to the
// program shell above every subsystem; what these services need from higher
// subsystems they reach through the WindowServices the shell registers.

struct MenuPage;

// --- Input model ----------------------------------------------------------------

constexpr int KeyStateSize = 256;
constexpr int ArrowKeyCount = 4;

// Special key codes handed to pages, above every character code.
constexpr int KeyCodeUp = 256;
constexpr int KeyCodeDown = 257;
constexpr int KeyCodeRight = 258;
constexpr int KeyCodeLeft = 259;
constexpr int KeyCodePageUp = 260;
constexpr int KeyCodePageDown = 261;
constexpr int KeyCodeDelete = 262;
constexpr int KeyCodeCopy = 263;    // Ctrl+Insert, or Ctrl+C while a text entry is open
constexpr int KeyCodeHome = 264;
constexpr int KeyCodeEnd = 265;
constexpr int KeyCodePaste = 266;   // Shift+Insert or Ctrl+V
constexpr int KeyCodeF1 = 267;      // Shift+F1, or F1 while a replay plays
constexpr int KeyCodeF2 = 268;
constexpr int KeyCodeF3 = 269;
constexpr int KeyCodeInsert = 270;

// Slots of KeyState that are not keys.
constexpr int KeySlotMouseLeft = 1;
constexpr int KeySlotMouseRight = 2;
constexpr int KeySlotMouseMiddle = 3;
constexpr int KeySlotWheelUp = 4;    // set for one main-loop pass
constexpr int KeySlotWheelDown = 5;

// 1 while the key of that virtual-key code is down. The four arrow slots
// follow the 256 keys in the same table, so codes 256..259 (up, down, right,
// left) read the arrows too.
extern uint8_t KeyState[KeyStateSize + ArrowKeyCount];
// Up, down, right, left held: KeyState + 256.
extern uint8_t *const ArrowKeyState;
// Page Up, Page Down held.
extern uint8_t PageKeyState[2];

extern int AltHeld;
extern int CtrlHeld;
extern int ShiftHeld;

// Decimal digits typed while Alt is held: the character code they make is
// delivered when Alt goes up.
constexpr int AltCodeMaxDigits = 3;
extern char AltCodeDigits[AltCodeMaxDigits];
extern int AltCodeCount;

// Arrow keys held for the free-view camera; not set while a text entry is open.
extern int FreeViewMoveRight;
extern int FreeViewMoveLeft;
extern int FreeViewMoveDown;
extern int FreeViewMoveUp;

// Set by the text entry pages while a line is being typed.
extern int TextEntryActive;
// 1 + index of the function-key message that the open text entry takes as
// typed text; 0 none.
extern int QueuedLineIndex;
// Set while a raw key goes to a key-mode page; a page created meanwhile sets
// SkipNextChar so that the same key stroke's character is swallowed.
extern int RawKeyDelivering;
extern int SkipNextChar;
// 1 while the window does not have the focus.
extern int WindowInactive;
// 1 after a mouse move inside the client area, 0 after one outside it.
extern int MouseInClient;
// Last mouse position in client pixels and in screen units (the centre of
// the back buffer is 0).
extern int MouseX;
extern int MouseY;
extern float MouseFracX;
extern float MouseFracY;

// The record every page's input callback receives, one per mouse message.
struct MouseEvent {
    int32_t dx;        // pixels moved since the previous position; 0 outside the back buffer
    int32_t dy;
    uint32_t left;     // left button held
    uint32_t right;    // right button held
    uint32_t press;    // 0 none, 1 left, 2 right; + 4 with Ctrl, + 8 with Shift
    uint32_t wheel;    // 0 none, 1 up, 2 down
    uint32_t release;  // 0 none, 1 left, 2 right
};

// The event of the latest mouse message. Moves and presses update dx and dy;
// other messages pass the previous movement on.
extern MouseEvent WindowMouseEvent;

// --- Exit and displays ------------------------------------------------------------

// 0 running; 1 the program has begun to exit; 2 it has begun to exit while
// hosting online (the guests were removed first). Goes up once, never back.
extern int ExitState;
// The value given to the exit request; 0 for a plain exit.
extern int ExitValue;
// In-race information display: 0 none, 1..4 (F9..F12).
extern int InfoDisplay;
// Results shown: 0 no, 1 auto, 2 yes; Ctrl+Tab cycles it.
extern int ShowResults;
// The network debug display (Shift+F8).
extern int NetworkDebug;

// The page that receives keys, characters and mouse events: the newest open
// page. Null before the first screen exists.
extern MenuPage *CurrentScreen;

// --- Input devices ------------------------------------------------------------------

// 0 running, 1 the head tracker's client is not installed (never tried
// again), 2 not running and wanted.
extern int TrackIRState;
// 1 until the first StartInputDevices has read the controls file.
extern int ControlsFileReadPending;

// --- Services of the higher subsystems ------------------------------------------------

// What the window's services call in the subsystems above core. The program
// registers them once at start-up; every member left null does nothing (or
// answers 0), so core code and tests run without them.
struct WindowServices {
    // The page became current: its name (when it has one) becomes the
    // full-screen background picture.
    void (*showPageBackground)(MenuPage *page);
    // Clears the background picture; with keepEntry the entry screen's picture stays.
    void (*clearBackgroundPicture)(int keepEntry);
    int (*isOnlineHost)();
    // Removes every guest and marks the host session as closing.
    void (*closeHostSession)();
    void (*inSimStop)();
    void (*stopDirectSound)();
    // A short notice on the head-up display; colour is a MessageColour.
    void (*showHudMessage)(const char *text, int colour);
    int (*isFreeView)();
    // The full head-up display is shown and no head-up list covers it.
    int (*isHudVisible)();
    // Shows the full head-up display and closes a head-up list over it.
    void (*showHud)();
    // The render layer's centre offsets of the pixel-to-screen-unit mapping;
    // null means 1.0 and 1.0 (the centre of the back buffer is 0).
    void (*screenCentreOffset)(float *x, float *y);
    // The window procedure's key handlers, for SimulateKeyPress.
    void (*keyDown)(int virtualKey);
    void (*keyUp)(int virtualKey);
    // A game session exists (the head tracker's transmission starts with it).
    int (*hasGameSession)();
};

// Replaces the services; null members get the harmless defaults.
void SetWindowServices(const WindowServices &services);

// --- Window services ----------------------------------------------------------------

// Ends the main loop after the current pass.
void RequestQuit();
// Begins leaving the program, once: later calls do nothing. The entry screen
// sees ExitState and ends the program by returning no page. A plain exit
// (value 0) stops InSim and the sound at once.
void StartProgramExit(int value);
// Makes the page the one that receives the input; its name becomes the
// background picture.
void SetCurrentScreen(MenuPage *page);
// Runs the key's down and up handling with the held flags given, then puts
// the real held flags back.
void SimulateKeyPress(int ctrl, int shift, int alt, int virtualKey);
// Asks for a switch to full-screen mode index; ignores -1 (and any negative
// index) and the full-screen mode already in use.
void RequestScreenMode(int modeIndex);
// Shows in-race information display n (1..4), or hides it when it is shown
// already over the full head-up display. Nothing in free view.
void SelectInfoDisplay(int n);
// Puts the pointer at the centre of the screen (screen units 0, 0).
void PlaceMouseCursor();
// Ctrl+C: flips "Screen Flags "' clip bit of the current display kind.
void ToggleMouseClip();

// --- Cursor clip and input restarts ---------------------------------------------------

// What the cursor clip calls in the platform; tests put their own in. Null
// restores the platform's.
struct CursorClipFunctions {
    bool (*hasWindow)();
    void (*clip)();
    void (*release)();
};
void SetCursorClipFunctions(const CursorClipFunctions *functions);

// Keeps the pointer inside the whole window (frame included), or lets it go.
// Nothing without a window.
void ClipCursorToWindow();
void ReleaseCursorClip();
// Clips by the "Screen Flags " bit of the current display kind: 0x100
// windowed, 0x200 full screen.
void UpdateCursorClip();
// Asks the main loop to restart the head tracker and the input devices.
void RequestInputRestart();
// The first call reads the controls file; later calls start force feedback.
void StartInputDevices();
void ShutDownInputDevices();
// Loads the head tracker's client when it is wanted (state 2).
void StartTrackIR();
