#include "core/colour.h"
#include "platform/file_system.h"
#include "platform/recording_device.h"
#include "render/device_resources.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/render_object.h"
#include "render/screen_modes.h"
#include "render/software_raster.h"
#include "render/screenshot.h"
#include "render/standard_textures.h"
#include "render/state_cache.h"

#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// The shell's side of the link: its state and a record of the services the
// render layer called, in order.
using namespace render_test;
std::vector<int> InSimAnswers;
std::vector<int> Sleeps;

void ConnectShell()
{
    InSimAnswers.clear();
    Sleeps.clear();
    RenderShellLink link = render_test::CommonShellLink();
    link.verticalSync = &Shell.verticalSync;
    link.fogEnabled = &Shell.fogEnabled;
    link.testShadows = &Shell.testShadows;
    link.insimShotConnection = &Shell.insimConnection;
    link.insimShotName = Shell.insimName;
    link.insimNotifyScreenshot = [](int error) { InSimAnswers.push_back(error); };
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
    SetRenderShellLink(link);
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


void RecordSleep(int ms)
{
    Sleeps.push_back(ms);
}

bool FileExists(const char *path)
{
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

// data/shots exists, without the numbered shots given.
void PrepareShotFolder(std::initializer_list<int> numbers)
{
    ASSERT_TRUE(PlatformMakeDirectory("data"));
    ASSERT_TRUE(PlatformMakeDirectory("data\\shots"));
    for (const int number : numbers) {
        char path[64];
        std::snprintf(path, sizeof(path), "data/shots/kzv_%.8d.bmp", number);
        std::remove(path);
    }
}

std::string ModeText(const DisplayModeEntry &m)
{
    return std::to_string(m.width) + "x" + std::to_string(m.height) + " " + std::to_string(m.format) + " " +
           std::to_string(m.refreshRate);
}

std::vector<std::string> ModeTexts(const AdapterRecord &adapter)
{
    std::vector<std::string> texts;
    for (uint32_t i = 0; i < adapter.modeCount; ++i) {
        texts.push_back(ModeText(adapter.modes[i]));
    }
    return texts;
}

// The state calls that reached the device, as "rs state value" and "tss
// stage type value".
std::vector<std::string> StateCalls(const RecordingDevice &device)
{
    std::vector<std::string> calls;
    for (const DeviceCall &call : device.calls) {
        std::string text;
        if (call.name == "SetRenderState") {
            text = "rs";
        } else if (call.name == "SetTextureStageState") {
            text = "tss";
        } else {
            continue;
        }
        for (const uint32_t arg : call.args) {
            text += " " + std::to_string(arg);
        }
        calls.push_back(text);
    }
    return calls;
}

class RecordingDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConnectShell();
        ASSERT_TRUE(UseGraphicsDevice(&Device));
        SetRenderSleep(RecordSleep);
    }

    void TearDown() override
    {
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderSleep(nullptr);
        SetRenderShellLink(RenderShellLink{});
    }

    // The renderer and the device, windowed at the size given.
    void StartDevice(int width, int height)
    {
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        Shell.screenWidth = width;
        Shell.screenHeight = height;
        ASSERT_EQ(StartGraphics(), 1);
    }

    RecordingDevice Device;
};

// The null display lists 320x240 (too small), one mode twice, and every
// other mode at 60 Hz in 32 and 16 bits: each comes once more at the default
// refresh rate, and the list is sorted by size, format (16-bit first) and
// refresh rate.
TEST_F(RecordingDeviceTest, ModeListDropsSmallAndRepeatedModesAndAddsDefaultRefreshTwins)
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
TEST_F(RecordingDeviceTest, DepthFormatAndVertexProcessingFollowThePreference)
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

