#include "core/float_matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float Identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

void ExpectMatrixNear(const float *a, const float *b, float tolerance) {
    for (int i = 0; i < 9; i++)
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

TEST(FloatMatrixTest, ProductWithIdentityAndAliasing) {
    const float m[9] = {1, 2, 3, -4, 5, -6, 7.5f, 8, 9};
    float out[9];
    MultiplyFloatMatrix(m, Identity, out);
    ExpectMatrixNear(out, m, 0.0f);
    MultiplyFloatMatrix(Identity, m, out);
    ExpectMatrixNear(out, m, 0.0f);

    // Row times column, with out the same array as an input.
    float a[9] = {1, 2, 0, 0, 1, 0, 0, 0, 1};
    const float b[9] = {1, 0, 0, 3, 1, 0, 0, 0, 2};
    MultiplyFloatMatrix(a, b, a);
    const float expected[9] = {7, 2, 0, 3, 1, 0, 0, 0, 2};
    ExpectMatrixNear(a, expected, 0.0f);
}

TEST(FloatMatrixTest, RotationInverseIsTranspose) {
    float r[9], inverse[9];
    SetFloatRotationZ(r, 0.5f);
    InvertFloatMatrix(inverse, r);
    const float transpose[9] = {r[0], r[3], r[6], r[1], r[4], r[7], r[2], r[5], r[8]};
    ExpectMatrixNear(inverse, transpose, 1e-6f);
    EXPECT_NEAR(r[3], std::sin(0.5f), 1e-6f);  // positive angle turns x toward y
}

TEST(FloatMatrixTest, InverseOfGeneralMatrix) {
    float m[9] = {2, 1, 0, 0, 3, -1, 4, 0, 1};
    const float original[9] = {2, 1, 0, 0, 3, -1, 4, 0, 1};
    InvertFloatMatrix(m, m);  // in place
    float product[9];
    MultiplyFloatMatrix(original, m, product);
    ExpectMatrixNear(product, Identity, 1e-6f);
}

TEST(FloatMatrixTest, RotationXYIsXTimesY) {
    const float b = 0.8f;
    float m[9];
    SetFloatRotationXY(m, 0.0f, b);
    const float aboutY[9] = {std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b)};
    ExpectMatrixNear(m, aboutY, 1e-6f);

    float x[9], y[9], product[9];
    SetFloatRotationXY(x, 1.1f, 0.0f);
    SetFloatRotationXY(y, 0.0f, -0.4f);
    MultiplyFloatMatrix(x, y, product);
    SetFloatRotationXY(m, 1.1f, -0.4f);
    ExpectMatrixNear(m, product, 1e-6f);
    EXPECT_NEAR(x[7], std::sin(1.1f), 1e-6f);  // positive angle turns y toward z
}

TEST(FloatMatrixTest, Vector2D) {
    Vector2D v = {3, 4};
    EXPECT_FLOAT_EQ(Length2D(v), 5.0f);
    EXPECT_FLOAT_EQ(LengthSquared2D(v), 25.0f);
    EXPECT_FLOAT_EQ(Normalise2D(v), 5.0f);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);

    v = {3, 4};
    ScaleToLength2D(v, 10.0f);
    EXPECT_FLOAT_EQ(v.x, 6.0f);
    EXPECT_FLOAT_EQ(v.y, 8.0f);

    v = {-3, 4};
    ScaleToLength2D(v, -5.0f);  // a negative length reverses it
    EXPECT_FLOAT_EQ(v.x, 3.0f);
    EXPECT_FLOAT_EQ(v.y, -4.0f);
}

TEST(FloatMatrixTest, ZeroVector2DStaysZero) {
    Vector2D v = {0, 0};
    EXPECT_EQ(Normalise2D(v), 0.0f);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    ScaleToLength2D(v, 3.0f);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
}

} // namespace
