#include "race/race_progress.h"

#include <cmath>
#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"
#include "core/float_math.h"
#include "core/settings.h"
#include "core/translation_table.h"
#include "race/race_object.h"
#include "race/race_packets.h"
#include "vehicle/car_data_recording.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "world/layout.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/world.h"

RaceProgressLinks ProgressLinks;

namespace {

constexpr float QuarterPi = 0.785398163f;
constexpr float DegreesToRadians = 0.0174532925f;
constexpr float PathEndReach = 20.0f;     // metres beyond an open path's end before the car is put back
constexpr float OffRoadStop = 20.0f;      // metres outside the inner edges before the car is stopped
constexpr int HotLapWrongWaySteps = 5;
constexpr int HotLapWrongWayReason = 3;
constexpr uint8_t NoZone = 255;
constexpr uint8_t TimePenaltyPacket = 50;
constexpr uint8_t RouteErrorSeconds = 45;
constexpr uint8_t RouteErrorKind = 2;
constexpr uint8_t CarEventPacket = 17;    // the request packet, subtype 9: a car's event
constexpr uint8_t CarEventSubtype = 9;

uint8_t SlotPlayerId(const PlayerSlot *slot)
{
    return RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
}

// (car - node) along the node's horizontal direction, metres.
float AlongNode(const CarObject &car, const PathNode &node)
{
    const float dx = FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(car.position.x) -
                                                      static_cast<uint32_t>(node.position[0])));
    const float dy = FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(car.position.y) -
                                                      static_cast<uint32_t>(node.position[1])));
    return dx * node.direction[0] + dy * node.direction[1];
}

float Dot3(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The path of the world whose nodes time laps (flag 4).
bool IsTimedPath(const Path &path)
{
    return path.nodeCount > 0 && (path.flags & PathUsesKnowledge) != 0;
}

// The follow point and the driver's look angle.
void UpdateFollowPoint(CarObject &car, float dt, int full)
{
    float look = 0.0f;
    switch (car.inputs[15]) {
    case 4: look = 30.0f * DegreesToRadians; break;
    case 5: look = 60.0f * DegreesToRadians; break;
    case 6: look = -30.0f * DegreesToRadians; break;
    case 7: look = -60.0f * DegreesToRadians; break;
    default: break;
    }
    const float at[3] = {FixToMetres(car.position.x), FixToMetres(car.position.y), FixToMetres(car.position.z)};
    if (full) {
        const int viewMode = ProgressLinks.viewModeSet != nullptr ? ProgressLinks.viewModeSet() : 0;
        const float delay = viewMode ? CameraDelay : FvLag;
        for (int k = 0; k < 3; ++k) {
            car.smoothPosition[k].SetTarget(at[k] + car.velocity[k] * delay, car.velocity[k], delay);
            car.smoothPosition[k].Advance(dt);
        }
        car.smoothPosition[3].SetTarget(look, 0.0f, 0.15f);
        car.smoothPosition[3].Advance(dt);
    } else {
        for (int k = 0; k < 3; ++k) {
            car.smoothPosition[k].Init(at[k], car.velocity[k]);
        }
        car.smoothPosition[3].Init(look, 0.15f);
    }
}

// The timing nodes of the path (finish first) that the follower reached.
void CrossTimingNodes(CarObject &car, const Path &path, int node)
{
    const World *world = CurrentWorld;
    const int32_t nodes[1 + PathMaxSplits] = {path.finishNode, path.splitNodes[0], path.splitNodes[1],
                                              path.splitNodes[2]};
    const int count = world->timingLineCount < 1 + PathMaxSplits ? world->timingLineCount : 1 + PathMaxSplits;
    for (int i = 0; i < count; ++i) {
        if (nodes[i] == node) {
            car.CrossTimingLine(i + 1);
        }
    }
}

// One backward step of a car behind its node: the wrong-way count and the
// follower's move (none from node 0 of an open path). 0 when the car went
// back onto the path's end instead.
void StepBack(CarObject &car, PathFollower &follower, const Path &path, float b)
{
    if (!RaceIsOnline()) {
        RaceObject *race = RaceObjectPtr;
        if (race != nullptr && race->hotLapSingle != 0) {
            ++car.wrongWayCount;
            if (car.wrongWayCount == HotLapWrongWaySteps) {
                race->InvalidateHotLap(HotLapWrongWayReason);
            }
        }
    } else {
        car.CheckWrongWay();
    }
    const int node = follower.node;
    const bool closed = (path.flags & PathClosedLoop) != 0;
    if (node == 0 && !closed) {
        if (!car.isRemote && b < -PathEndReach) {
            ReturnToPathEnd(car, path.nodes[0]);
        }
        return;
    }
    const int previous = node == 0 ? path.nodeCount - 1 : node - 1;
    follower.node = previous;
    follower.ApplyNodeDeltas(node);
}

// One forward step. Returns 1 when the follower moved.
int StepForward(CarObject &car, PathFollower &follower, const Path &path, float a)
{
    if (car.wrongWayCount > 0) {
        --car.wrongWayCount;
    }
    const int node = follower.node;
    const bool closed = (path.flags & PathClosedLoop) != 0;
    if (!closed && node >= path.nodeCount - 2) {
        if (!car.isRemote && a > PathEndReach) {
            ReturnToPathEnd(car, path.nodes[path.nodeCount - 1]);
        }
        return 0;
    }
    const int next = node + 1 >= path.nodeCount ? 0 : node + 1;
    follower.node = next;
    follower.ApplyNodeDeltas(next);
    return 1;
}

float Clamp01(float x)
{
    return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
}

float ClampTo(float x, float low, float high)
{
    return x < low ? low : (x > high ? high : x);
}

// Moves `value` towards `target` by `rate` of the difference; a target that
// is not a number leaves it.
void Blend(float &value, float target, float rate)
{
    if (std::isfinite(target)) {
        value += (target - value) * rate;
    }
}

}  // namespace

