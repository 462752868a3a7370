#include <cmath>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "vehicle/car_class.h"
#include "vehicle/tyre_grip.h"

namespace {

uint32_t Bits(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

TEST(TyreSurfaceGripTest, LoweredRowsAreSinglePrecisionDifferences) {
    // The printed 1.42 and 1.30 of row 3 are not the nearest floats: the
    // table holds the float differences, one unit in the last place above.
    EXPECT_EQ(Bits(TyreSurfaceGrip[3][1]), Bits(std::nextafterf(1.42f, 2.f)));
    EXPECT_EQ(Bits(TyreSurfaceGrip[3][6]), Bits(std::nextafterf(1.30f, 2.f)));

    // Every entry of rows 1 to 3 is row 0, less the row's step (computed at
    // run time here) on the columns whose row-0 value is 1.52, 1.48 or 1.36.
    volatile float steps[4] = {0.0f, 0.02f, 0.04f, 0.06f};
    for (int row = 1; row <= 3; ++row) {
        for (int column = 0; column < SurfaceKindCount; ++column) {
            const float base = TyreSurfaceGrip[0][column];
            const bool lowered = base == 1.52f || base == 1.48f || base == 1.36f;
            const float expected = lowered ? base - steps[row] : base;
            EXPECT_EQ(Bits(TyreSurfaceGrip[row][column]), Bits(expected)) << "row " << row << " column " << column;
        }
    }
}

TEST(TyreSurfaceGripTest, PrintedValues) {
    EXPECT_EQ(TyreSurfaceGrip[0][0], 1.52f);
    EXPECT_EQ(TyreSurfaceGrip[0][6], 1.36f);
    EXPECT_EQ(TyreSurfaceGrip[4][1], 1.10f);
    EXPECT_EQ(TyreSurfaceGrip[6][3], 0.75f);
    EXPECT_EQ(TyreSurfaceGrip[7][3], 0.85f);
    EXPECT_EQ(TyreSurfaceGrip[7][16], 0.9f);
    // No surface under the wheel (column 13) gives 0.1 for every tyre.
    for (int row = 0; row < TyreTypeCount; ++row)
        EXPECT_EQ(TyreSurfaceGrip[row][13], 0.1f) << "row " << row;
}

TEST(CarClassTableTest, IdleSpeedsAreFloatProducts) {
    volatile float base = 104.71f;
    struct Case {
        int carClass;
        float factor;
    };
    const Case cases[] = {{0, 1.0f}, {4, 2.0f}, {5, 1.5f}, {7, 1.5f}, {9, 1.5f}, {10, 4.0f}, {11, 1.0f}};
    for (const Case &c : cases) {
        EXPECT_EQ(Bits(CarClassTable[c.carClass].idleSpeed), Bits(base * c.factor)) << "class " << c.carClass;
    }
}

TEST(CarClassTableTest, Rows) {
    // Names of our own for classes 10 and 11.
    EXPECT_STREQ(CarClassTable[10].name, "OWT");
    EXPECT_STREQ(CarClassTable[11].name, "student");
    EXPECT_STREQ(CarClassTable[1].name, "touring car");

    // The rules the car set-up reads.
    EXPECT_EQ(CarClassTable[2].maxGearPositions, 7);
    EXPECT_EQ(CarClassTable[10].minCylinders, 8);
    EXPECT_EQ(CarClassTable[10].maxCylinders, 8);
    EXPECT_EQ(CarClassTable[10].maxGearPositions, 9);
    EXPECT_EQ(CarClassTable[6].kart, 1);
    EXPECT_EQ(CarClassTable[6].frontBrakes, 0);
    EXPECT_EQ(CarClassTable[8].frontBrakes, 1);
    EXPECT_EQ(CarClassTable[1].drivenAxles, 4u);
    EXPECT_EQ(CarClassTable[5].hubMassFactor, 0.107f);
    EXPECT_EQ(CarClassTable[10].engineCoeffB, 7.5e-11f);
    EXPECT_EQ(CarClassTable[10].refuelRate, 12.1f);
    EXPECT_EQ(CarClassTable[7].maxDisplacement, 100.0f);
    for (int c = 0; c < CarClassCount; ++c) {
        EXPECT_LE(CarClassTable[c].minGearPositions, CarClassTable[c].maxGearPositions) << "class " << c;
        EXPECT_LE(CarClassTable[c].minCylinders, CarClassTable[c].maxCylinders) << "class " << c;
        EXPECT_LT(CarClassTable[c].minDisplacement, CarClassTable[c].maxDisplacement) << "class " << c;
    }
}

}  // namespace
