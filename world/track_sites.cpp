#include "world/track_sites.h"

#include <cctype>

#include "core/settings.h"
#include "core/text_utils.h"
#include "world/environment_texture.h"
#include "world/world.h"
#include "world/world_loader.h"

// Time of day: 0 Dawn .. 3 Day, 4 Afternoon, 5 Sunset; weather 0 Clear,
// 1 Cloudy, 2 Overcast.
const TrackSite SiteTable[TrackSiteCount] = {
    {"Kestrel Water", "KE", 3, 3, 1, 0,
     {"Grand Prix", "Club", "Sprint"},
     {1, 1, 1}, {1, 1, 0}, {3, 4, 5}, {0, 1, 0}},
    {"Harrow Fields", "HA", 6, 3, 1, 0,
     {"National", "International", "Short", "Long", "Infield", "Airfield"},
     {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 0, 0}, {3, 2, 5}, {0, 1, 0}},
    {"Bramble Moor", "BR", 6, 3, 1, 0,
     {"Classic", "Moorland", "Valley", "Summit", "Rallycross", "Stage"},
     {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 0}, {3, 4, 1}, {0, 2, 0}},
    {"Saltmarsh Loop", "SA", 4, 3, 0, 0,
     {"Estuary", "Harbour", "Causeway", "Lighthouse"},
     {0, 0, 0, 0}, {0, 0, 0, 0}, {3, 5, 2}, {0, 0, 1}},
    {"Ridgeway Park", "RI", 3, 3, 1, 0,
     {"Ridge", "Park", "Rallycross"},
     {1, 1, 1}, {1, 1, 0}, {3, 4, 5}, {0, 1, 0}},
    {"Tollgate Oval", "TO", 1, 3, 1, 0,
     {"Oval"},
     {1}, {1}, {3, 6, 2}, {0, 0, 1}},
    {"Whinfell Forest", "WH", 7, 2, 1, 0,
     {"Forest", "Lakeside", "Hill Climb", "Woodland", "Northern", "Southern", "Grand"},
     {1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1}, {3, 5}, {0, 1}},
};

int FindTrackSite(const char *name, int *recordsFlag)
{
    const int index = TrackSiteIndex(name);
    if (index >= 0 && recordsFlag) {
        *recordsFlag = SiteTable[index].recordsFlag;
    }
    return index;
}

int TrackSiteIndex(const char *name)
{
    if (!name) {
        return -1;
    }
    for (int i = 0; i < TrackSiteCount; ++i) {
        if (SiteTable[i].name && EqualsNoCase(SiteTable[i].name, name)) {
            return i;
        }
    }
    return -1;
}

int FindTrackSiteByCode(const char *shortName)
{
    int found = -1;
    if (!shortName) {
        return found;
    }
    for (int i = 0; i < TrackSiteCount; ++i) {
        if (SiteTable[i].code && EqualsNoCase(SiteTable[i].code, shortName)) {
            found = i;
        }
    }
    return found;
}

void UnloadRaceTrack()
{
    if (!CurrentWorld) {
        return;
    }
    // The render resources of the track go with the render core.
    ReleaseEnvironmentTexture();
    WorldDestroy(CurrentWorld);
    CurrentWorld = nullptr;
}

int LoadRaceTrack()
{
    UnloadRaceTrack();
    char shortName[3] = {};
    for (int i = 0; i < 2 && MapName[i]; ++i) {
        shortName[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(MapName[i])));
    }
    World *world = WorldCreate();
    if (!WorldOpen(world, MapName, shortName, 1, 0, TrackConfig, TrackFlip, TrackLighting)) {
        WorldDestroy(world);
        return 0;
    }
    return 1;
}

bool StepRaceTrackLoad()
{
    World *world = CurrentWorld;
    if (!world || world->loadState == 0) {
        return true;
    }
    if (!WorldLoadStep(world)) {
        return false;
    }
    if (WorldLoadFailed(world)) {
        UnloadRaceTrack();
        return true;
    }
    TrackConfig = world->config;
    TrackFlip = world->reversed;
    TrackLighting = world->lightSchemeIndex;
    return true;
}
