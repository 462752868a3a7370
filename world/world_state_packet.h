#pragma once

#include <cstdint>

class World;
struct StartRaceView;

// MP_WORLD_STATE: the host's seed for SharedRandom and the wind of a race
// start, so that every program shows the same start lights and wind.
// Bytes: 0 type, 1 zero, 2..3 u16 seed, 4..7 f32 wind base speed (m/s),
// 8..11 f32 wind base direction (radians); all little-endian, both wind
// values 0 when the race has no wind.
constexpr uint8_t MP_WORLD_STATE = 40;
constexpr int WorldStatePacketLength = 12;

void BuildWorldStatePacket(uint8_t out[WorldStatePacketLength], uint16_t seed, float windSpeed,
                           float windDirection);

// Applies a received packet to a loaded world: the wind base, SharedRandom
// set to the seed, then the red delay drawn for the race (null: no race).
// Nothing happens without a world, while it loads, or with a length other
// than 12. A wind value that is not finite means no wind; the speed is
// clamped to 0..13.333 m/s.
void ApplyWorldStatePacket(World *world, const uint8_t *bytes, int length, const StartRaceView *race);
