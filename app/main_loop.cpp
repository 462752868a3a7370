// The main loop: each pass paces the frame, advances the game clock, runs
// the current page, draws, pumps the window's messages and carries out the
// display, sound and input changes that were asked for during the pass.

#include <cmath>

#include "app/program_steps.h"
#include "app/window_proc.h"
#include "audio/music_player.h"
#include "audio/sound_output.h"
#include "core/colour.h"
#include "core/command_interpreter.h"
#include "core/controls.h"
#include "core/file_handover.h"
#include "core/game_clock.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "net/console.h"
#include "net/downloader.h"
#include "platform/process.h"
#include "platform/stop_signals.h"
#include "race/game_state.h"
#include "race/session_frame.h"
#include "render/render_device.h"
#include "render/screen_modes.h"
#include "render/screenshot.h"
#include "render/number_plates.h"
#include "render/standard_textures.h"
#include "render/view.h"
#include "scene/hud.h"
#include "ui/interface_draw.h"
#include "ui/interface_colours.h"
#include "ui/interface_items.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"

namespace {

constexpr int ConsoleLineSize = 128;
constexpr uint32_t BlinkHalfMs = 500;

// Lines typed into the host's console go to the command interpreter.
void RunConsoleLines(ProgramRun &run)
{
    char line[ConsoleLineSize];
    while (run.services.readConsoleLine(line, sizeof(line))) {
        if (line[0] != 0) {
            ExecuteCommand(CommandSourceLocal, line, 0);
        }
    }
}

// Step 2: sleeps the pass's share of the frame budget; FrameElapsed is the
// whole pass, sleep included.
void PaceFrame(ProgramRun &run)
{
    FrameElapsed = static_cast<int>(run.services.timeMs() - run.previousPassMs);
    const FrameBudgetInput budget = {MinSleep, MinFrameTime, GameLimitFps, DedicatedMode != DedicatedNone,
                                     GameState == 1 || NoViewedCarFlag, MinFrameTimeFloor};
    run.services.sleepMs(FrameSleepMs(budget, FrameElapsed));
    const uint32_t now = run.services.timeMs();
    FrameElapsed = static_cast<int>(now - run.previousPassMs);
    run.previousPassMs = now;
}

// Step 4: the game clock.
void AdvanceGameClock(ProgramRun &run)
{
    ClockStepInput input{};
    input.elapsedMs = FrameElapsed;
    input.hotLapCheck = StartMode == StartModeHotLapCheck;
    input.clockTrim = ClockTrim;
    input.trimPeriods = ClockTrimPeriods;
    input.wallMs = run.previousPassMs;
    input.timeStopped = InSimTimeStop;
    input.pendingStep = PendingClockStep;
    PendingClockStep = 0;
    const ClockStepResult result = StepGameClock(run.clock, input, GameSpeed);
    FrameElapsed = result.elapsedMs;
    if (result.speedWasReset) {
        ShowReplaySpeed();
    }
    GameClockStep = result.step;
    GameClock += static_cast<uint32_t>(result.step);
}

// Step 5: the colours of blinking texts change every half second.
void SetBlinkPhase()
{
    if (GameClock % 1000 > BlinkHalfMs) {
        BlinkColour = MessageColours[ColourSalmon];
        BlinkTint = MessageColours[ColourLightYellow];
        BlinkColourSet = &InterfaceColours.bigText;
    } else {
        BlinkColour = MessageColours[ColourRed];
        BlinkTint = MessageColours[ColourLightGreen];
        BlinkColourSet = &InterfaceColours.textSelected;
    }
}

// Step 6: whether this pass draws, and the interface's screen factors.
void SetInterfaceMetrics()
{
    if (!GraphicsEnabled) {
        NoDrawFlag = 1;
        return;
    }
    if (ScreenWidth == 0 || ScreenHeight == 0) {
        NoDrawFlag = 1;
        ScreenAspect = 1.0f;
        WidthOverHeight = 1.0f;
        PixelWidth = 0.0f;
        PixelHeight = 0.0f;
        TextWidthScale = 1.0f;
        return;
    }
    NoDrawFlag = 0;
    const float width = static_cast<float>(ScreenWidth) * ViewWidthFraction;
    const float height = static_cast<float>(ScreenHeight) * ViewHeightFraction;
    if (width <= 0.0f || height <= 0.0f) {
        NoDrawFlag = 1;
        return;
    }
    ScreenAspect = height / width;
    WidthOverHeight = width / height;
    PixelWidth = 2.0f / width;
    PixelHeight = 2.0f / height;
    const float scale = std::sqrt(1.333f / WidthOverHeight);
    TextWidthScale = scale < 1.0f ? scale : 1.0f;
}

// Step 10: the rest of the frame, each step skipped once one of them gives
// up drawing.
void FinishFrame()
{
    if (!NoDrawFlag && !FrameBegun) {
        DrawBackgroundScreen();
    }
    if (!NoDrawFlag) {
        DrawInterface();
    }
    if (!NoDrawFlag) {
        EndDrawFrame();
    }
    if (!NoDrawFlag && ScreenshotRequest) {
        TakeScreenshot();
    }
    if (!NoDrawFlag) {
        PresentFrame();
    }
}

// Steps 14 and 15 stop the sound around a display switch.
template <typename Switch>
void WithSoundStopped(Switch displaySwitch)
{
    const bool soundOn = SoundState != 0;
    if (soundOn) {
        StopDirectSound();
    }
    displaySwitch();
    if (soundOn) {
        InitDirectSound();
    }
}

// Steps 14 to 18: the changes asked for during the pass.
void CarryOutRequests()
{
    if (FullScreenModeRequest >= 0) {
        const int mode = FullScreenModeRequest;
        if (StartWindowed || mode != FullScreenModeIndex) {
            WithSoundStopped([mode] { GoFullScreen(mode); });
        }
        FullScreenModeRequest = -1;
    }
    if (WindowModeRequest) {
        if (!StartWindowed) {
            WithSoundStopped([] { GoToWindow(); });
        }
        WindowModeRequest = 0;
    }
    if (ResizeRequest) {
        ResizeWindowedDevice();
        ResizeRequest = 0;
    }
    if (GraphicsEnabled && Antialiasing != RenderDevice.MultiSample) {
        ChangeDisplayMode(ScreenWidth, ScreenHeight, -1, RenderDevice.Windowed, Antialiasing);
        TextureRefreshRequest = 2;
    }
    if (InputRestartRequest) {
        InputRestartRequest = 0;
        StartTrackIR();
        StartInputDevices();
    }
}

}  // namespace

