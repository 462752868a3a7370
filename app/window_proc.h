#pragma once

// The main window's procedure: turns the platform layer's messages into the
// program's input model of core/main_window.h (key states, held modifiers,
// Alt codes, mouse events), handles the global keys, and hands key codes,
// characters and mouse events to the current page (or, without graphics, to
// the host console). Runs on the game thread inside the main loop's pump.

struct PlatformEvent;

// Handles one message.
void MainWindowProc(const PlatformEvent &event);

// Creates the window "Kezvane" as ApplyWindowStyle places it. With console
// set (no graphics) the terminal is the console and no window is made.
// Returns 1, or 0 when the window could not be created.
int CreateMainWindow(int console);
// Windowed ("Start Windowed "): a framed window over the "Window "
// rectangle, whose size becomes ScreenWidth x ScreenHeight. Full screen: the
// display at ScreenWidth x ScreenHeight.
void ApplyWindowStyle();

// The main loop's message step: clears the one-pass wheel slots, then, unless
// the program is quitting, handles every waiting message.
void PumpWindowMessages();

// Registers the window services that core's window code calls in the
// subsystems above it. Once at start-up.
void RegisterWindowServices();
