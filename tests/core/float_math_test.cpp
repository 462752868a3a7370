// Accuracy, special values and build-independence of the deterministic float
// maths. References are the C library's long double functions (64-bit
// significand), used here only.
#include "core/float_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// The same source built a second time at another optimisation level, with its
// functions in this namespace (see tests/CMakeLists.txt).
namespace float_math_alt {
float FloatSin(float x);
float FloatCos(float x);
float FloatTan(float x);
float FloatAtan(float x);
float FloatAtan2(float y, float x);
float FloatAsin(float x);
float FloatAcos(float x);
float FloatPow(float x, float y);
float FloatCbrt(float x);
float FloatExp(float x);
float FloatLog(float x);
}  // namespace float_math_alt

namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float DenormMin = std::numeric_limits<float>::denorm_min();

// Largest error allowed anywhere, in units in the last place of the result.
// The functions work in double and round once, so they are correctly rounded
// but for results within a tiny fraction of an ulp of a midpoint between two
// floats.
constexpr long double MaxUlps = 0.501L;

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }

// Distance of f from the exact value ref in ulps of the float format at ref.
// Past the largest float, rounding goes to infinity from 2^128 - 2^103 on.
long double UlpError(float f, long double ref) {
  constexpr long double Huge = std::numeric_limits<long double>::infinity();
  if (std::isnan(ref) || std::isnan(f)) return std::isnan(ref) && std::isnan(f) ? 0.0L : Huge;
  if (std::isinf(f)) {
    const long double overflow = std::ldexp(1.0L, 128) - std::ldexp(1.0L, 103);
    return (f > 0.0f ? ref >= overflow : ref <= -overflow) ? 0.0L : Huge;
  }
  if (std::isinf(ref)) return Huge;
  const int exponent = ref == 0.0L ? -126 : std::max(std::min(std::ilogb(ref), 127), -126);
  return std::fabs(static_cast<long double>(f) - ref) / std::ldexp(1.0L, exponent - 23);
}

struct Worst {
  long double ulps = 0.0L;
  float x = 0.0f;
  float y = 0.0f;
};

template <class Fn, class Ref>
Worst SweepUnary(const std::vector<float>& xs, Fn fn, Ref ref) {
  Worst worst;
  for (const float x : xs) {
    const long double e = UlpError(fn(x), ref(static_cast<long double>(x)));
    if (e > worst.ulps) worst = {e, x, 0.0f};
  }
  return worst;
}

template <class Fn, class Ref>
Worst SweepBinary(const std::vector<float>& ys, const std::vector<float>& xs, Fn fn, Ref ref) {
  Worst worst;
  for (const float y : ys) {
    for (const float x : xs) {
      const long double e =
          UlpError(fn(y, x), ref(static_cast<long double>(y), static_cast<long double>(x)));
      if (e > worst.ulps) worst = {e, y, x};
    }
  }
  return worst;
}

// n evenly spaced values over [a, b].
std::vector<float> Uniform(double a, double b, int n) {
  std::vector<float> v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<float>(a + (b - a) * i / (n - 1)));
  return v;
}

// n floats spread evenly over the bit patterns [lo, hi]: every binade of the
// range gets the same share.
std::vector<float> Patterns(uint32_t lo, uint32_t hi, int n) {
  std::vector<float> v;
  const uint64_t span = static_cast<uint64_t>(hi) - lo;
  for (int i = 0; i < n; ++i) v.push_back(std::bit_cast<float>(static_cast<uint32_t>(lo + span * i / (n - 1))));
  return v;
}

// The count consecutive positive floats ending at x, and as many after it.
std::vector<float> Below(float x, int count) {
  std::vector<float> v;
  for (int i = count - 1; i >= 0; --i) v.push_back(std::bit_cast<float>(Bits(x) - static_cast<uint32_t>(i)));
  return v;
}
std::vector<float> Around(float x, int count) {
  std::vector<float> v = Below(x, count);
  for (int i = 1; i <= count; ++i) v.push_back(std::bit_cast<float>(Bits(x) + static_cast<uint32_t>(i)));
  return v;
}

