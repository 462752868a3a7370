// Speed of the deterministic float maths against the C library's float
// functions, each over the same buffer of typical arguments.
#include "core/float_math.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int BufferSize = 4096;

// BufferSize values spread over [lo, hi] in a scrambled order, so that branch
// prediction sees a realistic mix.
std::vector<float> Inputs(float lo, float hi) {
  std::vector<float> v(BufferSize);
  for (int i = 0; i < BufferSize; ++i) {
    const int j = (i * 1237) % BufferSize;
    v[i] = lo + (hi - lo) * (static_cast<float>(j) / static_cast<float>(BufferSize - 1));
  }
  return v;
}

// The function comes as a pointer, an equal indirect call for both sides.
void Unary(benchmark::State& state, float (*fn)(float), float lo, float hi) {
  const std::vector<float> in = Inputs(lo, hi);
  for (auto _ : state) {
    float sum = 0.0f;
    for (const float x : in) sum += fn(x);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * BufferSize);
}

void Binary(benchmark::State& state, float (*fn)(float, float), float lo0, float hi0, float lo1,
            float hi1) {
  const std::vector<float> a = Inputs(lo0, hi0);
  std::vector<float> b = Inputs(lo1, hi1);
  for (int i = 0; i < BufferSize; ++i) b[i] = b[(i * 389) % BufferSize];
  for (auto _ : state) {
    float sum = 0.0f;
    for (int i = 0; i < BufferSize; ++i) sum += fn(a[i], b[i]);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * BufferSize);
}

float StdSin(float x) { return std::sin(x); }
float StdCos(float x) { return std::cos(x); }
float StdTan(float x) { return std::tan(x); }
float StdAtan(float x) { return std::atan(x); }
float StdAsin(float x) { return std::asin(x); }
float StdAcos(float x) { return std::acos(x); }
float StdExp(float x) { return std::exp(x); }
float StdLog(float x) { return std::log(x); }
float StdCbrt(float x) { return std::cbrt(x); }
float StdAtan2(float y, float x) { return std::atan2(y, x); }
float StdPow(float x, float y) { return std::pow(x, y); }

}  // namespace

BENCHMARK_CAPTURE(Unary, FloatSin, FloatSin, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, StdSin, StdSin, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, FloatSinLarge, FloatSin, -1e30f, 1e30f);
BENCHMARK_CAPTURE(Unary, StdSinLarge, StdSin, -1e30f, 1e30f);
BENCHMARK_CAPTURE(Unary, FloatCos, FloatCos, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, StdCos, StdCos, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, FloatTan, FloatTan, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, StdTan, StdTan, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, FloatAtan, FloatAtan, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, StdAtan, StdAtan, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Unary, FloatAsin, FloatAsin, -1.0f, 1.0f);
BENCHMARK_CAPTURE(Unary, StdAsin, StdAsin, -1.0f, 1.0f);
BENCHMARK_CAPTURE(Unary, FloatAcos, FloatAcos, -1.0f, 1.0f);
BENCHMARK_CAPTURE(Unary, StdAcos, StdAcos, -1.0f, 1.0f);
BENCHMARK_CAPTURE(Unary, FloatExp, FloatExp, -20.0f, 20.0f);
BENCHMARK_CAPTURE(Unary, StdExp, StdExp, -20.0f, 20.0f);
BENCHMARK_CAPTURE(Unary, FloatLog, FloatLog, 0.001f, 1000.0f);
BENCHMARK_CAPTURE(Unary, StdLog, StdLog, 0.001f, 1000.0f);
BENCHMARK_CAPTURE(Unary, FloatCbrt, FloatCbrt, -1000.0f, 1000.0f);
BENCHMARK_CAPTURE(Unary, StdCbrt, StdCbrt, -1000.0f, 1000.0f);
BENCHMARK_CAPTURE(Binary, FloatAtan2, FloatAtan2, -10.0f, 10.0f, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Binary, StdAtan2, StdAtan2, -10.0f, 10.0f, -10.0f, 10.0f);
BENCHMARK_CAPTURE(Binary, FloatPow, FloatPow, 0.01f, 100.0f, -4.0f, 4.0f);
BENCHMARK_CAPTURE(Binary, StdPow, StdPow, 0.01f, 100.0f, -4.0f, 4.0f);
