#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/model_node.h"
#include "render/object_file.h"
#include "vehicle/car_damage.h"
#include "vehicle/car_object.h"

namespace {

// Half a wheelbase of 0.762939453125 m puts d0 = 0.333 h exactly on the
// 16.16 value 16650, so a vertex can sit at s = d0 exactly.
constexpr float Wheelbase = 6250.0f / 4096.0f;
constexpr int32_t D0Fix = 16650;
constexpr int32_t Metre = 65536;

// Directions as record words: +z (k = 15 in bits 1..5), +x (bits 11..15).
constexpr uint16_t Up = 15 << 1;
constexpr uint16_t Down = 17 << 1;
constexpr uint16_t AlongX = 0x7800;

struct Vertex {
    int32_t x, y, z;
};

// A car of one collision point at the origin and one body level whose
// model node is put together by hand.
struct MeshCar {
    CarObject car;
    Object3D body;

    MeshCar() {
        InitObject3D(&body);
        car.bodyObject = &body;
        car.wheelbase = Wheelbase;
        car.pointCount = 1;
        car.points = new CollisionPoint[1]();
        car.hullPointCount = 1;
        car.savedPoints = new float[1][3]();
    }
    ~MeshCar() {
        for (ModelNode *&node : car.modelNodes) {
            DeleteModelNode(node);
            node = nullptr;
        }
        FreeObject3D(&body);
    }
    MeshCar(const MeshCar &) = delete;
    MeshCar &operator=(const MeshCar &) = delete;

    // Level `level` gets the vertices (all with `normal`), the triangles and
    // one part per entry of `parts`.
    ModelNode &SetMesh(int level, const std::vector<Vertex> &vertices, const std::vector<uint16_t> &corners,
                       const std::vector<Vertex> &parts, const int32_t normal[3]) {
        DeleteModelNode(car.modelNodes[level]);
        ModelNode *node = CreateModelNode();
        car.modelNodes[level] = node;
        node->vertexCount = static_cast<int32_t>(vertices.size());
        node->vertices = new ModelVertex[vertices.size()]();
        for (size_t i = 0; i < vertices.size(); i++) {
            ModelVertex &v = node->vertices[i];
            v.position[0] = vertices[i].x;
            v.position[1] = vertices[i].y;
            v.position[2] = vertices[i].z;
            std::memcpy(v.normal, normal, sizeof(v.normal));
            v.scratch = 7;  // left over by another user of the node
        }
        node->triangleCount = static_cast<int32_t>(corners.size() / 3);
        node->triangles = new ModelTriangle[corners.size() / 3 + 1]();
        for (size_t i = 0; i < corners.size(); i++)
            node->triangles[i / 3].corners[i % 3] = corners[i];
        if (!parts.empty()) {
            node->childCount = static_cast<int32_t>(parts.size());
            node->children = new ModelNode *[parts.size()];
            for (size_t i = 0; i < parts.size(); i++) {
                node->children[i] = CreateModelNode();
                node->children[i]->position[0] = parts[i].x;
                node->children[i]->position[1] = parts[i].y;
                node->children[i]->position[2] = parts[i].z;
            }
        }
        return *node;
    }

    void Dent(uint8_t magnitude, uint16_t direction) {
        const uint8_t record[4] = {0, magnitude, static_cast<uint8_t>(direction & 0xFF),
                                   static_cast<uint8_t>(direction >> 8)};
        ASSERT_EQ(car.AddDamageRecord(record), 1);
    }
};

// A flat square grid of (2k + 1)^2 vertices 0.1 m apart in the plane z = 0,
// centred on the origin; its triangles are wound so that their normals
// point up (+z).
void FlatGrid(int k, std::vector<Vertex> &vertices, std::vector<uint16_t> &corners) {
    const int side = 2 * k + 1;
    for (int row = 0; row < side; row++) {
        for (int column = 0; column < side; column++)
            vertices.push_back({(column - k) * 6554, (row - k) * 6554, 0});
    }
    for (int row = 0; row + 1 < side; row++) {
        for (int column = 0; column + 1 < side; column++) {
            const uint16_t a = static_cast<uint16_t>(row * side + column);
            const uint16_t b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + side);
            const uint16_t d = static_cast<uint16_t>(c + 1);
            // Clockwise seen from above, as the model builder leaves them.
            const uint16_t quad[6] = {a, c, b, b, c, d};
            corners.insert(corners.end(), quad, quad + 6);
        }
    }
}

int64_t LengthSquared(const int32_t v[3]) {
    return static_cast<int64_t>(v[0]) * v[0] + static_cast<int64_t>(v[1]) * v[1] +
           static_cast<int64_t>(v[2]) * v[2];
}

