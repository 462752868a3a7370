#pragma once

#include <cstdint>

class CarObject;

// A computer driver of a local-AI slot. Its driving (the step and the reset
// at a start) comes with the driving control; until then the driver keeps
// its car's controls as they are.
class AiDriver {
public:
    AiDriver(CarObject *car, int skillLevel);

    // One tick of driving: dt in seconds; viewed is 1 when the car is the
    // one being viewed with the racing line shown.
    void Step(float dt, int viewed);
    // Prepares for a start (kind 0 a race start, 1 a staggered practice start).
    void Reset(int startKind);

    CarObject *car;
    int32_t skillLevel;
};

// The AI's path knowledge of a configuration for a car. Loading comes with
// the knowledge file; until then every load fails.
struct AiKnowledge {
    // 1 when loaded.
    static int Load(const char *carName);
    // Adapts a set-up block to the knowledge; 1 on success.
    static int CopySettings(const char *carName, void *setup);
};

// The fuel (percent of the tank) a car needs for the race: start fuel of a
// new AI player. qualifying: for a qualifying session.
int EstimateLapFuel(const char *carName, int qualifying);
