#pragma once

#include <cstdint>

#include "core/containers.h"

struct DataStream;
struct SolidLink;

// Profile points and links that one lathe object may hold: the strip mesh
// builder and the hull builder keep room for this many points.
constexpr uint32_t MaxLathePoints = 64;
constexpr int32_t DefaultLatheSegments = 5;

// A lathe object: a profile of (radius, height) points in metres (the pairs
// of the table) turned about the vertical axis, with the links between
// profile points that become its surfaces. A duplicator holder of kind 1
// holds one. Like its base, it frees what it owns in Free.
class ObjectRecordList : public FloatPairTable {
public:
    uint32_t linkCount = 0;
    SolidLink *links = nullptr;   // owned; curveA and curveB are profile point indices
    char name[16] = {};
    int32_t segments = DefaultLatheSegments;

    // Reads the lathe record: name, segments, a spare word, the profile
    // points and the links. 0 on success; non-zero (and nothing kept) when
    // the record is damaged: a count that does not fit the bytes left, more
    // than MaxLathePoints points, a link naming a point the profile does not
    // have, or a read past the end.
    int Read(DataStream *stream, int version);
    void Free() override;
};
