// A layout file on the default site: loaded as the host loads one (the file
// opened, its records sent in chunks to the local handler) and as a training
// lesson loads its layout. The layout is removed after each input.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "world/layout.h"
#include "world/layout_packets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzDefaultWorld();
    FuzzResetLayout();

    const char *path = FuzzWriteFile("data\\layout\\fuzz.lyt", data, size);
    StartLayoutLoad("fuzz");
    for (int chunks = 0; chunks < 100000 && LayoutRecordsToSend > 0; ++chunks) {
        SendLayoutChunk();
    }
    FuzzResetLayout();
    FuzzRemoveFile(path);

    path = FuzzWriteFile("data\\training\\fuzz.lyt", data, size);
    LoadTrainingLayout("fuzz");
    FuzzResetLayout();
    FuzzRemoveFile(path);
    return 0;
}
