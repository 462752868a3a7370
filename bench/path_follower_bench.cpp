// PathFollower::FindPosition on a closed 1000-node path (a circle of about
// 1.6 km), searching for points in the first, middle and last spans, with and
// without the visibility planes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "core/float_math.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/world.h"

namespace {

constexpr int Nodes = 1000;
constexpr float Radius = 250.0f;
constexpr float TwoPi = 6.28318531f;

int32_t Fix(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

// A world whose configuration 1 is the circle, each node toggling two
// objects' visibility.
World *MakeCircleWorld()
{
    World *world = WorldCreate();
    CurrentWorld = world;
    world->configs = new WorldConfig[1];
    world->configCount = 1;
    world->config = 1;
    world->objectCount = 0;
    Path &path = world->configs[0].path;
    path.flags = PathClosedLoop;
    path.nodes = new PathNode[Nodes]();
    path.nodeCount = Nodes;
    for (int i = 0; i < Nodes; ++i) {
        PathNode &node = path.nodes[i];
        const float a = TwoPi * static_cast<float>(i) / Nodes;
        node.position[0] = Fix(Radius * FloatCos(a));
        node.position[1] = Fix(Radius * FloatSin(a));
        node.direction[0] = -FloatSin(a);
        node.direction[1] = FloatCos(a);
        node.leftEdge = -6.0f;
        node.rightEdge = 6.0f;
        for (int k = 0; k < 2; ++k) {
            node.deltas[k].count = 2;
            node.deltas[k].entries = new IdListEntry[2]{{static_cast<uint16_t>(i % 4000), 0x0F, 0},
                                                        {static_cast<uint16_t>((i + 7) % 4000), 0x0F, 0}};
        }
    }
    world->SelectCurrentPath();
    return world;
}

void BM_FollowerFindPosition(benchmark::State &state)
{
    World *world = MakeCircleWorld();
    const int span = static_cast<int>(state.range(0));
    const int withDeltas = static_cast<int>(state.range(1));
    const float a = TwoPi * (static_cast<float>(span) + 0.5f) / Nodes;
    const int32_t point[3] = {Fix(Radius * FloatCos(a)), Fix(Radius * FloatSin(a)), 0};
    auto follower = std::make_unique<PathFollower>();
    for (auto _ : state) {
        benchmark::DoNotOptimize(follower->FindPosition(point, withDeltas));
    }
    if (follower->node != span) {
        state.SkipWithError("the search found the wrong span");
    }
    WorldDestroy(world);
    CurrentWorld = nullptr;
}

} // namespace

BENCHMARK(BM_FollowerFindPosition)->Args({0, 0})->Args({500, 0})->Args({999, 0})->Args({999, 1});
