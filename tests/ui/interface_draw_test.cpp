// The interface pass on the recording device: button faces (corners, screen
// edges, textures), slider knobs, the batch's flushes and the order of the
// text layers.
#include "ui/interface_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/recording_device.h"
#include "render/geometry_batch.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "ui/text_draw.h"
#include "render/buffer_pools.h"
#include "render/state_cache.h"
#include "tests/ui/fake_glyph_renderer.h"
#include "tests/ui/font_fixture.h"
#include "ui/font.h"
#include "ui/font_textures.h"
#include "ui/interface_colours.h"
#include "ui/interface_items.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"

namespace {

int ScreenWidth = 640;
int ScreenHeight = 480;

class InterfaceDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RenderShellLink link{};
        link.screenWidth = &ScreenWidth;
        link.screenHeight = &ScreenHeight;
        link.buildFontTextures = RebuildFontTextures;
        SetRenderShellLink(link);
        renderer.AddFace("Sans One", GlyphFaceSans);
        SetGlyphRenderer(&renderer);
        ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture(12)), "items").c_str()), 1);
        ASSERT_TRUE(UseGraphicsDevice(&Device));
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        ASSERT_EQ(StartGraphics(), 1);
        ASSERT_EQ(RebuildFontTextures(), 1);
        SetScreenTransform(0.0f, 0.0f, 1.0f, 1.0f);
        ScreenAspect = 0.75f;
        WidthOverHeight = 1.0f / 0.75f;
        PixelWidth = 2.0f / 640.0f;
        PixelHeight = 2.0f / 480.0f;
        TextWidthScale = 1.0f;
        ExitState = 0;
        InterfaceLayerMode = 0;
        PendingClick = 0;
        InitMessageColours();
        LoadInterfaceColours();
        ClearMessageLines();
        BeginInterfaceFrame();
        SelectTextBatch(0);
    }
    void TearDown() override
    {
        FlushInterfaceBatch();
        BeginInterfaceFrame();
        ReleaseCachePages();
        ReleaseFontTextures();
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderShellLink(RenderShellLink{});
        FreeFont();
        SetGlyphRenderer(nullptr);
        ClearMessageLines();
        InterfaceLayerMode = 0;
    }

    // The vertices waiting in the screen batch.
    static std::vector<ScreenVertex> Pending()
    {
        const ScreenVertex *first = reinterpret_cast<const ScreenVertex *>(ScreenBatch.vertices);
        return std::vector<ScreenVertex>(first, first + ScreenBatch.vertexCount);
    }
    int Draws() const
    {
        return static_cast<int>(Device.CallsNamed("DrawIndexedTriangles").size());
    }

    RecordingDevice Device;
    FakeGlyphRenderer renderer;
};

float MaxX(const std::vector<ScreenVertex> &v)
{
    float m = -1e9f;
    for (const ScreenVertex &p : v) {
        m = std::max(m, p.x);
    }
    return m;
}

float MinX(const std::vector<ScreenVertex> &v)
{
    float m = 1e9f;
    for (const ScreenVertex &p : v) {
        m = std::min(m, p.x);
    }
    return m;
}

TEST_F(InterfaceDrawTest, FacesTakeCornersByTheirSizeAndLoseThemOnTheScreenEdge)
{
    const Colour *grey = &InterfaceColours.buttonCol;
    struct Case {
        float x0, y0, x1, y1;
        int mode;          // the texture's batch mode
        int vertices;      // 4 a patch
        float right;       // pixels
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0.5f, 0.2f, BatchLargeButton, 36, 480.0f},    // nine patches
        {0.5f, 0.0f, 1.0f, 0.2f, BatchLargeButton, 24, 641.0f},    // right edge: no right column, one pixel out
        {0.0f, 0.0f, 0.5f, 0.05f, BatchSmallButton, 36, 480.0f},   // 0.05 high: the small texture
        {0.0f, 0.0f, 0.5f, 0.015f, BatchSmallButton, 4, 480.0f},   // lower than two corners: no corners
        {0.0f, 0.0f, 0.01f, 0.05f, BatchSmallButton, 12, 323.2f},  // narrower: three slices
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x1 - c.x0);
        SCOPED_TRACE(c.y1 - c.y0);
        FlushInterfaceBatch();
        DrawButtonFace(grey, 0, c.x0, c.y0, c.x1, c.y1, 0, 0);
        EXPECT_EQ(InterfaceBatchMode, c.mode);
        const std::vector<ScreenVertex> v = Pending();
        ASSERT_EQ(static_cast<int>(v.size()), c.vertices);
        EXPECT_NEAR(MaxX(v), c.right, 1e-3f);
        EXPECT_EQ(v[0].colour, 0x66c8c8c8u);  // "Button Col" at the button opacity 0.4
    }
    // The corner is square on screen: 0.016 high, 0.016 x 0.75 across.
    FlushInterfaceBatch();
    DrawButtonFace(grey, 1, 0.0f, 0.0f, 0.5f, 0.5f, 3, 0);
    const std::vector<ScreenVertex> v = Pending();
    EXPECT_NEAR(v[1].x - v[0].x, 0.016f * 0.75f * 320.0f, 1e-3f);
    EXPECT_NEAR(v[3].y - v[0].y, 0.016f * 240.0f, 1e-3f);
    EXPECT_EQ(v[0].colour, 0xffb0b0b0u);  // pressed: 24 darker, opaque style
}

