// The HUD's links to the car, registered by the program, read what race
// progress, the timing lines and the race packets keep on the car.
#include "app/hud_services.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "scene/hud.h"
#include "vehicle/car_object.h"
#include "world/world.h"
#include "world/zone_object.h"

namespace {

TEST(HudServices, CarLinksReadTheCarsRaceStates)
{
    const HudCarLinkServices savedCar = HudCarLinks;
    const HudLinkServices savedHud = HudLinks;
    RegisterHudServices();
    ASSERT_NE(HudCarLinks.penaltyReason, nullptr);
    auto car = std::make_unique<CarObject>();

    // The penalty's reason as the race packets stored it.
    car->penaltyReason = 4;
    EXPECT_EQ(HudCarLinks.penaltyReason(car.get()), 4);

    // The blue flag from the count at which the car sends it.
    const int blue[][2] = {{0, 0}, {4, 0}, {5, 1}, {7, 1}};
    for (const auto &c : blue) {
        car->blueFlagCount = static_cast<uint8_t>(c[0]);
        EXPECT_EQ(HudCarLinks.blueFlag(car.get()), c[1]) << c[0];
    }

    // A remote pit stop: only a remote car with pit work running.
    car->isRemote = 0;
    car->pitWorkStep = 3;
    EXPECT_EQ(HudCarLinks.remotePitStop(car.get()), 0);
    car->isRemote = 1;
    EXPECT_EQ(HudCarLinks.remotePitStop(car.get()), 1);
    car->pitWorkStep = 0;
    EXPECT_EQ(HudCarLinks.remotePitStop(car.get()), 0);
    car->isRemote = 0;

    // A timed lap: a valid best lap or last line time.
    struct Timed {
        uint32_t best, last;
        int timed;
    };
    const Timed timed[] = {{0, 0, 0}, {360000, 0, 0}, {0, 360000, 0}, {9000, 0, 1}, {0, 4500, 1}};
    for (const Timed &c : timed) {
        car->bestLapTime = c.best;
        car->lastTime = c.last;
        EXPECT_EQ(HudCarLinks.lapTimed(car.get()), c.timed) << c.best << " " << c.last;
    }

    // The pit-lane hint: in a speed-limit zone, moving, on the path and
    // pointing more than 45 degrees off its direction.
    // Only whether the car is in a zone counts here.
    alignas(ZoneObject) static unsigned char zone[sizeof(ZoneObject)];
    for (int i = 0; i < 9; ++i) {
        car->orientation[i] = 0.0f;
    }
    car->roadDirection[0] = 0.0f;
    car->roadDirection[1] = 1.0f;
    car->progressNode = 10;
    car->stopped = 0;
    car->speedZone = reinterpret_cast<const ZoneObject *>(zone);
    struct Hint {
        float forwardX, forwardY;
        int shown;
        float cross;
    };
    const Hint hints[] = {
        {0.0f, 1.0f, 0, 0.0f},     // along the path
        {1.0f, 0.0f, 1, 1.0f},     // across it, one way
        {-1.0f, 0.0f, 1, -1.0f},   // and the other
        {0.0f, -1.0f, 1, 0.0f},    // backwards
    };
    for (const Hint &c : hints) {
        car->orientation[1] = c.forwardX;
        car->orientation[4] = c.forwardY;
        float cross = 99.0f;
        EXPECT_EQ(HudCarLinks.pitLaneHint(car.get(), &cross), c.shown) << c.forwardX << " " << c.forwardY;
        if (c.shown) {
            EXPECT_FLOAT_EQ(cross, c.cross);
        }
    }
    car->orientation[1] = 1.0f;
    car->orientation[4] = 0.0f;
    float cross = 0.0f;
    car->stopped = 1;
    EXPECT_EQ(HudCarLinks.pitLaneHint(car.get(), &cross), 0);
    car->stopped = 0;
    car->progressNode = -1;
    EXPECT_EQ(HudCarLinks.pitLaneHint(car.get(), &cross), 0);
    car->progressNode = 10;
    car->speedZone = nullptr;
    EXPECT_EQ(HudCarLinks.pitLaneHint(car.get(), &cross), 0);

    // The world's problem: the failed load's warning, nothing otherwise.
    World *saved = CurrentWorld;
    World *world = WorldCreate();
    CurrentWorld = world;
    EXPECT_EQ(HudLinks.worldProblem(), nullptr);
    world->failed = 1;
    std::snprintf(world->problemText, sizeof(world->problemText), "WLD : MISSING FILE");
    ASSERT_NE(HudLinks.worldProblem(), nullptr);
    EXPECT_STREQ(HudLinks.worldProblem(), "WLD : MISSING FILE");
    world->failed = 0;
    CurrentWorld = nullptr;
    WorldDestroy(world);
    CurrentWorld = saved;

    HudCarLinks = savedCar;
    HudLinks = savedHud;
}

}  // namespace
