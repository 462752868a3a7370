#include "ui/text_batch.h"

#include <cstdio>
#include <cstring>

#include "core/card_config.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"
#include "ui/font.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

TextBatch TextBatches[TextBatchCount];
TextBatch *CurrentTextBatch = &TextBatches[0];
CharCachePage CharCachePages[CharCachePageLimit];
int CharCachePageCount = 0;
float ItalicShift = 0.0f;
const char *const TextLineTextureName = "LINE";

namespace {

constexpr float CachedCellV = 0.12109375f;   // 62 pixels of the 512 page
constexpr int CachedCellPixels = 62;

// The cell picture AddUnknown uploads: 64 x 64 R, G, B, A.
uint8_t CellPixels[CharCacheCell * CharCacheCell * 4];

uint16_t SlotId(int page, int slot)
{
    return static_cast<uint16_t>(page * CharCacheSlots + slot);
}

TextureRecord *TextureOf(int t)
{
    if (t < QuadFirstCachePage) {
        char name[16];
        std::snprintf(name, sizeof(name), "FONT%dAONLY", t);
        return FindTexture(name);
    }
    const int page = t - QuadFirstCachePage;
    return page < CharCachePageCount ? CharCachePages[page].texture : nullptr;
}

void BeginTexture(TextureRecord *texture)
{
    BeginScreenBatch(texture != nullptr ? GetMaterial(texture, 0, 0, 0, 0, nullptr) : nullptr);
}

// Room for one more quad; flushes (and begins again) at the limit.
void MakeRoom(TextureRecord *texture)
{
    if (ScreenBatch.vertexCount + 4 > static_cast<uint32_t>(ScreenBatchFlushVertices)) {
        FlushScreenBatch();
        BeginTexture(texture);
    }
}

void EmitQuad(const GlyphQuad &q)
{
    float u0;
    float u1;
    float v0;
    float v1;
    if (q.texture < QuadFirstCachePage) {
        const FontGlyph &glyph = FontGlyphs[q.glyph < FontGlyphCount ? q.glyph : GlyphNoCharacter];
        u0 = glyph.u0;
        u1 = glyph.u1;
        v0 = glyph.v0;
        v1 = glyph.v1;
    } else {
        const int slot = q.glyph % CharCacheSlots;
        u0 = 0.125f * static_cast<float>(slot % 8);
        u1 = u0 + static_cast<float>(q.pixelWidth) / CharCachePageSide;
        v0 = 0.125f * static_cast<float>(slot / 8);
        v1 = v0 + CachedCellV;
    }
    float x0 = q.x0;
    float x1 = q.x1;
    float y0 = q.y0;
    float y1 = q.y1;
    float shift = 0.0f;
    if (q.Clip == ClipItalic) {
        shift = ItalicShift;
    } else if (q.Clip >= 1 && q.Clip <= 100) {
        const float cut = static_cast<float>(q.Clip) / 100.0f;
        y0 += (y1 - y0) * cut;
        v0 += (v1 - v0) * cut;
    } else if (q.Clip <= -1 && q.Clip >= -100) {
        const float cut = static_cast<float>(-q.Clip) / 100.0f;
        y1 -= (y1 - y0) * cut;
        v1 -= (v1 - v0) * cut;
    }
    const uint16_t a = AddScreenVertex(x0 + shift, y0, u0, v0, q.topColour);
    const uint16_t b = AddScreenVertex(x1 + shift, y0, u1, v0, q.topColour);
    const uint16_t c = AddScreenVertex(x1, y1, u1, v1, q.bottomColour);
    const uint16_t d = AddScreenVertex(x0, y1, u0, v1, q.bottomColour);
    AddScreenQuad(a, b, c, d);
}

void DrawRectsAndLines(TextBatch &batch)
{
    if (batch.rectCount > 0) {
        const FontGlyph &block = FontGlyphs[GlyphSolidBlock];
        TextureRecord *texture = TextureOf(block.texture);
        const float u = (block.u0 + block.u1) * 0.5f;
        const float v = (block.v0 + block.v1) * 0.5f;
        BeginTexture(texture);
        for (int i = 0; i < batch.rectCount; ++i) {
            MakeRoom(texture);
            const TextRect &r = batch.rects[i];
            const uint16_t a = AddScreenVertex(r.x[0], r.y[0], u, v, r.colour);
            const uint16_t b = AddScreenVertex(r.x[1], r.y[1], u, v, r.colour);
            const uint16_t c = AddScreenVertex(r.x[2], r.y[2], u, v, r.colour);
            const uint16_t d = AddScreenVertex(r.x[3], r.y[3], u, v, r.colour);
            AddScreenQuad(a, b, c, d);
        }
        FlushScreenBatch();
    }
    if (batch.lineCount > 0) {
        TextureRecord *texture = FindTexture(TextLineTextureName);
        BeginTexture(texture);
        for (int i = 0; i < batch.lineCount; ++i) {
            const TextLine &l = batch.lines[i];
            const uint16_t a = AddScreenVertex(l.x0, l.y0, 0.0f, 0.0f, l.colour);
            const uint16_t b = AddScreenVertex(l.x1, l.y0, 1.0f, 0.0f, l.colour);
            const uint16_t c = AddScreenVertex(l.x1, l.y1, 1.0f, 1.0f, l.colour);
            const uint16_t d = AddScreenVertex(l.x0, l.y1, 0.0f, 1.0f, l.colour);
            AddScreenQuad(a, b, c, d);
        }
        FlushScreenBatch();
    }
}

// The page texture "CACHE%dAONLY": an existing record of that name is used
// again, so a cleared cache never leaves two of one name.
TextureRecord *MakeCacheTexture(int page)
{
    char name[24];
    std::snprintf(name, sizeof(name), "CACHE%dAONLY", page);
    if (TextureRecord *existing = FindTexture(name)) {
        if (existing->texture != 0) {
            return existing;
        }
    }
    TextureRecord *record = nullptr;
    return CreateRawAlphaTexture(name, nullptr, CharCachePageSide, &record) ? record : nullptr;
}

// Renders the character into the page's cell.
void RenderIntoCell(int page, int slot, const DoubleByteTable &table, int trail, int pixelWidth)
{
    const CodePageTable *codePage = table.codePage;
    const uint32_t unicode = table.entries[trail].unicode;
    std::memset(CellPixels, 0, sizeof(CellPixels));
    if (codePage == nullptr || codePage->cacheFont == nullptr) {
        UiWarning("AddUnknown : Could not draw text");
    } else {
        RenderCharsGDI(codePage->doubleByteSlot, unicode, nullptr, nullptr);
        for (int y = 0; y < CachedCellPixels; ++y) {
            for (int x = 0; x < CachedCellPixels && x < pixelWidth; ++x) {
                uint8_t *p = CellPixels + (y * CharCacheCell + x) * 4;
                p[0] = p[1] = p[2] = 255;
                p[3] = CharBitmap[y * CharCacheCell + x];
            }
        }
    }
    TextureRecord *texture = CharCachePages[page].texture;
    if (texture != nullptr) {
        UploadTexturePixels(texture, CellPixels, CharCacheCell, slot % 8, slot / 8, texture->levels);
    }
}

void ResetBatchQuads(TextBatch &batch)
{
    batch.count = 0;
    batch.uncached = 0;
    batch.mark = 0;
}

}  // namespace

