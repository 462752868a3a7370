#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "pit_services_fake.h"

namespace {

using pit_fake::Bytes;
using pit_fake::fake;
using pit_fake::PacketsOfType;
using pit_fake::SlotHandle;

struct CarPitLane : ::testing::Test {
    void SetUp() override { pit_fake::Install(); }
    void TearDown() override { pit_fake::Uninstall(); }
};

// One tick of the pit lane for the car of slot 0.
void Tick(CarObject &car, int changed = 0) {
    car.StepPitLane(SlotHandle(0), 0.01f, changed);
    car.stepCount++;
}

// The car comes to a stop `metres` east of the pit place (the tick in which
// the stop test reports the change).
void StopNearPlace(CarObject &car, float metres) {
    car.position = {fake.placeX + static_cast<int32_t>(std::lround(metres * 65536.0f)), fake.placeY, 0};
    car.speed = 0.0f;
    car.stopped = 1;
    car.stopTick = car.stepCount;
    Tick(car, 1);
}

void MoveOff(CarObject &car) {
    car.stopped = 0;
    Tick(car, 1);
}

// Ticks a car standing in its box until its work is done (pitLaneState 4);
// the ticks this took, or -1 beyond a minute.
int RunPitWork(CarObject &car) {
    for (int ticks = 0; ticks <= 6000; ticks++) {
        if (car.pitLaneState == 4)
            return ticks;
        Tick(car);
    }
    return -1;
}

Bytes Packet(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return Bytes{a, b, c, d};
}

// The wheels of an axle (0 rear, 1 front).
std::vector<int> AxleWheels(const CarObject &car, int axle) {
    std::vector<int> out;
    for (int i = 0; i < car.wheelCount; i++) {
        if (static_cast<int>(car.wheels[i].axleIndex) == axle)
            out.push_back(i);
    }
    return out;
}

TEST_F(CarPitLane, SpeedingRequestsOnlyEscalate) {
    const float limit = 81.0f * 0.2777778f;        // zone byte 80
    const float twentyOver = limit + 5.555556f;    // exactly 20 km/h over
    const float moreOver = std::nextafter(twentyOver, 100.0f);
    const int none = -1;
    struct Case {
        const char *name;
        float speed;
        int penalty;
        int request;     // penaltyRequest before
        int laps;
        int confirmed;
        int expected;    // request sent, or none
    } cases[] = {
        {"at the limit", limit, 0, 0, 0, 0, none},
        {"just over", std::nextafter(limit, 100.0f), 0, 0, 0, 0, 1},
        {"20 km/h over exactly", twentyOver, 0, 0, 0, 0, 1},
        {"more than 20 over", moreOver, 0, 0, 0, 0, 3},
        {"near the end: 3 laps to go", twentyOver, 0, 0, 10, 7, 5},
        {"near the end, grave", moreOver, 0, 0, 10, 7, 6},
        {"4 laps to go", twentyOver, 0, 0, 10, 6, 1},
        {"no race laps: never near the end", moreOver, 0, 0, 0, 7, 3},
        {"same severity asked before", twentyOver, 0, 1, 0, 0, none},
        {"higher severity asked before", twentyOver, 0, 3, 0, 0, none},
        {"grave after a light request", moreOver, 0, 1, 0, 0, 3},
        {"drive-through held", twentyOver, 1, 0, 0, 0, none},
        {"stop-go being served", twentyOver, 4, 0, 0, 0, 3},
        {"grave with a stop-go held", moreOver, 3, 0, 0, 0, none},
        {"near end grave with drive-through held", moreOver, 1, 0, 10, 8, 3},
        {"near end grave with 30 s held", moreOver, 5, 0, 10, 8, 6},
        {"near end light with drive-through served", twentyOver, 2, 0, 10, 8, 1},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        fake.inZone = 1;
        fake.timed = 1;
        fake.laps = c.laps;
        car.pitLaneState = 1;  // already in the lane: no entry notice
        car.speed = c.speed;
        car.penalty = static_cast<uint8_t>(c.penalty);
        car.penaltyRequest = static_cast<uint8_t>(c.request);
        car.confirmedLaps = static_cast<uint16_t>(c.confirmed);
        Tick(car);
        const std::vector<Bytes> sent = PacketsOfType(66);
        if (c.expected == none) {
            EXPECT_TRUE(sent.empty()) << c.name;
            EXPECT_EQ(car.penaltyRequest, c.request) << c.name;
        } else {
            ASSERT_EQ(sent.size(), 1u) << c.name;
            EXPECT_EQ(sent[0], Packet(66, 7, static_cast<uint8_t>(c.expected), 4)) << c.name;
            EXPECT_EQ(car.penaltyRequest, c.expected) << c.name;
        }
    }
}

TEST_F(CarPitLane, SpeedingInvalidatesAHotLapAndRepeatsNothing) {
    PitCar p;
    CarObject &car = p.car;
    fake.inZone = 1;
    fake.hotLap = 1;
    car.pitLaneState = 1;
    car.speed = 30.0f;
    for (int i = 0; i < 5; i++)
        Tick(car);
    EXPECT_EQ(PacketsOfType(66).size(), 1u);
    ASSERT_EQ(fake.hotLapReasons.size(), 5u);
    EXPECT_EQ(fake.hotLapReasons[0], 4);
}

TEST_F(CarPitLane, EntryNoticesAndMessagesByPenalty) {
    struct Case {
        int penalty;
        int notice;
        int state;
        const char *message;
    } cases[] = {
        {0, 1, 1, nullptr},
        {1, 2, 3, "ENTERED the pit lane for no purpose"},
        {3, 2, 3, "ENTERED the pit lane for no purpose"},
        {2, 3, 3, "ENTERED the pit lane for drive-through penalty"},
        {4, 4, 3, "ENTERED the pit lane for stop-go penalty"},
        {5, 1, 1, nullptr},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        car.penalty = static_cast<uint8_t>(c.penalty);
        car.speed = 10.0f;
        fake.inZone = 1;
        Tick(car);
        EXPECT_EQ(car.pitNotice, c.notice) << c.penalty;
        EXPECT_EQ(car.pitLaneState, c.state) << c.penalty;
        if (c.message == nullptr) {
            EXPECT_TRUE(fake.messages.empty()) << c.penalty;
        } else {
            ASSERT_EQ(fake.messages.size(), 1u) << c.penalty;
            EXPECT_EQ(fake.messages[0], c.message);
        }
        // The notice goes out once, 250 ticks after the entry.
        for (int i = 0; i < 248; i++)
            Tick(car);
        EXPECT_EQ(fake.pitNotices, 0) << c.penalty;
        Tick(car);
        Tick(car);
        EXPECT_EQ(fake.pitNotices, 1) << c.penalty;
        EXPECT_EQ(car.pitNoticeDelay, 0) << c.penalty;
    }
}

TEST_F(CarPitLane, LeavingTheLaneServesADriveThrough) {
    for (int penalty : {0, 2}) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        car.penalty = static_cast<uint8_t>(penalty);
        car.penaltyRequest = static_cast<uint8_t>(penalty);
        car.speed = 10.0f;
        fake.inZone = 1;
        Tick(car);
        fake.inZone = 0;
        Tick(car);
        EXPECT_EQ(car.pitLaneState, 0);
        EXPECT_EQ(car.pitNotice, 0);
        EXPECT_EQ(car.pitNoticeDelay, 249);  // 250, counted down once in the same tick
        const std::vector<Bytes> sent = PacketsOfType(66);
        if (penalty == 2) {
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0], Packet(66, 7, 0, 0));
            EXPECT_EQ(car.penaltyRequest, 0);
        } else {
            EXPECT_TRUE(sent.empty());
        }
    }
}

