#pragma once

#include <cstdint>

#include "race/ai_knowledge.h"
#include "world/path_follower.h"

class CarObject;

// Driver modes.
constexpr uint32_t AiWaiting = 1;      // on the grid
constexpr uint32_t AiChoosing = 2;     // start from the pit lane
constexpr uint32_t AiRacing = 3;
constexpr uint32_t AiToPitBox = 4;
constexpr uint32_t AiPullingOff = 5;
constexpr uint32_t AiReversing = 6;
constexpr uint32_t AiStopped = 7;

// The grip factors of the five AI levels.
extern const float AiLevelFactors[5];

// One watched car of the traffic logic.
struct AiCarWatch {
    int32_t recheck;
    uint32_t passing;
    float offset;
};

// A computer driver of a local-AI slot. It only writes its car's input
// words; the car's own step moves the car.
class AiDriver {
public:
    AiDriver(CarObject *car, int level);
    ~AiDriver();
    AiDriver(const AiDriver &) = delete;
    AiDriver &operator=(const AiDriver &) = delete;

    // One tick of driving: dt in seconds; viewed is 1 when the car is the
    // one being viewed with the racing line shown (the step is the same).
    void Step(float dt, int viewed);
    // Back to the start state: kind 0 a grid start, 1 a staggered start
    // from the pits, 2 and above a pit-lane start after 1 s.
    void Reset(int startKind);
    // Drops the knowledge and stops (mode 7).
    void Stop();
    void SetMode(uint32_t newMode);
    // (Re)loads the knowledge of the current configuration for the car: 1,
    // or 0 with the driver unable to drive.
    int LoadKnowledge();
    // The pit-lane line from the racing line (line) to the path's pit-lane
    // nodes and back: 1, or 0 when the path has no pit lane on its main path.
    int BuildKnowledge();

    void StepWaiting();
    void StepChoosing();
    void StepDriving(float dt);
    void StepReversing();
    void StepStopping();

    void ShiftUp();
    void ShiftDown();
    void BeginReversing();
    void EndReversing();
    // Samples the car position (16.16 x, y): 1 when the last four samples
    // lie within 0.125 m of each other (the history is then cleared).
    int CheckStuck(const int32_t position[2]);
    void ClearStuckHistory();
    // Demands to input words.
    void OutputControls(float dt);
    // Squared plan distance (m^2) from the car to a node's line point.
    float DistanceSquaredToNode(const KnowledgeNode &node) const;

    // The traffic, pit-box and condition parts (neutral here).
    void StepTraffic();
    void SteerToPitBox(const float predicted[3], float targetOut[3], float *errorOut);
    float CheckCarCondition();

    CarObject *car;
    uint32_t mode;
    uint32_t modeState;
    uint32_t config;
    uint32_t reversed;
    PathFollower follower;
    AiKnowledge line;            // the racing line
    AiKnowledge pitLine;
    float throttle;
    float steer;
    float brake;
    float targetDir[3];
    int32_t stuckHistory[4][2];
    float lookAhead;
    uint8_t level;
    uint8_t hasPitLine;
    uint8_t onPitLine;
    uint8_t pitPlan;
    uint8_t shiftHold;
    uint8_t shiftTargetGear;
    uint8_t waitForRevs;
    uint8_t pitBox;
    uint8_t rangeIndex;
    uint8_t pullOffSideSet;
    uint8_t pullOffSide;
    uint8_t pitApproachStage;
    uint16_t pitLap;
    int32_t boxTarget[3];
    float boxDir[3];
    uint32_t pitNode;
    int32_t pitEntryNode;        // racing-line nodes where the pit line leaves and rejoins it
    int32_t pitExitNode;
    uint32_t countdown;
    float steerRate;
    float turnRadius;
    float rearAxleDistance;
    float pitSpeedLimit;
    float lateralTarget;
    float lateral;
    uint32_t heldUp;
    uint32_t laneBlocked;
    float trafficThrottle;
    float trafficSpeedCap;
    uint32_t slotCursor;
    float toOther[3];
    float otherDistance;
    AiCarWatch carWatch[32];

private:
    // The level's grip factor.
    float LevelFactor() const;
    // Recomputes line's profile for the current condition.
    void RecomputeLineProfile();
    // The last step of the driving modes: pedals, steering and gears.
    void PedalsSteeringAndGears(float dt, const KnowledgeNode &k, const int32_t predicted[3], const float travel[2],
                                float target, int careful);
    // The car cannot take a shift now: a change pending or a control held.
    int ShiftBusy() const;
};

// The race tick the driver samples on (0 without a race).
uint32_t AiRaceTick();

// Host rule flag 128: a car may ask to be put back on the path.
int IsCarResetAllowed();

// Loads the knowledge file of a car (by name) on the current
// configuration and builds its line over the current path; 1 on success.
int LoadAiKnowledgeForCar(const char *carName);
// Sets a set-up as the car's knowledge file requires; 1 on
// success.
int CopyAiSettingsForCar(const char *carName, CarSetup *setup);

// The fuel (percent of the tank) a car needs for the race: start fuel of a
// new AI player. qualifying: for a qualifying session.
int EstimateLapFuel(const char *carName, int qualifying);
