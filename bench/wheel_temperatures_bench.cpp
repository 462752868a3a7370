// CarWheel::UpdateTemperatures for the four wheels of a local car (16
// segments of three sections each), the per-tick heat exchange after the
// sub-steps, and for a remote car's one-segment tread.
#include <benchmark/benchmark.h>

#include "vehicle/car_wheel.h"
#include "vehicle/rim_data.h"

namespace {

constexpr float TwoPi = 6.2831853f;

// A 200/50 tyre on a 0.2 m rim with the thermal sizes of the car's set-up.
void MakeAxle(RimData &axle, bool remote) {
    axle.tyreWidth = 0.2f;
    axle.aspect = 0.5f;
    axle.rimRadius = 0.2f;
    axle.rimWidth = 0.18f;
    axle.tyreType = 1;
    ComputeTyreProfile(axle, 0.0f, 0);
    const float big = axle.outerRadius;
    axle.rimVolume = big * 0.02f * axle.rimWidth * axle.rimRadius * TwoPi;
    const float segmentLength = TwoPi * big / (remote ? 1.0f : 16.0f);
    axle.treadSectionArea = axle.tyreWidth / 3.0f * segmentLength;
    axle.sidewallArea = segmentLength * (big - axle.rimRadius);
}

void UpdateFourWheels(benchmark::State &state, bool remote) {
    RimData axle;
    MakeAxle(axle, remote);
    CarWheel wheels[4];
    for (CarWheel &wheel : wheels) {
        wheel.pressure = 180000.0f;
        wheel.airMass = 0.08f;
        wheel.SetUp(axle, remote);
        // A warm, unevenly heated tread, as after a few laps.
        for (int s = 0; s < 16; s++)
            wheel.tread[s].sections[s % 3].skinHeat *= 1.2f;
    }
    for (auto _ : state) {
        for (CarWheel &wheel : wheels)
            wheel.UpdateTemperatures(axle, 0.01f, 5.0f, remote);
        benchmark::DoNotOptimize(wheels[3].airHeat);
    }
    state.SetItemsProcessed(state.iterations() * 4);
}

void BM_WheelTemperaturesLocal(benchmark::State &state) {
    UpdateFourWheels(state, false);
}
BENCHMARK(BM_WheelTemperaturesLocal);

void BM_WheelTemperaturesRemote(benchmark::State &state) {
    UpdateFourWheels(state, true);
}
BENCHMARK(BM_WheelTemperaturesRemote);

}  // namespace
