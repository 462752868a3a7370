#pragma once

#include <cstdint>

#include "vehicle/sample_voice.h"

// What a car keeps of its sound between mixer blocks. The records are plain
// data of the car; the sound layer (audio/) runs the models over them.

// One header pipe of the exhaust: the pulse it is driven by and its
// resonator.
struct ExhaustPipe {
    float amplitude;      // of the running pulse; 0 when none runs
    float decrement;      // amplitude lost per frame
    float readStep;       // pulse wave frames per output frame
    float readPosition;   // in the pulse wave
    float pulseOutput;
    float velocity;
    float displacement;
    float acceleration;
};

// A resonator stage of the exhaust past the header pipes.
struct ExhaustStage {
    float velocity;
    float displacement;
    float force;
};

constexpr int ExhaustPipesPerBank = 8;
constexpr int ExhaustDelayFrames = 16;

// One bank of cylinders: its header pipes, the collector they join and the
// tail pipe.
struct ExhaustBank {
    ExhaustPipe pipes[ExhaustPipesPerBank];
    ExhaustStage collector;
    ExhaustStage tail;
};

// Voices of the road and skid sounds, one pair (side 0, side 1) per sound.
constexpr int CarSkidVoices = 8;
// The wave-table voices, played from the engine's waves.
enum CarWaveVoice { WaveVoiceTurbo, WaveVoiceGearWhine, WaveVoiceAirIntake, WaveVoiceDumpValve, WaveVoiceGearShift,
                    WaveVoiceStarter, CarWaveVoiceCount };
constexpr int CarHornCount = 5;

// A car's sound between mixer blocks. Zero is the silent start. The sample
// voices carry no sample here: the sound layer binds each by its place in the
// record (road and skids 11, 10, 9, 8, 12, 13, 14, 7; scrapes 16 and 15; wind
// 17; horns 18..22).
struct CarSoundState {
    float pulseClock;     // frames from the block's start to the next firing
    float previousLeft;   // the gains of the last block, unscaled
    float previousRight;
    ExhaustBank banks[2];
    int32_t delayIndex1;
    float delay1[ExhaustDelayFrames];
    int32_t delayIndex2;
    float delay2[ExhaustDelayFrames];
    SampleVoice skids[CarSkidVoices][2];
    SampleVoice scrapeSoft[2];
    SampleVoice scrapeHard[2];
    SampleVoice wind;
    SampleVoice horns[CarHornCount];
    SampleVoice waveVoices[CarWaveVoiceCount];

    // Silences every voice and the exhaust, from the start of their sounds.
    void Init() { *this = CarSoundState{}; }
};
