// Layout game packets on the default site, handled as the local game-packet
// handler handles a batch. The input is a run of packets, each a length byte
// and that many bytes (layout edits are 12 bytes, object chunks 132); they
// come alternately from the own connection and from another one. The layout
// is removed after each input.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "world/layout.h"
#include "world/layout_packets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzDefaultWorld();
    FuzzResetLayout();
    size_t at = 0;
    for (int packet = 0; at < size && packet < 256; ++packet) {
        const size_t length = data[at++];
        if (length > size - at) {
            break;
        }
        HandleLocalGamePacket(data + at, static_cast<int>(length), packet & 1);
        at += length;
    }
    FlushLayoutGameBatch();
    FuzzResetLayout();
    return 0;
}
