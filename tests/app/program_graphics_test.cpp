#include "app/program.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "tests/app/program_fixture.h"
#include "core/card_config.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "tools/interface_pictures.h"
#include "ui/interface_items.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/keys.h"
#include "platform/recording_device.h"
#include "render/render_device.h"
#include "ui/menu_page.h"
#include "ui/text_entry.h"

// The whole program with graphics: on the recording device without a
// window, and on the OpenGL device in a window, where Ctrl+S takes the
// window's picture.

namespace {

namespace fs = std::filesystem;
using namespace program_test;

bool Contains(const std::vector<std::string> &lines, const std::string &wanted)
{
    for (const std::string &line : lines) {
        if (line == wanted) {
            return true;
        }
    }
    return false;
}

std::string ConfigValue(const std::string &key)
{
    std::ifstream in("cfg.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            return line.substr(key.size());
        }
    }
    return "";
}

class ProgramGraphicsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareProgramRun();
        fs::remove_all("data/shots");
        fs::remove("cfg.txt");
    }

    void TearDown() override
    {
        SetProgramServices(ProgramServices{});
        if (!StartDisplay.empty()) {
            setenv("DISPLAY", StartDisplay.c_str(), 1);
        }
    }

    static int Run()
    {
        char program[] = "kzv";
        char *argv[] = {program, nullptr};
        return RunProgram(1, argv);
    }
};

TEST_F(ProgramGraphicsTest, RecordingDeviceRunsTheProgramWithGraphicsAndNoWindow)
{
    RecordingDevice device;
    ProgramServices services = FakeProgramServices();
    services.graphicsDevice = &device;
    SetProgramServices(services);
    OnSleep = [](int n) {
        if (n == 3) {
            ScreenshotRequest = 1;
        }
        if (n == 6) {
            RequestQuit();
        }
    };

    EXPECT_EQ(Run(), 0);

    EXPECT_GE(device.presents, 4);
    EXPECT_FALSE(device.Exists());
    const std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(Contains(lines, "number of adapters : 1"));
    EXPECT_TRUE(Contains(lines, "adapter 0 - valid modes : 16"));
    EXPECT_TRUE(Contains(lines, "max texture size 4096"));
    EXPECT_TRUE(Contains(lines, "can use dynamic tex"));
    EXPECT_TRUE(fs::exists("data/shots/kzv_00000001.bmp"));
    EXPECT_EQ(ConfigValue("Next Shot "), "2");
    fs::remove("deb.log");
}

void PushKey(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
}

