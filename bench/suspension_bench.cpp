// One wheel's suspension sub-step as the wheel pass runs it 20 times a tick:
// a type 1 suspension on firm ground, the tyre rolling at 20 m/s with a little
// spin, drift and steering, a wall grazing the outer face now and then.
#include <benchmark/benchmark.h>

#include "bench/bench_axle.h"

#include "vehicle/car_object.h"
#include "vehicle/car_wheel.h"
#include "vehicle/rim_data.h"
#include "vehicle/tyre_curves.h"

namespace {

void BM_StepSuspension(benchmark::State &state) {
    RimData axle;
    SetUpBenchAxle(axle);
    const float R = axle.outerRadius;
    axle.hubOffset = 0.02f;

    CarObject car;
    car.stiffness = 100000.0f;
    car.damping = 2000.0f;
    car.friction = 0.8f;

    CarWheel wheel;
    wheel.unsprungMass = 20.0f;
    wheel.pressureSetting = 200000.0f;
    wheel.airMass = 0.05f;
    wheel.SetUp(axle, false);
    wheel.inertia = 1.0f;
    wheel.springRate = 50000.0f;
    wheel.bumpDamping = 3000.0f;
    wheel.reboundDamping = 4000.0f;
    wheel.maxTravel = 0.1f;
    wheel.suspensionType = 1;
    wheel.side = 1.0f;
    wheel.axleIndex = 1;
    wheel.travelDirection[2] = 1.0f;
    wheel.axleDirection[0] = 1.0f;
    wheel.steerAxis[2] = 1.0f;
    wheel.contactOffset[2] = -R;
    wheel.position[0] = 0.7f;
    wheel.position[1] = 1.2f;
    wheel.verticalForceLimit = 1e9f;
    wheel.lateralForceLimit = 1e9f;
    wheel.compression = 0.04f;
    wheel.UpdateSuspensionGeometry(axle);
    wheel.tyreHit = 1;
    wheel.tyreProbe.stepSurface = 1.0f;
    wheel.tyreProbe.stepNormal[2] = 1.0f;
    wheel.tyreProbe.stepPosition[0] = 0.7f;
    wheel.tyreProbe.stepPosition[1] = 1.2f;
    wheel.tyreProbe.stepPosition[2] = 0.04f - R + 0.01f;
    wheel.sideProbe.stepSurface = 1.0f;
    wheel.sideProbe.stepNormal[0] = -1.0f;
    wheel.sideProbe.stepPosition[0] = 0.7f + 0.5f * axle.treadWidth + axle.hubOffset - 0.002f;
    wheel.sideProbe.stepPosition[1] = 1.2f;

    const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float dt = 0.0005f;
    const float along = 20.0f * dt;
    float steerTorque = 0.0f;
    int step = 0;
    for (auto _ : state) {
        // The ground runs back under the car; the tyre turns a little faster.
        wheel.lastReferencePoint[1] -= along;
        wheel.lastReferencePoint[0] += 0.0001f * static_cast<float>((step & 7) - 4);
        wheel.angularVelocity = 1.02f * 20.0f / R;
        wheel.torque = 0.0f;
        wheel.steerAngle = 0.01f * static_cast<float>((step & 15) - 8);
        wheel.sideHit = (step & 63) == 0 ? 1 : 0;
        if ((step & 4095) == 0) {
            // Keep the state bounded as the car step would.
            wheel.compression = 0.04f;
            wheel.compressionSpeed = 0.0f;
        }
        float external[3] = {0.0f, 0.0f, -150.0f};
        wheel.StepSuspension(axle, matrix, wheel.centre, 10.0f, &steerTorque, dt, 1.0f / dt, -9.81f, &car, external,
                             false);
        benchmark::DoNotOptimize(wheel.contactForce);
        step++;
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_StepSuspension);
