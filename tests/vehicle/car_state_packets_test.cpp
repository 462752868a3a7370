#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "pit_services_fake.h"

namespace {

using pit_fake::Bytes;
using pit_fake::fake;
using pit_fake::PacketsOfType;
using pit_fake::SlotHandle;

struct CarStatePackets : ::testing::Test {
    void SetUp() override { pit_fake::Install(); }
    void TearDown() override { pit_fake::Uninstall(); }
};

// A car on the road, heading north along the path (which runs north) at
// 30 m/s, its slow-speed threshold 10 m/s, the road from -5 m to +5 m and
// the car on its middle.
void PutOnRoad(CarObject &car, int slot, int node) {
    car.speed = 30.0f;
    car.progress[0] = 10.0f;
    car.roadDirection[0] = 0.0f;
    car.roadDirection[1] = 1.0f;
    car.roadEdges[0] = -5.0f;
    car.roadEdges[1] = 5.0f;
    car.progress[1] = 0.0f;
    for (int k = 0; k < 9; k++)
        car.orientation[k] = k % 4 == 0 ? 1.0f : 0.0f;
    fake.cars[slot] = &car;
    fake.nodes[slot] = node;
}

// The own car in slot 0 at node 10 and three other cars in slots 1..3, all
// on the road and none lapping it.
struct FlagScene {
    PitCar own;
    std::unique_ptr<CarObject> others[3];

    FlagScene() {
        PutOnRoad(own.car, 0, 10);
        for (int i = 0; i < 3; i++) {
            others[i] = std::make_unique<CarObject>();
            PutOnRoad(*others[i], i + 1, 50);
        }
    }
    CarObject &Other(int slot) { return *others[slot - 1]; }
    void Check(int times) {
        for (int i = 0; i < times; i++)
            own.car.CheckBlueFlag(SlotHandle(0));
    }
};

Bytes Packet(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return Bytes{a, b, c, d};
}

TEST_F(CarStatePackets, BlueFlagRaisesAfterFiveChecksAndFallsAtTwo) {
    FlagScene s;
    s.Other(1).confirmedLaps = 1;  // practice: a car with a lap 3 nodes behind
    fake.nodes[1] = 7;
    s.Check(4);
    EXPECT_TRUE(fake.packets.empty());
    s.Check(1);
    ASSERT_EQ(fake.packets.size(), 1u);
    EXPECT_EQ(fake.packets[0], Packet(70, 7, 0x81, 8));
    EXPECT_EQ(fake.flushes, 1);
    EXPECT_EQ(s.own.car.blueFlagCarId, 8);
    // Counting on to 7 sends nothing; at 7 another lapping car is named.
    s.Check(4);
    EXPECT_EQ(s.own.car.blueFlagCount, 7);
    EXPECT_EQ(fake.packets.size(), 1u);
    s.Other(1).confirmedLaps = 0;
    s.Other(2).confirmedLaps = 1;
    fake.nodes[2] = 9;
    s.Check(1);
    ASSERT_EQ(fake.packets.size(), 2u);
    EXPECT_EQ(fake.packets[1], Packet(70, 7, 0x81, 9));
    // Nobody behind: 7 counts down and the flag falls on reaching 2.
    s.Other(2).confirmedLaps = 0;
    s.Check(4);
    EXPECT_EQ(fake.packets.size(), 2u);
    s.Check(1);
    ASSERT_EQ(fake.packets.size(), 3u);
    EXPECT_EQ(fake.packets[2], Packet(70, 7, 0x01, 0));
    s.Check(3);
    EXPECT_EQ(s.own.car.blueFlagCount, 0);
    EXPECT_EQ(fake.packets.size(), 3u);
}

TEST_F(CarStatePackets, BlueFlagCandidates) {
    using Prepare = std::function<void(FlagScene &)>;
    auto lapper = [](FlagScene &s, int slot, int node) {
        s.Other(slot).confirmedLaps = 3;
        fake.nodes[slot] = node;
    };
    const int none = -1;
    struct Case {
        const char *name;
        int timed;
        Prepare prepare;
        int expected;  // player id named, or none
    } cases[] = {
        {"practice: 12 nodes behind", 0, [&](FlagScene &s) { lapper(s, 1, 98); }, 8},
        {"practice: 13 nodes behind", 0, [&](FlagScene &s) { lapper(s, 1, 97); }, none},
        {"practice: same node", 0, [&](FlagScene &s) { lapper(s, 1, 10); }, none},
        {"practice: ahead", 0, [&](FlagScene &s) { lapper(s, 1, 11); }, none},
        {"practice: equal distances, the later car",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 5);
             lapper(s, 3, 5);
         },
         10},
        {"practice: the nearer car",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             lapper(s, 3, 5);
         },
         8},
        {"practice: own car has a lap",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.own.car.confirmedLaps = 1;
         },
         none},
        {"lapping car off the road",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.Other(1).progress[1] = 5.0f;
         },
         none},
        {"lapping car slow",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.Other(1).speed = 10.0f;
         },
         none},
        {"own car slow",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.own.car.speed = 10.0f;
         },
         none},
        {"own car on the edge",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.own.car.progress[1] = -5.0f;
         },
         none},
        {"own car in the pit lane",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.own.car.speedZone = reinterpret_cast<const ZoneObject *>(&fake.zoneToken);
         },
         none},
        {"start not allowed",
         0,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             fake.startAllowed = 0;
         },
         none},
        {"race: a car ahead in the order with more laps", 1, [&](FlagScene &s) { lapper(s, 2, 4); }, 9},
        {"race: 8 nodes behind", 1, [&](FlagScene &s) { lapper(s, 1, 2); }, 8},
        {"race: 9 nodes behind", 1, [&](FlagScene &s) { lapper(s, 1, 1); }, none},
        {"race: behind in the order", 1, [&](FlagScene &s) { lapper(s, 3, 8); }, none},
        {"race: same laps",
         1,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.own.car.confirmedLaps = 3;
         },
         none},
        {"race: finished",
         1,
         [&](FlagScene &s) {
             lapper(s, 1, 8);
             s.Other(1).resultRecorded = 1;
         },
         none},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        fake.timed = c.timed;
        // Race order: slots 1, 2, the own car, then 3.
        fake.orderCount = 4;
        fake.order[0] = 1;
        fake.order[1] = 2;
        fake.order[2] = 0;
        fake.order[3] = 3;
        FlagScene s;
        c.prepare(s);
        s.Check(5);
        if (c.expected == none) {
            EXPECT_TRUE(fake.packets.empty()) << c.name;
        } else {
            ASSERT_EQ(fake.packets.size(), 1u) << c.name;
            EXPECT_EQ(fake.packets[0], Packet(70, 7, 0x81, static_cast<uint8_t>(c.expected))) << c.name;
        }
    }
}

