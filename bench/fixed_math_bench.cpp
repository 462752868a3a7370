#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/fixed_math.h"

namespace {

// A spread of orientations as placed objects and bodies have them.
constexpr int MatrixCount = 64;

struct Orientations {
    FixMatrix matrices[MatrixCount];
    FixTransform transforms[MatrixCount];

    Orientations() {
        BuildTrigTables();
        InitIdentityTransform();
        for (int i = 0; i < MatrixCount; i++) {
            FixRotationZXY(matrices[i], static_cast<uint16_t>(i * 1031), static_cast<uint16_t>(i * 523),
                           static_cast<uint16_t>(i * 2707));
            transforms[i].Set(matrices[i], {i * 65536, -i * 32768, i * 1000});
        }
    }
};

const Orientations &Data() {
    static const Orientations data;
    return data;
}

void BM_TransformFixVector(benchmark::State &state) {
    const Orientations &data = Data();
    FixVector v = {65536, -131072, 40000};
    int i = 0;
    for (auto _ : state) {
        FixVector out;
        TransformFixVector(data.matrices[i], v, out);
        benchmark::DoNotOptimize(out);
        v.x += 1;
        i = (i + 1) & (MatrixCount - 1);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransformFixVector);

void BM_MultiplyFixMatrix(benchmark::State &state) {
    const Orientations &data = Data();
    int i = 0;
    for (auto _ : state) {
        FixMatrix out;
        MultiplyFixMatrix(data.matrices[i], data.matrices[(i + 7) & (MatrixCount - 1)], out);
        benchmark::DoNotOptimize(out);
        i = (i + 1) & (MatrixCount - 1);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MultiplyFixMatrix);

void BM_FixTransformCompose(benchmark::State &state) {
    const Orientations &data = Data();
    int i = 0;
    for (auto _ : state) {
        FixTransform out;
        data.transforms[i].Compose(data.transforms[(i + 7) & (MatrixCount - 1)], out);
        benchmark::DoNotOptimize(out);
        i = (i + 1) & (MatrixCount - 1);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FixTransformCompose);

} // namespace
