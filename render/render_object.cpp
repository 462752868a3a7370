#include "render/render_object.h"

#include "render/buffer_pools.h"
#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/shadow_casters.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"
#include "render/vertex_shaders.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr int MaxRenderParts = 256;
// Item indices are 16 bits: an item holds at most 65536 vertices. A part
// of more vertices than that indexes with 32 bits.
constexpr size_t MaxPartVertices = 65536;
constexpr size_t MaxShortIndexVertices = 65536;
constexpr int MaxReserveTriangles = 1 << 20;

RenderObject *LiveObjects = nullptr;

// --- Bit-scan tables ---

uint8_t LowestSetBit[256];    // 0..7; 0 for 0
uint8_t SetRunEnd[256];       // just past the run of set bits starting at the lowest set bit; 8 at the top
uint8_t LowestClearBit[256];  // 0..7; 8 for 255
bool BitScanTablesBuilt = false;

// --- Mesh store ---

struct CaseInsensitiveLess {
    bool operator()(const std::string &a, const std::string &b) const
    {
        const size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            const int ca = std::tolower(static_cast<unsigned char>(a[i]));
            const int cb = std::tolower(static_cast<unsigned char>(b[i]));
            if (ca != cb)
                return ca < cb;
        }
        return a.size() < b.size();
    }
};

std::map<std::string, RenderObject *, CaseInsensitiveLess> &ObjectMap()
{
    static std::map<std::string, RenderObject *, CaseInsensitiveLess> map;
    return map;
}

// --- Transforms ---

