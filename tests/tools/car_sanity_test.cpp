#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/car_table.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/race_slot_hooks.h"
#include "core/fixed_math.h"
#include "render/object_file.h"
#include "tests/vehicle/world_query_double.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/rim_data.h"
#include "vehicle/tyre_curves.h"
#include "vehicle/tyre_grip.h"

// Physical sanity of whole generated cars on the flat double's ground: each
// band below comes from the loaded car's own data.
namespace {

constexpr float Gravity = 9.81f;
constexpr int TicksPerSecond = 100;

class CarSanityTest : public GeneratedCarsFixture, protected RaceSlotHooks<1> {
protected:
    // Each car placed takes race slot 0, so that its gear requests run.
    void SetUp() override {
        ASSERT_EQ(writeError, nullptr) << writeError;
        BuildTyreCurves();
        InstallRaceSlotHooks();
    }
    void TearDown() override {
        RestoreRaceSlotHooks();
        while (physics.bodyCount > 0)
            physics.Remove(physics.bodies[0]);
    }

    // Car 0 placed, then sent along at 15 m/s with its wheels rolling and
    // slid for 2 s on the handbrake.
    void HandbrakeSlide(CarObject &car) {
        Place(car, 0, 0.0f, -60.0f);
        Run(TicksPerSecond);
        car.inputs[11] = 65535;
        car.velocity[1] = 15.0f;
        car.moving = 1;
        for (int w = 0; w < car.wheelCount; w++)
            car.wheels[w].angularVelocity = 15.0f / car.wheels[w].radius;
        physics.Remove(&car);
        physics.Add(&car);
        car.inputs[12] = 65535;
        Run(2 * TicksPerSecond);
    }

    // Car `model` of the car table loaded into `car`, reset at (x, y) with the
    // given heading and added to the physics world.
    void Place(CarObject &car, int model, float x, float y, float heading = 0.0f) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[model].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        car.position = {MetresToFix(x), MetresToFix(y), MetresToFix(1.0f)};
        car.Reset(heading, 0, 1);
        car.fuel = 20.0f;
        physics.Add(&car);
        slotCars[0] = &car;
    }
    // The car, settled at rest with its engine idling and the automatic
    // clutch and gears on, is put into first gear.
    void EngageFirst(CarObject &car) {
        car.engine.StartAtIdle();
        car.autoClutch = 1;
        car.autoGears = 1;
        Run(TicksPerSecond + 5);
        car.inputs[14] = 2;
        Run(5);
        car.inputs[14] = 255;
    }
    void Run(int ticks) {
        for (int i = 0; i < ticks; i++)
            physics.Step(i % 4 == 3);
    }

    // The tyre's grip coefficient on the ground's surface kind 0 at the
    // wheel's set pressure.
    static float Mu(const CarObject &car, int wheel) {
        const CarWheel &w = car.wheels[wheel];
        const int type = car.axles[w.axleIndex].tyreType;
        return TyreSurfaceGrip[type][0] * 960000.0625f / (w.pressureSetting + 700000.0f);
    }
    static float LeastMu(const CarObject &car) {
        float mu = 100.0f;
        for (int w = 0; w < car.wheelCount; w++)
            mu = Mu(car, w) < mu ? Mu(car, w) : mu;
        return mu;
    }
    static float MostMu(const CarObject &car) {
        float mu = 0.0f;
        for (int w = 0; w < car.wheelCount; w++)
            mu = Mu(car, w) > mu ? Mu(car, w) : mu;
        return mu;
    }
    static float Speed(const CarObject &car) {
        const float *v = car.velocity;
        return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    }

    // Squares of 250 m: the ground reaches 2000 m each way, room for runs to
    // top speed.
    WorldQueryDouble world{250 * 65536};
    PhysicsWorld physics;
};

}  // namespace


