#include <gtest/gtest.h>

#include <cmath>

#include "core/car_table.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/vehicle/world_query_double.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"

// The driving aids and the slipstream on whole generated cars driven on the
// flat double's ground. The cars sit in race slots (for the slipstream) but
// have no slot records, so the race duties of the tick stay out of the way.
namespace {

constexpr int TicksPerSecond = 100;
constexpr int HatchModel = 0;      // front drive
constexpr int RearDriveModel = 3;  // rear drive

class CarAidsCarsTest : public GeneratedCarsFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(writeError, nullptr) << writeError;
        BuildTyreCurves();
        saved = VehicleRaceHooks;
        slotCars[0] = slotCars[1] = nullptr;
        VehicleRaceHooks.slotCount = [] { return 2; };
        VehicleRaceHooks.slotCar = [](int slot) { return slot >= 0 && slot < 2 ? slotCars[slot] : nullptr; };
    }
    void TearDown() override {
        VehicleRaceHooks = saved;
        slotCars[0] = slotCars[1] = nullptr;
        while (physics.bodyCount > 0)
            physics.Remove(physics.bodies[0]);
    }

    // Car `model` loaded, reset at (x, y) facing +y, in the physics world and
    // race slot `slot`, settled for 1 s.
    void Place(CarObject &car, int model, float x, float y, int slot = 0) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[model].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        car.position = {MetresToFix(x), MetresToFix(y), MetresToFix(1.0f)};
        car.Reset(0.0f, 0, 1);
        car.fuel = 20.0f;
        physics.Add(&car);
        slotCars[slot] = &car;
        Run(TicksPerSecond);
    }
    // The car rolling forward at v with its wheels turning along.
    void Launch(CarObject &car, float v) {
        LaunchAlongHeading(physics, car, v);
    }
    // In forward gear `gear` with the engine turning at the road speed and
    // the clutch engaged.
    static void Engage(CarObject &car, int gear, float v) {
        car.engine.StartAtIdle();
        car.autoClutch = 0;
        car.gear = car.requestedGear = car.lastGear = static_cast<uint8_t>(gear);
        car.engine.clutchPedal = 0.0f;
        car.inputs[11] = 0;
        car.engine.totalRatio = car.gearRatios[gear] * car.finalDrive;
        car.engine.speed = car.engine.totalRatio * v / DrivenRadius(car);
    }
    static float DrivenRadius(const CarObject &car) {
        for (int w = 0; w < car.wheelCount; w++) {
            if (car.wheels[w].driven != 0)
                return car.wheels[w].radius;
        }
        return 0.3f;
    }
    static float Rim(const CarWheel &wheel) { return std::fabs(wheel.angularVelocity * wheel.radius); }
    static float FastestRim(const CarObject &car) {
        float v = 0.0f;
        for (int w = 0; w < car.wheelCount; w++)
            v = std::fmax(v, Rim(car.wheels[w]));
        return v;
    }
    void Run(int ticks) {
        for (int i = 0; i < ticks; i++)
            physics.Step(i % 4 == 3);
    }

    // Squares of 250 m: the ground reaches 2000 m each way.
    WorldQueryDouble world{250 * 65536};
    PhysicsWorld physics;
    RaceHooks saved{};
    static inline CarObject *slotCars[2] = {};
};

