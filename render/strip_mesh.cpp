#include "render/strip_mesh.h"

#include "render/device_resources.h"
#include "render/mesh_lit_colours.h"
#include "render/model_node.h"
#include "render/object_mesh_part.h"
#include "render/view.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

StripMeshBuilder TheStripMeshBuilder;
int ObjectMeshColourSelector = ObjectMeshLitWord;

namespace {

constexpr int32_t One = 65536;
constexpr int32_t SmallestEdge = 256;  // 1/256 m on every axis

// Texture orientation rows: U' = a U + b V + e, V' = c U + d V + f (the
// same rows as the objects' materials).
constexpr int8_t OrientationRows[8][6] = {
    {1, 0, 0, 1, 0, 0},  {0, 1, -1, 0, 0, 1}, {-1, 0, 0, -1, 1, 1}, {0, -1, 1, 0, 1, 0},
    {-1, 0, 0, 1, 1, 0}, {0, 1, 1, 0, 0, 0},  {1, 0, 0, -1, 0, 1},  {0, -1, -1, 0, 1, 1},
};

void Orient(int orientation, float u, float v, float *uOut, float *vOut)
{
    const int8_t *r = OrientationRows[orientation & 7];
    *uOut = static_cast<float>(r[0]) * u + static_cast<float>(r[1]) * v + static_cast<float>(r[4]);
    *vOut = static_cast<float>(r[2]) * u + static_cast<float>(r[3]) * v + static_cast<float>(r[5]);
}

bool SameColour(const Colour &a, const Colour &b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.flags == b.flags;
}

bool Short(int64_t x, int64_t y, int64_t z)
{
    return std::llabs(x) < SmallestEdge && std::llabs(y) < SmallestEdge && std::llabs(z) < SmallestEdge;
}

int SubdivisionCount(const StripMaterial &m)
{
    return m.subdivisionCount > 0 ? m.subdivisionCount : 1;
}

// Stable 16-byte surface records for model-node vertices, one per colour.
const GridCell *ColourCell(const Colour &colour)
{
    static std::deque<GridCell> cells;
    static std::map<uint32_t, const GridCell *> byColour;
    const uint32_t key = static_cast<uint32_t>(colour.red) | static_cast<uint32_t>(colour.green) << 8 |
                         static_cast<uint32_t>(colour.blue) << 16 | static_cast<uint32_t>(colour.flags) << 24;
    const auto found = byColour.find(key);
    if (found != byColour.end()) {
        return found->second;
    }
    GridCell cell{};
    cell.bytes[0] = colour.red;
    cell.bytes[1] = colour.green;
    cell.bytes[2] = colour.blue;
    cell.bytes[3] = colour.flags;
    cells.push_back(cell);
    byColour[key] = &cells.back();
    return &cells.back();
}

// The output order of slot 6 and MakeModelNode: per list, each (normal
// entry) used by its triangles gets one vertex, in first-use order.
struct OrderedMesh {
    std::vector<int> vertexEntries;     // normal entry of each vertex
    std::vector<int> vertexPoints;      // its point
    std::vector<int> triangleCorners;   // three vertex indices per triangle
    std::vector<int> listVertices;
    std::vector<int> listTriangles;
};

OrderedMesh OrderMesh(const StripMeshBuilder &b)
{
    OrderedMesh mesh;
    std::vector<int> vertexOf(static_cast<size_t>(b.normalCount), -1);
    for (int list = 0; list < b.listCount; ++list) {
        const int firstVertex = static_cast<int>(mesh.vertexEntries.size());
        int triangles = 0;
        for (int t = 0; t < b.triangleCount; ++t) {
            const StripTriangle &triangle = b.triangles[t];
            if (triangle.list != list) {
                continue;
            }
            for (int k = 0; k < 3; ++k) {
                const int entry = triangle.normals[k];
                int &vertex = vertexOf[static_cast<size_t>(entry)];
                if (vertex < firstVertex) {
                    vertex = static_cast<int>(mesh.vertexEntries.size());
                    mesh.vertexEntries.push_back(entry);
                    mesh.vertexPoints.push_back(triangle.points[k]);
                }
                mesh.triangleCorners.push_back(vertex);
            }
            ++triangles;
        }
        mesh.listVertices.push_back(static_cast<int>(mesh.vertexEntries.size()) - firstVertex);
        mesh.listTriangles.push_back(triangles);
    }
    return mesh;
}

}  // namespace

