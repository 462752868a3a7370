#pragma once

// Session services that the main loop calls around a frame.

// With a session: snaps the replay speed to 1.0 when within 0.1 of it and
// shows the speed on screen for 4 seconds.
void ShowReplaySpeed();
// Begins the frame and clears it to black when nothing began it in this pass.
void DrawBackgroundScreen();
// The main loop reads the controllers itself while no session does.
void ReadControlsWithoutSession();
// The replay speed halved (not below 0.125) or doubled (not above 32), then
// shown.
void HalveReplaySpeed();
void DoubleReplaySpeed();

#include <cstdint>

class CarObject;
struct GameSession;

// Holds the display in mode 1 (menus over the scene) after a start; the
// frame lets it go 50 ticks later (200 online) once no seek runs.
void HoldDisplayAfterStart(GameSession &session);

// --- Pause, frame times, seek ---

// 1 while the simulation is paused.
extern uint32_t Paused;
void TogglePause();
void Unpause();

// The wall times (ms) of the last 16 frames and the rate they give (frames
// per second, 0 when they sum to 0).
extern uint32_t FrameTimes[16];
extern float FrameRate;
void RecordFrameTime(uint32_t wallMilliseconds);

// A tick's place in its frame: left the ticks still to run with this one
// (due - frames run + 1, at least 1); flag 0 but for the last tick, which
// takes 1, or 2 when it is the frame's first (n counts the frame's ticks).
void TickFlagAndLeft(uint32_t due, uint32_t framesRun, int n, int *flag, int *left);

// A replay seek: running, its target race tick, and a multiplayer-replay
// seek still more than 128 ticks away.
extern uint32_t SeekActive;
extern int32_t SeekTarget;
extern uint32_t SeekFast;
// The game clock of a seeking frame: at most 1024 / players ticks ahead
// (4096 ahead, 128 short of the target, in multiplayer-replay playback).
void SetSeekClock(int slotCount);
// Ends a seek (0 done, 11 the replay went out of sync): the pause follows
// the seek's pause-after flag.
void EndSeek(GameSession &session, int code);

// --- Listener, car sounds and the wheel ---

// The up to 4 cars nearest the listener, nearest first (squared metres).
struct NearCar {
    CarObject *car;
    float distanceSquared;
};
extern NearCar NearestCars[4];
extern int NearestCarCount;
// Cars other than `car` by their distance to it.
void NearestCarsToCar(const CarObject *car);
// Cars heard this tick by their distance to the view eye.
void NearestCarsToEye(const int32_t eye[3]);

// The car sounds' volume factor, 0.1 .. 1.0.
extern float SoundFade;
// From the cars heard this tick and the sound-density setting; 1.0 in a
// free or fixed view or with the setting 0.
float SoundFadeFor(int heardCars, int density, int freeOrFixedView);

// The steering force as smoothed, the step last sent and the frames it has
// been held.
extern float ForceLevel;
extern int32_t ForceSent;
extern int32_t ForceHoldFrames;
// One frame of the wheel's force: f the raw force (-1..1), speedStep the
// car's speed step, steps the force-steps setting. Small changes are sent
// less often: every 16, 8, 4, 2 frames below 3, 6, 12, 24 steps, else each
// frame. 1 when a force was sent (through `send`).
int SteerForceFrame(float f, float speedStep, int steps, void (*send)(float level));
// The steering force of a frame in which the player drives `car` with a
// force-feedback wheel: the force from the time driven so far (0..2000 ms),
// the "FF Strength " setting and the car's steering torques, sent through
// `send` at the cadence above with the "FF Step Num " steps. Returns what
// SteerForceFrame returns.
int ForceFeedbackFrame(const CarObject &car, int steerForceTime, void (*send)(float level));

// --- Head-up display, replay extent, the frame's one-shot callback ---

// 0 reduced HUD, 1 full HUD, 2 nothing at all.
extern int HudShown;
// Set by the session frame when screen bands are shown; the main loop clears it.
extern int HudBandsOn;
// The first race tick of the loaded replay and its length in ticks.
extern int32_t ReplayStartTick;
extern int32_t ReplayLength;
// Set by the menus, commands and InSim when they start a replay: the
// session taking it ends at the replay's end instead of playing it again.
extern uint32_t PlayOnceRequest;
// Run once after the scene is drawn, then cleared.
extern void (*FrameCallback)();
// The end of a single-player or multiplayer replay: played again, or the
// session ends (the hot-lap check start mode ends the program with 13).
void OnSprPlaybackEnd(GameSession &session);
void OnMprPlaybackEnd(GameSession &session);
// 1 while the system cursor is hidden by the session.
extern uint32_t PointerHiddenFlag;
// A left click the interface did not take, for the head-up display.
extern uint32_t HudClick;
