#include "render/material_textures.h"

#include "core/card_config.h"
#include "core/colour.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "render/car_skins.h"
#include "render/device_resources.h"
#include "render/material.h"
#include "render/number_plates.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/standard_textures.h"
#include "render/texture_manager.h"

#include <cctype>
#include <cstdio>
#include <cstring>

int TextureNoLoad = 0;
int TextureMissing = 0;

namespace {

// The world's sky or environment material, or the render layer's default
// material without a world or without that material.
Material *WorldMaterial(bool sky)
{
    Material *(*hook)() = sky ? TextureLinks.worldSkyMaterial : TextureLinks.worldEnvironmentMaterial;
    Material *material = hook != nullptr ? hook() : nullptr;
    return material != nullptr ? material : DefaultMaterial;
}

Material *PlateMaterialOfGroup(int index, int cutOut)
{
    const int group = index >= 0 && index < NumberPlateGroupCount ? index : 0;
    Material *material = cutOut ? PlateGroups[group].cutOutMaterial : PlateGroups[group].opaqueMaterial;
    if (material == nullptr) {
        material = cutOut ? PlateGroups[0].cutOutMaterial : PlateGroups[0].opaqueMaterial;
    }
    return material;
}

// The text of a helmet name after its fourth character ("HEL" and one more).
const char *HelmetSkinPart(const char *name)
{
    return std::strlen(name) >= 4 ? name + 4 : "";
}

int DeleteMaterialsOfTexture(TextureRecord *texture)
{
    int count = 0;
    while (DeleteMaterialOfTexture(texture)) {
        ++count;
    }
    return count;
}

}  // namespace

TextureRecord *GetTrackDefaultTexture()
{
    if (!RenderTexturesOn()) {
        return nullptr;
    }
    TextureRecord *texture = TextureLinks.worldDefaultTexture != nullptr ? TextureLinks.worldDefaultTexture() : nullptr;
    if (texture != nullptr) {
        return texture;
    }
    return StandardMaterials.plainBlack != nullptr ? StandardMaterials.plainBlack->texture : nullptr;
}

Material *GetFallbackTexture(int mode, int alphaTest)
{
    if (mode != MaterialModeSkinned) {
        return StandardMaterials.plainDefault;
    }
    if (!alphaTest) {
        return StandardMaterials.addPassWhite;
    }
    AddAlphaTestMaterial(StandardMaterials.trackLitPlain);
    return StandardMaterials.trackLitPlain;
}

Material *GetMaterialTexture(const char *name, int mode, int alphaTest, int index, uint8_t *environment)
{
    // 1. Without graphics the program draws nothing.
    if (!RenderTexturesOn()) {
        return nullptr;
    }
    const char *n = name != nullptr ? name : "";
    // 2. World objects.
    if (mode == MaterialModeWorld) {
        if (n[0] == 0) {
            return StandardMaterials.plainDefault;
        }
        if (EqualsNoCase(n, "s_sky") || EqualsNoCase(n, "s_env")) {
            if (environment != nullptr) {
                *environment = 1;
            }
            return WorldMaterial(EqualsNoCase(n, "s_sky") != 0);
        }
        Material *material = GetTextureMaterial(n, Modulate2xOn, 0, 1, 0, 1, nullptr);
        ReportTextureError(material, n);
        return material;
    }
    // 3. Objects: the special names.
    if (n[0] == 0) {
        return GetFallbackTexture(mode, alphaTest);
    }
    if (EqualsNoCase(n, "s_plate")) {
        return PlateMaterialOfGroup(index, 0);
    }
    if (EqualsNoCase(n, "s_plate_atest")) {
        Material *material = PlateMaterialOfGroup(index, 1);
        if (alphaTest) {
            AddAlphaTestMaterial(material);
        }
        return material;
    }
    if (Material *special = GetSpecialTexture(n, 0)) {
        return special;
    }
    if (EqualsNoCase(n, "s_sky") || EqualsNoCase(n, "s_env")) {
        return WorldMaterial(EqualsNoCase(n, "s_sky") != 0);
    }
    // 4. The second texture.
    TextureRecord *second = alphaTest ? GetTrackDefaultTexture() : nullptr;
    const int addPass = mode == MaterialModeSkinned ? 1 : 0;
    // 5. Nothing loads: what is there, or the fallback noted as missing.
    if (TextureNoLoad) {
        Material *existing = FindMaterial(n, Modulate2xOn, addPass, 0, 0, second);
        if (existing != nullptr) {
            return existing;
        }
        TextureMissing = 1;
        return GetFallbackTexture(mode, alphaTest);
    }
    // 6. Skins: a loaded one renews its stamp, a new one makes room first.
    const int savedCompress = CompressTextures;
    if (SkinMode >= 1 && SkinMode <= 3) {
        if (SkinMode == 1) {
            CompressTextures = LocalSkinsDds != 0 ? 1 : 0;
        }
        TextureRecord *loaded = FindTexture(n);
        if (loaded != nullptr) {
            loaded->useStamp = NextResourceId();
        } else {
            PurgeSkins();
        }
    }
    // 7. The material.
    Material *material = GetTextureMaterial(n, Modulate2xOn, addPass, 0, 0, 1, second);
    if (alphaTest) {
        AddAlphaTestMaterial(material);
    }
    if (SkinMode == 1) {
        CompressTextures = savedCompress;
    } else {
        ReportTextureError(material, n);
    }
    return material;
}

