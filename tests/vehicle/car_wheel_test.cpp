#include "vehicle/car_wheel.h"

#include <gtest/gtest.h>

#include "byte_image.h"
#include "core/data_stream.h"

namespace {

TEST(CarWheelTest, NewWheelIsAtRest) {
    const CarWheel wheel;
    // One atmosphere: 14.7 psi of 6897.112 Pa.
    EXPECT_NEAR(wheel.pressure, 101388.0f, 1.0f);
    EXPECT_EQ(wheel.peakSlip, 1.0f);
    EXPECT_EQ(wheel.peakSlipShown, 1.0f);
    EXPECT_EQ(wheel.rotation, 3.14159265f);
    EXPECT_EQ(wheel.skidSegment, -1);
    EXPECT_EQ(wheel.surfaceType, 0u);
    EXPECT_EQ(wheel.springRate, 0.0f);
    EXPECT_EQ(wheel.flat, 0);
    EXPECT_EQ(wheel.tyreProbe.probe.surface, nullptr);
    EXPECT_EQ(wheel.sideProbe.probe.otherBody, nullptr);
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(wheel.restPosition[k], 0.0f);
        EXPECT_EQ(wheel.position[k], 0.0f);
    }
}

TEST(CarWheelTest, RestPositionIsReadAndRepairMovesTheMountBack) {
    ByteImage image = ByteImage::WithHeader("QZTEST", 252);
    image.F32(0.75f).F32(1.3f).F32(-0.2f);
    DataStream in;
    int version = 0;
    in.OpenMemory(image.bytes.data(), image.bytes.size(), &version);
    CarWheel wheel;
    wheel.ReadRestPosition(in);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_FALSE(in.overrun);

    // A damaged wheel in contact, its mount pushed in.
    wheel.position[0] = 0.6f;
    wheel.travelDamage = 0.01f;
    wheel.upperArmDamage = 0.02f;
    wheel.lowerArmDamage = 0.03f;
    wheel.springState = 3;
    wheel.upperArmState = 2;
    wheel.lowerArmState = 2;
    wheel.toeState = 3;
    wheel.flat = 1;
    wheel.inContact = 1;
    wheel.normalForce = 4000.0f;
    wheel.angularVelocity = 50.0f;
    wheel.skidSegment = 12;

    wheel.SetDefaults();  // the car reset: motion and contact, not damage
    EXPECT_EQ(wheel.inContact, 0);
    EXPECT_EQ(wheel.normalForce, 0.0f);
    EXPECT_EQ(wheel.angularVelocity, 0.0f);
    EXPECT_EQ(wheel.skidSegment, -1);
    EXPECT_EQ(wheel.flat, 1);
    EXPECT_EQ(wheel.position[0], 0.6f);

    wheel.ClearDamage();
    const float rest[3] = {0.75f, 1.3f, -0.2f};
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(wheel.restPosition[k], rest[k]);
        EXPECT_EQ(wheel.position[k], rest[k]);
    }
    EXPECT_EQ(wheel.travelDamage + wheel.upperArmDamage + wheel.lowerArmDamage, 0.0f);
    EXPECT_EQ(wheel.springState | wheel.upperArmState | wheel.lowerArmState | wheel.toeState | wheel.flat, 0);
}

}  // namespace
