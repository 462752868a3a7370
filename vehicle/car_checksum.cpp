#include <cstring>

#include "core/checksum.h"
#include "vehicle/car_object.h"
#include "vehicle/tyre_grip.h"

namespace {

constexpr int ChecksumSurfaceTypes = 17;
static_assert(SurfaceKindCount >= ChecksumSurfaceTypes, "the checksum folds 17 surface types");

// Floats enter as their IEEE bit patterns.
uint32_t AddFloat(uint32_t crc, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return CrcAddU32(crc, bits);
}

} // namespace

uint32_t CarObject::PhysicsChecksum(uint32_t &r1, uint32_t &r2, uint32_t &r3, uint32_t &r4) const {
    r1 = AddFloat(r1, dryMass);
    r1 = AddFloat(r1, static_cast<float>(drivenAxles));
    r1 = AddFloat(r1, driveEfficiency);
    r1 = AddFloat(r1, dragTotal);
    r1 = AddFloat(r1, liftTotal);
    r1 = CrcAddU32(r1, aidFlags);

    const float driveFactors[2] = {rearDriveFactor, frontDriveFactor};
    for (int axle = 0; axle < 2; axle++) {
        const RimData &rim = axles[axle];
        r2 = AddFloat(r2, driveFactors[axle]);
        r2 = AddFloat(r2, rim.tyreWidth);
        r2 = AddFloat(r2, rim.aspect);
        r2 = AddFloat(r2, rim.rimRadius);
        r2 = AddFloat(r2, rim.tyreValues[2]);
        int type = rim.tyreType;
        if (type < 0 || type >= TyreTypeCount)
            type = 0;
        for (int surface = 0; surface < ChecksumSurfaceTypes; surface++)
            r2 = AddFloat(r2, TyreSurfaceGrip[type][surface]);
    }

    r3 = AddFloat(r3, engine.peakTorque);
    r3 = AddFloat(r3, engine.peakSpeed);
    r3 = AddFloat(r3, engine.curveWidth);
    r3 = AddFloat(r3, engine.frictionCoefficient);
    r3 = AddFloat(r3, engine.inertia);
    if ((engine.flags & 1u) != 0)
        r3 = AddFloat(r3, engine.maxBoost);

    r4 = CrcAddU32(r4, raceTime);
    r4 = CrcAddU32(r4, static_cast<uint32_t>(startOffset));
    r4 = CrcAddU16(r4, confirmedLaps);
    r4 = CrcAddByte(r4, secondCount);
    r4 = CrcAddByte(r4, penalty);
    r4 = CrcAddByte(r4, startByte);
    r4 = CrcAddByte(r4, takeOverIds[0]);
    r4 = CrcAddByte(r4, takeOverIds[1]);
    r4 = CrcAddByte(r4, resultRecorded);
    return r4;
}
