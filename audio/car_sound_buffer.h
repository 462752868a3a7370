#pragma once

#include <cstdint>

#include "vehicle/car_sound_feed.h"

struct SoundRing;

// The car-sound buffer: one looping ring of 64 blocks of 441 stereo frames,
// filled block by block by the physics tick's feed. Its rate follows the
// game speed so that one block always spans one 0.01 s tick.

// Running flag, fill position and the game speed the buffer was made for
// (1.0 at start): the one copy the feed and the sound layer share.
extern CarSoundBufferState CarSoundBufferStatus;

// The buffer's rate for a game speed: 11025 below 0.26, 22050 below 0.51,
// 44100 up to 1.01; 0 (no buffer) below 0.24 or above 1.01.
int CarSoundBufferRate(float gameSpeed);

// Makes the buffer for the current game speed (releasing any earlier one):
// 1, or 0 when sound is off, the speed has no rate or the output refused
// ("CreateSoundBuffer:C"). The speed is recorded even when no buffer is made.
int CreateCarSoundBuffer();
void ReleaseCarSoundBuffer();
// Stops a running buffer and clears its running flag.
void StopCarSoundBuffer();

// Prepares a ring: with `clear` the first `frames` frames are zeroed and
// the play position goes to 0, with `play` it plays looping. 1, or 0 on a
// failure ("Lock:Z", "Unlock:Z", "SetCurrentPosition:Z", "Play:Z") or while
// sound is off.
int StartBufferSilent(SoundRing *ring, int frames, int clear, int play);

// The buffer itself, nullptr when none exists.
SoundRing *CarSoundRing();

// Hands the feed the sound layer's side of the car-sound buffer.
void RegisterCarSoundOutput();
