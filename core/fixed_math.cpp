#include "core/fixed_math.h"

#include <cmath>
#include <cstdint>

#include "core/data_stream.h"
#include "core/float_math.h"

namespace {

int32_t sinStorage[65536];
int32_t cosStorage[65536];
int32_t degreeStorage[256][2];

// Valid from program load; InitIdentityTransform sets them again at start-up.
FixVector zeroVector = {0, 0, 0};
FixVector unitX = {65536, 0, 0};
FixVector unitY = {0, 65536, 0};
FixVector unitZ = {0, 0, 65536};
FixMatrix identityMatrix = {{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}};
FixTransform identityTransform = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}};

// Round to single precision, then to the nearest integer, ties to even.
// A value outside the 32-bit range, or not a number, gives INT32_MIN, as the
// x86 conversion instruction does, rather than undefined behaviour.
int32_t Nearest(float x) {
    if (!(x >= -2147483648.0f && x < 2147483648.0f))
        return INT32_MIN;
    return static_cast<int32_t>(std::lrintf(x));
}

// The same rounding as Nearest, for values that may exceed 32 bits (lengths
// of long vectors).
int64_t NearestWide(float x) {
    if (!(x >= -9.2233720e18f && x < 9.2233720e18f))
        return INT64_MIN;
    return static_cast<int64_t>(std::llrintf(x));
}

// The dot rule of every fixed-point product: three signed 32 x 32 -> 64-bit
// products summed in 64 bits (wrapping), an arithmetic shift right by 16
// (rounding toward minus infinity: -1 x 1 gives -1), the low 32 bits kept.
int32_t Dot(int32_t a0, int32_t b0, int32_t a1, int32_t b1, int32_t a2, int32_t b2) {
    const uint64_t sum = static_cast<uint64_t>(static_cast<int64_t>(a0) * b0) +
                         static_cast<uint64_t>(static_cast<int64_t>(a1) * b1) +
                         static_cast<uint64_t>(static_cast<int64_t>(a2) * b2);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(sum) >> 16)));
}

// One product shifted right by 16, for the element-wise rotation builder.
int32_t MulShift(int32_t a, int32_t b) {
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 16);
}

// Length of an integer vector before rounding: exact integers, the squares
// summed in double precision, then the square root.
double RootOfSquares(int32_t x, int32_t y, int32_t z) {
    const double dx = x;
    const double dy = y;
    const double dz = z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

int64_t WideLength3D(int32_t x, int32_t y, int32_t z) {
    return NearestWide(static_cast<float>(RootOfSquares(x, y, z)));
}

int32_t SaturateLength(int64_t length) {
    return length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
}

// v scaled to 65536 / len, each component (c x 65536) / len truncated toward
// zero. len > 0.
void ScaleToUnit(const FixVector &v, int64_t len, FixVector &out) {
    out.x = static_cast<int32_t>(static_cast<int64_t>(v.x) * 65536 / len);
    out.y = static_cast<int32_t>(static_cast<int64_t>(v.y) * 65536 / len);
    out.z = static_cast<int32_t>(static_cast<int64_t>(v.z) * 65536 / len);
}

} // namespace

const int32_t (&SinTable)[65536] = sinStorage;
const int32_t (&CosTable)[65536] = cosStorage;
const int32_t (&DegreeTable)[256][2] = degreeStorage;

const FixVector &FixZeroVector = zeroVector;
const FixVector &FixUnitX = unitX;
const FixVector &FixUnitY = unitY;
const FixVector &FixUnitZ = unitZ;
const FixMatrix &FixIdentityMatrix = identityMatrix;
const FixTransform &IdentityTransform = identityTransform;

void BuildTrigTables() {
    for (int i = 0; i < 65536; i++) {
        const float r = static_cast<float>(i) * (1.0f / 65536.0f) * 6.2831855f;
        sinStorage[i] = Nearest(65536.0f * FloatSin(r));
        cosStorage[i] = Nearest(65536.0f * FloatCos(r));
    }
    for (int i = 0; i < 256; i++) {
        degreeStorage[i][0] = 0;
        degreeStorage[i][1] = 0;
    }
    for (int d = -90; d <= 90; d++) {
        const float r = static_cast<float>(-d) * 3.1415927f * (1.0f / 180.0f);
        degreeStorage[d & 255][0] = Nearest(65536.0f * FloatCos(r));
        degreeStorage[d & 255][1] = Nearest(65536.0f * FloatSin(r));
    }
}

void InitIdentityTransform() {
    zeroVector = {0, 0, 0};
    unitX = {65536, 0, 0};
    unitY = {0, 65536, 0};
    unitZ = {0, 0, 65536};
    FixMatrixFromColumns(identityMatrix, unitX, unitY, unitZ);
    identityTransform.Set(identityMatrix, zeroVector);
}

void MultiplyFixMatrix(const FixMatrix &a, const FixMatrix &b, FixMatrix &out) {
    FixMatrix r;
    for (int i = 0; i < 3; i++) {
        const int32_t *row = &a.m[i * 3];
        for (int j = 0; j < 3; j++)
            r.m[i * 3 + j] = Dot(row[0], b.m[j], row[1], b.m[3 + j], row[2], b.m[6 + j]);
    }
    out = r;
}

