#pragma once

#include <cstdint>

class CarObject;
struct PlayerSlot;

// What the wrong-way rule and the distance report ask of the session and
// network layers, which register the entries at start-up (tests install
// fakes). An empty entry answers 0 or does nothing.
struct CarNetworkServices {
    // The host's rule flags; bit 512 allows driving the wrong way.
    uint32_t (*hostRuleFlags)();
    // The host's automatic action: 0 none, 1 kick, 2 ban, 3 spectate.
    int (*autoKick)();
    // A slot's kind byte (0 local player, 2 and 3 computer drivers) and the
    // index of its connection (0 the host).
    uint8_t (*slotKind)(const PlayerSlot *slot);
    int (*slotConnection)(const PlayerSlot *slot);
    // The connections: their count, admin rights, the leaving byte and a
    // short ban of the connection's user name.
    int (*connectionCount)();
    int (*connectionIsAdmin)(int connection);
    void (*setConnectionLeaving)(int connection, uint8_t reason);
    void (*imposeShortBan)(int connection);
    // Reliable packets to every program and to one connection's socket
    // (found with the label).
    void (*sendReliableToAll)(const uint8_t *bytes, int length);
    void (*sendReliableToConnection)(int connection, const char *label, const uint8_t *bytes, int length);
    // The car's event packet (code 0: it goes to spectate).
    void (*sendCarEvent)(CarObject *car, int code);
};

extern CarNetworkServices CarNetwork;

// The rule flag that lets cars drive the wrong way.
constexpr uint32_t RuleCruise = 512;
