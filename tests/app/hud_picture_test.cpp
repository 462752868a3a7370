// The head-up display on the screen: the real main loop on the OpenGL device
// under a display, a page that draws the HUD of a fake race over the frame
// background, and the frame taken by the program's own screenshot function.
#include "tests/app/picture_fixture.h"

#include <gtest/gtest.h>

#include "race/game_state.h"
#include "race/race_object.h"
#include "race/session_frame.h"
#include "scene/hud.h"
#include "ui/font.h"
#include "ui/message_lines.h"
#include "vehicle/car_object.h"
#include "world/world.h"

namespace {

using namespace picture_test;

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

const std::string ReferencePath = std::string(KZV_TEST_DATA_DIR) + "/hud_picture_reference.pgm";

class HudPictureTest : public ProgramPictureTest {
protected:
    std::string Config() const override { return "Start Windowed 1\nWindow 80 80 720 560\nShow FPS 1\n"; }

    void SetUp() override
    {
        ProgramPictureTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
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
        ProgramPictureTest::TearDown();
    }

    RaceObject *race = nullptr;
    CarObject *car = nullptr;
    World *world = nullptr;
    World *savedWorld = nullptr;
};

TEST_F(HudPictureTest, LightsCaptionTimingAndFrameRateShowOverTheBackground)
{
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
    ASSERT_EQ(RunOnFakeClock(), 0);

    Picture shot;
    ASSERT_TRUE(ReadShot(1, &shot));
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

    ExpectMatchesReference(shot, ReferencePath);

    // HudShown 2: the background everywhere.
    Picture clean;
    ASSERT_TRUE(ReadShot(2, &clean, ".clean.bmp"));
    EXPECT_EQ(clean.Count(-1.0f, -1.0f, 1.0f, 1.0f, notBackground), 0);
}

}  // namespace
