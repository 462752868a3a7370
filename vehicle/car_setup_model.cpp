// The set-up application: turns the car data and the set-up in use into the
// car's working values, and the small range and limit functions that the
// set-up screens share with it.

#include <cmath>
#include <cstring>

#include "core/float_math.h"
#include "render/object_file.h"
#include "vehicle/car_class.h"
#include "vehicle/car_curve.h"
#include "vehicle/car_model.h"
#include "vehicle/car_object.h"
#include "vehicle/car_skin.h"
#include "vehicle/fix_convert.h"
#include "vehicle/world_query.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float TwoPi = 6.2831853f;
constexpr float ThirdPower = 0.333333f;
// Atmospheric pressure (14.7 psi) and the density of air at 20 C.
constexpr float AtmosphericPressure = 101387.5f;
constexpr float AirDensity = 1.205f;

// dataFlags bits read here.
constexpr uint32_t FlagRearLikeFront = 0x10;
constexpr uint32_t FlagDarkRimVariant = 0x20;   // the second darkening style of the rim colours
constexpr uint32_t FlagCrankAcross = 0x40;
constexpr uint32_t FlagCrankPositive = 0x80;
constexpr uint32_t FlagFrontSeat = 0x100;
constexpr uint32_t FlagRodsChecked = 0x200;
constexpr uint32_t FlagRodsOuter = 0x800;
constexpr uint32_t FlagRodsInner = 0x1000;
constexpr uint32_t FlagWingLoadsWheels = 0x2000;
constexpr uint32_t FlagNoFrontAntiRoll = 0x8000;
constexpr uint32_t FlagNoRearAntiRoll = 0x10000;
constexpr uint32_t FlagDashLight1 = 0x40000;
constexpr uint32_t FlagHalfBumpDamping = 1u << 20;
constexpr uint32_t FlagOpenDiffs = 1u << 21;
constexpr uint32_t FlagEqualLocking = 1u << 22;
constexpr uint32_t FlagOpenRoofDrag = 1u << 23;
constexpr uint32_t FlagDashLight8 = 1u << 30;

// Body part kinds that carry the aerodynamic surfaces.
constexpr int PartRearWing = 6;
constexpr int PartFrontWing = 7;
constexpr int PartUndertray = 8;
constexpr int PartBody = 9;

template <typename T>
T Clamp(T x, T lo, T hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}

float Max(float a, float b) {
    return a > b ? a : b;
}

float Min(float a, float b) {
    return a < b ? a : b;
}

float Abs(float x) {
    return x < 0.0f ? -x : x;
}

int RoundHalfUp(float x) {
    return static_cast<int>(std::floor(x + 0.5f));
}

// The most ballast the body may carry: a fifth of its mass, rounded to
// whole tens of kg. A body of 1000 kg or more reaches the set-up's own
// 200 kg limit; one whose mass is not above zero (or not a number) takes
// none. A mass far beyond the integer range thus never reaches the rounding.
int BallastLimit(float bodyMass) {
    const float tens = 0.02f * bodyMass;
    if (!(tens > 0.0f))
        return 0;
    if (tens >= 20.0f)
        return 200;
    return 10 * RoundHalfUp(tens);
}

bool EqualNoCase(const char *a, const char *b) {
    for (; *a != 0 && *b != 0; ++a, ++b) {
        char ca = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 32) : *a;
        char cb = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 32) : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

float CamberAngle(int camberByte) {
    return static_cast<float>(camberByte - 45) * Pi * 0.025f / 45.0f;
}

// Wheel placement of the sliding and fixed suspension types: the wheel's
// mount x, axle direction, contact offset and steering axis for its camber.
void ComputeCamberGeometry(CarWheel &wheel, const RimData &axle, float caster, float frontOffset, int camberByte) {
    const float side = wheel.side;
    const float R = axle.outerRadius;
    const float p = axle.hubOffset;
    const float gamma = CamberAngle(camberByte);
    const float sinG = FloatSin(gamma);
    const float cosG = FloatCos(gamma);
    const float x = (sinG * R + (axle.trackWidth * 0.5f - cosG * p)) * side;
    wheel.restPosition[0] = x;
    wheel.position[0] = x;
    wheel.lateralPosition = x + cosG * p * side;
    const float gs = gamma * side;
    const float sinGs = FloatSin(gs);
    const float cosGs = FloatCos(gs);
    wheel.axleDirection[0] = cosGs;
    wheel.axleDirection[1] = 0.0f;
    wheel.axleDirection[2] = -sinGs;
    wheel.contactOffset[0] = -sinGs * R + cosGs * p * side;
    wheel.contactOffset[1] = frontOffset;
    wheel.contactOffset[2] = cosGs * -R - sinGs * p * side;
    const float psiS = axle.inclination * side;
    const float cosPsi = FloatCos(-psiS);
    wheel.steerAxis[0] = FloatSin(-psiS);
    wheel.steerAxis[1] = -FloatSin(caster) * cosPsi;
    wheel.steerAxis[2] = FloatCos(caster) * cosPsi;
}

