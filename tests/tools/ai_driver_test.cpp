// The computer driver's parts on a generated car over the default site:
// reset, control output, stuck test, grid waiting, knowledge failures and
// the determinism of a race of three drivers.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "race/race_links.h"
#include "tests/tools/ai_race_fixture.h"
#include "vehicle/car_data_loader.h"

namespace {

std::vector<std::string> &Printed()
{
    static std::vector<std::string> lines;
    return lines;
}

class AiDriverTest : public AiRaceFixture {
protected:
    void SetUp() override
    {
        AiRaceFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        SelectConfig(world, 1, 0);
        TrackConfig = 1;
        TrackFlip = 0;
        car = new CarObject();
        ASSERT_EQ(LoadCarDataFile(car, CarTable[0].code, CarLoadArguments{}), 1);
        savedPrint = RaceLinks.printMessage;
        Printed().clear();
        RaceLinks.printMessage = [](const char *text, int) { Printed().push_back(text); };
    }
    void TearDown() override
    {
        RaceLinks.printMessage = savedPrint;
        delete car;
        AiRaceFixture::TearDown();
    }

    CarObject *car = nullptr;
    void (*savedPrint)(const char *, int) = nullptr;
};

}  // namespace

// Start delays: kind 1 draws x / 20 + 100 from the stepped frame random
// number, kind 2 waits 100 ticks, kind 0 waits for the green light and then
// reacts in ((x >> 8) + 100) / 10 ticks.
TEST_F(AiDriverTest, ResetStartDelays)
{
    struct Case {
        uint32_t random;   // before the step
        int kind;
        uint32_t countdown;
        uint32_t mode;
    };
    // x = (x * 5 + 1) & 65535: 0 -> 1, 13107 -> 0, 13106 -> 65531.
    const Case cases[] = {
        {13107, 1, 0 / 20 + 100, AiChoosing},
        {0, 1, 1 / 20 + 100, AiChoosing},
        {13106, 1, 65531 / 20 + 100, AiChoosing},
        {500, 2, 100, AiChoosing},
        {500, 7, 100, AiChoosing},
        {500, 0, 0, AiWaiting},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "random " << c.random << " kind " << c.kind);
        AiDriver driver(car, 4);
        FrameRandom = c.random;
        driver.Reset(c.kind);
        EXPECT_EQ(driver.countdown, c.countdown);
        EXPECT_EQ(driver.mode, c.mode);
        EXPECT_EQ(driver.follower.node, -1);
        EXPECT_FLOAT_EQ(driver.lookAhead, 0.1f);
        EXPECT_EQ(FrameRandom, c.kind == 1 ? (c.random * 5 + 1) & 65535 : c.random);
    }
    AiDriver kind1(car, 4);
    FrameRandom = 13106;
    kind1.Reset(1);
    EXPECT_EQ(kind1.countdown, 3376u);

    // The green in a lapped race: the reaction time from the next number.
    MakeAiRace({0}, 4, 3);
    AiDriver driver(car, 4);
    driver.Reset(0);
    world->startLightState = StartLightsGreen;
    for (uint32_t x : {0u, 13106u, 40000u}) {
        SCOPED_TRACE(x);
        driver.countdown = 0;
        FrameRandom = x;
        driver.StepWaiting();
        const uint32_t stepped = (x * 5 + 1) & 65535;
        EXPECT_EQ(driver.countdown, ((stepped >> 8) + 100) / 10);
        EXPECT_GE(driver.countdown, 10u);
        EXPECT_LE(driver.countdown, 35u);
    }
    world->startLightState = 0;
}

