#include "ui/text_draw.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"
#include "platform/graphics_device.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"
#include "ui/interface_draw.h"
#include "ui/text_batch.h"
#include "ui/ui_services.h"

namespace {

constexpr float LetterSpacing = 0.1f;
constexpr float GlyphBoxInset = 0.1304348f;
constexpr float GlyphBoxHeight = 0.86956525f;
constexpr uint32_t Opaque = 0xff000000u;
constexpr uint32_t White = 0xffffffffu;
constexpr int MaxCachedPixelWidth = 62;
constexpr int MaxMeasuredWidth = 240;
constexpr float VectorSpacing = 0.65f;
constexpr int CursorBlinkMs = 1000;
constexpr int CursorHiddenAfterMs = 500;

CompositionHook Composition = nullptr;

float GlyphAdvance(int glyph, float size)
{
    return (FontGlyphs[glyph].width / GlyphCellWidth + LetterSpacing) * size;
}

// The colour of a "^0".."^7" code.
uint32_t CodeColour(int digit)
{
    const int bits = digit - '0';
    return Opaque | ((bits & 1) ? 0xff0000u : 0u) | ((bits & 2) ? 0x00ff00u : 0u) | ((bits & 4) ? 0x0000ffu : 0u);
}

const CodePageEntry *EntryOf(int byte)
{
    if (CurrentCodePage == nullptr || byte < CodePageFirstByte) {
        return nullptr;
    }
    return &CurrentCodePage->entries[byte - CodePageFirstByte];
}

// What the code after a '^' does to a walk over a coded text.
enum class Caret {
    Colour,   // "^0".."^7": the digit's colour
    Reset,    // "^8" (the text's own code page), "^9", "^:" (code page 0): the caller's colour again
    Byte,     // a caret letter: *byte is the character it stands for
    Nothing,  // an unknown letter: drawn as nothing
};

Caret ReadCaret(int code, int codePage, int *byte)
{
    if (code >= '0' && code <= '7') {
        return Caret::Colour;
    }
    if (code == '8' || code == '9' || code == ':') {
        if (code == '8') {
            SelectCodePage(codePage);
        } else if (code == ':') {
            SelectCodePage(0);
        }
        return Caret::Reset;
    }
    *byte = DecodeCaretLetter(code, nullptr);
    return *byte != 0 ? Caret::Byte : Caret::Nothing;
}

// The font glyph of the byte at text[*i] in the vector and console fonts,
// which have no double-byte characters: a lead byte takes its trail and
// shows as the no-character glyph. -1 for a byte that draws nothing.
int VectorGlyph(const unsigned char *text, int *i, int byte)
{
    const CodePageEntry *entry = EntryOf(byte);
    if (entry == nullptr) {
        return -1;
    }
    if ((entry->flags & CodePageDoubleByteFlag) == 0) {
        return entry->glyph;
    }
    if (text[*i + 1] != 0) {
        ++*i;
    }
    return GlyphNoCharacter;
}

// One character of a text after its markup: a font glyph, or a cached
// double-byte character.
struct Character {
    int glyph;          // -1: cached character
    int accent;
    int flags;
    int table;
    int trail;
    int pixelWidth;
    float width;        // glyph units of a cached character
    int cacheSlot;
};

// Reads the character at text[*i] (a lead byte takes its trail). Returns
// false for a byte that draws nothing.
bool ReadCharacter(const unsigned char *text, int *i, int byte, Character *out)
{
    const CodePageEntry *entry = EntryOf(byte);
    if (entry == nullptr) {
        return false;
    }
    out->accent = entry->accent;
    out->flags = entry->flags;
    out->table = -1;
    out->trail = 0;
    out->pixelWidth = 0;
    out->width = 0.0f;
    out->cacheSlot = NoCacheSlot;
    if ((entry->flags & CodePageDoubleByteFlag) == 0) {
        out->glyph = entry->glyph;
        return true;
    }
    int trail = 0;
    if (text[*i + 1] != 0) {
        trail = text[*i + 1];
        ++*i;
    }
    out->glyph = DoubleByteLookup(*entry, trail, &out->pixelWidth, &out->width, &out->cacheSlot);
    out->accent = 0;
    if (out->glyph < 0) {
        out->table = entry->glyph;
        out->trail = trail - DoubleByteFirstTrail;
    }
    return true;
}

float CharacterAdvance(const Character &c, float size)
{
    return c.glyph < 0 ? c.width * size / GlyphCellWidth : GlyphAdvance(c.glyph, size);
}

bool CursorHidden()
{
    return static_cast<int>(GameClock % CursorBlinkMs) > CursorHiddenAfterMs;
}

uint32_t PackedColour(uint32_t colour)
{
    return colour;
}

}  // namespace

