#include "ui/row_builders.h"

#include <cstring>

#include "core/colour.h"
#include "core/translation_table.h"
#include "ui/interface_colours.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

const RowLayout RowLayouts[RowLayoutCount] = {
    {-0.95f, -0.3f, 0.0f, 0.1f, 0.1f, 0.2f, 0.06f},
    {0.35f, 0.9f, 0.0f, 0.1f, 0.1f, 0.2f, 0.1f},
    {0.2f, 0.9f, 0.0f, 0.1f, 0.1f, 0.2f, 0.1f},
    {-0.95f, -0.35f, 0.0f, 0.1f, 0.1f, 0.2f, 0.1f},
    {0.65f, 0.95f, 0.0f, 0.1f, 0.1f, 0.2f, 0.1f},
    {-0.75f, -0.25f, -0.25f, 0.25f, 0.3f, 0.35f, 0.06f},
    {-0.65f, -0.25f, -0.25f, 0.15f, 0.2f, 0.25f, 0.05f},
    {-1.0f, -0.65f, -0.65f, -0.3f, -0.3f, -0.2f, 0.05f},
    {0.2f, 0.6f, 0.6f, 1.0f, -0.2f, -0.1f, 0.05f},
    {-0.85f, -0.5f, -0.5f, -0.15f, 0.25f, 0.35f, 0.05f},
    {0.15f, 0.5f, 0.5f, 0.85f, 0.9f, 1.0f, 0.05f},
    {0.0f, 0.85f, 0.0f, 0.1f, 0.1f, 0.2f, 0.06f},
    {-0.95f, -0.65f, -0.65f, -0.25f, 0.0f, 0.0f, 0.05f},
    {-0.2f, 0.1f, 0.1f, 0.5f, 0.0f, 0.0f, 0.05f},
};

const RowLayout *CurrentRowLayout = &RowLayouts[0];

namespace {

// The text field being edited: one at a time.
char *FieldBuffer = nullptr;
int FieldSize = 0;
ItemCallback FieldChanged = nullptr;

// The arrows of the code page 0 font.
const char *const LeftArrow = "\x8b";
const char *const RightArrow = "\x9b";

const RowLayout &Layout()
{
    return *CurrentRowLayout;
}

float RowBottom(float y)
{
    return y + Layout().rowHeight;
}

void AddLabel(MenuPage *owner, const char *label, float y)
{
    const RowLayout &layout = Layout();
    AddItem(owner, layout.labelX0, y, layout.labelX1, RowBottom(y), 0, label, 0, 0, ItemPanelRowLabel,
            &InterfaceColours.textUnselected, nullptr);
}

void AddHelp(MenuPage *owner, const char *label, float y, const char *helpId)
{
    if (helpId == nullptr) {
        return;
    }
    const RowLayout &layout = Layout();
    AddItem(owner, layout.helpX0, y, layout.helpX1, RowBottom(y), label, 0, helpId, 0, ItemHelp,
            &InterfaceColours.textUnselected, OpenRowHelp);
}

void AddSlider(MenuPage *owner, const char *labelFormat, float y, float *value, float min, float max,
               ItemCallback callback, int labelKind, int sliderKind)
{
    const RowLayout &layout = Layout();
    AddItem(owner, layout.labelX0, y, layout.labelX1, RowBottom(y), *value, labelFormat, 0, 0, labelKind,
            &InterfaceColours.textUnselected, nullptr);
    const float step = SliderStepFromFormat(labelFormat, sliderKind);
    const float top = y + 0.005f;
    const float bottom = RowBottom(y) - 0.005f;
    const float x0 = layout.valueX0;
    const float x1 = layout.valueX1;
    AddItem(owner, x0, top, x0 + 0.03f, bottom, value, 0, step, min, ItemFloatMinus, &InterfaceColours.bigText,
            callback);
    AddItem(owner, x1 - 0.03f, top, x1, bottom, value, 0, step, max, ItemFloatPlus, &InterfaceColours.bigText,
            callback);
    AddItem(owner, x0 + 0.03f, top, x1 - 0.03f, bottom, value, min, max, labelFormat, sliderKind,
            &InterfaceColours.bigText, callback);
}

void AddBarButton(MenuPage *owner, float x0, float x1, intptr_t param, ItemCallback callback, const char *text,
                  const Colour *colour)
{
    AddItem(owner, x0, 0.85f, x1, 1.0f, static_cast<int>(param), text, 0, 0, ItemBarButton, colour, callback);
}

}  // namespace

