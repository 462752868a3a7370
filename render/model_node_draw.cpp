// Immediate drawing of model nodes through the world batch: the vertices lit
// on the processor, once per draw, in view space.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/card_config.h"
#include "core/colour.h"
#include "platform/graphics_device.h"
#include "render/geometry_batch.h"
#include "render/lit_colours.h"
#include "render/model_node.h"
#include "render/render_object.h"
#include "render/state_cache.h"
#include "render/view.h"

namespace {

// Most bones a skinned draw takes (a vertex's bone is one byte).
constexpr int MaxDrawBones = 256;
constexpr float PreviewDepth = 1000.0f;

// The per-vertex draw cache: one entry per node vertex, global because
// drawing is single-threaded and a child finishes before its parent's
// vertices are transformed.
struct CachedVertex {
    float x, y, z;
    uint32_t colour;
    uint16_t batchIndex;  // NoBatchVertex: not in the current batch run
    uint8_t lit;          // colour computed this draw
};

std::vector<CachedVertex> Cache;
std::vector<int> Touched;  // the entries given a batch index since the last reset
FixTransform BoneWorld[MaxDrawBones];

Colour SurfaceColour(const ModelVertex &vertex)
{
    if (vertex.surface == nullptr)
        return Colour{0, 0, 0, 1};
    const uint8_t *bytes = vertex.surface->bytes;
    return Colour{bytes[0], bytes[1], bytes[2], bytes[3]};
}

int64_t Dot(const FixVector &a, const FixVector &b)
{
    return (static_cast<int64_t>(a.x) * b.x + static_cast<int64_t>(a.y) * b.y + static_cast<int64_t>(a.z) * b.z) >>
           16;
}

// The skinned draw's colour: hemisphere and sun in view space, shifted by
// 8 + Modulate2xOn; the surface's flags are not read.
uint32_t SkinnedColour(const FixVector &normal, const Colour &colour)
{
    const ViewRecord &view = *CurrentView;
    const int64_t h = (Dot(normal, view.upView) + 65536) / 2;
    const int64_t d = Dot(normal, view.sunDirView);
    const int shift = 8 + static_cast<int>(Modulate2xOn);
    const int bytes[3] = {colour.red, colour.green, colour.blue};
    uint32_t word = 0xFF000000u;
    for (int c = 0; c < 3; c++) {
        int64_t term = GroundLight[c] + (h * SkyGroundDelta[c] >> 16);
        if (d > 0)
            term += d * view.sunLight[c] >> 16;
        int64_t value = bytes[c] * term >> shift;
        value = value < 0 ? 0 : (value > 255 ? 255 : value);
        word |= static_cast<uint32_t>(value) << (16 - 8 * c);
    }
    return word;
}

void PrepareCache(int count)
{
    if (static_cast<int>(Cache.size()) < count)
        Cache.resize(static_cast<size_t>(count));
    Touched.clear();
}

void ForgetBatchIndices()
{
    for (int i : Touched)
        Cache[static_cast<size_t>(i)].batchIndex = NoBatchVertex;
    Touched.clear();
}

// The transform of a vertex: its bone's world transform when bones are
// given, else the node's.
const FixTransform &VertexTransform(const ModelVertex &vertex, const FixTransform &world, int boneCount)
{
    if (boneCount <= 0)
        return world;
    return BoneWorld[vertex.bone < boneCount ? vertex.bone : boneCount - 1];
}

// Bone world transforms: parent composed with each bone; the count used.
int ComposeBones(const FixTransform &parent, const FixTransform *bones, int boneCount)
{
    if (bones == nullptr || boneCount <= 0)
        return 0;
    const int n = std::min(boneCount, MaxDrawBones);
    for (int i = 0; i < n; i++)
        parent.Compose(bones[i], BoneWorld[i]);
    return n;
}

// Every vertex through its transform into the cache, not yet lit nor in the
// batch.
void TransformVertices(const ModelNode &node, const FixTransform &world, int boneCount, float zShift)
{
    PrepareCache(node.vertexCount);
    for (int i = 0; i < node.vertexCount; i++) {
        const ModelVertex &vertex = node.vertices[i];
        const FixVector in{vertex.position[0], vertex.position[1], vertex.position[2]};
        FixVector out;
        VertexTransform(vertex, world, boneCount).Apply(in, out);
        CachedVertex &entry = Cache[static_cast<size_t>(i)];
        entry.x = static_cast<float>(out.x) * FixToFloat;
        entry.y = static_cast<float>(out.y) * FixToFloat;
        entry.z = static_cast<float>(out.z) * FixToFloat + zShift;
        entry.batchIndex = NoBatchVertex;
        entry.lit = 0;
    }
}

// The vertex's batch index in the current run, added (and lit, once per
// draw) on first use. `skinned` picks the skinned draw's colour.
uint16_t UseVertex(const ModelNode &node, int index, const FixTransform &world, int boneCount, bool skinned)
{
    CachedVertex &entry = Cache[static_cast<size_t>(index)];
    if (entry.batchIndex != NoBatchVertex)
        return entry.batchIndex;
    const ModelVertex &vertex = node.vertices[index];
    if (!entry.lit) {
        const FixVector normal{vertex.normal[0], vertex.normal[1], vertex.normal[2]};
        FixVector turned;
        TransformFixVector(VertexTransform(vertex, world, boneCount).matrix, normal, turned);
        const Colour colour = SurfaceColour(vertex);
        entry.colour = skinned ? SkinnedColour(turned, colour)
                               : ShadeColourUnlessUnlit(turned, colour, vertex.flags >> ModelVertexLightingShift);
        entry.lit = 1;
    }
    entry.batchIndex = AddWorldVertex(entry.x, entry.y, entry.z, vertex.u, vertex.v, entry.colour);
    if (entry.batchIndex != NoBatchVertex)
        Touched.push_back(index);
    return entry.batchIndex;
}

uint32_t ExpectedVertices(const MaterialDrawList &list, int triangles)
{
    const uint32_t bound = static_cast<uint32_t>(triangles) * 3;
    return std::min({list.vertexCount, bound, static_cast<uint32_t>(BatchVertexCapacity)});
}

// The triangles of one list in batch runs of at most
// ModelDrawTrianglesPerFlush, each run re-adding the vertices it uses.
void DrawListTriangles(const ModelNode &node, const MaterialDrawList &list, Material *material, int firstTriangle,
                       const FixTransform &world, int boneCount, bool skinned)
{
    const int count = std::min(static_cast<int>(list.triangleCount), node.triangleCount - firstTriangle);
    if (count <= 0)
        return;
    int run = std::min(count, ModelDrawTrianglesPerFlush);
    BeginWorldBatch(material, ExpectedVertices(list, run), static_cast<uint32_t>(run));
    int inRun = 0;
    for (int t = 0; t < count; t++) {
        if (inRun == ModelDrawTrianglesPerFlush) {
            FlushWorldBatch();
            ForgetBatchIndices();
            run = std::min(count - t, ModelDrawTrianglesPerFlush);
            BeginWorldBatch(material, ExpectedVertices(list, run), static_cast<uint32_t>(run));
            inRun = 0;
        }
        inRun++;
        const ModelTriangle &triangle = node.triangles[firstTriangle + t];
        uint16_t corners[3];
        bool inside = true;
        for (int k = 0; k < 3 && inside; k++) {
            inside = triangle.corners[k] < node.vertexCount;
            if (inside) {
                corners[k] = UseVertex(node, triangle.corners[k], world, boneCount, skinned);
                inside = corners[k] != NoBatchVertex;
            }
        }
        if (inside)
            AddWorldTriangle(corners[0], corners[1], corners[2]);
    }
    FlushWorldBatch();
    ForgetBatchIndices();
}

// The lists of a node whose vertices are in the cache: blending from the
// first alpha list on, one batch per list, the view matrix restored after.
void DrawCachedLists(const ModelNode &node, const FixTransform &world, int boneCount, int plainSkins)
{
    // Positions are in view space already.
    ResetViewMatrix();
    bool blending = false;
    int firstTriangle = 0;
    for (int l = 0; l < node.listCount; l++) {
        const MaterialDrawList &list = node.lists[l];
        if (l == node.firstAlphaList && !blending) {
            SetRenderStateCached(RsAlphaBlendEnable, 1);
            blending = true;
        }
        Material *material = list.material;
        if (plainSkins && (list.flags & ModelListCarSpecific) != 0)
            material = ModelPlainSkinMaterial;
        DrawListTriangles(node, list, material, firstTriangle, world, boneCount, false);
        firstTriangle += static_cast<int>(list.triangleCount);
    }
    if (blending)
        SetRenderStateCached(RsAlphaBlendEnable, 0);
    SetViewMatrix(ViewDeviceMatrix);
}

FixTransform LocalTransform(const ModelNode &node)
{
    FixTransform local;
    local.Set(node.rotation, FixVector{node.position[0], node.position[1], node.position[2]});
    return local;
}

}  // namespace

