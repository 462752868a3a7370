#pragma once

#include <cstdint>

struct DataStream;
struct MenuPage;
struct PlayerInfo;
struct PlayerSlot;
struct RaceObject;
struct CarColours;
struct CarSetup;

// A player's identity and car in one shape: the 260-byte player record of
// grid files and replays, the 212-byte car-info packet, the race grid file,
// and the cipher of the set-up block.

constexpr int PlayerRecordSize = 260;
constexpr int PlayerRecordSetupOffset = 92;
constexpr int CarInfoPacketSize = 212;
constexpr int CarInfoRecordOffset = 8;
constexpr int SetupBlockSize = 120;
constexpr uint8_t CarInfoPacketType = 5;

constexpr const char *RaceFileId = "KZVGSC";
constexpr int RaceFileVersion = 251;
constexpr int RaceFileOldestVersion = 250;
constexpr int PlayerRecordFormat = 14;
constexpr int PlayerRecordOldestFormat = 12;

// Player info packed and unpacked byte for byte (64 bytes). Unpacking ends
// the name at byte 23 and the helmet name at byte 15.
void PackPlayerInfo(const PlayerInfo &info, uint8_t out[64]);
void UnpackPlayerInfo(PlayerInfo *info, const uint8_t in[64]);

// Mode 0 writes the set-up as it is; mode 2 zeros in its place, keeping it
// in SavedSetup; mode 1 moves 92 bytes forward and writes SavedSetup
// enciphered with the key, then the colours.
void WritePlayerRecord(PlayerSlot *slot, DataStream *stream, int mode, const uint32_t key[4]);
// Reads a record into a slot; with `enciphered` the set-up block is
// deciphered with the key. Text fields are ended, colours clamped.
void ReadPlayerRecord(PlayerSlot *slot, DataStream *stream, int version, int format, int enciphered,
                      const uint32_t key[4]);

// data\grids\<name>.rac. ReadRaceFile returns 1 on success.
int WriteRaceFile(const RaceObject *race, const char *name);
int ReadRaceFile(RaceObject *race, const char *name, MenuPage *owner, int takeSettings);

// The car-info packet.
void SendPlayerPacket(PlayerSlot *slot, int aiNameIndex, const char *carName);
void SendNextPlayerPacket();
void FillJoinPlayerRecord(PlayerSlot *slot, uint8_t record[CarInfoPacketSize]);
// Deciphers the record's set-up in place and installs bytes 8..211.
void SetPlayerSlotRecord(PlayerSlot *slot, uint8_t record[CarInfoPacketSize]);
// The slot's 204-byte car record packed and unpacked.
void PackCarRecord(const PlayerSlot &slot, uint8_t out[204]);
void UnpackCarRecord(PlayerSlot *slot, const uint8_t in[204]);

// The cipher over the 15 blocks at offset 92 of a record.
void MakePlayerRecordKey(const PlayerSlot *slot, uint32_t key[4], uint32_t word);
void EncipherPlayerRecord(const PlayerSlot *slot, uint8_t *record);
void DecipherPlayerRecord(const PlayerSlot *slot, uint8_t *record);

// The slot in the three registers of the multiplayer state check.
void AddSlotToStateChecksum(const PlayerSlot *slot, uint32_t crc[3]);

// Player infos: the local player's (carName null: the configured car) and
// an AI's (1, or 0 when its knowledge could not be loaded).
void FillPlayerInfo(PlayerInfo *info, const char *carName);
int FillAiPlayerInfo(PlayerInfo *info, const char *name, int figureType, const char *knowledgeName);
// Car records: the player's choices, or an AI's.
void LoadCarRecord(PlayerSlot *slot, const char *carName);
void FillAiCarRecord(PlayerSlot *slot, int aiNameIndex, const char *carName);
