#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/car_sound_mixer.h"
#include "audio/interface_sound.h"
#include "core/shell_globals.h"
#include "vehicle/car_object.h"
#include "world/path.h"

namespace {

std::vector<std::unique_ptr<CarObject>> *BenchCars = nullptr;
PathNode *BenchNode = nullptr;

// Every loop sample a second of noise, and one interface voice playing.
std::vector<int16_t> BenchNoise()
{
    std::vector<int16_t> values(44100);
    uint32_t seed = 1;
    for (int16_t &v : values) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<int16_t>((seed >> 16) % 8000) - 4000;
    }
    return values;
}

// Cars 5 m apart along x, each a turbocharged four-cylinder at 5,000 rpm at
// full load in third gear, its four wheels sliding on the road, with a road
// node full of echo under them; every sample voice and wave-table voice has
// something to play.
void RunMixerBlocks(benchmark::State &run, int carCount)
{
    std::vector<int16_t> noise = BenchNoise();
    SoundSample savedSamples[SoundSampleCount];
    for (int n = 0; n < SoundSampleCount; n++) {
        savedSamples[n] = SoundSamples[n];
        SoundSamples[n] = {0, static_cast<uint32_t>(noise.size()), noise.data()};
    }
    std::vector<CarWheel> wheels(static_cast<size_t>(carCount) * 4);
    std::vector<std::unique_ptr<CarObject>> cars;
    for (int c = 0; c < carCount; c++) {
        cars.push_back(std::make_unique<CarObject>());
        CarObject &car = *cars.back();
        car.position = {static_cast<int32_t>((5 + 5 * c) * 65536), 0, 0};
        car.active = 1;
        car.dynamic = 1;
        car.singleStep = 0;
        car.vehicleClass = -1;
        car.orientation[0] = car.orientation[4] = car.orientation[8] = 1.0f;
        CarEngine &engine = car.engine;
        engine.Clear();
        engine.SetDefaults();
        engine.cylinders = 4;
        const uint8_t order[4] = {1, 3, 4, 2};
        std::memcpy(engine.firingOrder, order, 4);
        EngineWave &wave = engine.waves[WaveExhaustPulse];
        wave.kind = 3;
        wave.sampleCount = 600;
        wave.samples = static_cast<float *>(std::malloc(600 * sizeof(float)));
        for (int i = 0; i < 600; i++) {
            wave.samples[i] = static_cast<float>(30000.0 * std::exp(-i / 60.0) * std::sin(i * 0.25));
        }
        engine.speed = 5000.0f * 6.2831853f / 60.0f;
        engine.maxSpeed = 7000.0f * 6.2831853f / 60.0f;
        engine.maxTorque = 150.0f;
        engine.condition = 1.0f;
        engine.flags |= 1u;
        engine.turboSpeed = 8000.0f;
        engine.clutchTorque = 140.0f;
        car.enginePower = 150.0f * engine.speed;
        for (int slot = 1; slot < EngineWaveCount; slot++) {
            EngineWave &w = engine.waves[slot];
            w.kind = 3;
            w.sampleCount = 2000;
            w.samples = static_cast<float *>(std::malloc(2000 * sizeof(float)));
            for (int i = 0; i < 2000; i++) {
                w.samples[i] = static_cast<float>(5000.0 * std::sin(i * 0.05));
            }
        }
        car.mass = 1100.0f;
        car.speed = 30.0f;
        car.gear = 4;
        car.gearRatios[4] = 1.5f;
        car.wheelEngineSpeed = engine.speed;
        car.wheels = &wheels[static_cast<size_t>(c) * 4];
        car.wheelCount = 4;
        for (int w = 0; w < 4; w++) {
            CarWheel &wheel = car.wheels[w];
            wheel.side = w % 2 == 0 ? -1.0f : 1.0f;
            wheel.normalForce = 3000.0f;
            wheel.slipShown = 1.1f;
            wheel.peakSlip = 1.0f;
            wheel.angularVelocity = 100.0f;
            wheel.radius = 0.3f;
        }
    }
    PathNode node;
    node.direction[1] = 1.0f;
    node.leftEdge = -5.0f;
    node.rightEdge = 5.0f;
    for (int i = 0; i < PathBandBytes; i++) {
        node.band[i] = static_cast<uint8_t>(10 + (i * 7) % 20);
    }
    BenchCars = &cars;
    BenchNode = &node;
    CarSoundLinks = {};
    CarSoundLinks.slotCount = [] { return static_cast<int>(BenchCars->size()); };
    CarSoundLinks.slotCar = [](int slot) { return (*BenchCars)[static_cast<size_t>(slot)].get(); };
    CarSoundLinks.pathNode = [](const CarObject *) { return static_cast<const PathNode *>(BenchNode); };
    InitCarSoundMixer();
    SoundListenerValid = 1;
    Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}, {0.0f, 0.0f, 0.0f}, nullptr, 0, 1};
    std::vector<int16_t> out(CarSoundMixFrames * 2);
    for (int b = 0; b < 4; b++) {
        MixCarSounds(out.data());   // the not-mixed cars fade out
    }
    SoundSample click = {0, static_cast<uint32_t>(noise.size()), noise.data()};
    auto queueVoice = [&click] {
        if (InterfaceVoices.count == 0) {
            InterfaceVoices.voices[0] = {};
            InterfaceVoices.voices[0].sample = &click;
            InterfaceVoices.voices[0].leftGain = InterfaceVoices.voices[0].rightGain = 0.5f;
            InterfaceVoices.count = 1;
        }
    };
    for (auto _ : run) {
        queueVoice();
        MixCarSounds(out.data());
        benchmark::DoNotOptimize(out.data());
    }
    InterfaceVoices.count = 0;
    for (int n = 0; n < SoundSampleCount; n++) {
        SoundSamples[n] = savedSamples[n];
    }
    CarSoundLinks = {};
    CarSoundMixerEnabled = 0;
    SoundListenerValid = 0;
    for (auto &car : cars) {
        car->wheels = nullptr;
        car->wheelCount = 0;
        car->engine.FreeWaves(true);
    }
    BenchCars = nullptr;
    BenchNode = nullptr;
}

// Eight nearby cars: five in full, three not mixed, echo on.
void BM_MixCarSoundsEightCars(benchmark::State &run)
{
    RunMixerBlocks(run, 8);
}
BENCHMARK(BM_MixCarSoundsEightCars);

// Thirty-two cars: five in full, twenty-seven not mixed.
void BM_MixCarSoundsThirtyTwoCars(benchmark::State &run)
{
    RunMixerBlocks(run, 32);
}
BENCHMARK(BM_MixCarSoundsThirtyTwoCars);

}  // namespace
