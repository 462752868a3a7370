#include "render/lit_colours.h"

#include <gtest/gtest.h>

#include "core/card_config.h"
#include "core/settings.h"
#include "render/view.h"

namespace {

constexpr int32_t One = 65536;

// Ground colour (100, 50, 20) below, sky light (200, 150, 100) above, the sun
// (100, 100, 100) along view x and world x; view up is view y.
class LitColoursTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = CurrentView;
        modulate = Modulate2xOn;
        Modulate2xOn = 0;
        view = ViewRecord{};
        CurrentView = &view;
        view.groundColour = {100, 50, 20, 0};
        view.skyLight[0] = 200;
        view.skyLight[1] = 150;
        view.skyLight[2] = 100;
        for (int32_t &level : view.sunLight) {
            level = 100;
        }
        view.upView = {0, One, 0};
        view.sunDirView = {One, 0, 0};
        view.sunDir = {One, 0, 0};
        UpdateHemisphereLight();
    }
    void TearDown() override
    {
        CurrentView = previous;
        Modulate2xOn = modulate;
    }

    ViewRecord view{};
    ViewRecord *previous = nullptr;
    uint32_t modulate = 0;
};

const Colour Grey = {200, 200, 200, 0};

TEST_F(LitColoursTest, HemisphereLevels)
{
    EXPECT_EQ(GroundLight[0], 127);
    EXPECT_EQ(GroundLight[1], 63);
    EXPECT_EQ(GroundLight[2], 25);
    EXPECT_EQ(SkyGroundDelta[0], 127);
    EXPECT_EQ(SkyGroundDelta[1], 127);
    EXPECT_EQ(SkyGroundDelta[2], 102);
    // A bright ground saturates; a sky darker than the ground gives a negative delta.
    view.groundColour = {250, 0, 0, 0};
    view.skyLight[0] = 0;
    UpdateHemisphereLight();
    EXPECT_EQ(GroundLight[0], 255);
    EXPECT_EQ(SkyGroundDelta[0], -318);
}

TEST_F(LitColoursTest, LightsFromTheSettings)
{
    const Colour savedSun = SunColour;
    SunColour = {240, 230, 220, 0};
    view.skyColour = {100, 110, 120, 0};
    view.groundColour = {80, 60, 40, 0};
    SetViewLightsFromSettings();
    EXPECT_EQ(view.sunColour.green, 230);
    EXPECT_EQ(view.sunLight[0], 240);
    EXPECT_EQ(view.sunLight[2], 220);
    EXPECT_EQ(view.skyLight[1], 110);
    EXPECT_EQ(GroundLight[0], 80 * 255 / 200);
    EXPECT_EQ(SkyGroundDelta[2], (120 - 40) * 255 / 200);
    SunColour = savedSun;
}

TEST_F(LitColoursTest, GroundBelowSkyAboveAndNoSunEdgeOn)
{
    // Straight down: the ground light alone, (200 x level) >> 8.
    EXPECT_EQ(ShadeColour({0, -One, 0}, Grey), PackRgb(99, 49, 19));
    // Straight up: ground + delta, the sky light on the 255 scale.
    EXPECT_EQ(ShadeColour({0, One, 0}, Grey), PackRgb(198, 148, 99));
    // The sun lies edge-on to both (d = 0): no sun term.
    const uint32_t edgeOn = ShadeColour({0, 0, One}, Grey);
    view.sunLight[0] = 100000;
    EXPECT_EQ(ShadeColour({0, 0, One}, Grey), edgeOn);
    EXPECT_EQ(ShadeColourUpward({0, One, 0}, Grey), edgeOn);   // world z 0: half way, sun along x
    view.sunLight[0] = 100;
    // Facing the sun: (200 x (127 + 63) + 65536 x 20000 >> 16) >> 8 on red.
    EXPECT_EQ(ShadeColour({One, 0, 0}, Grey) >> 16 & 0xFF, static_cast<uint32_t>((200 * 190 + 20000) >> 8));
    // Upward uses the world normal's z for the hemisphere.
    EXPECT_EQ(ShadeColourUpward({0, 0, -One}, Grey), PackRgb(99, 49, 19));
    EXPECT_EQ(ShadeColourUpward({0, 0, One}, Grey), PackRgb(198, 148, 99));
    // Unlit colours are used as they are.
    EXPECT_EQ(ShadeColourUpward({0, 0, One}, {1, 2, 3, 1}), PackRgb(1, 2, 3));
    EXPECT_EQ(ShadeColourUnlessUnlit({0, 0, One}, {1, 2, 3, 1}, 0), 0xFF010203u);
    EXPECT_EQ(ShadeColourUnlessUnlit({0, -One, 0}, Grey, 0), 0xFF000000u | 99u << 16 | 49u << 8 | 19u);
    EXPECT_EQ(ShadeColourUnlessUnlit({0, -One, 0}, Grey, 1), 0xFF000000u | 49u << 16 | 24u << 8 | 9u);
}

