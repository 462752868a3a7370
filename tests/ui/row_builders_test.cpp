// Settings rows, bottom-bar buttons and scroll bars: where the builders put
// their items, and what clicks through the item input do to the variables
// the rows point at, with a fake pointer over an 800 x 600 screen.
#include "ui/row_builders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "ui/interface_colours.h"
#include "ui/interface_draw.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

namespace {

int ChangeCalls = 0;
MenuPage *ChangeOwner = nullptr;

void Changed(MenuPage *owner, intptr_t, intptr_t)
{
    ++ChangeCalls;
    ChangeOwner = owner;
}

struct DialogCall {
    MenuPage *page = nullptr;
    TextInputAnswer answer = nullptr;
    std::string title;
    int maxLength = 0;
    intptr_t answerValue = 0;
    std::string initial;
    int cursor = -1;
    int mode = -1;
    const char *filePattern = "unset";
    int calls = 0;
};
DialogCall Dialog;

void FakeTextInputDialog(MenuPage *page, TextInputAnswer answer, const char *title, int maxLength,
                         intptr_t answerValue, const char *initial, int cursor, int mode, const char *filePattern)
{
    Dialog.page = page;
    Dialog.answer = answer;
    Dialog.title = title != nullptr ? title : "";
    Dialog.maxLength = maxLength;
    Dialog.answerValue = answerValue;
    Dialog.initial = initial != nullptr ? initial : "";
    Dialog.cursor = cursor;
    Dialog.mode = mode;
    Dialog.filePattern = filePattern;
    Dialog.calls++;
}

struct HelpCall {
    MenuPage *parent = nullptr;
    std::string title;
    std::string section;
    int mode = -1;
    int calls = 0;
};
HelpCall Help;
MenuPage HelpPage{};

MenuPage *FakeHelpScreen(MenuPage *parent, const char *title, const char *section, int mode)
{
    Help.parent = parent;
    Help.title = title;
    Help.section = section;
    Help.mode = mode;
    Help.calls++;
    return &HelpPage;
}

class RowBuildersTest : public ::testing::Test {
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
        ChangeCalls = 0;
        ChangeOwner = nullptr;
        Dialog = DialogCall{};
        Help = HelpCall{};
        UiServices services{};
        services.openTextInputDialog = FakeTextInputDialog;
        services.createHelpScreen = FakeHelpScreen;
        SetUiServices(services);
        BeginFrame();
        CurrentRowLayout = &RowLayouts[0];
    }
    void TearDown() override
    {
        SetUiServices(UiServices{});
        BeginInterfaceFrame();
        CurrentRowLayout = &RowLayouts[0];
    }

    // A new pass: the items go, the next frame's builders add them again.
    static void BeginFrame()
    {
        BeginInterfaceFrame();
    }
    static void Move(float x, float y)
    {
        MouseFracX = x;
        MouseFracY = y;
        MouseX = static_cast<int>(std::lround((x + 1.0f) * 400.0f));
        MouseY = static_cast<int>(std::lround((y + 1.0f) * 300.0f));
    }
    // A press and a release at the middle of the item.
    int Click(const InterfaceItem &item, uint32_t button = 1)
    {
        const float x = (item.x0 + item.x1) * 0.5f;
        const float y = (item.y0 + item.y1) * 0.5f;
        Move(x, y);
        MouseEvent press{};
        press.press = button;
        press.left = button == 1;
        press.right = button == 2;
        HandleItemInput(&page, &press);
        MouseEvent release{};
        release.release = button;
        const int taken = HandleItemInput(&page, &release);
        ItemUsedThisFrame = 0;
        return taken;
    }
    static std::vector<const InterfaceItem *> OfKind(int kind)
    {
        std::vector<const InterfaceItem *> found;
        for (int i = 0; i < InterfaceItemCount; ++i) {
            if (InterfaceItems[i].Kind == kind) {
                found.push_back(&InterfaceItems[i]);
            }
        }
        return found;
    }

    MenuPage page{};
};

const char *const Three[] = {"low", "middle", "high"};
const char *const Seven[] = {"a", "b", "c", "d", "e", "f", "g"};

