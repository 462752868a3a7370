#include "core/colour.h"
#include "platform/file_system.h"
#include "platform/gl_context.h"
#include "platform/gl_device.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/screenshot.h"
#include "render/standard_textures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The shell's side of the link: its state and a record of the services the
// render layer called, in order.
struct ShellState {
    int screenWidth = 0;
    int screenHeight = 0;
    int windowed = 1;
    int fullScreenModeIndex = 0;
    int antialiasing = 0;
    int nextShot = 1;
    int screenshotRequest = 0;
    int textureRefreshRequest = 0;
    int noDrawFlag = 0;
    // What the shell's ApplyWindowStyle makes the program's size when it
    // goes windowed (its "Window " rectangle).
    int windowWidth = 640;
    int windowHeight = 480;
    uint32_t groundColour = 0;
};

ShellState Shell;
std::vector<std::string> Calls;
std::vector<std::string> Messages;
std::vector<std::string> HudNotes;
std::vector<std::string> LogLines;

void ConnectShell()
{
    Shell = ShellState{};
    Calls.clear();
    Messages.clear();
    HudNotes.clear();
    LogLines.clear();
    RenderShellLink link{};
    link.screenWidth = &Shell.screenWidth;
    link.screenHeight = &Shell.screenHeight;
    link.windowed = &Shell.windowed;
    link.fullScreenModeIndex = &Shell.fullScreenModeIndex;
    link.antialiasing = &Shell.antialiasing;
    link.nextShot = &Shell.nextShot;
    link.screenshotRequest = &Shell.screenshotRequest;
    link.textureRefreshRequest = &Shell.textureRefreshRequest;
    link.noDrawFlag = &Shell.noDrawFlag;
    link.logLine = [](const char *text) { LogLines.emplace_back(text); };
    link.printMessage = [](const char *text, int) { Messages.emplace_back(text); };
    link.showHudMessageShort = [](const char *text) { HudNotes.emplace_back(text); };
    link.applyWindowStyle = [] {
        Calls.emplace_back("applyWindowStyle");
        if (Shell.windowed) {
            Shell.screenWidth = Shell.windowWidth;
            Shell.screenHeight = Shell.windowHeight;
        }
    };
    link.updateCursorClip = [] { Calls.emplace_back("updateCursorClip"); };
    link.shutDownInputDevices = [] { Calls.emplace_back("shutDownInputDevices"); };
    link.requestInputRestart = [] { Calls.emplace_back("requestInputRestart"); };
    link.applyViewGeometry = [] { Calls.emplace_back("applyViewGeometry"); };
    link.restartWorldGraphics = [] { Calls.emplace_back("restartWorldGraphics"); };
    link.viewGroundColour = [] { return Shell.groundColour; };
    SetRenderShellLink(link);
}

bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    for (const std::string &l : lines) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

int FindMode(const AdapterRecord &adapter, uint32_t width, uint32_t height, uint32_t format, uint32_t refresh)
{
    for (uint32_t i = 0; i < adapter.modeCount; ++i) {
        const DisplayModeEntry &m = adapter.modes[i];
        if (m.width == width && m.height == height && m.format == format && m.refreshRate == refresh) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

class NullDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConnectShell();
        ASSERT_TRUE(SetRenderBackend(RenderBackendNull));
    }

    void TearDown() override
    {
        StopGraphics();
        SetRenderBackend(RenderBackendOpenGl);
        SetRenderShellLink(RenderShellLink{});
    }
};

// The null display lists 320x240 (too small), one mode twice, and every
// other mode at 60 Hz in 32 and 16 bits: each comes once more at the default
// refresh rate, and the list is sorted by size, format (16-bit first) and
// refresh rate.
TEST_F(NullDeviceTest, ModeListDropsSmallAndRepeatedModesAndAddsDefaultRefreshTwins)
{
    ASSERT_EQ(StartRenderer(1, -1, 5), 0);  // adapter 5 does not exist: adapter 0
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(RenderDevice.CurrentAdapter, 0);
    EXPECT_EQ(adapter->desktopMode.width, 1024u);
    EXPECT_EQ(adapter->desktopMode.height, 768u);
    EXPECT_EQ(adapter->desktopMode.format, static_cast<uint32_t>(RenderFormatX8R8G8B8));

    std::vector<std::string> got;
    for (uint32_t i = 0; i < adapter->modeCount; ++i) {
        const DisplayModeEntry &m = adapter->modes[i];
        EXPECT_EQ(m.skip, 0);
        EXPECT_EQ(m.aspectClass, 0);
        EXPECT_EQ(m.is16Bit, m.format == RenderFormatR5G6B5 ? 1 : 0);
        got.push_back(std::to_string(m.width) + "x" + std::to_string(m.height) + " " + std::to_string(m.format) +
                      " " + std::to_string(m.refreshRate));
    }
    std::vector<std::string> expected;
    for (const char *size : {"640x480", "800x600", "1024x768", "1280x960"}) {
        for (const char *formatAndRefresh : {" 23 0", " 23 60", " 22 0", " 22 60"}) {
            expected.push_back(std::string(size) + formatAndRefresh);
        }
    }
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(Contains(LogLines, "adapter 0 - valid modes : 16"));
}

