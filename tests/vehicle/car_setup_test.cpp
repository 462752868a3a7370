#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "vehicle/car_setup.h"

namespace {

CarSetup Filled(uint8_t byte)
{
    CarSetup setup;
    std::memset(&setup, byte, sizeof(setup));
    return setup;
}

// The record that ClampSetup must make of one whose every byte is 0xFF (all
// floats NaN, symmetric flag set): each field at its upper limit.
CarSetup ExpectedFromAllOnes()
{
    CarSetup e = Filled(0xFF);
    e.addedMassPosition = 100;
    e.tyreMaker = 6;
    e.brakeTorque = 0.0f;
    e.rearWing = 30;
    e.frontWing = 30;
    e.addedMass = 200;
    e.intakeRestriction = 50;
    e.maxLock = 45;
    e.parallelSteer = 100;
    e.brakeBalance = 95;
    e.engineBrakeReduction = 100;
    e.centreDiffType = 1;
    e.centreViscousTorque = 20;
    e.reserved18 = 0;
    e.frontTorqueSplit = 95;
    for (uint16_t &ratio : e.gearRatios)
        ratio = 65534;
    e.finalDrive = 65534;
    e.partChoice = 0;
    e.tcSlip = 100;
    e.tcMinSpeed = 20;
    for (CarSetupAxle &a : e.axles) {
        a.rideHeightReduction = a.springStiffness = a.bumpDamping = a.reboundDamping = a.antiRoll = a.reserved = 0.0f;
        a.toe = 18;
        a.caster = 240;
        a.tyreType = 7;
        a.reserved27 = 0;
        a.camberLeft = a.camberRight = 90;
        a.reserved30 = 0;
        a.diffPreload = 80;
        a.diffType = 3;
        a.viscousTorque = 20;
        a.lockPower = a.lockCoast = 80;
    }
    return e;
}

// ... and of one whose every byte is 0: each field with a lower limit at it.
CarSetup ExpectedFromAllZeros()
{
    CarSetup e = Filled(0);
    e.maxLock = 9;
    e.brakeBalance = 5;
    e.centreViscousTorque = 1;
    e.frontTorqueSplit = 5;
    e.tcSlip = 20;
    e.tcMinSpeed = 5;
    for (CarSetupAxle &a : e.axles) {
        a.viscousTorque = 1;
        a.lockPower = a.lockCoast = 10;
    }
    return e;
}

TEST(CarSetupTest, ClampPullsEveryFieldIntoItsRange) {
    struct Case {
        uint8_t fill;
        CarSetup expected;
    };
    const Case cases[] = {{0xFF, ExpectedFromAllOnes()}, {0x00, ExpectedFromAllZeros()}};
    for (const Case &c : cases) {
        CarSetup setup = Filled(c.fill);
        ClampSetup(&setup);
        EXPECT_EQ(SetupsDiffer(setup, c.expected), 0) << "fill " << int(c.fill);
        EXPECT_EQ(std::memcmp(&setup, &c.expected, sizeof(CarSetup)), 0) << "fill " << int(c.fill);
    }
}

TEST(CarSetupTest, ClampTreatsFloatsByField) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        float rideHeight;   // FiniteOrZero
        float other;        // NonNegativeFinite
    };
    const Case cases[] = {
        {-0.05f, -0.05f, 0.0f}, {0.05f, 0.05f, 0.05f}, {inf, 0.0f, 0.0f}, {-inf, 0.0f, 0.0f},
        {std::nanf(""), 0.0f, 0.0f},
    };
    for (const Case &c : cases) {
        CarSetup setup = ExpectedFromAllZeros();
        setup.brakeTorque = c.value;
        for (CarSetupAxle &a : setup.axles)
            a.rideHeightReduction = a.springStiffness = a.bumpDamping = a.reboundDamping = a.antiRoll = a.reserved =
                c.value;
        ClampSetup(&setup);
        EXPECT_EQ(setup.brakeTorque, c.other) << c.value;
        for (const CarSetupAxle &a : setup.axles) {
            EXPECT_EQ(a.rideHeightReduction, c.rideHeight) << c.value;
            for (float f : {a.springStiffness, a.bumpDamping, a.reboundDamping, a.antiRoll, a.reserved})
                EXPECT_EQ(f, c.other) << c.value;
        }
    }
}

TEST(CarSetupTest, SymmetricFlagMakesTheRightFollowTheLeft) {
    for (uint8_t flags : {uint8_t(0x80), uint8_t(0x81)}) {
        CarSetup setup = ExpectedFromAllZeros();
        setup.flags = flags;
        setup.axles[0].camberLeft = 30;
        setup.axles[0].camberRight = 60;
        setup.axles[1].pressureLeft = 150;
        setup.axles[1].pressureRight = 170;
        ClampSetup(&setup);
        const bool symmetric = flags & SetupSymmetric;
        EXPECT_EQ(setup.axles[0].camberRight, symmetric ? 30 : 60);
        EXPECT_EQ(setup.axles[1].pressureRight, symmetric ? 150 : 170);
        EXPECT_EQ(setup.axles[0].camberLeft, 30);
        EXPECT_EQ(setup.axles[1].pressureLeft, 150);
    }
}

TEST(CarSetupTest, DifferAndRallyTyreCount) {
    const CarSetup a = ExpectedFromAllZeros();
    EXPECT_EQ(SetupsDiffer(a, a), 0);
    for (size_t byte : {size_t(1), size_t(18), size_t(119)}) {
        CarSetup b = a;
        reinterpret_cast<uint8_t *>(&b)[byte] ^= 1;
        EXPECT_EQ(SetupsDiffer(a, b), 1) << "byte " << byte;
    }

    struct Case {
        uint8_t rear, front;
        int expected;
    };
    const Case cases[] = {{0, 0, 0}, {6, 5, 1}, {4, 7, 1}, {7, 6, 2}};
    for (const Case &c : cases) {
        CarSetup setup = a;
        setup.axles[0].tyreType = c.rear;
        setup.axles[1].tyreType = c.front;
        EXPECT_EQ(CountRallyTyreAxles(setup), c.expected) << int(c.rear) << "/" << int(c.front);
    }
}

}  // namespace
