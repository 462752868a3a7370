#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "audio/car_sound_mixer.h"
#include "audio/engine_synthesis.h"
#include "vehicle/car_engine.h"
#include "vehicle/car_sound_state.h"

namespace {

// One mixer block of an engine's exhaust, heard from outside at full load.
void RunEngineBlocks(benchmark::State &run, int cylinders, int layout, float rate)
{
    static const uint8_t Orders[2][12] = {{1, 3, 4, 2}, {1, 12, 5, 8, 3, 10, 6, 7, 2, 11, 4, 9}};
    CarEngine engine;
    engine.Clear();
    engine.SetDefaults();
    engine.cylinders = cylinders;
    engine.layout = layout;
    std::memcpy(engine.firingOrder, Orders[cylinders == 12 ? 1 : 0], 12);
    EngineWave &wave = engine.waves[WaveExhaustPulse];
    wave.sampleCount = 600;
    wave.samples = static_cast<float *>(std::malloc(600 * sizeof(float)));
    for (int i = 0; i < 600; i++) {
        wave.samples[i] = static_cast<float>(30000.0 * std::exp(-i / 60.0) * std::sin(i * 0.25));
    }
    engine.soundLoad = 1.0f;
    engine.soundRevFraction = 0.9f;
    CarSoundState state = {};
    for (auto _ : run) {
        SynthesizeEngine(state, CarSoundMixFrames, 0, 0, rate, 1.0f, 0.2f, 0.2f, engine, 0.1f, 1.0f);
        benchmark::DoNotOptimize(CarSoundMixBuffers[0][0]);
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    }
    engine.FreeWaves(true);
}

void BM_EngineBlockFourCylinders(benchmark::State &run)
{
    RunEngineBlocks(run, 4, 0, 250.0f);
}
BENCHMARK(BM_EngineBlockFourCylinders);

void BM_EngineBlockTwelveCylindersTwoBanks(benchmark::State &run)
{
    RunEngineBlocks(run, 12, 2, 900.0f);
}
BENCHMARK(BM_EngineBlockTwelveCylindersTwoBanks);

}  // namespace
