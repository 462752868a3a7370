#include "vehicle/setup_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/data_stream.h"
#include "vehicle/fix_convert.h"
#include "vehicle/race_hooks.h"

namespace {

constexpr int CurrentRecordVersion = 2;
constexpr int OldestFileVersion = 248;
constexpr int FirstByteFormVersion = 250;   // files from here on hold a record version and byte fields

constexpr float Pi = 3.14159265f;
constexpr float ToeScale = Pi * 0.005f;      // the old toe angle that makes one end of the range
constexpr float CamberScale = Pi * 0.025f;   // likewise for the camber

uint8_t ReadByte(DataStream *stream)
{
    return static_cast<uint8_t>(stream->ReadU8());
}

uint16_t ReadWord(DataStream *stream)
{
    return static_cast<uint16_t>(stream->ReadU16() & 0xFFFF);
}

void WriteFloat(DataStream *stream, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    stream->WriteU32(bits);
}

void Skip(DataStream *stream, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        stream->ReadU8();
    }
}

// Old files store some byte fields as floats. The converted value is pulled
// into the field's range before it is rounded, so a damaged file cannot make
// the conversion undefined; a stored value that is not finite gives the
// minimum. Inside the range the result equals rounding first and clamping
// afterwards.
int RoundIntoRange(float stored, float converted, int min, int max)
{
    if (!std::isfinite(stored) || !(converted >= static_cast<float>(min))) {
        return min;
    }
    if (converted > static_cast<float>(max)) {
        return max;
    }
    return RoundToInt(converted);
}

uint8_t OldFloatToByte(float stored, float converted, int min, int max)
{
    return static_cast<uint8_t>(RoundIntoRange(stored, converted, min, max));
}

void ReadAxle(CarSetupAxle *axle, DataStream *stream, int fileVersion, int recordVersion, bool currentLayout)
{
    axle->rideHeightReduction = stream->ReadFloat();
    axle->springStiffness = stream->ReadFloat();
    axle->bumpDamping = stream->ReadFloat();
    axle->reboundDamping = stream->ReadFloat();
    axle->antiRoll = stream->ReadFloat();
    axle->reserved = stream->ReadFloat();

    if (recordVersion == 0) {
        const float toe = stream->ReadFloat();
        axle->toe = OldFloatToByte(toe, (ToeScale + toe) * 9.0f / ToeScale, 0, 18);
        axle->caster = 0;
        axle->reserved27 = 0;
    } else {
        axle->toe = ReadByte(stream);
        axle->caster = ReadByte(stream);
        axle->tyreType = ReadByte(stream);
        axle->reserved27 = ReadByte(stream);
    }

    if (recordVersion < 2) {
        const float camber = stream->ReadFloat();
        axle->camberLeft = OldFloatToByte(camber, (CamberScale + camber) * 45.0f / CamberScale, 0, 90);
        axle->camberRight = axle->camberLeft;
    } else {
        axle->camberLeft = ReadByte(stream);
        axle->camberRight = ReadByte(stream);
        axle->reserved30 = ReadByte(stream);
        axle->diffPreload = ReadByte(stream);
    }

    if (fileVersion < FirstByteFormVersion) {
        const float viscous = stream->ReadFloat();
        axle->diffType = 2;
        axle->viscousTorque = OldFloatToByte(viscous, viscous, 1, 20);
        axle->lockPower = 25;
        axle->lockCoast = 25;
    } else {
        axle->diffType = ReadByte(stream);
        axle->viscousTorque = ReadByte(stream);
        axle->lockPower = ReadByte(stream);
        axle->lockCoast = ReadByte(stream);
    }

    if (recordVersion == 0) {
        axle->tyreType = static_cast<uint8_t>(stream->ReadU32());
    }

    if (recordVersion < 2) {
        const float pascals = stream->ReadFloat();
        axle->pressureLeft = static_cast<uint16_t>(RoundIntoRange(pascals, pascals * 0.001f, 0, 65535));
        axle->pressureRight = axle->pressureLeft;
    } else {
        axle->pressureLeft = ReadWord(stream);
        axle->pressureRight = ReadWord(stream);
    }

    if (!currentLayout) {
        axle->diffPreload = static_cast<uint8_t>((axle->lockPower + axle->lockCoast) >> 3);
    }
}

// The "could not load" line of a file that is too old to read.
void PrintLoadFileError(const char *path)
{
    char line[160];
    std::snprintf(line, sizeof(line), "%s : ^L%s", "Could not load file", path);
    VehiclePrintWarning(line);
}

}  // namespace

void WriteSetupRecord(const CarSetup &setup, DataStream *stream)
{
    stream->WriteU8(CurrentRecordVersion);
    stream->WriteU8(0);
    stream->WriteU8(0);
    stream->WriteU8(0);
    stream->WriteU8(setup.flags);
    stream->WriteU8(setup.reserved1);
    stream->WriteU8(setup.addedMassPosition);
    stream->WriteU8(setup.tyreMaker);
    WriteFloat(stream, setup.brakeTorque);
    stream->WriteBytes(&setup.rearWing, 12);   // bytes 8 to 19
    stream->WriteU16(setup.gearRatios[6]);
    stream->WriteU16(setup.finalDrive);
    for (int gear = 0; gear < 6; ++gear) {
        stream->WriteU16(setup.gearRatios[gear]);
    }
    stream->WriteU8(setup.passengers);
    stream->WriteU8(setup.partChoice);
    stream->WriteU8(setup.tcSlip);
    stream->WriteU8(setup.tcMinSpeed);
    for (const CarSetupAxle &axle : setup.axles) {
        WriteFloat(stream, axle.rideHeightReduction);
        WriteFloat(stream, axle.springStiffness);
        WriteFloat(stream, axle.bumpDamping);
        WriteFloat(stream, axle.reboundDamping);
        WriteFloat(stream, axle.antiRoll);
        WriteFloat(stream, 0.0f);
        stream->WriteBytes(&axle.toe, 12);   // block bytes 24 to 35
        stream->WriteU16(axle.pressureLeft);
        stream->WriteU16(axle.pressureRight);
    }
}