TEST_F(InterfaceDrawTest, ASliderAtItsMinimumKeepsItsKnobInside)
{
    for (float value : {0.0f, -5.0f}) {
        SCOPED_TRACE(value);
        BeginInterfaceFrame();
        AddItem(nullptr, -0.5f, 0.0f, 0.5f, 0.1f, &value, 0.0f, 1.0f, "%.2f", ItemFloatSlider, nullptr, nullptr);
        DrawItemFaces(0);
        // The knob is the last flush: 0.01 wide, so three slices of the small
        // texture, 0.005 either side of x0 + 0.01.
        const std::vector<uint8_t> bytes = Device.BufferBytes(ScreenBatch.vertexBuffer->handle);
        ASSERT_GE(bytes.size(), 12 * sizeof(ScreenVertex));
        std::vector<ScreenVertex> knob(12);
        std::memcpy(knob.data(), bytes.data(), knob.size() * sizeof(ScreenVertex));
        EXPECT_NEAR(MinX(knob), (1.0f - 0.495f) * 320.0f, 1e-2f);
        EXPECT_NEAR(MaxX(knob), (1.0f - 0.485f) * 320.0f, 1e-2f);
        EXPECT_EQ(knob[0].colour, 0xffbac8ccu);  // "Big Text", opaque
    }
}

TEST_F(InterfaceDrawTest, TheBatchFlushesOnATextureChangeAndAt5120Vertices)
{
    const Colour *grey = &InterfaceColours.buttonCol;
    int before = Draws();
    DrawButtonFace(grey, 0, 0.0f, 0.0f, 0.5f, 0.5f, 0, 0);
    DrawButtonFace(grey, 0, 0.0f, 0.6f, 0.5f, 0.9f, 0, 0);
    EXPECT_EQ(Draws(), before);  // same texture: still waiting
    DrawButtonFace(grey, 0, 0.0f, 0.0f, 0.05f, 0.05f, 0, 0);
    EXPECT_EQ(Draws(), before + 1);  // the large faces went first
    FlushInterfaceBatch();
    EXPECT_EQ(InterfaceBatchMode, BatchNone);
    EXPECT_EQ(Draws(), before + 2);

    // 36 vertices a face: the 143rd reaches 5148 and is flushed at once.
    before = Draws();
    for (int i = 0; i < 142; ++i) {
        DrawButtonFace(grey, 0, 0.0f, 0.0f, 0.5f, 0.5f, 0, 0);
    }
    EXPECT_EQ(Draws(), before);
    EXPECT_EQ(ScreenBatch.vertexCount, 142u * 36u);
    DrawButtonFace(grey, 0, 0.0f, 0.0f, 0.5f, 0.5f, 0, 0);
    EXPECT_EQ(Draws(), before + 1);
    EXPECT_EQ(InterfaceBatchMode, BatchNone);
}

