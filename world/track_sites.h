#pragma once

#include <cstdint>

// The program's fixed table of track sites. A site's name is also the track
// name of its world file, stored in "Map Name " and in replays; it begins
// with the site's two-letter code, which names the site's light, path and
// knowledge files and forms its track codes.

constexpr int TrackSiteCount = 7;
constexpr int MaxSiteConfigs = 12;
constexpr int MaxSiteWeathers = 4;

struct TrackSite {
    const char *name;                          // null: the row holds no site
    const char *code;
    uint8_t configCount;                       // 1..7
    uint8_t weatherCount;                      // light schemes, 2 or 3
    uint8_t recordsFlag;                       // 1 when the race results keep records of it
    uint8_t spare;
    const char *configNames[MaxSiteConfigs];   // configuration names, in configuration order
    uint8_t pathFiles[MaxSiteConfigs];         // 1 when configuration n + 1 has a path file
    uint8_t reversible[MaxSiteConfigs];        // 1 when configuration n + 1 can be driven reversed
    uint8_t weatherTimes[MaxSiteWeathers];     // time of day of light scheme i (old worlds)
    uint8_t weatherSkies[MaxSiteWeathers];     // weather of light scheme i (old worlds)
};

extern const TrackSite SiteTable[TrackSiteCount];

// The site whose world file the default-data generator writes.
constexpr int DefaultTrackSite = 0;

// Row index of the site of that name (letter case ignored), or -1; the row's
// records flag goes to recordsFlag when it is given.
int FindTrackSite(const char *name, int *recordsFlag);
// Row index of the site of that name, or -1.
int TrackSiteIndex(const char *name);
// The last row whose code is this short name (letter case ignored), or -1.
int FindTrackSiteByCode(const char *shortName);

// The race track: the world of the track named by the race settings
// ("Map Name ", "Config ", "Flip ", "Lighting ").
//
// Destroys the current world (CurrentWorld null afterwards); harmless when
// none is loaded.
void UnloadRaceTrack();
// Unloads the previous track, creates a world and opens "Map Name " with the
// name's first two letters, upper-cased, as the short name, build graphics
// 1, and the settings' configuration, direction and light scheme. 1 when the
// load is armed (WorldLoadStep runs it), 0 when the open failed (no world).
int LoadRaceTrack();
// One WorldLoadStep of the race track: true when no load runs any more. A
// load that failed unloads the track; one that finished copies the chosen
// configuration, direction and light scheme back into the settings.
bool StepRaceTrackLoad();
