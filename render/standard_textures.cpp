#include "render/standard_textures.h"

#include "core/card_config.h"
#include "core/colour.h"
#include "core/data_stream.h"
#include "core/text_utils.h"
#include "render/device_resources.h"
#include "render/material.h"
#include "render/material_textures.h"
#include "render/model_build.h"
#include "render/model_node.h"
#include "render/number_plates.h"
#include "render/object_file.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"

#include <cstdio>
#include <cstring>
#include <vector>

TextureLink TextureLinks{};
StandardMaterialSet StandardMaterials{};
int RenderTextureState = 0;

const StandardTextureEntry StandardTextureTable[] = {
    {"LEAF0ATEST", nullptr, 1, 0, 1, 0},
    {"LEAF1ATEST", nullptr, 1, 0, 1, 0},
    {"LEAF2ATEST", nullptr, 1, 0, 1, 0},
    {"LEAF3ATEST", nullptr, 1, 0, 1, 0},
    {"RACELINEALPHA", &StandardMaterialSet::racingLine, 3, 0, 0, 0},
    {"DISCSOLIDALP24", &StandardMaterialSet::discSolid, 1, 256, 0, 0},
    {"DISCDRILLALP24", &StandardMaterialSet::discDrilled, 1, 256, 0, 0},
    {"TYRE", &StandardMaterialSet::tyre, 1, 512, 0, 0},
    {"LOGOALPHA", &StandardMaterialSet::logo, 1, 512, 0, 0},
    {"DUSTALPHA", &StandardMaterialSet::dust, 1, 0, 0, 0},
    {"NDLCTRALPHA", &StandardMaterialSet::needleCentre, 0, 0, 0, 0},
    {"LIGHTALPHA", &StandardMaterialSet::lights, 0, 0, 0, 0},
    {"STARTALPHA", &StandardMaterialSet::startLights, 0, 0, 0, 0},
    {"KZVFLAGSALPHA", &StandardMaterialSet::flags, 0, 0, 0, 1},
    {"BUTTALPHA", &StandardMaterialSet::button, 0, 0, 0, 0},
    {"SMLBALPHA", &StandardMaterialSet::smallButton, 0, 0, 0, 0},
    {"LANGICONS", &StandardMaterialSet::icons, 0, 0, 0, 0},
    {"LINE", &StandardMaterialSet::lineTexture, 0, 0, 0, 0},
};
const int StandardTextureCount = static_cast<int>(sizeof(StandardTextureTable) / sizeof(StandardTextureTable[0]));

namespace {

constexpr int PlainSide = 16;
constexpr int MaxPictureName = 32;

char BackgroundName[MaxPictureName];

// The material slot of a table entry (the leaves share one member array).
Material **EntrySlot(int index)
{
    if (index < 4) {
        return &StandardMaterials.leaves[index];
    }
    return &(StandardMaterials.*(StandardTextureTable[index].material));
}

TextureRecord *MakePlainTexture(const char *name, uint8_t level)
{
    std::vector<uint8_t> pixels(PlainSide * PlainSide * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = level;
        pixels[i + 1] = level;
        pixels[i + 2] = level;
        pixels[i + 3] = 255;
    }
    return LoadImageTexture(name, pixels.data(), PlainSide, PlainSide);
}

Material *RenderTarget(const char *name, int side, uint32_t format)
{
    TextureRecord *record = FindTexture(name);
    if (record == nullptr || record->texture == 0 || record->width != static_cast<uint32_t>(side)) {
        if (CreateTexture(name, side, side, format, &record, 1, 0, 1, 0) != 0) {
            RenderLog("Failed to create : %s", name);
            return nullptr;
        }
    }
    return GetMaterial(record, 0, 0, 1, 0, nullptr);
}

void ZeroStandardMaterials()
{
    StandardMaterials = StandardMaterialSet{};
    ModelPlainSkinMaterial = nullptr;
    CollectorPartMaterial = nullptr;
}

}  // namespace

