#pragma once

#include "platform/graphics_device.h"

#include <cstdint>
#include <map>

// The render layer's one drawing device: the adapters and their display
// modes, the device's creation with its default states, frame and scene
// control (begin, end, clear, present), rendering into textures with shared
// depth surfaces, the viewport, display mode changes, lost-device recovery
// and shut-down. The device itself is a GraphicsDevice: the OpenGL device
// on the main window, or one handed over with UseGraphicsDevice (the
// recording device of tests and of runs without a window).

// --- Start-up failures ------------------------------------------------------------

// The message boxes the shell shows when StartRenderer fails: -1 (no
// OpenGL) and -2 (no usable display mode).
constexpr const char *NoGraphicsCaption = "Could not initialise OpenGL";
constexpr const char *NoGraphicsText = "OpenGL 3.3 with clip control or later is required";
constexpr const char *NoScreenModesCaption = "Could not detect any suitable screen modes";
constexpr const char *NoScreenModesText = "Probable error in graphics driver";

// --- The device in use ---------------------------------------------------------------

// The device of the next StartRenderer; null: the OpenGL device. Refused
// (false) while the renderer is started.
bool UseGraphicsDevice(GraphicsDevice *device);
GraphicsDevice *GetGraphicsDevice();
// How the lost-device wait sleeps; null: the system's sleep.
void SetRenderSleep(void (*sleepMs)(int ms));

// --- Display modes --------------------------------------------------------------------

// How a device in a display format processes vertices.
constexpr uint32_t MixedVertexProcessing = 0x80;
constexpr uint32_t SoftwareVertexProcessing = 0x20;

// One usable display mode of an adapter.
struct DisplayModeEntry {
    uint32_t width;
    uint32_t height;
    uint32_t format;       // RenderFormat of the display
    uint32_t behaviour;    // vertex processing of a device in this format
    uint32_t depthFormat;  // depth buffer of a device in this format
    uint8_t skip;          // 1: not to be offered (never set so far)
    uint8_t aspectClass;   // 0: 4:3 or 5:4; 1: three such screens side by side; 2: other
    uint8_t is16Bit;       // 1 for R5G6B5 and X1R5G5B5
    uint8_t refreshRate;   // Hz (low byte); 0: the display's default
};
static_assert(sizeof(DisplayModeEntry) == 24, "display mode entries are 24 bytes");

using RenderDisplayMode = DeviceDisplayMode;

constexpr int MaxAdapters = 8;
constexpr int MaxDisplayModes = 256;

// A display with at least one usable mode.
struct AdapterRecord {
    char description[512];        // the display's name; the renderer's once the device exists
    RenderDisplayMode desktopMode;
    DeviceCapsRecord caps;        // what a device on it can do
    uint8_t CanRenderWindowed;
    uint8_t HardwareTnL;
    uint32_t ordinal;             // the system's display number
    uint32_t modeCount;
    DisplayModeEntry modes[MaxDisplayModes];  // width, height ascending, format descending, refresh ascending
    uint32_t chosenMode;
};

// --- The device ----------------------------------------------------------------------

using RenderViewport = DeviceViewport;
using PresentParameters = DevicePresent;

struct RenderDeviceRecord {
    GraphicsDevice *Direct3D;        // the device's system, once started
    GraphicsDevice *Device;          // the same, once the device exists
    PresentParameters PresentParams;
    AdapterRecord Adapters[MaxAdapters];
    int AdapterCount;
    int CurrentAdapter;
    int RendererStarted;             // 0 nothing, 1 adapters known, 2 device exists
    int BackBufferWidth;             // of the current target
    int BackBufferHeight;
    int Windowed;
    int MultiSample;                 // wanted multisample type; 1 counts as none
    int LockableBackBuffer;
    int VerticalSync;                // "Vertical Sync ": full screen waits for the vertical blank
    int FogEnabled;                  // "Haze Effect "
    int TestShadows;                 // "Test Shadows "
    int DepthPreference;             // depth class 0..3, -1 automatic; the class found after start
    int HardwareVertexProcessing;    // 1: the current adapter does vertex processing itself
    int DepthClassAvailable[4];
    uint32_t BackBufferFormat;
    uint32_t BackBufferSurface;
    uint32_t DepthSurface;
    uint32_t CurrentRenderTarget;    // a texture's surface while rendering into it, else 0
    int SavedWidth;
    int SavedHeight;
    RenderViewport Viewport;
    RenderViewport SavedViewport;
    int InScene;
    DeviceCapsRecord DeviceCaps;
    std::map<int, uint32_t> DepthSurfaceMap;  // depth surfaces of square targets by side
};

