#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "vehicle/contact_probe.h"

class WorldObject;
class DuplicatorObject;
struct CollisionPoint;

// One hull triangle. Corners are ordered counter-clockwise seen from the side
// the normal points to (outside the body).
struct CollisionFace {
    float localNormal[3];
    float worldNormal[3];
    CollisionPoint *corners[3];
};

// A contact point of a hull: a penalty contact with a spring, a damper and a
// friction anchor once its probe has found a surface.
struct CollisionPoint {
    float local[3];       // body frame
    float force[3];       // contact force of the current sub-step
    float anchor[3];      // friction anchor, relative to the body's position (m)
    float lastDepth;      // penetration depth of the previous sub-step
    uint8_t phase;        // 0 no contact, 1 depth grew, 2 had grown and no longer grows
    uint8_t sliding;      // 1 when friction saturated in the last sub-step
    uint8_t contactKind;  // 0 none, 1 contact, 2 surface with flag bit 0
    ContactProbe probe;
    float previousContact[3];  // contact positions relative to position (m)
    float contact[3];
    float stepContact[3];
    float previousGrip;
    float grip;
    float stepGrip;
    float previousNormal[3];
    float contactNormal[3];
    float stepNormal[3];

    // Zeroes everything but `local`.
    void Clear();
};

// The one collidable body: cars, driver body parts and the movable objects of
// a track. Positions are 16.16 metres; everything else single-precision SI.
// Matrices are rows first, world = matrix x local.
class RigidBody {
public:
    RigidBody(uint8_t dynamic, uint8_t moving, DuplicatorObject *owner);
    virtual ~RigidBody() = default;
    RigidBody(const RigidBody &) = delete;
    RigidBody &operator=(const RigidBody &) = delete;

    // Virtual operations, in slot order.
    // 0 plain body, 1 car, 2 body part.
    virtual int GetType() const;
    virtual void CollideWithObject(WorldObject *object, uint8_t upper, uint8_t lowerFront, uint8_t lowerRear);
    // separation: from this body's predicted position to the other's.
    virtual void CollideWithBody(RigidBody *other, const FixVector &separation);
    virtual void CollideWithGround();
    virtual void FinishContacts();
    virtual void Step(float dt, float gravity);
    virtual void PreStep(float dt);
    virtual void PostStep();

    void ResetState();
    void ComputeBounds();
    // Mass properties of a hull shell of `density` kg per square metre from
    // the faces. Returns 0 and leaves the body unchanged when the mass is not
    // positive and finite or the inertia tensor is not positive definite
    // enough to invert (determinant not positive).
    int ComputeMassFromPoints(float density);
    void Collide(float dt, int lastTickOfFrame);
    // Quick separation test in the horizontal plane; 1 when the bodies may touch.
    int MayTouch(const RigidBody &other) const;
    // The probed line (endPoint - segment .. endPoint) against this body's faces.
    void IntersectSegment(const FixVector &endPoint, const FixVector &segment, ContactProbe &probe);
    // 1 when the body is at, or heading for, the ground point (x, y) (16.16),
    // with r a clearance in whole metres.
    int IsNearPoint(int32_t x, int32_t y, int r) const;
    // One sub-step of motion; the angular velocity is written to angularVelocity.
    void Integrate(float h, float angularVelocity[3]);
    void ComputeContactForces(float h);
    void FreeGeometry();
    void ClearGeometry();

    uint8_t dynamic;
    uint8_t moving;
    uint8_t touched;
    uint8_t active;
    uint32_t settleCount;
    float radius;
    float mass;
    // Local bounds: largest y, smallest y, largest x, smallest x, largest z.
    float maxY, minY, maxX, minX, maxZ;
    float centreOfMass[3];
    float inertia[9];
    float inverseInertia[9];
    FixVector position;
    float orientation[9];
    float stepOffset[3];
    float velocity[3];
    float angularMomentum[3];
    FixVector predictedPosition;
    float predictedOrientation[9];
    float force[3];
    float torque[3];
    float impulse[3];
    float angularImpulse[3];
    float stiffness;
    float friction;
    float damping;
    int32_t pointCount;
    CollisionPoint *points;
    int32_t faceCount;
    CollisionFace *faces;
    DuplicatorObject *owner;

private:
    void CollideWithObstacles(float dt);
};

// The probed line against the plane z = 0 (the ground without a world).
void ProbeGroundPlane(ContactProbe &probe);
