#include "tools/world_path_writer.h"

#include <algorithm>

#include "core/float_math.h"
#include "tools/world_object_writer.h"
#include "tools/world_writer.h"
#include "world/duplicator_object.h"

namespace {

constexpr size_t MaxNodes = 65535;

void WriteList(WorldWriter &out, const std::vector<IdListEntry> &list)
{
    out.U32(static_cast<uint32_t>(list.size()));
    for (const IdListEntry &entry : list) {
        out.U16(entry.id).U8(entry.mask).U8(entry.spare);
    }
}

void WriteNode(WorldWriter &out, const PathNodeFields &node, bool withBand)
{
    out.U8(node.flags).U8(0).U8(0).U8(0);
    for (int32_t p : node.position) {
        out.U32(static_cast<uint32_t>(p));
    }
    for (float d : node.direction) {
        out.F32(d);
    }
    out.F32(node.leftEdge).F32(node.rightEdge).F32(node.outerLeft).F32(node.outerRight);
    if (withBand) {
        out.Bytes(node.band, PathBandBytes);
    }
    out.U32(node.value);
    for (const std::vector<IdListEntry> &list : node.deltas) {
        WriteList(out, list);
    }
}

} // namespace

PathNodeFields PathNodeAt(int32_t x, int32_t y, float heading, float halfWidth)
{
    PathNodeFields node;
    node.position[0] = x;
    node.position[1] = y;
    node.direction[0] = -FloatSin(heading);
    node.direction[1] = FloatCos(heading);
    node.direction[2] = 0.0f;
    node.leftEdge = -halfWidth;
    node.rightEdge = halfWidth;
    node.outerLeft = -halfWidth - 5.0f;
    node.outerRight = halfWidth + 5.0f;
    return node;
}

void WritePath(WorldWriter &out, const PathFields &path)
{
    const size_t count = std::min(path.nodes.size(), MaxNodes);
    const size_t secondCount = std::min(path.secondNodes.size(), MaxNodes);
    const bool withBand = (path.flags & PathHasBandData) != 0;
    out.U32(path.flags).U32(0).U16(static_cast<uint32_t>(count)).U16(static_cast<uint32_t>(secondCount));
    for (size_t i = 0; i < count; ++i) {
        WriteNode(out, path.nodes[i], withBand);
    }
    for (size_t i = 0; i < secondCount; ++i) {
        WriteNode(out, path.secondNodes[i], false);
    }
    for (const std::vector<IdListEntry> &list : path.baseLists) {
        WriteList(out, list);
    }
    out.U32(static_cast<uint32_t>(path.lightMaps.size()));
    for (const PathLightMapFields &map : path.lightMaps) {
        const size_t size = static_cast<size_t>(map.width) * map.height;
        out.U32(map.width).U32(map.height);
        for (size_t i = 0; i < size; ++i) {
            out.U32(i < map.words.size() ? map.words[i] : 0);
        }
        for (size_t i = 0; i < size; ++i) {
            const PathLightMapItem item = i < map.items.size() ? map.items[i] : PathLightMapItem{};
            out.Bytes(item.bytes, sizeof item.bytes);
        }
    }
}

void WritePositionObject(WorldWriter &out, int version, int32_t x, int32_t y, float heading, int number, int pit)
{
    DuplicatorFields fields;
    fields.heading = heading;
    fields.number = static_cast<uint8_t>(number);
    fields.flags = DuplicatorNone | DuplicatorPosition | (pit ? DuplicatorPitPosition : 0);
    WriteDuplicator(out, version, ObjectHeaderAt(ObjectDuplicator, x, y), fields);
}

void WriteCameraGeometry(WorldWriter &out, const std::vector<CameraPoint> &points,
                         const std::vector<CameraTriangleFields> &triangles)
{
    out.U32(static_cast<uint32_t>(points.size()));
    for (const CameraPoint &point : points) {
        out.U32(static_cast<uint32_t>(point.x)).U32(static_cast<uint32_t>(point.y));
    }
    out.U32(static_cast<uint32_t>(triangles.size()));
    for (const CameraTriangleFields &triangle : triangles) {
        out.U32(triangle.corners[0]).U32(triangle.corners[1]).U32(triangle.corners[2]);
        out.U32(triangle.camera).F32(triangle.floorHeight);
    }
}
