#include "platform/window.h"

#include "platform/code_page.h"
#include "platform/keys.h"
#include "platform/locale.h"
#include "platform/timer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char *WindowTitle = "Kezvane";
constexpr int MaxWindowSize = 16384;
constexpr int MaxWindowPosition = 16384;
// A display server started just before the program may refuse the first
// connections; the video start tries again for about a second.
constexpr int VideoStartAttempts = 10;
constexpr int VideoStartRetryMs = 100;
// The desktop does not say when the user lets go of a window being moved or
// sized: that is taken to be when its rectangle stayed still for this long.
constexpr uint32_t MoveSizeSettleMs = 250;
// One system event gives at most 32 characters (a text input event).
constexpr int MaxQueuedEvents = 64;
constexpr int LatinCodePage = 1252;

bool VideoStarted = false;
SDL_Window *MainWindow = nullptr;
Uint32 MainWindowId = 0;
int KeyboardCodePage = PlatformLocaleCodePage();
// The pages a typed character may switch the keyboard to, in table order.
constexpr int MaxTypingCodePages = 16;
int TypingCodePages[MaxTypingCodePages];
int TypingCodePageCount = 0;

// Input state carried between messages: the modifiers of the latest key
// message (characters are judged by them) and the mouse.
Uint16 HeldModifiers = 0;
int HeldButtons = 0;
int LastMouseX = 0;
int LastMouseY = 0;

PlatformEvent EventQueue[MaxQueuedEvents];
int QueueHead = 0;
int QueueCount = 0;

// The client rectangle last placed by the program or last reported as the
// end of a user move; a user move is reported once the rectangle differs.
PlatformRect ReportedRect{};
bool MoveSizePending = false;
uint32_t MoveSizeChangeTime = 0;

bool DisplayNamed()
{
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != 0) || (wayland != nullptr && wayland[0] != 0);
}

int Clamp(int64_t value, int low, int high)
{
    return static_cast<int>(value < low ? low : (value > high ? high : value));
}

PlatformRect SaneRect(const PlatformRect &rect)
{
    PlatformRect sane;
    sane.left = Clamp(rect.left, -MaxWindowPosition, MaxWindowPosition);
    sane.top = Clamp(rect.top, -MaxWindowPosition, MaxWindowPosition);
    sane.right = sane.left + Clamp(static_cast<int64_t>(rect.right) - rect.left, 1, MaxWindowSize);
    sane.bottom = sane.top + Clamp(static_cast<int64_t>(rect.bottom) - rect.top, 1, MaxWindowSize);
    return sane;
}

