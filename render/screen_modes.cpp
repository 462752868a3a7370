#include "render/screen_modes.h"

#include "core/colour.h"
#include "render/render_device.h"
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

namespace {

uint32_t ModeStack[DisplayModeStackSize] = {DisplayModeMenu};
int ModeStackTop = 0;

bool DeviceExists()
{
    return RenderDevice.RendererStarted == 2;
}

}  // namespace

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
            // The background picture goes over the black once textures exist.
            ClearFrame(0, ClearTarget | ClearZBuffer);
        }
    }
}

void SyncGpuFrame()
{
    // Keeping the card from running ahead ("Lag Prevent ") is not done yet.
    FrameBegun = 1;
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
    // The filter states of stage 0 follow "Mip Filter " once the standard
    // textures are loaded; the bias is sent again on the frame's first bind.
    ForgetLastLodClass();
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
