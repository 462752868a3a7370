// The race object as the program registers it, driven by generated cars:
// the car's timing lines reach the real object through the vehicle's race
// entries, and the default cars are built through CreatePlayerCar.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/race_object_services.h"
#include "core/car_table.h"
#include "race/ai_driver.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/saved_race_entries.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world/layout.h"
#include "tests/vehicle/world_query_double.h"

namespace {

class RaceObjectCarsTest : public GeneratedCarsFixture {
protected:
    void SetUp() override {
        GeneratedCarsFixture::SetUp();
        savedEntries.Save();
        savedKind = RaceKind;
        RegisterRaceObjectServices();
        messages.clear();
        RaceLinks.printMessage = [](const char *text, int) { messages.emplace_back(text); };
        race = CreateRaceObject();
    }
    void TearDown() override {
        for (int i = 0; i < race->slotCount; ++i) {
            if (race->slots[i].car == &car) {
                race->slots[i].car = nullptr;
            }
        }
        DeleteRaceObject();
        savedEntries.Restore();
        RaceKind = savedKind;
        delete GameSessionPtr;
        GameSessionPtr = nullptr;
    }

    // The local player's slot driving a generated car; the race tick and
    // the car's step count run together from `tick`.
    void Drive(uint32_t tick) {
        PlayerInfo info{};
        std::strcpy(info.name, "Driver");
        info.playerId = 3;
        PlayerSlot *slot = race->AddSlot(info);
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1);
        slot->car = &car;
        race->tick = tick;
        car.StartRaceTiming();
        car.stepCount = tick;
    }
    // The car crosses `line` after `ticks` more ticks.
    void Cross(int line, uint32_t ticks) {
        car.stepCount += ticks;
        race->tick += ticks;
        car.CrossTimingLine(line);
    }

    WorldQueryDouble world;
    CarObject car;
    RaceObject *race = nullptr;
    static inline std::vector<std::string> messages;

private:
    SavedRaceEntries savedEntries;
    int savedKind = 0;
};

TEST_F(RaceObjectCarsTest, HotLapsAreJudgedAndTheBestIsKeptByTheRaceObject)
{
    world.checkpointCount = 2;
    race->hotLapMode = 1;
    race->raceLength = 0;  // practice: the first crossing starts the laps
    race->nextLapValid = 1;
    Drive(1000);
    EXPECT_EQ(RaceSlotCount(), 1);
    EXPECT_EQ(RaceSlotCar(0), &car);

    car.nextLine = 1;
    Cross(1, 100);  // lap 1 begins, valid
    EXPECT_EQ(race->lapValid, 1u);
    RaceInvalidateHotLap(1);  // a wall
    EXPECT_EQ(race->lapValid, 2u);
    EXPECT_EQ(messages, std::vector<std::string>{"Hot lap invalid (wall)"});
    Cross(2, 2000);
    Cross(1, 2000);  // lap 1 ends invalid: no best
    RaceBestLap best{};
    EXPECT_EQ(RaceServices.getBestLap(&best), 0);
    EXPECT_EQ(race->lapValid, 1u);  // the next lap was prepared valid

    Cross(2, 1900);
    Cross(1, 1950);  // lap 2, valid: the best lap
    ASSERT_EQ(RaceServices.getBestLap(&best), 1);
    EXPECT_EQ(best.lapNumber, 2);
    EXPECT_EQ(best.lineCount, 2);
    EXPECT_EQ(best.lineTimes[0], 1900);
    EXPECT_EQ(best.lineTimes[1], 3850);
    EXPECT_EQ(race->hudTimes.lineTimes[1], 3850);

    Cross(2, 2000);
    Cross(1, 2000);  // slower: the best stays
    RaceServices.getBestLap(&best);
    EXPECT_EQ(best.lapNumber, 2);
    race->ClearHudTimes();
    EXPECT_EQ(RaceServices.getBestLap(&best), 0);
}

