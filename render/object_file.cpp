#include "render/object_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "core/text_utils.h"

namespace {

// File sizes of the records.
constexpr int PointSize = 16;
constexpr int TriangleSize = 12;
constexpr int GroupSize = 4;
constexpr int TextureSize = 20;
constexpr int MaterialSize = 24;
constexpr int MappingSize = 44;
// The smallest object record: one level, no points, triangles, surfaces or
// lists. A child count is checked against it before anything is allocated.
constexpr int MinimumRecordSize = 72;

// Styles 1 to 6; the sixth is the dial of the Brisa Prototype.
const char *const ClockTextureNames[] = {"s_clock", "s_clock_white", "s_clock_formula", "s_clock_f1",
                                         "s_clock_f3", "s_clock_bpr"};
constexpr int ClockStyleCount = sizeof(ClockTextureNames) / sizeof(ClockTextureNames[0]);

// Names of the render textures that a mirrored mapping must keep readable.
const char *const SpecialTextureNames[] = {"s_sky", "s_env", "s_plate", "s_plate_atest", "s_mirr"};

TextureNameSubstitution SubstituteTextureName = nullptr;

// The arrays that a pending repeat replaced.
struct RepeatState {
    Object3D *object = nullptr;
    ObjectPoint *points = nullptr;
    ObjectTriangle *triangles = nullptr;
};
RepeatState PendingRepeat;

bool Fits(const DataStream *stream, uint64_t count, int size)
{
    const int64_t remaining = stream->Remaining();
    return remaining >= 0 && count * static_cast<uint64_t>(size) <= static_cast<uint64_t>(remaining);
}

// A fixed text field: n bytes, the last one always read as zero.
void ReadName(DataStream *stream, char *out, int n)
{
    stream->ReadBytes(out, n);
    out[n - 1] = 0;
}

bool EndsWithNoCase(const char *text, const char *suffix)
{
    const size_t length = std::strlen(text);
    const size_t suffixLength = std::strlen(suffix);
    return length >= suffixLength && EqualsNoCase(text + length - suffixLength, suffix);
}

bool HasAlphaSuffix(const char *name)
{
    return EndsWithNoCase(name, "ALPHA") || EndsWithNoCase(name, "ALP15") || EndsWithNoCase(name, "ALP24");
}

// 0 plain, 1 alpha-tested, 2 alpha-blended, 3 an alpha-blended special texture.
int AlphaClass(const char *name)
{
    if (std::strlen(name) < 6) {
        return 0;
    }
    if (EndsWithNoCase(name, "ATEST")) {
        return 1;
    }
    if (!HasAlphaSuffix(name)) {
        return 0;
    }
    return (name[0] == 's' || name[0] == 'S') && name[1] == '_' ? 3 : 2;
}

bool IsClockTextureName(const char *name)
{
    for (const char *clock : ClockTextureNames) {
        if (EqualsNoCase(name, clock)) {
            return true;
        }
    }
    return false;
}

bool IsSpecialTextureName(const char *name)
{
    for (const char *special : SpecialTextureNames) {
        if (EqualsNoCase(name, special)) {
            return true;
        }
    }
    return IsClockTextureName(name);
}

// ------------------------------------------------------------ reading lists

void ReadPoints(Object3D *object, DataStream *stream)
{
    object->points = object->pointCount > 0 ? new ObjectPoint[object->pointCount] : nullptr;
    for (int i = 0; i < object->pointCount; ++i) {
        ObjectPoint &point = object->points[i];
        point.flags = static_cast<uint8_t>(stream->ReadU8());
        point.bone = static_cast<uint8_t>(stream->ReadU8());
        stream->ReadU16();  // reserved
        point.vertexSlots[0] = 0;
        point.vertexSlots[1] = 0;
        point.x = static_cast<int32_t>(stream->ReadU32());
        point.y = static_cast<int32_t>(stream->ReadU32());
        point.z = static_cast<int32_t>(stream->ReadU32());
        point.flatData = nullptr;
    }
}

void ReadTriangles(Object3D *object, DataStream *stream)
{
    object->triangles = object->triangleCount > 0 ? new ObjectTriangle[object->triangleCount] : nullptr;
    for (int i = 0; i < object->triangleCount; ++i) {
        ObjectTriangle &triangle = object->triangles[i];
        triangle.flags = static_cast<uint8_t>(stream->ReadU8());
        triangle.part = static_cast<uint8_t>(stream->ReadU8());
        triangle.surface = static_cast<uint8_t>(stream->ReadU8());
        triangle.normalWeight = static_cast<uint8_t>(stream->ReadU8());
        triangle.lod = static_cast<int8_t>(stream->ReadU8());
        triangle.group = static_cast<uint8_t>(stream->ReadU8());
        for (uint16_t &corner : triangle.corners) {
            corner = static_cast<uint16_t>(stream->ReadU16());
        }
    }
}

void ReadTextures(Object3D *object, DataStream *stream, const char *carCode)
{
    object->textures = object->textureCount > 0 ? new ObjectTexture[object->textureCount] : nullptr;
    for (uint32_t i = 0; i < object->textureCount; ++i) {
        ObjectTexture &texture = object->textures[i];
        texture.flags = static_cast<uint8_t>(stream->ReadU8());
        stream->ReadBytes(texture.reserved, 3);
        // All 16 name bytes are kept: the field has room for "XXX_", the 16
        // bytes and the terminating zero.
        char fileName[17];
        stream->ReadBytes(fileName, 16);
        fileName[16] = 0;
        std::memset(texture.name, 0, sizeof(texture.name));
        if ((texture.flags & TextureCarSpecific) && carCode && carCode[0]) {
            // The car's three-letter code, "_" and the name (cut to fit).
            int length = 0;
            while (length < 3 && carCode[length]) {
                texture.name[length] = carCode[length];
                ++length;
            }
            texture.name[length++] = '_';
            CopyString(texture.name + length, fileName, ObjectTextureNameLength - length);
        } else {
            CopyString(texture.name, fileName, ObjectTextureNameLength);
            if (!(texture.flags & TextureCarSpecific) && SubstituteTextureName) {
                SubstituteTextureName(texture.name, ObjectTextureNameLength);
                texture.name[ObjectTextureNameLength - 1] = 0;
            }
        }
    }
}

void ReadMaterials(Object3D *object, DataStream *stream)
{
    object->materials = object->materialCount > 0 ? new ObjectMaterial[object->materialCount] : nullptr;
    for (uint32_t i = 0; i < object->materialCount; ++i) {
        ObjectMaterial &material = object->materials[i];
        ReadName(stream, material.name, sizeof(material.name));
        material.flags = static_cast<uint8_t>(stream->ReadU8());
        material.orientation = static_cast<uint8_t>(stream->ReadU8());
        material.texture = static_cast<uint8_t>(stream->ReadU8());
        material.environment = static_cast<uint8_t>(stream->ReadU8());
        material.uRepeat = static_cast<uint8_t>(stream->ReadU8());
        material.vRepeat = static_cast<uint8_t>(stream->ReadU8());
        material.uOffset = static_cast<uint8_t>(stream->ReadU8());
        material.vOffset = static_cast<uint8_t>(stream->ReadU8());
        material.textureMaterial = nullptr;
    }
}

void ReadMappings(Object3D *object, DataStream *stream)
{
    object->mappings = object->mappingCount > 0 ? new ObjectMapping[object->mappingCount] : nullptr;
    for (uint32_t i = 0; i < object->mappingCount; ++i) {
        ObjectMapping &mapping = object->mappings[i];
        ReadName(stream, mapping.name, sizeof(mapping.name));
        mapping.projection = static_cast<uint8_t>(stream->ReadU8());
        mapping.reserved = static_cast<uint8_t>(stream->ReadU8());
        mapping.mirror = static_cast<uint8_t>(stream->ReadU8());
        mapping.rotation = static_cast<int8_t>(stream->ReadU8());
        mapping.uMin = static_cast<int32_t>(stream->ReadU32());
        mapping.uMax = static_cast<int32_t>(stream->ReadU32());
        mapping.vMin = static_cast<int32_t>(stream->ReadU32());
        mapping.vMax = static_cast<int32_t>(stream->ReadU32());
        mapping.materials[0] = stream->ReadU32();
        mapping.materials[1] = stream->ReadU32();
    }
}

// Reads a u32 list count and checks that many records fit in the data left.
bool ReadListCount(DataStream *stream, uint32_t *count, int recordSize)
{
    *count = stream->ReadU32();
    if (!Fits(stream, *count, recordSize)) {
        *count = 0;
        return false;
    }
    return true;
}

// Every index that the builders follow must stay inside its table: triangle
// corners, parts and surfaces, the mappings of the surfaces that triangles
// use, the materials of every mapping and the texture of every material.
bool ReferencesValid(const Object3D *object)
{
    const int rows = object->surfaces.width;
    const int columns = object->surfaces.height;
    if (object->triangleCount > 0 && rows == 0) {
        return false;
    }
    for (int i = 0; i < object->triangleCount; ++i) {
        const ObjectTriangle &triangle = object->triangles[i];
        if (triangle.part >= ObjectPartCount || triangle.surface >= columns) {
            return false;
        }
        for (uint16_t corner : triangle.corners) {
            if ((corner & CornerIndexMask) >= object->pointCount) {
                return false;
            }
        }
        for (int row = 0; row < rows; ++row) {
            if (static_cast<uint32_t>(SurfaceMapping(object->surfaces.cells[row * columns + triangle.surface])) >=
                object->mappingCount) {
                return false;
            }
        }
    }
    for (uint32_t i = 0; i < object->mappingCount; ++i) {
        const ObjectMapping &mapping = object->mappings[i];
        if (mapping.materials[0] >= object->materialCount || mapping.materials[1] >= object->materialCount) {
            return false;
        }
    }
    for (uint32_t i = 0; i < object->materialCount; ++i) {
        if (object->materials[i].texture >= object->textureCount) {
            return false;
        }
    }
    return true;
}

// --------------------------------------------------------------- fix-ups

void SetSurfaceName(GridCell &cell, const char *name)
{
    std::memset(cell.bytes + 4, 0, ObjectSurfaceNameLength);
    std::memcpy(cell.bytes + 4, name, std::min<size_t>(std::strlen(name), ObjectSurfaceNameLength));
}

bool SurfaceNameIs(const GridCell &cell, const char *name)
{
    char text[ObjectSurfaceNameLength + 1] = {};
    std::memcpy(text, cell.bytes + 4, ObjectSurfaceNameLength);
    return std::strcmp(text, name) == 0;
}

// A wheel in car data whose first texture has no name gets the default look.
void ApplyWheelDefault(Object3D *object)
{
    if (object->textureCount == 0 || object->textures[0].name[0] != 0) {
        return;
    }
    CopyString(object->textures[0].name, "WHEEL", ObjectTextureNameLength);
    if (object->materialCount > 0) {
        ObjectMaterial &material = object->materials[0];
        CopyString(material.name, "PLAIN SHINY", sizeof(material.name));
        material.uRepeat = 2;
        material.vRepeat = 2;
        material.uOffset = 0;
        material.vOffset = 62;
    }
    if (object->mappingCount > 0) {
        ObjectMapping &mapping = object->mappings[0];
        CopyString(mapping.name, "RIM", sizeof(mapping.name));
        mapping.projection = 3;
        mapping.uMin = -32768;
        mapping.uMax = 32768;
        mapping.vMin = -32768;
        mapping.vMax = 32768;
    }
    if (GridCell *surface = ObjectSurfaceCell(object, 0, 0)) {
        SetSurfaceName(*surface, "M2spoke");
    }
}

void RemoveTrianglesOfSurface(Object3D *object, int surface)
{
    int i = 0;
    while (i < object->triangleCount) {
        if (object->triangles[i].surface == surface) {
            object->triangles[i] = object->triangles[object->triangleCount - 1];
            --object->triangleCount;
        } else {
            ++i;
        }
    }
}

// Kind 1: every material is cut out; the brake disc is drawn elsewhere, so
// the triangles of the last disc surface go.
void FixKindOne(Object3D *object)
{
    int disc = -1;
    for (uint32_t i = 0; i < object->materialCount; ++i) {
        ObjectMaterial &material = object->materials[i];
        material.flags |= MaterialCutOut;
        if (EqualsNoCase(material.name, "Disc")) {
            material.uRepeat = 64;
            material.vRepeat = 64;
            material.uOffset = 0;
            material.vOffset = 0;
            disc = static_cast<int>(i);
        }
    }
    if (disc < 0) {
        return;
    }
    int mapping = -1;
    for (uint32_t i = 0; i < object->mappingCount; ++i) {
        const uint32_t *materials = object->mappings[i].materials;
        if (materials[0] == static_cast<uint32_t>(disc) || materials[1] == static_cast<uint32_t>(disc)) {
            mapping = static_cast<int>(i);
        }
    }
    int surface = -1;
    for (int column = 0; mapping >= 0 && column < object->surfaces.height; ++column) {
        if (SurfaceMapping(*ObjectSurfaceCell(object, 0, column)) == mapping) {
            surface = column;
        }
    }
    if (surface >= 0) {
        RemoveTrianglesOfSurface(object, surface);
    }
}

// Kind 2 before version 251: chrome parts are cut out, and an old clock face
// gets its colour.
void FixKindTwo(Object3D *object)
{
    for (uint32_t i = 0; i < object->materialCount; ++i) {
        ObjectMaterial &material = object->materials[i];
        if (EqualsNoCase(object->textures[material.texture].name, "Cromowheel2") &&
            (std::strcmp(material.name, "cromo") == 0 || std::strcmp(material.name, "top") == 0)) {
            material.flags |= MaterialCutOut;
        }
    }
    GridCell *surface = ObjectSurfaceCell(object, 0, 0);
    if (!surface || !SurfaceNameIs(*surface, "clock")) {
        return;
    }
    const uint32_t mappingIndex = static_cast<uint32_t>(SurfaceMapping(*surface));
    if (mappingIndex >= object->mappingCount) {
        return;
    }
    const ObjectMapping &mapping = object->mappings[mappingIndex];
    const ObjectMaterial &material = object->materials[mapping.materials[0]];
    if (std::strcmp(mapping.name, "center") == 0 && std::strcmp(material.name, "clock") == 0 &&
        EqualsNoCase(object->textures[material.texture].name, "s_clock_f1")) {
        surface->bytes[0] = 180;
        surface->bytes[1] = 180;
        surface->bytes[2] = 180;
    }
}

// --------------------------------------------------------------- tidying

// Moves texture `from` to position `to` (to < from), shifting the textures in
// between up; material indices follow.
void MoveTexture(Object3D *object, uint32_t from, uint32_t to)
{
    const ObjectTexture moved = object->textures[from];
    for (uint32_t i = from; i > to; --i) {
        object->textures[i] = object->textures[i - 1];
    }
    object->textures[to] = moved;
    for (uint32_t i = 0; i < object->materialCount; ++i) {
        uint8_t &index = object->materials[i].texture;
        if (index == from) {
            index = static_cast<uint8_t>(to);
        } else if (index >= to && index < from) {
            ++index;
        }
    }
}

void MoveMaterial(Object3D *object, uint32_t from, uint32_t to)
{
    const ObjectMaterial moved = object->materials[from];
    for (uint32_t i = from; i > to; --i) {
        object->materials[i] = object->materials[i - 1];
    }
    object->materials[to] = moved;
    for (uint32_t i = 0; i < object->mappingCount; ++i) {
        for (uint32_t &index : object->mappings[i].materials) {
            if (index == from) {
                index = to;
            } else if (index >= to && index < from) {
                ++index;
            }
        }
    }
}

int MaterialKey(const ObjectMaterial &material)
{
    return material.texture * 2 + ((material.flags & MaterialCutOut) ? 0 : 1);
}

// Merges equal textures, then orders textures by alpha class and materials
// by texture, keeping every index that points at them right.
void SortObjectLists(Object3D *object)
{
    uint32_t i = 1;
    while (i < object->textureCount) {
        uint32_t same = 0;
        bool found = false;
        for (; same < i; ++same) {
            if (object->textures[same].flags == object->textures[i].flags &&
                EqualsNoCase(object->textures[same].name, object->textures[i].name)) {
                found = true;
                break;
            }
        }
        if (!found) {
            ++i;
            continue;
        }
        for (uint32_t k = i + 1; k < object->textureCount; ++k) {
            object->textures[k - 1] = object->textures[k];
        }
        --object->textureCount;
        for (uint32_t m = 0; m < object->materialCount; ++m) {
            uint8_t &index = object->materials[m].texture;
            if (index == i) {
                index = static_cast<uint8_t>(same);
            } else if (index > i) {
                --index;
            }
        }
    }

    for (uint32_t k = 1; k < object->textureCount; ++k) {
        const int alphaClass = AlphaClass(object->textures[k].name);
        uint32_t to = k;
        while (to > 0 && AlphaClass(object->textures[to - 1].name) > alphaClass) {
            --to;
        }
        if (to != k) {
            MoveTexture(object, k, to);
        }
    }

    for (uint32_t k = 1; k < object->materialCount; ++k) {
        const int key = MaterialKey(object->materials[k]);
        uint32_t to = k;
        while (to > 0 && MaterialKey(object->materials[to - 1]) > key) {
            --to;
        }
        if (to != k) {
            MoveMaterial(object, k, to);
        }
    }
}

// ---------------------------------------------------------------- records

int ReadRecord(Object3D *object, DataStream *stream, int version, int resetOrientation, int role, int isRoot,
               const char *carCode, int depth);

// Reads the fields of one record; false as soon as the record is damaged.
// Whatever was allocated stays in the object for the caller to free.
bool ReadRecordFields(Object3D *object, DataStream *stream, int version, int resetOrientation, int role,
                      int isRoot, const char *carCode, int depth)
{
    ReadName(stream, object->name, sizeof(object->name));
    object->flags = static_cast<uint16_t>(stream->ReadU16());
    object->kind = static_cast<uint8_t>(stream->ReadU8());
    object->subKind = static_cast<uint8_t>(stream->ReadU8());
    object->lodCount = static_cast<uint16_t>(stream->ReadU16());
    object->groupCount = static_cast<uint16_t>(stream->ReadU16());
    if (object->lodCount > MaxObjectLods) {
        return false;
    }
    for (int i = 0; i < object->lodCount; ++i) {
        object->lodDistances[i] = static_cast<int32_t>(stream->ReadU32() & 0xFFFF0000u);
    }
    const uint16_t pointCount = static_cast<uint16_t>(stream->ReadU16());
    const uint16_t triangleCount = static_cast<uint16_t>(stream->ReadU16());
    const uint16_t childCount = static_cast<uint16_t>(stream->ReadU16());
    stream->ReadU16();  // reserved
    object->pitch = static_cast<uint16_t>(stream->ReadU16());
    object->roll = static_cast<uint16_t>(stream->ReadU16());
    object->heading = static_cast<uint16_t>(stream->ReadU16());
    object->reservedAngle = static_cast<uint16_t>(stream->ReadU16());
    object->x = static_cast<int32_t>(stream->ReadU32());
    object->y = static_cast<int32_t>(stream->ReadU32());
    object->z = static_cast<int32_t>(stream->ReadU32());

    if (object->subKind == 0) {
        if (object->kind == 2) {
            object->subKind = SubKindNegateX;
        } else if (object->kind == 4) {
            object->kind = 3;
            object->subKind = SubKindMirrorImage;
        } else if (object->kind == 10) {
            object->subKind = SubKindMirrorImage;
        } else {
            object->subKind = SubKindPlain;
        }
    }

    if (object->surfaces.Read(stream) != 0) {
        return false;
    }
    // The legacy light-name table renames surfaces of old car models only;
    // no car of this set needs it, so the pass only marks the record done.
    if (!(object->flags & ObjectLightNamesFixed) && carCode) {
        object->flags |= ObjectLightNamesFixed;
    }

    if (!Fits(stream, pointCount, PointSize)) {
        return false;
    }
    object->pointCount = pointCount;
    ReadPoints(object, stream);
    if (!Fits(stream, triangleCount, TriangleSize)) {
        return false;
    }
    object->triangleCount = triangleCount;
    ReadTriangles(object, stream);
    if (!(object->flags & ObjectNoGroupData)) {
        if (!Fits(stream, object->groupCount, GroupSize)) {
            return false;
        }
        for (int i = 0; i < object->groupCount; ++i) {
            stream->ReadU32();
        }
    }
    if (!ReadListCount(stream, &object->textureCount, TextureSize)) {
        return false;
    }
    ReadTextures(object, stream, carCode);
    if (!ReadListCount(stream, &object->materialCount, MaterialSize)) {
        return false;
    }
    ReadMaterials(object, stream);
    if (!ReadListCount(stream, &object->mappingCount, MappingSize)) {
        return false;
    }
    ReadMappings(object, stream);
    if (stream->overrun || !ReferencesValid(object)) {
        return false;
    }

    if (role == 2) {
        ApplyWheelDefault(object);
    }
    if (object->kind == 1) {
        FixKindOne(object);
    } else if (object->kind == 10) {
        for (uint32_t i = 0; i < object->materialCount; ++i) {
            object->materials[i].flags |= MaterialCutOut;
        }
    } else if (object->kind == 2 && version < 251) {
        FixKindTwo(object);
    }

    if (isRoot) {
        if (version >= ObjectPartNamesVersion) {
            for (char *partName : object->partNames) {
                ReadName(stream, partName, ObjectPartNameLength);
            }
        } else {
            CopyString(object->partNames[0], "main", ObjectPartNameLength);
        }
    }
    SortObjectLists(object);
    if (resetOrientation) {
        object->pitch = 0;
        object->roll = 0;
        object->heading = 0;
    }

    if (childCount > 0) {
        if (depth + 1 >= MaxObjectDepth || !Fits(stream, childCount, MinimumRecordSize)) {
            return false;
        }
        object->children = new Object3D[childCount];
        for (int i = 0; i < childCount; ++i) {
            InitObject3D(&object->children[i]);
        }
        object->childCount = childCount;
        for (int i = 0; i < childCount; ++i) {
            if (!ReadRecord(&object->children[i], stream, version, 0, 0, 0, nullptr, depth + 1)) {
                return false;
            }
        }
    }
    return !stream->overrun;
}

int ReadRecord(Object3D *object, DataStream *stream, int version, int resetOrientation, int role, int isRoot,
               const char *carCode, int depth)
{
    if (ReadRecordFields(object, stream, version, resetOrientation, role, isRoot, carCode, depth)) {
        return 1;
    }
    FreeObject3D(object);
    InitObject3D(object);
    return 0;
}

// ------------------------------------------------------------- mirroring

bool UsesX(int projection)
{
    return projection == 1 || projection == 2 || projection == 5 || projection == 6;
}

// A mapping keeps its look when mirrored, unless its texture must read
// correctly: a car-specific or special texture, or a mapping named "U_...".
void MirrorMapping(const Object3D *object, ObjectMapping &mapping)
{
    bool keepReadable = (mapping.name[0] == 'U' || mapping.name[0] == 'u') && mapping.name[1] == '_';
    if (mapping.materials[0] < object->materialCount) {
        const uint8_t textureIndex = object->materials[mapping.materials[0]].texture;
        if (textureIndex < object->textureCount) {
            const ObjectTexture &texture = object->textures[textureIndex];
            if ((texture.flags & TextureCarSpecific) || IsSpecialTextureName(texture.name)) {
                keepReadable = true;
            }
        }
    }
    if (!keepReadable) {
        if (UsesX(mapping.projection)) {
            mapping.rotation = static_cast<int8_t>(-mapping.rotation);
            mapping.uMin = -mapping.uMin;
            mapping.uMax = -mapping.uMax;
        }
    } else if (UsesX(mapping.projection)) {
        const int32_t uMin = mapping.uMin;
        mapping.uMin = -mapping.uMax;
        mapping.uMax = -uMin;
    } else {
        const uint32_t first = mapping.materials[0];
        mapping.materials[0] = mapping.materials[1];
        mapping.materials[1] = first;
    }
}

// A 16.16 product, as the fixed-point maths does it.
int32_t FixMultiply(int32_t a, int32_t b)
{
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 16);
}

}  // namespace

