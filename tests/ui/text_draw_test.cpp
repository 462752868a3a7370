// Measuring and queuing marked-up text, the double-byte character cache and
// the drawing of the text batches, over a fixture font, a fake glyph back end
// and the recording device.
#include "ui/text_draw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/recording_device.h"
#include "render/geometry_batch.h"
#include "render/buffer_pools.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "render/texture_manager.h"
#include "tests/ui/fake_glyph_renderer.h"
#include "tests/ui/font_device_fixture.h"
#include "tests/ui/font_fixture.h"
#include "ui/font.h"
#include "ui/font_textures.h"
#include "ui/interface_draw.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"

namespace {

int ScreenWidth = 640;
int ScreenHeight = 480;

constexpr uint32_t Grey = 0xff808080u;
constexpr uint32_t Red = 0xffff0000u;
constexpr int Japanese = 4;
constexpr int PassiveByte = 0x90;
constexpr int AccentedByte = 0xC9;    // 'E' (glyph 37) with glyph 40 over it
constexpr int Lead = 0x81;            // of table 4: double-byte table 0

// The standard fixture (glyph 33 'A' 6 units wide, glyph 40 8 units, glyph
// 95 3 units, the rest 1), with a passive byte and an accented byte in
// table 0. Double-byte table 0 holds U+3000 + k for trail entry k.
FontFixture DrawFixture()
{
    FontFixture f = StandardFixture(12);
    f.tables[0][PassiveByte - 32] = {GlyphNoCharacter, 0, CodePagePassiveFlag};
    f.tables[0][AccentedByte - 32] = {'E' - 32, 40, 0};
    f.tables[Japanese][Lead - 32] = {0, 0, CodePageLeadByteFlags};
    return f;
}

float Advance(int glyph, float size)
{
    return (FontGlyphs[glyph].width / 7.0f + 0.1f) * size;
}

class TextDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        renderer.AddFace("Sans One", GlyphFaceSans);
        StartFontOnDevice(DrawFixture(), "draw", &renderer, &Device, &ScreenWidth, &ScreenHeight);
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(RebuildFontTextures(), 1);
        SetScreenTransform(0.0f, 0.0f, 1.0f, 1.0f);
        TextWidthScale = 1.0f;
        GameClock = 0;
        ScreenFlags = 0;
        ClearMessageLines();
        SelectTextBatch(0);
    }
    void TearDown() override
    {
        ReleaseCachePages();
        StopFontOnDevice();
        ClearMessageLines();
    }

    std::vector<GlyphQuad> Quads() const
    {
        return std::vector<GlyphQuad>(TextBatches[0].quads, TextBatches[0].quads + TextBatches[0].count);
    }
    void Empty()
    {
        TextBatches[0].count = 0;
        TextBatches[0].uncached = 0;
        TextBatches[0].mark = 0;
    }
    bool Warned(const char *text) const
    {
        for (int i = 0; i < MessageLineCount; ++i) {
            if (std::strcmp(MessageLines[i].Text, text) == 0) {
                return true;
            }
        }
        return false;
    }
    // The vertices of the last flush of the screen batch.
    std::vector<ScreenVertex> LastVertices() const
    {
        const std::vector<uint8_t> bytes = Device.BufferBytes(ScreenBatch.vertexBuffer->handle);
        std::vector<ScreenVertex> vertices(bytes.size() / sizeof(ScreenVertex));
        std::memcpy(vertices.data(), bytes.data(), vertices.size() * sizeof(ScreenVertex));
        return vertices;
    }

    RecordingDevice Device;
    FakeGlyphRenderer renderer;
};

