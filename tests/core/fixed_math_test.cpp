#include "core/fixed_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "core/data_stream.h"
#include "core/float_matrix.h"

namespace {

// FNV-1a 64 over the little-endian bytes of every SinTable entry, then every
// CosTable entry. Every program in a race must build the same tables; re-pin
// this value only when the deterministic float maths deliberately changes.
constexpr uint64_t TrigTablesHash = 0xb6a9081317caddcbULL;

constexpr int32_t One = 65536;

uint64_t HashTables() {
    uint64_t hash = 0xcbf29ce484222325ULL;
    auto add = [&hash](const int32_t (&table)[65536]) {
        for (int32_t entry : table) {
            const uint32_t bits = static_cast<uint32_t>(entry);
            for (int byte = 0; byte < 4; byte++) {
                hash ^= (bits >> (8 * byte)) & 0xFF;
                hash *= 0x100000001b3ULL;
            }
        }
    };
    add(SinTable);
    add(CosTable);
    return hash;
}

class FixedMathTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        BuildTrigTables();
        InitIdentityTransform();
    }
};

void ExpectVector(const FixVector &v, int32_t x, int32_t y, int32_t z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

void ExpectNear(const FixVector &a, const FixVector &b, int32_t tolerance) {
    EXPECT_LE(std::abs(a.x - b.x), tolerance) << a.x << " vs " << b.x;
    EXPECT_LE(std::abs(a.y - b.y), tolerance) << a.y << " vs " << b.y;
    EXPECT_LE(std::abs(a.z - b.z), tolerance) << a.z << " vs " << b.z;
}

TEST_F(FixedMathTest, TrigTablesHoldExactQuarterTurns) {
    struct Case {
        int angle;
        int32_t sin, cos;
    };
    const Case cases[] = {
        {0, 0, One}, {16384, One, 0}, {32768, 0, -One}, {49152, -One, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.angle);
        EXPECT_EQ(SinTable[c.angle], c.sin);
        EXPECT_EQ(CosTable[c.angle], c.cos);
    }
    // 45 degrees: 65536 / sqrt(2) = 46340.95 rounds up.
    EXPECT_EQ(SinTable[8192], 46341);
    EXPECT_EQ(CosTable[8192], 46341);
}

TEST_F(FixedMathTest, DegreeTableHoldsMinusDegreesAndZerosOutsideRange) {
    struct Case {
        int index;
        int32_t cos, sin;
    };
    const Case cases[] = {
        {0, One, 0},         // 0 degrees
        {1, 65526, -1144},   // d = 1: cos 1, -sin 1
        {255, 65526, 1144},  // d = -1
        {90, 0, -One},       // d = 90
        {166, 0, One},       // d = -90
        {91, 0, 0},          // d = 91: outside the table
        {100, 0, 0},
        {127, 0, 0},
        {128, 0, 0},         // d = -128
        {165, 0, 0},         // d = -91
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(DegreeTable[c.index][0], c.cos);
        EXPECT_EQ(DegreeTable[c.index][1], c.sin);
    }
}

TEST_F(FixedMathTest, TrigTablesMatchPinnedHash) {
    EXPECT_EQ(HashTables(), TrigTablesHash) << std::hex << "0x" << HashTables();
}

TEST_F(FixedMathTest, SharedConstants) {
    ExpectVector(FixZeroVector, 0, 0, 0);
    ExpectVector(FixUnitX, One, 0, 0);
    ExpectVector(FixUnitY, 0, One, 0);
    ExpectVector(FixUnitZ, 0, 0, One);
    const int32_t identity[9] = {One, 0, 0, 0, One, 0, 0, 0, One};
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(FixIdentityMatrix.m[i], identity[i]);
        EXPECT_EQ(IdentityTransform.matrix.m[i], identity[i]);
    }
    ExpectVector(IdentityTransform.position, 0, 0, 0);
}