// The pedal words never both leave 0; a demand from 0 to 1 takes 10 ticks;
// the steering word moves at most sqrt(1500 / mass) x 0.8 pi half-travels a
// second.
TEST_F(AiDriverTest, OutputControlsPedalsAndSteeringRates)
{
    car->mass = 1500.0f;
    AiDriver driver(car, 4);
    driver.Reset(0);
    EXPECT_NEAR(driver.steerRate, 2.5132742f, 1e-6f);
    car->inputs[0] = 32768;
    car->inputs[1] = car->inputs[2] = 0;
    driver.throttle = 1.0f;
    driver.brake = 1.0f;
    int ticks = 0;
    while (car->inputs[1] != 65535 && ticks < 50) {
        driver.OutputControls(0.01f);
        ++ticks;
        EXPECT_EQ(car->inputs[2], 0);
    }
    EXPECT_EQ(ticks, 10);
    // Over to the brake: the throttle falls to 0 first.
    driver.throttle = 0.0f;
    for (int i = 0; i < 40; ++i) {
        driver.OutputControls(0.01f);
        EXPECT_TRUE(car->inputs[1] == 0 || car->inputs[2] == 0) << i;
    }
    EXPECT_EQ(car->inputs[1], 0);
    EXPECT_EQ(car->inputs[2], 65535);

    // A full-lock demand: one second moves the word by the rate's share.
    driver.steer = 1.0f;
    driver.brake = 0.0f;
    const int before = car->inputs[0];
    for (int i = 0; i < 20; ++i) {
        const int last = car->inputs[0];
        driver.OutputControls(0.01f);
        EXPECT_LE(std::abs(car->inputs[0] - last), static_cast<int>(std::ceil(0.025132742f * 32767.0f)));
    }
    EXPECT_NEAR((car->inputs[0] - before) / 32767.0f, 20 * 0.025132742f, 20 * 0.5f / 32767.0f);

    // A heavier car steers more slowly.
    car->mass = 6000.0f;
    driver.Reset(0);
    EXPECT_NEAR(driver.steerRate, 2.5132742f / 2.0f, 1e-6f);
}

// A held shift up of the sequential box lifts until the engine has come
// down to the road speed in the new gear.
TEST_F(AiDriverTest, ShiftUpWaitsForTheRevsOnGearboxKindOne)
{
    AiDriver driver(car, 4);
    driver.Reset(0);
    car->gearboxKind = 1;
    car->gear = car->requestedGear = 3;
    car->upLatch = car->downLatch = 0;
    driver.ShiftUp();
    EXPECT_EQ(car->inputs[3], 1);
    EXPECT_EQ(driver.shiftHold, 100);
    EXPECT_EQ(driver.waitForRevs, 1);
    EXPECT_EQ(driver.shiftTargetGear, 4);
    // A second press is refused while the first is held.
    car->inputs[3] = 0;
    driver.ShiftUp();
    EXPECT_EQ(car->inputs[3], 0);
    car->inputs[3] = 1;
    car->inputs[1] = 0;
    car->inputs[2] = 0;
    car->speed = 0.0f;
    car->engine.speed = 500.0f;   // far above the road speed
    driver.throttle = 1.0f;
    driver.OutputControls(0.01f);
    EXPECT_EQ(car->inputs[1], 0);
    EXPECT_EQ(driver.waitForRevs, 1);
    car->engine.speed = 0.0f;     // at or below the road speed
    driver.throttle = 1.0f;
    driver.OutputControls(0.01f);
    EXPECT_EQ(driver.waitForRevs, 0);
    EXPECT_GT(car->inputs[1], 0);
}

// Four samples within 0.125 m are stuck and clear the history; a cleared
// history never reads stuck; 8193 apart is not stuck.
TEST_F(AiDriverTest, CheckStuck)
{
    AiDriver driver(car, 4);
    driver.ClearStuckHistory();
    const int32_t origin[2] = {1000000, -2000000};
    EXPECT_EQ(driver.CheckStuck(origin), 0);   // against the cleared samples
    EXPECT_EQ(driver.CheckStuck(origin), 0);
    EXPECT_EQ(driver.CheckStuck(origin), 0);
    EXPECT_EQ(driver.CheckStuck(origin), 1);
    EXPECT_EQ(driver.stuckHistory[0][0], 0);   // cleared
    EXPECT_EQ(driver.stuckHistory[3][0], 24576);

    struct Case {
        int32_t dx, dy;
        int stuck;
    };
    // Rounded 2D length of the 16.16 difference against 8192.
    const Case cases[] = {{8191, 0, 1}, {0, -8191, 1}, {5792, 5792, 1}, {8192, 0, 0}, {8193, 0, 0}, {5793, 5793, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy);
        driver.ClearStuckHistory();
        const int32_t moved[2] = {origin[0] + c.dx, origin[1] + c.dy};
        driver.CheckStuck(moved);
        driver.CheckStuck(origin);
        driver.CheckStuck(origin);
        EXPECT_EQ(driver.CheckStuck(origin), c.stuck);
    }
}