void UpdatePathLearning(CarObject &car, PathNode &node)
{
    const float w = car.halfWidth;
    const float offset = car.progress[1];
    // 1. Far off the drivable area the car teaches nothing.
    if (!(offset >= node.outerLeft - 2.0f * w && offset <= node.outerRight + 2.0f * w)) {
        return;
    }
    // 2. Load shares and the grip in use, front and rear. A wheel with no
    // grip available (in the air) adds nothing.
    const float weight = car.mass * 9.81f * 0.25f;
    if (!(weight > 0.0f) || car.wheels == nullptr) {
        return;
    }
    float frontLoad = 0.0f;
    float rearLoad = 0.0f;
    float frontGrip = 0.0f;
    float rearGrip = 0.0f;
    for (int i = 0; i < car.wheelCount; ++i) {
        const CarWheel &wheel = car.wheels[i];
        const float available = wheel.frictionLimit;
        if (!(available > 0.0f)) {
            continue;
        }
        const float share = wheel.normalForce * 0.25f / weight;
        // The tangential part of the contact force is the grip in use.
        const float *f = wheel.contactForce;
        const float total2 = f[0] * f[0] + f[1] * f[1] + f[2] * f[2];
        const float normal2 = wheel.normalForce * wheel.normalForce;
        const float used = total2 > normal2 ? std::sqrt(total2 - normal2) : 0.0f;
        const float grip = share * (used < available ? used : available) / available;
        if (wheel.axleIndex != 0) {
            frontLoad += share;
            frontGrip += grip;
        } else {
            rearLoad += share;
            rearGrip += grip;
        }
    }
    const float front = Clamp01(frontLoad);
    const float rear = Clamp01(rearLoad);
    const float frontUse = Clamp01(frontGrip);
    const float rearUse = Clamp01(rearGrip);
    const float totalUse = Clamp01(frontGrip + rearGrip);

    // 3. The band the car drove: its centre shifted by the load balance.
    const float centre = ClampTo(offset + (rear - front) * w, node.leftEdge, node.rightEdge);
    const float left = ClampTo(centre - w, node.leftEdge, node.rightEdge);
    const float right = ClampTo(centre + w, node.leftEdge, node.rightEdge);

    // 4. Blend into the node: slowly for grips and centre, faster when the
    // band widens than when it narrows.
    const float r = RubberLay;
    Blend(node.lines[0].weight, frontUse * frontUse, 0.05f * r);
    Blend(node.lines[1].weight, totalUse * totalUse, 0.05f * r);
    Blend(node.lines[2].weight, rearUse * rearUse, 0.05f * r);
    Blend(node.lines[1].offset, centre, 0.05f * r);
    Blend(node.lines[0].offset, left, left < node.lines[0].offset ? 0.1f * r : 0.025f * r);
    Blend(node.lines[2].offset, right, right > node.lines[2].offset ? 0.1f * r : 0.025f * r);
    node.QueryGround(nullptr);
}

