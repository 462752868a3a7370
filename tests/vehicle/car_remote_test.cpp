#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "car_model_fixture.h"
#include "car_state_packer.h"
#include "core/fixed_math.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"
#include "world_query_double.h"

namespace {

constexpr uint32_t Now = 1000;
constexpr int TreadSegments = 16;

// The packed direction +y (the y field at its largest) and +z.
constexpr uint32_t PackedY = 511u << 12;
constexpr uint32_t PackedZ = 511u << 2;

// Everything a received record may change, copied out for comparison.
struct Snapshot {
    FixVector position;
    float orientation[9];
    float velocity[3];
    float angularMomentum[3];
    float angularVelocity[3];
    float speed;
    uint32_t remoteStateTick;
    int32_t remotePhase;
    float remoteAge;
    uint8_t bytes[8];
    uint16_t inputs[18];
    float engineSpeed;
    float turboSpeed;
    float wheelState[4][2];
    CarStateRecord last;
    uint32_t remoteStarted;

    explicit Snapshot(const CarObject &car) {
        std::memset(this, 0, sizeof(*this));
        position = car.position;
        std::memcpy(orientation, car.orientation, sizeof(orientation));
        std::memcpy(velocity, car.velocity, sizeof(velocity));
        std::memcpy(angularMomentum, car.angularMomentum, sizeof(angularMomentum));
        std::memcpy(angularVelocity, car.angularVelocity, sizeof(angularVelocity));
        speed = car.speed;
        remoteStateTick = car.remoteStateTick;
        remotePhase = car.remotePhase;
        remoteAge = car.remoteAge;
        const uint8_t b[8] = {car.active, car.singleStep, car.gear, car.requestedGear,
                              car.tcOff, car.headlight, car.remoteHeld, car.indicator};
        std::memcpy(bytes, b, sizeof(bytes));
        std::memcpy(inputs, car.inputs, sizeof(inputs));
        engineSpeed = car.engine.speed;
        turboSpeed = car.engine.turboSpeed;
        for (int i = 0; i < 4 && i < car.wheelCount; i++) {
            wheelState[i][0] = car.wheels[i].compression;
            wheelState[i][1] = car.wheels[i].angularVelocity;
        }
        last = car.lastRemoteRecord;
        remoteStarted = car.remoteStarted;
    }
    bool operator==(const Snapshot &o) const { return std::memcmp(this, &o, sizeof(*this)) == 0; }
};

// The hand-built car on the flat double, made remote, its count well past
// its last position reset. The session's view and the race slots are fakes.
struct RemoteCar : ::testing::Test {
    static RemoteCarView view;
    static CarObject *slotCars[2];
    WorldQueryDouble world;
    ModelCar model;
    CarObject &car = model.car;
    RaceHooks savedHooks{};
    CarRaceServices savedServices{};
    int savedDedicated = 0;
    int savedSpeedup = 0;

    void SetUp() override {
        BuildTyreCurves();
        savedHooks = VehicleRaceHooks;
        savedServices = RaceServices;
        savedDedicated = DedicatedMode;
        savedSpeedup = MpSpeedupOpt;
        view = RemoteCarView{0, 0, 0, 0, nullptr, 0, -1, 0};
        slotCars[0] = slotCars[1] = nullptr;
        RaceServices.getRemoteCarView = [](const CarObject *, RemoteCarView *v) { *v = view; };
        VehicleRaceHooks.slotCount = [] { return 2; };
        VehicleRaceHooks.slotCar = [](int s) { return slotCars[s]; };
        car.SetUpModel(0);
        car.Reset(0.0f, 0, 1);
        car.BecomeRemote();
        car.remotePhase = 0;
        car.stepCount = Now;
    }
    void TearDown() override {
        VehicleRaceHooks = savedHooks;
        RaceServices = savedServices;
        DedicatedMode = savedDedicated;
        MpSpeedupOpt = savedSpeedup;
        ExtrapolatingRemoteCar = 0;
    }

