#include "render/screen_modes.h"

#include "core/colour.h"
#include "core/settings.h"
#include "platform/window.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/state_cache.h"
#include "render/render_link.h"
#include "render/software_raster.h"
#include "render/standard_textures.h"
#include "render/texture_manager.h"

#include <algorithm>
#include <cstdio>

int FrameBegun = 0;
int DisplaySwitchBusy = 0;
float ScreenCentreOffsetX = 1.0f;
float ScreenCentreOffsetY = 1.0f;
PixelPacker BackBufferPacker = PackRgbNoAlpha;
int BackBufferPixelBits = 32;
PixelPacker PackPixelColour = PackRgb;
DisplayModeEntry RememberedFullScreenMode{};

namespace {

uint32_t ModeStack[DisplayModeStackSize] = {DisplayModeMenu};
int ModeStackTop = 0;

bool DeviceExists()
{
    return RenderDevice.RendererStarted == 2;
}

// The sync target rendered next ("Lag Prevent ").
int SyncIndex = 0;

// The menus' picture over the whole screen: the middle of the picture as
// wide as the screen's shape allows, depth writes off meanwhile.
void DrawBackgroundPicture()
{
    Material *picture = StandardMaterials.background;
    if (picture == nullptr || (TextureLinks.noBackground != nullptr && TextureLinks.noBackground())) {
        return;
    }
    float aspect = 1.0f;
    float pixelWidth = 0.0f;
    float pixelHeight = 0.0f;
    if (TextureLinks.screenMetrics != nullptr) {
        TextureLinks.screenMetrics(&aspect, &pixelWidth, &pixelHeight);
    }
    constexpr float Edge = 1.0f / 2048.0f;
    const float u0 = BackgroundQuadU0(aspect);
    const float u1 = 1.0f - u0;
    const float x0 = -1.0f - pixelWidth;
    const float x1 = 1.0f + pixelWidth;
    const float y0 = -1.0f - pixelHeight;
    const float y1 = 1.0f + pixelHeight;
    constexpr uint32_t White = 0xFFFFFFFFu;
    SetRenderStateCached(RsZWriteEnable, 0);
    BeginScreenBatch(picture);
    const uint16_t a = AddScreenVertex(x0, y0, u0, Edge, White);
    const uint16_t b = AddScreenVertex(x1, y0, u1, Edge, White);
    const uint16_t c = AddScreenVertex(x1, y1, u1, 1.0f - Edge, White);
    const uint16_t d = AddScreenVertex(x0, y1, u0, 1.0f - Edge, White);
    AddScreenQuad(a, b, c, d);
    FlushScreenBatch();
    SetRenderStateCached(RsZWriteEnable, 1);
}

}  // namespace

float BackgroundQuadU0(float aspect)
{
    return std::max(1.0f / 2048.0f, (1.0f - aspect) / 2.0f);
}

// --- Display-mode stack ---------------------------------------------------------------

void PushDisplayMode(uint32_t mode)
{
    if (ModeStackTop < DisplayModeStackSize - 1) {
        ModeStack[++ModeStackTop] = mode;
    }
}

void PopDisplayMode()
{
    if (ModeStackTop > 0) {
        --ModeStackTop;
    }
}

void ReplaceDisplayMode(uint32_t mode)
{
    if (ModeStack[ModeStackTop] == DisplayModeMenuOver) {
        PopDisplayMode();
        PushDisplayMode(mode);
        PushDisplayMode(DisplayModeMenuOver);
    } else {
        PushDisplayMode(mode);
    }
}

void RemoveDisplayMode()
{
    if (ModeStack[ModeStackTop] == DisplayModeMenuOver) {
        PopDisplayMode();
        PopDisplayMode();
        PushDisplayMode(DisplayModeMenuOver);
    } else {
        PopDisplayMode();
    }
}

void ClearDisplayModeStack()
{
    ModeStackTop = 0;
    ModeStack[0] = DisplayModeMenu;
}

uint32_t TopDisplayMode()
{
    return ModeStack[ModeStackTop];
}

// --- Frame control --------------------------------------------------------------------------

void DrawFrameBackground()
{
    if (FrameBegun) {
        return;
    }
    const uint32_t mode = TopDisplayMode();
    if (mode == DisplayModeGroundClear) {
        const uint32_t colour = RenderShell.viewGroundColour();
        SyncGpuFrame();
        const int skipped = BeginDrawFrame();
        *RenderShell.noDrawFlag |= skipped;
        if (!skipped) {
            ClearFrame(colour, ClearTarget | ClearZBuffer);
        }
    } else if (mode == DisplayModeMenu || mode == DisplayModeMenuOver) {
        SyncGpuFrame();
        const int skipped = BeginDrawFrame();
        *RenderShell.noDrawFlag |= skipped;
        if (!skipped) {
            ClearFrame(0, ClearTarget | ClearZBuffer);
            DrawBackgroundPicture();
        }
    }
}

