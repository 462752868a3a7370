#pragma once

// Small float 3-vector and 3x3 matrix operations of the vehicle model. The
// evaluation order is part of the physics (every program must get the same
// bits), so each result is written in one fixed order; every function
// computes all components before storing, so out may be an input.
// Matrices are rows first: m[0..2] is the first row.

inline float Dot3(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline void Cross3(const float a[3], const float b[3], float out[3])
{
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

// m x v.
inline void MatVec3(const float m[9], const float v[3], float out[3])
{
    const float x = m[0] * v[0] + m[1] * v[1] + m[2] * v[2];
    const float y = m[3] * v[0] + m[4] * v[1] + m[5] * v[2];
    const float z = m[6] * v[0] + m[7] * v[1] + m[8] * v[2];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

// The transpose of m times v.
inline void MatTVec3(const float m[9], const float v[3], float out[3])
{
    const float x = m[0] * v[0] + m[3] * v[1] + m[6] * v[2];
    const float y = m[1] * v[0] + m[4] * v[1] + m[7] * v[2];
    const float z = m[2] * v[0] + m[5] * v[1] + m[8] * v[2];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

inline void Copy3(float out[3], const float v[3])
{
    out[0] = v[0];
    out[1] = v[1];
    out[2] = v[2];
}

inline void Zero3(float v[3])
{
    v[0] = 0.0f;
    v[1] = 0.0f;
    v[2] = 0.0f;
}
