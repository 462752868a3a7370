#include "scene/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "platform/graphics_device.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"
#include "ui/interface_colours.h"
#include "ui/interface_draw.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"
#include "ui/text_draw.h"
#include "ui/translation.h"
#include "vehicle/car_object.h"
#include "world/world.h"

int HudDrawnThisPass = 0;
uint32_t HudSpecialPanel = 0;
char HudTitle[HudTitleSize] = {};
HudMessageState HudMessage = {};
HudQueuedMessageState HudQueuedMessage = {};
int ViewedRunningIndex = -1;
RoundGaugeState RoundGauge = {0.0f, 0.0f, 0.7853982f};
uint32_t HudColourYellow = 0xffffff78u;
uint32_t HudColourBlue = 0xff5050ffu;
int32_t YellowFlagHold = 0;
int32_t BlueFlagHold = 0;
int32_t HudPendingAction = 0;
int32_t ReplayErrorFlag = 0;
float HudRightLimit = 1.0f;
int HudCaptionMoved = 0;
int HudFrameMs = 0;
HudLinkServices HudLinks = {};
const char *const StartLampTextureName = "STARTALPHA";

namespace {

HudTextSink TextSink = nullptr;

// A read-out raised by 0x70 into the digit glyphs, as the clock texts are.
void RaiseDigits(char *text)
{
    for (char *p = text; *p != 0; ++p) {
        *p = static_cast<char>(static_cast<unsigned char>(*p) + 0x70);
    }
}

int ReplayPlayback()
{
    return MultiplayerReplayPlaying != 0 || RaceSingleReplayPlaying() != 0;
}

void Sink(int kind, const char *text, float x, float y, float size, uint32_t colour, int codePage)
{
    if (TextSink != nullptr) {
        TextSink(HudDrawnItem{kind, text, x, y, size, colour, codePage});
    }
}

void CopyBounded(char *out, int size, const char *text)
{
    std::snprintf(out, static_cast<size_t>(size), "%s", text != nullptr ? text : "");
}

}  // namespace

void SetHudTextSink(HudTextSink sink)
{
    TextSink = sink;
}

void HudDrawShadowed(const char *text, float x, float y, float size, uint32_t colour, int codePage)
{
    Sink(0, text, x, y, size, colour, codePage);
    DrawTextShadowed(text, x, y, size, size * 2.0f, colour, codePage);
}

void HudDrawRight(const char *text, float right, float y, float size, uint32_t colour, int codePage)
{
    Sink(1, text, right, y, size, colour, codePage);
    DrawTextRightAligned(text, right, y, size, size * 2.0f, colour, codePage);
}

void HudDrawCaption(const char *text, uint32_t colour)
{
    Sink(2, text, 0.0f, HudCaptionMoved ? -0.92f : -0.61f, 0.06f, colour, TranslationCodePage);
    DrawCentredCaption(text, colour);
}

void HudDrawCaptionLatin(const char *text, uint32_t colour)
{
    Sink(2, text, 0.0f, HudCaptionMoved ? -0.92f : -0.61f, 0.06f, colour, 0);
    DrawCentredCaptionLatin(text, colour);
}

void HudDrawSmall(const char *text, uint32_t colour)
{
    Sink(3, text, 0.0f, -0.43f, 0.03f, colour, TranslationCodePage);
    DrawSmallCaption(text, colour);
}

HudCarLinkServices HudCarLinks = {};

float HudMeasure(const char *text, float size, int codePage)
{
    return MeasureCodedText(text, size, codePage);
}

int HudLesson()
{
    return HudLinks.lessonMode != nullptr ? HudLinks.lessonMode() : 0;
}

int HudOptionsTab()
{
    return HudLinks.optionsTab != nullptr ? HudLinks.optionsTab() : 0;
}

void InitHudState()
{
    RoundGauge = {0.0f, 0.0f, 0.7853982f};
    HudSpecialPanel = 0;
    YellowFlagHold = 0;
    BlueFlagHold = 0;
    HudPendingAction = 0;
    ReplayErrorFlag = 0;
    HudTitle[0] = 0;
    HudColourYellow = PackRgb(255, 255, 120);
    HudColourBlue = PackRgb(80, 80, 255);
}

void SetHudTitle(const char *text)
{
    CopyBounded(HudTitle, HudTitleSize, text);
}

void StartHudMessageTimer(int ms)
{
    HudMessage.elapsed = 0;
    HudMessage.codePage = TranslationCodePage;
    HudMessage.remaining = ms;
}