// Every generated car, reset over the ground, settles on its wheels within
// 3 s with nothing of its body touching.
TEST_F(CarSanityTest, EveryCarComesToRestOnItsWheels) {
    for (int model = 0; model < CarModelCount; model++) {
        SCOPED_TRACE(CarTable[model].code);
        CarObject car;
        Place(car, model, 0.0f, 0.0f);
        Run(3 * TicksPerSecond);
        for (int k = 0; k < 3; k++) {
            ASSERT_TRUE(std::isfinite(car.velocity[k]));
            ASSERT_TRUE(std::isfinite(car.angularVelocity[k]));
            ASSERT_TRUE(std::isfinite(car.orientation[6 + k]));
        }
        EXPECT_LT(Speed(car), 0.01f);
        EXPECT_GT(car.orientation[8], 0.99f);
        for (int w = 0; w < car.wheelCount; w++)
            EXPECT_TRUE(car.wheels[w].inContact) << "wheel " << w;
        for (int p = 0; p < car.pointCount; p++)
            EXPECT_EQ(car.points[p].phase, 0) << "point " << p;
        physics.Remove(&car);
    }
}

// Idling in neutral with the handbrake on, the wheels carry the car's whole
// weight and the car stands still.
TEST_F(CarSanityTest, StandingCarCarriesItsWeightAndDoesNotDrift) {
    CarObject car;
    Place(car, 0, 0.0f, 0.0f);
    car.engine.StartAtIdle();
    car.inputs[12] = 65535;
    Run(3 * TicksPerSecond);
    ASSERT_EQ(car.gear, 1);
    // The ground's push on the tyres (the force the wheels pass on to the
    // body leaves out their own weight).
    float load = 0.0f;
    for (int w = 0; w < car.wheelCount; w++)
        load += car.wheels[w].normalForce;
    EXPECT_NEAR(load, car.mass * Gravity, 0.01f * car.mass * Gravity);
    EXPECT_LT(std::fabs(car.orientation[6]), 1e-3f);
    for (int k = 0; k < 3; k++)
        EXPECT_LT(std::fabs(car.angularVelocity[k]), 1e-3f) << k;
    const FixVector before = car.position;
    Run(10 * TicksPerSecond);
    const float dx = FixToMetres(car.position.x - before.x);
    const float dy = FixToMetres(car.position.y - before.y);
    EXPECT_LT(std::sqrt(dx * dx + dy * dy), 0.001f);
}

// With the engine off and the controls untouched the standing car leaves the
// body list and only takes its light resting steps; a throttle touch wakes it.
TEST_F(CarSanityTest, StandingCarRestsUntilTheThrottleWakesIt) {
    CarObject car;
    Place(car, 0, 0.0f, 0.0f);
    int ticks = 0;
    while (car.moving && ticks < 4 * TicksPerSecond)
        physics.Step(ticks++ % 4 == 3);
    ASSERT_EQ(car.moving, 0) << "still moving after " << ticks << " ticks";
    EXPECT_GT(ticks, 100);
    const FixVector at = car.position;
    const uint32_t steps = car.stepCount;
    Run(50);
    EXPECT_EQ(physics.bodyCount, 0);
    EXPECT_EQ(car.stepCount, steps + 50);
    EXPECT_EQ(car.position.x, at.x);
    EXPECT_EQ(car.position.y, at.y);
    EXPECT_EQ(car.position.z, at.z);

    car.inputs[1] = 20000;
    physics.Step(1);
    EXPECT_EQ(car.moving, 1);
    EXPECT_EQ(physics.bodyCount, 1);
}

// Without wheels, hull points or aerodynamic surfaces a car falls freely.
TEST_F(CarSanityTest, BareCarFallsFreely) {
    CarObject car;
    Place(car, 0, 0.0f, 0.0f);
    car.position.z = MetresToFix(50.0f);  // cars above 80 m are stopped dead
    const int32_t wheelCount = car.wheelCount;
    const int32_t pointCount = car.pointCount;
    uint8_t flags[4];
    for (int s = 0; s < 4; s++) {
        flags[s] = car.wings[s].flags;
        car.wings[s].flags = 0;
    }
    car.wheelCount = 0;
    car.pointCount = 0;
    for (int t = 0; t < 20; t++) {
        const float before = car.velocity[2];
        physics.Step(1);
        EXPECT_NEAR(car.velocity[2] - before, -Gravity * 0.01f, 1e-5f) << "tick " << t;
        EXPECT_NEAR(car.velocity[0], 0.0f, 1e-6f);
        EXPECT_NEAR(car.velocity[1], 0.0f, 1e-6f);
    }
    car.wheelCount = wheelCount;
    car.pointCount = pointCount;
    for (int s = 0; s < 4; s++)
        car.wings[s].flags = flags[s];
}

