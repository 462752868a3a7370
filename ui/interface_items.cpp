#include "ui/interface_items.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "ui/interface_draw.h"
#include "ui/menu_page.h"
#include "ui/text_box.h"
#include "ui/translation.h"
#include "ui/ui_services.h"

InterfaceItem InterfaceItems[InterfaceItemLimit];
int InterfaceItemCount = 0;
uint32_t PendingClick = 0;
float PressX = 0.0f;
float PressY = 0.0f;
uint32_t ItemUsedThisFrame = 0;
uint32_t BackButtonShown = 0;
float SliderStep = 0.0f;
ItemDrag ItemDragState{};
float CopiedFloat = 0.0f;
int CopiedInteger = 0;
::Colour CopiedColour{};
InterfaceItem EditedSlider{};

namespace {

constexpr float DegreesPerRadian = 57.29577951f;
constexpr float RadiansPerDegree = 0.017453292f;
constexpr int WordRange = 65534;

InterfaceItem *Append(MenuPage *owner, float x0, float y0, float x1, float y1, ItemValue param, ItemValue text,
                      ItemValue arg, ItemValue arg2, int kind, const Colour *colour, ItemCallback callback,
                      int codePage)
{
    if (InterfaceItemCount >= InterfaceItemLimit) {
        return nullptr;
    }
    InterfaceItem &item = InterfaceItems[InterfaceItemCount++];
    item = InterfaceItem{};
    item.x0 = x0;
    item.y0 = y0;
    item.x1 = x1;
    item.y1 = y1;
    item.Param = param;
    item.Text = text;
    item.Arg = arg;
    item.Arg2 = arg2;
    item.Kind = static_cast<uint8_t>(kind);
    item.CodePage = static_cast<uint8_t>(codePage);
    item.Colour = colour;
    item.Owner = owner;
    item.Callback = callback;
    return &item;
}

int Contains(const InterfaceItem &item, float x, float y)
{
    return item.x0 <= x && x <= item.x1 && item.y0 <= y && y <= item.y1 ? 1 : 0;
}

void Call(ItemCallback callback, MenuPage *owner, intptr_t a, intptr_t b)
{
    if (callback != nullptr) {
        callback(owner, a, b);
    }
}

int ClampInt(int value, int min, int max)
{
    return value < min ? min : (value > max ? max : value);
}

// A slider's length in pixels: half its width times the 3D window's width in
// pixels, which is 2 / PixelWidth.
int SliderPixelLength(const InterfaceItem &item)
{
    if (!(PixelWidth > 0.0f)) {
        return 0;
    }
    return static_cast<int>(std::lround((item.x1 - item.x0) / PixelWidth));
}

// The 16-bit slider's value range.
void WordRangeOf(const InterfaceItem &item, int *min, int *max)
{
    if (item.Sub) {
        *min = 0;
        *max = WordRange;
    } else {
        *min = static_cast<int>(std::lround(item.Text.f));
        *max = static_cast<int>(std::lround(item.Arg.f));
    }
}

void BeginDrag(const InterfaceItem &item, int kind, int startPixel)
{
    ItemDrag &drag = ItemDragState;
    drag = ItemDrag{};
    drag.kind = kind;
    drag.value = const_cast<void *>(item.Param.p);
    drag.startPixel = startPixel;
    drag.lastPixel = startPixel;
    drag.owner = item.Owner;
    drag.callback = item.Callback;
    switch (kind) {
    case DragFloat:
        drag.startFloat = *static_cast<float *>(drag.value);
        drag.minFloat = item.Text.f;
        drag.maxFloat = item.Arg.f;
        drag.pixelLength = SliderPixelLength(item);
        break;
    case DragByte:
        drag.startInt = *static_cast<uint8_t *>(drag.value);
        if (item.Kind == ItemColourComponent) {
            drag.minInt = static_cast<int>(item.Text.i);
            drag.maxInt = static_cast<int>(item.Arg.i);
        } else {
            drag.minInt = item.Lo;
            drag.maxInt = item.Hi;
        }
        drag.pixelLength = SliderPixelLength(item);
        break;
    case DragWord:
        drag.startInt = *static_cast<uint16_t *>(drag.value);
        WordRangeOf(item, &drag.minInt, &drag.maxInt);
        drag.pixelLength = SliderPixelLength(item);
        break;
    case DragScrollBar: {
        drag.startInt = *static_cast<int *>(drag.value);
        drag.visible = static_cast<int>(item.Arg.i - item.Text.i);
        drag.total = static_cast<int>(item.Arg2.i);
        const float screenHeight = PixelHeight > 0.0f ? 2.0f / PixelHeight : 0.0f;
        const float share = drag.total > 0 ? drag.visible * 0.5f / static_cast<float>(drag.total) : 0.0f;
        drag.pixelLength = static_cast<int>((item.y1 - item.y0) * share * screenHeight);
        break;
    }
    default:
        break;
    }
}

// Step 2 of the input handling: the drag follows the pointer.
int ContinueDrag(const MouseEvent &event)
{
    ItemDrag &drag = ItemDragState;
    if (event.right) {
        EndItemDrag();
        return 1;
    }
    if (!event.left) {
        drag = ItemDrag{};
        return 0;
    }
    const int kind = drag.kind;
    int changed = 0;
    if (kind == DragScrollBar) {
        int *value = static_cast<int *>(drag.value);
        int next = drag.startInt;
        if (drag.pixelLength >= 1) {
            next = drag.startInt + (MouseY - drag.startPixel) * drag.visible / drag.pixelLength;
        }
        next = ClampInt(next, 0, drag.total - drag.visible > 0 ? drag.total - drag.visible : 0);
        changed = next != *value;
        *value = next;
    } else if (MouseX != drag.lastPixel) {
        drag.lastPixel = MouseX;
        const int moved = MouseX - drag.startPixel;
        if (kind == DragFloat) {
            float *value = static_cast<float *>(drag.value);
            float next = drag.startFloat;
            if (drag.pixelLength >= 1) {
                next = drag.startFloat +
                       (drag.maxFloat - drag.minFloat) * static_cast<float>(moved) / static_cast<float>(drag.pixelLength);
            }
            next = SnapSliderValue(drag.minFloat, next, drag.maxFloat);
            changed = next != *value;
            *value = next;
        } else {
            int next = drag.startInt;
            if (drag.pixelLength >= 1) {
                next = drag.startInt + static_cast<int>(static_cast<int64_t>(moved) * (drag.maxInt - drag.minInt) /
                                                        drag.pixelLength);
            }
            next = ClampInt(next, drag.minInt, drag.maxInt);
            if (kind == DragByte) {
                uint8_t *value = static_cast<uint8_t *>(drag.value);
                changed = next != *value;
                *value = static_cast<uint8_t>(next);
            } else {
                uint16_t *value = static_cast<uint16_t *>(drag.value);
                changed = next != *value;
                *value = static_cast<uint16_t>(next);
            }
        }
    }
    if (changed) {
        Call(drag.callback, drag.owner, 0, 0);
    }
    return kind;
}

// "Enter new value for %s" over the owner, the value printed by the format.
void OpenValueDialog(const InterfaceItem &item, float shown, TextAnswerCallback answer)
{
    const char *format = static_cast<const char *>(item.Arg2.p);
    if (format == nullptr || item.Owner == nullptr) {
        return;
    }
    char value[64];
    std::snprintf(value, sizeof(value), format, static_cast<double>(shown));
    char prompt[128];
    std::snprintf(prompt, sizeof(prompt), "Enter new value for %s", value);
    EditedSlider = item;
    OpenTextInput(item.Owner, prompt, 16, answer);
}

// Kinds 27..32 and 46 on a right press with Ctrl or Shift: copy or paste.
// Returns 1 when it was one of them.
int CopyOrPaste(const InterfaceItem &item, uint32_t press)
{
    const int ctrl = (press & 4) != 0;
    const int shift = (press & 8) != 0;
    if ((press & 3) != 2 || (!ctrl && !shift)) {
        return 0;
    }
    switch (item.Kind) {
    case ItemFloatSlider:
    case ItemThousandthsSlider:
    case ItemAngleSlider: {
        float *value = static_cast<float *>(const_cast<void *>(item.Param.p));
        if (ctrl) {
            CopiedFloat = *value;
        } else {
            *value = SnapSliderValue(item.Text.f, CopiedFloat, item.Arg.f);
            Call(item.Callback, item.Owner, 10, 0);
        }
        return 1;
    }
    case ItemColourComponent:
    case ItemByteSlider: {
        uint8_t *value = static_cast<uint8_t *>(const_cast<void *>(item.Param.p));
        const int min = item.Kind == ItemColourComponent ? static_cast<int>(item.Text.i) : item.Lo;
        const int max = item.Kind == ItemColourComponent ? static_cast<int>(item.Arg.i) : item.Hi;
        if (ctrl) {
            CopiedInteger = *value;
        } else {
            *value = static_cast<uint8_t>(ClampInt(CopiedInteger, min, max));
            Call(item.Callback, item.Owner, 10, 0);
        }
        return 1;
    }
    case ItemWordSlider: {
        uint16_t *value = static_cast<uint16_t *>(const_cast<void *>(item.Param.p));
        int min = 0;
        int max = 0;
        WordRangeOf(item, &min, &max);
        if (ctrl) {
            CopiedInteger = *value;
        } else {
            *value = static_cast<uint16_t>(ClampInt(CopiedInteger, min, max));
            Call(item.Callback, item.Owner, 10, 0);
        }
        return 1;
    }
    case ItemColourBox:
        if (item.Colour == nullptr) {
            return 1;
        }
        if (ctrl) {
            CopiedColour = *item.Colour;
        } else {
            *const_cast<Colour *>(item.Colour) = CopiedColour;
            Call(item.Callback, item.Owner, 10, 0);
        }
        return 1;
    default:
        return 0;
    }
}

// The 16-bit value that encodes 0.5..7.5, stepped in thousandths.
uint16_t StepEncodedWord(uint16_t value, int step)
{
    const double shown = std::round((value / 65534.0 * 7.0 + 0.5) * 999.99994);
    double x = (shown + step) / 1000.0;
    x = x < 0.5 ? 0.5 : (x > 7.5 ? 7.5 : x);
    return static_cast<uint16_t>(std::lround((x - 0.5) * 65534.0 / 7.0));
}

// The release action of an item pressed and released in place.
void ActOnRelease(const InterfaceItem &item, uint32_t click)
{
    MenuPage *owner = item.Owner;
    const int steps = (click & 3) == 2 ? 10 : 1;
    void *param = const_cast<void *>(item.Param.p);
    switch (item.Kind) {
    case ItemButton:
    case ItemLargeText:
    case ItemTick:
    case ItemTextLeft:
    case ItemTextCentre:
    case ItemTextRight:
    case ItemStackedLetters:
    case ItemCharacterCell:
        Call(item.Callback, owner, static_cast<intptr_t>(click), item.Param.i);
        break;
    case ItemTextField:
    case ItemPasswordField:
    case ItemTextField2:
        OpenFieldEntry(item, item.Kind == ItemTextField ? 0 : (item.Kind == ItemPasswordField ? 2 : 3));
        break;
    case ItemCycle:
    case ItemToggle:
    case ItemChoice:
        Call(item.Callback, owner, item.Arg.i, item.Param.i);
        Call(item.Arg2.call, owner, 0, 0);
        break;
    case ItemBytePlus:
    case ItemByteMinus: {
        uint8_t *value = static_cast<uint8_t *>(param);
        const int limit = static_cast<int>(item.Arg2.i);
        int next = *value + (item.Kind == ItemBytePlus ? steps : -steps);
        next = item.Kind == ItemBytePlus ? (next > limit ? limit : next) : (next < limit ? limit : next);
        *value = static_cast<uint8_t>(ClampInt(next, 0, 255));
        Call(item.Callback, owner, 0, 0);
        break;
    }
    case ItemWordPlus:
    case ItemWordMinus: {
        uint16_t *value = static_cast<uint16_t *>(param);
        const int sign = item.Kind == ItemWordPlus ? 1 : -1;
        if (item.Arg.i != 0) {
            *value = StepEncodedWord(*value, sign * steps);
        } else {
            const int limit = static_cast<int>(item.Arg2.i);
            int next = *value + sign * steps;
            next = sign > 0 ? (next > limit ? limit : next) : (next < limit ? limit : next);
            *value = static_cast<uint16_t>(ClampInt(next, 0, 65535));
        }
        Call(item.Callback, owner, 0, 0);
        break;
    }
    case ItemFloatPlus:
    case ItemFloatMinus: {
        float *value = static_cast<float *>(param);
        const float step = item.Arg.f;
        const float limit = item.Arg2.f;
        if (step != 0.0f) {
            const float sign = item.Kind == ItemFloatPlus ? 1.0f : -1.0f;
            float next = (std::round(*value / step) + sign * static_cast<float>(steps)) * step;
            next = sign > 0.0f ? (next > limit ? limit : next) : (next < limit ? limit : next);
            *value = next;
        }
        Call(item.Callback, owner, 0, 0);
        break;
    }
    case ItemListUp: {
        int *value = static_cast<int *>(param);
        *value = *value - 1 < 0 ? 0 : *value - 1;
        break;
    }
    case ItemListDown: {
        int *value = static_cast<int *>(param);
        const int last = static_cast<int>(item.Arg2.i - item.Arg.i + item.Text.i);
        *value = *value + 1 > last ? (last > *value ? last : *value) : *value + 1;
        break;
    }
    case ItemIntegerValue:
    case ItemFloatValue:
        Call(item.Callback, owner, static_cast<intptr_t>(click), item.Arg.i);
        break;
    default:
        Call(item.Callback, owner, item.Arg.i, item.Param.i);
        break;
    }
}

// Step 6 for one item that contains the pointer: 1 when it took the event,
// 0 when the scan goes on.
int ItemTakes(const InterfaceItem &item, const MouseEvent &event)
{
    const uint32_t press = event.press;
    const int button = static_cast<int>(press & 3);
    switch (item.Kind) {
    case ItemFloatSlider:
    case ItemThousandthsSlider:
    case ItemAngleSlider: {
        SliderStep = SliderStepFromFormat(static_cast<const char *>(item.Arg2.p), item.Kind);
        if (CopyOrPaste(item, press)) {
            return 1;
        }
        if (button == 1) {
            BeginDrag(item, DragFloat, MouseX);
            return 1;
        }
        if (button == 2) {
            const float value = *static_cast<const float *>(item.Param.p);
            const float shown = item.Kind == ItemThousandthsSlider
                                    ? value * 1000.0f
                                    : (item.Kind == ItemAngleSlider ? value * DegreesPerRadian : value);
            OpenValueDialog(item, shown, FloatSliderAnswer);
        }
        return 1;
    }
    case ItemColourComponent:
    case ItemByteSlider:
    case ItemWordSlider: {
        if (CopyOrPaste(item, press)) {
            return 0;
        }
        if (button == 1) {
            BeginDrag(item, item.Kind == ItemWordSlider ? DragWord : DragByte, MouseX);
            return 0;
        }
        if (button == 2 && item.Kind == ItemByteSlider) {
            const int value = *static_cast<const uint8_t *>(item.Param.p);
            const int span = item.Hi - item.Lo;
            const float shown =
                span > 0 ? item.Text.f + (item.Arg.f - item.Text.f) * static_cast<float>(value - item.Lo) / span
                         : item.Text.f;
            OpenValueDialog(item, shown, ByteSliderAnswer);
        } else if (button == 2 && item.Kind == ItemWordSlider) {
            const int value = *static_cast<const uint16_t *>(item.Param.p);
            const float shown = item.Sub ? item.Text.f + (item.Arg.f - item.Text.f) * value / WordRange
                                         : static_cast<float>(value);
            OpenValueDialog(item, shown, WordSliderAnswer);
        }
        return 1;
    }
    case ItemScrollBar:
        if (button == 1) {
            BeginDrag(item, DragScrollBar, MouseY);
        }
        return 0;
    case ItemListArea:
        return 0;
    case ItemColourBox:
        if (CopyOrPaste(item, press)) {
            return 0;
        }
        break;
    default:
        break;
    }
    if (item.Owner == nullptr) {
        return 0;
    }
    if (press != 0) {
        if (UiLink.playInterfaceSound != nullptr) {
            UiLink.playInterfaceSound(0);
        }
        PendingClick = press;
        PressX = MouseFracX;
        PressY = MouseFracY;
        return 1;
    }
    // A release.
    if (PendingClick == 0) {
        return 1;
    }
    if (!Contains(item, PressX, PressY)) {
        PendingClick = 0;
        return 1;
    }
    const uint32_t click = PendingClick;
    ItemUsedThisFrame = 1;
    PendingClick = 0;
    ActOnRelease(item, click);
    return 1;
}

}  // namespace

