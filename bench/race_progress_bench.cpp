// Race progress of one car per tick: a car moving along the default track's
// configuration 1 at 40 m/s, its follower stepping from node to node, the
// lap distance, offset and lane taken every tick.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_default_track.h"
#include "core/fixed_math.h"
#include "race/race_progress.h"
#include "tools/default_track.h"
#include "vehicle/car_object.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

struct ProgressSetting {
    World *world = nullptr;
    bool ready = false;

    ProgressSetting() {
        BuildTrigTables();
        SetWorldMessagePrinter(nullptr);
        ready = RunInFolder(BenchFolder("kzv_race_progress_bench"), [this] { return Prepare(); });
    }

    bool Prepare() {
        if (WriteDefaultTrack(".") != nullptr || !OpenDefaultTrack(world))
            return false;
        return world->currentPath != nullptr && world->currentPath->nodeCount > 1;
    }
};

ProgressSetting &Setting() {
    static ProgressSetting setting;
    return setting;
}

void BM_UpdateRaceProgress(benchmark::State &state) {
    ProgressSetting &s = Setting();
    if (!s.ready) {
        state.SkipWithError("the default track could not be made");
        return;
    }
    CurrentWorld = s.world;
    const Path &path = *s.world->currentPath;
    CarObject car;
    PathFollower follower;
    car.pathFollower = &follower;
    car.halfWidth = 0.9f;
    car.topSpeedEstimate = 60.0f;
    car.active = 1;
    car.isRemote = 0;
    constexpr int Steps = 12;   // ticks per node span at 40 m/s over 5 m
    int node = 0;
    int step = 0;
    for (auto _ : state) {
        const PathNode &a = path.nodes[node];
        const PathNode &b = path.nodes[(node + 1) % path.nodeCount];
        const int64_t t = (static_cast<int64_t>(step) << 16) / Steps;
        car.position.x = a.position[0] + static_cast<int32_t>(((static_cast<int64_t>(b.position[0]) - a.position[0]) * t) >> 16);
        car.position.y = a.position[1] + static_cast<int32_t>(((static_cast<int64_t>(b.position[1]) - a.position[1]) * t) >> 16);
        car.position.z = a.position[2];
        car.velocity[0] = a.direction[0] * 40.0f;
        car.velocity[1] = a.direction[1] * 40.0f;
        car.velocity[2] = 0.0f;
        if (++step == Steps) {
            step = 0;
            node = (node + 1) % path.nodeCount;
        }
        UpdateRaceProgress(car, 0.01f, 1);
        benchmark::DoNotOptimize(car.pathLapDistance);
    }
    car.pathFollower = nullptr;
}

}  // namespace

BENCHMARK(BM_UpdateRaceProgress)->Unit(benchmark::kNanosecond);