bool SameRect(const PlatformRect &a, const PlatformRect &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void ResetInputState()
{
    HeldModifiers = 0;
    HeldButtons = 0;
    QueueHead = 0;
    QueueCount = 0;
    MoveSizePending = false;
}

// --- Message queue ---------------------------------------------------------

PlatformEvent NewEvent(PlatformEventKind kind)
{
    PlatformEvent event{};
    event.kind = kind;
    event.x = LastMouseX;
    event.y = LastMouseY;
    event.buttons = HeldButtons;
    return event;
}

void QueueEvent(const PlatformEvent &event)
{
    if (QueueCount == MaxQueuedEvents) {
        return;
    }
    EventQueue[(QueueHead + QueueCount) % MaxQueuedEvents] = event;
    ++QueueCount;
}

bool HeldAlt()
{
    return (HeldModifiers & KMOD_ALT) != 0;
}

bool HeldCtrl()
{
    return (HeldModifiers & KMOD_CTRL) != 0;
}

void QueueChar(int c)
{
    PlatformEvent event = NewEvent(PlatformEventChar);
    event.key = c;
    event.system = HeldAlt() && !HeldCtrl();
    QueueEvent(event);
}

// --- Keys and characters -----------------------------------------------------

// Alt turns key messages into system key messages, except together with Ctrl
// (Ctrl+Alt is the AltGr shift of many layouts); F10 is a system key alone.
bool IsSystemKey(int vk)
{
    if (vk == VkF10) {
        return true;
    }
    return !HeldCtrl() && (HeldAlt() || vk == VkMenu);
}

// The character a key stroke gives that text input never carries: the
// editing keys and Ctrl+letter, with the codes Windows gives them. 0 none.
int ControlCharacter(int vk, SDL_Keycode sym)
{
    const bool ctrlOnly = HeldCtrl() && !HeldAlt();
    switch (vk) {
    case VkBack:
        return ctrlOnly ? 127 : 8;
    case VkReturn:
        return ctrlOnly ? 10 : 13;
    case VkTab:
        return HeldCtrl() ? 0 : 9;
    case VkEscape:
        return 27;
    default:
        break;
    }
    if (!ctrlOnly) {
        return 0;
    }
    // The letter printed on the key in the current layout; a layout without
    // Latin letters goes by the key's position.
    if (sym >= 'a' && sym <= 'z') {
        return static_cast<int>(sym - 'a' + 1);
    }
    if (sym >= 0 && sym < 128) {
        return 0;
    }
    if (vk >= 'A' && vk <= 'Z') {
        return vk - 'A' + 1;
    }
    return 0;
}

void TranslateKey(const SDL_KeyboardEvent &key, bool down)
{
    HeldModifiers = key.keysym.mod;
    const int vk = VirtualKeyFromScancode(key.keysym.scancode, (HeldModifiers & KMOD_NUM) != 0);
    if (vk == 0) {
        return;
    }
    PlatformEvent event = NewEvent(down ? PlatformEventKeyDown : PlatformEventKeyUp);
    event.key = vk;
    event.system = IsSystemKey(vk);
    QueueEvent(event);
    if (down) {
        const int c = ControlCharacter(vk, key.keysym.sym);
        if (c != 0) {
            QueueChar(c);
        }
    }
}

// Bytes of the UTF-8 character that starts with the byte (1 for a stray
// continuation byte, which the converter then drops).
int Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    return lead >= 0xC0 ? 2 : 1;
}

bool IsDoubleBytePage(int page)
{
    return page == 932 || page == 936 || page == 949 || page == 950;
}

void TranslateText(const SDL_TextInputEvent &input)
{
    // Ctrl alone makes no printable characters (Ctrl with a digit is a key
    // of its own to the program).
    if (HeldCtrl() && !HeldAlt()) {
        return;
    }
    char utf8[sizeof(input.text) + 1];
    std::memcpy(utf8, input.text, sizeof(input.text));
    utf8[sizeof(input.text)] = 0;
    // One character at a time: one the keyboard's page cannot hold switches
    // the keyboard to the first page that can (the layout changed).
    const size_t length = std::strlen(utf8);
    for (size_t at = 0; at < length;) {
        char one[8] = {};
        const size_t n = std::min<size_t>(static_cast<size_t>(Utf8Length(static_cast<unsigned char>(utf8[at]))),
                                          length - at);
        std::memcpy(one, utf8 + at, n);
        at += n;
        char bytes[8];
        int count = PlatformUtf8ToCodePage(KeyboardCodePage, one, bytes, sizeof(bytes));
        // Single-byte pages are tried first: the double-byte ones hold
        // Cyrillic and Greek letters too, but a keyboard that types those is
        // not an East Asian one.
        for (int pass = 0; pass < 2 && count <= 0; ++pass) {
            for (int i = 0; i < TypingCodePageCount; ++i) {
                const int page = TypingCodePages[i];
                if (page == KeyboardCodePage || IsDoubleBytePage(page) != (pass == 1)) {
                    continue;
                }
                count = PlatformUtf8ToCodePage(page, one, bytes, sizeof(bytes));
                if (count > 0) {
                    KeyboardCodePage = page;
                    QueueEvent(NewEvent(PlatformEventInputLanguage));
                    break;
                }
            }
        }
        for (int i = 0; i < count; ++i) {
            const int c = static_cast<unsigned char>(bytes[i]);
            if (c != 0) {
                QueueChar(c);
            }
        }
    }
}

// --- Mouse -------------------------------------------------------------------

int ButtonsFromState(Uint32 state)
{
    int buttons = 0;
    if ((state & SDL_BUTTON_LMASK) != 0) {
        buttons |= PlatformMouseLeft;
    }
    if ((state & SDL_BUTTON_RMASK) != 0) {
        buttons |= PlatformMouseRight;
    }
    if ((state & SDL_BUTTON_MMASK) != 0) {
        buttons |= PlatformMouseMiddle;
    }
    return buttons;
}

