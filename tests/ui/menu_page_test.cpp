#include "ui/menu_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/main_window.h"
#include "core/shell_globals.h"
#include "ui/interface_items.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

namespace {

MenuPage *Replacement = nullptr;

MenuPage *RunReturningSelf(MenuPage *page)
{
    return page;
}

MenuPage *RunReturningNull(MenuPage *)
{
    return nullptr;
}

MenuPage *RunReturningReplacement(MenuPage *)
{
    return Replacement;
}

TEST(MenuPageTest, InitFillsTheHead)
{
    MenuPage parent;
    MenuPage page;
    page.Child = &parent;
    InitMenuPage(&page, &parent, RunReturningSelf, nullptr, nullptr, "entry", 5);
    EXPECT_EQ(page.Parent, &parent);
    EXPECT_EQ(page.Child, nullptr);
    EXPECT_EQ(page.Active, 1);
    EXPECT_EQ(page.KeysOnPress, 1);
    EXPECT_STREQ(page.Background, "entry");
    EXPECT_EQ(page.Run, RunReturningSelf);
}

TEST(MenuPageTest, ChildPagesOpenRunAndLeave)
{
    MenuPage parent;
    MenuPage child;
    MenuPage other;
    InitMenuPage(&parent, nullptr, RunReturningSelf, nullptr, nullptr, nullptr, 0);

    EXPECT_EQ(OpenChildPage(&parent, nullptr), nullptr);
    EXPECT_EQ(parent.Child, nullptr);

    InitMenuPage(&child, &parent, RunReturningSelf, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(OpenChildPage(&parent, &child), &child);
    EXPECT_EQ(OpenChildPage(&parent, nullptr), nullptr);
    EXPECT_EQ(parent.Child, &child);
    RunChildPage(&parent);
    EXPECT_EQ(parent.Child, &child);

    Replacement = &other;
    child.Run = RunReturningReplacement;
    RunChildPage(&parent);
    EXPECT_EQ(parent.Child, &other);

    other.Run = RunReturningNull;
    RunChildPage(&parent);
    EXPECT_EQ(parent.Child, nullptr);
    RunChildPage(&parent);  // nothing open: nothing happens
}

TEST(MenuPageTest, ClosingMakesTheParentCurrent)
{
    MenuPage parent;
    MenuPage child;
    InitMenuPage(&child, &parent, RunReturningSelf, nullptr, nullptr, nullptr, 0);
    SetCurrentScreen(&child);

    ClosePage(&child);

    EXPECT_EQ(CurrentScreen, &parent);
    EXPECT_EQ(child.Active, 0);
    SetCurrentScreen(nullptr);
}

}  // namespace

namespace {

std::vector<int> ForwardedKeys;
int SoundToggles = 0;
int ReplayDragCancels = 0;
std::vector<std::string> MessageEntries;

void FakeForwardKey(int code)
{
    ForwardedKeys.push_back(code);
}

void FakeToggleSound()
{
    ++SoundToggles;
}

void FakeCancelReplayDrag()
{
    ++ReplayDragCancels;
}

void FakeMessageEntry(MenuPage *, const char *initial)
{
    MessageEntries.push_back(initial ? initial : "(none)");
}

class MenuPageServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForwardedKeys.clear();
        MessageEntries.clear();
        SoundToggles = 0;
        ReplayDragCancels = 0;
        UiServices services{};
        services.forwardSessionKey = FakeForwardKey;
        services.toggleSoundOnOff = FakeToggleSound;
        services.cancelReplayBarDrag = FakeCancelReplayDrag;
        services.openMessageEntry = FakeMessageEntry;
        SetUiServices(services);
        ShiftHeld = 0;
        ExitState = 0;
        ShowMessageHistory = 0;
    }
    void TearDown() override
    {
        SetUiServices(UiServices{});
        ShiftHeld = 0;
        ExitState = 0;
        ShowMessageHistory = 0;
        SetCurrentScreen(nullptr);
    }
};

