#include "platform/keys.h"
#include "platform/timer.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Away from the middle of the screen, where a virtual display keeps the
// pointer, so that no real mouse message reaches the window.
constexpr PlatformRect WindowRect = {100, 80, 420, 320};

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

std::vector<PlatformEvent> TakeEvents()
{
    std::vector<PlatformEvent> events;
    for (PlatformEvent event; PlatformPollEvent(&event);) {
        events.push_back(event);
    }
    return events;
}

std::vector<PlatformEvent> TakeEventsFor(uint32_t ms)
{
    std::vector<PlatformEvent> events;
    const uint32_t start = PlatformTimeMs();
    while (PlatformTimeMs() - start < ms) {
        for (const PlatformEvent &event : TakeEvents()) {
            events.push_back(event);
        }
        PlatformSleepMs(10);
    }
    return events;
}

std::vector<PlatformEvent> OfKinds(const std::vector<PlatformEvent> &events, std::initializer_list<PlatformEventKind> kinds)
{
    std::vector<PlatformEvent> chosen;
    for (const PlatformEvent &event : events) {
        for (PlatformEventKind kind : kinds) {
            if (event.kind == kind) {
                chosen.push_back(event);
            }
        }
    }
    return chosen;
}

bool SameRect(const PlatformRect &a, const PlatformRect &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string RectText(const PlatformRect &r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

void PushKey(SDL_Scancode scancode, Uint16 mod, bool down, SDL_Keycode sym = SDLK_UNKNOWN)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
}

void PushText(const char *utf8)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, utf8, sizeof(event.text.text) - 1);
    SDL_PushEvent(&event);
}

void PushWindowEvent(SDL_WindowEventID id)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = id;
    SDL_PushEvent(&event);
}

SDL_Window *FindSdlWindow()
{
    for (Uint32 id = 1; id < 256; ++id) {
        SDL_Window *window = SDL_GetWindowFromID(id);
        if (window != nullptr && std::strcmp(SDL_GetWindowTitle(window), "Kezvane") == 0) {
            return window;
        }
    }
    return nullptr;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DisplayAvailable()) {
            GTEST_SKIP() << "no display";
        }
        ASSERT_TRUE(PlatformStartVideo());
        ASSERT_TRUE(PlatformCreateWindow(false, WindowRect));
        ASSERT_TRUE(PlatformSetKeyboardCodePage(1252));
        // Let the display's own messages about the new window go by.
        TakeEventsFor(300);
    }

    void TearDown() override
    {
        PlatformStopVideo();
        PlatformSetKeyboardCodePage(1252);
    }
};

struct KeyCase {
    const char *name;
    SDL_Scancode scancode;
    Uint16 mod;
    bool down;
    int vk;  // 0: no message
    int system;
};

const KeyCase KeyCases[] = {
    {"F5", SDL_SCANCODE_F5, KMOD_NONE, true, 116, 0},
    {"Alt+6", SDL_SCANCODE_6, KMOD_LALT, true, 54, 1},
    {"Ctrl+Alt+6 (AltGr)", SDL_SCANCODE_6, KMOD_LALT | KMOD_LCTRL, true, 54, 0},
    {"Alt pressed", SDL_SCANCODE_LALT, KMOD_LALT, true, 18, 1},
    {"Alt released", SDL_SCANCODE_LALT, KMOD_NONE, false, 18, 1},
    {"F10", SDL_SCANCODE_F10, KMOD_NONE, true, 121, 1},
    {"right Shift", SDL_SCANCODE_RSHIFT, KMOD_RSHIFT, true, 16, 0},
    {"right Ctrl", SDL_SCANCODE_RCTRL, KMOD_RCTRL, true, 17, 0},
    {"numpad Enter", SDL_SCANCODE_KP_ENTER, KMOD_NONE, true, 13, 0},
    {"numpad 6", SDL_SCANCODE_KP_6, KMOD_NUM, true, 102, 0},
    {"numpad 6 with Num Lock off", SDL_SCANCODE_KP_6, KMOD_NONE, true, 39, 0},
    {"A released", SDL_SCANCODE_A, KMOD_NONE, false, 65, 0},
    {"key without a code", SDL_SCANCODE_POWER, KMOD_NONE, true, 0, 0},
};

