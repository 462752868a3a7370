#include "core/main_window.h"

#include <cstdio>

#include "core/colour.h"
#include "core/controllers.h"
#include "core/controls.h"
#include "core/debug_log.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/track_ir.h"
#include "platform/window.h"

uint8_t KeyState[KeyStateSize + ArrowKeyCount] = {};
uint8_t *const ArrowKeyState = KeyState + KeyStateSize;
uint8_t PageKeyState[2] = {};
int AltHeld = 0;
int CtrlHeld = 0;
int ShiftHeld = 0;
char AltCodeDigits[AltCodeMaxDigits] = {};
int AltCodeCount = 0;
int FreeViewMoveRight = 0;
int FreeViewMoveLeft = 0;
int FreeViewMoveDown = 0;
int FreeViewMoveUp = 0;
int TextEntryActive = 0;
int QueuedLineIndex = 0;
int RawKeyDelivering = 0;
int SkipNextChar = 0;
int WindowInactive = 0;
int MouseInClient = 0;
int MouseX = 0;
int MouseY = 0;
float MouseFracX = 0.0f;
float MouseFracY = 0.0f;
MouseEvent WindowMouseEvent = {};

int ExitState = 0;
int ExitValue = 0;
int InfoDisplay = 0;
int ShowResults = 1;
int NetworkDebug = 0;
MenuPage *CurrentScreen = nullptr;

int TrackIRState = 2;
int ControlsFileReadPending = 1;

namespace {

constexpr uint32_t ClipWindowedFlag = 0x100;
constexpr uint32_t ClipFullScreenFlag = 0x200;

// TrackIRState values.
constexpr int TrackIRRunning = 0;
constexpr int TrackIRWanted = 2;

void NoPage(MenuPage *) {}
void NoFlag(int) {}
int AnswerZero() { return 0; }
void Nothing() {}
void NoText(const char *, int) {}
void CentreOffsetOne(float *x, float *y)
{
    *x = 1.0f;
    *y = 1.0f;
}

WindowServices DefaultServices()
{
    WindowServices services = {};
    services.showPageBackground = NoPage;
    services.clearBackgroundPicture = NoFlag;
    services.isOnlineHost = AnswerZero;
    services.closeHostSession = Nothing;
    services.inSimStop = Nothing;
    services.stopDirectSound = Nothing;
    services.showHudMessage = NoText;
    services.isFreeView = AnswerZero;
    services.isHudVisible = AnswerZero;
    services.showHud = Nothing;
    services.screenCentreOffset = CentreOffsetOne;
    services.keyDown = NoFlag;
    services.keyUp = NoFlag;
    services.hasGameSession = AnswerZero;
    return services;
}

WindowServices Services = DefaultServices();

template <typename Function>
void KeepOrDefault(Function &member, Function fallback)
{
    if (!member) {
        member = fallback;
    }
}

uint32_t CurrentClipFlag()
{
    return StartWindowed ? ClipWindowedFlag : ClipFullScreenFlag;
}

// The pointer confinement of the platform, replaceable by tests.
CursorClipFunctions ClipFunctions = {PlatformHasWindow, PlatformClipCursorToWindow, PlatformReleaseCursorClip};

}  // namespace

void SetWindowServices(const WindowServices &services)
{
    const WindowServices defaults = DefaultServices();
    Services = services;
    KeepOrDefault(Services.showPageBackground, defaults.showPageBackground);
    KeepOrDefault(Services.clearBackgroundPicture, defaults.clearBackgroundPicture);
    KeepOrDefault(Services.isOnlineHost, defaults.isOnlineHost);
    KeepOrDefault(Services.closeHostSession, defaults.closeHostSession);
    KeepOrDefault(Services.inSimStop, defaults.inSimStop);
    KeepOrDefault(Services.stopDirectSound, defaults.stopDirectSound);
    KeepOrDefault(Services.showHudMessage, defaults.showHudMessage);
    KeepOrDefault(Services.isFreeView, defaults.isFreeView);
    KeepOrDefault(Services.isHudVisible, defaults.isHudVisible);
    KeepOrDefault(Services.showHud, defaults.showHud);
    KeepOrDefault(Services.screenCentreOffset, defaults.screenCentreOffset);
    KeepOrDefault(Services.keyDown, defaults.keyDown);
    KeepOrDefault(Services.keyUp, defaults.keyUp);
    KeepOrDefault(Services.hasGameSession, defaults.hasGameSession);
}

void RequestQuit()
{
    QuitFlag = 1;
}

void StartProgramExit(int value)
{
    if (ExitState != 0) {
        return;
    }
    if (Services.isOnlineHost()) {
        Services.closeHostSession();
        ExitState = 2;
    } else {
        ExitState = 1;
    }
    if (value != 0) {
        ExitValue = value;
        Services.clearBackgroundPicture(1);
    } else {
        Services.inSimStop();
        Services.stopDirectSound();
        Services.clearBackgroundPicture(0);
    }
}

