#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "world/lit_mesh_object.h"

class RigidBody;
struct ObjectHolder;

// The duplicator index of a copy that has none.
constexpr uint16_t NoDuplicator = 65535;

// Duplicator flag bits.
constexpr uint32_t DuplicatorNone = 1u << 3;          // the record's index is not taken up
constexpr uint32_t DuplicatorStartLamp = 1u << 5;
constexpr uint32_t DuplicatorPosition = 1u << 6;      // start or pit position / layout start point
constexpr uint32_t DuplicatorPitPosition = 1u << 7;   // with DuplicatorPosition
constexpr uint32_t DuplicatorCheckpoint = 1u << 8;    // layout markers
constexpr uint32_t DuplicatorOwnHeading = 1u << 9;    // keeps its own heading at a pit position

// Bytes of the record after the header and position.
constexpr int DuplicatorRecordSize = 24;

// Detail-level distances are capped at this bounding radius (64 m).
constexpr int32_t DuplicatorLevelRadiusCap = 64 * 65536;

// A placed copy of a duplicator holder's object: a building, barrier, cone,
// start lamp or marker; every layout object is one too. Copies of movable
// holders get a physics body.
class DuplicatorObject : public LitMeshObject {
public:
    DuplicatorObject(int32_t x, int32_t y);

    void Release() override;
    // Refuses an index at or beyond the current world's duplicator count
    // (65535 alone means none) as a damaged record.
    int Read(DataStream *stream, int version) override;
    void GetPosition(int32_t position[3], float &heading) const override;
    void SetPosition(const int32_t position[3], float heading) override;
    int GetType() const override { return ObjectDuplicator; }
    // Bounds, centre, bounding radius and detail levels from the holder.
    void Prepare() override;

    // The holder of the current world this copy shows, or null.
    ObjectHolder *GetHolder() const;
    // Takes up the holder with this index: flag bit 3 and bits 16..31 are
    // cleared and the dynamic mesh dropped.
    void AssignDuplicator(uint16_t index);
    // Forgets the duplicator: index 65535, lit mesh rebuilt, body freed.
    void ClearDuplicator();
    // Drops the dynamic mesh so that the next draw builds it at the new place.
    void ReleaseMeshForMove();
    // The physics body of a copy of a movable holder, at its placed position
    // and at rest. A holder whose object yields no hull, or whose mass cannot
    // be computed, gets none: the message line names the object and the
    // reason.
    void CreateBody();
    void FreeBody();
    // Rotation (scaled by the holder's scale) and position of the copy.
    void PlacementTransform(float scale, FixTransform &out) const;

    uint16_t duplicator = NoDuplicator;
    uint8_t number = 0;        // checkpoint number of a marker, or position number 1..32
    uint8_t markerWidth = 0;   // 0..15
    float heading = 0.0f;      // radians
    float pitch = 0.0f;
    float roll = 0.0f;
    float height = 0.0f;       // metres above z = 0
    uint32_t flags = DuplicatorNone;
    RigidBody *body = nullptr; // owned
};
