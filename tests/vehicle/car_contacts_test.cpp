#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "render/object_file.h"
#include "test_files.h"
#include "tests/vehicle/box_body_object.h"
#include "vehicle/car_data_file.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_grip.h"
#include "world_query_double.h"

namespace {

void SetMatrix(float m[9], std::initializer_list<float> values) {
    int k = 0;
    for (float v : values)
        m[k++] = v;
}

void Set3(float v[3], float x, float y, float z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void ExpectFix(const FixVector &v, int32_t x, int32_t y, int32_t z, const char *what) {
    EXPECT_EQ(v.x, x) << what;
    EXPECT_EQ(v.y, y) << what;
    EXPECT_EQ(v.z, z) << what;
}

// A car with n fresh wheels and no hull, at rest and taking part.
CarObject *BareCar(int wheelCount) {
    CarObject *car = new CarObject;
    car->wheels = new CarWheel[wheelCount];
    car->wheelCount = wheelCount;
    car->ResetState();
    car->moving = 1;
    car->isRemote = 1;   // keeps the mass properties as the test sets them
    return car;
}

// A tyre probe of 1 m straight down ending `depth` metres below z = 0 at (x, y).
void AimTyreProbe(CarWheel &wheel, float x, float y, float depth) {
    wheel.tyreProbe.probe.Clear();
    wheel.tyreProbe.probe.endPoint = {MetresToFix(x), MetresToFix(y), MetresToFix(-depth)};
    wheel.tyreProbe.probe.segment = {0, 0, -65536};
}

class CarContactsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
    void TearDown() override {
        ExtrapolatingRemoteCar = 0;
        RaceServices = {};
        VehicleRaceHooks = {};
    }
};

TEST_F(CarContactsTest, PreStepPlacesTheTyreAndSideProbes) {
    WorldQueryDouble world;
    std::unique_ptr<CarObject> car(BareCar(1));
    car->position = {10 * 65536, 20 * 65536, 65536};
    // Turned about y: the car's up axis is (0.6, 0, 0.8).
    SetMatrix(car->orientation, {0.8f, 0.0f, 0.6f, 0.0f, 1.0f, 0.0f, -0.6f, 0.0f, 0.8f});
    car->axles[1].probeStart = 32769;
    car->axles[1].treadWidth = 0.25f;
    car->axles[1].hubOffset = 0.0625f;

    // A steered wheel off the centre line.
    CarWheel &steered = car->wheels[0];
    steered.axleIndex = 1;
    steered.side = 1.0f;
    Set3(steered.centre, 0.75f, 1.25f, 0.25f);
    Set3(steered.steerAxis, 0.0f, 0.0f, 1.0f);
    steered.steerAngle = 1.5707964f;
    Set3(steered.contactOffset, 0.125f, 0.0f, -0.25f);
    Set3(steered.axleDirection, 1.0f, 0.0f, 0.0f);
    steered.tyreProbe.probe.fraction = 100;   // last tick's hit is cleared

    car->PreStep(0.01f);

    // c = (704512, 1392640, 49152); down = (-39322, 0, -52429); the probe
    // offset's products are shifted arithmetically (-19662, not -19661).
    const ContactProbe &tyre = steered.tyreProbe.probe;
    ExpectFix(tyre.endPoint, 694682 - 19662, 1400832, 36045 - 26216, "tyre end");
    ExpectFix(tyre.segment, -39322, 0, -52429, "tyre segment");
    EXPECT_EQ(tyre.fraction, 0);
    ExpectFix(steered.sideProbe.probe.endPoint, 714342, 1392640, 41779, "side end");
    ExpectFix(steered.sideProbe.probe.segment, 52429, 0, -39322, "side segment");

    // Upright, a centre-line wheel whose mount rounds on ties: to even, not
    // away from 0. It has no side probe, which is left alone.
    std::unique_ptr<CarObject> upright(BareCar(1));
    upright->position = {10 * 65536, 20 * 65536, 65536};
    CarWheel &centred = upright->wheels[0];
    Set3(centred.centre, 2.5f / 65536.0f, -1.5f / 65536.0f, 0.0f);
    Set3(centred.steerAxis, 0.0f, 0.0f, 1.0f);
    centred.sideProbe.probe.fraction = 7;
    upright->PreStep(0.01f);
    ExpectFix(centred.tyreProbe.probe.endPoint, 10 * 65536 + 2, 20 * 65536 - 2, 65536, "centred tyre end");
    ExpectFix(centred.tyreProbe.probe.segment, 0, 0, -65536, "centred tyre segment");
    EXPECT_EQ(centred.sideProbe.probe.fraction, 7);
}

TEST_F(CarContactsTest, PreStepCopiesTheWindAndBuildsTheWake) {
    struct Case {
        const char *name;
        float wind[3];
        float velocity[3];
        float direction[3];
        float wake[3];
    };
    // Radius 2: the wake is (2, |air| x 0.24 + 2, -2) along the air direction.
    const Case cases[] = {
        {"moving in still air", {0.0f, 0.0f, 0.0f}, {0.0f, 25.0f, 0.0f}, {0.0f, -1.0f, 0.0f}, {2.0f, 8.0f, -2.0f}},
        {"standing in wind", {3.0f, -4.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.6f, -0.8f, 0.0f}, {2.0f, 3.2f, -2.0f}},
        {"air slower than 0.01 m/s", {0.0f, 0.0f, 0.005f}, {0.0f, 0.0f, -0.004f}, {}, {}},
    };
    for (const Case &c : cases) {
        WorldQueryDouble world;
        std::memcpy(world.wind, c.wind, sizeof(world.wind));
        std::unique_ptr<CarObject> car(BareCar(0));
        car->radius = 2.0f;
        car->mass = 1000.0f;
        std::memcpy(car->velocity, c.velocity, sizeof(car->velocity));
        Set3(car->wake, 9.0f, 9.0f, 9.0f);
        Set3(car->airDirection, 9.0f, 9.0f, 9.0f);
        car->wakeStrength = 5.0f;
        car->PreStep(0.01f);
        for (int k = 0; k < 3; k++) {
            EXPECT_FLOAT_EQ(car->airDirection[k], c.direction[k]) << c.name;
            EXPECT_FLOAT_EQ(car->wake[k], c.wake[k]) << c.name;
            EXPECT_EQ(car->wakeVelocity[k], c.velocity[k]) << c.name;
            for (const AeroSurface &surface : car->wings)
                EXPECT_EQ(surface.wakeInflow[k], c.wind[k]) << c.name;
        }
        EXPECT_EQ(car->wakeStrength, 0.0f) << c.name;
    }

    // A remote car stepped through missed ticks keeps its wake.
    WorldQueryDouble world;
    world.wind[0] = 5.0f;
    std::unique_ptr<CarObject> car(BareCar(0));
    car->mass = 1000.0f;
    Set3(car->wake, 9.0f, 9.0f, 9.0f);
    ExtrapolatingRemoteCar = 1;
    car->PreStep(0.01f);
    EXPECT_EQ(car->wake[1], 9.0f);
    EXPECT_EQ(car->wings[2].wakeInflow[0], 5.0f);
}

TEST_F(CarContactsTest, NothingHappensBeforeAnInactiveCarTakesPart) {
    std::unique_ptr<CarObject> car(BareCar(1));
    car->active = 0;
    car->wheels[0].tyreProbe.probe.fraction = 5;
    car->PreStep(0.01f);
    EXPECT_EQ(car->wheels[0].tyreProbe.probe.fraction, 5);
}

TEST_F(CarContactsTest, FinishContactsBlendsOnlyAcrossTicksWithContact) {
    WorldQueryDouble world;
    std::unique_ptr<CarObject> car(BareCar(1));
    car->position = {65536, 2 * 65536, 0};
    car->axles[0].tyreType = 2;
    CarWheel &wheel = car->wheels[0];
    wheel.side = -1.0f;

    // First contact after a tick without one: both ends take the new values.
    wheel.tyreProbe.currentSurface = 0.5f;
    wheel.tyreProbe.probe.fraction = 3000;
    wheel.tyreProbe.probe.hitPoint = {65536 + 32768, 2 * 65536, -16384};
    Set3(wheel.tyreProbe.probe.normal, 0.0f, 0.0f, 1.0f);
    wheel.tyreProbe.probe.surface = WorldQueryDouble::Surface(4, 0);
    wheel.inContact = 0;
    car->FinishContacts();
    EXPECT_EQ(wheel.tyreHit, 1);
    EXPECT_EQ(wheel.surfaceType, 4u);
    for (const float *end : {wheel.tyreProbe.previousPosition, wheel.tyreProbe.currentPosition}) {
        EXPECT_EQ(end[0], 0.5f);
        EXPECT_EQ(end[2], -0.25f);
    }
    EXPECT_EQ(wheel.tyreProbe.previousNormal[2], 1.0f);
    EXPECT_EQ(wheel.tyreProbe.previousSurface, 0.5f);
    EXPECT_EQ(wheel.tyreProbe.currentSurface, TyreSurfaceGrip[2][4]);

    // In contact: the old current values become the previous ones. A probe
    // without a surface is on kind 13.
    wheel.inContact = 1;
    wheel.tyreProbe.probe.hitPoint = {65536, 2 * 65536, 0};
    wheel.tyreProbe.probe.surface = nullptr;
    car->FinishContacts();
    EXPECT_EQ(wheel.tyreProbe.previousPosition[0], 0.5f);
    EXPECT_EQ(wheel.tyreProbe.currentPosition[0], 0.0f);
    EXPECT_EQ(wheel.surfaceType, 13u);
    EXPECT_EQ(wheel.tyreProbe.previousSurface, TyreSurfaceGrip[2][4]);
    EXPECT_EQ(wheel.tyreProbe.currentSurface, TyreSurfaceGrip[2][13]);

    wheel.tyreProbe.probe.fraction = 0;
    car->FinishContacts();
    EXPECT_EQ(wheel.tyreHit, 0);
}

TEST_F(CarContactsTest, FinishContactsTellsWhatTheSideProbeHit) {
    WorldQueryDouble world;
    RigidBody dynamicBody(1, 0, nullptr), fixedBody(0, 0, nullptr);
    struct Case {
        const char *name;
        const TrackColour *surface;
        RigidBody *body;
        uint8_t sideHit;
    };
    const Case cases[] = {
        {"surface without flag", WorldQueryDouble::Surface(6, 0), nullptr, 1},
        {"surface with flag bit 0", WorldQueryDouble::Surface(6, 1), nullptr, 2},
        {"dynamic body", nullptr, &dynamicBody, 1},
        {"fixed body", nullptr, &fixedBody, 1},
        {"plane", nullptr, nullptr, 1},
    };
    for (const Case &c : cases) {
        std::unique_ptr<CarObject> car(BareCar(1));
        CarWheel &wheel = car->wheels[0];
        wheel.side = 1.0f;
        wheel.sideProbe.currentSurface = 0.0f;
        wheel.sideProbe.probe.fraction = 100;
        wheel.sideProbe.probe.hitPoint = {65536, 0, 0};
        wheel.sideProbe.probe.surface = c.surface;
        wheel.sideProbe.probe.otherBody = c.body;
        dynamicBody.touched = fixedBody.touched = 0;
        car->FinishContacts();
        EXPECT_EQ(wheel.sideHit, c.sideHit) << c.name;
        EXPECT_EQ(wheel.sideProbe.currentSurface, 1.0f) << c.name;
        EXPECT_EQ(wheel.sideProbe.previousPosition[0], 1.0f) << c.name;
        EXPECT_EQ(dynamicBody.touched, c.body == &dynamicBody ? 1 : 0) << c.name;
        EXPECT_EQ(fixedBody.touched, 0) << c.name;
        wheel.sideProbe.probe.fraction = 0;
        car->FinishContacts();
        EXPECT_EQ(wheel.sideHit, 0) << c.name;
    }
}

TEST_F(CarContactsTest, SingleStepCarOnItsRoofGetsNoWheelProbes) {
    WorldQueryDouble world;
    WorldObject *ground = world.GetSolidList(0, 0).objects[0];
    struct Case {
        const char *name;
        uint8_t singleStep;
        float upZ;
        bool probed;
    };
    const Case cases[] = {
        {"upright", 1, 1.0f, true},
        {"on its roof", 1, -1.0f, false},
        {"on its roof, full steps", 0, -1.0f, true},
        {"on its side", 1, 0.0f, true},
    };
    for (const Case &c : cases) {
        std::unique_ptr<CarObject> car(BareCar(1));
        car->singleStep = c.singleStep;
        car->orientation[8] = c.upZ;
        car->bumpStep = 100;
        CarWheel &wheel = car->wheels[0];
        wheel.bumpBlend = 1000;
        AimTyreProbe(wheel, 0.0f, 0.0f, 0.05f);
        car->CollideWithObject(ground, 1, 1, 1);
        EXPECT_EQ(wheel.tyreProbe.probe.fraction > 0, c.probed) << c.name;
        EXPECT_EQ(wheel.bumpBlend, c.probed ? 900 : 1000) << c.name;
    }

    // The bump weight stops at 0.
    std::unique_ptr<CarObject> car(BareCar(1));
    car->bumpStep = 100;
    car->wheels[0].bumpBlend = 60;
    car->CollideWithObject(ground, 1, 1, 1);
    EXPECT_EQ(car->wheels[0].bumpBlend, 0);
}

TEST_F(CarContactsTest, CollideWithBodyProbesTheOtherBody) {
    // A slab from x = 1 to 3 whose top face is the plane z = 0.
    struct Case {
        const char *name;
        uint8_t dynamic;
        int32_t earlierHit;       // the tyre probe's fraction before the query
        int32_t separationX;      // toward the other body
        bool tyreQueried;
        bool sideQueried;
    };
    const Case cases[] = {
        {"fixed body, earlier hit", 0, 100, 65536, true, true},
        {"dynamic body, no hit yet", 1, 0, 65536, true, true},
        {"dynamic body, earlier hit", 1, 100, 65536, false, true},
        {"body behind the side probe", 1, 0, -65536, true, false},
    };
    for (const Case &c : cases) {
        RigidBody slab(c.dynamic, 1, nullptr);
        BuildBoxHull(slab, 1.0f, 1.0f, 0.5f);
        slab.ComputeBounds();
        ASSERT_EQ(slab.ComputeMassFromPoints(10.0f), 1);
        slab.position = {2 * 65536, 0, -32768};
        slab.PreStep(0.01f);

        std::unique_ptr<CarObject> car(BareCar(1));
        CarWheel &wheel = car->wheels[0];
        wheel.side = 1.0f;
        AimTyreProbe(wheel, 1.5f, 0.25f, 0.25f);
        wheel.tyreProbe.probe.fraction = c.earlierHit;
        // The side probe runs from x = 0.5 to 1.5, 0.25 m under the top:
        // half of it lies inside the slab.
        wheel.sideProbe.probe.Clear();
        wheel.sideProbe.probe.endPoint = {3 * 32768, 0, -16384};
        wheel.sideProbe.probe.segment = {65536, 0, 0};
        car->CollideWithBody(&slab, {c.separationX, 0, 0});
        EXPECT_EQ(wheel.tyreProbe.probe.otherBody == &slab, c.tyreQueried) << c.name;
        if (c.tyreQueried) {
            EXPECT_EQ(wheel.tyreProbe.probe.fraction, 16384) << c.name;
        }
        EXPECT_EQ(wheel.sideProbe.probe.otherBody == &slab, c.sideQueried) << c.name;
        if (c.sideQueried) {
            EXPECT_EQ(wheel.sideProbe.probe.fraction, 32768) << c.name;
        }
        slab.FreeGeometry();
    }
}

// --- The car in the physics world ---

// Car data with four wheels at (+-0.75, -1.2 / 1.3, 0.3) and tyre type 1.
CarDataFile FourWheelCar() {
    CarDataFile car;
    car.vehicleClass = 2;
    car.engine.displacement = 1600.0f;
    car.engine.cylinders = 4;
    car.engine.boostReference = 1.0f;
    const float figures[6] = {0.5f, 700.0f, 1.0f, 1.0f, 1.0f, 0.0f};
    std::memcpy(car.engine.figures, figures, sizeof(figures));
    NamedSetup named = {};
    std::strncpy(named.name, "Default", sizeof(named.name) - 1);
    named.setup.maxLock = 30;
    for (CarSetupAxle &axle : named.setup.axles) {
        axle.pressureLeft = 200;
        axle.pressureRight = 200;
        axle.tyreType = 1;
    }
    car.setups.push_back(named);
    CarColours colours = {};
    std::strncpy(colours.skin, "DEFAULT", sizeof(colours.skin) - 1);
    car.colours.push_back(colours);
    car.partNames.push_back({"Standard", 1});
    std::memcpy(car.shortName, "TST", 4);
    std::memcpy(car.familyCode, "ZH", 3);
    car.gearCount = 6;
    for (int i = 0; i < 4; i++)
        car.wheels.push_back({{i & 1 ? 0.75f : -0.75f, i < 2 ? -1.2f : 1.3f, 0.3f}});
    car.aero[3][0] = -0.1f;
    car.aero[3][1] = 0.35f;
    car.aero[3][2] = 0.2f;
    for (RimDataFields &axle : car.axles) {
        axle.tyreWidth = 0.2f;
        axle.aspect = 0.5f;
        axle.rimRadius = 0.19f;
        axle.rimWidth = 0.18f;
        axle.suspensionType = 1;
        axle.trackWidth = 1.5f;
        axle.hubOffset = 0.05f;
    }
    return car;
}

TEST_F(CarContactsTest, LoadedCarGetsItsProbesEveryTickInThePhysicsWorld) {
    BoxBodyObject body{32768};
    BodyObjects[0] = &body.object;
    ASSERT_EQ(SaveCarDataFile("contacts.veh", FourWheelCar()), 1);
    const std::vector<uint8_t> bytes = ReadFileBytes("contacts.veh");
    std::unique_ptr<CarObject> car(new CarObject);
    ASSERT_EQ(LoadCarDataImage(car.get(), bytes.data(), bytes.size(), CarLoadArguments{}), 1) << CarDataLoadError;
    BodyObjects[0] = nullptr;
    ASSERT_EQ(car->wheelCount, 4);

    // The set-up's values, by hand: wheels hanging 0.3 m below their
    // centres, axles out of the wheels, tyres 0.2 m wide.
    for (RimData &axle : car->axles)
        axle.treadWidth = 0.2f;
    for (int i = 0; i < 4; i++) {
        CarWheel &wheel = car->wheels[i];
        wheel.side = wheel.restPosition[0] > 0.0f ? 1.0f : -1.0f;
        wheel.axleIndex = wheel.restPosition[1] > 0.0f ? 1 : 0;
        std::memcpy(wheel.centre, wheel.restPosition, sizeof(wheel.centre));
        Set3(wheel.contactOffset, 0.0f, 0.0f, -0.3f);
        Set3(wheel.steerAxis, 0.0f, 0.0f, 1.0f);
        Set3(wheel.axleDirection, 1.0f, 0.0f, 0.0f);
    }
    car->dryMass = 1000.0f;
    Set3(car->dryCentreOfMass, 0.0f, 0.0f, 0.5f);
    SetMatrix(car->workingInertia, {1000.0f, 0.0f, 0.0f, 0.0f, 500.0f, 0.0f, 0.0f, 0.0f, 1200.0f});
    // Every tick starts from the same pose, whatever the car's own step did
    // with the last one: at rest, level, the tyres' lowest points 2 cm below
    // the ground.
    auto place = [&car] {
        car->ResetState();
        car->moving = 1;
        SetMatrix(car->orientation, {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f});
        car->SetPosition({0, 0, -1311});
    };

    for (bool withWorld : {true, false}) {
        WorldQueryDouble world;
        world.loaded = withWorld;
        world.groundHeight = 64;
        // The outer faces of the right-hand wheels (0.15 m out from their
        // centres) are 5 cm into a wall.
        const int32_t wallX = MetresToFix(car->wheels[1].restPosition[0] + 0.1f);
        world.SetWall(wallX, -1, 6, 1);
        PhysicsWorld physics;
        physics.Add(car.get());
        for (int tick = 0; tick < 3; tick++) {
            place();
            for (int i = 0; i < 4; i++) {
                car->wheels[i].tyreHit = 0;
                car->wheels[i].surfaceType = 99;
            }
            physics.Step(0);
            for (int i = 0; i < 4; i++) {
                const CarWheel &wheel = car->wheels[i];
                const char *where = withWorld ? "over the world" : "without a world";
                EXPECT_EQ(wheel.tyreHit, 1) << where << " wheel " << i;
                const int kind = withWorld ? 0 : 13;
                EXPECT_EQ(wheel.surfaceType, static_cast<uint32_t>(kind)) << where;
                EXPECT_EQ(wheel.tyreProbe.currentSurface, TyreSurfaceGrip[1][kind]) << where;
                EXPECT_EQ(wheel.tyreProbe.probe.hitPoint.z, withWorld ? 64 : 0) << where;
                EXPECT_EQ(wheel.sideHit, withWorld && wheel.side > 0.0f ? 2 : 0) << where << " wheel " << i;
            }
        }
        if (withWorld) {
            const CarWheel &right = car->wheels[1];
            EXPECT_EQ(right.sideProbe.probe.hitPoint.x, MetresToFix(car->wheels[1].restPosition[0] + 0.1f));
            EXPECT_EQ(right.sideProbe.currentNormal[0], -1.0f);
        }
    }
}

// --- After the step ---

std::vector<std::vector<uint8_t>> SentToHost;

struct Session {
    int online;
    int replay;
    int inSlot;
};
Session TheSession;
CarObject *SlotHolder;

void InstallSession(const Session &session, CarObject *car) {
    TheSession = session;
    SlotHolder = car;
    SentToHost.clear();
    RaceServices.isOnline = [] { return TheSession.online; };
    RaceServices.isReplayPlayback = [] { return TheSession.replay; };
    RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(&TheSession); };
    RaceServices.sendReliableToHost = [](const uint8_t *bytes, int length) {
        SentToHost.emplace_back(bytes, bytes + length);
    };
    VehicleRaceHooks.slotCount = [] { return 1; };
    VehicleRaceHooks.slotCar = [](int) { return TheSession.inSlot ? SlotHolder : nullptr; };
}