TEST_F(CarStatePackets, YellowFlagRisesAtThreeAndFallsAtOne) {
    PitCar p;
    CarObject &car = p.car;
    PutOnRoad(car, 0, 10);
    car.velocity[1] = 2.0f;  // crawling
    for (int i = 0; i < 2; i++)
        car.CheckYellowFlag(SlotHandle(0));
    EXPECT_TRUE(fake.packets.empty());
    car.CheckYellowFlag(SlotHandle(0));
    ASSERT_EQ(fake.packets.size(), 1u);
    EXPECT_EQ(fake.packets[0], Packet(70, 7, 0x82, 0));
    for (int i = 0; i < 3; i++)
        car.CheckYellowFlag(SlotHandle(0));
    EXPECT_EQ(car.yellowFlagCount, 4);
    EXPECT_EQ(fake.packets.size(), 1u);

    car.velocity[1] = 30.0f;
    for (int i = 0; i < 2; i++)
        car.CheckYellowFlag(SlotHandle(0));
    EXPECT_EQ(fake.packets.size(), 1u);
    car.CheckYellowFlag(SlotHandle(0));
    ASSERT_EQ(fake.packets.size(), 2u);
    EXPECT_EQ(fake.packets[1], Packet(70, 7, 0x02, 0));
    car.CheckYellowFlag(SlotHandle(0));
    EXPECT_EQ(car.yellowFlagCount, 0);
    EXPECT_EQ(fake.packets.size(), 2u);
}

TEST_F(CarStatePackets, YellowFlagTrouble) {
    struct Case {
        const char *name;
        float offset;
        float velocity[2];     // x (across the path), y (along it)
        float acceleration0;   // across
        bool stopped;
        bool sideways;         // heading 90 degrees off the path
        bool trouble;
    } cases[] = {
        {"on the road at speed", 0.0f, {0.0f, 20.0f}, 0.0f, false, false, false},
        {"on the road, slow", 0.0f, {0.0f, 9.0f}, 0.0f, false, false, true},
        {"on the edge, slow", 5.0f, {0.0f, 9.0f}, 0.0f, false, false, true},
        {"on the road, sideways", 0.0f, {0.0f, 20.0f}, 0.0f, false, true, true},
        {"off, stopped", 7.0f, {0.0f, 0.0f}, 0.0f, true, false, false},
        {"off, moving away", 7.0f, {2.0f, 1.0f}, 0.0f, false, false, false},
        {"off, rejoining slowly", 7.0f, {-2.0f, 1.0f}, 0.0f, false, false, true},
        {"off, rejoining at speed", 7.0f, {-2.0f, 20.0f}, 0.0f, false, false, false},
        {"off, braking back toward the road", 7.0f, {0.0f, 1.0f}, -1.0f, false, false, true},
        {"off the low side, rejoining slowly", -7.0f, {2.0f, 1.0f}, 0.0f, false, false, true},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        PutOnRoad(car, 0, 10);
        for (float &m : car.orientation)
            m = 0.0f;
        if (c.sideways) {
            // The car's forward (y) axis points along world x.
            car.orientation[1] = 1.0f;
            car.orientation[3] = -1.0f;
        } else {
            car.orientation[0] = 1.0f;
            car.orientation[4] = 1.0f;
        }
        car.orientation[8] = 1.0f;
        car.progress[1] = c.offset;
        car.velocity[0] = c.velocity[0];
        car.velocity[1] = c.velocity[1];
        car.velocity[2] = 0.0f;
        car.acceleration[0] = c.acceleration0;
        car.acceleration[1] = 0.0f;
        car.stopped = c.stopped ? 1 : 0;
        car.CheckYellowFlag(SlotHandle(0));
        EXPECT_EQ(car.yellowFlagCount, c.trouble ? 1 : 0) << c.name;
    }
}