extern RenderDeviceRecord RenderDevice;

// Set when the back buffer's format changed (and when the device is made);
// SelectPixelFormat clears it.
extern int BackBufferFormatChanged;

// --- Capability globals -----------------------------------------------------------------
// The shell's LogDeviceCaps lowers them to what the device can do.

extern int CompressTextures;    // 1: textures are compressed when loaded

// --- Operations ------------------------------------------------------------------------------

// Once per run (0 at once when started): finds the adapters and their modes.
// hardwareVertexProcessing is the wish to let the adapter process vertices
// (the shell passes 1), depthPreference -1..3, wantedAdapter 0..7. Returns 0,
// -1 when there is no graphics library (or no display), -2 when no adapter
// has a usable mode. Afterwards DepthPreference holds the depth class
// settled on and HardwareVertexProcessing whether the adapter does it.
int StartRenderer(int hardwareVertexProcessing, int depthPreference, int wantedAdapter);

// Finds the adapters of the started device; false when none has a usable
// mode.
bool EnumerateAdapters(int wantedAdapter);
// The first usable depth format of the current preference for the display
// format; its class becomes the preference.
bool CheckDepthFormats(int adapter, uint32_t displayFormat, uint32_t *depthFormat);
// Fills PresentParams from the current values and the settings.
void FillPresentParameters(int lockable);

// Creates the device (on the main window for the OpenGL device) in the
// chosen mode, or in mode modeIndex (-1: keep the chosen one), and sets
// every default state. Returns 0, or -1 ("Can't Create Device" in the log;
// the renderer is back at state 0).
int CreateRenderDevice(int modeIndex);

// Changes the back buffer: size, mode index (-1 keeps it), windowed flag and
// multisample type. Does nothing when nothing changes; takes the window's
// size when that differs from the one asked for.
void ChangeDisplayMode(int width, int height, int modeIndex, int windowed, int multiSample);
// Rebuilds the back buffer with the current values.
void ResetRenderDevice();
// True when the device can draw this frame; recovers a device that can be
// reset (and still answers false for that frame).
bool CheckRenderDevice();

// What a Reset loses, released before it and made again after it.
void ReleaseDeviceResources();
void RestoreDeviceResources();

// Clears the viewport: colour (ARGB) with ClearTarget, depth 1.0 with
// ClearZBuffer, stencil 0 with ClearStencil.
void ClearFrame(uint32_t colour, uint32_t flags);
// Neither does anything when already in (out of) a scene.
void BeginRenderScene();
void EndRenderScene();
// Ends an open scene and shows the back buffer.
void PresentFrame();
// Texture stages 0 and 1 back to one modulated texture.
void ResetTextureStages();

// Renders into level 0 of a texture (with a depth surface of its side when
// asked). Returns 1, or 0 when the texture has no surface (the scene is
// begun again then).
int BeginRenderToTexture(uint32_t texture, int withDepth);
struct TextureRecord;
int BeginRenderToTexture(TextureRecord *record, int withDepth);
void SetRenderTargetSurface(uint32_t surface, int withDepth);
// Back to the back buffer.
void EndRenderToTexture();
// The depth surface of a square target of the side; 0 gives the back
// buffer's. 0 when it cannot be made.
uint32_t GetDepthSurface(int side);
void ReleaseDepthSurfaces();

// Width or height 0: the whole target. Depth range 0..1.
void SetViewportRect(int x, int y, int width, int height);
// Stores the viewport and sets it when width and height are non-zero.
void SetViewportRecord(const RenderViewport &viewport);

// Frees every drawable resource; with recreate the batch buffers are made
// again.
void ReleaseRenderResources(int recreate);
void FreeDeviceResources();
// Releases everything; the renderer is back at state 0.
void ShutDownRenderer();

// The current adapter: its desktop mode and its list of modes; null while
// the renderer is not started.
const AdapterRecord *GetCurrentDisplayMode();

// The size of the drawing area, as the device would take it: the device's
// window, else the main window's client area, else (no window at all) the
// program's ScreenWidth x ScreenHeight.
void GetRenderClientSize(int *width, int *height);