void ModelNode::Draw(int withChildren, const FixTransform &parent, int extra)
{
    if (GaragePreview) {
        DrawWithOptions(withChildren, parent, nullptr, 0, 0);
        return;
    }
    parent.Compose(LocalTransform(*this), world);
    if (ClassifySphereInView(world.position, radius) == ViewOutside)
        return;
    if (withChildren) {
        for (int i = 0; i < childCount; i++) {
            if (children[i] != nullptr)
                children[i]->Draw(1, world, extra);
        }
    }
    if (vertexCount <= 0 || listCount <= 0)
        return;
    TransformVertices(*this, world, 0, 0.0f);
    DrawCachedLists(*this, world, 0, 0);
}

void ModelNode::DrawWithOptions(int withChildren, const FixTransform &parent, const FixTransform *bones,
                                int boneCount, int plainSkins)
{
    parent.Compose(LocalTransform(*this), world);
    if (withChildren) {
        for (int i = 0; i < childCount; i++) {
            if (children[i] != nullptr)
                children[i]->DrawWithOptions(1, world, nullptr, 0, 0);
        }
    }
    if (vertexCount <= 0 || listCount <= 0)
        return;
    const int bonesUsed = ComposeBones(parent, bones, boneCount);
    TransformVertices(*this, world, bonesUsed, PreviewDepth);
    DrawCachedLists(*this, world, bonesUsed, plainSkins);
}

