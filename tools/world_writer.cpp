#include "tools/world_writer.h"

#include <algorithm>
#include <cstring>

#include "core/data_stream.h"
#include "core/float_math.h"
#include "world/track_colours.h"

namespace {

// The id the memory image carries; readers of a memory stream skip it.
constexpr char WorldFileId[] = "QZWORL";

// The first version with the compact object header and solid record.
constexpr int CompactRecordVersion = 251;

constexpr float HalfPi = 1.57079633f;

// Counts the records store in one byte.
int ByteCount(size_t size)
{
    return static_cast<int>(std::min<size_t>(size, 255));
}

void WriteU32Array(WorldWriter &out, const uint32_t *values, int count)
{
    for (int i = 0; i < count; ++i) {
        out.U32(values ? values[i] : 0);
    }
}

void WriteColourArray(WorldWriter &out, const Colour *colours, int count)
{
    for (int i = 0; i < count; ++i) {
        out.Rgba(colours ? colours[i] : Colour{0, 0, 0, 0});
    }
}

void WriteNewColour(WorldWriter &out, const TrackColour &record)
{
    out.U16(record.flags).U8(record.form).U8(0);
    out.Name(record.name).Name(record.textureName).Rgba(record.colour);
    out.U8(record.uRepeat).U8(record.vRepeat).U8(record.uOffset).U8(record.vOffset);
    out.U8(record.rowCount).U8(record.orientation).U8(record.paletteCount).U8(record.columnCount);
    out.U8(record.surfaceKind).U8(record.bumpKind).U8(record.bumpAmplitude).U8(record.bumpShift);
    out.U32(record.lengthWord);
    if (record.form == 1) {
        out.U32(record.mappingCentreX).U32(record.mappingCentreY);
        out.F32(record.mappingAngle).F32(record.scale1).F32(record.scale2);
    }
    WriteColourArray(out, record.palette, record.paletteCount);
    WriteU32Array(out, record.columnEnds, record.columnCount);
    WriteU32Array(out, record.cells, record.rowCount * record.columnCount);
}

void WriteOldColour(WorldWriter &out, const TrackColour &record)
{
    out.Name(record.name).Name(record.textureName).Rgba(record.colour);
    out.U32(record.rowCount).U32(record.orientation);
    out.U8(record.uRepeat).U8(record.vRepeat).U8(record.uOffset).U8(record.vOffset);
    out.U32(record.paletteCount);
    WriteColourArray(out, record.palette, record.paletteCount);
    out.U32(record.columnCount);
    WriteU32Array(out, record.columnEnds, record.columnCount);
    WriteU32Array(out, record.cells, record.rowCount * record.columnCount);
    out.U32(record.surfaceKind).U32(record.bumpKind);
    out.U32(record.flags | (uint32_t(record.form) << 16));
    out.U32(record.lengthWord);
}

void WriteCurve(WorldWriter &out, int version, const SolidCurveFields &curve)
{
    if (version >= CompactRecordVersion) {
        out.U8(curve.kind).U8(curve.flags).U8(curve.vertexA).U8(curve.vertexB);
    } else {
        out.U32(curve.vertexA).U32(curve.vertexB).U8(curve.kind).U8(curve.flags).U16(0);
    }
    out.F32(curve.slopeA).F32(curve.angleA).F32(curve.slopeB).F32(curve.angleB);
}

void WriteLightingList(WorldWriter &out, const std::vector<uint32_t> &list)
{
    out.U32(static_cast<uint32_t>(list.size()));
    WriteU32Array(out, list.data(), static_cast<int>(list.size()));
}

// A road panel: the two edges at the strip's height, the first listed
// edge at lateral `first`.
PanelFields RoadPanel(const RoadStrip &strip, float heading, int32_t first)
{
    PanelFields panel;
    panel.surface = strip.surface;
    panel.heading = heading;
    panel.vertices.resize(2);
    for (PanelVertex &vertex : panel.vertices) {
        vertex = PanelVertex{};
        vertex.height = strip.height;
    }
    panel.vertices[0].lateral = first;
    panel.vertices[1].lateral = -first;
    return panel;
}

// The header of a kind's own writer: the kind decides the type code.
void WriteKindHeader(WorldWriter &out, int version, const WorldObjectHeader &header, int type)
{
    WorldObjectHeader own = header;
    own.type = type;
    WriteObjectHeader(out, version, own);
}

} // namespace

WorldWriter &WorldWriter::U8(uint32_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    return *this;
}

WorldWriter &WorldWriter::U16(uint32_t value)
{
    return U8(value).U8(value >> 8);
}

WorldWriter &WorldWriter::U32(uint32_t value)
{
    return U16(value).U16(value >> 16);
}

WorldWriter &WorldWriter::F32(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, 4);
    return U32(bits);
}

WorldWriter &WorldWriter::Bytes(const void *data, size_t n)
{
    const uint8_t *begin = static_cast<const uint8_t *>(data);
    bytes.insert(bytes.end(), begin, begin + n);
    return *this;
}

