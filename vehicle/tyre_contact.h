#pragma once

#include <cstdint>

struct CarWheel;
struct RimData;

// The working values of one wheel's sub-step that the tyre model reads. The
// suspension step works them out before the contact; vectors are world
// directions and points relative to the car's position.
struct TyreContactInput {
    float normal[3];          // N, unit ground normal
    float rollDirection[3];   // T1, unit rolling direction on the ground
    float lateralDirection[3];// T2 = T1 x N
    float referencePoint[3];  // P, the tyre reference point of this sub-step
    float camberSine;         // D . N
    float halfWidth;          // h, half the tread width
    float sidewallHeight;     // e, tyre radius - rim radius
    float stiffness;          // Kt, radial tyre stiffness; above 0
    float rolled;             // ds, tyre radius x rotationStep
    int segment;              // the tread segment under the contact, 0..15
    float dirtFactor;         // 1 - the segment's dirt on firm ground, 1 on loose ground
    int surfaceType;          // 0..16; anything else counts as no surface
    float grip;               // the tyre type's grip on the surface, interpolated over the tick
    float dt;
    float invDt;
    bool full;                // full mode; false in the one-step (light) mode
    bool remote;              // the car is a remote player's
};

// The tyre in contact with the ground for one sub-step: grip, normal force
// and friction limit, slip, tread deflection, and the tangential force, with
// the rolling heat, sliding heat, tread wear and dirt of full mode (none while
// a remote car is extrapolated, no wear on a remote car). Expects the
// suspension's part of this sub-step: contactForce zero, normalForce the
// radial damping (full mode) or the suspension force (light mode),
// tyreDeflection the radial deflection (full mode, above 0), contactPoint on
// the ground. Sets contactForce to the normal plus tangential force, which
// the caller also passes to the car; subtracts the tyre's torque from
// torque; moves contactPoint by the tread deflection; sets inContact.
void StepTyreContact(CarWheel &wheel, const RimData &axle, const TyreContactInput &in);

// The spring that holds a tyre in loose ground: pulls the tyre back to an
// anchor, at most the surface's drag coefficient times the normal force, the
// anchor following the tyre beyond that. Adds into contactForce. Without
// contact, on firm ground or under a negligible limit the anchor is the
// reference point.
void StepTyreDrag(CarWheel &wheel, const TyreContactInput &in);
