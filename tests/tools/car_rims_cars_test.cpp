#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/car_table.h"
#include "core/shell_globals.h"
#include "render/model_node.h"
#include "render/render_object.h"
#include "scene/rim_models.h"
#include "scene/wheel_octagons.h"
#include "tests/tools/generated_cars_fixture.h"
#include "vehicle/car_curve.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"

namespace {

// A spoke piece as a car's rim object: one triangle between the hub and the
// rim on the wheel's outer side, one surface named "rimsC1" (tinted by rim
// colour 1), one texture, material and mapping. The generated cars carry an
// empty rim object.
void MakeSpokeObject(Object3D *object) {
    FreeObject3D(object);
    InitObject3D(object);
    object->pointCount = 3;
    object->points = new ObjectPoint[3]();
    const int32_t xyz[3][3] = {{3277, 3277, 0}, {3277, 9830, 655}, {3277, 9830, -655}};
    for (int i = 0; i < 3; i++) {
        object->points[i].x = xyz[i][0];
        object->points[i].y = xyz[i][1];
        object->points[i].z = xyz[i][2];
    }
    object->triangleCount = 1;
    object->triangles = new ObjectTriangle[1]();
    object->triangles[0].corners[0] = 0;
    object->triangles[0].corners[1] = 1;
    object->triangles[0].corners[2] = 2;
    object->surfaces.width = 1;
    object->surfaces.height = 1;
    object->surfaces.cells = new GridCell[1]();
    std::memcpy(object->surfaces.cells[0].bytes + 4, "rimsC2", 6);
    object->textureCount = 1;
    object->textures = new ObjectTexture[1]();
    std::strcpy(object->textures[0].name, "spoke");
    object->materialCount = 1;
    object->materials = new ObjectMaterial[1]();
    object->materials[0].uRepeat = 64;
    object->materials[0].vRepeat = 64;
    object->mappingCount = 1;
    object->mappings = new ObjectMapping[1]();
    object->mappings[0].uMin = -16384;
    object->mappings[0].uMax = 16384;
    object->mappings[0].vMin = -16384;
    object->mappings[0].vMax = 16384;
}

RenderObject *PlainWheelMesh(float tyreWidth, float radius) {
    return BuildWheelOctagonMesh(tyreWidth, radius, nullptr);
}

// The generated cars with the scene's wheel builders registered as the
// program registers them.
class RimCarsTest : public GeneratedCarsFixture {
protected:
    void SetUp() override {
        GeneratedCarsFixture::SetUp();
        saved = CarServices;
        CarServices.buildRimMeshes = BuildRimMeshes;
        CarServices.buildTyreMesh = BuildTyreMesh;
        CarServices.buildWheelOctagonMesh = PlainWheelMesh;
        savedGraphics = GraphicsEnabled;
        savedDedicated = DedicatedMode;
        GraphicsEnabled = 1;
        DedicatedMode = DedicatedNone;
    }
    void TearDown() override {
        CarServices = saved;
        GraphicsEnabled = savedGraphics;
        DedicatedMode = savedDedicated;
    }
    static void Load(CarObject &car, int index) {
        CarLoadArguments args;
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[index].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
        MakeSpokeObject(&car.rimObject);
    }

