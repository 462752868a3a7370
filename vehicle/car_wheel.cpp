#include "vehicle/car_wheel.h"

#include <cstring>
#include <type_traits>

#include "core/data_stream.h"
#include "vehicle/fix_convert.h"
#include "vehicle/rim_data.h"
#include "vehicle/tyre_type_table.h"
#include "vehicle/vector3.h"

namespace {

// One atmosphere: 14.7 psi, a psi being (9.81 / 2.204623) / 0.0254^2 Pa.
constexpr float Psi = (9.81f / 2.204623f) / (0.0254f * 0.0254f);
constexpr float Atmosphere = 14.7f * Psi;

constexpr float Pi = 3.14159265f;

constexpr int SegmentCount = 16;
static_assert(std::extent_v<decltype(CarWheel::tread)> == SegmentCount, "the tread has 16 segments");

// The outside of the heat model is 20 C whatever the weather or track.
constexpr float OutsideTemperature = 293.15f;  // K
constexpr float BurstTemperature = 473.15f;    // K, 200 C
constexpr float CelsiusToKelvin = 273.15f;
// Heat capacity per cubic metre of rubber (density x specific heat) and the
// specific heat of air, J/K.
constexpr float RubberDensity = 910.0f;
constexpr float RubberHeat = 2000.0f;
constexpr float AirHeat = 1005.0f;
// Fractions of the tyre radius: new tread, surface skin, sidewall thickness.
constexpr float NewTread = 0.03f;
constexpr float SkinDepth = 0.001f;
constexpr float SidewallDepth = 0.015f;
// A tread section worn to this fraction of new is worn through.
constexpr float WornFraction = 0.3f;
constexpr float MaxDirt = 0.16f;

// 0..63 for 20..200 C.
uint8_t TemperatureByte(float kelvin) {
    return DisplayByte((kelvin - OutsideTemperature) * 63.0f / 180.0f);
}

// Sum over the 16 segments in pairs: exact for 16 equal values (16 x the
// value), and no worse than a running sum otherwise.
template <typename Get>
float SumSegments(const TreadSegment (&tread)[SegmentCount], Get get) {
    float v[SegmentCount];
    for (int s = 0; s < SegmentCount; s++)
        v[s] = get(tread[s]);
    for (int width = SegmentCount / 2; width >= 1; width /= 2)
        for (int s = 0; s < width; s++)
            v[s] = v[s] + v[s + width];
    return v[0];
}

}  // namespace

void WheelProbe::Clear() {
    *this = WheelProbe{};  // every value 0, no surface, no body
}

CarWheel::CarWheel() {
    // Every field has a value before the model set-up writes its own; the
    // state record and checksums later read whole wheels.
    std::memset(static_cast<void *>(this), 0, sizeof(*this));
    tyreProbe.Clear();
    sideProbe.Clear();
    Zero3(restPosition);
    SetDefaults();
    ClearDamage();
}

void CarWheel::SetDefaults() {
    peakSlip = 1.0f;
    peakSlipShown = 1.0f;
    pressure = Atmosphere;
    Zero3(sectionLoad);
    std::memset(temperatureBytes, 0, sizeof(temperatureBytes));
    temperatureSpare = 0;
    std::memset(treadBytes, 0, sizeof(treadBytes));
    dirtByte = 0;
    frictionLimit = 0.0f;
    bumpSurface = 0;
    bumpBlend = 0;
    bumpHeight = 0;
    surfaceType = 0;
    smokeCounter = 0;
    steerAngle = 0.0f;
    skidSegment = -1;
    rotation = Pi;
    angularVelocity = 0.0f;
    rotationStep = 0.0f;
    compression = 0.0f;
    compressionSpeed = 0.0f;
    antiRollForce = 0.0f;
    torque = 0.0f;
    Zero3(contactForce);
    Zero3(rollDirection);
    Zero3(lastReferencePoint);
    Zero3(contactPoint);
    Zero3(deflection);
    Zero3(dragAnchor);
    slip = 0.0f;
    slipShown = 0.0f;
    normalForce = 0.0f;
    contactWidth = 0.0f;
    patchLength = 0.0f;
    frictionRatio = 0.0f;
    tyreDeflection = 0.0f;
    camberSine = 0.0f;
    longDeflection = 0.0f;
    latDeflection = 0.0f;
    friction = 0.0f;
    inContact = 0;
    tyreHit = 0;
    sideInContact = 0;
    sideHit = 0;
    tyreProbe.Clear();
    sideProbe.Clear();
    Zero3(sideAnchor);
    sideDepth = 0.0f;
}

