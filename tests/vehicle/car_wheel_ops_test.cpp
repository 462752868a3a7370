#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "vehicle/car_wheel.h"
#include "vehicle/rim_data.h"

namespace {

constexpr float Ambient = 293.15f;
constexpr float Kelvin = 273.15f;
constexpr float TwoPi = 6.2831853f;

// A 200/50 tyre on a 0.2 m rim with the thermal sizes the car's set-up gives
// an axle: 16 segments, or one with 16 times the areas while remote.
void MakeAxle(RimData &axle, int tyreType, bool remote) {
    ClearRimProfile(axle);
    axle.tyreWidth = 0.2f;
    axle.aspect = 0.5f;
    axle.rimRadius = 0.2f;
    axle.rimWidth = 0.18f;
    axle.tyreType = 5;
    ASSERT_EQ(ComputeTyreProfile(axle, 0.0f, 0), 1);
    axle.tyreType = tyreType;
    const float big = axle.outerRadius;
    axle.rimVolume = big * 0.02f * axle.rimWidth * axle.rimRadius * TwoPi;
    const float segmentLength = TwoPi * big / (remote ? 1.0f : 16.0f);
    axle.treadSectionArea = axle.tyreWidth / 3.0f * segmentLength;
    axle.sidewallArea = segmentLength * (big - axle.rimRadius);
}

void MakeWheel(CarWheel &wheel, const RimData &axle) {
    const float airVolume = (axle.outerRadius * axle.outerRadius - axle.rimRadius * axle.rimRadius) * 3.14159265f *
                            axle.tyreWidth;
    wheel.pressureSetting = 200000.0f;
    wheel.pressure = 200000.0f;
    wheel.airMass = (101387.5f + wheel.pressureSetting) / 101387.5f * airVolume * 1.205f;
}

// Heat capacities, J/K.
float BulkCapacity(const RimData &axle, float thickness) {
    return thickness * axle.treadSectionArea * 2000.0f * 910.0f;
}
float SkinCapacity(const RimData &axle) {
    return 0.001f * axle.outerRadius * axle.treadSectionArea * 2000.0f * 910.0f;
}
float SidewallCapacity(const RimData &axle) {
    return 0.015f * axle.outerRadius * axle.sidewallArea * 2000.0f * 910.0f;
}
float RimCapacity(const RimData &axle) {
    return axle.rimVolume * 2700.0f * 1000.0f;
}

struct Temperatures {
    float bulk[16][3];
    float skin[16][3];
    float sidewall[16][2];
    float air;
    float rim;
};

Temperatures Read(const CarWheel &wheel, const RimData &axle) {
    Temperatures t{};
    for (int s = 0; s < 16; s++) {
        for (int i = 0; i < 3; i++) {
            const TreadSection &section = wheel.tread[s].sections[i];
            t.bulk[s][i] = section.bulkHeat / BulkCapacity(axle, section.thickness);
            t.skin[s][i] = section.skinHeat / SkinCapacity(axle);
        }
        for (int k = 0; k < 2; k++)
            t.sidewall[s][k] = wheel.tread[s].sidewallHeat[k] / SidewallCapacity(axle);
    }
    t.air = wheel.airHeat / (wheel.airMass * 1005.0f);
    t.rim = wheel.rimHeat / RimCapacity(axle);
    return t;
}

// Every heat of the wheel set to one temperature.
void SetAll(CarWheel &wheel, const RimData &axle, float kelvin) {
    for (TreadSegment &segment : wheel.tread) {
        for (TreadSection &section : segment.sections) {
            section.bulkHeat = BulkCapacity(axle, section.thickness) * kelvin;
            section.skinHeat = SkinCapacity(axle) * kelvin;
        }
        for (float &heat : segment.sidewallHeat)
            heat = SidewallCapacity(axle) * kelvin;
    }
    wheel.airHeat = wheel.airMass * 1005.0f * kelvin;
    wheel.rimHeat = RimCapacity(axle) * kelvin;
}

double TotalHeat(const CarWheel &wheel, int segments) {
    double sum = static_cast<double>(wheel.airHeat) + wheel.rimHeat;
    for (int s = 0; s < segments; s++) {
        for (const TreadSection &section : wheel.tread[s].sections)
            sum += static_cast<double>(section.bulkHeat) + section.skinHeat;
        sum += static_cast<double>(wheel.tread[s].sidewallHeat[0]) + wheel.tread[s].sidewallHeat[1];
    }
    return sum;
}

TEST(CarWheelOpsTest, SetUpStartsBelowTheOptimumButNotBelow20C) {
    struct Case {
        int tyreType;
        float startCelsius;
        int level;
    };
    const Case cases[] = {
        {5, 30.0f, 4},    // optimum 50 C; 3.5 rounds to the even 4
        {7, 20.0f, 0},    // optimum 40 C
        {0, 50.0f, 10},   // optimum 70 C; 10.5 rounds to the even 10
        {3, 95.0f, 26},   // optimum 115 C
        {99, 20.0f, 0},   // outside the table: the last row
        {-3, 50.0f, 10},  // outside the table: the first row
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tyreType);
        RimData axle;
        MakeAxle(axle, c.tyreType, false);
        CarWheel wheel;
        MakeWheel(wheel, axle);
        // A worn, dirty, flat tyre.
        wheel.flat = 1;
        wheel.dirtByte = 5;
        for (TreadSegment &segment : wheel.tread) {
            segment.dirt = 0.1f;
            for (TreadSection &section : segment.sections)
                section.thickness = 0.001f;
        }
        wheel.SetUp(axle, false);

        const float start = c.startCelsius + Kelvin;
        EXPECT_EQ(wheel.flat, 0);
        EXPECT_EQ(wheel.dirtByte, 0);
        EXPECT_EQ(wheel.temperatureSpare, c.level);
        for (const uint8_t level : wheel.temperatureBytes)
            EXPECT_EQ(level, c.level);
        for (const uint8_t level : wheel.treadBytes)
            EXPECT_EQ(level, 7);
        const Temperatures t = Read(wheel, axle);
        EXPECT_NEAR(t.air, start, 1e-3f);
        EXPECT_NEAR(t.rim, start, 1e-3f);
        for (int s = 0; s < 16; s++) {
            EXPECT_EQ(wheel.tread[s].dirt, 0.0f);
            for (int i = 0; i < 3; i++) {
                EXPECT_EQ(wheel.tread[s].sections[i].thickness, 0.03f * axle.outerRadius);
                EXPECT_NEAR(t.bulk[s][i], start, 1e-3f);
                EXPECT_NEAR(t.skin[s][i], start, 1e-3f);
            }
            EXPECT_NEAR(t.sidewall[s][0], start, 1e-3f);
            EXPECT_NEAR(t.sidewall[s][1], start, 1e-3f);
        }
    }
}

