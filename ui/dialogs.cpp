#include "ui/dialogs.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/command_interpreter.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "platform/file_system.h"
#include "ui/file_list.h"
#include "ui/interface_colours.h"
#include "ui/interface_draw.h"
#include "ui/interface_items.h"
#include "ui/message_lines.h"
#include "ui/text_box.h"
#include "ui/text_draw.h"
#include "ui/text_entry.h"

namespace {

DialogServices Services{};

constexpr int FilePrefixSize = 8;
constexpr int VisibleFileRows = 16;
constexpr int FilePageStep = 15;
constexpr int TypedMatchRow = 7;

struct MessageBoxPage : MenuPage {
    MessageBoxAnswer answer = nullptr;
    char first[DialogTextSize] = {};
    char second[DialogTextSize] = {};
    uint32_t a = 0;
    uint32_t b = 0;
    uint8_t mode = 0;
    uint32_t savedLayerMode = 0;
};

struct ChoiceBoxPage : MenuPage {
    ChoiceBoxAnswer answer = nullptr;
    char title[DialogTextSize] = {};
    const char *const *texts = nullptr;
    int count = 0;
    intptr_t value = 0;
    int selected = 0;
    uint32_t savedLayerMode = 0;
};

struct TextInputPage : MenuPage {
    intptr_t answerValue = 0;
    uint8_t mode = 0;
    uint8_t sortNewest = 1;
    uint8_t state = 0;
    uint8_t savedInsimState = 0;
    uint32_t savedLayerMode = 0;
    char title[DialogTextSize] = {};
    char prefix[FilePrefixSize] = {};
    char oldName[EntrySize] = {};
    char pattern[256] = {};
    TextInputAnswer answer = nullptr;
    FileList files;
};

MessageBoxPage MessageBox;
ChoiceBoxPage ChoiceBox;
TextInputPage TextInput;

// A dialog's text: 1..127 characters, else empty (no terminator would be
// left in the 128-byte field).
void CopyDialogText(char *out, const char *text)
{
    out[0] = 0;
    if (text == nullptr) {
        return;
    }
    const size_t length = std::strlen(text);
    if (length >= 1 && length < DialogTextSize) {
        std::memcpy(out, text, length + 1);
    }
}

// Which dialogs are open: their closing restores the layer mode and the entry
// flag exactly once, however it comes (an answer, or the page closing).
MenuPage *OpenDialogs[3] = {};

bool TakeOpen(MenuPage *dialog)
{
    for (MenuPage *&open : OpenDialogs) {
        if (open == dialog) {
            open = nullptr;
            return true;
        }
    }
    return false;
}

void OpenOver(MenuPage *page, MenuPage *dialog, uint32_t *savedLayerMode)
{
    TakeOpen(dialog);
    for (MenuPage *&open : OpenDialogs) {
        if (open == nullptr) {
            open = dialog;
            break;
        }
    }
    *savedLayerMode = InterfaceLayerMode;
    InterfaceLayerMode = 2;
    TextEntryActive = 1;
    dialog->Parent = page;
    OpenChildPage(page, dialog);
    SetCurrentScreen(dialog);
}

// Closing: the layer mode and the entry flag come back once; the parent is
// current again.
void CloseDialog(MenuPage *dialog, uint32_t savedLayerMode)
{
    if (TakeOpen(dialog)) {
        InterfaceLayerMode = savedLayerMode;
        TextEntryActive = 0;
        QueuedLineIndex = 0;
    }
    const bool wasActive = dialog->Active != 0;
    dialog->Active = 0;
    if (wasActive && dialog->Parent != nullptr) {
        if (dialog->Parent->Child == dialog) {
            dialog->Parent->Child = nullptr;
        }
        SetCurrentScreen(dialog->Parent);
    }
}

// --- Message box ---------------------------------------------------------------------

MenuPage *RunMessageBox(MenuPage *page)
{
    MessageBoxPage *box = static_cast<MessageBoxPage *>(page);
    if (!box->Active) {
        CloseDialog(page, box->savedLayerMode);
        return nullptr;
    }
    if (PageHasChild(page)) {
        return page;
    }
    AddItem(nullptr, -0.42f, -0.47f, 0.42f, -0.19f, 0, nullptr, 0, 0, ItemPlainButton, &MessageColours[ColourGrey],
            nullptr);
    AddItem(nullptr, -0.42f, -0.45f, 0.42f, -0.37f, 0, box->first, CursorNone, 0, ItemTextLine,
            &MessageColours[ColourBlack], nullptr);
    if (box->second[0] != 0) {
        if (box->mode == MessageBoxYesNoLatin) {
            AddItemLatin(nullptr, -0.42f, -0.37f, 0.42f, -0.29f, 0, box->second, CursorNone, 0, ItemTextLine,
                         &MessageColours[ColourBlack], nullptr);
        } else {
            AddItem(nullptr, -0.42f, -0.37f, 0.42f, -0.29f, 0, box->second, CursorNone, 0, ItemTextLine,
                    &MessageColours[ColourBlack], nullptr);
        }
    }
    if (box->answer != nullptr) {
        const bool cancelOk = box->mode == MessageBoxCancelOk;
        AddItem(page, -0.35f, -0.29f, -0.15f, -0.21f, 1, Tx(cancelOk ? Text_3a_cancelbt : Text_3a_small_no), 0, 0,
                ItemPlainButton, &InterfaceColours.buttonRed, MessageBoxAnswerPressed);
        AddItem(page, 0.15f, -0.29f, 0.35f, -0.21f, 0, Tx(cancelOk ? Text_3a_capitlok : Text_3a_smallyes), 0, 0,
                ItemPlainButton, &InterfaceColours.buttonGreen, MessageBoxAnswerPressed);
    } else {
        AddItem(page, -0.13f, -0.29f, 0.13f, -0.21f, 1, Tx(Text_3a_capitlok), 0, 0, ItemPlainButton,
                &InterfaceColours.buttonGreen, MessageBoxAnswerPressed);
    }
    return page;
}

void MessageBoxKey(MenuPage *page, int code)
{
    MessageBoxPage *box = static_cast<MessageBoxPage *>(page);
    if (box->answer == nullptr) {
        if (code == 13 || code == 27 || code == ' ') {
            MessageBoxAnswerPressed(page, 0, 1);
        }
        return;
    }
    MessageBoxAnswerPressed(page, 0, code == 13 || code == 'Y' ? 0 : 1);
}

// --- Choice box ------------------------------------------------------------------------

void ChoiceCancelled(MenuPage *page, intptr_t, intptr_t)
{
    CloseDialog(page, ChoiceBox.savedLayerMode);
}

MenuPage *RunChoiceBox(MenuPage *page)
{
    ChoiceBoxPage *box = static_cast<ChoiceBoxPage *>(page);
    if (!box->Active) {
        CloseDialog(page, box->savedLayerMode);
        return nullptr;
    }
    if (PageHasChild(page)) {
        return page;
    }
    const float bottom = -0.23f + 0.06f * static_cast<float>(box->count);
    AddItem(nullptr, -0.42f, -0.47f, 0.42f, bottom, 0, nullptr, 0, 0, ItemPlainButton, &MessageColours[ColourGrey],
            nullptr);
    AddItem(nullptr, -0.42f, -0.45f, 0.42f, -0.37f, 0, box->title, CursorNone, 0, ItemTextLine,
            &InterfaceColours.textUnselected, nullptr);
    float y = -0.35f;
    for (int i = 0; i < box->count; ++i, y += 0.06f) {
        const Colour *colour = i == box->selected ? &InterfaceColours.textSelected : &InterfaceColours.textUnselected;
        AddItem(page, -0.35f, y, 0.35f, y + 0.06f, i, box->texts[i], 0, 0, ItemChoice, colour, ChoiceBoxChoose);
    }
    y += 0.02f;
    AddItem(page, -0.13f, y, 0.13f, y + 0.08f, 0, Tx(Text_3a_cancelbt), 0, 0, ItemPlainButton,
            &InterfaceColours.buttonRed, ChoiceCancelled);
    return page;
}

void ChoiceBoxKey(MenuPage *page, int)
{
    CloseDialog(page, ChoiceBox.savedLayerMode);
}

// --- Text input ----------------------------------------------------------------------------

int EntryModeOf(int mode)
{
    switch (mode) {
    case TextInputFileName:
    case TextInputLoad:
    case TextInputFileName2:
    case TextInputSave:
        return EntryModeFileName;
    case TextInputPassword:
    case TextInputPassword2:
        return EntryModeLatin;
    default:
        return EntryModeAny;
    }
}

// The path of a listed name: the pattern with its "*" replaced by the name.
// The name keeps its "^" escapes, so it cannot leave the pattern's folder.
void PathOfName(const char *name, char *out, size_t size)
{
    const char *star = std::strchr(TextInput.pattern, '*');
    if (star == nullptr) {
        std::snprintf(out, size, "%s", name);
        return;
    }
    std::snprintf(out, size, "%.*s%s%s", static_cast<int>(star - TextInput.pattern), TextInput.pattern, name,
                  star + 1);
}

bool NamedFileExists(const char *name)
{
    char path[512];
    PathOfName(name, path, sizeof(path));
    FILE *file = PlatformOpenFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

void FillFiles()
{
    TextInput.files.Clear();
    if (TextInput.pattern[0] == 0) {
        return;
    }
    char pattern[300];
    const char *star = std::strchr(TextInput.pattern, '*');
    if (star != nullptr && TextInput.prefix[0] != 0) {
        std::snprintf(pattern, sizeof(pattern), "%.*s%s%s", static_cast<int>(star - TextInput.pattern),
                      TextInput.pattern, TextInput.prefix, star);
    } else {
        std::snprintf(pattern, sizeof(pattern), "%s", TextInput.pattern);
    }
    TextInput.files.Fill(pattern, TextInput.sortNewest ? FileListNewest : FileListByName, FileListNameSize, nullptr,
                         0, nullptr, 0);
    if (TextInput.prefix[0] != 0) {
        TextInput.files.RemoveName(TextInput.prefix);
    }
}

int ListedIndex(const char *name)
{
    for (int i = 0; i < TextInput.files.Count; ++i) {
        if (std::strcmp(TextInput.files.Entries[static_cast<size_t>(i)].Name, name) == 0) {
            return i;
        }
    }
    return -1;
}

void CloseTextInput(MenuPage *page)
{
    TextInput.files.Clear();
    CloseDialog(page, TextInput.savedLayerMode);
}

void SortPressed(MenuPage *, intptr_t newest, intptr_t)
{
    TextInput.sortNewest = static_cast<uint8_t>(newest);
    FillFiles();
}

void RenamePressed(MenuPage *, intptr_t, intptr_t)
{
    std::snprintf(TextInput.oldName, sizeof(TextInput.oldName), "%s", EntryText);
    TextInput.state = InputRenaming;
}

void DeletePressed(MenuPage *, intptr_t, intptr_t)
{
    TextInput.state = InputConfirmDelete;
}

void ColourTicked(MenuPage *, intptr_t colour, intptr_t)
{
    EntryColour = static_cast<uint8_t>(colour);
}

const char *StateTitle(const TextInputPage &input)
{
    switch (input.state) {
    case InputRenaming: return Tx(Text_3g_newnamef);
    case InputConfirmDelete: return Tx(Text_3g_deleteex);
    case InputConfirmOverwrite: return Tx(Text_3a_overwrex);
    case InputNameExists: return Tx(Text_3g_filealre);
    case InputNotFound: return Tx(Text_3g_cnotfind);
    case InputNoName: return Tx(Text_3a_nosvnonm);
    default: return input.title;
    }
}

MenuPage *RunTextInput(MenuPage *page)
{
    TextInputPage *input = static_cast<TextInputPage *>(page);
    if (!input->Active) {
        CloseTextInput(page);
        return nullptr;
    }
    if (Services.insimEntryState != nullptr) {
        *Services.insimEntryState = input->savedInsimState;
    }
    if (!page->Child && QueuedLineIndex != 0) {
        TakeQueuedInputLine(Services.functionKeyLine);
        TextInputAnswerPressed(page, 0, input->answerValue + 1);
        if (!input->Active) {
            return nullptr;
        }
    }
    RunChildPage(page);
    if (PageHasChild(page)) {
        return page;
    }
    const bool hasFiles = input->files.Count > 0;
    const int rows = std::min(input->files.Count, VisibleFileRows);
    const float bottom = hasFiles ? -0.09f + 0.06f * static_cast<float>(rows) : -0.19f;
    AddItem(nullptr, -0.42f, -0.47f, 0.42f, bottom, 0, nullptr, 0, 0, ItemPlainButton, &MessageColours[ColourGrey],
            nullptr);
    AddItem(nullptr, -0.42f, -0.45f, 0.42f, -0.37f, 0, StateTitle(*input), CursorNone, 0, ItemTextLine,
            &MessageColours[ColourBlack], nullptr);
    if (input->state == InputNoFiles) {
        AddItem(nullptr, -0.42f, -0.37f, 0.42f, -0.29f, 0, Tx(Text_3g_nofilesl), CursorNone, 0, ItemTextLine,
                &MessageColours[ColourGreen], nullptr);
    } else {
        const int kind = EntryMode == EntryModeLatin ? ItemPasswordLine : ItemTextLine;
        AddItemLatin(nullptr, -0.42f, -0.37f, 0.42f, -0.29f, 0, EntryText, EntryCursorByte, 0, kind,
                     &MessageColours[ColourGreen], nullptr);
    }
    const int ok = static_cast<int>(input->answerValue + 1);
    switch (input->state) {
    case InputEditing:
    case InputRenaming:
        AddItem(page, -0.35f, -0.29f, -0.15f, -0.21f, 0, Tx(Text_3a_cancelbt), 0, 0, ItemPlainButton,
                &InterfaceColours.buttonRed, TextInputAnswerPressed);
        AddItem(page, 0.15f, -0.29f, 0.35f, -0.21f, ok, Tx(Text_3a_capitlok), 0, 0, ItemPlainButton,
                &InterfaceColours.buttonGreen, TextInputAnswerPressed);
        break;
    case InputConfirmDelete:
    case InputConfirmOverwrite:
        AddItem(page, -0.35f, -0.29f, -0.15f, -0.21f, 0, Tx(Text_3a_small_no), 0, 0, ItemPlainButton,
                &InterfaceColours.buttonRed, TextInputAnswerPressed);
        AddItem(page, 0.15f, -0.29f, 0.35f, -0.21f, ok, Tx(Text_3a_smallyes), 0, 0, ItemPlainButton,
                &InterfaceColours.buttonGreen, TextInputAnswerPressed);
        return page;
    default:
        AddItem(page, -0.13f, -0.29f, 0.13f, -0.21f, ok, Tx(Text_3a_capitlok), 0, 0, ItemPlainButton,
                &InterfaceColours.buttonGreen, TextInputAnswerPressed);
        return page;
    }
    if (CtrlHeld) {
        static const int TickColours[9] = {ColourBlack, ColourRed,  ColourGreen, ColourYellow, ColourBlue,
                                           ColourMagenta, ColourCyan, ColourWhite, ColourGrey};
        for (int i = 0; i < 9; ++i) {
            const float x = -0.175f + static_cast<float>(i) / 45.0f;
            AddItem(page, x, -0.27f, x + 1.0f / 45.0f, -0.21f, i, EntryColour == i ? 1 : 0, 0, 0, ItemTick,
                    &MessageColours[TickColours[i]], ColourTicked);
        }
    }
    if (hasFiles) {
        const bool twoColumns = input->mode == TextInputLoad || input->mode == TextInputFileName2 ||
                                input->mode == TextInputSave;
        const float nameRight = twoColumns ? 0.15f : 0.35f;
        AddItem(page, -0.35f, -0.19f, nameRight, -0.16f, 0, Tx(Text_3a_namesort), 0, 0, ItemButton,
                input->sortNewest ? &InterfaceColours.textSelected : &InterfaceColours.textUnselected, SortPressed);
        if (twoColumns) {
            AddItem(page, 0.15f, -0.19f, 0.4f, -0.16f, 1, Tx(Text_3a_datesort), 0, 0, ItemButton,
                    input->sortNewest ? &InterfaceColours.textUnselected : &InterfaceColours.textSelected,
                    SortPressed);
        }
        const int listed = ListedIndex(EntryText);
        input->files.Draw(page, FileClicked, -0.35f, nameRight, -0.16f, 0.06f, VisibleFileRows, listed);
        if (twoColumns) {
            const int first = input->files.FirstShown;
            for (int row = 0; row < VisibleFileRows && first + row < input->files.Count; ++row) {
                const float top = -0.16f + 0.06f * static_cast<float>(row);
                AddItemLatin(nullptr, 0.15f, top, 0.4f, top + 0.06f, 0,
                             input->files.Entries[static_cast<size_t>(first + row)].DateText, 0, 0, ItemButton,
                             &InterfaceColours.textUnselected, nullptr);
            }
        }
        if (twoColumns && input->state == InputEditing && !CtrlHeld && listed >= 0) {
            AddItem(page, -0.13f, -0.29f, 0.13f, -0.25f, 0, Tx(Text_3g_rename_b), 0, 0, ItemPlainButton,
                    &InterfaceColours.buttonAlt, RenamePressed);
            AddItem(page, -0.13f, -0.25f, 0.13f, -0.21f, 0, Tx(Text_3a_del_butt), 0, 0, ItemPlainButton,
                    &InterfaceColours.buttonAlt, DeletePressed);
        }
    }
    return page;
}

void ScrollFiles(int rows)
{
    FileList &files = TextInput.files;
    if (files.Count <= VisibleFileRows) {
        return;
    }
    files.FirstShown = std::clamp(files.FirstShown + rows, 0, files.Count - VisibleFileRows);
}

void TextInputKey(MenuPage *page, int code)
{
    TextInputPage *input = static_cast<TextInputPage *>(page);
    switch (input->state) {
    case InputEditing:
    case InputRenaming:
        if (code == 13) {
            TextInputAnswerPressed(page, 0, input->answerValue + 1);
        } else if (code == 27) {
            TextInputAnswerPressed(page, 0, 0);
        } else if (code == KeyCodePageUp) {
            ScrollFiles(-FilePageStep);
        } else if (code == KeyCodePageDown) {
            ScrollFiles(FilePageStep);
        } else if (code == KeyCodeCopy && EntryMode == EntryModeLatin) {
            // Passwords are not copied.
        } else {
            TextEntryKey(code);
            if (!input->sortNewest && input->files.Count > VisibleFileRows) {
                const int match = input->files.FindPrefix(EntryText);
                if (match >= 0) {
                    input->files.FirstShown =
                        std::clamp(match - TypedMatchRow, 0, input->files.Count - VisibleFileRows);
                }
            }
        }
        break;
    case InputConfirmDelete:
    case InputConfirmOverwrite:
        TextInputAnswerPressed(page, 0, code == 13 || code == 'y' || code == 'Y' ? input->answerValue + 1 : 0);
        break;
    default:
        if (code == 13 || code == 27 || code == ' ') {
            TextInputAnswerPressed(page, 0, input->answerValue + 1);
        }
        break;
    }
}

void ExecuteEnteredLine(MenuPage *, const char *text, intptr_t)
{
    ExecuteCommand(CommandSourceLocal, text, 0);
}

}  // namespace

// --- Shared -------------------------------------------------------------------------------

void SetDialogServices(const DialogServices &services)
{
    Services = services;
}

MenuPage *MessageBoxDialog()
{
    return &MessageBox;
}

MenuPage *ChoiceBoxDialog()
{
    return &ChoiceBox;
}

MenuPage *TextInputDialog()
{
    return &TextInput;
}

const char *MessageBoxText()
{
    return MessageBox.first;
}

int TextInputState()
{
    return TextInput.state;
}

const char *TextInputTitle()
{
    return TextInput.title;
}

int TextInputFileCount()
{
    return TextInput.files.Count;
}

int TextInputFirstShown()
{
    return TextInput.files.FirstShown;
}

const char *TextInputListedName(int index)
{
    if (index < 0 || index >= TextInput.files.Count) {
        return "";
    }
    return TextInput.files.Entries[static_cast<size_t>(index)].Name;
}

void OpenMessageBox(MenuPage *page, MessageBoxAnswer answer, const char *first, const char *second, uint32_t a,
                    uint32_t b, int mode)
{
    if (!GraphicsEnabled) {
        PrintMessage(first != nullptr ? first : "", &MessageColours[ColourSalmon]);
        return;
    }
    if (page == nullptr || page->Child != nullptr) {
        return;
    }
    InitMenuPage(&MessageBox, page, RunMessageBox, MessageBoxKey, DefaultPageInput, nullptr, 1);
    MessageBox.answer = answer;
    CopyDialogText(MessageBox.first, first);
    CopyDialogText(MessageBox.second, second);
    MessageBox.a = a;
    MessageBox.b = b;
    MessageBox.mode = static_cast<uint8_t>(mode);
    OpenOver(page, &MessageBox, &MessageBox.savedLayerMode);
}

void MessageBoxAnswerPressed(MenuPage *page, intptr_t, intptr_t cancel)
{
    MessageBoxPage *box = static_cast<MessageBoxPage *>(page);
    if (!box->Active) {
        return;
    }
    MenuPage *parent = box->Parent;
    CloseDialog(page, box->savedLayerMode);
    if (cancel == 0 && box->answer != nullptr) {
        box->answer(parent, box->a, box->b);
    }
}

void ShowTextBox(MenuPage *page, const char *text)
{
    if (page != nullptr && page->Child == nullptr && GraphicsEnabled) {
        OpenMessageBox(page, nullptr, text, nullptr, 0, 0, MessageBoxYesNo);
        return;
    }
    PrintMessage(text != nullptr ? text : "", &MessageColours[ColourSalmon]);
}

void ShowTextBox2(MenuPage *page, const char *text, const char *text2)
{
    char joined[256];
    std::snprintf(joined, sizeof(joined), "%s %s", text ? text : "", text2 ? text2 : "");
    ShowTextBox(page, joined);
}

void ShowTextBoxF(MenuPage *page, const char *format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    ShowTextBox(page, text);
}

void ShowTextBoxLatinTail(MenuPage *page, const char *a, const char *b)
{
    if (page != nullptr && page->Child == nullptr && GraphicsEnabled) {
        OpenMessageBox(page, nullptr, a, b, 0, 0, MessageBoxYesNoLatin);
        return;
    }
    char text[256];
    std::snprintf(text, sizeof(text), "%s ^L%s", a ? a : "", b ? b : "");
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void OpenChoiceBox(MenuPage *page, ChoiceBoxAnswer answer, const char *title, const char *const *texts, int count,
                   intptr_t value, int selected)
{
    if (!GraphicsEnabled || page == nullptr || page->Child != nullptr) {
        return;
    }
    InitMenuPage(&ChoiceBox, page, RunChoiceBox, ChoiceBoxKey, DefaultPageInput, nullptr, 1);
    ChoiceBox.answer = answer;
    CopyDialogText(ChoiceBox.title, title);
    ChoiceBox.texts = texts;
    ChoiceBox.count = texts != nullptr ? std::max(0, count) : 0;
    ChoiceBox.value = value;
    ChoiceBox.selected = selected;
    OpenOver(page, &ChoiceBox, &ChoiceBox.savedLayerMode);
}

void ChoiceBoxChoose(MenuPage *page, intptr_t, intptr_t index)
{
    if (!ChoiceBox.Active) {
        return;
    }
    MenuPage *parent = ChoiceBox.Parent;
    CloseDialog(page, ChoiceBox.savedLayerMode);
    if (ChoiceBox.answer != nullptr) {
        ChoiceBox.answer(parent, ChoiceBox.value, static_cast<int>(index));
    }
}

void OpenTextInputDialog(MenuPage *page, TextInputAnswer answer, const char *title, int maxLength,
                         intptr_t answerValue, const char *initial, int cursor, int mode, const char *filePattern)
{
    if (!GraphicsEnabled || page == nullptr || page->Child != nullptr) {
        return;
    }
    TextInput.files.Clear();
    InitMenuPage(&TextInput, page, RunTextInput, TextInputKey, DefaultPageInput, nullptr, 0);
    TextInput.answer = answer;
    CopyDialogText(TextInput.title, title);
    TextInput.answerValue = answerValue;
    TextInput.mode = static_cast<uint8_t>(mode < 0 || mode > TextInputSave ? TextInputPlain : mode);
    BeginTextEntry(maxLength, initial, cursor, EntryModeOf(TextInput.mode));
    TextInput.prefix[0] = 0;
    if (cursor >= 1 && cursor < FilePrefixSize && initial != nullptr) {
        std::snprintf(TextInput.prefix, sizeof(TextInput.prefix), "%.*s", cursor, initial);
    }
    TextInput.state = InputEditing;
    TextInput.sortNewest = 1;
    TextInput.oldName[0] = 0;
    TextInput.savedInsimState = Services.insimEntryState != nullptr ? *Services.insimEntryState : 0;
    std::snprintf(TextInput.pattern, sizeof(TextInput.pattern), "%s", filePattern != nullptr ? filePattern : "");
    if (filePattern != nullptr) {
        if (TextInput.mode == TextInputSave && (initial == nullptr || initial[0] == 0)) {
            TextInput.sortNewest = 0;
        }
        FillFiles();
        if (TextInput.mode == TextInputLoad && TextInput.files.Count == 0) {
            TextInput.state = InputNoFiles;
        }
    }
    OpenOver(page, &TextInput, &TextInput.savedLayerMode);
}

void TextInputAnswerPressed(MenuPage *page, intptr_t, intptr_t answer)
{
    TextInputPage *input = static_cast<TextInputPage *>(page);
    if (!input->Active) {
        return;
    }
    if (answer == 0) {
        if (input->state == InputRenaming) {
            BeginTextEntry(EntryMaxLength, input->oldName, input->prefix[0] ? static_cast<int>(std::strlen(input->prefix)) : 0,
                           EntryMode);
            input->state = InputEditing;
        } else if (input->state == InputConfirmDelete || input->state == InputConfirmOverwrite) {
            input->state = InputEditing;
        } else {
            CloseTextInput(page);
        }
        return;
    }
    switch (input->state) {
    case InputNoFiles:
        CloseTextInput(page);
        return;
    case InputNameExists:
        input->state = InputRenaming;
        return;
    case InputNotFound:
    case InputNoName:
        input->state = InputEditing;
        return;
    default:
        break;
    }
    FinishEntryText();
    if (input->state == InputRenaming) {
        if (!NamedFileExists(EntryText)) {
            char from[512];
            char to[512];
            PathOfName(input->oldName, from, sizeof(from));
            PathOfName(EntryText, to, sizeof(to));
            PlatformRenameFile(from, to);
            input->state = InputEditing;
            FillFiles();
        } else {
            input->state = InputNameExists;
        }
        return;
    }
    if (input->state == InputConfirmDelete) {
        char path[512];
        PathOfName(EntryText, path, sizeof(path));
        PlatformRemoveFile(path);
        input->state = InputEditing;
        FillFiles();
        return;
    }
    if (input->mode == TextInputSave && input->state != InputConfirmOverwrite) {
        if (CountEntryChars() <= EntryFixedLength) {
            input->state = InputNoName;
            return;
        }
        if (NamedFileExists(EntryText)) {
            input->state = InputConfirmOverwrite;
            return;
        }
    }
    if (input->mode == TextInputLoad && !NamedFileExists(EntryText)) {
        input->state = InputNotFound;
        return;
    }
    MenuPage *parent = input->Parent;
    char text[EntrySize];
    std::snprintf(text, sizeof(text), "%s", EntryText);
    CloseTextInput(page);
    if (input->answer != nullptr) {
        input->answer(parent, text, answer - 1);
    }
}

void FileClicked(MenuPage *page, intptr_t, intptr_t index)
{
    if (index < 0 || index >= TextInput.files.Count) {
        return;
    }
    const char *name = TextInput.files.Entries[static_cast<size_t>(index)].Name;
    if (std::strcmp(EntryText, name) == 0) {
        TextInputAnswerPressed(page, 0, TextInput.answerValue + 1);
        return;
    }
    BeginTextEntry(EntryMaxLength, name, TextInput.prefix[0] ? static_cast<int>(std::strlen(TextInput.prefix)) : 0,
                   EntryMode);
    if (EntryFixedLength == 0) {
        EntryCursor = CountEntryChars();
        EncodeEntryText();
    }
}

namespace {

TextAnswerCallback PromptAnswer = nullptr;

void AnswerPrompt(MenuPage *owner, const char *text, intptr_t)
{
    if (PromptAnswer != nullptr) {
        PromptAnswer(owner, text);
    }
}

}  // namespace

void OpenPromptDialog(MenuPage *owner, const char *prompt, int maxLength, TextAnswerCallback answer)
{
    if (!GraphicsEnabled || owner == nullptr || owner->Child != nullptr) {
        return;
    }
    PromptAnswer = answer;
    OpenTextInputDialog(owner, AnswerPrompt, prompt, maxLength, 0, nullptr, 0, TextInputPlain, nullptr);
}

void OpenMessageEntryDialog(MenuPage *page, const char *initial)
{
    if (!GraphicsEnabled || page == nullptr || page->Child != nullptr) {
        return;
    }
    if (Services.chatRateAllows != nullptr && !Services.chatRateAllows()) {
        return;
    }
    const bool fixed = initial != nullptr && initial[0] != 0;
    OpenTextInputDialog(page, ExecuteEnteredLine, Tx(Text_3a_entermsg), EntrySize, 0, initial,
                        fixed ? static_cast<int>(std::strlen(initial)) : 0, TextInputPlain, nullptr);
}
