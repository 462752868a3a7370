// Computer drivers racing on the generated default site: the program's
// race object, session and race progress with the generated cars and
// knowledge files.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/tools/ai_race_fixture.h"

namespace {

class AiRaceTest : public AiRaceFixture {};

}  // namespace

// Four cars leave the grid after the green and lap the Grand Prix circuit
// for a simulated minute and a half, on the road, none stopping.
TEST_F(AiRaceTest, FourCarsLapTheCircuitOnTheRoad)
{
    HostRuleFlags |= 128;
    FrameRandom = 1234;
    MakeAiRace({0, 1, 2, 3}, 4, 3);
    GameSession *session = EnterSession(nullptr, SessionNormal, 0);
    ASSERT_EQ(GameSessionPtr, session);
    RaceObject &race = *RaceObjectPtr;
    GameClock = InitTime;
    const bool verbose = std::getenv("KZV_AI_TRACE") != nullptr;
    std::vector<int> outsideTicks(4, 0);
    int greenTick = -1;
    for (int second = 0; second < 200 && GameSessionPtr != nullptr; ++second) {
        for (int t = 0; t < 100; ++t) {
            Run(1);
            if (greenTick < 0 && world->startLightState == StartLightsGreen) {
                greenTick = static_cast<int>(race.tick);
            }
            for (int i = 0; i < 4; ++i) {
                const CarObject *car = race.slots[i].car;
                if (car != nullptr && OutsideLimits(*car) > 0.0f) {
                    ++outsideTicks[i];
                }
            }
        }
        if (verbose) {
            for (int i = 0; i < 4; ++i) {
                const CarObject *car = race.slots[i].car;
                const AiDriver *ai = race.slots[i].ai;
                if (car == nullptr || ai == nullptr) {
                    continue;
                }
                std::printf("%3d car %d mode %u node %d speed %5.1f gear %d thr %5d brk %5d steer %5d lat %6.2f "
                            "out %5.2f laps %d | req %d up %d dn %d w3 %d w4 %d hold %d chk %d clutch %.2f eng %.0f run %u\n",
                            second, i, ai->mode, ai->follower.node, car->speed, car->gear, car->inputs[1],
                            car->inputs[2], car->inputs[0], car->progress[1], OutsideLimits(*car), car->lapsDone, car->requestedGear, car->upLatch,
                            car->downLatch, car->inputs[3], car->inputs[4], ai->shiftHold, car->stopCheckCount,
                            car->engine.clutchPedal, car->engine.speed, car->engine.running);
            }
        }
    }
    ASSERT_GT(greenTick, 0);
    if (verbose) {
        std::printf("nodes %d lapTime %.1f\n", world->currentPath->nodeCount, race.slots[0].ai->line.lapTime);
    }
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "slot " << i);
        const CarObject *car = race.slots[i].car;
        const AiDriver *ai = race.slots[i].ai;
        ASSERT_NE(car, nullptr);
        ASSERT_NE(ai, nullptr);
        EXPECT_GE(car->lapsDone, 1);
        EXPECT_NE(ai->mode, AiStopped);
        EXPECT_LT(outsideTicks[i], 100) << "ticks outside the outer limits";
    }
}
