#include "platform/gl_context.h"

#include "platform/window.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstring>

namespace {

SDL_GLContext Context = nullptr;
SDL_Window *ContextWindow = nullptr;
bool LibraryLoaded = false;
char RendererName[256];

bool VideoRunning()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

// The context dies with the video layer; forget it when that stopped under it.
bool ContextUsable()
{
    if (Context != nullptr && (!VideoRunning() || PlatformGetSdlWindow() != ContextWindow)) {
        if (VideoRunning()) {
            SDL_GL_DeleteContext(Context);
        }
        Context = nullptr;
        ContextWindow = nullptr;
    }
    return Context != nullptr;
}

PlatformPixelFormat FormatFromSdl(Uint32 format)
{
    if (SDL_ISPIXELFORMAT_INDEXED(format) || SDL_ISPIXELFORMAT_FOURCC(format)) {
        return PlatformPixelOther;
    }
    switch (SDL_PIXELLAYOUT(format)) {
    case SDL_PACKEDLAYOUT_565:
        return PlatformPixelRgb565;
    case SDL_PACKEDLAYOUT_1555:
    case SDL_PACKEDLAYOUT_5551:
        return PlatformPixelRgb555;
    default:
        break;
    }
    if (SDL_BITSPERPIXEL(format) >= 24) {
        return SDL_ISPIXELFORMAT_ALPHA(format) ? PlatformPixelArgb8888 : PlatformPixelXrgb8888;
    }
    return PlatformPixelOther;
}

void CopyMode(const SDL_DisplayMode &from, PlatformDisplayMode *to)
{
    to->width = from.w;
    to->height = from.h;
    to->refreshRate = from.refresh_rate > 0 ? from.refresh_rate : 0;
    to->format = FormatFromSdl(from.format);
}

}  // namespace

// --- Library and context --------------------------------------------------------

bool PlatformLoadGl()
{
    if (!VideoRunning()) {
        LibraryLoaded = false;
        return false;
    }
    if (LibraryLoaded) {
        return true;
    }
    LibraryLoaded = SDL_GL_LoadLibrary(nullptr) == 0;
    return LibraryLoaded;
}

void PlatformUnloadGl()
{
    PlatformDestroyGlContext();
    if (LibraryLoaded && VideoRunning()) {
        SDL_GL_UnloadLibrary();
    }
    LibraryLoaded = false;
}

void PlatformSetGlAttributes(int depthBits, int stencilBits)
{
    if (!VideoRunning()) {
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits < 0 ? 0 : depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencilBits < 0 ? 0 : stencilBits);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

bool PlatformCreateGlContext()
{
    if (ContextUsable()) {
        return true;
    }
    SDL_Window *window = PlatformGetSdlWindow();
    if (window == nullptr || (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) == 0) {
        return false;
    }
    Context = SDL_GL_CreateContext(window);
    if (Context == nullptr) {
        return false;
    }
    ContextWindow = window;
    if (SDL_GL_MakeCurrent(window, Context) != 0) {
        PlatformDestroyGlContext();
        return false;
    }
    SDL_GL_SetSwapInterval(0);
    return true;
}

void PlatformDestroyGlContext()
{
    if (!ContextUsable()) {
        return;
    }
    SDL_GL_MakeCurrent(ContextWindow, nullptr);
    SDL_GL_DeleteContext(Context);
    Context = nullptr;
    ContextWindow = nullptr;
}

bool PlatformHasGlContext()
{
    return ContextUsable();
}

void PlatformSwapGlBuffers()
{
    if (ContextUsable()) {
        SDL_GL_SwapWindow(ContextWindow);
    }
}

void PlatformSetGlSwapInterval(int interval)
{
    if (ContextUsable()) {
        SDL_GL_SetSwapInterval(interval != 0 ? 1 : 0);
    }
}

void PlatformGetGlDrawableSize(int *width, int *height)
{
    int w = 0;
    int h = 0;
    if (ContextUsable()) {
        SDL_GL_GetDrawableSize(ContextWindow, &w, &h);
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
}

void PlatformGetGlVersion(int *major, int *minor)
{
    int high = 0;
    int low = 0;
    if (ContextUsable()) {
        // "major.minor[.release] [vendor text]"; glGetIntegerv(GL_MAJOR_VERSION)
        // exists only from 3.0 on.
        const char *text = reinterpret_cast<const char *>(glGetString(GL_VERSION));
        if (text == nullptr || std::sscanf(text, "%d.%d", &high, &low) != 2) {
            high = 0;
            low = 0;
        }
    }
    if (major != nullptr) {
        *major = high;
    }
    if (minor != nullptr) {
        *minor = low;
    }
}

const char *PlatformGetGlRenderer()
{
    RendererName[0] = 0;
    if (ContextUsable()) {
        const char *text = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
        if (text != nullptr) {
            std::snprintf(RendererName, sizeof(RendererName), "%s", text);
        }
    }
    return RendererName;
}

// --- Displays and their modes ----------------------------------------------------

int PlatformGetDisplayCount()
{
    if (!VideoRunning()) {
        return 0;
    }
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? count : 0;
}

const char *PlatformGetDisplayName(int display)
{
    if (!VideoRunning()) {
        return "";
    }
    const char *name = SDL_GetDisplayName(display);
    return name != nullptr ? name : "";
}

int PlatformGetDisplayModeCount(int display)
{
    if (!VideoRunning()) {
        return 0;
    }
    const int count = SDL_GetNumDisplayModes(display);
    return count > 0 ? count : 0;
}

bool PlatformGetDisplayMode(int display, int index, PlatformDisplayMode *mode)
{
    SDL_DisplayMode found{};
    if (mode == nullptr || !VideoRunning() || SDL_GetDisplayMode(display, index, &found) != 0) {
        return false;
    }
    CopyMode(found, mode);
    return true;
}

bool PlatformGetDesktopDisplayMode(int display, PlatformDisplayMode *mode)
{
    SDL_DisplayMode found{};
    if (mode == nullptr || !VideoRunning() || SDL_GetDesktopDisplayMode(display, &found) != 0) {
        return false;
    }
    CopyMode(found, mode);
    return true;
}
