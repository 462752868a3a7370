#include "render/material.h"

#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/render_device.h"
#include "render/render_object.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"

#include <tuple>

std::set<Material *, MaterialLess> MaterialMap;
Material *DefaultMaterial = nullptr;

namespace {

Material *CurrentMaterial = nullptr;
int FogOn = 0;
int FogMode = 0;
uint32_t FogColour = 0;
constexpr float MinFogSpan = 0.001f;

auto Key(const Material *m)
{
    return std::make_tuple(reinterpret_cast<uintptr_t>(m->texture), reinterpret_cast<uintptr_t>(m->secondTexture),
                           m->Modulate2x, m->AddPass, m->PreLit, m->EnvMapped);
}

uint32_t MaterialKind(const Material *material)
{
    return GetVertexKindOfMaterial(material);
}

}  // namespace

bool MaterialLess::operator()(const Material *a, const Material *b) const
{
    return Key(a) < Key(b);
}

Material::~Material()
{
    if (!notInMap) {
        MaterialMap.erase(this);
    }
}

void Material::Set(TextureRecord *tex, int modulate2x, int addPass, int preLit, int envMapped, TextureRecord *second)
{
    texture = tex;
    secondTexture = second;
    Modulate2x = modulate2x ? 1 : 0;
    AddPass = addPass ? 1 : 0;
    PreLit = preLit ? 1 : 0;
    EnvMapped = envMapped ? 1 : 0;
}

uint32_t GetVertexKindForMaterial(int preLit, int envMappedWithoutAddPass)
{
    if (envMappedWithoutAddPass) {
        return 1;
    }
    return preLit ? 10 : 4;
}

uint32_t GetVertexKindOfMaterial(const Material *material)
{
    if (material == nullptr) {
        return 4;
    }
    return GetVertexKindForMaterial(material->PreLit, material->EnvMapped && !material->AddPass);
}

Material *GetMaterial(TextureRecord *texture, int modulate2x, int addPass, int preLit, int envMapped,
                      TextureRecord *second)
{
    // A material that exists is found without touching the heap: batches
    // ask for theirs every frame.
    if (Material *existing = LookupMaterial(texture, modulate2x, addPass, preLit, envMapped, second)) {
        return existing;
    }
    Material *candidate = new Material;
    candidate->Set(texture, modulate2x, addPass, preLit, envMapped, second);
    const auto inserted = MaterialMap.insert(candidate);
    if (inserted.second) {
        candidate->notInMap = 0;
        return candidate;
    }
    delete candidate;  // still not in the map
    return *inserted.first;
}

Material *LookupMaterial(TextureRecord *texture, int modulate2x, int addPass, int preLit, int envMapped,
                         TextureRecord *second)
{
    Material probe;
    probe.Set(texture, modulate2x, addPass, preLit, envMapped, second);
    const auto found = MaterialMap.find(&probe);
    return found != MaterialMap.end() ? *found : nullptr;
}

Material *FindMaterial(const char *textureName, int modulate2x, int addPass, int preLit, int envMapped,
                       TextureRecord *second)
{
    TextureRecord *texture = nullptr;
    if (textureName != nullptr && textureName[0] != 0) {
        texture = FindTexture(textureName);
        if (texture == nullptr) {
            return nullptr;
        }
    }
    return LookupMaterial(texture, modulate2x, addPass, preLit, envMapped, second);
}

Material *GetTextureMaterial(const char *textureName, int modulate2x, int addPass, int preLit, int envMapped,
                             int lodClass, TextureRecord *second)
{
    TextureLoadResult = 0;
    TextureRecord *texture = textureName != nullptr && textureName[0] != 0 ? GetTexture(textureName, lodClass) : nullptr;
    Material *found = LookupMaterial(texture, modulate2x, addPass, preLit, envMapped, second);
    return found != nullptr ? found : GetMaterial(texture, modulate2x, addPass, preLit, envMapped, second);
}

int DeleteMaterialOfTexture(TextureRecord *texture)
{
    for (auto it = MaterialMap.begin(); it != MaterialMap.end(); ++it) {
        Material *material = *it;
        if (material->texture == texture) {
            MaterialMap.erase(it);
            material->notInMap = 1;
            if (CurrentMaterial == material) {
                CurrentMaterial = nullptr;
            }
            if (DefaultMaterial == material) {
                DefaultMaterial = nullptr;
            }
            delete material;
            return 1;
        }
    }
    return 0;
}

void ResetMaterialBinding()
{
    UnbindTexture(nullptr);
    CurrentMaterial = nullptr;
}

void DeleteAllMaterials(int recreate)
{
    CurrentMaterial = nullptr;
    ResetMaterialBinding();
    while (!MaterialMap.empty()) {
        Material *material = *MaterialMap.begin();
        MaterialMap.erase(MaterialMap.begin());
        material->notInMap = 1;
        delete material;
    }
    DefaultMaterial = recreate ? GetMaterial(nullptr, 0, 0, 1, 0, nullptr) : nullptr;
}

void CreateDefaultMaterial()
{
    DefaultMaterial = GetMaterial(nullptr, 0, 0, 1, 0, nullptr);
    UseDefaultVertexConstants();
}

void SelectDefaultMaterial()
{
    ApplyBatchMaterial(DefaultMaterial, GetFvfForVertexKind(MaterialKind(DefaultMaterial)));
}

void SetCurrentMaterial(Material *material)
{
    CurrentMaterial = material;
}

Material *GetCurrentMaterial()
{
    return CurrentMaterial;
}

void ClearCurrentMaterial()
{
    CurrentMaterial = nullptr;
}

bool MaterialModulate2x(const Material *material)
{
    return material != nullptr && material->Modulate2x != 0;
}

bool ApplyMaterialTexture(const Material *material, int stage)
{
    if (material == nullptr || material->texture == nullptr) {
        return false;
    }
    material->texture->ApplyAlphaTest(stage);
    return true;
}

// --- Fog -----------------------------------------------------------------------------------------

void EnableFog(int on)
{
    FogOn = on ? 1 : 0;
    ApplyFogMode(FogMode);
}

int FogIsEnabled()
{
    return FogOn;
}

void ApplyFogMode(int mode)
{
    FogMode = mode;
    if (!FogOn || mode == 0) {
        SetRenderStateCached(RsFogEnable, 0);
        return;
    }
    SetRenderStateCached(RsFogEnable, 1);
    switch (mode) {
    case 1:
        SetRenderStateCached(RsFogColor, FogColour & 0xFFFFFF);
        break;
    case 2:
        SetRenderStateCached(RsFogColor, (FogColour >> 1) & 0x7F7F7F);
        break;
    case 3:
        SetRenderStateCached(RsFogColor, 0);
        break;
    case 4:
        SetRenderStateCached(RsFogColor, 0xFFFFFF);
        break;
    case 5:
        SetRenderStateCached(RsFogColor, 0x808080);
        break;
    default:
        break;
    }
}

void SetFogRange(uint32_t colour, float start, float end)
{
    FogColour = colour;
    // A range of (nearly) nothing would put infinities into the fog.
    if (end - start < MinFogSpan) {
        end = start + MinFogSpan;
    }
    const float span = end - start;
    const float c90[4] = {-1.0f / span, end / span, 0.5f, 0.0f};
    SetVertexConstants(90, c90, 1);
    SetRenderStateCached(RsFogVertexMode, FogLinear);
    SetRenderStateCached(RsFogStart, FloatBits(start));
    SetRenderStateCached(RsFogEnd, FloatBits(end));
    ApplyFogMode(FogMode);
}