void TranslateMotion(const SDL_MouseMotionEvent &motion)
{
    HeldButtons = ButtonsFromState(motion.state);
    LastMouseX = motion.x;
    LastMouseY = motion.y;
    QueueEvent(NewEvent(PlatformEventMouseMove));
}

void TranslateButton(const SDL_MouseButtonEvent &press, bool down)
{
    int button = 0;
    switch (press.button) {
    case SDL_BUTTON_LEFT:
        button = PlatformMouseLeft;
        break;
    case SDL_BUTTON_RIGHT:
        button = PlatformMouseRight;
        break;
    case SDL_BUTTON_MIDDLE:
        button = PlatformMouseMiddle;
        break;
    default:
        return;  // the program takes no other buttons
    }
    HeldButtons = down ? (HeldButtons | button) : (HeldButtons & ~button);
    LastMouseX = press.x;
    LastMouseY = press.y;
    PlatformEvent event = NewEvent(down ? PlatformEventButtonDown : PlatformEventButtonUp);
    event.button = button;
    QueueEvent(event);
}

void TranslateWheel(const SDL_MouseWheelEvent &wheel)
{
    int turn = wheel.y > 0 ? 1 : (wheel.y < 0 ? -1 : 0);
    if (turn == 0) {
        turn = wheel.preciseY > 0.0f ? 1 : (wheel.preciseY < 0.0f ? -1 : 0);
    }
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
        turn = -turn;
    }
    if (turn == 0) {
        return;  // sideways only
    }
    PlatformEvent event = NewEvent(PlatformEventWheel);
    event.wheel = turn;
    QueueEvent(event);
}

// --- Window ------------------------------------------------------------------

bool WindowIsFullScreen()
{
    return MainWindow != nullptr && (SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_FULLSCREEN) != 0;
}

bool WindowIsMinimised()
{
    return MainWindow != nullptr && (SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_MINIMIZED) != 0;
}

void NoteMoveOrSize()
{
    if (MainWindow == nullptr || WindowIsFullScreen() || WindowIsMinimised()) {
        return;
    }
    if (!SameRect(PlatformGetClientRect(), ReportedRect)) {
        MoveSizePending = true;
        MoveSizeChangeTime = PlatformTimeMs();
    }
}

// Queues the end of a user move or resize once the window stayed still.
void CheckMoveSizeEnd()
{
    if (!MoveSizePending || PlatformTimeMs() - MoveSizeChangeTime < MoveSizeSettleMs) {
        return;
    }
    MoveSizePending = false;
    if (MainWindow == nullptr || WindowIsFullScreen()) {
        return;
    }
    const PlatformRect rect = PlatformGetClientRect();
    if (SameRect(rect, ReportedRect)) {
        return;
    }
    ReportedRect = rect;
    PlatformEvent event = NewEvent(PlatformEventMoveSizeEnd);
    event.rect = rect;
    QueueEvent(event);
}

void TranslateWindowEvent(const SDL_WindowEvent &window)
{
    switch (window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED: {
        PlatformEvent event = NewEvent(PlatformEventFocusGained);
        event.minimised = WindowIsMinimised();
        QueueEvent(event);
        break;
    }
    case SDL_WINDOWEVENT_FOCUS_LOST:
        HeldModifiers = 0;
        HeldButtons = 0;
        QueueEvent(NewEvent(PlatformEventFocusLost));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        QueueEvent(NewEvent(PlatformEventMinimised));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESTORED: {
        // Restoring from the task bar keeps the size but is a size message.
        PlatformEvent event = NewEvent(PlatformEventSizeChanged);
        event.rect = PlatformGetClientRect();
        QueueEvent(event);
        NoteMoveOrSize();
        break;
    }
    case SDL_WINDOWEVENT_MOVED:
        NoteMoveOrSize();
        break;
    case SDL_WINDOWEVENT_LEAVE:
        QueueEvent(NewEvent(PlatformEventMouseLeave));
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        QueueEvent(NewEvent(PlatformEventPaint));
        break;
    case SDL_WINDOWEVENT_CLOSE:
        QueueEvent(NewEvent(PlatformEventClose));
        break;
    default:
        break;
    }
}