std::vector<float> Join(std::vector<std::vector<float>> parts) {
  std::vector<float> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<float> WithNegatives(std::vector<float> v) {
  const size_t n = v.size();
  for (size_t i = 0; i < n; ++i) v.push_back(-v[i]);
  return v;
}

constexpr uint32_t MaxFiniteBits = 0x7F7FFFFFu;

// The floats nearest to k*pi/2 and their neighbours: the arguments whose
// reduction cancels the most bits.
std::vector<float> NearQuarterTurns(int count) {
  std::vector<float> v;
  const long double halfPi = std::acos(-1.0L) / 2.0L;
  for (int k = 1; k <= count; ++k) {
    const float x = static_cast<float>(k * halfPi);
    v.push_back(std::nextafter(x, 0.0f));
    v.push_back(x);
    v.push_back(std::nextafter(x, Inf));
  }
  return v;
}

#define EXPECT_ULPS(worst)                                                        \
  EXPECT_LE((worst).ulps, MaxUlps) << "x=" << std::hexfloat << (worst).x << " y=" \
                                   << (worst).y << std::defaultfloat << " error " \
                                   << static_cast<double>((worst).ulps) << " ulp"

TEST(FloatMathAccuracy, SinCosTanOverTheWholeRange) {
  const std::vector<float> xs = WithNegatives(Join({
      Uniform(0.0, 20.0, 150000),
      Patterns(0, MaxFiniteBits, 100000),
      NearQuarterTurns(40000),
  }));
  EXPECT_ULPS(SweepUnary(xs, FloatSin, [](long double x) { return std::sin(x); }));
  EXPECT_ULPS(SweepUnary(xs, FloatCos, [](long double x) { return std::cos(x); }));
  EXPECT_ULPS(SweepUnary(xs, FloatTan, [](long double x) { return std::tan(x); }));
}

TEST(FloatMathAccuracy, ArcFunctions) {
  const std::vector<float> atanXs = WithNegatives(Join({
      Uniform(0.0, 20.0, 150000),
      Patterns(0, MaxFiniteBits, 100000),
  }));
  EXPECT_ULPS(SweepUnary(atanXs, FloatAtan, [](long double x) { return std::atan(x); }));

  const std::vector<float> unitXs = WithNegatives(Join({
      Uniform(0.0, 1.0, 150000),
      Patterns(0, Bits(1.0f), 50000),
      Below(1.0f, 50000),  // up to 1, where asin and acos are steepest
  }));
  EXPECT_ULPS(SweepUnary(unitXs, FloatAsin, [](long double x) { return std::asin(x); }));
  EXPECT_ULPS(SweepUnary(unitXs, FloatAcos, [](long double x) { return std::acos(x); }));

  // Both signs of both operands, magnitudes from denormal to huge.
  const std::vector<float> operands = WithNegatives(Join({
      Uniform(0.0, 4.0, 150),
      Patterns(0, MaxFiniteBits, 150),
  }));
  EXPECT_ULPS(SweepBinary(operands, operands, FloatAtan2,
                          [](long double y, long double x) { return std::atan2(y, x); }));
}

TEST(FloatMathAccuracy, ExpLogCbrt) {
  const std::vector<float> expXs = Join({
      Uniform(-104.0, 89.0, 200000),
      WithNegatives(Patterns(0, Bits(1.0f), 50000)),  // tiny arguments
  });
  EXPECT_ULPS(SweepUnary(expXs, FloatExp, [](long double x) { return std::exp(x); }));

  const std::vector<float> logXs = Join({
      Patterns(1, MaxFiniteBits, 150000),  // denormals included
      Around(1.0f, 50000),                 // both sides of 1, where ln x is near 0
      Uniform(0.5, 4.0, 50000),
  });
  EXPECT_ULPS(SweepUnary(logXs, FloatLog, [](long double x) { return std::log(x); }));

  const std::vector<float> cbrtXs = WithNegatives(Join({
      Patterns(1, MaxFiniteBits, 150000),
      Uniform(0.0, 30.0, 50000),
  }));
  EXPECT_ULPS(SweepUnary(cbrtXs, FloatCbrt, [](long double x) { return std::cbrt(x); }));
  for (int k = 1; k <= 255; ++k) {  // exact cubes give exact roots
    ASSERT_EQ(FloatCbrt(static_cast<float>(k * k * k)), static_cast<float>(k)) << k;
    ASSERT_EQ(FloatCbrt(-static_cast<float>(k * k * k)), -static_cast<float>(k)) << k;
  }
}

TEST(FloatMathAccuracy, Pow) {
  const auto ref = [](long double x, long double y) { return std::pow(x, y); };
  // Bases from tiny to huge against exponents that reach overflow, underflow
  // and denormal results.
  const std::vector<float> bases = Join({Patterns(1, MaxFiniteBits, 300), Uniform(0.0, 3.0, 200)});
  const std::vector<float> exponents = Join({Uniform(-40.0, 40.0, 401), Uniform(-3.0, 3.0, 200)});
  EXPECT_ULPS(SweepBinary(bases, exponents, FloatPow, ref));
  // Near 1 with large exponents the result depends on every bit of ln x.
  EXPECT_ULPS(SweepBinary(Around(1.0f, 1000), WithNegatives(Uniform(1000.0, 1e6, 50)), FloatPow, ref));
  // Negative bases with integer exponents, odd and even.
  EXPECT_ULPS(SweepBinary(Uniform(-10.0, -0.01, 2000), Uniform(-30.0, 30.0, 61), FloatPow, ref));
  EXPECT_EQ(FloatPow(2.0f, -149.0f), DenormMin);
  EXPECT_EQ(FloatPow(-3.0f, 3.0f), -27.0f);
}

struct UnaryCase {
  const char* name;
  float (*fn)(float);
  float x;
  float expected;
};

struct BinaryCase {
  const char* name;
  float (*fn)(float, float);
  float a;
  float b;
  float expected;
};

void ExpectSame(float got, float expected, const char* name, float a, float b) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(got)) << name << "(" << a << ", " << b << ") = " << got;
  } else {
    // Bit comparison, so the sign of a zero counts.
    EXPECT_EQ(Bits(got), Bits(expected)) << name << "(" << a << ", " << b << ") = " << got
                                         << ", expected " << expected;
  }
}

