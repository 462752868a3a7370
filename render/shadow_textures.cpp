#include "render/shadow_textures.h"

#include "render/device_resources.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/render_object.h"
#include "render/shadow_casters.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"
#include "render/vertex_shaders.h"

#include <cmath>
#include <cstdio>

int ShadowFailure = 0;

namespace {

constexpr int AtlasSides[4] = {1024, 512, 256, 128};
constexpr uint32_t White = 0xFFFFFFFFu;

TextureRecord *AtlasTextures[4] = {};
TextureRecord *TileTextures[ShadowTileSlots] = {};

int SmallCells = 0;
int MediumCells = 0;
int LargeCells = 0;

GraphicsDevice *Device()
{
    return RenderDevice.Device;
}

float Dot3(const float *a, const float *b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

bool Normalise3(float *v)
{
    const float length = std::sqrt(Dot3(v, v));
    if (!(length > 1e-6f) || !std::isfinite(length)) {
        return false;
    }
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
    return true;
}

// The texture matrix of a view-projection: x and y scaled by (0.5, ys) and
// moved by half of w, so that clip space -1..1 becomes 0..1.
void MakeTextureMatrix(float *out, const float *viewProjection, float ys)
{
    for (int row = 0; row < 4; ++row) {
        const float *in = &viewProjection[row * 4];
        out[row * 4 + 0] = 0.5f * in[0] + 0.5f * in[3];
        out[row * 4 + 1] = ys * in[1] + 0.5f * in[3];
        out[row * 4 + 2] = in[2];
        out[row * 4 + 3] = in[3];
    }
}

void PreparePresetCaster(ShadowCaster &caster)
{
    float view[16];
    if (InvertMatrix(view, caster.lightMatrix) != 0) {
        SetIdentityMatrix(view);
    }
    const float t = std::tan(caster.fieldOfView);
    const float k = std::isfinite(t) && std::fabs(t) > 1e-6f ? 1.0f / t : 1.0f;
    // Perspective: x and y over the distance along the light's z.
    const float projection[16] = {k, 0, 0, 0, 0, k, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0};
    MultiplyMatrix(caster.lightViewProjection, view, projection);
    MakeTextureMatrix(caster.textureMatrix, caster.lightViewProjection, 0.5f);
    caster.texture = caster.presetTexture;
}

// The tile slot's texture of the cell's side, made (and cleared to white)
// when new. False when it cannot be made.
bool GetTileTexture(const ShadowCell &cell, TextureRecord **out)
{
    TextureRecord *&slot = TileTextures[cell.tileSlot];
    if (slot != nullptr && (slot->texture == 0 || static_cast<int>(slot->width) != cell.side)) {
        DeleteTexture(slot);
        slot = nullptr;
    }
    if (slot == nullptr) {
        char name[TextureNameSize];
        std::snprintf(name, sizeof(name), "X%dY%d~%d", cell.index % cell.perRow, cell.index / cell.perRow, cell.side);
        TextureRecord *record = nullptr;
        if (CreateTexture(name, cell.side, cell.side, ShadowTextureFormat, &record, 1, 1, 1, 0) != 0 ||
            record == nullptr || record->texture == 0) {
            if (record != nullptr) {
                DeleteTexture(record);
            }
            return false;
        }
        slot = record;
        if (BeginRenderToTexture(slot, 0) != 0) {
            BeginRenderScene();
            ClearFrame(White, ClearTarget);
        }
    }
    *out = slot;
    return true;
}

// One quad over the target's top-left width x height pixels with the
// texture, u and v from (u0, v0) to (u1, v1). Pixel centres fall on whole
// pixel numbers, so the corners go half a pixel before the first centre and
// after the last: no centre lies on an edge, and pixel i samples
// u0 + (i + 0.5) / width of the range.
void DrawTextureQuad(TextureRecord *texture, int width, int height, float u0, float v0, float u1, float v1)
{
    TextureRecord *saved = DefaultMaterial != nullptr ? DefaultMaterial->texture : nullptr;
    if (DefaultMaterial != nullptr) {
        DefaultMaterial->texture = texture;
    }
    SetTextureStageStateCached(0, TssAddressU, TaddressClamp);
    SetTextureStageStateCached(0, TssAddressV, TaddressClamp);
    SetTextureStageStateCached(0, TssMinFilter, TexfLinear);
    SetTextureStageStateCached(0, TssMagFilter, TexfLinear);
    BeginScreenBatch(DefaultMaterial);
    const float w = static_cast<float>(width) - 0.5f;
    const float h = static_cast<float>(height) - 0.5f;
    const uint16_t a = AddScreenVertexRaw(-0.5f, -0.5f, u0, v0, White);
    const uint16_t b = AddScreenVertexRaw(w, -0.5f, u1, v0, White);
    const uint16_t c = AddScreenVertexRaw(w, h, u1, v1, White);
    const uint16_t d = AddScreenVertexRaw(-0.5f, h, u0, v1, White);
    AddScreenQuad(a, b, c, d);
    FlushScreenBatch();
    if (DefaultMaterial != nullptr) {
        DefaultMaterial->texture = saved;
    }
}

// Item `item` of every part of the object, as the flat colour c84 through
// the light view-projection.
void DrawCasterObject(RenderObject *object, int item, const float *lightViewProjection)
{
    if (object == nullptr || !object->built) {
        return;
    }
    float combined[16];
    MultiplyMatrix(combined, object->matrix, lightViewProjection);
    TransposeMatrix(combined, combined);
    SetVertexConstants(80, combined, 4);
    for (int i = 0; i < object->partCount; ++i) {
        RenderPart &part = object->parts[i];
        const int preLit = part.material != nullptr ? part.material->PreLit : 0;
        GetVertexShaderProgram(14, preLit, 0);
        part.DrawItem(item, 0, NoProjector, NoProjector, 0);
    }
}

void Finish(int code, const RenderViewport &savedViewport)
{
    EndRenderToTexture();
    SetViewportRecord(savedViewport);
    BeginRenderScene();
    if (RenderDevice.FogEnabled) {
        ApplyFogMode(1);
    }
    ResetTextureStages();
    FlushStateCache();
    if (code != 0) {
        ShadowFailure = code;
        ActiveShadowCasterCount = 0;
    }
}

int AtlasSlot(int side)
{
    for (int i = 0; i < 4; ++i) {
        if (AtlasSides[i] == side) {
            return i;
        }
    }
    return -1;
}

}  // namespace

void DrawShadowHalving(TextureRecord *source, int sourceSide)
{
    // Pixel i samples u = (2i + 1) / s, the edge between texels 2i and
    // 2i + 1, where bilinear filtering averages the two.
    DrawTextureQuad(source, sourceSide / 2, sourceSide / 2, 0.0f, 0.0f, 1.0f, 1.0f);
}

void AddShadowCaster(ShadowCaster *caster, RenderObject *object, int item)
{
    if (caster == nullptr || object == nullptr || caster->objectCount >= MaxShadowCasterObjects) {
        return;
    }
    caster->objects[caster->objectCount] = object;
    caster->items[caster->objectCount] = item;
    ++caster->objectCount;
}

TextureRecord *GetShadowTexture(int side)
{
    const int slot = AtlasSlot(side);
    if (slot < 0) {
        return nullptr;
    }
    TextureRecord *&record = AtlasTextures[slot];
    if (record != nullptr && record->texture == 0) {
        DeleteTexture(record);
        record = nullptr;
    }
    if (record == nullptr) {
        char name[TextureNameSize];
        std::snprintf(name, sizeof(name), "0~SHTX%d", side);
        TextureRecord *made = nullptr;
        if (CreateTexture(name, side, side, ShadowTextureFormat, &made, 1, 1, 1, 0) != 0 || made == nullptr) {
            return nullptr;
        }
        if (made->texture == 0) {
            DeleteTexture(made);
            return nullptr;
        }
        record = made;
    }
    return record;
}

TextureRecord *GetShadowTileTexture(int slot)
{
    return slot >= 0 && slot < ShadowTileSlots ? TileTextures[slot] : nullptr;
}

void ReleaseShadowTextures()
{
    for (TextureRecord *&record : TileTextures) {
        DeleteTexture(record);
        record = nullptr;
    }
    for (TextureRecord *&record : AtlasTextures) {
        DeleteTexture(record);
        record = nullptr;
    }
    for (ShadowCaster &caster : ShadowCasters) {
        caster.texture = nullptr;
    }
    ActiveShadowCasterCount = 0;
    ShadowFailure = 0;
}

void ResetShadowCells()
{
    SmallCells = 0;
    MediumCells = 0;
    LargeCells = 0;
}

ShadowCell AllocateShadowCell(int kind, int base, int tileSide)
{
    const bool big = tileSide >= 64;
    ShadowCell cell{};
    int counter = 0;
    int slotBase = 0;
    if (big && kind != 0) {
        cell.side = base / 4;
        cell.perRow = 16;
        counter = SmallCells++;
        cell.index = 224 + counter;
        slotBase = 32;
    } else if (big && LargeCells < 8) {
        cell.side = base;
        cell.perRow = 4;
        counter = LargeCells++;
        cell.index = counter;
        slotBase = 0;
    } else if (big) {
        cell.side = base / 2;
        cell.perRow = 8;
        counter = MediumCells++;
        cell.index = 32 + counter;
        slotBase = 8;
    } else if (kind == 0 && MediumCells < 8) {
        cell.side = base;
        cell.perRow = 4;
        counter = MediumCells++;
        cell.index = counter;
        slotBase = 8;
    } else {
        cell.side = base / 2;
        cell.perRow = 8;
        counter = SmallCells++;
        cell.index = 32 + counter;
        slotBase = 32;
    }
    cell.x = cell.index % cell.perRow * cell.side;
    cell.y = cell.index / cell.perRow * cell.side;
    cell.tileSlot = slotBase + counter;
    return cell;
}

void FitShadowLightView(ShadowCaster &caster, int cellSide)
{
    // The view: forward along the light, its x axis the caster's horizontal
    // axis turned square to the light. The projection is orthographic along
    // the light, so a point and its shadow on the ground share a texel.
    float forward[3] = {caster.lightDirection[0], caster.lightDirection[1], caster.lightDirection[2]};
    if (!Normalise3(forward)) {
        forward[0] = 0.0f;
        forward[1] = 0.0f;
        forward[2] = -1.0f;
    }
    float across[3] = {caster.horizontalAxis[0], caster.horizontalAxis[1], 0.0f};
    if (!(across[0] * across[0] + across[1] * across[1] >= 0.0001f)) {
        across[0] = 0.0f;
        across[1] = 1.0f;
    }
    Normalise3(across);
    float x[3];
    const float along = Dot3(across, forward);
    for (int i = 0; i < 3; ++i) {
        x[i] = across[i] - along * forward[i];
    }
    if (!Normalise3(x)) {
        // Light along the horizontal axis: any axis square to it will do.
        const float pick[3] = {std::fabs(forward[2]) < 0.9f ? 0.0f : 1.0f, 0.0f,
                               std::fabs(forward[2]) < 0.9f ? 1.0f : 0.0f};
        const float d = Dot3(pick, forward);
        for (int i = 0; i < 3; ++i) {
            x[i] = pick[i] - d * forward[i];
        }
        Normalise3(x);
    }
    const float y[3] = {forward[1] * x[2] - forward[2] * x[1], forward[2] * x[0] - forward[0] * x[2],
                        forward[0] * x[1] - forward[1] * x[0]};
    // World to view (row vectors); the height offset moves the view's
    // origin down.
    float view[16] = {x[0], y[0], forward[0], 0, x[1], y[1], forward[1], 0, x[2], y[2], forward[2], 0, 0, 0, 0, 1};
    view[12] = caster.lightDirection[3] * x[2];
    view[13] = caster.lightDirection[3] * y[2];
    view[14] = caster.lightDirection[3] * forward[2];

    float minX = 0.0f, maxX = 0.0f, minY = 0.0f, maxY = 0.0f;
    bool any = false;
    const int objects = caster.objectCount > MaxShadowCasterObjects ? MaxShadowCasterObjects : caster.objectCount;
    for (int k = 0; k < objects; ++k) {
        const RenderObject *object = caster.objects[k];
        if (object == nullptr || object->bounds == nullptr) {
            continue;
        }
        const bool hull = caster.allVertices != 0 && object->hullVertexCount > 0;
        const float *points = hull ? object->bounds + 24 : object->bounds;
        const int count = hull ? object->hullVertexCount : 8;
        float placed[16];
        MultiplyMatrix(placed, object->matrix, view);
        for (int i = 0; i < count; ++i) {
            float p[4];
            TransformPoint(p, &points[i * 3], placed);
            if (!std::isfinite(p[0]) || !std::isfinite(p[1])) {
                continue;
            }
            if (!any) {
                minX = maxX = p[0];
                minY = maxY = p[1];
                any = true;
            }
            minX = std::fmin(minX, p[0]);
            maxX = std::fmax(maxX, p[0]);
            minY = std::fmin(minY, p[1]);
            maxY = std::fmax(maxY, p[1]);
        }
    }
    // The extent fills the cell less one texel of the final tile on each
    // side, in clip units 2 / (cellSide / 4).
    const int tile = cellSide / 4 > 2 ? cellSide / 4 : 2;
    const float border = 2.0f / static_cast<float>(tile);
    const float span = 2.0f - 2.0f * border;
    const float minimumExtent = 1e-3f;
    const float cx = (minX + maxX) * 0.5f;
    const float cy = (minY + maxY) * 0.5f;
    const float ex = std::fmax(maxX - minX, minimumExtent);
    const float ey = std::fmax(maxY - minY, minimumExtent);
    const float ax = span / ex;
    const float ay = span / ey;
    const float projection[16] = {ax, 0, 0, 0, 0, ay, 0, 0, 0, 0, 0, 0, -cx * ax, -cy * ay, 0.5f, 1};
    MultiplyMatrix(caster.lightViewProjection, view, projection);
    MakeTextureMatrix(caster.textureMatrix, caster.lightViewProjection, -0.5f);
}

void RenderShadowTextures(int count, int tileSide)
{
    ActiveShadowCasterCount = 0;
    if (ShadowFailure != 0) {
        return;
    }
    if (count < 0 || count > MaxShadowCasters) {
        // More casters than cells and tile slots: nothing is rendered.
        ShadowFailure = 1;
        return;
    }
    for (int i = 0; i < count; ++i) {
        ShadowCaster &caster = ShadowCasters[i];
        if (caster.preset) {
            PreparePresetCaster(caster);
        } else {
            caster.texture = nullptr;
        }
    }
    TextureRecord *atlas = tileSide > 0 && tileSide <= 1024 ? GetShadowTexture(16 * tileSide) : nullptr;
    if (atlas == nullptr) {
        ShadowFailure = 1;
        return;
    }
    ActiveShadowCasterCount = count;
    const RenderViewport savedViewport = RenderDevice.Viewport;

    if (BeginRenderToTexture(atlas, 0) == 0) {
        Finish(2, savedViewport);
        return;
    }
    if (RenderDevice.FogEnabled) {
        ApplyFogMode(0);
    }
    ClearFrame(White, ClearTarget);
    BeginRenderScene();
    SetRenderStateCached(RsZEnable, 0);
    SetRenderStateCached(RsCullMode, CullNone);
    ResetShadowCells();
    SetCurrentMaterial(DefaultMaterial);
    SetStageTexture(0, nullptr);
    SetTextureStageStateCached(0, TssColorOp, TopSelectArg1);
    SetTextureStageStateCached(0, TssColorArg1, TaDiffuse);
    for (int i = 0; i < count; ++i) {
        ShadowCaster &caster = ShadowCasters[i];
        if (caster.preset) {
            continue;
        }
        const ShadowCell cell = AllocateShadowCell(caster.cellKind, 4 * tileSide, tileSide);
        SetViewportRect(cell.x, cell.y, cell.side, cell.side);
        FitShadowLightView(caster, cell.side);
        const float colour[4] = {caster.colour[0] / 255.0f, caster.colour[1] / 255.0f, caster.colour[2] / 255.0f,
                                 1.0f};
        SetVertexConstants(84, colour, 1);
        const int objects = caster.objectCount > MaxShadowCasterObjects ? MaxShadowCasterObjects : caster.objectCount;
        for (int k = 0; k < objects; ++k) {
            DrawCasterObject(caster.objects[k], caster.items[k], caster.lightViewProjection);
        }
    }
    ClearCurrentMaterial();
    ResetTextureStages();

    // The blur: each halving averages 2 x 2 texels.
    SetRenderStateCached(RsCullMode, CullCcw);
    int side = 16 * tileSide;
    const int halvings = RenderDevice.TestShadows ? 1 : 2;
    for (int pass = 0; pass < halvings; ++pass) {
        TextureRecord *half = GetShadowTexture(side / 2);
        if (half == nullptr) {
            Finish(3, savedViewport);
            return;
        }
        if (BeginRenderToTexture(half, 0) == 0) {
            Finish(4, savedViewport);
            return;
        }
        BeginRenderScene();
        SetRenderStateCached(RsZEnable, 0);
        DrawShadowHalving(atlas, side);
        atlas = half;
        side /= 2;
    }

    // Each cell to its tile.
    ResetShadowCells();
    const bool border = RenderDevice.DeviceCaps.borderAddressing != 0;
    for (int i = 0; i < count; ++i) {
        ShadowCaster &caster = ShadowCasters[i];
        if (caster.preset) {
            continue;
        }
        const ShadowCell cell = AllocateShadowCell(caster.cellKind, tileSide, tileSide);
        TextureRecord *tile = nullptr;
        if (!GetTileTexture(cell, &tile)) {
            Finish(5, savedViewport);
            return;
        }
        caster.texture = tile;
        if (!RenderDevice.TestShadows) {
            const uint32_t from = Device() != nullptr ? Device()->TextureSurface(atlas->texture, 0) : 0;
            const uint32_t to = Device() != nullptr ? Device()->TextureSurface(tile->texture, 0) : 0;
            if (from != 0 && to != 0) {
                if (border) {
                    const DeviceRect rect = {cell.x, cell.y, cell.x + cell.side, cell.y + cell.side};
                    Device()->CopyRect(from, rect, to, 0, 0);
                } else {
                    const DeviceRect rect = {cell.x + 1, cell.y + 1, cell.x + cell.side - 1, cell.y + cell.side - 1};
                    Device()->CopyRect(from, rect, to, 1, 1);
                }
            }
            if (from != 0) {
                Device()->ReleaseSurface(from);
            }
            if (to != 0) {
                Device()->ReleaseSurface(to);
            }
        } else {
            if (BeginRenderToTexture(tile, 0) == 0) {
                continue;
            }
            BeginRenderScene();
            SetRenderStateCached(RsZEnable, 0);
            const float perRow = static_cast<float>(cell.perRow);
            const float column = static_cast<float>(cell.index % cell.perRow);
            const float row = static_cast<float>(cell.index / cell.perRow);
            // Each tile pixel samples the middle of its 2 x 2 atlas texels.
            DrawTextureQuad(atlas, cell.side, cell.side, column / perRow, row / perRow, (column + 1.0f) / perRow,
                            (row + 1.0f) / perRow);
        }
    }
    Finish(0, savedViewport);
}
