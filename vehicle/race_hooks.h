#pragma once

#include <cstdint>

#include "core/fixed_math.h"

class CarObject;

// What bodies and the physics world ask of the race session and of the
// interface layers above the vehicle library. The race code fills the record
// at start-up; an empty entry means "no race" (no slots, no tick, no hot lap)
// or, for the reports, that nobody listens.
struct RaceHooks {
    // The race slots: their count (0..32) and the car of a slot (null for an
    // empty slot).
    int (*slotCount)();
    CarObject *(*slotCar)(int slot);
    // The race tick (100 per second); null while there is no race.
    uint32_t (*raceTick)();
    // Non-zero while the race is set up for hot laps.
    int (*hotLapMode)();
    // Marks the running hot lap invalid: 1 wall, 2 object.
    void (*invalidateHotLap)(int reason);
    // A movable object was knocked while the layout defines its own start.
    void (*reportObjectHit)(const FixVector &position, float radius);
    // The car that a running lesson watches, or null; and its failure report.
    CarObject *(*lessonContactCar)();
    void (*reportCarContact)();
    // A warning message line.
    void (*printWarning)(const char *text);
};

extern RaceHooks VehicleRaceHooks;

// Callers of the hooks: each does nothing, or answers 0 / null, when its
// entry is empty.
int RaceSlotCount();
CarObject *RaceSlotCar(int slot);
// 0 and *tick untouched when there is no race.
int GetRaceTick(uint32_t *tick);
int RaceHotLapMode();
void RaceInvalidateHotLap(int reason);
void RaceReportObjectHit(const FixVector &position, float radius);
CarObject *RaceLessonContactCar();
void RaceReportCarContact();
void VehiclePrintWarning(const char *text);
