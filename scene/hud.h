#pragma once

#include <cstdint>

#include "core/colour.h"
#include "race/session_frame.h"

class CarObject;
struct MenuPage;

// The head-up display drawn over the 3D view once per frame: captions,
// timing lines, start lights, the top-left message or frame-rate line, and
// (through the drawers of the instruments and panels) the small map, the
// on-screen dashboard, the results, pedal bars and the information panels.
// Everything is in screen units (x and y from -1 to 1, y down).

// HudShown and HudBandsOn belong to the game session (race/session_frame.h).

// Set when the HUD was drawn in this main-loop pass; the main loop clears it.
extern int HudDrawnThisPass;
// 0 none, 1 car-state panels, 2 engine sound editor panel.
extern uint32_t HudSpecialPanel;
constexpr int HudTitleSize = 128;
extern char HudTitle[HudTitleSize];

constexpr int HudMessageSize = 128;
struct HudMessageState {
    char text[HudMessageSize];
    int codePage;
    int elapsed;        // set for a message that came from the queue: shown red
    int32_t remaining;  // ms; 0 none running
};
extern HudMessageState HudMessage;
struct HudQueuedMessageState {
    char text[HudMessageSize];
    int codePage;
};
extern HudQueuedMessageState HudQueuedMessage;

// The viewed car's place in the running order, -1 when not found.
extern int ViewedRunningIndex;
// The steering indicator: the asked and the wheels' angle, and full scale.
struct RoundGaugeState {
    float asked;
    float wheels;
    float fullScale;
};
extern RoundGaugeState RoundGauge;
extern uint32_t HudColourYellow;
extern uint32_t HudColourBlue;
// Caption hold counters (ticks), counted down by the session tick, and the
// pending action code (1 join .. 6 end race; 0 none).
extern int32_t YellowFlagHold;
extern int32_t BlueFlagHold;
extern int32_t HudPendingAction;
// A multiplayer replay ran out of step.
extern int32_t ReplayErrorFlag;
// The start-light lamp picture (a standard texture; the default data
// holds it).
extern const char *const StartLampTextureName;
// Right limit of the bottom-right items.
extern float HudRightLimit;
// Set by the top-left line when the caption line is moved down to y -0.92.
extern int HudCaptionMoved;

// What the HUD reads from the layers above it that are not built yet: the
// options screen's open tab (0 none), the running lesson (0 none, else its
// mode), a child page open over the owner page, the skin being saved or
// downloaded (null none), the multiplayer replay's clock texts, the race
// vote (kind 0 none; ticks left; whether it restarts the present kind), and
// the world's problem text (null none). Empty entries answer 0 or null.
struct HudLinkServices {
    int (*optionsTab)();
    int (*lessonMode)();
    int (*childPageOpen)(MenuPage *owner);
    const char *(*skinSaving)();
    int (*skinDownload)(const char **player, const char **skin);
    int (*mprReplayClock)(char out[2][8]);
    int (*voteKind)(int32_t *ticksLeft, int *restartsSameKind);
    const char *(*worldProblem)();
    // The interface scale for the start-light panels (1 when empty).
    float (*interfaceScale)();
};
extern HudLinkServices HudLinks;

// Every text the HUD draws goes through here; a test sets a sink to see
// them (kind: 0 shadowed left, 1 right-aligned, 2 caption, 3 small caption,
// 4 lamp, 5 panel, 6 bar: size the filled share).
struct HudDrawnItem {
    int kind;
    const char *text;
    float x, y, size;
    uint32_t colour;
    int codePage;
};
using HudTextSink = void (*)(const HudDrawnItem &item);
void SetHudTextSink(HudTextSink sink);

void InitHudState();
void SetHudTitle(const char *text);
void StartHudMessageTimer(int ms);
// A short notice: the HUD's top-left message for 4 s (white) when the HUD
// was drawn in this pass, else a message line in the given colour.
void ShowHudMessage(const char *text, const Colour *colour);
// The same for 1 s.
void ShowHudMessageShort(const char *text, const Colour *colour);
// Queues a message that becomes the red top-left message when the present
// one ends.
void QueueHudMessage(const char *text);
void DrawCarStatePanels();
void DrawFrameRateReadout(CarObject *car);
// The whole HUD; replayBar is the replay-bar callback or null.
void DrawHud(CarObject *viewedCar, CarObject *drivenCar, uint32_t sessionMode, MenuPage *owner,
             void (*replayBar)());