TEST(FloatMathSpecialValues, UnaryFunctionsFollowTheCLibrary) {
  const float halfPi = static_cast<float>(std::acos(-1.0L) / 2.0L);
  const float pi = static_cast<float>(std::acos(-1.0L));
  const UnaryCase cases[] = {
      {"sin", FloatSin, NaN, NaN},   {"sin", FloatSin, Inf, NaN},
      {"sin", FloatSin, -Inf, NaN},  {"sin", FloatSin, 0.0f, 0.0f},
      {"sin", FloatSin, -0.0f, -0.0f}, {"sin", FloatSin, -DenormMin, -DenormMin},
      {"cos", FloatCos, NaN, NaN},   {"cos", FloatCos, -Inf, NaN},
      {"cos", FloatCos, -0.0f, 1.0f}, {"cos", FloatCos, DenormMin, 1.0f},
      {"tan", FloatTan, Inf, NaN},   {"tan", FloatTan, -0.0f, -0.0f},
      {"tan", FloatTan, DenormMin, DenormMin},
      {"atan", FloatAtan, NaN, NaN}, {"atan", FloatAtan, -0.0f, -0.0f},
      {"atan", FloatAtan, Inf, halfPi}, {"atan", FloatAtan, -Inf, -halfPi},
      {"atan", FloatAtan, -DenormMin, -DenormMin},
      {"asin", FloatAsin, NaN, NaN}, {"asin", FloatAsin, 1.0000001f, NaN},
      {"asin", FloatAsin, -Inf, NaN}, {"asin", FloatAsin, -0.0f, -0.0f},
      {"asin", FloatAsin, 1.0f, halfPi}, {"asin", FloatAsin, -1.0f, -halfPi},
      {"acos", FloatAcos, NaN, NaN}, {"acos", FloatAcos, -1.0000001f, NaN},
      {"acos", FloatAcos, Inf, NaN}, {"acos", FloatAcos, 1.0f, 0.0f},
      {"acos", FloatAcos, -1.0f, pi}, {"acos", FloatAcos, -0.0f, halfPi},
      {"exp", FloatExp, NaN, NaN},   {"exp", FloatExp, Inf, Inf},
      {"exp", FloatExp, -Inf, 0.0f}, {"exp", FloatExp, -0.0f, 1.0f},
      {"exp", FloatExp, 88.8f, Inf}, {"exp", FloatExp, 1000.0f, Inf},
      {"exp", FloatExp, -104.0f, 0.0f}, {"exp", FloatExp, -1000.0f, 0.0f},
      {"log", FloatLog, NaN, NaN},   {"log", FloatLog, -1.0f, NaN},
      {"log", FloatLog, -Inf, NaN},  {"log", FloatLog, -DenormMin, NaN},
      {"log", FloatLog, 0.0f, -Inf}, {"log", FloatLog, -0.0f, -Inf},
      {"log", FloatLog, Inf, Inf},   {"log", FloatLog, 1.0f, 0.0f},
      {"cbrt", FloatCbrt, NaN, NaN}, {"cbrt", FloatCbrt, -Inf, -Inf},
      {"cbrt", FloatCbrt, Inf, Inf}, {"cbrt", FloatCbrt, -0.0f, -0.0f},
      {"cbrt", FloatCbrt, 0.0f, 0.0f},
  };
  for (const UnaryCase& c : cases) ExpectSame(c.fn(c.x), c.expected, c.name, c.x, 0.0f);
}

