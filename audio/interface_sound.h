#pragma once

#include <cstdint>

#include "vehicle/sample_voice.h"

struct SoundRing;

// The interface sounds.
constexpr int SoundClick = 0;
constexpr int SoundMessage = 1;
constexpr int SoundSystemMessage = 2;
constexpr int SoundInvalidKey = 3;
constexpr int SoundError = 4;
// The race-end jingles, only ever queued as voices.
constexpr int SoundWinRace = 5;
constexpr int SoundFinishRace = 6;

constexpr int InterfaceSoundCount = 5;
constexpr int SoundSampleCount = 23;
// Samples from this one on are loops: mixed down to one channel, and
// seamless when doubled from 22,050 Hz.
constexpr int FirstLoopSample = 7;
constexpr uint32_t SoundSampleMaxValues = 1u << 20;

// A recorded sound held as 16-bit values; stereo ones interleave left and
// right.
struct SoundSample {
    uint8_t stereo;
    uint32_t count;     // 16-bit values
    int16_t *values;    // owned; nullptr when not loaded

    // Loads "data\sound\<name>.wav"-style files through ReadWavFile with no
    // owner page; the old values go first.
    int LoadWav(const char *path, int mixDown, int loop);
    void Free();
};

// The 23 samples, loaded at start from data\sound\<name>.wav.
extern SoundSample SoundSamples[SoundSampleCount];
extern const char *const SoundSampleNames[SoundSampleCount];

void LoadSoundSamples();
void FreeSoundSamples();

// The interface voices queued into the car-sound mix (at most 8).
constexpr int MaxInterfaceVoices = 8;
struct InterfaceVoiceQueue {
    SampleVoice voices[MaxInterfaceVoices];
    int count;
};
extern InterfaceVoiceQueue InterfaceVoices;

// The five interface buffers: 50 ms of silence, then the sound at the
// effects volume (mono samples on both sides). Built while sound is on.
void CreateInterfaceBuffers();
void ReleaseInterfaceBuffers();
SoundRing *InterfaceSoundRing(int n);

// Writes `frames` stereo frames of the sample scaled by the gain (rounded,
// low 16 bits kept); 1 when the sample's end was reached, else 0.
int CopySampleScaled(int16_t *destination, int frames, const SoundSample &sample, float gain);

// Plays interface sound n (0..4): into the car-sound mix while the car-sound
// buffer runs, else from its own buffer. Nothing while sound is off, the
// session fast-forwards or its mode word is 2, and no system message sound
// while the message lines hide system messages.
void PlayInterfaceSound(int n);
// Queues sample n as a voice of the car-sound mix, at 0.667 of the effects
// volume; only while the car-sound buffer runs.
void QueueInterfaceVoice(int n);
// Mixes the queued voices into the dry accumulator of the current block;
// ended voices leave the queue.
void MixInterfaceVoices();
// Mixes one block of a voice; 1 when it ended.
int MixInterfaceVoice(SampleVoice &voice);
