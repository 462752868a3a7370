#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/car_table.h"
#include "core/shell_globals.h"
#include "render/model_node.h"
#include "tests/tools/generated_cars_fixture.h"
#include "vehicle/car_damage.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"

// Dents on the generated cars' real body meshes: what moves, the renewed
// normals, the same mesh after a model refresh, and repair.
namespace {

class CarDamageMeshCarsTest : public GeneratedCarsFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(writeError, nullptr) << writeError;
        savedServices = CarServices;
        CarServices.createModelNode = CreateModelNode;
        CarServices.deleteModelNode = DeleteModelNode;
    }
    void TearDown() override { CarServices = savedServices; }
    CarObjectServices savedServices;
};

// Every level's vertex positions and normals, then its part positions.
std::vector<int32_t> MeshWords(const CarObject &car) {
    std::vector<int32_t> words;
    for (const ModelNode *node : car.modelNodes) {
        if (node == nullptr)
            continue;
        for (int i = 0; i < node->vertexCount; i++) {
            words.insert(words.end(), node->vertices[i].position, node->vertices[i].position + 3);
            words.insert(words.end(), node->vertices[i].normal, node->vertices[i].normal + 3);
        }
        for (int i = 0; i < node->childCount; i++)
            words.insert(words.end(), node->children[i]->position, node->children[i]->position + 3);
    }
    return words;
}

std::vector<float> ShapeFloats(const CarObject &car) {
    std::vector<float> values;
    for (int i = 0; i < car.pointCount; i++)
        values.insert(values.end(), car.points[i].local, car.points[i].local + 3);
    return values;
}

TEST_F(CarDamageMeshCarsTest, DentMovesTheMeshAndRepairBringsItBack) {
    for (int model = 0; model < 3; model++) {
        SCOPED_TRACE(CarTable[model].code);
        CarObject car;
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[model].code, args), 1);
        ASSERT_NE(car.modelNodes[0], nullptr);
        ASSERT_GT(car.modelNodes[0]->vertexCount, 0);
        ASSERT_NE(car.savedVertices[0], nullptr);
        const std::vector<int32_t> clean = MeshWords(car);
        const std::vector<float> cleanShape = ShapeFloats(car);

        // The collision point furthest to the right, pushed in (-x).
        int hit = 0;
        for (int i = 1; i < car.hullPointCount; i++) {
            if (car.points[i].local[0] > car.points[hit].local[0])
                hit = i;
        }
        const float inward[3] = {-1.0f, 0.0f, 0.0f};
        const uint16_t direction = PackDamageDirection(inward);
        const uint8_t record[4] = {static_cast<uint8_t>(hit), 120, static_cast<uint8_t>(direction & 0xFF),
                                   static_cast<uint8_t>(direction >> 8)};
        ASSERT_EQ(car.AddDamageRecord(record), 1);
        car.RefreshShape();

        const ModelNode &level0 = *car.modelNodes[0];
        const int32_t *saved = car.savedVertices[0] + 1;
        int moved = 0;
        int outward = 0;
        for (int i = 0; i < level0.vertexCount; i++) {
            const ModelVertex &v = level0.vertices[i];
            const int32_t *before = saved + 6 * i;
            if (v.position[0] == before[0] && v.position[1] == before[1] && v.position[2] == before[2])
                continue;
            moved++;
            EXPECT_LT(v.position[0], before[0]) << i;  // pushed inward only
            EXPECT_EQ(v.position[1], before[1]) << i;
            const double length = std::sqrt(static_cast<double>(v.normal[0]) * v.normal[0] +
                                            static_cast<double>(v.normal[1]) * v.normal[1] +
                                            static_cast<double>(v.normal[2]) * v.normal[2]);
            EXPECT_NEAR(length, 65536.0, 4.0) << i;
            // Renewed with the builder's winding: most still face out.
            const int64_t facing = static_cast<int64_t>(v.normal[0]) * before[3] +
                                   static_cast<int64_t>(v.normal[1]) * before[4] +
                                   static_cast<int64_t>(v.normal[2]) * before[5];
            if (facing > 0)
                outward++;
        }
        EXPECT_GT(moved, 0);
        EXPECT_GE(outward * 4, moved * 3);  // a flipped winding would face most inward
        EXPECT_LT(car.points[hit].local[0], cleanShape[3 * hit]);
        const std::vector<int32_t> dented = MeshWords(car);
        ASSERT_NE(dented, clean);

        // A model refresh rebuilds the nodes and applies the same dent again.
        car.RefreshModel(0);
        EXPECT_EQ(MeshWords(car), dented);

        car.wheels[0].treadBytes[0] = 6;  // hardly worn: still renewed at limit 0
        car.Repair(0, 0);
        EXPECT_EQ(car.damageCount, 0);
        EXPECT_EQ(MeshWords(car), clean);
        EXPECT_EQ(ShapeFloats(car), cleanShape);
        for (int w = 0; w < car.wheelCount; w++) {
            for (int k = 0; k < 3; k++)
                EXPECT_EQ(car.wheels[w].position[k], car.wheels[w].restPosition[k]) << w;
        }
        EXPECT_EQ(car.wheels[0].treadBytes[0], 7);
    }
}

}  // namespace