TEST_F(RecordingDeviceTest, GraphicsStartDrawFramesSwitchModesAndStop)
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
    // A private raster image draws 16-bit pixels and gives the 32-bit raster back.
    {
        const RasterTargetRecord before = RasterTarget;
        ASSERT_EQ(before.pixelBits, 32);
        ASSERT_TRUE(BeginRasterImage(64));
        EXPECT_EQ(RasterTarget.pixelBits, 16);
        EXPECT_EQ(RasterTarget.packer, PackRgb565);
        FillRasterRect(0, 0, 2, 1, RasterTarget.packer(255, 0, 0));
        EXPECT_EQ(static_cast<const uint16_t *>(RasterTarget.pixels)[1], 0xF800);
        EXPECT_EQ(static_cast<const uint16_t *>(RasterTarget.pixels)[2], 0);
        EndRasterImage();
        EXPECT_EQ(RasterTarget.pixels, before.pixels);
        EXPECT_EQ(RasterTarget.pixelBits, 32);
        EXPECT_EQ(RasterTarget.packer, before.packer);
        EXPECT_EQ(RasterTarget.height, before.height);
        EXPECT_EQ(RasterTarget.lastClipRow, before.lastClipRow);
    }
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
    // The shot is the recorded back buffer; a failed save uses up its
    // number all the same.
    PrepareShotFolder({41, 42});
    Shell.nextShot = 41;
    Shell.screenshotRequest = 1;
    TakeScreenshot();
    EXPECT_EQ(Shell.screenshotRequest, 0);
    EXPECT_EQ(Shell.nextShot, 42);
    EXPECT_EQ(HudNotes, std::vector<std::string>({"data\\shots\\kzv_00000041.bmp"}));
    Device.failing.insert("ReadBackBuffer");
    TakeScreenshot();
    Device.failing.clear();
    EXPECT_EQ(Shell.nextShot, 43);
    EXPECT_TRUE(Contains(Messages, "Could not get back buffer"));
    EXPECT_EQ(HudNotes.size(), 1u);
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

TEST_F(RecordingDeviceTest, FrameStartDrawsNothingWithoutDeviceAndSetsNoDrawFlag)
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

// --- Enumeration from scripted adapters -------------------------------------------------------

TEST_F(RecordingDeviceTest, ScriptedModesAreSortedTwinnedAndFiltered)
{
    const uint32_t x888 = RenderFormatX8R8G8B8;
    const uint32_t r565 = RenderFormatR5G6B5;
    Device.adapters[0].modes = {{640, 480, 60, x888},   {640, 480, 60, x888}, {800, 600, 0, x888},
                                {800, 600, 75, x888},   {1024, 768, 60, x888}, {1024, 768, 60, r565},
                                {320, 200, 60, x888}};
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    EXPECT_EQ(ModeTexts(*GetCurrentDisplayMode()),
              std::vector<std::string>({"640x480 22 0", "640x480 22 60", "800x600 22 0", "800x600 22 75",
                                        "1024x768 23 0", "1024x768 23 60", "1024x768 22 0", "1024x768 22 60"}));
    ShutDownRenderer();

    struct Aspect {
        uint32_t width;
        uint32_t height;
        uint8_t aspectClass;
    };
    const Aspect aspects[] = {{1024, 768, 0}, {1280, 1024, 0}, {3072, 768, 1}, {3840, 1024, 1}, {1920, 1080, 2}};
    Device.adapters[0].modes.clear();
    for (const Aspect &a : aspects) {
        Device.adapters[0].modes.push_back({a.width, a.height, 0, x888});
    }
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    const AdapterRecord &adapter = *GetCurrentDisplayMode();
    ASSERT_EQ(adapter.modeCount, 5u);
    for (const Aspect &a : aspects) {
        for (uint32_t i = 0; i < adapter.modeCount; ++i) {
            if (adapter.modes[i].width == a.width && adapter.modes[i].height == a.height) {
                EXPECT_EQ(adapter.modes[i].aspectClass, a.aspectClass) << a.width << "x" << a.height;
            }
        }
    }
}

