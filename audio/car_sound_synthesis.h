#pragma once

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

// One block of a car's sound into the mixer's accumulators: its place, its
// exhaust, wind and horns. A not-mixed car fades out over the block and then costs only its
// early exits. Writes the engine's load and rev fraction and nothing the
// physics reads.
void MixCarSound(CarObject &car, int frames, int inside, int mode, int notMixed);