TEST_F(RowBuildersTest, TheLayoutTableAndTheCurrentLayout)
{
    EXPECT_EQ(CurrentRowLayout, &RowLayouts[0]);
    const RowLayout &nine = RowLayouts[9];
    EXPECT_FLOAT_EQ(nine.labelX0, -0.85f);
    EXPECT_FLOAT_EQ(nine.valueX1, -0.15f);
    EXPECT_FLOAT_EQ(nine.helpX0, 0.25f);
    EXPECT_FLOAT_EQ(nine.rowHeight, 0.05f);
    EXPECT_FLOAT_EQ(RowLayouts[13].labelX0, -0.2f);
    EXPECT_FLOAT_EQ(RowLayouts[1].rowHeight, 0.1f);
    BeginRows("Title", 9, 1);
    EXPECT_EQ(CurrentRowLayout, &RowLayouts[9]);
    BeginRows("Title", 14, 1);  // out of the table
    EXPECT_EQ(CurrentRowLayout, &RowLayouts[0]);
}

TEST_F(RowBuildersTest, BeginRowsAndTheBottomBar)
{
    MessageTop = -1.0f;
    BeginRows("Options", 5, 1);
    EXPECT_FLOAT_EQ(MessageTop, -0.85f);
    ASSERT_EQ(InterfaceItemCount, 1);
    const InterfaceItem &title = InterfaceItems[0];
    EXPECT_EQ(title.Kind, ItemTitleBar);
    EXPECT_EQ(title.CodePage, 0);
    EXPECT_FLOAT_EQ(title.x0, -1.0f);
    EXPECT_FLOAT_EQ(title.y0, -1.0f);
    EXPECT_FLOAT_EQ(title.x1, 1.0f);
    EXPECT_FLOAT_EQ(title.y1, -0.85f);
    EXPECT_STREQ(static_cast<const char *>(title.Text.p), "Options");
    EXPECT_EQ(title.Colour, &InterfaceColours.titleGrey);

    EXPECT_EQ(BackButtonShown, 0u);
    AddBackButton(&page, 7, Changed);
    EXPECT_EQ(BackButtonShown, 1u);
    AddOkButton(&page, 8, Changed);
    AddForwardButton(&page, 9, Changed);
    AddForwardButton(&page, 10, Changed, "next", 0.1f);
    AddBackButtonWide(&page, 11, Changed, "cancel", &InterfaceColours.buttonAlt);
    AddPrevNextButtons(&page, Changed);
    ASSERT_EQ(InterfaceItemCount, 8);
    struct Expected {
        int kind;
        float x0, y0, x1, y1;
        const char *text;
        const Colour *colour;
        int param;
    };
    const Expected expected[] = {
        {ItemBarButton, -1.0f, 0.85f, -0.75f, 1.0f, Tx(Text_3a_backbutt), &InterfaceColours.buttonRed, 7},
        {ItemBarButton, -1.0f, 0.85f, -0.75f, 1.0f, Tx(Text_3a_capitlok), &InterfaceColours.buttonRed, 8},
        {ItemBarButton, 0.75f, 0.85f, 1.0f, 1.0f, Tx(Text_3a_capitlgo), &InterfaceColours.buttonGreen, 9},
        {ItemBarButton, 0.65f, 0.85f, 1.0f, 1.0f, "next", &InterfaceColours.buttonGreen, 10},
        {ItemBarButton, -1.0f, 0.85f, -0.65f, 1.0f, "cancel", &InterfaceColours.buttonAlt, 11},
        {ItemPlainButton, -0.15f, 0.85f, 0.0f, 0.95f, "\x8b", &InterfaceColours.textUnselected, 0},
        {ItemPlainButton, 0.0f, 0.85f, 0.15f, 0.95f, "\x9b", &InterfaceColours.textUnselected, 1},
    };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const InterfaceItem &item = InterfaceItems[i + 1];
        const Expected &e = expected[i];
        EXPECT_EQ(item.Kind, e.kind);
        EXPECT_FLOAT_EQ(item.x0, e.x0);
        EXPECT_FLOAT_EQ(item.y0, e.y0);
        EXPECT_FLOAT_EQ(item.x1, e.x1);
        EXPECT_FLOAT_EQ(item.y1, e.y1);
        EXPECT_STREQ(static_cast<const char *>(item.Text.p), e.text);
        EXPECT_EQ(item.Colour, e.colour);
        EXPECT_EQ(item.Param.i, e.param);
        EXPECT_EQ(item.Owner, &page);
    }
    EXPECT_STREQ(Tx(Text_3a_backbutt), "back");
    EXPECT_STREQ(Tx(Text_3a_capitlok), "OK");
    EXPECT_STREQ(Tx(Text_3a_capitlgo), "GO");
    EXPECT_EQ(InterfaceItems[6].CodePage, 0);  // the arrows are not translated

    // The back button's click reaches its callback.
    Click(InterfaceItems[1]);
    EXPECT_EQ(ChangeCalls, 1);
}