void SetCompositionHook(CompositionHook hook)
{
    Composition = hook;
}

int DoubleByteLookup(const CodePageEntry &entry, int trail, int *pixelWidth, float *width, int *cacheSlot)
{
    const CodePageTable *page = CurrentCodePage;
    if (trail < DoubleByteFirstTrail || page == nullptr || page->cacheFont == nullptr || page->Unavailable ||
        (entry.flags & CodePageDoubleByteFlag) == 0 || entry.glyph >= DoubleByteTableCount) {
        return GlyphNoCharacter;
    }
    DoubleByteEntry &character = DoubleByteTables[entry.glyph].entries[trail - DoubleByteFirstTrail];
    if (character.unicode == 0 || character.pixelWidth == 255) {
        return GlyphUnknownCharacter;
    }
    if (character.pixelWidth == 0) {
        const int measured = CacheCharWidth(page->doubleByteSlot, character.unicode);
        if (measured < 1 || measured > MaxMeasuredWidth) {
            character.pixelWidth = 255;
            return GlyphUnknownCharacter;
        }
        character.pixelWidth = static_cast<uint8_t>(measured < MaxCachedPixelWidth ? measured : MaxCachedPixelWidth);
    }
    *pixelWidth = character.pixelWidth;
    *width = page->inkHeight > 0
        ? static_cast<float>(character.pixelWidth) * GlyphCellWidth / static_cast<float>(page->inkHeight)
        : 0.0f;
    *cacheSlot = character.cacheSlot;
    return -1;
}

float MeasureCodedText(const char *source, float size, int codePage)
{
    if (source == nullptr || CodePageTableCount == 0) {
        return 0.0f;
    }
    const auto *text = reinterpret_cast<const unsigned char *>(source);
    size *= TextWidthScale;
    SelectCodePage(codePage);
    float width = 0.0f;
    for (int i = 0; text[i] != 0; ++i) {
        int byte = text[i];
        if (byte == '^' && text[i + 1] != 0 && ReadCaret(text[++i], codePage, &byte) != Caret::Byte) {
            continue;
        }
        Character c;
        if (byte < CodePageFirstByte || !ReadCharacter(text, &i, byte, &c)) {
            continue;
        }
        width += CharacterAdvance(c, size);
    }
    return width;
}

void QueueGlyphQuad(int glyph, float x, float y, float size, float box, int clip, uint32_t topColour,
                    uint32_t bottomColour)
{
    if (glyph < 0 || glyph >= FontGlyphCount) {
        return;
    }
    GlyphQuad *q = AppendGlyphQuad();
    if (q == nullptr) {
        return;
    }
    const FontGlyph &g = FontGlyphs[glyph];
    q->texture = g.texture;
    q->Clip = static_cast<int8_t>(clip);
    q->glyph = static_cast<uint16_t>(glyph);
    q->table = 0;
    q->trail = 0;
    q->pixelWidth = 0;
    q->x0 = x;
    q->y0 = y;
    q->x1 = x + GlyphAdvance(glyph, size);
    q->y1 = y + box;
    q->topColour = PackedColour(topColour);
    q->bottomColour = PackedColour(bottomColour);
}