TEST_F(CarContactsTest, PostStepReportsTheCountersInStatisticPackets) {
    struct Case {
        const char *name;
        int32_t odometer;
        int32_t fuelUsed;
        std::vector<uint8_t> packet;   // empty: none built
        int32_t odometerLeft;
        int32_t fuelLeft;
    };
    const Case cases[] = {
        {"2048 m", 2048 * 65536, 0, {48, 0, 0x00, 0x08}, 0, 0},
        {"2049 m sends 2048 and keeps 1", 2049 * 65536, 0, {48, 0, 0x00, 0x08}, 65536, 0},
        {"just under 2048 m and 1.92 litres waits", 0x7FFFFFF, 0xBFFFFF, {}, 0x7FFFFFF, 0xBFFFFF},
        {"1.92 litres", 100 * 65536 + 5, 0xC00000, {48, 192, 100, 0}, 5, 0},
        {"fuel past twice its threshold", 0, 0x1800000, {48, 0, 0, 0}, 0, 0},
        {"distance past twice its threshold", 0x10000000, 0xC00001, {48, 192, 0, 0}, 0, 1},
    };
    for (const Case &c : cases) {
        std::unique_ptr<CarObject> car(BareCar(0));
        car->isRemote = 0;
        car->timingArmed = 1;
        InstallSession({1, 0, 1}, car.get());
        car->odometer = c.odometer;
        car->fuelUsed = c.fuelUsed;
        car->PostStep();
        if (c.packet.empty()) {
            EXPECT_TRUE(SentToHost.empty()) << c.name;
        } else {
            ASSERT_EQ(SentToHost.size(), 1u) << c.name;
            EXPECT_EQ(SentToHost[0], c.packet) << c.name;
        }
        EXPECT_EQ(car->statisticSent, c.packet.empty() ? 0 : 1) << c.name;
        EXPECT_EQ(car->odometer, c.odometerLeft) << c.name;
        EXPECT_EQ(car->fuelUsed, c.fuelLeft) << c.name;
    }
}

