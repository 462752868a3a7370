#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float Dt = 0.0005f;

// A four-wheeled car in the air (no probe hits): rear wheels 0 and 1, front
// wheels 2 and 3, left then right, fixed suspension. The engine's clutch
// passes 100 N m at a total ratio of 4 with half efficiency: T = 200 N m.
struct WheelPassTest : ::testing::Test {
    CarSetup setup{};
    CarObject car;

    void SetUp() override {
        car.setup = &setup;
        car.wheels = new CarWheel[4];
        car.wheelCount = 4;
        for (int i = 0; i < 4; i++) {
            CarWheel &w = car.wheels[i];
            w.axleIndex = i / 2;
            w.side = i % 2 == 0 ? -1.0f : 1.0f;
            w.lateralPosition = 0.75f * w.side;
            w.inertia = 1.0f;
            w.brakeShare = 1.0f;
            w.radius = 0.3f;
            w.airMass = 0.01f;
            w.airHeat = 1005.0f * 0.01f * 293.15f;
            w.pressureSetting = 200000.0f;
            w.unsprungMass = 20.0f;
            w.maxTravel = 0.1f;
            w.verticalForceLimit = 1e6f;  // no overload damage
            w.lateralForceLimit = 1e6f;
            w.centre[0] = 0.75f * w.side;
            w.centre[1] = w.axleIndex == 1 ? 1.3f : -1.2f;
            w.centre[2] = 0.3f;
        }
        car.axleWheels[0][0] = 0;
        car.axleWheels[0][1] = 1;
        car.axleWheels[1][0] = 2;
        car.axleWheels[1][1] = 3;
        car.axleTwoWheels[0] = 1;
        car.axleTwoWheels[1] = 1;
        car.wheelbase = 2.5f;
        car.finalDrive = 3.5f;
        car.driveEfficiency = 0.5f;
        car.engine.clutchTorque = 100.0f;
        car.engine.totalRatio = 4.0f;
        car.gear = 3;
        Drive(1);
    }

    // drivenAxles and the wheels' driven flags as the set-up makes them.
    void Drive(uint8_t axles) {
        car.drivenAxles = axles;
        car.drivenWheelCount = 0;
        for (int i = 0; i < 4; i++) {
            car.wheels[i].driven = (axles >> car.wheels[i].axleIndex) & 1u;
            car.drivenWheelCount += static_cast<int32_t>(car.wheels[i].driven);
        }
        car.rearDriveFactor = 1.0f;
        car.frontDriveFactor = 1.0f;
        if (axles == 3) {
            car.rearDriveFactor = 0.8f;   // 60 % to the front
            car.frontDriveFactor = 1.2f;
        }
    }

    void SetSpeeds(float a, float b, float c, float d) {
        const float w[4] = {a, b, c, d};
        for (int i = 0; i < 4; i++)
            car.wheels[i].angularVelocity = w[i];
    }
};

