#include <gtest/gtest.h>

#include "race/game_session.h"
#include "race/game_state.h"
#include "vehicle/rigid_body.h"
#include "vehicle/world_query.h"
#include "tests/race/empty_world_query.h"

namespace {

TEST(GameSession, TheTickStepsItsPhysicsWorldOnlyWhileAWorldIsLoaded) {
    const int savedState = GameState;
    GameState = 2;
    GameSession session;
    session.active = 1;
    EXPECT_EQ(CurrentPhysicsWorld, &session.physics);
    RigidBody body(1, 1, nullptr);
    body.mass = 1.0f;
    body.position = {0, 0, 10 * 65536};
    body.ResetState();
    ASSERT_EQ(session.physics.AddBody(&body), 1);

    SessionTick(session, 1, 1);  // no world at all
    EXPECT_EQ(body.velocity[2], 0.0f);

    EmptyWorld world;
    SetWorldQuery(&world);
    SessionTick(session, 1, 1);  // still loading
    EXPECT_EQ(body.velocity[2], 0.0f);

    world.loaded = true;
    SessionTick(session, 1, 1);
    EXPECT_LT(body.velocity[2], 0.0f);
    EXPECT_LT(body.position.z, 10 * 65536);
    SetWorldQuery(nullptr);
    GameState = savedState;
}

}  // namespace
