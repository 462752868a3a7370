// card_cfg.txt, the graphics card settings read before the renderer starts.
#include <cstdint>

#include "core/card_config.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWriteFile("card_cfg.txt", data, size);
    ReadCardConfig();
    FuzzRemoveFile("card_cfg.txt");
    return 0;
}
