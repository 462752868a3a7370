#include "render/render_device.h"

#include "platform/gl_context.h"
#include "platform/gl_device.h"
#include "platform/window.h"
#include "render/render_link.h"

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
// Every mode may gain a twin at the display's default refresh rate.
constexpr int MaxCollectedModes = MaxDisplayModes * 2;
constexpr int MaxFormats = 16;
constexpr int RequiredGlMajor = 2;
constexpr int RequiredGlMinor = 1;

RenderBackend Backend = RenderBackendOpenGl;

// --- Where the displays come from ---------------------------------------------------

// The null backend's display: a 4:3 monitor at 60 Hz in 32 and 16 bits. Like
// a real display's list it also offers modes too small to use and names one
// mode twice.
constexpr PlatformDisplayMode NullDesktop = {1024, 768, 60, PlatformPixelXrgb8888};
constexpr PlatformDisplayMode NullModes[] = {
    {320, 240, 60, PlatformPixelXrgb8888},
    {640, 480, 60, PlatformPixelXrgb8888},
    {640, 480, 60, PlatformPixelRgb565},
    {800, 600, 60, PlatformPixelXrgb8888},
    {800, 600, 60, PlatformPixelRgb565},
    {1024, 768, 60, PlatformPixelXrgb8888},
    {1024, 768, 60, PlatformPixelRgb565},
    {1024, 768, 60, PlatformPixelXrgb8888},
    {1280, 960, 60, PlatformPixelXrgb8888},
    {1280, 960, 60, PlatformPixelRgb565},
};
constexpr int NullModeCount = static_cast<int>(sizeof(NullModes) / sizeof(NullModes[0]));

int SourceDisplayCount()
{
    return Backend == RenderBackendNull ? 1 : PlatformGetDisplayCount();
}

const char *SourceDisplayName(int display)
{
    return Backend == RenderBackendNull ? "Null display" : PlatformGetDisplayName(display);
}

bool SourceDesktopMode(int display, PlatformDisplayMode *mode)
{
    if (Backend == RenderBackendNull) {
        *mode = NullDesktop;
        return true;
    }
    return PlatformGetDesktopDisplayMode(display, mode);
}

int SourceModeCount(int display)
{
    return Backend == RenderBackendNull ? NullModeCount : PlatformGetDisplayModeCount(display);
}

