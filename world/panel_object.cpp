#include "world/panel_object.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "core/data_stream.h"
#include "core/float_math.h"
#include "vehicle/fix_convert.h"
#include "world/track_colours.h"
#include "world/world.h"

namespace {

int64_t MulShift(int64_t a, int64_t b)
{
    return (a * b) >> 16;
}

// The eight texture orientations: u' = a u + b v + e, v' = c u + d v + f.
const float OrientationTable[8][6] = {
    {1, 0, 0, 1, 0, 0},  {0, 1, -1, 0, 0, 1}, {-1, 0, 0, -1, 1, 1}, {0, -1, 1, 0, 1, 0},
    {-1, 0, 0, 1, 1, 0}, {0, 1, 1, 0, 0, 0},  {1, 0, 0, -1, 0, 1},  {0, -1, -1, 0, 1, 1},
};

// A source panel's vertex as a world point: along the source's lateral axis.
void SourcePoint(const PanelObject &source, const PanelVertex &vertex, FixVector &point)
{
    const float lateral = static_cast<float>(vertex.lateral);
    point.x = static_cast<int32_t>(source.positionX + int64_t(RoundToInt(FloatCos(source.heading) * lateral)));
    point.y = static_cast<int32_t>(source.positionY + int64_t(RoundToInt(FloatSin(source.heading) * lateral)));
    point.z = vertex.height;
}

bool IsSoundOffset(int32_t offset)
{
    return offset >= -PanelMaxOffset && offset <= PanelMaxOffset;
}

} // namespace

PanelObject::PanelObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

void PanelObject::Release()
{
    if (faceCount != 0) {
        delete[] faces;
    }
    faces = nullptr;
    faceCount = 0;
    delete[] vertices;
    vertices = nullptr;
    vertexCount = 0;
}

int PanelObject::Read(DataStream *stream, int)
{
    flags = static_cast<uint8_t>(stream->ReadU8());
    spareByte = static_cast<uint8_t>(stream->ReadU8());
    surface = static_cast<uint16_t>(stream->ReadU16());
    if (flags & PanelExtraFloat) {
        stream->ReadFloat();
    }
    heading = stream->ReadFloat();
    if (!std::isfinite(heading)) {
        return 1;
    }
    const int readVertexCount = stream->ReadU8() & 0xFF;
    const int readFaceCount = stream->ReadU8() & 0xFF;
    tagA = static_cast<uint8_t>(stream->ReadU8());
    tagB = static_cast<uint8_t>(stream->ReadU8());
    if (flags & PanelComposite) {
        panelA = static_cast<uint16_t>(stream->ReadU16());
        panelB = static_cast<uint16_t>(stream->ReadU16());
    }
    if (stream->overrun || stream->Remaining() < int64_t(readVertexCount) * 20 + int64_t(readFaceCount) * 4) {
        return 1;
    }
    vertexCount = static_cast<uint8_t>(readVertexCount);
    vertices = new PanelVertex[vertexCount > 0 ? vertexCount : 1]();
    for (int i = 0; i < vertexCount; i++) {
        PanelVertex &vertex = vertices[i];
        vertex.height = static_cast<int32_t>(stream->ReadU32());
        vertex.lateral = static_cast<int32_t>(stream->ReadU32());
        vertex.slope = stream->ReadFloat();
        vertex.angle = stream->ReadFloat();
        vertex.tag = static_cast<uint8_t>(stream->ReadU8());
        stream->ReadBytes(vertex.unused, 3);
        if (!IsSoundOffset(vertex.height) || !IsSoundOffset(vertex.lateral) || !std::isfinite(vertex.slope) ||
            !std::isfinite(vertex.angle)) {
            return 1;
        }
    }
    if (readFaceCount != 0) {
        faceCount = static_cast<uint8_t>(readFaceCount);
        faces = new PanelFace[faceCount];
        for (int i = 0; i < faceCount; i++) {
            stream->ReadBytes(&faces[i], 4);
            for (uint8_t index : faces[i].vertex) {
                if (index >= vertexCount) {
                    return 1;   // a face naming no vertex would be read out of bounds
                }
            }
        }
    }
    return stream->overrun ? 1 : 0;
}

int PanelObject::ResolveSources(WorldObject *const *objects, int objectCount)
{
    sourceA = nullptr;
    sourceB = nullptr;
    if (!(flags & PanelComposite)) {
        return 0;
    }
    if (panelA >= objectCount || panelB >= objectCount || !objects[panelA] || !objects[panelB] ||
        objects[panelA]->GetType() != ObjectPanel || objects[panelB]->GetType() != ObjectPanel) {
        return 1;
    }
    sourceA = static_cast<PanelObject *>(objects[panelA]);
    sourceB = static_cast<PanelObject *>(objects[panelB]);
    return 0;
}

