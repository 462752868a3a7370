// An engine sound file data\engine\<name>.eng: the mechanical figures and the
// sound read into one record, as the car's engine sound is loaded.
#include <cstdint>

#include "audio/engine_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzWriteFile("data\\engine\\FUZ_fuzz.eng", data, size);
    EngineRecord mechanical = {};
    EngineRecord sound = {};
    ReadEngineFile(mechanical, path, nullptr, sound);
    EngineRecord same = {};
    ReadEngineFile(same, path, nullptr, same);
    mechanical.FreeWaves(true);
    sound.FreeWaves(true);
    same.FreeWaves(true);
    FuzzRemoveFile(path);
    return 0;
}