bool CreateRawAlphaTexture(const char *name, const uint8_t *pixels, int side, TextureRecord **record)
{
    char path[32];
    std::snprintf(path, sizeof(path), "%s.raw", name);
    const int savedSide = MaxTextureSide;
    const int savedCompress = CompressTextures;
    MaxTextureSide = side;
    CompressTextures = 0;
    PendingRawImage = true;
    PendingRawPixels = pixels;
    PendingRawSide = side;
    const int result = LoadTextureFile(path, record, name, 0, 0);
    PendingRawImage = false;
    PendingRawPixels = nullptr;
    PendingRawSide = 0;
    MaxTextureSide = savedSide;
    CompressTextures = savedCompress;
    if (result != 0) {
        char text[48];
        std::snprintf(text, sizeof(text), "Can't create : %s", name);
        PrintMessage(text, &MessageColours[ColourSalmon]);
        return false;
    }
    return true;
}

void AllocTextBatches()
{
    for (int n = 0; n < TextBatchCount; ++n) {
        TextBatch &batch = TextBatches[n];
        delete[] batch.quads;
        batch.capacity = n == 0 ? MainBatchQuads : SmallBatchQuads;
        batch.quads = new GlyphQuad[static_cast<size_t>(batch.capacity)];
        ResetBatchQuads(batch);
        batch.rectCount = 0;
        batch.lineCount = 0;
    }
    CurrentTextBatch = &TextBatches[0];
}

