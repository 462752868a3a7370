#include "ui/menu_page.h"

#include <gtest/gtest.h>

#include "core/main_window.h"

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
