// The suspension side of a wheel's sub-step (ground contact, spring, damper,
// bump stops, side contact, overload damage, rotation) and the placement of
// the wheel for its present travel.
#include <algorithm>
#include <cmath>

#include "core/fixed_math.h"
#include "core/float_math.h"
#include "vehicle/car_object.h"
#include "vehicle/car_wheel.h"
#include "vehicle/fix_convert.h"
#include "vehicle/rim_data.h"
#include "vehicle/surface_table.h"
#include "vehicle/tyre_contact.h"
#include "vehicle/vector3.h"

namespace {

// One atmosphere: 14.7 psi, a psi being (9.81 / 2.204623) / 0.0254^2 Pa.
constexpr float Psi = (9.81f / 2.204623f) / (0.0254f * 0.0254f);
constexpr float Atmosphere = 14.7f * Psi;

constexpr float Pi = 3.14159265f;
constexpr float RotationLimit = 32.0f * Pi;
constexpr float RotationWrap = 64.0f * Pi;

constexpr float MaxTravelSpeed = 16.0f;
constexpr float LightTravelFactor = 0.333f;
constexpr float RimClearance = 0.02f;
constexpr float MaxSidePenetrationSpeed = 4.0f;
constexpr float ToeDamageGain = Pi / 3.0f;
constexpr float ToeDamageLimit = Pi / 8.0f;
constexpr float ArmDamageLimit = 0.333f;
constexpr float TravelDamageLimit = 0.03f;

// Below this |N x D| the axle stands on the ground normal and no rolling
// direction exists.
constexpr float MinRollCross = 1e-6f;

// out = m x v, m rows first.
void MatMul(const float a[9], const float b[9], float out[9])
{
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++)
            out[r * 3 + c] = a[r * 3] * b[c] + a[r * 3 + 1] * b[3 + c] + a[r * 3 + 2] * b[6 + c];
    }
}

float Clamp(float x, float low, float high)
{
    return x < low ? low : (x > high ? high : x);
}

float FixDifference(int32_t a, int32_t b)
{
    return FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)));
}

// A contact force on the wheel pushes the other body back: -force x dt as
// momentum, and its turn about the body's position at the 16.16 hit point
// (the body's next step moves the turn to its centre of mass).
void PushOtherBody(RigidBody *other, const FixVector &hitPoint, const float force[3], float dt)
{
    const float j[3] = {force[0] * dt, force[1] * dt, force[2] * dt};
    const float r[3] = {FixDifference(hitPoint.x, other->predictedPosition.x),
                        FixDifference(hitPoint.y, other->predictedPosition.y),
                        FixDifference(hitPoint.z, other->predictedPosition.z)};
    float turn[3];
    Cross3(r, j, turn);
    for (int k = 0; k < 3; k++) {
        other->impulse[k] -= j[k];
        other->angularImpulse[k] -= turn[k];
    }
}

// Tread segment under the contact: round(16 x rotation / 2 pi) taken into
// 0..15 also for a negative rotation.
int ActiveSegment(float rotation)
{
    const int n = RoundToInt(16.0f * rotation / (2.0f * Pi));
    return ((n % 16) + 16) % 16;
}

// Damage of an arm shortened by lateral overload, capped at a third of its
// length.
void DamageArm(float &damage, uint8_t &state, float amount, float length)
{
    const float cap = ArmDamageLimit * length;
    damage += amount;
    if (damage > cap) {
        damage = cap;
        state = 3;
    } else {
        state = 2;
    }
}

}  // namespace

