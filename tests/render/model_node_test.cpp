#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/fixed_math.h"
#include "render/lit_colours.h"
#include "render/mesh_lit_colours.h"
#include "render/model_build.h"
#include "render/material.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/object_mesh_part.h"
#include "render/texture_manager.h"
#include "render/view.h"
#include "render/render_object.h"

namespace {

constexpr int32_t M = 65536;  // one metre

struct Point {
    int32_t x, y, z;
    uint8_t flags;
};

struct Tri {
    uint16_t a, b, c;
    uint8_t surface;
    uint8_t group;
    int8_t lod;
    uint8_t part;
    uint8_t flags;
};

struct MappingSpec {
    uint8_t projection;
    int32_t uMin, uMax, vMin, vMax;
    uint32_t material0, material1;
};

struct MaterialSpec {
    uint8_t texture;
    uint8_t orientation;
    uint8_t environment;
};

// An object made in memory: one surface row, surface s using mapping
// surfaceMappings[s] and colour (100, 160, 240).
void MakeObject(Object3D *o, const std::vector<Point> &points, const std::vector<Tri> &tris,
                const std::vector<int> &surfaceMappings, const std::vector<MappingSpec> &mappings,
                const std::vector<MaterialSpec> &materials, const std::vector<std::string> &textures,
                int groupCount = 1, int lodCount = 1)
{
    InitObject3D(o);
    o->lodCount = static_cast<uint16_t>(lodCount);
    o->groupCount = static_cast<uint16_t>(groupCount);
    for (int i = 0; i < MaxObjectLods; i++)
        o->lodDistances[i] = (i + 1) * 10 * M;
    o->pointCount = static_cast<uint16_t>(points.size());
    o->points = new ObjectPoint[points.size()]();
    for (size_t i = 0; i < points.size(); i++) {
        o->points[i].x = points[i].x;
        o->points[i].y = points[i].y;
        o->points[i].z = points[i].z;
        o->points[i].flags = points[i].flags;
    }
    o->triangleCount = static_cast<uint16_t>(tris.size());
    o->triangles = new ObjectTriangle[tris.size()]();
    for (size_t i = 0; i < tris.size(); i++) {
        ObjectTriangle &t = o->triangles[i];
        t.corners[0] = tris[i].a;
        t.corners[1] = tris[i].b;
        t.corners[2] = tris[i].c;
        t.surface = tris[i].surface;
        t.group = tris[i].group;
        t.lod = tris[i].lod;
        t.part = tris[i].part;
        t.flags = tris[i].flags;
    }
    o->surfaces.width = 1;
    o->surfaces.height = static_cast<uint16_t>(surfaceMappings.size());
    o->surfaces.cells = new GridCell[surfaceMappings.size()]();
    for (size_t s = 0; s < surfaceMappings.size(); s++) {
        GridCell &cell = o->surfaces.cells[s];
        cell.bytes[0] = 100;
        cell.bytes[1] = 160;
        cell.bytes[2] = 240;
        cell.bytes[14] = static_cast<uint8_t>(surfaceMappings[s]);
    }
    o->mappingCount = static_cast<uint32_t>(mappings.size());
    o->mappings = new ObjectMapping[mappings.size()]();
    for (size_t i = 0; i < mappings.size(); i++) {
        ObjectMapping &m = o->mappings[i];
        m.projection = mappings[i].projection;
        m.uMin = mappings[i].uMin;
        m.uMax = mappings[i].uMax;
        m.vMin = mappings[i].vMin;
        m.vMax = mappings[i].vMax;
        m.materials[0] = mappings[i].material0;
        m.materials[1] = mappings[i].material1;
    }
    o->materialCount = static_cast<uint32_t>(materials.size());
    o->materials = new ObjectMaterial[materials.size()]();
    for (size_t i = 0; i < materials.size(); i++) {
        ObjectMaterial &m = o->materials[i];
        m.texture = materials[i].texture;
        m.orientation = materials[i].orientation;
        m.environment = materials[i].environment;
        m.uRepeat = m.vRepeat = 64;
    }
    o->textureCount = static_cast<uint32_t>(textures.size());
    o->textures = new ObjectTexture[textures.size()]();
    for (size_t i = 0; i < textures.size(); i++)
        std::snprintf(o->textures[i].name, sizeof(o->textures[i].name), "%s", textures[i].c_str());
}

// A 1 m cube about the origin, faces wound counter-clockwise seen from
// outside, surface = face; smooth = one smoothing group, else one per face.
void MakeCube(Object3D *o, bool smooth)
{
    std::vector<Point> points;
    for (int i = 0; i < 8; i++)
        points.push_back({(i & 1) ? M / 2 : -M / 2, (i & 2) ? M / 2 : -M / 2, (i & 4) ? M / 2 : -M / 2, 0});
    const uint16_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<Tri> tris;
    for (int f = 0; f < 6; f++) {
        const uint8_t group = smooth ? 0 : static_cast<uint8_t>(f);
        tris.push_back({faces[f][0], faces[f][1], faces[f][2], static_cast<uint8_t>(f), group, 0, 0, 0});
        tris.push_back({faces[f][0], faces[f][2], faces[f][3], static_cast<uint8_t>(f), group, 0, 0, 0});
    }
    MakeObject(o, points, tris, {0, 0, 0, 0, 0, 0}, {{5, -M / 2, M / 2, -M / 2, M / 2, 0, 0}}, {{0, 0, 0}},
               {"cube"}, smooth ? 1 : 6);
}

int64_t Dot(const int32_t a[3], const int32_t b[3])
{
    return static_cast<int64_t>(a[0]) * b[0] + static_cast<int64_t>(a[1]) * b[1] + static_cast<int64_t>(a[2]) * b[2];
}

double Length(const int32_t v[3])
{
    return std::sqrt(static_cast<double>(Dot(v, v)));
}

class ModelNodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildTrigTables();
        InitIdentityTransform();
    }
    void TearDown() override
    {
        SetObjectTextureLookup(nullptr);
        DeleteAllRenderObjects();
    }
};

