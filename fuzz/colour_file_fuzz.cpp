// A colour file, data\colours\<car>_<name>.col.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "vehicle/car_colours.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzWriteFile("data\\colours\\XFG_fuzz.col", data, size);
    CarColours colours = {};
    ReadColourFile(&colours, path);
    FuzzRemoveFile(path);
    return 0;
}
