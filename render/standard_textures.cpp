#include "render/standard_textures.h"

#include "render/render_device.h"
#include "render/render_link.h"
#include "render/texture_manager.h"

#include <cstdio>
#include <cstring>

int RenderTextureState = 0;

namespace {

constexpr int MaxPictureName = 32;

char BackgroundName[MaxPictureName];

// The picture itself is loaded once the texture manager exists; until then
// the menus are cleared to black without it.
void LoadBackgroundPicture()
{
}

}  // namespace

int LoadStandardTextures()
{
    // The textures themselves come with the texture manager; what exists now
    // is the bookkeeping of the render targets.
    RenderTextureState = 0;
    // The font textures come first: with a device they are built, without
    // one they are released.
    const int font = RenderShell.buildFontTextures();
    LoadBackgroundPicture();
    return font;
}

void SetBackgroundPicture(const char *name)
{
    const bool none = name == nullptr || name[0] == 0;
    if (none || std::strncmp(name, BackgroundName, sizeof(BackgroundName)) != 0) {
        BackgroundName[0] = 0;
    }
    if (none || BackgroundName[0] != 0) {
        return;
    }
    std::snprintf(BackgroundName, sizeof(BackgroundName), "%s", name);
    LoadBackgroundPicture();
}

void ResetRenderTextures()
{
    if (RenderDevice.InScene) {
        return;
    }
    // Clearing the mirror and clock targets comes with those textures.
    if (RenderTextureState == 2) {
        ReleaseShadowTextures();
    }
    RenderTextureState = 0;
    *RenderShell.textureRefreshRequest = 0;
}
