#pragma once

#include <cstdint>

// The connections of a session and the game batches they exchange. Every
// change of shared race state is a game packet queued into the outgoing
// batch; a flush stamps the batch with the clock frame and stores it in the
// own connection's ring (and, online, sends it); each session frame takes
// one ring entry from every connection and dispatches its packets in order.
// Offline this program is its own host with one connection and a frame
// delay of 0, so single-player races go through the same rings.

constexpr int ConnTableSize = 48;
constexpr int ConnRingSize = 4096;
constexpr int GameBatchSize = 253;
constexpr int GameBatchHeaderSize = 6;     // the used count and the 5-byte frame header
constexpr int RecentIdCount = 64;

struct Conn {
    uint8_t ucid;
    uint8_t leaving;
    uint8_t skip;
    uint8_t numToForward;
    uint8_t announcedReason;
    uint8_t gameVote;
    uint8_t status;
    uint8_t owesSyncReply;
    uint8_t toRemove;
    uint8_t banVote;
    uint8_t ready;
    uint8_t trackLoaded;
    uint8_t admin;
    uint32_t framesStored;
    uint32_t ringRead;
    uint32_t ringWrite;
    uint32_t lag;
    char name[32];
    char reportedCarSkin[20];
    char reportedHelmetSkin[20];
    const char *controlText;
    uint16_t delay;
    uint16_t echo;
    uint16_t firstFrame;
    uint8_t inSync;
    uint8_t resyncCount;
    uint32_t masterUserId;
    uint32_t nextMasterReport;
    uint32_t skinNoticeTime;
    char userName[24];
    uint8_t ring[ConnRingSize];

    // Bytes the ring can take: it holds at most 4095.
    int RingFree() const;
    // Stores a batch's packets (s bytes; 0 stores a blank) as the entry of
    // the next frame. A batch for a frame already run is counted but not
    // stored. An entry that does not fit is abandoned whole and reported.
    void StoreBatch(const uint8_t *bytes, int s, int connIndex);
    void StoreBlank(int connIndex);
    // Takes the entry of the next frame and dispatches its packets.
    void TakeBatch(int connIndex);
    // Hands each [length][bytes] packet of an entry to HandleGamePacket.
    static void DispatchBatch(int connIndex, int n, const uint8_t *bytes);
};

extern Conn ConnTable[ConnTableSize];
extern int ConnCount;
extern int OwnConnIndex;
// The outgoing batch: byte 0 the bytes in use (6 when empty), bytes 1..5 the
// frame header {0, u16 frame, u16 echo}, then [length][packet] entries.
extern uint8_t GameBatchOut[GameBatchSize];
// The frame after which no state checksum is compared (moved by changes
// that must settle first).
extern uint32_t SyncDeadline;
void SetSyncDeadline();

// Queues a game packet (1..255 bytes); nothing while a multiplayer replay
// plays. A packet that does not fit the batch sends the batch first.
void QueueGamePacket(const uint8_t *packet, int n);
// false during replay playback or when the own ring could overflow
// ("Avoiding buffer overflow").
bool QueueGamePacketChecked(const uint8_t *packet, int n);
bool WouldOverflowOwnRing(int n);
// Also hands the packet to the single-player replay recorder while it
// records (the recorder registers itself; none until then).
using ReplayPacketRecorder = void (*)(const uint8_t *packet, int n);
void SetReplayPacketRecorder(ReplayPacketRecorder recorder);
void QueueGamePacketRec(const uint8_t *packet, int n);
// Closes the batch: stamps it, stores it in the own ring, stores blanks up
// to ClockFrame + FrameDelay and empties it.
void FlushGameBatch(int forceChecks);

// Reliable packets: on the host handled at once as from connection 0.
void SendReliableToHost(const uint8_t *packet, int n);

// Look-ups by connection id: 1..ConnCount-1 or 0 (none; index 0 is never
// returned); the record or null; any index including 0, or -1.
int FindConnIndexByUcid(int ucid);
Conn *FindConnByUcid(int ucid);
int FindAnyConnByUcid(int ucid);

// Removes connection i: its race players, the last connection moved into
// its place, the count lowered.
void RemoveConn(int i);

// Recently used ids, newest first; the next free player or connection id.
extern uint8_t RecentIds[RecentIdCount];
void PushRecentId(uint8_t id);
uint8_t NextFreePlayerId();

// A session of `count` connections of which this program is `own`; and the
// offline or hosting session of one connection with the user's name.
void ResetSession(int count, int own);
void ResetSessionAsHost();
// Every connection has its entry for the next frame (or is leaving).
bool AllConnsCaughtUp();
// One session frame: every connection's entry applied, the frame counted,
// leavers and players of vanished connections removed, the race object's
// delayed step when due.
void RunSessionFrame();
void RunDelayedRaceStep();
