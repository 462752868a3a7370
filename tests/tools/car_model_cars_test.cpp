#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/render_object.h"
#include "tests/tools/generated_cars_fixture.h"
#include "vehicle/car_damage.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_model.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_skin.h"
#include "vehicle/collision_hull.h"

// The generated cars' model nodes, skin choice and render objects, built
// headless: the null backend keeps every mesh on the CPU side, and a fake
// texture look-up gives each texture name a material of its own.
namespace {

struct FakeMaterial {
    char name[24];
};
constexpr int MaxFakeMaterials = 32;
FakeMaterial FakeMaterials[MaxFakeMaterials];
int FakeMaterialCount = 0;

Material *FakeLookup(const char *name, int, int, int, uint8_t *)
{
    for (int i = 0; i < FakeMaterialCount; i++) {
        if (std::strcmp(FakeMaterials[i].name, name) == 0)
            return reinterpret_cast<Material *>(&FakeMaterials[i]);
    }
    if (FakeMaterialCount == MaxFakeMaterials)
        return nullptr;
    std::snprintf(FakeMaterials[FakeMaterialCount].name, sizeof(FakeMaterials[0].name), "%s", name);
    return reinterpret_cast<Material *>(&FakeMaterials[FakeMaterialCount++]);
}

struct Queued {
    std::string code, skin;
    int size, second;
};
std::vector<Queued> QueuedSkins;
std::vector<std::string> CachedTakes;
int HelmetMissingAnswer = 0;
int HelmetSets = 0;
int PlateAnswer = -1;

class CarModelCarsTest : public GeneratedCarsFixture {
protected:
    void SetUp() override
    {
        ASSERT_EQ(writeError, nullptr) << writeError;
        savedServices = CarServices;
        savedNetwork = CarNetwork;
        savedAutoGet = AutoGetSkins;
        QueuedSkins.clear();
        CachedTakes.clear();
        HelmetMissingAnswer = 0;
        HelmetSets = 0;
        PlateAnswer = -1;
        CarServices.createModelNode = CreateModelNode;
        CarServices.deleteModelNode = DeleteModelNode;
        CarServices.setHelmetSkin = [](HelmetSkin *, const uint8_t *, uint32_t) {
            HelmetSets++;
            return HelmetMissingAnswer;
        };
        CarServices.getNumberPlate = [](const char *) { return PlateAnswer; };
        CarNetwork.queueSkinDownload = [](const char *code, const char *skin, int size, int second) {
            QueuedSkins.push_back({code, skin, size, second});
            return 1;
        };
        CarNetwork.takeCachedSkin = [](const char *code, const char *skin) {
            CachedTakes.push_back(std::string(code) + "/" + skin);
            return 0;
        };
        SetObjectTextureLookup(FakeLookup);
    }
    void TearDown() override
    {
        CarServices = savedServices;
        CarNetwork = savedNetwork;
        AutoGetSkins = savedAutoGet;
        SetObjectTextureLookup(nullptr);
        DedicatedMode = DedicatedNone;
        GraphicsEnabled = 1;
        CarLampColoursAsStored = 0;
    }