void FreeTextBatches()
{
    for (TextBatch &batch : TextBatches) {
        delete[] batch.quads;
        batch.quads = nullptr;
        batch.capacity = 0;
        ResetBatchQuads(batch);
        batch.rectCount = 0;
        batch.lineCount = 0;
    }
    CurrentTextBatch = &TextBatches[0];
}

void SelectTextBatch(int n)
{
    if (n >= 0 && n < TextBatchCount) {
        CurrentTextBatch = &TextBatches[n];
    }
}

void MarkTextLayer()
{
    CurrentTextBatch->mark = CurrentTextBatch->count;
}

GlyphQuad *AppendGlyphQuad()
{
    TextBatch &batch = *CurrentTextBatch;
    if (batch.quads == nullptr || batch.count >= batch.capacity) {
        return nullptr;
    }
    return &batch.quads[batch.count++];
}

void TouchCacheSlot(int id)
{
    const int page = id / CharCacheSlots;
    if (page < 0 || page >= CharCachePageCount) {
        return;
    }
    CacheSlot &slot = CharCachePages[page].slots[id % CharCacheSlots];
    if (slot.mark != CacheMarkUsed) {
        slot.mark = CacheMarkUsed;
        ++CharCachePages[page].frameCount;
    }
}

void DrawCachedGlyphs(int textures, int from, int to)
{
    const TextBatch &batch = *CurrentTextBatch;
    if (batch.quads == nullptr || RenderDevice.Device == nullptr) {
        return;
    }
    for (int t = 0; t < textures; ++t) {
        bool begun = false;
        TextureRecord *texture = nullptr;
        for (int i = from; i < to; ++i) {
            const GlyphQuad &q = batch.quads[i];
            if (q.texture != t || q.Clip == ClipPlaceholder) {
                continue;
            }
            if (!begun) {
                texture = TextureOf(t);
                BeginTexture(texture);
                begun = true;
            }
            MakeRoom(texture);
            EmitQuad(q);
        }
        if (begun) {
            FlushScreenBatch();
        }
    }
}

void DrawTextLayer()
{
    TextBatch &batch = *CurrentTextBatch;
    if (batch.uncached > 0) {
        AddUnknown(&CharCachePageCount);
        batch.uncached = 0;
    }
    DrawCachedGlyphs(QuadFirstCachePage + CharCachePageCount, 0, batch.mark);
}

void DrawTextLayerFinal()
{
    TextBatch &batch = *CurrentTextBatch;
    if (batch.uncached > 0) {
        AddUnknown(&CharCachePageCount);
        batch.uncached = 0;
    }
    DrawCachedGlyphs(QuadFirstCachePage + CharCachePageCount, batch.mark, batch.count);
    if (RenderDevice.Device != nullptr) {
        DrawRectsAndLines(batch);
    }
    ResetBatchQuads(batch);
    batch.rectCount = 0;
    batch.lineCount = 0;
    for (int p = 0; p < CharCachePageCount; ++p) {
        CharCachePage &page = CharCachePages[p];
        page.frameCount = 0;
        for (CacheSlot &slot : page.slots) {
            if (slot.mark > CacheMarkKept) {
                slot.mark = CacheMarkKept;
            }
        }
    }
}

void QueueRect2D(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour)
{
    TextBatch &batch = *CurrentTextBatch;
    if (batch.rectCount >= TextBatchRects) {
        return;
    }
    batch.rects[batch.rectCount++] = TextRect{colour, {x0, x1, x2, x3}, {y0, y1, y2, y3}};
}

void QueueLine2D(float x0, float y0, float x1, float y1, uint32_t colour)
{
    TextBatch &batch = *CurrentTextBatch;
    if (batch.lineCount >= TextBatchLines) {
        return;
    }
    batch.lines[batch.lineCount++] = TextLine{colour, x0, y0, x1, y1};
}

