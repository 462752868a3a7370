#pragma once

#include <cstdint>

struct DataStream;

// 16.16 fixed-point geometry.
//
// World positions, orientation matrices and the transforms of placed objects
// are 32-bit integers with 16 fraction bits (65536 = 1.0, or 1 metre as a
// position), so every program in a race computes the same positions bit for
// bit. Every product is integer-only: see the dot rule in fixed_math.cpp.
//
// Angles are unsigned 16-bit, 65536 units per full turn; angle arithmetic
// wraps modulo 65536.

struct FixVector {
    int32_t x, y, z;
};
static_assert(sizeof(FixVector) == 12, "FixVector is stored as 12 bytes");

// Rows first: m[0..2] the first row, m[3..5] the second, m[6..8] the third.
// An orientation maps body coordinates to world coordinates (world = M x body).
struct FixMatrix {
    int32_t m[9];
};
static_assert(sizeof(FixMatrix) == 36, "FixMatrix is stored as 36 bytes");

// Maps a point p to matrix x p + position.
struct FixTransform {
    FixMatrix matrix;
    FixVector position;

    void Set(const FixMatrix &m, const FixVector &p);
    // out applies `b` first, then this transform.
    void Compose(const FixTransform &b, FixTransform &out) const;
    void Apply(const FixVector &p, FixVector &out) const;
    // transpose(matrix) x (p - position): exact only for orthonormal matrices.
    void ApplyInverse(const FixVector &p, FixVector &out) const;
    // The matrix, then the position.
    void Read(DataStream &stream);
};
static_assert(sizeof(FixTransform) == 48, "FixTransform is stored as 48 bytes");

// The conversion factor from fixed point to float units.
constexpr float FixToFloat = 1.0f / 65536.0f;

// Sine and cosine of every 16-bit angle in fixed point (-65536..65536).
// Filled by BuildTrigTables at start-up; read-only afterwards.
extern const int32_t (&SinTable)[65536];
extern const int32_t (&CosTable)[65536];

// Indexed by a whole-degree angle d held as a signed byte (index d & 255):
// {cos, sin} of minus d degrees for d in -90..90, {0, 0} for the rest.
extern const int32_t (&DegreeTable)[256][2];

// Shared constants: read them, never write them.
extern const FixVector &FixZeroVector;
extern const FixVector &FixUnitX;
extern const FixVector &FixUnitY;
extern const FixVector &FixUnitZ;
extern const FixMatrix &FixIdentityMatrix;
extern const FixTransform &IdentityTransform;

// Start-up, in this order, before anything reads the tables.
void BuildTrigTables();
void InitIdentityTransform();

// Two's-complement sum and difference of 16.16 values: positions wrap at the
// ends of the 32-bit range instead of overflowing.
inline int32_t WrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline int32_t WrapSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Products (out may be the same object as an input).
void MultiplyFixMatrix(const FixMatrix &a, const FixMatrix &b, FixMatrix &out);
void TransformFixVector(const FixMatrix &m, const FixVector &v, FixVector &out);

// Building matrices.
void SetFixMatrix(FixMatrix &m, int32_t m0, int32_t m1, int32_t m2, int32_t m3, int32_t m4, int32_t m5,
                  int32_t m6, int32_t m7, int32_t m8);
void FixMatrixFromColumns(FixMatrix &m, const FixVector &a, const FixVector &b, const FixVector &c);
void SetFixMatrixScale(FixMatrix &m, int32_t s);
// Radians to a 16-bit angle: x 10430, truncated toward zero, wrapped to 16
// bits; a NaN or a value beyond the 32-bit range gives 0.
uint16_t AngleFromRadians(float radians);

void FixRotationX(FixMatrix &m, uint16_t angle);
void FixRotationY(FixMatrix &m, uint16_t angle);
void FixRotationZ(FixMatrix &m, uint16_t angle);
// RotationX(a) x RotationY(b), built element by element.
void FixRotationXY(FixMatrix &m, uint16_t a, uint16_t b);
// RotationZ(a) x RotationX(b).
void FixRotationZX(FixMatrix &m, uint16_t a, uint16_t b);
// RotationZ(heading) x RotationXY(pitch, roll): placed objects and views.
void FixRotationZXY(FixMatrix &m, uint16_t heading, uint16_t pitch, uint16_t roll);

// Rounded Euclidean length in the units of the components. Lengths beyond
// the 32-bit range come out as INT32_MAX.
int32_t CalcLength2D(int32_t x, int32_t y);
int32_t CalcLength3D(int32_t x, int32_t y, int32_t z);

// Scales v in place to length 65536. Returns 1, or 0 with v unchanged when
// its length is 0.
int NormaliseFixVector(FixVector &v);
// The unit vector of v, or straight up (0, 0, 65536) when v is shorter than
// 256 units (1/256 of a metre).
void NormaliseFixVectorOrUp(const FixVector &v, FixVector &out);
// The unit cross product a x b; (0, 0, 0) when a and b are parallel or one
// of them is zero.
void CrossUnitVector(const FixVector &a, const FixVector &b, FixVector &out);

// Distance in metres between two positions, over all three axes or over the
// first two.
float FixDistance3D(const FixVector &a, const FixVector &b);
float FixDistance2D(const FixVector &a, const FixVector &b);
// Raises *max to the squared length of v in square metres when that is
// greater (bounding radii).
void KeepMaxSquaredLength(float *max, const FixVector &v);

// Conversions with float matrices (nine floats, rows first).
void FloatMatrixToFix(const float m[9], FixMatrix &out);
void FloatMatrixFromFix(float out[9], const FixMatrix &m);
// out = position + the rounded 65536 x (m x v), per axis.
void FloatToFixPosition(const float m[9], const float v[3], const FixVector &position, FixVector &out);
// Rotation by `angle` radians about the unit axis (x, y, z).
void SetFloatAxisRotation(float out[9], float x, float y, float z, float angle);

// File fields: three, nine or twelve little-endian 32-bit integers.
void ReadFixVector(FixVector &v, DataStream &stream);
void WriteFixVector(const FixVector &v, DataStream &stream);
void ReadFixMatrix(FixMatrix &m, DataStream &stream);