TEST(FloatMathSpecialValues, Atan2QuadrantsAndSignedZeros) {
  const float pi = static_cast<float>(std::acos(-1.0L));
  const float halfPi = static_cast<float>(std::acos(-1.0L) / 2.0L);
  const float quarterPi = static_cast<float>(std::acos(-1.0L) / 4.0L);
  const float threeQuarterPi = static_cast<float>(3.0L * std::acos(-1.0L) / 4.0L);
  const BinaryCase cases[] = {
      {"atan2", FloatAtan2, 0.0f, 0.0f, 0.0f},      {"atan2", FloatAtan2, -0.0f, 0.0f, -0.0f},
      {"atan2", FloatAtan2, 0.0f, -0.0f, pi},       {"atan2", FloatAtan2, -0.0f, -0.0f, -pi},
      {"atan2", FloatAtan2, 0.0f, -3.0f, pi},       {"atan2", FloatAtan2, -0.0f, -3.0f, -pi},
      {"atan2", FloatAtan2, 0.0f, 3.0f, 0.0f},      {"atan2", FloatAtan2, -0.0f, 3.0f, -0.0f},
      {"atan2", FloatAtan2, 2.0f, 0.0f, halfPi},    {"atan2", FloatAtan2, 2.0f, -0.0f, halfPi},
      {"atan2", FloatAtan2, -2.0f, 0.0f, -halfPi},  {"atan2", FloatAtan2, 1.0f, -Inf, pi},
      {"atan2", FloatAtan2, -1.0f, -Inf, -pi},      {"atan2", FloatAtan2, 1.0f, Inf, 0.0f},
      {"atan2", FloatAtan2, -1.0f, Inf, -0.0f},     {"atan2", FloatAtan2, Inf, -5.0f, halfPi},
      {"atan2", FloatAtan2, -Inf, 5.0f, -halfPi},   {"atan2", FloatAtan2, Inf, Inf, quarterPi},
      {"atan2", FloatAtan2, -Inf, Inf, -quarterPi}, {"atan2", FloatAtan2, Inf, -Inf, threeQuarterPi},
      {"atan2", FloatAtan2, -Inf, -Inf, -threeQuarterPi},
      {"atan2", FloatAtan2, 1.0f, 1.0f, quarterPi}, {"atan2", FloatAtan2, -1.0f, -1.0f, -threeQuarterPi},
      {"atan2", FloatAtan2, NaN, 1.0f, NaN},        {"atan2", FloatAtan2, 1.0f, NaN, NaN},
      {"atan2", FloatAtan2, DenormMin, FLT_MAX, 0.0f},
      {"atan2", FloatAtan2, FLT_MAX, DenormMin, halfPi},
  };
  for (const BinaryCase& c : cases) ExpectSame(c.fn(c.a, c.b), c.expected, c.name, c.a, c.b);
}