int PanelObject::StoredIndex(int side, int i) const
{
    const int index = side == 1 ? i : vertexCount - 1 - i;
    return (index >= 0 && index < vertexCount) ? index : -1;
}

int32_t PanelObject::GetVertexHeight(int side, int i) const
{
    const int index = StoredIndex(side, i);
    return index < 0 ? 0 : vertices[index].height;
}

int32_t PanelObject::GetVertexLateral(int side, int i) const
{
    const int index = StoredIndex(side, i);
    if (index < 0) {
        return 0;
    }
    return side == 1 ? vertices[index].lateral : -vertices[index].lateral;
}

float PanelObject::GetVertexSlope(int side, int i) const
{
    const int index = StoredIndex(side, i);
    if (index < 0) {
        return 0.0f;
    }
    return side == 1 ? vertices[index].slope : -vertices[index].slope;
}

float PanelObject::GetVertexAngle(int side, int i) const
{
    const int index = StoredIndex(side, i);
    return index < 0 ? 0.0f : vertices[index].angle;
}

int PanelObject::GetVertexTag(int side, int i) const
{
    const int index = StoredIndex(side, i);
    return index < 0 ? 0 : vertices[index].tag;
}

void PanelObject::GetVertexWorldPosition(int side, int i, FixVector &point) const
{
    const int index = StoredIndex(side, i);
    if (index < 0) {
        return;
    }
    if (!(flags & PanelComposite)) {
        FixMatrix turn;
        FixRotationZ(turn, AngleFromRadians(heading));
        const FixVector local = {vertices[index].lateral, 0, vertices[index].height};
        TransformFixVector(turn, local, point);
        point.x = static_cast<int32_t>(int64_t(point.x) + positionX);
        point.y = static_cast<int32_t>(int64_t(point.y) + positionY);
        return;
    }
    int found = 0;
    const PanelObject *sources[2] = {sourceA, sourceB};
    const uint8_t tags[2] = {tagA, tagB};
    for (int s = 0; s < 2; s++) {
        const PanelObject *source = sources[s];
        if (!source) {
            continue;
        }
        for (int v = 0; v < source->vertexCount; v++) {
            if (source->vertices[v].tag != tags[s]) {
                continue;
            }
            if (found == index) {
                SourcePoint(*source, source->vertices[v], point);
                return;
            }
            found++;
        }
    }
}

