#pragma once

// Starting other programs. A program name with a '/' is a path (relative to
// the current folder, the program folder); a plain name is searched on PATH.
// The program gets one further argument, the text given, when it is not
// empty.

// Starts the program and does not wait: 0, or -1 when it could not start.
// The finished children are collected later by PlatformReapChildren.
int PlatformStartProcess(const char *program, const char *argument);
// Starts the program and waits until it ends: its exit status (0..255), or
// -1 when it could not start.
int PlatformRunProcess(const char *program, const char *argument);
// Collects the started programs that have ended, without waiting, so none
// stays behind as a zombie.
void PlatformReapChildren();
