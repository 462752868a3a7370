#include "world/path.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/colour.h"
#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "vehicle/fix_convert.h"
#include "vehicle/surface_table.h"
#include "world/map_squares.h"
#include "world/solid_object.h"
#include "world/track_colours.h"
#include "world/world.h"
#include "world/world_messages.h"

namespace {

constexpr int NodeFixedBytes = 44;            // flags to outer right limit
constexpr int ListEntryBytes = 4;
constexpr int32_t OneMetre = 65536;
constexpr int32_t LineLift = 2048;            // 1/32 m above the ground
constexpr float LapRadiusMargin = 20.0f;      // metres
constexpr float LapRadiusMinimum = 384.0f;    // metres
constexpr float DefaultLineOffsets[3] = {-1.0f, 0.0f, 1.0f};

// The smallest record a node can have: fixed part, optional band data, the
// value and three empty lists.
int MinimumNodeBytes(int withBandData)
{
    return NodeFixedBytes + (withBandData ? PathBandBytes : 0) + 4 + 3 * 4;
}

int ReadCheckedList(IdList &list, DataStream *stream)
{
    if (list.Read(stream) != 0) {
        return 1;
    }
    for (uint32_t i = 0; i < list.count; ++i) {
        if (list.entries[i].id >= VisibilityPlaneSize) {
            list.Free();
            return 1;
        }
    }
    return 0;
}

void FreeNodeArray(PathNode *&nodes, int32_t &count)
{
    for (int i = 0; i < count; ++i) {
        nodes[i].FreeLists();
    }
    delete[] nodes;
    nodes = nullptr;
    count = 0;
}

// Reads count node records into a fresh zeroed array. 0, or non-zero when
// the data is damaged (the array is then freed).
int ReadNodeArray(DataStream *stream, int version, int count, int withBandData, PathNode *&nodes, int32_t &nodeCount)
{
    nodes = nullptr;
    nodeCount = 0;
    if (count == 0) {
        return 0;
    }
    if (static_cast<int64_t>(count) * MinimumNodeBytes(withBandData) > stream->Remaining()) {
        return 1;
    }
    nodes = new PathNode[count]();
    nodeCount = count;
    for (int i = 0; i < count; ++i) {
        if (nodes[i].Read(stream, version, withBandData) != 0) {
            FreeNodeArray(nodes, nodeCount);
            return 1;
        }
    }
    return 0;
}

void ReverseBits(IdList &list)
{
    list.ReverseFlagBits();
}

template <typename T>
void ReverseAndRotate(T *items, uint64_t count, uint64_t rotation)
{
    if (count == 0) {
        return;
    }
    std::reverse(items, items + count);
    std::rotate(items, items + rotation % count, items + count);
}

bool IsRoadSurface(const TrackColour *surface)
{
    const int kind = surface ? surface->surfaceKind : NoSurfaceKind;
    return kind >= 0 && kind < SurfaceKindCount && SurfaceTable[kind].onRoad != 0;
}

// A vertical probe from `above` over the point down to `below` under it.
int ProbeDown(const int32_t point[3], int32_t above, int32_t below, ContactProbe &record)
{
    record.Clear();
    const FixVector end = {point[0], point[1], WrapSub(point[2], below)};
    const FixVector ray = {0, 0, -(above + below)};
    return SolidContactQuery(end, ray, record);
}

} // namespace

// ---------------------------------------------------------------- PathNode

PathNode::PathNode(const PathNode &a, const PathNode &b, float t, int full)
{
    Interpolate(a, b, t, full);
}

void PathNode::FreeLists()
{
    for (IdList &list : deltas) {
        list.Free();
    }
}

int PathNode::Read(DataStream *stream, int /*version*/, int withBandData)
{
    if (stream->Remaining() < MinimumNodeBytes(withBandData)) {
        return 1;
    }
    flags = static_cast<uint8_t>(stream->ReadU8());
    stream->ReadBytes(spare, 3);
    for (int32_t &p : position) {
        p = static_cast<int32_t>(stream->ReadU32());
    }
    for (float &d : direction) {
        d = stream->ReadFloat();
    }
    leftEdge = stream->ReadFloat();
    rightEdge = stream->ReadFloat();
    outerLeft = stream->ReadFloat();
    outerRight = stream->ReadFloat();
    bool sound = IsSoundPathLateral(leftEdge) && IsSoundPathLateral(rightEdge) && IsSoundPathLateral(outerLeft) &&
                 IsSoundPathLateral(outerRight);
    for (const float d : direction) {
        sound = sound && d >= -PathMaxDirection && d <= PathMaxDirection;
    }
    if (!sound) {
        return 1;
    }
    if (withBandData) {
        stream->ReadBytes(band, PathBandBytes);
    }
    value = stream->ReadU32();
    for (int k = 0; k < 3; ++k) {
        lines[k].offset = DefaultLineOffsets[k];
        if (ReadCheckedList(deltas[k], stream) != 0) {
            FreeLists();
            return 1;
        }
    }
    return stream->overrun ? 1 : 0;
}

