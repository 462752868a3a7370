#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "car_model_fixture.h"
#include "vehicle/aero_surface.h"
#include "vehicle/car_object.h"

namespace {

TEST(CarSetupModel, GearWordsNeverRiseAndGiveTheirRatios) {
    ModelCar m;
    const uint16_t words[3] = {30000, 40000, 20000};
    for (int g = 0; g < 3; g++)
        m.car.setup->gearRatios[g] = words[g];
    m.car.SetUpModel(0);
    const uint16_t expected[3] = {30000, 30000, 20000};
    const float ratios[3] = {3.704f, 3.704f, 2.636f};
    for (int g = 0; g < 3; g++) {
        EXPECT_EQ(m.car.setup->gearRatios[g], expected[g]);
        EXPECT_NEAR(m.car.gearRatios[2 + g], ratios[g], 5e-4f);
    }
    EXPECT_NEAR(m.car.finalDrive, 3.704f, 5e-4f);
}

TEST(CarSetupModel, CasterIsHeldToTheSuspensionType) {
    struct Case {
        int type;
        uint8_t setupCaster;
        uint8_t defaultRear;
        uint8_t front;      // expected
        uint8_t rear;       // expected: the default set-up's, held the same way
    };
    const Case cases[] = {
        {4, 5, 200, 10, 60},     // two arms: 1 to 6 degrees
        {0, 250, 0, 240, 40},    // fixed: 4 to 24 degrees
        {1, 100, 100, 0, 0},     // other types have none
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        ModelCar m;
        for (RimData &axle : m.car.axles)
            axle.suspensionType = static_cast<uint8_t>(c.type);
        m.car.setup->axles[1].caster = c.setupCaster;
        m.car.setup->axles[0].caster = c.defaultRear;
        m.car.SetUpModel(0);
        EXPECT_EQ(m.car.setup->axles[1].caster, c.front);
        EXPECT_EQ(m.car.setup->axles[0].caster, c.rear);
        EXPECT_FLOAT_EQ(m.car.axleCaster[1], c.front * 3.14159265f / 1800.0f);
        for (int i = 0; i < m.car.wheelCount; i++)
            EXPECT_TRUE(std::isfinite(m.car.wheels[i].steerAxis[2]));
    }
}

// A set-up from outside is held to the car and its class; the car's own
// named set-ups are trusted.
TEST(CarSetupModel, OutsideSetupIsClampedToTheCar) {
    ModelCar m(5);
    CarSetup outside = *m.car.setup;
    outside.axles[0].tyreType = 7;
    outside.axles[1].rideHeightReduction = 0.9f;   // default 0.3, travel reference 0.45: at most 0.45
    outside.axles[1].pressureLeft = 1000;          // at most 1.5 x 200
    outside.maxLock = 45;
    m.car.setupIndex = -1;
    m.car.setup = &outside;
    m.car.SetUpModel(0);
    EXPECT_EQ(outside.axles[0].tyreType, 3);
    EXPECT_FLOAT_EQ(outside.axles[1].rideHeightReduction, 0.45f);
    EXPECT_EQ(outside.axles[1].pressureLeft, 300);
    EXPECT_EQ(outside.maxLock, 30);

    ModelCar own(5);
    own.car.setup->axles[0].tyreType = 7;
    own.car.SetUpModel(0);
    EXPECT_EQ(own.car.setup->axles[0].tyreType, 7);
}

TEST(CarSetupModel, TyreTypeRangesByClass) {
    struct Case {
        int vehicleClass;
        uint8_t defaultRear;
        int lo, hi;
    };
    const Case cases[] = {{0, 3, 0, 7}, {1, 0, 4, 7}, {2, 0, 5, 7}, {3, 0, 6, 7}, {5, 0, 1, 3},
                          {4, 0, 0, 2}, {4, 1, 0, 2}, {4, 5, 1, 3}};
    for (const Case &c : cases) {
        ModelCar m(c.vehicleClass);
        m.car.setupTable[0].setup.axles[0].tyreType = c.defaultRear;
        int lo = -1;
        int hi = -1;
        m.car.GetChoiceRange(&lo, &hi);
        EXPECT_EQ(lo, c.lo) << c.vehicleClass << " " << int(c.defaultRear);
        EXPECT_EQ(hi, c.hi) << c.vehicleClass << " " << int(c.defaultRear);
    }
}

TEST(CarSetupModel, RideRangeIsAtLeastEightCentimetres) {
    struct Case {
        float travelReference;
        float lo, hi;
    };
    const Case cases[] = {{0.45f, 0.15f, 0.45f}, {0.32f, 0.22f, 0.38f}, {0.1f, 0.1f, 0.5f}};
    for (const Case &c : cases) {
        ModelCar m;
        m.car.axles[1].travelReference = c.travelReference;
        float lo = 0.0f;
        float hi = 0.0f;
        m.car.GetRideRange(1, &lo, &hi);
        EXPECT_NEAR(lo, c.lo, 1e-6f);
        EXPECT_NEAR(hi, c.hi, 1e-6f);
    }
}

TEST(CarSetupModel, RoundUpToStepAlwaysRisesOneStep) {
    const float cases[][3] = {{20000.0f, 10000.0f, 30000.0f}, {25000.0f, 10000.0f, 30000.0f},
                              {0.0f, 1000.0f, 1000.0f}, {999.0f, 1000.0f, 1000.0f}};
    for (const auto &c : cases)
        EXPECT_EQ(RoundUpToStep(c[0], c[1]), c[2]);
}

TEST(CarSetupModel, WheelsTakeTheirAxleSideAndSlot) {
    ModelCar m;
    m.car.wheels[0].restPosition[0] = 0.005f;   // on the centre line
    m.car.SetUpModel(0);
    const CarWheel &centre = m.car.wheels[0];
    EXPECT_EQ(centre.side, 0.0f);
    EXPECT_EQ(centre.axleIndex, 0u);
    EXPECT_EQ(centre.tyrePlace, 0u);
    EXPECT_EQ(m.car.axleWheels[0][0], 0);
    EXPECT_EQ(m.car.axleWheels[0][1], 1);
    EXPECT_EQ(m.car.wheels[3].side, 1.0f);
    EXPECT_EQ(m.car.wheels[3].tyrePlace, 3u);
    EXPECT_EQ(m.car.axleWheels[1][1], 3);
    EXPECT_EQ(m.car.axleTwoWheels[1], 1);
    // Sliding suspension: the mount moves out with the track and camber.
    EXPECT_NEAR(m.car.wheels[3].position[0], 0.75f - 0.05f, 1e-6f);
    EXPECT_NEAR(m.car.wheelbase, 2.6f, 1e-6f);
}

TEST(CarSetupModel, FourWheelDriveNeedsBothAxlePairs) {
    struct Case {
        int wheels;
        uint8_t driven;
        float rear, front;
        int drivenWheels;
    };
    const Case cases[] = {{4, 3, 1.2f, 0.8f, 4}, {3, 1, 1.0f, 1.0f, 2}};
    for (const Case &c : cases) {
        ModelCar m(1, c.wheels);
        m.car.drivenAxles = 3;
        m.car.SetUpModel(0);
        EXPECT_EQ(m.car.drivenAxles, c.driven);
        EXPECT_FLOAT_EQ(m.car.rearDriveFactor, c.rear);
        EXPECT_FLOAT_EQ(m.car.frontDriveFactor, c.front);
        EXPECT_EQ(m.car.drivenWheelCount, c.drivenWheels);
        EXPECT_FLOAT_EQ(m.car.driveEfficiency, c.driven == 3 ? 0.8f : 0.85f);
    }
}

TEST(CarSetupModel, BallastIsHeldToTheBodyMass) {
    ModelCar m;
    m.car.SetUpModel(0);
    m.car.bodyMass = 900.0f;
    m.car.setup->addedMass = 250;
    m.car.ApplyHandicaps();
    EXPECT_EQ(m.car.appliedBallast, 180);
    EXPECT_EQ(m.car.setup->addedMass, 180);
    EXPECT_FLOAT_EQ(m.car.dryMass, m.car.storedDryMass + 180.0f);
    EXPECT_FLOAT_EQ(m.car.mass, m.car.dryMass);
}

// The ballast limit is a fifth of the body mass in whole tens of kg, at
// most 200 kg; a body mass beyond the integer range (from damaged car data)
// gives the 200 kg limit and one that is no number gives none, never an
// overflowing conversion.
TEST(CarSetupModel, BallastLimitHoldsForEveryBodyMass) {
    struct Case {
        float bodyMass;
        int ballast;
    };
    const Case cases[] = {
        {970.0f, 190}, {980.0f, 200}, {1000.0f, 200}, {1e30f, 200}, {INFINITY, 200},
        {20.0f, 0},    {30.0f, 10},   {0.0f, 0},      {-1e30f, 0},  {-INFINITY, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const Case &c : cases) {
        ModelCar m;
        m.car.SetUpModel(0);
        m.car.bodyMass = c.bodyMass;
        m.car.setup->addedMass = 250;
        m.car.ApplyHandicaps();
        EXPECT_EQ(m.car.appliedBallast, c.ballast) << c.bodyMass;
        EXPECT_EQ(m.car.setup->addedMass, c.ballast) << c.bodyMass;
    }
}

// Applying a set-up without ballast after one with ballast, the mass model
// kept, leaves no ballast behind.
TEST(CarSetupModel, KeptMassModelDropsBallastThatIsGone) {
    ModelCar m;
    m.car.setup->addedMass = 50;
    m.car.SetUpModel(0);
    ASSERT_FLOAT_EQ(m.car.dryMass, m.car.storedDryMass + 50.0f);
    m.car.setup->addedMass = 0;
    m.car.SetUpModel(1);
    EXPECT_EQ(m.car.appliedBallast, 0);
    EXPECT_EQ(m.car.dryMass, m.car.storedDryMass);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(m.car.workingInertia[i], m.car.dryInertia[i]);
}

TEST(CarSetupModel, IntakeRestrictionScalesTheTorqueAndKeepsThePeakValue) {
    ModelCar m;
    m.car.SetUpModel(0);
    const float unrestricted = m.car.engine.maxTorque;
    CarEngine restricted = m.car.engine;
    const float factor = m.car.engine.torqueFactor;
    restricted.torqueFactor = factor * 0.8f;
    restricted.SetUpFromClass(m.car.vehicleClass, m.car.gearboxKind);
    m.car.setup->intakeRestriction = 20;
    m.car.ApplyHandicaps();
    EXPECT_EQ(m.car.appliedRestriction, 20);
    EXPECT_LT(restricted.maxTorque, unrestricted);
    EXPECT_EQ(m.car.engine.maxTorque, restricted.maxTorque);
    EXPECT_EQ(m.car.engine.peakTorque, restricted.peakTorque);
    EXPECT_EQ(m.car.engine.torqueFactor, factor);
}

// Limits and totals that follow from the car: brakes and springs sized by
// the load, rates written to the wheels, the surfaces summed.
TEST(CarSetupModel, LimitsFollowFromTheCar) {
    ModelCar m;
    m.car.setup->brakeTorque = 1.0e6f;
    m.car.setup->axles[0].springStiffness = 1.0f;
    m.car.SetUpModel(0);
    const float load = m.car.MaxLoad();
    // No world: g = -9.81; two occupants' allowance, no rear seats; lift 0.1
    // down at the top speed term.
    const float v = std::cbrt(0.85f * m.car.engine.maxPower / 0.35f);
    EXPECT_NEAR(load, (140.0f + m.car.bodyMass) * 9.81f + 0.1f * v * v, load * 1e-4f);
    float lo = 0.0f;
    float hi = 0.0f;
    m.car.BrakeRange(&lo, &hi);
    EXPECT_FLOAT_EQ(hi, load * m.car.axles[1].outerRadius * 0.41f);
    EXPECT_FLOAT_EQ(lo, 0.24f * hi);
    EXPECT_EQ(m.car.setup->brakeTorque, hi);
    EXPECT_FLOAT_EQ(m.car.axleBrakeTorque[1], 2.0f * 0.6f * hi);
    EXPECT_FLOAT_EQ(m.car.wheels[0].brakeShare, m.car.axleBrakeTorque[0]);

    float springLo, springHi, damperLo, damperHi, antiRollHi;
    m.car.GetRoundedLimits(&springLo, &springHi, &damperLo, &damperHi, &antiRollHi);
    EXPECT_EQ(springHi, RoundUpToStep(11.0f * load, 10000.0f));
    EXPECT_EQ(m.car.setup->axles[0].springStiffness, springLo);
    EXPECT_EQ(m.car.wheels[0].springRate, springLo);
    EXPECT_EQ(m.car.wheels[3].reboundDamping, 4000.0f);

    EXPECT_EQ(m.car.wings[3].flags & 1, 1);
    EXPECT_FLOAT_EQ(m.car.dragTotal, 0.35f);
    EXPECT_FLOAT_EQ(m.car.liftTotal, -0.1f);
    EXPECT_NEAR(m.car.topSpeedEstimate, std::cbrt(m.car.engine.maxPower * 0.85f / 0.35f), 1e-2f);
    EXPECT_FLOAT_EQ(m.car.tyreRadiusRatio, 1.0f);
}

TEST(CarSetupModel, AngledWingLiftAndDragFollowTheAngle) {
    struct Case {
        int degrees;
        float lift, drag;   // multiples of the coefficients
    };
    const Case cases[] = {{0, 0.1f, 0.1f}, {45, 1.13923f, 1.9f}, {90, 0.1f, 3.7f}};
    for (const Case &c : cases) {
        AeroSurface wing{};
        wing.liftCoefficient = -2.0f;
        wing.dragCoefficient = 0.5f;
        wing.Empty();
        wing.PlaceAngled(0.0f, -2.0f, 0.8f, c.degrees);
        EXPECT_EQ(wing.flags, 1);
        EXPECT_NEAR(wing.lift, -2.0f * c.lift, 1e-5f) << c.degrees;
        EXPECT_NEAR(wing.drag, 0.5f * c.drag, 1e-5f) << c.degrees;
        EXPECT_EQ(wing.position[1], -2.0f);
    }
    AeroSurface none{};
    none.dragCoefficient = 0.5f;
    none.PlaceAngled(0.0f, 1.0f, 1.0f, 10);
    EXPECT_EQ(none.flags, 0);
}

}  // namespace
