#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/file_handover.h"
#include "core/shell_globals.h"
#include "world_query_double.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The fake race session, network, audio and shell behind the services.
struct FakeRace {
    CarObject *cars[3] = {};
    int slotIds[3] = {7, 8, 9};
    uint32_t tick = 0;
    int hotLap = 0;
    int timedOrLapped = 1;
    int startOffset = 5;
    int laps = 10;
    int distanceDone = 0;
    int anyResult = 0;
    int qualifying = 0;
    int qualifyingOver = 0;
    int lesson = 0;
    uint32_t validity = 1;
    int hasBest = 0;
    RaceBestLap best = {};
    int startAnswer = 1;

    std::vector<Bytes> packets;
    int flushes = 0;
    std::vector<int> sounds;
    std::vector<int> exitCodes;
    std::vector<uint32_t> nextValidity;
    int nextHotLaps = 0;
    int jumpStartFlags = 0;
    int aiDecisions = 0;
    int aiTargets = 0;
    int recordingStarts = 0;
    int recordingFinishes = 0;
    char startedName[32] = {};
};
FakeRace fake;

PlayerSlot *SlotHandle(int slot) {
    return reinterpret_cast<PlayerSlot *>(&fake.slotIds[slot]);
}

void InstallFakes() {
    fake = FakeRace();
    VehicleRaceHooks = {};
    VehicleRaceHooks.slotCount = [] { return 3; };
    VehicleRaceHooks.slotCar = [](int slot) { return slot >= 0 && slot < 3 ? fake.cars[slot] : nullptr; };
    VehicleRaceHooks.raceTick = [] { return fake.tick; };
    VehicleRaceHooks.hotLapMode = [] { return fake.hotLap; };

    RaceServices = {};
    RaceServices.slotRecord = [](int slot) { return SlotHandle(slot); };
    RaceServices.playerId = [](const PlayerSlot *slot) {
        return static_cast<uint8_t>(*reinterpret_cast<const int *>(slot));
    };
    RaceServices.aiDecidePitStop = [](PlayerSlot *) { fake.aiDecisions++; };
    RaceServices.aiTargetPitBox = [](PlayerSlot *) { fake.aiTargets++; };
    RaceServices.isTimedOrLappedRace = [] { return fake.timedOrLapped; };
    RaceServices.raceStartOffset = [] { return fake.startOffset; };
    RaceServices.lapsToRace = [] { return fake.laps; };
    RaceServices.isRaceDistanceDone = [](int, uint32_t, CarObject *) { return fake.distanceDone; };
    RaceServices.anyResultRecorded = [] { return fake.anyResult; };
    RaceServices.isQualifying = [] { return fake.qualifying; };
    RaceServices.isQualifyingOver = [] { return fake.qualifyingOver; };
    RaceServices.startNextHotLap = [] { fake.nextHotLaps++; };
    RaceServices.hotLapValidity = [] { return fake.validity; };
    RaceServices.setNextHotLapValidity = [](uint32_t v) { fake.nextValidity.push_back(v); };
    RaceServices.getBestLap = [](RaceBestLap *best) {
        *best = fake.best;
        return fake.hasBest;
    };
    RaceServices.setBestLap = [](const RaceBestLap &best) {
        fake.best = best;
        fake.hasBest = 1;
    };
    RaceServices.setJumpStartFlag = [] { fake.jumpStartFlags++; };
    RaceServices.lessonActive = [] { return fake.lesson; };
    RaceServices.queueGamePacket = [](const uint8_t *bytes, int length) {
        fake.packets.emplace_back(bytes, bytes + length);
    };
    RaceServices.flushGameBatch = [](int) { fake.flushes++; };
    RaceServices.playInterfaceSound = [](int sound) { fake.sounds.push_back(sound); };
    RaceServices.exitProgram = [](int code) { fake.exitCodes.push_back(code); };
    RaceServices.startCarDataRecording = [](CarObject *car) {
        fake.recordingStarts++;
        std::memcpy(fake.startedName, car->rafName, sizeof(fake.startedName));
        return fake.startAnswer;
    };
    RaceServices.finishCarDataRecording = [](CarObject *) { fake.recordingFinishes++; };
}

struct CarTimingTest : ::testing::Test {
    WorldQueryDouble world;
    CarObject car;