TEST_F(WindowTest, KeyMessagesCarryTheVirtualKeyAndTheSystemFlag)
{
    for (const KeyCase &c : KeyCases) {
        PushKey(c.scancode, c.mod, c.down);
        const std::vector<PlatformEvent> keys = OfKinds(TakeEvents(), {PlatformEventKeyDown, PlatformEventKeyUp});
        if (c.vk == 0) {
            EXPECT_TRUE(keys.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(keys.size(), 1u) << c.name;
        EXPECT_EQ(keys[0].kind, c.down ? PlatformEventKeyDown : PlatformEventKeyUp) << c.name;
        EXPECT_EQ(keys[0].key, c.vk) << c.name;
        EXPECT_EQ(keys[0].system, c.system) << c.name;
    }
}

struct CharCase {
    const char *name;
    int codePage;
    SDL_Scancode scancode;  // a key pressed first (with mod), or UNKNOWN
    Uint16 mod;
    SDL_Keycode sym;
    const char *text;  // typed text, or nullptr
    std::vector<int> chars;
    int system;
};

const CharCase CharCases[] = {
    {"e acute", 1252, SDL_SCANCODE_UNKNOWN, KMOD_NONE, 0, "\xC3\xA9", {0xE9}, 0},
    {"euro", 1252, SDL_SCANCODE_UNKNOWN, KMOD_NONE, 0, "\xE2\x82\xAC", {0x80}, 0},
    {"e acute in Cyrillic", 1251, SDL_SCANCODE_UNKNOWN, KMOD_NONE, 0, "\xC3\xA9", {}, 0},
    {"Zhe and e acute in Cyrillic", 1251, SDL_SCANCODE_UNKNOWN, KMOD_NONE, 0, "\xD0\x96\xC3\xA9", {0xC6}, 0},
    {"Japanese a", 932, SDL_SCANCODE_UNKNOWN, KMOD_NONE, 0, "\xE3\x81\x82", {0x82, 0xA0}, 0},
    {"Alt+6", 1252, SDL_SCANCODE_6, KMOD_LALT, '6', "6", {'6'}, 1},
    {"Ctrl+1 types nothing", 1252, SDL_SCANCODE_1, KMOD_LCTRL, '1', "1", {}, 0},
    {"AltGr+E", 1252, SDL_SCANCODE_E, KMOD_LCTRL | KMOD_RALT, 'e', "\xE2\x82\xAC", {0x80}, 0},
    {"letter key alone", 1252, SDL_SCANCODE_A, KMOD_NONE, 'a', nullptr, {}, 0},
    {"Ctrl+A", 1252, SDL_SCANCODE_A, KMOD_LCTRL, 'a', nullptr, {1}, 0},
    {"Ctrl+Z", 1252, SDL_SCANCODE_Z, KMOD_RCTRL, 'z', nullptr, {26}, 0},
    {"Ctrl+A in a Cyrillic layout", 1251, SDL_SCANCODE_A, KMOD_LCTRL, 0x444, nullptr, {1}, 0},
    {"Backspace", 1252, SDL_SCANCODE_BACKSPACE, KMOD_NONE, SDLK_BACKSPACE, nullptr, {8}, 0},
    {"Ctrl+Backspace", 1252, SDL_SCANCODE_BACKSPACE, KMOD_LCTRL, SDLK_BACKSPACE, nullptr, {127}, 0},
    {"Enter", 1252, SDL_SCANCODE_RETURN, KMOD_NONE, SDLK_RETURN, nullptr, {13}, 0},
    {"Ctrl+Enter", 1252, SDL_SCANCODE_RETURN, KMOD_LCTRL, SDLK_RETURN, nullptr, {10}, 0},
    {"Alt+Enter", 1252, SDL_SCANCODE_RETURN, KMOD_LALT, SDLK_RETURN, nullptr, {13}, 1},
    {"Tab", 1252, SDL_SCANCODE_TAB, KMOD_LSHIFT, SDLK_TAB, nullptr, {9}, 0},
    {"Ctrl+Tab", 1252, SDL_SCANCODE_TAB, KMOD_LCTRL, SDLK_TAB, nullptr, {}, 0},
    {"Esc", 1252, SDL_SCANCODE_ESCAPE, KMOD_NONE, SDLK_ESCAPE, nullptr, {27}, 0},
};

TEST_F(WindowTest, CharactersArriveAsBytesOfTheKeyboardCodePage)
{
    for (const CharCase &c : CharCases) {
        ASSERT_TRUE(PlatformSetKeyboardCodePage(c.codePage)) << c.name;
        if (c.scancode != SDL_SCANCODE_UNKNOWN) {
            PushKey(c.scancode, c.mod, true, c.sym);
        }
        if (c.text != nullptr) {
            PushText(c.text);
        }
        // Every modifier let go again.
        PushKey(c.scancode, KMOD_NONE, false, c.sym);
        std::vector<int> chars;
        for (const PlatformEvent &event : OfKinds(TakeEvents(), {PlatformEventChar})) {
            chars.push_back(event.key);
            EXPECT_EQ(event.system, c.system) << c.name;
        }
        EXPECT_EQ(chars, c.chars) << c.name;
    }
}

TEST_F(WindowTest, ACharacterTheKeyboardPageLacksSwitchesToAPageThatHasIt)
{
    const int pages[] = {1252, 1250, 1254, 1257, 932, 1251, 1253, 950, 936, 949};
    PlatformSetTypingCodePages(pages, 10);
    ASSERT_TRUE(PlatformSetKeyboardCodePage(1252));
    TakeEvents();
    PushText("a\xd0\x96");  // a, then Cyrillic Zhe: 0xC6 in code page 1251
    // The display may add layout notices of its own: only the order counts.
    std::vector<int> seen;   // characters, and -1 for a language change
    for (const PlatformEvent &event : OfKinds(TakeEvents(), {PlatformEventChar, PlatformEventInputLanguage})) {
        const int code = event.kind == PlatformEventChar ? event.key : -1;
        if (seen.empty() || code != -1 || seen.back() != -1) {
            seen.push_back(code);
        }
    }
    while (!seen.empty() && seen.front() == -1) {
        seen.erase(seen.begin());
    }
    EXPECT_EQ(seen, std::vector<int>({'a', -1, 0xC6}));
    EXPECT_EQ(PlatformGetKeyboardCodePage(), 1251);
    // A character no page has is dropped, and the page stays.
    PushText("\xf0\x9f\x98\x80");  // an emoji
    EXPECT_TRUE(OfKinds(TakeEvents(), {PlatformEventChar}).empty());
    EXPECT_EQ(PlatformGetKeyboardCodePage(), 1251);
    PlatformSetTypingCodePages(nullptr, 0);
    ASSERT_TRUE(PlatformSetKeyboardCodePage(1252));
}

TEST_F(WindowTest, FocusLossLetsGoOfHeldModifiers)
{
    PushKey(SDL_SCANCODE_LCTRL, KMOD_LCTRL, true);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    PushText("1");
    const std::vector<PlatformEvent> events =
        OfKinds(TakeEvents(), {PlatformEventFocusLost, PlatformEventFocusGained, PlatformEventChar});
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, PlatformEventFocusLost);
    EXPECT_EQ(events[1].kind, PlatformEventFocusGained);
    EXPECT_EQ(events[1].minimised, 0);
    EXPECT_EQ(events[2].kind, PlatformEventChar);
    EXPECT_EQ(events[2].key, '1');
}

TEST_F(WindowTest, MouseMessagesCarryPositionButtonsAndWheelTurns)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = 30;
    event.motion.y = 40;
    event.motion.state = SDL_BUTTON_LMASK;
    SDL_PushEvent(&event);

    const Uint8 buttons[] = {SDL_BUTTON_RIGHT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1};
    const Uint32 types[] = {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONDOWN};
    for (int i = 0; i < 4; ++i) {
        event = SDL_Event{};
        event.type = types[i];
        event.button.button = buttons[i];
        event.button.state = types[i] == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.button.x = 50 + i;
        event.button.y = 60 + i;
        SDL_PushEvent(&event);
    }

    struct Wheel {
        Sint32 x, y;
        float preciseY;
        Uint32 direction;
    };
    const Wheel wheels[] = {
        {0, 1, 1.0f, SDL_MOUSEWHEEL_NORMAL},  {0, -3, -3.0f, SDL_MOUSEWHEEL_NORMAL},
        {0, 2, 2.0f, SDL_MOUSEWHEEL_FLIPPED}, {0, 0, 0.5f, SDL_MOUSEWHEEL_NORMAL},
        {2, 0, 0.0f, SDL_MOUSEWHEEL_NORMAL},  // sideways: nothing
    };
    for (const Wheel &wheel : wheels) {
        event = SDL_Event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.x = wheel.x;
        event.wheel.y = wheel.y;
        event.wheel.preciseY = wheel.preciseY;
        event.wheel.direction = wheel.direction;
        SDL_PushEvent(&event);
    }

    struct Expected {
        PlatformEventKind kind;
        int x, y, buttons, button, wheel;
    };
    const int lm = PlatformMouseLeft;
    const int rm = PlatformMouseRight;
    const int mm = PlatformMouseMiddle;
    const Expected expected[] = {
        {PlatformEventMouseMove, 30, 40, lm, 0, 0},
        {PlatformEventButtonDown, 50, 60, lm | rm, rm, 0},
        {PlatformEventButtonUp, 51, 61, lm, rm, 0},
        {PlatformEventButtonDown, 52, 62, lm | mm, mm, 0},
        {PlatformEventWheel, 52, 62, lm | mm, 0, 1},
        {PlatformEventWheel, 52, 62, lm | mm, 0, -1},
        {PlatformEventWheel, 52, 62, lm | mm, 0, -1},
        {PlatformEventWheel, 52, 62, lm | mm, 0, 1},
    };
    const std::vector<PlatformEvent> events = OfKinds(
        TakeEvents(), {PlatformEventMouseMove, PlatformEventButtonDown, PlatformEventButtonUp, PlatformEventWheel});
    ASSERT_EQ(events.size(), std::size(expected));
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, expected[i].kind) << i;
        EXPECT_EQ(events[i].x, expected[i].x) << i;
        EXPECT_EQ(events[i].y, expected[i].y) << i;
        EXPECT_EQ(events[i].buttons, expected[i].buttons) << i;
        EXPECT_EQ(events[i].button, expected[i].button) << i;
        EXPECT_EQ(events[i].wheel, expected[i].wheel) << i;
    }
}

