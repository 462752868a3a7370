// Computer drivers racing on the generated default site: the program's
// race object, session and race progress with the generated cars and
// knowledge files.

#include <gtest/gtest.h>

#include <algorithm>
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

namespace {

// What a car did in the milestone race.
struct CarRecord {
    std::vector<uint32_t> lapTicks;   // race tick at each completed lap
    int outsideNow = 0;               // ticks outside the outer limits in a row
    int outsideLongest = 0;
    int outsideTotal = 0;
    int recoveries = 0;               // entries into reversing or reset requests
    uint32_t lastMode = 0;
};

struct MilestoneResult {
    std::vector<CarRecord> cars;
    int worstStandstill = 0;   // most cars at once below 1 m/s outside the pit lane after the start
    uint32_t hash = 0;
    std::vector<uint16_t> laps;
    std::vector<uint32_t> times;
};

}  // namespace

// The AI race: one driver per generated car, level 4, five laps of the
// Grand Prix circuit with car resets allowed, the grid in pace order. Every
// car finishes its laps on the road at a steady pace, no pile-up, and the
// race repeats itself exactly. Not yet met: several cars run wide in the
// slow hairpins and fall into reversing loops there, some never complete a
// lap, and lap times spread by more than 3 %; the test stays disabled until
// the driving and the car models are tuned (run it with
// --gtest_also_run_disabled_tests).
TEST_F(AiRaceTest, DISABLED_TwentyDriversRaceFiveLapsInPaceOrder)
{
    // The sanitizer build runs one lap.
#if defined(__SANITIZE_ADDRESS__)
    const int laps = 1;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    const int laps = 1;
#else
    const int laps = 5;
#endif
#else
    const int laps = 5;
#endif
    SelectConfig(world, 1, 0);
    TrackConfig = 1;
    std::vector<std::pair<float, int>> pace;
    for (int car = 0; car < CarModelCount; ++car) {
        AiKnowledge k;
        char name[64];
        char code[4];
        ASSERT_EQ(MakeKnowledgeFileNameForCar(name, sizeof(name), code, CarTable[car].name), 1);
        ASSERT_EQ(k.Load(name, world->currentPath->nodeCount), 1) << name;
        pace.push_back({k.lapTime, car});
        k.Clear();
    }
    std::stable_sort(pace.begin(), pace.end());
    std::vector<int> order;
    for (const auto &p : pace) {
        order.push_back(p.second);
    }

    auto runRace = [&](MilestoneResult &out) {
        HostRuleFlags |= 128;
        FrameRandom = 777;
        MakeAiRace(order, 4, laps);
        EnterSession(nullptr, SessionNormal, 0);
        GameClock = InitTime;
        RaceObject &race = *RaceObjectPtr;
        const int n = static_cast<int>(order.size());
        out.cars.assign(n, CarRecord{});
        int greenTick = -1;
        const int limit = (laps * 130 + 40) * 100;
        for (int t = 0; t < limit && GameSessionPtr != nullptr; ++t) {
            Run(1);
            if (greenTick < 0 && world->startLightState == StartLightsGreen) {
                greenTick = static_cast<int>(race.tick);
            }
            int standing = 0;
            bool allDone = true;
            for (int i = 0; i < n; ++i) {
                const CarObject *car = race.slots[i].car;
                const AiDriver *ai = race.slots[i].ai;
                if (car == nullptr || ai == nullptr) {
                    continue;
                }
                CarRecord &r = out.cars[i];
                while (r.lapTicks.size() < car->lapsDone) {
                    r.lapTicks.push_back(race.tick);
                }
                allDone = allDone && car->lapsDone >= laps;
                const float outside = OutsideLimits(*car);
                r.outsideNow = outside > 0.0f ? r.outsideNow + 1 : 0;
                r.outsideTotal += outside > 0.0f;
                r.outsideLongest = std::max(r.outsideLongest, r.outsideNow);
                if (ai->mode == AiReversing && r.lastMode != AiReversing) {
                    ++r.recoveries;
                }
                r.lastMode = ai->mode;
                // Cars that have finished may stop where they like.
                if (greenTick >= 0 && static_cast<int>(race.tick) > greenTick + 500 && car->lapsDone < laps &&
                    car->speed < 1.0f && car->pitLaneState == 0) {
                    ++standing;
                }
            }
            out.worstStandstill = std::max(out.worstStandstill, standing);
            if (allDone && greenTick >= 0) {
                break;
            }
        }
        out.hash = race.StateHash();
        for (int i = 0; i < n; ++i) {
            const CarObject *car = race.slots[i].car;
            out.laps.push_back(car != nullptr ? car->lapsDone : 0);
            out.times.push_back(car != nullptr ? car->raceTime : 0);
        }
        GameSession *session = GameSessionPtr;
        if (session != nullptr) {
            LeaveSession(*session);
            delete session;
        }
        DeleteRaceObject();
    };

    MilestoneResult first;
    runRace(first);
    const int n = static_cast<int>(order.size());
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(testing::Message() << "slot " << i << " car " << CarTable[order[i]].code);
        const CarRecord &r = first.cars[i];
        EXPECT_GE(static_cast<int>(r.lapTicks.size()), laps);
        EXPECT_NE(r.lastMode, AiStopped);
        EXPECT_NE(r.lastMode, AiPullingOff);
        EXPECT_LE(r.outsideLongest, 100) << "ticks in a row outside the outer limits";
        EXPECT_LE(r.outsideTotal, 500) << "ticks outside the outer limits";
        EXPECT_LE(r.recoveries, 1);
        std::printf("%s lap time %.1f s, laps", CarTable[order[i]].code, pace[i].first);
        for (size_t l = 1; l < r.lapTicks.size(); ++l) {
            std::printf(" %.2f", (r.lapTicks[l] - r.lapTicks[l - 1]) / 100.0);
        }
        std::printf(" | outside %d ticks (longest %d), recoveries %d\n", r.outsideTotal, r.outsideLongest,
                    r.recoveries);
        // Laps 2..5 (the laps between the line crossings after the first).
        if (laps >= 3 && r.lapTicks.size() >= static_cast<size_t>(laps)) {
            float lo = 1e9f;
            float hi = 0.0f;
            for (size_t l = 1; l < r.lapTicks.size(); ++l) {
                const float lap = (r.lapTicks[l] - r.lapTicks[l - 1]) / 100.0f;
                lo = std::min(lo, lap);
                hi = std::max(hi, lap);
            }
            EXPECT_LE(hi, lo * 1.03f) << "laps vary";
            EXPECT_LE(hi, pace[i].first * 1.15f) << "slower than the knowledge's lap time";
            EXPECT_GE(lo, pace[i].first * 0.85f);
        }
    }
    EXPECT_LT(first.worstStandstill, 3) << "cars standing at once";

    // The same race again.
    MilestoneResult second;
    runRace(second);
    EXPECT_EQ(first.hash, second.hash);
    EXPECT_EQ(first.laps, second.laps);
    EXPECT_EQ(first.times, second.times);
}

