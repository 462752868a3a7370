#include <array>
#include <memory>

#include <gtest/gtest.h>

#include "core/shell_globals.h"
#include "vehicle/car_object.h"
#include "world/path.h"
#include "world/shared_random.h"
#include "world/start_lights.h"
#include "world_scene.h"

namespace {

// The SharedRandom state whose next step gives `value`: 52429 is the inverse
// of 5 modulo 65536.
uint32_t SeedBefore(uint32_t value)
{
    return ((value - 1) * 52429u) & 65535u;
}

// The light clock (ms) at which red 1, red 2, red 3 and the green came on.
std::array<uint32_t, 4> RunLights(World &world, const StartRaceView *race)
{
    std::array<uint32_t, 4> at = {};
    for (int tick = 0; tick < 100000 && world.startLightState < StartLightsGreen; ++tick) {
        const int before = world.startLightState;
        const uint32_t clock = world.startLightClock;
        world.StepStartLightsAndWind(race);
        if (world.startLightState != before) {
            at[before] = clock;
        }
    }
    return at;
}

class StartLights : public testing::Test {
protected:
    TestWorld scene;
    World &world = *scene.world;
    Path closedPath;                 // a red delay needs a closed knowledge path
    uint32_t lampWords[4] = {};      // one bound colour word per lamp

    void SetUp() override
    {
        world.closedKnowledgePath = &closedPath;
        for (int lamp = 0; lamp < 4; ++lamp) {
            world.startLamps[lamp].offColour = 0x01000000u + lamp;
            world.startLamps[lamp].boundColours[0] = &lampWords[lamp];
        }
    }
    void TearDown() override { world.closedKnowledgePath = nullptr; }

