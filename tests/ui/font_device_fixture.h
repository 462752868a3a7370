#pragma once

#include <gtest/gtest.h>

#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "tests/ui/font_fixture.h"
#include "ui/font.h"
#include "ui/font_textures.h"
#include "ui/glyph_renderer.h"

// The font of `fixture` (written to a file of `name`) read with the glyph
// back end, and graphics started on the device with the render shell linked
// to the screen size and to the font textures' rebuild.
inline void StartFontOnDevice(const FontFixture &fixture, const char *name, GlyphRenderer *renderer,
                              GraphicsDevice *device, int *screenWidth, int *screenHeight)
{
    RenderShellLink link{};
    link.screenWidth = screenWidth;
    link.screenHeight = screenHeight;
    link.buildFontTextures = RebuildFontTextures;
    SetRenderShellLink(link);
    SetGlyphRenderer(renderer);
    ASSERT_EQ(InitFont(WriteFixture(Serialise(fixture), name).c_str()), 1);
    ASSERT_TRUE(UseGraphicsDevice(device));
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    ASSERT_EQ(StartGraphics(), 1);
}

// Everything StartFontOnDevice started, let go.
inline void StopFontOnDevice()
{
    ReleaseFontTextures();
    StopGraphics();
    UseGraphicsDevice(nullptr);
    SetRenderShellLink(RenderShellLink{});
    FreeFont();
    SetGlyphRenderer(nullptr);
}
