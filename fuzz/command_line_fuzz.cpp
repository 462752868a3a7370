// The program's command line, parsed as at start-up after cfg.txt, once as
// typed options and once in the stricter mode of a "kzv://" link.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/command_line.h"
#include "core/config_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzScratch();
    const std::string text(reinterpret_cast<const char *>(data), size);
    for (int fromLink = 0; fromLink < 2; ++fromLink) {
        SetConfigDefaults();
        InitCommandKeywords();
        CommandLineError[0] = 0;
        ParseCommandLine(text.c_str(), fromLink);
    }
    SetConfigDefaults();
    InitCommandKeywords();
    CommandLineError[0] = 0;
    return 0;
}