void CycleValue(MenuPage *, intptr_t value, intptr_t pointer)
{
    int *target = reinterpret_cast<int *>(pointer);
    if (target == nullptr || value <= 0) {
        return;
    }
    *target = static_cast<int>((static_cast<intptr_t>(*target) + 1) % value);
}

void ToggleBits(MenuPage *, intptr_t value, intptr_t pointer)
{
    int *target = reinterpret_cast<int *>(pointer);
    if (target != nullptr) {
        *target ^= static_cast<int>(value);
    }
}

void SetChoiceValue(MenuPage *, intptr_t value, intptr_t pointer)
{
    int *target = reinterpret_cast<int *>(pointer);
    if (target != nullptr) {
        *target = static_cast<int>(value);
    }
}

void ClearChoiceValue(MenuPage *, intptr_t, intptr_t pointer)
{
    int *target = reinterpret_cast<int *>(pointer);
    if (target != nullptr) {
        *target = -1;
    }
}

void OpenRowHelp(MenuPage *owner, intptr_t helpId, intptr_t label)
{
    if (UiLink.createHelpScreen == nullptr || owner == nullptr) {
        return;
    }
    MenuPage *help = UiLink.createHelpScreen(owner, reinterpret_cast<const char *>(label),
                                             reinterpret_cast<const char *>(helpId), 0);
    OpenChildPage(owner, help);
}

void StoreFieldText(MenuPage *owner, const char *text, intptr_t length)
{
    if (FieldBuffer == nullptr || FieldSize <= 0) {
        return;
    }
    size_t count = 0;
    if (text != nullptr && length > 0) {
        const size_t limit = static_cast<size_t>(length < FieldAnswerLimit ? length : FieldAnswerLimit);
        // The answer may be shorter than the limit: stop at its end.
        while (count < limit && text[count] != 0) {
            ++count;
        }
    }
    if (count > static_cast<size_t>(FieldSize - 1)) {
        count = static_cast<size_t>(FieldSize - 1);
    }
    std::memmove(FieldBuffer, text, count);
    FieldBuffer[count] = 0;
    if (FieldChanged != nullptr) {
        FieldChanged(owner, 0, 0);
    }
}

void OpenFieldEntry(MenuPage *owner, int maxLength, char *buffer, const char *title, int mode, ItemCallback changed)
{
    FieldBuffer = buffer;
    FieldSize = maxLength;
    FieldChanged = changed;
    OpenTextInput(owner, StoreFieldText, title, maxLength, maxLength, buffer, 0, mode, nullptr);
}

void OpenFieldEntry(const InterfaceItem &item, int mode)
{
    OpenFieldEntry(item.Owner, static_cast<int>(item.Arg.i), static_cast<char *>(const_cast<void *>(item.Param.p)),
                   static_cast<const char *>(item.Arg2.p), mode, item.Callback);
}

void BeginRows(const char *title, int layout, int untranslated)
{
    CurrentRowLayout = &RowLayouts[layout >= 0 && layout < RowLayoutCount ? layout : 0];
    MessageTop = -0.85f;
    if (untranslated) {
        AddItemLatin(nullptr, -1.0f, -1.0f, 1.0f, -0.85f, 0, title, 0, 0, ItemTitleBar, &InterfaceColours.titleGrey,
                     nullptr);
    } else {
        AddItem(nullptr, -1.0f, -1.0f, 1.0f, -0.85f, 0, title, 0, 0, ItemTitleBar, &InterfaceColours.titleGrey,
                nullptr);
    }
}

void AddBackButton(MenuPage *owner, intptr_t param, ItemCallback callback, const char *text)
{
    AddBarButton(owner, -1.0f, -0.75f, param, callback, text != nullptr ? text : Tx(Text_3a_backbutt),
                 &InterfaceColours.buttonRed);
    BackButtonShown = 1;
}

