#pragma once

#include <cstddef>
#include <cstdint>

// The driver's adjustable configuration of a car. The record is compared byte
// by byte and travels between programs, so its layout is fixed: 120 bytes,
// little-endian. The ranges in the comments are those that ClampSetup keeps.

// One axle's block: axles[0] is the rear axle, axles[1] the front.
struct CarSetupAxle {
    float rideHeightReduction;  // metres; finite
    float springStiffness;      // finite, not negative
    float bumpDamping;          // finite, not negative
    float reboundDamping;       // the single damping value of cars that have only one
    float antiRoll;             // finite, not negative
    float reserved;             // always written as 0
    uint8_t toe;                // toe-in = (value - 9) x 0.1 degrees; 0..18
    uint8_t caster;             // tenths of a degree; 0..240
    uint8_t tyreType;           // row of TyreTypeTable; 0..7
    uint8_t reserved27;         // always 0
    uint8_t camberLeft;         // camber = (value - 45) x 0.1 degrees; 0..90
    uint8_t camberRight;        // 0..90
    uint8_t reserved30;         // always 0
    uint8_t diffPreload;        // tens of N m; 0..80
    uint8_t diffType;           // 0 open, 1 locked, 2 viscous, 3 clutch pack
    uint8_t viscousTorque;      // 1..20
    uint8_t lockPower;          // clutch-pack locking on power, percent; 10..80
    uint8_t lockCoast;          // clutch-pack locking on coast, percent; 10..80
    uint16_t pressureLeft;      // kPa
    uint16_t pressureRight;     // kPa
};

// flags bits.
constexpr uint8_t SetupSymmetric = 0x01;         // right camber and pressure follow the left
constexpr uint8_t SetupTractionControl = 0x02;
constexpr uint8_t SetupAntiLock = 0x04;
constexpr uint8_t SetupCurrentLayout = 0x80;     // set on every record read

constexpr int SetupGearCount = 7;

struct CarSetup {
    uint8_t flags;
    uint8_t reserved1;              // kept as read
    uint8_t addedMassPosition;      // front share of the added mass, percent; 0..100
    uint8_t tyreMaker;              // 0..6
    float brakeTorque;              // per wheel, N m; finite, not negative
    uint8_t rearWing;               // degrees; 0..30
    uint8_t frontWing;              // degrees; 0..30
    uint8_t addedMass;              // kg; 0..200
    uint8_t intakeRestriction;      // percent; 0..50
    uint8_t maxLock;                // degrees; 9..45
    uint8_t parallelSteer;          // percent; 0..100
    uint8_t brakeBalance;           // front share, percent; 5..95
    uint8_t engineBrakeReduction;   // percent; 0..100
    uint8_t centreDiffType;         // 0 open, 1 viscous
    uint8_t centreViscousTorque;    // 1..20
    uint8_t reserved18;             // always 0
    uint8_t frontTorqueSplit;       // front share of the drive, percent; 5..95
    uint16_t gearRatios[SetupGearCount];  // ratio = value x 7 / 65535 + 0.5; 0..65534
    uint16_t finalDrive;            // same encoding
    uint8_t passengers;             // two bits per seat: front, then three rear seats
    uint8_t partChoice;             // index into the car's part names; 0..16
    uint8_t tcSlip;                 // traction control slip, tenths of a percent; 20..100
    uint8_t tcMinSpeed;             // traction control minimum speed, m/s; 5..20
    CarSetupAxle axles[2];          // rear, front
};

