#pragma once

// The timed loop of the contact benchmarks: each end point probed straight
// down by `ray` through the world's solids, as a tyre's contact probe does
// every sub-step; reports probes per second and the share that hit.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/fixed_math.h"
#include "vehicle/contact_probe.h"
#include "world/map_squares.h"

inline void RunContactProbes(benchmark::State &state, const FixVector *ends, int64_t count, const FixVector &ray)
{
    int64_t hits = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < count; ++i) {
            ContactProbe probe;
            probe.Clear();
            hits += SolidContactQuery(ends[i], ray, probe);
            benchmark::DoNotOptimize(probe);
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["hit_share"] = static_cast<double>(hits) / static_cast<double>(state.iterations() * count);
}