float PathNode::Interpolate(const PathNode &a, const PathNode &b, float t, int full)
{
    FreeLists();
    *this = PathNode();
    for (int k = 0; k < 3; ++k) {
        const int64_t span = static_cast<int64_t>(b.position[k]) - a.position[k];
        position[k] = WrapAdd(a.position[k], RoundToInt(static_cast<float>(span) * t));
        direction[k] = a.direction[k] + (b.direction[k] - a.direction[k]) * t;
    }
    leftEdge = a.leftEdge + (b.leftEdge - a.leftEdge) * t;
    rightEdge = a.rightEdge + (b.rightEdge - a.rightEdge) * t;
    outerLeft = a.outerLeft + (b.outerLeft - a.outerLeft) * t;
    outerRight = a.outerRight + (b.outerRight - a.outerRight) * t;
    if (full) {
        for (int k = 0; k < 3; ++k) {
            lines[k].offset = DefaultLineOffsets[k];
        }
        value = 0xFFFFFFFFu;
        for (int i = 0; i < PathBandBytes; ++i) {
            const float from = a.band[i];
            band[i] = static_cast<uint8_t>(RoundToInt(from + (static_cast<float>(b.band[i]) - from) * t));
        }
    }
    const float dx = static_cast<float>(static_cast<int64_t>(b.position[0]) - a.position[0]);
    const float dy = static_cast<float>(static_cast<int64_t>(b.position[1]) - a.position[1]);
    return 5.0f * (dx * direction[0] + dy * direction[1]) / 65536.0f;
}

void PathNode::GetLateralPoint(int32_t point[3], float margin, float offset) const
{
    const float low = outerLeft + 1.0f + margin;
    const float high = outerRight - (1.0f + margin);
    if (offset < low) {
        offset = low;
    } else if (offset > high) {
        offset = high;
    }
    point[0] = WrapAdd(position[0], MetresToFix(offset * direction[1]));
    point[1] = WrapAdd(position[1], MetresToFix(-offset * direction[0]));
    point[2] = position[2];
}

int PathNode::QueryGround(int *onRoad)
{
    int timingValue = 0;
    ContactProbe record;
    if (onRoad) {
        *onRoad = 1;
        if (ProbeDown(position, OneMetre, 2 * OneMetre, record)) {
            timingValue = static_cast<int>(record.tag);
            if (!IsRoadSurface(record.surface)) {
                *onRoad = 0;
            }
        }
    }
    if (GraphicsEnabled) {
        const float width = lines[2].offset - lines[0].offset;
        for (DrivingLine &line : lines) {
            const int32_t offset = MetresToFix(line.offset);
            line.point[0] = WrapAdd(position[0], RoundToInt(static_cast<float>(offset) * direction[1]));
            line.point[1] = WrapAdd(position[1], RoundToInt(static_cast<float>(offset) * -direction[0]));
            line.point[2] = position[2];
            float alpha = line.weight * std::min(2.0f / width, 1.0f);
            alpha = std::clamp(alpha, 0.0f, 1.0f);
            line.colour = static_cast<uint32_t>(RoundToInt(alpha * RubberDark * 255.0f)) << 24;
            if (CurrentWorld) {
                if (ProbeDown(line.point, 2 * OneMetre, 4 * OneMetre, record)) {
                    line.point[2] = record.hitPoint.z + LineLift;
                    if (!IsRoadSurface(record.surface)) {
                        line.colour = 0;
                    }
                } else {
                    line.colour = 0;
                }
            }
        }
    }
    return timingValue;
}

// -------------------------------------------------------------------- Path

Path::~Path()
{
    FreeAll();
}

void Path::FreeNodes()
{
    FreeNodeArray(nodes, nodeCount);
}

void Path::FreeSecondNodes()
{
    FreeNodeArray(secondNodes, secondNodeCount);
}