// On the grid: handbrake full, and the throttle that holds the engine at
// the reference speed of the lights.
TEST_F(AiDriverTest, StepWaitingHoldsTheEngineAtTheLightsSpeed)
{
    AiDriver driver(car, 4);
    driver.Reset(0);
    driver.countdown = 0;
    const CarEngine &engine = car->engine;
    struct Case {
        int lights;
        float speed;
    };
    const Case cases[] = {{0, 0.0f}, {1, engine.HeldSpeed()}, {2, engine.HeldSpeed()}, {3, engine.LaunchSpeed()}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lights);
        world->startLightState = c.lights;
        car->inputs[12] = 0;
        driver.StepWaiting();
        EXPECT_EQ(car->inputs[12], 65535);
        if (c.speed == 0.0f) {
            EXPECT_EQ(driver.throttle, 0.0f);
        } else {
            ASSERT_GT(engine.Torque(c.speed), 1.0f);
            EXPECT_FLOAT_EQ(driver.throttle, std::fabs(engine.Friction(c.speed) / engine.Torque(c.speed)));
            EXPECT_GT(driver.throttle, 0.0f);
            EXPECT_LT(driver.throttle, 1.0f);
        }
    }
    world->startLightState = 0;
}

// Knowledge failures: a missing file names itself and stops the driver; a
// configuration change is noticed at the next placed step and reloads.
TEST_F(AiDriverTest, KnowledgeFailuresAndReload)
{
    AiDriver driver(car, 4);
    int32_t position[3];
    float heading = 0.0f;
    GetStartPosition(world, position, heading, 0, 0, 0, nullptr);
    car->position = {position[0], position[1], position[2]};
    car->announcePending = 0;

    const std::string file = std::string("data/knw/KE1_") + CarTable[0].code + ".knw";
    const std::string aside = file + ".aside";
    std::filesystem::rename(file, aside);
    driver.Reset(0);
    driver.Step(0.01f, 0);
    std::filesystem::rename(aside, file);
    EXPECT_EQ(driver.mode, AiStopped);
    ASSERT_FALSE(Printed().empty());
    EXPECT_NE(Printed().back().find("Could not load AI path info :"), std::string::npos);
    EXPECT_NE(Printed().back().find(CarTable[0].code), std::string::npos);

    // With the file back, a reset places the driver and loads it.
    driver.Reset(0);
    driver.Step(0.01f, 0);
    EXPECT_EQ(driver.mode, AiWaiting);
    EXPECT_GE(driver.follower.node, 0);
    EXPECT_EQ(driver.config, 1u);
    EXPECT_EQ(static_cast<int>(driver.line.nodeCount), world->currentPath->nodeCount);

    // Another configuration: the next placed step reloads.
    SelectConfig(world, 2, 0);
    TrackConfig = 2;
    GetStartPosition(world, position, heading, 0, 0, 0, nullptr);
    car->position = {position[0], position[1], position[2]};
    driver.Reset(0);
    driver.Step(0.01f, 0);
    EXPECT_EQ(driver.mode, AiWaiting);
    EXPECT_EQ(driver.config, 2u);
    EXPECT_EQ(static_cast<int>(driver.line.nodeCount), world->currentPath->nodeCount);

    // While the car waits to be placed the step writes nothing.
    car->announcePending = 1;
    car->inputs[12] = 0;
    driver.Step(0.01f, 0);
    EXPECT_EQ(car->inputs[12], 0);
}

// Two races of three drivers from the same state give the same input words
// every tick and the same state at the end.
TEST_F(AiDriverTest, ThreeCarRaceIsDeterministic)
{
    auto runRace = [&](std::vector<uint16_t> &words) {
        HostRuleFlags |= 128;
        FrameRandom = 4242;
        MakeAiRace({4, 5, 6}, 4, 3);
        EnterSession(nullptr, SessionNormal, 0);
        GameClock = InitTime;
        for (int t = 0; t < 4000 && GameSessionPtr != nullptr; ++t) {
            Run(1);
            for (int i = 0; i < 3; ++i) {
                const CarObject *c = RaceObjectPtr->slots[i].car;
                for (int w : {0, 1, 2, 3, 4, 12}) {
                    words.push_back(c != nullptr ? c->inputs[w] : 0);
                }
            }
        }
        const uint32_t hash = RaceObjectPtr->StateHash();
        GameSession *session = GameSessionPtr;
        LeaveSession(*session);
        delete session;
        DeleteRaceObject();
        return hash;
    };
    std::vector<uint16_t> first;
    std::vector<uint16_t> second;
    const uint32_t a = runRace(first);
    const uint32_t b = runRace(second);
    EXPECT_EQ(a, b);
    ASSERT_EQ(first.size(), second.size());
    size_t differ = 0;
    while (differ < first.size() && first[differ] == second[differ]) {
        ++differ;
    }
    EXPECT_EQ(differ, first.size()) << "first difference at tick " << differ / 18 << " car " << differ % 18 / 6
                                    << " word " << differ % 6;
    // The drivers did drive: some throttle in the record.
    int throttled = 0;
    for (size_t i = 1; i < first.size(); i += 6) {
        throttled += first[i] > 30000;
    }
    EXPECT_GT(throttled, 1000);
}
