// cfg.txt, the settings file beside the program: every setting is set to its
// default and the file read, with its upgrade and after-reading rules, as at
// start-up. Each run starts from the defaults again.
#include <cstdint>

#include "core/config_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWriteFile("cfg.txt", data, size);
    ReadConfigFile();
    FuzzRemoveFile("cfg.txt");
    return 0;
}