TEST_F(RowBuildersTest, ChoiceRowsSelectClearAndReverse)
{
    struct Case {
        int mode;
        int clickButton;     // which button, left to right
        int expectedValue;   // after the click
        int selectedButton;  // the button drawn selected for the value 1
        bool selectedKeepsCallback;
    };
    const Case cases[] = {
        {0, 1, 1, 1, false},   // clicking the selection keeps it
        {0, 2, 2, 1, false},
        {1, 0, 2, 1, false},   // reversed: the first button stands for index 2
        {1, 2, 0, 1, false},
        {2, 1, -1, 1, false},  // clicking the selection clears it
        {2, 0, 0, 1, false},
        {3, 1, 1, 1, true},    // the selection keeps its change callback
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " button " << c.clickButton);
        BeginFrame();
        ChangeCalls = 0;
        int value = 1;
        AddChoiceRow(&page, "Choice", -0.5f, &value, 3, Three, Changed, c.mode, nullptr);
        const std::vector<const InterfaceItem *> buttons = OfKind(ItemChoice);
        ASSERT_EQ(buttons.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const InterfaceItem &button = *buttons[i];
            const int index = c.mode == 1 ? 2 - i : i;
            EXPECT_EQ(button.Arg.i, index);
            EXPECT_STREQ(*static_cast<const char *const *>(button.Text.p), Three[index]);
            const bool selected = i == c.selectedButton;
            EXPECT_EQ(button.Colour, selected ? &InterfaceColours.textSelected : &InterfaceColours.textUnselected);
            const bool hasCallback = !selected || c.selectedKeepsCallback;
            EXPECT_EQ(button.Arg2.call == Changed, hasCallback) << i;
        }
        Click(*buttons[c.clickButton]);
        EXPECT_EQ(value, c.expectedValue);
        const bool clickedSelected = c.clickButton == c.selectedButton;
        EXPECT_EQ(ChangeCalls, clickedSelected && !c.selectedKeepsCallback ? 0 : 1);
    }
}

TEST_F(RowBuildersTest, TheLastChoiceEndsExactlyAtTheValueColumnsEnd)
{
    for (int layout = 0; layout < RowLayoutCount; ++layout) {
        for (int count : {3, 7}) {
            SCOPED_TRACE(testing::Message() << "layout " << layout << " count " << count);
            BeginFrame();
            BeginRows("t", layout, 1);
            int value = 0;
            AddChoiceRow(&page, "c", 0.0f, &value, count, count == 3 ? Three : Seven, nullptr, 0, nullptr);
            const std::vector<const InterfaceItem *> buttons = OfKind(ItemChoice);
            ASSERT_EQ(buttons.size(), static_cast<size_t>(count));
            EXPECT_EQ(buttons.back()->x1, RowLayouts[layout].valueX1);
            EXPECT_EQ(buttons.front()->x0, RowLayouts[layout].valueX0);
            for (int i = 1; i < count; ++i) {
                EXPECT_EQ(buttons[i]->x0, buttons[i - 1]->x1);  // no gap, no overlap
            }
        }
    }
}

