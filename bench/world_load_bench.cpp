// A full load of the default track site from its files, without slicing:
// every stage of WorldOpen and WorldLoadStep, building no graphics.
#include <benchmark/benchmark.h>

#include "core/fixed_math.h"
#include "tools/default_track.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

void BM_LoadDefaultSite(benchmark::State &state)
{
    BuildTrigTables();
    SetWorldMessagePrinter(nullptr);
    if (WriteDefaultTrack(".") != nullptr) {
        state.SkipWithError("the default site could not be written");
        return;
    }
    const TrackSite &row = SiteTable[DefaultTrackSite];
    const int slice = LoadSliceMs;
    LoadSliceMs = 1 << 30;   // one call per stage
    for (auto _ : state) {
        World *world = WorldCreate();
        if (!WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0)) {
            state.SkipWithError("the default site did not open");
            WorldDestroy(world);
            break;
        }
        while (!WorldLoadStep(world)) {
        }
        benchmark::DoNotOptimize(world->objectCount);
        WorldDestroy(world);
    }
    LoadSliceMs = slice;
}
BENCHMARK(BM_LoadDefaultSite)->Unit(benchmark::kMillisecond);

} // namespace
