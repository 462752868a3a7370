#pragma once

#include <cstdint>
#include <set>

// Materials: a texture with the flags that decide how it is drawn, interned
// so that drawers compare them by pointer. Also the fog state: colour,
// linear range and the colour modes of multi-pass drawing.

struct TextureRecord;

struct Material {
    TextureRecord *texture = nullptr;
    TextureRecord *secondTexture = nullptr;
    uint8_t notInMap = 1;  // 1: not the map's own; destroying it leaves the map alone
    uint8_t reserved[3] = {};
    uint8_t AddPass = 0;
    uint8_t PreLit = 0;
    uint8_t Modulate2x = 0;
    uint8_t EnvMapped = 0;

    Material() = default;
    Material(const Material &) = delete;
    Material &operator=(const Material &) = delete;
    ~Material();

    void Set(TextureRecord *texture, int modulate2x, int addPass, int preLit, int envMapped,
             TextureRecord *second);
};

struct MaterialLess {
    bool operator()(const Material *a, const Material *b) const;
};
extern std::set<Material *, MaterialLess> MaterialMap;

// 1 for env-mapped geometry without an added pass, else 10 pre-lit, else 4.
uint32_t GetVertexKindForMaterial(int preLit, int envMappedWithoutAddPass);
uint32_t GetVertexKindOfMaterial(const Material *material);

Material *GetMaterial(TextureRecord *texture, int modulate2x, int addPass, int preLit, int envMapped,
                      TextureRecord *second);
Material *LookupMaterial(TextureRecord *texture, int modulate2x, int addPass, int preLit, int envMapped,
                         TextureRecord *second);
// The material of a texture already loaded, or null; loads nothing.
Material *FindMaterial(const char *textureName, int modulate2x, int addPass, int preLit, int envMapped,
                       TextureRecord *second);
Material *GetTextureMaterial(const char *textureName, int modulate2x, int addPass, int preLit, int envMapped,
                             int lodClass, TextureRecord *second);
int DeleteMaterialOfTexture(TextureRecord *texture);
void ResetMaterialBinding();

// Fog.
void EnableFog(int on);
int FogIsEnabled();
void SetFogRange(uint32_t colour, float start, float end);