void SyncGpuFrame()
{
    FrameBegun = 1;
    if (LagPrevent == 0 || RenderDevice.Device == nullptr) {
        return;
    }
    // Render a clear into one small target and read back the other, drawn a
    // frame earlier: the processor waits until the card has finished it.
    GraphicsDevice *device = RenderDevice.Device;
    const uint32_t target = BlockSurf[SyncIndex];
    if (target != 0) {
        device->SetRenderTarget(target, 0);
        device->Clear(ClearTarget, 0xFFFF0000u, 1.0f, 0);
        device->SetRenderTarget(RenderDevice.BackBufferSurface, RenderDevice.DepthSurface);
    }
    SyncIndex ^= 1;
    const uint32_t other = BlockSurf[SyncIndex];
    if (other != 0) {
        DeviceLockedRect locked{};
        const uint32_t flags = LockReadOnly | (LagPrevent == 2 ? 0u : LockNoSysLock);
        if (device->LockSurface(other, &locked, flags) == DeviceOk) {
            device->UnlockSurface(other);
        }
    }
}

int BeginDrawFrame()
{
    if (!CheckRenderDevice()) {
        return 1;
    }
    BeginRenderScene();
    ApplyTextureFilterSettings();
    return 0;
}

void EndDrawFrame()
{
    EndRenderScene();
}

void ApplyTextureFilterSettings()
{
    ForgetLastLodClass();
    uint32_t mag = 2;
    uint32_t min = 2;
    uint32_t mip = 1;
    uint32_t anisotropy = 1;
    if (StateCacheReloaded) {
        // The first frame after the states were sent again.
        StateCacheReloaded = 0;
    } else if (MipFilter == 1) {
        mip = 2;
    } else if (MipFilter >= 2) {
        mag = 3;
        min = 3;
        mip = 3;
        anisotropy = static_cast<uint32_t>(MipFilter);
    }
    SetTextureStageStateCached(0, TssMagFilter, mag);
    SetTextureStageStateCached(0, TssMinFilter, min);
    SetTextureStageStateCached(0, TssMipFilter, mip);
    SetTextureStageStateCached(0, TssMaxAnisotropy, anisotropy);
    FlushStateCache();
}

// --- Graphics start and display switches --------------------------------------------------------------

int StartGraphics()
{
    RenderDevice.BackBufferHeight = *RenderShell.screenHeight;
    RenderDevice.Windowed = *RenderShell.windowed != 0 ? 1 : 0;
    RenderDevice.BackBufferWidth = *RenderShell.screenWidth;
    RenderDevice.MultiSample = *RenderShell.antialiasing;
    RenderDevice.VerticalSync = *RenderShell.verticalSync;
    RenderDevice.FogEnabled = *RenderShell.fogEnabled;
    RenderDevice.TestShadows = *RenderShell.testShadows;
    DisplaySwitchBusy = 1;
    if (CreateRenderDevice(*RenderShell.fullScreenModeIndex) != 0) {
        RenderLog("Could not initialise KZVE");
        return 0;
    }
    LogScreenDimensions("initialise graphics");
    RenderShell.applyViewGeometry();
    DisplaySwitchBusy = 0;
    PlatformRaiseWindow();
    return 1;
}

void StopGraphics()
{
    DisplaySwitchBusy = 1;
    ShutDownRenderer();
    DisplaySwitchBusy = 0;
}

int GoFullScreen(int modeIndex)
{
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    if (adapter == nullptr || adapter->modeCount == 0) {
        return 0;
    }
    *RenderShell.fullScreenModeIndex = std::clamp(modeIndex, 0, static_cast<int>(adapter->modeCount) - 1);
    const DisplayModeEntry &mode = *GetSelectedDisplayMode();
    RememberedFullScreenMode = mode;
    *RenderShell.windowed = 0;
    if (!DisplaySwitchBusy && DeviceExists()) {
        RenderShell.shutDownInputDevices();
        DisplaySwitchBusy = 1;
        *RenderShell.screenWidth = static_cast<int>(mode.width);
        *RenderShell.screenHeight = static_cast<int>(mode.height);
        RenderShell.applyWindowStyle();
        ChangeDisplayMode(static_cast<int>(mode.width), static_cast<int>(mode.height),
                          *RenderShell.fullScreenModeIndex, 0, RenderDevice.MultiSample);
        LogScreenDimensions("go full screen");
        RenderTextureState = 2;
        RenderShell.restartWorldGraphics();
        DisplaySwitchBusy = 0;
        RenderShell.requestInputRestart();
    }
    RenderShell.applyViewGeometry();
    RenderShell.updateCursorClip();
    return 1;
}