TEST_F(RowBuildersTest, ScrollBarHeights)
{
    struct Case {
        float height;
        bool up;
        float upHeight;
        bool track;
    };
    const Case cases[] = {
        {0.13f, true, 0.04f, true},
        {0.121f, true, 0.04f, true},
        {0.1f, true, 0.05f, false},
        {0.081f, true, 0.0405f, false},
        {0.07f, false, 0.0f, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.height);
        BeginFrame();
        int scroll = 3;
        // From 0, so that the height is exactly the case's.
        const float y0 = 0.0f;
        const float y1 = c.height;
        AddScrollBar(&page, -0.6f, 0.5f, y0, 0.525f, y1, &scroll, 10, 40);
        const std::vector<const InterfaceItem *> up = OfKind(ItemListUp);
        const std::vector<const InterfaceItem *> down = OfKind(ItemListDown);
        const std::vector<const InterfaceItem *> track = OfKind(ItemScrollBar);
        const std::vector<const InterfaceItem *> area = OfKind(ItemListArea);
        ASSERT_EQ(up.size(), c.up ? 1u : 0u);
        ASSERT_EQ(track.size(), c.track ? 1u : 0u);
        ASSERT_EQ(down.size(), 1u);
        ASSERT_EQ(area.size(), 1u);
        float downTop = y0;
        if (c.up) {
            EXPECT_FLOAT_EQ(up[0]->y0, y0);
            EXPECT_NEAR(up[0]->y1 - up[0]->y0, c.upHeight, 1e-6);
            EXPECT_EQ(up[0]->CodePage, 10);
            // The down arrow is as high as the up arrow, under the track.
            downTop = y1 - (up[0]->y1 - up[0]->y0);
            EXPECT_NEAR(down[0]->y0, downTop, 1e-6);
        }
        if (c.track) {
            EXPECT_FLOAT_EQ(track[0]->y0, y0 + 0.04f);
            EXPECT_FLOAT_EQ(track[0]->y1, y1 - 0.04f);
            EXPECT_EQ(track[0]->Owner, nullptr);
        }
        if (!c.up) {
            EXPECT_EQ(down[0]->y0, y0);
        }
        EXPECT_EQ(down[0]->y1, y1);
        EXPECT_EQ(down[0]->CodePage, 10);
        EXPECT_FLOAT_EQ(down[0]->x0, 0.5f);
        EXPECT_FLOAT_EQ(down[0]->x1, 0.525f);
        // The list area spans the list and the bar, and takes the wheel.
        EXPECT_FLOAT_EQ(area[0]->x0, -0.6f);
        EXPECT_FLOAT_EQ(area[0]->x1, 0.525f);
        EXPECT_EQ(area[0]->y0, y0);
        EXPECT_EQ(area[0]->y1, y1);
        EXPECT_EQ(area[0]->Colour, &MessageColours[ColourGrey]);
        EXPECT_EQ(area[0]->Owner, nullptr);
        for (const InterfaceItem *item : {down[0], area[0]}) {
            EXPECT_EQ(item->Param.p, &scroll);
            EXPECT_EQ(item->Text.i, 3);
            EXPECT_EQ(item->Arg.i, 13);
            EXPECT_EQ(item->Arg2.i, 40);
        }
    }
}

TEST_F(RowBuildersTest, ScrollBarArrowsAndWheelMoveTheListWithinIt)
{
    int scroll = 29;
    const auto frame = [&]() {
        BeginFrame();
        AddScrollBar(&page, -0.6f, 0.5f, 0.0f, 0.525f, 0.5f, &scroll, 10, 40);
    };
    frame();
    Click(*OfKind(ItemListDown)[0]);
    EXPECT_EQ(scroll, 30);
    frame();
    Click(*OfKind(ItemListDown)[0]);
    EXPECT_EQ(scroll, 30);  // the last full page
    frame();
    Click(*OfKind(ItemListUp)[0]);
    EXPECT_EQ(scroll, 29);
    frame();
    Move(-0.3f, 0.25f);
    MouseEvent wheel{};
    wheel.wheel = 1;
    EXPECT_EQ(HandleItemInput(&page, &wheel), 1);
    EXPECT_EQ(scroll, 28);

    // The track between the arrows takes a drag: down by a quarter of the
    // bar moves by a quarter of the list.
    scroll = 0;
    frame();
    const InterfaceItem &track = *OfKind(ItemScrollBar)[0];
    Move(0.5125f, 0.1f);
    MouseEvent press{};
    press.press = 1;
    press.left = 1;
    HandleItemInput(&page, &press);
    ASSERT_EQ(ItemDragState.kind, DragScrollBar);
    Move(0.5125f, 0.1f + (track.y1 - track.y0) * 0.25f);
    MouseEvent drag{};
    drag.left = 1;
    HandleItemInput(&page, &drag);
    EXPECT_NEAR(scroll, 10, 1);
    MouseEvent release{};
    release.release = 1;
    HandleItemInput(&page, &release);
    ItemDragState = ItemDrag{};
}

