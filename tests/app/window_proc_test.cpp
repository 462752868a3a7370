#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "core/command_interpreter.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/keys.h"
#include "platform/window.h"
#include "race/driver_names.h"
#include "race/game_state.h"
#include "scene/hud.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/translation.h"
#include "world/world.h"

namespace {

struct KeySeen {
    int code;
    int raw;  // RawKeyDelivering during the call
};

std::vector<KeySeen> KeysSeen;
std::vector<MouseEvent> MiceSeen;

void RecordKey(MenuPage *, int code)
{
    KeysSeen.push_back({code, RawKeyDelivering});
}

int RecordMouse(MenuPage *, MouseEvent *event)
{
    MiceSeen.push_back(*event);
    return 1;
}

MenuPage *KeepPage(MenuPage *page)
{
    return page;
}

PlatformEvent Event(PlatformEventKind kind, int key = 0)
{
    PlatformEvent event = {};
    event.kind = kind;
    event.key = key;
    return event;
}

void Send(PlatformEventKind kind, int key = 0)
{
    MainWindowProc(Event(kind, key));
}

void Down(int vk)
{
    Send(PlatformEventKeyDown, vk);
}

void Up(int vk)
{
    Send(PlatformEventKeyUp, vk);
}

void Press(int vk)
{
    Down(vk);
    Up(vk);
}

PlatformEvent MouseAt(PlatformEventKind kind, int x, int y, int buttons)
{
    PlatformEvent event = Event(kind);
    event.x = x;
    event.y = y;
    event.buttons = buttons;
    return event;
}

// The lines the command interpreter passed on to the host's commands (every
// "/fk" word is unknown to its own table); taken once.
std::vector<std::string> HostCommandsSeen;

int RecordHostCommand(const char *text, char *, int)
{
    HostCommandsSeen.push_back(text);
    return 1;
}

std::vector<std::string> CommandsRun()
{
    std::vector<std::string> commands;
    commands.swap(HostCommandsSeen);
    return commands;
}

class WindowProcTest : public ::testing::Test {
protected:
    MenuPage page;

    void SetUp() override
    {
        std::remove("deb.log");
        RegisterWindowServices();
        CommandServices commands = {};
        commands.handleHostCommand = RecordHostCommand;
        SetCommandServices(commands);
        HostCommandsSeen.clear();
        KeysSeen.clear();
        MiceSeen.clear();
        std::memset(KeyState, 0, sizeof(KeyState));
        std::memset(PageKeyState, 0, sizeof(PageKeyState));
        AltHeld = CtrlHeld = ShiftHeld = 0;
        AltCodeCount = 0;
        FreeViewMoveRight = FreeViewMoveLeft = FreeViewMoveDown = FreeViewMoveUp = 0;
        TextEntryActive = QueuedLineIndex = SkipNextChar = 0;
        ExitState = ExitValue = 0;
        QuitFlag = 0;
        InfoDisplay = 0;
        GraphicsEnabled = 1;
        DedicatedMode = 0;
        GameState = 1;
        MultiplayerReplayPlaying = 0;
        HudShown = 1;
        NamesMode = 0;
        LanguageName[0] = 0;
        StartWindowed = 1;
        CurrentWorld = nullptr;
        FullScreenModeIndex = 3;
        FullScreenModeRequest = -1;
        WindowModeRequest = 0;
        InputRestartRequest = 0;
        TextureRefreshRequest = 0;
        ScreenWidth = 640;
        ScreenHeight = 480;
        MouseX = MouseY = 0;
        WindowMouseEvent = {};
        for (int i = 0; i < FKeyMessageCount; ++i) {
            std::snprintf(FKeyMessages[i], FKeyMessageSize, "/fk%d", i);
        }
        // A page that takes characters (no key mode).
        InitMenuPage(&page, nullptr, KeepPage, RecordKey, RecordMouse, nullptr, 0);
        SetCurrentScreen(&page);
    }

    void TearDown() override
    {
        SetCommandServices(CommandServices{});
        SetCurrentScreen(nullptr);
        ExitState = ExitValue = 0;
        QuitFlag = 0;
    }

