// SolidContactQuery for a wheel probe: a 40 m x 40 m patch of road strips
// (16 solids between their panels) listed in the map squares of a 160 m
// grid; each probe drops 0.35 m through the road surface at one of 256
// points across the patch, as a tyre's contact probe does every sub-step.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_contact_probes.h"
#include "core/fixed_math.h"
#include "tests/world/road_strip.h"
#include "vehicle/contact_probe.h"
#include "world/map_squares.h"
#include "world/world.h"

namespace {

int32_t Fix(float metres)
{
    return static_cast<int32_t>(metres * 65536.0f);
}

void BM_SolidContactQueryWheelProbe(benchmark::State &state)
{
    BuildTrigTables();
    World *world = WorldCreate();
    CurrentWorld = world;
    world->colours.count = 1;
    world->colours.records = new TrackColour[1]();
    world->gridOrigin[0] = world->gridOrigin[1] = Fix(-80.0f);
    world->cellSize[0] = world->cellSize[1] = Fix(10.0f);
    world->gridEnd[0] = world->gridEnd[1] = Fix(80.0f);
    bool built = true;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            built = built && AddRoadStrip(world, -15.0f + 10.0f * static_cast<float>(column),
                                          -20.0f + 10.0f * static_cast<float>(row), 0.5f) != nullptr;
        }
    }
    world->BuildMapSquares();
    if (!built) {
        state.SkipWithError("road fixture did not build");
    } else {
        constexpr int Grid = 16;
        FixVector ends[Grid * Grid];
        for (int i = 0; i < Grid; ++i) {
            for (int j = 0; j < Grid; ++j) {
                ends[i * Grid + j] = {Fix(-19.7f + 39.4f * static_cast<float>(i) / (Grid - 1)),
                                      Fix(-19.7f + 39.4f * static_cast<float>(j) / (Grid - 1)), Fix(0.45f)};
            }
        }
        const FixVector ray = {0, 0, -Fix(0.35f)};
        RunContactProbes(state, ends, Grid * Grid, ray);
    }
    WorldDestroy(world);
    CurrentWorld = nullptr;
}

} // namespace

BENCHMARK(BM_SolidContactQueryWheelProbe);
