#pragma once

#include <cstdint>

// The 16-bit generator x = (x * 5 + 1) & 65535 that every program of a
// session keeps in step: the start lights, the wind, and the figures and
// crowds beside the track draw from it. The value used is the new state.
// Anything that steps it must step it the same number of times on every
// program, with or without graphics.
extern uint32_t SharedRandom;

// Steps SharedRandom and returns the new value.
uint32_t StepSharedRandom();
