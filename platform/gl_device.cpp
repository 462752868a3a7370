#include "platform/gl_device.h"

#include "platform/device_slots.h"
#include "platform/gl_context.h"
#include "platform/vertex_program.h"
#include "platform/window.h"

#define GL_GLEXT_PROTOTYPES 1
#include <SDL_opengl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Deletes the slot's GL object and empties the slot. Without a context the
// object went with the context that held it.
template <typename Slot>
void DeleteSlot(Slot *slot, void (*deleteObjects)(GLsizei, const GLuint *))
{
    if (PlatformHasGlContext()) {
        deleteObjects(1, &slot->id);
    }
    *slot = Slot{};
}

constexpr int RequiredGlMajor = 3;
constexpr int RequiredGlMinor = 3;
constexpr int UsedStages = 2;
constexpr uint64_t FenceWaitNs = 1000000000ull;

// Attribute slots of the generated programs.
constexpr GLuint AttribPosition = 0;
constexpr GLuint AttribNormal = 1;
constexpr GLuint AttribDiffuse = 2;
constexpr GLuint AttribSpecular = 3;
constexpr GLuint AttribTex0 = 4;
constexpr GLuint AttribTex1 = 5;

bool HasExtension(const char *name)
{
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char *ext = reinterpret_cast<const char *>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (ext != nullptr && std::strcmp(ext, name) == 0) {
            return true;
        }
    }
    return false;
}

uint32_t FormatFromPlatform(PlatformPixelFormat format)
{
    switch (format) {
    case PlatformPixelRgb565:
        return RenderFormatR5G6B5;
    case PlatformPixelRgb555:
        return RenderFormatX1R5G5B5;
    case PlatformPixelXrgb8888:
        return RenderFormatX8R8G8B8;
    case PlatformPixelArgb8888:
        return RenderFormatA8R8G8B8;
    default:
        return RenderFormatUnknown;
    }
}

DeviceDisplayMode ModeFromPlatform(const PlatformDisplayMode &mode)
{
    return {static_cast<uint32_t>(std::max(mode.width, 0)), static_cast<uint32_t>(std::max(mode.height, 0)),
            static_cast<uint32_t>(std::max(mode.refreshRate, 0)), FormatFromPlatform(mode.format)};
}

// How a texture format is kept and uploaded.
struct GlFormat {
    GLenum internal;
    GLenum format;
    GLenum type;
    bool compressed;
    bool opaque;     // alpha reads as 1
    bool luminance;  // red repeated into green and blue
};

bool GlFormatOf(uint32_t format, GlFormat *out)
{
    switch (format) {
    case RenderFormatA8R8G8B8:
        *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false, false, false};
        return true;
    case RenderFormatX8R8G8B8:
        *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false, true, false};
        return true;
    case RenderFormatR5G6B5:
        *out = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false, true, false};
        return true;
    case RenderFormatX1R5G5B5:
        *out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false, true, false};
        return true;
    case RenderFormatA1R5G5B5:
        *out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false, false, false};
        return true;
    case RenderFormatA4R4G4B4:
        *out = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false, false, false};
        return true;
    case RenderFormatL8:
        *out = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, false, true, true};
        return true;
    case RenderFormatDxt1:
        *out = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true, false, false};
        return true;
    case RenderFormatDxt3:
        *out = {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true, false, false};
        return true;
    default:
        return false;
    }
}

GLenum BlendFactor(uint32_t value)
{
    switch (value) {
    case BlendZero:
        return GL_ZERO;
    case BlendOne:
        return GL_ONE;
    case BlendSrcColor:
        return GL_SRC_COLOR;
    case BlendInvSrcColor:
        return GL_ONE_MINUS_SRC_COLOR;
    case BlendSrcAlpha:
        return GL_SRC_ALPHA;
    case BlendInvSrcAlpha:
        return GL_ONE_MINUS_SRC_ALPHA;
    case BlendDestAlpha:
        return GL_DST_ALPHA;
    case BlendInvDestAlpha:
        return GL_ONE_MINUS_DST_ALPHA;
    case BlendDestColor:
        return GL_DST_COLOR;
    case BlendInvDestColor:
        return GL_ONE_MINUS_DST_COLOR;
    default:
        return GL_ONE;
    }
}