namespace {

void ShowHudMessageFor(const char *text, const Colour *colour, int ms)
{
    if (HudDrawnThisPass != 0) {
        CopyBounded(HudMessage.text, HudMessageSize, text);
        StartHudMessageTimer(ms);
    } else {
        PrintMessage(text, colour);
    }
}

}  // namespace

void ShowHudMessage(const char *text, const Colour *colour)
{
    ShowHudMessageFor(text, colour, 4000);
}

void ShowHudMessageShort(const char *text, const Colour *colour)
{
    ShowHudMessageFor(text, colour, 1000);
}

void QueueHudMessage(const char *text)
{
    CopyBounded(HudQueuedMessage.text, HudMessageSize, text);
    HudQueuedMessage.codePage = TranslationCodePage;
}

void CountHudHolds()
{
    if (YellowFlagHold > 0) {
        --YellowFlagHold;
    }
    if (BlueFlagHold > 0) {
        --BlueFlagHold;
    }
}

void DrawCarStatePanels()
{
    DrawCarStatePanel(1, 0.05f, -0.95f);
    DrawCarStatePanel(0, 0.05f, 0.27f);
}

void DrawFrameRateReadout(CarObject *car)
{
    if (ShowFps != 0 && HudOptionsTab() == 0) {
        char text[32];
        std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(FrameRate));
        RaiseDigits(text);
        HudDrawRight(text, -0.88f, -0.99f, 0.03f, 0xffffffffu, 10);
    }
    HudCaptionMoved = 1;
    DrawHudCaption(car);
}

namespace {

int StartLampsPresent(const World *world)
{
    if (world == nullptr) {
        return 4;
    }
    int n = 0;
    for (const StartLamp &lamp : world->startLamps) {
        for (const uint32_t *word : lamp.boundColours) {
            if (word != nullptr) {
                ++n;
                break;
            }
        }
    }
    return n == 0 ? 4 : n;
}

// The start-light lamp picture, looked up by name on first use; a picture
// that cannot be had is tried once and the lamps go untextured.
Material *StartLampMaterial()
{
    static int tried = 0;
    TextureRecord *texture = FindTexture(StartLampTextureName);
    if (texture == nullptr && tried == 0) {
        tried = 1;
        texture = GetTexture(StartLampTextureName, 0);
        if (texture == PlaceholderTexture) {
            texture = nullptr;
        }
    }
    Material *material = LookupMaterial(texture, 0, 0, 0, 0, nullptr);
    return material != nullptr ? material : GetMaterial(texture, 0, 0, 0, 0, nullptr);
}

float DrawStartLights(RaceObject *race, float timingY, float top)
{
    const int lesson = HudLesson();
    const int n = StartLampsPresent(CurrentWorld);
    const int state = CurrentWorld != nullptr ? CurrentWorld->startLightState : 0;
    const float scale = HudLinks.interfaceScale != nullptr ? HudLinks.interfaceScale() : 1.0f;
    const float step = 0.045f * 0.75f * scale;
    const float height = (static_cast<float>(n) * 0.045f + 0.015f) * 0.75f * scale;
    float x = -0.9f;
    float y = HudBandsOn ? -0.7f : top + 0.1f;
    if (StartLights == 2 && lesson == 0 && race->resultCount != 0) {
        x = 0.76f;
        y = timingY;
    } else if (lesson >= 2) {
        y = 0.75f - height;
    }
    // The three black panels (opaque button faces), then every lamp in one
    // blended batch of the lamp picture over them.
    static const Colour Black = {0, 0, 0, 0};
    for (int panel = 0; panel < 3; ++panel) {
        const float px = x + static_cast<float>(panel) * 0.05f;
        Sink(5, "", px, y, height, 0xff000000u, 0);
        DrawButtonFaceBlended(&Black, 0, px, y, px + 0.04f, y + height, 2, 0);
    }
    SetRenderStateCached(RsAlphaBlendEnable, 1);
    BeginScreenBatch(StartLampMaterial());
    constexpr float half = 0.01575f;
    const float halfX = half * ScreenAspect;   // round on the screen
    for (int panel = 0; panel < 3; ++panel) {
        const float cx = x + static_cast<float>(panel) * 0.05f + 0.02f;
        for (int lamp = 0; lamp < n; ++lamp) {
            const int lit = state == 4 ? lamp == 3 : lamp < state;
            const int level = lit ? 255 : 60;
            const uint32_t colour = lamp == 3 ? PackRgb(0, level, 0) : PackRgb(level, 0, 0);
            const float cy = y + 0.0075f * 0.75f * scale + step * (static_cast<float>(lamp) + 0.5f);
            Sink(4, "", cx, cy, half, colour, lamp);
            const uint16_t a = AddScreenVertex(cx - halfX, cy - half, 0.0f, 0.0f, colour);
            const uint16_t b = AddScreenVertex(cx + halfX, cy - half, 1.0f, 0.0f, colour);
            const uint16_t c = AddScreenVertex(cx + halfX, cy + half, 1.0f, 1.0f, colour);
            const uint16_t d = AddScreenVertex(cx - halfX, cy + half, 0.0f, 1.0f, colour);
            AddScreenQuad(a, b, c, d);
        }
    }
    FlushScreenBatch();
    SetRenderStateCached(RsAlphaBlendEnable, 0);
    return y + height;
}

// The sign glyph of a body value (symbol page): 0x7B when it is near 0.
char BodyValueGlyph(float value, char negative, char positive)
{
    if (std::fabs(value) < 0.005f) {
        return 0x7B;
    }
    return value < 0.0f ? negative : positive;
}

void FormatBodyValue(char *out, size_t size, float value)
{
    const float magnitude = std::fabs(value);
    std::snprintf(out, size, "%.2f", static_cast<double>(std::isfinite(magnitude) ? std::min(magnitude, 9.99f) : 0.0f));
}

}  // namespace

