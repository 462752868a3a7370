// Every generated car's engine, taken through the car data's engine figures
// and set up from its class as the car model set-up does, lands inside the
// band the generator records for it and runs on the bench.
#include <gtest/gtest.h>

#include <cmath>

#include "core/car_table.h"
#include "tools/car_data_writer.h"
#include "tools/car_params.h"
#include "vehicle/car_class.h"
#include "vehicle/car_data_file.h"
#include "vehicle/car_engine.h"
#include "vehicle/engine_record.h"

namespace {

// The engine as the loader and the model set-up leave it.
CarEngine GeneratedEngine(const CarDataFile &data) {
    CarEngine engine;
    engine.Clear();
    engine.SetDefaults();
    ApplyEngineFigures(data.engine, engine);
    if (engine.turboLagFactor == 0.0f)
        engine.turboLagFactor = CarClassTable[data.vehicleClass].engineDefault;
    engine.SetUpFromClass(data.vehicleClass, data.gearboxKind);
    return engine;
}

TEST(GeneratedEnginesTest, SetUpLandsInTheRecordedBandAndSettlesBelowTheRevLimit) {
    for (int car = 0; car < CarModelCount; car++) {
        SCOPED_TRACE(CarTable[car].code);
        CarDataFile data;
        CarParams params;
        ASSERT_EQ(BuildCarDataFile(car, &data), 1);
        ASSERT_EQ(BuildCarParams(car, &params), 1);
        CarEngine engine = GeneratedEngine(data);
        const EngineBand &band = params.band;

        struct Figure {
            const char *name;
            float value, low, high;
        };
        const Figure figures[] = {
            {"maxPower", engine.maxPower, band.minPower, band.maxPower},
            {"maxTorque", engine.maxTorque, band.minTorque, band.maxTorque},
            {"inertia", engine.inertia, band.minInertia, band.maxInertia},
            {"clutchCapacity", engine.clutchCapacity, band.minClutch, band.maxClutch},
        };
        for (const Figure &f : figures) {
            EXPECT_TRUE(std::isfinite(f.value)) << f.name;
            EXPECT_GE(f.value, f.low) << f.name;
            EXPECT_LE(f.value, f.high) << f.name;
        }

        // Net full-throttle torque at full boost is still positive at the
        // start of the rev limiter, so a free-revving engine settles inside it.
        const float top = 0.99f * engine.maxSpeed;
        const float boosted = (engine.flags & EngineFlagTurbo) ? 1.0f + engine.maxBoost : 1.0f;
        EXPECT_GT(engine.Torque(top) * boosted + engine.Friction(top), 0.0f);

        engine.StartAtIdle();
        engine.throttle = 1.0f;
        engine.totalRatio = 0.0f;
        float power = 0.0f;
        float limiter = 1.0f;
        for (int i = 0; i < 20000; i++) {
            engine.StepClutch();
            engine.Step(0.0005f, &power, &limiter);
        }
        EXPECT_GE(engine.speed, top);
        EXPECT_LT(engine.speed, engine.maxSpeed);
        EXPECT_EQ(engine.condition, 1.0f);
    }
}

}  // namespace