GLenum CompareFunc(uint32_t value)
{
    switch (value) {
    case CmpNever:
        return GL_NEVER;
    case CmpLess:
        return GL_LESS;
    case CmpEqual:
        return GL_EQUAL;
    case CmpLessEqual:
        return GL_LEQUAL;
    case CmpGreater:
        return GL_GREATER;
    case CmpNotEqual:
        return GL_NOTEQUAL;
    case CmpGreaterEqual:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLint AddressMode(uint32_t value)
{
    switch (value) {
    case TaddressMirror:
        return GL_MIRRORED_REPEAT;
    case TaddressClamp:
        return GL_CLAMP_TO_EDGE;
    case TaddressBorder:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

// --- Generated programs ----------------------------------------------------------------

// What a program depends on.
struct ProgramKey {
    uint32_t fvf;
    uint32_t stage[UsedStages][7];  // colour op, args 1 and 2, alpha op, args 1 and 2, coordinate set
    uint32_t textured;              // bit per stage
    uint32_t specular;
    uint32_t alphaFunc;             // 0: no alpha test
    uint32_t fog;
    uint32_t fogFactor;             // 1: the vertex program hands over the fog factor itself
    bool operator<(const ProgramKey &other) const { return std::memcmp(this, &other, sizeof(*this)) < 0; }
};

struct Program {
    GLuint id = 0;
    GLint world = -1;
    GLint view = -1;
    GLint projection = -1;
    GLint viewport = -1;
    GLint alphaRef = -1;
    GLint fogRange = -1;
    GLint fogColour = -1;
    GLint factor = -1;
    GLint tex[UsedStages] = {-1, -1};
    GLint constants = -1;           // the vertex program's register array
    float sent[96][4] = {};         // constants as last uploaded to this program
    bool sentAny = false;
};

// A vertex program of the render layer and its GLSL text.
struct VertexShaderRecord {
    bool alive = false;
    uint32_t layoutFvf = 0;  // the vertex layout its declaration names
    std::string source;
};

// The vertex layout of a declaration (the FVF whose fields it lists).
uint32_t DeclarationFvf(const uint32_t *declaration)
{
    uint32_t fvf = 0;
    uint32_t sets = 0;
    for (int i = 0; i < 32 && declaration[i] != 0xFFFFFFFFu; ++i) {
        const uint32_t token = declaration[i];
        switch (token) {
        case 0x40020000u:
            fvf |= FvfXyz;
            break;
        case 0x40030000u:
            fvf |= FvfXyzRhw;
            break;
        case 0x40020003u:
            fvf |= FvfNormal;
            break;
        case 0x40040005u:
            fvf |= FvfDiffuse;
            break;
        case 0x40040006u:
            fvf |= FvfSpecular;
            break;
        default:
            if (token >= 0x40010008u && token <= 0x4001000Bu) {
                ++sets;
            }
            break;
        }
    }
    return fvf | (sets << FvfTexCountShift);
}

std::string SourceText(uint32_t word)
{
    static const char components[] = "xyzw";
    std::string name;
    const uint32_t index = VpRegIndex(word);
    switch (VpRegFile(word)) {
    case VpTemp:
        name = "r" + std::to_string(index);
        break;
    case VpInput:
        name = index == 0 ? "aPos" : index == 3 ? "aNormal" : index == 5 ? "aDiffuse" : index == 6 ? "aSpecular"
                                                                                                  : "aTex0";
        break;
    default:
        name = "uC[" + std::to_string(index) + "]";
        break;
    }
    std::string swizzle = ".";
    for (int c = 0; c < 4; ++c) {
        swizzle += components[VpRegSwizzle(word, c)];
    }
    return std::string(VpRegNegated(word) ? "(-" : "(") + name + swizzle + ")";
}

std::string DestName(uint32_t word)
{
    const uint32_t index = VpRegIndex(word);
    switch (VpRegFile(word)) {
    case VpTemp:
        return "r" + std::to_string(index);
    case VpPosition:
        return "oPos";
    case VpFog:
        return "oFog";
    case VpColour:
        return "oD" + std::to_string(index);
    default:
        return "oT" + std::to_string(index);
    }
}

// The GLSL of an instruction list: registers as vec4 variables, constants
// as a uniform array, the outputs clamped and handed to the stage program.
std::string TranslateVertexProgram(const uint32_t *code)
{
    std::string s = "#version 330 core\n";
    s += "layout(location = 0) in vec4 aPos;\nlayout(location = 1) in vec4 aNormal;\n";
    s += "layout(location = 2) in vec4 aDiffuse;\nlayout(location = 3) in vec4 aSpecular;\n";
    s += "layout(location = 4) in vec4 aTex0;\n";
    s += "uniform vec4 uC[96];\n";
    s += "out vec4 vDiffuse;\nout vec4 vSpecular;\nout vec2 vTex0;\nout vec2 vTex1;\nout float vEyeDepth;\n";
    s += "float rsqOf(float x) { float a = abs(x); return a < 1e-36 ? 1e18 : inversesqrt(a); }\n";
    s += "void main() {\n";
    for (int r = 0; r < VertexProgramTemps; ++r) {
        s += "  vec4 r" + std::to_string(r) + " = vec4(0.0);\n";
    }
    s += "  vec4 oPos = vec4(0.0, 0.0, 0.0, 1.0);\n  vec4 oD0 = vec4(1.0);\n  vec4 oD1 = vec4(0.0);\n";
    s += "  vec4 oT0 = vec4(0.0, 0.0, 0.0, 1.0);\n  vec4 oT1 = vec4(0.0, 0.0, 0.0, 1.0);\n  vec4 oFog = vec4(1.0);\n";
    static const char components[] = "xyzw";
    for (int at = 1; code[at] != VertexProgramEnd;) {
        const uint32_t op = code[at];
        const int sources = VertexProgramSourceCount(op);
        if (sources == 0) {
            break;
        }
        const uint32_t dest = code[at + 1];
        const std::string a = SourceText(code[at + 2]);
        const std::string b = sources > 1 ? SourceText(code[at + 3]) : "";
        const std::string c = sources > 2 ? SourceText(code[at + 4]) : "";
        std::string value;
        switch (op) {
        case VpMov:
            value = a;
            break;
        case VpAdd:
            value = a + " + " + b;
            break;
        case VpSub:
            value = a + " - " + b;
            break;
        case VpMul:
            value = a + " * " + b;
            break;
        case VpMad:
            value = a + " * " + b + " + " + c;
            break;
        case VpMin:
            value = "min(" + a + ", " + b + ")";
            break;
        case VpMax:
            value = "max(" + a + ", " + b + ")";
            break;
        case VpRsq:
            value = "vec4(rsqOf(" + a + ".x))";
            break;
        case VpDp3:
            value = "vec4(dot(" + a + ".xyz, " + b + ".xyz))";
            break;
        case VpM4x4: {
            value = "vec4(";
            const uint32_t matrix = code[at + 3];
            for (int row = 0; row < 4; ++row) {
                const uint32_t reg = (matrix & 0xF000FFFFu) | ((VpRegIndex(matrix) + static_cast<uint32_t>(row)) << 16);
                value += (row ? ", dot(" : "dot(") + a + ", " + SourceText(reg) + ")";
            }
            value += ")";
            break;
        }
        default:
            break;
        }
        std::string mask;
        for (int comp = 0; comp < 4; ++comp) {
            if ((VpRegMask(dest) >> comp) & 1u) {
                mask += components[comp];
            }
        }
        s += "  " + DestName(dest) + "." + mask + " = (" + value + ")." + mask + ";\n";
        at += 2 + sources;
    }
    s += "  gl_Position = oPos;\n  vDiffuse = clamp(oD0, 0.0, 1.0);\n  vSpecular = clamp(oD1, 0.0, 1.0);\n";
    s += "  vTex0 = oT0.xy;\n  vTex1 = oT1.xy;\n  vEyeDepth = clamp(oFog.x, 0.0, 1.0);\n}\n";
    return s;
}

std::string ArgText(uint32_t arg, int stage)
{
    switch (arg & 0xF) {
    case TaDiffuse:
        return "vDiffuse";
    case TaCurrent:
        return "cur";
    case TaTexture:
        return "t" + std::to_string(stage);
    case TaTFactor:
        return "uFactor";
    case TaSpecular:
        return "vSpecular";
    default:
        return "cur";
    }
}

std::string OpText(uint32_t op, const std::string &a1, const std::string &a2, const char *swizzle)
{
    const std::string x = "(" + a1 + ")" + swizzle;
    const std::string y = "(" + a2 + ")" + swizzle;
    switch (op) {
    case TopSelectArg1:
        return x;
    case TopSelectArg2:
        return y;
    case TopModulate:
        return x + " * " + y;
    case TopModulate2x:
        return "min(" + x + " * " + y + " * 2.0, 1.0)";
    case TopModulate4x:
        return "min(" + x + " * " + y + " * 4.0, 1.0)";
    case TopAdd:
        return "min(" + x + " + " + y + ", 1.0)";
    default:
        return std::string("cur") + swizzle;
    }
}

std::string VertexSource(const ProgramKey &key)
{
    const bool pretransformed = (key.fvf & FvfXyzRhw) != 0;
    std::string s = "#version 330 core\n";
    s += "layout(location = 0) in vec4 aPos;\n";
    s += "layout(location = 2) in vec4 aDiffuse;\n";
    s += "layout(location = 3) in vec4 aSpecular;\n";
    s += "layout(location = 4) in vec2 aTex0;\n";
    s += "layout(location = 5) in vec2 aTex1;\n";
    s += "uniform mat4 uWorld;\nuniform mat4 uView;\nuniform mat4 uProjection;\nuniform vec4 uViewport;\n";
    s += "out vec4 vDiffuse;\nout vec4 vSpecular;\nout vec2 vTex0;\nout vec2 vTex1;\nout float vEyeDepth;\n";
    s += "void main() {\n";
    s += "  vDiffuse = aDiffuse;\n  vSpecular = aSpecular;\n  vTex0 = aTex0;\n  vTex1 = aTex1;\n";
    if (pretransformed) {
        // Pixels with centres on integers; rows from the top.
        s += "  float w = aPos.w != 0.0 ? 1.0 / aPos.w : 1.0;\n";
        s += "  float x = (aPos.x + 0.5 - uViewport.x) / uViewport.z * 2.0 - 1.0;\n";
        s += "  float y = 1.0 - (aPos.y + 0.5 - uViewport.y) / uViewport.w * 2.0;\n";
        s += "  gl_Position = vec4(x * w, y * w, aPos.z * w, w);\n";
        s += "  vEyeDepth = 0.0;\n";
    } else {
        // Row vectors: p x World x View x Projection.
        s += "  vec4 eye = uView * (uWorld * vec4(aPos.xyz, 1.0));\n";
        s += "  vEyeDepth = eye.z;\n";
        s += "  gl_Position = uProjection * eye;\n";
    }
    s += "}\n";
    return s;
}

std::string FragmentSource(const ProgramKey &key)
{
    std::string s = "#version 330 core\n";
    s += "in vec4 vDiffuse;\nin vec4 vSpecular;\nin vec2 vTex0;\nin vec2 vTex1;\nin float vEyeDepth;\n";
    s += "uniform sampler2D uTex0;\nuniform sampler2D uTex1;\nuniform float uAlphaRef;\n";
    s += "uniform vec2 uFogRange;\nuniform vec3 uFogColour;\nuniform vec4 uFactor;\n";
    s += "out vec4 fragColour;\n";
    s += "void main() {\n  vec4 cur = vDiffuse;\n";
    for (int stage = 0; stage < UsedStages; ++stage) {
        const uint32_t *st = key.stage[stage];
        if (st[0] == TopDisable) {
            break;
        }
        const std::string t = "t" + std::to_string(stage);
        const std::string coords = st[6] == 1 ? "vTex1" : "vTex0";
        if (key.textured & (1u << stage)) {
            s += "  vec4 " + t + " = texture(uTex" + std::to_string(stage) + ", " + coords + ");\n";
        } else {
            s += "  vec4 " + t + " = vec4(1.0);\n";
        }
        s += "  vec3 c" + std::to_string(stage) + " = " +
             OpText(st[0], ArgText(st[1], stage), ArgText(st[2], stage), ".rgb") + ";\n";
        if (st[3] != TopDisable) {
            s += "  float a" + std::to_string(stage) + " = " +
                 OpText(st[3], ArgText(st[4], stage), ArgText(st[5], stage), ".a") + ";\n";
        } else {
            s += "  float a" + std::to_string(stage) + " = cur.a;\n";
        }
        s += "  cur = vec4(c" + std::to_string(stage) + ", a" + std::to_string(stage) + ");\n";
    }
    if (key.specular) {
        s += "  cur.rgb = min(cur.rgb + vSpecular.rgb, 1.0);\n";
    }
    if (key.alphaFunc != 0) {
        s += "  float alpha = floor(cur.a * 255.0 + 0.5);\n";
        const char *passes = "true";
        switch (key.alphaFunc) {
        case CmpNever:
            passes = "false";
            break;
        case CmpLess:
            passes = "alpha < uAlphaRef";
            break;
        case CmpEqual:
            passes = "alpha == uAlphaRef";
            break;
        case CmpLessEqual:
            passes = "alpha <= uAlphaRef";
            break;
        case CmpGreater:
            passes = "alpha > uAlphaRef";
            break;
        case CmpNotEqual:
            passes = "alpha != uAlphaRef";
            break;
        case CmpGreaterEqual:
            passes = "alpha >= uAlphaRef";
            break;
        default:
            break;
        }
        s += std::string("  if (!(") + passes + ")) discard;\n";
    }
    if (key.fog && key.fogFactor) {
        s += "  float f = vEyeDepth;\n";
        s += "  cur.rgb = mix(uFogColour, cur.rgb, f);\n";
    } else if (key.fog) {
        s += "  float f = clamp((uFogRange.y - vEyeDepth) / (uFogRange.y - uFogRange.x), 0.0, 1.0);\n";
        s += "  cur.rgb = mix(uFogColour, cur.rgb, f);\n";
    }
    s += "  fragColour = cur;\n}\n";
    return s;
}

GLuint CompileShader(GLenum kind, const std::string &source)
{
    const GLuint shader = glCreateShader(kind);
    const char *text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
        std::fprintf(stderr, "shader: %s\n%s\n", log, text);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// --- The device -------------------------------------------------------------------------

std::vector<DeviceDisplayMode> DisplayModes(int adapter);

class GlDevice final : public GraphicsDevice {
public:
    bool Start() override;
    void Stop() override;
    int AdapterCount() override;
    const char *AdapterDescription(int adapter) override;
    bool DesktopMode(int adapter, DeviceDisplayMode *mode) override;
    int ModeCount(int adapter) override;
    bool Mode(int adapter, int index, DeviceDisplayMode *mode) override;
    bool CheckDisplayFormat(int adapter, uint32_t format) override;
    bool CheckDepthFormat(int adapter, uint32_t displayFormat, uint32_t depthFormat) override;
    bool CheckMultiSample(int adapter, uint32_t format, int windowed, int multiSample) override;
    bool Caps(int adapter, DeviceCapsRecord *caps) override;
    uint32_t Create(int adapter, const DevicePresent &present, uint32_t behaviour) override;
    uint32_t Reset(const DevicePresent &present) override;
    uint32_t TestCooperativeLevel() override;
    void Release() override;
    bool Exists() override;
    bool ClientSize(int *width, int *height) override;
    const char *RendererName() override;
    uint32_t BeginScene() override;
    uint32_t EndScene() override;
    uint32_t Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) override;
    uint32_t Present() override;
    uint32_t SetViewport(const DeviceViewport &viewport) override;
    uint32_t BackBufferSurface() override;
    uint32_t DepthStencilSurface() override;
    uint32_t TextureSurface(uint32_t texture, int level) override;
    bool SurfaceSize(uint32_t surface, int *width, int *height) override;
    uint32_t SetRenderTarget(uint32_t surface, uint32_t depthSurface) override;
    uint32_t CreateDepthSurface(int width, int height, uint32_t format, uint32_t *surface) override;
    uint32_t CreateLockableTarget(int width, int height, uint32_t format, uint32_t *surface) override;
    uint32_t LockSurface(uint32_t surface, DeviceLockedRect *locked, uint32_t flags) override;
    uint32_t UnlockSurface(uint32_t surface) override;
    uint32_t CopyRect(uint32_t from, const DeviceRect &rect, uint32_t to, int x, int y) override;
    void ReleaseSurface(uint32_t surface) override;
    uint32_t ReadBackBuffer(uint8_t *out, int width, int height) override;
    uint32_t CreateTexture(int width, int height, int levels, uint32_t usage, uint32_t format, uint32_t pool,
                           uint32_t *texture) override;
    int TextureLevels(uint32_t texture) override;
    bool TextureLevelSize(uint32_t texture, int level, int *width, int *height) override;
    uint32_t LockTexture(uint32_t texture, int level, const DeviceRect *rect, uint32_t flags,
                         DeviceLockedRect *locked) override;
    uint32_t UnlockTexture(uint32_t texture, int level) override;
    uint32_t SetTexture(int stage, uint32_t texture) override;
    void ReleaseTexture(uint32_t texture) override;
    uint32_t SetRenderState(uint32_t state, uint32_t value) override;
    uint32_t GetRenderState(uint32_t state, uint32_t *value) override;
    uint32_t SetTextureStageState(int stage, uint32_t type, uint32_t value) override;
    uint32_t GetTextureStageState(int stage, uint32_t type, uint32_t *value) override;
    uint32_t SetTransform(uint32_t kind, const float *matrix) override;
    uint32_t CreateVertexBuffer(int bytes, uint32_t usage, uint32_t fvf, uint32_t pool, uint32_t *buffer) override;
    uint32_t CreateIndexBuffer(int bytes, uint32_t usage, uint32_t format, uint32_t pool, uint32_t *buffer) override;
    uint32_t LockBuffer(uint32_t buffer, int offset, int size, uint32_t flags, void **data) override;
    uint32_t UnlockBuffer(uint32_t buffer) override;
    void ReleaseBuffer(uint32_t buffer) override;
    uint32_t SetStreamSource(uint32_t buffer, int stride) override;
    uint32_t SetIndices(uint32_t buffer, int baseVertex) override;
    uint32_t CreateVertexShader(const uint32_t *declaration, const uint32_t *code, uint32_t *handle) override;
    uint32_t DeleteVertexShader(uint32_t handle) override;
    uint32_t SetVertexShader(uint32_t handleOrFvf) override;
    uint32_t SetVertexShaderConstant(int firstRegister, const float *values, int count) override;
    uint32_t DrawIndexedTriangles(int minIndex, int vertexCount, int startIndex, int triangleCount) override;

    uint32_t forcedLevel = DeviceOk;

private:
    struct Texture {
        bool alive = false;
        GLuint id = 0;
        int width = 0;
        int height = 0;
        int levels = 0;
        uint32_t format = 0;
        uint32_t usage = 0;
        std::vector<std::vector<uint8_t>> copies;  // a CPU copy per level, made at the first lock
    };
    enum SurfaceKind { SurfaceBack, SurfaceMainDepth, SurfaceTexture, SurfaceDepth, SurfaceLockable };
    struct Surface {
        bool alive = false;
        SurfaceKind kind = SurfaceBack;
        uint32_t texture = 0;
        int level = 0;
        int width = 0;
        int height = 0;
        GLuint renderbuffer = 0;  // depth surfaces
        GLuint colour = 0;        // lockable targets: their texture
        GLsync fence = nullptr;   // lockable targets: set when last rendered
        std::vector<uint8_t> pixels;
    };
    struct Buffer {
        bool alive = false;
        bool index = false;
        uint32_t format = 0;
        GLuint id = 0;
        std::vector<uint8_t> copy;
        int lockOffset = 0;
        int lockSize = 0;
        uint32_t lockFlags = 0;
    };

    bool MakeBackBuffer();
    void FreeBackBuffer();
    void ResolveBackBuffer();
    void ApplyInitialState();
    void ApplyPipelineState();
    void ApplySampler(int stage);
    Program *ProgramFor(const ProgramKey &key);
    void AttachTarget(GLuint fbo, const Surface &surface);
    void FenceTarget();
    Texture *FindTexture(uint32_t texture);
    Surface *FindSurface(uint32_t surface);
    Buffer *FindBuffer(uint32_t buffer);
    uint32_t NewSurface(const Surface &surface);
    void FreeAll();

    bool exists_ = false;
    DevicePresent present_{};
    int samples_ = 0;
    GLuint vao_ = 0;
    GLuint backFbo_ = 0;
    GLuint backColour_ = 0;
    GLuint backDepth_ = 0;
    GLuint resolveFbo_ = 0;
    GLuint resolveColour_ = 0;
    GLuint targetFbo_ = 0;
    GLuint copyFbo_[2] = {};
    GLuint samplers_[DeviceStageCount] = {};
    bool samplerDirty_[DeviceStageCount] = {};
    bool pipelineDirty_ = true;
    uint32_t target_ = 0;  // surface drawn into; 0 the back buffer
    DeviceViewport viewport_{};
    uint32_t renderStates_[RenderStateCount] = {};
    uint32_t stageStates_[DeviceStageCount][StageStateCount] = {};
    float transforms_[3][16] = {};
    float constants_[96][4] = {};
    uint32_t bound_[DeviceStageCount] = {};
    uint32_t fvf_ = 0;
    uint32_t stream_ = 0;
    int stride_ = 0;
    uint32_t indices_ = 0;
    int baseVertex_ = 0;
    std::vector<Texture> textures_ = std::vector<Texture>(1);
    std::vector<Surface> surfaces_ = std::vector<Surface>(1);
    std::vector<Buffer> buffers_ = std::vector<Buffer>(1);
    std::map<ProgramKey, Program> programs_;
    std::vector<VertexShaderRecord> shaders_ = std::vector<VertexShaderRecord>(1);
    void DeleteProgramsOf(uint32_t handle);
    char renderer_[256] = {};
    bool s3tc_ = false;
    float maxAnisotropy_ = 1.0f;
};

GlDevice TheDevice;

// --- Start and adapters ---------------------------------------------------------------------

bool GlDevice::Start()
{
    if (!PlatformStartVideo() || !PlatformLoadGl()) {
        return false;
    }
    // Every frame is drawn offscreen; the window needs no depth of its own.
    PlatformSetGlAttributes(0, 0);
    return true;
}

void GlDevice::Stop()
{
    Release();
    PlatformUnloadGl();
}

int GlDevice::AdapterCount()
{
    return PlatformGetDisplayCount();
}

const char *GlDevice::AdapterDescription(int adapter)
{
    return PlatformGetDisplayName(adapter);
}

bool GlDevice::DesktopMode(int adapter, DeviceDisplayMode *mode)
{
    PlatformDisplayMode found{};
    if (!PlatformGetDesktopDisplayMode(adapter, &found)) {
        return false;
    }
    *mode = ModeFromPlatform(found);
    return true;
}

// The display's modes with a size. Right after the video layer starts the
// system may list a single empty mode; the desktop's mode stands in then.
std::vector<DeviceDisplayMode> DisplayModes(int adapter)
{
    std::vector<DeviceDisplayMode> modes;
    const int count = PlatformGetDisplayModeCount(adapter);
    for (int i = 0; i < count; ++i) {
        PlatformDisplayMode found{};
        if (PlatformGetDisplayMode(adapter, i, &found) && found.width > 0 && found.height > 0) {
            modes.push_back(ModeFromPlatform(found));
        }
    }
    PlatformDisplayMode desktop{};
    if (modes.empty() && PlatformGetDesktopDisplayMode(adapter, &desktop) && desktop.width > 0 &&
        desktop.height > 0) {
        modes.push_back(ModeFromPlatform(desktop));
    }
    return modes;
}

int GlDevice::ModeCount(int adapter)
{
    return static_cast<int>(DisplayModes(adapter).size());
}

bool GlDevice::Mode(int adapter, int index, DeviceDisplayMode *mode)
{
    const std::vector<DeviceDisplayMode> modes = DisplayModes(adapter);
    if (index < 0 || index >= static_cast<int>(modes.size())) {
        return false;
    }
    *mode = modes[static_cast<size_t>(index)];
    return true;
}

bool GlDevice::CheckDisplayFormat(int adapter, uint32_t format)
{
    return adapter >= 0 && adapter < AdapterCount() &&
           (format == RenderFormatA8R8G8B8 || format == RenderFormatX8R8G8B8 || format == RenderFormatR5G6B5 ||
            format == RenderFormatX1R5G5B5);
}

// The offscreen back buffer has 16 or 24 bits of depth, 24 with 8 of
// stencil; 15-bit, 4-bit-stencil and 32-bit depth are not offered.
bool GlDevice::CheckDepthFormat(int adapter, uint32_t displayFormat, uint32_t depthFormat)
{
    return CheckDisplayFormat(adapter, displayFormat) &&
           (depthFormat == RenderFormatD16 || depthFormat == RenderFormatD24X8 || depthFormat == RenderFormatD24S8);
}

bool GlDevice::CheckMultiSample(int adapter, uint32_t format, int, int multiSample)
{
    if (!CheckDisplayFormat(adapter, format) || multiSample < 0 || multiSample > MaxMultiSample) {
        return false;
    }
    if (multiSample <= 1 || !PlatformHasGlContext()) {
        return true;
    }
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    return multiSample <= most;
}

bool GlDevice::Caps(int adapter, DeviceCapsRecord *caps)
{
    if (adapter < 0 || adapter >= AdapterCount() || caps == nullptr) {
        return false;
    }
    *caps = DeviceCapsRecord{};
    caps->canRenderWindowed = 1;
    caps->hardwareTransform = 1;
    caps->vertexShaderVersion = 0x101;
    caps->clampAddressing = 1;
    caps->borderAddressing = 1;
    caps->destColourSourceBlend = 1;
    caps->sourceColourDestBlend = 1;
    caps->modulate2x = 1;
    caps->maxSimultaneousTextures = UsedStages;
    caps->dynamicTextures = 1;
    caps->maxTextureWidth = 4096;
    caps->maxTextureHeight = 4096;
    caps->maxAnisotropy = 1;
    if (exists_) {
        GLint side = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
        caps->maxTextureWidth = side;
        caps->maxTextureHeight = side;
        caps->maxAnisotropy = std::max(1, static_cast<int>(maxAnisotropy_));
        caps->dxt1Textures = s3tc_ ? 1 : 0;
        caps->dxt3Textures = s3tc_ ? 1 : 0;
    }
    return true;
}

// --- Life ---------------------------------------------------------------------------------------

uint32_t GlDevice::Create(int adapter, const DevicePresent &present, uint32_t)
{
    if (exists_) {
        return DeviceInvalidCall;
    }
    if (adapter < 0 || adapter >= AdapterCount() || !PlatformCreateGlContext()) {
        return DeviceInvalidCall;
    }
    int major = 0;
    int minor = 0;
    PlatformGetGlVersion(&major, &minor);
    const bool version = major > RequiredGlMajor || (major == RequiredGlMajor && minor >= RequiredGlMinor);
    if (!version || !(major > 4 || (major == 4 && minor >= 5) || HasExtension("GL_ARB_clip_control"))) {
        PlatformDestroyGlContext();
        return DeviceInvalidCall;
    }
    std::snprintf(renderer_, sizeof(renderer_), "%s", PlatformGetGlRenderer());
    s3tc_ = HasExtension("GL_EXT_texture_compression_s3tc");
    maxAnisotropy_ = 1.0f;
    if (HasExtension("GL_EXT_texture_filter_anisotropic") || HasExtension("GL_ARB_texture_filter_anisotropic")) {
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy_);
    }
    exists_ = true;
    present_ = present;
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenFramebuffers(1, &targetFbo_);
    glGenFramebuffers(2, copyFbo_);
    glGenSamplers(DeviceStageCount, samplers_);
    for (int stage = 0; stage < DeviceStageCount; ++stage) {
        glBindSampler(static_cast<GLuint>(stage), samplers_[stage]);
    }
    if (!MakeBackBuffer()) {
        Release();
        return DeviceOutOfMemory;
    }
    ApplyInitialState();
    return DeviceOk;
}

void GlDevice::ApplyInitialState()
{
    for (int s = 0; s < RenderStateCount; ++s) {
        renderStates_[s] = DeviceDefaultRenderState(s);
    }
    for (int stage = 0; stage < DeviceStageCount; ++stage) {
        for (int t = 0; t < StageStateCount; ++t) {
            stageStates_[stage][t] = DeviceDefaultStageState(stage, t);
        }
        samplerDirty_[stage] = true;
        bound_[stage] = 0;
    }
    for (auto &m : transforms_) {
        std::fill(std::begin(m), std::end(m), 0.0f);
        m[0] = m[5] = m[10] = m[15] = 1.0f;
    }
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glDisable(GL_DITHER);
    pipelineDirty_ = true;
    ApplyPipelineState();
    PlatformSetGlSwapInterval(!present_.windowed && present_.interval == PresentIntervalOne ? 1 : 0);
}

bool GlDevice::MakeBackBuffer()
{
    const int width = std::max(present_.width, 1);
    const int height = std::max(present_.height, 1);
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    samples_ = present_.multiSample > 1 ? std::min(present_.multiSample, static_cast<int>(most)) : 0;
    const GLenum depthFormat = present_.depthFormat == RenderFormatD16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH24_STENCIL8;
    glGenFramebuffers(1, &backFbo_);
    glGenRenderbuffers(1, &backColour_);
    glGenRenderbuffers(1, &backDepth_);
    glBindRenderbuffer(GL_RENDERBUFFER, backColour_);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, backDepth_);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, depthFormat, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, backFbo_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, backColour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                              depthFormat == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, backDepth_);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (samples_ > 0) {
        glGenFramebuffers(1, &resolveFbo_);
        glGenRenderbuffers(1, &resolveColour_);
        glBindRenderbuffer(GL_RENDERBUFFER, resolveColour_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glBindFramebuffer(GL_FRAMEBUFFER, resolveFbo_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveColour_);
        complete = complete && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, backFbo_);
    target_ = 0;
    viewport_ = {0, 0, width, height, 0.0f, 1.0f};
    glViewport(0, 0, width, height);
    glDepthRange(0.0, 1.0);
    return complete;
}

void GlDevice::FreeBackBuffer()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &backFbo_);
    glDeleteRenderbuffers(1, &backColour_);
    glDeleteRenderbuffers(1, &backDepth_);
    glDeleteFramebuffers(1, &resolveFbo_);
    glDeleteRenderbuffers(1, &resolveColour_);
    backFbo_ = backColour_ = backDepth_ = resolveFbo_ = resolveColour_ = 0;
}

