#pragma once

#include <cstdint>

struct CarEngine;
struct DataStream;

// The mechanical part of the engine record: the head of every engine record,
// in the car data and in engine sound files alike. This is the one reader and
// writer of its bytes; the audio service reads the sound section that follows
// it in engine files.

constexpr int EngineRecordVersion = 14;  // the newest record layout, written by this program
constexpr int EngineFiguresSize = 44;     // bytes of the mechanical part at version 14

// Engine flags.
constexpr uint32_t EngineFlagTurbo = 1u << 0;
constexpr uint32_t EngineFlagSecondV8Order = 1u << 1;
constexpr uint32_t EngineFlagFiguresMarker = 1u << 2;  // the record carries figures 4 and 6
constexpr uint32_t EngineFlagVersionMarker = 1u << 3;  // the record carries its version byte

constexpr const char *EngineReadError = "Could not read engine";
constexpr const char *EngineSoundInCarDataError = "Engine sound in car data is not supported";
constexpr const char *EngineFiguresError = "Bad engine figures";

// The fields the mechanical part moves, as stored. figures[k] is engine
// figure k + 2; which engine value each one is, is the car's business (see
// FiguresOfEngine).
struct EngineFigures {
    uint32_t flags;
    float displacement;      // cubic centimetres
    int32_t cylinders;       // stored as a byte
    int32_t layout;          // stored as a byte
    float boostReference;    // the maximum boost
    float figures[6];        // engine figures 2..7
};

// Reads the mechanical part. Fields an older version does not hold keep their
// values; fields read before a failure stay changed. Returns the record
// version (0 for a record without a version byte), or -1 for a later version
// than this program knows. The caller tests stream.overrun.
int ReadEngineFigures(EngineFigures &engine, DataStream &stream);
// Writes the mechanical part at version 14 (44 bytes), always with both
// marker flags set so that it reads back in the newest layout.
void WriteEngineFigures(const EngineFigures &engine, DataStream &stream);

// The car's engine values that the record moves: the boost reference is
// maxBoost; figures 2..7 are turboLagFactor, maxSpeed, peakSpeedFactor,
// widthFactor, torqueFactor and torqueLimit.
EngineFigures FiguresOfEngine(const CarEngine &engine);
void ApplyEngineFigures(const EngineFigures &figures, CarEngine &engine);

// The engine record of the car data (the car-data mode of the record: a
// record above version 7 carries no sound section). Returns 0 when read, or
// the error text: EngineReadError for a later version or a record cut short,
// EngineSoundInCarDataError for a record of version 7 or below (it carries
// a sound section) while the sound layer has no reader for it registered,
// and
// EngineFiguresError for a non-finite figure or a maxSpeed not above 0. The
// engine changes only when the record is read.
const char *ReadCarEngineRecord(CarEngine &engine, DataStream &stream);
void WriteCarEngineRecord(const CarEngine &engine, DataStream &stream);
