// The whole input path under a real display: system events pushed into the
// window's queue go through the platform layer, the main window's procedure
// and the program's input model to the current page's callbacks.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/window_proc.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "ui/menu_page.h"

namespace {

std::vector<int> KeysSeen;
struct PressSeen {
    MouseEvent event;
    int x;  // MouseX and MouseY when the page got the event
    int y;
};
std::vector<PressSeen> PressesSeen;

void RecordKey(MenuPage *, int code)
{
    KeysSeen.push_back(code);
}

int RecordMouse(MenuPage *, MouseEvent *event)
{
    if (event->press != 0) {  // the display's own pointer moves may come too
        PressesSeen.push_back({*event, MouseX, MouseY});
    }
    return 1;
}

MenuPage *KeepPage(MenuPage *page)
{
    return page;
}

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

void PushKey(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void PushText(const char *utf8)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, utf8, sizeof(event.text.text) - 1);
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void PushButton(Uint8 button, int x, int y, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

// Runs the main loop's message step for a while, as successive passes would.
void PumpFor(uint32_t ms)
{
    const uint32_t start = PlatformTimeMs();
    do {
        PumpWindowMessages();
        PlatformSleepMs(10);
    } while (PlatformTimeMs() - start < ms);
}

class WindowInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DisplayAvailable()) {
            GTEST_SKIP() << "no display";
        }
        GraphicsEnabled = 1;
        QuitFlag = 0;
        ExitState = 0;
        StartWindowed = 1;
        WindowRectangle = {100, 80, 420, 320};
        ASSERT_TRUE(PlatformStartVideo());
        ASSERT_EQ(CreateMainWindow(0), 1);
        ASSERT_TRUE(PlatformSetKeyboardCodePage(1252));
        PumpFor(300);  // the display's own messages about the new window
        KeysSeen.clear();
        PressesSeen.clear();
    }

    void TearDown() override
    {
        CurrentScreen = nullptr;
        PlatformStopVideo();
    }

    MenuPage page;
};

TEST_F(WindowInputTest, KeysAndCharactersReachTheCurrentPage)
{
    // A page that takes keys gets the virtual-key code on the key-down.
    InitMenuPage(&page, nullptr, KeepPage, RecordKey, RecordMouse, nullptr, 1);
    SetCurrentScreen(&page);
    PushKey(SDL_SCANCODE_K, SDLK_k, KMOD_NONE, true);
    PushKey(SDL_SCANCODE_K, SDLK_k, KMOD_NONE, false);
    PumpFor(100);
    EXPECT_EQ(KeysSeen, std::vector<int>({'K'}));

    // A page that takes characters gets them in the keyboard's code page.
    KeysSeen.clear();
    page.KeysOnPress = 0;
    PushText("\xc3\xa9");  // e acute: 233 in code page 1252
    PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE, true);
    PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE, false);
    PumpFor(100);
    EXPECT_EQ(KeysSeen, std::vector<int>({233, 13}));
}

TEST_F(WindowInputTest, MousePressWithCtrlReachesTheCurrentPage)
{
    InitMenuPage(&page, nullptr, KeepPage, RecordKey, RecordMouse, nullptr, 0);
    SetCurrentScreen(&page);
    PushKey(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL, true);
    PushButton(SDL_BUTTON_LEFT, 50, 40, true);
    PushButton(SDL_BUTTON_LEFT, 50, 40, false);
    PushKey(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_NONE, false);
    PushButton(SDL_BUTTON_RIGHT, 60, 45, true);
    PushButton(SDL_BUTTON_RIGHT, 60, 45, false);
    PumpFor(100);

    ASSERT_EQ(PressesSeen.size(), 2u);
    EXPECT_EQ(PressesSeen[0].event.press, 1u + 4u);  // left, with Ctrl
    EXPECT_EQ(PressesSeen[0].event.left, 1u);
    EXPECT_EQ(PressesSeen[0].x, 50);
    EXPECT_EQ(PressesSeen[0].y, 40);
    EXPECT_EQ(PressesSeen[1].event.press, 2u);       // right, Ctrl released
    EXPECT_EQ(PressesSeen[1].event.right, 1u);
    EXPECT_EQ(PressesSeen[1].x, 60);
    EXPECT_EQ(PressesSeen[1].y, 45);
    EXPECT_EQ(CtrlHeld, 0);
}

}  // namespace
