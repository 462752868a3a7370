#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/shell_globals.h"
#include "tests/world/world_scene.h"
#include "vehicle/collision_hull.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/rigid_body.h"
#include "vehicle/world_query.h"

namespace {

// How many squares of the object grid list each object, and the nodes in use.
std::map<const DuplicatorObject *, int> CountListings(const World &world, int &nodes)
{
    std::map<const DuplicatorObject *, int> listings;
    nodes = 0;
    for (const ObjectGridNode *head : world.objectGrid) {
        for (const ObjectGridNode *node = head; node; node = node->next) {
            EXPECT_NE(node->object, nullptr);
            ++listings[node->object];
            ++nodes;
        }
    }
    return listings;
}

} // namespace

TEST(ObjectGrid, PoolNeverRunsDryWhenEveryObjectStraddlesFourSquares)
{
    TestWorld scene;
    scene.MakeHolders(1);
    MakeBoxHolder(scene.Holder(0), "crate", HolderMovable);
    // Every object on a corner where four squares meet.
    std::vector<DuplicatorObject *> copies;
    for (int k = 0; k < 12; ++k) {
        copies.push_back(scene.Place(0, -70.0f + 10.0f * static_cast<float>(k), -60.0f + 10.0f * (k % 3)));
    }
    scene.world->BuildObjectGrid();
    ASSERT_EQ(scene.world->movableObjectCount, 12);
    EXPECT_EQ(scene.world->objectGridCapacity, 12 * 4);

    // Move every object from corner to corner; the pool is exactly full
    // after each round, so each take has to find the one free node left.
    for (int round = 0; round < 20; ++round) {
        for (size_t k = 0; k < copies.size(); ++k) {
            DuplicatorObject *copy = copies[k];
            scene.world->GridRemoveObject(copy);
            const int step = static_cast<int>((k * 7 + static_cast<size_t>(round) * 3) % 13);
            copy->body->position.x = Fix(-60.0f + 10.0f * static_cast<float>(step));
            copy->body->position.y = Fix(-70.0f + 10.0f * static_cast<float>((step + round) % 14));
            scene.world->GridAddObject(copy);
        }
        int nodes = 0;
        const auto listings = CountListings(*scene.world, nodes);
        EXPECT_EQ(nodes, 48) << "round " << round;
        for (const DuplicatorObject *copy : copies) {
            const auto found = listings.find(copy);
            ASSERT_NE(found, listings.end()) << "round " << round;
            EXPECT_EQ(found->second, 4) << "round " << round;
        }
    }
}

TEST(ObjectGrid, BuildGathersMovableCopiesOfTheConfigurationInsideTheGrid)
{
    TestWorld scene;
    scene.MakeHolders(2);
    MakeBoxHolder(scene.Holder(0), "crate", HolderMovable);
    MakeBoxHolder(scene.Holder(1), "wall", HolderStatic);
    DuplicatorObject *movable = scene.Place(0, 5.0f, 5.0f);
    DuplicatorObject *fixed = scene.Place(1, 15.0f, 5.0f);
    DuplicatorObject *outside = scene.Place(0, 200.0f, 5.0f);
    DuplicatorObject *elsewhere = scene.Place(0, 25.0f, 5.0f);
    elsewhere->configMask = ConfigMaskAlways | 1u << 3;
    DuplicatorObject *bare = scene.Add(new DuplicatorObject(Fix(35.0f), Fix(5.0f)));

    scene.world->BuildObjectGrid();
    ASSERT_EQ(scene.world->movableObjectCount, 1);
    EXPECT_EQ(scene.world->movableObjects[0], movable);
    EXPECT_NE(movable->body, nullptr);
    for (const DuplicatorObject *copy : {fixed, outside, elsewhere, bare}) {
        EXPECT_EQ(copy->body, nullptr);
    }
    EXPECT_EQ(scene.world->objectGrid[8 * 16 + 8]->object, movable);

    // Freeing clears the draw state bytes and the bodies, and empties the grid.
    movable->knocked = 1;
    movable->frozen = 1;
    scene.world->FreeObjectGrid();
    EXPECT_EQ(movable->knocked, 0);
    EXPECT_EQ(movable->frozen, 0);
    EXPECT_EQ(movable->body, nullptr);
    EXPECT_EQ(scene.world->movableObjectCount, 0);
    EXPECT_EQ(scene.world->objectGridCapacity, 0);
    EXPECT_EQ(scene.world->objectGridPool, nullptr);
    for (const ObjectGridNode *head : scene.world->objectGrid) {
        EXPECT_EQ(head, nullptr);
    }
}

TEST(ObjectGrid, DedicatedHostBuildsNoMovableObjects)
{
    TestWorld scene;
    scene.MakeHolders(1);
    MakeConeHolder(scene.Holder(0), HolderMovable);
    DuplicatorObject *cone = scene.Place(0, 5.0f, 5.0f);
    const int saved = DedicatedMode;
    DedicatedMode = DedicatedWithGraphics;
    scene.world->BuildObjectGrid();
    DedicatedMode = saved;
    EXPECT_EQ(scene.world->movableObjectCount, 0);
    EXPECT_EQ(cone->body, nullptr);
}

