#include "vehicle/car_data_file.h"

#include <cstring>

#include "core/data_stream.h"
#include "render/object_file.h"
#include "vehicle/setup_file.h"

namespace {

void WriteFloat(DataStream *stream, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    stream->WriteU32(bits);
}

void WriteFloats(DataStream *stream, const float *values, int n)
{
    for (int i = 0; i < n; ++i) {
        WriteFloat(stream, values[i]);
    }
}

// An object record with nothing in it: one level, no points, no lists. The
// rim object of a car without a drawn rim.
void WriteEmptyObjectRecord(DataStream *stream)
{
    stream->WriteZeros(ObjectNameLength);
    stream->WriteU16(ObjectNoGroupData | ObjectLightNamesFixed);
    stream->WriteU8(2);          // kind: wheel
    stream->WriteU8(0);          // sub-kind from the kind
    stream->WriteU16(1);         // one level
    stream->WriteU16(0);         // no groups
    stream->WriteU32(100u << 16);
    stream->WriteU16(0);         // points
    stream->WriteU16(0);         // triangles
    stream->WriteU16(0);         // children
    stream->WriteU16(0);
    stream->WriteZeros(8);       // pitch, roll, heading, reserved
    stream->WriteZeros(12);      // position
    stream->WriteU16(0);         // surface table 0 x 0
    stream->WriteU16(0);
    stream->WriteU32(0);         // textures
    stream->WriteU32(0);         // materials
    stream->WriteU32(0);         // mappings
}

void WriteRodEnd(DataStream *stream, const CarRodEnd &end)
{
    stream->WriteU32(static_cast<uint32_t>(end.x));
    stream->WriteU32(static_cast<uint32_t>(end.y));
    stream->WriteU32(static_cast<uint32_t>(end.z));
    WriteFloat(stream, end.radius);
    stream->WriteU16(end.flags);
    stream->WriteU8(end.kind);
    stream->WriteU8(end.spare);
}

void WriteRodLink(DataStream *stream, const CarRodLink &link)
{
    stream->WriteU16(static_cast<uint16_t>(link.ends[0]));
    stream->WriteU16(static_cast<uint16_t>(link.ends[1]));
    WriteFloat(stream, link.density);
    stream->WriteZeros(8);
    stream->WriteU32(link.flags);
}

void WriteCurve(DataStream *stream, const CarDataFile &data)
{
    stream->WriteU32(static_cast<uint32_t>(data.curvePoints.size()));
    for (const FloatPair &point : data.curvePoints) {
        WriteFloat(stream, point.a);
        WriteFloat(stream, point.b);
    }
    stream->WriteU16(data.curveMaterialWidth);
    stream->WriteU16(data.curveMaterialHeight);
    for (const GridCell &cell : data.curveMaterials) {
        stream->WriteBytes(cell.bytes, sizeof(cell.bytes));
    }
    stream->WriteU8(static_cast<int>(data.curveSegments.size()));
    stream->WriteBytes(data.curveExtraCounts, 3);
    for (const CurveSegment &segment : data.curveSegments) {
        stream->WriteU16(segment.pointA);
        stream->WriteU16(segment.pointB);
        stream->WriteU16(segment.group);
        stream->WriteU16(segment.surface);
    }
}

}  // namespace

