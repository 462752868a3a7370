#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/car_table.h"
#include "tests/tools/generated_cars_fixture.h"
#include "core/checksum.h"
#include "core/fixed_math.h"
#include "core/float_math.h"
#include "render/object_file.h"
#include "tests/vehicle/world_query_double.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"

namespace {

class CarDeterminismTest : public GeneratedCarsFixture {};

constexpr int ScriptTicks = 1000;
constexpr int HashEvery = 100;

uint32_t AddFloats(uint32_t crc, const float *values, int n) {
    for (int i = 0; i < n; i++) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        crc = CrcAddU32(crc, bits);
    }
    return crc;
}

// Everything of a car's motion that a later tick depends on.
uint32_t AddCarState(uint32_t crc, const CarObject &car) {
    crc = CrcAddU32(crc, static_cast<uint32_t>(car.position.x));
    crc = CrcAddU32(crc, static_cast<uint32_t>(car.position.y));
    crc = CrcAddU32(crc, static_cast<uint32_t>(car.position.z));
    crc = AddFloats(crc, car.orientation, 9);
    crc = AddFloats(crc, car.velocity, 3);
    crc = AddFloats(crc, car.angularMomentum, 3);
    crc = AddFloats(crc, &car.engine.speed, 1);
    crc = AddFloats(crc, &car.engine.crankAngle, 1);
    crc = AddFloats(crc, &car.engine.gearboxAngle, 1);
    for (int w = 0; w < car.wheelCount; w++) {
        const CarWheel &wheel = car.wheels[w];
        crc = AddFloats(crc, &wheel.angularVelocity, 1);
        crc = AddFloats(crc, &wheel.rotation, 1);
        crc = AddFloats(crc, &wheel.compression, 1);
        for (const TreadSegment &segment : wheel.tread) {
            for (const TreadSection &section : segment.sections) {
                crc = AddFloats(crc, &section.bulkHeat, 1);
                crc = AddFloats(crc, &section.skinHeat, 1);
            }
        }
    }
    return crc;
}

// The driver's controls of tick t for the driven car: a gear chosen by word
// 14 once gear requests are taken, throttle ramps, a steering sine that takes
// it past the other car's flank, one shift up and brake pulses.
void DriveScript(CarObject &car, int t) {
    car.inputs[14] = (t >= 110 && t < 120) ? 2 : 255;
    float throttle = 0.0f;
    if (t >= 120 && t < 300)
        throttle = static_cast<float>(t - 120) / 180.0f;
    else if (t >= 300 && t < 600)
        throttle = 1.0f - 0.6f * static_cast<float>(t - 300) / 300.0f;
    else if (t >= 600)
        throttle = 0.4f + 0.6f * static_cast<float>(t - 600) / 400.0f;
    car.inputs[3] = (t >= 420 && t < 426) ? 1 : 0;
    const bool braking = t >= 500 && (t / 40) % 5 == 0;
    car.inputs[2] = braking ? 45000 : 0;
    car.inputs[1] = braking ? 0 : static_cast<uint16_t>(throttle * 50000.0f);
    car.inputs[0] = static_cast<uint16_t>(32768 + static_cast<int>(6000.0f * FloatSin(static_cast<float>(t) * 0.015f)));
}

struct ScriptResult {
    uint32_t hashes[ScriptTicks / HashEvery];
    float otherDisplacement;   // m the standing car was pushed
    float drivenTravel;        // m the driven car covered in y
    int32_t maxAbsPosition;    // 16.16, largest |x| or |y| of either car
    // The steering wheel's values of the driven car: the largest steering
    // torque, the largest gap between it and the sum of its two sides, and
    // the largest gap between the speed step and the speed.
    float maxSteerTorque;
    float sideTorqueGap;
    float speedStepGap;
};

CarObject *SlotCars[2] = {};
alignas(8) unsigned char SlotBytes[2][64];  // the slot records are opaque here