TEST_F(RowBuildersTest, SliderRowsStepByTheirFormat)
{
    float value = 0.5f;
    const auto frame = [&]() {
        BeginFrame();
        AddSliderRow(&page, "Gain %.1f", 0.0f, &value, 0.0f, 2.0f, Changed);
    };
    frame();
    const RowLayout &layout = *CurrentRowLayout;
    const InterfaceItem &label = *OfKind(ItemFloatLeft)[0];
    EXPECT_FLOAT_EQ(label.Param.f, 0.5f);
    EXPECT_FLOAT_EQ(label.x0, layout.labelX0);
    const InterfaceItem &minus = *OfKind(ItemFloatMinus)[0];
    const InterfaceItem &plus = *OfKind(ItemFloatPlus)[0];
    const InterfaceItem &slider = *OfKind(ItemFloatSlider)[0];
    EXPECT_FLOAT_EQ(minus.x0, layout.valueX0);
    EXPECT_FLOAT_EQ(minus.x1, layout.valueX0 + 0.03f);
    EXPECT_FLOAT_EQ(plus.x0, layout.valueX1 - 0.03f);
    EXPECT_FLOAT_EQ(plus.x1, layout.valueX1);
    EXPECT_FLOAT_EQ(slider.x0, minus.x1);
    EXPECT_FLOAT_EQ(slider.x1, plus.x0);
    EXPECT_FLOAT_EQ(slider.y0, 0.005f);
    EXPECT_FLOAT_EQ(slider.y1, layout.rowHeight - 0.005f);
    EXPECT_EQ(slider.Colour, &InterfaceColours.bigText);
    EXPECT_FLOAT_EQ(slider.Text.f, 0.0f);
    EXPECT_FLOAT_EQ(slider.Arg.f, 2.0f);

    Click(*OfKind(ItemFloatPlus)[0]);
    EXPECT_NEAR(value, 0.6f, 1e-6);
    EXPECT_EQ(ChangeCalls, 1);
    frame();
    Click(*OfKind(ItemFloatPlus)[0], 2);  // the right button: ten steps
    EXPECT_NEAR(value, 1.6f, 1e-5);
    frame();
    Click(*OfKind(ItemFloatPlus)[0], 2);
    EXPECT_FLOAT_EQ(value, 2.0f);  // stops at the maximum
    frame();
    Click(*OfKind(ItemFloatMinus)[0]);
    EXPECT_NEAR(value, 1.9f, 1e-6);

    float angle = 0.0f;
    BeginFrame();
    AddAngleSliderRow(&page, "Angle %.0f", 0.1f, &angle, -1.0f, 1.0f, nullptr);
    EXPECT_EQ(OfKind(ItemFloatDegrees).size(), 1u);
    EXPECT_EQ(OfKind(ItemAngleSlider).size(), 1u);
    Click(*OfKind(ItemFloatPlus)[0]);
    EXPECT_NEAR(angle, 3.14159265f / 180.0f, 1e-6);
}

TEST_F(RowBuildersTest, SpinRowArrowsCallTheirCallbackOrArePassive)
{
    std::vector<intptr_t> params;
    static std::vector<intptr_t> *seen = nullptr;
    seen = &params;
    const ItemCallback spin = [](MenuPage *, intptr_t, intptr_t param) { seen->push_back(param); };
    // A layout whose value columns are wider than the two arrows.
    BeginRows("t", 5, 1);
    AddSpinRow(&page, "Laps", "%d", 0.0f, 5, 20, spin, nullptr);
    std::vector<const InterfaceItem *> arrows = OfKind(ItemButton);
    ASSERT_EQ(arrows.size(), 2u);
    const RowLayout &layout = *CurrentRowLayout;
    EXPECT_FLOAT_EQ(arrows[0]->x0, layout.valueX0);
    EXPECT_FLOAT_EQ(arrows[0]->x1, layout.valueX0 + 0.1f);
    EXPECT_FLOAT_EQ(arrows[1]->x0, layout.valueX1 - 0.1f);
    EXPECT_FLOAT_EQ(arrows[1]->x1, layout.valueX1);
    const InterfaceItem &number = *OfKind(ItemIntegerValue)[0];
    EXPECT_EQ(number.Param.i, 5);
    EXPECT_EQ(number.Owner, nullptr);
    Click(*arrows[0]);
    Click(*arrows[1]);
    EXPECT_EQ(params, (std::vector<intptr_t>{20, 21}));

    BeginFrame();
    AddSpinRow(&page, "Laps", "%d", 0.0f, 5, 20, nullptr, nullptr);
    arrows = OfKind(ItemButton);
    ASSERT_EQ(arrows.size(), 2u);
    for (const InterfaceItem *arrow : arrows) {
        EXPECT_EQ(arrow->Owner, nullptr);
        EXPECT_EQ(arrow->Colour, &InterfaceColours.textUnavailable);
    }
    seen = nullptr;
}