void HudBodyValues(const CarObject *car, float *x, float *y)
{
    // The car's acceleration along its right and forward axes, in g.
    const float gravity = 9.81f;
    const float *a = car->acceleration;
    const float *m = car->orientation;
    *x = (a[0] * m[0] + a[1] * m[3] + a[2] * m[6]) / gravity;
    *y = (a[0] * m[1] + a[1] * m[4] + a[2] * m[7]) / gravity;
}

void DrawInfoPanelBoxes(CarObject *car, float bottom, int pedals, int dashboard)
{
    const float e = dashboard != 0 ? 0.48f : (pedals ? 0.92f : 1.0f) - 0.12f;
    const float right1 = e - 0.14f;
    const float right0 = right1 - 0.1f;
    const float top = bottom - 0.1f;
    static const Colour Black = {0, 0, 0, 0};
    Sink(5, "", right0, top, 0.1f, 0xff000000u, 0);
    Sink(5, "", -right1, top, 0.1f, 0xff000000u, 0);
    DrawButtonFaceBlended(&Black, 0, right0, top, right1, bottom, 2, 0);
    DrawButtonFaceBlended(&Black, 0, -right1, top, -right0, bottom, 2, 0);
    // The right box: the two body values with their sign glyphs.
    constexpr uint32_t ValueColour = 0xffc0c000u;
    constexpr float Size = 0.02f;
    float bx = 0.0f;
    float by = 0.0f;
    HudBodyValues(car, &bx, &by);
    char number[16];
    const char glyphX[2] = {BodyValueGlyph(bx, 0x7E, 0x7F), 0};
    FormatBodyValue(number, sizeof(number), bx);
    HudDrawRight(glyphX, right1 - 0.01f, bottom - 0.045f, Size, ValueColour, 10);
    HudDrawRight(number, right1 - 0.02f - HudMeasure(glyphX, Size, 10), bottom - 0.045f, Size, ValueColour,
                 TranslationCodePage);
    const char glyphY[2] = {BodyValueGlyph(by, 0x7C, 0x7D), 0};
    FormatBodyValue(number, sizeof(number), by);
    HudDrawRight(number, right1 - 0.01f, bottom - 0.09f, Size, ValueColour, TranslationCodePage);
    HudDrawRight(glyphY, right1 - 0.02f - HudMeasure(number, Size, TranslationCodePage), bottom - 0.09f, Size,
                 ValueColour, 10);
    // The left box: the clutch heat bar under its label.
    const float heat = std::isfinite(car->engine.clutchHeat) ? std::clamp(car->engine.clutchHeat, 0.0f, 1.0f) : 0.0f;
    const float x0 = -right1 + 0.01f;
    const float x1 = -right0 - 0.01f;
    const float barTop = bottom - 0.035f;
    const float split = x0 + (x1 - x0) * heat;
    const uint32_t hot = car->engine.clutchHeat > 0.15f ? 0xffff0000u : 0xffff8000u;
    Sink(6, "", x0, barTop, heat, hot, 0);
    DrawShadeRect(x0, barTop, split, barTop + 0.02f, hot);
    DrawShadeRect(split, barTop, x1, barTop + 0.02f, 0xff808080u);
    FlushInterfaceBatch();
    HudDrawShadowed("CT", x0, bottom - 0.08f, Size, ValueColour, TranslationCodePage);
}

