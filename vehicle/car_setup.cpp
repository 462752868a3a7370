#include "vehicle/car_setup.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int LastPartChoice = 16;

void AtMost(uint8_t *value, int max)
{
    if (*value > max) {
        *value = static_cast<uint8_t>(max);
    }
}

void Within(uint8_t *value, int min, int max)
{
    if (*value < min) {
        *value = static_cast<uint8_t>(min);
    } else if (*value > max) {
        *value = static_cast<uint8_t>(max);
    }
}

void ClampAxle(CarSetupAxle *axle)
{
    axle->rideHeightReduction = FiniteOrZero(axle->rideHeightReduction);
    axle->springStiffness = NonNegativeFinite(axle->springStiffness);
    axle->bumpDamping = NonNegativeFinite(axle->bumpDamping);
    axle->reboundDamping = NonNegativeFinite(axle->reboundDamping);
    axle->antiRoll = NonNegativeFinite(axle->antiRoll);
    axle->reserved = NonNegativeFinite(axle->reserved);
    AtMost(&axle->toe, 18);
    AtMost(&axle->caster, 240);
    AtMost(&axle->tyreType, 7);
    axle->reserved27 = 0;
    AtMost(&axle->camberLeft, 90);
    AtMost(&axle->camberRight, 90);
    axle->reserved30 = 0;
    AtMost(&axle->diffPreload, 80);
    AtMost(&axle->diffType, 3);
    Within(&axle->viscousTorque, 1, 20);
    Within(&axle->lockPower, 10, 80);
    Within(&axle->lockCoast, 10, 80);
}

}  // namespace

float NonNegativeFinite(float x)
{
    return std::isfinite(x) && x >= 0.0f ? x : 0.0f;
}

float FiniteOrZero(float x)
{
    return std::isfinite(x) ? x : 0.0f;
}

void ClampSetup(CarSetup *setup)
{
    AtMost(&setup->addedMassPosition, 100);
    AtMost(&setup->tyreMaker, 6);
    AtMost(&setup->rearWing, 30);
    AtMost(&setup->frontWing, 30);
    AtMost(&setup->addedMass, 200);
    AtMost(&setup->intakeRestriction, 50);
    Within(&setup->maxLock, 9, 45);
    AtMost(&setup->parallelSteer, 100);
    Within(&setup->brakeBalance, 5, 95);
    AtMost(&setup->engineBrakeReduction, 100);
    AtMost(&setup->centreDiffType, 1);
    Within(&setup->centreViscousTorque, 1, 20);
    setup->reserved18 = 0;
    Within(&setup->frontTorqueSplit, 5, 95);

    setup->brakeTorque = NonNegativeFinite(setup->brakeTorque);
    for (uint16_t &ratio : setup->gearRatios) {
        if (ratio > 65534) {
            ratio = 65534;
        }
    }
    if (setup->finalDrive > 65534) {
        setup->finalDrive = 65534;
    }
    if (setup->partChoice > LastPartChoice) {
        setup->partChoice = 0;
    }
    Within(&setup->tcSlip, 20, 100);
    Within(&setup->tcMinSpeed, 5, 20);

    for (CarSetupAxle &axle : setup->axles) {
        ClampAxle(&axle);
    }
    if (setup->flags & SetupSymmetric) {
        CopySetupLeftToRight(setup);
    }
}

void CopySetupLeftToRight(CarSetup *setup)
{
    for (CarSetupAxle &axle : setup->axles) {
        axle.camberRight = axle.camberLeft;
        axle.pressureRight = axle.pressureLeft;
    }
}

int SetupsDiffer(const CarSetup &a, const CarSetup &b)
{
    return std::memcmp(&a, &b, sizeof(CarSetup)) != 0 ? 1 : 0;
}

int CountRallyTyreAxles(const CarSetup &setup)
{
    int count = 0;
    for (const CarSetupAxle &axle : setup.axles) {
        if (axle.tyreType == 6 || axle.tyreType == 7) {
            ++count;
        }
    }
    return count;
}
