#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/translation_table.h"
#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "core/float_math.h"
#include "vehicle/car_data_recording.h"
#include "vehicle/car_object.h"
#include "vehicle/race_hooks.h"

namespace {

constexpr int CarInfoVersion = 1;
constexpr float RadPerSecondToRpm = 60.0f / 6.2831853f;

void WriteF32(DataStream *stream, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    stream->WriteU32(bits);
}

// A value that is not a number is stored as 0.
float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

uint8_t OccupantBits(const CarObject *car) {
    if (car->animationIndex < 0)
        return 0;
    uint8_t bits = 1;
    const uint8_t passengers = car->setup != nullptr ? car->setup->passengers : 0;
    int front = 0;
    int rear = 0;
    car->GetSeatFlags(&front, &rear);
    if (front && (passengers & 0x03) != 0)
        bits |= 0x03;
    if (rear) {
        if ((passengers & 0x0C) != 0)
            bits |= 0x04;
        if ((passengers & 0x30) != 0)
            bits |= 0x08;
        if ((passengers & 0xC0) != 0)
            bits |= 0x10;
    }
    return bits;
}

void WriteCarPart(const CarObject *car, DataStream *s) {
    char name[4] = {};
    std::memcpy(name, car->shortName, 3);
    s->WriteBytes(name, 4);
    s->WriteU8(OccupantBits(car));
    s->WriteU8(0);
    s->WriteU8(0);
    s->WriteU8(0);
    // 16..99
    for (float e : car->orientation)
        WriteF32(s, e);
    const float reference[3] = {0.0f, 0.0f, 0.0f};
    FixVector at;
    FloatToFixPosition(car->orientation, reference, car->position, at);
    s->WriteU32(static_cast<uint32_t>(at.x));
    s->WriteU32(static_cast<uint32_t>(at.y));
    s->WriteU32(static_cast<uint32_t>(at.z));
    FloatToFixPosition(car->orientation, car->centreOfMass, car->position, at);
    s->WriteU32(static_cast<uint32_t>(at.x));
    s->WriteU32(static_cast<uint32_t>(at.y));
    s->WriteU32(static_cast<uint32_t>(at.z));
    WriteRelativePoint(car, s, car->centreOfMass);
    WriteRelativePoint(car, s, car->storedTankPosition);
    WriteZeroWords(s, 7);
    // 128..207
    for (const AeroSurface &wing : car->wings) {
        if ((wing.flags & 1) == 0) {
            WriteZeroWords(s, 5);
            continue;
        }
        WriteRelativePoint(car, s, wing.position);
        WriteF32(s, wing.lift);
        WriteF32(s, wing.drag);
    }
    // 208..255
    for (float e : car->inertia)
        WriteF32(s, e);
    WriteZeroWords(s, 3);
    // 256..287
    WriteF32(s, car->engine.maxTorque);
    WriteF32(s, car->engine.maxTorqueSpeed * RadPerSecondToRpm);
    WriteF32(s, car->engine.maxPower);
    WriteF32(s, car->engine.maxPowerSpeed * RadPerSecondToRpm);
    WriteF32(s, car->fuel);
    WriteF32(s, car->mass);
    WriteF32(s, car->wheelbase);
    WriteF32(s, car->wheelbase != 0.0f
                    ? Finite(1.0f - (car->axlePositions[1] - car->centreOfMass[1]) / car->wheelbase)
                    : 0.0f);
    // 288..303
    const int forward = car->gearCount - 2;
    s->WriteU8(forward > 0 ? forward : 0);
    s->WriteU8(car->drivenAxles);
    s->WriteU8(0);
    s->WriteU8(0);
    WriteF32(s, car->drivenAxles == 3 ? car->frontTorqueShare : 0.0f);
    WriteF32(s, car->driveEfficiency);
    s->WriteU32(0);
    // 304..351
    WriteF32(s, car->gearRatios[0]);
    for (int position = 2; position < CarGearPositions; position++)
        WriteF32(s, position < car->gearCount ? car->gearRatios[position] : 0.0f);
    WriteF32(s, car->finalDrive);
    WriteZeroWords(s, 3);
    // 352..383
    const CarSetup *setup = car->setup;
    WriteF32(s, setup != nullptr ? static_cast<float>(setup->parallelSteer) / 100.0f : 0.0f);
    WriteF32(s, setup != nullptr ? setup->brakeTorque : 0.0f);
    WriteF32(s, setup != nullptr ? static_cast<float>(setup->brakeBalance) / 100.0f : 0.0f);
    WriteZeroWords(s, 5);
}

void WriteWheel(const CarObject *car, const CarWheel &w, DataStream *s) {
    const int axleIndex = w.axleIndex < 2 ? static_cast<int>(w.axleIndex) : 0;
    const RimData &axle = car->axles[axleIndex];
    const CarSetup *setup = car->setup;
    s->WriteU8(setup != nullptr ? setup->axles[axleIndex].tyreType : 0);
    s->WriteU8(0);
    s->WriteU8(0);
    s->WriteU8(0);
    WriteF32(s, w.pressureSetting);
    WriteF32(s, Finite(w.airHeat / (w.airMass * 1005.0f) - 273.15f));
    WriteF32(s, w.toe);
    const float tyrePoint[3] = {w.centre[0] + w.contactOffset[0], w.centre[1], w.centre[2] + w.contactOffset[2]};
    WriteRelativePoint(car, s, tyrePoint);
    WriteF32(s, w.unsprungMass);
    WriteF32(s, axle.tyreWidth);
    WriteF32(s, axle.aspect);
    WriteF32(s, axle.rimRadius);
    WriteF32(s, axle.rimWidth);
    WriteF32(s, w.springRate);
    WriteF32(s, w.bumpDamping);
    WriteF32(s, w.reboundDamping);
    WriteF32(s, setup != nullptr ? setup->axles[axleIndex].antiRoll : 0.0f);
    float sine = w.camberSine;
    sine = sine > 1.0f ? 1.0f : (sine < -1.0f ? -1.0f : sine);
    WriteF32(s, -FloatAsin(sine) * w.side);
    const float *axis = w.steerAxis;
    const float inclination = Finite(FloatAtan(Finite(-w.side * axis[0] / axis[2])));
    WriteF32(s, inclination);
    WriteF32(s, Finite(FloatAtan(Finite(-axis[1] / axis[2]))));
    // The steering axis offset at the ground, from the reference point.
    const float reference[3] = {0.0f, 0.0f, 0.0f};
    WriteF32(s, (reference[0] - w.centre[0]) * w.side - (w.centre[2] - reference[2]) * FloatSin(inclination));
    WriteF32(s, w.inertia);
    WriteF32(s, w.compression);
    WriteF32(s, w.maxTravel);
    s->WriteU32(0);
    const float d = w.tyreDeflection;
    const float stiffness =
        d != 0.0f ? w.pressure * axle.tyreValues[0] / (1.0f + 0.001f * (axle.outerRadius * axle.crownRadius) / (d * d))
                  : 0.0f;
    WriteF32(s, Finite(stiffness));
    WriteF32(s, d);
    WriteZeroWords(s, 6);
}

} // namespace

int WriteCarInfoFile(const CarObject *car) {
    if (car == nullptr)
        return 0;
    char path[64];
    char name[4] = {};
    std::memcpy(name, car->shortName, 3);
    std::snprintf(path, sizeof(path), "data\\raf\\%s_info.bin", name);
    DataStream stream;
    if (stream.OpenWrite(nullptr, path, "KZV_CI", CarInfoVersion) != nullptr) {
        VehiclePrintWarning(Tx(Text_3a_outcnopn));
        return 0;
    }
    WriteCarPart(car, &stream);
    // By axle, rear first; in an axle the wheels not on side +1 first.
    for (int axle = 0; axle < 2; axle++) {
        for (int plus = 0; plus < 2; plus++) {
            for (int i = 0; i < car->wheelCount; i++) {
                const CarWheel &w = car->wheels[i];
                if (static_cast<int>(w.axleIndex) == axle && (w.side == 1.0f) == (plus == 1))
                    WriteWheel(car, w, &stream);
            }
        }
    }
    const bool failed = stream.Close() != 0 || stream.writeError;
    return failed ? -1 : 1;
}