    void SetUp() override {
        InstallFakes();
        fake.cars[1] = &car;
    }
    void TearDown() override {
        RaceServices = {};
        VehicleRaceHooks = {};
        StartMode = StartModeNormal;
        PendingFileName[0] = '\0';
    }

    // A car past the warm-up of the stop test, in the given state.
    void ReadyToStop(uint8_t isStopped, float atSpeed) {
        car.stopCheckCount = 100;
        car.stopped = isStopped;
        car.speed = atSpeed;
    }
    // Stands the car still, then moves it off: the result of the move.
    int MoveOff() {
        ReadyToStop(1, 5.0f);
        return car.CheckStopped();
    }

    // Crosses the lines in order at the given ticks.
    void Cross(std::initializer_list<std::pair<int, uint32_t>> crossings) {
        for (const auto &[line, tick] : crossings) {
            car.stepCount = tick;
            car.CrossTimingLine(line);
        }
    }
    // A car whose timing started at tick 500 on a layout of lines 1..4.
    void StartTimedLap() {
        world.checkpointCount = 4;
        fake.tick = 500;
        fake.startOffset = 5;
        car.StartRaceTiming();
    }
};

Bytes Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

Bytes Cat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- Stop detection ---

TEST_F(CarTimingTest, FirstHundredStopTestsOnlyCount) {
    car.stopCheckCount = 0;
    car.stopped = 0;
    car.speed = 0.0f;
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(car.CheckStopped(), 0) << i;
    EXPECT_EQ(car.stopped, 0);
    EXPECT_EQ(car.stopCheckCount, 100);
    EXPECT_EQ(car.CheckStopped(), 1);
    EXPECT_EQ(car.stopped, 1);
}

TEST_F(CarTimingTest, StopThresholdsHoldAtTheirExactValues) {
    struct Case {
        uint8_t stopped;
        float speed;
        int changed;
    } cases[] = {
        {1, 1.0f, 1},
        {1, std::nextafter(1.0f, 0.0f), 0},
        {0, 0.6f, 0},
        {0, std::nextafter(0.6f, 0.0f), 1},
    };
    for (const Case &c : cases) {
        ReadyToStop(c.stopped, c.speed);
        EXPECT_EQ(car.CheckStopped(), c.changed) << int(c.stopped) << " " << c.speed;
        EXPECT_EQ(car.stopped, c.changed ? !c.stopped : c.stopped);
    }
    EXPECT_TRUE(fake.packets.empty());   // lights idle: no penalty
}

TEST_F(CarTimingTest, ComingToAStopNotesTicksAndActivity) {
    car.inputs[1] = 100;
    car.stepCount = 1234;
    car.standstillCount = 9;
    for (int pitWork : {0, 5}) {
        car.stopTick = 0;
        car.pitWorkStep = static_cast<uint8_t>(pitWork);
        ReadyToStop(0, 0.0f);
        ASSERT_EQ(car.CheckStopped(), 1);
        EXPECT_EQ(car.lastInputTick, 1234u);
        EXPECT_EQ(car.stopTick, pitWork == 0 ? 1234u : 0u);
        EXPECT_EQ(car.standstillCount, 0);
        EXPECT_EQ(car.lastInputActivity, car.InputActivity());
    }
}

TEST_F(CarTimingTest, JumpStartKinds) {
    struct Case {
        int laps;
        bool zones;
        int lights;
        int timed;
        int kind;   // 0: no penalty
    } cases[] = {
        {10, true, 0, 1, 3},  {10, true, 1, 1, 1}, {3, true, 0, 1, 6},  {3, true, 2, 1, 5},
        {4, true, 3, 1, 1},   {10, false, 0, 1, 6}, {10, false, 3, 1, 5}, {10, true, 4, 1, 0},
        {10, true, 0, 0, 0},
    };
    for (const Case &c : cases) {
        InstallFakes();
        fake.cars[1] = &car;
        fake.laps = c.laps;
        fake.timedOrLapped = c.timed;
        world.speedLimitZones = c.zones;
        world.startLightState = c.lights;
        car.penaltySent = 0;
        car.penaltyRequest = 0;
        SCOPED_TRACE(testing::Message() << c.laps << " laps, zones " << c.zones << ", lights " << c.lights);

        EXPECT_EQ(MoveOff(), 1);
        EXPECT_EQ(car.stopped, 0);
        if (c.kind == 0) {
            EXPECT_TRUE(fake.packets.empty());
            EXPECT_EQ(car.penaltySent, 0);
            continue;
        }
        ASSERT_EQ(fake.packets.size(), 1u);
        EXPECT_EQ(fake.packets[0], (Bytes{66, 8, uint8_t(c.kind), 3}));
        EXPECT_EQ(fake.flushes, 1);
        EXPECT_EQ(car.penaltyRequest, c.kind);
        EXPECT_EQ(car.penaltySent, 1);
        EXPECT_EQ(fake.jumpStartFlags, 1);

        // A second jump start in the same race sends nothing.
        EXPECT_EQ(MoveOff(), 1);
        EXPECT_EQ(fake.packets.size(), 1u);
    }
}

