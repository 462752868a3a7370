// Interface items: the table, hit testing, clicks, slider drags, copy and
// paste and the typed-value answers, with a fake pointer over an 800 x 600
// screen.
#include "ui/interface_items.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "ui/dialogs.h"
#include "ui/interface_draw.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

namespace {

struct CallRecord {
    MenuPage *owner;
    intptr_t a;
    intptr_t b;
};
std::vector<CallRecord> Calls;

void Record(MenuPage *owner, intptr_t a, intptr_t b)
{
    Calls.push_back({owner, a, b});
}

MenuPage *DialogOwner = nullptr;
std::string DialogPrompt;
int DialogLength = 0;
TextAnswerCallback DialogAnswer = nullptr;

void FakeTextInput(MenuPage *owner, const char *prompt, int maxLength, TextAnswerCallback answer)
{
    DialogOwner = owner;
    DialogPrompt = prompt;
    DialogLength = maxLength;
    DialogAnswer = answer;
}

class InterfaceItemsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PixelWidth = 2.0f / 800.0f;
        PixelHeight = 2.0f / 600.0f;
        ExitState = 0;
        NoDrawFlag = 0;
        PendingClick = 0;
        ItemDragState = ItemDrag{};
        SliderStep = 0.0f;
        Calls.clear();
        UiServices services{};
        services.openTextInput = FakeTextInput;
        SetUiServices(services);
        DialogOwner = nullptr;
        DialogAnswer = nullptr;
        ClearMessageLines();
        BeginInterfaceFrame();
        Move(0.0f, 0.0f);
    }
    void TearDown() override
    {
        SetUiServices(UiServices{});
        BeginInterfaceFrame();
    }

    static void Move(float x, float y)
    {
        MouseFracX = x;
        MouseFracY = y;
        MouseX = static_cast<int>(std::lround((x + 1.0f) * 400.0f));
        MouseY = static_cast<int>(std::lround((y + 1.0f) * 300.0f));
    }
    int Press(float x, float y, uint32_t code = 1)
    {
        Move(x, y);
        MouseEvent event{};
        event.press = code;
        event.left = (code & 3) == 1;
        event.right = (code & 3) == 2;
        return HandleItemInput(&page, &event);
    }
    int Release(float x, float y, uint32_t button = 1)
    {
        Move(x, y);
        MouseEvent event{};
        event.release = button;
        return HandleItemInput(&page, &event);
    }
    int Drag(float x, float y, int left = 1, int right = 0)
    {
        Move(x, y);
        MouseEvent event{};
        event.left = static_cast<uint32_t>(left);
        event.right = static_cast<uint32_t>(right);
        return HandleItemInput(&page, &event);
    }
    InterfaceItem *Button(float x0, float y0, float x1, float y1, int id, MenuPage *owner)
    {
        return AddItem(owner, x0, y0, x1, y1, id, "b", 0, 0, ItemButton, nullptr, Record);
    }

    MenuPage page{};
};

TEST_F(InterfaceItemsTest, TheTableHolds1024ItemsAndRefusesTheNext)
{
    for (int i = 0; i < InterfaceItemLimit; ++i) {
        ASSERT_NE(Button(0, 0, 0.1f, 0.1f, i, &page), nullptr);
    }
    EXPECT_EQ(Button(0, 0, 0.1f, 0.1f, 1024, &page), nullptr);
    EXPECT_EQ(AddItemLatin(&page, 0, 0, 1, 1, 0, "x", 0, 0, ItemButton, nullptr, nullptr), nullptr);
    EXPECT_EQ(InterfaceItemCount, InterfaceItemLimit);
    BeginInterfaceFrame();
    EXPECT_EQ(InterfaceItemCount, 0);
    EXPECT_EQ(AddSymbolItem(&page, 0, 0, 1, 1, 0, "x", 0, 0, ItemButton, nullptr, nullptr)->CodePage, 10);
    EXPECT_EQ(AddItemLatin(&page, 0, 0, 1, 1, 0, "x", 0, 0, ItemButton, nullptr, nullptr)->CodePage, 0);
}

