#pragma once

#include <cstdint>

// The drawing device as the render layer sees it: adapters and their modes,
// the device's life, frames, render targets, textures, render and
// texture-stage states, transforms, vertex and index buffers, vertex
// shaders and indexed drawing. Two implementations exist: the OpenGL device
// on the main window (platform/gl_device.h) and the recording device
// (platform/recording_device.h), which draws into memory and logs every
// call.
//
// Numbers follow the classic fixed-function conventions the render layer is
// written against: state numbers, formats, flags and result codes below.
// Handles are small integers; 0 is "none". Matrices are 16 floats,
// row-major, for row vectors (p x M).

// --- Results --------------------------------------------------------------------

constexpr uint32_t DeviceOk = 0;
constexpr uint32_t DeviceLost = 0x88760868u;
constexpr uint32_t DeviceNotReset = 0x88760869u;
constexpr uint32_t DeviceInvalidCall = 0x8876086Cu;
constexpr uint32_t DeviceOutOfMemory = 0x8007000Eu;

// --- Formats ---------------------------------------------------------------------

enum RenderFormat : uint32_t {
    RenderFormatUnknown = 0,
    RenderFormatA8R8G8B8 = 21,
    RenderFormatX8R8G8B8 = 22,
    RenderFormatR5G6B5 = 23,
    RenderFormatX1R5G5B5 = 24,
    RenderFormatA1R5G5B5 = 25,
    RenderFormatA4R4G4B4 = 26,
    RenderFormatL8 = 50,
    RenderFormatD32 = 71,
    RenderFormatD15S1 = 73,
    RenderFormatD24S8 = 75,
    RenderFormatD24X8 = 77,
    RenderFormatD24X4S4 = 79,
    RenderFormatD16 = 80,
    RenderFormatIndex16 = 101,
    RenderFormatIndex32 = 102,
    RenderFormatDxt1 = 0x31545844u,  // "DXT1"
    RenderFormatDxt3 = 0x33545844u,  // "DXT3"
};

// Bytes per texel of an uncompressed format (0 for compressed and unknown
// ones); compressed formats come in 4 x 4 blocks of 8 (DXT1) or 16 bytes.
int FormatTexelBytes(uint32_t format);
int FormatBlockBytes(uint32_t format);
// Bytes of one row of texels (of blocks, for compressed formats) and of a
// whole level of the given size.
int FormatRowBytes(uint32_t format, int width);
int FormatLevelBytes(uint32_t format, int width, int height);

// --- Flags -------------------------------------------------------------------------

// Vertex formats: which fields a vertex has, in this order.
constexpr uint32_t FvfXyz = 0x002;
constexpr uint32_t FvfXyzRhw = 0x004;
constexpr uint32_t FvfNormal = 0x010;
constexpr uint32_t FvfDiffuse = 0x040;  // 4 bytes: blue, green, red, alpha
constexpr uint32_t FvfSpecular = 0x080;
constexpr uint32_t FvfTexCountShift = 8;  // (count << 8): two floats per set
constexpr uint32_t FvfTexCountMask = 0xF00;
int FvfVertexBytes(uint32_t fvf);

// Usages of buffers and textures.
constexpr uint32_t UsageRenderTarget = 0x1;
constexpr uint32_t UsageWriteOnly = 0x8;
constexpr uint32_t UsageDynamic = 0x200;
constexpr uint32_t UsageDynamicWriteOnly = 0x208;
constexpr uint32_t UsageDynamicSoftware = 0x218;

// Memory pools: 0 the device's own (lost at a Reset), 1 managed.
constexpr uint32_t PoolDefault = 0;
constexpr uint32_t PoolManaged = 1;

// Lock flags.
constexpr uint32_t LockReadOnly = 0x10;
constexpr uint32_t LockNoSysLock = 0x800;
constexpr uint32_t LockDiscard = 0x2000;

// Clear flags.
constexpr uint32_t ClearTarget = 1;
constexpr uint32_t ClearZBuffer = 2;
constexpr uint32_t ClearStencil = 4;

// Transforms.
constexpr uint32_t TransformView = 2;
constexpr uint32_t TransformProjection = 3;
constexpr uint32_t TransformWorld = 256;

// Multisample types above 1 are sample counts; 0 and 1 are none.
constexpr int MaxMultiSample = 16;

// --- Render states ------------------------------------------------------------------

