#include "render/buffer_pools.h"

#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/render_device.h"

#include <algorithm>
#include <list>

namespace {

std::list<VertexBuffer *> VertexPool;
std::list<IndexBuffer *> IndexPool;
VertexBuffer *BoundStream = nullptr;
IndexBuffer *BoundIndices = nullptr;

GraphicsDevice *Device()
{
    return RenderDevice.Device;
}

uint32_t PoolOf(uint32_t usage)
{
    return (usage & UsageDynamic) != 0 ? PoolDefault : PoolManaged;
}

bool MakeVertexInterface(VertexBuffer &buffer)
{
    GraphicsDevice *device = Device();
    return device != nullptr &&
           device->CreateVertexBuffer(static_cast<int>(buffer.stride * buffer.vertexCount), buffer.usage, buffer.fvf,
                                      PoolOf(buffer.usage), &buffer.handle) == DeviceOk &&
           buffer.handle != 0;
}

bool MakeIndexInterface(IndexBuffer &buffer)
{
    GraphicsDevice *device = Device();
    return device != nullptr &&
           device->CreateIndexBuffer(static_cast<int>(buffer.elementSize * buffer.indexCount), buffer.usage,
                                     GetIndexFormat(static_cast<int>(buffer.wide)), PoolOf(buffer.usage),
                                     &buffer.handle) == DeviceOk &&
           buffer.handle != 0;
}

void Unbind()
{
    SetVertexStream(nullptr);
    SetIndexBuffer(nullptr, 0);
}

}  // namespace

int GetIndexElementSize(int wide)
{
    return wide ? 4 : 2;
}

uint32_t GetIndexFormat(int wide)
{
    return wide ? RenderFormatIndex32 : RenderFormatIndex16;
}

int CreateVertexBuffer(uint32_t vertexKind, uint32_t usage, uint32_t fvf, uint32_t vertexCount, VertexBuffer **out)
{
    VertexBuffer *buffer = new VertexBuffer;
    buffer->usage = usage;
    buffer->fvf = fvf;
    buffer->vertexCount = vertexCount;
    buffer->vertexKind = vertexKind;
    buffer->stride = GetStrideForVertexKind(vertexKind);
    if (buffer->stride == 0 || vertexCount == 0 || !MakeVertexInterface(*buffer)) {
        delete buffer;
        return -1;
    }
    VertexPool.push_back(buffer);
    *out = buffer;
    return 0;
}

int CreateIndexBuffer(int wide, uint32_t usage, uint32_t indexCount, IndexBuffer **out)
{
    IndexBuffer *buffer = new IndexBuffer;
    buffer->usage = usage;
    buffer->indexCount = indexCount;
    buffer->wide = wide ? 1 : 0;
    buffer->elementSize = static_cast<uint32_t>(GetIndexElementSize(wide));
    if (indexCount == 0 || !MakeIndexInterface(*buffer)) {
        delete buffer;
        return -1;
    }
    IndexPool.push_back(buffer);
    *out = buffer;
    return 0;
}

int VertexBuffer::Lock(uint32_t flags, void **out, uint32_t first, uint32_t count)
{
    if (lockPointer != nullptr) {
        *out = lockPointer;
        return 0;
    }
    if (handle == 0 || Device() == nullptr || (baseVertex + first + count) > vertexCount) {
        return -1;
    }
    void *data = nullptr;
    if (Device()->LockBuffer(handle, static_cast<int>((baseVertex + first) * stride), static_cast<int>(count * stride),
                             flags, &data) != DeviceOk ||
        data == nullptr) {
        return -1;
    }
    lockPointer = data;
    *out = data;
    return 0;
}

void VertexBuffer::EndLock()
{
    if (lockPointer == nullptr) {
        return;
    }
    if (handle != 0 && Device() != nullptr) {
        Device()->UnlockBuffer(handle);
    }
    lockPointer = nullptr;
}

void VertexBuffer::Release()
{
    Unbind();
    EndLock();
    if (handle != 0 && Device() != nullptr) {
        Device()->ReleaseBuffer(handle);
    }
    handle = 0;
    VertexPool.remove(this);
    delete this;
}

int IndexBuffer::Lock(uint32_t flags, void **out, uint32_t first, uint32_t count)
{
    if (lockPointer != nullptr) {
        *out = lockPointer;
        return 0;
    }
    if (handle == 0 || Device() == nullptr || first + count > indexCount) {
        return -1;
    }
    void *data = nullptr;
    if (Device()->LockBuffer(handle, static_cast<int>(first * elementSize), static_cast<int>(count * elementSize),
                             flags, &data) != DeviceOk ||
        data == nullptr) {
        return -1;
    }
    lockPointer = data;
    *out = data;
    return 0;
}

