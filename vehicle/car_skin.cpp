#include "vehicle/car_skin.h"

#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/translation_table.h"
#include "core/data_stream.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "render/car_skins.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"

uint32_t SkinStateWord = 0;

namespace {

constexpr int MaterialNameOffset = 4;  // a colour record's name follows its colour

// The car's short name as a terminated text.
struct ShortNameText {
    char text[sizeof(CarObject::shortName) + 1];

    explicit ShortNameText(const CarObject &car)
    {
        std::memcpy(text, car.shortName, sizeof(car.shortName));
        text[sizeof(car.shortName)] = 0;
    }
};

// The skin name of a colour record as a terminated text ("" for none).
const char *SkinOf(const CarColours *colours)
{
    return colours != nullptr && colours->skin[sizeof(colours->skin) - 1] == 0 ? colours->skin : "";
}

uint32_t NetworkWord(uint32_t (*entry)())
{
    return entry != nullptr ? entry() : 0;
}

int NetworkFlag(int (*entry)())
{
    return entry != nullptr ? entry() : 0;
}

int IsDedicatedHost()
{
    if (CarNetwork.isDedicatedHost != nullptr) {
        return CarNetwork.isDedicatedHost();
    }
    return DedicatedMode != DedicatedNone;
}

// The body object is the car model's and shared: the skin names, tints and
// plate bands are written into it just before each car's model nodes are
// built from it.
Object3D *Writable(const Object3D *object)
{
    return const_cast<Object3D *>(object);
}

template <typename Visit>
void ForEachObject(Object3D *object, const Visit &visit)
{
    if (object == nullptr) {
        return;
    }
    visit(*object);
    for (int i = 0; i < object->childCount; i++) {
        ForEachObject(&object->children[i], visit);
    }
}

}  // namespace

void TintMaterials(CellGrid *materials, const Colour colours[4])
{
    if (materials == nullptr || materials->cells == nullptr || colours == nullptr) {
        return;
    }
    const int count = materials->width * materials->height;
    for (int i = 0; i < count; i++) {
        uint8_t *bytes = materials->cells[i].bytes;
        const char *name = reinterpret_cast<const char *>(bytes + MaterialNameOffset);
        const int letter = name[4] >= 'a' && name[4] <= 'z' ? name[4] - 'a' + 'A' : name[4];
        const int d = name[5] - '0';
        if (d < 1 || d > 4 || letter < 'C' || letter > 'M') {
            continue;
        }
        const Colour &c = colours[d - 1];
        if (letter == 'C' || letter == 'M') {
            bytes[0] = c.red;
            bytes[1] = c.green;
            bytes[2] = c.blue;
            bytes[3] = c.flags;
        } else if (letter == 'D' || letter == 'E') {
            const int share = letter == 'D' ? 3 : 2;
            bytes[0] = static_cast<uint8_t>(c.red * share / 5);
            bytes[1] = static_cast<uint8_t>(c.green * share / 5);
            bytes[2] = static_cast<uint8_t>(c.blue * share / 5);
        }
    }
}

int PlateBandOffset(int32_t plateSlot)
{
    return 48 - 16 * (plateSlot % 4);
}

void SetMaterialTexture(ModelNode *node, Material *texture)
{
    if (node == nullptr || node->lists == nullptr) {
        return;
    }
    for (int i = 0; i < node->listCount; i++) {
        node->lists[i].material = texture;
    }
}

int CarObject::WantsRemoteSkin() const
{
    if (!isRemote || NetworkFlag(CarNetwork.multiplayerReplayPlaying) || NetworkFlag(CarNetwork.sessionAddingCar)) {
        return 0;
    }
    return NetworkFlag(CarNetwork.hasSlotOfConnection) ? 1 : 0;
}