void TransformFixVector(const FixMatrix &m, const FixVector &v, FixVector &out) {
    const FixVector r = {
        Dot(m.m[0], v.x, m.m[1], v.y, m.m[2], v.z),
        Dot(m.m[3], v.x, m.m[4], v.y, m.m[5], v.z),
        Dot(m.m[6], v.x, m.m[7], v.y, m.m[8], v.z),
    };
    out = r;
}

void FixTransform::Set(const FixMatrix &m, const FixVector &p) {
    matrix = m;
    position = p;
}

void FixTransform::Compose(const FixTransform &b, FixTransform &out) const {
    FixTransform r;
    MultiplyFixMatrix(matrix, b.matrix, r.matrix);
    TransformFixVector(matrix, b.position, r.position);
    r.position.x = WrapAdd(r.position.x, position.x);
    r.position.y = WrapAdd(r.position.y, position.y);
    r.position.z = WrapAdd(r.position.z, position.z);
    out = r;
}

void FixTransform::Apply(const FixVector &p, FixVector &out) const {
    FixVector r;
    TransformFixVector(matrix, p, r);
    out.x = WrapAdd(r.x, position.x);
    out.y = WrapAdd(r.y, position.y);
    out.z = WrapAdd(r.z, position.z);
}

void FixTransform::ApplyInverse(const FixVector &p, FixVector &out) const {
    const FixVector d = {WrapSub(p.x, position.x), WrapSub(p.y, position.y), WrapSub(p.z, position.z)};
    const int32_t *m = matrix.m;
    out.x = Dot(m[0], d.x, m[3], d.y, m[6], d.z);
    out.y = Dot(m[1], d.x, m[4], d.y, m[7], d.z);
    out.z = Dot(m[2], d.x, m[5], d.y, m[8], d.z);
}

void FixTransform::Read(DataStream &stream) {
    ReadFixMatrix(matrix, stream);
    ReadFixVector(position, stream);
}

void SetFixMatrix(FixMatrix &m, int32_t m0, int32_t m1, int32_t m2, int32_t m3, int32_t m4, int32_t m5,
                  int32_t m6, int32_t m7, int32_t m8) {
    m = {{m0, m1, m2, m3, m4, m5, m6, m7, m8}};
}

void FixMatrixFromColumns(FixMatrix &m, const FixVector &a, const FixVector &b, const FixVector &c) {
    m = {{a.x, b.x, c.x, a.y, b.y, c.y, a.z, b.z, c.z}};
}

void SetFixMatrixScale(FixMatrix &m, int32_t s) {
    m = {{s, 0, 0, 0, s, 0, 0, 0, s}};
}

void FixRotationX(FixMatrix &m, uint16_t angle) {
    const int32_t c = CosTable[angle];
    const int32_t s = SinTable[angle];
    m = {{65536, 0, 0, 0, c, -s, 0, s, c}};
}

void FixRotationY(FixMatrix &m, uint16_t angle) {
    const int32_t c = CosTable[angle];
    const int32_t s = SinTable[angle];
    m = {{c, 0, s, 0, 65536, 0, -s, 0, c}};
}

void FixRotationZ(FixMatrix &m, uint16_t angle) {
    const int32_t c = CosTable[angle];
    const int32_t s = SinTable[angle];
    m = {{c, -s, 0, s, c, 0, 0, 0, 65536}};
}

void FixRotationXY(FixMatrix &m, uint16_t a, uint16_t b) {
    const int32_t ca = CosTable[a];
    const int32_t sa = SinTable[a];
    const int32_t cb = CosTable[b];
    const int32_t sb = SinTable[b];
    // The minus is applied after the shift, so -((x) >> 16), not (-x) >> 16.
    m = {{cb, 0, sb, MulShift(sa, sb), ca, -MulShift(sa, cb), -MulShift(ca, sb), sa, MulShift(ca, cb)}};
}

void FixRotationZX(FixMatrix &m, uint16_t a, uint16_t b) {
    FixMatrix z;
    FixMatrix x;
    FixRotationZ(z, a);
    FixRotationX(x, b);
    MultiplyFixMatrix(z, x, m);
}

void FixRotationZXY(FixMatrix &m, uint16_t heading, uint16_t pitch, uint16_t roll) {
    FixMatrix z;
    FixMatrix xy;
    FixRotationZ(z, heading);
    FixRotationXY(xy, pitch, roll);
    MultiplyFixMatrix(z, xy, m);
}

int32_t CalcLength2D(int32_t x, int32_t y) {
    return SaturateLength(WideLength3D(x, y, 0));
}

int32_t CalcLength3D(int32_t x, int32_t y, int32_t z) {
    return SaturateLength(WideLength3D(x, y, z));
}

