// A settings page built only from the row builders and a file list of a
// generated folder, on the OpenGL device under a display through the real
// main loop, taken by the program's own screenshot function and measured:
// the title bar, the rows at their columns, the bottom bar's colours, the
// colour sliders and the visible part of the file list with its scroll bar.
#include "app/program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "tools/body_objects.h"
#include "tools/default_engines.h"
#include "tools/default_human.h"
#include "tools/default_skins.h"
#include "tools/font_file.h"
#include "ui/file_list.h"
#include "ui/font.h"
#include "ui/interface_draw.h"
#include "ui/interface_colours.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/row_builders.h"
#include "ui/text_draw.h"

namespace {

namespace fs = std::filesystem;

uint32_t NowMs = 0;
int Sleeps = 0;
std::function<void(int)> OnSleep;

uint32_t FakeTime()
{
    return NowMs;
}

void FakeSleep(int ms)
{
    ++Sleeps;
    NowMs += static_cast<uint32_t>(ms);
    if (OnSleep) {
        OnSleep(Sleeps);
    }
    if (Sleeps > 1000) {
        RequestQuit();
    }
}

std::time_t FakeWallTime()
{
    return 1733684394;
}

// The page: layout 5 (labels -0.75..-0.25, values -0.25..0.25, help
// 0.3..0.35, rows 0.06 high), and the file list on the right.
constexpr int Layout = 5;
constexpr float ChoiceY = -0.7f;
constexpr float CycleY = -0.6f;
constexpr float SliderY = -0.5f;
constexpr float FieldY = -0.4f;
constexpr float ColourY = -0.3f;
constexpr float ListX0 = 0.45f;
constexpr float ListX1 = 0.95f;
constexpr float ListY0 = -0.7f;
constexpr float ListRow = 0.06f;
constexpr int ListRows = 16;
constexpr int ListFiles = 30;
constexpr int Highlighted = 3;

const char *const Choices[] = {"one", "two", "three"};
const char *const Cycles[] = {"Slow", "Fast"};
int ChoiceValue = 1;
int CycleValueSetting = 0;
float SliderValue = 0.5f;
char FieldText[32] = "Tester";
Colour EditedColour = {40, 200, 90, 0};
FileList Files;

MenuPage *RunRowPage(MenuPage *page)
{
    BeginRows("Row page", Layout, 1);
    AddChoiceRow(page, "Choice", ChoiceY, &ChoiceValue, 3, Choices, nullptr, 0, "choice_help");
    AddCycleRow(page, "Speed", CycleY, &CycleValueSetting, 2, Cycles, nullptr, nullptr);
    AddSliderRow(page, "Gain %.1f", SliderY, &SliderValue, 0.0f, 1.0f, nullptr);
    AddTextFieldRow(page, "Name", FieldY, FieldText, sizeof(FieldText), nullptr, nullptr);
    AddColourRow(page, "Colour", ColourY, &EditedColour, 0, 255, nullptr);
    Files.Draw(page, nullptr, ListX0, ListX1, ListY0, ListRow, ListRows, Highlighted);
    AddBackButton(page, 0, nullptr);
    AddForwardButton(page, 0, nullptr);
    return page;
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;   // top row first

    const uint8_t *At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    int ToX(float u) const { return static_cast<int>((u + 1.0f) * 0.5f * static_cast<float>(width)); }
    int ToY(float v) const { return static_cast<int>((v + 1.0f) * 0.5f * static_cast<float>(height)); }

    // Pixels in the screen-unit box for which the test holds.
    template <typename Test>
    int Count(float x0, float y0, float x1, float y1, Test test) const
    {
        int n = 0;
        for (int y = std::max(0, ToY(y0)); y < std::min(height, ToY(y1)); ++y) {
            for (int x = std::max(0, ToX(x0)); x < std::min(width, ToX(x1)); ++x) {
                const uint8_t *p = At(x, y);
                n += test(p[0], p[1], p[2]) ? 1 : 0;
            }
        }
        return n;
    }
    int Area(float x0, float y0, float x1, float y1) const
    {
        return Count(x0, y0, x1, y1, [](int, int, int) { return true; });
    }
};

bool ReadBmp(const std::string &path, Picture *out)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 54) {
        return false;
    }
    const int offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16;
    out->width = bytes[18] | bytes[19] << 8;
    out->height = bytes[22] | bytes[23] << 8;
    const size_t row = (static_cast<size_t>(out->width) * 3 + 3) & ~size_t{3};
    if (bytes.size() < offset + row * out->height) {
        return false;
    }
    out->rgb.resize(static_cast<size_t>(out->width) * out->height * 3);
    for (int y = 0; y < out->height; ++y) {
        const uint8_t *source = &bytes[offset + row * static_cast<size_t>(out->height - 1 - y)];
        for (int x = 0; x < out->width; ++x) {
            uint8_t *p = &out->rgb[(static_cast<size_t>(y) * out->width + x) * 3];
            p[0] = source[x * 3 + 2];
            p[1] = source[x * 3 + 1];
            p[2] = source[x * 3];
        }
    }
    return true;
}

class RowPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || display[0] == 0) {
            GTEST_SKIP() << "no display";
        }
        setenv("LC_ALL", "en_GB.UTF-8", 1);
        for (const char *(*writer)(const char *) :
             {WriteFontFile, WriteDefaultSkins, WriteDefaultEngineFiles, WriteBodyObjects, WriteHumanFile}) {
            const char *error = writer(".");
            ASSERT_EQ(error, nullptr) << error;
        }
        fs::remove_all("data/shots");
        // A folder of replays, each a minute newer than the one before.
        fs::remove_all("data/rows");
        fs::create_directories("data/rows");
        for (int i = 0; i < ListFiles; ++i) {
            const std::string path = "data/rows/lap_" + std::to_string(100 + i) + ".rpl";
            std::ofstream(path) << "x";
            const time_t when = 1709622489 + 60 * i;
            struct timespec times[2] = {{when, 0}, {when, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        }
        // Labels and unselected names in orange, so that they show on the
        // plain background of the test.
        std::ofstream("interface_cfg.txt") << "Text Unselected 255 140 0\n";
        std::ofstream("cfg.txt") << "Start Windowed 1\nWindow 80 80 880 680\nMessage Size 0.05\nPly Name Tester\n";
        NowMs = 5000;
        Sleeps = 0;
        QuitFlag = 0;
        ExitState = 0;
        ExitValue = 0;
        ExitCode = 0;
        StartMode = StartModeNormal;
        GraphicsEnabled = 1;
        DedicatedMode = DedicatedNone;
        CurrentScreen = nullptr;
    }
    void TearDown() override
    {
        FreeFont();
        OnSleep = nullptr;
        SetProgramServices(ProgramServices{});
        Files.Clear();
        CurrentRowLayout = &RowLayouts[0];
        // The next run in this folder starts from the default colours.
        fs::remove("interface_cfg.txt");
        fs::remove_all("data/rows");
        LoadInterfaceColours();
    }
};