TEST_F(ModelNodeTest, CubeSplitsVerticesPerSurfaceAndSmoothsPerGroup)
{
    for (bool smooth : {true, false}) {
        SCOPED_TRACE(smooth ? "one smoothing group" : "six smoothing groups");
        Object3D cube;
        MakeCube(&cube, smooth);
        ModelNode *node = CreateModelNode();
        LoadObjectTextures(&cube, 0, 0, 0, AllObjectParts);
        const int32_t radius = BuildModelFromObject(&cube, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
        EXPECT_EQ(cube.node, node);
        ASSERT_EQ(node->vertexCount, 24);
        ASSERT_EQ(node->triangleCount, 12);
        // Half the diagonal of a 1 m cube.
        EXPECT_NEAR(radius, std::sqrt(3.0) / 2 * M, 1.0);
        for (int i = 0; i < node->vertexCount; i++) {
            const ModelVertex &v = node->vertices[i];
            EXPECT_NEAR(Length(v.normal), 65536.0, 2.0);
            if (smooth) {
                // Three faces meet at each corner: the shared normal points
                // along the diagonal, outwards.
                for (int a = 0; a < 3; a++)
                    EXPECT_NEAR(v.normal[a], (v.position[a] > 0 ? 1 : -1) * 65536.0 / std::sqrt(3.0), 2.0);
            } else {
                int axes = 0;
                for (int a = 0; a < 3; a++) {
                    if (v.normal[a] != 0) {
                        axes++;
                        EXPECT_EQ(v.normal[a] > 0, v.position[a] > 0);
                    }
                }
                EXPECT_EQ(axes, 1);
            }
        }
        DeleteModelNode(node);
        FreeObject3D(&cube);
    }
}

TEST_F(ModelNodeTest, MirroredTriangleGetsTwinWithOppositeWindingAndSharedPlaneVertex)
{
    Object3D o;
    // Point 0 lies on the mirror plane: both sides use one vertex.
    MakeObject(&o, {{0, 0, 0, PointOnMirrorPlane}, {M, 0, 0, PointHasTwin}, {M, M, 0, PointHasTwin}},
               {{0, 1, 2, 0, 0, 0, 0, TriangleMirrored}}, {0}, {{2, 0, M, 0, M, 0, 0}}, {{0, 0, 0}}, {"tex"});
    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    ASSERT_EQ(node->vertexCount, 5);
    ASSERT_EQ(node->triangleCount, 2);
    int mirrored = 0;
    for (int i = 0; i < node->vertexCount; i++) {
        const ModelVertex &v = node->vertices[i];
        mirrored += v.flags & ModelVertexMirrored;
        if (v.flags & ModelVertexMirrored) {
            EXPECT_LE(v.position[0], 0);
        }
        // Both triangles face the same way after the mirror: the twin's
        // winding is reversed.
        EXPECT_EQ(v.normal[0], 0);
        EXPECT_EQ(v.normal[1], 0);
        EXPECT_EQ(v.normal[2], 65536);
    }
    EXPECT_EQ(mirrored, 2);
    DeleteModelNode(node);
    FreeObject3D(&o);
}

TEST_F(ModelNodeTest, ScalesLevelsAndPartMaskSelectTriangles)
{
    Object3D o;
    MakeObject(&o, {{0, 0, 0, 0}, {M, 0, 0, 0}, {M, M, M, 0}, {0, M, 0, 0}},
               {{0, 1, 2, 0, 0, 0, 0, 0}, {0, 2, 3, 0, 0, 0, 3, 0}, {0, 1, 3, 0, 0, 1, 0, 0}, {0, 1, 2, 0, 0, -1, 0, 0}},
               {0}, {{2, 0, M, 0, M, 0, 0}}, {{0, 0, 0}}, {"tex"}, 1, 2);
    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);

    struct Case {
        int level;
        uint32_t mask;
        int triangles;
    } cases[] = {{0, AllObjectParts, 2}, {0, ~(1u << 3), 1}, {1, AllObjectParts, 1}, {2, AllObjectParts, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.level);
        BuildModelFromObject(&o, node, c.level, BuildNoChildren, 0, 2 * M, M / 2, c.mask);
        EXPECT_EQ(node->triangleCount, c.triangles);
        EXPECT_EQ(node->nearDistance, c.level == 0 ? 0 : o.lodDistances[c.level - 1]);
        EXPECT_EQ(node->farDistance, o.lodDistances[c.level]);
        for (int i = 0; i < node->vertexCount; i++) {
            const int32_t *p = node->vertices[i].position;
            EXPECT_TRUE(p[0] == 0 || p[0] == 2 * M);
            EXPECT_TRUE(p[1] == 0 || p[1] == M / 2);
        }
    }
    DeleteModelNode(node);
    FreeObject3D(&o);
}