// Two road cars on the flat double: one driven by the script, one idling in
// neutral beside its path, which the driven car brushes.
void RunScript(ScriptResult &result) {
    WorldQueryDouble world;
    PhysicsWorld physics;
    BuildTyreCurves();
    CarObject cars[2];
    // Heading 0 faces +y; the other car stands ahead, off to the side the
    // steering sine first takes the driven car.
    const float startX[2] = {0.0f, -2.6f};
    const float startY[2] = {-60.0f, -50.0f};
    for (int c = 0; c < 2; c++) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&cars[c], CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        cars[c].position = {MetresToFix(startX[c]), MetresToFix(startY[c]), MetresToFix(1.0f)};
        cars[c].Reset(0.0f, 0, 1);
        cars[c].engine.StartAtIdle();
        cars[c].fuel = 20.0f;
        cars[c].autoClutch = 1;
        cars[c].autoGears = 0;
        physics.Add(&cars[c]);
    }
    cars[1].gear = 1;
    cars[1].requestedGear = 1;
    // Both cars hold race slots, so that their gear requests run.
    const RaceHooks saved = VehicleRaceHooks;
    const CarRaceServices savedServices = RaceServices;
    RaceServices.slotRecord = [](int slot) { return reinterpret_cast<PlayerSlot *>(SlotBytes[slot]); };
    SlotCars[0] = &cars[0];
    SlotCars[1] = &cars[1];
    VehicleRaceHooks.slotCount = [] { return 2; };
    VehicleRaceHooks.slotCar = [](int slot) { return SlotCars[slot]; };
    const FixVector otherStart = cars[1].position;
    const int32_t drivenStartY = cars[0].position.y;
    result.maxAbsPosition = 0;

    uint32_t crc = 0xffffffffu;
    for (int t = 0; t < ScriptTicks; t++) {
        DriveScript(cars[0], t);
        physics.Step(t % 4 == 3);
        const CarObject &driven = cars[0];
        result.maxSteerTorque = std::max(result.maxSteerTorque, std::fabs(driven.steerTorque));
        result.sideTorqueGap = std::max(result.sideTorqueGap, std::fabs(driven.sideSteerTorque[0] +
                                                                        driven.sideSteerTorque[1] - driven.steerTorque));
        if (t > 0)
            result.speedStepGap = std::max(result.speedStepGap, std::fabs(driven.speedStep - driven.speed));
        for (const CarObject &car : cars) {
            crc = AddCarState(crc, car);
            for (int32_t v : {car.position.x, car.position.y}) {
                const int32_t a = v < 0 ? -v : v;
                result.maxAbsPosition = a > result.maxAbsPosition ? a : result.maxAbsPosition;
            }
        }
        if ((t + 1) % HashEvery == 0)
            result.hashes[t / HashEvery] = crc;
    }
    const float dx = FixToMetres(cars[1].position.x - otherStart.x);
    const float dy = FixToMetres(cars[1].position.y - otherStart.y);
    result.otherDisplacement = std::sqrt(dx * dx + dy * dy);
    result.drivenTravel = FixToMetres(cars[0].position.y - drivenStartY);
    for (CarObject &car : cars)
        physics.Remove(&car);
    VehicleRaceHooks = saved;
    RaceServices = savedServices;
}

// The whole car simulation is bit-exact from run to run and from build to
// build: the hash of the state of two cars over a 1000-tick script is
// recorded below. A deliberate change to the physics changes it: the test
// then prints the new value, which is recorded here in the same change with
// the reason for it.
TEST_F(CarDeterminismTest, ScriptedTwoCarRunHasItsRecordedHash) {
    ScriptResult first{};
    RunScript(first);
    if (HasFatalFailure())
        return;
    // The script is what it claims: the car drove off, touched the other
    // car and stayed on the double's ground.
    EXPECT_GT(first.drivenTravel, 15.0f);
    EXPECT_GT(first.otherDisplacement, 0.01f);
    EXPECT_LT(first.maxAbsPosition, 78 * 65536);
    // The force-feedback values follow the physics without feeding it.
    EXPECT_GT(first.maxSteerTorque, 1.0f);
    EXPECT_LT(first.sideTorqueGap, 0.001f * first.maxSteerTorque);
    EXPECT_LT(first.speedStepGap, 1.0f);  // the brush with the other car jolts it

    ScriptResult second{};
    RunScript(second);
    for (int k = 0; k < ScriptTicks / HashEvery; k++)
        EXPECT_EQ(first.hashes[k], second.hashes[k]) << "tick " << (k + 1) * HashEvery;

    const uint32_t golden = 4175222363u;
    const uint32_t final = first.hashes[ScriptTicks / HashEvery - 1];
    if (final != golden)
        std::printf("car determinism hash: %uu (recorded %uu)\n", final, golden);
    EXPECT_EQ(final, golden);
}

}  // namespace