TEST(CarWheelOpsTest, RemoteSetUpFillsSegmentZeroOnly) {
    RimData axle;
    MakeAxle(axle, 5, true);
    CarWheel wheel;
    MakeWheel(wheel, axle);
    for (TreadSegment &segment : wheel.tread)
        segment = TreadSegment{{{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}, {7.0f, 8.0f, 9.0f}}, {10.0f, 11.0f}, 0.12f};
    wheel.SetUp(axle, true);

    const Temperatures t = Read(wheel, axle);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(t.bulk[0][i], 303.15f, 1e-3f);
        EXPECT_NEAR(t.skin[0][i], 303.15f, 1e-3f);
    }
    EXPECT_NEAR(t.sidewall[0][1], 303.15f, 1e-3f);
    EXPECT_EQ(wheel.tread[0].dirt, 0.0f);
    for (int s = 1; s < 16; s++) {
        EXPECT_EQ(wheel.tread[s].sections[2].skinHeat, 9.0f);
        EXPECT_EQ(wheel.tread[s].sidewallHeat[1], 11.0f);
        EXPECT_EQ(wheel.tread[s].dirt, 0.12f);
    }
}

TEST(CarWheelOpsTest, IsWornComparesTheTreadBytesWithThePercentage) {
    struct Case {
        uint8_t tread[3];
        uint8_t flat;
        int percent;
        bool worn;
    };
    const Case cases[] = {
        {{7, 7, 7}, 0, 100, false},
        {{7, 0, 7}, 0, 100, true},   // one section worn through
        {{1, 1, 1}, 0, 100, false},
        {{7, 7, 7}, 1, 100, true},   // flat
        {{7, 7, 7}, 0, 0, true},     // 0 % changes every tyre
        {{1, 7, 7}, 0, 90, true},    // limit round(0.7) = 1
        {{2, 7, 7}, 0, 90, false},
        {{7, 7, 3}, 0, 60, true},    // limit round(2.8) = 3
        {{7, 7, 4}, 0, 60, false},
        {{1, 1, 1}, 0, 1000, false}, // held to 100
        {{7, 7, 7}, 0, -50, true},   // held to 0
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.tread[0]) << int(c.tread[1]) << int(c.tread[2]) << " flat "
                                        << int(c.flat) << " at " << c.percent);
        CarWheel wheel;
        std::copy(c.tread, c.tread + 3, wheel.treadBytes);
        wheel.flat = c.flat;
        EXPECT_EQ(wheel.IsWorn(c.percent), c.worn);
    }
}

