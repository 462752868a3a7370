#include "world/solid_object.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/data_stream.h"
#include "core/debug_log.h"
#include "core/float_math.h"
#include "vehicle/fix_convert.h"
#include "world/panel_object.h"
#include "world/track_colours.h"
#include "world/world.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float MaxPlanAngle = 1.4451327f;

int32_t MulShift(int64_t a, int64_t b)
{
    return static_cast<int32_t>((a * b) >> 16);
}

int64_t MulShift64(int64_t a, int64_t b)
{
    return (a * b) >> 16;
}

float PlanLength(int64_t dx, int64_t dy)
{
    const float x = static_cast<float>(dx) * FixToFloat;
    const float y = static_cast<float>(dy) * FixToFloat;
    return std::sqrt(x * x + y * y);
}

// c0 t^3 + c1 t^2 + c2 t + c3 with t, t^2 and t^3 in 16.16.
int32_t EvaluateCubic(const int32_t c[4], int32_t t, int32_t t2, int32_t t3)
{
    return static_cast<int32_t>(int64_t(MulShift(c[0], t3)) + MulShift(c[1], t2) + MulShift(c[2], t) + c[3]);
}

void Hermite(int32_t c[4], int64_t p0, int64_t p1, int64_t t0, int64_t t1)
{
    c[0] = static_cast<int32_t>(2 * (p0 - p1) + t0 + t1);
    c[1] = static_cast<int32_t>(3 * (p1 - p0) - 2 * t0 - t1);
    c[2] = static_cast<int32_t>(t0);
    c[3] = static_cast<int32_t>(p0);
}

float ClampAngle(float angle)
{
    return angle < -MaxPlanAngle ? -MaxPlanAngle : (angle > MaxPlanAngle ? MaxPlanAngle : angle);
}

// x >> count, shifting left by -count when count is negative.
uint32_t ShiftBy(uint32_t x, int count)
{
    return count >= 0 ? x >> count : x << -count;
}

// The bump height (16.16 m) of a surface at a contact: t along the solid
// and the plan point.
int32_t BumpHeight(const TrackColour &colour, int32_t meanLength, int32_t t, int32_t x, int32_t y)
{
    const int shift = colour.bumpShift > 31 ? 31 : colour.bumpShift;
    const int64_t amplitude = colour.bumpAmplitude;
    if (colour.bumpKind == 1 || colour.bumpKind == 2) {
        const int64_t half = shift > 0 ? int64_t(1) << (shift - 1) : 0;
        int64_t n = (int64_t(meanLength) + half) >> shift;
        n = n < 1 ? 1 : n;
        uint32_t phase = static_cast<uint32_t>(int64_t(t) * n) & 0xFFFFu;
        if (phase > 0x8000u) {
            phase = 0x10000u - phase;
        }
        if (colour.bumpKind == 1) {
            return static_cast<int32_t>((int64_t(phase) * 128 * amplitude) >> 16);
        }
        return static_cast<int32_t>(CurrentWorld->bumpCurve[(phase >> 8) & 0xFF] * amplitude);
    }
    const uint32_t mask = static_cast<uint32_t>((uint64_t(1) << shift) - 1);
    const uint32_t index = ShiftBy(static_cast<uint32_t>(x) & mask, shift - 8) +
                           (ShiftBy(static_cast<uint32_t>(y) & mask, shift - 16) & 0xFF00u);
    return static_cast<int32_t>(CurrentWorld->bumpMap[index & 0xFFFFu] * amplitude);
}

} // namespace

uint32_t CheckpointConfigBit = 0;

SolidObject::SolidObject() = default;

void SolidObject::Release()
{
    // Read makes both arrays even for a count of 0 (one spare element), so
    // they are freed whatever the counts say.
    delete[] curves;
    delete[] links;
    curves = nullptr;
    links = nullptr;
    curveCount = 0;
    linkCount = 0;
    LitMeshObject::Release();
}