TEST_F(InterfaceItemsTest, ClicksGoToTheTopItemAndNeedPressAndReleaseInside)
{
    Button(-0.5f, -0.5f, 0.5f, 0.5f, 1, &page);
    Button(0.0f, 0.0f, 0.6f, 0.6f, 2, &page);
    AddItem(nullptr, -1, -1, 1, 1, 0, "passive", 0, 0, ItemButton, nullptr, Record);  // over both, passive

    // The overlap: the later button takes it, through the passive item.
    EXPECT_EQ(Press(0.2f, 0.2f), 1);
    EXPECT_EQ(PendingClick, 1u);
    EXPECT_EQ(ItemPressed(InterfaceItems[1]), 1);
    EXPECT_EQ(ItemPressed(InterfaceItems[2]), 0);  // passive items never show pressed
    EXPECT_EQ(Release(0.25f, 0.25f), 1);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].owner, &page);
    EXPECT_EQ(Calls[0].a, 1);
    EXPECT_EQ(Calls[0].b, 2);
    EXPECT_EQ(ItemUsedThisFrame, 1u);

    // A second click in the same frame is dropped.
    EXPECT_EQ(Press(0.2f, 0.2f), 0);
    EXPECT_EQ(Release(0.2f, 0.2f), 0);
    EXPECT_EQ(Calls.size(), 1u);

    // Next frame: pressed on one, released on the other: nothing, press cleared.
    BeginInterfaceFrame();
    Button(-0.5f, -0.5f, 0.5f, 0.5f, 1, &page);
    Button(0.0f, 0.0f, 0.6f, 0.6f, 2, &page);
    EXPECT_EQ(Press(-0.4f, -0.4f), 1);
    EXPECT_EQ(ItemPressed(InterfaceItems[0]), 1);
    Move(0.55f, 0.55f);
    EXPECT_EQ(ItemPressed(InterfaceItems[0]), 0);  // the pointer left it
    EXPECT_EQ(Release(0.55f, 0.55f), 1);
    EXPECT_EQ(PendingClick, 0u);
    EXPECT_EQ(Calls.size(), 1u);

    // A release outside every item clears the press too.
    EXPECT_EQ(Press(-0.4f, -0.4f, 2 + 4), 1);
    EXPECT_EQ(PendingClick, 6u);
    EXPECT_EQ(Release(0.9f, 0.9f), 0);
    EXPECT_EQ(PendingClick, 0u);

    // Nothing while the program exits.
    ExitState = 1;
    EXPECT_EQ(Press(-0.4f, -0.4f), 0);
    EXPECT_EQ(PendingClick, 0u);
}

