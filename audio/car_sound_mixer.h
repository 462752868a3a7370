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

// Voices louder than 0.02 in the current block (an engine counts 3), and
// the gain that thins out quiet voices when many loud ones play (0.1..1.0,
// from the previous block's count).
extern int32_t LoudVoiceCount;
extern float CrowdGain;

// Writes one block of CarSoundMixFrames stereo frames at `destination` from
// the accumulators (with the queued interface voices added to the dry one)
// and the car-sound gain, then empties the accumulators.
void MixCarSounds(int16_t *destination);