void AddOkButton(MenuPage *owner, intptr_t param, ItemCallback callback)
{
    AddBackButton(owner, param, callback, Tx(Text_3a_capitlok));
}

void AddBackButtonWide(MenuPage *owner, intptr_t param, ItemCallback callback, const char *text, const Colour *colour)
{
    AddBarButton(owner, -1.0f, -0.65f, param, callback, text, colour);
    BackButtonShown = 1;
}

void AddForwardButton(MenuPage *owner, intptr_t param, ItemCallback callback, const char *text, float widthOffset)
{
    AddBarButton(owner, 0.75f - widthOffset, 1.0f, param, callback, text != nullptr ? text : Tx(Text_3a_capitlgo),
                 &InterfaceColours.buttonGreen);
}

void AddPrevNextButtons(MenuPage *owner, ItemCallback callback)
{
    AddItemLatin(owner, -0.15f, 0.85f, 0.0f, 0.95f, 0, LeftArrow, 0, 0, ItemPlainButton,
                 &InterfaceColours.textUnselected, callback);
    AddItemLatin(owner, 0.0f, 0.85f, 0.15f, 0.95f, 1, RightArrow, 0, 0, ItemPlainButton,
                 &InterfaceColours.textUnselected, callback);
}

void AddRowButton(MenuPage *owner, const char *text, float y, intptr_t param, ItemCallback callback,
                  const Colour *colour)
{
    const RowLayout &layout = Layout();
    AddItem(owner, layout.labelX0, y, layout.labelX1, RowBottom(y), static_cast<int>(param), text, 0, 0,
            ItemRowButton, colour, callback);
}

void AddRowLabelButton(MenuPage *owner, const char *text, const char *note, float y, intptr_t param,
                       ItemCallback callback)
{
    const RowLayout &layout = Layout();
    AddItem(owner, layout.labelX0, y, layout.labelX1, RowBottom(y), static_cast<int>(param), text, 0, 0,
            ItemRowLabel, &InterfaceColours.bigText, callback);
    if (note != nullptr) {
        const float inset = 0.167f * layout.rowHeight;
        AddItem(nullptr, layout.labelX1 - 0.15f, y + inset, layout.labelX1, RowBottom(y) - inset, 0, note, -1, 0,
                ItemTextLine, &InterfaceColours.bigText, nullptr);
    }
}

void AddRowButton4(MenuPage *owner, const char *text, float y, intptr_t param, ItemCallback callback)
{
    const RowLayout &layout = Layout();
    AddItem(owner, layout.labelX0, y, layout.labelX1, RowBottom(y), static_cast<int>(param), text, 0, 0,
            ItemPlainButton, &InterfaceColours.bigText, callback);
}

void AddCycleRow(MenuPage *owner, const char *label, float y, int *value, int count, const char *const *texts,
                 ItemCallback changed, const char *helpId)
{
    const RowLayout &layout = Layout();
    AddLabel(owner, label, y);
    AddItem(owner, layout.valueX0, y, layout.valueX1, RowBottom(y), value, texts, count, changed, ItemCycle,
            &InterfaceColours.bigText, CycleValue);
    AddHelp(owner, label, y, helpId);
}

void AddInfoRow(MenuPage *owner, const char *label, float y, const char *text, const char *helpId)
{
    const RowLayout &layout = Layout();
    AddLabel(owner, label, y);
    AddItem(nullptr, layout.valueX0, y, layout.valueX1, RowBottom(y), 0, text, 0, 0, ItemButton,
            &InterfaceColours.textUnavailable, nullptr);
    AddHelp(owner, label, y, helpId);
}

