#include "render/geometry_batch.h"

#include "render/buffer_pools.h"
#include "render/device_resources.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/state_cache.h"

#include <cstring>

GeometryBatch ScreenBatch;
GeometryBatch WorldBatch;
GeometryBatch AuxBatch;
GeometryBatch AuxBlendBatch;

namespace {

struct KindRow {
    uint32_t fvf;
    uint32_t stride;
};

constexpr KindRow VertexKinds[VertexKindCount] = {
    {0x12, 24},  {0x52, 28},  {0xD2, 32},  {0x112, 32}, {0x152, 36}, {0x1D2, 40}, {0x212, 32},
    {0x252, 44}, {0x2D2, 48}, {0x142, 24}, {0x1C2, 28}, {0x1D2, 48}, {0x144, 28}, {0x1C4, 32},
};

constexpr uint32_t VertexLockStep = 2048;
constexpr uint32_t IndexLockStep = 16;

ScreenVertex ScreenVertices[BatchVertexCapacity];
WorldVertex WorldVertices[3][BatchVertexCapacity];
uint16_t BatchIndices[4][BatchIndexCapacity];

float ScreenKx = 0.0f;
float ScreenBx = 0.0f;
float ScreenKy = 0.0f;
float ScreenBy = 0.0f;

bool DropLogged = false;

uint32_t RoundUp(uint32_t value, uint32_t step)
{
    return (value + step - 1) / step * step;
}

void LogDrop()
{
    if (!DropLogged) {
        DropLogged = true;
        RenderLog("geometry batch full - drawing dropped");
    }
}

GeometryBatch *const AllBatches[] = {&ScreenBatch, &WorldBatch, &AuxBatch, &AuxBlendBatch};

}  // namespace

uint32_t GetFvfForVertexKind(uint32_t kind)
{
    return kind < static_cast<uint32_t>(VertexKindCount) ? VertexKinds[kind].fvf : 0;
}

uint32_t GetStrideForVertexKind(uint32_t kind)
{
    return kind < static_cast<uint32_t>(VertexKindCount) ? VertexKinds[kind].stride : 0;
}

void InitRenderBatches()
{
    for (int i = 0; i < 4; ++i) {
        GeometryBatch &batch = *AllBatches[i];
        batch = GeometryBatch{};
        batch.vertexKind = i == 0 ? ScreenVertexKind : WorldVertexKind;
        batch.vertices = i == 0 ? reinterpret_cast<uint8_t *>(ScreenVertices)
                                : reinterpret_cast<uint8_t *>(WorldVertices[i - 1]);
        batch.indices = BatchIndices[i];
    }
}

// --- Buffers ---------------------------------------------------------------------------------------

void CreateBatchBuffers()
{
    if (ScreenBatch.vertices == nullptr) {
        InitRenderBatches();
    }
    for (GeometryBatch *batch : AllBatches) {
        batch->fvf = GetFvfForVertexKind(batch->vertexKind);
        if (batch->vertexBuffer == nullptr) {
            CreateVertexBuffer(batch->vertexKind, BatchBufferUsage, batch->fvf, BatchVertexCapacity,
                               &batch->vertexBuffer);
        }
        if (batch->indexBuffer == nullptr) {
            CreateIndexBuffer(0, BatchBufferUsage, BatchIndexCapacity, &batch->indexBuffer);
        }
        batch->vertexWrite = nullptr;
        batch->indexWrite = nullptr;
        batch->vertexReservation = 0;
        batch->indexReservation = 0;
        batch->vertexCount = 0;
        batch->triangleCount = 0;
        batch->begun = false;
    }
}

void ReleaseBatchBuffers()
{
    for (GeometryBatch *batch : AllBatches) {
        if (batch->vertexBuffer != nullptr) {
            batch->vertexBuffer->Release();
            batch->vertexBuffer = nullptr;
        }
        if (batch->indexBuffer != nullptr) {
            batch->indexBuffer->Release();
            batch->indexBuffer = nullptr;
        }
        batch->vertexWrite = nullptr;
        batch->indexWrite = nullptr;
        batch->vertexCount = 0;
        batch->triangleCount = 0;
        batch->begun = false;
    }
}

// --- Begin, add, flush -------------------------------------------------------------------------------

uint32_t GeometryBatch::VertexCapacity() const
{
    return vertexReservation != 0 ? vertexReservation : BatchVertexCapacity;
}

uint32_t GeometryBatch::IndexCapacity() const
{
    return indexReservation != 0 ? indexReservation : BatchIndexCapacity;
}

