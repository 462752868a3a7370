// The human figures file data\hmn\hmn.hmn (character models, body parts and
// pose clips).
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "scene/human_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzWriteFile("data\\hmn\\hmn.hmn", data, size);
    Humans.Free();
    Humans.ReadFile(path, nullptr);
    Humans.Free();
    FuzzRemoveFile(path);
    return 0;
}
