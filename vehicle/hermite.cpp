#include "vehicle/hermite.h"

void SetHermiteCoeffsF(float coefficients[4], float p0, float p1, float m0, float m1)
{
    coefficients[0] = 2.0f * p0 - 2.0f * p1 + m0 + m1;
    coefficients[1] = 3.0f * p1 - 3.0f * p0 - 2.0f * m0 - m1;
    coefficients[2] = m0;
    coefficients[3] = p0;
}
