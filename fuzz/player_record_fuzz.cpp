// Player records as replays hand them over (a memory image, plain or
// enciphered) and car-info packets as they arrive, installed in a slot.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/data_stream.h"
#include "race/player_record.h"
#include "race/race_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    PlayerSlot *slot = new PlayerSlot;
    std::memset(static_cast<void *>(slot), 0, sizeof(*slot));

    DataStream stream;
    int version = 0;
    stream.OpenMemory(data + 1, size - 1, &version);
    uint32_t key[4];
    MakePlayerRecordKey(slot, key, 0);
    ReadPlayerRecord(slot, &stream, 251, 14, data[0] & 1, key);
    stream.Close();

    uint8_t packet[CarInfoPacketSize] = {};
    std::memcpy(packet, data, size < sizeof(packet) ? size : sizeof(packet));
    SetPlayerSlotRecord(slot, packet);

    delete slot;
    return 0;
}
