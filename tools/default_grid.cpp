#include "tools/default_grid.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/car_table.h"
#include "race/driver_names.h"
#include "race/player_record.h"
#include "race/race_object.h"

namespace {

constexpr int GridDrivers = 4;

}  // namespace

const char *WriteDefaultGrid(const char *runFolder)
{
    const std::filesystem::path home = std::filesystem::current_path();
    std::error_code error;
    std::filesystem::current_path(runFolder, error);
    if (error) {
        return "the run folder could not be entered";
    }
    const char *result = nullptr;
    std::filesystem::create_directories("data/grids", error);
    if (error) {
        result = "data/grids could not be made";
    } else if (!std::filesystem::exists("data/grids/cfg.rac")) {
        DefaultDriverNames();
        RaceObject *race = CreateRaceObject();
        for (int i = 0; i < GridDrivers; ++i) {
            PlayerInfo info{};
            std::snprintf(info.name, sizeof(info.name), "%s", i == 0 ? "Driver" : AiDriverNames[i - 1].name);
            info.kind = i == 0 ? KindLocal : KindLocalAi;
            // A computer driver's record asks for the automatic clutch, as
            // FillAiPlayerInfo makes it: the driver changes gear itself.
            info.flags = i == 0 ? 0 : 512;
            info.playerId = static_cast<uint8_t>(i + 1);
            info.gridIndex = static_cast<uint8_t>(i);
            info.fuel[0] = 50;
            info.fuel[1] = 50;
            info.fuel[2] = 30;
            info.fuel[3] = 1;
            PlayerSlot *slot = race->AddSlot(info);
            std::snprintf(slot->carName, sizeof(slot->carName), "%s", CarTable[i].name);
        }
        race->raceLength = 3;
        race->wind = 0;
        race->aiLevel = 2;
        if (!WriteRaceFile(race, "cfg")) {
            result = "data/grids/cfg.rac could not be written";
        }
        DeleteRaceObject();
    }
    std::filesystem::current_path(home, error);
    return result;
}
