#pragma once

#include <cstdint>

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

// The engine part of a car's sound state. Zero is the silent start; the car
// reset clears it.
struct CarSoundState {
    float pulseClock;     // frames from the block's start to the next firing
    float previousLeft;   // the gains of the last block, unscaled
    float previousRight;
    ExhaustBank banks[2];
    int32_t delayIndex1;
    float delay1[ExhaustDelayFrames];
    int32_t delayIndex2;
    float delay2[ExhaustDelayFrames];
};
