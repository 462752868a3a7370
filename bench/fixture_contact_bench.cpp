// SolidContactQuery for wheel probes on the loaded fixture world (a closed
// loop of road strips with kerbs, grass and a wall): at every path node, four
// wheels of a car standing there and two points on the kerbs, each dropping
// 0.35 m through the ground as a tyre's contact probe does every sub-step.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/bench_contact_probes.h"
#include "core/fixed_math.h"
#include "tests/tools/fixture_world.h"
#include "vehicle/contact_probe.h"
#include "world/map_squares.h"
#include "world/world.h"
#include "world/world_messages.h"

namespace {

namespace fw = fixture_world;

void BM_SolidContactQueryFixtureWheels(benchmark::State &state)
{
    BuildTrigTables();
    SetWorldMessagePrinter(nullptr);
    World *world = WorldCreate();
    fw::WriteAndLoad(world);
    if (WorldLoadFailed(world) || !world->currentPath || world->currentPath->nodeCount < 1) {
        state.SkipWithError("the fixture world did not load");
        WorldDestroy(world);
        return;
    }
    // Wheel points (right, forward) in metres from the node, and the kerbs.
    const float offsets[][2] = {{-0.8f, 1.3f}, {0.8f, 1.3f}, {-0.8f, -1.3f}, {0.8f, -1.3f}, {-7.25f, 0.0f}, {7.25f, 0.0f}};
    std::vector<FixVector> ends;
    const Path &path = *world->currentPath;
    for (int i = 0; i < path.nodeCount; ++i) {
        const PathNode &node = path.nodes[i];
        const float dx = node.direction[0];
        const float dy = node.direction[1];
        for (const auto &o : offsets) {
            const float x = o[0] * dy + o[1] * dx;
            const float y = -o[0] * dx + o[1] * dy;
            ends.push_back({node.position[0] + fw::Fix(x), node.position[1] + fw::Fix(y), node.position[2] - fw::Fix(0.05f)});
        }
    }
    const FixVector ray = {0, 0, -fw::Fix(0.35f)};
    RunContactProbes(state, ends.data(), static_cast<int64_t>(ends.size()), ray);
    WorldDestroy(world);
}

} // namespace

BENCHMARK(BM_SolidContactQueryFixtureWheels);