void CarWheel::ClearDamage() {
    travelDamage = 0.0f;
    upperArmDamage = 0.0f;
    lowerArmDamage = 0.0f;
    damageSpare = 0.0f;
    springState = 0;
    upperArmState = 0;
    lowerArmState = 0;
    toeState = 0;
    flat = 0;
    for (int k = 0; k < 3; k++)
        position[k] = restPosition[k];
}

void CarWheel::ReadRestPosition(DataStream &stream) {
    for (int k = 0; k < 3; k++)
        restPosition[k] = stream.ReadFloat();
}

void CarWheel::SetUp(const RimData &axle, bool remote) {
    flat = 0;

    int type = axle.tyreType;
    if (type < 0)
        type = 0;
    if (type >= TyreTypeCount)
        type = TyreTypeCount - 1;
    float t0 = TyreTypeTable[type].optimalTemperature - 20.0f + CelsiusToKelvin;
    if (!(t0 >= OutsideTemperature))
        t0 = OutsideTemperature;

    const uint8_t level = TemperatureByte(t0);
    std::memset(temperatureBytes, level, sizeof(temperatureBytes));
    temperatureSpare = level;
    std::memset(treadBytes, 7, sizeof(treadBytes));
    dirtByte = 0;

    rimHeat = 1000.0f * axle.rimVolume * 2700.0f * t0;
    airHeat = AirHeat * airMass * t0;

    const float r = axle.outerRadius;
    const float a1 = axle.treadSectionArea;
    const float a2 = axle.sidewallArea;
    const int count = remote ? 1 : SegmentCount;
    for (int s = 0; s < count; s++) {
        TreadSegment &segment = tread[s];
        for (TreadSection &section : segment.sections) {
            section.thickness = NewTread * r;
            section.bulkHeat = RubberDensity * a1 * section.thickness * RubberHeat * t0;
            section.skinHeat = SkinDepth * r * a1 * RubberDensity * RubberHeat * t0;
        }
        for (float &heat : segment.sidewallHeat)
            heat = SidewallDepth * r * a2 * RubberDensity * RubberHeat * t0;
        segment.dirt = 0.0f;
    }
}

void CarWheel::BreakSuspension() {
    springState = 3;
    springRate = 0.0f;
    bumpDamping = 0.0f;
    reboundDamping = 0.0f;
}

bool CarWheel::IsWorn(int percent) const {
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    const int32_t limit = RoundToInt(static_cast<float>(100 - percent) * 0.07f);
    for (const uint8_t level : treadBytes)
        if (level <= limit)
            return true;
    return flat != 0;
}

void CarWheel::ExpandTreadSegments() {
    TreadSegment &first = tread[0];
    for (TreadSection &section : first.sections) {
        section.bulkHeat /= 16.0f;
        section.skinHeat /= 16.0f;
    }
    for (float &heat : first.sidewallHeat)
        heat /= 16.0f;
    for (int s = 1; s < SegmentCount; s++)
        tread[s] = first;
}

void CarWheel::CollapseTreadSegments() {
    // Segment 0 stands for the whole tread from now on. It takes the heat of
    // every segment, not 16 times its own, so that the tyre neither gains nor
    // loses heat when the car changes hands; its temperature is then the mean
    // of the tread's. Thickness and dirt become their means.
    TreadSegment whole;
    for (int i = 0; i < 3; i++) {
        whole.sections[i].thickness =
            SumSegments(tread, [i](const TreadSegment &g) { return g.sections[i].thickness; }) / 16.0f;
        whole.sections[i].bulkHeat = SumSegments(tread, [i](const TreadSegment &g) { return g.sections[i].bulkHeat; });
        whole.sections[i].skinHeat = SumSegments(tread, [i](const TreadSegment &g) { return g.sections[i].skinHeat; });
    }
    for (int k = 0; k < 2; k++)
        whole.sidewallHeat[k] = SumSegments(tread, [k](const TreadSegment &g) { return g.sidewallHeat[k]; });
    whole.dirt = SumSegments(tread, [](const TreadSegment &g) { return g.dirt; }) / 16.0f;
    tread[0] = whole;
}

