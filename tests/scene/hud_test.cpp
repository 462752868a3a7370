// The head-up display over a fake race, session and car, with a recording
// sink for its texts and the text batch's rectangles for its panels.
#include "scene/hud.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/graphics_device.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "render/state_cache.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"
#include "vehicle/car_object.h"
#include "world/world.h"
#include "world/zone_object.h"
#include "core/player_file.h"
#include "ui/interface_colours.h"

namespace {

struct Drawn {
    int kind;
    std::string text;
    float x, y, size;
    uint32_t colour;
    int codePage;
};

std::vector<Drawn> Items;

void Record(const HudDrawnItem &item)
{
    Items.push_back({item.kind, item.text != nullptr ? item.text : "", item.x, item.y, item.size, item.colour,
                     item.codePage});
}

int OptionsTab = 0;
int Lesson = 0;

class HudTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Items.clear();
        SetHudTextSink(Record);
        OptionsTab = 0;
        Lesson = 0;
        HudLinks = {};
        HudLinks.optionsTab = [] { return OptionsTab; };
        HudLinks.lessonMode = [] { return Lesson; };
        saved = {ShowFps,   HudShown,  HudBandsOn, StartLights, static_cast<int>(ScreenFlags),
                 static_cast<int>(EditorOptions), CtrlHeld, ShiftHeld, RaceKind, InfoDisplay, ShowResults};
        ShowFps = 1;
        HudShown = 1;
        HudBandsOn = 0;
        StartLights = 1;
        ScreenFlags = 0;
        EditorOptions = 0;
        CtrlHeld = 0;
        ShiftHeld = 0;
        RaceKind = 1;
        InfoDisplay = 0;
        ShowResults = 0;
        FrameRate = 50.0f;
        HudFrameMs = 20;
        Paused = 0;
        GameClock = 0;
        HudDrawnThisPass = 0;
        HudMessage = {};
        HudQueuedMessage = {};
        InitHudState();
        ClearMessageLines();
        TextBatches[0].rectCount = 0;
        SelectTextBatch(0);
        race = CreateRaceObject();
        race->carsOk = 1;
        race->raceLength = 3;
        race->countdownSeconds = 6;
        race->tick = 100;
        car = std::make_unique<CarObject>();
        car->penalty = 0;
        car->statusText[0] = 0;
        car->wrongWayCount = 0;
        car->countdown = 0;
        car->lastTime = 0;
        car->nextLine = 0;
        car->lapsDone = 0;
        car->bestLapTime = 0;
        car->lapLineCrossed = 0;
        car->lapStartTick = 0;
        car->raceStartTick = 0;
        car->finished = 0;
        car->lastStopTick = 0;
        car->resultTick = 0;
        HudCarLinks = {};
    }
    void TearDown() override
    {
        car.reset();
        DeleteRaceObject();
        SetHudTextSink(nullptr);
        HudLinks = {};
        HudCarLinks = {};
        ShowFps = saved[0];
        HudShown = saved[1];
        HudBandsOn = saved[2];
        StartLights = saved[3];
        ScreenFlags = static_cast<uint32_t>(saved[4]);
        EditorOptions = static_cast<uint32_t>(saved[5]);
        CtrlHeld = saved[6];
        ShiftHeld = saved[7];
        RaceKind = saved[8];
        InfoDisplay = saved[9];
        ShowResults = saved[10];
        TextBatches[0].rectCount = 0;
        ClearMessageLines();
    }

    void Draw(void (*replayBar)() = nullptr)
    {
        Items.clear();
        TextBatches[0].rectCount = 0;
        DrawHud(car.get(), car.get(), 0, nullptr, replayBar);
    }
    std::vector<Drawn> OfKind(int kind) const
    {
        std::vector<Drawn> out;
        for (const Drawn &d : Items) {
            if (d.kind == kind) {
                out.push_back(d);
            }
        }
        return out;
    }
    const Drawn *Find(const std::string &text) const
    {
        for (const Drawn &d : Items) {
            if (d.text == text) {
                return &d;
            }
        }
        return nullptr;
    }
    const Drawn *Caption() const
    {
        for (const Drawn &d : Items) {
            if (d.kind == 2) {
                return &d;
            }
        }
        return nullptr;
    }

    std::vector<int> saved;
    RaceObject *race = nullptr;
    std::unique_ptr<CarObject> car;
};

int ReplayBarCalls = 0;
uint32_t DepthInReplayBar = 0;
void CountingReplayBar()
{
    ++ReplayBarCalls;
    DepthInReplayBar = WantedRenderState(RsZFunc);
}

