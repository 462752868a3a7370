#include "tools/world_object_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/text_utils.h"
#include "render/object_file.h"
#include "tools/object_file_writer.h"

namespace {

int32_t Fix(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

} // namespace

void WriteDuplicator(WorldWriter &out, int version, const WorldObjectHeader &header, const DuplicatorFields &copy)
{
    WriteObjectHeader(out, version, header);
    out.F32(copy.heading).F32(copy.pitch).F32(copy.roll).F32(copy.height);
    out.U32(copy.flags).U16(copy.duplicator).U8(copy.number).U8(copy.markerWidth);
}

void WriteObjectHolder(WorldWriter &out, const HolderFields &holder)
{
    out.U8(holder.kind).U8(holder.flags1).U8(holder.flags2).U8(holder.flags3);
    out.F32(holder.scale).F32(holder.stiffness).F32(holder.friction).F32(holder.damping).F32(holder.density);
    if (holder.flags2 & HolderExtraFloats) {
        out.F32(0.0f).F32(0.0f);
    }
    out.U8(holder.movable).U8(holder.placeable).U8(holder.pitPlace).U8(holder.spare);
    if (holder.kind == HolderObject3D && holder.object) {
        WriteObject3DBytes(*holder.object, out.bytes, 1);
    } else if (holder.kind == HolderLathe) {
        WriteLathe(out, holder.lathe);
    }
}

void SetObjectSurface(Object3D &object, int row, int column, const char *name, uint8_t r, uint8_t g, uint8_t b)
{
    GridCell &cell = object.surfaces.cells[row * object.surfaces.height + column];
    memset(cell.bytes, 0, sizeof cell.bytes);
    cell.bytes[0] = r;
    cell.bytes[1] = g;
    cell.bytes[2] = b;
    memcpy(cell.bytes + 4, name, strnlen(name, ObjectSurfaceNameLength));
}

void BuildBoxObject(Object3D &object, const char *name, float halfX, float halfY, float height, int levelCount,
                    int surfaceCount)
{
    CopyString(object.name, name, ObjectNameLength);
    object.lodCount = static_cast<uint16_t>(levelCount);
    for (int level = 0; level < levelCount; ++level) {
        object.lodDistances[level] = Fix(100.0f * static_cast<float>(level + 1));
    }
    object.flags |= ObjectNoGroupData;

    object.pointCount = 8;
    object.points = new ObjectPoint[8]();
    for (int i = 0; i < 8; ++i) {
        ObjectPoint &point = object.points[i];
        point.x = Fix(i & 1 ? halfX : -halfX);
        point.y = Fix(i & 2 ? halfY : -halfY);
        point.z = Fix(i & 4 ? height : 0.0f);
    }
    // Per face the quad's corners in order around it, seen from outside.
    static const int faces[6][4] = {
        {0, 2, 3, 1},   // bottom (-z)
        {4, 5, 7, 6},   // top (+z)
        {0, 1, 5, 4},   // -y
        {2, 6, 7, 3},   // +y
        {0, 4, 6, 2},   // -x
        {1, 3, 7, 5},   // +x
    };
    object.triangleCount = static_cast<uint16_t>(12 * levelCount);
    object.triangles = new ObjectTriangle[object.triangleCount]();
    int t = 0;
    for (int level = 0; level < levelCount; ++level) {
        for (const auto &face : faces) {
            const int quad[2][3] = {{face[0], face[1], face[2]}, {face[0], face[2], face[3]}};
            for (const auto &corners : quad) {
                ObjectTriangle &triangle = object.triangles[t++];
                triangle.lod = static_cast<int8_t>(level);
                for (int k = 0; k < 3; ++k) {
                    triangle.corners[k] = static_cast<uint16_t>(corners[k]);
                }
            }
        }
    }

    object.surfaces.width = 1;
    object.surfaces.height = static_cast<uint16_t>(surfaceCount);
    object.surfaces.cells = new GridCell[surfaceCount]();
    for (int column = 0; column < surfaceCount; ++column) {
        char surfaceName[16];
        snprintf(surfaceName, sizeof surfaceName, "s%d", column);
        SetObjectSurface(object, 0, column, surfaceName, 128, 128, 128);
    }
    object.textureCount = 1;
    object.textures = new ObjectTexture[1]();
    CopyString(object.textures[0].name, "grey", ObjectTextureNameLength);
    object.materialCount = 1;
    object.materials = new ObjectMaterial[1]();
    CopyString(object.materials[0].name, "grey", 16);
    object.mappingCount = 1;
    object.mappings = new ObjectMapping[1]();
    CopyString(object.mappings[0].name, "plain", 16);
    CopyString(object.partNames[0], "main", ObjectPartNameLength);
}

void BuildLampGantry(Object3D &object, const char *greenName)
{
    InitObject3D(&object);
    BuildBoxObject(object, "gantry", 8.0f, 0.5f, 1.0f, 1, 5);
    SetObjectSurface(object, 0, 1, "l_red1", 60, 0, 0);
    SetObjectSurface(object, 0, 2, "l_red2", 60, 0, 0);
    SetObjectSurface(object, 0, 3, "l_red3", 60, 0, 0);
    SetObjectSurface(object, 0, 4, greenName, 0, 60, 0);
}

HolderFields ConeHolder(uint8_t movable, uint16_t surface)
{
    HolderFields cone;
    cone.kind = HolderLathe;
    cone.movable = movable;
    cone.placeable = 1;
    cone.stiffness = 2000.0f;
    cone.friction = 0.8f;
    cone.damping = 20.0f;
    cone.density = 300.0f;
    cone.lathe.name = "cone";
    cone.lathe.segments = 8;
    cone.lathe.points = {{0.0f, 0.7f}, {0.15f, 0.0f}};
    cone.lathe.links = {{surface, 1, 1, 0, 0, 1}};
    return cone;
}
