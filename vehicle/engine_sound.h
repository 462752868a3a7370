#pragma once

#include <cstddef>
#include <cstdint>

struct DataStream;
struct MenuPage;

// The sound of an engine as the car holds it: the named sound parameters and
// eight recorded waves. Reading and writing them (engine files, wave files)
// and the synthesis belong to the sound layer (audio/).

constexpr int EngineWaveCount = 8;
constexpr int EngineParamFirst = 8;   // parameters are named w8 .. w36
constexpr int EngineParamLast = 36;
constexpr int EngineParamCount = EngineParamLast - EngineParamFirst + 1;

// Wave slots.
constexpr int WaveExhaustPulse = 0;
constexpr int WaveTurbo = 1;
constexpr int WaveUnused = 2;   // kept in files, never played
constexpr int WaveGearWhine = 3;
constexpr int WaveAirIntake = 4;
constexpr int WaveDumpValve = 5;
constexpr int WaveGearShift = 6;
constexpr int WaveStarter = 7;

// A read wave longer than this is taken for damage; the editor imports at most
// 32,768 values per wave.
constexpr uint32_t EngineWaveMaxSamples = 1u << 20;

// A recorded wave held as floats in 16-bit units (-32,768..32,767), 44,100
// frames a second. The samples belong to the wave; a wave is freed, never
// copied.
struct EngineWave {
    uint8_t legacyCount;   // written as 0
    uint8_t spare;         // written as 0
    uint8_t kind;          // 3 = sampled wave; 0..2 older kinds without samples
    uint8_t channels;      // as stored in the file
    uint32_t sampleCount;
    float *samples;

    // Read, Write, LoadWav and SaveWav are the sound layer's (audio/).
    // Reads one wave; 0 (with "Could not read wave") for an unknown kind, 0 for
    // a wave cut short or longer than the data left. Samples that are not
    // finite numbers read as 0, others are clamped to the 16-bit range.
    int Read(DataStream &stream);
    void Write(DataStream &stream) const;
    // Frees the samples; with clear the whole record becomes zero.
    void Free(bool clear);
    // Replaces the samples by a wave file's values, mixed down to one channel
    // (the channel byte stays); 1, or 0 with the old samples kept.
    int LoadWav(MenuPage *page, const char *path, uint32_t maxValues, int loop);
    // Writes the samples, rounded to 16 bits, as a one-channel wave file; 0
    // when there are none or the file cannot be made.
    int SaveWav(MenuPage *page, const char *path) const;
};

// The sound description of an engine. The parameters are the words w8..w36
// (Word(k) is wk); the editor copies the whole block, name included.
struct EngineSoundParams {
    char name[32];   // the engine sound's name; empty for a car's default sound
    float words[EngineParamCount];
    int8_t semitones[3];  // header pipes, collector, tail; never stored in a file

    float &Word(int k) { return words[k - EngineParamFirst]; }
    float Word(int k) const { return words[k - EngineParamFirst]; }

    // Writes the default parameters and semitone offsets; the name stays.
    void SetDefaults();
};
static_assert(offsetof(EngineSoundParams, words) == 32, "parameters follow the 32-byte name");
static_assert(offsetof(EngineSoundParams, semitones) == 148, "semitone offsets are bytes 148..150");

// The editor's range of each parameter and its default; every parameter read
// from a file is clamped to its range.
struct EngineParamRange {
    float minimum;
    float maximum;
    float defaultValue;
};
const EngineParamRange &GetEngineParamRange(int k);