TEST_F(HudTest, HudShownTwoDrawsNothingAndEveryPathRestoresTheFrameChanges)
{
    HudShown = 2;
    ReplayBarCalls = 0;
    Draw(CountingReplayBar);
    EXPECT_TRUE(Items.empty());
    EXPECT_EQ(TextBatches[0].rectCount, 0);
    EXPECT_EQ(ReplayBarCalls, 0);
    EXPECT_EQ(HudShown, 2);
    EXPECT_EQ(HudDrawnThisPass, 0);

    // The options screen's third tab shows the frame rate at the right for
    // this frame only; a special panel reduces the HUD for this frame only.
    HudShown = 1;
    OptionsTab = 3;
    HudSpecialPanel = 1;
    Draw(CountingReplayBar);
    EXPECT_EQ(ShowFps, 1);
    EXPECT_EQ(HudShown, 1);
    EXPECT_EQ(ReplayBarCalls, 1);
}

TEST_F(HudTest, DepthTestIsAlwaysWhileTheInstrumentsDrawAndLessEqualAfter)
{
    DepthInReplayBar = 0;
    Draw(CountingReplayBar);
    EXPECT_EQ(DepthInReplayBar, static_cast<uint32_t>(CmpAlways));
    EXPECT_EQ(WantedRenderState(RsZFunc), static_cast<uint32_t>(CmpLessEqual));
}

// One row per case: the race tick, race length, kind, "Start Lights ", the
// track's light state, bands; whether the lights show, the panels' top and
// the lamp levels (red 0..2, green 3).
struct LightCase {
    uint32_t tick;
    uint8_t length;
    int kind;
    int setting;
    int bands;
    bool shown;
    float top;
};

TEST_F(HudTest, StartLightsShowOnlyDuringTheStartOfARaceWithALength)
{
    const LightCase cases[] = {
        {100, 3, 1, 1, 0, true, -0.9f},
        {(6 * 5 + 10) * 20 - 1, 3, 1, 1, 0, true, -0.9f},
        {(6 * 5 + 10) * 20, 3, 1, 1, 0, false, 0.0f},
        {100, 0, 1, 1, 0, false, 0.0f},   // practice
        {100, 3, 2, 1, 0, false, 0.0f},   // qualifying
        {100, 3, 1, 0, 0, false, 0.0f},   // lights off
        {100, 3, 1, 1, 1, true, -0.7f},   // screen bands: the HUD spans -0.75..0.75
    };
    for (const LightCase &c : cases) {
        race->tick = c.tick;
        race->raceLength = c.length;
        RaceKind = c.kind;
        StartLights = c.setting;
        HudBandsOn = c.bands;
        Draw();
        const std::vector<Drawn> panels = OfKind(5);
        SCOPED_TRACE(c.tick);
        if (!c.shown) {
            EXPECT_TRUE(panels.empty());
            continue;
        }
        ASSERT_EQ(panels.size(), 3u);
        EXPECT_FLOAT_EQ(panels[0].x, -0.9f);
        EXPECT_FLOAT_EQ(panels[1].x, -0.85f);
        EXPECT_FLOAT_EQ(panels[0].y, c.top);
        // All four lamps count without a track record present.
        EXPECT_FLOAT_EQ(panels[0].size, (4 * 0.045f + 0.015f) * 0.75f);
        EXPECT_EQ(OfKind(4).size(), 12u);
    }
}

TEST_F(HudTest, LampsBelowTheStateAreLitAndStateFourLightsOnlyTheGreen)
{
    // Without a loaded track the state is 0; the lamp levels follow the
    // state through the world when one is loaded, so the rule is checked on
    // the colours the HUD makes for each state.
    Draw();
    const std::vector<Drawn> lamps = OfKind(4);
    ASSERT_EQ(lamps.size(), 12u);
    for (int i = 0; i < 4; ++i) {
        const uint32_t dim = i == 3 ? PackRgb(0, 60, 0) : PackRgb(60, 0, 0);
        EXPECT_EQ(lamps[i].colour, dim) << i;
        EXPECT_EQ(lamps[i].codePage, i);   // the lamp's index
    }
    // The three black panels are drawn first, the lamps over them.
    ASSERT_GE(Items.size(), 15u);
    int panels = 0;
    for (const Drawn &d : Items) {
        if (d.kind == 4) {
            break;
        }
        panels += d.kind == 5;
    }
    EXPECT_EQ(panels, 3);
    EXPECT_EQ(OfKind(5)[0].colour, 0xff000000u);
}

TEST_F(HudTest, LampLevelsFollowTheTracksStartLightState)
{
    World *savedWorld = CurrentWorld;
    World *world = WorldCreate();
    CurrentWorld = world;
    // state, then the lit flags of lamps 0..3
    const int cases[][5] = {
        {0, 0, 0, 0, 0}, {1, 1, 0, 0, 0}, {2, 1, 1, 0, 0}, {3, 1, 1, 1, 0}, {4, 0, 0, 0, 1},
    };
    for (const auto &c : cases) {
        world->startLightState = c[0];
        Draw();
        const std::vector<Drawn> lamps = OfKind(4);
        ASSERT_EQ(lamps.size(), 12u);
        for (int i = 0; i < 4; ++i) {
            const int level = c[1 + i] ? 255 : 60;
            const uint32_t expected = i == 3 ? PackRgb(0, level, 0) : PackRgb(level, 0, 0);
            EXPECT_EQ(lamps[i].colour, expected) << "state " << c[0] << " lamp " << i;
            EXPECT_EQ(lamps[8 + i].colour, expected) << "third panel";
        }
    }
    // With one lamp record bound only one lamp row is drawn in each panel.
    uint32_t word = 0;
    world->startLamps[0].boundColours[0] = &word;
    Draw();
    EXPECT_EQ(OfKind(4).size(), 3u);
    EXPECT_FLOAT_EQ(OfKind(5)[0].size, (0.045f + 0.015f) * 0.75f);
    world->startLamps[0].boundColours[0] = nullptr;
    WorldDestroy(world);
    CurrentWorld = savedWorld;
}