// Full braking from 30 m/s with the front brakes four times as strong as the
// set-up allows: without anti-lock the front wheels lock; with it no front
// wheel stays below 0.8 x the fastest rim speed for more than five ticks
// while that speed is above 5 m/s.
TEST_F(CarAidsCarsTest, AntiLockKeepsTheFrontWheelsTurningFrom30MetresPerSecond) {
    for (const int abs : {0, 1}) {
        SCOPED_TRACE(abs ? "with anti-lock" : "without anti-lock");
        CarObject car;
        Place(car, HatchModel, 0.0f, -1800.0f);
        car.absFitted = static_cast<uint8_t>(abs);
        for (int w = 0; w < car.wheelCount; w++) {
            if (car.wheels[w].axleIndex == 1)
                car.wheels[w].brakeShare *= 4.0f;
        }
        car.inputs[11] = 65535;
        Launch(car, 30.0f);
        car.inputs[2] = 65535;
        int longest = 0;
        int run[MaxCarWheels] = {};
        int lockedTicks = 0;
        int released = 0;
        for (int t = 0; t < 10 * TicksPerSecond && (t == 0 || car.speed > 1.0f); t++) {
            physics.Step(t % 4 == 3);
            const float fastest = FastestRim(car);
            for (int w = 0; w < car.wheelCount; w++) {
                const CarWheel &wheel = car.wheels[w];
                if (wheel.axleIndex != 1)
                    continue;
                lockedTicks += Rim(wheel) < 0.5f && car.speed > 10.0f ? 1 : 0;
                const bool slow = fastest > 5.0f && Rim(wheel) < 0.8f * fastest;
                run[w] = slow ? run[w] + 1 : 0;
                longest = run[w] > longest ? run[w] : longest;
                released += car.absRelease[w] != 0 ? 1 : 0;
            }
            for (int k = 0; k < 3; k++)
                ASSERT_TRUE(std::isfinite(car.velocity[k])) << "tick " << t;
        }
        EXPECT_LT(car.speed, 1.0f);
        // With anti-lock a wheel may still touch a standstill in the tick it
        // is released in; it must not stay slow.
        if (abs) {
            EXPECT_LE(longest, 5);
            EXPECT_GT(released, 0);
        } else {
            // Locked from the first ticks down to 10 m/s.
            EXPECT_GT(lockedTicks, 2 * 150);
            EXPECT_EQ(released, 0);
        }
        physics.Remove(&car);
    }
}

// Full throttle in first gear on loose ground above the traction control's
// minimum speed: with the control the driven wheels' surface speed stays on
// average within 1 + 1.5 x the allowed slip of the undriven wheels', and
// below what the same run gives without it.
TEST_F(CarAidsCarsTest, TractionControlHoldsTheWheelSpinOnLooseGround) {
    world.SetGroundSurface(3, 0);
    float mean[2] = {};
    float allowed = 0.0f;
    for (const int tc : {0, 1}) {
        SCOPED_TRACE(tc ? "with traction control" : "without traction control");
        CarObject car;
        Place(car, RearDriveModel, 0.0f, -1800.0f);
        ASSERT_NE(car.setup, nullptr);
        ASSERT_GT(car.setup->tcMinSpeed, 0);
        allowed = static_cast<float>(car.setup->tcSlip) * 0.001f;
        car.aidFlags = tc ? 1u : 0u;
        car.tcOff = 0;
        const float start = static_cast<float>(car.setup->tcMinSpeed) + 1.0f;
        Launch(car, start);
        Engage(car, 2, start);
        car.inputs[1] = 65535;
        float sum = 0.0f;
        int samples = 0;
        int cuts = 0;
        for (int t = 0; t < 2 * TicksPerSecond && car.engine.speed < 0.95f * car.engine.maxSpeed; t++) {
            physics.Step(t % 4 == 3);
            ASSERT_EQ(car.gear, 2);
            float driven = 0.0f;
            float undriven = 0.0f;
            int nd = 0;
            int nu = 0;
            for (int w = 0; w < car.wheelCount; w++) {
                if (car.wheels[w].driven != 0) {
                    driven += car.wheels[w].angularVelocity * car.wheels[w].radius;
                    nd++;
                } else {
                    undriven += car.wheels[w].angularVelocity * car.wheels[w].radius;
                    nu++;
                }
            }
            ASSERT_GT(nd, 0);
            ASSERT_GT(nu, 0);
            // Counted once the throttle has reached the floor (five ticks).
            if (t >= 5) {
                sum += (driven / nd) / (undriven / nu);
                samples++;
            }
            cuts += car.tractionFactor != 1.0f ? 1 : 0;
        }
        ASSERT_GT(samples, 20);
        mean[tc] = sum / static_cast<float>(samples);
        if (tc)
            EXPECT_GT(cuts, 0);
        else
            EXPECT_EQ(cuts, 0);
        physics.Remove(&car);
    }
    EXPECT_LE(mean[1], 1.0f + 1.5f * allowed);
    EXPECT_LT(mean[1], mean[0]);
}

