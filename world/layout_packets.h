#pragma once

// Layout game packets and the host's chunked send of a layout file. The
// handlers run on every program in batch order, so that every program holds
// the same layout objects in the same order.
//
// Until a network layer registers its batch (LayoutServices), a flushed
// batch is handed, in order, to the local game-packet handler with the local
// connection, as an offline program does.

#include <cstdint>

constexpr uint8_t MP_TRACK_LOADED = 23;     // {23, 0, 0, 0}
constexpr uint8_t MP_RACE_LENGTH = 28;      // {28, 0, u16 laps}
constexpr uint8_t MP_LAYOUT_EDIT = 45;      // action, 0, 0, record
constexpr uint8_t MP_LAYOUT_OBJECTS = 46;   // count, last, 0, 16 records

constexpr int LayoutEditPacketSize = 12;
constexpr int LayoutObjectsPacketSize = 132;
constexpr int LayoutChunkRecords = 16;
constexpr int TrackLoadedPacketSize = 4;
constexpr int RaceLengthPacketSize = 4;

constexpr uint8_t LayoutActionAdd = 0;
constexpr uint8_t LayoutActionRemove = 1;
constexpr uint8_t LayoutActionRemoveAll = 2;

// The InSim tiny subtype that reports a cleared layout, and the interface
// sound of a refused action.
constexpr int TinyLayoutCleared = 21;
constexpr int LayoutErrorSound = 3;

// The outgoing game batch: through the registered network, else the local
// hand-off. A flush during the hand-off leaves its packets to the running
// loop, so they follow the packet being handled.
void QueueLayoutGamePacket(const uint8_t *bytes, int length);
void FlushLayoutGameBatch();
// The local hand-off itself: packets collected, then handed in order to the
// local game-packet handler. The program uses it while no session frames
// run.
void QueueLocalGamePacket(const uint8_t *bytes, int length);
void FlushLocalGameBatch();
// The local game-packet handler: layout packets to their handlers, others to
// the registered handler.
void HandleLocalGamePacket(const uint8_t *bytes, int length, int connection);

// MP_LAYOUT_EDIT. A packet that is not 12 bytes, or whose action is above 2,
// is dropped (0); else 1.
int HandleLayoutObjectPacket(const uint8_t *packet, int length, int connection);
// MP_LAYOUT_OBJECTS. A packet that is not 132 bytes, or counts more than 16
// records, is dropped (0); else 1.
int ReceiveLayoutPacket(const uint8_t *packet, int length, int connection);
// Queues MP_LAYOUT_EDIT with action 2.
void SendLayoutClear();
// The host's load of a layout: the guests' track-loaded flags cleared, the
// file opened and its first chunk sent, or MP_TRACK_LOADED without records.
void StartLayoutLoad(const char *name);
// The next (at most 16) records of the open layout as one MP_LAYOUT_OBJECTS,
// the last with its flag; the batch flushed.
void SendLayoutChunk();