TEST_F(CarContactsTest, StatisticPacketGoesOnlyFromALocalCarOfAnOnlineSession) {
    struct Case {
        const char *name;
        Session session;
        uint32_t remote;
        bool sent;
    };
    const Case cases[] = {
        {"online, local car in a slot", {1, 0, 1}, 0, true},
        {"offline", {0, 0, 1}, 0, false},
        {"replay playing", {1, 1, 1}, 0, false},
        {"no slot", {1, 0, 0}, 0, false},
        {"remote player's car", {1, 0, 1}, 1, false},
    };
    for (const Case &c : cases) {
        std::unique_ptr<CarObject> car(BareCar(0));
        car->isRemote = c.remote;
        InstallSession(c.session, car.get());
        car->odometer = 3000 * 65536;
        car->PostStep();
        EXPECT_EQ(SentToHost.size(), c.sent ? 1u : 0u) << c.name;
        EXPECT_EQ(car->statisticSent, c.sent ? 1 : 0) << c.name;
        EXPECT_EQ(car->odometer, 952 * 65536) << c.name;   // the packet's share goes either way
    }
}

TEST_F(CarContactsTest, PostStepCountsTheTickAndRebasesTheWheels) {
    std::unique_ptr<CarObject> car(BareCar(1));
    car->isRemote = 0;
    car->timingArmed = 0;
    car->position = {65536, 0, 0};
    Set3(car->stepOffset, 3.0f, 4.0f, 0.0f);
    car->tickFuel = 0.001f;
    car->lapDistance = 10.0f;
    CarWheel &wheel = car->wheels[0];
    for (float *point : {wheel.lastReferencePoint, wheel.contactPoint, wheel.dragAnchor,
                         wheel.tyreProbe.currentPosition, wheel.sideAnchor, wheel.sideProbe.currentPosition})
        Set3(point, 1.0f, 1.0f, 1.0f);
    car->PostStep();

    EXPECT_EQ(car->bumpStep, 5 * 65536);
    EXPECT_EQ(car->odometer, 5 * 65536);
    EXPECT_EQ(car->fuelUsed, 6554);
    EXPECT_EQ(car->lapDistance, 15.0f);
    ExpectFix(car->position, 4 * 65536, 4 * 65536, 0, "position");
    for (const float *point : {wheel.lastReferencePoint, wheel.contactPoint, wheel.dragAnchor,
                               wheel.tyreProbe.currentPosition, wheel.sideAnchor, wheel.sideProbe.currentPosition}) {
        EXPECT_EQ(point[0], -2.0f);
        EXPECT_EQ(point[1], -3.0f);
        EXPECT_EQ(point[2], 1.0f);
    }

    // Waiting for the first line, the lap distance does not grow; a remote
    // car counts nothing; while the car is being announced nothing happens.
    car->timingArmed = 1;
    car->PostStep();
    EXPECT_EQ(car->lapDistance, 15.0f);
    EXPECT_EQ(car->odometer, 10 * 65536);
    car->isRemote = 1;
    car->PostStep();
    EXPECT_EQ(car->odometer, 10 * 65536);
    EXPECT_EQ(car->bumpStep, 5 * 65536);
    car->announcePending = 1;
    car->bumpStep = 0;
    car->PostStep();
    EXPECT_EQ(car->bumpStep, 0);
}