int ReadSetupRecord(CarSetup *setup, DataStream *stream, int fileVersion)
{
    CarSetup s = *setup;
    int recordVersion = 0;
    if (fileVersion >= FirstByteFormVersion) {
        recordVersion = stream->ReadU8();
        if (recordVersion > CurrentRecordVersion) {
            return 0;
        }
        Skip(stream, 3);
        s.flags = ReadByte(stream);
        s.reserved1 = ReadByte(stream);
        s.addedMassPosition = ReadByte(stream);
        s.tyreMaker = ReadByte(stream);
    } else {
        s.flags = 0;
        s.reserved1 = 0;
        s.addedMassPosition = 0;
        s.tyreMaker = 0;
    }
    const bool currentLayout = (s.flags & SetupCurrentLayout) != 0;

    s.brakeTorque = stream->ReadFloat();

    if (recordVersion < 2) {
        Skip(stream, 4);
        s.brakeBalance = static_cast<uint8_t>(ReadWord(stream) / 655);
        Skip(stream, 2);
        s.rearWing = static_cast<uint8_t>(ReadWord(stream) / 655);
        s.frontWing = static_cast<uint8_t>(ReadWord(stream) / 655);
    } else {
        s.rearWing = ReadByte(stream);
        s.frontWing = ReadByte(stream);
        s.addedMass = ReadByte(stream);
        s.intakeRestriction = ReadByte(stream);
    }

    if (fileVersion < FirstByteFormVersion) {
        const float lock = stream->ReadFloat();
        s.maxLock = OldFloatToByte(lock, lock * 180.0f / Pi, 9, 45);
        const float parallel = stream->ReadFloat();
        s.parallelSteer = OldFloatToByte(parallel, parallel * 100.0f, 0, 100);
        const float centre = stream->ReadFloat();
        s.centreDiffType = 1;
        s.centreViscousTorque = OldFloatToByte(centre, centre, 1, 20);
        s.reserved18 = 0;
        const float split = static_cast<float>(ReadWord(stream));
        s.frontTorqueSplit = OldFloatToByte(split, split * 100.0f / 65535.0f, 5, 95);
    } else {
        s.maxLock = ReadByte(stream);
        s.parallelSteer = ReadByte(stream);
        const uint8_t balance = ReadByte(stream);
        if (recordVersion == 2) {
            s.brakeBalance = balance;
        }
        s.engineBrakeReduction = ReadByte(stream);
        s.centreDiffType = ReadByte(stream);
        s.centreViscousTorque = ReadByte(stream);
        s.reserved18 = ReadByte(stream);
        s.frontTorqueSplit = ReadByte(stream);
        s.gearRatios[6] = ReadWord(stream);
    }

    s.finalDrive = ReadWord(stream);
    for (int gear = 0; gear < 6; ++gear) {
        s.gearRatios[gear] = ReadWord(stream);
    }
    s.passengers = ReadByte(stream);
    s.partChoice = ReadByte(stream);
    s.tcSlip = ReadByte(stream);
    s.tcMinSpeed = ReadByte(stream);

    for (CarSetupAxle &axle : s.axles) {
        ReadAxle(&axle, stream, fileVersion, recordVersion, currentLayout);
    }

    if (!currentLayout) {
        s.addedMassPosition = 50;
        s.flags = static_cast<uint8_t>((s.flags & 3) | SetupCurrentLayout);
    }
    ClampSetup(&s);
    *setup = s;
    return 1;
}

int ReadNamedSetup(NamedSetup *named, DataStream *stream, int fileVersion)
{
    stream->ReadBytes(named->name, sizeof(named->name));
    named->name[sizeof(named->name) - 1] = 0;
    return ReadSetupRecord(&named->setup, stream, fileVersion);
}

int WriteSetupFile(const CarSetup &setup, const char *path)
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, path, SetupFileId, SetupFileVersion) != nullptr) {
        return 0;
    }
    WriteSetupRecord(setup, &stream);
    return stream.Close() == 0 ? 1 : 0;
}

int ReadSetupFile(CarSetup *setup, const char *path)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, path, SetupFileId, &version, SetupFileVersion, 0) != nullptr) {
        return 0;
    }
    int result = 0;
    CarSetup read = *setup;
    if (version < OldestFileVersion) {
        PrintLoadFileError(path);
    } else {
        result = ReadSetupRecord(&read, &stream, version);
        if (stream.overrun) {
            result = 0;   // a truncated file is not a set-up
        }
    }
    stream.Close();
    if (result) {
        *setup = read;
    }
    return result;
}
