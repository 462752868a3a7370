// Temporary stand-in until the deterministic implementation lands.
#include "core/float_math.h"

#include <cmath>

float FloatSin(float x) { return std::sin(x); }
float FloatCos(float x) { return std::cos(x); }
float FloatTan(float x) { return std::tan(x); }
float FloatAtan(float x) { return std::atan(x); }
float FloatAtan2(float y, float x) { return std::atan2(y, x); }
float FloatAsin(float x) { return std::asin(x); }
float FloatAcos(float x) { return std::acos(x); }
float FloatPow(float x, float y) { return std::pow(x, y); }
float FloatCbrt(float x) { return std::cbrt(x); }
float FloatExp(float x) { return std::exp(x); }
float FloatLog(float x) { return std::log(x); }