TEST_F(HudTest, StartLightsTwoWithResultsMoveBelowTheTimingLines)
{
    StartLights = 2;
    race->resultCount = 1;
    Draw();
    const std::vector<Drawn> panels = OfKind(5);
    ASSERT_EQ(panels.size(), 3u);
    EXPECT_FLOAT_EQ(panels[0].x, 0.76f);
    EXPECT_GE(panels[0].y, 0.02f - 1.0f + 0.15f);
}

TEST_F(HudTest, MessagesGoToTheHudLineOnlyInAPassWhereItWasDrawn)
{
    const Colour green{0, 255, 0, 0};
    ShowHudMessage("not drawn", &green);
    EXPECT_EQ(MessageLineCount, 1);
    EXPECT_EQ(HudMessage.remaining, 0);

    Draw();
    ASSERT_EQ(HudDrawnThisPass, 1);
    ShowHudMessage("four seconds", &green);
    EXPECT_EQ(HudMessage.remaining, 4000);
    EXPECT_EQ(MessageLineCount, 1);
    Draw();
    const Drawn *line = Find("four seconds");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->colour, PackRgb(255, 255, 255));   // the colour is not used
    EXPECT_FLOAT_EQ(line->x, -0.98f);
    EXPECT_FLOAT_EQ(line->y, -0.99f);
    EXPECT_EQ(HudMessage.remaining, 4000 - 20);

    ShowHudMessageShort("one second", &green);
    EXPECT_EQ(HudMessage.remaining, 1000);

    // A long text is cut to the message's size.
    const std::string longText(300, 'x');
    ShowHudMessage(longText.c_str(), &green);
    EXPECT_EQ(std::strlen(HudMessage.text), static_cast<size_t>(HudMessageSize - 1));
    QueueHudMessage(longText.c_str());
    EXPECT_EQ(std::strlen(HudQueuedMessage.text), static_cast<size_t>(HudMessageSize - 1));
    SetHudTitle(longText.c_str());
    EXPECT_EQ(std::strlen(HudTitle), static_cast<size_t>(HudTitleSize - 1));
    SetHudTitle(nullptr);
    EXPECT_EQ(HudTitle[0], 0);
}

TEST_F(HudTest, AQueuedMessageReplacesAnEndingOneInRedForEightSeconds)
{
    Draw();
    const Colour white{255, 255, 255, 0};
    ShowHudMessageShort("ending", &white);
    QueueHudMessage("queued");
    HudFrameMs = 1000;
    Draw();
    const Drawn *line = Find("queued");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->colour, PackRgb(255, 0, 0));
    EXPECT_EQ(HudMessage.remaining, 8000);
    EXPECT_EQ(HudMessage.elapsed, 1);
    EXPECT_EQ(HudQueuedMessage.text[0], 0);
    EXPECT_EQ(Find("ending"), nullptr);
}