TextureRecord *LoadImageTexture(const char *name, const uint8_t *pixels, int side, int maxSide)
{
    char path[48];
    std::snprintf(path, sizeof(path), "%s.raw", name);
    // The loader takes a picture in memory at its size: halve it here as
    // the loader halves its files.
    std::vector<uint8_t> shrunk;
    if (pixels != nullptr && maxSide > 0 && side > maxSide) {
        int alphaTest = 0;
        const int kind = ClassifyRawName(path, &alphaTest);
        shrunk.assign(pixels, pixels + static_cast<size_t>(side) * static_cast<size_t>(side) * 4);
        while (side > maxSide) {
            DownsampleImage32(shrunk.data(), side, kind);
            side /= 2;
        }
        pixels = shrunk.data();
    }
    const int savedSide = MaxTextureSide;
    const int savedCompress = CompressTextures;
    MaxTextureSide = maxSide;
    CompressTextures = 0;
    PendingRawImage = true;
    PendingRawPixels = pixels;
    PendingRawSide = side;
    TextureRecord *record = nullptr;
    const int result = LoadTextureFile(path, &record, name, 0, 0);
    PendingRawImage = false;
    PendingRawPixels = nullptr;
    PendingRawSide = 0;
    MaxTextureSide = savedSide;
    CompressTextures = savedCompress;
    if (result != 0) {
        RenderLog("Failed to create : %s", path);
        return nullptr;
    }
    return record;
}

void SetTextureLink(const TextureLink &link)
{
    TextureLinks = link;
}

int RenderTexturesOn()
{
    return RenderDevice.RendererStarted == 2 && RenderDevice.Device != nullptr ? 1 : 0;
}

// --- The standard set -----------------------------------------------------------------------------------

int ReportTextureError(const Material *material, const char *name)
{
    if (material != nullptr && material->texture != nullptr && material->texture->texture != 0) {
        return 0;
    }
    const char *reason = TextureLoadResult == 1 ? "Invalid" : TextureLoadResult == 2 ? "Too big" : "Can't open";
    char text[96];
    std::snprintf(text, sizeof(text), "%s : %s", reason, name != nullptr ? name : "");
    RenderWarning(text);
    return 1;
}

Material *LoadFixedAlphaTexture(const char *name)
{
    const int savedCompress = CompressTextures;
    CompressTextures = 0;
    Material *material = GetTextureMaterial(name, 0, 0, 1, 0, 0, nullptr);
    CompressTextures = savedCompress;
    ReportTextureError(material, name);
    return material;
}

int LoadStandardTextures()
{
    if (!RenderTexturesOn()) {
        RenderShell.buildFontTextures();
        ZeroStandardMaterials();
        ResetNumberPlates();
        SetObjectTextureLookup(nullptr);
        return 1;
    }
    // 1. The plates start again; the font textures are built.
    ResetNumberPlates();
    // A font texture that cannot be made shows as missing glyphs, not as a
    // failed start.
    RenderShell.buildFontTextures();
    int ok = 1;

    // 2. The plain textures and their materials.
    TextureRecord *black = MakePlainTexture("PLAIN~B", 0);
    TextureRecord *grey = MakePlainTexture("PLAIN~G", 128);
    TextureRecord *white = MakePlainTexture("PLAIN~W", 255);
    if (black == nullptr || grey == nullptr || white == nullptr) {
        ok = 0;
    }
    const int m2x = static_cast<int>(Modulate2xOn);
    StandardMaterials.plainBlack = GetMaterial(black, m2x, 0, 1, 0, nullptr);
    StandardMaterials.plainGrey = GetMaterial(grey, m2x, 0, 1, 0, nullptr);
    StandardMaterials.plainDefault = GetMaterial(white, m2x, 0, 1, 0, nullptr);
    StandardMaterials.trackLitPlain = GetMaterial(nullptr, m2x, 1, 0, 0, black);
    StandardMaterials.addPassWhite = GetMaterial(white, m2x, 1, 0, 0, nullptr);
    ModelPlainSkinMaterial = StandardMaterials.plainDefault;
    CollectorPartMaterial = StandardMaterials.addPassWhite;

    // 3. The named textures in table order.
    for (int i = 0; i < StandardTextureCount; ++i) {
        const StandardTextureEntry &entry = StandardTextureTable[i];
        const int savedCompress = CompressTextures;
        LargestTextureSide = entry.largestSide;
        if (entry.uncompressed) {
            CompressTextures = 0;
        }
        Material *material =
            GetTextureMaterial(entry.name, entry.modulate2x ? m2x : 0, 0, 1, 0, entry.lodClass, nullptr);
        LargestTextureSide = 0;
        CompressTextures = savedCompress;
        ReportTextureError(material, entry.name);
        *EntrySlot(i) = material;
    }

    // 4. The title picture, unless a screen holds it.
    if (TextureLinks.titlePictureHeld == nullptr || !TextureLinks.titlePictureHeld()) {
        StandardMaterials.picture = LoadFixedAlphaTexture(TitlePictureName);
    }

    // 5. The background.
    StandardMaterials.background = nullptr;
    LoadBackgroundPicture();

    // 6. The render targets.
    StandardMaterials.mirror = CreateRenderTexture512(MirrorTextureName);
    ClearMirrorTexture();
    StandardMaterials.clock = CreateRenderTexture256(ClockTargetTextureName);
    ClearClockTexture();
    if (StandardMaterials.mirror == nullptr || StandardMaterials.clock == nullptr) {
        ok = 0;
    }
    RenderTextureState = 0;
    *RenderShell.textureRefreshRequest = 0;

    SetObjectTextureLookup(GetMaterialTexture);
    return ok;
}

