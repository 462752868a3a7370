#pragma once

#include <cstdint>

class CarObject;

// Where a car is heard from for one block: G the distance gain, X how far to
// the listener's right (-1..1), D the Doppler factor, sPlus and sMinus the
// front and back factors; r the distance in metres (0 when not placed).
struct CarPlacement {
    float G;
    float X;
    float D;
    float sPlus;
    float sMinus;
    float r;
};

// The placement of a car against the mixer's listener. A car heard from
// inside, or in mode 3, is not placed (gain 1, centred, no Doppler).
CarPlacement PlaceCarSound(const CarObject &car, int inside, int mode, int notMixed);

struct SampleVoice;

// Adds a voice playing its recorded sample, looped (forwards, or ping-pong
// when pingPong is set), under gains moving from the last block's to the
// targets; an audibility above 0.02 counts a loud voice, one below
// 0.02 / CrowdGain fades the voice out. `accumulator` is one of the mixer's
// stereo accumulators.
void MixSampleVoice(float *accumulator, int frames, SampleVoice &voice, int pingPong, float audibility,
                    float leftTarget, float rightTarget);

// Adds a voice playing a float wave (n values) resampled by `step` values a
// frame with linear interpolation and smoothed by a one-pole filter of
// coefficient k, under gains moving to the targets (audibility as for
// MixSampleVoice). 1 when the voice did not play (no wave, a step beyond n,
// silent) or, with oneShot, reached its end (its position back at 0); else 0.
uint32_t MixWaveTableVoice(float *accumulator, int frames, SampleVoice &voice, float k, int n, const float *wave,
                           float step, float audibility, float leftTarget, float rightTarget, int oneShot);

// The road and skid voice weights of a car's wheels (voice, side) and each
// side's sum of lateral wheel positions; W is the car's weight (N). All 0
// for a car without weight.
void SkidWeights(const CarObject &car, float W, float weight[8][2], float lateral[2]);
// The scrape forces of a car's contacts: hard and soft per side and each
// side's lateral sum, every force held to 0..W.
void ScrapeForces(const CarObject &car, float W, float hard[2], float soft[2], float lateral[2]);

// One block of a car's sound into the mixer's accumulators: its place, its
// exhaust, wind, horns, road, skid and scrape noise and the wave-table
// voices (turbo, gear whine, air intake, dump valve, gear shift, starter),
// consuming the car's pending gear-shift count and starter byte. A not-mixed car fades out over the block and then costs only its
// early exits. Writes the engine's load and rev fraction and nothing the
// physics reads.
void MixCarSound(CarObject &car, int frames, int inside, int mode, int notMixed);