void AddChoiceRow(MenuPage *owner, const char *label, float y, int *value, int count, const char *const *texts,
                  ItemCallback changed, int mode, const char *helpId)
{
    const RowLayout &layout = Layout();
    AddLabel(owner, label, y);
    if (count > 0 && value != nullptr) {
        const float width = (layout.valueX1 - layout.valueX0) / static_cast<float>(count);
        for (int i = 0; i < count; ++i) {
            const int index = mode == 1 ? count - 1 - i : i;
            const float x0 = layout.valueX0 + width * static_cast<float>(i);
            // The last button ends exactly at the column's end, whatever the
            // rounding of the division.
            const float x1 = i == count - 1 ? layout.valueX1 : layout.valueX0 + width * static_cast<float>(i + 1);
            const bool selected = *value == index;
            const Colour *colour = selected ? &InterfaceColours.textSelected : &InterfaceColours.textUnselected;
            const ItemCallback after = selected && mode != 3 ? nullptr : changed;
            const ItemCallback callback = selected && mode == 2 ? ClearChoiceValue : SetChoiceValue;
            AddItem(owner, x0, y, x1, RowBottom(y), value, texts != nullptr ? &texts[index] : nullptr, index, after,
                    ItemChoice, colour, callback);
        }
    }
    AddHelp(owner, label, y, helpId);
}

void AddToggleRow(MenuPage *owner, const char *label, float y, int *value, int bits, const char *const *texts,
                  ItemCallback changed)
{
    const RowLayout &layout = Layout();
    AddLabel(owner, label, y);
    AddItem(owner, layout.valueX0, y, layout.valueX1, RowBottom(y), value, texts, bits, changed, ItemToggle,
            &InterfaceColours.bigText, ToggleBits);
}

void AddTextFieldRowKind(MenuPage *owner, const char *label, float y, char *buffer, int maxLength,
                         const char *helpId, int kind, ItemCallback callback)
{
    const RowLayout &layout = Layout();
    AddLabel(owner, label, y);
    AddItemLatin(owner, layout.valueX0, y, layout.valueX1, RowBottom(y), buffer, buffer, maxLength, label, kind,
                 &InterfaceColours.textString, callback);
    AddHelp(owner, label, y, helpId);
}

void AddTextFieldRow(MenuPage *owner, const char *label, float y, char *buffer, int maxLength, const char *helpId,
                     ItemCallback callback)
{
    AddTextFieldRowKind(owner, label, y, buffer, maxLength, helpId, ItemTextField, callback);
}

void AddPasswordFieldRow(MenuPage *owner, const char *label, float y, char *buffer, int maxLength,
                         const char *helpId, ItemCallback callback)
{
    AddTextFieldRowKind(owner, label, y, buffer, maxLength, helpId, ItemPasswordField, callback);
}

void AddTextFieldRow10(MenuPage *owner, const char *label, float y, char *buffer, int maxLength, const char *helpId,
                       ItemCallback callback)
{
    AddTextFieldRowKind(owner, label, y, buffer, maxLength, helpId, ItemTextField2, callback);
}

void AddTextFieldAt(MenuPage *owner, const char *label, float labelX0, float fieldX0, float fieldX1, float y,
                    char *buffer, int maxLength)
{
    AddItem(owner, labelX0, y, fieldX0, RowBottom(y), 0, label, 0, 0, ItemPanelRowLabel,
            &InterfaceColours.textUnselected, nullptr);
    AddItemLatin(owner, fieldX0, y, fieldX1, RowBottom(y), buffer, buffer, maxLength, label, ItemTextField,
                 &InterfaceColours.textString, nullptr);
}

void AddSpinRow(MenuPage *owner, const char *label, const char *format, float y, int value, intptr_t param,
                ItemCallback callback, const char *helpId)
{
    const RowLayout &layout = Layout();
    AddLabel(owner, label, y);
    MenuPage *arrowOwner = callback != nullptr ? owner : nullptr;
    const Colour *arrowColour = callback != nullptr ? &InterfaceColours.bigText : &InterfaceColours.textUnavailable;
    AddItemLatin(arrowOwner, layout.valueX0, y, layout.valueX0 + 0.1f, RowBottom(y), static_cast<int>(param),
                 LeftArrow, 0, 0, ItemButton, arrowColour, callback);
    AddItem(nullptr, layout.valueX0 + 0.1f, y, layout.valueX1 - 0.1f, RowBottom(y), value, format, 0, 0,
            ItemIntegerValue, &InterfaceColours.bigText, nullptr);
    AddItemLatin(arrowOwner, layout.valueX1 - 0.1f, y, layout.valueX1, RowBottom(y), static_cast<int>(param + 1),
                 RightArrow, 0, 0, ItemButton, arrowColour, callback);
    AddHelp(owner, label, y, helpId);
}

