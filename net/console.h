#pragma once

// The text console window of a dedicated host without graphics: its title,
// status, connections, typed command line and message lines.

// Starts console mode: the typed line and the console input (start-up,
// without graphics).
void StartConsole();
// Once per main-loop pass in console mode: runs a typed line and repaints the
// window after a burst of changes.
void UpdateConsole();
// Draws the console window (on a paint message).
void PaintConsole();
// A key or character typed in the console: Enter runs the line, Esc clears
// it, other keys edit it.
void ConsoleOnKey(int key);
