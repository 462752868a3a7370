#pragma once

#include "vehicle/physics_world.h"

// The game session: exists while the user is on the track (GameSessionPtr,
// race/game_state.h). It owns the one physics world, made and destroyed with
// it.
struct GameSession {
    PhysicsWorld physics;
};

// One 0.01 s tick of the session: steps the physics world while a world is
// loaded. lastTickOfFrame is non-zero on the last tick of a drawn frame.
void SessionTick(GameSession &session, int lastTickOfFrame);
