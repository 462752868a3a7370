#pragma once

#include <cstdint>

struct Colour;
struct MenuPage;
struct MouseEvent;

// The interface items of the current frame: every button and text a screen
// shows is an item added by the page's run callback and dropped at the start
// of the next pass. The drawing pass shows them and the mouse events before
// the next pass are tested against them (later items lie on top). Values that
// items edit live in the screens' own variables, reached through pointers.

// The kinds; the numbers are what the screens use.
enum ItemKind : uint8_t {
    ItemButton = 0,          // text button or label; Arg2 alignment (0 centre, 1 left, 2 right)
    ItemLargeText = 1,
    ItemTick = 2,            // tick box, ticked when Text is not 0
    ItemBarButton = 3,       // bottom-bar button (back, OK, next)
    ItemPlainButton = 4,     // Arg2 alignment
    ItemRowLabel = 5,
    ItemRowButton = 6,
    ItemTitleBar = 7,
    ItemTextField = 8,
    ItemPasswordField = 9,
    ItemTextField2 = 10,
    ItemTextLine = 11,       // Arg cursor (negative: none; -6..-3 also a band), Arg2 alignment
    ItemPanelLabel = 12,
    ItemPanelRowLabel = 13,
    ItemPanelValue = 14,
    ItemTextLeft = 15,
    ItemTextCentre = 16,
    ItemTextRight = 17,
    ItemFloatRight = 18,
    ItemFloatLeft = 19,
    ItemFloatThousandths = 20,
    ItemFloatDegrees = 21,
    ItemPasswordLine = 22,
    ItemCycle = 23,
    ItemToggle = 24,
    ItemChoice = 25,
    ItemHelp = 26,
    ItemFloatSlider = 27,
    ItemThousandthsSlider = 28,
    ItemAngleSlider = 29,
    ItemColourComponent = 30,
    ItemByteSlider = 31,
    ItemWordSlider = 32,
    ItemScrollBar = 33,
    ItemBytePlus = 34,
    ItemByteMinus = 35,
    ItemWordPlus = 36,
    ItemWordMinus = 37,
    ItemFloatPlus = 38,
    ItemFloatMinus = 39,
    ItemListUp = 40,
    ItemListDown = 41,
    ItemListArea = 42,
    ItemIntegerValue = 43,
    ItemFloatValue = 44,
    ItemShade = 45,
    ItemColourBox = 46,
    ItemPanelInteger = 47,
    ItemPanelTime = 48,
    ItemTimeButton = 49,
    ItemStackedLetters = 50,
    ItemStripes = 51,
    ItemNothing = 52,
    ItemCharacterCell = 53,
    ItemIcon = 54,
};

// Called when an item is used; the two values depend on the kind.
using ItemCallback = void (*)(MenuPage *owner, intptr_t a, intptr_t b);

// Param, Text, Arg and Arg2 hold integers, pointers, floats or a callback,
// each kind reading the member it wrote.
struct ItemValue {
    union {
        intptr_t i;
        const void *p;
        float f;
        ItemCallback call;
    };
    constexpr ItemValue() : i(0) {}
    constexpr ItemValue(int value) : i(value) {}
    constexpr ItemValue(float value) : f(value) {}
    constexpr ItemValue(const void *value) : p(value) {}
    constexpr ItemValue(ItemCallback value) : call(value) {}
    constexpr ItemValue(std::nullptr_t) : i(0) {}
};

struct InterfaceItem {
    float x0, y0, x1, y1;    // screen units, x -1..1 left to right, y -1..1 top to bottom
    ItemValue Param;
    ItemValue Text;
    ItemValue Arg;
    ItemValue Arg2;
    uint8_t Kind;
    uint8_t Sub;             // kind 32: 1 when the value spans 0..65534 over the shown range
    uint8_t Lo, Hi;          // kind 31: the byte range of the value
    uint8_t CodePage;        // code-page table of Text
    uint8_t spare[3];
    const ::Colour *Colour;  // text colour; kind 46 shows and edits it
    MenuPage *Owner;         // null: passive, clicks go through it
    ItemCallback Callback;
};

constexpr int InterfaceItemLimit = 1024;
extern InterfaceItem InterfaceItems[InterfaceItemLimit];
extern int InterfaceItemCount;