void GeometryBatch::Begin(Material *with)
{
    indexed = 1;
    vertexWrite = vertices;
    indexWrite = indices;
    material = with != nullptr ? with : DefaultMaterial;
    begun = true;
}

void GeometryBatch::BeginDirect(Material *with, uint32_t expectedVertices, uint32_t expectedTriangles)
{
    indexed = 1;
    material = with != nullptr ? with : DefaultMaterial;
    begun = true;
    if (expectedVertices != 0 && vertexCount == 0) {
        vertexReservation = RoundUp(expectedVertices, VertexLockStep);
        void *data = nullptr;
        // A failed lock leaves nothing to write into.
        vertexWrite = vertexBuffer != nullptr && vertexBuffer->Lock(LockDiscard, &data, 0, vertexReservation) == 0
                          ? static_cast<uint8_t *>(data)
                          : nullptr;
    } else if (vertexReservation == 0) {
        vertexWrite = vertices + static_cast<size_t>(vertexCount) * GetStrideForVertexKind(vertexKind);
    }
    if (expectedTriangles != 0 && triangleCount == 0) {
        indexReservation = RoundUp(expectedTriangles * 3, IndexLockStep);
        void *data = nullptr;
        indexWrite = indexBuffer != nullptr && indexBuffer->Lock(LockDiscard, &data, 0, indexReservation) == 0
                         ? static_cast<uint16_t *>(data)
                         : nullptr;
    } else if (indexReservation == 0) {
        indexWrite = indices + static_cast<size_t>(triangleCount) * 3;
    }
}

uint16_t GeometryBatch::AddVertex(const void *vertex)
{
    if (vertexWrite == nullptr) {
        return NoBatchVertex;
    }
    if (vertexCount >= VertexCapacity()) {
        LogDrop();
        return NoBatchVertex;
    }
    const uint32_t stride = GetStrideForVertexKind(vertexKind);
    std::memcpy(vertexWrite, vertex, stride);
    vertexWrite += stride;
    return static_cast<uint16_t>(vertexCount++);
}

void GeometryBatch::AddTriangle(uint16_t a, uint16_t b, uint16_t c)
{
    if (indexWrite == nullptr || vertexWrite == nullptr) {
        return;
    }
    if (a >= vertexCount || b >= vertexCount || c >= vertexCount || (triangleCount + 1) * 3 > IndexCapacity()) {
        LogDrop();
        return;
    }
    indexWrite[0] = a;
    indexWrite[1] = b;
    indexWrite[2] = c;
    indexWrite += 3;
    ++triangleCount;
}

void GeometryBatch::AddQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    AddTriangle(a, b, c);
    AddTriangle(c, d, a);
}

void GeometryBatch::Flush()
{
    const uint32_t stride = GetStrideForVertexKind(vertexKind);
    bool usable = vertexWrite != nullptr && indexWrite != nullptr;
    if (vertexReservation == 0) {
        if (vertexCount == 0) {
            return;
        }
        void *data = nullptr;
        const uint32_t reserve = RoundUp(vertexCount, VertexLockStep);
        if (usable && vertexBuffer != nullptr && vertexBuffer->Lock(LockDiscard, &data, 0, reserve) == 0) {
            std::memcpy(data, vertices, static_cast<size_t>(vertexCount) * stride);
        } else {
            usable = false;
        }
    }
    if (vertexBuffer != nullptr) {
        vertexBuffer->EndLock();
    }
    if (indexReservation == 0 && triangleCount != 0) {
        void *data = nullptr;
        const uint32_t reserve = RoundUp(triangleCount * 3, IndexLockStep);
        if (usable && indexBuffer != nullptr && indexBuffer->Lock(LockDiscard, &data, 0, reserve) == 0) {
            std::memcpy(data, indices, static_cast<size_t>(triangleCount) * 6);
        } else {
            usable = false;
        }
    }
    if (indexBuffer != nullptr) {
        indexBuffer->EndLock();
    }
    if (usable && triangleCount != 0 && SetVertexStream(vertexBuffer) == 0 && SetIndexBuffer(indexBuffer, 0) == 0) {
        ApplyBatchMaterial(material, fvf);
        FlushStateCache();
        DrawIndexedTriangles(0, vertexCount, 0, triangleCount);
    }
    vertexWrite = nullptr;
    indexWrite = nullptr;
    vertexReservation = 0;
    indexReservation = 0;
    vertexCount = 0;
    triangleCount = 0;
    begun = false;
}

