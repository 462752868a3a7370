#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/containers.h"
#include "core/float_math.h"
#include "vehicle/movable_hull.h"
#include "vehicle/rigid_body.h"
#include "vehicle/solid_link.h"

namespace {

struct Link {
    int a, b;
    int collide;
};

struct HullResult {
    std::string message;
    int points;
    int faces;
};

// A lathe object's profile (radius, height) and links, held for one build.
struct Lathe {
    std::vector<FloatPair> profile;
    std::vector<SolidLink> links;
    FloatPairTable table;

    Lathe(std::vector<FloatPair> points, const std::vector<Link> &linkList) : profile(std::move(points)) {
        for (const Link &l : linkList) {
            SolidLink link = {};
            link.collide = static_cast<uint8_t>(l.collide);
            link.curveA = static_cast<uint8_t>(l.a);
            link.curveB = static_cast<uint8_t>(l.b);
            links.push_back(link);
        }
        table.count = static_cast<uint32_t>(profile.size());
        table.pairs = profile.data();
    }

    const char *Build(RigidBody &body, float scale = 1.0f) const {
        return BuildMovableObjectHull(table, links.data(), static_cast<uint32_t>(links.size()), body, scale);
    }
};

const char *const Ok = ": OK";
const char *const Unusable = ": No Physics - Unusable surface found";
const char *const TooManyTriangles = ": No physics - More than 42 triangles";
const char *const NoTriangles = ": No physics - No triangles";
const char *const TooManyPoints = ": No physics - More than 24 points";

std::vector<FloatPair> ManyPoints(int count) {
    std::vector<FloatPair> points;
    for (int i = 0; i < count; ++i)
        points.push_back({1.0f, static_cast<float>(count - i)});
    return points;
}

TEST(BuildMovableObjectHullTest, CountsAndRefusals) {
    struct Case {
        const char *name;
        std::vector<FloatPair> profile;
        std::vector<Link> links;
        const char *message;
        int points, faces;
    };
    const Case cases[] = {
        {"axis to rim", {{0.0f, 1.0f}, {1.0f, 0.0f}}, {{0, 1, 1}}, Ok, 7, 6},
        {"negative zero radius is on the axis", {{-0.0f, 1.0f}, {1.0f, 0.0f}}, {{0, 1, 1}}, Ok, 7, 6},
        {"two off-axis links sharing a point", {{1.0f, 1.0f}, {1.0f, 0.5f}, {1.0f, 0.0f}}, {{0, 1, 1}, {1, 2, 1}}, Ok,
         18, 24},
        {"36 triangles, 24 points", ManyPoints(4), {{0, 1, 1}, {1, 2, 1}, {2, 3, 1}}, Ok, 24, 36},
        {"48 triangles beat 30 points", ManyPoints(5), {{0, 1, 1}, {1, 2, 1}, {2, 3, 1}, {3, 4, 1}},
         TooManyTriangles, 0, 0},
        {"36 triangles on 36 points", ManyPoints(6), {{0, 1, 1}, {2, 3, 1}, {4, 5, 1}}, TooManyPoints, 0, 0},
        {"both points on the axis, after a good link", {{0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}},
         {{0, 2, 1}, {0, 1, 1}}, Unusable, 0, 0},
        {"links that do not collide are ignored", {{0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}},
         {{0, 1, 0}, {200, 250, 0}, {0, 2, 1}}, Ok, 7, 6},
        {"no colliding link", {{0.0f, 1.0f}, {1.0f, 0.0f}}, {{0, 1, 0}}, NoTriangles, 0, 0},
        {"no links", {{0.0f, 1.0f}, {1.0f, 0.0f}}, {}, NoTriangles, 0, 0},
        // Point indices come from world files: one past the profile, or past
        // the 64 profile points a lathe may have, is refused.
        {"index past the profile", {{0.0f, 1.0f}, {1.0f, 0.0f}}, {{0, 2, 1}}, Unusable, 0, 0},
        {"index above 63", ManyPoints(100), {{0, 64, 1}}, Unusable, 0, 0},
        {"index 255", ManyPoints(3), {{255, 0, 1}}, Unusable, 0, 0},
        {"index 63 of 64 points", ManyPoints(64), {{62, 63, 1}}, Ok, 12, 12},
    };
    for (const Case &c : cases) {
        Lathe lathe(c.profile, c.links);
        RigidBody body(1, 0, nullptr);
        const char *message = lathe.Build(body);
        EXPECT_STREQ(message, c.message) << c.name;
        EXPECT_EQ(body.pointCount, c.points) << c.name;
        EXPECT_EQ(body.faceCount, c.faces) << c.name;
        if (c.message != Ok) {
            EXPECT_EQ(body.points, nullptr) << c.name;
            EXPECT_EQ(body.faces, nullptr) << c.name;
        }
        body.FreeGeometry();
    }
}

TEST(BuildMovableObjectHullTest, RingsAreScaledSixthTurns) {
    Lathe lathe({{0.0f, 1.0f}, {2.0f, 0.5f}}, {{0, 1, 1}});
    RigidBody body(1, 0, nullptr);
    ASSERT_STREQ(lathe.Build(body, 0.5f), Ok);
    // Point 0: the axis point; then ring 0 of the rim, then rings 1 to 5.
    EXPECT_EQ(body.points[0].local[0], 0.0f);
    EXPECT_EQ(body.points[0].local[1], 0.0f);
    EXPECT_EQ(body.points[0].local[2], 0.5f);
    const float pi = 3.14159265f;
    for (int k = 0; k < 6; ++k) {
        const float *local = body.points[1 + k].local;
        const float angle = static_cast<float>(k) * pi / 3.0f;
        EXPECT_NEAR(local[0], -std::sin(angle), 1e-5f) << "ring " << k;
        EXPECT_NEAR(local[1], std::cos(angle), 1e-5f) << "ring " << k;
        EXPECT_EQ(local[2], 0.25f) << "ring " << k;
    }
    // The rest of each point is clear.
    for (int i = 0; i < body.pointCount; ++i) {
        EXPECT_EQ(body.points[i].phase, 0);
        EXPECT_EQ(body.points[i].probe.fraction, 0);
    }
    body.FreeGeometry();
}

// Area-weighted normal sum (zero for a closed hull) and the smallest outward
// component of the face normals as seen from an inside point.
void CheckClosedAndOutward(const RigidBody &body, float insideZ, bool outward, const char *name) {
    double sum[3] = {0.0, 0.0, 0.0};
    for (int f = 0; f < body.faceCount; ++f) {
        const CollisionFace &face = body.faces[f];
        const float *a = face.corners[0]->local;
        const float *b = face.corners[1]->local;
        const float *c = face.corners[2]->local;
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        sum[0] += u[1] * v[2] - u[2] * v[1];
        sum[1] += u[2] * v[0] - u[0] * v[2];
        sum[2] += u[0] * v[1] - u[1] * v[0];
        const float centre[3] = {(a[0] + b[0] + c[0]) / 3.0f, (a[1] + b[1] + c[1]) / 3.0f,
                                 (a[2] + b[2] + c[2]) / 3.0f - insideZ};
        const float *n = face.localNormal;
        const float away = n[0] * centre[0] + n[1] * centre[1] + n[2] * centre[2];
        if (outward)
            EXPECT_GT(away, 0.0f) << name << " face " << f;
        else
            EXPECT_LT(away, 0.0f) << name << " face " << f;
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f) << name << " face " << f;
    }
    EXPECT_NEAR(sum[0], 0.0, 1e-5) << name;
    EXPECT_NEAR(sum[1], 0.0, 1e-5) << name;
    EXPECT_NEAR(sum[2], 0.0, 1e-5) << name;
}

