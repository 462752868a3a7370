#include "vehicle/car_model.h"

#include <cstdio>
#include <cstring>

#include "core/fixed_math.h"
#include "core/shell_globals.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_skin.h"
#include "vehicle/collision_hull.h"

int SkinWantedFlag = 0;
int CarRenderObjectCounter = 0;
int CarLampColoursAsStored = 0;

int CarDrawingOn()
{
    return GraphicsEnabled != 0 && DedicatedMode == DedicatedNone;
}

namespace {

constexpr int MaxSkinMaterials = 256;  // a render object's part limit
constexpr uint32_t SkinAlphaFlag = 0x20;

// The body object is the car model's and shared; the model build writes
// clock faces and mirroring into it and undoes the mirroring afterwards.
Object3D *Writable(const Object3D *object)
{
    return const_cast<Object3D *>(object);
}

int BodyLevels(const Object3D *body)
{
    if (body == nullptr)
        return 0;
    return body->lodCount < CarLodCount ? body->lodCount : CarLodCount;
}

// A material list keeping each material once.
struct MaterialSet {
    Material *entries[MaxSkinMaterials];
    int count = 0;

    void AddUniqueEntry(Material *material)
    {
        if (material == nullptr)
            return;
        for (int i = 0; i < count; i++) {
            if (entries[i] == material)
                return;
        }
        if (count < MaxSkinMaterials)
            entries[count++] = material;
    }
};

// A named render object with one part per material and `levels` items.
RenderObject *CreateSkinObject(const char *prefix, int number, const MaterialSet &set, int levels)
{
    char name[RenderObjectNameSize];
    std::snprintf(name, sizeof(name), "%s%d", prefix, number);
    RenderObject *object = CreateRenderObject(name);
    if (object == nullptr)
        return nullptr;
    object->InitParts(set.count, levels);
    for (int i = 0; i < set.count; i++)
        object->SetPartMaterial(i, set.entries[i], VertexKindOfMaterial, VertexKindOfMaterial, VertexKindOfMaterial,
                                VertexKindOfMaterial);
    return object;
}

// The lamp colour as ARGB: red, green and blue doubled and capped at 255
// unless lamp colours are drawn as stored.
uint32_t LampColour(const uint8_t colour[4])
{
    uint32_t rgb[3];
    for (int k = 0; k < 3; k++) {
        const uint32_t c = colour[k];
        rgb[k] = CarLampColoursAsStored != 0 ? c : (c * 2 > 255 ? 255 : c * 2);
    }
    return static_cast<uint32_t>(colour[3]) << 24 | rgb[0] << 16 | rgb[1] << 8 | rgb[2];
}

// The player record's helmet skin name as a terminated text.
struct HelmetName {
    char text[sizeof(CarObject::playerInfo) + 1];

    explicit HelmetName(const CarObject &car)
    {
        std::memcpy(text, car.playerInfo, sizeof(car.playerInfo));
        text[sizeof(car.playerInfo)] = 0;
    }
};

void TakeCachedHelmet(const CarObject &car)
{
    if (CarNetwork.takeCachedSkin != nullptr) {
        const HelmetName helmet(car);
        CarNetwork.takeCachedSkin("HEL", helmet.text);
    }
}

// The part mask the set-up's part choice selects (the first part name's for
// a choice outside the names).
uint32_t ChosenPartMask(const CarObject &car)
{
    int choice = car.setup != nullptr ? car.setup->partChoice : 0;
    if (choice < 0 || choice >= car.partNameCount)
        choice = 0;
    return car.partNames[choice].mask;
}

}  // namespace

void CarObject::LoadModelAndSkin(const Object3D *body)
{
    bodyObject = body;
    const int skin = body != nullptr ? RequestSkinDownload() : 0;
    skinTextureCount = 0;
    RefreshModel(skin);
    SkinStateWord = 1;
    RefreshPlayerHelmet();

    // The collision hull and the undamaged collision points.
    delete[] savedPoints;
    savedPoints = nullptr;
    FreeGeometry();
    hullResult = nullptr;
    hullPointCount = 0;
    if (body == nullptr)
        return;
    hullResult = BuildCollisionHull(body, this, 1.0f, ChosenPartMask(*this));
    hullPointCount = pointCount;
    ComputeBounds();
    if (pointCount > 0) {
        savedPoints = new float[pointCount][3];
        for (int i = 0; i < pointCount; i++)
            std::memcpy(savedPoints[i], points[i].local, sizeof(savedPoints[i]));
    }
    if (CarDrawingOn())
        FindLamps(0);
}