TEST_F(RecordingDeviceTest, AnAdapterWithoutUsableFormatsTakesNoSlot)
{
    RecordingAdapter second = NullDisplayAdapter();
    second.description = "Second display";
    second.desktop.format = RenderFormatR5G6B5;
    second.modes = {{800, 600, 60, RenderFormatR5G6B5}};
    second.refusedFormats = {RenderFormatR5G6B5};
    Device.adapters.push_back(second);
    ASSERT_EQ(StartRenderer(1, -1, 1), 0);
    EXPECT_TRUE(Contains(LogLines, "number of adapters : 2"));
    EXPECT_TRUE(Contains(LogLines, "adapter 0 - valid modes : 16"));
    EXPECT_TRUE(Contains(LogLines, "adapter 1 : no valid modes"));
    EXPECT_FALSE(Contains(LogLines, "using adapter : 0"));  // one usable adapter
    EXPECT_EQ(RenderDevice.AdapterCount, 1);
    EXPECT_EQ(RenderDevice.CurrentAdapter, 0);  // the wanted 1 is not there
    EXPECT_STREQ(GetCurrentDisplayMode()->description, "Null display");
}

// Preference 0 finds 16 bits for the desktop's format (no 15-bit there), so
// the second format is searched from class 1 and takes 16 bits although
// 15 bits would go with it.
TEST_F(RecordingDeviceTest, DepthSearchOfALaterFormatStartsFromTheClassFound)
{
    Device.usableDepthFormats = {RenderFormatD15S1, RenderFormatD16, RenderFormatD24X8};
    Device.refusedDepthPairs = {{RenderFormatX8R8G8B8, RenderFormatD15S1}};
    ASSERT_EQ(StartRenderer(1, 0, 0), 0);
    const AdapterRecord &adapter = *GetCurrentDisplayMode();
    for (uint32_t i = 0; i < adapter.modeCount; ++i) {
        EXPECT_EQ(adapter.modes[i].depthFormat, static_cast<uint32_t>(RenderFormatD16)) << ModeText(adapter.modes[i]);
    }
    EXPECT_EQ(RenderDevice.DepthPreference, 1);
    EXPECT_EQ(RenderDevice.DepthClassAvailable[0], 1);
    EXPECT_EQ(RenderDevice.DepthClassAvailable[1], 1);
    EXPECT_EQ(RenderDevice.DepthClassAvailable[2], 1);
    EXPECT_EQ(RenderDevice.DepthClassAvailable[3], 0);
}

// --- Present parameters --------------------------------------------------------------------------

