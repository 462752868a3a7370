// The engine's operations: torque curve, clutch, engine step, the set-up from
// the vehicle class, the dashboard and mass figures, the description lines,
// and a headless bench that runs the clutch and engine steps sub-step by
// sub-step.
#include "vehicle/car_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/translation_table.h"
#include "core/float_math.h"
#include "vehicle/car_class.h"
#include "vehicle/engine_record.h"

namespace {

constexpr float SubStep = 0.0005f;  // 2000 sub-steps per second

CarEngine NewEngine() {
    CarEngine engine;
    engine.Clear();
    engine.SetDefaults();
    return engine;
}

// An engine as the model set-up makes it from the car data's record.
CarEngine ClassEngine(int vehicleClass, float displacement, int cylinders, float maxSpeed, uint32_t flags = 0,
                      int layout = 0) {
    CarEngine engine = NewEngine();
    engine.flags = flags;
    engine.displacement = displacement;
    engine.cylinders = cylinders;
    engine.layout = layout;
    engine.maxSpeed = maxSpeed;
    engine.turboLagFactor = CarClassTable[vehicleClass].engineDefault;
    engine.SetUpFromClass(vehicleClass);
    return engine;
}

// A hand-made curve with round figures: idle 100, peak 200 N m at 500 rad/s.
CarEngine CurveEngine() {
    CarEngine engine = NewEngine();
    engine.idleSpeed = 100.0f;
    engine.peakTorque = 200.0f;
    engine.peakSpeed = 500.0f;
    engine.curveWidth = 300.0f;
    engine.frictionCoefficient = 1e-4f;
    return engine;
}

double Bell(const CarEngine &engine, double w) {
    const double d = (w - engine.peakSpeed) / engine.curveWidth;
    return engine.peakTorque / (1.0 + d * d);
}

bool AllFinite(const CarEngine &engine) {
    const float values[] = {engine.speed,        engine.smoothedSpeed, engine.crankAngle, engine.gearboxAngle,
                            engine.clutchTorque, engine.clutchHeat,    engine.turboSpeed, engine.boost,
                            engine.manifold,     engine.condition};
    return std::all_of(std::begin(values), std::end(values), [](float v) { return std::isfinite(v); });
}

TEST(EngineTorqueTest, CurveFadesInBelowOneAndAHalfIdleAndFrictionOnlyActsWhileTurning) {
    const CarEngine engine = CurveEngine();
    for (float w : {0.0f, -0.0f, -50.0f})
        EXPECT_EQ(engine.Torque(w), 0.0f) << w;

    // At 1.5 x idle the fade is over: exactly the bell curve.
    const float fadeEnd = 1.5f * engine.idleSpeed;
    const float d = (fadeEnd - engine.peakSpeed) / engine.curveWidth;
    EXPECT_EQ(engine.Torque(fadeEnd), engine.peakTorque / (1.0f + d * d));

    // Just below it x = 1.0005, where (3 - 2x) x^2 = 0.99999928: the fade is
    // not clamped, and it is below 1, not above.
    const float below = std::nextafter(fadeEnd, 0.0f);
    EXPECT_LT(engine.Torque(below), Bell(engine, below));
    EXPECT_NEAR(engine.Torque(below) / Bell(engine, below), 0.99999928, 3e-7);

    // Half-way up the fade, (3 - 2x) x^2 at x = 0.50025.
    const double x = 75.0 * 0.667 / 100.0;
    EXPECT_NEAR(engine.Torque(75.0f) / Bell(engine, 75.0), (3.0 - 2.0 * x) * x * x, 1e-6);

    struct FrictionCase {
        float w;
        float expected;
    };
    // -k w^2 - 0.015 x peak torque above 0.
    const FrictionCase friction[] = {{0.0f, 0.0f}, {-10.0f, 0.0f}, {100.0f, -4.0f}, {400.0f, -19.0f}};
    for (const FrictionCase &c : friction)
        EXPECT_NEAR(engine.Friction(c.w), c.expected, 1e-5f) << c.w;
}

TEST(EngineTorqueTest, AnyNonZeroLimitCapsTheNetTorqueAtFullBoost) {
    struct Case {
        const char *name;
        uint32_t flags;
        float maxBoost;
        float torqueLimit;
    };
    const Case cases[] = {
        {"plain, 150", 0, 1.0f, 150.0f},
        {"turbo boost 1, 150", EngineFlagTurbo, 1.0f, 150.0f},
        {"turbo boost 2.5, 300", EngineFlagTurbo, 2.5f, 300.0f},
        {"negative cap", 0, 1.0f, -20.0f},
    };
    const CarEngine uncapped = CurveEngine();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CarEngine engine = CurveEngine();
        engine.flags = c.flags;
        engine.maxBoost = c.maxBoost;
        engine.torqueLimit = c.torqueLimit;
        const float b = (c.flags & EngineFlagTurbo) ? 1.0f + c.maxBoost : 1.0f;
        int capped = 0;
        for (float w = 0.0f; w <= 1200.0f; w += 7.5f) {
            const float t = engine.Torque(w);
            EXPECT_EQ(t, engine.LimitedTorque(w)) << w;
            const float f = engine.Friction(w);
            EXPECT_LE(b * t + f, c.torqueLimit + 1e-4f * std::fabs(c.torqueLimit)) << w;
            // Where the cap is not reached the curve is untouched.
            if (b * uncapped.Torque(w) + f <= c.torqueLimit)
                EXPECT_EQ(t, uncapped.Torque(w)) << w;
            else
                capped++;
        }
        EXPECT_GT(capped, 0);
    }
}

