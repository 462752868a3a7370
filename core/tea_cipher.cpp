#include "core/tea_cipher.h"

#include <cstdint>

namespace {

constexpr uint32_t TeaDelta = 0x9E3779B9u;
constexpr int TeaCycles = 32;

uint32_t LoadWord(const void *data, int index)
{
    const uint8_t *p = static_cast<const uint8_t *>(data) + index * 4;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreWord(void *data, int index, uint32_t value)
{
    uint8_t *p = static_cast<uint8_t *>(data) + index * 4;
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace

void TeaEncipher(const void *in, void *out, const void *key)
{
    uint32_t v0 = LoadWord(in, 0);
    uint32_t v1 = LoadWord(in, 1);
    const uint32_t k0 = LoadWord(key, 0), k1 = LoadWord(key, 1);
    const uint32_t k2 = LoadWord(key, 2), k3 = LoadWord(key, 3);
    uint32_t sum = 0;
    for (int i = 0; i < TeaCycles; ++i) {
        sum += TeaDelta;
        v0 += ((v1 << 4) + k0) ^ (v1 + sum) ^ ((v1 >> 5) + k1);
        v1 += ((v0 << 4) + k2) ^ (v0 + sum) ^ ((v0 >> 5) + k3);
    }
    StoreWord(out, 0, v0);
    StoreWord(out, 1, v1);
}

void TeaDecipher(const void *in, void *out, const void *key)
{
    uint32_t v0 = LoadWord(in, 0);
    uint32_t v1 = LoadWord(in, 1);
    const uint32_t k0 = LoadWord(key, 0), k1 = LoadWord(key, 1);
    const uint32_t k2 = LoadWord(key, 2), k3 = LoadWord(key, 3);
    uint32_t sum = TeaDelta * TeaCycles;
    for (int i = 0; i < TeaCycles; ++i) {
        v1 -= ((v0 << 4) + k2) ^ (v0 + sum) ^ ((v0 >> 5) + k3);
        v0 -= ((v1 << 4) + k0) ^ (v1 + sum) ^ ((v1 >> 5) + k1);
        sum -= TeaDelta;
    }
    StoreWord(out, 0, v0);
    StoreWord(out, 1, v1);
}
