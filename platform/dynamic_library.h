#pragma once

#include <cstdint>

// Libraries loaded at run time by path, and their exported symbols.

// Null when the library cannot be loaded.
void *PlatformOpenLibrary(const char *path);
// Null when the library does not export the name.
void *PlatformLibrarySymbol(void *library, const char *name);
void PlatformCloseLibrary(void *library);

// The system's id of the main window (the X11 window number, or the native
// handle elsewhere); 0 without a window.
uintptr_t PlatformNativeWindowId();
