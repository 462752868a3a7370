#pragma once

// Single-precision 3x3 matrices and 2D vectors beside the fixed-point
// library. A float matrix is nine floats, rows first (m[0..2] the first row),
// the same layout as FixMatrix. Conversions with fixed-point matrices and the
// rotation about an arbitrary axis are in core/fixed_math.h.

// out = a x b; out may be the same array as a or b.
void MultiplyFloatMatrix(const float a[9], const float b[9], float out[9]);
// Rotation by `angle` radians about the third axis.
void SetFloatRotationZ(float m[9], float angle);
// RotationX(a) x RotationY(b), the same layout as FixRotationXY.
void SetFloatRotationXY(float m[9], float a, float b);
// The inverse by adjugate and determinant; out may be the same array as m.
// A singular matrix gives non-finite elements.
void InvertFloatMatrix(float out[9], const float m[9]);

struct Vector2D {
    float x, y;
};

float Length2D(const Vector2D &v);
float LengthSquared2D(const Vector2D &v);
// Scales v to the given length. A zero vector stays zero.
void ScaleToLength2D(Vector2D &v, float length);
// Scales v to unit length and returns its old length. A zero vector stays
// zero and gives 0.
float Normalise2D(Vector2D &v);