TEST_F(ProgramGraphicsTest, CtrlSSavesTheWindowsPictureOnTheOpenGlDevice)
{
    if (StartDisplay.empty()) {
        GTEST_SKIP() << "no display";
    }
    std::ofstream("cfg.txt") << "Start Windowed 1\n";
    setenv("DISPLAY", StartDisplay.c_str(), 1);
    ProgramServices services = FakeProgramServices();
    SetProgramServices(services);
    static int width;
    static int height;
    width = 0;
    height = 0;
    OnSleep = [](int n) {
        if (n == 3) {
            width = ScreenWidth;
            height = ScreenHeight;
            PushKey(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL, true);
            PushKey(SDL_SCANCODE_S, SDLK_s, KMOD_LCTRL, true);
            PushKey(SDL_SCANCODE_S, SDLK_s, KMOD_LCTRL, false);
            PushKey(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_NONE, false);
        }
        if (n == 8) {
            PlatformEvent event{};
            event.kind = PlatformEventKeyDown;
            event.key = VkEscape;
            MainWindowProc(event);
        }
    };

    EXPECT_EQ(Run(), 0);

    const std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(Contains(lines, "number of adapters : 1"));
    EXPECT_TRUE(Contains(lines, "max texture size " + std::to_string(CurrentDeviceCaps.maxTextureWidth)));
    std::ifstream shot("data/shots/kzv_00000001.bmp", std::ios::binary);
    ASSERT_TRUE(shot.good());
    if (const char *keep = std::getenv("KZV_KEEP_SHOT")) {
        fs::copy_file("data/shots/kzv_00000001.bmp", keep, fs::copy_options::overwrite_existing);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(shot)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 54u);
    const int shotWidth = bytes[18] | bytes[19] << 8;
    const int shotHeight = bytes[22] | bytes[23] << 8;
    EXPECT_GT(width, 0);
    EXPECT_EQ(shotWidth, width);
    EXPECT_EQ(shotHeight, height);
    const size_t row = (static_cast<size_t>(shotWidth) * 3 + 3) & ~size_t{3};
    ASSERT_EQ(bytes.size(), 54 + row * static_cast<size_t>(shotHeight));
    // The menu frame is cleared; the entry page's buttons (a column at the
    // right from x 0.35, the exit button at the bottom left) and the message
    // lines (the warnings of the sounds the test data lacks, at most 20 lines
    // from the top) are all that is drawn: one colour elsewhere. The file's
    // rows run from the bottom up.
    auto pixel = [&](int x, int yFromTop) {
        const size_t at = 54 + row * static_cast<size_t>(shotHeight - 1 - yFromTop) + static_cast<size_t>(x) * 3;
        return std::array<int, 3>{bytes[at + 2], bytes[at + 1], bytes[at]};  // red, green, blue
    };
    int other = 0;
    const int messageRows = static_cast<int>((20.0f * MessageSize + 0.05f) * 0.5f * static_cast<float>(shotHeight));
    const int exitRows = shotHeight * 8 / 100 + 2;
    const int columnLeft = shotWidth * 675 / 1000 - 2;
    for (int y = exitRows; y < shotHeight - messageRows; ++y) {
        for (int x = 0; x < columnLeft * 3; ++x) {
            other += bytes[54 + row * static_cast<size_t>(y) + static_cast<size_t>(x)] != bytes[54 + exitRows * row + x % 3]
                         ? 1
                         : 0;
        }
    }
    EXPECT_EQ(other, 0);
    const std::array<int, 3> background = pixel(shotWidth / 4, shotHeight / 2);
    // The exit face reaches column 0 in "Button Red", opaque.
    const std::array<int, 3> exitFace = pixel(0, shotHeight * 96 / 100);
    EXPECT_NEAR(exitFace[0], 210, 8);
    EXPECT_NEAR(exitFace[1], 98, 8);
    EXPECT_NEAR(exitFace[2], 32, 8);
    // The first choice: its face near the left end is a translucent grey over
    // the background, lighter than it.
    const std::array<int, 3> face = pixel(shotWidth * 69 / 100, static_cast<int>(shotHeight * (1.0f - 0.3125f) / 2.0f));
    for (int c = 0; c < 3; ++c) {
        EXPECT_GT(face[c], background[c] + 40) << c;
    }
    EXPECT_EQ(ConfigValue("Next Shot "), "2");
    fs::remove("deb.log");
}

void PushText(const char *text)
{
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::snprintf(event.text.text, sizeof(event.text.text), "%s", text);
    SDL_PushEvent(&event);
}

// T on the entry page opens the message entry (its own character is not
// typed); the typed line shows in green on the dialog's entry line, and the
// program's own shot (Ctrl+S, taken with the entry open, types nothing) has
// the text's pixels there.
TEST_F(ProgramGraphicsTest, TypedLineShowsInTheMessageEntry)
{
    if (StartDisplay.empty()) {
        GTEST_SKIP() << "no display";
    }
    std::ofstream("cfg.txt") << "Start Windowed 1\n";
    setenv("DISPLAY", StartDisplay.c_str(), 1);
    ProgramServices services = FakeProgramServices();
    SetProgramServices(services);
    static std::string typed;
    typed.clear();
    OnSleep = [](int n) {
        if (n == 3) {
            PushKey(SDL_SCANCODE_T, SDLK_t, KMOD_NONE, true);
            PushText("t");
            PushKey(SDL_SCANCODE_T, SDLK_t, KMOD_NONE, false);
            PushText("hello");
        }
        if (n == 5) {
            typed = EntryText;
            PushKey(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL, true);
            PushKey(SDL_SCANCODE_S, SDLK_s, KMOD_LCTRL, true);
            PushKey(SDL_SCANCODE_S, SDLK_s, KMOD_LCTRL, false);
            PushKey(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_NONE, false);
        }
        if (n == 8) {
            StartProgramExit(0);
        }
    };

    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(typed, "hello");
    EXPECT_EQ(TextEntryActive, 0);
    std::ifstream shot("data/shots/kzv_00000001.bmp", std::ios::binary);
    ASSERT_TRUE(shot.good());
    if (const char *keep = std::getenv("KZV_KEEP_ENTRY_SHOT")) {
        fs::copy_file("data/shots/kzv_00000001.bmp", keep, fs::copy_options::overwrite_existing);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(shot)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 54u);
    const int w = bytes[18] | bytes[19] << 8;
    const int h = bytes[22] | bytes[23] << 8;
    const size_t row = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    ASSERT_EQ(bytes.size(), 54 + row * static_cast<size_t>(h));
    auto pixel = [&](int x, int yFromTop) {
        const size_t at = 54 + row * static_cast<size_t>(h - 1 - yFromTop) + static_cast<size_t>(x) * 3;
        return std::array<int, 3>{bytes[at + 2], bytes[at + 1], bytes[at]};
    };
    auto toX = [&](float x) { return static_cast<int>((x + 1.0f) * 0.5f * static_cast<float>(w)); };
    auto toY = [&](float y) { return static_cast<int>((y + 1.0f) * 0.5f * static_cast<float>(h)); };
    // Green text pixels on the entry line, none on the title line above it
    // (black text) or below the frame.
    auto greenIn = [&](float y0, float y1) {
        int green = 0;
        for (int y = toY(y0); y < toY(y1); ++y) {
            for (int x = toX(-0.42f); x < toX(0.42f); ++x) {
                const std::array<int, 3> p = pixel(x, y);
                green += p[1] > 120 && p[1] > p[0] + 60 && p[1] > p[2] + 60 ? 1 : 0;
            }
        }
        return green;
    };
    EXPECT_GT(greenIn(-0.37f, -0.29f), 40);
    EXPECT_EQ(greenIn(-0.45f, -0.37f), 0);
    // The dialog's grey frame lies over the page beside the text.
    const std::array<int, 3> frame = pixel(toX(0.38f), toY(-0.44f));
    EXPECT_GT(frame[0], 60);
    EXPECT_NEAR(frame[0], frame[1], 12);
    EXPECT_NEAR(frame[1], frame[2], 12);
    fs::remove("deb.log");
}

}  // namespace

