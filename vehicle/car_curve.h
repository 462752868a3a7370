#pragma once

#include <cstdint>

#include "core/containers.h"

struct DataStream;

// One segment of a car curve: two profile point indices, then the smoothing
// group and the surface column of the rim material cells. Stored in the car
// data as four 16-bit signed numbers.
struct CurveSegment {
    int32_t pointA;
    int32_t pointB;
    int32_t group;
    int32_t surface;
};
static_assert(sizeof(CurveSegment) == 16, "a curve segment is four 32-bit values");

// The profile from which a car's rims are built: the two-dimensional profile
// points (the pair table), segments between them and the rim's material cells.
// File form in the car data: u32 point count and the points (two f32 each),
// u16 width, u16 height and the 16-byte material cells, four u8 (segmentCount
// first), then segmentCount segments of four i16.
class CarCurve final : public FloatPairTable {
public:
    uint8_t segmentCount;
    uint8_t extraCounts[3];     // read with the segment count and kept
    CurveSegment *segments;     // new[]-allocated, null when there are none
    CellGrid materials;         // width at most 1 after reading

    CarCurve();
    ~CarCurve();
    CarCurve(const CarCurve &) = delete;
    CarCurve &operator=(const CarCurve &) = delete;

    // Frees segments, material cells and points; the curve is empty again.
    void Free() override;

    // Reads an empty curve from the car data of the given version. Data below
    // version 252 whose point 0 has a second coordinate of exactly +0.0 (and
    // that has at least 4 points) is reordered: points 2, 3, 0, 1 come first,
    // and the segments' point indices follow them. Returns 1, or 0 (the curve
    // left empty) when a count asks for more than the stream holds, the
    // stream ran past its end, or a segment's point index is not a point.
    int Read(DataStream *stream, int version);
};

// Reads the four i16 values of one segment, each sign-extended.
void ReadCurveSegment(CurveSegment *segment, DataStream *stream);
