#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world_query_double.h"

namespace {

using Packet = std::vector<uint8_t>;

struct Seen {
    CarObject *car = nullptr;
    uint8_t slotBytes[4] = {};
    std::vector<Packet> packets;
    std::vector<int> events;
    int jumpFlags = 0;
    int timed = 1;
    uint32_t startWord = 0;
};
Seen seen;

// An offline timed race of one slot (player id 5) whose car stands on its
// start place at the origin, lights red, on the world double.
struct CarFalseStartTest : ::testing::Test {
    CarObject car;
    WorldQueryDouble world;

    void SetUp() override {
        seen = Seen();
        seen.car = &car;
        VehicleRaceHooks = {};
        VehicleRaceHooks.slotCount = [] { return 1; };
        VehicleRaceHooks.slotCar = [](int) { return seen.car; };
        RaceServices = {};
        RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(seen.slotBytes); };
        RaceServices.playerId = [](const PlayerSlot *) { return uint8_t{5}; };
        RaceServices.queueGamePacket = [](const uint8_t *b, int n) { seen.packets.emplace_back(b, b + n); };
        RaceServices.isTimedOrLappedRace = [] { return seen.timed; };
        RaceServices.setJumpStartFlag = [] { ++seen.jumpFlags; };
        CarNetwork = {};
        CarNetwork.sendCarEvent = [](CarObject *, int code) { seen.events.push_back(code); };
        CarNetwork.startSettingWord = [] { return seen.startWord; };
        world.startLightState = 1;
        car.isRemote = 0;
        car.penaltySent = 0;
        car.resetPosition = {0, 0, 0};
        car.position = {0, 0, 0};
        car.stepCount = 0;
        car.raceStartTick = 500;
    }
    void TearDown() override {
        VehicleRaceHooks = {};
        RaceServices = {};
        CarNetwork = {};
    }
    void MoveTo(float x, float y) {
        car.position.x = static_cast<int32_t>(x * 65536.0f);
        car.position.y = static_cast<int32_t>(y * 65536.0f);
    }
};

} // namespace

// Before the green, 6 m from the start place takes the car out of the race
// once (the car event 4, start mark 2, the session's flag), and no penalty
// follows.
TEST_F(CarFalseStartTest, FarFromTheStartPlaceIsRemoved) {
    MoveTo(3.0f, 5.2f);   // 6.04 m
    car.SendTimedPackets();
    EXPECT_EQ(seen.events, std::vector<int>{4});
    EXPECT_EQ(car.penaltySent, 2);
    EXPECT_EQ(seen.jumpFlags, 1);
    car.SendTimedPackets();
    MoveTo(0.0f, 1.0f);
    car.SendTimedPackets();
    EXPECT_EQ(seen.events.size(), 1u);
    EXPECT_TRUE(seen.packets.empty());
}

// Half a metre draws exactly one jump-start penalty; moving on does not
// draw another, nor does the stop check when the car moves off.
TEST_F(CarFalseStartTest, HalfAMetreDrawsOnePenalty) {
    MoveTo(0.0f, 0.49f);
    car.SendTimedPackets();
    EXPECT_TRUE(seen.packets.empty());
    MoveTo(0.0f, 0.5f);
    car.SendTimedPackets();
    ASSERT_EQ(seen.packets.size(), 1u);
    EXPECT_EQ(seen.packets[0][0], 66);
    EXPECT_EQ(seen.packets[0][1], 5);
    EXPECT_EQ(seen.packets[0][3], 3);
    EXPECT_EQ(car.penaltySent, 1);
    EXPECT_EQ(seen.jumpFlags, 1);
    MoveTo(0.0f, 1.0f);
    car.speed = 1.0f;
    car.stopped = 1;
    car.stopCheckCount = 100;
    car.SendTimedPackets();
    car.CheckStopped();
    EXPECT_EQ(seen.packets.size(), 1u);
    // Further off while still before the green: the removal still comes.
    MoveTo(0.0f, 6.0f);
    car.SendTimedPackets();
    EXPECT_EQ(seen.events, std::vector<int>{4});
}

