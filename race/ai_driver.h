#pragma once

#include <cstdint>

#include "race/ai_knowledge.h"

class CarObject;

// A computer driver of a local-AI slot. Its driving (the step and the reset
// at a start) comes with the driving control; until then the driver keeps
// its car's controls as they are.
class AiDriver {
public:
    AiDriver(CarObject *car, int skillLevel);
    ~AiDriver();
    AiDriver(const AiDriver &) = delete;
    AiDriver &operator=(const AiDriver &) = delete;

    // One tick of driving: dt in seconds; viewed is 1 when the car is the
    // one being viewed with the racing line shown.
    void Step(float dt, int viewed);
    // Prepares for a start (kind 0 a race start, 1 a staggered practice start).
    void Reset(int startKind);
    // The pit-lane line from the racing line (line) to the path's pit-lane
    // nodes and back: 1, or 0 when the path has no pit lane on its main path.
    int BuildKnowledge();

    CarObject *car;
    int32_t skillLevel;
    AiKnowledge line;            // the racing line
    AiKnowledge pitLine;
    int32_t pitEntryNode = 0;    // racing-line nodes where the pit line leaves and rejoins it
    int32_t pitExitNode = 0;
    uint8_t hasPitLine = 0;
};

// Loads the knowledge file of a car (by name) on the current
// configuration and builds its line over the current path; 1 on success.
int LoadAiKnowledgeForCar(const char *carName);
// Sets a set-up as the car's knowledge file requires; 1 on
// success.
int CopyAiSettingsForCar(const char *carName, CarSetup *setup);

// The fuel (percent of the tank) a car needs for the race: start fuel of a
// new AI player. qualifying: for a qualifying session.
int EstimateLapFuel(const char *carName, int qualifying);