// Click code of a press on a generic item waiting for its release (0 none),
// and where it happened.
extern uint32_t PendingClick;
extern float PressX;
extern float PressY;
extern uint32_t ItemUsedThisFrame;
extern uint32_t BackButtonShown;
// The step of the float slider being dragged or edited; 0 rounds nothing.
extern float SliderStep;

enum ItemDragKind { DragNone = 0, DragFloat = 1, DragByte = 2, DragWord = 3, DragScrollBar = 4 };

struct ItemDrag {
    int kind;
    void *value;
    float startFloat;        // float drags
    int startInt;            // byte, 16-bit and scroll-bar drags
    float minFloat, maxFloat;
    int minInt, maxInt;
    int startPixel;          // pointer x (y for the scroll bar) in pixels at the start
    int lastPixel;
    int pixelLength;
    int visible;             // scroll bar: visible rows
    int total;               // scroll bar: total rows
    MenuPage *owner;
    ItemCallback callback;
};
extern ItemDrag ItemDragState;

// The copy buffers of Ctrl + right press (copy) and Shift + right press (paste).
extern float CopiedFloat;
extern int CopiedInteger;
extern Colour CopiedColour;

// Empties the item table for the new pass; called by the main loop before the
// current page runs.
void BeginInterfaceFrame();
// Append an item in the translation's code page, code page 0 (texts that are
// not translated) and the symbol table 10. Null when the table is full.
InterfaceItem *AddItem(MenuPage *owner, float x0, float y0, float x1, float y1, ItemValue param, ItemValue text,
                       ItemValue arg, ItemValue arg2, int kind, const Colour *colour, ItemCallback callback);
InterfaceItem *AddItemLatin(MenuPage *owner, float x0, float y0, float x1, float y1, ItemValue param, ItemValue text,
                            ItemValue arg, ItemValue arg2, int kind, const Colour *colour, ItemCallback callback);
InterfaceItem *AddSymbolItem(MenuPage *owner, float x0, float y0, float x1, float y1, ItemValue param, ItemValue text,
                             ItemValue arg, ItemValue arg2, int kind, const Colour *colour, ItemCallback callback);
// A 16-bit slider (kind 32) over *value, shown min..max with format; scaled 1:
// the value spans 0..65534 over the shown range.
void AddWordSliderItem(MenuPage *owner, float x0, float y0, float x1, float y1, uint16_t *value, float min,
                       float max, const char *format, int scaled, const Colour *colour, ItemCallback callback);
// A byte slider (kind 31) over *value in lo..hi, shown min..max with format.
void AddByteSliderItem(MenuPage *owner, float x0, float y0, float x1, float y1, uint8_t *value, float min, float max,
                       const char *format, int lo, int hi, const Colour *colour, ItemCallback callback);

// The default input callback of a page: tests the event against the items.
// Non-zero when an item took it.
int HandleItemInput(MenuPage *page, MouseEvent *event);
// Ends a running drag, putting its old value back and calling its callback
// (owner, 0, 0); returns 1 when a drag was running, else 0. A key cancels a
// drag.
int EndItemDrag();
// 1 when the item has an owner and both the pending press and the pointer lie
// inside it: it is drawn pressed.
int ItemPressed(const InterfaceItem &item);
// Rounds to a multiple of SliderStep (when not 0), then clamps.
float SnapSliderValue(float min, float value, float max);
// The step of a float slider from its printf format: 10^-N for "%.N", times
// 1000 for kind 28 and pi/180 for kind 29; 0 without a precision.
float SliderStepFromFormat(const char *format, int kind);

// The answers of the value dialog a right press opens over a slider: each
// ignores an empty text, refuses a value out of the slider's range with a
// message over the owner, else stores it and calls the callback (owner, 0, 0).
void FloatSliderAnswer(MenuPage *owner, const char *answer);
void ByteSliderAnswer(MenuPage *owner, const char *answer);
void WordSliderAnswer(MenuPage *owner, const char *answer);
// The slider the value dialog edits.
extern InterfaceItem EditedSlider;

// The text input dialog of a text field (entry mode 0 text, 2 password, 3
// the second text kind) with title Arg2, buffer Param and length Arg; the
// field's callback follows an answer (ui/row_builders.h). Nothing opens until
// the dialogs exist.
void OpenFieldEntry(const InterfaceItem &item, int mode);