TEST_F(InterfaceItemsTest, SliderStepsFollowTheFormat)
{
    struct Case {
        const char *format;
        int kind;
        float step;
    };
    const Case cases[] = {
        {"%.2f", ItemFloatSlider, 0.01f},   {"Gain %.0f dB", ItemFloatSlider, 1.0f},
        {"%f", ItemFloatSlider, 0.0f},      {"%5.1f", ItemFloatSlider, 0.0f},
        {"%.3f", ItemThousandthsSlider, 1.0f}, {"%.1f", ItemAngleSlider, 0.1f * 0.017453292f},
        {"no percent", ItemFloatSlider, 0.0f}, {nullptr, ItemFloatSlider, 0.0f},
        {"%.x", ItemFloatSlider, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format ? c.format : "null");
        EXPECT_FLOAT_EQ(SliderStepFromFormat(c.format, c.kind), c.step);
    }
    SliderStep = 0.25f;
    EXPECT_FLOAT_EQ(SnapSliderValue(0.0f, 0.6f, 1.0f), 0.5f);
    EXPECT_FLOAT_EQ(SnapSliderValue(0.0f, 1.2f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(SnapSliderValue(0.1f, 0.0f, 1.0f), 0.1f);
}

TEST_F(InterfaceItemsTest, FloatSlidersDragInStepsAndARightPressPutsTheStartBack)
{
    float stepped = 0.5f;
    float free = 0.5f;
    // 0.8 units wide: 320 pixels for the whole range 0..1.
    AddItem(&page, -0.4f, -0.5f, 0.4f, -0.4f, &stepped, 0.0f, 1.0f, "%.2f", ItemFloatSlider, nullptr, Record);
    AddItem(&page, -0.4f, 0.4f, 0.4f, 0.5f, &free, 0.0f, 1.0f, "%f", ItemFloatSlider, nullptr, Record);

    EXPECT_EQ(Press(0.0f, -0.45f), 1);
    EXPECT_EQ(ItemDragState.kind, DragFloat);
    EXPECT_EQ(Drag(0.0025f, -0.45f), DragFloat);  // one pixel: 1/320, rounds to 0.5
    EXPECT_FLOAT_EQ(stepped, 0.5f);
    EXPECT_TRUE(Calls.empty());  // unchanged: no callback
    EXPECT_EQ(Drag(0.0f + 11 * 0.0025f, -0.45f), DragFloat);  // 11 pixels: 0.034 -> 0.03
    EXPECT_NEAR(stepped, 0.53f, 1e-6f);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Drag(0.9f, -0.45f), DragFloat);  // past the end: clamped
    EXPECT_FLOAT_EQ(stepped, 1.0f);

    // Right button during the drag: back to 0.5, callback (owner, 0, 0).
    Calls.clear();
    EXPECT_EQ(Drag(0.9f, -0.45f, 1, 1), 1);
    EXPECT_FLOAT_EQ(stepped, 0.5f);
    EXPECT_EQ(ItemDragState.kind, DragNone);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].a, 0);

    // "%f" moves freely.
    EXPECT_EQ(Press(0.0f, 0.45f), 1);
    Drag(11 * 0.0025f, 0.45f);
    EXPECT_FLOAT_EQ(free, 0.5f + 11.0f / 320.0f);
    EXPECT_EQ(Drag(11 * 0.0025f, 0.45f, 0, 0), 0);  // released: the value stays
    EXPECT_EQ(ItemDragState.kind, DragNone);
    EXPECT_FLOAT_EQ(free, 0.5f + 11.0f / 320.0f);
    EXPECT_EQ(EndItemDrag(), 0);
}

TEST_F(InterfaceItemsTest, IntegerDragsNeverDivideByZero)
{
    uint8_t byte = 10;
    uint16_t word = 100;
    AddByteSliderItem(&page, -0.5f, -0.5f, 0.5f, -0.4f, &byte, 0.0f, 100.0f, "%.0f", 0, 200, nullptr, Record);
    AddWordSliderItem(&page, -0.5f, 0.4f, -0.5f + 0.001f, 0.5f, &word, 0.0f, 1.0f, "%.0f", 1, nullptr, Record);
    // 400 pixels for 0..200: 40 pixels move 20.
    Press(0.0f, -0.45f);
    EXPECT_EQ(ItemDragState.kind, DragByte);
    Drag(0.1f, -0.45f);
    EXPECT_EQ(byte, 30);
    Drag(-1.0f, -0.45f);
    EXPECT_EQ(byte, 0);
    EXPECT_EQ(EndItemDrag(), 1);
    EXPECT_EQ(byte, 10);

    // A slider narrower than half a pixel does not move.
    Press(-0.4996f, 0.45f);
    EXPECT_EQ(ItemDragState.kind, DragWord);
    Drag(0.5f, 0.45f);
    EXPECT_EQ(word, 100);
    Drag(0.5f, 0.45f, 0, 0);

    // Nor any slider with no window width.
    PixelWidth = 0.0f;
    Press(0.0f, -0.45f);
    Drag(0.3f, -0.45f);
    EXPECT_EQ(byte, 10);
}