void IndexBuffer::EndLock()
{
    if (lockPointer == nullptr) {
        return;
    }
    if (handle != 0 && Device() != nullptr) {
        Device()->UnlockBuffer(handle);
    }
    lockPointer = nullptr;
}

void IndexBuffer::Release()
{
    Unbind();
    EndLock();
    if (handle != 0 && Device() != nullptr) {
        Device()->ReleaseBuffer(handle);
    }
    handle = 0;
    IndexPool.remove(this);
    delete this;
}

int SetVertexStream(VertexBuffer *buffer)
{
    GraphicsDevice *device = Device();
    BoundStream = nullptr;
    if (buffer == nullptr || buffer->handle == 0) {
        if (device != nullptr) {
            device->SetStreamSource(0, 0);
        }
        return buffer == nullptr ? 0 : -1;
    }
    if (device == nullptr) {
        return -1;
    }
    device->SetStreamSource(buffer->handle, static_cast<int>(buffer->stride));
    BoundStream = buffer;
    return 0;
}

int SetIndexBuffer(IndexBuffer *buffer, uint32_t baseVertex)
{
    GraphicsDevice *device = Device();
    BoundIndices = nullptr;
    if (buffer == nullptr || buffer->handle == 0) {
        if (device != nullptr) {
            device->SetIndices(0, 0);
        }
        return buffer == nullptr ? 0 : -1;
    }
    if (device == nullptr) {
        return -1;
    }
    device->SetIndices(buffer->handle, static_cast<int>(baseVertex));
    BoundIndices = buffer;
    return 0;
}

int DrawIndexedTriangles(uint32_t minIndex, uint32_t vertexCount, uint32_t startIndex, uint32_t triangleCount)
{
    GraphicsDevice *device = Device();
    if (device == nullptr || BoundStream == nullptr || BoundStream->handle == 0 || BoundIndices == nullptr ||
        BoundIndices->handle == 0) {
        return -1;
    }
    return device->DrawIndexedTriangles(static_cast<int>(minIndex), static_cast<int>(vertexCount),
                                        static_cast<int>(startIndex), static_cast<int>(triangleCount)) == DeviceOk
               ? 0
               : -1;
}

int VertexPoolCount()
{
    return static_cast<int>(VertexPool.size());
}

int IndexPoolCount()
{
    return static_cast<int>(IndexPool.size());
}

// --- Bulk release and the Reset ------------------------------------------------------------

void ReleaseVertexBuffers()
{
    Unbind();
    while (!VertexPool.empty()) {
        VertexPool.front()->Release();
    }
}

void ReleaseIndexBuffers()
{
    Unbind();
    while (!IndexPool.empty()) {
        IndexPool.front()->Release();
    }
}

void ReleaseDynamicVertexBuffers()
{
    Unbind();
    for (VertexBuffer *buffer : VertexPool) {
        if ((buffer->usage & UsageDynamic) != 0) {
            buffer->EndLock();
            if (buffer->handle != 0 && Device() != nullptr) {
                Device()->ReleaseBuffer(buffer->handle);
            }
            buffer->handle = 0;
        }
    }
}

void ReleaseDynamicIndexBuffers()
{
    Unbind();
    for (IndexBuffer *buffer : IndexPool) {
        if ((buffer->usage & UsageDynamic) != 0) {
            buffer->EndLock();
            if (buffer->handle != 0 && Device() != nullptr) {
                Device()->ReleaseBuffer(buffer->handle);
            }
            buffer->handle = 0;
        }
    }
}

int RestoreDynamicVertexBuffers()
{
    for (VertexBuffer *buffer : VertexPool) {
        if ((buffer->usage & UsageDynamic) != 0 && buffer->handle == 0 && !MakeVertexInterface(*buffer)) {
            buffer->handle = 0;
            return -1;
        }
    }
    return 0;
}

int RestoreDynamicIndexBuffers()
{
    for (IndexBuffer *buffer : IndexPool) {
        if ((buffer->usage & UsageDynamic) != 0 && buffer->handle == 0 && !MakeIndexInterface(*buffer)) {
            buffer->handle = 0;
            return -1;
        }
    }
    return 0;
}
