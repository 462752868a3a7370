#include "render/model_node.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "render/material.h"
#include "render/render_object.h"
#include "render/texture_manager.h"

int ModelRenderObjectCounter = 0;
int GaragePreview = 0;
Material *ModelPlainSkinMaterial = nullptr;
Material *CollectorPartMaterial = nullptr;

namespace {

// Kinds of child nodes that stay even without triangles: their owners use
// them as moving frames.
bool KeptWhenEmpty(uint16_t kind)
{
    return kind >= 6 && kind <= 9;
}

uint8_t ShiftColour(uint8_t c, int shift)
{
    return static_cast<uint8_t>(c >> shift);
}

uint32_t VertexColour(const ModelVertex &vertex)
{
    if (vertex.surface == nullptr)
        return 0xFF000000u;
    const uint8_t *bytes = vertex.surface->bytes;
    const int unlit = bytes[3] & 1;
    const int shift = unlit ? 0 : vertex.flags >> ModelVertexLightingShift;
    return 0xFF000000u | static_cast<uint32_t>(ShiftColour(bytes[0], shift)) << 16 |
           static_cast<uint32_t>(ShiftColour(bytes[1], shift)) << 8 | ShiftColour(bytes[2], shift);
}

bool ListSelected(const MaterialDrawList &list, int mode)
{
    if (mode == FillAllLists)
        return true;
    const bool alpha = (list.flags & ModelListAlpha) != 0;
    return mode == FillAlphaLists ? alpha : !alpha;
}

}  // namespace

void ModelNode::ResetBase()
{
    rotation = FixIdentityMatrix;
    position[0] = position[1] = position[2] = 0;
    world.matrix = FixIdentityMatrix;
    world.position = FixZeroVector;
    nearDistance = 0;
    farDistance = 0;
    radius = 0;
    childCount = 0;
    kind = 0;
    firstAlphaList = ModelNoAlphaList;
    hasAlphaTest = 0;
    children = nullptr;
    renderObject = nullptr;
    vertexCount = 0;
    triangleCount = 0;
    vertices = nullptr;
    triangles = nullptr;
    listCount = 0;
    lists = nullptr;
    std::memset(materialWords, 0, sizeof(materialWords));
    drawValue = 0;
}

int ModelNode::Reset()
{
    ResetBase();
    return 0;
}

void ModelNode::FreeGeometry()
{
    delete[] triangles;
    triangles = nullptr;
    delete[] vertices;
    vertices = nullptr;
    delete[] lists;
    lists = nullptr;
    vertexCount = 0;
    triangleCount = 0;
    listCount = 0;
    if (renderObject != nullptr)
        DeleteRenderObject(&renderObject);
    renderObject = nullptr;
}

void ModelNode::Destroy()
{
    FreeGeometry();
    for (int i = 0; i < childCount; i++) {
        if (children[i] != nullptr) {
            children[i]->Destroy();
            delete children[i];
        }
    }
    delete[] children;
    children = nullptr;
    childCount = 0;
}

void ModelNode::PruneChildren()
{
    int kept = 0;
    for (int i = 0; i < childCount; i++) {
        ModelNode *child = children[i];
        if (child == nullptr)
            continue;
        if (child->TriangleCount() == 0 && !KeptWhenEmpty(child->kind)) {
            child->Destroy();
            delete child;
            continue;
        }
        children[kept++] = child;
    }
    childCount = kept;
    if (childCount == 0) {
        delete[] children;
        children = nullptr;
    }
}

void ModelNode::DetachRenderObject()
{
    renderObject = nullptr;
}

RenderObject *ModelNode::GetRenderObject()
{
    if (renderObject == nullptr)
        BuildRenderObject();
    return renderObject;
}

void ModelNode::BuildRenderObject()
{
    // The distinct texture materials, in list order.
    Material *materials[256];
    int count = 0;
    for (int i = 0; i < listCount; i++) {
        Material *material = lists[i].material;
        if (material == nullptr)
            continue;
        bool known = false;
        for (int j = 0; j < count && !known; j++)
            known = materials[j] == material;
        if (!known && count < 256)
            materials[count++] = material;
    }

    char name[RenderObjectNameSize];
    std::snprintf(name, sizeof(name), "SUB%d", ModelRenderObjectCounter++);
    RenderObject *object = CreateRenderObject(name);
    if (object == nullptr)
        return;
    object->InitParts(count, 1);
    for (int i = 0; i < count; i++)
        object->SetPartMaterial(i, materials[i]);
    FillRenderObject(object, FillAllLists);
    object->Build(0);
    renderObject = object;
}