TEST_F(FixedMathTest, ProductsFollowTheDotRule) {
    const FixVector vectors[] = {
        {0, 0, 0}, {1, -1, 7}, {-123456789, 987654321, -1}, {INT32_MAX, INT32_MIN, 65536},
    };
    for (const FixVector &v : vectors) {
        FixVector out;
        TransformFixVector(FixIdentityMatrix, v, out);
        ExpectVector(out, v.x, v.y, v.z);
    }

    // The shift rounds toward minus infinity: -1 x 1 gives -1, not 0.
    FixMatrix m;
    SetFixMatrix(m, -1, 0, 0, 0, 1, 0, 0, 0, 0);
    FixVector out;
    TransformFixVector(m, {1, 1, 0}, out);
    ExpectVector(out, -1, 0, 0);

    // Three products of 2^62 overflow 64 bits and wrap; 3 x 2^62 wraps to
    // -2^62, whose shifted low 32 bits are 0.
    SetFixMatrix(m, INT32_MIN, INT32_MIN, INT32_MIN, 0, 0, 0, 0, 0, 0);
    TransformFixVector(m, {INT32_MIN, INT32_MIN, INT32_MIN}, out);
    EXPECT_EQ(out.x, 0);

    // Matrix products keep the same rule and accept out aliasing an input.
    FixMatrix a;
    SetFixMatrix(a, -1, 2, 0, 0, One, 0, 3, 0, One);
    MultiplyFixMatrix(a, FixIdentityMatrix, a);
    const int32_t expected[9] = {-1, 2, 0, 0, One, 0, 3, 0, One};
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(a.m[i], expected[i]) << i;
}

TEST_F(FixedMathTest, MatrixBuilders) {
    FixMatrix m;
    FixMatrixFromColumns(m, {1, 2, 3}, {4, 5, 6}, {7, 8, 9});
    const int32_t columns[9] = {1, 4, 7, 2, 5, 8, 3, 6, 9};
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(m.m[i], columns[i]) << i;

    SetFixMatrixScale(m, 2 * One);
    FixVector out;
    TransformFixVector(m, {3, -4, 5}, out);
    ExpectVector(out, 6, -8, 10);
}