void CarWheel::UpdateTemperatures(const RimData &axle, float dt, float convection, bool remote) {
    const float r = axle.outerRadius;
    const float a1 = axle.treadSectionArea;
    const float a2 = axle.sidewallArea;
    // A wheel whose tyre sizes are not set up has no heat capacities: every
    // temperature would be a division by zero.
    if (!(r > 0.0f && a1 > 0.0f && a2 > 0.0f && axle.rimVolume > 0.0f && airMass > 0.0f))
        return;
    const int count = remote ? 1 : SegmentCount;

    // The air temperature of the whole step is the one it starts with.
    const float airTemperature = airHeat / (AirHeat * airMass);
    const float pressureRatio = (Atmosphere + pressure) / Atmosphere;
    const float rimTemperature = rimHeat / (1000.0f * axle.rimVolume * 2700.0f);

    // Conductances, J/K per step.
    const float skinToOutside = dt * a1 * 10.0f * convection;
    const float bulkToAir = dt * a1 * 10.0f * pressureRatio;
    const float skinToBulk = a1 / (SkinDepth * r) * dt * 0.15f;
    const float sidewallToOutside = dt * a2 * 10.0f * convection;
    const float sidewallToAir = dt * a2 * 10.0f * pressureRatio;

    const float skinCapacity = SkinDepth * r * a1 * RubberHeat * RubberDensity;
    const float sidewallCapacity = SidewallDepth * r * a2 * RubberHeat * RubberDensity;

    float bulkSum[3] = {0.0f, 0.0f, 0.0f};
    float thicknessSum[3] = {0.0f, 0.0f, 0.0f};
    float sidewallSum[2] = {0.0f, 0.0f};
    float dirtSum = 0.0f;
    for (int s = 0; s < count; s++) {
        TreadSegment &segment = tread[s];
        for (int i = 0; i < 3; i++) {
            TreadSection &section = segment.sections[i];
            const float bulk = section.bulkHeat / (section.thickness * a1 * RubberHeat * RubberDensity);
            const float skin = section.skinHeat / skinCapacity;
            const float skinFlow = (skin - bulk) * skinToBulk;
            const float airFlow = (bulk - airTemperature) * bulkToAir;
            section.skinHeat += (OutsideTemperature - skin) * skinToOutside - skinFlow;
            section.bulkHeat += skinFlow - airFlow;
            airHeat += airFlow;
            bulkSum[i] += bulk;
            thicknessSum[i] += section.thickness;
        }
        for (int k = 0; k < 2; k++) {
            const float wall = segment.sidewallHeat[k] / sidewallCapacity;
            const float airFlow = (wall - airTemperature) * sidewallToAir;
            segment.sidewallHeat[k] += (OutsideTemperature - wall) * sidewallToOutside - airFlow;
            airHeat += airFlow;
            sidewallSum[k] += wall;
        }
        dirtSum += segment.dirt;
    }

    const float n = static_cast<float>(count);
    const float newTread = NewTread * r;
    const float wornTread = WornFraction * NewTread * r;
    for (int i = 0; i < 3; i++) {
        const float bulk = bulkSum[i] / n;
        if (bulk >= BurstTemperature)
            flat = 1;
        temperatureBytes[i] = TemperatureByte(bulk);
        treadBytes[i] = DisplayByte((thicknessSum[i] / n - wornTread) * 7.0f / (newTread - wornTread));
    }
    temperatureBytes[3] = TemperatureByte(airTemperature);
    temperatureBytes[4] = TemperatureByte(sidewallSum[0] / n);
    temperatureBytes[5] = TemperatureByte(sidewallSum[1] / n);
    temperatureBytes[6] = TemperatureByte(rimTemperature);
    dirtByte = DisplayByte(dirtSum / n * 7.0f / MaxDirt);

    const float rimConductance = axle.rimWidth * axle.rimRadius * (2.0f * Pi) * dt * 10.0f;
    const float rimToAir = rimConductance * pressureRatio * (rimTemperature - airTemperature);
    rimHeat += rimConductance * convection * 0.1f * (OutsideTemperature - rimTemperature) - rimToAir;
    airHeat += rimToAir;
}