int AllocCachePage(int *count)
{
    int best = -1;
    for (int p = 0; p < *count; ++p) {
        if (best < 0 || CharCachePages[p].frameCount < CharCachePages[best].frameCount) {
            best = p;
        }
    }
    if (best >= 0 && CharCachePages[best].frameCount < CharCacheFrameLimit) {
        return best;
    }
    if (*count < CharCachePageLimit) {
        const int page = *count;
        CharCachePage &record = CharCachePages[page];
        record = CharCachePage{};
        record.texture = MakeCacheTexture(page);
        if (record.texture == nullptr) {
            return -1;
        }
        ++*count;
        return page;
    }
    UiWarning("All character caches are full");
    return -1;
}

int FindOldSlot(int page)
{
    int best = -1;
    for (int s = 0; s < CharCacheSlots; ++s) {
        const uint8_t mark = CharCachePages[page].slots[s].mark;
        if (mark < CacheMarkUsed && (best < 0 || mark < CharCachePages[page].slots[best].mark)) {
            best = s;
        }
    }
    if (best < 0) {
        UiWarning("Could not find an old slot");
    }
    return best;
}

void AgeCachePage(int page)
{
    for (CacheSlot &slot : CharCachePages[page].slots) {
        if (slot.mark >= 2 && slot.mark <= CacheMarkKept) {
            --slot.mark;
        }
    }
}

void AddUnknown(int *count)
{
    TextBatch &batch = *CurrentTextBatch;
    int page = AllocCachePage(count);
    if (page < 0) {
        return;
    }
    for (int i = 0; i < batch.count; ++i) {
        GlyphQuad &q = batch.quads[i];
        if (q.texture != QuadUncached || q.glyph != NoCacheSlot) {
            continue;
        }
        const int slot = FindOldSlot(page);
        if (slot < 0) {
            break;
        }
        const uint16_t id = SlotId(page, slot);
        CacheSlot &held = CharCachePages[page].slots[slot];
        if (held.mark != 0 && held.table < DoubleByteTableCount) {
            DoubleByteEntry &old = DoubleByteTables[held.table].entries[held.trail];
            if (old.cacheSlot == id) {
                old.cacheSlot = NoCacheSlot;
            } else {
                UiWarning("Extra page character does not refer to this slot");
            }
        }
        held.table = q.table;
        held.trail = q.trail;
        held.mark = CacheMarkUsed;
        DoubleByteTable &table = DoubleByteTables[q.table];
        table.entries[q.trail].cacheSlot = id;
        RenderIntoCell(page, slot, table, q.trail, q.pixelWidth);

        const uint8_t texture = static_cast<uint8_t>(QuadFirstCachePage + page);
        for (int k = i; k < batch.count; ++k) {
            GlyphQuad &same = batch.quads[k];
            if (same.glyph != NoCacheSlot || same.texture != QuadUncached || same.table != q.table ||
                same.trail != q.trail) {
                continue;
            }
            same.glyph = id;
            if (same.Clip != ClipPlaceholder) {
                same.texture = texture;
            }
            --batch.uncached;
        }
        ++CharCachePages[page].frameCount;
        if (batch.uncached <= 0) {
            AgeCachePage(page);
            return;
        }
        if (CharCachePages[page].frameCount >= CharCacheFrameLimit) {
            AgeCachePage(page);
            page = AllocCachePage(count);
            if (page < 0) {
                return;
            }
        }
    }
    AgeCachePage(page);
}

void ClearCharCaches()
{
    for (int p = 0; p < CharCachePageLimit; ++p) {
        CharCachePages[p] = CharCachePage{};
    }
    CharCachePageCount = 0;
    for (int t = 0; t < DoubleByteTableCount; ++t) {
        for (DoubleByteEntry &entry : DoubleByteTables[t].entries) {
            entry.cacheSlot = NoCacheSlot;
            entry.pixelWidth = 0;
        }
    }
    for (TextBatch &batch : TextBatches) {
        batch.rectCount = 0;
        batch.lineCount = 0;
    }
}

void ReleaseCachePages()
{
    for (int p = 0; p < CharCachePageLimit; ++p) {
        char name[24];
        std::snprintf(name, sizeof(name), "CACHE%dAONLY", p);
        if (TextureRecord *record = FindTexture(name)) {
            DeleteTexture(record);
        }
        CharCachePages[p].texture = nullptr;
    }
}
