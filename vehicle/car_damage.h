#pragma once

#include <cstdint>

// Dents of a car's body: 4-byte deformation records (collision point index,
// magnitude, packed direction) that the car keeps and sends to the other
// programs of a race.

// The game packet that carries one stored record: type, the player id of
// the car's slot, two zero bytes, then the record.
constexpr uint8_t CarDamagePacketId = 57;
constexpr int CarDamagePacketSize = 8;

// A unit direction in the car's frame as the record's 16-bit word: each
// component c is round(c x 30720) as a signed 16-bit value of which the top
// five bits are kept (x in bits 11..15, y in 6..10, z in 1..5, bit 0 zero),
// so +1 and -1 become the 5-bit values 15 and -15. Components are clamped
// to -1..1 first; a non-finite one packs as 0.
uint16_t PackDamageDirection(const float direction[3]);
// The direction of a packed word: each 5-bit value k gives k / 15.
void UnpackDamageDirection(uint16_t packed, float direction[3]);
