#pragma once

#include <cstdint>

// The render layer's device resources that the device's life steps release,
// restore and recreate. The batches (render/geometry_batch.h) and the buffer
// pools (render/buffer_pools.h) are built; textures, materials and vertex
// shaders are called here by name and filled in as those parts of the
// render layer arrive.

struct Material;

// Geometry batches (render/geometry_batch.cpp).
void CreateBatchBuffers();
void ReleaseBatchBuffers();
void FlushAllBatches();

// Vertex and index buffer pools (render/buffer_pools.cpp). The restores
// answer -1 at the first buffer the device refuses.
void ReleaseDynamicIndexBuffers();
void ReleaseDynamicVertexBuffers();
int RestoreDynamicIndexBuffers();
int RestoreDynamicVertexBuffers();
void ReleaseVertexBuffers();
void ReleaseIndexBuffers();

// Textures (render/texture_manager.cpp).
struct TextureRecord;
void CreateDefaultTextures();
void ReleaseRenderTargetTextures();
int RestoreRenderTargetTextures();
void ReleaseAllTextures(int recreate);
void SetStageTexture(int stage, TextureRecord *record);

// Materials and fog.
extern Material *DefaultMaterial;
void CreateDefaultMaterial();
void DeleteAllMaterials(int recreate);
void SelectDefaultMaterial();
void SetCurrentMaterial(Material *material);
Material *GetCurrentMaterial();
void ClearCurrentMaterial();
// Whether the material's texture stage doubles its colour.
bool MaterialModulate2x(const Material *material);
// Binds the material's texture to the stage with its alpha test; false when
// it has none.
bool ApplyMaterialTexture(const Material *material, int stage);
void ApplyFogMode(int mode);

// Vertex shaders (render/vertex_shaders.cpp).
void ReleaseVertexShaders();
void ForgetVertexShader();
void SetVertexShaderCached(uint32_t handleOrFvf);
