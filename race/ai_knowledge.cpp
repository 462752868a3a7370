#include "race/ai_knowledge.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/float_math.h"
#include "race/path_range.h"
#include "race/race_links.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"
#include "vehicle/fix_convert.h"
#include "vehicle/surface_table.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/track_code.h"
#include "world/track_colours.h"
#include "world/world.h"

namespace {

constexpr int32_t LinePointLift = 2048;   // 16.16: the line floats 1/32 m above the ground

uint8_t SurfaceByte(const TrackColour *surface)
{
    const int kind = surface ? surface->surfaceKind : 0;
    return static_cast<uint8_t>(kind >= 12 ? 0 : kind);
}

int Wrap(int index, int count)
{
    index %= count;
    return index < 0 ? index + count : index;
}

void Normalise(float v[3])
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f) {
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
}

void Cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

void AiKnowledge::Clear()
{
    std::free(nodes);
    std::free(ranges);
    *this = AiKnowledge{};
}

void AiKnowledge::FreeCar()
{
    delete car;
    car = nullptr;
}

void AiKnowledge::AllocNodes(int count)
{
    std::free(nodes);
    nodes = nullptr;
    nodeCount = 0;
    if (count <= 0) {
        return;
    }
    nodes = static_cast<KnowledgeNode *>(std::calloc(static_cast<size_t>(count), sizeof(KnowledgeNode)));
    nodeCount = nodes ? static_cast<uint32_t>(count) : 0;
}

void ReadKnowledgeRange(DataStream *stream, KnowledgeRange *range)
{
    range->tag = static_cast<uint16_t>(stream->ReadU16());
    stream->ReadU16();
    range->startStiffness = static_cast<uint8_t>(stream->ReadU8());
    range->endStiffness = static_cast<uint8_t>(stream->ReadU8());
    stream->ReadU16();
    range->startNode = stream->ReadU32();
    range->endNode = stream->ReadU32();
    range->angle = stream->ReadFloat();
    range->endOffset = stream->ReadFloat();
}

int AiKnowledge::Parse(DataStream *stream, int version, int expectedNodes, int *wrongCount)
{
    std::free(ranges);
    ranges = nullptr;
    rangeCount = 0;
    if (wrongCount) {
        *wrongCount = 0;
    }
    if (version < KnowledgeFileVersion) {
        return 0;
    }
    for (uint8_t &byte : settings) {
        byte = static_cast<uint8_t>(stream->ReadU8());
    }
    settingsWord = static_cast<uint16_t>(stream->ReadU16());
    settingsWord2 = static_cast<uint16_t>(stream->ReadU16());
    fuelPerLap = stream->ReadFloat();
    fileValue = stream->ReadFloat();
    lapTime = stream->ReadFloat();
    tankSize = stream->ReadFloat();
    const int fileNodes = static_cast<int16_t>(stream->ReadU16());
    const int fileRanges = static_cast<int16_t>(stream->ReadU16());
    if (stream->overrun) {
        return 0;
    }
    if (fileNodes != expectedNodes) {
        if (wrongCount) {
            *wrongCount = 1;
        }
        return 0;
    }
    // The counts are signed in the file and index the node table: a negative
    // count, ranges beyond the file's bytes or a range node outside the table
    // refuse the file.
    if (fileRanges < 0 || int64_t(fileRanges) * KnowledgeRangeFileSize > stream->Remaining()) {
        return 0;
    }
    if (fileRanges == 0) {
        return 1;
    }
    KnowledgeRange *table =
        static_cast<KnowledgeRange *>(std::calloc(static_cast<size_t>(fileRanges), sizeof(KnowledgeRange)));
    if (!table) {
        return 0;
    }
    for (int i = 0; i < fileRanges; ++i) {
        ReadKnowledgeRange(stream, &table[i]);
        if (table[i].startNode >= static_cast<uint32_t>(fileNodes) ||
            table[i].endNode >= static_cast<uint32_t>(fileNodes)) {
            std::free(table);
            return 0;
        }
    }
    if (stream->overrun) {
        std::free(table);
        return 0;
    }
    ranges = table;
    rangeCount = static_cast<uint32_t>(fileRanges);
    return 1;
}

