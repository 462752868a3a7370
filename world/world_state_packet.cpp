#include "world/world_state_packet.h"

#include <cmath>
#include <cstring>

#include "world/shared_random.h"
#include "world/start_lights.h"
#include "world/world.h"

namespace {

void PutU16(uint8_t *out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void PutFloat(uint8_t *out, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

uint32_t GetU16(const uint8_t *in)
{
    return in[0] | static_cast<uint32_t>(in[1]) << 8;
}

float GetFloat(const uint8_t *in)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<uint32_t>(in[i]) << (8 * i);
    }
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

void BuildWorldStatePacket(uint8_t out[WorldStatePacketLength], uint16_t seed, float windSpeed,
                           float windDirection)
{
    out[0] = MP_WORLD_STATE;
    out[1] = 0;
    PutU16(out + 2, seed);
    PutFloat(out + 4, windSpeed);
    PutFloat(out + 8, windDirection);
}

void ApplyWorldStatePacket(World *world, const uint8_t *bytes, int length, const StartRaceView *race)
{
    if (!world || !bytes || length != WorldStatePacketLength || WorldIsLoading(world)) {
        return;
    }
    float speed = GetFloat(bytes + 4);
    float direction = GetFloat(bytes + 8);
    // A peer's bad floats would poison the wind and the physics that reads it.
    if (!std::isfinite(speed) || !std::isfinite(direction)) {
        speed = 0.0f;
        direction = 0.0f;
    }
    speed = speed < 0.0f ? 0.0f : (speed > MaxWindSpeed ? MaxWindSpeed : speed);
    world->SetWindBase(speed, direction);
    SharedRandom = GetU16(bytes + 2);
    world->RandomiseRedDelay(race);
}