void SetPoint(float *out, const int32_t *fix, float side) {
    out[0] = FixToMetres(fix[0]) * side;
    out[1] = FixToMetres(fix[1]);
    out[2] = FixToMetres(fix[2]);
}

}  // namespace

float RoundUpToStep(float x, float step) {
    return (std::trunc(x / step) + 1.0f) * step;
}

void CarObject::GetChoiceRange(int *lo, int *hi) const {
    static const int fixed[][3] = {{0, 0, 7}, {1, 4, 7}, {2, 5, 7}, {3, 6, 7}, {5, 1, 3}};
    for (const auto &row : fixed) {
        if (row[0] == vehicleClass) {
            *lo = row[1];
            *hi = row[2];
            return;
        }
    }
    const int b = setupTable != nullptr ? setupTable[0].setup.axles[0].tyreType : 0;
    if (b < 1) {
        *lo = 0;
        *hi = 2;
        return;
    }
    const int c = b < 2 ? b : 2;
    *lo = c - 1;
    *hi = c + 1;
}

void CarObject::GetValueRange(int axle, int *lo, int *hi) const {
    const float v = setupTable != nullptr ? static_cast<float>(setupTable[0].setup.axles[axle].pressureLeft) : 0.0f;
    *lo = RoundHalfUp(0.5f * v);
    *hi = RoundHalfUp(1.5f * v);
}

void CarObject::GetRideRange(int axle, float *lo, float *hi) const {
    const float d = setupTable != nullptr ? setupTable[0].setup.axles[axle].rideHeightReduction : 0.0f;
    const float w = Max(0.08f, Abs(axles[axle].travelReference - d));
    *lo = d - w;
    *hi = d + w;
}

void CarObject::GetSeatFlags(int *front, int *rear) const {
    *front = (dataFlags & FlagFrontSeat) && Abs(driverSeat[0]) >= 0.2f ? 1 : 0;
    *rear = (dataFlags & CarFlagRearSeats) ? 1 : 0;
}

float CarObject::MaxLoad() const {
    WorldQuery *world = CurrentWorldQuery();
    const float g = world != nullptr ? world->GetGravity() : -9.81f;
    int front = 0;
    int rear = 0;
    GetSeatFlags(&front, &rear);
    const float v = FloatPow(driveEfficiency * engine.maxPower / dragCoefficientTotal, ThirdPower);
    return -(static_cast<float>((2 + 3 * rear) * 70) + bodyMass) * g - liftCoefficientTotal * (v * v);
}

void CarObject::BrakeRange(float *lo, float *hi) const {
    *hi = MaxLoad() * axles[1].outerRadius * 0.41f;
    *lo = 0.24f * *hi;
}

void CarObject::GetRoundedLimits(float *springLo, float *springHi, float *damperLo, float *damperHi,
                                 float *antiRollHi) const {
    const float w = MaxLoad();
    *springHi = RoundUpToStep(11.0f * w, 10000.0f);
    *springLo = 0.1f * *springHi;
    *damperHi = RoundUpToStep(1.1f * w, 1000.0f);
    *damperLo = 0.1f * *damperHi;
    *antiRollHi = *springHi;
}

void CarObject::SetBrakeShares() {
    const float balance = static_cast<float>(setup->brakeBalance) / 100.0f;
    axleBrakeTorque[1] = 2.0f * balance * setup->brakeTorque;
    axleBrakeTorque[0] = 2.0f * (1.0f - balance) * setup->brakeTorque;
    for (int i = 0; i < wheelCount; i++)
        wheels[i].brakeShare = axleBrakeTorque[wheels[i].axleIndex];
}

void CarObject::ApplyHandicaps() {
    int b = setup->addedMass;
    const int limit = BallastLimit(bodyMass);
    if (b > limit)
        b = limit;
    if (b > 200)
        b = 200;
    if (b < 0)
        b = 0;
    if (setup->addedMass > b)
        setup->addedMass = static_cast<uint8_t>(b);
    const int r = setup->intakeRestriction;
    // The host's handicap minimums for known cars come with the network
    // layer; until then the set-up's own values apply.
    if (b != appliedBallast || setup->addedMassPosition != ballastPosition)
        SetBallast(b);
    if (r != appliedRestriction)
        SetIntakeRestriction(r);
}

