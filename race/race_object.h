#pragma once

#include <cstdint>

#include "vehicle/car_colours.h"
#include "vehicle/car_race_services.h"
#include "vehicle/car_setup.h"

class CarObject;
class AiDriver;
struct MenuPage;

// The race: who takes part, the race settings every program of a race must
// agree on, the slots with their cars and computer drivers, the running
// order and the results. One exists at a time, behind RaceObjectPtr.

constexpr int MaxRaceSlots = 32;
constexpr int MaxRaceResults = 32;
constexpr int SkillLevelCount = 5;
constexpr int PlayerInfoSize = 64;
constexpr int CarRecordSize = 204;      // SkinTime, CarName, Colours, Setup
constexpr int MaxLocalDrivers = 3;

// Player kinds (PlayerInfo byte 33).
constexpr uint8_t KindLocal = 0;
constexpr uint8_t KindRemote = 1;
constexpr uint8_t KindLocalAi = 2;
constexpr uint8_t KindRemoteAi = 3;

// Player flag of a player without a car (spectating).
constexpr uint16_t PlayerFlagNoCar = 0x100;

// Result flags.
constexpr uint8_t ResultAnnounced = 1;
constexpr uint8_t ResultFinal = 2;
constexpr uint8_t ResultDisqualifiedA = 4;
constexpr uint8_t ResultDisqualifiedB = 8;
constexpr uint8_t ResultPenalty30 = 16;
constexpr uint8_t ResultPenalty45 = 32;
constexpr uint8_t ResultMissedPit = 64;
constexpr uint8_t ResultDisqualified = ResultDisqualifiedA | ResultDisqualifiedB | ResultMissedPit;

// Who a player is; also the body of the player part of packets and files
// (packed byte for byte by WritePlayerInfo / ReadPlayerInfo, never copied
// as a struct).
struct PlayerInfo {
    char name[24];            // marked-up text
    char plate[8];            // number plate: a bounded field, not always terminated
    uint8_t connection;       // 0 the host
    uint8_t kind;             // KindLocal .. KindRemoteAi
    uint16_t flags;           // control flags; 0x100 no car
    uint8_t figure;           // driver figure
    uint8_t playerId;
    uint8_t gridIndex;        // 0..31
    uint8_t pitStart;         // 1: starts from the pit lane
    uint8_t fuel[4];          // fuel and pit-strategy bytes
    uint32_t customHelmet;    // 1: the helmet skin is a custom one
    char helmet[16];
};
static_assert(sizeof(PlayerInfo) == PlayerInfoSize, "the player info is 64 bytes");

// One row of the results.
struct RaceResult {
    char name[32];            // name and plate (PlayerInfo bytes 0..31)
    uint32_t carWord;         // the car's model code (its short name's four bytes)
    uint16_t laps;
    uint16_t playerFlags;
    uint8_t flags;            // Result* flags
    uint8_t pitStops;
    uint16_t penaltySeconds;
    uint32_t raceTime;        // ticks, penalty included; 0 in practice and qualifying
    uint32_t bestLap;         // ticks
    uint8_t playerId;
    uint8_t gridPosition;     // 1..32, 0 for a pit-lane start
    uint8_t carByte1;         // the car's vehicle class
    uint8_t carByte2;         // the car's model variant
    uint32_t identity;        // the connection's identity word (live humans)
    char userName[24];
};

struct PlayerSlot {
    CarObject *car;           // owned
    AiDriver *ai;             // owned
    int32_t pendingTick;
    uint8_t statePending;
    uint8_t packetSent;
    uint8_t slotFlags;
    uint8_t ordered;
    PlayerInfo info;
    // The car record: these four fields are the 204 bytes of the car-info
    // packet, in this order.
    uint32_t skinTime;
    char carName[32];
    CarColours colours;
    CarSetup setup;
    uint8_t pendingState[68];
    CarSetup savedSetup;
    uint16_t inputCopy[18];
    uint8_t joinWear[56];
    uint8_t joinDamageFlag;
    uint8_t joinDamage[16][4];
    uint8_t joinExtra[16];

    // Zeroes InputCopy, then word 0 = 32768 and word 14 = 255; clears the
    // pending state.
    void ResetForStart();
    // Game packet 86: the car record zeroed except CarName.
    void ClearCarRecord();
};
static_assert(sizeof(CarSetup) == 120, "the set-up block is 120 bytes");

struct SkinListEntry {
    uint32_t value;           // the skin's file time, or the custom-helmet flag
    char name[20];
};