int AiKnowledge::Load(const char *fileName, int expectedNodes)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, fileName, "KZVKNW", &version, KnowledgeFileVersion, 0) != nullptr) {
        return 0;
    }
    if (version < KnowledgeFileVersion) {
        stream.Close();
        return 0;
    }
    int wrongCount = 0;
    const int result = Parse(&stream, version, expectedNodes, &wrongCount);
    stream.Close();
    if (wrongCount) {
        RacePrint("Wrong number of nodes", RaceMessageWarning);
    }
    return result;
}

void AiKnowledge::SetRangeEnd(int rangeIndex, const Path &path, float halfWidth)
{
    KnowledgeRange &range = ranges[rangeIndex];
    const PathNode &pathNode = path.nodes[range.endNode];
    KnowledgeNode &node = nodes[range.endNode];
    const float c = FloatCos(range.angle);
    const float s = FloatSin(range.angle);
    node.dir[0] = c * pathNode.direction[0] - s * pathNode.direction[1];
    node.dir[1] = s * pathNode.direction[0] + c * pathNode.direction[1];
    node.dir[2] = pathNode.direction[2];
    const float margin = 1.0f + halfWidth;
    float offset = range.endOffset;
    if (offset < pathNode.leftEdge + margin) {
        offset = pathNode.leftEdge + margin;
    }
    if (offset > pathNode.rightEdge - margin) {
        offset = pathNode.rightEdge - margin;
    }
    range.endOffset = offset;
    node.offset = offset;
}

int AiKnowledge::Build(const Path &path, float halfWidth)
{
    if (path.nodeCount <= 0 || !path.nodes) {
        return 0;
    }
    AllocNodes(path.nodeCount);
    if (nodeCount != static_cast<uint32_t>(path.nodeCount)) {
        return 0;
    }
    for (uint32_t r = 0; r < rangeCount; ++r) {
        if (ranges[r].startNode >= nodeCount || ranges[r].endNode >= nodeCount) {
            return 0;
        }
    }
    for (uint32_t r = 0; r < rangeCount; ++r) {
        SetRangeEnd(static_cast<int>(r), path, halfWidth);
    }
    for (uint32_t r = 0; r < rangeCount; ++r) {
        KnowledgeRange &range = ranges[r];
        BuildPathRange(&range, path, nodes, static_cast<int>(range.startNode), static_cast<int>(range.endNode),
                       nodes[range.startNode].offset, nodes[range.endNode].offset, halfWidth);
    }
    for (uint32_t r = 0; r < rangeCount; ++r) {
        FillRangeOffsets(ranges[r], path, nodes);
    }
    return PlaceNodes(path.nodes, (path.flags & PathClosedLoop) != 0, halfWidth, 0,
                      static_cast<int>(nodeCount) - 1);
}

int AiKnowledge::PlaceNodes(const PathNode *pathNodes, int closed, float halfWidth, int first, int last)
{
    const int count = static_cast<int>(nodeCount);
    if (count <= 0) {
        return 0;
    }
    const float margin = 0.9f + halfWidth;
    for (int i = first;; i = Wrap(i + 1, count)) {
        KnowledgeNode &node = nodes[i];
        const PathNode &p = pathNodes[i];
        if (!(node.offset > p.leftEdge + margin && node.offset <= p.rightEdge - margin)) {
            return 0;
        }
        const float across[2] = {p.direction[1], -p.direction[0]};
        node.linePoint[0] = p.position[0] + MetresToFix(across[0] * node.offset);
        node.linePoint[1] = p.position[1] + MetresToFix(across[1] * node.offset);
        node.linePoint[2] = p.position[2];

        const int32_t dx = MetresToFix(across[0] * halfWidth);
        const int32_t dy = MetresToFix(across[1] * halfWidth);
        const int32_t low = p.position[2] - 4 * 65536;
        const FixVector ray = {0, 0, -6 * 65536};
        ContactProbe high = {};
        ContactProbe lowProbe = {};
        high.Clear();
        lowProbe.Clear();
        const int hitHigh =
            SolidContactQuery(FixVector{node.linePoint[0] + dx, node.linePoint[1] + dy, low}, ray, high);
        const int hitLow =
            SolidContactQuery(FixVector{node.linePoint[0] - dx, node.linePoint[1] - dy, low}, ray, lowProbe);
        if (hitHigh && hitLow) {
            node.surfaceHigh = SurfaceByte(high.surface);
            node.surfaceLow = SurfaceByte(lowProbe.surface);
            node.linePoint[2] =
                static_cast<int32_t>((int64_t(high.hitPoint.z) + lowProbe.hitPoint.z) / 2) + LinePointLift;
            node.normal[0] = FixToMetres(high.hitPoint.x - lowProbe.hitPoint.x);
            node.normal[1] = FixToMetres(high.hitPoint.y - lowProbe.hitPoint.y);
            node.normal[2] = FixToMetres(high.hitPoint.z - lowProbe.hitPoint.z);
        } else {
            ContactProbe centre = {};
            centre.Clear();
            if (SolidContactQuery(FixVector{node.linePoint[0], node.linePoint[1], low}, ray, centre)) {
                node.surfaceHigh = node.surfaceLow = SurfaceByte(centre.surface);
                node.linePoint[2] = centre.hitPoint.z + LinePointLift;
                // Pointing right like the two-probe vector, so that the
                // normal made from it points up.
                Cross(p.direction, centre.normal, node.normal);
            } else {
                node.surfaceHigh = node.surfaceLow = 0;
                node.normal[0] = across[0];
                node.normal[1] = across[1];
                node.normal[2] = 0.0f;
            }
        }
        if (i == last) {
            break;
        }
    }
    ComputeNodeGeometry(closed, halfWidth, first, last);
    return 1;
}

