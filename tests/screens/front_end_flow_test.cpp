#include <gtest/gtest.h>

#include "core/main_window.h"
#include "platform/keys.h"
#include "race/game_state.h"
#include "screens/main_menu.h"
#include "screens/startup_screen.h"
#include "ui/menu_page.h"

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
    CurrentScreen->Key(CurrentScreen, 'Q');
    EXPECT_EQ(ExitState, 0);
    EXPECT_EQ(page->Run(page), page);

    CurrentScreen->Key(CurrentScreen, VkEscape);
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