// The vertex processing and depth buffer settled on, by the wish to let the
// adapter process vertices and the depth preference. 15-bit and 32-bit depth
// are never offered, so their classes fall to the next candidate.
TEST_F(NullDeviceTest, DepthFormatAndVertexProcessingFollowThePreference)
{
    struct Case {
        int hardware;
        int preference;
        uint32_t behaviour;
        uint32_t depthFormat;
        int settledPreference;
    };
    const Case cases[] = {
        {1, -1, MixedVertexProcessing, RenderFormatD24X8, 2},
        {0, -1, SoftwareVertexProcessing, RenderFormatD24X8, 2},
        {1, 0, MixedVertexProcessing, RenderFormatD16, 1},
        {1, 1, MixedVertexProcessing, RenderFormatD16, 1},
        {0, 3, SoftwareVertexProcessing, RenderFormatD24X8, 2},
        {1, 9, MixedVertexProcessing, RenderFormatD24X8, 2},  // kept to 3
    };
    for (const Case &c : cases) {
        ASSERT_EQ(StartRenderer(c.hardware, c.preference, 0), 0);
        const AdapterRecord *adapter = GetCurrentDisplayMode();
        ASSERT_NE(adapter, nullptr);
        EXPECT_EQ(adapter->modes[0].behaviour, c.behaviour) << c.hardware << " " << c.preference;
        EXPECT_EQ(adapter->modes[0].depthFormat, c.depthFormat) << c.hardware << " " << c.preference;
        EXPECT_EQ(RenderDevice.DepthPreference, c.settledPreference) << c.hardware << " " << c.preference;
        EXPECT_EQ(RenderDevice.HardwareVertexProcessing, c.hardware);
        EXPECT_EQ(RenderDevice.DepthClassAvailable[1], 1);
        EXPECT_EQ(RenderDevice.DepthClassAvailable[2], 1);
        EXPECT_EQ(RenderDevice.DepthClassAvailable[0] + RenderDevice.DepthClassAvailable[3], 0);
        ShutDownRenderer();
    }
}