TEST_F(FixedMathTest, QuarterTurnRotationsMapAxes) {
    struct Case {
        const char *name;
        void (*build)(FixMatrix &, uint16_t);
        FixVector in, out;
    };
    const Case cases[] = {
        {"Z", FixRotationZ, {One, 0, 0}, {0, One, 0}},
        {"X", FixRotationX, {0, One, 0}, {0, 0, One}},
        {"Y", FixRotationY, {0, 0, One}, {One, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FixMatrix m;
        c.build(m, 16384);
        FixVector out;
        TransformFixVector(m, c.in, out);
        ExpectVector(out, c.out.x, c.out.y, c.out.z);
    }

    // Heading is applied last: X then Z for the first, pitch about X first.
    FixMatrix m;
    FixVector out;
    FixRotationZXY(m, 16384, 16384, 0);
    TransformFixVector(m, FixUnitY, out);
    ExpectVector(out, 0, 0, One);
    TransformFixVector(m, FixUnitX, out);
    ExpectVector(out, 0, One, 0);
    FixRotationZX(m, 16384, 16384);
    TransformFixVector(m, FixUnitY, out);
    ExpectVector(out, 0, 0, One);
    TransformFixVector(m, FixUnitX, out);
    ExpectVector(out, 0, One, 0);
}

TEST_F(FixedMathTest, RotationXYNegatesAfterTheShift) {
    // At 45 degrees sin = cos = 46341 and 46341^2 >> 16 = 32768 (remainder
    // non-zero), so -(x >> 16) = -32768 where (-x) >> 16 would give -32769.
    FixMatrix m;
    FixRotationXY(m, 8192, 8192);
    const int32_t expected[9] = {46341, 0, 46341, 32768, 46341, -32768, -32768, 46341, 32768};
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(m.m[i], expected[i]) << i;
}

TEST_F(FixedMathTest, RotationXYMatchesProductWithinAUnit) {
    for (int a = 0; a < 65536; a += 4099) {
        for (int b = 0; b < 65536; b += 5003) {
            FixMatrix x, y, product, direct;
            FixRotationX(x, static_cast<uint16_t>(a));
            FixRotationY(y, static_cast<uint16_t>(b));
            MultiplyFixMatrix(x, y, product);
            FixRotationXY(direct, static_cast<uint16_t>(a), static_cast<uint16_t>(b));
            for (int i = 0; i < 9; i++)
                ASSERT_LE(std::abs(product.m[i] - direct.m[i]), 1) << a << " " << b << " " << i;
        }
    }
}

TEST_F(FixedMathTest, TransformComposeAppliesSecondFirst) {
    FixTransform a, b, ab;
    FixMatrix turn;
    FixRotationZ(turn, 16384);
    a.Set(turn, {1, 2, 3});
    b.Set(FixIdentityMatrix, {10 * One, 0, 0});
    a.Compose(b, ab);
    ExpectVector(ab.position, 1, 10 * One + 2, 3);

    FixVector viaComposed, viaB, viaBoth;
    ab.Apply({One, 0, 0}, viaComposed);
    b.Apply({One, 0, 0}, viaB);
    a.Apply(viaB, viaBoth);
    ExpectVector(viaComposed, viaBoth.x, viaBoth.y, viaBoth.z);
    ExpectVector(viaComposed, 1, 11 * One + 2, 3);

    // Positions wrap in 32 bits rather than overflow.
    FixTransform edge;
    edge.Set(FixIdentityMatrix, {INT32_MAX, 0, 0});
    FixVector out;
    edge.Apply({1, 0, 0}, out);
    EXPECT_EQ(out.x, INT32_MIN);
    edge.ApplyInverse(out, out);
    EXPECT_EQ(out.x, 1);
}

TEST_F(FixedMathTest, ApplyInverseUndoesApplyForRotations) {
    // Table rotations are orthonormal to about 1/65536, so a point within a
    // metre of the origin comes back within two units.
    const FixVector points[] = {{0, 0, 0}, {One, 0, 0}, {-37000, 37000, 37000}, {12345, -54321, 9999}};
    void (*const builders[])(FixMatrix &, uint16_t) = {FixRotationX, FixRotationY, FixRotationZ};
    for (auto build : builders) {
        for (int angle = 0; angle < 65536; angle += 997) {
            FixTransform t;
            build(t.matrix, static_cast<uint16_t>(angle));
            t.position = {angle * 1000, -angle * 300, 5 * One};
            for (const FixVector &p : points) {
                FixVector world, back;
                t.Apply(p, world);
                t.ApplyInverse(world, back);
                ExpectNear(back, p, 2);
            }
        }
    }
}

TEST_F(FixedMathTest, CalcLengthRoundsThroughSinglePrecision) {
    EXPECT_EQ(CalcLength2D(3, 4), 5);
    EXPECT_EQ(CalcLength2D(-3, -4), 5);
    EXPECT_EQ(CalcLength2D(0, 0), 0);
    EXPECT_EQ(CalcLength3D(1, 1, 1), 2);  // 1.732 rounds up
    EXPECT_EQ(CalcLength3D(2, 3, 6), 7);
    // Above 2^24 units the root is held in single precision first.
    EXPECT_EQ(CalcLength3D(16777217, 0, 0), 16777216);
    // Beyond the 32-bit range the length saturates instead of wrapping.
    EXPECT_EQ(CalcLength2D(INT32_MAX, INT32_MAX), INT32_MAX);
    EXPECT_EQ(CalcLength3D(INT32_MIN, INT32_MIN, INT32_MIN), INT32_MAX);
}

TEST_F(FixedMathTest, NormaliseFixVector) {
    struct Case {
        FixVector in;
        int result;
        FixVector out;
    };
    const Case cases[] = {
        {{3, 4, 0}, 1, {39321, 52428, 0}},
        {{-3, 0, -4}, 1, {-39321, 0, -52428}},  // truncation toward zero
        {{0, 0, 0}, 0, {0, 0, 0}},
        {{0, 0, -7}, 1, {0, 0, -One}},
        // Longer than the 32-bit length range: still a unit vector.
        {{INT32_MAX, INT32_MAX, INT32_MAX}, 1, {37837, 37837, 37837}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.in.x << "," << c.in.y << "," << c.in.z);
        FixVector v = c.in;
        EXPECT_EQ(NormaliseFixVector(v), c.result);
        ExpectVector(v, c.out.x, c.out.y, c.out.z);
    }
}

TEST_F(FixedMathTest, NormaliseFixVectorOrUp) {
    struct Case {
        FixVector in, out;
    };
    const Case cases[] = {
        {{100, 0, 0}, {0, 0, One}},
        {{0, 0, 0}, {0, 0, One}},
        {{0, -255, 0}, {0, 0, One}},
        {{256, 0, 0}, {One, 0, 0}},
        {{181, 181, 0}, {46336, 46336, 0}},  // 255.97 rounds to 256
        {{0, 0, -3 * One}, {0, 0, -One}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.in.x << "," << c.in.y << "," << c.in.z);
        FixVector out;
        NormaliseFixVectorOrUp(c.in, out);
        ExpectVector(out, c.out.x, c.out.y, c.out.z);
    }
}

TEST_F(FixedMathTest, CrossUnitVector) {
    struct Case {
        FixVector a, b, out;
    };
    const Case cases[] = {
        {{One, 0, 0}, {0, One, 0}, {0, 0, One}},
        {{0, One, 0}, {One, 0, 0}, {0, 0, -One}},
        {{0, One, 0}, {0, 0, One}, {One, 0, 0}},
        {{2 * One, 0, 0}, {0, 0, 3 * One}, {0, -One, 0}},  // lengths do not matter
        {{One, One, 0}, {0, 0, One}, {46341, -46341, 0}},
        {{5, -7, 9}, {5, -7, 9}, {0, 0, 0}},              // parallel
        {{One, 2 * One, 3 * One}, {-2, -4, -6}, {0, 0, 0}}, // anti-parallel
        {{0, 0, 0}, {0, One, 0}, {0, 0, 0}},              // zero
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.a.x << "," << c.a.y << "," << c.a.z << " x " << c.b.x << ","
                                          << c.b.y << "," << c.b.z);
        FixVector out;
        CrossUnitVector(c.a, c.b, out);
        ExpectVector(out, c.out.x, c.out.y, c.out.z);
    }
}

TEST_F(FixedMathTest, DistancesInMetres) {
    const FixVector origin = {0, 0, 0};
    const FixVector p = {3 * One, 4 * One, 12 * One};
    EXPECT_FLOAT_EQ(FixDistance3D(origin, p), 13.0f);
    EXPECT_FLOAT_EQ(FixDistance2D(origin, p), 5.0f);
    EXPECT_FLOAT_EQ(FixDistance3D(p, origin), 13.0f);
    // The differences wrap in 32 bits: these are one unit apart.
    EXPECT_FLOAT_EQ(FixDistance3D({INT32_MAX, 0, 0}, {INT32_MIN, 0, 0}), 1.0f / 65536.0f);

    float max = 0.0f;
    KeepMaxSquaredLength(&max, {3 * One, 0, 4 * One});
    EXPECT_FLOAT_EQ(max, 25.0f);
    KeepMaxSquaredLength(&max, {One, 0, 0});
    EXPECT_FLOAT_EQ(max, 25.0f);
    KeepMaxSquaredLength(&max, {0, -6 * One, 0});
    EXPECT_FLOAT_EQ(max, 36.0f);
}

TEST_F(FixedMathTest, FloatToFixRoundsToNearestEven) {
    // Element k / 65536 must become nearest(k), never truncated.
    const float k[9] = {0.5f, 1.5f, 2.5f, -1.5f, -0.4f, 0.6f, 65536.0f, -32768.0f, -0.5f};
    const int32_t expected[9] = {0, 2, 2, -2, 0, 1, One, -32768, 0};
    float m[9];
    for (int i = 0; i < 9; i++)
        m[i] = k[i] / 65536.0f;
    FixMatrix fix;
    FloatMatrixToFix(m, fix);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(fix.m[i], expected[i]) << i;

    float back[9];
    FloatMatrixFromFix(back, fix);
    EXPECT_EQ(back[6], 1.0f);
    EXPECT_EQ(back[7], -0.5f);

    // Values outside the 32-bit range do not invoke undefined conversions.
    const float wild[9] = {1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0, 0, 0, 0};
    FloatMatrixToFix(wild, fix);
    EXPECT_EQ(fix.m[0], INT32_MIN);
    EXPECT_EQ(fix.m[2], INT32_MIN);
}

TEST_F(FixedMathTest, FloatToFixPosition) {
    const float turn[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};  // quarter turn about z
    const float v[3] = {1.5f, -2.0f, 0.5f / 65536.0f};
    FixVector out;
    FloatToFixPosition(turn, v, {1, 2, 3}, out);
    ExpectVector(out, 1 + 2 * One, 2 + 98304, 3);
}

TEST_F(FixedMathTest, AxisRotation) {
    // About the third axis it is the plain rotation about z.
    float axis[9], plain[9];
    SetFloatAxisRotation(axis, 0.0f, 0.0f, 1.0f, 0.7f);
    SetFloatRotationZ(plain, 0.7f);
    for (int i = 0; i < 9; i++)
        EXPECT_FLOAT_EQ(axis[i] + 1.0f, plain[i] + 1.0f) << i;

    // About any unit axis it is orthonormal and leaves the axis fixed.
    const float x = 0.48f, y = -0.6f, z = 0.64f;
    SetFloatAxisRotation(axis, x, y, z, 2.1f);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            const float dot = axis[i * 3] * axis[j * 3] + axis[i * 3 + 1] * axis[j * 3 + 1] +
                              axis[i * 3 + 2] * axis[j * 3 + 2];
            EXPECT_NEAR(dot, i == j ? 1.0f : 0.0f, 1e-6f) << i << j;
        }
    }
    EXPECT_NEAR(axis[0] * x + axis[1] * y + axis[2] * z, x, 1e-6f);
    EXPECT_NEAR(axis[3] * x + axis[4] * y + axis[5] * z, y, 1e-6f);
    EXPECT_NEAR(axis[6] * x + axis[7] * y + axis[8] * z, z, 1e-6f);
}

