#include "vehicle/car_curve.h"

#include <cstring>

#include "core/data_stream.h"

namespace {

constexpr int ReorderBelowVersion = 252;
constexpr int64_t SegmentFileSize = 8;

// The old point order put the first two points after the next two.
int32_t OldPointIndex(int32_t index)
{
    if (index < 2) {
        return index + 2;
    }
    if (index < 4) {
        return index - 2;
    }
    return index;
}

bool IsPositiveZero(float x)
{
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof(bits));
    return bits == 0;
}

}  // namespace

CarCurve::CarCurve() : segmentCount(0), extraCounts{}, segments(nullptr)
{
    materials.Init();
    FloatPairTable::Clear();
}

CarCurve::~CarCurve()
{
    CarCurve::Free();
}

void CarCurve::Free()
{
    delete[] segments;
    segments = nullptr;
    segmentCount = 0;
    std::memset(extraCounts, 0, sizeof(extraCounts));
    materials.Free();
    FloatPairTable::Free();
}

void ReadCurveSegment(CurveSegment *segment, DataStream *stream)
{
    segment->pointA = stream->ReadU16();
    segment->pointB = stream->ReadU16();
    segment->group = stream->ReadU16();
    segment->surface = stream->ReadU16();
}

int CarCurve::Read(DataStream *stream, int version)
{
    if (FloatPairTable::Read(stream) != 0 || materials.Read(stream) != 0) {
        Free();
        return 0;
    }
    if (materials.width > 1) {
        materials.width = 1;
    }

    const uint8_t inFile = static_cast<uint8_t>(stream->ReadU8());
    for (uint8_t &extra : extraCounts) {
        extra = static_cast<uint8_t>(stream->ReadU8());
    }
    if (stream->Remaining() < inFile * SegmentFileSize) {
        Free();
        return 0;
    }
    segmentCount = inFile;
    segments = inFile > 0 ? new CurveSegment[inFile] : nullptr;
    for (int i = 0; i < inFile; ++i) {
        ReadCurveSegment(&segments[i], stream);
    }
    if (stream->overrun) {
        Free();
        return 0;
    }

    if (version < ReorderBelowVersion && count >= 4 && IsPositiveZero(pairs[0].b)) {
        const FloatPair first = pairs[0];
        const FloatPair second = pairs[1];
        pairs[0] = pairs[2];
        pairs[1] = pairs[3];
        pairs[2] = first;
        pairs[3] = second;
        for (int i = 0; i < inFile; ++i) {
            segments[i].pointA = OldPointIndex(segments[i].pointA);
            segments[i].pointB = OldPointIndex(segments[i].pointB);
        }
    }

    // The rim builders index the points with these; anything else is damaged data.
    for (int i = 0; i < inFile; ++i) {
        const int64_t a = segments[i].pointA;
        const int64_t b = segments[i].pointB;
        if (a < 0 || b < 0 || a >= count || b >= count) {
            Free();
            return 0;
        }
    }
    return 1;
}
