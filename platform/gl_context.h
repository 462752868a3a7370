#pragma once

// The OpenGL context of the main window and the display modes of the
// system's displays. One context exists at most; it lives on the window of
// platform/window.h and is current on the calling (the game) thread. Like the
// window layer, everything here is harmless without a started video layer:
// queries then answer zero or false and the rest does nothing.
//
// Order of use: PlatformLoadGl and PlatformSetGlAttributes before the window
// is created (the window's pixel format is chosen at its creation), then
// PlatformCreateGlContext; PlatformDestroyGlContext before the window goes.

// --- Library and context ----------------------------------------------------

// Loads the system's OpenGL library. Needs the started video layer. Returns
// false when there is none or the library cannot be loaded.
bool PlatformLoadGl();
// Destroys the context and lets the library go.
void PlatformUnloadGl();

// The depth and stencil bits wanted of windows created from now on (always
// double-buffered, at least 5 bits per colour, an OpenGL 3.3 compatibility
// context).
void PlatformSetGlAttributes(int depthBits, int stencilBits);

// Creates the context on the main window and makes it current, with buffer
// swaps not waiting for the vertical blank. True at once when it exists.
// False without a window, for a window without an OpenGL surface, or when
// the system refuses the context.
bool PlatformCreateGlContext();
void PlatformDestroyGlContext();
bool PlatformHasGlContext();

// Shows the back buffer.
void PlatformSwapGlBuffers();
// 0: swaps do not wait; 1: a swap waits for the vertical blank.
void PlatformSetGlSwapInterval(int interval);

// Size in pixels of the window's drawing surface; 0 x 0 without a context.
void PlatformGetGlDrawableSize(int *width, int *height);

// The context's version (major, minor) and its renderer's name. Without a
// context the version is 0.0 and the name empty.
void PlatformGetGlVersion(int *major, int *minor);
const char *PlatformGetGlRenderer();

// --- Displays and their modes -------------------------------------------------

// A display mode's pixel layout, as far as the renderer cares.
enum PlatformPixelFormat {
    PlatformPixelOther,     // palettised or unusual layouts
    PlatformPixelRgb565,    // 16-bit, 5:6:5
    PlatformPixelRgb555,    // 15 bits in 16, 5:5:5
    PlatformPixelXrgb8888,  // 24 bits of colour in 32 (or packed in 24)
    PlatformPixelArgb8888,  // 32-bit with alpha
};

struct PlatformDisplayMode {
    int width;
    int height;
    int refreshRate;  // Hz; 0 when the system does not say
    PlatformPixelFormat format;
};

int PlatformGetDisplayCount();
// The display's name, or "" for a display that does not exist.
const char *PlatformGetDisplayName(int display);
// The modes the display offers, in the system's order.
int PlatformGetDisplayModeCount(int display);
bool PlatformGetDisplayMode(int display, int index, PlatformDisplayMode *mode);
// The mode of the desktop on the display.
bool PlatformGetDesktopDisplayMode(int display, PlatformDisplayMode *mode);
