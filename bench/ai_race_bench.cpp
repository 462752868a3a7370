// Twenty computer drivers racing on the Grand Prix circuit of the default site,
// headless, from the green light: each iteration runs a fixed stretch of
// simulated time through the session's frames. Reports simulated seconds
// and car-seconds per wall second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/race_object_services.h"
#include "bench_default_track.h"
#include "core/car_table.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "net/game_batch.h"
#include "race/ai_driver.h"
#include "race/driver_names.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "render/object_file.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "tools/knowledge_files.h"
#include "vehicle/car_object.h"
#include "vehicle/tyre_curves.h"
#include "world/map_squares.h"
#include "world/path_follower.h"
#include "world/shared_random.h"
#include "world/start_lights.h"
#include "world/world_messages.h"

namespace {

constexpr int Cars = 20;
constexpr int TicksPerIteration = 1000;  // 10 s of simulated time

struct AiRaceSetting {
    World *world = nullptr;
    Object3D bodies[BodyCodeCount] = {};
    bool ready = false;

    AiRaceSetting()
    {
        BuildTrigTables();
        BuildTyreCurves();
        SetWorldMessagePrinter(nullptr);
        ready = RunInFolder(BenchFolder("kzv_ai_race_bench"), [this] { return Prepare(); });
    }

    bool Prepare()
    {
        if (WriteBodyObjects(".") != nullptr || WriteCarDataFiles(".") != nullptr ||
            WriteDefaultTrack(".") != nullptr || WriteKnowledgeFiles(".") != nullptr) {
            return false;
        }
        for (int i = 0; i < BodyCodeCount; ++i) {
            InitObject3D(&bodies[i]);
            const std::string path = std::string("data/veh/") + BodyCodes[i] + ".vob";
            if (ReadObjectFile(&bodies[i], nullptr, path.c_str(), 0, nullptr) != 1) {
                return false;
            }
            BodyObjects[i] = &bodies[i];
        }
        RegisterPathFollowerFactory();
        if (!OpenDefaultTrack(world)) {
            return false;
        }
        SelectConfig(world, 1, 0);
        TrackConfig = 1;
        TrackFlip = 0;
        RegisterRaceObjectServices();
        SetSessionExistsCheck([] { return GameSessionPtr != nullptr ? 1 : 0; });
        // The race: twenty computer drivers, a race long enough never to
        // end while measured.
        SharedRandom = 2024;
        ResetSessionAsHost();
        RaceKind = 1;
        RaceObject *race = CreateRaceObject();
        race->config = 1;
        CopyString(race->trackName, world->trackName, sizeof(race->trackName));
        race->aiLevel = 4;
        for (int i = 0; i < Cars; ++i) {
            PlayerInfo info{};
            char name[24];
            std::snprintf(name, sizeof(name), "AI %d", i + 1);
            FillAiPlayerInfo(&info, name, 0, nullptr);
            info.playerId = static_cast<uint8_t>(i + 1);
            info.gridIndex = static_cast<uint8_t>(i);
            info.fuel[0] = 100;
            PlayerSlot *slot = race->AddSlot(info);
            FillAiCarRecord(slot, i, CarTable[i % CarModelCount].name);
        }
        race->raceLength = 90;
        race->wind = 0;
        GameClock = 50000;
        if (EnterSession(nullptr, SessionNormal, 0) == nullptr) {
            return false;
        }
        GameClock = InitTime + SessionFrameCount * 10;
        // Up to the green light.
        for (int i = 0; i < 4000 && world->startLightState != StartLightsGreen; ++i) {
            Pass();
        }
        return world->startLightState == StartLightsGreen;
    }

    static void Pass()
    {
        GameClock += 10;
        SessionFrame(*GameSessionPtr);
    }
};

AiRaceSetting &Setting()
{
    static AiRaceSetting setting;
    return setting;
}

void BM_TwentyCarAiRace(benchmark::State &state)
{
    AiRaceSetting &s = Setting();
    if (!s.ready || GameSessionPtr == nullptr) {
        state.SkipWithError("the race could not be set up");
        return;
    }
    CurrentWorld = s.world;
    for (auto _ : state) {
        for (int t = 0; t < TicksPerIteration && GameSessionPtr != nullptr; ++t) {
            AiRaceSetting::Pass();
        }
    }
    const double seconds = static_cast<double>(state.iterations()) * TicksPerIteration / 100.0;
    state.counters["sim_s"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
    state.counters["car_s"] = benchmark::Counter(seconds * Cars, benchmark::Counter::kIsRate);
    // How many computer drivers were still racing at the end.
    int racing = 0;
    for (int i = 0; RaceObjectPtr != nullptr && i < RaceObjectPtr->slotCount; ++i) {
        const AiDriver *ai = RaceObjectPtr->slots[i].ai;
        racing += ai != nullptr && ai->mode == AiRacing ? 1 : 0;
    }
    state.counters["racing"] = racing;
}
BENCHMARK(BM_TwentyCarAiRace)->Unit(benchmark::kMillisecond);

}  // namespace
