#pragma once

#include <cstdint>

#include "core/containers.h"

struct DataStream;
struct ModelNode;

// The axle record of the car data: tyre and rim sizes, a few style bytes for
// drawing the wheel, and the axle's suspension geometry values. 64 bytes in
// every file version; the layout is in docs/rim_record.md.
constexpr int RimRecordSize = 64;
constexpr int RimOptionBytesVersion = 251;   // older records hold a dropped float instead

// The rim repeat count of the car data (how many times the rim object is
// turned about the axle) outside 2..22 gives 2.
constexpr int MinRimRepeatCount = 2;
constexpr int MaxRimRepeatCount = 22;
int RimRepeatCount(int stored);
// The segment count of the drawn rim for a repeat count (2..22; outside:
// that of 2): a multiple of the spoke count near 30 keeps the spokes and the
// rim's facets in step.
int RimSegmentCount(int repeatCount);

// The drawn cross-section of tyre and rim: points of the section (rings,
// each turned about the wheel axis when drawn) joined by faces. Faces 0..8
// are the tyre, the later ones the rim. Built by the scene from the rim
// curve (scene/rim_models.h).
constexpr int MaxProfileRings = 64;
constexpr int MaxProfileFaces = 32;
constexpr int TyreProfileFaces = 9;

struct ProfileRing {
    float offset;        // along the axle from the wheel's centre plane, metres
    float radius;        // metres
    float normal[2];     // offset part, radial part
    float v;             // texture v
    // Colour bytes 0-2 and a fourth byte, in the form of a surface record so
    // that the rim node's vertices can point at it.
    GridCell colour;
    uint8_t kind;        // 0 rim surface, 1 rim edge or crease, 2 tyre side, 3 tread
    uint8_t linkA;       // the two rings that rebuild a squashed tyre side's normal
    uint8_t linkB;
};

struct ProfileFace {
    uint32_t ringA;
    uint32_t ringB;
    float normal[2];     // unit, offset part and radial part
    float axisCrossing;  // where the face's line meets the axle (0 for a face parallel to it)
    float slope;         // the face's slope, sign-adjusted (0 for a face parallel to the axle)
};

// Everything of the record that ClearRimProfile zeroes.
struct RimDataFields {
    // As stored, in file order (offsets in the record).
    float tyreWidth;         // 0: W, metres
    float aspect;            // 4: A, sidewall height over tyre width
    float rimRadius;         // 8: r, metres
    float rimWidth;          // 12: w, metres
    // 16: description bytes for drawing. 0 free for the car data; 1 millimetres
    // added to the half width of the rim edge; 2 depth in millimetres of a
    // flange ring pair below the flange (0 none); 3 nonzero for a creased
    // sidewall.
    uint8_t style[4];
    float travelReference;   // 20: travel reference height, metres
    float inclination;       // 24: steering-axis inclination psi, radians
    // 28: option bytes, all 0 in records older than version 251.
    uint8_t seatInset;       // millimetres by which the rim seat lies inside the rim radius (description)
    uint8_t darkening;       // darkening scale of the rim colours in tenths (description)
    uint8_t suspensionType;  // 0..5
    int8_t secondArmAngle;   // tenths of a degree
    float trackWidth;        // 32: q, metres
    float armBaseAngle;      // 36: radians
    float hubOffset;         // 40: p, metres; also the lateral offset d of the bounding radius
    float pivotHeight;       // 44: metres
    float probeStartOffset;  // 48: metres, as stored
    float firstArmLength;    // 52: metres
    float secondArmLength;   // 56: metres
    float uprightLength;     // 60: metres

    // Derived.
    int32_t probeStart;      // probeStartOffset in 16.16
    int32_t tyreType;        // row of TyreTypeTable, set by the car from its set-up
    int32_t roundCrown;
    float outerRadius;       // R, metres
    float crownRadius;       // c, metres
    float treadWidth;        // 2 s, metres
    int32_t boundingRadius;  // 16.16
    int32_t detailDistance;  // 16.16
    // Vertical stiffness factor, contact-area factor, tyre damping.
    float tyreValues[3];
    // Set by the car's set-up application. The two areas are those of one of
    // the 16 tread segments, 16 times larger while the car is remote (one
    // segment then stands for the whole tread).
    float rimVolume;         // m^3
    float treadSectionArea;  // m^2, one of the three lateral sections
    float sidewallArea;      // m^2

    // The drawn hub and rim; null until the car builds its render parts.
    // Owned by the RimData (FreeMeshes deletes them).
    ModelNode *hubNode;
    ModelNode *rimNode;

    // The drawn cross-section; empty until the car builds its rim models
    // with drawing on.
    int32_t ringCount;
    int32_t faceCount;
    ProfileRing rings[MaxProfileRings];
    ProfileFace faces[MaxProfileFaces];
};

struct RimData : RimDataFields {
    RimData() : RimDataFields{} {}
    ~RimData() { FreeMeshes(); }
    RimData(const RimData &) = delete;
    RimData &operator=(const RimData &) = delete;

    // Reads the 64-byte record of a car data stream of the given version.
    // The meshes are freed; the tyre profile is left as it was.
    void Read(DataStream &stream, int version);
    // Writes the record in its current form (with option bytes).
    void Write(DataStream &stream) const;
    // Frees both drawn nodes and sets them to null.
    void FreeMeshes();
};

// Frees the meshes and zeroes every field.
void ClearRimProfile(RimData &rim);

// Computes from W, A, r and the factor of the tyre type (TyreTypeTable row
// rim.tyreType): R, c, the tread width, the three tyre values, the bounding
// radius (the wheel turned about its centre, reaching lateralOffset to the
// side) and the detail distance; stores the round crown flag. Returns 1, or 0
// when the values give no tyre shape (a value not finite, W, A or r not above
// 0, the tyre type outside the table, the sidewall shoulder not above the rim
// flange, or no tread left beside the shoulders): the derived values are then
// all zero.
int ComputeTyreProfile(RimData &rim, float lateralOffset, int roundCrown);
