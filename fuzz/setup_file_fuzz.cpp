// A set-up file, data\setups\<car>_<name>.set, read as the garage reads the
// player's chosen set-up.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "vehicle/car_setup.h"
#include "vehicle/setup_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzWriteFile("data\\setups\\XFG_fuzz.set", data, size);
    CarSetup setup = {};
    if (ReadSetupFile(&setup, path)) {
        ClampSetup(&setup);
        CountRallyTyreAxles(setup);
    }
    FuzzRemoveFile(path);
    return 0;
}
