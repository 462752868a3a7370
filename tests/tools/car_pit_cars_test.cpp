#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "core/car_table.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/vehicle/pit_services_fake.h"
#include "tests/vehicle/world_query_double.h"
#include "vehicle/car_class.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/tyre_curves.h"

// A generated car through a pit stop in the physics world on flat ground:
// the pit lane is the strip -30 m < y < 90 m with a limit of 80 km/h and its
// one pit box stands at (0, 40 m).
namespace {

using pit_fake::Bytes;
using pit_fake::fake;
using pit_fake::PacketsOfType;

constexpr int TicksPerSecond = 100;
constexpr int BoxY = 40;  // metres

class CarPitCarsTest : public GeneratedCarsFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(writeError, nullptr) << writeError;
        BuildTyreCurves();
        pit_fake::Install();
        fake.placeX = 0;
        fake.placeY = BoxY * 65536;
        fake.pathNodes = 0;  // no path: no flag checks
        fake.refuelPercent = 10;
        RaceServices.findSpeedLimitZone = [](int32_t, int32_t y) {
            return y > -30 * 65536 && y < 90 * 65536 ? reinterpret_cast<const ZoneObject *>(&fake.zoneToken)
                                                     : nullptr;
        };
    }
    void TearDown() override {
        pit_fake::Uninstall();
        while (physics.bodyCount > 0)
            physics.Remove(physics.bodies[0]);
    }

    // Car `model` standing at (0, y) heading north (+y), past the first
    // 20 s in which no pit stop may begin.
    void Place(CarObject &car, int model, float y) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[model].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        car.position = {0, MetresToFix(y), MetresToFix(1.0f)};
        car.Reset(0.0f, 0, 1);
        car.fuel = 20.0f;
        car.pitSetup = *car.setup;  // no set-up change planned
        car.stepCount = 2500;
        physics.Add(&car);
        fake.cars[0] = &car;
    }
    // The car rolls north at v m/s, its wheels turning with it.
    void Push(CarObject &car, float v) {
        LaunchAlongHeading(physics, car, v);
    }
    // Ticks until done() or the limit; the ticks run.
    template <typename Done>
    int RunUntil(Done done, int limit) {
        int ticks = 0;
        while (!done() && ticks < limit)
            physics.Step(ticks++ % 4 == 3);
        return ticks;
    }
    // The rolling car braked so that it stops at the box: full brake whenever
    // stopping there needs more than 5 m/s^2, and from half a metre before
    // it, until its pit work begins (at most 30 s). The ticks it took.
    int BrakeIntoTheBox(CarObject &car) {
        return RunUntil(
            [&] {
                const float d = static_cast<float>(BoxY) - FixToMetres(car.position.y);
                const float v = car.velocity[1];
                const float room = d > 0.1f ? d : 0.1f;
                car.inputs[2] = d < 0.5f || v * v / (2.0f * room) > 5.0f ? 65535 : 0;
                return car.pitWorkStep != 0;
            },
            30 * TicksPerSecond);
    }

    WorldQueryDouble world{250 * 65536};
    PhysicsWorld physics;
};

TEST_F(CarPitCarsTest, ACarEntersStopsInItsBoxIsServedAndLeaves) {
    CarObject car;
    Place(car, 0, -40.0f);
    RunUntil([] { return false; }, TicksPerSecond);
    ASSERT_GT(car.tankSize, 20.0f);

    // In at 25 m/s (90 km/h), braking on the way so that it stops at the box.
    Push(car, 25.0f);
    const int toStop = BrakeIntoTheBox(car);
    ASSERT_NE(car.pitWorkStep, 0) << "no stop in the box; y " << FixToMetres(car.position.y) << " after "
                                  << toStop << " ticks";
    car.inputs[2] = 0;
    // Entered above the limit: a drive-through asked for, once.
    const std::vector<Bytes> penalties = PacketsOfType(66);
    ASSERT_EQ(penalties.size(), 1u);
    EXPECT_EQ(penalties[0], (Bytes{66, 7, 1, 4}));
    EXPECT_EQ(car.pitLaneState, 2);
    EXPECT_EQ(car.pitWork, 2u | (1u << 17));
    ASSERT_EQ(fake.recorded.size(), 1u);
    EXPECT_EQ(fake.recorded[0], (Bytes{60, 7, 1, 0}));

    // Held in the box: the stop's second, then the tank filled by a tenth
    // at the class's rate.
    const float target = car.RefuelTarget(pit_fake::SlotHandle(0));
    const float rate = CarClassTable[car.vehicleClass].refuelRate;
    const int expected = 100 + static_cast<int>(std::ceil((target - 20.0f) / (0.01f * rate)));
    const int work = RunUntil([&] { return car.pitLaneState == 4; }, 60 * TicksPerSecond);
    EXPECT_NEAR(work, expected, 2);
    EXPECT_EQ(car.pitWorkStep, 17);
    EXPECT_EQ(car.fuel, car.refuelTarget);
    EXPECT_FLOAT_EQ(car.refuelTarget, target);
    char finished[64];
    std::snprintf(finished, sizeof(finished), "Finished refuelling : %.1f litres", static_cast<double>(target));
    ASSERT_FALSE(fake.messages.empty());
    EXPECT_EQ(fake.messages.back(), finished);
    // It stays held until it moves off.
    RunUntil([] { return false; }, 50);
    EXPECT_EQ(car.pitWorkStep, 17);
    EXPECT_EQ(fake.pitDones, 0);

    const uint32_t stoppedAt = car.stopTick;
    Push(car, 5.0f);
    RunUntil([&] { return car.pitWorkStep == 0; }, 10);
    EXPECT_EQ(car.pitWorkStep, 0);
    EXPECT_EQ(fake.pitDones, 1);
    EXPECT_GT(car.pitStopTicks, work);
    EXPECT_EQ(car.stopTick, stoppedAt + static_cast<uint32_t>(car.pitStopTicks));

    // Out of the lane: the exit notice is pending.
    RunUntil([&] { return car.pitLaneState == 0; }, 20 * TicksPerSecond);
    EXPECT_EQ(car.pitLaneState, 0);
    EXPECT_EQ(car.pitNotice, 0);
    EXPECT_GT(FixToMetres(car.position.y), 89.0f);
}

// A car with a stop-go to serve stops in the box for less than 10 s: no work
// is done and the stop-go is asked for again.
TEST_F(CarPitCarsTest, AShortStopGoStopIsNotServed) {
    CarObject car;
    Place(car, 0, 0.0f);
    car.penalty = 4;
    RunUntil([] { return false; }, TicksPerSecond);
    Push(car, 10.0f);
    BrakeIntoTheBox(car);
    ASSERT_NE(car.pitWorkStep, 0);
    car.inputs[2] = 0;
    EXPECT_EQ(car.pitLaneState, 4);
    EXPECT_EQ(car.pitWork, 0u);
    RunUntil([] { return false; }, 5 * TicksPerSecond);
    EXPECT_EQ(car.fuel, 20.0f);
    Push(car, 5.0f);
    RunUntil([&] { return car.pitWorkStep == 0; }, 10);
    const std::vector<Bytes> penalties = PacketsOfType(66);
    ASSERT_EQ(penalties.size(), 1u);
    EXPECT_EQ(penalties[0], (Bytes{66, 7, 3, 5}));
    EXPECT_LT(car.pitStopTicks, 1000);
}

}  // namespace