TEST_F(RowPictureTest, RowsBottomBarAndFileListShowAtTheirPlaces)
{
    Files.Fill("DATA\\Rows\\*.rpl", FileListNewest, 64, nullptr, 0, nullptr, 0);
    ASSERT_EQ(Files.Count, ListFiles);
    Files.FirstShown = 0;
    ProgramServices services{};
    services.timeMs = FakeTime;
    services.sleepMs = FakeSleep;
    services.wallTime = FakeWallTime;
    SetProgramServices(services);
    OnSleep = [](int n) {
        if (n == 4) {
            CurrentScreen->Run = RunRowPage;
        }
        if (n == 6) {
            ClearMessageLines();
        }
        if (n == 8) {
            ScreenshotRequest = 1;
        }
        if (n == 10) {
            RequestQuit();
        }
    };
    char program[] = "kzv";
    char *argv[] = {program, nullptr};
    ASSERT_EQ(RunProgram(1, argv), 0);

    Picture shot;
    ASSERT_TRUE(ReadBmp("data/shots/kzv_00000001.bmp", &shot));
    if (const char *keep = std::getenv("KZV_KEEP_SHOT")) {
        fs::copy_file("data/shots/kzv_00000001.bmp", keep, fs::copy_options::overwrite_existing);
    }
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    const RowLayout &layout = RowLayouts[Layout];
    const float row = layout.rowHeight;
    const auto near = [](const Colour &c, int tolerance) {
        return [c, tolerance](int r, int g, int b) {
            return std::abs(r - c.red) < tolerance && std::abs(g - c.green) < tolerance &&
                   std::abs(b - c.blue) < tolerance;
        };
    };
    const auto white = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
    const auto orange = [](int r, int g, int b) { return r > 200 && g > 90 && g < 190 && b < 60; };
    const uint8_t *corner = shot.At(shot.width / 2, shot.height * 3 / 4);
    const uint8_t background[3] = {corner[0], corner[1], corner[2]};
    const auto drawn = [&](int r, int g, int b) {
        return std::abs(r - background[0]) > 6 || std::abs(g - background[1]) > 6 || std::abs(b - background[2]) > 6;
    };

    // The program has freed its font: the measuring below reads it again.
    ASSERT_EQ(InitFont(FontFilePath), 1);
    TextWidthScale = 1.0f;
    // The title bar: its text in "Title Grey" on a button face that ends
    // a little right of the text, and the message lines start under it.
    const float titleEnd = MeasureCodedText("Row page", 0.6f * 0.075f, 0) - 1.0f + 0.015f;
    EXPECT_GT(shot.Count(-1.0f, -0.99f, titleEnd, -0.86f, near(InterfaceColours.titleGrey, 40)), 30);
    EXPECT_GT(shot.Count(-1.0f, -0.99f, titleEnd, -0.86f, drawn), shot.Area(-1.0f, -0.99f, titleEnd, -0.86f) / 2);
    EXPECT_EQ(shot.Count(titleEnd + 0.16f, -1.0f, 1.0f, -0.85f, drawn), 0);

    // The bottom bar: most of the back face is "Button Red", most of the
    // forward face "Button Green", away from their texts' middle rows.
    const float barTop = 0.87f;
    const float barBottom = 0.89f;
    EXPECT_GT(shot.Count(-0.98f, barTop, -0.77f, barBottom, near(InterfaceColours.buttonRed, 30)),
              shot.Area(-0.98f, barTop, -0.77f, barBottom) * 8 / 10);
    EXPECT_GT(shot.Count(0.77f, barTop, 0.98f, barBottom, near(InterfaceColours.buttonGreen, 30)),
              shot.Area(0.77f, barTop, 0.98f, barBottom) * 8 / 10);
    EXPECT_EQ(shot.Count(-0.7f, 0.86f, 0.7f, 0.99f, near(InterfaceColours.buttonRed, 30)), 0);

    // The choice row: three buttons over the value columns, white text only
    // in the middle (selected) one; the labels' dark text left of them; the
    // "?" in the help columns.
    const float third = (layout.valueX1 - layout.valueX0) / 3.0f;
    for (int i = 0; i < 3; ++i) {
        const float x0 = layout.valueX0 + third * i + 0.01f;
        const float x1 = layout.valueX0 + third * (i + 1) - 0.01f;
        const int whites = shot.Count(x0, ChoiceY, x1, ChoiceY + row, white);
        if (i == 1) {
            EXPECT_GT(whites, 10);
        } else {
            EXPECT_EQ(whites, 0) << i;
            EXPECT_GT(shot.Count(x0, ChoiceY, x1, ChoiceY + row, drawn), 20) << i;
        }
    }
    for (const float y : {ChoiceY, CycleY, FieldY, ColourY}) {
        EXPECT_GT(shot.Count(layout.labelX0, y, layout.labelX1, y + row, orange), 10) << y;
        // Nothing left of the label columns.
        EXPECT_EQ(shot.Count(-1.0f, y + 0.005f, layout.labelX0 - 0.01f, y + row - 0.005f, drawn), 0) << y;
    }
    EXPECT_GT(shot.Count(layout.helpX0, ChoiceY, layout.helpX1, ChoiceY + row, drawn), 10);
    EXPECT_EQ(shot.Count(layout.helpX0, CycleY + 0.005f, layout.helpX1, CycleY + row - 0.005f, drawn), 0);

    // The text field's text in "Text String".
    EXPECT_GT(shot.Count(layout.valueX0, FieldY, layout.valueX1, FieldY + row, near(InterfaceColours.textString, 50)),
              10);

    // The colour row: the box in the colour, and the red, green and blue
    // slider tracks, each a third of two rows, on the right half.
    const float middle = (layout.valueX0 + layout.valueX1) * 0.5f;
    const float third2 = 2.0f * row / 3.0f;
    EXPECT_GT(shot.Count(layout.valueX0 + 0.02f, ColourY + 0.02f, middle - 0.02f, ColourY + 2 * row - 0.02f,
                         near(EditedColour, 40)),
              50);
    const Colour tracks[3] = {ColourComponentRed, ColourComponentGreen, ColourComponentBlue};
    for (int i = 0; i < 3; ++i) {
        const float y0 = ColourY + third2 * i;
        EXPECT_GT(shot.Count(middle + 0.05f, y0 + 0.008f, layout.valueX1 - 0.05f, y0 + third2 - 0.008f,
                             near(tracks[i], 60)),
                  20)
            << i;
    }

    // The file list: sixteen rows of names (newest first), the highlighted
    // one in white, the scroll bar 0.025 wide at the right, and nothing
    // below the last row.
    for (int i = 0; i < ListRows; ++i) {
        const float y0 = ListY0 + ListRow * i;
        const int whites = shot.Count(ListX0 + 0.02f, y0, ListX1 - 0.045f, y0 + ListRow, white);
        if (i == Highlighted) {
            EXPECT_GT(whites, 10);
        } else {
            EXPECT_EQ(whites, 0) << i;
            EXPECT_GT(shot.Count(ListX0 + 0.02f, y0, ListX1 - 0.045f, y0 + ListRow, orange), 10) << i;
        }
    }
    EXPECT_STREQ(Files.Entries[0].Name, "lap_129");
    const float listBottom = ListY0 + ListRow * ListRows;
    EXPECT_GT(shot.Count(ListX1 - 0.02f, ListY0, ListX1, listBottom, drawn),
              shot.Area(ListX1 - 0.02f, ListY0, ListX1, listBottom) / 2);
    EXPECT_EQ(shot.Count(ListX0, listBottom + 0.01f, ListX1, 0.8f, drawn), 0);
}

}  // namespace