constexpr int RenderStateCount = 172;
constexpr int StageStateCount = 29;
constexpr int DeviceStageCount = 8;

enum DeviceRenderState : uint32_t {
    RsZEnable = 7,
    RsFillMode = 8,
    RsShadeMode = 9,
    RsZWriteEnable = 14,
    RsAlphaTestEnable = 15,
    RsLastPixel = 16,
    RsSrcBlend = 19,
    RsDestBlend = 20,
    RsCullMode = 22,
    RsZFunc = 23,
    RsAlphaRef = 24,
    RsAlphaFunc = 25,
    RsDitherEnable = 26,
    RsAlphaBlendEnable = 27,
    RsFogEnable = 28,
    RsSpecularEnable = 29,
    RsFogColor = 34,
    RsFogTableMode = 35,
    RsFogStart = 36,  // float bits
    RsFogEnd = 37,    // float bits
    RsFogDensity = 38,
    RsEdgeAntialias = 40,
    RsZBias = 47,
    RsRangeFogEnable = 48,
    RsStencilEnable = 52,
    RsStencilFail = 53,
    RsStencilZFail = 54,
    RsStencilPass = 55,
    RsStencilFunc = 56,
    RsStencilRef = 57,
    RsStencilMask = 58,
    RsStencilWriteMask = 59,
    RsTextureFactor = 60,
    RsClipping = 136,
    RsLighting = 137,
    RsAmbient = 139,
    RsFogVertexMode = 140,
    RsColorVertex = 141,
    RsLocalViewer = 142,
    RsNormalizeNormals = 143,
    RsDiffuseMaterialSource = 145,
    RsSpecularMaterialSource = 146,
    RsAmbientMaterialSource = 147,
    RsEmissiveMaterialSource = 148,
    RsVertexBlend = 151,
    RsClipPlaneEnable = 152,
    RsSoftwareVertexProcessing = 153,
    RsPointSize = 154,
    RsPointSizeMin = 155,
    RsPointSpriteEnable = 156,
    RsPointScaleEnable = 157,
    RsPointScaleA = 158,
    RsPointScaleB = 159,
    RsPointScaleC = 160,
    RsMultiSampleAntialias = 161,
    RsMultiSampleMask = 162,
    RsPatchEdgeStyle = 163,
    RsPatchSegments = 164,
    RsDebugMonitorToken = 165,
    RsPointSizeMax = 166,
    RsIndexedVertexBlendEnable = 167,
    RsColorWriteEnable = 168,
    RsTweenFactor = 170,
    RsBlendOp = 171,
};

enum DeviceStageState : uint32_t {
    TssColorOp = 1,
    TssColorArg1 = 2,
    TssColorArg2 = 3,
    TssAlphaOp = 4,
    TssAlphaArg1 = 5,
    TssAlphaArg2 = 6,
    TssTexCoordIndex = 11,
    TssAddressU = 13,
    TssAddressV = 14,
    TssBorderColor = 15,
    TssMagFilter = 16,
    TssMinFilter = 17,
    TssMipFilter = 18,
    TssMipMapLodBias = 19,  // float bits
    TssMaxMipLevel = 20,
    TssMaxAnisotropy = 21,
    TssTextureTransformFlags = 24,
    TssAddressW = 25,
    TssColorArg0 = 26,
    TssAlphaArg0 = 27,
    TssResultArg = 28,
};

// Values of the states above.
enum : uint32_t {
    CullNone = 1,
    CullCw = 2,
    CullCcw = 3,
    CmpNever = 1,
    CmpLess = 2,
    CmpEqual = 3,
    CmpLessEqual = 4,
    CmpGreater = 5,
    CmpNotEqual = 6,
    CmpGreaterEqual = 7,
    CmpAlways = 8,
    BlendZero = 1,
    BlendOne = 2,
    BlendSrcColor = 3,
    BlendInvSrcColor = 4,
    BlendSrcAlpha = 5,
    BlendInvSrcAlpha = 6,
    BlendDestAlpha = 7,
    BlendInvDestAlpha = 8,
    BlendDestColor = 9,
    BlendInvDestColor = 10,
    TopDisable = 1,
    TopSelectArg1 = 2,
    TopSelectArg2 = 3,
    TopModulate = 4,
    TopModulate2x = 5,
    TopModulate4x = 6,
    TopAdd = 7,
    TaDiffuse = 0,
    TaCurrent = 1,
    TaTexture = 2,
    TaTFactor = 3,
    TaSpecular = 4,
    TaddressWrap = 1,
    TaddressMirror = 2,
    TaddressClamp = 3,
    TaddressBorder = 4,
    TexfNone = 0,
    TexfPoint = 1,
    TexfLinear = 2,
    TexfAnisotropic = 3,
    FogNone = 0,
    FogLinear = 3,
};