    std::vector<int> Codes() const
    {
        std::vector<int> codes;
        for (const KeySeen &seen : KeysSeen) {
            codes.push_back(seen.code);
        }
        return codes;
    }
};

TEST_F(WindowProcTest, FunctionKeysRunTheirMessageByModifier)
{
    struct Case {
        int ctrl, alt, key, index;
    };
    const Case cases[] = {
        {0, 0, VkF1, 0},  {0, 0, VkF5, 4},   {0, 0, VkF8, 7},   {1, 0, VkF5, 12},
        {1, 0, VkF12, 19}, {0, 1, VkF5, 24}, {0, 1, VkF12, 31}, {1, 1, VkF5, 12},  // Ctrl wins over Alt
    };
    for (const Case &c : cases) {
        std::remove("deb.log");
        if (c.ctrl) Down(VkControl);
        if (c.alt) Down(VkMenu);
        Press(c.key);
        if (c.alt) Up(VkMenu);
        if (c.ctrl) Up(VkControl);
        const std::vector<std::string> expected = {"/fk" + std::to_string(c.index)};
        EXPECT_EQ(CommandsRun(), expected) << "ctrl " << c.ctrl << " alt " << c.alt << " key " << c.key;
    }
    EXPECT_TRUE(KeysSeen.empty());

    // A simulated key stroke takes the given modifiers and gives the real ones back.
    std::remove("deb.log");
    Down(VkShift);
    SimulateKeyPress(1, 0, 0, VkF5);
    EXPECT_EQ(CommandsRun(), std::vector<std::string>{"/fk12"});
    EXPECT_EQ(CtrlHeld, 0);
    EXPECT_EQ(ShiftHeld, 1);
}

TEST_F(WindowProcTest, ShiftF5ResetsTheLanguageAndWithCtrlStepsToTheNext)
{
    Down(VkShift);
    Press(VkF5);
    EXPECT_STREQ(LanguageName, "");
    EXPECT_TRUE(CommandsRun().empty());  // no function-key message

    // Without language files each step is tried, announced as missing and
    // leaves English; the next press goes on to the next language.
    Down(VkControl);
    ClearMessageLines();
    Press(VkF5);
    EXPECT_STREQ(LanguageName, "");
    EXPECT_STREQ(MessageLines[0].Text, "Could not load file : ^Ldata\\language\\Deutsch.txt");
    Press(VkF5);
    EXPECT_STREQ(MessageLines[1].Text, "Could not load file : ^Ldata\\language\\Portuguese.txt");
    ClearMessageLines();
    std::snprintf(LanguageName, sizeof(LanguageName), "%s", LanguageTable[LanguageCount - 1].name);
    Press(VkF5);
    EXPECT_STREQ(LanguageName, "");  // after the last, back to English
    EXPECT_TRUE(CommandsRun().empty());
}

TEST_F(WindowProcTest, OpenTextEntryTakesTheMessageAndKeepsTheFreeViewStill)
{
    TextEntryActive = 1;
    Press(VkF2);
    EXPECT_EQ(QueuedLineIndex, 2);
    EXPECT_TRUE(CommandsRun().empty());

    Down(VkLeft);
    EXPECT_EQ(FreeViewMoveLeft, 0);
    EXPECT_EQ(ArrowKeyState[3], 1);
    EXPECT_EQ(KeyState[KeyCodeLeft], 1);  // the arrows follow the keys in one table
    Up(VkLeft);
    EXPECT_EQ(ArrowKeyState[3], 0);

    TextEntryActive = 0;
    Down(VkUp);
    EXPECT_EQ(FreeViewMoveUp, 1);
    Up(VkUp);
    EXPECT_EQ(FreeViewMoveUp, 0);
    EXPECT_EQ(Codes(), (std::vector<int>{KeyCodeLeft, KeyCodeUp}));
}

TEST_F(WindowProcTest, AltDigitsMakeOneCharacterWhenAltGoesUp)
{
    struct Case {
        std::vector<int> keys;
        std::vector<int> delivered;
    };
    const Case cases[] = {
        {{'6', '5'}, {'A'}},
        {{VkNumpad0 + 6, VkNumpad0 + 5}, {'A'}},
        {{'1', '2', '3', '4'}, {123}},  // the fourth digit is refused
        {{'1', '2', '7'}, {}},          // 127 is not printable
        {{'3', '1'}, {}},               // nor below 32
    };
    for (const Case &c : cases) {
        KeysSeen.clear();
        Down(VkMenu);
        for (int key : c.keys) {
            Down(key);
            PlatformEvent typed = Event(PlatformEventChar, key >= VkNumpad0 ? '0' + key - VkNumpad0 : key);
            typed.system = 1;
            MainWindowProc(typed);  // the digit's own character must not count again
            Up(key);
        }
        EXPECT_LE(AltCodeCount, AltCodeMaxDigits);
        Up(VkMenu);
        EXPECT_EQ(Codes(), c.delivered) << "first key " << c.keys[0];
        EXPECT_EQ(AltHeld, 0);
    }
}

TEST_F(WindowProcTest, KeyModePageGetsRawKeysAndNoCharacters)
{
    page.KeysOnPress = 1;
    Down('Q');
    Send(PlatformEventChar, 'q');
    ASSERT_EQ(KeysSeen.size(), 1u);
    EXPECT_EQ(KeysSeen[0].code, 'Q');
    EXPECT_EQ(KeysSeen[0].raw, 1);
    EXPECT_EQ(RawKeyDelivering, 0);
    EXPECT_EQ(KeyState['Q'], 1);
    Up('Q');
    EXPECT_EQ(KeyState['Q'], 0);
}

TEST_F(WindowProcTest, FocusLossReleasesEveryHeldKey)
{
    Down(VkControl);
    Down(VkShift);
    Down('W');
    Down(VkPrior);
    Down(VkRight);
    Down(VkDelete);
    MainWindowProc(MouseAt(PlatformEventMouseMove, 10, 10, PlatformMouseLeft));
    Down(VkMenu);
    ASSERT_EQ(KeyState['W'], 1);
    ASSERT_EQ(FreeViewMoveRight, 1);

    Send(PlatformEventFocusLost);
    EXPECT_EQ(AltHeld + CtrlHeld + ShiftHeld, 0);
    for (int i = 0; i < KeyStateSize + ArrowKeyCount; ++i) {
        EXPECT_EQ(KeyState[i], 0) << "slot " << i;
    }
    EXPECT_EQ(PageKeyState[0] + PageKeyState[1], 0);
    EXPECT_EQ(FreeViewMoveRight, 0);
    EXPECT_EQ(WindowInactive, 1);

    Send(PlatformEventFocusGained);
    EXPECT_EQ(WindowInactive, 0);
    EXPECT_EQ(InputRestartRequest, 1);
    EXPECT_EQ(TextureRefreshRequest, 2);
}

TEST_F(WindowProcTest, MousePressCodesAddCtrlAndShift)
{
    struct Case {
        int ctrl, shift, button;
        uint32_t press;
    };
    const Case cases[] = {
        {0, 0, PlatformMouseLeft, 1},  {0, 0, PlatformMouseRight, 2}, {1, 0, PlatformMouseLeft, 5},
        {0, 1, PlatformMouseRight, 10}, {1, 1, PlatformMouseLeft, 13},
    };
    for (const Case &c : cases) {
        if (c.ctrl) Down(VkControl);
        if (c.shift) Down(VkShift);
        PlatformEvent press = MouseAt(PlatformEventButtonDown, 20, 30, c.button);
        press.button = c.button;
        MainWindowProc(press);
        PlatformEvent release = MouseAt(PlatformEventButtonUp, 20, 30, 0);
        release.button = c.button;
        MainWindowProc(release);
        if (c.shift) Up(VkShift);
        if (c.ctrl) Up(VkControl);
        ASSERT_GE(MiceSeen.size(), 2u);
        const MouseEvent &down = MiceSeen[MiceSeen.size() - 2];
        const MouseEvent &up = MiceSeen.back();
        EXPECT_EQ(down.press, c.press);
        EXPECT_EQ(down.release, 0u);
        EXPECT_EQ(down.left, c.button == PlatformMouseLeft ? 1u : 0u);
        EXPECT_EQ(up.press, 0u);
        EXPECT_EQ(up.release, c.button == PlatformMouseLeft ? 1u : 2u);
        EXPECT_EQ(KeyState[KeySlotMouseLeft] + KeyState[KeySlotMouseRight], 0);
    }
}

TEST_F(WindowProcTest, PositionsOutsideTheBackBufferDoNotMove)
{
    MainWindowProc(MouseAt(PlatformEventMouseMove, 100, 100, 0));
    MainWindowProc(MouseAt(PlatformEventMouseMove, 700, 120, 0));
    EXPECT_EQ(WindowMouseEvent.dx, 0);
    EXPECT_EQ(WindowMouseEvent.dy, 20);
    EXPECT_EQ(MouseX, 100);
    MainWindowProc(MouseAt(PlatformEventMouseMove, -5, 120, 0));
    EXPECT_EQ(WindowMouseEvent.dx, 0);
    EXPECT_EQ(MouseX, 100);
    MainWindowProc(MouseAt(PlatformEventMouseMove, 320, 240, 0));
    EXPECT_EQ(WindowMouseEvent.dx, 220);
    EXPECT_FLOAT_EQ(MouseFracX, 0.0f);  // the centre of the back buffer
    EXPECT_FLOAT_EQ(MouseFracY, 0.0f);
}

TEST_F(WindowProcTest, WheelSlotsLastOnePass)
{
    PlatformEvent wheel = MouseAt(PlatformEventWheel, 5, 5, 0);
    wheel.wheel = 1;
    MainWindowProc(wheel);
    EXPECT_EQ(KeyState[KeySlotWheelUp], 1);
    EXPECT_EQ(WindowMouseEvent.wheel, 1u);
    wheel.wheel = -1;
    MainWindowProc(wheel);
    EXPECT_EQ(KeyState[KeySlotWheelDown], 1);
    EXPECT_EQ(WindowMouseEvent.wheel, 2u);

    PumpWindowMessages();
    EXPECT_EQ(KeyState[KeySlotWheelUp], 0);
    EXPECT_EQ(KeyState[KeySlotWheelDown], 0);

    MainWindowProc(wheel);
    QuitFlag = 1;  // cleared even when the pump handles no more messages
    PumpWindowMessages();
    EXPECT_EQ(KeyState[KeySlotWheelDown], 0);
}

TEST_F(WindowProcTest, CloseBeginsTheExitAndKeysAreDroppedWhileItIsPending)
{
    Send(PlatformEventClose);
    EXPECT_EQ(ExitState, 1);
    EXPECT_EQ(ExitValue, 0);

    Press(VkF5);
    Press(VkDelete);
    Down('Q');
    Send(PlatformEventChar, 'q');
    EXPECT_TRUE(KeysSeen.empty());
    EXPECT_EQ(KeyState['Q'], 0);
    EXPECT_TRUE(CommandsRun().empty());

    Send(PlatformEventQuit);
    EXPECT_EQ(QuitFlag, 1);
}

TEST_F(WindowProcTest, F10ShowsThenHidesInformationDisplay2)
{
    Press(VkF10);
    EXPECT_EQ(InfoDisplay, 2);
    Press(VkF10);
    EXPECT_EQ(InfoDisplay, 0);

    Press(VkF10);
    NamesMode = 1;  // names step on instead of the display hiding
    Press(VkF10);
    EXPECT_EQ(InfoDisplay, 2);
    EXPECT_EQ(NamesMode, 2);

    HudShown = 2;  // with the head-up display hidden F10 shows it again
    Press(VkF10);
    EXPECT_EQ(InfoDisplay, 2);
    EXPECT_EQ(HudShown, 1);
}

TEST_F(WindowProcTest, ShiftF4SwitchesOnlyWhileNoTrackLoads)
{
    Down(VkShift);
    CurrentWorld = WorldCreate();
    CurrentWorld->loadState = 1;
    Press(VkF4);
    EXPECT_EQ(FullScreenModeRequest, -1);
    EXPECT_EQ(WindowModeRequest, 0);

    // The graphics phase (state 16) no longer counts as loading.
    CurrentWorld->loadState = LoadStateGraphics;
    Press(VkF4);
    EXPECT_EQ(FullScreenModeRequest, 3);
    StartWindowed = 0;
    Press(VkF4);
    EXPECT_EQ(WindowModeRequest, 1);
    Up(VkShift);
    WorldDestroy(CurrentWorld);
}

}  // namespace

namespace {

// Closing the top-level page leaves no current page; what arrives then is
// dropped, not called through a null page.
TEST_F(WindowProcTest, AfterTheTopPageClosesNothingIsDelivered)
{
    ClosePage(&page);
    ASSERT_EQ(CurrentScreen, nullptr);
    Send(PlatformEventChar, 'a');
    Press(VkUp);
    PlatformEvent press = MouseAt(PlatformEventButtonDown, 20, 30, PlatformMouseLeft);
    press.button = PlatformMouseLeft;
    MainWindowProc(press);
    PlatformEvent wheel = MouseAt(PlatformEventWheel, 20, 30, 0);
    wheel.wheel = 1;
    MainWindowProc(wheel);
    EXPECT_TRUE(KeysSeen.empty());
    EXPECT_TRUE(MiceSeen.empty());
}

}  // namespace
