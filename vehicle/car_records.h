#pragma once

// The byte layouts of the small records a car builds for other programs or
// takes from them (little-endian, as sent): the reset request ("P" packet),
// the condition record and the race-state record. CarObject's
// FillPositionPacket / CheckPositionPacket, PackConditionRecord /
// ApplyConditionRecord and ApplyRaceStateRecord read and write them.

#include <cstddef>
#include <cstdint>

constexpr uint8_t PositionPacketType = 'P';

// A car put back on the track at a path node.
struct PositionPacket {
    uint8_t type;           // 'P', set by the sender
    uint8_t playerId;
    uint8_t offRoad;        // 1: a wheel stood on surface state 4 or 8
    uint8_t adjusted;       // 0 as filled; 1 once the check moved the position
    int32_t node;           // the car's path node
    float lateralOffset;    // metres from the path node
    int32_t position[3];    // 16.16
};
static_assert(sizeof(PositionPacket) == 24, "a position packet is 24 bytes");
static_assert(offsetof(PositionPacket, node) == 4, "node at byte 4");
static_assert(offsetof(PositionPacket, lateralOffset) == 8, "lateral offset at byte 8");
static_assert(offsetof(PositionPacket, position) == 12, "position at byte 12");

// What CheckPositionPacket answers.
enum ResetCheck {
    ResetFree = 0,
    ResetHitsCar = 1,
    ResetHitsResetCar = 2,
    ResetYellowFlag = 3,
    ResetOffPath = 4,
};

constexpr uint8_t ConditionRecordKind = 2;
constexpr int ConditionRecordWheels = 4;

// One wheel's part of the condition record. The damage bytes are shares of
// their limits x 255 (toe: signed x 127) and say nothing while the part is
// undamaged. heatWord: bits 18..23, 12..17, 6..11 the tread sections'
// temperature levels, 0..5 the air's, bit 31 flat. treadWord: bits 27..29
// dirt, 24..26, 21..23, 18..20 the tread sections' levels, 12..17, 6..11 the
// sidewalls' temperature levels, 0..5 the rim's.
struct ConditionWheelRecord {
    uint8_t travelDamage;
    uint8_t upperArmDamage;
    uint8_t lowerArmDamage;
    int8_t toe;
    uint32_t heatWord;
    uint32_t treadWord;
};
static_assert(sizeof(ConditionWheelRecord) == 12, "a condition wheel record is 12 bytes");

// Engine wear, fuel and the tyres and damage of up to four wheels.
struct ConditionRecord {
    uint8_t kind;           // 2
    uint8_t id;             // the caller's byte (the slot's player id)
    uint8_t engineWear[2];  // the engine's condition and clutch heat x 255
    uint8_t fuel;           // share of the tank x 255
    uint8_t zero[3];
    ConditionWheelRecord wheels[ConditionRecordWheels];
};
static_assert(sizeof(ConditionRecord) == 56, "a condition record is 56 bytes");
static_assert(offsetof(ConditionRecord, wheels) == 8, "wheel records from byte 8");

// The highest penalty a race-state record may carry (the pit lane's
// speeding table has columns 0..6).
constexpr uint8_t MaxRecordPenalty = 6;

// A car's race state as the resynchronisation sends it.
struct RaceStateRecord {
    uint8_t resultRecorded;
    uint8_t penalty;        // 0..6
    uint8_t startByte;
    uint8_t secondCount;
    uint16_t confirmedLaps;
    uint8_t takeOverIds[2]; // 255 none
    int32_t raceTimeWord;   // -1 none
    int32_t startOffset;    // ticks
};
static_assert(sizeof(RaceStateRecord) == 16, "a race-state record is 16 bytes");
static_assert(offsetof(RaceStateRecord, raceTimeWord) == 8, "race time word at byte 8");
