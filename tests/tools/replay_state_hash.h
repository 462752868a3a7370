#pragma once

#include <cstdint>

#include "core/checksum.h"
#include "race/race_object.h"
#include "vehicle/car_object.h"

// The race's final state in one number: the race tick, the race's state
// hash, and for each slot's car in order its position, orientation,
// velocity and angular momentum bits and its physics checksum.
inline uint32_t ReplayStateHash(const RaceObject &race)
{
    uint32_t crc = CrcAddU32(0, race.tick);
    crc = CrcAddU32(crc, race.StateHash());
    for (int i = 0; i < race.slotCount; ++i) {
        const CarObject *car = race.slots[i].car;
        if (car == nullptr) {
            continue;
        }
        crc = CrcAddBytes(crc, &car->position, sizeof(car->position));
        crc = CrcAddBytes(crc, car->orientation, sizeof(car->orientation));
        crc = CrcAddBytes(crc, car->velocity, sizeof(car->velocity));
        crc = CrcAddBytes(crc, car->angularMomentum, sizeof(car->angularMomentum));
        uint32_t r1 = 0, r2 = 0, r3 = 0, r4 = 0;
        crc = CrcAddU32(crc, car->PhysicsChecksum(r1, r2, r3, r4));
    }
    return crc;
}
