#include "app/replay_services.h"

#include "net/game_batch.h"
#include "net/game_packets.h"
#include "race/spr_file.h"

namespace {

// A game packet queued for recording applies one frame after the tick that
// queued it, in the recording and in its playback alike.
void RecordGamePacket(const uint8_t *packet, int n)
{
    SprRecordTimedText(packet, n, 0);
}

void ReplayChat(const uint8_t *packet, int length)
{
    HandleReliablePacket(packet, 0, length);
}

}  // namespace

void RegisterReplayServices()
{
    InstallSprReplays();
    SetReplayPacketRecorder(RecordGamePacket);
    ReplayLinks.handleReliablePacket = ReplayChat;
}
