#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/car_table.h"
#include "tests/tools/generated_cars_fixture.h"
#include "core/fixed_math.h"
#include "render/object_file.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"

namespace {

// The generated data folder with the body objects read back, as the program
// has them at start-up.
class SetUpGeneratedCarsTest : public GeneratedCarsFixture {};

bool AllFinite(const float *v, int n) {
    for (int i = 0; i < n; i++) {
        if (!std::isfinite(v[i]))
            return false;
    }
    return true;
}

// Every generated car, as loaded (the loader applies its set-up): finite
// mass properties that add up, surfaces, brake and spring limits that
// follow from the car, and the set-up held inside them.
TEST_F(SetUpGeneratedCarsTest, EveryCarIsSetUpWithFiniteLimits) {
    for (int index = 0; index < CarModelCount; ++index) {
        const CarModelInfo &info = CarTable[index];
        SCOPED_TRACE(info.code);
        CarObject car;
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, info.code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");

        // Mass: the parts add up, the centre lies between the axles.
        EXPECT_TRUE(std::isfinite(car.mass) && car.mass > 0.0f) << car.mass;
        EXPECT_EQ(car.mass, car.dryMass);
        EXPECT_GT(car.mass, car.engineMass + car.tankShellMass + car.wheelMassTotal + car.occupantMass);
        EXPECT_TRUE(AllFinite(car.centreOfMass, 3));
        EXPECT_GT(car.centreOfMass[1], car.axlePositions[0]);
        EXPECT_LT(car.centreOfMass[1], car.axlePositions[1]);
        EXPECT_TRUE(AllFinite(car.inertia, 9));
        EXPECT_TRUE(AllFinite(car.inverseInertia, 9));
        for (int d = 0; d < 3; d++) {
            EXPECT_GT(car.inertia[d * 4], 0.0f);
            EXPECT_GT(car.inverseInertia[d * 4], 0.0f);
        }
        EXPECT_GT(car.wheelbase, 0.5f);
        EXPECT_GT(car.tankSize, 0.0f);

        // Surfaces: the body surface is always in use and the totals are its
        // sums.
        EXPECT_EQ(car.wings[3].flags & 1, 1);
        float drag = 0.0f;
        float lift = 0.0f;
        for (const AeroSurface &wing : car.wings) {
            if (wing.flags & 1) {
                drag += wing.drag;
                lift += wing.lift;
            }
        }
        EXPECT_EQ(car.dragTotal, drag);
        EXPECT_EQ(car.liftTotal, lift);
        EXPECT_GT(car.dragTotal, 0.0f);
        EXPECT_TRUE(car.topSpeedEstimate > 10.0f && car.topSpeedEstimate <= 200.0f) << car.topSpeedEstimate;

        // Brakes and springs.
        float lo = 0.0f;
        float hi = 0.0f;
        car.BrakeRange(&lo, &hi);
        EXPECT_TRUE(std::isfinite(hi) && hi > 0.0f) << hi;
        EXPECT_TRUE(car.setup->brakeTorque >= lo && car.setup->brakeTorque <= hi) << car.setup->brakeTorque;
        float springLo, springHi, damperLo, damperHi, antiRollHi;
        car.GetRoundedLimits(&springLo, &springHi, &damperLo, &damperHi, &antiRollHi);
        EXPECT_TRUE(std::isfinite(springHi) && springHi > 0.0f) << springHi;
        EXPECT_TRUE(std::isfinite(damperHi) && damperHi > 0.0f) << damperHi;
        // The load carries at least the car's weight.
        EXPECT_GT(car.MaxLoad(), car.bodyMass * 9.81f);
        for (int i = 0; i < car.wheelCount; i++) {
            const CarWheel &wheel = car.wheels[i];
            if (wheel.suspensionType == 0)
                continue;
            EXPECT_TRUE(wheel.springRate >= springLo && wheel.springRate <= springHi) << i;
            EXPECT_TRUE(wheel.reboundDamping >= damperLo && wheel.reboundDamping <= damperHi) << i;
            EXPECT_TRUE(std::isfinite(wheel.airMass) && wheel.airMass > 0.0f) << i;
            EXPECT_TRUE(AllFinite(wheel.steerAxis, 3) && AllFinite(wheel.contactOffset, 3)) << i;
            EXPECT_EQ(wheel.brakeShare, car.axleBrakeTorque[wheel.axleIndex]) << i;
        }
        EXPECT_GT(car.axleBrakeTorque[0], 0.0f);
        EXPECT_GT(car.axles[0].rimVolume, 0.0f);
        EXPECT_GT(car.axles[1].treadSectionArea, 0.0f);
        EXPECT_GT(car.axles[1].sidewallArea, 0.0f);
        EXPECT_GT(car.drivenWheelCount, 0);
    }
}

}  // namespace
