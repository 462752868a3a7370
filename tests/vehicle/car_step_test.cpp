#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "car_model_fixture.h"
#include "fresh_car_fixture.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"
#include "world_query_double.h"

// Heap allocations made while `CountingAllocations` is set.
static std::atomic<bool> CountingAllocations{false};
static std::atomic<int> AllocationCount{0};

void *operator new(std::size_t size) {
    if (CountingAllocations.load(std::memory_order_relaxed))
        AllocationCount.fetch_add(1, std::memory_order_relaxed);
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void *operator new[](std::size_t size) {
    return operator new(size);
}
// Every plain form comes here, so that each block is freed by the same
// allocator that made it.
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    if (CountingAllocations.load(std::memory_order_relaxed))
        AllocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
    return operator new(size, tag);
}
// Every delete form frees here, out of line: inlined into a caller that made
// the block with new, the free looks to the compiler like a mismatched pair.
[[gnu::noinline]] static void FreeBlock(void *p) {
    std::free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept {
    FreeBlock(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
    FreeBlock(p);
}
void operator delete(void *p) noexcept {
    FreeBlock(p);
}
void operator delete[](void *p) noexcept {
    FreeBlock(p);
}
void operator delete(void *p, std::size_t) noexcept {
    FreeBlock(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    FreeBlock(p);
}

namespace {

constexpr float Dt = 0.01f;
constexpr float G = -9.81f;

// A car body without wheels, hull or surfaces, floating free: the pedal
// chain and the integration run on it without anything touching it.
struct BareCar : FreshCarFixture {
    // Every call starts over with a new car.
    void SetUp() override {
        NewCar();
        car->vehicleClass = 1;
        car->engine.SetDefaults();
        car->engine.displacement = 2800.0f;
        car->engine.maxSpeed = 700.0f;
        car->engine.SetUpFromClass(1);
        car->mass = 1000.0f;
        for (int k = 0; k < 9; k++) {
            const float d = k % 4 == 0 ? 1.0f : 0.0f;
            car->orientation[k] = d;
            car->inertia[k] = 1000.0f * d;
            car->inverseInertia[k] = 0.001f * d;
        }
        for (AeroSurface &s : car->wings)
            s.Empty();
        car->gear = 1;
        car->lastGear = 1;
        car->gearRatios[1] = 0.0f;
        car->gearRatios[2] = 3.0f;
        car->gearRatios[3] = 2.0f;
        car->finalDrive = 4.0f;
        car->shiftTimes[0] = 0.2f;
        car->shiftTimes[1] = 0.1f;
        car->shiftTimes[2] = 0.1f;
        car->fuel = 20.0f;
        car->active = 1;
        car->moving = 1;
    }

    void Tick(int n = 1) {
        for (int i = 0; i < n; i++) {
            car->Step(Dt, G);
            car->stepCount++;
        }
    }

    // Moving along y at v without other motion.
    void SetSpeed(float v) {
        car->speed = v;
        car->velocity[0] = 0.0f;
        car->velocity[1] = v;
        car->velocity[2] = 0.0f;
    }
};

TEST_F(BareCar, PedalsMoveAFifthPerTickAndTheHandbrakeAtOnce) {
    struct Pedal {
        int word;
        float &(*value)(CarObject &);
    };
    const Pedal pedals[] = {
        {1, [](CarObject &c) -> float & { return c.engine.throttle; }},
        {2, [](CarObject &c) -> float & { return c.brake; }},
        {11, [](CarObject &c) -> float & { return c.engine.clutchPedal; }},
    };
    for (const Pedal &p : pedals) {
        SetUp();
        float &value = p.value(*car);
        value = 0.0f;
        car->inputs[p.word] = 65535;
        float expected = 0.0f;
        for (int i = 0; i < 5; i++) {
            Tick();
            expected += 0.2f;
            EXPECT_NEAR(value, expected, 1e-5f) << "word " << p.word << " tick " << i;
        }
        EXPECT_GE(value, 1.0f - 1e-6f);
        car->inputs[p.word] = 0;
        Tick(4);
        EXPECT_GT(value, 0.1f) << "word " << p.word;
        // Five steps of 0.2 in float leave a few 1e-8 at most.
        Tick();
        EXPECT_NEAR(value, 0.0f, 1e-7f) << "word " << p.word;
    }

    car->inputs[12] = 65535;
    Tick();
    EXPECT_GE(car->handbrake, 1.0f - 1e-6f);
    car->inputs[12] = 0;
    Tick();
    EXPECT_EQ(car->handbrake, 0.0f);
}

TEST_F(BareCar, AutomaticClutchPullingAway) {
    // Engine speed as a multiple of idle, the throttle word, the pedal
    // before the tick and after it (the pedal moves 0.2 toward the request).
    struct Row {
        float idles;
        uint16_t throttle;
        float before;
        float after;
    };
    const Row rows[] = {
        {1.2f, 0, 0.9f, 1.0f},       // below 1.25 x idle: fully down
        {1.2f, 65535, 0.9f, 1.0f},
        {1.5f, 0, 0.1f, 0.0f},       // throttle 0: fully up at 1.5 x idle
        {1.3f, 0, 0.9f, 0.8f},       // a fifth of the way up from 1.25 x idle
    };
    for (const Row &row : rows) {
        SetUp();
        car->autoClutch = 1;
        car->gear = 2;
        car->lastGear = 2;
        car->wheelEngineSpeed = 0.0f;
        car->engine.speed = row.idles * car->engine.idleSpeed;
        car->engine.clutchPedal = row.before;
        car->inputs[1] = row.throttle;
        Tick();
        EXPECT_NEAR(car->engine.clutchPedal, row.after, 1e-5f) << row.idles << " " << row.throttle;
    }
}

TEST_F(BareCar, PitLimiterFadesTheThrottleOverTheLastEighth) {
    struct Row {
        float speed;
        float share;
    };
    const Row rows[] = {{0.0f, 1.0f}, {19.4f, 1.0f}, {20.8333f, 0.5f}, {22.2223f, 0.0f}, {30.0f, 0.0f}};
    for (const Row &row : rows) {
        SetUp();
        car->speedLimit = 80;
        car->inputs[1] = 13107;  // 0.2
        car->engine.throttle = 0.0f;
        SetSpeed(row.speed);
        Tick();
        EXPECT_NEAR(car->engine.throttle, 0.2f * row.share, 1e-4f) << row.speed;
    }
}

TEST_F(BareCar, HeldCarStandsOnItsBrakes) {
    struct Row {
        bool remote;
        uint8_t pitLaneState;
        float speed;
        float brake;
        bool clutchHeld;
    };
    const Row rows[] = {
        {false, 0, 0.0f, 0.125f, true},
        {false, 0, 10.0f, 0.5f, true},
        {false, 4, 10.0f, 0.5f, false},  // work done: the clutch is the driver's
        {true, 4, 0.0f, 0.125f, true},
        {true, 0, 10.0f, 0.5f, true},
    };
    for (const Row &row : rows) {
        SetUp();
        if (row.remote) {
            car->isRemote = 1;
            car->remotePhase = 0;
            car->remoteHeld = 1;
        } else {
            car->pitWorkStep = 1;
        }
        car->pitLaneState = row.pitLaneState;
        car->stopped = row.speed == 0.0f ? 1 : 0;
        SetSpeed(row.speed);
        Tick();
        EXPECT_FLOAT_EQ(car->brake, row.brake) << row.remote << " " << row.speed;
        EXPECT_EQ(car->autoClutchTimer > 0.0f, row.clutchHeld) << row.remote << " " << int(row.pitLaneState);
    }
}

TEST_F(BareCar, IgnitionCutRestoresOnlyAnEngineItStopped) {
    car->ignitionCutTimer = 0.05f;
    car->engine.running = 0;
    Tick();
    EXPECT_EQ(car->engine.running, 0u);
    EXPECT_NEAR(car->ignitionCutTimer, 0.04f, 1e-6f);

    car->engine.StartAtIdle();
    car->fuel = 20.0f;
    Tick();
    EXPECT_EQ(car->engine.running, 1u);
    // No combustion while cut: the engine only loses speed that tick.
    EXPECT_LT(car->engine.speed, car->engine.idleSpeed);
}

TEST_F(BareCar, GearChangesAreCountedIntoGearsOnlyWithCarSound) {
    carSoundStarted = 1;
    car->gear = 3;
    car->lastGear = 3;
    const uint8_t before = car->gearChangeCount;
    car->gear = 1;
    Tick();
    car->gear = 2;
    Tick();
    EXPECT_EQ(car->gearChangeCount, before + 1);
    carSoundStarted = 0;
    car->gear = 3;
    Tick();
    EXPECT_EQ(car->gearChangeCount, before + 1);
    EXPECT_EQ(car->lastGear, 3);
}

TEST_F(BareCar, EmptyTankStopsTheEngine) {
    car->engine.StartAtIdle();
    car->fuel = 0.0f;
    Tick();
    EXPECT_EQ(car->engine.running, 0u);
}

TEST_F(BareCar, RemoteCarWithoutStatesStopsAfter150Ticks) {
    car->isRemote = 1;
    car->remotePhase = 0;
    car->remoteStateTick = car->stepCount;
    car->active = 0;  // no collisions: the car only moves along its velocity
    car->velocity[1] = 10.0f;
    const FixVector start = car->position;
    Tick(151);
    // 10 m/s x 0.01 s = 6553.6 -> 6554 units per tick.
    EXPECT_EQ(car->position.y - start.y, 151 * 6554);
    EXPECT_EQ(car->remotePhase, 0);
    const FixVector held = car->position;
    Tick();
    EXPECT_EQ(car->remotePhase, 1);
    EXPECT_EQ(car->active, 0);
    EXPECT_NEAR(car->remoteAge, 1.51f, 1e-5f);
    EXPECT_EQ(car->position.y, held.y);
    Tick(10);
    EXPECT_EQ(car->position.y, held.y);

    // An active remote car that times out stops taking part as well.
    SetUp();
    car->isRemote = 1;
    car->remotePhase = 0;
    car->stepCount = 1000;
    car->remoteStateTick = 1000 - 151;
    Tick();
    EXPECT_EQ(car->active, 0);
    EXPECT_EQ(car->remotePhase, 1);

    // Before its first state a remote car is not stepped at all.
    SetUp();
    car->isRemote = 1;
    car->remotePhase = -1;
    car->position = FixVector{0, 0, 0};
    car->velocity[1] = 10.0f;
    car->countdown = 500;
    Tick();
    EXPECT_EQ(car->position.y, 0);
    EXPECT_EQ(car->countdown, 490);
}

TEST_F(BareCar, FreeBodyGainsGravityPerTick) {
    Tick();
    EXPECT_NEAR(car->velocity[2], G * Dt, 1e-6f);
    EXPECT_EQ(car->velocity[0], 0.0f);
    EXPECT_NEAR(car->speed, -G * Dt, 1e-6f);
    EXPECT_NEAR(car->acceleration[2], 0.1f * G, 1e-4f);
}

TEST_F(BareCar, LastSubStepTakesContactsMostlyFromTheEndOfTheTick) {
    // A contact far below the body: blended but never pressed.
    CollisionPoint points[1] = {};
    car->points = points;
    car->pointCount = 1;
    points[0].contactKind = 1;
    const float start[3] = {0.0f, 0.0f, -10.0f};
    const float end[3] = {2.0f, 4.0f, -12.0f};
    for (int k = 0; k < 3; k++) {
        points[0].previousContact[k] = start[k];
        points[0].contact[k] = end[k];
    }
    points[0].previousNormal[2] = 1.0f;
    points[0].contactNormal[1] = 0.6f;
    points[0].contactNormal[2] = 0.8f;
    points[0].previousGrip = 1.0f;
    points[0].grip = 0.0f;
    Tick();
    for (int k = 0; k < 3; k++)
        EXPECT_FLOAT_EQ(points[0].stepContact[k], 0.05f * start[k] + 0.95f * end[k]) << k;
    EXPECT_FLOAT_EQ(points[0].stepGrip, 0.05f);
    EXPECT_FLOAT_EQ(points[0].stepNormal[1], 0.95f * 0.6f);
    EXPECT_FLOAT_EQ(points[0].stepNormal[2], 0.05f + 0.95f * 0.8f);

    // The single step takes the end values as they are.
    car->singleStep = 1;
    float last[3];
    for (int k = 0; k < 3; k++)
        last[k] = points[0].contact[k];
    Tick();
    for (int k = 0; k < 3; k++)
        EXPECT_EQ(points[0].stepContact[k], last[k]) << k;
    car->points = nullptr;
    car->pointCount = 0;
}

TEST_F(BareCar, SingleStepTickUsesNoFuel) {
    car->engine.StartAtIdle();
    car->inputs[1] = 65535;
    car->engine.throttle = 1.0f;
    Tick();
    EXPECT_LT(car->fuel, 20.0f);
    EXPECT_GT(car->tickFuel, 0.0f);

    SetUp();
    car->engine.StartAtIdle();
    car->inputs[1] = 65535;
    car->engine.throttle = 1.0f;
    car->singleStep = 1;
    Tick(3);
    EXPECT_EQ(car->fuel, 20.0f);
    EXPECT_GT(car->engine.speed, car->engine.idleSpeed);
}

TEST_F(BareCar, RollStabiliserOnlyForClassZeroSlowAndNearlyUpright) {
    struct Row {
        int vehicleClass;
        float speed;
        float tiltDegrees;
        bool acts;
    };
    const Row rows[] = {
        {0, 0.0f, 20.0f, true}, {0, 3.0f, 20.0f, true}, {1, 0.0f, 20.0f, false},
        {0, 4.5f, 20.0f, false}, {0, 0.0f, 35.0f, false},
    };
    for (const Row &row : rows) {
        SetUp();
        car->vehicleClass = row.vehicleClass;
        SetSpeed(row.speed);
        // Rolled about the forward axis: the x axis tilts up by the angle.
        const float a = row.tiltDegrees * 3.14159265f / 180.0f;
        const float c = std::cos(a), s = std::sin(a);
        const float rolled[9] = {c, 0.0f, -s, 0.0f, 1.0f, 0.0f, s, 0.0f, c};
        for (int k = 0; k < 9; k++)
            car->orientation[k] = rolled[k];
        Tick();
        const float roll = car->angularMomentum[1];
        if (row.acts) {
            // A turn about +y lowers the raised x axis: back toward upright.
            EXPECT_GT(roll, 0.0f) << row.vehicleClass << " " << row.speed << " " << row.tiltDegrees;
        } else {
            EXPECT_NEAR(roll, 0.0f, 1e-6f) << row.vehicleClass << " " << row.speed << " " << row.tiltDegrees;
        }
    }
}

TEST_F(BareCar, YawRateSignFollowsTheUpAxis) {
    car->angularVelocity[2] = 0.5f;
    EXPECT_FLOAT_EQ(car->UpwardComponent(), 0.5f);
    const float upsideDown[9] = {1, 0, 0, 0, -1, 0, 0, 0, -1};
    for (int k = 0; k < 9; k++)
        car->orientation[k] = upsideDown[k];
    EXPECT_FLOAT_EQ(car->UpwardComponent(), -0.5f);
}

// The hand-built model car reset on the flat double, in a physics world.
struct RunningCar : ::testing::Test {
    WorldQueryDouble world;
    ModelCar model;
    PhysicsWorld physics;

    void SetUp() override {
        BuildTyreCurves();
        CarObject &car = model.car;
        car.SetUpModel(0);
        car.Reset(0.0f, 0, 1);
        physics.Add(&car);
    }
    void TearDown() override { physics.Remove(&model.car); }
};

TEST_F(RunningCar, TickAllocatesNoHeapMemory) {
    CarObject &car = model.car;
    car.engine.StartAtIdle();
    car.fuel = 20.0f;
    car.autoClutch = 1;
    physics.Step(1);  // first tick outside the count
    AllocationCount = 0;
    CountingAllocations = true;
    for (int i = 0; i < 100; i++) {
        car.inputs[1] = static_cast<uint16_t>(i * 600);
        car.inputs[0] = static_cast<uint16_t>(32768 + i * 100);
        physics.Step(i % 4 == 3);
    }
    CountingAllocations = false;
    EXPECT_EQ(AllocationCount.load(), 0);
    for (int k = 0; k < 3; k++)
        EXPECT_TRUE(std::isfinite(car.velocity[k]));
    EXPECT_TRUE(std::isfinite(car.engine.speed));
}

TEST_F(RunningCar, OrientationStaysOrthonormal) {
    CarObject &car = model.car;
    car.engine.StartAtIdle();
    car.fuel = 20.0f;
    car.inputs[0] = 20000;
    for (int i = 0; i < 200; i++)
        physics.Step(1);
    const float *o = car.orientation;
    for (int a = 0; a < 3; a++) {
        for (int b = 0; b < 3; b++) {
            const float d = o[a] * o[b] + o[3 + a] * o[3 + b] + o[6 + a] * o[6 + b];
            EXPECT_NEAR(d, a == b ? 1.0f : 0.0f, 1e-5f) << a << b;
        }
    }
}

TEST_F(RunningCar, PullsAwayInFirstGearOnTheAutomaticClutch) {
    CarObject &car = model.car;
    car.engine.StartAtIdle();
    car.fuel = 20.0f;
    car.autoClutch = 1;
    for (int i = 0; i < 150; i++)
        physics.Step(1);
    EXPECT_LT(car.speed, 0.01f);
    EXPECT_EQ(car.engine.running, 1u);

    car.gear = 2;
    car.requestedGear = 2;
    car.inputs[1] = 65535;
    for (int i = 0; i < 200; i++) {
        physics.Step(1);
        // Never near a stall: the starter counts a quarter of idle as stopped.
        ASSERT_GT(car.engine.speed, 0.25f * car.engine.idleSpeed) << "tick " << i;
        ASSERT_EQ(car.engine.running, 1u) << "tick " << i;
    }
    EXPECT_GT(car.speed, 5.0f);
    EXPECT_LT(car.engine.clutchPedal, 0.05f);
    EXPECT_GT(car.fuel, 0.0f);
    EXPECT_LT(car.fuel, 20.0f);
}

// Steering word 0 is full lock one way (a positive angle), 65535 the other.
TEST(CarTurns, YawRateFollowsTheSteeringWord) {
    struct Row {
        uint16_t word;
        float sign;
    };
    const Row rows[] = {{16384, 1.0f}, {49152, -1.0f}};
    BuildTyreCurves();
    for (const Row &row : rows) {
        WorldQueryDouble world;
        ModelCar model;
        PhysicsWorld physics;
        CarObject &car = model.car;
        car.SetUpModel(0);
        car.Reset(0.0f, 0, 1);
        physics.Add(&car);
        car.engine.StartAtIdle();
        car.fuel = 20.0f;
        car.autoClutch = 1;
        car.gear = 2;
        car.lastGear = 2;
        car.inputs[1] = 30000;
        car.inputs[0] = row.word;
        for (int i = 0; i < 300; i++)
            physics.Step(1);
        EXPECT_GT(car.speed, 2.0f) << row.word;
        EXPECT_GT(car.UpwardComponent() * row.sign, 0.05f) << row.word;
        physics.Remove(&car);
    }
}

// The car in race slot 0 of a race that may be set up for hot laps; the
// hooks are put back afterwards.
struct RacingCar : RunningCar {
    static CarObject *slotCar;
    static int hotLaps;
    static int invalidations;
    static int lastReason;
    RaceHooks saved{};

    void SetUp() override {
        RunningCar::SetUp();
        saved = VehicleRaceHooks;
        slotCar = &model.car;
        hotLaps = 0;
        invalidations = 0;
        lastReason = -1;
        VehicleRaceHooks.slotCount = [] { return 1; };
        VehicleRaceHooks.slotCar = [](int) { return slotCar; };
        VehicleRaceHooks.hotLapMode = [] { return hotLaps; };
        VehicleRaceHooks.invalidateHotLap = [](int reason) {
            invalidations++;
            lastReason = reason;
        };
    }
    void TearDown() override {
        VehicleRaceHooks = saved;
        RunningCar::TearDown();
    }
};
CarObject *RacingCar::slotCar = nullptr;
int RacingCar::hotLaps = 0;
int RacingCar::invalidations = 0;
int RacingCar::lastReason = -1;

TEST_F(RacingCar, StandingCarLeavesTheBodyListAndAThrottleTouchWakesIt) {
    CarObject &car = model.car;
    int ticks = 0;
    while (car.moving && ticks < 1000) {
        physics.Step(1);
        ticks++;
    }
    ASSERT_EQ(car.moving, 0) << "still moving after " << ticks << " ticks";
    physics.Step(1);
    EXPECT_EQ(physics.bodyCount, 0);
    EXPECT_EQ(car.speed, 0.0f);

    car.inputs[1] = 20000;
    physics.Step(1);
    EXPECT_EQ(car.moving, 1);
    EXPECT_EQ(physics.bodyCount, 1);
}

TEST_F(RacingCar, HotLapIsSpoiledWithTheWheelsOffTheRoad) {
    // Standing on its wheels with the engine running (a car at rest would
    // leave the body list).
    model.car.engine.StartAtIdle();
    model.car.fuel = 20.0f;
    for (int i = 0; i < 50; i++)
        physics.Step(1);
    // Surface kinds 3 and 4 are off the road; 0 is the road.
    const int kinds[] = {0, 3, 4};
    for (int kind : kinds) {
        world.SetGroundSurface(kind, 0);
        hotLaps = 1;
        invalidations = 0;
        physics.Step(1);
        physics.Step(1);
        EXPECT_EQ(invalidations > 0, kind != 0) << kind;
        if (kind != 0) {
            EXPECT_EQ(lastReason, 0);
        }
    }
    // Outside hot-lap races nothing is spoiled.
    hotLaps = 0;
    invalidations = 0;
    physics.Step(1);
    EXPECT_EQ(invalidations, 0);
}

}  // namespace
