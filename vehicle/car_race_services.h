#pragma once

#include <cstdint>

class CarObject;
class ZoneObject;
// The race's participant record. The vehicle library only passes it back to
// the race services and never looks inside.
struct PlayerSlot;

// The race's best lap as the timing lines read and store it.
struct RaceBestLap {
    int32_t lineCount;      // timing lines of the lap it was driven on
    int32_t lapNumber;      // 1 for the first lap
    int32_t lineTimes[4];   // split lines 2, 3, 4 and the lap, ticks
};

// How this program views a remote car: whether it collides here and how
// finely it is simulated follow from it.
struct RemoteCarView {
    int32_t catchingUp;          // the session runs more than 128 ticks behind
    int32_t replaySeeking;
    int32_t viewMode;            // 1 and 2 are the outside views
    int32_t freeView;
    const CarObject *viewedCar;  // null: no car is viewed
    int32_t nearest;             // the car is in the list of cars nearest the camera
    int32_t soundIndex;          // its place in the car-sound list, -1 when not in it
    int32_t drawn;               // the car was drawn in the last frame
};

// A cross-section of the world's path as the car's reset check reads it:
// the ground point (16.16), the unit direction of travel and the lateral
// limits in metres along the right-hand normal (dir.y, -dir.x).
struct PathSection {
    int32_t position[3];
    float direction[3];
    float leftEdge, rightEdge;    // the road
    float outerLeft, outerRight;  // the drivable area
};

// What the car's timing lines and stop test ask of the race session, the
// network, the audio and the program shell. The layers above register the
// entries at start-up; tests install fakes. An empty entry answers 0 / null
// or does nothing, except where a caller below says otherwise.
struct CarRaceServices {
    // --- Race object and session ---
    // The record of race slot `slot` (0..31); its car is RaceSlotCar's.
    PlayerSlot *(*slotRecord)(int slot);
    // The player id of a slot (byte 1 of every car packet).
    uint8_t (*playerId)(const PlayerSlot *slot);
    // The slot's AI driver: its pit decision at a split line and its pit-box
    // target at the lap line (nothing for a human's slot).
    void (*aiDecidePitStop)(PlayerSlot *slot);
    void (*aiTargetPitBox)(PlayerSlot *slot);
    // A race exists, it is not practice and the session mode is not 2.
    int (*isTimedOrLappedRace)();
    // The race's start offset in seconds.
    int (*raceStartOffset)();
    // The laps of the race (0 for practice and races of hours).
    int (*lapsToRace)();
    // The race object's start countdown byte (seconds).
    uint8_t (*startCountdown)();
    // Whether a car with these laps and race time has done the distance.
    int (*isRaceDistanceDone)(int lapsDone, uint32_t raceTime, CarObject *car);
    // Whether some result is recorded already (the winner has finished).
    int (*anyResultRecorded)();
    // Qualifying runs, and its time is over.
    int (*isQualifying)();
    int (*isQualifyingOver)();
    // The next hot lap's validity becomes the present one; the next is valid.
    void (*startNextHotLap)();
    // Hot-lap validity words: 1 valid, 2 invalid.
    uint32_t (*hotLapValidity)();
    void (*setNextHotLapValidity)(uint32_t validity);
    // The race's best lap: 1 and the record when it has one.
    int (*getBestLap)(RaceBestLap *best);
    void (*setBestLap)(const RaceBestLap &best);
    // Sets the session's jump-start flag (cleared at the lights' go).
    void (*setJumpStartFlag)();
    // 1 while a lesson runs.
    int (*lessonActive)();

    // --- Network ---
    // Appends a game packet to the outgoing batch; sends the batch now.
    void (*queueGamePacket)(const uint8_t *bytes, int length);
    void (*flushGameBatch)(int flag);
    // A reliable packet to the host (handled at once on the host).
    void (*sendReliableToHost)(const uint8_t *bytes, int length);
    // Online, and a replay being played back.
    int (*isOnline)();
    int (*isReplayPlayback)();
    // No start block is set, or its counter has run out (empty: allowed).
    int (*isStartAllowed)();
    // A track change or a joining guest keeps the session busy.
    int (*isSessionBusy)();
    // The car's periodic timed packets.
    void (*sendTimedPackets)(CarObject *car);
    // The loaded world's lowest speed-limit zone limit (km/h); 255 when no
    // world is loaded or it has no speed-limit zone (also when empty).
    int (*lowestSpeedLimit)();