GridCell *ObjectSurfaceCell(const Object3D *object, int row, int column)
{
    const CellGrid &table = object->surfaces;
    if (!table.cells || row < 0 || row >= table.width || column < 0 || column >= table.height) {
        return nullptr;
    }
    return &table.cells[row * table.height + column];
}

void InitObject3D(Object3D *object)
{
    std::memset(static_cast<void *>(object), 0, sizeof(*object));
    object->surfaces.Init();
    object->kind = 0;
    object->subKind = SubKindPlain;
    object->lodCount = 1;
    object->flags = ObjectDefaultFlags;
}

void FreeObject3D(Object3D *object)
{
    object->surfaces.Free();
    delete[] object->points;
    delete[] object->triangles;
    if (object->children) {
        for (int i = 0; i < object->childCount; ++i) {
            FreeObject3D(&object->children[i]);
        }
        delete[] object->children;
    }
    delete[] object->textures;
    delete[] object->materials;
    delete[] object->mappings;
    object->points = nullptr;
    object->triangles = nullptr;
    object->children = nullptr;
    object->textures = nullptr;
    object->materials = nullptr;
    object->mappings = nullptr;
    object->pointCount = 0;
    object->triangleCount = 0;
    object->childCount = 0;
    object->textureCount = 0;
    object->materialCount = 0;
    object->mappingCount = 0;
}

