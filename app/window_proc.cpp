#include "app/window_proc.h"

#include <cstdio>
#include <cstring>

#include "audio/interface_sound.h"
#include "audio/sound_output.h"
#include "core/colour.h"
#include "core/command_interpreter.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "insim/insim.h"
#include "net/chat_limits.h"
#include "net/console.h"
#include "net/net_session.h"
#include "platform/keys.h"
#include "platform/window.h"
#include "race/driver_names.h"
#include "race/game_state.h"
#include "render/screen_modes.h"
#include "render/standard_textures.h"
#include "scene/hud.h"
#include "ui/ime.h"
#include "ui/interface_items.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/text_entry.h"
#include "ui/translation.h"
#include "world/world.h"

namespace {

constexpr int FunctionKeyCount = 12;
constexpr int CtrlMessageBase = 8;   // Ctrl+F1..F12 -> 8..19
constexpr int AltMessageBase = 20;   // Alt+F1..F12 -> 20..31
constexpr int GameStateReplay = 3;
constexpr int LastGlobalKey = 145;   // the global-key table covers keys 8..145

// The windowed client rectangle used when "Window " holds none.
constexpr PlatformRect FallbackWindowRect = {80, 80, 1104, 848};

// Set by an input-language change; the pump refreshes the IME state after
// the messages.
int ImeUpdatePending = 0;

// The background picture last shown for a page, to keep the entry screen's
// picture through an exit with a value.
char ShownBackground[32] = {};

const Colour *NamedColour(int colour)
{
    if (colour < 0 || colour >= MessageColourCount) {
        colour = ColourWhite;
    }
    return &MessageColours[colour];
}

// The digit of a main-keyboard or number-pad digit key, else -1.
int DigitOfKey(int vk)
{
    if (vk >= '0' && vk <= '9') {
        return vk - '0';
    }
    if (vk >= VkNumpad0 && vk <= VkNumpad0 + 9) {
        return vk - VkNumpad0;
    }
    return -1;
}

bool IsReplayPlaying()
{
    return GameState == GameStateReplay || MultiplayerReplayPlaying != 0;
}

bool PageTakesCharacters()
{
    return CurrentScreen && !CurrentScreen->KeysOnPress;
}

// A key code or character for the current page: without graphics the host
// console takes it; a key that ends a slider drag is used up by that.
void DeliverCode(int code)
{
    if (!GraphicsEnabled) {
        ConsoleOnKey(code);
        return;
    }
    if (!CurrentScreen || EndItemDrag()) {
        return;
    }
    if (CurrentScreen->Key) {
        CurrentScreen->Key(CurrentScreen, code);
    }
}

// The same for a page that takes characters only.
void DeliverToCharacterPage(int code)
{
    if (GraphicsEnabled && !PageTakesCharacters()) {
        return;
    }
    DeliverCode(code);
}

// Up, down, right, left: the order of ArrowKeyState and of codes 256..259.
int ArrowIndex(int vk)
{
    switch (vk) {
    case VkUp:
        return 0;
    case VkDown:
        return 1;
    case VkRight:
        return 2;
    default:
        return 3;
    }
}

int *FreeViewFlag(int vk)
{
    switch (vk) {
    case VkUp:
        return &FreeViewMoveUp;
    case VkDown:
        return &FreeViewMoveDown;
    case VkRight:
        return &FreeViewMoveRight;
    default:
        return &FreeViewMoveLeft;
    }
}

void ShowHudText(const char *text, int colour)
{
    ShowHudMessage(text, NamedColour(colour));
}

// --- Key down ---------------------------------------------------------------------

// F1..F12 without Shift: the function-key messages and the information
// displays. Returns false when the key goes on as an ordinary key.
bool RunFunctionKey(int vk)
{
    if (vk < VkF1 || vk >= VkF1 + FunctionKeyCount || ShiftHeld) {
        return false;
    }
    const int n = vk - VkF1;
    int index = n;
    if (AltHeld && !CtrlHeld) {
        index = AltMessageBase + n;
    } else if (CtrlHeld) {
        index = CtrlMessageBase + n;
    } else if (n >= 8) {
        // F9..F12. Putting the pit-instructions and live-settings panels back
        // on their first line comes with those panels.
        if (n >= 10 && GameState == GameStateReplay) {
            InfoDisplay = 0;
        } else {
            SelectInfoDisplay(n - 7);
        }
        return true;
    } else if (n <= 2 && IsReplayPlaying()) {
        return false;  // F1..F3 are the replay's keys (codes 267..269)
    }
    const char *text = FKeyMessages[index];
    if (TextEntryActive) {
        QueuedLineIndex = index + 1;
    } else if (CheckChatRate(text, 1)) {
        // A chat line is held to the rate limit once, by the interpreter:
        // counting it here as well would drop every function-key chat line.
        ExecuteCommand(CommandSourceLocal, text, 0);
    }
    return true;
}

// Digits typed with Alt held make the character code delivered when Alt goes
// up. They are taken from the key-downs of the digit keys (main keyboard and
// number pad); their characters are dropped, so no digit counts twice.
void CollectAltDigit(int vk)
{
    const int digit = DigitOfKey(vk);
    if (digit < 0 || !PageTakesCharacters()) {
        return;
    }
    if (AltCodeCount < AltCodeMaxDigits) {
        AltCodeDigits[AltCodeCount++] = static_cast<char>('0' + digit);
    } else {
        PlayInterfaceSound(SoundInvalidKey);
    }
}

// Where Ctrl+Shift+F5 stands in the cycle of languages (-1 English). A
// language whose file is missing leaves LanguageName empty, and the next
// press goes on from it rather than starting the cycle again.
int SteppedLanguage = -1;

void StepLanguage()
{
    const int current = LanguageName[0] != 0 ? LanguageNameIndex(LanguageName) : SteppedLanguage;
    const int next = current + 1;
    SteppedLanguage = next < LanguageCount ? next : -1;
    const char *name = next < LanguageCount ? LanguageTable[next].name : "";
    std::snprintf(LanguageName, sizeof(LanguageName), "%s", name);
}

// The global keys that need Ctrl or Shift, and F1..F3 in a replay. Returns
// the code the key yields, 0 when it yields none, -1 when it is not one of them.
int ModifiedGlobalKey(int vk, bool switchesAllowed)
{
    if (CtrlHeld) {
        switch (vk) {
        case VkTab: {
            static const char *const Choices[3] = {"no", "auto", "yes"};
            ShowResults = (ShowResults + 1) % 3;
            char text[64];
            std::snprintf(text, sizeof(text), "%s : %s", Tx(Text_3a_ctabshwr), Choices[ShowResults]);
            ShowHudText(text, ColourLightYellow);
            return 0;
        }
        case 'C':
            if (TextEntryActive) {
                return KeyCodeCopy;
            }
            ToggleMouseClip();
            return 0;
        case 'H':
            ClearMessageLines();
            return 0;
        case 'S':
            ScreenshotRequest = 1;
            return 0;
        case 'T':
            if (GuestUdpContact) {
                RequestTcpPositions();
            } else {
                PrintMessage("Using TCP for position updates", NamedColour(ColourLightGrey));
            }
            return 0;
        case 'V':
            return KeyCodePaste;
        default:
            break;
        }
    }
    if (vk >= VkF1 && vk <= VkF3 && (ShiftHeld || IsReplayPlaying())) {
        return KeyCodeF1 + (vk - VkF1);
    }
    if (!ShiftHeld) {
        return -1;
    }
    switch (vk) {
    case VkF4:
        if (switchesAllowed) {
            if (StartWindowed) {
                FullScreenModeRequest = FullScreenModeIndex;
            } else {
                WindowModeRequest = 1;
            }
        }
        return 0;
    case VkF5:
        ResetTranslation();
        if (CtrlHeld) {
            StepLanguage();
        }
        if (LanguageName[0] != 0) {
            LoadLanguage(LanguageName, 1);
        }
        CheckTranslationCodePage();
        return 0;
    case VkF8: {
        NetworkDebug = !NetworkDebug;
        char text[64];
        std::snprintf(text, sizeof(text), Tx(Text_3a_shf8nwdb), NetworkDebug ? "On" : "Off");
        ShowHudText(text, ColourOrange);
        return 0;
    }
    case VkF9:
    case VkF10:
    case VkF11:
    case VkF12:
        if (switchesAllowed) {
            RequestScreenMode(ModePresetIndex[vk - VkF9]);
        }
        return 0;
    default:
        return -1;
    }
}

// The global-key table of keys 8..145. Returns false for a key it does not hold.
bool RunGlobalKey(int vk, bool switchesAllowed)
{
    int code = 0;
    switch (vk) {
    case VkBack:  // arrives as a character
    case VkPause:
    case VkNumLock:
    case VkScroll:
        return true;
    case VkShift:
        ShiftHeld = 1;
        return true;
    case VkControl:
        CtrlHeld = 1;
        return true;
    case VkMenu:
        AltHeld = 1;
        AltCodeCount = 0;
        return true;
    case VkPrior:
        PageKeyState[0] = 1;
        code = KeyCodePageUp;
        break;
    case VkNext:
        PageKeyState[1] = 1;
        code = KeyCodePageDown;
        break;
    case VkEnd:
        code = KeyCodeEnd;
        break;
    case VkHome:
        code = KeyCodeHome;
        break;
    case VkUp:
    case VkDown:
    case VkRight:
    case VkLeft:
        if (!TextEntryActive) {
            *FreeViewFlag(vk) = 1;
        }
        ArrowKeyState[ArrowIndex(vk)] = 1;
        code = KeyCodeUp + ArrowIndex(vk);
        break;
    case VkInsert:
        code = CtrlHeld ? KeyCodeCopy : ShiftHeld ? KeyCodePaste : KeyCodeInsert;
        break;
    case VkDelete:
        KeyState[VkDelete] = 1;
        code = KeyCodeDelete;
        break;
    default:
        code = ModifiedGlobalKey(vk, switchesAllowed);
        if (code < 0) {
            return false;
        }
        break;
    }
    if (code != 0) {
        DeliverCode(code);
    }
    return true;
}

// Keys outside the global table: a key-mode page gets the virtual key; with
// Ctrl the digits 0..8 go to a page that takes characters.
void RunOrdinaryKey(int vk)
{
    if (CtrlHeld) {
        const int digit = DigitOfKey(vk);
        if (digit >= 0 && digit <= 8) {
            DeliverToCharacterPage(vk);
        }
    } else if (GraphicsEnabled && CurrentScreen && CurrentScreen->KeysOnPress && !EndItemDrag()) {
        if (CurrentScreen->Key) {
            RawKeyDelivering = 1;
            CurrentScreen->Key(CurrentScreen, vk);
            RawKeyDelivering = 0;
        }
    }
    if (!TextEntryActive) {
        KeyState[vk] = 1;
    }
}

void OnKeyDown(int vk)
{
    if (ExitState != 0 || vk < 0 || vk >= KeyStateSize) {
        return;
    }
    if (RunFunctionKey(vk)) {
        return;
    }
    if (AltHeld) {
        CollectAltDigit(vk);
        return;
    }
    const bool switchesAllowed = GraphicsEnabled && !WorldIsLoading(CurrentWorld);
    if (vk >= VkBack && vk <= LastGlobalKey && RunGlobalKey(vk, switchesAllowed)) {
        return;
    }
    RunOrdinaryKey(vk);
}

// --- Key up and characters ----------------------------------------------------------

void DeliverAltCode()
{
    const int count = AltCodeCount;
    AltCodeCount = 0;
    if (count == 0 || ExitState != 0) {
        return;
    }
    int value = 0;
    for (int i = 0; i < count; ++i) {
        value = value * 10 + (AltCodeDigits[i] - '0');
    }
    if (IsPrintableChar(value) != 0) {
        DeliverCode(value);
    }
}

void OnKeyUp(int vk)
{
    if (vk < 0 || vk >= KeyStateSize) {
        return;
    }
    switch (vk) {
    case VkShift:
        ShiftHeld = 0;
        break;
    case VkControl:
        CtrlHeld = 0;
        break;
    case VkMenu:
        AltHeld = 0;
        DeliverAltCode();
        break;
    case VkPrior:
        PageKeyState[0] = 0;
        break;
    case VkNext:
        PageKeyState[1] = 0;
        break;
    case VkUp:
    case VkDown:
    case VkRight:
    case VkLeft:
        *FreeViewFlag(vk) = 0;
        ArrowKeyState[ArrowIndex(vk)] = 0;
        break;
    default:
        KeyState[vk] = 0;
        break;
    }
}

void OnChar(int c)
{
    if (ExitState != 0 || !PageTakesCharacters() || SkipNextChar) {
        SkipNextChar = 0;
        return;
    }
    if (c > 255) {
        PrintMessageArg("Unknown key %d", c, NamedColour(ColourLightYellow));
        return;
    }
    if (c <= 0) {
        return;
    }
    if (AltHeld && c >= '0' && c <= '9') {
        return;  // taken from the key-down as an Alt code digit
    }
    DeliverCode(c);
}

// --- Mouse, focus, paint --------------------------------------------------------------

// A position inside the back buffer moves the mouse; outside it gives no
// movement (instead of a jump) and keeps the last position.
void TakeMousePosition(int x, int y)
{
    MouseEvent &mouse = WindowMouseEvent;
    if (x >= 0 && x < ScreenWidth) {
        mouse.dx = x - MouseX;
        MouseX = x;
        MouseFracX = static_cast<float>(x) / (static_cast<float>(ScreenWidth) * 0.5f) - ScreenCentreOffsetX;
    } else {
        mouse.dx = 0;
    }
    if (y >= 0 && y < ScreenHeight) {
        mouse.dy = y - MouseY;
        MouseY = y;
        MouseFracY = static_cast<float>(y) / (static_cast<float>(ScreenHeight) * 0.5f) - ScreenCentreOffsetY;
    } else {
        mouse.dy = 0;
    }
}

void OnMouseMessage(const PlatformEvent &event)
{
    MouseEvent &mouse = WindowMouseEvent;
    mouse.press = 0;
    mouse.wheel = 0;
    mouse.release = 0;
    bool takePosition = false;
    switch (event.kind) {
    case PlatformEventMouseMove:
        MouseInClient = 1;
        takePosition = true;
        break;
    case PlatformEventButtonDown:
        if (event.button == PlatformMouseMiddle) {
            KeyState[KeySlotMouseMiddle] = 1;
            PlatformCaptureMouse();
            return;
        }
        mouse.press = event.button == PlatformMouseLeft ? 1 : 2;
        PlatformCaptureMouse();
        takePosition = true;
        break;
    case PlatformEventButtonUp:
        if (event.button == PlatformMouseMiddle) {
            KeyState[KeySlotMouseMiddle] = 0;
            PlatformReleaseMouseCapture();
            return;
        }
        mouse.release = event.button == PlatformMouseLeft ? 1 : 2;
        PlatformReleaseMouseCapture();
        break;
    default:  // the wheel
        if (event.wheel > 0) {
            KeyState[KeySlotWheelUp] = 1;
            mouse.wheel = 1;
        } else if (event.wheel < 0) {
            KeyState[KeySlotWheelDown] = 1;
            mouse.wheel = 2;
        } else {
            return;
        }
        break;
    }
    if (takePosition) {
        TakeMousePosition(event.x, event.y);
    }
    mouse.left = (event.buttons & PlatformMouseLeft) != 0 ? 1 : 0;
    mouse.right = (event.buttons & PlatformMouseRight) != 0 ? 1 : 0;
    KeyState[KeySlotMouseLeft] = static_cast<uint8_t>(mouse.left);
    KeyState[KeySlotMouseRight] = static_cast<uint8_t>(mouse.right);
    if (mouse.press != 0) {
        mouse.press += (CtrlHeld ? 4 : 0) + (ShiftHeld ? 8 : 0);
    }
    if (CurrentScreen && CurrentScreen->Input) {
        CurrentScreen->Input(CurrentScreen, &mouse);
    }
}

void OnActivate(bool active, bool minimised)
{
    if (active) {
        if (minimised) {
            return;
        }
        WindowInactive = 0;
        RequestInputRestart();
        TextureRefreshRequest = 2;
        return;
    }
    AltHeld = 0;
    CtrlHeld = 0;
    ShiftHeld = 0;
    std::memset(KeyState, 0, sizeof(KeyState));  // with the arrows
    std::memset(PageKeyState, 0, sizeof(PageKeyState));
    // The free-view flags are arrow keys held too: left set, the camera
    // would go on moving after the focus is gone.
    FreeViewMoveRight = 0;
    FreeViewMoveLeft = 0;
    FreeViewMoveDown = 0;
    FreeViewMoveUp = 0;
    WindowInactive = 1;
    ShutDownInputDevices();
}

void OnPaint()
{
    // With graphics the next frame draws the window anyway.
    if (!GraphicsEnabled && DedicatedMode != DedicatedInvisible) {
        PaintConsole();
    }
}

// --- Window services of the subsystems above core -------------------------------------

void ShowPageBackground(MenuPage *page)
{
    if (!page->Background || page->Background[0] == 0) {
        return;
    }
    SetBackgroundPicture(page->Background);
    std::snprintf(ShownBackground, sizeof(ShownBackground), "%s", page->Background);
}

void ClearShownBackground(int keepEntry)
{
    if (keepEntry && std::strcmp(ShownBackground, "entry") == 0) {
        return;
    }
    SetBackgroundPicture(nullptr);
    ShownBackground[0] = 0;
}

int AskOnlineHost()
{
    return IsOnlineHost() ? 1 : 0;
}

// Marking the host session as closing comes with the host's session state.
void CloseHostSession()
{
    RemoveAllGuests();
}

int AskFreeView()
{
    return IsFreeView() != 0 ? 1 : 0;
}

int AskGameSession()
{
    return GameSessionPtr != nullptr ? 1 : 0;
}

// The head-up lists that can cover the display come with the head-up display.
int AskHudVisible()
{
    return HudShown == 1 ? 1 : 0;
}

void ShowFullHud()
{
    HudShown = 1;
}

void RenderCentreOffset(float *x, float *y)
{
    *x = ScreenCentreOffsetX;
    *y = ScreenCentreOffsetY;
}

PlatformRect WindowClientRect()
{
    if (!StartWindowed) {
        return {0, 0, ScreenWidth, ScreenHeight};
    }
    PlatformRect rect = {WindowRectangle.left, WindowRectangle.top, WindowRectangle.right, WindowRectangle.bottom};
    if (rect.right <= rect.left || rect.bottom <= rect.top) {
        rect = FallbackWindowRect;
    }
    ScreenWidth = rect.right - rect.left;
    ScreenHeight = rect.bottom - rect.top;
    return rect;
}

}  // namespace

