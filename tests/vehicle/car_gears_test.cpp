#include <gtest/gtest.h>

#include <cmath>

#include "car_model_fixture.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world_query_double.h"

namespace {

// The hand-built car with its set-up applied, standing, wheels on the
// ground, the clutch up, the controls untouched and the stop tests past
// their first second.
struct GearCar : ModelCar {
    explicit GearCar(int kind = 3) {
        car.gearboxKind = kind;
        car.SetUpModel(0);
        car.SetShiftTimes();
        car.stopCheckCount = 100;
        car.gear = 1;
        car.requestedGear = 1;
        car.engine.clutchPedal = 0.0f;
        for (int i = 0; i < car.wheelCount; i++) {
            car.wheels[i].inContact = 1;
            car.wheels[i].slip = 0.0f;
        }
    }
    // One tick of gear requests with the given shift words.
    void Tick(uint16_t up, uint16_t down, uint16_t direct = 255) {
        car.inputs[3] = up;
        car.inputs[4] = down;
        car.inputs[14] = direct;
        car.StepPitStop(nullptr, 0.01f, 0);
    }
};

TEST(CarGears, SetUpGivesAGearboxToJudge) {
    GearCar g;
    ASSERT_GE(g.car.gearCount, 4);
    ASSERT_GT(g.car.engine.maxPowerSpeed, g.car.engine.idleSpeed);
    ASSERT_GT(g.car.engine.maxSpeed, g.car.engine.maxPowerSpeed);
}

// Over the whole rev range and any throttle or clutch, top gear never asks to
// change up and first gear never asks to change down; at maxPowerSpeed
// exactly no gear asks for anything.
TEST(CarGears, AutoGearBoundsOverTheRevRange) {
    GearCar g;
    CarObject &car = g.car;
    const int top = car.gearCount - 1;
    const float pedals[][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.6f, 0.5f}, {1.0f, 1.0f}};
    for (const auto &pedal : pedals) {
        car.engine.throttle = pedal[0];
        car.engine.clutchPedal = pedal[1];
        for (int k = 0; k <= 200; k++) {
            const float w = car.engine.maxSpeed * 1.1f * static_cast<float>(k) / 200.0f;
            car.gear = static_cast<uint8_t>(top);
            EXPECT_NE(car.ChooseAutoGear(w), 2) << "top gear at w " << w;
            car.gear = 2;
            EXPECT_NE(car.ChooseAutoGear(w), 1) << "first gear at w " << w;
        }
        for (int gear = 2; gear <= top; gear++) {
            car.gear = static_cast<uint8_t>(gear);
            if (pedal[0] > 0.5f && car.engine.maxPowerSpeed < 0.75f * car.engine.idleSpeed)
                continue;
            EXPECT_EQ(car.ChooseAutoGear(car.engine.maxPowerSpeed), 0) << "gear " << gear;
        }
    }
}

// The choices the automatic gearbox does make, and what blocks a change up.
TEST(CarGears, AutoGearChangesUpNearTheLimitAndDownWhenBogged) {
    GearCar g;
    CarObject &car = g.car;
    // At the rev limit, which lies above the power peak.
    const float nearLimit = car.engine.maxSpeed;

    car.gear = 2;
    EXPECT_EQ(car.ChooseAutoGear(nearLimit), 2);
    car.engine.clutchPedal = 0.1f;
    EXPECT_EQ(car.ChooseAutoGear(nearLimit), 0) << "clutch pressed";
    car.engine.clutchPedal = 0.0f;
    car.wheels[0].slip = car.wheels[0].peakSlipShown * 2.0f;  // a driven rear wheel spins
    EXPECT_EQ(car.ChooseAutoGear(nearLimit), 0) << "driven wheel spinning";
    car.wheels[0].slip = 0.0f;
    car.wheels[1].inContact = 0;
    EXPECT_EQ(car.ChooseAutoGear(nearLimit), 0) << "driven wheel in the air";
    car.wheels[1].inContact = 1;
    car.wheels[2].inContact = 0;  // an undriven front wheel
    EXPECT_EQ(car.ChooseAutoGear(nearLimit), 2);

    car.gear = 4;
    car.engine.throttle = 0.6f;
    EXPECT_EQ(car.ChooseAutoGear(0.5f * car.engine.idleSpeed), 1) << "bogged down";
    car.engine.throttle = 0.0f;
    EXPECT_EQ(car.ChooseAutoGear(1.2f * car.engine.idleSpeed), 1) << "lower gear gives more power";
    EXPECT_EQ(car.ChooseAutoGear(car.engine.maxPowerSpeed - 1.0f), 0) << "lower gear would pass the peak";
    car.gear = 1;
    EXPECT_EQ(car.ChooseAutoGear(nearLimit), 0) << "neutral";
}