TEST_F(RowBuildersTest, CycleToggleAndButtonRowsChangeTheirVariables)
{
    int cycle = 2;
    int bits = 0x5;
    const char *const onOff[] = {"off", "on"};
    const auto frame = [&]() {
        BeginFrame();
        AddCycleRow(&page, "Cycle", 0.0f, &cycle, 3, Three, Changed, nullptr);
        AddToggleRow(&page, "Toggle", 0.1f, &bits, 0x4, onOff, Changed);
    };
    frame();
    const RowLayout &layout = *CurrentRowLayout;
    const InterfaceItem &cycleItem = *OfKind(ItemCycle)[0];
    EXPECT_FLOAT_EQ(cycleItem.x0, layout.valueX0);
    EXPECT_FLOAT_EQ(cycleItem.x1, layout.valueX1);
    EXPECT_FLOAT_EQ(cycleItem.y1, layout.rowHeight);
    const std::vector<const InterfaceItem *> labels = OfKind(ItemPanelRowLabel);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->Colour, &InterfaceColours.textUnselected);
    EXPECT_EQ(labels[0]->Owner, &page);
    EXPECT_EQ(labels[0]->Callback, nullptr);
    Click(cycleItem);
    EXPECT_EQ(cycle, 0);  // 2 + 1 mod 3
    EXPECT_EQ(ChangeCalls, 1);
    EXPECT_EQ(ChangeOwner, &page);
    frame();
    Click(*OfKind(ItemToggle)[0]);
    EXPECT_EQ(bits, 0x1);
    frame();
    Click(*OfKind(ItemToggle)[0]);
    EXPECT_EQ(bits, 0x5);
    EXPECT_EQ(ChangeCalls, 3);

    // A button row without a callback is passive and greyed.
    BeginFrame();
    AddButtonRow(&page, "Action", 0.0f, "do", 3, nullptr, nullptr);
    const InterfaceItem &button = *OfKind(ItemPlainButton)[0];
    EXPECT_EQ(button.Owner, nullptr);
    EXPECT_EQ(button.Colour, &InterfaceColours.textUnavailable);
    EXPECT_EQ(OfKind(ItemFloatLeft).size(), 1u);
    BeginFrame();
    AddInfoRow(&page, "Info", 0.0f, "fixed", nullptr);
    EXPECT_EQ(OfKind(ItemButton)[0]->Owner, nullptr);
    EXPECT_EQ(OfKind(ItemButton)[0]->Colour, &InterfaceColours.textUnavailable);
}

