#include "tools/car_params.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/text_utils.h"
#include "tools/body_objects.h"
#include "vehicle/car_class.h"

namespace {

constexpr float RpmToRadPerSecond = 0.10471976f;  // 2 pi / 60
constexpr float HubOffset = 0.03f;

struct Tyre {
    float width, aspect, rimRadius, rimWidth;
};

// One literal row per car; everything else is derived from it and the body.
struct CarRow {
    int vehicleClass;
    uint8_t drivenAxles;
    int gearCount;
    // Engine: cm3, cylinders, layout, boost (0: no turbo), rev limit in rpm,
    // peak speed, width and torque factors; the second V8 firing order.
    float cc;
    int cylinders;
    int layout;
    float boost;
    float rpm;
    float peakSpeedFactor, widthFactor, torqueFactor;
    bool secondV8Order;
    float ratios[SetupGearCount];  // forward gears in use, then 0
    float finalDrive;
    float reverse;
    Tyre rear, front;
    uint8_t suspension[2];         // rear, front
    float track[2];                // wheel centre to centre; 0: the body's width less the tyre
    float sag;                     // wheel droop from rest to zero travel
    float travel;                  // from zero travel to the bump stop
    float mass;                    // dry mass without driver and fuel, kg
    float frameTop;                // height of the upper chassis rails
    float engineY, engineZ;
    float seat[3];
    float tankLitres;
    // Aerodynamics: frontal area and its drag and lift coefficients; the
    // undertray's lift coefficient (on the frontal area); the wings' area and
    // lift coefficient (negative: down), 0 area without the wing.
    float area, cd, cl, underCl;
    float rearWingArea, rearWingCl, frontWingArea, frontWingCl;
    // Default set-up.
    uint8_t tyreType;
    uint16_t pressure[2];          // kPa, rear and front
    float spring[2];               // N/m
    float damper;                  // rebound, N s/m; bump is 0.6 of it
    float antiRoll;
    float brakeTorque;             // N m per wheel
    uint8_t brakeBalance;
    uint8_t maxLock;
    uint8_t wingRange[2][3];       // rear, front: lowest, highest, angle offset
    uint8_t wings[2];              // default rear and front wing angles
    uint8_t rimRepeat;
    int colourCount;
};

constexpr Tyre T(float width, float aspect, float rimRadius, float rimWidth)
{
    return {width, aspect, rimRadius, rimWidth};
}

// Rim radii of common rim sizes.
constexpr float R13 = 0.1651f, R15 = 0.1905f, R16 = 0.2032f, R17 = 0.2159f, R18 = 0.2286f;

// clang-format off
const CarRow Rows[CarModelCount] = {
    // 0 ZHA: small front-drive hatch.
    {2, 2, 7, 1400.0f, 4, 0, 0.0f, 6500.0f, 0.475f, 1.0f, 0.78f, false,
     {3.45f, 1.95f, 1.35f, 1.03f, 0.82f, 0.0f, 0.0f}, 4.05f, -3.3f,
     T(0.185f, 0.54f, R15, 0.150f), T(0.185f, 0.54f, R15, 0.150f), {1, 3}, {0.0f, 0.0f}, 0.05f, 0.12f,
     900.0f, 1.05f, 1.00f, 0.45f, {0.36f, -0.20f, 0.25f}, 45.0f,
     1.90f, 0.34f, 0.12f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     5, {200, 210}, {32000.0f, 38000.0f}, 3500.0f, 15000.0f, 1100.0f, 68, 32, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 4, 4},
    // 1 ZHR: the hatch with a bigger engine.
    {2, 2, 7, 1800.0f, 4, 0, 0.0f, 7500.0f, 0.68f, 1.0f, 0.80f, false,
     {3.25f, 1.89f, 1.32f, 1.03f, 0.84f, 0.0f, 0.0f}, 4.20f, -3.3f,
     T(0.195f, 0.45f, R16, 0.165f), T(0.195f, 0.45f, R16, 0.165f), {1, 3}, {0.0f, 0.0f}, 0.045f, 0.11f,
     940.0f, 1.05f, 1.00f, 0.45f, {0.36f, -0.20f, 0.24f}, 45.0f,
     1.90f, 0.33f, 0.10f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     5, {200, 210}, {38000.0f, 44000.0f}, 4000.0f, 18000.0f, 1300.0f, 66, 30, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 5, 4},
    // 2 KST: turbo hatch.
    {1, 2, 8, 1800.0f, 4, 0, 0.9f, 6800.0f, 0.56f, 1.0f, 0.62f, false,
     {3.20f, 2.00f, 1.45f, 1.12f, 0.92f, 0.78f, 0.0f}, 3.90f, -3.2f,
     T(0.205f, 0.47f, R16, 0.178f), T(0.205f, 0.47f, R16, 0.178f), {1, 3}, {0.0f, 0.0f}, 0.045f, 0.11f,
     1100.0f, 1.05f, 1.00f, 0.45f, {0.37f, -0.22f, 0.24f}, 50.0f,
     1.95f, 0.33f, 0.10f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     4, {210, 220}, {42000.0f, 48000.0f}, 4500.0f, 20000.0f, 1500.0f, 66, 30, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 5, 4},
    // 3 VXT: turbo coupe, rear drive.
    {1, 1, 7, 2300.0f, 5, 0, 1.0f, 6800.0f, 0.575f, 1.0f, 0.55f, false,
     {3.50f, 2.10f, 1.40f, 1.00f, 0.80f, 0.0f, 0.0f}, 3.60f, -3.4f,
     T(0.225f, 0.42f, R17, 0.190f), T(0.215f, 0.44f, R17, 0.190f), {1, 1}, {0.0f, 0.0f}, 0.045f, 0.11f,
     1250.0f, 1.00f, 1.05f, 0.45f, {0.38f, -0.25f, 0.22f}, 60.0f,
     1.95f, 0.32f, 0.10f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     4, {210, 220}, {48000.0f, 50000.0f}, 5000.0f, 22000.0f, 1600.0f, 64, 30, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 5, 4},
    // 4 MGT: turbo GT coupe, four-wheel drive.
    {1, 3, 8, 3200.0f, 6, 1, 0.9f, 7200.0f, 0.70f, 1.0f, 0.55f, false,
     {3.10f, 2.05f, 1.50f, 1.17f, 0.95f, 0.80f, 0.0f}, 3.50f, -3.2f,
     T(0.255f, 0.41f, R17, 0.200f), T(0.235f, 0.44f, R17, 0.200f), {1, 1}, {0.0f, 0.0f}, 0.04f, 0.10f,
     1450.0f, 1.00f, 1.10f, 0.45f, {0.39f, -0.30f, 0.22f}, 70.0f,
     1.95f, 0.31f, 0.08f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     4, {220, 220}, {55000.0f, 55000.0f}, 5500.0f, 26000.0f, 1900.0f, 62, 30, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 10, 4},
    // 5 FNS: sporty front-drive hatch.
    {2, 2, 7, 2000.0f, 4, 0, 0.0f, 7800.0f, 0.70f, 1.0f, 0.82f, false,
     {3.30f, 1.95f, 1.35f, 1.06f, 0.86f, 0.0f, 0.0f}, 4.10f, -3.3f,
     T(0.205f, 0.47f, R16, 0.178f), T(0.205f, 0.47f, R16, 0.178f), {1, 3}, {0.0f, 0.0f}, 0.045f, 0.11f,
     1050.0f, 1.02f, 1.02f, 0.45f, {0.37f, -0.20f, 0.24f}, 50.0f,
     1.90f, 0.32f, 0.08f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     5, {200, 210}, {40000.0f, 46000.0f}, 4200.0f, 20000.0f, 1400.0f, 66, 30, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 6, 4},
    // 6 ORL: light roadster, rear drive.
    {2, 1, 7, 1600.0f, 4, 0, 0.0f, 7200.0f, 0.625f, 1.0f, 0.80f, false,
     {3.30f, 1.90f, 1.36f, 1.05f, 0.85f, 0.0f, 0.0f}, 4.10f, -3.3f,
     T(0.195f, 0.51f, R15, 0.165f), T(0.195f, 0.51f, R15, 0.165f), {1, 1}, {0.0f, 0.0f}, 0.04f, 0.10f,
     880.0f, 0.75f, 0.95f, 0.40f, {0.34f, -0.35f, 0.20f}, 45.0f,
     1.75f, 0.40f, 0.10f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     5, {190, 200}, {36000.0f, 38000.0f}, 3800.0f, 16000.0f, 1100.0f, 62, 32, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 5, 4},
    // 7 QBG: rallycross buggy, rear engine, automatic gearbox.
    {3, 1, 7, 1600.0f, 4, 1, 0.0f, 6000.0f, 0.405f, 1.1f, 0.85f, false,
     {3.20f, 2.00f, 1.40f, 1.10f, 0.90f, 0.0f, 0.0f}, 4.50f, -3.5f,
     T(0.255f, 0.69f, R13, 0.200f), T(0.255f, 0.69f, R13, 0.200f), {1, 1}, {1.46f, 1.42f}, 0.08f, 0.22f,
     650.0f, 1.45f, -0.75f, 0.55f, {0.0f, -0.05f, 0.40f}, 40.0f,
     1.60f, 0.60f, 0.10f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     6, {130, 130}, {30000.0f, 28000.0f}, 3000.0f, 8000.0f, 900.0f, 60, 35, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 6, 3},
    // 8 BRV: muscle coupe with a V8.
    {1, 1, 8, 5000.0f, 8, 2, 0.0f, 6500.0f, 0.60f, 1.0f, 0.78f, false,
     {2.95f, 1.95f, 1.42f, 1.10f, 0.88f, 0.72f, 0.0f}, 3.30f, -3.0f,
     T(0.265f, 0.43f, R17, 0.200f), T(0.245f, 0.47f, R17, 0.200f), {1, 1}, {0.0f, 0.0f}, 0.045f, 0.11f,
     1500.0f, 1.05f, 1.10f, 0.50f, {0.40f, -0.35f, 0.24f}, 70.0f,
     2.10f, 0.36f, 0.12f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     4, {220, 220}, {50000.0f, 55000.0f}, 5000.0f, 24000.0f, 1900.0f, 60, 32, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 5, 4},
    // 9 LRS: light open sports car, rear drive.
    {1, 1, 8, 1800.0f, 4, 0, 0.0f, 8000.0f, 0.72f, 1.0f, 0.82f, false,
     {3.10f, 2.10f, 1.55f, 1.22f, 1.00f, 0.86f, 0.0f}, 4.00f, -3.3f,
     T(0.195f, 0.51f, R15, 0.165f), T(0.195f, 0.51f, R15, 0.165f), {1, 1}, {0.0f, 0.0f}, 0.04f, 0.10f,
     700.0f, 0.75f, -1.05f, 0.45f, {0.32f, -0.45f, 0.18f}, 40.0f,
     1.70f, 0.42f, 0.10f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     4, {190, 200}, {40000.0f, 38000.0f}, 3800.0f, 15000.0f, 1100.0f, 60, 28, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 5, 4},
    // 10 LSR: the open sports car in race trim, sequential gearbox.
    {1, 1, 8, 2000.0f, 4, 0, 0.0f, 9000.0f, 0.80f, 1.0f, 0.90f, false,
     {2.90f, 2.05f, 1.60f, 1.30f, 1.10f, 0.95f, 0.0f}, 4.30f, -3.3f,
     T(0.205f, 0.48f, R15, 0.178f), T(0.205f, 0.48f, R15, 0.178f), {4, 4}, {0.0f, 0.0f}, 0.03f, 0.08f,
     650.0f, 0.75f, -1.05f, 0.40f, {0.30f, -0.45f, 0.16f}, 40.0f,
     1.70f, 0.42f, 0.08f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     4, {180, 190}, {55000.0f, 50000.0f}, 5000.0f, 25000.0f, 1300.0f, 60, 26, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 6, 3},
    // 11 FNV: junior formula car.
    {4, 1, 7, 1600.0f, 4, 0, 0.0f, 8500.0f, 0.515f, 1.0f, 0.70f, false,
     {2.90f, 2.00f, 1.55f, 1.25f, 1.05f, 0.0f, 0.0f}, 3.90f, -3.0f,
     T(0.330f, 0.50f, R13, 0.300f), T(0.260f, 0.63f, R13, 0.250f), {4, 4}, {1.50f, 1.56f}, 0.02f, 0.05f,
     480.0f, 0.55f, -0.70f, 0.30f, {0.0f, -0.25f, 0.08f}, 45.0f,
     1.20f, 0.55f, 0.05f, -0.30f, 0.55f, -1.4f, 0.50f, -1.2f,
     1, {150, 150}, {60000.0f, 55000.0f}, 6000.0f, 30000.0f, 2000.0f, 56, 18, {{2, 24, 4}, {0, 20, 6}}, {10, 8}, 6, 3},
    // 12 FAR: formula car with a V8.
    {4, 1, 8, 3000.0f, 8, 2, 0.0f, 11500.0f, 0.815f, 1.0f, 0.72f, true,
     {2.70f, 1.95f, 1.55f, 1.30f, 1.12f, 1.00f, 0.0f}, 4.00f, -3.0f,
     T(0.330f, 0.50f, R13, 0.300f), T(0.260f, 0.63f, R13, 0.250f), {4, 4}, {1.50f, 1.56f}, 0.02f, 0.05f,
     560.0f, 0.55f, -0.70f, 0.30f, {0.0f, -0.25f, 0.08f}, 60.0f,
     1.20f, 0.55f, 0.05f, -0.40f, 0.55f, -1.6f, 0.50f, -1.4f,
     1, {150, 150}, {70000.0f, 65000.0f}, 7000.0f, 35000.0f, 2400.0f, 56, 18, {{2, 24, 4}, {0, 20, 6}}, {12, 10}, 6, 3},
    // 13 FCR: the top open-wheel class, 2.4 litre V8, seven gears.
    {10, 1, 9, 2400.0f, 8, 2, 0.0f, 18500.0f, 1.00f, 1.2f, 0.80f, false,
     {3.10f, 2.30f, 1.85f, 1.55f, 1.35f, 1.20f, 1.08f}, 3.50f, -3.0f,
     T(0.350f, 0.47f, R13, 0.320f), T(0.270f, 0.61f, R13, 0.260f), {4, 4}, {1.50f, 1.56f}, 0.02f, 0.04f,
     560.0f, 0.55f, -0.70f, 0.30f, {0.0f, -0.25f, 0.08f}, 100.0f,
     1.20f, 0.55f, 0.05f, -0.60f, 0.55f, -1.8f, 0.50f, -1.6f,
     1, {140, 140}, {80000.0f, 75000.0f}, 8000.0f, 40000.0f, 2800.0f, 56, 16, {{2, 24, 4}, {0, 20, 6}}, {14, 12}, 7, 3},
    // 14 BPR: sports prototype, V6, rear wing.
    {5, 1, 8, 3500.0f, 6, 2, 0.0f, 8500.0f, 0.60f, 1.0f, 0.90f, false,
     {2.60f, 1.85f, 1.45f, 1.20f, 1.02f, 0.90f, 0.0f}, 3.40f, -3.0f,
     T(0.310f, 0.33f, R18, 0.280f), T(0.280f, 0.36f, R18, 0.260f), {4, 4}, {0.0f, 0.0f}, 0.02f, 0.05f,
     850.0f, 0.80f, -0.80f, 0.30f, {0.30f, -0.10f, 0.10f}, 90.0f,
     1.60f, 0.42f, 0.05f, -0.50f, 0.60f, -1.4f, 0.0f, 0.0f,
     2, {160, 160}, {80000.0f, 75000.0f}, 7000.0f, 40000.0f, 2600.0f, 58, 18, {{0, 20, 4}, {0, 0, 0}}, {8, 0}, 6, 3},
    // 15 ZGT: GT racer, four cylinders, front drive.
    {5, 2, 8, 2200.0f, 4, 0, 0.0f, 8000.0f, 0.535f, 1.0f, 0.80f, false,
     {2.80f, 1.95f, 1.50f, 1.22f, 1.03f, 0.90f, 0.0f}, 3.60f, -3.1f,
     T(0.300f, 0.31f, R18, 0.280f), T(0.280f, 0.33f, R18, 0.260f), {1, 4}, {0.0f, 0.0f}, 0.025f, 0.06f,
     1100.0f, 1.00f, 0.95f, 0.40f, {0.35f, -0.25f, 0.20f}, 100.0f,
     2.00f, 0.38f, 0.05f, -0.10f, 0.50f, -1.2f, 0.0f, 0.0f,
     2, {170, 170}, {90000.0f, 95000.0f}, 6500.0f, 45000.0f, 2400.0f, 62, 24, {{0, 16, 3}, {0, 0, 0}}, {6, 0}, 5, 3},
    // 16 KGT: GT racer, five cylinders, four-wheel drive.
    {5, 3, 8, 2500.0f, 5, 0, 0.0f, 8000.0f, 0.495f, 1.0f, 0.80f, false,
     {2.75f, 1.90f, 1.48f, 1.20f, 1.02f, 0.88f, 0.0f}, 3.60f, -3.1f,
     T(0.300f, 0.31f, R18, 0.280f), T(0.280f, 0.33f, R18, 0.260f), {4, 4}, {0.0f, 0.0f}, 0.025f, 0.06f,
     1150.0f, 1.00f, 0.95f, 0.40f, {0.35f, -0.25f, 0.20f}, 100.0f,
     2.00f, 0.38f, 0.05f, -0.10f, 0.50f, -1.2f, 0.0f, 0.0f,
     2, {170, 170}, {90000.0f, 90000.0f}, 6500.0f, 45000.0f, 2400.0f, 60, 24, {{0, 16, 3}, {0, 0, 0}}, {6, 0}, 10, 3},
    // 17 MRG: GT racer, flat six, rear drive.
    {5, 1, 8, 3600.0f, 6, 1, 0.0f, 9000.0f, 0.725f, 1.0f, 0.70f, false,
     {2.90f, 2.00f, 1.55f, 1.27f, 1.08f, 0.95f, 0.0f}, 3.80f, -3.1f,
     T(0.300f, 0.31f, R18, 0.280f), T(0.280f, 0.33f, R18, 0.260f), {4, 4}, {0.0f, 0.0f}, 0.025f, 0.06f,
     1200.0f, 1.00f, 1.00f, 0.42f, {0.35f, -0.25f, 0.20f}, 100.0f,
     2.00f, 0.38f, 0.05f, -0.10f, 0.50f, -1.3f, 0.0f, 0.0f,
     2, {170, 170}, {95000.0f, 90000.0f}, 6500.0f, 45000.0f, 2500.0f, 58, 24, {{0, 16, 3}, {0, 0, 0}}, {7, 0}, 6, 3},
    // 18 SBR: light wingless single-seater with a motorcycle engine.
    {11, 1, 8, 600.0f, 4, 0, 0.0f, 12000.0f, 0.70f, 1.0f, 1.20f, false,
     {2.60f, 1.90f, 1.55f, 1.32f, 1.15f, 1.04f, 0.0f}, 5.00f, -3.0f,
     T(0.220f, 0.57f, R13, 0.180f), T(0.200f, 0.62f, R13, 0.170f), {4, 4}, {1.20f, 1.24f}, 0.02f, 0.05f,
     230.0f, 0.50f, -0.60f, 0.30f, {0.0f, -0.20f, 0.10f}, 20.0f,
     1.00f, 0.60f, 0.05f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     1, {120, 120}, {35000.0f, 32000.0f}, 2500.0f, 10000.0f, 700.0f, 55, 22, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 5, 3},
    // 19 SBX: the single-seater with a bigger six.
    {4, 1, 8, 2400.0f, 6, 0, 0.0f, 9500.0f, 0.625f, 1.0f, 0.72f, false,
     {2.75f, 1.95f, 1.55f, 1.28f, 1.10f, 0.97f, 0.0f}, 4.00f, -3.0f,
     T(0.240f, 0.52f, R13, 0.200f), T(0.200f, 0.62f, R13, 0.170f), {4, 4}, {1.20f, 1.24f}, 0.02f, 0.05f,
     480.0f, 0.50f, -0.60f, 0.30f, {0.0f, -0.20f, 0.10f}, 40.0f,
     1.00f, 0.60f, 0.05f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     1, {130, 130}, {50000.0f, 45000.0f}, 4000.0f, 15000.0f, 1100.0f, 55, 20, {{0, 0, 0}, {0, 0, 0}}, {0, 0}, 6, 3},
};
// clang-format on

// Engine bands: the class model's figures for each row's engine, with 10 %
// either side (maximum power and torque, rotating inertia, clutch capacity).
// clang-format off
const EngineBand Bands[CarModelCount] = {
    {67492.0f, 82490.2f, 124.7f, 152.5f, 0.0751f, 0.0917f, 210.2f, 257.0f},  // ZHA
    {91667.7f, 112038.3f, 143.8f, 175.8f, 0.1142f, 0.1395f, 319.6f, 390.7f},  // ZHR
    {140936.5f, 172255.7f, 243.2f, 297.2f, 0.1141f, 0.1395f, 340.5f, 416.1f},  // KST
    {166397.8f, 203375.0f, 286.0f, 349.6f, 0.1481f, 0.1810f, 414.4f, 506.6f},  // VXT
    {220537.5f, 269545.8f, 347.5f, 424.8f, 0.2273f, 0.2778f, 636.4f, 777.8f},  // MGT
    {100991.7f, 123434.3f, 160.7f, 196.5f, 0.1361f, 0.1663f, 381.0f, 465.7f},  // FNS
    {83912.5f, 102559.7f, 134.1f, 163.9f, 0.0938f, 0.1146f, 262.7f, 321.1f},  // ORL
    {76734.2f, 93786.2f, 160.7f, 196.5f, 0.0938f, 0.1146f, 262.7f, 321.1f},  // QBG
    {205252.0f, 250863.5f, 402.8f, 492.3f, 0.3947f, 0.4825f, 1105.3f, 1350.9f},  // BRV
    {95980.2f, 117309.2f, 143.5f, 175.4f, 0.1142f, 0.1395f, 319.6f, 390.7f},  // LRS
    {117385.2f, 143470.8f, 165.8f, 202.7f, 0.1361f, 0.1663f, 381.0f, 465.7f},  // LSR
    {113905.4f, 139217.8f, 158.8f, 194.2f, 0.0626f, 0.0765f, 222.4f, 271.8f},  // FNV
    {234085.1f, 286104.0f, 226.7f, 277.1f, 0.1123f, 0.1373f, 317.4f, 388.0f},  // FAR
    {320594.2f, 391837.4f, 223.3f, 272.9f, 0.0387f, 0.0473f, 312.6f, 382.0f},  // FCR
    {370418.9f, 452734.2f, 503.9f, 615.9f, 0.1760f, 0.2151f, 705.4f, 862.2f},  // BPR
    {197035.9f, 240821.7f, 289.5f, 353.9f, 0.1063f, 0.1299f, 405.3f, 495.3f},  // ZGT
    {226737.8f, 277124.0f, 338.5f, 413.7f, 0.1134f, 0.1386f, 473.9f, 579.3f},  // KGT
    {268557.2f, 328236.6f, 335.7f, 410.3f, 0.1844f, 0.2254f, 516.3f, 631.1f},  // MRG
    {82834.4f, 101242.0f, 81.0f, 99.0f, 0.0122f, 0.0149f, 113.4f, 138.6f},  // SBR
    {185696.1f, 226961.9f, 225.0f, 275.0f, 0.0938f, 0.1146f, 315.0f, 385.0f},  // SBX
};
// clang-format on

// Colour schemes (body colours 1..4, rim colours 5..8), channels within the
// 10..160 that colour records keep.
struct Scheme {
    uint8_t body[4][3];
    uint8_t rim[4][3];
};
const Scheme Schemes[6] = {
    {{{150, 24, 20}, {30, 30, 32}, {150, 150, 150}, {20, 20, 20}}, {{140, 140, 140}, {60, 60, 60}, {20, 20, 20}, {100, 100, 100}}},
    {{{20, 50, 140}, {150, 150, 150}, {30, 30, 32}, {20, 20, 20}}, {{150, 150, 150}, {40, 40, 40}, {20, 20, 20}, {120, 120, 120}}},
    {{{155, 155, 155}, {20, 20, 20}, {150, 24, 20}, {20, 20, 20}}, {{30, 30, 30}, {150, 150, 150}, {20, 20, 20}, {80, 80, 80}}},
    {{{20, 20, 22}, {150, 120, 20}, {100, 100, 100}, {20, 20, 20}}, {{150, 120, 20}, {30, 30, 30}, {20, 20, 20}, {90, 90, 90}}},
    {{{30, 110, 40}, {150, 150, 150}, {20, 20, 20}, {20, 20, 20}}, {{120, 120, 120}, {50, 50, 50}, {20, 20, 20}, {100, 100, 100}}},
    {{{150, 90, 10}, {20, 20, 20}, {150, 150, 150}, {20, 20, 20}}, {{20, 20, 20}, {150, 150, 150}, {20, 20, 20}, {70, 70, 70}}},
};

void Set3(float out[3], float x, float y, float z)
{
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

int32_t Fix(float metres)
{
    // Round half away from zero without the C library.
    const float scaled = metres * 65536.0f;
    return static_cast<int32_t>(scaled >= 0.0f ? scaled + 0.5f : scaled - 0.5f);
}

uint16_t RatioWord(float ratio)
{
    // ratio = 0.5 + 7 x word / 65535
    const float word = (ratio - 0.5f) * 65535.0f / 7.0f + 0.5f;
    return static_cast<uint16_t>(std::clamp(word, 0.0f, 65534.0f));
}

float Length(const CarRodEnd &a, const CarRodEnd &b)
{
    const float dx = static_cast<float>(b.x - a.x) / 65536.0f;
    const float dy = static_cast<float>(b.y - a.y) / 65536.0f;
    const float dz = static_cast<float>(b.z - a.z) / 65536.0f;
    return std::sqrt(dx * dx + dy * dy + dz * dz);  // correctly rounded in IEEE arithmetic
}

struct RodBuilder {
    CarParams *params;

    int End(float x, float y, float z, uint8_t kind)
    {
        CarRodEnd &end = params->rodEnds[params->rodEndCount];
        end = CarRodEnd{};
        end.x = Fix(x);
        end.y = Fix(y);
        end.z = Fix(z);
        end.kind = kind;
        return params->rodEndCount++;
    }
    void Link(int a, int b)
    {
        CarRodLink &link = params->rodLinks[params->rodLinkCount++];
        link = CarRodLink{};
        link.ends[0] = static_cast<int16_t>(a);
        link.ends[1] = static_cast<int16_t>(b);
    }
    // The mass the links weigh at one kg per metre: a link between two ends
    // stands for itself and its mirror image, a link from an end to itself
    // runs across the car.
    float MetresOfRod() const
    {
        float metres = 0.0f;
        for (int i = 0; i < params->rodLinkCount; ++i) {
            const CarRodEnd &a = params->rodEnds[params->rodLinks[i].ends[0]];
            const CarRodEnd &b = params->rodEnds[params->rodLinks[i].ends[1]];
            if (&a == &b) {
                metres += static_cast<float>(a.x) / 32768.0f;
            } else {
                metres += 2.0f * Length(a, b);
            }
        }
        return metres;
    }
};

// The axle's record values and, for arm suspensions, its chassis points.
void BuildAxle(const CarRow &row, const BodyLayout &body, int axle, CarParams *params, RodBuilder &rods,
               int frameBottom, int frameTop)
{
    const Tyre &tyre = axle == 0 ? row.rear : row.front;
    CarAxleParams &a = params->axles[axle];
    a = CarAxleParams{};
    a.tyreWidth = tyre.width;
    a.aspect = tyre.aspect;
    a.rimRadius = tyre.rimRadius;
    a.rimWidth = tyre.rimWidth;
    a.suspensionType = row.suspension[axle];
    const float radius = a.TyreRadius();
    // Closed bodies: each tyre's outer face 3 cm inside the body side.
    const float track = row.track[axle] > 0.0f ? row.track[axle]
                                               : 2.0f * (body.halfWidth - 0.03f - tyre.width * 0.5f);
    a.hubOffset = HubOffset;
    a.trackWidth = track + 2.0f * HubOffset;  // the wheel centre lies q / 2 - p out
    a.inclination = a.suspensionType == 1 ? 0.0f : 0.12f;
    a.baseHeight = radius - row.sag;
    a.travelReference = a.baseHeight + row.travel;
    a.probeStartOffset = 0.1f;
    a.style[1] = 5;
    a.seatInset = 5;
    a.darkening = 10;

    const float y = axle == 0 ? -body.wheelbase * 0.5f : body.wheelbase * 0.5f;
    const float joint = track * 0.5f - HubOffset;  // x of the outer arm joints
    if (a.suspensionType == 4) {
        // Two arms, level at zero travel, on an upright of half-length u.
        const float u = radius * 0.5f;
        a.uprightLength = u;
        a.pivotHeight = u;
        a.firstArmLength = std::min(0.40f, joint * 0.55f);
        a.secondArmLength = a.firstArmLength * 0.8f;
        const int lower = rods.End(joint - a.firstArmLength, y, a.baseHeight - u, 1);
        const int upper = rods.End(joint - a.secondArmLength, y, a.baseHeight + u, 2);
        rods.Link(lower, frameBottom);
        rods.Link(upper, frameTop);
        rods.Link(lower, upper);
        rods.Link(lower, lower);
    } else if (a.suspensionType == 3) {
        // One arm and a strut whose top leans 8 cm in.
        const float h = radius * 0.4f;
        a.pivotHeight = h;
        a.uprightLength = h;
        a.firstArmLength = std::min(0.38f, joint * 0.55f);
        const float strutHeight = 0.45f + h;
        a.secondArmLength = std::sqrt(0.08f * 0.08f + strutHeight * strutHeight);  // the strut
        const int lower = rods.End(joint - a.firstArmLength, y, a.baseHeight - h, 1);
        const int top = rods.End(joint - 0.08f, y, a.baseHeight + 0.45f, 3);
        rods.Link(lower, frameBottom);
        rods.Link(top, frameTop);
        rods.Link(lower, lower);
    }
}

void BuildSetup(const CarRow &row, const CarParams &params, NamedSetup *named, const char *name)
{
    *named = NamedSetup{};
    CopyString(named->name, name, sizeof(named->name));
    CarSetup &s = named->setup;
    s.flags = SetupSymmetric | SetupCurrentLayout;
    s.addedMassPosition = 50;
    s.brakeTorque = row.brakeTorque;
    s.rearWing = row.wings[0];
    s.frontWing = row.wings[1];
    s.maxLock = row.maxLock;
    s.parallelSteer = 50;
    s.brakeBalance = row.brakeBalance;
    s.centreDiffType = row.drivenAxles == 3 ? 1 : 0;
    s.centreViscousTorque = 10;
    s.frontTorqueSplit = row.drivenAxles == 3 ? 40 : 50;
    const int forward = row.gearCount - 2;
    uint16_t last = 0;
    for (int g = 0; g < SetupGearCount; ++g) {
        if (g < forward) {
            last = RatioWord(row.ratios[g]);
        }
        s.gearRatios[g] = last;  // unused gears repeat the top one, so the words never rise
    }
    s.finalDrive = RatioWord(row.finalDrive);
    s.tcSlip = 50;
    s.tcMinSpeed = 10;
    for (int axle = 0; axle < 2; ++axle) {
        CarSetupAxle &a = s.axles[axle];
        const bool driven = (row.drivenAxles >> axle) & 1;
        a.rideHeightReduction = params.axles[axle].baseHeight;
        a.springStiffness = row.spring[axle];
        a.reboundDamping = row.damper;
        a.bumpDamping = row.damper * 0.6f;
        a.antiRoll = row.antiRoll;
        a.toe = 9;
        a.caster = params.axles[axle].suspensionType == 4 ? 40 : 0;
        a.tyreType = row.tyreType;
        const uint8_t camber = row.vehicleClass >= 4 ? 27 : 38;  // -1.8 or -0.7 degrees
        a.camberLeft = camber;
        a.camberRight = camber;
        a.diffPreload = 0;
        a.diffType = driven && row.vehicleClass >= 4 ? 3 : 0;
        a.viscousTorque = 10;
        a.lockPower = 40;
        a.lockCoast = 20;
        a.pressureLeft = row.pressure[axle];
        a.pressureRight = row.pressure[axle];
    }
}

// The allowed tyre types of a class (the range the car's set-ups keep to).
void ChoiceRange(int vehicleClass, int defaultRearType, int *lo, int *hi)
{
    switch (vehicleClass) {
    case 0: *lo = 0, *hi = 7; return;
    case 1: *lo = 4, *hi = 7; return;
    case 2: *lo = 5, *hi = 7; return;
    case 3: *lo = 6, *hi = 7; return;
    case 5: *lo = 1, *hi = 3; return;
    default:
        if (defaultRearType < 1) {
            *lo = 0, *hi = 2;
        } else {
            const int c = std::min(defaultRearType, 2);
            *lo = c - 1, *hi = c + 1;
        }
    }
}

// The named set-ups: the default, then variants that stay inside the class's
// tyre choice and the wing ranges.
void BuildSetups(int car, const CarRow &row, CarParams *params)
{
    NamedSetup *setups = params->setups;
    BuildSetup(row, *params, &setups[0], "Default");
    int count = 1;
    int lo, hi;
    ChoiceRange(row.vehicleClass, row.tyreType, &lo, &hi);
    const bool race = row.vehicleClass >= 4;
    if (row.vehicleClass == 3) {
        // The buggy: hybrid tyres for tarmac by default, knobbly for gravel.
        BuildSetup(row, *params, &setups[count], "Gravel");
        for (CarSetupAxle &a : setups[count].setup.axles) {
            a.tyreType = 7;
            a.pressureLeft = a.pressureRight = static_cast<uint16_t>(a.pressureLeft - 20);
            a.springStiffness = a.springStiffness * 0.8f;
        }
        ++count;
    } else if (!race) {
        if (CarTable[car].aiRallycross) {
            // Road cars that may run on rallycross tracks: hybrid tyres.
            BuildSetup(row, *params, &setups[count], "Rallycross");
            for (CarSetupAxle &a : setups[count].setup.axles) {
                a.tyreType = 6;
                a.springStiffness = a.springStiffness * 0.85f;
            }
            ++count;
        }
        BuildSetup(row, *params, &setups[count], "Sport");
        for (CarSetupAxle &a : setups[count].setup.axles) {
            a.springStiffness = a.springStiffness * 1.15f;
            a.antiRoll = a.antiRoll * 1.2f;
            a.pressureLeft = a.pressureRight = static_cast<uint16_t>(a.pressureLeft + 10);
        }
        ++count;
    } else {
        // Racing cars: softer tyres and more wing for qualifying, harder
        // tyres and less wing for a long run.
        const struct {
            const char *name;
            int tyreStep;
            int wingStep;
        } variants[] = {{"Qualifying", -1, 2}, {"Long run", 1, -2}};
        for (const auto &v : variants) {
            const int tyre = row.tyreType + v.tyreStep;
            if (tyre < lo || tyre > hi) {
                continue;
            }
            BuildSetup(row, *params, &setups[count], v.name);
            CarSetup &s = setups[count].setup;
            for (CarSetupAxle &a : s.axles) {
                a.tyreType = static_cast<uint8_t>(tyre);
            }
            for (int w = 0; w < 2; ++w) {
                const int angle = std::clamp(row.wings[w] + v.wingStep, static_cast<int>(row.wingRange[w][0]),
                                             static_cast<int>(row.wingRange[w][1]));
                (w == 0 ? s.rearWing : s.frontWing) = static_cast<uint8_t>(angle);
            }
            ++count;
        }
    }
    params->setupCount = count;
}

}  // namespace

int BuildCarParams(int car, CarParams *params)
{
    if (car < 0 || car >= CarModelCount) {
        return 0;
    }
    const CarRow &row = Rows[car];
    int bodyIndex = 0;
    while (bodyIndex < BodyCodeCount && std::strcmp(BodyCodes[bodyIndex], CarTable[car].bodyCode) != 0) {
        ++bodyIndex;
    }
    BodyLayout body;
    if (!GetBodyLayout(bodyIndex, &body)) {
        return 0;
    }
    *params = CarParams{};
    CarParams &p = *params;
    p.bodyIndex = bodyIndex;
    p.vehicleClass = row.vehicleClass;
    p.gearboxKind = CarTable[car].controlType;
    p.drivenAxles = row.drivenAxles;
    p.dataFlags = 0x80000;  // the tank size is given

    CarEngineParams &e = p.engine;
    e.displacement = row.cc;
    e.cylinders = row.cylinders;
    e.layout = row.layout;
    e.turbo = row.boost > 0.0f;
    e.secondV8Order = row.secondV8Order;
    e.maxBoost = row.boost;
    e.maxSpeed = row.rpm * RpmToRadPerSecond;
    e.peakSpeedFactor = row.peakSpeedFactor;
    e.widthFactor = row.widthFactor;
    e.torqueFactor = row.torqueFactor;
    e.torqueLimit = 0.0f;
    e.turboLagFactor = e.turbo ? 1.0f : 0.0f;
    p.band = Bands[car];

    p.gearCount = row.gearCount;
    p.reverseRatio = row.reverse;

    const float half = body.wheelbase * 0.5f;
    Set3(p.enginePosition, 0.0f, row.engineY, row.engineZ);
    Set3(p.driverSeat, row.seat[0], row.seat[1], row.seat[2]);
    p.tankSize = row.tankLitres;
    // Front engines leave the tank ahead of the rear axle; behind a driver who
    // sits ahead of the engine it goes just behind the seat.
    Set3(p.tankPosition, 0.0f, row.engineY > 0.0f ? -half + 0.25f : row.seat[1] - 0.35f, 0.30f);

    // The chassis: four rails on each side (floor and top, rear and front of
    // the wheelbase), joined across the car, with the arm pivots and strut
    // tops of arm suspensions tied into it.
    RodBuilder rods{&p};
    const float frameX = std::min(body.halfWidth - 0.10f, 0.60f);
    const float frameY = half + 0.20f;
    const int rb = rods.End(frameX, -frameY, 0.15f, 0);
    const int fb = rods.End(frameX, frameY, 0.15f, 0);
    const int rt = rods.End(frameX * 0.85f, -frameY, row.frameTop, 0);
    const int ft = rods.End(frameX * 0.85f, frameY, row.frameTop, 0);
    rods.Link(rb, fb);
    rods.Link(rt, ft);
    rods.Link(rb, rt);
    rods.Link(fb, ft);
    rods.Link(rb, ft);
    rods.Link(rb, rb);
    rods.Link(fb, fb);
    rods.Link(rt, rt);
    rods.Link(ft, ft);
    BuildAxle(row, body, 0, &p, rods, rb, rt);
    BuildAxle(row, body, 1, &p, rods, fb, ft);

    // Wheels: rear left, rear right, front left, front right, at their
    // centres at zero travel.
    for (int axle = 0; axle < 2; ++axle) {
        const CarAxleParams &a = p.axles[axle];
        const float x = a.trackWidth * 0.5f - a.hubOffset;
        const float y = axle == 0 ? -half : half;
        Set3(p.wheels[axle * 2], -x, y, a.baseHeight);
        Set3(p.wheels[axle * 2 + 1], x, y, a.baseHeight);
    }

    // Masses: what the mass model adds by itself (engine, tank shell, seat,
    // wheels and hubs), the rest of the dry mass three quarters in the rods,
    // a quarter as one further mass low in the middle.
    const CarClassInfo &cls = CarClassTable[row.vehicleClass];
    const float engineMass = row.cc * 0.05f;
    float wheelMass = 0.0f;
    for (const CarAxleParams &a : p.axles) {
        const float r = a.TyreRadius();
        wheelMass += 2.0f * 12.0f * 6.2831855f * (r * r + r * a.rimWidth + a.rimRadius * a.rimWidth);
    }
    const float known = engineMass * 1.3f + 15.0f + wheelMass + 4.0f * cls.hubMassFactor * engineMass;
    const float chassis = std::max(row.mass - known, 20.0f);
    const float density = std::clamp(chassis * 0.75f / rods.MetresOfRod(), MinRodLinkDensity, MaxRodLinkDensity);
    for (int i = 0; i < p.rodLinkCount; ++i) {
        p.rodLinks[i].density = density;
    }
    const float rodMass = density * rods.MetresOfRod();
    p.furtherMass[0] = 0.0f;
    p.furtherMass[1] = 0.0f;
    p.furtherMass[2] = 0.25f;
    p.furtherMass[3] = std::max(chassis - rodMass, 0.0f);

    p.rimRepeatCount = row.rimRepeat;

    // Aerodynamic surfaces: rear wing, front wing, undertray, body.
    const float q = HalfAirDensity;
    if (row.rearWingArea > 0.0f) {
        p.aero[0][0] = q * row.rearWingArea * row.rearWingCl;
        p.aero[0][1] = q * row.rearWingArea;
        p.aero[0][2] = q * row.rearWingArea * 0.5f;
    }
    if (row.frontWingArea > 0.0f) {
        p.aero[1][0] = q * row.frontWingArea * row.frontWingCl;
        p.aero[1][1] = q * row.frontWingArea;
        p.aero[1][2] = q * row.frontWingArea * 0.5f;
    }
    if (row.underCl != 0.0f) {
        p.aero[2][0] = q * row.area * row.underCl;
        p.aero[2][1] = q * row.area * 0.02f;
    }
    p.aero[3][0] = q * row.area * row.cl;
    p.aero[3][1] = q * row.area * row.cd;
    p.aero[3][2] = q * row.area * row.cd * 2.0f;

    for (int w = 0; w < 2; ++w) {
        p.setupRanges[w * 4] = row.wingRange[w][0];
        p.setupRanges[w * 4 + 1] = row.wingRange[w][1];
        p.setupRanges[w * 4 + 2] = row.wingRange[w][2];
    }
    BuildSetups(car, row, &p);

    p.colourCount = row.colourCount;
    for (int i = 0; i < row.colourCount; ++i) {
        CarColours &c = p.colours[i];
        c = CarColours{};
        CopyString(c.skin, "DEFAULT", sizeof(c.skin));
        const Scheme &scheme = Schemes[(car + i) % 6];
        for (int k = 0; k < 4; ++k) {
            SetColourBytes(&c.body[k], scheme.body[k][0], scheme.body[k][1], scheme.body[k][2]);
            SetColourBytes(&c.rim[k], scheme.rim[k][0], scheme.rim[k][1], scheme.rim[k][2]);
        }
    }

    p.partName = "STANDARD";
    p.partMask = 0x1;  // part 0, "main": the whole body
    p.animationName = row.vehicleClass >= 4 && row.vehicleClass != 5 ? "formula" : "seated";
    const uint8_t materials[8][4] = {{120, 120, 120, 0}, {40, 40, 40, 0},    {80, 80, 80, 0},    {150, 150, 150, 0},
                                     {60, 60, 60, 0},    {240, 40, 20, 0},  {200, 200, 200, 0}, {30, 30, 30, 0}};
    std::memcpy(p.materialColours, materials, sizeof(materials));
    return 1;
}
