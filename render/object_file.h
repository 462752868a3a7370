#pragma once

#include <cstdint>

#include "core/containers.h"

struct DataStream;
struct MenuPage;
struct Material;
struct ModelNode;

// 3D object files ("QZEOBJ"): every piece of 3D geometry that is not track
// geometry (car bodies, wheels, the helmet, the driver's body parts, objects
// placed on tracks). A file holds one object record and, recursively, its
// children. Positions are 16.16 fixed point (65536 per metre), angles
// unsigned 16-bit (65536 per turn). Objects are modelled for one side (x >= 0)
// and mirrored at x = 0 when built.

constexpr const char *ObjectFileId = "QZEOBJ";
constexpr int ObjectFileVersion = 251;     // the highest version read (and the one written)
constexpr int ObjectPartNamesVersion = 249; // roots carry part names from this version on
constexpr int MaxObjectLods = 4;
constexpr int ObjectPartCount = 32;
constexpr int ObjectPartNameLength = 8;
constexpr int ObjectNameLength = 16;
// In memory: "XXX_" (a car's code) and all 16 file bytes, always
// terminated; 16 bytes in the file.
constexpr int ObjectTextureNameLength = 21;
constexpr int ObjectSurfaceNameLength = 10;
constexpr int MaxObjectDepth = 16;           // deeper nesting is refused as damaged

// Object flags.
constexpr uint16_t ObjectMirroredChild = 0x01;   // built twice: itself and its mirror image in x
constexpr uint16_t ObjectNoGroupData = 0x40;     // the file has no smoothing-group block
constexpr uint16_t ObjectLightNamesFixed = 0x80; // the legacy light names were fixed
constexpr uint16_t ObjectDefaultFlags = 34;      // what InitObject3D sets

// Sub-kinds of a child.
constexpr uint8_t SubKindPlain = 1;
constexpr uint8_t SubKindMirrorImage = 2;  // mirrored when mirror-only parts are resolved
constexpr uint8_t SubKindNegateX = 3;      // its x position is negated then

// Point flags.
constexpr uint8_t PointHasTwin = 0x01;        // a mirrored twin exists at -x
constexpr uint8_t PointOnMirrorPlane = 0x02;  // both sides use one vertex

// Triangle flags.
constexpr uint8_t TriangleMirrored = 0x01;    // the triangle also exists mirrored at -x
constexpr uint8_t TriangleMirrorOnly = 0x10;  // the triangle exists only on the mirror side

// Triangle corners: a point index and two flag bits.
constexpr uint16_t CornerIndexMask = 0x3FFF;
constexpr uint16_t CornerShared = 0x4000;     // in memory only: shared by all repeated copies
constexpr uint16_t CornerTwin = 0x8000;       // use the point's mirrored twin

// Material flags.
constexpr uint8_t MaterialCutOut = 0x01;      // alpha-tested drawing, no separate pass

// Texture flags.
constexpr uint8_t TextureCarSpecific = 0x01;

struct ObjectPoint {
    uint8_t flags;
    uint8_t bone;              // index into the skeleton of a skinned model
    uint16_t vertexSlots[2];   // working slots of the model builder (unmirrored, mirrored side)
    int32_t x, y, z;
    void *flatData;            // the point's flattened data, set by the collision path
};

// As in the file.
struct ObjectTriangle {
    uint8_t flags;
    uint8_t part;              // 0..31
    uint8_t surface;           // column of the surface table
    uint8_t normalWeight;      // 0 weak
    int8_t lod;                // a negative level is never built
    uint8_t group;             // smoothing group
    uint16_t corners[3];
};
static_assert(sizeof(ObjectTriangle) == 12, "ObjectTriangle is stored as 12 bytes");

// A car-specific texture's name is the code of the car being loaded, "_" and
// the name from the file; any other name is the file's name.
struct ObjectTexture {
    uint8_t flags;
    uint8_t reserved[3];
    char name[ObjectTextureNameLength];
};

struct ObjectMaterial {
    char name[16];
    uint8_t flags;             // bit 0 cut-out; bits 5-7 go to the draw lists
    uint8_t orientation;       // texture orientation 0..7
    uint8_t texture;           // index into the texture list
    uint8_t environment;       // nonzero: sky or environment material
    uint8_t uRepeat, vRepeat, uOffset, vOffset;  // in 1/64 of the texture
    Material *textureMaterial; // resolved by the texture loader
};

