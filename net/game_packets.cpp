#include "net/game_packets.h"

#include <cstdio>

#include "core/colour.h"
#include "net/game_batch.h"
#include "net/net_session.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "ui/message_lines.h"

namespace {

// Size of each game packet type; 0: not a game packet (a reliable packet, a
// join-state record or unused).
constexpr uint8_t GamePacketSizes[MaxGamePacketType + 1] = {
    0,   0,  56, 0,   68, 212, 36, 0,  4,  4,   // 0..9
    36,  4,  4,  4,   4,  36,  0,  4,  4,  0,   // 10..19
    60,  0,  0,  4,   0,  0,   4,  4,  4,  4,   // 20..29
    4,   4,  4,  4,   0,  4,   8,  0,  8,  12,  // 30..39
    12,  0,  4,  0,   0,  12,  132, 20, 0, 0,   // 40..49
    4,   0,  4,  8,   8,  24,  8,  8,  0,  0,   // 50..59
    4,   0,  0,  4,   4,  0,   4,  124, 0, 16,  // 60..69
    4,   4,  4,  68,  20, 12,  8,  4,  60, 4,   // 70..79
    24,  4,  0,  0,   0,  52,  4,               // 80..86
};

GamePacketHandler GameHandlers[MaxGamePacketType + 1] = {};
GamePacketHandler ReliableHandlers[256] = {};

// Types whose change must settle before a state checksum is compared.
bool MovesSyncDeadline(int type)
{
    switch (type) {
    case 4: case 5: case 6: case 10: case 11: case 14: case 18: case 20: case 23: case 27: case 28: case 29:
    case 32: case 33: case 45: case 46: case 52:
        return true;
    case 17:
        return GameState == 2;
    default:
        return false;
    }
}

// Race-progress packets wait for the start signal.
bool WaitsForRaceStart(const uint8_t *packet)
{
    switch (packet[0]) {
    case 38: case 39: case 74:
        return true;
    case 50: case 66:
        return packet[3] != 3;
    default:
        return false;
    }
}

bool ChangesRaceSetup(int type)
{
    return type == 27 || type == 28 || type == 29 || type == 52;
}

// Reliable packet sizes: -1 unchecked, else the size (checked on the host
// only where `hostOnly`).
struct ReliableSize {
    int16_t size;
    bool hostOnly;
};

ReliableSize ReliableCheck(int type)
{
    switch (type) {
    case 3: return {68, false};
    case 10: return {36, false};
    case 21: return {4, true};
    case 25: return {4, true};
    case 48: return {4, true};
    case 59: return {132, true};
    case 65: return {24, true};
    case 68: return {4, true};
    case 80: return {24, false};
    case 83: return {4, false};
    default: return {-1, false};
    }
}

}  // namespace

int GamePacketSize(int type)
{
    return type >= 0 && type <= MaxGamePacketType ? GamePacketSizes[type] : 0;
}

void SetGamePacketHandler(int type, GamePacketHandler handler)
{
    if (type >= 0 && type <= MaxGamePacketType) {
        GameHandlers[type] = handler;
    }
}

void SetReliablePacketHandler(int type, GamePacketHandler handler)
{
    if (type >= 0 && type < 256) {
        ReliableHandlers[type] = handler;
    }
}

void RejectInvalidPacket(int, int type)
{
    // No sockets are connected offline: nobody is there to drop.
    char text[64];
    std::snprintf(text, sizeof(text), "Invalid (%d) - could not find connection", type);
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void ReportRingOverflow(const char *reason, int connIndex)
{
    const char *name = connIndex >= 0 && connIndex < ConnTableSize ? ConnTable[connIndex].name : "";
    char text[96];
    std::snprintf(text, sizeof(text), "%s : OVERFLOW - %.32s", reason, name);
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void HandleGamePacket(int connIndex, const uint8_t *packet, int length)
{
    // 1, 2. Type and size.
    if (length < 1) {
        return;
    }
    const int type = packet[0];
    const int size = GamePacketSize(type);
    if (size == 0 || length != size) {
        RejectInvalidPacket(connIndex, type);
        return;
    }
    // 3. The track is the host's to change.
    if (type == MP_TRACK && connIndex != 0) {
        RejectInvalidPacket(connIndex, type);
        return;
    }
    // Layout edits and the slot order are for connections with admin rights.
    if ((type == 15 || type == 45 || type == 46) &&
        (connIndex < 0 || connIndex >= ConnTableSize || !ConnTable[connIndex].admin)) {
        return;
    }
    if (MovesSyncDeadline(type)) {
        SetSyncDeadline();
    }
    const RaceObject *race = RaceObjectPtr;
    if (WaitsForRaceStart(packet) &&
        (race == nullptr || race->tick < static_cast<uint32_t>(race->countdownSeconds) * 100)) {
        return;
    }
    if (ChangesRaceSetup(type) && race != nullptr && race->hotLapMode) {
        return;
    }
    // 4. A type without its handler yet is dropped.
    if (GameHandlers[type] != nullptr) {
        GameHandlers[type](connIndex, packet, length);
    }
}

void HandleReliablePacket(const uint8_t *packet, int connIndex, int length)
{
    if (length < 1) {
        return;
    }
    const int type = packet[0];
    if (type == 22 || type == 24) {
        return;  // the joiner's, handled before
    }
    const ReliableSize check = ReliableCheck(type);
    bool invalid = check.size >= 0 && (!check.hostOnly || IsHost) && length != check.size;
    if (!invalid && IsHost && type == 3) {
        invalid = packet[27] != 0 || packet[67] != 0;
    }
    if (!invalid && IsHost && type == MP_TRACK) {
        invalid = packet[35] != 0;
    }
    if (type == 1) {
        // A text: 8..100 bytes in steps of 4, its size byte agreeing and its
        // last byte zero.
        invalid = length < 8 || length > 100 || length % 4 != 0 || packet[1] != length || packet[length - 1] != 0;
    }
    if (invalid) {
        RejectInvalidPacket(connIndex, type);
        return;
    }
    if (ReliableHandlers[type] != nullptr) {
        ReliableHandlers[type](connIndex, packet, length);
    }
}
