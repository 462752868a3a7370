#include <gtest/gtest.h>

#include <cstring>

#include "vehicle/car_colours.h"
#include "vehicle/car_object.h"

// A car standing without pit work: after more than 4000 ticks from its last
// stop or touch the engine stops (not for a car without a starter), and in
// neutral or with the clutch pressed the handbrake is pulled full.
TEST(CarIdleAfterStop, EngineAndHandbrake)
{
    struct Case {
        uint32_t since;
        int vehicleClass;
        uint8_t gear;
        uint16_t clutch;
        uint8_t running;
        uint16_t handbrake;
    } cases[] = {
        {4000, 0, 1, 0, 1, 0},          // not yet
        {4001, 0, 1, 0, 0, 65535},      // neutral
        {4001, 0, 3, 0, 0, 0},          // in gear, clutch out
        {4001, 0, 3, 60000, 0, 65535},  // clutch above 0.9
        {4001, 0, 3, 58000, 0, 0},      // clutch below 0.9
        {4001, 10, 3, 0, 1, 0},         // no starter: the engine keeps running
    };
    for (const Case &c : cases) {
        CarObject car;
        car.stepCount = 10000;
        car.lastInputTick = 10000 - c.since;
        car.vehicleClass = c.vehicleClass;
        car.gear = c.gear;
        car.inputs[11] = c.clutch;
        car.inputs[12] = 0;
        car.engine.running = 1;
        car.IdleAfterStopCheck();
        EXPECT_EQ(car.engine.running, c.running) << c.since << " " << c.vehicleClass << " " << int(c.gear);
        EXPECT_EQ(car.inputs[12], c.handbrake) << c.since << " " << int(c.gear) << " " << c.clutch;
    }
}

// The wheel-load statistics: the mean load x grip of the wheels on the
// ground goes into the 64-bit total (x 65536 x dt) and the smoothed value;
// wheels in the air count for nothing. The engine ratio is 2 at idle and 7
// at the rev limit.
TEST(CarWheelLoadAverage, MeanOverGroundedWheelsAndEngineRatio)
{
    CarObject car;
    CarWheel wheels[4];
    car.wheels = wheels;
    car.wheelCount = 4;
    car.wheelLoadTotal = 0;
    car.engine.idleSpeed = 100.0f;
    car.engine.maxSpeed = 600.0f;
    const float limits[4] = {4000.0f, 2000.0f, 9999.0f, 0.0f};
    const uint8_t contact[4] = {1, 1, 0, 1};
    for (int i = 0; i < 4; i++) {
        wheels[i].frictionLimit = limits[i];
        wheels[i].inContact = contact[i];
    }
    struct Case {
        float engineSpeed;
        float ratio;
    } cases[] = {{0.0f, 0.0f}, {50.0f, 1.0f}, {100.0f, 2.0f}, {350.0f, 4.5f}, {600.0f, 7.0f}};
    for (const Case &c : cases) {
        car.engine.speed = c.engineSpeed;
        car.UpdateWheelLoadAverage(0.01f);
        EXPECT_FLOAT_EQ(car.engineSpeedRatio, c.ratio) << c.engineSpeed;
    }
    // Five ticks of a mean of 3000 N.
    EXPECT_EQ(car.wheelLoadTotal, 5 * static_cast<int64_t>(0.01f * 65536.0f * 3000.0f));
    EXPECT_NEAR(car.wheelLoadSmoothed, 3000.0f * (1.0f - 0.95f * 0.95f * 0.95f * 0.95f * 0.95f), 0.01f);
    car.wheels = nullptr;
    car.wheelCount = 0;
}

// The head-up display's timing question, the front-wheel flag and the skin
// comparison.
TEST(CarRaceCompanions, TimingEventFrontWheelsAndSkins)
{
    CarObject car;
    car.raceStartTick = 500;
    struct Case {
        uint32_t now;
        uint32_t lapStart;
        uint16_t laps;
        uint32_t sinceStart;
        int expected;
    } cases[] = {
        {1000, 500, 0, 0, 0},       // within 1200 ticks of the start, no lap yet
        {1000, 500, 1, 0, 1},       // a lap was completed
        {5000, 500, 1, 3400, 1},    // the last line 1100 ticks back
        {5000, 500, 1, 3300, 1},    // exactly 1200 ticks back
        {5000, 500, 1, 3299, 0},    // 1201 ticks back
    };
    for (const Case &c : cases) {
        car.stepCount = c.now;
        car.lapStartTick = c.lapStart;
        car.lapsDone = c.laps;
        car.sinceStart = c.sinceStart;
        EXPECT_EQ(car.RecentTimingEvent(), c.expected) << c.now << " " << c.sinceStart;
    }

    CarWheel wheels[4];
    car.wheels = wheels;
    car.wheelCount = 4;
    EXPECT_EQ(car.NoFrontWheelFlagged(), 1);
    wheels[2].flat = 1;  // a rear wheel does not count
    EXPECT_EQ(car.NoFrontWheelFlagged(), 1);
    wheels[1].flat = 1;
    EXPECT_EQ(car.NoFrontWheelFlagged(), 0);
    car.wheels = nullptr;
    car.wheelCount = 0;

    CarColours colours{};
    std::memcpy(colours.skin, "Blue_Stripe", 12);
    car.colours = &colours;
    EXPECT_EQ(car.SkinDiffers("blue_stripe"), 0);
    EXPECT_EQ(car.SkinDiffers("red"), 1);
    std::memcpy(car.secondSkinName, "RED", 4);
    EXPECT_EQ(car.SkinDiffers("red"), 0);
    EXPECT_EQ(car.SkinDiffers(""), 1);
    EXPECT_EQ(car.SkinDiffers(nullptr), 1);
    // A name field filled to its 16 bytes is read no further.
    std::memset(colours.skin, 'a', 16);
    EXPECT_EQ(car.SkinDiffers("aaaaaaaaaaaaaaaa"), 0);
    car.colours = nullptr;
}
