#pragma once

#include <cstdint>

#include "core/motion_profile.h"
#include "race/ai_driver.h"
#include "vehicle/physics_world.h"

class CarObject;
struct MenuPage;
struct MouseEvent;
struct PlayerSlot;
struct StartRaceView;

// The game session: exists while the user is on the track (GameSessionPtr,
// race/game_state.h). It owns the one physics world, made and destroyed with
// it; the cars belong to the race object's slots. Every field but the
// physics world starts at zero.
struct GameSession {
    MenuPage *owner = nullptr;
    uint32_t active = 0;
    uint32_t logoRemoved = 0;
    const char *savedBackground = nullptr;
    PhysicsWorld physics;
    CarObject *drivenCar = nullptr;
    CarObject *viewedCar = nullptr;
    void *cameraObject = nullptr;
    char tempReplayName[64] = {};
    int32_t tvCamera = 0;
    uint32_t isIntro = 0;
    uint32_t isLesson = 0;
    uint32_t customViewSet = 0;
    int32_t fovRate = 0;
    uint32_t controlsEnabled = 0;
    uint32_t endAtReplayEnd = 0;
    uint32_t pointerTracking = 0;
    uint32_t pointerHidden = 0;
    int32_t pointerX = 0;
    int32_t pointerY = 0;
    int32_t pointerShowTime = 0;
    int32_t pointerHoldTime = 0;
    int32_t steerForceTime = 0;
    float customView[6] = {};
    MotionProfile customViewMotion[6] = {};
    float keyboardSteer = 0.0f;
    float cockpitPitch = 0.0f;
    float lookTarget = 0.0f;
    float lookAngle = 0.0f;
    float lookRate = 0.0f;
    float tvZoom = 0.0f;
    float steerFiltered = 0.0f;
    float pedalThrottle = 0.0f;
    float pedalBrake = 0.0f;
    float pedalClutch = 0.0f;
    float pedalHandbrake = 0.0f;
    float viewScale = 0.0f;
    uint8_t controlsFrozen = 0;
    uint8_t rewindRequest = 0;
    uint8_t driveUnderChild = 0;
    uint8_t freeView = 0;
    uint8_t pauseAfterSeek = 0;
    uint8_t seekPlayerId = 0;
    uint32_t tickCounter = 0;
    uint32_t popupRequest = 0;
    uint32_t lookDirection = 0;
    uint32_t prevLookDirection = 0;
    int32_t shiftUpTime = 0;
    int32_t shiftDownTime = 0;
    uint8_t hornSent = 0;
    uint8_t hornChanged = 0;
    uint8_t flashSent = 0;
    uint8_t flashChanged = 0;
    uint8_t keySignalA = 0;
    uint8_t keySignalB = 0;
    uint8_t displayHeld = 0;
    uint8_t restarting = 0;
    uint8_t resetEdge = 0;
    uint8_t limiterEdge = 0;
    uint8_t tractionEdge = 0;
    uint8_t ignitionEdge = 0;
    AiKnowledge knowledge = {};
    uint32_t nextReadyCheck = 0;
    uint32_t skinRefreshState = 0;

    // --- Race start (race start, join and leave of single cars) ---
    void StartRace(int replay, int join, uint32_t startTick);
    // Puts a slot's car into the running session: 1 when it was placed in
    // the pit lane.
    uint32_t AddPlayerCar(PlayerSlot *slot);
    void RemovePlayerCar(PlayerSlot *slot);
    void SetDrivenCar(PlayerSlot *slot);
    // Carries out an agreed end, restart or qualifying after its countdown.
    void CheckRaceVote();
    // Chooses the viewed car: until the session's views are built, the
    // driven car, else the first car in slot order.
    void PickViewCar(int backwards);

    // --- Replay time controls ---
    // A seek to a race tick of the replay: 9 without a session, 11 out of
    // sync with the target ahead, 1 at the target already, 0 started.
    int SeekReplay(int32_t target, int pauseAfter);
    // The replay, or the race recorded so far, from its beginning.
    void RewindReplay();
    // The replay of the replay settings opened again and started.
    void PlaySpr();
    void PlayMpr();
    // The pointer of this frame: shown, tracked or hidden.
    void UpdateCursor(int replay);
};