// A Direct3D-style device's state when it is made (and after a Reset).
uint32_t DeviceDefaultRenderState(int state);
uint32_t DeviceDefaultStageState(int stage, int type);

uint32_t FloatBits(float value);
float BitsFloat(uint32_t bits);

// --- Records --------------------------------------------------------------------------

struct DeviceDisplayMode {
    uint32_t width;
    uint32_t height;
    uint32_t refreshRate;  // Hz; 0 the display's default
    uint32_t format;       // RenderFormat
};

// What an adapter's device can do.
struct DeviceCapsRecord {
    int canRenderWindowed;
    int hardwareTransform;      // transforms and lights vertices itself
    int vertexShaderVersion;    // major * 256 + minor
    int maxTextureWidth;
    int maxTextureHeight;
    int clampAddressing;        // CLAMP texture addressing
    int borderAddressing;       // BORDER texture addressing
    int destColourSourceBlend;  // DESTCOLOR as a source blend factor
    int sourceColourDestBlend;  // SRCCOLOR as a destination blend factor
    int modulate2x;
    int maxSimultaneousTextures;
    int dynamicTextures;
    int maxAnisotropy;          // 1: none
    int dxt1Textures;
    int dxt3Textures;
};

struct DevicePresent {
    int width;
    int height;
    uint32_t format;
    int bufferCount;       // 1 or 2
    int multiSample;       // 0 none, else samples
    int windowed;
    int autoDepthStencil;
    uint32_t depthFormat;
    int lockableBackBuffer;
    int refreshRate;       // full screen
    uint32_t interval;     // 0 default, 1 one, 0x80000000 immediate
};

constexpr uint32_t PresentIntervalDefault = 0;
constexpr uint32_t PresentIntervalOne = 1;
constexpr uint32_t PresentIntervalImmediate = 0x80000000u;

struct DeviceViewport {
    int x;
    int y;
    int width;
    int height;
    float minZ;
    float maxZ;
};

struct DeviceRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct DeviceLockedRect {
    void *bits;
    int pitch;
};

// --- The device --------------------------------------------------------------------

class GraphicsDevice {
public:
    virtual ~GraphicsDevice() = default;

    // The device's system: the graphics library (and its display) before
    // anything else; false when there is none. Stop lets it go.
    virtual bool Start() = 0;
    virtual void Stop() = 0;

    // Adapters.
    virtual int AdapterCount() = 0;
    virtual const char *AdapterDescription(int adapter) = 0;
    virtual bool DesktopMode(int adapter, DeviceDisplayMode *mode) = 0;
    virtual int ModeCount(int adapter) = 0;
    virtual bool Mode(int adapter, int index, DeviceDisplayMode *mode) = 0;
    virtual bool CheckDisplayFormat(int adapter, uint32_t format) = 0;
    // The depth format can go with the display format (both checks).
    virtual bool CheckDepthFormat(int adapter, uint32_t displayFormat, uint32_t depthFormat) = 0;
    virtual bool CheckMultiSample(int adapter, uint32_t format, int windowed, int multiSample) = 0;
    virtual bool Caps(int adapter, DeviceCapsRecord *caps) = 0;

    // Life. Create needs the main window where the device draws into one.
    virtual uint32_t Create(int adapter, const DevicePresent &present, uint32_t behaviour) = 0;
    virtual uint32_t Reset(const DevicePresent &present) = 0;
    virtual uint32_t TestCooperativeLevel() = 0;
    virtual void Release() = 0;
    virtual bool Exists() = 0;
    // The size of the surface the device shows its frames in; false when it
    // has none of its own.
    virtual bool ClientSize(int *width, int *height) = 0;
    // The renderer's name once the device exists ("" before).
    virtual const char *RendererName() = 0;