float HeadingAtOffset(const PathNode &node, float offset)
{
    const float heading = FloatAtan2(-node.direction[0], node.direction[1]);
    const bool right = offset > 0.0f;
    const float inner = right ? node.rightEdge : -node.leftEdge;
    const float outer = right ? node.outerRight : -node.outerLeft;
    const float size = right ? offset : -offset;
    float share;
    if (size <= inner) {
        share = inner > 0.0f ? size / inner : 0.0f;
    } else {
        const float band = outer - inner;
        share = 1.0f + (band > 0.0f ? (size - inner) / band : 1.0f);
        if (share > 2.0f) {
            share = 2.0f;
        }
    }
    // Right of the centre the car turns left (towards the road), and the
    // other way on the left.
    return right ? heading + QuarterPi * share : heading - QuarterPi * share;
}

void ReturnToPathEnd(CarObject &car, const PathNode &node)
{
    const float w = car.halfWidth;
    float offset = car.progress[1];
    int moved = 0;
    if (car.AnyWheelInState4or8() || !(offset >= node.leftEdge + w && offset <= node.rightEdge - w)) {
        const float low = node.outerLeft + w;
        const float high = node.outerRight - w;
        if (!(offset >= low)) {
            offset = low;
        }
        if (offset > high) {
            offset = high;
        }
        car.progress[1] = offset;
        car.position.x = WrapAdd(node.position[0], MetresToFix(offset * node.direction[1]));
        car.position.y = WrapAdd(node.position[1], MetresToFix(-offset * node.direction[0]));
        car.position.z = node.position[2];
        moved = 1;
    }
    car.Reset(HeadingAtOffset(node, offset), 1, moved);
    car.engine.StartAtIdle();
}

void SendCarEvent(CarObject &car, int reason)
{
    PlayerSlot *slot = FindCarSlot(&car);
    if (slot == nullptr) {
        return;
    }
    const uint8_t packet[4] = {CarEventPacket, CarEventSubtype, SlotPlayerId(slot), static_cast<uint8_t>(reason)};
    RaceQueueGamePacket(packet, 4);
    RaceFlushGameBatch(0);
}

void ReportRouteError(CarObject &car, int reason)
{
    RacePlayInterfaceSound(ErrorInterfaceSound);
    if (RaceLessonActive()) {
        if (ProgressLinks.lessonFailWrongRoute != nullptr) {
            ProgressLinks.lessonFailWrongRoute();
        }
        return;
    }
    PlayerSlot *slot = FindCarSlot(&car);
    if (slot == nullptr) {
        return;
    }
    const uint8_t packet[4] = {TimePenaltyPacket, SlotPlayerId(slot), RouteErrorSeconds, RouteErrorKind};
    RaceQueueGamePacket(packet, 4);
    if (RaceIsOnline()) {
        SendCarEvent(car, reason);
    }
}