TEST_F(CarStatePackets, YellowFlagWaitsForTheStartAndSkipsThePitLane) {
    for (int variant = 0; variant < 3; variant++) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        PutOnRoad(car, 0, 10);
        car.velocity[1] = 1.0f;
        fake.startOffset = 5;
        car.stepCount = 1700;  // 17 s: the start offset + 12 s, not beyond
        if (variant == 1) {
            car.stepCount = 1701;
            car.speedZone = reinterpret_cast<const ZoneObject *>(&fake.zoneToken);
        }
        if (variant == 2) {
            car.stepCount = 1701;
            fake.startAllowed = 0;
        }
        car.CheckYellowFlag(SlotHandle(0));
        EXPECT_EQ(car.yellowFlagCount, 0) << variant;
        if (variant == 0) {
            car.stepCount = 1701;
            car.CheckYellowFlag(SlotHandle(0));
            EXPECT_EQ(car.yellowFlagCount, 1);
        }
    }
}

// Until race progress has placed a car on the path its road edges are not
// numbers: it neither raises nor causes a flag.
TEST_F(CarStatePackets, ACarNotYetOnThePathRaisesNoFlag) {
    FlagScene s;
    s.Other(1).confirmedLaps = 1;
    fake.nodes[1] = 8;
    s.Other(1).roadEdges[0] = std::numeric_limits<float>::quiet_NaN();
    s.Other(1).roadEdges[1] = std::numeric_limits<float>::quiet_NaN();
    s.Check(5);
    EXPECT_TRUE(fake.packets.empty());

    PitCar fresh;
    CarObject &car = fresh.car;
    ASSERT_TRUE(std::isnan(car.roadEdges[0]) && std::isnan(car.roadEdges[1]));
    car.velocity[1] = 1.0f;  // crawling, off no known road
    car.velocity[0] = -3.0f;
    for (int i = 0; i < 4; i++)
        car.CheckYellowFlag(SlotHandle(0));
    EXPECT_EQ(car.yellowFlagCount, 0);
    EXPECT_TRUE(fake.packets.empty());
}

TEST_F(CarStatePackets, ACarOutOfTheWorldIsStoppedDead) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char *name;
        int32_t z;
        float speed;
        bool stoppedDead;
    } cases[] = {
        {"at -20 m", -20 * 65536, 5.0f, false},
        {"below -20 m", -20 * 65536 - 1, 5.0f, true},
        {"at 80 m", 80 * 65536, 5.0f, false},
        {"above 80 m", 80 * 65536 + 1, 5.0f, true},
        {"at 200 m/s", 0, 200.0f, false},
        {"faster than 200 m/s", 0, 200.01f, true},
        {"speed not a number", 0, nan, true},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        fake.online = 1;
        car.stepCount = 4096;  // the car's condition-record phase (slot 0)
        car.position = {0, 0, c.z};
        car.speed = c.speed;
        car.velocity[0] = 3.0f;
        car.announcePending = 0;
        car.SendStatePackets(SlotHandle(0));
        if (c.stoppedDead) {
            EXPECT_EQ(car.velocity[0], 0.0f) << c.name;
            EXPECT_EQ(car.speed, 0.0f) << c.name;
            EXPECT_TRUE(fake.packets.empty()) << c.name;
        } else {
            EXPECT_EQ(car.velocity[0], 3.0f) << c.name;
            EXPECT_EQ(fake.packets.size(), 1u) << c.name;
        }
    }
}