TEST_F(RecordingDeviceTest, PresentParametersFollowTheWindowAndTheSettings)
{
    Device.refusedMultiSample = {4};
    ASSERT_EQ(StartRenderer(1, -1, 0), 0);
    AdapterRecord &adapter = RenderDevice.Adapters[0];
    int mode565 = -1;
    for (uint32_t i = 0; i < adapter.modeCount; ++i) {
        if (adapter.modes[i].width == 1024 && adapter.modes[i].format == RenderFormatR5G6B5 &&
            adapter.modes[i].refreshRate == 60) {
            mode565 = static_cast<int>(i);
        }
    }
    ASSERT_GE(mode565, 0);
    adapter.chosenMode = static_cast<uint32_t>(mode565);
    struct Case {
        int width;
        int height;
        int windowed;
        int verticalSync;
        int multiSample;
        int paramWidth;
        uint32_t format;
        int buffers;
        uint32_t interval;
        int refresh;
        int paramMultiSample;
    };
    const Case cases[] = {
        {5, 600, 1, 1, 0, 8, RenderFormatX8R8G8B8, 1, PresentIntervalDefault, 0, 0},
        {1024, 768, 0, 1, 0, 1024, RenderFormatR5G6B5, 2, PresentIntervalOne, 60, 0},
        {1024, 768, 0, 0, 0, 1024, RenderFormatR5G6B5, 1, PresentIntervalImmediate, 60, 0},
        {800, 600, 1, 0, 4, 800, RenderFormatX8R8G8B8, 1, PresentIntervalDefault, 0, 0},  // refused
        {800, 600, 1, 0, 2, 800, RenderFormatX8R8G8B8, 1, PresentIntervalDefault, 0, 2},
        {800, 600, 1, 0, 1, 800, RenderFormatX8R8G8B8, 1, PresentIntervalDefault, 0, 0},  // 1 is none
    };
    for (const Case &c : cases) {
        RenderDevice.BackBufferWidth = c.width;
        RenderDevice.BackBufferHeight = c.height;
        RenderDevice.Windowed = c.windowed;
        RenderDevice.MultiSample = c.multiSample;
        Shell.verticalSync = c.verticalSync;
        FillPresentParameters(1);
        const PresentParameters &p = RenderDevice.PresentParams;
        SCOPED_TRACE(std::to_string(c.width) + " windowed " + std::to_string(c.windowed) + " sync " +
                     std::to_string(c.verticalSync) + " samples " + std::to_string(c.multiSample));
        EXPECT_EQ(p.width, c.paramWidth);
        EXPECT_EQ(RenderDevice.BackBufferWidth, c.width);
        EXPECT_EQ(p.format, c.format);
        EXPECT_EQ(RenderDevice.BackBufferFormat, c.format);
        EXPECT_EQ(p.bufferCount, c.buffers);
        EXPECT_EQ(p.interval, c.interval);
        EXPECT_EQ(p.refreshRate, c.refresh);
        EXPECT_EQ(p.multiSample, c.paramMultiSample);
        EXPECT_EQ(p.lockableBackBuffer, 1);
        EXPECT_EQ(p.depthFormat, static_cast<uint32_t>(RenderFormatD24X8));
        EXPECT_EQ(RenderDevice.VerticalSync, c.verticalSync);
    }
}

// --- Creation and the state caches ------------------------------------------------------------

TEST_F(RecordingDeviceTest, CreationSendsOnlyTheDefaultsThatDiffer)
{
    Shell.fogEnabled = 0;
    Shell.testShadows = 1;
    StartDevice(800, 600);
    EXPECT_EQ(RenderDevice.FogEnabled, 0);
    EXPECT_EQ(RenderDevice.TestShadows, 1);
    const std::string bias = std::to_string(FloatBits(-1.0f));
    // The 17th render state (VERTEXBLEND) flushes the first 16 and the two
    // biases; the rest follows at the end, stage by stage.
    std::vector<std::string> expected = {"rs 137 0",       "rs 19 5", "rs 20 6", "rs 24 128", "rs 25 7",
                                         "tss 0 19 " + bias, "tss 1 19 " + bias, "rs 26 1",  "tss 0 3 0",
                                         "tss 0 4 4",      "tss 0 6 0"};
    for (int stage = 0; stage < 4; ++stage) {
        for (const char *filters : {" 17 2", " 16 2", " 18 1"}) {
            expected.push_back("tss " + std::to_string(stage) + filters);
        }
    }
    EXPECT_EQ(StateCalls(Device), expected);
    EXPECT_EQ(Device.CallsNamed("Create").size(), 1u);
    EXPECT_EQ(Device.CallsNamed("Reset").size(), 0u);  // no window: the size asked for stands
    EXPECT_EQ(RenderDevice.Device, &Device);
    EXPECT_NE(RenderDevice.BackBufferSurface, 0u);
    EXPECT_NE(RenderDevice.DepthSurface, 0u);
    EXPECT_EQ(RenderDevice.DeviceCaps.maxTextureWidth, 4096);
    EXPECT_EQ(RenderDevice.DeviceCaps.borderAddressing, 1);
    EXPECT_STREQ(RenderDevice.Adapters[0].description, "Recording device");
    EXPECT_EQ(GetVertexConstant(93)[0], 0.5f);
    EXPECT_EQ(GetVertexConstant(93)[3], 1.0f);
    EXPECT_EQ(GetVertexConstant(92)[1], 1.0f);
    EXPECT_EQ(RenderDevice.Viewport.width, 800);
    EXPECT_EQ(RenderDevice.Viewport.maxZ, 1.0f);
}

