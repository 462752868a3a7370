// The entry page on the screen: the real main loop runs it on the OpenGL
// device at 800 x 600, mouse events go through the window layer, and four
// frames are taken by the program's own screenshot function: the idle page,
// the page with three message lines, "exit" held down, and the page after
// the lines have run out.
#include "tests/app/picture_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "app/window_proc.h"
#include "core/colour.h"
#include "ui/interface_items.h"
#include "ui/message_lines.h"
#include "platform/window.h"

namespace {

using namespace picture_test;

const std::string ReferenceDir = KZV_TEST_DATA_DIR;

// The page's layout in screen units.
constexpr float ChoiceLeft = 0.35f;
constexpr float ChoiceRight = 0.9f;
constexpr float ChoiceTop = -0.3625f;
constexpr float ChoiceHeight = 0.1f;
constexpr float ChoiceGap = 0.025f;
constexpr float ExitLeft = -1.0f;
constexpr float ExitRight = -0.75f;
constexpr float ExitTop = 0.85f;

// The steps of the run, by the sleep they happen at (from the first frame
// with the page's items).
int ItemsAt = 0;

void Mouse(PlatformEventKind kind, float x, float y)
{
    PlatformEvent event{};
    event.kind = kind;
    event.x = static_cast<int>((x + 1.0f) * 0.5f * static_cast<float>(ScreenWidth));
    event.y = static_cast<int>((y + 1.0f) * 0.5f * static_cast<float>(ScreenHeight));
    event.button = PlatformMouseLeft;
    event.buttons = kind == PlatformEventButtonDown ? PlatformMouseLeft : 0;
    MainWindowProc(event);
}

void Step(int n)
{
    if (ItemsAt == 0) {
        if (InterfaceItemCount > 0) {
            ItemsAt = n;
            ClearMessageLines();   // the start-up warnings of the data the run folder lacks
        }
        return;
    }
    const int step = n - ItemsAt;
    switch (step) {
    case 3:
    case 9:
    case 14:
    case 22:
        ScreenshotRequest = 1;
        break;
    case 5:
        ClearMessageLines();   // the first shot's path
        PrintMessage("Salmon warning line", &MessageColours[ColourSalmon]);
        PrintMessage("Orange line", &MessageColours[ColourOrange]);
        PrintMessage("Green chat line", &MessageColours[ColourGreen]);
        break;
    case 11:
        Mouse(PlatformEventMouseMove, -0.98f, 0.9f);
        Mouse(PlatformEventButtonDown, -0.98f, 0.9f);
        break;
    case 16:
        // Released away from "exit": nothing is activated.
        Mouse(PlatformEventMouseMove, 0.0f, 0.5f);
        Mouse(PlatformEventButtonUp, 0.0f, 0.5f);
        break;
    case 18:
        NowMs += 6500;   // the message lines run out, the shots' paths with them
        break;
    case 25:
        RequestQuit();
        break;
    default:
        break;
    }
}

int Luminance(const uint8_t *p)
{
    return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
}

class EntryPagePictureTest : public ProgramPictureTest {
protected:
    std::string Config() const override { return "Start Windowed 1\nWindow 80 80 880 680\nMessage Size 0.05\n"; }
};

TEST_F(EntryPagePictureTest, IdleMessagesPressedExitAndExpiredLines)
{
    ItemsAt = 0;
    OnSleep = Step;
    ASSERT_EQ(RunOnFakeClock(), 0);
    ASSERT_NE(ItemsAt, 0);
    EXPECT_EQ(ExitState, 0) << "the release away from exit activated it";

    Picture shots[4];
    const char *names[4] = {"idle", "messages", "pressed", "expired"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_TRUE(ReadShot(i + 1, &shots[i], std::string(".") + names[i] + ".bmp"));
        ASSERT_EQ(shots[i].width, 800);
        ASSERT_EQ(shots[i].height, 600);
        ExpectMatchesReference(shots[i], ReferenceDir + "/entry_page_" + names[i] + ".pgm");
    }
    const Picture &idle = shots[0];
    const uint8_t *corner = idle.At(idle.width / 4, idle.height / 2);
    const std::array<int, 3> background = {corner[0], corner[1], corner[2]};
    auto isBackground = [&](int r, int g, int b) {
        return std::abs(r - background[0]) < 8 && std::abs(g - background[1]) < 8 && std::abs(b - background[2]) < 8;
    };
    const int backgroundLuminance = (background[0] * 299 + background[1] * 587 + background[2] * 114) / 1000;

    // Each choice: near-black text pixels over face pixels lighter than the
    // background, and rounded corners: the face's corner pixel is the
    // background while the middle of its top edge is face.
    for (int row = 0; row < 6; ++row) {
        SCOPED_TRACE(row);
        const float y0 = ChoiceTop + static_cast<float>(row) * (ChoiceHeight + ChoiceGap);
        const float y1 = y0 + ChoiceHeight;
        const int face = idle.Count(ChoiceLeft, y0, ChoiceRight, y1, [&](int r, int g, int b) {
            return (r * 299 + g * 587 + b * 114) / 1000 > backgroundLuminance + 40;
        });
        const int ink = idle.Count(ChoiceLeft, y0, ChoiceRight, y1, [](int r, int g, int b) {
            return r < 40 && g < 40 && b < 40;
        });
        EXPECT_GT(face, 1000);
        EXPECT_GT(ink, 20);
        const uint8_t *cornerPixel = idle.At(idle.ToX(ChoiceLeft), idle.ToY(y0));
        const uint8_t *edgePixel = idle.At(idle.ToX(0.5f * (ChoiceLeft + ChoiceRight)), idle.ToY(y0) + 1);
        EXPECT_LT(std::abs(Luminance(cornerPixel) - backgroundLuminance), 12) << "a square corner";
        EXPECT_GT(Luminance(edgePixel), backgroundLuminance + 40);
    }

    // "exit" reaches column 0; held down it is about 24 a channel darker,
    // inside the face away from its text.
    const Picture &pressed = shots[2];
    const int fx = idle.ToX(-0.99f);
    const int fy = idle.ToY(0.95f);
    EXPECT_FALSE(isBackground(idle.At(0, fy)[0], idle.At(0, fy)[1], idle.At(0, fy)[2]));
    for (int c = 0; c < 3; ++c) {
        const int before = idle.At(fx, fy)[c];
        const int after = pressed.At(fx, fy)[c];
        EXPECT_NEAR(before - after, before >= 24 ? 24 : before, 4) << c;
    }

    // The message lines: their colours over a darker band at the top left in
    // the second shot; nothing but the background there once they ran out.
    const Picture &messages = shots[1];
    const Picture &expired = shots[3];
    const Colour colours[3] = {MessageColours[ColourSalmon], MessageColours[ColourOrange],
                               MessageColours[ColourGreen]};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const float y0 = -1.0f + 0.05f * static_cast<float>(k);
        const Colour c = colours[k];
        EXPECT_GT(messages.Count(-1.0f, y0, -0.3f, y0 + 0.05f,
                                 [&](int r, int g, int b) {
                                     return std::abs(r - c.red) < 40 && std::abs(g - c.green) < 40 &&
                                            std::abs(b - c.blue) < 40;
                                 }),
                  10);
    }
    EXPECT_EQ(idle.Count(-1.0f, -1.0f, 0.0f, -0.85f,
                         [&](int r, int g, int b) { return !isBackground(r, g, b); }),
              0);
    EXPECT_EQ(expired.Count(-1.0f, -1.0f, 0.0f, -0.85f,
                            [&](int r, int g, int b) { return !isBackground(r, g, b); }),
              0);
    // The band behind the lines is darker than the background, unless the
    // background is black already.
    if (backgroundLuminance > 30) {
        const uint8_t *band = messages.At(messages.ToX(-0.35f), messages.ToY(-0.99f));
        EXPECT_LT(Luminance(band), backgroundLuminance);
    }
}

}  // namespace
