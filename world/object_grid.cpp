// The object grid: per map square, the movable objects (copies of movable
// duplicators with a physics body) whose body's circle touches it. Nodes come
// from one pool sized when the grid is built, so moving objects relink nodes
// without allocating.
#include <cassert>
#include <cstring>

#include "core/shell_globals.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/rigid_body.h"
#include "world/duplicator_object.h"
#include "world/layout.h"
#include "world/object_holder.h"
#include "world/world.h"

void World::BuildObjectGrid()
{
    if (DedicatedMode != DedicatedNone) {
        return;
    }
    // A grid still standing would be lost: its bodies and pool go first.
    if (objectGridPool || movableObjects) {
        FreeObjectGrid();
    }
    movableObjectCount = 0;
    objectGridCapacity = 0;
    objectGridCursor = 0;
    const int32_t cw = cellSize[0];
    const int32_t ch = cellSize[1];
    DuplicatorObject **listed = new DuplicatorObject *[objectCount > 0 ? objectCount : 1];
    int count = 0;
    for (int n = 0; n < objectCount; ++n) {
        WorldObject *object = objects[n];
        if (!object || !ConfigMaskHas(object->configMask, config, reversed) || !object->HasLitMesh() ||
            object->GetType() != ObjectDuplicator) {
            continue;
        }
        auto *copy = static_cast<DuplicatorObject *>(object);
        copy->CreateBody();
        if (!copy->body) {
            continue;
        }
        int i0, i1, j0, j1;
        if (cw > 0 && ch > 0 && GetBodyGridRange(i0, i1, j0, j1, copy)) {
            listed[count++] = copy;
            const int32_t diameter = MetresToFix(copy->body->radius * 2.0f);
            objectGridCapacity += (diameter / ch + 2) * (diameter / cw + 2);
        } else {
            copy->FreeBody();
        }
    }
    if (count == 0) {
        delete[] listed;
        objectGridCapacity = 0;
        return;
    }
    objectGridPool = new ObjectGridNode[objectGridCapacity]();
    movableObjects = listed;
    movableObjectCount = count;
    for (int n = 0; n < count; ++n) {
        GridAddObject(movableObjects[n]);
    }
}

void World::GridAddObject(DuplicatorObject *object)
{
    int i0, i1, j0, j1;
    if (!GetBodyGridRange(i0, i1, j0, j1, object)) {
        return;
    }
    for (int j = j0; j <= j1; ++j) {
        for (int i = i0; i <= i1; ++i) {
            TakeGridNode(i, j, object);
        }
    }
}

void World::GridRemoveObject(DuplicatorObject *object)
{
    int i0, i1, j0, j1;
    if (!GetBodyGridRange(i0, i1, j0, j1, object)) {
        return;
    }
    for (int j = j0; j <= j1; ++j) {
        for (int i = i0; i <= i1; ++i) {
            ReleaseGridNode(i, j, object);
        }
    }
}

void World::TakeGridNode(int i, int j, DuplicatorObject *object)
{
    if (objectGridCapacity <= 0) {
        return;
    }
    // The capacity covers every square each body can touch, so a free node
    // exists; one lap of the pool finds it, and a lap without one means that
    // rule was broken.
    int tries = 0;
    while (objectGridPool[objectGridCursor].object != nullptr) {
        if (++tries >= objectGridCapacity) {
            assert(!"object grid pool has no free node");
            return;
        }
        objectGridCursor = objectGridCursor + 1 < objectGridCapacity ? objectGridCursor + 1 : 0;
    }
    ObjectGridNode &node = objectGridPool[objectGridCursor];
    ObjectGridNode *&head = objectGrid[j * WorldGridSize + i];
    node.object = object;
    node.next = head;
    head = &node;
}

void World::ReleaseGridNode(int i, int j, DuplicatorObject *object)
{
    for (ObjectGridNode **link = &objectGrid[j * WorldGridSize + i]; *link; link = &(*link)->next) {
        ObjectGridNode *node = *link;
        if (node->object == object) {
            *link = node->next;
            node->next = nullptr;
            node->object = nullptr;
            return;
        }
    }
}

void World::FreeObjectGrid()
{
    for (int n = 0; n < objectCount; ++n) {
        WorldObject *object = objects[n];
        if (!object || !object->HasLitMesh()) {
            continue;
        }
        auto *lit = static_cast<LitMeshObject *>(object);
        lit->knocked = 0;
        lit->frozen = 0;
        if (object->GetType() == ObjectDuplicator) {
            static_cast<DuplicatorObject *>(object)->FreeBody();
        }
    }
    if (movableObjectCount == 0 && !movableObjects && !objectGridPool) {
        return;
    }
    delete[] movableObjects;
    movableObjects = nullptr;
    delete[] objectGridPool;
    objectGridPool = nullptr;
    movableObjectCount = 0;
    objectGridCursor = 0;
    objectGridCapacity = 0;
    std::memset(static_cast<void *>(objectGrid), 0, sizeof objectGrid);
}

void World::RebuildObjectGrid()
{
    FreeObjectGrid();
    if (CurrentPhysicsWorld) {
        CurrentPhysicsWorld->Clear();
    }
    BuildObjectGrid();
    if (CurrentPhysicsWorld) {
        CurrentPhysicsWorld->AddRaceCars();
    }
}

void World::ReleaseDuplicatorMeshes()
{
    for (int n = 0; n < duplicatorCount; ++n) {
        duplicators[n].FreeModel();
    }
}

void ClearObjectGrid(World *world)
{
    world->FreeObjectGrid();
    if (CurrentPhysicsWorld) {
        CurrentPhysicsWorld->Clear();
    }
    ClearLayoutObjects(world);
}