void ForgetStandardTextures()
{
    ZeroStandardMaterials();
    for (NumberPlateGroup &group : PlateGroups) {
        group.opaqueMaterial = nullptr;
        group.cutOutMaterial = nullptr;
    }
    SetObjectTextureLookup(nullptr);
}

void DeleteMaterial(Material **material)
{
    if (material == nullptr || *material == nullptr) {
        return;
    }
    if (GetCurrentMaterial() == *material) {
        ClearCurrentMaterial();
    }
    delete *material;
    *material = nullptr;
}

void RefreshTrackDefaultTexture()
{
    TextureRecord *second = GetTrackDefaultTexture();
    Material *old = StandardMaterials.trackLitPlain;
    if (old != nullptr && old->secondTexture != second) {
        // Materials are kept sorted by what they are made of: a changed one
        // is found or made again rather than changed in place.
        StandardMaterials.trackLitPlain = GetMaterial(nullptr, old->Modulate2x, 1, 0, 0, second);
    }
    if (TextureLinks.refreshHelmetMaterials != nullptr) {
        TextureLinks.refreshHelmetMaterials(second);
    }
}

int IsClockTextureName(const char *name)
{
    if (name == nullptr) {
        return 0;
    }
    for (int style = 1; ClockTextureName(style) != nullptr; style++) {
        if (EqualsNoCase(name, ClockTextureName(style))) {
            return 1;
        }
    }
    return 0;
}

Material *GetSpecialTexture(const char *name, int withPlates)
{
    if (name == nullptr) {
        return nullptr;
    }
    if (EqualsNoCase(name, "s_mirr")) {
        return StandardMaterials.mirror;
    }
    if (IsClockTextureName(name)) {
        return StandardMaterials.clock;
    }
    if (withPlates) {
        if (EqualsNoCase(name, "s_plate")) {
            return PlateGroups[0].opaqueMaterial;
        }
        if (EqualsNoCase(name, "s_plate_atest")) {
            return PlateGroups[0].cutOutMaterial;
        }
    }
    return nullptr;
}