TEST_F(CarTimingTest, SingleCarStartSendsOneTimePenalty) {
    world.startOverride = true;
    car.raceStartTick = 800;
    struct Case {
        int lights;
        uint32_t tick;
        bool penalty;
    } cases[] = {{4, 800, false}, {4, 799, true}, {2, 900, true}};
    for (const Case &c : cases) {
        InstallFakes();
        fake.cars[1] = &car;
        car.penaltySent = 0;
        world.startLightState = c.lights;
        car.stepCount = c.tick;
        EXPECT_EQ(MoveOff(), 1);
        EXPECT_EQ(MoveOff(), 1);
        if (!c.penalty) {
            EXPECT_TRUE(fake.packets.empty()) << c.lights << " " << c.tick;
            continue;
        }
        ASSERT_EQ(fake.packets.size(), 1u) << c.lights << " " << c.tick;
        EXPECT_EQ(fake.packets[0], (Bytes{50, 8, 30, 3}));
        EXPECT_EQ(fake.sounds, std::vector<int>{ErrorInterfaceSound});
        EXPECT_EQ(car.penaltyRequest, 0);
    }
}

TEST_F(CarTimingTest, RemoteCarOrNoWorldMovesOffWithoutPenalty) {
    world.startLightState = 0;
    car.isRemote = 1;
    EXPECT_EQ(MoveOff(), 1);
    car.isRemote = 0;
    SetWorldQuery(nullptr);
    EXPECT_EQ(MoveOff(), 1);
    SetWorldQuery(&world);
    EXPECT_TRUE(fake.packets.empty());
    EXPECT_EQ(car.penaltySent, 0);
}

TEST_F(CarTimingTest, JumpStartOfACarWithoutSlotSendsNoPacket) {
    fake.cars[1] = nullptr;
    world.startLightState = 1;
    EXPECT_EQ(MoveOff(), 1);
    EXPECT_EQ(car.penaltyRequest, 5);
    EXPECT_EQ(car.penaltySent, 1);
    EXPECT_TRUE(fake.packets.empty());
}

// --- Timing lines ---

TEST_F(CarTimingTest, StartRaceTimingUnlessHotLap) {
    fake.tick = 777;
    car.StartRaceTiming();
    EXPECT_EQ(car.raceStartTick, 500u);
    EXPECT_EQ(car.lapStartTick, 500u);
    EXPECT_EQ(car.stepCount, 777u);
    EXPECT_EQ(car.timingArmed, 1);
    EXPECT_EQ(car.nextLine, 2);

    CarObject other;
    other.timingArmed = 0;
    fake.hotLap = 1;
    other.StartRaceTiming();
    EXPECT_EQ(other.timingArmed, 0);
    EXPECT_EQ(other.raceStartTick, 0u);
}

TEST_F(CarTimingTest, SplitOutOfOrderRecordsNothing) {
    StartTimedLap();
    car.lastTime = 42;
    Cross({{3, 1500}, {4, 1600}});
    EXPECT_EQ(car.nextLine, 2);
    EXPECT_EQ(car.lastTime, 42u);
    EXPECT_EQ(car.countdown, 0);
    EXPECT_TRUE(fake.packets.empty());
}

