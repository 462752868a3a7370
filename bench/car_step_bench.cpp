// A race pack: 32 generated cars (the 20 models, then the first 12 again) on
// the world double's flat ground, four abreast, driven by a script for 1000
// ticks per iteration: pull away in first gear, throttle ramps, a steering
// sine and brake pulses. Reports the time per car sub-step.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "core/float_math.h"
#include "render/object_file.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/tyre_curves.h"
#include "car_state_packer.h"
#include "world_query_double.h"

namespace {

constexpr int PackSize = 32;
constexpr int Ticks = 1000;
constexpr int SubSteps = 20;

// The generated data in a folder of its own, with the body objects in memory.
struct GeneratedData {
    Object3D bodies[BodyCodeCount];
    std::filesystem::path folder;
    bool ready = false;

    GeneratedData() {
        BuildTrigTables();
        BuildTyreCurves();
        folder = std::filesystem::temp_directory_path() / "kzv_car_step_bench";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error || WriteCarDataFiles(folder.string().c_str()) != nullptr)
            return;
        for (int i = 0; i < BodyCodeCount; i++) {
            InitObject3D(&bodies[i]);
            if (BuildBodyObject(i, &bodies[i]) != 1)
                return;
            BodyObjects[i] = &bodies[i];
        }
        ready = true;
    }
};

// Four abreast 5 m apart, rows 6 m apart from 30 m behind the centre: the
// pack stays on the double's ground (80 m each way) for its 1000 ticks.
void PlaceInPack(CarObject &car, int index) {
    car.Reset(0.0f, 0, 1);
    const int column = index % 4;
    const int row = index / 4;
    car.position.x = MetresToFix(static_cast<float>(column) * 5.0f - 7.5f);
    car.position.y = MetresToFix(-30.0f - static_cast<float>(row) * 6.0f);
    car.predictedPosition = car.position;
    car.engine.StartAtIdle();
    car.fuel = car.tankSize * 0.5f;
    car.autoClutch = 1;
    car.gear = 2;
    car.requestedGear = 2;
    car.lastGear = 2;
}

void Drive(CarObject &car, int tick, int index) {
    // Throttle ramps up and down every 4 s; a gentle weave; a brake pulse
    // every 3 s. Each car runs the script a little out of phase.
    const int t = (tick + index * 7) % 400;
    const int ramp = t < 200 ? t : 400 - t;
    car.inputs[1] = static_cast<uint16_t>(20000 + ramp * 200);
    const float s = FloatSin(static_cast<float>(tick) * 0.01f * 1.3f + static_cast<float>(index));
    car.inputs[0] = static_cast<uint16_t>(32768 + static_cast<int>(s * 6000.0f));
    car.inputs[2] = (tick % 300) > 270 ? 40000 : 0;
}

void BM_CarStepPack(benchmark::State &state) {
    static GeneratedData data;
    if (!data.ready) {
        state.SkipWithError("the generated car data could not be written");
        return;
    }
    WorldQueryDouble world;
    PhysicsWorld physics;
    // The loader reads data/veh below the current folder; the other
    // benchmarks keep theirs.
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(data.folder);
    CarObject *cars[PackSize] = {};
    int loaded = 0;
    for (; loaded < PackSize; loaded++) {
        cars[loaded] = new CarObject();
        CarLoadArguments args;
        if (LoadCarDataFile(cars[loaded], CarTable[loaded % CarModelCount].code, args) != 1) {
            delete cars[loaded];
            break;
        }
    }
    std::filesystem::current_path(home);
    if (loaded < PackSize) {
        state.SkipWithError("a generated car did not load");
        for (int j = 0; j < loaded; j++)
            delete cars[j];
        return;
    }

    for (auto _ : state) {
        state.PauseTiming();
        physics.Clear();
        for (int i = 0; i < PackSize; i++) {
            PlaceInPack(*cars[i], i);
            physics.Add(cars[i]);
        }
        state.ResumeTiming();
        for (int tick = 0; tick < Ticks; tick++) {
            for (int i = 0; i < PackSize; i++)
                Drive(*cars[i], tick, i);
            physics.Step(tick % 4 == 3);
        }
    }
    // Elapsed time / (cars x ticks x sub-steps), in nanoseconds: the rate
    // counter divides by the seconds, the inversion turns it into seconds per
    // unit, and counting units of 1e9 sub-steps gives nanoseconds.
    state.counters["ns_per_car_substep"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * PackSize * Ticks * SubSteps / 1e9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);

    physics.Clear();
    for (CarObject *car : cars)
        delete car;
}

BENCHMARK(BM_CarStepPack)->Unit(benchmark::kMillisecond);

// One remote car given a record 100 ticks old while it takes part in
// collisions: placed from the record, then stepped through the 100 missed
// ticks. One iteration is one catch-up.
void BM_RemoteCarCatchUp(benchmark::State &state) {
    static GeneratedData data;
    if (!data.ready) {
        state.SkipWithError("the generated car data could not be written");
        return;
    }
    WorldQueryDouble world;
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(data.folder);
    CarObject car;
    CarLoadArguments args;
    const int loaded = LoadCarDataFile(&car, CarTable[0].code, args);
    std::filesystem::current_path(home);
    if (loaded != 1) {
        state.SkipWithError("a generated car did not load");
        return;
    }
    PlaceInPack(car, 0);
    car.velocity[1] = 20.0f;
    for (int w = 0; w < car.wheelCount; w++)
        car.wheels[w].angularVelocity = 20.0f / car.wheels[w].radius;
    car.inputs[1] = 40000;
    const CarStateRecord record = PackCarStateRecord(car);
    car.BecomeRemote();
    car.stepCount = 1000;
    for (auto _ : state)
        car.ApplyRemoteState(&record, car.stepCount - 100);
}

BENCHMARK(BM_RemoteCarCatchUp)->Unit(benchmark::kMillisecond);

}  // namespace