void Path::FreeAll()
{
    FreeNodes();
    FreeSecondNodes();
    for (IdList &list : baseLists) {
        list.Free();
    }
    for (int i = 0; i < lightMapCount; ++i) {
        delete[] lightMaps[i].words;
        delete[] lightMaps[i].items;
    }
    delete[] lightMaps;
    lightMaps = nullptr;
    lightMapCount = 0;
}

int Path::Read(DataStream *stream, int version)
{
    FreeAll();
    flags = stream->ReadU32();
    stream->ReadU32();
    const int count = stream->ReadU16() & 0xFFFF;
    const int secondCount = stream->ReadU16() & 0xFFFF;
    const int withBand = (flags & PathHasBandData) != 0;
    int damaged = stream->overrun;
    if (!damaged) {
        damaged = ReadNodeArray(stream, version, count, withBand, nodes, nodeCount);
    }
    if (!damaged) {
        SmoothOuterLimits(nodes, nodeCount, 1.0f);
        damaged = ReadNodeArray(stream, version, secondCount, 0, secondNodes, secondNodeCount);
    }
    for (int k = 0; k < 3 && !damaged; ++k) {
        damaged = ReadCheckedList(baseLists[k], stream);
    }
    if (!damaged) {
        const uint32_t mapCount = stream->ReadU32();
        // Each light map needs at least its two size words.
        if (static_cast<int64_t>(mapCount) * 8 > stream->Remaining()) {
            damaged = 1;
        } else if (mapCount > 0) {
            lightMaps = new PathLightMap[mapCount]();
            lightMapCount = static_cast<int32_t>(mapCount);
            for (uint32_t i = 0; i < mapCount && !damaged; ++i) {
                PathLightMap &map = lightMaps[i];
                const uint32_t width = stream->ReadU32();
                const uint32_t height = stream->ReadU32();
                const uint64_t size = static_cast<uint64_t>(width) * height;
                if (size * (4 + sizeof(PathLightMapItem)) > static_cast<uint64_t>(std::max<int64_t>(stream->Remaining(), 0))) {
                    damaged = 1;
                    break;
                }
                map.width = width;
                map.height = height;
                if (size > 0) {
                    map.words = new uint32_t[size];
                    map.items = new PathLightMapItem[size];
                    stream->ReadBlock(map.words, static_cast<int>(size * 4));
                    stream->ReadBlock(map.items, static_cast<int>(size * sizeof(PathLightMapItem)));
                }
            }
        }
    }
    if (damaged || stream->overrun) {
        FreeAll();
        return 1;
    }
    return 0;
}

void Path::Reverse(int rotation)
{
    ReversePathNodes(nodes, nodeCount);
    ReversePathNodes(secondNodes, secondNodeCount);
    for (IdList &list : baseLists) {
        ReverseBits(list);
    }
    const uint64_t k = rotation > 0 ? static_cast<uint64_t>(rotation) : 0;
    for (int i = 0; i < lightMapCount; ++i) {
        PathLightMap &map = lightMaps[i];
        const uint64_t size = static_cast<uint64_t>(map.width) * map.height;
        if (size == 0) {
            continue;
        }
        ReverseAndRotate(map.words, size, k);
        ReverseAndRotate(map.items, size, k);
    }
}

// -------------------------------------------------------------- Algorithms

void SmoothOuterLimits(PathNode *nodes, int count, float step)
{
    if (count < 1) {
        return;
    }
    bool changed = true;
    while (changed) {
        changed = false;
        for (int i = 1; i <= count; ++i) {
            const PathNode &node = nodes[i % count];
            const float low = node.outerLeft - step;
            const float high = node.outerRight + step;
            const int neighbours[2] = {(i - 1) % count, (i + 1) % count};
            for (int j : neighbours) {
                PathNode &other = nodes[j];
                if (other.outerLeft < low) {
                    other.outerLeft = low + 0.001f;
                    changed = true;
                }
                if (other.outerRight > high) {
                    other.outerRight = high - 0.001f;
                    changed = true;
                }
            }
        }
    }
}

void ReversePathNodes(PathNode *nodes, int count)
{
    if (count < 1) {
        return;
    }
    std::reverse(nodes, nodes + count);
    for (int i = 0; i < count; ++i) {
        PathNode &node = nodes[i];
        for (float &d : node.direction) {
            d = -d;
        }
        const float left = node.leftEdge;
        node.leftEdge = -node.rightEdge;
        node.rightEdge = -left;
        const float outer = node.outerLeft;
        node.outerLeft = -node.outerRight;
        node.outerRight = -outer;
        uint8_t band[PathBandBytes];
        for (int group = 0; group < 8; ++group) {
            const uint8_t *from = node.band + (7 - group) * 16;
            std::memcpy(band + group * 16, from + 8, 8);
            std::memcpy(band + group * 16 + 8, from, 8);
        }
        std::memcpy(node.band, band, PathBandBytes);
        for (IdList &list : node.deltas) {
            list.ReverseFlagBits();
        }
    }
}

