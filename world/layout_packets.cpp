#include "world/layout_packets.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/colour.h"
#include "vehicle/physics_world.h"
#include "world/layout.h"
#include "world/world.h"
#include "world/world_messages.h"

namespace {

constexpr int MaxLocalPacket = 256;

struct LocalPacket {
    uint8_t bytes[MaxLocalPacket];
    int length;
};

std::vector<LocalPacket> LocalBatch;
bool HandingOver = false;

void PlaySound(int sound)
{
    if (GetLayoutServices().playInterfaceSound) {
        GetLayoutServices().playInterfaceSound(sound);
    }
}

// A running send ends early: the stream closed and a clear queued so that
// every program drops what arrived.
void AbortLayoutSend(const char *warning)
{
    PlaySound(LayoutErrorSound);
    WorldPrintMessage(warning, ColourSalmon);
    LayoutRecordsToSend = 0;
    LayoutStream.Close();
    SendLayoutClear();
}

bool SendRunning()
{
    return LayoutStream.file != nullptr;
}

} // namespace

void QueueLayoutGamePacket(const uint8_t *bytes, int length)
{
    const LayoutServices &services = GetLayoutServices();
    if (services.queueGamePacket) {
        services.queueGamePacket(bytes, length);
        return;
    }
    QueueLocalGamePacket(bytes, length);
}

void FlushLayoutGameBatch()
{
    const LayoutServices &services = GetLayoutServices();
    if (services.flushGameBatch) {
        services.flushGameBatch();
        return;
    }
    FlushLocalGameBatch();
}

void QueueLocalGamePacket(const uint8_t *bytes, int length)
{
    if (length <= 0 || length > MaxLocalPacket) {
        return;
    }
    LocalPacket packet;
    std::memcpy(packet.bytes, bytes, static_cast<size_t>(length));
    packet.length = length;
    LocalBatch.push_back(packet);
}

void FlushLocalGameBatch()
{
    if (HandingOver) {
        return;
    }
    HandingOver = true;
    while (!LocalBatch.empty()) {
        const LocalPacket packet = LocalBatch.front();
        LocalBatch.erase(LocalBatch.begin());
        HandleLocalGamePacket(packet.bytes, packet.length, OwnConnection());
    }
    HandingOver = false;
}

void HandleLocalGamePacket(const uint8_t *bytes, int length, int connection)
{
    if (length <= 0) {
        return;
    }
    if (bytes[0] == MP_LAYOUT_EDIT) {
        HandleLayoutObjectPacket(bytes, length, connection);
    } else if (bytes[0] == MP_LAYOUT_OBJECTS) {
        ReceiveLayoutPacket(bytes, length, connection);
    } else if (GetLayoutServices().handleOtherGamePacket) {
        GetLayoutServices().handleOtherGamePacket(bytes, length, connection);
    }
}

int HandleLayoutObjectPacket(const uint8_t *packet, int length, int connection)
{
    if (length != LayoutEditPacketSize || packet[0] != MP_LAYOUT_EDIT || packet[1] > LayoutActionRemoveAll) {
        return 0;
    }
    const LayoutServices &services = GetLayoutServices();
    const LayoutRecord record = LayoutRecordFromBytes(packet + 4);
    const int local = connection == OwnConnection();
    World *world = CurrentWorld;
    switch (packet[1]) {
    case LayoutActionAdd: {
        int needsGrid = 0;
        int startAdded = 0;
        const int added = AddLayoutObject(record, local, 1, &needsGrid, &startAdded, connection);
        if (!added && local) {
            PlaySound(LayoutErrorSound);
        }
        if (added && needsGrid && world) {
            world->RebuildObjectGrid();
        }
        break;
    }
    case LayoutActionRemove:
        RemoveLayoutObject(record);
        break;
    default:
        if (SendRunning() && !local) {
            AbortLayoutSend("Unexpected clear command");
        }
        if (services.inSimSendTiny) {
            services.inSimSendTiny(TinyLayoutCleared);
        }
        if (world) {
            ClearObjectGrid(world);
        } else {
            RemoveAllLayoutObjects();
        }
        BuildLayoutRoute(0);
        if (services.clearRaceResults) {
            services.clearRaceResults();
        }
        if (world) {
            world->BuildObjectGrid();
            if (CurrentPhysicsWorld) {
                CurrentPhysicsWorld->AddRaceCars();
            }
        }
        break;
    }
    return 1;
}

