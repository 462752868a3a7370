#pragma once

#include <cstdint>

// The car-sound mixer's output: three float stereo accumulators of one
// block, turned into 16-bit frames with a soft saturation curve.

constexpr int CarSoundMixFrames = 441;

// Dry (engines, horns, outside voices, interface voices), direct (voices
// heard from inside) and echo return; left and right interleaved, zero
// between blocks.
extern float CarSoundMixBuffers[3][CarSoundMixFrames * 2];

// Set when the mixer is initialised for a session, cleared when the
// listener resets; the feed writes nothing while either flag is 0.
extern uint32_t CarSoundMixerEnabled;
extern uint32_t SoundListenerValid;

// 1 when a frame of the last block went beyond full scale.
extern uint32_t CarSoundClipping;

// Writes one block of CarSoundMixFrames stereo frames at `destination` from
// the accumulators and the car-sound gain, then empties the accumulators.
void MixCarSounds(int16_t *destination);
