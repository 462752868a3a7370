#include "render/render_link.h"

#include "core/colour.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Stand-ins for what the shell has not handed over.
int OwnScreenWidth = 0;
int OwnScreenHeight = 0;
int OwnWindowed = 1;
int OwnFullScreenModeIndex = 0;
int OwnAntialiasing = 0;
int OwnNextShot = 1;
int OwnScreenshotRequest = 0;
int OwnTextureRefreshRequest = 0;
int OwnNoDrawFlag = 0;
int OwnVerticalSync = 0;
int OwnFogEnabled = 1;
int OwnTestShadows = 0;
int OwnInSimShotConnection = 8;
char OwnInSimShotName[InSimShotNameSize];

void NoLine(const char *)
{
}

void NoMessage(const char *, int)
{
}

void NoService()
{
}

void NoInSimNotice(int)
{
}

int NoFontTextures()
{
    return 1;
}

uint32_t BlackGround()
{
    return PackRgb(0, 0, 0);
}

RenderShellLink StandIns()
{
    RenderShellLink link{};
    link.screenWidth = &OwnScreenWidth;
    link.screenHeight = &OwnScreenHeight;
    link.windowed = &OwnWindowed;
    link.fullScreenModeIndex = &OwnFullScreenModeIndex;
    link.antialiasing = &OwnAntialiasing;
    link.nextShot = &OwnNextShot;
    link.screenshotRequest = &OwnScreenshotRequest;
    link.textureRefreshRequest = &OwnTextureRefreshRequest;
    link.noDrawFlag = &OwnNoDrawFlag;
    link.verticalSync = &OwnVerticalSync;
    link.fogEnabled = &OwnFogEnabled;
    link.testShadows = &OwnTestShadows;
    link.insimShotConnection = &OwnInSimShotConnection;
    link.insimShotName = OwnInSimShotName;
    link.logLine = NoLine;
    link.printMessage = NoMessage;
    link.showHudMessageShort = NoLine;
    link.applyWindowStyle = NoService;
    link.updateCursorClip = NoService;
    link.shutDownInputDevices = NoService;
    link.requestInputRestart = NoService;
    link.applyViewGeometry = NoService;
    link.restartWorldGraphics = NoService;
    link.viewGroundColour = BlackGround;
    link.insimNotifyScreenshot = NoInSimNotice;
    link.buildFontTextures = NoFontTextures;
    return link;
}

template <typename T>
void Take(T *into, T from)
{
    if (from != nullptr) {
        *into = from;
    }
}

}  // namespace

RenderShellLink RenderShell = StandIns();

void SetRenderShellLink(const RenderShellLink &link)
{
    RenderShell = StandIns();
    Take(&RenderShell.screenWidth, link.screenWidth);
    Take(&RenderShell.screenHeight, link.screenHeight);
    Take(&RenderShell.windowed, link.windowed);
    Take(&RenderShell.fullScreenModeIndex, link.fullScreenModeIndex);
    Take(&RenderShell.antialiasing, link.antialiasing);
    Take(&RenderShell.nextShot, link.nextShot);
    Take(&RenderShell.screenshotRequest, link.screenshotRequest);
    Take(&RenderShell.textureRefreshRequest, link.textureRefreshRequest);
    Take(&RenderShell.noDrawFlag, link.noDrawFlag);
    Take(&RenderShell.verticalSync, link.verticalSync);
    Take(&RenderShell.fogEnabled, link.fogEnabled);
    Take(&RenderShell.testShadows, link.testShadows);
    Take(&RenderShell.insimShotConnection, link.insimShotConnection);
    Take(&RenderShell.insimShotName, link.insimShotName);
    Take(&RenderShell.logLine, link.logLine);
    Take(&RenderShell.printMessage, link.printMessage);
    Take(&RenderShell.showHudMessageShort, link.showHudMessageShort);
    Take(&RenderShell.applyWindowStyle, link.applyWindowStyle);
    Take(&RenderShell.updateCursorClip, link.updateCursorClip);
    Take(&RenderShell.shutDownInputDevices, link.shutDownInputDevices);
    Take(&RenderShell.requestInputRestart, link.requestInputRestart);
    Take(&RenderShell.applyViewGeometry, link.applyViewGeometry);
    Take(&RenderShell.restartWorldGraphics, link.restartWorldGraphics);
    Take(&RenderShell.viewGroundColour, link.viewGroundColour);
    Take(&RenderShell.insimNotifyScreenshot, link.insimNotifyScreenshot);
    Take(&RenderShell.buildFontTextures, link.buildFontTextures);
}

void RenderLog(const char *format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    RenderShell.logLine(line);
}

void RenderWarning(const char *text)
{
    RenderShell.printMessage(text, ColourSalmon);
}
