#pragma once

#include <array>
#include <cstdint>

// Two 32-bit checksums.
//
// The block checksum runs the CRC-32 polynomial 0x04C11DB7 most-significant
// bit first, one table look-up per byte. CrcOfBlock loads the first four
// bytes straight into the register and appends no zero bytes, so its value is
// not the common CRC-32/MPEG-2; programs in a race compare these values, so
// the steps below are exactly as they must stay. The accumulation functions
// carry a running register and take no final complement.
//
// Crc32OfString is the standard reflected CRC-32 of a text.

extern std::array<uint32_t, 256> CrcTable;

// Fills CrcTable. The table is also filled at compile time, so a checksum
// taken before start-up calls this still comes out right.
void BuildCrcTable();

// Complement of the first four bytes (big-endian), each further byte shifted
// in, complement at the end. A block shorter than four bytes counts its
// missing leading bytes as zero.
uint32_t CrcOfBlock(const void *data, int n);

uint32_t CrcAddByte(uint32_t crc, uint8_t b);
uint32_t CrcAddU16(uint32_t crc, uint16_t v);      // low byte first
uint32_t CrcAddU32(uint32_t crc, uint32_t v);      // lowest byte first
uint32_t CrcAddBytes(uint32_t crc, const void *data, int n);
// Each character sign-extended before it is shifted in: a character of 128 or
// above also sets the 24 bits above it.
uint32_t CrcAddString(uint32_t crc, const char *text);

uint32_t Crc32OfString(const char *text);
