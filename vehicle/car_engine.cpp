#include "vehicle/car_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/translation_table.h"
#include "core/float_math.h"
#include "vehicle/car_class.h"
#include "vehicle/engine_record.h"

namespace {

constexpr float TwoPi = 6.28318531f;
constexpr float FullTurboSpeed = 15707.963f;  // 150000 rpm
// Cube root of the set-up, as an exponent through the project's pow: a true
// cube root would give other bits and so another engine.
constexpr float ThirdPower = 0.333333f;

struct FiringOrder {
    int cylinders;
    int layout;          // -1 any
    int secondV8Order;   // -1 any, else flags bit 1
    uint8_t order[12];
};

constexpr FiringOrder FiringOrders[] = {
    {4, 1, -1, {1, 3, 2, 4}},
    {4, -1, -1, {1, 3, 4, 2}},
    {6, 1, -1, {1, 6, 3, 2, 5, 4}},
    {6, -1, -1, {1, 5, 3, 6, 2, 4}},
    {8, 2, 0, {1, 8, 5, 4, 7, 2, 3, 6}},
    {8, 2, 1, {1, 8, 4, 3, 6, 5, 7, 2}},
    {8, -1, -1, {1, 6, 2, 5, 8, 3, 7, 4}},
    {12, -1, -1, {1, 7, 5, 11, 3, 9, 6, 12, 2, 8, 4, 10}},
};

// The first row that fits, or null (the 0..11 default stays).
const FiringOrder *FindFiringOrder(int cylinders, int layout, int secondV8Order) {
    for (const FiringOrder &row : FiringOrders) {
        if (row.cylinders == cylinders && (row.layout < 0 || row.layout == layout) &&
            (row.secondV8Order < 0 || row.secondV8Order == secondV8Order))
            return &row;
    }
    return nullptr;
}

// Layout words by layout, cylinder words by count 0..12.
constexpr TextId LayoutWordKeys[] = {Text_3a_etl_inli, Text_3a_etl_flat, Text_3a_etl_veng};
constexpr TextId UnknownCylindersKey = Text_3a_etn_qcyl;
constexpr TextId CylinderWordKeys[] = {
    UnknownCylindersKey, Text_3a_etn_1cyl, Text_3a_etn_2cyl,  Text_3a_etn_3cyl,    Text_3a_etn_4cyl,
    Text_3a_etn_5cyl,    Text_3a_etn_6cyl, UnknownCylindersKey, Text_3a_etn_8cyl,  UnknownCylindersKey,
    Text_3a_etn10cyl,    UnknownCylindersKey, Text_3a_etn12cyl,
};
constexpr int LayoutWordCount = static_cast<int>(sizeof(LayoutWordKeys) / sizeof(LayoutWordKeys[0]));
constexpr int CylinderWordCount = static_cast<int>(sizeof(CylinderWordKeys) / sizeof(CylinderWordKeys[0]));

}  // namespace

void CarEngine::Clear() {
    std::memset(this, 0, sizeof(*this));
    waveMask = 0xFFFFFFFFu;
}

void CarEngine::SetDefaults() {
    flags = 0;
    inertiaFactor = 1.0f;
    peakSpeedFactor = 1.0f;
    totalRatio = 1.0f;
    displacement = 2800.0f;
    cylinders = 4;
    layout = 0;
    maxBoost = 1.0f;
    torqueFactor = 1.0f;
    widthFactor = 1.0f;
    torqueLimit = 0.0f;
    soundParams.SetDefaults();
    ResetState();
    ResetWear();
}

void CarEngine::FreeWaves(bool clear) {
    for (EngineWave &wave : waves)
        wave.Free(clear);
}

void CarEngine::ResetState() {
    throttle = 0.05f;
    firingIndex = 0;
    gearboxAngle = 0.0f;
    speed = 0.0f;
    smoothedSpeed = 0.0f;
    crankAngle = 0.0f;
    running = 0;
    turboSpeed = 0.0f;
    manifold = 0.0f;
    smoothedManifold = 0.0f;
    boost = 0.0f;
    clutchPedal = 0.0f;
    clutchSlipping = 0;
    clutchTorque = 0.0f;
}

void CarEngine::ResetWear() {
    condition = 1.0f;
    clutchHeat = 0.0f;
}

