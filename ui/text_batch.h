#pragma once

#include <cstdint>

struct TextureRecord;

// Text is queued, not drawn at once: every character becomes a 32-byte glyph
// quad in the current text batch, and the interface pass draws the batches
// in layers. Characters of the double-byte pages are rendered on first use
// into the character cache: 512 x 512 alpha-only pages of 64 cells.

constexpr int TextBatchCount = 3;
constexpr int MainBatchQuads = 4096;
constexpr int SmallBatchQuads = 96;
constexpr int TextBatchRects = 256;
constexpr int TextBatchLines = 8;

constexpr uint8_t QuadUncached = 0xff;     // texture byte of a character not cached yet
constexpr uint8_t QuadFirstCachePage = 4;  // texture byte of cache page 0
constexpr int8_t ClipItalic = 127;
constexpr int8_t ClipPlaceholder = 126;

constexpr int CharCachePageLimit = 64;
constexpr int CharCacheSlots = 64;
constexpr int CharCacheCell = 64;
constexpr int CharCachePageSide = 512;
constexpr int CharCacheFrameLimit = 64;
constexpr uint8_t CacheMarkUsed = 255;
constexpr uint8_t CacheMarkKept = 254;
constexpr int ScreenBatchFlushVertices = 5120;

struct GlyphQuad {
    uint8_t texture;       // 0..3 font texture, 4 + n cache page n, QuadUncached
    int8_t Clip;           // 0; ClipItalic; ClipPlaceholder; 1..100 top cut; -1..-100 bottom cut
    uint16_t glyph;        // font glyph, or cache slot id (page x 64 + slot; 0xffff not cached)
    uint16_t table;        // double-byte table index of a cached character
    uint8_t trail;         // trail entry (trail byte - 64)
    uint8_t pixelWidth;    // pixel width of a cached character
    float x0, y0, x1, y1;
    uint32_t topColour;    // packed ARGB
    uint32_t bottomColour;
};
static_assert(sizeof(GlyphQuad) == 32, "a glyph quad is 32 bytes");

struct TextRect {
    uint32_t colour;
    float x[4];
    float y[4];
};

struct TextLine {
    uint32_t colour;
    float x0, y0, x1, y1;
};

struct TextBatch {
    int capacity = 0;
    int count = 0;
    int uncached = 0;
    int mark = 0;          // end of the first layer
    GlyphQuad *quads = nullptr;
    int rectCount = 0;
    TextRect rects[TextBatchRects];
    int lineCount = 0;
    TextLine lines[TextBatchLines];
};

struct CacheSlot {
    uint16_t table;
    uint8_t trail;
    uint8_t mark;          // 255 used this frame, 0 empty
};

struct CharCachePage {
    TextureRecord *texture = nullptr;
    uint16_t frameCount = 0;   // slots filled or touched this frame
    CacheSlot slots[CharCacheSlots] = {};
};

extern TextBatch TextBatches[TextBatchCount];
extern TextBatch *CurrentTextBatch;
extern CharCachePage CharCachePages[CharCachePageLimit];
extern int CharCachePageCount;
// Italic quads (clip 127) have their top corners moved right by this much.
extern float ItalicShift;
// The standard set's texture for line entries; drawn untextured until it exists.
extern const char *const TextLineTextureName;

// The three batches' quad arrays (InitFont) and their release (FreeFont).
void AllocTextBatches();
void FreeTextBatches();

void SelectTextBatch(int n);
void MarkTextLayer();
// Caches the characters not cached yet and draws the first layer.
void DrawTextLayer();
// Draws the rest, the rectangles and the line entries, empties the batch,
// resets the pages' frame counts and caps the use marks at 254.
void DrawTextLayerFinal();
void QueueRect2D(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour);
void QueueLine2D(float x0, float y0, float x1, float y1, uint32_t colour);

// Appends a quad to the current batch; null when it is full.
GlyphQuad *AppendGlyphQuad();
// Marks a cached character's slot as used this frame.
void TouchCacheSlot(int id);

// Draws the current batch's quads from..to (exclusive) for the textures
// 0..textures - 1 (the four font textures, then the cache pages).
void DrawCachedGlyphs(int textures, int from, int to);

// Makes the alpha-only texture `name` ("<name>.raw") from `side` x `side`
// pixels of 4 bytes in memory (blank where pixels is null), uncompressed at
// its own size. False, with "Can't create :" shown, where it fails.
bool CreateRawAlphaTexture(const char *name, const uint8_t *pixels, int side, TextureRecord **record);

int AllocCachePage(int *count);
int FindOldSlot(int page);
void AgeCachePage(int page);
void AddUnknown(int *count);
// Forgets every page (its texture stays by name for the next use) and every
// cached and measured character, and empties the rectangles and lines.
void ClearCharCaches();
// Lets the pages' textures go.
void ReleaseCachePages();
