// Text on the screen: the real main loop on the OpenGL device under a
// display, a page that draws texts directly, three message lines, and the
// frame taken by the program's own screenshot function and measured.
#include "tests/app/picture_fixture.h"

#include <gtest/gtest.h>

#include "app/window_proc.h"
#include "core/colour.h"
#include "ui/message_lines.h"
#include "ui/font.h"
#include "ui/interface_draw.h"
#include "ui/text_batch.h"
#include "ui/text_draw.h"
#include "platform/keys.h"
#include "platform/window.h"

namespace {

using namespace picture_test;

// What the page draws, in screen units.
constexpr float TextX = -0.9f;
constexpr float LatinY[3] = {-0.35f, -0.2f, 0.0f};
constexpr float LatinSize[3] = {0.03f, 0.05f, 0.08f};
constexpr float CyrillicY = 0.25f;
constexpr float GreekY = 0.4f;
constexpr float ChineseY = 0.6f;
constexpr float LineSize = 0.05f;
const char *const LatinText = "^1Red ^2Green ^7white ^3Yellow";
const char *const Cyrillic = "^C\xcf\xf0\xe8\xe2\xe5\xf2";    // Privet in code page 1251
const char *const Greek = "^G\xca\xe1\xeb\xe7\xec\xdd\xf1\xe1";   // Kalimera in code page 1253
const char *const Chinese = "^S\xd6\xd0\xce\xc4";              // zhong wen in code page 936

MenuPage *DrawTexts(MenuPage *page)
{
    for (int i = 0; i < 3; ++i) {
        DrawCodedText(LatinText, TextX, LatinY[i], LatinSize[i], 2.0f * LatinSize[i], 0, 0xffc0c0c0u, 0xffc0c0c0u,
                      CursorNone, 0);
    }
    ItalicShift = 0.125f * 0.1f;
    DrawCodedText("Italic title", 0.3f, -0.35f, 0.05f, 0.1f, ClipItalic, 0xffffffffu, 0xffffffffu, CursorNone, 0);
    DrawTextOneColour(Cyrillic, TextX, CyrillicY, LineSize, 2.0f * LineSize, 0xffffffffu, CursorNone, 0);
    DrawTextOneColour(Greek, TextX, GreekY, LineSize, 2.0f * LineSize, 0xffffffffu, CursorNone, 0);
    DrawTextOneColour(Chinese, TextX, ChineseY, LineSize, 2.0f * LineSize, 0xffffffffu, CursorNone, 0);
    return page;
}

const std::string ReferencePath = std::string(KZV_TEST_DATA_DIR) + "/text_picture_reference.pgm";

class TextPictureTest : public ProgramPictureTest {
protected:
    std::string Config() const override
    {
        return "Start Windowed 1\nWindow 80 80 880 680\nMessage Size 0.05\nPly Name Tester\n";
    }
};

TEST_F(TextPictureTest, TextsAndMessageLinesShowInTheirColours)
{
    OnSleep = [](int n) {
        if (n == 4) {
            ClearMessageLines();
            PrintMessage("Salmon warning line", &MessageColours[ColourSalmon]);
            PrintMessage("Orange line", &MessageColours[ColourOrange]);
            PrintMessage("Grey information", &MessageColours[ColourLightGrey]);
            CurrentScreen->Run = DrawTexts;
        }
        if (n == 8) {
            ScreenshotRequest = 1;
        }
        // The own chat line: F3 sends its function-key text ("good pass")
        // as this program's connection, 0.
        if (n == 10) {
            ClearMessageLines();
            PlatformEvent event{};
            event.kind = PlatformEventKeyDown;
            event.key = VkF3;
            MainWindowProc(event);
            event.kind = PlatformEventKeyUp;
            MainWindowProc(event);
        }
        if (n == 14) {
            ScreenshotRequest = 1;
        }
        if (n == 16) {
            RequestQuit();
        }
    };
    ASSERT_EQ(RunOnFakeClock(), 0);

    Picture shot;
    ASSERT_TRUE(ReadShot(1, &shot));
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    ExpectMatchesReference(shot, ReferencePath);

    // The program has freed its font: the measuring below reads it again.
    ASSERT_EQ(InitFont(FontFilePath), 1);
    TextWidthScale = 1.0f;
    const uint8_t *corner = shot.At(shot.width - 1, shot.height - 1);
    const uint8_t background[3] = {corner[0], corner[1], corner[2]};
    auto isBackground = [&](int r, int g, int b) {
        return std::abs(r - background[0]) < 8 && std::abs(g - background[1]) < 8 && std::abs(b - background[2]) < 8;
    };
    auto near = [](int r, int g, int b, const Colour &c) {
        return std::abs(r - c.red) < 40 && std::abs(g - c.green) < 40 && std::abs(b - c.blue) < 40;
    };

    // The red and the green word of each size.
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const float size = LatinSize[i];
        const float red = MeasureCodedText("Red ", size, 0);
        const float green = MeasureCodedText("Green ", size, 0);
        const float y0 = LatinY[i];
        const float y1 = y0 + 2.0f * size;
        EXPECT_GT(shot.Count(TextX, y0, TextX + red, y1,
                             [](int r, int g, int b) { return r > 200 && g < 60 && b < 60; }),
                  5);
        EXPECT_GT(shot.Count(TextX + red, y0, TextX + red + green, y1,
                             [](int r, int g, int b) { return g > 200 && r < 60 && b < 60; }),
                  5);
        // No red in the green word's box.
        EXPECT_EQ(shot.Count(TextX + red + 0.01f, y0, TextX + red + green, y1,
                             [](int r, int g, int b) { return r > 200 && g < 60 && b < 60; }),
                  0);
    }

