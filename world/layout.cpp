#include "world/layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/float_math.h"
#include "core/shell_globals.h"
#include "vehicle/contact_probe.h"
#include "vehicle/physics_world.h"
#include "vehicle/rigid_body.h"
#include "world/duplicator_object.h"
#include "world/layout_packets.h"
#include "world/map_squares.h"
#include "world/object_holder.h"
#include "world/world.h"
#include "world/world_messages.h"
#include "world/world_object.h"

LayoutCircleSet LayoutCircles = {};
LayoutRoute LayoutRouteLines = {};
char LayoutName[LayoutNameSize] = {};
int LayoutLoaded = 0;
int LayoutLaps = 1;
int LayoutScaling = 0;
DataStream LayoutStream;
int LayoutRecordsToSend = 0;
int JoiningCarPlacement = 0;

namespace {

constexpr float Pi = 3.14159265f;
constexpr float TwoPi = 6.28318531f;
constexpr int32_t Metre = 65536;

LayoutServices Services = {};

int LessonActive()
{
    return Services.lessonActive ? Services.lessonActive() : 0;
}

float ClampUnit(float value)
{
    return std::clamp(value, -1.0f, 1.0f);
}

int32_t RoundFix(float value)
{
    return static_cast<int32_t>(std::lround(value * 65536.0f));
}

// The first layout object's index in the world's objects.
int FirstLayoutObject(const World *world)
{
    return world->objectCount - world->layoutObjectCount;
}

DuplicatorObject *LayoutObjectAt(const World *world, int index)
{
    WorldObject *object = world->objects[index];
    return object && object->GetType() == ObjectDuplicator ? static_cast<DuplicatorObject *>(object) : nullptr;
}

void PrintPair(const char *first, const char *second, int colour)
{
    char text[128];
    snprintf(text, sizeof text, "%s %s", first, second);
    WorldPrintMessage(text, colour);
}

int CircleRadius(const LayoutRecord &record)
{
    return (record.flags >> 2) & 15;
}

bool IsCheckCircle(const LayoutRecord &record)
{
    return (record.flags & LayoutRestrictedFlag) == 0;
}

// Circles overlap when their centres lie closer than the sum of the radii.
bool CirclesOverlap(const LayoutRecord &a, const LayoutRecord &b)
{
    const int64_t dx = a.x - b.x;   // 1/16 m
    const int64_t dy = a.y - b.y;
    const int64_t reach = static_cast<int64_t>(CircleRadius(a) + CircleRadius(b)) * 16;
    return dx * dx + dy * dy < reach * reach;
}

int AddLayoutCircle(const LayoutRecord &record, const int32_t position[3], float heading)
{
    for (int n = 0; n < LayoutCircles.count; ++n) {
        if (CirclesOverlap(record, LayoutCircles.records[n])) {
            return 0;
        }
    }
    if (IsCheckCircle(record)) {
        bool taken = false;
        for (int n = 0; n < LayoutCircles.count; ++n) {
            const LayoutRecord &other = LayoutCircles.records[n];
            taken = taken || (IsCheckCircle(other) && other.heading == record.heading);
        }
        if (taken) {
            for (int n = 0; n < LayoutCircles.count; ++n) {
                LayoutRecord &other = LayoutCircles.records[n];
                if (IsCheckCircle(other) && other.heading >= record.heading) {
                    ++other.heading;
                }
            }
        }
    }
    const int n = LayoutCircles.count;
    LayoutCircles.records[n] = record;
    FixTransform &transform = LayoutCircles.transforms[n];
    transform = FixTransform{};
    transform.position = {position[0], position[1], position[2]};
    if (!IsCheckCircle(record)) {
        FixRotationZ(transform.matrix, AngleFromRadians(heading));
    }
    LayoutCircles.count = n + 1;
    return 1;
}

int RemoveLayoutCircle(const LayoutRecord &record)
{
    for (int n = 0; n < LayoutCircles.count; ++n) {
        if (!LayoutRecordsMatch(LayoutCircles.records[n], record)) {
            continue;
        }
        const LayoutRecord removed = LayoutCircles.records[n];
        for (int m = n + 1; m < LayoutCircles.count; ++m) {
            LayoutCircles.records[m - 1] = LayoutCircles.records[m];
            LayoutCircles.transforms[m - 1] = LayoutCircles.transforms[m];
        }
        --LayoutCircles.count;
        if (IsCheckCircle(removed)) {
            for (int m = 0; m < LayoutCircles.count; ++m) {
                LayoutRecord &other = LayoutCircles.records[m];
                if (IsCheckCircle(other) && other.heading > removed.heading) {
                    --other.heading;
                }
            }
        }
        return 1;
    }
    return 0;
}

void QueueRemovePacket(const LayoutRecord &record)
{
    uint8_t packet[LayoutEditPacketSize] = {MP_LAYOUT_EDIT, LayoutActionRemove, 0, 0};
    LayoutRecordToBytes(record, packet + 4);
    QueueLayoutGamePacket(packet, LayoutEditPacketSize);
}

} // namespace

