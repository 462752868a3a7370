#include "platform/gl_device.h"

#include "platform/gl_context.h"

#include <SDL_opengl.h>

#include <cstring>

namespace {

// Enumerations newer than the 1.1 headers promise.
constexpr GLenum MaxTextureUnits = 0x84E2;          // GL_MAX_TEXTURE_UNITS (1.3)
constexpr GLenum MaxTextureMaxAnisotropy = 0x84FF;  // GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT

// True when the extension list names the extension as a whole word.
bool HasExtension(const char *name)
{
    const char *list = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    if (list == nullptr) {
        return false;
    }
    const size_t length = std::strlen(name);
    for (const char *at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == 0 || at[length] == ' ';
        if (starts && ends) {
            return true;
        }
    }
    return false;
}

bool AtLeastVersion(int major, int minor)
{
    int high = 0;
    int low = 0;
    PlatformGetGlVersion(&high, &low);
    return high > major || (high == major && low >= minor);
}

}  // namespace

bool PlatformGlGetCaps(PlatformGlCaps *caps)
{
    if (caps == nullptr || !PlatformHasGlContext()) {
        return false;
    }
    *caps = PlatformGlCaps{};
    GLint value = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
    caps->maxTextureSize = value;
    value = 1;
    if (AtLeastVersion(1, 3)) {
        glGetIntegerv(MaxTextureUnits, &value);
    }
    caps->maxTextureUnits = value > 0 ? value : 1;
    caps->maxAnisotropy = 1.0f;
    if (HasExtension("GL_EXT_texture_filter_anisotropic") || HasExtension("GL_ARB_texture_filter_anisotropic")) {
        GLfloat anisotropy = 1.0f;
        glGetFloatv(MaxTextureMaxAnisotropy, &anisotropy);
        caps->maxAnisotropy = anisotropy > 1.0f ? anisotropy : 1.0f;
    }
    caps->clampToEdge = AtLeastVersion(1, 2);
    caps->combineScale = AtLeastVersion(1, 3) || HasExtension("GL_ARB_texture_env_combine");
    caps->s3tcTextures = HasExtension("GL_EXT_texture_compression_s3tc");
    glGetError();  // a refused query leaves nothing pending for later calls
    return true;
}

void PlatformGlViewport(int x, int y, int width, int height)
{
    if (PlatformHasGlContext()) {
        glViewport(x, y, width < 0 ? 0 : width, height < 0 ? 0 : height);
    }
}

void PlatformGlClear(int x, int y, int width, int height, uint32_t argb, bool colour, bool depth,
                     bool stencil, float depthValue, int stencilValue)
{
    if (!PlatformHasGlContext() || width <= 0 || height <= 0) {
        return;
    }
    GLbitfield mask = 0;
    GLboolean colourMask[4];
    GLboolean depthMask = GL_TRUE;
    GLint stencilMask = ~0;
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilMask);
    const GLboolean scissored = glIsEnabled(GL_SCISSOR_TEST);
    GLint scissor[4];
    glGetIntegerv(GL_SCISSOR_BOX, scissor);
    if (colour) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(static_cast<float>((argb >> 16) & 255) / 255.0f, static_cast<float>((argb >> 8) & 255) / 255.0f,
                     static_cast<float>(argb & 255) / 255.0f, static_cast<float>(argb >> 24) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (depth) {
        glDepthMask(GL_TRUE);
        glClearDepth(depthValue < 0.0f ? 0.0 : (depthValue > 1.0f ? 1.0 : static_cast<double>(depthValue)));
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (stencil) {
        glStencilMask(~0u);
        glClearStencil(stencilValue);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // A clear covers the scissor box, not the viewport.
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, width, height);
    glClear(mask);
    glScissor(scissor[0], scissor[1], scissor[2], scissor[3]);
    if (!scissored) {
        glDisable(GL_SCISSOR_TEST);
    }
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    glDepthMask(depthMask);
    glStencilMask(static_cast<GLuint>(stencilMask));
}

bool PlatformGlReadPixels(int x, int y, int width, int height, uint8_t *out)
{
    if (out == nullptr || width <= 0 || height <= 0 || !PlatformHasGlContext()) {
        return false;
    }
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out);
    return glGetError() == GL_NO_ERROR;
}
