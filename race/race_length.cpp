#include "race/race_length.h"

#include "race/game_state.h"
#include "race/race_object.h"
#include "vehicle/car_object.h"
#include "world/world.h"

uint32_t HostRuleFlags = 0;

int LapsFromCode(int code)
{
    if (code >= 1 && code <= 100) {
        return code;
    }
    if (code >= 101 && code <= 190) {
        return (5 * code - 450) * 2;
    }
    return 0;
}

int HoursFromCode(int code)
{
    return code >= 191 && code <= 238 ? code - 190 : 0;
}

int GetRaceLaps()
{
    return RaceObjectPtr != nullptr ? LapsFromCode(RaceObjectPtr->raceLength) : 0;
}

int IsTimedOrLappedRace()
{
    return RaceObjectPtr != nullptr && RaceKind != 2 && RaceObjectPtr->raceLength != 0;
}

int IsMandatoryPitStop()
{
    // The pit lane is the track's speed-limit zone.
    const bool pitLane = CurrentWorld != nullptr && CurrentWorld->speedZoneCount > 0;
    return RaceObjectPtr != nullptr && RaceKind == 1 && pitLane && RaceObjectPtr->raceLength >= 2 &&
           (HostRuleFlags & RuleMustPit) != 0;
}

int IsRaceDistanceDone(int laps, uint32_t time, const CarObject *car)
{
    if (RaceObjectPtr == nullptr) {
        return 0;
    }
    const RaceObject &race = *RaceObjectPtr;
    if (race.raceLength < 191) {
        return laps == GetRaceLaps();
    }
    for (int i = 0; i < race.slotCount; ++i) {
        const CarObject *other = race.slots[i].car;
        if (other != nullptr && other != car && other->finished == 0 && other->lapsDone >= laps) {
            return 0;
        }
    }
    return time >= static_cast<uint32_t>(HoursFromCode(race.raceLength)) * 360000u;
}