TEST(CarWheelOpsTest, CollapseThenExpandKeepsTheTreadHeat) {
    CarWheel wheel;
    for (int s = 0; s < 16; s++) {
        TreadSegment &segment = wheel.tread[s];
        for (int i = 0; i < 3; i++)
            segment.sections[i] = {0.009f - 0.0002f * s, 5000.0f + 131.0f * s + 17.0f * i, 700.0f + 13.0f * s * i};
        segment.sidewallHeat[0] = 3000.0f + 77.0f * s;
        segment.sidewallHeat[1] = 3100.0f - 41.0f * s;
        segment.dirt = (s % 4 == 0) ? 0.16f : 0.0f;
    }
    const double before = TotalHeat(wheel, 16);

    wheel.CollapseTreadSegments();
    // Segment 0 now carries the whole tread: every segment's heat, the mean
    // thickness and dirt.
    EXPECT_NEAR(TotalHeat(wheel, 1), before, before * 1e-6);
    EXPECT_NEAR(wheel.tread[0].sections[0].thickness, 0.009f - 0.0002f * 7.5f, 1e-7f);
    EXPECT_NEAR(wheel.tread[0].dirt, 0.04f, 1e-7f);

    wheel.ExpandTreadSegments();
    EXPECT_NEAR(TotalHeat(wheel, 16), before, before * 1e-6);
    for (int s = 1; s < 16; s++) {
        const TreadSegment &a = wheel.tread[0];
        const TreadSegment &b = wheel.tread[s];
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(a.sections[i].thickness, b.sections[i].thickness);
            EXPECT_EQ(a.sections[i].bulkHeat, b.sections[i].bulkHeat);
            EXPECT_EQ(a.sections[i].skinHeat, b.sections[i].skinHeat);
        }
        EXPECT_EQ(a.sidewallHeat[0], b.sidewallHeat[0]);
        EXPECT_EQ(a.sidewallHeat[1], b.sidewallHeat[1]);
        EXPECT_EQ(a.dirt, b.dirt);
    }

    // An even tread collapses to exactly 16 times its segment and comes back
    // bit for bit.
    const TreadSegment even = wheel.tread[5];
    wheel.CollapseTreadSegments();
    EXPECT_EQ(wheel.tread[0].sections[1].bulkHeat, even.sections[1].bulkHeat * 16.0f);
    EXPECT_EQ(wheel.tread[0].sidewallHeat[0], even.sidewallHeat[0] * 16.0f);
    EXPECT_EQ(wheel.tread[0].sections[2].thickness, even.sections[2].thickness);
    wheel.ExpandTreadSegments();
    EXPECT_EQ(wheel.tread[9].sections[1].skinHeat, even.sections[1].skinHeat);
}

TEST(CarWheelOpsTest, ExchangeFromAmbientChangesNothing) {
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote);
        RimData axle;
        MakeAxle(axle, 7, remote);  // starts at 20 C
        CarWheel wheel;
        MakeWheel(wheel, axle);
        wheel.SetUp(axle, remote);
        for (int step = 0; step < 1000; step++)
            wheel.UpdateTemperatures(axle, 0.01f, 3.0f, remote);

        const Temperatures t = Read(wheel, axle);
        EXPECT_NEAR(t.air, Ambient, 1e-4f);
        EXPECT_NEAR(t.rim, Ambient, 1e-4f);
        for (int s = 0; s < (remote ? 1 : 16); s++) {
            for (int i = 0; i < 3; i++) {
                EXPECT_NEAR(t.bulk[s][i], Ambient, 1e-4f);
                EXPECT_NEAR(t.skin[s][i], Ambient, 1e-4f);
            }
            EXPECT_NEAR(t.sidewall[s][0], Ambient, 1e-4f);
            EXPECT_NEAR(t.sidewall[s][1], Ambient, 1e-4f);
        }
        for (const uint8_t level : wheel.temperatureBytes)
            EXPECT_EQ(level, 0);
        for (const uint8_t level : wheel.treadBytes)
            EXPECT_EQ(level, 7);
        EXPECT_EQ(wheel.flat, 0);
    }
}