void CarWheel::UpdateSuspensionGeometry(const RimData &axle)
{
    const float s = compression + travelDamage;
    const float px = position[0];
    const float py = position[1];
    switch (suspensionType) {
    case 0:
        centre[0] = px;
        centre[1] = py;
        centre[2] = baseHeight;
        return;
    case 1:
    case 2:
    case 5:
        centre[0] = px + s * travelDirection[0];
        centre[1] = py + s * travelDirection[1];
        centre[2] = baseHeight + s * travelDirection[2];
        return;
    case 3:
    case 4:
        break;
    default:
        return;
    }

    // The first (lower) arm turns about its pivot with the travel.
    const float L1 = axle.firstArmLength - lowerArmDamage;
    const float phi = s / L1 + firstArmAngle;
    const float cosPhi = FloatCos(phi);
    const float sinPhi = FloatSin(phi);
    const float d1[2] = {side * cosPhi, sinPhi};
    const float J1[2] = {firstArmPivot[0] + side * L1 * cosPhi, firstArmPivot[2] + L1 * sinPhi};

    float axis[3];     // unit steering axis
    float middle[3];   // wheel centre
    float k[2];        // the steering axis's x-z direction
    float c;           // type 3: cosine of first arm and steering axis; type 4: sine between the arms
    float centreLine;  // distance along the first arm to the instantaneous centre, times c
    if (suspensionType == 3) {
        const float v[3] = {strutTop[0] - J1[0], strutTop[1] - py, strutTop[2] - J1[1]};
        const float length = std::sqrt(Dot3(v, v));
        const float kLength = std::sqrt(v[0] * v[0] + v[2] * v[2]);
        if (!(length > 0.0f) || !(kLength > 0.0f))
            return;
        const float u = axle.uprightLength;
        for (int i = 0; i < 3; i++)
            axis[i] = v[i] / length;
        middle[0] = J1[0] + u * axis[0];
        middle[1] = py + u * axis[1];
        middle[2] = J1[1] + u * axis[2];
        k[0] = v[0] / kLength;
        k[1] = v[2] / kLength;
        c = k[0] * d1[0] + k[1] * d1[1];
        // The line through the reference point square to the steering axis.
        centreLine = k[0] * centreLineOffset[0] + k[1] * centreLineOffset[2];
    } else {
        // Two arms: the upright joins the first arm's joint J1 to the second
        // arm's joint J2, leaning fore and aft by the second arm angle.
        const float L2 = axle.secondArmLength - upperArmDamage;
        const float u = axle.uprightLength;
        const float psi = static_cast<float>(axle.secondArmAngle) * (Pi / 1800.0f);
        const float lean = u * FloatSin(psi);
        const float reach = 2.0f * u * FloatCos(psi);
        // J2 lies on the circle of radius L2 about the second arm's pivot and
        // on the circle of radius `reach` about J1 (x-z plane).
        const float ax = secondArmPivot[0];
        const float az = secondArmPivot[2];
        const float dx = J1[0] - ax;
        const float dz = J1[1] - az;
        const float d2 = dx * dx + dz * dz;
        if (!(d2 > 0.0f))
            return;
        const float d = std::sqrt(d2);
        const float along = (L2 * L2 - reach * reach + d2) / (2.0f * d);
        const float halfChord2 = L2 * L2 - along * along;
        if (!(halfChord2 >= 0.001f) || !(reach > 0.0f) || !(L2 > 0.0f))
            return;
        const float halfChord = std::sqrt(halfChord2);
        // Of the two crossings the upper joint is the one outboard of the
        // line from the second arm's pivot to J1.
        const float outward = side < 0.0f ? -1.0f : 1.0f;
        const float ux = dx / d;
        const float uz = dz / d;
        const float J2[2] = {ax + along * ux - outward * halfChord * uz, az + along * uz + outward * halfChord * ux};
        const float y1 = py + lean;
        const float y2 = py - lean;
        middle[0] = (J1[0] + J2[0]) * 0.5f;
        middle[1] = (y1 + y2) * 0.5f;
        middle[2] = (J1[1] + J2[1]) * 0.5f;
        const float twoU = 2.0f * u;
        axis[0] = (J2[0] - J1[0]) / twoU;
        axis[1] = (y2 - y1) / twoU;
        axis[2] = (J2[1] - J1[1]) / twoU;
        k[0] = (J2[0] - J1[0]) / reach;
        k[1] = (J2[1] - J1[1]) / reach;
        const float e2[2] = {(J2[0] - ax) / L2, (J2[1] - az) / L2};
        // The sine of the angle between the arms.
        c = e2[0] * sinPhi - e2[1] * side * cosPhi;
        // Where the two arms' lines meet.
        centreLine = e2[0] * centreLineOffset[2] - e2[1] * centreLineOffset[0];
    }

    for (int i = 0; i < 3; i++) {
        steerAxis[i] = axis[i];
        centre[i] = middle[i];
    }
    const float ax = side * (k[0] * steerAxleCos + k[1] * steerAxleSin);
    const float az = side * (k[1] * steerAxleCos - k[0] * steerAxleSin);
    axleDirection[0] = ax;
    axleDirection[1] = 0.0f;
    axleDirection[2] = az;
    const float hub = axle.hubOffset;
    const float R = axle.outerRadius;
    contactOffset[0] = hub * side * ax + R * az;
    contactOffset[1] = 0.0f;
    contactOffset[2] = hub * side * az - R * ax;

    // The contact point moves square to the line from the instantaneous
    // centre of the arms; with the lines parallel, square to the first arm.
    if (std::fabs(c) <= 0.001f) {
        travelDirection[0] = -side * sinPhi;
        travelDirection[1] = 0.0f;
        travelDirection[2] = cosPhi;
        return;
    }
    const float t = centreLine / c;
    const float Ix = firstArmPivot[0] + t * d1[0];
    const float Iz = firstArmPivot[2] + t * d1[1];
    const float Cx = centre[0] + contactOffset[0];
    const float Cz = centre[2] + contactOffset[2];
    float tx = Iz - Cz;
    float tz = Cx - Ix;
    const float length = std::sqrt(tx * tx + tz * tz);
    if (!(length > 0.0f))
        return;
    float scale = 1.0f / length;
    if (suspensionType == 3)
        scale *= side;
    if (c > 0.001f)
        scale = -scale;
    tx *= scale;
    tz *= scale;
    travelDirection[0] = tx;
    travelDirection[1] = 0.0f;
    travelDirection[2] = tz;
}

