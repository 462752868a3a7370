#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "vehicle/car_object.h"
#include "vehicle/car_state_record.h"

// The sender's side of a car state record, for tests: fills the 68 bytes from
// a car driven here, field by field as the receiver reads them.
namespace car_state_packer {

inline int32_t ClampRound(float x, int32_t lo, int32_t hi) {
    if (!(x == x))
        return 0;
    const float r = std::nearbyint(x);
    return r < static_cast<float>(lo) ? lo : (r > static_cast<float>(hi) ? hi : static_cast<int32_t>(r));
}

// A unit direction in three signed 10-bit fields: bits 22..31, 12..21, 2..11.
inline uint32_t PackDirection(const float v[3], float magnitude) {
    if (!(magnitude > 0.0f))
        return 0;
    uint32_t packed = 0;
    const int shifts[3] = {22, 12, 2};
    for (int k = 0; k < 3; k++) {
        const int32_t field = ClampRound(v[k] / magnitude * 511.0f, -511, 511);
        packed |= (static_cast<uint32_t>(field) & 0x3FFu) << shifts[k];
    }
    return packed;
}

inline float Length(const float v[3]) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

}  // namespace car_state_packer

inline CarStateRecord PackCarStateRecord(const CarObject &car) {
    using namespace car_state_packer;
    constexpr float ThousandPi = 3141.5927f;
    CarStateRecord r;
    std::memset(&r, 0, sizeof(r));
    r.steering = car.inputs[0];
    r.throttle = static_cast<uint8_t>(car.inputs[1] / 257);
    r.brake = static_cast<uint8_t>(car.inputs[2] / 257);
    r.gearByte = static_cast<uint8_t>((car.gear & 15) | ((car.indicator & 3) << 4) | (car.remoteLatch ? 0x40 : 0) |
                                      (car.pitWorkStep != 0 ? 0x80 : 0));
    r.inputByte = static_cast<uint8_t>((car.inputs[15] & 7) | (car.tcOff ? 0x80 : 0));
    r.stateByte = static_cast<uint8_t>((car.announcePending & 1) | ((car.headlight & 1) << 1) |
                                       (car.engine.running ? 4 : 0) | (car.speedLimit != 0 ? 8 : 0) |
                                       ((car.inputs[11] * 3 / 65535) << 4) | ((car.inputs[12] * 3 / 65535) << 6));
    r.position[0] = car.position.x;
    r.position[1] = car.position.y;
    r.position[2] = car.position.z;
    for (int k = 0; k < 3; k++) {
        r.xAxis[k] = static_cast<int16_t>(ClampRound(car.orientation[3 * k] * 32767.0f, -32767, 32767));
        r.yAxis[k] = static_cast<int16_t>(ClampRound(car.orientation[3 * k + 1] * 32767.0f, -32767, 32767));
    }
    r.speed = Length(car.velocity);
    r.velocityDirection = PackDirection(car.velocity, r.speed);
    r.angularMomentum = Length(car.angularMomentum);
    r.angularMomentumDirection = PackDirection(car.angularMomentum, r.angularMomentum);
    r.engineSpeed = static_cast<uint16_t>(ClampRound(car.engine.speed / ThousandPi * 65535.0f, 0, 65535));
    r.turboSpeed = static_cast<uint16_t>(ClampRound(car.engine.turboSpeed / 15707.96f * 65535.0f, 0, 65535));
    for (int i = 0; i < 4 && i < car.wheelCount; i++) {
        const CarWheel &w = car.wheels[i];
        r.wheelSpeeds[i] = static_cast<int16_t>(ClampRound(w.angularVelocity / ThousandPi * 32767.0f, -32767, 32767));
        r.compression[i] =
            static_cast<uint8_t>(w.maxTravel > 0.0f ? ClampRound(w.compression / w.maxTravel * 255.0f, 0, 255) : 0);
    }
    return r;
}
