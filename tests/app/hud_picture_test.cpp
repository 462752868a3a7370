// The head-up display on the screen: the real main loop on the OpenGL device
// under a display, a page that draws the HUD of a fake race over the frame
// background, and the frame taken by the program's own screenshot function.
#include "app/program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "race/session_frame.h"
#include "scene/hud.h"
#include "tools/body_objects.h"
#include "tools/default_engines.h"
#include "tools/default_human.h"
#include "tools/default_skins.h"
#include "tools/font_file.h"
#include "ui/font.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "vehicle/car_object.h"
#include "world/world.h"

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

CarObject *ViewedCar = nullptr;
RaceObject *TestRace = nullptr;
World *TestWorld = nullptr;

// The program's own start and exit leave the race and the world alone: the
// page puts them in place for each frame it draws, and the last frame takes
// them away again.
MenuPage *DrawRaceHud(MenuPage *page)
{
    if (TestRace == nullptr) {
        return page;
    }
    RaceObjectPtr = TestRace;
    CurrentWorld = TestWorld;
    RaceKind = 1;
    FrameRate = 50.0f;
    GameClock = 4096;
    DrawHud(ViewedCar, ViewedCar, 0, nullptr, nullptr);
    return page;
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;   // top row first

    const uint8_t *At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    int ToX(float u) const { return static_cast<int>((u + 1.0f) * 0.5f * static_cast<float>(width)); }
    int ToY(float v) const { return static_cast<int>((v + 1.0f) * 0.5f * static_cast<float>(height)); }

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

// The frame in 4 x 4 blocks of mean luminance, as the reference keeps it.
std::vector<uint8_t> Reduce(const Picture &shot)
{
    std::vector<uint8_t> blocks(static_cast<size_t>(shot.width / 4) * (shot.height / 4));
    for (int by = 0; by < shot.height / 4; ++by) {
        for (int bx = 0; bx < shot.width / 4; ++bx) {
            int sum = 0;
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 4; ++x) {
                    const uint8_t *p = shot.At(bx * 4 + x, by * 4 + y);
                    sum += (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
                }
            }
            blocks[static_cast<size_t>(by) * (shot.width / 4) + bx] = static_cast<uint8_t>(sum / 16);
        }
    }
    return blocks;
}

const std::string ReferencePath = std::string(KZV_TEST_DATA_DIR) + "/hud_picture_reference.pgm";

class HudPictureTest : public ::testing::Test {
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
        std::ofstream("cfg.txt") << "Start Windowed 1\nWindow 80 80 720 560\nShow FPS 1\n";
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
        // A race of 3 laps in its countdown, the lights at state 2, and the
        // viewed car before its first lap line.
        race = CreateRaceObject();
        race->carsOk = 1;
        race->raceLength = 3;
        race->countdownSeconds = 6;
        race->tick = 100;
        race->orderCount = 1;
        race->runningOrder[0] = 0;
        race->wind = 0;
        car = new CarObject;
        car->penalty = 0;
        car->statusText[0] = 0;
        car->wrongWayCount = 0;
        car->countdown = 0;
        car->lastTime = 0;
        car->nextLine = 2;
        car->lapsDone = 0;
        car->bestLapTime = 0;
        car->lapLineCrossed = 0;
        car->lapStartTick = 0;
        car->raceStartTick = 0;
        car->finished = 0;
        car->stopped = 0;
        car->sinceStart = 0;
        race->slots[0].car = car;
        ViewedCar = car;
        savedWorld = CurrentWorld;
        world = WorldCreate();
        world->startLightState = 2;
        CurrentWorld = savedWorld;
        RaceObjectPtr = nullptr;
        TestRace = race;
        TestWorld = world;
        HudShown = 1;
    }
    void TearDown() override
    {
        if (race != nullptr) {
            TestRace = nullptr;
            race->slots[0].car = nullptr;
            delete car;
            RaceObjectPtr = race;
            DeleteRaceObject();
            CurrentWorld = nullptr;
            WorldDestroy(world);
            CurrentWorld = savedWorld;
            RaceKind = 0;
            HudShown = 1;
        }
        ViewedCar = nullptr;
        FreeFont();
        OnSleep = nullptr;
        SetProgramServices(ProgramServices{});
    }

    RaceObject *race = nullptr;
    CarObject *car = nullptr;
    World *world = nullptr;
    World *savedWorld = nullptr;
};

