#include "vehicle/tyre_contact.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "vehicle/car_wheel.h"
#include "vehicle/physics_world.h"
#include "vehicle/rim_data.h"
#include "vehicle/surface_table.h"
#include "vehicle/tyre_curves.h"
#include "vehicle/tyre_type_table.h"
#include "vehicle/vector3.h"

namespace {

constexpr float TwoPi = 6.2831855f;

// Heat capacity of rubber per cubic metre and kelvin: 910 x 2000.
constexpr float RubberDensity = 910.0f;
constexpr float RubberHeat = 2000.0f;

const SurfaceInfo &SurfaceOf(int type)
{
    return SurfaceTable[type >= 0 && type < SurfaceKindCount ? type : NoSurfaceKind];
}

const TyreTypeInfo &TyreTypeOf(const RimData &axle)
{
    const int type = axle.tyreType;
    return TyreTypeTable[type >= 0 && type < TyreTypeCount ? type : 0];
}

// Grip of a tread section at bulk temperature T (kelvin): the full grip at the
// optimum, three quarters of it 60 K away, half of it far away.
float SectionGrip(float T, float optimum, float grip)
{
    const float x = (T - optimum) / 60.0f;
    return (0.5f / (1.0f + x * x) + 0.5f) * grip;
}

// Heats the bulk of the three sections and the two sidewalls of the segment
// under the contact by rolling deformation, and takes that heat from the
// wheel's motion as rolling resistance.
void AddRollingHeat(CarWheel &wheel, TreadSegment &segment, const RimData &axle,
                    const TyreContactInput &in, float heating)
{
    const float d = 0.4f * (std::fabs(wheel.longDeflection) + std::fabs(wheel.latDeflection));
    const float distance = std::fabs(in.rolled);
    const float width = axle.treadWidth;
    float added = 0.0f;
    for (int i = 0; i < 3; i++) {
        TreadSection &section = segment.sections[i];
        const float heat = (wheel.sectionLoad[i] + d) * section.thickness * heating * width * distance * 260.0f;
        section.bulkHeat += heat;
        added += heat;
    }
    const float c = distance * heating * 280.0f;
    const float t = 0.015f * axle.outerRadius;
    const float side0 = (d + wheel.sectionLoad[0]) * t * c;
    const float side1 = (d + wheel.sectionLoad[2]) * t * c;
    segment.sidewallHeat[0] += side0;
    segment.sidewallHeat[1] += side1;
    added += side0 + side1;
    if (distance > 1e-06f)
        wheel.torque -= added / wheel.rotationStep;
}

// Dirt that sliding or rolling rubbed off; what is left below 0.01 is gone.
void RubOffDirt(float &dirt, float amount)
{
    dirt -= amount;
    if (dirt < 0.01f)
        dirt = 0.0f;
}

// What sliding does on the ground: heats the skin, wears the tread and rubs
// dirt off on firm ground; picks dirt up on loose ground.
void SlideOnGround(CarWheel &wheel, TreadSegment &segment, const RimData &axle, const TyreContactInput &in,
                   const SurfaceInfo &surface, const TyreTypeInfo &type, float force, float sliding)
{
    const float area = axle.treadSectionArea;
    const float distance = std::fabs(in.rolled);
    if (surface.loose) {
        const float most = static_cast<float>(surface.dirtPercent) * 0.01f;
        if (segment.dirt < most) {
            segment.dirt += 4e-06f / area * wheel.frictionLimit * most * distance;
            // Never above the ground's own dirt, nor above 0.16.
            segment.dirt = std::min(segment.dirt, std::min(most, 0.16f));
        }
        return;
    }
    if (segment.dirt != 0.0f)
        RubOffDirt(segment.dirt, 6e-08f / area * wheel.frictionLimit * segment.dirt * distance);
    if (wheel.flat)
        return;
    const float loads = wheel.sectionLoad[0] + wheel.sectionLoad[1] + wheel.sectionLoad[2];
    const float thinnest = 0.3f * (0.03f * axle.outerRadius);
    for (int i = 0; i < 3; i++) {
        TreadSection &section = segment.sections[i];
        const float energy = wheel.sectionLoad[i] * force * sliding / loads;
        section.skinHeat += energy * type.heating * 0.00032f;
        if (segment.dirt != 0.0f)
            RubOffDirt(segment.dirt, 1e-06f / area * segment.dirt * energy);
        if (!in.remote) {
            section.thickness -= energy * type.wear;
            if (section.thickness < thinnest) {
                section.thickness = thinnest;
                wheel.flat = 1;
            }
        }
    }
}

}  // namespace

