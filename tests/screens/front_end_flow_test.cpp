#include <gtest/gtest.h>

#include "core/main_window.h"
#include "platform/keys.h"
#include "race/game_state.h"
#include "screens/main_menu.h"
#include "screens/startup_screen.h"
#include "core/colour.h"
#include "core/shell_globals.h"
#include "ui/dialogs.h"
#include "ui/interface_colours.h"
#include "ui/interface_draw.h"
#include "ui/interface_items.h"
#include "ui/dialogs.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"

namespace {

MenuPage *RunOpenChild(MenuPage *page)
{
    return page;
}

// A child that closes itself once the program exits.
MenuPage *RunClosingChild(MenuPage *page)
{
    return ExitState != 0 ? nullptr : page;
}

class FrontEndFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ExitState = 0;
        ExitValue = 0;
        SetCurrentScreen(nullptr);
    }
    void TearDown() override
    {
        ExitState = 0;
        ExitValue = 0;
        SetCurrentScreen(nullptr);
        GameSessionPtr = nullptr;
    }

    // Runs the start-up screen until the entry screen is the top-level page.
    MenuPage *StartToEntry()
    {
        MenuPage *page = StartupScreen(nullptr);
        EXPECT_EQ(CurrentScreen, page);
        page = page->Run(page);
        EXPECT_NE(page, nullptr);
        page = page->Run(page);
        EXPECT_EQ(page, MainMenuPage);
        return page;
    }
};

TEST_F(FrontEndFlowTest, StartUpLeadsToTheEntryScreenAndEscEndsTheProgram)
{
    MenuPage *page = StartToEntry();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(CurrentScreen, page);
    EXPECT_STREQ(page->Background, "entry");
    EXPECT_EQ(IsMainMenuIdle(), 1);

    EXPECT_EQ(page->Run(page), page);
    // Q, X and Esc ask "Exit KZV?"; any key but Enter or 'Y' answers no.
    for (const int key : {int{'Q'}, int{'X'}, VkEscape}) {
        CurrentScreen->Key(CurrentScreen, key);
        EXPECT_EQ(ExitState, 0);
        EXPECT_EQ(page->Child, MessageBoxDialog());
        EXPECT_EQ(CurrentScreen, MessageBoxDialog());
        EXPECT_EQ(page->Run(page), page);
        CurrentScreen->Key(CurrentScreen, 'N');
        EXPECT_EQ(ExitState, 0);
        EXPECT_EQ(page->Run(page), page);
        EXPECT_EQ(page->Child, nullptr);
        EXPECT_EQ(CurrentScreen, page);
    }

    CurrentScreen->Key(CurrentScreen, VkEscape);
    CurrentScreen->Key(CurrentScreen, 'Y');
    EXPECT_EQ(ExitState, 1);
    EXPECT_EQ(ExitValue, 0);

    EXPECT_EQ(page->Run(page), nullptr);
    EXPECT_EQ(MainMenuPage, nullptr);
    EXPECT_EQ(CurrentScreen, nullptr);
    EXPECT_EQ(IsMainMenuIdle(), 0);
}

TEST_F(FrontEndFlowTest, ExitWaitsForOpenChildrenAndTheSession)
{
    MenuPage *page = StartToEntry();
    ASSERT_NE(page, nullptr);

    MenuPage child;
    InitMenuPage(&child, page, RunOpenChild, nullptr, nullptr, nullptr, 0);
    OpenChildPage(page, &child);
    EXPECT_EQ(IsMainMenuIdle(), 0);
    StartProgramExit(7);
    StartProgramExit(9);  // only the first request counts
    EXPECT_EQ(ExitValue, 7);
    EXPECT_EQ(page->Run(page), page);

    child.Run = RunClosingChild;
    int session = 0;
    GameSessionPtr = reinterpret_cast<GameSession *>(&session);
    EXPECT_EQ(page->Run(page), page);
    EXPECT_EQ(page->Child, nullptr);

    GameSessionPtr = nullptr;
    EXPECT_EQ(page->Run(page), nullptr);
    EXPECT_EQ(MainMenuPage, nullptr);
}

}  // namespace

namespace {

TEST_F(FrontEndFlowTest, TheEntryPageShowsItsChoicesAndTheExitButtonEndsTheProgram)
{
    LoadInterfaceColours();
    MenuPage *page = StartToEntry();
    BeginInterfaceFrame();
    NoDrawFlag = 0;
    page = page->Run(page);
    ASSERT_EQ(InterfaceItemCount, 7);
    const char *const texts[] = {"Training", "Multiplayer", "Single player", "Hot lapping", "Replays", "Options"};
    for (int i = 0; i < 6; ++i) {
        const InterfaceItem &item = InterfaceItems[i];
        SCOPED_TRACE(i);
        EXPECT_STREQ(static_cast<const char *>(item.Text.p), texts[i]);
        EXPECT_EQ(item.Kind, ItemButton);
        EXPECT_FLOAT_EQ(item.x0, 0.35f);
        EXPECT_FLOAT_EQ(item.x1, 0.9f);
        EXPECT_FLOAT_EQ(item.y0, -0.3625f + 0.125f * static_cast<float>(i));
        EXPECT_FLOAT_EQ(item.y1 - item.y0, 0.1f);
        EXPECT_EQ(item.Owner, nullptr);  // passive for now
    }
    const InterfaceItem &exit = InterfaceItems[6];
    EXPECT_STREQ(static_cast<const char *>(exit.Text.p), "exit");
    EXPECT_EQ(exit.Kind, ItemBarButton);
    EXPECT_EQ(exit.Colour, &InterfaceColours.buttonRed);

    // 'H' shows the history and hides it again.
    ShowMessageHistory = 0;
    page->Key(page, 'H');
    EXPECT_EQ(ShowMessageHistory, 1);
    page->Key(page, 'H');
    EXPECT_EQ(ShowMessageHistory, 0);

    // A click on a passive choice does nothing; holding on "exit" and
    // releasing there starts the exit.
    MouseEvent event{};
    MouseFracX = 0.5f;
    MouseFracY = -0.3f;
    event.press = 1;
    EXPECT_EQ(page->Input(page, &event), 0);
    MouseFracX = -0.9f;
    MouseFracY = 0.9f;
    EXPECT_EQ(page->Input(page, &event), 1);
    EXPECT_EQ(ItemPressed(exit), 1);
    event = MouseEvent{};
    event.release = 1;
    EXPECT_EQ(page->Input(page, &event), 1);
    EXPECT_NE(ExitState, 0);
    BeginInterfaceFrame();
    EXPECT_EQ(page->Run(page), nullptr);
    EXPECT_EQ(InterfaceItemCount, 0);
    EXPECT_EQ(MainMenuPage, nullptr);
}

}  // namespace
