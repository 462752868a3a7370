#pragma once

#include <cstdint>

// Coefficients of the cubic Hermite segment from value p0 (t = 0) to p1
// (t = 1) with slopes m0 and m1, highest power first: the segment is
// c[0] t^3 + c[1] t^2 + c[2] t + c[3]. Evaluated in single precision in a
// fixed order, so start-up tables built from it have the same bits everywhere.
void SetHermiteCoeffsF(float coefficients[4], float p0, float p1, float m0, float m1);

// The same in 16.16 integers: c0 = 2(p0 - p1) + t0 + t1,
// c1 = 3(p1 - p0) - 2 t0 - t1, c2 = t0, c3 = p0 (sums in 64 bits, stored
// as 32). Splines of the AI line and of the world's curved objects use it.
void SetHermiteCoeffs(int32_t coefficients[4], int64_t p0, int64_t p1, int64_t t0, int64_t t1);
// The straight segment from a to b: c0 = c1 = 0, c2 = b - a, c3 = a.
void SetLinearCoeffs(int32_t coefficients[4], int32_t a, int32_t b);
// c0 s^3 + c1 s^2 + c2 s + c3 at s (16.16), every product in 64 bits
// shifted right by 16.
int32_t EvaluateHermite(const int32_t coefficients[4], int32_t s);