struct RequestCase {
    const char *name;
    int kind;
    uint8_t gear;
    float speed;
    uint16_t up, down, direct;
    int expected;  // the gear after one tick; -1 the top gear
};

// Shift controls and the direct gear word, one tick each, the clutch free
// of torque so that a request is carried out at once.
TEST(CarGears, ShiftControlRequests) {
    const RequestCase cases[] = {
        {"kind 2: down from reverse goes to neutral", 2, 0, 0.0f, 0, 1, 255, 1},
        {"kind 2: down from neutral goes to first", 2, 1, 0.0f, 0, 1, 255, 2},
        {"kind 2: down from first stays in first", 2, 2, 0.0f, 0, 1, 255, 2},
        {"kind 2: down from third", 2, 4, 10.0f, 0, 1, 255, 3},
        {"kind 2: up from reverse goes to neutral", 2, 0, 0.0f, 1, 0, 255, 1},
        {"kind 2: up from first below 2 m/s goes to neutral", 2, 2, 1.99f, 1, 0, 255, 1},
        {"kind 2: up from first at 2 m/s goes to second", 2, 2, 2.0f, 1, 0, 255, 3},
        {"kind 2: up in top stays", 2, 6, 30.0f, 1, 0, 255, -1},
        {"kind 3: down from first goes to neutral", 3, 2, 0.0f, 0, 1, 255, 1},
        {"kind 3: down from neutral goes to reverse", 3, 1, 0.0f, 0, 1, 255, 0},
        {"kind 3: down in reverse stays", 3, 0, 0.0f, 0, 1, 255, 0},
        {"kind 3: up from first", 3, 2, 5.0f, 1, 0, 255, 3},
        {"kind 3: up in top stays", 3, 6, 30.0f, 1, 0, 255, -1},
        {"both controls keep the gear (kind 2)", 2, 3, 5.0f, 1, 1, 255, 3},
        {"both controls keep the gear (kind 3)", 3, 3, 5.0f, 1, 1, 255, 3},
        {"both controls keep the gear (kind 1)", 1, 3, 5.0f, 1, 1, 255, 3},
        {"direct word selects a gear", 3, 2, 5.0f, 0, 0, 4, 4},
        {"direct word beyond the box is no request", 3, 2, 5.0f, 0, 0, 7, 2},
        {"direct word far beyond the table is no request", 3, 2, 5.0f, 0, 0, 200, 2},
    };
    for (const RequestCase &c : cases) {
        SCOPED_TRACE(c.name);
        GearCar g(c.kind);
        CarObject &car = g.car;
        ASSERT_EQ(car.gearCount, 7);
        car.gear = c.gear;
        car.requestedGear = c.gear;
        car.speed = c.speed;
        car.engine.clutchTorque = 0.0f;
        car.engine.clutchPedal = 1.0f;
        g.Tick(c.up, c.down, c.direct);
        const int expected = c.expected < 0 ? car.gearCount - 1 : c.expected;
        EXPECT_EQ(car.gear, expected);
        // Holding the controls asks nothing more.
        g.Tick(c.up, c.down, c.direct);
        EXPECT_EQ(car.gear, expected);
        EXPECT_LT(car.gear, car.gearCount);
    }
}

