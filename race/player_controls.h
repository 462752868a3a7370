#pragma once

#include <cstdint>

struct GameSession;

// The local player's controls turned into the driven car's 18 input words,
// once per tick. The controllers are read once per frame (ReadControlInputs);
// the readers here decide which control fills which word, the keyboard and
// mouse steering models, pedal ramps, dead zones, smoothing and response
// curves, and how a value read for a frame is spread over its ticks: the
// word becomes ((left - 1) x current + v) / left, so the frame's last tick
// holds v exactly.

// The look mode of the views (0 the look keys and axis, 1 the smoothed look
// angle, 2 and 3 mouse look). Set by the view options; 0 by default.
extern uint32_t LookModeSetting;
// The mouse-look factor and response (mouse look modes).
extern float MouseLookFactor;
extern float MouseLookResponse;
// The look-axis option: the Look Heading axis turns the look direction.
extern uint32_t LookAxisOption;

// x when k is 0, else k x^3 + (1 - k) x.
float ApplyResponseCurve(float x, float k);

// Word 0: 1..65535, 32768 centre, higher to the right.
uint16_t ReadSteeringInput(GameSession &session, int ticksLeft, uint16_t current);
// Words 1, 2, 11, 12: 0..65535.
uint16_t ReadPedalAxis(GameSession &session, int ticksLeft, uint16_t current);
uint16_t ReadBrakeAxis(GameSession &session, int ticksLeft, uint16_t current);
uint16_t ReadClutchAxis(GameSession &session, int ticksLeft, uint16_t current);
uint16_t ReadHandbrakeAxis(GameSession &session, int ticksLeft, uint16_t current);
// Word 14: 255 without an H-pattern shifter, 0 reverse, 1 neutral, 2.. gears.
uint8_t ReadShifterGear(GameSession &session);
// Word 15: 0 ahead, 4 or 5 one side, 6 or 7 the other.
uint8_t ReadLookDirection(GameSession &session);
// The look direction of an angle (radians): below -3pi/8 7, below -pi/8 6,
// above 3pi/8 5, above pi/8 4, else 0.
uint8_t LookDirectionOfAngle(float angle);
int IsHornPressed(GameSession &session);
int IsFlashPressed(GameSession &session);

// A value spread over the ticks left of the frame.
uint16_t SpreadOverFrame(uint16_t current, uint16_t value, int ticksLeft);
