#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float Dt = 0.0005f;

// A car with a 30-degree lock and a stiff, damped rack; everything else at
// the new car's values.
struct SteeringTest : ::testing::Test {
    CarSetup setup{};
    CarObject car;
    float lock = 0.0f;

    void SetUp() override {
        setup.maxLock = 30;
        car.setup = &setup;
        car.vehicleClass = 1;
        car.wheelbase = 2.5f;
        car.steerInertia = 0.02f;
        car.steerStiffness = 40.0f;
        car.steerDamping = 1.5f;
        lock = 30.0f * 3.14159265f / 180.0f;
    }

    void Run(int subSteps) {
        for (int i = 0; i < subSteps; i++)
            car.UpdateSteering(Dt);
    }
};

TEST_F(SteeringTest, InputWordSpansTheLockBothWays) {
    EXPECT_EQ(car.SteerAngleFromInput(32768), 0.0f);
    EXPECT_FLOAT_EQ(car.SteerAngleFromInput(0), lock);
    const float right = car.SteerAngleFromInput(65535);
    EXPECT_GT(right, -lock);
    EXPECT_NEAR(right, -lock, lock / 30000.0f);
    // Without a set-up there is no lock to steer by.
    car.setup = nullptr;
    EXPECT_EQ(car.SteerAngleFromInput(0), 0.0f);
}

TEST_F(SteeringTest, RackSettlesOnTheTargetLessTheTyreTorque) {
    car.steerAngle = 0.1f;
    Run(20000);
    EXPECT_NEAR(car.wheelSteerAngle, 0.1f, 1e-5f);
    EXPECT_NEAR(car.wheelSteerRate, 0.0f, 1e-4f);
    EXPECT_EQ(car.turnDirection, 1.0f);

    // The tyres' aligning torque holds the wheels short of the input: the
    // rack rests where the spring balances it.
    car.subStepSteerTorque = -2.0f;
    Run(20000);
    EXPECT_NEAR(car.wheelSteerAngle, 0.1f - 2.0f / 40.0f, 1e-5f);
}

TEST_F(SteeringTest, RackStopsAtTheLockWithoutRate) {
    for (const float target : {1.0f, -1.0f}) {
        SCOPED_TRACE(target);
        car.wheelSteerAngle = 0.0f;
        car.wheelSteerRate = 0.0f;
        car.steerAngle = target;
        Run(2000);
        EXPECT_EQ(car.wheelSteerAngle, std::copysign(lock, target));
        EXPECT_EQ(car.wheelSteerRate, 0.0f);
    }
}

TEST_F(SteeringTest, LeanSteeringOnlyForClassZeroFromTwoMetresASecond) {
    struct Case {
        int vehicleClass;
        float speed;
        bool leans;
    };
    const Case cases[] = {{0, 4.0f, true}, {0, 2.0f, true}, {0, 1.99f, false}, {1, 4.0f, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.vehicleClass * 100 + c.speed);
        car.wheelSteerAngle = 0.0f;
        car.vehicleClass = c.vehicleClass;
        car.speed = c.speed;
        car.steerStiffness = 0.0f;  // the rack alone would not move
        car.steerDamping = 0.0f;
        car.orientation[6] = 0.1f;  // leaning: the x axis points 0.1 up
        car.angularVelocity[1] = 0.2f;
        car.lastRollRate = 0.2f;    // rolling steadily
        car.UpdateSteering(Dt);
        if (!c.leans) {
            EXPECT_EQ(car.wheelSteerAngle, 0.0f);
            continue;
        }
        // k = 2.5 / sqrt(speed); e = lean - k q; the wheels turn by
        // e k 0.01 / speed.
        const float k = 2.5f / std::sqrt(c.speed);
        EXPECT_NEAR(car.wheelSteerAngle, (0.1f - k * 0.2f) * k * 0.01f / c.speed, 1e-8f);
        EXPECT_EQ(car.lastRollRate, 0.2f);
    }
}

TEST_F(SteeringTest, LeanSteeringHeldWithinTheLock) {
    car.vehicleClass = 0;
    car.speed = 2.0f;
    car.steerTarget = -100.0f;  // asks for far more than the lock
    car.wheelSteerAngle = lock - 1e-6f;
    car.UpdateSteering(Dt);
    EXPECT_EQ(car.wheelSteerAngle, lock);
}

TEST_F(SteeringTest, TurnGeometryFromTheWheelAngle) {
    struct Case {
        float angle;
        float direction;
    };
    const Case cases[] = {{1e-5f, 0.0f}, {-1e-5f, 0.0f}, {1.1e-5f, 1.0f}, {-1.1e-5f, 2.0f}, {0.3f, 1.0f}, {-0.3f, 2.0f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.angle);
        car.turnRadius = 77.0f;
        car.wheelSteerRate = 5.0f;
        car.steerAngle = c.angle;
        car.UpdateSteeringGeometry();
        EXPECT_EQ(car.wheelSteerAngle, c.angle);
        EXPECT_EQ(car.wheelSteerRate, 0.0f);
        EXPECT_EQ(car.turnDirection, c.direction);
        if (c.direction == 0.0f)
            EXPECT_EQ(car.turnRadius, 77.0f);
        else
            EXPECT_NEAR(car.turnRadius, 2.5 / std::tan(std::fabs(c.angle)), 2.5 / std::tan(std::fabs(c.angle)) * 1e-5);
    }
}

TEST_F(SteeringTest, CarWithoutSetUpStaysFinite) {
    // No rack inertia yet and no lock: neither the rack nor lean steering may
    // divide its way to a NaN.
    car.setup = nullptr;
    car.steerInertia = 0.0f;
    car.steerAngle = 0.2f;
    car.UpdateSteering(Dt);
    EXPECT_EQ(car.wheelSteerAngle, 0.0f);
    car.vehicleClass = 0;
    car.speed = 5.0f;
    car.steerTarget = 0.1f;
    car.UpdateSteering(Dt);
    EXPECT_EQ(car.wheelSteerAngle, 0.0f);
    EXPECT_EQ(car.turnDirection, 0.0f);
}

}  // namespace