    // Frames.
    virtual uint32_t BeginScene() = 0;
    virtual uint32_t EndScene() = 0;
    virtual uint32_t Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) = 0;
    virtual uint32_t Present() = 0;
    virtual uint32_t SetViewport(const DeviceViewport &viewport) = 0;

    // Targets. Surfaces handed out are the caller's to release.
    virtual uint32_t BackBufferSurface() = 0;
    virtual uint32_t DepthStencilSurface() = 0;
    virtual uint32_t TextureSurface(uint32_t texture, int level) = 0;
    virtual bool SurfaceSize(uint32_t surface, int *width, int *height) = 0;
    virtual uint32_t SetRenderTarget(uint32_t surface, uint32_t depthSurface) = 0;
    virtual uint32_t CreateDepthSurface(int width, int height, uint32_t format, uint32_t *surface) = 0;
    virtual uint32_t CreateLockableTarget(int width, int height, uint32_t format, uint32_t *surface) = 0;
    // Read-only lock of a lockable target: 4 bytes per pixel (B, G, R, A).
    // flags: LockReadOnly, LockNoSysLock (the lock need not hold the system
    // lock). The lock waits until the card has finished drawing into it.
    virtual uint32_t LockSurface(uint32_t surface, DeviceLockedRect *locked, uint32_t flags) = 0;
    virtual uint32_t UnlockSurface(uint32_t surface) = 0;
    virtual uint32_t CopyRect(uint32_t from, const DeviceRect &rect, uint32_t to, int x, int y) = 0;
    virtual void ReleaseSurface(uint32_t surface) = 0;
    // The back buffer's pixels, rows from the top, 4 bytes each (B, G, R, A).
    virtual uint32_t ReadBackBuffer(uint8_t *out, int width, int height) = 0;

    // Textures.
    virtual uint32_t CreateTexture(int width, int height, int levels, uint32_t usage, uint32_t format,
                                   uint32_t pool, uint32_t *texture) = 0;
    virtual int TextureLevels(uint32_t texture) = 0;
    virtual bool TextureLevelSize(uint32_t texture, int level, int *width, int *height) = 0;
    virtual uint32_t LockTexture(uint32_t texture, int level, const DeviceRect *rect, uint32_t flags,
                                 DeviceLockedRect *locked) = 0;
    virtual uint32_t UnlockTexture(uint32_t texture, int level) = 0;
    virtual uint32_t SetTexture(int stage, uint32_t texture) = 0;
    virtual void ReleaseTexture(uint32_t texture) = 0;

    // States.
    virtual uint32_t SetRenderState(uint32_t state, uint32_t value) = 0;
    virtual uint32_t GetRenderState(uint32_t state, uint32_t *value) = 0;
    virtual uint32_t SetTextureStageState(int stage, uint32_t type, uint32_t value) = 0;
    virtual uint32_t GetTextureStageState(int stage, uint32_t type, uint32_t *value) = 0;

    // Transforms.
    virtual uint32_t SetTransform(uint32_t kind, const float *matrix) = 0;

    // Buffers. Index buffers have format RenderFormatIndex16 or Index32.
    virtual uint32_t CreateVertexBuffer(int bytes, uint32_t usage, uint32_t fvf, uint32_t pool, uint32_t *buffer) = 0;
    virtual uint32_t CreateIndexBuffer(int bytes, uint32_t usage, uint32_t format, uint32_t pool,
                                       uint32_t *buffer) = 0;
    virtual uint32_t LockBuffer(uint32_t buffer, int offset, int size, uint32_t flags, void **data) = 0;
    virtual uint32_t UnlockBuffer(uint32_t buffer) = 0;
    virtual void ReleaseBuffer(uint32_t buffer) = 0;
    virtual uint32_t SetStreamSource(uint32_t buffer, int stride) = 0;
    virtual uint32_t SetIndices(uint32_t buffer, int baseVertex) = 0;

    // Vertex shaders: a handle, or an FVF (handles are at least 0x10000).
    virtual uint32_t CreateVertexShader(const uint32_t *declaration, const uint32_t *code, uint32_t *handle) = 0;
    virtual uint32_t DeleteVertexShader(uint32_t handle) = 0;
    virtual uint32_t SetVertexShader(uint32_t handleOrFvf) = 0;
    virtual uint32_t SetVertexShaderConstant(int firstRegister, const float *values, int count) = 0;

    // Indexed triangle lists.
    virtual uint32_t DrawIndexedTriangles(int minIndex, int vertexCount, int startIndex, int triangleCount) = 0;
};

// The first vertex-shader handle; smaller values select an FVF.
constexpr uint32_t FirstShaderHandle = 0x10000;