uint32_t GlDevice::Reset(const DevicePresent &present)
{
    if (!exists_) {
        return DeviceInvalidCall;
    }
    FreeBackBuffer();
    present_ = present;
    if (!MakeBackBuffer()) {
        forcedLevel = DeviceNotReset;
        return DeviceInvalidCall;
    }
    if (forcedLevel == DeviceNotReset) {
        forcedLevel = DeviceOk;
    }
    ApplyInitialState();
    for (int stage = 0; stage < DeviceStageCount; ++stage) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    return DeviceOk;
}

uint32_t GlDevice::TestCooperativeLevel()
{
    return exists_ ? forcedLevel : DeviceInvalidCall;
}

void GlDevice::FreeAll()
{
    for (size_t i = 1; i < textures_.size(); ++i) {
        ReleaseTexture(static_cast<uint32_t>(i));
    }
    for (size_t i = 1; i < surfaces_.size(); ++i) {
        ReleaseSurface(static_cast<uint32_t>(i));
    }
    for (size_t i = 1; i < buffers_.size(); ++i) {
        ReleaseBuffer(static_cast<uint32_t>(i));
    }
    for (auto &entry : programs_) {
        glDeleteProgram(entry.second.id);
    }
    programs_.clear();
    shaders_.resize(1);
    textures_.resize(1);
    surfaces_.resize(1);
    buffers_.resize(1);
}