TEST_F(MenuPageServicesTest, DefaultPageKeyTable)
{
    MenuPage parent;
    InitMenuPage(&parent, nullptr, RunReturningSelf, DefaultPageKey, DefaultPageInput, nullptr, 1);
    for (int code : {13, 27, 81, 88}) {
        MenuPage page;
        InitMenuPage(&page, &parent, RunReturningSelf, DefaultPageKey, DefaultPageInput, nullptr, 1);
        SetCurrentScreen(&page);
        DefaultPageKey(&page, code);
        EXPECT_EQ(page.Active, 0) << code;
        EXPECT_EQ(CurrentScreen, &parent) << code;
    }
    MenuPage page;
    InitMenuPage(&page, &parent, RunReturningSelf, DefaultPageKey, DefaultPageInput, nullptr, 1);
    DefaultPageKey(&page, 72);
    EXPECT_EQ(ShowMessageHistory, 1);
    DefaultPageKey(&page, 72);
    EXPECT_EQ(ShowMessageHistory, 0);
    DefaultPageKey(&page, 84);
    DefaultPageKey(&page, 111);
    DefaultPageKey(&page, 191);
    EXPECT_EQ(MessageEntries, (std::vector<std::string>{"(none)", "/", "/"}));
    ShiftHeld = 1;
    DefaultPageKey(&page, 78);
    EXPECT_EQ(SoundToggles, 1);
    ShiftHeld = 0;
    for (int code : {78, 65, 112, 256, 0}) {
        DefaultPageKey(&page, code);
    }
    // The session gets exactly the codes no page key uses.
    EXPECT_EQ(ForwardedKeys, (std::vector<int>{78, 65, 112, 256, 0}));
    EXPECT_EQ(page.Active, 1);
}

TEST_F(MenuPageServicesTest, OpeningAChildCancelsTheReplayDragAndNullChangesNothing)
{
    MenuPage parent;
    MenuPage child;
    InitMenuPage(&parent, nullptr, RunReturningSelf, nullptr, nullptr, nullptr, 1);
    InitMenuPage(&child, &parent, RunReturningSelf, nullptr, nullptr, nullptr, 1);
    EXPECT_EQ(OpenChildPage(&parent, nullptr), nullptr);
    EXPECT_EQ(parent.Child, nullptr);
    EXPECT_EQ(OpenChildPage(&parent, &child), &child);
    EXPECT_EQ(parent.Child, &child);
    EXPECT_EQ(ReplayDragCancels, 2);
    EXPECT_EQ(PageHasChild(&parent), 1);
    TextEntryActive = 1;
    ResetChildPage(&parent);
    EXPECT_EQ(parent.Child, nullptr);
    EXPECT_EQ(CurrentScreen, &parent);
    EXPECT_EQ(TextEntryActive, GraphicsEnabled ? 0 : 1);
    TextEntryActive = 0;
}

TEST_F(MenuPageServicesTest, ExitClosesAChildlessPageAtItsNextCheck)
{
    MenuPage parent;
    MenuPage page;
    InitMenuPage(&parent, nullptr, RunReturningSelf, nullptr, nullptr, nullptr, 1);
    InitMenuPage(&page, &parent, RunReturningSelf, nullptr, nullptr, nullptr, 1);
    NoDrawFlag = 0;
    EXPECT_EQ(PageHasChild(&page), 0);
    EXPECT_EQ(page.Active, 1);
    ExitState = 1;
    EXPECT_EQ(PageHasChild(&page), 0);
    EXPECT_EQ(page.Active, 0);
    EXPECT_EQ(CurrentScreen, &parent);
}

TEST_F(MenuPageServicesTest, KeyModeNeedsGraphicsAndAKeyDownDoesNotTypeIntoItsPage)
{
    const int graphics = GraphicsEnabled;
    MenuPage page;
    GraphicsEnabled = 0;
    InitMenuPage(&page, nullptr, RunReturningSelf, nullptr, nullptr, nullptr, 1);
    EXPECT_EQ(page.KeysOnPress, 0);
    GraphicsEnabled = 1;
    InitMenuPage(&page, nullptr, RunReturningSelf, nullptr, nullptr, nullptr, 1);
    EXPECT_EQ(page.KeysOnPress, 1);

    SkipNextChar = 0;
    RawKeyDelivering = 1;
    InitMenuPage(&page, nullptr, RunReturningSelf, nullptr, nullptr, nullptr, 1);
    EXPECT_EQ(SkipNextChar, 0);
    InitMenuPage(&page, nullptr, RunReturningSelf, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(SkipNextChar, 1);
    RawKeyDelivering = 0;
    SkipNextChar = 0;
    GraphicsEnabled = graphics;
}

}  // namespace
