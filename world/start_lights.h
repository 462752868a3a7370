#pragma once

#include <cstdint>

class CarObject;

// What the start lights and the wind read of the race. The race session
// fills it from its race record; a null view means no race (practice
// driving at load time, the menus).
struct StartRaceView {
    int32_t startOffset;        // seconds from the race start to the green; 3 or more
    int32_t raceLength;         // 0 practice
    int32_t windSetting;        // 0 none, 1 low, 2 high
    int32_t raceKind;           // the session's race kind word: 0 none, 1 race, 2 qualifying
    int32_t online;             // non-zero while online: wind and red delay come by packet
    int32_t layoutOwnStart;     // the current layout defines its own start
    int32_t slotCount;          // 0..32
    CarObject *(*slotCar)(int slot);   // the car of a slot, null when empty; null: no cars
    int32_t *startWaitFlag;     // the session's start flag, cleared at the green; may be null
};

// Start-light states: 0 armed, 1..3 red lamps lit, 4 green or idle.
constexpr int StartLightsArmed = 0;
constexpr int StartLightsGreen = 4;
constexpr int GreenLamp = 3;

// Wind limits: the strongest wind (m/s) and half of it, the random part of a
// drawn speed.
constexpr float MaxWindSpeed = 13.333f;
constexpr float HalfMaxWindSpeed = 6.6665f;

// Draws a wind from SharedRandom (two steps): speed (m/s) and direction
// (radians, in (-pi, pi]). windSetting 2 (high) gives 6.6665..13.333 m/s,
// anything else (low) 1.0..6.6665 m/s.
void RandomWind(int windSetting, float &speed, float &direction);