void BeginInterfaceFrame()
{
    InterfaceItemCount = 0;
    ItemUsedThisFrame = 0;
    BackButtonShown = 0;
}

InterfaceItem *AddItem(MenuPage *owner, float x0, float y0, float x1, float y1, ItemValue param, ItemValue text,
                       ItemValue arg, ItemValue arg2, int kind, const Colour *colour, ItemCallback callback)
{
    return Append(owner, x0, y0, x1, y1, param, text, arg, arg2, kind, colour, callback, TranslationCodePage);
}

InterfaceItem *AddItemLatin(MenuPage *owner, float x0, float y0, float x1, float y1, ItemValue param, ItemValue text,
                            ItemValue arg, ItemValue arg2, int kind, const Colour *colour, ItemCallback callback)
{
    return Append(owner, x0, y0, x1, y1, param, text, arg, arg2, kind, colour, callback, 0);
}

InterfaceItem *AddSymbolItem(MenuPage *owner, float x0, float y0, float x1, float y1, ItemValue param, ItemValue text,
                             ItemValue arg, ItemValue arg2, int kind, const Colour *colour, ItemCallback callback)
{
    return Append(owner, x0, y0, x1, y1, param, text, arg, arg2, kind, colour, callback, 10);
}

void AddWordSliderItem(MenuPage *owner, float x0, float y0, float x1, float y1, uint16_t *value, float min,
                       float max, const char *format, int scaled, const Colour *colour, ItemCallback callback)
{
    InterfaceItem *item = AddItem(owner, x0, y0, x1, y1, value, min, max, format, ItemWordSlider, colour, callback);
    if (item != nullptr) {
        item->Sub = scaled ? 1 : 0;
    }
}