const StripMaterial *StripMeshBuilder::SectionMaterial(int s) const
{
    const int index = inputs.sections[s].material;
    return inputs.materials != nullptr && index < inputs.materialCount ? &inputs.materials[index] : nullptr;
}

void StripMeshBuilder::PrepareSections()
{
    listCount = 0;
    pendingPoints = 0;
    pendingTriangles = 0;
    const bool withLists = (inputs.flags & StripMaterialLists) != 0;
    if (!withLists) {
        // One list of the plain default material.
        lists[0] = StripListEntry{0, 0, DefaultMaterial, nullptr};
        listCount = 1;
    }
    for (int s = 0; s < inputs.sectionCount; ++s) {
        StripSectionState &state = sections[s];
        state = StripSectionState{};
        const StripMaterial *m = SectionMaterial(s);
        if (!withLists || m == nullptr) {
            state.list = 0;
            state.pointsPerRow = 2;
            if (withLists && listCount == 0) {
                lists[0] = StripListEntry{0, 0, DefaultMaterial, nullptr};
                listCount = 1;
            }
            pendingPoints += 2;
            pendingTriangles += 2;
            continue;
        }
        int list = 0;
        while (list < listCount && lists[list].material != m->material) {
            ++list;
        }
        if (list == listCount) {
            lists[listCount++] = StripListEntry{m->environment, m->upNormal, m->material, m->textureName};
        }
        state.list = list;
        const int quads = SubdivisionCount(*m);
        state.pointsPerRow = quads + 1;
        pendingPoints += (m->perTile ? 2 : 1) * (quads + 1);
        pendingTriangles += ((inputs.flags & StripPatternLayout) != 0 ? 4 : 2) * quads;
    }
}

bool StripMeshBuilder::DoubledRow(const StripMaterial &m, int strip) const
{
    return m.perTile && strip > 0 && strip < inputs.rowCount;
}

float StripMeshBuilder::RowV(const StripMaterial &m, int strip, float vRepeat, float vOffset, int copy) const
{
    if (m.perTile) {
        // Every row ends one tile (copy 0) and starts the next (copy 1).
        const bool start = strip == 0 || (copy == 1 && strip < inputs.rowCount);
        return start ? 1.0f - vOffset : 1.0f - (vRepeat + vOffset);
    }
    float count = std::round(static_cast<float>(m.lengthCount) * inputs.lengthFactor);
    if (!(count >= 1.0f)) {
        count = 1.0f;
    }
    const int lengths = static_cast<int>(count);
    const int t = strip % lengths;
    return 1.0f - (static_cast<float>(t) / count * vRepeat + vOffset);
}

int StripMeshBuilder::AddPoint(const FixVector &position, const FixVector *normal, float u, float v)
{
    if (pointCount >= StripMaxPoints) {
        return -1;
    }
    StripPoint &point = points[pointCount];
    point.position = position;
    point.hasNormal = normal != nullptr ? 1 : 0;
    point.normal = normal != nullptr ? *normal : FixVector{0, 0, 0};
    point.firstNormal = -1;
    point.u = u;
    point.v = v;
    return pointCount++;
}