TEST_F(HudTest, TopLeftLineFollowsShowFpsAndTheClockSwap)
{
    struct Case {
        int showFps;
        uint32_t editor;
        int ctrlShift;
        bool clock;   // else the frame rate; showFps 0 draws nothing
        float right;
    };
    const Case cases[] = {
        {0, 0, 0, false, 0.0f},
        {1, 0, 0, false, -0.88f},
        {2, 0, 0, false, 0.98f},
        {1, 0x100, 0, true, -0.88f},
        {1, 0x100, 1, false, -0.88f},
        {1, 0, 1, true, -0.88f},
    };
    for (const Case &c : cases) {
        ShowFps = c.showFps;
        EditorOptions = c.editor;
        CtrlHeld = ShiftHeld = c.ctrlShift;
        Draw();
        SCOPED_TRACE(c.showFps * 100 + static_cast<int>(c.editor) + c.ctrlShift);
        const Drawn *line = nullptr;
        for (const Drawn &d : Items) {
            if (d.codePage == 10 && d.kind == 1 && d.y == -0.99f) {
                line = &d;
            }
        }
        if (c.showFps == 0) {
            EXPECT_EQ(line, nullptr);
            continue;
        }
        ASSERT_NE(line, nullptr);
        EXPECT_FLOAT_EQ(line->x, c.right);
        // The frame rate "50.0" raised into the digit glyphs.
        const std::string rate = {char('5' + 0x70), char('0' + 0x70), char('.' + 0x70), char('0' + 0x70)};
        EXPECT_EQ(line->text == rate, !c.clock);
        EXPECT_EQ(line->colour, PackRgb(255, 255, 255));
    }
    // With screen bands the line is dimmed, and stays at the top.
    ShowFps = 1;
    EditorOptions = 0;
    CtrlHeld = ShiftHeld = 0;
    HudBandsOn = 1;
    Draw();
    bool found = false;
    for (const Drawn &d : Items) {
        if (d.codePage == 10 && d.kind == 1 && d.y == -0.99f) {
            EXPECT_EQ(d.colour, PackRgb(160, 160, 160));
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(HudTest, SystemCaptionPriority)
{
    struct Case {
        int hudShown;
        uint32_t editor;
        int tab;
        int exiting;
        int pending;
        uint32_t paused;
        uint32_t clock;
        uint8_t carsOk;
        int result;
        const char *caption;   // null: none drawn
    };
    const Case cases[] = {
        {1, 0, 2, 1, 0, 0, 0, 1, 1, nullptr},           // options tab: suppressed
        {0, 0, 0, 1, 0, 0, 0, 1, 1, nullptr},           // reduced HUD
        {0, 0x8000, 0, 1, 0, 0, 0, 1, 1, "exiting..."}, // reduced HUD keeping captions
        {1, 0, 0, 1, 3, 1, 1024, 1, 1, "exiting..."},
        {1, 0, 0, 0, 3, 1, 1024, 1, 1, "spectate"},
        {1, 0, 0, 0, 9, 0, 0, 1, 1, "OK"},              // an unknown action code
        {1, 0, 0, 0, 0, 1, 1024, 1, 1, "PAUSED"},
        {1, 0, 0, 0, 0, 1, 2048, 1, 1, nullptr},        // the other half of the blink
        {1, 0, 0, 0, 0, 1, 3072, 1, 1, "PAUSED"},
        {1, 0, 0, 0, 0, 0, 0, 0, 1, "car error"},
        {1, 0, 0, 0, 0, 0, 0, 1, 0, nullptr},
    };
    const int savedExit = ExitState;
    for (const Case &c : cases) {
        HudShown = c.hudShown;
        EditorOptions = c.editor;
        OptionsTab = c.tab;
        ExitState = c.exiting;
        HudPendingAction = c.pending;
        Paused = c.paused;
        GameClock = c.clock;
        race->carsOk = c.carsOk;
        Items.clear();
        SCOPED_TRACE(c.caption != nullptr ? c.caption : "none");
        EXPECT_EQ(DrawSystemCaption(0xffffffffu), c.result);
        const Drawn *caption = Caption();
        if (c.caption == nullptr) {
            EXPECT_EQ(caption, nullptr);
        } else {
            ASSERT_NE(caption, nullptr);
            EXPECT_EQ(caption->text, c.caption);
        }
    }
    ExitState = savedExit;
    Paused = 0;
}

TEST_F(HudTest, VoteCaptionNamesTheSessionAndItsSecondsLeft)
{
    struct Case {
        int kind, restarts;
        int32_t ticks;
        const char *text;   // null: no vote caption, the next rule holds
    };
    static Case current{};
    const Case cases[] = {
        {1, 0, 0, "Race RESTARTS : 1"},
        {2, 0, 250, "Race STARTS : 3"},
        {2, 1, 99, "Race RESTARTS : 1"},
        {3, 0, 1000, "Qualifying STARTS : 11"},
        {4, 0, 100, "Race ENDS : 2"},
        {0, 0, 100, nullptr},
        {77, 0, 100, nullptr},   // a kind from another program this one does not know
    };
    HudLinks.voteKind = [](int32_t *ticks, int *restarts) {
        *ticks = current.ticks;
        *restarts = current.restarts;
        return current.kind;
    };
    for (const Case &c : cases) {
        current = c;
        Items.clear();
        const int drawn = DrawSystemCaption(0xffffffffu);
        SCOPED_TRACE(c.kind);
        if (c.text == nullptr) {
            EXPECT_EQ(drawn, 0);
            EXPECT_EQ(Caption(), nullptr);
        } else {
            EXPECT_EQ(drawn, 1);
            ASSERT_NE(Caption(), nullptr);
            EXPECT_EQ(Caption()->text, c.text);
        }
    }
}

TEST_F(HudTest, HudCaptionsOfTheViewedCar)
{
    race->tick = 5000;   // past the race description
    // A retired car in a lesson with a title shows "RETIRED".
    Lesson = 1;
    SetHudTitle("Lesson title");
    HudCarLinks.retired = [](const CarObject *) { return 1; };
    Items.clear();
    DrawHudCaption(car.get());
    ASSERT_NE(Caption(), nullptr);
    EXPECT_EQ(Caption()->text, "RETIRED");
    HudCarLinks.retired = nullptr;
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_EQ(Caption()->text, "Lesson title");
    SetHudTitle("");
    Lesson = 0;

    // The yellow flag holds 100 ticks after the car last saw a stopped or
    // slow car ahead.
    HudCarLinks.yellowFlag = [](const CarObject *) { return 1; };
    Items.clear();
    DrawHudCaption(car.get());
    HudCarLinks.yellowFlag = nullptr;
    EXPECT_EQ(YellowFlagHold, 100);
    for (int i = 0; i < 99; ++i) {
        CountHudHolds();
    }
    Items.clear();
    DrawHudCaption(car.get());
    ASSERT_NE(Caption(), nullptr);
    EXPECT_EQ(Caption()->text, "YELLOW FLAG");
    EXPECT_EQ(Caption()->colour, HudColourYellow);
    CountHudHolds();
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_EQ(Caption(), nullptr);

    // Penalties: a value from another program outside 1..6 draws nothing.
    const std::pair<int, const char *> penalties[] = {
        {1, "DRIVE-THROUGH PENALTY"}, {4, "STOP-GO PENALTY"}, {6, "45 SECOND TIME PENALTY"}, {7, nullptr},
        {255, nullptr}};
    for (const auto &[penalty, text] : penalties) {
        car->penalty = static_cast<uint8_t>(penalty);
        Items.clear();
        DrawHudCaption(car.get());
        if (text == nullptr) {
            EXPECT_EQ(Caption(), nullptr);
        } else {
            ASSERT_NE(Caption(), nullptr);
            EXPECT_EQ(Caption()->text, text);
        }
    }
    car->penalty = 3;
    HudCarLinks.penaltyReason = [](const CarObject *) { return 2; };
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_EQ(Caption()->text, "STOP-GO PENALTY");
    ASSERT_FALSE(OfKind(3).empty());
    EXPECT_EQ(OfKind(3)[0].text, "WRONG WAY");
    // With a dialog open the second line is not drawn, the main caption is.
    const int savedEntry = TextEntryActive;
    TextEntryActive = 1;
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_NE(Caption(), nullptr);
    EXPECT_TRUE(OfKind(3).empty());
    TextEntryActive = savedEntry;
    HudCarLinks.penaltyReason = nullptr;
    car->penalty = 0;

    // Wrong way with a consequence out of range shows the plain warning.
    static int consequence = 2;
    HudCarLinks.wrongWay = [](const CarObject *, int *c) {
        *c = consequence;
        return 1;
    };
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_EQ(Caption()->text, "WARNING : WRONG WAY - BAN");
    EXPECT_EQ(Caption()->colour, PackRgb(255, 0, 0));
    consequence = 9;
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_EQ(Caption()->text, "WARNING : WRONG WAY");
}

TEST_F(HudTest, PitLaneHintPicksItsArrowAndShowsTheLowestLimit)
{
    race->tick = 5000;
    World *savedWorld = CurrentWorld;
    World *world = WorldCreate();
    CurrentWorld = world;
    ZoneObject slow(0, 0);
    ZoneObject fast(0, 0);
    slow.speedLimit = 60;
    fast.speedLimit = 80;
    world->speedZones[0] = &fast;
    world->speedZones[1] = &slow;
    world->speedZoneCount = 2;
    const uint32_t savedUnit = SpeedUnitKmh;
    static float cross = 0.0f;
    HudCarLinks.pitLaneHint = [](const CarObject *, float *c) {
        *c = cross;
        return 1;
    };
    struct Case {
        float cross;
        uint32_t kmh;
        const char *arrow;   // null: none
        const char *limit;
    };
    const Case cases[] = {
        {0.8f, 1, "\x8b", "60 km/h"},
        {-0.8f, 1, "\x9b", "60 km/h"},
        {0.7f, 1, nullptr, "60 km/h"},
        {0.8f, 0, "\x8b", "37 mph"},   // 60 x 0.6213889 = 37.28
    };
    for (const Case &c : cases) {
        cross = c.cross;
        SpeedUnitKmh = c.kmh;
        Items.clear();
        DrawHudCaption(car.get());
        SCOPED_TRACE(c.limit);
        if (c.arrow == nullptr) {
            EXPECT_EQ(Caption(), nullptr);
        } else {
            ASSERT_NE(Caption(), nullptr);
            EXPECT_EQ(Caption()->text, c.arrow);
            EXPECT_EQ(Caption()->codePage, 0);
        }
        ASSERT_EQ(OfKind(3).size(), 1u);
        EXPECT_EQ(OfKind(3)[0].text, c.limit);
    }
    // Without a limit only the arrow shows.
    world->speedZoneCount = 0;
    cross = 0.8f;
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_TRUE(OfKind(3).empty());
    SpeedUnitKmh = savedUnit;
    world->speedZones[0] = world->speedZones[1] = nullptr;
    WorldDestroy(world);
    CurrentWorld = savedWorld;
}

TEST_F(HudTest, EarlyInTheSessionTheCaptionDescribesTheRace)
{
    const int savedOnline = OnlineFlag;
    OnlineFlag = 0;
    struct Case {
        int kind;
        uint8_t length;
        uint8_t minutes;
        uint8_t hotLap;
        uint8_t ai;
        const char *caption;
    };
    const Case cases[] = {
        {1, 3, 0, 0, 2, " : 3 laps (OK)"},
        {1, 1, 0, 0, 0, " : 1 lap (NEWBIE)"},
        {1, 0, 0, 0, 4, " : practice (PRO)"},
        {1, 192, 0, 0, 1, " : 2 hours (LEARNER)"},
        {1, 191, 0, 0, 9, " : 1 hour"},   // a skill level out of range names none
        {2, 3, 12, 0, 0, " : 12 mins qualifying (NEWBIE)"},
        {2, 3, 1, 0, 0, " : 1 min qualifying (NEWBIE)"},
        {1, 3, 0, 1, 0, " : hot lapping"},
    };
    for (const Case &c : cases) {
        RaceKind = c.kind;
        race->raceLength = c.length;
        race->qualifyMinutes = c.minutes;
        race->hotLapMode = c.hotLap;
        race->aiLevel = c.ai;
        race->tick = 100;   // before the first 3 s
        Items.clear();
        DrawHudCaption(car.get());
        ASSERT_NE(Caption(), nullptr) << c.caption;
        EXPECT_EQ(Caption()->text, c.caption);
    }
    // Past 5 s the description gives way.
    race->hotLapMode = 0;
    race->tick = 500;
    Items.clear();
    DrawHudCaption(car.get());
    EXPECT_EQ(Caption(), nullptr);
    OnlineFlag = savedOnline;
}

TEST_F(HudTest, ReadyCountdownAndGoInSingleCarMode)
{
    race->hotLapMode = 1;
    race->countdownSeconds = 6;
    struct Case {
        uint32_t tick;
        const char *caption;
    };
    const Case cases[] = {{300, "Ready : 4"}, {599, "Ready : 1"}, {600, "GO"}, {799, "GO"}, {800, nullptr}};
    for (const Case &c : cases) {
        race->tick = c.tick;
        Items.clear();
        DrawHudCaption(car.get());
        SCOPED_TRACE(c.tick);
        if (c.caption == nullptr) {
            EXPECT_EQ(Caption(), nullptr);
        } else {
            ASSERT_NE(Caption(), nullptr);
            EXPECT_EQ(Caption()->text, c.caption);
        }
    }
}

TEST_F(HudTest, TimingLines)
{
    race->tick = 2000;
    // Before the first timed lap only the lap counter (and the position).
    car->nextLine = 2;
    car->lapsDone = 0;
    car->lapStartTick = 1000;
    RaceKind = 0;
    race->raceLength = 3;
    Items.clear();
    float y = DrawTimingLines(car.get(), 1.0f);
    EXPECT_GE(y, 0.02f - 1.0f + 0.15f);
    // The race is lapped, so the running lap time shows with its label.
    EXPECT_NE(Find("time"), nullptr);
    EXPECT_EQ(Find("best"), nullptr);
    const Drawn *counter = Find("1/3");
    ASSERT_NE(counter, nullptr);
    EXPECT_FLOAT_EQ(counter->size, 0.0675f);

    // A best lap of 0 or 360000 counts as none.
    for (uint32_t best : {0u, 360000u}) {
        car->bestLapTime = best;
        Items.clear();
        DrawTimingLines(car.get(), 1.0f);
        EXPECT_EQ(Find("best"), nullptr) << best;
    }
    car->bestLapTime = 9000;
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    const Drawn *best = Find("best");
    ASSERT_NE(best, nullptr);
    // Labels sit 0.02 left of the leftmost value.
    const Drawn *value = Find("1:30.00");
    ASSERT_NE(value, nullptr);
    EXPECT_FLOAT_EQ(value->x, 0.98f);
    EXPECT_EQ(value->codePage, 10);

    // Qualifying time left turns orange at zero, with the rows below.
    RaceKind = 2;
    race->qualifyMinutes = 1;
    race->countdownSeconds = 0;
    race->tick = 7000;
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    const Drawn *left = Find("0:00.00");
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->colour, PackRgb(255, 150, 20));
    ASSERT_NE(Find("best"), nullptr);
    EXPECT_EQ(Find("best")->colour, PackRgb(255, 150, 20));
}

TEST_F(HudTest, TimingLinesTakeTheCarsTimedLapPenaltyAndOwnPositionText)
{
    race->tick = 2000;
    race->raceLength = 0;   // practice: the rows need a timed lap of the car
    RaceKind = 0;
    car->nextLine = 2;
    car->lapStartTick = 1000;
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    EXPECT_EQ(Find("time"), nullptr);
    static int timed = 0;
    HudCarLinks.lapTimed = [](const CarObject *) { return timed; };
    timed = 1;
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    ASSERT_NE(Find("time"), nullptr);
    EXPECT_NE(Find("0:10.00"), nullptr);

    // A penalty time: its own red row, labelled.
    car->penaltyTime = 3000;
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    const Drawn *penalty = Find("penalty");
    ASSERT_NE(penalty, nullptr);
    EXPECT_EQ(penalty->colour, PackRgb(255, 40, 40));
    const Drawn *value = Find("0:30.00");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->colour, PackRgb(255, 40, 40));
    EXPECT_FLOAT_EQ(value->y, penalty->y);
    EXPECT_GT(value->y, Find("0:10.00")->y);

    // The position: the car's own text when it has one, else the ordinal of
    // its place in the running order.
    ViewedRunningIndex = 1;
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    ASSERT_NE(Find("2nd"), nullptr);
    EXPECT_EQ(Find("2nd")->colour, HudColourYellow);
    HudCarLinks.positionText = [](const CarObject *, int *codePage) {
        *codePage = 0;
        return "P7";
    };
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    EXPECT_EQ(Find("2nd"), nullptr);
    const Drawn *own = Find("P7");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->codePage, 0);
    EXPECT_FLOAT_EQ(own->size, 0.0675f);
    ViewedRunningIndex = -1;
}

