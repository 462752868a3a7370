#include "core/checksum.h"

#include <array>

namespace {

constexpr uint32_t CrcPolynomial = 0x04C11DB7u;
constexpr uint32_t ReflectedPolynomial = 0xEDB88320u;

constexpr uint32_t CrcTableEntry(uint32_t i)
{
    uint32_t value = i << 24;
    for (int bit = 0; bit < 8; ++bit) {
        value = (value & 0x80000000u) ? (value << 1) ^ CrcPolynomial : value << 1;
    }
    return value;
}

constexpr std::array<uint32_t, 256> ReflectedTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1u) ? (value >> 1) ^ ReflectedPolynomial : value >> 1;
        }
        table[i] = value;
    }
    return table;
}();

// Shifts one more value into the register; the old top byte picks the entry.
inline uint32_t ShiftIn(uint32_t crc, uint32_t value)
{
    return ((crc << 8) | value) ^ CrcTable[crc >> 24];
}

}  // namespace

constinit std::array<uint32_t, 256> CrcTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        table[i] = CrcTableEntry(i);
    }
    return table;
}();

void BuildCrcTable()
{
    for (uint32_t i = 0; i < 256; ++i) {
        CrcTable[i] = CrcTableEntry(i);
    }
}

uint32_t CrcOfBlock(const void *data, int n)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    const int head = n < 4 ? (n > 0 ? n : 0) : 4;
    uint32_t crc = 0;
    for (int i = 0; i < head; ++i) {
        crc |= static_cast<uint32_t>(bytes[i]) << (8 * (head - 1 - i));
    }
    crc = ~crc;
    for (int i = 4; i < n; ++i) {
        crc = ShiftIn(crc, bytes[i]);
    }
    return ~crc;
}

uint32_t CrcAddByte(uint32_t crc, uint8_t b)
{
    return ShiftIn(crc, b);
}

uint32_t CrcAddU16(uint32_t crc, uint16_t v)
{
    crc = ShiftIn(crc, v & 0xFFu);
    return ShiftIn(crc, v >> 8);
}

uint32_t CrcAddU32(uint32_t crc, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        crc = ShiftIn(crc, (v >> (8 * i)) & 0xFFu);
    }
    return crc;
}

uint32_t CrcAddBytes(uint32_t crc, const void *data, int n)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    for (int i = 0; i < n; ++i) {
        crc = ShiftIn(crc, bytes[i]);
    }
    return crc;
}

uint32_t CrcAddString(uint32_t crc, const char *text)
{
    if (!text) {
        return crc;
    }
    for (; *text; ++text) {
        const int32_t extended = static_cast<int8_t>(*text);
        crc = ShiftIn(crc, static_cast<uint32_t>(extended));
    }
    return crc;
}

uint32_t Crc32OfString(const char *text)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (text) {
        for (; *text; ++text) {
            crc = (crc >> 8) ^ ReflectedTable[(crc ^ static_cast<uint8_t>(*text)) & 0xFFu];
        }
    }
    return ~crc;
}
