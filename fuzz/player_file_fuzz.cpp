// The player file data\misc\<player name>.ply, read at start-up.
#include <cstdint>
#include <cstring>

#include "core/config_file.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SetConfigDefaults();
    std::strcpy(PlayerName.name, "fuzz");
    SetPlayerDefaults();
    FuzzWriteFile("data\\misc\\fuzz.ply", data, size);
    ReadPlayerFile(1);
    GetCurrentCarRecord();
    FuzzRemoveFile("data\\misc\\fuzz.ply");
    SetConfigDefaults();
    SetPlayerDefaults();
    return 0;
}
