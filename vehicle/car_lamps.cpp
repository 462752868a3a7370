// The car's lamp groups (looked up by material name, drawn from one lamp
// mesh per group and level of detail) and the body parts that move with a
// wheel.

#include <cctype>
#include <cstdio>
#include <vector>

#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "vehicle/car_object.h"

namespace {

constexpr int LampGroupCount = 8;
constexpr int TailLampGroup = 2;
constexpr int LampNotTaken = 255;      // a lamp mesh indexes its vertices with one byte
constexpr int MaxLampVertices = 255;   // indices 0..254
constexpr int32_t FixOne = 65536;

struct LampGroupNames {
    const char *names[4];
    int sideKind;
};

const LampGroupNames LampGroups[LampGroupCount] = {
    {{"l_brk", "l_sbrk", "l_tbrk", "l_cbrk"}, 0},   // brake lamps
    {{"l_head", "l_side", nullptr, nullptr}, 0},   // headlamps
    {{"l_tail", nullptr, nullptr, nullptr}, 0},    // tail lamps
    {{"l_rind", "l_find", "l_rsind", "l_fsind"}, 1},  // indicators, x below 0
    {{"l_rind", "l_find", "l_rsind", "l_fsind"}, 2},  // indicators, x above 0
    {{"l_rfog", nullptr, nullptr, nullptr}, 0},    // rear fog lamps
    {{"l_ffog", nullptr, nullptr, nullptr}, 0},    // front fog lamps
    {{"l_rev", nullptr, nullptr, nullptr}, 0},     // reversing lamps
};

// A model without tail lamps shows its brake lamps' shape as tail lamps.
const LampGroupNames TailFromBrakeLamps = {{"l_brk", "l_sbrk", "l_tbrk", nullptr}, 0};

// The running number of the next "PRT%d" lamp render object.
int LampObjectCounter = 0;

// A material name (a fixed field, not always terminated) equals the name
// without regard to case.
bool MaterialNameIs(const ObjectMaterial &material, const char *name)
{
    const int size = static_cast<int>(sizeof(material.name));
    int i = 0;
    for (; i < size && name[i] != '\0'; i++) {
        if (std::tolower(static_cast<unsigned char>(material.name[i])) !=
            std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    }
    return i == size || material.name[i] == '\0';
}

// A plain-colour material names a texture without a name.
bool HasTexture(const Object3D &object, const ObjectMaterial &material)
{
    return object.textures != nullptr && material.texture < object.textureCount &&
           object.textures[material.texture].name[0] != '\0';
}

int SignOf(int32_t value)
{
    return (value > 0) - (value < 0);
}

// Whether a vertex lies on the side the lamp group draws.
bool OnLampSide(const ModelVertex &vertex, int sideKind)
{
    if (sideKind == 1)
        return vertex.position[0] < 0;
    if (sideKind == 2)
        return vertex.position[0] > 0;
    return true;
}

// The body material a node vertex was made from (its mapping's material
// for the vertex's side), or -1.
int VertexMaterial(const ModelVertex &vertex, const Object3D *body)
{
    if (vertex.mapping >= body->mappingCount || body->mappings == nullptr)
        return -1;
    const uint32_t material = body->mappings[vertex.mapping].materials[vertex.flags & ModelVertexMirrored];
    return material < body->materialCount ? static_cast<int>(material) : -1;
}

// Whether a node vertex belongs to one of the lamp group's materials.
bool IsLampVertex(const ModelVertex &vertex, const Object3D *body, const ObjectMaterial *const materials[4])
{
    const int material = VertexMaterial(vertex, body);
    if (material < 0)
        return false;
    for (int k = 0; k < 4; k++) {
        if (materials[k] == &body->materials[material])
            return true;
    }
    return false;
}

}  // namespace

int CarObject::BuildLampGroup(int group, const Object3D *object, int build, const char *name1, const char *name2,
                              const char *name3, const char *name4, int sideKind)
{
    if (group < 0 || group >= LampGroupCount)
        return 0;
    CarMaterial &record = materials[group];
    record.sideKind = static_cast<uint8_t>(sideKind);
    record.textured = 0;
    for (const ObjectMaterial *&entry : record.lampEntries)
        entry = nullptr;
    if (object == nullptr)
        return 0;

    const char *const names[4] = {name1, name2, name3, name4};
    bool matched = false;
    const ObjectMaterial *textured = nullptr;
    for (uint32_t i = 0; i < object->materialCount; i++) {
        const ObjectMaterial &material = object->materials[i];
        for (int k = 0; k < 4; k++) {
            if (names[k] == nullptr || !MaterialNameIs(material, names[k]))
                continue;
            record.lampEntries[k] = &material;
            matched = true;
            if (build && textured == nullptr && HasTexture(*object, material))
                textured = &material;
        }
    }
    if (!matched || !build)
        return matched ? 1 : 0;

    // The texture layer resolves a textured material's drawing material; a
    // group without a texture is drawn with the default material (null).
    if (textured != nullptr) {
        record.lampMaterial = textured->textureMaterial;
        record.textured = 1;
    } else {
        record.lampMaterial = nullptr;
    }
    // A group built again replaces its object instead of leaking it.
    DeleteRenderObject(&record.lampObject);
    char name[RenderObjectNameSize];
    std::snprintf(name, sizeof(name), "PRT%d", LampObjectCounter++);
    record.lampObject = CreateRenderObject(name);
    const int levels = object->lodCount < 1 ? 1 : (object->lodCount > CarLodCount ? CarLodCount : object->lodCount);
    record.lampObject->InitParts(1, levels);
    record.lampObject->SetPartMaterial(0, record.lampMaterial, VertexKindOfMaterial, VertexKindOfMaterial,
                                       VertexKindOfMaterial, VertexKindOfMaterial);
    return 1;
}

void CarObject::FindLamps(int build)
{
    for (int group = 0; group < LampGroupCount; group++) {
        const LampGroupNames &g = LampGroups[group];
        BuildLampGroup(group, bodyObject, build, g.names[0], g.names[1], g.names[2], g.names[3], g.sideKind);
    }
    if (materials[TailLampGroup].lampObject == nullptr) {
        const LampGroupNames &g = TailFromBrakeLamps;
        BuildLampGroup(TailLampGroup, bodyObject, build, g.names[0], g.names[1], g.names[2], g.names[3],
                       g.sideKind);
    }
}

void CarObject::ReleaseLampObjects()
{
    for (CarMaterial &record : materials) {
        DeleteRenderObject(&record.lampObject);
        record.lampMaterial = nullptr;
    }
}

void BuildLampMesh(RenderObject *object, const ModelNode *node, int level, const Object3D *body,
                   const ObjectMaterial *const materials[4], uint32_t colour, int sideKind)
{
    if (object == nullptr || object->OpenForEdit() != 0)
        return;
    RenderPart *mesh = object->GetLevelMesh(level);
    if (mesh == nullptr || node == nullptr || body == nullptr || node->vertices == nullptr) {
        object->CloseEdit();
        return;
    }

    // The lamp-mesh index of every node vertex, LampNotTaken for the rest.
    // A vertex's material is that of its mapping (the node's material lists
    // join materials that draw alike, so they cannot tell lamps apart).
    const int32_t vertexCount = node->vertexCount > 0 ? node->vertexCount : 0;
    std::vector<uint8_t> taken(static_cast<size_t>(vertexCount), LampNotTaken);
    int added = 0;
    for (int32_t v = 0; v < vertexCount && added < MaxLampVertices; v++) {
        const ModelVertex &vertex = node->vertices[v];
        if (!IsLampVertex(vertex, body, materials) || !OnLampSide(vertex, sideKind))
            continue;
        const PartVertex out = ToPartVertex(vertex, colour);
        const int index = mesh->AddVertex(out);
        if (index < 0 || index >= MaxLampVertices)
            break;
        taken[static_cast<size_t>(v)] = static_cast<uint8_t>(index);
        added++;
    }

    // A triangle's corners share its material: a lamp triangle is one whose
    // corners were all taken.
    for (int32_t t = 0; t < node->triangleCount && node->triangles != nullptr; t++) {
        const ModelTriangle &triangle = node->triangles[t];
        uint8_t corners[3];
        bool complete = true;
        for (int k = 0; k < 3; k++) {
            const int32_t c = triangle.corners[k];
            corners[k] = c < vertexCount ? taken[static_cast<size_t>(c)] : LampNotTaken;
            complete = complete && corners[k] != LampNotTaken;
        }
        if (complete)
            mesh->AddTriangle(corners[0], corners[1], corners[2]);
    }
    object->CloseEdit();
}

void CarObject::ClearWheelParts()
{
    for (int i = 0; i < 6; i++) {
        wheelParts[i] = nullptr;
        wheelParts5[i] = nullptr;
    }
}

void CarObject::FindWheelParts()
{
    ClearWheelParts();
    const ModelNode *root = modelNodes[0];
    if (root == nullptr || root->children == nullptr)
        return;
    for (int32_t i = 0; i < root->childCount; i++) {
        ModelNode *part = root->children[i];
        if (part == nullptr || (part->kind != 1 && part->kind != 5))
            continue;
        const int side = SignOf(part->position[0]);
        const int axle = part->position[1] > 0 ? 1 : 0;
        const int slot = axle * 3 + side + 1;
        // The scene places the part with the wheel of its slot every frame;
        // the transform keeps only which side and axle it belongs to.
        for (int k = 0; k < 9; k++)
            part->rotation.m[k] = (k % 4 == 0) ? FixOne : 0;
        part->position[0] = side;
        part->position[1] = axle ? 1 : -1;
        part->position[2] = 0;
        if (part->kind == 1)
            wheelParts[slot] = part;
        else
            wheelParts5[slot] = part;
    }
}
