#include "vehicle/car_class.h"

namespace {

// Idle speeds of the faster classes, multiplied in single precision.
constexpr float Idle1000 = 104.71f;
constexpr float Idle1500 = 104.71f * 1.5f;
constexpr float Idle2000 = 104.71f * 2.0f;
constexpr float Idle4000 = 104.71f * 4.0f;

constexpr CarClassInfo classTable[CarClassCount] = {
    // name, hub mass, axles, kart, front brakes, gears min/max, sound, cylinders min/max,
    // displacement min/max, engine coefficients A..D, default, refuel, tank factor, idle
    {"bike", 0.15f, 1, 0, 1, 3, 8, 0, 1, 6, 100.0f, 2000.0f, 1.6f, 1.417e-10f, 8e-07f, 0.143f, 0.2f, 2.0f, 1.0f,
     Idle1000},
    {"touring car", 0.15f, 4, 0, 1, 3, 8, 0, 1, 12, 1000.0f, 12000.0f, 1.6f, 1.417e-10f, 1.2e-06f, 0.143f, 0.6f, 2.0f,
     1.0f, Idle1000},
    {"saloon", 0.15f, 4, 0, 1, 3, 7, 0, 1, 4, 1000.0f, 2000.0f, 1.6f, 1.417e-10f, 1.2e-06f, 0.143f, 0.4f, 2.0f, 1.0f,
     Idle1000},
    {"buggy", 0.15f, 4, 0, 1, 3, 8, 0, 1, 4, 400.0f, 2000.0f, 1.6f, 1.417e-10f, 1.2e-06f, 0.143f, 0.4f, 2.0f, 1.0f,
     Idle1000},
    {"formula", 0.1f, 1, 0, 1, 3, 8, 0, 1, 12, 1000.0f, 3000.0f, 2.225f, 1.209e-10f, 8e-07f, 0.19f, 0.6f, 8.0f, 1.1f,
     Idle2000},
    {"GT", 0.107f, 4, 0, 1, 3, 8, 0, 1, 12, 2200.0f, 8000.0f, 2.225f, 1.209e-10f, 8e-07f, 0.218f, 0.6f, 6.0f, 1.1f,
     Idle1500},
    {"hire kart", 0.0f, 1, 1, 0, 3, 3, 0, 1, 1, 50.0f, 250.0f, 1.6f, 1.417e-10f, 1e-06f, 0.1f, 0.2f, 2.0f, 1.0f,
     Idle1000},
    {"100cc kart", 0.0f, 1, 1, 0, 3, 3, 1, 1, 1, 50.0f, 100.0f, 1.6f, 1.667e-10f, 6e-07f, 0.16f, 0.2f, 2.0f, 1.0f,
     Idle1500},
    {"125cc kart", 0.0f, 1, 1, 1, 3, 8, 1, 1, 1, 50.0f, 125.0f, 1.6f, 1.667e-10f, 6e-07f, 0.16f, 0.2f, 2.0f, 1.0f,
     Idle1500},
    {"250cc kart", 0.0f, 1, 1, 1, 3, 8, 1, 1, 2, 50.0f, 250.0f, 1.6f, 1.667e-10f, 6e-07f, 0.16f, 0.2f, 2.0f, 1.0f,
     Idle1500},
    // Open-wheel top class: the name is our own choice.
    {"OWT", 0.1f, 1, 0, 1, 3, 9, 0, 8, 8, 2000.0f, 2400.0f, 2.225f, 7.5e-11f, 4e-07f, 0.19f, 0.6f, 12.1f, 1.1f,
     Idle4000},
    // Student formula: a neutral name of our own.
    {"student", 0.15f, 1, 0, 1, 3, 8, 0, 1, 4, 400.0f, 1000.0f, 1.6f, 1.417e-10f, 8e-07f, 0.143f, 0.2f, 2.0f, 1.0f,
     Idle1000},
};

}  // namespace

constinit const CarClassInfo (&CarClassTable)[CarClassCount] = classTable;