TEST_F(CarPitLane, TheBoxIsStrictlyWithinTwoAndAHalfMetres) {
    struct Case {
        const char *name;
        float metres;
        uint32_t stepCount;
        int changed;
        bool inBox;
    } cases[] = {
        {"exactly 2.5 m", 2.5f, 5000, 1, false},
        {"just inside", 2.49f, 5000, 1, true},
        {"on the place", 0.0f, 5000, 1, true},
        {"stepCount 2000", 0.0f, 2000, 1, false},
        {"stepCount 2001", 0.0f, 2001, 1, true},
        {"no stop this tick", 0.0f, 5000, 0, false},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        car.fuel = car.tankSize;
        fake.inZone = 1;
        car.speed = 10.0f;
        Tick(car);
        car.stepCount = c.stepCount;
        car.position = {fake.placeX + static_cast<int32_t>(std::lround(c.metres * 65536.0f)), fake.placeY, 0};
        car.speed = 0.0f;
        car.stopped = 1;
        Tick(car, c.changed);
        EXPECT_EQ(car.pitWorkStep != 0, c.inBox) << c.name;
        EXPECT_EQ(car.pitLaneState, c.inBox ? 2 : 1) << c.name;
    }
}

TEST_F(CarPitLane, AStopWithNothingToDoLastsOneSecond) {
    PitCar p;
    CarObject &car = p.car;
    car.fuel = car.tankSize;
    fake.inZone = 1;
    car.speed = 10.0f;
    Tick(car);
    StopNearPlace(car, 0.0f);
    EXPECT_EQ(car.pitWork, 2u);
    EXPECT_EQ(car.pitLaneState, 2);
    EXPECT_EQ(car.pitStopPending, 1);
    // Racing: the stop is announced (recorded for the replay) and flushed.
    ASSERT_EQ(fake.recorded.size(), 1u);
    EXPECT_EQ(fake.recorded[0], Packet(60, 7, 1, 0));
    EXPECT_EQ(fake.pitStarts, 1);
    EXPECT_EQ(Bytes(fake.startList, fake.startList + 4), Packet(255, 255, 255, 255));
    EXPECT_GE(fake.flushes, 1);

    EXPECT_EQ(RunPitWork(car), 100);
    EXPECT_EQ(car.pitWorkStep, 17);
    ASSERT_FALSE(fake.messages.empty());
    EXPECT_EQ(fake.messages.back(), "Finished pit stop");
    EXPECT_EQ(fake.sounds.back(), 2);

    // Standing still holds the car; moving off ends and reports the stop.
    Tick(car);
    EXPECT_EQ(car.pitWorkStep, 17);
    const uint32_t stoppedAt = car.stopTick;
    MoveOff(car);
    EXPECT_EQ(car.pitWorkStep, 0);
    EXPECT_EQ(car.pitStopTicks, static_cast<int32_t>(car.stepCount - 1 - stoppedAt));
    EXPECT_EQ(car.stopTick, car.stepCount - 1);
    EXPECT_EQ(car.lastInputTick, car.stepCount - 1);
    EXPECT_EQ(fake.pitDones, 1);
    EXPECT_TRUE(PacketsOfType(66).empty());
}

