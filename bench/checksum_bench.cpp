#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/checksum.h"

static void BM_CrcOfBlock64K(benchmark::State &state)
{
    std::vector<uint8_t> block(64 * 1024);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(CrcOfBlock(block.data(), static_cast<int>(block.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(block.size()));
}
BENCHMARK(BM_CrcOfBlock64K);
