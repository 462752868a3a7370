#pragma once

#include <cstdint>
#include <cstring>

// The race check values worked out bit by bit, apart from the program's
// table: a value shifted in at the bottom, the old top byte divided by
// 0x04C11DB7 most significant bit first.
inline uint32_t HandCrcEntry(uint32_t top)
{
    uint32_t r = top << 24;
    for (int bit = 0; bit < 8; ++bit) {
        r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04C11DB7u : r << 1;
    }
    return r;
}

inline uint32_t HandCrcValue(uint32_t crc, uint32_t value)
{
    return ((crc << 8) | value) ^ HandCrcEntry(crc >> 24);
}

inline uint32_t HandCrcBytes(uint32_t crc, const void *data, int n)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    for (int i = 0; i < n; ++i) {
        crc = HandCrcValue(crc, bytes[i]);
    }
    return crc;
}

// Characters are sign-extended before they go in.
inline uint32_t HandCrcString(uint32_t crc, const char *text)
{
    for (; *text != 0; ++text) {
        crc = HandCrcValue(crc, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(*text))));
    }
    return crc;
}
