#pragma once

#include <cstdint>

// The 23 default sound samples, synthesised from oscillators, noise and
// envelopes (deterministic from a seed per sample) and written as
// data/sound/<name>.wav under the run folder at 44,100 Hz. Returns null, or
// the text of what went wrong.
const char *WriteDefaultSounds(const char *runFolder);

// What the generator makes of sample n: its channel count and its length in
// frames.
struct DefaultSoundShape {
    int channels;
    uint32_t frames;
};
DefaultSoundShape DefaultSoundShapeOf(int n);