TEST_F(CarTimingTest, LapThroughAllSplits) {
    StartTimedLap();
    car.fuel = 38.0f;
    Cross({{2, 1700}});
    EXPECT_EQ(car.lastTime, 1200u);
    EXPECT_EQ(car.countdown, 6000);
    EXPECT_EQ(car.nextLine, 3);
    EXPECT_EQ(car.lapLineCrossed, 0);
    ASSERT_EQ(fake.packets.size(), 1u);
    EXPECT_EQ(fake.packets[0], Cat({38, 8, 2, 0}, Le32(1200)));
    EXPECT_EQ(fake.flushes, 1);
    EXPECT_EQ(fake.aiDecisions, 1);

    Cross({{3, 2500}, {4, 3300}});
    EXPECT_EQ(fake.nextValidity, std::vector<uint32_t>{1});   // only at the last split
    car.countdown = 0;
    Cross({{1, 4100}});
    EXPECT_EQ(car.lastTime, 3600u);
    EXPECT_EQ(car.lastSectorTime, 800);
    EXPECT_EQ(car.lineTimes[0], 1200);
    EXPECT_EQ(car.lineTimes[1], 2000);
    EXPECT_EQ(car.lineTimes[2], 2800);
    EXPECT_EQ(car.lineTimes[3], 3600);
    EXPECT_EQ(car.lapsDone, 1);
    EXPECT_EQ(car.raceTime, 3600u);
    EXPECT_EQ(car.sinceStart, 3600u);
    EXPECT_EQ(car.countdown, 6000);
    EXPECT_EQ(car.nextLine, 2);
    EXPECT_EQ(car.lapStartTick, 4100u);
    EXPECT_EQ(car.timingArmed, 0);
    EXPECT_EQ(car.lapLineCrossed, 1);
    EXPECT_EQ(car.lapValidity, 1u);
    EXPECT_EQ(car.lapStartFuel, 38.0f);
    EXPECT_EQ(world.knowledgeChanged, 1);
    EXPECT_EQ(fake.nextHotLaps, 1);
    EXPECT_EQ(fake.aiTargets, 1);
    ASSERT_EQ(fake.packets.size(), 4u);
    EXPECT_EQ(fake.packets[3], Cat(Cat({39, 8, 1, 0}, Le32(3600)), Le32(3600)));
    EXPECT_EQ(fake.flushes, 4);
    EXPECT_EQ(car.finished, 0);

    // The second lap counts the fuel used; a recorded result keeps the race
    // time.
    car.fuel = 35.5f;
    car.lapDistance = 2500.0f;
    car.resultRecorded = 1;
    Cross({{2, 5000}, {3, 6000}, {4, 7000}, {1, 8000}});
    EXPECT_EQ(car.fuelLapCount, 1u);
    EXPECT_EQ(car.fuelLapTotal, 2.5f);
    EXPECT_EQ(car.lastLapDistance, 2500.0f);
    EXPECT_EQ(car.lapDistance, 0.0f);
    EXPECT_EQ(car.lastTime, 3900u);
    EXPECT_EQ(car.raceTime, 3600u);
    EXPECT_EQ(fake.packets.back(), Cat(Cat({39, 8, 2, 0}, Le32(3900)), Le32(3600)));
}

TEST_F(CarTimingTest, UntimedLapRecordsAnHourAndShowsNothing) {
    StartTimedLap();
    fake.timedOrLapped = 0;
    Cross({{2, 1700}, {3, 2500}, {4, 3300}, {1, 4100}});
    EXPECT_EQ(car.lineTimes[0], 360000);
    EXPECT_EQ(car.lineTimes[3], 360000);
    EXPECT_EQ(car.lastTime, 360000u);
    EXPECT_EQ(car.countdown, 0);
    EXPECT_EQ(fake.packets.back(), Cat(Cat({39, 8, 1, 0}, Le32(360000)), Le32(3600)));
    // The next lap is timed: a lap is done.
    Cross({{2, 5000}});
    EXPECT_EQ(car.lastTime, 900u);
    EXPECT_EQ(car.countdown, 6000);
}

TEST_F(CarTimingTest, PracticeFirstCrossingStartsTheLap) {
    world.checkpointCount = 4;
    fake.timedOrLapped = 0;
    car.nextLine = 1;
    car.stepCount = 2000;
    EXPECT_EQ(car.RecordTimingLine(1), 0);
    EXPECT_EQ(car.nextLine, 2);
    EXPECT_EQ(car.lapStartTick, 2000u);
    EXPECT_EQ(car.raceStartTick, 2000u);
    EXPECT_EQ(fake.nextHotLaps, 1);
    EXPECT_TRUE(fake.packets.empty());

    // A lap line before every split keeps the lap open.
    car.stepCount = 2500;
    EXPECT_EQ(car.RecordTimingLine(1), 0);
    EXPECT_EQ(car.lapStartTick, 2000u);
    EXPECT_EQ(fake.nextHotLaps, 1);
}

