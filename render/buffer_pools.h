#pragma once

#include <cstdint>

// Every vertex and index buffer of the render layer, wrapped in a record
// that remembers how it was made, kept in one of two pools. Dynamic buffers
// (usage with the DYNAMIC bit) live in the device's own memory and are
// released before a Reset and made again after it; the others are managed
// and survive it. Records lock and bind by vertex or index position.

struct VertexBuffer {
    void *lockPointer = nullptr;  // null when not locked
    uint32_t handle = 0;          // the device's buffer; 0 between a release and a restore
    uint32_t usage = 0;
    uint32_t fvf = 0;
    uint32_t vertexCount = 0;
    uint32_t baseVertex = 0;
    uint32_t vertexKind = 0;
    uint32_t stride = 0;

    // 0 and the pointer at vertex `first`, or -1 (nothing locked, also for a
    // record without a device buffer). A locked record hands out its
    // pointer again without locking.
    int Lock(uint32_t flags, void **out, uint32_t first, uint32_t count);
    void EndLock();
    // Ends a lock, lets the device buffer go and leaves the pool; the record
    // is deleted.
    void Release();
};

struct IndexBuffer {
    void *lockPointer = nullptr;
    uint32_t handle = 0;
    uint32_t usage = 0;
    uint32_t indexCount = 0;
    uint32_t wide = 0;         // 1: 32-bit indices
    uint32_t elementSize = 2;  // 2 or 4

    int Lock(uint32_t flags, void **out, uint32_t first, uint32_t count);
    void EndLock();
    void Release();
};

// 0 and the new record, or -1 (the record pointer is left as it was).
int CreateVertexBuffer(uint32_t vertexKind, uint32_t usage, uint32_t fvf, uint32_t vertexCount, VertexBuffer **out);
int CreateIndexBuffer(int wide, uint32_t usage, uint32_t indexCount, IndexBuffer **out);

// Binds stream 0 (null: none). -1 for a record without a device buffer
// (nothing is bound then).
int SetVertexStream(VertexBuffer *buffer);
int SetIndexBuffer(IndexBuffer *buffer, uint32_t baseVertex);
// An indexed triangle list from the bound stream and indices; -1 when the
// bound records have no device buffers (nothing is drawn).
int DrawIndexedTriangles(uint32_t minIndex, uint32_t vertexCount, uint32_t startIndex, uint32_t triangleCount);

int GetIndexElementSize(int wide);
uint32_t GetIndexFormat(int wide);

// Records in the pools.
int VertexPoolCount();
int IndexPoolCount();