void CarObject::RefreshModel(int withSkin)
{
    // 1. The part choice within the car's part names.
    if (setup != nullptr && setup->partChoice >= partNameCount)
        setup->partChoice = 0;

    // 2. Plate, skin and tints go into the body object.
    SetPlateMaterials();
    ApplySkinToMaterials(withSkin);
    ClearWheelParts();

    // 3. The model nodes; the texture look-up raises ObjectTextureMissing.
    if (WantsRemoteSkin() == 1)
        SkinWantedFlag = 1;
    ObjectTextureMissing = 0;
    RebuildModelNodes();
    textureMissing = static_cast<uint8_t>(ObjectTextureMissing != 0);
    SkinWantedFlag = 0;

    // 4. The undamaged copies, once per level.
    if (bodyObject != nullptr && bodyObject->lodCount >= 1)
        SaveUndamagedMeshes();

    // 5. The stored damage on the fresh meshes.
    if (DedicatedMode == DedicatedNone) {
        RestoreShape(0);
        ApplyDamageToMeshes();
    }
}

void CarObject::RebuildModelNodes()
{
    ClearWheelParts();
    const uint32_t variant = ChosenPartMask(*this);

    for (ModelNode *node : modelNodes) {
        if (node != nullptr)
            node->Destroy();
    }
    if (bodyObject == nullptr)
        return;

    Object3D *body = Writable(bodyObject);
    if (modelVariant != 0)
        SetClockTexture(body, modelVariant);
    if (mirrored != 0)
        ResolveMirroredParts(body);

    LoadObjectTextures(body, 0, 1, plateSlot / 4, variant);
    int largest = 0;
    const int levels = BodyLevels(bodyObject);
    for (int i = 0; i < levels; i++) {
        ModelNode *node = modelNodes[i];
        if (node == nullptr)
            continue;
        BuildModelFromObject(body, node, i, i == 0 ? BuildChildrenWithSkins : BuildNoChildren, 0, 65536, 65536,
                             variant);
        node->PruneChildren();
        // No render state is kept yet: the material words stay as the build
        // left them.
        if (node->childCount > largest)
            largest = node->childCount;
    }
    largestPartCount = largest;

    if (mirrored != 0)
        ResolveMirroredParts(body);

    if (CarDrawingOn()) {
        // No texture collection exists to copy skin textures from.
        skinTextureCount = 0;
        FindWheelParts();
    }
}

void CarObject::BuildSkinTextures()
{
    if (!CarDrawingOn() || solidObject != nullptr)
        return;
    const int levels = BodyLevels(bodyObject);

    // 1. The materials of every level, solid and alpha apart.
    MaterialSet solid;
    MaterialSet alpha;
    for (int i = 0; i < levels; i++) {
        const ModelNode *node = modelNodes[i];
        if (node == nullptr || node->lists == nullptr)
            continue;
        for (int l = 0; l < node->listCount; l++) {
            const MaterialDrawList &list = node->lists[l];
            if ((list.flags & SkinAlphaFlag) != 0)
                alpha.AddUniqueEntry(list.material);
            else
                solid.AddUniqueEntry(list.material);
        }
    }

    // 2.-4. Solid, alpha and shadow objects under one running number.
    const int number = CarRenderObjectCounter;
    solidObject = CreateSkinObject("SOL", number, solid, levels);
    if (alpha.count > 0)
        alphaObject = CreateSkinObject("ALP", number, alpha, levels);
    MaterialSet shadow;
    shadow.count = 1;
    shadow.entries[0] = CollectorPartMaterial;
    shadowObject = CreateSkinObject("SHD", number, shadow, 1);

    // 5.
    CarRenderObjectCounter++;
    FindLamps(1);
    TintBodyMaterials();

    // 6. Every level: lamp meshes, solid and alpha lists, the shadow from
    // level 1.
    for (int i = 0; i < levels; i++) {
        ModelNode *node = modelNodes[i];
        for (const CarMaterial &group : materials) {
            if (group.lampObject != nullptr)
                BuildLampMesh(group.lampObject, node, i, bodyObject, group.lampEntries, LampColour(group.colour),
                              group.sideKind);
        }
        if (node == nullptr)
            continue;
        node->FillRenderObject(solidObject, FillSolidLists);
        if (alphaObject != nullptr)
            node->FillRenderObject(alphaObject, FillAlphaLists);
        if (i == 1) {
            // The shadow: the whole body of level 1 (parts included) as one
            // flat mesh.
            GeometryCollector collector;
            FlattenObjectTree(bodyObject, &collector, 1, ChosenPartMask(*this));
            collector.FillRenderObject(shadowObject);
        }
    }

    // 7.
    for (const CarMaterial &group : materials) {
        if (group.lampObject != nullptr)
            group.lampObject->Build(0);
    }
    if (solidObject != nullptr)
        solidObject->Build(0);
    if (alphaObject != nullptr)
        alphaObject->Build(0);
    if (shadowObject != nullptr)
        shadowObject->Build(1);
}

