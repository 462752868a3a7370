#pragma once

#include <filesystem>
#include <system_error>

#include "tools/default_track.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"

// A benchmark's own folder below the temporary folder, made where missing.
inline std::filesystem::path BenchFolder(const char *name)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / name;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

// Runs `work` with `folder` as the working folder and goes back; its result.
template <typename Work>
bool RunInFolder(const std::filesystem::path &folder, Work work)
{
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const bool done = work();
    std::filesystem::current_path(home);
    return done;
}

// The default track (written beforehand into the working folder) loaded as
// the current world, configuration 1 selected. False where it did not open.
inline bool OpenDefaultTrack(World *&world)
{
    const TrackSite &row = SiteTable[DefaultTrackSite];
    world = WorldCreate();
    if (!WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0))
        return false;
    while (!WorldLoadStep(world)) {
    }
    CurrentWorld = world;
    SelectConfig(world, 1, 0);
    return true;
}