struct ObjectMapping {
    char name[16];
    uint8_t projection;        // 0..6
    uint8_t reserved;
    uint8_t mirror;            // working flag of the builders; written as 0
    int8_t rotation;           // degrees, -90..90
    int32_t uMin, uMax, vMin, vMax;  // 16.16, in the projected plane
    uint32_t materials[2];     // material of unmirrored and of mirrored vertices
};

// Surface record (one cell of the surface table): bytes 0-2 colour, byte 3
// reserved, bytes 4-13 name (zero-padded, not always terminated), bytes 14-15
// the u16 index of the surface's mapping.
inline int SurfaceMapping(const GridCell &cell)
{
    return cell.bytes[14] | cell.bytes[15] << 8;
}

struct Object3D {
    char name[ObjectNameLength];
    uint8_t kind;
    uint8_t subKind;
    uint16_t lodCount;
    uint16_t flags;
    uint16_t pointCount;
    uint16_t triangleCount;
    uint16_t childCount;
    uint16_t groupCount;
    int32_t lodDistances[MaxObjectLods];  // far limit of each level, whole metres in 16.16
    uint16_t pitch, roll, heading;
    uint16_t reservedAngle;
    int32_t x, y, z;                     // position in the parent's frame
    // Surface table: surfaces.width rows (variants, e.g. colour schemes) of
    // surfaces.height columns (surfaces), row by row.
    CellGrid surfaces;
    ObjectPoint *points;
    ObjectTriangle *triangles;
    uint32_t textureCount;
    ObjectTexture *textures;
    uint32_t materialCount;
    ObjectMaterial *materials;
    uint32_t mappingCount;
    ObjectMapping *mappings;
    Object3D *children;                  // childCount records
    ModelNode *node;                     // the model node built from it
    char partNames[ObjectPartCount][ObjectPartNameLength];
};

// The surface of a row and column, or null outside the table.
GridCell *ObjectSurfaceCell(const Object3D *object, int row, int column);

// Clears a record: kind 0, sub-kind 1, one level, flags 34, nothing owned.
void InitObject3D(Object3D *object);
// Frees everything the record owns, the children recursively, and clears it.
void FreeObject3D(Object3D *object);

// Reads path into an initialised object. Returns 1, or 0 when the file could
// not be opened (the stream has then shown its message over the page) or is
// damaged; the object is then left empty, and the caller shows its
// "Could not open file :" text with the path. carCode, when given, names the
// car whose car-specific textures are loaded.
int ReadObjectFile(Object3D *object, MenuPage *page, const char *path, int resetOrientation, const char *carCode);

// Reads one record and its children from an open stream. role 2 is a wheel
// object inside car data; other roles read alike. Returns 1, or 0 for a
// damaged record (a count beyond the data left, a reference outside its
// table, a level count above 4, too deep nesting); the object is then empty.
int ReadObject3D(Object3D *object, DataStream *stream, int version, int resetOrientation, int role, int isRoot,
                 const char *carCode);

inline int IsMirroredPoint(const ObjectPoint &point)
{
    return point.flags & PointHasTwin;
}
inline int PointSharesMirrorVertex(const ObjectPoint &point)
{
    return (point.flags & PointOnMirrorPlane) >> 1;
}

// Mirrors the object and its children in x.
void MirrorObject3D(Object3D *object);
// Applies the mirror-only triangles and the sub-kinds of the children. Doing
// it twice restores the object.
void ResolveMirroredParts(Object3D *object);

// Replaces the points and triangles by n copies turned about the x axis
// (needs the trig tables). One object at a time: returns 0, changing nothing,
// while another repeat is pending or when n copies would not fit the
// 14-bit point index; else 1. FreeRepeatedCopies undoes it.
int RepeatObjectAroundAxis(Object3D *object, int n);
void FreeRepeatedCopies(Object3D *object, int n);

// Replaces every clock texture name of the tree (any of the six, compared
// without case) by the name of style 1..6; another style does nothing.
void SetClockTexture(Object3D *object, int style);
// The clock texture name of style 1..6, null for another style.
const char *ClockTextureName(int style);

// The track layer's substitution of advert texture names, applied to every
// name that is not car-specific as it is read (size is the name's buffer).
using TextureNameSubstitution = void (*)(char *name, int size);
void SetTextureNameSubstitution(TextureNameSubstitution substitute);