// The race's decided action and its countdown (ticks), the host's hold on
// the votes, the empty-race announcement, the racing-line display and the
// host's rule check.
extern uint8_t VoteAction;
extern int32_t VoteCountdown;
extern uint8_t VoteHeldByHost;
extern uint8_t EmptyVoteSent;
extern uint32_t RacingLineView;
extern uint32_t RuleCheckActive;
// The countdown (seconds) of the next start; set by the replay readers and
// the join code before theirs.
extern uint32_t StartCountdown;
// A replay being played back no longer matches the race: the tick stops
// after the AI and the controls.
extern int ReplayOutOfSync;
// Set by a car's jump start; the start lights clear it at the green.
extern int32_t StartWaitFlag;

// One 0.01 s tick. flag: 0 every tick of a frame but the last, 1 the last,
// 2 when it is also the only one; left: the frame's ticks still to run,
// this one included. 1 when no race runs (or a replay reached its end).
uint32_t SessionTick(GameSession &session, int flag, int left);
// The end of every tick: the race tick and the session's tick counter, and
// the running order every 128 race ticks.
void CountSessionTick(GameSession &session);
// With a session: no race, no game state, and the next frame leaves.
void EndGameSession();

// The view: 0..4 (1 and 2 the fixed cameras, 3 the cockpit, 4 the custom
// view). Until the session's views are built the entries only store.
extern uint32_t ViewMode;
void SetViewMode(GameSession &session, int mode);
void SetViewCar(GameSession &session, CarObject *car);
// Modes 0..4 only.
void SelectView(int mode);
int DefaultView();
// 1 in a fixed camera (modes 1, 2) or the free view.
int IsFreeOrFixedView(const GameSession &session);

// The player's controls into the driven car's input words (race/player_controls.cpp).
void ApplyPlayerControls(GameSession &session, int ticksLeft);
// The look-around angle smoothed by dt (nothing until the views land).
void SmoothLookAngle(GameSession &session, float dt);

// The start countdown of a race of `slots` players (seconds).
uint32_t StartCountdownFor(int slots, int online, int layoutOwnStart, int raceKind, int raceLength);
// The race object's view of the start lights and wind.
void FillStartRaceView(StartRaceView *view);
// The start place of a grid index or a pit box.
void GridStartPosition(GameSession &session, int32_t position[3], float &heading, int gridIndex,
                       CarObject *car, int join);
void PitStartPosition(GameSession &session, int32_t position[3], float &heading, int gridIndex,
                      CarObject *car, int join);
void PlaceCarAtStart(GameSession &session, int slotIndex, int pitLane, int join);

// --- Entry, frame and exit ---

// Session kinds: a normal session, the start-up screen's background replay
// and a lesson.
constexpr int SessionNormal = 0;
constexpr int SessionIntro = 1;
constexpr int SessionLesson = 2;

// Creates the session over the race object, builds the cars and starts the
// race. join: a guest enters a race already running.
GameSession *EnterSession(MenuPage *owner, int kind, int join);
// The cars built and the race started (also after a replay is reopened).
void InitGameSession(GameSession &session, int join);
// The exit sequence of a session whose Active flag was cleared.
void LeaveSession(GameSession &session);
// One main-loop pass of the session: the ticks the game clock asks for,
// each after its session frame and vote check; a session no longer active
// is left and freed (GameSessionPtr null).
void SessionFrame(GameSession &session);
// The recordings of the race ended (and saved when asked for).
void StopAndSaveReplays(GameSession &session);
// With a session: StopAndSaveReplays (leaving a host).
void StopReplaysOnLeave();
// Something a single-player replay cannot record happened: the recording
// ends, and a session recording offline says so.
void StopReplayRecording();
// With a session: the next frame leaves it.
void EndSessionNow();

// --- Session accessors (0 or nothing without a session) ---
int AreControlsFrozen();
int IsIntroSessionEnded();
void SetDriveUnderChild();
int IsFreeViewActive();
void SetViewScale(float scale);
void RequestSessionPopup();

// The head tracker's transmission for the session: started on entry, and
// stopped on leaving only when the session started it.
void StartHeadTrackerForSession();
extern int HeadTrackerStartedBySession;

// --- Keys, pointer and camera (least bodies until the session's views) ---
// A key of the session: 1 when it was taken.
int SessionKey(GameSession &session, int key);
void SessionMouse(GameSession &session, const MouseEvent &event);
// The field-of-view keys (zoom in and out) of the frame.
void SessionFovKeys(GameSession &session, float dt);
// The camera of the frame: the cockpit view set up in modes 3 and 4.
void UpdateCamera(GameSession &session, float dt);
// The track camera's view step (view mode 2).
void TrackCameraStep(GameSession &session);
// The viewed car's instruments are shown in this view.
int IsDashboardShown();
// Shift is held (Shift with a letter is a session command).
int SessionShiftHeld();
