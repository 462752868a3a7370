// The race grid file (data\grids\<name>.rac) read as the race setup reads
// it, into a race object on a small loaded world.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "race/player_record.h"
#include "race/race_object.h"
#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::filesystem::create_directories("data/grids");
    FILE *file = std::fopen("data/grids/fuzz.rac", "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    World *world = WorldCreate();
    std::snprintf(world->trackName, sizeof(world->trackName), "Fuzz Track");
    world->startPositionCount = 32;
    World *savedWorld = CurrentWorld;
    CurrentWorld = world;
    RaceObject *savedRace = RaceObjectPtr;
    RaceObjectPtr = nullptr;

    RaceObject *race = CreateRaceObject();
    ReadRaceFile(race, "fuzz", nullptr, 1);
    DeleteRaceObject();

    RaceObjectPtr = savedRace;
    WorldDestroy(world);
    CurrentWorld = savedWorld;
    std::remove("data/grids/fuzz.rac");
    return 0;
}
