#include <gtest/gtest.h>

#include <cmath>

#include "vehicle/body_parts.h"

namespace {

// Two bones; bone 1 is turned a quarter turn about z.
void MakeSet(BodyPartSet &set) {
    set.count = 2;
    set.parts = new BodyPart[2];
    const float turned[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    const float tilted[9] = {1, 0, 0, 0, 0.6f, -0.8f, 0, 0.8f, 0.6f};
    for (int e = 0; e < 9; e++) {
        set.parts[0].orientation[e] = tilted[e];
        set.parts[1].orientation[e] = turned[e];
    }
    set.parts[0].position = {65536 * 3 + 7, -12345, 99};
    set.parts[1].position = {-1000001, 2, 65536 * 100};
}

} // namespace

TEST(BodyParts, PartIsAContactCarrierWithoutFaces) {
    BodyPart part;
    EXPECT_EQ(part.GetType(), 2);
    EXPECT_EQ(part.usable, 1);
    EXPECT_EQ(part.pointCount, 8);
    ASSERT_NE(part.points, nullptr);
    EXPECT_EQ(part.faceCount, 0);
    EXPECT_EQ(part.faces, nullptr);
    EXPECT_EQ(part.stiffness, 18000.0f);
    EXPECT_EQ(part.friction, 0.5f);
    EXPECT_EQ(part.damping, 250.0f);
    EXPECT_EQ(part.dynamic, 1);
    EXPECT_EQ(part.moving, 1);
}

TEST(BodyParts, SaveRestoreKeepsPositionsExactly) {
    BodyPartSet set;
    MakeSet(set);
    FixTransform *saved = set.AllocPoses();
    ASSERT_NE(saved, nullptr);
    float before[2][9];
    for (int i = 0; i < 2; i++) {
        for (int e = 0; e < 9; e++)
            before[i][e] = set.parts[i].orientation[e];
        set.parts[i].position = {1, 1, 1};
        set.parts[i].orientation[0] = 5.0f;
    }
    set.RestorePoses(saved);
    EXPECT_EQ(set.parts[0].position.x, 65536 * 3 + 7);
    EXPECT_EQ(set.parts[0].position.y, -12345);
    EXPECT_EQ(set.parts[1].position.x, -1000001);
    EXPECT_EQ(set.parts[1].position.z, 65536 * 100);
    for (int i = 0; i < 2; i++)
        for (int e = 0; e < 9; e++)
            EXPECT_NEAR(set.parts[i].orientation[e], before[i][e], 1.0f / 65536.0f);
    delete[] saved;
}

TEST(BodyParts, BlendEndsAreTheTwoPoses) {
    BodyPartSet set;
    MakeSet(set);
    FixTransform *a = set.AllocPoses();
    set.parts[0].position = {-7, 400000, 3};
    set.parts[1].position = {5000000, -5000000, 0};
    set.parts[0].orientation[4] = 1.0f;
    set.parts[0].orientation[5] = 0.0f;
    FixTransform *b = set.AllocPoses();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);

    for (float t : {0.0f, 1.0f}) {
        set.BlendPoses(a, b, t);
        const FixTransform *want = t == 0.0f ? a : b;
        for (int i = 0; i < 2; i++) {
            EXPECT_EQ(set.parts[i].position.x, want[i].position.x) << t;
            EXPECT_EQ(set.parts[i].position.y, want[i].position.y) << t;
            EXPECT_EQ(set.parts[i].position.z, want[i].position.z) << t;
            float m[9];
            FloatMatrixFromFix(m, want[i].matrix);
            for (int e = 0; e < 9; e++)
                EXPECT_FLOAT_EQ(set.parts[i].orientation[e], m[e]) << t;
        }
    }
    // Halfway: positions round to the nearest unit, matrices are not
    // re-orthonormalised.
    set.BlendPoses(a, b, 0.5f);
    EXPECT_EQ(set.parts[0].position.x, std::lround((-7.0 + 65536 * 3 + 7) / 2));
    EXPECT_EQ(set.parts[1].position.y, std::lround((-5000000.0 + 2) / 2));
    EXPECT_NEAR(set.parts[0].orientation[4], 0.8f, 1e-4f);
    EXPECT_NEAR(set.parts[0].orientation[5], -0.4f, 1e-4f);
    delete[] a;
    delete[] b;
}

TEST(BodyParts, EmptySetDoesNothing) {
    BodyPartSet set;
    FixTransform *poses = set.AllocPoses();
    ASSERT_NE(poses, nullptr);
    set.RestorePoses(poses);
    set.BlendPoses(poses, poses, 0.5f);
    set.SavePoses(nullptr);
    EXPECT_EQ(set.parts, nullptr);
    delete[] poses;
}
