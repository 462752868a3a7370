#include "render/model_build.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "core/fixed_math.h"
#include "core/float_math.h"
#include "core/text_utils.h"
#include "render/material.h"
#include "render/mesh_lit_colours.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/object_mesh_part.h"
#include "render/texture_manager.h"

int ObjectTextureMissing = 0;
int LastBuildRestarts = 0;

namespace {

constexpr uint16_t NoVertex = 0xFFFF;
constexpr uint16_t NoMapping = 0xFFFF;
// A triangle adds at most three vertices per side: the last room is kept
// free so that a mirrored pair always fits.
constexpr int TriangleRoomLimit = MaxBuildTriangles - 2;
constexpr int VertexRoomLimit = MaxBuildVertices - 6;
constexpr float Pi = 3.14159265358979f;

ObjectTextureLookup TextureLookup = nullptr;
// The number-plate group of the last top-level texture load: the children,
// which the build loads itself, take the same plates.
int LastFallbackIndex = 0;
// The skeleton of the running build (null: none).
const ModelSkeleton *BuildSkeleton = nullptr;

struct BuildVertex {
    uint8_t bone;
    uint8_t started;      // a weighted triangle has set the normal sum
    uint16_t mapping;
    uint8_t flags;
    int32_t position[3];  // stored: model space, or the bone's frame with a skeleton
    int32_t model[3];     // model space (scaled)
    int64_t normalSum[3]; // 64-bit: many large faces on one point would overflow 32 bits
    int32_t normal[3];
    float u, v;
    const GridCell *surface;
};

struct BuildTriangle {
    uint16_t corners[3];
    const GridCell *surface;
};

// The global build buffers (one build at a time, on the main thread).
struct BuildBuffers {
    BuildVertex vertices[MaxBuildVertices];
    uint16_t chain[MaxBuildVertices];       // next vertex of the same point and side
    int32_t raw[MaxBuildVertices][3];       // side applied, not scaled
    int16_t passMaterial[MaxBuildVertices]; // the material pass that took the vertex
    uint16_t outIndex[MaxBuildVertices];
    BuildTriangle triangles[MaxBuildTriangles];
    int vertexCount;
    int triangleCount;
};

BuildBuffers Buffers;

int32_t FixProduct(int32_t a, int32_t b)
{
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 16);
}

bool EndsWithNoCase(const char *name, const char *suffix)
{
    const size_t n = std::strlen(name);
    const size_t s = std::strlen(suffix);
    return n >= 6 && n >= s && EqualsNoCase(name + n - s, suffix);
}

bool IsAlphaBlendedName(const char *name)
{
    return EndsWithNoCase(name, "ALPHA") || EndsWithNoCase(name, "ALP15") || EndsWithNoCase(name, "ALP24");
}

const char *MaterialTextureName(const Object3D *object, const ObjectMaterial &material)
{
    if (material.texture >= object->textureCount)
        return nullptr;
    return object->textures[material.texture].name;
}

// The vertex of point p on side `side` for a surface: the one already made
// for that surface, else a new one at the end of the point's chain.
uint16_t FindOrAddVertex(Object3D *object, int p, int side, const GridCell *surface, int32_t xScale,
                         int32_t yzScale)
{
    ObjectPoint &point = object->points[p];
    uint16_t last = NoVertex;
    for (uint16_t v = point.vertexSlots[side]; v != NoVertex; v = Buffers.chain[v]) {
        if (Buffers.vertices[v].surface == surface)
            return v;
        last = v;
    }
    const uint16_t n = static_cast<uint16_t>(Buffers.vertexCount++);
    BuildVertex &vertex = Buffers.vertices[n];
    vertex = BuildVertex{};
    Buffers.chain[n] = NoVertex;
    Buffers.passMaterial[n] = -1;
    if (last != NoVertex)
        Buffers.chain[last] = n;
    else
        point.vertexSlots[side] = n;
    if (PointSharesMirrorVertex(point) && point.vertexSlots[side ^ 1] == NoVertex)
        point.vertexSlots[side ^ 1] = point.vertexSlots[side];

    int32_t *raw = Buffers.raw[n];
    raw[0] = side ? -point.x : point.x;
    raw[1] = point.y;
    raw[2] = point.z;
    const int mapping = SurfaceMapping(*surface);
    vertex.mapping = mapping < static_cast<int>(object->mappingCount) ? static_cast<uint16_t>(mapping) : NoMapping;
    vertex.flags = static_cast<uint8_t>((point.flags & 0xC0) | side);
    vertex.bone = 0;
    vertex.model[0] = FixProduct(raw[0], xScale);
    vertex.model[1] = FixProduct(raw[1], yzScale);
    vertex.model[2] = FixProduct(raw[2], yzScale);
    vertex.position[0] = vertex.model[0];
    vertex.position[1] = vertex.model[1];
    vertex.position[2] = vertex.model[2];
    if (BuildSkeleton != nullptr) {
        int bone = 0;
        if (point.bone < BuildSkeleton->entryCount && BuildSkeleton->entries != nullptr) {
            const SkeletonEntry &entry = BuildSkeleton->entries[point.bone];
            bone = entry.transform + (side == 1 ? entry.mirror : 0);
        }
        vertex.bone = static_cast<uint8_t>(bone > 255 ? 255 : bone);
        if (vertex.bone < BuildSkeleton->boneCount && BuildSkeleton->bones != nullptr) {
            FixVector local;
            BuildSkeleton->bones[vertex.bone].ApplyInverse(
                FixVector{vertex.model[0], vertex.model[1], vertex.model[2]}, local);
            vertex.position[0] = local.x;
            vertex.position[1] = local.y;
            vertex.position[2] = local.z;
        }
    }
    vertex.surface = surface;
    return n;
}