void QueueGlyphQuadTo(int batch, int glyph, float x, float y, float size, float box, uint32_t colour, int mirrored)
{
    TextBatch *saved = CurrentTextBatch;
    SelectTextBatch(batch);
    const float advance = glyph >= 0 && glyph < FontGlyphCount ? GlyphAdvance(glyph, size) : 0.0f;
    QueueGlyphQuad(glyph, mirrored ? x - advance : x, y, size, box, 0, colour, colour);
    CurrentTextBatch = saved;
}

float DrawCursor(float x, float y, float size, float box)
{
    // An open composition is drawn by the text entry's input method; until
    // it exists there is none, and the bar is drawn.
    if (Composition != nullptr && Composition() != nullptr) {
        const char *text = Composition();
        return DrawTextOneColour(text, x, y, size / TextWidthScale, box, White, CursorNone, KeyboardCodePage);
    }
    QueueGlyphQuad(GlyphCursorBar, x, y, size, box, 0, White, White);
    return x;
}

float DrawCodedText(const char *source, float x, float y, float size, float box, int clip, uint32_t topColour,
                    uint32_t bottomColour, int cursor, int codePage)
{
    if (source == nullptr || CodePageTableCount == 0) {
        return x;
    }
    const auto *text = reinterpret_cast<const unsigned char *>(source);
    SelectCodePage(codePage);
    size *= TextWidthScale;
    const bool showCursor = cursor >= 0 && !CursorHidden();
    float top = y + GlyphBoxInset * box;
    float height = GlyphBoxHeight * box;
    if (cursor == CursorFullBox) {
        top = y;
        height = box;
    }
    uint32_t colourTop = topColour;
    uint32_t colourBottom = bottomColour;
    int i = 0;
    for (; text[i] != 0; ++i) {
        if (showCursor && i == cursor) {
            x = DrawCursor(x, top, size, height);
        }
        int byte = text[i];
        if (byte == '^' && text[i + 1] != 0) {
            const int code = text[++i];
            if (showCursor && i == cursor) {
                x = DrawCursor(x, top, size, height);
            }
            const Caret caret = ReadCaret(code, codePage, &byte);
            if (caret == Caret::Colour && cursor != CursorNoColours) {
                colourTop = colourBottom = CodeColour(code);
            } else if (caret == Caret::Reset) {
                colourTop = topColour;
                colourBottom = bottomColour;
            }
            if (caret != Caret::Byte) {
                continue;
            }
        }
        Character c;
        if (byte < CodePageFirstByte || !ReadCharacter(text, &i, byte, &c)) {
            continue;
        }
        if (c.glyph < 0) {
            GlyphQuad *q = AppendGlyphQuad();
            if (q != nullptr) {
                const CodePageTable *page = CurrentCodePage;
                q->Clip = static_cast<int8_t>(clip);
                q->table = static_cast<uint16_t>(c.table);
                q->trail = static_cast<uint8_t>(c.trail);
                q->pixelWidth = static_cast<uint8_t>(c.pixelWidth);
                q->x0 = x;
                q->x1 = x + c.width * size / GlyphCellWidth;
                q->y0 = top - height * page->CacheTop;
                q->y1 = top + height * page->CacheBottom;
                q->topColour = colourTop;
                q->bottomColour = colourBottom;
                if (c.cacheSlot != NoCacheSlot) {
                    q->texture = static_cast<uint8_t>(QuadFirstCachePage + c.cacheSlot / CharCacheSlots);
                    q->glyph = static_cast<uint16_t>(c.cacheSlot);
                    TouchCacheSlot(c.cacheSlot);
                } else {
                    q->texture = QuadUncached;
                    q->glyph = NoCacheSlot;
                    ++CurrentTextBatch->uncached;
                }
            }
        } else {
            if (c.glyph != GlyphSpace) {
                QueueGlyphQuad(c.glyph, x, top, size, height, clip, colourTop, colourBottom);
            }
            if (c.accent != 0 && cursor != CursorFullBox) {
                if (c.flags == 0) {
                    QueueGlyphQuad(c.accent, x, top, size, height, clip, colourTop, colourBottom);
                } else {
                    QueueGlyphQuad(c.accent, x, y, size, height, clip, colourTop, colourBottom);
                }
            }
        }
        x += CharacterAdvance(c, size);
    }
    if (showCursor && i == cursor) {
        x = DrawCursor(x, top, size, height);
    }
    return x;
}