TEST(CarGears, NoGearRequestsInTheFirstSecondAfterAReset) {
    GearCar g;
    g.car.stopCheckCount = 99;
    g.car.engine.clutchPedal = 1.0f;
    g.Tick(0, 0, 3);
    EXPECT_EQ(g.car.gear, 1);
    g.car.stopCheckCount = 100;
    g.Tick(0, 0, 3);
    EXPECT_EQ(g.car.gear, 3);
}

// A change other boxes cannot make while the clutch carries torque is tried
// again every tick, with its throttle cut set again.
TEST(CarGears, ChangeWaitsForTheClutchTorqueToFall) {
    GearCar g(3);
    CarObject &car = g.car;
    car.autoCut = 1;
    car.gear = 3;
    car.requestedGear = 3;
    car.engine.clutchTorque = 0.5f * car.engine.maxTorque;
    g.Tick(1, 0);
    EXPECT_EQ(car.gear, 3);
    EXPECT_EQ(car.requestedGear, 4);
    EXPECT_EQ(car.throttleCutTimer, car.shiftTimes[1]);
    car.throttleCutTimer = 0.0f;
    g.Tick(1, 0);
    EXPECT_EQ(car.gear, 3);
    EXPECT_EQ(car.throttleCutTimer, car.shiftTimes[1]);
    car.engine.clutchTorque = -0.29f * car.engine.maxTorque;
    g.Tick(1, 0);
    EXPECT_EQ(car.gear, 4);
}

struct EngageCase {
    const char *name;
    float clutch;
    float engineSpeed;
    float wheelShare;  // driven wheels turn at this share of the new gear's speed
    bool noDrivenWheels;
    bool engages;
};

// From neutral a gear engages only with the clutch pressed, the engine
// (nearly) stopped, or the engine within 2 % of the speed the new gear gives.
TEST(CarGears, EngagingFromNeutral) {
    const EngageCase cases[] = {
        {"clutch pressed", 0.91f, 300.0f, 0.0f, false, true},
        {"clutch at 0.9 exactly", 0.9f, 300.0f, 0.0f, false, false},
        {"engine stopped", 0.0f, 0.99f, 0.0f, false, true},
        {"engine 1 % fast", 0.0f, 300.0f, 1.0f / 1.01f, false, true},
        {"engine 1 % slow", 0.0f, 300.0f, 1.0f / 0.99f, false, true},
        {"engine 3 % fast", 0.0f, 300.0f, 1.0f / 1.03f, false, false},
        {"wheels still", 0.0f, 300.0f, 0.0f, false, false},
        {"no driven wheel", 0.0f, 300.0f, 1.0f, true, false},
    };
    for (const EngageCase &c : cases) {
        SCOPED_TRACE(c.name);
        GearCar g(3);
        CarObject &car = g.car;
        car.engine.clutchPedal = c.clutch;
        car.engine.speed = c.engineSpeed;
        const float factor = car.rearDriveFactor;
        ASSERT_GT(factor, 0.0f);
        const float omega = c.wheelShare * c.engineSpeed / (car.gearRatios[2] * car.finalDrive * factor);
        for (int i = 0; i < car.wheelCount; i++)
            car.wheels[i].angularVelocity = omega;
        if (c.noDrivenWheels) {
            car.drivenWheelCount = 0;
            for (int i = 0; i < car.wheelCount; i++)
                car.wheels[i].driven = 0;
        }
        g.Tick(0, 0, 2);
        EXPECT_EQ(car.gear, c.engages ? 2 : 1);
    }
}