TEST(EngineStepTest, RevLimiterFadesTheLastPercentAndTheResultIsTheNetTorqueBeforeTheSpeedUpdate) {
    struct Case {
        const char *name;
        float fraction;       // of maxSpeed
        uint32_t running;
        float combustion;     // of the full-throttle torque
        float limiter;        // -1: left as the caller set it
    };
    const Case cases[] = {
        {"below the limiter", 0.9f, 1, 1.0f, -1.0f},
        {"half-way through the limiter", 0.995f, 1, 0.5f, 0.5f},
        {"at maxSpeed", 1.0f, 1, 0.0f, 0.0f},
        {"above maxSpeed", 1.05f, 1, 0.0f, 0.0f},
        {"not firing", 0.5f, 0, 0.0f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CarEngine engine = ClassEngine(2, 2000.0f, 4, 733.04f);
        engine.running = c.running;
        engine.throttle = 1.0f;
        engine.totalRatio = 0.0f;
        engine.clutchTorque = 25.0f;
        engine.speed = c.fraction * engine.maxSpeed;
        const float before = engine.speed;
        float power = 0.0f;
        float limiter = -1.0f;
        const float net = engine.Step(SubStep, &power, &limiter);

        const float combustion = net - engine.Friction(before) + 25.0f;
        EXPECT_NEAR(combustion, c.combustion * engine.Torque(before), 2e-4f * engine.Torque(before));
        EXPECT_NEAR(limiter, c.limiter, 1e-4f);
        EXPECT_FLOAT_EQ(power, engine.Torque(before) * before);
        EXPECT_EQ(engine.speed, before + net / engine.inertia * SubStep);
    }
}

TEST(EngineStepTest, OverRevvingWearsTheEngineDownToZero) {
    struct Case {
        float over;       // speed as a multiple of maxSpeed, held for every sub-step
        int subSteps;
        float condition;  // expected afterwards
        float tolerance;
    };
    const Case cases[] = {
        {1.1f, 2000, 0.99f, 5e-4f},  // 10 % over for one second: about 0.01
        {1.0f, 2000, 1.0f, 0.0f},
        {10.0f, 200, 0.0f, 0.0f},    // never below 0
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.over);
        CarEngine engine = ClassEngine(2, 2000.0f, 4, 733.04f);
        engine.totalRatio = 0.0f;
        float power = 0.0f;
        float limiter = 1.0f;
        for (int i = 0; i < c.subSteps; i++) {
            engine.speed = c.over * engine.maxSpeed;
            engine.Step(SubStep, &power, &limiter);
        }
        EXPECT_NEAR(engine.condition, c.condition, c.tolerance);
        EXPECT_GE(engine.condition, 0.0f);
    }
}