void AddByteSliderItem(MenuPage *owner, float x0, float y0, float x1, float y1, uint8_t *value, float min, float max,
                       const char *format, int lo, int hi, const Colour *colour, ItemCallback callback)
{
    InterfaceItem *item = AddItem(owner, x0, y0, x1, y1, value, min, max, format, ItemByteSlider, colour, callback);
    if (item != nullptr) {
        item->Lo = static_cast<uint8_t>(ClampInt(lo, 0, 255));
        item->Hi = static_cast<uint8_t>(ClampInt(hi, 0, 255));
    }
}

int HandleItemInput(MenuPage *, MouseEvent *event)
{
    if (ExitState != 0 || NoDrawFlag != 0 || event == nullptr) {
        return 0;
    }
    if (ItemDragState.kind != DragNone) {
        return ContinueDrag(*event);
    }
    if (event->press == 0 && event->release == 0 && event->wheel == 0) {
        return 0;
    }
    if (InterfaceItemCount == 0 || ItemUsedThisFrame) {
        PendingClick = 0;
        return 0;
    }
    const float x = MouseFracX;
    const float y = MouseFracY;
    if (event->wheel != 0) {
        for (int i = 0; i < InterfaceItemCount; ++i) {
            const InterfaceItem &item = InterfaceItems[i];
            if (item.Kind != ItemListArea || !Contains(item, x, y) || item.Param.p == nullptr) {
                continue;
            }
            int *position = static_cast<int *>(const_cast<void *>(item.Param.p));
            if (event->wheel == 1) {
                *position = *position - 1 < 0 ? 0 : *position - 1;
            } else {
                const int last = static_cast<int>(item.Arg2.i - item.Arg.i + item.Text.i);
                *position = *position + 1 > last ? (last > *position ? last : *position) : *position + 1;
            }
            return 1;
        }
        if (event->press == 0 && event->release == 0) {
            return 0;
        }
    }
    for (int i = InterfaceItemCount - 1; i >= 0; --i) {
        const InterfaceItem &item = InterfaceItems[i];
        if (!Contains(item, x, y)) {
            continue;
        }
        if (ItemTakes(item, *event)) {
            return 1;
        }
    }
    if (event->release != 0) {
        PendingClick = 0;
    }
    return ItemDragState.kind != DragNone ? 1 : 0;
}