float DrawTextOneColour(const char *text, float x, float y, float size, float box, uint32_t colour, int cursor,
                        int codePage)
{
    return DrawCodedText(text, x, y, size, box, 0, colour, colour, cursor, codePage);
}

void DrawTextShadowed(const char *text, float x, float y, float size, float box, uint32_t colour, int codePage)
{
    if (ScreenFlags & DropShadowFlag) {
        DrawCodedText(text, x + PixelWidth, y + PixelHeight, size, box, 0, Opaque, Opaque, CursorNoColours, codePage);
    }
    DrawCodedText(text, x, y, size, box, 0, colour, colour, CursorNone, codePage);
}

void DrawTextRightAligned(const char *text, float right, float y, float size, float box, uint32_t colour,
                          int codePage)
{
    const float width = MeasureCodedText(text, size, codePage);
    DrawCodedText(text, right - width, y, size, box, 0, colour, colour, CursorNone, codePage);
}

namespace {

void DrawCaption(const char *text, uint32_t colour, int codePage, float size, float box, float top)
{
    const float width = MeasureCodedText(text, size, codePage);
    DrawTextShadowed(text, -0.5f * width, top, size, box, colour, codePage);
}

bool CaptionRaised()
{
    return UiLink.captionRaise != nullptr && *UiLink.captionRaise != 0;
}

}  // namespace

void DrawCentredCaption(const char *text, uint32_t colour)
{
    DrawCaption(text, colour, TranslationCodePage, 0.06f, 0.12f, CaptionRaised() ? -0.92f : -0.61f);
}

void DrawCentredCaptionLatin(const char *text, uint32_t colour)
{
    DrawCaption(text, colour, 0, 0.06f, 0.12f, CaptionRaised() ? -0.92f : -0.61f);
}

void DrawSmallCaption(const char *text, uint32_t colour)
{
    DrawCaption(text, colour, TranslationCodePage, 0.03f, 0.06f, -0.43f);
}

float MeasureVectorText(const char *source, float size, int codePage)
{
    if (source == nullptr || CodePageTableCount == 0) {
        return 0.0f;
    }
    const auto *text = reinterpret_cast<const unsigned char *>(source);
    SelectCodePage(codePage);
    float width = 0.0f;
    for (int i = 0; text[i] != 0; ++i) {
        int byte = text[i];
        if (byte == '^' && text[i + 1] != 0 && ReadCaret(text[++i], codePage, &byte) != Caret::Byte) {
            continue;
        }
        const int glyph = VectorGlyph(text, &i, byte);
        if (glyph < 0) {
            continue;
        }
        width += FontGlyphs[glyph].width / GlyphCellWidth * size + VectorSpacing * size / GlyphCellWidth;
    }
    return width;
}

