// The hand-over messages a starting program sends to the one that runs: the
// input's bytes arrive on the listening socket as one connection and are
// answered by the program's own handler (which may accept a replay name).
#include <cstdint>

#include "core/file_handover.h"
#include "fuzz/fuzz_support.h"
#include "platform/instance_link.h"

namespace {

int AcceptFiles()
{
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool listening = [] {
        FuzzScratch();
        FileHandOverServices services = {};
        services.canAcceptExternalFile = AcceptFiles;
        SetFileHandOverServices(services);
        return StartInstanceListener() == 1;
    }();
    if (!listening) {
        return 0;
    }
    // A request is at most 65 bytes; what follows in the input goes on the
    // same connection and is read with it or dropped.
    if (PlatformInstanceSendBytes(InstanceSocketName, data, size < 4096 ? size : 4096)) {
        // Accept and read, then see the closed connection.
        for (int pass = 0; pass < 3; ++pass) {
            ServeInstanceRequests();
        }
    }
    PendingFileType = PendingFileNone;
    PendingFileName[0] = 0;
    return 0;
}
