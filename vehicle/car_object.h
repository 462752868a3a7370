#pragma once

#include <cstdint>

#include "vehicle/aero_surface.h"
#include "vehicle/car_engine.h"
#include "vehicle/rigid_body.h"

class WorldObject;

// A car: the rigid body of type 1 with the members that the physics world
// reads. Its own step, resting step and state flags come with the car model;
// until then a car stays where it is.
class CarObject : public RigidBody {
public:
    CarObject();

    int GetType() const override;
    void Step(float dt, float gravity) override;

    // The sum of input words 0, 1, 2, 11 and 12, plus 1024 while any of words
    // 3, 4, 9 or 10 is non-zero.
    int32_t InputActivity() const;
    // The light step of a car outside the body list.
    void RestingStep();
    void UpdateStateFlags();
    void StepCycleTimer();
    // Drawing state of the last frame, and the objects it touched.
    void ResetDrawState();
    void AddTouchedObject(WorldObject *object);

    uint16_t inputs[18];
    float speed;
    CarEngine engine;
    uint32_t stepCount;
    uint32_t isRemote;
    uint8_t standstillCount;
    int32_t lastInputActivity;
    uint32_t raceStartTick;
    uint32_t lapStartTick;
    uint8_t nextLine;
    // The wake that following cars feel: the air direction (unit, or 0 at
    // rest in still air), the half-width, the reach along the air direction
    // and the reach against it (negative), and the car's velocity.
    float airDirection[3];
    float wake[3];
    float wakeVelocity[3];
    float dragTotal;
    AeroSurface wings[4];
};

// Whether a car outside the body list keeps resting: no engine start request,
// speed and engine speed both +0.0 exactly, and an input activity within 511
// of the last one recorded.
int IsCarResting(uint16_t startRequest, float speed, float engineSpeed, int32_t inputActivity,
                 int32_t lastInputActivity);

// The slipstream of a leading car on a following one: adds the leader's wake
// to the follower's surfaces in use. Nothing happens when the leader's air
// direction is steep (|z| >= 0.5) or the follower lies outside the wake.
// Returns 1 when the follower's surfaces were given the wake.
int ApplySlipstream(const FixVector &followerPosition, AeroSurface wings[4], const FixVector &leaderPosition,
                    const float airDirection[3], const float wake[3], const float wakeVelocity[3],
                    float dragTotal);