void GlDevice::Release()
{
    if (!exists_) {
        return;
    }
    if (PlatformHasGlContext()) {
        FreeAll();
        FreeBackBuffer();
        glDeleteFramebuffers(1, &targetFbo_);
        glDeleteFramebuffers(2, copyFbo_);
        glDeleteSamplers(DeviceStageCount, samplers_);
        glDeleteVertexArrays(1, &vao_);
    } else {
        programs_.clear();
        shaders_.resize(1);
        textures_.resize(1);
        surfaces_.resize(1);
        buffers_.resize(1);
    }
    vao_ = targetFbo_ = 0;
    PlatformDestroyGlContext();
    exists_ = false;
    renderer_[0] = 0;
}

bool GlDevice::Exists()
{
    return exists_;
}

bool GlDevice::ClientSize(int *width, int *height)
{
    if (PlatformHasGlContext()) {
        PlatformGetGlDrawableSize(width, height);
        return true;
    }
    if (PlatformHasWindow()) {
        const PlatformRect rect = PlatformGetClientRect();
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return true;
    }
    return false;
}

const char *GlDevice::RendererName()
{
    return renderer_;
}

// --- Frames -----------------------------------------------------------------------------------------

uint32_t GlDevice::BeginScene()
{
    return exists_ ? DeviceOk : DeviceInvalidCall;
}