void CarObject::SetBallast(int kg) {
    appliedBallast = static_cast<uint8_t>(kg);
    ballastPosition = setup->addedMassPosition;
    std::memcpy(workingInertia, dryInertia, sizeof(workingInertia));
    dryMass = storedDryMass;
    std::memcpy(dryCentreOfMass, storedDryCentre, sizeof(dryCentreOfMass));
    passMasses[1] = passMasses[0];
    std::memcpy(passCentres[1], passCentres[0], sizeof(passCentres[1]));

    const float b = static_cast<float>(kg);
    if (b > 0.0f) {
        const float t = static_cast<float>(setup->addedMassPosition) * 0.01f;
        const float y = axlePositions[0] + (axlePositions[1] - axlePositions[0]) * t;
        const float z = axles[0].pivotHeight + (axles[1].pivotHeight - axles[0].pivotHeight) * t;
        const float p[3] = {0.0f, y, z};
        for (int k = 0; k < 3; k++) {
            dryCentreOfMass[k] = (dryMass * dryCentreOfMass[k] + b * p[k]) / (dryMass + b);
            passCentres[1][k] = (passMasses[1] * passCentres[1][k] + b * p[k]) / (passMasses[1] + b);
        }
        dryMass += b;
        passMasses[1] += b;
        // The point-mass terms of b at (0, y, z) about the origin.
        workingInertia[0] += b * (y * y + z * z);
        workingInertia[4] += b * (z * z);
        workingInertia[8] += b * (y * y);
        workingInertia[5] -= b * y * z;
        workingInertia[7] -= b * y * z;
    }
    // The body without fuel; the step adds the fuel to these.
    mass = dryMass;
    std::memcpy(centreOfMass, dryCentreOfMass, sizeof(centreOfMass));
    ShiftInertiaToCentre(workingInertia, mass, centreOfMass, inertia);
    InvertInertia(inertia, inverseInertia);
}

void CarObject::SetIntakeRestriction(int percent) {
    appliedRestriction = static_cast<uint8_t>(percent);
    const float peak = engine.torqueFactor;
    engine.torqueFactor = peak * (1.0f - static_cast<float>(percent) * 0.01f);
    engine.SetUpFromClass(vehicleClass, gearboxKind);
    engine.torqueFactor = peak;
}

void CarObject::BuildDashLights() {
    uint32_t word = 0;
    if (modelVariant >= 1 && modelVariant <= 3 && dashboardLength >= 2)
        word = static_cast<uint32_t>(dashboard[0]) | static_cast<uint32_t>(dashboard[1]) << 8;
    const bool normal = IsNormalState() != 0;
    uint32_t lights = 0x4 | 0x200;
    if (dataFlags & FlagDashLight1)
        lights |= 0x1;
    if (normal)
        lights |= 0x2;
    if (dataFlags & FlagDashLight8)
        lights |= 0x8;
    if (aidFlags != 0)
        lights |= 0x10;
    if (normal && (word & 0x2))
        lights |= 0x20 | 0x40;
    if (normal && !(word & 0x2))
        lights |= 0x80;
    if (!(word & 0x200))
        lights |= 0x100;
    if (dataFlags2 & 1)
        lights |= 0x400;
    dashLights = lights;
}

void CarObject::SetMassScaledGains() {
    inertiaScale = std::sqrt(1000.0f / dryMass);
    steerStiffness = 20000.0f / inertiaScale;
    steerDamping = 200.0f / inertiaScale;
}

void CarObject::WheelLoadShares(float *rear, float *front) const {
    *rear = 0.0f;
    *front = 0.0f;
    if (wheelbase == 0.0f)
        return;
    for (const AeroSurface &wing : wings) {
        if (!(wing.flags & 1))
            continue;
        const float s = (wing.position[1] - axlePositions[0]) / wheelbase;
        *rear -= (1.0f - s) * wing.lift;
        *front -= s * wing.lift;
    }
}

void CarObject::RollStiffness(float *rear, float *front) const {
    *rear = setup->axles[0].springStiffness + 2.0f * setup->axles[0].antiRoll;
    *front = setup->axles[1].springStiffness + 2.0f * setup->axles[1].antiRoll;
}

