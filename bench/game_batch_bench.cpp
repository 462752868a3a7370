// Offline session frames: eight game packets queued, the batch flushed into
// the own ring, the frame run and every packet dispatched to its handler.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/shell_globals.h"
#include "net/game_batch.h"
#include "net/game_packets.h"
#include "race/session_clock.h"

namespace {

uint32_t HandledBytes = 0;

void CountPacket(int, const uint8_t *packet, int length)
{
    HandledBytes += static_cast<uint32_t>(packet[1] + length);
}

void BM_OfflineFrameOfEightPackets(benchmark::State &state)
{
    ResetSessionAsHost();
    SetGamePacketHandler(56, CountPacket);
    uint8_t packet[8] = {56};
    for (auto _ : state) {
        for (int p = 0; p < 8; ++p) {
            packet[1] = static_cast<uint8_t>(p);
            QueueGamePacket(packet, sizeof(packet));
        }
        ++ClockFrame;
        if (static_cast<int32_t>(OwnFrameMark - ClockFrame) < 0) {
            FlushGameBatch(0);
        }
        RunSessionFrame();
    }
    benchmark::DoNotOptimize(HandledBytes);
    SetGamePacketHandler(56, nullptr);
    ResetSession(0, 0);
}
BENCHMARK(BM_OfflineFrameOfEightPackets);

}  // namespace