void Subtract(const float a[3], const float b[3], float out[3])
{
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

float Dot(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

int64_t RoundToInt64(float x)
{
    return static_cast<int64_t>(std::floor(static_cast<double>(x) + 0.5));
}

// Adds one triangle (side 1: its mirrored twin, opposite winding) with its
// share of the smooth normals.
void AddTriangleVertices(Object3D *object, const ObjectTriangle &triangle, int side, int row, int32_t xScale,
                         int32_t yzScale)
{
    const GridCell *surface = ObjectSurfaceCell(object, row, triangle.surface);
    if (surface == nullptr)
        return;
    static const int Order[2][3] = {{2, 1, 0}, {0, 1, 2}};
    int points[3];
    int sides[3];
    for (int k = 0; k < 3; k++) {
        const uint16_t corner = triangle.corners[Order[side][k]];
        points[k] = corner & CornerIndexMask;
        sides[k] = ((corner & CornerTwin) != 0 || side == 1) ? 1 : 0;
        if (points[k] >= object->pointCount)
            return;  // a damaged corner: the triangle is left out
    }
    BuildTriangle &out = Buffers.triangles[Buffers.triangleCount++];
    for (int k = 0; k < 3; k++)
        out.corners[k] = FindOrAddVertex(object, points[k], sides[k], surface, xScale, yzScale);
    out.surface = surface;

    // Face normal from the corner positions in metres.
    float p[3][3];
    for (int k = 0; k < 3; k++) {
        for (int a = 0; a < 3; a++)
            p[k][a] = static_cast<float>(Buffers.vertices[out.corners[k]].model[a]) * FixToFloat;
    }
    float e[3][3];
    Subtract(p[1], p[0], e[0]);
    Subtract(p[2], p[1], e[1]);
    Subtract(p[0], p[2], e[2]);
    float n[3] = {e[1][1] * e[0][2] - e[1][2] * e[0][1], e[1][2] * e[0][0] - e[1][0] * e[0][2],
                  e[1][0] * e[0][1] - e[1][1] * e[0][0]};
    const float squared = Dot(n, n);
    if (squared > 8192.0f * 8192.0f) {
        const float scale = 8192.0f / std::sqrt(squared);
        for (float &c : n)
            c *= scale;
    }
    const int weight = triangle.normalWeight;
    if (weight > 1) {
        for (float &c : n)
            c *= static_cast<float>(weight);
    }
    const float lengths[3] = {std::sqrt(Dot(e[0], e[0])), std::sqrt(Dot(e[1], e[1])), std::sqrt(Dot(e[2], e[2]))};

    for (int k = 0; k < 3; k++) {
        const uint16_t head = object->points[points[k]].vertexSlots[sides[k]];
        BuildVertex &target = Buffers.vertices[head];
        if (weight == 0) {
            if (target.started)
                continue;
        } else if (!target.started) {
            target.normalSum[0] = target.normalSum[1] = target.normalSum[2] = 0;
            target.started = 1;
        }
        // Corner k lies between the incoming edge e[k - 1] and the outgoing e[k].
        const float *in = e[(k + 2) % 3];
        const float *outEdge = e[k];
        const float product = lengths[(k + 2) % 3] * lengths[k];
        if (product < 1e-6f)
            continue;
        float cosine = Dot(in, outEdge) / product;
        cosine = cosine < -1.0f ? -1.0f : (cosine > 1.0f ? 1.0f : cosine);
        const float angle = Pi - FloatAcos(cosine);
        for (int a = 0; a < 3; a++)
            target.normalSum[a] += RoundToInt64(angle * 65536.0f * n[a]);
    }
}

// Every vertex of one point's slot takes the finished normal of the slot's
// first vertex.
void FinishSlotNormal(uint16_t head)
{
    BuildVertex &first = Buffers.vertices[head];
    const double x = static_cast<double>(first.normalSum[0]);
    const double y = static_cast<double>(first.normalSum[1]);
    const double z = static_cast<double>(first.normalSum[2]);
    const int64_t length = static_cast<int64_t>(std::sqrt(x * x + y * y + z * z));
    int32_t normal[3] = {0, 0, 0};
    if (length >= 16) {
        for (int a = 0; a < 3; a++)
            normal[a] = static_cast<int32_t>(first.normalSum[a] * 65536 / length);
    }
    for (uint16_t v = head; v != NoVertex; v = Buffers.chain[v]) {
        BuildVertex &vertex = Buffers.vertices[v];
        int32_t turned[3] = {normal[0], normal[1], normal[2]};
        if (BuildSkeleton != nullptr && BuildSkeleton->bones != nullptr && vertex.bone < BuildSkeleton->boneCount) {
            // Into the bone's frame: the transposed matrix.
            const int32_t *m = BuildSkeleton->bones[vertex.bone].matrix.m;
            for (int a = 0; a < 3; a++)
                turned[a] = static_cast<int32_t>((static_cast<int64_t>(m[a]) * normal[0] +
                                                  static_cast<int64_t>(m[3 + a]) * normal[1] +
                                                  static_cast<int64_t>(m[6 + a]) * normal[2]) >>
                                                 16);
        }
        vertex.normal[0] = turned[0];
        vertex.normal[1] = turned[1];
        vertex.normal[2] = turned[2];
    }
}

void ComputeMappedUV(const int32_t raw[3], const ObjectMapping &mapping, const ObjectMaterial &material, float *uOut,
                     float *vOut)
{
    int64_t u = 0;
    int64_t v = 0;
    switch (mapping.projection) {
    case 1: u = -static_cast<int64_t>(raw[0]); v = raw[2]; break;
    case 2: u = raw[0]; v = raw[2]; break;
    case 3: u = raw[1]; v = raw[2]; break;
    case 4: u = -static_cast<int64_t>(raw[1]); v = raw[2]; break;
    case 5: u = raw[0]; v = raw[1]; break;
    case 6: u = -static_cast<int64_t>(raw[0]); v = raw[1]; break;
    default: break;
    }
    const int64_t uCentre = (static_cast<int64_t>(mapping.uMin) + mapping.uMax) >> 1;
    const int64_t vCentre = (static_cast<int64_t>(mapping.vMin) + mapping.vMax) >> 1;
    if (mapping.mirror && ((uCentre ^ u) & 0x8000000) != 0)
        u = -u;
    if (mapping.rotation != 0) {
        const int32_t *cs = DegreeTable[static_cast<uint8_t>(mapping.rotation)];
        const int64_t du = u - uCentre;
        const int64_t dv = v - vCentre;
        u = uCentre + ((du * cs[0] - dv * cs[1]) >> 16);
        v = vCentre + ((du * cs[1] + dv * cs[0]) >> 16);
    }
    const float uRepeat = static_cast<float>(material.uRepeat) / 64.0f;
    const float vRepeat = static_cast<float>(material.vRepeat) / 64.0f;
    const float uOffset = static_cast<float>(material.uOffset) / 64.0f;
    const float vOffset = static_cast<float>(material.vOffset) / 64.0f;
    const int64_t uRange = static_cast<int64_t>(mapping.uMax) - mapping.uMin;
    const int64_t vRange = static_cast<int64_t>(mapping.vMax) - mapping.vMin;
    const float U = uRange == 0 ? 0.0f
                                : static_cast<float>(u - mapping.uMin) * uRepeat / static_cast<float>(uRange) + uOffset;
    const float V = vRange == 0
                        ? 0.0f
                        : 1.0f - (static_cast<float>(v - mapping.vMin) * vRepeat / static_cast<float>(vRange) + vOffset);
    // Texture orientation rows: U' = a U + b V + e, V' = c U + d V + f.
    static const int8_t Rows[8][6] = {
        {1, 0, 0, 1, 0, 0},   {0, 1, -1, 0, 0, 1}, {-1, 0, 0, -1, 1, 1}, {0, -1, 1, 0, 1, 0},
        {-1, 0, 0, 1, 1, 0},  {0, 1, 1, 0, 0, 0},  {1, 0, 0, -1, 0, 1},  {0, -1, -1, 0, 1, 1},
    };
    const int8_t *r = Rows[material.orientation & 7];
    *uOut = static_cast<float>(r[0]) * U + static_cast<float>(r[1]) * V + static_cast<float>(r[4]);
    *vOut = static_cast<float>(r[2]) * U + static_cast<float>(r[3]) * V + static_cast<float>(r[5]);
}

int VertexMaterial(const Object3D *object, const BuildVertex &vertex)
{
    if (vertex.mapping == NoMapping)
        return -1;
    const uint32_t material = object->mappings[vertex.mapping].materials[vertex.flags & ModelVertexMirrored];
    return material < object->materialCount ? static_cast<int>(material) : -1;
}

// Where a build's output goes: a node (node mode), or a lit mesh part in
// one frame (mesh-part mode).
struct BuildOutput {
    ModelNode *node = nullptr;
    ObjectMeshPart *mesh = nullptr;
    FixTransform transform{};
    FixMatrix normalMatrix{};

    MaterialDrawList *Lists() const { return node != nullptr ? node->lists : mesh->lists; }
    uint8_t &FirstAlphaList() const { return node != nullptr ? node->firstAlphaList : mesh->firstAlphaList; }
    uint8_t &HasAlphaTest() const { return node != nullptr ? node->hasAlphaTest : mesh->hasAlphaTest; }
};

// The lit vertex of mesh-part mode: position through the transform, the
// normal turned by the normal matrix (straight up for a surface flagged so),
// the two colour words from the surface's colour and the lighting class.
void ComputeLitVertex(const BuildOutput &out, const BuildVertex &vertex, float u, float v, ObjectMeshVertex *lit)
{
    FixVector position;
    out.transform.Apply(FixVector{vertex.position[0], vertex.position[1], vertex.position[2]}, position);
    lit->x = position.x;
    lit->y = position.y;
    lit->z = position.z;
    lit->u = u;
    lit->v = v;
    const uint8_t *bytes = vertex.surface->bytes;
    FixVector normal{0, 0, 65536};
    if ((bytes[3] & 4) == 0)
        TransformFixVector(out.normalMatrix, FixVector{vertex.normal[0], vertex.normal[1], vertex.normal[2]}, normal);
    lit->nx = static_cast<float>(normal.x) * FixToFloat;
    lit->ny = static_cast<float>(normal.y) * FixToFloat;
    lit->nz = static_cast<float>(normal.z) * FixToFloat;
    LightColourByNormal(lit, Colour{bytes[0], bytes[1], bytes[2], bytes[3]}, normal,
                        vertex.flags >> ModelVertexLightingShift);
}

// Cuts the built vertices and triangles into one list per texture material
// and copies them into the output with their texture coordinates.
void AssignMaterials(Object3D *object, BuildOutput &target)
{
    const int vertexTotal = Buffers.vertexCount;
    const int triangleTotal = Buffers.triangleCount;
    ModelNode *node = target.node;
    ObjectMeshPart *mesh = target.mesh;
    if (node != nullptr) {
        node->vertices = new (std::nothrow) ModelVertex[vertexTotal];
        node->triangles = new (std::nothrow) ModelTriangle[triangleTotal];
        if (node->vertices == nullptr || node->triangles == nullptr || node->lists == nullptr) {
            node->FreeGeometry();
            return;
        }
    } else {
        mesh->vertices = new (std::nothrow) ObjectMeshVertex[vertexTotal];
        mesh->triangles = new (std::nothrow) ObjectMeshTriangle[triangleTotal];
        if (mesh->vertices == nullptr || mesh->triangles == nullptr || mesh->lists == nullptr) {
            mesh->Release();
            return;
        }
    }
    MaterialDrawList *lists = target.Lists();
    uint8_t &firstAlphaList = target.FirstAlphaList();
    uint8_t &hasAlphaTest = target.HasAlphaTest();
    for (uint32_t i = 0; i < object->mappingCount; i++) {
        ObjectMapping &mapping = object->mappings[i];
        const int p = mapping.projection;
        const bool planar = p == 1 || p == 2 || p == 5 || p == 6;
        const bool oneSign = mapping.uMin == 0 || mapping.uMax == 0 || (mapping.uMin < 0) == (mapping.uMax < 0);
        if (planar && oneSign)
            mapping.mirror = 1;
    }

    int outVertices = 0;
    int outTriangles = 0;
    int listCount = 0;
    bool restart = true;
    int restarts = -1;
    while (restart) {
        // Each restart makes one mapping's two materials agree, so there are
        // at most as many as mappings; past that the pass stops where it is.
        if (++restarts > static_cast<int>(object->mappingCount))
            break;
        restart = false;
        outVertices = 0;
        outTriangles = 0;
        listCount = 0;
        firstAlphaList = ModelNoAlphaList;
        hasAlphaTest = 0;
        for (int i = 0; i < vertexTotal; i++)
            Buffers.passMaterial[i] = -1;

        for (uint32_t m = 0; m < object->materialCount && !restart; m++) {
            const ObjectMaterial &material = object->materials[m];
            const char *textureName = MaterialTextureName(object, material);
            if (textureName == nullptr)
                continue;
            MaterialDrawList entry{};
            entry.objectMaterial = static_cast<int16_t>(m);
            entry.material = material.textureMaterial;
            std::snprintf(entry.textureName, sizeof(entry.textureName), "%s", textureName);
            if (IsAlphaBlendedName(textureName))
                entry.flags = ModelListAlpha;
            if (EndsWithNoCase(textureName, "ATEST"))
                hasAlphaTest = 1;
            if (material.environment != 0)
                entry.flags |= ModelListEnvironment;
            entry.flags |= material.flags & 0xE0;

            const int firstVertex = outVertices;
            const int firstTriangle = outTriangles;
            for (int i = 0; i < vertexTotal; i++) {
                const BuildVertex &vertex = Buffers.vertices[i];
                if (VertexMaterial(object, vertex) != static_cast<int>(m))
                    continue;
                Buffers.passMaterial[i] = static_cast<int16_t>(m);
                Buffers.outIndex[i] = static_cast<uint16_t>(outVertices);
                float u = 0.0f;
                float v = 0.0f;
                ComputeMappedUV(Buffers.raw[i], object->mappings[vertex.mapping], material, &u, &v);
                if (mesh != nullptr) {
                    ComputeLitVertex(target, vertex, u, v, &mesh->vertices[outVertices++]);
                    continue;
                }
                ModelVertex &out = node->vertices[outVertices++];
                out.bone = vertex.bone;
                out.scratch = 0;
                out.mapping = vertex.mapping;
                out.flags = vertex.flags;
                out.reserved = 0;
                for (int a = 0; a < 3; a++) {
                    out.position[a] = vertex.position[a];
                    out.normal[a] = vertex.normal[a];
                }
                out.u = u;
                out.v = v;
                out.surface = vertex.surface;
            }
            for (int t = 0; t < triangleTotal && !restart; t++) {
                const BuildTriangle &triangle = Buffers.triangles[t];
                int taken = 0;
                for (uint16_t corner : triangle.corners)
                    taken += Buffers.passMaterial[corner] == static_cast<int16_t>(m);
                if (taken == 3 && mesh != nullptr) {
                    // Mesh parts take the corners as (first, third, second).
                    ObjectMeshTriangle &out = mesh->triangles[outTriangles++];
                    out.corners[0] = Buffers.outIndex[triangle.corners[0]];
                    out.corners[1] = Buffers.outIndex[triangle.corners[2]];
                    out.corners[2] = Buffers.outIndex[triangle.corners[1]];
                } else if (taken == 3) {
                    ModelTriangle &out = node->triangles[outTriangles++];
                    for (int k = 0; k < 3; k++)
                        out.corners[k] = Buffers.outIndex[triangle.corners[k]];
                    out.zero = 0;
                    out.surface = triangle.surface;
                } else if (taken > 0) {
                    // The two sides of this triangle's mapping name different
                    // materials: give the mirrored side the first one and start
                    // over. Once they agree the split cannot recur, so a
                    // triangle still split is only left out.
                    ObjectMapping &mapping = object->mappings[Buffers.vertices[triangle.corners[0]].mapping];
                    if (mapping.materials[1] != mapping.materials[0]) {
                        mapping.materials[1] = mapping.materials[0];
                        restart = true;
                    }
                }
            }
            if (restart)
                break;
            if (outVertices == firstVertex && outTriangles == firstTriangle)
                continue;
            entry.vertexCount = static_cast<uint32_t>(outVertices - firstVertex);
            entry.triangleCount = static_cast<uint32_t>(outTriangles - firstTriangle);
            MaterialDrawList *previous = listCount > 0 ? &lists[listCount - 1] : nullptr;
            if (previous != nullptr && previous->material == entry.material && previous->flags == entry.flags &&
                EqualsNoCase(previous->textureName, entry.textureName)) {
                previous->vertexCount += entry.vertexCount;
                previous->triangleCount += entry.triangleCount;
                continue;
            }
            if ((entry.flags & ModelListAlpha) != 0 && firstAlphaList == ModelNoAlphaList)
                firstAlphaList = static_cast<uint8_t>(listCount);
            lists[listCount++] = entry;
        }
    }
    LastBuildRestarts += restarts;
    if (node != nullptr) {
        node->vertexCount = outVertices;
        node->triangleCount = outTriangles;
        node->listCount = listCount;
    } else {
        mesh->vertexCount = outVertices;
        mesh->triangleCount = outTriangles;
        mesh->listCount = listCount;
    }
    for (uint32_t i = 0; i < object->mappingCount; i++)
        object->mappings[i].mirror = 0;
}

void BuildNodeGeometry(Object3D *object, BuildOutput &target, int level, int row, int32_t xScale, int32_t yzScale,
                       uint32_t partMask)
{
    Buffers.vertexCount = 0;
    Buffers.triangleCount = 0;
    const int groups = object->groupCount > 0 ? object->groupCount : 1;
    for (int g = 0; g < groups; g++) {
        for (int p = 0; p < object->pointCount; p++)
            object->points[p].vertexSlots[0] = object->points[p].vertexSlots[1] = NoVertex;
        for (int t = 0; t < object->triangleCount; t++) {
            const ObjectTriangle &triangle = object->triangles[t];
            if (triangle.group != g && !(object->groupCount == 0 && g == 0))
                continue;
            if (triangle.lod != level || triangle.part >= ObjectPartCount || ((partMask >> triangle.part) & 1) == 0)
                continue;
            if (Buffers.triangleCount > TriangleRoomLimit || Buffers.vertexCount > VertexRoomLimit)
                continue;
            AddTriangleVertices(object, triangle, 0, row, xScale, yzScale);
            if (triangle.flags & TriangleMirrored)
                AddTriangleVertices(object, triangle, 1, row, xScale, yzScale);
        }
        for (int p = 0; p < object->pointCount; p++) {
            const uint16_t *slots = object->points[p].vertexSlots;
            if (slots[0] != NoVertex)
                FinishSlotNormal(slots[0]);
            if (slots[1] != NoVertex && slots[1] != slots[0])
                FinishSlotNormal(slots[1]);
        }
    }
    if (Buffers.vertexCount > 0 && Buffers.triangleCount > 0)
        AssignMaterials(object, target);
}

int ClampIndex(int value, int count)
{
    if (value > count - 1)
        value = count - 1;
    return value < 0 ? 0 : value;
}

}  // namespace

void SetObjectTextureLookup(ObjectTextureLookup lookup)
{
    TextureLookup = lookup;
}

namespace {

void LoadTextures(Object3D *object, int worldMode, int skinMode, int fallbackIndex, uint32_t partMask)
{
    std::vector<uint8_t> marked(object->materialCount, 0);
    std::vector<uint8_t> columnUsed(object->surfaces.height, 0);
    for (int t = 0; t < object->triangleCount; t++) {
        const ObjectTriangle &triangle = object->triangles[t];
        if (triangle.lod < 0 || triangle.part >= ObjectPartCount || ((partMask >> triangle.part) & 1) == 0)
            continue;
        if (triangle.surface < object->surfaces.height)
            columnUsed[triangle.surface] = 1;
    }
    for (int column = 0; column < object->surfaces.height; column++) {
        if (!columnUsed[column])
            continue;
        for (int row = 0; row < object->surfaces.width; row++) {
            const GridCell *cell = ObjectSurfaceCell(object, row, column);
            if (cell == nullptr)
                continue;
            const uint32_t mapping = static_cast<uint32_t>(SurfaceMapping(*cell));
            if (mapping >= object->mappingCount)
                continue;
            for (uint32_t material : object->mappings[mapping].materials) {
                if (material < object->materialCount)
                    marked[material] = 1;
            }
        }
    }

    const int mode = worldMode ? 0 : (skinMode ? 2 : 1);
    for (uint32_t m = 0; m < object->materialCount; m++) {
        ObjectMaterial &material = object->materials[m];
        const char *name = MaterialTextureName(object, material);
        if (!marked[m] || name == nullptr) {
            material.textureMaterial = nullptr;
            continue;
        }
        material.flags &= MaterialCutOut;
        const bool alphaTestName = EndsWithNoCase(name, "ATEST");
        const int alphaTest = skinMode && (material.flags & MaterialCutOut) == 0 && !alphaTestName;
        if (alphaTestName)
            material.flags |= MaterialCutOut;
        if (object->textures[material.texture].flags & TextureCarSpecific)
            material.flags |= ModelListCarSpecific;
        if (mode != 0 && (material.flags & MaterialCutOut) == 0)
            material.flags |= ModelListTextureOnly;
        material.textureMaterial = nullptr;
        if (TextureLookup != nullptr) {
            // A car-specific texture is a skin: looked up in the car skin
            // folder, the skin mode put back afterwards.
            const bool carSpecific = (object->textures[material.texture].flags & TextureCarSpecific) != 0;
            const int savedSkinMode = SkinMode;
            if (carSpecific)
                SkinMode = 1;
            material.textureMaterial = TextureLookup(name, mode, alphaTest, fallbackIndex, &material.environment);
            SkinMode = savedSkinMode;
            if (material.textureMaterial == nullptr)
                ObjectTextureMissing = 1;
        }
    }
}

}  // namespace

void LoadObjectTextures(Object3D *object, int worldMode, int skinMode, int fallbackIndex, uint32_t partMask)
{
    if (object == nullptr)
        return;
    LastFallbackIndex = fallbackIndex;
    LoadTextures(object, worldMode, skinMode, fallbackIndex, partMask);
}

int32_t BuildModelFromObject(Object3D *object, ModelNode *node, int level, int childMode, int surfaceRow,
                             int32_t xScale, int32_t yzScale, uint32_t partMask)
{
    return BuildModelFromObject(object, node, nullptr, nullptr, level, childMode, surfaceRow, nullptr, xScale, yzScale,
                                partMask);
}

int32_t BuildModelFromObject(Object3D *object, ModelNode *node, Object3D *parent, int32_t **transformCursor,
                             int level, int childMode, int surfaceRow, const ModelSkeleton *skeleton,
                             int32_t xScale, int32_t yzScale, uint32_t partMask)
{
    (void)parent;
    if (object == nullptr || node == nullptr)
        return 0;
    BuildSkeleton = skeleton;
    // A node built again loses what an earlier build gave it.
    node->Destroy();
    object->node = node;
    node->kind = object->kind;
    node->firstAlphaList = ModelNoAlphaList;
    node->hasAlphaTest = 0;
    node->position[0] = object->x;
    node->position[1] = object->y;
    node->position[2] = object->z;
    FixRotationZXY(node->rotation, object->heading, object->pitch, object->roll);
    if (transformCursor != nullptr && *transformCursor != nullptr) {
        int32_t *words = *transformCursor;
        words[0] = object->x;
        words[1] = object->y;
        words[2] = object->z;
        words[3] = static_cast<int16_t>(object->pitch);
        words[4] = static_cast<int16_t>(object->roll);
        words[5] = static_cast<int16_t>(object->heading);
        *transformCursor = words + 6;
    }
    if (object->materialCount > 0)
        node->lists = new (std::nothrow) MaterialDrawList[object->materialCount]();

    const int distanceLevel = ClampIndex(level, MaxObjectLods);
    node->nearDistance = distanceLevel > 0 ? object->lodDistances[distanceLevel - 1] : 0;
    node->farDistance = object->lodDistances[distanceLevel];

    const int row = ClampIndex(surfaceRow, object->surfaces.width);
    if (level >= 0 && level < object->lodCount && level < MaxObjectLods)
    {
        BuildOutput target;
        target.node = node;
        BuildNodeGeometry(object, target, level, row, xScale, yzScale, partMask);
    }
    if (node->vertexCount == 0) {
        delete[] node->lists;
        node->lists = nullptr;
        node->listCount = 0;
    }

    if (childMode != BuildNoChildren && object->childCount > 0) {
        int count = 0;
        for (int i = 0; i < object->childCount; i++)
            count += 1 + (object->children[i].flags & ObjectMirroredChild);
        node->children = new (std::nothrow) ModelNode *[count];
        if (node->children != nullptr) {
            node->childCount = count;
            for (int i = 0; i < count; i++)
                node->children[i] = CreateModelNode();
            int slot = 0;
            for (int i = 0; i < object->childCount; i++) {
                Object3D *child = &object->children[i];
                const int childRow = ClampIndex(surfaceRow, child->surfaces.width);
                const int childLevel = ClampIndex(level, child->lodCount);
                LoadTextures(child, 0, childMode == BuildChildrenWithSkins, LastFallbackIndex, partMask);
                if (child->flags & ObjectMirroredChild) {
                    MirrorObject3D(child);
                    BuildModelFromObject(child, node->children[slot++], object, transformCursor, childLevel,
                                         childMode, childRow, skeleton, xScale, yzScale, partMask);
                    MirrorObject3D(child);
                }
                BuildModelFromObject(child, node->children[slot++], object, transformCursor, childLevel, childMode,
                                     childRow, skeleton, xScale, yzScale, partMask);
            }
        }
    }
    BuildSkeleton = nullptr;
    return node->ComputeBounds();
}

namespace {

// Moves the lists of `child` into `parent`: a list whose texture material
// the parent has already grows in place (the child's vertices and triangles
// follow the parent list's own, later data moves up, triangle indices are
// moved with it); any other list is appended.
void MergeMeshLists(ObjectMeshPart *parent, ObjectMeshPart *child)
{
    if (child->listCount == 0)
        return;
    const int parentLists = parent->listCount;
    std::vector<int> target(static_cast<size_t>(child->listCount), -1);
    int appended = 0;
    for (int c = 0; c < child->listCount; c++) {
        for (int p = 0; p < parentLists && target[c] < 0; p++) {
            if (parent->lists[p].material == child->lists[c].material)
                target[c] = p;
        }
        if (target[c] < 0)
            target[c] = parentLists + appended++;
    }
    const int listTotal = parentLists + appended;
    const int vertexTotal = parent->vertexCount + child->vertexCount;
    const int triangleTotal = parent->triangleCount + child->triangleCount;
    auto *lists = new (std::nothrow) MaterialDrawList[static_cast<size_t>(listTotal)]();
    auto *vertices = new (std::nothrow) ObjectMeshVertex[static_cast<size_t>(vertexTotal)];
    auto *triangles = new (std::nothrow) ObjectMeshTriangle[static_cast<size_t>(triangleTotal)];
    if (lists == nullptr || vertices == nullptr || triangles == nullptr) {
        delete[] lists;
        delete[] vertices;
        delete[] triangles;
        return;
    }
    // Old vertex index -> new, per source; the first vertex and triangle of
    // every old list.
    std::vector<uint32_t> parentMap(static_cast<size_t>(parent->vertexCount), 0);
    std::vector<uint32_t> childMap(static_cast<size_t>(child->vertexCount), 0);
    auto starts = [](const ObjectMeshPart *mesh, std::vector<int> &vertexStart, std::vector<int> &triangleStart) {
        int v = 0;
        int t = 0;
        for (int l = 0; l < mesh->listCount; l++) {
            vertexStart.push_back(v);
            triangleStart.push_back(t);
            v += static_cast<int>(mesh->lists[l].vertexCount);
            t += static_cast<int>(mesh->lists[l].triangleCount);
        }
    };
    std::vector<int> parentVertexStart, parentTriangleStart, childVertexStart, childTriangleStart;
    starts(parent, parentVertexStart, parentTriangleStart);
    starts(child, childVertexStart, childTriangleStart);

    int outVertices = 0;
    std::vector<int> listVertexStart(static_cast<size_t>(listTotal), 0);
    auto copyVertices = [&](const ObjectMeshPart *mesh, int list, int start, std::vector<uint32_t> &map) {
        const int count = std::min(static_cast<int>(mesh->lists[list].vertexCount), mesh->vertexCount - start);
        for (int i = 0; i < count; i++) {
            map[static_cast<size_t>(start + i)] = static_cast<uint32_t>(outVertices);
            vertices[outVertices++] = mesh->vertices[start + i];
        }
        return count;
    };
    for (int l = 0; l < listTotal; l++) {
        listVertexStart[l] = outVertices;
        if (l < parentLists) {
            lists[l] = parent->lists[l];
            lists[l].vertexCount = static_cast<uint32_t>(copyVertices(parent, l, parentVertexStart[l], parentMap));
            lists[l].triangleCount = 0;
        }
        for (int c = 0; c < child->listCount; c++) {
            if (target[c] != l)
                continue;
            if (l >= parentLists) {
                lists[l] = child->lists[c];
                lists[l].vertexCount = 0;
                lists[l].triangleCount = 0;
            }
            lists[l].vertexCount += static_cast<uint32_t>(copyVertices(child, c, childVertexStart[c], childMap));
        }
    }
    int outTriangles = 0;
    auto copyTriangles = [&](const ObjectMeshPart *mesh, int list, int start, const std::vector<uint32_t> &map) {
        const int count = std::min(static_cast<int>(mesh->lists[list].triangleCount), mesh->triangleCount - start);
        int kept = 0;
        for (int i = 0; i < count; i++) {
            const ObjectMeshTriangle &in = mesh->triangles[start + i];
            if (in.corners[0] >= map.size() || in.corners[1] >= map.size() || in.corners[2] >= map.size())
                continue;
            ObjectMeshTriangle &out = triangles[outTriangles++];
            for (int k = 0; k < 3; k++)
                out.corners[k] = map[in.corners[k]];
            kept++;
        }
        return kept;
    };
    for (int l = 0; l < listTotal; l++) {
        if (l < parentLists)
            lists[l].triangleCount += static_cast<uint32_t>(copyTriangles(parent, l, parentTriangleStart[l], parentMap));
        for (int c = 0; c < child->listCount; c++) {
            if (target[c] == l)
                lists[l].triangleCount += static_cast<uint32_t>(copyTriangles(child, c, childTriangleStart[c], childMap));
        }
    }
    const uint8_t hasAlphaTest = parent->hasAlphaTest | child->hasAlphaTest;
    parent->Release();
    parent->lists = lists;
    parent->listCount = listTotal;
    parent->vertices = vertices;
    parent->vertexCount = outVertices;
    parent->triangles = triangles;
    parent->triangleCount = outTriangles;
    parent->hasAlphaTest = hasAlphaTest;
    parent->firstAlphaList = ModelNoAlphaList;
    for (int l = 0; l < listTotal; l++) {
        if ((lists[l].flags & ModelListAlpha) != 0) {
            parent->firstAlphaList = static_cast<uint8_t>(l);
            break;
        }
    }
}

void BuildMeshLists(Object3D *object, ObjectMeshPart *mesh, const FixTransform &transform, const FixMatrix &normalMatrix,
                    int level, int surfaceRow)
{
    if (object == nullptr || mesh == nullptr || level < 0 || level >= object->lodCount || level >= MaxObjectLods)
        return;
    mesh->Release();
    if (object->materialCount > 0)
        mesh->lists = new (std::nothrow) MaterialDrawList[object->materialCount]();
    BuildOutput target;
    target.mesh = mesh;
    target.transform = transform;
    target.normalMatrix = normalMatrix;
    const int row = ClampIndex(surfaceRow, object->surfaces.width);
    BuildNodeGeometry(object, target, level, row, 65536, 65536, AllObjectParts);
    if (mesh->listCount == 0) {
        delete[] mesh->lists;
        mesh->lists = nullptr;
    }
    BuildChildMaterialLists(object, mesh, transform, normalMatrix, level, surfaceRow);

    // A flat object (a decal) keeps its textures in the class of flat details.
    if (mesh->listCount > 0 && object->pointCount > 0) {
        int32_t low = object->points[0].z;
        int32_t high = low;
        for (int p = 1; p < object->pointCount; p++) {
            low = std::min(low, object->points[p].z);
            high = std::max(high, object->points[p].z);
        }
        if (static_cast<int64_t>(high) - low <= 64) {
            for (int l = 0; l < mesh->listCount; l++) {
                Material *material = mesh->lists[l].material;
                if (material != nullptr && material->texture != nullptr)
                    material->texture->lodClass = 3;
            }
        }
    }
}

}  // namespace

void BuildObjectMaterialLists(Object3D *object, ObjectMeshPart *mesh, const FixTransform &transform,
                              const FixMatrix &normalMatrix, int level, int surfaceRow)
{
    BuildMeshLists(object, mesh, transform, normalMatrix, level, surfaceRow);
}

void BuildChildMaterialLists(Object3D *object, ObjectMeshPart *mesh, const FixTransform &transform,
                             const FixMatrix &normalMatrix, int level, int surfaceRow)
{
    if (object == nullptr || mesh == nullptr)
        return;
    for (int i = 0; i < object->childCount; i++) {
        Object3D *child = &object->children[i];
        const int childRow = ClampIndex(surfaceRow, child->surfaces.width);
        const int childLevel = ClampIndex(level, child->lodCount);
        LoadTextures(child, 1, 0, LastFallbackIndex, AllObjectParts);
        for (int pass = (child->flags & ObjectMirroredChild) ? 0 : 1; pass < 2; pass++) {
            if (pass == 0)
                MirrorObject3D(child);
            FixTransform local;
            FixMatrix rotation;
            FixRotationZXY(rotation, child->heading, child->pitch, child->roll);
            local.Set(rotation, FixVector{child->x, child->y, child->z});
            FixTransform frame;
            transform.Compose(local, frame);
            FixMatrix normals;
            MultiplyFixMatrix(normalMatrix, rotation, normals);
            ObjectMeshPart part;
            BuildMeshLists(child, &part, frame, normals, childLevel, childRow);
            MergeMeshLists(mesh, &part);
            if (pass == 0)
                MirrorObject3D(child);
        }
    }
}
