#pragma once

#include <cstdint>

// The game packet dispatcher and the reliable packet dispatcher: the size
// of every type, the rules that hold across the handlers, and the handler
// tables that the subsystems fill at start-up. A known type without a
// handler yet is accepted and dropped.

constexpr int MaxGamePacketType = 86;
constexpr uint8_t MP_TRACK = 10;
constexpr uint8_t MP_REQUEST = 17;

using GamePacketHandler = void (*)(int connIndex, const uint8_t *packet, int length);

// The fixed size of a game packet type, 0 for a type that is not a game
// packet.
int GamePacketSize(int type);
void SetGamePacketHandler(int type, GamePacketHandler handler);
void SetReliablePacketHandler(int type, GamePacketHandler handler);

void HandleGamePacket(int connIndex, const uint8_t *packet, int length);
void HandleReliablePacket(const uint8_t *packet, int connIndex, int length);
// Drops the connection that sent an invalid packet, or says it cannot.
void RejectInvalidPacket(int connIndex, int type);
void ReportRingOverflow(const char *reason, int connIndex);
