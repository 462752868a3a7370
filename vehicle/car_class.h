#pragma once

#include <cstdint>

// What a vehicle class supplies that the car data does not carry itself.
// Readers index CarClassTable by the car's vehicleClass and read the fields
// directly.
struct CarClassInfo {
    const char *name;
    float hubMassFactor;      // each wheel hub's mass as a fraction of the engine mass
    uint32_t drivenAxles;     // given to the car's driven-axle byte; 4 keeps the car data's own
    uint8_t kart;             // 1: kart set-up rules (rear toe, cambers and locked diff forced)
    uint8_t frontBrakes;      // 0: rear brakes only, brake balance forced to 0
    uint8_t minGearPositions; // reverse, neutral and forward gears
    uint8_t maxGearPositions;
    uint8_t soundVariant;     // engine sound variant flag of the car sound mixer
    uint8_t minCylinders;
    uint8_t maxCylinders;
    float minDisplacement;    // cubic centimetres
    float maxDisplacement;
    float engineCoeffA;       // scales the engine speeds
    float engineCoeffB;       // friction coefficient
    float engineCoeffC;       // rotating inertia
    float engineCoeffD;       // peak torque per cubic centimetre
    float engineDefault;      // an engine value the car data may leave out
    float refuelRate;         // litres per second in a pit stop
    float tankSizeFactor;     // sizes the fuel tank when the car data gives none
    float idleSpeed;          // rad/s (104.71 rad/s = 1000 rpm)
};

constexpr int CarClassCount = 12;

// Constant data, ready before the program's first step.
extern const CarClassInfo (&CarClassTable)[CarClassCount];