namespace {

// Holding the left button on the entry page's "exit" darkens its face by 24
// a channel; releasing it there ends the program. Mouse messages go through
// the window layer; the shot is the program's own.
TEST_F(ProgramGraphicsTest, HoldingExitDarkensItsFaceAndReleasingEndsTheProgram)
{
    if (StartDisplay.empty()) {
        GTEST_SKIP() << "no display";
    }
    std::ofstream("cfg.txt") << "Start Windowed 1\n";
    setenv("DISPLAY", StartDisplay.c_str(), 1);
    // The generated button pictures: the faces are drawn with them.
    ASSERT_EQ(WriteInterfacePictures("."), nullptr);
    ProgramServices services = FakeProgramServices();
    SetProgramServices(services);
    static int width;
    static int height;
    static int pressedAt;
    static int exitedAt;
    width = 0;
    height = 0;
    pressedAt = 0;
    exitedAt = 0;
    OnSleep = [](int n) {
        PlatformEvent event{};
        event.x = ScreenWidth / 16;  // x -0.875, y 0.92: inside "exit", left of its text
        event.y = ScreenHeight * 96 / 100;
        // The press once the entry page's items are up.
        if (pressedAt == 0 && InterfaceItemCount > 0) {
            pressedAt = n;
            width = ScreenWidth;
            height = ScreenHeight;
            event.kind = PlatformEventMouseMove;
            MainWindowProc(event);
            event.kind = PlatformEventButtonDown;
            event.button = PlatformMouseLeft;
            event.buttons = PlatformMouseLeft;
            MainWindowProc(event);
            ScreenshotRequest = 1;
        } else if (pressedAt != 0 && n == pressedAt + 3) {
            event.kind = PlatformEventButtonUp;
            event.button = PlatformMouseLeft;
            MainWindowProc(event);
            exitedAt = ExitState != 0 ? n : 0;
        }
        if (n == 40) {
            RequestQuit();  // the release did not end it
        }
    };

    EXPECT_EQ(Run(), 0);
    ASSERT_NE(pressedAt, 0);
    EXPECT_EQ(exitedAt, pressedAt + 3);
    std::ifstream shot("data/shots/kzv_00000001.bmp", std::ios::binary);
    ASSERT_TRUE(shot.good());
    if (const char *keep = std::getenv("KZV_KEEP_SHOT")) {
        fs::copy_file("data/shots/kzv_00000001.bmp", keep, fs::copy_options::overwrite_existing);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(shot)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 54u);
    const int shotWidth = bytes[18] | bytes[19] << 8;
    const int shotHeight = bytes[22] | bytes[23] << 8;
    EXPECT_EQ(shotWidth, width);
    EXPECT_EQ(shotHeight, height);
    const size_t row = (static_cast<size_t>(shotWidth) * 3 + 3) & ~size_t{3};
    const size_t at = 54 + row * static_cast<size_t>(shotHeight - 1 - shotHeight * 96 / 100) + 3 * 2;
    // "Button Red" 210 98 32, pressed: 186 74 8.
    EXPECT_NEAR(bytes[at + 2], 186, 8);
    EXPECT_NEAR(bytes[at + 1], 74, 8);
    EXPECT_NEAR(bytes[at], 8, 8);
    fs::remove("deb.log");
}

}  // namespace