void CarWheel::StepSuspension(const RimData &axle, const float carMatrix[9], const float centreWorld[3],
                              float brakeTorque, float *steerTorque, float dt, float invDt, float gravity,
                              CarObject *car, float externalForce[3], bool remote)
{
    const bool full = steerTorque != nullptr;

    // The wheel's own weight joins the aerodynamic share; this entry value
    // reaches the car at the end.
    externalForce[2] += gravity * unsprungMass;
    const float entry[3] = {externalForce[0], externalForce[1], externalForce[2]};

    // Pressure from the air temperature, and the tyre's radial stiffness.
    if (!flat) {
        const float airTemperature = airHeat / (1005.0f * airMass);
        pressure = (airTemperature / 293.15f) * (Atmosphere + pressureSetting) - Atmosphere;
    } else {
        pressure = 0.1f * pressureSetting;
    }
    const float Kt = axle.tyreValues[0] * pressure * 1.8f / 2.0f;

    // Wheel frame: steered about the steering axis, then the car's turn.
    float steer[9];
    SetFloatAxisRotation(steer, steerAxis[0], steerAxis[1], steerAxis[2], steerAngle);
    float frame[9];
    MatMul(carMatrix, steer, frame);
    float P[3];
    MatVec3(frame, contactOffset, P);
    for (int i = 0; i < 3; i++)
        P[i] += centreWorld[i];

    // The lateral tread deflection tilts the tyre's effective axle.
    const float R = axle.outerRadius;
    const float sinBeta = latDeflection / (2.0f * R);
    const float cosBeta = std::sqrt(std::max(0.0f, 1.0f - sinBeta * sinBeta));
    const float tilted[3] = {cosBeta * axleDirection[0] - sinBeta * axleDirection[2], 0.0f,
                             sinBeta * axleDirection[0] + cosBeta * axleDirection[2]};
    float D[3];
    MatVec3(frame, tilted, D);

    const float h = 0.5f * axle.treadWidth;
    const float e = R - axle.rimRadius;
    const float newTread = 0.03f * R;
    const float rimContact = e - RimClearance;
    for (float &f : contactForce)
        f = 0.0f;
    contactWidth = 0.0f;
    normalForce = 0.0f;

    TyreContactInput in{};
    in.referencePoint[0] = P[0];
    in.referencePoint[1] = P[1];
    in.referencePoint[2] = P[2];
    in.halfWidth = h;
    in.sidewallHeight = e;
    in.stiffness = Kt;
    in.rolled = R * rotationStep;
    in.segment = remote ? 0 : ActiveSegment(rotation);
    in.surfaceType = static_cast<int>(surfaceType);
    const SurfaceInfo &surface = SurfaceTable[surfaceType < static_cast<uint32_t>(SurfaceKindCount) ? surfaceType : NoSurfaceKind];
    in.dirtFactor = surface.loose ? 1.0f : 1.0f - tread[in.segment].dirt;
    in.grip = tyreProbe.stepSurface;
    in.dt = dt;
    in.invDt = invDt;
    in.full = full;
    in.remote = remote;

    // Ground contact. A tyre without positive stiffness (no air data) cannot
    // carry a load and touches nothing.
    bool contact = false;
    if (tyreHit && Kt > 0.0f) {
        const float *N = tyreProbe.stepNormal;
        const float *Q = tyreProbe.stepPosition;
        float T1[3];
        Cross3(N, D, T1);
        const float crossLength = std::sqrt(Dot3(T1, T1));
        // An axle along the ground normal (a wheel lying flat) has no rolling
        // direction: no ground contact in this sub-step.
        if (crossLength >= MinRollCross) {
            for (float &v : T1)
                v /= crossLength;
            float T2[3];
            Cross3(T1, N, T2);
            const float dn = Dot3(D, N);
            camberSine = dn;
            for (int i = 0; i < 3; i++) {
                rollDirection[i] = T1[i];
                in.normal[i] = N[i];
                in.rollDirection[i] = T1[i];
                in.lateralDirection[i] = T2[i];
            }
            in.camberSine = dn;

            // The crown's lowest point moves across as the wheel leans over,
            // never beyond the tread's edge, fading out past 60 degrees.
            const float cosLean = std::sqrt(std::max(0.0f, 1.0f - dn * dn));
            float V[3];
            for (int i = 0; i < 3; i++)
                V[i] = (-dn * T2[i] + (cosLean - 1.0f) * N[i]) * axle.crownRadius;
            const float across = std::fabs(Dot3(T2, V));
            if (across > h) {
                const float scale = h / across;
                for (float &v : V)
                    v *= scale;
            }
            const float lean = std::fabs(dn);
            if (lean > 0.866f) {
                const float scale = (1.0f - lean) * 7.4626865f;
                for (float &v : V)
                    v *= scale;
            }
            float C[3];
            float gap[3];
            for (int i = 0; i < 3; i++) {
                C[i] = P[i] + V[i];
                gap[i] = Q[i] - C[i];
            }
            const TreadSection *sections = tread[in.segment].sections;
            const float meanTread = (sections[0].thickness + sections[1].thickness + sections[2].thickness) / 3.0f;
            float d = Dot3(gap, N) + meanTread - newTread;

            if (!full) {
                // Rigid tyre: the travel follows the ground.
                if (flat)
                    d -= rimContact;
                compression += d;
                if (compression > 0.0f) {
                    compressionSpeed = inContact ? Clamp(d / dt, -MaxTravelSpeed, MaxTravelSpeed) * LightTravelFactor
                                                 : 0.0f;
                    UpdateSuspensionGeometry(axle);
                    contactWidth = axle.treadWidth;
                    for (int i = 0; i < 3; i++)
                        contactPoint[i] = C[i] + d * N[i];
                    normalForce = springRate * compression - gravity * unsprungMass;
                    tyreDeflection = 0.0f;
                    contact = true;
                }
            } else if (d > 0.0f) {
                // Radial damping of the tyre once it was already deflected.
                if (tyreDeflection != 0.0f)
                    normalForce = (d - tyreDeflection) * axle.tyreValues[2] * invDt;
                tyreDeflection = d;
                contactWidth = axle.treadWidth;
                for (int i = 0; i < 3; i++)
                    contactPoint[i] = C[i] + d * N[i];
                contact = true;
            }
        }
    }

    if (!contact) {
        if (!full) {
            compressionSpeed = 0.0f;
            compression = 0.0f;
            UpdateSuspensionGeometry(axle);
        }
        contactWidth = 0.0f;
        latDeflection = 0.0f;
        tyreDeflection = 0.0f;
        for (int i = 0; i < 3; i++) {
            contactForce[i] = 0.0f;
            rollDirection[i] = 0.0f;
            contactPoint[i] = P[i];
            lastReferencePoint[i] = P[i];
            deflection[i] = 0.0f;
        }
        friction = 0.0f;
        inContact = 0;
        frictionLimit = 0.0f;
        frictionRatio = 0.0f;
    } else {
        StepTyreContact(*this, axle, in);
        for (int i = 0; i < 3; i++)
            externalForce[i] += contactForce[i];
        if (tyreProbe.probe.otherBody != nullptr)
            PushOtherBody(tyreProbe.probe.otherBody, tyreProbe.probe.hitPoint, contactForce, dt);
    }

    // Side contact: the wheel's outer face against walls and bodies.
    const float *N2 = sideProbe.stepNormal;
    float E[3];
    const float reach = side * (h + axle.hubOffset);
    for (int i = 0; i < 3; i++)
        E[i] = centreWorld[i] + D[i] * reach;
    float p = 0.0f;
    if (sideHit) {
        float gap[3];
        for (int i = 0; i < 3; i++)
            gap[i] = sideProbe.stepPosition[i] - E[i];
        p = Dot3(gap, N2);
    }
    if (p > 0.0f) {
        for (int i = 0; i < 3; i++)
            E[i] += p * N2[i];
        float k = car != nullptr ? car->stiffness : 0.0f;
        float c = car != nullptr ? car->damping : 0.0f;
        RigidBody *other = sideProbe.probe.otherBody;
        if (other != nullptr) {
            k = std::min(k, other->stiffness);
            c = std::min(c, other->damping);
        }
        float Ft[3];
        for (int i = 0; i < 3; i++)
            Ft[i] = k * (sideAnchor[i] - E[i]);
        const float speed = Clamp((p - sideDepth) * invDt, -MaxSidePenetrationSpeed, MaxSidePenetrationSpeed);
        sideDepth = p;
        const float Fn = k * p + speed * c;
        const float limit = sideProbe.stepSurface * (car != nullptr ? car->friction : 0.0f) * Fn;
        if (limit * limit >= 0.0001f) {
            // Sliding along the wall: the anchor follows the wheel. As at a
            // body's contact points the lengths are compared squared: a wheel
            // leaving the wall fast has a negative limit, which turns the
            // force round, and a spring of no length stays 0 instead of
            // becoming 0 x infinity.
            const float length2 = Dot3(Ft, Ft);
            if (length2 > limit * limit) {
                const float scale = limit / std::sqrt(length2);
                for (int i = 0; i < 3; i++) {
                    Ft[i] *= scale;
                    sideAnchor[i] = E[i] + Ft[i] / k;
                }
            }
        } else {
            for (int i = 0; i < 3; i++) {
                sideAnchor[i] = E[i];
                Ft[i] = 0.0f;
            }
        }
        float F[3];
        for (int i = 0; i < 3; i++) {
            F[i] = Fn * N2[i] + Ft[i];
            contactForce[i] += F[i];
        }
        if (other != nullptr)
            PushOtherBody(other, sideProbe.probe.hitPoint, F, dt);
        sideInContact = 1;
    } else {
        for (int i = 0; i < 3; i++)
            sideAnchor[i] = E[i];
        sideDepth = 0.0f;
        sideInContact = 0;
    }

    // Spring, damper and anti-roll bar against the forces on the unsprung
    // mass along the travel; the bump stops pass everything to the body.
    float U[3];
    MatVec3(carMatrix, travelDirection, U);
    float f = 0.0f;
    if (suspensionType != 0) {
        const float damping = compressionSpeed > 0.0f ? bumpDamping : reboundDamping;
        f = Dot3(U, externalForce) - (damping * compressionSpeed + springRate * compression - antiRollForce);
        if ((f <= 0.0f && compression <= 0.0f) || (f > 0.0f && compression >= maxTravel))
            f = 0.0f;
        for (int i = 0; i < 3; i++)
            contactForce[i] -= f * U[i];
    }

    if (full) {
        compressionSpeed = Clamp(compressionSpeed + f / unsprungMass * dt, -MaxTravelSpeed, MaxTravelSpeed);

        // Vertical overload bends the suspension, then breaks it.
        if (springState != 3) {
            const float fv = Dot3(U, contactForce);
            if (fv > verticalForceLimit) {
                const float x = fv / verticalForceLimit - 1.0f;
                travelDamage += x * x * verticalDamageRate * R * dt;
                const float most = TravelDamageLimit * R;
                if (travelDamage > most) {
                    travelDamage = most;
                    BreakSuspension();
                } else {
                    springState = 2;
                }
            }
        }

        // Lateral overload bends the steering (with a side contact pushing)
        // and shortens the arms.
        if (side != 0.0f) {
            float outward[3];
            for (int i = 0; i < 3; i++)
                outward[i] = D[i] * side;
            const float fl = -Dot3(outward, contactForce);
            if (fl > lateralForceLimit) {
                const float over = fl / lateralForceLimit - 1.0f;
                const float x = over * over;
                float wa = 1.0f;
                float wb = 0.0f;
                if (sideInContact) {
                    if (toeState != 3) {
                        const float carY[3] = {carMatrix[1], carMatrix[4], carMatrix[7]};
                        toe -= Dot3(N2, carY) * ToeDamageGain * x * dt;
                        if (toe > ToeDamageLimit || toe < -ToeDamageLimit) {
                            toe = Clamp(toe, -ToeDamageLimit, ToeDamageLimit);
                            toeState = 3;
                        } else {
                            toeState = 2;
                        }
                    }
                    if (suspensionType == 4) {
                        // A push from below bends the lower arm, one level
                        // with the wheel both arms.
                        const float carZ[3] = {carMatrix[2], carMatrix[5], carMatrix[8]};
                        wb = (1.0f - Dot3(N2, carZ)) * 0.5f;
                        wa = 1.0f - wb;
                    }
                }
                if ((suspensionType == 3 || suspensionType == 4) && wa != 0.0f && lowerArmState != 3)
                    DamageArm(lowerArmDamage, lowerArmState,
                              x * lateralDamageRate * wa * dt * axle.firstArmLength, axle.firstArmLength);
                if (suspensionType == 4 && wb != 0.0f && upperArmState != 3)
                    DamageArm(upperArmDamage, upperArmState,
                              x * lateralDamageRate * wb * dt * axle.secondArmLength, axle.secondArmLength);
            }
        }
    }

    for (int i = 0; i < 3; i++)
        contactForce[i] += entry[i];

    StepTyreDrag(*this, in);

    // The front tyres' forces turn the wheels about their steering axes.
    if (full && axleIndex == 1) {
        float arm[3];
        for (int i = 0; i < 3; i++)
            arm[i] = contactPoint[i] - centreWorld[i];
        float moment[3];
        Cross3(arm, contactForce, moment);
        float axis[3];
        MatVec3(carMatrix, steerAxis, axis);
        *steerTorque += Dot3(moment, axis);
    }

    // Rotation: drive and tyre torques, then the brake, which holds the
    // wheel rather than turning it backwards.
    const float a = dt / inertia;
    float w = angularVelocity + a * torque;
    const float b = a * brakeTorque;
    if (std::fabs(w) > b)
        w = w > 0.0f ? w - b : w + b;
    else
        w = 0.0f;
    angularVelocity = w;
    rotationStep = dt * w;
    // A solid axle's wheels are turned together by the wheel pass.
    const bool solid = car != nullptr && axleIndex < 2 && car->solidAxle[axleIndex] != 0;
    if (!solid) {
        rotation += rotationStep;
        if (rotation > RotationLimit)
            rotation -= RotationWrap;
        else if (rotation < -RotationLimit)
            rotation += RotationWrap;
    }
}
