#pragma once

struct CarEngine;
struct CarSoundState;

// The exhaust sound of one car for one mixer block, added into the dry
// accumulator from its first frame. Every firing of a cylinder starts a pulse
// (read from the engine's exhaust-pulse wave) into its header pipe; the pipes
// drive a collector and a tail pipe, all damped resonators, and the heard
// sound mixes the three stages. Two-bank engines run two such exhausts.
//
// firingRate is in firings per second; audibility, leftTarget and
// rightTarget come from the car synthesis (the gains reached at the block's
// end); halving is the chance that a pulse is halved (a misfiring feel);
// doppler scales every pitch. The engine's load and rev fraction are read
// from its sound words, its firing index advances. Steps FrameRandom once
// per firing. Allocates nothing.
void SynthesizeEngine(CarSoundState &state, int frames, int inside, int side, float firingRate, float audibility,
                      float leftTarget, float rightTarget, CarEngine &engine, float halving, float doppler);
