#pragma once

#include <cstdint>

#include "ui/menu_page.h"

// The three modal dialogs every screen uses: the message box, the choice box
// and the text input dialog. Each is one static page, set up afresh at every
// opening and opened as the child of the asking page; while one is open its
// items lie over the message lines (InterfaceLayerMode 2) and TextEntryActive
// is set. Closing restores both once and makes the parent current again.

using MessageBoxAnswer = void (*)(MenuPage *parent, uint32_t a, uint32_t b);
using ChoiceBoxAnswer = void (*)(MenuPage *parent, intptr_t value, int index);

enum MessageBoxModes { MessageBoxYesNo = 0, MessageBoxYesNoLatin = 1, MessageBoxCancelOk = 2 };

// Text input dialog modes: 0 plain text, 1 and 5 file-name text, 2 and 3
// passwords, 4 load a file, 6 save a file.
enum TextInputModes {
    TextInputPlain = 0,
    TextInputFileName = 1,
    TextInputPassword = 2,
    TextInputPassword2 = 3,
    TextInputLoad = 4,
    TextInputFileName2 = 5,
    TextInputSave = 6,
};

// States of the text input dialog.
enum TextInputStates {
    InputEditing = 0,
    InputRenaming = 1,
    InputConfirmDelete = 2,
    InputConfirmOverwrite = 3,
    InputNameExists = 4,
    InputNotFound = 5,
    InputNoFiles = 6,
    InputNoName = 7,
};

constexpr int DialogTextSize = 128;

void OpenMessageBox(MenuPage *page, MessageBoxAnswer answer, const char *first, const char *second, uint32_t a,
                    uint32_t b, int mode);
void ShowTextBoxF(MenuPage *page, const char *format, ...);
void ShowTextBoxLatinTail(MenuPage *page, const char *a, const char *b);
void OpenChoiceBox(MenuPage *page, ChoiceBoxAnswer answer, const char *title, const char *const *texts, int count,
                   intptr_t value, int selected);
// The full text input dialog; registered as the services' openTextInputDialog.
void OpenTextInputDialog(MenuPage *page, TextInputAnswer answer, const char *title, int maxLength,
                         intptr_t answerValue, const char *initial, int cursor, int mode, const char *filePattern);
// The short form the interface items use (a prompt, a length and an answer
// taking the text only): plain text, no file list.
void OpenPromptDialog(MenuPage *owner, const char *prompt, int maxLength, TextAnswerCallback answer);
// The message entry: "Enter message", the command interpreter as its answer,
// opened only when the chat rate allows a line now.
void OpenMessageEntryDialog(MenuPage *page, const char *initial);

// What the tests and the program read of the open dialogs.
MenuPage *MessageBoxDialog();
MenuPage *ChoiceBoxDialog();
MenuPage *TextInputDialog();
int TextInputState();
const char *MessageBoxText();
const char *TextInputTitle();
// Answers of the three pages, as their buttons call them.
void MessageBoxAnswerPressed(MenuPage *page, intptr_t ignored, intptr_t cancel);
void ChoiceBoxChoose(MenuPage *page, intptr_t ignored, intptr_t index);
void TextInputAnswerPressed(MenuPage *page, intptr_t ignored, intptr_t answer);
void FileClicked(MenuPage *page, intptr_t ignored, intptr_t index);
// The text input dialog's file list: count, first shown row, and a name.
int TextInputFileCount();
int TextInputFirstShown();
const char *TextInputListedName(int index);

// The services the dialogs need from above: whether a chat line may go now
// (null: always), the function-key lines, and the InSim text-entry state byte
// (null until InSim is there).
struct DialogServices {
    int (*chatRateAllows)();
    const char *(*functionKeyLine)(int index);
    uint8_t *insimEntryState;
};
void SetDialogServices(const DialogServices &services);
