#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/rigid_body.h"
#include "world_query_double.h"

namespace {

constexpr int32_t M = 65536;
const float Identity[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

uint32_t Bits(float x) {
    uint32_t b;
    std::memcpy(&b, &x, 4);
    return b;
}

// The race as the hooks see it, with every report recorded.
struct TestRace {
    CarObject *cars[32] = {};
    int slotCount = 0;
    uint32_t tick = 0;
    int hotLap = 0;
    std::vector<int> invalidations;
    std::vector<FixVector> objectHits;
    std::vector<std::string> warnings;
};
TestRace *race = nullptr;

void InstallHooks(TestRace &r) {
    race = &r;
    VehicleRaceHooks = {};
    VehicleRaceHooks.slotCount = [] { return race->slotCount; };
    VehicleRaceHooks.slotCar = [](int slot) { return race->cars[slot]; };
    VehicleRaceHooks.raceTick = [] { return race->tick; };
    VehicleRaceHooks.hotLapMode = [] { return race->hotLap; };
    VehicleRaceHooks.invalidateHotLap = [](int reason) { race->invalidations.push_back(reason); };
    VehicleRaceHooks.reportObjectHit = [](const FixVector &p, float) { race->objectHits.push_back(p); };
    VehicleRaceHooks.printWarning = [](const char *text) { race->warnings.push_back(text); };
}

// Sets the probes of a body at rest where its creation puts them.
void PlaceProbes(RigidBody &body) {
    for (int i = 0; i < body.pointCount; i++) {
        ContactProbe &probe = body.points[i].probe;
        float q[3];
        for (int r = 0; r < 3; r++)
            q[r] = body.orientation[r * 3] * body.points[i].local[0] +
                   body.orientation[r * 3 + 1] * body.points[i].local[1] +
                   body.orientation[r * 3 + 2] * body.points[i].local[2];
        const FixVector qf = {MetresToFix(q[0]), MetresToFix(q[1]), MetresToFix(q[2])};
        probe.endPoint = {body.predictedPosition.x + qf.x, body.predictedPosition.y + qf.y,
                          body.predictedPosition.z + qf.z};
        probe.segment = qf;
    }
}

template <typename T>
T *MakeBox(float half, FixVector position, uint8_t moving = 1) {
    T *body = new T;
    BuildBoxHull(*body, half, half, half);
    body->moving = moving;
    body->stiffness = 20000.0f;
    body->friction = 0.7f;
    body->damping = 400.0f;
    body->ComputeBounds();
    EXPECT_EQ(body->ComputeMassFromPoints(5.0f), 1);
    body->position = position;
    body->predictedPosition = position;
    std::memcpy(body->orientation, Identity, sizeof Identity);
    std::memcpy(body->predictedOrientation, Identity, sizeof Identity);
    body->ResetState();
    PlaceProbes(*body);
    return body;
}

struct Box : RigidBody {
    Box() : RigidBody(1, 1, nullptr) {}
    ~Box() override { FreeGeometry(); }
};

struct Car : CarObject {
    ~Car() override { FreeGeometry(); }
};

struct PhysicsWorldTest : ::testing::Test {
    TestRace testRace;
    WorldQueryDouble world;
    PhysicsWorld physics;
    std::vector<RigidBody *> owned;

    void SetUp() override { InstallHooks(testRace); physics.Clear(); }
    void TearDown() override {
        for (RigidBody *body : owned)
            delete body;
        VehicleRaceHooks = {};
        race = nullptr;
    }
    template <typename T = Box>
    T *Make(float half, FixVector position, uint8_t moving = 1) {
        T *body = MakeBox<T>(half, position, moving);
        owned.push_back(body);
        return body;
    }
    bool Held(const RigidBody *body) const {
        for (int i = 0; i < physics.bodyCount; i++) {
            if (physics.bodies[i] == body)
                return true;
        }
        return false;
    }
    void Ticks(int count) {
        for (int i = 0; i < count; i++) {
            physics.Step(0);
            testRace.tick++;
        }
    }
};

// --- Falling, landing, pushing ------------------------------------------------

TEST_F(PhysicsWorldTest, BoxesFallLandAndRest) {
    world.groundHeight = M;
    Box *a = Make(0.5f, {0, 0, 4 * M});
    Box *b = Make(0.25f, {3 * M, 2 * M, 3 * M});
    ASSERT_EQ(physics.AddBody(a), 1);
    ASSERT_EQ(physics.AddBody(b), 1);
    Ticks(500);
    EXPECT_NEAR(FixToMetres(a->position.z), 1.5f, 0.02f);
    EXPECT_NEAR(FixToMetres(b->position.z), 1.25f, 0.02f);
    for (const Box *body : {a, b}) {
        const float v = body->velocity[0] * body->velocity[0] + body->velocity[1] * body->velocity[1] +
                        body->velocity[2] * body->velocity[2];
        EXPECT_LT(v, 1e-4f);
    }
    EXPECT_TRUE(Held(a));
}

TEST_F(PhysicsWorldTest, TwoBodiesPushEachOtherApartThroughTheNextPreStep) {
    world.gravity = 0.0f;
    Box *a = Make(0.5f, {0, 0, 5 * M});
    Box *b = Make(0.5f, {M + M / 8, 0, 5 * M});
    a->velocity[0] = 2.0f;
    ASSERT_EQ(physics.AddBody(a), 1);
    ASSERT_EQ(physics.AddBody(b), 1);

    // Tick until the first contact hands momentum to b.
    int tick = 0;
    while (b->impulse[0] == 0.0f && tick < 50) {
        physics.Step(0);
        tick++;
    }
    ASSERT_LT(tick, 50);
    EXPECT_GT(b->impulse[0], 0.0f);
    EXPECT_LT(a->impulse[0], 0.0f);

    const float handed = b->impulse[0];
    const float before = b->velocity[0];
    b->PreStep(0.01f);
    EXPECT_EQ(Bits(b->velocity[0]), Bits(before + handed / b->mass));
    EXPECT_EQ(b->impulse[0], 0.0f);

    Ticks(100);
    EXPECT_GT(b->velocity[0], 0.5f);
    EXPECT_LT(a->velocity[0], 1.5f);
    // Only the air drag takes momentum out of the pair.
    const float p = a->mass * a->velocity[0] + b->mass * b->velocity[0];
    EXPECT_GT(p, a->mass * 2.0f * 0.8f);
    EXPECT_LT(p, a->mass * 2.0f);
    EXPECT_GT(FixToMetres(b->position.x - a->position.x), 1.0f);
}

// --- Membership -----------------------------------------------------------------

TEST_F(PhysicsWorldTest, AddRemoveAndTheBodyLimit) {
    world.gravity = 0.0f;
    std::vector<RigidBody *> bodies;
    for (int i = 0; i < MaxPhysicsBodies + 1; i++) {
        RigidBody *body = new Box;
        body->mass = 1.0f;
        body->ResetState();
        owned.push_back(body);
        bodies.push_back(body);
    }
    for (int i = 0; i < MaxPhysicsBodies; i++)
        ASSERT_EQ(physics.AddBody(bodies[i]), 1);
    EXPECT_EQ(physics.AddBody(bodies[3]), 0);  // already held
    physics.warnArmed = 1;
    EXPECT_EQ(physics.AddBody(bodies[80]), 0);
    EXPECT_EQ(physics.AddBody(bodies[80]), 0);
    EXPECT_EQ(physics.Add(bodies[80]), 0);
    ASSERT_EQ(testRace.warnings.size(), 1u);
    EXPECT_EQ(testRace.warnings[0], "Too many physics objects");

    // Down to 33 and back: the warning stays disarmed.
    for (int i = 79; i >= 33; i--)
        ASSERT_EQ(physics.Remove(bodies[i]), 1);
    physics.Step(0);
    for (int i = 33; i < 80; i++)
        ASSERT_EQ(physics.AddBody(bodies[i]), 1);
    EXPECT_EQ(physics.AddBody(bodies[80]), 0);
    EXPECT_EQ(testRace.warnings.size(), 1u);

    // Below 33: armed again by the next step.
    for (int i = 79; i >= 32; i--)
        ASSERT_EQ(physics.Remove(bodies[i]), 1);
    physics.Step(0);
    for (int i = 32; i < 80; i++)
        ASSERT_EQ(physics.AddBody(bodies[i]), 1);
    EXPECT_EQ(physics.AddBody(bodies[80]), 0);
    EXPECT_EQ(testRace.warnings.size(), 2u);

    // Remove keeps the order of the others.
    ASSERT_EQ(physics.Remove(bodies[1]), 1);
    EXPECT_EQ(physics.bodies[0], bodies[0]);
    EXPECT_EQ(physics.bodies[1], bodies[2]);
    EXPECT_EQ(physics.bodies[78], bodies[79]);
    EXPECT_EQ(physics.Remove(bodies[1]), 0);
}

TEST_F(PhysicsWorldTest, PlainBodiesLeaveOutsideTheHeightRangeCarsDoNot) {
    world.gravity = 0.0f;
    Box *low = Make(0.5f, {0, 0, -0x140000 - 1});
    Box *lowEdge = Make(0.5f, {20 * M, 0, -0x140000});
    Box *high = Make(0.5f, {40 * M, 0, 0x500000 + 1});
    Car *car = Make<Car>(0.5f, {-40 * M, 0, -30 * M});
    Box *stopped = Make(0.5f, {-20 * M, 0, 10 * M});
    for (RigidBody *body : std::vector<RigidBody *>{low, lowEdge, high, car, stopped})
        ASSERT_EQ(physics.AddBody(body), 1);
    stopped->moving = 0;
    physics.Step(0);
    EXPECT_FALSE(Held(low));
    EXPECT_TRUE(Held(lowEdge));
    EXPECT_FALSE(Held(high));
    EXPECT_TRUE(Held(car));
    EXPECT_FALSE(Held(stopped));
    // The last body moves into each gap.
    ASSERT_EQ(physics.bodyCount, 2);
    EXPECT_EQ(physics.bodies[0], car);
    EXPECT_EQ(physics.bodies[1], lowEdge);
}

// --- Movable objects --------------------------------------------------------

// A velocity whose squared length is exactly 0.0004 in float.
float ExactRestSpeed() {
    float v = 0.02f;
    for (int i = 0; i < 64; i++) {
        if (v * v == 0.0004f)
            return v;
        v = std::nextafter(v, v * v < 0.0004f ? 1.0f : 0.0f);
    }
    return 0.0f;
}

TEST_F(PhysicsWorldTest, MovableObjectRestsAtExactlyTheRestSpeed) {
    const float v = ExactRestSpeed();
    ASSERT_NE(v, 0.0f);
    world.gravity = 0.0f;
    world.wind[0] = v;  // no drag
    DuplicatorObject *object = world.AddMovable(0, 0, 0.3f, 0.3f, 0.3f);
    RigidBody *body = world.GetBody(object);

    // At rest: stays at rest, and its velocity is cleared.
    body->velocity[0] = v;
    body->Step(0.01f, 0.0f);
    EXPECT_EQ(body->moving, 0);
    EXPECT_EQ(body->velocity[0], 0.0f);
    EXPECT_TRUE(world.IsInGrid(object));
    EXPECT_EQ(world.GetKnocked(object), 0);

    // Knocked above it.
    testRace.hotLap = 1;
    world.startOverride = true;
    body->velocity[0] = 0.05f;
    body->Step(0.01f, 0.0f);
    EXPECT_EQ(body->moving, 1);
    EXPECT_EQ(world.GetKnocked(object), 1);
    EXPECT_FALSE(world.IsInGrid(object));
    EXPECT_EQ(world.gridRemoveCount, 1);
    ASSERT_EQ(testRace.objectHits.size(), 1u);
    EXPECT_EQ(testRace.objectHits[0].x, body->position.x);
    EXPECT_EQ(testRace.invalidations, std::vector<int>{2});

    // Moving at exactly the rest speed: stops, back into the grid, its last
    // offset not folded into its position.
    const FixVector before = body->position;
    world.wind[0] = v;
    body->velocity[0] = v;
    body->Step(0.01f, 0.0f);
    EXPECT_EQ(body->moving, 0);
    EXPECT_TRUE(world.IsInGrid(object));
    EXPECT_GT(body->stepOffset[0], 0.0f);
    EXPECT_EQ(body->position.x, before.x);
    EXPECT_EQ(body->velocity[0], 0.0f);
    EXPECT_EQ(world.gridFaults, 0);
}

TEST_F(PhysicsWorldTest, KnockWithoutOverrideOrHotLapReportsNothing) {
    world.gravity = 0.0f;
    DuplicatorObject *object = world.AddMovable(0, 0, 0.3f, 0.3f, 0.3f);
    RigidBody *body = world.GetBody(object);
    body->velocity[1] = 1.0f;
    body->Step(0.01f, 0.0f);
    EXPECT_EQ(body->moving, 1);
    EXPECT_TRUE(testRace.objectHits.empty());
    EXPECT_TRUE(testRace.invalidations.empty());
    EXPECT_EQ(world.gridRemoveCount, 1);
}

TEST_F(PhysicsWorldTest, AMovingBodyWakesAndKnocksARestingObject) {
    DuplicatorObject *object = world.AddMovable(0, 0, 0.3f, 0.3f, 0.3f);
    RigidBody *cone = world.GetBody(object);
    PlaceProbes(*cone);
    Box *ball = Make(0.3f, {-2 * M, 0, MetresToFix(0.3f)});
    ball->velocity[0] = 6.0f;
    ASSERT_EQ(physics.AddBody(ball), 1);
    int joined = -1;
    for (int t = 0; t < 100 && world.GetKnocked(object) == 0; t++) {
        physics.Step(0);
        if (joined < 0 && Held(cone))
            joined = t;
    }
    EXPECT_GE(joined, 0);
    EXPECT_EQ(world.GetKnocked(object), 1);
    EXPECT_EQ(cone->moving, 1);
    EXPECT_FALSE(world.IsInGrid(object));
    EXPECT_EQ(world.gridFaults, 0);
}

// Knocked at tick 150: counted at 200 .. 900, frozen at 900, home at 1000.
TEST_F(PhysicsWorldTest, KnockScheduleFreezesAtTheEighthCountAndReturnsHome) {
    for (int blocking = 0; blocking < 2; blocking++) {
        SCOPED_TRACE(blocking);
        WorldQueryDouble local;
        PhysicsWorld physicsLocal;
        DuplicatorObject *object = local.AddMovable(10 * M, 0, 0.3f, 0.3f, 0.3f);
        RigidBody *body = local.GetBody(object);
        body->velocity[0] = 1.5f;
        testRace.tick = 150;
        ASSERT_EQ(physicsLocal.AddBody(body), 1);
        // Far bodies heading for the home place never block the return; a
        // near one does.
        Box *far = Make(0.3f, {10 * M + 90 * M, 0, 30 * M});
        far->velocity[0] = -100.0f;
        Box *near = Make(0.3f, {10 * M + M / 2, 0, 30 * M});
        for (; testRace.tick <= 1100; testRace.tick++) {
            if (testRace.tick == 999) {
                far->position = {10 * M + 90 * M, 0, 30 * M};
                ASSERT_EQ(physicsLocal.AddBody(far), 1);
                if (blocking) {
                    ASSERT_EQ(physicsLocal.AddBody(near), 1);
                }
            }
            if (testRace.tick == 1050)
                physicsLocal.Remove(near);
            const uint32_t countBefore = local.GetBody(object) ? local.GetBody(object)->settleCount : 99;
            physicsLocal.Step(0);
            const uint32_t t = testRace.tick;
            if (t >= 200 && t <= 900 && t % 100 == 0) {
                ASSERT_EQ(body->settleCount, countBefore + 1) << t;
                EXPECT_EQ(local.GetFrozen(object), t == 900 ? 1 : 0) << t;
            }
            if (t == 150 || t == 899) {
                EXPECT_EQ(local.GetFrozen(object), 0) << t;
            }
            if (t == 1000) {
                EXPECT_EQ(local.GetKnocked(object), blocking ? 1 : 0);
                EXPECT_EQ(local.createBodyCount, blocking ? 1 : 2);
            }
        }
        EXPECT_EQ(local.GetKnocked(object), 0);
        EXPECT_EQ(local.GetFrozen(object), 0);
        EXPECT_TRUE(local.IsInGrid(object));
        RigidBody *home = local.GetBody(object);
        ASSERT_NE(home, nullptr);
        EXPECT_EQ(home->position.x, 10 * M);
        EXPECT_EQ(home->moving, 0);
        EXPECT_EQ(local.gridFaults, 0);
        physicsLocal.Clear();
        // The scene's bodies must not outlive this world's pointer.
        CurrentPhysicsWorld = &physics;
    }
}

// --- Cars ---------------------------------------------------------------------

TEST(CarInputActivity, SumsTheMainWordsAndAddsButtons) {
    CarObject car;
    std::memset(car.inputs, 0, sizeof car.inputs);
    car.inputs[0] = 100;
    car.inputs[1] = 20;
    car.inputs[2] = 3;
    car.inputs[11] = 4000;
    car.inputs[12] = 50000;
    car.inputs[5] = 7;   // not counted
    car.inputs[13] = 9;  // not counted
    EXPECT_EQ(car.InputActivity(), 100 + 20 + 3 + 4000 + 50000);
    for (int word : {3, 4, 9, 10}) {
        car.inputs[word] = 1;
        EXPECT_EQ(car.InputActivity(), 100 + 20 + 3 + 4000 + 50000 + 1024) << word;
        car.inputs[word] = 0;
    }
}

TEST(CarResting, Decision) {
    struct Case {
        const char *name;
        uint16_t start;
        float speed;
        float engine;
        int32_t activity;
        int32_t last;
        int resting;
    };
    const Case cases[] = {
        {"parked", 0, 0.0f, 0.0f, 40000, 40000, 1},
        {"engine start requested", 1, 0.0f, 0.0f, 40000, 40000, 0},
        {"speed -0.0", 0, -0.0f, 0.0f, 40000, 40000, 0},
        {"engine speed -0.0", 0, 0.0f, -0.0f, 40000, 40000, 0},
        {"rolling", 0, 1e-30f, 0.0f, 40000, 40000, 0},
        {"activity +511", 0, 0.0f, 0.0f, 40511, 40000, 1},
        {"activity -511", 0, 0.0f, 0.0f, 39489, 40000, 1},
        {"activity +512", 0, 0.0f, 0.0f, 40512, 40000, 0},
        {"activity -512", 0, 0.0f, 0.0f, 39488, 40000, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsCarResting(c.start, c.speed, c.engine, c.activity, c.last), c.resting) << c.name;
}

TEST_F(PhysicsWorldTest, AParkedCarStaysOutUntilABodyComesNear) {
    world.gravity = 0.0f;
    Car *car = Make<Car>(1.0f, {0, 0, 5 * M}, 0);
    car->lastInputActivity = car->InputActivity();
    testRace.cars[0] = car;
    testRace.slotCount = 1;
    Ticks(3);
    EXPECT_FALSE(Held(car));
    EXPECT_EQ(car->stepCount, 3u);

    // A body passing through the car's box wakes it.
    Box *box = Make(0.5f, {M + M / 4, 0, 5 * M});
    box->velocity[0] = -0.5f;
    ASSERT_EQ(physics.AddBody(box), 1);
    car->standstillCount = 9;
    physics.Step(0);
    EXPECT_TRUE(Held(car));
    EXPECT_EQ(car->moving, 1);
    EXPECT_EQ(car->standstillCount, 0);
    EXPECT_EQ(car->stepCount, 4u);
}

TEST_F(PhysicsWorldTest, ADistantBodyDoesNotWakeAParkedCar) {
    world.gravity = 0.0f;
    Car *car = Make<Car>(1.0f, {0, 0, 5 * M}, 0);
    car->lastInputActivity = car->InputActivity();
    testRace.cars[0] = car;
    testRace.slotCount = 1;
    Box *box = Make(0.5f, {4 * M, 0, 5 * M});
    ASSERT_EQ(physics.AddBody(box), 1);
    Ticks(2);
    EXPECT_FALSE(Held(car));
    EXPECT_EQ(car->stepCount, 2u);
}

TEST_F(PhysicsWorldTest, ControlsOrEngineStartBringACarIn) {
    world.gravity = 0.0f;
    Car *a = Make<Car>(1.0f, {0, 0, 5 * M}, 0);
    Car *b = Make<Car>(1.0f, {20 * M, 0, 5 * M}, 0);
    a->lastInputActivity = a->InputActivity() - 512;
    b->lastInputActivity = b->InputActivity();
    b->inputs[5] = 1;
    testRace.cars[0] = a;
    testRace.cars[2] = b;
    testRace.slotCount = 3;
    physics.Step(0);
    ASSERT_EQ(physics.bodyCount, 2);
    EXPECT_EQ(physics.bodies[0], a);
    EXPECT_EQ(physics.bodies[1], b);
    EXPECT_EQ(a->moving, 1);
    EXPECT_EQ(a->stepCount, 1u);
}

TEST_F(PhysicsWorldTest, StartOverrideSetsTheLapStartOnTheRaceStartTick) {
    world.gravity = 0.0f;
    world.startOverride = true;
    Car *car = Make<Car>(1.0f, {0, 0, 5 * M});
    car->raceStartTick = 2;
    car->nextLine = 0;
    testRace.cars[0] = car;
    testRace.slotCount = 1;
    ASSERT_EQ(physics.AddBody(car), 1);
    physics.Step(0);
    EXPECT_EQ(car->nextLine, 0);
    physics.Step(0);
    EXPECT_EQ(car->lapStartTick, 2u);
    EXPECT_EQ(car->nextLine, 2);
}

// --- Slipstream -----------------------------------------------------------------

TEST(Slipstream, Table) {
    // The leader drives along +y: its air comes from ahead, so the wake runs
    // along -y behind it. Half-width 1, reach 10 behind, 1 ahead.
    struct Case {
        const char *name;
        float dx, dy;      // follower - leader, m
        float dirZ;
        float width;       // 0: the default half-width 1
        int expected;
    };
    // A half-width that puts (0.75, -5) exactly on the ellipse: q = 1.
    float edgeWidth = std::sqrt(0.75f);
    for (int i = 0; i < 64; i++) {
        const float a = 5.0f / 10.0f;
        const float b = 0.75f / edgeWidth;
        const float q = a * a + b * b;
        if (q == 1.0f)
            break;
        edgeWidth = std::nextafter(edgeWidth, q > 1.0f ? 2.0f : 0.0f);
    }
    ASSERT_EQ(0.5f * 0.5f + (0.75f / edgeWidth) * (0.75f / edgeWidth), 1.0f);
    const Case cases[] = {
        {"behind, inside", 0.0f, -5.0f, 0.0f, 0.0f, 1},
        {"behind, off the axis", 0.5f, -2.0f, 0.0f, 0.0f, 1},
        {"on the edge", 0.75f, -5.0f, 0.0f, edgeWidth, 0},
        {"beside, beyond the half-width", 1.5f, -2.0f, 0.0f, 0.0f, 0},
        {"in front", 0.0f, 3.0f, 0.0f, 0.0f, 0},
        {"beyond the reach", 0.0f, -10.5f, 0.0f, 0.0f, 0},
        {"steep leader", 0.0f, -5.0f, 0.5f, 0.0f, 0},
        {"steep leader, downward", 0.0f, -5.0f, -0.6f, 0.0f, 0},
    };
    for (const Case &c : cases) {
        const float horizontal = std::sqrt(1.0f - c.dirZ * c.dirZ);
        const float dir[3] = {0.0f, -horizontal, c.dirZ};
        const float width = c.width != 0.0f ? c.width : 1.0f;
        const float wake[3] = {width, 10.0f, -1.0f};
        const float wakeVelocity[3] = {0.5f, 30.0f, -0.25f};
        const float drag = 0.4f;
        AeroSurface wings[4];
        std::memset(wings, 0, sizeof wings);
        for (int i = 0; i < 4; i++) {
            wings[i].flags = i == 2 ? 0 : 1;
            wings[i].wakeGain = 0.25f * static_cast<float>(i + 1);
            wings[i].wakeInflow[0] = 1.0f;
        }
        const FixVector leader = {3 * M, 4 * M, M};
        const FixVector follower = {leader.x + MetresToFix(c.dx), leader.y + MetresToFix(c.dy), leader.z};
        EXPECT_EQ(ApplySlipstream(follower, wings, leader, dir, wake, wakeVelocity, drag), c.expected) << c.name;
        for (int i = 0; i < 4; i++) {
            float expected[3] = {1.0f, 0.0f, 0.0f};
            if (c.expected && i != 2) {
                const float along = c.dx * dir[0] + c.dy * dir[1];
                const float across = std::fabs(c.dx * dir[1] - c.dy * dir[0]);
                const float a = along / (along > 0.0f ? 10.0f : -1.0f);
                const float b = across / width;
                const float q = a * a + b * b;
                const float f = (1.0f - q) * drag * wings[i].wakeGain;
                for (int k = 0; k < 3; k++)
                    expected[k] += f * wakeVelocity[k];
            }
            for (int k = 0; k < 3; k++)
                EXPECT_EQ(Bits(wings[i].wakeInflow[k]), Bits(expected[k])) << c.name << " surface " << i;
        }
    }
}

TEST_F(PhysicsWorldTest, TheMotionPhaseGivesACarTheWakesOfTheOtherCars) {
    world.gravity = 0.0f;
    Car *leader = Make<Car>(1.0f, {0, 0, 5 * M});
    Car *follower = Make<Car>(1.0f, {0, -4 * M, 5 * M});
    // The leader's own pre-step builds its wake from its motion: along -y,
    // reaching 20 x 0.24 + radius behind it.
    leader->velocity[1] = 20.0f;
    leader->dragTotal = 0.5f;
    follower->wings[0].flags = 1;
    follower->wings[0].wakeGain = 1.0f;
    testRace.cars[0] = leader;
    testRace.cars[1] = follower;
    testRace.slotCount = 2;
    ASSERT_EQ(physics.AddBody(leader), 1);
    ASSERT_EQ(physics.AddBody(follower), 1);
    physics.Step(0);
    // The leader's prediction is 0.2 m ahead: the follower is 4.2 m into the wake.
    const float reach = 20.0f * 0.24f + leader->radius;
    const float q = (4.2f / reach) * (4.2f / reach);
    EXPECT_NEAR(follower->wings[0].wakeInflow[1], (1.0f - q) * 0.5f * 20.0f, 1e-4f);
    EXPECT_EQ(leader->wings[0].wakeInflow[1], 0.0f);
    EXPECT_EQ(follower->stepCount, 1u);
}

// --- Determinism ----------------------------------------------------------------

uint64_t HashWord(uint64_t h, uint32_t word) {
    for (int i = 0; i < 4; i++) {
        h ^= (word >> (8 * i)) & 0xFF;
        h *= 1099511628211ULL;
    }
    return h;
}

uint64_t HashFloats(uint64_t h, const float *v, int n) {
    for (int i = 0; i < n; i++)
        h = HashWord(h, Bits(v[i]));
    return h;
}

uint64_t HashFix(uint64_t h, const FixVector &v) {
    h = HashWord(h, static_cast<uint32_t>(v.x));
    h = HashWord(h, static_cast<uint32_t>(v.y));
    return HashWord(h, static_cast<uint32_t>(v.z));
}

// Every field of a body, by value.
uint64_t HashBody(uint64_t h, const RigidBody &b) {
    h = HashWord(h, b.dynamic | b.moving << 8 | b.touched << 16 | static_cast<uint32_t>(b.active) << 24);
    h = HashWord(h, b.settleCount);
    const float scalars[] = {b.radius, b.mass, b.maxY, b.minY, b.maxX, b.minX, b.maxZ,
                             b.stiffness, b.friction, b.damping};
    h = HashFloats(h, scalars, 10);
    h = HashFloats(h, b.centreOfMass, 3);
    h = HashFloats(h, b.inertia, 9);
    h = HashFloats(h, b.inverseInertia, 9);
    h = HashFix(h, b.position);
    h = HashFloats(h, b.orientation, 9);
    h = HashFloats(h, b.stepOffset, 3);
    h = HashFloats(h, b.velocity, 3);
    h = HashFloats(h, b.angularMomentum, 3);
    h = HashFix(h, b.predictedPosition);
    h = HashFloats(h, b.predictedOrientation, 9);
    h = HashFloats(h, b.force, 3);
    h = HashFloats(h, b.torque, 3);
    h = HashFloats(h, b.impulse, 3);
    h = HashFloats(h, b.angularImpulse, 3);
    h = HashWord(h, static_cast<uint32_t>(b.pointCount));
    for (int i = 0; i < b.pointCount; i++) {
        const CollisionPoint &p = b.points[i];
        h = HashFloats(h, p.local, 3);
        h = HashFloats(h, p.force, 3);
        h = HashFloats(h, p.anchor, 3);
        h = HashFloats(h, &p.lastDepth, 1);
        h = HashWord(h, p.phase | p.sliding << 8 | p.contactKind << 16);
        h = HashFix(h, p.probe.endPoint);
        h = HashFix(h, p.probe.segment);
        h = HashFix(h, p.probe.hitPoint);
        h = HashFloats(h, p.probe.normal, 3);
        h = HashWord(h, static_cast<uint32_t>(p.probe.fraction));
        h = HashWord(h, p.probe.tag);
        h = HashWord(h, (p.probe.surface != nullptr) | (p.probe.otherBody != nullptr) << 1);
        h = HashFloats(h, p.previousContact, 3);
        h = HashFloats(h, p.contact, 3);
        h = HashFloats(h, p.stepContact, 3);
        const float grips[] = {p.previousGrip, p.grip, p.stepGrip};
        h = HashFloats(h, grips, 3);
        h = HashFloats(h, p.previousNormal, 3);
        h = HashFloats(h, p.contactNormal, 3);
        h = HashFloats(h, p.stepNormal, 3);
    }
    h = HashWord(h, static_cast<uint32_t>(b.faceCount));
    for (int i = 0; i < b.faceCount; i++)
        h = HashFloats(h, b.faces[i].worldNormal, 3);
    return h;
}

// Boxes dropped onto each other beside a round obstacle, one of them
// thrown at a movable object; 500 ticks. Returns the hash of the end state.
uint64_t RunScene() {
    TestRace sceneRace;
    InstallHooks(sceneRace);
    WorldQueryDouble world;
    PhysicsWorld physics;
    world.wind[0] = 1.5f;
    world.AddObstacle(4 * M, 0, 40);
    DuplicatorObject *object = world.AddMovable(-3 * M, 3 * M, 0.3f, 0.3f, 0.4f);
    PlaceProbes(*world.GetBody(object));
    std::vector<Box *> boxes;
    boxes.push_back(MakeBox<Box>(0.5f, {0, 0, M}));
    boxes.push_back(MakeBox<Box>(0.45f, {M / 20, M / 30, 3 * M}));
    boxes.push_back(MakeBox<Box>(0.3f, {-M / 9, M / 12, 5 * M}));
    boxes.push_back(MakeBox<Box>(0.5f, {3 * M, M / 3, M}));        // slides into the obstacle
    boxes.push_back(MakeBox<Box>(0.25f, {-3 * M, M, M / 3}));      // thrown at the object
    boxes[3]->velocity[0] = 4.0f;
    boxes[4]->velocity[1] = 5.0f;
    boxes[2]->angularMomentum[0] = 0.3f;
    for (Box *box : boxes)
        physics.AddBody(box);
    int knockedAt = -1;
    float stackTop = 0.0f;
    float nearestToObstacle = 100.0f;
    for (int t = 0; t < 500; t++) {
        sceneRace.tick = static_cast<uint32_t>(t);
        physics.Step(t % 4 == 3 ? 1 : 0);
        if (t == 200)
            stackTop = FixToMetres(boxes[2]->position.z);
        if (knockedAt < 0 && world.GetKnocked(object))
            knockedAt = t;
        const float gap = FixToMetres(4 * M - boxes[3]->position.x);
        if (gap < nearestToObstacle)
            nearestToObstacle = gap;
    }
    // The scene does what it is for: a stack, a body held off by the
    // obstacle's circle, a knocked object.
    EXPECT_GE(knockedAt, 0);
    EXPECT_GT(nearestToObstacle, 0.0f);
    EXPECT_LT(nearestToObstacle, 0.9f);
    EXPECT_GT(stackTop, 2.0f);
    uint64_t h = 1469598103934665603ULL;
    for (const Box *box : boxes)
        h = HashBody(h, *box);
    const RigidBody *objectBody = world.GetBody(object);
    h = HashWord(h, world.GetKnocked(object));
    if (objectBody != nullptr)
        h = HashBody(h, *objectBody);
    h = HashWord(h, static_cast<uint32_t>(physics.bodyCount));
    for (Box *box : boxes)
        delete box;
    VehicleRaceHooks = {};
    race = nullptr;
    return h;
}

// The state after the scene, as recorded on the reference build. A change of
// compiler flags, maths library or evaluation order that alters any bit of
// the simulation changes it.
constexpr uint64_t GoldenSceneHash = 0xceecfde178301824ULL;

TEST(PhysicsDeterminism, TheSceneGivesTheSameBitsEveryRun) {
    const uint64_t first = RunScene();
    const uint64_t second = RunScene();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, GoldenSceneHash) << std::hex << first;
}

TEST(PhysicsDeterminism, AFreshProcessGivesTheSameBits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char expected[64];
    std::snprintf(expected, sizeof expected, "scene hash %016llx",
                  static_cast<unsigned long long>(RunScene()));
    EXPECT_EXIT(
        {
            std::fprintf(stderr, "scene hash %016llx\n", static_cast<unsigned long long>(RunScene()));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), expected);
}

}  // namespace
