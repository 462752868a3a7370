#pragma once

#include <cstddef>
#include <cstdint>

// The 68-byte state record of a car driven on another program (little-endian,
// as sent). A remote car follows these records (CarObject::ApplyRemoteState).
struct CarStateRecord {
    uint8_t header[4];          // the position packet's header; not read by the car
    uint16_t steering;          // steering input word, 32768 centre
    uint8_t throttle;           // 0..255
    uint8_t brake;              // 0..255
    // Bits 0-3 gear position; bits 4-5 indicator state; bit 6 a latch the car
    // keeps once set; bit 7 held.
    uint8_t gearByte;
    // Bits 0-2 input word 15; bit 7 traction control off.
    uint8_t inputByte;
    // Bit 0 announce pending; bit 1 the auxiliary lamp; bit 2 engine running;
    // bit 3 pit limiter on; bits 4-5 clutch (0..3 of full); bits 6-7 input
    // word 12 (0..3 of full).
    uint8_t stateByte;
    uint8_t spare;
    int32_t position[3];        // 16.16 metres
    int16_t xAxis[3];           // the car's x axis, each / 32767
    int16_t yAxis[3];           // the car's forward axis, each / 32767
    float speed;                // m/s
    uint32_t velocityDirection; // three signed 10-bit fields: bits 22..31 x, 12..21 y, 2..11 z
    float angularMomentum;      // magnitude
    uint32_t angularMomentumDirection;  // packed as velocityDirection
    uint16_t engineSpeed;       // 65535 = 1000 pi rad/s
    uint16_t turboSpeed;        // 65535 = 15707.96 rad/s
    int16_t wheelSpeeds[4];     // 32767 = 1000 pi rad/s
    uint8_t compression[4];     // 255 = the wheel's full travel
};
static_assert(sizeof(CarStateRecord) == 68, "a car state record is 68 bytes");
static_assert(offsetof(CarStateRecord, position) == 12, "position at byte 12");
static_assert(offsetof(CarStateRecord, xAxis) == 24, "x axis at byte 24");
static_assert(offsetof(CarStateRecord, speed) == 36, "speed at byte 36");
static_assert(offsetof(CarStateRecord, engineSpeed) == 52, "engine word at byte 52");
static_assert(offsetof(CarStateRecord, compression) == 64, "compression at byte 64");
