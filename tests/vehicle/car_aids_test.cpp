#include "vehicle/car_object.h"

#include <gtest/gtest.h>

#include <memory>

#include "fresh_car_fixture.h"

// The driving aids on a car whose wheels the tests set by hand: wheels 0 and
// 1 on the rear axle (driven), 2 and 3 on the front, every tyre 0.5 m (so
// that rim speeds are exact).
namespace {

constexpr float Dt = 0.01f;

struct AidsCar : FreshCarFixture {
    void SetUp() override {
        NewCar();
        car->wheelCount = 4;
        car->wheels = new CarWheel[4];
        for (int i = 0; i < 4; i++) {
            CarWheel &w = car->wheels[i];
            w.axleIndex = i < 2 ? 0 : 1;
            w.driven = i < 2 ? 1 : 0;
            w.radius = 0.5f;
            w.inContact = 1;
            w.slip = 0.0f;
            w.peakSlipShown = 0.1f;
            w.angularVelocity = 0.0f;
        }
    }

    // Every wheel's rim speed (m/s), wheel by wheel.
    void Rims(float a, float b, float c, float d) {
        const float v[4] = {a, b, c, d};
        for (int i = 0; i < 4; i++)
            car->wheels[i].angularVelocity = v[i] / car->wheels[i].radius;
    }
    void ExpectReleases(int a, int b, int c, int d, const char *what) {
        const int v[4] = {a, b, c, d};
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(car->absRelease[i], v[i]) << what << ", wheel " << i;
    }
};

// --- Anti-lock brakes -----------------------------------------------------

TEST_F(AidsCar, AbsReleasesALockingWheelAndGivesItsBrakeBackInFiveTicks) {
    car->brake = 1.0f;
    // Wheel 2 (front, first slot) turns more than 20 % slower than the rest.
    Rims(20.0f, 20.0f, 15.9f, 20.0f);
    car->StepAbs(Dt);
    EXPECT_FLOAT_EQ(car->absReference, 20.0f);
    ExpectReleases(0, 0, 100, 0, "locking");

    // Exactly 0.8 of the reference is not below it.
    Rims(20.0f, 20.0f, 16.0f, 20.0f);
    const int expected[] = {80, 60, 40, 20, 0, 0};
    for (int tick = 0; tick < 6; tick++) {
        car->StepAbs(Dt);
        ExpectReleases(0, 0, expected[tick], 0, "recovering");
    }
}

TEST_F(AidsCar, AbsReferenceIsTheFastestRimSpeedOfTheTickOnly) {
    struct Row {
        const char *name;
        float before;     // reference left by the last tick
        float rims[4];
        float reference;
        int releases[4];
    };
    const float floor = 2.0f * 9.81f * Dt;
    const Row rows[] = {
        // The last tick's 30 m/s is not kept: 7.9 is below 0.8 x 10 only.
        {"replaced, not kept", 30.0f, {10.0f, 10.0f, 10.0f, 7.9f}, 10.0f, {0, 0, 0, 100}},
        // Reversing wheels count by their magnitude.
        {"backwards", 0.0f, {-10.0f, -10.0f, -7.9f, -10.0f}, 10.0f, {0, 0, 100, 0}},
        // A reference of at most 5 m/s releases nothing: a wheel locking at
        // walking pace stays locked.
        {"walking pace", 0.0f, {5.0f, 5.0f, 0.0f, 0.0f}, 5.0f, {0, 0, 0, 0}},
        // Every wheel locked in the same tick: only max(2 g dt, fastest).
        {"all locked", 30.0f, {0.0f, 0.0f, 0.0f, 0.0f}, floor, {0, 0, 0, 0}},
        {"all nearly locked", 30.0f, {3.0f, 0.0f, 0.5f, 0.0f}, 3.0f, {0, 0, 0, 0}},
        // A zero reference stays at the fastest rim speed, without 2 g dt.
        {"from zero", 0.0f, {0.0f, 0.0f, 0.1f, 0.0f}, 0.1f, {0, 0, 0, 0}},
    };
    for (const Row &row : rows) {
        SetUp();
        car->brake = 0.5f;
        car->absReference = row.before;
        Rims(row.rims[0], row.rims[1], row.rims[2], row.rims[3]);
        car->StepAbs(Dt);
        EXPECT_NEAR(car->absReference, row.reference, 1e-5f) << row.name;
        ExpectReleases(row.releases[0], row.releases[1], row.releases[2], row.releases[3], row.name);
    }
}

TEST_F(AidsCar, AbsClearsEverythingWhenTheBrakeIsReleasedExactly) {
    car->brake = 1.0f;
    Rims(20.0f, 20.0f, 0.0f, 10.0f);
    car->StepAbs(Dt);
    ExpectReleases(0, 0, 100, 100, "locking");

    // The least brake keeps the state; exactly 0 clears it.
    car->brake = 1e-6f;
    Rims(20.0f, 20.0f, 20.0f, 20.0f);
    car->StepAbs(Dt);
    ExpectReleases(0, 0, 80, 80, "light brake");
    car->brake = 0.0f;
    Rims(20.0f, 20.0f, 0.0f, 0.0f);
    car->StepAbs(Dt);
    EXPECT_EQ(car->absReference, 0.0f);
    ExpectReleases(0, 0, 0, 0, "released");
}

TEST_F(AidsCar, AbsEntriesNeverWrapBelowZero) {
    // An entry that is not a multiple of 20 (from elsewhere) ends at 0.
    car->brake = 1.0f;
    car->absRelease[1] = 10;
    car->absRelease[3] = 255;
    Rims(20.0f, 20.0f, 20.0f, 20.0f);
    car->StepAbs(Dt);
    ExpectReleases(0, 0, 0, 235, "first");
    for (int tick = 0; tick < 12; tick++)
        car->StepAbs(Dt);
    ExpectReleases(0, 0, 0, 0, "later");
}

// A car without wheels has no rim speed: the reference stays where 2 g dt
// puts it and nothing is touched out of range.
TEST_F(AidsCar, AbsOnACarWithoutWheels) {
    car->wheelCount = 0;
    car->brake = 1.0f;
    car->absReference = 12.0f;
    car->StepAbs(Dt);
    EXPECT_FLOAT_EQ(car->absReference, 2.0f * 9.81f * Dt);
    ExpectReleases(0, 0, 0, 0, "no wheels");
}

// --- Brake help -------------------------------------------------------------

TEST_F(AidsCar, BrakeHelpTriggersAboveFiveMetresPerSecondWhenAnAxleLocks) {
    struct Row {
        const char *name;
        float speed;
        float slip[4];       // in units of the shown peak slip
        uint8_t contact[4];
        float timerBefore;
        float timerAfter;
    };
    const Row rows[] = {
        {"all locked at exactly 5 m/s", 5.0f, {3, 3, 3, 3}, {1, 1, 1, 1}, 0.0f, 0.0f},
        {"all locked just above", 5.001f, {3, 3, 3, 3}, {1, 1, 1, 1}, 0.0f, 0.2f},
        {"all gripping", 20.0f, {1, 1, 1, 1}, {1, 1, 1, 1}, 0.0f, 0.0f},
        {"front axle locked", 20.0f, {1, 1, 3, 3}, {1, 1, 1, 1}, 0.0f, 0.2f},
        {"rear axle locked", 20.0f, {3, 3, 1, 1}, {1, 1, 1, 1}, 0.0f, 0.2f},
        // Exactly twice the peak slip counts as locking.
        {"at twice the peak slip", 20.0f, {2, 2, 1, 1}, {1, 1, 1, 1}, 0.0f, 0.2f},
        // One gripping wheel on the ground frees its axle.
        {"one wheel per axle grips", 20.0f, {3, 1, 1, 3}, {1, 1, 1, 1}, 0.0f, 0.0f},
        // An axle with no wheel on the ground counts as locking.
        {"rear axle in the air", 20.0f, {0, 0, 1, 1}, {0, 0, 1, 1}, 0.0f, 0.2f},
        {"one rear wheel on the ground", 20.0f, {0, 0, 1, 1}, {0, 1, 1, 1}, 0.0f, 0.0f},
        // A running timer is not started again.
        {"timer running", 20.0f, {3, 3, 3, 3}, {1, 1, 1, 1}, 0.05f, 0.05f},
    };
    for (const Row &row : rows) {
        SetUp();
        car->speed = row.speed;
        car->brakeHelpTimer = row.timerBefore;
        for (int i = 0; i < 4; i++) {
            car->wheels[i].slip = row.slip[i] * car->wheels[i].peakSlipShown;
            car->wheels[i].inContact = row.contact[i];
        }
        car->UpdateBrakeHelp();
        EXPECT_EQ(car->brakeHelpTimer, row.timerAfter) << row.name;
    }
}

// In the car's tick: a car without wheels has no wheel on the ground, so
// above 5 m/s brake help triggers whenever its timer has run out. The full
// brake request is limited to 0.333 + 0.667 x timer / 0.2: 1.0 as the timer
// starts, falling towards 0.333 as it runs out.
TEST(BrakeHelpInTheTick, TheLimitFallsFromFullToAThirdOverTheTimer) {
    CarSetup setup{};
    auto owned = std::make_unique<CarObject>();
    CarObject &car = *owned;
    car.setup = &setup;
    car.vehicleClass = 1;
    car.engine.SetDefaults();
    car.engine.displacement = 2800.0f;
    car.engine.maxSpeed = 700.0f;
    car.engine.SetUpFromClass(1);
    car.mass = 1000.0f;
    for (int k = 0; k < 9; k++) {
        const float d = k % 4 == 0 ? 1.0f : 0.0f;
        car.orientation[k] = d;
        car.inertia[k] = 1000.0f * d;
        car.inverseInertia[k] = 0.001f * d;
    }
    for (AeroSurface &s : car.wings)
        s.Empty();
    car.gear = car.lastGear = 1;
    car.fuel = 20.0f;
    car.active = 1;
    car.moving = 1;
    car.velocity[1] = 20.0f;
    car.speed = 20.0f;
    car.brakeHelp = 1;
    car.brake = 1.0f;
    car.inputs[2] = 65535;

    float lowest = 1.0f;
    float highest = 0.0f;
    int triggers = 0;
    for (int tick = 0; tick < 45; tick++) {
        const float before = car.brakeHelpTimer;
        const float last = car.brake;
        car.Step(Dt, 0.0f);
        car.stepCount++;
        // The timer the limit was taken from: a new 0.2 when it had run out.
        // The brake follows the limit down and climbs back at 0.2 a tick.
        const float timer = before > 0.0f ? before : 0.2f;
        triggers += before > 0.0f ? 0 : 1;
        const float limit = 0.333f + timer * 0.667f / 0.2f;
        const float expected = limit < last + 0.2f ? limit : last + 0.2f;
        EXPECT_NEAR(car.brake, expected, 1e-5f) << "tick " << tick;
        lowest = car.brake < lowest ? car.brake : lowest;
        highest = car.brake > highest ? car.brake : highest;
    }
    EXPECT_EQ(highest, 1.0f);
    EXPECT_LT(lowest, 0.333f + 0.667f * 0.06f);
    EXPECT_GE(lowest, 0.333f);
    EXPECT_GE(triggers, 2);
    EXPECT_LE(triggers, 3);

    // Local cars only: a remote car keeps its full brake.
    car.isRemote = 1;
    car.remotePhase = 0;
    car.remoteStateTick = car.stepCount;
    car.brakeHelpTimer = 0.0f;
    car.brake = 0.5f;
    car.Step(Dt, 0.0f);
    EXPECT_EQ(car.brakeHelpTimer, 0.0f);
    EXPECT_NEAR(car.brake, 0.7f, 1e-6f);
}

// --- Traction cut -------------------------------------------------------------

TEST_F(AidsCar, TractionCutTable) {
    struct Row {
        const char *name;
        uint8_t allowedSlip;   // tenths of a percent
        uint8_t minSpeed;      // m/s
        float speed;
        float ratio;           // driven over undriven surface speed
        float factor;          // tractionFactor after the sub-step
    };
    // The cut of the last sub-step, which a sub-step within the allowed slip
    // leaves as it is.
    constexpr float Last = 0.7f;
    const Row rows[] = {
        // Allowed slip 0: a full cut as soon as the driven wheels turn
        // faster, from 1.5 x the minimum speed on.
        {"no slip allowed, barely faster", 0, 10, 15.0f, 1.001f, 0.0f},
        {"no slip allowed, fast", 0, 10, 40.0f, 1.5f, 0.0f},
        {"no slip allowed, equal speeds", 0, 10, 40.0f, 1.0f, Last},
        // Between the minimum speed and 1.5 x it the cut fades in linearly.
        {"fading in, half way", 0, 10, 12.5f, 1.2f, 0.5f},
        {"fading in, a fifth", 0, 10, 11.0f, 1.2f, 0.8f},
        // Within the allowed slip (5 %) nothing changes.
        {"within the allowed slip", 50, 10, 20.0f, 1.049f, Last},
        {"slower driven wheels", 50, 10, 20.0f, 0.8f, Last},
        // Between 1 + s and 1 + 1.5 s the cut grows linearly.
        {"partial cut", 50, 10, 20.0f, 1.06f, 0.6f},
        {"full cut", 50, 10, 20.0f, 1.08f, 0.0f},
        // Both at once: 0.4 of the cut, faded to half.
        {"partial and fading", 50, 10, 12.5f, 1.06f, 0.8f},
        // Minimum speed 0: no fading at any speed.
        {"no minimum speed", 50, 0, 1.0f, 1.1f, 0.0f},
    };
    for (const Row &row : rows) {
        SetUp();
        setup.tcSlip = row.allowedSlip;
        setup.tcMinSpeed = row.minSpeed;
        car->speed = row.speed;
        car->tyreRadiusRatio = 1.0f;
        car->engine.totalRatio = 10.0f;
        car->uncutThrottle = 0.9f;
        car->tractionFactor = Last;
        car->engine.throttle = Last * 0.9f;
        // Undriven wheels at 40 and 50 rad/s: the faster one counts.
        car->wheels[2].angularVelocity = 40.0f;
        car->wheels[3].angularVelocity = 50.0f;
        car->engine.speed = row.ratio * 50.0f * 10.0f;
        car->ApplyTractionCut();
        EXPECT_NEAR(car->tractionFactor, row.factor, 1e-4f) << row.name;
        EXPECT_NEAR(car->engine.throttle, row.factor * 0.9f, 1e-4f) << row.name;
    }
}

TEST_F(AidsCar, TractionCutNeedsARollingUndrivenWheel) {
    struct Row {
        const char *name;
        float undriven[2];
        float radiusRatio;
        float factor;
    };
    const Row rows[] = {
        // No undriven wheel faster than 0.001 rad/s: no ratio, no change.
        {"standing", {0.0f, 0.001f}, 1.0f, 0.7f},
        {"rolling backwards", {-50.0f, -50.0f}, 1.0f, 0.7f},
        // The rear tyres' radius over the front's scales the engine side:
        // with rear tyres 5 % smaller the same speeds are within the slip.
        {"smaller driven tyres", {50.0f, 50.0f}, 0.95f, 0.7f},
        {"equal tyres", {50.0f, 50.0f}, 1.0f, 0.6f},
    };
    for (const Row &row : rows) {
        SetUp();
        setup.tcSlip = 50;
        setup.tcMinSpeed = 10;
        car->speed = 20.0f;
        car->tyreRadiusRatio = row.radiusRatio;
        car->engine.totalRatio = 10.0f;
        car->uncutThrottle = 1.0f;
        car->tractionFactor = 0.7f;
        car->engine.throttle = 0.7f;
        car->wheels[2].angularVelocity = row.undriven[0];
        car->wheels[3].angularVelocity = row.undriven[1];
        // Driven side at 1.06 x 50 rad/s (the partial cut of equal tyres).
        car->engine.speed = 1.06f * 50.0f * 10.0f;
        car->ApplyTractionCut();
        EXPECT_NEAR(car->tractionFactor, row.factor, 1e-4f) << row.name;
        EXPECT_NEAR(car->engine.throttle, row.factor, 1e-4f) << row.name;
    }
}

// Called below the minimum speed (the step never arms it there) the cut
// does nothing worse than no cut.
TEST_F(AidsCar, TractionCutBelowTheMinimumSpeedNeverRaisesTheThrottle) {
    setup.tcSlip = 0;
    setup.tcMinSpeed = 10;
    car->speed = 5.0f;
    car->tyreRadiusRatio = 1.0f;
    car->engine.totalRatio = 10.0f;
    car->uncutThrottle = 0.5f;
    car->wheels[2].angularVelocity = 50.0f;
    car->engine.speed = 2.0f * 50.0f * 10.0f;
    car->ApplyTractionCut();
    EXPECT_EQ(car->tractionFactor, 1.0f);
    EXPECT_EQ(car->engine.throttle, 0.5f);
}

}  // namespace
