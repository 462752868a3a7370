#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/race_object_services.h"
#include "core/car_table.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "net/game_batch.h"
#include "race/ai_driver.h"
#include "race/driver_names.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "tests/tools/default_site_fixture.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/saved_race_entries.h"
#include "tools/knowledge_files.h"
#include "vehicle/car_object.h"
#include "vehicle/tyre_curves.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/shared_random.h"
#include "world/start_lights.h"
#include "world/world.h"
#include "world/world_config.h"

// Races of computer drivers over the generated default site with its
// knowledge files and the generated cars, through the program's registered
// race, vehicle and network entries, on a fake game clock.
class AiRaceFixture : public GeneratedCarsFixture {
protected:
    static void SetUpTestSuite()
    {
        GeneratedCarsFixture::SetUpTestSuite();
        BuildTyreCurves();
        RegisterPathFollowerFactory();
        LoadDefaultSite(world, [](const char *, int) {});
        if (::testing::Test::HasFatalFailure() || world == nullptr) {
            return;
        }
        CurrentWorld = world;
        knowledgeError = WriteKnowledgeFiles(".");
    }
    static void TearDownTestSuite()
    {
        CurrentWorld = nullptr;
        UnloadDefaultSite(world);
        GeneratedCarsFixture::TearDownTestSuite();
    }
    void SetUp() override
    {
        GeneratedCarsFixture::SetUp();
        ASSERT_NE(world, nullptr);
        ASSERT_EQ(knowledgeError, nullptr) << knowledgeError;
        CurrentWorld = world;
        savedEntries.Save();
        savedClock = GameClock;
        savedRules = HostRuleFlags;
        savedRandom = FrameRandom;
        savedShared = SharedRandom;
        savedConfig = TrackConfig;
        savedFlip = TrackFlip;
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
        HostRuleFlags = savedRules;
        FrameRandom = savedRandom;
        SharedRandom = savedShared;
        TrackConfig = savedConfig;
        TrackFlip = savedFlip;
        GameState = 1;
        RaceKind = 0;
        ResetSession(0, 0);
        SelectConfig(world, 1, 0);
    }

    // A race object on configuration `config` with one AI slot per car
    // index, at `level`, over `laps` laps. The world's shared random number
    // (the wait before the green) starts from a fixed value.
    static void MakeAiRace(const std::vector<int> &cars, int level, int laps, int config = 1)
    {
        SelectConfig(world, config, 0);
        TrackConfig = config;
        TrackFlip = 0;
        SharedRandom = 2024;
        ResetSessionAsHost();
        RaceKind = 1;
        RaceObject *race = CreateRaceObject();
        race->config = static_cast<uint32_t>(config);
        race->aiLevel = static_cast<uint8_t>(level);
        for (size_t i = 0; i < cars.size(); ++i) {
            PlayerInfo info{};
            char name[24];
            std::snprintf(name, sizeof(name), "AI %d", static_cast<int>(i) + 1);
            FillAiPlayerInfo(&info, name, 0, nullptr);
            info.playerId = static_cast<uint8_t>(i + 1);
            info.gridIndex = static_cast<uint8_t>(i);
            info.fuel[0] = 100;
            PlayerSlot *slot = race->AddSlot(info);
            FillAiCarRecord(slot, static_cast<int>(i), CarTable[cars[i]].name);
        }
        race->raceLength = static_cast<uint8_t>(laps);
        race->wind = 0;
    }

    // Main-loop passes of 10 ms (one tick each once the race runs).
    static void Run(int passes)
    {
        for (int i = 0; i < passes && GameSessionPtr != nullptr; ++i) {
            GameClock += 10;
            SessionFrame(*GameSessionPtr);
        }
    }

    // The car's lateral distance outside the path's outer limits at its
    // node (0 inside; -1 when race progress has not placed it).
    static float OutsideLimits(const CarObject &car)
    {
        const Path *path = world->currentPath;
        if (path == nullptr || car.progressNode < 0 || car.progressNode >= path->nodeCount) {
            return -1.0f;
        }
        const PathNode &node = path->nodes[car.progressNode];
        const float dx = static_cast<float>(static_cast<int64_t>(car.position.x) - node.position[0]) / 65536.0f;
        const float dy = static_cast<float>(static_cast<int64_t>(car.position.y) - node.position[1]) / 65536.0f;
        const float offset = dx * node.direction[1] - dy * node.direction[0];
        if (offset < node.outerLeft) {
            return node.outerLeft - offset;
        }
        if (offset > node.outerRight) {
            return offset - node.outerRight;
        }
        return 0.0f;
    }

    static inline World *world = nullptr;
    static inline const char *knowledgeError = nullptr;

private:
    SavedRaceEntries savedEntries;
    uint32_t savedClock = 0;
    uint32_t savedRules = 0;
    uint32_t savedRandom = 0;
    uint32_t savedShared = 0;
    int savedConfig = 0;
    int savedFlip = 0;
};
