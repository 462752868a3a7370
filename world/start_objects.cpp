// The world's scan of its start objects (lamps, grid, start and pit
// positions, pit places, speed and camera zones) and the queries on them.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/data_stream.h"
#include "core/float_math.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "render/object_file.h"
#include "vehicle/fix_convert.h"
#include "world/duplicator_object.h"
#include "world/layout.h"
#include "world/object_holder.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/start_grid_object.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_object.h"
#include "world/zone_object.h"

const char OwnHeadingPitSite[3] = "RV";

namespace {

constexpr int32_t MinimumCellSize = 10 * 65536;
constexpr float PathBoxMargin = 20.0f;          // metres beyond the road edges
constexpr float PitAngle = 3.14159265f / 6.0f;  // cars in the pit stand 30 degrees off the path
constexpr int LampsPerName = 4;
constexpr int LampBright = 96;
constexpr int ZoneTiedToPath = 2;

// The lamp names of a lamp model's colour records, lamp 0 to 3.
constexpr const char *LampNames[4] = {"l_red1", "l_red2", "l_red3", "l_green"};

float Metres(int64_t fix)
{
    return static_cast<float>(fix) * (1.0f / 65536.0f);
}

// Lateral offset (metres, positive right) of the ground point at the node.
float LateralOffset(const PathNode &node, int32_t x, int32_t y)
{
    const float dx = Metres(static_cast<int64_t>(x) - node.position[0]);
    const float dy = Metres(static_cast<int64_t>(y) - node.position[1]);
    return dx * node.direction[1] - dy * node.direction[0];
}

// The lamp a colour record's name binds, or -1.
int LampOfRecord(const GridCell &cell)
{
    char name[ObjectSurfaceNameLength + 1] = {};
    std::memcpy(name, cell.bytes + 4, ObjectSurfaceNameLength);
    for (int lamp = 0; lamp < 4; ++lamp) {
        if (EqualsNoCase(name, LampNames[lamp])) {
            return lamp;
        }
    }
    return -1;
}

uint32_t CellColourWord(const GridCell &cell)
{
    return static_cast<uint32_t>(cell.bytes[0]) | static_cast<uint32_t>(cell.bytes[1]) << 8 |
           static_cast<uint32_t>(cell.bytes[2]) << 16 | static_cast<uint32_t>(cell.bytes[3]) << 24;
}

// Binds the lamp records of the lamp model's colour table.
void BindLampRecords(World &world, Object3D *object)
{
    const int total = object->surfaces.cells ? object->surfaces.width * object->surfaces.height : 0;
    int bound[4] = {};
    for (int c = 0; c < total; ++c) {
        GridCell &cell = object->surfaces.cells[c];
        const int lamp = LampOfRecord(cell);
        if (lamp < 0) {
            continue;
        }
        StartLamp &target = world.startLamps[lamp];
        if (bound[lamp] == 0) {
            uint32_t colour = CellColourWord(cell);
            const uint32_t flagByte = colour & 0xFF000000u;
            if (lamp == 0 && (colour & 0xFF) > LampBright) {
                colour = ColourWord(50, 20, 20, 0) | flagByte;
            } else if (lamp == 3 && (colour >> 8 & 0xFF) > LampBright) {
                colour = ColourWord(20, 50, 20, 0) | flagByte;
            }
            target.offColour = colour;
        }
        // A lamp has room for four colour words; further records stay unlit.
        if (bound[lamp] < LampsPerName) {
            target.boundColours[bound[lamp]] = reinterpret_cast<uint32_t *>(cell.bytes);
        }
        ++bound[lamp];
    }
}

// a + b held to the 32-bit range: a box corner beyond the end of the range
// stays at that end instead of wrapping round to the other side.
int32_t SumHeldToRange(int32_t a, int32_t b)
{
    const int64_t sum = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

bool ZoneHolds(const ZoneObject *zone, int32_t x, int32_t y)
{
    return zone->ContainsPoint(x, y) != 0;
}

} // namespace

void World::SelectCurrentPath()
{
    currentPath = nullptr;
    pathWithNodes = nullptr;
    closedKnowledgePath = nullptr;
    knowledgePath = nullptr;
    if (config < 1 || config > configCount || !configs) {
        return;
    }
    Path *path = &configs[config - 1].path;
    currentPath = path;
    if (path->nodeCount > 0) {
        pathWithNodes = path;
        if (path->flags & PathUsesKnowledge) {
            knowledgePath = path;
            if (path->flags & PathClosedLoop) {
                closedKnowledgePath = path;
            }
        }
    }
    // An open path with timing asks the race for one lap.
    if ((path->flags & PathUsesKnowledge) && !(path->flags & PathClosedLoop)) {
        OpenTimedPathSelected();
    }
}

void World::BindStartLamp(DuplicatorObject *object)
{
    if ((object->flags & DuplicatorStartLamp) && object->duplicator != NoDuplicator) {
        if (lampDuplicator == -2) {
            return;
        }
        if ((lampDuplicator != -1 && lampDuplicator != object->duplicator) || lampObjectCount >= MaxLampObjects) {
            lampDuplicator = -2;
            return;
        }
        if (lampDuplicator == -1) {
            lampDuplicator = object->duplicator;
            if (object->duplicator < duplicatorCount) {
                const ObjectHolder &holder = duplicators[object->duplicator];
                if (holder.kind == HolderObject3D && holder.object) {
                    BindLampRecords(*this, holder.object);
                }
            }
        }
        lampObjects[lampObjectCount++] = object;
        return;
    }
    if (!(object->flags & DuplicatorPosition) || object->number < 1 || object->number > MaxPositionObjects) {
        return;
    }
    const int n = object->number - 1;
    if (!(object->flags & DuplicatorPitPosition)) {
        if (!startPositions[n]) {
            startPositions[n] = object;
            ++startPositionCount;
        }
        return;
    }
    if (!pitPositions[n]) {
        pitPositions[n] = object;
        if (EqualsNoCase(shortName, OwnHeadingPitSite)) {
            object->flags |= DuplicatorOwnHeading;
        }
        ++pitPositionCount;
    }
}

void World::SetUpStartObjects()
{
    if (config != 0) {
        SelectCurrentPath();
    }
    lampDuplicator = -1;
    lampObjectCount = 0;
    speedZoneCount = 0;
    cameraZoneCount = 0;
    startGrid = nullptr;
    startPositionCount = 0;
    pitPositionCount = 0;
    pitPlaceCount = 0;
    for (int i = 0; i < MaxPositionObjects; ++i) {
        startPositions[i] = nullptr;
        pitPositions[i] = nullptr;
        pitPlaces[i] = nullptr;
    }

    int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    std::unique_ptr<PathFollower> follower;
    for (int i = 0; i < objectCount; ++i) {
        WorldObject *object = objects[i];
        if (!object) {
            continue;
        }
        if (object->IsSolid()) {
            minX = std::min(minX, object->minX);
            maxX = std::max(maxX, object->maxX);
            minY = std::min(minY, object->minY);
            maxY = std::max(maxY, object->maxY);
        }
        if (config == 0 || !ConfigMaskHas(object->configMask, config, reversed)) {
            continue;
        }
        const int type = object->GetType();
        if (type == ObjectDuplicator) {
            BindStartLamp(static_cast<DuplicatorObject *>(object));
        } else if (type == ObjectZone) {
            if (!currentPath || currentPath->nodeCount < 1) {
                continue;
            }
            ZoneObject *zone = static_cast<ZoneObject *>(object);
            zone->flags &= ~static_cast<uint32_t>(ZoneTiedToPath);
            if (!follower) {
                follower = std::make_unique<PathFollower>();
            }
            if (zone->speedLimit != 0 && speedZoneCount < MaxSpeedZones) {
                int at = 0;
                while (at < speedZoneCount && speedZones[at]->halfWidth > zone->halfWidth) {
                    ++at;
                }
                for (int k = speedZoneCount; k > at; --k) {
                    speedZones[k] = speedZones[k - 1];
                }
                speedZones[at] = zone;
                ++speedZoneCount;
            }
            if (zone->IsCameraZone() && cameraZoneCount < MaxCameraZones) {
                const int n = follower->FindPosition(zone->cameraPosition, 1);
                if (n >= 0) {
                    cameraZones[cameraZoneCount++] = zone;
                    zone->flags |= ZoneTiedToPath;
                    std::memcpy(zone->visibilityPlane, follower->planes[1], sizeof zone->visibilityPlane);
                    const PathNode &node = currentPath->nodes[n];
                    const float width = node.rightEdge - node.leftEdge;
                    int band = 0;
                    // A node without road width has one band.
                    if (width != 0.0f) {
                        const float lateral = LateralOffset(node, zone->positionX, zone->positionY);
                        const float eighths = (lateral - node.leftEdge) * 8.0f / width;
                        band = eighths >= 7.0f ? 7 : eighths > 0.0f ? static_cast<int>(eighths) : 0;
                    }
                    zone->lateralBand = band;
                }
            }
        } else if (type == ObjectStartGrid) {
            if (!startGrid) {
                startGrid = static_cast<StartGridObject *>(object);
            }
        }
    }

    int32_t slot0[3];
    float h = 0.0f;
    GetStartPosition(this, slot0, h, 0, 0, 1, nullptr);
    const float c = FloatCos(h);
    const float s = FloatSin(h);
    const float orientation[9] = {c, -s, 0.0f, s, c, 0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(startOrientation, orientation, sizeof startOrientation);

    speedZoneCentre[0] = speedZoneCentre[1] = 0;
    speedZoneReach = 0.0f;
    if (speedZoneCount > 0) {
        for (int i = 0; i < speedZoneCount; ++i) {
            speedZoneCentre[0] += speedZones[i]->positionX / speedZoneCount;
            speedZoneCentre[1] += speedZones[i]->positionY / speedZoneCount;
        }
        for (int i = 0; i < speedZoneCount; ++i) {
            const ZoneObject *zone = speedZones[i];
            const float dx = Metres(static_cast<int64_t>(zone->positionX) - speedZoneCentre[0]);
            const float dy = Metres(static_cast<int64_t>(zone->positionY) - speedZoneCentre[1]);
            const float corner = std::sqrt(zone->halfWidth * zone->halfWidth + zone->halfLength * zone->halfLength);
            const float reach = std::sqrt(dx * dx + dy * dy) + corner;
            speedZoneReach = std::max(speedZoneReach, reach * reach);
        }
    }

    // Pit places, farthest along the start direction first. Without a start
    // grid they are measured from the origin along heading 0.
    const float gridHeading = startGrid ? startGrid->heading : 0.0f;
    const float directionX = -FloatSin(gridHeading);
    const float directionY = FloatCos(gridHeading);
    const int32_t fromX = startGrid ? startGrid->positionX : 0;
    const int32_t fromY = startGrid ? startGrid->positionY : 0;
    float placeDistance[MaxPositionObjects] = {};
    for (int i = 0; i < objectCount && pitPlaceCount < MaxPositionObjects; ++i) {
        WorldObject *object = objects[i];
        if (!object || object->GetType() != ObjectDuplicator) {
            continue;
        }
        DuplicatorObject *place = static_cast<DuplicatorObject *>(object);
        if (place->duplicator == NoDuplicator || place->duplicator >= duplicatorCount ||
            !duplicators[place->duplicator].pitPlace) {
            continue;
        }
        if (!FindSpeedLimitZone(place->positionX, place->positionY)) {
            continue;
        }
        const float distance = Metres(static_cast<int64_t>(place->positionX) - fromX) * directionX +
                               Metres(static_cast<int64_t>(place->positionY) - fromY) * directionY;
        int at = 0;
        while (at < pitPlaceCount && placeDistance[at] > distance) {
            ++at;
        }
        for (int k = pitPlaceCount; k > at; --k) {
            pitPlaces[k] = pitPlaces[k - 1];
            placeDistance[k] = placeDistance[k - 1];
        }
        pitPlaces[at] = place;
        placeDistance[at] = distance;
        ++pitPlaceCount;
    }

    const int64_t extent = std::max({std::abs(static_cast<int64_t>(minX)), std::abs(static_cast<int64_t>(maxX)),
                                     std::abs(static_cast<int64_t>(minY)), std::abs(static_cast<int64_t>(maxY))});
    worldExtent = static_cast<int32_t>(std::min<int64_t>(extent, INT32_MAX));
    worldCentre[0] = static_cast<int32_t>((static_cast<int64_t>(minX) + maxX) >> 1);
    worldCentre[1] = static_cast<int32_t>((static_cast<int64_t>(minY) + maxY) >> 1);
    worldCentre[2] = 0;

    if (config != 0 && pathWithNodes) {
        int32_t pathMinX = INT32_MAX, pathMaxX = INT32_MIN, pathMinY = INT32_MAX, pathMaxY = INT32_MIN;
        for (int i = 0; i < pathWithNodes->nodeCount; ++i) {
            const PathNode &node = pathWithNodes->nodes[i];
            const float laterals[2] = {node.leftEdge - PathBoxMargin, node.rightEdge + PathBoxMargin};
            for (float lateral : laterals) {
                const int32_t x = SumHeldToRange(node.position[0], MetresToFix(lateral * node.direction[1]));
                const int32_t y = SumHeldToRange(node.position[1], MetresToFix(lateral * -node.direction[0]));
                pathMinX = std::min(pathMinX, x);
                pathMaxX = std::max(pathMaxX, x);
                pathMinY = std::min(pathMinY, y);
                pathMaxY = std::max(pathMaxY, y);
            }
        }
        minX = std::max(minX, pathMinX);
        maxX = std::min(maxX, pathMaxX);
        minY = std::max(minY, pathMinY);
        maxY = std::min(maxY, pathMaxY);
    } else if (config == 0) {
        currentPath = nullptr;
        pathWithNodes = nullptr;
        closedKnowledgePath = nullptr;
        knowledgePath = nullptr;
    }

    gridOrigin[0] = minX;
    gridOrigin[1] = minY;
    const int64_t width = (static_cast<int64_t>(maxX) - minX) / WorldGridSize;
    const int64_t height = (static_cast<int64_t>(maxY) - minY) / WorldGridSize;
    cellSize[0] = width > MinimumCellSize ? static_cast<int32_t>(width) : MinimumCellSize;
    cellSize[1] = height > MinimumCellSize ? static_cast<int32_t>(height) : MinimumCellSize;
    gridEnd[0] = static_cast<int32_t>(gridOrigin[0] + static_cast<int64_t>(cellSize[0]) * WorldGridSize);
    gridEnd[1] = static_cast<int32_t>(gridOrigin[1] + static_cast<int64_t>(cellSize[1]) * WorldGridSize);

    // Lamps 1 and 2 show lamp 0's colours; the lamp objects are built again
    // with them when the program draws.
    for (int lamp = 1; lamp <= 2; ++lamp) {
        startLamps[lamp].offColour = startLamps[0].offColour;
        startLamps[lamp].onColour = startLamps[0].onColour;
    }
    if (GraphicsEnabled && DedicatedMode == DedicatedNone) {
        for (int i = 0; i < lampObjectCount; ++i) {
            lampObjects[i]->ReleaseMeshForMove();
        }
    }
}

int World::GetLowestSpeedLimit() const
{
    int lowest = 255;
    for (int i = 0; i < speedZoneCount; ++i) {
        lowest = std::min(lowest, static_cast<int>(speedZones[i]->speedLimit));
    }
    return lowest;
}

ZoneObject *World::FindSpeedLimitZone(int32_t x, int32_t y) const
{
    if (speedZoneCount == 0) {
        return nullptr;
    }
    const float dx = Metres(static_cast<int64_t>(x) - speedZoneCentre[0]);
    const float dy = Metres(static_cast<int64_t>(y) - speedZoneCentre[1]);
    if (dx * dx + dy * dy > speedZoneReach) {
        return nullptr;
    }
    for (int i = 0; i < speedZoneCount; ++i) {
        if (ZoneHolds(speedZones[i], x, y)) {
            return speedZones[i];
        }
    }
    return nullptr;
}

ZoneObject *World::FindCameraZone(int32_t x, int32_t y) const
{
    for (int i = 0; i < cameraZoneCount; ++i) {
        if (ZoneHolds(cameraZones[i], x, y)) {
            return cameraZones[i];
        }
    }
    return nullptr;
}

int World::FindCameraTriangle(const int32_t position[3]) const
{
    const float z = Metres(position[2]);
    int best = -1;
    float bestFloor = 0.0f;
    for (int t = 0; t < cameraTriangleCount; ++t) {
        const CameraTriangle &triangle = cameraTriangles[t];
        if (!(triangle.floorHeight < z) || (best >= 0 && !(triangle.floorHeight > bestFloor))) {
            continue;
        }
        bool inside = true;
        for (int e = 0; e < 3 && inside; ++e) {
            const uint32_t ia = triangle.corner[(e + 2) % 3];
            const uint32_t ib = triangle.corner[e];
            if (ia >= static_cast<uint32_t>(cameraPointCount) || ib >= static_cast<uint32_t>(cameraPointCount)) {
                inside = false;
                break;
            }
            const CameraPoint &a = cameraPoints[ia];
            const CameraPoint &b = cameraPoints[ib];
            // Exact in 64 bits for the differences; the products are taken in
            // double, which rounds equal products alike (an edge point gives 0).
            const double cross = static_cast<double>(static_cast<int64_t>(position[0]) - a.x) *
                                     static_cast<double>(static_cast<int64_t>(b.y) - a.y) -
                                 static_cast<double>(static_cast<int64_t>(position[1]) - a.y) *
                                     static_cast<double>(static_cast<int64_t>(b.x) - a.x);
            inside = !(cross > 0.0);
        }
        if (inside) {
            best = t;
            bestFloor = triangle.floorHeight;
        }
    }
    return best >= 0 ? static_cast<int>(cameraTriangles[best].camera) : -1;
}

int World::ReadCameraGeometry(DataStream *stream)
{
    cameraPointCount = 0;
    cameraTriangleCount = 0;
    const uint32_t points = stream->ReadU32();
    if (stream->overrun || points > MaxCameraPoints || static_cast<int64_t>(points) * 8 > stream->Remaining()) {
        return 1;
    }
    for (uint32_t i = 0; i < points; ++i) {
        cameraPoints[i].x = static_cast<int32_t>(stream->ReadU32());
        cameraPoints[i].y = static_cast<int32_t>(stream->ReadU32());
    }
    const uint32_t triangles = stream->ReadU32();
    if (stream->overrun || triangles > MaxCameraTriangles ||
        static_cast<int64_t>(triangles) * 20 > stream->Remaining()) {
        return 1;
    }
    for (uint32_t i = 0; i < triangles; ++i) {
        CameraTriangle &triangle = cameraTriangles[i];
        for (uint32_t &corner : triangle.corner) {
            corner = stream->ReadU32();
            if (corner >= points) {
                return 1;
            }
        }
        triangle.camera = stream->ReadU32();
        triangle.floorHeight = stream->ReadFloat();
    }
    if (stream->overrun) {
        return 1;
    }
    cameraPointCount = static_cast<int32_t>(points);
    cameraTriangleCount = static_cast<int32_t>(triangles);
    return 0;
}

int NumStartPositions(const World *world)
{
    if (world->startGrid) {
        return std::min(world->startGrid->columns * world->startGrid->rows, MaxPositionObjects);
    }
    return std::clamp(world->startPositionCount, 1, MaxPositionObjects);
}

void GetStartPosition(const World *world, int32_t position[3], float &heading, int slot, int pitStart,
                      int ignoreLayoutStart, int32_t *secondPosition)
{
    // A layout's own start point: slot 0 (or a joining car) starts there,
    // the other slots at the pit positions.
    if (LayoutRouteLines.startOverride && !ignoreLayoutStart) {
        if (slot != 0 && !JoiningCarPlacement) {
            GetPitStartPosition(world, position, heading, slot, nullptr, 0, nullptr);
            if (secondPosition) {
                std::memcpy(secondPosition, position, 3 * sizeof(int32_t));
            }
            return;
        }
        std::memcpy(position, LayoutRouteLines.startPosition, 3 * sizeof(int32_t));
        heading = LayoutRouteLines.startHeading;
        if (secondPosition) {
            float ordinaryHeading = 0.0f;
            GetStartPosition(world, secondPosition, ordinaryHeading, slot, pitStart, 1, nullptr);
        }
        return;
    }
    position[0] = position[1] = position[2] = 0;
    heading = 0.0f;
    if (world->startGrid) {
        const StartGridObject *grid = world->startGrid;
        if (slot >= 0 && slot < grid->columns * grid->rows) {
            FixVector at;
            grid->GetSlotPosition(slot, at, heading);
            position[0] = at.x;
            position[1] = at.y;
            position[2] = at.z;
        }
    } else if (slot >= 0 && slot < MaxPositionObjects && world->startPositions[slot]) {
        const DuplicatorObject *object = world->startPositions[slot];
        position[0] = object->positionX;
        position[1] = object->positionY;
        heading = object->heading;
    }
    if (secondPosition) {
        std::memcpy(secondPosition, position, 3 * sizeof(int32_t));
    }
}

void GetPitStartPosition(const World *world, int32_t position[3], float &heading, int slot, PathFollower *follower,
                         int skipSearch, int *searched)
{
    const DuplicatorObject *object =
        slot >= 0 && slot < MaxPositionObjects ? world->pitPositions[slot] : nullptr;
    const bool onKnowledgePath = follower && world->knowledgePath;
    auto search = [&]() {
        if (onKnowledgePath && !skipSearch) {
            follower->EnsurePosition(position);
            if (searched) {
                *searched = 1;
            }
        }
    };
    if (!object) {
        GetStartPosition(world, position, heading, slot, 0, 1, nullptr);
        search();
        return;
    }
    position[0] = object->positionX;
    position[1] = object->positionY;
    position[2] = 0;
    heading = object->heading;
    if (!onKnowledgePath) {
        return;
    }
    search();
    const Path *path = follower->path;
    if (follower->node >= 0 && path && follower->node < path->nodeCount && !(object->flags & DuplicatorOwnHeading)) {
        const PathNode &node = path->nodes[follower->node];
        const float pathHeading = FloatAtan2(-node.direction[0], node.direction[1]);
        const float lateral = LateralOffset(node, object->positionX, object->positionY);
        heading = lateral > 0.0f ? pathHeading + PitAngle : pathHeading - PitAngle;
    }
}