TEST_F(ModelNodeTest, MaterialListsFlagsAndTextureCoordinates)
{
    Object3D o;
    // Surface 0: plain texture; surface 1: alpha-blended; surface 2: the
    // environment material with texture orientation 2 (U' = 1 - U).
    MakeObject(&o, {{0, 0, 0, 0}, {M, 0, 0, 0}, {M, 0, M, 0}, {0, 0, M, 0}},
               {{0, 1, 2, 0, 0, 0, 0, 0}, {0, 2, 3, 1, 0, 0, 0, 0}, {0, 1, 3, 2, 0, 0, 0, 0}}, {0, 1, 2},
               {{2, 0, M, 0, M, 0, 0}, {2, 0, M, 0, M, 1, 1}, {2, 0, M, 0, M, 3, 3}},
               {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 2, 1}}, {"paint", "glassALPHA", "unused", "chromeATEST"});
    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);

    ASSERT_EQ(node->listCount, 3);
    EXPECT_STREQ(node->lists[0].textureName, "paint");
    EXPECT_STREQ(node->lists[1].textureName, "glassALPHA");
    EXPECT_STREQ(node->lists[2].textureName, "chromeATEST");
    EXPECT_EQ(node->lists[1].flags & ModelListAlpha, ModelListAlpha);
    EXPECT_EQ(node->lists[0].flags & ModelListAlpha, 0);
    EXPECT_EQ(node->lists[2].flags & ModelListEnvironment, ModelListEnvironment);
    EXPECT_EQ(node->firstAlphaList, 1);
    EXPECT_EQ(node->hasAlphaTest, 1);
    uint32_t vertices = 0;
    uint32_t triangles = 0;
    for (int l = 0; l < node->listCount; l++) {
        // Each list's triangles use only that list's vertices.
        for (uint32_t t = triangles; t < triangles + node->lists[l].triangleCount; t++) {
            for (uint16_t corner : node->triangles[t].corners) {
                EXPECT_GE(corner, vertices);
                EXPECT_LT(corner, vertices + node->lists[l].vertexCount);
            }
        }
        vertices += node->lists[l].vertexCount;
        triangles += node->lists[l].triangleCount;
    }
    EXPECT_EQ(static_cast<int>(vertices), node->vertexCount);
    EXPECT_EQ(static_cast<int>(triangles), node->triangleCount);

    // Projection 2 maps (x, z) over 0..1 m: U = x, V = 1 - z; orientation 2
    // turns both.
    for (int l = 0, first = 0; l < node->listCount; first += static_cast<int>(node->lists[l].vertexCount), l++) {
        for (uint32_t i = 0; i < node->lists[l].vertexCount; i++) {
            const ModelVertex &v = node->vertices[first + static_cast<int>(i)];
            const float x = static_cast<float>(v.position[0]) / M;
            const float z = static_cast<float>(v.position[2]) / M;
            const float u = l == 2 ? 1.0f - x : x;
            const float vv = l == 2 ? z : 1.0f - z;
            EXPECT_FLOAT_EQ(v.u, u);
            EXPECT_FLOAT_EQ(v.v, vv);
        }
    }
    DeleteModelNode(node);
    FreeObject3D(&o);
}

TEST_F(ModelNodeTest, SplitMaterialTriangleRestartsWithMirroredSideMaterialMadeEqual)
{
    Object3D o;
    // One corner takes the point's twin (mirrored side), so the triangle's
    // vertices fall into the mapping's two materials.
    MakeObject(&o, {{M, 0, 0, PointHasTwin}, {M, M, 0, 0}, {M, 0, M, 0}},
               {{static_cast<uint16_t>(0 | CornerTwin), 1, 2, 0, 0, 0, 0, 0}}, {0}, {{5, -M, M, 0, M, 0, 1}},
               {{0, 0, 0}, {1, 0, 0}}, {"left", "right"});
    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    EXPECT_EQ(o.mappings[0].materials[1], 0u);
    EXPECT_EQ(o.mappings[0].mirror, 0);
    ASSERT_EQ(node->listCount, 1);
    EXPECT_EQ(node->triangleCount, 1);
    EXPECT_EQ(node->vertexCount, 3);
    DeleteModelNode(node);
    FreeObject3D(&o);
}

