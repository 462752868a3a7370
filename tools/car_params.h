#pragma once

#include <cstdint>

#include "core/car_table.h"
#include "vehicle/car_colours.h"
#include "vehicle/car_rods.h"
#include "vehicle/car_setup.h"

// The generator's parameters of the 20 default cars, one row per car in the
// order of CarTable. Every value a car's data holds comes from here, so the
// cars are tuned in one place. Positions are metres in the car frame (x to
// the right, y forward, z up; the origin on the centre line half-way between
// the axles, on the ground). Rows are plain literals; what is derived from
// them (sizes from the body, the chassis rods, the set-ups) uses only the
// basic float operations and the square root, all exactly rounded in IEEE
// arithmetic, so every build writes the same bytes.

constexpr int MaxCarParamSetups = 4;
constexpr int MaxCarParamColours = 15;
constexpr int MaxCarParamRodEnds = 12;
constexpr int MaxCarParamRodLinks = 20;

// Air density times one half, for aerodynamic coefficients sized as
// 1/2 rho area c.
constexpr float HalfAirDensity = 0.6125f;

struct CarEngineParams {
    float displacement;      // cubic centimetres
    int cylinders;
    int layout;              // 0 inline, 1 flat, 2 V
    bool turbo;
    bool secondV8Order;
    float maxBoost;          // fraction of the unboosted torque; 0 without a turbo
    float maxSpeed;          // rev limit, rad/s
    float peakSpeedFactor;
    float widthFactor;
    float torqueFactor;
    float torqueLimit;       // 0: no cap
    float turboLagFactor;    // 0: the vehicle class's engine default
};

// What CarEngine::SetUpFromClass should make of the engine (SI units): a
// band around the figures the class model gives, for a check of that model.
struct EngineBand {
    float minPower, maxPower;        // W
    float minTorque, maxTorque;      // N m
    float minInertia, maxInertia;    // kg m^2
    float minClutch, maxClutch;      // N m
};

// One axle record's physical values (rear axle 0, front axle 1).
struct CarAxleParams {
    float tyreWidth;         // W
    float aspect;            // A: sidewall height over tyre width
    float rimRadius;         // r
    float rimWidth;          // w
    uint8_t suspensionType;  // 1 sliding, 3 one arm and a strut, 4 two arms
    float trackWidth;        // q
    float hubOffset;         // p
    float inclination;       // steering-axis inclination, radians
    float baseHeight;        // wheel centre height at zero travel in the default set-up
    float travelReference;   // wheel centre height at the bump stop
    float probeStartOffset;
    float armBaseAngle;
    float pivotHeight;
    float firstArmLength;
    float secondArmLength;
    float uprightLength;
    int8_t secondArmAngle;   // tenths of a degree
    uint8_t style[4];
    uint8_t seatInset;
    uint8_t darkening;

    float TyreRadius() const { return aspect * tyreWidth + rimRadius; }
};

struct CarParams {
    int bodyIndex;                  // into BodyCodes
    int vehicleClass;               // 0..11
    int gearboxKind;                // the car's control type, 1..5
    uint8_t drivenAxles;            // bit 0 rear, bit 1 front
    uint32_t dataFlags;
    CarEngineParams engine;
    EngineBand band;
    int gearCount;                  // reverse, neutral and the forward gears
    float reverseRatio;
    float enginePosition[3];
    float driverSeat[3];
    float tankPosition[3];
    float tankSize;                 // litres
    float furtherMass[4];           // position and mass
    int rodEndCount;
    CarRodEnd rodEnds[MaxCarParamRodEnds];
    int rodLinkCount;
    CarRodLink rodLinks[MaxCarParamRodLinks];
    float wheels[4][3];             // rest positions: rear left, rear right, front left, front right
    CarAxleParams axles[2];         // rear, front
    uint8_t rimRepeatCount;         // 2..22
    float aero[4][3];               // rear wing, front wing, undertray, body: lift, drag, base drag
    // Pairs of lowest and highest wing angle with the angle offset:
    // bytes 0, 1 the rear wing's range, 2 its offset; 4, 5 and 6 the front's.
    uint8_t setupRanges[8];
    int setupCount;
    NamedSetup setups[MaxCarParamSetups];
    int colourCount;
    CarColours colours[MaxCarParamColours];
    const char *partName;           // the one part choice, showing partMask of the body
    uint32_t partMask;
    const char *animationName;
    uint8_t materialColours[8][4];
};

// Builds the parameters of car `car` (0..CarModelCount-1). Returns 1, or 0 for
// a car outside the table.
int BuildCarParams(int car, CarParams *params);