    StartRaceView Race(int startOffset) const
    {
        StartRaceView race = {};
        race.startOffset = startOffset;
        race.raceLength = 5;
        race.raceKind = 1;
        return race;
    }
    bool LampOn(int lamp) const { return lampWords[lamp] == world.startLamps[lamp].onColour; }
};

TEST_F(StartLights, RedsAndGreenComeOnTime)
{
    struct Case {
        const char *name;
        int startOffset;
        int raceLength;
        int raceKind;
        int layoutOwnStart;
        bool delayDrawn;
        std::array<uint32_t, 4> at;
    };
    // The delay drawn from SharedRandom is 1500 ms in every case that draws one.
    const Case cases[] = {
        {"delay 1500", 10, 5, 1, 0, true, {5500, 6500, 7500, 10000}},
        {"delay cut to the time left", 4, 5, 1, 0, true, {0, 1000, 2000, 4000}},
        {"offset 3 leaves no time", 3, 5, 1, 0, false, {0, 1000, 2000, 3000}},
        {"practice", 10, 0, 1, 0, false, {7000, 8000, 9000, 10000}},
        {"qualifying", 10, 5, 2, 0, false, {7000, 8000, 9000, 10000}},
        {"layout start", 10, 5, 1, 1, false, {7000, 8000, 9000, 10000}},
        {"offset below 3 counts as 3", 1, 5, 1, 0, false, {0, 1000, 2000, 3000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StartRaceView race = Race(c.startOffset);
        race.raceLength = c.raceLength;
        race.raceKind = c.raceKind;
        race.layoutOwnStart = c.layoutOwnStart;
        const uint32_t seed = SeedBefore(1500);
        SharedRandom = seed;

        world.ResetStartLightsAndWind(&race);
        EXPECT_EQ(world.startLightState, StartLightsArmed);
        EXPECT_EQ(SharedRandom, c.delayDrawn ? 1500u : seed);
        for (int lamp = 0; lamp < 4; ++lamp) {
            EXPECT_FALSE(LampOn(lamp));
        }

        EXPECT_EQ(RunLights(world, &race), c.at);
        EXPECT_FALSE(LampOn(0) || LampOn(1) || LampOn(2));
        EXPECT_TRUE(LampOn(GreenLamp));
    }
}

TEST_F(StartLights, RedsLightOneByOne)
{
    const StartRaceView race = Race(3);
    world.ResetStartLightsAndWind(&race);
    for (int lit = 1; lit <= 3; ++lit) {
        while (world.startLightState < lit) {
            world.StepStartLightsAndWind(&race);
        }
        for (int lamp = 0; lamp < 4; ++lamp) {
            EXPECT_EQ(LampOn(lamp), lamp < lit) << "after red " << lit << ", lamp " << lamp;
        }
    }
}

CarObject *SlotCars[3];

TEST_F(StartLights, GreenStartsTimingOfEveryOccupiedSlot)
{
    auto first = std::make_unique<CarObject>();
    auto third = std::make_unique<CarObject>();
    SlotCars[0] = first.get();
    SlotCars[1] = nullptr;
    SlotCars[2] = third.get();
    first->timingArmed = 0;
    third->timingArmed = 0;
    int32_t startWait = 1;
    StartRaceView race = Race(3);
    race.slotCount = 3;
    race.slotCar = [](int slot) { return SlotCars[slot]; };
    race.startWaitFlag = &startWait;

    world.ResetStartLightsAndWind(&race);
    for (int tick = 0; tick < 300; ++tick) {
        world.StepStartLightsAndWind(&race);
    }
    EXPECT_EQ(first->timingArmed, 0);
    EXPECT_EQ(startWait, 1);

    world.StepStartLightsAndWind(&race);   // clock 3000: the green
    EXPECT_EQ(world.startLightState, StartLightsGreen);
    EXPECT_EQ(first->timingArmed, 1);
    EXPECT_EQ(third->timingArmed, 1);
    EXPECT_EQ(startWait, 0);
}

TEST_F(StartLights, WithoutRaceTheLightsShowGreenAndNothingIsDrawn)
{
    const StartRaceView race = Race(10);
    world.ResetStartLightsAndWind(&race);
    world.StepStartLightsAndWind(&race);
    SharedRandom = 1234;

    world.ResetStartLightsAndWind(nullptr);
    EXPECT_EQ(world.startLightState, StartLightsGreen);
    EXPECT_EQ(world.startLightClock, 0u);
    EXPECT_EQ(world.redDelay, 0u);
    EXPECT_TRUE(LampOn(GreenLamp));
    EXPECT_EQ(SharedRandom, 1234u);
    EXPECT_EQ(world.wind.baseSpeed, 0.0f);
    EXPECT_EQ(world.wind.velocity[0], 0.0f);

    // Idle lights stay green however long the ticks run.
    for (int tick = 0; tick < 2000; ++tick) {
        world.StepStartLightsAndWind(nullptr);
    }
    EXPECT_EQ(world.startLightState, StartLightsGreen);
    EXPECT_TRUE(LampOn(GreenLamp));
}

TEST_F(StartLights, OnlyADrawingProgramRefreshesTheLamps)
{
    struct Case {
        int graphics;
        int dedicated;
        bool refreshed;
    };
    const Case cases[] = {
        {1, DedicatedNone, true},
        {0, DedicatedNone, false},
        {1, DedicatedWithGraphics, false},
        {0, DedicatedConsole, false},
    };
    const int savedGraphics = GraphicsEnabled, savedDedicated = DedicatedMode;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.graphics * 10 + c.dedicated);
        GraphicsEnabled = c.graphics;
        DedicatedMode = c.dedicated;
        world.startLamps[0].onColour = 0x11u;
        world.startLamps[2].onColour = 0x22u;
        world.RefreshLamps();
        // The later reds take the first red's colours when refreshed.
        EXPECT_EQ(world.startLamps[2].onColour, c.refreshed ? 0x11u : 0x22u);
    }
    GraphicsEnabled = savedGraphics;
    DedicatedMode = savedDedicated;
}

TEST_F(StartLights, ClearedBindingsWriteNothing)
{
    world.ClearLampBindings();
    lampWords[GreenLamp] = 77;
    world.SetLampState(GreenLamp, 1);
    world.SetLampState(7, 1);    // no such lamp
    world.SetLampState(-1, 1);
    EXPECT_EQ(lampWords[GreenLamp], 77u);
}

} // namespace