TEST_F(ModelNodeTest, ChildrenMirroredTwinsAndPruning)
{
    Object3D o;
    MakeObject(&o, {{0, 0, 0, 0}, {M, 0, 0, 0}, {0, M, 0, 0}}, {{0, 1, 2, 0, 0, 0, 0, 0}}, {0},
               {{5, 0, M, 0, M, 0, 0}}, {{0, 0, 0}}, {"body"}, 1, 2);
    // Children: 0 with a triangle; 1 empty (kind 0); 2 empty of kind 7; 3
    // with a triangle, mirrored (two nodes).
    o.childCount = 4;
    o.children = new Object3D[4];
    const uint8_t kinds[4] = {0, 0, 7, 0};
    for (int i = 0; i < 4; i++) {
        Object3D &c = o.children[i];
        const bool filled = i == 0 || i == 3;
        MakeObject(&c, {{0, 0, 0, 0}, {M, 0, 0, 0}, {0, 0, M, 0}},
                   filled ? std::vector<Tri>{{0, 1, 2, 0, 0, 0, 0, 0}} : std::vector<Tri>{}, {0},
                   {{2, 0, M, 0, M, 0, 0}}, {{0, 0, 0}}, {"part"});
        c.kind = kinds[i];
        c.x = 2 * M;
        c.y = i * M;
    }
    o.children[3].flags |= ObjectMirroredChild;

    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 1, 0, AllObjectParts);
    BuildModelFromObject(&o, node, 0, BuildChildren, 0, M, M, AllObjectParts);
    ASSERT_EQ(node->childCount, 5);
    EXPECT_EQ(node->children[4]->position[0], 2 * M);
    EXPECT_EQ(node->children[3]->position[0], -2 * M);
    EXPECT_EQ(node->children[3]->triangleCount, 1);
    // The radius reaches the farthest child's vertices.
    const int32_t reach = CalcLength3D(2 * M, 3 * M, 0) + M;
    EXPECT_GE(node->radius, reach);

    node->PruneChildren();
    ASSERT_EQ(node->childCount, 4);
    EXPECT_EQ(node->children[0]->triangleCount, 1);
    EXPECT_EQ(node->children[1]->kind, 7);
    EXPECT_EQ(node->children[2]->position[0], -2 * M);
    EXPECT_EQ(node->children[3]->position[0], 2 * M);

    // Level 1, built again: the parent has no level-1 triangles; the
    // children have one level only and are built at level 0.
    BuildModelFromObject(&o, node, 1, BuildChildren, 0, M, M, AllObjectParts);
    EXPECT_EQ(node->triangleCount, 0);
    EXPECT_EQ(node->children[0]->triangleCount, 1);

    // Pruning a node whose children are all empty frees the array.
    ModelNode *empty = CreateModelNode();
    empty->childCount = 2;
    empty->children = new ModelNode *[2]{CreateModelNode(), CreateModelNode()};
    empty->PruneChildren();
    EXPECT_EQ(empty->childCount, 0);
    EXPECT_EQ(empty->children, nullptr);
    DeleteModelNode(empty);

    node->Destroy();
    EXPECT_EQ(node->childCount, 0);
    EXPECT_EQ(node->vertexCount, 0);
    DeleteModelNode(node);
    FreeObject3D(&o);
}

TEST_F(ModelNodeTest, RepeatedObjectBuildsEveryCopy)
{
    Object3D o;
    MakeObject(&o, {{0, 0, M / 4, 0}, {0, M / 8, M / 2, 0}, {M / 8, 0, M / 2, 0}}, {{0, 1, 2, 0, 0, 0, 0, 0}}, {0},
               {{5, 0, M, 0, M, 0, 0}}, {{0, 0, 0}}, {"spoke"});
    ASSERT_EQ(RepeatObjectAroundAxis(&o, 5), 1);
    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    EXPECT_EQ(node->triangleCount, 5);
    FreeRepeatedCopies(&o, 5);
    BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    EXPECT_EQ(node->triangleCount, 1);
    DeleteModelNode(node);
    FreeObject3D(&o);
}

// Fake texture layer: a distinct material per name (plain records outside
// the material map), and a record of the look-ups.
Material FakeMaterials[2];
struct Lookup {
    std::string name;
    int mode, alphaTest, index;
    int skinMode;  // SkinMode during the look-up
};
std::vector<Lookup> Lookups;

Material *FakeLookup(const char *name, int mode, int alphaTest, int index, uint8_t *)
{
    Lookups.push_back({name, mode, alphaTest, index, SkinMode});
    if (std::strcmp(name, "missing") == 0)
        return nullptr;
    const int slot = name[0] == 'g' ? 1 : 0;
    return &FakeMaterials[slot];
}