// In neutral the idle control settles where the throttle it opens balances
// the engine's friction; at full throttle the rev limit holds the speed.
TEST_F(CarSanityTest, EngineIdlesAndRevsToItsLimitInNeutral) {
    CarObject car;
    Place(car, 0, 0.0f, 0.0f);
    const CarEngine &engine = car.engine;
    ASSERT_EQ(engine.flags & 1u, 0u) << "the road car has no turbo";
    // (1 - w / idle) x Torque(w) + Friction(w) falls through zero below
    // idle; the control settles at the crossing nearest idle.
    auto balance = [&](float w) { return (1.0f - w / engine.idleSpeed) * engine.Torque(w) + engine.Friction(w); };
    float hi = engine.idleSpeed;
    float lo = hi;
    while (lo > 0.0f && balance(lo) <= 0.0f)
        lo -= 0.01f * engine.idleSpeed;
    ASSERT_GT(balance(lo), 0.0f);
    ASSERT_LT(balance(hi), 0.0f);
    for (int i = 0; i < 60; i++) {
        const float mid = 0.5f * (lo + hi);
        (balance(mid) > 0.0f ? lo : hi) = mid;
    }
    const float idle = 0.5f * (lo + hi);
    car.engine.StartAtIdle();
    Run(3 * TicksPerSecond);
    ASSERT_EQ(car.gear, 1);
    EXPECT_NEAR(engine.speed, idle, 0.02f * idle);

    car.inputs[1] = 65535;
    Run(3 * TicksPerSecond);
    EXPECT_GE(engine.speed, 0.99f * engine.maxSpeed);
    EXPECT_LT(engine.speed, engine.maxSpeed);
    EXPECT_EQ(engine.condition, 1.0f);
}

// At walking pace on a quarter lock the car drives the circle its wheelbase
// and wheel angle give; the word's side of the centre decides the turn.
TEST_F(CarSanityTest, SteeringGivesTheGeometricRadius) {
    const struct {
        uint16_t word;
        float sign;
    } rows[] = {{24576, 1.0f}, {40960, -1.0f}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.word);
        CarObject car;
        Place(car, 0, 0.0f, -30.0f);
        car.engine.StartAtIdle();
        car.autoClutch = 1;
        Run(TicksPerSecond + 5);
        car.inputs[14] = 2;
        Run(5);
        car.inputs[14] = 255;
        ASSERT_EQ(car.gear, 2);
        car.inputs[0] = row.word;
        for (int t = 0; t < 8 * TicksPerSecond; t++) {
            const float error = 5.0f - car.speed;
            const float throttle = error > 0.0f ? (error > 1.0f ? 0.6f : 0.6f * error) : 0.0f;
            car.inputs[1] = static_cast<uint16_t>(throttle * 65535.0f);
            physics.Step(t % 4 == 3);
        }
        EXPECT_NEAR(car.speed, 5.0f, 0.25f);
        const float yawRate = car.UpwardComponent();
        EXPECT_GT(yawRate * row.sign, 0.0f);
        const float radius = car.speed / std::fabs(yawRate);
        const float geometric = car.wheelbase / std::tan(std::fabs(car.wheelSteerAngle));
        EXPECT_NEAR(radius, geometric, 0.1f * geometric);
        physics.Remove(&car);
    }
}