bool FromMainWindow(Uint32 windowId)
{
    // Events made by the program itself name no window.
    return windowId == 0 || windowId == MainWindowId;
}

void TranslateEvent(const SDL_Event &event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (FromMainWindow(event.key.windowID)) {
            TranslateKey(event.key, event.type == SDL_KEYDOWN);
        }
        break;
    case SDL_TEXTINPUT:
        if (FromMainWindow(event.text.windowID)) {
            TranslateText(event.text);
        }
        break;
    case SDL_MOUSEMOTION:
        if (FromMainWindow(event.motion.windowID)) {
            TranslateMotion(event.motion);
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (FromMainWindow(event.button.windowID)) {
            TranslateButton(event.button, event.type == SDL_MOUSEBUTTONDOWN);
        }
        break;
    case SDL_MOUSEWHEEL:
        if (FromMainWindow(event.wheel.windowID)) {
            TranslateWheel(event.wheel);
        }
        break;
    case SDL_WINDOWEVENT:
        if (FromMainWindow(event.window.windowID)) {
            TranslateWindowEvent(event.window);
        }
        break;
    case SDL_KEYMAPCHANGED:
        QueueEvent(NewEvent(PlatformEventInputLanguage));
        break;
    case SDL_QUIT:
        QueueEvent(NewEvent(PlatformEventQuit));
        break;
    default:
        break;
    }
}

// Message box texts may come in the program's Latin code page.
std::string DisplayText(const char *text)
{
    if (PlatformIsUtf8(text)) {
        return text;
    }
    std::vector<char> utf8(std::strlen(text) * 3 + 1);
    PlatformCodePageToUtf8(LatinCodePage, text, utf8.data(), static_cast<int>(utf8.size()));
    return utf8.data();
}

}  // namespace

// Starting the video layer connects to the desktop's message bus, whose
// library keeps a read buffer for good. The leak checker of sanitizer builds
// is told so here, in the code that starts it, so that every program using the
// window gets the note.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}
#endif

// --- Video and the window ----------------------------------------------------

bool PlatformStartVideo()
{
    if (VideoStarted) {
        return true;
    }
    if (!DisplayNamed()) {
        return false;
    }
    // Like a Windows window: the mouse is captured only on request, and
    // closing the window is a request to the program, not an end.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    for (int attempt = 0; attempt < VideoStartAttempts; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            VideoStarted = true;
            ResetInputState();
            return true;
        }
        PlatformSleepMs(VideoStartRetryMs);
    }
    return false;
}

void PlatformStopVideo()
{
    if (!VideoStarted) {
        return;
    }
    PlatformDestroyWindow();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // The last user of the library frees what it keeps besides the subsystems.
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) {
        SDL_Quit();
    }
    VideoStarted = false;
    ResetInputState();
}

void PlatformGetDesktopSize(int *width, int *height)
{
    SDL_DisplayMode mode{};
    if (!VideoStarted || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        mode.w = 0;
        mode.h = 0;
    }
    if (width != nullptr) {
        *width = mode.w;
    }
    if (height != nullptr) {
        *height = mode.h;
    }
}

bool PlatformCreateWindow(bool fullScreen, const PlatformRect &clientRect)
{
    if (!VideoStarted) {
        return false;
    }
    if (MainWindow == nullptr) {
        const PlatformRect rect = SaneRect(clientRect);
        const Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        // The renderer draws through OpenGL; a system without it still gets
        // a window (the text console needs no OpenGL).
        MainWindow = SDL_CreateWindow(WindowTitle, rect.left, rect.top, width, height, flags | SDL_WINDOW_OPENGL);
        if (MainWindow == nullptr) {
            MainWindow = SDL_CreateWindow(WindowTitle, rect.left, rect.top, width, height, flags);
        }
        if (MainWindow == nullptr) {
            return false;
        }
        MainWindowId = SDL_GetWindowID(MainWindow);
        ResetInputState();
    }
    PlatformApplyWindowStyle(fullScreen, clientRect);
    SDL_StartTextInput();
    return true;
}

