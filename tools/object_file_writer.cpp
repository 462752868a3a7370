#include "tools/object_file_writer.h"

#include "core/data_stream.h"
#include "render/object_file.h"

namespace {

// Collects the little-endian bytes of a record in memory with the stream's
// own write calls, so that one writer serves files and memory alike.
struct ByteSink {
    std::vector<uint8_t> &bytes;

    void WriteU8(int value) { bytes.push_back(static_cast<uint8_t>(value)); }
    void WriteU16(int value)
    {
        WriteU8(value);
        WriteU8(value >> 8);
    }
    void WriteU32(uint32_t value)
    {
        WriteU16(static_cast<int>(value & 0xFFFF));
        WriteU16(static_cast<int>(value >> 16));
    }
    void WriteBytes(const void *data, int n)
    {
        const auto *from = static_cast<const uint8_t *>(data);
        bytes.insert(bytes.end(), from, from + n);
    }
    // n - 1 characters at most, zeros after the text's end, one zero last.
    void WriteString(const char *text, int n)
    {
        bool ended = text == nullptr;
        for (int i = 0; i < n - 1; ++i) {
            if (!ended && text[i] == 0) {
                ended = true;
            }
            WriteU8(ended ? 0 : text[i]);
        }
        WriteU8(0);
    }
};

template <typename Sink> void WriteRecord(const Object3D &object, Sink &stream, int isRoot)
{
    stream.WriteString(object.name, ObjectNameLength);
    stream.WriteU16(object.flags);
    stream.WriteU8(object.kind);
    stream.WriteU8(object.subKind);
    stream.WriteU16(object.lodCount);
    stream.WriteU16(object.groupCount);
    for (int i = 0; i < object.lodCount && i < MaxObjectLods; ++i) {
        stream.WriteU32(static_cast<uint32_t>(object.lodDistances[i]));
    }
    stream.WriteU16(object.pointCount);
    stream.WriteU16(object.triangleCount);
    stream.WriteU16(object.childCount);
    stream.WriteU16(0);
    stream.WriteU16(object.pitch);
    stream.WriteU16(object.roll);
    stream.WriteU16(object.heading);
    stream.WriteU16(object.reservedAngle);
    stream.WriteU32(static_cast<uint32_t>(object.x));
    stream.WriteU32(static_cast<uint32_t>(object.y));
    stream.WriteU32(static_cast<uint32_t>(object.z));

    stream.WriteU16(object.surfaces.width);
    stream.WriteU16(object.surfaces.height);
    stream.WriteBytes(object.surfaces.cells, object.surfaces.width * object.surfaces.height *
                                                 static_cast<int>(sizeof(GridCell)));

    for (int i = 0; i < object.pointCount; ++i) {
        const ObjectPoint &point = object.points[i];
        stream.WriteU8(point.flags);
        stream.WriteU8(point.bone);
        stream.WriteU16(0);
        stream.WriteU32(static_cast<uint32_t>(point.x));
        stream.WriteU32(static_cast<uint32_t>(point.y));
        stream.WriteU32(static_cast<uint32_t>(point.z));
    }
    for (int i = 0; i < object.triangleCount; ++i) {
        const ObjectTriangle &triangle = object.triangles[i];
        stream.WriteU8(triangle.flags);
        stream.WriteU8(triangle.part);
        stream.WriteU8(triangle.surface);
        stream.WriteU8(triangle.normalWeight);
        stream.WriteU8(triangle.lod);
        stream.WriteU8(triangle.group);
        for (uint16_t corner : triangle.corners) {
            stream.WriteU16(corner);
        }
    }
    if (!(object.flags & ObjectNoGroupData)) {
        for (int i = 0; i < object.groupCount; ++i) {
            stream.WriteU32(0);
        }
    }

    stream.WriteU32(object.textureCount);
    for (uint32_t i = 0; i < object.textureCount; ++i) {
        const ObjectTexture &texture = object.textures[i];
        stream.WriteU8(texture.flags);
        stream.WriteU8(0);
        stream.WriteU8(0);
        stream.WriteU8(0);
        stream.WriteString(texture.name, 16);
    }
    stream.WriteU32(object.materialCount);
    for (uint32_t i = 0; i < object.materialCount; ++i) {
        const ObjectMaterial &material = object.materials[i];
        stream.WriteString(material.name, 16);
        stream.WriteU8(material.flags);
        stream.WriteU8(material.orientation);
        stream.WriteU8(material.texture);
        stream.WriteU8(material.environment);
        stream.WriteU8(material.uRepeat);
        stream.WriteU8(material.vRepeat);
        stream.WriteU8(material.uOffset);
        stream.WriteU8(material.vOffset);
    }
    stream.WriteU32(object.mappingCount);
    for (uint32_t i = 0; i < object.mappingCount; ++i) {
        const ObjectMapping &mapping = object.mappings[i];
        stream.WriteString(mapping.name, 16);
        stream.WriteU8(mapping.projection);
        stream.WriteU8(0);
        stream.WriteU8(0);  // the mirror flag is a working flag only
        stream.WriteU8(mapping.rotation);
        stream.WriteU32(static_cast<uint32_t>(mapping.uMin));
        stream.WriteU32(static_cast<uint32_t>(mapping.uMax));
        stream.WriteU32(static_cast<uint32_t>(mapping.vMin));
        stream.WriteU32(static_cast<uint32_t>(mapping.vMax));
        stream.WriteU32(mapping.materials[0]);
        stream.WriteU32(mapping.materials[1]);
    }

    if (isRoot) {
        for (const char *partName : object.partNames) {
            stream.WriteString(partName, ObjectPartNameLength);
        }
    }
    for (int i = 0; i < object.childCount; ++i) {
        WriteRecord(object.children[i], stream, 0);
    }
}

} // namespace

void WriteObject3D(const Object3D &object, DataStream &stream, int isRoot)
{
    WriteRecord(object, stream, isRoot);
}

void WriteObject3DBytes(const Object3D &object, std::vector<uint8_t> &bytes, int isRoot)
{
    ByteSink sink{bytes};
    WriteRecord(object, sink, isRoot);
}

const char *WriteObjectFile(const Object3D &object, const char *path)
{
    DataStream stream;
    if (const char *error = stream.OpenWrite(nullptr, path, ObjectFileId, ObjectFileVersion)) {
        return error;
    }
    WriteObject3D(object, stream, 1);
    return stream.Close() == 0 ? nullptr : "cannot write the object file";
}