    // The message lines, top left, one under the other in their colours,
    // and nothing right of their measured widths.
    const char *lines[3] = {"Salmon warning line", "Orange line", "Grey information"};
    const Colour colours[3] = {MessageColours[ColourSalmon], MessageColours[ColourOrange],
                               MessageColours[ColourLightGrey]};
    const float messageSize = 0.05f;
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(lines[k]);
        const float y0 = -1.0f + messageSize * static_cast<float>(k);
        const float x0 = 0.1f * messageSize - 1.0f;
        const float width = MeasureCodedText(lines[k], 0.5f * messageSize, 0);
        const Colour c = colours[k];
        EXPECT_GT(shot.Count(x0, y0, x0 + width, y0 + messageSize, [&](int r, int g, int b) { return near(r, g, b, c); }),
                  10);
        EXPECT_EQ(shot.Count(x0 + width + 0.01f, y0 + 0.005f, 0.2f, y0 + messageSize - 0.005f,
                             [&](int r, int g, int b) { return !isBackground(r, g, b); }),
                  0);
    }

    // Cyrillic, Greek and the cached Chinese characters leave ink.
    for (const float y : {CyrillicY, GreekY, ChineseY}) {
        EXPECT_GT(shot.Count(TextX, y, TextX + 0.4f, y + 2.0f * LineSize,
                             [&](int r, int g, int b) { return r > 128 && g > 128 && b > 128; }),
                  40)
            << y;
    }
    // Between the lines only the background.
    EXPECT_EQ(shot.Count(-1.0f, 0.16f, 1.0f, 0.24f, [&](int r, int g, int b) { return !isBackground(r, g, b); }), 0);
    EXPECT_EQ(shot.Count(-1.0f, 0.72f, 1.0f, 1.0f, [&](int r, int g, int b) { return !isBackground(r, g, b); }), 0);

    // The own chat line, alone at the top: the name in white, then " : " and
    // the chat text in green, and nothing beyond it.
    Picture chat;
    ASSERT_TRUE(ReadShot(2, &chat, ".chat.bmp"));
    ASSERT_EQ(chat.width, 800);
    ASSERT_EQ(chat.height, 600);
    const float y0 = -1.0f;
    const float y1 = y0 + messageSize;
    const float x0 = 0.1f * messageSize - 1.0f;
    const float name = MeasureCodedText("^7Tester", 0.5f * messageSize, 0);
    const float prefix = MeasureCodedText("^7Tester ^7: ", 0.5f * messageSize, 0);
    const float whole = MeasureCodedText("^7Tester ^7: ^8good pass", 0.5f * messageSize, 0);
    auto white = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
    const Colour green = MessageColours[ColourGreen];
    auto isGreen = [&](int r, int g, int b) { return near(r, g, b, green) && g > r + 60 && g > b + 60; };
    EXPECT_GT(chat.Count(x0, y0, x0 + name, y1, white), 20);
    EXPECT_EQ(chat.Count(x0, y0, x0 + name, y1, isGreen), 0);
    EXPECT_GT(chat.Count(x0 + prefix, y0, x0 + whole, y1, isGreen), 20);
    EXPECT_EQ(chat.Count(x0 + prefix, y0, x0 + whole, y1, white), 0);
    EXPECT_EQ(chat.Count(x0 + whole + 0.01f, y0 + 0.005f, 0.2f, y1 - 0.005f,
                         [&](int r, int g, int b) { return !isBackground(r, g, b); }),
              0);
    // The second line's place is empty: the chat is one line.
    EXPECT_EQ(chat.Count(-1.0f, y1 + 0.005f, -0.2f, y1 + messageSize,
                         [&](int r, int g, int b) { return !isBackground(r, g, b); }),
              0);
}

}  // namespace