    // The car 10 m on, rolling along +y at `speed`, upright, in neutral with
    // the engine running.
    CarStateRecord Moving(float speed = 10.0f) const {
        CarStateRecord r{};
        r.steering = 32768;
        r.gearByte = 1;
        r.stateByte = 4;
        r.position[0] = car.position.x;
        r.position[1] = car.position.y + MetresToFix(10.0f);
        r.position[2] = car.position.z;
        r.xAxis[0] = 32767;
        r.yAxis[1] = 32767;
        r.speed = speed;
        r.velocityDirection = PackedY;
        r.engineSpeed = 10000;
        for (int i = 0; i < 4; i++) {
            r.wheelSpeeds[i] = static_cast<int16_t>(speed / car.wheels[i].radius / 3141.5927f * 32767.0f);
            r.compression[i] = 100;
        }
        return r;
    }
    // The car where it stands, at rest.
    CarStateRecord Standing() const {
        CarStateRecord r = Moving(0.0f);
        r.position[1] = car.position.y;
        r.velocityDirection = 0;
        for (int16_t &w : r.wheelSpeeds)
            w = 0;
        return r;
    }
};
RemoteCarView RemoteCar::view{};

// The angular speed of an upright car per unit of angular momentum about z.
float SpinPerMomentumAboutZ(const CarObject &car) {
    const float *i = car.inverseInertia;
    return std::sqrt(i[2] * i[2] + i[5] * i[5] + i[8] * i[8]);
}
CarObject *RemoteCar::slotCars[2] = {};

// Every record another program could send broken leaves the car exactly as
// it was: no pose, tick, gear or control of it is taken.
TEST_F(RemoteCar, MalformedRecordsChangeNothing) {
    struct Row {
        const char *name;
        void (*spoil)(CarStateRecord &r, const CarObject &car);
    };
    const Row rows[] = {
        {"zero forward axis", [](CarStateRecord &r, const CarObject &) { r.yAxis[0] = r.yAxis[1] = r.yAxis[2] = 0; }},
        {"forward axis too short", [](CarStateRecord &r, const CarObject &) { r.yAxis[1] = 20; }},
        {"parallel axes",
         [](CarStateRecord &r, const CarObject &) {
             r.xAxis[0] = 0;
             r.xAxis[1] = 32767;
         }},
        {"zero side axis", [](CarStateRecord &r, const CarObject &) { r.xAxis[0] = 0; }},
        {"NaN speed", [](CarStateRecord &r, const CarObject &) { r.speed = std::numeric_limits<float>::quiet_NaN(); }},
        {"infinite speed", [](CarStateRecord &r, const CarObject &) { r.speed = -std::numeric_limits<float>::infinity(); }},
        {"speed above 200 m/s", [](CarStateRecord &r, const CarObject &) { r.speed = 200.5f; }},
        {"reverse speed above 200 m/s", [](CarStateRecord &r, const CarObject &) { r.speed = -201.0f; }},
        {"NaN angular momentum",
         [](CarStateRecord &r, const CarObject &) {
             r.angularMomentum = std::numeric_limits<float>::quiet_NaN();
             r.angularMomentumDirection = PackedZ;
         }},
        {"infinite angular momentum",
         [](CarStateRecord &r, const CarObject &) {
             r.angularMomentum = std::numeric_limits<float>::infinity();
             r.angularMomentumDirection = PackedZ;
         }},
        // A finite spin beyond what any car body turns at: left unbounded,
        // 1e37 spins the extrapolated car until its pose is no number.
        {"angular momentum 1e37",
         [](CarStateRecord &r, const CarObject &) {
             r.angularMomentum = 1e37f;
             r.angularMomentumDirection = PackedZ;
         }},
        {"spin just above 100 rad/s",
         [](CarStateRecord &r, const CarObject &car) {
             r.angularMomentum = 100.5f / SpinPerMomentumAboutZ(car);
             r.angularMomentumDirection = PackedZ;
         }},
        {"gear position at the gear count",
         [](CarStateRecord &r, const CarObject &car) { r.gearByte = static_cast<uint8_t>(car.gearCount); }},
        {"gear position 15", [](CarStateRecord &r, const CarObject &) { r.gearByte = 0x8F; }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        CarStateRecord r = Moving();
        row.spoil(r, car);
        const Snapshot before(car);
        car.ApplyRemoteState(&r, Now - 5);
        EXPECT_TRUE(Snapshot(car) == before);
    }
    // The same record unspoilt is taken.
    const CarStateRecord good = Moving();
    car.ApplyRemoteState(&good, Now - 5);
    EXPECT_GT(car.position.y, good.position[1]);
    EXPECT_EQ(car.remoteStateTick, Now);
}

// The record's age decides how it is taken: signed, so that a record stamped
// after the car's own count is fresh, not four billion ticks old.
TEST_F(RemoteCar, RecordAgeTimesOutOrBringsTheCarForward) {
    const struct {
        const char *name;
        int32_t age;
        int32_t phase;
        float remoteAge;
        int active;
    } rows[] = {
        {"101 ticks old times the car out at once", 101, 1, 1.01f, 0},
        {"100 ticks old is applied in full", 100, 0, 1.0f, 1},
        {"fresh", 0, 0, 0.0f, 1},
        {"stamped 3 ticks ahead reads as fresh", -3, 0, 0.0f, 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ModelCar other;
        CarObject &c = other.car;
        c.SetUpModel(0);
        c.Reset(0.0f, 0, 1);
        c.BecomeRemote();
        c.stepCount = Now;
        const CarStateRecord r = Moving();
        c.ApplyRemoteState(&r, Now - static_cast<uint32_t>(row.age));
        EXPECT_EQ(c.remotePhase, row.phase);
        EXPECT_FLOAT_EQ(c.remoteAge, row.remoteAge);
        EXPECT_EQ(c.remoteStateTick, Now);
        EXPECT_EQ(c.gear, 1);
        EXPECT_NEAR(FixToMetres(c.position.x - r.position[0]), 0.0f, 0.01f);
        if (row.age >= 1 && row.active) {
            // Stepped through the missed ticks: about age x 0.1 m further on.
            const float moved = FixToMetres(c.position.y - r.position[1]);
            EXPECT_GT(moved, 0.09f * static_cast<float>(row.age));
            EXPECT_LT(moved, 0.1f * static_cast<float>(row.age));
            EXPECT_LT(c.velocity[1], 10.0f);
        } else if (row.age < 1) {
            EXPECT_EQ(c.position.y, r.position[1]);
        } else {
            // Timed out: placed where the record says, not moved on.
            EXPECT_EQ(c.position.y, r.position[1]);
            EXPECT_EQ(c.active, 0);
        }
    }
}

// A late record for a car that takes no part in collisions moves it along
// its velocity; one for a colliding car steps it with the catch-up flag set,
// and the step's bookkeeping (cycle clock, speed, tick count) stays untouched.
TEST_F(RemoteCar, LateRecordsAreCaughtUp) {
    {
        SCOPED_TRACE("dead reckoning");
        view.catchingUp = 1;
        const CarStateRecord r = Moving();
        car.ApplyRemoteState(&r, Now - 40);
        EXPECT_EQ(car.active, 0);
        EXPECT_EQ(car.singleStep, 1);
        EXPECT_EQ(car.position.y, r.position[1] + RoundToInt(40.0f * 0.01f * 65536.0f * 10.0f));
        view.catchingUp = 0;
    }
    {
        SCOPED_TRACE("full ticks");
        const CarStateRecord r = Moving();
        const uint32_t cycle = car.cycleCounter;
        car.ApplyRemoteState(&r, Now - 40);
        EXPECT_EQ(car.active, 1);
        EXPECT_EQ(ExtrapolatingRemoteCar, 0);
        EXPECT_EQ(car.stepCount, Now);
        EXPECT_EQ(car.cycleCounter, cycle);
        EXPECT_EQ(car.speed, 10.0f) << "the step's speed update is skipped";
        const float moved = FixToMetres(car.position.y - r.position[1]);
        EXPECT_GT(moved, 3.9f);
        EXPECT_LT(moved, 3.9999f) << "slowed by the physics, not dead-reckoned";
        EXPECT_LT(car.velocity[1], 10.0f);
        EXPECT_NE(car.position.z, r.position[2]) << "settled on its springs";
        // The wheels were placed and then ran on the ground.
        EXPECT_NE(car.wheels[0].compression, static_cast<float>(r.compression[0]) * car.wheels[0].maxTravel / 255.0f);
    }
}

// A standing car that is sent where it stands takes the controls and flags
// but is not moved, turned or stepped.
TEST_F(RemoteCar, RecordAtTheSamePlaceChangesOnlyControls) {
    CarStateRecord first = Standing();
    car.ApplyRemoteState(&first, Now);
    ASSERT_EQ(car.speed, 0.0f);
    const FixVector place = car.position;
    float orientation[9];
    std::memcpy(orientation, car.orientation, sizeof(orientation));

    CarStateRecord second = Standing();
    second.position[0] += 0x1000;  // 1/16 m: still the same place
    second.position[2] -= 0x1000;
    second.speed = 0.1f;
    second.velocityDirection = PackedY;
    second.xAxis[0] = 23170;  // turned 45 degrees
    second.xAxis[1] = 23170;
    second.yAxis[0] = -23170;
    second.yAxis[1] = 23170;
    second.compression[0] = 255;
    second.gearByte = 0x83;   // third gear, held
    second.inputByte = 0x85;  // word 15 = 5, traction control off
    second.stateByte = 0x36;  // lamp, running, clutch 3/3
    car.ApplyRemoteState(&second, Now - 20);
    EXPECT_EQ(car.position.x, place.x);
    EXPECT_EQ(car.position.y, place.y);
    EXPECT_EQ(car.position.z, place.z);
    EXPECT_EQ(std::memcmp(car.orientation, orientation, sizeof(orientation)), 0);
    EXPECT_EQ(car.speed, 0.0f);
    EXPECT_EQ(car.gear, 3);
    EXPECT_EQ(car.requestedGear, 3);
    EXPECT_EQ(car.remoteHeld, 1);
    EXPECT_EQ(car.inputs[15], 5);
    EXPECT_EQ(car.tcOff, 1);
    EXPECT_EQ(car.headlight, 1);
    EXPECT_EQ(car.inputs[11], 65535);
    EXPECT_FLOAT_EQ(car.remoteAge, 0.2f);

    // One step over the limits and it moves.
    second.position[0] += 1;
    car.ApplyRemoteState(&second, Now);
    EXPECT_EQ(car.position.x, second.position[0]);
    EXPECT_FLOAT_EQ(car.wheels[0].compression, car.wheels[0].maxTravel) << "byte 255 is the full travel";
}

// The full apply: pose from the two axes, velocity and angular momentum from
// the packed directions, wheels and words scaled.
TEST_F(RemoteCar, FullApplyDecodesTheRecord) {
    CarStateRecord r = Moving(12.0f);
    // Turned 90 degrees: forward is -x, the side axis +y.
    r.xAxis[0] = 0;
    r.xAxis[1] = 32767;
    r.yAxis[0] = -32767;
    r.yAxis[1] = 0;
    r.velocityDirection = static_cast<uint32_t>(-511) << 22;
    r.angularMomentum = 2000.0f;
    r.angularMomentumDirection = PackedZ;
    r.engineSpeed = 65535;
    r.turboSpeed = 65535;
    r.wheelSpeeds[1] = -32767;
    r.compression[2] = 0;
    car.ApplyRemoteState(&r, Now);
    const float expected[9] = {0.0f, -1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    for (int k = 0; k < 9; k++)
        EXPECT_NEAR(car.orientation[k], expected[k], 1e-6f) << k;
    EXPECT_FLOAT_EQ(car.velocity[0], -12.0f);
    EXPECT_FLOAT_EQ(car.angularMomentum[2], 2000.0f);
    EXPECT_FLOAT_EQ(car.angularVelocity[2], 2000.0f * car.inverseInertia[8]);
    EXPECT_NEAR(car.engine.speed, 3141.5927f, 1e-3f);
    EXPECT_NEAR(car.engine.turboSpeed, 15707.96f, 1e-2f);
    EXPECT_NEAR(car.wheels[1].angularVelocity, -3141.5927f, 1e-3f);
    EXPECT_EQ(car.wheels[2].compression, 0.0f);
    EXPECT_EQ(car.wheels[2].inContact, 0);
    EXPECT_EQ(car.remoteStarted, 1u);
    EXPECT_FLOAT_EQ(car.smoothPosition[1].value, FixToMetres(r.position[1]));
    EXPECT_EQ(std::memcmp(&car.lastRemoteRecord, &r, sizeof(r)), 0);
}

// A spin just within the bound is taken, and a hundred ticks of catching up
// at it leave the car with a pose of numbers.
TEST_F(RemoteCar, SpinWithinTheBoundIsTakenAndCaughtUp) {
    CarStateRecord r = Moving();
    r.angularMomentum = 99.5f / SpinPerMomentumAboutZ(car);
    r.angularMomentumDirection = PackedZ;
    car.ApplyRemoteState(&r, Now - 100);
    ASSERT_EQ(car.remoteStateTick, Now);
    EXPECT_EQ(std::memcmp(&car.lastRemoteRecord, &r, sizeof(r)), 0);
    EXPECT_EQ(car.active, 1);
    for (const float e : car.orientation)
        EXPECT_TRUE(std::isfinite(e));
}

// Dead reckoning moves a car across the end of the 16.16 range: positions
// wrap there as everywhere else, never overflowing (the sanitizer build
// checks the sums).
TEST_F(RemoteCar, DeadReckoningWrapsAtTheEndOfThePositionRange) {
    view.catchingUp = 1;
    CarStateRecord r = Moving();
    r.position[1] = INT32_MAX - 100;
    car.ApplyRemoteState(&r, Now - 40);
    ASSERT_EQ(car.active, 0);
    const int32_t ahead = RoundToInt(40.0f * 0.01f * 65536.0f * 10.0f);
    EXPECT_EQ(car.position.y, WrapAdd(INT32_MAX - 100, ahead));
    view.catchingUp = 0;

    // Between records, with the car taking part in collisions.
    car.ApplyRemoteState(&r, Now);
    ASSERT_EQ(car.active, 1);
    car.RemoteTick();
    EXPECT_EQ(car.position.y, WrapAdd(INT32_MAX - 100, RoundToInt(10.0f * 655.36f)));
}

// Within 100 ticks of a position reset only the record's tick is noted.
TEST_F(RemoteCar, NothingIsAppliedWhileSettlingAfterAReset) {
    car.lastPositionTick = Now - 99;
    const CarStateRecord r = Moving();
    const FixVector place = car.position;
    car.ApplyRemoteState(&r, Now);
    EXPECT_EQ(car.remoteStateTick, Now);
    EXPECT_EQ(car.position.y, place.y);
    EXPECT_EQ(car.gear, 1);
    car.lastPositionTick = Now - 100;
    car.ApplyRemoteState(&r, Now);
    EXPECT_EQ(car.position.y, r.position[1]);
}

// How the local view decides collisions and one-step simulation.
TEST_F(RemoteCar, ViewDecidesCollisionAndOneStepSimulation) {
    ModelCar viewedModel;
    ModelCar localModel;
    CarObject &viewed = viewedModel.car;
    CarObject &local = localModel.car;
    const FixVector far = {MetresToFix(500.0f), 0, 0};
    struct Row {
        const char *name;
        int catchingUp, speedup, dedicated, freeView, viewMode, nearest, sound, drawn, wake;
        bool viewedIsSelf;
        float localGap;  // metres from this car to a local car, < 0 none
        int active, singleStep;
    };
    const Row rows[] = {
        {"catching up", 1, 0, 0, 0, 0, 0, -1, 0, 0, false, -1.0f, 0, 1},
        {"viewed car far away", 0, 0, 0, 0, 0, 0, -1, 0, 0, false, -1.0f, 1, 1},
        {"this car viewed", 0, 1, 0, 0, 0, 0, -1, 0, 0, true, -1.0f, 1, 0},
        {"speed-up, nothing near", 0, 1, 0, 0, 0, 0, -1, 0, 0, false, -1.0f, 0, 1},
        {"speed-up, woken", 0, 1, 0, 0, 0, 0, -1, 0, 1, false, -1.0f, 1, 1},
        {"speed-up, outside view", 0, 1, 0, 0, 2, 0, -1, 0, 0, false, -1.0f, 1, 1},
        {"speed-up, local car 3 m off", 0, 1, 0, 0, 0, 0, -1, 0, 0, false, 3.0f, 1, 1},
        {"speed-up, local car 50 m off", 0, 1, 0, 0, 0, 0, -1, 0, 0, false, 50.0f, 0, 1},
        {"speed-up on a dedicated host", 0, 1, 1, 0, 0, 0, -1, 0, 0, false, -1.0f, 1, 0},
        {"free view, drawn", 0, 1, 0, 1, 0, 0, -1, 1, 0, false, -1.0f, 1, 1},
        {"free view, not drawn", 0, 1, 0, 1, 0, 0, -1, 0, 0, false, -1.0f, 0, 1},
        {"free view, nearest", 0, 1, 0, 1, 0, 1, -1, 0, 0, false, -1.0f, 1, 0},
        {"free view, fifth heard", 0, 1, 0, 1, 0, 0, 4, 0, 0, false, -1.0f, 1, 0},
        {"free view, sixth heard", 0, 1, 0, 1, 0, 0, 5, 0, 0, false, -1.0f, 0, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        view = RemoteCarView{row.catchingUp, 0, row.viewMode, row.freeView, row.viewedIsSelf ? &car : &viewed,
                             row.nearest, row.sound, row.drawn};
        MpSpeedupOpt = row.speedup;
        DedicatedMode = row.dedicated ? DedicatedConsole : DedicatedNone;
        car.remoteWake = static_cast<uint32_t>(row.wake);
        viewed.position = far;
        CarStateRecord r = Moving();
        slotCars[0] = nullptr;
        if (row.localGap >= 0.0f) {
            local.isRemote = 0;
            local.radius = 2.0f;
            car.radius = 2.0f;
            local.position = {car.position.x + MetresToFix(4.0f + row.localGap), car.position.y, car.position.z};
            slotCars[0] = &local;
        }
        slotCars[1] = &car;
        car.active = 1;
        car.singleStep = 0;
        car.ApplyRemoteState(&r, Now);
        EXPECT_EQ(car.active, row.active);
        EXPECT_EQ(car.singleStep, row.singleStep);
        EXPECT_EQ(car.remoteWake, 0u);
    }
}

// The decisions and the time-out belong to remote cars: a car simulated here
// never takes them, whatever it is sent.
TEST_F(RemoteCar, LocalCarIgnoresRecordsAndRemoteTicks) {
    car.BecomeLocal();
    car.active = 1;
    car.singleStep = 0;
    car.remoteStateTick = 0;
    view.catchingUp = 1;
    const CarStateRecord r = Moving();
    const Snapshot before(car);
    car.ApplyRemoteState(&r, Now - 150);
    car.RemoteTick();
    EXPECT_TRUE(Snapshot(car) == before);
}

// Between records the car is dead-reckoned and times out after 150 ticks.
TEST_F(RemoteCar, RemoteTickTimesOutAfter150Ticks) {
    const CarStateRecord r = Moving();
    car.ApplyRemoteState(&r, Now);
    ASSERT_EQ(car.active, 1);
    const int32_t y = car.position.y;
    car.stepCount = Now + 150;
    car.RemoteTick();
    EXPECT_EQ(car.remotePhase, 0);
    EXPECT_EQ(car.position.y, y + RoundToInt(10.0f * 655.36f));
    EXPECT_EQ(car.predictedPosition.y, car.position.y);
    car.stepCount = Now + 151;
    car.RemoteTick();
    EXPECT_EQ(car.remotePhase, 1);
    EXPECT_EQ(car.active, 0);
    EXPECT_FLOAT_EQ(car.remoteAge, 1.51f);
    const int32_t stoppedAt = car.position.y;
    car.RemoteTick();
    EXPECT_EQ(car.position.y, stoppedAt);

    // A record noted at a count ahead of the car's (signed age) never times
    // it out.
    car.remotePhase = 0;
    car.active = 1;
    car.remoteStateTick = car.stepCount + 10;
    car.RemoteTick();
    EXPECT_EQ(car.remotePhase, 0);
}

// Remote and back: the areas return exactly, the tread's heat is kept
// through collapse and expand, and the pit and limiter state is set.
TEST_F(RemoteCar, BecomeRemoteAndBackRestoresTheTyreModel) {
    car.BecomeLocal();
    const float tread[2] = {car.axles[0].treadSectionArea, car.axles[1].treadSectionArea};
    const float side[2] = {car.axles[0].sidewallArea, car.axles[1].sidewallArea};
    // A tread warmed unevenly round the wheel.
    CarWheel &w = car.wheels[0];
    float heat = 0.0f;
    for (int s = 0; s < TreadSegments; s++) {
        w.tread[s].sections[1].bulkHeat = 300.0f + static_cast<float>(s);
        w.tread[s].sections[1].skinHeat = 310.0f + 2.0f * static_cast<float>(s);
        heat += w.tread[s].sections[1].bulkHeat + w.tread[s].sections[1].skinHeat;
    }

    car.BecomeRemote();
    car.BecomeRemote();  // a second call changes nothing
    EXPECT_EQ(car.isRemote, 1u);
    EXPECT_EQ(car.axles[0].treadSectionArea, tread[0] * 16.0f);
    EXPECT_EQ(car.axles[1].sidewallArea, side[1] * 16.0f);
    EXPECT_EQ(car.pitLaneState, 4);
    EXPECT_EQ(car.remoteHeld, 1);
    EXPECT_NEAR(w.tread[0].sections[1].bulkHeat + w.tread[0].sections[1].skinHeat, heat, heat * 1e-6f);

    car.stopped = 1;
    car.dataFlags |= 1u << 30;
    car.active = 0;
    car.singleStep = 1;
    car.BecomeLocal();
    car.BecomeLocal();
    EXPECT_EQ(car.isRemote, 0u);
    EXPECT_EQ(car.active, 1);
    EXPECT_EQ(car.singleStep, 0);
    EXPECT_EQ(car.pitWorkStep, 1);
    EXPECT_EQ(car.remoteHeld, 0);
    EXPECT_EQ(car.speedLimit, 255) << "no world: the limit that never bites";
    for (int a = 0; a < 2; a++) {
        EXPECT_EQ(car.axles[a].treadSectionArea, tread[a]);
        EXPECT_EQ(car.axles[a].sidewallArea, side[a]);
    }
    float after = 0.0f;
    for (int s = 0; s < TreadSegments; s++)
        after += w.tread[s].sections[1].bulkHeat + w.tread[s].sections[1].skinHeat;
    EXPECT_NEAR(after, heat, heat * 1e-6f);
}

// A fake path follower: a node A at the origin and B 10 m on, both heading
// +y, with road edges 5 m either side of A.
struct FakeFollower {
    static inline int hasNode = 0;
    static inline int resets = 0;
    static inline int finds = 0;
    static int Place(const PathFollower *, int next, PathNodePlace *place) {
        if (!hasNode)
            return 0;
        *place = PathNodePlace{{0, next ? MetresToFix(10.0f) : 0, 0}, {0.0f, 1.0f, 0.0f}, -5.0f, 5.0f};
        return 1;
    }
    static void Reset(PathFollower *) {
        resets++;
        hasNode = 0;
    }
    static int Find(PathFollower *, const int32_t *) {
        finds++;
        hasNode = 1;
        return 0;
    }
};

// A car that becomes local keeps its path node while it is within 20 m of
// the span and of the road (both ends included); otherwise the follower
// searches afresh. The first record places the follower once.
TEST_F(RemoteCar, PathFollowerAfterSwitching) {
    const CarObjectServices savedCarServices = CarServices;
    CarServices.pathFollowerPlace = FakeFollower::Place;
    CarServices.resetPathFollower = FakeFollower::Reset;
    CarServices.findPathPosition = FakeFollower::Find;
    alignas(8) static unsigned char follower[8];
    car.pathFollower = reinterpret_cast<PathFollower *>(follower);
    const struct {
        const char *name;
        float x, y;
        int hasNode;
        int searched;
    } rows[] = {
        {"inside the span", 0.0f, 5.0f, 1, 0},
        {"20 m past the next node", 0.0f, 30.0f, 1, 0},
        {"beyond 20 m past it", 0.0f, 30.5f, 1, 1},
        {"20 m behind the node", 0.0f, -20.0f, 1, 0},
        {"beyond 20 m behind", 0.0f, -20.5f, 1, 1},
        {"20 m outside the right edge", 25.0f, 5.0f, 1, 0},
        {"beyond it", 25.5f, 5.0f, 1, 1},
        {"beyond the left edge", -25.5f, 5.0f, 1, 1},
        {"no node", 0.0f, 5.0f, 0, 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        car.BecomeRemote();
        car.position = {MetresToFix(row.x), MetresToFix(row.y), 0};
        FakeFollower::hasNode = row.hasNode;
        FakeFollower::resets = 0;
        FakeFollower::finds = 0;
        car.BecomeLocal();
        EXPECT_EQ(FakeFollower::finds, row.searched);
        EXPECT_EQ(FakeFollower::hasNode, 1);
    }

    car.BecomeRemote();
    FakeFollower::finds = 0;
    car.remoteStarted = 0;
    const CarStateRecord r = Moving();
    car.ApplyRemoteState(&r, Now);
    car.ApplyRemoteState(&r, Now);
    EXPECT_EQ(FakeFollower::finds, 1);
    car.pathFollower = nullptr;
    CarServices = savedCarServices;
}

// A preview car steps by the real time given it, at most 100 ms behind, and
// not while the window is in the background.
TEST(StepStandalone, StepsByWallTimeAtMost100msBehind) {
    BuildTyreCurves();
    WorldQueryDouble world;
    const int savedStep = GameClockStep;
    const int savedInactive = WindowInactive;
    struct Row {
        const char *name;
        int inactive;
        int frames;
        int ms;
        uint32_t steps;
    } rows[] = {
        // Below 100 ms on the clock the backlog bound is 0, not a wrapped
        // four billion that would stop the preview for good.
        {"first frame of a new car", 0, 1, 16, 2},
        {"first frames of a new car", 0, 6, 16, 10},
        {"a second without drawing catches up 10 steps", 0, 1, 1000, 10},
        {"steady frames", 0, 100, 20, 200},
        {"inactive window", 1, 10, 16, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ModelCar model;
        CarObject &car = model.car;
        car.SetUpModel(0);
        car.Reset(0.0f, 0, 1);
        car.previewCar = 1;
        WindowInactive = row.inactive;
        GameClockStep = row.ms;
        for (int f = 0; f < row.frames; f++)
            car.StepStandalone();
        EXPECT_EQ(car.stepCount, row.steps);
        if (row.inactive == 0) {
            EXPECT_GE(car.standaloneDone, car.standaloneClock);
            EXPECT_LT(car.standaloneDone, car.standaloneClock + 10);
        } else {
            EXPECT_EQ(car.standaloneClock, 0u);
        }
    }
    GameClockStep = savedStep;
    WindowInactive = savedInactive;
}

}  // namespace