WorldWriter &WorldWriter::Name(const char *text)
{
    char field[16] = {};
    strncpy(field, text ? text : "", 15);
    return Bytes(field, 16);
}

WorldWriter &WorldWriter::Rgba(const Colour &colour)
{
    return U8(colour.red).U8(colour.green).U8(colour.blue).U8(colour.flags);
}

void WorldWriter::Open(DataStream &stream, int version)
{
    image.assign(WorldFileId, WorldFileId + 6);
    image.push_back(static_cast<uint8_t>(version >> 8));
    image.push_back(static_cast<uint8_t>(version));
    image.insert(image.end(), bytes.begin(), bytes.end());
    int read = 0;
    stream.OpenMemory(image.data(), image.size(), &read);
}

void WorldWriter::WriteTo(DataStream &stream) const
{
    if (!bytes.empty()) {
        stream.WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
    }
}

WorldObjectHeader ObjectHeaderAt(int type, int32_t x, int32_t y)
{
    return WorldObjectHeader{type, 0, 0, ConfigMaskAll, x, y};
}

void WriteObjectHeader(WorldWriter &out, int version, const WorldObjectHeader &header)
{
    out.U8(header.type).U8(header.flags);
    if (version >= CompactRecordVersion) {
        out.U8(header.reachRadius).U8(0);
        if (header.flags & 0x80) {
            out.U32(header.configMask);
        }
    } else {
        const uint32_t word = (header.flags & 1) ? header.configMask : header.configMask >> 16;
        out.U16(word & 0xFFFF);
        if (header.flags & 0x80) {
            out.U8(header.reachRadius).U8(0).U8(0).U8(0);
        }
    }
    if (header.type != ObjectSolid) {
        out.U32(header.x).U32(header.y);
    }
}

void WriteColourSet(WorldWriter &out, const TrackColour *records, int count, int newForm)
{
    out.U16(count).U8(newForm ? 1 : 0).U8(0);
    for (int i = 0; i < count; ++i) {
        if (newForm) {
            WriteNewColour(out, records[i]);
        } else {
            WriteOldColour(out, records[i]);
        }
    }
}

void WriteSolidLink(WorldWriter &out, const SolidLink &link)
{
    out.U16(link.surface).U8(link.collide).U8(link.measured).U16(link.mapping);
    out.U8(link.curveA).U8(link.curveB);
    if (link.curveA == link.curveB) {
        out.U32(link.curveA).U32(link.curveB);
    }
}

void WritePanel(WorldWriter &out, int version, const WorldObjectHeader &header, const PanelFields &panel)
{
    WriteKindHeader(out, version, header, ObjectPanel);
    const int vertexCount = ByteCount(panel.vertices.size());
    const int faceCount = ByteCount(panel.faces.size());
    out.U8(panel.flags).U8(panel.spareByte).U16(panel.surface);
    if (panel.flags & PanelExtraFloat) {
        out.F32(panel.extraFloat);
    }
    out.F32(panel.heading);
    out.U8(vertexCount).U8(faceCount).U8(panel.tagA).U8(panel.tagB);
    if (panel.flags & PanelComposite) {
        out.U16(panel.panelA).U16(panel.panelB);
    }
    for (int i = 0; i < vertexCount; ++i) {
        const PanelVertex &vertex = panel.vertices[i];
        // The file holds the height slope before the plan angle.
        out.U32(vertex.height).U32(vertex.lateral).F32(vertex.slope).F32(vertex.angle);
        out.U8(vertex.tag).Bytes(vertex.unused, 3);
    }
    for (int i = 0; i < faceCount; ++i) {
        const PanelFace &face = panel.faces[i];
        out.U8(face.vertex[0]).U8(face.vertex[1]).U8(face.vertex[2]).U8(face.flags);
    }
}

void WriteSolid(WorldWriter &out, int version, const WorldObjectHeader &header, const SolidFields &solid)
{
    WriteKindHeader(out, version, header, ObjectSolid);
    const int curveCount = ByteCount(solid.curves.size());
    const int linkCount = ByteCount(solid.links.size());
    out.U16(solid.flags).U16(0);
    if (version >= CompactRecordVersion) {
        out.U16(solid.sideA).U16(solid.sideB).U16(solid.indexA).U16(solid.indexB);
        out.U8(solid.checkpoint).U8(solid.spareByte).U8(curveCount).U8(linkCount);
        if (solid.checkpoint != 0) {
            out.U32(solid.checkpointMask);
        }
        for (int c = 0; c < curveCount; ++c) {
            WriteCurve(out, version, solid.curves[c]);
        }
        for (int l = 0; l < linkCount; ++l) {
            WriteSolidLink(out, solid.links[l]);
        }
        out.F32(solid.segmentLength).F32(solid.textureScale);
        return;
    }
    out.U32(solid.sideA).U32(solid.indexA).U32(solid.sideB).U32(solid.indexB);
    out.F32(solid.segmentLength).F32(solid.textureScale);
    out.U32(curveCount);
    for (int c = 0; c < curveCount; ++c) {
        WriteCurve(out, version, solid.curves[c]);
    }
    out.U32(linkCount);
    for (int l = 0; l < linkCount; ++l) {
        WriteSolidLink(out, solid.links[l]);
    }
    const uint32_t low = solid.checkpointMask & 0xFFFF;
    const uint32_t high = solid.checkpointMask >> 16;
    const int maskFlags = (low != 0 ? 1 : 0) | (high != 0 ? 2 : 0);
    out.U8(solid.checkpoint).U8(maskFlags).U16(low != 0 ? low : high);
    out.U32(solid.spareByte).U32(0);
}

