#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/rigid_body.h"
#include "world_query_double.h"

namespace {

uint32_t Bits(float x) {
    uint32_t b;
    std::memcpy(&b, &x, 4);
    return b;
}

const float Identity[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

// Places a body at `position` (16.16) with its probes where a prediction
// without motion puts them, as the owner does when it creates a body.
void Place(RigidBody &body, FixVector position) {
    body.position = position;
    body.predictedPosition = position;
    std::memcpy(body.orientation, Identity, sizeof Identity);
    std::memcpy(body.predictedOrientation, Identity, sizeof Identity);
    body.ResetState();
    for (int i = 0; i < body.pointCount; i++) {
        ContactProbe &probe = body.points[i].probe;
        const FixVector q = {MetresToFix(body.points[i].local[0]), MetresToFix(body.points[i].local[1]),
                             MetresToFix(body.points[i].local[2])};
        probe.endPoint = {position.x + q.x, position.y + q.y, position.z + q.z};
        probe.segment = q;
    }
}

// A body that owns its hull and frees it.
struct Body : RigidBody {
    Body() : RigidBody(1, 1, nullptr) {}
    ~Body() override { FreeGeometry(); }
};

constexpr int32_t M = 65536;

// --- Motion of one tick -----------------------------------------------------

struct MotionCase {
    float velocity[3];
    float wind[3];
};

TEST(RigidBodyMotion, OneTickWithoutContactsMatchesTheSubStepSum) {
    const MotionCase cases[] = {
        {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {{3.0f, -1.5f, 0.25f}, {0.0f, 0.0f, 0.0f}},
        {{0.0f, 0.0f, 0.0f}, {4.0f, 2.0f, 0.0f}},
        {{12.5f, 7.0f, -2.0f}, {-3.0f, 1.0f, 0.5f}},
    };
    for (const MotionCase &c : cases) {
        WorldQueryDouble world;
        std::memcpy(world.wind, c.wind, sizeof c.wind);
        Body body;
        body.mass = 7.5f;
        Place(body, {0, 0, 5 * M});
        std::memcpy(body.velocity, c.velocity, sizeof c.velocity);

        const float g = -9.81f;
        body.Step(0.01f, g);

        // The expected motion: drag taken once at the start of the tick, 20
        // sub-steps that move with the previous velocity, then add (D + G)h/m.
        const float h = 0.05f * 0.01f;
        float v[3] = {c.velocity[0], c.velocity[1], c.velocity[2]};
        const float air[3] = {v[0] - c.wind[0], v[1] - c.wind[1], v[2] - c.wind[2]};
        const float airSpeed = std::sqrt(air[0] * air[0] + air[1] * air[1] + air[2] * air[2]);
        const float drag[3] = {-airSpeed * air[0], -airSpeed * air[1], -airSpeed * air[2]};
        float offset[3] = {0.0f, 0.0f, 0.0f};
        for (int i = 0; i < 20; i++) {
            for (int k = 0; k < 3; k++)
                offset[k] += h * v[k];
            float f[3] = {drag[0], drag[1], drag[2]};
            f[2] += g * body.mass;
            for (int k = 0; k < 3; k++)
                v[k] += f[k] * h / body.mass;
        }
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(Bits(body.velocity[k]), Bits(v[k])) << "axis " << k;
        EXPECT_EQ(body.position.x, MetresToFix(offset[0]));
        EXPECT_EQ(body.position.y, MetresToFix(offset[1]));
        EXPECT_EQ(body.position.z, 5 * M + MetresToFix(offset[2]));
    }
}

TEST(RigidBodyMotion, FromRestInStillAirTheFirstTickAddsGravityTimesTheTick) {
    WorldQueryDouble world;
    Body body;
    body.mass = 2.0f;
    Place(body, {0, 0, 5 * M});
    body.Step(0.01f, -9.81f);
    float v = 0.0f;
    const float step = -9.81f * 2.0f * (0.05f * 0.01f) / 2.0f;
    for (int i = 0; i < 20; i++)
        v += step;
    EXPECT_EQ(Bits(body.velocity[2]), Bits(v));
    EXPECT_EQ(body.velocity[0], 0.0f);
    EXPECT_NEAR(body.velocity[2], -0.0981f, 1e-6f);
}

// --- Segment against faces --------------------------------------------------

// A body with one or two horizontal triangles (normal up) whose corners' end
// points are set directly: (0,0), (2,0), (0,2) metres at the given heights.
struct Plates {
    CollisionPoint points[6];
    CollisionFace faces[2];
    RigidBody body{1, 1, nullptr};

    explicit Plates(std::vector<int32_t> heights) {
        const int32_t corners[3][2] = {{0, 0}, {2 * M, 0}, {0, 2 * M}};
        for (size_t f = 0; f < heights.size(); f++) {
            for (int k = 0; k < 3; k++) {
                CollisionPoint &p = points[f * 3 + k];
                std::memset(&p, 0, sizeof p);
                p.probe.endPoint = {corners[k][0], corners[k][1], heights[f]};
                faces[f].corners[k] = &p;
            }
            faces[f].worldNormal[0] = 0.0f;
            faces[f].worldNormal[1] = 0.0f;
            faces[f].worldNormal[2] = 1.0f;
        }
        body.faces = faces;
        body.faceCount = static_cast<int32_t>(heights.size());
    }
    ~Plates() { body.ClearGeometry(); }
};

TEST(RigidBodyIntersectSegment, Table) {
    struct Case {
        const char *name;
        std::vector<int32_t> heights;
        FixVector end;
        FixVector segment;
        int32_t startFraction;
        int32_t fraction;  // expected; 0 = no hit
        int32_t hitZ;
    };
    const int32_t half = M / 2;
    const Case cases[] = {
        {"end point on the plane (h = 0)", {0}, {half, half, 0}, {0, 0, -M}, 0, 0, 0},
        {"dn = -64", {0}, {half, half, -32}, {0, 0, -64}, 0, 0, 0},
        {"dn = -1", {0}, {half, half, -1}, {0, 0, -1}, 0, 0, 0},
        {"dn = -65 hits", {0}, {half, half, -32}, {0, 0, -65}, 0, (-32LL * 65536) / -65, 0},
        {"end behind, start in front", {0}, {half, half, -M / 4}, {0, 0, -M}, 0, M / 4, 0},
        {"start behind as well", {0}, {half, half, -2 * M}, {0, 0, -M}, 0, 0, 0},
        {"segment leaving the face", {0}, {half, half, M / 4}, {0, 0, M}, 0, 0, 0},
        {"hit outside an edge", {0}, {3 * M / 2, 3 * M / 2, -M / 4}, {0, 0, -M}, 0, 0, 0},
        {"not better than the probe", {0}, {half, half, -M / 4}, {0, 0, -M}, M / 4, M / 4, 0},
        {"two faces, upper first", {0, -M / 2}, {half, half, -3 * M / 4}, {0, 0, -M}, 0, 3 * M / 4, 0},
        {"two faces, lower first", {-M / 2, 0}, {half, half, -3 * M / 4}, {0, 0, -M}, 0, 3 * M / 4, 0},
    };
    for (const Case &c : cases) {
        Plates plates(c.heights);
        ContactProbe probe;
        probe.Clear();
        probe.fraction = c.startFraction;
        plates.body.IntersectSegment(c.end, c.segment, probe);
        EXPECT_EQ(probe.fraction, c.fraction) << c.name;
        if (c.fraction != 0 && c.fraction != c.startFraction) {
            EXPECT_EQ(probe.otherBody, &plates.body) << c.name;
            EXPECT_EQ(probe.hitPoint.x, c.end.x) << c.name;
            EXPECT_EQ(probe.hitPoint.z, c.hitZ) << c.name;
            EXPECT_EQ(probe.normal[2], 1.0f) << c.name;
        }
    }
}

TEST(RigidBodyGroundPlane, ProbeTable) {
    struct Case {
        FixVector end;
        FixVector segment;
        int32_t fraction;
    };
    const Case cases[] = {
        {{5, 6, -M / 4}, {0, 0, -M}, M / 4},  // crosses z = 0
        {{5, 6, 0}, {0, 0, -M}, 0},           // ends on the plane
        {{5, 6, -2 * M}, {0, 0, -M}, 0},      // wholly below
        {{5, 6, -10}, {0, 0, -64}, 0},        // too flat a segment
    };
    for (const Case &c : cases) {
        ContactProbe probe;
        probe.Clear();
        probe.endPoint = c.end;
        probe.segment = c.segment;
        ProbeGroundPlane(probe);
        EXPECT_EQ(probe.fraction, c.fraction);
        if (c.fraction != 0) {
            EXPECT_EQ(probe.hitPoint.x, 5);
            EXPECT_EQ(probe.hitPoint.z, 0);
            EXPECT_EQ(probe.normal[2], 1.0f);
        }
    }
}

// --- Contact forces -----------------------------------------------------------

// One point at the body origin touching a surface below it (normal up); the
// contact sits `depth` above the point.
struct OnePoint : ::testing::Test {
    CollisionPoint point;
    RigidBody body{1, 1, nullptr};
    const float h = 0.0005f;

    void SetUp() override {
        std::memset(&point, 0, sizeof point);
        point.Clear();
        point.contactKind = 1;
        point.stepNormal[2] = 1.0f;
        point.stepGrip = 1.0f;
        body.points = &point;
        body.pointCount = 1;
        body.stiffness = 10000.0f;
        body.damping = 100.0f;
        body.friction = 1.0f;
    }
    void TearDown() override { body.ClearGeometry(); }
    void Touch(float depth) {
        point.stepContact[2] = depth;
    }
};

TEST_F(OnePoint, DepthExactlyZeroClearsForceAnchorAndPhase) {
    Touch(0.0f);
    point.force[0] = 5.0f;
    point.anchor[0] = 1.0f;
    point.phase = 2;
    point.lastDepth = 0.25f;
    body.stepOffset[1] = 0.5f;
    body.ComputeContactForces(h);
    EXPECT_EQ(point.force[0], 0.0f);
    EXPECT_EQ(point.anchor[0], 0.0f);
    EXPECT_EQ(point.anchor[1], 0.5f);
    EXPECT_EQ(point.phase, 0);
    EXPECT_EQ(point.lastDepth, 0.0f);
}

TEST_F(OnePoint, ClosingRateAboveFourIsDampedAsFour) {
    for (float sign : {1.0f, -1.0f}) {
        const float depth = 0.01f;
        const float last = depth - sign * 0.02f;  // 40 m/s either way
        Touch(depth);
        point.lastDepth = last;
        point.anchor[2] = depth;  // no friction spring
        body.ComputeContactForces(h);
        const float n = body.damping * (4.0f * sign) + body.stiffness * depth;
        EXPECT_EQ(Bits(point.force[2]), Bits(n)) << sign;
        EXPECT_EQ(point.lastDepth, depth);
        EXPECT_EQ(point.phase, sign > 0.0f ? 1 : 2);
    }
}

TEST_F(OnePoint, WeakContactMovesTheAnchorEverySubStep) {
    body.friction = 0.0f;
    for (float x : {0.0f, 0.3f}) {
        body.stepOffset[0] = x;
        Touch(0.001f);
        point.stepContact[0] = x;
        point.anchor[0] = -4.0f;
        body.ComputeContactForces(h);
        EXPECT_EQ(point.anchor[0], x);
        EXPECT_EQ(point.anchor[2], 0.001f);
        EXPECT_EQ(point.force[0], 0.0f);
        EXPECT_EQ(point.sliding, 0);
    }
}

TEST_F(OnePoint, FrictionSaturatesAndTheAnchorFollows) {
    body.friction = 0.5f;
    const float depth = 0.01f;
    Touch(depth);
    point.lastDepth = depth;
    point.anchor[0] = 1.0f;
    point.anchor[2] = depth;
    body.ComputeContactForces(h);
    const float n = body.stiffness * depth;
    const float fmax = 1.0f * body.friction * n;
    const float fx = body.stiffness * 1.0f;
    const float limited = fx * fmax / std::sqrt(fx * fx);
    EXPECT_EQ(point.sliding, 1);
    EXPECT_EQ(Bits(point.force[0]), Bits(limited));
    EXPECT_EQ(Bits(point.anchor[0]), Bits(0.0f + limited / body.stiffness));
    EXPECT_EQ(point.phase, 0);  // depth did not grow; phase stays
}

TEST_F(OnePoint, AgainstAnotherBodyTakesTheWeakerContactAndHandsOverMomentum) {
    RigidBody other(1, 1, nullptr);
    other.stiffness = 2000.0f;
    other.damping = 300.0f;
    other.predictedPosition = {M, 0, 0};
    point.probe.otherBody = &other;
    point.probe.endPoint = {0, M, 0};
    const float depth = 0.02f;
    Touch(depth);
    point.anchor[2] = depth;
    body.ComputeContactForces(h);
    const float rate = 4.0f;  // 0.02 / 0.0005 clamped
    const float n = body.damping * rate + other.stiffness * depth;
    EXPECT_EQ(Bits(point.force[2]), Bits(n));
    const float hf = h * point.force[2];
    EXPECT_EQ(Bits(other.impulse[2]), Bits(-hf));
    EXPECT_EQ(other.impulse[0], 0.0f);
    // r = (-1, 1, 0) m: r x (0, 0, hf) = (hf, hf, 0).
    EXPECT_EQ(Bits(other.angularImpulse[0]), Bits(-hf));
    EXPECT_EQ(Bits(other.angularImpulse[1]), Bits(-hf));
    EXPECT_EQ(other.angularImpulse[2], 0.0f);
    EXPECT_EQ(point.phase, 1);
}

// --- Mass properties ----------------------------------------------------------

TEST(RigidBodyMass, CubeShell) {
    const float a = 2.0f;
    const float rho = 3.0f;
    for (float shift : {0.0f, 5.0f}) {
        Body body;
        BuildBoxHull(body, a / 2.0f, a / 2.0f, a / 2.0f);
        for (int i = 0; i < body.pointCount; i++) {
            body.points[i].local[0] += shift;
            body.points[i].local[1] -= shift;
            body.points[i].local[2] += 0.5f * shift;
        }
        ASSERT_EQ(body.ComputeMassFromPoints(rho), 1);
        const float m = 6.0f * a * a * rho;
        EXPECT_NEAR(body.mass, m, m * 1e-6f);
        EXPECT_NEAR(body.centreOfMass[0], shift, 1e-5f);
        EXPECT_NEAR(body.centreOfMass[1], -shift, 1e-5f);
        EXPECT_NEAR(body.centreOfMass[2], 0.5f * shift, 1e-5f);
        const float diag = 5.0f / 18.0f * m * a * a;
        for (int r = 0; r < 3; r++) {
            for (int c = 0; c < 3; c++) {
                const float expected = r == c ? diag : 0.0f;
                EXPECT_NEAR(body.inertia[r * 3 + c], expected, diag * 2e-5f) << r << c;
                EXPECT_NEAR(body.inverseInertia[r * 3 + c], r == c ? 1.0f / diag : 0.0f, 2e-5f / diag);
            }
        }
        if (shift == 0.0f) {
            EXPECT_NEAR(body.radius, std::sqrt(3.0f), 1e-6f);
        }
    }
}

TEST(RigidBodyMass, RefusesBadDensityAndLeavesTheBodyUnchanged) {
    for (float density : {0.0f, -1.0f, NAN, INFINITY}) {
        Body body;
        BuildBoxHull(body, 1.0f, 1.0f, 1.0f);
        body.mass = 7.0f;
        body.radius = 0.25f;
        body.inertia[0] = 3.0f;
        EXPECT_EQ(body.ComputeMassFromPoints(density), 0) << density;
        EXPECT_EQ(body.mass, 7.0f);
        EXPECT_EQ(body.radius, 0.25f);
        EXPECT_EQ(body.inertia[0], 3.0f);
        EXPECT_EQ(body.inverseInertia[0], 0.0f);
    }
}

TEST(RigidBodyMass, RefusesAHullWithoutArea) {
    Body body;
    BuildBoxHull(body, 1.0f, 0.0f, 0.0f);  // a line: every face is flat
    body.mass = 7.0f;
    EXPECT_EQ(body.ComputeMassFromPoints(5.0f), 0);
    EXPECT_EQ(body.mass, 7.0f);
}

// --- Separation test ----------------------------------------------------------

TEST(RigidBodyMayTouch, SidesOfTheBoundsBox) {
    Body a;
    BuildBoxHull(a, 1.0f, 2.0f, 0.5f);
    a.ComputeBounds();
    Place(a, {0, 0, 0});
    struct Case {
        const char *name;
        float x, y, z;     // other's centre, m
        float half;        // other's box half size; 0 = no points
        int expected;
    };
    const Case cases[] = {
        {"centre inside, no points", 0.5f, 1.0f, 0.0f, 0.0f, 1},
        {"beyond +y, no points", 0.0f, 3.0f, 0.0f, 0.0f, 0},
        {"beyond +y, a point inside", 0.0f, 3.0f, 0.0f, 1.5f, 1},
        {"beyond +y, points on the side", 0.0f, 2.5f, 0.0f, 0.5f, 0},
        {"beyond -y", 0.0f, -3.0f, 0.0f, 0.5f, 0},
        {"beyond -y, a point inside", 0.0f, -3.0f, 0.0f, 1.5f, 1},
        {"beyond +x", 2.0f, 0.0f, 0.0f, 0.5f, 0},
        {"beyond +x, a point inside", 1.75f, 0.0f, 0.0f, 1.0f, 1},
        {"beyond -x", -2.0f, 0.0f, 0.0f, 0.5f, 0},
        {"beyond -x, a point inside", -1.75f, 0.0f, 0.0f, 1.0f, 1},
        {"beyond a corner", 1.75f, 2.75f, 0.0f, 0.5f, 0},
        {"far above: height is never tested", 0.0f, 0.0f, 50.0f, 0.5f, 1},
    };
    for (const Case &c : cases) {
        Body b;
        if (c.half > 0.0f)
            BuildBoxHull(b, c.half, c.half, c.half);
        Place(b, {MetresToFix(c.x), MetresToFix(c.y), MetresToFix(c.z)});
        EXPECT_EQ(a.MayTouch(b), c.expected) << c.name;
    }
}

// --- Nearness -----------------------------------------------------------------

TEST(RigidBodyIsNearPoint, Table) {
    struct Case {
        const char *name;
        float x;         // point at (x, 0), m
        float vx;        // body velocity along x
        int r;
        int expected;
    };
    const Case cases[] = {
        {"80 m, standing", 80.0f, 0.0f, 0, 0},
        {"80 m, approaching fast", 80.0f, 100.0f, 0, 1},
        {"beyond 80 m, approaching fast", 80.5f, 1000.0f, 0, 0},
        {"within 1 m, leaving fast", 0.75f, -500.0f, 0, 1},
        {"10 m, leaving", 10.0f, -5.0f, 0, 0},
        {"10 m, within the clearance", 10.0f, 0.0f, 10, 1},
        {"10 m, reached within a second", 10.0f, 9.75f, 0, 1},
    };
    for (const Case &c : cases) {
        Body body;
        body.radius = 0.5f;
        body.velocity[0] = c.vx;
        EXPECT_EQ(body.IsNearPoint(MetresToFix(c.x), 0, c.r), c.expected) << c.name;
    }
}

// --- Contacts from probes -----------------------------------------------------

int invalidations[8];
int hotLapWord = 1;

struct FinishContactsTest : ::testing::Test {
    void SetUp() override {
        std::memset(invalidations, 0, sizeof invalidations);
        hotLapWord = 1;
        VehicleRaceHooks = {};
        VehicleRaceHooks.hotLapMode = [] { return hotLapWord; };
        VehicleRaceHooks.invalidateHotLap = [](int reason) { invalidations[reason & 7]++; };
    }
    void TearDown() override { VehicleRaceHooks = {}; }
};

TEST_F(FinishContactsTest, ThreeWallContactsInvalidateTheHotLap) {
    WorldQueryDouble world;
    struct Case {
        std::vector<int> kinds;
        int hotLap;
        int calls;
    };
    const Case cases[] = {
        {{6, 10, 11}, 1, 1},
        {{6, 6, 0, 11}, 1, 1},
        {{6, 10, 0}, 1, 0},
        {{6, 10, 11}, 0, 0},
    };
    for (const Case &c : cases) {
        std::memset(invalidations, 0, sizeof invalidations);
        hotLapWord = c.hotLap;
        Body body;
        BuildBoxHull(body, 1.0f, 1.0f, 1.0f);
        Place(body, {0, 0, 0});
        for (size_t i = 0; i < c.kinds.size(); i++) {
            ContactProbe &probe = body.points[i].probe;
            probe.fraction = 100;
            probe.surface = WorldQueryDouble::Surface(c.kinds[i], static_cast<int>(i & 1));
        }
        body.FinishContacts();
        EXPECT_EQ(invalidations[1], c.calls);
        for (size_t i = 0; i < c.kinds.size(); i++)
            EXPECT_EQ(body.points[i].contactKind, 1 + (i & 1));
        EXPECT_EQ(body.points[7].contactKind, 0);
    }
}

TEST_F(FinishContactsTest, AFirstContactStartsFromTheNewValues) {
    Body body;
    BuildBoxHull(body, 1.0f, 1.0f, 1.0f);
    Place(body, {M, 0, 0});
    CollisionPoint &point = body.points[0];
    point.probe.fraction = 10;
    point.probe.hitPoint = {2 * M, 0, M / 2};
    point.probe.normal[2] = 1.0f;
    point.grip = 0.5f;
    body.FinishContacts();
    EXPECT_EQ(point.contact[0], 1.0f);
    EXPECT_EQ(point.contact[2], 0.5f);
    EXPECT_EQ(point.previousContact[0], 1.0f);
    EXPECT_EQ(point.previousNormal[2], 1.0f);
    EXPECT_EQ(point.previousGrip, 0.5f);
    EXPECT_EQ(point.grip, 1.0f);

    // In contact already: the previous values are the last query's.
    point.phase = 1;
    point.probe.hitPoint = {3 * M, 0, 0};
    body.FinishContacts();
    EXPECT_EQ(point.previousContact[0], 1.0f);
    EXPECT_EQ(point.contact[0], 2.0f);
}

// --- Falling and landing ------------------------------------------------------

void RunTicks(RigidBody &body, int ticks, float g) {
    for (int t = 0; t < ticks; t++) {
        body.PreStep(0.01f);
        body.Collide(0.01f, 0);
        body.Step(0.01f, g);
    }
}

Body *MakeBox(float half, FixVector position) {
    Body *body = new Body;
    BuildBoxHull(*body, half, half, half);
    body->stiffness = 20000.0f;
    body->friction = 0.7f;
    body->damping = 400.0f;
    body->ComputeBounds();
    EXPECT_EQ(body->ComputeMassFromPoints(5.0f), 1);
    Place(*body, position);
    return body;
}

TEST(RigidBodyLanding, WithoutAWorldABoxLandsOnTheGroundPlaneAndRests) {
    ASSERT_EQ(CurrentWorldQuery(), nullptr);
    Body *body = MakeBox(0.5f, {0, 0, 2 * M});
    RunTicks(*body, 400, -9.81f);
    EXPECT_NEAR(FixToMetres(body->position.z), 0.5f, 0.02f);
    EXPECT_LT(std::fabs(body->velocity[2]), 0.01f);
    EXPECT_NEAR(FixToMetres(body->position.x), 0.0f, 0.001f);
    delete body;
}

TEST(RigidBodyLanding, OnTheWorldGroundAtItsHeight) {
    WorldQueryDouble world;
    world.groundHeight = 3 * M;
    Body *body = MakeBox(0.5f, {M, -M, 6 * M});
    RunTicks(*body, 500, world.gravity);
    EXPECT_NEAR(FixToMetres(body->position.z), 3.5f, 0.02f);
    EXPECT_LT(std::fabs(body->velocity[2]), 0.01f);
    int inContact = 0;
    for (int i = 0; i < body->pointCount; i++)
        inContact += body->points[i].phase != 0;
    EXPECT_EQ(inContact, 4);
    delete body;
}

}  // namespace

namespace {

CarObject *lessonCar = nullptr;
int lessonReports = 0;

TEST(RigidBodyContacts, BodyContactsMarkTouchedAndReportTheLessonCar) {
    VehicleRaceHooks = {};
    VehicleRaceHooks.lessonContactCar = [] { return lessonCar; };
    VehicleRaceHooks.reportCarContact = [] { lessonReports++; };
    struct Case {
        const char *name;
        int lesson;       // 0 none, 1 the colliding car, 2 the other car
        bool otherIsCar;
        int reports;
    };
    const Case cases[] = {
        {"no lesson", 0, true, 0},
        {"lesson watches the colliding car", 1, true, 1},
        {"lesson watches the other car", 2, true, 1},
        {"the other body is no car", 1, false, 0},
    };
    for (const Case &c : cases) {
        CarObject self;
        CarObject otherCar;
        Body plain;
        BuildBoxHull(self, 1.0f, 1.0f, 1.0f);
        Place(self, {0, 0, 0});
        self.moving = 1;
        RigidBody &other = c.otherIsCar ? static_cast<RigidBody &>(otherCar) : plain;
        other.moving = 0;
        other.touched = 0;
        self.points[0].probe.fraction = 100;
        self.points[0].probe.otherBody = &other;
        lessonReports = 0;
        lessonCar = c.lesson == 1 ? &self : (c.lesson == 2 ? &otherCar : nullptr);
        CollidingCar = &self;
        self.FinishContacts();
        CollidingCar = nullptr;
        EXPECT_EQ(lessonReports, c.reports) << c.name;
        EXPECT_EQ(self.touched, 1) << c.name;
        EXPECT_EQ(other.touched, 1) << c.name;
        EXPECT_EQ(self.points[0].contactKind, 1) << c.name;
        self.FreeGeometry();
    }
    VehicleRaceHooks = {};
}

TEST(RigidBodyContacts, TwoRestingBodiesDoNotTouch) {
    Body self;
    Body other;
    BuildBoxHull(self, 1.0f, 1.0f, 1.0f);
    Place(self, {0, 0, 0});
    self.moving = 0;
    other.moving = 0;
    other.touched = 0;
    self.points[0].probe.fraction = 100;
    self.points[0].probe.otherBody = &other;
    self.FinishContacts();
    EXPECT_EQ(self.touched, 0);
    EXPECT_EQ(other.touched, 0);
    EXPECT_EQ(self.points[0].contactKind, 1);
}

}  // namespace
