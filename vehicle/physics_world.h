#pragma once

#include <cstdint>

class RigidBody;
class CarObject;

constexpr int MaxPhysicsBodies = 80;

// The bodies stepped together in ticks of 0.01 s: the race cars that are not
// resting, the movable track objects that were touched or knocked, and any
// other body added. The game session owns the one world; the world does not
// own its bodies.
struct PhysicsWorld {
    PhysicsWorld();
    ~PhysicsWorld();
    PhysicsWorld(const PhysicsWorld &) = delete;
    PhysicsWorld &operator=(const PhysicsWorld &) = delete;

    // Every field 0 (the next step re-arms the warning).
    void Clear();
    // Starts over with every car of the race slots, in slot order.
    void AddRaceCars();
    // Appends without checks; 0 when 80 bodies are held.
    int Add(RigidBody *body);
    // Takes the body out, keeping the order of the others; 0 when not held.
    int Remove(RigidBody *body);
    // Joins a body to a tick under way; 0 when it is held already or the
    // world is full ("Too many physics objects", shown once until the count
    // drops below 33 again).
    int AddBody(RigidBody *body);
    // Adds `other` when it is within reach of `body` and both pass the
    // separation test.
    int TryWake(RigidBody *body, RigidBody *other);
    // One 0.01 s tick; lastTickOfFrame is non-zero on the last tick of a frame.
    void Step(int lastTickOfFrame);

    uint32_t warnArmed;
    int32_t bodyCount;
    RigidBody *bodies[MaxPhysicsBodies];
};

// The physics world in use (set by its constructor, cleared by its destructor).
extern PhysicsWorld *CurrentPhysicsWorld;
// The car whose collision query is running inside the step, else null.
extern CarObject *CollidingCar;
// Non-zero while a remote car is stepped forward through missed ticks:
// collision queries then skip body-to-body contacts.
extern int ExtrapolatingRemoteCar;