TEST_F(TextDrawTest, MarkupIsMeasuredAndQueuedByTheTable)
{
    const float size = 0.07f;
    struct Case {
        const char *text;
        const char *measuredAs;     // null: the text itself
        std::vector<int> glyphs;    // the quads queued, in order
    };
    const Case cases[] = {
        {"^1A^9B", "AB", {'A' - 32, 'B' - 32}},
        {"^", nullptr, {'^' - 32}},
        {"^J^8\x81" "A", nullptr, {0x81 - 32, 'A' - 32}},    // back to page 0: 0x81 is no lead byte there
        {"^c", ":", {':' - 32}},
        {"A\x05" "B", "AB", {'A' - 32, 'B' - 32}},
        {"\x90" "A", nullptr, {GlyphNoCharacter, 'A' - 32}},  // passive: the box, and A is not swallowed
        {"^Z", "Z", {'Z' - 32}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Empty();
        const float end = DrawCodedText(c.text, -0.5f, 0.0f, size, 0.1f, 0, Grey, Grey, CursorNone, 0);
        std::vector<int> glyphs;
        for (const GlyphQuad &q : Quads()) {
            glyphs.push_back(q.glyph);
        }
        EXPECT_EQ(glyphs, c.glyphs);
        const float width = MeasureCodedText(c.text, size, 0);
        EXPECT_NEAR(end + 0.5f, width, 1e-6);
        if (c.measuredAs != nullptr) {
            EXPECT_FLOAT_EQ(width, MeasureCodedText(c.measuredAs, size, 0));
        }
    }
    // Colours: A red, B the call's colour.
    Empty();
    DrawCodedText("^1A^9B", 0.0f, 0.0f, size, 0.1f, 0, Grey, Grey, CursorNone, 0);
    ASSERT_EQ(Quads().size(), 2u);
    EXPECT_EQ(Quads()[0].topColour, Red);
    EXPECT_EQ(Quads()[0].bottomColour, Red);
    EXPECT_EQ(Quads()[1].topColour, Grey);
    // The quad: advance wide, in the glyph box.
    EXPECT_FLOAT_EQ(Quads()[0].x1 - Quads()[0].x0, Advance('A' - 32, size));
    EXPECT_FLOAT_EQ(Quads()[0].y0, 0.1304348f * 0.1f);
    EXPECT_FLOAT_EQ(Quads()[0].y1 - Quads()[0].y0, 0.86956525f * 0.1f);
    // Text is narrowed on wide screens.
    TextWidthScale = 0.5f;
    EXPECT_FLOAT_EQ(MeasureCodedText("AB", size, 0), 0.5f * (Advance('A' - 32, size) + Advance('B' - 32, size)));
}

TEST_F(TextDrawTest, CursorStandsAtItsByteIndexAndBlinks)
{
    const float size = 0.07f;
    struct Case {
        int cursor;
        uint32_t clock;
        std::vector<int> glyphs;
    };
    const Case cases[] = {
        {3, 400, {'A' - 32, GlyphCursorBar, 'B' - 32}},
        {4, 400, {'A' - 32, 'B' - 32, GlyphCursorBar}},
        {3, 600, {'A' - 32, 'B' - 32}},     // hidden in the second half of each second
        {-1, 400, {'A' - 32, 'B' - 32}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cursor);
        Empty();
        GameClock = c.clock;
        DrawCodedText("^1AB", 0.0f, 0.0f, size, 0.1f, 0, Grey, Grey, c.cursor, 0);
        std::vector<int> glyphs;
        for (const GlyphQuad &q : Quads()) {
            glyphs.push_back(q.glyph);
        }
        EXPECT_EQ(glyphs, c.glyphs);
    }
    // The bar is white at A's end.
    Empty();
    GameClock = 400;
    DrawCodedText("^1AB", 0.0f, 0.0f, size, 0.1f, 0, Grey, Grey, 3, 0);
    EXPECT_EQ(Quads()[1].topColour, 0xffffffffu);
    EXPECT_FLOAT_EQ(Quads()[1].x0, Quads()[0].x1);

    // -2 ignores colour codes; -3 fills the box and drops accents.
    Empty();
    DrawCodedText("^1A", 0.0f, 0.0f, size, 0.1f, 0, Grey, Grey, CursorNoColours, 0);
    EXPECT_EQ(Quads()[0].topColour, Grey);
    Empty();
    DrawCodedText("\xC9", 0.0f, 0.0f, size, 0.1f, 0, Grey, Grey, CursorNone, 0);
    ASSERT_EQ(Quads().size(), 2u);
    EXPECT_EQ(Quads()[1].glyph, 40);
    EXPECT_FLOAT_EQ(Quads()[1].x0, Quads()[0].x0);
    Empty();
    DrawCodedText("\xC9", 0.0f, 0.0f, size, 0.1f, 0, Grey, Grey, CursorFullBox, 0);
    ASSERT_EQ(Quads().size(), 1u);
    EXPECT_FLOAT_EQ(Quads()[0].y0, 0.0f);
    EXPECT_FLOAT_EQ(Quads()[0].y1, 0.1f);
}

TEST_F(TextDrawTest, DoubleByteLookupMeasuresOnceAndRefusesWhatCannotBeDrawn)
{
    SelectCodePage(Japanese);
    const CodePageEntry lead = CodePageTables[Japanese].entries[Lead - 32];
    int pixels = 0;
    float width = 0.0f;
    int slot = 0;
    EXPECT_EQ(DoubleByteLookup(lead, 0x3F, &pixels, &width, &slot), GlyphNoCharacter);   // trail below 64
    DoubleByteTables[0].entries[1].unicode = 0;
    EXPECT_EQ(DoubleByteLookup(lead, 0x41, &pixels, &width, &slot), GlyphUnknownCharacter);

    struct Case {
        int trail;
        int advance;
        int glyph;
        int stored;
    };
    const Case cases[] = {{0x42, 0, GlyphUnknownCharacter, 255},
                          {0x43, 241, GlyphUnknownCharacter, 255},
                          {0x44, 70, -1, 62},
                          {0x45, 20, -1, 20}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trail);
        const uint32_t unicode = DoubleByteTables[0].entries[c.trail - 64].unicode;
        renderer.advances[unicode] = c.advance;
        EXPECT_EQ(DoubleByteLookup(lead, c.trail, &pixels, &width, &slot), c.glyph);
        EXPECT_EQ(DoubleByteTables[0].entries[c.trail - 64].pixelWidth, c.stored);
        DoubleByteLookup(lead, c.trail, &pixels, &width, &slot);
        EXPECT_EQ(renderer.advanceCalls[unicode], 1);   // measured once
    }
    // Width in glyph units: pixels x 7 / the ink height of 'E' (40).
    DoubleByteLookup(lead, 0x45, &pixels, &width, &slot);
    EXPECT_EQ(pixels, 20);
    EXPECT_FLOAT_EQ(width, 20.0f * 7.0f / 40.0f);
    EXPECT_EQ(slot, NoCacheSlot);

    // A text ending in a lead byte is glyph 95 and reads nothing further.
    EXPECT_FLOAT_EQ(MeasureCodedText("\x81", 0.1f, Japanese), Advance(GlyphNoCharacter, 0.1f));
    Empty();
    DrawCodedText("\x81", 0.0f, 0.0f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    ASSERT_EQ(Quads().size(), 1u);
    EXPECT_EQ(Quads()[0].glyph, GlyphNoCharacter);

    // A page without its font: glyph 95.
    CodePageTables[Japanese].Unavailable = 1;
    EXPECT_EQ(DoubleByteLookup(lead, 0x45, &pixels, &width, &slot), GlyphNoCharacter);
}

TEST_F(TextDrawTest, EachCharacterIsRenderedOnceIntoOneSlot)
{
    const char *three = "\x81\x50\x81\x50\x81\x50";
    DrawCodedText(three, 0.0f, 0.0f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    ASSERT_EQ(Quads().size(), 3u);
    EXPECT_EQ(TextBatches[0].uncached, 3);
    for (const GlyphQuad &q : Quads()) {
        EXPECT_EQ(q.texture, QuadUncached);
    }
    // A double-byte character spans its pixel width and the page's cache rows.
    const CodePageTable &page = CodePageTables[Japanese];
    EXPECT_FLOAT_EQ(Quads()[0].x1 - Quads()[0].x0, 40.0f * 7.0f / 40.0f * 0.1f / 7.0f);
    const float top = 0.1304348f * 0.1f;
    const float box = 0.86956525f * 0.1f;
    EXPECT_FLOAT_EQ(Quads()[0].y0, top - box * page.CacheTop);
    EXPECT_FLOAT_EQ(Quads()[0].y1, top + box * page.CacheBottom);

    AddUnknown(&CharCachePageCount);
    EXPECT_EQ(renderer.renderCalls[0x3000 + 0x10], 1);
    EXPECT_EQ(CharCachePageCount, 1);
    const std::vector<GlyphQuad> quads = Quads();
    for (const GlyphQuad &q : quads) {
        EXPECT_EQ(q.texture, QuadFirstCachePage);
        EXPECT_EQ(q.glyph, quads[0].glyph);
    }
    EXPECT_EQ(TextBatches[0].uncached, 0);
    EXPECT_EQ(DoubleByteTables[0].entries[0x10].cacheSlot, quads[0].glyph);
    DrawTextLayerFinal();

    // The next frame finds it cached: queued with its page, nothing locked.
    Device.frame = DeviceFrameCounts{};
    DrawCodedText(three, 0.0f, 0.0f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    EXPECT_EQ(TextBatches[0].uncached, 0);
    EXPECT_EQ(Quads()[0].texture, QuadFirstCachePage);
    DrawTextLayer();
    DrawTextLayerFinal();
    EXPECT_EQ(Device.frame.textureLocks, 0);
    EXPECT_EQ(renderer.renderCalls[0x3000 + 0x10], 1);
}

TEST_F(TextDrawTest, SixtyFiveNewCharactersTakeTwoPages)
{
    std::string text;
    for (int trail = 0x40; trail <= 0x80; ++trail) {
        text += static_cast<char>(Lead);
        text += static_cast<char>(trail);
    }
    DrawCodedText(text.c_str(), 0.0f, 0.0f, 0.01f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    EXPECT_EQ(TextBatches[0].uncached, 65);
    AddUnknown(&CharCachePageCount);
    EXPECT_EQ(CharCachePageCount, 2);
    EXPECT_EQ(Quads()[63].texture, QuadFirstCachePage);
    EXPECT_EQ(Quads()[64].texture, QuadFirstCachePage + 1);
    EXPECT_EQ(FindTexture("CACHE1AONLY"), CharCachePages[1].texture);
}

TEST_F(TextDrawTest, FullCachesWarnAndLeaveTheCharactersUndrawn)
{
    // 64 pages, every slot used this frame.
    for (int p = 0; p < CharCachePageLimit; ++p) {
        CharCachePages[p].frameCount = CharCacheFrameLimit;
        for (CacheSlot &slot : CharCachePages[p].slots) {
            slot = {0, 0, CacheMarkUsed};
        }
    }
    CharCachePageCount = CharCachePageLimit;
    DrawCodedText("\x81\x60", 0.0f, 0.0f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    Device.ClearLog();
    DrawTextLayer();
    EXPECT_TRUE(Warned("All character caches are full"));
    EXPECT_EQ(Quads()[0].texture, QuadUncached);
    DrawTextLayerFinal();
    EXPECT_TRUE(Device.CallsNamed("DrawIndexedTriangles").empty());
    for (CharCachePage &page : CharCachePages) {
        page = CharCachePage{};
    }
    CharCachePageCount = 0;
}

TEST_F(TextDrawTest, AReusedSlotFreesItsOldCharacterAndMarksAge)
{
    // Frame 1: two characters.
    DrawCodedText("\x81\x40\x81\x41", 0.0f, 0.0f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    DrawTextLayer();
    DrawTextLayerFinal();
    const int first = DoubleByteTables[0].entries[0].cacheSlot;
    const int second = DoubleByteTables[0].entries[1].cacheSlot;
    EXPECT_EQ(CharCachePages[0].slots[first].mark, CacheMarkKept);
    // Frame 2: one of them again and a new one: the page ages the other.
    DrawCodedText("\x81\x41\x81\x42", 0.0f, 0.0f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    DrawTextLayer();
    EXPECT_EQ(CharCachePages[0].slots[first].mark, CacheMarkKept - 1);
    EXPECT_EQ(CharCachePages[0].slots[second].mark, CacheMarkUsed);
    DrawTextLayerFinal();
    EXPECT_EQ(CharCachePages[0].slots[second].mark, CacheMarkKept);

    // Every other slot used: the oldest is the first character's, and a
    // new character takes it over.
    for (int s = 0; s < CharCacheSlots; ++s) {
        if (s != first) {
            CharCachePages[0].slots[s].mark = CacheMarkUsed;
        }
    }
    DrawCodedText("\x81\x43", 0.0f, 0.0f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    DrawTextLayer();
    EXPECT_EQ(DoubleByteTables[0].entries[0].cacheSlot, NoCacheSlot);
    EXPECT_EQ(DoubleByteTables[0].entries[3].cacheSlot, first);
    DrawTextLayerFinal();
}

TEST_F(TextDrawTest, FullBatchesDropWhatDoesNotFit)
{
    const std::string many(MainBatchQuads + 1, 'A');
    DrawCodedText(many.c_str(), 0.0f, 0.0f, 0.001f, 0.1f, 0, Grey, Grey, CursorNone, 0);
    EXPECT_EQ(TextBatches[0].count, MainBatchQuads);
    for (int i = 0; i < TextBatchRects + 1; ++i) {
        QueueRect2D(0, 0, 1, 0, 1, 1, 0, 1, Grey);
    }
    EXPECT_EQ(TextBatches[0].rectCount, TextBatchRects);
    for (int i = 0; i < TextBatchLines + 1; ++i) {
        QueueLine2D(0, 0, 1, 1, Grey);
    }
    EXPECT_EQ(TextBatches[0].lineCount, TextBatchLines);
    SelectTextBatch(1);
    DrawCodedText(many.c_str(), 0.0f, 0.0f, 0.001f, 0.1f, 0, Grey, Grey, CursorNone, 0);
    EXPECT_EQ(TextBatches[1].count, SmallBatchQuads);
    DrawTextLayerFinal();
    SelectTextBatch(0);
    DrawTextLayerFinal();
    EXPECT_EQ(TextBatches[0].count, 0);
}

TEST_F(TextDrawTest, LayersBindEachTextureOnceAndFlushAtTheLimit)
{
    // 1400 quads of the first font texture (5600 vertices: one flush at
    // 5120) and, between them, a cached character.
    const std::string latin(700, 'A');
    DrawCodedText(latin.c_str(), -1.0f, 0.0f, 0.001f, 0.1f, 0, Grey, Grey, CursorNone, 0);
    DrawCodedText("\x81\x40", 0.0f, 0.5f, 0.1f, 0.1f, 0, Grey, Grey, CursorNone, Japanese);
    DrawCodedText(latin.c_str(), -1.0f, 0.2f, 0.001f, 0.1f, 0, Grey, Grey, CursorNone, 0);
    GlyphQuad *placeholder = AppendGlyphQuad();
    *placeholder = Quads()[0];
    placeholder->Clip = ClipPlaceholder;
    Device.ClearLog();
    DrawTextLayerFinal();
    std::vector<uint32_t> bound;
    for (const DeviceCall &call : Device.CallsNamed("SetTexture")) {
        if (call.args[0] == 0 && call.args[1] != 0 && (bound.empty() || bound.back() != call.args[1])) {
            bound.push_back(call.args[1]);
        }
    }
    ASSERT_EQ(bound.size(), 2u);   // the font texture, then the cache page
    EXPECT_EQ(bound[0], FindTexture("FONT0AONLY")->texture);
    EXPECT_EQ(bound[1], FindTexture("CACHE0AONLY")->texture);
    std::vector<uint32_t> drawn;
    for (const DeviceCall &call : Device.CallsNamed("DrawIndexedTriangles")) {
        drawn.push_back(call.args[1]);
    }
    // The placeholder is never drawn: 1400 quads, then the character.
    EXPECT_EQ(drawn, std::vector<uint32_t>({5120, 480, 4}));
}

TEST_F(TextDrawTest, ClipAndItalicMoveTheRightCorners)
{
    struct Case {
        int clip;
        float top;      // of y and v, as a share of the quad
        float bottom;
        float shift;    // of the top corners
    };
    ItalicShift = 0.05f;
    const Case cases[] = {{0, 0.0f, 1.0f, 0.0f}, {40, 0.4f, 1.0f, 0.0f}, {-40, 0.0f, 0.6f, 0.0f},
                          {ClipItalic, 0.0f, 1.0f, 0.05f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.clip);
        Empty();
        QueueGlyphQuad('A' - 32, 0.0f, 0.0f, 0.2f, 0.5f, c.clip, Grey, Red);
        const GlyphQuad q = Quads()[0];
        DrawTextLayerFinal();
        const std::vector<ScreenVertex> v = LastVertices();
        ASSERT_GE(v.size(), 4u);
        const FontGlyph &g = FontGlyphs['A' - 32];
        auto px = [](float x) { return (x + 1.0f) * 320.0f; };
        auto py = [](float y) { return (y + 1.0f) * 240.0f; };
        EXPECT_FLOAT_EQ(v[0].y, py(q.y0 + 0.5f * c.top));
        EXPECT_FLOAT_EQ(v[3].y, py(q.y0 + 0.5f * c.bottom));
        EXPECT_NEAR(v[0].v, g.v0 + (g.v1 - g.v0) * c.top, 1e-6);
        EXPECT_NEAR(v[3].v, g.v0 + (g.v1 - g.v0) * c.bottom, 1e-6);
        EXPECT_FLOAT_EQ(v[0].x, px(q.x0 + c.shift));
        EXPECT_FLOAT_EQ(v[1].x, px(q.x1 + c.shift));
        EXPECT_FLOAT_EQ(v[2].x, px(q.x1));
        EXPECT_FLOAT_EQ(v[3].x, px(q.x0));
        EXPECT_EQ(v[0].colour, Grey);   // top
        EXPECT_EQ(v[3].colour, Red);    // bottom
    }
}

TEST_F(TextDrawTest, ShadowsFollowTheScreenOption)
{
    PixelWidth = 0.01f;
    PixelHeight = 0.02f;
    DrawTextShadowed("^1A", 0.0f, 0.0f, 0.1f, 0.1f, Grey, 0);
    ASSERT_EQ(Quads().size(), 1u);
    EXPECT_EQ(Quads()[0].topColour, Red);
    Empty();
    ScreenFlags = DropShadowFlag;
    DrawTextShadowed("^1A", 0.0f, 0.0f, 0.1f, 0.1f, Grey, 0);
    ASSERT_EQ(Quads().size(), 2u);
    EXPECT_EQ(Quads()[0].topColour, 0xff000000u);   // black, colour codes ignored
    EXPECT_FLOAT_EQ(Quads()[0].x0, 0.01f);
    EXPECT_FLOAT_EQ(Quads()[0].y0, Quads()[1].y0 + 0.02f);
    EXPECT_EQ(Quads()[1].topColour, Red);
    Empty();
}

TEST_F(TextDrawTest, ConsoleTextIsDrawnFromTheBitmaps)
{
    // Glyph 33 ('A') has bitmap byte 0 = 200 and its last byte 7; its pixel
    // width is round(9 x 6 / 7) = 8.
    std::vector<uint32_t> pixels(20 * 12, 0x123456);
    ConsoleImage image{pixels.data(), 20, 12};
    const int end = DrawTextToDC(image, "A^2A", 1, 0, 255, 128, 0, 0);
    EXPECT_EQ(end, 1 + 9 + 9);
    EXPECT_EQ(pixels[1], static_cast<uint32_t>((200 * 255 / 256) << 16 | (200 * 128 / 256) << 8));
    EXPECT_EQ(pixels[10], static_cast<uint32_t>((200 * 255 / 256) << 8));   // green after "^2"
    EXPECT_EQ(pixels[2], 0x123456u);    // a byte below 128 leaves the pixel
    EXPECT_EQ(pixels[20 + 1], 0x123456u);
    // Past the right edge nothing is written.
    std::vector<uint32_t> narrow(4 * 12, 0);
    ConsoleImage small{narrow.data(), 4, 12};
    DrawTextToDC(small, "AAAA", 2, 0, 255, 255, 255, 0);
    EXPECT_NE(narrow[2], 0u);
    EXPECT_EQ(narrow[3], 0u);
}

TEST_F(TextDrawTest, MessageLinesAreQueuedOneUnderTheOther)
{
    MessageSize = 0.04f;
    MessageTop = -1.0f;
    PrintMessage("A", &MessageColours[ColourSalmon]);
    PrintMessage("B", &MessageColours[ColourOrange]);
    AddMessageLine("hidden", &MessageColours[ColourOrange], MessageTargetHidden);
    PrintMessage("C", &MessageColours[ColourLightGrey]);
    DrawMessageTexts();
    ASSERT_EQ(Quads().size(), 3u);
    const Colour &salmon = MessageColours[ColourSalmon];
    EXPECT_EQ(Quads()[0].topColour, 0xff000000u | salmon.red << 16 | salmon.green << 8 | salmon.blue);
    EXPECT_FLOAT_EQ(Quads()[0].x0, 0.1f * 0.04f - 1.0f);
    EXPECT_NEAR(Quads()[1].y0 - Quads()[0].y0, 0.04f, 1e-6);
    EXPECT_NEAR(Quads()[2].y0 - Quads()[1].y0, 0.04f, 1e-6);   // the hidden line takes no row
    EXPECT_NEAR(Quads()[0].x1 - Quads()[0].x0, Advance('A' - 32, 0.02f), 1e-6);
    Empty();
}

TEST_F(TextDrawTest, VectorTextCachesItsDoubleByteCharactersThroughPlaceholders)
{
    // Each glyph advances width / 7 x size + 0.65 x size / 7; a double-byte
    // character counts as glyph 95.
    const float size = 0.1f;
    EXPECT_FLOAT_EQ(MeasureVectorText("A\x81\x40", size, Japanese),
                    (FontGlyphs['A' - 32].width + FontGlyphs[GlyphNoCharacter].width + 1.3f) / 7.0f * size);
    Device.ClearLog();
    DrawVectorText("A\x81\x40", 0.0f, 0.0f, 5.0f, size, 0.1f, 0x80ffffffu, 0, Japanese);
    // Batch 2 was drawn and emptied; the caller's batch keeps a placeholder.
    EXPECT_EQ(TextBatches[2].count, 0);
    EXPECT_FALSE(Device.CallsNamed("DrawIndexedTriangles").empty());
    ASSERT_EQ(Quads().size(), 1u);
    EXPECT_EQ(Quads()[0].Clip, ClipPlaceholder);
    EXPECT_EQ(TextBatches[0].uncached, 1);
    Device.ClearLog();
    DrawTextLayer();
    EXPECT_EQ(renderer.renderCalls[0x3000], 1);
    EXPECT_NE(DoubleByteTables[0].entries[0].cacheSlot, NoCacheSlot);
    EXPECT_EQ(Quads()[0].texture, QuadUncached);   // a placeholder is never drawn
    DrawTextLayerFinal();
    EXPECT_TRUE(Device.CallsNamed("DrawIndexedTriangles").empty());
}

}  // namespace