uint32_t GlDevice::EndScene()
{
    return exists_ ? DeviceOk : DeviceInvalidCall;
}

uint32_t GlDevice::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil)
{
    if (!exists_) {
        return DeviceInvalidCall;
    }
    GLbitfield mask = 0;
    if (flags & ClearTarget) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(static_cast<float>((argb >> 16) & 255) / 255.0f, static_cast<float>((argb >> 8) & 255) / 255.0f,
                     static_cast<float>(argb & 255) / 255.0f, static_cast<float>(argb >> 24) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & ClearZBuffer) {
        glDepthMask(GL_TRUE);
        glClearDepth(std::clamp(static_cast<double>(z), 0.0, 1.0));
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & ClearStencil) {
        glStencilMask(0xFFFFFFFFu);
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // A clear covers the viewport.
    glEnable(GL_SCISSOR_TEST);
    glScissor(viewport_.x, viewport_.y, viewport_.width, viewport_.height);
    glClear(mask);
    glDisable(GL_SCISSOR_TEST);
    pipelineDirty_ = true;  // the masks
    return DeviceOk;
}

void GlDevice::ResolveBackBuffer()
{
    if (samples_ == 0) {
        return;
    }
    const int width = std::max(present_.width, 1);
    const int height = std::max(present_.height, 1);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backFbo_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

uint32_t GlDevice::Present()
{
    if (!exists_) {
        return DeviceInvalidCall;
    }
    ResolveBackBuffer();
    const int width = std::max(present_.width, 1);
    const int height = std::max(present_.height, 1);
    int windowWidth = 0;
    int windowHeight = 0;
    PlatformGetGlDrawableSize(&windowWidth, &windowHeight);
    // Rows from the top in the back buffer, from the bottom in the window.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, samples_ > 0 ? resolveFbo_ : backFbo_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const bool same = windowWidth == width && windowHeight == height;
    glBlitFramebuffer(0, 0, width, height, 0, windowHeight, windowWidth, 0, GL_COLOR_BUFFER_BIT,
                      same ? GL_NEAREST : GL_LINEAR);
    PlatformSwapGlBuffers();
    glBindFramebuffer(GL_FRAMEBUFFER, target_ == 0 ? backFbo_ : targetFbo_);
    return forcedLevel;
}

uint32_t GlDevice::SetViewport(const DeviceViewport &viewport)
{
    if (!exists_) {
        return DeviceInvalidCall;
    }
    viewport_ = viewport;
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    glDepthRange(viewport.minZ, viewport.maxZ);
    return DeviceOk;
}

// --- Targets -------------------------------------------------------------------------------------------

GlDevice::Texture *GlDevice::FindTexture(uint32_t texture)
{
    return FindLiveSlot(textures_, texture);
}

GlDevice::Surface *GlDevice::FindSurface(uint32_t surface)
{
    return FindLiveSlot(surfaces_, surface);
}

GlDevice::Buffer *GlDevice::FindBuffer(uint32_t buffer)
{
    return FindLiveSlot(buffers_, buffer);
}

uint32_t GlDevice::NewSurface(const Surface &surface)
{
    return AddLiveSlot(surfaces_, surface);
}

uint32_t GlDevice::BackBufferSurface()
{
    if (!exists_) {
        return 0;
    }
    Surface surface;
    surface.kind = SurfaceBack;
    return NewSurface(surface);
}

uint32_t GlDevice::DepthStencilSurface()
{
    if (!exists_) {
        return 0;
    }
    Surface surface;
    surface.kind = SurfaceMainDepth;
    return NewSurface(surface);
}

uint32_t GlDevice::TextureSurface(uint32_t texture, int level)
{
    Texture *found = FindTexture(texture);
    if (found == nullptr || level < 0 || level >= found->levels) {
        return 0;
    }
    Surface surface;
    surface.kind = SurfaceTexture;
    surface.texture = texture;
    surface.level = level;
    surface.width = std::max(found->width >> level, 1);
    surface.height = std::max(found->height >> level, 1);
    return NewSurface(surface);
}

bool GlDevice::SurfaceSize(uint32_t surface, int *width, int *height)
{
    Surface *found = FindSurface(surface);
    if (found == nullptr) {
        return false;
    }
    const bool main = found->kind == SurfaceBack || found->kind == SurfaceMainDepth;
    *width = main ? present_.width : found->width;
    *height = main ? present_.height : found->height;
    return true;
}

void GlDevice::AttachTarget(GLuint fbo, const Surface &surface)
{
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    if (surface.kind == SurfaceTexture) {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures_[surface.texture].id,
                               surface.level);
    } else {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, surface.colour, 0);
    }
}

void GlDevice::FenceTarget()
{
    Surface *current = FindSurface(target_);
    if (current != nullptr && current->kind == SurfaceLockable) {
        if (current->fence != nullptr) {
            glDeleteSync(current->fence);
        }
        current->fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    }
}

uint32_t GlDevice::SetRenderTarget(uint32_t surface, uint32_t depthSurface)
{
    Surface *found = FindSurface(surface);
    if (!exists_ || found == nullptr || found->kind == SurfaceMainDepth || found->kind == SurfaceDepth) {
        return DeviceInvalidCall;
    }
    FenceTarget();
    int width = 0;
    int height = 0;
    SurfaceSize(surface, &width, &height);
    if (found->kind == SurfaceBack) {
        glBindFramebuffer(GL_FRAMEBUFFER, backFbo_);
        target_ = 0;
    } else {
        AttachTarget(targetFbo_, *found);
        Surface *depth = FindSurface(depthSurface);
        const GLuint renderbuffer = depth != nullptr && depth->kind == SurfaceDepth ? depth->renderbuffer : 0;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffer);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            glBindFramebuffer(GL_FRAMEBUFFER, backFbo_);
            target_ = 0;
            return DeviceInvalidCall;
        }
        target_ = surface;
    }
    viewport_ = {0, 0, width, height, 0.0f, 1.0f};
    glViewport(0, 0, width, height);
    glDepthRange(0.0, 1.0);
    return DeviceOk;
}

uint32_t GlDevice::CreateDepthSurface(int width, int height, uint32_t format, uint32_t *surface)
{
    if (!exists_ || width <= 0 || height <= 0) {
        return DeviceInvalidCall;
    }
    Surface made;
    made.kind = SurfaceDepth;
    made.width = width;
    made.height = height;
    glGenRenderbuffers(1, &made.renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, made.renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, format == RenderFormatD16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24,
                          width, height);
    *surface = NewSurface(made);
    return DeviceOk;
}

uint32_t GlDevice::CreateLockableTarget(int width, int height, uint32_t, uint32_t *surface)
{
    if (!exists_ || width <= 0 || height <= 0) {
        return DeviceInvalidCall;
    }
    Surface made;
    made.kind = SurfaceLockable;
    made.width = width;
    made.height = height;
    glGenTextures(1, &made.colour);
    glBindTexture(GL_TEXTURE_2D, made.colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    made.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    *surface = NewSurface(made);
    return DeviceOk;
}

uint32_t GlDevice::LockSurface(uint32_t surface, DeviceLockedRect *locked, uint32_t)
{
    Surface *found = FindSurface(surface);
    if (found == nullptr || found->kind != SurfaceLockable) {
        return DeviceInvalidCall;
    }
    if (found->fence != nullptr) {
        glClientWaitSync(found->fence, GL_SYNC_FLUSH_COMMANDS_BIT, FenceWaitNs);
        glDeleteSync(found->fence);
        found->fence = nullptr;
    }
    glBindTexture(GL_TEXTURE_2D, found->colour);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, found->pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    bound_[0] = bound_[0] == 0 ? 0 : bound_[0];
    glActiveTexture(GL_TEXTURE0);
    Texture *first = FindTexture(bound_[0]);
    glBindTexture(GL_TEXTURE_2D, first != nullptr ? first->id : 0);
    locked->bits = found->pixels.data();
    locked->pitch = found->width * 4;
    return DeviceOk;
}

uint32_t GlDevice::UnlockSurface(uint32_t surface)
{
    return FindSurface(surface) != nullptr ? DeviceOk : DeviceInvalidCall;
}

uint32_t GlDevice::CopyRect(uint32_t from, const DeviceRect &rect, uint32_t to, int x, int y)
{
    Surface *source = FindSurface(from);
    Surface *dest = FindSurface(to);
    if (!exists_ || source == nullptr || dest == nullptr || source->kind == SurfaceMainDepth ||
        source->kind == SurfaceDepth || dest->kind == SurfaceMainDepth || dest->kind == SurfaceDepth) {
        return DeviceInvalidCall;
    }
    // Attaching binds both read and draw framebuffers: the attachments come
    // first, the read and draw bindings after them.
    if (source->kind == SurfaceBack) {
        ResolveBackBuffer();
    } else {
        AttachTarget(copyFbo_[0], *source);
    }
    if (dest->kind != SurfaceBack) {
        AttachTarget(copyFbo_[1], *dest);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER,
                      source->kind == SurfaceBack ? (samples_ > 0 ? resolveFbo_ : backFbo_) : copyFbo_[0]);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, dest->kind == SurfaceBack ? backFbo_ : copyFbo_[1]);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    glBlitFramebuffer(rect.left, rect.top, rect.right, rect.bottom, x, y, x + width, y + height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, target_ == 0 ? backFbo_ : targetFbo_);
    return DeviceOk;
}

