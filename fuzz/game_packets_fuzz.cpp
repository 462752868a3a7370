// Game batches and reliable packets as a connection delivers them: the
// bytes stored as a batch entry of connection 0, run through a session
// frame and dispatched, and handed to the reliable packet handler.

#include <cstddef>
#include <cstdint>

#include "net/game_batch.h"
#include "net/game_packets.h"
#include "net/race_packet_handlers.h"
#include "race/race_object.h"
#include "race/race_packets.h"
#include "vehicle/car_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The program's race packet handlers, as its start-up registers them.
    RegisterRacePacketHandlers();
    ResetSessionAsHost();
    RaceObject *race = CreateRaceObject();
    race->tick = 100000;
    // One driver (player id 1) with a bare car, so that the race packets
    // reach their work.
    PlayerInfo info{};
    info.playerId = 1;
    if (PlayerSlot *slot = race->AddSlot(info)) {
        slot->car = new CarObject;
    }

    const int entry = size < 255 ? static_cast<int>(size) : 255;
    ConnTable[0].StoreBatch(data, entry, 0);
    RunSessionFrame();
    HandleReliablePacket(data, 0, static_cast<int>(size));

    DeleteRaceObject();
    ClearFastestLap();
    ResetSession(0, 0);
    return 0;
}