void CheckCircleZones(CarObject &car)
{
    for (int i = 0; i < LayoutCircles.count && i < MaxLayoutCircles; ++i) {
        if (i == car.lastZone) {
            continue;
        }
        const LayoutRecord &circle = LayoutCircles.records[i];
        const int64_t r = static_cast<int64_t>((circle.flags >> 2) & 15) << 16;
        const int64_t cx = static_cast<int64_t>(circle.x) << 12;
        const int64_t cy = static_cast<int64_t>(circle.y) << 12;
        int64_t dx = car.position.x - cx;
        int64_t dy = car.position.y - cy;
        dx = dx < 0 ? -dx : dx;
        dy = dy < 0 ? -dy : dy;
        if (!(dx < r && dy < r && ((dx * dx) >> 16) + ((dy * dy) >> 16) < ((r * r) >> 16))) {
            continue;
        }
        car.lastZone = static_cast<uint8_t>(i);
        if (circle.flags & LayoutRestrictedFlag) {
            RacePrintMessage(Tx(Text_3g_restarea), ColourSalmon);
            ReportRouteError(car, 3);
        } else if (circle.heading > car.nextCheckpoint) {
            RacePrintMessage(Tx(Text_3g_rt_wrong), ColourSalmon);
            ReportRouteError(car, 2);
        } else if (circle.heading == car.nextCheckpoint) {
            ++car.nextCheckpoint;
        }
    }
}

void CheckLapLines(CarObject &car)
{
    const int lineCount = LayoutRouteLines.timingLineCount;
    if (lineCount <= 0) {
        return;
    }
    int index = static_cast<int>(car.nextLine) - 1;
    if (car.nextLine == 1 || car.nextLine == lineCount + 1) {
        index = 0;
    }
    if (index < 0 || index >= lineCount || index >= 4) {
        return;
    }
    const LayoutServices &layout = GetLayoutServices();
    if (index == 0 && layout.lessonOwnFinish != nullptr && layout.lessonOwnFinish()) {
        if (car.stopped) {
            car.CrossTimingLine(1);
        }
        return;
    }
    const LayoutRouteLine &line = LayoutRouteLines.lines[index];
    const int64_t rx = static_cast<int64_t>(car.position.x) - line.point[0];
    const int64_t ry = static_cast<int64_t>(car.position.y) - line.point[1];
    const int64_t along = ((rx * line.direction[0]) >> 16) + ((ry * line.direction[1]) >> 16);
    if (along < 1) {
        car.behindLine = 1;
        return;
    }
    if (!car.behindLine) {
        return;
    }
    car.behindLine = 0;
    const int64_t across = ((rx * line.along[0]) >> 16) + ((ry * line.along[1]) >> 16);
    const int64_t half = line.halfWidth;
    if (along > half || across > half || across < -half) {
        return;
    }
    if (index == 0) {
        if (car.nextCheckpoint != CountLayoutCheckCircles()) {
            RacePrintMessage(Tx(Text_3g_rt_wrong), ColourSalmon);
            ReportRouteError(car, 2);
        }
        car.nextCheckpoint = 0;
        car.lastZone = NoZone;
    }
    car.CrossTimingLine(index + 1);
    car.speedAtLine = car.speed;
}