int CarObject::CheckSkin()
{
    const char *skin = SkinOf(colours);
    if (skin[0] == 0) {
        return 1;
    }
    if (colourTable != nullptr && colourCount > 0 && EqualsNoCase(skin, SkinOf(&colourTable[0]))) {
        return 0;
    }
    const ShortNameText code(*this);
    if (!WantsRemoteSkin() && CarNetwork.takeCachedSkin != nullptr) {
        CarNetwork.takeCachedSkin(code.text, skin);
    }
    if (CarSkinFileExists(code.text, skin)) {
        return 0;
    }
    char path[64];
    SkinStateWord = 2;
    const char *folder = "skins_x";
    if (AutoGetSkins == 2) {
        SkinStateWord = 3;
        folder = "skins_y";
    }
    std::snprintf(path, sizeof(path), "data\\%s\\%s_%s.dds", folder, code.text, skin);
    const uint32_t t = GetFileTimeMinutes(path);
    if (t != 0) {
        const uint32_t newest = skinTime < StartFileTimeMinutes ? skinTime : StartFileTimeMinutes;
        if (t >= newest) {
            return 0;
        }
    }
    // Whoever turned downloads off never gets one, whether or not an older
    // download is lying about.
    if (NetworkWord(CarNetwork.skinDownloadPermission) == 0 || AutoGetSkins == 0 ||
        (NetworkWord(CarNetwork.masterHostWord) & 1) != 0 || IsDedicatedHost()) {
        return 0;
    }
    SkinStateWord = 1;
    return 1;
}

int CarObject::RequestSkinDownload()
{
    const int answer = CheckSkin();
    const char *skin = SkinOf(colours);
    // An empty skin name names no file: the car keeps its default skin and
    // nothing is asked of the downloader.
    if (answer != 1 || skin[0] == 0) {
        return answer;
    }
    const ShortNameText code(*this);
    const int queued = CarNetwork.queueSkinDownload != nullptr
                           ? CarNetwork.queueSkinDownload(code.text, skin, 1, AutoGetSkins == 2 ? 1 : 0)
                           : 0;
    if (!queued) {
        char line[96];
        std::snprintf(line, sizeof(line), "%s %s_%s", Tx(Text_3a_noloadsk), code.text, skin);
        RacePrintMessage(line, ColourSalmon);
    }
    return answer;
}

void CarObject::ApplySkinToMaterials(int skinPending)
{
    if (bodyObject == nullptr) {
        return;
    }
    const CarColours *source = skinPending && colourTable != nullptr && colourCount > 0 ? &colourTable[0] : colours;
    const ShortNameText code(*this);
    char name[SkinNameLength];
    FormatCarSkinName(name, code.text, SkinOf(source));
    ForEachObject(Writable(bodyObject), [&name](Object3D &object) {
        for (uint32_t i = 0; i < object.textureCount; i++) {
            if (object.textures[i].flags & TextureCarSpecific) {
                static_assert(sizeof(object.textures[i].name) >= SkinNameLength, "a skin name fits a texture name");
                std::memset(object.textures[i].name, 0, sizeof(object.textures[i].name));
                std::memcpy(object.textures[i].name, name, SkinNameLength);
            }
        }
    });
    TintBodyMaterials();
}

void CarObject::TintBodyMaterials()
{
    if (bodyObject == nullptr || colours == nullptr) {
        return;
    }
    const Colour *tints = colours->body;
    ForEachObject(Writable(bodyObject), [tints](Object3D &object) { TintMaterials(&object.surfaces, tints); });
}

void CarObject::SetPlateMaterials()
{
    if (bodyObject == nullptr) {
        return;
    }
    const int v = PlateBandOffset(plateSlot);
    ForEachObject(Writable(bodyObject), [v](Object3D &object) {
        for (uint32_t i = 0; i < object.materialCount; i++) {
            ObjectMaterial &material = object.materials[i];
            if (material.texture >= object.textureCount) {
                continue;
            }
            const char *texture = object.textures[material.texture].name;
            if (EqualsNoCase(texture, "s_plate") || EqualsNoCase(texture, "s_plate_atest")) {
                material.uOffset = 0;
                material.vOffset = static_cast<uint8_t>(v);
                material.uRepeat = 64;
                material.vRepeat = 16;
            }
        }
    });
}

void CarObject::AddSkinNames(int onlyHelmet)
{
    if (CarNetwork.addSessionSkinName == nullptr) {
        return;
    }
    char name[SkinNameLength];
    if (!onlyHelmet) {
        const ShortNameText code(*this);
        FormatCarSkinName(name, code.text, SkinOf(colours));
        CarNetwork.addSessionSkinName(name);
    }
    char helmet[sizeof(playerInfo) + 1];
    std::memcpy(helmet, playerInfo, sizeof(playerInfo));
    helmet[sizeof(playerInfo)] = 0;
    FormatCarSkinName(name, "HEL", helmet);
    CarNetwork.addSessionSkinName(name);
}