void PlatformApplyWindowStyle(bool fullScreen, const PlatformRect &clientRect)
{
    if (MainWindow == nullptr) {
        return;
    }
    const PlatformRect rect = SaneRect(clientRect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (fullScreen) {
        SDL_DisplayMode wanted{};
        wanted.w = width;
        wanted.h = height;
        SDL_DisplayMode mode{};
        int display = SDL_GetWindowDisplayIndex(MainWindow);
        if (display < 0) {
            display = 0;
        }
        SDL_SetWindowSize(MainWindow, width, height);
        SDL_SetWindowDisplayMode(MainWindow, SDL_GetClosestDisplayMode(display, &wanted, &mode));
        SDL_SetWindowFullscreen(MainWindow, SDL_WINDOW_FULLSCREEN);
        SDL_DisableScreenSaver();
        MoveSizePending = false;
    } else {
        SDL_SetWindowFullscreen(MainWindow, 0);
        SDL_SetWindowSize(MainWindow, width, height);
        SDL_SetWindowPosition(MainWindow, rect.left, rect.top);
        SDL_EnableScreenSaver();
        ReportedRect = rect;
        MoveSizePending = false;
    }
    SDL_ShowWindow(MainWindow);
}

void PlatformDestroyWindow()
{
    if (MainWindow == nullptr) {
        return;
    }
    SDL_StopTextInput();
    SDL_DestroyWindow(MainWindow);
    MainWindow = nullptr;
    MainWindowId = 0;
    ResetInputState();
}

bool PlatformHasWindow()
{
    return MainWindow != nullptr;
}

PlatformRect PlatformGetClientRect()
{
    PlatformRect rect{};
    if (MainWindow == nullptr) {
        return rect;
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(MainWindow, &rect.left, &rect.top);
    SDL_GetWindowSize(MainWindow, &width, &height);
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    return rect;
}

// --- Mouse pointer -------------------------------------------------------------

void PlatformShowCursor(bool show)
{
    if (VideoStarted) {
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    }
}

void PlatformWarpMouse(int x, int y)
{
    if (MainWindow != nullptr) {
        SDL_WarpMouseInWindow(MainWindow, x, y);
    }
}

void PlatformClipCursorToWindow()
{
    if (MainWindow != nullptr) {
        SDL_SetWindowMouseGrab(MainWindow, SDL_TRUE);
    }
}

void PlatformReleaseCursorClip()
{
    if (MainWindow != nullptr) {
        SDL_SetWindowMouseGrab(MainWindow, SDL_FALSE);
    }
}

void PlatformCaptureMouse()
{
    if (MainWindow != nullptr) {
        SDL_CaptureMouse(SDL_TRUE);  // refused while the window lacks focus
    }
}

void PlatformReleaseMouseCapture()
{
    if (MainWindow != nullptr) {
        SDL_CaptureMouse(SDL_FALSE);
    }
}

// --- Messages ------------------------------------------------------------------

bool PlatformPollEvent(PlatformEvent *out)
{
    if (out == nullptr) {
        return false;
    }
    while (QueueCount == 0) {
        if (!VideoStarted) {
            return false;
        }
        SDL_Event event;
        if (SDL_PollEvent(&event) == 0) {
            CheckMoveSizeEnd();
            if (QueueCount == 0) {
                return false;
            }
            break;
        }
        TranslateEvent(event);
    }
    *out = EventQueue[QueueHead];
    QueueHead = (QueueHead + 1) % MaxQueuedEvents;
    --QueueCount;
    return true;
}

bool PlatformSetKeyboardCodePage(int codePage)
{
    if (!PlatformCodePageSupported(codePage)) {
        return false;
    }
    KeyboardCodePage = codePage;
    return true;
}

int PlatformGetKeyboardCodePage()
{
    return KeyboardCodePage;
}

void PlatformSetTypingCodePages(const int *numbers, int count)
{
    TypingCodePageCount = 0;
    for (int i = 0; numbers != nullptr && i < count && TypingCodePageCount < MaxTypingCodePages; ++i) {
        if (PlatformCodePageSupported(numbers[i])) {
            TypingCodePages[TypingCodePageCount++] = numbers[i];
        }
    }
}

// --- Clipboard and message boxes ---------------------------------------------------

bool PlatformGetClipboardText(char *out, int size)
{
    if (out == nullptr || size < 1) {
        return false;
    }
    out[0] = 0;
    if (!VideoStarted) {
        return false;
    }
    char *utf8 = SDL_GetClipboardText();
    if (utf8 == nullptr) {
        return false;
    }
    const bool any = utf8[0] != 0;
    if (any) {
        PlatformUtf8ToCodePage(KeyboardCodePage, utf8, out, size);
    }
    SDL_free(utf8);
    return any;
}

bool PlatformSetClipboardText(const char *text)
{
    if (!VideoStarted || text == nullptr) {
        return false;
    }
    // A code page byte becomes at most three bytes of UTF-8.
    std::vector<char> utf8(std::strlen(text) * 3 + 1);
    if (PlatformCodePageToUtf8(KeyboardCodePage, text, utf8.data(), static_cast<int>(utf8.size())) < 0) {
        return false;
    }
    return SDL_SetClipboardText(utf8.data()) == 0;
}

bool PlatformGetClipboardUtf8(char *out, int size)
{
    if (out == nullptr || size < 1) {
        return false;
    }
    out[0] = 0;
    if (!VideoStarted) {
        return false;
    }
    char *utf8 = SDL_GetClipboardText();
    if (utf8 == nullptr) {
        return false;
    }
    const bool any = utf8[0] != 0;
    if (any) {
        // Cut on a character boundary.
        int n = 0;
        while (utf8[n] != 0 && n < size - 1) {
            ++n;
        }
        while (n > 0 && utf8[n] != 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) {
            --n;
        }
        std::memcpy(out, utf8, static_cast<size_t>(n));
        out[n] = 0;
    }
    SDL_free(utf8);
    return any;
}

bool PlatformSetClipboardUtf8(const char *utf8)
{
    if (!VideoStarted || utf8 == nullptr) {
        return false;
    }
    return SDL_SetClipboardText(utf8) == 0;
}

static PlatformMessageBoxHandler MessageBoxHandler = nullptr;

void PlatformSetMessageBoxHandler(PlatformMessageBoxHandler handler)
{
    MessageBoxHandler = handler;
}

PlatformAnswer PlatformMessageBox(const char *title, const char *text, PlatformMessageBoxKind kind)
{
    if (MessageBoxHandler) {
        return MessageBoxHandler(title, text, kind);
    }
    const std::string caption = DisplayText(title != nullptr && title[0] != 0 ? title : "Error");
    const std::string message = DisplayText(text != nullptr ? text : "");
    const bool question = kind == PlatformBoxQuestion;
    if (DisplayNamed()) {
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        if (kind == PlatformBoxError) {
            flags = SDL_MESSAGEBOX_ERROR;
        } else if (kind == PlatformBoxWarning) {
            flags = SDL_MESSAGEBOX_WARNING;
        }
        const SDL_MessageBoxButtonData okButton[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, PlatformAnswerOk, "OK"},
        };
        const SDL_MessageBoxButtonData yesNoButtons[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, PlatformAnswerYes, "Yes"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, PlatformAnswerNo, "No"},
        };
        SDL_MessageBoxData box{};
        box.flags = flags;
        box.window = MainWindow;
        box.title = caption.c_str();
        box.message = message.c_str();
        box.numbuttons = question ? 2 : 1;
        box.buttons = question ? yesNoButtons : okButton;
        int pressed = -1;
        if (SDL_ShowMessageBox(&box, &pressed) == 0) {
            if (!question) {
                return PlatformAnswerOk;
            }
            return pressed == PlatformAnswerYes ? PlatformAnswerYes : PlatformAnswerNo;
        }
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), message.c_str());
    return question ? PlatformAnswerNo : PlatformAnswerOk;
}

// --- For the platform layer's own use ------------------------------------------------

void PlatformRaiseWindow()
{
    if (MainWindow != nullptr) {
        SDL_RaiseWindow(MainWindow);
    }
}

SDL_Window *PlatformGetSdlWindow()
{
    return MainWindow;
}
