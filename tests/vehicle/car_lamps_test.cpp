#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "vehicle/car_object.h"

namespace {

constexpr int32_t One = 65536;

// A body object with only a material table (the lamp look-up reads nothing
// else); every material with an index below textureCount has a texture.
struct MaterialObject {
    Object3D object;

    MaterialObject(const std::vector<const char *> &names, int textured) {
        InitObject3D(&object);
        object.lodCount = 2;
        object.textureCount = static_cast<uint32_t>(textured);
        object.textures = new ObjectTexture[textured > 0 ? textured : 1]();
        for (int i = 0; i < textured; i++)
            std::snprintf(object.textures[i].name, sizeof(object.textures[i].name), "lamp%d", i);
        object.materialCount = static_cast<uint32_t>(names.size());
        object.materials = new ObjectMaterial[names.size()]();
        for (size_t i = 0; i < names.size(); i++) {
            std::snprintf(object.materials[i].name, sizeof(object.materials[i].name), "%s", names[i]);
            object.materials[i].texture = static_cast<uint8_t>(i);
        }
        // Mapping i draws material i on both sides; the last mapping draws
        // material 0 unmirrored and the last material mirrored.
        const uint32_t n = object.materialCount;
        object.mappingCount = n + 1;
        object.mappings = new ObjectMapping[n + 1]();
        for (uint32_t i = 0; i < n; i++)
            object.mappings[i].materials[0] = object.mappings[i].materials[1] = i;
        object.mappings[n].materials[0] = 0;
        object.mappings[n].materials[1] = n - 1;
    }
    ~MaterialObject() { FreeObject3D(&object); }
    MaterialObject(const MaterialObject &) = delete;
    MaterialObject &operator=(const MaterialObject &) = delete;
};

// A model node as the model build leaves it: each vertex names its mapping
// (and so its material) and may be made for the mirrored side.
struct VertexSpec {
    uint16_t mapping;
    int32_t x;
    bool mirrored = false;
};

ModelNode *MakeNode(const std::vector<VertexSpec> &vertices, const std::vector<std::array<uint16_t, 3>> &triangles) {
    ModelNode *node = CreateModelNode();
    node->vertices = new ModelVertex[vertices.size() + 1]();
    node->triangles = new ModelTriangle[triangles.size() + 1]();
    for (size_t v = 0; v < vertices.size(); v++) {
        ModelVertex &vertex = node->vertices[v];
        const int i = static_cast<int>(v);
        vertex.mapping = vertices[v].mapping;
        vertex.flags = vertices[v].mirrored ? ModelVertexMirrored : 0;
        vertex.position[0] = vertices[v].x;
        vertex.position[1] = i * One / 4;
        vertex.position[2] = -i * One / 8;
        vertex.normal[2] = One;
        vertex.u = 0.25f * static_cast<float>(i);
        vertex.v = 1.0f - 0.125f * static_cast<float>(i);
    }
    for (size_t t = 0; t < triangles.size(); t++) {
        for (int k = 0; k < 3; k++)
            node->triangles[t].corners[k] = triangles[t][k];
    }
    node->vertexCount = static_cast<int32_t>(vertices.size());
    node->triangleCount = static_cast<int32_t>(triangles.size());
    return node;
}

RenderObject *NewLampObject(int levels) {
    RenderObject *object = CreateRenderObject("LampTestMesh");
    object->InitParts(1, levels);
    return object;
}

class CarLampsTest : public ::testing::Test {
protected:
    void TearDown() override {
        car.ReleaseLampObjects();
        DeleteAllRenderObjects();
    }
    CarObject car;
};

TEST_F(CarLampsTest, LookUpIgnoresCaseAndTailFallsBackToBrakeMaterials) {
    MaterialObject body({"paint", "L_BRK", "l_Rind", "l_sbrk", "l_rev"}, 5);
    car.bodyObject = &body.object;
    car.FindLamps(0);
    const ObjectMaterial *m = body.object.materials;

    EXPECT_EQ(car.materials[0].lampEntries[0], &m[1]);
    EXPECT_EQ(car.materials[0].lampEntries[1], &m[3]);
    EXPECT_EQ(car.materials[0].lampEntries[2], nullptr);
    // No "l_tail": the tail group is made of the brake materials.
    EXPECT_EQ(car.materials[2].lampEntries[0], &m[1]);
    EXPECT_EQ(car.materials[2].lampEntries[1], &m[3]);
    for (int group : {3, 4}) {
        EXPECT_EQ(car.materials[group].lampEntries[0], &m[2]) << group;
        EXPECT_EQ(car.materials[group].sideKind, group == 3 ? 1 : 2) << group;
    }
    EXPECT_EQ(car.materials[7].lampEntries[0], &m[4]);
    for (int group : {1, 5, 6}) {
        for (const ObjectMaterial *entry : car.materials[group].lampEntries)
            EXPECT_EQ(entry, nullptr) << group;
    }
    // Looking up builds nothing.
    for (const CarMaterial &record : car.materials)
        EXPECT_EQ(record.lampObject, nullptr);
    EXPECT_EQ(RenderObjectMapCount(), 0);
}

TEST_F(CarLampsTest, NameMustMatchWholly) {
    MaterialObject body({"l_brk2", "l_br", "l_headlamp"}, 0);
    car.bodyObject = &body.object;
    car.FindLamps(1);
    for (const CarMaterial &record : car.materials) {
        EXPECT_EQ(record.lampObject, nullptr);
        for (const ObjectMaterial *entry : record.lampEntries)
            EXPECT_EQ(entry, nullptr);
    }
}

TEST_F(CarLampsTest, BuildingMakesOneObjectPerMatchedGroup) {
    // "l_tail" and "l_brk" textured; "l_head" names a texture without a
    // name (plain colour).
    MaterialObject body({"l_tail", "l_brk", "l_head"}, 3);
    body.object.textures[2].name[0] = '\0';
    Material *const brakeTexture = reinterpret_cast<Material *>(&body);  // any distinct pointer
    body.object.materials[1].textureMaterial = brakeTexture;
    car.bodyObject = &body.object;
    car.FindLamps(1);

    for (int group : {0, 1, 2}) {
        const RenderObject *object = car.materials[group].lampObject;
        ASSERT_NE(object, nullptr) << group;
        EXPECT_EQ(std::strncmp(object->name, "PRT", 3), 0) << object->name;
        EXPECT_EQ(object->partCount, 1);
        EXPECT_EQ(object->expectedItems, 2);  // one item per level of the body
        EXPECT_EQ(object->parts[0].material, car.materials[group].lampMaterial);
        for (uint32_t word : object->parts[0].stateWords)
            EXPECT_EQ(word, VertexKindOfMaterial);
    }
    EXPECT_STRNE(car.materials[0].lampObject->name, car.materials[2].lampObject->name);
    EXPECT_EQ(car.materials[0].textured, 1);
    EXPECT_EQ(car.materials[0].lampMaterial, brakeTexture);
    EXPECT_EQ(car.materials[1].textured, 0);   // default material
    EXPECT_EQ(car.materials[1].lampMaterial, nullptr);
    // A tail lamp material exists: the tail group keeps to it.
    EXPECT_EQ(car.materials[2].lampEntries[0], &body.object.materials[0]);
    EXPECT_EQ(car.materials[2].lampEntries[1], nullptr);
    for (int group : {3, 4, 5, 6, 7})
        EXPECT_EQ(car.materials[group].lampObject, nullptr) << group;
    EXPECT_EQ(RenderObjectMapCount(), 3);

    // A second build replaces the objects; the release deletes them all.
    car.FindLamps(1);
    EXPECT_EQ(RenderObjectMapCount(), 3);
    car.ReleaseLampObjects();
    EXPECT_EQ(RenderObjectMapCount(), 0);
    for (const CarMaterial &record : car.materials)
        EXPECT_EQ(record.lampObject, nullptr);
}

TEST_F(CarLampsTest, NoBodyObjectFindsNothing) {
    car.bodyObject = nullptr;
    car.FindLamps(1);
    for (const CarMaterial &record : car.materials)
        EXPECT_EQ(record.lampObject, nullptr);
}

// A node with a lamp list (material 1) of six vertices across the centre
// line, and a body list (material 0) that must never reach the lamp mesh.
struct SideCase {
    int sideKind;
    std::vector<int> takenVertices;   // node indices, in lamp-mesh order
    std::vector<std::array<int, 3>> triangles;  // lamp-mesh corners
};

TEST_F(CarLampsTest, LampMeshTakesTheGroupsSide) {
    MaterialObject body({"paint", "l_rind"}, 0);
    // Vertices 0..2 are paint; 3..9 the lamp's, x = -2, -1, 0, 1, 2, -3, 3;
    // vertex 10 lies on mapping 2 (paint, lamp when mirrored), mirrored.
    const std::vector<VertexSpec> vertices = {
        {0, -One}, {0, 0}, {0, One}, {1, -2 * One}, {1, -One}, {1, 0}, {1, One},
        {1, 2 * One}, {1, -3 * One}, {1, 3 * One}, {2, -4 * One, true},
    };
    const std::vector<std::array<uint16_t, 3>> triangles = {
        {0, 1, 2}, {3, 4, 8}, {4, 5, 6}, {6, 7, 3}, {6, 7, 5}, {6, 7, 9}, {3, 4, 10}, {0, 3, 4},
    };
    // A triangle with a corner on the other side (or on x = 0), or on
    // another material, is skipped.
    const SideCase cases[] = {
        {0, {3, 4, 5, 6, 7, 8, 9, 10}, {{0, 1, 5}, {1, 2, 3}, {3, 4, 0}, {3, 4, 2}, {3, 4, 6}, {0, 1, 7}}},
        {1, {3, 4, 8, 10}, {{0, 1, 2}, {0, 1, 3}}},
        {2, {6, 7, 9}, {{0, 1, 2}}},
    };
    const ObjectMaterial *const entries[4] = {nullptr, &body.object.materials[1], nullptr, nullptr};
    const uint32_t colour = 0xFF80C0E0u;
    for (const SideCase &c : cases) {
        SCOPED_TRACE(c.sideKind);
        ModelNode *node = MakeNode(vertices, triangles);
        RenderObject *object = NewLampObject(1);
        BuildLampMesh(object, node, 0, &body.object, entries, colour, c.sideKind);
        const RenderPart &mesh = object->parts[0];
        ASSERT_EQ(mesh.ItemVertexCount(0), static_cast<int>(c.takenVertices.size()));
        for (size_t i = 0; i < c.takenVertices.size(); i++) {
            const ModelVertex &from = node->vertices[c.takenVertices[i]];
            const PartVertex *to = mesh.ItemVertex(0, static_cast<int>(i));
            ASSERT_NE(to, nullptr);
            EXPECT_EQ(to->x, static_cast<float>(from.position[0]) / 65536.0f);
            EXPECT_EQ(to->y, static_cast<float>(from.position[1]) / 65536.0f);
            EXPECT_EQ(to->z, static_cast<float>(from.position[2]) / 65536.0f);
            EXPECT_EQ(to->nz, 1.0f);
            EXPECT_EQ(to->u, from.u);
            EXPECT_EQ(to->v, from.v);
            EXPECT_EQ(to->diffuse, colour);
        }
        ASSERT_EQ(mesh.ItemTriangleCount(0), static_cast<int>(c.triangles.size()));
        for (size_t t = 0; t < c.triangles.size(); t++) {
            int a = -1, b = -1, d = -1;
            ASSERT_TRUE(mesh.ItemTriangle(0, static_cast<int>(t), &a, &b, &d));
            EXPECT_EQ((std::array<int, 3>{a, b, d}), c.triangles[t]) << t;
        }
        DeleteRenderObject(&object);
        DeleteModelNode(node);
    }
}

TEST_F(CarLampsTest, LampMeshHoldsAtMost255Vertices) {
    MaterialObject body({"l_brk"}, 0);
    const std::vector<VertexSpec> vertices(300, VertexSpec{0, One});
    // Corners 0..254 are taken; a triangle reaching 255 or beyond is dropped.
    ModelNode *node = MakeNode(vertices, {{0, 1, 2}, {252, 253, 254}, {253, 254, 255}, {0, 299, 1}});
    const ObjectMaterial *const entries[4] = {&body.object.materials[0], nullptr, nullptr, nullptr};
    RenderObject *object = NewLampObject(1);
    BuildLampMesh(object, node, 0, &body.object, entries, 0xFFFFFFFFu, 0);
    EXPECT_EQ(object->parts[0].ItemVertexCount(0), 255);
    ASSERT_EQ(object->parts[0].ItemTriangleCount(0), 2);
    int a, b, c;
    ASSERT_TRUE(object->parts[0].ItemTriangle(0, 1, &a, &b, &c));
    EXPECT_EQ(c, 254);
    DeleteRenderObject(&object);
    DeleteModelNode(node);
}

TEST_F(CarLampsTest, LampMeshFillsOnlyItsLevel) {
    MaterialObject body({"l_rev"}, 0);
    ModelNode *node = MakeNode({{0, One}, {0, One}, {0, One}, {7, One}}, {{0, 1, 2}, {0, 1, 3}});
    const ObjectMaterial *const entries[4] = {nullptr, nullptr, nullptr, &body.object.materials[0]};
    RenderObject *object = NewLampObject(2);

    BuildLampMesh(object, node, 1, &body.object, entries, 0, 0);   // level 0 skipped: empty
    BuildLampMesh(object, node, 2, &body.object, entries, 0, 0);   // no such level
    BuildLampMesh(object, node, 0, &body.object, entries, 0, 0);   // finished already
    EXPECT_EQ(object->itemCount, 2);
    EXPECT_EQ(object->editing, 0);
    EXPECT_TRUE(object->parts[0].IsItemEmpty(0));
    EXPECT_EQ(object->parts[0].ItemVertexCount(1), 3);   // vertex 3's mapping is unknown
    EXPECT_EQ(object->parts[0].ItemTriangleCount(1), 1);

    // Null node or material entries: the level stays empty; a built
    // object is never edited.
    RenderObject *other = NewLampObject(2);
    const ObjectMaterial *const none[4] = {};
    BuildLampMesh(other, nullptr, 0, &body.object, entries, 0, 0);
    BuildLampMesh(other, node, 1, &body.object, none, 0, 0);
    EXPECT_EQ(other->parts[0].ItemVertexCount(0), 0);
    EXPECT_EQ(other->parts[0].ItemVertexCount(1), 0);
    object->Build(0);
    BuildLampMesh(object, node, 1, &body.object, entries, 0, 0);
    EXPECT_EQ(object->parts[0].ItemVertexCount(1), 3);
    BuildLampMesh(nullptr, node, 0, &body.object, entries, 0, 0);

    DeleteRenderObject(&object);
    DeleteRenderObject(&other);
    DeleteModelNode(node);
}

// A level-0 node whose children are parts at the given place and kind.
struct PartSpec {
    uint16_t kind;
    int32_t x, y;
};

ModelNode *MakeNodeWithParts(const std::vector<PartSpec> &parts) {
    ModelNode *root = CreateModelNode();
    root->childCount = static_cast<int32_t>(parts.size());
    root->children = new ModelNode *[parts.size()];
    for (size_t i = 0; i < parts.size(); i++) {
        ModelNode *part = CreateModelNode();
        part->kind = parts[i].kind;
        part->position[0] = parts[i].x;
        part->position[1] = parts[i].y;
        part->position[2] = 3 * One;
        for (int32_t &word : part->rotation.m)
            word = 12345;
        root->children[i] = part;
    }
    return root;
}

TEST_F(CarLampsTest, WheelPartsGoToTheirSlotWithMarkTransforms) {
    struct Case {
        PartSpec part;
        int slot;       // axle x 3 + side + 1
        int32_t x, y;   // the marks the part keeps
    };
    const Case cases[] = {
        {{1, -One, -2 * One}, 0, -1, -1},  // rear left
        {{1, 0, -One}, 1, 0, -1},          // rear centre
        {{1, One / 2, 0}, 2, 1, -1},       // y 0 counts as rear
        {{1, -5, 2 * One}, 3, -1, 1},      // front left
        {{1, 0, 1}, 4, 0, 1},
        {{1, One, One}, 5, 1, 1},
        {{5, One, One}, 5, 1, 1},          // kind 5: the second list
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.slot);
        ModelNode *root = MakeNodeWithParts({c.part});
        car.modelNodes[0] = root;
        car.FindWheelParts();
        ModelNode *const *list = c.part.kind == 1 ? car.wheelParts : car.wheelParts5;
        ModelNode *const *other = c.part.kind == 1 ? car.wheelParts5 : car.wheelParts;
        for (int s = 0; s < 6; s++) {
            EXPECT_EQ(list[s], s == c.slot ? root->children[0] : nullptr) << s;
            EXPECT_EQ(other[s], nullptr) << s;
        }
        const ModelNode &part = *root->children[0];
        const int32_t identity[9] = {One, 0, 0, 0, One, 0, 0, 0, One};
        EXPECT_EQ(std::memcmp(part.rotation.m, identity, sizeof(identity)), 0);
        EXPECT_EQ(part.position[0], c.x);
        EXPECT_EQ(part.position[1], c.y);
        EXPECT_EQ(part.position[2], 0);
        car.modelNodes[0] = nullptr;
        DeleteModelNode(root);
    }
}