TEST(CarWheelOpsTest, HotSkinCoolsTowardBulkAirAndOutsideNeverBelow) {
    RimData axle;
    MakeAxle(axle, 7, false);
    CarWheel wheel;
    MakeWheel(wheel, axle);
    wheel.SetUp(axle, false);
    TreadSection &section = wheel.tread[3].sections[1];
    section.skinHeat = SkinCapacity(axle) * (Ambient + 100.0f);

    float skin = Ambient + 100.0f;
    float hottestBulk = Ambient;
    float hottestAir = Ambient;
    for (int step = 0; step < 20000; step++) {
        wheel.UpdateTemperatures(axle, 0.01f, 2.0f, false);
        const Temperatures t = Read(wheel, axle);
        ASSERT_LE(t.skin[3][1], skin) << step;
        ASSERT_GE(t.skin[3][1], Ambient - 1e-3f) << step;
        skin = t.skin[3][1];
        hottestBulk = std::max(hottestBulk, t.bulk[3][1]);
        hottestAir = std::max(hottestAir, t.air);
        // The other segments only see the air.
        ASSERT_LT(t.bulk[4][1], Ambient + 0.01f);
    }
    EXPECT_LT(skin, Ambient + 5.0f);
    EXPECT_GT(hottestBulk, Ambient + 1.0f);  // the bulk took heat from the skin
    EXPECT_GT(hottestAir, Ambient);          // and passed some to the air
}

TEST(CarWheelOpsTest, WheelAtRestCoolsTo20C) {
    RimData axle;
    MakeAxle(axle, 3, false);  // starts at 95 C
    CarWheel wheel;
    MakeWheel(wheel, axle);
    wheel.SetUp(axle, false);
    const float start = 95.0f + Kelvin;

    Temperatures last = Read(wheel, axle);
    // Half an hour of the resting car's step, looked at every 10 s.
    for (int block = 0; block < 180; block++) {
        for (int step = 0; step < 1000; step++)
            wheel.UpdateTemperatures(axle, 0.01f, 1.0f, false);
        const Temperatures t = Read(wheel, axle);
        const float pairs[][2] = {{t.air, last.air}, {t.rim, last.rim}, {t.bulk[7][0], last.bulk[7][0]},
                                  {t.skin[7][2], last.skin[7][2]}, {t.sidewall[7][1], last.sidewall[7][1]}};
        for (const auto &p : pairs) {
            ASSERT_LE(p[0], p[1] + 1e-4f) << block;
            ASSERT_GE(p[0], Ambient) << block;
        }
        last = t;
    }
    for (const float now : {last.air, last.rim, last.bulk[0][1], last.skin[0][1], last.sidewall[0][0]})
        EXPECT_LT(now - Ambient, 0.7f * (start - Ambient));
    EXPECT_LT(wheel.temperatureBytes[0], 26);
    EXPECT_EQ(wheel.flat, 0);
}

TEST(CarWheelOpsTest, WithoutConvectionTheHeatStaysInTheWheel) {
    // Only the outside takes heat away: every flow inside the wheel moves
    // heat from one part to another, so with no convection (the rim's
    // outside flow scales with it too) the total stays.
    RimData axle;
    MakeAxle(axle, 0, false);
    CarWheel wheel;
    MakeWheel(wheel, axle);
    wheel.SetUp(axle, false);
    wheel.tread[2].sections[0].skinHeat *= 1.5f;
    wheel.tread[9].sections[2].bulkHeat *= 1.2f;
    wheel.tread[12].sidewallHeat[1] *= 1.3f;
    wheel.rimHeat *= 1.1f;
    const double before = TotalHeat(wheel, 16);
    for (int step = 0; step < 2000; step++)
        wheel.UpdateTemperatures(axle, 0.01f, 0.0f, false);
    EXPECT_NEAR(TotalHeat(wheel, 16), before, before * 2e-6);
    const Temperatures t = Read(wheel, axle);
    EXPECT_GT(t.air, 323.15f);  // warmed by the hot parts
    EXPECT_NEAR(t.skin[2][0], t.bulk[2][0], 0.5f);  // the hot skin gave its heat to the bulk
}