int EndItemDrag()
{
    ItemDrag &drag = ItemDragState;
    if (drag.kind == DragNone) {
        return 0;
    }
    switch (drag.kind) {
    case DragFloat:
        *static_cast<float *>(drag.value) = drag.startFloat;
        break;
    case DragByte:
        *static_cast<uint8_t *>(drag.value) = static_cast<uint8_t>(drag.startInt);
        break;
    case DragWord:
        *static_cast<uint16_t *>(drag.value) = static_cast<uint16_t>(drag.startInt);
        break;
    case DragScrollBar:
        *static_cast<int *>(drag.value) = drag.startInt;
        break;
    default:
        break;
    }
    const ItemDrag ended = drag;
    drag = ItemDrag{};
    Call(ended.callback, ended.owner, 0, 0);
    return 1;
}

int ItemPressed(const InterfaceItem &item)
{
    return item.Owner != nullptr && PendingClick != 0 && Contains(item, PressX, PressY) &&
                   Contains(item, MouseFracX, MouseFracY)
               ? 1
               : 0;
}

float SnapSliderValue(float min, float value, float max)
{
    if (SliderStep != 0.0f) {
        value = std::round(value / SliderStep) * SliderStep;
    }
    return value < min ? min : (value > max ? max : value);
}

float SliderStepFromFormat(const char *format, int kind)
{
    if (format == nullptr) {
        return 0.0f;
    }
    const char *percent = std::strchr(format, '%');
    if (percent == nullptr || percent[1] != '.' || percent[2] < '0' || percent[2] > '9') {
        return 0.0f;
    }
    float step = std::pow(10.0f, -static_cast<float>(percent[2] - '0'));
    if (kind == ItemThousandthsSlider) {
        step *= 1000.0f;
    } else if (kind == ItemAngleSlider) {
        step *= RadiansPerDegree;
    }
    return step;
}

