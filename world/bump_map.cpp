#include <cstdint>

#include "core/float_math.h"
#include "world/world.h"

namespace {

// The bump map's own 16-bit generator, so that the map depends on nothing but
// the world's bump seed, count and radius.
uint32_t BumpRandom = 0;

int32_t NextBumpRandom()
{
    BumpRandom = (BumpRandom * 5 + 1) & 65535;
    return static_cast<int32_t>(BumpRandom);
}

// f(t) = 2t^3 - 3t^2 + 1 in 16.16 for t in 0..1: falls from 1 to 0 with zero
// slopes at both ends. The powers are truncated in this order so that every
// program builds the same map.
int64_t BumpFalloff(int64_t t)
{
    const int64_t t2 = (t * t) >> 16;
    const int64_t t3 = (t2 * t) >> 16;
    return 2 * t3 - 3 * t2 + 65536;
}

// A distance along one axis of the tiled map, wrapped into -128..127.
int32_t WrapBumpDistance(int32_t d)
{
    return ((d + 128) & 255) - 128;
}

constexpr int32_t BumpHeightLimit = 32;
constexpr float BumpPi = 3.14159265f;

} // namespace

void World::BuildBumpMap()
{
    const int64_t radiusSquared = static_cast<int64_t>(bumpRadius) * bumpRadius;
    for (int32_t y = 0; y < 256; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            int32_t h = 0;
            BumpRandom = bumpSeed & 65535;
            for (int32_t i = 0; i < bumpCount; ++i) {
                const int32_t r1 = NextBumpRandom();
                const int32_t r2 = NextBumpRandom();
                const int32_t r3 = NextBumpRandom();
                const int32_t amplitude = r1 % 65 - 32;
                const int32_t dx = WrapBumpDistance((r2 >> 8) - x);
                const int32_t dy = WrapBumpDistance((r3 >> 8) - y);
                const int64_t d2 = static_cast<int64_t>(dx) * dx + static_cast<int64_t>(dy) * dy;
                if (d2 < radiusSquared) {
                    const int64_t t = d2 * 65536 / radiusSquared;
                    h += static_cast<int32_t>((BumpFalloff(t) * amplitude) >> 16);
                    h = h < -BumpHeightLimit ? -BumpHeightLimit : (h > BumpHeightLimit ? BumpHeightLimit : h);
                }
            }
            bumpMap[y * 256 + x] = static_cast<int8_t>(h);
        }
    }
    // The profile curve: (1 - cos(i pi / 256)) x 32, rounded, rising from 0
    // to 64 over the 256 entries.
    for (int i = 0; i < BumpCurveSize; ++i) {
        const float v = (1.0f - FloatCos(static_cast<float>(i) * BumpPi / 256.0f)) * 32.0f;
        bumpCurve[i] = static_cast<int8_t>(static_cast<int32_t>(v + 0.5f));
    }
}
