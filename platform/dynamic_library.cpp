#include "platform/dynamic_library.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include "platform/window.h"

void *PlatformOpenLibrary(const char *path)
{
    if (path == nullptr || path[0] == '\0') {
        return nullptr;
    }
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void *PlatformLibrarySymbol(void *library, const char *name)
{
    if (library == nullptr || name == nullptr) {
        return nullptr;
    }
    return dlsym(library, name);
}

void PlatformCloseLibrary(void *library)
{
    if (library != nullptr) {
        dlclose(library);
    }
}

uintptr_t PlatformNativeWindowId()
{
    SDL_Window *window = PlatformGetSdlWindow();
    if (window == nullptr) {
        return 0;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE) {
        return 0;
    }
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) {
        return static_cast<uintptr_t>(info.info.x11.window);
    }
#endif
    return 0;
}