void ModelNode::DrawSkinned(const FixTransform &parent, const FixTransform *bones, int boneCount)
{
    if (GaragePreview) {
        DrawWithOptions(0, parent, bones, boneCount, 0);
        return;
    }
    if (vertexCount <= 0 || listCount <= 0)
        return;
    const int bonesUsed = ComposeBones(parent, bones, boneCount);
    TransformVertices(*this, parent, bonesUsed, 0.0f);
    ResetViewMatrix();
    int firstVertex = 0;
    int firstTriangle = 0;
    for (int l = 0; l < listCount; l++) {
        const MaterialDrawList &list = lists[l];
        const int listVertices = std::min(static_cast<int>(list.vertexCount), vertexCount - firstVertex);
        const int listTriangles = std::min(static_cast<int>(list.triangleCount), triangleCount - firstTriangle);
        if (listTriangles > ModelDrawTrianglesPerFlush || listVertices > BatchVertexCapacity) {
            // Too big for one batch: in runs, each re-adding its vertices.
            DrawListTriangles(*this, list, list.material, firstTriangle, parent, bonesUsed, true);
        } else if (listVertices > 0 && listTriangles > 0) {
            // Every vertex once in list order, the triangles relative to the
            // list's first vertex.
            BeginWorldBatch(list.material, static_cast<uint32_t>(listVertices), static_cast<uint32_t>(listTriangles));
            for (int v = 0; v < listVertices; v++)
                UseVertex(*this, firstVertex + v, parent, bonesUsed, true);
            for (int t = 0; t < listTriangles; t++) {
                const ModelTriangle &triangle = triangles[firstTriangle + t];
                int corners[3];
                bool inside = true;
                for (int k = 0; k < 3; k++) {
                    corners[k] = triangle.corners[k] - firstVertex;
                    inside = inside && corners[k] >= 0 && corners[k] < listVertices;
                }
                if (inside)
                    AddWorldTriangle(static_cast<uint16_t>(corners[0]), static_cast<uint16_t>(corners[1]),
                                     static_cast<uint16_t>(corners[2]));
            }
            FlushWorldBatch();
            ForgetBatchIndices();
        }
        firstVertex += static_cast<int>(list.vertexCount);
        firstTriangle += static_cast<int>(list.triangleCount);
    }
    SetViewMatrix(ViewDeviceMatrix);
}