void AddButtonRow(MenuPage *owner, const char *label, float y, const char *text, intptr_t param,
                  ItemCallback callback, const char *helpId)
{
    const RowLayout &layout = Layout();
    AddItem(owner, layout.labelX0, y, layout.labelX1, RowBottom(y), 0.0f, label, 0, 0, ItemFloatLeft,
            &InterfaceColours.textUnselected, nullptr);
    if (callback != nullptr) {
        AddItem(owner, layout.valueX0, y, layout.valueX1, RowBottom(y), static_cast<int>(param), text, 0, 0,
                ItemPlainButton, &InterfaceColours.bigText, callback);
    } else {
        AddItem(nullptr, layout.valueX0, y, layout.valueX1, RowBottom(y), static_cast<int>(param), text, 0, 0,
                ItemPlainButton, &InterfaceColours.textUnavailable, nullptr);
    }
    AddHelp(owner, label, y, helpId);
}

void AddSliderRow(MenuPage *owner, const char *labelFormat, float y, float *value, float min, float max,
                  ItemCallback callback)
{
    AddSlider(owner, labelFormat, y, value, min, max, callback, ItemFloatLeft, ItemFloatSlider);
}

void AddAngleSliderRow(MenuPage *owner, const char *labelFormat, float y, float *value, float min, float max,
                       ItemCallback callback)
{
    AddSlider(owner, labelFormat, y, value, min, max, callback, ItemFloatDegrees, ItemAngleSlider);
}

void AddColourRow(MenuPage *owner, const char *label, float y, Colour *colour, int min, int max,
                  ItemCallback callback)
{
    const RowLayout &layout = Layout();
    AddLabel(owner, label, y);
    AddColourButtons(owner, nullptr, layout.valueX0, y, layout.valueX1, y + 2.0f * layout.rowHeight, colour, min,
                     max, callback);
}

void AddColourButtons(MenuPage *owner, const char *text, float x0, float y0, float x1, float y1, Colour *colour,
                      int min, int max, ItemCallback callback)
{
    const float middle = (x0 + x1) * 0.5f;
    AddItem(owner, x0, y0, middle, y1, 0, text, 0, 0, ItemColourBox, colour, callback);
    if (colour == nullptr) {
        return;
    }
    const float third = (y1 - y0) / 3.0f;
    uint8_t *const bytes[3] = {&colour->red, &colour->green, &colour->blue};
    const Colour *const tracks[3] = {&ColourComponentRed, &ColourComponentGreen, &ColourComponentBlue};
    for (int i = 0; i < 3; ++i) {
        const float top = y0 + third * static_cast<float>(i);
        const float bottom = i == 2 ? y1 : y0 + third * static_cast<float>(i + 1);
        AddItem(owner, middle, top, x1, bottom, bytes[i], min, max, 0, ItemColourComponent, tracks[i], callback);
    }
}

void AddScrollBar(MenuPage *owner, float listX0, float x0, float y0, float x1, float y1, int *scroll, int visible,
                  int total)
{
    const int position = scroll != nullptr ? *scroll : 0;
    const float height = y1 - y0;
    const Colour *colour = &InterfaceColours.textUnselected;
    // A bar of two arrow heights and more has a track between two arrows of
    // 0.04; a lower one is split between the arrows; the lowest has only the
    // down arrow.
    float downTop = y0;
    if (height >= 0.081f) {
        const int track = height >= 0.121f;
        const float upEnd = track ? y0 + 0.04f : y0 + height * 0.5f;
        downTop = track ? y1 - 0.04f : upEnd;
        AddSymbolItem(owner, x0, y0, x1, upEnd, scroll, position, position + visible, total, ItemListUp, colour,
                      nullptr);
        if (track) {
            AddItem(nullptr, x0, upEnd, x1, downTop, scroll, position, position + visible, total, ItemScrollBar,
                    colour, nullptr);
        }
    }
    AddSymbolItem(owner, x0, downTop, x1, y1, scroll, position, position + visible, total, ItemListDown, colour,
                  nullptr);
    AddItem(nullptr, listX0, y0, x1, y1, scroll, position, position + visible, total, ItemListArea,
            &MessageColours[ColourGrey], nullptr);
}
