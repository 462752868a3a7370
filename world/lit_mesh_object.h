#pragma once

#include <cstdint>

#include "world/world_object.h"

class ObjectMeshPart;
struct DataStream;
struct SolidLink;

constexpr int MeshLevelCount = 4;
// The mesh number of a level that no combined world mesh holds.
constexpr int32_t NoCombinedMesh = -1;

// Pre-computed lighting of one detail level. Lists 2 and 3 are kept for
// level 0 only; every list with a count of 0 is null.
struct LightingRecord {
    uint32_t count2;
    uint32_t count1;
    uint32_t *list2;   // owned
    uint32_t *list1;   // owned
    uint32_t count3;
    uint32_t list3Extra;
    uint32_t *list3;   // owned
};

// Bits of LightingSlot::flags.
constexpr uint32_t LightingHasLists = 1;
constexpr uint32_t LightingListsAllocated = 2;

// The lighting of one object under one light scheme.
struct LightingSlot {
    float value;               // handed to the mesh builders with the lists
    uint32_t flags;            // LightingHasLists, LightingListsAllocated
    LightingRecord *records;   // owned block of MeshLevelCount records, or null
};

// One detail level of a lit-mesh object.
struct MeshSlot {
    int32_t meshNumber;    // the combined world mesh holding it, or NoCombinedMesh
    uint32_t partHandle;   // its part in that combined mesh
    int32_t maxDistance;   // 16.16: used while the level distance is at most this
    uint16_t segments;     // segment count, for the kinds that need one
    uint16_t second;
};

// The objects that carry a built mesh with per-light-scheme lighting:
// placed 3D objects and solids.
class LitMeshObject : public WorldObject {
public:
    // Without LoadingWorldObjects the object gets a zeroed lighting slot for
    // every light scheme of the current world at once; while the loader runs
    // it leaves the lighting to the loader (AllocateLighting).
    LitMeshObject();

    // Frees the dynamic mesh, every scheme's lighting and the slot array.
    void Release() override;
    int HasLitMesh() const override { return 1; }

    // Replaces the lighting with count zeroed slots (none for count <= 0).
    void AllocateLighting(int count);
    // Reads the lighting record of one light scheme into that scheme's slot.
    // 0 on success; non-zero when the scheme has no slot or the record is
    // damaged (a list count that does not fit the bytes left, a read past
    // the end), in which case the slot is left without lighting.
    int ReadLighting(DataStream *stream, int version, int scheme);
    // The record of a level for the world's current light scheme when that
    // slot holds read lists, else null.
    const LightingRecord *GetLightingLists(int level) const;
    // Frees one scheme's lists and records; the slot keeps its value only.
    void FreeLighting(int scheme);
    // Drops the dynamic mesh, frees every scheme's lighting and, when asked,
    // prepares the object again.
    void Rebuild(int prepare);
    void ReleaseDynamicMesh();

    uint8_t knocked = 0;
    uint8_t frozen = 0;
    uint8_t drawMode = 0;            // 0 at once, 1 depth-sorted list, 2 unsorted list
    int32_t lightingCount = 0;       // slots in lighting
    LightingSlot *lighting = nullptr;   // owned, one per light scheme
    uint8_t levelCount = 0;          // used levels, 1..4
    uint8_t distanceFlag = 0;        // 1: the level follows the distance
    uint8_t spareBytes[2] = {0, 0};
    MeshSlot levels[MeshLevelCount];
    ObjectMeshPart *dynamicMesh = nullptr;   // owned
};

// Reads one link of a solid or lathe object. A link whose two curve indices
// are equal is followed by two u32 whose low bytes are the real indices (the
// record then takes 16 bytes). 0, or non-zero after a read past the end.
int ReadSolidLink(DataStream *stream, SolidLink &link);