void ModelNode::FillRenderObject(RenderObject *object, int mode) const
{
    if (object == nullptr)
        return;
    object->ClearParts();
    int firstVertex = 0;
    int firstTriangle = 0;
    for (int l = 0; l < listCount; l++) {
        const MaterialDrawList &list = lists[l];
        const int listVertices = static_cast<int>(list.vertexCount);
        const int listTriangles = static_cast<int>(list.triangleCount);
        const int vertexStart = firstVertex;
        const int triangleStart = firstTriangle;
        firstVertex += listVertices;
        firstTriangle += listTriangles;
        if (!ListSelected(list, mode) || list.material == nullptr)
            continue;
        // A list running past the arrays is damaged: nothing of it is used.
        if (firstVertex > vertexCount || firstTriangle > triangleCount)
            continue;
        RenderPart *part = nullptr;
        object->FindPart(list.material, &part);
        if (part == nullptr)
            continue;

        int partTriangles = 0;
        int partVertices = 0;
        part->GetCounts(&partTriangles, &partVertices);
        part->Reserve(partTriangles + listTriangles, partVertices + listVertices);
        int base = -1;
        for (int v = 0; v < listVertices; v++) {
            const ModelVertex &vertex = vertices[vertexStart + v];
            const PartVertex out = ToPartVertex(vertex, VertexColour(vertex));
            const int index = part->AddVertex(out);
            if (v == 0)
                base = index;
            if (index < 0) {
                base = -1;
                break;
            }
        }
        if (base < 0)
            continue;  // the part's item is full: the list's triangles would point nowhere
        for (int t = 0; t < listTriangles; t++) {
            const ModelTriangle &triangle = triangles[triangleStart + t];
            int corners[3];
            bool inside = true;
            for (int k = 0; k < 3; k++) {
                corners[k] = triangle.corners[k] - vertexStart;
                inside = inside && corners[k] >= 0 && corners[k] < listVertices;
            }
            if (!inside)
                continue;
            part->AddTriangle(static_cast<uint16_t>(base + corners[0]), static_cast<uint16_t>(base + corners[1]),
                              static_cast<uint16_t>(base + corners[2]));
        }
    }
    object->FinishParts();
}

int32_t ModelNode::ComputeBounds()
{
    float maxSquared = 0.0f;
    int32_t lowZ = INT32_MAX;
    int32_t highZ = INT32_MIN;
    for (int i = 0; i < vertexCount; i++) {
        const FixVector v{vertices[i].position[0], vertices[i].position[1], vertices[i].position[2]};
        KeepMaxSquaredLength(&maxSquared, v);
        lowZ = v.z < lowZ ? v.z : lowZ;
        highZ = v.z > highZ ? v.z : highZ;
    }
    // A flat node (a decal) keeps its textures in the class of flat details.
    if (vertexCount > 0 && static_cast<int64_t>(highZ) - lowZ < 65) {
        for (int l = 0; l < listCount; l++) {
            if (lists[l].material != nullptr && lists[l].material->texture != nullptr)
                lists[l].material->texture->lodClass = 3;
        }
    }
    const float metres = std::sqrt(maxSquared);
    const float units = metres * 65536.0f + 0.5f;
    radius = units >= 2147483520.0f ? INT32_MAX : static_cast<int32_t>(units);
    for (int i = 0; i < childCount; i++) {
        const ModelNode *child = children[i];
        if (child == nullptr)
            continue;
        const int64_t reach = static_cast<int64_t>(CalcLength3D(child->position[0], child->position[1],
                                                                child->position[2])) +
                              child->radius;
        const int32_t clamped = reach > INT32_MAX ? INT32_MAX : static_cast<int32_t>(reach);
        if (clamped > radius)
            radius = clamped;
    }
    return radius;
}

PartVertex ToPartVertex(const ModelVertex &vertex, uint32_t diffuse)
{
    PartVertex out{};
    out.x = static_cast<float>(vertex.position[0]) * FixToFloat;
    out.y = static_cast<float>(vertex.position[1]) * FixToFloat;
    out.z = static_cast<float>(vertex.position[2]) * FixToFloat;
    out.nx = static_cast<float>(vertex.normal[0]) * FixToFloat;
    out.ny = static_cast<float>(vertex.normal[1]) * FixToFloat;
    out.nz = static_cast<float>(vertex.normal[2]) * FixToFloat;
    out.u = vertex.u;
    out.v = vertex.v;
    out.diffuse = diffuse;
    return out;
}

ModelNode *CreateModelNode()
{
    ModelNode *node = new (std::nothrow) ModelNode;
    if (node != nullptr)
        node->ResetBase();
    return node;
}

void DeleteModelNode(ModelNode *node)
{
    if (node == nullptr)
        return;
    node->Destroy();
    delete node;
}
