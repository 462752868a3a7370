#pragma once

#include <cstdint>

struct SoundSample;

// One voice playing a recorded sample into the car-sound mix: the interface
// voices and every car's wave-table voices. The sound layer owns the samples
// and the mixing; the car only holds its voices.
struct SampleVoice {
    uint32_t direction;        // 0 forwards, 1 backwards
    float leftGain;
    float rightGain;
    float filterState;
    float fraction;            // fractional read position
    int32_t position;          // read position in 16-bit values
    const SoundSample *sample;
};
