// The wheel pass of a four-wheel-drive car standing on flat ground with a
// clutch-pack rear differential and a viscous centre: one sub-step of the
// car's drivetrain, steering, brakes and four suspension steps.
#include <benchmark/benchmark.h>

#include "bench/bench_axle.h"
#include "vehicle/car_object.h"
#include "vehicle/tyre_curves.h"

namespace {

void BM_WheelPass(benchmark::State &state) {
    BuildTyreCurves();
    CarSetup setup{};
    setup.maxLock = 30;
    setup.parallelSteer = 30;
    setup.centreDiffType = 1;
    setup.centreViscousTorque = 8;
    setup.axles[0].diffType = 3;
    setup.axles[0].diffPreload = 4;
    setup.axles[0].lockPower = 40;
    setup.axles[0].lockCoast = 20;
    setup.axles[0].antiRoll = 20000.0f;
    setup.axles[1].antiRoll = 30000.0f;

    CarObject car;
    car.setup = &setup;
    SetUpBenchAxle(car.axles[0]);
    SetUpBenchAxle(car.axles[1]);
    car.wheels = new CarWheel[4];
    car.wheelCount = 4;
    for (int i = 0; i < 4; i++) {
        CarWheel &w = car.wheels[i];
        w.axleIndex = i / 2;
        w.side = i % 2 == 0 ? -1.0f : 1.0f;
        w.lateralPosition = 0.75f * w.side;
        w.unsprungMass = 20.0f;
        w.inertia = 1.2f;
        w.brakeShare = 0.5f;
        w.springRate = 60000.0f;
        w.bumpDamping = 3000.0f;
        w.reboundDamping = 4000.0f;
        w.maxTravel = 0.1f;
        w.verticalForceLimit = 1e6f;  // no overload damage
        w.lateralForceLimit = 1e6f;
        w.baseHeight = 0.3f;
        w.position[0] = 0.75f * w.side;
        w.position[1] = w.axleIndex == 1 ? 1.3f : -1.2f;
        w.travelDirection[2] = 1.0f;
        w.suspensionType = 1;
        w.radius = car.axles[w.axleIndex].outerRadius;
        w.airMass = 0.08f;
        w.pressureSetting = 200000.0f;
        w.driven = 1;
        w.SetUp(car.axles[w.axleIndex], false);
        w.UpdateSuspensionGeometry(car.axles[w.axleIndex]);
        // Ground just under the tyre.
        w.tyreHit = 1;
        w.tyreProbe.stepPosition[0] = w.position[0];
        w.tyreProbe.stepPosition[1] = w.position[1];
        w.tyreProbe.stepPosition[2] = 0.3f - w.radius + 0.005f;
        w.tyreProbe.stepNormal[2] = 1.0f;
        w.tyreProbe.stepSurface = 1.0f;
    }
    car.axleWheels[0][0] = 0;
    car.axleWheels[0][1] = 1;
    car.axleWheels[1][0] = 2;
    car.axleWheels[1][1] = 3;
    car.axleTwoWheels[0] = 1;
    car.axleTwoWheels[1] = 1;
    car.drivenAxles = 3;
    car.drivenWheelCount = 4;
    car.rearDriveFactor = 0.8f;
    car.frontDriveFactor = 1.2f;
    car.driveEfficiency = 0.8f;
    car.wheelbase = 2.5f;
    car.finalDrive = 4.0f;
    car.gear = 3;
    car.engine.totalRatio = 8.0f;
    car.engine.clutchTorque = 150.0f;
    car.steerAngle = 0.05f;
    car.UpdateSteeringGeometry();
    car.brake = 50.0f;

    int step = 0;
    for (auto _ : state) {
        // The car stands still while its wheels are driven: start them over
        // now and then so that the spin stays in a car's range.
        if ((++step & 4095) == 0) {
            for (int i = 0; i < 4; i++) {
                car.wheels[i].angularVelocity = 0.0f;
                car.wheels[i].compression = 0.0f;
                car.wheels[i].compressionSpeed = 0.0f;
            }
        }
        car.StepWheels(0.0005f, false, -9.81f);
        benchmark::DoNotOptimize(car.engine.gearboxAngle);
    }
}
BENCHMARK(BM_WheelPass);

}  // namespace