void SetLayoutServices(const LayoutServices &services)
{
    Services = services;
}

const LayoutServices &GetLayoutServices()
{
    return Services;
}

int OwnConnection()
{
    return Services.ownConnectionIndex ? Services.ownConnectionIndex() : 0;
}

void LayoutRecordToBytes(const LayoutRecord &record, uint8_t out[LayoutRecordSize])
{
    out[0] = static_cast<uint8_t>(record.x);
    out[1] = static_cast<uint8_t>(static_cast<uint16_t>(record.x) >> 8);
    out[2] = static_cast<uint8_t>(record.y);
    out[3] = static_cast<uint8_t>(static_cast<uint16_t>(record.y) >> 8);
    out[4] = static_cast<uint8_t>(record.height);
    out[5] = record.flags;
    out[6] = record.duplicator;
    out[7] = record.heading;
}

LayoutRecord LayoutRecordFromBytes(const uint8_t bytes[LayoutRecordSize])
{
    LayoutRecord record;
    record.x = static_cast<int16_t>(bytes[0] | bytes[1] << 8);
    record.y = static_cast<int16_t>(bytes[2] | bytes[3] << 8);
    record.height = static_cast<int8_t>(bytes[4]);
    record.flags = bytes[5];
    record.duplicator = bytes[6];
    record.heading = bytes[7];
    return record;
}

bool LayoutRecordsMatch(const LayoutRecord &a, const LayoutRecord &b)
{
    return a.x == b.x && a.y == b.y && a.flags == b.flags && a.duplicator == b.duplicator && a.heading == b.heading;
}

LayoutRecord PackLayoutRecord(const DuplicatorObject &object)
{
    LayoutRecord record;
    record.x = static_cast<int16_t>(object.positionX >> 12);
    record.y = static_cast<int16_t>(object.positionY >> 12);
    record.height = static_cast<int8_t>(static_cast<uint8_t>(RoundFix(object.height) >> 14));
    const int headingByte = static_cast<int>(std::lround((Pi + object.heading) * 256.0f / TwoPi));
    record.heading = static_cast<uint8_t>(headingByte & 255);
    if ((object.flags & (DuplicatorCheckpoint | DuplicatorPosition)) == 0) {
        record.flags = 0;
        record.duplicator = static_cast<uint8_t>(object.duplicator);
    } else {
        record.flags = static_cast<uint8_t>(((object.markerWidth & 15) + 32) * 4 + (object.number & 3));
        record.duplicator = 0;
    }
    return record;
}

void UnpackLayoutRecordPosition(const LayoutRecord &record, int32_t position[3], float &heading)
{
    position[0] = static_cast<int32_t>(record.x) * 4096;
    position[1] = static_cast<int32_t>(record.y) * 4096;
    position[2] = static_cast<int32_t>(record.height) * 16384 + 8192;
    heading = static_cast<float>(record.heading) * TwoPi / 256.0f - Pi;
}