TEST(CarWheelOpsTest, ASectionAveraging200CBurstsTheTyre) {
    struct Case {
        const char *name;
        float hotCelsius;  // segment 0
        float restCelsius; // segments 1..15
        bool remote;
        bool flat;
    };
    const Case cases[] = {
        {"just over 200", 200.01f, 200.01f, false, true},
        {"just under 200", 199.9f, 199.9f, false, false},
        {"one hot segment", 300.0f, 150.0f, false, false},
        {"average over 200", 400.0f, 190.0f, false, true},
        {"remote over 200", 200.01f, 20.0f, true, true},
        {"remote under 200", 199.9f, 20.0f, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RimData axle;
        MakeAxle(axle, 1, c.remote);
        CarWheel wheel;
        MakeWheel(wheel, axle);
        wheel.SetUp(axle, c.remote);
        for (int s = 0; s < 16; s++) {
            TreadSection &section = wheel.tread[s].sections[2];
            section.bulkHeat = BulkCapacity(axle, section.thickness) * ((s == 0 ? c.hotCelsius : c.restCelsius) + Kelvin);
        }
        EXPECT_EQ(wheel.flat, 0);
        wheel.UpdateTemperatures(axle, 0.01f, 1.0f, c.remote);
        EXPECT_EQ(wheel.flat, c.flat ? 1 : 0);
    }
}

TEST(CarWheelOpsTest, DisplayBytesAreAveragesHeldToTheByteRange) {
    RimData axle;
    MakeAxle(axle, 7, false);
    CarWheel wheel;
    MakeWheel(wheel, axle);
    wheel.SetUp(axle, false);
    const float newTread = 0.03f * axle.outerRadius;
    const float worn = 0.3f * newTread;
    for (int s = 0; s < 16; s++) {
        TreadSegment &segment = wheel.tread[s];
        segment.sections[0].thickness = worn;
        segment.sections[2].thickness = worn + (newTread - worn) * (s % 2 == 0 ? 3.0f : 5.0f) / 7.0f;  // mean 4/7
        segment.dirt = (s < 4) ? 0.16f : 0.0f;  // mean 0.04
    }
    SetAll(wheel, axle, Ambient);
    const float bulk[3] = {20.0f, 100.0f, 1000.0f};
    for (TreadSegment &segment : wheel.tread) {
        for (int i = 0; i < 3; i++)
            segment.sections[i].bulkHeat = BulkCapacity(axle, segment.sections[i].thickness) * (bulk[i] + Kelvin);
        segment.sidewallHeat[0] = SidewallCapacity(axle) * (140.0f + Kelvin);
    }
    wheel.airHeat = wheel.airMass * 1005.0f * (80.0f + Kelvin);
    wheel.rimHeat = RimCapacity(axle) * (0.0f + Kelvin);  // below the scale

    wheel.UpdateTemperatures(axle, 0.01f, 1.0f, false);
    // 1000 C is 343 on the scale and 0 C is -7: held, not wrapped.
    const uint8_t temperatures[7] = {0, 28, 255, 21, 42, 0, 0};
    for (int k = 0; k < 7; k++)
        EXPECT_EQ(wheel.temperatureBytes[k], temperatures[k]) << k;
    EXPECT_EQ(wheel.treadBytes[0], 0);
    EXPECT_EQ(wheel.treadBytes[1], 7);
    EXPECT_EQ(wheel.treadBytes[2], 4);
    EXPECT_EQ(wheel.dirtByte, 2);
    EXPECT_EQ(wheel.flat, 1);  // the 1000 C section
}

TEST(CarWheelOpsTest, AWheelWithoutTyreSizesIsLeftAlone) {
    RimData axle;  // all zero, as before the set-up
    CarWheel wheel;
    wheel.SetUp(axle, false);
    wheel.UpdateTemperatures(axle, 0.01f, 1.0f, false);
    EXPECT_EQ(wheel.airHeat, 0.0f);
    EXPECT_EQ(wheel.rimHeat, 0.0f);
    EXPECT_EQ(wheel.tread[0].sections[0].bulkHeat, 0.0f);
    EXPECT_EQ(wheel.flat, 0);
}

}  // namespace