TEST_F(NullDeviceTest, GraphicsStartDrawFramesSwitchModesAndStop)
{
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    ASSERT_NE(adapter, nullptr);
    Shell.screenWidth = 800;
    Shell.screenHeight = 600;
    ASSERT_EQ(StartGraphics(), 1);
    EXPECT_EQ(RenderDevice.RendererStarted, 2);
    EXPECT_EQ(RenderDevice.BackBufferWidth, 800);
    EXPECT_EQ(RenderDevice.BackBufferHeight, 600);
    EXPECT_EQ(DisplaySwitchBusy, 0);
    EXPECT_EQ(Calls, std::vector<std::string>({"applyViewGeometry"}));
    // Windowed, the back buffer has the desktop's format.
    EXPECT_EQ(BackBufferFormatChanged, 1);
    EXPECT_STREQ(SelectPixelFormat(), "X888");
    EXPECT_EQ(BackBufferFormatChanged, 0);
    EXPECT_EQ(LoadStandardTextures(), 1);

    // A frame: the first frame start begins the scene, a second one in the
    // same pass does nothing.
    ClearDisplayModeStack();
    FrameBegun = 0;
    DrawFrameBackground();
    EXPECT_EQ(FrameBegun, 1);
    EXPECT_EQ(RenderDevice.InScene, 1);
    EXPECT_EQ(Shell.noDrawFlag, 0);
    EndDrawFrame();
    EXPECT_EQ(RenderDevice.InScene, 0);
    DrawFrameBackground();
    EXPECT_EQ(RenderDevice.InScene, 0);
    // The null device has no back buffer to save; the number is used up all
    // the same.
    Shell.nextShot = 41;
    Shell.screenshotRequest = 1;
    TakeScreenshot();
    EXPECT_EQ(Shell.screenshotRequest, 0);
    EXPECT_EQ(Shell.nextShot, 42);
    EXPECT_TRUE(Contains(Messages, "Could not get back buffer"));
    EXPECT_TRUE(HudNotes.empty());
    PresentFrame();

    // Full screen in the 16-bit 1024x768 mode.
    const int mode = FindMode(*adapter, 1024, 768, RenderFormatR5G6B5, 0);
    ASSERT_GE(mode, 0);
    Calls.clear();
    EXPECT_EQ(GoFullScreen(mode), 1);
    EXPECT_EQ(Calls, std::vector<std::string>({"shutDownInputDevices", "applyWindowStyle", "restartWorldGraphics",
                                               "requestInputRestart", "applyViewGeometry", "updateCursorClip"}));
    EXPECT_EQ(Shell.fullScreenModeIndex, mode);
    EXPECT_EQ(Shell.windowed, 0);
    EXPECT_EQ(Shell.screenWidth, 1024);
    EXPECT_EQ(Shell.screenHeight, 768);
    EXPECT_EQ(RenderDevice.Windowed, 0);
    EXPECT_EQ(RenderDevice.BackBufferWidth, 1024);
    EXPECT_EQ(RenderDevice.BackBufferHeight, 768);
    EXPECT_EQ(BackBufferFormatChanged, 1);
    EXPECT_STREQ(SelectPixelFormat(), "565");
    EXPECT_EQ(RenderTextureState, 2);
    Shell.textureRefreshRequest = 2;
    ResetRenderTextures();
    EXPECT_EQ(RenderTextureState, 0);
    EXPECT_EQ(Shell.textureRefreshRequest, 0);

    // Back to a window, at the size the window style gives.
    Calls.clear();
    EXPECT_EQ(GoToWindow(), 1);
    EXPECT_EQ(Calls, std::vector<std::string>({"shutDownInputDevices", "applyWindowStyle", "restartWorldGraphics",
                                               "requestInputRestart", "applyViewGeometry", "updateCursorClip"}));
    EXPECT_EQ(Shell.windowed, 1);
    EXPECT_EQ(RenderDevice.Windowed, 1);
    EXPECT_EQ(RenderDevice.BackBufferWidth, 640);
    EXPECT_EQ(RenderDevice.BackBufferHeight, 480);
    EXPECT_STREQ(SelectPixelFormat(), "X888");

    // A mode index past the list is kept to it.
    EXPECT_EQ(GoFullScreen(1000), 1);
    EXPECT_EQ(Shell.fullScreenModeIndex, static_cast<int>(adapter->modeCount) - 1);
    EXPECT_EQ(RenderDevice.BackBufferWidth, 1280);

    StopGraphics();
    EXPECT_EQ(RenderDevice.RendererStarted, 0);
    EXPECT_EQ(GetCurrentDisplayMode(), nullptr);
    EXPECT_FALSE(CheckRenderDevice());
}

TEST_F(NullDeviceTest, FrameStartDrawsNothingWithoutDeviceAndSetsNoDrawFlag)
{
    ClearDisplayModeStack();
    FrameBegun = 0;
    DrawFrameBackground();
    EXPECT_EQ(FrameBegun, 1);
    EXPECT_EQ(Shell.noDrawFlag, 1);
    EXPECT_EQ(RenderDevice.InScene, 0);
    // The game session's own scene: the frame start leaves the frame alone.
    PushDisplayMode(DisplayModeOwnScene);
    FrameBegun = 0;
    Shell.noDrawFlag = 0;
    DrawFrameBackground();
    EXPECT_EQ(FrameBegun, 0);
    EXPECT_EQ(Shell.noDrawFlag, 0);
    ClearDisplayModeStack();
}

// The top mode n times, popping after each.
std::vector<uint32_t> TopsWhilePopping(int n)
{
    std::vector<uint32_t> modes;
    for (int i = 0; i < n; ++i) {
        modes.push_back(TopDisplayMode());
        PopDisplayMode();
    }
    return modes;
}