TEST_F(CarTimingTest, RemoteCarOnlyCountsLaps) {
    world.checkpointCount = 4;
    car.isRemote = 1;
    car.nextLine = 5;
    Cross({{2, 1000}, {1, 2000}});
    EXPECT_EQ(car.lapsDone, 1);
    car.nextLine = 3;
    Cross({{1, 3000}});
    EXPECT_EQ(car.lapsDone, 1);
    EXPECT_EQ(car.nextLine, 3);
    EXPECT_TRUE(fake.packets.empty());
}

TEST_F(CarTimingTest, CarsThatRecordNothing) {
    StartTimedLap();
    fake.cars[1] = nullptr;   // no slot
    Cross({{2, 1700}});
    EXPECT_EQ(car.nextLine, 2);

    fake.cars[1] = &car;
    car.finished = 1;
    fake.timedOrLapped = 0;   // a finished car outside a race
    Cross({{2, 1700}});
    world.startOverride = true;
    fake.timedOrLapped = 1;   // a finished car of a single-car start
    Cross({{2, 1700}});
    EXPECT_EQ(car.nextLine, 2);
    EXPECT_TRUE(fake.packets.empty());
}

TEST_F(CarTimingTest, LessonWithOwnStartShowsNoTimeBeforeTheFinish) {
    StartTimedLap();
    world.startOverride = true;
    fake.lesson = 1;
    Cross({{2, 1700}});
    EXPECT_EQ(car.lastTime, 1200u);
    EXPECT_EQ(car.countdown, 0);
}

TEST_F(CarTimingTest, FinishingTheRace) {
    struct Case {
        bool startOverride;
        int laps;
        int distanceDone;
        int anyResult;
        uint8_t resultRecorded;
        bool finished;
    } cases[] = {
        {true, 1, 0, 0, 0, true},   {true, 2, 1, 1, 0, false}, {false, 1, 1, 0, 0, true},
        {false, 1, 0, 1, 0, true},  {false, 1, 0, 0, 0, false}, {false, 1, 1, 1, 1, false},
    };
    for (const Case &c : cases) {
        CarObject racer;
        InstallFakes();
        fake.cars[0] = &racer;
        world.checkpointCount = 1;
        world.startOverride = c.startOverride;
        fake.laps = c.laps;
        fake.distanceDone = c.distanceDone;
        fake.anyResult = c.anyResult;
        racer.resultRecorded = c.resultRecorded;
        racer.nextLine = 2;
        racer.stepCount = 3000;
        EXPECT_EQ(racer.RecordTimingLine(1), 1);
        EXPECT_EQ(racer.finished, c.finished ? 1 : 0) << c.startOverride << c.laps << c.distanceDone << c.anyResult;
        EXPECT_STREQ(racer.statusText, c.finished ? "FINISHED" : "");
    }
}

TEST_F(CarTimingTest, QualifyingOverAtTheLapLine) {
    world.checkpointCount = 1;
    fake.timedOrLapped = 0;
    fake.qualifying = 1;
    fake.qualifyingOver = 1;
    car.nextLine = 2;
    car.RecordTimingLine(1);
    EXPECT_EQ(car.finished, 1);
    EXPECT_STREQ(car.statusText, "QUALIFYING OVER");
}

TEST_F(CarTimingTest, HotLapBestIsKeptForValidFasterLaps) {
    world.checkpointCount = 2;
    fake.hotLap = 1;
    fake.timedOrLapped = 0;
    struct Lap {
        uint32_t validity;
        uint32_t ticks;
        bool best;
    } laps[] = {{1, 3000, true}, {1, 3000, false}, {2, 2000, false}, {1, 2999, true}};
    uint32_t tick = 1000;
    car.nextLine = 2;
    car.lapStartTick = tick;
    for (const Lap &lap : laps) {
        fake.validity = lap.validity;
        const RaceBestLap before = fake.best;
        Cross({{2, tick + 1000}, {1, tick + lap.ticks}});
        tick += lap.ticks;
        if (lap.best) {
            EXPECT_EQ(fake.best.lineCount, 2);
            EXPECT_EQ(fake.best.lapNumber, car.lapsDone);
            EXPECT_EQ(fake.best.lineTimes[0], 1000);
            EXPECT_EQ(fake.best.lineTimes[1], int32_t(lap.ticks));
        } else {
            EXPECT_EQ(std::memcmp(&before, &fake.best, sizeof(before)), 0) << lap.ticks;
        }
    }
}