TEST(ObjectGrid, RebuildEmptiesThePhysicsWorldAndGivesFreshBodies)
{
    TestWorld scene;
    scene.MakeHolders(1);
    MakeConeHolder(scene.Holder(0), HolderMovable);
    DuplicatorObject *cone = scene.Place(0, 5.0f, 5.0f);
    PhysicsWorld physics;
    scene.world->BuildObjectGrid();
    ASSERT_NE(cone->body, nullptr);
    physics.Add(cone->body);
    cone->knocked = 1;

    scene.world->RebuildObjectGrid();
    EXPECT_EQ(physics.bodyCount, 0);
    ASSERT_NE(cone->body, nullptr);
    EXPECT_EQ(cone->knocked, 0);
    EXPECT_EQ(scene.world->movableObjectCount, 1);
    int nodes = 0;
    EXPECT_EQ(CountListings(*scene.world, nodes)[cone], 1);

    // A body still held by the physics world leaves it when it is freed.
    physics.Add(cone->body);
    cone->FreeBody();
    EXPECT_EQ(physics.bodyCount, 0);
    ClearObjectGrid(scene.world);
    EXPECT_EQ(scene.world->movableObjectCount, 0);
}

namespace {

uint32_t RaceTick = 0;

// A plain moving body: a 0.6 m box sliding along x.
struct Ball : RigidBody {
    Ball() : RigidBody(1, 1, nullptr)
    {
        Object3D shape;
        InitObject3D(&shape);
        BuildBoxObject(shape, "ball", 0.3f, 0.3f, 0.6f, 1, 1);
        EXPECT_STREQ(BuildCollisionHull(&shape, this, 1.0f, 0xFFFFFFFFu), ": OK");
        FreeObject3D(&shape);
        stiffness = 20000.0f;
        friction = 0.7f;
        damping = 400.0f;
        ComputeBounds();
        EXPECT_EQ(ComputeMassFromPoints(5.0f), 1);
        for (int i = 0; i < 9; ++i) {
            orientation[i] = predictedOrientation[i] = i % 4 == 0 ? 1.0f : 0.0f;
        }
    }
    ~Ball() override { FreeGeometry(); }
};

bool InGrid(const World &world, const DuplicatorObject *copy)
{
    int nodes = 0;
    return CountListings(world, nodes).count(copy) != 0;
}

} // namespace

// A resting cone is woken and knocked by a moving body, leaves the grid,
// freezes at its eighth count of 100 ticks and goes home into the grid.
TEST(ObjectGrid, KnockedConeFreezesAndGoesHome)
{
    TestWorld scene;
    scene.MakeHolders(1);
    // Only a dynamic body is set moving by contacts.
    MakeConeHolder(scene.Holder(0), HolderMovableDynamic, 8, 0.3f, 0.7f);
    DuplicatorObject *cone = scene.Place(0, 0.0f, 0.0f);
    const RaceHooks savedHooks = VehicleRaceHooks;
    VehicleRaceHooks = {};
    VehicleRaceHooks.raceTick = [] { return RaceTick; };
    PhysicsWorld physics;
    scene.world->BuildObjectGrid();
    ASSERT_NE(cone->body, nullptr);
    ASSERT_TRUE(InGrid(*scene.world, cone));

    Ball ball;
    ball.position = ball.predictedPosition = {Fix(-2.0f), 0, Fix(0.05f)};
    ball.ResetState();
    ball.velocity[0] = 6.0f;
    ASSERT_EQ(physics.AddBody(&ball), 1);

    int knockedAt = -1, frozenAt = -1, homeAt = -1;
    for (RaceTick = 150; RaceTick <= 1400 && homeAt < 0; ++RaceTick) {
        physics.Step(0);
        if (knockedAt < 0 && cone->knocked) {
            knockedAt = static_cast<int>(RaceTick);
            EXPECT_FALSE(InGrid(*scene.world, cone));
        }
        if (frozenAt < 0 && cone->frozen) {
            frozenAt = static_cast<int>(RaceTick);
            physics.Remove(&ball);   // the ball must not keep the cone from going home
        }
        if (knockedAt >= 0 && !cone->knocked) {
            homeAt = static_cast<int>(RaceTick);
        }
    }
    VehicleRaceHooks = savedHooks;
    ASSERT_GE(knockedAt, 0);
    ASSERT_GE(frozenAt, 0);
    EXPECT_EQ(frozenAt % 100, 0);
    EXPECT_GE(frozenAt - knockedAt, 700);
    ASSERT_GE(homeAt, 0);
    EXPECT_EQ(homeAt % 100, 0);
    EXPECT_EQ(cone->frozen, 0);
    ASSERT_NE(cone->body, nullptr);
    EXPECT_EQ(cone->body->position.x, 0);
    EXPECT_EQ(cone->body->position.y, 0);
    EXPECT_EQ(cone->body->moving, 0);
    EXPECT_TRUE(InGrid(*scene.world, cone));
    physics.Clear();
}
