#pragma once

#include "core/card_config.h"

#include <cstdint>

// The render layer's one drawing device: the program's OpenGL context on the
// main window, the displays ("adapters") and their display modes, the frame
// and scene control (begin, end, clear, present), the viewport and display
// mode changes. A null backend stands in for OpenGL where no display exists
// (the tests): it offers a fixed set of modes, and frames "draw" into
// nothing.

// --- Start-up failures ------------------------------------------------------------

// The message boxes the shell shows when StartRenderer fails: -1 (no
// OpenGL) and -2 (no usable display mode).
constexpr const char *NoGraphicsCaption = "Could not initialise OpenGL";
constexpr const char *NoGraphicsText = "OpenGL 2.1 or later is required";
constexpr const char *NoScreenModesCaption = "Could not detect any suitable screen modes";
constexpr const char *NoScreenModesText = "Probable error in graphics driver";

// --- Backend ------------------------------------------------------------------------

enum RenderBackend {
    RenderBackendOpenGl,  // the default
    RenderBackendNull,    // no display needed; nothing is drawn
};

// Chooses the backend of the next StartRenderer. Refused (false) while the
// renderer is started.
bool SetRenderBackend(RenderBackend backend);
RenderBackend GetRenderBackend();

// --- Formats and display modes -------------------------------------------------------

// Pixel formats of displays and back buffers, and depth-buffer formats.
enum RenderFormat : uint32_t {
    RenderFormatUnknown = 0,
    RenderFormatA8R8G8B8 = 21,
    RenderFormatX8R8G8B8 = 22,
    RenderFormatR5G6B5 = 23,
    RenderFormatX1R5G5B5 = 24,
    RenderFormatD32 = 71,
    RenderFormatD15S1 = 73,
    RenderFormatD24S8 = 75,
    RenderFormatD24X8 = 77,
    RenderFormatD24X4S4 = 79,
    RenderFormatD16 = 80,
};

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

struct RenderDisplayMode {
    uint32_t width;
    uint32_t height;
    uint32_t refreshRate;
    uint32_t format;
};

constexpr int MaxAdapters = 8;
constexpr int MaxDisplayModes = 256;

// A display with at least one usable mode.
struct AdapterRecord {
    char description[512];        // the display's name; the renderer's once the device exists
    RenderDisplayMode desktopMode;
    uint8_t CanRenderWindowed;
    uint8_t HardwareTnL;
    uint32_t ordinal;             // the system's display number
    uint32_t modeCount;
    DisplayModeEntry modes[MaxDisplayModes];  // width, height ascending, format descending, refresh ascending
    uint32_t chosenMode;
};

// --- The device ----------------------------------------------------------------------

// What the device can do; filled when it is created.
struct RenderDeviceCaps {
    int maxTextureWidth;
    int maxTextureHeight;
    int canClampTextures;         // texture addressing that clamps
    int destColourSourceBlend;    // source blend factor: destination colour
    int sourceColourDestBlend;    // destination blend factor: source colour
    int modulate2x;               // a texture stage can modulate by twice the colour
    int maxSimultaneousTextures;
    int dynamicTextures;
    int maxAnisotropy;            // 1: none
    int dxt1Textures;             // compressed DXT1 textures in the display's format
    int dxt3Textures;
};

struct RenderViewport {
    int x;  // from the left
    int y;  // from the top
    int width;
    int height;
    float minZ;
    float maxZ;
};

// What the back buffer is made with; refilled before every device change.
struct PresentParameters {
    int width;             // at least 8
    int height;            // at least 8
    uint32_t format;       // the desktop's format windowed, the mode's in full screen
    uint32_t depthFormat;
    int windowed;
    int multiSample;       // 0: none
    int swapInterval;      // 1: wait for the vertical blank
    int refreshRate;       // full screen: the mode's
};

struct RenderDeviceRecord {
    int Device;                      // 1 while the device (the OpenGL context) exists
    PresentParameters PresentParams;
    AdapterRecord Adapters[MaxAdapters];
    int AdapterCount;
    int CurrentAdapter;
    int RendererStarted;             // 0 nothing, 1 adapters known, 2 device exists
    int BackBufferWidth;
    int BackBufferHeight;
    int Windowed;
    int MultiSample;                 // wanted multisample type; 1 counts as none
    int VerticalSync;                // "Vertical Sync ": full screen waits for the vertical blank
    int FogEnabled;                  // "Haze Effect "
    int TestShadows;                 // "Test Shadows "
    int DepthPreference;             // depth class 0..3, -1 automatic; the class found after start
    int HardwareVertexProcessing;    // 1: the current adapter does vertex processing itself
    int DepthClassAvailable[4];
    uint32_t BackBufferFormat;
    RenderViewport Viewport;
    int InScene;
    RenderDeviceCaps DeviceCaps;
};

extern RenderDeviceRecord RenderDevice;

// Set when the back buffer's format changed (and when the device is made);
// SelectPixelFormat clears it.
extern int BackBufferFormatChanged;

// --- Capability globals -----------------------------------------------------------------
// The shell's LogDeviceCaps lowers them to what the device can do.

extern int CompressTextures;    // 1: textures are compressed when loaded

// --- Operations ------------------------------------------------------------------------------

// Clear flags.
constexpr uint32_t ClearTarget = 1;
constexpr uint32_t ClearZBuffer = 2;
constexpr uint32_t ClearStencil = 4;

// Once per run (0 at once when started): finds the adapters and their modes.
// hardwareVertexProcessing is the wish to let the adapter process vertices
// (the shell passes 1), depthPreference -1..3, wantedAdapter 0..7. Returns 0,
// -1 when there is no OpenGL (or no display), -2 when no adapter has a
// usable mode. Afterwards DepthPreference holds the depth class settled on
// and HardwareVertexProcessing whether the adapter does it.
int StartRenderer(int hardwareVertexProcessing, int depthPreference, int wantedAdapter);

// Creates the device on the main window (the null backend needs none), in
// the chosen mode, or in mode modeIndex (-1: keep the chosen one). Returns 0,
// or -1 ("Can't Create Device" in the log; the renderer is back at state 0).
int CreateRenderDevice(int modeIndex);

// Changes the back buffer: size, mode index (-1 keeps it), windowed flag and
// multisample type. Does nothing when nothing changes; takes the window's
// size when that differs from the one asked for.
void ChangeDisplayMode(int width, int height, int modeIndex, int windowed, int multiSample);
// Rebuilds the back buffer with the current values.
void ResetRenderDevice();
// True when the device can draw this frame.
bool CheckRenderDevice();

// Clears the viewport: colour (ARGB) with ClearTarget, depth 1.0 with
// ClearZBuffer, stencil 0 with ClearStencil.
void ClearFrame(uint32_t colour, uint32_t flags);
// Neither does anything when already in (out of) a scene.
void BeginRenderScene();
void EndRenderScene();
// Ends an open scene and shows the back buffer.
void PresentFrame();

// Width or height 0: the whole target. Depth range 0..1.
void SetViewportRect(int x, int y, int width, int height);
// Stores the viewport and sets it when width and height are non-zero.
void SetViewportRecord(const RenderViewport &viewport);

// Releases everything; the renderer is back at state 0.
void ShutDownRenderer();

// The current adapter: its desktop mode and its list of modes; null while
// the renderer is not started.
const AdapterRecord *GetCurrentDisplayMode();

// The size of the window's drawing area, as the device would take it.
// Without a window the null backend answers ScreenWidth x ScreenHeight.
void GetRenderClientSize(int *width, int *height);