TEST(CarDamageMesh, VerticesMoveByFalloffAndRoughnessPartsWithoutIt) {
    MeshCar mesh;
    const float h = 0.5f * Wheelbase;
    ASSERT_EQ(0.333f * h * 65536.0f, static_cast<float>(D0Fix));

    struct Case {
        const char *what;
        Vertex v;
        int roughness;   // ((x + y + z) & 127) x 256 + 32768
        double falloff;  // f, 1 - s / d0 in front of the point
        bool moves;
    };
    const Case cases[] = {
        {"at the point", {3, 5, 0}, 8 * 256 + 32768, 1.0, true},
        {"beside the point, s = 0", {Metre / 4, 0, 0}, 32768, 1.0, true},
        {"behind the point", {Metre / 4, 1, -6554}, 103 * 256 + 32768, 1.0, true},
        {"at s = d0", {0, 0, D0Fix}, 0, 0.0, false},
        {"just before d0", {0, 0, D0Fix - 1}, 9 * 256 + 32768, 1.0 / D0Fix, true},
        {"beyond half the wheelbase", {0, 58000, 0}, 0, 0.0, false},
    };
    std::vector<Vertex> vertices;
    for (const Case &c : cases)
        vertices.push_back(c.v);
    const int32_t up[3] = {0, 0, Metre};
    // The part sits where a vertex would have roughness 7 x 256 + 32768.
    ModelNode &node = mesh.SetMesh(0, vertices, {}, {{Metre / 4 + 7, 0, 0}}, up);
    mesh.Dent(255, Up);
    mesh.car.ApplyDamageToMeshes();

    const double m = h;  // magnitude 255
    const double h2 = static_cast<double>(h) * h;
    for (size_t i = 0; i < vertices.size(); i++) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.what);
        const ModelVertex &v = node.vertices[i];
        EXPECT_EQ(v.position[0], c.v.x);
        EXPECT_EQ(v.position[1], c.v.y);
        if (!c.moves) {
            EXPECT_EQ(v.position[2], c.v.z);
            EXPECT_EQ(std::memcmp(v.normal, up, sizeof(up)), 0);
            continue;
        }
        const double x = c.v.x / 65536.0, y = c.v.y / 65536.0, z = c.v.z / 65536.0;
        const double fall = 1.0 - (x * x + y * y + z * z) / h2;
        const double expected = fall * c.roughness * c.falloff * m;
        EXPECT_NEAR(v.position[2] - c.v.z, expected, 1.0);
        // No triangles: the normal falls back to straight up, never zero.
        EXPECT_EQ(LengthSquared(v.normal), int64_t{Metre} * Metre);
    }
    const double partX = (Metre / 4 + 7) / 65536.0;
    EXPECT_NEAR(node.children[0]->position[2], (1.0 - partX * partX / h2) * m * 65536.0, 1.0);
    EXPECT_EQ(node.children[0]->position[0], Metre / 4 + 7);
    // The collision point moves by the whole dent.
    EXPECT_FLOAT_EQ(mesh.car.points[0].local[2], h);
}

// A dent along the grid's own plane keeps it flat: the renewed normals of
// the moved vertices are straight up, while the vertices out of reach keep
// their (here tilted) normals untouched.
TEST(CarDamageMesh, MovedVerticesGetRenewedUnitNormals) {
    MeshCar mesh;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> corners;
    FlatGrid(4, vertices, corners);
    const int32_t tilted[3] = {0, 3000, 65467};
    ModelNode &node = mesh.SetMesh(0, vertices, corners, {}, tilted);
    mesh.Dent(10, AlongX);
    mesh.car.ApplyDamageToMeshes();

    int moved = 0;
    for (size_t i = 0; i < vertices.size(); i++) {
        const ModelVertex &v = node.vertices[i];
        EXPECT_EQ(v.position[2], 0);
        EXPECT_EQ(v.scratch, 0) << i;  // the marks are cleared
        if (v.position[0] != vertices[i].x) {
            moved++;
            EXPECT_EQ(v.normal[0], 0) << i;
            EXPECT_EQ(v.normal[1], 0) << i;
            EXPECT_EQ(v.normal[2], Metre) << i;
        } else {
            EXPECT_EQ(std::memcmp(v.normal, tilted, sizeof(tilted)), 0) << i;
        }
    }
    EXPECT_EQ(moved, 7 * 9);  // the columns x = -0.4 .. 0.2 lie before d0

    // Pushed down into the middle, the moved vertices lean but stay unit
    // normals on the upper side.
    MeshCar pit;
    ModelNode &pitNode = pit.SetMesh(0, vertices, corners, {}, tilted);
    pit.Dent(40, Down);
    pit.car.ApplyDamageToMeshes();
    for (int i = 0; i < pitNode.vertexCount; i++) {
        const ModelVertex &v = pitNode.vertices[i];
        if (v.position[2] == 0)
            continue;
        EXPECT_NEAR(std::sqrt(static_cast<double>(LengthSquared(v.normal))), 65536.0, 2.0) << i;
        EXPECT_GT(v.normal[2], 0) << i;
    }
}