void SetCurrentScreen(MenuPage *page)
{
    CurrentScreen = page;
    if (page) {
        Services.showPageBackground(page);
    }
}

void SimulateKeyPress(int ctrl, int shift, int alt, int virtualKey)
{
    const int realCtrl = CtrlHeld;
    const int realShift = ShiftHeld;
    const int realAlt = AltHeld;
    CtrlHeld = ctrl;
    ShiftHeld = shift;
    AltHeld = alt;
    Services.keyDown(virtualKey);
    Services.keyUp(virtualKey);
    CtrlHeld = realCtrl;
    ShiftHeld = realShift;
    AltHeld = realAlt;
}

void RequestScreenMode(int modeIndex)
{
    if (modeIndex < 0) {
        return;
    }
    if (!StartWindowed && modeIndex == FullScreenModeIndex) {
        return;
    }
    FullScreenModeRequest = modeIndex;
}

void SelectInfoDisplay(int n)
{
    if (n < 1 || n > 4 || Services.isFreeView()) {
        return;
    }
    if (InfoDisplay == n && Services.isHudVisible()) {
        if (NamesMode == 1) {
            NamesMode = 2;
        } else {
            InfoDisplay = 0;
        }
        return;
    }
    if (NamesMode == 1) {
        NamesMode = 2;
    }
    InfoDisplay = n;
    Services.showHud();
}

void PlaceMouseCursor()
{
    MouseFracX = 0.0f;
    MouseFracY = 0.0f;
    float offsetX = 1.0f;
    float offsetY = 1.0f;
    Services.screenCentreOffset(&offsetX, &offsetY);
    // Screen unit 0 is pixel half-size times the offset, cut toward zero.
    const int x = static_cast<int>(static_cast<float>(ScreenWidth) * 0.5f * offsetX);
    const int y = static_cast<int>(static_cast<float>(ScreenHeight) * 0.5f * offsetY);
    PlatformWarpMouse(x, y);
    MouseX = x;
    MouseY = y;
}

void ToggleMouseClip()
{
    const uint32_t flag = CurrentClipFlag();
    ScreenFlags ^= flag;
    const bool clipped = (ScreenFlags & flag) != 0;
    if (clipped) {
        ClipCursorToWindow();
    } else {
        ReleaseCursorClip();
    }
    char text[96];
    std::snprintf(text, sizeof(text), "%s %s", clipped ? "CTRL + C - mouse clipped to" : "CTRL + C - free mouse when in",
                  StartWindowed ? "window" : "full screen");
    Services.showHudMessage(text, ColourPaleOrange);
}

void SetCursorClipFunctions(const CursorClipFunctions *functions)
{
    ClipFunctions = functions != nullptr
                        ? *functions
                        : CursorClipFunctions{PlatformHasWindow, PlatformClipCursorToWindow, PlatformReleaseCursorClip};
}

void ClipCursorToWindow()
{
    if (ClipFunctions.hasWindow()) {
        ClipFunctions.clip();
    }
}

void ReleaseCursorClip()
{
    if (ClipFunctions.hasWindow()) {
        ClipFunctions.release();
    }
}

void UpdateCursorClip()
{
    if ((ScreenFlags & CurrentClipFlag()) != 0) {
        ClipCursorToWindow();
    } else {
        ReleaseCursorClip();
    }
}

void RequestInputRestart()
{
    InputRestartRequest = 1;
}

void StartInputDevices()
{
    if (GraphicsEnabled && InitDirectInput() != 0) {
        LogLine("Could not initialise DirectInput");
    }
    // The first call (the start-up step, or without graphics the first input
    // restart) reads the controls file and starts no force feedback.
    if (ControlsFileReadPending) {
        ControlsFileReadPending = 0;
        ReadControlsFile();
        return;
    }
    if (GraphicsEnabled && InputState != 0 && InitForceFeedback() != 0) {
        LogLine("Could not initialise FF");
    }
}

void ShutDownInputDevices()
{
    if (GraphicsEnabled) {
        ReleaseControllers();
    }
}

void StartTrackIR()
{
    if (TrackIRState != TrackIRWanted) {
        return;
    }
    TrackIRState = LoadTrackIRClient();
    if (TrackIRState == TrackIRRunning) {
        LogLine("TrackIR initialised");
        if (Services.hasGameSession() && StartTrackIRTransmission() != 0) {
            LogLine("TrackIR : could not start");
            UnloadTrackIRClient();
        }
    } else if (TrackIRState == TrackIRWanted) {
        LogLine("TrackIR not initialised");
    }
    // Not installed: never tried again during this run.
}
