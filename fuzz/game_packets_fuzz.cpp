// Game batches and reliable packets as a connection delivers them: the
// bytes stored as a batch entry of connection 0, run through a session
// frame and dispatched, and handed to the reliable packet handler.

#include <cstddef>
#include <cstdint>

#include "net/game_batch.h"
#include "net/game_packets.h"
#include "net/race_packet_handlers.h"
#include "net/race_setup_packets.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/race_packets.h"
#include "vehicle/car_object.h"

// The handlers the program registers for the race setup's packets; their
// messages are dropped.
void RegisterHandlers()
{
    static bool done = false;
    if (!done) {
        done = true;
        RegisterRaceSetupPackets();
        RegisterRacePacketHandlers();
        RaceLinks.printMessage = [](const char *, int) {};
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RegisterHandlers();
    ResetSessionAsHost();
    RaceObject *race = CreateRaceObject();
    race->tick = 100000;
    // A grid of two drivers for the packets to act on; the first (player
    // id 1) has a bare car, so that the race packets reach their work.
    for (int i = 0; i < 2; ++i) {
        PlayerInfo info{};
        info.name[0] = static_cast<char>('A' + i);
        info.kind = i == 0 ? KindLocal : KindLocalAi;
        info.playerId = static_cast<uint8_t>(i + 1);
        PlayerSlot *slot = race->AddSlot(info);
        if (slot != nullptr && i == 0) {
            slot->car = new CarObject;
        }
    }

    const int entry = size < 255 ? static_cast<int>(size) : 255;
    ConnTable[0].StoreBatch(data, entry, 0);
    RunSessionFrame();
    HandleReliablePacket(data, 0, static_cast<int>(size));

    DeleteRaceObject();
    ClearFastestLap();
    ResetSession(0, 0);
    GameState = 1;
    SetupRaceLength = 3;
    SetupWind = 0;
    SetupQualifyMinutes = 0;
    return 0;
}