void GlDevice::ReleaseSurface(uint32_t surface)
{
    Surface *found = FindSurface(surface);
    if (found == nullptr) {
        return;
    }
    if (PlatformHasGlContext()) {
        if (found->renderbuffer != 0) {
            glDeleteRenderbuffers(1, &found->renderbuffer);
        }
        if (found->colour != 0) {
            glDeleteTextures(1, &found->colour);
        }
        if (found->fence != nullptr) {
            glDeleteSync(found->fence);
        }
    }
    // A target stays bound when its surface is let go, as the device keeps
    // its own reference.
    *found = Surface{};
}

uint32_t GlDevice::ReadBackBuffer(uint8_t *out, int width, int height)
{
    if (!exists_ || out == nullptr || width != std::max(present_.width, 1) ||
        height != std::max(present_.height, 1)) {
        return DeviceInvalidCall;
    }
    ResolveBackBuffer();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, samples_ > 0 ? resolveFbo_ : backFbo_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, out);
    glBindFramebuffer(GL_FRAMEBUFFER, target_ == 0 ? backFbo_ : targetFbo_);
    return DeviceOk;
}

// --- Textures ---------------------------------------------------------------------------------------------

uint32_t GlDevice::CreateTexture(int width, int height, int levels, uint32_t usage, uint32_t format, uint32_t,
                                 uint32_t *texture)
{
    GlFormat gl{};
    if (!exists_ || width <= 0 || height <= 0 || !GlFormatOf(format, &gl)) {
        return DeviceInvalidCall;
    }
    if (gl.compressed && !s3tc_) {
        return DeviceInvalidCall;
    }
    int most = 1;
    while ((width >> most) > 0 || (height >> most) > 0) {
        ++most;
    }
    Texture made;
    made.alive = true;
    made.width = width;
    made.height = height;
    made.levels = levels <= 0 ? most : std::min(levels, most);
    made.format = format;
    made.usage = usage;
    made.copies.resize(static_cast<size_t>(made.levels));
    glGenTextures(1, &made.id);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, made.id);
    for (int level = 0; level < made.levels; ++level) {
        const int w = std::max(width >> level, 1);
        const int h = std::max(height >> level, 1);
        if (gl.compressed) {
            const std::vector<uint8_t> zero(static_cast<size_t>(FormatLevelBytes(format, w, h)), 0);
            glCompressedTexImage2D(GL_TEXTURE_2D, level, gl.internal, w, h, 0, static_cast<GLsizei>(zero.size()),
                                   zero.data());
        } else {
            glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(gl.internal), w, h, 0, gl.format, gl.type, nullptr);
        }
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, made.levels - 1);
    if (gl.opaque) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    }
    if (gl.luminance) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, GL_RED);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_RED);
    }
    Texture *first = FindTexture(bound_[0]);
    glBindTexture(GL_TEXTURE_2D, first != nullptr ? first->id : 0);
    textures_.push_back(std::move(made));
    *texture = static_cast<uint32_t>(textures_.size() - 1);
    return DeviceOk;
}

int GlDevice::TextureLevels(uint32_t texture)
{
    Texture *found = FindTexture(texture);
    return found != nullptr ? found->levels : 0;
}

bool GlDevice::TextureLevelSize(uint32_t texture, int level, int *width, int *height)
{
    Texture *found = FindTexture(texture);
    if (found == nullptr || level < 0 || level >= found->levels) {
        return false;
    }
    *width = std::max(found->width >> level, 1);
    *height = std::max(found->height >> level, 1);
    return true;
}

uint32_t GlDevice::LockTexture(uint32_t texture, int level, const DeviceRect *rect, uint32_t,
                               DeviceLockedRect *locked)
{
    Texture *found = FindTexture(texture);
    if (found == nullptr || level < 0 || level >= found->levels || locked == nullptr) {
        return DeviceInvalidCall;
    }
    const int width = std::max(found->width >> level, 1);
    const int height = std::max(found->height >> level, 1);
    std::vector<uint8_t> &copy = found->copies[static_cast<size_t>(level)];
    if (copy.empty()) {
        copy.assign(static_cast<size_t>(FormatLevelBytes(found->format, width, height)), 0);
    }
    GlFormat gl{};
    GlFormatOf(found->format, &gl);
    if ((found->usage & UsageRenderTarget) != 0 && !gl.compressed) {
        // What was rendered into it.
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, found->id);
        glGetTexImage(GL_TEXTURE_2D, level, gl.format, gl.type, copy.data());
        Texture *first = FindTexture(bound_[0]);
        glBindTexture(GL_TEXTURE_2D, first != nullptr ? first->id : 0);
    }
    const int pitch = FormatRowBytes(found->format, width);
    uint8_t *bits = copy.data();
    if (rect != nullptr) {
        const bool blocks = gl.compressed;
        const int row = blocks ? rect->top / 4 : rect->top;
        const int column =
            blocks ? rect->left / 4 * FormatBlockBytes(found->format) : rect->left * FormatTexelBytes(found->format);
        bits += static_cast<size_t>(row) * static_cast<size_t>(pitch) + static_cast<size_t>(column);
    }
    locked->bits = bits;
    locked->pitch = pitch;
    return DeviceOk;
}

uint32_t GlDevice::UnlockTexture(uint32_t texture, int level)
{
    Texture *found = FindTexture(texture);
    if (found == nullptr || level < 0 || level >= found->levels || found->copies[static_cast<size_t>(level)].empty()) {
        return DeviceInvalidCall;
    }
    const int width = std::max(found->width >> level, 1);
    const int height = std::max(found->height >> level, 1);
    const std::vector<uint8_t> &copy = found->copies[static_cast<size_t>(level)];
    GlFormat gl{};
    GlFormatOf(found->format, &gl);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, found->id);
    if (gl.compressed) {
        glCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, width, height, gl.internal,
                                  static_cast<GLsizei>(copy.size()), copy.data());
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, width, height, gl.format, gl.type, copy.data());
    }
    Texture *first = FindTexture(bound_[0]);
    glBindTexture(GL_TEXTURE_2D, first != nullptr ? first->id : 0);
    return DeviceOk;
}

uint32_t GlDevice::SetTexture(int stage, uint32_t texture)
{
    if (!exists_ || stage < 0 || stage >= DeviceStageCount) {
        return DeviceInvalidCall;
    }
    Texture *found = FindTexture(texture);
    bound_[stage] = found != nullptr ? texture : 0;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
    glBindTexture(GL_TEXTURE_2D, found != nullptr ? found->id : 0);
    glActiveTexture(GL_TEXTURE0);
    return DeviceOk;
}

void GlDevice::ReleaseTexture(uint32_t texture)
{
    Texture *found = FindTexture(texture);
    if (found == nullptr) {
        return;
    }
    for (uint32_t &bound : bound_) {
        bound = bound == texture ? 0 : bound;
    }
    DeleteSlot(found, glDeleteTextures);
}

// --- States -------------------------------------------------------------------------------------------

uint32_t GlDevice::SetRenderState(uint32_t state, uint32_t value)
{
    if (state >= static_cast<uint32_t>(RenderStateCount)) {
        return DeviceInvalidCall;
    }
    renderStates_[state] = value;
    pipelineDirty_ = true;
    return DeviceOk;
}

uint32_t GlDevice::GetRenderState(uint32_t state, uint32_t *value)
{
    if (state >= static_cast<uint32_t>(RenderStateCount)) {
        return DeviceInvalidCall;
    }
    *value = renderStates_[state];
    return DeviceOk;
}

uint32_t GlDevice::SetTextureStageState(int stage, uint32_t type, uint32_t value)
{
    if (stage < 0 || stage >= DeviceStageCount || type >= static_cast<uint32_t>(StageStateCount)) {
        return DeviceInvalidCall;
    }
    stageStates_[stage][type] = value;
    samplerDirty_[stage] = true;
    return DeviceOk;
}

uint32_t GlDevice::GetTextureStageState(int stage, uint32_t type, uint32_t *value)
{
    if (stage < 0 || stage >= DeviceStageCount || type >= static_cast<uint32_t>(StageStateCount)) {
        return DeviceInvalidCall;
    }
    *value = stageStates_[stage][type];
    return DeviceOk;
}

