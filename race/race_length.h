#pragma once

#include <cstdint>

class CarObject;

// The race length code: 0 practice, 1..100 that many laps, 101..190 a lap
// count of (code - 90) x 10, 191..238 a race of code - 190 hours.

// The host's rule flags (bit 64: a pit stop is mandatory). Set offline by
// the race setup and online by the network layer.
extern uint32_t HostRuleFlags;
constexpr uint32_t RuleMustPit = 64;

// Laps of the race object's code; 0 for hours, practice or without a race.
int GetRaceLaps();
int LapsFromCode(int code);
int HoursFromCode(int code);
// A race object exists, RaceKind is not 2 and the code is not 0.
int IsTimedOrLappedRace();
// RaceKind 1, a track with a pit lane, a code of 2 or more and the must-pit
// rule.
int IsMandatoryPitStop();
// Whether a car with these laps and time has done the race's distance.
int IsRaceDistanceDone(int laps, uint32_t time, const CarObject *car);
