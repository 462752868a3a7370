#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/translation_table.h"
#include "core/fixed_math.h"
#include "render/lit_colours.h"
#include "render/view.h"
#include "tests/world/world_file_fixture.h"
#include "world/light_scheme.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

constexpr float Degree = 3.14159265f / 180.0f;

uint32_t Now = 0;
uint32_t FakeClock()
{
    return Now++;
}

int Stops = 0;
int Plays = 0;
int Playing = 0;

// Three schemes: Day Clear, Sunset Cloudy, Morning Overcast.
class LightSchemeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildTrigTables(); }
    void SetUp() override
    {
        SetLoadClock(FakeClock);
        SetWorldMessagePrinter(nullptr);
        Stops = Plays = 0;
        Playing = 1;
        SetLoopSoundHooks({[] { ++Stops; return Playing; }, [] { ++Plays; }});
        WorldFixture fixture;
        fixture.schemes.assign(3, SchemeFixture{});
        fixture.schemes[0].sunHeading = 0.5f;   // 28.6 degrees
        fixture.schemes[1].timeOfDay = 5;
        fixture.schemes[1].weather = 1;
        fixture.schemes[1].sunHeading = 90 * Degree;
        fixture.schemes[1].sunElevation = 30 * Degree;
        fixture.schemes[1].lightRatio = 0.0f;
        fixture.schemes[2].timeOfDay = 2;
        fixture.schemes[2].weather = 2;
        fixture.configs[0].path.lightMaps.resize(3);
        fixture.Write("Kestrel Water", "KE");
        world = WorldCreate();
        EXPECT_EQ(WorldOpen(world, "Kestrel Water", "KE", 0, 0, 1, 0, 0), 1);
        while (!WorldLoadStep(world)) {
        }
        EXPECT_EQ(world->lightSchemeCount, 3);
    }
    void TearDown() override
    {
        WorldDestroy(world);
        SetLoadClock(nullptr);
        SetLoopSoundHooks({nullptr, nullptr});
        ResetTranslationSlots();
    }

    World *world = nullptr;
};

TEST_F(LightSchemeTest, AnglesAreRoundedToWholeDegrees)
{
    EXPECT_NEAR(world->lightSchemes[0].sunHeading, 29 * Degree, 1e-6f);
    EXPECT_NEAR(world->lightSchemes[0].sunElevation, 40 * Degree, 1e-6f);
}

TEST_F(LightSchemeTest, SelectionClampsAndRestartsTheLoopSound)
{
    struct Step {
        int index, playing;
        int selected, stops, plays;
    };
    const Step steps[] = {
        {0, 1, 0, 0, 0},   // unchanged: no sound change
        {7, 1, 2, 1, 1},   // beyond the count: the last
        {-3, 0, 0, 2, 1},  // below: the first; the sound was off and stays off
        {1, 1, 1, 3, 2},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.index);
        Playing = s.playing;
        SelectLightScheme(world, s.index);
        EXPECT_EQ(world->lightSchemeIndex, s.selected);
        EXPECT_EQ(Stops, s.stops);
        EXPECT_EQ(Plays, s.plays);
    }
}

TEST_F(LightSchemeTest, NamesJoinWeatherAndTimeOfDay)
{
    char name[LightSchemeNameSize];
    world->FormatLightSchemeName(name, 1);
    EXPECT_STREQ(name, "Cloudy Sunset");
    world->FormatLightSchemeName(name, 2);
    EXPECT_STREQ(name, "Overcast Morning");

    // A language that puts the noun first says the time of day first.
    SetTranslationText(Text_tx_noun_adj, "na");
    SetTranslationText(Text_3g_dt_sunse, "Crepuscule");
    world->FormatLightSchemeName(name, 1);
    EXPECT_STREQ(name, "Crepuscule Cloudy");

    for (const int index : {-1, 3}) {
        std::memset(name, 'x', sizeof name);
        world->FormatLightSchemeName(name, index);
        EXPECT_EQ(name[0], 0);
        EXPECT_EQ(std::memcmp(name, std::string(LightSchemeNameSize, '\0').data(), sizeof name), 0);
    }
}

// Sunset Cloudy: sun (250, 200, 100) at 1.0, ambient (100, 120, 140) at
// 0.5, heading 90 and elevation 30 degrees, light ratio 0; the first track
// colour is grey 90.
TEST_F(LightSchemeTest, ApplyingASchemeLightsTheScene)
{
    ViewRecord view{};
    ViewRecord *previous = CurrentView;
    CurrentView = &view;
    view.fogColour = {1, 2, 3, 4};

    world->lightSchemeIndex = 1;
    world->ApplyLightScheme(0);
    EXPECT_EQ(view.sunLight[0], 250);
    EXPECT_EQ(view.sunLight[1], 200);
    EXPECT_EQ(view.sunLight[2], 100);
    EXPECT_EQ(view.skyLight[0], 50);
    EXPECT_EQ(view.skyLight[1], 60);
    EXPECT_EQ(view.skyLight[2], 70);
    EXPECT_EQ(view.sunColour.red, 250);
    EXPECT_EQ(view.skyColour.blue, 140);
    EXPECT_NEAR(view.sunDir.x, -56756, 1);
    EXPECT_NEAR(view.sunDir.y, 0, 1);
    EXPECT_NEAR(view.sunDir.z, 32768, 1);
    EXPECT_NEAR(view.shadowSin, 1.0f, 1e-6f);
    EXPECT_NEAR(view.shadowCos, 0.0f, 1e-6f);
    // A light ratio of 0 lights as 1.
    EXPECT_FLOAT_EQ(view.shadowLength, 1.0f);
    // (90 x (ambient x 255 / 200) + (z x sun x 90 >> 16)) >> 8 per channel.
    EXPECT_EQ(view.groundColour.red, 66);
    EXPECT_EQ(view.groundColour.green, 61);
    EXPECT_EQ(view.groundColour.blue, 48);
    const Colour fog = world->lightSchemes[1].fogColour;
    EXPECT_EQ(view.fogColour.red, fog.red);
    EXPECT_EQ(view.fogColour.green, fog.green);
    EXPECT_EQ(view.fogColour.blue, fog.blue);
    // The hemisphere levels follow the new ground colour and sky light.
    EXPECT_EQ(GroundLight[0], 66 * 255 / 200);
    EXPECT_EQ(GroundLight[2], 48 * 255 / 200);
    EXPECT_EQ(SkyGroundDelta[1], (60 - 61) * 255 / 200);
    EXPECT_EQ(SkyGroundDelta[2], (70 - 48) * 255 / 200);

    world->lightSchemeIndex = 0;
    world->ApplyLightScheme(0);
    EXPECT_FLOAT_EQ(view.shadowLength, 1.0f / 0.8f);
    EXPECT_EQ(GroundLight[0], view.groundColour.red * 255 / 200);
    CurrentView = previous;
}

} // namespace
