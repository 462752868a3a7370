#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A car standing straight (x to the side, y forward, z up) whose surfaces
// the tests fill; no wind, no wakes.
struct AeroTest : ::testing::Test {
    CarObject car;
    float force[3] = {};
    float torque[3] = {};

    void SetUp() override {
        for (AeroSurface &s : car.wings)
            s.Empty();
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        for (int k = 0; k < 9; k++)
            car.orientation[k] = identity[k];
    }

    void Move(float x, float y, float z) {
        car.velocity[0] = x;
        car.velocity[1] = y;
        car.velocity[2] = z;
        car.StepAerodynamics(force, torque);
    }

    AeroSurface &Fixed(float lift, float drag, float baseDrag) {
        AeroSurface &s = car.wings[3];
        s.flags = 1;
        s.lift = lift;
        s.drag = drag;
        s.baseDrag = baseDrag;
        return s;
    }
};

TEST_F(AeroTest, StandingCarInStillAirHasNoForceAndNoAirSpeed) {
    Fixed(-1.0f, 0.4f, 0.6f);
    car.airSpeed = 5.0f;
    Move(0.0f, 0.0f, 0.0f);
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(force[k], 0.0f);
        EXPECT_EQ(torque[k], 0.0f);
        EXPECT_EQ(car.wings[3].force[k], 0.0f);
    }
    EXPECT_EQ(car.airSpeed, 0.0f);
}

// Fixed surface with lift -1 (down force), drag 0.4, base drag 0.6 at the
// car's origin, at 10 m/s in several directions.
TEST_F(AeroTest, FixedSurfaceLiftOnlyFromTheFrontDragAlwaysAgainstTheAir) {
    struct Row {
        float v[3];
        float expected[3];
    };
    const Row rows[] = {
        // Straight ahead: drag 0.4 q back, lift -1 q along X x d = +z.
        {{0.0f, 10.0f, 0.0f}, {0.0f, -40.0f, -100.0f}},
        // Backwards (air from behind): base drag only, no lift.
        {{0.0f, -10.0f, 0.0f}, {0.0f, 60.0f, 0.0f}},
        // Along the car's side axis: no lift direction exists; base drag
        // only, and nothing undefined.
        {{10.0f, 0.0f, 0.0f}, {-60.0f, 0.0f, 0.0f}},
        {{-10.0f, 0.0f, 0.0f}, {60.0f, 0.0f, 0.0f}},
    };
    Fixed(-1.0f, 0.4f, 0.6f);
    for (const Row &row : rows) {
        Move(row.v[0], row.v[1], row.v[2]);
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(force[k], row.expected[k], 1e-3f) << row.v[0] << " " << row.v[1] << " axis " << k;
        EXPECT_FLOAT_EQ(car.airSpeed, 10.0f);
    }
}

TEST_F(AeroTest, WingAtTheFlowAngleUsesItsBaseFactors) {
    AeroSurface &wing = car.wings[0];
    wing.flags = 1;
    wing.angle = 0.0f;
    wing.liftCoefficient = -2.0f;
    wing.dragCoefficient = 1.5f;
    wing.baseDrag = 0.3f;
    Move(0.0f, 20.0f, 0.0f);
    const float q = 400.0f;
    EXPECT_NEAR(wing.force[2], 0.1f * -2.0f * q, 1e-3f);
    EXPECT_NEAR(wing.force[1], -(0.1f * 1.5f) * q, 1e-3f);

    // Tilted by a 0.2 rad flow angle: the air comes up at the wing.
    wing.angle = 0.2f;
    const float s = std::sin(0.2f), c = std::cos(0.2f);
    Move(0.0f, 20.0f * c, -20.0f * s);
    const float d[3] = {0.0f, c, -s};
    const float e = c * c;
    const float drag = -((0.1f * 1.5f - 0.3f) * e + 0.3f) * q;
    const float lift = 0.1f * -2.0f * e * q;
    const float L[3] = {0.0f, s, c};  // X x d
    for (int k = 0; k < 3; k++)
        EXPECT_NEAR(wing.force[k], drag * d[k] + lift * L[k], 2e-3f) << k;
}

TEST_F(AeroTest, UpAxisPartIsTakenFromTheBodyWhenHandedToTheWheels) {
    AeroSurface &s = Fixed(-1.0f, 0.4f, 0.6f);
    s.position[1] = -2.0f;
    s.position[2] = 0.5f;
    Move(0.0f, 10.0f, 0.0f);
    // At the surface's point behind the origin the down force pitches the
    // nose up: torque = r x F.
    const float r[3] = {0.0f, -2.0f, 0.5f};
    const float F[3] = {0.0f, -40.0f, -100.0f};
    EXPECT_NEAR(torque[0], r[1] * F[2] - r[2] * F[1], 1e-3f);
    EXPECT_NEAR(torque[1], r[2] * F[0] - r[0] * F[2], 1e-3f);
    EXPECT_NEAR(torque[2], r[0] * F[1] - r[1] * F[0], 1e-3f);

    s.flags = 1 | 2;
    Move(0.0f, 10.0f, 0.0f);
    EXPECT_NEAR(s.verticalForce[2], -100.0f, 1e-3f);
    EXPECT_NEAR(force[2], 0.0f, 1e-4f);
    EXPECT_NEAR(force[1], -40.0f, 1e-3f);
    EXPECT_NEAR(torque[0], -r[2] * F[1], 1e-3f);
}

TEST_F(AeroTest, WakeInflowIsTheAirTheSurfaceMovesThrough) {
    AeroSurface &s = Fixed(-1.0f, 0.4f, 0.6f);
    // Driving at 10 m/s into 10 m/s of tail air: no relative air at all.
    s.wakeInflow[1] = 10.0f;
    Move(0.0f, 10.0f, 0.0f);
    EXPECT_EQ(force[1], 0.0f);
    EXPECT_EQ(car.airSpeed, 0.0f);
    // Unused surfaces give nothing whatever the motion.
    s.flags = 0;
    Move(0.0f, 30.0f, 0.0f);
    EXPECT_EQ(force[1], 0.0f);
}

}  // namespace
