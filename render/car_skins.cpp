#include "render/car_skins.h"

#include <cstdio>
#include <cstring>

#include "core/data_stream.h"
#include "core/settings.h"

Material *AlphaTestMaterials[MaxAlphaTestMaterials];
int AlphaTestMaterialCount = 0;

namespace {

constexpr int SkinPathLength = 64;

// The JPEG and DDS paths of a skin; 0 for an empty or over-long name.
int SkinPaths(const char *name, char jpg[SkinPathLength], char dds[SkinPathLength])
{
    if (name == nullptr || name[0] == 0 || std::strlen(name) >= SkinNameLength) {
        return 0;
    }
    std::snprintf(jpg, SkinPathLength, "data\\skins\\%s.jpg", name);
    std::snprintf(dds, SkinPathLength, "data\\skins_dds\\%s.dds", name);
    return 1;
}

}  // namespace

void FormatCarSkinName(char out[SkinNameLength], const char *carCode, const char *skin)
{
    std::snprintf(out, SkinNameLength, "%s_%s", carCode != nullptr ? carCode : "", skin != nullptr ? skin : "");
}

int SkinFileExists(const char *name)
{
    char jpg[SkinPathLength];
    char dds[SkinPathLength];
    if (!SkinPaths(name, jpg, dds)) {
        return 0;
    }
    if (!LocalSkinsDds && FileExists(jpg)) {
        return 1;
    }
    return FileExists(dds);
}

int CarSkinFileExists(const char *carCode, const char *skin)
{
    char name[SkinNameLength];
    FormatCarSkinName(name, carCode, skin);
    return SkinFileExists(name);
}

uint32_t CarSkinFileTime(const char *carCode, const char *skin)
{
    char name[SkinNameLength];
    FormatCarSkinName(name, carCode, skin);
    char jpg[SkinPathLength];
    char dds[SkinPathLength];
    if (!SkinPaths(name, jpg, dds)) {
        return 0;
    }
    if (!LocalSkinsDds && FileExists(jpg)) {
        return GetFileTimeMinutes(jpg);
    }
    return GetFileTimeMinutes(dds);
}

int AddUniqueEntry(int *count, Material **array, int capacity, Material *value)
{
    for (int i = 0; i < *count; i++) {
        if (array[i] == value) {
            return i;
        }
    }
    if (*count >= capacity) {
        return -1;
    }
    array[*count] = value;
    return (*count)++;
}

void AddAlphaTestMaterial(Material *material)
{
    if (material != nullptr) {
        AddUniqueEntry(&AlphaTestMaterialCount, AlphaTestMaterials, MaxAlphaTestMaterials, material);
    }
}

void ClearAlphaTestMaterials()
{
    for (Material *&material : AlphaTestMaterials) {
        material = nullptr;
    }
    AlphaTestMaterialCount = 0;
}

int SkinBudget(int slotCount)
{
    if (slotCount < 0) {
        return 8;
    }
    return slotCount >= (MaxSkinsInUse - 8) / 2 ? MaxSkinsInUse : 2 * slotCount + 8;
}
