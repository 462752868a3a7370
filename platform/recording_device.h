#pragma once

#include "platform/graphics_device.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A device that draws nothing and needs no window: it logs every call with
// its arguments, keeps textures, surfaces, buffers and the back buffer in
// memory (locks hand out real memory, clears fill it), answers from a
// scripted adapter list, and counts what reaches it per frame. Tests use it
// to watch the render layer; the program runs on it with graphics on and no
// window.

struct DeviceCall {
    std::string name;
    std::vector<uint32_t> args;
};

// What reached the device since the last present.
struct DeviceFrameCounts {
    int drawCalls;
    int triangles;
    int renderStates;
    int stageStates;
    int textureBinds;
    int shaderSelections;
    int constantRegisters;
    int bufferLocks;
    int textureLocks;
    int targetSwitches;
};

struct RecordingAdapter {
    std::string description;
    DeviceDisplayMode desktop;
    std::vector<DeviceDisplayMode> modes;  // in the system's order
    std::vector<uint32_t> refusedFormats;  // display formats whose check fails
    DeviceCapsRecord caps;
};

// The default adapter: a 4:3 display at 60 Hz in 32 and 16 bits that also
// offers modes too small to use and names one mode twice.
RecordingAdapter NullDisplayAdapter();
// The capability record of the default adapter: 4096 x 4096 textures,
// clamping and border addressing, both blend factors, modulate-2x, two
// textures at once, dynamic textures, hardware transform and vertex shader
// 1.1, no anisotropy and no compressed textures.
DeviceCapsRecord NullDeviceCapsRecord();

class RecordingDevice : public GraphicsDevice {
public:
    RecordingDevice();
    ~RecordingDevice() override;

    // --- Script -----------------------------------------------------------------
    std::vector<RecordingAdapter> adapters;
    std::vector<uint32_t> usableDepthFormats;  // D16, D24X8, D24S8
    // (display format, depth format) pairs that do not match.
    std::vector<std::pair<uint32_t, uint32_t>> refusedDepthPairs;
    std::set<int> refusedMultiSample;          // sample counts whose check fails
    // The size of a window the device shows in; 0 x 0: none.
    int clientWidth = 0;
    int clientHeight = 0;
    // Start answers this (false: no graphics library).
    bool startable = true;
    // What TestCooperativeLevel answers.
    uint32_t cooperativeLevel = DeviceOk;
    // Names of calls that fail (Create, Reset, CreateTexture, LockTexture,
    // LockBuffer, CreateVertexBuffer, CreateIndexBuffer, SetRenderTarget,
    // CreateDepthSurface, CreateLockableTarget, TextureSurface, LockSurface).
    std::set<std::string> failing;
    // Texture formats CreateTexture refuses.
    std::set<uint32_t> refusedTextureFormats;

    // --- What happened ------------------------------------------------------------
    std::vector<DeviceCall> calls;
    // false: calls are not logged (the counts still are).
    bool logCalls = true;
    // The shader or FVF last selected.
    uint32_t currentShader = 0;
    DeviceFrameCounts frame{};      // since the last present
    DeviceFrameCounts lastFrame{};  // of the frame the last present ended
    int presents = 0;

    // The calls with this name, in order.
    std::vector<DeviceCall> CallsNamed(const std::string &name) const;
    // Names of the calls in order, without the state and query calls.
    std::vector<std::string> CallNames(bool withStates) const;
    void ClearLog();
    // Resources of the default pool still alive.
    int DefaultPoolResources() const;
    int LiveTextures() const;
    int LiveBuffers() const;
    int LiveSurfaces() const;
    uint32_t BackBufferPixel(int x, int y) const;
    // A buffer's bytes (empty for none) and its creation usage.
    std::vector<uint8_t> BufferBytes(uint32_t buffer) const;
    uint32_t BufferUsage(uint32_t buffer) const;
    const DevicePresent &CurrentPresent() const { return present_; }
    // The instruction list and declaration a live shader was made from
    // (null for an unknown or deleted one).
    const std::vector<uint32_t> *ShaderCode(uint32_t handle) const;
    const std::vector<uint32_t> *ShaderDeclaration(uint32_t handle) const;
    uint32_t CurrentTarget() const { return target_; }

    // --- GraphicsDevice ---------------------------------------------------------------
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

    // Every state as the device holds it.
    uint32_t renderStates[RenderStateCount];
    uint32_t stageStates[DeviceStageCount][StageStateCount];
    float transforms[3][16];
    float constants[96][4];

private:
    struct Texture {
        bool alive = false;
        int width = 0;
        int height = 0;
        uint32_t format = 0;
        uint32_t usage = 0;
        uint32_t pool = 0;
        std::vector<std::vector<uint8_t>> levels;
    };
    struct Surface {
        bool alive = false;
        int kind = 0;  // 0 back buffer, 1 main depth, 2 texture level, 3 depth surface, 4 lockable target
        uint32_t texture = 0;
        int level = 0;
        int width = 0;
        int height = 0;
        std::vector<uint8_t> pixels;  // lockable targets
    };
    struct Buffer {
        bool alive = false;
        bool index = false;
        uint32_t pool = 0;
        uint32_t usage = 0;
        std::vector<uint8_t> bytes;
    };

    void Log(const char *name, std::initializer_list<uint32_t> args);
    bool Fails(const char *name) const;
    void MakeBackBuffer();
    uint32_t NewSurface(const Surface &surface);
    Texture *FindTexture(uint32_t texture);
    Surface *FindSurface(uint32_t surface);
    Buffer *FindBuffer(uint32_t buffer);
    void SetDefaultStates();

    bool exists_ = false;
    bool inScene_ = false;
    DevicePresent present_{};
    std::vector<uint32_t> backBuffer_;  // ARGB, rows from the top
    DeviceViewport viewport_{};
    uint32_t target_ = 0;  // 0: the back buffer
    std::vector<Texture> textures_;
    std::vector<Surface> surfaces_;
    std::vector<Buffer> buffers_;
    struct Shader {
        bool alive;
        std::vector<uint32_t> code;
        std::vector<uint32_t> declaration;
    };
    std::vector<Shader> shaders_;
    uint32_t boundTextures_[DeviceStageCount] = {};
};
