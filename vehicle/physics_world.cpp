#include "vehicle/physics_world.h"

#include <cmath>

#include "vehicle/car_object.h"
#include "vehicle/car_sound_feed.h"
#include "vehicle/fix_convert.h"
#include "vehicle/race_hooks.h"
#include "vehicle/rigid_body.h"
#include "vehicle/world_query.h"

PhysicsWorld *CurrentPhysicsWorld = nullptr;
CarObject *CollidingCar = nullptr;
int ExtrapolatingRemoteCar = 0;

namespace {

constexpr float TickSeconds = 0.01f;
constexpr int MaxRestingCars = 32;

// Gravity when no world answers (the step runs only with a world loaded, but
// tests and tools may drive it without one).
constexpr float DefaultGravity = -9.81f;

// Heights outside which a plain body leaves the world (16.16: -20 m, 80 m).
constexpr int32_t LowestBodyZ = -0x140000;
constexpr int32_t HighestBodyZ = 0x500000;

int IsHeld(const PhysicsWorld &world, const RigidBody *body) {
    for (int i = 0; i < world.bodyCount; i++) {
        if (world.bodies[i] == body)
            return 1;
    }
    return 0;
}

// Takes body `index` out by moving the last body into its place.
void RemoveAt(PhysicsWorld &world, int index) {
    world.bodyCount--;
    world.bodies[index] = world.bodies[world.bodyCount];
    world.bodies[world.bodyCount] = nullptr;
}

// The wakes of the other active cars of the race slots on car b.
void ApplySlipstreams(CarObject &b) {
    const int slots = RaceSlotCount();
    for (int slot = 0; slot < slots; slot++) {
        const CarObject *c = RaceSlotCar(slot);
        if (c == nullptr || c == &b || !c->active)
            continue;
        ApplySlipstream(b.predictedPosition, b.wings, c->predictedPosition, c->airDirection, c->wake,
                        c->wakeVelocity, c->dragTotal);
    }
}

}  // namespace

PhysicsWorld::PhysicsWorld() : warnArmed(0), bodyCount(0), bodies{} {
    CurrentPhysicsWorld = this;
}

PhysicsWorld::~PhysicsWorld() {
    if (CurrentPhysicsWorld == this)
        CurrentPhysicsWorld = nullptr;
}

void PhysicsWorld::Clear() {
    warnArmed = 0;
    bodyCount = 0;
    for (int i = 0; i < MaxPhysicsBodies; i++)
        bodies[i] = nullptr;
}

void PhysicsWorld::AddRaceCars() {
    warnArmed = 1;
    bodyCount = 0;
    const int slots = RaceSlotCount();
    for (int slot = 0; slot < slots; slot++) {
        CarObject *car = RaceSlotCar(slot);
        if (car != nullptr)
            Add(car);
    }
}

int PhysicsWorld::Add(RigidBody *body) {
    if (bodyCount >= MaxPhysicsBodies)
        return 0;
    bodies[bodyCount++] = body;
    return 1;
}

int PhysicsWorld::Remove(RigidBody *body) {
    for (int i = 0; i < bodyCount; i++) {
        if (bodies[i] != body)
            continue;
        for (int j = i + 1; j < bodyCount; j++)
            bodies[j - 1] = bodies[j];
        bodyCount--;
        bodies[bodyCount] = nullptr;
        return 1;
    }
    return 0;
}

int PhysicsWorld::AddBody(RigidBody *body) {
    if (IsHeld(*this, body))
        return 0;
    if (bodyCount >= MaxPhysicsBodies) {
        if (warnArmed) {
            VehiclePrintWarning("Too many physics objects");
            warnArmed = 0;
        }
        return 0;
    }
    bodies[bodyCount++] = body;
    body->PreStep(TickSeconds);
    return 1;
}

int PhysicsWorld::TryWake(RigidBody *body, RigidBody *other) {
    const float d[3] = {
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(other->predictedPosition.x) -
                                         static_cast<uint32_t>(body->predictedPosition.x))),
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(other->predictedPosition.y) -
                                         static_cast<uint32_t>(body->predictedPosition.y))),
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(other->predictedPosition.z) -
                                         static_cast<uint32_t>(body->predictedPosition.z))),
    };
    const float reach = body->radius + other->radius;
    if (!(d[0] * d[0] + d[1] * d[1] + d[2] * d[2] < reach * reach))
        return 0;
    if (!body->MayTouch(*other) || !other->MayTouch(*body))
        return 0;
    return AddBody(other);
}