TEST_F(FixedMathTest, FileFieldsRoundTrip) {
    const char *path = "fixed_math_test_fields.bin";
    FixTransform written;
    FixRotationZXY(written.matrix, 1000, 20000, 60000);
    written.position = {-5 * One, INT32_MIN, INT32_MAX};
    const FixVector extra = {-1, 0x12345678, 7};

    DataStream out;
    out.OpenWrite(nullptr, path, "KZVTST", 1);
    ASSERT_NE(out.file, nullptr);
    for (int i = 0; i < 9; i++)
        out.WriteU32(static_cast<uint32_t>(written.matrix.m[i]));
    WriteFixVector(written.position, out);
    WriteFixVector(extra, out);
    ASSERT_EQ(out.Close(), 0);
    // Header, 48-byte transform, 12-byte vector.
    EXPECT_EQ(GetFileSize(path), 8 + 48 + 12);

    DataStream in;
    int version = 0;
    in.OpenRead(nullptr, path, "KZVTST", &version, 1, 1);
    ASSERT_NE(in.file, nullptr);
    FixTransform read;
    read.Read(in);
    FixVector readExtra;
    ReadFixVector(readExtra, in);
    in.Close();
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(read.matrix.m[i], written.matrix.m[i]) << i;
    ExpectVector(read.position, written.position.x, written.position.y, written.position.z);
    ExpectVector(readExtra, -1, 0x12345678, 7);

    // The same bytes read as a bare matrix, little-endian.
    FILE *file = std::fopen(path, "rb");
    ASSERT_NE(file, nullptr);
    uint8_t bytes[8 + 60];
    ASSERT_EQ(std::fread(bytes, 1, sizeof bytes, file), sizeof bytes);
    std::fclose(file);
    const uint8_t extraBytes[12] = {0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12, 7, 0, 0, 0};
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(bytes[8 + 48 + i], extraBytes[i]) << i;

    DataStream memory;
    memory.OpenMemory(bytes, sizeof bytes, &version);
    FixMatrix matrix;
    ReadFixMatrix(matrix, memory);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(matrix.m[i], written.matrix.m[i]) << i;
    std::remove(path);
}

} // namespace

TEST(FixedMathAngles, RadiansTruncateAndWrap)
{
    const struct {
        float radians;
        uint16_t angle;
    } cases[] = {
        {0.0f, 0},
        {1.5707964f, 16383},  // 16383.4 truncates
        {-1.0f, 55106},       // -10430 wraps
        {7.0f, 7474},         // 73010 wraps past a full turn
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {1e10f, 0},           // beyond the 32-bit range
    };
    for (const auto &c : cases)
        EXPECT_EQ(AngleFromRadians(c.radians), c.angle) << c.radians;
}