// Full braking from 30 m/s with the clutch pressed and no anti-lock: the
// mean deceleration lies within the tyres' grip and the aerodynamic share.
TEST_F(CarSanityTest, BrakingFromSpeedStaysWithinTheGrip) {
    CarObject car;
    Place(car, 0, -75.0f, 0.0f);
    car.absFitted = 0;
    car.inputs[11] = 65535;
    car.velocity[0] = 30.0f;
    for (int w = 0; w < car.wheelCount; w++)
        car.wheels[w].angularVelocity = 30.0f / car.wheels[w].radius;
    Run(2);
    ASSERT_GT(car.speed, 29.0f);
    const float mu = LeastMu(car);
    const float base = 1.15f * mu * Gravity;
    const float aero = (car.dragTotal + 1.15f * mu * std::fmax(0.0f, -car.liftTotal)) * 900.0f / car.mass;
    car.inputs[2] = 65535;
    const float start = car.speed;
    int ticks = 0;
    while (car.speed > 5.0f && ticks < 30 * TicksPerSecond) {
        physics.Step(ticks % 4 == 3);
        ticks++;
    }
    const float deceleration = (start - car.speed) / (static_cast<float>(ticks) * 0.01f);
    EXPECT_GE(deceleration, 0.35f * base);
    EXPECT_LE(deceleration, 1.1f * base + aero);
    Run(5 * TicksPerSecond);
    EXPECT_LT(car.speed, 0.05f);
    EXPECT_LT(FixToMetres(car.position.x), 78.0f);
}

// Rolling in neutral from 20 m/s with no input, the car never gains speed
// (beyond float noise) and is slower after 10 s. It runs along the diagonal
// of the ground so that it stays on it.
TEST_F(CarSanityTest, RollingCarNeverGainsSpeed) {
    CarObject car;
    Place(car, 0, -76.0f, -76.0f, -0.78539816f);
    Run(TicksPerSecond);
    const float forward[2] = {car.orientation[1], car.orientation[4]};
    ASSERT_GT(forward[0], 0.7f);
    ASSERT_GT(forward[1], 0.7f);
    car.velocity[0] = 20.0f * forward[0];
    car.velocity[1] = 20.0f * forward[1];
    car.moving = 1;
    for (int w = 0; w < car.wheelCount; w++)
        car.wheels[w].angularVelocity = 20.0f / car.wheels[w].radius;
    physics.Remove(&car);
    physics.Add(&car);
    physics.Step(1);
    const float start = Speed(car);
    float last = start;
    for (int t = 0; t < 10 * TicksPerSecond; t++) {
        physics.Step(t % 4 == 3);
        const float now = Speed(car);
        ASSERT_LE(now - last, 1e-3f) << "tick " << t;
        last = now;
    }
    EXPECT_LT(last, start);
    EXPECT_LT(FixToMetres(car.position.x), 79.0f);
    EXPECT_LT(FixToMetres(car.position.y), 79.0f);
}

// A car dropped from 0.5 m never bounces back up to where it fell from.
TEST_F(CarSanityTest, DroppedCarDoesNotBounceBackUp) {
    CarObject car;
    Place(car, 0, 0.0f, 0.0f);
    Run(3 * TicksPerSecond);
    const int32_t resting = car.position.z;
    const int32_t dropHeight = resting + MetresToFix(0.5f);
    car.position.z = dropHeight;
    car.moving = 1;
    physics.Remove(&car);
    physics.Add(&car);
    bool landed = false;
    for (int t = 0; t < 3 * TicksPerSecond; t++) {
        physics.Step(t % 4 == 3);
        landed = landed || car.velocity[2] > 0.0f;
        if (landed) {
            ASSERT_LT(car.position.z, dropHeight) << "tick " << t;
        }
    }
    EXPECT_TRUE(landed);
}

// Kinetic energy of the body's motion and turn and of its wheels' spin.
float KineticEnergy(const CarObject &car) {
    float e = 0.0f;
    for (int k = 0; k < 3; k++)
        e += 0.5f * car.mass * car.velocity[k] * car.velocity[k] + 0.5f * car.angularVelocity[k] * car.angularMomentum[k];
    for (int w = 0; w < car.wheelCount; w++)
        e += 0.5f * car.wheels[w].inertia * car.wheels[w].angularVelocity * car.wheels[w].angularVelocity;
    return e;
}

// Momentum along axis k, with what other bodies' contacts have handed over
// for the next tick.
float Momentum(const CarObject &car, int k) {
    return car.mass * car.velocity[k] + car.impulse[k];
}