TEST_F(CarLampsTest, LaterWheelPartWinsAndOtherKindsStay) {
    ModelNode *root = MakeNodeWithParts({{1, One, One}, {0, -One, One}, {6, -One, One}, {1, 2 * One, 3 * One}});
    car.modelNodes[0] = root;
    car.wheelParts5[2] = root;   // cleared by the search
    car.FindWheelParts();
    EXPECT_EQ(car.wheelParts[5], root->children[3]);
    EXPECT_EQ(car.wheelParts[3], nullptr);
    EXPECT_EQ(car.wheelParts5[2], nullptr);
    EXPECT_EQ(root->children[1]->position[0], -One);   // not a wheel part: untouched
    EXPECT_EQ(root->children[2]->position[2], 3 * One);

    // Found again on the marked parts, the slots are the same.
    car.FindWheelParts();
    EXPECT_EQ(car.wheelParts[5], root->children[3]);

    car.ClearWheelParts();
    for (int s = 0; s < 6; s++)
        EXPECT_EQ(car.wheelParts[s], nullptr);
    car.modelNodes[0] = nullptr;
    car.FindWheelParts();   // no model: nothing found
    for (int s = 0; s < 6; s++)
        EXPECT_EQ(car.wheelParts[s], nullptr);
    DeleteModelNode(root);
}

}  // namespace
