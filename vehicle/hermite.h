#pragma once

// Coefficients of the cubic Hermite segment from value p0 (t = 0) to p1
// (t = 1) with slopes m0 and m1, highest power first: the segment is
// c[0] t^3 + c[1] t^2 + c[2] t + c[3]. Evaluated in single precision in a
// fixed order, so start-up tables built from it have the same bits everywhere.
void SetHermiteCoeffsF(float coefficients[4], float p0, float p1, float m0, float m1);