void AiKnowledge::ComputeNodeGeometry(int closed, float, int first, int last)
{
    const int count = static_cast<int>(nodeCount);
    if (count <= 0) {
        return;
    }
    for (int i = first;; i = Wrap(i + 1, count)) {
        int previous;
        int next;
        if (closed) {
            previous = Wrap(i - 1, count);
            next = Wrap(i + 1, count);
        } else {
            previous = i == first ? first : Wrap(i - 1, count);
            next = i == last ? last : Wrap(i + 1, count);
        }
        KnowledgeNode &node = nodes[i];
        const KnowledgeNode &before = nodes[previous];
        const KnowledgeNode &after = nodes[next];
        const float chord[3] = {FixToMetres(after.linePoint[0] - before.linePoint[0]),
                                FixToMetres(after.linePoint[1] - before.linePoint[1]),
                                FixToMetres(after.linePoint[2] - before.linePoint[2])};
        const float across[3] = {node.normal[0], node.normal[1], node.normal[2]};
        Cross(across, chord, node.normal);
        Normalise(node.normal);
        const float chordSquared = chord[0] * chord[0] + chord[1] * chord[1];
        const float chordLength = std::sqrt(chordSquared);
        if (chordLength > 0.0f) {
            node.dir[0] = chord[0] / chordLength;
            node.dir[1] = chord[1] / chordLength;
        }
        node.dir[2] = 0.0f;
        node.bank = node.normal[1] * node.dir[0] - node.normal[0] * node.dir[1];
        node.gradient = -(node.normal[0] * node.dir[0]) - node.normal[1] * node.dir[1];
        const float toNext[2] = {FixToMetres(node.linePoint[0] - after.linePoint[0]),
                                 FixToMetres(node.linePoint[1] - after.linePoint[1])};
        node.distance = std::sqrt(toNext[0] * toNext[0] + toNext[1] * toNext[1]);
        if (chordSquared > 0.0f) {
            node.curvature = (toNext[0] * node.dir[1] - toNext[1] * node.dir[0]) * 8.0f / chordSquared;
            const float middle = (FixToMetres(before.linePoint[2]) + FixToMetres(after.linePoint[2])) * 0.5f;
            node.vertCurvature = (middle - FixToMetres(node.linePoint[2])) * 8.0f / chordSquared;
        } else {
            node.curvature = 0.0f;
            node.vertCurvature = 0.0f;
        }
        node.surface = node.curvature > 0.0f ? node.surfaceHigh : node.surfaceLow;
        const SurfaceInfo &info = SurfaceTable[node.surface < SurfaceKindCount ? node.surface : 0];
        node.surfaceFlag = info.loose;
        node.surfaceValue = info.drag;
        const float lean = node.curvature * node.bank;
        node.bankFactor = lean > 1e-6f ? 1.0f + std::fabs(node.bank)
                                       : (lean < -1e-6f ? 1.0f - std::fabs(node.bank) : 1.0f);
        if (i == last) {
            break;
        }
    }
}