struct RaceObject {
    uint32_t tick;
    char trackName[32];
    uint32_t config;
    uint32_t reversed;
    uint32_t lightScheme;
    uint32_t seed;
    uint8_t qualifyMinutes;
    uint8_t countdownSeconds;
    uint8_t carsOk;
    uint8_t raceLength;
    uint8_t aiLevel;
    uint8_t wind;
    uint8_t hotLapMode;
    int32_t slotCount;
    int32_t listTimer;
    int32_t localSlot;
    uint32_t hotLapSingle;
    uint32_t lapValid;
    uint32_t nextLapValid;
    RaceBestLap hudTimes;
    uint32_t resultsDueFrame;
    uint8_t resultCount;
    uint8_t listScroll;
    uint8_t orderCount;
    uint8_t resultsPending;
    uint8_t runningOrder[MaxRaceSlots];
    int32_t gridPositions[MaxRaceSlots][3];
    PlayerSlot slots[MaxRaceSlots];
    RaceResult results[MaxRaceResults];

    // --- Life of the object and its slots ---
    RaceObject *Reset();
    void ClearSlotFlag();
    void ReleaseSlot(PlayerSlot *slot);
    PlayerSlot *AddSlot(const PlayerInfo &info);
    void RemoveSlot(int index);
    int IsFull() const;
    void RepointCars();
    void ApplyPlayerInfo(const PlayerInfo &info);
    void HandleNewPlayer(const PlayerInfo &info);
    int UpdateHumanPlayer(const PlayerInfo &info);
    int HasPlayerOf(const PlayerInfo &info) const;

    // Resets the per-start state (slots, hot-lap validity, order, and the
    // results unless joining or the layout has a finish object).
    void PrepareStart(int join);

    // --- Per tick and frame ---
    void RunAiDrivers(const CarObject *viewedCar);
    uint32_t StateHash() const;
    void UpdateRunningOrder();
    void ProcessResults();
    void RemoveStalledCar();
    void SendDistanceUpdates();

    // --- Results and hot laps ---
    void RecordFinish(int slotIndex, uint32_t time, int laps);
    void ReceiveResult(PlayerSlot *slot, uint32_t bestLap, uint32_t raceTime, int penalty);
    void InsertResult(PlayerSlot *slot, uint32_t bestLap, uint32_t raceTime, int penalty);
    void ClearResults();
    void ExtendResultsDue();
    void InvalidateHotLap(int reason);
    void StartNextHotLap();
    void SetNextHotLapValid(int flag);
    int IsQualifyingOver() const;
    int LapsToRace() const;
    void SetRaceLength(int code);
    void CheckTyresForTrack();
    void ClearHudTimes();

    // --- Look-ups (slot order; -1 / null when nothing matches) ---
    PlayerSlot *FirstLocalSlot(int *index);
    int FirstLocalSlotIndex() const;
    void FindLocalSlotIndex();
    int HasLocalSlot() const;
    int HasSlotOfConnection() const;
    PlayerSlot *SlotByPlayerId(int playerId, int *index);
    int SlotIndexById(int playerId) const;
    PlayerSlot *SlotByConnection(int connection);
    PlayerSlot *SlotByName(const char *name);
    PlayerSlot *FindSlotByName(const char *name, int includeRemote);
    int IsNameUsedElsewhere(const char *name, int connection) const;
    int IsNameTaken(const char *name, int connection) const;
    int ListSkins(SkinListEntry list[64]) const;
};

extern RaceObject *RaceObjectPtr;
// The current text of a skill level's name (clamped to the five levels).
const char *SkillLevelName(int level);

// A new race object, reset, behind RaceObjectPtr (an old one is deleted).
RaceObject *CreateRaceObject();
// Releases every slot, frees the object, RaceObjectPtr null, and resets the
// world's race state.
void DeleteRaceObject();
// Builds the slot's car and, for a local AI, its driver.
void CreatePlayerCar(PlayerSlot *slot);
void SetUpdatesPath(PlayerSlot *slot);
// The slot of the race whose index is `index`, for the race's own code.
int SlotIndexOf(const RaceObject &race, const PlayerSlot *slot);

// Results.
bool IsBetterResult(uint32_t bestLap, uint32_t raceTime, const RaceResult &result);
void AnnounceFinish(PlayerSlot *slot, int position, int firstTime);
// "1st" .. "32nd", "unclassified" outside 1..32.
void FormatPosition(char *out, int size, int n);

// The player info's name as a terminated string (at most 23 characters).
const char *SlotName(const PlayerSlot *slot);