TEST_F(HudTest, InformationPanelsOneAndTwoDrawTheBodyValuesAndClutchHeat)
{
    car->wheelCount = 4;
    car->acceleration[0] = 0.0f;
    car->acceleration[1] = 0.0f;
    car->acceleration[2] = 0.0f;
    for (int i = 0; i < 9; ++i) {
        car->orientation[i] = (i % 4 == 0) ? 1.0f : 0.0f;
    }
    car->acceleration[0] = -9.81f * 1.5f;   // 1.5 g to the left
    car->acceleration[1] = 9.81f * 20.0f;   // beyond the read-out: 9.99
    car->engine.clutchHeat = 0.5f;
    race->tick = 100000;   // the start lights are long out
    struct Case {
        int panel, wheels, pedals, dashboardBit;
        bool drawn;
        float rightEnd;
    };
    const Case cases[] = {
        {1, 4, 0, 0, true, 1.0f - 0.12f - 0.14f},
        {2, 4, 1, 0, true, 0.92f - 0.12f - 0.14f},
        {3, 4, 0, 0, false, 0.0f},
        {1, 2, 0, 0, false, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.panel);
        InfoDisplay = c.panel;
        car->wheelCount = c.wheels;
        ScreenFlags = c.pedals ? 0x80u : 0u;
        Draw();
        const std::vector<Drawn> boxes = OfKind(5);
        const Drawn *label = Find("CT");
        if (!c.drawn) {
            EXPECT_EQ(label, nullptr);
            continue;
        }
        ASSERT_NE(label, nullptr);
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_NEAR(boxes[0].x + 0.1f, c.rightEnd, 1e-5f);   // the right box
        EXPECT_NEAR(boxes[1].x, -c.rightEnd, 1e-5f);         // its mirror
        EXPECT_NEAR(boxes[0].y, 0.9f, 1e-5f);
        ASSERT_NE(Find("1.50"), nullptr);
        EXPECT_EQ(Find("1.50")->colour, 0xffc0c000u);
        EXPECT_NE(Find("\x7e"), nullptr);
        EXPECT_NE(Find("9.99"), nullptr);
        EXPECT_NE(Find("\x7d"), nullptr);
        const std::vector<Drawn> bars = OfKind(6);
        ASSERT_EQ(bars.size(), 1u);
        EXPECT_FLOAT_EQ(bars[0].size, 0.5f);
        EXPECT_EQ(bars[0].colour, 0xffff0000u);
    }
    car->engine.clutchHeat = 0.1f;
    InfoDisplay = 1;
    car->wheelCount = 4;
    Draw();
    ASSERT_EQ(OfKind(6).size(), 1u);
    EXPECT_EQ(OfKind(6)[0].colour, 0xffff8000u);
    car->wheelCount = 0;
}