TEST_F(WindowTest, WindowMessages)
{
    struct Case {
        SDL_WindowEventID id;
        PlatformEventKind kind;
    };
    const Case cases[] = {
        {SDL_WINDOWEVENT_FOCUS_LOST, PlatformEventFocusLost}, {SDL_WINDOWEVENT_FOCUS_GAINED, PlatformEventFocusGained},
        {SDL_WINDOWEVENT_MINIMIZED, PlatformEventMinimised},  {SDL_WINDOWEVENT_LEAVE, PlatformEventMouseLeave},
        {SDL_WINDOWEVENT_CLOSE, PlatformEventClose},
    };
    for (const Case &c : cases) {
        PushWindowEvent(c.id);
        EXPECT_EQ(OfKinds(TakeEvents(), {c.kind}).size(), 1u) << c.id;
    }
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    EXPECT_EQ(OfKinds(TakeEvents(), {PlatformEventQuit}).size(), 1u);

    // A message for another window is not ours.
    event = SDL_Event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = 9999;
    SDL_PushEvent(&event);
    EXPECT_TRUE(OfKinds(TakeEvents(), {PlatformEventClose}).empty());
}

TEST_F(WindowTest, UserMoveIsReportedOnceItEndsButPlacementByTheProgramIsNot)
{
    EXPECT_TRUE(SameRect(PlatformGetClientRect(), WindowRect)) << RectText(PlatformGetClientRect());

    const PlatformRect placed = {150, 120, 550, 420};
    PlatformApplyWindowStyle(false, placed);
    const std::vector<PlatformEvent> afterPlacing = TakeEventsFor(600);
    EXPECT_TRUE(SameRect(PlatformGetClientRect(), placed)) << RectText(PlatformGetClientRect());
    EXPECT_TRUE(OfKinds(afterPlacing, {PlatformEventMoveSizeEnd}).empty());
    const std::vector<PlatformEvent> sizes = OfKinds(afterPlacing, {PlatformEventSizeChanged});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().rect.right - sizes.back().rect.left, 400);
    EXPECT_EQ(sizes.back().rect.bottom - sizes.back().rect.top, 300);

    // Moved behind the program's back, as by the user dragging the frame:
    // the desktop then tells the new place.
    SDL_Window *window = FindSdlWindow();
    ASSERT_NE(window, nullptr);
    SDL_SetWindowPosition(window, 200, 150);
    SDL_Event moved{};
    moved.type = SDL_WINDOWEVENT;
    moved.window.event = SDL_WINDOWEVENT_MOVED;
    moved.window.data1 = 200;
    moved.window.data2 = 150;
    SDL_PushEvent(&moved);
    const std::vector<PlatformEvent> ends = OfKinds(TakeEventsFor(1000), {PlatformEventMoveSizeEnd});
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(SameRect(ends[0].rect, {200, 150, 600, 450})) << RectText(ends[0].rect);
}

