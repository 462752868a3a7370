#pragma once

#include <cstdint>
#include <map>
#include <string>

// Every texture of the program is a TextureRecord kept by name in the
// TextureMap (names compared with A..Z folded, byte by byte). The manager
// binds textures to stages through a per-stage cache with a level-of-detail
// bias, keeps render targets across a device Reset, and owns the empty
// placeholder and the two small frame-sync targets.

constexpr int TextureNameSize = 35;
constexpr int TextureLoadPathSize = 64;
constexpr uint8_t TextureFlagRenderTarget = 1;
constexpr uint8_t TextureFlagRecreate = 2;
constexpr uint8_t DefaultTextureLevels = 0xFF;

struct TextureRecord {
    uint32_t texture = 0;  // the device's texture; 0 none
    uint32_t format = 0;
    uint32_t pool = 1;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t averageColour[4] = {};
    uint8_t alphaReference = 0;  // 0: no alpha test
    uint8_t flags = 0;
    uint8_t lodClass = 0;
    uint16_t useStamp = 0;
    uint8_t levels = DefaultTextureLevels;
    char loadPath[TextureLoadPathSize] = {};
    char name[TextureNameSize] = {};

    TextureRecord() = default;
    TextureRecord(const TextureRecord &) = delete;
    TextureRecord &operator=(const TextureRecord &) = delete;
    // Leaves the map and lets the device texture go.
    ~TextureRecord();

    // Sum of the sizes of every level; 0 when a level cannot be described.
    uint32_t MemorySize() const;
    // Binds it on the stage; on stage 0 also its alpha test.
    void ApplyAlphaTest(int stage);
};

struct TextureNameLess {
    bool operator()(const std::string &a, const std::string &b) const;
};
using TextureMapType = std::map<std::string, TextureRecord *, TextureNameLess>;
extern TextureMapType TextureMap;

extern TextureRecord *PlaceholderTexture;
extern uint32_t BlockSurf[2];  // lockable 2 x 2 targets; 0 when refused

// Part of the skin code: which folder a texture name loads from (0 the
// program's pictures; 1..4 the skin folders).
extern int SkinMode;
// What the last file load said: 0, 1 invalid size, 2 too big.
extern int TextureLoadResult;

// 0 and the record (found by name or made), or -1 (a record made by this
// call is destroyed; an existing one keeps its entry, without a texture).
int CreateTexture(const char *name, int width, int height, uint32_t format, TextureRecord **out, int renderTarget,
                  int lodClass, int levels, uint16_t stamp);
TextureRecord *FindTexture(const char *name);
// Found (its LOD class raised, never lowered) or loaded; the placeholder
// when the load fails.
TextureRecord *GetTexture(const char *name, int lodClass);
int LoadTextureByName(const char *name, TextureRecord **out, int lodClass);
// The file loader (render/texture_files.cpp): 0; -1 empty path or a refused
// .raw; -2 no file; -3 not decodable; -4 no texture of that size. A record
// this call made is destroyed again when the load fails.
int LoadTextureFile(const char *path, TextureRecord **out, const char *name, int lodClass, uint16_t stamp);

void RemoveTexture(TextureRecord *record);
void DeleteTexture(TextureRecord *record);
void ReleaseTextureInterface(TextureRecord *record);
uint32_t GetTextureMemory();

void SetStageTexture(int stage, TextureRecord *record);
// Every stage holding the record's texture (every stage for null) gets none.
void UnbindTexture(TextureRecord *record);
// Forgets the stage cache and the last LOD class (filter settings changed).
void ResetStageTextureCache(uint8_t lastLodClass);
// Forgets the LOD class last sent, so the next bound texture sends its bias
// again whatever its class (the stage cache is kept).
void ForgetLastLodClass();

uint16_t NextResourceId();

void CreateBlockSurfaces();
void ReleaseBlockSurfaces();

// The shadow atlases and tiles (render/shadow_textures.cpp).
void ReleaseShadowTextures();