// A full-brake stop from 30 m/s that locks an axle: brake help limits the
// brake while its timer runs and gives the full brake back once 0.2 s have
// passed since the last trigger.
TEST_F(CarAidsCarsTest, BrakeHelpLimitsTheBrakeWhileAnAxleLocks) {
    for (const int help : {0, 1}) {
        SCOPED_TRACE(help ? "with brake help" : "without brake help");
        CarObject car;
        Place(car, HatchModel, 0.0f, -1800.0f);
        car.absFitted = 0;
        car.brakeHelp = static_cast<uint32_t>(help);
        for (int w = 0; w < car.wheelCount; w++)
            car.wheels[w].brakeShare *= 2.0f;
        car.inputs[11] = 65535;
        Launch(car, 30.0f);
        car.inputs[2] = 65535;
        int triggers = 0;
        int lastTrigger = -1;
        int lockedTicks = 0;
        int limitedTicks = 0;
        int t = 0;
        for (; t < 10 * TicksPerSecond && (t == 0 || car.speed > 0.5f || t < lastTrigger + 30); t++) {
            const float before = car.brakeHelpTimer;
            const float last = car.brake;
            physics.Step(t % 4 == 3);
            for (int w = 0; w < car.wheelCount; w++) {
                const CarWheel &wheel = car.wheels[w];
                if (car.speed > 5.0f && wheel.slip >= 2.0f * wheel.peakSlipShown) {
                    lockedTicks++;
                    break;
                }
            }
            if (before == 0.0f && car.brakeHelpTimer > 0.0f) {
                triggers++;
                lastTrigger = t;
            }
            if (before > 0.0f) {
                // Limited while the timer runs.
                EXPECT_LE(car.brake, 0.333f + before * 0.667f / 0.2f + 1e-5f) << "tick " << t;
            } else if (car.brakeHelpTimer == 0.0f) {
                // No limit: the brake climbs back at 0.2 a tick.
                EXPECT_NEAR(car.brake, std::fmin(1.0f, last + 0.2f), 1e-5f) << "tick " << t;
            }
            limitedTicks += car.brake < std::fmin(1.0f, last + 0.2f) - 1e-5f ? 1 : 0;
        }
        if (help) {
            EXPECT_GT(triggers, 0);
            EXPECT_GT(limitedTicks, 0);
            // 0.2 s for the timer and four ticks at 0.2 from the lowest limit.
            EXPECT_GE(t, lastTrigger + 30);
            EXPECT_EQ(car.brakeHelpTimer, 0.0f);
            EXPECT_EQ(car.brake, 1.0f);
        } else {
            EXPECT_GT(lockedTicks, 10) << "the stop must lock an axle";
            EXPECT_EQ(triggers, 0);
            EXPECT_EQ(limitedTicks, 0);
        }
        physics.Remove(&car);
    }
}