// The length is taken before saturation so that vectors longer than the
// 32-bit range still come out as unit vectors.
int NormaliseFixVector(FixVector &v) {
    const int64_t len = WideLength3D(v.x, v.y, v.z);
    if (len == 0)
        return 0;
    ScaleToUnit(v, len, v);
    return 1;
}

void NormaliseFixVectorOrUp(const FixVector &v, FixVector &out) {
    const int64_t len = WideLength3D(v.x, v.y, v.z);
    if (len < 256) {
        out = {0, 0, 65536};
        return;
    }
    ScaleToUnit(v, len, out);
}

void CrossUnitVector(const FixVector &a, const FixVector &b, FixVector &out) {
    const double ax = a.x, ay = a.y, az = a.z;
    const double bx = b.x, by = b.y, bz = b.z;
    // x and y are held in single precision, z is not.
    const float cx = static_cast<float>(ay * bz - az * by);
    const float cy = static_cast<float>(az * bx - ax * bz);
    const double cz = ax * by - ay * bx;
    const double sum = static_cast<double>(cx) * cx + static_cast<double>(cy) * cy + cz * cz;
    if (sum <= 0.0001) {
        out = {0, 0, 0};
        return;
    }
    const float k = static_cast<float>(65536.0 / std::sqrt(sum));
    out.x = Nearest(static_cast<float>(static_cast<double>(cx) * k));
    out.y = Nearest(static_cast<float>(static_cast<double>(cy) * k));
    out.z = Nearest(static_cast<float>(cz * k));
}

float FixDistance3D(const FixVector &a, const FixVector &b) {
    const float dx = static_cast<float>(WrapSub(a.x, b.x)) * FixToFloat;
    const float dy = static_cast<float>(WrapSub(a.y, b.y)) * FixToFloat;
    const float dz = static_cast<float>(WrapSub(a.z, b.z)) * FixToFloat;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float FixDistance2D(const FixVector &a, const FixVector &b) {
    const float dx = static_cast<float>(WrapSub(a.x, b.x)) * FixToFloat;
    const float dy = static_cast<float>(WrapSub(a.y, b.y)) * FixToFloat;
    return std::sqrt(dx * dx + dy * dy);
}

void KeepMaxSquaredLength(float *max, const FixVector &v) {
    const float x = static_cast<float>(v.x) * FixToFloat;
    const float y = static_cast<float>(v.y) * FixToFloat;
    const float z = static_cast<float>(v.z) * FixToFloat;
    const float squared = x * x + y * y + z * z;
    if (squared > *max)
        *max = squared;
}

void FloatMatrixToFix(const float m[9], FixMatrix &out) {
    for (int i = 0; i < 9; i++)
        out.m[i] = Nearest(m[i] * 65536.0f);
}

void FloatMatrixFromFix(float out[9], const FixMatrix &m) {
    for (int i = 0; i < 9; i++)
        out[i] = static_cast<float>(m.m[i]) * FixToFloat;
}

void FloatToFixPosition(const float m[9], const float v[3], const FixVector &position, FixVector &out) {
    const float x = m[0] * v[0] + m[1] * v[1] + m[2] * v[2];
    const float y = m[3] * v[0] + m[4] * v[1] + m[5] * v[2];
    const float z = m[6] * v[0] + m[7] * v[1] + m[8] * v[2];
    out.x = WrapAdd(position.x, Nearest(65536.0f * x));
    out.y = WrapAdd(position.y, Nearest(65536.0f * y));
    out.z = WrapAdd(position.z, Nearest(65536.0f * z));
}

void SetFloatAxisRotation(float out[9], float x, float y, float z, float angle) {
    const float c = FloatCos(angle);
    const float s = FloatSin(angle);
    const float t = 1.0f - c;
    out[0] = c + x * x * t;
    out[1] = x * y * t - z * s;
    out[2] = x * z * t + y * s;
    out[3] = x * y * t + z * s;
    out[4] = c + y * y * t;
    out[5] = y * z * t - x * s;
    out[6] = x * z * t - y * s;
    out[7] = y * z * t + x * s;
    out[8] = c + z * z * t;
}

void ReadFixVector(FixVector &v, DataStream &stream) {
    v.x = static_cast<int32_t>(stream.ReadU32());
    v.y = static_cast<int32_t>(stream.ReadU32());
    v.z = static_cast<int32_t>(stream.ReadU32());
}

void WriteFixVector(const FixVector &v, DataStream &stream) {
    stream.WriteU32(static_cast<uint32_t>(v.x));
    stream.WriteU32(static_cast<uint32_t>(v.y));
    stream.WriteU32(static_cast<uint32_t>(v.z));
}

void ReadFixMatrix(FixMatrix &m, DataStream &stream) {
    for (int i = 0; i < 9; i++)
        m.m[i] = static_cast<int32_t>(stream.ReadU32());
}

uint16_t AngleFromRadians(float radians)
{
    const float units = radians * 10430.0f;
    if (!(units == units) || units >= 2147483520.0f || units <= -2147483520.0f) {
        return 0;
    }
    return static_cast<uint16_t>(static_cast<int32_t>(units));
}
