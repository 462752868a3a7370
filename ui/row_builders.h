#pragma once

#include <cstdint>

#include "ui/interface_items.h"

struct Colour;
struct MenuPage;

// Settings pages are built from rows: a label on the left, a value control in
// the middle and an optional "?" help button on the right, one row below the
// other. Each builder adds the interface items of one row at the columns of
// the current layout and wires the controls to the screen's own variables;
// the interface pass draws them and the item input changes the variables. A
// screen calls BeginRows once per frame, then one builder per row. Every
// position is computed afresh from the arguments each frame, so a press and
// its release meet the same rectangle.

// The columns and the row height of a settings page, in screen units. A row
// at y spans y .. y + rowHeight.
struct RowLayout {
    float labelX0, labelX1;
    float valueX0, valueX1;
    float helpX0, helpX1;
    float rowHeight;
};

constexpr int RowLayoutCount = 14;
extern const RowLayout RowLayouts[RowLayoutCount];
// The layout the rows use; layout 0 at start.
extern const RowLayout *CurrentRowLayout;

// --- Item callbacks (owner, value, pointer) ----------------------------------------

// *pointer = (*pointer + 1) mod value.
void CycleValue(MenuPage *owner, intptr_t value, intptr_t pointer);
// *pointer ^= value.
void ToggleBits(MenuPage *owner, intptr_t value, intptr_t pointer);
// *pointer = value.
void SetChoiceValue(MenuPage *owner, intptr_t value, intptr_t pointer);
// *pointer = -1.
void ClearChoiceValue(MenuPage *owner, intptr_t value, intptr_t pointer);
// Opens the help screen of the section helpId (a text) titled label as the
// owner's child; nothing while no help screen is registered.
void OpenRowHelp(MenuPage *owner, intptr_t helpId, intptr_t label);

// The answer of the text input dialog a text field opened: at most length
// bytes of the answer (and never more than the dialog's 96-byte entry holds)
// go into the edited field, cut to fit it and always terminated; then the
// field's change callback runs (owner, 0, 0) once.
void StoreFieldText(MenuPage *owner, const char *text, intptr_t length);
// Remembers the field (its buffer of maxLength bytes and its change callback)
// and opens the text input dialog over the owner with StoreFieldText as the
// answer, the title, maxLength characters, maxLength as the answer value, the
// buffer as the initial text and the entry mode (0 text, 2 password, 3 the
// second text kind).
void OpenFieldEntry(MenuPage *owner, int maxLength, char *buffer, const char *title, int mode,
                    ItemCallback changed);
// The text field's dialog size: what the entry of the dialog holds.
constexpr int FieldAnswerLimit = 96;

// --- The page and its bottom bar -------------------------------------------------

// Uses layout (0..13; another number is layout 0), starts the message lines
// under the title bar and adds the title bar, its text untranslated (code
// page 0) when untranslated is not 0.
void BeginRows(const char *title, int layout, int untranslated);
// The back button at the bottom left ("back" when text is null).
void AddBackButton(MenuPage *owner, intptr_t param, ItemCallback callback, const char *text = nullptr);
void AddOkButton(MenuPage *owner, intptr_t param, ItemCallback callback);
void AddBackButtonWide(MenuPage *owner, intptr_t param, ItemCallback callback, const char *text,
                       const Colour *colour);
// The forward button at the bottom right ("GO" when text is null), widened to
// the left by widthOffset.
void AddForwardButton(MenuPage *owner, intptr_t param, ItemCallback callback, const char *text = nullptr,
                      float widthOffset = 0.0f);
// The previous and next arrows at the bottom centre (params 0 and 1).
void AddPrevNextButtons(MenuPage *owner, ItemCallback callback);

// --- Rows ----------------------------------------------------------------------------
// A helpId (the help section's name) adds the "?" button; null adds none.

void AddRowButton(MenuPage *owner, const char *text, float y, intptr_t param, ItemCallback callback,
                  const Colour *colour);
void AddRowLabelButton(MenuPage *owner, const char *text, const char *note, float y, intptr_t param,
                       ItemCallback callback);
void AddRowButton4(MenuPage *owner, const char *text, float y, intptr_t param, ItemCallback callback);
void AddCycleRow(MenuPage *owner, const char *label, float y, int *value, int count, const char *const *texts,
                 ItemCallback changed, const char *helpId);
void AddInfoRow(MenuPage *owner, const char *label, float y, const char *text, const char *helpId);
// Mode 0: button i stands for index i; 1: the order reversed; 2: clicking the
// selection clears the value to -1; 3: the selected button keeps the change
// callback.
void AddChoiceRow(MenuPage *owner, const char *label, float y, int *value, int count, const char *const *texts,
                  ItemCallback changed, int mode, const char *helpId);
void AddToggleRow(MenuPage *owner, const char *label, float y, int *value, int bits, const char *const *texts,
                  ItemCallback changed);
// A text field of kind 8, 9 (password) or 10 over the value columns: buffer
// of maxLength bytes, the label as the dialog's title, callback after an
// answer.
void AddTextFieldRowKind(MenuPage *owner, const char *label, float y, char *buffer, int maxLength,
                         const char *helpId, int kind, ItemCallback callback);
void AddTextFieldRow(MenuPage *owner, const char *label, float y, char *buffer, int maxLength, const char *helpId,
                     ItemCallback callback);
void AddPasswordFieldRow(MenuPage *owner, const char *label, float y, char *buffer, int maxLength,
                         const char *helpId, ItemCallback callback);
void AddTextFieldRow10(MenuPage *owner, const char *label, float y, char *buffer, int maxLength,
                       const char *helpId, ItemCallback callback);
void AddTextFieldAt(MenuPage *owner, const char *label, float labelX0, float fieldX0, float fieldX1, float y,
                    char *buffer, int maxLength);
// Arrows left and right of the value printed with format; they call
// callback (owner, click, param) and (owner, click, param + 1). Without a
// callback they are passive.
void AddSpinRow(MenuPage *owner, const char *label, const char *format, float y, int value, intptr_t param,
                ItemCallback callback, const char *helpId);
void AddButtonRow(MenuPage *owner, const char *label, float y, const char *text, intptr_t param,
                  ItemCallback callback, const char *helpId);
// labelFormat prints the value; its precision is the step of the minus and
// plus buttons (ten steps with the right button).
void AddSliderRow(MenuPage *owner, const char *labelFormat, float y, float *value, float min, float max,
                  ItemCallback callback);
// The same for an angle kept in radians and shown in degrees.
void AddAngleSliderRow(MenuPage *owner, const char *labelFormat, float y, float *value, float min, float max,
                       ItemCallback callback);
void AddColourRow(MenuPage *owner, const char *label, float y, Colour *colour, int min, int max,
                  ItemCallback callback);
// A colour box on the left half and the red, green and blue sliders on the
// right half, a third of the height each.
void AddColourButtons(MenuPage *owner, const char *text, float x0, float y0, float x1, float y1, Colour *colour,
                      int min, int max, ItemCallback callback);

// A scroll bar over x0..x1, y0..y1 for a list of total rows of which visible
// show from *scroll, and the list area from listX0 to x1 that takes the wheel.
void AddScrollBar(MenuPage *owner, float listX0, float x0, float y0, float x1, float y1, int *scroll, int visible,
                  int total);