TEST_F(RaceObjectCarsTest, LapsOfALappedRaceFinishTheCar)
{
    world.checkpointCount = 2;
    RaceKind = 1;
    race->raceLength = 2;
    race->countdownSeconds = 10;
    Drive(1000);
    EXPECT_EQ(RaceServices.lapsToRace(), 2);
    EXPECT_EQ(RaceIsTimedOrLapped(), 1);
    Cross(2, 3000);
    Cross(1, 3000);
    EXPECT_EQ(car.lapsDone, 1);
    EXPECT_EQ(car.finished, 0);
    Cross(2, 3000);
    Cross(1, 3000);
    EXPECT_EQ(car.lapsDone, 2);
    EXPECT_EQ(car.finished, 1);
    EXPECT_STREQ(car.statusText, "FINISHED");
}

TEST_F(RaceObjectCarsTest, QualifyingEndsAfterItsMinutes)
{
    world.checkpointCount = 2;
    RaceKind = 2;
    race->raceLength = 0;
    race->qualifyMinutes = 1;
    race->countdownSeconds = 5;
    Drive(0);
    car.nextLine = 1;
    Cross(1, 100);
    Cross(2, 3000);
    Cross(1, 3000);  // tick 6100: 6100 - 500 is within the minute
    EXPECT_EQ(race->IsQualifyingOver(), 0);
    EXPECT_EQ(car.finished, 0);
    Cross(2, 500);
    Cross(1, 600);  // tick 7200
    EXPECT_EQ(race->IsQualifyingOver(), 1);
    EXPECT_EQ(car.finished, 1);
    EXPECT_STREQ(car.statusText, "QUALIFYING OVER");
}

TEST_F(RaceObjectCarsTest, DefaultCarsAreCreatedForTheirSlots)
{
    GameSessionPtr = new GameSession;
    for (int i = 0; i < CarModelCount; ++i) {
        PlayerInfo info{};
        std::snprintf(info.name, sizeof(info.name), "AI %d", i + 1);
        info.kind = i == 0 ? KindLocal : KindLocalAi;
        info.playerId = static_cast<uint8_t>(i + 1);
        PlayerSlot *slot = race->AddSlot(info);
        std::snprintf(slot->carName, sizeof(slot->carName), "%s", CarTable[i].name);
    }
    PlayerInfo unknown{};
    std::strcpy(unknown.name, "Lost");
    unknown.kind = KindLocalAi;
    PlayerSlot *lost = race->AddSlot(unknown);
    std::strcpy(lost->carName, "No Such Car");
    race->aiLevel = 3;
    race->carsOk = 1;
    for (int i = 0; i < race->slotCount; ++i) {
        CreatePlayerCar(&race->slots[i]);
    }
    for (int i = 0; i < CarModelCount; ++i) {
        SCOPED_TRACE(CarTable[i].name);
        CarObject *built = race->slots[i].car;
        ASSERT_NE(built, nullptr);
        EXPECT_STREQ(built->shortName, CarTable[i].code);
        if (i == 0) {
            EXPECT_EQ(race->slots[i].ai, nullptr);
        } else {
            ASSERT_NE(race->slots[i].ai, nullptr);
            EXPECT_EQ(race->slots[i].ai->car, built);
            EXPECT_EQ(race->slots[i].ai->level, 3);
        }
    }
    EXPECT_EQ(lost->car, nullptr);
    EXPECT_EQ(race->carsOk, 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Could not load Lost^8's car"});

    // Removing a slot keeps every later car pointing into its own slot.
    race->RemoveSlot(0);
    for (int i = 0; i + 1 < CarModelCount; ++i) {
        EXPECT_STREQ(race->slots[i].car->shortName, CarTable[i + 1].code);
    }
    race->RunAiDrivers(nullptr);
}

TEST_F(RaceObjectCarsTest, LessonDriversTakeTheirLevelFromTheSlot)
{
    GameSessionPtr = new GameSession;
    RaceLinks.lessonRunning = [] { return 1; };
    const int expected[4] = {4, 2, 0, 0};
    for (int i = 0; i < 4; ++i) {
        PlayerInfo info{};
        std::snprintf(info.name, sizeof(info.name), "AI %d", i + 1);
        info.kind = KindLocalAi;
        PlayerSlot *slot = race->AddSlot(info);
        std::snprintf(slot->carName, sizeof(slot->carName), "%s", CarTable[0].name);
        CreatePlayerCar(slot);
        ASSERT_NE(slot->ai, nullptr);
        EXPECT_EQ(slot->ai->level, expected[i]) << i;
    }
}

}  // namespace
