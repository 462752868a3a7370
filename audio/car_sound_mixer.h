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

// ---- The listener, the list of heard cars and the echo of the track side ----

#include "core/fixed_math.h"

class CarObject;
struct PathNode;

// Where the sound is heard from, written by the session every frame.
struct SoundListener {
    FixMatrix orientation;   // the view matrix, 16.16
    FixVector position;      // the eye, 16.16
    float velocity[3];       // m/s
    CarObject *focusedCar;   // the car the view follows, or null
    uint32_t attached;       // the focused car is heard from inside it
    // 0 the view is in the focused car's cockpit (muffled, the wind, skid and
    // scrape voices go to the dry accumulator), 2 a view with a 12 m distance
    // reference, 1 (the default) and 3 other views.
    uint32_t mode;
};
extern SoundListener Listener;

// Up to 32 cars, nearest first, with their squared distances (m^2).
constexpr int MixListSize = 32;
struct MixListEntry {
    CarObject *car;
    float distance;
};
struct CarMixList {
    MixListEntry entries[MixListSize];
    int count;
};
extern CarMixList MixList;

// At most this many cars run their full synthesis in one block.
constexpr int CarsMixedInFull = 5;

// One delay line of the track-side echo: a ring of up to one second of
// stereo frames, of which the first `length` are used.
constexpr int EchoLineCount = 8;
constexpr int EchoRingFrames = 44100;
struct EchoLine {
    float leftGain;
    float rightGain;
    float leftStep;
    float rightStep;
    int32_t position;
    int32_t length;
    float ring[EchoRingFrames * 2];
};
extern EchoLine EchoLines[EchoLineCount];

// The cockpit low-pass state, left and right.
extern float CockpitLowPass[2];
// The low-pass coefficient of the last block (0 when none ran).
extern float CockpitLowPassFactor;

// What the mixer reads of the race and the session, registered by the
// program (tests install fakes). Unregistered entries give no cars, no
// replay skip, no free-view editing, view mode 0 and no path node.
struct CarSoundLink {
    // The race's player slots in slot order: the car of slot i, or null.
    int (*slotCount)();
    CarObject *(*slotCar)(int slot);
    // The session's flags: a replay skip runs; free-view editing; free view;
    // the view mode (0 chase, 1 overhead, 2 TV, 3 cockpit, 4 custom).
    int (*replaySkip)();
    int (*freeViewEditing)();
    int (*freeView)();
    int (*viewMode)();
    // The car's current path node, null when it has none (empty: the node of
    // the current world's path its follower stands at, when the path has
    // band data).
    const PathNode *(*pathNode)(const CarObject *car);
    // The view code's reference frame, where a reset listener stands.
    void (*referenceFrame)(FixMatrix *orientation, FixVector *position);
    // The car's synthesis for one block (empty: MixCarSound).
    void (*mixSound)(CarObject *car, int frames, int inside, int mode, int notMixed);
};
extern CarSoundLink CarSoundLinks;

// Clears the echo and starts the mixer for a session; the listener becomes
// valid once the session has written it.
void InitCarSoundMixer();
// Stops the car-sound buffer and puts the listener back at the view's
// reference frame, with the mixer off.
void ResetSoundListener();

// Steps of one block, exposed for tests: the list of cars; the crowd gain
// from LoudVoiceCount; the echo targets from a node and a lateral position
// (null node: all 0); the low-pass over the dry accumulator.
void BuildMixList();
void UpdateCrowdGain();
void SetEchoTargets(const PathNode *node, float lateral);
void ApplyCockpitLowPass(float k);
void RunEchoLines();
