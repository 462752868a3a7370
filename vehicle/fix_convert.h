#pragma once

#include <cmath>
#include <cstdint>

// The one float -> integer conversion of the vehicle code. Every "rounded"
// value (float metres to 16.16, rounded normals, rounded offsets) goes through
// it: the value is first rounded to single precision by the caller's float
// arithmetic, then to the nearest integer with ties to even (the FP
// environment is kept at round-to-nearest). A value that is not a number or
// lies outside the 32-bit range gives INT32_MIN, as the x86 conversion
// instruction does, instead of undefined behaviour.
inline int32_t RoundToInt(float x) {
    if (!(x >= -2147483648.0f && x < 2147483648.0f))
        return INT32_MIN;
    return static_cast<int32_t>(std::lrintf(x));
}

// A byte from a float: rounded and held to 0..255, so that a value off the
// scale (or not a number, which counts as 0) never reaches a byte cast.
inline uint8_t DisplayByte(float value) {
    const int32_t rounded = RoundToInt(value);  // INT32_MIN when not a number
    if (rounded < 0)
        return 0;
    if (rounded > 255)
        return 255;
    return static_cast<uint8_t>(rounded);
}

// Float metres to 16.16: multiplied in single precision, then rounded.
inline int32_t MetresToFix(float metres) {
    return RoundToInt(metres * 65536.0f);
}

// 16.16 to float metres: multiplied by the float 1/65536.
inline float FixToMetres(int32_t fix) {
    return static_cast<float>(fix) * (1.0f / 65536.0f);
}