TEST_F(RecordingDeviceTest, StateCachesSendInBatchesInFirstSetOrder)
{
    StartDevice(800, 600);
    // 17 distinct states: the 17th sends the first 16.
    std::vector<uint32_t> states;
    for (int s = 0; s < StateCacheRenderStates && states.size() < 17; ++s) {
        if (IsRenderStateIndex(s)) {
            states.push_back(static_cast<uint32_t>(s));
        }
    }
    Device.ClearLog();
    for (size_t i = 0; i < 16; ++i) {
        SetRenderStateCached(states[i], 1000 + static_cast<uint32_t>(i));
    }
    EXPECT_TRUE(StateCalls(Device).empty());
    SetRenderStateCached(states[16], 1016);
    ASSERT_EQ(StateCalls(Device).size(), 16u);
    EXPECT_EQ(StateCalls(Device).front(), "rs " + std::to_string(states[0]) + " 1000");
    EXPECT_EQ(StateCalls(Device).back(), "rs " + std::to_string(states[15]) + " 1015");
    FlushStateCache();
    EXPECT_EQ(StateCalls(Device).size(), 17u);

    // A value the device has is not sent; a state set twice sends the last.
    Device.ClearLog();
    SetRenderStateCached(states[0], 1000);
    SetRenderStateCached(RsAlphaRef, 10);
    SetRenderStateCached(RsAlphaRef, 20);
    FlushStateCache();
    EXPECT_EQ(StateCalls(Device), std::vector<std::string>({"rs 24 20"}));

    // A full stage list flushes every cache, render states first.
    Device.ClearLog();
    SetRenderStateCached(RsFogColor, 0x123456);
    int types = 0;
    for (int type = 1; type < StateCacheStageTypes && types < 17; ++type) {
        if (IsTextureStageStateIndex(type)) {
            SetTextureStageStateCached(2, static_cast<uint32_t>(type), 7000 + static_cast<uint32_t>(type));
            ++types;
        }
    }
    const std::vector<std::string> sent = StateCalls(Device);
    ASSERT_EQ(sent.size(), 17u);
    EXPECT_EQ(sent.front(), "rs 34 " + std::to_string(0x123456));
    EXPECT_EQ(sent[1], "tss 2 1 7001");
    EXPECT_EQ(WantedStageState(2, 22), 7022u);  // the 17th type
    FlushStateCache();

    // A device that must be reset gets every wanted state back.
    Device.cooperativeLevel = DeviceNotReset;
    EXPECT_FALSE(CheckRenderDevice());
    for (int s = 0; s < StateCacheRenderStates; ++s) {
        if (IsRenderStateIndex(s)) {
            EXPECT_EQ(Device.renderStates[s], WantedRenderState(static_cast<uint32_t>(s))) << "state " << s;
        }
    }
    for (int stage = 0; stage < StateCacheStages; ++stage) {
        for (int type = 0; type < StateCacheStageTypes; ++type) {
            if (IsTextureStageStateIndex(type)) {
                EXPECT_EQ(Device.stageStates[stage][type], WantedStageState(stage, static_cast<uint32_t>(type)))
                    << "stage " << stage << " type " << type;
            }
        }
    }
    EXPECT_EQ(Device.renderStates[RsFogColor], 0x123456u);
    EXPECT_TRUE(CheckRenderDevice());
}