void DrawVectorText(const char *source, float x, float y, float depth, float size, float box, uint32_t colour,
                    int mirrored, int codePage)
{
    if (source == nullptr || CodePageTableCount == 0) {
        return;
    }
    const auto *text = reinterpret_cast<const unsigned char *>(source);
    TextBatch *caller = CurrentTextBatch;
    SelectCodePage(codePage);
    const uint32_t alpha = colour & Opaque;
    uint32_t current = colour;
    for (int i = 0; text[i] != 0; ++i) {
        int byte = text[i];
        if (byte == '^' && text[i + 1] != 0) {
            const int code = text[++i];
            const Caret caret = ReadCaret(code, codePage, &byte);
            if (caret == Caret::Colour) {
                current = (CodeColour(code) & 0x00ffffffu) | alpha;
            } else if (caret == Caret::Reset) {
                current = colour;
            }
            if (caret != Caret::Byte) {
                continue;
            }
        }
        Character c;
        if (byte < CodePageFirstByte || !ReadCharacter(text, &i, byte, &c)) {
            continue;
        }
        int glyph = c.glyph;
        if (glyph < 0) {
            // A placeholder in the caller's batch gets the character cached.
            if (c.cacheSlot == NoCacheSlot) {
                CurrentTextBatch = caller;
                if (GlyphQuad *q = AppendGlyphQuad()) {
                    *q = GlyphQuad{QuadUncached, ClipPlaceholder, NoCacheSlot, static_cast<uint16_t>(c.table),
                                   static_cast<uint8_t>(c.trail), static_cast<uint8_t>(c.pixelWidth),
                                   0.0f, 0.0f, 0.0f, 0.0f, 0u, 0u};
                    ++caller->uncached;
                }
            }
            glyph = GlyphNoCharacter;
        }
        const float advance = FontGlyphs[glyph].width / GlyphCellWidth * size + VectorSpacing * size / GlyphCellWidth;
        QueueGlyphQuadTo(2, glyph, x, y, size, box, current, mirrored);
        x += mirrored ? -advance : advance;
    }
    CurrentTextBatch = caller;

    // Batch 2 on the world batch, at the depth.
    TextBatch &batch = TextBatches[2];
    if (RenderDevice.Device != nullptr && batch.quads != nullptr) {
        for (int t = 0; t < QuadFirstCachePage; ++t) {
            bool begun = false;
            for (int i = 0; i < batch.count; ++i) {
                const GlyphQuad &q = batch.quads[i];
                if (q.texture != t) {
                    continue;
                }
                if (!begun) {
                    char name[16];
                    std::snprintf(name, sizeof(name), "FONT%dAONLY", t);
                    TextureRecord *texture = FindTexture(name);
                    BeginWorldBatch(texture != nullptr ? GetMaterial(texture, 0, 0, 0, 0, nullptr) : nullptr, 0, 0);
                    begun = true;
                }
                const FontGlyph &g = FontGlyphs[q.glyph];
                const float u0 = mirrored ? g.u1 : g.u0;
                const float u1 = mirrored ? g.u0 : g.u1;
                const uint16_t a = AddWorldVertex(q.x0, q.y0, depth, u0, g.v0, q.topColour);
                const uint16_t b = AddWorldVertex(q.x1, q.y0, depth, u1, g.v0, q.topColour);
                const uint16_t c = AddWorldVertex(q.x1, q.y1, depth, u1, g.v1, q.bottomColour);
                const uint16_t d = AddWorldVertex(q.x0, q.y1, depth, u0, g.v1, q.bottomColour);
                AddWorldQuad(a, b, c, d);
            }
            if (begun) {
                FlushWorldBatch();
            }
        }
    }
    batch.count = 0;
    batch.uncached = 0;
    batch.mark = 0;
}

int DrawTextToDC(ConsoleImage &image, const char *source, int x, int y, int red, int green, int blue, int codePage)
{
    if (source == nullptr || CodePageTableCount == 0 || image.pixels == nullptr) {
        return x;
    }
    const auto *text = reinterpret_cast<const unsigned char *>(source);
    SelectCodePage(codePage);
    int r = red;
    int g = green;
    int b = blue;
    for (int i = 0; text[i] != 0; ++i) {
        int byte = text[i];
        if (byte == '^' && text[i + 1] != 0) {
            const int code = text[++i];
            const Caret caret = ReadCaret(code, codePage, &byte);
            if (caret == Caret::Colour) {
                const int bits = code - '0';
                r = (bits & 1) ? 255 : 0;
                g = (bits & 2) ? 255 : 0;
                b = (bits & 4) ? 255 : 0;
            } else if (caret == Caret::Reset) {
                r = red;
                g = green;
                b = blue;
            }
            if (caret != Caret::Byte) {
                continue;
            }
        }
        const int glyph = VectorGlyph(text, &i, byte);
        if (glyph < 0) {
            continue;
        }
        const FontGlyph &fg = FontGlyphs[glyph];
        const int width = fg.pixelWidth;
        for (int row = 0; row < GlyphBitmapRows; ++row) {
            for (int column = 0; column < width; ++column) {
                const int index = row * width + column;
                if (index >= GlyphBitmapSize) {
                    continue;
                }
                const int v = fg.consoleBitmap[index];
                const int px = x + column;
                const int py = y + row;
                if (v < 128 || px < 0 || py < 0 || px >= image.width || py >= image.height) {
                    continue;
                }
                image.pixels[py * image.width + px] = static_cast<uint32_t>((v * r / 256) << 16 | (v * g / 256) << 8 |
                                                                            (v * b / 256));
            }
        }
        x += width + 1;
    }
    return x;
}