namespace {

void DrawTopLeftLine()
{
    HudDrawnThisPass = 1;
    const uint32_t brightness = HudBandsOn ? 160 : 255;
    const uint32_t white = PackRgb(static_cast<int>(brightness), static_cast<int>(brightness),
                                   static_cast<int>(brightness));
    const float y = -0.99f;
    const float size = 0.03f;
    auto place = [&](const char *text, uint32_t colour, int codePage) {
        if (ShowFps == 2) {
            HudDrawRight(text, 0.98f, y, size, colour, codePage);
        } else {
            HudDrawShadowed(text, -0.98f, y, size, colour, codePage);
        }
    };
    if (HudMessage.remaining > 0) {
        const int ms = HudFrameMs > 0 ? HudFrameMs : (FrameRate > 0.0f ? static_cast<int>(1000.0f / FrameRate) : 0);
        HudMessage.remaining -= ms;
        if (HudMessage.remaining <= 0) {
            if (HudQueuedMessage.text[0] != 0) {
                std::memcpy(HudMessage.text, HudQueuedMessage.text, HudMessageSize);
                HudMessage.codePage = HudQueuedMessage.codePage;
                HudMessage.remaining = 8000;
                HudMessage.elapsed = 1;
                HudQueuedMessage.text[0] = 0;
            } else {
                HudMessage.remaining = 0;
                HudMessage.text[0] = 0;
            }
        }
        if (HudMessage.remaining > 0) {
            place(HudMessage.text, HudMessage.elapsed ? PackRgb(255, 0, 0) : white, HudMessage.codePage);
            HudCaptionMoved = 1;
            return;
        }
    }
    if (ShowFps == 0) {
        return;
    }
    char text[96];
    const char *player = nullptr;
    const char *skin = nullptr;
    if (HudLinks.skinSaving != nullptr && HudLinks.skinSaving() != nullptr) {
        std::snprintf(text, sizeof(text), Tx(Text_3h_saveskin), HudLinks.skinSaving());
        place(text, PackRgb(255, 255, 0), TranslationCodePage);
    } else if (HudLinks.skinDownload != nullptr && HudLinks.skinDownload(&player, &skin) != 0) {
        std::snprintf(text, sizeof(text), Tx(Text_3g_ding_x_x), player != nullptr ? player : "",
                      skin != nullptr ? skin : "");
        place(text, white, TranslationCodePage);
    } else {
        int clock = (EditorOptions & 0x100) != 0;
        if (CtrlHeld != 0 && ShiftHeld != 0) {
            clock = !clock;
        }
        if (clock) {
            char texts[2][8] = {};
            if (MultiplayerReplayPlaying == 0 || HudLinks.mprReplayClock == nullptr ||
                HudLinks.mprReplayClock(texts) == 0) {
                FormatClockTexts(texts);
            }
            std::snprintf(text, sizeof(text), "%s", texts[0]);
        } else {
            std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(FrameRate));
            RaiseDigits(text);
        }
        HudDrawRight(text, ShowFps == 1 ? -0.88f : 0.98f, y, size, white, 10);
    }
    if (ShowFps == 1) {
        HudCaptionMoved = 1;
    }
}

}  // namespace

int HudDashboardWanted(uint32_t viewMode, int freeOrFixed, int customFlags)
{
    if (freeOrFixed) {
        return ClocksExternal != 0;
    }
    switch (viewMode) {
    case 0:
        return 1;
    case 3:
        return (ClocksInternal & 2) != 0;
    case 4:
        return (customFlags & 2) != 0;
    default:
        return 0;
    }
}

int HudResultsBoardShows(int hasResults, int viewed, int isDriven, int raceOver, int32_t stoppedTicks,
                         int32_t timingAge)
{
    if (!hasResults || ShowResults == 0) {
        return 0;
    }
    return ShowResults == 2 || !viewed || !isDriven || raceOver || stoppedTicks >= 600 ||
           (timingAge >= 0 && timingAge < 600);
}

