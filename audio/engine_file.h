#pragma once

#include <cstddef>
#include <cstdint>

#include "vehicle/car_engine.h"
#include "vehicle/engine_record.h"
#include "vehicle/engine_sound.h"

struct DataStream;
struct MenuPage;

// The engine record: what an engine sound file "data\engine\%s.eng" (file id
// "KZVENG") holds, and the first part of the engine section of the car data.
// It carries the mechanical figures of the engine, which the car data owns and
// the sound file only repeats, and the sound of the engine: the named sound
// parameters and eight recorded waves. The mechanical part's bytes, the record
// version and the engine flags belong to vehicle/engine_record.h.

constexpr const char *EngineFileId = "KZVENG";
constexpr int EngineFileVersion = 251;

// The fields of the car's engine that the engine record moves.
// The mechanical part (flags, displacement, cylinders, layout, boost
// reference, figures 2..7) is the car's engine record; the sound section
// follows it.
struct EngineRecord : EngineFigures {
    EngineSoundParams soundParams;
    EngineWave waves[EngineWaveCount];

    // Frees every wave's samples; with clear the slots become zero.
    void FreeWaves(bool clear);
};


// "Could not read engine" and "Could not read wave" are shown as warning
// message lines; the interface layer registers the printer at start-up.
// Without one they are not shown.
using EngineMessagePrinter = void (*)(const char *text);
void SetEngineMessagePrinter(EngineMessagePrinter printer);

// Writes the record (version 14). With carData only the mechanical part is
// written; otherwise a non-turbo engine first drops its turbo and dump-valve
// waves, then the eight waves and w8..w36 follow.
void WriteEngineRecord(EngineRecord &engine, DataStream &stream, bool carData);

// Reads a record of any version up to 14: the mechanical fields into
// mechanical, the waves and parameters into sound (the two may be the same
// record). Fields that an older version does not hold keep their values.
// Returns 1, or 0 for a later record version or a bad wave; fields read
// before the failure stay changed.
int ReadEngineRecord(EngineRecord &mechanical, DataStream &stream, int fileVersion, EngineRecord &sound,
                     bool carData);
// The same with the sound going to parameters and eight waves wherever they
// live (a car's engine).
int ReadEngineRecord(EngineRecord &mechanical, DataStream &stream, int fileVersion, EngineSoundParams &params,
                     EngineWave *waves, bool carData);
int ReadEngineWaves(EngineRecord &sound, DataStream &stream, int fileVersion, int recordVersion);
// The sound section read into a car's engine, which holds its sound alike.
int ReadEngineWaves(CarEngine &engine, DataStream &stream, int fileVersion, int recordVersion);
// The sound section into parameters and eight waves wherever they live; the
// name is zeroed first.
int ReadEngineSound(EngineSoundParams &params, EngineWave *waves, DataStream &stream, int fileVersion,
                    int recordVersion);

// Engine sound files. Both return 1 on success and 0 on failure; the data
// stream shows open and header failures over the page. A file cut short is
// refused.
int WriteEngineFile(EngineRecord &engine, const char *path, MenuPage *page);
int ReadEngineFile(EngineRecord &mechanical, const char *path, MenuPage *page, EngineRecord &sound);
int ReadEngineFile(EngineRecord &mechanical, const char *path, MenuPage *page, EngineSoundParams &params,
                   EngineWave *waves);