// Two cars at 40 m/s in line, 8 m apart origin to origin: the follower lies
// in the leader's wake (reach 0.24 x 40 + radius), its surfaces feel the
// wake's air and it needs less throttle to hold the speed.
TEST_F(CarAidsCarsTest, SlipstreamFollowerNeedsLessThrottle) {
    CarObject leader;
    CarObject follower;
    Place(leader, HatchModel, 0.0f, -1800.0f, 0);
    Place(follower, HatchModel, 0.0f, -1808.0f, 1);
    ASSERT_LT(8.0f, 0.24f * 40.0f + leader.radius);
    CarObject *pair[2] = {&leader, &follower};
    // The lowest gear that keeps the engine below its best-power speed.
    const float radius = DrivenRadius(leader);
    int gear = 2;
    while (gear + 1 < leader.gearCount &&
           leader.gearRatios[gear] * leader.finalDrive * 40.0f / radius > leader.engine.maxPowerSpeed)
        gear++;
    for (CarObject *car : pair) {
        Launch(*car, 40.0f);
        Engage(*car, gear, 40.0f);
    }

    physics.Step(0);
    // The leader's wake on each surface of the follower in use: (1 - q) x
    // the leader's drag total x the surface's gain x its wake velocity, q
    // from the follower's place in the wake.
    const float gap = FixToMetres(leader.predictedPosition.y - follower.predictedPosition.y);
    const float q = (gap / leader.wake[1]) * (gap / leader.wake[1]);
    int inUse = 0;
    for (int s = 0; s < 4; s++) {
        if ((follower.wings[s].flags & 1) == 0)
            continue;
        inUse++;
        EXPECT_NEAR(follower.wings[s].wakeInflow[1],
                    (1.0f - q) * leader.dragTotal * follower.wings[s].wakeGain * leader.wakeVelocity[1], 1e-2f)
            << "surface " << s;
        EXPECT_EQ(leader.wings[s].wakeInflow[1], 0.0f) << "surface " << s;
    }
    ASSERT_GT(inUse, 0);
    // The air's force against the motion.
    auto drag = [](const CarObject &car) {
        float sum = 0.0f;
        for (const AeroSurface &s : car.wings)
            sum -= (s.flags & 1) != 0 ? s.force[1] : 0.0f;
        return sum;
    };
    EXPECT_GT(drag(leader), 0.0f);
    EXPECT_LT(drag(follower), drag(leader));

    // Each driver holds 40 m/s; the throttle of the last second counts.
    float throttle[2] = {};
    for (int t = 0; t < 4 * TicksPerSecond; t++) {
        for (int c = 0; c < 2; c++) {
            const float error = 40.0f - pair[c]->speed;
            const float want = std::fmin(1.0f, std::fmax(0.0f, 0.3f + 2.0f * error));
            pair[c]->inputs[1] = static_cast<uint16_t>(want * 65535.0f);
        }
        physics.Step(t % 4 == 3);
        if (t >= 3 * TicksPerSecond) {
            for (int c = 0; c < 2; c++)
                throttle[c] += pair[c]->engine.throttle;
        }
    }
    for (const CarObject *car : pair)
        EXPECT_NEAR(car->speed, 40.0f, 1.0f);
    const float gapNow = FixToMetres(leader.position.y - follower.position.y);
    EXPECT_NEAR(gapNow, 8.0f, 1.0f);
    EXPECT_LT(throttle[1], throttle[0]);
}

// Out of the wake nothing reaches the follower: beyond the reach behind, or
// more than the radius to the side.
TEST_F(CarAidsCarsTest, NoSlipstreamOutsideTheWake) {
    struct Row {
        const char *name;
        float side;
        float behind;   // beyond the reach when 0
    };
    const Row rows[] = {{"beyond the reach", 0.0f, 0.0f}, {"to the side", 1.0f, 8.0f}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        CarObject leader;
        CarObject follower;
        Place(leader, HatchModel, 0.0f, -1800.0f, 0);
        const float reach = 0.24f * 40.0f + leader.radius;
        const float behind = row.behind != 0.0f ? row.behind : reach + 1.0f;
        const float side = row.side != 0.0f ? leader.radius + 0.5f : 0.0f;
        Place(follower, HatchModel, side, -1800.0f - behind, 1);
        Launch(leader, 40.0f);
        Launch(follower, 40.0f);
        physics.Step(0);
        for (int s = 0; s < 4; s++) {
            for (int k = 0; k < 3; k++)
                EXPECT_EQ(follower.wings[s].wakeInflow[k], 0.0f) << "surface " << s;
        }
        physics.Remove(&leader);
        physics.Remove(&follower);
        slotCars[0] = slotCars[1] = nullptr;
    }
}

// A car standing in a strong wind along its side axis (no lift direction
// exists for that air) stays finite and on its wheels.
TEST_F(CarAidsCarsTest, CarInSideWindStaysFinite) {
    CarObject car;
    Place(car, HatchModel, 0.0f, 0.0f);
    world.wind[0] = 25.0f;
    car.moving = 1;
    physics.Remove(&car);
    physics.Add(&car);
    for (int t = 0; t < 3 * TicksPerSecond; t++) {
        physics.Step(t % 4 == 3);
        for (int k = 0; k < 3; k++) {
            ASSERT_TRUE(std::isfinite(car.velocity[k])) << "tick " << t;
            ASSERT_TRUE(std::isfinite(car.angularVelocity[k])) << "tick " << t;
            for (const AeroSurface &s : car.wings)
                ASSERT_TRUE(std::isfinite(s.force[k])) << "tick " << t;
        }
    }
    EXPECT_NEAR(car.airSpeed, 25.0f, 1.0f);
    EXPECT_GT(car.orientation[8], 0.9f);
    for (int w = 0; w < car.wheelCount; w++)
        EXPECT_TRUE(car.wheels[w].inContact) << "wheel " << w;
}

}  // namespace