    CarObjectServices saved = {};
    int savedGraphics = 1;
    int savedDedicated = DedicatedNone;
};

int KindZeroRings(const RimData &axle) {
    int k = 0;
    for (int i = 0; i < axle.ringCount; i++)
        k += axle.rings[i].kind == 0 ? 1 : 0;
    return k;
}

// Every generated car: hub and tyre nodes per axle, the hub made from the
// rim object repeated n times, the tyre node turned in the segment count
// of n, one simple mesh per wheel; the repeat is undone afterwards; a
// second call changes nothing until the wheel meshes are released.
TEST_F(RimCarsTest, EveryCarBuildsItsWheelNodesOnce) {
    for (int index = 0; index < CarModelCount; ++index) {
        SCOPED_TRACE(CarTable[index].code);
        CarObject car;
        Load(car, index);
        const int points = car.rimObject.pointCount;
        const int triangles = car.rimObject.triangleCount;
        const int n = RimRepeatCount(car.rimBytes[0]);

        car.BuildRenderParts();
        ASSERT_EQ(car.renderPartsBuilt, 1);
        EXPECT_EQ(car.rimObject.pointCount, points);
        EXPECT_EQ(car.rimObject.triangleCount, triangles);
        for (int a = 0; a < 2; a++) {
            SCOPED_TRACE(a);
            const RimData &axle = car.axles[a];
            ASSERT_NE(axle.hubNode, nullptr);
            ASSERT_NE(axle.rimNode, nullptr);
            ASSERT_GT(axle.ringCount, 0);
            // The hub holds n copies of each (mirrored) triangle of the rim object.
            EXPECT_GE(axle.hubNode->triangleCount, n * triangles);
            EXPECT_EQ(axle.hubNode->triangleCount % n, 0);
            EXPECT_EQ(axle.rimNode->vertexCount, KindZeroRings(axle) * RimSegmentCount(n));
            EXPECT_EQ(axle.rimNode->triangleCount, (axle.faceCount - TyreProfileFaces) * RimSegmentCount(n) * 2);
            ASSERT_EQ(axle.rimNode->listCount, 1);
            EXPECT_EQ(axle.rimNode->lists[0].flags, ModelListTextureOnly);
            EXPECT_EQ(axle.rimNode->radius, axle.boundingRadius);
        }
        for (int w = 0; w < MaxCarWheels; w++) {
            if (w < car.wheelCount) {
                ASSERT_NE(car.wheelMeshes[w], nullptr);
                EXPECT_EQ(std::strncmp(car.wheelMeshes[w]->name, "WHL", 3), 0);
                const PartVertex *top = car.wheelMeshes[w]->parts[0].ItemVertex(0, 2);
                EXPECT_FLOAT_EQ(top->y, car.wheels[w].radius);
                EXPECT_FLOAT_EQ(top->x, car.axles[car.wheels[w].axleIndex].tyreWidth / 2.0f);
            } else {
                EXPECT_EQ(car.wheelMeshes[w], nullptr);
            }
        }

        const ModelNode *hub = car.axles[1].hubNode;
        const RenderObject *mesh = car.wheelMeshes[0];
        car.BuildRenderParts();
        EXPECT_EQ(car.axles[1].hubNode, hub);
        EXPECT_EQ(car.wheelMeshes[0], mesh);

        car.ReleaseWheelMeshes();
        EXPECT_EQ(car.renderPartsBuilt, 0);
        for (int a = 0; a < 2; a++) {
            EXPECT_EQ(car.axles[a].hubNode, nullptr);
            EXPECT_EQ(car.axles[a].rimNode, nullptr);
        }
        for (RenderObject *m : car.wheelMeshes)
            EXPECT_EQ(m, nullptr);
        car.BuildRenderParts();
        EXPECT_NE(car.axles[0].hubNode, nullptr);
    }
}

// The rear hub is scaled by the rear and front seat half widths across and
// the seat radii in radius, unless the rear wheels copy the front ones.
TEST_F(RimCarsTest, RearHubTakesTheSeatScaleFactors) {
    CarObject car;
    Load(car, 0);
    car.axles[0].rimWidth = car.axles[1].rimWidth * 1.5f;
    car.axles[0].rimRadius = car.axles[1].rimRadius + 0.03f;
    car.axles[0].seatInset = 10;
    car.axles[1].seatInset = 0;
    car.dataFlags &= ~0x10u;
    car.BuildRenderParts();
    const ModelNode *rear = car.axles[0].hubNode;
    const ModelNode *front = car.axles[1].hubNode;
    ASSERT_NE(rear, nullptr);
    ASSERT_NE(front, nullptr);
    ASSERT_EQ(rear->vertexCount, front->vertexCount);
    ASSERT_GT(rear->vertexCount, 0);
    const double sx = (car.axles[0].rimWidth / 2.0 + 0.005) / (car.axles[1].rimWidth / 2.0 + 0.005);
    const double sz = (car.axles[0].rimRadius - 0.010) / car.axles[1].rimRadius;
    for (int i = 0; i < rear->vertexCount; i++) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(rear->vertices[i].position[0], front->vertices[i].position[0] * sx,
                    2.0 + std::fabs(front->vertices[i].position[0]) * 1e-4);
        EXPECT_NEAR(rear->vertices[i].position[1], front->vertices[i].position[1] * sz,
                    2.0 + std::fabs(front->vertices[i].position[1]) * 1e-4);
        EXPECT_NEAR(rear->vertices[i].position[2], front->vertices[i].position[2] * sz,
                    2.0 + std::fabs(front->vertices[i].position[2]) * 1e-4);
    }

