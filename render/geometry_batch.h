#pragma once

#include <cstdint>

// Immediate drawing: four batches that collect vertices and triangles and
// draw them with one indexed draw per flush, through dynamic buffers locked
// with DISCARD. ScreenBatch takes pre-transformed 2D vertices (interface,
// text, HUD); WorldBatch general 3D geometry; AuxBatch and AuxBlendBatch
// the car body's extra geometry, the latter blended.
//
// Vertex kinds name the vertex layouts of the whole render layer.

struct Material;
struct VertexBuffer;
struct IndexBuffer;

constexpr int VertexKindCount = 14;
constexpr uint32_t ScreenVertexKind = 12;
constexpr uint32_t WorldVertexKind = 9;
constexpr int BatchVertexCapacity = 16384;
constexpr int BatchIndexCapacity = 16384;
constexpr uint32_t BatchBufferUsage = 0x218;  // dynamic, software processing, write only
constexpr uint16_t NoBatchVertex = 0xFFFF;    // what an adder returns for a vertex it dropped

// FVF and stride of a kind; 0 and 0 outside 0..13.
uint32_t GetFvfForVertexKind(uint32_t kind);
uint32_t GetStrideForVertexKind(uint32_t kind);

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t colour;  // ARGB
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28, "screen vertices are 28 bytes");

struct WorldVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(WorldVertex) == 24, "world vertices are 24 bytes");

struct GeometryBatch {
    uint32_t vertexKind = 0;
    uint32_t fvf = 0;
    uint8_t *vertexWrite = nullptr;  // next vertex: own array or the locked buffer; null: nowhere
    uint16_t *indexWrite = nullptr;
    uint8_t *vertices = nullptr;     // own array of BatchVertexCapacity vertices
    uint16_t *indices = nullptr;     // own array of BatchIndexCapacity indices
    uint32_t indexed = 0;
    uint32_t vertexReservation = 0;
    uint32_t indexReservation = 0;
    uint32_t vertexCount = 0;
    uint32_t triangleCount = 0;
    VertexBuffer *vertexBuffer = nullptr;
    IndexBuffer *indexBuffer = nullptr;
    Material *material = nullptr;
    bool begun = false;  // begun since the last flush (its write target was set)

    // Begins writing into the own arrays.
    void Begin(Material *with);
    // Begins with direct reservations in the locked buffers (0: not given).
    void BeginDirect(Material *with, uint32_t expectedVertices, uint32_t expectedTriangles);
    // The vertex's index, or NoBatchVertex when it does not fit.
    uint16_t AddVertex(const void *vertex);
    // Dropped when an index names a vertex not added or the indices are full.
    void AddTriangle(uint16_t a, uint16_t b, uint16_t c);
    void AddQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
    void Flush();
    uint32_t VertexCapacity() const;
    uint32_t IndexCapacity() const;
};

extern GeometryBatch ScreenBatch;
extern GeometryBatch WorldBatch;
extern GeometryBatch AuxBatch;
extern GeometryBatch AuxBlendBatch;

// Sets the kinds and clears the batches (program start).
void InitRenderBatches();

void SetScreenTransform(float ox, float oy, float sx, float sy);

void BeginScreenBatch(Material *material);
void BeginWorldBatch(Material *material, uint32_t expectedVertices, uint32_t expectedTriangles);
void BeginAuxBatch(Material *material, uint32_t expectedVertices, uint32_t expectedTriangles);
void BeginAuxBlendBatch(Material *material, uint32_t expectedVertices, uint32_t expectedTriangles);

// Screen-batch units through the screen transform.
uint16_t AddScreenVertex(float x, float y, float u, float v, uint32_t colour);
// Pixels as given.
uint16_t AddScreenVertexRaw(float x, float y, float u, float v, uint32_t colour);
uint16_t AddWorldVertex(float x, float y, float z, float u, float v, uint32_t colour);
uint16_t AddAuxVertex(float x, float y, float z, float u, float v, uint32_t colour);
uint16_t AddAuxBlendVertex(float x, float y, float z, float u, float v, uint32_t colour);

void AddScreenTriangle(uint16_t a, uint16_t b, uint16_t c);
void AddWorldTriangle(uint16_t a, uint16_t b, uint16_t c);
void AddAuxTriangle(uint16_t a, uint16_t b, uint16_t c);
// Triangles (a, b, c) and (c, d, a).
void AddScreenQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
void AddWorldQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
void AddAuxQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
void AddAuxBlendQuad(uint16_t a, uint16_t b, uint16_t c, uint16_t d);

uint32_t GetScreenTriangleCount();

void FlushScreenBatch();
void FlushWorldBatch();
// AuxBatch, then AuxBlendBatch with blending switched on around it.
void FlushAuxBatches();
void ApplyBatchMaterial(Material *material, uint32_t shader);

// A new frame: the next dropped vertex or triangle is logged again.
void NewBatchFrame();
