#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "vehicle/contact_probe.h"

struct DataStream;

// The type codes of placed world objects, as stored in the world file. Codes
// 0 to 3 and 12 name no kind.
enum WorldObjectType {
    ObjectDuplicator = 4,
    ObjectWindRotor = 5,
    ObjectFigure = 6,
    ObjectZone = 7,
    ObjectPanel = 8,
    ObjectSolid = 9,
    ObjectCamera = 10,
    ObjectTree = 11,
    ObjectCrowd = 13,
    ObjectFlag = 14,
    ObjectStartGrid = 15,
};

// Every config mask read from a file has bits 0 and 16 set.
constexpr uint32_t ConfigMaskAlways = 0x10001u;
constexpr uint32_t ConfigMaskAll = 0xFFFFFFFFu;
constexpr int MaxConfigNumber = 15;

// Whether an object with this config mask exists in configuration config
// (1-based) driven forwards (bit config) or reversed (bit 16 + config). Every
// per-configuration test goes through here. A configuration number outside
// 0..15 is in no mask.
int ConfigMaskHas(uint32_t mask, int config, int reversed);

// Anything placed on a track. The world owns every object in its pointer
// array; removing one is Release followed by delete.
class WorldObject {
public:
    WorldObject();

    // The operations in their fixed order; the base behaviour is what a kind
    // gets when it does not answer the question.
    virtual void Release() {}                      // frees what the object owns, not itself
    virtual void Draw() {}
    // (x, y) and margin in 16.16: non-zero when the ground point lies within
    // the footprint widened by margin.
    virtual int IsPointInside(int32_t x, int32_t y, int32_t margin);
    // The probe segment endPoint - segment .. endPoint against the surface;
    // the bump pointers are the caller's bump state or all null. Non-zero when
    // the probe's record was improved.
    virtual int Contact(const FixVector &endPoint, const FixVector &segment, ContactProbe &probe,
                        uint32_t *bumpKind, int32_t *bumpWeight, int32_t *bumpHeight);
    // Reads the kind's own record. 0 on success; non-zero when the record is
    // damaged (a count that does not fit the bytes left, a read past the end).
    virtual int Read(DataStream *stream, int version) = 0;
    // position = (x, y, 0) in 16.16; heading in radians (0 for kinds without).
    virtual void GetPosition(int32_t position[3], float &heading) const;
    // Takes x and y; kinds with a heading keep it.
    virtual void SetPosition(const int32_t position[3], float heading);
    virtual int GetType() const = 0;
    virtual int HasLitMesh() const { return 0; }
    // Centre, radius and bounds (and whatever the kind derives from its record).
    virtual void Prepare() = 0;
    virtual int IsSolid() const { return 0; }
    // Builds the mesh of one detail level, or with modes 3 and 4 only measures it.
    virtual void Build(int /*level*/, int /*mode*/) {}

    virtual ~WorldObject() = default;

    int32_t positionX = 0, positionY = 0;            // 16.16 ground position
    int32_t centreX = 0, centreY = 0, centreZ = 0;   // 16.16 bounding sphere centre
    int32_t radius = 0;                              // 16.16; 0 = never culled by distance
    uint8_t stateFlags = 0;                          // bit 2 (4): prepared / header flag bit 2
    uint8_t reachRadius = 0;                         // units of 655/65536 m; 0 = none
    uint8_t spare[2] = {0, 0};
    uint32_t configMask = ConfigMaskAll;
    int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;  // 16.16 bounds
};

// A kind that keeps a heading of its own (panels, zones, cameras, start
// grids): the position calls carry it.
class HeadedWorldObject : public WorldObject {
public:
    void GetPosition(int32_t position[3], float &heading) const override;
    void SetPosition(const int32_t position[3], float heading) override;

    float heading = 0.0f;  // radians
};

// Set by the world loader around its calls of CreateWorldObject: lit-mesh
// objects then leave their lighting array for the loader to fill.
extern int LoadingWorldObjects;

// An object header as the world file stores it, before the kind's record.
struct WorldObjectHeader {
    int type;
    uint8_t flags;
    uint8_t reachRadius;
    uint32_t configMask;
    int32_t x, y;       // 16.16; 0 for type 9, which stores no position
};

// Reads the header in the form of the file's version (251 and later, or the
// older form with the forward/reverse mask word). 0, or non-zero when the
// stream ran out.
int ReadWorldObjectHeader(DataStream *stream, int version, WorldObjectHeader &header);

// What CreateWorldObject reports besides the object.
enum WorldObjectError {
    WorldObjectOk = 0,
    WorldObjectUnknownType,   // the type code names no kind that can be built
    WorldObjectTruncated,     // the header ran past the end of the data
    WorldObjectBadRecord,     // the kind's record was refused as damaged
};

struct WorldObjectResult {
    WorldObject *object;   // null unless error is WorldObjectOk
    int error;
    int type;              // the header's type code, for the error message
};

// Reads one object (header and record) and returns it for the caller to
// store. An unknown type code or a damaged record is an error with the type
// code; the loader then fails the load and stores nothing.
WorldObjectResult CreateWorldObject(DataStream *stream, int version);