int HudMapMode(int boardShows)
{
    return ShowMap == 2 && boardShows ? 0 : ShowMap;
}

uint32_t HudMapColour(uint32_t viewMode, int openRoof, uint32_t sessionMode)
{
    const int second = viewMode == 1 || viewMode == 2 || (viewMode == 3 && !openRoof) ||
                       (viewMode == 4 && !openRoof && (sessionMode == 3 || sessionMode == 4));
    return second ? SmallMapDarkPacked : SmallMapLightPacked;
}

int HudInfoPanel(int replayPlayback)
{
    if (InfoDisplay < 1 || InfoDisplay > 4) {
        return 0;
    }
    if (InfoDisplay >= 3 && replayPlayback) {
        return 0;
    }
    return InfoDisplay;
}

void DrawHud(CarObject *viewedCar, CarObject *drivenCar, uint32_t sessionMode, MenuPage *owner,
             void (*replayBar)())
{
    if (HudShown == 2) {
        return;
    }
    const int savedShowFps = ShowFps;
    const int savedHudShown = HudShown;
    const int tab = HudOptionsTab();
    const int lesson = HudLesson();
    ViewedRunningIndex = -1;
    HudCaptionMoved = 0;
    if (tab == 3) {
        ShowFps = 2;
    }
    // 2: special panels.
    const int childOpen = HudLinks.childPageOpen != nullptr && HudLinks.childPageOpen(owner) != 0;
    if (viewedCar != nullptr && !childOpen && HudSpecialPanel != 0) {
        if (HudSpecialPanel == 1) {
            DrawCarStatePanels();
        } else if (HudSpecialPanel == 2) {
            SoundEditorPanel();
        }
        HudShown = 0;
    }
    // 3: the viewed car's place.
    RaceObject *race = RaceObjectPtr;
    if (race != nullptr && viewedCar != nullptr) {
        if (race->orderCount < 2 && RaceKind == 2 && race->resultCount != 0) {
            const PlayerSlot *slot = nullptr;
            for (const PlayerSlot &s : race->slots) {
                if (s.car == viewedCar) {
                    slot = &s;
                }
            }
            for (int i = 0; slot != nullptr && i < race->resultCount && i < MaxRaceResults; ++i) {
                if (std::strncmp(race->results[i].name, slot->info.name, 24) == 0) {
                    ViewedRunningIndex = i;
                    break;
                }
            }
        } else {
            for (int i = 0; i < race->orderCount && i < MaxRaceSlots; ++i) {
                const int s = race->runningOrder[i];
                if (s < MaxRaceSlots && race->slots[s].car == viewedCar) {
                    ViewedRunningIndex = i;
                    break;
                }
            }
        }
    }
    // 4: the vertical extent.
    const float top = HudBandsOn ? -0.75f : -1.0f;
    const float bottom = HudBandsOn ? 0.75f : 1.0f;
    // 5: caption and timing lines.
    DrawHudCaption(viewedCar);
    const float timingY = DrawTimingLines(viewedCar, bottom);
    SetRenderStateCached(RsZFunc, CmpAlways);
    // 6: start lights.
    if (race != nullptr) {
        const uint32_t limit = (static_cast<uint32_t>(race->countdownSeconds) * 5u + 10u) * 20u;
        if (race->tick < limit && race->raceLength != 0 && RaceKind != 2 && (HudShown > 0 || lesson >= 2) &&
            (StartLights != 0 || race->hotLapMode != 0)) {
            DrawStartLights(race, timingY, top);
        }
    }
    // 7, 8: small map and on-screen dashboard.
    GameSession *session = GameSessionPtr;
    int dashboard = 0;
    int boardShows = 0;
    if (race != nullptr) {
        int32_t stoppedTicks = -1;
        int32_t timingAge = -1;
        if (viewedCar != nullptr && viewedCar->stopped != 0) {
            stoppedTicks = static_cast<int32_t>(race->tick - viewedCar->lastStopTick);
        }
        if (viewedCar != nullptr && viewedCar->lastTime != 0) {
            timingAge = static_cast<int32_t>(race->tick - (viewedCar->raceStartTick + viewedCar->sinceStart));
        }
        boardShows = HudResultsBoardShows(race->resultCount != 0, viewedCar != nullptr, viewedCar == drivenCar,
                                          viewedCar != nullptr && viewedCar->finished != 0, stoppedTicks,
                                          timingAge);
    }
    if (viewedCar != nullptr && HudShown > 0 && (tab == 0 || tab == 4 || tab == 5)) {
        const int mode = HudMapMode(boardShows);
        const int lightsRight = StartLights == 2 && lesson == 0 && race != nullptr && race->resultCount != 0;
        if (mode != 0 && (mode == 2) != lightsRight && HudSpecialPanel == 0) {
            DrawSmallMap(viewedCar, mode, mode == 1 ? -1.0f : 0.56f, mode == 1 ? top : timingY, 0.22f,
                         HudMapColour(ViewMode, viewedCar->roofOpen, sessionMode));
        }
        const int custom = ViewMode == 4 && session != nullptr ? static_cast<int>(session->customViewSet) : 0;
        if (HudDashboardWanted(ViewMode, session != nullptr && IsFreeOrFixedView(*session), custom)) {
            dashboard = DrawHudDashboard(viewedCar, bottom);
        }
    }
    // 9: pedal bars.
    const int freeOrFixed = session != nullptr && IsFreeOrFixedView(*session);
    const int pedals = (ScreenFlags & 0x80) != 0 && !freeOrFixed;
    // 10: results board or running-order list.
    HudRightLimit = 1.0f;
    if (HudSpecialPanel == 0 && HudShown > 0 && (tab == 0 || tab == 5) && race != nullptr) {
        if (boardShows) {
            DrawResultsBoard();
        } else if (viewedCar != nullptr && InfoDisplay == 0 && (ScreenFlags & 0x1000) != 0 &&
                   race->orderCount >= 2) {
            const int second = (ScreenFlags & 0x20000) != 0;
            DrawPositionList(pedals && !(dashboard != 0 && second) ? 0.92f : 1.0f, second ? dashboard : 0);
        }
    }
    if (viewedCar != nullptr) {
        // 11: pedal bars.
        if (tab == 7 || (HudShown == 1 && pedals)) {
            DrawPedalBars(viewedCar, 1.0f, bottom);
            if (HudRightLimit > 0.92f) {
                HudRightLimit = 0.92f;
            }
        }
        // 12: steering indicator.
        if (tab == 7 || (dashboard != 0 && (ScreenFlags & 0x20000) != 0 && (ViewMode == 4 || ViewMode == 0))) {
            // The asked and the wheels' angles come with the instruments.
            DrawRoundGauge(bottom);
        }
    }
    // 13: information panels or the replay bar.
    if (InfoDisplay >= 1 && InfoDisplay <= 4 && HudShown > 0 && HudSpecialPanel == 0 && viewedCar != nullptr &&
        viewedCar->wheelCount == 4 && !childOpen && replayBar == nullptr) {
        switch (HudInfoPanel(ReplayPlayback())) {
        case 1:
            DrawWheelInfoValues(viewedCar);
            DrawInfoPanelBoxes(viewedCar, bottom, pedals, dashboard);
            break;
        case 2:
            DrawWheelInfoBlocks(viewedCar);
            DrawInfoPanelBoxes(viewedCar, bottom, pedals, dashboard);
            break;
        case 3:
            DrawLiveSettingsPanel();
            break;
        case 4:
            DrawPitInstructionsPanel();
            break;
        default:
            break;
        }
    } else if (replayBar != nullptr) {
        replayBar();
    }
    // 14: depth test less-or-equal again.
    SetRenderStateCached(RsZFunc, CmpLessEqual);
    // 15: the top-left line.
    if ((HudShown > 0 || (EditorOptions & 0x8000) != 0) && (!HudCaptionMoved || ShowFps == 2)) {
        DrawTopLeftLine();
    }
    // 16: undo the frame's changes.
    ShowFps = savedShowFps;
    HudShown = savedHudShown;
}

// --- Drawers of the instruments and panels not built yet ---

void DrawSmallMap(CarObject *, int, float, float, float, uint32_t) {}
void DrawResultsBoard() {}
void DrawPositionList(float, int) {}
void DrawReplayBar() {}
void DrawCarStatePanel(int, float, float) {}
void DrawWheelInfoValues(CarObject *) {}
void DrawWheelInfoBlocks(CarObject *) {}
int DrawHudDashboard(CarObject *, float)
{
    return 0;
}
void DrawPedalBars(CarObject *, float, float) {}
void DrawRoundGauge(float) {}
void DrawLiveSettingsPanel() {}
void DrawPitInstructionsPanel() {}
void SoundEditorPanel() {}
