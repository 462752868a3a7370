// The AI's knowledge work: the whole build a race start does for each AI
// car (file, node table, capability, both profiles of the racing line, the
// pit-lane line and its profile), and the speed profile alone, which a
// driver recomputes inside a tick. A generated car on the default track's
// configuration 1, with a line of ranges 5 nodes long along the centre.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_default_track.h"
#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "race/ai_driver.h"
#include "race/ai_knowledge.h"
#include "render/object_file.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "tools/default_track.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/tyre_curves.h"
#include "world/path.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

constexpr const char *KnowledgeName = "bench.knw";

struct KnowledgeSetting {
    Object3D bodies[BodyCodeCount];
    std::filesystem::path folder;
    World *world = nullptr;
    CarObject car;
    bool ready = false;

    KnowledgeSetting() {
        BuildTrigTables();
        BuildTyreCurves();
        SetWorldMessagePrinter(nullptr);
        folder = BenchFolder("kzv_ai_knowledge_bench");
        ready = RunInFolder(folder, [this] { return Prepare(); });
    }

    bool Prepare() {
        if (WriteCarDataFiles(".") != nullptr || WriteDefaultTrack(".") != nullptr)
            return false;
        for (int i = 0; i < BodyCodeCount; i++) {
            InitObject3D(&bodies[i]);
            if (BuildBodyObject(i, &bodies[i]) != 1)
                return false;
            BodyObjects[i] = &bodies[i];
        }
        CarLoadArguments args;
        if (LoadCarDataFile(&car, CarTable[0].code, args) != 1)
            return false;
        if (!OpenDefaultTrack(world))
            return false;
        const Path &path = *world->currentPath;
        const int ranges = (path.nodeCount + 4) / 5;
        DataStream stream;
        if (stream.OpenWrite(nullptr, KnowledgeName, "KZVKNW", KnowledgeFileVersion) != nullptr)
            return false;
        stream.WriteZeros(8);
        stream.WriteZeros(16);
        stream.WriteU16(path.nodeCount);
        stream.WriteU16(ranges);
        for (int i = 0; i < ranges; i++) {
            stream.WriteZeros(8);
            stream.WriteU32(static_cast<uint32_t>(i * 5));
            stream.WriteU32(static_cast<uint32_t>((i + 1) * 5 < path.nodeCount ? (i + 1) * 5 : 0));
            stream.WriteZeros(8);
        }
        return stream.Close() == 0;
    }
};

KnowledgeSetting &Setting() {
    static KnowledgeSetting setting;
    return setting;
}

void BM_AiKnowledgeBuild(benchmark::State &state) {
    KnowledgeSetting &s = Setting();
    if (!s.ready) {
        state.SkipWithError("the default data could not be made");
        return;
    }
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(s.folder);
    const Path &path = *s.world->currentPath;
    for (auto _ : state) {
        AiDriver driver(nullptr, 0);
        AiKnowledge &line = driver.line;
        if (!line.Load(KnowledgeName, path.nodeCount) || !line.Build(path, s.car.halfWidth)) {
            state.SkipWithError("the knowledge did not build");
            break;
        }
        line.car = &s.car;
        EstimateCarCapability(line);
        line.ComputeSpeedProfile(1, 1.0f, -1, 1, nullptr);
        line.ComputeSpeedProfile(0, 1.0f, -1, 1, nullptr);
        if (driver.BuildKnowledge()) {
            driver.pitLine.car = &s.car;
            EstimateCarCapability(driver.pitLine);
            driver.pitLine.ComputeSpeedProfile(0, 1.0f, driver.pitExitNode, 0, line.nodes);
        }
        benchmark::DoNotOptimize(driver.pitLine.nodes);
        line.car = nullptr;
        driver.pitLine.car = nullptr;
    }
    std::filesystem::current_path(home);
}
BENCHMARK(BM_AiKnowledgeBuild)->Unit(benchmark::kMillisecond);

void BM_AiSpeedProfileDriving(benchmark::State &state) {
    KnowledgeSetting &s = Setting();
    if (!s.ready) {
        state.SkipWithError("the default data could not be made");
        return;
    }
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(s.folder);
    const Path &path = *s.world->currentPath;
    AiKnowledge line;
    const int built = line.Load(KnowledgeName, path.nodeCount) && line.Build(path, s.car.halfWidth);
    std::filesystem::current_path(home);
    if (!built) {
        state.SkipWithError("the knowledge did not build");
        line.Clear();
        return;
    }
    line.car = &s.car;
    EstimateCarCapability(line);
    for (auto _ : state) {
        line.ComputeSpeedProfile(0, 1.0f, -1, 1, nullptr);
        benchmark::DoNotOptimize(line.nodes[0].maxSpeed);
    }
    line.car = nullptr;
    line.Clear();
}
BENCHMARK(BM_AiSpeedProfileDriving)->Unit(benchmark::kMicrosecond);

} // namespace