TransformState Transforms = {
    {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
    {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
    {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
    {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
    {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
    1.0f, 0.0f, 1.0f,
};

float ConstantFile[VertexConstantRegisters][4] = {};
VertexConstantSource DefaultConstantSource;
VertexConstantSource *CurrentConstantSource = nullptr;

bool TestBit(const std::vector<uint32_t> &bits, int index)
{
    const size_t word = static_cast<size_t>(index) >> 5;
    return word < bits.size() && ((bits[word] >> (index & 31)) & 1u) != 0;
}

void SetBit(std::vector<uint32_t> &bits, int index)
{
    const size_t word = static_cast<size_t>(index) >> 5;
    if (word < bits.size())
        bits[word] |= 1u << (index & 31);
}

uint32_t ByteOf(const uint32_t *bits, size_t words, int byteIndex)
{
    const size_t word = static_cast<size_t>(byteIndex) >> 2;
    if (bits == nullptr || word >= words)
        return 0;
    return (bits[word] >> ((byteIndex & 3) * 8)) & 0xFFu;
}

void IssueDraw(const RenderPart &part, int firstItem, int lastItem)
{
    const PartItemRange &first = part.ranges[static_cast<size_t>(firstItem)];
    const PartItemRange &last = part.ranges[static_cast<size_t>(lastItem)];
    DrawIndexedTriangles(first.firstVertex, last.endVertex - first.firstVertex, first.firstIndex,
                         (last.endIndex - first.firstIndex) / 3);
}

void SendTransform(uint32_t kind, const float *m)
{
    if (RenderDevice.Device != nullptr)
        RenderDevice.Device->SetTransform(kind, m);
}

// Writes the fields of one vertex that the FVF has, in FVF order.
uint8_t *WriteVertex(uint8_t *out, const PartVertex &v, uint32_t fvf)
{
    auto put = [&out](const void *data, size_t bytes) {
        std::memcpy(out, data, bytes);
        out += bytes;
    };
    if ((fvf & FvfXyz) != 0) {
        put(&v.x, 12);
    } else if ((fvf & FvfXyzRhw) != 0) {
        const float rhw = 1.0f;
        put(&v.x, 12);
        put(&rhw, 4);
    }
    if ((fvf & FvfNormal) != 0)
        put(&v.nx, 12);
    if ((fvf & FvfDiffuse) != 0)
        put(&v.diffuse, 4);
    if ((fvf & FvfSpecular) != 0)
        put(&v.specular, 4);
    const uint32_t sets = (fvf & FvfTexCountMask) >> FvfTexCountShift;
    for (uint32_t i = 0; i < sets; ++i)
        put(&v.u, 8);
    return out;
}

void CopyString(char *out, int size, const char *text)
{
    int i = 0;
    if (text != nullptr)
        for (; i < size - 1 && text[i] != 0; ++i)
            out[i] = text[i];
    out[i] = 0;
}

}  // namespace

// --- RenderPart ------------------------------------------------------------------

void RenderPart::Init(int expectedItems)
{
    ranges.clear();
    if (expectedItems > 0 && expectedItems <= 65536)
        ranges.reserve(static_cast<size_t>(expectedItems));
    itemCount = 0;
}

void RenderPart::ClearItem()
{
    itemVertices.clear();
    itemIndices.clear();
}

void RenderPart::GetCounts(int *triangles, int *vertexCountOut) const
{
    if (triangles != nullptr)
        *triangles = static_cast<int>(itemIndices.size() / 3);
    if (vertexCountOut != nullptr)
        *vertexCountOut = static_cast<int>(itemVertices.size());
}

void RenderPart::Reserve(int triangles, int vertexCountWanted)
{
    if (triangles <= 0 || vertexCountWanted <= 0 || built)
        return;
    if (triangles > MaxReserveTriangles)
        triangles = MaxReserveTriangles;
    if (static_cast<size_t>(vertexCountWanted) > MaxPartVertices)
        vertexCountWanted = static_cast<int>(MaxPartVertices);
    itemIndices.reserve(itemIndices.size() + 3 * static_cast<size_t>(triangles));
    itemVertices.reserve(itemVertices.size() + static_cast<size_t>(vertexCountWanted));
}

void RenderPart::AddTriangle(uint16_t a, uint16_t b, uint16_t c)
{
    if (built)
        return;
    itemIndices.push_back(a);
    itemIndices.push_back(b);
    itemIndices.push_back(c);
}

int RenderPart::AddVertex(const PartVertex &vertex)
{
    if (built || itemVertices.size() >= MaxPartVertices)
        return -1;
    itemVertices.push_back(vertex);
    return static_cast<int>(itemVertices.size() - 1);
}

void RenderPart::FinishItem()
{
    PartItemRange range;
    range.firstIndex = static_cast<uint32_t>(indices.size());
    range.firstVertex = static_cast<uint32_t>(vertices.size());

    // Triangles that reach a vertex the item does not have are dropped
    // rather than left to index another item's vertices.
    const size_t m = itemVertices.size();
    size_t kept = 0;
    for (size_t t = 0; t + 2 < itemIndices.size(); t += 3) {
        if (itemIndices[t] >= m || itemIndices[t + 1] >= m || itemIndices[t + 2] >= m)
            continue;
        itemIndices[kept++] = itemIndices[t];
        itemIndices[kept++] = itemIndices[t + 1];
        itemIndices[kept++] = itemIndices[t + 2];
    }

    if (kept != 0 && m != 0 && !built) {
        for (size_t i = 0; i < kept; ++i)
            indices.push_back(itemIndices[i] + range.firstVertex);
        vertices.insert(vertices.end(), itemVertices.begin(), itemVertices.end());
    }
    range.endIndex = static_cast<uint32_t>(indices.size());
    range.endVertex = static_cast<uint32_t>(vertices.size());
    if (!built) {
        ranges.push_back(range);
        ++itemCount;
    }
    ClearItem();
}

RenderPart::~RenderPart()
{
    ReleaseBuffers();
}

void RenderPart::ReleaseBuffers()
{
    if (vertexBuffer != nullptr)
        vertexBuffer->Release();
    if (indexBuffer != nullptr)
        indexBuffer->Release();
    vertexBuffer = nullptr;
    indexBuffer = nullptr;
}

void RenderPart::BuildBuffers()
{
    passCount = 0;
    ClearItem();
    ReleaseBuffers();
    vertexCount = static_cast<uint32_t>(vertices.size());
    indexCount = static_cast<uint32_t>(indices.size());

    // A part of more vertices than 16-bit indices reach indexes with 32 bits.
    const int wide = vertexCount > MaxShortIndexVertices ? 1 : 0;
    if (vertexKind != VertexKindOfMaterial && vertexCount != 0 && indexCount > 1) {
        const uint32_t fvf = GetFvfForVertexKind(vertexKind);
        if (CreateVertexBuffer(vertexKind, UsageWriteOnly, 0, vertexCount, &vertexBuffer) == 0) {
            void *data = nullptr;
            if (vertexBuffer->Lock(LockNoSysLock, &data, 0, vertexCount) == 0) {
                uint8_t *out = static_cast<uint8_t *>(data);
                for (const PartVertex &v : vertices)
                    out = WriteVertex(out, v, fvf);
                vertexBuffer->EndLock();
            }
        }
        if (CreateIndexBuffer(wide, UsageWriteOnly, indexCount, &indexBuffer) == 0) {
            void *data = nullptr;
            if (indexBuffer->Lock(LockNoSysLock, &data, 0, indexCount) == 0) {
                if (wide) {
                    std::memcpy(data, indices.data(), sizeof(uint32_t) * indexCount);
                } else {
                    uint16_t *out = static_cast<uint16_t *>(data);
                    for (uint32_t i = 0; i < indexCount; ++i)
                        out[i] = static_cast<uint16_t>(indices[i]);
                }
                indexBuffer->EndLock();
            }
        }
        // Half a part is no part.
        if (vertexBuffer == nullptr || indexBuffer == nullptr)
            ReleaseBuffers();
    }
    emptyItems.assign((itemCount + 63) / 32, 0);
    for (uint32_t i = 0; i < itemCount; ++i)
        if (ranges[i].firstIndex == ranges[i].endIndex)
            emptyItems[i >> 5] |= 1u << (i & 31);
    itemData.assign(2 * static_cast<size_t>(itemCount), 0);
    built = 1;
}

int RenderPart::ItemVertexCount(int item) const
{
    if (item < 0 || static_cast<size_t>(item) >= ranges.size())
        return 0;
    return static_cast<int>(ranges[static_cast<size_t>(item)].endVertex - ranges[static_cast<size_t>(item)].firstVertex);
}

int RenderPart::ItemTriangleCount(int item) const
{
    if (item < 0 || static_cast<size_t>(item) >= ranges.size())
        return 0;
    return static_cast<int>((ranges[static_cast<size_t>(item)].endIndex - ranges[static_cast<size_t>(item)].firstIndex) /
                            3);
}

const PartVertex *RenderPart::ItemVertex(int item, int vertex) const
{
    if (vertex < 0 || vertex >= ItemVertexCount(item))
        return nullptr;
    return &vertices[ranges[static_cast<size_t>(item)].firstVertex + static_cast<size_t>(vertex)];
}

bool RenderPart::ItemTriangle(int item, int t, int *a, int *b, int *c) const
{
    if (t < 0 || t >= ItemTriangleCount(item))
        return false;
    const PartItemRange &range = ranges[static_cast<size_t>(item)];
    const size_t at = range.firstIndex + 3 * static_cast<size_t>(t);
    const int base = static_cast<int>(range.firstVertex);
    if (a != nullptr)
        *a = indices[at] - base;
    if (b != nullptr)
        *b = indices[at + 1] - base;
    if (c != nullptr)
        *c = indices[at + 2] - base;
    return true;
}

bool RenderPart::IsItemEmpty(int item) const
{
    return ItemTriangleCount(item) == 0;
}

void RenderPart::DrawItems(const uint32_t *bits, int low, int high, int applyMaterial)
{
    if (!built || bits == nullptr || itemCount == 0 || vertexBuffer == nullptr || indexBuffer == nullptr)
        return;
    if (low < 0)
        low = 0;
    if (high > static_cast<int>(itemCount) - 1)
        high = static_cast<int>(itemCount) - 1;
    if (low > high)
        return;
    BuildBitScanTables();

    // The caller's bit set covers at least the items up to high.
    const size_t bitWords = static_cast<size_t>(high >> 5) + 1;
    int runStart = -1;
    int runEnd = -1;  // one past the run's last item
    bool begun = false;
    auto draw = [&](int first, int last) {
        if (!begun) {
            begun = true;
            SetVertexStream(vertexBuffer);
            SetIndexBuffer(indexBuffer, 0);
            if (applyMaterial) {
                ApplyMaterial();
                ApplyShader(NoProjector, NoProjector, 0);
            }
        }
        IssueDraw(*this, first, last);
    };
    for (int byteIndex = low >> 3; byteIndex <= high >> 3; ++byteIndex) {
        uint32_t byte = ByteOf(bits, bitWords, byteIndex) & ~ByteOf(emptyItems.data(), emptyItems.size(), byteIndex);
        byte &= 0xFFu;
        if (byteIndex == low >> 3)
            byte &= (0xFFu << (low & 7)) & 0xFFu;
        if (byteIndex == high >> 3)
            byte &= 0xFFu >> (7 - (high & 7));
        while (byte != 0) {
            const int start = byteIndex * 8 + LowestSetBit[byte];
            const int end = byteIndex * 8 + SetRunEnd[byte];
            if (runStart >= 0 && runEnd == start) {
                runEnd = end;
            } else {
                if (runStart >= 0)
                    draw(runStart, runEnd - 1);
                runStart = start;
                runEnd = end;
            }
            const int endBit = SetRunEnd[byte];
            byte &= endBit >= 8 ? 0u : (0xFFu << endBit) & 0xFFu;
        }
    }
    if (runStart >= 0)
        draw(runStart, runEnd - 1);
    if (begun && applyMaterial)
        ResetTextureStages();
}

void RenderPart::DrawItem(int item, int applyMaterial, int projector1, int projector2, int projectorCount)
{
    passCount = 0;
    if (!built || item < 0 || item >= static_cast<int>(itemCount) || IsItemEmpty(item))
        return;
    // Without both buffers nothing is drawn: the bound stream belongs to
    // someone else.
    if (vertexBuffer == nullptr || indexBuffer == nullptr)
        return;
    if (applyMaterial) {
        ApplyMaterial();
        ApplyShader(projector1, projector2, projectorCount);
    }
    SetVertexStream(vertexBuffer);
    SetIndexBuffer(indexBuffer, 0);
    IssueDraw(*this, item, item);
    if (applyMaterial)
        ResetTextureStages();
}

void RenderPart::ApplyShader(int projector1, int projector2, int projectorCount)
{
    SetTextureStageStateCached(0, TssColorOp, TopModulate);
    passCount = 0;
    const int n = (projector1 < NoProjector ? 1 : 0) + (projector2 < NoProjector ? 1 : 0);
    const bool textured = material != nullptr && material->texture != nullptr;
    const int preLit = material != nullptr ? material->PreLit : 0;
    const int modulate2x = material != nullptr ? material->Modulate2x : 0;
    auto stageOneInUse = [] {
        SetTextureStageStateCached(1, TssColorOp, TopModulate);
        SetTextureStageStateCached(1, TssColorArg1, TaCurrent);
        SetTextureStageStateCached(1, TssColorArg2, TaTexture);
        SetTextureStageStateCached(1, TssAlphaOp, TopSelectArg1);
        SetTextureStageStateCached(1, TssAlphaArg1, TaCurrent);
    };

    if (material != nullptr && material->AddPass) {
        const VertexConstantSource *source = CurrentVertexConstantSource();
        SetStageTexture(0, source != nullptr ? source->LightTexture() : nullptr);
        int kind;
        if (textured) {
            kind = 12;
            SetStageTexture(1, material->texture);
            SetTextureStageStateCached(1, TssColorOp, TopModulate);
            SetTextureStageStateCached(1, TssColorArg1, TaCurrent);
            SetTextureStageStateCached(1, TssColorArg2, TaTexture);
            SetTextureStageStateCached(1, TssAlphaOp, TopSelectArg1);
            SetTextureStageStateCached(1, TssAlphaArg1, TaTexture);
        } else {
            SetTextureStageStateCached(0, TssColorArg1, TaTexture);
            SetTextureStageStateCached(0, TssColorArg2, TaDiffuse);
            if (n > 0) {
                kind = 10;
                passCount = 1;
                ApplyProjector(1, projector1);
                stageOneInUse();
            } else {
                kind = 9;
            }
        }
        GetVertexShaderProgram(kind, preLit, modulate2x);
        FlushStateCache();
        return;
    }

    if (material != nullptr && material->EnvMapped) {
        // Reflection constants: the eye in object space, the reflection
        // matrix and its scale.
        const float a = EnvironmentRotation[0];
        const float b = EnvironmentRotation[1];
        float worldView[16];
        float inverse[16];
        MultiplyMatrix(worldView, Transforms.world, Transforms.view);
        if (InvertMatrix(inverse, worldView) != 0)
            SetIdentityMatrix(inverse);
        const float eye[4] = {inverse[12], inverse[13], inverse[14], 1.0f};
        SetVertexConstants(30, eye, 1);
        float rotation[16];
        std::memcpy(rotation, Transforms.world, sizeof rotation);
        rotation[12] = rotation[13] = rotation[14] = 0.0f;
        const float r[16] = {0.5f * a, -0.5f * b, 0, 0, 0.5f * b, 0.5f * a, 0, 0, 0, 0, 0, 0, 0.5f, 0.5f, 0, 1};
        float product[16];
        MultiplyMatrix(product, rotation, r);
        TransposeMatrix(product, product);
        SetVertexConstants(31, product, 4);
        const float scale[4] = {1.0f, 1.0f, ReflectionScale, 1.0f};
        SetVertexConstants(35, scale, 1);
        GetVertexShaderProgram(8, preLit, modulate2x);
        FlushStateCache();
        return;
    }

    int kind = 0;
    bool stageZeroTexture = textured;
    if (n > 0 && !DeviceCanMultitexture()) {
        kind = 16;  // the projectors go to extra passes
    } else if (textured && n > 0) {
        kind = 6;
        passCount = 1;
        ApplyProjector(1, projector1);
        stageOneInUse();
    } else if (n == 1) {
        kind = 1;
        passCount = 1;
        ApplyProjector(0, projector1 < NoProjector ? projector1 : projector2);
        stageZeroTexture = GetShadowCasterTexture(projector1 < NoProjector ? projector1 : projector2) != nullptr;
        SetTextureStageStateCached(1, TssColorOp, TopAdd);
        SetTextureStageStateCached(1, TssColorArg1, TaCurrent);
        SetTextureStageStateCached(1, TssColorArg2, TaSpecular);
        SetTextureStageStateCached(1, TssAlphaOp, TopSelectArg1);
        SetTextureStageStateCached(1, TssAlphaArg1, TaCurrent);
    } else if (n == 2) {
        if (projectorCount == 2) {
            kind = 2;
            SetRenderStateCached(RsSpecularEnable, 1);
        } else {
            kind = 3;
        }
        passCount = 2;
        ApplyProjector(0, projector1);
        ApplyProjector(1, projector2);
        stageZeroTexture = GetShadowCasterTexture(projector1) != nullptr;
        stageOneInUse();
    }
    const bool doubled = modulate2x != 0 && static_cast<int>(passCount) >= projectorCount;
    if (stageZeroTexture) {
        SetTextureStageStateCached(0, TssColorOp, doubled ? TopModulate2x : TopModulate);
    } else {
        SetTextureStageStateCached(0, TssColorOp, doubled ? TopAdd : TopSelectArg1);
        SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
    }
    GetVertexShaderProgram(kind, preLit, modulate2x);
    FlushStateCache();
}

void RenderPart::ApplyProjector(int stage, int caster)
{
    SetStageTexture(stage, GetShadowCasterTexture(caster));
    float m[16];
    if (caster >= 0 && caster < MaxShadowCasters)
        MultiplyMatrix(m, Transforms.world, ShadowCasters[caster].textureMatrix);
    else
        std::memcpy(m, Transforms.world, sizeof m);
    TransposeMatrix(m, m);
    SetVertexConstants(stage == 0 ? 80 : 84, m, 4);
    const uint32_t address = RenderDevice.DeviceCaps.borderAddressing ? TaddressBorder : TaddressClamp;
    SetTextureStageStateCached(stage, TssAddressU, address);
    SetTextureStageStateCached(stage, TssAddressV, address);
    if (address == TaddressBorder)
        SetTextureStageStateCached(stage, TssBorderColor, 0xFFFFFFFFu);
}

void RenderPart::DrawExtraPass(int item, int mode)
{
    if (!built || item < 0 || item >= static_cast<int>(itemCount) || IsItemEmpty(item) || vertexBuffer == nullptr ||
        indexBuffer == nullptr)
        return;
    ApplyMaterial();
    const bool textured = material != nullptr && material->texture != nullptr;
    TextureRecord *second = material != nullptr ? material->secondTexture : nullptr;
    const int preLit = material != nullptr ? material->PreLit : 0;
    const int modulate2x = material != nullptr ? material->Modulate2x : 0;
    SetVertexStream(vertexBuffer);
    SetIndexBuffer(indexBuffer, 0);
    auto modulateStageZero = [] {
        SetTextureStageStateCached(0, TssColorOp, TopModulate);
        SetTextureStageStateCached(0, TssColorArg1, TaTexture);
        SetTextureStageStateCached(0, TssColorArg2, TaDiffuse);
    };
    if ((mode == 2 || mode == 3) && second != nullptr) {
        if (textured) {
            modulateStageZero();
            GetVertexShaderProgram(7, preLit, modulate2x);
            FlushStateCache();
            IssueDraw(*this, item, item);
        }
        SetStageTexture(0, second);
        SetStageTexture(1, nullptr);
        modulateStageZero();
        SetTextureStageStateCached(1, TssColorOp, TopDisable);
        if (mode == 2)
            SetRenderStateCached(RsSpecularEnable, 1);
        GetVertexShaderProgram(mode == 2 ? 11 : 13, preLit, modulate2x);
        FlushStateCache();
        IssueDraw(*this, item, item);
        if (mode == 2)
            SetRenderStateCached(RsSpecularEnable, 0);
        return;
    }
    if (textured) {
        modulateStageZero();
        GetVertexShaderProgram(7, preLit, modulate2x);
    } else {
        SetTextureStageStateCached(0, TssColorOp, TopSelectArg1);
        SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
        GetVertexShaderProgram(5, preLit, modulate2x);
    }
    FlushStateCache();
    IssueDraw(*this, item, item);
}

void RenderPart::ApplyMaterial()
{
    SetCurrentMaterial(material);
    if (!ApplyMaterialTexture(material, 0)) {
        SetStageTexture(0, nullptr);
        SetRenderStateCached(RsAlphaTestEnable, 0);
    }
}

// --- RenderObject ----------------------------------------------------------------

RenderObject::RenderObject(const char *objectName, int notInMapFlag)
{
    CopyString(name, RenderObjectNameSize, objectName);
    notInMap = notInMapFlag != 0 ? 1u : 0u;
    SetIdentityMatrix(matrix);
    BuildBitScanTables();
    nextLive = LiveObjects;
    if (LiveObjects != nullptr)
        LiveObjects->previousLive = this;
    LiveObjects = this;
}

RenderObject::~RenderObject()
{
    if (notInMap == 0) {
        auto &map = ObjectMap();
        const auto found = map.find(name);
        if (found != map.end() && found->second == this)
            map.erase(found);
    }
    if (previousLive != nullptr)
        previousLive->nextLive = nextLive;
    else if (LiveObjects == this)
        LiveObjects = nextLive;
    if (nextLive != nullptr)
        nextLive->previousLive = previousLive;
    delete[] parts;
    delete[] bounds;
}

int RenderObject::InitParts(int count, int itemsExpected)
{
    if (built)
        return -1;
    if (count < 0)
        count = 0;
    if (count > MaxRenderParts)
        count = MaxRenderParts;
    delete[] parts;
    parts = count > 0 ? new RenderPart[static_cast<size_t>(count)] : nullptr;
    partCount = count;
    expectedItems = itemsExpected > 0 ? itemsExpected : 0;
    for (int i = 0; i < partCount; ++i)
        parts[i].Init(expectedItems);
    itemCount = 0;
    collecting = 0;
    return 0;
}

void RenderObject::SetPartMaterial(int part, Material *material, uint32_t word0, uint32_t word1, uint32_t word2,
                                   uint32_t word3)
{
    if (part < 0 || part >= partCount)
        return;
    RenderPart &p = parts[part];
    p.material = material;
    p.stateWords[0] = word0;
    p.stateWords[1] = word1;
    p.stateWords[2] = word2;
    p.stateWords[3] = word3;
    if (word0 != VertexKindOfMaterial)
        p.vertexKind = word0;
    else
        p.vertexKind = GetVertexKindOfMaterial(material);
}

int RenderObject::FindPart(const Material *material, RenderPart **part) const
{
    for (int i = 0; i < partCount; ++i) {
        if (parts[i].material == material) {
            if (part != nullptr)
                *part = &parts[i];
            return i;
        }
    }
    if (part != nullptr)
        *part = nullptr;
    return partCount;
}

int RenderObject::ClearParts()
{
    if (built)
        return -1;
    if (collecting)
        FinishParts();
    for (int i = 0; i < partCount; ++i)
        parts[i].ClearItem();
    collecting = 1;
    return itemCount++;
}

void RenderObject::FinishParts()
{
    if (!collecting)
        return;
    for (int i = 0; i < partCount; ++i)
        parts[i].FinishItem();
    collecting = 0;
}

void RenderObject::Build(int withBounds)
{
    if (built)
        return;
    FinishParts();
    editing = 0;

    if (withBounds && partCount > 0) {
        const RenderPart &part0 = parts[0];
        float lo[3] = {0.0f, 0.0f, 0.0f};
        float hi[3] = {0.0f, 0.0f, 0.0f};
        for (const PartVertex &v : part0.vertices) {
            const float p[3] = {v.x, v.y, v.z};
            for (int k = 0; k < 3; ++k) {
                if (p[k] < lo[k])
                    lo[k] = p[k];
                if (p[k] > hi[k])
                    hi[k] = p[k];
            }
        }
        hullVertexCount = static_cast<int>(part0.vertices.size());
        delete[] bounds;
        bounds = new float[24 + 3 * static_cast<size_t>(hullVertexCount)];
        // Corner i takes the high x when bit 0 is set, y bit 1, z bit 2.
        for (int i = 0; i < 8; ++i) {
            bounds[3 * i] = (i & 1) ? hi[0] : lo[0];
            bounds[3 * i + 1] = (i & 2) ? hi[1] : lo[1];
            bounds[3 * i + 2] = (i & 4) ? hi[2] : lo[2];
        }
        for (int i = 0; i < hullVertexCount; ++i) {
            bounds[24 + 3 * i] = part0.vertices[static_cast<size_t>(i)].x;
            bounds[24 + 3 * i + 1] = part0.vertices[static_cast<size_t>(i)].y;
            bounds[24 + 3 * i + 2] = part0.vertices[static_cast<size_t>(i)].z;
        }
    }

    for (int i = 0; i < partCount; ++i)
        parts[i].BuildBuffers();

    bitSetWords = (itemCount + 63) / 32;
    plainBits.assign(static_cast<size_t>(bitSetWords), 0);
    maskedBits.assign(static_cast<size_t>(bitSetWords), 0);
    itemMasks.assign(static_cast<size_t>(itemCount), 0);
    maskUnion = 0;
    built = 1;
    plainLow = maskedLow = itemCount;
    plainHigh = maskedHigh = 0;
}

void RenderObject::SetPartVisible(int item, uint32_t mask)
{
    if (!built || item < 0 || item >= itemCount)
        return;
    itemMasks[static_cast<size_t>(item)] = mask;
    if (mask != 0) {
        maskUnion |= mask;
        SetBit(maskedBits, item);
        if (item < maskedLow)
            maskedLow = item;
        if (item > maskedHigh)
            maskedHigh = item;
    } else {
        SetBit(plainBits, item);
        if (item < plainLow)
            plainLow = item;
        if (item > plainHigh)
            plainHigh = item;
    }
}

void RenderObject::DrawVisible()
{
    if (!built)
        return;
    std::memcpy(matrix, Transforms.world, sizeof matrix);
    if (plainLow <= plainHigh)
        for (int i = 0; i < partCount; ++i)
            parts[i].DrawItems(plainBits.data(), plainLow, plainHigh, 1);
    std::fill(plainBits.begin(), plainBits.end(), 0u);
    plainLow = itemCount;
    plainHigh = 0;
}

void RenderObject::DrawWithAddPass(int blendAlreadyOn)
{
    if (!built)
        return;
    std::memcpy(matrix, Transforms.world, sizeof matrix);
    const bool marked = plainLow <= plainHigh;
    if (marked)
        for (int i = 0; i < partCount; ++i)
            parts[i].DrawItems(plainBits.data(), plainLow, plainHigh, 1);
    bool added = false;
    for (int i = 0; i < partCount; ++i)
        added = added || (parts[i].material != nullptr && parts[i].material->AddPass);
    if (marked && added) {
        if (!blendAlreadyOn)
            SetRenderStateCached(RsAlphaBlendEnable, 1);
        SetRenderStateCached(RsDestBlend, BlendOne);
        if (RenderDevice.FogEnabled)
            ApplyFogMode(3);
        for (int item = plainLow; item <= plainHigh; ++item) {
            if (!TestBit(plainBits, item))
                continue;
            for (int i = 0; i < partCount; ++i) {
                RenderPart &part = parts[i];
                if (part.material != nullptr && part.material->AddPass)
                    part.DrawExtraPass(item, part.material->texture != nullptr ? 3 : 2);
            }
        }
        ResetTextureStages();
        if (!blendAlreadyOn)
            SetRenderStateCached(RsAlphaBlendEnable, 0);
        SetRenderStateCached(RsDestBlend, BlendInvSrcAlpha);
        ApplyFogMode(1);
    }
    std::fill(plainBits.begin(), plainBits.end(), 0u);
    plainLow = itemCount;
    plainHigh = 0;
}

void RenderObject::DrawPartRange(int low, int high, int lastDoubled)
{
    for (bool again = true; again;) {
        again = false;
        for (int item = low; item <= high; ++item) {
            if (!TestBit(maskedBits, item))
                continue;
            for (int i = 0; i < partCount; ++i) {
                RenderPart &part = parts[i];
                if (static_cast<size_t>(item) >= part.itemCount)
                    continue;
                uint32_t &leftover = part.itemData[2 * static_cast<size_t>(item)];
                if (leftover == 0)
                    continue;
                if (part.IsItemEmpty(item) || part.vertexBuffer == nullptr || part.indexBuffer == nullptr) {
                    leftover = 0;
                    continue;
                }
                again = true;
                if (!ApplyMaterialTexture(DefaultMaterial, 0)) {
                    SetStageTexture(0, nullptr);
                    SetRenderStateCached(RsAlphaTestEnable, 0);
                }
                SetRenderStateCached(RsAlphaBlendEnable, 1);
                SetRenderStateCached(RsSrcBlend, BlendZero);
                SetRenderStateCached(RsDestBlend, BlendSrcColor);
                SetRenderStateCached(RsZFunc, CmpEqual);
                ApplyFogMode(4);
                const int j1 = FindNextSetBit(leftover, 0);
                uint32_t drawn = 1u << j1;
                part.ApplyProjector(0, j1);
                const int j2 = FindNextSetBit(leftover, j1 + 1);
                if (DeviceCanMultitexture() && j2 < NoProjector) {
                    part.ApplyProjector(1, j2);
                    drawn |= 1u << j2;
                    SetTextureStageStateCached(1, TssColorOp, TopModulate);
                    SetTextureStageStateCached(1, TssColorArg1, TaCurrent);
                    SetTextureStageStateCached(1, TssColorArg2, TaTexture);
                    SetTextureStageStateCached(1, TssAlphaOp, TopSelectArg1);
                    SetTextureStageStateCached(1, TssAlphaArg1, TaCurrent);
                    GetVertexShaderProgram(4, 0, 0);
                } else {
                    SetTextureStageStateCached(1, TssColorOp, TopDisable);
                    GetVertexShaderProgram(15, 0, 0);
                }
                const uint32_t remaining = leftover & ~drawn;
                // The last pass of a doubled material multiplies the
                // destination by twice the shadow.
                const bool doubledPass =
                    lastDoubled && remaining == 0 && part.material != nullptr && part.material->Modulate2x;
                if (doubledPass)
                    SetRenderStateCached(RsSrcBlend, BlendDestColor);
                FlushStateCache();
                SetVertexStream(part.vertexBuffer);
                SetIndexBuffer(part.indexBuffer, 0);
                IssueDraw(part, item, item);
                SetRenderStateCached(RsSrcBlend, BlendZero);
                SetRenderStateCached(RsDestBlend, BlendSrcColor);
                ApplyFogMode(4);
                leftover = remaining;
            }
        }
    }
}

void RenderObject::DrawMasked(int projectors)
{
    if (!built || maskUnion == 0)
        return;
    std::memcpy(matrix, Transforms.world, sizeof matrix);
    const int active = ActiveShadowCasterCount < 0 ? 0 : ActiveShadowCasterCount;
    auto lowBits = [](int count) {
        return count >= 32 ? 0xFFFFFFFFu : count <= 0 ? 0u : (1u << count) - 1u;
    };
    const uint32_t existing = lowBits(active);
    const uint32_t firstN = lowBits(projectors);
    const uint32_t honoured = firstN & existing;
    bool extraPasses = false;
    bool drawn = false;

    // Step 1: every masked item with up to two of its projectors.
    for (int item = maskedLow; item <= maskedHigh; ++item) {
        if (!TestBit(maskedBits, item))
            continue;
        const uint32_t itemMask = itemMasks[static_cast<size_t>(item)];
        for (int i = 0; i < partCount; ++i) {
            RenderPart &part = parts[i];
            if (static_cast<size_t>(item) >= part.itemCount)
                continue;
            uint32_t m = itemMask & honoured;
            const int j1 = FindNextSetBit(m, 0);
            const int j2 = j1 < 32 ? FindNextSetBit(m, j1 + 1) : NoProjector;
            const int count = CountSetBits(m);
            const Material *material = part.material;
            const bool halfFog = j1 < NoProjector && j2 < NoProjector && material != nullptr && material->Modulate2x &&
                                 RenderDevice.FogEnabled;
            if (halfFog)
                ApplyFogMode(2);
            part.DrawItem(item, 1, j1, j2, count);
            if (halfFog)
                ApplyFogMode(1);
            drawn = drawn || (!part.IsItemEmpty(item) && part.vertexBuffer != nullptr);
            if (part.passCount >= 1 && j1 < 32)
                m &= ~(1u << j1);
            if (part.passCount >= 2 && j2 < 32)
                m &= ~(1u << j2);
            // The projectors this draw did not consume are left for the
            // multiplicative passes.
            part.itemData[2 * static_cast<size_t>(item)] = m;
            const bool textured = material != nullptr && material->texture != nullptr;
            const bool flag = (material == nullptr || !material->EnvMapped) &&
                              ((textured && count > 0) || (!textured && count > 2) ||
                               (!textured && !DeviceCanMultitexture() && count >= 1));
            part.itemData[2 * static_cast<size_t>(item) + 1] = flag ? 1u : 0u;
            extraPasses = extraPasses || flag;
        }
    }

    // Step 2: the leftover projectors, multiplied onto what is drawn.
    DrawPartRange(maskedLow, maskedHigh, 1);

    // Step 3: the hemisphere light added on top of shadowed sun light.
    if (extraPasses) {
        ResetTextureStages();
        SetRenderStateCached(RsAlphaBlendEnable, 1);
        SetRenderStateCached(RsSrcBlend, BlendOne);
        SetRenderStateCached(RsDestBlend, BlendOne);
        SetRenderStateCached(RsZFunc, CmpEqual);
        ApplyFogMode(3);
        for (int item = maskedLow; item <= maskedHigh; ++item) {
            if (!TestBit(maskedBits, item))
                continue;
            for (int i = 0; i < partCount; ++i)
                if (static_cast<size_t>(item) < parts[i].itemCount &&
                    parts[i].itemData[2 * static_cast<size_t>(item) + 1] != 0)
                    parts[i].DrawExtraPass(item, 1);
        }
    }

    // Step 4: casters that exist beyond the first n, without doubling.
    const uint32_t beyond = existing & ~firstN;
    if ((maskUnion & beyond) != 0) {
        for (int item = maskedLow; item <= maskedHigh; ++item) {
            if (!TestBit(maskedBits, item))
                continue;
            for (int i = 0; i < partCount; ++i)
                if (static_cast<size_t>(item) < parts[i].itemCount)
                    parts[i].itemData[2 * static_cast<size_t>(item)] = itemMasks[static_cast<size_t>(item)] & beyond;
        }
        DrawPartRange(maskedLow, maskedHigh, 0);
    }

    if (drawn) {
        ResetTextureStages();
        SetRenderStateCached(RsAlphaBlendEnable, 0);
        SetRenderStateCached(RsSrcBlend, BlendSrcAlpha);
        SetRenderStateCached(RsDestBlend, BlendInvSrcAlpha);
        ApplyFogMode(1);
        SetRenderStateCached(RsZFunc, CmpLessEqual);
    }
    std::fill(maskedBits.begin(), maskedBits.end(), 0u);
    maskUnion = 0;
    maskedLow = itemCount;
    maskedHigh = 0;
}

void RenderObject::DrawItemWithMatrix(const float *itemMatrix, int item)
{
    if (!built || itemMatrix == nullptr)
        return;
    float combined[16];
    MultiplyMatrix(combined, matrix, itemMatrix);
    TransposeMatrix(combined, combined);
    SetVertexConstants(80, combined, 4);
    for (int i = 0; i < partCount; ++i)
        parts[i].DrawItem(item, 1, NoProjector, NoProjector, 0);
}

int RenderObject::OpenForEdit()
{
    if (built)
        return -1;
    editing = 1;
    return 0;
}

RenderPart *RenderObject::GetLevelMesh(int level, int part)
{
    if (!editing || built || level < 0 || level >= expectedItems || part < 0 || part >= partCount)
        return nullptr;
    if (collecting) {
        if (itemCount - 1 == level)
            return &parts[part];
        if (level < itemCount - 1)
            return nullptr;  // finished already
        FinishParts();
    } else if (level < itemCount) {
        return nullptr;  // finished already
    }
    while (itemCount < level) {
        ClearParts();
        FinishParts();
    }
    ClearParts();
    return &parts[part];
}

void RenderObject::CloseEdit()
{
    FinishParts();
    editing = 0;
}

// --- Mesh store --------------------------------------------------------------------

RenderObject *CreateRenderObject(const char *name)
{
    RenderObject *object = new RenderObject(name, 0);
    if (!ObjectMap().emplace(object->name, object).second)
        object->notInMap = 1;
    return object;
}

void DeleteRenderObject(RenderObject **object)
{
    if (object == nullptr || *object == nullptr)
        return;
    delete *object;
    *object = nullptr;
}

void DeleteAllRenderObjects()
{
    std::map<std::string, RenderObject *, CaseInsensitiveLess> entries;
    entries.swap(ObjectMap());
    for (auto &entry : entries) {
        entry.second->notInMap = 1;
        delete entry.second;
    }
}

RenderObject *FindRenderObject(const char *name)
{
    if (name == nullptr)
        return nullptr;
    char key[RenderObjectNameSize];
    CopyString(key, RenderObjectNameSize, name);
    const auto found = ObjectMap().find(key);
    return found != ObjectMap().end() ? found->second : nullptr;
}

int RenderObjectMapCount()
{
    return static_cast<int>(ObjectMap().size());
}

void ReleaseRenderObjectBuffers()
{
    for (RenderObject *object = LiveObjects; object != nullptr; object = object->nextLive)
        for (int i = 0; i < object->partCount; ++i)
            object->parts[i].ReleaseBuffers();
}

// --- Transforms --------------------------------------------------------------------

void SetIdentityMatrix(float *m)
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void MultiplyMatrix(float *out, const float *a, const float *b)
{
    float r[16];
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            r[row * 4 + col] = a[row * 4] * b[col] + a[row * 4 + 1] * b[4 + col] + a[row * 4 + 2] * b[8 + col] +
                               a[row * 4 + 3] * b[12 + col];
    std::memcpy(out, r, sizeof r);
}

void TransposeMatrix(float *out, const float *m)
{
    float r[16];
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            r[col * 4 + row] = m[row * 4 + col];
    std::memcpy(out, r, sizeof r);
}

int InvertMatrix(float *out, const float *m)
{
    float inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0.0f || !std::isfinite(det))
        return -1;
    const float scale = 1.0f / det;
    for (int i = 0; i < 16; ++i)
        out[i] = inv[i] * scale;
    return 0;
}

void SetScaleMatrix(float *m, float sx, float sy, float sz)
{
    SetIdentityMatrix(m);
    m[0] = sx;
    m[5] = sy;
    m[10] = sz;
}

void ScaleMatrixAxes(float *m, float sx, float sy, float sz)
{
    for (int row = 0; row < 4; ++row) {
        m[row * 4] *= sx;
        m[row * 4 + 1] *= sy;
        m[row * 4 + 2] *= sz;
    }
}

void TransformPoint(float *out, const float *p, const float *m)
{
    float r[3];
    for (int col = 0; col < 3; ++col)
        r[col] = p[0] * m[col] + p[1] * m[4 + col] + p[2] * m[8 + col] + m[12 + col];
    out[0] = r[0];
    out[1] = r[1];
    out[2] = r[2];
}

int SetPerspective(float w, float nearPlane, float farPlane, float ox, float oy)
{
    if (!(w > 0.0f) || !std::isfinite(w))
        return -1;
    Transforms.viewWidth = w;
    Transforms.nearPlane = nearPlane;
    Transforms.farPlane = farPlane;
    float *p = Transforms.projection;
    for (int i = 0; i < 16; ++i)
        p[i] = 0.0f;
    // A left-handed perspective; the field of view terms are replaced
    // below, so only the depth terms remain of it. Equal planes would
    // divide by zero: the depth then stays at 1.
    const float depth = farPlane - nearPlane;
    p[10] = depth != 0.0f ? farPlane / depth : 1.0f;
    p[11] = 1.0f;
    p[14] = depth != 0.0f ? -nearPlane * farPlane / depth : -nearPlane;
    const RenderViewport &viewport = RenderDevice.Viewport;
    const float aspect = viewport.height != 0 ? static_cast<float>(viewport.width) / static_cast<float>(viewport.height)
                                              : 1.0f;
    p[0] = 2.0f / w;
    p[5] = 2.0f * aspect / w;
    p[8] = ox;
    p[9] = oy;
    SendTransform(TransformProjection, p);
    return 0;
}

int SetProjection(float size)
{
    const RenderViewport &viewport = RenderDevice.Viewport;
    const float ratio = viewport.width != 0 ? static_cast<float>(viewport.height) / static_cast<float>(viewport.width)
                                            : 1.0f;
    const float width = Transforms.viewWidth * size;
    const float height = width * ratio;
    if (!(width != 0.0f) || !(height != 0.0f) || !std::isfinite(width) || !std::isfinite(height))
        return -1;
    float *p = Transforms.projection;
    for (int i = 0; i < 16; ++i)
        p[i] = 0.0f;
    // A left-handed orthographic box; equal planes keep the depth at 0.
    const float depth = Transforms.farPlane - Transforms.nearPlane;
    p[0] = 2.0f / width;
    p[5] = 2.0f / height;
    p[10] = depth != 0.0f ? 1.0f / depth : 0.0f;
    p[14] = depth != 0.0f ? -Transforms.nearPlane / depth : 0.0f;
    p[15] = 1.0f;
    SendTransform(TransformProjection, p);
    return 0;
}

void ResetWorldMatrix()
{
    SetIdentityMatrix(Transforms.world);
    SetIdentityMatrix(Transforms.worldInverse);
    SendTransform(TransformWorld, Transforms.world);
}

void SetWorldMatrix(const float *m)
{
    std::memcpy(Transforms.world, m, sizeof Transforms.world);
    if (InvertMatrix(Transforms.worldInverse, m) != 0) {
        SetIdentityMatrix(Transforms.worldInverse);
        static bool logged = false;
        if (!logged) {
            logged = true;
            RenderLog("singular world matrix - identity taken as its inverse");
        }
    }
    SendTransform(TransformWorld, Transforms.world);
}

void ResetViewMatrix()
{
    SetIdentityMatrix(Transforms.view);
    SendTransform(TransformView, Transforms.view);
}

void SetViewMatrix(const float *m)
{
    std::memcpy(Transforms.view, m, sizeof Transforms.view);
    SendTransform(TransformView, Transforms.view);
}

void FlipCullMode()
{
    SetRenderStateCached(RsCullMode, WantedRenderState(RsCullMode) == CullCw ? CullCcw : CullCw);
}

const TransformState &GetTransformState()
{
    return Transforms;
}

// --- Vertex-shader constants -------------------------------------------------------

float ObjectSpaceMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
float EnvironmentRotation[2] = {1.0f, 0.0f};
float ReflectionScale = 1.0f;

bool DeviceCanMultitexture()
{
    return RenderDevice.DeviceCaps.maxSimultaneousTextures >= 2;
}

void SetVertexConstants(int firstRegister, const float *values, int registerCount)
{
    if (values == nullptr || registerCount <= 0)
        return;
    int first = firstRegister;
    int end = firstRegister + registerCount;
    if (first < 0)
        first = 0;
    if (end > VertexConstantRegisters)
        end = VertexConstantRegisters;
    if (first >= end)
        return;
    const float *from = values + 4 * (first - firstRegister);
    std::memcpy(ConstantFile[first], from, sizeof(float) * 4 * static_cast<size_t>(end - first));
    if (RenderDevice.Device != nullptr)
        RenderDevice.Device->SetVertexShaderConstant(first, from, end - first);
}

const float *GetVertexConstant(int reg)
{
    if (reg < 0 || reg >= VertexConstantRegisters)
        return nullptr;
    return ConstantFile[reg];
}

void VertexConstantSource::UploadVertexConstants()
{
    SetVertexConstants(6, sunColour, 1);

    const float *o = ObjectSpaceMatrix;
    const float up[4] = {o[8] + o[12], o[9] + o[13], o[10] + o[14], o[11] + o[15]};
    SetVertexConstants(7, up, 1);

    const float ground[4] = {groundFactors[0] * skyColour[0], groundFactors[1] * skyColour[1],
                             groundFactors[2] * skyColour[2], groundW};
    float hemisphere[8];
    for (int k = 0; k < 4; ++k) {
        const float half = (skyColour[k] - ground[k]) / 2.0f;
        hemisphere[k] = ground[k] + half;
        hemisphere[4 + k] = half;
    }
    SetVertexConstants(8, hemisphere, 2);

    float sun[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    TransformPoint(sun, sunDirection, ObjectSpaceMatrix);
    SetVertexConstants(10, sun, 1);

    MultiplyMatrix(Transforms.worldViewProjection, Transforms.world, Transforms.view);
    MultiplyMatrix(Transforms.worldViewProjection, Transforms.worldViewProjection, Transforms.projection);
    float transposed[16];
    TransposeMatrix(transposed, Transforms.worldViewProjection);
    SetVertexConstants(0, transposed, 4);
}

void UseVertexConstantSource(VertexConstantSource *source)
{
    CurrentConstantSource = source;
    (source != nullptr ? source : &DefaultConstantSource)->UploadVertexConstants();
}

void UseDefaultVertexConstants()
{
    UseVertexConstantSource(nullptr);
}

VertexConstantSource *CurrentVertexConstantSource()
{
    return CurrentConstantSource;
}

// --- Bit scans ---------------------------------------------------------------------

void BuildBitScanTables()
{
    if (BitScanTablesBuilt)
        return;
    for (int b = 0; b < 256; ++b) {
        int low = 0;
        while (low < 8 && !((b >> low) & 1))
            ++low;
        LowestSetBit[b] = static_cast<uint8_t>(low < 8 ? low : 0);
        int end = low < 8 ? low : 0;
        while (end < 8 && ((b >> end) & 1))
            ++end;
        SetRunEnd[b] = static_cast<uint8_t>(end);
        int clear = 0;
        while (clear < 8 && ((b >> clear) & 1))
            ++clear;
        LowestClearBit[b] = static_cast<uint8_t>(clear);
    }
    BitScanTablesBuilt = true;
}

int FindNextSetBit(uint32_t mask, int start)
{
    if (start < 0)
        start = 0;
    if (start >= 32)
        return 32;
    uint32_t m = mask & (0xFFFFFFFFu << start);
    if (m == 0)
        return 32;
    BuildBitScanTables();
    for (int byteIndex = 0; byteIndex < 4; ++byteIndex) {
        const uint32_t byte = (m >> (byteIndex * 8)) & 0xFFu;
        if (byte != 0)
            return byteIndex * 8 + LowestSetBit[byte];
    }
    return 32;
}

int CountSetBits(uint32_t mask)
{
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
}
