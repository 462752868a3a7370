// A keyboard steering file, data\misc\<name>.kbs, read as "loadkb" does.
#include <cstdint>

#include "core/config_file.h"
#include "core/keyboard_steer_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SetConfigDefaults();
    FuzzWriteFile("data\\misc\\fuzz.kbs", data, size);
    ReadKeyboardSteerFile("fuzz");
    FuzzRemoveFile("data\\misc\\fuzz.kbs");
    SetConfigDefaults();
    return 0;
}
