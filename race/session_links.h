#pragma once

#include <cstdint>

class CarObject;
struct GameSession;
struct MenuPage;

// What the game session asks of the layers above it while it runs: the
// replay recorders and players, the scene's drawing passes, the sound
// listener and music, InSim, OutSim and OutGauge, the layout editor's
// camera and the start-up logo. The program registers the entries at
// start-up; an entry left empty does nothing, or answers 0.
struct SessionLinkServices {
    // --- Single-player replays ---
    // A single-player recording runs.
    int (*sprRecording)();
    // A control-change record {0, entry count, {u16 index, u16 value}...}
    // of slot `slot`, and the state check value.
    void (*sprRecordControls)(int slot, const uint8_t *record, int length);
    void (*sprRecordStateCheck)(uint32_t hash);
    // Plays the replay's records up to the race tick: non-zero at its end.
    int (*sprPlayUntilTick)(uint32_t raceTick, int flag);
    // Opens the replay of the replay settings and reads its players: 1 on
    // success.
    int (*sprOpenPlayback)();
    // Recording starts at a race start when its replay option is on.
    void (*startSprRecording)();
    void (*startMprRecording)();
    // Ends the recording and saves it under its default name: 1 when saved.
    int (*sprSaveDefault)();
    // --- Multiplayer replays ---
    int (*mprPlayUntilTick)(uint32_t raceTick, int flag);
    // Opens the multiplayer replay and reads its join records: 1 on
    // success; *join takes the replay's join flag.
    int (*mprOpenPlayback)(int *join);
    // Clears the recorded-end marker of the playing multiplayer replay.
    void (*mprClearEnd)();
    // The program ends with a result code (the hot-lap check start mode).
    void (*endProgram)(int code);

    // --- Reliable packets ---
    // A reliable packet to a connection's socket; `caller` names the sender
    // in the look-up's failure message.
    void (*sendReliable)(int connection, const uint8_t *packet, int length, const char *caller);

    // --- Sound and music ---
    void (*stopCarSoundBuffer)();
    // 0 the menus' music, 1 the game's.
    void (*setMusicContext)(int context);
    void (*stopMusic)();

    // --- InSim, OutSim, OutGauge ---
    int (*inSimActive)();
    void (*inSimTick)();
    void (*inSimTiny)(int subtype);
    // A replay notice (0 done, 9 not a replay, 10 no replay, 11 failed).
    void (*inSimReplayNotice)(int code);
    // A replay request waits: 1, with the requested position (-1: none)
    // and whether it asks for a pause.
    int (*inSimReplayRequest)(int32_t *position, int *pause);
    void (*openOutSimOutGauge)(int outSim, int outGauge);
    void (*closeOutSimOutGauge)();
    // One frame's OutSim and OutGauge sends for the viewed car.
    void (*sendOutSimOutGauge)(CarObject *viewedCar);
    // A connected peer still waits for the layout's objects.
    int (*peerAwaitsLayout)();

    // --- The start-up logo ---
    int (*logoExists)();
    void (*freeLogo)();
    void (*loadLogo)();

    // --- Smoke and skid marks ---
    void (*clearSpritesAndMarks)();

    // --- Layout editor and free view ---
    // The free camera moved by dt seconds.
    void (*advanceFreeCamera)(float dt);
    // The editor aims its camera along the car, and its timed camera step.
    void (*editorFollowCar)(CarObject *car);
    void (*editorCameraStep)();
    void (*drawEditorOverlay)();

    // --- Drawing (the frame's passes, in the frame's order) ---
    // The sphere grid sways with the wind.
    void (*swaySphereGrid)();
    void (*setupDashGauges)();
    // The mirror render target exists; rendering into it begins and ends.
    int (*mirrorTargetPresent)();
    int (*beginMirrorTarget)();
    void (*endMirrorTarget)();
    void (*clearToSky)(int mirror);
    void (*setupCockpitView)(GameSession *session, int mirror);
    void (*drawSceneShadows)(int mirror, float fieldOfView);
    void (*drawDrivingViewSegments)(GameSession *session);
    // The view matrix of the frame (roll kept in the free view only).
    void (*buildViewMatrix)(int keepRoll);
    void (*drawDashboard)(CarObject *car);
    void (*drawMirror)(float cockpitPitch);
    void (*drawFramedQuad)();
    void (*drawConnectionList)();
    void (*drawFrameRateReadout)(CarObject *car);
    void (*drawSystemCaption)();
    void (*drawReplayBar)();
    void (*drawHud)(CarObject *viewedCar, CarObject *drivenCar, MenuPage *owner, int replayBar);
    // The head-up display's state reset at a race start, and its caption
    // hold counters counted down each session tick.
    void (*initHudState)();
    void (*countHudHolds)();
    // The owner's child page run over the session; 1 when one is open.
    int (*runChildPage)(MenuPage *owner);
    // The track camera's view step (view mode 2).
    void (*trackCameraView)(GameSession *session);
    // The pointer shown or hidden (the system cursor).
    void (*showCursor)(int show);
    // The view geometry: 0 the single screen.
    int (*viewGeometryIndex)();
    // The instruments option of a view mode (3 cockpit, 4 custom).
    int (*instrumentsOption)(int viewMode);
    // The text entry "Name of next lap data file" over the owner.
    void (*openLapFileEntry)();
};

extern SessionLinkServices SessionLinks;