TEST(StateCacheIndex, ExistingStates)
{
    int renderStates = 0;
    for (int s = -1; s <= 172; ++s) {
        renderStates += IsRenderStateIndex(s) ? 1 : 0;
    }
    // 7..171 less the 91 numbers without a state.
    EXPECT_EQ(renderStates, 74);
    for (const int missing : {11, 12, 13, 17, 18, 21, 31, 32, 33, 39, 41, 46, 49, 50, 51, 61, 127, 138, 144, 149,
                              150, 169}) {
        EXPECT_FALSE(IsRenderStateIndex(missing)) << missing;
    }
    for (const int present : {7, 8, 14, 60, 128, 136, 171}) {
        EXPECT_TRUE(IsRenderStateIndex(present)) << present;
    }
    std::vector<int> types;
    for (int t = 0; t <= 29; ++t) {
        if (IsTextureStageStateIndex(t)) {
            types.push_back(t);
        }
    }
    EXPECT_EQ(types, std::vector<int>({1, 2, 3, 4, 5, 6, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                                       27, 28}));
}

// --- Device loss, resets and targets --------------------------------------------------------------

TEST_F(RecordingDeviceTest, LostDeviceWaitsAndResettableDeviceIsRecovered)
{
    StartDevice(800, 600);
    Device.cooperativeLevel = DeviceLost;
    Device.ClearLog();
    EXPECT_FALSE(CheckRenderDevice());
    EXPECT_EQ(Sleeps, std::vector<int>({50}));
    EXPECT_EQ(Device.CallNames(false), std::vector<std::string>({"TestCooperativeLevel"}));

    Device.cooperativeLevel = DeviceNotReset;
    Device.ClearLog();
    EXPECT_FALSE(CheckRenderDevice());
    // Release (the surfaces, then the batches' dynamic index and vertex
    // buffers, unbound first, then the render targets), Reset, restore (the
    // buffers and targets again, a cleared frame).
    std::vector<std::string> expected = {"TestCooperativeLevel", "ReleaseSurface", "ReleaseSurface"};
    for (int pool = 0; pool < 2; ++pool) {
        expected.insert(expected.end(), {"SetStreamSource", "SetIndices", "ReleaseBuffer", "ReleaseBuffer",
                                         "ReleaseBuffer", "ReleaseBuffer"});
    }
    // Every stage unbound, the frame-sync targets let go.
    expected.insert(expected.end(), DeviceStageCount, "SetTexture");
    expected.insert(expected.end(), 2, "ReleaseSurface");
    expected.push_back("Reset");
    expected.insert(expected.end(), 4, "CreateIndexBuffer");
    expected.insert(expected.end(), 4, "CreateVertexBuffer");
    expected.insert(expected.end(), 2, "CreateLockableTarget");
    // The device's constants and the world transform sent again.
    expected.insert(expected.end(), 3, "SetVertexShaderConstant");
    expected.push_back("SetTransform");
    expected.insert(expected.end(), {"Clear", "Present"});
    EXPECT_EQ(Device.CallNames(false), expected);
    EXPECT_EQ(Sleeps.size(), 1u);
    EXPECT_TRUE(CheckRenderDevice());

    // A resource of the device's own memory left alive refuses the Reset;
    // the device keeps asking to be reset until it is gone.
    uint32_t texture = 0;
    ASSERT_EQ(Device.CreateTexture(64, 64, 1, UsageRenderTarget, RenderFormatA8R8G8B8, PoolDefault, &texture),
              DeviceOk);
    Shell.screenWidth = 640;  // the program's size: no window here
    Shell.screenHeight = 480;
    ChangeDisplayMode(640, 480, -1, 1, 0);
    EXPECT_EQ(Device.CurrentPresent().width, 800);
    EXPECT_FALSE(CheckRenderDevice());
    EXPECT_FALSE(CheckRenderDevice());
    Device.ReleaseTexture(texture);
    EXPECT_FALSE(CheckRenderDevice());  // this one resets
    EXPECT_EQ(Device.CurrentPresent().width, 640);
    EXPECT_TRUE(CheckRenderDevice());
}

