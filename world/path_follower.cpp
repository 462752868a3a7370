#include "world/path_follower.h"

#include <cstring>

#include "core/colour.h"
#include "vehicle/car_object.h"
#include "world/path.h"
#include "world/world.h"
#include "world/world_messages.h"

namespace {

// The planes of one list written in, or XORed in.
void WriteList(uint8_t plane[VisibilityPlaneSize], const IdList &list)
{
    for (uint32_t i = 0; i < list.count; ++i) {
        const IdListEntry &entry = list.entries[i];
        if (entry.id < VisibilityPlaneSize) {
            plane[entry.id] = entry.mask;
        }
    }
}

void XorList(uint8_t plane[VisibilityPlaneSize], const IdList &list)
{
    for (uint32_t i = 0; i < list.count; ++i) {
        const IdListEntry &entry = list.entries[i];
        if (entry.id < VisibilityPlaneSize) {
            plane[entry.id] ^= entry.mask;
        }
    }
}

// Whether the plan point lies in the span from node i to node j.
bool InSpan(const PathNode &a, const PathNode &b, const int32_t point[3])
{
    const float ax = static_cast<float>(static_cast<int64_t>(point[0]) - a.position[0]) * (1.0f / 65536.0f);
    const float ay = static_cast<float>(static_cast<int64_t>(point[1]) - a.position[1]) * (1.0f / 65536.0f);
    const float bx = static_cast<float>(static_cast<int64_t>(point[0]) - b.position[0]) * (1.0f / 65536.0f);
    const float by = static_cast<float>(static_cast<int64_t>(point[1]) - b.position[1]) * (1.0f / 65536.0f);
    if (!(ax * a.direction[0] + ay * a.direction[1] >= 0.0f)) {
        return false;
    }
    if (!(bx * b.direction[0] + by * b.direction[1] < 0.0f)) {
        return false;
    }
    const float lateral = ax * a.direction[1] - ay * a.direction[0];
    return lateral > a.leftEdge - 2.0f && lateral < a.rightEdge + 2.0f;
}

} // namespace

void PathFollower::Reset()
{
    path = nullptr;
    node = 0;
    lost = 0;
    std::memset(planes, 0, sizeof planes);
    node = -1;
    const World *world = CurrentWorld;
    if (!world) {
        return;
    }
    int own = world->objectCount - world->layoutObjectCount;
    if (own < 0) {
        own = 0;
    }
    if (own < VisibilityPlaneSize) {
        for (uint8_t *plane : planes) {
            std::memset(plane + own, 0xFF, VisibilityPlaneSize - own);
        }
    }
}

int PathFollower::FindPosition(const int32_t point[3], int withDeltas)
{
    Reset();
    const World *world = CurrentWorld;
    if (!world) {
        lost = 1;
        return -1;
    }
    path = world->currentPath;
    if (!path) {
        if (world->config != 0) {
            WorldPrintMessage("BUG : No path to follow", ColourSalmon);
        }
        lost = 1;
        return -1;
    }
    if (path->lightMapCount != world->lightSchemeCount) {
        WorldPrintMessage("BUG : Path has wrong number of light schemes", ColourSalmon);
        lost = 1;
        return -1;
    }
    const int count = path->nodeCount;
    if (count < 1) {
        lost = 1;
        return -1;
    }
    if (withDeltas) {
        for (int k = 0; k < 3; ++k) {
            WriteList(planes[k], path->baseLists[k]);
        }
    }
    const int spans = (path->flags & PathClosedLoop) ? count : count - 1;
    for (int i = 0; i < spans; ++i) {
        if (withDeltas) {
            ApplyNodeDeltas(i);
        }
        const int j = (i + 1) % count;
        if (InSpan(path->nodes[i], path->nodes[j], point)) {
            node = i;
            return i;
        }
    }
    if (withDeltas) {
        WorldPrintMessage("Follower could not find position", ColourSalmon);
    }
    lost = 1;
    return -1;
}

int PathFollower::EnsurePosition(const int32_t point[3])
{
    if (lost) {
        return 1;
    }
    if (node != -1) {
        return 0;
    }
    FindPosition(point, 1);
    return lost;
}

int PathFollower::NextNodeIndex() const
{
    return NodeAfter(node);
}

int PathFollower::NodeAfter(int n) const
{
    if (!path || path->nodeCount < 1) {
        return -1;
    }
    return (n + 1) % path->nodeCount;
}

void PathFollower::ApplyNodeDeltas(int n)
{
    if (!path || n < 0 || n >= path->nodeCount) {
        return;
    }
    const PathNode &from = path->nodes[n];
    for (int k = 0; k < 3; ++k) {
        XorList(planes[k], from.deltas[k]);
    }
}

// ------------------------------------------------------ list upkeep

void World::AddObjectToPathLists(int objectIndex, int resetDrivers)
{
    if (resetDrivers) {
        ResetAiDrivers();
    }
    for (int c = 0; c < configCount; ++c) {
        for (IdList &list : configs[c].path.baseLists) {
            list.Add(objectIndex);
        }
    }
}

void World::RemoveObjectFromPathLists(int objectIndex, int resetDrivers)
{
    if (resetDrivers) {
        ResetAiDrivers();
    }
    for (int c = 0; c < configCount; ++c) {
        Path &path = configs[c].path;
        for (IdList &list : path.baseLists) {
            list.Remove(objectIndex);
        }
        for (int i = 0; i < path.nodeCount; ++i) {
            for (IdList &list : path.nodes[i].deltas) {
                list.Remove(objectIndex);
            }
        }
    }
}

void World::RenumberObjectInPathLists(int a, int b)
{
    for (int c = 0; c < configCount; ++c) {
        Path &path = configs[c].path;
        for (IdList &list : path.baseLists) {
            list.SwapIds(a, b);
        }
        for (int i = 0; i < path.nodeCount; ++i) {
            for (IdList &list : path.nodes[i].deltas) {
                list.SwapIds(a, b);
            }
        }
    }
}

namespace {

PathFollower *CreateCarFollower(CarObject *)
{
    return new PathFollower();
}

void DeleteCarFollower(PathFollower *follower)
{
    delete follower;
}

int32_t CarFollowerNode(const PathFollower *follower)
{
    return follower->node;
}

void ResetCarFollower(PathFollower *follower)
{
    follower->Reset();
}

int FindCarPosition(PathFollower *follower, const int32_t point[3])
{
    return follower->FindPosition(point, 1);
}

// The follower's node (next 0) or the node after it (next 1).
int CarFollowerPlace(const PathFollower *follower, int next, PathNodePlace *place)
{
    const Path *path = follower->path;
    if (path == nullptr || follower->node < 0 || follower->node >= path->nodeCount) {
        return 0;
    }
    const int index = next != 0 ? follower->NextNodeIndex() : follower->node;
    if (index < 0 || index >= path->nodeCount) {
        return 0;
    }
    const PathNode &node = path->nodes[index];
    for (int k = 0; k < 3; ++k) {
        place->position[k] = node.position[k];
        place->direction[k] = node.direction[k];
    }
    place->leftEdge = node.leftEdge;
    place->rightEdge = node.rightEdge;
    return 1;
}

} // namespace

void RegisterPathFollowerFactory()
{
    CarServices.createPathFollower = CreateCarFollower;
    CarServices.deletePathFollower = DeleteCarFollower;
    CarServices.pathFollowerNode = CarFollowerNode;
    CarServices.resetPathFollower = ResetCarFollower;
    CarServices.findPathPosition = FindCarPosition;
    CarServices.pathFollowerPlace = CarFollowerPlace;
}
