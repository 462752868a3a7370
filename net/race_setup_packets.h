#pragma once

#include <cstdint>

struct PlayerSlot;

// The game packets that build a race's grid and settings before the start
// (drivers joining, their cars, removal, ready votes, the race settings) and
// the operations behind them. Offline this program is its own host: every
// change is queued, comes back through the own ring in the next session
// frame and is applied there, exactly as on a host with guests.

// Game packet types.
constexpr uint8_t MP_NEW_PLAYER = 4;
constexpr uint8_t MP_CAR_INFO = 5;
constexpr uint8_t MP_REMOVE_PLAYER = 11;
constexpr uint8_t MP_ENTRY_VOTE = 14;
constexpr uint8_t MP_TO_PITS = 18;
constexpr uint8_t MP_PLAYER_FLAGS = 26;
constexpr uint8_t MP_QUALIFY_MINUTES = 27;
constexpr uint8_t MP_WIND = 29;
constexpr uint8_t MP_PLAYER_CAR_SETTING_A = 30;
constexpr uint8_t MP_PLAYER_CAR_SETTING_B = 31;
constexpr uint8_t MP_RACE_RESET_LAPS = 52;
constexpr uint8_t MP_PLAYER_PERCENTS = 56;
constexpr uint8_t MP_BLOCK_MESSAGES = 64;
constexpr uint8_t MP_GAME_86 = 86;
// Reliable packet types.
constexpr uint8_t MP_TEXT = 1;
constexpr uint8_t MP_REQ_JOIN = 3;

// The player flag bits a driver publishes (MP_PLAYER_FLAGS).
constexpr uint16_t PlayerFlagsSentMask = 0x22d8;

// The race setup's copies of the race settings, which the race object
// takes: qualifying minutes (0..60), race length code (0..238), wind (0..2).
extern int SetupQualifyMinutes;
extern int SetupRaceLength;
extern int SetupWind;
// The race's car limit (20 offline) and the cars the host allows (bit n:
// car n of the car table).
extern int RaceCarLimit;
extern uint32_t AllowedCarsMask;
// Set while a guest joins a running race: the ready votes start nothing.
extern int JoinInProgress;

// What the grid packets ask of the race setup page above this layer.
struct RaceSetupHooks {
    // Every connection with drivers is ready: the race starts.
    void (*startCheck)();
    // This program's own MP_TO_PITS came back: the garage opens.
    void (*openGarage)();
};
extern RaceSetupHooks SetupHooks;

// The handlers of the packets above, in the game and reliable dispatchers.
void RegisterRaceSetupPackets();

// --- Grid and car operations ---

// A driver's 212-byte car info from connection c (the slot it names).
void ApplyCarInfo(PlayerSlot *slot, uint8_t *packet, int c);
// MP_REMOVE_PLAYER {11, sub, a, b}: 0 removes a, 1 swaps a and b, 2 clears all.
void RemoveFromGrid(const uint8_t packet[4], int c);
void ClearRacePlayers();
// The flag bits a driver publishes, from its car or the selected car.
uint16_t DerivedPlayerFlags(const PlayerSlot *slot);
void SendPlayerFlagsIfChanged(PlayerSlot *slot, int arg);
void UpdatePlayerFlags(PlayerSlot *slot);
// The allowed cars and the rule flags in effect.
void SetHostCarRules(uint32_t mask, uint32_t flags);
// Clears every connection's ready byte.
void ClearEntryVotes();
// Qualifying minutes and a race length set, and a configuration with a lap route.
int IsRaceConfigured();
// Refused (1, with its message) while a guest connects or the track changes.
int RefuseWhileBusy(const char *action);

// --- Race control requests ---

// The local driver's join request to the host: 1 when sent.
int RequestLocalJoin();
// The join request of computer driver `aiIndex` (of the driver names
// table) with the chosen car: 1 when sent.
int RequestAiJoin(int aiIndex);
// The next computer driver name after the last one chosen that is neither
// the player's nor in the race: 1 with its index, 0 when all 20 are taken.
int FindFreeAiName(int *aiIndex);
// The join of the local driver into a race (lobby or running): 1 when asked.
int TryJoinRace();
// The local driver goes to the spectators (MP_REQUEST 7).
int RequestLocalSpectate();
int RequestEnterPits();
// The chosen car is a known car the host allows; else the choice is cleared.
int IsCurrentCarAllowed();
// In layout-start mode, a car lies within 6 m of the layout's start point.
int IsCarNearLayoutStart();
// "%s (%d)" during the first 12 s of an online race, else null.
const char *FormatCountdownText(const char *text);
// The local player has a slot in the race.
int LocalDriverInRace();