Material *GetTextureForName(const char *name)
{
    const char *n = name != nullptr ? name : "";
    const bool special = EqualsNoCase(n, "s_mirr") || IsClockTextureName(n) || EqualsNoCase(n, "s_plate") ||
                         EqualsNoCase(n, "s_plate_atest");
    if (special) {
        return GetSpecialTexture(n, 1);
    }
    if (EqualsNoCase(n, "s_sky") || EqualsNoCase(n, "s_env")) {
        Material *(*hook)() =
            EqualsNoCase(n, "s_sky") ? TextureLinks.worldSkyMaterial : TextureLinks.worldEnvironmentMaterial;
        Material *material = hook != nullptr ? hook() : nullptr;
        return material != nullptr ? material : StandardMaterials.plainDefault;
    }
    const int savedCompress = CompressTextures;
    CompressTextures = 0;
    Material *material = GetTextureMaterial(n, 0, 0, 1, 0, 0, nullptr);
    CompressTextures = savedCompress;
    ReportTextureError(material, n);
    return material;
}

// --- Render targets ------------------------------------------------------------------------------------

Material *CreateRenderTexture256(const char *name)
{
    return RenderTarget(name, 256, RenderFormatR5G6B5);
}

Material *CreateRenderTexture512(const char *name)
{
    return RenderTarget(name, 512, RenderFormatX8R8G8B8);
}

void ClearTextureTarget(Material *material, uint32_t colour)
{
    if (material == nullptr || material->texture == nullptr || material->texture->texture == 0) {
        return;
    }
    if (!BeginRenderToTexture(material->texture, 0)) {
        return;
    }
    ClearFrame(colour, ClearTarget);
    EndRenderToTexture();
}

void ClearMirrorTexture()
{
    if (RenderTexturesOn()) {
        ClearTextureTarget(StandardMaterials.mirror, 0xFF000000u);
    }
}

void ClearClockTexture()
{
    if (RenderTexturesOn()) {
        ClearTextureTarget(StandardMaterials.clock, 0xFF000000u);
    }
}

void ResetRenderTextures()
{
    if (RenderDevice.InScene || RenderDevice.CurrentRenderTarget != 0) {
        return;
    }
    if (RenderTexturesOn()) {
        ClearMirrorTexture();
        ClearClockTexture();
        if (RenderTextureState == 2) {
            ReleaseShadowTextures();
        }
    }
    RenderTextureState = 0;
    *RenderShell.textureRefreshRequest = 0;
}

// --- Background picture -------------------------------------------------------------------------------

void LoadBackgroundPicture()
{
    if (!RenderTexturesOn() || BackgroundName[0] == 0) {
        return;
    }
    if (TextureLinks.entryBackgroundOnly != nullptr && TextureLinks.entryBackgroundOnly() &&
        std::strcmp(BackgroundName, "entry") != 0) {
        return;
    }
    char file[MaxPictureName + 16];
    std::snprintf(file, sizeof(file), "bkg_%s.jpg", BackgroundName);
    char path[MaxPictureName + 32];
    std::snprintf(path, sizeof(path), "data\\pic\\%s", file);
    if (!FileExists(path)) {
        return;
    }
    const int savedCompress = CompressTextures;
    const int savedLevels = TextureMipLevels;
    CompressTextures = 0;
    TextureMipLevels = 1;
    Material *material = GetTextureMaterial(file, 0, 0, 1, 0, 0, nullptr);
    CompressTextures = savedCompress;
    TextureMipLevels = savedLevels;
    if (!ReportTextureError(material, file)) {
        StandardMaterials.background = material;
    }
}

void SetBackgroundPicture(const char *name)
{
    if (TextureLinks.mainGameMode != nullptr && !TextureLinks.mainGameMode()) {
        return;
    }
    if (!RenderTexturesOn()) {
        return;
    }
    const bool none = name == nullptr || name[0] == 0;
    if (none || std::strncmp(name, BackgroundName, sizeof(BackgroundName)) != 0) {
        if (StandardMaterials.background != nullptr) {
            TextureRecord *texture = StandardMaterials.background->texture;
            DeleteMaterial(&StandardMaterials.background);
            DeleteTexture(texture);
        }
        BackgroundName[0] = 0;
    }
    if (none || BackgroundName[0] != 0) {
        return;
    }
    std::snprintf(BackgroundName, sizeof(BackgroundName), "%s", name);
    LoadBackgroundPicture();
}

const char *BackgroundPictureName()
{
    return BackgroundName;
}