// Nothing at the green, outside a timed race, with the multiplayer setting
// word set (only the penalty), or for a remote car.
TEST_F(CarFalseStartTest, WhenNothingHappens) {
    struct Case {
        const char *name;
        int lights, timed;
        uint32_t word;
        uint32_t remote;
        size_t packets;
        size_t events;
    } cases[] = {
        {"green", 4, 1, 0, 0, 0, 0},
        {"practice", 1, 0, 0, 0, 0, 0},
        {"setting word: the penalty only", 1, 1, 1, 0, 1, 0},
        {"remote car", 1, 1, 0, 1, 0, 0},
    };
    for (const Case &c : cases) {
        SetUp();
        world.startLightState = c.lights;
        seen.timed = c.timed;
        seen.startWord = c.word;
        car.isRemote = c.remote;
        MoveTo(0.0f, 7.0f);
        car.SendTimedPackets();
        EXPECT_EQ(seen.packets.size(), c.packets) << c.name;
        EXPECT_EQ(seen.events.size(), c.events) << c.name;
    }
}

// With a layout's own start: half a metre before the green (or before the
// car's start tick) is the 30 s time penalty, once; after both nothing.
TEST_F(CarFalseStartTest, LayoutStart) {
    world.startOverride = true;
    MoveTo(0.5f, 0.0f);
    car.SendTimedPackets();
    car.SendTimedPackets();
    ASSERT_EQ(seen.packets.size(), 1u);
    EXPECT_EQ(seen.packets[0], (Packet{50, 5, 30, 3}));
    EXPECT_TRUE(seen.events.empty());

    SetUp();
    world.startOverride = true;
    world.startLightState = 4;
    car.stepCount = 499;
    MoveTo(0.5f, 0.0f);
    car.SendTimedPackets();
    EXPECT_EQ(seen.packets.size(), 1u);
    SetUp();
    world.startOverride = true;
    world.startLightState = 4;
    car.stepCount = 500;
    MoveTo(9.0f, 0.0f);
    car.SendTimedPackets();
    EXPECT_TRUE(seen.packets.empty());
}

// The delayed packets: each goes out once, on the tick its countdown steps
// from 1 to 0, with the car's values; a car without a slot or driven
// elsewhere sends none.
TEST_F(CarFalseStartTest, CountdownsSendTheirPacketsOnce) {
    world.startLightState = 4;  // after the green: no start checks
    car.packetBrakeBalance = 62;
    car.packetAntiRoll[0] = 1500.0f;
    car.packetAntiRoll[1] = 2500.0f;
    car.pendingStateByte = 7;
    car.liveSettingsTimer = 3;
    car.strategyTimer = 1;
    car.stateByteTimer = 2;
    std::vector<std::vector<int>> perTick;
    for (int tick = 0; tick < 5; tick++) {
        seen.packets.clear();
        car.SendTimedPackets();
        std::vector<int> types;
        for (const Packet &p : seen.packets)
            types.push_back(p[0]);
        perTick.push_back(types);
        if (tick == 2) {
            ASSERT_EQ(seen.packets.size(), 1u);
            const Packet &p = seen.packets[0];
            ASSERT_EQ(p.size(), 16u);
            EXPECT_EQ(p[1], 5);
            EXPECT_EQ(p[4], 62);
            float rear = 0.0f;
            float front = 0.0f;
            std::memcpy(&rear, &p[8], 4);
            std::memcpy(&front, &p[12], 4);
            EXPECT_EQ(rear, 1500.0f);
            EXPECT_EQ(front, 2500.0f);
        }
        if (tick == 1) {
            EXPECT_EQ(seen.packets.at(0), (Packet{81, 5, 7, 0}));
        }
    }
    const std::vector<std::vector<int>> expected = {{56}, {81}, {69}, {}, {}};
    EXPECT_EQ(perTick, expected);

    // Without a slot the countdowns still run out, silently.
    VehicleRaceHooks.slotCount = [] { return 0; };
    car.strategyTimer = 1;
    seen.packets.clear();
    car.SendTimedPackets();
    EXPECT_TRUE(seen.packets.empty());
    EXPECT_EQ(car.strategyTimer, 0);
    // A car driven elsewhere keeps its countdowns.
    VehicleRaceHooks.slotCount = [] { return 1; };
    car.isRemote = 1;
    car.strategyTimer = 1;
    car.SendTimedPackets();
    EXPECT_TRUE(seen.packets.empty());
    EXPECT_EQ(car.strategyTimer, 1);
}