    // Rear wheels like the front ones: no scale.
    car.ReleaseWheelMeshes();
    car.dataFlags |= 0x10u;
    car.BuildRenderParts();
    for (int i = 0; i < car.axles[0].hubNode->vertexCount; i++) {
        for (int d = 0; d < 3; d++)
            EXPECT_EQ(car.axles[0].hubNode->vertices[i].position[d], car.axles[1].hubNode->vertices[i].position[d]);
    }
}

// Rim colours 5 to 8 tint the rim object's surfaces and the rim curve's
// cells by their names ("C1" at positions 4 and 5 takes rim colour 1).
TEST_F(RimCarsTest, RimColoursTintTheRimMaterials) {
    CarObject car;
    Load(car, 0);
    ASSERT_NE(car.colours, nullptr);
    ASSERT_NE(car.curve, nullptr);
    ASSERT_GT(car.curve->materials.width * car.curve->materials.height, 0);
    GridCell &surface = car.rimObject.surfaces.cells[0];
    GridCell &cell = car.curve->materials.cells[0];
    std::memcpy(surface.bytes + 4, "rimsC2\0\0\0\0", 10);
    std::memcpy(cell.bytes + 4, "rimsE1\0\0\0\0", 10);
    car.colours->rim[1] = Colour{200, 100, 50, 255};
    car.colours->rim[0] = Colour{100, 50, 25, 255};
    car.BuildRimModels();
    EXPECT_EQ(surface.bytes[0], 200);
    EXPECT_EQ(surface.bytes[1], 100);
    EXPECT_EQ(surface.bytes[2], 50);
    EXPECT_EQ(cell.bytes[0], 40);
    EXPECT_EQ(cell.bytes[1], 20);
    EXPECT_EQ(cell.bytes[2], 10);
    // The outer rim edge takes the curve's surface 0 colour undarkened.
    EXPECT_EQ(car.axles[1].rings[11].colour.bytes[0], 40);
    EXPECT_EQ(car.axles[1].rings[11].colour.bytes[2], 10);
}

// Without drawing the car builds no wheel nodes, profiles or meshes.
TEST_F(RimCarsTest, DedicatedHostBuildsNoWheelModels) {
    DedicatedMode = DedicatedConsole;
    CarObject car;
    Load(car, 0);
    car.BuildRimModels();
    car.BuildRenderParts();
    EXPECT_EQ(car.renderPartsBuilt, 0);
    for (const RimData &axle : car.axles) {
        EXPECT_EQ(axle.hubNode, nullptr);
        EXPECT_EQ(axle.rimNode, nullptr);
        EXPECT_EQ(axle.ringCount, 0);
        EXPECT_GT(axle.outerRadius, 0.0f);   // the tyre shape still feeds the physics
    }
    for (RenderObject *m : car.wheelMeshes)
        EXPECT_EQ(m, nullptr);
}

}  // namespace
