#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/race_slot_hooks.h"
#include "tests/vehicle/world_query_double.h"
#include "vehicle/car_damage.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"

// Generated cars driven into the flat double's wall (a plane x = const,
// solid beyond it) on an online session.
namespace {

constexpr int TicksPerSecond = 100;
constexpr uint8_t PlayerId = 9;
constexpr float HalfTurn = 1.5707964f;  // heading: the nose toward +x

using Bytes = std::vector<uint8_t>;

class CarDamageCarsTest : public GeneratedCarsFixture, protected OnlineDamageHooks {
protected:
    void SetUp() override {
        ASSERT_EQ(writeError, nullptr) << writeError;
        BuildTyreCurves();
        InstallOnlineDamageHooks(PlayerId);
    }
    void TearDown() override {
        RestoreRaceSlotHooks();
        while (physics.bodyCount > 0)
            physics.Remove(physics.bodies[0]);
    }

    // Car `model` settled at the origin with the given heading, the wall put
    // `gap` metres beyond the body's reach toward +x (its right side at
    // heading 0, its nose at -pi/2), then the car sent toward it at `speed`
    // m/s for a second, its wheels rolling when it goes nose first.
    void DriveIntoWall(CarObject &car, int model, float heading, float speed, float gap) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[model].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        car.position = {0, 0, MetresToFix(1.0f)};
        car.Reset(heading, 0, 1);
        car.fuel = 20.0f;
        physics.Add(&car);
        slotCars[0] = &car;
        world.SetWall(MetresToFix(1000.0f), -1);
        Run(TicksPerSecond);
        ASSERT_EQ(car.damageCount, 0);
        const bool noseFirst = heading != 0.0f;
        const float reach = noseFirst ? car.maxY : car.maxX;
        world.SetWall(car.position.x + MetresToFix(reach + gap), -1);
        LaunchTowardPlusX(physics, car, speed, noseFirst);
        Run(TicksPerSecond);
    }
    void Run(int ticks) {
        for (int i = 0; i < ticks; i++)
            physics.Step(i % 4 == 3);
    }

    WorldQueryDouble world;
    PhysicsWorld physics;
};

bool Differs(const float a[3], const float b[3]) {
    return std::memcmp(a, b, sizeof(float[3])) != 0;
}

}  // namespace

// Nose first into the wall at 15 m/s every car keeps dents, sends each
// stored dent once, and the dents move its collision points.
TEST_F(CarDamageCarsTest, WallAtFifteenMetresPerSecondDentsAndSends) {
    for (int model = 0; model < CarModelCount; model++) {
        SCOPED_TRACE(CarTable[model].code);
        packets.clear();
        CarObject car;
        DriveIntoWall(car, model, -HalfTurn, 15.0f, 1.0f);
        if (HasFatalFailure())
            return;

        ASSERT_GT(car.damageCount, 0);
        if (car.damageCount < CarDamageRecords) {
            ASSERT_EQ(static_cast<int>(packets.size()), car.damageCount);
            for (int i = 0; i < car.damageCount; i++) {
                const uint8_t *r = car.damageRecords[i];
                EXPECT_EQ(packets[i], (Bytes{CarDamagePacketId, PlayerId, 0, 0, r[0], r[1], r[2], r[3]}));
            }
        } else {
            EXPECT_GE(static_cast<int>(packets.size()), CarDamageRecords);
        }
        int pointsMoved = 0;
        for (int i = 0; i < car.pointCount; i++)
            pointsMoved += Differs(car.points[i].local, car.savedPoints[i]) ? 1 : 0;
        EXPECT_GT(pointsMoved, 0);
        physics.Remove(&car);
    }
}

// Sliding sideways into the wall at 15 m/s, a car whose body reaches out
// past its wheel mounts dents, and every car whose body took dents there
// has wheel mounts moved by them (an open-wheeler's wheels may take the hit
// alone). The shape is rebuilt from the records alone first, so the wheels'
// own suspension damage plays no part.
TEST_F(CarDamageCarsTest, SideImpactMovesWheelMounts) {
    int dentedCars = 0;
    for (int model = 0; model < CarModelCount; model++) {
        SCOPED_TRACE(CarTable[model].code);
        CarObject car;
        DriveIntoWall(car, model, 0.0f, 15.0f, 1.0f);
        if (HasFatalFailure())
            return;
        float outermostMount = 0.0f;
        for (int w = 0; w < car.wheelCount; w++)
            outermostMount = std::max(outermostMount, car.wheels[w].restPosition[0]);
        if (car.maxX > outermostMount) {
            EXPECT_GT(car.damageCount, 0);
        }
        if (car.damageCount > 0) {
            dentedCars++;
            car.RefreshShape();
            int mountsMoved = 0;
            for (int w = 0; w < car.wheelCount; w++)
                mountsMoved += Differs(car.wheels[w].position, car.wheels[w].restPosition) ? 1 : 0;
            EXPECT_GT(mountsMoved, 0);
        }
        physics.Remove(&car);
    }
    EXPECT_GT(dentedCars, 0);
}

// Rolling nose first into the wall at 1 m/s leaves no dent.
TEST_F(CarDamageCarsTest, GentleTouchLeavesNoDent) {
    for (int model = 0; model < CarModelCount; model++) {
        SCOPED_TRACE(CarTable[model].code);
        packets.clear();
        CarObject car;
        DriveIntoWall(car, model, -HalfTurn, 1.0f, 0.2f);
        if (HasFatalFailure())
            return;
        EXPECT_LT(car.velocity[0], 0.5f);  // it reached the wall
        EXPECT_EQ(car.damageCount, 0);
        EXPECT_TRUE(packets.empty());
        physics.Remove(&car);
    }
}