TEST_F(WheelPassTest, DriveSplitAndDifferentials) {
    struct Case {
        const char *name;
        uint8_t gear;
        uint8_t drivenAxles;
        uint8_t centreDiff;    // 1 viscous, centre viscous torque 10
        uint8_t rearDiff;      // viscous torque 5, lock 40 % on power, 20 % on coast
        uint8_t rearPreload;
        float clutchTorque;
        float speeds[4];
        float torques[4];
    };
    const Case cases[] = {
        {"neutral, rear drive", 1, 1, 0, 0, 0, 100.0f, {10, 10, 10, 10}, {0, 0, 0, 0}},
        {"neutral, front drive", 1, 2, 0, 0, 0, 100.0f, {10, 10, 10, 10}, {0, 0, 0, 0}},
        // The preloaded pack passes nothing between wheels at one speed.
        {"neutral, four-wheel drive", 1, 3, 1, 3, 8, 100.0f, {10, 10, 14, 10}, {0, 0, 0, 0}},
        {"no driven axle", 3, 0, 0, 0, 0, 100.0f, {10, 10, 10, 10}, {0, 0, 0, 0}},
        {"rear drive, open", 3, 1, 0, 0, 0, 100.0f, {10, 12, 10, 10}, {100, 100, 0, 0}},
        {"front drive, open", 3, 2, 0, 0, 0, 100.0f, {10, 10, 10, 12}, {0, 0, 100, 100}},
        {"four-wheel drive, axle factors", 3, 3, 0, 0, 0, 100.0f, {10, 10, 10, 10}, {40, 40, 60, 60}},
        // v = (12 - 10) x 10 moves 20 N m from the front axle to the rear.
        {"four-wheel drive, centre viscous", 3, 3, 1, 0, 0, 100.0f, {10, 10, 12, 12}, {50, 50, 50, 50}},
        {"locked", 3, 1, 0, 1, 0, 100.0f, {10, 12, 10, 10}, {100, 100, 0, 0}},
        // d = (12 - 10) x 5.
        {"viscous", 3, 1, 0, 2, 0, 100.0f, {10, 12, 10, 10}, {110, 90, 0, 0}},
        // L = 40 x 100 x 0.01 = 40.
        {"clutch pack, equal speeds", 3, 1, 0, 3, 0, 100.0f, {10, 10, 10, 10}, {140, 60, 0, 0}},
        {"clutch pack, first faster", 3, 1, 0, 3, 0, 100.0f, {12, 10, 10, 10}, {60, 140, 0, 0}},
        // Coast: h = -100, L = 20 x -100 x -0.01 = 20.
        {"clutch pack, coast", 3, 1, 0, 3, 0, -100.0f, {10, 10, 10, 10}, {-80, -120, 0, 0}},
        {"preload, equal speeds", 3, 1, 0, 3, 8, 100.0f, {10, 10, 10, 10}, {100, 100, 0, 0}},
        // L = 40 + 8 x 5 = 80, below (11 - 10) x 1 x 0.5 / dt = 1000: the
        // slower wheel gets h + L.
        {"preload, first faster", 3, 1, 0, 3, 8, 100.0f, {11, 10, 10, 10}, {20, 180, 0, 0}},
        {"preload, second faster", 3, 1, 0, 3, 8, 100.0f, {10, 11, 10, 10}, {180, 20, 0, 0}},
        // L is held to (10.01 - 10) x 1 x 0.5 / dt, about 10: the pack only
        // brings the two to one speed.
        {"preload, equalising", 3, 1, 0, 3, 8, 100.0f, {10.01f, 10, 10, 10}, {90, 110, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        car.gear = c.gear;
        Drive(c.drivenAxles);
        setup.centreDiffType = c.centreDiff;
        setup.centreViscousTorque = 10;
        setup.axles[0].diffType = c.rearDiff;
        setup.axles[0].diffPreload = c.rearPreload;
        setup.axles[0].viscousTorque = 5;
        setup.axles[0].lockPower = 40;
        setup.axles[0].lockCoast = 20;
        car.engine.clutchTorque = c.clutchTorque;
        SetSpeeds(c.speeds[0], c.speeds[1], c.speeds[2], c.speeds[3]);
        car.StepWheels(Dt, false, -9.81f);
        for (int i = 0; i < 4; i++)
            EXPECT_NEAR(car.wheels[i].torque, c.torques[i], 0.05f) << "wheel " << i;
    }
}

TEST_F(WheelPassTest, UndrivenFirstWheelZeroesTheAxle) {
    car.wheels[0].driven = 0;
    car.wheels[1].torque = 55.0f;
    car.StepWheels(Dt, false, -9.81f);
    EXPECT_EQ(car.wheels[0].torque, 0.0f);
    EXPECT_EQ(car.wheels[1].torque, 0.0f);
}

TEST_F(WheelPassTest, AntiRollAndOneWheelAxles) {
    setup.axles[1].antiRoll = 1000.0f;
    car.wheels[2].compression = 0.01f;
    car.wheels[3].compression = 0.03f;
    car.StepWheels(Dt, false, -9.81f);
    EXPECT_NEAR(car.wheels[2].antiRollForce, 20.0f, 1e-3f);
    EXPECT_NEAR(car.wheels[3].antiRollForce, -20.0f, 1e-3f);

    // A driven axle with a single wheel gives it the whole axle torque.
    car.axleTwoWheels[0] = 0;
    car.axleWheels[0][1] = -1;
    car.StepWheels(Dt, false, -9.81f);
    EXPECT_NEAR(car.wheels[0].torque, 200.0f, 1e-3f);
}

TEST_F(WheelPassTest, SteerAngles) {
    constexpr float Toe = 0.01f;
    for (int i = 0; i < 4; i++)
        car.wheels[i].toe = Toe;
    car.wheelSteerAngle = 0.2f;
    car.turnRadius = 10.0f;
    struct Case {
        float direction;
        uint8_t parallel;
        float left;   // the front wheels' angle before toe
        float right;
    };
    const double inner = std::atan(2.5 / (10.0 - 0.75));
    const double outer = std::atan(2.5 / (10.0 + 0.75));
    const Case cases[] = {
        {0.0f, 0, 0.0f, 0.0f},
        {1.0f, 0, static_cast<float>(inner), static_cast<float>(outer)},
        {2.0f, 0, static_cast<float>(-outer), static_cast<float>(-inner)},
        {1.0f, 100, 0.2f, 0.2f},
        {1.0f, 50, static_cast<float>(0.1 + 0.5 * inner), static_cast<float>(0.1 + 0.5 * outer)},
        {2.0f, 50, static_cast<float>(0.1 - 0.5 * outer), static_cast<float>(0.1 - 0.5 * inner)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.direction * 1000 + c.parallel);
        car.turnDirection = c.direction;
        setup.parallelSteer = c.parallel;
        car.StepWheels(Dt, false, -9.81f);
        // Rear wheels steer by their toe alone; toe points each wheel inwards.
        EXPECT_EQ(car.wheels[0].steerAngle, -Toe);
        EXPECT_EQ(car.wheels[1].steerAngle, Toe);
        EXPECT_NEAR(car.wheels[2].steerAngle, c.left - Toe, 1e-6f);
        EXPECT_NEAR(car.wheels[3].steerAngle, c.right + Toe, 1e-6f);
    }

    // A front wheel on the centre line takes the plain angle.
    car.wheels[3].side = 0.0f;
    car.turnDirection = 1.0f;
    setup.parallelSteer = 0;
    car.StepWheels(Dt, false, -9.81f);
    EXPECT_EQ(car.wheels[3].steerAngle, 0.2f);

    // A turn centred on the wheel itself: the angle is a right angle, not
    // a NaN.
    car.turnRadius = 0.75f;
    car.StepWheels(Dt, false, -9.81f);
    EXPECT_NEAR(car.wheels[2].steerAngle, 1.5707964f - Toe, 1e-6f);
}

TEST_F(WheelPassTest, BrakeTorques) {
    // Wheels in the air with no drive: each wheel's speed falls by exactly
    // its brake torque x dt / inertia, so the speeds show the torques.
    constexpr float StepDt = 0.01f;
    car.gear = 1;
    for (int i = 0; i < 4; i++) {
        car.wheels[i].inertia = 0.01f;
        car.wheels[i].brakeShare = i < 2 ? 0.4f : 0.6f;
    }
    setup.brakeTorque = 800.0f;
    struct Case {
        const char *name;
        float brake;
        float handbrake;
        uint8_t release;   // anti-lock release of wheel 2, percent
        float torques[4];
    };
    const Case cases[] = {
        {"released", 0.0f, 0.0f, 0, {0.1f, 0.1f, 0.1f, 0.1f}},
        {"pedal", 1000.0f, 0.0f, 0, {400.1f, 400.1f, 600.1f, 600.1f}},
        {"anti-lock release", 1000.0f, 0.0f, 30, {400.1f, 400.1f, 420.1f, 600.1f}},
        {"handbrake", 0.0f, 0.5f, 0, {400.1f, 400.1f, 0.1f, 0.1f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetSpeeds(5000, 5000, 5000, 5000);
        car.brake = c.brake;
        car.handbrake = c.handbrake;
        car.absRelease[2] = c.release;
        car.StepWheels(StepDt, false, -9.81f);
        for (int i = 0; i < 4; i++) {
            const float torque = (5000.0f - car.wheels[i].angularVelocity) * 0.01f / StepDt;
            EXPECT_NEAR(torque, c.torques[i], 0.01f) << "wheel " << i;
        }
    }
}

TEST_F(WheelPassTest, WheelsCarryHalfTheirAxlesLiftOnlyWithTheDataFlag) {
    car.wings[0].verticalForce[2] = -1000.0f;
    car.wings[1].verticalForce[2] = -600.0f;
    car.wings[2].verticalForce[2] = -5000.0f;  // no wheel reads surfaces 2 and 3
    const float weight = -9.81f * 20.0f;
    for (const uint32_t flags : {0u, 0x2000u}) {
        SCOPED_TRACE(flags);
        car.dataFlags = flags;
        car.StepWheels(Dt, false, -9.81f);
        const float rear = flags != 0 ? -500.0f : 0.0f;
        const float front = flags != 0 ? -300.0f : 0.0f;
        EXPECT_NEAR(car.wheels[0].contactForce[2], rear + weight, 1e-3f);
        EXPECT_NEAR(car.wheels[1].contactForce[2], rear + weight, 1e-3f);
        EXPECT_NEAR(car.wheels[2].contactForce[2], front + weight, 1e-3f);
        EXPECT_NEAR(car.wheels[3].contactForce[2], front + weight, 1e-3f);
    }
}

TEST_F(WheelPassTest, FreeTravelStopsAtBothEnds) {
    struct Case {
        float compression;
        float speed;
        float after;
    };
    const Case cases[] = {{0.05f, 2.0f, 0.07f}, {0.01f, -4.0f, 0.0f}, {0.09f, 4.0f, 0.1f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.compression);
        CarWheel &w = car.wheels[0];
        w.suspensionType = 1;
        w.baseHeight = 0.3f;
        w.travelDirection[2] = 1.0f;
        w.compression = c.compression;
        w.compressionSpeed = c.speed;
        car.StepWheels(0.01f, false, -9.81f);
        EXPECT_NEAR(w.compression, c.after, 1e-6f);
        // The geometry follows the new travel.
        EXPECT_NEAR(w.centre[2], 0.3f + c.after, 1e-6f);
    }
}

TEST_F(WheelPassTest, SolidAxleTurnsAsOne) {
    car.solidAxle[0] = 1;
    car.gear = 1;
    SetSpeeds(10, 30, 10, 30);
    car.wheels[0].rotation = 100.5f;   // just under 32 pi
    car.wheels[1].rotation = -3.0f;
    car.StepWheels(0.01f, false, -9.81f);
    const CarWheel &a = car.wheels[0];
    const CarWheel &b = car.wheels[1];
    EXPECT_EQ(a.angularVelocity, b.angularVelocity);
    EXPECT_NEAR(a.angularVelocity, 20.0f, 1e-3f);
    EXPECT_EQ(a.rotationStep, b.rotationStep);
    EXPECT_EQ(a.rotation, b.rotation);
    // 100.5 + 0.2 passed 32 pi and wrapped by 64 pi.
    EXPECT_NEAR(a.rotation, 100.7f - 64.0f * 3.14159265f, 1e-3f);
    // The front axle is not solid: its wheels keep their own speeds.
    EXPECT_NE(car.wheels[2].angularVelocity, car.wheels[3].angularVelocity);
}

TEST_F(WheelPassTest, GearboxFeedback) {
    // Heavy wheels turning at 50 rad/s with no clutch torque: each moves
    // 0.025 rad in the sub-step, and so does the mean of the driven ones.
    car.engine.clutchTorque = 0.0f;
    for (int i = 0; i < 4; i++)
        car.wheels[i].inertia = 10.0f;
    SetSpeeds(50, 50, 50, 50);
    car.engine.gearboxAngle = 1.0f;
    car.engine.crankAngle = 2.0f;
    car.engine.speed = 300.0f;
    car.engine.clutchPedal = 0.0f;
    car.StepWheels(Dt, false, -9.81f);
    EXPECT_NEAR(car.engine.gearboxAngle, 1.1f, 1e-5f);
    EXPECT_NEAR(car.wheelEngineSpeed, 200.0f, 0.01f);
    EXPECT_NEAR(car.propShaftSpeed, 175.0f, 0.01f);
    EXPECT_EQ(car.engine.crankAngle, 2.0f);  // full mode leaves the engine to its own step

    // The light step turns the engine with the wheels while the clutch is
    // engaged, never backwards.
    struct Case {
        float pedal;
        float wheelSpeed;
        float crankAngle;
        float engineSpeed;
    };
    const Case cases[] = {{0.0f, 50.0f, 4.0f, 200.0f}, {0.6f, 50.0f, 2.0f, 300.0f}, {0.0f, -50.0f, 0.0f, 0.0f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pedal * 1000 + c.wheelSpeed);
        car.engine.crankAngle = 2.0f;
        car.engine.speed = 300.0f;
        car.engine.clutchPedal = c.pedal;
        SetSpeeds(c.wheelSpeed, c.wheelSpeed, 0, 0);
        car.StepWheels(0.01f, true, -9.81f);
        EXPECT_NEAR(car.engine.crankAngle, c.crankAngle, 1e-3f);
        EXPECT_NEAR(car.engine.speed, c.engineSpeed, 0.1f);
    }

    // Neutral: the gearbox input follows the crank.
    car.gear = 1;
    car.StepWheels(Dt, false, -9.81f);
    EXPECT_EQ(car.engine.gearboxAngle, car.engine.crankAngle);
}

TEST_F(WheelPassTest, NoDrivenWheelLeavesTheDrivetrainFinite) {
    // A driven axle without a wheel to drive: nothing to average, so the
    // gearbox input stays put rather than taking 0 / 0.
    Drive(0);
    car.drivenAxles = 1;
    SetSpeeds(50, 50, 50, 50);
    car.engine.gearboxAngle = 1.0f;
    car.engine.crankAngle = 2.0f;
    car.engine.clutchPedal = 0.0f;
    car.StepWheels(0.01f, true, -9.81f);
    EXPECT_EQ(car.engine.gearboxAngle, 1.0f);
    EXPECT_EQ(car.wheelEngineSpeed, 0.0f);
    EXPECT_EQ(car.propShaftSpeed, 0.0f);
    EXPECT_EQ(car.engine.crankAngle, 2.0f);
    EXPECT_EQ(car.engine.speed, 0.0f);
}

TEST_F(WheelPassTest, SteeringTorqueOfTheTick) {
    // Light mode has no steering accumulator: the sub-step's torque is
    // cleared and adds nothing to the tick's sum.
    car.subStepSteerTorque = 5.0f;
    car.steerTorque = 1.0f;
    car.StepWheels(0.01f, true, -9.81f);
    EXPECT_EQ(car.subStepSteerTorque, 0.0f);
    EXPECT_EQ(car.steerTorque, 1.0f);
}

}  // namespace
