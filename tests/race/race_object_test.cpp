#include "race/race_object.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/car_table.h"
#include "core/translation_table.h"
#include "race/race_length.h"
#include "tests/race/crc_by_hand.h"
#include "tests/race/race_fixture.h"
#include "world/layout.h"
#include "world/path.h"
#include "world/path_follower.h"

namespace {

using RaceObjectTest = RaceFixture;

TEST_F(RaceObjectTest, ResetLeavesOnlyTheRaceDefaults)
{
    SkillLevel = 3;
    race->tick = 99;
    race->slotCount = 4;
    race->slots[2].inputCopy[5] = 7;
    race->results[3].laps = 2;
    race->Reset();
    RaceObject expected;
    std::memset(static_cast<void *>(&expected), 0, sizeof(expected));
    expected.raceLength = 5;
    expected.aiLevel = 3;
    expected.wind = 1;
    expected.listTimer = 4000;
    EXPECT_EQ(std::memcmp(static_cast<const void *>(race), static_cast<const void *>(&expected), sizeof(RaceObject)), 0);

    PlayerSlot &slot = race->slots[0];
    slot.pendingTick = 12;
    slot.statePending = 1;
    slot.inputCopy[3] = 9;
    slot.ResetForStart();
    for (int w = 0; w < 18; ++w) {
        EXPECT_EQ(slot.inputCopy[w], w == 0 ? 32768 : (w == 14 ? 255 : 0)) << "word " << w;
    }
    EXPECT_EQ(slot.pendingTick, 0);
    EXPECT_EQ(slot.statePending, 0);
}

TEST_F(RaceObjectTest, RaceLengthCodesGiveLapsAndHours)
{
    struct Case {
        int code, lapsToRace, laps, hours;
    };
    const Case cases[] = {
        {0, 0, 0, 0},     {1, 1, 1, 0},         {100, 100, 100, 0}, {101, 110, 110, 0}, {150, 600, 600, 0},
        {190, 1000, 1000, 0}, {191, 1, 0, 1},   {238, 1, 0, 48},    {239, 1, 0, 0},
    };
    for (const Case &c : cases) {
        race->raceLength = static_cast<uint8_t>(c.code);
        EXPECT_EQ(race->LapsToRace(), c.lapsToRace) << c.code;
        EXPECT_EQ(GetRaceLaps(), c.laps) << c.code;
        EXPECT_EQ(LapsFromCode(c.code), c.laps) << c.code;
        EXPECT_EQ(HoursFromCode(c.code), c.hours) << c.code;
    }
}

TEST_F(RaceObjectTest, PositionsAndResultComparison)
{
    const std::pair<int, const char *> positions[] = {{1, "1st"}, {2, "2nd"}, {3, "3rd"}, {4, "4th"}, {11, "11th"},
                                                      {12, "12th"}, {13, "13th"}, {21, "21st"}, {22, "22nd"},
                                                      {32, "32nd"}, {0, "unclassified"}, {33, "unclassified"}};
    for (const auto &[n, text] : positions) {
        char out[16];
        FormatPosition(out, sizeof(out), n);
        EXPECT_STREQ(out, text) << n;
    }
    RaceResult result{};
    result.bestLap = 5000;
    result.raceTime = 90000;
    EXPECT_TRUE(IsBetterResult(4999, 0, result));      // no race time: best laps count
    EXPECT_FALSE(IsBetterResult(5000, 0, result));
    EXPECT_FALSE(IsBetterResult(1, 90000, result));    // a race time: only it counts
    EXPECT_TRUE(IsBetterResult(9999, 89999, result));
}

TEST_F(RaceObjectTest, StateHashFeedsTheCarPositionsInSlotOrder)
{
    race->tick = 0x12345678;
    EXPECT_EQ(race->StateHash(), 0x12345678u);

    PlayerSlot *a = AddWithCar("A", 1);
    race->AddSlot(Info("no car", KindLocal, 2));
    PlayerSlot *c = AddWithCar("C", 3);
    a->car->position = {0x10000, -0x20000, 0x7fffffff};
    c->car->position = {-1, 5, 0x00abcdef};
    uint8_t bytes[24];
    const int32_t values[6] = {0x10000, -0x20000, 0x7fffffff, -1, 5, 0x00abcdef};
    for (int i = 0; i < 6; ++i) {
        const uint32_t v = static_cast<uint32_t>(values[i]);
        for (int b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<uint8_t>(v >> (8 * b));
        }
    }
    EXPECT_EQ(race->StateHash(), HandCrcBytes(0x12345678, bytes, 24));
}

TEST_F(RaceObjectTest, RemovingASlotMovesTheOthersAndTheirCars)
{
    PlayerSlot *first = AddWithCar("P0", 10);
    AddWithCar("P1", 11);
    AddWithCar("P2", 12);
    CarObject *car1 = race->slots[1].car;
    CarObject *car2 = race->slots[2].car;
    race->RepointCars();
    EXPECT_EQ(first->car->setup, &race->slots[0].setup);
    race->runningOrder[0] = 2;
    race->runningOrder[1] = 0;
    race->runningOrder[2] = 1;
    race->orderCount = 3;
    race->localSlot = 2;

    race->RemoveSlot(0);
    ASSERT_EQ(race->slotCount, 2);
    EXPECT_EQ(race->slots[0].car, car1);
    EXPECT_EQ(race->slots[1].car, car2);
    EXPECT_EQ(race->slots[0].info.playerId, 11);
    EXPECT_EQ(car1->setup, &race->slots[0].setup);
    EXPECT_EQ(car1->colours, &race->slots[0].colours);
    EXPECT_EQ(car2->setup, &race->slots[1].setup);
    EXPECT_EQ(car2->colours, &race->slots[1].colours);
    ASSERT_EQ(race->orderCount, 2);
    EXPECT_EQ(race->runningOrder[0], 1);
    EXPECT_EQ(race->runningOrder[1], 0);
    EXPECT_EQ(race->localSlot, 1);
    EXPECT_EQ(race->slots[2].car, nullptr);

    race->RemoveSlot(5);  // no such slot
    EXPECT_EQ(race->slotCount, 2);
}

TEST_F(RaceObjectTest, AddSlotKindsAndLimits)
{
    // Another connection's players become remote.
    PlayerSlot *human = race->AddSlot(Info("guest", KindLocal, 1, 3));
    PlayerSlot *ai = race->AddSlot(Info("guest AI", KindLocalAi, 2, 3));
    EXPECT_EQ(human->info.kind, KindRemote);
    EXPECT_EQ(ai->info.kind, KindRemoteAi);
    EXPECT_EQ(race->localSlot, 0);  // untouched by other connections
    PlayerSlot *own = race->AddSlot(Info("me", KindLocalAi, 3, 0));
    EXPECT_EQ(own->info.kind, KindLocalAi);
    EXPECT_EQ(race->localSlot, 2);

    // Online, a fourth slot of one connection is refused; only the own
    // connection hears of it.
    OnlineFlag = 1;
    EXPECT_NE(race->AddSlot(Info("guest 3", KindLocal, 4, 3)), nullptr);
    EXPECT_EQ(race->AddSlot(Info("guest 4", KindLocal, 5, 3)), nullptr);
    EXPECT_TRUE(messages.empty());
    race->AddSlot(Info("me 2", KindLocal, 6, 0));
    race->AddSlot(Info("me 3", KindLocal, 7, 0));
    EXPECT_EQ(race->AddSlot(Info("me 4", KindLocal, 8, 0)), nullptr);
    EXPECT_EQ(CountMessages("Maximum 3 local drivers"), 1);

    // Never a 33rd slot, whatever the caller checked.
    OnlineFlag = 0;
    while (race->slotCount < MaxRaceSlots) {
        ASSERT_NE(race->AddSlot(Info("x", KindLocalAi, 50, 0)), nullptr);
    }
    EXPECT_EQ(race->AddSlot(Info("one more", KindLocalAi, 99, 0)), nullptr);
    EXPECT_EQ(race->slotCount, MaxRaceSlots);
}

TEST_F(RaceObjectTest, RecordFinishOrdersTheResults)
{
    // Each case: the finishers in the order they finish (name, laps, time,
    // penalty state) and the names expected in result order.
    struct Finisher {
        const char *name;
        int laps;
        uint32_t time;
        uint8_t penalty;
    };
    struct Case {
        const char *what;
        std::vector<Finisher> finishers;
        std::vector<const char *> order;
        std::vector<uint8_t> flags;
    };
    const Case cases[] = {
        {"equal laps and times keep the finishing order",
         {{"A", 5, 1000, 0}, {"B", 5, 1000, 0}, {"C", 5, 999, 0}},
         {"C", "A", "B"},
         {0, 0, 0}},
        {"a disqualified first finisher goes behind every classified one",
         {{"A", 5, 900, 1}, {"B", 5, 1000, 0}, {"C", 4, 2000, 3}, {"D", 4, 1500, 0}},
         {"B", "D", "A", "C"},
         {0, 0, ResultDisqualifiedA, ResultDisqualifiedB}},
        {"states 2 and 4 disqualify too",
         {{"A", 5, 900, 2}, {"B", 5, 1000, 4}, {"C", 3, 1000, 0}},
         {"C", "A", "B"},
         {0, ResultDisqualifiedA, ResultDisqualifiedB}},
        {"time penalties add 30 and 45 seconds",
         {{"A", 5, 1000, 5}, {"B", 5, 3500, 0}, {"C", 5, 2000, 6}},
         {"B", "A", "C"},
         {0, ResultPenalty30, ResultPenalty45}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        race->Reset();
        for (size_t i = 0; i < c.finishers.size(); ++i) {
            PlayerSlot *slot = AddWithCar(c.finishers[i].name, static_cast<uint8_t>(i + 1), c.finishers[i].laps);
            slot->car->penalty = c.finishers[i].penalty;
        }
        for (size_t i = 0; i < c.finishers.size(); ++i) {
            race->RecordFinish(static_cast<int>(i), c.finishers[i].time, c.finishers[i].laps);
        }
        ASSERT_EQ(race->resultCount, c.order.size());
        for (size_t r = 0; r < c.order.size(); ++r) {
            EXPECT_STREQ(race->results[r].name, c.order[r]) << r;
            EXPECT_EQ(race->results[r].flags, c.flags[r]) << r;
        }
        race->ClearSlotFlag();
        race->slotCount = 0;
    }
    // The penalty seconds are in the time.
    race->Reset();
    PlayerSlot *slot = AddWithCar("P", 1, 3);
    slot->car->penalty = 6;
    race->RecordFinish(0, 1000, 3);
    EXPECT_EQ(race->results[0].raceTime, 1000u + 4500u);
    EXPECT_EQ(race->results[0].penaltySeconds, 45);
}

TEST_F(RaceObjectTest, MandatoryPitStopMissedDisqualifies)
{
    MakeWorld();
    world->speedZoneCount = 1;  // a pit lane
    RaceKind = 1;
    HostRuleFlags = RuleMustPit;
    race->raceLength = 5;
    PlayerSlot *stopped = AddWithCar("stopped", 1, 5);
    stopped->car->pitStopCount = 1;
    PlayerSlot *missed = AddWithCar("missed", 2, 5);
    race->RecordFinish(1, 900, 5);
    race->RecordFinish(0, 1000, 5);
    EXPECT_STREQ(race->results[0].name, "stopped");
    EXPECT_EQ(race->results[1].flags, ResultMissedPit);
    EXPECT_STREQ(missed->car->statusText, "DISQUALIFIED");
}

TEST_F(RaceObjectTest, TheFirstFinisherBringsInTheCarsPastTheLine)
{
    AddWithCar("winner", 1, 5);
    PlayerSlot *later = AddWithCar("later", 2, 4);
    PlayerSlot *earlier = AddWithCar("earlier", 3, 4);
    PlayerSlot *beyond = AddWithCar("beyond", 4, 4);
    later->car->lineTimes[3] = 1500;
    earlier->car->lineTimes[3] = 999;
    beyond->car->lineTimes[3] = 1001;
    race->slots[0].car->penalty = 5;  // the comparison takes the time before penalties
    race->RecordFinish(0, 1000, 5);
    ASSERT_EQ(race->resultCount, 3);
    EXPECT_STREQ(race->results[0].name, "winner");
    EXPECT_STREQ(race->results[1].name, "beyond");
    EXPECT_STREQ(race->results[2].name, "later");
    EXPECT_STREQ(later->car->statusText, "FINISHED");
    EXPECT_EQ(earlier->car->finished, 0);

    // Full results take nothing more.
    race->resultCount = MaxRaceResults;
    PlayerSlot *extra = AddWithCar("extra", 5, 9);
    const RaceResult last = race->results[MaxRaceResults - 1];
    race->RecordFinish(race->slotCount - 1, 10, 9);
    EXPECT_EQ(race->resultCount, MaxRaceResults);
    EXPECT_EQ(std::memcmp(&race->results[MaxRaceResults - 1], &last, sizeof(last)), 0);
    EXPECT_EQ(extra->car->finished, 0);
}

TEST_F(RaceObjectTest, ReceivedResultsReplaceOnlyWhenBetter)
{
    PlayerSlot *a = AddWithCar("A", 1, 5);
    PlayerSlot *b = AddWithCar("B", 2, 5);
    PlayerSlot *c = AddWithCar("C", 3, 5);
    race->ReceiveResult(a, 3000, 10000, 0);
    EXPECT_EQ(sounds, std::vector<int>{2});  // appended
    race->ReceiveResult(b, 3000, 12000, 0);
    EXPECT_EQ(sounds, (std::vector<int>{2, 2}));
    race->ReceiveResult(c, 3000, 9000, 0);  // a new leader with two results present
    EXPECT_EQ(voices, std::vector<int>{5});
    race->ReceiveResult(b, 3000, 9500, 0);  // better: replaces, placed second
    EXPECT_EQ(voices, (std::vector<int>{5, 6}));
    ASSERT_EQ(race->resultCount, 3);
    EXPECT_STREQ(race->results[0].name, "C");
    EXPECT_STREQ(race->results[1].name, "B");
    EXPECT_EQ(race->results[1].raceTime, 9500u);
    EXPECT_STREQ(race->results[2].name, "A");

    int unplaced = 0;
    static int *counter = nullptr;
    counter = &unplaced;
    RaceLinks.inSimResult = [](uint8_t, int position) { *counter += position == -1 ? 1 : 0; };
    race->ReceiveResult(a, 3000, 20000, 0);  // worse: only reported
    EXPECT_EQ(race->resultCount, 3);
    EXPECT_EQ(race->results[2].raceTime, 10000u);
    EXPECT_EQ(unplaced, 1);

    // With 32 results the last is replaced only when beaten.
    for (int r = race->resultCount; r < MaxRaceResults; ++r) {
        race->results[r] = race->results[2];
        std::snprintf(race->results[r].name, sizeof(race->results[r].name), "R%d", r);
        race->results[r].raceTime = 20000u + static_cast<uint32_t>(r);
    }
    race->resultCount = MaxRaceResults;
    PlayerSlot *d = AddWithCar("D", 4, 5);
    race->ReceiveResult(d, 3000, 30000, 0);
    EXPECT_STREQ(race->results[MaxRaceResults - 1].name, "R31");
    EXPECT_EQ(unplaced, 2);
    race->ReceiveResult(d, 3000, 20010, 0);
    EXPECT_EQ(race->resultCount, MaxRaceResults);
    EXPECT_STREQ(race->results[11].name, "D");
    EXPECT_STREQ(race->results[MaxRaceResults - 1].name, "R30");
}

TEST_F(RaceObjectTest, ProcessResultsWaitsForTheSlowerCars)
{
    AddWithCar("winner", 1, 5);
    AddWithCar("second", 2, 4);
    PlayerSlot *slow = AddWithCar("slow", 3, 2);
    race->RecordFinish(0, 1000, 5);
    race->RecordFinish(1, 1300, 4);
    race->ProcessResults();
    // The slow car has not done 4 or 5 laps: nothing is final.
    EXPECT_EQ(race->resultsPending, 1);
    EXPECT_EQ(race->results[0].flags & ResultFinal, 0);
    EXPECT_EQ(CountMessages("winner^8 finished"), 1);
    EXPECT_EQ(CountMessages("second^8 finished 1 lap behind"), 1);
    race->ProcessResults();
    EXPECT_EQ(CountMessages("winner^8 finished"), 1);

    slow->car->lapsDone = 4;
    race->ProcessResults();
    EXPECT_EQ(race->results[0].flags & ResultFinal, 0);
    EXPECT_NE(race->results[1].flags & ResultFinal, 0);
    EXPECT_EQ(CountMessages("second^8 finished 2nd"), 0);
    EXPECT_EQ(CountMessages("second^8's final position is 2nd"), 1);

    slow->car->lapsDone = 5;
    race->ProcessResults();
    EXPECT_NE(race->results[0].flags & ResultFinal, 0);
    EXPECT_EQ(race->resultsPending, 0);
    EXPECT_EQ(CountMessages("winner^8 won the race"), 1);
    EXPECT_STREQ(race->slots[0].car->statusText, "WINNER");
    race->ProcessResults();
    EXPECT_EQ(CountMessages("winner^8 won the race"), 1);
}

// The finishing lines, the ordinals and the winner's caption are read from
// the table's slots, so a loaded language reaches them.
TEST_F(RaceObjectTest, FinishLinesFollowTheLoadedTexts)
{
    SetTranslationText(Text_3a_x_finish, "%s^8 ist im Ziel");
    SetTranslationText(Text_3g_x_fin1be, "%s^8 ist mit 1 Runde Rueckstand im Ziel");
    SetTranslationText(Text_3g_x_conplc, "%s^8 endet als %s");
    SetTranslationText(Text_3a_fnsh_2nd, "2.");
    SetTranslationText(Text_3a_fnshuncl, "nicht gewertet");
    SetTranslationText(Text_3a_x_wonrac, "%s^8 gewinnt");
    SetTranslationText(Text_3a_cpwinner, "SIEGER");
    AddWithCar("winner", 1, 5);
    AddWithCar("second", 2, 4);
    PlayerSlot *slow = AddWithCar("slow", 3, 2);
    race->RecordFinish(0, 1000, 5);
    race->RecordFinish(1, 1300, 4);
    race->ProcessResults();
    slow->car->lapsDone = 4;
    race->ProcessResults();
    slow->car->lapsDone = 5;
    race->ProcessResults();
    char out[16];
    FormatPosition(out, sizeof(out), 40);
    const std::string unclassified = out;
    ResetTranslationSlots();
    EXPECT_EQ(CountMessages("winner^8 ist im Ziel"), 1);
    EXPECT_EQ(CountMessages("second^8 ist mit 1 Runde Rueckstand im Ziel"), 1);
    EXPECT_EQ(CountMessages("second^8 endet als 2."), 1);
    EXPECT_EQ(CountMessages("winner^8 gewinnt"), 1);
    EXPECT_STREQ(race->slots[0].car->statusText, "SIEGER");
    EXPECT_EQ(unclassified, "nicht gewertet");
}

TEST_F(RaceObjectTest, ProcessResultsFinalAtOnce)
{
    struct Case {
        const char *what;
        int raceKind;
        int layoutStart;
        uint8_t penalty;
    };
    const Case cases[] = {{"qualifying", 2, 0, 0}, {"layout start", 1, 1, 0}, {"disqualified", 1, 0, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        race->Reset();
        RaceKind = c.raceKind;
        LayoutRouteLines.startOverride = c.layoutStart;
        PlayerSlot *a = AddWithCar("A", 1, 5);
        a->car->penalty = c.penalty;
        AddWithCar("B", 2, 1);
        race->RecordFinish(0, 1000, 5);
        race->ProcessResults();
        EXPECT_NE(race->results[0].flags & ResultFinal, 0);
        race->ClearSlotFlag();
        race->slotCount = 0;
    }
    LayoutRouteLines.startOverride = 0;
    EXPECT_EQ(CountMessages("A^8 is disqualified"), 1);

    // A time penalty lets a result stand one lap short.
    race->Reset();
    RaceKind = 1;
    PlayerSlot *p = AddWithCar("P", 1, 5);
    p->car->penalty = 5;
    AddWithCar("Q", 2, 4);
    race->RecordFinish(0, 1000, 5);
    race->ProcessResults();
    EXPECT_NE(race->results[0].flags & ResultFinal, 0);
    EXPECT_EQ(sounds.back(), 2);
}

TEST_F(RaceObjectTest, HotLapInvalidation)
{
    struct Case {
        int reason;
        uint32_t lap, next;
        uint32_t lapAfter, nextAfter;
        bool message;
    };
    const Case cases[] = {
        {3, 1, 1, 2, 1, true},  {0, 1, 1, 2, 2, true}, {1, 0, 1, 0, 2, true},
        {2, 2, 0, 2, 0, false}, {3, 0, 1, 0, 1, false}, {4, 1, 2, 2, 2, true},
    };
    for (const Case &c : cases) {
        messages.clear();
        race->lapValid = c.lap;
        race->nextLapValid = c.next;
        race->InvalidateHotLap(c.reason);
        EXPECT_EQ(race->lapValid, c.lapAfter) << c.reason;
        EXPECT_EQ(race->nextLapValid, c.nextAfter) << c.reason;
        EXPECT_EQ(messages.size(), c.message ? 1u : 0u) << c.reason;
    }
    messages.clear();
    race->lapValid = 1;
    race->InvalidateHotLap(1);
    EXPECT_EQ(messages, std::vector<std::string>{"Hot lap invalid (wall)"});

    race->nextLapValid = 2;
    race->StartNextHotLap();
    EXPECT_EQ(race->lapValid, 2u);
    EXPECT_EQ(race->nextLapValid, 0u);
    race->SetNextHotLapValid(1);
    EXPECT_EQ(race->nextLapValid, 1u);
    race->SetNextHotLapValid(0);
    EXPECT_EQ(race->nextLapValid, 2u);
}

TEST_F(RaceObjectTest, RunningOrderByLinesAndDistance)
{
    MakeWorld();
    Path path;
    path.nodeCount = 100;
    path.finishNode = 10;
    path.splitNodes[0] = 50;  // H = ((40 + 100) % 100 + 100) / 2 = 70
    world->currentPath = &path;
    world->timingLineCount = 2;
    race->raceLength = 5;
    RaceKind = 1;

    PathFollower followers[5];
    const int nodes[5] = {30, 30, 85, 20, 40};
    const int laps[5] = {1, 1, 1, 2, 0};
    for (int i = 0; i < 5; ++i) {
        PlayerSlot *slot = AddWithCar("car", static_cast<uint8_t>(i + 1), laps[i]);
        followers[i].node = nodes[i];
        slot->car->pathFollower = &followers[i];
        slot->car->nextLine = 2;
    }
    race->AddSlot(Info("no car", KindLocal, 9));
    // Slot 4 has finished and its result is final.
    race->results[0].playerId = 5;
    race->results[0].flags = ResultFinal;
    race->resultCount = 1;

    race->UpdateRunningOrder();
    // Keys (lines, d): slot 0 (3, 20), 1 (3, 20), 2 (3 - 1, 75) beyond H,
    // 3 (5, 10); slot 4 first as a finisher.
    EXPECT_EQ(race->orderCount, 5);
    const uint8_t expected[5] = {4, 3, 0, 1, 2};
    for (int i = 0; i < 5 && race->orderCount == 5; ++i) {
        EXPECT_EQ(race->runningOrder[i], expected[i]) << i;
    }

    RaceKind = 2;  // qualifying: no order
    race->UpdateRunningOrder();
    EXPECT_EQ(race->orderCount, 0);
    RaceKind = 1;
    path.finishNode = -1;
    race->UpdateRunningOrder();
    EXPECT_EQ(race->orderCount, 0);
    for (int i = 0; i < 5; ++i) {
        race->slots[i].car->pathFollower = nullptr;
    }
    path.nodeCount = 0;  // the path holds no node array
}

TEST_F(RaceObjectTest, CheckTyresForTrackOnRallycross)
{
    MakeWorld();
    Path knowledge;
    knowledge.onRoadShare = 0.5f;
    world->knowledgePath = &knowledge;
    const int savedPlySetup = AiUsePlySetup;
    AiUsePlySetup = 0;

    // Car 0 of the table may not drive rallycross with the AI; find one that
    // can and one that cannot.
    const char *cannot = nullptr;
    const char *can = nullptr;
    for (const CarModelInfo &car : CarTable) {
        if (car.aiRallycross) {
            can = car.name;
        } else {
            cannot = car.name;
        }
    }
    ASSERT_NE(cannot, nullptr);
    ASSERT_NE(can, nullptr);
    PlayerSlot *ai1 = race->AddSlot(Info("AI 1", KindLocalAi, 7));
    std::snprintf(ai1->carName, sizeof(ai1->carName), "%s", cannot);
    PlayerSlot *ai2 = race->AddSlot(Info("AI 2", KindLocalAi, 8));
    std::snprintf(ai2->carName, sizeof(ai2->carName), "%s", can);
    PlayerSlot *human = race->AddSlot(Info("me", KindLocal, 9));
    (void)human;  // road tyres: set-up 0 has tyre type 0
    race->CheckTyresForTrack();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], (std::vector<uint8_t>{11, 0, 7, 0}));
    EXPECT_EQ(packets[1], (std::vector<uint8_t>{86, 8, 0, 0}));
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(CountMessages("^6Warning : Road tyres on rallycross track"), 1);

    // Nothing queued: no flush.
    packets.clear();
    flushes = 0;
    race->RemoveSlot(0);
    race->RemoveSlot(0);
    race->CheckTyresForTrack();
    EXPECT_TRUE(packets.empty());
    EXPECT_EQ(flushes, 0);

    // More slots than start places: the players are cleared.
    int cleared = 0;
    static int *counter = nullptr;
    counter = &cleared;
    RaceLinks.clearRacePlayers = [] { ++*counter; };
    world->startPositionCount = 1;
    race->AddSlot(Info("two", KindLocalAi, 10));
    race->CheckTyresForTrack();
    EXPECT_EQ(cleared, 1);
    EXPECT_TRUE(packets.empty());
    world->knowledgePath = nullptr;
    AiUsePlySetup = savedPlySetup;
}

TEST_F(RaceObjectTest, LookUpsScanInSlotOrder)
{
    race->AddSlot(Info("^1Ann", KindLocal, 4));
    race->AddSlot(Info("bob", KindLocalAi, 5));
    race->AddSlot(Info("ann", KindRemote, 6, 2));
    race->AddSlot(Info("Cid", KindLocal, 7));
    int index = -2;
    EXPECT_EQ(race->SlotByPlayerId(6, &index), &race->slots[2]);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(race->SlotByPlayerId(60, &index), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(race->SlotIndexById(7), 3);
    EXPECT_EQ(race->FirstLocalSlotIndex(), 0);
    race->FindLocalSlotIndex();
    EXPECT_EQ(race->localSlot, 3);
    EXPECT_EQ(race->FindSlotByName("ANN", 0), &race->slots[0]);
    EXPECT_EQ(race->FindSlotByName("ANN", 1), nullptr);  // two match
    EXPECT_EQ(race->FindSlotByName("BOB", 1), &race->slots[1]);
    EXPECT_EQ(race->SlotByName("bob"), &race->slots[1]);
    EXPECT_EQ(race->SlotByName("BOB"), nullptr);
    EXPECT_EQ(race->IsNameUsedElsewhere("Ann", 0), 1);
    EXPECT_EQ(race->IsNameUsedElsewhere("cid", 0), 0);
    EXPECT_EQ(race->HasSlotOfConnection(), 1);
}

TEST_F(RaceObjectTest, ReceivedPlayerRecords)
{
    MakeWorld();
    // A new remote record is added; the same id again takes the new info but
    // stays remote.
    race->ApplyPlayerInfo(Info("guest", KindLocal, 4, 2));
    ASSERT_EQ(race->slotCount, 1);
    EXPECT_EQ(race->slots[0].info.kind, KindRemote);
    PlayerInfo renamed = Info("guest 2", KindLocal, 4, 2);
    race->ApplyPlayerInfo(renamed);
    EXPECT_EQ(race->slotCount, 1);
    EXPECT_STREQ(race->slots[0].info.name, "guest 2");
    EXPECT_EQ(race->slots[0].info.kind, KindRemote);
    // Another human of the same connection under a new id is the same player.
    race->ApplyPlayerInfo(Info("guest 3", KindLocal, 5, 2));
    EXPECT_EQ(race->slotCount, 1);
    race->ApplyPlayerInfo(Info("guest AI", KindLocalAi, 6, 2));
    EXPECT_EQ(race->slotCount, 2);
    EXPECT_EQ(race->slots[1].info.kind, KindRemoteAi);

    // A human's new controls: kind, grid and pit start stay.
    race->slots[0].info.gridIndex = 7;
    race->slots[0].car = new CarObject;
    PlayerInfo controls = Info("guest 2", KindLocal, 4, 2);
    controls.flags = 0x40;
    controls.gridIndex = 1;
    EXPECT_EQ(race->UpdateHumanPlayer(controls), 1);
    EXPECT_EQ(race->slots[0].info.flags, 0x40);
    EXPECT_EQ(race->slots[0].info.gridIndex, 7);
    EXPECT_EQ(race->slots[0].info.kind, KindRemote);
    EXPECT_EQ(messages.back(), "guest 2^8 updated his controls");
    static int female = 1;
    RaceLinks.figureType = [](int) { return female; };
    race->UpdateHumanPlayer(controls);
    EXPECT_EQ(messages.back(), "guest 2^8 updated her controls");
    female = 2;
    race->UpdateHumanPlayer(controls);
    EXPECT_EQ(messages.back(), "guest 2^8 updated controls");
    EXPECT_EQ(race->UpdateHumanPlayer(Info("nobody", KindLocal, 9, 5)), 0);

    // The host path: an own player is added and its car record sent; the
    // display flags are refreshed every time.
    static int refreshed = 0;
    RaceLinks.refreshDisplayFlags = [] { ++refreshed; };
    race->HandleNewPlayer(Info("Me", KindLocal, 8, 0));
    EXPECT_EQ(race->slotCount, 3);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].size(), 212u);
    EXPECT_EQ(packets[0][0], 5);
    EXPECT_EQ(packets[0][1], 8);
    EXPECT_EQ(refreshed, 1);
    // Online, a host refuses a second human of a connection: it is added and
    // removed by packet at once.
    OnlineFlag = 1;
    packets.clear();
    race->HandleNewPlayer(Info("guest 4", KindLocal, 9, 2));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], (std::vector<uint8_t>{17, 9, 9, 0}));
    EXPECT_EQ(refreshed, 2);
}

}  // namespace
