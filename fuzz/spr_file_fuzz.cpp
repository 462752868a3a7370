// A single-player replay (data\spr\<name>.spr) on the default site: its
// summary read as the replay list reads it, then opened, its players and
// layout read, its length measured and its records played as the session
// plays them. The track name is set to the loaded site's, so that playback
// takes the loaded track instead of loading another.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_object.h"
#include "race/spr_file.h"
#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    World *world = FuzzDefaultWorld();
    FuzzResetLayout();

    ReplaySummary summary{};
    const char *path = FuzzWriteFile("data\\spr\\fuzz.spr", data, size);
    ReadSprSummary("fuzz", &summary);

    std::vector<uint8_t> bytes(data, data + size);
    if (bytes.size() >= 64 && world != nullptr) {
        std::memset(&bytes[32], 0, 32);
        std::memcpy(&bytes[32], world->trackName, std::min<size_t>(31, std::strlen(world->trackName)));
    }
    FuzzWriteFile("data\\spr\\fuzz.spr", bytes.data(), bytes.size());
    int loading = 0;
    if (OpenSprForPlayback(nullptr, "fuzz", 1, &loading) && !loading && ReadSprPlayers(nullptr, 1)) {
        const int32_t length = SprReadFirstRecord();
        const uint32_t ticks = static_cast<uint32_t>(std::clamp<int32_t>(length, 0, 3000));
        for (uint32_t tick = 0; tick <= ticks && !SprPlayUntilTick(tick, 1); ++tick) {
        }
    }
    CloseSprPlayback(1);
    ReplayFormat = SprFormat;
    HostRuleFlags = 0;
    ReplayOutOfSync = 0;
    StartCountdown = 0;
    FuzzResetLayout();
    FuzzRemoveFile(path);
    return 0;
}