int ReadObject3D(Object3D *object, DataStream *stream, int version, int resetOrientation, int role, int isRoot,
                 const char *carCode)
{
    return ReadRecord(object, stream, version, resetOrientation, role, isRoot, carCode, 0);
}

int ReadObjectFile(Object3D *object, MenuPage *page, const char *path, int resetOrientation, const char *carCode)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(page, path, ObjectFileId, &version, ObjectFileVersion, 0)) {
        return 0;
    }
    const int read = ReadObject3D(object, &stream, version, resetOrientation, 0, 1, carCode);
    stream.Close();
    if (!read) {
        return 0;
    }
    if (resetOrientation) {
        object->flags &= static_cast<uint16_t>(~ObjectMirroredChild);
    }
    return 1;
}

void MirrorObject3D(Object3D *object)
{
    object->roll = static_cast<uint16_t>(-object->roll);
    object->heading = static_cast<uint16_t>(-object->heading);
    object->x = -object->x;
    for (int i = 0; i < object->pointCount; ++i) {
        object->points[i].x = -object->points[i].x;
    }
    for (int i = 0; i < object->triangleCount; ++i) {
        uint16_t *corners = object->triangles[i].corners;
        const uint16_t second = corners[1];
        corners[1] = corners[2];
        corners[2] = second;
    }
    for (uint32_t i = 0; i < object->mappingCount; ++i) {
        MirrorMapping(object, object->mappings[i]);
    }
    for (int i = 0; i < object->childCount; ++i) {
        MirrorObject3D(&object->children[i]);
    }
}