int SolidObject::Read(DataStream *stream, int version)
{
    flags = static_cast<uint16_t>(stream->ReadU16());
    stream->ReadU16();
    uint32_t readCurveCount = 0;
    if (version >= 251) {
        sideA = static_cast<uint16_t>(stream->ReadU16());
        sideB = static_cast<uint16_t>(stream->ReadU16());
        indexA = static_cast<uint16_t>(stream->ReadU16());
        indexB = static_cast<uint16_t>(stream->ReadU16());
        checkpoint = static_cast<uint8_t>(stream->ReadU8());
        spareByte = static_cast<uint8_t>(stream->ReadU8());
        readCurveCount = stream->ReadU8() & 0xFF;
        const int readLinkCount = stream->ReadU8() & 0xFF;
        checkpointMask = checkpoint != 0 ? stream->ReadU32() : ConfigMaskAll;
        if (stream->overrun || readCurveCount > MaxSolidCurves ||
            stream->Remaining() < int64_t(readCurveCount) * 20 + int64_t(readLinkCount) * 8 + 8) {
            return 1;
        }
        curveCount = static_cast<uint8_t>(readCurveCount);
        curves = new SolidCurve[curveCount > 0 ? curveCount : 1]();
        for (int c = 0; c < curveCount; c++) {
            SolidCurve &curve = curves[c];
            curve.kind = static_cast<uint8_t>(stream->ReadU8());
            curve.flags = static_cast<uint8_t>(stream->ReadU8());
            curve.vertexA = static_cast<uint8_t>(stream->ReadU8());
            curve.vertexB = static_cast<uint8_t>(stream->ReadU8());
            curve.slopeA = stream->ReadFloat();
            curve.angleA = stream->ReadFloat();
            curve.slopeB = stream->ReadFloat();
            curve.angleB = stream->ReadFloat();
        }
        linkCount = static_cast<uint8_t>(readLinkCount);
        links = new SolidLink[linkCount > 0 ? linkCount : 1]();
        for (int l = 0; l < linkCount; l++) {
            if (ReadSolidLink(stream, links[l]) != 0) {
                return 1;
            }
        }
        segmentLength = stream->ReadFloat();
        textureScale = stream->ReadFloat();
    } else {
        // Older records hold 32-bit fields of which the low bits are kept;
        // an index beyond 16 bits names no object and is refused later.
        const auto index16 = [](uint32_t value) {
            return static_cast<uint16_t>(value > 0xFFFFu ? 0xFFFFu : value);
        };
        sideA = static_cast<uint16_t>(stream->ReadU32());
        indexA = index16(stream->ReadU32());
        sideB = static_cast<uint16_t>(stream->ReadU32());
        indexB = index16(stream->ReadU32());
        segmentLength = stream->ReadFloat();
        textureScale = stream->ReadFloat();
        readCurveCount = stream->ReadU32();
        if (readCurveCount > MaxSolidCurves) {
            LogLine("NumCurves > MAX_V - physics may crash");
            return 1;
        }
        if (stream->overrun || stream->Remaining() < int64_t(readCurveCount) * 28 + 4) {
            return 1;
        }
        curveCount = static_cast<uint8_t>(readCurveCount);
        curves = new SolidCurve[curveCount > 0 ? curveCount : 1]();
        for (int c = 0; c < curveCount; c++) {
            SolidCurve &curve = curves[c];
            curve.vertexA = static_cast<uint8_t>(stream->ReadU32());
            curve.vertexB = static_cast<uint8_t>(stream->ReadU32());
            curve.kind = static_cast<uint8_t>(stream->ReadU8());
            curve.flags = static_cast<uint8_t>(stream->ReadU8());
            stream->ReadU16();
            curve.slopeA = stream->ReadFloat();
            curve.angleA = stream->ReadFloat();
            curve.slopeB = stream->ReadFloat();
            curve.angleB = stream->ReadFloat();
        }
        const int readLinkCount = static_cast<uint8_t>(stream->ReadU32());
        if (stream->overrun || stream->Remaining() < int64_t(readLinkCount) * 8 + 12) {
            return 1;
        }
        linkCount = static_cast<uint8_t>(readLinkCount);
        links = new SolidLink[linkCount > 0 ? linkCount : 1]();
        for (int l = 0; l < linkCount; l++) {
            if (ReadSolidLink(stream, links[l]) != 0) {
                return 1;
            }
        }
        checkpoint = static_cast<uint8_t>(stream->ReadU8());
        const int maskFlags = stream->ReadU8();
        const uint32_t word = static_cast<uint16_t>(stream->ReadU16());
        checkpointMask = 0;
        if (maskFlags & 1) {
            checkpointMask |= word;
        }
        if (maskFlags & 2) {
            checkpointMask |= word << 16;
        }
        spareByte = static_cast<uint8_t>(stream->ReadU32());
        stream->ReadU32();
    }
    for (int l = 0; l < linkCount; l++) {
        if (links[l].curveA >= curveCount || links[l].curveB >= curveCount) {
            return 1;
        }
    }
    return stream->overrun ? 1 : 0;
}

