// The world file of the default site and its light file, loaded through
// WorldOpen and every WorldLoadStep to the end, as the program loads a track.
//
// One input holds both files: the world file, then FuzzSeparator and the light
// file (an input without the separator is a world file without a light file).
// The world is destroyed after each input.
#include <cstdint>
#include <string>

#include "core/fixed_math.h"
#include "fuzz/fuzz_support.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

uint32_t FakeClock()
{
    static uint32_t now = 0;
    return now += 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        FuzzScratch();
        BuildTrigTables();
        SetWorldMessagePrinter([](const char *, int) {});
        return true;
    }();
    (void)ready;

    const TrackSite &site = SiteTable[DefaultTrackSite];
    const std::string worldPath = std::string("data\\wld\\") + site.name + ".wld";
    const std::string lightPath = std::string("data\\wld\\") + site.code + ".lgh";
    const uint8_t *worldBytes = nullptr;
    const uint8_t *lightBytes = nullptr;
    size_t worldSize = 0;
    size_t lightSize = 0;
    const bool hasLight = FuzzSplit(data, size, &worldBytes, &worldSize, &lightBytes, &lightSize);
    FuzzWriteFile(worldPath.c_str(), worldBytes, worldSize);
    if (hasLight) {
        FuzzWriteFile(lightPath.c_str(), lightBytes, lightSize);
    } else {
        FuzzRemoveFile(lightPath.c_str());
    }

    SetLoadClock(FakeClock);
    LoadSliceMs = DefaultLoadSliceMs;
    World *world = WorldCreate();
    if (WorldOpen(world, site.name, site.code, 0, 0, 1, 0, 0) == 1) {
        for (int steps = 0; steps < 1000000 && !WorldLoadStep(world); ++steps) {
        }
    }
    WorldDestroy(world);
    CurrentWorld = nullptr;
    SetLoadClock(nullptr);

    FuzzRemoveFile(worldPath.c_str());
    FuzzRemoveFile(lightPath.c_str());
    return 0;
}
