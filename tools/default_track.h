#pragma once

// The default track site (row DefaultTrackSite of the site table): a road
// circuit with a club loop through a link road, a point-to-point sprint, a
// pit lane with 32 boxes, start grids, a start-lamp gantry, cameras, three
// light schemes and scenery of every kind (a grandstand with spectators,
// flags, marshals, a wind turbine, trees), and a sample layout for
// configuration 1. docs/default_track.md gives its plan.
//
// Every figure comes from literal values and the project's float maths, so
// the files are the same bytes on every machine and on every run.

#include <cstdint>
#include <vector>

struct LayoutRecord;

// The bodies of the two files (what follows each data-file header). Without
// the light file the paths and lighting records stand in the world file and
// its has-light-file byte is 0; light stays empty.
struct DefaultTrackFiles {
    std::vector<uint8_t> world;
    std::vector<uint8_t> light;
};
void BuildDefaultTrack(int withLightFile, DefaultTrackFiles &files);

// Writes "data/wld/<site name>.wld" and "data/wld/<site code>.lgh" into the
// run folder (with a light file). Returns null, or the text of what went
// wrong.
const char *WriteDefaultTrack(const char *runFolder);

// The sample layout: an autocross of configuration 1, written as
// "data/layout/<track code>_autocross.lyt" (the track code of the site and
// configuration 1, "KE1"). Its records come in the order a save writes them.
constexpr int DefaultLayoutConfig = 1;
constexpr const char *DefaultLayoutName = "autocross";
std::vector<LayoutRecord> DefaultLayoutRecords();
const char *WriteDefaultLayout(const char *runFolder);