static_assert(sizeof(CarSetupAxle) == 40, "a set-up axle block is 40 bytes");
static_assert(offsetof(CarSetupAxle, rideHeightReduction) == 0);
static_assert(offsetof(CarSetupAxle, springStiffness) == 4);
static_assert(offsetof(CarSetupAxle, bumpDamping) == 8);
static_assert(offsetof(CarSetupAxle, reboundDamping) == 12);
static_assert(offsetof(CarSetupAxle, antiRoll) == 16);
static_assert(offsetof(CarSetupAxle, reserved) == 20);
static_assert(offsetof(CarSetupAxle, toe) == 24);
static_assert(offsetof(CarSetupAxle, caster) == 25);
static_assert(offsetof(CarSetupAxle, tyreType) == 26);
static_assert(offsetof(CarSetupAxle, reserved27) == 27);
static_assert(offsetof(CarSetupAxle, camberLeft) == 28);
static_assert(offsetof(CarSetupAxle, camberRight) == 29);
static_assert(offsetof(CarSetupAxle, reserved30) == 30);
static_assert(offsetof(CarSetupAxle, diffPreload) == 31);
static_assert(offsetof(CarSetupAxle, diffType) == 32);
static_assert(offsetof(CarSetupAxle, viscousTorque) == 33);
static_assert(offsetof(CarSetupAxle, lockPower) == 34);
static_assert(offsetof(CarSetupAxle, lockCoast) == 35);
static_assert(offsetof(CarSetupAxle, pressureLeft) == 36);
static_assert(offsetof(CarSetupAxle, pressureRight) == 38);

static_assert(sizeof(CarSetup) == 120, "CarSetup is stored and sent as 120 bytes");
static_assert(offsetof(CarSetup, flags) == 0);
static_assert(offsetof(CarSetup, reserved1) == 1);
static_assert(offsetof(CarSetup, addedMassPosition) == 2);
static_assert(offsetof(CarSetup, tyreMaker) == 3);
static_assert(offsetof(CarSetup, brakeTorque) == 4);
static_assert(offsetof(CarSetup, rearWing) == 8);
static_assert(offsetof(CarSetup, frontWing) == 9);
static_assert(offsetof(CarSetup, addedMass) == 10);
static_assert(offsetof(CarSetup, intakeRestriction) == 11);
static_assert(offsetof(CarSetup, maxLock) == 12);
static_assert(offsetof(CarSetup, parallelSteer) == 13);
static_assert(offsetof(CarSetup, brakeBalance) == 14);
static_assert(offsetof(CarSetup, engineBrakeReduction) == 15);
static_assert(offsetof(CarSetup, centreDiffType) == 16);
static_assert(offsetof(CarSetup, centreViscousTorque) == 17);
static_assert(offsetof(CarSetup, reserved18) == 18);
static_assert(offsetof(CarSetup, frontTorqueSplit) == 19);
static_assert(offsetof(CarSetup, gearRatios) == 20);
static_assert(offsetof(CarSetup, finalDrive) == 34);
static_assert(offsetof(CarSetup, passengers) == 36);
static_assert(offsetof(CarSetup, partChoice) == 37);
static_assert(offsetof(CarSetup, tcSlip) == 38);
static_assert(offsetof(CarSetup, tcMinSpeed) == 39);
static_assert(offsetof(CarSetup, axles) == 40);
static_assert(offsetof(CarSetup, axles) + sizeof(CarSetupAxle) == 80, "the front block starts at byte 80");

// A set-up of the car's own table: a zero-padded name and the record.
struct NamedSetup {
    char name[16];
    CarSetup setup;
};
static_assert(sizeof(NamedSetup) == 136, "a named set-up is a 16-byte name and a CarSetup");

// x when finite and not below 0, else 0.
float NonNegativeFinite(float x);
// x when finite, else 0.
float FiniteOrZero(float x);

// Pulls every field into its range, in place; with the symmetric flag the
// right camber and pressure then follow the left.
void ClampSetup(CarSetup *setup);
// In both axle blocks: camberRight = camberLeft, pressureRight = pressureLeft.
void CopySetupLeftToRight(CarSetup *setup);
// 1 when any of the 120 bytes differ, else 0.
int SetupsDiffer(const CarSetup &a, const CarSetup &b);
// The number of axle blocks (0..2) on hybrid or knobbly tyres.
int CountRallyTyreAxles(const CarSetup &setup);