TEST(DisplayModeStack, PushPopReplaceAndRemove)
{
    ClearDisplayModeStack();
    PushDisplayMode(3);
    EXPECT_EQ(TopsWhilePopping(3), std::vector<uint32_t>({3, 0, 0}));  // the bottom entry stays
    for (uint32_t mode = 1; mode <= 17; ++mode) {
        PushDisplayMode(mode);
    }
    EXPECT_EQ(TopDisplayMode(), 15u);  // 16 entries: the bottom and the first 15 pushed
    ClearDisplayModeStack();
    EXPECT_EQ(TopDisplayMode(), 0u);

    PushDisplayMode(1);
    ReplaceDisplayMode(2);  // goes under the 1 on top
    EXPECT_EQ(TopsWhilePopping(4), std::vector<uint32_t>({1, 2, 0, 0}));
    PushDisplayMode(1);
    ReplaceDisplayMode(2);
    RemoveDisplayMode();  // takes the 2 from under the 1
    EXPECT_EQ(TopsWhilePopping(3), std::vector<uint32_t>({1, 0, 0}));
    ReplaceDisplayMode(2);
    ReplaceDisplayMode(3);
    RemoveDisplayMode();
    EXPECT_EQ(TopsWhilePopping(3), std::vector<uint32_t>({2, 0, 0}));
}

TEST(PixelFormat, BackBufferFormatChoosesThePacker)
{
    struct Case {
        uint32_t format;
        const char *name;
        PixelPacker packer;
        int bits;
    };
    const Case cases[] = {
        {RenderFormatA8R8G8B8, "A888", PackRgbNoAlpha, 32},
        {RenderFormatR5G6B5, "565", PackRgb565, 16},
        {RenderFormatX8R8G8B8, "X888", PackRgbNoAlpha, 32},
        {RenderFormatX1R5G5B5, "X555", PackRgb555, 16},
        {RenderFormatUnknown, "unknown", PackRgb555, 16},  // keeps the last one
    };
    const uint32_t saved = RenderDevice.BackBufferFormat;
    for (const Case &c : cases) {
        RenderDevice.BackBufferFormat = c.format;
        BackBufferFormatChanged = 1;
        EXPECT_STREQ(SelectPixelFormat(), c.name);
        EXPECT_EQ(BackBufferFormatChanged, 0);
        EXPECT_EQ(BackBufferPacker, c.packer) << c.name;
        EXPECT_EQ(BackBufferPixelBits, c.bits) << c.name;
        EXPECT_EQ(PackPixelColour, PackRgb);
    }
    RenderDevice.BackBufferFormat = saved;
}

TEST(OpenGlDevice, StartWithoutDisplayFails)
{
    const char *display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedWayland = wayland != nullptr ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(SetRenderBackend(RenderBackendOpenGl));
    EXPECT_EQ(StartRenderer(1, -1, 0), -1);
    EXPECT_EQ(RenderDevice.RendererStarted, 0);
    EXPECT_EQ(GetCurrentDisplayMode(), nullptr);
    if (!saved.empty()) {
        setenv("DISPLAY", saved.c_str(), 1);
    }
    if (!savedWayland.empty()) {
        setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
    }
}

// --- A real window and OpenGL context (needs a display, e.g. Xvfb) ---------------------

class OpenGlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DisplayAvailable()) {
            GTEST_SKIP() << "no display";
        }
        ConnectShell();
        ASSERT_TRUE(SetRenderBackend(RenderBackendOpenGl));
    }

    void TearDown() override
    {
        StopGraphics();
        PlatformStopVideo();
        SetRenderShellLink(RenderShellLink{});
        ClearDisplayModeStack();
    }

    // The colour of a back-buffer pixel, y from the top.
    static uint32_t PixelAt(int x, int y)
    {
        uint8_t rgba[4] = {};
        if (!PlatformGlReadPixels(x, RenderDevice.BackBufferHeight - 1 - y, 1, 1, rgba)) {
            return 0xDEADBEEF;
        }
        return PackRgb(rgba[0], rgba[1], rgba[2]);
    }

    static void WaitForWindow()
    {
        const uint32_t start = PlatformTimeMs();
        for (PlatformEvent event; PlatformTimeMs() - start < 300;) {
            while (PlatformPollEvent(&event)) {
            }
            PlatformSleepMs(10);
        }
    }
};