int ReceiveLayoutPacket(const uint8_t *packet, int length, int connection)
{
    if (length != LayoutObjectsPacketSize || packet[0] != MP_LAYOUT_OBJECTS || packet[1] > LayoutChunkRecords) {
        return 0;
    }
    const LayoutServices &services = GetLayoutServices();
    const int local = connection == OwnConnection();
    int needsGrid = 0;
    int startAdded = 0;
    for (int i = 0; i < packet[1]; ++i) {
        AddLayoutObject(LayoutRecordFromBytes(packet + 4 + i * LayoutRecordSize), 0, 0, &needsGrid, &startAdded,
                        connection);
    }
    if (startAdded && local) {
        const uint8_t raceLength[RaceLengthPacketSize] = {MP_RACE_LENGTH, 0, static_cast<uint8_t>(LayoutLaps),
                                                          static_cast<uint8_t>(LayoutLaps >> 8)};
        QueueLayoutGamePacket(raceLength, RaceLengthPacketSize);
        FlushLayoutGameBatch();
    }
    if (CurrentPhysicsWorld && needsGrid && CurrentWorld) {
        CurrentWorld->RebuildObjectGrid();
    }
    if (packet[2]) {
        if (SendRunning()) {
            AbortLayoutSend("Unexpected end of file");
        }
        if (!local) {
            LayoutLoaded = 0;
            LayoutName[0] = 0;
        }
        BuildLayoutRoute(local);
        if (services.inSimSendLayoutInfo) {
            services.inSimSendLayoutInfo();
        }
    }
    return 1;
}

void SendLayoutClear()
{
    const uint8_t packet[LayoutEditPacketSize] = {MP_LAYOUT_EDIT, LayoutActionRemoveAll};
    QueueLayoutGamePacket(packet, LayoutEditPacketSize);
}

void StartLayoutLoad(const char *name)
{
    const LayoutServices &services = GetLayoutServices();
    if (services.clearTrackLoadedFlags) {
        services.clearTrackLoadedFlags();
    }
    OpenLayoutFile(name);
    if (LayoutRecordsToSend > 0) {
        if (services.setHostLayoutState) {
            services.setHostLayoutState(2);
        }
        SendLayoutChunk();
        return;
    }
    if (services.setHostLayoutState) {
        services.setHostLayoutState(0);
    }
    const uint8_t loaded[TrackLoadedPacketSize] = {MP_TRACK_LOADED, 0, 0, 0};
    QueueLayoutGamePacket(loaded, TrackLoadedPacketSize);
    FlushLayoutGameBatch();
}

void SendLayoutChunk()
{
    if (!SendRunning() || LayoutRecordsToSend <= 0) {
        return;
    }
    uint8_t packet[LayoutObjectsPacketSize] = {MP_LAYOUT_OBJECTS};
    const int count = std::min(LayoutRecordsToSend, LayoutChunkRecords);
    packet[1] = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i) {
        LayoutRecord record;
        ReadLayoutRecord(&LayoutStream, record);
        LayoutRecordToBytes(record, packet + 4 + i * LayoutRecordSize);
    }
    LayoutRecordsToSend -= count;
    if (LayoutRecordsToSend == 0) {
        packet[2] = 1;
        LayoutStream.Close();
    }
    QueueLayoutGamePacket(packet, LayoutObjectsPacketSize);
    FlushLayoutGameBatch();
}