// The hot-lap check records the replay's best lap (lap 2 here) and ends the
// program with the check's result when the lap is over.
TEST_F(CarTimingTest, HotLapCheckExitCodes) {
    struct Case {
        uint32_t validity;
        uint32_t lapTicks;
        int code;
    } cases[] = {{1, 3000, 1}, {1, 3001, 11}, {2, 3000, 12}};
    for (const Case &c : cases) {
        CarObject checker;
        InstallFakes();
        fake.cars[0] = &checker;
        StartMode = StartModeHotLapCheck;
        std::strcpy(PendingFileName, "best_replay");
        world.checkpointCount = 2;
        fake.timedOrLapped = 0;
        fake.hotLap = 1;
        fake.hasBest = 1;
        fake.best = {2, 2, {1000, 3000, 0, 0}};
        checker.nextLine = 1;

        checker.stepCount = 100;
        checker.CrossTimingLine(1);   // the first crossing: lap 1 begins
        EXPECT_EQ(checker.rafState, 0u);
        for (uint32_t t : {1100u, 3100u}) {   // lap 1 ends: lap 2 is armed and recorded
            checker.stepCount = t;
            checker.CrossTimingLine(t == 1100u ? 2 : 1);
        }
        EXPECT_EQ(checker.rafState, 2u);
        EXPECT_STREQ(fake.startedName, "best_replay");
        EXPECT_STREQ(checker.rafName, "best_replay");
        EXPECT_TRUE(fake.exitCodes.empty());

        fake.validity = c.validity;
        checker.stepCount = 4100;
        checker.CrossTimingLine(2);
        checker.stepCount = 3100 + c.lapTicks;
        checker.CrossTimingLine(1);
        EXPECT_EQ(fake.recordingFinishes, 1);
        EXPECT_EQ(checker.rafState, 0u);
        EXPECT_EQ(fake.exitCodes, std::vector<int>{c.code}) << c.validity << " " << c.lapTicks;
    }
}

TEST_F(CarTimingTest, RecordingStartAtTheLapLine) {
    world.checkpointCount = 1;
    for (int answer : {1, 0}) {
        fake.startAnswer = answer;
        car.rafState = 1;
        car.nextLine = 2;
        car.RecordTimingLine(1);
        EXPECT_EQ(car.rafState, answer ? 2u : 0u);
    }
    // Outside the hot-lap check a recording ends without ending the program.
    car.rafState = 2;
    car.RecordTimingLine(1);
    EXPECT_EQ(car.rafState, 0u);
    EXPECT_EQ(fake.recordingFinishes, 1);
    EXPECT_TRUE(fake.exitCodes.empty());
}

TEST_F(CarTimingTest, RecordingWithoutServicesNeverRuns) {
    RaceServices.startCarDataRecording = nullptr;
    RaceServices.finishCarDataRecording = nullptr;
    car.rafState = 1;
    EXPECT_EQ(StartCarDataRecording(&car), 0);
    car.rafState = 2;
    FinishCarDataRecording(&car);
    EXPECT_EQ(car.rafState, 0u);
}

// --- Texts, penalties, slots ---

TEST_F(CarTimingTest, StatusTexts) {
    std::strcpy(car.statusText, "DSQ EARLIER");
    car.SetFinishedText();
    car.SetQualifyingOverText();
    EXPECT_EQ(car.finished, 1);
    EXPECT_STREQ(car.statusText, "DSQ EARLIER");   // an existing text stays
    car.SetDisqualifiedText();
    EXPECT_STREQ(car.statusText, "DISQUALIFIED");   // always written
}

TEST_F(CarTimingTest, AdvancePenaltyServesDriveThroughAndStopGo) {
    const uint8_t after[] = {0, 2, 2, 4, 4, 5, 6};
    for (uint8_t kind = 0; kind <= 6; kind++) {
        car.penalty = kind;
        car.AdvancePenalty();
        EXPECT_EQ(car.penalty, after[kind]) << int(kind);
    }
}

TEST_F(CarTimingTest, FindCarSlot) {
    EXPECT_EQ(FindCarSlot(&car), SlotHandle(1));
    CarObject stranger;
    EXPECT_EQ(FindCarSlot(&stranger), nullptr);
    EXPECT_EQ(FindCarSlot(nullptr), nullptr);
    VehicleRaceHooks = {};   // no race
    EXPECT_EQ(FindCarSlot(&car), nullptr);
}

} // namespace