TEST(EngineStepTest, CrankWrapMovesBothShaftsBySixtyFourPi) {
    const float pi = 3.14159265f;
    struct Case {
        const char *name;
        float crank;
        float speed;
        float turn;  // expected move of both angles besides the crank's rotation
    };
    const Case cases[] = {
        {"past +32 pi", 32.0f * pi - 0.001f, 100.0f, -64.0f * pi},
        {"below -32 pi", -32.0f * pi - 0.01f, 0.0f, 64.0f * pi},
        {"inside", 32.0f * pi - 1.0f, 100.0f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CarEngine engine = ClassEngine(2, 2000.0f, 4, 733.04f);
        engine.crankAngle = c.crank;
        engine.gearboxAngle = c.crank - 0.25f;
        engine.speed = c.speed;
        float power = 0.0f;
        float limiter = 1.0f;
        engine.Step(SubStep, &power, &limiter);
        EXPECT_NEAR(engine.crankAngle, c.crank + SubStep * engine.speed + c.turn, 1e-4f);
        EXPECT_NEAR(engine.gearboxAngle, c.crank - 0.25f + c.turn, 1e-4f);
        EXPECT_LE(std::fabs(engine.crankAngle), 32.0f * pi);
    }
}

TEST(EngineStepTest, EngagedStepSpoolsTheTurboAndSetsTheSpringToCarryTheNetTorque) {
    CarEngine engine = ClassEngine(5, 4000.0f, 8, 816.8f, EngineFlagTurbo, 2);
    engine.running = 1;
    engine.throttle = 0.6f;
    engine.speed = 400.0f;
    engine.smoothedSpeed = 100.0f;
    engine.crankAngle = 32.0f * 3.14159265f + 0.5f;  // wrapped here, not advanced
    engine.totalRatio = 9.0f;
    float power = 0.0f;
    float limiter = 1.0f;
    engine.StepEngaged(SubStep, &power, &limiter);

    EXPECT_EQ(engine.turboSpeed, 15707.963f * 0.6f);
    EXPECT_EQ(engine.boost, engine.maxBoost * 0.6f);
    EXPECT_EQ(engine.speed, 400.0f);  // the wheels drive it
    EXPECT_EQ(engine.smoothedSpeed, 400.0f);
    EXPECT_NEAR(engine.crankAngle, 0.5f - 32.0f * 3.14159265f, 1e-4f);

    const float boosted = (engine.boost + 1.0f) * 0.6f;
    const float net = engine.Friction(400.0f) + engine.Torque(400.0f) * boosted;
    engine.StepClutch();
    EXPECT_NEAR(engine.clutchTorque, net, 1e-3f * std::fabs(net));
    EXPECT_EQ(engine.clutchSlipping, 0u);
}

TEST(EngineStepTest, EnginesWithoutTorqueStayFinite) {
    // No net torque anywhere leaves no clutch spring and no turbo inertia.
    struct Case {
        const char *name;
        float torqueFactor;
        float torqueLimit;
    };
    const Case cases[] = {{"no torque", 0.0f, 0.0f}, {"negative cap", 1.0f, -50.0f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CarEngine engine = NewEngine();
        engine.flags = EngineFlagTurbo;
        engine.maxSpeed = 800.0f;
        engine.turboLagFactor = 0.6f;
        engine.torqueFactor = c.torqueFactor;
        engine.torqueLimit = c.torqueLimit;
        engine.SetUpFromClass(5);
        EXPECT_TRUE(std::isfinite(engine.maxTorque) && std::isfinite(engine.clutchCapacity));
        engine.StartAtIdle();
        engine.throttle = 1.0f;
        engine.totalRatio = 5.0f;
        engine.turboSpeed = 1000.0f;
        float power = 0.0f;
        float limiter = 1.0f;
        for (int i = 0; i < 2000; i++) {
            engine.StepClutch();
            if (i % 2)
                engine.Step(SubStep, &power, &limiter);
            else
                engine.StepEngaged(SubStep, &power, &limiter);
        }
        EXPECT_TRUE(AllFinite(engine));
    }
}

TEST(ClutchTest, NeutralPassesNothingAndAFullyPressedPedalSlipsAnyTwist) {
    struct Case {
        float totalRatio;
        float pedal;
        float twist;
        float torque;
        uint32_t slipping;
        float gearboxMove;
    };
    const Case cases[] = {
        {0.0f, 0.0f, 1.0f, 0.0f, 0, 0.0f},
        {0.0f, 0.5f, -1.0f, 0.0f, 0, 0.0f},
        {0.0f, 1.0f, 1.0f, 0.0f, 0, 0.0f},
        {9.0f, 1.0f, 0.001f, 0.0f, 1, 0.001f},
        {9.0f, 1.0f, -0.001f, 0.0f, 1, -0.001f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "ratio " << c.totalRatio << " pedal " << c.pedal << " twist " << c.twist);
        CarEngine engine = ClassEngine(2, 2000.0f, 4, 733.04f);
        engine.totalRatio = c.totalRatio;
        engine.clutchPedal = c.pedal;
        engine.crankAngle = 2.0f + c.twist;
        engine.gearboxAngle = 2.0f;
        engine.clutchSlipping = 1;
        engine.clutchTorque = 50.0f;
        engine.StepClutch();
        EXPECT_EQ(engine.clutchTorque, c.torque);
        EXPECT_EQ(engine.clutchSlipping, c.slipping);
        EXPECT_NEAR(engine.gearboxAngle, 2.0f + c.gearboxMove, 1e-6f);
    }
}

TEST(ClutchTest, ASlippingClutchHoldsOnlyNinetyPercentUntilTheTwistFallsBelowIt) {
    CarEngine engine = ClassEngine(2, 2000.0f, 4, 733.04f);
    engine.totalRatio = 9.0f;
    const float capacity = engine.clutchCapacity;
    struct Phase {
        float spring;  // spring torque before the step, as a share of the capacity
        float torque;  // passed, same share
        uint32_t slipping;
    };
    const Phase phases[] = {
        {1.1f, 1.0f, 1},    // begins to slip at full capacity
        {1.0f, 0.9f, 1},    // now holds 0.9 only
        {0.95f, 0.9f, 1},   // still above the reduced capacity
        {0.85f, 0.85f, 0},  // below it: grips again
        {0.95f, 0.95f, 0},  // and holds its full capacity
        {-0.95f, -0.95f, 0},
        {-1.2f, -1.0f, 1},
        {-0.5f, -0.5f, 0},
    };
    for (const Phase &p : phases) {
        SCOPED_TRACE(p.spring);
        engine.crankAngle = 1.0f;
        engine.gearboxAngle = 1.0f - p.spring * capacity / engine.driveStiffness;
        engine.StepClutch();
        EXPECT_NEAR(engine.clutchTorque, p.torque * capacity, 1e-4f * capacity);
        EXPECT_EQ(engine.clutchSlipping, p.slipping);
        if (p.slipping) {
            // The gearbox side was dragged until the spring holds what passes.
            const float spring = (engine.crankAngle - engine.gearboxAngle) * engine.driveStiffness;
            EXPECT_NEAR(spring, engine.clutchTorque, 1e-3f * capacity);
        }
    }
}

TEST(ClutchTest, HeatRisesWithTheSlipAndDecays) {
    // One slip at pedal 0.3 from heat 0.1 with 0.5 rad of excess twist.
    CarEngine engine = ClassEngine(2, 2000.0f, 4, 733.04f);
    engine.totalRatio = 9.0f;
    engine.clutchPedal = 0.3f;
    engine.clutchHeat = 0.1f;
    const double capacity = 0.7 * 0.9 * engine.clutchCapacity;
    engine.crankAngle = 0.0f;
    engine.gearboxAngle = static_cast<float>(-(capacity / engine.driveStiffness + 0.5));
    engine.StepClutch();
    ASSERT_EQ(engine.clutchSlipping, 1u);
    EXPECT_NEAR(engine.clutchHeat, 0.1 + 0.0002 * 0.5 * 0.7 * 0.9, 1e-7);

    struct Case {
        const char *name;
        bool resting;  // CoolClutch, else a gripping clutch step
        float heat;
        float expected;
    };
    const Case cases[] = {
        {"gripping", false, 0.5f, 0.5f * 0.999998f},
        {"gripping just above the floor", false, 0.00021f, 0.00021f * 0.999998f},
        {"gripping at the floor", false, 0.0002f, 0.0f},
        {"gripping in neutral", false, 0.3f, 0.3f * 0.999998f},
        {"resting", true, 0.5f, 0.5f * 0.99996f},
        {"resting at the floor", true, 0.0002f, 0.0f},
        {"resting cold", true, 0.0f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CarEngine cooling = ClassEngine(2, 2000.0f, 4, 733.04f);
        cooling.totalRatio = std::strstr(c.name, "neutral") ? 0.0f : 9.0f;
        cooling.clutchHeat = c.heat;
        if (c.resting)
            cooling.CoolClutch();
        else
            cooling.StepClutch();
        EXPECT_EQ(cooling.clutchHeat, c.expected);
    }
}

TEST(EngineStartTest, TheStarterOnlySpinsUpANearlyStoppedEngine) {
    struct Case {
        float share;  // of idle
        int result;
        float speed;  // share of idle afterwards
    };
    const Case cases[] = {{0.3f, 0, 0.3f}, {0.2f, 1, 0.25f}, {0.0f, 1, 0.25f}, {1.2f, 0, 1.2f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.share);
        CarEngine engine = ClassEngine(2, 2000.0f, 4, 733.04f);
        engine.speed = c.share * engine.idleSpeed;
        EXPECT_EQ(engine.Start(), c.result);
        EXPECT_EQ(engine.running, 1u);
        EXPECT_FLOAT_EQ(engine.speed, c.speed * engine.idleSpeed);
    }
}

TEST(EngineSetUpTest, SaloonFourFollowsTheFormulasWithTheProjectsPow) {
    CarEngine engine = NewEngine();
    engine.flags = EngineFlagTurbo;
    engine.displacement = 2000.0f;
    engine.cylinders = 4;
    engine.maxSpeed = 733.04f;
    engine.maxBoost = 0.8f;
    engine.turboLagFactor = 0.4f;
    engine.inertiaFactor = 1.1f;
    engine.torqueFactor = 0.95f;
    engine.widthFactor = 1.05f;
    engine.peakSpeedFactor = 0.9f;
    engine.SetUpFromClass(2, 3);

    const CarClassInfo &row = CarClassTable[2];
    const float s = FloatPow(500.0f, 0.333333f);
    ASSERT_NE(s, FloatCbrt(500.0f));  // the test tells the two apart
    EXPECT_EQ(engine.idleSpeed, row.idleSpeed);
    EXPECT_EQ(engine.inertia, s * s * row.engineCoeffC * 1.1f * 2000.0f);
    EXPECT_EQ(engine.frictionCoefficient, 2000.0f * 500.0f * row.engineCoeffB);
    EXPECT_EQ(engine.peakTorque, row.engineCoeffD * 0.95f * 4.0f * 500.0f);
    const float v = 4654.0f / s * row.engineCoeffA;
    EXPECT_EQ(engine.curveWidth, 0.55f * 1.05f * v);
    EXPECT_EQ(engine.peakSpeed, v * 0.9f);
    const float u = 0.4f * v;
    const float drive = engine.Torque(u) * 6.711e-7f * u;
    EXPECT_EQ(engine.turboDrive, drive);
    EXPECT_EQ(engine.turboInertia, drive * 0.4f);
    EXPECT_EQ(engine.turboDrag, drive / 15707.963f);

    // An independent scan of the net full-boost torque and power.
    float bestTorque = 0.0f, bestTorqueSpeed = 0.0f, bestPower = 0.0f, bestPowerSpeed = 0.0f;
    for (int i = 1; i < 256; i++) {
        const float w = static_cast<float>(i) * 733.04f / 256.0f;
        const float n = engine.Torque(w) * 1.8f + engine.Friction(w);
        if (n > bestTorque)
            bestTorque = n, bestTorqueSpeed = w;
        if (n * w > bestPower)
            bestPower = n * w, bestPowerSpeed = w;
    }
    EXPECT_EQ(engine.maxTorque, bestTorque);
    EXPECT_EQ(engine.maxTorqueSpeed, bestTorqueSpeed);
    EXPECT_EQ(engine.maxPower, bestPower);
    EXPECT_EQ(engine.maxPowerSpeed, bestPowerSpeed);
    EXPECT_EQ(engine.clutchCapacity, 1.4f * bestTorque);
    EXPECT_EQ(engine.driveStiffness, 4.0f * bestTorque);
    EXPECT_GT(engine.clutchCapacity, engine.inertia * 2800.0f);
}

TEST(EngineSetUpTest, ScanKeepsTheFirstOfEqualPeaks) {
    // A torque cap makes a plateau of equal net torques.
    CarEngine engine = NewEngine();
    engine.displacement = 2000.0f;
    engine.maxSpeed = 733.04f;
    engine.torqueLimit = 150.0f;
    engine.SetUpFromClass(2);
    std::vector<float> net;
    for (int i = 1; i < 256; i++) {
        const float w = static_cast<float>(i) * 733.04f / 256.0f;
        net.push_back(engine.Torque(w) + engine.Friction(w));
    }
    const float peak = *std::max_element(net.begin(), net.end());
    ASSERT_GT(std::count(net.begin(), net.end(), peak), 1);
    const int first = static_cast<int>(std::find(net.begin(), net.end(), peak) - net.begin()) + 1;
    EXPECT_EQ(engine.maxTorque, peak);
    EXPECT_EQ(engine.maxTorqueSpeed, static_cast<float>(first) * 733.04f / 256.0f);
}

TEST(EngineSetUpTest, ClutchHoldsAtLeastInertiaTimes2800) {
    struct Case {
        const char *name;
        uint32_t flags;
        float torqueLimit;
        bool inertiaBound;
    };
    const Case cases[] = {
        {"turbo at boost 3", EngineFlagTurbo, 0.0f, false},
        {"plain", 0, 0.0f, true},
        {"capped at 5 N m", EngineFlagTurbo, 5.0f, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CarEngine engine = NewEngine();
        engine.flags = c.flags;
        engine.maxBoost = 3.0f;
        engine.turboLagFactor = 0.4f;
        engine.displacement = 2000.0f;
        engine.maxSpeed = 733.04f;
        engine.torqueLimit = c.torqueLimit;
        engine.SetUpFromClass(2);
        const float floor = engine.inertia * 2800.0f;
        EXPECT_EQ(engine.clutchCapacity, c.inertiaBound ? floor : 1.4f * engine.maxTorque);
        EXPECT_GE(engine.clutchCapacity, floor);
        EXPECT_GE(engine.clutchCapacity, 1.4f * engine.maxTorque);
    }
}

TEST(EngineSetUpTest, RecordIsClampedToTheClass) {
    struct Case {
        int vehicleClass;
        float displacement;
        int cylinders;
        float maxBoost;
        float expectedDisplacement;
        int expectedCylinders;
        float expectedBoost;
        int usedClass;
    };
    const Case cases[] = {
        {2, 500.0f, 8, -1.0f, 1000.0f, 4, 0.0f, 2},
        {2, 5000.0f, 0, 7.0f, 2000.0f, 1, 3.0f, 2},
        {10, 2200.0f, 4, 1.5f, 2200.0f, 8, 1.5f, 10},  // the top class always has 8
        {8, 250.0f, 2, 1.0f, 125.0f, 1, 1.0f, 8},
        {99, 5000.0f, 6, 1.0f, 1000.0f, 4, 1.0f, 11},  // a class past the table is the last one
        {-4, 50.0f, 6, 1.0f, 100.0f, 6, 1.0f, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.vehicleClass);
        CarEngine engine = NewEngine();
        engine.displacement = c.displacement;
        engine.cylinders = c.cylinders;
        engine.maxBoost = c.maxBoost;
        engine.maxSpeed = 800.0f;
        engine.SetUpFromClass(c.vehicleClass);
        EXPECT_EQ(engine.displacement, c.expectedDisplacement);
        EXPECT_EQ(engine.cylinders, c.expectedCylinders);
        EXPECT_EQ(engine.maxBoost, c.expectedBoost);
        EXPECT_EQ(engine.idleSpeed, CarClassTable[c.usedClass].idleSpeed);
        EXPECT_TRUE(std::isfinite(engine.maxPower) && engine.maxPower > 0.0f);
    }
}

TEST(EngineSetUpTest, FiringOrders) {
    struct Case {
        int cylinders;
        int layout;
        uint32_t flags;
        std::vector<int> order;  // the first entries; the rest keep 0..11
    };
    const Case cases[] = {
        {4, 0, 0, {1, 3, 4, 2}},
        {4, 1, 0, {1, 3, 2, 4}},
        {4, 2, 0, {1, 3, 4, 2}},
        {6, 1, 0, {1, 6, 3, 2, 5, 4}},
        {6, 2, 0, {1, 5, 3, 6, 2, 4}},
        {8, 2, 0, {1, 8, 5, 4, 7, 2, 3, 6}},
        {8, 2, EngineFlagSecondV8Order, {1, 8, 4, 3, 6, 5, 7, 2}},
        {8, 0, EngineFlagSecondV8Order, {1, 6, 2, 5, 8, 3, 7, 4}},
        {8, 1, 0, {1, 6, 2, 5, 8, 3, 7, 4}},
        {12, 2, 0, {1, 7, 5, 11, 3, 9, 6, 12, 2, 8, 4, 10}},
        {3, 0, 0, {}},
        {5, 0, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.cylinders << " cylinders, layout " << c.layout << ", flags " << c.flags);
        CarEngine engine = NewEngine();
        engine.cylinders = c.cylinders;
        engine.layout = c.layout;
        engine.flags = c.flags;
        engine.displacement = 3000.0f;
        engine.maxSpeed = 800.0f;
        engine.firingOrder[11] = 77;
        engine.SetUpFromClass(1);
        for (int i = 0; i < 12; i++) {
            const int expected = i < static_cast<int>(c.order.size()) ? c.order[i] : i;
            EXPECT_EQ(engine.firingOrder[i], expected) << i;
        }
    }
}

TEST(EngineFiguresTest, RevCounterScale) {
    struct Case {
        float maxSpeed;
        int range, step, red;
    };
    const Case cases[] = {
        {733.04f, 8, 1, 14},    // 7000 rpm
        {2000.0f, 20, 1, 38},   // 19098 rpm, still in steps of 1
        {2094.4f, 22, 2, 20},   // 20000 rpm
        {1884.96f, 19, 1, 36},  // 18000 rpm
    };
    for (const Case &c : cases) {
        CarEngine engine = NewEngine();
        engine.maxSpeed = c.maxSpeed;
        int out[3] = {-1, -1, -1};
        engine.GetRevCounterScale(out);
        EXPECT_EQ(out[0], c.range) << c.maxSpeed;
        EXPECT_EQ(out[1], c.step) << c.maxSpeed;
        EXPECT_EQ(out[2], c.red) << c.maxSpeed;
    }
}

TEST(EngineFiguresTest, BlockSizesByLayoutAndMass) {
    struct Case {
        int layout;
        int swap;
        float x, y, z;  // for a 1000 cc block (s = 10)
    };
    const Case cases[] = {
        {0, 0, 0.16f, 0.34f, 0.18f}, {0, 1, 0.34f, 0.16f, 0.18f}, {1, 0, 0.32f, 0.26f, 0.12f},
        {1, 1, 0.26f, 0.32f, 0.12f}, {2, 0, 0.24f, 0.26f, 0.16f}, {2, 0x40, 0.26f, 0.24f, 0.16f},
        {5, 0, 0.16f, 0.34f, 0.18f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "layout " << c.layout << " swap " << c.swap);
        CarEngine engine = NewEngine();
        engine.displacement = 1000.0f;
        engine.layout = c.layout;
        float out[3];
        engine.GetPartSizes(out, c.swap);
        EXPECT_NEAR(out[0], c.x, 1e-5f);
        EXPECT_NEAR(out[1], c.y, 1e-5f);
        EXPECT_NEAR(out[2], c.z, 1e-5f);
    }
    CarEngine engine = NewEngine();
    EXPECT_EQ(engine.GetScaledValue(), 140.0f);  // 2800 cc at 0.05 kg per cc
}

std::string Line1(float displacement, int cylinders, int layout, uint32_t flags) {
    CarEngine engine = NewEngine();
    engine.displacement = displacement;
    engine.cylinders = cylinders;
    engine.layout = layout;
    engine.flags = flags;
    char line1[EngineDescriptionLineSize], line2[EngineDescriptionLineSize], line3[EngineDescriptionLineSize];
    engine.FormatDescription(line1, line2, line3);
    return line1;
}

TEST(EngineDescriptionTest, FirstLineNamesSizeTurboLayoutAndCylinders) {
    struct Case {
        float displacement;
        int cylinders;
        int layout;
        uint32_t flags;
        const char *expected;
    };
    const Case cases[] = {
        {1998.0f, 4, 0, EngineFlagTurbo, "Engine : 2.0 litre turbocharged inline 4"},
        {125.0f, 1, 0, 0, "Engine : 125 cc single"},
        {5998.0f, 12, 2, 0, "Engine : 6.0 litre V 12"},
        {3600.0f, 6, 1, 0, "Engine : 3.6 litre flat 6"},
        {250.0f, 2, 0, 0, "Engine : 250 cc inline twin"},
        {999.0f, 3, 0, 0, "Engine : 999 cc inline triple"},
        {1000.0f, 5, 0, 0, "Engine : 1.0 litre inline 5"},
        {4000.0f, 8, 2, 0, "Engine : 4.0 litre V 8"},
        {5000.0f, 10, 2, 0, "Engine : 5.0 litre V 10"},
        {2400.0f, 7, 0, 0, "Engine : 2.4 litre inline ?"},
        {2400.0f, 0, 0, 0, "Engine : 2.4 litre inline ?"},
        // Beyond the word tables: " ?" and no layout word.
        {8000.0f, 16, 2, 0, "Engine : 8.0 litre ?"},
        {2000.0f, 4, 3, EngineFlagTurbo, "Engine : 2.0 litre turbocharged ?"},
        {2000.0f, -2, 0, 0, "Engine : 2.0 litre ?"},
        {2000.0f, 4, -1, 0, "Engine : 2.0 litre ?"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Line1(c.displacement, c.cylinders, c.layout, c.flags), c.expected);
}

TEST(EngineDescriptionTest, TorqueAndPowerLinesAndTranslatedWords) {
    CarEngine engine = NewEngine();
    engine.maxTorque = 200.0f;
    engine.maxTorqueSpeed = 418.87902f;  // 4000 rpm
    engine.maxPower = 150000.0f;
    engine.maxPowerSpeed = 628.31853f;   // 6000 rpm
    char line1[EngineDescriptionLineSize], line2[EngineDescriptionLineSize], line3[EngineDescriptionLineSize];
    engine.FormatDescription(line1, line2, line3);
    EXPECT_STREQ(line2, "Torque : 200 Nm (148 lbft) @ 4000 rpm");
    EXPECT_STREQ(line3, "Power : 150 kW (201 bhp) @ 6000 rpm");

    // The words come from their translation keys.
    SetTranslationText(Text_3a_engltfmt, "Motor %.2f l%s%s%s");
    SetTranslationText(Text_3a_trbochrg, " T");
    SetTranslationText(Text_3a_etl_veng, " VEE");
    SetTranslationText(Text_3a_etn12cyl, " XII");
    const std::string translated = Line1(5998.0f, 12, 2, EngineFlagTurbo);
    ResetTranslationSlots();
    EXPECT_EQ(translated, "Motor 6.00 l T VEE XII");
}

// The headless bench: the clutch step, then the engine step, each sub-step.
struct BenchEngine {
    const char *name;
    int vehicleClass;
    float displacement;
    int cylinders;
    float maxSpeed;
    uint32_t flags;
    int layout;
};

const BenchEngine BenchEngines[] = {
    {"saloon 2.0 four", 2, 2000.0f, 4, 733.04f, 0, 0},
    {"GT 4.0 turbo V8", 5, 4000.0f, 8, 816.8f, EngineFlagTurbo, 2},
    {"125 cc kart", 8, 125.0f, 1, 1466.1f, 0, 0},
    {"top class 2.4 V8", 10, 2400.0f, 8, 1884.96f, 0, 2},
    {"bike 600 four", 0, 600.0f, 4, 1466.1f, 0, 0},
};

CarEngine BenchSetUp(const BenchEngine &b) {
    return ClassEngine(b.vehicleClass, b.displacement, b.cylinders, b.maxSpeed, b.flags, b.layout);
}

float BenchSubStep(CarEngine &engine) {
    float power = 0.0f;
    float limiter = 1.0f;
    engine.StepClutch();
    return engine.Step(SubStep, &power, &limiter);
}

TEST(EngineBenchTest, NeutralFullThrottleSettlesJustBelowTheRevLimit) {
    for (const BenchEngine &b : BenchEngines) {
        SCOPED_TRACE(b.name);
        CarEngine engine = BenchSetUp(b);
        const float top = 0.99f * engine.maxSpeed;
        const float boosted = (b.flags & EngineFlagTurbo) ? 1.0f + engine.maxBoost : 1.0f;
        ASSERT_GT(engine.Torque(top) * boosted + engine.Friction(top), 0.0f);

        engine.StartAtIdle();
        engine.throttle = 1.0f;
        engine.totalRatio = 0.0f;
        float highest = 0.0f;
        for (int i = 0; i < 20000; i++) {
            BenchSubStep(engine);
            highest = std::max(highest, engine.speed);
        }
        EXPECT_LT(highest, engine.maxSpeed);
        EXPECT_GE(engine.speed, top);
        EXPECT_LT(engine.speed, engine.maxSpeed);
        EXPECT_EQ(engine.condition, 1.0f);
        EXPECT_EQ(engine.clutchTorque, 0.0f);
        EXPECT_NEAR(engine.smoothedSpeed, engine.speed, 1e-3f * engine.speed);
        if (b.flags & EngineFlagTurbo) {
            // The wastegate holds the boost in its last 5 %.
            EXPECT_GE(engine.boost, 0.95f * engine.maxBoost - 1e-4f);
            EXPECT_LE(engine.boost, engine.maxBoost);
        }
    }
}

TEST(EngineBenchTest, ShutOffEngineRunsDownAndStallsBelowOneRadianPerSecond) {
    for (const BenchEngine &b : BenchEngines) {
        SCOPED_TRACE(b.name);
        CarEngine engine = BenchSetUp(b);
        engine.StartAtIdle();
        engine.speed = 0.8f * engine.maxSpeed;
        engine.Stop();
        engine.throttle = 1.0f;  // no fuel burns without ignition
        engine.totalRatio = 0.0f;
        float last = engine.speed;
        int subSteps = 0;
        while (engine.speed > 0.0f && subSteps < 200000) {
            BenchSubStep(engine);
            ASSERT_LT(engine.speed, last);
            // A speed between 0 and 1 never stays: it is a stall.
            ASSERT_TRUE(engine.speed == 0.0f || engine.speed >= 1.0f) << engine.speed;
            last = engine.speed;
            subSteps++;
        }
        EXPECT_EQ(engine.speed, 0.0f);
        EXPECT_EQ(engine.smoothedSpeed, 0.0f);
        EXPECT_EQ(engine.manifold, 0.0f);
        EXPECT_EQ(engine.condition, 1.0f);
        BenchSubStep(engine);
        EXPECT_EQ(engine.speed, 0.0f);  // and stays stopped
    }
}

TEST(EngineBenchTest, HeldGearboxLoadsTheSpringSlipsHeatsAndRecoversWithThePedalDown) {
    for (const BenchEngine &b : BenchEngines) {
        SCOPED_TRACE(b.name);
        CarEngine engine = BenchSetUp(b);
        engine.StartAtIdle();
        engine.speed = 2.0f * engine.idleSpeed;
        engine.throttle = 1.0f;
        engine.totalRatio = 10.0f;  // in gear, the wheels held: nothing else turns the gearbox side

        // Pedal up: the spring winds up and passes more and more torque until
        // it reaches the capacity and slips.
        float previous = -1.0f;  // the first step finds the spring relaxed
        int firstSlip = -1;
        for (int i = 0; i < 4000 && firstSlip < 0; i++) {
            BenchSubStep(engine);
            EXPECT_GT(engine.clutchTorque, previous) << i;
            previous = engine.clutchTorque;
            if (engine.clutchSlipping)
                firstSlip = i;
        }
        ASSERT_GT(firstSlip, 0);
        EXPECT_EQ(engine.clutchTorque, engine.clutchCapacity);  // cold and new
        for (int i = 0; i < 2000; i++)
            BenchSubStep(engine);
        const float heated = engine.clutchHeat;
        EXPECT_GT(heated, 0.0f);
        EXPECT_LT(heated, 1.0f);
        EXPECT_LT(engine.speed, 2.0f * engine.idleSpeed);  // the held car drags the engine down

        // Pedal down: the clutch passes nothing and heats no more, and the
        // engine (started again if it stalled) revs up freely.
        engine.clutchPedal = 1.0f;
        engine.Start();
        for (int i = 0; i < 10000; i++) {
            BenchSubStep(engine);
            EXPECT_EQ(engine.clutchTorque, 0.0f);
        }
        EXPECT_EQ(engine.clutchHeat, heated);
        EXPECT_GE(engine.speed, 0.99f * engine.maxSpeed);

        // Switched off, the engine stops; with the crank at rest the spring
        // carries nothing, the clutch grips and cools.
        engine.Stop();
        int stopped = 0;
        for (int i = 0; i < 200000 && stopped < 1000; i++) {
            BenchSubStep(engine);
            if (engine.speed == 0.0f)
                stopped++;
        }
        ASSERT_EQ(stopped, 1000);
        EXPECT_EQ(engine.clutchSlipping, 0u);
        EXPECT_LT(engine.clutchHeat, heated);
        EXPECT_NEAR(engine.clutchHeat, heated * std::pow(0.999998, 999.0), 1e-6f);
        EXPECT_TRUE(AllFinite(engine));
    }
}

}  // namespace