void ResolveMirroredParts(Object3D *object)
{
    std::vector<uint8_t> marked(object->mappingCount, 0);
    for (int i = 0; i < object->triangleCount; ++i) {
        ObjectTriangle &triangle = object->triangles[i];
        if ((triangle.flags & (TriangleMirrorOnly | TriangleMirrored)) != TriangleMirrorOnly) {
            continue;
        }
        uint16_t *corners = triangle.corners;
        corners[0] ^= CornerTwin;
        const uint16_t second = corners[1];
        corners[1] = static_cast<uint16_t>(corners[2] ^ CornerTwin);
        corners[2] = static_cast<uint16_t>(second ^ CornerTwin);
        if (const GridCell *surface = ObjectSurfaceCell(object, 0, triangle.surface)) {
            const uint32_t mapping = static_cast<uint32_t>(SurfaceMapping(*surface));
            if (mapping < object->mappingCount) {
                marked[mapping] = 1;
            }
        }
    }
    for (uint32_t i = 0; i < object->mappingCount; ++i) {
        if (marked[i]) {
            MirrorMapping(object, object->mappings[i]);
        }
    }
    for (int i = 0; i < object->childCount; ++i) {
        Object3D &child = object->children[i];
        if (child.subKind == SubKindMirrorImage) {
            MirrorObject3D(&child);
        } else if (child.subKind == SubKindNegateX) {
            child.x = -child.x;
        }
    }
}

