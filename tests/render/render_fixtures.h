#pragma once

// Fixtures the render tests share: the renderer on the recording device,
// and the shell's side of the render link with a record of what it was
// asked to do.

#include "platform/recording_device.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace render_test {

// --- The renderer on the recording device ----------------------------------------------------------

// Lines the render layer logged, and the screen size the shell reports.
inline std::vector<std::string> RenderLogLines;
inline int RenderScreenWidth = 0;
inline int RenderScreenHeight = 0;

class RecordingRenderTest : public ::testing::Test {
protected:
    // Links the screen size (width x height) and the log, puts the recording
    // device in place and starts the renderer; the graphics are started by
    // the test (StartGraphics) when it wants them.
    void StartRecordingRenderer(int width, int height)
    {
        RenderLogLines.clear();
        RenderShellLink link{};
        link.screenWidth = &RenderScreenWidth;
        link.screenHeight = &RenderScreenHeight;
        link.logLine = [](const char *text) { RenderLogLines.emplace_back(text); };
        SetRenderShellLink(link);
        ASSERT_TRUE(UseGraphicsDevice(&Device));
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        RenderScreenWidth = width;
        RenderScreenHeight = height;
    }

    void TearDown() override
    {
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderShellLink(RenderShellLink{});
    }

    RecordingDevice Device;
};

// --- The shell's side of the link ------------------------------------------------------------------

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
    // Linked by the tests of the services that read them.
    int verticalSync = 0;
    int fogEnabled = 1;
    int testShadows = 0;
    int insimConnection = 8;
    char insimName[InSimShotNameSize] = {};
};

inline ShellState Shell;
inline std::vector<std::string> Calls;
inline std::vector<std::string> Messages;
inline std::vector<std::string> HudNotes;
inline std::vector<std::string> LogLines;

// The state reset and the link of what every shell test uses: the sizes and
// requests, the log, messages and notes kept, the window style call
// recorded, the ground colour. Tests add their own services and set it.
inline RenderShellLink CommonShellLink()
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
    link.applyWindowStyle = [] { Calls.emplace_back("applyWindowStyle"); };
    link.viewGroundColour = [] { return Shell.groundColour; };
    return link;
}

inline bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    for (const std::string &l : lines) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

}  // namespace render_test
