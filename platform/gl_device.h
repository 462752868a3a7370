#pragma once

#include <cstdint>

// The OpenGL calls of the renderer, each on the current context of
// platform/gl_context.h. Without a context every call does nothing (queries
// answer false). Rectangles are in OpenGL's framebuffer pixels: x to the
// right, y up from the bottom row.

// What the context can do, as far as the renderer asks.
struct PlatformGlCaps {
    int maxTextureSize;     // largest texture side
    int maxTextureUnits;    // textures usable at once by the fixed pipeline
    float maxAnisotropy;    // 1 without anisotropic filtering
    bool clampToEdge;       // texture coordinates clamped to the edge texels
    bool combineScale;      // texture stages that scale their result by 2 (modulate 2x)
    bool s3tcTextures;      // DXT1, DXT3 and DXT5 compressed textures
};
bool PlatformGlGetCaps(PlatformGlCaps *caps);

void PlatformGlViewport(int x, int y, int width, int height);

// Clears the rectangle of the colour buffer (argb: alpha in the top byte,
// then red, green, blue), the depth buffer (to depth, 0..1) and the stencil
// buffer, each when asked. The write masks in force do not limit the clear.
void PlatformGlClear(int x, int y, int width, int height, uint32_t argb, bool colour, bool depth,
                     bool stencil, float depthValue, int stencilValue);

// Reads a rectangle of the back buffer as 4 bytes per pixel (red, green,
// blue, alpha), rows from the bottom up, into out (width * height * 4
// bytes). Returns false without a context or for an empty rectangle.
bool PlatformGlReadPixels(int x, int y, int width, int height, uint8_t *out);