TEST_F(HudPictureTest, LightsCaptionTimingAndFrameRateShowOverTheBackground)
{
    ProgramServices services{};
    services.timeMs = FakeTime;
    services.sleepMs = FakeSleep;
    services.wallTime = FakeWallTime;
    SetProgramServices(services);
    OnSleep = [](int n) {
        if (n == 4) {
            ClearMessageLines();
            CurrentScreen->Run = DrawRaceHud;
        }
        if (n == 8) {
            ScreenshotRequest = 1;
        }
        if (n == 10) {
            HudShown = 2;
        }
        if (n == 12) {
            ScreenshotRequest = 1;
        }
        if (n == 14) {
            TestRace = nullptr;
            RaceObjectPtr = nullptr;
            CurrentWorld = nullptr;
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
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    const uint8_t *corner = shot.At(shot.width - 1, shot.height - 1);
    const uint8_t background[3] = {corner[0], corner[1], corner[2]};
    auto isBackground = [&](int r, int g, int b) {
        return std::abs(r - background[0]) < 8 && std::abs(g - background[1]) < 8 && std::abs(b - background[2]) < 8;
    };
    auto notBackground = [&](int r, int g, int b) { return !isBackground(r, g, b); };

    // The first panel's lamps: 0 and 1 bright red, 2 dim red, 3 dim green.
    const float step = 0.045f * 0.75f;
    const float top = -0.9f + 0.0075f * 0.75f;
    for (int lamp = 0; lamp < 4; ++lamp) {
        const float cy = top + step * (static_cast<float>(lamp) + 0.5f);
        const uint8_t *p = shot.At(shot.ToX(-0.88f), shot.ToY(cy));
        SCOPED_TRACE(lamp);
        if (lamp < 2) {
            EXPECT_GT(p[0], 200);
            EXPECT_LT(p[1], 40);
        } else if (lamp == 2) {
            EXPECT_LT(p[0], 100);
            EXPECT_GT(p[0], 30);
        } else {
            EXPECT_LT(p[1], 100);
            EXPECT_GT(p[1], 30);
        }
    }
    // Glyph pixels in the caption band, the timing block and the top-left
    // frame rate.
    EXPECT_GT(shot.Count(-0.6f, -0.62f, 0.6f, -0.48f, notBackground), 20);
    EXPECT_GT(shot.Count(0.3f, -0.99f, 1.0f, -0.8f, notBackground), 20);
    EXPECT_GT(shot.Count(-1.0f, -1.0f, -0.88f, -0.93f, notBackground), 5);

    // Against the reference: KZV_RECORD_REFERENCE=1 records it anew.
    const std::vector<uint8_t> blocks = Reduce(shot);
    const std::string header = "P5\n160 120\n255\n";
    if (std::getenv("KZV_RECORD_REFERENCE") != nullptr) {
        std::ofstream out(ReferencePath, std::ios::binary);
        out << header;
        out.write(reinterpret_cast<const char *>(blocks.data()), static_cast<std::streamsize>(blocks.size()));
    }
    std::ifstream in(ReferencePath, std::ios::binary);
    std::vector<uint8_t> reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(reference.size(), header.size() + blocks.size()) << ReferencePath;
    int far = 0;
    long total = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        const int difference = std::abs(blocks[i] - reference[header.size() + i]);
        total += difference;
        far += difference > 48;
    }
    EXPECT_LT(static_cast<double>(total) / static_cast<double>(blocks.size()), 2.0);
    EXPECT_LT(far, static_cast<int>(blocks.size() / 100));

    // HudShown 2: the background everywhere.
    Picture clean;
    ASSERT_TRUE(ReadBmp("data/shots/kzv_00000002.bmp", &clean));
    EXPECT_EQ(clean.Count(-1.0f, -1.0f, 1.0f, 1.0f, notBackground), 0);
}

}  // namespace