void CarEngine::SetUpFromClass(int vehicleClass, [[maybe_unused]] int gearboxKind) {
    const CarClassInfo &row = CarClassTable[std::clamp(vehicleClass, 0, CarClassCount - 1)];
    idleSpeed = row.idleSpeed;
    maxBoost = std::clamp(maxBoost, 0.0f, 3.0f);
    displacement = std::clamp(displacement, row.minDisplacement, row.maxDisplacement);
    cylinders = std::clamp(cylinders, static_cast<int32_t>(row.minCylinders), static_cast<int32_t>(row.maxCylinders));

    const float perCylinder = displacement / static_cast<float>(cylinders);
    const float size = FloatPow(perCylinder, ThirdPower);
    inertia = size * size * row.engineCoeffC * inertiaFactor * displacement;
    frictionCoefficient = displacement * perCylinder * row.engineCoeffB;
    peakTorque = row.engineCoeffD * torqueFactor * static_cast<float>(cylinders) * perCylinder;
    const float speedScale = 4654.0f / size * row.engineCoeffA;
    curveWidth = 0.55f * widthFactor * speedScale;
    peakSpeed = speedScale * peakSpeedFactor;

    // The turbo is sized so that twice the power at 0.4 of the speed scale
    // holds it at full speed.
    const float reference = 0.4f * speedScale;
    turboDrive = Torque(reference) * 6.711e-7f * reference;
    turboInertia = turboDrive * turboLagFactor;
    turboDrag = turboDrive / FullTurboSpeed;

    // Net full-boost torque and power over the rev range; the first maximum
    // wins ties.
    maxPower = 0.0f;
    maxPowerSpeed = 0.0f;
    maxTorque = 0.0f;
    maxTorqueSpeed = 0.0f;
    const float boosted = (flags & EngineFlagTurbo) ? 1.0f + maxBoost : 1.0f;
    for (int i = 1; i <= 255; i++) {
        const float w = static_cast<float>(i) * maxSpeed / 256.0f;
        const float net = Torque(w) * boosted + Friction(w);
        if (net > maxTorque) {
            maxTorque = net;
            maxTorqueSpeed = w;
        }
        if (net * w > maxPower) {
            maxPower = net * w;
            maxPowerSpeed = w;
        }
    }

    clutchCapacity = std::max(1.4f * maxTorque, inertia * 2800.0f);
    driveStiffness = 4.0f * maxTorque;

    for (int i = 0; i < 12; i++)
        firingOrder[i] = static_cast<uint8_t>(i);
    if (const FiringOrder *order = FindFiringOrder(cylinders, layout, (flags & EngineFlagSecondV8Order) ? 1 : 0))
        std::memcpy(firingOrder, order->order, static_cast<size_t>(order->cylinders));
}

void CarEngine::GetRevCounterScale(int out[3]) const {
    const float thousands = maxSpeed * 0.009549305f;
    const int step = maxSpeed > 2000.0f ? 2 : 1;
    // Taking 0.499999 before rounding makes a floor of every value that is
    // not whole.
    const float red = step == 1 ? 2.0f * thousands - 0.499999f : thousands - 0.499999f;
    out[0] = static_cast<int>(std::lround(thousands)) + step;
    out[1] = step;
    out[2] = static_cast<int>(std::lround(red));
}

void CarEngine::GetPartSizes(float out[3], int swap) const {
    const float size = FloatPow(displacement, ThirdPower);
    if (layout == 1) {
        out[0] = 0.032f * size;
        out[1] = 0.026f * size;
        out[2] = 0.012f * size;
    } else if (layout == 2) {
        out[0] = 0.024f * size;
        out[1] = 0.026f * size;
        out[2] = 0.016f * size;
    } else {
        out[0] = 0.016f * size;
        out[1] = 0.034f * size;
        out[2] = 0.018f * size;
    }
    if (swap)
        std::swap(out[0], out[1]);
}

float CarEngine::GetScaledValue() const {
    return displacement * 0.05f;  // 0.05 kg per cubic centimetre
}

void CarEngine::FormatDescription(char *line1, char *line2, char *line3) const {
    // A count or layout without a word shows " ?" and no layout word, so no
    // word table is read out of its range.
    const bool known = cylinders >= 0 && cylinders < CylinderWordCount && layout >= 0 && layout < LayoutWordCount;
    const char *turboWord = (flags & EngineFlagTurbo) ? Tx(Text_3a_trbochrg) : "";
    const char *layoutWord = known && cylinders != 1 ? Tx(LayoutWordKeys[layout]) : "";
    const char *cylinderWord = Tx(known ? CylinderWordKeys[cylinders] : UnknownCylindersKey);
    if (displacement >= 1000.0f)
        std::snprintf(line1, EngineDescriptionLineSize, Tx(Text_3a_engltfmt),
                      static_cast<double>(displacement * 0.001f), turboWord, layoutWord, cylinderWord);
    else
        std::snprintf(line1, EngineDescriptionLineSize, Tx(Text_3a_engccfmt), static_cast<double>(displacement),
                      turboWord, layoutWord, cylinderWord);
    std::snprintf(line2, EngineDescriptionLineSize, Tx(Text_3a_trqnmlbr), static_cast<double>(maxTorque),
                  static_cast<double>(maxTorque / 1.35582f), static_cast<double>(maxTorqueSpeed * 60.0f / TwoPi));
    std::snprintf(line3, EngineDescriptionLineSize, Tx(Text_3a_pwrkwbhr), static_cast<double>(maxPower * 0.001f),
                  static_cast<double>(maxPower * 0.0013413f), static_cast<double>(maxPowerSpeed * 60.0f / TwoPi));
}