TEST_F(HudTest, HotLapCheckLine)
{
    struct Case {
        uint32_t single, lap, next;
        const char *text;
    };
    const Case cases[] = {
        {1, 0, 0, "HLVC : start lap"},
        {1, 1, 2, "HLVC : Lap-OK Next-invalid"},
        {2, 1, 0, "HLVC : Lap-OK [modified]"},
    };
    for (const Case &c : cases) {
        race->hotLapSingle = c.single;
        race->lapValid = c.lap;
        race->nextLapValid = c.next;
        Items.clear();
        DrawTimingLines(car.get(), 1.0f);
        const Drawn *line = Find(c.text);
        ASSERT_NE(line, nullptr) << c.text;
        EXPECT_EQ(line->colour, HudColourYellow);
    }
    // With a stored lap selected its time and number follow.
    race->hotLapSingle = 1;
    race->lapValid = 1;
    race->nextLapValid = 0;
    race->hudTimes.lineCount = 3;
    race->hudTimes.lapNumber = 2;
    race->hudTimes.lineTimes[2] = 8123;
    Items.clear();
    DrawTimingLines(car.get(), 1.0f);
    EXPECT_NE(Find("HLVC : Lap-OK [1:21.23 lap 2]"), nullptr);
    race->hudTimes = RaceBestLap{};
}

}  // namespace