TEST_F(ModelNodeTest, LoadObjectTexturesResolvesUsedMaterialsOnly)
{
    Object3D o;
    MakeObject(&o, {{0, 0, 0, 0}, {M, 0, 0, 0}, {0, M, 0, 0}}, {{0, 1, 2, 0, 0, 0, 0, 0}, {0, 1, 2, 1, 0, 0, 5, 0}},
               {0, 1}, {{5, 0, M, 0, M, 0, 1}, {5, 0, M, 0, M, 2, 3}},
               {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {"paint", "glassATEST", "missing", "skin"});
    o.textures[3].flags = TextureCarSpecific;
    SetObjectTextureLookup(FakeLookup);

    struct Case {
        int worldMode, skinMode;
        uint32_t mask;
        int lookups;
        int mode;
        uint8_t paintFlags, glassFlags;
        int missing;
    } cases[] = {
        {0, 1, AllObjectParts, 4, 2, ModelListTextureOnly, MaterialCutOut, 1},
        {1, 0, AllObjectParts, 4, 0, 0, MaterialCutOut, 1},
        {0, 0, 1u, 2, 1, ModelListTextureOnly, MaterialCutOut, 0},  // part 5 left out: its materials stay empty
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        Lookups.clear();
        ObjectTextureMissing = 0;
        SkinMode = 3;
        LoadObjectTextures(&o, c.worldMode, c.skinMode, 3, c.mask);
        ASSERT_EQ(static_cast<int>(Lookups.size()), c.lookups);
        EXPECT_EQ(Lookups[0].mode, c.mode);
        EXPECT_EQ(Lookups[0].index, 3);
        EXPECT_EQ(Lookups[0].alphaTest, c.skinMode);  // never for an "ATEST" name
        EXPECT_EQ(Lookups[1].alphaTest, 0);
        EXPECT_EQ(o.materials[0].flags, c.paintFlags);
        EXPECT_EQ(o.materials[1].flags, c.glassFlags);
        EXPECT_EQ(ObjectTextureMissing, c.missing);
        EXPECT_NE(o.materials[0].textureMaterial, nullptr);
        if (c.lookups == 4) {
            EXPECT_EQ(o.materials[3].flags & ModelListCarSpecific, ModelListCarSpecific);
            // The skin is looked up in the car skin folder; the others, and
            // the caller afterwards, keep the mode.
            EXPECT_EQ(Lookups[3].name, "skin");
            EXPECT_EQ(Lookups[3].skinMode, 1);
            EXPECT_EQ(Lookups[0].skinMode, 3);
            EXPECT_EQ(SkinMode, 3);
        } else {
            EXPECT_EQ(o.materials[3].textureMaterial, nullptr);
        }
    }
    SkinMode = 0;
    FreeObject3D(&o);
}

TEST_F(ModelNodeTest, RenderObjectsFilledPerKindAndBuiltOnDemand)
{
    Object3D o;
    // Lighting class 1 on point 0 halves its colour; the alpha list holds
    // the second triangle.
    MakeObject(&o, {{0, 0, 0, 0x40}, {M, 0, 0, 0}, {0, M, 0, 0}, {M, M, 0, 0}},
               {{0, 1, 2, 0, 0, 0, 0, 0}, {1, 3, 2, 1, 0, 0, 0, 0}}, {0, 1},
               {{5, 0, M, 0, M, 0, 0}, {5, 0, M, 0, M, 1, 1}}, {{0, 0, 0}, {1, 0, 0}}, {"paint", "glassALPHA"});
    SetObjectTextureLookup(FakeLookup);
    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    ASSERT_EQ(node->listCount, 2);
    Material *solid = node->lists[0].material;
    Material *alpha = node->lists[1].material;
    ASSERT_NE(solid, alpha);

    RenderObject *object = CreateRenderObject("SOLID_TEST");
    object->InitParts(2, 2);
    object->SetPartMaterial(0, solid);
    object->SetPartMaterial(1, alpha);
    node->FillRenderObject(object, FillSolidLists);
    node->FillRenderObject(object, FillAlphaLists);
    const RenderPart &solidPart = object->parts[0];
    const RenderPart &alphaPart = object->parts[1];
    EXPECT_EQ(solidPart.ItemTriangleCount(0), 1);
    EXPECT_EQ(alphaPart.ItemTriangleCount(0), 0);
    EXPECT_EQ(solidPart.ItemTriangleCount(1), 0);
    EXPECT_EQ(alphaPart.ItemTriangleCount(1), 1);
    ASSERT_EQ(solidPart.ItemVertexCount(0), 3);
    bool halved = false;
    for (int i = 0; i < 3; i++) {
        const PartVertex *v = solidPart.ItemVertex(0, i);
        const ModelVertex &m = node->vertices[i];
        EXPECT_FLOAT_EQ(v->x, static_cast<float>(m.position[0]) / M);
        EXPECT_FLOAT_EQ(v->nz, 1.0f);
        if (v->x == 0.0f && v->y == 0.0f) {
            halved = true;
            EXPECT_EQ(v->diffuse, 0xFF325078u);
        } else {
            EXPECT_EQ(v->diffuse, 0xFF64A0F0u);
        }
    }
    EXPECT_TRUE(halved);
    int a = 0, b = 0, c = 0;
    ASSERT_TRUE(alphaPart.ItemTriangle(1, 0, &a, &b, &c));
    EXPECT_TRUE(a < 3 && b < 3 && c < 3);

    // Built on demand, named from the running counter, kept until freed.
    const int counter = ModelRenderObjectCounter;
    RenderObject *own = node->GetRenderObject();
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(std::string(own->name), "SUB" + std::to_string(counter));
    EXPECT_EQ(own->partCount, 2);
    EXPECT_EQ(node->GetRenderObject(), own);
    EXPECT_EQ(own->parts[0].ItemTriangleCount(0) + own->parts[1].ItemTriangleCount(0), 2);
    ModelNode *other = CreateModelNode();
    BuildModelFromObject(&o, other, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    EXPECT_EQ(std::string(other->GetRenderObject()->name), "SUB" + std::to_string(counter + 1));

    DeleteModelNode(other);
    DeleteModelNode(node);
    DeleteRenderObject(&object);
    FreeObject3D(&o);
}

}  // namespace

namespace {

// A triangle of weight 0 does not disturb a shared point's normal once a
// weighted triangle has touched it, whichever comes first; alone it counts.
TEST_F(ModelNodeTest, WeightZeroTrianglesYieldToWeightedOnes)
{
    struct Case {
        const char *what;
        uint8_t firstWeight, secondWeight;  // first: in the xy plane, second: in the xz plane
        char want;                          // the shared normal: 'z' or 'y' alone, or 'b' both
    };
    const Case cases[] = {
        {"weighted first", 1, 0, 'z'},
        {"weak first: the weighted one starts the sum again", 0, 1, 'y'},
        {"both weak", 0, 0, 'b'},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Object3D o;
        MakeObject(&o, {{0, 0, 0, 0}, {M, 0, 0, 0}, {0, M, 0, 0}, {0, 0, M, 0}},
                   {{0, 1, 2, 0, 0, 0, 0, 0}, {0, 3, 1, 0, 0, 0, 0, 0}}, {0}, {{5, 0, M, 0, M, 0, 0}}, {{0, 0, 0}},
                   {"t"});
        o.triangles[0].normalWeight = c.firstWeight;
        o.triangles[1].normalWeight = c.secondWeight;
        ModelNode *node = CreateModelNode();
        LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
        BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
        ASSERT_EQ(node->vertexCount, 4);
        // The vertex of point 0: raw position zero.
        const ModelVertex *shared = nullptr;
        for (int v = 0; v < node->vertexCount; v++) {
            const int32_t *p = node->vertices[v].position;
            if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                shared = &node->vertices[v];
        }
        ASSERT_NE(shared, nullptr);
        EXPECT_NEAR(Length(shared->normal), 65536.0, 2.0);
        if (c.want == 'z') {
            EXPECT_EQ(shared->normal[1], 0);
            EXPECT_EQ(std::abs(shared->normal[2]), M);
        } else if (c.want == 'y') {
            EXPECT_EQ(std::abs(shared->normal[1]), M);
            EXPECT_EQ(shared->normal[2], 0);
        } else {
            EXPECT_NE(shared->normal[1], 0);
            EXPECT_NE(shared->normal[2], 0);
        }
        DeleteModelNode(node);
        FreeObject3D(&o);
    }
}

// Each node built appends its placement to the transform list, children
// after their parent in build order; the angles are sign-extended.
TEST_F(ModelNodeTest, TransformListTakesSixWordsPerNodeInBuildOrder)
{
    Object3D o;
    MakeCube(&o, true);
    o.x = 5;
    o.y = 6;
    o.z = 7;
    o.pitch = 100;
    o.roll = 200;
    o.heading = 0xFFFF;
    o.childCount = 2;
    o.children = new Object3D[2];
    for (int i = 0; i < 2; i++) {
        InitObject3D(&o.children[i]);
        o.children[i].lodCount = 1;
        o.children[i].x = 10 * (i + 1);
        o.children[i].y = 11 * (i + 1);
        o.children[i].z = 12 * (i + 1);
        o.children[i].pitch = static_cast<uint16_t>(0x8000 + i);
        o.children[i].roll = static_cast<uint16_t>(i);
        o.children[i].heading = static_cast<uint16_t>(300 + i);
    }
    int32_t words[20];
    for (int32_t &w : words)
        w = 0x55555555;
    int32_t *cursor = words;
    ModelNode *node = CreateModelNode();
    LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
    BuildModelFromObject(&o, node, nullptr, &cursor, 0, BuildChildren, 0, nullptr, M, M, AllObjectParts);
    EXPECT_EQ(cursor, words + 18);
    const int32_t want[18] = {5,  6,  7,  100,    200, -1,  //
                              10, 11, 12, -32768, 0,   300,  //
                              20, 22, 24, -32767, 1,   301};
    for (int i = 0; i < 18; i++)
        EXPECT_EQ(words[i], want[i]) << i;
    EXPECT_EQ(words[18], 0x55555555);
    DeleteModelNode(node);
    FreeObject3D(&o);
}

}  // namespace

namespace {

// One texture record and material for every texture name.
TextureRecord SharedRecord;
Material SharedMaterial;
Material *SharedLookup(const char *, int, int, int, uint8_t *)
{
    SharedMaterial.texture = &SharedRecord;
    return &SharedMaterial;
}

class ObjectMeshBuildTest : public ModelNodeTest {
protected:
    void SetUp() override
    {
        previous = CurrentView;
        view = ViewRecord{};
        view.groundColour = {100, 100, 100, 0};
        view.skyLight[0] = view.skyLight[1] = view.skyLight[2] = 200;
        view.sunDir = {0, 0, M};
        for (int32_t &level : view.sunLight)
            level = 100;
        CurrentView = &view;
        UpdateHemisphereLight();
        SharedRecord.lodClass = 0;
        SetObjectTextureLookup(SharedLookup);
    }
    void TearDown() override
    {
        CurrentView = previous;
        ModelNodeTest::TearDown();
    }
    ViewRecord view{};
    ViewRecord *previous = nullptr;
};

// Mesh-part mode writes the node build's vertices lit, in the same order,
// and its triangles as (first, third, second); a surface flagged "up" lights
// and points straight up whatever its faces.
TEST_F(ObjectMeshBuildTest, MeshPartsWindTrianglesTheOtherWayAndLightUpSurfacesAsUp)
{
    Object3D cube;
    MakeCube(&cube, false);
    cube.surfaces.cells[1].bytes[3] = 4;  // face 1 lights as facing up
    LoadObjectTextures(&cube, 1, 0, 0, AllObjectParts);
    ModelNode *node = CreateModelNode();
    BuildModelFromObject(&cube, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
    ObjectMeshPart mesh;
    FixTransform moved;
    moved.Set(FixIdentityMatrix, FixVector{10 * M, 0, 0});
    BuildObjectMaterialLists(&cube, &mesh, moved, FixIdentityMatrix, 0, 0);
    ASSERT_EQ(mesh.vertexCount, node->vertexCount);
    ASSERT_EQ(mesh.triangleCount, node->triangleCount);
    ASSERT_EQ(mesh.listCount, 1);
    EXPECT_EQ(mesh.lists[0].triangleCount, 12u);
    for (int t = 0; t < mesh.triangleCount; t++) {
        EXPECT_EQ(mesh.triangles[t].corners[0], node->triangles[t].corners[0]) << t;
        EXPECT_EQ(mesh.triangles[t].corners[1], node->triangles[t].corners[2]) << t;
        EXPECT_EQ(mesh.triangles[t].corners[2], node->triangles[t].corners[1]) << t;
    }
    int up = 0;
    for (int v = 0; v < mesh.vertexCount; v++) {
        const ModelVertex &in = node->vertices[v];
        const ObjectMeshVertex &out = mesh.vertices[v];
        EXPECT_EQ(out.x, in.position[0] + 10 * M);
        EXPECT_EQ(out.u, in.u);
        ObjectMeshVertex want{};
        const uint8_t *bytes = in.surface->bytes;
        const bool flaggedUp = (bytes[3] & 4) != 0;
        const FixVector normal = flaggedUp ? FixVector{0, 0, M} : FixVector{in.normal[0], in.normal[1], in.normal[2]};
        LightColourByNormal(&want, Colour{bytes[0], bytes[1], bytes[2], bytes[3]}, normal, 0);
        EXPECT_EQ(out.litColour, want.litColour) << v;
        EXPECT_EQ(out.ambientColour, want.ambientColour) << v;
        if (flaggedUp) {
            up++;
            EXPECT_EQ(out.nz, 1.0f);
            EXPECT_EQ(out.nx, 0.0f);
        }
    }
    EXPECT_EQ(up, 4);
    DeleteModelNode(node);
    FreeObject3D(&cube);
}

// A flat object (64 units in z at most) gives its textures LOD class 3 in
// the world-object path; a node does so below 65 units.
TEST_F(ObjectMeshBuildTest, FlatObjectsTakeTheFlatTextureClass)
{
    struct Case {
        int32_t span;
        uint8_t meshClass, nodeClass;
    };
    const Case cases[] = {{64, 3, 3}, {65, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.span);
        Object3D o;
        MakeObject(&o, {{0, 0, 0, 0}, {M, 0, 0, 0}, {0, M, c.span, 0}}, {{0, 1, 2, 0, 0, 0, 0, 0}}, {0},
                   {{5, 0, M, 0, M, 0, 0}}, {{0, 0, 0}}, {"decal"});
        LoadObjectTextures(&o, 1, 0, 0, AllObjectParts);
        SharedRecord.lodClass = 0;
        ObjectMeshPart mesh;
        BuildObjectMaterialLists(&o, &mesh, IdentityTransform, FixIdentityMatrix, 0, 0);
        ASSERT_EQ(mesh.listCount, 1);
        EXPECT_EQ(SharedRecord.lodClass, c.meshClass);
        SharedRecord.lodClass = 0;
        ModelNode *node = CreateModelNode();
        BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
        EXPECT_EQ(SharedRecord.lodClass, c.nodeClass);
        DeleteModelNode(node);
        FreeObject3D(&o);
    }
}

// A child drawn with the parent's texture material joins the parent's list:
// its vertices follow the parent's, its triangles index them, in the
// child's frame.
TEST_F(ObjectMeshBuildTest, ChildListsMergeByTextureMaterial)
{
    Object3D o;
    MakeObject(&o, {{0, 0, 0, 0}, {M, 0, 0, 0}, {0, M, 0, 0}}, {{0, 1, 2, 0, 0, 0, 0, 0}}, {0},
               {{5, 0, M, 0, M, 0, 0}}, {{0, 0, 0}}, {"wall"});
    o.childCount = 1;
    o.children = new Object3D[1];
    MakeObject(&o.children[0], {{0, 0, 0, 0}, {M, 0, 0, 0}, {0, M, 0, 0}, {M, M, 0, 0}},
               {{0, 1, 2, 0, 0, 0, 0, 0}, {1, 3, 2, 0, 0, 0, 0, 0}}, {0}, {{5, 0, M, 0, M, 0, 0}}, {{0, 0, 0}},
               {"wall"});
    o.children[0].z = 5 * M;
    LoadObjectTextures(&o, 1, 0, 0, AllObjectParts);
    ObjectMeshPart mesh;
    BuildObjectMaterialLists(&o, &mesh, IdentityTransform, FixIdentityMatrix, 0, 0);
    ASSERT_EQ(mesh.listCount, 1);
    EXPECT_EQ(mesh.lists[0].material, &SharedMaterial);
    ASSERT_EQ(mesh.vertexCount, 7);
    ASSERT_EQ(mesh.triangleCount, 3);
    EXPECT_EQ(mesh.lists[0].vertexCount, 7u);
    EXPECT_EQ(mesh.lists[0].triangleCount, 3u);
    // The parent's triangle on its own vertices, the child's on the four
    // after them, lifted 5 m.
    for (uint32_t corner : mesh.triangles[0].corners)
        EXPECT_LT(corner, 3u);
    for (int t = 1; t < 3; t++) {
        for (uint32_t corner : mesh.triangles[t].corners) {
            EXPECT_GE(corner, 3u);
            EXPECT_LT(corner, 7u);
            EXPECT_EQ(mesh.vertices[corner].z, 5 * M);
        }
    }
    FreeObject3D(&o);
}

}  // namespace

namespace {

// Texture coordinates of one corner, by projection, mirror flag, rotation,
// orientation row and empty range (repeats 1, offsets 0).
TEST_F(ModelNodeTest, TextureCoordinatesTable)
{
    struct Case {
        const char *what;
        uint8_t projection;
        int32_t uMin, uMax, vMin, vMax;
        int8_t rotation;
        uint8_t orientation;
        Point corner;
        float u, v;
    };
    const Point P = {M / 2, -M / 2, M / 2, 0};
    const Case cases[] = {
        {"none", 0, -M, M, -M, M, 0, 0, P, 0.5f, 0.5f},
        {"-x z", 1, -M, M, -M, M, 0, 0, P, 0.25f, 0.25f},
        {"x z", 2, -M, M, -M, M, 0, 0, P, 0.75f, 0.25f},
        {"y z", 3, -M, M, -M, M, 0, 0, P, 0.25f, 0.25f},
        {"-y z", 4, -M, M, -M, M, 0, 0, P, 0.75f, 0.25f},
        {"x y", 5, -M, M, -M, M, 0, 0, P, 0.75f, 0.75f},
        {"-x y", 6, -M, M, -M, M, 0, 0, P, 0.25f, 0.75f},
        // u range 0..1 m does not cross zero: the mirror flag folds -x over.
        {"mirror flag", 2, 0, M, -M, M, 0, 0, {-M / 2, 0, M / 2, 0}, 0.5f, 0.25f},
        // Turned -30 degrees about the range's centre (1 m, 1 m).
        {"rotation 30", 2, 0, 2 * M, 0, 2 * M, 30, 0, {2 * M, 0, M, 0}, 0.9330127f, 0.75f},
        {"row 1", 2, -M, M, -M, M, 0, 1, P, 0.25f, 0.25f},
        {"row 2", 2, -M, M, -M, M, 0, 2, P, 0.25f, 0.75f},
        {"row 3", 2, -M, M, -M, M, 0, 3, P, 0.75f, 0.75f},
        {"row 4", 2, -M, M, -M, M, 0, 4, P, 0.25f, 0.25f},
        {"row 5", 2, -M, M, -M, M, 0, 5, P, 0.25f, 0.75f},
        {"row 6", 2, -M, M, -M, M, 0, 6, P, 0.75f, 0.75f},
        {"row 7", 2, -M, M, -M, M, 0, 7, P, 0.75f, 0.25f},
        {"empty ranges", 2, M, M, 0, 0, 0, 0, P, 0.0f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Point &a = c.corner;
        Object3D o;
        MakeObject(&o, {a, {a.x + M / 8, a.y, a.z, 0}, {a.x, a.y + M / 8, a.z + M / 8, 0}},
                   {{0, 1, 2, 0, 0, 0, 0, 0}}, {0}, {{c.projection, c.uMin, c.uMax, c.vMin, c.vMax, 0, 0}},
                   {{0, c.orientation, 0}}, {"t"});
        o.mappings[0].rotation = c.rotation;
        ModelNode *node = CreateModelNode();
        LoadObjectTextures(&o, 0, 0, 0, AllObjectParts);
        BuildModelFromObject(&o, node, 0, BuildNoChildren, 0, M, M, AllObjectParts);
        const ModelVertex *corner = nullptr;
        for (int v = 0; v < node->vertexCount; v++) {
            const int32_t *p = node->vertices[v].position;
            if (p[0] == a.x && p[1] == a.y && p[2] == a.z)
                corner = &node->vertices[v];
        }
        ASSERT_NE(corner, nullptr);
        EXPECT_NEAR(corner->u, c.u, 1e-4f);
        EXPECT_NEAR(corner->v, c.v, 1e-4f);
        // The flag is the build's own: cleared afterwards.
        EXPECT_EQ(o.mappings[0].mirror, 0);
        DeleteModelNode(node);
        FreeObject3D(&o);
    }
}

}  // namespace
