#pragma once

// The program's one window and its input, as the messages a Windows window
// procedure sees: key downs and ups with virtual-key codes, characters as
// bytes of the keyboard's code page, mouse messages in client pixels, focus,
// size and close. Every function is harmless before the video is started,
// before the window exists and on a machine without a display (the tests and
// the dedicated host run without one): queries then answer zero or false and
// everything else does nothing.

struct PlatformRect {
    int left;
    int top;
    int right;
    int bottom;
};

// --- Video and the window ---------------------------------------------------

// Starts the video layer. Returns false at once when no display is named in
// the environment, and false when none could be reached.
bool PlatformStartVideo();
// Destroys the window and stops the video layer.
void PlatformStopVideo();

// Size of the desktop in pixels; 0 x 0 when the video is not started.
void PlatformGetDesktopSize(int *width, int *height);

// Creates the window "Kezvane" (with an OpenGL surface where the system has
// one) and places it as PlatformApplyWindowStyle does. With the window already
// there it is only placed. Returns false when it could not be created.
bool PlatformCreateWindow(bool fullScreen, const PlatformRect &clientRect);
// Windowed: a framed, resizable window whose client area covers clientRect
// (screen pixels). Full screen: the display at the size of clientRect (the
// nearest display mode the system offers). The window is shown. Sizes are
// kept to 1..16384 pixels and positions to -16384..16384.
void PlatformApplyWindowStyle(bool fullScreen, const PlatformRect &clientRect);
void PlatformDestroyWindow();
bool PlatformHasWindow();
// Brings the main window to the front and gives it the input focus.
void PlatformRaiseWindow();

// The client area in screen pixels; all zero without a window.
PlatformRect PlatformGetClientRect();

// --- Mouse pointer ------------------------------------------------------------

void PlatformShowCursor(bool show);
// Moves the pointer to a point of the client area.
void PlatformWarpMouse(int x, int y);
// Keeps the pointer inside the window, or lets it go.
void PlatformClipCursorToWindow();
void PlatformReleaseCursorClip();
// Mouse capture: the window keeps getting mouse messages while a button is
// held outside it.
void PlatformCaptureMouse();
void PlatformReleaseMouseCapture();

// --- Messages -----------------------------------------------------------------

// A held key repeats its key-down message. A key stroke gives its key-down
// first and then its characters. Characters come from the desktop's text input
// in the keyboard code page (a double-byte page gives both bytes, lead byte
// first), except Backspace 8 (Ctrl: 127), Enter 13 (Ctrl: 10), Tab 9 (none with
// Ctrl), Esc 27 and Ctrl+letter 1..26; with Ctrl alone no other characters
// come. Digits typed with Alt held come as they are: this layer never composes
// them into the character of an Alt code. Mouse positions are client pixels;
// wheel messages carry the last position.
enum PlatformEventKind {
    PlatformEventKeyDown,        // key = virtual-key code; system set when Alt
    PlatformEventKeyUp,          //   is held without Ctrl, for Alt and F10
    PlatformEventChar,           // key = character byte 1..255; system as above
    PlatformEventMouseMove,      // x, y, buttons
    PlatformEventMouseLeave,     // the pointer left the client area
    PlatformEventButtonDown,     // button, x, y, buttons (held after the change)
    PlatformEventButtonUp,
    PlatformEventWheel,          // wheel = 1 up or -1 down; x, y, buttons
    PlatformEventFocusGained,    // minimised set when the window is minimised
    PlatformEventFocusLost,
    PlatformEventMinimised,
    PlatformEventSizeChanged,    // rect = client area in screen pixels
    PlatformEventMoveSizeEnd,    // the user finished moving or sizing: rect
    PlatformEventPaint,          // the client area must be drawn again
    PlatformEventInputLanguage,  // the keyboard layout changed
    PlatformEventClose,          // the user asked to close the window
    PlatformEventQuit,           // the system asks the program to end
};

// Mouse buttons: the button of a press or release, and the held flags.
enum PlatformMouseButton {
    PlatformMouseLeft = 1,
    PlatformMouseRight = 2,
    PlatformMouseMiddle = 4,
};

struct PlatformEvent {
    PlatformEventKind kind;
    int key;
    int system;
    int x;
    int y;
    int buttons;
    int button;
    int wheel;
    int minimised;
    PlatformRect rect;
};

// Takes the next message. Returns false when none is waiting.
bool PlatformPollEvent(PlatformEvent *out);

// The code page that typed characters are delivered in (a Windows code page
// number; 1252 until set). Returns false, keeping the current one, for a code
// page the system cannot convert to.
// At start it is the locale's page (PlatformLocaleCodePage, platform/locale.h).
bool PlatformSetKeyboardCodePage(int codePage);
int PlatformGetKeyboardCodePage();
// The code pages the font can draw, in table order. A typed character that
// the keyboard's page cannot hold switches the keyboard to the first of them
// that can (the single-byte pages before the double-byte ones), and an
// input-language event is queued.
void PlatformSetTypingCodePages(const int *numbers, int count);

// --- Clipboard and message boxes ------------------------------------------------

// Clipboard text in the keyboard's code page (characters that page lacks are
// dropped). Get writes at most size - 1 bytes and a zero; both return false
// without a video layer or when the clipboard has no text.
bool PlatformGetClipboardText(char *out, int size);
bool PlatformSetClipboardText(const char *text);
// The same as the desktop's UTF-8, unconverted (the text entry converts each
// character from its own code page).
bool PlatformGetClipboardUtf8(char *out, int size);
bool PlatformSetClipboardUtf8(const char *utf8);

enum PlatformMessageBoxKind {
    PlatformBoxError,     // OK, stop icon
    PlatformBoxWarning,   // OK, exclamation icon
    PlatformBoxInfo,      // OK, information icon
    PlatformBoxQuestion,  // Yes and No
};

enum PlatformAnswer {
    PlatformAnswerOk,
    PlatformAnswerYes,
    PlatformAnswerNo,
};

// Shows a modal box over the window (when it exists). An empty title shows
// "Error". Texts may be UTF-8 or Windows-1252. Without a display the title
// and text go to standard error and a question is answered No.
PlatformAnswer PlatformMessageBox(const char *title, const char *text, PlatformMessageBoxKind kind);

// Replaces the boxes with a handler of the caller's (null restores them).
// Tests install one so that no run ever waits for a click on a real box.
using PlatformMessageBoxHandler = PlatformAnswer (*)(const char *title, const char *text,
                                                     PlatformMessageBoxKind kind);
void PlatformSetMessageBoxHandler(PlatformMessageBoxHandler handler);

// --- For the platform layer's own use -------------------------------------------

struct SDL_Window;
// The main window's system window, or null without one. Only the OpenGL
// context code of this layer uses it.
SDL_Window *PlatformGetSdlWindow();
