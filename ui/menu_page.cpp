#include "ui/menu_page.h"

#include "core/main_window.h"

void InitMenuPage(MenuPage *page, MenuPage *parent, PageRunCallback run, PageKeyCallback key, PageInputCallback input,
                  const char *background, int keysOnPress)
{
    if (!page) {
        return;
    }
    page->Parent = parent;
    page->Child = nullptr;
    page->Active = 1;
    page->KeysOnPress = keysOnPress ? 1 : 0;
    page->spare[0] = 0;
    page->spare[1] = 0;
    page->Background = background;
    page->Run = run;
    page->Key = key;
    page->Input = input;
}

MenuPage *OpenChildPage(MenuPage *parent, MenuPage *child)
{
    if (parent && child) {
        parent->Child = child;
    }
    return child;
}

void RunChildPage(MenuPage *page)
{
    if (!page || !page->Child) {
        return;
    }
    MenuPage *child = page->Child;
    page->Child = child->Run ? child->Run(child) : nullptr;
}

void ClosePage(MenuPage *page)
{
    if (!page) {
        return;
    }
    SetCurrentScreen(page->Parent);
    page->Active = 0;
}