// The undamaged copies are taken once and kept; a rebuild always starts
// from them, and repair puts every level back bit for bit.
TEST(CarDamageMesh, RepairRestoresTheSavedShapeExactly) {
    MeshCar mesh;
    mesh.body.lodCount = 2;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> corners;
    FlatGrid(3, vertices, corners);
    const int32_t up[3] = {0, 0, Metre};
    const std::vector<Vertex> parts = {{0, 0, 6554}, {Metre, 0, 0}};
    mesh.SetMesh(0, vertices, corners, parts, up);
    mesh.SetMesh(1, std::vector<Vertex>(vertices.begin(), vertices.begin() + 14), {}, {}, up);
    mesh.car.SaveUndamagedMeshes();
    ASSERT_NE(mesh.car.savedVertices[0], nullptr);
    ASSERT_NE(mesh.car.savedVertices[1], nullptr);
    ASSERT_NE(mesh.car.savedPartVectors[0], nullptr);
    EXPECT_EQ(mesh.car.savedPartVectors[1], nullptr);  // level 1 has no parts

    const ModelNode &level0 = *mesh.car.modelNodes[0];
    const ModelNode &level1 = *mesh.car.modelNodes[1];
    auto snapshot = [](const ModelNode &node) {
        std::vector<int32_t> words;
        for (int i = 0; i < node.vertexCount; i++) {
            words.insert(words.end(), node.vertices[i].position, node.vertices[i].position + 3);
            words.insert(words.end(), node.vertices[i].normal, node.vertices[i].normal + 3);
        }
        for (int i = 0; i < node.childCount; i++)
            words.insert(words.end(), node.children[i]->position, node.children[i]->position + 3);
        return words;
    };
    const std::vector<int32_t> clean0 = snapshot(level0);
    const std::vector<int32_t> clean1 = snapshot(level1);

    mesh.Dent(60, Down);
    mesh.Dent(30, AlongX);
    mesh.car.RefreshShape();
    const std::vector<int32_t> dented0 = snapshot(level0);
    EXPECT_NE(dented0, clean0);
    EXPECT_NE(snapshot(level1), clean1);
    EXPECT_NE(level0.children[0]->position[2], 6554);
    EXPECT_EQ(level0.children[1]->position[0], Metre);  // beyond the dent's reach

    // A second rebuild, and one after the copies were offered again, give
    // the same mesh: both start from the first copies.
    mesh.car.RefreshShape();
    EXPECT_EQ(snapshot(level0), dented0);
    mesh.car.SaveUndamagedMeshes();
    mesh.car.RefreshShape();
    EXPECT_EQ(snapshot(level0), dented0);

    mesh.car.Repair(0, 0);
    EXPECT_EQ(mesh.car.damageCount, 0);
    EXPECT_EQ(snapshot(level0), clean0);
    EXPECT_EQ(snapshot(level1), clean1);
    EXPECT_EQ(mesh.car.points[0].local[2], 0.0f);
}

// A node rebuilt with another vertex or part count (another part choice)
// gets fresh copies; a restore never uses a copy that does not fit.
TEST(CarDamageMesh, CopiesThatNoLongerFitAreTakenAgain) {
    MeshCar mesh;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> corners;
    FlatGrid(2, vertices, corners);
    const int32_t up[3] = {0, 0, Metre};
    mesh.SetMesh(0, vertices, corners, {{0, 0, 0}}, up);
    mesh.car.SaveUndamagedMeshes();

    const std::vector<Vertex> fewer = {{Metre, 0, 0}, {0, Metre, 0}, {0, 0, Metre}};
    ModelNode &node = mesh.SetMesh(0, fewer, {0, 1, 2}, {{1, 2, 3}, {4, 5, 6}}, up);
    // Without fresh copies the old ones are not used.
    node.vertices[0].position[0] = 5;
    mesh.car.RestoreShape(1);
    EXPECT_EQ(node.vertices[0].position[0], 5);
    node.vertices[0].position[0] = Metre;

    mesh.car.SaveUndamagedMeshes();
    ASSERT_NE(mesh.car.savedVertices[0], nullptr);
    EXPECT_EQ(mesh.car.savedVertices[0][0], 3);
    EXPECT_EQ(mesh.car.savedPartVectors[0][0], 2);
    node.vertices[2].position[2] = 0;
    node.children[1]->position[0] = 0;
    mesh.car.RestoreShape(1);
    EXPECT_EQ(node.vertices[2].position[2], Metre);
    EXPECT_EQ(node.children[1]->position[0], 4);

    // No body levels: nothing is saved.
    MeshCar bare;
    bare.body.lodCount = 0;
    bare.SetMesh(0, fewer, {0, 1, 2}, {}, up);
    bare.car.SaveUndamagedMeshes();
    EXPECT_EQ(bare.car.savedVertices[0], nullptr);
}

}  // namespace
