#include "race/path_range.h"

#include <algorithm>
#include <cmath>

#include "race/ai_driver.h"
#include "race/ai_knowledge.h"
#include "core/fixed_math.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/hermite.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/track_colours.h"
#include "world/world.h"

namespace {

constexpr int32_t LinePointLift = 2048;
constexpr int32_t DeepProbeHeight = -1310720;   // -20 m
constexpr int32_t DeepProbeLength = -5242880;   // -80 m

int Wrap(int index, int count)
{
    index %= count;
    return index < 0 ? index + count : index;
}

float HorizontalDistance(const int32_t a[3], const int32_t b[3])
{
    const float dx = FixToMetres(b[0] - a[0]);
    const float dy = FixToMetres(b[1] - a[1]);
    return std::sqrt(dx * dx + dy * dy);
}

uint8_t SurfaceByte(const TrackColour *surface)
{
    const int kind = surface ? surface->surfaceKind : 0;
    return static_cast<uint8_t>(kind >= 12 ? 0 : kind);
}

int DeepProbe(int32_t x, int32_t y, ContactProbe &record)
{
    record.Clear();
    return SolidContactQuery(FixVector{x, y, DeepProbeHeight}, FixVector{0, 0, DeepProbeLength}, record);
}

void Cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

int PathRangeLength(const KnowledgeRange &range, const Path &path)
{
    const int64_t count = path.nodeCount;
    if (count <= 0) {
        return 0;
    }
    return static_cast<int>((int64_t(range.endNode) - int64_t(range.startNode) + count) % count);
}

void EvaluateRangePoint(const KnowledgeRange &range, int length, int k, int32_t out[2])
{
    const int32_t s = static_cast<int32_t>((int64_t(k) * 65536) / length);
    out[0] = EvaluateHermite(range.x, s);
    out[1] = EvaluateHermite(range.y, s);
}

void BuildPathRange(KnowledgeRange *range, const Path &path, const KnowledgeNode *nodes, int start, int end,
                    float startOffset, float endOffset, float halfWidth)
{
    const int count = path.nodeCount;
    range->startNode = static_cast<uint32_t>(start);
    range->endNode = static_cast<uint32_t>(end);
    const PathNode &a = path.nodes[start];
    const PathNode &b = path.nodes[end];
    int32_t p0[3];
    int32_t p1[3];
    a.GetLateralPoint(p0, halfWidth, startOffset);
    b.GetLateralPoint(p1, halfWidth, endOffset);
    const float *d0 = nodes ? nodes[start].dir : a.direction;
    const float *d1 = nodes ? nodes[end].dir : b.direction;
    const float l0 = HorizontalDistance(a.position, path.nodes[Wrap(start + 1, count)].position);
    const float l1 = HorizontalDistance(path.nodes[Wrap(end - 1, count)].position, b.position);
    const float n = static_cast<float>(PathRangeLength(*range, path));
    const float stiffStart = static_cast<float>(range->startStiffness + 100);
    const float stiffEnd = static_cast<float>(range->endStiffness + 100);
    int32_t *coefficients[2] = {range->x, range->y};
    for (int axis = 0; axis < 2; ++axis) {
        const int32_t t0 = RoundToInt(n * d0[axis] * stiffStart * 0.01f * l0 * 65536.0f);
        const int32_t t1 = RoundToInt(n * d1[axis] * stiffEnd * 0.01f * l1 * 65536.0f);
        SetHermiteCoeffs(coefficients[axis], p0[axis], p1[axis], t0, t1);
    }
}

void BuildRangeFromPoints(KnowledgeRange *range, const Path &path, int start, int end, const int32_t p0[2],
                          const int32_t p1[2], const float d0[2], const float d1[2], int32_t s0, int32_t s1)
{
    range->startNode = static_cast<uint32_t>(start);
    range->endNode = static_cast<uint32_t>(end);
    const float n = static_cast<float>(PathRangeLength(*range, path));
    int32_t *coefficients[2] = {range->x, range->y};
    for (int axis = 0; axis < 2; ++axis) {
        const int32_t t0 = RoundToInt(static_cast<float>(s0) * d0[axis] * n);
        const int32_t t1 = RoundToInt(static_cast<float>(s1) * d1[axis] * n);
        SetHermiteCoeffs(coefficients[axis], p0[axis], p1[axis], t0, t1);
    }
}

void FillRangeOffsets(const KnowledgeRange &range, const Path &path, KnowledgeNode *nodes)
{
    const int length = PathRangeLength(range, path);
    for (int k = 1; k < length; ++k) {
        const int index = Wrap(static_cast<int>(range.startNode) + k, path.nodeCount);
        const PathNode &p = path.nodes[index];
        int32_t point[2];
        EvaluateRangePoint(range, length, k, point);
        // Positions wrap at the ends of their range: so do their differences.
        const float sx = FixToMetres(WrapSub(point[0], p.position[0]));
        const float sy = FixToMetres(WrapSub(point[1], p.position[1]));
        nodes[index].offset = sy * -p.direction[0] + sx * p.direction[1];
    }
}

void FillRangePoints(const KnowledgeRange &range, const Path &path, KnowledgeNode *nodes)
{
    const int length = PathRangeLength(range, path);
    for (int k = 1; k < length; ++k) {
        int32_t point[2];
        EvaluateRangePoint(range, length, k, point);
        KnowledgeNode &node = nodes[k - 1];
        node.linePoint[0] = point[0];
        node.linePoint[1] = point[1];
        node.linePoint[2] = 0;
    }
}

int CheckRangeOnTrack(const KnowledgeRange &range, const Path &path, const KnowledgeNode *lineNodes, int *touch,
                      float halfWidth, int allowedSurface)
{
    const int length = PathRangeLength(range, path);
    if (length == 0) {
        return 0;
    }
    int onRoad = -1;
    int changes = 0;
    int above = -1;
    for (int k = 1; k < length; ++k) {
        const int index = Wrap(static_cast<int>(range.startNode) + k, path.nodeCount);
        const PathNode &p = path.nodes[index];
        int32_t point[2];
        EvaluateRangePoint(range, length, k, point);
        const int32_t dx = MetresToFix(p.direction[1] * halfWidth);
        const int32_t dy = MetresToFix(-p.direction[0] * halfWidth);
        for (int side = 0; side < 2; ++side) {
            ContactProbe record;
            const int32_t x = side == 0 ? point[0] + dx : point[0] - dx;
            const int32_t y = side == 0 ? point[1] + dy : point[1] - dy;
            if (!DeepProbe(x, y, record)) {
                continue;
            }
            const int kind = record.surface ? record.surface->surfaceKind : 0;
            if (kind == 1) {
                *touch = 1;
            }
            const bool barred = kind == 2 || kind == 3 || kind == 4 || kind == 5 || kind == 8 || kind == 11 ||
                                kind == 13;
            if (barred && kind != allowedSurface) {
                return 1;
            }
        }
        const float lateral = FixToMetres(point[0] - p.position[0]) * p.direction[1] +
                              FixToMetres(point[1] - p.position[1]) * -p.direction[0];
        if (lateral - halfWidth < p.outerLeft || lateral + halfWidth > p.outerRight) {
            return 1;
        }
        const int nowOnRoad = lateral - halfWidth >= p.leftEdge && lateral + halfWidth <= p.rightEdge;
        const int nowAbove = lateral > lineNodes[index].offset;
        if (k == 1) {
            above = nowAbove;
        } else {
            if (nowOnRoad != onRoad && ++changes > 1) {
                return 1;
            }
            if (nowAbove != above) {
                return 1;
            }
        }
        onRoad = nowOnRoad;
    }
    return 0;
}

float ProjectPointOnNode(PathNode *moved, const PathNode &onto)
{
    const float toward[2] = {FixToMetres(onto.position[0] - moved->position[0]),
                             FixToMetres(onto.position[1] - moved->position[1])};
    const float along = toward[0] * onto.direction[0] + toward[1] * onto.direction[1];
    const float facing = moved->direction[0] * onto.direction[0] + moved->direction[1] * onto.direction[1];
    if (std::fabs(facing) > 1e-6f) {
        const float t = along / facing;
        moved->position[0] += MetresToFix(moved->direction[0] * t);
        moved->position[1] += MetresToFix(moved->direction[1] * t);
    }
    return FixToMetres(moved->position[0] - onto.position[0]) * onto.direction[1] +
           FixToMetres(moved->position[1] - onto.position[1]) * -onto.direction[0];
}

namespace {

// The entry or exit search: grows the range one node at a time while it
// stays drivable, then keeps the last good length. `build` makes the range
// of k nodes and returns its far node on the racing line.
template <typename BuildRange>
int SearchRange(const Path &path, const AiKnowledge &line, float halfWidth, int bound, BuildRange build,
                KnowledgeRange *range)
{
    int k = 5;
    int good = 5;
    bool clean = false;
    for (;;) {
        ++k;
        if (k > bound) {
            break;
        }
        const int lineNode = build(k, range);
        int touch = 0;
        if (CheckRangeOnTrack(*range, path, line.nodes, &touch, halfWidth, line.nodes[lineNode].surface) != 0) {
            break;
        }
        if (!touch) {
            good = k;
            clean = true;
        } else if (!clean) {
            good = k;
        }
    }
    build(good, range);
    return good;
}

}  // namespace

int AiDriver::BuildKnowledge()
{
    hasPitLine = 0;
    pitLine.Clear();
    const World *world = CurrentWorld;
    const Path *path = world ? world->currentPath : nullptr;
    if (!path || path->nodeCount < 2 || !line.nodes || line.nodeCount != static_cast<uint32_t>(path->nodeCount)) {
        return 0;
    }
    const int count = path->nodeCount;
    int firstPit = -1;
    for (int i = 0; i < path->secondNodeCount; ++i) {
        if (path->secondNodes[i].flags & 8) {
            firstPit = i;
            break;
        }
    }
    if (firstPit < 0) {
        return 0;
    }
    const PathNode *pits = path->secondNodes + firstPit;
    const int pitCount = path->secondNodeCount - firstPit;
    if (pitCount < 2 || pitCount >= count) {
        return 0;
    }
    const float halfWidth = car ? car->halfWidth : 0.0f;
    const int bound = count - pitCount;

    // Entry: from the racing line to the first pit node.
    PathNode entryPit = pits[0];
    PathFollower *follower = new PathFollower;
    const int e = follower->FindPosition(entryPit.position, 0);
    PathNode exitPit = pits[pitCount - 1];
    const int x = e < 0 ? -1 : follower->FindPosition(exitPit.position, 0);
    delete follower;
    if (e < 0 || x < 0) {
        return 0;
    }
    ProjectPointOnNode(&entryPit, path->nodes[e]);
    const int32_t firstSegment = MetresToFix(HorizontalDistance(pits[0].position, pits[1].position));
    KnowledgeRange entry = {};
    // An open path's ranges must not wrap round its ends.
    const bool closed = (path->flags & PathClosedLoop) != 0;
    const int k = SearchRange(*path, line, halfWidth, closed ? bound : std::min(bound, e),
                              [&](int length, KnowledgeRange *range) {
                                  const int from = Wrap(e - length, count);
                                  const KnowledgeNode &start = line.nodes[from];
                                  BuildRangeFromPoints(range, *path, from, e, start.linePoint, entryPit.position,
                                                       start.dir, entryPit.direction, MetresToFix(start.distance),
                                                       firstSegment);
                                  return from;
                              },
                              &entry);
    pitEntryNode = Wrap(e - k, count);

    // Exit: from the last pit node back to the racing line.
    const int b = Wrap(x + 1, count);
    ProjectPointOnNode(&exitPit, path->nodes[b]);
    const int32_t lastSegment =
        MetresToFix(HorizontalDistance(pits[pitCount - 2].position, pits[pitCount - 1].position));
    KnowledgeRange exit = {};
    const int kExit = SearchRange(*path, line, halfWidth, closed ? bound : std::min(bound, count - 1 - b),
                                  [&](int length, KnowledgeRange *range) {
                                      const int to = Wrap(b + length, count);
                                      const KnowledgeNode &end = line.nodes[to];
                                      BuildRangeFromPoints(range, *path, b, to, exitPit.position, end.linePoint,
                                                           exitPit.direction, end.dir, lastSegment,
                                                           MetresToFix(end.distance));
                                      return to;
                                  },
                                  &exit);
    pitExitNode = Wrap(b + kExit, count);

    // The node list: the line's entry node, the entry spline, the pit nodes,
    // the exit spline and the line's exit node.
    const int total = k + pitCount + kExit;
    pitLine.AllocNodes(total);
    if (pitLine.nodeCount != static_cast<uint32_t>(total)) {
        return 0;
    }
    KnowledgeNode *nodes = pitLine.nodes;
    nodes[0] = line.nodes[pitEntryNode];
    FillRangePoints(entry, *path, nodes + 1);
    for (int i = 0; i < pitCount; ++i) {
        const PathNode &pit = i == 0 ? entryPit : (i == pitCount - 1 ? exitPit : pits[i]);
        KnowledgeNode &node = nodes[k + i];
        node.linePoint[0] = pit.position[0];
        node.linePoint[1] = pit.position[1];
        node.linePoint[2] = pit.position[2];
    }
    FillRangePoints(exit, *path, nodes + k + pitCount);
    nodes[total - 1] = line.nodes[pitExitNode];
    // The across vector, pointing right, from which the geometry makes an
    // upward normal.
    for (KnowledgeNode *copied : {&nodes[0], &nodes[total - 1]}) {
        const float normal[3] = {copied->normal[0], copied->normal[1], copied->normal[2]};
        Cross(copied->dir, normal, copied->normal);
    }
    for (int i = 1; i < total - 1; ++i) {
        KnowledgeNode &node = nodes[i];
        ContactProbe record;
        if (DeepProbe(node.linePoint[0], node.linePoint[1], record)) {
            node.surfaceLow = node.surfaceHigh = SurfaceByte(record.surface);
            node.linePoint[2] = record.hitPoint.z + LinePointLift;
            const float chord[3] = {FixToMetres(nodes[i + 1].linePoint[0] - nodes[i - 1].linePoint[0]),
                                    FixToMetres(nodes[i + 1].linePoint[1] - nodes[i - 1].linePoint[1]), 0.0f};
            Cross(chord, record.normal, node.normal);
        } else {
            const KnowledgeNode &before = nodes[i - 1];
            node.surfaceLow = before.surfaceLow;
            node.surfaceHigh = before.surfaceHigh;
            node.linePoint[2] = before.linePoint[2];
            node.normal[0] = before.normal[0];
            node.normal[1] = before.normal[1];
            node.normal[2] = before.normal[2];
        }
    }
    pitLine.ComputeNodeGeometry(0, halfWidth, 0, total - 1);
    hasPitLine = 1;
    return 1;
}