// Two cars meeting head-on at 15 and 5 m/s part again: the closing speed
// turns into an opening one, the horizontal momentum is kept and no energy
// is made.
TEST_F(CarSanityTest, HeadOnCollisionKeepsMomentumAndMakesNoEnergy) {
    CarObject a;
    CarObject b;
    Place(a, 0, 0.0f, -12.0f, 0.0f);
    Place(b, 0, 0.0f, 0.0f, 3.14159265f);
    Run(TicksPerSecond);
    const float speeds[2] = {15.0f, -5.0f};
    CarObject *pair[2] = {&a, &b};
    for (int c = 0; c < 2; c++) {
        CarObject &car = *pair[c];
        car.inputs[11] = 65535;
        car.velocity[1] = speeds[c];
        car.moving = 1;
        for (int w = 0; w < car.wheelCount; w++)
            car.wheels[w].angularVelocity = std::fabs(speeds[c]) / car.wheels[w].radius;
        physics.Remove(&car);
        physics.Add(&car);
    }
    // Taken on the last tick before the bodies meet, so that the tyres' and
    // the air's drag on the way there do not count.
    auto closing = [&] { return a.velocity[1] - b.velocity[1]; };
    float momentum[2] = {};
    float energy = 0.0f;
    float deepest = 0.0f;
    int ticks = 0;
    bool touched = false;
    while (ticks < 3 * TicksPerSecond) {
        if (!touched) {
            for (int k = 0; k < 2; k++)
                momentum[k] = Momentum(a, k) + Momentum(b, k);
            energy = KineticEnergy(a) + KineticEnergy(b);
        }
        physics.Step(ticks % 4 == 3);
        ticks++;
        touched = touched || closing() < 0.9f * (speeds[0] - speeds[1]);
        for (const CarObject *car : pair) {
            for (int p = 0; p < car->pointCount; p++) {
                if (car->points[p].phase != 0 && car->points[p].probe.otherBody != nullptr)
                    deepest = std::fmax(deepest, car->points[p].lastDepth);
            }
        }
        if (touched && closing() < 0.0f)
            break;
    }
    ASSERT_TRUE(touched);
    EXPECT_LT(closing(), 0.0f) << "after " << ticks << " ticks";
    const float size = std::sqrt(momentum[0] * momentum[0] + momentum[1] * momentum[1]);
    for (int k = 0; k < 2; k++)
        EXPECT_NEAR(Momentum(a, k) + Momentum(b, k), momentum[k], 0.02f * size) << k;
    EXPECT_LE(KineticEnergy(a) + KineticEnergy(b), energy);
    // A single spring of the contact stiffness stopping the effective mass.
    const float reduced = a.mass * b.mass / (a.mass + b.mass);
    const float stiffness = std::fmin(a.stiffness, b.stiffness);
    EXPECT_GT(deepest, 0.0f);
    EXPECT_LE(deepest, 1.2f * (speeds[0] - speeds[1]) * std::sqrt(reduced / stiffness));
}

// Mean skin temperature of a wheel's tread up to a factor that is the same
// for every tyre: the skin's heat capacity grows with the tyre radius and the
// tread section's area.
float SkinTemperatureScale(const CarObject &car, const CarWheel &wheel) {
    const RimData &axle = car.axles[wheel.axleIndex];
    float heat = 0.0f;
    for (const TreadSegment &segment : wheel.tread) {
        for (const TreadSection &section : segment.sections)
            heat += section.skinHeat;
    }
    return heat / (48.0f * axle.outerRadius * axle.treadSectionArea);
}

// A handbrake slide from 15 m/s heats the locked rear tyres' skin more than
// the rolling front ones.
TEST_F(CarSanityTest, HandbrakeSlideHeatsTheRearTyres) {
    CarObject car;
    HandbrakeSlide(car);
    float hottestFront = 0.0f;
    float coolestRear = 1e30f;
    for (int w = 0; w < car.wheelCount; w++) {
        const float t = SkinTemperatureScale(car, car.wheels[w]);
        if (car.wheels[w].axleIndex == 0)
            coolestRear = std::fmin(coolestRear, t);
        else
            hottestFront = std::fmax(hottestFront, t);
    }
    EXPECT_GT(coolestRear, hottestFront);
}

