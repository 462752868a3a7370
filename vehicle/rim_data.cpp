#include "vehicle/rim_data.h"

#include <bit>
#include <cmath>

#include "core/data_stream.h"
#include "render/model_node.h"
#include "vehicle/fix_convert.h"
#include "vehicle/tyre_type_table.h"

namespace {

constexpr float TwoPi = 6.2831855f;
constexpr float TanThirtyDegrees = 0.57735026f;
constexpr float FlangeHeight = 0.015f;   // flange radius above the rim radius, metres

void WriteFloat(DataStream &stream, float value) {
    stream.WriteU32(std::bit_cast<uint32_t>(value));
}

// A non-negative float that rounds into the 32-bit range.
bool FitsInt32(float value) {
    return std::isfinite(value) && value >= 0.0f && value < 2147483648.0f;
}

}  // namespace

int RimRepeatCount(int stored) {
    return stored >= MinRimRepeatCount && stored <= MaxRimRepeatCount ? stored : MinRimRepeatCount;
}

int RimSegmentCount(int repeatCount) {
    static const uint8_t Segments[MaxRimRepeatCount - MinRimRepeatCount + 1] = {
        30, 27, 28, 30, 30, 28, 28, 27, 30, 30, 30, 26, 28, 30, 28, 30, 27, 30, 30, 30, 30};
    return Segments[RimRepeatCount(repeatCount) - MinRimRepeatCount];
}

void RimData::Read(DataStream &stream, int version) {
    FreeMeshes();
    tyreWidth = stream.ReadFloat();
    aspect = stream.ReadFloat();
    rimRadius = stream.ReadFloat();
    rimWidth = stream.ReadFloat();
    stream.ReadBytes(style, 4);
    travelReference = stream.ReadFloat();
    inclination = stream.ReadFloat();
    if (version >= RimOptionBytesVersion) {
        seatInset = static_cast<uint8_t>(stream.ReadU8());
        darkening = static_cast<uint8_t>(stream.ReadU8());
        suspensionType = static_cast<uint8_t>(stream.ReadU8());
        secondArmAngle = static_cast<int8_t>(stream.ReadU8());
    } else {
        stream.ReadFloat();   // unused in older records
        seatInset = 0;
        darkening = 0;
        suspensionType = 0;
        secondArmAngle = 0;
    }
    trackWidth = stream.ReadFloat();
    armBaseAngle = stream.ReadFloat();
    hubOffset = stream.ReadFloat();
    pivotHeight = stream.ReadFloat();
    probeStartOffset = stream.ReadFloat();
    probeStart = MetresToFix(probeStartOffset);
    firstArmLength = stream.ReadFloat();
    secondArmLength = stream.ReadFloat();
    uprightLength = stream.ReadFloat();
}

void RimData::Write(DataStream &stream) const {
    WriteFloat(stream, tyreWidth);
    WriteFloat(stream, aspect);
    WriteFloat(stream, rimRadius);
    WriteFloat(stream, rimWidth);
    stream.WriteBytes(style, 4);
    WriteFloat(stream, travelReference);
    WriteFloat(stream, inclination);
    stream.WriteU8(seatInset);
    stream.WriteU8(darkening);
    stream.WriteU8(suspensionType);
    stream.WriteU8(static_cast<uint8_t>(secondArmAngle));
    WriteFloat(stream, trackWidth);
    WriteFloat(stream, armBaseAngle);
    WriteFloat(stream, hubOffset);
    WriteFloat(stream, pivotHeight);
    WriteFloat(stream, probeStartOffset);
    WriteFloat(stream, firstArmLength);
    WriteFloat(stream, secondArmLength);
    WriteFloat(stream, uprightLength);
}

void RimData::FreeMeshes() {
    DeleteModelNode(hubNode);
    DeleteModelNode(rimNode);
    hubNode = nullptr;
    rimNode = nullptr;
}

void ClearRimProfile(RimData &rim) {
    rim.FreeMeshes();
    static_cast<RimDataFields &>(rim) = RimDataFields{};
}

int ComputeTyreProfile(RimData &rim, float lateralOffset, int roundCrown) {
    rim.roundCrown = roundCrown;
    rim.outerRadius = 0.0f;
    rim.crownRadius = 0.0f;
    rim.treadWidth = 0.0f;
    rim.tyreValues[0] = 0.0f;
    rim.tyreValues[1] = 0.0f;
    rim.tyreValues[2] = 0.0f;
    rim.boundingRadius = 0;
    rim.detailDistance = 0;

    const float W = rim.tyreWidth;
    const float A = rim.aspect;
    const float r = rim.rimRadius;
    const float d = lateralOffset;
    if (rim.tyreType < 0 || rim.tyreType >= TyreTypeCount)
        return 0;
    if (!std::isfinite(W) || !std::isfinite(A) || !std::isfinite(r) || !std::isfinite(d))
        return 0;
    if (!(W > 0.0f) || !(A > 0.0f) || !(r > 0.0f))
        return 0;

    const float h = W * 0.5f;
    const float e = r + FlangeHeight;
    const float R = A * W + r;
    float c;
    float s;
    float k;
    if (roundCrown) {
        c = h * 1.4142f;
        s = c * 0.4539f;
        k = R - c * 0.29290003f;   // shoulder radius
    } else {
        const float f = W * 0.02f;
        const float t = R - f;
        const float g = (t - e) * 0.3f;
        k = t - g;
        s = h - g;
        const float gf = g + f;
        c = (h * h + gf * gf) / (2.0f * gf);
    }
    // A shoulder at or below the flange leaves no sidewall (the stiffness
    // factor would divide by the root of zero or of a negative height), and a
    // sidewall taller than the half width leaves no tread.
    if (!(k - e > 0.0f) || !(s > 0.0f))
        return 0;

    const float typeFactor = TyreTypeTable[rim.tyreType].factor;
    const float stiffness = typeFactor * W / std::sqrt(k - e);
    const float contactArea = std::sqrt(c) * std::sqrt(R) * TwoPi;
    const float damping = std::sqrt(R * W) * 3000.0f;
    const float reach = h + d;
    const float bounding = std::sqrt(reach * reach + R * R) * 65536.0f;
    const float detail = W * 32768.0f / TanThirtyDegrees;
    if (!std::isfinite(R) || !std::isfinite(c) || !std::isfinite(s) || !std::isfinite(stiffness) ||
        !std::isfinite(contactArea) || !std::isfinite(damping) || !FitsInt32(bounding) ||
        !FitsInt32(detail))
        return 0;

    rim.outerRadius = R;
    rim.crownRadius = c;
    rim.treadWidth = 2.0f * s;
    rim.tyreValues[0] = stiffness;
    rim.tyreValues[1] = contactArea;
    rim.tyreValues[2] = damping;
    rim.boundingRadius = RoundToInt(bounding);
    rim.detailDistance = RoundToInt(detail);
    return 1;
}