TEST_F(WindowTest, FullScreenAndBackToTheWindow)
{
    PlatformApplyWindowStyle(true, {0, 0, 640, 480});
    TakeEventsFor(300);
    const PlatformRect full = PlatformGetClientRect();
    EXPECT_EQ(full.left, 0);
    EXPECT_EQ(full.top, 0);
    EXPECT_GE(full.right, 640);
    EXPECT_GE(full.bottom, 480);

    PlatformApplyWindowStyle(false, WindowRect);
    const std::vector<PlatformEvent> events = TakeEventsFor(500);
    EXPECT_TRUE(SameRect(PlatformGetClientRect(), WindowRect)) << RectText(PlatformGetClientRect());
    EXPECT_TRUE(OfKinds(events, {PlatformEventMoveSizeEnd}).empty());
}

TEST_F(WindowTest, ClipboardTextIsInTheKeyboardCodePage)
{
    ASSERT_TRUE(PlatformSetClipboardText("caf\xE9 \x80"));
    char *utf8 = SDL_GetClipboardText();
    ASSERT_NE(utf8, nullptr);
    EXPECT_STREQ(utf8, "caf\xC3\xA9 \xE2\x82\xAC");
    SDL_free(utf8);

    char text[16];
    ASSERT_TRUE(PlatformGetClipboardText(text, sizeof(text)));
    EXPECT_STREQ(text, "caf\xE9 \x80");
    ASSERT_TRUE(PlatformSetKeyboardCodePage(1251));
    ASSERT_TRUE(PlatformGetClipboardText(text, sizeof(text)));
    EXPECT_STREQ(text, "caf \x88");  // no e acute in Cyrillic; the euro is 0x88 there
    ASSERT_TRUE(PlatformGetClipboardText(text, 3));
    EXPECT_STREQ(text, "ca");
}