uint32_t GlDevice::SetTransform(uint32_t kind, const float *matrix)
{
    const int slot = kind == TransformWorld ? 0 : kind == TransformView ? 1 : kind == TransformProjection ? 2 : -1;
    if (slot < 0 || matrix == nullptr) {
        return DeviceInvalidCall;
    }
    std::memcpy(transforms_[slot], matrix, sizeof(transforms_[slot]));
    return DeviceOk;
}

void GlDevice::ApplyPipelineState()
{
    if (!pipelineDirty_) {
        return;
    }
    pipelineDirty_ = false;
    const uint32_t *rs = renderStates_;
    if (rs[RsZEnable] != 0) {
        glEnable(GL_DEPTH_TEST);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthFunc(CompareFunc(rs[RsZFunc]));
    glDepthMask(rs[RsZWriteEnable] != 0 ? GL_TRUE : GL_FALSE);
    if (rs[RsAlphaBlendEnable] != 0) {
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
    glBlendFunc(BlendFactor(rs[RsSrcBlend]), BlendFactor(rs[RsDestBlend]));
    // With the upper-left clip origin OpenGL judges the winding as seen on
    // screen: CCW culling drops faces counter-clockwise on screen.
    if (rs[RsCullMode] == CullNone) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(rs[RsCullMode] == CullCcw ? GL_FRONT : GL_BACK);
    }
    const uint32_t write = rs[RsColorWriteEnable];
    glColorMask((write & 1) != 0, (write & 2) != 0, (write & 4) != 0, (write & 8) != 0);
    if (rs[RsStencilEnable] != 0) {
        glEnable(GL_STENCIL_TEST);
    } else {
        glDisable(GL_STENCIL_TEST);
    }
}

void GlDevice::ApplySampler(int stage)
{
    if (!samplerDirty_[stage]) {
        return;
    }
    samplerDirty_[stage] = false;
    const uint32_t *st = stageStates_[stage];
    const GLuint sampler = samplers_[stage];
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, AddressMode(st[TssAddressU]));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, AddressMode(st[TssAddressV]));
    const uint32_t border = st[TssBorderColor];
    const float colour[4] = {static_cast<float>((border >> 16) & 255) / 255.0f,
                             static_cast<float>((border >> 8) & 255) / 255.0f, static_cast<float>(border & 255) / 255.0f,
                             static_cast<float>(border >> 24) / 255.0f};
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, colour);
    const bool magLinear = st[TssMagFilter] >= TexfLinear;
    const bool minLinear = st[TssMinFilter] >= TexfLinear;
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    GLint minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (st[TssMipFilter] == TexfPoint) {
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    } else if (st[TssMipFilter] >= TexfLinear) {
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, BitsFloat(st[TssMipMapLodBias]));
    if (maxAnisotropy_ > 1.0f) {
        const float wanted = st[TssMinFilter] == TexfAnisotropic ? static_cast<float>(st[TssMaxAnisotropy]) : 1.0f;
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::clamp(wanted, 1.0f, maxAnisotropy_));
    }
}

// --- Buffers ----------------------------------------------------------------------------------------------

uint32_t GlDevice::CreateVertexBuffer(int bytes, uint32_t usage, uint32_t, uint32_t, uint32_t *buffer)
{
    if (!exists_ || bytes <= 0) {
        return DeviceInvalidCall;
    }
    Buffer made;
    made.alive = true;
    made.copy.assign(static_cast<size_t>(bytes), 0);
    glGenBuffers(1, &made.id);
    glBindBuffer(GL_ARRAY_BUFFER, made.id);
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, (usage & UsageDynamic) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    buffers_.push_back(std::move(made));
    *buffer = static_cast<uint32_t>(buffers_.size() - 1);
    return DeviceOk;
}

uint32_t GlDevice::CreateIndexBuffer(int bytes, uint32_t usage, uint32_t format, uint32_t, uint32_t *buffer)
{
    if (!exists_ || bytes <= 0 || (format != RenderFormatIndex16 && format != RenderFormatIndex32)) {
        return DeviceInvalidCall;
    }
    Buffer made;
    made.alive = true;
    made.index = true;
    made.format = format;
    made.copy.assign(static_cast<size_t>(bytes), 0);
    glGenBuffers(1, &made.id);
    glBindBuffer(GL_ARRAY_BUFFER, made.id);
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, (usage & UsageDynamic) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    buffers_.push_back(std::move(made));
    *buffer = static_cast<uint32_t>(buffers_.size() - 1);
    return DeviceOk;
}

uint32_t GlDevice::LockBuffer(uint32_t buffer, int offset, int size, uint32_t flags, void **data)
{
    Buffer *found = FindBuffer(buffer);
    if (found == nullptr || offset < 0 || size < 0 ||
        static_cast<size_t>(offset) + static_cast<size_t>(size) > found->copy.size()) {
        return DeviceInvalidCall;
    }
    if (size == 0) {
        size = static_cast<int>(found->copy.size()) - offset;
    }
    found->lockOffset = offset;
    found->lockSize = size;
    found->lockFlags = flags;
    *data = found->copy.data() + offset;
    return DeviceOk;
}

uint32_t GlDevice::UnlockBuffer(uint32_t buffer)
{
    Buffer *found = FindBuffer(buffer);
    if (found == nullptr) {
        return DeviceInvalidCall;
    }
    glBindBuffer(GL_ARRAY_BUFFER, found->id);
    if (found->lockFlags & LockDiscard) {
        // A fresh store: drawing still reading the old one is not waited for.
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(found->copy.size()), nullptr, GL_DYNAMIC_DRAW);
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(found->copy.size()), found->copy.data());
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, found->lockOffset, found->lockSize, found->copy.data() + found->lockOffset);
    }
    return DeviceOk;
}

void GlDevice::ReleaseBuffer(uint32_t buffer)
{
    Buffer *found = FindBuffer(buffer);
    if (found == nullptr) {
        return;
    }
    stream_ = stream_ == buffer ? 0 : stream_;
    indices_ = indices_ == buffer ? 0 : indices_;
    DeleteSlot(found, glDeleteBuffers);
}

uint32_t GlDevice::SetStreamSource(uint32_t buffer, int stride)
{
    stream_ = buffer;
    stride_ = stride;
    return DeviceOk;
}

uint32_t GlDevice::SetIndices(uint32_t buffer, int baseVertex)
{
    indices_ = buffer;
    baseVertex_ = baseVertex;
    return DeviceOk;
}

// --- Vertex shaders (their programs come with the render objects) -------------------------------------------

uint32_t GlDevice::CreateVertexShader(const uint32_t *declaration, const uint32_t *code, uint32_t *handle)
{
    if (!exists_ || declaration == nullptr || handle == nullptr || VertexProgramLength(code) == 0) {
        return DeviceInvalidCall;
    }
    VertexShaderRecord record;
    record.alive = true;
    record.layoutFvf = DeclarationFvf(declaration);
    record.source = TranslateVertexProgram(code);
    size_t slot = 1;
    while (slot < shaders_.size() && shaders_[slot].alive) {
        ++slot;
    }
    if (slot == shaders_.size()) {
        shaders_.emplace_back();
    }
    shaders_[slot] = std::move(record);
    *handle = FirstShaderHandle + static_cast<uint32_t>(slot);
    return DeviceOk;
}

void GlDevice::DeleteProgramsOf(uint32_t handle)
{
    for (auto it = programs_.begin(); it != programs_.end();) {
        if (it->first.fvf == handle) {
            if (PlatformHasGlContext()) {
                glDeleteProgram(it->second.id);
            }
            it = programs_.erase(it);
        } else {
            ++it;
        }
    }
}

uint32_t GlDevice::DeleteVertexShader(uint32_t handle)
{
    const uint32_t slot = handle - FirstShaderHandle;
    if (handle < FirstShaderHandle || slot == 0 || slot >= shaders_.size() || !shaders_[slot].alive) {
        return DeviceInvalidCall;
    }
    DeleteProgramsOf(handle);
    shaders_[slot] = VertexShaderRecord{};
    if (fvf_ == handle) {
        fvf_ = 0;
    }
    return DeviceOk;
}

uint32_t GlDevice::SetVertexShader(uint32_t handleOrFvf)
{
    fvf_ = handleOrFvf;
    if (handleOrFvf < FirstShaderHandle) {
        return DeviceOk;
    }
    const uint32_t slot = handleOrFvf - FirstShaderHandle;
    return slot < shaders_.size() && shaders_[slot].alive ? DeviceOk : DeviceInvalidCall;
}

uint32_t GlDevice::SetVertexShaderConstant(int firstRegister, const float *values, int count)
{
    if (firstRegister < 0 || count < 0 || firstRegister + count > 96 || values == nullptr) {
        return DeviceInvalidCall;
    }
    std::memcpy(constants_[firstRegister], values, sizeof(float) * 4 * static_cast<size_t>(count));
    return DeviceOk;
}

// --- Drawing ---------------------------------------------------------------------------------------------------