void PanelObject::Prepare()
{
    // 1. A composite panel spans between the join vertices of its sources.
    if ((flags & PanelComposite) && sourceA && sourceB) {
        const PanelObject *sources[2] = {sourceA, sourceB};
        const uint8_t tags[2] = {tagA, tagB};
        FixVector sidePoint[2];
        int copied = 0;
        int sideEnd[2] = {0, 0};
        for (int s = 0; s < 2; s++) {
            const PanelObject *source = sources[s];
            // A side without any join vertex stands at its source's position.
            sidePoint[s] = {source->positionX, source->positionY, 0};
            for (int v = 0; v < source->vertexCount; v++) {
                if (source->vertices[v].tag != tags[s]) {
                    continue;
                }
                SourcePoint(*source, source->vertices[v], sidePoint[s]);
                if (copied < vertexCount) {
                    vertices[copied++] = source->vertices[v];
                }
            }
            sideEnd[s] = copied;
        }
        positionX = static_cast<int32_t>((int64_t(sidePoint[0].x) + sidePoint[1].x) / 2);
        positionY = static_cast<int32_t>((int64_t(sidePoint[0].y) + sidePoint[1].y) / 2);
        const float dx = static_cast<float>(int64_t(sidePoint[1].x) - sidePoint[0].x) * FixToFloat;
        const float dy = static_cast<float>(int64_t(sidePoint[1].y) - sidePoint[0].y) * FixToFloat;
        const int32_t halfDistance = RoundToInt(std::sqrt(dx * dx + dy * dy) * 65536.0f / 2.0f);
        for (int v = 0; v < sideEnd[1]; v++) {
            vertices[v].lateral = v < sideEnd[0] ? -halfDistance : halfDistance;
        }
        heading = FloatAtan2(dy, dx);
    }

    // 2. Bounds at the position, no radius.
    minX = maxX = positionX;
    minY = maxY = positionY;
    radius = 0;

    // 3. Snapping of tagged vertices to the ends.
    int32_t smallest = 0, largest = 0;
    for (int v = 0; v < vertexCount; v++) {
        if (v == 0 || vertices[v].lateral < smallest) {
            smallest = vertices[v].lateral;
        }
        if (v == 0 || vertices[v].lateral > largest) {
            largest = vertices[v].lateral;
        }
    }
    for (int v = 0; v < vertexCount; v++) {
        PanelVertex &vertex = vertices[v];
        if (vertex.tag == 1 && vertex.lateral > smallest) {
            vertex.lateral = smallest;
        }
        if (vertex.tag == 2 && vertex.lateral < largest) {
            vertex.lateral = largest;
        }
        vertex.u = 0;
        vertex.v = 0;
    }

    // 4.
    flags &= static_cast<uint8_t>(~(PanelTransparent | PanelBackFaces | PanelFrontFaces));

    // 5.
    if (faceCount == 0) {
        centreX = positionX;
        centreY = positionY;
        centreZ = 0;
        return;
    }

    // 6. Face ranges and facing.
    int32_t latMin = vertices[faces[0].vertex[0]].lateral, latMax = latMin;
    int32_t hMin = vertices[faces[0].vertex[0]].height, hMax = hMin;
    for (int f = 0; f < faceCount; f++) {
        PanelFace &face = faces[f];
        const PanelVertex &v0 = vertices[face.vertex[0]];
        const PanelVertex &v1 = vertices[face.vertex[1]];
        const PanelVertex &v2 = vertices[face.vertex[2]];
        for (const PanelVertex *vertex : {&v0, &v1, &v2}) {
            latMin = vertex->lateral < latMin ? vertex->lateral : latMin;
            latMax = vertex->lateral > latMax ? vertex->lateral : latMax;
            hMin = vertex->height < hMin ? vertex->height : hMin;
            hMax = vertex->height > hMax ? vertex->height : hMax;
        }
        const int64_t facing = MulShift(int64_t(v0.lateral) - v2.lateral, int64_t(v1.height) - v0.height) +
                               MulShift(int64_t(v1.lateral) - v0.lateral, int64_t(v2.height) - v0.height);
        const uint8_t bit = facing >= 0 ? PanelFrontFaces : PanelBackFaces;
        face.flags |= bit;
        flags |= bit;
    }
    const int64_t latRange = int64_t(latMax) - latMin;
    const int64_t hRange = int64_t(hMax) - hMin;
    const float halfLat = static_cast<float>(latRange) * 0.5f * FixToFloat;
    const float halfH = static_cast<float>(hRange) * 0.5f * FixToFloat;
    radius = RoundToInt(std::sqrt(halfLat * halfLat + halfH * halfH) * 65536.0f);
    FixMatrix turn;
    FixRotationZ(turn, AngleFromRadians(heading));
    const FixVector local = {static_cast<int32_t>((int64_t(latMin) + latMax) / 2), 0,
                             static_cast<int32_t>((int64_t(hMin) + hMax) / 2)};
    FixVector centre;
    TransformFixVector(turn, local, centre);
    centreX = static_cast<int32_t>(int64_t(centre.x) + positionX);
    centreY = static_cast<int32_t>(int64_t(centre.y) + positionY);
    centreZ = centre.z;

    // 7. Texture coordinates of textured panels.
    if (!(flags & PanelTextured) || latRange == 0 || hRange == 0 || !CurrentWorld ||
        surface >= CurrentWorld->colours.count) {
        return;
    }
    const TrackColour &colour = CurrentWorld->colours.records[surface];
    if (TextureNameAlphaFlags(colour.textureName) != 0) {
        flags |= PanelTransparent;
    }
    const float *row = OrientationTable[colour.orientation & 7];
    const float su = colour.uRepeat / 64.0f, sv = colour.vRepeat / 64.0f;
    const float ou = colour.uOffset / 64.0f, ov = colour.vOffset / 64.0f;
    for (int v = 0; v < vertexCount; v++) {
        PanelVertex &vertex = vertices[v];
        const float u = static_cast<float>(int64_t(vertex.lateral) - latMin) * su / static_cast<float>(latRange) + ou;
        const float w = (1.0f - ov) - static_cast<float>(int64_t(vertex.height) - hMin) * sv / static_cast<float>(hRange);
        const float u2 = row[0] * u + row[1] * w + row[4];
        const float v2 = row[2] * u + row[3] * w + row[5];
        vertex.u = static_cast<uint16_t>(RoundToInt(u2 * 65535.0f));
        vertex.v = static_cast<uint16_t>(RoundToInt(v2 * 65535.0f));
    }
}