    static void Load(CarObject &car, int index, const CarLoadArguments &args = CarLoadArguments())
    {
        ASSERT_EQ(LoadCarDataFile(&car, CarTable[index].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
    }

    CarObjectServices savedServices;
    CarNetworkServices savedNetwork;
    int savedAutoGet = 0;
};

// The texture names of a node's lists, in list order.
std::vector<std::string> ListNames(const ModelNode *node)
{
    std::vector<std::string> names;
    for (int l = 0; l < node->listCount; l++)
        names.emplace_back(node->lists[l].textureName);
    return names;
}

// Vertices and triangles of one item of every part of a render object.
void ItemCounts(const RenderObject *object, int item, int *vertices, int *triangles)
{
    *vertices = 0;
    *triangles = 0;
    for (int p = 0; p < object->partCount; p++) {
        *vertices += object->parts[p].ItemVertexCount(item);
        *triangles += object->parts[p].ItemTriangleCount(item);
    }
}

// Every generated car: one node per level of its body object with the
// body's geometry, the parts counted, the collision hull and its saved
// points, the undamaged copies, and no render object before one is asked
// for (the lamp groups are only looked up).
TEST_F(CarModelCarsTest, EveryCarLoadsItsNodesHullAndSavedPoints)
{
    for (int index = 0; index < CarModelCount; ++index) {
        SCOPED_TRACE(CarTable[index].code);
        CarObject car;
        Load(car, index);
        ASSERT_NE(car.bodyObject, nullptr);
        const int levels = car.bodyObject->lodCount;
        ASSERT_GE(levels, 1);
        int largest = 0;
        for (int i = 0; i < CarLodCount; i++) {
            const ModelNode *node = car.modelNodes[i];
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->vertexCount > 0, i < levels) << "level " << i;
            EXPECT_EQ(car.savedVertices[i] != nullptr, i < levels) << "level " << i;
            largest = node->childCount > largest ? node->childCount : largest;
        }
        EXPECT_EQ(car.largestPartCount, largest);
        EXPECT_GT(car.modelNodes[0]->childCount, 0);

        ASSERT_GT(car.pointCount, 0);
        EXPECT_EQ(car.hullPointCount, car.pointCount);
        ASSERT_NE(car.savedPoints, nullptr);
        for (int p = 0; p < car.pointCount; p++)
            EXPECT_EQ(std::memcmp(car.savedPoints[p], car.points[p].local, sizeof(car.savedPoints[p])), 0);

        EXPECT_EQ(car.solidObject, nullptr);
        EXPECT_EQ(car.shadowObject, nullptr);
        int looked = 0;
        for (const CarMaterial &group : car.materials) {
            EXPECT_EQ(group.lampObject, nullptr);
            looked += group.lampEntries[0] != nullptr;
        }
        EXPECT_GT(looked, 0);
        EXPECT_EQ(SkinStateWord, 1u);
        EXPECT_EQ(car.textureMissing, 0);
    }
}

// The render objects of one car: "SOL%d" with a part per solid material
// and an item per level holding that level's solid lists, the shadow
// "SHD%d" (same number) with one part and one item holding the flat body of
// level 1, the built parts and lamp objects; asking again builds nothing,
// releasing gives every object back and the next build takes a new number.
TEST_F(CarModelCarsTest, RenderObjectsHoldEveryLevel)
{
    CarObject car;
    Load(car, 0);
    const int levels = car.bodyObject->lodCount;
    ASSERT_GE(levels, 2);
    const int mapBefore = RenderObjectMapCount();
    const int number = CarRenderObjectCounter;

    car.RebuildRenderParts();
    ASSERT_NE(car.solidObject, nullptr);
    ASSERT_NE(car.shadowObject, nullptr);
    EXPECT_EQ(car.alphaObject, nullptr);  // the generated bodies have no alpha-blended texture
    EXPECT_EQ(std::string(car.solidObject->name), "SOL" + std::to_string(number));
    EXPECT_EQ(std::string(car.shadowObject->name), "SHD" + std::to_string(number));
    EXPECT_EQ(CarRenderObjectCounter, number + 1);
    EXPECT_TRUE(car.solidObject->built);
    EXPECT_TRUE(car.shadowObject->built);

    // Solid: one part per distinct material, each level's lists in its item.
    EXPECT_EQ(car.solidObject->expectedItems, levels);
    std::vector<Material *> distinct;
    for (int i = 0; i < levels; i++) {
        const ModelNode *node = car.modelNodes[i];
        int vertices = 0;
        int triangles = 0;
        for (int l = 0; l < node->listCount; l++) {
            Material *m = node->lists[l].material;
            if (m == nullptr)
                continue;
            vertices += static_cast<int>(node->lists[l].vertexCount);
            triangles += static_cast<int>(node->lists[l].triangleCount);
            bool known = false;
            for (Material *d : distinct)
                known = known || d == m;
            if (!known)
                distinct.push_back(m);
        }
        int gotVertices = 0;
        int gotTriangles = 0;
        ItemCounts(car.solidObject, i, &gotVertices, &gotTriangles);
        EXPECT_EQ(gotVertices, vertices) << "level " << i;
        EXPECT_EQ(gotTriangles, triangles) << "level " << i;
    }
    ASSERT_EQ(car.solidObject->partCount, static_cast<int>(distinct.size()));
    for (int p = 0; p < car.solidObject->partCount; p++)
        EXPECT_EQ(car.solidObject->parts[p].material, distinct[p]);

    // Shadow: level 1 of the whole body as one flat mesh, normals zero.
    GeometryCollector flat;
    FlattenObjectTree(car.bodyObject, &flat, 1, car.partNames[0].mask);
    ASSERT_EQ(car.shadowObject->partCount, 1);
    EXPECT_EQ(car.shadowObject->expectedItems, 1);
    const RenderPart &shadow = car.shadowObject->parts[0];
    ASSERT_GT(flat.triangleCount, 0);
    EXPECT_EQ(shadow.ItemVertexCount(0), flat.pointCount);
    EXPECT_EQ(shadow.ItemTriangleCount(0), flat.triangleCount);
    for (int v = 0; v < shadow.ItemVertexCount(0); v++) {
        const PartVertex &vertex = *shadow.ItemVertex(0, v);
        EXPECT_EQ(vertex.x, static_cast<float>(flat.points[v].position.x) / 65536.0f);
        EXPECT_EQ(vertex.nx, 0.0f);
        EXPECT_EQ(vertex.nz, 0.0f);
    }

    // The parts of level 0 and the lamp groups have their objects.
    for (int c = 0; c < car.modelNodes[0]->childCount; c++)
        EXPECT_NE(car.modelNodes[0]->children[c]->renderObject, nullptr);
    int lampObjects = 0;
    for (const CarMaterial &group : car.materials) {
        if (group.lampObject == nullptr)
            continue;
        lampObjects++;
        EXPECT_TRUE(group.lampObject->built);
        EXPECT_EQ(group.lampObject->expectedItems, levels);
    }
    EXPECT_GT(lampObjects, 0);

    // Once only.
    RenderObject *solid = car.solidObject;
    car.BuildSkinTextures();
    EXPECT_EQ(car.solidObject, solid);
    EXPECT_EQ(CarRenderObjectCounter, number + 1);

    // Released: the solid, shadow and lamp objects leave the map (the
    // objects of the parts and wheel nodes stay with their nodes).
    int nodeObjects = car.modelNodes[0]->childCount;
    for (const RimData &axle : car.axles)
        nodeObjects += (axle.hubNode != nullptr && axle.hubNode->renderObject != nullptr) +
                       (axle.rimNode != nullptr && axle.rimNode->renderObject != nullptr);
    car.ReleaseSkinTextures();
    EXPECT_EQ(car.solidObject, nullptr);
    EXPECT_EQ(car.shadowObject, nullptr);
    for (const CarMaterial &group : car.materials)
        EXPECT_EQ(group.lampObject, nullptr);
    EXPECT_EQ(RenderObjectMapCount(), mapBefore + nodeObjects);
    car.BuildSkinTextures();
    ASSERT_NE(car.solidObject, nullptr);
    EXPECT_EQ(std::string(car.solidObject->name), "SOL" + std::to_string(number + 1));
}

// Lamp meshes take the group's colour with red, green and blue doubled
// and capped at 255, or as stored when lamp colours are drawn so.
TEST_F(CarModelCarsTest, LampMeshesTakeTheDoubledColour)
{
    for (int asStored : {0, 1}) {
        SCOPED_TRACE(asStored);
        CarLampColoursAsStored = asStored;
        CarObject car;
        Load(car, 0);
        car.BuildSkinTextures();
        int checked = 0;
        for (const CarMaterial &group : car.materials) {
            if (group.lampObject == nullptr || group.lampObject->parts[0].ItemVertexCount(0) == 0)
                continue;
            uint32_t want = static_cast<uint32_t>(group.colour[3]) << 24;
            for (int k = 0; k < 3; k++) {
                const uint32_t c = group.colour[k];
                const uint32_t drawn = asStored ? c : (c * 2 > 255 ? 255 : c * 2);
                want |= drawn << (16 - 8 * k);
            }
            EXPECT_EQ(group.lampObject->parts[0].ItemVertex(0, 0)->diffuse, want);
            checked++;
        }
        EXPECT_GT(checked, 0);
    }
}

// An alpha-blended texture puts its lists into "ALP%d" (same number as the
// solid object) and out of the solid object.
TEST_F(CarModelCarsTest, AlphaListsGetTheirOwnObject)
{
    Object3D *body = BodyObjects[0];
    ObjectTexture *plate = nullptr;
    for (uint32_t t = 0; t < body->textureCount; t++) {
        if (std::strcmp(body->textures[t].name, "s_plate") == 0)
            plate = &body->textures[t];
    }
    ASSERT_NE(plate, nullptr);
    char saved[sizeof(plate->name)];
    std::memcpy(saved, plate->name, sizeof(saved));
    std::snprintf(plate->name, sizeof(plate->name), "%s", "windowALPHA");

    CarObject car;
    Load(car, 0);
    car.BuildSkinTextures();
    std::memcpy(plate->name, saved, sizeof(saved));
    ASSERT_NE(car.alphaObject, nullptr);
    ASSERT_NE(car.solidObject, nullptr);
    EXPECT_EQ(std::string(car.alphaObject->name).substr(3), std::string(car.solidObject->name).substr(3));
    ASSERT_EQ(car.alphaObject->partCount, 1);
    EXPECT_EQ(std::string(reinterpret_cast<FakeMaterial *>(car.alphaObject->parts[0].material)->name),
              "windowALPHA");
    for (int p = 0; p < car.solidObject->partCount; p++)
        EXPECT_NE(car.solidObject->parts[p].material, car.alphaObject->parts[0].material);
    EXPECT_GT(car.alphaObject->parts[0].ItemTriangleCount(0), 0);
}

// Without drawing (a dedicated host, or no graphics) the car still gets
// its nodes, hull and saved points, but no render object or lamp mesh.
TEST_F(CarModelCarsTest, NoDrawingBuildsNoRenderObjects)
{
    struct Case {
        int graphics, dedicated;
    } cases[] = {{1, DedicatedConsole}, {1, DedicatedWithGraphics}, {0, DedicatedNone}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dedicated * 10 + c.graphics);
        GraphicsEnabled = c.graphics;
        DedicatedMode = c.dedicated;
        const int mapBefore = RenderObjectMapCount();
        CarObject car;
        Load(car, 0);
        EXPECT_GT(car.modelNodes[0]->vertexCount, 0);
        EXPECT_GT(car.pointCount, 0);
        EXPECT_NE(car.savedPoints, nullptr);
        car.RebuildRenderParts();
        car.BuildSkinTextures();
        EXPECT_EQ(car.solidObject, nullptr);
        EXPECT_EQ(car.shadowObject, nullptr);
        for (const CarMaterial &group : car.materials)
            EXPECT_EQ(group.lampObject, nullptr);
        EXPECT_EQ(car.modelNodes[0]->children[0]->renderObject, nullptr);
        EXPECT_EQ(RenderObjectMapCount(), mapBefore);
    }
}

// The skin follows CheckSkin: a missing skin that may be fetched is queued
// and the car is drawn with its first colour configuration's skin; a skin
// whose file exists is drawn at once and nothing is queued.
TEST_F(CarModelCarsTest, SkinChoiceFollowsCheckSkin)
{
    AutoGetSkins = 1;
    CarNetwork.skinDownloadPermission = [] { return 1u; };
    const std::string code = CarTable[0].code;
    std::filesystem::create_directories("data/skins");
    std::ofstream(("data/skins/" + code + "_HAVE.jpg").c_str()) << "x";

    struct Case {
        const char *skin;
        int queued;
        const char *drawn;
    } cases[] = {{"FETCH", 1, "DEFAULT"}, {"HAVE", 0, "HAVE"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.skin);
        QueuedSkins.clear();
        CarColours colours{};
        std::snprintf(colours.skin, sizeof(colours.skin), "%s", c.skin);
        CarLoadArguments args;
        args.colourIndex = -1;
        args.coloursIn = &colours;
        CarObject car;
        Load(car, 0, args);
        ASSERT_EQ(static_cast<int>(QueuedSkins.size()), c.queued);
        if (c.queued) {
            EXPECT_EQ(QueuedSkins[0].code, code);
            EXPECT_EQ(QueuedSkins[0].skin, c.skin);
            EXPECT_EQ(QueuedSkins[0].size, 1);
        }
        EXPECT_EQ(ListNames(car.modelNodes[0])[0], code + "_" + c.drawn);
        EXPECT_EQ(SkinStateWord, 1u);
    }
}

// A stored dent is on the meshes after every model refresh, the same each
// time; a repair brings the undamaged mesh back.
TEST_F(CarModelCarsTest, DamageIsReappliedAfterARefresh)
{
    CarObject car;
    Load(car, 0);
    const ModelNode *node = car.modelNodes[0];
    const std::vector<ModelVertex> undamaged(node->vertices, node->vertices + node->vertexCount);
    const float down[3] = {0.0f, 0.0f, -1.0f};
    const uint16_t direction = PackDamageDirection(down);
    const uint8_t record[4] = {0, 200, static_cast<uint8_t>(direction & 0xFF), static_cast<uint8_t>(direction >> 8)};
    ASSERT_EQ(car.AddDamageRecord(record), 1);

    auto positions = [](const ModelNode *n) {
        std::vector<int32_t> out;
        for (int v = 0; v < n->vertexCount; v++)
            out.insert(out.end(), {n->vertices[v].position[0], n->vertices[v].position[1], n->vertices[v].position[2],
                                   n->vertices[v].normal[0], n->vertices[v].normal[1], n->vertices[v].normal[2]});
        return out;
    };
    car.RefreshModel(0);
    node = car.modelNodes[0];
    const std::vector<int32_t> dented = positions(node);
    std::vector<int32_t> original;
    for (const ModelVertex &v : undamaged)
        original.insert(original.end(), {v.position[0], v.position[1], v.position[2], v.normal[0], v.normal[1],
                                         v.normal[2]});
    ASSERT_EQ(dented.size(), original.size());
    EXPECT_NE(dented, original);

    car.RefreshModel(0);
    EXPECT_EQ(positions(car.modelNodes[0]), dented);

    car.Repair(0, 0);
    EXPECT_EQ(positions(car.modelNodes[0]), original);
}

// ReapplySetup takes a new plate slot, refreshes the model and clears the
// level-0 draw word; the helmet takes the cached helmet skin unless the
// car's skins are wanted remotely, and records a missing texture.
TEST_F(CarModelCarsTest, ReapplySetupAndHelmet)
{
    CarObject car;
    Load(car, 0);
    EXPECT_EQ(HelmetSets, 1);  // the load sets the helmet
    std::memcpy(car.playerInfo, "RedStripes", 11);
    car.modelNodes[0]->drawValue = 7;
    PlateAnswer = 6;
    SkinStateWord = 0;
    car.ReapplySetup();
    EXPECT_EQ(car.plateSlot, 6);
    EXPECT_EQ(car.modelNodes[0]->drawValue, 0u);
    EXPECT_GT(car.modelNodes[0]->vertexCount, 0);
    EXPECT_EQ(SkinStateWord, 1u);

    CachedTakes.clear();
    HelmetMissingAnswer = 1;
    car.RefreshPlayerHelmet();
    ASSERT_EQ(CachedTakes.size(), 1u);
    EXPECT_EQ(CachedTakes[0], "HEL/RedStripes");
    EXPECT_EQ(car.helmetMissing, 1);
    EXPECT_EQ(SkinWantedFlag, 0);

    // A remote car whose skins are wanted from the others takes nothing.
    CarNetwork.hasSlotOfConnection = [] { return 1; };
    car.isRemote = 1;
    CachedTakes.clear();
    HelmetMissingAnswer = 0;
    car.RefreshPlayerHelmet();
    EXPECT_TRUE(CachedTakes.empty());
    EXPECT_EQ(car.helmetMissing, 0);
    EXPECT_EQ(SkinWantedFlag, 0);

    car.helmetMissing = 1;
    car.RefreshHelmetSkin();
    EXPECT_EQ(CachedTakes.size(), 1u);
    EXPECT_EQ(car.helmetMissing, 0);
}

// After a track change the wheel nodes take the track's default texture
// and every helmet is renewed; clearing the wheel references empties them.
TEST_F(CarModelCarsTest, DefaultTextureGoesToTheWheelNodes)
{
    static int refreshes = 0;
    refreshes = 0;
    CarServices.defaultTrackTexture = [] { return reinterpret_cast<Material *>(&FakeMaterials[0]); };
    CarServices.refreshHelmetSkins = [] { refreshes++; };
    CarObject car;
    Load(car, 0);
    // Stand-in wheel nodes with material lists: the body's coarse level.
    car.ReleaseWheelMeshes();
    std::vector<ModelNode *> wheelNodes;
    for (RimData &axle : car.axles) {
        for (ModelNode **slot : {&axle.hubNode, &axle.rimNode}) {
            *slot = CreateModelNode();
            BuildModelFromObject(BodyObjects[0], *slot, 1, BuildNoChildren, 0, 65536, 65536, AllObjectParts);
            ASSERT_GT((*slot)->listCount, 0);
            wheelNodes.push_back(*slot);
        }
    }

    car.SetDefaultTexture();
    EXPECT_EQ(refreshes, 1);
    for (const ModelNode *node : wheelNodes) {
        for (int l = 0; l < node->listCount; l++)
            EXPECT_EQ(node->lists[l].material, reinterpret_cast<Material *>(&FakeMaterials[0]));
    }
    car.ClearWheelTextureRefs();
    for (const ModelNode *node : wheelNodes) {
        for (int l = 0; l < node->listCount; l++)
            EXPECT_EQ(node->lists[l].material, nullptr);
    }
}

}  // namespace