int SolidObject::ResolvePanels(WorldObject *const *objects, int objectCount, int colourCount)
{
    panelA = nullptr;
    panelB = nullptr;
    if (indexA >= objectCount || indexB >= objectCount || !objects[indexA] || !objects[indexB] ||
        objects[indexA]->GetType() != ObjectPanel || objects[indexB]->GetType() != ObjectPanel) {
        return SolidBadPanelIndex;
    }
    PanelObject *a = static_cast<PanelObject *>(objects[indexA]);
    PanelObject *b = static_cast<PanelObject *>(objects[indexB]);
    // Panel B takes panel A's shape at prepare time unless it is composite.
    const int countB = ((flags & SolidCopyPanelShape) && !(b->flags & PanelComposite)) ? a->vertexCount
                                                                                        : b->vertexCount;
    for (int c = 0; c < curveCount; c++) {
        if (curves[c].vertexA >= a->vertexCount || curves[c].vertexB >= countB) {
            return SolidBadVertexIndex;
        }
    }
    for (int l = 0; l < linkCount; l++) {
        if (links[l].surface >= colourCount) {
            return SolidBadSurface;
        }
    }
    panelA = a;
    panelB = b;
    return SolidResolveOk;
}

void SolidObject::EvaluateCurve(const SolidCurve &curve, int32_t t, FixVector &point) const
{
    const int32_t t2 = MulShift(t, t);
    const int32_t t3 = MulShift(t2, t);
    const int32_t u = EvaluateCubic(curve.lateral, t, t2, t3);
    const int32_t px = static_cast<int32_t>(cornerA.x + int64_t(MulShift(int64_t(cornerB.x) - cornerA.x, t)));
    const int32_t py = static_cast<int32_t>(cornerA.y + int64_t(MulShift(int64_t(cornerB.y) - cornerA.y, t)));
    const int32_t wx = static_cast<int32_t>(widthA.x + int64_t(MulShift(int64_t(widthB.x) - widthA.x, t)));
    const int32_t wy = static_cast<int32_t>(widthA.y + int64_t(MulShift(int64_t(widthB.y) - widthA.y, t)));
    point.x = static_cast<int32_t>(px + int64_t(MulShift(wx, u)));
    point.y = static_cast<int32_t>(py + int64_t(MulShift(wy, u)));
    point.z = EvaluateCubic(curve.height, t, t2, t3);
}