// --- Skins in use -------------------------------------------------------------------------------------

int IsSkinInUse(const char *textureName)
{
    if (textureName == nullptr || textureName[0] == 0) {
        return 0;
    }
    // 1. The built-in helmet.
    const int helmet = StartsWithNoCase(textureName, "HEL") ? 1 : 0;
    if (helmet && std::strcmp(HelmetSkinPart(textureName), "DEFAULT") == 0) {
        return 1;
    }
    // 2 and 3. The race slots, then the local car.
    const int slots = TextureLinks.raceSlotCount != nullptr ? TextureLinks.raceSlotCount() : -1;
    if (TextureLinks.slotUsesSkin != nullptr) {
        for (int slot = 0; slot < slots; ++slot) {
            if (TextureLinks.slotUsesSkin(slot, textureName, helmet)) {
                return 1;
            }
        }
    }
    if (TextureLinks.localCarUsesSkin != nullptr && TextureLinks.localCarUsesSkin(textureName, helmet)) {
        return 1;
    }
    // 4. The garage's car and the helmet screen.
    if (TextureLinks.displayCarUsesSkin != nullptr && TextureLinks.displayCarUsesSkin(textureName, helmet)) {
        return 1;
    }
    if (helmet && TextureLinks.shownHelmetTexture != nullptr) {
        const char *shown = TextureLinks.shownHelmetTexture();
        if (shown != nullptr && EqualsNoCase(shown, textureName)) {
            return 1;
        }
    }
    return 0;
}

int BuildSkinsInUseList(SkinInUseEntry *entries)
{
    int count = 0;
    for (const auto &item : TextureMap) {
        const TextureRecord *record = item.second;
        if (record->texture == 0 || record->useStamp == 0) {
            continue;
        }
        if (count == MaxSkinsInUse) {
            RenderWarning("Too many skins in use");
            break;
        }
        SkinInUseEntry entry{};
        entry.priority = IsSkinInUse(record->name) ? SkinInUsePriority : record->useStamp;
        // Skin texture names are at most 19 characters.
        for (size_t i = 0; i + 1 < sizeof(entry.name) && record->name[i] != 0; ++i) {
            entry.name[i] = record->name[i];
        }
        // After every entry of lower or equal priority.
        int at = count;
        while (at > 0 && entries[at - 1].priority > entry.priority) {
            entries[at] = entries[at - 1];
            --at;
        }
        entries[at] = entry;
        ++count;
    }
    return count;
}

void PurgeSkins()
{
    const int slots = TextureLinks.raceSlotCount != nullptr ? TextureLinks.raceSlotCount() : -1;
    const int limit = SkinBudget(slots) - 1;
    SkinInUseEntry entries[MaxSkinsInUse];
    const int count = BuildSkinsInUseList(entries);
    if (count <= limit) {
        return;
    }
    const int purge = count - limit;
    RenderLog("Must purge %d skin%s", purge, purge == 1 ? "" : "s");
    for (int i = 0; i < purge; ++i) {
        const SkinInUseEntry &entry = entries[i];
        char text[64];
        if (entry.priority == SkinInUsePriority) {
            std::snprintf(text, sizeof(text), "Texture is still in use : %s", entry.name);
            RenderShell.printMessage(text, ColourLightGrey);
            continue;
        }
        TextureRecord *record = FindTexture(entry.name);
        if (record == nullptr) {
            std::snprintf(text, sizeof(text), "Could not find listed texture : %s", entry.name);
            RenderShell.printMessage(text, ColourLightGrey);
            continue;
        }
        const int deleted = DeleteMaterialsOfTexture(record);
        DeleteTexture(record);
        RenderLog("Deleted %d material%s for %s", deleted, deleted == 1 ? "" : "s", entry.name);
    }
}