void StripMeshBuilder::AddSectionPoints(int s, const FixVector *row, const FixVector *normals)
{
    const StripSection &section = inputs.sections[s];
    StripSectionState &state = sections[s];
    const StripMaterial *m = SectionMaterial(s);
    const FixVector p = section.first < inputs.profileCount ? row[section.first] : FixVector{0, 0, 0};
    const FixVector q = section.last < inputs.profileCount ? row[section.last] : FixVector{0, 0, 0};
    const FixVector *np = normals != nullptr ? &normals[2 * s] : nullptr;
    const FixVector *nq = normals != nullptr ? &normals[2 * s + 1] : nullptr;
    const bool withLists = (inputs.flags & StripMaterialLists) != 0;
    if (!withLists || m == nullptr) {
        state.currentFirst = AddPoint(p, np, 0.0f, 0.0f);
        AddPoint(q, nq, 0.0f, 0.0f);
        state.nextFirst = state.currentFirst;
        ++state.strip;
        return;
    }
    // The texture inset keeps bilinear filtering inside the picture.
    float inset = m->textureSize > 0 ? 1.0f / static_cast<float>(m->textureSize) : 0.0f;
    if (m->textureKind == 1) {
        inset *= 2.0f;
    }
    float uRepeat = m->uRepeat / 64.0f - 2.0f * inset;
    float uOffset = m->uOffset / 64.0f + inset;
    const float vRepeat = m->vRepeat / 64.0f - 2.0f * inset;
    const float vOffset = m->vOffset / 64.0f + inset;
    if ((inputs.flags & StripFixedLengths) == 0 && section.lengthMode != 0 && inputs.referenceLengths != nullptr &&
        inputs.referenceLengths[s] > 0.0f) {
        const double dx = static_cast<double>(q.x) - p.x;
        const double dy = static_cast<double>(q.y) - p.y;
        const double dz = static_cast<double>(q.z) - p.z;
        const float d = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz) / One) / inputs.referenceLengths[s];
        if (section.lengthMode == 2) {
            uOffset = uOffset + uRepeat - uRepeat * d;
        }
        uRepeat *= d;
    }
    const int quads = SubdivisionCount(*m);
    const int copies = DoubledRow(*m, state.strip) ? 2 : 1;
    float cosine = 1.0f;
    float sine = 0.0f;
    if (m->radial == 1) {
        const int angle = static_cast<int16_t>(static_cast<int32_t>(m->radialAngle * -10430.0f));
        const double radians = angle * (3.14159265358979323846 / 32768.0);
        cosine = static_cast<float>(std::cos(radians));
        sine = static_cast<float>(std::sin(radians));
    }
    for (int copy = 0; copy < copies; ++copy) {
        const float v = RowV(*m, state.strip, vRepeat, vOffset, copies == 2 ? copy : 0);
        const int first = pointCount;
        for (int j = 0; j <= quads; ++j) {
            FixVector position = p;
            FixVector normal{};
            const FixVector *given = nullptr;
            float f = 0.0f;
            if (j == quads) {
                position = q;
                given = nq;
                f = 1.0f;
            } else if (j > 0) {
                const int32_t fraction = m->subdivisions != nullptr ? m->subdivisions[j - 1] : j * One / quads;
                f = static_cast<float>(fraction) / One;
                position.x = p.x + static_cast<int32_t>((static_cast<int64_t>(q.x) - p.x) * fraction / One);
                position.y = p.y + static_cast<int32_t>((static_cast<int64_t>(q.y) - p.y) * fraction / One);
                position.z = p.z + static_cast<int32_t>((static_cast<int64_t>(q.z) - p.z) * fraction / One);
                if (np != nullptr) {
                    normal.x = np->x + static_cast<int32_t>((static_cast<int64_t>(nq->x) - np->x) * fraction / One);
                    normal.y = np->y + static_cast<int32_t>((static_cast<int64_t>(nq->y) - np->y) * fraction / One);
                    normal.z = np->z + static_cast<int32_t>((static_cast<int64_t>(nq->z) - np->z) * fraction / One);
                    given = &normal;
                }
            } else {
                given = np;
            }
            float u = f * uRepeat + uOffset;
            float pointV = v;
            if (m->radial == 1) {
                // Around the mapping centre, turned by the mapping angle.
                const float x = static_cast<float>(position.x - m->radialCentre[0]) / One;
                const float y = static_cast<float>(position.y - m->radialCentre[1]) / One;
                const float xr = x * cosine - y * sine;
                const float yr = x * sine + y * cosine;
                u = m->radialExtent[0] != 0.0f ? 0.5f + xr / m->radialExtent[0] : 0.5f;
                pointV = m->radialExtent[1] != 0.0f ? 0.5f - yr / m->radialExtent[1] : 0.5f;
            }
            float uo = 0.0f;
            float vo = 0.0f;
            Orient(m->orientation, u, pointV, &uo, &vo);
            AddPoint(position, given, uo, vo);
        }
        if (copy == 0) {
            state.currentFirst = first;
        }
        state.nextFirst = first;
    }
    ++state.strip;
}