namespace {

// The typed number checked against [min, max]; 1 when it may be stored.
int CheckTyped(MenuPage *owner, float value, float min, float max)
{
    if (value < min) {
        ShowTextBox(owner, "New value is too low");
        return 0;
    }
    if (value > max) {
        ShowTextBox(owner, "New value is too high");
        return 0;
    }
    return 1;
}

}  // namespace

void FloatSliderAnswer(MenuPage *owner, const char *answer)
{
    const InterfaceItem &item = EditedSlider;
    if (answer == nullptr || answer[0] == 0 || item.Param.p == nullptr) {
        return;
    }
    float value = ParseFloat(answer);
    if (item.Kind == ItemThousandthsSlider) {
        value *= 0.001f;
    } else if (item.Kind == ItemAngleSlider) {
        value *= RadiansPerDegree;
    }
    if (!CheckTyped(owner, value, item.Text.f, item.Arg.f)) {
        return;
    }
    SliderStep = SliderStepFromFormat(static_cast<const char *>(item.Arg2.p), item.Kind);
    *static_cast<float *>(const_cast<void *>(item.Param.p)) = SnapSliderValue(item.Text.f, value, item.Arg.f);
    Call(item.Callback, owner, 0, 0);
}

void ByteSliderAnswer(MenuPage *owner, const char *answer)
{
    const InterfaceItem &item = EditedSlider;
    if (answer == nullptr || answer[0] == 0 || item.Param.p == nullptr) {
        return;
    }
    const float typed = ParseFloat(answer);
    const float lo = item.Text.f < item.Arg.f ? item.Text.f : item.Arg.f;
    const float hi = item.Text.f < item.Arg.f ? item.Arg.f : item.Text.f;
    if (!CheckTyped(owner, typed, lo, hi)) {
        return;
    }
    const float span = item.Arg.f - item.Text.f;
    // An empty shown range maps everything to the low byte.
    const float share = span != 0.0f ? (typed - item.Text.f) / span : 0.0f;
    const int value = static_cast<int>(std::lround(item.Lo + share * (item.Hi - item.Lo)));
    *static_cast<uint8_t *>(const_cast<void *>(item.Param.p)) = static_cast<uint8_t>(ClampInt(value, 0, 255));
    Call(item.Callback, owner, 0, 0);
}

void WordSliderAnswer(MenuPage *owner, const char *answer)
{
    const InterfaceItem &item = EditedSlider;
    if (answer == nullptr || answer[0] == 0 || item.Param.p == nullptr) {
        return;
    }
    const float typed = ParseFloat(answer);
    const float lo = item.Text.f < item.Arg.f ? item.Text.f : item.Arg.f;
    const float hi = item.Text.f < item.Arg.f ? item.Arg.f : item.Text.f;
    if (!CheckTyped(owner, typed, lo, hi)) {
        return;
    }
    int value = 0;
    if (item.Sub) {
        const float span = item.Arg.f - item.Text.f;
        value = span != 0.0f ? static_cast<int>(std::lround((typed - item.Text.f) * WordRange / span)) : 0;
    } else {
        value = static_cast<int>(std::lround(typed));
    }
    *static_cast<uint16_t *>(const_cast<void *>(item.Param.p)) = static_cast<uint16_t>(ClampInt(value, 0, 65535));
    Call(item.Callback, owner, 0, 0);
}

