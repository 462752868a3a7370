#include <gtest/gtest.h>

#include <cmath>

#include "car_model_fixture.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "world_query_double.h"

namespace {

constexpr float HalfPi = 1.5707963f;

// The flat double whose solid queries also meet its wall, as a track's
// solid objects are met by the world's.
class WalledWorld : public WorldQueryDouble {
public:
    WorldObject *wallObject = nullptr;
    int SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record) const override {
        WorldQueryDouble::SolidContactQuery(point, ray, record);
        if (wallObject != nullptr)
            Contact(wallObject, point, ray, record, nullptr, nullptr, nullptr);
        return record.fraction != 0;
    }
};

// The hand-built car with its set-up applied and a 4 m x 1.8 m body box,
// reset once.
struct ResetCar : ModelCar {
    ResetCar() {
        car.SetUpModel(0);
        car.maxX = 0.9f;
        car.minX = -0.9f;
        car.maxY = 2.0f;
        car.minY = -2.0f;
        car.Reset(0.0f, 0, 1);
    }
    float LowestTyreAbove(int32_t groundZ) const {
        float lowest = 1000.0f;
        for (int i = 0; i < car.wheelCount; i++) {
            const float bottom = car.wheels[i].baseHeight - car.wheels[i].radius;
            lowest = bottom < lowest ? bottom : lowest;
        }
        return FixToMetres(car.position.z - groundZ) + lowest;
    }
};

