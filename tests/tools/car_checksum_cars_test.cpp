#include <gtest/gtest.h>

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

struct Registers {
    uint32_t r[4] = {};
    bool operator==(const Registers &o) const {
        return r[0] == o.r[0] && r[1] == o.r[1] && r[2] == o.r[2] && r[3] == o.r[3];
    }
};

Registers Checksum(const CarObject &car) {
    Registers regs;
    const uint32_t r4 = car.PhysicsChecksum(regs.r[0], regs.r[1], regs.r[2], regs.r[3]);
    EXPECT_EQ(r4, regs.r[3]);
    return regs;
}

// The generated data folder with the body objects read back.
class CarChecksumCarsTest : public GeneratedCarsFixture {
protected:
    // Car 0 loaded with its default set-up copied into `setup`.
    static void Load(CarObject &car, CarSetup &setup, int setupFrom) {
        CarLoadArguments args;
        args.setupIndex = setupFrom;
        args.setupIn = setupFrom < 0 ? &setup : nullptr;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        if (setupFrom >= 0)
            setup = *car.setup;
    }
};

} // namespace

// The value every program of a race must agree on, whatever the build: it
// rests on the engine model's roots and powers and the wings' placement,
// which must come from the project's own float maths.
TEST_F(CarChecksumCarsTest, GeneratedCarHasItsRecordedValueOnEveryLoad) {
    CarSetup setup;
    CarObject first;
    Load(first, setup, 0);
    CarObject second;
    Load(second, setup, 0);
    const Registers a = Checksum(first);
    EXPECT_TRUE(a == Checksum(second));
    // r3 follows the engine figures of car 0; r4 the race-state fields of a
    // new car, whose take-over ids start at 255 (none).
    const Registers golden = {{1382332362u, 1667025404u, 1418222351u, 0xFFFF00u}};
    EXPECT_EQ(a.r[0], golden.r[0]);
    EXPECT_EQ(a.r[1], golden.r[1]);
    EXPECT_EQ(a.r[2], golden.r[2]);
    EXPECT_EQ(a.r[3], golden.r[3]);
}

TEST_F(CarChecksumCarsTest, EachRegisterFollowsItsOwnValues) {
    CarSetup setup;
    CarObject base;
    Load(base, setup, 0);
    const Registers original = Checksum(base);

    // Added mass: r1 only.
    {
        CarSetup heavier = setup;
        heavier.addedMass = static_cast<uint8_t>(setup.addedMass < 100 ? setup.addedMass + 50 : 10);
        CarObject car;
        Load(car, heavier, -1);
        const Registers r = Checksum(car);
        EXPECT_NE(r.r[0], original.r[0]);
        EXPECT_EQ(r.r[1], original.r[1]);
        EXPECT_EQ(r.r[2], original.r[2]);
        EXPECT_EQ(r.r[3], original.r[3]);
    }
    // Rear tyre type: r2 only.
    {
        int lo = 0;
        int hi = 0;
        base.GetChoiceRange(&lo, &hi);
        ASSERT_LT(lo, hi);
        CarSetup other = setup;
        other.axles[0].tyreType = static_cast<uint8_t>(setup.axles[0].tyreType == lo ? lo + 1 : lo);
        CarObject car;
        Load(car, other, -1);
        const Registers r = Checksum(car);
        EXPECT_EQ(r.r[0], original.r[0]);
        EXPECT_NE(r.r[1], original.r[1]);
        EXPECT_EQ(r.r[2], original.r[2]);
        EXPECT_EQ(r.r[3], original.r[3]);
    }
    // The boost enters r3 only for a turbocharged engine.
    {
        CarObject &car = base;
        const uint32_t flags = car.engine.flags;
        const float boost = car.engine.maxBoost;
        for (uint32_t turbo : {0u, 1u}) {
            car.engine.flags = (flags & ~1u) | turbo;
            car.engine.maxBoost = 0.5f;
            const Registers low = Checksum(car);
            car.engine.maxBoost = 0.75f;
            const Registers high = Checksum(car);
            EXPECT_EQ(low.r[2] != high.r[2], turbo == 1u);
            EXPECT_EQ(low.r[0], high.r[0]);
            EXPECT_EQ(low.r[1], high.r[1]);
            EXPECT_EQ(low.r[3], high.r[3]);
        }
        car.engine.flags = flags;
        car.engine.maxBoost = boost;
    }
    // r4 follows each race-state field.
    {
        const Registers before = Checksum(base);
        uint8_t *bytes[] = {&base.secondCount, &base.penalty, &base.startByte, &base.takeOverIds[0],
                            &base.takeOverIds[1], &base.resultRecorded};
        for (uint8_t *b : bytes) {
            *b ^= 1;
            const Registers r = Checksum(base);
            EXPECT_NE(r.r[3], before.r[3]);
            EXPECT_EQ(r.r[0], before.r[0]);
            *b ^= 1;
        }
        base.raceTime += 1;
        EXPECT_NE(Checksum(base).r[3], before.r[3]);
        base.raceTime -= 1;
        base.confirmedLaps += 1;
        EXPECT_NE(Checksum(base).r[3], before.r[3]);
        base.confirmedLaps -= 1;
        base.startOffset += 1;
        EXPECT_NE(Checksum(base).r[3], before.r[3]);
        base.startOffset -= 1;
        EXPECT_TRUE(Checksum(base) == before);
    }
}