// The clutchless box goes through neutral: 3 -> 1 on the first tick of a
// change, 1 -> 2 when the automatic clutch takes the pedal down. The engine
// sound therefore hears only one change into a gear.
TEST(CarGears, KindOneShiftsThroughNeutral) {
    GearCar g(1);
    CarObject &car = g.car;
    car.autoClutch = 1;
    car.autoBlip = 1;
    car.gear = 3;
    car.requestedGear = 3;
    car.engine.speed = 400.0f;
    g.Tick(0, 0, 2);
    EXPECT_EQ(car.gear, 1);
    EXPECT_EQ(car.blipTimer, car.shiftTimes[2]);
    g.Tick(0, 0, 2);
    EXPECT_EQ(car.gear, 2);
    EXPECT_EQ(car.engine.clutchPedal, 1.0f);
    EXPECT_EQ(car.autoClutchTimer, car.shiftTimes[0]);
}

// The automatic gearbox waits autoShiftHold ticks after a change, then
// judges the larger of the engine speed and the road speed's.
TEST(CarGears, AutoShiftJudgesTheRoadSpeedAfterItsHold) {
    GearCar g(3);
    CarObject &car = g.car;
    car.autoGears = 1;
    car.gear = 2;
    car.requestedGear = 2;
    car.engine.clutchTorque = 0.0f;
    car.engine.clutchPedal = 0.0f;
    car.engine.speed = 0.0f;
    car.engine.totalRatio = car.gearRatios[2] * car.finalDrive;
    car.speed = car.engine.maxSpeed * car.axles[0].outerRadius / car.engine.totalRatio;
    EXPECT_NEAR(car.EngineSpeedForRoadSpeed(), car.engine.maxSpeed, 0.01f);
    car.autoShiftHold = 2;
    g.Tick(0, 0);
    EXPECT_EQ(car.gear, 2);
    g.Tick(0, 0);
    EXPECT_EQ(car.gear, 3);
    EXPECT_EQ(car.autoShiftHold, 100);
}

// A race of one slot holding the car, for the car's own step.
CarObject *RaceCar = nullptr;
alignas(8) unsigned char RaceSlotBytes[64];

struct OneSlotRace {
    RaceHooks savedHooks = VehicleRaceHooks;
    CarRaceServices savedServices = RaceServices;
    explicit OneSlotRace(CarObject *car) {
        RaceCar = car;
        VehicleRaceHooks.slotCount = [] { return 1; };
        VehicleRaceHooks.slotCar = [](int) { return RaceCar; };
        RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(RaceSlotBytes); };
    }
    ~OneSlotRace() {
        VehicleRaceHooks = savedHooks;
        RaceServices = savedServices;
        RaceCar = nullptr;
    }
};

// In the car's step the shift 3 -> 1 -> 2 of a clutchless box is heard as
// one change while the car sound runs.
TEST(CarGears, ShiftThroughNeutralCountsOneChangeInTheStep) {
    WorldQueryDouble world;
    GearCar g(1);
    CarObject &car = g.car;
    car.Reset(0.0f, 0, 1);
    car.autoClutch = 1;
    OneSlotRace race(&car);
    const int savedSound = carSoundStarted;
    carSoundStarted = 1;
    // No ground takes the car's weight here: without gravity it does not
    // fall out of the world, where its step would stop it dead.
    auto tick = [&car] {
        car.Step(0.01f, 0.0f);
        car.stepCount++;
    };
    for (int i = 0; i < 100; i++)
        tick();
    car.inputs[14] = 3;
    tick();
    ASSERT_EQ(car.gear, 3);
    const uint8_t before = car.gearChangeCount;
    car.inputs[14] = 2;
    tick();
    EXPECT_EQ(car.gear, 1);
    tick();
    EXPECT_EQ(car.gear, 2);
    EXPECT_EQ(car.gearChangeCount, static_cast<uint8_t>(before + 1));
    carSoundStarted = savedSound;
}

}  // namespace