int UnpackLayoutRecord(const LayoutRecord &record, int32_t position[3], float &height, float &heading, float &tilt1,
                       float &tilt2)
{
    position[0] = static_cast<int32_t>(record.x) * 4096;
    position[1] = static_cast<int32_t>(record.y) * 4096;
    position[2] = static_cast<int32_t>(record.height) * 16384;
    height = static_cast<float>(position[2]) / 65536.0f;
    heading = static_cast<float>(record.heading) * TwoPi / 256.0f - Pi;
    tilt1 = 0.0f;
    tilt2 = 0.0f;
    if (DedicatedMode == DedicatedConsole || DedicatedMode == DedicatedInvisible) {
        return 1;
    }
    // First from 2 m above down to 4 m below, then from 6 m above.
    ContactProbe probe;
    const FixVector point = {position[0], position[1], position[2] - 4 * Metre};
    probe.Clear();
    int hit = SolidContactQuery(point, FixVector{0, 0, -6 * Metre}, probe);
    if (!hit) {
        probe.Clear();
        hit = SolidContactQuery(point, FixVector{0, 0, -10 * Metre}, probe);
    }
    if (!hit) {
        return 0;
    }
    position[2] = probe.hitPoint.z;
    height = static_cast<float>(probe.hitPoint.z) / 65536.0f;
    const float nx = probe.normal[0];
    const float ny = probe.normal[1];
    const float c = FloatCos(-heading);
    const float s = FloatSin(-heading);
    const float a = nx * c - ny * s;
    const float b = nx * s + ny * c;
    tilt1 = FloatAsin(ClampUnit(-b));
    tilt2 = FloatAsin(ClampUnit(a));
    return 1;
}

int AddLayoutObject(const LayoutRecord &record, int report, int rebuildRoute, int *needsGrid, int *startAdded,
                    int connection)
{
    World *world = CurrentWorld;
    if (!world) {
        return 0;
    }
    int32_t position[3];
    float height, heading, tilt1, tilt2;
    const int onGround = UnpackLayoutRecord(record, position, height, heading, tilt1, tilt2);

    if (record.duplicator < world->duplicatorCount) {
        if (world->layoutObjectCount >= MaxLayoutObjects || world->objectCount >= MaxWorldObjects) {
            return 0;
        }
        const bool plain = record.flags == 0;
        if (plain) {
            const ObjectHolder &holder = world->duplicators[record.duplicator];
            if (!holder.placeable) {
                return 0;
            }
            if (holder.movable != HolderStatic && needsGrid) {
                *needsGrid = 1;
            }
        }
        auto *object = new DuplicatorObject(position[0], position[1]);
        object->height = height;
        object->heading = heading;
        object->pitch = tilt1;
        object->roll = tilt2;
        if (plain) {
            object->AssignDuplicator(record.duplicator);
        } else {
            const int width = (record.flags >> 2) & 15;
            object->markerWidth = static_cast<uint8_t>(width);
            object->number = static_cast<uint8_t>(record.flags & 3);
            object->flags |= width == 0 ? DuplicatorPosition : DuplicatorCheckpoint;
            if (LayoutHasRouteIndex(GetRouteIndex(*object))) {
                object->Release();
                delete object;
                return 0;
            }
            if (width == 0 && startAdded) {
                *startAdded = 1;
            }
        }
        object->Prepare();

        // A refused place is still added here: the queued remove packet
        // takes it away on every program, in batch order.
        bool flush = false;
        if (report && plain) {
            const char *reason = nullptr;
            if (!onGround) {
                reason = "invalid position";
            } else if (LayoutObjectIntersects(object)) {
                reason = "intersecting object";
            }
            if (reason) {
                PrintPair("Can't add :", reason, ColourLightBlue);
                QueueRemovePacket(PackLayoutRecord(*object));
                flush = true;
            }
        }

        const int index = world->objectCount;
        world->objects[index] = object;
        if (plain) {
            world->AddObjectToPathLists(index, 0);
        }
        ++world->layoutObjectCount;
        ++world->objectCount;
        if (!plain && rebuildRoute) {
            if (Services.clearQualifying) {
                Services.clearQualifying();
            }
            BuildLayoutRoute(connection == OwnConnection());
        }
        if (flush) {
            FlushLayoutGameBatch();
        }
        return 1;
    }

    if (record.duplicator == LayoutCircleIndex && LayoutCircles.count < MaxLayoutCircles) {
        return AddLayoutCircle(record, position, heading);
    }
    return 0;
}