TEST(CarReset, HeadingTurnsTheCarAboutZ) {
    WalledWorld world;
    ResetCar r;
    r.car.Reset(HalfPi, 0, 1);
    const float rows[9] = {0.0f, -1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    for (int k = 0; k < 9; k++) {
        EXPECT_NEAR(r.car.orientation[k], rows[k], 1e-6f) << k;
        EXPECT_EQ(r.car.predictedOrientation[k], r.car.orientation[k]) << k;
    }
}

// The car is dropped onto the ground below it, from above or below, with
// every tyre 5 cm clear; its x and y stay.
TEST(CarReset, PlacesTheCarOnTheGroundBelow) {
    const struct {
        const char *name;
        float groundHeight;
        float startHeight;
        int fullProbe;
    } cases[] = {
        {"full probe from high above", 1.5f, 50.0f, 1},
        {"full probe from under the ground", 1.5f, -10.0f, 1},
        {"near probe within 2 m", -0.5f, 0.8f, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WalledWorld world;
        world.groundHeight = MetresToFix(c.groundHeight);
        ResetCar r;
        r.car.position = {MetresToFix(3.0f), MetresToFix(-4.0f), MetresToFix(c.startHeight)};
        r.car.Reset(0.0f, 0, c.fullProbe);
        EXPECT_NEAR(r.LowestTyreAbove(world.groundHeight), 0.05f, 1e-4f);
        EXPECT_EQ(r.car.position.x, MetresToFix(3.0f));
        EXPECT_EQ(r.car.position.y, MetresToFix(-4.0f));
        EXPECT_EQ(r.car.predictedPosition.z, r.car.position.z);
        EXPECT_NEAR(r.car.smoothPosition[2].value, FixToMetres(r.car.position.z) + r.car.dryCentreOfMass[2], 1e-4f);
    }
}

// Corners inside a wall push the car out, each by its own depth and a
// sixteenth more: the two front corners 0.4 m in move the car 0.85 m. A
// rescue tries smaller corners too and ends at the same place.
TEST(CarReset, PushesTheCarOutOfAWall) {
    for (int rescue = 0; rescue <= 1; rescue++) {
        SCOPED_TRACE(rescue);
        WalledWorld world;
        const int32_t wallX = MetresToFix(10.0f);
        world.wallObject = world.SetWall(wallX, -1);
        ResetCar r;
        r.car.position = {MetresToFix(9.5f), 0, MetresToFix(0.5f)};
        r.car.Reset(0.0f, rescue, 1);
        const float cornerX = FixToMetres(r.car.position.x) + r.car.maxX;
        EXPECT_NEAR(cornerX, 10.4f - 2.0f * 1.0625f * 0.4f, 0.01f);
        EXPECT_EQ(r.car.position.y, 0);
    }
}

// A world whose solid meets only the front right corner of one placement
// pass's shrunken box, a quarter of the probe deep, however far the car has
// moved: that pass pushes every time, so the rescue keeps starting over
// until 12 passes have run.
class PassWorld : public WorldQueryDouble {
public:
    float cornerScale = 1.0f;
    int cornerQueries = 0;
    int hits = 0;
    int SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record) const override {
        if (ray.z != 0)
            return WorldQueryDouble::SolidContactQuery(point, ray, record);
        auto *self = const_cast<PassWorld *>(this);
        self->cornerQueries++;
        if (ray.x != MetresToFix(0.9f * cornerScale) || ray.y != MetresToFix(2.0f * cornerScale))
            return 0;
        self->hits++;
        record.fraction = 0x4000;
        record.normal[0] = -1.0f;
        return 1;
    }
};

// Pass 0 uses the whole box; passes 1 and 2 (rescue only) the box scaled
// 0.75 and 0.5 with a third and a whole probe of extra push. A pushing pass
// starts the sequence over from pass 0, and the placement gives up once a
// new sequence would start after 12 passes.
TEST(CarReset, PlacementPassesShrinkStartOverAndStopAfterTwelve) {
    const struct {
        const char *name;
        int rescue;
        float scale;
        int64_t extra;       // 16.16
        int passesPerPush;   // passes of one sequence up to its push
    } rows[] = {
        {"plain reset, whole box", 0, 1.0f, 0, 1},
        {"rescue, whole box", 1, 1.0f, 0, 1},
        {"rescue, pass 1 at 0.75", 1, 0.75f, 21845, 2},
        {"rescue, pass 2 at 0.5", 1, 0.5f, 65536, 3},
        {"plain reset never tries the smaller box", 0, 0.75f, 0, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        PassWorld world;
        ResetCar r;
        world.cornerScale = row.scale;
        world.cornerQueries = 0;
        world.hits = 0;
        r.car.position = {0, 0, MetresToFix(0.5f)};
        r.car.Reset(0.0f, row.rescue, 1);
        if (row.passesPerPush == 0) {
            EXPECT_EQ(world.hits, 0);
            EXPECT_EQ(world.cornerQueries, 4);
            EXPECT_EQ(r.car.position.x, 0);
            continue;
        }
        const int pushes = 12 / row.passesPerPush;
        EXPECT_EQ(world.hits, pushes);
        EXPECT_EQ(world.cornerQueries, 4 * 12);
        const int64_t k = 0x4000 + 0x4000 / 16 + row.extra;
        const int64_t step = (static_cast<int64_t>(MetresToFix(0.9f * row.scale)) * k) >> 16;
        EXPECT_EQ(r.car.position.x, -pushes * step);
        EXPECT_EQ(r.car.position.y, -pushes * ((static_cast<int64_t>(MetresToFix(2.0f * row.scale)) * k) >> 16));
    }
}

// Whatever the car was doing, the reset leaves it standing in neutral with
// the controls released and the stop tests starting over.
TEST(CarReset, ClearsMotionControlsAndTimers) {
    WalledWorld world;
    ResetCar r;
    CarObject &car = r.car;
    car.gear = 4;
    car.requestedGear = 5;
    car.speed = 20.0f;
    car.velocity[0] = 20.0f;
    car.angularMomentum[2] = 100.0f;
    car.angularVelocity[1] = 1.0f;
    car.engine.speed = 500.0f;
    car.engine.running = 1;
    car.inputs[1] = 65535;
    car.inputs[3] = 1;
    car.inputs[14] = 3;
    car.brake = 1.0f;
    car.blipTimer = 0.1f;
    car.autoShiftHold = 50;
    car.upLatch = 1;
    car.stopCheckCount = 100;
    car.stopped = 0;
    car.wheels[0].angularVelocity = 50.0f;
    car.wheels[0].compression = 0.1f;
    car.stepCount = 1234;
    car.Reset(0.0f, 0, 1);

    EXPECT_EQ(car.gear, 1);
    EXPECT_EQ(car.requestedGear, 1);
    EXPECT_EQ(car.speed, 0.0f);
    EXPECT_EQ(car.velocity[0], 0.0f);
    EXPECT_EQ(car.angularMomentum[2], 0.0f);
    EXPECT_EQ(car.angularVelocity[1], 0.0f);
    EXPECT_EQ(car.engine.speed, 0.0f);
    EXPECT_EQ(car.engine.running, 0u);
    EXPECT_EQ(car.inputs[0], 32768);
    EXPECT_EQ(car.inputs[1], 0);
    EXPECT_EQ(car.inputs[3], 0);
    EXPECT_EQ(car.inputs[14], 255);
    EXPECT_EQ(car.brake, 0.0f);
    EXPECT_EQ(car.blipTimer, 0.0f);
    EXPECT_EQ(car.autoShiftHold, 0);
    EXPECT_EQ(car.upLatch, 0);
    EXPECT_EQ(car.stopCheckCount, 0);
    EXPECT_EQ(car.stopped, 1);
    EXPECT_EQ(car.moving, 1);
    EXPECT_EQ(car.wheels[0].angularVelocity, 0.0f);
    EXPECT_EQ(car.wheels[0].compression, 0.0f);
    EXPECT_EQ(car.lastInputTick, 1234u);
    EXPECT_EQ(car.resetPosition.x, car.position.x);
}

// A standing car counts 100 resting ticks before it may leave the body
// list; any tick that is not at rest starts the count again.
TEST(CarStandstill, CountsOneHundredRestingTicks) {
    const struct {
        const char *name;
        void (*disturb)(CarObject &car, RigidBody &other);
    } cases[] = {
        {"engine running", [](CarObject &car, RigidBody &) { car.engine.running = 1; }},
        {"rolling", [](CarObject &car, RigidBody &) { car.speed = 0.05f; }},
        {"engine turning", [](CarObject &car, RigidBody &) { car.engine.speed = 1.0f; }},
        {"rocking", [](CarObject &car, RigidBody &) { car.angularVelocity[0] = -0.2f; }},
        {"held in the pit", [](CarObject &car, RigidBody &) { car.pitWorkStep = 3; }},
        {"a moving body near", [](CarObject &, RigidBody &other) { other.moving = 1; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PhysicsWorld world;
        ResetCar r;
        CarObject &car = r.car;
        RigidBody other(1, 0, nullptr);
        other.radius = 2.0f;
        other.position = {MetresToFix(3.0f), 0, 0};
        car.radius = 2.0f;
        world.Add(&car);
        world.Add(&other);
        for (int i = 0; i < 99; i++)
            ASSERT_EQ(car.CountStandstill(), 0) << i;
        c.disturb(car, other);
        EXPECT_EQ(car.CountStandstill(), 0);
        car.engine.running = 0;
        car.engine.speed = 0.0f;
        car.speed = 0.0f;
        car.angularVelocity[0] = 0.0f;
        car.pitWorkStep = 0;
        other.moving = 0;
        for (int i = 0; i < 99; i++)
            ASSERT_EQ(car.CountStandstill(), 0) << i;
        EXPECT_EQ(car.CountStandstill(), 1);
        EXPECT_EQ(car.standstillCount, 0);
    }
}

TEST(CarStandstill, HeldCarRestsOnceItMayLeaveAndNeverWithoutAWorld) {
    ResetCar r;
    CarObject &car = r.car;
    car.pitWorkStep = 17;
    car.pitLaneState = 4;
    {
        PhysicsWorld world;
        for (int i = 0; i < 99; i++)
            ASSERT_EQ(car.CountStandstill(), 0);
        EXPECT_EQ(car.CountStandstill(), 1);
    }
    for (int i = 0; i < 150; i++)
        ASSERT_EQ(car.CountStandstill(), 0);
}

}  // namespace

// The reset silences the car's sound from the start: the sound state zeroed,
// no horn sounding and none started, no starter or gear-change sound owed;
// the sound-off byte is left alone.
TEST(CarReset, ClearsTheSoundStateHornsStarterAndGearChanges) {
    ResetCar r;
    CarObject &car = r.car;
    car.soundState.pulseClock = 12.0f;
    car.soundState.wind.leftGain = 0.7f;
    car.soundState.waveVoices[WaveVoiceStarter].fraction = 40.0f;
    car.hornIndex = 3;
    car.hornStarted = 3;
    car.engineStartSound = 1;
    car.gearChangeCount = 4;
    car.soundOff = 1;
    car.Reset(0.0f, 0, 1);
    EXPECT_EQ(car.soundState.pulseClock, 0.0f);
    EXPECT_EQ(car.soundState.wind.leftGain, 0.0f);
    EXPECT_EQ(car.soundState.wind.sample, nullptr);
    EXPECT_EQ(car.soundState.waveVoices[WaveVoiceStarter].fraction, 0.0f);
    EXPECT_EQ(car.hornIndex, 0);
    EXPECT_EQ(car.hornStarted, 255);
    EXPECT_EQ(car.engineStartSound, 0);
    EXPECT_EQ(car.gearChangeCount, 0);
    EXPECT_EQ(car.soundOff, 1);
}