void SetUpLapTiming(Path *path)
{
    World *world = CurrentWorld;
    const bool knowledge = world && world->knowledgePath;
    path->onRoadShare = knowledge ? 0.0f : 1.0f;
    path->finishNode = -1;
    for (int32_t &split : path->splitNodes) {
        split = -1;
    }
    const int n = path->nodeCount;
    if (n < 1) {
        path->centre[0] = path->centre[1] = path->centre[2] = 0;
        path->radius = 0;
        return;
    }
    const int timingLines = world ? world->timingLineCount : 0;
    if (knowledge) {
        CheckpointConfigBit = 1u << (world->config + (world->reversed ? 16 : 0));
        int previous = 0;
        for (int i = 0; i < n; ++i) {
            int onRoad = 0;
            const int v = path->nodes[i].QueryGround(&onRoad);
            if (onRoad) {
                path->onRoadShare += 1.0f / static_cast<float>(n);
            }
            // A run of nodes on one timing line counts at its first node.
            if (v != 0 && v != previous) {
                if (v == 1) {
                    path->finishNode = i;
                } else if (v <= 1 + PathMaxSplits) {
                    // Timing values above 4 name no split and are ignored.
                    const int split = world->reversed ? timingLines + 1 - v : v - 1;
                    if (split >= 1 && split <= PathMaxSplits) {
                        path->splitNodes[split - 1] = i;
                    }
                }
            }
            previous = v;
        }
        CheckpointConfigBit = 0;
    }

    int32_t minX = path->nodes[0].position[0], maxX = minX;
    int32_t minY = path->nodes[0].position[1], maxY = minY;
    for (int i = 1; i < n; ++i) {
        minX = std::min(minX, path->nodes[i].position[0]);
        maxX = std::max(maxX, path->nodes[i].position[0]);
        minY = std::min(minY, path->nodes[i].position[1]);
        maxY = std::max(maxY, path->nodes[i].position[1]);
    }

    if (knowledge && timingLines >= 1) {
        const int32_t lines[1 + PathMaxSplits] = {path->finishNode, path->splitNodes[0], path->splitNodes[1],
                                                  path->splitNodes[2]};
        bool missing = false;
        for (int k = 0; k < timingLines && k < 1 + PathMaxSplits; ++k) {
            if (lines[k] == -1) {
                WorldPrintMessageArg("Checkpoint %d path node not found", k + 1, ColourSalmon);
                missing = true;
            }
        }
        if (missing) {
            WorldPrintMessage("Lap timing error", ColourSalmon);
        }
    }

    auto distanceBetween = [path](int a, int b) {
        const int32_t *p = path->nodes[a].position;
        const int32_t *q = path->nodes[b].position;
        return FixDistance3D(FixVector{p[0], p[1], p[2]}, FixVector{q[0], q[1], q[2]});
    };
    if (!(path->flags & PathClosedLoop)) {
        path->nodes[0].distance = 0.0f;
        for (int i = 1; i < n; ++i) {
            path->nodes[i].distance = path->nodes[i - 1].distance + distanceBetween(i - 1, i);
        }
    } else {
        const int start = path->finishNode < 1 ? 0 : path->finishNode;
        float total = 0.0f;
        for (int step = 1; step <= n; ++step) {
            const int from = (start + step - 1) % n;
            const int to = (start + step) % n;
            total += distanceBetween(from, to);
            path->nodes[to].distance = total;
        }
    }

    path->centre[0] = static_cast<int32_t>((static_cast<int64_t>(minX) + maxX) / 2);
    path->centre[1] = static_cast<int32_t>((static_cast<int64_t>(minY) + maxY) / 2);
    path->centre[2] = 0;
    const float halfWidth = FixToMetres(static_cast<int32_t>((static_cast<int64_t>(maxX) - minX) / 2));
    const float halfHeight = FixToMetres(static_cast<int32_t>((static_cast<int64_t>(maxY) - minY) / 2));
    const float halfDiagonal = std::sqrt(halfWidth * halfWidth + halfHeight * halfHeight);
    path->radius = MetresToFix(std::max(halfDiagonal + LapRadiusMargin, LapRadiusMinimum));
}