TEST_F(CarPitLane, PlannedWorkTakesItsTimedSteps) {
    using Setup = std::function<void(CarObject &)>;
    auto wearTyre = [](CarObject &car, int wheel) {
        fake.tyreWearPercent = 50;  // changed at tread level 4 or below
        car.wheels[wheel].treadBytes[1] = 3;
    };
    auto damageWheel = [](CarObject &car, int wheel) {
        car.wheels[wheel].springState = 2;
        car.wheels[wheel].travelDamage = 0.03f * car.wheels[wheel].radius;
    };
    struct Case {
        const char *name;
        int vehicleClass;
        Setup prepare;
        int ticks;
    } cases[] = {
        {"nothing", 1, [](CarObject &) {}, 100},
        {"one worn tyre", 1, [&](CarObject &car) { wearTyre(car, 0); }, 400},
        {"a flat tyre", 1, [](CarObject &car) { car.wheels[1].flat = 1; }, 400},
        {"one repaired wheel", 1,
         [&](CarObject &car) {
             fake.repairFlag = 1;
             damageWheel(car, 0);
         },
         700},
        {"a damaged wheel, no repair asked", 1, [&](CarObject &car) { damageWheel(car, 0); }, 100},
        {"a bent toe", 1,
         [](CarObject &car) {
             fake.repairFlag = 1;
             car.wheels[2].toeState = 2;
             car.wheels[2].toe = 0.1f;
         },
         700},
        {"both front tyres", 1,
         [&](CarObject &car) {
             for (int w : AxleWheels(car, 1))
                 wearTyre(car, w);
         },
         700},
        {"both front tyres of a formula car", 4,
         [&](CarObject &car) {
             for (int w : AxleWheels(car, 1))
                 wearTyre(car, w);
         },
         400},
        {"all four tyres of a formula car", 4,
         [&](CarObject &car) {
             for (int w = 0; w < car.wheelCount; w++)
                 wearTyre(car, w);
         },
         700},
        {"set-up change forces the repair", 1,
         [&](CarObject &car) {
             car.pitSetup.brakeBalance = static_cast<uint8_t>(car.setup->brakeBalance + 5);
             damageWheel(car, 3);
         },
         1000},
        {"new rear tyre type", 1, [](CarObject &car) { car.pitSetup.axles[0].tyreType = 3; }, 700},
        {"body repair, 3 records", 1,
         [](CarObject &car) {
             fake.repairFlag = 1;
             car.damageCount = 3;
         },
         700},
        {"body repair, 9 records", 1,
         [](CarObject &car) {
             fake.repairFlag = 1;
             car.damageCount = 9;
         },
         1300},
        {"2 records need no body repair", 1,
         [](CarObject &car) {
             fake.repairFlag = 1;
             car.damageCount = 2;
         },
         100},
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p(c.vehicleClass);
        CarObject &car = p.car;
        car.fuel = car.tankSize;
        c.prepare(car);
        fake.inZone = 1;
        car.speed = 10.0f;
        Tick(car);
        StopNearPlace(car, 1.0f);
        ASSERT_EQ(car.pitLaneState, 2) << c.name;
        EXPECT_EQ(RunPitWork(car), c.ticks) << c.name;
        EXPECT_EQ(car.pitWorkStep, 17) << c.name;
    }
}