TEST_F(InterfaceDrawTest, MessagesLieOverTheItemsInMode0AndUnderThemOtherwise)
{
    MessageSize = 0.05f;
    MessageTop = -1.0f;
    const Colour *red = &MessageColours[ColourRed];
    PrintMessage("AB", red);
    const uint32_t lineColour = 0xffff0000u;
    for (uint32_t mode : {0u, 1u, 2u}) {
        SCOPED_TRACE(mode);
        InterfaceLayerMode = mode;
        BeginInterfaceFrame();
        AddItem(nullptr, 0.0f, 0.0f, 0.5f, 0.1f, 0, "A", 0, 0, ItemButton, &InterfaceColours.textUnselected,
                nullptr);
        // The queuing order of DrawInterface: the first layer ends at the mark.
        SelectTextBatch(0);
        if (mode != 0) {
            DrawMessageTexts();
            MarkTextLayer();
            DrawItemTexts(0);
        } else {
            DrawItemTexts(0);
            MarkTextLayer();
            DrawMessageTexts();
        }
        const TextBatch &batch = TextBatches[0];
        ASSERT_GT(batch.count, batch.mark);
        const uint32_t first = batch.quads[0].topColour;
        const uint32_t last = batch.quads[batch.count - 1].topColour;
        if (mode == 0) {
            EXPECT_EQ(first, 0xff000000u);  // the item's black text first, under the lines
            EXPECT_EQ(last, lineColour);
        } else {
            EXPECT_EQ(first, mode == 1 ? 0xa0ff0000u : lineColour);  // translucent in mode 1
            EXPECT_EQ(last, 0xff000000u);
        }
        DrawTextLayer();
        DrawTextLayerFinal();
    }
    // The whole pass runs in each mode and leaves blending off.
    for (uint32_t mode : {0u, 1u, 2u}) {
        InterfaceLayerMode = mode;
        DrawInterface();
        EXPECT_EQ(InterfaceBatchMode, BatchNone);
        EXPECT_EQ(TextBatches[0].count, 0);
    }
}

TEST_F(InterfaceDrawTest, MessageBacksReachPastTheMeasuredText)
{
    MessageSize = 0.05f;
    MessageTop = -1.0f;
    PrintMessage("AB", &MessageColours[ColourWhite]);
    for (uint32_t mode : {0u, 1u}) {
        InterfaceLayerMode = mode;
        const float width = MeasureCodedText("AB", 0.025f, MessageLines[0].CodePage);
        FlushInterfaceBatch();
        SetRenderStateCached(RsAlphaBlendEnable, 1);
        // Read the band before its flush.
        DrawShadeRect(-1.0f, -1.0f, width + 0.2f * MessageSize - 1.0f, -1.0f + MessageSize,
                      mode == 1 ? 0x40000000u : 0x60000000u);
        const std::vector<ScreenVertex> v = Pending();
        ASSERT_EQ(v.size(), 4u);
        EXPECT_NEAR(MinX(v), -1.0f, 1e-3f);  // one pixel past the left edge
        EXPECT_NEAR(MaxX(v), (width + 0.01f) * 320.0f, 1e-2f);
        FlushInterfaceBatch();
        DrawMessageBacks();
        EXPECT_EQ(InterfaceBatchMode, BatchNone);
    }
}

}  // namespace

namespace {

TEST_F(InterfaceDrawTest, TheConsoleShowsTheLastEightSlotsWhileTheyFit)
{
    for (int i = 0; i < MessageLineLimit; ++i) {
        PrintMessage(i == 12 ? "A" : (i == 13 ? "AA" : "AAA"), &MessageColours[ColourWhite]);
    }
    ASSERT_EQ(MessageLineCount, MessageLineLimit);
    std::vector<uint32_t> pixels(30 * 40, 0x123456u);
    ConsoleImage image{pixels.data(), 30, 40};
    DrawMessageLinesToDC(image, 2, 30);
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y * 30 + x)]; };
    // Slot 12 ("A") at y 2, slot 13 ("AA") 12 pixels lower; slot 14 would end
    // below the limit.
    EXPECT_NE(at(0, 2), 0x123456u);
    EXPECT_EQ(at(9, 2), 0x123456u);
    EXPECT_NE(at(0, 14), 0x123456u);
    EXPECT_NE(at(9, 14), 0x123456u);
    for (int y = 26; y < 40; ++y) {
        for (int x = 0; x < 30; ++x) {
            ASSERT_EQ(at(x, y), 0x123456u) << x << "," << y;
        }
    }
    ClearMessageLines();
}

}  // namespace
