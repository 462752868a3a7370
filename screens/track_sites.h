#pragma once

#include <cstdint>

// The program's fixed table of track sites. A site's name is also the track
// name stored in "Map Name " and in replays; its two-letter code names its
// files and forms the track codes.

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
    const char **configNames[MaxSiteConfigs];  // translation slots of the configuration names
    uint8_t pathFiles[MaxSiteConfigs];         // 1 when configuration n + 1 has a path file
    uint8_t reversible[MaxSiteConfigs];        // 1 when configuration n + 1 can be driven reversed
    uint8_t weatherTimes[MaxSiteWeathers];     // time-of-day index of each light scheme
    uint8_t weatherSkies[MaxSiteWeathers];     // sky index of each light scheme
};

// The rows are not filled yet: no name is a site, and start-up falls back on
// the default track.
extern const TrackSite SiteTable[TrackSiteCount];

// Row index of the site of that name (letter case ignored), or -1; the row's
// records flag goes to recordsFlag when it is given.
int FindTrackSite(const char *name, int *recordsFlag);
// Row index of the site of that name, or -1.
int TrackSiteIndex(const char *name);
