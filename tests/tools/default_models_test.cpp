// Level 0 of every 3D object of the default data set built into model nodes
// and render objects (null render backend): nothing dropped, and the
// material pass restarts at most once per mapping.

#include <gtest/gtest.h>

#include <string>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "render/material.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "tests/world/world_load_steps.h"
#include "tools/body_objects.h"
#include "tools/default_track.h"
#include "world/object_holder.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"

namespace {

constexpr int32_t M = 65536;

Material OneMaterial;
Material *AnyTexture(const char *, int, int, int, uint8_t *)
{
    return &OneMaterial;
}

// Triangles of a level with their mirrored twins, over the whole tree.
int LevelTriangles(const Object3D *object, int level, bool children)
{
    int count = 0;
    for (int t = 0; t < object->triangleCount; t++) {
        if (object->triangles[t].lod == level)
            count += 1 + (object->triangles[t].flags & TriangleMirrored);
    }
    if (children) {
        for (int c = 0; c < object->childCount; c++) {
            const Object3D *child = &object->children[c];
            const int childLevel = level < child->lodCount ? level : child->lodCount - 1;
            count += LevelTriangles(child, childLevel, true) * (1 + (child->flags & ObjectMirroredChild));
        }
    }
    return count;
}

int NodeTriangles(const ModelNode *node)
{
    int count = node->triangleCount;
    for (int c = 0; c < node->childCount; c++)
        count += NodeTriangles(node->children[c]);
    return count;
}

int ObjectMappings(const Object3D *object)
{
    int count = static_cast<int>(object->mappingCount);
    for (int c = 0; c < object->childCount; c++)
        count += ObjectMappings(&object->children[c]) * (1 + (object->children[c].flags & ObjectMirroredChild));
    return count;
}

// Builds level 0 (children too when asked) and its render object, and checks
// the counts.
void ExpectWholeBuild(Object3D *object, const std::string &what, bool children)
{
    SCOPED_TRACE(what);
    LastBuildRestarts = 0;
    LoadObjectTextures(object, 0, 0, 0, AllObjectParts);
    ModelNode *node = CreateModelNode();
    BuildModelFromObject(object, node, 0, children ? BuildChildren : BuildNoChildren, 0, M, M, AllObjectParts);
    EXPECT_EQ(NodeTriangles(node), LevelTriangles(object, 0, children));
    EXPECT_LE(LastBuildRestarts, ObjectMappings(object));
    int listed = 0;
    for (int l = 0; l < node->listCount; l++)
        listed += static_cast<int>(node->lists[l].triangleCount);
    EXPECT_EQ(listed, node->triangleCount);
    if (node->triangleCount > 0) {
        RenderObject *render = node->GetRenderObject();
        ASSERT_NE(render, nullptr);
        int vertices = 0;
        int triangles = 0;
        for (int p = 0; p < render->partCount; p++) {
            vertices += render->parts[p].ItemVertexCount(0);
            triangles += render->parts[p].ItemTriangleCount(0);
        }
        EXPECT_EQ(vertices, node->vertexCount);
        EXPECT_EQ(triangles, node->triangleCount);
    }
    DeleteModelNode(node);
}

class DefaultModelsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildTrigTables();
        InitIdentityTransform();
    }
    void SetUp() override { SetObjectTextureLookup(AnyTexture); }
    void TearDown() override
    {
        SetObjectTextureLookup(nullptr);
        DeleteAllRenderObjects();
    }
};

TEST_F(DefaultModelsTest, EveryBodyBuildsWhole)
{
    for (int b = 0; b < BodyCodeCount; b++) {
        Object3D body;
        InitObject3D(&body);
        ASSERT_EQ(BuildBodyObject(b, &body), 1);
        ExpectWholeBuild(&body, BodyCodes[b], true);
        FreeObject3D(&body);
    }
}

TEST_F(DefaultModelsTest, EveryPlacedObjectOfTheDefaultSiteBuildsWhole)
{
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    ASSERT_EQ(WriteDefaultLayout("."), nullptr);
    const TrackSite &row = SiteTable[DefaultTrackSite];
    World *world = WorldCreate();
    ASSERT_EQ(WorldOpen(world, row.name, row.code, 0, 0, DefaultLayoutConfig, 0, 0), 1);
    int steps = 0;
    while (!WorldLoadStep(world) && ++steps < 100000) {
    }
    ASSERT_FALSE(WorldLoadFailed(world));
    int built = 0;
    for (int i = 0; i < world->duplicatorCount; i++) {
        ObjectHolder &holder = world->duplicators[i];
        if (holder.kind != HolderObject3D || holder.GetObject() == nullptr)
            continue;
        ExpectWholeBuild(holder.GetObject(), holder.GetName(), false);
        // The holder's own build, at its scale.
        holder.BuildModel();
        ASSERT_NE(holder.model, nullptr);
        EXPECT_EQ(holder.model->triangleCount, LevelTriangles(holder.GetObject(), 0, false));
        holder.FreeModel();
        built++;
    }
    EXPECT_GT(built, 0);
    WorldDestroy(world);
}

}  // namespace