void StripMeshBuilder::GeneratePoints(const FixVector *row, const FixVector *normals)
{
    for (int s = 0; s < inputs.sectionCount; ++s) {
        AddSectionPoints(s, row, normals);
    }
}

void StripMeshBuilder::GenerateFlatPoints()
{
    GeneratePoints(firstRow, haveFirstNormals ? firstNormals : nullptr);
}

void StripMeshBuilder::LinkSections()
{
    for (int s = 0; s < inputs.sectionCount; ++s) {
        sections[s].previousFirst = sections[s].nextFirst;
    }
}

bool StripMeshBuilder::AddTriangle(int a, int b, int c, const Colour &colour, uint8_t key, int list)
{
    if (triangleCount >= StripMaxTriangles || normalCount + 3 > StripMaxNormals || a < 0 || b < 0 || c < 0 ||
        a >= pointCount || b >= pointCount || c >= pointCount) {
        return false;
    }
    const FixVector &p1 = points[a].position;
    const FixVector &p2 = points[b].position;
    const FixVector &p3 = points[c].position;
    const int64_t e1[3] = {static_cast<int64_t>(p2.x) - p1.x, static_cast<int64_t>(p2.y) - p1.y,
                           static_cast<int64_t>(p2.z) - p1.z};
    const int64_t e2[3] = {static_cast<int64_t>(p3.x) - p1.x, static_cast<int64_t>(p3.y) - p1.y,
                           static_cast<int64_t>(p3.z) - p1.z};
    if (Short(e1[0], e1[1], e1[2]) || Short(e2[0], e2[1], e2[2]) ||
        Short(e1[0] - e2[0], e1[1] - e2[1], e1[2] - e2[2])) {
        return false;
    }
    const double n[3] = {static_cast<double>(e1[1]) * e2[2] - static_cast<double>(e1[2]) * e2[1],
                         static_cast<double>(e1[2]) * e2[0] - static_cast<double>(e1[0]) * e2[2],
                         static_cast<double>(e1[0]) * e2[1] - static_cast<double>(e1[1]) * e2[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    FixVector face{0, 0, One};
    if (length > 0.0) {
        face = FixVector{static_cast<int32_t>(std::lround(n[0] / length * One)),
                         static_cast<int32_t>(std::lround(n[1] / length * One)),
                         static_cast<int32_t>(std::lround(n[2] / length * One))};
    }
    StripTriangle &triangle = triangles[triangleCount];
    triangle.faceNormal = face;
    triangle.list = list;
    triangle.colour = colour;
    const int corners[3] = {a, b, c};
    const bool up = (colour.flags & 4) != 0 || (list >= 0 && list < listCount && lists[list].upNormal != 0);
    for (int k = 0; k < 3; ++k) {
        StripPoint &point = points[corners[k]];
        int entry = point.firstNormal;
        int last = -1;
        while (entry >= 0 && !(normals[entry].key == key && SameColour(normals[entry].colour, colour))) {
            last = entry;
            entry = normals[entry].next;
        }
        if (entry < 0) {
            entry = normalCount++;
            StripNormalEntry &made = normals[entry];
            made.key = key;
            made.colour = colour;
            made.normal = up ? FixVector{0, 0, One} : point.hasNormal ? point.normal : face;
            made.next = -1;
            if (last < 0) {
                point.firstNormal = entry;
            } else {
                normals[last].next = entry;
            }
        }
        triangle.points[k] = corners[k];
        triangle.normals[k] = entry;
    }
    ++triangleCount;
    return true;
}

bool StripMeshBuilder::GenerateTriangles(const FixVector *row, const FixVector *normals)
{
    if (stopped || pointCount + pendingPoints > StripMaxPoints || triangleCount + pendingTriangles > StripMaxTriangles) {
        stopped = 1;
        return false;
    }
    if (row != nullptr) {
        GeneratePoints(row, normals);
    } else {
        GenerateFlatPoints();
    }
    const bool withLists = (inputs.flags & StripMaterialLists) != 0;
    const bool fourBytes = (inputs.flags & StripPatternLayout) != 0;
    for (int s = 0; s < inputs.sectionCount; ++s) {
        const StripSectionState &state = sections[s];
        const StripSection &section = inputs.sections[s];
        const StripMaterial *m = SectionMaterial(s);
        const int before = state.previousFirst;
        const int now = state.currentFirst;
        if (!withLists || m == nullptr) {
            if (m != nullptr && (m->flags & 2) != 0) {
                AddTriangle(before, before + 1, now, m->colour, section.smoothingKey, state.list);
                AddTriangle(before + 1, now + 1, now, m->colour, section.smoothingKey, state.list);
            }
            continue;
        }
        const int quads = SubdivisionCount(*m);
        // The pattern row of the quad strip being closed.
        const int patternRow = m->patternLength > 0 ? rowsAdded % m->patternLength : 0;
        for (int j = 0; j < quads; ++j) {
            if (!fourBytes) {
                Colour colour = m->colour;
                if (m->pattern != nullptr && m->patternLength > 0) {
                    const uint8_t index = m->pattern[patternRow * quads + j];
                    if (index == 255) {
                        continue;
                    }
                    if (index < m->colourCount && m->colours != nullptr) {
                        colour = m->colours[index];
                    }
                }
                AddTriangle(before + j, before + j + 1, now + j, colour, section.smoothingKey, state.list);
                AddTriangle(before + j + 1, now + j + 1, now + j, colour, section.smoothingKey, state.list);
                continue;
            }
            const int c0 = before + j;
            const int c1 = now + j;
            const int c2 = before + j + 1;
            const int c3 = now + j + 1;
            const int corners[4][3] = {{c0, c2, c3}, {c2, c3, c1}, {c3, c1, c0}, {c1, c0, c2}};
            for (int k = 0; k < 4; ++k) {
                Colour colour = m->colour;
                if (m->pattern != nullptr && m->patternLength > 0) {
                    const uint8_t index = m->pattern[(patternRow * quads + j) * 4 + k];
                    if (index == 255) {
                        continue;
                    }
                    if (index < m->colourCount && m->colours != nullptr) {
                        colour = m->colours[index];
                    }
                }
                AddTriangle(corners[k][0], corners[k][1], corners[k][2], colour, section.smoothingKey, state.list);
            }
        }
    }
    LinkSections();
    return true;
}

void StripMeshBuilder::Generate(const StripMeshInputs &given, const FixVector *row, const FixVector *rowNormals)
{
    inputs = given;
    if (inputs.sectionCount > StripMaxSections) {
        inputs.sectionCount = StripMaxSections;
    }
    if (inputs.sectionCount < 0 || inputs.sections == nullptr) {
        inputs.sectionCount = 0;
    }
    if (inputs.profileCount > StripMaxProfile) {
        inputs.profileCount = StripMaxProfile;
    }
    if (inputs.profileCount < 0 || row == nullptr) {
        inputs.profileCount = 0;
    }
    pointCount = 0;
    normalCount = 0;
    triangleCount = 0;
    rowsAdded = 0;
    stopped = 0;
    splitCount = 0;
    haveFirstNormals = rowNormals != nullptr ? 1 : 0;
    if (row != nullptr) {
        std::memcpy(firstRow, row, sizeof(FixVector) * static_cast<size_t>(inputs.profileCount));
    }
    if (rowNormals != nullptr) {
        std::memcpy(firstNormals, rowNormals, sizeof(FixVector) * 2 * static_cast<size_t>(inputs.sectionCount));
    }
    PrepareSections();
    if (pendingPoints > StripMaxPoints) {
        stopped = 1;
        return;
    }
    GeneratePoints(firstRow, haveFirstNormals ? firstNormals : nullptr);
    LinkSections();
}

bool StripMeshBuilder::AddRow(const FixVector *row, const FixVector *rowNormals)
{
    const bool added = GenerateTriangles(row, rowNormals);
    if (added) {
        ++rowsAdded;
    }
    return added;
}

int StripMeshBuilder::SplitEdge(int a, int b)
{
    if (a < 0 || b < 0 || a >= pointCount || b >= pointCount) {
        return -1;
    }
    const int low = a < b ? a : b;
    const int high = a < b ? b : a;
    for (int i = 0; i < splitCount; ++i) {
        if (splitEdges[i][0] == low && splitEdges[i][1] == high) {
            return splitEdges[i][2];
        }
    }
    if (splitCount >= StripMaxSplitEdges || pointCount >= StripMaxPoints) {
        return -1;
    }
    const StripPoint &p = points[low];
    const StripPoint &q = points[high];
    const FixVector middle{static_cast<int32_t>((static_cast<int64_t>(p.position.x) + q.position.x) / 2),
                           static_cast<int32_t>((static_cast<int64_t>(p.position.y) + q.position.y) / 2),
                           static_cast<int32_t>((static_cast<int64_t>(p.position.z) + q.position.z) / 2)};
    const FixVector normal{static_cast<int32_t>((static_cast<int64_t>(p.normal.x) + q.normal.x) / 2),
                           static_cast<int32_t>((static_cast<int64_t>(p.normal.y) + q.normal.y) / 2),
                           static_cast<int32_t>((static_cast<int64_t>(p.normal.z) + q.normal.z) / 2)};
    const int made = AddPoint(middle, p.hasNormal && q.hasNormal ? &normal : nullptr, (p.u + q.u) / 2.0f,
                              (p.v + q.v) / 2.0f);
    splitEdges[splitCount][0] = low;
    splitEdges[splitCount][1] = high;
    splitEdges[splitCount][2] = made;
    ++splitCount;
    return made;
}

ObjectMeshPart *StripMeshBuilder::MakeObjectMeshPart(const uint8_t *lightList)
{
    if (triangleCount == 0) {
        return nullptr;
    }
    const OrderedMesh mesh = OrderMesh(*this);
    ObjectMeshPart *part = new ObjectMeshPart;
    part->vertexCount = static_cast<int32_t>(mesh.vertexEntries.size());
    part->triangleCount = static_cast<int32_t>(mesh.triangleCorners.size() / 3);
    part->vertices = new ObjectMeshVertex[mesh.vertexEntries.size()];
    part->triangles = new ObjectMeshTriangle[static_cast<size_t>(part->triangleCount)];
    part->listCount = listCount;
    part->lists = new MaterialDrawList[static_cast<size_t>(listCount)];
    const FixVector &sunDir = CurrentView->sunDir;
    for (size_t i = 0; i < mesh.vertexEntries.size(); ++i) {
        const StripNormalEntry &entry = normals[mesh.vertexEntries[i]];
        const StripPoint &point = points[mesh.vertexPoints[i]];
        ObjectMeshVertex &vertex = part->vertices[i];
        vertex.x = point.position.x;
        vertex.y = point.position.y;
        vertex.z = point.position.z;
        vertex.nx = static_cast<float>(entry.normal.x) / One;
        vertex.ny = static_cast<float>(entry.normal.y) / One;
        vertex.nz = static_cast<float>(entry.normal.z) / One;
        vertex.u = point.u;
        vertex.v = point.v;
        if (lightList == nullptr) {
            LightColourByNormal(&vertex, entry.colour, entry.normal, inputs.lightClass);
            continue;
        }
        const uint8_t *light = &lightList[i * 4];
        const int32_t ambient[3] = {light[0], light[1], light[2]};
        const int64_t d = (static_cast<int64_t>(entry.normal.x) * sunDir.x +
                           static_cast<int64_t>(entry.normal.y) * sunDir.y +
                           static_cast<int64_t>(entry.normal.z) * sunDir.z) >>
                          16;
        if (entry.colour.flags & 1) {
            SetFlatColourPair(&vertex, entry.colour);
        } else if ((light[3] & 1) != 0 && d >= 1) {
            int32_t sun[3];
            for (int c = 0; c < 3; ++c) {
                sun[c] = static_cast<int32_t>(d * CurrentView->sunLight[c] / 65536 / 2);
            }
            SetLitColourPair(&vertex, entry.colour, ambient, sun, inputs.lightClass);
        } else {
            SetAmbientColourPair(&vertex, entry.colour, ambient, inputs.lightClass);
        }
    }
    for (int t = 0; t < part->triangleCount; ++t) {
        for (int k = 0; k < 3; ++k) {
            part->triangles[t].corners[k] = static_cast<uint32_t>(mesh.triangleCorners[static_cast<size_t>(t * 3 + k)]);
        }
    }
    for (int l = 0; l < listCount; ++l) {
        MaterialDrawList &list = part->lists[l];
        list = MaterialDrawList{};
        list.flags = static_cast<uint8_t>((lists[l].environment ? 1 : 0) | (lists[l].upNormal ? 2 : 0));
        list.objectMaterial = static_cast<int16_t>(l);
        list.material = lists[l].material;
        std::snprintf(list.textureName, sizeof(list.textureName), "%s",
                      lists[l].textureName != nullptr ? lists[l].textureName : "");
        list.vertexCount = static_cast<uint32_t>(mesh.listVertices[static_cast<size_t>(l)]);
        list.triangleCount = static_cast<uint32_t>(mesh.listTriangles[static_cast<size_t>(l)]);
    }
    return part;
}

void StripMeshBuilder::MakeModelNode(ModelNode *node)
{
    if (node == nullptr) {
        return;
    }
    node->FreeGeometry();
    const OrderedMesh mesh = OrderMesh(*this);
    node->vertexCount = static_cast<int32_t>(mesh.vertexEntries.size());
    node->triangleCount = static_cast<int32_t>(mesh.triangleCorners.size() / 3);
    node->vertices = new ModelVertex[mesh.vertexEntries.size()]();
    node->triangles = new ModelTriangle[static_cast<size_t>(node->triangleCount)]();
    node->listCount = listCount;
    node->lists = new MaterialDrawList[static_cast<size_t>(listCount)]();
    for (size_t i = 0; i < mesh.vertexEntries.size(); ++i) {
        const StripNormalEntry &entry = normals[mesh.vertexEntries[i]];
        const StripPoint &point = points[mesh.vertexPoints[i]];
        ModelVertex &vertex = node->vertices[i];
        vertex.position[0] = point.position.x;
        vertex.position[1] = point.position.y;
        vertex.position[2] = point.position.z;
        vertex.normal[0] = entry.normal.x;
        vertex.normal[1] = entry.normal.y;
        vertex.normal[2] = entry.normal.z;
        vertex.u = point.u;
        vertex.v = point.v;
        vertex.surface = ColourCell(entry.colour);
    }
    for (int t = 0; t < node->triangleCount; ++t) {
        for (int k = 0; k < 3; ++k) {
            node->triangles[t].corners[k] = static_cast<uint16_t>(mesh.triangleCorners[static_cast<size_t>(t * 3 + k)]);
        }
        node->triangles[t].surface = node->vertices[node->triangles[t].corners[0]].surface;
    }
    for (int l = 0; l < listCount; ++l) {
        MaterialDrawList &list = node->lists[l];
        list.flags = static_cast<uint8_t>((lists[l].environment ? 1 : 0) | (lists[l].upNormal ? 2 : 0));
        list.objectMaterial = static_cast<int16_t>(l);
        list.material = lists[l].material;
        std::snprintf(list.textureName, sizeof(list.textureName), "%s",
                      lists[l].textureName != nullptr ? lists[l].textureName : "");
        list.vertexCount = static_cast<uint32_t>(mesh.listVertices[static_cast<size_t>(l)]);
        list.triangleCount = static_cast<uint32_t>(mesh.listTriangles[static_cast<size_t>(l)]);
    }
    node->ComputeBounds();
}