namespace {

TEST(HudGating, OnScreenDashboardByViewMode)
{
    const int savedInternal = ClocksInternal;
    const int savedExternal = ClocksExternal;
    struct Case {
        uint32_t view;
        int freeOrFixed, internal, external, custom, wanted;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 1}, {3, 0, 0, 0, 0, 0}, {3, 0, 2, 0, 0, 1}, {3, 0, 1, 0, 0, 0},
        {4, 0, 0, 0, 2, 1}, {4, 0, 2, 0, 1, 0}, {1, 1, 0, 1, 0, 1}, {2, 1, 2, 0, 0, 0},
        {1, 0, 2, 1, 0, 0},
    };
    for (const Case &c : cases) {
        ClocksInternal = c.internal;
        ClocksExternal = c.external;
        EXPECT_EQ(HudDashboardWanted(c.view, c.freeOrFixed, c.custom), c.wanted)
            << c.view << " " << c.freeOrFixed << " " << c.internal << " " << c.external << " " << c.custom;
    }
    ClocksInternal = savedInternal;
    ClocksExternal = savedExternal;
}

TEST(HudGating, ResultsBoardOrRunningOrderAndTheMap)
{
    const int savedResults = ShowResults;
    const int savedMap = ShowMap;
    struct Case {
        int mode, hasResults, viewed, driven, over;
        int32_t stopped, timing;
        int board;
    };
    const Case cases[] = {
        {1, 0, 1, 1, 0, -1, -1, 0},   // no results
        {0, 1, 0, 0, 0, -1, -1, 0},   // board off
        {2, 1, 1, 1, 0, -1, -1, 1},   // always
        {1, 1, 0, 1, 0, -1, -1, 1},   // no viewed car
        {1, 1, 1, 0, 0, -1, -1, 1},   // viewing another car
        {1, 1, 1, 1, 1, -1, -1, 1},   // race over
        {1, 1, 1, 1, 0, 599, -1, 0},
        {1, 1, 1, 1, 0, 600, -1, 1},  // stopped 600 ticks ago
        {1, 1, 1, 1, 0, -1, 599, 1},  // a fresh timing event
        {1, 1, 1, 1, 0, -1, 600, 0},
    };
    for (const Case &c : cases) {
        ShowResults = c.mode;
        const int board = HudResultsBoardShows(c.hasResults, c.viewed, c.driven, c.over, c.stopped, c.timing);
        EXPECT_EQ(board, c.board) << c.mode << c.hasResults << c.viewed << c.driven << c.over << " " << c.stopped
                                  << " " << c.timing;
        // "Show Map " 2 gives way to the board; 1 stays.
        ShowMap = 2;
        EXPECT_EQ(HudMapMode(board), board ? 0 : 2);
        ShowMap = 1;
        EXPECT_EQ(HudMapMode(board), 1);
    }
    ShowResults = savedResults;
    ShowMap = savedMap;
}