void MainWindowProc(const PlatformEvent &event)
{
    switch (event.kind) {
    case PlatformEventKeyDown:
        OnKeyDown(event.key);
        break;
    case PlatformEventKeyUp:
        OnKeyUp(event.key);
        break;
    case PlatformEventChar:
        OnChar(event.key);
        break;
    case PlatformEventMouseMove:
    case PlatformEventButtonDown:
    case PlatformEventButtonUp:
    case PlatformEventWheel:
        OnMouseMessage(event);
        break;
    case PlatformEventMouseLeave:
        MouseInClient = 0;
        break;
    case PlatformEventFocusGained:
        OnActivate(true, event.minimised != 0);
        break;
    case PlatformEventFocusLost:
        OnActivate(false, false);
        break;
    case PlatformEventMinimised:
        break;
    case PlatformEventSizeChanged:
        ResizeRequest = 1;
        break;
    case PlatformEventMoveSizeEnd:
        WindowRectangle = {event.rect.left, event.rect.top, event.rect.right, event.rect.bottom};
        ResizeRequest = 1;
        break;
    case PlatformEventPaint:
        OnPaint();
        break;
    case PlatformEventInputLanguage:
        ImeUpdatePending = 1;
        break;
    case PlatformEventClose:
        StartProgramExit(0);
        break;
    case PlatformEventQuit:
        RequestQuit();
        break;
    }
}