TEST_F(LitColoursTest, HighlightsStartAboveHalfAndRiseWithTheFourthPower)
{
    view.sunHalf = {0, 0, One};
    view.sunLight[0] = 255;
    view.sunLight[1] = 0;
    view.sunLight[2] = 0;
    struct Case {
        int32_t dot;      // sunHalf . n
        uint32_t red;
    };
    // ((h^2 >> 16)^2 >> 16) << 6, x 255 >> 16, >> 8.
    const Case cases[] = {{0, 0}, {One / 2, 0}, {One / 2 + 1, 3}, {49152, 20}, {One, 63}};
    for (const Case &c : cases) {
        const int32_t side = c.dot == One ? 0 : 1000;
        EXPECT_EQ(ShadeHighlight({0, side, c.dot}) >> 16 & 0xFF, c.red) << c.dot;
    }
    // The sky's highlight has twice the weight.
    view.sunHalf = {0, 0, 0};
    view.upHalf = {0, 0, One};
    view.skyLight[0] = 255;
    view.skyLight[1] = 0;
    view.skyLight[2] = 0;
    EXPECT_EQ(ShadeHighlight({0, 0, One}), 0xFF000000u | 127u << 16);
    Modulate2xOn = 1;
    EXPECT_EQ(ShadeHighlight({0, 0, One}), 0xFF000000u | 63u << 16);

    // The highlighted colour adds (h^2) x sunLight x 32 and takes 3/4.
    view.sunHalf = {0, 0, One};
    view.upHalf = {0, 0, 0};
    Modulate2xOn = 0;
    const Colour black = {0, 0, 0, 0};
    EXPECT_EQ(ShadeColourHighlighted({0, 0, One}, black), 0xFF000000u | ((255 * 32 * 3) >> 10) << 16);
}

TEST_F(LitColoursTest, ChannelsSaturateAndModulate2xHalves)
{
    view.sunLight[0] = view.sunLight[1] = view.sunLight[2] = 100000;
    const Colour white = {255, 255, 255, 0};
    EXPECT_EQ(ShadeColour({One, 0, 0}, white), PackRgb(255, 255, 255));
    EXPECT_EQ(ShadeColourUpward({One, 0, 0}, white), PackRgb(255, 255, 255));
    EXPECT_EQ(ShadeColourUnlessUnlit({One, 0, 0}, white, 0), 0xFFFFFFFFu);
    view.sunHalf = {One, 0, 0};
    EXPECT_EQ(ShadeColourHighlighted({One, 0, 0}, white), 0xFFFFFFFFu);
    EXPECT_EQ(ShadeHighlight({One, 0, 0}), 0xFFFFFFFFu);

    Modulate2xOn = 1;
    const uint32_t full = PackRgb(255, 255, 255);
    EXPECT_EQ(ShadeColour({One, 0, 0}, white), (full >> 1) & ~0x808080u);
    EXPECT_EQ(ShadeColour({0, -One, 0}, Grey), (PackRgb(99, 49, 19) >> 1) & ~0x808080u);
    EXPECT_EQ(ShadeColourUpward({0, 0, -One}, Grey), (PackRgb(99, 49, 19) >> 1) & ~0x808080u);
    // The unlit-aware shade shifts one more instead.
    EXPECT_EQ(ShadeColourUnlessUnlit({0, -One, 0}, Grey, 0), 0xFF000000u | 49u << 16 | 24u << 8 | 9u);
}

}  // namespace