void CarObject::ApplySpringSettings() {
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        if (wheel.suspensionType == 0)
            continue;
        if (wheel.springState == 3) {
            wheel.springRate = 0.0f;
            wheel.bumpDamping = 0.0f;
            wheel.reboundDamping = 0.0f;
            continue;
        }
        const CarSetupAxle &s = setup->axles[wheel.axleIndex];
        wheel.springRate = s.springStiffness;
        wheel.bumpDamping = s.bumpDamping;
        wheel.reboundDamping = s.reboundDamping;
    }
}

void CarObject::SetRodEndPoints() {
    std::memset(axlePoints, 0, sizeof(axlePoints));
    for (int i = 0; i < rodCount; i++) {
        const CarRodEnd &end = rods[i];
        if (end.kind < 1 || end.kind > 3)
            continue;
        int32_t *point = axlePoints[end.y >= 0 ? 1 : 0][end.kind - 1];
        point[0] = end.x;
        point[1] = end.y;
        point[2] = end.z;
    }
}

void CarObject::BuildRimModels() {
    // Colours 5 to 8 tint the rim curve's cells and the rim object's
    // surfaces. The tyre shape feeds the physics; the drawn cross-section
    // is made only while drawing is on.
    if (colours != nullptr) {
        if (curve != nullptr)
            TintMaterials(&curve->materials, colours->rim);
        TintMaterials(&rimObject.surfaces, colours->rim);
    }
    const int drawing = CarDrawingOn() && CarServices.buildRimMeshes != nullptr;
    for (RimData &axle : axles) {
        ComputeTyreProfile(axle, axle.hubOffset, vehicleClass == 0 ? 1 : 0);
        if (drawing)
            CarServices.buildRimMeshes(&axle, curve, vehicleClass == 0 ? 1 : 0, vehicleClass == 10 ? 1 : 0,
                                       (dataFlags & FlagDarkRimVariant) ? 1 : 0);
    }
}