void PhysicsWorld::Step(int lastTickOfFrame) {
    const float dt = TickSeconds;
    WorldQuery *world = LoadedWorldQuery();

    // 1. Race cars: resting ones stay out of the list for a light step.
    CarObject *resting[MaxRestingCars];
    int restingCount = 0;
    const int slots = RaceSlotCount();
    for (int slot = 0; slot < slots; slot++) {
        CarObject *car = RaceSlotCar(slot);
        if (car == nullptr || car->moving)
            continue;
        if (IsCarResting(car->inputs[5], car->speed, car->engine.speed, car->InputActivity(),
                         car->lastInputActivity)) {
            if (restingCount < MaxRestingCars)
                resting[restingCount++] = car;
        } else if (AddBody(car)) {
            car->moving = 1;
            car->standstillCount = 0;
        }
    }

    // 2. Prediction.
    for (int i = 0; i < bodyCount; i++)
        bodies[i]->PreStep(dt);

    // 3. Waking: resting objects and cars near the bodies held at the start.
    const int held = bodyCount;
    for (int n = 0; n < held; n++) {
        RigidBody *body = bodies[n];
        if (!body->active)
            continue;
        const int32_t r = MetresToFix(body->radius);
        int i0, i1, j0, j1;
        if (world != nullptr &&
            world->GetGridRange(i0, i1, j0, j1, body->predictedPosition.x, body->predictedPosition.y, r)) {
            for (int j = j0; j <= j1; j++) {
                for (int i = i0; i <= i1; i++) {
                    for (const ObjectGridNode *node = world->GetGridSquare(i, j); node != nullptr; node = node->next) {
                        if (node->object == nullptr)
                            continue;
                        RigidBody *other = world->GetBody(node->object);
                        if (other != nullptr)
                            TryWake(body, other);
                    }
                }
            }
        }
        for (int k = 0; k < restingCount; k++) {
            if (!TryWake(body, resting[k]))
                continue;
            resting[k]->moving = 1;
            resting[k]->standstillCount = 0;
            for (int m = k + 1; m < restingCount; m++)
                resting[m - 1] = resting[m];
            restingCount--;
            k--;
        }
    }

    // 4.
    if (bodyCount < 33)
        warnArmed = 1;

    // 5. Collision queries.
    for (int i = 0; i < bodyCount; i++) {
        RigidBody *body = bodies[i];
        if (!body->dynamic)
            continue;
        if (body->GetType() == 1)
            CollidingCar = static_cast<CarObject *>(body);
        body->Collide(dt, lastTickOfFrame);
        CollidingCar = nullptr;
    }

    // 6. Motion.
    const float g = world != nullptr ? world->GetGravity() : DefaultGravity;
    for (int i = 0; i < bodyCount; i++) {
        RigidBody *body = bodies[i];
        if (body->GetType() != 1) {
            body->Step(dt, g);
            continue;
        }
        CarObject *car = static_cast<CarObject *>(body);
        ApplySlipstreams(*car);
        car->Step(dt, g);
        car->stepCount++;
        if (world != nullptr && world->IsStartOverride() && car->stepCount == car->raceStartTick) {
            car->lapStartTick = car->stepCount;
            car->nextLine = 2;
        }
    }

    // 7. Resting cars.
    for (int k = 0; k < restingCount; k++) {
        CarObject *car = resting[k];
        car->StepCycleTimer();
        if (!car->isRemote) {
            car->UpdateStateFlags();
            car->RestingStep();
        }
        car->stepCount++;
    }

    // 8. Knocked objects: counted every 100 ticks, frozen at the eighth
    // count, sent home once nothing is near their places.
    uint32_t tick = 0;
    if (world != nullptr && GetRaceTick(&tick) && tick % 100 == 0) {
        const int movableCount = world->GetMovableCount();
        for (int m = 0; m < movableCount; m++) {
            DuplicatorObject *object = world->GetMovableObject(m);
            if (object == nullptr || !world->GetKnocked(object))
                continue;
            RigidBody *body = world->GetBody(object);
            if (body == nullptr)
                continue;
            if (!world->GetFrozen(object)) {
                body->settleCount++;
                if (body->settleCount == 8) {
                    world->SetFrozen(object, 1);
                    for (int i = 0; i < bodyCount; i++) {
                        if (bodies[i] == body) {
                            RemoveAt(*this, i);
                            break;
                        }
                    }
                    if (!body->moving)
                        world->GridRemoveObject(object);
                }
                continue;
            }
            int32_t x, y;
            world->GetHomePosition(object, x, y);
            const int clearance = body->radius >= 0.0f && body->radius < 1.0e6f ? static_cast<int>(body->radius) : 0;
            int near = 0;
            for (int i = 0; i < bodyCount && !near; i++)
                near = bodies[i]->IsNearPoint(x, y, clearance);
            for (int k = 0; k < restingCount && !near; k++)
                near = resting[k]->IsNearPoint(x, y, clearance);
            if (near)
                continue;
            // A frozen body has left the list already; never keep a freed one.
            for (int i = 0; i < bodyCount; i++) {
                if (bodies[i] == body) {
                    RemoveAt(*this, i);
                    break;
                }
            }
            world->FreeBody(object);
            world->CreateBody(object);
            world->GridAddObject(object);
            world->SetFrozen(object, 0);
            world->SetKnocked(object, 0);
        }
    }

    // 9. Leaving: stopped bodies, and plain bodies outside -20 m .. 80 m.
    for (int i = 0; i < bodyCount;) {
        RigidBody *body = bodies[i];
        const bool outside =
            body->GetType() == 0 && (body->position.z < LowestBodyZ || body->position.z > HighestBodyZ);
        if (!body->moving || outside)
            RemoveAt(*this, i);
        else
            i++;
    }

    // 10.
    FeedCarSoundBuffer(lastTickOfFrame);
}
