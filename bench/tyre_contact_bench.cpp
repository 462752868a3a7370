// One tyre rolling with a little longitudinal and lateral slip on firm
// ground, in full mode: the contact as a wheel runs it every sub-step.
#include <benchmark/benchmark.h>

#include "bench/bench_axle.h"

#include "vehicle/car_wheel.h"
#include "vehicle/rim_data.h"
#include "vehicle/tyre_contact.h"
#include "vehicle/tyre_curves.h"

namespace {

void BM_TyreContactRolling(benchmark::State &state) {
    RimData axle;
    SetUpBenchAxle(axle);
    const float R = axle.outerRadius;

    CarWheel wheel;
    wheel.unsprungMass = 20.0f;
    wheel.pressure = 200000.0f;
    wheel.airMass = 0.08f;
    wheel.SetUp(axle, false);

    TyreContactInput in{};
    in.normal[2] = 1.0f;
    in.rollDirection[0] = 1.0f;
    in.lateralDirection[1] = -1.0f;
    in.halfWidth = 0.5f * axle.treadWidth;
    in.sidewallHeight = R - axle.rimRadius;
    in.stiffness = axle.tyreValues[0] * wheel.pressure * 0.9f;
    in.dirtFactor = 1.0f;
    in.grip = 1.05f;
    in.dt = 0.0005f;
    in.invDt = 2000.0f;
    in.full = true;

    const float along = 20.0f * in.dt;
    int step = 0;
    for (auto _ : state) {
        // The car moves on at 20 m/s with 2 % wheel spin and a drift aside.
        in.referencePoint[0] += along;
        in.referencePoint[1] = 0.0004f * static_cast<float>(step & 7);
        wheel.rotationStep = along * 1.02f / R;
        in.rolled = R * wheel.rotationStep;
        in.segment = step & 15;
        if ((step & 4095) == 0) {
            // Keep the position small so that its precision stays as in a car.
            in.referencePoint[0] = 0.0f;
            wheel.lastReferencePoint[0] = -along;
        }
        for (float &f : wheel.contactForce)
            f = 0.0f;
        wheel.normalForce = 0.0f;
        wheel.tyreDeflection = 0.01f;
        wheel.torque = 0.0f;
        StepTyreContact(wheel, axle, in);
        benchmark::DoNotOptimize(wheel.contactForce);
        step++;
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_TyreContactRolling);
