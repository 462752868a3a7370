#pragma once

#include <cstdint>

#include "vehicle/contact_probe.h"

struct DataStream;
struct RimData;
class CarObject;

// One of the 16 equal parts of a tyre's circumference. Sections 0 and 2 are
// the edges of the tread, 1 the middle.
struct TreadSection {
    float thickness;   // m; 0.03 x tyre radius when new
    float bulkHeat;    // J
    float skinHeat;    // J
};

struct TreadSegment {
    TreadSection sections[3];
    float sidewallHeat[2];  // J
    float dirt;             // 0..0.16, the fraction by which grip falls
};

// A tyre or side probe with the start, end and interpolated contact values
// that let the sub-steps blend the contact across a tick. Positions are
// metres relative to the car's position.
struct WheelProbe {
    ContactProbe probe;
    float previousPosition[3];
    float currentPosition[3];
    float stepPosition[3];
    float previousSurface;   // the tyre type's grip on the surface; 1.0 for the side probe
    float currentSurface;
    float stepSurface;
    float previousNormal[3];
    float currentNormal[3];
    float stepNormal[3];

    void Clear();
};

// One wheel of a car: suspension state and geometry, tyre, rotation, ground
// probes and the contact state of the last sub-step. axleIndex 0 is the rear
// axle record, 1 the front; side is +1, -1, or 0 on the centre line. SI
// units; "car" coordinates are metres from the car's reference point, z up.
struct CarWheel {
    float baseHeight;            // car z of the wheel centre at zero travel (types 0, 1, 2, 5)
    float springRate;            // N/m; 0 once broken
    float bumpDamping;           // N s/m while compressing
    float reboundDamping;        // N s/m otherwise
    float inertia;               // kg m^2 about the axle
    float brakeShare;
    float toe;                   // rad
    float maxTravel;             // m, compression at the bump stop
    float unsprungMass;          // kg
    float frictionLimit;         // N
    float side;
    float lateralPosition;       // m, for the Ackermann angles
    float rimHeat;               // J
    float airHeat;               // J
    float pressureSetting;       // Pa above atmosphere, cold at 20 C
    float airMass;               // kg
    float radius;                // tyre radius
    TreadSegment tread[16];
    float sectionLoad[3];
    uint8_t temperatureBytes[7]; // tread sections 0..2, air, sidewalls 0, 1, rim: 0..63 for 20..200 C
    uint8_t temperatureSpare;
    uint8_t treadBytes[3];       // 0..7
    uint8_t dirtByte;            // 0..7
    uint32_t driven;
    uint32_t axleIndex;          // 0 rear, 1 front
    uint32_t tyrePlace;          // 0, 1 rear, 2, 3 front in a pit stop's tyre list
    float restPosition[3];       // wheel mount from the car data
    float position[3];           // current mount
    uint32_t bumpSurface;
    int32_t bumpBlend;           // 16.16 weight 0..1 of the held bump height
    int32_t bumpHeight;          // 16.16 m
    uint8_t suspensionType;      // 0 fixed; 1, 2, 5 sliding; 3 arm and strut; 4 two arms
    // Suspension geometry, car coordinates with x mirrored by side, set by the
    // model set-up.
    float firstArmAngle;          // at zero travel
    float steerAxleCos;           // angle between steering axis and axle
    float steerAxleSin;
    float secondArmPivot[3];
    float firstArmPivot[3];
    float strutTop[3];
    float centreLineOffset[3];    // from the first arm's pivot to the instantaneous-centre line
    float steerAxis[3];
    float axleDirection[3];       // out of the wheel for side +1; y is 0
    float contactOffset[3];       // bottom of the unloaded tyre from the wheel centre
    float travelDirection[3];
    float centre[3];
    float verticalForceLimit;
    float verticalDamageRate;
    float lateralForceLimit;
    float lateralDamageRate;
    float travelDamage;           // m, at most 0.03 x tyre radius
    float upperArmDamage;         // m, at most a third of the arm
    float lowerArmDamage;
    float damageSpare;            // cleared with the damage values
    uint8_t springState;          // 0 intact, 2 damaged, 3 broken
    uint8_t upperArmState;
    uint8_t lowerArmState;
    uint8_t toeState;
    uint8_t flat;
    int32_t skidSegment;          // last tyre-mark segment, -1 none
    int32_t lastSkidPoint[3];     // 16.16 world
    uint32_t surfaceType;         // 0..16
    uint32_t smokeCounter;
    float steerAngle;
    float rotation;               // rad within +-32 pi
    float peakSlip;
    float peakSlipShown;          // doubled on loose surfaces
    float pressure;               // Pa above atmosphere
    float angularVelocity;
    float rotationStep;
    float compression;            // m, positive compressed
    float compressionSpeed;       // m/s within +-16
    float antiRollForce;
    float torque;
    float contactForce[3];        // world N
    float rollDirection[3];
    float lastReferencePoint[3];
    float contactPoint[3];
    float deflection[3];
    float dragAnchor[3];
    float slip;
    float slipShown;              // at most 2 x peakSlip
    float normalForce;
    float contactWidth;           // 0 when not in contact
    float patchLength;
    float frictionRatio;
    float tyreDeflection;
    float camberSine;
    float longDeflection;
    float latDeflection;
    float friction;
    uint8_t inContact;
    uint8_t tyreHit;
    uint8_t sideInContact;
    uint8_t sideHit;              // 0 none, 1 side probe hit, 2 on a surface with its first flag bit
    WheelProbe tyreProbe;
    float sideAnchor[3];
    float sideDepth;
    WheelProbe sideProbe;

