#include "ui/menu_page.h"

#include "core/main_window.h"
#include "core/shell_globals.h"
#include "ui/interface_items.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

void InitMenuPage(MenuPage *page, MenuPage *parent, PageRunCallback run, PageKeyCallback key, PageInputCallback input,
                  const char *background, int keysOnPress)
{
    if (!page) {
        return;
    }
    page->Parent = parent;
    page->Child = nullptr;
    page->Active = 1;
    page->KeysOnPress = keysOnPress && GraphicsEnabled ? 1 : 0;
    // A key-down creating a character page: that key's character must not
    // type into it.
    if (RawKeyDelivering && page->KeysOnPress == 0) {
        SkipNextChar = 1;
    }
    page->spare[0] = 0;
    page->spare[1] = 0;
    page->Background = background;
    page->Run = run;
    page->Key = key;
    page->Input = input;
}

MenuPage *OpenChildPage(MenuPage *parent, MenuPage *child)
{
    if (UiLink.cancelReplayBarDrag != nullptr) {
        UiLink.cancelReplayBarDrag();
    }
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

void ResetChildPage(MenuPage *page)
{
    if (!page) {
        return;
    }
    page->Child = nullptr;
    if (GraphicsEnabled) {
        TextEntryActive = 0;
    }
    SetCurrentScreen(page);
}

int PageHasChild(MenuPage *page)
{
    if (page && page->Child) {
        return 1;
    }
    if (ExitState != 0) {
        ClosePage(page);
    }
    return NoDrawFlag;
}

int DefaultPageInput(MenuPage *page, MouseEvent *event)
{
    return HandleItemInput(page, event);
}

void DefaultPageKey(MenuPage *page, int code)
{
    switch (code) {
    case 13:
    case 27:
    case 81:
    case 88:
        ClosePage(page);
        return;
    case 72:
        ShowMessageHistory = ShowMessageHistory ? 0 : 1;
        return;
    case 84:
        OpenMessageEntry(page, nullptr);
        return;
    case 111:
    case 191:
        OpenMessageEntry(page, "/");
        return;
    default:
        break;
    }
    if (code == 78 && ShiftHeld) {
        if (UiLink.toggleSoundOnOff != nullptr) {
            UiLink.toggleSoundOnOff();
        }
        return;
    }
    if (UiLink.forwardSessionKey != nullptr) {
        UiLink.forwardSessionKey(code);
    }
}

void OpenTextInput(MenuPage *owner, const char *prompt, int maxLength, TextAnswerCallback answer)
{
    if (UiLink.openTextInput != nullptr) {
        UiLink.openTextInput(owner, prompt, maxLength, answer);
    }
}

void OpenTextInput(MenuPage *page, TextInputAnswer answer, const char *title, int maxLength, intptr_t answerValue,
                   const char *initial, int cursor, int mode, const char *filePattern)
{
    if (UiLink.openTextInputDialog != nullptr) {
        UiLink.openTextInputDialog(page, answer, title, maxLength, answerValue, initial, cursor, mode, filePattern);
    }
}

void OpenMessageEntry(MenuPage *page, const char *initial)
{
    if (UiLink.openMessageEntry != nullptr) {
        UiLink.openMessageEntry(page, initial);
    }
}