TEST(HudGating, SmallMapColourByViewModeRoofAndSessionMode)
{
    const uint32_t light = SmallMapLightPacked;
    const uint32_t dark = SmallMapDarkPacked;
    SmallMapLightPacked = 0xff111111u;
    SmallMapDarkPacked = 0xff222222u;
    struct Case {
        uint32_t view;
        int openRoof;
        uint32_t sessionMode;
        uint32_t colour;
    };
    const Case cases[] = {
        {0, 0, 0, 0xff111111u}, {1, 1, 0, 0xff222222u}, {2, 0, 0, 0xff222222u}, {3, 0, 0, 0xff222222u},
        {3, 1, 0, 0xff111111u}, {4, 0, 3, 0xff222222u}, {4, 0, 4, 0xff222222u}, {4, 0, 2, 0xff111111u},
        {4, 1, 3, 0xff111111u},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(HudMapColour(c.view, c.openRoof, c.sessionMode), c.colour) << c.view << c.openRoof << c.sessionMode;
    }
    SmallMapLightPacked = light;
    SmallMapDarkPacked = dark;
}

TEST(HudGating, InformationPanelsNeverDuringReplayPlaybackForThreeAndFour)
{
    const int saved = InfoDisplay;
    const int expected[6][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {4, 0}, {0, 0}};
    for (int n = 0; n <= 5; ++n) {
        InfoDisplay = n;
        EXPECT_EQ(HudInfoPanel(0), n <= 4 ? n : 0) << n;
        EXPECT_EQ(HudInfoPanel(1), expected[n][1]) << n;
    }
    InfoDisplay = saved;
}

}  // namespace
