#include "render/device_resources.h"

#include "render/render_device.h"

// Nothing of these exists yet beyond the stage texture binding and the
// vertex-shader selection, which reach the device directly.

void CreateBatchBuffers()
{
}

void ReleaseBatchBuffers()
{
}

void FlushAllBatches()
{
}

void ReleaseDynamicIndexBuffers()
{
}

void ReleaseDynamicVertexBuffers()
{
}

void RestoreDynamicIndexBuffers()
{
}

void RestoreDynamicVertexBuffers()
{
}

void ReleaseVertexBuffers()
{
}

void ReleaseIndexBuffers()
{
}

void CreateDefaultTextures()
{
}

void ReleaseRenderTargetTextures()
{
}

int RestoreRenderTargetTextures()
{
    return 0;
}

void ReleaseAllTextures(int)
{
}

void SetStageTexture(int stage, uint32_t texture)
{
    if (RenderDevice.Device != nullptr) {
        RenderDevice.Device->SetTexture(stage, texture);
    }
}

void CreateDefaultMaterial()
{
}

void DeleteAllMaterials(int)
{
}

void SelectDefaultMaterial()
{
}

void ClearCurrentMaterial()
{
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