void CarObject::RebuildRenderParts()
{
    if (!CarDrawingOn())
        return;
    BuildSkinTextures();
    ModelNode *top = modelNodes[0];
    if (top != nullptr) {
        for (int i = 0; i < top->childCount; i++) {
            if (top->children[i] != nullptr)
                top->children[i]->GetRenderObject();
        }
    }
    BuildRenderParts();
    for (RimData &axle : axles) {
        if (axle.hubNode != nullptr)
            axle.hubNode->GetRenderObject();
        if (axle.rimNode != nullptr)
            axle.rimNode->GetRenderObject();
    }
}

void CarObject::ReleaseSkinTextures()
{
    DeleteRenderObject(&solidObject);
    DeleteRenderObject(&alphaObject);
    DeleteRenderObject(&shadowObject);
    ReleaseLampObjects();
}

void CarObject::ReleaseSkins()
{
    ReleaseSkinTextures();
    for (ModelNode *node : modelNodes) {
        if (node != nullptr)
            node->Destroy();
    }
    skinTextureCount = 0;
}

void CarObject::RefreshDerived()
{
    ClearSkinTextures();
    ResetPartStates();
    ClearWheelTextureRefs();
    ReleaseWheelMeshes();
    ReapplySetup();
    RefreshPlayerHelmet();
}

void CarObject::ReapplySetup()
{
    ReleasePlate();
    plateSlot = CarServices.getNumberPlate != nullptr ? CarServices.getNumberPlate(plateText) : -1;
    RefreshModel(CheckSkin());
    SkinStateWord = 1;
    FreeDriverClips();
    if (modelNodes[0] != nullptr)
        modelNodes[0]->drawValue = 0;
}

void CarObject::RefreshPlayerHelmet()
{
    if (WantsRemoteSkin() == 1)
        SkinWantedFlag = 1;
    else if (SkinWantedFlag == 0)
        TakeCachedHelmet(*this);
    ObjectTextureMissing = 0;
    int missing = 0;
    if (CarServices.setHelmetSkin != nullptr)
        missing = CarServices.setHelmetSkin(&helmetSkin, playerInfo, playerInfoWord);
    helmetMissing = static_cast<uint8_t>(missing != 0 || ObjectTextureMissing != 0);
    SkinWantedFlag = 0;
}

void CarObject::RefreshHelmetSkin()
{
    TakeCachedHelmet(*this);
    if (CarServices.setHelmetSkin != nullptr)
        CarServices.setHelmetSkin(&helmetSkin, playerInfo, playerInfoWord);
    helmetMissing = 0;
}

void CarObject::SetDefaultTexture()
{
    Material *texture = CarServices.defaultTrackTexture != nullptr ? CarServices.defaultTrackTexture() : nullptr;
    // The skin texture records are handles of a texture collection that does
    // not exist yet; only the wheel nodes take the texture.
    for (RimData &axle : axles) {
        SetMaterialTexture(axle.hubNode, texture);
        SetMaterialTexture(axle.rimNode, texture);
    }
    if (CarServices.refreshHelmetSkins != nullptr)
        CarServices.refreshHelmetSkins();
}

void CarObject::ResetPartStates()
{
    // The parts' render objects went with the old render device: they are
    // forgotten, not deleted. The geometry stays until the model is rebuilt.
    ModelNode *top = modelNodes[0];
    if (top == nullptr)
        return;
    for (int i = 0; i < top->childCount; i++) {
        if (top->children[i] != nullptr)
            top->children[i]->DetachRenderObject();
    }
}

void CarObject::ClearWheelTextureRefs()
{
    for (RimData &axle : axles) {
        SetMaterialTexture(axle.hubNode, nullptr);
        SetMaterialTexture(axle.rimNode, nullptr);
    }
}
