#include "render/render_device.h"
#include "render/standard_textures.h"

#include "platform/gl_device.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

RenderDeviceRecord RenderDevice = [] {
    RenderDeviceRecord device{};
    device.FogEnabled = 1;
    device.DepthPreference = -1;
    return device;
}();

int BackBufferFormatChanged = 0;

int CompressTextures = 1;

namespace {

constexpr int MinModeWidth = 640;
constexpr int MinModeHeight = 480;
constexpr int MinBackBufferSide = 8;
constexpr int StartBackBufferWidth = 800;
constexpr int StartBackBufferHeight = 600;
constexpr int LostDeviceSleepMs = 50;
// Every mode may gain a twin at the display's default refresh rate.
constexpr int MaxCollectedModes = MaxDisplayModes * 2;
constexpr int MaxFormats = 16;

GraphicsDevice *ChosenDevice = nullptr;
void (*SleepMs)(int) = nullptr;
// A restore after a Reset failed: the next device check resets again.
bool RestoreFailed = false;

GraphicsDevice *System()
{
    return RenderDevice.Direct3D;
}

// --- Depth formats ----------------------------------------------------------------------

struct DepthCandidate {
    uint32_t format;
    int depthClass;
};

constexpr DepthCandidate DepthCandidates[4][6] = {
    {{RenderFormatD15S1, 0}, {RenderFormatD16, 1}, {RenderFormatD24X8, 2}, {RenderFormatD24S8, 2},
     {RenderFormatD24X4S4, 2}, {RenderFormatD32, 3}},
    {{RenderFormatD16, 1}, {RenderFormatD24X8, 2}, {RenderFormatD24S8, 2}, {RenderFormatD24X4S4, 2},
     {RenderFormatD32, 3}, {RenderFormatD15S1, 0}},
    {{RenderFormatD24X8, 2}, {RenderFormatD24S8, 2}, {RenderFormatD24X4S4, 2}, {RenderFormatD32, 3},
     {RenderFormatD16, 1}, {RenderFormatD15S1, 0}},
    {{RenderFormatD32, 3}, {RenderFormatD24X8, 2}, {RenderFormatD24S8, 2}, {RenderFormatD24X4S4, 2},
     {RenderFormatD16, 1}, {RenderFormatD15S1, 0}},
};

// --- Adapter enumeration -------------------------------------------------------------------

struct CollectedMode {
    int width;
    int height;
    int refresh;
    uint32_t format;
};

CollectedMode Collected[MaxCollectedModes];

// Width and height ascending, then format descending, then refresh ascending.
bool ModeComesFirst(const CollectedMode &a, const CollectedMode &b)
{
    if (a.width != b.width) {
        return a.width < b.width;
    }
    if (a.height != b.height) {
        return a.height < b.height;
    }
    if (a.format != b.format) {
        return static_cast<int32_t>(a.format) > static_cast<int32_t>(b.format);
    }
    return a.refresh < b.refresh;
}

uint8_t AspectClass(int width, int height)
{
    if (width * 3 == height * 4 || width * 4 == height * 5) {
        return 0;
    }
    if (height * 12 == width * 3 || height * 15 == width * 4) {
        return 1;
    }
    return 2;
}

bool Is16Bit(uint32_t format)
{
    return format == RenderFormatR5G6B5 || format == RenderFormatX1R5G5B5;
}

// Collects the display's modes of at least 640 x 480, each also at the
// default refresh rate, without repeats, in sorted order.
int CollectModes(int ordinal, uint32_t *formats, int *formatCount)
{
    int count = 0;
    const int modeCount = System()->ModeCount(ordinal);
    for (int i = 0; i < modeCount; ++i) {
        DeviceDisplayMode mode{};
        if (!System()->Mode(ordinal, i, &mode) || mode.width < MinModeWidth || mode.height < MinModeHeight) {
            continue;
        }
        const CollectedMode entry = {static_cast<int>(mode.width), static_cast<int>(mode.height),
                                     static_cast<int>(mode.refreshRate), mode.format};
        bool repeat = false;
        bool defaultTwin = false;
        for (int j = 0; j < count; ++j) {
            const CollectedMode &e = Collected[j];
            if (e.width == entry.width && e.height == entry.height && e.format == entry.format) {
                repeat = repeat || e.refresh == entry.refresh;
                defaultTwin = defaultTwin || e.refresh == 0;
            }
        }
        if (repeat) {
            continue;
        }
        if (count < MaxCollectedModes) {
            Collected[count++] = entry;
        }
        if (entry.refresh != 0 && !defaultTwin && count < MaxCollectedModes) {
            Collected[count] = entry;
            Collected[count].refresh = 0;
            ++count;
        }
        const bool known = std::find(formats, formats + *formatCount, entry.format) != formats + *formatCount;
        if (!known && *formatCount < MaxFormats) {
            formats[(*formatCount)++] = entry.format;
        }
    }
    std::stable_sort(Collected, Collected + count, ModeComesFirst);
    return count;
}

struct FormatChoice {
    uint32_t format;
    bool valid;
    uint32_t behaviour;
    uint32_t depthFormat;
};

// Fills the record at AdapterCount from display `ordinal`. True when the
// display has at least one usable mode.
bool EnumerateAdapter(int ordinal)
{
    AdapterRecord &adapter = RenderDevice.Adapters[RenderDevice.AdapterCount];
    adapter = AdapterRecord{};
    std::snprintf(adapter.description, sizeof(adapter.description), "%s", System()->AdapterDescription(ordinal));
    System()->DesktopMode(ordinal, &adapter.desktopMode);

    uint32_t formats[MaxFormats];
    int formatCount = 0;
    formats[formatCount++] = adapter.desktopMode.format;
    const int collected = CollectModes(ordinal, formats, &formatCount);
    System()->Caps(ordinal, &adapter.caps);

    FormatChoice choices[MaxFormats];
    for (int f = 0; f < formatCount; ++f) {
        FormatChoice &choice = choices[f];
        choice = {formats[f], false, 0, 0};
        if (!System()->CheckDisplayFormat(ordinal, choice.format)) {
            continue;
        }
        adapter.CanRenderWindowed = adapter.caps.canRenderWindowed ? 1 : 0;
        if (adapter.caps.vertexShaderVersion >= 0x101 && adapter.caps.hardwareTransform) {
            adapter.HardwareTnL = 1;
            if (RenderDevice.HardwareVertexProcessing) {
                choice.behaviour = MixedVertexProcessing;
                choice.valid = true;
            }
        }
        if (RenderDevice.DepthPreference == -1) {
            RenderDevice.DepthPreference = adapter.HardwareTnL ? 2 : 1;
        }
        if (!choice.valid) {
            choice.behaviour = SoftwareVertexProcessing;
            choice.valid = true;
        }
        choice.valid = CheckDepthFormats(ordinal, choice.format, &choice.depthFormat);
    }

    for (int i = 0; i < collected && adapter.modeCount < MaxDisplayModes; ++i) {
        const CollectedMode &mode = Collected[i];
        const FormatChoice *choice = nullptr;
        for (int f = 0; f < formatCount; ++f) {
            if (choices[f].format == mode.format) {
                choice = &choices[f];
            }
        }
        if (choice == nullptr || !choice->valid) {
            continue;
        }
        DisplayModeEntry &entry = adapter.modes[adapter.modeCount++];
        entry.width = static_cast<uint32_t>(mode.width);
        entry.height = static_cast<uint32_t>(mode.height);
        entry.format = mode.format;
        entry.behaviour = choice->behaviour;
        entry.depthFormat = choice->depthFormat;
        entry.skip = 0;
        entry.aspectClass = AspectClass(mode.width, mode.height);
        entry.is16Bit = Is16Bit(mode.format) ? 1 : 0;
        entry.refreshRate = static_cast<uint8_t>(mode.refresh & 255);
    }

    if (adapter.modeCount == 0) {
        RenderLog("adapter %d : no valid modes", ordinal);
        return false;
    }
    adapter.chosenMode = 0;
    adapter.ordinal = static_cast<uint32_t>(ordinal);
    RenderLog("adapter %d - valid modes : %u", ordinal, adapter.modeCount);
    return true;
}

// --- The device ---------------------------------------------------------------------------

AdapterRecord &CurrentAdapter()
{
    return RenderDevice.Adapters[RenderDevice.CurrentAdapter];
}

const DisplayModeEntry &ChosenMode()
{
    const AdapterRecord &adapter = CurrentAdapter();
    return adapter.modes[std::min(adapter.chosenMode, adapter.modeCount - 1)];
}

// The settings the device follows, read afresh before each use.
void TakeSettings()
{
    RenderDevice.VerticalSync = *RenderShell.verticalSync;
    RenderDevice.FogEnabled = *RenderShell.fogEnabled;
    RenderDevice.TestShadows = *RenderShell.testShadows;
}

// When the drawing area differs from the back buffer, the device takes the
// area's size and is reset to it.
void FollowClientSize()
{
    int width = 0;
    int height = 0;
    GetRenderClientSize(&width, &height);
    if (width > 0 && height > 0 &&
        (width != RenderDevice.BackBufferWidth || height != RenderDevice.BackBufferHeight)) {
        RenderDevice.BackBufferWidth = width;
        RenderDevice.BackBufferHeight = height;
        FillPresentParameters(RenderDevice.LockableBackBuffer);
        RenderDevice.Device->Reset(RenderDevice.PresentParams);
    }
}

void FetchSurfaces()
{
    GraphicsDevice *device = RenderDevice.Device;
    RenderDevice.BackBufferSurface = device->BackBufferSurface();
    RenderDevice.DepthSurface = device->DepthStencilSurface();
    RenderDevice.CurrentRenderTarget = 0;
}

void ReleaseSurfaces()
{
    GraphicsDevice *device = RenderDevice.Device;
    device->ReleaseSurface(RenderDevice.BackBufferSurface);
    device->ReleaseSurface(RenderDevice.DepthSurface);
    RenderDevice.BackBufferSurface = 0;
    RenderDevice.DepthSurface = 0;
}

void SetDeviceConstants()
{
    const float c93[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const float c95[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const float c92[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    SetVertexConstants(93, c93, 1);
    SetVertexConstants(95, c95, 1);
    SetVertexConstants(92, c92, 1);
}

// The states every frame starts from, through the cache.
void SetDefaultStates()
{
    const uint32_t lodBias = FloatBits(-1.0f);
    SetTextureStageStateCached(0, TssMipMapLodBias, lodBias);
    SetTextureStageStateCached(1, TssMipMapLodBias, lodBias);
    const uint32_t states[][2] = {
        {RsSpecularEnable, 0},
        {RsCullMode, CullCcw},
        {RsZFunc, CmpLessEqual},
        {RsLighting, 0},
        {RsAlphaBlendEnable, 0},
        {RsSrcBlend, BlendSrcAlpha},
        {RsDestBlend, BlendInvSrcAlpha},
        {RsAlphaTestEnable, 0},
        {RsAlphaRef, 128},
        {RsAlphaFunc, CmpGreaterEqual},
        {RsFillMode, 3},
        {RsZEnable, 1},
        {RsStencilEnable, 0},
        {RsClipping, 1},
        {RsEdgeAntialias, 0},
        {RsClipPlaneEnable, 0},
        {RsVertexBlend, 0},
        {RsIndexedVertexBlendEnable, 0},
        {RsFogEnable, 0},
        {RsDitherEnable, 1},
        {RsTextureFactor, 0xFFFFFFFFu},
    };
    for (const auto &state : states) {
        SetRenderStateCached(state[0], state[1]);
    }
    if (RenderDevice.FogEnabled) {
        ApplyFogMode(1);
    }
    SetTextureStageStateCached(0, TssColorOp, TopModulate);
    SetTextureStageStateCached(0, TssColorArg1, TaTexture);
    SetTextureStageStateCached(0, TssColorArg2, TaDiffuse);
    SetTextureStageStateCached(0, TssAlphaOp, TopModulate);
    SetTextureStageStateCached(0, TssAlphaArg1, TaTexture);
    SetTextureStageStateCached(0, TssAlphaArg2, TaDiffuse);
    for (int stage = 0; stage < 4; ++stage) {
        SetTextureStageStateCached(stage, TssMinFilter, TexfLinear);
        SetTextureStageStateCached(stage, TssMagFilter, TexfLinear);
        SetTextureStageStateCached(stage, TssMipFilter, TexfPoint);
    }
    for (int stage = 0; stage < 4; ++stage) {
        SetTextureStageStateCached(stage, TssTexCoordIndex, static_cast<uint32_t>(stage));
    }
    for (int stage = 1; stage < 4; ++stage) {
        SetTextureStageStateCached(stage, TssColorOp, TopDisable);
        SetTextureStageStateCached(stage, TssAlphaOp, TopDisable);
    }
}

void InitDeviceResources()
{
    RenderDevice.InScene = 0;
    CreateDefaultTextures();
    CreateDefaultMaterial();
}

void StopSystem()
{
    if (RenderDevice.Direct3D != nullptr) {
        RenderDevice.Direct3D->Stop();
    }
    RenderDevice.Direct3D = nullptr;
}

// Direct3DCreate8's part: the device's system, and state 1.
bool StartSystem()
{
    GraphicsDevice *device = ChosenDevice != nullptr ? ChosenDevice : PlatformGlDevice();
    if (!device->Start()) {
        device->Stop();
        return false;
    }
    RenderDevice.Direct3D = device;
    return true;
}

}  // namespace

// --- The device in use -----------------------------------------------------------------------

bool UseGraphicsDevice(GraphicsDevice *device)
{
    if (RenderDevice.RendererStarted != 0) {
        return false;
    }
    ChosenDevice = device;
    return true;
}

GraphicsDevice *GetGraphicsDevice()
{
    return ChosenDevice != nullptr ? ChosenDevice : PlatformGlDevice();
}

void SetRenderSleep(void (*sleepMs)(int ms))
{
    SleepMs = sleepMs;
}

// --- Start-up ---------------------------------------------------------------------------------

int StartRenderer(int hardwareVertexProcessing, int depthPreference, int wantedAdapter)
{
    if (RenderDevice.RendererStarted != 0) {
        return 0;
    }
    if (!StartSystem()) {
        return -1;
    }
    std::fill(std::begin(RenderDevice.DepthClassAvailable), std::end(RenderDevice.DepthClassAvailable), 0);
    RenderDevice.HardwareVertexProcessing = hardwareVertexProcessing != 0 ? 1 : 0;
    RenderDevice.DepthPreference = std::clamp(depthPreference, -1, 3);
    RenderDevice.BackBufferWidth = StartBackBufferWidth;
    RenderDevice.BackBufferHeight = StartBackBufferHeight;
    RenderDevice.Windowed = 1;
    if (!EnumerateAdapters(wantedAdapter)) {
        StopSystem();
        return -2;
    }
    BuildBitScanTables();
    RenderDevice.RendererStarted = 1;
    return 0;
}

bool EnumerateAdapters(int wantedAdapter)
{
    RenderDevice.AdapterCount = 0;
    const int count = System()->AdapterCount();
    RenderLog("number of adapters : %d", count);
    for (int ordinal = 0; ordinal < count && RenderDevice.AdapterCount < MaxAdapters; ++ordinal) {
        if (EnumerateAdapter(ordinal)) {
            ++RenderDevice.AdapterCount;
        }
    }
    if (RenderDevice.AdapterCount == 0) {
        return false;
    }
    const bool wantedUsable = wantedAdapter >= 0 && wantedAdapter < RenderDevice.AdapterCount;
    RenderDevice.CurrentAdapter = wantedUsable ? wantedAdapter : 0;
    if (RenderDevice.AdapterCount > 1) {
        RenderLog("using adapter : %d", RenderDevice.CurrentAdapter);
    }
    if (RenderDevice.HardwareVertexProcessing && !CurrentAdapter().HardwareTnL) {
        RenderDevice.HardwareVertexProcessing = 0;
    }
    return true;
}

bool CheckDepthFormats(int adapter, uint32_t displayFormat, uint32_t *depthFormat)
{
    const int preference = std::clamp(RenderDevice.DepthPreference, 0, 3);
    bool found = false;
    for (const DepthCandidate &candidate : DepthCandidates[preference]) {
        if (!System()->CheckDepthFormat(adapter, displayFormat, candidate.format)) {
            continue;
        }
        RenderDevice.DepthClassAvailable[candidate.depthClass] = 1;
        if (!found) {
            found = true;
            *depthFormat = candidate.format;
            RenderDevice.DepthPreference = candidate.depthClass;
        }
    }
    return found;
}

void FillPresentParameters(int lockable)
{
    TakeSettings();
    RenderDevice.LockableBackBuffer = lockable;
    const DisplayModeEntry &mode = ChosenMode();
    PresentParameters &params = RenderDevice.PresentParams;
    params = PresentParameters{};
    params.bufferCount = 1;
    params.autoDepthStencil = 1;
    params.windowed = RenderDevice.Windowed;
    params.depthFormat = mode.depthFormat;
    params.lockableBackBuffer = lockable ? 1 : 0;
    params.width = std::max(RenderDevice.BackBufferWidth, MinBackBufferSide);
    params.height = std::max(RenderDevice.BackBufferHeight, MinBackBufferSide);
    params.format = RenderDevice.Windowed ? CurrentAdapter().desktopMode.format : mode.format;
    params.multiSample = 0;
    if (RenderDevice.MultiSample != 1 &&
        System()->CheckMultiSample(static_cast<int>(CurrentAdapter().ordinal), params.format, params.windowed,
                                   RenderDevice.MultiSample)) {
        params.multiSample = RenderDevice.MultiSample;
    }
    if (params.format != RenderDevice.BackBufferFormat) {
        BackBufferFormatChanged = 1;
    }
    RenderDevice.BackBufferFormat = params.format;
    if (!RenderDevice.Windowed) {
        params.bufferCount = RenderDevice.VerticalSync ? 2 : 1;
        params.interval = RenderDevice.VerticalSync ? PresentIntervalOne : PresentIntervalImmediate;
        params.refreshRate = mode.refreshRate;
    }
}

int CreateRenderDevice(int modeIndex)
{
    if (RenderDevice.RendererStarted == 2) {
        return 0;
    }
    if (RenderDevice.RendererStarted == 0) {
        if (RenderDevice.AdapterCount == 0 || !StartSystem()) {
            return -1;
        }
        RenderDevice.RendererStarted = 1;
    }
    AdapterRecord &adapter = CurrentAdapter();
    if (modeIndex != -1) {
        adapter.chosenMode = static_cast<uint32_t>(std::clamp(modeIndex, 0, static_cast<int>(adapter.modeCount) - 1));
    }
    FillPresentParameters(RenderDevice.LockableBackBuffer);
    BackBufferFormatChanged = 1;
    if (System()->Create(static_cast<int>(adapter.ordinal), RenderDevice.PresentParams, ChosenMode().behaviour) !=
        DeviceOk) {
        RenderLog("Can't Create Device");
        StopSystem();
        RenderDevice.RendererStarted = 0;
        return -1;
    }
    RenderDevice.Device = System();
    ForgetVertexShader();
    FollowClientSize();
    FetchSurfaces();
    // Now that the device exists its capabilities and name are known.
    System()->Caps(static_cast<int>(adapter.ordinal), &adapter.caps);
    RenderDevice.DeviceCaps = adapter.caps;
    const char *renderer = System()->RendererName();
    if (renderer[0] != 0) {
        std::snprintf(adapter.description, sizeof(adapter.description), "%s", renderer);
    }
    LoadStateCache();
    SetDefaultStates();
    FlushStateCache();
    SetDeviceConstants();
    InitDeviceResources();
    SetPerspective(1.0f, 0.0f, 1.0f, 0.0f, 0.0f);
    ResetWorldMatrix();
    SetViewportRect(0, 0, 0, 0);
    CreateBatchBuffers();
    RenderDevice.RendererStarted = 2;
    return 0;
}

// --- Release and restore around a Reset -----------------------------------------------------------

void ReleaseDeviceResources()
{
    if (RenderDevice.Device == nullptr) {
        return;
    }
    EndRenderScene();
    EndRenderToTexture();
    ReleaseSurfaces();
    ReleaseDepthSurfaces();
    ReleaseDynamicIndexBuffers();
    ReleaseDynamicVertexBuffers();
    ReleaseRenderTargetTextures();
    ReleaseVertexShaders();
}

void RestoreDeviceResources()
{
    if (RenderDevice.Device == nullptr) {
        return;
    }
    ReloadStateCache();
    const bool indices = RestoreDynamicIndexBuffers() == 0;
    const bool vertices = RestoreDynamicVertexBuffers() == 0;
    const bool targets = RestoreRenderTargetTextures() == 0;
    RestoreFailed = !(indices && vertices && targets);
    ForgetVertexShader();
    SetDeviceConstants();
    ResetWorldMatrix();
    ClearFrame(0, ClearTarget | ClearZBuffer);
    PresentFrame();
    FetchSurfaces();
}

void ChangeDisplayMode(int width, int height, int modeIndex, int windowed, int multiSample)
{
    if (RenderDevice.RendererStarted == 0 || RenderDevice.AdapterCount == 0) {
        return;
    }
    AdapterRecord &adapter = CurrentAdapter();
    bool modeChanged = false;
    if (modeIndex != -1) {
        const uint32_t mode = static_cast<uint32_t>(std::clamp(modeIndex, 0, static_cast<int>(adapter.modeCount) - 1));
        modeChanged = mode != adapter.chosenMode;
        adapter.chosenMode = mode;
    }
    windowed = windowed != 0 ? 1 : 0;
    if (!modeChanged && width == RenderDevice.BackBufferWidth && height == RenderDevice.BackBufferHeight &&
        windowed == RenderDevice.Windowed && multiSample == RenderDevice.MultiSample) {
        return;
    }
    if (RenderDevice.RendererStarted != 2) {
        RenderDevice.BackBufferWidth = width;
        RenderDevice.BackBufferHeight = height;
        RenderDevice.Windowed = windowed;
        RenderDevice.MultiSample = multiSample;
        return;
    }
    ReleaseDeviceResources();
    RenderDevice.BackBufferWidth = width;
    RenderDevice.BackBufferHeight = height;
    RenderDevice.Windowed = windowed;
    RenderDevice.MultiSample = multiSample;
    FillPresentParameters(RenderDevice.LockableBackBuffer);
    RenderDevice.Device->Reset(RenderDevice.PresentParams);
    FollowClientSize();
    RestoreDeviceResources();
    SetViewportRect(0, 0, 0, 0);
}

void ResetRenderDevice()
{
    if (RenderDevice.RendererStarted != 2) {
        return;
    }
    ReleaseDeviceResources();
    FillPresentParameters(RenderDevice.LockableBackBuffer);
    RenderDevice.Device->Reset(RenderDevice.PresentParams);
    RestoreDeviceResources();
    SetViewportRect(0, 0, 0, 0);
}

bool CheckRenderDevice()
{
    if (RenderDevice.RendererStarted != 2 || RenderDevice.Device == nullptr) {
        return false;
    }
    uint32_t level = RenderDevice.Device->TestCooperativeLevel();
    if (level == DeviceOk && RestoreFailed) {
        // The device is fine but some of what the last Reset lost is not
        // back: go through the Reset again.
        level = DeviceNotReset;
    }
    if (level == DeviceOk) {
        return true;
    }
    if (level == DeviceLost) {
        (SleepMs != nullptr ? SleepMs : PlatformSleepMs)(LostDeviceSleepMs);
        return false;
    }
    if (level == DeviceNotReset) {
        ReleaseDeviceResources();
        RenderDevice.Device->Reset(RenderDevice.PresentParams);
        RestoreDeviceResources();
    }
    return false;
}

// --- Frames and scenes ----------------------------------------------------------------------------

void ClearFrame(uint32_t colour, uint32_t flags)
{
    if (RenderDevice.Device != nullptr) {
        RenderDevice.Device->Clear(flags, colour, 1.0f, 0);
    }
}

void ResetTextureStages()
{
    for (int stage = 0; stage < 2; ++stage) {
        SetTextureStageStateCached(stage, TssAddressU, TaddressWrap);
        SetTextureStageStateCached(stage, TssAddressV, TaddressWrap);
    }
    SetStageTexture(1, nullptr);
    SetTextureStageStateCached(0, TssColorOp, TopModulate);
    SetTextureStageStateCached(0, TssColorArg1, TaTexture);
    SetTextureStageStateCached(0, TssColorArg2, TaDiffuse);
    SetTextureStageStateCached(1, TssColorOp, TopDisable);
    SetTextureStageStateCached(1, TssAlphaOp, TopDisable);
    SetRenderStateCached(RsAlphaTestEnable, 0);
    SetRenderStateCached(RsSpecularEnable, 0);
}

void BeginRenderScene()
{
    if (RenderDevice.InScene || RenderDevice.Device == nullptr) {
        return;
    }
    RenderDevice.Device->BeginScene();
    RenderDevice.InScene = 1;
    SetStageTexture(0, nullptr);
    SetStageTexture(1, nullptr);
    ResetTextureStages();
    SelectDefaultMaterial();
    ResetWorldMatrix();
    UseDefaultVertexConstants();
}

void EndRenderScene()
{
    if (!RenderDevice.InScene) {
        return;
    }
    FlushAllBatches();
    FlushStateCache();
    if (RenderDevice.Device != nullptr) {
        RenderDevice.Device->EndScene();
    }
    RenderDevice.InScene = 0;
}

void PresentFrame()
{
    EndRenderScene();
    NewBatchFrame();
    if (RenderDevice.Device != nullptr) {
        RenderDevice.Device->Present();
    }
}

// --- Rendering into textures -----------------------------------------------------------------------

int BeginRenderToTexture(uint32_t texture, int withDepth)
{
    if (texture == 0 || RenderDevice.Device == nullptr) {
        return 0;
    }
    EndRenderScene();
    const uint32_t surface = RenderDevice.Device->TextureSurface(texture, 0);
    if (surface == 0) {
        BeginRenderScene();
        return 0;
    }
    SetRenderTargetSurface(surface, withDepth);
    RenderDevice.Device->ReleaseSurface(surface);
    return 1;
}

int BeginRenderToTexture(TextureRecord *record, int withDepth)
{
    return record != nullptr ? BeginRenderToTexture(record->texture, withDepth) : 0;
}

void SetRenderTargetSurface(uint32_t surface, int withDepth)
{
    GraphicsDevice *device = RenderDevice.Device;
    if (device == nullptr) {
        return;
    }
    if (RenderDevice.CurrentRenderTarget == 0) {
        RenderDevice.SavedWidth = RenderDevice.BackBufferWidth;
        RenderDevice.SavedHeight = RenderDevice.BackBufferHeight;
    }
    RenderDevice.CurrentRenderTarget = surface;
    if (surface == 0) {
        ClearCurrentMaterial();
        return;
    }
    int width = 0;
    int height = 0;
    device->SurfaceSize(surface, &width, &height);
    RenderDevice.BackBufferWidth = width;
    RenderDevice.BackBufferHeight = height;
    const uint32_t depth = withDepth ? GetDepthSurface(width) : 0;
    device->SetRenderTarget(surface, depth);
    RenderDevice.SavedViewport = RenderDevice.Viewport;
    SetViewportRect(0, 0, 0, 0);
    SetRenderStateCached(RsZEnable, withDepth ? 1 : 0);
    FlushStateCache();
    ClearCurrentMaterial();
}

void EndRenderToTexture()
{
    if (RenderDevice.CurrentRenderTarget != 0) {
        EndRenderScene();
        RenderDevice.BackBufferWidth = RenderDevice.SavedWidth;
        RenderDevice.BackBufferHeight = RenderDevice.SavedHeight;
        if (RenderDevice.Device != nullptr) {
            RenderDevice.Device->SetRenderTarget(RenderDevice.BackBufferSurface, RenderDevice.DepthSurface);
        }
        RenderDevice.CurrentRenderTarget = 0;
        SetViewportRecord(RenderDevice.SavedViewport);
    }
    SetRenderStateCached(RsZEnable, 1);
    FlushStateCache();
    ClearCurrentMaterial();
}

uint32_t GetDepthSurface(int side)
{
    if (side == 0) {
        return RenderDevice.DepthSurface;
    }
    const auto found = RenderDevice.DepthSurfaceMap.find(side);
    if (found != RenderDevice.DepthSurfaceMap.end()) {
        return found->second;
    }
    uint32_t surface = 0;
    if (RenderDevice.Device == nullptr ||
        RenderDevice.Device->CreateDepthSurface(side, side, RenderFormatD16, &surface) != DeviceOk || surface == 0) {
        return 0;
    }
    RenderDevice.DepthSurfaceMap[side] = surface;
    return surface;
}

void ReleaseDepthSurfaces()
{
    if (RenderDevice.Device != nullptr) {
        for (const auto &entry : RenderDevice.DepthSurfaceMap) {
            RenderDevice.Device->ReleaseSurface(entry.second);
        }
    }
    RenderDevice.DepthSurfaceMap.clear();
}

// --- Viewport --------------------------------------------------------------------------------------

void SetViewportRect(int x, int y, int width, int height)
{
    RenderViewport viewport{};
    viewport.x = x;
    viewport.y = y;
    viewport.width = width;
    viewport.height = height;
    if (width == 0 || height == 0) {
        viewport.width = RenderDevice.BackBufferWidth;
        viewport.height = RenderDevice.BackBufferHeight;
    }
    viewport.minZ = 0.0f;
    viewport.maxZ = 1.0f;
    SetViewportRecord(viewport);
}

void SetViewportRecord(const RenderViewport &viewport)
{
    RenderDevice.Viewport = viewport;
    if (viewport.width == 0 || viewport.height == 0 || RenderDevice.Device == nullptr) {
        return;
    }
    RenderDevice.Device->SetViewport(viewport);
}

// --- Release and shut-down ---------------------------------------------------------------------------

void ReleaseRenderResources(int recreate)
{
    EndRenderScene();
    ReleaseBatchBuffers();
    DeleteAllRenderObjects();
    ReleaseRenderObjectBuffers();
    ReleaseVertexShaders();
    DeleteAllMaterials(recreate);
    ReleaseAllTextures(recreate);
    ForgetStandardTextures();
    ReleaseVertexBuffers();
    ReleaseIndexBuffers();
    ReleaseDepthSurfaces();
    if (recreate) {
        CreateBatchBuffers();
    }
}

void FreeDeviceResources()
{
    EndRenderScene();
    EndRenderToTexture();
    DeleteAllRenderObjects();
    ReleaseRenderObjectBuffers();
    ReleaseVertexShaders();
    DeleteAllMaterials(0);
    ReleaseAllTextures(0);
    ReleaseVertexBuffers();
    ReleaseDepthSurfaces();
}

void ShutDownRenderer()
{
    if (RenderDevice.RendererStarted == 0) {
        return;
    }
    for (AdapterRecord &adapter : RenderDevice.Adapters) {
        adapter.modeCount = 0;
    }
    if (RenderDevice.Device != nullptr) {
        ReleaseRenderResources(0);
        FreeDeviceResources();
        UnloadStateCache();
        ReleaseSurfaces();
        RenderDevice.Device->Release();
    }
    RenderDevice.AdapterCount = 0;
    RenderDevice.CurrentAdapter = 0;
    RenderDevice.Device = nullptr;
    RenderDevice.InScene = 0;
    StopSystem();
    RenderDevice.RendererStarted = 0;
}

const AdapterRecord *GetCurrentDisplayMode()
{
    if (RenderDevice.RendererStarted == 0 || RenderDevice.AdapterCount == 0) {
        return nullptr;
    }
    return &CurrentAdapter();
}

void GetRenderClientSize(int *width, int *height)
{
    int w = 0;
    int h = 0;
    GraphicsDevice *device = RenderDevice.Direct3D != nullptr ? RenderDevice.Direct3D : GetGraphicsDevice();
    if (!device->ClientSize(&w, &h)) {
        if (PlatformHasWindow()) {
            const PlatformRect rect = PlatformGetClientRect();
            w = rect.right - rect.left;
            h = rect.bottom - rect.top;
        } else {
            // No window: one that always has the size the program gives it.
            w = *RenderShell.screenWidth;
            h = *RenderShell.screenHeight;
        }
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
}
