#include "core/float_matrix.h"

#include <cmath>

#include "core/float_math.h"

void MultiplyFloatMatrix(const float a[9], const float b[9], float out[9]) {
    float r[9];
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++)
            r[i * 3 + j] = a[i * 3] * b[j] + a[i * 3 + 1] * b[3 + j] + a[i * 3 + 2] * b[6 + j];
    }
    for (int i = 0; i < 9; i++)
        out[i] = r[i];
}

void SetFloatRotationZ(float m[9], float angle) {
    const float c = FloatCos(angle);
    const float s = FloatSin(angle);
    m[0] = c;
    m[1] = -s;
    m[2] = 0.0f;
    m[3] = s;
    m[4] = c;
    m[5] = 0.0f;
    m[6] = 0.0f;
    m[7] = 0.0f;
    m[8] = 1.0f;
}

void SetFloatRotationXY(float m[9], float a, float b) {
    const float ca = FloatCos(a);
    const float sa = FloatSin(a);
    const float cb = FloatCos(b);
    const float sb = FloatSin(b);
    m[0] = cb;
    m[1] = 0.0f;
    m[2] = sb;
    m[3] = sa * sb;
    m[4] = ca;
    m[5] = -(sa * cb);
    m[6] = -(ca * sb);
    m[7] = sa;
    m[8] = ca * cb;
}

void InvertFloatMatrix(float out[9], const float m[9]) {
    const float det = m[0] * (m[4] * m[8] - m[5] * m[7]) + m[3] * (m[2] * m[7] - m[1] * m[8]) +
                      m[6] * (m[1] * m[5] - m[2] * m[4]);
    const float inv = 1.0f / det;
    float r[9];
    r[0] = (m[4] * m[8] - m[5] * m[7]) * inv;
    r[1] = (m[2] * m[7] - m[1] * m[8]) * inv;
    r[2] = (m[1] * m[5] - m[2] * m[4]) * inv;
    r[3] = (m[5] * m[6] - m[3] * m[8]) * inv;
    r[4] = (m[0] * m[8] - m[2] * m[6]) * inv;
    r[5] = (m[2] * m[3] - m[0] * m[5]) * inv;
    r[6] = (m[3] * m[7] - m[4] * m[6]) * inv;
    r[7] = (m[1] * m[6] - m[0] * m[7]) * inv;
    r[8] = (m[0] * m[4] - m[1] * m[3]) * inv;
    for (int i = 0; i < 9; i++)
        out[i] = r[i];
}

float Length2D(const Vector2D &v) {
    return std::sqrt(v.x * v.x + v.y * v.y);
}

float LengthSquared2D(const Vector2D &v) {
    return v.x * v.x + v.y * v.y;
}

// A zero vector has no direction; it is left as it is rather than filled
// with NaN that would spread through the callers' arithmetic.
void ScaleToLength2D(Vector2D &v, float length) {
    const float old = Length2D(v);
    if (old == 0.0f)
        return;
    const float k = length / old;
    v.x *= k;
    v.y *= k;
}

float Normalise2D(Vector2D &v) {
    const float length = Length2D(v);
    if (length == 0.0f)
        return 0.0f;
    const float k = 1.0f / length;
    v.x *= k;
    v.y *= k;
    return length;
}
