#pragma once

#include <cstdint>

class CarObject;
// The race's participant record. The vehicle library only passes it back to
// the race services and never looks inside.
struct PlayerSlot;

// The race's best lap as the timing lines read and store it.
struct RaceBestLap {
    int32_t lineCount;      // timing lines of the lap it was driven on
    int32_t lapNumber;      // 1 for the first lap
    int32_t lineTimes[4];   // split lines 2, 3, 4 and the lap, ticks
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

    // --- Audio ---
    void (*playInterfaceSound)(int sound);

    // --- Program shell ---
    // Ends the program with the code. Empty: the shell's ExitProgram.
    void (*exitProgram)(int code);

    // --- Car-data recording ---
    // See StartCarDataRecording / FinishCarDataRecording below.
    int (*startCarDataRecording)(CarObject *car);
    void (*finishCarDataRecording)(CarObject *car);
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
int RaceLessonActive();
void RaceQueueGamePacket(const uint8_t *bytes, int length);
void RaceFlushGameBatch(int flag);
void RaceSendReliableToHost(const uint8_t *bytes, int length);
int RaceIsOnline();
int RaceIsReplayPlayback();
void RacePlayInterfaceSound(int sound);
void RaceExitProgram(int code);
