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
    // The multiplayer setting word that spares a car moved far from its
    // start place before the green from removal (empty: 0, as offline).
    uint32_t (*startSettingWord)();

    // --- Skins (car_skin.cpp) ---
    // The skin cache: takes a downloaded skin of the car code ("HEL" for
    // helmets) and skin name when one is there; 1 when taken.
    int (*takeCachedSkin)(const char *carCode, const char *skinName);
    // Queues a skin download; 0 when the queue refuses it.
    int (*queueSkinDownload)(const char *carCode, const char *skinName, int sizeFlag, int secondFormat);
    // Adds a skin's texture name ("car_skin", or "HEL_" and a helmet skin)
    // to the session's skin list.
    void (*addSessionSkinName)(const char *name);
    // The skin-download permission word, and the host word received from the
    // master server (bit 0: no skin downloads).
    uint32_t (*skinDownloadPermission)();
    uint32_t (*masterHostWord)();
    // 1 on a dedicated host (empty: the program's dedicated mode decides).
    int (*isDedicatedHost)();
    // 1 when one of the race's slots belongs to this program's connection.
    int (*hasSlotOfConnection)();
    // 1 while a multiplayer replay plays, and while the session adds a car
    // or initialises.
    int (*multiplayerReplayPlaying)();
    int (*sessionAddingCar)();
};

extern CarNetworkServices CarNetwork;

// The rule flag that lets cars drive the wrong way.
constexpr uint32_t RuleCruise = 512;