int RepeatObjectAroundAxis(Object3D *object, int n)
{
    const int pointCount = object->pointCount;
    const int triangleCount = object->triangleCount;
    const int copies = n > 1 ? n : 1;
    if (PendingRepeat.object || copies * pointCount > CornerIndexMask + 1 || copies * triangleCount > 0xFFFF) {
        return 0;
    }
    const int totalPoints = copies * pointCount;
    ObjectPoint *points = new ObjectPoint[totalPoints > 0 ? totalPoints : 1];
    ObjectTriangle *triangles = new ObjectTriangle[copies * triangleCount > 0 ? copies * triangleCount : 1];
    std::copy(object->points, object->points + pointCount, points);
    std::copy(object->triangles, object->triangles + triangleCount, triangles);

    // Copy 0: points on the axis stay shared by every copy; a mirrored corner
    // links to the same point of the next copy (of copy 0 itself when there
    // is no other, so that no corner ever points past the array).
    for (int t = 0; t < triangleCount; ++t) {
        for (uint16_t &corner : triangles[t].corners) {
            const int index = corner & CornerIndexMask;
            const ObjectPoint &point = points[index];
            if (point.y == 0 && point.z == 0) {
                corner = static_cast<uint16_t>(index | CornerShared);
            } else if (corner & CornerTwin) {
                int linked = pointCount + index;
                if (linked >= totalPoints) {
                    linked -= totalPoints;
                }
                corner = static_cast<uint16_t>(linked);
            }
        }
    }
    for (int k = 1; k < copies; ++k) {
        const float radians = static_cast<float>(k) * 6.2831855f / static_cast<float>(copies);
        const uint16_t angle = AngleFromRadians(radians);
        const int32_t sine = SinTable[angle];
        const int32_t cosine = CosTable[angle];
        for (int i = 0; i < pointCount; ++i) {
            ObjectPoint point = points[i];
            const int32_t y = point.y;
            const int32_t z = point.z;
            point.y = FixMultiply(y, cosine) - FixMultiply(z, sine);
            point.z = FixMultiply(y, sine) + FixMultiply(z, cosine);
            points[k * pointCount + i] = point;
        }
        for (int t = 0; t < triangleCount; ++t) {
            ObjectTriangle triangle = triangles[t];
            for (uint16_t &corner : triangle.corners) {
                if (corner & CornerShared) {
                    continue;
                }
                int index = corner + k * pointCount;
                if (index >= totalPoints) {
                    index -= totalPoints;
                }
                corner = static_cast<uint16_t>(index);
            }
            triangles[k * triangleCount + t] = triangle;
        }
    }

    PendingRepeat.object = object;
    PendingRepeat.points = object->points;
    PendingRepeat.triangles = object->triangles;
    object->points = points;
    object->triangles = triangles;
    object->pointCount = static_cast<uint16_t>(totalPoints);
    object->triangleCount = static_cast<uint16_t>(copies * triangleCount);
    return 1;
}