TEST_F(OpenGlDeviceTest, ClearsReadsBackSavesAShotAndFollowsAResize)
{
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    ASSERT_NE(adapter, nullptr);
    ASSERT_GT(adapter->modeCount, 0u);
    EXPECT_GT(adapter->desktopMode.width, 0u);
    for (uint32_t i = 0; i < adapter->modeCount; ++i) {
        const DisplayModeEntry &m = adapter->modes[i];
        EXPECT_GE(m.width, 640u);
        EXPECT_GE(m.height, 480u);
        EXPECT_EQ(m.skip, 0);
        EXPECT_EQ(m.is16Bit, m.format == RenderFormatR5G6B5 || m.format == RenderFormatX1R5G5B5 ? 1 : 0);
        EXPECT_NE(m.depthFormat, 0u);
    }

    // Without the window there is nothing to make the device on.
    Shell.screenWidth = 320;
    Shell.screenHeight = 240;
    EXPECT_EQ(StartGraphics(), 0);
    EXPECT_TRUE(Contains(LogLines, "Can't Create Device"));
    EXPECT_TRUE(Contains(LogLines, "Could not initialise KZVE"));
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);

    ASSERT_TRUE(PlatformCreateWindow(false, PlatformRect{100, 80, 420, 320}));
    WaitForWindow();
    ASSERT_EQ(StartGraphics(), 1);
    ASSERT_TRUE(PlatformHasGlContext());
    EXPECT_EQ(RenderDevice.BackBufferWidth, 320);
    EXPECT_EQ(RenderDevice.BackBufferHeight, 240);
    EXPECT_GE(RenderDevice.DeviceCaps.maxTextureWidth, 64);
    EXPECT_GE(RenderDevice.DeviceCaps.maxSimultaneousTextures, 1);
    EXPECT_NE(adapter->description[0], 0);

    // The frame start clears to the view's ground colour.
    Shell.groundColour = PackRgb(40, 160, 90);
    PushDisplayMode(DisplayModeGroundClear);
    FrameBegun = 0;
    DrawFrameBackground();
    EXPECT_EQ(RenderDevice.InScene, 1);
    EXPECT_EQ(PixelAt(0, 0), PackRgb(40, 160, 90));
    EXPECT_EQ(PixelAt(319, 239), PackRgb(40, 160, 90));
    EndDrawFrame();

    // The shot is the finished frame, before it is presented.
    ASSERT_TRUE(PlatformMakeDirectory("data"));
    ASSERT_TRUE(PlatformMakeDirectory("data\\shots"));
    Shell.nextShot = 41;
    Shell.screenshotRequest = 1;
    TakeScreenshot();
    EXPECT_EQ(Shell.screenshotRequest, 0);
    EXPECT_EQ(Shell.nextShot, 42);
    EXPECT_EQ(HudNotes, std::vector<std::string>({"data\\shots\\kzv_00000041.bmp"}));
    FILE *file = std::fopen("data/shots/kzv_00000041.bmp", "rb");
    ASSERT_NE(file, nullptr);
    uint8_t bmp[54 + 3] = {};
    const size_t got = std::fread(bmp, 1, sizeof(bmp), file);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    ASSERT_EQ(got, sizeof(bmp));
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(bmp[18] | bmp[19] << 8, 320);  // width
    EXPECT_EQ(bmp[22] | bmp[23] << 8, 240);  // height
    EXPECT_EQ(bmp[28], 24);                  // bits per pixel
    EXPECT_EQ(size, 54 + 320 * 3 * 240);
    EXPECT_EQ(bmp[54], 90);   // blue
    EXPECT_EQ(bmp[55], 160);  // green
    EXPECT_EQ(bmp[56], 40);   // red
    PresentFrame();

    // The user makes the window larger.
    PlatformApplyWindowStyle(false, PlatformRect{100, 80, 500, 380});
    WaitForWindow();
    EXPECT_EQ(ResizeWindowedDevice(), 0);
    EXPECT_EQ(Shell.screenWidth, 400);
    EXPECT_EQ(Shell.screenHeight, 300);
    EXPECT_EQ(RenderDevice.BackBufferWidth, 400);
    EXPECT_EQ(RenderDevice.BackBufferHeight, 300);
    EXPECT_EQ(RenderDevice.Viewport.width, 400);
    Shell.groundColour = PackRgb(200, 30, 120);
    FrameBegun = 0;
    DrawFrameBackground();
    EXPECT_EQ(PixelAt(0, 0), PackRgb(200, 30, 120));
    EXPECT_EQ(PixelAt(399, 299), PackRgb(200, 30, 120));
    EndDrawFrame();
    PresentFrame();

    StopGraphics();
    EXPECT_FALSE(PlatformHasGlContext());
    EXPECT_EQ(RenderDevice.RendererStarted, 0);
}

}  // namespace