void WriteZone(WorldWriter &out, int version, const WorldObjectHeader &header, const ZoneFields &zone)
{
    WriteKindHeader(out, version, header, ObjectZone);
    out.U32(zone.flags).U8(zone.speedLimit).Bytes(zone.keptBytes, 3);
    out.F32(zone.heading).F32(zone.keptFloat).F32(zone.halfLength).F32(zone.halfWidth);
    if (zone.flags & 1) {
        for (const int32_t value : zone.cameraPosition) {
            out.U32(value);
        }
        out.F32(zone.cameraValue);
    }
}

void WriteCamera(WorldWriter &out, int version, const WorldObjectHeader &header, const CameraFields &camera)
{
    WriteKindHeader(out, version, header, ObjectCamera);
    out.U32(camera.flags).F32(camera.height).F32(camera.heading).F32(camera.pitch).F32(camera.zoom);
    if (camera.flags & 4) {
        out.F32(camera.farDistance).F32(camera.nearZoom).F32(camera.nearDistance);
    }
}

void WriteStartGrid(WorldWriter &out, int version, const WorldObjectHeader &header, const StartGridFields &grid)
{
    WriteKindHeader(out, version, header, ObjectStartGrid);
    out.U32(grid.flags).U8(grid.columns).U8(grid.rows).U8(grid.curveRow).U8(grid.spareByte);
    out.F32(grid.heading).F32(grid.height).F32(grid.width).F32(grid.rowSpacing).F32(grid.columnStagger);
    if (grid.flags & 2) {
        out.U32(grid.curveEndX).U32(grid.curveEndY).F32(grid.curveEndHeading);
    }
}

void WriteLighting(WorldWriter &out, const LightingFields &lighting)
{
    out.U32(lighting.flags);
    if (lighting.flags & 1) {
        for (const LightingFields::Level &level : lighting.levels) {
            WriteLightingList(out, level.list1);
            WriteLightingList(out, level.list2);
            out.U32(static_cast<uint32_t>(level.list3.size()));
            if (!level.list3.empty()) {
                out.U32(level.list3Extra);
                WriteU32Array(out, level.list3.data(), static_cast<int>(level.list3.size()));
            }
        }
    }
    out.F32(lighting.value);
}

void WriteLathe(WorldWriter &out, const LatheFields &lathe)
{
    out.Name(lathe.name).U32(lathe.segments).U32(0);
    out.U32(static_cast<uint32_t>(lathe.points.size()));
    for (const FloatPair &point : lathe.points) {
        out.F32(point.a).F32(point.b);
    }
    out.U32(static_cast<uint32_t>(lathe.links.size()));
    for (const SolidLink &link : lathe.links) {
        WriteSolidLink(out, link);
    }
}

void WriteRoadStrip(WorldWriter &out, int version, const RoadStrip &strip)
{
    const float dx = static_cast<float>(int64_t(strip.endX) - strip.startX);
    const float dy = static_cast<float>(int64_t(strip.endY) - strip.startY);
    const float direction = FloatAtan2(dy, dx);
    const int32_t half = strip.width / 2;

    // A panel's lateral axis is (cos h, sin h). Panel A's points to the right
    // of travel and panel B's to the left, so both face into the road; each
    // lists the left edge first.
    const PanelFields panelA = RoadPanel(strip, direction - HalfPi, -half);
    const PanelFields panelB = RoadPanel(strip, direction + HalfPi, half);
    WritePanel(out, version, ObjectHeaderAt(ObjectPanel, strip.startX, strip.startY), panelA);
    WritePanel(out, version, ObjectHeaderAt(ObjectPanel, strip.endX, strip.endY), panelB);

    SolidFields solid;
    solid.indexA = static_cast<uint16_t>(strip.firstIndex);
    solid.indexB = static_cast<uint16_t>(strip.firstIndex + 1);
    solid.segmentLength = strip.segmentLength;
    // Straight curves along both edges: the footprint ends at the edges.
    SolidCurveFields left;
    left.vertexA = 0;
    left.vertexB = 0;
    SolidCurveFields right;
    right.vertexA = 1;
    right.vertexB = 1;
    solid.curves = {left, right};
    // The link's cross-section normal points up when it runs from the left
    // edge to the right one; the other order faces the road down.
    solid.links = {SolidLink{strip.surface, 1, 1, 0, 0, 1}};
    WriteSolid(out, version, ObjectHeaderAt(ObjectSolid, 0, 0), solid);
}
