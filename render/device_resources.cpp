#include "render/device_resources.h"

#include "render/render_device.h"

// Vertex shaders do not exist yet beyond the selection, which reaches the
// device directly.

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
