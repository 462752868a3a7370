#pragma once

#include <cstdint>

// The head of every screen, sub-screen and dialog. A screen's object begins
// with it (a screen struct derives from MenuPage) and is driven through its
// three callbacks: Run once per main-loop pass, Key for keys and characters,
// Input for mouse events.
//
// The protocol every page follows: the creator allocates the object, calls
// InitMenuPage and makes it current (a top-level screen) or opens it as a
// child. Each pass the main loop runs the top-level page, and every page runs
// its open child, keeping what the child's Run returns as the new child. A
// page closed by ClosePage is run once more, frees itself there and returns
// null (or the page that replaces it). A null page from the top-level Run ends
// the program.

struct MouseEvent;
struct MenuPage;

using PageRunCallback = MenuPage *(*)(MenuPage *page);
using PageKeyCallback = void (*)(MenuPage *page, int code);
// Non-zero when the page consumed the event.
using PageInputCallback = int (*)(MenuPage *page, MouseEvent *event);

struct MenuPage {
    MenuPage *Parent = nullptr;       // the page that opened this one; null for a top-level screen
    MenuPage *Child = nullptr;        // the open child page, null when none
    uint8_t Active = 0;               // 1 from InitMenuPage until ClosePage
    uint8_t KeysOnPress = 0;          // 1: Key gets virtual-key codes on key-down; 0: characters
    uint8_t spare[2] = {};
    const char *Background = nullptr; // the page's name: the background picture it wants, or null
    PageRunCallback Run = nullptr;
    PageKeyCallback Key = nullptr;
    PageInputCallback Input = nullptr;
};

// The answer of a text input dialog: the typed text.
using TextAnswerCallback = void (*)(MenuPage *owner, const char *answer);

// Fills the head: no child, active, the callbacks, name and key mode given.
void InitMenuPage(MenuPage *page, MenuPage *parent, PageRunCallback run, PageKeyCallback key, PageInputCallback input,
                  const char *background, int keysOnPress);
// Makes child the parent's open child (a null child changes nothing) and
// returns it.
MenuPage *OpenChildPage(MenuPage *parent, MenuPage *child);
// Runs the open child and keeps what its Run returns as the child.
void RunChildPage(MenuPage *page);
// Makes the parent current and marks the page closed; the page frees itself
// at its next run.
void ClosePage(MenuPage *page);
// Clears a child page's state on closing: the text entry is no longer open.
void ResetChildPage(MenuPage *page);
// The head of a page's run: 1 when a child is open (the page shows nothing of
// its own); else while the program exits the page closes. Returns NoDrawFlag.
int PageHasChild(MenuPage *page);
// The input callback of a page whose items handle the mouse.
int DefaultPageInput(MenuPage *page, MouseEvent *event);
// The keys every menu page shares: Enter, Esc, 'Q' and 'X' close the page,
// 'H' shows the history, Shift+'N' turns the sound on or off, 'T' opens the
// message entry, '/' opens it with "/"; the rest go to the session.
void DefaultPageKey(MenuPage *page, int code);

// The text input dialog over the owner: the prompt, at most maxLength
// characters, the answer to the callback. Opens nothing until the dialogs
// exist.
void OpenTextInput(MenuPage *owner, const char *prompt, int maxLength, TextAnswerCallback answer);
// The answer of the full text input dialog: the typed text and the answer
// value the opener gave.
using TextInputAnswer = void (*)(MenuPage *parent, const char *text, intptr_t value);
// The text input dialog with all its arguments: the answer callback, the
// title, at most maxLength characters, the value handed back with the answer,
// the initial text (null: empty), the cursor (1..7: that many characters of
// the initial text are fixed), the entry mode and a file pattern (null: no
// file list). Opens nothing until the dialogs exist.
void OpenTextInput(MenuPage *page, TextInputAnswer answer, const char *title, int maxLength, intptr_t answerValue,
                   const char *initial, int cursor, int mode, const char *filePattern);
// The message entry over the page, starting with the text (null: empty).
// Opens nothing until the text entry exists.
void OpenMessageEntry(MenuPage *page, const char *initial);