int CreateMainWindow(int console)
{
    if (console) {
        return 1;
    }
    return PlatformCreateWindow(!StartWindowed, WindowClientRect()) ? 1 : 0;
}

void ApplyWindowStyle()
{
    PlatformApplyWindowStyle(!StartWindowed, WindowClientRect());
}

void PumpWindowMessages()
{
    KeyState[KeySlotWheelUp] = 0;
    KeyState[KeySlotWheelDown] = 0;
    if (QuitFlag) {
        return;
    }
    PlatformEvent event;
    while (PlatformPollEvent(&event)) {
        MainWindowProc(event);
    }
    if (ImeUpdatePending) {
        ImeUpdatePending = 0;
        UpdateImeState();
    }
}

void RegisterWindowServices()
{
    WindowServices services = {};
    services.showPageBackground = ShowPageBackground;
    services.clearBackgroundPicture = ClearShownBackground;
    services.isOnlineHost = AskOnlineHost;
    services.closeHostSession = CloseHostSession;
    services.inSimStop = InSimStop;
    services.stopDirectSound = StopDirectSound;
    services.showHudMessage = ShowHudText;
    services.isFreeView = AskFreeView;
    services.isHudVisible = AskHudVisible;
    services.showHud = ShowFullHud;
    services.screenCentreOffset = RenderCentreOffset;
    services.keyDown = OnKeyDown;
    services.keyUp = OnKeyUp;
    services.hasGameSession = AskGameSession;
    SetWindowServices(services);
}
