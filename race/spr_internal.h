#pragma once

#include <cstdint>

struct DataStream;
struct RaceObject;

// What the replay recorder and player share.

// The 18-byte lap block of offset 134 (see docs/replays.md).
void MakeSprLapBlock(const RaceObject &race, uint8_t block[18]);
// A lap time as {minutes, seconds, hundredths, 0} and back.
void PackLapTime(uint8_t out[4], uint32_t hundredths);
uint32_t UnpackLapTime(const uint8_t in[4]);
// The lap time the key is built from: the block's last line time, 0 without.
uint32_t SprKeyLapTime(const uint8_t block[18]);
// The first local player's slot flags (no car without a local player).
uint16_t LocalSlotFlags(const RaceObject &race);
// The code of a car named by model name or code; null when unknown.
const char *SprCarCode(const char *carName);
// The check block from offset 192 and everything after it up to and
// including the player records: placeholders and records without their
// set-ups (final 0), or the salt, check value and set-ups under the key.
void WriteHotLapCheckBlock(const RaceObject &race, DataStream &stream, int final, uint16_t slotFlags,
                           uint32_t lapTime, uint32_t fileLength, int players);
