#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "vehicle/world_query.h"
#include "world/shared_random.h"
#include "world/start_lights.h"
#include "world_scene.h"

namespace {

constexpr float Pi = 3.14159265f;

uint32_t StepsFrom(uint32_t state, int steps)
{
    for (int i = 0; i < steps; ++i) {
        state = (state * 5 + 1) & 65535u;
    }
    return state;
}

// An offline race start without a red delay (practice), with wind.
StartRaceView WindyRace(int windSetting)
{
    StartRaceView race = {};
    race.startOffset = 10;
    race.windSetting = windSetting;
    return race;
}

TEST(RandomWind, EveryGeneratorStateGivesASpeedInItsBand)
{
    struct Band {
        int setting;
        float low, high;
    };
    const Band bands[] = {{1, 1.0f, HalfMaxWindSpeed}, {2, HalfMaxWindSpeed, MaxWindSpeed}};
    for (const Band &band : bands) {
        SCOPED_TRACE(band.setting);
        float lowest = MaxWindSpeed, highest = 0.0f;
        for (uint32_t state = 0; state < 65536; ++state) {
            SharedRandom = state;
            float speed = 0.0f, direction = 0.0f;
            RandomWind(band.setting, speed, direction);
            ASSERT_EQ(SharedRandom, StepsFrom(state, 2));
            ASSERT_GE(speed, band.low);
            ASSERT_LE(speed, band.high);
            ASSERT_GT(direction, -Pi);
            ASSERT_LE(direction, Pi);
            lowest = std::fmin(lowest, speed);
            highest = std::fmax(highest, speed);
        }
        // The draws fill the band rather than sit in one corner of it.
        EXPECT_LT(lowest, band.low + 0.01f);
        EXPECT_GT(highest, band.high - 0.01f);
    }
}

TEST(WindWalk, StaysNearItsBaseAndStepsTheGeneratorTwicePerTick)
{
    TestWorld scene;
    World &world = *scene.world;
    const float base = 10.0f, baseDirection = 1.0f;
    world.SetWindBase(base, baseDirection);
    SharedRandom = 4321;

    float lowest = base, highest = base, leftmost = baseDirection, rightmost = baseDirection;
    for (int tick = 0; tick < 100000; ++tick) {
        const uint32_t before = SharedRandom;
        world.StepStartLightsAndWind(nullptr);
        ASSERT_EQ(SharedRandom, StepsFrom(before, 2)) << tick;
        const WindState &w = world.wind;
        ASSERT_GE(w.speed, 0.667f * base) << tick;
        ASSERT_LE(w.speed, 1.333f * base) << tick;
        ASSERT_GE(w.direction, baseDirection - Pi / 6.0f - 1e-6f) << tick;
        ASSERT_LE(w.direction, baseDirection + Pi / 6.0f + 1e-6f) << tick;
        // It blows toward direction + pi, level.
        ASSERT_NEAR(w.velocity[0], std::sin(w.direction) * w.speed, 1e-4f) << tick;
        ASSERT_NEAR(w.velocity[1], -std::cos(w.direction) * w.speed, 1e-4f) << tick;
        ASSERT_EQ(w.velocity[2], 0.0f);
        lowest = std::fmin(lowest, w.speed);
        highest = std::fmax(highest, w.speed);
        leftmost = std::fmin(leftmost, w.direction);
        rightmost = std::fmax(rightmost, w.direction);
    }
    // The walk really wanders: far off its base both ways.
    EXPECT_LT(lowest, 0.8f * base);
    EXPECT_GT(highest, 1.2f * base);
    EXPECT_LT(leftmost, baseDirection - 0.3f);
    EXPECT_GT(rightmost, baseDirection + 0.3f);
}

TEST(WindWalk, TwoWorldsFromOneSeedAgreeBitForBit)
{
    WindState winds[2];
    for (WindState &wind : winds) {
        TestWorld scene;
        const StartRaceView race = WindyRace(2);
        SharedRandom = 777;
        scene.world->ResetStartLightsAndWind(&race);
        for (int tick = 0; tick < 10000; ++tick) {
            scene.world->StepStartLightsAndWind(&race);
        }
        wind = scene.world->wind;
    }
    EXPECT_EQ(std::memcmp(&winds[0], &winds[1], sizeof(WindState)), 0);
    EXPECT_GT(winds[0].speed, 0.0f);
}

TEST(WindWalk, RaceStartDrawsTheWindOfflineOnly)
{
    struct Case {
        const char *name;
        int windSetting;
        int online;
        float low, high;   // base speed
        int steps;         // of SharedRandom
    };
    const Case cases[] = {
        {"low", 1, 0, 1.0f, HalfMaxWindSpeed, 2},
        {"high", 2, 0, HalfMaxWindSpeed, MaxWindSpeed, 2},
        {"none", 0, 0, 0.0f, 0.0f, 0},
        {"online: the packet brings it", 2, 1, 0.0f, 0.0f, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestWorld scene;
        World &world = *scene.world;
        world.SetWindBase(5.0f, 2.0f);   // a wind left from the last race
        StartRaceView race = WindyRace(c.windSetting);
        race.online = c.online;
        SharedRandom = 99;

        world.ResetStartLightsAndWind(&race);
        EXPECT_EQ(SharedRandom, StepsFrom(99, c.steps));
        EXPECT_GE(world.wind.baseSpeed, c.low);
        EXPECT_LE(world.wind.baseSpeed, c.high);
        EXPECT_EQ(world.wind.speed, world.wind.baseSpeed);
        EXPECT_FLOAT_EQ(std::hypot(world.wind.velocity[0], world.wind.velocity[1]), world.wind.baseSpeed);
        EXPECT_FLOAT_EQ(world.wind.baseSpeedRoot * world.wind.baseSpeedRoot, world.wind.baseSpeed);
    }
}

TEST(WindWalk, ThePhysicsFeelsTheWorldsWind)
{
    TestWorld scene;
    const StartRaceView race = WindyRace(2);
    SharedRandom = 5;
    scene.world->ResetStartLightsAndWind(&race);
    scene.world->StepStartLightsAndWind(&race);

    float felt[3] = {};
    CurrentWorldQuery()->GetWind(felt);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(felt[k], scene.world->wind.velocity[k]);
    }
    EXPECT_GT(std::hypot(felt[0], felt[1]), HalfMaxWindSpeed * 0.667f);
}

} // namespace