int LayoutObjectIntersects(DuplicatorObject *object)
{
    World *world = CurrentWorld;
    if (!world) {
        return 0;
    }
    object->CreateBody();
    if (!object->body) {
        return 0;
    }
    int touching = 0;
    for (int n = 0; n < world->objectCount && !touching; ++n) {
        WorldObject *candidate = world->objects[n];
        if (!candidate || candidate == object || candidate->GetType() != ObjectDuplicator ||
            !ConfigMaskHas(candidate->configMask, world->config, world->reversed)) {
            continue;
        }
        auto *other = static_cast<DuplicatorObject *>(candidate);
        const ObjectHolder *holder = other->GetHolder();
        if (!other->body || !holder || !holder->placeable) {
            continue;
        }
        // Bounding spheres first, in 1/16 mm units to keep the squares in range.
        const int64_t dx = (other->centreX - object->centreX) >> 4;
        const int64_t dy = (other->centreY - object->centreY) >> 4;
        const int64_t dz = (other->centreZ - object->centreZ) >> 4;
        const int64_t reach = (static_cast<int64_t>(other->radius) + object->radius) >> 4;
        if (dx * dx + dy * dy + dz * dz >= reach * reach) {
            continue;
        }
        // A body in motion is not where the object was placed: test a fresh one.
        RigidBody *moving = nullptr;
        if (other->body->moving) {
            moving = other->body;
            other->body = nullptr;
            other->CreateBody();
            if (!other->body) {
                other->body = moving;
                continue;
            }
        }
        touching = object->body->MayTouch(*other->body) && other->body->MayTouch(*object->body);
        if (moving) {
            other->FreeBody();
            other->body = moving;
        }
    }
    object->FreeBody();
    return touching;
}

void World::RemoveObject(int index, int resetDrivers)
{
    if (index < 0 || index >= objectCount) {
        return;
    }
    RemoveObjectFromPathLists(index, resetDrivers);
    if (objects[index]) {
        objects[index]->Release();
        delete objects[index];
    }
    --objectCount;
    if (index != objectCount) {
        objects[index] = objects[objectCount];
        RenumberObjectInPathLists(index, objectCount);
    }
    objects[objectCount] = nullptr;
}

int RemoveLayoutObject(const LayoutRecord &record)
{
    World *world = CurrentWorld;
    if (!world) {
        return 0;
    }
    if (record.duplicator == LayoutCircleIndex) {
        return RemoveLayoutCircle(record);
    }
    for (int n = FirstLayoutObject(world); n < world->objectCount; ++n) {
        const DuplicatorObject *object = LayoutObjectAt(world, n);
        if (!object || !LayoutRecordsMatch(PackLayoutRecord(*object), record)) {
            continue;
        }
        const bool timing = GetRouteIndex(*object) != 0;
        world->FreeObjectGrid();
        if (CurrentPhysicsWorld) {
            CurrentPhysicsWorld->Clear();
        }
        world->RemoveObject(n, 0);
        --world->layoutObjectCount;
        world->BuildObjectGrid();
        if (CurrentPhysicsWorld) {
            CurrentPhysicsWorld->AddRaceCars();
        }
        // The route must not keep a line whose object is gone.
        if (timing) {
            BuildLayoutRoute(0);
        }
        return 1;
    }
    return 0;
}

void ClearLayoutObjects(World *world)
{
    const int count = std::min(world->layoutObjectCount, world->objectCount);
    for (int n = 0; n < count; ++n) {
        world->RemoveObject(world->objectCount - 1, 0);
    }
    world->layoutObjectCount = 0;
    LayoutCircles.count = 0;
    ResetLayoutRoute();
}

void RemoveAllLayoutObjects()
{
    if (CurrentWorld) {
        ClearObjectGrid(CurrentWorld);
    } else {
        LayoutCircles.count = 0;
        ResetLayoutRoute();
    }
}

