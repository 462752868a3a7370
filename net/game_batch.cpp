#include "net/game_batch.h"

#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "net/game_packets.h"
#include "net/net_session.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "race/race_packets.h"
#include "race/session_clock.h"
#include "ui/message_lines.h"

Conn ConnTable[ConnTableSize] = {};
int ConnCount = 0;
int OwnConnIndex = 0;
uint8_t GameBatchOut[GameBatchSize] = {GameBatchHeaderSize};
uint32_t SyncDeadline = 0;
uint8_t RecentIds[RecentIdCount] = {};

namespace {

constexpr uint32_t RingMask = ConnRingSize - 1;
constexpr uint32_t SyncSettleFrames = 200;
constexpr uint32_t SyncCheckPause = 800;

ReplayPacketRecorder Recorder = nullptr;
// The host's next state-checksum request comes no earlier than this frame.
uint32_t NextSyncRequestFrame = 0;

void Warn(const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void EmptyBatch()
{
    GameBatchOut[0] = GameBatchHeaderSize;
    std::memset(GameBatchOut + 1, 0, GameBatchHeaderSize - 1);
}

// A player leaves the race: its car leaves the game session (and its
// physics world) before the slot, which destroys the car, is removed.
void RemovePlayerSlot(RaceObject &race, int s)
{
    if (GameSessionPtr != nullptr && race.slots[s].car != nullptr) {
        GameSessionPtr->RemovePlayerCar(&race.slots[s]);
    }
    race.RemoveSlot(s);
}

}  // namespace

void SetSyncDeadline()
{
    SyncDeadline = SessionFrameCount + SyncSettleFrames;
}

// --- Rings ---

int Conn::RingFree() const
{
    return static_cast<int>((ringRead - ringWrite - 1) & RingMask);
}

void Conn::StoreBatch(const uint8_t *bytes, int s, int connIndex)
{
    if (s <= 0) {
        StoreBlank(connIndex);
        return;
    }
    if (static_cast<int32_t>(framesStored - SessionFrameCount) < 0) {
        ++framesStored;  // for a frame already run
        return;
    }
    // The whole entry fits or none of it is written.
    if (s > 255 || RingFree() < s + 1) {
        ReportRingOverflow(RingFree() < 1 ? "SIZE" : "STORE", connIndex);
        return;
    }
    ring[ringWrite] = static_cast<uint8_t>(s);
    ringWrite = (ringWrite + 1) & RingMask;
    const uint32_t first = static_cast<uint32_t>(s) < ConnRingSize - ringWrite ? static_cast<uint32_t>(s)
                                                                              : ConnRingSize - ringWrite;
    std::memcpy(ring + ringWrite, bytes, first);
    std::memcpy(ring, bytes + first, static_cast<size_t>(s) - first);
    ringWrite = (ringWrite + static_cast<uint32_t>(s)) & RingMask;
    ++framesStored;
}

void Conn::StoreBlank(int connIndex)
{
    if (static_cast<int32_t>(framesStored - SessionFrameCount) < 0) {
        ++framesStored;
        return;
    }
    if (RingFree() < 1) {
        ReportRingOverflow("BLANK", connIndex);
        return;
    }
    ring[ringWrite] = 0;
    ringWrite = (ringWrite + 1) & RingMask;
    ++framesStored;
}

void Conn::TakeBatch(int connIndex)
{
    if (ringRead == ringWrite) {
        return;
    }
    const int s = ring[ringRead];
    ringRead = (ringRead + 1) & RingMask;
    if (s == 0) {
        return;
    }
    uint8_t entry[256];
    const uint32_t first = static_cast<uint32_t>(s) < ConnRingSize - ringRead ? static_cast<uint32_t>(s)
                                                                             : ConnRingSize - ringRead;
    std::memcpy(entry, ring + ringRead, first);
    std::memcpy(entry + first, ring, static_cast<size_t>(s) - first);
    ringRead = (ringRead + static_cast<uint32_t>(s)) & RingMask;
    DispatchBatch(connIndex, s, entry);
}

void Conn::DispatchBatch(int connIndex, int n, const uint8_t *bytes)
{
    int at = 0;
    while (at < n) {
        const int length = bytes[at];
        if (length == 0 || at + 1 + length > n) {
            return;  // a damaged entry: nothing more of it is applied
        }
        HandleGamePacket(connIndex, bytes + at + 1, length);
        at += 1 + length;
    }
}

// --- The outgoing batch ---

void QueueGamePacket(const uint8_t *packet, int n)
{
    if (MultiplayerReplayPlaying || n <= 0 || n > GameBatchSize - GameBatchHeaderSize - 1) {
        return;
    }
    if (GameBatchOut[0] + n + 1 > GameBatchSize) {
        FlushGameBatch(0);
    }
    uint8_t *end = GameBatchOut + GameBatchOut[0];
    end[0] = static_cast<uint8_t>(n);
    std::memcpy(end + 1, packet, static_cast<size_t>(n));
    GameBatchOut[0] = static_cast<uint8_t>(GameBatchOut[0] + n + 1);
}

bool WouldOverflowOwnRing(int n)
{
    const int free = ConnTable[OwnConnIndex].RingFree();
    return free - (GameBatchOut[0] + n + 1) < 2048;
}

bool QueueGamePacketChecked(const uint8_t *packet, int n)
{
    if (MultiplayerReplayPlaying) {
        return false;
    }
    if (WouldOverflowOwnRing(n)) {
        // "3h_waitbuff"
        Warn(Tx(Text_3h_waitbuff));
        return false;
    }
    QueueGamePacket(packet, n);
    return true;
}

void SetReplayPacketRecorder(ReplayPacketRecorder recorder)
{
    Recorder = recorder;
}

void QueueGamePacketRec(const uint8_t *packet, int n)
{
    if (Recorder != nullptr) {
        Recorder(packet, n);
    }
    QueueGamePacket(packet, n);
}

void FlushGameBatch(int)
{
    // 1. The frame stamp.
    GameBatchOut[1] = 0;
    GameBatchOut[2] = static_cast<uint8_t>(ClockFrame);
    GameBatchOut[3] = static_cast<uint8_t>(ClockFrame >> 8);
    LastFlushedFrame = ClockFrame;
    // 3. Into the own ring (an empty batch stores a blank).
    Conn &own = ConnTable[OwnConnIndex];
    own.StoreBatch(GameBatchOut + GameBatchHeaderSize, GameBatchOut[0] - GameBatchHeaderSize, OwnConnIndex);
    // 4. Blanks up to the frame delay.
    ++OwnFrameMark;
    while (static_cast<int32_t>(OwnFrameMark - (ClockFrame + static_cast<uint32_t>(FrameDelay))) < 0) {
        own.StoreBlank(OwnConnIndex);
        ++OwnFrameMark;
    }
    // 5.
    EmptyBatch();
}

void SendReliableToHost(const uint8_t *packet, int n)
{
    if (IsHost) {
        HandleReliablePacket(packet, 0, n);
    }
}

// --- Look-ups ---

int FindConnIndexByUcid(int ucid)
{
    for (int i = 1; i < ConnCount; ++i) {
        if (ConnTable[i].ucid == ucid) {
            return i;
        }
    }
    return 0;
}

Conn *FindConnByUcid(int ucid)
{
    const int index = FindConnIndexByUcid(ucid);
    return index > 0 ? &ConnTable[index] : nullptr;
}

int FindAnyConnByUcid(int ucid)
{
    for (int i = 0; i < ConnCount; ++i) {
        if (ConnTable[i].ucid == ucid) {
            return i;
        }
    }
    return -1;
}

// --- Ids ---

void PushRecentId(uint8_t id)
{
    std::memmove(RecentIds + 1, RecentIds, RecentIdCount - 1);
    RecentIds[0] = id;
}

uint8_t NextFreePlayerId()
{
    bool used[256] = {};
    used[0] = true;
    if (RaceObjectPtr != nullptr) {
        for (int i = 0; i < RaceObjectPtr->slotCount; ++i) {
            used[RaceObjectPtr->slots[i].info.playerId] = true;
        }
    }
    for (int i = 0; i < ConnCount; ++i) {
        used[ConnTable[i].ucid] = true;
    }
    for (uint8_t id : RecentIds) {
        used[id] = true;
    }
    for (int id = 1; id < 256; ++id) {
        if (!used[id]) {
            PushRecentId(static_cast<uint8_t>(id));
            return static_cast<uint8_t>(id);
        }
    }
    return 0;
}

// --- The session ---

void RemoveConn(int i)
{
    SetSyncDeadline();
    if (i < 0 || i >= ConnCount) {
        return;
    }
    if (IsHost) {
        NextSyncRequestFrame = SessionFrameCount + SyncCheckPause;
        PushRecentId(ConnTable[i].ucid);
    }
    // Its race players leave, their cars with them.
    if (RaceObjectPtr != nullptr) {
        RaceObject &race = *RaceObjectPtr;
        for (int s = race.slotCount - 1; s >= 0; --s) {
            if (race.slots[s].info.connection == i) {
                RemovePlayerSlot(race, s);
            }
        }
    }
    const int last = ConnCount - 1;
    if (i != last) {
        ConnTable[i] = ConnTable[last];
        if (OwnConnIndex == last) {
            OwnConnIndex = i;
        }
        if (RaceObjectPtr != nullptr) {
            for (int s = 0; s < RaceObjectPtr->slotCount; ++s) {
                uint8_t &connection = RaceObjectPtr->slots[s].info.connection;
                if (connection == last) {
                    connection = static_cast<uint8_t>(i);
                }
            }
        }
    }
    --ConnCount;
    std::memset(static_cast<void *>(&ConnTable[last]), 0, sizeof(Conn));
}

void ResetSession(int count, int own)
{
    InitTime = GameClock;
    std::memset(static_cast<void *>(ConnTable), 0, sizeof(ConnTable));
    ConnCount = count;
    OwnConnIndex = own;
    LastFlushedFrame = 0;
    ClockFrame = 0;
    OwnFrameMark = 0;
    SessionFrameCount = 0;
    RaceFrameBase = 0;
    RunLag = 0;
    FrameDelay = 0;
    SyncDeadline = 0;
    NextSyncRequestFrame = 0;
    std::memset(RecentIds, 0, 48);
    GameState = 1;
    EmptyBatch();
    ConnTable[0].admin = 1;
}

void ResetSessionAsHost()
{
    ResetSession(1, 0);
    std::memcpy(ConnTable[0].name, PlayerName.name, sizeof(PlayerName.name));
}

bool AllConnsCaughtUp()
{
    for (int i = 0; i < ConnCount; ++i) {
        const Conn &conn = ConnTable[i];
        if (!conn.skip && static_cast<int32_t>(conn.framesStored - SessionFrameCount) <= 0) {
            return false;
        }
    }
    return true;
}

void RunDelayedRaceStep()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || race->resultsDueFrame == 0) {
        return;
    }
    const int32_t past = static_cast<int32_t>(SessionFrameCount - race->resultsDueFrame);
    if (past > FrameDelay) {
        race->ProcessResults();
    }
}