// Temperatures (K) of every heat store of a wheel: the tread's skin and bulk,
// the sidewalls, the air inside and the rim.
template <typename Visit>
void ForEachTemperature(const CarWheel &wheel, const RimData &axle, Visit visit) {
    constexpr float RubberHeat = 2000.0f * 910.0f;  // J/(K m^3)
    const float r = axle.outerRadius;
    for (const TreadSegment &segment : wheel.tread) {
        for (const TreadSection &section : segment.sections) {
            visit(section.skinHeat / (0.001f * r * axle.treadSectionArea * RubberHeat));
            visit(section.bulkHeat / (section.thickness * axle.treadSectionArea * RubberHeat));
        }
        for (float heat : segment.sidewallHeat)
            visit(heat / (0.015f * r * axle.sidewallArea * RubberHeat));
    }
    visit(wheel.airHeat / (1005.0f * wheel.airMass));
    visit(wheel.rimHeat / (1000.0f * axle.rimVolume * 2700.0f));
}

// After a handbrake slide the idling car's tyres cool: each tyre's hottest
// store only cools, and none falls below the outside air.
TEST_F(CarSanityTest, SlidTyresCoolTowardsTheOutsideAir) {
    constexpr float Outside = 293.15f;
    CarObject car;
    HandbrakeSlide(car);
    // The brakes bring it to a stand; then it idles with the handbrake on.
    car.inputs[2] = 65535;
    for (int t = 0; t < 5 * TicksPerSecond && Speed(car) > 0.01f; t++)
        physics.Step(t % 4 == 3);
    ASSERT_LE(Speed(car), 0.01f);
    car.inputs[2] = 0;
    car.inputs[11] = 0;
    car.engine.StartAtIdle();

    auto hottest = [&](int w, float &coolest) {
        float hot = 0.0f;
        ForEachTemperature(car.wheels[w], car.axles[car.wheels[w].axleIndex], [&](float t) {
            hot = std::fmax(hot, t);
            coolest = std::fmin(coolest, t);
        });
        return hot;
    };
    float start[8];
    float last[8];
    ASSERT_LE(car.wheelCount, 8);
    float coolest = 1e30f;
    for (int w = 0; w < car.wheelCount; w++) {
        start[w] = last[w] = hottest(w, coolest);
        ASSERT_GT(start[w], Outside + 1.0f) << "wheel " << w;
    }
    for (int t = 0; t < 30 * TicksPerSecond; t++) {
        physics.Step(t % 4 == 3);
        if (t % 10 != 9)
            continue;
        for (int w = 0; w < car.wheelCount; w++) {
            const float now = hottest(w, coolest);
            ASSERT_LE(now, last[w] + 1e-3f) << "wheel " << w << " tick " << t;
            last[w] = now;
        }
        ASSERT_GE(coolest, Outside - 1e-3f) << "tick " << t;
    }
    for (int w = 0; w < car.wheelCount; w++)
        EXPECT_LT(last[w] - Outside, 0.9f * (start[w] - Outside)) << "wheel " << w << " " << start[w] << " " << last[w];
}