void AiKnowledge::InterpolateNodes(KnowledgeNode &out, const KnowledgeNode &a, const KnowledgeNode &b, float t,
                                   int arc)
{
    out = KnowledgeNode{};
    auto lerp = [t](float x, float y) { return x + (y - x) * t; };
    out.offset = lerp(a.offset, b.offset);
    out.maxSpeed = lerp(a.maxSpeed, b.maxSpeed);
    out.curvature = lerp(a.curvature, b.curvature);
    out.vertCurvature = lerp(a.vertCurvature, b.vertCurvature);
    out.frontGrip = lerp(a.frontGrip, b.frontGrip);
    out.rearGrip = lerp(a.rearGrip, b.rearGrip);
    out.bank = lerp(a.bank, b.bank);
    out.gradient = lerp(a.gradient, b.gradient);
    out.bankFactor = lerp(a.bankFactor, b.bankFactor);
    out.distance = 0.0f;
    out.brakeLevel = static_cast<uint8_t>(a.brakeLevel + RoundToInt(float(b.brakeLevel - a.brakeLevel) * t));
    out.throttleLevel =
        static_cast<uint8_t>(a.throttleLevel + RoundToInt(float(b.throttleLevel - a.throttleLevel) * t));
    for (int k = 0; k < 3; ++k) {
        out.dir[k] = lerp(a.dir[k], b.dir[k]);
        out.normal[k] = lerp(a.normal[k], b.normal[k]);
        out.linePoint[k] = a.linePoint[k] + RoundToInt(float(int64_t(b.linePoint[k]) - a.linePoint[k]) * t);
    }
    Normalise(out.dir);
    Normalise(out.normal);
    if (!arc) {
        return;
    }
    const bool sameSign = (a.curvature > 0.0f) == (b.curvature > 0.0f);
    if (!sameSign || std::fabs(a.curvature) <= 0.0005f || std::fabs(b.curvature) <= 0.0005f) {
        return;
    }
    // Everything relative to a's point, in metres.
    const float radius = 0.5f / a.curvature + 0.5f / b.curvature;
    const float chord[2] = {FixToMetres(b.linePoint[0] - a.linePoint[0]), FixToMetres(b.linePoint[1] - a.linePoint[1])};
    const float chordSquared = chord[0] * chord[0] + chord[1] * chord[1];
    const float rise = radius * radius - chordSquared * 0.25f;
    // A chord longer than the arc's diameter has no centre: keep the point.
    if (!(chordSquared > 0.0f) || rise < 0.0f) {
        return;
    }
    const float chordLength = std::sqrt(chordSquared);
    const float along = std::sqrt(rise) / chordLength * (radius > 0.0f ? 1.0f : -1.0f);
    const float centre[2] = {chord[0] * 0.5f - chord[1] * along, chord[1] * 0.5f + chord[0] * along};
    const float linear[2] = {FixToMetres(out.linePoint[0] - a.linePoint[0]),
                             FixToMetres(out.linePoint[1] - a.linePoint[1])};
    const float fromCentre[2] = {linear[0] - centre[0], linear[1] - centre[1]};
    const float length = std::sqrt(fromCentre[0] * fromCentre[0] + fromCentre[1] * fromCentre[1]);
    if (!(length > 0.0f)) {
        return;
    }
    const float scale = std::fabs(radius) / length;
    out.linePoint[0] = a.linePoint[0] + MetresToFix(centre[0] + fromCentre[0] * scale);
    out.linePoint[1] = a.linePoint[1] + MetresToFix(centre[1] + fromCentre[1] * scale);
}

void AiKnowledge::CopySettings(CarSetup *setup) const
{
    setup->rearWing = settings[0];
    setup->frontWing = settings[1];
    setup->finalDrive = settingsWord;
}

int AiKnowledge::MatchSettings(const CarSetup &setup) const
{
    return setup.rearWing == settings[0] && setup.frontWing == settings[1] && setup.finalDrive == settingsWord;
}

void MakeKnowledgeFileName(char *out, size_t size, const char *carCode)
{
    char track[16];
    GetTrackCode(track, sizeof track, CurrentWorld ? CurrentWorld->trackName : "");
    std::snprintf(out, size, "data\\knw\\%s_%s.knw", track, carCode);
}

int MakeKnowledgeFileNameForCar(char *out, size_t size, char *carCode, const char *carName)
{
    const char *code = GetCarCodeByName(carName);
    if (!code) {
        char text[96];
        std::snprintf(text, sizeof text, "Car not found : %s", carName ? carName : "");
        RacePrint(text, RaceMessageWarning);
        return 0;
    }
    std::snprintf(carCode, 4, "%s", code);
    MakeKnowledgeFileName(out, size, carCode);
    return 1;
}