TEST_F(RecordingDeviceTest, DisplayModeChangesFollowTheClientArea)
{
    StartDevice(800, 600);
    Device.ClearLog();
    ChangeDisplayMode(800, 600, -1, 1, 0);
    EXPECT_TRUE(Device.CallsNamed("Reset").empty());

    Device.clientWidth = 700;
    Device.clientHeight = 500;
    ChangeDisplayMode(640, 480, -1, 1, 0);
    const std::vector<DeviceCall> resets = Device.CallsNamed("Reset");
    ASSERT_EQ(resets.size(), 2u);
    EXPECT_EQ(resets[0].args[0], 640u);
    EXPECT_EQ(resets[1].args[0], 700u);
    EXPECT_EQ(resets[1].args[1], 500u);
    EXPECT_EQ(RenderDevice.BackBufferWidth, 700);
    EXPECT_EQ(RenderDevice.Viewport.height, 500);

    // "Antialiasing " reaches the back buffer at the Reset.
    ChangeDisplayMode(700, 500, -1, 1, 4);
    EXPECT_EQ(Device.CurrentPresent().multiSample, 4);
}

TEST_F(RecordingDeviceTest, TextureTargetsShareDepthSurfacesBySide)
{
    StartDevice(800, 600);
    EXPECT_EQ(GetDepthSurface(0), RenderDevice.DepthSurface);
    Device.ClearLog();
    const uint32_t depth = GetDepthSurface(256);
    EXPECT_NE(depth, 0u);
    EXPECT_EQ(GetDepthSurface(256), depth);
    EXPECT_EQ(Device.CallsNamed("CreateDepthSurface").size(), 1u);

    uint32_t texture = 0;
    ASSERT_EQ(Device.CreateTexture(128, 128, 1, UsageRenderTarget, RenderFormatA8R8G8B8, PoolDefault, &texture),
              DeviceOk);
    Device.failing.insert("CreateDepthSurface");
    BeginRenderScene();
    Device.ClearLog();
    ASSERT_EQ(BeginRenderToTexture(texture, 1), 1);
    const std::vector<DeviceCall> targets = Device.CallsNamed("SetRenderTarget");
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].args[1], 0u);  // without depth
    EXPECT_EQ(RenderDevice.BackBufferWidth, 128);
    EXPECT_EQ(RenderDevice.Viewport.width, 128);
    EXPECT_EQ(RenderDevice.InScene, 0);
    EndRenderToTexture();
    EXPECT_EQ(RenderDevice.BackBufferWidth, 800);
    EXPECT_EQ(RenderDevice.Viewport.width, 800);
    EXPECT_EQ(Device.CurrentTarget(), 0u);
    EXPECT_EQ(Device.renderStates[RsZEnable], 1u);
    EXPECT_EQ(BeginRenderToTexture(0u, 1), 0);
    Device.ReleaseTexture(texture);
}

// --- Screenshots --------------------------------------------------------------------------------------

