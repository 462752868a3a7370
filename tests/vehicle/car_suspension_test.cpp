// One wheel on a rig: the car's matrix fixed at the identity, a hand-built
// axle record, and ground or walls given to the wheel's probes by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "vehicle/car_object.h"
#include "vehicle/car_wheel.h"
#include "vehicle/rigid_body.h"
#include "vehicle/rim_data.h"
#include "vehicle/tyre_curves.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float Identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr float SubStep = 0.0005f;
constexpr float OneStep = 0.01f;
constexpr float Gravity = -9.81f;

bool AllFinite(const CarWheel &w)
{
    const float values[] = {w.compression, w.compressionSpeed, w.normalForce, w.contactForce[0], w.contactForce[1],
                            w.contactForce[2], w.rollDirection[0], w.rollDirection[1], w.rollDirection[2],
                            w.contactPoint[0], w.contactPoint[1], w.contactPoint[2], w.angularVelocity,
                            w.rotation, w.camberSine, w.frictionLimit, w.deflection[0], w.deflection[1]};
    for (float v : values) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

class SuspensionRig : public testing::Test {
protected:
    static void SetUpTestSuite() { BuildTyreCurves(); }

    void SetUp() override
    {
        wheel = CarWheel();
        car.solidAxle[0] = 0;
        car.solidAxle[1] = 0;
        axle.tyreWidth = 0.2f;
        axle.aspect = 0.5f;
        axle.rimRadius = 0.19f;
        axle.tyreType = 5;
        ASSERT_EQ(ComputeTyreProfile(axle, 0.0f, 0), 1);
        R = axle.outerRadius;
        const float segmentLength = 2.0f * Pi * R / 16.0f;
        axle.rimVolume = 0.004f;
        axle.treadSectionArea = segmentLength * axle.treadWidth / 3.0f;
        axle.sidewallArea = segmentLength * (R - axle.rimRadius);
        axle.hubOffset = 0.02f;
        axle.firstArmLength = 0.4f;
        axle.secondArmLength = 0.3f;

        wheel.unsprungMass = 20.0f;
        wheel.pressureSetting = 200000.0f;
        wheel.airMass = 0.05f;
        wheel.SetUp(axle, false);
        wheel.inertia = 1.0f;
        wheel.springRate = 50000.0f;
        wheel.bumpDamping = 3000.0f;
        wheel.reboundDamping = 4000.0f;
        wheel.maxTravel = 0.1f;
        wheel.suspensionType = 1;
        wheel.side = 1.0f;
        wheel.axleIndex = 0;
        Set(wheel.travelDirection, 0.0f, 0.0f, 1.0f);
        Set(wheel.axleDirection, 1.0f, 0.0f, 0.0f);
        Set(wheel.steerAxis, 0.0f, 0.0f, 1.0f);
        Set(wheel.contactOffset, 0.0f, 0.0f, -R);
        Set(wheel.position, 0.7f, 1.2f, 0.0f);
        wheel.baseHeight = 0.0f;
        wheel.verticalForceLimit = 1e9f;
        wheel.lateralForceLimit = 1e9f;
        wheel.UpdateSuspensionGeometry(axle);

        car.stiffness = 100000.0f;
        car.damping = 2000.0f;
        car.friction = 0.8f;
    }

    static void Set(float v[3], float x, float y, float z)
    {
        v[0] = x;
        v[1] = y;
        v[2] = z;
    }

    // Flat firm ground at height z under the wheel (normal up).
    void Ground(float z)
    {
        wheel.tyreHit = 1;
        wheel.surfaceType = 0;
        wheel.tyreProbe.stepSurface = 1.0f;
        Set(wheel.tyreProbe.stepNormal, 0.0f, 0.0f, 1.0f);
        Set(wheel.tyreProbe.stepPosition, wheel.centre[0], wheel.centre[1], z);
    }

    // Ground that the unloaded tyre sinks into by `depth`; the tyre's
    // reference point has not moved since the last sub-step.
    void GroundAt(float depth)
    {
        Ground(wheel.centre[2] - R + depth);
        for (int i = 0; i < 3; i++)
            wheel.lastReferencePoint[i] = wheel.centre[i] + wheel.contactOffset[i];
    }

    // The wheel's outer face: centre + axle x (half tread + hub offset).
    void OuterFace(float out[3]) const
    {
        const float reach = 0.5f * axle.treadWidth + axle.hubOffset;
        for (int i = 0; i < 3; i++)
            out[i] = wheel.centre[i] + wheel.axleDirection[i] * reach;
    }

    // A wall (normal n, unit) that the outer face has entered by depth.
    void Wall(float depth, const float n[3], RigidBody *other = nullptr)
    {
        float face[3];
        OuterFace(face);
        wheel.sideHit = 1;
        wheel.sideProbe.stepSurface = 0.9f;
        wheel.sideProbe.probe.otherBody = other;
        for (int i = 0; i < 3; i++) {
            wheel.sideProbe.stepNormal[i] = n[i];
            wheel.sideProbe.stepPosition[i] = face[i] + depth * n[i];
            wheel.sideAnchor[i] = face[i] + depth * n[i];
        }
    }

    // The wheel pass's free travel before a full sub-step.
    void FreeTravel()
    {
        wheel.compression += SubStep * wheel.compressionSpeed;
        if (wheel.compression < 0.0f || wheel.compression > wheel.maxTravel) {
            wheel.compression = wheel.compression < 0.0f ? 0.0f : wheel.maxTravel;
            wheel.compressionSpeed = 0.0f;
        }
        wheel.UpdateSuspensionGeometry(axle);
    }

    void Step(bool full, float gravity = Gravity, float brake = 0.0f)
    {
        for (float &f : external)
            f = 0.0f;
        const float dt = full ? SubStep : OneStep;
        wheel.StepSuspension(axle, Identity, wheel.centre, brake, full ? &steerTorque : nullptr, dt, 1.0f / dt,
                             gravity, &car, external, false);
    }

    RimData axle;
    CarWheel wheel;
    CarObject car;
    float R = 0.0f;
    float external[3] = {};
    float steerTorque = 0.0f;
};

TEST_F(SuspensionRig, SettlesWhereTheSpringCarriesTheTyreLoadLessTheWheelWeight)
{
    GroundAt(0.02f);
    for (int i = 0; i < 6000; i++) {
        FreeTravel();
        Step(true);
    }
    ASSERT_TRUE(AllFinite(wheel));
    EXPECT_EQ(wheel.inContact, 1);
    EXPECT_GT(wheel.compression, 0.0f);
    EXPECT_NEAR(wheel.compressionSpeed, 0.0f, 1e-3f);
    const float spring = wheel.springRate * wheel.compression;
    EXPECT_NEAR(spring, wheel.normalForce + Gravity * wheel.unsprungMass, 0.002f * spring);
    // The body carries the spring; the wheel's weight rests on the ground.
    EXPECT_NEAR(wheel.contactForce[2], spring, 0.002f * spring);
}

// Full mode at the ends of travel and in between: the force that reaches the
// body (what is left of the wheel's forces after the spring takes f along the
// travel) and the change of the travel speed by f / m x dt.
TEST_F(SuspensionRig, SpringDamperAndBumpStops)
{
    struct Case {
        const char *name;
        float compression;
        float depth;       // ground penetration of the unloaded tyre; below 0 no ground
        float antiRoll;
        bool passesAll;    // f = 0: the body gets every force on the wheel
        float bodyForceZ;  // expected contactForce z, unless NAN
        float speed;       // expected compressionSpeed, unless NAN
    };
    const float m = 20.0f;
    const Case cases[] = {
        // The ground falls away at full droop: the wheel's weight alone, nothing pulls the body down.
        {"droop", 0.0f, -1.0f, 0.0f, true, Gravity * m, 0.0f},
        // At the bump stop the whole contact force passes.
        {"bump stop", 0.1f, 0.05f, 0.0f, true, NAN, 0.0f},
        // Between the stops the body gets the spring and anti-roll force.
        {"mid travel", 0.05f, 0.01f, 300.0f, false, 0.05f * 50000.0f - 300.0f, NAN},
        // A huge net force is held to 16 m/s either way.
        {"clamp up", 0.05f, 0.01f, 1e9f, false, NAN, 16.0f},
        {"clamp down", 0.05f, 0.01f, -1e9f, false, NAN, -16.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        wheel.compression = c.compression;
        wheel.antiRollForce = c.antiRoll;
        wheel.UpdateSuspensionGeometry(axle);
        if (c.depth >= 0.0f)
            GroundAt(c.depth);
        Step(true);
        ASSERT_TRUE(AllFinite(wheel));
        if (c.passesAll) {
            for (int i = 0; i < 3; i++)
                EXPECT_EQ(wheel.contactForce[i], external[i]);
        }
        if (!std::isnan(c.bodyForceZ)) {
            EXPECT_NEAR(wheel.contactForce[2], c.bodyForceZ, 1e-3f * std::fabs(c.bodyForceZ));
        }
        if (std::isnan(c.speed)) {
            const float f = external[2] - wheel.contactForce[2];
            EXPECT_NEAR(wheel.compressionSpeed, f / m * SubStep, 1e-6f);
        } else {
            EXPECT_EQ(wheel.compressionSpeed, c.speed);
        }
    }
}

TEST_F(SuspensionRig, BrakeSlowsAndHoldsTheWheel)
{
    struct Case {
        float omega;
        float brake;
        float expected;
    };
    // a = dt / inertia = 0.0005: a brake of 100 N m takes 0.05 rad/s a sub-step.
    const Case cases[] = {
        {5.0f, 100.0f, 4.95f}, {-5.0f, 100.0f, -4.95f}, {5.0f, 20000.0f, 0.0f},
        {-5.0f, 20000.0f, 0.0f}, {0.0f, 0.1f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.omega);
        SCOPED_TRACE(c.brake);
        wheel.angularVelocity = c.omega;
        wheel.torque = 0.0f;
        wheel.tyreHit = 0;
        Step(true, Gravity, c.brake);
        EXPECT_NEAR(wheel.angularVelocity, c.expected, 1e-5f);
        if (c.expected == 0.0f) {
            EXPECT_EQ(wheel.angularVelocity, 0.0f);
        }
        EXPECT_EQ(wheel.rotationStep, SubStep * wheel.angularVelocity);
    }
}

TEST_F(SuspensionRig, RotationWrapsByTwoTurnsOfThirtyTwoPi)
{
    struct Case {
        float start;
        float omega;
        uint8_t solid;
        float expected;
    };
    const float limit = 32.0f * Pi;
    const float step = 200.0f * SubStep;  // 0.1 rad
    const Case cases[] = {
        {limit - 0.05f, 200.0f, 0, -limit + 0.05f},
        {-limit + 0.05f, -200.0f, 0, limit - 0.05f},
        {1.0f, 200.0f, 0, 1.0f + step},
        // A solid axle's wheels are turned by the wheel pass.
        {1.0f, 200.0f, 1, 1.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        wheel.rotation = c.start;
        wheel.angularVelocity = c.omega;
        wheel.torque = 0.0f;
        wheel.tyreHit = 0;
        car.solidAxle[0] = c.solid;
        Step(true);
        EXPECT_NEAR(wheel.rotation, c.expected, 1e-4f);
        EXPECT_EQ(wheel.angularVelocity, c.omega);
    }
}

// The one-step mode: a rigid tyre, the travel following the ground.
TEST_F(SuspensionRig, LightModeFollowsTheGround)
{
    struct Case {
        const char *name;
        uint8_t flat;
        uint8_t wasInContact;
        float start;       // compression before
        float depth;       // ground penetration of the unloaded tyre at the start
        float compression; // expected
        float speed;       // expected
    };
    const float rimDrop = (R - axle.rimRadius) - 0.02f;
    const Case cases[] = {
        {"first touch", 0, 0, 0.0f, 0.03f, 0.03f, 0.0f},
        {"rising ground", 0, 1, 0.03f, 0.005f, 0.035f, 0.005f / OneStep * 0.333f},
        {"fast rise is clamped", 0, 1, 0.03f, 0.5f, 0.53f, 16.0f * 0.333f},
        {"falling ground", 0, 1, 0.03f, -0.01f, 0.02f, -0.01f / OneStep * 0.333f},
        {"flat runs on the rim", 1, 0, 0.0f, 0.12f, 0.12f - rimDrop, 0.0f},
        {"ground gone", 0, 1, 0.03f, -0.05f, 0.0f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        wheel.flat = c.flat;
        wheel.inContact = c.wasInContact;
        wheel.compression = c.start;
        wheel.UpdateSuspensionGeometry(axle);
        GroundAt(c.depth);
        Step(false);
        ASSERT_TRUE(AllFinite(wheel));
        EXPECT_NEAR(wheel.compression, c.compression, 2e-6f);
        EXPECT_NEAR(wheel.compressionSpeed, c.speed, 1e-4f);
        // The centre has moved with the travel.
        EXPECT_NEAR(wheel.centre[2], wheel.compression, 1e-6f);
        if (c.compression > 0.0f) {
            EXPECT_EQ(wheel.inContact, 1);
            EXPECT_NEAR(wheel.normalForce, wheel.springRate * wheel.compression - Gravity * wheel.unsprungMass,
                        0.01f);
        } else {
            EXPECT_EQ(wheel.inContact, 0);
        }
    }
}

// A flat tyre pressed past the sidewall less 2 cm runs on the rim: stiff
// (50000 N/m per kg of unsprung mass on top of the soft tyre) and slippery.
TEST_F(SuspensionRig, FlatTyreStrikesTheRim)
{
    const float rimContact = (R - axle.rimRadius) - 0.02f;
    struct Case {
        float beyond;  // deflection past the rim contact
        bool onRim;
    };
    const Case cases[] = {{-0.01f, false}, {0.01f, true}, {0.02f, true}};
    float rimForce[2] = {};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.beyond);
        SetUp();
        wheel.flat = 1;
        wheel.compression = 0.05f;
        wheel.UpdateSuspensionGeometry(axle);
        GroundAt(rimContact + c.beyond);
        Step(true);
        ASSERT_EQ(wheel.inContact, 1);
        EXPECT_NEAR(wheel.pressure, 20000.0f, 0.01f);
        if (c.onRim) {
            EXPECT_EQ(wheel.friction, 0.25f);
            EXPECT_EQ(wheel.patchLength, 0.0f);
            rimForce[c.beyond > 0.015f ? 1 : 0] = wheel.normalForce;
        } else {
            EXPECT_NE(wheel.friction, 0.25f);
            EXPECT_GT(wheel.patchLength, 0.0f);
        }
    }
    // One more centimetre on the rim: about 0.01 x 20 kg x 50000 N/m more.
    EXPECT_NEAR(rimForce[1] - rimForce[0], 10000.0f, 500.0f);
}

TEST_F(SuspensionRig, SteeringTorqueComesFromFrontWheelsInFullMode)
{
    struct Case {
        uint32_t axleIndex;
        bool turns;
    };
    const Case cases[] = {{1, true}, {0, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.axleIndex);
        SetUp();
        wheel.axleIndex = c.axleIndex;
        // A scrub radius, and the ground sliding sideways under the tyre.
        Set(wheel.contactOffset, 0.05f, 0.0f, -R);
        GroundAt(0.01f);
        wheel.lastReferencePoint[1] -= 0.001f;
        steerTorque = 0.0f;
        Step(true);
        ASSERT_EQ(wheel.inContact, 1);
        if (c.turns) {
            const float arm[3] = {wheel.contactPoint[0] - wheel.centre[0], wheel.contactPoint[1] - wheel.centre[1],
                                  0.0f};
            EXPECT_FLOAT_EQ(steerTorque, arm[0] * wheel.contactForce[1] - arm[1] * wheel.contactForce[0]);
            EXPECT_NE(steerTorque, 0.0f);
        } else {
            EXPECT_EQ(steerTorque, 0.0f);
        }
    }
}

// The tread segment under the contact, also for a negative rotation: its dirt
// lowers the grip.
TEST_F(SuspensionRig, ActiveSegmentFollowsTheRotation)
{
    struct Case {
        float turns;  // rotation in 16ths of a turn
        int segment;
    };
    const Case cases[] = {{0.0f, 0},   {1.0f, 1},    {-1.0f, 15}, {1.4f, 1},     {-0.6f, 15},
                          {-8.0f, 8},  {15.6f, 0},   {248.0f, 8}, {-252.0f, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.turns);
        SetUp();
        wheel.rotation = c.turns * (2.0f * Pi / 16.0f);
        GroundAt(0.01f);
        const CarWheel clean = wheel;
        Step(false);
        const float cleanFriction = wheel.friction;
        ASSERT_GT(cleanFriction, 0.0f);
        for (int s = 0; s < 16; s++) {
            wheel = clean;
            wheel.tread[s].dirt = 0.1f;
            Step(false);
            if (s == c.segment)
                EXPECT_NEAR(wheel.friction / cleanFriction, 0.9f, 1e-5f) << s;
            else
                EXPECT_EQ(wheel.friction, cleanFriction) << s;
        }
    }
}

// An axle along the ground normal (a wheel lying flat) has no rolling
// direction: the wheel has no ground contact in that sub-step, and no NaN
// reaches it.
TEST_F(SuspensionRig, AxleAlongTheGroundNormalTouchesNothing)
{
    for (bool full : {true, false}) {
        SCOPED_TRACE(full);
        SetUp();
        Set(wheel.axleDirection, 0.0f, 0.0f, 1.0f);
        wheel.compression = 0.02f;
        GroundAt(0.02f);
        Step(full);
        EXPECT_TRUE(AllFinite(wheel));
        EXPECT_EQ(wheel.inContact, 0);
        EXPECT_EQ(wheel.normalForce, 0.0f);
        if (!full) {
            EXPECT_EQ(wheel.compression, 0.0f);
        }
        for (float v : wheel.rollDirection)
            EXPECT_EQ(v, 0.0f);
    }
}

// The wheel's outer face against a wall or another body; no ground, no
// spring (type 0) and no gravity, so the side force is all the wheel passes.
TEST_F(SuspensionRig, SideContact)
{
    struct Case {
        const char *name;
        float depth;
        float lastDepth;
        float anchorShift;  // friction anchor moved along y from the contact
        bool body;          // the wall is another body, softer than the car
        float rate;         // expected penetration speed after the clamp
    };
    const Case cases[] = {
        {"entering fast", 0.01f, 0.0f, 0.0f, false, 4.0f},
        {"entering slowly", 0.01f, 0.0099f, 0.0f, false, (0.01f - 0.0099f) * 2000.0f},
        {"leaving fast", 0.01f, 0.02f, 0.0f, false, -4.0f},
        {"sticking", 0.01f, 0.01f, 0.001f, false, 0.0f},
        {"sliding", 0.01f, 0.01f, 0.5f, false, 0.0f},
        {"other body", 0.01f, 0.0f, 0.5f, true, 4.0f},
        {"clear of the wall", -0.01f, 0.005f, 0.0f, false, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        wheel.suspensionType = 0;
        wheel.UpdateSuspensionGeometry(axle);
        wheel.tyreHit = 0;
        RigidBody body(1, 1, nullptr);
        body.stiffness = 40000.0f;
        body.damping = 500.0f;
        body.predictedPosition = {65536, 2 * 65536, 0};
        const float n[3] = {-1.0f, 0.0f, 0.0f};
        Wall(c.depth, n, c.body ? &body : nullptr);
        wheel.sideProbe.probe.hitPoint = {3 * 65536, 2 * 65536, 65536};
        wheel.sideDepth = c.lastDepth;
        wheel.sideAnchor[1] += c.anchorShift;
        Step(true, 0.0f);
        ASSERT_TRUE(AllFinite(wheel));
        if (c.depth <= 0.0f) {
            float face[3];
            OuterFace(face);
            EXPECT_EQ(wheel.sideInContact, 0);
            EXPECT_EQ(wheel.sideDepth, 0.0f);
            for (int i = 0; i < 3; i++) {
                EXPECT_EQ(wheel.sideAnchor[i], face[i]);
                EXPECT_EQ(wheel.contactForce[i], 0.0f);
            }
            continue;
        }
        const float k = c.body ? body.stiffness : car.stiffness;
        const float damping = c.body ? body.damping : car.damping;
        const float Fn = k * c.depth + c.rate * damping;
        EXPECT_EQ(wheel.sideInContact, 1);
        EXPECT_NEAR(wheel.sideDepth, c.depth, 1e-8f);
        EXPECT_NEAR(wheel.contactForce[0], -Fn, 1e-3f * std::fabs(Fn));
        // The friction spring, at most the side value x friction x Fn (a
        // negative Fn, leaving the wall fast, turns it round).
        const float limit = 0.9f * car.friction * Fn;
        const float spring = k * c.anchorShift;
        const float Ft = spring * spring > limit * limit ? limit : spring;
        EXPECT_NEAR(wheel.contactForce[1], Ft, 1e-3f * std::fabs(Fn));
        // A sliding anchor sits where the capped spring puts it.
        float face[3];
        OuterFace(face);
        EXPECT_NEAR(wheel.sideAnchor[1], face[1] + Ft / k, 1e-6f);
        if (c.body) {
            for (int i = 0; i < 3; i++)
                EXPECT_NEAR(body.impulse[i], -wheel.contactForce[i] * SubStep, 1e-6f);
            // About the body's position: r = (2, 0, 1) m from it to the hit point.
            const float j[3] = {-wheel.contactForce[0] * SubStep, -wheel.contactForce[1] * SubStep,
                                -wheel.contactForce[2] * SubStep};
            EXPECT_NEAR(body.angularImpulse[0], 0.0f * j[2] - 1.0f * j[1], 1e-6f);
            EXPECT_NEAR(body.angularImpulse[1], 1.0f * j[0] - 2.0f * j[2], 1e-6f);
            EXPECT_NEAR(body.angularImpulse[2], 2.0f * j[1] - 0.0f * j[0], 1e-6f);
        }
    }
}

// A tyre standing on another body pushes it down.
TEST_F(SuspensionRig, TyreOnAnotherBodyPushesIt)
{
    RigidBody body(1, 1, nullptr);
    body.predictedPosition = {0, 0, 0};
    GroundAt(0.01f);
    wheel.tyreProbe.probe.otherBody = &body;
    wheel.tyreProbe.probe.hitPoint = {65536, 0, 0};
    Step(true, 0.0f);
    ASSERT_EQ(wheel.inContact, 1);
    // The tyre's whole contact force, which also went into externalForce.
    for (int i = 0; i < 3; i++)
        EXPECT_FLOAT_EQ(body.impulse[i], -external[i] * SubStep);
    EXPECT_LT(body.impulse[2], 0.0f);
    EXPECT_FLOAT_EQ(body.angularImpulse[1], external[2] * SubStep);  // -(r x j) with r = (1, 0, 0)
}

// Vertical overload bends the travel, then breaks the spring.
TEST_F(SuspensionRig, VerticalOverloadDamage)
{
    struct Case {
        const char *name;
        float rate;
        uint8_t startState;
        uint8_t state;
    };
    const Case cases[] = {
        {"bends", 10.0f, 0, 2},
        {"breaks", 1000.0f, 0, 3},
        {"already broken", 1000.0f, 3, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        // At the bump stop the tyre's whole force is the suspension's load.
        wheel.compression = wheel.maxTravel;
        wheel.UpdateSuspensionGeometry(axle);
        GroundAt(0.04f);
        const CarWheel start = wheel;
        Step(true, 0.0f);
        const float load = wheel.contactForce[2];
        ASSERT_GT(load, 0.0f);

        wheel = start;
        wheel.springState = c.startState;
        wheel.verticalForceLimit = load / 3.0f;  // x = 2
        wheel.verticalDamageRate = c.rate;
        Step(true, 0.0f);
        EXPECT_EQ(wheel.springState, c.state);
        if (c.startState == 3) {
            EXPECT_EQ(wheel.travelDamage, 0.0f);
        } else if (c.state == 2) {
            EXPECT_NEAR(wheel.travelDamage, 4.0f * c.rate * R * SubStep, 1e-7f);
            EXPECT_EQ(wheel.springRate, 50000.0f);
        } else {
            EXPECT_EQ(wheel.travelDamage, 0.03f * R);
            EXPECT_EQ(wheel.springRate, 0.0f);
            EXPECT_EQ(wheel.bumpDamping, 0.0f);
            EXPECT_EQ(wheel.reboundDamping, 0.0f);
        }
    }
}

// Lateral overload with a wall pushing on the outer face: the toe moves and
// the arms shorten, split between the two arms of type 4 by how far the push
// comes from below.
TEST_F(SuspensionRig, LateralOverloadDamage)
{
    struct Case {
        const char *name;
        uint8_t type;
        float wallNormal[3];  // before normalising
        float rate;
        float startToe;
        float toe;            // expected; NAN: by the rate
        uint8_t toeState;
        uint8_t lowerState;
        uint8_t upperState;
    };
    const float cap = Pi / 8.0f;
    const Case cases[] = {
        {"toe only on a sliding type", 1, {-1.0f, 0.3f, 0.0f}, 10.0f, 0.0f, NAN, 2, 0, 0},
        {"toe held at the limit", 1, {-1.0f, -0.3f, 0.0f}, 10.0f, cap - 1e-6f, cap, 3, 0, 0},
        {"strut: lower arm", 3, {-1.0f, 0.0f, 0.0f}, 10.0f, 0.0f, 0.0f, 2, 2, 0},
        {"two arms split", 4, {-1.0f, 0.0f, 0.5f}, 10.0f, 0.0f, 0.0f, 2, 2, 2},
        {"two arms capped", 4, {-1.0f, 0.0f, 0.5f}, 1e6f, 0.0f, 0.0f, 2, 3, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        wheel.suspensionType = c.type;
        wheel.tyreHit = 0;
        float n[3];
        const float *w = c.wallNormal;
        const float length = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
        for (int i = 0; i < 3; i++)
            n[i] = w[i] / length;
        Wall(0.01f, n);
        wheel.sideDepth = 0.01f;
        const CarWheel start = wheel;
        Step(true, 0.0f);
        const float push = -wheel.contactForce[0];  // -(D x side) . force with D = +x
        ASSERT_GT(push, 0.0f);

        wheel = start;
        wheel.toe = c.startToe;
        wheel.lateralForceLimit = push / 3.0f;  // x = (3 - 1)^2 = 4
        wheel.lateralDamageRate = c.rate;
        Step(true, 0.0f);
        const float x = 4.0f;
        EXPECT_EQ(wheel.toeState, c.toeState);
        const float toe = std::isnan(c.toe) ? c.startToe - n[1] * (Pi / 3.0f) * x * SubStep : c.toe;
        EXPECT_NEAR(wheel.toe, toe, 1e-7f);
        const float wb = c.type == 4 ? (1.0f - n[2]) * 0.5f : 0.0f;
        const float wa = 1.0f - wb;
        const float L1 = axle.firstArmLength;
        const float L2 = axle.secondArmLength;
        EXPECT_EQ(wheel.lowerArmState, c.lowerState);
        EXPECT_EQ(wheel.upperArmState, c.upperState);
        if (c.lowerState == 3)
            EXPECT_FLOAT_EQ(wheel.lowerArmDamage, 0.333f * L1);
        else if (c.lowerState == 2)
            EXPECT_NEAR(wheel.lowerArmDamage, x * c.rate * wa * SubStep * L1, 1e-7f);
        else
            EXPECT_EQ(wheel.lowerArmDamage, 0.0f);
        if (c.upperState == 3)
            EXPECT_FLOAT_EQ(wheel.upperArmDamage, 0.333f * L2);
        else if (c.upperState == 2)
            EXPECT_NEAR(wheel.upperArmDamage, x * c.rate * wb * SubStep * L2, 1e-7f);
        else
            EXPECT_EQ(wheel.upperArmDamage, 0.0f);
    }
}

// --- Geometry ---------------------------------------------------------------

void ExpectVector(const float got[3], float x, float y, float z, float tolerance = 2e-6f)
{
    EXPECT_NEAR(got[0], x, tolerance);
    EXPECT_NEAR(got[1], y, tolerance);
    EXPECT_NEAR(got[2], z, tolerance);
}

TEST(SuspensionGeometry, SlidingTypesMoveAlongTheTravelDirection)
{
    RimData axle;
    struct Case {
        uint8_t type;
        float x, y, z;  // expected centre
    };
    // (px, py, base) = (0.7, 1.2, 0.3); s = 0.04 + 0.01 along (0.1, 0, 0.995).
    const Case cases[] = {
        {0, 0.7f, 1.2f, 0.3f},
        {1, 0.7f + 0.005f, 1.2f, 0.3f + 0.04975f},
        {2, 0.7f + 0.005f, 1.2f, 0.3f + 0.04975f},
        {5, 0.7f + 0.005f, 1.2f, 0.3f + 0.04975f},
        {7, 9.0f, 9.0f, 9.0f},  // unknown type: unchanged
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        CarWheel wheel;
        wheel.suspensionType = c.type;
        wheel.position[0] = 0.7f;
        wheel.position[1] = 1.2f;
        wheel.position[2] = -5.0f;  // not used
        wheel.baseHeight = 0.3f;
        wheel.compression = 0.04f;
        wheel.travelDamage = 0.01f;
        wheel.travelDirection[0] = 0.1f;
        wheel.travelDirection[2] = 0.995f;
        wheel.centre[0] = wheel.centre[1] = wheel.centre[2] = 9.0f;
        wheel.UpdateSuspensionGeometry(axle);
        ExpectVector(wheel.centre, c.x, c.y, c.z);
    }
}

class ArmGeometry : public testing::Test {
protected:
    void SetUp() override
    {
        axle.outerRadius = 0.3f;
        axle.hubOffset = 0.05f;
    }

    // A wheel on the right (side +1) mounted at (0.7, 1.2).
    static CarWheel RightWheel(uint8_t type)
    {
        CarWheel w;
        w.suspensionType = type;
        w.side = 1.0f;
        w.position[0] = 0.7f;
        w.position[1] = 1.2f;
        return w;
    }

    // Mirrors a right-hand (side +1) wheel to the left.
    static void Mirror(CarWheel &w)
    {
        w.side = -w.side;
        w.position[0] = -w.position[0];
        w.firstArmPivot[0] = -w.firstArmPivot[0];
        w.secondArmPivot[0] = -w.secondArmPivot[0];
        w.strutTop[0] = -w.strutTop[0];
        w.centreLineOffset[0] = -w.centreLineOffset[0];
        w.steerAxleSin = -w.steerAxleSin;
    }

    // The left wheel is the right one's mirror image; the axle direction
    // points out of the wheel only on the right, so its z flips instead.
    static void ExpectMirrored(const CarWheel &right, const CarWheel &left)
    {
        ExpectVector(left.centre, -right.centre[0], right.centre[1], right.centre[2]);
        ExpectVector(left.steerAxis, -right.steerAxis[0], right.steerAxis[1], right.steerAxis[2]);
        ExpectVector(left.axleDirection, right.axleDirection[0], 0.0f, -right.axleDirection[2]);
        ExpectVector(left.contactOffset, -right.contactOffset[0], 0.0f, right.contactOffset[2]);
        ExpectVector(left.travelDirection, -right.travelDirection[0], 0.0f, right.travelDirection[2]);
    }

    RimData axle;
};

// One arm and a strut.
TEST_F(ArmGeometry, Strut)
{
    axle.firstArmLength = 0.4f;
    axle.uprightLength = 0.2f;
    CarWheel wheel = RightWheel(3);
    wheel.compression = 0.02f;
    wheel.travelDamage = 0.01f;
    wheel.lowerArmDamage = 0.01f;
    wheel.firstArmAngle = 0.05f;
    const float a0 = Pi / 2.0f + 0.05f;
    wheel.steerAxleCos = std::cos(a0);
    wheel.steerAxleSin = std::sin(a0);
    const float pivot[3] = {0.3f, 1.2f, 0.1f};
    const float top[3] = {0.6f, 1.25f, 0.65f};
    for (int i = 0; i < 3; i++) {
        wheel.firstArmPivot[i] = pivot[i];
        wheel.strutTop[i] = top[i];
    }
    wheel.centreLineOffset[0] = top[0] - pivot[0];
    wheel.centreLineOffset[2] = top[2] - pivot[2];
    const CarWheel right = wheel;
    wheel.UpdateSuspensionGeometry(axle);

    // Arm angle 0.03 / 0.39 + 0.05; joint (0.68686, 1.2, 0.14937).
    ExpectVector(wheel.centre, 0.65283681f, 1.21958608f, 0.34547588f);
    ExpectVector(wheel.steerAxis, -0.17013031f, 0.09793040f, 0.98054338f);
    ExpectVector(wheel.axleDirection, 0.99259205f, 0.0f, 0.12149494f);
    ExpectVector(wheel.contactOffset, 0.08607808f, 0.0f, -0.29170287f);
    ExpectVector(wheel.travelDirection, -0.11772765f, 0.0f, 0.99304592f, 2e-5f);

    CarWheel left = right;
    Mirror(left);
    left.UpdateSuspensionGeometry(axle);
    ExpectMirrored(wheel, left);

    // A strut square to the arm: the centre runs square to the arm.
    CarWheel square = right;
    square.travelDamage = 0.0f;
    square.compression = 0.0f;
    square.lowerArmDamage = 0.0f;
    const float phi = 0.05f;
    const float joint[2] = {pivot[0] + 0.4f * std::cos(phi), pivot[2] + 0.4f * std::sin(phi)};
    square.strutTop[0] = joint[0] - 0.5f * std::sin(phi);
    square.strutTop[1] = 1.2f;
    square.strutTop[2] = joint[1] + 0.5f * std::cos(phi);
    square.UpdateSuspensionGeometry(axle);
    ExpectVector(square.travelDirection, -std::sin(phi), 0.0f, std::cos(phi), 1e-5f);
}

// Two arms with a leaning upright.
TEST_F(ArmGeometry, TwoArms)
{
    axle.firstArmLength = 0.4f;
    axle.secondArmLength = 0.3f;
    axle.uprightLength = 0.15f;
    axle.secondArmAngle = 30;  // 3 degrees
    CarWheel wheel = RightWheel(4);
    wheel.compression = 0.02f;
    wheel.upperArmDamage = 0.01f;
    wheel.firstArmAngle = -0.05f;
    wheel.steerAxleCos = 0.0f;
    wheel.steerAxleSin = 1.0f;
    const float lower[3] = {0.25f, 1.2f, 0.05f};
    const float upper[3] = {0.35f, 1.2f, 0.4f};
    for (int i = 0; i < 3; i++) {
        wheel.firstArmPivot[i] = lower[i];
        wheel.secondArmPivot[i] = upper[i];
    }
    wheel.centreLineOffset[0] = upper[0] - lower[0];
    wheel.centreLineOffset[2] = upper[2] - lower[2];
    const CarWheel right = wheel;
    wheel.UpdateSuspensionGeometry(axle);

    // Joints (0.65, 1.20785, 0.05) and (0.63552, 1.19215, 0.34924); the
    // arms' lines meet at (2.31869, 0.05).
    ExpectVector(wheel.centre, 0.64276143f, 1.2f, 0.19961943f);
    ExpectVector(wheel.steerAxis, -0.04825711f, -0.05233596f, 0.99746288f);
    ExpectVector(wheel.axleDirection, 0.99883175f, 0.0f, 0.04832334f);
    ExpectVector(wheel.contactOffset, 0.06443859f, 0.0f, -0.29723336f);
    ExpectVector(wheel.travelDirection, -0.09121893f, 0.0f, 0.99583086f, 2e-5f);

    CarWheel left = right;
    Mirror(left);
    left.UpdateSuspensionGeometry(axle);
    ExpectMirrored(wheel, left);

    // Parallel arms: the centre runs square to the first arm.
    CarWheel parallel = right;
    parallel.compression = 0.0f;
    parallel.upperArmDamage = 0.0f;
    parallel.firstArmAngle = 0.0f;
    axle.secondArmLength = 0.4f;
    axle.secondArmAngle = 0;
    parallel.secondArmPivot[0] = lower[0];
    parallel.secondArmPivot[2] = lower[2] + 0.3f;
    parallel.centreLineOffset[0] = 0.0f;
    parallel.centreLineOffset[2] = 0.3f;
    parallel.UpdateSuspensionGeometry(axle);
    ExpectVector(parallel.centre, 0.65f, 1.2f, 0.2f, 1e-5f);
    ExpectVector(parallel.travelDirection, 0.0f, 0.0f, 1.0f, 1e-5f);

    // Circles that do not meet (the second arm far too short) leave the
    // geometry as it was.
    CarWheel apart = wheel;
    axle.secondArmLength = 0.05f;
    apart.upperArmDamage = 0.0f;
    apart.UpdateSuspensionGeometry(axle);
    ExpectVector(apart.centre, wheel.centre[0], wheel.centre[1], wheel.centre[2], 0.0f);
    ExpectVector(apart.steerAxis, wheel.steerAxis[0], wheel.steerAxis[1], wheel.steerAxis[2], 0.0f);
    ExpectVector(apart.travelDirection, wheel.travelDirection[0], 0.0f, wheel.travelDirection[2], 0.0f);
}

}  // namespace