void RunSessionFrame()
{
    // 2. Every connection's entry of this frame.
    for (int i = 0; i < ConnCount; ++i) {
        Conn &conn = ConnTable[i];
        if (static_cast<int32_t>(conn.framesStored - SessionFrameCount) > 0) {
            conn.TakeBatch(i);
        }
    }
    // 3.
    ++SessionFrameCount;
    // 4. Leavers.
    for (int i = 0; i < ConnCount;) {
        if (i != OwnConnIndex && ConnTable[i].toRemove) {
            RemoveConn(i);
        } else {
            ++i;
        }
    }
    // 5. Players of connections that no longer exist.
    if (RaceObjectPtr != nullptr) {
        RaceObject &race = *RaceObjectPtr;
        for (int s = 0; s < race.slotCount;) {
            if (race.slots[s].info.connection >= ConnCount) {
                char text[96];
                // "3a_rmvxbadc"
                std::snprintf(text, sizeof(text), Tx(Text_3a_rmvxbadc), race.slots[s].info.name);
                PrintMessage(text, &MessageColours[ColourLightGrey]);
                RemovePlayerSlot(race, s);
            } else {
                ++s;
            }
        }
    }
    // 6.
    RunDelayedRaceStep();
    // 7. The fastest-lap notice.
    RunFastestLapNotice();
}
