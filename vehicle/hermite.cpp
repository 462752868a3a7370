#include "vehicle/hermite.h"

void SetHermiteCoeffsF(float coefficients[4], float p0, float p1, float m0, float m1)
{
    coefficients[0] = 2.0f * p0 - 2.0f * p1 + m0 + m1;
    coefficients[1] = 3.0f * p1 - 3.0f * p0 - 2.0f * m0 - m1;
    coefficients[2] = m0;
    coefficients[3] = p0;
}

void SetHermiteCoeffs(int32_t coefficients[4], int64_t p0, int64_t p1, int64_t t0, int64_t t1)
{
    coefficients[0] = static_cast<int32_t>(2 * (p0 - p1) + t0 + t1);
    coefficients[1] = static_cast<int32_t>(3 * (p1 - p0) - 2 * t0 - t1);
    coefficients[2] = static_cast<int32_t>(t0);
    coefficients[3] = static_cast<int32_t>(p0);
}

void SetLinearCoeffs(int32_t coefficients[4], int32_t a, int32_t b)
{
    coefficients[0] = 0;
    coefficients[1] = 0;
    coefficients[2] = static_cast<int32_t>(int64_t(b) - a);
    coefficients[3] = a;
}

int32_t EvaluateHermite(const int32_t coefficients[4], int32_t s)
{
    const int64_t s2 = (int64_t(s) * s) >> 16;
    const int64_t s3 = (s2 * s) >> 16;
    const int64_t value = ((int64_t(coefficients[0]) * s3) >> 16) + ((int64_t(coefficients[1]) * s2) >> 16) +
                          ((int64_t(coefficients[2]) * s) >> 16) + coefficients[3];
    return static_cast<int32_t>(value);
}
