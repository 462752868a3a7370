#pragma once

#include <cstdint>

#include "core/fixed_math.h"

class CarObject;
struct GameSession;

// Where the session hears the race from in one frame: the listener that the
// sound layer's car-sound mixer reads (handed over through RaceLinks).
struct SessionListener {
    FixMatrix orientation;   // world to listener axes (x to the right), 16.16
    FixVector position;      // 16.16
    float velocity[3];       // m/s
    CarObject *focusedCar;   // the viewed car, or null
    uint32_t attached;       // heard from inside the focused car
    // 0 in the focused car's cockpit, 2 a fixed camera (12 m reference),
    // 1 the other views.
    uint32_t mode;
};

// The listener of a frame: the viewed car heard from inside in the cockpit
// (view 3, mode 0) and the custom view (view 4, mode 1); a fixed camera
// (view 2) gives mode 2 and no velocity; other views mode 1 with the viewed
// car's velocity; in the free view no car's velocity. Inside the car the
// listener stands at the car's place with its axes; elsewhere at the view's
// eye with the view matrix.
SessionListener ListenerForView(const GameSession &session, uint32_t viewMode);

// Calls of the session into the car-sound mixer: started at session entry
// and each race start, the listener reset when the session ends (and at
// replay jumps), and the listener written every frame.
void StartCarSounds();
void ResetCarSoundListener();
void WriteSessionListener(const GameSession &session);