    // --- Pit lane and state packets ---
    // The speed-limit zone holding ground point x, y (16.16), or null; and
    // a zone's speed limit (km/h).
    const ZoneObject *(*findSpeedLimitZone)(int32_t x, int32_t y);
    int (*zoneSpeedLimit)(const ZoneObject *zone);
    // The world's pit places: their count (0..32) and the ground position
    // (16.16) of place `index`; 0 when there is no such place.
    int (*pitPlaceCount)();
    int (*pitPlacePosition)(int index, int32_t *x, int32_t *y);
    // Nodes of the world's path (0 without a path) and the node of a car's
    // path follower (-1 unknown; empty: CarServices.pathFollowerNode).
    int (*pathNodeCount)();
    int (*carPathNode)(const CarObject *car);
    // 1 when the world's path is a closed loop; the cross-section at
    // fraction t from node i to the node after it (0 when i is no node).
    int (*pathIsClosed)();
    int (*pathSection)(int node, float t, PathSection *out);
    // The game state: 0 credits, 1 no race, 2 racing, 3 replay playback.
    int (*gameState)();
    // The car is the one driven on this program.
    int (*isDrivenCar)(const CarObject *car);
    // A slot's pit choices: the refuel percentage (share of the tank to
    // add), the tyre-wear percentage and the repair flag (bit 0).
    int (*slotRefuelPercent)(const PlayerSlot *slot);
    int (*slotTyreWearPercent)(const PlayerSlot *slot);
    int (*slotRepairFlag)(const PlayerSlot *slot);
    // The race order, leader first: its length and the slot index of a place.
    int (*raceOrderCount)();
    int (*raceOrderSlot)(int place);
    // The session's pit reports of a car: the start of a stop with its
    // tyre list, its end, and the pending pit notice.
    void (*sendPitStopStart)(CarObject *car, const uint8_t tyreList[4]);
    void (*sendPitStopDone)(CarObject *car);
    void (*sendPitNotice)(CarObject *car);
    // queueGamePacket that also records the packet in a running
    // single-player replay (empty: queueGamePacket).
    void (*queueGamePacketRec)(const uint8_t *bytes, int length);

    // How the session views a remote car (see RemoteCarView).
    void (*getRemoteCarView)(const CarObject *car, RemoteCarView *view);

    // --- Audio ---
    void (*playInterfaceSound)(int sound);

    // --- Message lines ---
    // A message line for the user in one of the message colours (an index
    // of MessageColours; out of range is the default grey).
    void (*printMessage)(const char *text, int colour);

    // --- Program shell ---
    // Ends the program with the code. Empty: the shell's ExitProgram.
    void (*exitProgram)(int code);

    // --- Car-data recording ---
    // See StartCarDataRecording / FinishCarDataRecording below.
    int (*startCarDataRecording)(CarObject *car);
    void (*finishCarDataRecording)(CarObject *car);

    // --- Race progress ---
    // The car's progress along the path and the layout's route, each tick
    // (full: 0 in a light step). Empty: the car keeps no progress.
    void (*updateRaceProgress)(CarObject *car, float dt, int full);
    // A stopped local car tells the race where it stands (its announce
    // mark is 1); a reset request onto the path (byUser: the reset key).
    void (*announceCar)(CarObject *car);
    void (*sendPositionPacket)(CarObject *car, int byUser);
};

extern CarRaceServices RaceServices;

// The interface sound of a refused action.
constexpr int ErrorInterfaceSound = 3;

// The slot of the race whose car is `car`, searching the slots in order;
// null without a race or when no slot holds the car.
PlayerSlot *FindCarSlot(const CarObject *car);

// Opens the car's data recording (named by its rafName) and writes the
// header: 1 when a recording started, else 0 (with its own warning).
int StartCarDataRecording(CarObject *car);
// Closes a running recording with its lap data; in every case the car's
// recording state becomes 0.
void FinishCarDataRecording(CarObject *car);

// Callers of the entries above that have no car of their own.
int RaceIsTimedOrLapped();
uint8_t RaceStartCountdown();
int RaceLessonActive();
void RaceQueueGamePacket(const uint8_t *bytes, int length);
void RaceFlushGameBatch(int flag);
void RaceSendReliableToHost(const uint8_t *bytes, int length);
int RaceIsOnline();
int RaceIsReplayPlayback();
int RaceIsStartAllowed();
int RaceIsSessionBusy();
void RaceSendTimedPackets(CarObject *car);
int RaceLowestSpeedLimit();
// The view of a remote car; without the entry nothing is viewed and no list
// holds the car.
void RaceGetRemoteCarView(const CarObject *car, RemoteCarView *view);
// Callers of the pit-lane entries: an empty entry answers null, 0, -1 for
// the path node, 1 (no race) for the game state, 0 for the slot bytes.
const ZoneObject *RaceFindSpeedLimitZone(int32_t x, int32_t y);
int RaceZoneSpeedLimit(const ZoneObject *zone);
int RacePitPlaceCount();
int RacePitPlacePosition(int index, int32_t *x, int32_t *y);
int RacePathNodeCount();
int RaceCarPathNode(const CarObject *car);
// Empty entries: not closed; no section (0).
int RacePathIsClosed();
int RacePathSection(int node, float t, PathSection *out);
int RaceGameState();
int RaceIsDrivenCar(const CarObject *car);
int RaceSlotRefuelPercent(const PlayerSlot *slot);
int RaceSlotTyreWearPercent(const PlayerSlot *slot);
int RaceSlotRepairFlag(const PlayerSlot *slot);
int RaceOrderCount();
int RaceOrderSlot(int place);
void RaceSendPitStopStart(CarObject *car, const uint8_t tyreList[4]);
void RaceSendPitStopDone(CarObject *car);
void RaceSendPitNotice(CarObject *car);
void RaceQueueGamePacketRec(const uint8_t *bytes, int length);
void RacePlayInterfaceSound(int sound);
void RacePrintMessage(const char *text, int colour);
void RaceExitProgram(int code);
