#pragma once

#include <cstddef>
#include <cstdint>

// The suspension rods of a car: the ends (points of the chassis) and the
// links between them. Both are stored in the car data as 20-byte records,
// little-endian: a rod end as it lies in memory; a rod link as its ends,
// density, 8 bytes of working space (zero, ignored on reading) and flags.

// One rod end: a chassis point in car coordinates.
struct CarRodEnd {
    int32_t x, y, z;        // 16.16 metres
    float radius;           // metres; raised by the set-up to the largest radius of its links
    uint16_t flags;         // bit 0 set by the set-up application
    uint8_t kind;           // 1, 2 or 3: which axle geometry point this end gives (0 none)
    uint8_t spare;
};
static_assert(sizeof(CarRodEnd) == 20, "a rod end is stored as 20 bytes");
static_assert(offsetof(CarRodEnd, radius) == 12);
static_assert(offsetof(CarRodEnd, flags) == 16);
static_assert(offsetof(CarRodEnd, kind) == 18);

// Rod link flags.
constexpr uint32_t RodLinkKeepDensity = 0x2;   // the density is kept unclamped in work[1]

// Rod links with a density outside this range (and without RodLinkKeepDensity)
// are clamped into it on reading.
constexpr float MinRodLinkDensity = 0.5f;
constexpr float MaxRodLinkDensity = 40.0f;
// The farthest a rod end may lie from the car's origin on any axis, 16.16
// (1000 m, far beyond any car). Car data with an end beyond it is refused:
// the mass model subtracts and mirrors the coordinates in 32 bits.
constexpr int32_t MaxRodEndCoordinate = 1000 * 65536;
// A negative end index names a wheel-side point; -6 is the lowest.
constexpr int MinRodLinkEnd = -6;

// One link between two ends (a negative index names a wheel-side point).
struct CarRodLink {
    int16_t ends[2];
    float density;          // kg per metre
    float work[3];          // working values of the set-up, zero after reading
    uint32_t flags;
};
constexpr int RodEndFileSize = 20;
constexpr int RodLinkFileSize = 20;
