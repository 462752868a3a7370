// The whole program on the real clock and window: the start grid's race of
// the player and three computer drivers. The computer drivers leave the
// grid after the green and drive on along the circuit, on the road. The run
// stops by a terminate signal once the race has run long enough.

#include <gtest/gtest.h>

#include <SDL.h>

#include <csignal>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/program.h"
#include "race/ai_driver.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "vehicle/car_object.h"
#include "world/path.h"
#include "world/world.h"

namespace {

// Race ticks to watch: the green comes after 10 s, and the drivers then
// have 20 s to get going.
constexpr uint32_t WatchTicks = 3000;
// The longest wait on the real clock for the whole run.
constexpr uint32_t LimitMs = 240000;

struct Watch {
    uint32_t startMs = 0;
    int raceSeen = 0;
    int stopSent = 0;
    int32_t grid[MaxRaceSlots][2] = {};
    float moved[MaxRaceSlots] = {};      // metres from the grid place at the end
    uint32_t mode[MaxRaceSlots] = {};
    int aiSlots = 0;
    int offRoadTicks = 0;                // AI car ticks outside the outer limits
};

Watch Seen;

void WatchingSleep(int ms)
{
    SDL_Delay(static_cast<Uint32>(ms > 0 ? ms : 0));
    if (Seen.stopSent) {
        return;
    }
    RaceObject *race = RaceObjectPtr;
    const World *world = CurrentWorld;
    if (SDL_GetTicks() - Seen.startMs > LimitMs) {
        Seen.stopSent = 1;
        std::raise(SIGTERM);
        return;
    }
    if (race == nullptr || GameSessionPtr == nullptr || race->slotCount == 0 || race->slots[0].car == nullptr) {
        return;
    }
    if (!Seen.raceSeen) {
        Seen.raceSeen = 1;
        for (int i = 0; i < race->slotCount; ++i) {
            if (const CarObject *car = race->slots[i].car) {
                Seen.grid[i][0] = car->position.x;
                Seen.grid[i][1] = car->position.y;
            }
        }
    }
    for (int i = 0; i < race->slotCount; ++i) {
        const CarObject *car = race->slots[i].car;
        if (car == nullptr || race->slots[i].ai == nullptr || world == nullptr || world->currentPath == nullptr) {
            continue;
        }
        const Path &path = *world->currentPath;
        if (car->progressNode >= 0 && car->progressNode < path.nodeCount) {
            const PathNode &node = path.nodes[car->progressNode];
            const float dx = static_cast<float>(static_cast<int64_t>(car->position.x) - node.position[0]) / 65536.0f;
            const float dy = static_cast<float>(static_cast<int64_t>(car->position.y) - node.position[1]) / 65536.0f;
            const float offset = dx * node.direction[1] - dy * node.direction[0];
            Seen.offRoadTicks += offset < node.outerLeft || offset > node.outerRight;
        }
    }
    if (race->tick >= WatchTicks) {
        Seen.aiSlots = 0;
        for (int i = 0; i < race->slotCount; ++i) {
            const CarObject *car = race->slots[i].car;
            if (car == nullptr || race->slots[i].ai == nullptr) {
                continue;
            }
            ++Seen.aiSlots;
            const float dx = static_cast<float>(static_cast<int64_t>(car->position.x) - Seen.grid[i][0]) / 65536.0f;
            const float dy = static_cast<float>(static_cast<int64_t>(car->position.y) - Seen.grid[i][1]) / 65536.0f;
            Seen.moved[i] = std::sqrt(dx * dx + dy * dy);
            Seen.mode[i] = race->slots[i].ai->mode;
        }
        Seen.stopSent = 1;
        std::raise(SIGTERM);
    }
}

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

TEST(AiRaceProgram, TheStartGridsComputerDriversLeaveTheGridAndDriveOn)
{
    if (!DisplayAvailable()) {
        GTEST_SKIP() << "no display";
    }
    const std::filesystem::path folder = std::filesystem::absolute("ai_race_run");
    std::filesystem::remove_all(folder);
    const std::string generate = std::string(KZV_DATAGEN) + " " + folder.string() + " >/dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    std::filesystem::current_path(folder);
    Seen = Watch{};
    ProgramServices services{};
    services.sleepMs = WatchingSleep;
    SetProgramServices(services);
    Seen.startMs = SDL_GetTicks();
    char name[] = "kzv";
    char *argv[] = {name, nullptr};
    const int code = RunProgram(1, argv);
    std::filesystem::current_path(folder.parent_path());
    EXPECT_EQ(code, 0);
    ASSERT_TRUE(Seen.raceSeen) << "the race did not start";
    ASSERT_EQ(Seen.aiSlots, 3) << "the race did not reach " << WatchTicks << " ticks";
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "slot " << i);
        // 20 s after the green a driver is far along the circuit.
        EXPECT_GT(Seen.moved[i], 150.0f);
        EXPECT_EQ(Seen.mode[i], AiRacing);
    }
    EXPECT_LT(Seen.offRoadTicks, 100);
}

}  // namespace
