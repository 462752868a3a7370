#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "core/car_table.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "tests/tools/generated_cars_fixture.h"
#include "vehicle/car_object.h"

// The lamp groups and lamp meshes of the generated bodies, built with the
// null render backend and read back.
namespace {

constexpr int32_t One = 65536;

class CarLampsCarsTest : public GeneratedCarsFixture {
protected:
    void TearDown() override {
        car.ReleaseLampObjects();
        for (ModelNode *&node : car.modelNodes) {
            DeleteModelNode(node);
            node = nullptr;
        }
        DeleteAllRenderObjects();
    }

    // The car's model nodes of every level of the body, and its lamp
    // groups built with a mesh per level.
    int BuildLamps(Object3D *body) {
        car.bodyObject = body;
        const int levels = body->lodCount;
        LoadObjectTextures(body, 0, 1, 0, AllObjectParts);
        for (int level = 0; level < levels; level++) {
            car.modelNodes[level] = CreateModelNode();
            BuildModelFromObject(body, car.modelNodes[level], level, BuildChildren, 0, One, One, AllObjectParts);
        }
        car.FindLamps(1);
        for (int level = 0; level < levels; level++) {
            for (int group = 0; group < CarMaterialCount; group++) {
                const CarMaterial &record = car.materials[group];
                BuildLampMesh(record.lampObject, car.modelNodes[level], level, body, record.lampEntries,
                              0xFF000000u | static_cast<uint32_t>(group), record.sideKind);
            }
        }
        return levels;
    }

    CarObject car;
};

TEST_F(CarLampsCarsTest, EveryBodyHasItsLampMeshes) {
    for (int b = 0; b < BodyCodeCount; b++) {
        SCOPED_TRACE(BodyCodes[b]);
        const int levels = BuildLamps(BodyObjects[b]);
        // A group is built when the body has one of its materials (the
        // bodies have no tail lamps: that group is drawn from the brake
        // lamps), and then has triangles at the detailed level.
        const Object3D *body = BodyObjects[b];
        auto has = [body](std::initializer_list<const char *> names) {
            for (uint32_t m = 0; m < body->materialCount; m++) {
                for (const char *name : names) {
                    if (std::strcmp(body->materials[m].name, name) == 0)
                        return true;
                }
            }
            return false;
        };
        const bool brake = has({"l_brk"});
        const bool expected[CarMaterialCount] = {
            brake, has({"l_head"}), brake || has({"l_tail"}), has({"l_rind", "l_find"}),
            has({"l_rind", "l_find"}), has({"l_rfog"}), has({"l_ffog"}), has({"l_rev"}),
        };
        int built = 0;
        for (int group = 0; group < CarMaterialCount; group++) {
            const RenderObject *object = car.materials[group].lampObject;
            ASSERT_EQ(object != nullptr, expected[group]) << group;
            if (object == nullptr)
                continue;
            built++;
            EXPECT_GT(object->parts[0].ItemTriangleCount(0), 0) << group;
        }
        EXPECT_GT(built, 0);
        if (brake) {
            for (int k = 0; k < 4; k++)
                EXPECT_EQ(car.materials[2].lampEntries[k], car.materials[0].lampEntries[k]);
            const RenderPart &brakeMesh = car.materials[0].lampObject->parts[0];
            const RenderPart &tailMesh = car.materials[2].lampObject->parts[0];
            EXPECT_EQ(tailMesh.ItemVertexCount(0), brakeMesh.ItemVertexCount(0));
            EXPECT_EQ(tailMesh.ItemTriangleCount(0), brakeMesh.ItemTriangleCount(0));
        }

        for (int group = 0; group < CarMaterialCount; group++) {
            const RenderObject *object = car.materials[group].lampObject;
            if (object == nullptr)
                continue;
            SCOPED_TRACE(group);
            EXPECT_EQ(object->itemCount, levels);
            const RenderPart &mesh = object->parts[0];
            for (int level = 0; level < levels; level++) {
                const int vertices = mesh.ItemVertexCount(level);
                EXPECT_LE(vertices, 255);
                for (int v = 0; v < vertices; v++) {
                    const PartVertex *vertex = mesh.ItemVertex(level, v);
                    EXPECT_EQ(vertex->diffuse, 0xFF000000u | static_cast<uint32_t>(group));
                    if (group == 3) {
                        EXPECT_LT(vertex->x, 0.0f);
                    }
                    if (group == 4) {
                        EXPECT_GT(vertex->x, 0.0f);
                    }
                }
                for (int t = 0; t < mesh.ItemTriangleCount(level); t++) {
                    int a, c, d;
                    ASSERT_TRUE(mesh.ItemTriangle(level, t, &a, &c, &d));
                    EXPECT_TRUE(a < vertices && c < vertices && d < vertices);
                }
            }
        }
        // The body is mirrored: both indicator sides have the same shape.
        if (expected[3]) {
            const RenderPart &left = car.materials[3].lampObject->parts[0];
            const RenderPart &right = car.materials[4].lampObject->parts[0];
            EXPECT_EQ(left.ItemVertexCount(0), right.ItemVertexCount(0));
            EXPECT_EQ(left.ItemTriangleCount(0), right.ItemTriangleCount(0));
        }

        // The bodies' children are markers only: no wheel parts.
        car.FindWheelParts();
        for (int s = 0; s < 6; s++) {
            EXPECT_EQ(car.wheelParts[s], nullptr);
            EXPECT_EQ(car.wheelParts5[s], nullptr);
        }
        TearDown();
    }
}

}  // namespace
