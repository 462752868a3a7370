#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "app/race_object_services.h"
#include "core/shell_globals.h"
#include "net/game_batch.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "tests/tools/fixture_world.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/saved_race_entries.h"
#include "vehicle/tyre_curves.h"
#include "world/map_squares.h"
#include "world/start_lights.h"
#include "world/world.h"

// Game sessions over the fixture track and the generated cars, through the
// program's registered race, vehicle and network entries, on a fake game
// clock that starts at 50 s. Tear-down leaves any session still open and
// deletes the race object; each suite adds its own set-up on top.
class SessionWorldFixture : public GeneratedCarsFixture {
protected:
    static void SetUpTestSuite()
    {
        GeneratedCarsFixture::SetUpTestSuite();
        BuildTyreCurves();
        world = WorldCreate();
        fixture_world::WriteAndLoad(world);
    }
    static void TearDownTestSuite()
    {
        WorldDestroy(world);
        world = nullptr;
        GeneratedCarsFixture::TearDownTestSuite();
    }
    void SetUp() override
    {
        GeneratedCarsFixture::SetUp();
        ASSERT_EQ(CurrentWorld, world);
        savedEntries.Save();
        savedClock = GameClock;
        RegisterRaceObjectServices();
        SetSessionExistsCheck([] { return GameSessionPtr != nullptr ? 1 : 0; });
        GameClock = 50000;
    }
    void TearDown() override
    {
        if (GameSessionPtr != nullptr) {
            GameSession *session = GameSessionPtr;
            LeaveSession(*session);
            delete session;
        }
        DeleteRaceObject();
        world->FreeObjectGrid();
        SetSessionExistsCheck(nullptr);
        savedEntries.Restore();
        GameClock = savedClock;
        GameState = 1;
        RaceKind = 0;
        ResetSession(0, 0);
    }

    // Each of the first `slots` cars stands on its start position.
    static void ExpectOnGrid(const RaceObject &race, int slots)
    {
        for (int i = 0; i < slots; ++i) {
            ASSERT_NE(race.slots[i].car, nullptr) << i;
            int32_t position[3];
            float heading = 0.0f;
            GetStartPosition(world, position, heading, i, 0, 0, nullptr);
            EXPECT_EQ(race.slots[i].car->position.x, position[0]) << i;
            EXPECT_EQ(race.slots[i].car->position.y, position[1]) << i;
        }
    }

    static inline World *world = nullptr;

private:
    SavedRaceEntries savedEntries;
    uint32_t savedClock = 0;
};