TEST_F(CarContactsTest, UpdateMassPropertiesAddsTheFuelBox) {
    std::unique_ptr<CarObject> car(BareCar(0));
    car->dryMass = 1000.0f;
    Set3(car->dryCentreOfMass, 0.0f, 0.2f, 0.3f);
    SetMatrix(car->workingInertia, {500.0f, 10.0f, 0.0f, 10.0f, 300.0f, 0.0f, 0.0f, 0.0f, 600.0f});
    car->passMasses[1] = 700.0f;
    Set3(car->passCentres[1], 0.0f, 0.1f, 0.4f);
    car->fuel = 60.0f;
    Set3(car->tankPosition, 0.1f, -1.0f, 0.25f);
    Set3(car->tankHalfSize, 0.3f, 0.2f, 0.1f);
    car->UpdateMassProperties();

    // 44.4 kg of fuel, worked out by hand.
    EXPECT_NEAR(car->mass, 1044.4f, 1e-3f);
    const float centre[3] = {0.0042512447f, 0.14898506f, 0.29787438f};
    const float sprung[3] = {0.0059645352f, 0.034390113f, 0.39105320f};
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(car->centreOfMass[k], centre[k], 1e-6f);
        EXPECT_NEAR(car->sprungCentre[k], sprung[k], 1e-6f);
    }
    const float tensor[9] = {432.06421f, 15.101494f, 0.21256224f, 15.101494f, 212.01141f,
                             57.449253f, 0.21256224f, 57.449253f, 623.56705f};
    for (int k = 0; k < 9; k++)
        EXPECT_NEAR(car->inertia[k], tensor[k], 2e-3f) << k;
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) {
            float sum = 0.0f;
            for (int k = 0; k < 3; k++)
                sum += car->inertia[r * 3 + k] * car->inverseInertia[k * 3 + c];
            EXPECT_NEAR(sum, r == c ? 1.0f : 0.0f, 1e-5f) << r << c;
        }
    }

    // A car without its mass model keeps what it has rather than dividing by 0.
    std::unique_ptr<CarObject> empty(BareCar(0));
    empty->mass = 1200.0f;
    empty->inverseInertia[0] = 0.5f;
    empty->UpdateMassProperties();
    EXPECT_EQ(empty->mass, 1200.0f);
    EXPECT_EQ(empty->inverseInertia[0], 0.5f);
    EXPECT_FALSE(std::isnan(empty->centreOfMass[0]));
}

}  // namespace