// Full throttle from rest in first gear with the automatic clutch and
// gears: the engine never stalls, the car gains speed except while a shift
// is under way, every change up comes above the engine's best-power speed,
// and 100 km/h takes about the time the engine's power gives.
TEST_F(CarSanityTest, FullThrottleLaunchGainsSpeedAndShiftsAboveBestPower) {
    CarObject car;
    Place(car, 0, 0.0f, -1900.0f);
    EngageFirst(car);
    ASSERT_EQ(car.gear, 2);
    car.inputs[1] = 65535;
    constexpr float Target = 27.78f;
    const float ideal = 0.5f * car.mass * Target * Target / (car.driveEfficiency * car.engine.maxPower);
    float last = car.speed;
    float peak = car.speed;
    int ticks = 0;
    int upshifts = 0;
    while (car.speed < Target && ticks < 30 * TicksPerSecond) {
        const float judged = std::fmax(car.EngineSpeedForRoadSpeed(), car.engine.speed);
        const uint8_t requested = car.requestedGear;
        const uint8_t gear = car.gear;
        physics.Step(ticks % 4 == 3);
        ticks++;
        ASSERT_NE(car.engine.running, 0u) << "tick " << ticks;
        ASSERT_GT(car.engine.speed, 0.5f * car.engine.idleSpeed) << "tick " << ticks;
        if (car.requestedGear > requested && car.requestedGear > gear) {
            upshifts++;
            EXPECT_GT(judged, car.engine.maxPowerSpeed) << "up from gear " << int(gear) << " tick " << ticks;
        }
        const bool shifting = car.autoClutchTimer > 0.0f || car.throttleCutTimer > 0.0f ||
                              car.ignitionCutTimer > 0.0f || car.gear != car.requestedGear || car.gear == 1;
        if (shifting) {
            ASSERT_GT(car.speed, peak - 0.2f) << "tick " << ticks;
        } else {
            ASSERT_GE(car.speed, last - 1e-4f) << "tick " << ticks;
        }
        last = car.speed;
        peak = std::fmax(peak, car.speed);
    }
    const float seconds = static_cast<float>(ticks) / TicksPerSecond;
    EXPECT_GE(upshifts, 1);
    EXPECT_GE(seconds, 0.8f * ideal);
    EXPECT_LE(seconds, 3.0f * ideal);
}

// Driven straight at full throttle on the automatic gears, the car changes
// up through the box and levels off near the lower of the set-up's
// drag-limited estimate and the speed the rev limit allows in top gear.
TEST_F(CarSanityTest, TopSpeedOnAutomaticGearsMatchesPowerAndGearing) {
    CarObject car;
    Place(car, 0, 0.0f, -1950.0f);
    EngageFirst(car);
    ASSERT_EQ(car.autoGears, 1u);
    car.inputs[1] = 65535;
    float radius = 0.0f;
    for (int w = 0; w < car.wheelCount; w++) {
        if (car.wheels[w].driven != 0)
            radius = car.wheels[w].radius;
    }
    ASSERT_GT(radius, 0.0f);
    const int top = car.gearCount - 1;
    const float geared = 0.99f * car.engine.maxSpeed * radius / (car.gearRatios[top] * car.finalDrive);
    const float expected = std::fmin(car.topSpeedEstimate, geared);
    int highest = car.gear;
    // The ground is flat and made of equal squares: moving the car back by
    // whole squares gives it an endless straight.
    const int32_t lap = 12 * 250 * 65536;
    auto drive = [&](int ticks) {
        for (int t = 0; t < ticks; t++) {
            physics.Step(t % 4 == 3);
            // A change passes through neutral (gear 1) on its way up.
            if (car.gear != 1) {
                ASSERT_GE(car.gear, highest) << "changed down at full throttle";
                highest = car.gear;
            }
            if (car.position.y > MetresToFix(1500.0f))
                car.position.y -= lap;
        }
    };
    float before = -1.0f;
    int seconds = 0;
    while (std::fabs(car.speed - before) >= 0.02f && seconds < 180) {
        before = car.speed;
        drive(5 * TicksPerSecond);
        seconds += 5;
    }
    ASSERT_LT(std::fabs(car.speed - before), 0.02f) << "still changing after " << seconds << " s";
    EXPECT_EQ(car.gear, top);
    EXPECT_GE(car.speed, 0.7f * expected) << car.topSpeedEstimate << " " << geared;
    EXPECT_LE(car.speed, 1.02f * expected) << car.topSpeedEstimate << " " << geared;
}

