#include "race/game_session.h"

#include "vehicle/world_query.h"

void SessionTick(GameSession &session, int lastTickOfFrame) {
    // The waking and knocked-object phases read the world's object grid.
    if (LoadedWorldQuery() != nullptr)
        session.physics.Step(lastTickOfFrame);
}