int GetRouteIndex(const DuplicatorObject &object)
{
    if (object.flags & DuplicatorPosition) {
        return 1;
    }
    if (object.flags & DuplicatorCheckpoint) {
        return object.number + 2;
    }
    return 0;
}

int LayoutHasRouteIndex(int routeIndex)
{
    const World *world = CurrentWorld;
    if (!world) {
        return 0;
    }
    for (int n = FirstLayoutObject(world); n < world->objectCount; ++n) {
        const DuplicatorObject *object = LayoutObjectAt(world, n);
        if (object && GetRouteIndex(*object) == routeIndex) {
            return 1;
        }
    }
    return 0;
}

int LayoutHasStartPoint()
{
    return LayoutHasRouteIndex(1);
}

int CountLayoutCheckCircles()
{
    int count = 0;
    for (int n = 0; n < LayoutCircles.count; ++n) {
        count += IsCheckCircle(LayoutCircles.records[n]) ? 1 : 0;
    }
    return count;
}

void ResetLayoutRoute()
{
    LayoutRouteLines = LayoutRoute{};
}

void BuildLayoutRoute(int report)
{
    const int shown = report && !LessonActive();
    ResetLayoutRoute();
    const World *world = CurrentWorld;
    if (!world) {
        return;
    }
    LayoutRoute &route = LayoutRouteLines;
    for (int n = FirstLayoutObject(world); n < world->objectCount; ++n) {
        const DuplicatorObject *object = LayoutObjectAt(world, n);
        const int index = object ? GetRouteIndex(*object) : 0;
        if (index == 1) {
            route.startPosition[0] = object->positionX;
            route.startPosition[1] = object->positionY;
            route.startPosition[2] = RoundFix(object->height);
            route.startHeading = object->heading;
            route.startOverride = 1;
            if (Services.clearRaceStartFlag) {
                Services.clearRaceStartFlag();
            }
        } else if (index >= 2 && index <= 5) {
            const int i = index - 2;
            LayoutRouteLine &line = route.lines[i];
            const float s = FloatSin(object->heading);
            const float c = FloatCos(object->heading);
            line.point[0] = object->positionX;
            line.point[1] = object->positionY;
            line.point[2] = RoundFix(object->height);
            line.direction[0] = RoundFix(-s);
            line.direction[1] = RoundFix(c);
            line.along[0] = RoundFix(c);
            line.along[1] = RoundFix(s);
            line.halfWidth = object->markerWidth << 16;
            route.timingLineCount = std::max(route.timingLineCount, i + 1);
        }
    }

    if (route.timingLineCount == 0) {
        if (world->timingLineCount == 0 && shown) {
            PrintPair("No checkpoints", "- laps will not be timed", ColourLightGrey);
        }
        return;
    }
    const int ownFinish = Services.lessonOwnFinish ? Services.lessonOwnFinish() : 0;
    if (route.lines[0].halfWidth == 0 && !ownFinish) {
        if (report) {
            PrintPair("No finish line", "- laps will not be timed", ColourSalmon);
        }
        route.timingLineCount = 0;
        return;
    }
    if (route.timingLineCount == 1) {
        if (report) {
            WorldPrintMessage("Finish line but no checkpoints", ColourSalmon);
        }
        route.timingLineCount = 0;
        return;
    }
    bool missing = false;
    for (int i = 1; i < route.timingLineCount; ++i) {
        if (route.lines[i].halfWidth == 0) {
            if (report) {
                WorldPrintMessageArg("Checkpoint %d not found", i, ColourSalmon);
            }
            missing = true;
        }
    }
    if (missing) {
        route.timingLineCount = 0;
        return;
    }
    if (!shown) {
        return;
    }
    if (route.timingLineCount == 2) {
        WorldPrintMessage("Autocross : 1 checkpoint", ColourLightGrey);
    } else {
        WorldPrintMessageArg("Autocross : %d checkpoints", route.timingLineCount - 1, ColourLightGrey);
    }
}