void SolidObject::Prepare()
{
    if (!panelA || !panelB) {
        minX = maxX = centreX = positionX;
        minY = maxY = centreY = positionY;
        minZ = maxZ = centreZ = 0;
        radius = 0;
        return;
    }
    // 1. Panel B takes panel A's shape.
    if (flags & SolidCopyPanelShape) {
        if (panelB->flags & PanelComposite) {
            flags &= static_cast<uint16_t>(~SolidCopyPanelShape);
        } else if (panelB != panelA) {
            panelB->heading = panelA->heading;
            if (panelB->vertexCount != panelA->vertexCount) {
                delete[] panelB->vertices;
                panelB->vertices = new PanelVertex[panelA->vertexCount > 0 ? panelA->vertexCount : 1]();
                panelB->vertexCount = panelA->vertexCount;
                // Faces that name a vertex the new shape lacks are dropped.
                int kept = 0;
                for (int f = 0; f < panelB->faceCount; f++) {
                    const PanelFace &face = panelB->faces[f];
                    if (face.vertex[0] < panelB->vertexCount && face.vertex[1] < panelB->vertexCount &&
                        face.vertex[2] < panelB->vertexCount) {
                        panelB->faces[kept++] = face;
                    }
                }
                panelB->faceCount = static_cast<uint8_t>(kept);
            }
            if (panelA->vertexCount > 0) {
                memcpy(panelB->vertices, panelA->vertices, sizeof(PanelVertex) * panelA->vertexCount);
            }
        }
    }

    // 2.
    positionX = static_cast<int32_t>((int64_t(panelA->positionX) + panelB->positionX) / 2);
    positionY = static_cast<int32_t>((int64_t(panelA->positionY) + panelB->positionY) / 2);

    // 3. Lateral directions; a mirrored panel is turned by pi.
    const float headingA = panelA->heading + (sideA != 1 ? Pi : 0.0f);
    const float headingB = panelB->heading + (sideB != 1 ? Pi : 0.0f);
    const float cosA = FloatCos(headingA), sinA = FloatSin(headingA);
    const float cosB = FloatCos(headingB), sinB = FloatSin(headingB);
    directionA = {RoundToInt(cosA * 65536.0f), RoundToInt(sinA * 65536.0f), 0};
    directionB = {-RoundToInt(cosB * 65536.0f), -RoundToInt(sinB * 65536.0f), 0};

    // 4. Lateral extents at both ends.
    int64_t minA = 0, maxA = 0, minB = 0, maxB = 0;
    for (int c = 0; c < curveCount; c++) {
        const int32_t offA = panelA->GetVertexLateral(sideA, curves[c].vertexA);
        const int32_t offB = -panelB->GetVertexLateral(sideB, curves[c].vertexB);
        minA = (c == 0 || offA < minA) ? offA : minA;
        maxA = (c == 0 || offA > maxA) ? offA : maxA;
        minB = (c == 0 || offB < minB) ? offB : minB;
        maxB = (c == 0 || offB > maxB) ? offB : maxB;
    }

    // 5. Closing edges: without a straight curve along an edge the footprint
    // reaches 1 m beyond it.
    int closedMin = 0, closedMax = 0;
    for (int c = 0; c < curveCount; c++) {
        if (curves[c].kind != 2) {
            continue;
        }
        const int32_t offA = panelA->GetVertexLateral(sideA, curves[c].vertexA);
        const int32_t offB = -panelB->GetVertexLateral(sideB, curves[c].vertexB);
        closedMin |= offA == minA && offB == minB;
        closedMax |= offA == maxA && offB == maxB;
    }
    if (!closedMax) {
        maxA += 65536;
        maxB += 65536;
    }
    if (!closedMin) {
        minA -= 65536;
        minB -= 65536;
    }
    if (minA == maxA) {
        minA -= 65536;
        maxA += 65536;
    }
    if (minB == maxB) {
        minB -= 65536;
        maxB += 65536;
    }

    // 6. The two long edges; the shorter is the chosen one.
    const auto edgeEnd = [](const PanelObject *panel, const FixVector &direction, int64_t offset) {
        return FixVector{static_cast<int32_t>(panel->positionX + int64_t(MulShift(direction.x, offset))),
                         static_cast<int32_t>(panel->positionY + int64_t(MulShift(direction.y, offset))), 0};
    };
    const FixVector minEdgeA = edgeEnd(panelA, directionA, minA), minEdgeB = edgeEnd(panelB, directionB, minB);
    const FixVector maxEdgeA = edgeEnd(panelA, directionA, maxA), maxEdgeB = edgeEnd(panelB, directionB, maxB);
    const float minLength = PlanLength(int64_t(minEdgeB.x) - minEdgeA.x, int64_t(minEdgeB.y) - minEdgeA.y);
    const float maxLength = PlanLength(int64_t(maxEdgeB.x) - maxEdgeA.x, int64_t(maxEdgeB.y) - maxEdgeA.y);
    const int chooseMax = maxLength <= minLength;
    cornerA = chooseMax ? maxEdgeA : minEdgeA;
    cornerB = chooseMax ? maxEdgeB : minEdgeB;
    const int64_t chosenA = chooseMax ? maxA : minA;
    const int64_t chosenB = chooseMax ? maxB : minB;
    meanLength = RoundToInt((minLength + maxLength) / 2.0f * 65536.0f);

    // 7.
    const int64_t extentA = maxA - minA, extentB = maxB - minB;
    widthA = {MulShift(directionA.x, extentA), MulShift(directionA.y, extentA), 0};
    widthB = {MulShift(directionB.x, extentB), MulShift(directionB.y, extentB), 0};

    // 8. The cubics of every curve.
    for (int c = 0; c < curveCount; c++) {
        SolidCurve &curve = curves[c];
        curve.flags &= static_cast<uint8_t>(~CurveDegenerate);
        FixVector start = {0, 0, 0}, end = {0, 0, 0};
        panelA->GetVertexWorldPosition(sideA, curve.vertexA, start);
        panelB->GetVertexWorldPosition(sideB, curve.vertexB, end);
        const int taggedA = (panelA->flags & PanelComposite) || panelA->GetVertexTag(sideA, curve.vertexA) != 0;
        const int taggedB = (panelB->flags & PanelComposite) || panelB->GetVertexTag(sideB, curve.vertexB) != 0;
        if (taggedA && taggedB) {
            curve.kind = 2;
            if (start.x == end.x && start.y == end.y && start.z == end.z) {
                curve.flags |= CurveDegenerate;
            }
        }
        const int32_t latA = panelA->GetVertexLateral(sideA, curve.vertexA);
        const int32_t latB = panelB->GetVertexLateral(sideB, curve.vertexB);
        const int32_t uStart = static_cast<int32_t>(((int64_t(latA) - chosenA) * 65536) / extentA);
        const int32_t uEnd = static_cast<int32_t>(((-int64_t(latB) - chosenB) * 65536) / extentB);
        const float slopeStart = panelA->GetVertexSlope(sideA, curve.vertexA) + curve.slopeA;
        const float slopeEnd = curve.slopeB - panelB->GetVertexSlope(sideB, curve.vertexB);
        const float angleStart = ClampAngle(panelA->GetVertexAngle(sideA, curve.vertexA) + curve.angleA);
        const float angleEnd = ClampAngle(panelB->GetVertexAngle(sideB, curve.vertexB) + curve.angleB);

        if (curve.kind == 0) {
            // The plan tangents: the across line at each end's u turned into
            // that end's panel frame, leaning by the plan angle.
            const auto alongAt = [&](int32_t u, float cosH, float sinH, float angle, float lengthSign) {
                const int64_t lx = (int64_t(cornerB.x) + MulShift(widthB.x, u)) - (int64_t(cornerA.x) + MulShift(widthA.x, u));
                const int64_t ly = (int64_t(cornerB.y) + MulShift(widthB.y, u)) - (int64_t(cornerA.y) + MulShift(widthA.y, u));
                const float x = static_cast<float>(lx) * FixToFloat, y = static_cast<float>(ly) * FixToFloat;
                const float length = std::sqrt(x * x + y * y);
                return x * cosH + y * sinH + FloatTan(angle) * length * lengthSign;
            };
            const float alongA = alongAt(uStart, cosA, sinA, angleStart, 1.0f);
            const float alongB = alongAt(uEnd, cosB, sinB, angleEnd, -1.0f);
            const int32_t tangentA = RoundToInt(-alongA / (static_cast<float>(extentA) * FixToFloat) * 65536.0f);
            const int32_t tangentB = RoundToInt(alongB / (static_cast<float>(extentB) * FixToFloat) * 65536.0f);
            Hermite(curve.lateral, uStart, uEnd, tangentA, tangentB);
        } else {
            curve.lateral[0] = 0;
            curve.lateral[1] = 0;
            curve.lateral[2] = static_cast<int32_t>(int64_t(uEnd) - uStart);
            curve.lateral[3] = uStart;
        }
        const int32_t heightA = panelA->GetVertexHeight(sideA, curve.vertexA);
        const int32_t heightB = panelB->GetVertexHeight(sideB, curve.vertexB);
        if (curve.kind == 2) {
            curve.height[0] = 0;
            curve.height[1] = 0;
            curve.height[2] = static_cast<int32_t>(int64_t(heightB) - heightA);
            curve.height[3] = heightA;
        } else {
            const float distance = PlanLength(int64_t(end.x) - start.x, int64_t(end.y) - start.y) * 65536.0f;
            Hermite(curve.height, heightA, heightB, RoundToInt(slopeStart * distance),
                    RoundToInt(slopeEnd * distance));
        }
    }

    // 9. Detail levels.
    int n = 1;
    if (segmentLength > 0.0f) {   // also false for NaN
        const float ratio = static_cast<float>(meanLength) * FixToFloat / segmentLength;
        n = static_cast<int>(std::nearbyint(ratio < 65535.0f ? ratio : 65535.0f));
    }
    if (n < 2) {
        n = 1;
    }
    int count = 0;
    const auto addLevel = [&](int segments, int32_t maxDistance) {
        levels[count].segments = static_cast<uint16_t>(segments);
        levels[count].maxDistance = maxDistance;
        count++;
    };
    addLevel(n, 0x400000);
    if (n > 2) {
        if (n / 2 > 2) {
            addLevel(n / 2, 0x1000000);
        }
        addLevel(n / 4 > 1 ? n / 4 : 1, 0);
    }
    levels[count - 1].maxDistance = 0x40000000;
    levelCount = static_cast<uint8_t>(count);
    distanceFlag = 0;

    // 10. Bounds, centre and radius.
    radius = 0;
    if (curveCount == 0) {
        minX = maxX = centreX = positionX;
        minY = maxY = centreY = positionY;
        minZ = maxZ = centreZ = 0;
        return;
    }
    Build(0, 3);
    Build(0, 4);
}