// Every road car (classes 1 to 3), at full throttle from rest on the
// automatic gears with the throttle cut on changes up, works its way up to
// its top gear without ever changing down: each engine's best power lies
// below its rev limiter, so every gear runs past the best-power speed.
TEST_F(CarSanityTest, RoadCarsChangeUpToTopGearOnAutomaticGears) {
    for (int model = 0; model < CarModelCount; model++) {
        CarObject car;
        Place(car, model, 0.0f, -1950.0f);
        if (car.vehicleClass < 1 || car.vehicleClass > 3) {
            physics.Remove(&car);
            continue;
        }
        EngageFirst(car);
        car.autoCut = 1;
        car.inputs[1] = 65535;
        const int top = car.gearCount - 1;
        const int32_t lap = 12 * 250 * 65536;
        int highest = car.gear;
        for (int t = 0; t < 60 * TicksPerSecond && highest < top; t++) {
            physics.Step(t % 4 == 3);
            // A change passes through neutral (gear 1) on its way up.
            if (car.gear != 1) {
                ASSERT_GE(car.gear, highest) << CarTable[model].code << " changed down at tick " << t;
                highest = car.gear;
            }
            if (car.position.y > MetresToFix(1500.0f))
                car.position.y -= lap;
        }
        EXPECT_EQ(highest, top) << CarTable[model].code << " at " << car.speed << " m/s";
        physics.Remove(&car);
    }
}

// At 20 m/s on full lock the sideways acceleration stays within the tyres'
// grip and the downforce's share.
TEST_F(CarSanityTest, FullLockCorneringStaysWithinTheGrip) {
    CarObject car;
    Place(car, 0, 0.0f, 0.0f);
    Run(TicksPerSecond);
    car.engine.StartAtIdle();
    car.autoClutch = 1;
    car.autoGears = 1;
    float radius = 0.0f;
    for (int w = 0; w < car.wheelCount; w++) {
        if (car.wheels[w].driven != 0)
            radius = car.wheels[w].radius;
    }
    // The lowest forward gear that keeps the engine under its best-power
    // speed at 20 m/s.
    int gear = 2;
    while (gear + 1 < car.gearCount &&
           car.gearRatios[gear] * car.finalDrive * 20.0f / radius > car.engine.maxPowerSpeed)
        gear++;
    car.gear = car.requestedGear = static_cast<uint8_t>(gear);
    car.engine.speed = car.gearRatios[gear] * car.finalDrive * 20.0f / radius;
    car.velocity[1] = 20.0f;
    car.moving = 1;
    for (int w = 0; w < car.wheelCount; w++)
        car.wheels[w].angularVelocity = 20.0f / car.wheels[w].radius;
    physics.Remove(&car);
    physics.Add(&car);
    car.inputs[0] = 0;
    const float mu = MostMu(car);
    const float bound = 1.1f * 0.95f * mu * Gravity + 0.95f * mu * std::fmax(0.0f, -car.liftTotal) * 400.0f / car.mass;
    float previous[2] = {car.velocity[0], car.velocity[1]};
    float highest = 0.0f;
    for (int t = 0; t < 4 * TicksPerSecond; t++) {
        const float error = 20.0f - car.speed;
        const float throttle = error > 0.0f ? (error > 1.0f ? 1.0f : error) : 0.0f;
        car.inputs[1] = static_cast<uint16_t>(throttle * 65535.0f);
        physics.Step(t % 4 == 3);
        if (t % 10 != 9)
            continue;
        // Over 0.1 s: the change of the horizontal velocity across its
        // mean direction.
        const float mean[2] = {0.5f * (previous[0] + car.velocity[0]), 0.5f * (previous[1] + car.velocity[1])};
        const float size = std::sqrt(mean[0] * mean[0] + mean[1] * mean[1]);
        const float change[2] = {(car.velocity[0] - previous[0]) / 0.1f, (car.velocity[1] - previous[1]) / 0.1f};
        const float lateral = std::fabs(mean[0] * change[1] - mean[1] * change[0]) / size;
        // Counted once the wheels have turned to their lock.
        if (t > 50)
            highest = std::fmax(highest, lateral);
        previous[0] = car.velocity[0];
        previous[1] = car.velocity[1];
    }
    ASSERT_NE(car.setup, nullptr);
    EXPECT_GT(std::fabs(car.wheelSteerAngle), 0.9f * static_cast<float>(car.setup->maxLock) * 3.14159265f / 180.0f);
    EXPECT_GT(highest, 0.3f * bound);
    EXPECT_LE(highest, bound) << "speed now " << car.speed;
}
