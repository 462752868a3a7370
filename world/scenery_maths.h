#pragma once

#include <cmath>
#include <cstdint>

// A float rounded to the nearest integer, held inside the i32 range; NaN
// gives 0. Every float-to-16.16 step of the scenery objects goes through
// here so that damaged record values clamp instead of overflowing.
inline int32_t RoundToFix(float value)
{
    if (!(value > -2147483520.0f)) {
        return value < 0.0f ? INT32_MIN : 0;
    }
    if (value > 2147483520.0f) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(std::lround(value));
}

// The race ticks since lastTick (the low byte of the tick at the last step),
// wrapped through 256 and held to at most maxTicks; lastTick becomes the
// tick's low byte. A standing race gives 0.
inline int TakeTicksSince(uint8_t &lastTick, uint32_t raceTick, int maxTicks)
{
    int ticks = static_cast<int>(raceTick & 255u) - lastTick;
    if (ticks < 0) {
        ticks += 256;
    }
    lastTick = static_cast<uint8_t>(raceTick & 255u);
    return ticks > maxTicks ? maxTicks : ticks;
}