void SolidObject::Build(int level, int mode)
{
    if ((mode != 3 && mode != 4) || !panelA || !panelB || curveCount == 0 || levelCount == 0) {
        return;
    }
    if (level < 0 || level >= levelCount) {
        level = 0;
    }
    if (levels[level].segments == 0) {
        return;
    }
    FixVector start[MaxSolidCurves], end[MaxSolidCurves];
    for (int c = 0; c < curveCount; c++) {
        start[c] = {0, 0, 0};
        end[c] = {0, 0, 0};
        panelA->GetVertexWorldPosition(sideA, curves[c].vertexA, start[c]);
        panelB->GetVertexWorldPosition(sideB, curves[c].vertexB, end[c]);
    }
    float largest = 0.0f;
    const auto fold = [&](const FixVector &p) {
        if (mode == 3) {
            minX = p.x < minX ? p.x : minX;
            maxX = p.x > maxX ? p.x : maxX;
            minY = p.y < minY ? p.y : minY;
            maxY = p.y > maxY ? p.y : maxY;
            minZ = p.z < minZ ? p.z : minZ;
            maxZ = p.z > maxZ ? p.z : maxZ;
        } else {
            const float dx = static_cast<float>(int64_t(p.x) - centreX) * FixToFloat;
            const float dy = static_cast<float>(int64_t(p.y) - centreY) * FixToFloat;
            const float dz = static_cast<float>(int64_t(p.z) - centreZ) * FixToFloat;
            const float squared = dx * dx + dy * dy + dz * dz;
            largest = squared > largest ? squared : largest;
        }
    };
    if (mode == 3) {
        minX = maxX = start[0].x;
        minY = maxY = start[0].y;
        minZ = maxZ = start[0].z;
    }
    for (int c = 0; c < curveCount; c++) {
        fold(start[c]);
    }
    const int n = levels[level].segments;
    for (int i = 1; i <= n; i++) {
        const int32_t t = static_cast<int32_t>((int64_t(i) << 16) / n);
        for (int c = 0; c < curveCount; c++) {
            FixVector point;
            if (i == n) {
                point = end[c];
            } else if (curves[c].flags & CurveDegenerate) {
                point = start[c];
            } else {
                EvaluateCurve(curves[c], t, point);
            }
            fold(point);
        }
    }
    if (mode == 3) {
        centreX = static_cast<int32_t>((int64_t(minX) + maxX) / 2);
        centreY = static_cast<int32_t>((int64_t(minY) + maxY) / 2);
        centreZ = static_cast<int32_t>((int64_t(minZ) + maxZ) / 2);
    } else {
        radius = RoundToInt(std::sqrt(largest) * 65536.0f);
    }
}