// The HUD's gating rules. The on-screen dashboard in a view mode (custom:
// the custom view's flags); whether the results board shows rather than the
// running-order list (stoppedTicks and timingAge -1 when the car is not
// stopped or has no timing event); the small map's mode; the information
// panel drawn (0 none).
int HudDashboardWanted(uint32_t viewMode, int freeOrFixed, int customFlags);
int HudResultsBoardShows(int hasResults, int viewed, int isDriven, int raceOver, int32_t stoppedTicks,
                         int32_t timingAge);
int HudMapMode(int boardShows);
// The small map's path colour: the second of the two (the dark one) in view
// modes 1 and 2, in mode 3 unless the car's roof is open, and in mode 4 with
// a closed roof in session modes 3 and 4; else the first.
uint32_t HudMapColour(uint32_t viewMode, int openRoof, uint32_t sessionMode);
int HudInfoPanel(int replayPlayback);
// Information panels 1 and 2 (keys 9 and 10) after the tyre read-outs: two
// black boxes above the bottom y, the right one with the car's two body
// values (its acceleration across and along the car, in g) and the left one
// with the clutch heat bar.
void DrawInfoPanelBoxes(CarObject *car, float bottom, int pedals, int dashboard);
void HudBodyValues(const CarObject *car, float *x, float *y);
// One session tick of the caption hold counters.
void CountHudHolds();

// Captions (scene/hud_captions.cpp). Returns 1 when a caption was drawn or
// captions are suppressed.
int DrawSystemCaption(uint32_t colour);
// 1 when a vote counts down (kinds 1..4) and its caption was drawn.
int DrawVoteCaption();
void DrawHudCaption(CarObject *car);
void DrawSecondCaption(const char *text, uint32_t colour);
// Timing lines (scene/hud_timing.cpp): the y below the rows.
float DrawTimingLines(CarObject *car, float bottom);

// The frame's measured milliseconds for the message timer (set by DrawHud's
// caller; the session frame's rate when 0).
extern int HudFrameMs;

// Text helpers shared by the HUD files.
void HudDrawShadowed(const char *text, float x, float y, float size, uint32_t colour, int codePage);
void HudDrawRight(const char *text, float right, float y, float size, uint32_t colour, int codePage);
void HudDrawCaption(const char *text, uint32_t colour);
void HudDrawSmall(const char *text, uint32_t colour);
void HudDrawCaptionLatin(const char *text, uint32_t colour);
// The car's race-progress states the captions read, kept by race progress:
// the wrong-way warning (consequence 0 none, 1 kick, 2 ban, 3 spectate),
// retirement, the penalty's reason (0 none, 1..6), the blue flag, the yellow
// flag (the car above its yellow-flag speed with a stopped or slow car 1 to
// 30 path nodes ahead) and a remotely simulated car's pit stop. Empty entries
// answer 0.
struct HudCarLinkServices {
    int (*wrongWay)(const CarObject *car, int *consequence);
    int (*retired)(const CarObject *car);
    int (*penaltyReason)(const CarObject *car);
    int (*blueFlag)(const CarObject *car);
    int (*yellowFlag)(const CarObject *car);
    int (*remotePitStop)(const CarObject *car);
    // In the pit lane, not stopped, with a path, pointing more than 45
    // degrees off the path's direction: 1, with the cross term of the view
    // and the path direction.
    int (*pitLaneHint)(const CarObject *car, float *cross);
    // The car has a timed lap: a line time or a best lap of its own.
    int (*lapTimed)(const CarObject *car);
    // The car's own position text and its code page, null for none (the
    // ordinal of its place in the running order shows then).
    const char *(*positionText)(const CarObject *car, int *codePage);
};
extern HudCarLinkServices HudCarLinks;
float HudMeasure(const char *text, float size, int codePage);
int HudLesson();
int HudOptionsTab();

// Drawers of the instruments and panels, replaced as they are built; until
// then they draw nothing and answer 0.
void DrawSmallMap(CarObject *car, int mode, float x, float y, float size, uint32_t colour);
void DrawResultsBoard();
void DrawPositionList(float right, int dashboard);
void DrawReplayBar();
void DrawCarStatePanel(int first, float x, float y);
void DrawWheelInfoValues(CarObject *car);
void DrawWheelInfoBlocks(CarObject *car);
int DrawHudDashboard(CarObject *car, float bottom);
void DrawPedalBars(CarObject *car, float x, float bottom);
void DrawRoundGauge(float bottom);
void DrawLiveSettingsPanel();
void DrawPitInstructionsPanel();
void SoundEditorPanel();