TEST_F(InterfaceItemsTest, CopyAndPasteBetweenSlidersClampToTheTarget)
{
    float wide = 7.0f;
    float narrow = 0.5f;
    AddItem(&page, -0.5f, -0.5f, 0.5f, -0.4f, &wide, 0.0f, 10.0f, "%.1f", ItemFloatSlider, nullptr, Record);
    AddItem(&page, -0.5f, 0.4f, 0.5f, 0.5f, &narrow, 0.0f, 1.0f, "%.1f", ItemFloatSlider, nullptr, Record);
    uint8_t red = 200;
    uint8_t green = 5;
    AddItem(&page, -0.5f, 0.6f, 0.5f, 0.7f, &red, 0, 255, 0, ItemColourComponent, nullptr, Record);
    AddItem(&page, -0.5f, 0.8f, 0.5f, 0.9f, &green, 10, 100, 0, ItemColourComponent, nullptr, Record);

    Press(0.0f, -0.45f, 2 + 4);  // Ctrl + right: copy
    EXPECT_FLOAT_EQ(CopiedFloat, 7.0f);
    EXPECT_TRUE(Calls.empty());
    Press(0.0f, 0.45f, 2 + 8);  // Shift + right: paste, clamped
    EXPECT_FLOAT_EQ(narrow, 1.0f);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].a, 10);
    EXPECT_EQ(Calls[0].b, 0);

    Press(0.0f, 0.65f, 2 + 4);
    EXPECT_EQ(CopiedInteger, 200);
    Press(0.0f, 0.85f, 2 + 8);
    EXPECT_EQ(green, 100);
    EXPECT_EQ(ItemDragState.kind, DragNone);
}

TEST_F(InterfaceItemsTest, StepButtonsKeepTheirLimits)
{
    uint16_t encoded = 65534;  // 7.5
    uint8_t byte = 98;
    AddItem(&page, 0.0f, 0.0f, 0.1f, 0.1f, &encoded, 0, 1, 0, ItemWordPlus, nullptr, Record);
    AddItem(&page, 0.2f, 0.0f, 0.3f, 0.1f, &byte, 0, 0, 100, ItemBytePlus, nullptr, Record);
    Press(0.05f, 0.05f);
    Release(0.05f, 0.05f);
    EXPECT_EQ(encoded, 65534);
    ASSERT_EQ(Calls.size(), 1u);

    BeginInterfaceFrame();
    AddItem(&page, 0.2f, 0.0f, 0.3f, 0.1f, &byte, 0, 0, 100, ItemBytePlus, nullptr, Record);
    Press(0.25f, 0.05f, 2);
    Release(0.25f, 0.05f, 2);
    EXPECT_EQ(byte, 100);
}

TEST_F(InterfaceItemsTest, ScrollBarDragsAndTheWheelScrollsTheFirstListUnderThePointer)
{
    int position = 0;
    int other = 0;
    // 10 of 40 rows visible; the track is 0.8 high, 240 pixels; its pixel
    // length is 0.8 x (10 x 0.5 / 40) x 600 = 60, so 60 pixels move 10 rows.
    AddItem(&page, 0.0f, -0.4f, 0.1f, 0.4f, &position, 0, 10, 40, ItemScrollBar, nullptr, Record);
    AddItem(&page, -0.9f, -0.4f, 0.0f, 0.4f, &position, 0, 10, 40, ItemListArea, nullptr, nullptr);
    AddItem(&page, -0.9f, -0.4f, 0.0f, 0.4f, &other, 0, 10, 40, ItemListArea, nullptr, nullptr);
    Press(0.05f, 0.0f);
    EXPECT_EQ(ItemDragState.kind, DragScrollBar);
    EXPECT_EQ(Drag(0.05f, 0.2f), DragScrollBar);  // 60 pixels down
    EXPECT_EQ(position, 10);
    Drag(0.05f, 1.0f);
    EXPECT_EQ(position, 30);  // total - visible
    Drag(0.05f, 1.0f, 0, 0);

    MouseEvent wheel{};
    Move(-0.5f, 0.0f);
    wheel.wheel = 2;
    EXPECT_EQ(HandleItemInput(&page, &wheel), 1);
    EXPECT_EQ(position, 30);  // already at the last first-visible row
    wheel.wheel = 1;
    EXPECT_EQ(HandleItemInput(&page, &wheel), 1);
    EXPECT_EQ(position, 29);
    EXPECT_EQ(other, 0);
    Move(0.5f, 0.0f);
    EXPECT_EQ(HandleItemInput(&page, &wheel), 0);

    // An empty list's scroll bar.
    BeginInterfaceFrame();
    int empty = 0;
    AddItem(&page, 0.0f, -0.4f, 0.1f, 0.4f, &empty, 0, 0, 0, ItemScrollBar, nullptr, nullptr);
    Press(0.05f, 0.0f);
    Drag(0.05f, 0.5f);
    EXPECT_EQ(empty, 0);
}

