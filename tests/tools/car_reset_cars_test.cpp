#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/car_table.h"
#include "tests/tools/generated_cars_fixture.h"
#include "core/fixed_math.h"
#include "render/object_file.h"
#include "tests/vehicle/world_query_double.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"

namespace {

// The generated data folder with the body objects read back, as the program
// has them at start-up.
class ResetGeneratedCarsTest : public GeneratedCarsFixture {};

// Height of a body-frame point above the ground, in metres.
float HeightAbove(const CarObject &car, const float local[3], int32_t groundZ) {
    const float *m = car.orientation;
    return FixToMetres(car.position.z - groundZ) + m[6] * local[0] + m[7] * local[1] + m[8] * local[2];
}

// Every generated car, loaded and reset over the double's raised ground from
// high above, from below it and as a rescue: it stands level on the ground
// with every tyre 5 cm clear and no point of its body touching.
TEST_F(ResetGeneratedCarsTest, EveryCarIsPlacedOnTheGround) {
    WorldQueryDouble world;
    world.groundHeight = MetresToFix(0.75f);
    const struct {
        float startHeight;
        int rescue;
    } starts[] = {{40.0f, 0}, {-5.0f, 0}, {0.9f, 1}};
    for (int index = 0; index < CarModelCount; ++index) {
        const CarModelInfo &info = CarTable[index];
        SCOPED_TRACE(info.code);
        CarObject car;
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, info.code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        ASSERT_GT(car.wheelCount, 0);
        ASSERT_GT(car.pointCount, 0);
        for (const auto &start : starts) {
            SCOPED_TRACE(start.startHeight);
            car.position = {MetresToFix(12.0f), MetresToFix(-7.0f), MetresToFix(start.startHeight)};
            car.Reset(0.3f, start.rescue, 1);

            EXPECT_EQ(car.position.x, MetresToFix(12.0f));
            EXPECT_EQ(car.position.y, MetresToFix(-7.0f));
            EXPECT_NEAR(car.orientation[8], 1.0f, 1e-6f);
            float lowestTyre = 1000.0f;
            for (int i = 0; i < car.wheelCount; i++) {
                const float bottom = car.wheels[i].baseHeight - car.wheels[i].radius;
                lowestTyre = bottom < lowestTyre ? bottom : lowestTyre;
            }
            EXPECT_NEAR(FixToMetres(car.position.z - world.groundHeight) + lowestTyre, 0.05f, 1e-4f);
            for (int p = 0; p < car.pointCount; p++)
                ASSERT_GT(HeightAbove(car, car.points[p].local, world.groundHeight), 0.0f) << "point " << p;
            EXPECT_EQ(car.gear, 1);
            EXPECT_EQ(car.stopped, 1);
        }
    }
}

}  // namespace
