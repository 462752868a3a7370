#pragma once

// The system's requests to end the program: on Linux the interrupt (Ctrl+C)
// and terminate signals. A program without a window to close (the dedicated
// host) takes them as its window-close request, so it still shuts down in
// order and saves what it must.

// Catches the two signals from now on; the signal only sets a flag.
void PlatformCatchStopSignals();
// Puts the default handling back.
void PlatformReleaseStopSignals();
// True once for each signal that arrived since the last call.
bool PlatformTakeStopSignal();
