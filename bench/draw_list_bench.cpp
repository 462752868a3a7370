#include "render/draw_list.h"

#include <benchmark/benchmark.h>

#include <cstdint>

// A frame's worth of transparent things: clear, 640 insertions with keys
// spread over every bucket, one traversal.
static void BM_DrawListFrame(benchmark::State &state)
{
    int32_t keys[DrawListNodeCount];
    uint32_t seed = 12345;
    for (int32_t &key : keys) {
        seed = seed * 1664525u + 1013904223u;
        key = static_cast<int32_t>(seed >> 4) - (1 << 26);  // about -64 m .. 4032 m
    }
    for (auto _ : state) {
        ClearDrawList();
        for (int i = 0; i < DrawListNodeCount; ++i) {
            DrawNode *node = InsertDrawNode(keys[i]);
            node->payload = &keys[i];
            node->key = keys[i];
            node->kind = 0;
            node->left = node->right = nullptr;
        }
        int64_t sum = 0;
        WalkDrawList([&](const DrawNode &node) { sum += node.key; });
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_DrawListFrame);