// --- The four batches -------------------------------------------------------------------------------

void SetScreenTransform(float ox, float oy, float sx, float sy)
{
    const int width = RenderDevice.BackBufferWidth >> 1;
    const int height = RenderDevice.BackBufferHeight >> 1;
    ScreenKx = static_cast<float>(width) * sx;
    ScreenBx = (ox + 1.0f) / sx;
    ScreenKy = static_cast<float>(height) * sy;
    ScreenBy = (oy + 1.0f) / sy;
}

void BeginScreenBatch(Material *material)
{
    ScreenBatch.Begin(material);
}

void BeginWorldBatch(Material *material, uint32_t expectedVertices, uint32_t expectedTriangles)
{
    WorldBatch.BeginDirect(material, expectedVertices, expectedTriangles);
}

void BeginAuxBatch(Material *material, uint32_t expectedVertices, uint32_t expectedTriangles)
{
    AuxBatch.BeginDirect(material, expectedVertices, expectedTriangles);
}

void BeginAuxBlendBatch(Material *material, uint32_t expectedVertices, uint32_t expectedTriangles)
{
    AuxBlendBatch.BeginDirect(material, expectedVertices, expectedTriangles);
}

uint16_t AddScreenVertex(float x, float y, float u, float v, uint32_t colour)
{
    return AddScreenVertexRaw((ScreenBx + x) * ScreenKx, (ScreenBy + y) * ScreenKy, u, v, colour);
}

uint16_t AddScreenVertexRaw(float x, float y, float u, float v, uint32_t colour)
{
    const ScreenVertex vertex = {x, y, 0.0f, 1.0f, colour, u, v};
    return ScreenBatch.AddVertex(&vertex);
}

uint16_t AddWorldVertex(float x, float y, float z, float u, float v, uint32_t colour)
{
    const WorldVertex vertex = {x, y, z, colour, u, v};
    return WorldBatch.AddVertex(&vertex);
}

uint16_t AddAuxVertex(float x, float y, float z, float u, float v, uint32_t colour)
{
    const WorldVertex vertex = {x, y, z, colour, u, v};
    return AuxBatch.AddVertex(&vertex);
}

uint16_t AddAuxBlendVertex(float x, float y, float z, float u, float v, uint32_t colour)
{
    const WorldVertex vertex = {x, y, z, colour, u, v};
    return AuxBlendBatch.AddVertex(&vertex);
}

void AddScreenTriangle(uint16_t a, uint16_t b, uint16_t c)
{
    ScreenBatch.AddTriangle(a, b, c);
}

void AddWorldTriangle(uint16_t a, uint16_t b, uint16_t c)
{
    WorldBatch.AddTriangle(a, b, c);
}

void AddAuxTriangle(uint16_t a, uint16_t b, uint16_t c)
{
    AuxBatch.AddTriangle(a, b, c);
}

void AddScreenQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    ScreenBatch.AddQuad(a, b, c, d);
}

void AddWorldQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    WorldBatch.AddQuad(a, b, c, d);
}

void AddAuxQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    AuxBatch.AddQuad(a, b, c, d);
}

void AddAuxBlendQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    AuxBlendBatch.AddQuad(a, b, c, d);
}

uint32_t GetScreenTriangleCount()
{
    return ScreenBatch.triangleCount;
}

void FlushScreenBatch()
{
    ScreenBatch.Flush();
}

void FlushWorldBatch()
{
    WorldBatch.Flush();
}

void FlushAuxBatches()
{
    if (AuxBatch.begun) {
        AuxBatch.Flush();
    }
    if (AuxBlendBatch.begun) {
        SetRenderStateCached(RsAlphaBlendEnable, 1);
        AuxBlendBatch.Flush();
        SetRenderStateCached(RsAlphaBlendEnable, 0);
    }
}

void FlushAllBatches()
{
    for (GeometryBatch *batch : AllBatches) {
        if (batch->triangleCount != 0) {
            batch->Flush();
        }
    }
    ClearCurrentMaterial();
}

void ApplyBatchMaterial(Material *material, uint32_t shader)
{
    SetCurrentMaterial(material);
    SetVertexShaderCached(shader);
    SetTextureStageStateCached(0, TssColorOp, MaterialModulate2x(material) ? TopModulate2x : TopModulate);
    if (!ApplyMaterialTexture(material, 0)) {
        SetStageTexture(0, nullptr);
        SetRenderStateCached(RsAlphaTestEnable, 0);
    }
}

void NewBatchFrame()
{
    DropLogged = false;
}
