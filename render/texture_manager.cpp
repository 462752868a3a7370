#include "render/texture_manager.h"

#include "platform/file_system.h"
#include "render/device_resources.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/state_cache.h"

#include <cstdio>
#include <cstring>
#include <vector>

TextureMapType TextureMap;
TextureRecord *PlaceholderTexture = nullptr;
uint32_t BlockSurf[2] = {};
int SkinMode = 0;
int TextureLoadResult = 0;

namespace {

constexpr float LodBias[4] = {-1.0f, -2.0f, -3.0f, -4.0f};

uint32_t StageCache[DeviceStageCount] = {};
uint8_t LastLodClass = 0;
uint16_t StampCounter = 0;

GraphicsDevice *Device()
{
    return RenderDevice.Device;
}

unsigned char Fold(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// Through the file layer: the program's paths use backslashes and any case.
bool FileExists(const char *path)
{
    FILE *file = PlatformOpenFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

void EraseEntry(TextureRecord *record)
{
    for (auto it = TextureMap.begin(); it != TextureMap.end(); ++it) {
        if (it->second == record) {
            TextureMap.erase(it);
            return;
        }
    }
}

}  // namespace

bool TextureNameLess::operator()(const std::string &a, const std::string &b) const
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = Fold(static_cast<unsigned char>(a[i]));
        const unsigned char y = Fold(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    return a.size() < b.size();
}

TextureRecord::~TextureRecord()
{
    EraseEntry(this);
    ReleaseTextureInterface(this);
}

uint32_t TextureRecord::MemorySize() const
{
    if (texture == 0 || Device() == nullptr) {
        return 0;
    }
    const int count = Device()->TextureLevels(texture);
    uint32_t total = 0;
    for (int level = 0; level < count; ++level) {
        int w = 0;
        int h = 0;
        if (!Device()->TextureLevelSize(texture, level, &w, &h)) {
            return 0;
        }
        const int bytes = FormatLevelBytes(format, w, h);
        if (bytes <= 0) {
            return 0;
        }
        total += static_cast<uint32_t>(bytes);
    }
    return total;
}

void TextureRecord::ApplyAlphaTest(int stage)
{
    SetStageTexture(stage, this);
    if (stage != 0) {
        return;
    }
    if (alphaReference != 0) {
        SetRenderStateCached(RsAlphaTestEnable, 1);
        SetRenderStateCached(RsAlphaRef, alphaReference);
    } else {
        SetRenderStateCached(RsAlphaTestEnable, 0);
    }
}

int CreateTexture(const char *name, int width, int height, uint32_t format, TextureRecord **out, int renderTarget,
                  int lodClass, int levels, uint16_t stamp)
{
    const char *key = name != nullptr ? name : "";
    TextureRecord *record = FindTexture(key);
    const bool made = record == nullptr;
    if (made) {
        record = new TextureRecord;
        std::snprintf(record->name, sizeof(record->name), "%s", key);
    }
    record->format = format;
    record->pool = renderTarget ? PoolDefault : PoolManaged;
    if (width != 0 && height != 0) {
        ReleaseTextureInterface(record);
        uint32_t texture = 0;
        const int wanted = levels < 0 || levels == DefaultTextureLevels ? 0 : levels;
        if (Device() == nullptr ||
            Device()->CreateTexture(width, height, wanted, renderTarget ? UsageRenderTarget : 0, format, record->pool,
                                    &texture) != DeviceOk) {
            if (made) {
                delete record;
            }
            return -1;
        }
        record->texture = texture;
    }
    record->loadPath[0] = 0;
    record->width = static_cast<uint32_t>(width);
    record->height = static_cast<uint32_t>(height);
    if (renderTarget) {
        record->flags |= TextureFlagRenderTarget;
    }
    record->lodClass = static_cast<uint8_t>(lodClass);
    record->levels = static_cast<uint8_t>(levels < 0 ? DefaultTextureLevels : levels);
    record->useStamp = stamp;
    if (made) {
        TextureMap[record->name] = record;
    }
    *out = record;
    return 0;
}

TextureRecord *FindTexture(const char *name)
{
    const auto found = TextureMap.find(name != nullptr ? name : "");
    return found != TextureMap.end() ? found->second : nullptr;
}

TextureRecord *GetTexture(const char *name, int lodClass)
{
    TextureRecord *record = FindTexture(name);
    if (record != nullptr) {
        if (lodClass > record->lodClass) {
            record->lodClass = static_cast<uint8_t>(lodClass);
        }
        return record;
    }
    LoadTextureByName(name, &record, lodClass);
    return record;
}

int LoadTextureByName(const char *name, TextureRecord **out, int lodClass)
{
    char path[96] = {};
    uint16_t stamp = 0;
    const char *n = name != nullptr ? name : "";
    if (n[0] != 0) {
        switch (SkinMode) {
        case 1:
            std::snprintf(path, sizeof(path), "data\\skins\\%s.jpg", n);
            if (CompressTextures || !FileExists(path)) {
                std::snprintf(path, sizeof(path), "data\\skins_dds\\%s.dds", n);
            }
            stamp = NextResourceId();
            break;
        case 2:
            std::snprintf(path, sizeof(path), "data\\skins_x\\%s.dds", n);
            stamp = NextResourceId();
            break;
        case 3:
            std::snprintf(path, sizeof(path), "data\\skins_y\\%s.dds", n);
            stamp = NextResourceId();
            break;
        case 4:
            std::snprintf(path, sizeof(path), "data\\training\\%s.jpg", n);
            break;
        default:
            std::snprintf(path, sizeof(path), std::strchr(n, '.') != nullptr ? "data\\pic\\%s" : "data\\pic\\%s.raw",
                          n);
            break;
        }
    }
    const int result = LoadTextureFile(path, out, n, lodClass, stamp);
    if (result != 0) {
        *out = PlaceholderTexture;
    }
    return result;
}

void RemoveTexture(TextureRecord *record)
{
    if (record == nullptr) {
        return;
    }
    UnbindTexture(record);
    EraseEntry(record);
}

void DeleteTexture(TextureRecord *record)
{
    if (record == nullptr) {
        return;
    }
    UnbindTexture(record);
    delete record;
}

void ReleaseTextureInterface(TextureRecord *record)
{
    if (record == nullptr || record->texture == 0) {
        return;
    }
    for (uint32_t &bound : StageCache) {
        bound = bound == record->texture ? 0 : bound;
    }
    if (Device() != nullptr) {
        Device()->ReleaseTexture(record->texture);
    }
    record->texture = 0;
}

uint32_t GetTextureMemory()
{
    uint32_t total = 0;
    for (const auto &entry : TextureMap) {
        total += entry.second->MemorySize();
    }
    return total;
}

void SetStageTexture(int stage, TextureRecord *record)
{
    if (stage < 0 || stage >= DeviceStageCount) {
        return;
    }
    const uint32_t texture = record != nullptr ? record->texture : 0;
    if (StageCache[stage] == texture) {
        return;
    }
    if (Device() != nullptr) {
        Device()->SetTexture(stage, texture);
    }
    StageCache[stage] = texture;
    const uint8_t lod = record != nullptr ? record->lodClass : 0;
    if (lod != LastLodClass) {
        LastLodClass = lod;
        SetTextureStageStateCached(stage, TssMipMapLodBias, FloatBits(LodBias[lod & 3]));
    }
}

void UnbindTexture(TextureRecord *record)
{
    for (int stage = 0; stage < DeviceStageCount; ++stage) {
        const bool holds = record == nullptr || (record->texture != 0 && StageCache[stage] == record->texture);
        if (holds) {
            if (Device() != nullptr) {
                Device()->SetTexture(stage, 0);
            }
            StageCache[stage] = 0;
        }
    }
}

void ResetStageTextureCache(uint8_t lastLodClass)
{
    for (uint32_t &bound : StageCache) {
        bound = 0;
    }
    LastLodClass = lastLodClass;
}

void ForgetLastLodClass()
{
    LastLodClass = 255;
}

uint16_t NextResourceId()
{
    StampCounter = StampCounter >= 65534 ? 1 : static_cast<uint16_t>(StampCounter + 1);
    return StampCounter;
}

// --- Device life ----------------------------------------------------------------------------

void CreateBlockSurfaces()
{
    for (int i = 0; i < 2; ++i) {
        if (BlockSurf[i] != 0) {
            continue;
        }
        if (Device() == nullptr ||
            Device()->CreateLockableTarget(2, 2, RenderFormatR5G6B5, &BlockSurf[i]) != DeviceOk) {
            BlockSurf[i] = 0;
            RenderLog("Could not create BlockSurf[%d]", i);
        }
    }
}

void ReleaseBlockSurfaces()
{
    for (uint32_t &surface : BlockSurf) {
        if (surface != 0 && Device() != nullptr) {
            Device()->ReleaseSurface(surface);
        }
        surface = 0;
    }
}

void CreateDefaultTextures()
{
    if (PlaceholderTexture == nullptr) {
        PlaceholderTexture = new TextureRecord;
        PlaceholderTexture->format = RenderFormatR5G6B5;
        PlaceholderTexture->lodClass = 1;
        PlaceholderTexture->levels = DefaultTextureLevels;
    }
    CreateBlockSurfaces();
}

void ReleaseAllTextures(int recreate)
{
    // The shadow code's slots point into the map: they go first.
    ReleaseShadowTextures();
    StampCounter = 0;
    UnbindTexture(nullptr);
    while (!TextureMap.empty()) {
        delete TextureMap.begin()->second;
    }
    delete PlaceholderTexture;
    PlaceholderTexture = nullptr;
    if (recreate) {
        PlaceholderTexture = new TextureRecord;
        PlaceholderTexture->format = RenderFormatR5G6B5;
        PlaceholderTexture->lodClass = 1;
    }
    ReleaseBlockSurfaces();
}

void ReleaseRenderTargetTextures()
{
    UnbindTexture(nullptr);
    ReleaseShadowTextures();
    for (auto &entry : TextureMap) {
        TextureRecord *record = entry.second;
        if (record->pool != PoolManaged && record->texture != 0) {
            ReleaseTextureInterface(record);
            record->flags |= TextureFlagRecreate;
        }
    }
    ReleaseBlockSurfaces();
}

int RestoreRenderTargetTextures()
{
    ResetStageTextureCache(LastLodClass);
    int result = 0;
    // Records are recreated in place; the walk copies the list first.
    std::vector<TextureRecord *> records;
    for (auto &entry : TextureMap) {
        records.push_back(entry.second);
    }
    for (TextureRecord *record : records) {
        if ((record->flags & TextureFlagRecreate) == 0) {
            continue;
        }
        record->flags &= static_cast<uint8_t>(~TextureFlagRecreate);
        TextureRecord *same = nullptr;
        if (CreateTexture(record->name, static_cast<int>(record->width), static_cast<int>(record->height),
                          record->format, &same, (record->flags & TextureFlagRenderTarget) != 0, record->lodClass,
                          record->levels, record->useStamp) != 0) {
            // Kept without a texture, to be tried at the next restore.
            record->flags |= TextureFlagRecreate;
            if (result == 0) {
                result = -1;
            }
        }
    }
    CreateBlockSurfaces();
    return result;
}