TEST(FloatMathSpecialValues, PowFollowsTheCLibrary) {
  const BinaryCase cases[] = {
      // x^0 = 1 and 1^y = 1, even for NaN.
      {"pow", FloatPow, NaN, 0.0f, 1.0f},     {"pow", FloatPow, NaN, -0.0f, 1.0f},
      {"pow", FloatPow, -Inf, 0.0f, 1.0f},    {"pow", FloatPow, 1.0f, NaN, 1.0f},
      {"pow", FloatPow, 1.0f, -Inf, 1.0f},    {"pow", FloatPow, 2.0f, NaN, NaN},
      {"pow", FloatPow, NaN, 1.0f, NaN},
      // Zero bases: the sign survives odd integer exponents only.
      {"pow", FloatPow, 0.0f, -3.0f, Inf},    {"pow", FloatPow, -0.0f, -3.0f, -Inf},
      {"pow", FloatPow, -0.0f, -2.0f, Inf},   {"pow", FloatPow, -0.0f, -0.5f, Inf},
      {"pow", FloatPow, -0.0f, -Inf, Inf},    {"pow", FloatPow, 0.0f, 3.0f, 0.0f},
      {"pow", FloatPow, -0.0f, 3.0f, -0.0f},  {"pow", FloatPow, -0.0f, 2.0f, 0.0f},
      {"pow", FloatPow, -0.0f, 0.5f, 0.0f},   {"pow", FloatPow, -0.0f, Inf, 0.0f},
      // Infinite exponents.
      {"pow", FloatPow, -1.0f, Inf, 1.0f},    {"pow", FloatPow, -1.0f, -Inf, 1.0f},
      {"pow", FloatPow, 0.5f, Inf, 0.0f},     {"pow", FloatPow, -0.5f, -Inf, Inf},
      {"pow", FloatPow, 2.0f, Inf, Inf},      {"pow", FloatPow, -2.0f, -Inf, 0.0f},
      // Infinite bases.
      {"pow", FloatPow, Inf, -1.0f, 0.0f},    {"pow", FloatPow, Inf, 0.5f, Inf},
      {"pow", FloatPow, -Inf, -3.0f, -0.0f},  {"pow", FloatPow, -Inf, -2.0f, 0.0f},
      {"pow", FloatPow, -Inf, 3.0f, -Inf},    {"pow", FloatPow, -Inf, 2.0f, Inf},
      {"pow", FloatPow, -Inf, 0.5f, Inf},
      // Negative finite bases: integer exponents only.
      {"pow", FloatPow, -2.0f, 0.5f, NaN},    {"pow", FloatPow, -8.0f, 1.0f / 3.0f, NaN},
      {"pow", FloatPow, -2.0f, 3.0f, -8.0f},  {"pow", FloatPow, -2.0f, 2.0f, 4.0f},
      {"pow", FloatPow, -2.0f, -1.0f, -0.5f}, {"pow", FloatPow, -1.0f, 16777215.0f, -1.0f},
      {"pow", FloatPow, -1.0f, 33554432.0f, 1.0f},
      // Overflow and underflow keep the sign of odd powers.
      {"pow", FloatPow, 2.0f, 200.0f, Inf},   {"pow", FloatPow, -2.0f, 201.0f, -Inf},
      {"pow", FloatPow, 2.0f, -200.0f, 0.0f}, {"pow", FloatPow, -2.0f, -201.0f, -0.0f},
      {"pow", FloatPow, -2.0f, 33554432.0f, Inf}, {"pow", FloatPow, FLT_MAX, FLT_MAX, Inf},
      {"pow", FloatPow, FLT_MAX, -FLT_MAX, 0.0f}, {"pow", FloatPow, 2.0f, -149.0f, DenormMin},
  };
  for (const BinaryCase& c : cases) ExpectSame(c.fn(c.a, c.b), c.expected, c.name, c.a, c.b);
}

