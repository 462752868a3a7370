// The head-up display's texts as glyph quads on the recording device, over
// the fixture font.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/recording_device.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "scene/hud.h"
#include "tests/ui/fake_glyph_renderer.h"
#include "tests/ui/font_fixture.h"
#include "ui/font.h"
#include "ui/font_textures.h"
#include "ui/interface_draw.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"
#include "vehicle/car_object.h"

namespace {

int Width = 640;
int Height = 480;

class HudTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RenderShellLink link{};
        link.screenWidth = &Width;
        link.screenHeight = &Height;
        link.buildFontTextures = RebuildFontTextures;
        SetRenderShellLink(link);
        renderer.AddFace("Sans One", GlyphFaceSans);
        SetGlyphRenderer(&renderer);
        ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture(12)), "hud").c_str()), 1);
        ASSERT_TRUE(UseGraphicsDevice(&Device));
        ASSERT_EQ(StartRenderer(1, -1, 0), 0);
        ASSERT_EQ(StartGraphics(), 1);
        ASSERT_EQ(RebuildFontTextures(), 1);
        TextWidthScale = 1.0f;
        SelectTextBatch(0);
        Empty();
        savedShowFps = ShowFps;
        savedHudShown = HudShown;
        ShowFps = 0;
        HudShown = 1;
        HudFrameMs = 20;
        HudMessage = {};
        HudQueuedMessage = {};
        InitHudState();
        race = CreateRaceObject();
        race->carsOk = 1;
        RaceKind = 0;
    }
    void TearDown() override
    {
        DeleteRaceObject();
        ShowFps = savedShowFps;
        HudShown = savedHudShown;
        Empty();
        ReleaseCachePages();
        ReleaseFontTextures();
        StopGraphics();
        UseGraphicsDevice(nullptr);
        SetRenderShellLink(RenderShellLink{});
        FreeFont();
        SetGlyphRenderer(nullptr);
        ClearMessageLines();
    }
    void Empty()
    {
        TextBatches[0].count = 0;
        TextBatches[0].uncached = 0;
        TextBatches[0].mark = 0;
        TextBatches[0].rectCount = 0;
    }
    std::vector<GlyphQuad> Quads() const
    {
        return std::vector<GlyphQuad>(TextBatches[0].quads, TextBatches[0].quads + TextBatches[0].count);
    }
    // Quads of this colour, and the leftmost x among them.
    int CountColour(uint32_t colour, float *left) const
    {
        int n = 0;
        *left = 2.0f;
        for (const GlyphQuad &q : Quads()) {
            if (q.topColour == colour) {
                ++n;
                *left = q.x0 < *left ? q.x0 : *left;
            }
        }
        return n;
    }

    RecordingDevice Device;
    FakeGlyphRenderer renderer;
    RaceObject *race = nullptr;
    int savedShowFps = 0;
    int savedHudShown = 0;
};

TEST_F(HudTextTest, TopLeftMessageBecomesGlyphQuadsInItsColourAndPlace)
{
    // No message and "Show FPS " 0: the top-left line is empty; a frame
    // without a car and without a race caption queues nothing at the top left.
    DrawHud(nullptr, nullptr, 0, nullptr, nullptr);
    float left = 0.0f;
    EXPECT_EQ(CountColour(0xffffffffu, &left), 0);
    ASSERT_EQ(HudDrawnThisPass, 1);

    const Colour grey{128, 128, 128, 0};
    ShowHudMessage("AB", &grey);
    Empty();
    DrawHud(nullptr, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(CountColour(0xffffffffu, &left), 2);
    EXPECT_NEAR(left, -0.98f, 1e-5);

    // A queued message follows in red.
    QueueHudMessage("ABA");
    HudFrameMs = 5000;
    Empty();
    DrawHud(nullptr, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(CountColour(0xffff0000u, &left), 3);
    EXPECT_EQ(CountColour(0xffffffffu, &left), 0);

    // Nothing at all with HudShown 2.
    HudShown = 2;
    Empty();
    DrawHud(nullptr, nullptr, 0, nullptr, nullptr);
    EXPECT_TRUE(Quads().empty());
    EXPECT_EQ(TextBatches[0].rectCount, 0);
}

}  // namespace
