#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/car_table.h"
#include "tests/tools/fixture_world.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/race_slot_hooks.h"
#include "vehicle/car_damage.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"
#include "world/map_squares.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

// Car 0 driven nose first into the wall on the east straight's outside of the
// loaded fixture track, in an online session: a hard hit keeps dents, sends
// each one and moves the physics shape; a gentle touch keeps nothing.
namespace {

namespace fw = fixture_world;

constexpr int TicksPerSecond = 100;
constexpr uint8_t PlayerId = 4;
constexpr float WallX = fw::BendRadius + fw::OuterEdge;
constexpr float NoseToPlusX = -0.5f * fw::Pi;  // heading: the nose toward +x

using Bytes = std::vector<uint8_t>;

class CarDamageOnWorld : public GeneratedCarsFixture, protected OnlineDamageHooks {
protected:
    static void SetUpTestSuite() {
        GeneratedCarsFixture::SetUpTestSuite();
        BuildTyreCurves();
        SetWorldMessagePrinter([](const char *, int) {});
        world = WorldCreate();
        fw::WriteAndLoad(world);
    }
    static void TearDownTestSuite() {
        WorldDestroy(world);
        world = nullptr;
        SetWorldMessagePrinter(nullptr);
        GeneratedCarsFixture::TearDownTestSuite();
    }
    void SetUp() override {
        ASSERT_EQ(writeError, nullptr) << writeError;
        ASSERT_FALSE(WorldLoadFailed(world));
        ASSERT_EQ(CurrentWorld, world);
        InstallOnlineDamageHooks(PlayerId);
        // The car is placed on the ground that the world's probe finds,
        // which answers only while a game session exists.
        SetSessionExistsCheck([] { return 1; });
    }
    void TearDown() override {
        while (physics.bodyCount > 0)
            physics.Remove(physics.bodies[0]);
        world->FreeObjectGrid();
        SetSessionExistsCheck(nullptr);
        RestoreRaceSlotHooks();
    }

    // Car 0 settled on the east straight's grass with the heading, moved so
    // that its body lies `gap` metres from the wall (its nose at -pi/2, its
    // right side at 0), then sent at the wall at `speed` m/s for 1.5 s, its
    // wheels rolling when it goes nose first.
    void DriveIntoWall(CarObject &car, float heading, float speed, float gap) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        car.position = {fw::Fix(WallX - 6.0f), fw::Fix(-20.0f), 0};
        car.Reset(heading, 0, 1);
        car.fuel = 20.0f;
        physics.Add(&car);
        slotCars[0] = &car;
        Run(TicksPerSecond);
        ASSERT_EQ(car.damageCount, 0);
        const bool noseFirst = heading != 0.0f;
        car.position.x = fw::Fix(WallX - (noseFirst ? car.maxY : car.maxX) - gap);
        car.predictedPosition = car.position;
        LaunchTowardPlusX(physics, car, speed, noseFirst);
        Run(3 * TicksPerSecond / 2);
    }
    void Run(int ticks) {
        for (int i = 0; i < ticks; i++)
            physics.Step(i % 4 == 3);
    }
    static bool Differs(const float a[3], const float b[3]) { return std::memcmp(a, b, sizeof(float[3])) != 0; }

    static World *world;
    PhysicsWorld physics;
};

World *CarDamageOnWorld::world = nullptr;

}  // namespace

// Nose first and side on: the car is stopped by the wall, keeps dents, sends
// each stored dent once and its collision points move. Side on, the body
// reaches out past the wheel mounts, and the records alone (the rebuild
// restores the undamaged mounts first) move the mounts near the dents.
TEST_F(CarDamageOnWorld, WallAtFifteenMetresPerSecondDentsSendsAndMovesTheShape) {
    struct Row {
        const char *name;
        float heading;
        bool mountsInReach;
    };
    const Row rows[] = {{"nose first", NoseToPlusX, false}, {"side on", 0.0f, true}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        packets.clear();
        CarObject car;
        DriveIntoWall(car, row.heading, 15.0f, 1.0f);
        if (HasFatalFailure())
            return;
        EXPECT_LT(car.velocity[0], 5.0f);
        EXPECT_LT(static_cast<float>(car.position.x) / 65536.0f, WallX);

        ASSERT_GT(car.damageCount, 0);
        ASSERT_LT(car.damageCount, CarDamageRecords) << "while none is dropped, each stored dent is sent once";
        ASSERT_EQ(static_cast<int>(packets.size()), car.damageCount);
        for (int i = 0; i < car.damageCount; i++) {
            const uint8_t *r = car.damageRecords[i];
            EXPECT_EQ(packets[i], (Bytes{CarDamagePacketId, PlayerId, 0, 0, r[0], r[1], r[2], r[3]})) << "record " << i;
        }
        int pointsMoved = 0;
        for (int i = 0; i < car.pointCount; i++)
            pointsMoved += Differs(car.points[i].local, car.savedPoints[i]) ? 1 : 0;
        EXPECT_GT(pointsMoved, 0);
        if (row.mountsInReach) {
            car.RefreshShape();
            int mountsMoved = 0;
            for (int w = 0; w < car.wheelCount; w++)
                mountsMoved += Differs(car.wheels[w].position, car.wheels[w].restPosition) ? 1 : 0;
            EXPECT_GT(mountsMoved, 0);
        }
        physics.Remove(&car);
    }
}

TEST_F(CarDamageOnWorld, GentleTouchOfTheWallKeepsNoDent) {
    CarObject car;
    DriveIntoWall(car, NoseToPlusX, 1.0f, 0.2f);
    if (HasFatalFailure())
        return;
    EXPECT_LT(car.velocity[0], 0.5f);  // it reached the wall
    EXPECT_EQ(car.damageCount, 0);
    EXPECT_TRUE(packets.empty());
}

// A record that arrives from another program is stored and flagged for a
// shape refresh; the car's next tick rebuilds its shape from it.
TEST_F(CarDamageOnWorld, PendingShapeRefreshRebuildsOnTheNextTick) {
    CarObject car;
    CarLoadArguments args;
    ASSERT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
    car.position = {fw::Fix(WallX - 8.0f), fw::Fix(-20.0f), 0};
    car.Reset(0.0f, 0, 1);
    physics.Add(&car);
    slotCars[0] = &car;
    Run(TicksPerSecond / 2);
    ASSERT_GT(car.pointCount, 0);
    // Point 0 pushed in along the car's -x by a fifth of half the wheelbase.
    const float x[3] = {-1.0f, 0.0f, 0.0f};
    const uint16_t packed = PackDamageDirection(x);
    const uint8_t record[4] = {0, 51, static_cast<uint8_t>(packed & 0xFF), static_cast<uint8_t>(packed >> 8)};
    ASSERT_EQ(car.AddDamageRecord(record), 1);
    EXPECT_FALSE(Differs(car.points[0].local, car.savedPoints[0]));
    car.shapeRefreshPending = 1;
    car.moving = 1;
    physics.Remove(&car);
    physics.Add(&car);
    Run(1);
    EXPECT_EQ(car.shapeRefreshPending, 0u);
    EXPECT_NEAR(car.points[0].local[0], car.savedPoints[0][0] - 0.2f * 0.5f * car.wheelbase, 1e-5f);
    EXPECT_EQ(car.points[0].local[1], car.savedPoints[0][1]);
}