Program *GlDevice::ProgramFor(const ProgramKey &key)
{
    auto found = programs_.find(key);
    if (found != programs_.end()) {
        return found->second.id != 0 ? &found->second : nullptr;
    }
    Program &program = programs_[key];
    std::string vertexText;
    if (key.fvf >= FirstShaderHandle) {
        const uint32_t slot = key.fvf - FirstShaderHandle;
        if (slot >= shaders_.size() || !shaders_[slot].alive) {
            return nullptr;
        }
        vertexText = shaders_[slot].source;
    } else {
        vertexText = VertexSource(key);
    }
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, vertexText);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, FragmentSource(key));
    if (vertex == 0 || fragment == 0) {
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        return nullptr;
    }
    const GLuint id = glCreateProgram();
    glAttachShader(id, vertex);
    glAttachShader(id, fragment);
    glLinkProgram(id);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(id, GL_LINK_STATUS, &ok);
    if (!ok) {
        glDeleteProgram(id);
        return nullptr;
    }
    program.id = id;
    program.world = glGetUniformLocation(id, "uWorld");
    program.view = glGetUniformLocation(id, "uView");
    program.projection = glGetUniformLocation(id, "uProjection");
    program.viewport = glGetUniformLocation(id, "uViewport");
    program.alphaRef = glGetUniformLocation(id, "uAlphaRef");
    program.fogRange = glGetUniformLocation(id, "uFogRange");
    program.fogColour = glGetUniformLocation(id, "uFogColour");
    program.factor = glGetUniformLocation(id, "uFactor");
    program.tex[0] = glGetUniformLocation(id, "uTex0");
    program.tex[1] = glGetUniformLocation(id, "uTex1");
    program.constants = glGetUniformLocation(id, "uC");
    glUseProgram(id);
    glUniform1i(program.tex[0], 0);
    glUniform1i(program.tex[1], 1);
    return &program;
}

uint32_t GlDevice::DrawIndexedTriangles(int, int, int startIndex, int triangleCount)
{
    Buffer *vertices = FindBuffer(stream_);
    Buffer *indices = FindBuffer(indices_);
    if (!exists_ || vertices == nullptr || indices == nullptr || !indices->index || stride_ <= 0 || triangleCount <= 0) {
        return DeviceInvalidCall;
    }
    // A vertex program reads the layout its declaration names.
    const bool programmed = fvf_ >= FirstShaderHandle;
    uint32_t layout = fvf_;
    if (programmed) {
        const uint32_t slot = fvf_ - FirstShaderHandle;
        if (slot >= shaders_.size() || !shaders_[slot].alive) {
            return DeviceInvalidCall;
        }
        layout = shaders_[slot].layoutFvf;
    }
    ProgramKey key{};
    key.fvf = programmed ? fvf_ : fvf_ & (FvfXyz | FvfXyzRhw | FvfDiffuse | FvfSpecular | FvfTexCountMask);
    key.fogFactor = programmed ? 1 : 0;
    for (int stage = 0; stage < UsedStages; ++stage) {
        const uint32_t *st = stageStates_[stage];
        key.stage[stage][0] = st[TssColorOp];
        key.stage[stage][1] = st[TssColorArg1];
        key.stage[stage][2] = st[TssColorArg2];
        key.stage[stage][3] = st[TssAlphaOp];
        key.stage[stage][4] = st[TssAlphaArg1];
        key.stage[stage][5] = st[TssAlphaArg2];
        key.stage[stage][6] = st[TssTexCoordIndex] & 1;
        if (bound_[stage] != 0) {
            key.textured |= 1u << stage;
        }
        ApplySampler(stage);
    }
    const uint32_t *rs = renderStates_;
    key.specular = rs[RsSpecularEnable] != 0 ? 1 : 0;
    key.alphaFunc = rs[RsAlphaTestEnable] != 0 ? rs[RsAlphaFunc] : 0;
    const bool linearFog = rs[RsFogTableMode] == FogLinear || rs[RsFogVertexMode] == FogLinear;
    key.fog = rs[RsFogEnable] != 0 && (programmed || (linearFog && (fvf_ & FvfXyzRhw) == 0)) ? 1 : 0;
    Program *program = ProgramFor(key);
    if (program == nullptr) {
        return DeviceInvalidCall;
    }
    ApplyPipelineState();
    glUseProgram(program->id);
    glUniformMatrix4fv(program->world, 1, GL_FALSE, transforms_[0]);
    glUniformMatrix4fv(program->view, 1, GL_FALSE, transforms_[1]);
    glUniformMatrix4fv(program->projection, 1, GL_FALSE, transforms_[2]);
    glUniform4f(program->viewport, static_cast<float>(viewport_.x), static_cast<float>(viewport_.y),
                static_cast<float>(viewport_.width), static_cast<float>(viewport_.height));
    glUniform1f(program->alphaRef, static_cast<float>(rs[RsAlphaRef] & 255));
    glUniform2f(program->fogRange, BitsFloat(rs[RsFogStart]), BitsFloat(rs[RsFogEnd]));
    const uint32_t fog = rs[RsFogColor];
    glUniform3f(program->fogColour, static_cast<float>((fog >> 16) & 255) / 255.0f,
                static_cast<float>((fog >> 8) & 255) / 255.0f, static_cast<float>(fog & 255) / 255.0f);
    const uint32_t factor = rs[RsTextureFactor];
    glUniform4f(program->factor, static_cast<float>((factor >> 16) & 255) / 255.0f,
                static_cast<float>((factor >> 8) & 255) / 255.0f, static_cast<float>(factor & 255) / 255.0f,
                static_cast<float>(factor >> 24) / 255.0f);
    if (programmed && program->constants >= 0) {
        // Only the registers whose values changed since this program last
        // had them, in runs.
        int r = 0;
        while (r < 96) {
            if (program->sentAny && std::memcmp(program->sent[r], constants_[r], sizeof(constants_[r])) == 0) {
                ++r;
                continue;
            }
            int end = r + 1;
            while (end < 96 &&
                   (!program->sentAny || std::memcmp(program->sent[end], constants_[end], sizeof(constants_[end])) != 0)) {
                ++end;
            }
            glUniform4fv(program->constants + r, end - r, constants_[r]);
            std::memcpy(program->sent[r], constants_[r], sizeof(float) * 4 * static_cast<size_t>(end - r));
            r = end;
        }
        program->sentAny = true;
    }

    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, vertices->id);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices->id);
    size_t offset = 0;
    const GLsizei stride = stride_;
    auto at = [&offset]() { return reinterpret_cast<const void *>(offset); };
    if (layout & FvfXyzRhw) {
        glEnableVertexAttribArray(AttribPosition);
        glVertexAttribPointer(AttribPosition, 4, GL_FLOAT, GL_FALSE, stride, at());
        offset += 16;
    } else {
        glEnableVertexAttribArray(AttribPosition);
        glVertexAttribPointer(AttribPosition, 3, GL_FLOAT, GL_FALSE, stride, at());
        offset += 12;
    }
    if (layout & FvfNormal) {
        glEnableVertexAttribArray(AttribNormal);
        glVertexAttribPointer(AttribNormal, 3, GL_FLOAT, GL_FALSE, stride, at());
        offset += 12;
    } else {
        glDisableVertexAttribArray(AttribNormal);
        glVertexAttrib4f(AttribNormal, 0.0f, 0.0f, 0.0f, 1.0f);
    }
    if (layout & FvfDiffuse) {
        glEnableVertexAttribArray(AttribDiffuse);
        glVertexAttribPointer(AttribDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at());
        offset += 4;
    } else {
        glDisableVertexAttribArray(AttribDiffuse);
        // A program reads a missing input as (0, 0, 0, 1).
        if (programmed) {
            glVertexAttrib4f(AttribDiffuse, 0.0f, 0.0f, 0.0f, 1.0f);
        } else {
            glVertexAttrib4f(AttribDiffuse, 1.0f, 1.0f, 1.0f, 1.0f);
        }
    }
    if (layout & FvfSpecular) {
        glEnableVertexAttribArray(AttribSpecular);
        glVertexAttribPointer(AttribSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at());
        offset += 4;
    } else {
        glDisableVertexAttribArray(AttribSpecular);
        glVertexAttrib4f(AttribSpecular, 0.0f, 0.0f, 0.0f, programmed ? 1.0f : 0.0f);
    }
    const uint32_t sets = (layout & FvfTexCountMask) >> FvfTexCountShift;
    for (uint32_t set = 0; set < 2; ++set) {
        const GLuint slot = set == 0 ? AttribTex0 : AttribTex1;
        if (set < sets) {
            glEnableVertexAttribArray(slot);
            glVertexAttribPointer(slot, 2, GL_FLOAT, GL_FALSE, stride, at());
            offset += 8;
        } else {
            glDisableVertexAttribArray(slot);
            glVertexAttrib4f(slot, 0.0f, 0.0f, 0.0f, 1.0f);
        }
    }
    const bool wide = indices->format == RenderFormatIndex32;
    const size_t first = static_cast<size_t>(startIndex) * (wide ? 4u : 2u);
    glDrawElementsBaseVertex(GL_TRIANGLES, triangleCount * 3, wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void *>(first), baseVertex_);
#ifndef NDEBUG
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        std::fprintf(stderr, "draw: OpenGL error 0x%x\n", error);
    }
#endif
    return DeviceOk;
}

}  // namespace

GraphicsDevice *PlatformGlDevice()
{
    return &TheDevice;
}

void PlatformGlForceCooperativeLevel(uint32_t result)
{
    TheDevice.forcedLevel = result;
}