int WriteCarDataFile(DataStream *stream, const CarDataFile &data)
{
    const size_t cellCount = static_cast<size_t>(data.curveMaterialWidth) * data.curveMaterialHeight;
    if (data.dashboard.size() > 255 || data.curveSegments.size() > 255 || data.curveMaterials.size() != cellCount) {
        return 0;
    }

    stream->WriteU32(data.flags);
    if (data.flags & CarFlagSecondWord) {
        stream->WriteU32(data.flags2);
    }
    stream->WriteU32(static_cast<uint32_t>(data.vehicleClass));
    stream->WriteU32(static_cast<uint32_t>(data.gearboxKind));
    stream->WriteU8(data.drivenAxles);
    stream->WriteBytes(data.unusedBytes, 3);
    stream->WriteU32(data.unusedWord);
    WriteEngineFigures(data.engine, *stream);

    stream->WriteU32(static_cast<uint32_t>(data.setups.size()));
    for (const NamedSetup &named : data.setups) {
        stream->WriteString(named.name, sizeof(named.name));
        WriteSetupRecord(named.setup, stream);
    }
    stream->WriteU32(static_cast<uint32_t>(data.colours.size()));
    for (const CarColours &colours : data.colours) {
        WriteColourRecord(colours, stream);
    }
    stream->WriteU32(data.unusedWord2);
    stream->WriteU32(static_cast<uint32_t>(data.partNames.size()));
    for (const CarPartName &part : data.partNames) {
        stream->WriteString(part.name, sizeof(part.name));
        stream->WriteU32(part.mask);
    }

    WriteFloats(stream, data.enginePosition, 3);
    WriteFloats(stream, data.driverSeat, 3);
    if (data.flags & CarFlagRearSeats) {
        WriteFloats(stream, data.rearSeat, 3);
    }
    WriteFloats(stream, data.tankPosition, 3);
    WriteFloats(stream, data.furtherMass, 4);
    WriteFloats(stream, data.spareWheel, 4);
    WriteFloats(stream, data.drawingValues, 3);
    if (data.flags & CarFlagExtraFloat) {
        WriteFloat(stream, data.extraFloat);
    }
    if (data.flags & CarFlagTankSize) {
        WriteFloat(stream, data.tankSize);
    }
    WriteFloats(stream, data.shiftFloats, 3);
    stream->WriteU32(data.aidFlags);
    if (data.aidFlags != 0) {
        stream->WriteU32(data.aidWords[0]);
        stream->WriteU32(data.aidWords[1]);
    }
    stream->WriteU8(data.modelVariant);
    stream->WriteU8(static_cast<int>(data.dashboard.size()));
    stream->WriteBytes(data.dataBytes, 2);
    if (!data.dashboard.empty()) {
        stream->WriteBytes(data.dashboard.data(), static_cast<int>(data.dashboard.size()));
    }
    stream->WriteU32(data.unusedWords[0]);
    stream->WriteU32(data.unusedWords[1]);
    stream->WriteBytes(data.shortName, 4);
    stream->WriteBytes(data.setupRanges, 8);

    stream->WriteU32(data.gearCount);
    WriteFloat(stream, data.reverseRatio);
    stream->WriteBytes(data.animationName, 8);
    for (const uint8_t(&colour)[4] : data.materialColours) {
        stream->WriteBytes(colour, 4);
    }
    stream->WriteBytes(data.familyCode, 4);

    stream->WriteU32(static_cast<uint32_t>(data.rodEnds.size()));
    for (const CarRodEnd &end : data.rodEnds) {
        WriteRodEnd(stream, end);
    }
    stream->WriteU32(static_cast<uint32_t>(data.rodLinks.size()));
    for (const CarRodLink &link : data.rodLinks) {
        WriteRodLink(stream, link);
    }
    stream->WriteU32(static_cast<uint32_t>(data.wheels.size()));
    for (const CarDataFile::Wheel &wheel : data.wheels) {
        WriteFloats(stream, wheel.restPosition, 3);
    }
    for (const RimDataFields &axle : data.axles) {
        RimData record;
        static_cast<RimDataFields &>(record) = axle;
        record.hubNode = nullptr;
        record.rimNode = nullptr;
        record.Write(*stream);
    }
    stream->WriteBytes(data.rimBytes, 4);
    if (data.rimObject && data.writeRimObject) {
        data.writeRimObject(*data.rimObject, *stream, 0);
    } else {
        WriteEmptyObjectRecord(stream);
    }
    WriteCurve(stream, data);
    for (const float(&surface)[3] : data.aero) {
        WriteFloats(stream, surface, 3);
    }
    return stream->writeError ? 0 : 1;
}

int SaveCarDataFile(const char *path, const CarDataFile &data)
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, path, CarDataFileId, CarDataFileVersion) != nullptr) {
        return 0;
    }
    const int written = WriteCarDataFile(&stream, data);
    const int closeFailed = stream.Close();
    return written && !closeFailed ? 1 : 0;
}