TEST_F(CarPitLane, ASetUpChangeGoesOutWithItsTyreList) {
    PitCar p;
    CarObject &car = p.car;
    car.fuel = car.tankSize;
    car.pitSetup.axles[0].tyreType = 3;
    car.pitSetup.rearWing = static_cast<uint8_t>(car.setup->rearWing + 2);
    const CarSetup before = *car.setup;
    fake.inZone = 1;
    car.speed = 10.0f;
    Tick(car);
    StopNearPlace(car, 0.0f);
    EXPECT_EQ(Bytes(fake.startList, fake.startList + 4), Packet(3, 3, 255, 255));
    // Two rear tyres and the set-up change.
    EXPECT_EQ(car.pitWork & ((1u << 16) | (1u << 11) | (1u << 13)), (1u << 16) | (1u << 11) | (1u << 13));
    ASSERT_EQ(fake.recorded.size(), 2u);
    EXPECT_EQ(fake.recorded[0], Packet(60, 7, 0, 0));
    ASSERT_EQ(fake.recorded[1].size(), 124u);
    EXPECT_EQ(Bytes(fake.recorded[1].begin(), fake.recorded[1].begin() + 4), Packet(67, 7, 0, 0));
    EXPECT_EQ(std::memcmp(fake.recorded[1].data() + 4, &car.pitSetup, sizeof(CarSetup)), 0);
    // The set-up in use changes through the packet's handler, not here.
    EXPECT_EQ(SetupsDiffer(before, *car.setup), 0);
    EXPECT_EQ(RunPitWork(car), 1000);
}

TEST_F(CarPitLane, ATyreOnlyChangeIsNoSetUpStep) {
    PitCar p;
    CarObject &car = p.car;
    car.pitSetup.axles[1].tyreType = 4;
    uint8_t list[4] = {255, 255, 255, 255};
    car.pitWork = 2;
    EXPECT_EQ(car.ApplyPitSetupChange(list), 0);
    EXPECT_EQ(Bytes(list, list + 4), Packet(255, 255, 4, 4));
    EXPECT_EQ(car.pitWork, 2u);
    car.pitSetup.maxLock = static_cast<uint8_t>(car.setup->maxLock + 1);
    EXPECT_EQ(car.ApplyPitSetupChange(list), 1);
    EXPECT_EQ(car.pitWork, 2u | (1u << 16));
}

TEST_F(CarPitLane, RefuellingStopsExactlyAtTheTarget) {
    PitCar p;
    CarObject &car = p.car;
    fake.gameState = 1;  // not racing: nothing pending, the record may go
    fake.online = 1;
    fake.refuelPercent = 20;
    car.fuel = 10.0f;
    car.lapStartFuel = 9.0f;
    fake.inZone = 1;
    car.speed = 10.0f;
    Tick(car);
    StopNearPlace(car, 0.0f);
    EXPECT_NE(car.pitWork & (1u << 17), 0u);
    const int ticks = RunPitWork(car);
    // 1 s, then 10 litres at 2 l/s.
    EXPECT_GE(ticks, 599);
    EXPECT_LE(ticks, 601);
    EXPECT_FLOAT_EQ(car.refuelTarget, 20.0f);
    EXPECT_EQ(car.fuel, car.refuelTarget);
    EXPECT_EQ(car.lapStartFuel, 0.0f);
    ASSERT_FALSE(fake.messages.empty());
    EXPECT_EQ(fake.messages.back(), "Finished refuelling : 20.0 litres");
    const std::vector<Bytes> records = PacketsOfType(2);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].size(), 56u);
    EXPECT_EQ(records[0][1], 7);
    // Nothing more happens while the car stands.
    Tick(car);
    EXPECT_EQ(car.fuel, car.refuelTarget);
    EXPECT_EQ(PacketsOfType(2).size(), 1u);
}