void FreeRepeatedCopies(Object3D *object, int n)
{
    if (PendingRepeat.object != object) {
        return;
    }
    const int copies = n > 1 ? n : 1;
    delete[] object->points;
    delete[] object->triangles;
    object->points = PendingRepeat.points;
    object->triangles = PendingRepeat.triangles;
    object->pointCount = static_cast<uint16_t>(object->pointCount / copies);
    object->triangleCount = static_cast<uint16_t>(object->triangleCount / copies);
    PendingRepeat = RepeatState{};
}

const char *ClockTextureName(int style)
{
    return style >= 1 && style <= ClockStyleCount ? ClockTextureNames[style - 1] : nullptr;
}

void SetClockTexture(Object3D *object, int style)
{
    if (style < 1 || style > ClockStyleCount) {
        return;
    }
    for (uint32_t i = 0; i < object->textureCount; ++i) {
        ObjectTexture &texture = object->textures[i];
        if (IsClockTextureName(texture.name)) {
            CopyString(texture.name, ClockTextureNames[style - 1], ObjectTextureNameLength);
        }
    }
    for (int i = 0; i < object->childCount; ++i) {
        SetClockTexture(&object->children[i], style);
    }
}

void SetTextureNameSubstitution(TextureNameSubstitution substitute)
{
    SubstituteTextureName = substitute;
}