bool SourceMode(int display, int index, PlatformDisplayMode *mode)
{
    if (Backend == RenderBackendNull) {
        if (index < 0 || index >= NullModeCount) {
            return false;
        }
        *mode = NullModes[index];
        return true;
    }
    return PlatformGetDisplayMode(display, index, mode);
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

// A display format the device can draw in.
bool RenderableFormat(uint32_t format)
{
    return format == RenderFormatA8R8G8B8 || format == RenderFormatX8R8G8B8 || format == RenderFormatR5G6B5 ||
           format == RenderFormatX1R5G5B5;
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

// Window surfaces reliably offer 16 and 24 bits of depth (24 with 8 of
// stencil); 15-bit, 4-bit-stencil and 32-bit depth are left alone.
bool DepthFormatUsable(uint32_t depthFormat)
{
    return depthFormat == RenderFormatD16 || depthFormat == RenderFormatD24X8 || depthFormat == RenderFormatD24S8;
}

void DepthBits(uint32_t depthFormat, int *depth, int *stencil)
{
    switch (depthFormat) {
    case RenderFormatD15S1:
        *depth = 15;
        *stencil = 1;
        break;
    case RenderFormatD24S8:
        *depth = 24;
        *stencil = 8;
        break;
    case RenderFormatD24X8:
        *depth = 24;
        *stencil = 0;
        break;
    case RenderFormatD24X4S4:
        *depth = 24;
        *stencil = 4;
        break;
    case RenderFormatD32:
        *depth = 32;
        *stencil = 0;
        break;
    default:
        *depth = 16;
        *stencil = 0;
        break;
    }
}

// The first usable depth format of the current preference; its class becomes
// the preference, so later display formats start their search from it.
bool CheckDepthFormats(uint32_t *depthFormat)
{
    const int preference = std::clamp(RenderDevice.DepthPreference, 0, 3);
    bool found = false;
    for (const DepthCandidate &candidate : DepthCandidates[preference]) {
        if (!DepthFormatUsable(candidate.format)) {
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
    const int modeCount = SourceModeCount(ordinal);
    for (int i = 0; i < modeCount; ++i) {
        PlatformDisplayMode mode{};
        if (!SourceMode(ordinal, i, &mode) || mode.width < MinModeWidth || mode.height < MinModeHeight) {
            continue;
        }
        const CollectedMode entry = {mode.width, mode.height, mode.refreshRate, FormatFromPlatform(mode.format)};
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
    std::snprintf(adapter.description, sizeof(adapter.description), "%s", SourceDisplayName(ordinal));
    PlatformDisplayMode desktop{};
    SourceDesktopMode(ordinal, &desktop);
    adapter.desktopMode = {static_cast<uint32_t>(std::max(desktop.width, 0)),
                           static_cast<uint32_t>(std::max(desktop.height, 0)),
                           static_cast<uint32_t>(std::max(desktop.refreshRate, 0)), FormatFromPlatform(desktop.format)};

    uint32_t formats[MaxFormats];
    int formatCount = 0;
    formats[formatCount++] = adapter.desktopMode.format;
    const int collected = CollectModes(ordinal, formats, &formatCount);

    // Every OpenGL driver processes vertices itself and draws into windows.
    FormatChoice choices[MaxFormats];
    for (int f = 0; f < formatCount; ++f) {
        FormatChoice &choice = choices[f];
        choice = {formats[f], false, 0, 0};
        if (!RenderableFormat(choice.format)) {
            continue;
        }
        adapter.CanRenderWindowed = 1;
        adapter.HardwareTnL = 1;
        if (RenderDevice.HardwareVertexProcessing) {
            choice.behaviour = MixedVertexProcessing;
            choice.valid = true;
        }
        if (RenderDevice.DepthPreference == -1) {
            RenderDevice.DepthPreference = adapter.HardwareTnL ? 2 : 1;
        }
        if (!choice.valid) {
            choice.behaviour = SoftwareVertexProcessing;
            choice.valid = true;
        }
        choice.valid = CheckDepthFormats(&choice.depthFormat);
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

bool EnumerateAdapters(int wantedAdapter)
{
    RenderDevice.AdapterCount = 0;
    const int count = SourceDisplayCount();
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
    if (RenderDevice.HardwareVertexProcessing && !RenderDevice.Adapters[RenderDevice.CurrentAdapter].HardwareTnL) {
        RenderDevice.HardwareVertexProcessing = 0;
    }
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

void FillPresentParameters()
{
    const DisplayModeEntry &mode = ChosenMode();
    PresentParameters &params = RenderDevice.PresentParams;
    params = PresentParameters{};
    params.windowed = RenderDevice.Windowed;
    params.depthFormat = mode.depthFormat;
    params.width = std::max(RenderDevice.BackBufferWidth, MinBackBufferSide);
    params.height = std::max(RenderDevice.BackBufferHeight, MinBackBufferSide);
    params.format = RenderDevice.Windowed ? CurrentAdapter().desktopMode.format : mode.format;
    // Multisampled window surfaces are chosen when the window is made; the
    // wish is kept but a device change does not bring it about.
    params.multiSample = RenderDevice.MultiSample == 1 ? 0 : RenderDevice.MultiSample;
    if (!RenderDevice.Windowed) {
        params.swapInterval = RenderDevice.VerticalSync ? 1 : 0;
        params.refreshRate = mode.refreshRate;
    }
    if (params.format != RenderDevice.BackBufferFormat) {
        BackBufferFormatChanged = 1;
    }
    RenderDevice.BackBufferFormat = params.format;
}

void ApplyPresentParameters()
{
    if (Backend == RenderBackendOpenGl) {
        PlatformSetGlSwapInterval(RenderDevice.PresentParams.swapInterval);
    }
}

// When the window's drawing area differs from the size asked for, the device
// takes the window's.
void FollowClientSize()
{
    int width = 0;
    int height = 0;
    GetRenderClientSize(&width, &height);
    if (width > 0 && height > 0 &&
        (width != RenderDevice.BackBufferWidth || height != RenderDevice.BackBufferHeight)) {
        RenderDevice.BackBufferWidth = width;
        RenderDevice.BackBufferHeight = height;
        FillPresentParameters();
        ApplyPresentParameters();
    }
}

void FillDeviceCaps()
{
    RenderDeviceCaps &caps = RenderDevice.DeviceCaps;
    caps = RenderDeviceCaps{};
    caps.destColourSourceBlend = 1;
    caps.sourceColourDestBlend = 1;
    caps.dynamicTextures = 1;
    if (Backend == RenderBackendNull) {
        caps.maxTextureWidth = 4096;
        caps.maxTextureHeight = 4096;
        caps.canClampTextures = 1;
        caps.modulate2x = 1;
        caps.maxSimultaneousTextures = 2;
        caps.maxAnisotropy = 1;
        return;
    }
    PlatformGlCaps gl{};
    PlatformGlGetCaps(&gl);
    caps.maxTextureWidth = gl.maxTextureSize;
    caps.maxTextureHeight = gl.maxTextureSize;
    caps.canClampTextures = gl.clampToEdge ? 1 : 0;
    caps.modulate2x = gl.combineScale ? 1 : 0;
    caps.maxSimultaneousTextures = gl.maxTextureUnits;
    caps.maxAnisotropy = static_cast<int>(gl.maxAnisotropy);
    caps.dxt1Textures = gl.s3tcTextures ? 1 : 0;
    caps.dxt3Textures = gl.s3tcTextures ? 1 : 0;
}

// Makes the OpenGL context; false when the system cannot give one of at
// least the required version.
bool CreateGlContext()
{
    int depthBits = 0;
    int stencilBits = 0;
    DepthBits(RenderDevice.PresentParams.depthFormat, &depthBits, &stencilBits);
    PlatformSetGlAttributes(depthBits, stencilBits);
    if (!PlatformCreateGlContext()) {
        return false;
    }
    int major = 0;
    int minor = 0;
    PlatformGetGlVersion(&major, &minor);
    const char *renderer = PlatformGetGlRenderer();
    RenderLog("OpenGL %d.%d : %s", major, minor, renderer);
    if (major < RequiredGlMajor || (major == RequiredGlMajor && minor < RequiredGlMinor)) {
        PlatformDestroyGlContext();
        return false;
    }
    if (renderer[0] != 0) {
        std::snprintf(CurrentAdapter().description, sizeof(CurrentAdapter().description), "%s", renderer);
    }
    return true;
}

void ReleaseGraphicsInterface()
{
    if (Backend == RenderBackendOpenGl) {
        PlatformUnloadGl();
    }
}

}  // namespace

// --- Backend --------------------------------------------------------------------------------

bool SetRenderBackend(RenderBackend backend)
{
    if (RenderDevice.RendererStarted != 0) {
        return false;
    }
    Backend = backend;
    return true;
}

RenderBackend GetRenderBackend()
{
    return Backend;
}

// --- Start-up and the device -------------------------------------------------------------------

int StartRenderer(int hardwareVertexProcessing, int depthPreference, int wantedAdapter)
{
    if (RenderDevice.RendererStarted != 0) {
        return 0;
    }
    if (Backend == RenderBackendOpenGl && (!PlatformStartVideo() || !PlatformLoadGl())) {
        return -1;
    }
    std::fill(std::begin(RenderDevice.DepthClassAvailable), std::end(RenderDevice.DepthClassAvailable), 0);
    RenderDevice.HardwareVertexProcessing = hardwareVertexProcessing != 0 ? 1 : 0;
    RenderDevice.DepthPreference = std::clamp(depthPreference, -1, 3);
    RenderDevice.BackBufferWidth = StartBackBufferWidth;
    RenderDevice.BackBufferHeight = StartBackBufferHeight;
    RenderDevice.Windowed = 1;
    if (!EnumerateAdapters(wantedAdapter)) {
        ReleaseGraphicsInterface();
        return -2;
    }
    // The window made next takes its surface from these.
    if (Backend == RenderBackendOpenGl) {
        int depthBits = 0;
        int stencilBits = 0;
        DepthBits(ChosenMode().depthFormat, &depthBits, &stencilBits);
        PlatformSetGlAttributes(depthBits, stencilBits);
    }
    RenderDevice.RendererStarted = 1;
    return 0;
}

int CreateRenderDevice(int modeIndex)
{
    if (RenderDevice.RendererStarted == 2) {
        return 0;
    }
    if (RenderDevice.RendererStarted == 0 || RenderDevice.AdapterCount == 0) {
        return -1;
    }
    AdapterRecord &adapter = CurrentAdapter();
    if (modeIndex != -1) {
        adapter.chosenMode = static_cast<uint32_t>(std::clamp(modeIndex, 0, static_cast<int>(adapter.modeCount) - 1));
    }
    FillPresentParameters();
    BackBufferFormatChanged = 1;
    if (Backend == RenderBackendOpenGl && !CreateGlContext()) {
        RenderLog("Can't Create Device");
        ReleaseGraphicsInterface();
        RenderDevice.RendererStarted = 0;
        return -1;
    }
    ApplyPresentParameters();
    RenderDevice.Device = 1;
    RenderDevice.RendererStarted = 2;
    RenderDevice.InScene = 0;
    FollowClientSize();
    FillDeviceCaps();
    SetViewportRect(0, 0, 0, 0);
    return 0;
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
    EndRenderScene();
    RenderDevice.BackBufferWidth = width;
    RenderDevice.BackBufferHeight = height;
    RenderDevice.Windowed = windowed;
    RenderDevice.MultiSample = multiSample;
    ResetRenderDevice();
}

void ResetRenderDevice()
{
    if (RenderDevice.RendererStarted == 0 || RenderDevice.AdapterCount == 0) {
        return;
    }
    EndRenderScene();
    FillPresentParameters();
    ApplyPresentParameters();
    if (RenderDevice.RendererStarted != 2) {
        return;
    }
    FollowClientSize();
    // A fresh back buffer starts black.
    SetViewportRect(0, 0, 0, 0);
    ClearFrame(0, ClearTarget | ClearZBuffer);
    PresentFrame();
}

bool CheckRenderDevice()
{
    if (RenderDevice.RendererStarted != 2) {
        return false;
    }
    return Backend == RenderBackendNull || PlatformHasGlContext();
}

void ClearFrame(uint32_t colour, uint32_t flags)
{
    if (RenderDevice.RendererStarted != 2 || Backend != RenderBackendOpenGl) {
        return;
    }
    const RenderViewport &view = RenderDevice.Viewport;
    const int bottom = RenderDevice.BackBufferHeight - (view.y + view.height);
    PlatformGlClear(view.x, bottom, view.width, view.height, colour, (flags & ClearTarget) != 0,
                    (flags & ClearZBuffer) != 0, (flags & ClearStencil) != 0, 1.0f, 0);
}

void BeginRenderScene()
{
    if (RenderDevice.InScene || RenderDevice.RendererStarted != 2) {
        return;
    }
    RenderDevice.InScene = 1;
}

void EndRenderScene()
{
    if (!RenderDevice.InScene) {
        return;
    }
    RenderDevice.InScene = 0;
}

void PresentFrame()
{
    EndRenderScene();
    if (RenderDevice.RendererStarted == 2 && Backend == RenderBackendOpenGl) {
        PlatformSwapGlBuffers();
    }
}

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
    if (viewport.width == 0 || viewport.height == 0 || RenderDevice.RendererStarted != 2 ||
        Backend != RenderBackendOpenGl) {
        return;
    }
    PlatformGlViewport(viewport.x, RenderDevice.BackBufferHeight - (viewport.y + viewport.height), viewport.width,
                       viewport.height);
}

void ShutDownRenderer()
{
    if (RenderDevice.RendererStarted == 0) {
        return;
    }
    EndRenderScene();
    for (AdapterRecord &adapter : RenderDevice.Adapters) {
        adapter.modeCount = 0;
    }
    RenderDevice.AdapterCount = 0;
    RenderDevice.CurrentAdapter = 0;
    RenderDevice.Device = 0;
    ReleaseGraphicsInterface();
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
    if (Backend == RenderBackendOpenGl && PlatformHasGlContext()) {
        PlatformGetGlDrawableSize(&w, &h);
    } else if (PlatformHasWindow()) {
        const PlatformRect rect = PlatformGetClientRect();
        w = rect.right - rect.left;
        h = rect.bottom - rect.top;
    } else if (Backend == RenderBackendNull) {
        // No window: one that always has the size the program gives it.
        w = *RenderShell.screenWidth;
        h = *RenderShell.screenHeight;
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
}
