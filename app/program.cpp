#include "app/program.h"

#include <cstdio>

#include "app/command_services.h"
#include "app/message_services.h"
#include "app/program_steps.h"
#include "app/simulation_services.h"
#include "app/texture_services.h"
#include "app/window_proc.h"
#include "audio/engine_file.h"
#include "audio/interface_sound.h"
#include "core/colour.h"
#include "core/command_line.h"
#include "core/debug_log.h"
#include "core/file_handover.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "insim/insim.h"
#include "platform/console_input.h"
#include "platform/stop_signals.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_object.h"
#include "render/render_link.h"
#include "render/view.h"
#include "scene/hud.h"
#include "scene/view_geometry.h"
#include "screens/main_menu.h"
#include "screens/startup_screen.h"
#include "net/chat_limits.h"
#include "race/driver_names.h"
#include "ui/dialogs.h"
#include "ui/font_textures.h"
#include "ui/interface_hooks.h"
#include "ui/ui_services.h"
#include "ui/message_lines.h"

namespace {

// The whole command line, as the system hands it to a program as one text.
constexpr int CommandLineSize = 2048;

ProgramServices Services = {};

std::time_t SystemWallTime()
{
    return std::time(nullptr);
}

// Joins the arguments with blanks; a text that does not fit is cut.
void JoinArguments(int argc, char **argv, char *out, int size)
{
    int length = 0;
    out[0] = 0;
    for (int i = 1; i < argc && argv && argv[i]; ++i) {
        const int written = std::snprintf(out + length, static_cast<size_t>(size - length), "%s%s",
                                          i > 1 ? " " : "", argv[i]);
        if (written < 0 || written >= size - length) {
            out[size - 1] = 0;
            return;
        }
        length += written;
    }
}

void PrintWarning(const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void PrintRenderMessage(const char *text, int colour)
{
    if (colour < 0 || colour >= MessageColourCount) {
        colour = ColourLightGrey;
    }
    PrintMessage(text, &MessageColours[colour]);
}

void ShowRenderHudNote(const char *text)
{
    ShowHudMessageShort(text, &MessageColours[ColourLightGrey]);
}

uint32_t ViewGroundColour()
{
    const ViewRecord *view = CurrentView ? CurrentView : &MainView;
    return PackRgb(view->groundColour.red, view->groundColour.green, view->groundColour.blue);
}

// The services that the lower layers call up through, handed over before
// anything runs.
static_assert(InSimShotNameLength == InSimShotNameSize, "the InSim shot name goes through the render link");

static int ChatLineAllowedNow()
{
    return CanSendChatNow() ? 1 : 0;
}

static const char *FunctionKeyLine(int index)
{
    return index >= 0 && index < FKeyMessageCount ? FKeyMessages[index] : nullptr;
}

void RegisterProgramHooks()
{
    InitInterfaceHooks();
    RegisterWindowServices();
    RegisterCommandServices();
    RegisterMessageServices();
    RegisterSimulationServices();
    RegisterTextureServices();
    SetEngineMessagePrinter(PrintWarning);
    StartRaceOnEntry = 1;

    UiServices ui{};
    ui.playInterfaceSound = PlayInterfaceSound;
    ui.captionRaise = &HudCaptionMoved;
    ui.openTextInputDialog = OpenTextInputDialog;
    ui.openMessageEntry = OpenMessageEntryDialog;
    ui.openTextInput = OpenPromptDialog;
    SetUiServices(ui);
    DialogServices dialogs{};
    dialogs.chatRateAllows = ChatLineAllowedNow;
    dialogs.functionKeyLine = FunctionKeyLine;
    SetDialogServices(dialogs);

    RenderShellLink link{};
    link.screenWidth = &ScreenWidth;
    link.screenHeight = &ScreenHeight;
    link.windowed = &StartWindowed;
    link.fullScreenModeIndex = &FullScreenModeIndex;
    link.antialiasing = &Antialiasing;
    link.nextShot = &NextShot;
    link.screenshotRequest = &ScreenshotRequest;
    link.textureRefreshRequest = &TextureRefreshRequest;
    link.noDrawFlag = &NoDrawFlag;
    link.verticalSync = &VerticalSync;
    link.fogEnabled = &FogEnabled;
    link.testShadows = &TestShadows;
    link.insimShotConnection = &InSimShotConnection;
    link.insimShotName = InSimShotName;
    link.logLine = LogLine;
    link.printMessage = PrintRenderMessage;
    link.showHudMessageShort = ShowRenderHudNote;
    link.applyWindowStyle = ApplyWindowStyle;
    link.updateCursorClip = UpdateCursorClip;
    link.shutDownInputDevices = ShutDownInputDevices;
    link.requestInputRestart = RequestInputRestart;
    link.applyViewGeometry = ApplyViewGeometry;
    link.viewGroundColour = ViewGroundColour;
    link.insimNotifyScreenshot = InSimNotifyScreenshot;
    link.buildFontTextures = RebuildFontTextures;
    SetRenderShellLink(link);
}

}  // namespace

void SetProgramServices(const ProgramServices &services)
{
    Services = services;
}

int RunProgram(int argc, char **argv)
{
    ProgramRun run{};
    run.services = Services;
    if (!run.services.timeMs) {
        run.services.timeMs = PlatformTimeMs;
    }
    if (!run.services.sleepMs) {
        run.services.sleepMs = PlatformSleepMs;
    }
    if (!run.services.wallTime) {
        run.services.wallTime = SystemWallTime;
    }
    if (!run.services.readConsoleLine) {
        run.services.readConsoleLine = PlatformReadConsoleLine;
    }
    if (!run.services.firstPage) {
        run.services.firstPage = StartupScreen;
    }
    if (run.services.graphicsDevice) {
        run.services.noDisplay = 1;
    }
    UseGraphicsDevice(run.services.graphicsDevice);

    static char commandLine[CommandLineSize];
    JoinArguments(argc, argv, commandLine, CommandLineSize);
    run.commandLine = commandLine;

    // Without a window to close, Ctrl+C and the terminate signal close the
    // program the way the window's close button does.
    PlatformCatchStopSignals();
    RegisterProgramHooks();
    // The message lines run out on the program's own clock.
    SetMessageClock(run.services.timeMs);

    int exitCode = 0;
    if (RunStartup(run, &exitCode)) {
        RunMainLoop(run);
        RunShutdown(run);
        exitCode = ExitCode;
    } else {
        StopInstanceListener();  // a step after the window's failed
    }

    MessageLineEcho = 0;
    SetMessageClock(nullptr);
    PlatformStopVideo();
    PlatformReleaseStopSignals();
    return exitCode;
}