// The ticks (within 4096 .. 4096 + span) at which the car of slot 1 of 4
// queues its condition record.
std::vector<uint32_t> RecordTicks(CarObject &car, uint32_t span) {
    std::vector<uint32_t> ticks;
    for (uint32_t t = 4096; t < 4096 + span; t++) {
        car.stepCount = t;
        const size_t before = fake.packets.size();
        car.SendStatePackets(SlotHandle(1));
        if (fake.packets.size() != before) {
            EXPECT_EQ(fake.packets.back().size(), 56u);
            EXPECT_EQ(fake.packets.back()[0], 2);
            EXPECT_EQ(fake.packets.back()[1], 8);
            ticks.push_back(t);
        }
    }
    return ticks;
}

TEST_F(CarStatePackets, ConditionRecordCadence) {
    struct Case {
        const char *name;
        int online;
        uint8_t pitWorkStep;
        uint8_t pitStopPending;
        int startAllowed;
        uint8_t inputFlats;
        std::vector<uint32_t> expected;
    } cases[] = {
        // Slot 1 of 4: phase 1 x 1023 / 4 = 255 of every 1024 ticks.
        {"driving", 1, 0, 0, 1, 0, {4096 + 255, 5120 + 255}},
        // During pit work: phase 1 x 255 / 4 = 63 of every 256 ticks.
        {"pit work", 1, 5, 0, 1, 0, {4096 + 63, 4352 + 63, 4608 + 63, 4864 + 63, 5120 + 63, 5376 + 63,
                                      5632 + 63, 5888 + 63}},
        {"offline", 0, 0, 0, 1, 0, {}},
        {"stop not yet counted", 1, 0, 1, 1, 0, {}},
        {"start not allowed", 1, 0, 0, 0, 0, {}},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        fake.cars[0] = nullptr;
        fake.cars[1] = &car;
        fake.pathNodes = 0;  // no flags
        fake.online = c.online;
        fake.startAllowed = c.startAllowed;
        car.pitWorkStep = c.pitWorkStep;
        car.pitStopPending = c.pitStopPending;
        car.speed = 10.0f;
        EXPECT_EQ(RecordTicks(car, 2048), c.expected) << c.name;
    }
}

TEST_F(CarStatePackets, ConditionRecordGoesAtOnceWhenATyreGoesFlat) {
    PitCar p;
    CarObject &car = p.car;
    fake.cars[0] = nullptr;
    fake.cars[1] = &car;
    fake.pathNodes = 0;
    fake.online = 1;
    car.speed = 10.0f;
    car.wheels[2].flat = 1;
    car.TrackInputChanges();  // counts one flat
    car.flatCount = 0;        // the count before this tick's wheel pass
    std::vector<uint32_t> ticks = RecordTicks(car, 3);
    EXPECT_EQ(ticks, (std::vector<uint32_t>{4096, 4097, 4098}));
    car.flatCount = 1;
    EXPECT_TRUE(RecordTicks(car, 3).empty());
}

TEST_F(CarStatePackets, FlagChecksRunOnTheirTicks) {
    for (int variant = 0; variant < 3; variant++) {
        pit_fake::Install();
        FlagScene s;
        CarObject &car = s.own.car;
        s.Other(1).confirmedLaps = 1;
        fake.nodes[1] = 8;
        car.velocity[1] = 1.0f;  // slow along the path: trouble
        car.position = {0, 0, 0};
        car.speed = 11.0f;       // but above its threshold for the blue flag
        if (variant == 1)
            fake.rules = 0x200;
        if (variant == 2)
            fake.pathNodes = 0;
        for (uint32_t t = 4096; t < 4096 + 64; t++) {
            car.stepCount = t;
            car.SendStatePackets(SlotHandle(0));
        }
        const int expected = variant == 0 ? 2 : 0;
        EXPECT_EQ(car.blueFlagCount, expected) << variant;
        EXPECT_EQ(car.yellowFlagCount, expected) << variant;
    }
}

TEST_F(CarStatePackets, InputChangesAreCountedAgainstTheCredit) {
    PitCar p;
    CarObject &car = p.car;
    car.lastRemoteRecord.steering = 32768 + 80;
    car.lastRemoteRecord.throttle = 100;
    car.lastRemoteRecord.brake = 0;
    car.inputs[0] = 32768;
    car.inputs[1] = 90 << 8;
    car.inputs[2] = 5 << 8;
    car.inputCredit = 100;
    car.inputChange = 0;
    car.wheels[0].flat = 1;
    car.wheels[3].flat = 1;
    car.TrackInputChanges();
    EXPECT_EQ(car.inputChange, 10 + 20 + 10);
    EXPECT_EQ(car.inputCredit, 60);
    EXPECT_EQ(car.inputFlatCount, 2);
    // The change builds up; once the credit is spent both start again.
    car.TrackInputChanges();
    EXPECT_EQ(car.inputCredit, 0);
    EXPECT_EQ(car.inputChange, 0);
}

}  // namespace