void UpdateRaceProgress(CarObject &car, float dt, int full)
{
    UpdateFollowPoint(car, dt, full);

    // 1. A remote car that is not stepped here goes no further.
    if (car.isRemote && !car.active) {
        return;
    }
    // 2. The layout's circles.
    if (RaceObjectPtr != nullptr && LayoutCircles.count > 0 && !car.isRemote) {
        CheckCircleZones(car);
    }
    // 3. The follower must know where the car is.
    World *world = CurrentWorld;
    PathFollower *follower = car.pathFollower;
    if (world == nullptr || world->currentPath == nullptr || follower == nullptr) {
        return;
    }
    Path &path = *world->currentPath;
    const int32_t point[3] = {car.position.x, car.position.y, car.position.z};
    if (path.nodeCount < 2 || follower->EnsurePosition(point) || follower->node < 0 ||
        follower->node >= path.nodeCount) {
        return;
    }

    // 4. The span from P to N.
    auto nextOf = [&path](int n) { return n + 1 >= path.nodeCount ? 0 : n + 1; };
    const PathNode *p = &path.nodes[follower->node];
    const PathNode *n = &path.nodes[nextOf(follower->node)];
    float a = AlongNode(car, *n);
    float b = AlongNode(car, *p);
    const bool timed = IsTimedPath(path);
    const bool layoutLines = LayoutRouteLines.timingLineCount > 0;

    if (Dot3(car.velocity, n->direction) <= 0.0f) {
        // 5. Not moving forwards.
        if (Dot3(car.velocity, p->direction) < 0.0f) {
            const float forward[3] = {car.orientation[1], car.orientation[4], car.orientation[7]};
            if (Dot3(forward, p->direction) < 0.0f && timed && !LayoutRouteLines.startOverride) {
                ++car.penaltyCounter;
            } else if (car.speed < 1.0f) {
                car.ClearPenaltyState();
            }
        }
        if (b < 0.0f) {
            StepBack(car, *follower, path, b);
            p = &path.nodes[follower->node];
            n = &path.nodes[nextOf(follower->node)];
            a = AlongNode(car, *n);
            b = AlongNode(car, *p);
        }
    } else {
        // 6. Moving forwards.
        car.ClearPenaltyState();
        if (a > 0.0f && StepForward(car, *follower, path, a)) {
            p = &path.nodes[follower->node];
            n = &path.nodes[nextOf(follower->node)];
            a = AlongNode(car, *n);
            b = AlongNode(car, *p);
            if (timed && !layoutLines) {
                CrossTimingNodes(car, path, follower->node);
            }
            // The node just reached learns from the car, once per pass.
            if (full && car.updatesPath && a <= 0.0f && !car.finished) {
                UpdatePathLearning(car, path.nodes[follower->node]);
            }
        }
    }
    car.progressNode = follower->node;

    // 7. The layout's timing lines.
    if (layoutLines && !car.isRemote) {
        CheckLapLines(car);
    }

    // 8. Between P and N: distance, offset and lane.
    if (!(a <= 0.0f && b >= 0.0f)) {
        car.wrongWayCount = 0;
        return;
    }
    float t = std::fabs(b - a) > 0.001f ? b / (b - a) : 0.0f;
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    if (follower->node == path.finishNode) {
        car.pathLapDistance = t * n->distance;
    } else {
        car.pathLapDistance = p->distance + t * (n->distance - p->distance);
    }
    PathNode at;
    const float span = at.Interpolate(*p, *n, t, full);
    const float limit = car.topSpeedEstimate;
    car.progress[0] = 0.5f * (span < limit ? span : limit);
    const float dx = FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(car.position.x) -
                                                      static_cast<uint32_t>(at.position[0])));
    const float dy = FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(car.position.y) -
                                                      static_cast<uint32_t>(at.position[1])));
    const float offset = at.direction[1] * dx - at.direction[0] * dy;
    car.progress[1] = offset;
    const float width = at.rightEdge - at.leftEdge;
    int lane = 0;
    if (width > 0.0f) {
        const float share = (offset - at.leftEdge) * 8.0f / width;
        lane = share >= 7.0f ? 7 : (share > 0.0f ? static_cast<int>(share) : 0);
    }
    car.progressWord = lane;
    const float length = std::sqrt(at.direction[0] * at.direction[0] + at.direction[1] * at.direction[1]);
    if (length > 0.0f) {
        car.roadDirection[0] = at.direction[0] / length;
        car.roadDirection[1] = at.direction[1] / length;
    }
    car.roadEdges[0] = at.leftEdge;
    car.roadEdges[1] = at.rightEdge;
    if (offset < at.leftEdge - OffRoadStop || offset > at.rightEdge + OffRoadStop) {
        if (!car.isRemote) {
            car.StopMotion();
        }
        car.wrongWayCount = 0;
    }
    if (car.rafState == 2) {
        RecordCarDataFrame(&car);
    }
}

void InstallRaceProgress()
{
    InstallRacePacketSenders();
    RaceServices.updateRaceProgress = [](CarObject *car, float dt, int full) { UpdateRaceProgress(*car, dt, full); };
    CarNetwork.sendCarEvent = [](CarObject *car, int reason) { SendCarEvent(*car, reason); };
}
