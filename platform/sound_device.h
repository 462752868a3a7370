#pragma once

#include <cstdint>
#include <vector>

// The system's sound output: one output stream of 16-bit stereo frames at
// 44,100 Hz, and rings of 16-bit stereo frames that play into it. The program
// writes into a ring while the output reads it, each ring at its own rate
// (11,025, 22,050 or 44,100 frames a second, brought to the output's rate by
// linear interpolation); every playing ring is summed into the output and the
// sum held to the 16-bit range.
//
// Positions and sizes are in bytes (4 per frame). The play cursor is the
// first frame the output has not read yet; the write cursor lies one output
// period (scaled to the ring's rate) beyond it. The program writes only from
// the write cursor on, so it never needs to stop the output while writing.
// A ring's memory stays where it is for the ring's whole life. Gains are
// written into the frames: a ring has no volume, pan or rate of its own to
// change.
//
// Every call that can fail returns 0 on success or a negative failure code
// (one of SoundDevice*Error), which the sound layer reports.

constexpr int SoundDeviceStartError = -1;    // the output could not be started
constexpr int SoundDeviceOpenError = -2;     // no stream at the asked rate
constexpr int SoundDeviceParamError = -3;    // an offset or size outside the ring
constexpr int SoundDeviceLostError = -4;     // no ring (never made, or released)

constexpr int SoundDeviceRate = 44100;
constexpr int SoundDevicePeriodFrames = 512;

struct SoundRing;

// Starts the sound output (a second start only counts); 0 or the failure
// code. Each successful start is ended by one SoundDeviceStop; the rings are
// released by their maker before the last stop.
int SoundDeviceStart();
void SoundDeviceStop();
// The output's sharing level with other programs: nothing to set here, kept
// as a step of the start that can fail.
int SoundDeviceSetCooperativeLevel();

// A silent, stopped ring of `bytes` bytes (a multiple of 4) played at
// `rate` frames per second. nullptr on failure, with the code in *error.
SoundRing *CreateSoundRing(int rate, uint32_t bytes, int *error);
// The ring's second interface: there is none, so this only fails when a
// failure is injected.
int SoundRingQueryInterface(SoundRing *ring);
// Stops, unlinks and frees the ring; nullptr is ignored.
void ReleaseSoundRing(SoundRing *ring);

// Plays from the play position: round and round with `looping`, else once
// to the ring's end, where it stops and goes back to 0. Playing a playing
// ring leaves it playing. Stop keeps the play position.
int SoundRingPlay(SoundRing *ring, int looping);
int SoundRingStop(SoundRing *ring);
// 1 while the ring plays.
int SoundRingPlaying(const SoundRing *ring);
// The ring's rate in frames per second, 0 for no ring.
int SoundRingRate(const SoundRing *ring);
// Moves the play position (and with it the write cursor).
int SoundRingSetPosition(SoundRing *ring, uint32_t bytes);
// The play cursor and the write cursor in bytes, 0..size - 1, from one
// reading of the position.
int SoundRingPlayCursor(SoundRing *ring, uint32_t *bytes);
int SoundRingWriteCursor(SoundRing *ring, uint32_t *bytes);
// Hands out `bytes` bytes from `offset` as one or two pieces (the second
// when the range wraps past the end of the ring; otherwise nullptr and 0).
int SoundRingLock(SoundRing *ring, uint32_t offset, uint32_t bytes, void **part1, uint32_t *size1, void **part2,
                  uint32_t *size2);
// Ends a lock with the pieces it handed out; what was written becomes
// visible to the output.
int SoundRingUnlock(SoundRing *ring, void *part1, uint32_t size1, void *part2, uint32_t size2);

// --- The manual clock (tests) ------------------------------------------------------
//
// With the manual clock on (set while the output is stopped), SoundDeviceStart
// opens no system device and no thread runs: the output moves only when
// SoundDeviceAdvance is called, and what it would have played is appended to
// the capture.

void SoundDeviceUseManualClock(bool on);
// Runs the output for `frames` output frames.
void SoundDeviceAdvance(int frames);
// The captured output frames (left, right interleaved) and its emptying.
const std::vector<int16_t> &SoundDeviceCapture();
void SoundDeviceClearCapture();
// The locks handed out while the manual clock is on, in order, and their
// emptying.
struct SoundLockRecord {
    const SoundRing *ring;
    uint32_t offset;
    uint32_t bytes;
};
const std::vector<SoundLockRecord> &SoundDeviceLocks();
void SoundDeviceClearLocks();

// Failure injection: the calls that can be made to fail.
enum class SoundDeviceCall {
    Start,
    SetCooperativeLevel,
    CreateRing,
    QueryInterface,
    Play,
    Stop,
    SetPosition,
    PlayCursor,
    WriteCursor,
    Lock,
    Unlock,
};
// The call of that kind after `skip` successful ones fails once with `code`.
// Clear removes every pending failure.
void SoundDeviceFailCall(SoundDeviceCall call, int skip, int code);
void SoundDeviceClearFailures();
