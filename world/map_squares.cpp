#include "world/map_squares.h"

#include <cstdint>
#include <cstring>

#include "vehicle/fix_convert.h"
#include "vehicle/rigid_body.h"
#include "world/duplicator_object.h"
#include "world/world.h"
#include "world/world_object.h"

namespace {

// One reach-radius unit in 16.16 (about 0.01 m).
constexpr int32_t ReachUnit = 655;
constexpr int32_t DeepProbeBottom = -20 * 65536;
constexpr int32_t DeepProbeLength = 80 * 65536;
constexpr int32_t NearProbeHalf = 2 * 65536;

SessionExistsCheck sessionExists = nullptr;

// Closed ranges overlap; touching counts.
bool Overlaps(int64_t min, int64_t max, int64_t low, int64_t high)
{
    return !(min > high) && !(max < low);
}

// Walks the map squares once, rows outer and columns inner, objects in
// order: the counting pass sets each square's counts and the total; the
// writing pass points each square's lists at the next free places of the
// buffer's solid part and radius part and fills them.
struct SquarePass {
    World &world;
    WorldObject **solidNext = nullptr;
    WorldObject **radiusNext = nullptr;
    int total = 0;

    void Run(bool write)
    {
        const int32_t cw = world.cellSize[0];
        const int32_t ch = world.cellSize[1];
        for (int j = 0; j < WorldGridSize; ++j) {
            const int64_t sy0 = static_cast<int64_t>(world.gridOrigin[1]) + static_cast<int64_t>(j) * ch;
            const int64_t sy1 = sy0 + ch;
            for (int i = 0; i < WorldGridSize; ++i) {
                const int64_t sx0 = static_cast<int64_t>(world.gridOrigin[0]) + static_cast<int64_t>(i) * cw;
                const int64_t sx1 = sx0 + cw;
                MapSquare &square = world.mapSquares[j * WorldGridSize + i];
                if (write) {
                    square.solidList = square.solidCount ? solidNext : nullptr;
                    square.radiusList = square.radiusCount ? radiusNext : nullptr;
                }
                for (int n = 0; n < world.objectCount; ++n) {
                    WorldObject *object = world.objects[n];
                    if (!object || !ConfigMaskHas(object->configMask, world.config, world.reversed)) {
                        continue;
                    }
                    if (object->IsSolid() && Overlaps(object->minX, object->maxX, sx0, sx1) &&
                        Overlaps(object->minY, object->maxY, sy0, sy1)) {
                        if (write) {
                            *solidNext++ = object;
                        } else {
                            ++square.solidCount;
                            ++total;
                        }
                    }
                    if (object->reachRadius != 0) {
                        const int64_t r = static_cast<int64_t>(object->reachRadius) * ReachUnit;
                        if (Overlaps(object->positionX - r, object->positionX + r, sx0, sx1) &&
                            Overlaps(object->positionY - r, object->positionY + r, sy0, sy1)) {
                            if (write) {
                                *radiusNext++ = object;
                            } else {
                                ++square.radiusCount;
                                ++total;
                            }
                        }
                    }
                }
            }
        }
    }
};

} // namespace

void World::BuildMapSquares()
{
    delete[] mapSquareLists;
    mapSquareLists = nullptr;
    std::memset(static_cast<void *>(mapSquares), 0, sizeof mapSquares);

    SquarePass pass{*this};
    pass.Run(false);
    if (pass.total == 0) {
        return;
    }
    mapSquareLists = new WorldObject *[pass.total];
    int solidTotal = 0;
    for (const MapSquare &square : mapSquares) {
        solidTotal += square.solidCount;
    }
    pass.solidNext = mapSquareLists;
    pass.radiusNext = mapSquareLists + solidTotal;
    pass.Run(true);
}

int World::GetGridRange(int &i0, int &i1, int &j0, int &j1, int32_t x, int32_t y, int32_t r) const
{
    const int64_t cw = cellSize[0];
    const int64_t ch = cellSize[1];
    if (cw <= 0 || ch <= 0) {
        return 0;
    }
    // Signed divisions truncated toward zero (a circle just left of the grid
    // maps to column 0), in 64 bits so that no sum wraps.
    const int64_t ia = (static_cast<int64_t>(x) - r - gridOrigin[0]) / cw;
    const int64_t ib = (static_cast<int64_t>(x) - gridOrigin[0] + r) / cw;
    const int64_t ja = (static_cast<int64_t>(y) - gridOrigin[1] - r) / ch;
    const int64_t jb = (static_cast<int64_t>(y) - gridOrigin[1] + r) / ch;
    if (ia >= WorldGridSize || ib < 0 || ja >= WorldGridSize || jb < 0) {
        return 0;
    }
    i0 = ia < 0 ? 0 : static_cast<int>(ia);
    j0 = ja < 0 ? 0 : static_cast<int>(ja);
    i1 = ib > WorldGridSize - 1 ? WorldGridSize - 1 : static_cast<int>(ib);
    j1 = jb > WorldGridSize - 1 ? WorldGridSize - 1 : static_cast<int>(jb);
    return 1;
}

int World::GetBodyGridRange(int &i0, int &i1, int &j0, int &j1, const DuplicatorObject *object) const
{
    if (!object || !object->body) {
        return 0;
    }
    const RigidBody &body = *object->body;
    return GetGridRange(i0, i1, j0, j1, body.position.x, body.position.y, MetresToFix(body.radius));
}

int SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record)
{
    record.fraction = 0;
    const World *world = CurrentWorld;
    if (!world) {
        return 0;
    }
    const int32_t cw = world->cellSize[0];
    const int32_t ch = world->cellSize[1];
    if (cw <= 0 || ch <= 0 || point.x < world->gridOrigin[0] || point.x >= world->gridEnd[0] ||
        point.y < world->gridOrigin[1] || point.y >= world->gridEnd[1]) {
        return 0;
    }
    const int64_t column = (static_cast<int64_t>(point.x) - world->gridOrigin[0]) / cw;
    const int64_t row = (static_cast<int64_t>(point.y) - world->gridOrigin[1]) / ch;
    if (column >= WorldGridSize || row >= WorldGridSize) {
        return 0;
    }
    const MapSquare &square = world->mapSquares[row * WorldGridSize + column];
    for (int n = 0; n < square.solidCount; ++n) {
        WorldObject *object = square.solidList[n];
        if (object->minX < point.x && point.x < object->maxX && object->minY < point.y && point.y < object->maxY) {
            object->Contact(point, ray, record, nullptr, nullptr, nullptr);
        }
    }
    return record.fraction != 0 ? 1 : 0;
}

int32_t ProbeSolidBelow(int32_t x, int32_t y, int32_t z, int deep)
{
    if (!sessionExists || !sessionExists()) {
        return 0;
    }
    ContactProbe record;
    record.Clear();
    if (deep) {
        record.endPoint = {x, y, DeepProbeBottom};
        record.segment = {0, 0, -DeepProbeLength};
    } else {
        // Kept inside the 32-bit range for any z.
        record.endPoint = {x, y, z < INT32_MIN + NearProbeHalf ? INT32_MIN : z - NearProbeHalf};
        record.segment = {0, 0, -2 * NearProbeHalf};
    }
    const FixVector point = record.endPoint;
    const FixVector ray = record.segment;
    if (!SolidContactQuery(point, ray, record)) {
        return 0;
    }
    return record.hitPoint.z;
}

void SetSessionExistsCheck(SessionExistsCheck check)
{
    sessionExists = check;
}