TEST(BuildMovableObjectHullTest, NormalsFollowTheLinkDirection) {
    struct Case {
        const char *name;
        std::vector<FloatPair> profile;
        std::vector<Link> links;
        float insideZ;
    };
    // Every link runs from its upper to its lower profile point.
    const Case cases[] = {
        {"double cone", {{0.0f, 1.0f}, {1.0f, 0.5f}, {0.0f, 0.0f}}, {{0, 1, 1}, {1, 2, 1}}, 0.5f},
        {"barrel", {{0.0f, 1.0f}, {0.4f, 0.9f}, {0.5f, 0.5f}, {0.4f, 0.1f}, {0.0f, 0.0f}},
         {{0, 1, 1}, {1, 2, 1}, {2, 3, 1}, {3, 4, 1}}, 0.5f},
        {"cone with profile points in another order", {{1.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.8f}},
         {{2, 0, 1}, {0, 1, 1}}, 0.3f},
    };
    for (const Case &c : cases) {
        Lathe lathe(c.profile, c.links);
        RigidBody body(1, 0, nullptr);
        ASSERT_STREQ(lathe.Build(body), Ok) << c.name;
        CheckClosedAndOutward(body, c.insideZ, true, c.name);
        body.FreeGeometry();

        // The same links the other way round turn every normal inwards.
        std::vector<Link> reversed;
        for (const Link &l : c.links)
            reversed.push_back({l.b, l.a, l.collide});
        Lathe inverted(c.profile, reversed);
        RigidBody inside(1, 0, nullptr);
        ASSERT_STREQ(inverted.Build(inside), Ok) << c.name;
        CheckClosedAndOutward(inside, c.insideZ, false, c.name);
        inside.FreeGeometry();
    }
}

TEST(BuildMovableObjectHullTest, ReplacesTheOldHull) {
    Lathe cone({{0.0f, 1.0f}, {1.0f, 0.0f}}, {{0, 1, 1}});
    Lathe tube({{1.0f, 1.0f}, {1.0f, 0.0f}}, {{0, 1, 1}});
    RigidBody body(1, 0, nullptr);
    ASSERT_STREQ(cone.Build(body), Ok);
    ASSERT_STREQ(tube.Build(body), Ok);
    EXPECT_EQ(body.pointCount, 12);
    EXPECT_EQ(body.faceCount, 12);
    body.FreeGeometry();
}

}  // namespace
