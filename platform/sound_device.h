#pragma once

#include <cstdint>

// The system's sound output as looping rings of 16-bit stereo frames: the
// program writes into a ring while the device plays it round and round,
// reading a little ahead of what is heard.
//
// Positions and sizes are in bytes (4 per frame). The write cursor is the
// first byte the device has not taken yet: the play position plus what the
// device holds in its own period. The program writes only from there on,
// so it never needs to stop the device while writing.
//
// Every call that can fail returns 0 on success or a negative failure code
// (one of SoundDevice*Error), which the sound layer reports.

constexpr int SoundDeviceStartError = -1;    // the output could not be started
constexpr int SoundDeviceOpenError = -2;     // no stream at the asked rate
constexpr int SoundDeviceParamError = -3;    // an offset or size outside the ring
constexpr int SoundDeviceLostError = -4;     // no ring (never made, or released)

struct SoundRing;

// Starts the sound output (a second start only counts); 0 or the failure
// code. Each successful start is ended by one SoundDeviceStop.
int SoundDeviceStart();
void SoundDeviceStop();

// A silent, stopped ring of `bytes` bytes (a multiple of 4) played at
// `rate` frames per second. nullptr on failure, with the code in *error.
SoundRing *CreateSoundRing(int rate, uint32_t bytes, int *error);
// Stops and frees the ring; nullptr is ignored.
void ReleaseSoundRing(SoundRing *ring);

// Plays looping from the play position, or stops (silence, position kept).
int SoundRingPlay(SoundRing *ring);
int SoundRingStop(SoundRing *ring);
// Moves the play position (and with it the write cursor).
int SoundRingSetPosition(SoundRing *ring, uint32_t bytes);
// The write cursor in bytes, 0..size - 1.
int SoundRingWriteCursor(SoundRing *ring, uint32_t *bytes);
// Hands out `bytes` bytes from `offset` as one or two pieces (the second
// when the range wraps past the end of the ring; otherwise nullptr and 0).
int SoundRingLock(SoundRing *ring, uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2,
                  uint32_t *size2);
// Ends a lock with the pieces it handed out.
int SoundRingUnlock(SoundRing *ring, void *part1, uint32_t size1, void *part2, uint32_t size2);