void RunMainLoop(ProgramRun &run)
{
    MenuPage *page = run.firstPage;
    if (!page) {
        RequestQuit();
    }
    while (!QuitFlag) {
        // 1. Frame random number; the host's console.
        StepFrameRandom();
        if (run.consoleMode) {
            UpdateConsole();
            RunConsoleLines(run);
        }

        // 2-5. Pacing, wall clock, game clock, blink.
        PaceFrame(run);
        UpdateWallClock(run.wallClock, run.previousPassMs, run.services.wallTime());
        AdvanceGameClock(run);
        SetBlinkPhase();

        // 6-8. Frame start.
        BeginInterfaceFrame();
        FrameBegun = 0;
        SetInterfaceMetrics();
        if (BackBufferFormatChanged) {
            SelectPixelFormat();
        }
        if (TextureRefreshRequest) {
            ResetRenderTextures();
        }
        if (!NoDrawFlag) {
            DrawFrameBackground();
            // Plate texts that changed are drawn into their textures.
            UpdatePlateTextures();
        }
        LodDistanceFactor = ComputeLodDistanceFactor(GraphicsEnabled, MainLod);
        MessageTop = -1.0f;
        DrainMessageQueue();
        HudDrawnThisPass = 0;
        HudBandsOn = 0;
        HudCaptionMoved = 0;

        // 9. The page; it gives the page for the next pass. The loop keeps
        // that itself: CurrentScreen, which takes the input, changes only
        // through SetCurrentScreen.
        MenuPage *next = page->Run(page);
        ReadControlsWithoutSession();

        // 10-11. A page that ended the program still has its frame shown.
        FinishFrame();
        if (!next) {
            RequestQuit();
        } else if (SoundState && MusicBufferRunning) {
            UpdateMusicBuffer();
        }
        page = next;

        // 12. Messages and hand-over requests; a stop signal is a window
        // close. Finished "exec" programs are collected.
        PumpWindowMessages();
        ServeInstanceRequests();
        PlatformReapChildren();
        if (PlatformTakeStopSignal()) {
            StartProgramExit(0);
        }

        // 13-18. Downloads and the requested changes.
        if (IsDownloadedSkinReady()) {
            PollDownloader();
        }
        CarryOutRequests();
    }
}