// The start-up tables sample one turn in 65536 steps, computing the angle in
// single precision; each entry must be the correctly rounded sine or cosine.
TEST(FloatMathTables, SineAndCosineOfEveryTableAngleAreCorrectlyRounded) {
  int sinMismatches = 0;
  int cosMismatches = 0;
  for (int i = 0; i < 65536; ++i) {
    const float r = static_cast<float>(i) * (1.0f / 65536.0f) * 6.2831855f;
    const long double lr = r;
    if (FloatSin(r) != static_cast<float>(std::sin(lr))) ++sinMismatches;
    if (FloatCos(r) != static_cast<float>(std::cos(lr))) ++cosMismatches;
  }
  EXPECT_EQ(sinMismatches, 0);
  EXPECT_EQ(cosMismatches, 0);
}

// The copy in float_math_alt is compiled at another optimisation level (and
// instruction set); both must agree bit for bit on everything, NaNs included.
TEST(FloatMathDeterminism, TwoBuildsGiveIdenticalBits) {
  const std::vector<float> xs = Join({
      Patterns(0, 0xFFFFFFFFu, 60000),  // every sign, binade, NaN and infinity
      WithNegatives(Uniform(0.0, 10.0, 20000)),
  });
  struct Pair {
    const char* name;
    float (*main)(float);
    float (*alt)(float);
  };
  const Pair unary[] = {
      {"sin", FloatSin, float_math_alt::FloatSin},    {"cos", FloatCos, float_math_alt::FloatCos},
      {"tan", FloatTan, float_math_alt::FloatTan},    {"atan", FloatAtan, float_math_alt::FloatAtan},
      {"asin", FloatAsin, float_math_alt::FloatAsin}, {"acos", FloatAcos, float_math_alt::FloatAcos},
      {"cbrt", FloatCbrt, float_math_alt::FloatCbrt}, {"exp", FloatExp, float_math_alt::FloatExp},
      {"log", FloatLog, float_math_alt::FloatLog},
  };
  for (const Pair& p : unary) {
    int differences = 0;
    for (const float x : xs) differences += Bits(p.main(x)) != Bits(p.alt(x));
    EXPECT_EQ(differences, 0) << p.name;
  }
  const std::vector<float> operands = Join({
      Patterns(0, 0xFFFFFFFFu, 300),
      WithNegatives(Uniform(0.0, 4.0, 100)),
  });
  int atan2Differences = 0;
  int powDifferences = 0;
  for (const float a : operands) {
    for (const float b : operands) {
      atan2Differences += Bits(FloatAtan2(a, b)) != Bits(float_math_alt::FloatAtan2(a, b));
      powDifferences += Bits(FloatPow(a, b)) != Bits(float_math_alt::FloatPow(a, b));
    }
  }
  EXPECT_EQ(atan2Differences, 0);
  EXPECT_EQ(powDifferences, 0);
}

}  // namespace