TEST_F(InterfaceItemsTest, TypedValuesOutsideTheRangeAreRefused)
{
    float value = 0.5f;
    InterfaceItem *slider =
        AddItem(&page, -0.5f, -0.5f, 0.5f, -0.4f, &value, 0.0f, 2.0f, "%.2f", ItemFloatSlider, nullptr, Record);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(Press(0.0f, -0.45f, 2), 1);
    EXPECT_EQ(DialogOwner, &page);
    EXPECT_EQ(DialogPrompt, "Enter new value for 0.50");
    EXPECT_EQ(DialogLength, 16);
    ASSERT_EQ(DialogAnswer, FloatSliderAnswer);

    const struct {
        const char *answer;
        const char *message;
    } refused[] = {{"-1", "New value is too low"}, {"2.5", "New value is too high"}};
    for (const auto &r : refused) {
        ClearMessageLines();
        DialogAnswer(&page, r.answer);
        EXPECT_FLOAT_EQ(value, 0.5f);
        if (GraphicsEnabled) {
            // Over a page the refusal is a message box.
            ASSERT_EQ(page.Child, MessageBoxDialog());
            EXPECT_STREQ(MessageBoxText(), r.message);
            MessageBoxAnswerPressed(page.Child, 0, 1);
            EXPECT_EQ(page.Child, nullptr);
        } else {
            ASSERT_EQ(MessageLineCount, 1);
            EXPECT_STREQ(MessageLines[0].Text, r.message);
        }
    }
    EXPECT_TRUE(Calls.empty());
    DialogAnswer(&page, "");
    EXPECT_FLOAT_EQ(value, 0.5f);
    DialogAnswer(&page, "1,234");
    EXPECT_NEAR(value, 1.23f, 1e-6f);
    EXPECT_EQ(Calls.size(), 1u);

    uint8_t byte = 0;
    BeginInterfaceFrame();
    AddByteSliderItem(&page, -0.5f, -0.5f, 0.5f, -0.4f, &byte, 10.0f, 20.0f, "%.0f", 0, 100, nullptr, Record);
    Press(0.0f, -0.45f, 2);
    EXPECT_EQ(DialogPrompt, "Enter new value for 10");
    ASSERT_EQ(DialogAnswer, ByteSliderAnswer);
    DialogAnswer(&page, "15");
    EXPECT_EQ(byte, 50);
    DialogAnswer(&page, "21");
    EXPECT_EQ(byte, 50);

    uint16_t word = 0;
    BeginInterfaceFrame();
    AddWordSliderItem(&page, -0.5f, -0.5f, 0.5f, -0.4f, &word, 0.0f, 2.0f, "%.1f", 1, nullptr, Record);
    Press(0.0f, -0.45f, 2);
    ASSERT_EQ(DialogAnswer, WordSliderAnswer);
    DialogAnswer(&page, "1");
    EXPECT_EQ(word, 32767);
}

}  // namespace
