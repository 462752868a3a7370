#pragma once

#include <cstdint>

// The render layer's device resources that the device's life steps release,
// restore and recreate: batch buffers, buffer pools, textures, materials,
// stage textures and vertex shaders. The device calls them by name at its
// creation, around every Reset, at a bulk release and at shut-down; their
// owners fill them in as those parts of the render layer arrive.

// Geometry batches.
void CreateBatchBuffers();
void ReleaseBatchBuffers();
void FlushAllBatches();

// Vertex and index buffer pools.
void ReleaseDynamicIndexBuffers();
void ReleaseDynamicVertexBuffers();
void RestoreDynamicIndexBuffers();
void RestoreDynamicVertexBuffers();
void ReleaseVertexBuffers();
void ReleaseIndexBuffers();

// Textures and the stage textures.
void CreateDefaultTextures();
void ReleaseRenderTargetTextures();
int RestoreRenderTargetTextures();
void ReleaseAllTextures(int recreate);
// Binds a device texture (0: none) to a stage.
void SetStageTexture(int stage, uint32_t texture);

// Materials and fog.
void CreateDefaultMaterial();
void DeleteAllMaterials(int recreate);
void SelectDefaultMaterial();
void ClearCurrentMaterial();
void ApplyFogMode(int mode);

// Vertex shaders.
void ReleaseVertexShaders();
void ForgetVertexShader();
void SetVertexShaderCached(uint32_t handleOrFvf);