// Everything must be callable with no video layer: the tests and the
// dedicated host run that way.
TEST(WindowHeadless, EveryCallIsHarmlessWithoutVideo)
{
    const char *display = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedDisplay = display != nullptr ? display : "";
    const std::string savedWayland = wayland != nullptr ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    EXPECT_FALSE(PlatformStartVideo());
    int width = -1;
    int height = -1;
    PlatformGetDesktopSize(&width, &height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_FALSE(PlatformCreateWindow(false, WindowRect));
    EXPECT_FALSE(PlatformHasWindow());
    PlatformApplyWindowStyle(true, WindowRect);
    EXPECT_TRUE(SameRect(PlatformGetClientRect(), {0, 0, 0, 0}));
    PlatformShowCursor(false);
    PlatformWarpMouse(10, 10);
    PlatformClipCursorToWindow();
    PlatformReleaseCursorClip();
    PlatformCaptureMouse();
    PlatformReleaseMouseCapture();
    PlatformEvent event;
    EXPECT_FALSE(PlatformPollEvent(&event));
    EXPECT_FALSE(PlatformPollEvent(nullptr));
    char text[8] = "x";
    EXPECT_FALSE(PlatformGetClipboardText(text, sizeof(text)));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(PlatformSetClipboardText("abc"));
    EXPECT_FALSE(PlatformSetKeyboardCodePage(12345));
    EXPECT_EQ(PlatformGetKeyboardCodePage(), 1252);
    PlatformDestroyWindow();
    PlatformStopVideo();

    // Without a display a box is written to standard error; nobody can answer
    // a question, so the answer is No.
    PlatformSetMessageBoxHandler(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(PlatformMessageBox("Could not create window", "Is it caf\xE9?", PlatformBoxQuestion), PlatformAnswerNo);
    EXPECT_EQ(PlatformMessageBox(nullptr, "Could not load font", PlatformBoxError), PlatformAnswerOk);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("Could not create window: Is it caf\xC3\xA9?"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Error: Could not load font"), std::string::npos) << printed;

    if (!savedDisplay.empty()) {
        setenv("DISPLAY", savedDisplay.c_str(), 1);
    }
    if (!savedWayland.empty()) {
        setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
    }
}

}  // namespace