TEST_F(RowBuildersTest, HelpButtonsOpenTheHelpScreenAsAChild)
{
    int value = 0;
    BeginRows("t", 6, 1);
    AddCycleRow(&page, "Mirror", 0.0f, &value, 2, Three, nullptr, "mirror_help");
    const std::vector<const InterfaceItem *> help = OfKind(ItemHelp);
    ASSERT_EQ(help.size(), 1u);
    const RowLayout &layout = RowLayouts[6];
    EXPECT_FLOAT_EQ(help[0]->x0, layout.helpX0);
    EXPECT_FLOAT_EQ(help[0]->x1, layout.helpX1);
    EXPECT_STREQ(static_cast<const char *>(help[0]->Param.p), "Mirror");
    EXPECT_STREQ(static_cast<const char *>(help[0]->Arg.p), "mirror_help");
    InitMenuPage(&page, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
    InitMenuPage(&HelpPage, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
    Click(*help[0]);
    EXPECT_EQ(Help.calls, 1);
    EXPECT_EQ(Help.parent, &page);
    EXPECT_EQ(Help.title, "Mirror");
    EXPECT_EQ(Help.section, "mirror_help");
    EXPECT_EQ(Help.mode, 0);
    EXPECT_EQ(page.Child, &HelpPage);

    // Without a help id no "?"; without the help screen a click does nothing.
    page.Child = nullptr;
    BeginFrame();
    AddCycleRow(&page, "Mirror", 0.0f, &value, 2, Three, nullptr, nullptr);
    EXPECT_TRUE(OfKind(ItemHelp).empty());
    SetUiServices(UiServices{});
    BeginFrame();
    AddCycleRow(&page, "Mirror", 0.0f, &value, 2, Three, nullptr, "mirror_help");
    Click(*OfKind(ItemHelp)[0]);
    EXPECT_EQ(page.Child, nullptr);
}

TEST_F(RowBuildersTest, TextFieldsOpenTheEntryWithTheirArguments)
{
    char name[32] = "Driver";
    AddPasswordFieldRow(&page, "Password", 0.0f, name, 32, nullptr, Changed);
    const InterfaceItem &field = *OfKind(ItemPasswordField)[0];
    EXPECT_EQ(field.Colour, &InterfaceColours.textString);
    EXPECT_EQ(field.CodePage, 0);
    EXPECT_EQ(field.Arg.i, 32);
    Click(field);
    ASSERT_EQ(Dialog.calls, 1);
    EXPECT_EQ(Dialog.page, &page);
    EXPECT_EQ(Dialog.answer, StoreFieldText);
    EXPECT_EQ(Dialog.title, "Password");
    EXPECT_EQ(Dialog.maxLength, 32);
    EXPECT_EQ(Dialog.answerValue, 32);
    EXPECT_EQ(Dialog.initial, "Driver");
    EXPECT_EQ(Dialog.cursor, 0);
    EXPECT_EQ(Dialog.mode, 2);
    EXPECT_EQ(Dialog.filePattern, nullptr);

    // The dialog answers with 120 bytes: 31 of them and a terminator fit.
    const std::string answer(120, 'x');
    Dialog.answer(&page, answer.c_str(), Dialog.answerValue);
    EXPECT_EQ(std::string(name), std::string(31, 'x'));
    EXPECT_EQ(name[31], 0);
    EXPECT_EQ(ChangeCalls, 1);

    // Kinds 8 and 10 give entry modes 0 and 3.
    char other[16] = "";
    BeginFrame();
    AddTextFieldRow(&page, "Name", 0.0f, other, 16, nullptr, nullptr);
    AddTextFieldRow10(&page, "Tag", 0.2f, other, 16, nullptr, nullptr);
    Click(*OfKind(ItemTextField)[0]);
    EXPECT_EQ(Dialog.mode, 0);
    Click(*OfKind(ItemTextField2)[0]);
    EXPECT_EQ(Dialog.mode, 3);
}

TEST_F(RowBuildersTest, StoreFieldTextNeverReadsOrWritesPastItsLimits)
{
    struct Case {
        int fieldSize;
        intptr_t length;  // the answer value handed back
        size_t answerLength;
        size_t stored;
    };
    const Case cases[] = {
        {32, 32, 120, 31},
        {200, 200, 300, 96},  // the dialog's entry holds 96 bytes at most
        {200, 200, 10, 10},
        {8, 200, 50, 7},      // a length beyond the field: the field's size holds
        {32, 0, 20, 0},
        {1, 1, 5, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.fieldSize << " " << c.length << " " << c.answerLength);
        std::vector<char> field(static_cast<size_t>(c.fieldSize) + 8, '#');
        field[0] = 0;  // the field's text the dialog starts with
        ChangeCalls = 0;
        OpenFieldEntry(&page, c.fieldSize, field.data(), "t", 0, Changed);
        std::string answer(c.answerLength, 'a');
        StoreFieldText(&page, answer.c_str(), c.length);
        EXPECT_EQ(std::strlen(field.data()), c.stored);
        for (size_t i = static_cast<size_t>(c.fieldSize); i < field.size(); ++i) {
            EXPECT_EQ(field[i], '#') << "written past the field at " << i;
        }
        EXPECT_EQ(ChangeCalls, 1);
    }
}

TEST_F(RowBuildersTest, ColourRowsEditTheRecord)
{
    Colour colour{10, 20, 30, 0};
    AddColourRow(&page, "Car", 0.0f, &colour, 0, 255, Changed);
    const RowLayout &layout = *CurrentRowLayout;
    const InterfaceItem &box = *OfKind(ItemColourBox)[0];
    EXPECT_EQ(box.Colour, &colour);
    EXPECT_FLOAT_EQ(box.x0, layout.valueX0);
    EXPECT_FLOAT_EQ(box.x1, (layout.valueX0 + layout.valueX1) * 0.5f);
    EXPECT_FLOAT_EQ(box.y1, 2.0f * layout.rowHeight);
    const std::vector<const InterfaceItem *> parts = OfKind(ItemColourComponent);
    ASSERT_EQ(parts.size(), 3u);
    const Colour *tracks[3] = {&ColourComponentRed, &ColourComponentGreen, &ColourComponentBlue};
    const uint8_t *bytes[3] = {&colour.red, &colour.green, &colour.blue};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(parts[i]->Colour, tracks[i]);
        EXPECT_EQ(parts[i]->Param.p, bytes[i]);
        EXPECT_FLOAT_EQ(parts[i]->x0, box.x1);
        EXPECT_FLOAT_EQ(parts[i]->x1, layout.valueX1);
        EXPECT_NEAR(parts[i]->y1 - parts[i]->y0, 2.0f * layout.rowHeight / 3.0f, 1e-6);
    }
    EXPECT_EQ(parts[2]->y1, box.y1);
    EXPECT_EQ(ColourComponentRed.red, 255);
    EXPECT_EQ(ColourComponentRed.green, 0);
    EXPECT_EQ(ColourComponentBlue.blue, 255);

    // A drag on the green slider from its middle to its right end.
    const InterfaceItem &green = *parts[1];
    Move((green.x0 + green.x1) * 0.5f, (green.y0 + green.y1) * 0.5f);
    MouseEvent press{};
    press.press = 1;
    press.left = 1;
    HandleItemInput(&page, &press);
    Move(green.x1, (green.y0 + green.y1) * 0.5f);
    MouseEvent drag{};
    drag.left = 1;
    HandleItemInput(&page, &drag);
    EXPECT_GT(colour.green, 20);
    EXPECT_EQ(colour.red, 10);
    MouseEvent release{};
    release.release = 1;
    HandleItemInput(&page, &release);
}

TEST_F(RowBuildersTest, RowLabelButtonsAndTheirNote)
{
    BeginRows("t", 3, 0);
    AddRowLabelButton(&page, "Car", "new", 0.2f, 4, Changed);
    AddRowButton4(&page, "Four", 0.3f, 5, Changed);
    AddRowButton(&page, "Six", 0.4f, 6, Changed, &InterfaceColours.buttonAlt);
    AddTextFieldAt(&page, "Host", -0.9f, -0.5f, 0.2f, 0.5f, nullptr, 10);
    const RowLayout &layout = RowLayouts[3];
    const InterfaceItem &button = *OfKind(ItemRowLabel)[0];
    EXPECT_FLOAT_EQ(button.x0, layout.labelX0);
    EXPECT_FLOAT_EQ(button.x1, layout.labelX1);
    EXPECT_EQ(button.Colour, &InterfaceColours.bigText);
    const InterfaceItem &note = *OfKind(ItemTextLine)[0];
    EXPECT_EQ(note.Owner, nullptr);
    EXPECT_EQ(note.Arg.i, -1);
    EXPECT_FLOAT_EQ(note.x0, layout.labelX1 - 0.15f);
    EXPECT_FLOAT_EQ(note.x1, layout.labelX1);
    EXPECT_FLOAT_EQ(note.y0, 0.2f + 0.167f * 0.1f);
    EXPECT_FLOAT_EQ(note.y1, 0.3f - 0.167f * 0.1f);
    EXPECT_EQ(OfKind(ItemPlainButton)[0]->Param.i, 5);
    EXPECT_EQ(OfKind(ItemRowButton)[0]->Colour, &InterfaceColours.buttonAlt);
    const InterfaceItem &field = *OfKind(ItemTextField)[0];
    EXPECT_FLOAT_EQ(field.x0, -0.5f);
    EXPECT_FLOAT_EQ(field.x1, 0.2f);
    const InterfaceItem &hostLabel = *OfKind(ItemPanelRowLabel)[0];
    EXPECT_FLOAT_EQ(hostLabel.x0, -0.9f);
    EXPECT_FLOAT_EQ(hostLabel.x1, -0.5f);
}

}  // namespace