void DrawCircle2D(int segments, float x, float y, float radius, uint32_t colour, int aspectCorrected)
{
    if (segments < 3) {
        return;
    }
    const float ry = aspectCorrected ? radius * WidthOverHeight : radius;
    const FontGlyph &block = FontGlyphs[GlyphSolidBlock];
    const float u = (block.u0 + block.u1) * 0.5f;
    const float v = (block.v0 + block.v1) * 0.5f;
    const uint16_t centre = AddScreenVertex(x, y, u, v, colour);
    uint16_t previous = AddScreenVertex(x + radius, y, u, v, colour);
    for (int i = 1; i <= segments; ++i) {
        const float angle = 6.2831853f * static_cast<float>(i) / static_cast<float>(segments);
        const uint16_t next = AddScreenVertex(x + radius * std::cos(angle), y + ry * std::sin(angle), u, v, colour);
        AddScreenTriangle(centre, previous, next);
        previous = next;
    }
}

void DrawSquare2D(float x, float y, float half, uint32_t colour, int aspectCorrected)
{
    const float hy = aspectCorrected ? half * WidthOverHeight : half;
    const uint16_t a = AddScreenVertex(x - half, y - hy, 0.0f, 0.0f, colour);
    const uint16_t b = AddScreenVertex(x + half, y - hy, 1.0f, 0.0f, colour);
    const uint16_t c = AddScreenVertex(x + half, y + hy, 1.0f, 1.0f, colour);
    const uint16_t d = AddScreenVertex(x - half, y + hy, 0.0f, 1.0f, colour);
    AddScreenQuad(a, b, c, d);
}

void BeginGlyphDraw(int glyph, int blend)
{
    if (glyph < 0 || glyph >= FontGlyphCount) {
        return;
    }
    char name[16];
    std::snprintf(name, sizeof(name), "FONT%dAONLY", FontGlyphs[glyph].texture);
    TextureRecord *texture = FindTexture(name);
    BeginScreenBatch(texture != nullptr ? GetMaterial(texture, 0, 0, 0, 0, nullptr) : nullptr);
    if (blend) {
        SetRenderStateCached(RsAlphaBlendEnable, 1);
    }
}

void DrawRotatedGlyph(int glyph, float x, float y, float size, uint32_t colour, float angle, int aspectCorrected)
{
    if (glyph < 0 || glyph >= FontGlyphCount) {
        return;
    }
    const FontGlyph &g = FontGlyphs[glyph];
    const float aspect = aspectCorrected ? ScreenAspect : 1.0f;
    const float u[4] = {g.u0, g.u1, g.u1, g.u0};
    const float v[4] = {g.v0, g.v0, g.v1, g.v1};
    uint16_t corner[4];
    for (int k = 0; k < 4; ++k) {
        // The corners lie on the diagonals: the first at angle - pi / 4.
        const float a = angle - 0.78539816f + 1.5707963f * static_cast<float>(k);
        corner[k] = AddScreenVertex(x + size * std::cos(a) * aspect, y + size * std::sin(a), u[k], v[k], colour);
    }
    AddScreenQuad(corner[0], corner[1], corner[2], corner[3]);
}

void EndGlyphDraw(int blend)
{
    FlushScreenBatch();
    if (blend) {
        SetRenderStateCached(RsAlphaBlendEnable, 0);
    }
}