int GoToWindow()
{
    if (CanGoToWindow()) {
        return 0;
    }
    *RenderShell.windowed = 1;
    if (!DisplaySwitchBusy && DeviceExists()) {
        RenderShell.shutDownInputDevices();
        DisplaySwitchBusy = 1;
        RenderShell.applyWindowStyle();
        GetRenderClientSize(RenderShell.screenWidth, RenderShell.screenHeight);
        ChangeDisplayMode(*RenderShell.screenWidth, *RenderShell.screenHeight, -1, 1, RenderDevice.MultiSample);
        LogScreenDimensions("go to window");
        RenderTextureState = 2;
        RenderShell.restartWorldGraphics();
        DisplaySwitchBusy = 0;
        RenderShell.requestInputRestart();
    }
    RenderShell.applyViewGeometry();
    RenderShell.updateCursorClip();
    return 1;
}

int ResizeWindowedDevice()
{
    if (!DisplaySwitchBusy && DeviceExists()) {
        int width = 0;
        int height = 0;
        GetRenderClientSize(&width, &height);
        if (RenderDevice.Windowed) {
            *RenderShell.screenWidth = width;
            *RenderShell.screenHeight = height;
            // A minimised window has no client area; the device keeps its size.
            if (width != 0 && height != 0) {
                ChangeDisplayMode(width, height, -1, RenderDevice.Windowed, RenderDevice.MultiSample);
                LogScreenDimensions("resize");
                RenderTextureState = 2;
                RenderShell.restartWorldGraphics();
            }
        }
        RenderShell.applyViewGeometry();
    }
    RenderShell.updateCursorClip();
    return 0;
}

int CanGoToWindow()
{
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    if (adapter == nullptr) {
        return 0;
    }
    if (adapter->ordinal != 0) {
        RenderWarning("Can't go to window - not using the primary adapter");
        return 1;
    }
    if (!adapter->CanRenderWindowed) {
        RenderWarning("This adapter can't render in windowed mode");
        return 1;
    }
    return 0;
}

const DisplayModeEntry *GetSelectedDisplayMode()
{
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    if (adapter == nullptr || adapter->modeCount == 0) {
        return nullptr;
    }
    const int index = std::clamp(*RenderShell.fullScreenModeIndex, 0, static_cast<int>(adapter->modeCount) - 1);
    return &adapter->modes[index];
}

void LogScreenDimensions(const char *reason)
{
    if (RenderDevice.BackBufferWidth == *RenderShell.screenWidth &&
        RenderDevice.BackBufferHeight == *RenderShell.screenHeight) {
        return;
    }
    char text[160];
    std::snprintf(text, sizeof(text), "Screen dimensions changed : %s", reason != nullptr ? reason : "");
    RenderWarning(text);
    *RenderShell.screenWidth = RenderDevice.BackBufferWidth;
    *RenderShell.screenHeight = RenderDevice.BackBufferHeight;
}

// --- Colour packers -------------------------------------------------------------------------------------

const char *SelectPixelFormat()
{
    BackBufferFormatChanged = 0;
    const char *name = "unknown";
    switch (RenderDevice.BackBufferFormat) {
    case RenderFormatA8R8G8B8:
        BackBufferPacker = PackRgbNoAlpha;
        BackBufferPixelBits = 32;
        name = "A888";
        break;
    case RenderFormatX8R8G8B8:
        BackBufferPacker = PackRgbNoAlpha;
        BackBufferPixelBits = 32;
        name = "X888";
        break;
    case RenderFormatR5G6B5:
        BackBufferPacker = PackRgb565;
        BackBufferPixelBits = 16;
        name = "565";
        break;
    case RenderFormatX1R5G5B5:
        BackBufferPacker = PackRgb555;
        BackBufferPixelBits = 16;
        name = "X555";
        break;
    default:
        break;
    }
    SetPixelPacker();
    return name;
}

void SetPixelPacker()
{
    RasterTarget.pixelBits = BackBufferPixelBits;
    RasterTarget.packer = BackBufferPacker;
    PackPixelColour = PackRgb;
}
