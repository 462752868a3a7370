#pragma once

// Single-precision maths of the project's own, built from fixed polynomial
// approximations in plain IEEE arithmetic (+, -, *, /, sqrt) in a fixed
// order. Unlike the C library's functions these give the same bits on every
// machine and library version, so anything that feeds the physics, its
// checksums or the start-up tables must use them.
float FloatSin(float x);
float FloatCos(float x);
float FloatTan(float x);
float FloatAtan(float x);
float FloatAtan2(float y, float x);
float FloatAsin(float x);
float FloatAcos(float x);
float FloatPow(float x, float y);
float FloatCbrt(float x);
float FloatExp(float x);
float FloatLog(float x);