TEST_F(CarPitLane, NoMessagesForAnotherCarOrDuringALesson) {
    for (int variant = 0; variant < 2; variant++) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        car.fuel = car.tankSize;
        fake.driven = variant == 0 ? 0 : 1;
        fake.lesson = variant == 1 ? 1 : 0;
        fake.inZone = 1;
        car.speed = 10.0f;
        Tick(car);
        StopNearPlace(car, 0.0f);
        EXPECT_EQ(RunPitWork(car), 100);
        EXPECT_TRUE(fake.messages.empty()) << variant;
    }
}

TEST_F(CarPitLane, APenaltyStopDoesNoWork) {
    PitCar p;
    CarObject &car = p.car;
    car.penalty = 1;  // a drive-through not yet to be served
    car.fuel = 5.0f;
    fake.refuelPercent = 50;
    fake.inZone = 1;
    car.speed = 10.0f;
    Tick(car);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0], "ENTERED the pit lane for no purpose");
    StopNearPlace(car, 0.0f);
    EXPECT_EQ(car.pitWorkStep, 1);
    EXPECT_EQ(car.pitLaneState, 4);
    EXPECT_EQ(car.pitWork, 0u);
    EXPECT_EQ(fake.pitStarts, 0);
    EXPECT_TRUE(fake.recorded.empty());
    for (int i = 0; i < 300; i++)
        Tick(car);
    EXPECT_EQ(car.fuel, 5.0f);
    MoveOff(car);
    EXPECT_EQ(car.pitWorkStep, 0);
    EXPECT_EQ(fake.pitDones, 1);
    EXPECT_TRUE(PacketsOfType(66).empty());
}

TEST_F(CarPitLane, AStopGoStopIsJudgedByItsLength) {
    struct Case {
        int standTicks;
        Bytes expected;
        int request;
    } cases[] = {
        {998, Packet(66, 7, 3, 5), 3},   // 999 ticks from the stop to moving off
        {999, Packet(66, 7, 0, 0), 0},   // exactly 10 s
    };
    for (const Case &c : cases) {
        pit_fake::Install();
        PitCar p;
        CarObject &car = p.car;
        car.penalty = 4;
        car.penaltyRequest = 4;
        fake.inZone = 1;
        car.speed = 10.0f;
        Tick(car);
        StopNearPlace(car, 0.0f);
        EXPECT_EQ(car.pitLaneState, 4);
        for (int i = 0; i < c.standTicks; i++)
            Tick(car);
        MoveOff(car);
        const std::vector<Bytes> sent = PacketsOfType(66);
        ASSERT_EQ(sent.size(), 1u) << c.standTicks;
        EXPECT_EQ(sent[0], c.expected) << c.standTicks;
        EXPECT_EQ(car.penaltyRequest, c.request) << c.standTicks;
    }
}

TEST_F(CarPitLane, TakeOverAndIdleChecks) {
    PitCar p;
    CarObject &car = p.car;
    Tick(car, 1);  // moved off without a driver change
    EXPECT_TRUE(PacketsOfType(71).empty());
    car.takeOverIds[1] = 3;
    Tick(car, 1);
    ASSERT_EQ(PacketsOfType(71).size(), 1u);
    EXPECT_EQ(PacketsOfType(71)[0], Packet(71, 0, 0, 0));
    Tick(car, 0);
    EXPECT_EQ(PacketsOfType(71).size(), 1u);

    // Long after the last control touch, in neutral: the idle check pulls
    // the handbrake, but only for a car standing without pit work.
    car.stepCount = 10000;
    car.lastInputTick = 0;
    car.gear = 1;
    car.inputs[12] = 0;
    Tick(car);
    EXPECT_EQ(car.inputs[12], 0);
    car.stopped = 1;
    Tick(car);
    EXPECT_EQ(car.inputs[12], 65535);
}

TEST_F(CarPitLane, RefuelTargetTable) {
    PitCar p;
    CarObject &car = p.car;
    struct Case {
        float tank;
        float fuel;
        int percent;
        bool slot;
        float expected;
    } cases[] = {
        {50.0f, 10.0f, 30, false, 50.0f},
        {50.0f, 10.0f, 30, true, 25.0f},
        {50.0f, 10.0f, 0, true, 10.0f},
        {50.0f, 40.0f, 30, true, 50.0f},
        {50.0f, 10.0f, 250, true, 50.0f},
        {0.0f, 0.0f, 30, true, 0.0f},
    };
    for (const Case &c : cases) {
        car.tankSize = c.tank;
        car.fuel = c.fuel;
        fake.refuelPercent = c.percent;
        EXPECT_FLOAT_EQ(car.RefuelTarget(c.slot ? SlotHandle(0) : nullptr), c.expected)
            << c.tank << " " << c.fuel << " " << c.percent;
    }
}

}  // namespace