    // restPosition 0, then SetDefaults and ClearDamage. The set-up values
    // (rates, masses, geometry, tread) are zero until the model set-up.
    CarWheel();
    // Rolling and contact state of a wheel at rest (construction, car reset).
    void SetDefaults();
    // Repairs: no damage, the mount back at its rest position.
    void ClearDamage();
    // Three floats of the car data.
    void ReadRestPosition(DataStream &stream);

    // Fresh tyre for the axle record: not flat, every heat at the tyre type's
    // optimum less 20 C (at least 20 C), new tread without dirt. A remote
    // car's tread is segment 0 alone (the axle's areas are then 16 times
    // larger). The axle's rim volume and areas and airMass must be set.
    void SetUp(const RimData &axle, bool remote);
    // Overload: the spring and both dampers stop working for good.
    void BreakSuspension();
    // For the pit stop's change-when-worn choice: a section's tread byte at or
    // below round((100 - percent) x 0.07), or a flat tyre. percent is held to
    // 0..100.
    bool IsWorn(int percent) const;
    // The car becomes local: segment 0's whole-tread heats are shared out and
    // segment 0 is copied into all 16.
    void ExpandTreadSegments();
    // The car becomes remote: segment 0 takes the heat of all 16 segments and
    // their mean thickness and dirt.
    void CollapseTreadSegments();
    // One heat exchange step between skin, bulk, air, sidewalls, rim and the
    // 20 C outside; a section averaging 200 C or more bursts the tyre; the
    // display bytes are refreshed. convection is sqrt(air speed + 1).
    void UpdateTemperatures(const RimData &axle, float dt, float convection, bool remote);

    // One sub-step of the suspension and tyre: ground contact, tyre forces,
    // side contact against walls, spring and damper, overload damage and the
    // wheel's rotation. carMatrix is the car's orientation; centre the wheel
    // centre in world orientation relative to the car's position; steerTorque
    // null selects the light (one-step) mode, otherwise the front wheels add
    // their steering torque to it; gravity is negative. externalForce comes in
    // holding the wheel's share of the aerodynamic force and is scratch after.
    // Leaves the force on the car in contactForce.
    void StepSuspension(const RimData &axle, const float carMatrix[9], const float centre[3], float brakeTorque,
                        float *steerTorque, float dt, float invDt, float gravity, CarObject *car,
                        float externalForce[3], bool remote);
    // Places the wheel for the present compression and travel damage: centre,
    // and for the arm types steerAxis, axleDirection, contactOffset and
    // travelDirection. Impossible arm geometry leaves the previous values.
    void UpdateSuspensionGeometry(const RimData &axle);
};