int SolidObject::IsPointInside(int32_t x, int32_t y, int32_t margin)
{
    // Which side of the line through a along d the point lies on.
    const auto cross = [x, y](const FixVector &a, int32_t dx, int32_t dy) {
        return ((int64_t(y) - a.y) * dx >> 16) - ((int64_t(x) - a.x) * dy >> 16);
    };
    return cross(cornerB, directionB.x, directionB.y) <= margin &&
           cross(cornerA, -directionA.x, -directionA.y) <= margin;
}

int SolidObject::Contact(const FixVector &p, const FixVector &r, ContactProbe &probe, uint32_t *bumpKind,
                         int32_t *bumpWeight, int32_t *bumpHeight)
{
    // 1. Within the end lines (with about 0.01 m to spare) and with curves.
    const auto cross = [&p](const FixVector &a, int64_t dx, int64_t dy) {
        return ((int64_t(p.y) - a.y) * dx >> 16) - ((int64_t(p.x) - a.x) * dy >> 16);
    };
    if (curveCount == 0 || !CurrentWorld || meanLength <= 0 ||
        cross(cornerB, directionB.x, directionB.y) >= 656 || cross(cornerA, -int64_t(directionA.x), -int64_t(directionA.y)) >= 656) {
        return 0;
    }

    // Geometry spanning more than 16 km is no track (damaged data): keeping
    // below it keeps every 64-bit product below in range.
    constexpr int64_t Far = int64_t(1) << 30;
    for (const int64_t v : {int64_t(cornerB.x) - cornerA.x, int64_t(cornerB.y) - cornerA.y, int64_t(widthA.x),
                            int64_t(widthA.y), int64_t(widthB.x), int64_t(widthB.y)}) {
        if (std::llabs(v) >= Far) {
            return 0;
        }
    }

    // 2. t along the solid: where the across line through the probe's end
    // lies, from a quadratic in t.
    const float dx = static_cast<float>(int64_t(cornerB.x) - cornerA.x) * FixToFloat;
    const float dy = static_cast<float>(int64_t(cornerB.y) - cornerA.y) * FixToFloat;
    const float dwx = static_cast<float>(int64_t(widthB.x) - widthA.x) * FixToFloat;
    const float dwy = static_cast<float>(int64_t(widthB.y) - widthA.y) * FixToFloat;
    const float qx = static_cast<float>(int64_t(p.x) - cornerA.x) * FixToFloat;
    const float qy = static_cast<float>(int64_t(p.y) - cornerA.y) * FixToFloat;
    const float wax = static_cast<float>(widthA.x) * FixToFloat;
    const float way = static_cast<float>(widthA.y) * FixToFloat;
    const float a = dx * dwy - dy * dwx;
    const float b = dx * way + qy * dwx - qx * dwy - dy * wax;
    const float c = qy * wax - qx * way;
    float tf;
    if (std::fabs(a) >= 0.001f) {
        const float disc = b * b - 4.0f * a * c;
        if (disc < 0.001f) {
            return 0;
        }
        tf = -(std::sqrt(disc) + b) / (2.0f * a);
    } else {
        if (std::fabs(b) < 0.001f) {
            return 0;
        }
        tf = -c / b;
    }
    const int32_t t = RoundToInt(tf * 65536.0f);
    const int32_t t2 = MulShift(t, t);
    const int32_t t3 = MulShift(t2, t);
    const float tr = static_cast<float>(t) * FixToFloat;

    // 3. u and h of every curve that a colliding link uses.
    int32_t u[MaxSolidCurves], h[MaxSolidCurves];
    uint8_t used[MaxSolidCurves] = {};
    int32_t uMin = 0, uMax = 0;
    int anyUsed = 0;
    for (int l = 0; l < linkCount; l++) {
        if (!links[l].collide) {
            continue;
        }
        for (const uint8_t index : {links[l].curveA, links[l].curveB}) {
            if (index >= curveCount || used[index]) {
                continue;
            }
            used[index] = 1;
            u[index] = EvaluateCubic(curves[index].lateral, t, t2, t3);
            h[index] = EvaluateCubic(curves[index].height, t, t2, t3);
            uMin = (!anyUsed || u[index] < uMin) ? u[index] : uMin;
            uMax = (!anyUsed || u[index] > uMax) ? u[index] : uMax;
            anyUsed = 1;
        }
    }
    if (!anyUsed) {
        return 0;
    }

    // 4. The probe's fraction across.
    const float across = std::fabs(way) < std::fabs(wax) ? tr * dwx + wax : tr * dwy + way;
    if (std::fabs(across) < 0.001f) {
        return 0;
    }
    const float sf = (std::fabs(way) < std::fabs(wax) ? qx - tr * dx : qy - tr * dy) / across;
    const int32_t s = RoundToInt(sf * 65536.0f);

    // 5. The width at t: the probe must lie within 1 m of the used curves.
    const int64_t wx = widthA.x + int64_t(MulShift(int64_t(widthB.x) - widthA.x, t));
    const int64_t wy = widthA.y + int64_t(MulShift(int64_t(widthB.y) - widthA.y, t));
    const int64_t extent = (wx * (int64_t(cornerB.y) - cornerA.y) - wy * (int64_t(cornerB.x) - cornerA.x)) / meanLength;
    if (extent < 256) {
        return 0;
    }
    const int64_t widen = (int64_t(1) << 32) / extent;
    if (s < uMin - widen || s > uMax + widen) {
        return 0;
    }
    const float wxf = static_cast<float>(wx), wyf = static_cast<float>(wy);
    const float widthLengthF = std::sqrt(wxf * wxf + wyf * wyf);
    const int32_t widthLength = RoundToInt(widthLengthF);
    if (widthLength <= 255 || widthLength >= Far) {
        return 0;
    }
    const int32_t unitX = RoundToInt(wxf / widthLengthF * 65536.0f);
    const int32_t unitY = RoundToInt(wyf / widthLengthF * 65536.0f);

    // 6. The probe height without the caller's bump.
    const int withBumps = bumpKind && bumpWeight && bumpHeight;
    const int32_t bumpSubtracted = withBumps ? *bumpHeight : 0;
    const int64_t z = int64_t(p.z) - bumpSubtracted;
    const int64_t rayAcross = int64_t(MulShift(r.x, unitX)) + MulShift(r.y, unitY);

    // 7. Every colliding link.
    int improved = 0;
    for (int l = 0; l < linkCount; l++) {
        const SolidLink &link = links[l];
        if (!link.collide || link.curveA >= curveCount || link.curveB >= curveCount) {
            continue;
        }
        const int64_t du = int64_t(u[link.curveB]) - u[link.curveA];
        const int64_t dh = int64_t(h[link.curveB]) - h[link.curveA];
        const int64_t dhw = dh * 65536 / widthLength;
        const int64_t m = std::max(std::llabs(du), std::llabs(dhw));
        if (m == 0) {
            continue;
        }
        const int64_t nx = -dhw * 65536 / m;   // across
        const int64_t ny = du * 65536 / m;     // up
        const int64_t lateral = MulShift64(int64_t(s) - u[link.curveA], widthLength);
        const int64_t height = z - h[link.curveA];
        const int64_t side = ((height * ny) >> 16) + ((lateral * nx) >> 16);
        if (side >= 0) {
            continue;
        }
        const int64_t k = ((rayAcross * nx) >> 16) + ((int64_t(r.z) * ny) >> 16);
        if (!(k < -256 && k < side)) {
            continue;
        }
        const int64_t f = side * 65536 / k;
        if (f <= probe.fraction) {
            continue;
        }
        // The hit must lie on the strip between its two curves.
        const int64_t hitLateral = lateral - ((rayAcross * f) >> 16);
        const int64_t hitHeight = height - ((int64_t(r.z) * f) >> 16);
        const int64_t stripX = MulShift64(du, widthLength);
        const int64_t stripY = dh;
        const int64_t scale = std::max(std::llabs(stripY), std::llabs(stripX));
        if (scale == 0 || scale >= Far || std::llabs(hitLateral) >= Far || std::llabs(hitHeight) >= Far) {
            continue;
        }
        const int64_t along = (hitLateral * stripX + hitHeight * stripY) / scale;
        const int64_t squared = (stripX * stripX + stripY * stripY) / scale;
        if (squared <= 255 || along < -128 || along > squared + 128) {
            continue;
        }
        const int64_t w = along * 65536 / squared;
        int32_t lat[4], hgt[4];
        for (int i = 0; i < 4; i++) {
            const int32_t la = curves[link.curveA].lateral[i], lb = curves[link.curveB].lateral[i];
            const int32_t ha = curves[link.curveA].height[i], hb = curves[link.curveB].height[i];
            lat[i] = la + MulShift(int64_t(lb) - la, w);
            hgt[i] = ha + MulShift(int64_t(hb) - ha, w);
        }
        // The along tangent and the across vector give the normal.
        const auto clamp32 = [](int64_t v) { return std::clamp<int64_t>(v, INT32_MIN, INT32_MAX); };
        const int64_t uSlope = 3 * int64_t(MulShift(lat[0], t2)) + 2 * int64_t(MulShift(lat[1], t)) + lat[2];
        const int64_t uMoved = 4 * int64_t(MulShift(lat[0], t3)) + 3 * int64_t(MulShift(lat[1], t2)) +
                               2 * int64_t(MulShift(lat[2], t)) + lat[3];
        const int64_t uSlopeC = clamp32(uSlope), uMovedC = clamp32(uMoved);
        const int64_t hSlope = 3 * int64_t(MulShift(hgt[0], t2)) + 2 * int64_t(MulShift(hgt[1], t)) + hgt[2];
        const float tx = static_cast<float>(int64_t(cornerB.x) - cornerA.x + MulShift64(widthA.x, uSlopeC) +
                                            MulShift64(int64_t(widthB.x) - widthA.x, uMovedC));
        const float ty = static_cast<float>(int64_t(cornerB.y) - cornerA.y + MulShift64(widthA.y, uSlopeC) +
                                            MulShift64(int64_t(widthB.y) - widthA.y, uMovedC));
        const float tz = static_cast<float>(hSlope);
        const float kx = static_cast<float>(du) * FixToFloat * (static_cast<float>(unitX) * FixToFloat);
        const float ky = static_cast<float>(du) * FixToFloat * (static_cast<float>(unitY) * FixToFloat);
        const float kz = static_cast<float>(dhw) * FixToFloat;
        float normal[3] = {ky * tz - kz * ty, kz * tx - kx * tz, kx * ty - ky * tx};
        const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        if (!(length > 0.0f)) {
            continue;
        }
        probe.hitPoint.x = static_cast<int32_t>(p.x - ((int64_t(r.x) * f) >> 16));
        probe.hitPoint.y = static_cast<int32_t>(p.y - ((int64_t(r.y) * f) >> 16));
        probe.hitPoint.z = static_cast<int32_t>(z - ((int64_t(r.z) * f) >> 16) + bumpSubtracted);
        for (int i = 0; i < 3; i++) {
            probe.normal[i] = normal[i] / length;
        }
        const TrackColour *colour =
            link.surface < CurrentWorld->colours.count ? &CurrentWorld->colours.records[link.surface] : nullptr;
        probe.surface = colour;
        probe.otherBody = nullptr;
        if (checkpoint != 0 && (checkpointMask & CheckpointConfigBit) != 0) {
            probe.tag = checkpoint;
        }
        probe.fraction = static_cast<int32_t>(f);
        if (withBumps && colour) {
            const int32_t bump = BumpHeight(*colour, meanLength, t, probe.hitPoint.x, probe.hitPoint.y);
            const uint32_t bytes = uint32_t(colour->surfaceKind) | uint32_t(colour->bumpKind) << 8 |
                                   uint32_t(colour->bumpAmplitude) << 16 | uint32_t(colour->bumpShift) << 24;
            if (bytes == *bumpKind) {
                *bumpHeight = *bumpWeight == 0 ? bump
                                               : static_cast<int32_t>(bump + MulShift(int64_t(*bumpHeight) - bump, *bumpWeight));
            } else {
                *bumpWeight = 65536;
                *bumpKind = bytes;
            }
        }
        improved = 1;
    }
    return improved;
}