void StepTyreContact(CarWheel &wheel, const RimData &axle, const TyreContactInput &in)
{
    assert(in.stiffness > 0.0f);
    const float Kt = in.stiffness;
    const float radius = axle.outerRadius;
    const float width = axle.treadWidth;
    const float area = axle.treadSectionArea;
    assert(area > 0.0f);
    const SurfaceInfo &surface = SurfaceOf(in.surfaceType);
    const TyreTypeInfo &type = TyreTypeOf(axle);
    const TyreCurve &longCurve = surface.loose ? LooseLongitudinalCurve : FirmLongitudinalCurve;
    const TyreCurve &latCurve = surface.loose ? LooseLateralCurve : FirmLateralCurve;
    TreadSegment &segment = wheel.tread[in.segment & 15];
    const bool heatAndWear = in.full && ExtrapolatingRemoteCar == 0;

    // Section loads; the tread bulk warms from rolling before the grip reads
    // its temperature.
    if (in.full) {
        assert(wheel.tyreDeflection > 0.0f);
        const float camber = in.halfWidth * in.camberSine;
        const float edge = (wheel.tyreDeflection - 0.02f * width) * 1.6f;
        wheel.sectionLoad[0] = std::max(0.0f, camber + edge);
        wheel.sectionLoad[1] = wheel.tyreDeflection;
        wheel.sectionLoad[2] = std::max(0.0f, edge - camber);
        if (heatAndWear && !wheel.flat)
            AddRollingHeat(wheel, segment, axle, in, type.heating);
    }

    // Grip from the bulk temperature of each section.
    const float optimum = type.optimalTemperature + 273.15f;
    float g[3];
    for (int i = 0; i < 3; i++) {
        const TreadSection &section = segment.sections[i];
        const float T = section.bulkHeat / (section.thickness * area * RubberDensity * RubberHeat);
        g[i] = SectionGrip(T, optimum, in.grip);
    }
    float mu;
    if (in.full) {
        const float *s = wheel.sectionLoad;
        const float loads = s[0] + s[1] + s[2];
        const float mean = loads / 3.0f;
        const float d0 = s[0] - mean;
        const float d1 = s[1] - mean;
        const float d2 = s[2] - mean;
        const float spread = d0 * d0 + d1 * d1 + d2 * d2;
        // Uneven loads on the three sections cost grip.
        mu = (g[0] * s[0] + g[1] * s[1] + g[2] * s[2]) / loads *
             (1.0f - 0.25f * std::sqrt(spread / 6.0f) / mean) * in.dirtFactor;
    } else {
        mu = (g[0] + g[1] + g[2]) * in.dirtFactor * 0.333f;
    }

    // Normal force and friction coefficient.
    float load;
    if (in.full) {
        const float deflection = wheel.tyreDeflection;
        const float effective =
            wheel.pressure / (1.0f + 0.001f * axle.crownRadius * radius / (deflection * deflection));
        const float spring = axle.tyreValues[1] * deflection * effective;
        wheel.normalForce += spring;
        const float rimContact = in.sidewallHeight - 0.02f;
        if (deflection <= rimContact) {
            wheel.patchLength = axle.tyreValues[1] * deflection / width;
            wheel.friction = mu * 960000.0625f / (effective + 700000.0f);
        } else {
            // The rim strikes the ground.
            wheel.normalForce += (deflection - rimContact) * wheel.unsprungMass * 50000.0f;
            wheel.patchLength = 0.0f;
            wheel.friction = 0.25f;
        }
        load = spring;
    } else {
        wheel.friction = mu * 960000.0625f / (wheel.pressure + 700000.0f);
        wheel.patchLength = wheel.flat ? 0.0f : width;
        load = wheel.normalForce;
    }
    for (int k = 0; k < 3; k++)
        wheel.contactForce[k] = wheel.normalForce * in.normal[k];
    wheel.frictionLimit = load * wheel.friction;
    const float forceCap = in.sidewallHeight * Kt * 0.999f;

    wheel.peakSlip = std::max(0.001f, std::sqrt(load / (2.0f * radius * Kt)) * longCurve.peakScale * 0.35f);
    wheel.peakSlipShown = surface.loose ? wheel.peakSlip * 2.0f : wheel.peakSlip;

    // How far the ground moved under the tyre.
    const float *T1 = in.rollDirection;
    const float *T2 = in.lateralDirection;
    float ground[3];
    for (int k = 0; k < 3; k++) {
        ground[k] = in.referencePoint[k] - wheel.lastReferencePoint[k];
        wheel.lastReferencePoint[k] = in.referencePoint[k];
    }
    const float groundAlong = Dot3(ground, T1);
    const float groundAcross = Dot3(ground, T2);
    const float rolledGround = std::fabs(groundAlong);
    const float w = rolledGround / in.dt / radius;
    const float a = Dot3(T1, wheel.deflection);
    const float b = Dot3(T2, wheel.deflection);
    wheel.slipShown = 0.0f;
    float sliding = 0.0f;
    float force;

    if (w < TwoPi || wheel.patchLength == 0.0f) {
        // Slow or on the rim: the tread follows the difference between its
        // own and the ground's movement like a spring, and slides past the
        // friction limit.
        const float q = std::fabs(wheel.rotationStep);
        wheel.longDeflection = a * (1.0f - q) + in.rolled - groundAlong;
        wheel.latDeflection = b * (1.0f - q) - groundAcross;
        const float fx = 2.0f * Kt * wheel.longDeflection;
        const float fy = Kt * wheel.latDeflection;
        wheel.frictionRatio = surface.loose ? 1.0f : 0.95f;
        wheel.frictionLimit = std::min(wheel.frictionLimit * wheel.frictionRatio, forceCap);
        const float magnitude = std::sqrt(fx * fx + fy * fy);
        if (magnitude > wheel.frictionLimit) {
            wheel.slipShown = 2.0f * wheel.peakSlip;
            const float r = wheel.frictionLimit / magnitude;
            sliding = (1.0f - r) * magnitude / Kt;
            wheel.longDeflection *= r;
            wheel.latDeflection *= r;
            force = wheel.frictionLimit;
        } else {
            force = magnitude;
        }
    } else {
        // Rolling: the force follows the tyre curves of the combined slip.
        const float sx = in.rolled - groundAlong;
        float kappa = 2.0f * sx / rolledGround;
        const float alpha = -0.1f * in.camberSine - groundAcross / rolledGround;
        float slip = std::sqrt(kappa * kappa + alpha * alpha);
        if (!surface.loose && slip > wheel.peakSlip) {
            // Past the peak the longitudinal slip stops counting double,
            // fading over three peak widths.
            const float u = (slip - wheel.peakSlip) / (3.0f * wheel.peakSlip);
            const float kappa1 = sx / rolledGround;
            if (u < 1.0f)
                kappa = kappa + (kappa1 - kappa) * (3.0f - 2.0f * u) * (u * u);
            else
                kappa = kappa1;
            slip = std::sqrt(kappa * kappa + alpha * alpha);
        }
        wheel.slip = slip;
        sliding = rolledGround * slip;
        wheel.slipShown = std::min(slip, 2.0f * wheel.peakSlip);
        const float x = longCurve.peakSlip * slip / wheel.peakSlip;
        const float vL = longCurve.Value(x);
        const float vT = latCurve.Value(x);
        const float k = in.full ? 0.05f : 0.2f;
        if (slip >= 0.0001f) {
            const float w2 = (alpha / slip) * (alpha / slip);
            wheel.frictionRatio = vL + (vT - vL) * w2;
            if (x > 0.001f) {
                // Only the part of the slip that the curve does not turn into
                // force slides. Where the curve lies above its first slope
                // nothing slides: a negative distance would cool the skin,
                // grow the tread back and add dirt on firm ground.
                const float linear = x * longCurve.samples[0] / longCurve.step;
                sliding *= (linear - wheel.frictionRatio) / linear;
                sliding = std::max(0.0f, sliding);
            }
            force = std::min(wheel.frictionRatio * wheel.frictionLimit, forceCap);
            const float r = force / slip;
            wheel.longDeflection = a + k * (r * kappa / Kt / 2.0f - a);
            wheel.latDeflection = b + k * (r * alpha / Kt - b);
        } else {
            wheel.frictionRatio = vL;
            sliding = 0.0f;
            force = 0.0f;
            wheel.longDeflection = a * (1.0f - k);
            wheel.latDeflection = b * (1.0f - k);
        }
    }

    if (heatAndWear)
        SlideOnGround(wheel, segment, axle, in, surface, type, force, sliding);

    // The tangential force of the deflected tread, damped in full mode.
    float n[3];
    float F[3];
    for (int k = 0; k < 3; k++) {
        n[k] = T2[k] * wheel.latDeflection + T1[k] * wheel.longDeflection;
        F[k] = T1[k] * (2.0f * Kt * wheel.longDeflection) + T2[k] * (Kt * wheel.latDeflection);
    }
    if (in.full) {
        for (int k = 0; k < 3; k++)
            F[k] += (n[k] - wheel.deflection[k]) * in.invDt * axle.tyreValues[2];
    }
    for (int k = 0; k < 3; k++) {
        wheel.deflection[k] = n[k];
        wheel.contactForce[k] += F[k];
        wheel.contactPoint[k] += n[k];
    }
    wheel.torque -= Dot3(F, T1) * radius;
    if (!in.full && w < TwoPi)
        wheel.torque *= w / TwoPi;
    wheel.inContact = 1;
}

void StepTyreDrag(CarWheel &wheel, const TyreContactInput &in)
{
    const float drag = SurfaceOf(in.surfaceType).drag;
    const float *P = in.referencePoint;
    if (wheel.inContact && drag != 0.0f) {
        const float Kt = in.stiffness;
        float v[3];
        for (int k = 0; k < 3; k++)
            v[k] = (wheel.dragAnchor[k] - P[k]) * Kt;
        const float limit = drag * wheel.normalForce;
        if (limit * limit >= 0.0001f) {
            const float length = std::sqrt(Dot3(v, v));
            if (length > limit) {
                // The anchor slides along behind the tyre.
                const float scale = limit / length;
                for (int k = 0; k < 3; k++) {
                    v[k] *= scale;
                    wheel.dragAnchor[k] = P[k] + v[k] / Kt;
                }
            }
            for (int k = 0; k < 3; k++)
                wheel.contactForce[k] += v[k];
            return;
        }
    }
    for (int k = 0; k < 3; k++)
        wheel.dragAnchor[k] = P[k];
}