TEST_F(RecordingDeviceTest, ScreenshotsTakeTheFirstFreeNumberOrTheInSimName)
{
    StartDevice(64, 48);
    PrepareShotFolder({41, 42});
    std::remove("data/shots/lap1.bmp");

    // An earlier shot 41 is kept; the shot takes 42.
    FILE *earlier = std::fopen("data/shots/kzv_00000041.bmp", "wb");
    ASSERT_NE(earlier, nullptr);
    std::fputs("earlier", earlier);
    std::fclose(earlier);
    Shell.nextShot = 41;
    TakeScreenshot();
    EXPECT_EQ(Shell.nextShot, 43);
    EXPECT_TRUE(FileExists("data/shots/kzv_00000042.bmp"));
    FILE *kept = std::fopen("data/shots/kzv_00000041.bmp", "rb");
    ASSERT_NE(kept, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, 7, kept), 7u);
    std::fclose(kept);
    EXPECT_STREQ(text, "earlier");

    // An InSim name: its own file, the number unchanged, answered with 0.
    Shell.insimConnection = 2;
    std::snprintf(Shell.insimName, sizeof(Shell.insimName), "lap1");
    Shell.screenshotRequest = 1;
    TakeScreenshot();
    EXPECT_TRUE(FileExists("data/shots/lap1.bmp"));
    EXPECT_EQ(Shell.nextShot, 43);
    EXPECT_EQ(InSimAnswers, std::vector<int>({0}));
    EXPECT_EQ(Shell.screenshotRequest, 0);
    EXPECT_EQ(Shell.insimConnection, 8);
    EXPECT_EQ(HudNotes, std::vector<std::string>({"data\\shots\\kzv_00000042.bmp"}));

    // Names that would write outside data/shots are refused.
    for (const char *name : {"..", "../evil", "..\\evil", "a/b", "a\\b", "c:evil", "tab\there", "bell\x07"}) {
        InSimAnswers.clear();
        Shell.insimConnection = 0;
        std::snprintf(Shell.insimName, sizeof(Shell.insimName), "%s", name);
        TakeScreenshot();
        EXPECT_EQ(InSimAnswers, std::vector<int>({3})) << name;
        EXPECT_EQ(Shell.nextShot, 43) << name;
    }
    EXPECT_FALSE(FileExists("data/evil.bmp"));
    EXPECT_FALSE(FileExists("data/shots/a/b.bmp"));

    // A failed save answers 3.
    InSimAnswers.clear();
    Shell.insimConnection = 1;
    std::snprintf(Shell.insimName, sizeof(Shell.insimName), "lap2");
    Device.failing.insert("ReadBackBuffer");
    TakeScreenshot();
    EXPECT_EQ(InSimAnswers, std::vector<int>({3}));
}

// The shot is the back buffer: its size and pixels, rows bottom up and
// padded to four bytes.
TEST(BmpFile, HeadersAndRowPadding)
{
    ASSERT_TRUE(PlatformMakeDirectory("data"));
    for (const int width : {1, 3}) {
        const int height = 2;
        std::vector<uint8_t> image(static_cast<size_t>(width * height * 4));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint8_t *p = &image[static_cast<size_t>((y * width + x) * 4)];
                p[0] = static_cast<uint8_t>(10 + x);   // blue
                p[1] = static_cast<uint8_t>(100 + y);  // green
                p[2] = 200;                            // red
                p[3] = 255;
            }
        }
        ASSERT_TRUE(WriteBmpFile("data/bmp_test.bmp", image.data(), width, height));
        FILE *file = std::fopen("data/bmp_test.bmp", "rb");
        ASSERT_NE(file, nullptr);
        std::vector<uint8_t> bytes(256);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
        const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        ASSERT_EQ(bytes.size(), 54 + row * height) << width;
        auto u32 = [&bytes](size_t at) {
            return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
        };
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(u32(2), bytes.size());
        EXPECT_EQ(u32(10), 54u);
        EXPECT_EQ(u32(14), 40u);
        EXPECT_EQ(u32(18), static_cast<uint32_t>(width));
        EXPECT_EQ(u32(22), static_cast<uint32_t>(height));
        EXPECT_EQ(bytes[26], 1);
        EXPECT_EQ(bytes[28], 24);
        EXPECT_EQ(u32(34), row * height);
        // The first row in the file is the bottom one (y 1).
        EXPECT_EQ(bytes[54], 10);
        EXPECT_EQ(bytes[55], 101);
        EXPECT_EQ(bytes[56], 200);
        EXPECT_EQ(bytes[54 + row], 10);
        EXPECT_EQ(bytes[54 + row + 1], 100);
        EXPECT_EQ(bytes[54 + (width - 1) * 3], 10 + width - 1);
        for (size_t pad = static_cast<size_t>(width) * 3; pad < row; ++pad) {
            EXPECT_EQ(bytes[54 + pad], 0);
        }
    }
    std::remove("data/bmp_test.bmp");
}

TEST(OpenGlDevice, StartWithoutDisplayFails)
{
    const char *display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedWayland = wayland != nullptr ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(UseGraphicsDevice(nullptr));
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

}  // namespace