void CarObject::SetUpModel(int keepMass) {
    if (setup == nullptr || setupTable == nullptr)
        return;
    CarSetup &s = *setup;
    const CarSetup &d = setupTable[0].setup;
    const CarClassInfo &k = CarClassTable[vehicleClass >= 0 && vehicleClass < CarClassCount ? vehicleClass : 0];

    // 1. No handicap in force; the mass model's working copies lose any
    // ballast with it, so that the next application starts from the dry car.
    appliedRestriction = 0;
    appliedBallast = 0;
    ballastPosition = 0;
    if (keepMass) {
        std::memcpy(workingInertia, dryInertia, sizeof(workingInertia));
        dryMass = storedDryMass;
        std::memcpy(dryCentreOfMass, storedDryCentre, sizeof(dryCentreOfMass));
        passMasses[1] = passMasses[0];
        std::memcpy(passCentres[1], passCentres[0], sizeof(passCentres[1]));
    }

    // 2. Gears never rise in ratio.
    for (int g = 1; g < SetupGearCount; g++) {
        if (s.gearRatios[g] > s.gearRatios[g - 1])
            s.gearRatios[g] = s.gearRatios[g - 1];
    }
    for (int g = 0; g < SetupGearCount; g++)
        gearRatios[2 + g] = 0.5f + 7.0f * static_cast<float>(s.gearRatios[g]) / 65535.0f;

    // 3.
    roofOpen = s.partChoice < partNameCount && s.partChoice < MaxCarPartNames &&
                       EqualNoCase(partNames[s.partChoice].name, "OPEN ROOF")
                   ? 1
                   : 0;

    // 4. Classes whose rear axle set-up is fixed.
    if (k.kart) {
        s.axles[0].diffType = 1;
        s.axles[0].toe = 9;
        s.axles[0].camberLeft = 45;
        s.axles[0].camberRight = 45;
        fixedRear = 1;
    } else {
        fixedRear = 0;
    }

    // 5. A set-up from outside is held to what the car allows.
    if (setupIndex == -1) {
        ClampSetup(&s);
        s.rearWing = Clamp(s.rearWing, setupRanges[0], setupRanges[1]);
        s.frontWing = Clamp(s.frontWing, setupRanges[4], setupRanges[5]);
        uint8_t largestLock = 0;
        for (int i = 0; i < setupCount; i++) {
            if (setupTable[i].setup.maxLock > largestLock)
                largestLock = setupTable[i].setup.maxLock;
        }
        if (s.maxLock > largestLock)
            s.maxLock = largestLock;
        for (int a = 0; a < 2; a++) {
            CarSetupAxle &sa = s.axles[a];
            float lo = 0.0f;
            float hi = 0.0f;
            GetRideRange(a, &lo, &hi);
            sa.rideHeightReduction = Clamp(sa.rideHeightReduction, lo, hi);
            int tlo = 0;
            int thi = 0;
            GetChoiceRange(&tlo, &thi);
            sa.tyreType = static_cast<uint8_t>(Clamp(static_cast<int>(sa.tyreType), tlo, thi));
            sa.reserved = 0.0f;
            int plo = 0;
            int phi = 0;
            GetValueRange(a, &plo, &phi);
            sa.pressureLeft = static_cast<uint16_t>(Clamp(static_cast<int>(sa.pressureLeft), plo, phi));
            sa.pressureRight = static_cast<uint16_t>(Clamp(static_cast<int>(sa.pressureRight), plo, phi));
        }
    }

    // 6.
    absFitted = (dataFlags2 & 1) && (s.flags & SetupAntiLock) ? 1 : 0;
    SetRodEndPoints();

    // 7.
    finalDrive = 0.5f + 7.0f * static_cast<float>(s.finalDrive) / 65535.0f;
    frontTorqueShare = static_cast<float>(s.frontTorqueSplit) * 0.01f;

    // 8. Axle slots, tyre types and caster.
    for (int a = 0; a < 2; a++) {
        RimData &axle = axles[a];
        axleWheels[a][0] = -1;
        axleWheels[a][1] = -1;
        axle.tyreType = s.axles[a].tyreType;
        if (axle.suspensionType == 4 || axle.suspensionType == 0) {
            int c = a == 0 ? d.axles[0].caster : s.axles[1].caster;
            if (a == 1 && c == 0)
                c = d.axles[1].caster;
            c = axle.suspensionType == 4 ? Clamp(c, 10, 60) : Clamp(c, 40, 240);
            s.axles[a].caster = static_cast<uint8_t>(c);
            axleCaster[a] = static_cast<float>(c) * Pi / 1800.0f;
        } else {
            s.axles[a].caster = 0;
        }
    }

    // 9.
    autoCut = 0;
    autoBlip = 0;
    autoGears = 0;
    autoClutch = 0;
    brakeHelp = 0;

    // 10. Rear wheels that look like the front ones.
    if (dataFlags & FlagRearLikeFront) {
        axles[0].tyreWidth = axles[1].tyreWidth;
        axles[0].aspect = axles[1].aspect;
        axles[0].rimRadius = axles[1].rimRadius;
        axles[0].rimWidth = axles[1].rimWidth;
        for (int b = 1; b < 4; b++)
            axles[0].style[b] = axles[1].style[b];
        axles[0].seatInset = axles[1].seatInset;
        axles[0].darkening = axles[1].darkening;
    }
    BuildRimModels();

    // 11. Rod links and the rod ends they size.
    if (!keepMass) {
        dataFlags &= ~(FlagRodsChecked | FlagRodsOuter | FlagRodsInner);
        for (int i = 0; i < rodCount; i++) {
            rods[i].radius = 0.0f;
            rods[i].flags = static_cast<uint16_t>(rods[i].flags & ~1u);
        }
        for (int i = 0; i < rodLinkCount; i++) {
            CarRodLink &link = rodLinks[i];
            if (link.density != 0.0f)
                link.work[0] = std::sqrt(link.density) * 0.01f;
            bool valid = true;
            for (int e = 0; e < 2; e++) {
                const int end = link.ends[e];
                if (end < 0)
                    valid = false;
                if (end == -6 || end == -4 || end == -3)
                    dataFlags |= 0x1200;
                if (end == -5 || end == -2 || end == -1)
                    dataFlags |= 0xA00;
            }
            if (!valid) {
                link.density = 0.0f;
                continue;
            }
            for (int e = 0; e < 2; e++) {
                const int end = link.ends[e];
                if (end >= rodCount)
                    continue;
                if (rods[end].radius < link.work[0])
                    rods[end].radius = link.work[0];
                if (link.flags & 1) {
                    rods[end].flags = static_cast<uint16_t>(rods[end].flags | 1u);
                    dataFlags |= FlagRodsChecked;
                }
            }
        }
    }

    // 12.
    engine.SetUpFromClass(vehicleClass, gearboxKind);

    // 13. Axle, side and slot of every wheel.
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        std::memcpy(wheel.position, wheel.restPosition, sizeof(wheel.position));
        wheel.axleIndex = wheel.position[1] > 0.0f ? 1 : 0;
        const float x = wheel.position[0];
        wheel.side = x > 0.01f ? 1.0f : (x < -0.01f ? -1.0f : 0.0f);
        const int slot = wheel.side == 1.0f ? 1 : 0;
        axleWheels[wheel.axleIndex][slot] = i;
        wheel.radius = axles[wheel.axleIndex].outerRadius;
        const CarSetupAxle &sa = s.axles[wheel.axleIndex];
        wheel.pressureSetting = static_cast<float>(slot ? sa.pressureRight : sa.pressureLeft) * 1000.0f;
        wheel.tyrePlace = static_cast<uint32_t>(slot + 2 * wheel.axleIndex);
    }

    // 14. Axle pairs and differentials.
    for (int a = 0; a < 2; a++) {
        axleTwoWheels[a] = axleWheels[a][0] >= 0 && axleWheels[a][1] >= 0 ? 1 : 0;
        solidAxle[a] = 0;
        if (!axleTwoWheels[a])
            continue;
        CarSetupAxle &sa = s.axles[a];
        if (dataFlags & FlagOpenDiffs)
            sa.diffType = 0;
        else if (dataFlags & FlagEqualLocking)
            sa.lockCoast = sa.lockPower;
        solidAxle[a] = (drivenAxles & (1u << a)) && sa.diffType == 1 ? 1 : 0;
    }

    // 15. Four-wheel drive needs both axle pairs.
    if (drivenAxles == 3 && (!axleTwoWheels[0] || !axleTwoWheels[1]))
        drivenAxles = 1;
    if (drivenAxles == 3) {
        rearDriveFactor = 2.0f * (1.0f - frontTorqueShare);
        frontDriveFactor = 2.0f * frontTorqueShare;
    } else {
        rearDriveFactor = 1.0f;
        frontDriveFactor = 1.0f;
    }
    if (k.drivenAxles != 4)
        drivenAxles = static_cast<uint8_t>(k.drivenAxles);

    // 16.
    if (fixedRear || vehicleClass == 0)
        driveEfficiency = 0.9f;
    else
        driveEfficiency = drivenAxles == 3 ? 0.8f : 0.85f;

    // 17.
    gearCount = Clamp(gearCount, static_cast<int32_t>(k.minGearPositions), static_cast<int32_t>(k.maxGearPositions));

    // 18. Wheel masses and set-up values; springs wait for step 31.
    drivenWheelCount = 0;
    steerInertia = 0.0f;
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        const RimData &axle = axles[wheel.axleIndex];
        const CarSetupAxle &sa = s.axles[wheel.axleIndex];
        const float R = axle.outerRadius;
        const float w = axle.rimWidth;
        const float r = axle.rimRadius;
        wheel.unsprungMass = 12.0f * TwoPi * (R * R + R * w + r * w);
        wheel.inertia = wheel.unsprungMass * (R * R) * 0.5f;
        wheel.baseHeight = sa.rideHeightReduction;
        wheel.springRate = 0.0f;
        wheel.bumpDamping = 0.0f;
        wheel.reboundDamping = 0.0f;
        wheel.toe = static_cast<float>(sa.toe - 9) * Pi * 0.005f / 9.0f;
        wheel.maxTravel = Max(0.0f, axle.travelReference - sa.rideHeightReduction);
        wheel.driven = 0;
        if (wheel.axleIndex == 0) {
            if (drivenAxles & 1) {
                wheel.driven = 1;
                drivenWheelCount++;
            }
        } else {
            steerInertia += R * R * wheel.unsprungMass * 2.0f * 0.25f;
            if (drivenAxles & 2) {
                wheel.driven = 1;
                drivenWheelCount++;
            }
        }
    }

    // 19. Suspension geometry.
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        const int a = static_cast<int>(wheel.axleIndex);
        const RimData &axle = axles[a];
        const float side = wheel.side;
        SetPoint(wheel.firstArmPivot, axlePoints[a][0], side);
        SetPoint(wheel.secondArmPivot, axlePoints[a][1], side);
        SetPoint(wheel.strutTop, axlePoints[a][2], side);
        std::memset(wheel.centreLineOffset, 0, sizeof(wheel.centreLineOffset));
        wheel.firstArmAngle = 0.0f;
        wheel.steerAxleCos = 0.0f;
        wheel.steerAxleSin = 0.0f;
        wheel.suspensionType = axle.suspensionType;
        const int camber = side == 1.0f ? s.axles[a].camberRight : s.axles[a].camberLeft;
        const float frontOffset = a == 1 ? extraFloat : 0.0f;
        switch (axle.suspensionType) {
        case 0:
        case 1:
        case 5:
            ComputeCamberGeometry(wheel, axle, axleCaster[a], frontOffset, camber);
            wheel.travelDirection[0] = 0.0f;
            wheel.travelDirection[1] = 0.0f;
            wheel.travelDirection[2] = 1.0f;
            break;
        case 2:
            ComputeCamberGeometry(wheel, axle, axleCaster[a], frontOffset, camber);
            std::memcpy(wheel.travelDirection, wheel.steerAxis, sizeof(wheel.travelDirection));
            break;
        default: {
            const float a0 = (Pi / 2.0f + CamberAngle(camber) + axle.armBaseAngle) * side;
            wheel.steerAxleCos = FloatCos(a0);
            wheel.steerAxleSin = FloatSin(a0);
            const float *top = axle.suspensionType == 3 ? wheel.strutTop : wheel.secondArmPivot;
            wheel.centreLineOffset[0] = top[0] - wheel.firstArmPivot[0];
            wheel.centreLineOffset[1] = 0.0f;
            wheel.centreLineOffset[2] = top[2] - wheel.firstArmPivot[2];
            const float L = axle.firstArmLength;
            wheel.firstArmAngle =
                FloatAtan((wheel.baseHeight - axle.pivotHeight - wheel.firstArmPivot[2]) / L);
            if (axle.suspensionType == 3)
                wheel.lateralPosition = (axle.hubOffset + L) * side + wheel.firstArmPivot[0];
            else
                wheel.lateralPosition = axle.hubOffset * side + (side * L + wheel.firstArmPivot[0] +
                                                                 axle.secondArmLength * side +
                                                                 wheel.secondArmPivot[0]) *
                                                                    0.5f;
            break;
        }
        }
        wheel.UpdateSuspensionGeometry(axle);
    }

    // 20. Tyre air, rim and tread sizes.
    const float segments = isRemote ? 1.0f : 16.0f;
    for (int a = 0; a < 2; a++) {
        RimData &axle = axles[a];
        const float R = axle.outerRadius;
        const float r = axle.rimRadius;
        axle.rimVolume = R * 0.02f * axle.rimWidth * r * TwoPi;
        axleAirVolume[a] = (R * R - r * r) * Pi * axle.tyreWidth;
        const float segmentLength = TwoPi * R / segments;
        axle.treadSectionArea = axle.tyreWidth / 3.0f * segmentLength;
        axle.sidewallArea = segmentLength * (R - r);
    }
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        wheel.airMass = (AtmosphericPressure + wheel.pressureSetting) / AtmosphericPressure *
                        axleAirVolume[wheel.axleIndex] * AirDensity;
    }

    // 21.
    if (!keepMass) {
        BuildMassModel(1);
        BuildMassModel(2);
    }

    // 22.
    for (int i = 0; i < wheelCount; i++)
        axlePositions[wheels[i].axleIndex] = wheels[i].position[1];
    wheelbase = axlePositions[1] - axlePositions[0] + extraFloat;

    // 23. - 25. The aerodynamic surfaces from the body's markers.
    for (AeroSurface &wing : wings)
        wing.Empty();
    if (bodyObject != nullptr) {
        for (int i = 0; i < bodyObject->childCount; i++) {
            const Object3D &part = bodyObject->children[i];
            const float y = FixToMetres(part.y);
            const float z = FixToMetres(part.z);
            switch (part.kind) {
            case PartRearWing:
                wings[0].PlaceAngled(0.0f, y, z, s.rearWing + setupRanges[2]);
                wings[0].wakeGain = 0.3f;
                if (dataFlags & FlagWingLoadsWheels)
                    wings[0].flags |= 4;
                break;
            case PartFrontWing:
                wings[1].PlaceAngled(0.0f, y, z, s.frontWing + setupRanges[6]);
                wings[1].wakeGain = 0.7f;
                if (dataFlags & FlagWingLoadsWheels)
                    wings[1].flags |= 2;
                break;
            case PartUndertray:
                wings[2].Place(0.0f, 0.4f * wheelbase + axlePositions[0], z);
                wings[2].wakeGain = 0.5f;
                break;
            case PartBody:
                wings[3].Place(0.0f, y, z);
                wings[3].wakeGain = 0.5f;
                break;
            default:
                break;
            }
        }
    }
    if (roofOpen && (dataFlags & FlagOpenRoofDrag))
        wings[3].drag += 0.05f;
    if (wings[3].flags == 0) {
        wings[3].flags = 1;
        wings[3].position[0] = 0.0f;
        wings[3].position[1] = dryCentreOfMass[1];
        wings[3].position[2] = dryCentreOfMass[2];
        wings[3].wakeGain = 0.5f;
    }

    // 26.
    ClearSetupWords();
    dragTotal = 0.0f;
    liftTotal = 0.0f;
    dragCoefficientTotal = 0.0f;
    liftCoefficientTotal = 0.0f;
    for (const AeroSurface &wing : wings) {
        if (!(wing.flags & 1))
            continue;
        dragTotal += wing.drag;
        liftTotal += wing.lift;
        dragCoefficientTotal += wing.dragCoefficient;
        liftCoefficientTotal += wing.liftCoefficient;
    }

    // 27.
    SetMassScaledGains();

    // 28. Damage limits: wheels nearer the centre of mass carry more.
    for (int i = 0; i < wheelCount; i++) {
        CarWheel &wheel = wheels[i];
        const float f = wheelbase != 0.0f ? 1.0f - Abs(wheel.position[1] - dryCentreOfMass[1]) / wheelbase : 1.0f;
        wheel.verticalForceLimit = f * dryMass * 9.81f * 3.0f;
        wheel.verticalDamageRate = 0.06f;
        wheel.lateralForceLimit = f * dryMass * 9.81f * 6.0f;
        wheel.lateralDamageRate = 1.2f;
    }

    // 29. Body contact constants and extent.
    lowestPoint = enginePosition[2];
    radius = 0.0f;
    stiffness = mass * 300.0f;
    damping = mass * 15.0f;
    halfWidth = Max(Abs(minX), Abs(maxX));
    float radiusSquared = 0.0f;
    for (int i = 0; i < pointCount; i++) {
        const float *p = points[i].local;
        const float l2 = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
        if (l2 > radiusSquared)
            radiusSquared = l2;
        if (p[2] < lowestPoint)
            lowestPoint = p[2];
    }
    groundClearance = dryCentreOfMass[2] - Max(axles[0].travelReference - axles[0].outerRadius,
                                               axles[1].travelReference - axles[1].outerRadius);
    radius = std::sqrt(radiusSquared);

    // 30. Brakes.
    float brakeLo = 0.0f;
    float brakeHi = 0.0f;
    BrakeRange(&brakeLo, &brakeHi);
    if (!k.frontBrakes)
        s.brakeBalance = 0;
    s.brakeTorque = Clamp(s.brakeTorque, brakeLo, brakeHi);
    SetBrakeShares();

    // 31. Springs, dampers and anti-roll bars.
    float springLo = 0.0f;
    float springHi = 0.0f;
    float damperLo = 0.0f;
    float damperHi = 0.0f;
    float antiRollHi = 0.0f;
    GetRoundedLimits(&springLo, &springHi, &damperLo, &damperHi, &antiRollHi);
    for (int a = 0; a < 2; a++) {
        CarSetupAxle &sa = s.axles[a];
        sa.springStiffness = Clamp(sa.springStiffness, springLo, springHi);
        sa.bumpDamping = Clamp(sa.bumpDamping, damperLo, damperHi);
        sa.reboundDamping = Clamp(sa.reboundDamping, damperLo, damperHi);
        if (dataFlags & FlagHalfBumpDamping)
            sa.bumpDamping = sa.reboundDamping * 0.5f;
        const uint32_t noAntiRoll = a == 0 ? FlagNoRearAntiRoll : FlagNoFrontAntiRoll;
        sa.antiRoll = (dataFlags & noAntiRoll) ? 0.0f : Clamp(sa.antiRoll, 0.0f, antiRollHi);
    }
    ApplySpringSettings();

    // 32.
    const float crankSign = (dataFlags & FlagCrankPositive) ? 1.0f : -1.0f;
    crankAxis[0] = (dataFlags & FlagCrankAcross) ? crankSign : 0.0f;
    crankAxis[1] = (dataFlags & FlagCrankAcross) ? 0.0f : crankSign;
    crankAxis[2] = 0.0f;

    // 33.
    topSpeedEstimate = Min(200.0f, FloatPow(engine.maxPower * driveEfficiency / dragTotal, ThirdPower));

    // 34.
    packetWords[0] = 0;
    packetWords[1] = 0;
    packetBrakeBalance = s.brakeBalance;
    packetAntiRoll[0] = s.axles[0].antiRoll;
    packetAntiRoll[1] = s.axles[1].antiRoll;

    // 35.
    tyreRadiusRatio = axles[0].outerRadius / axles[1].outerRadius;

    // 36.
    ApplyHandicaps();
    BuildDashLights();
}
