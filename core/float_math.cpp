// Deterministic single-precision maths.
//
// Every function takes and returns float but computes internally in IEEE
// double precision (53-bit significand) with +, -, *, / and sqrt only, in the
// fixed order written here, and rounds to float once at the end. Double
// arithmetic is exact IEEE on every target we build (SSE2, no x87, no
// contraction into fused multiply-adds), so the same input gives the same bits
// on every machine, compiler optimisation level and C library. The internal
// error stays far below a float rounding step (relative error about 2^-48 or
// better), so results are the correctly rounded float except in rare cases
// lying extremely close to a midpoint between two floats, and never more than
// 1 ulp off.
//
// Every NaN result is the same quiet NaN (0x7FC00000) so that even invalid
// results have identical bits everywhere.
//
// Built with FLOAT_MATH_NAMESPACE defined, the definitions land in that
// namespace instead; the tests link such a second copy built at another
// optimisation level and compare the bits of both.
#include "core/float_math.h"

#include <bit>
#include <cmath>  // std::sqrt only: correctly rounded by IEEE 754 everywhere
#include <cstdint>

#ifdef FLOAT_MATH_NAMESPACE
namespace FLOAT_MATH_NAMESPACE {
#endif

namespace {

constexpr float Infinity = std::bit_cast<float>(0x7F800000u);
constexpr float QuietNan = std::bit_cast<float>(0x7FC00000u);

bool IsNan(float x) { return (std::bit_cast<uint32_t>(x) & 0x7FFFFFFFu) > 0x7F800000u; }
bool IsInf(float x) { return (std::bit_cast<uint32_t>(x) & 0x7FFFFFFFu) == 0x7F800000u; }
bool SignBit(float x) { return (std::bit_cast<uint32_t>(x) >> 31) != 0; }
float Abs(float x) { return std::bit_cast<float>(std::bit_cast<uint32_t>(x) & 0x7FFFFFFFu); }
float Negate(float x) { return std::bit_cast<float>(std::bit_cast<uint32_t>(x) ^ 0x80000000u); }

// pi/2 and pi as a double plus the rounding remainder.
constexpr double PiOver2Hi = 0x1.921fb54442d18p+0;
constexpr double PiOver2Lo = 0x1.1a62633145c07p-54;
constexpr double PiHi = 0x1.921fb54442d18p+1;
constexpr double PiLo = 0x1.1a62633145c07p-53;

// ---------------------------------------------------------------------------
// Sine, cosine, tangent

constexpr double TwoOverPi = 0x1.45f306dc9c883p-1;
// pi/2 in three parts; the first two have 33 significant bits, so k * part is
// exact for any quadrant count k below 2^20.
constexpr double PiOver2Part1 = 0x1.921fb544p+0;
constexpr double PiOver2Part2 = 0x1.0b4611a6p-34;
constexpr double PiOver2Part3 = 0x1.3198a2e037073p-69;
// Below this the three-part reduction is accurate; above it the exact
// reduction with the bits of 2/pi takes over.
constexpr uint32_t LargeArgumentBits = 0x49000000u;  // 2^19

// The first 256 bits of 2/pi after the binary point, behind one word of zeros
// so that windows may start a little before the binary point.
constexpr uint32_t TwoOverPiBits[9] = {
    0x00000000, 0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0,
    0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
};

// Splits |x| (finite, not negative) into q * pi/2 + r with |r| <= ~pi/4;
// returns q mod 4 and stores r.
int ReduceQuarterTurns(float ax, double* r) {
  const uint32_t bits = std::bit_cast<uint32_t>(ax);
  if (bits < LargeArgumentBits) {
    const double x = ax;
    const int k = static_cast<int>(x * TwoOverPi + 0.5);
    const double kd = k;
    // x - k*Part1 is exact (both within a factor of two of each other).
    *r = ((x - kd * PiOver2Part1) - kd * PiOver2Part2) - kd * PiOver2Part3;
    return k & 3;
  }
  // Exact reduction: ax = m * 2^e with a 24-bit integer m. Bits of 2/pi whose
  // weight makes m * 2^e * bit a multiple of 4 drop out; the next 128 bits give
  // x * 2/pi mod 4 with 126 fraction bits, an error below 2^-102.
  const int e = static_cast<int>(bits >> 23) - 150;
  const uint64_t m = (bits & 0x7FFFFFu) | 0x800000u;
  const int first = e + 30;  // table bit index of the weight 2^-(e-1)
  const int word = first >> 5;
  const int shift = first & 31;
  uint32_t w[4];
  for (int i = 0; i < 4; ++i) {
    w[i] = shift == 0 ? TwoOverPiBits[word + i]
                      : (TwoOverPiBits[word + i] << shift) |
                            (TwoOverPiBits[word + i + 1] >> (32 - shift));
  }
  // Low 128 bits of m * w[0..3], as four 32-bit limbs; the binary point lies
  // between bits 125 and 126.
  uint64_t t = m * w[3];
  const uint32_t p0 = static_cast<uint32_t>(t);
  t = (t >> 32) + m * w[2];
  const uint32_t p1 = static_cast<uint32_t>(t);
  t = (t >> 32) + m * w[1];
  const uint32_t p2 = static_cast<uint32_t>(t);
  t = (t >> 32) + m * w[0];
  const uint32_t p3 = static_cast<uint32_t>(t);
  int q = static_cast<int>(p3 >> 30);
  const uint64_t fracHigh = (static_cast<uint64_t>(p3 & 0x3FFFFFFFu) << 34) |
                            (static_cast<uint64_t>(p2) << 2) | (p1 >> 30);
  const uint64_t fracLow = (static_cast<uint64_t>(p1 & 0x3FFFFFFFu) << 32) | p0;
  // A fraction of one half or more rounds the quarter count up and leaves a
  // negative remainder: reading the top word as signed does exactly that.
  q += static_cast<int>(fracHigh >> 63);
  const double frac = static_cast<double>(static_cast<int64_t>(fracHigh)) * 0x1p-64 +
                      static_cast<double>(fracLow) * 0x1p-126;
  *r = frac * PiOver2Hi + frac * PiOver2Lo;
  return q & 3;
}

// Taylor series on |r| <= pi/4 + tiny; truncation below 2^-53 relative.
double SinKernel(double r) {
  const double r2 = r * r;
  return r + r * r2 * (-1.0 / 6.0 + r2 * (1.0 / 120.0 + r2 * (-1.0 / 5040.0 +
         r2 * (1.0 / 362880.0 + r2 * (-1.0 / 39916800.0 + r2 * (1.0 / 6227020800.0 +
         r2 * (-1.0 / 1307674368000.0)))))));
}

double CosKernel(double r) {
  const double r2 = r * r;
  return 1.0 + r2 * (-1.0 / 2.0 + r2 * (1.0 / 24.0 + r2 * (-1.0 / 720.0 +
         r2 * (1.0 / 40320.0 + r2 * (-1.0 / 3628800.0 + r2 * (1.0 / 479001600.0 +
         r2 * (-1.0 / 87178291200.0 + r2 * (1.0 / 20922789888000.0))))))));
}

// ---------------------------------------------------------------------------
// Arc tangent family

// atan(k/16), k = 0..16.
constexpr double AtanSixteenths[17] = {
    0x0.0p+0,
    0x1.ff55bb72cfdeap-5,
    0x1.fd5ba9aac2f6ep-4,
    0x1.7b97b4bce5b02p-3,
    0x1.f5b75f92c80ddp-3,
    0x1.362773707ebccp-2,
    0x1.6f61941e4def1p-2,
    0x1.a64eec3cc23fdp-2,
    0x1.dac670561bb4fp-2,
    0x1.0657e94db30d0p-1,
    0x1.1e00babdefeb4p-1,
    0x1.345f01cce37bbp-1,
    0x1.4978fa3269ee1p-1,
    0x1.5d58987169b18p-1,
    0x1.700a7c5784634p-1,
    0x1.819d0b7158a4dp-1,
    0x1.921fb54442d18p-1,
};

// atan(t) for 0 <= t <= 1: atan(t) = atan(c) + atan((t - c) / (1 + t*c)) with
// c the nearest sixteenth, which leaves an argument of at most 1/32 for a
// short series.
double AtanUnit(double t) {
  const int k = static_cast<int>(t * 16.0 + 0.5);
  const double c = k * 0.0625;
  const double u = (t - c) / (1.0 + t * c);
  const double u2 = u * u;
  const double series = u + u * u2 * (-1.0 / 3.0 + u2 * (1.0 / 5.0 + u2 * (-1.0 / 7.0 +
                        u2 * (1.0 / 9.0 + u2 * (-1.0 / 11.0)))));
  return AtanSixteenths[k] + series;
}

// atan(num / den) in [0, pi/2] for num, den >= 0, not both zero, finite or
// one of them infinite.
double AtanOfRatio(double num, double den) {
  if (num > den) return PiOver2Hi - (AtanUnit(den / num) - PiOver2Lo);
  return AtanUnit(num / den);
}

// ---------------------------------------------------------------------------
// Exponential and logarithm

constexpr double SixteenOverLn2 = 0x1.71547652b82fep+4;
// ln(2)/16 in two parts; the first has 40 significant bits, so k * part is
// exact for |k| < 2^12.
constexpr double Ln2Over16Hi = 0x1.62e42fefa4p-5;
constexpr double Ln2Over16Lo = -0x1.8432a1b0e2634p-47;
// ln(2) in two parts; the first has 44 significant bits, so e * part is exact
// for any binary exponent of a float.
constexpr double Ln2Hi = 0x1.62e42fefa3ap-1;
constexpr double Ln2Lo = -0x1.0ca86c3898dp-49;
// Past these, exp gives infinity or rounds to zero in single precision.
constexpr double ExpOverflow = 89.0;
constexpr double ExpUnderflow = -104.0;

// 2^(j/16), j = 0..15.
constexpr double TwoToSixteenths[16] = {
    0x1.0000000000000p+0, 0x1.0b5586cf9890fp+0, 0x1.172b83c7d517bp+0,
    0x1.2387a6e756238p+0, 0x1.306fe0a31b715p+0, 0x1.3dea64c123422p+0,
    0x1.4bfdad5362a27p+0, 0x1.5ab07dd485429p+0, 0x1.6a09e667f3bcdp+0,
    0x1.7a11473eb0187p+0, 0x1.8ace5422aa0dbp+0, 0x1.9c49182a3f090p+0,
    0x1.ae89f995ad3adp+0, 0x1.c199bdd85529cp+0, 0x1.d5818dcfba487p+0,
    0x1.ea4afa2a490dap+0,
};

// ln(1 + j/16), j = 0..15.
constexpr double LogOneAndSixteenths[16] = {
    0x0p+0,
    0x1.f0a30c01162a6p-5,
    0x1.e27076e2af2e6p-4,
    0x1.5ff3070a793d4p-3,
    0x1.c8ff7c79a9a22p-3,
    0x1.1675cababa60ep-2,
    0x1.4618bc21c5ec2p-2,
    0x1.739d7f6bbd007p-2,
    0x1.9f323ecbf984cp-2,
    0x1.c8ff7c79a9a22p-2,
    0x1.f128f5faf06edp-2,
    0x1.0be72e4252a83p-1,
    0x1.1e85f5e7040d0p-1,
    0x1.307d7334f10bep-1,
    0x1.41d8fe84672aep-1,
    0x1.52a2d265bc5abp-1,
};

// e^t for ExpUnderflow <= t <= ExpOverflow: t = (16*n + j) * ln2/16 + r with
// |r| <= ln2/32, e^t = 2^n * 2^(j/16) * e^r, e^r by its Taylor series
// (truncation below 2^-59).
double ExpCore(double t) {
  const int k = static_cast<int>(t * SixteenOverLn2 + (t < 0.0 ? -0.5 : 0.5));
  const double kd = k;
  const double r = (t - kd * Ln2Over16Hi) - kd * Ln2Over16Lo;
  const double p = 1.0 + r * (1.0 + r * (1.0 / 2.0 + r * (1.0 / 6.0 + r * (1.0 / 24.0 +
                   r * (1.0 / 120.0 + r * (1.0 / 720.0 + r * (1.0 / 5040.0)))))));
  const int n = k >> 4;  // floor division: k = 16*n + j with 0 <= j < 16
  const int j = k & 15;
  const double scale = std::bit_cast<double>(static_cast<uint64_t>(n + 1023) << 52);
  return TwoToSixteenths[j] * p * scale;
}

// ln(x) for positive finite x (denormals included): x = 2^e * m with
// m in [1, 2) is split further at the nearest 1 + j/16, so that
// ln(m) = ln(1 + j/16) + 2 atanh(s) with |s| <= 1/64 and a short series.
double LogPositive(float x) {
  const uint64_t bits = std::bit_cast<uint64_t>(static_cast<double>(x));
  int e = static_cast<int>(bits >> 52) - 1023;  // every float is a normal double
  double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
  int j = static_cast<int>((m - 1.0) * 16.0 + 0.5);
  if (j == 16) {
    // Just below a power of two: use the next exponent with j = 0 so that
    // ln(x) near 1 comes from the series alone, free of cancellation.
    ++e;
    m *= 0.5;
    j = 0;
  }
  const double c = 1.0 + j * 0.0625;
  const double s = (m - c) / (m + c);
  const double s2 = s * s;
  const double series = 2.0 * s * (1.0 + s2 * (1.0 / 3.0 + s2 * (1.0 / 5.0 + s2 * (1.0 / 7.0 +
                        s2 * (1.0 / 9.0)))));
  const double ed = e;
  return (ed * Ln2Hi + LogOneAndSixteenths[j]) + (ed * Ln2Lo + series);
}

}  // namespace

// ---------------------------------------------------------------------------

float FloatSin(float x) {
  const float ax = Abs(x);
  if (!(ax < Infinity)) return QuietNan;
  double r;
  const int q = ReduceQuarterTurns(ax, &r);
  double s;
  switch (q) {
    case 0: s = SinKernel(r); break;
    case 1: s = CosKernel(r); break;
    case 2: s = -SinKernel(r); break;
    default: s = -CosKernel(r); break;
  }
  const float f = static_cast<float>(s);
  return SignBit(x) ? Negate(f) : f;
}

float FloatCos(float x) {
  const float ax = Abs(x);
  if (!(ax < Infinity)) return QuietNan;
  double r;
  const int q = ReduceQuarterTurns(ax, &r);
  double c;
  switch (q) {
    case 0: c = CosKernel(r); break;
    case 1: c = -SinKernel(r); break;
    case 2: c = -CosKernel(r); break;
    default: c = SinKernel(r); break;
  }
  return static_cast<float>(c);
}

float FloatTan(float x) {
  const float ax = Abs(x);
  if (!(ax < Infinity)) return QuietNan;
  double r;
  const int q = ReduceQuarterTurns(ax, &r);
  // No float lies so close to an odd multiple of pi/2 that the divisor of the
  // odd quadrants could be zero.
  const double t = (q & 1) == 0 ? SinKernel(r) / CosKernel(r) : -CosKernel(r) / SinKernel(r);
  const float f = static_cast<float>(t);
  return SignBit(x) ? Negate(f) : f;
}

float FloatAtan(float x) {
  if (IsNan(x)) return QuietNan;
  const float f = static_cast<float>(AtanOfRatio(Abs(x), 1.0));
  return SignBit(x) ? Negate(f) : f;
}

float FloatAtan2(float y, float x) {
  if (IsNan(x) || IsNan(y)) return QuietNan;
  double a;
  if (y == 0.0f) {
    a = SignBit(x) ? PiHi : 0.0;  // atan2(+-0, -0) = +-pi, atan2(+-0, +0) = +-0
  } else if (IsInf(y) && IsInf(x)) {
    a = x < 0.0f ? 3.0 * PiOver2Hi * 0.5 : PiOver2Hi * 0.5;
  } else {
    // Finite ratios of floats never overflow or underflow in double; an
    // infinite operand gives a ratio of 0 or infinity as wanted.
    a = AtanOfRatio(Abs(y), Abs(x));
    if (x < 0.0f) a = (PiHi - a) + PiLo;
  }
  const float f = static_cast<float>(a);
  return SignBit(y) ? Negate(f) : f;
}

float FloatAsin(float x) {
  if (IsNan(x) || Abs(x) > 1.0f) return QuietNan;
  const double ax = Abs(x);
  const double root = std::sqrt(1.0 - ax * ax);  // 1 - x*x is exact for |x| >= 1/2
  const float f = static_cast<float>(AtanOfRatio(ax, root));
  return SignBit(x) ? Negate(f) : f;
}

float FloatAcos(float x) {
  if (IsNan(x) || Abs(x) > 1.0f) return QuietNan;
  const double ax = Abs(x);
  const double root = std::sqrt(1.0 - ax * ax);
  double a = AtanOfRatio(root, ax);
  if (x < 0.0f) a = (PiHi - a) + PiLo;
  return static_cast<float>(a);
}

float FloatExp(float x) {
  if (IsNan(x)) return QuietNan;
  if (x > ExpOverflow) return Infinity;
  if (x < ExpUnderflow) return 0.0f;
  return static_cast<float>(ExpCore(x));
}

float FloatLog(float x) {
  if (IsNan(x) || x < 0.0f) return QuietNan;
  if (x == 0.0f) return Negate(Infinity);
  if (IsInf(x)) return Infinity;
  return static_cast<float>(LogPositive(x));
}

float FloatCbrt(float x) {
  if (IsNan(x)) return QuietNan;
  if (x == 0.0f || IsInf(x)) return x;
  const double a = Abs(x);
  // Start from a third of the exponent, taken straight from the bits (within
  // a few per cent), then three Halley steps, each of which roughly cubes the
  // relative error: 5e-2 -> 1e-4 -> 1e-12 -> below double rounding.
  const uint64_t bits = std::bit_cast<uint64_t>(a);
  double y = std::bit_cast<double>(bits / 3 + (682ull << 52));
  for (int i = 0; i < 3; ++i) {
    const double y3 = y * y * y;
    y = y * (y3 + 2.0 * a) / (2.0 * y3 + a);
  }
  const float f = static_cast<float>(y);
  return SignBit(x) ? Negate(f) : f;
}

float FloatPow(float x, float y) {
  if (y == 0.0f || x == 1.0f) return 1.0f;  // even for a NaN in the other operand
  if (IsNan(x) || IsNan(y)) return QuietNan;
  const float ax = Abs(x);
  if (IsInf(y)) {
    if (ax == 1.0f) return 1.0f;  // (-1)^+-inf
    return (ax < 1.0f) == (y > 0.0f) ? 0.0f : Infinity;
  }
  // y is finite and not zero. Floats of magnitude 2^24 and above are even
  // integers.
  bool yInteger = true;
  bool yOdd = false;
  if (Abs(y) < 16777216.0f) {
    const int32_t iy = static_cast<int32_t>(y);
    yInteger = static_cast<float>(iy) == y;
    yOdd = yInteger && (iy & 1) != 0;
  }
  if (x == 0.0f) {
    if (y < 0.0f) return yOdd && SignBit(x) ? Negate(Infinity) : Infinity;
    return yOdd ? x : 0.0f;
  }
  if (IsInf(x)) {
    if (x > 0.0f) return y < 0.0f ? 0.0f : Infinity;
    if (y < 0.0f) return yOdd ? -0.0f : 0.0f;
    return yOdd ? Negate(Infinity) : Infinity;
  }
  bool negative = false;
  if (x < 0.0f) {
    if (!yInteger) return QuietNan;
    negative = yOdd;
  }
  // |y * ln x| stays far inside the double range; its absolute error (about
  // 2^-45 at the extremes) is the relative error of the result.
  const double t = static_cast<double>(y) * LogPositive(ax);
  float f;
  if (t > ExpOverflow) {
    f = Infinity;
  } else if (t < ExpUnderflow) {
    f = 0.0f;
  } else {
    f = static_cast<float>(ExpCore(t));
  }
  return negative ? Negate(f) : f;
}

#ifdef FLOAT_MATH_NAMESPACE
}  // namespace FLOAT_MATH_NAMESPACE
#endif
