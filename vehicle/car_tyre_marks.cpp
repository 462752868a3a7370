// Tyre marks on the road, tyre smoke and dust. Once per real tick each wheel
// may extend its mark in the scene's ring of mark segments and throw up a
// fading sprite; nothing here feeds back into the physics.
#include <cmath>

#include "core/float_math.h"
#include "core/settings.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/surface_table.h"
#include "vehicle/tyre_mark_sink.h"
#include "vehicle/tyre_type_table.h"
#include "vehicle/vector3.h"
#include "vehicle/world_query.h"

namespace {

// skidSegment values below the ring's indices.
constexpr int32_t MarkStartsNext = -1;   // the next qualifying tick starts a new mark
constexpr int32_t MarkJustEnded = -2;    // the next qualifying tick only records its point

// A wheel marks once its slip is this far over the peak; the excess counts up
// to 1 (then the mark is as dark as the wheel's share of the car's weight).
constexpr float MarkSlipStart = 1.2f;
constexpr float MarkSlipRange = 1.0f;
constexpr float LeastIntensity = 0.0625f;
constexpr int NoMarksSetting = 2;        // "No Rubber " from which no marks are laid
constexpr int32_t MarkRaise = 1024;      // 1/64 m above the road against depth fighting
// Between two mark points the wheel moves more than the shortest step and
// less than the longest (base plus a part per m/s); otherwise the mark ends.
constexpr float ShortestStep = 0.02f;
constexpr float LongestStepBase = 0.4f;
constexpr float LongestStepPerSpeed = 0.01f;
constexpr float HalfWidthFactor = 39321.6f;  // 0.6 x 65536: 1.2 x the patch, halved, in 16.16

constexpr float Gravity = 9.81f;
constexpr float TwoPi = 6.28318548f;
constexpr int TreadSegments = 16;
// Heat capacity of the tread's skin per (tyre radius x section area):
// 1 mm of rubber of 2000 J/(kg K) and 910 kg/m^3.
constexpr float SkinDepth = 0.001f;
constexpr float RubberHeat = 2000.0f;
constexpr float RubberDensity = 910.0f;
constexpr float CelsiusToKelvin = 273.15f;
constexpr float SmokeTemperatureFactor = 2.0f;   // of the optimal temperature
constexpr int SmokeAlphaCap = 128;
constexpr uint8_t DustAlpha = 255;
constexpr float SpritesPerCycleBase = 4.0f;      // a cycle emits four sprites
constexpr float CycleLifetime = 2400.0f;          // ms, the last sprite of a cycle
constexpr float RiseFromCarSpeed = 0.3f;
constexpr float RiseScale = 0.04f;
constexpr int32_t SpriteStartSize = 6554;         // 0.1 m
constexpr float SmokeVelocityScale = 6553.6f;     // smoke keeps a tenth of the motion
constexpr float DustVelocityScale = 65536.0f;
constexpr float EndSizeScale = 65.536f;           // m per ms -> 16.16

int32_t PathNode(const CarObject &car) {
    if (car.pathFollower == nullptr || CarServices.pathFollowerNode == nullptr)
        return -1;
    return CarServices.pathFollowerNode(car.pathFollower);
}

void EndMark(CarWheel &wheel) {
    if (wheel.skidSegment >= 0)
        SinkClearSegmentAlpha(wheel.skidSegment);
    wheel.skidSegment = MarkJustEnded;
}

bool OnMarkableRoad(const CarWheel &wheel) {
    return wheel.tyreProbe.probe.otherBody == nullptr && wheel.patchLength != 0.0f &&
           wheel.surfaceType < static_cast<uint32_t>(SurfaceKindCount) && SurfaceTable[wheel.surfaceType].onRoad != 0;
}

void StepMark(const CarObject &car, CarWheel &wheel) {
    float r = wheel.slipShown / wheel.peakSlip - MarkSlipStart;
    if (r > MarkSlipRange)
        r = MarkSlipRange;
    const float intensity = r * wheel.normalForce / (car.mass * Gravity);
    const int32_t node = PathNode(car);
    // A slip over a zero peak gives not-a-number, which fails the test as well.
    if (!(NoRubber < NoMarksSetting && intensity > LeastIntensity && node >= 0 && OnMarkableRoad(wheel))) {
        EndMark(wheel);
        return;
    }

    FixVector p = {WrapAdd(car.position.x, MetresToFix(wheel.contactPoint[0])),
                   WrapAdd(car.position.y, MetresToFix(wheel.contactPoint[1])),
                   WrapAdd(car.position.z, MetresToFix(wheel.contactPoint[2]))};
    p.z = WrapAdd(p.z, MarkRaise);

    if (wheel.skidSegment == MarkJustEnded) {
        wheel.skidSegment = MarkStartsNext;
        wheel.lastSkidPoint[0] = p.x;
        wheel.lastSkidPoint[1] = p.y;
        wheel.lastSkidPoint[2] = p.z;
        return;
    }

    const float d[3] = {FixToMetres(WrapSub(p.x, wheel.lastSkidPoint[0])),
                        FixToMetres(WrapSub(p.y, wheel.lastSkidPoint[1])),
                        FixToMetres(WrapSub(p.z, wheel.lastSkidPoint[2]))};
    const float l = std::sqrt(Dot3(d, d));
    wheel.lastSkidPoint[0] = p.x;
    wheel.lastSkidPoint[1] = p.y;
    wheel.lastSkidPoint[2] = p.z;
    if (l <= ShortestStep || l >= LongestStepBase + LongestStepPerSpeed * car.speed) {
        EndMark(wheel);
        return;
    }

    const float u[3] = {d[0] / l, d[1] / l, d[2] / l};
    const float c = std::fabs(Dot3(u, wheel.rollDirection));
    const float h = ((1.0f - c) * wheel.patchLength + c * wheel.contactWidth) * HalfWidthFactor;
    float s[3];
    Cross3(wheel.tyreProbe.stepNormal, u, s);
    const FixVector offset = {RoundToInt(h * s[0]), RoundToInt(h * s[1]), RoundToInt(h * s[2])};
    const FixVector left = {WrapAdd(p.x, offset.x), WrapAdd(p.y, offset.y), WrapAdd(p.z, offset.z)};
    const FixVector right = {WrapSub(p.x, offset.x), WrapSub(p.y, offset.y), WrapSub(p.z, offset.z)};
    wheel.skidSegment = SinkAddSkidMark(left, right, intensity, wheel.skidSegment, static_cast<uint16_t>(node));
}

// The hottest skin temperature (degrees Celsius, at least 0) of the tread
// segment on the road; false when the tyre has no heat capacity set up.
bool SkinTemperature(const CarObject &car, const CarWheel &wheel, const RimData &axle, float &temperature) {
    const float capacity = axle.outerRadius * SkinDepth * axle.treadSectionArea * RubberHeat * RubberDensity;
    if (!(capacity > 0.0f))
        return false;
    // A remote car keeps its whole tread in segment 0.
    const int32_t turned = RoundToInt(static_cast<float>(TreadSegments) * wheel.rotation / TwoPi);
    const int segment = car.isRemote ? 0 : (turned & (TreadSegments - 1));
    float hottest = 0.0f;
    for (const TreadSection &section : wheel.tread[segment].sections) {
        const float t = section.skinHeat / capacity - CelsiusToKelvin;
        if (t > hottest)
            hottest = t;
    }
    temperature = hottest;
    return true;
}

float ClampedDustLod() {
    // The settings reader keeps it within 0.2..1; the period below divides by it.
    if (!(DustLod >= 0.2f))
        return 0.2f;
    return DustLod > 1.0f ? 1.0f : DustLod;
}

void StepSprites(const CarObject &car, CarWheel &wheel) {
    if (!wheel.inContact)
        return;
    const RimData &axle = car.axles[wheel.axleIndex & 1];
    float t = 0.0f;
    if (!SkinTemperature(car, wheel, axle, t))
        return;
    int32_t tyreType = axle.tyreType;
    if (tyreType < 0)
        tyreType = 0;
    if (tyreType >= TyreTypeCount)
        tyreType = TyreTypeCount - 1;
    const float limit = SmokeTemperatureFactor * TyreTypeTable[tyreType].optimalTemperature;

    uint8_t colour[4];
    float scale;
    if (t > limit) {
        // Beyond the cap the rounding would leave the 32-bit range.
        const float level = t * 255.0f / limit;
        const int32_t alpha = level < 255.0f + SmokeAlphaCap ? RoundToInt(level) - 255 : SmokeAlphaCap;
        colour[0] = 255;
        colour[1] = 255;
        colour[2] = 255;
        colour[3] = static_cast<uint8_t>(alpha < SmokeAlphaCap ? alpha : SmokeAlphaCap);
        scale = SmokeVelocityScale;
    } else {
        const TrackColour *surface = wheel.tyreProbe.probe.surface;
        const WorldQuery *world = CurrentWorldQuery();
        if (!(wheel.slipShown > wheel.peakSlip) || surface == nullptr || world == nullptr ||
            (world->GetSurfaceFlagBit0(surface) & 1) == 0)
            return;
        const Colour lit = world->GetSurfaceLitColour(surface);
        const uint8_t channels[3] = {lit.red, lit.green, lit.blue};
        for (int k = 0; k < 3; k++)
            colour[k] = static_cast<uint8_t>(channels[k] >= 128 ? 255 : channels[k] * 2);
        colour[3] = DustAlpha;
        scale = DustVelocityScale;
    }

    const int32_t n = RoundToInt(SpritesPerCycleBase / ClampedDustLod());
    const int32_t period = 4 * n;
    // A counter left from a longer cycle ("Dust LOD " lowered meanwhile)
    // starts the new cycle afresh instead of giving over-long lifetimes.
    if (wheel.smokeCounter >= static_cast<uint32_t>(period))
        wheel.smokeCounter = 0;
    wheel.smokeCounter += 1;
    const bool emit = wheel.smokeCounter % static_cast<uint32_t>(n) == 0;
    const int32_t lifetime =
        static_cast<int32_t>(wheel.smokeCounter) * RoundToInt(CycleLifetime / static_cast<float>(period));
    if (wheel.smokeCounter >= static_cast<uint32_t>(period))
        wheel.smokeCounter = 0;
    if (!emit)
        return;

    const float *o = car.orientation;
    const float X[3] = {o[0], o[3], o[6]};
    const float Y[3] = {o[1], o[4], o[7]};
    const float Z[3] = {o[2], o[5], o[8]};
    const float sinSteer = FloatSin(wheel.steerAngle);
    const float cosSteer = FloatCos(wheel.steerAngle);
    const float v = wheel.angularVelocity * axle.outerRadius;
    const float half = 0.5f * v;
    const float k = (car.speed * RiseFromCarSpeed + std::fabs(v)) * RiseScale;
    int32_t velocity[3];
    for (int a = 0; a < 3; a++) {
        const float w = -sinSteer * X[a] + cosSteer * Y[a];
        velocity[a] = RoundToInt((car.velocity[a] - half * w) * scale + k * Z[a] * 65536.0f);
    }
    const int32_t endSize = RoundToInt(static_cast<float>(lifetime) * k * EndSizeScale);
    SinkAddSprite(wheel.tyreProbe.probe.hitPoint, {velocity[0], velocity[1], velocity[2]}, SpriteStartSize, endSize,
                  colour, lifetime);
}

}  // namespace

// The wheel's tyre mark on the road and its smoke or dust, after its
// temperatures of the tick. Only real ticks of cars in the race lay them.
void CarObject::StepTyreMarks(CarWheel &wheel) {
    if (previewCar || ExtrapolatingRemoteCar)
        return;
    StepMark(*this, wheel);
    StepSprites(*this, wheel);
}
