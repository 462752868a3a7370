#include "render/device_resources.h"

#include "render/render_device.h"

// Textures, materials and vertex shaders do not exist yet beyond the stage
// texture binding, the current material pointer and the vertex-shader
// selection, which reach the device directly.

Material *DefaultMaterial = nullptr;

namespace {

Material *CurrentMaterial = nullptr;

}  // namespace


void CreateDefaultMaterial()
{
}

void DeleteAllMaterials(int)
{
}

void SelectDefaultMaterial()
{
    CurrentMaterial = DefaultMaterial;
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

bool MaterialModulate2x(const Material *)
{
    return false;
}

bool ApplyMaterialTexture(const Material *, int)
{
    return false;
}

void ApplyFogMode(int)
{
}

void ReleaseVertexShaders()
{
}

void ForgetVertexShader()
{
}

void SetVertexShaderCached(uint32_t handleOrFvf)
{
    if (RenderDevice.Device != nullptr) {
        RenderDevice.Device->SetVertexShader(handleOrFvf);
    }
}
