#include "scene/view_geometry.h"

#include <cmath>

#include "core/data_stream.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/geometry_batch.h"
#include "render/view.h"
#include "scene/custom_views.h"

ViewGeometry ViewGeometrySingle{};
ViewGeometry ViewGeometryWide{};
ViewGeometry ViewGeometryTriple{};
ViewGeometry *CurrentViewGeometry = &ViewGeometrySingle;
int ViewGeometryIndex = 0;
int ViewScreenCount = 1;
int ViewLayoutKind = 0;
int ExternalViewArea = 0;
int ViewTooNarrow = 0;
ViewSegment ViewSegments[MaxViewSegments] = {};
int ViewSegmentCount = 0;
float ViewTotalFov = 0.0f;
uint32_t SessionViewMode = 0;

namespace {

constexpr const char *ViewsPath = "data\\misc\\views.bin";
constexpr const char *ViewsFileId = "KZVVSF";
constexpr int ViewsFileVersion = 2;
constexpr int MaxSideScreens = 5;
constexpr int32_t MinScreenWidth = 1024;
constexpr int32_t MaxScreenWidth = 4096;
constexpr float MaxBezel = 20.0f;
constexpr float MaxViewOffset = 0.75f;
constexpr float DegreesToRadians = 3.14159265f / 180.0f;
constexpr float MinSideCosine = 0.1f;

// Nearest integer, halves to even.
int Round(double value)
{
    return static_cast<int>(std::lrint(value));
}

int32_t ClampInt(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : (value > high ? high : value);
}

// A finite value clamped to low..high; anything else keeps the old value.
void TakeClamped(float *field, float value, float low, float high)
{
    if (std::isfinite(value)) {
        *field = value < low ? low : (value > high ? high : value);
    }
}

void TakeFinite(float *field, float value)
{
    if (std::isfinite(value)) {
        *field = value;
    }
}

void SetRecordDefaults(ViewGeometry *record, int left, int right, float fieldOfView)
{
    *record = ViewGeometry{};
    record->equalWidths = 1;
    record->leftScreens = left;
    record->rightScreens = right;
    record->fieldOfView = fieldOfView;
    record->mainWidth = MinScreenWidth;
    record->sideWidth = MinScreenWidth;
    record->screenAngle = 30.0f;
}

// The interface and the 3D window are placed inside the chosen area; the
// render core's screen transform takes the same four values.
void PassScreenTransform(float centreX, float centreY, float widthFraction, float heightFraction)
{
    ViewCentreXFraction = centreX;
    ViewCentreYFraction = centreY;
    ViewWidthFraction = widthFraction;
    ViewHeightFraction = heightFraction;
    SetScreenTransform(centreX, centreY, widthFraction, heightFraction);
}

// Pixel span of a segment.
float SegmentWidth(const ViewSegment &segment)
{
    return static_cast<float>(segment.right - segment.left);
}

// The left side screens outward from the main one, then the right ones;
// false when a side screen would look backwards.
bool TurnSideSegments(int left, int right, int mainIndex, float angle)
{
    for (int k = 1; k <= left; ++k) {
        const ViewSegment &p = ViewSegments[mainIndex - k + 1];
        ViewSegment &s = ViewSegments[mainIndex - k];
        s.yaw = static_cast<float>(k) * angle;
        const float c = std::cos(s.yaw - p.leftEdge) / std::cos(p.leftEdge - p.yaw);
        if (!(c >= MinSideCosine)) {
            return false;
        }
        const float h = (p.scale * 0.5f / c) * (SegmentWidth(s) / SegmentWidth(p));
        s.scale = 2.0f * h;
        s.offset = std::tan(p.leftEdge - s.yaw) / h + 1.0f;
        s.leftEdge = std::atan((s.offset + 1.0f) * h) + s.yaw;
        s.rightEdge = std::atan((s.offset - 1.0f) * h) + s.yaw;
    }
    for (int k = 1; k <= right; ++k) {
        const ViewSegment &p = ViewSegments[mainIndex + k - 1];
        ViewSegment &s = ViewSegments[mainIndex + k];
        s.yaw = -static_cast<float>(k) * angle;
        const float c = std::cos(s.yaw - p.rightEdge) / std::cos(p.rightEdge - p.yaw);
        if (!(c >= MinSideCosine)) {
            return false;
        }
        const float h = (p.scale * 0.5f / c) * (SegmentWidth(s) / SegmentWidth(p));
        s.scale = 2.0f * h;
        s.offset = std::tan(p.rightEdge - s.yaw) / h - 1.0f;
        s.rightEdge = std::atan((s.offset - 1.0f) * h) + s.yaw;
        s.leftEdge = std::atan((s.offset + 1.0f) * h) + s.yaw;
    }
    return true;
}

}  // namespace

void SetDefaultViewGeometry()
{
    SetRecordDefaults(&ViewGeometrySingle, 0, 0, 90.0f);
    if (SwapSide) {
        SetRecordDefaults(&ViewGeometryWide, 0, 1, 90.0f);
    } else {
        SetRecordDefaults(&ViewGeometryWide, 1, 0, 90.0f);
    }
    SetRecordDefaults(&ViewGeometryTriple, 1, 1, 60.0f);
}

void ReadViewGeometryRecord(ViewGeometry *record, DataStream *stream)
{
    record->equalWidths = static_cast<uint8_t>(stream->ReadU8());
    record->fullWidthExternal = static_cast<uint8_t>(stream->ReadU8());
    stream->ReadU8();
    stream->ReadU8();
    record->leftScreens = ClampInt(static_cast<int32_t>(stream->ReadU32()), 0, MaxSideScreens);
    record->rightScreens = ClampInt(static_cast<int32_t>(stream->ReadU32()), 0, MaxSideScreens);
    stream->ReadU32();
    TakeFinite(&record->fieldOfView, stream->ReadFloat());
    TakeClamped(&record->bezelCompensation, stream->ReadFloat(), 0.0f, MaxBezel);
    record->mainWidth = ClampInt(static_cast<int32_t>(stream->ReadU32()), MinScreenWidth, MaxScreenWidth);
    record->sideWidth = ClampInt(static_cast<int32_t>(stream->ReadU32()), MinScreenWidth, MaxScreenWidth);
    TakeFinite(&record->screenAngle, stream->ReadFloat());
    TakeClamped(&record->viewOffset, stream->ReadFloat(), -MaxViewOffset, MaxViewOffset);
    stream->ReadU32();
    stream->ReadU32();
}

void WriteViewGeometryRecord(const ViewGeometry *record, DataStream *stream)
{
    stream->WriteBytes(record, static_cast<int>(sizeof(ViewGeometry)));
}

void ReadViewGeometry()
{
    SetDefaultViewGeometry();
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, ViewsPath, ViewsFileId, &version, ViewsFileVersion, 0) != nullptr) {
        return;
    }
    // Records are read into copies so that a cut file changes nothing.
    ViewGeometry single = ViewGeometrySingle;
    ViewGeometry wide = ViewGeometryWide;
    ViewGeometry triple = ViewGeometryTriple;
    stream.ReadU32();
    ReadViewGeometryRecord(&single, &stream);
    if (version >= 2) {
        ReadViewGeometryRecord(&wide, &stream);
        ReadViewGeometryRecord(&triple, &stream);
    } else if (DesktopWidth < Round(3.75 * DesktopHeight)) {
        ReadViewGeometryRecord(&wide, &stream);
    } else {
        ReadViewGeometryRecord(&triple, &stream);
    }
    const bool complete = version >= 1 && !stream.overrun;
    stream.Close();
    if (complete) {
        ViewGeometrySingle = single;
        ViewGeometryWide = wide;
        ViewGeometryTriple = triple;
    }
}

int WriteViewGeometry()
{
    DataStream stream;
    if (stream.OpenWrite(nullptr, ViewsPath, ViewsFileId, ViewsFileVersion) != nullptr) {
        return 1;
    }
    stream.WriteU32(0);
    WriteViewGeometryRecord(&ViewGeometrySingle, &stream);
    WriteViewGeometryRecord(&ViewGeometryWide, &stream);
    WriteViewGeometryRecord(&ViewGeometryTriple, &stream);
    return stream.Close();
}

void ComputeScreenSplit(int leftCount, int rightCount, float *leftFraction, float *rightFraction)
{
    const ViewGeometry &record = *CurrentViewGeometry;
    const float side = record.equalWidths ? 1024.0f : static_cast<float>(record.sideWidth);
    const float main = record.equalWidths ? 1024.0f : static_cast<float>(record.mainWidth);
    const float total = side * static_cast<float>(leftCount + rightCount) + main;
    *leftFraction = side * static_cast<float>(leftCount) / total;
    *rightFraction = 1.0f - side * static_cast<float>(rightCount) / total;
}

float *GetViewFovRange(float *minimum, float *maximum, float *screenAngle)
{
    ViewGeometry &record = *CurrentViewGeometry;
    const int screens = record.leftScreens + record.rightScreens + 1;
    float *fov = &record.fieldOfView;
    if (SessionViewMode == CustomViewMode && HasCustomViewSet()) {
        fov = ViewGeometryIndex == 0 ? &CarViews.fovSingle
                                     : (ViewGeometryIndex == 1 ? &CarViews.fovWide : &CarViews.fovTriple);
    }
    float low = 30.0f;
    float high = 160.0f;
    if (screens > 1) {
        low = static_cast<float>(Round(30.0 / screens));
        const float share = static_cast<float>(Round(360.0 / screens));
        high = share < 90.0f ? share : 90.0f;
    }
    if (!(*fov >= low)) {
        *fov = low;
    } else if (*fov > high) {
        *fov = high;
    }
    *minimum = low;
    *maximum = high;
    *screenAngle = screens > 1 ? record.screenAngle : 0.0f;
    return fov;
}

void ApplyViewGeometry()
{
    const int width = ScreenWidth;
    const int height = ScreenHeight;

    // 1. The record for the display's shape.
    if (width < Round(2.5 * height)) {
        ViewGeometryIndex = 0;
        CurrentViewGeometry = &ViewGeometrySingle;
    } else if (width < Round(3.75 * height)) {
        ViewGeometryIndex = 1;
        CurrentViewGeometry = &ViewGeometryWide;
    } else {
        ViewGeometryIndex = 2;
        CurrentViewGeometry = &ViewGeometryTriple;
    }
    ViewGeometry &record = *CurrentViewGeometry;
    record.leftScreens = ClampInt(record.leftScreens, 0, MaxSideScreens);
    record.rightScreens = ClampInt(record.rightScreens, 0, MaxSideScreens);
    int left = record.leftScreens;
    int right = record.rightScreens;
    const int screens = left + right + 1;
    ViewScreenCount = screens;
    ViewLayoutKind = 0;
    ExternalViewArea = 0;
    ViewTooNarrow = 0;
    float mainLeft = 0.0f;
    float mainRight = 1.0f;

    // 2, 3. The main screen's share of the display.
    const int64_t w = width;
    const int64_t h = height;
    if (screens > 1) {
        if (w >= screens * h) {
            ExternalViewArea = 1;
            ViewLayoutKind = 2;
            ComputeScreenSplit(left, right, &mainLeft, &mainRight);
        } else {
            ViewTooNarrow = 1;
        }
    }
    if ((screens == 1 || ViewTooNarrow) && 9 * w > 16 * h) {
        if (w >= 3 * h) {
            ExternalViewArea = 3;
            ViewLayoutKind = 1;
            ComputeScreenSplit(1, 1, &mainLeft, &mainRight);
        } else {
            ExternalViewArea = 2;
            mainLeft = (1.0f - 16.0f * static_cast<float>(height) / (9.0f * static_cast<float>(width))) * 0.5f;
            mainRight = 1.0f - mainLeft;
        }
    }

    // 4. The centre screen's pixel edges.
    if (ExternalViewArea != 0 && record.fullWidthExternal == 0) {
        ViewCentreLeft = Round(static_cast<double>(width) * mainLeft);
        ViewCentreRight = Round(static_cast<double>(width) * mainRight);
    } else {
        ViewCentreLeft = 0;
        ViewCentreRight = width;
    }

    // 5. The 3D window and the interface inside that area.
    PassScreenTransform(ScreenCx * (mainRight - mainLeft) + (mainRight + mainLeft - 1.0f), ScreenCy,
                        ScreenXMul * (mainRight - mainLeft), ScreenYMul);

    // 6. Nothing to lay out on an empty screen.
    ViewSegmentCount = 0;
    if (width <= 0) {
        ViewTotalFov = 0.0f;
        return;
    }
    // A display too narrow for its screens renders the main view alone.
    if (ViewTooNarrow) {
        left = 0;
        right = 0;
    }
    const int segments = left + right + 1;

    // 7. The field of view in use.
    float low = 0.0f;
    float high = 0.0f;
    float angleOut = 0.0f;
    const float fov = *GetViewFovRange(&low, &high, &angleOut);
    const float t = std::tan(fov * DegreesToRadians * 0.5f);

    // 8. Pixel spans.
    float side = 1024.0f;
    float main = 1024.0f;
    if (!record.equalWidths && ViewLayoutKind == 2) {
        side = static_cast<float>(record.sideWidth);
        main = static_cast<float>(record.mainWidth);
    }
    const double unit = static_cast<double>(width) / (static_cast<double>(left + right) * side + main) * side;
    for (int i = 0; i < left; ++i) {
        ViewSegments[i] = ViewSegment{};
        ViewSegments[i].left = Round(i * unit);
        ViewSegments[i].right = Round((i + 1) * unit);
    }
    ViewSegment &centre = ViewSegments[left];
    centre = ViewSegment{};
    centre.left = Round(left * unit);
    centre.right = width - Round(right * unit);
    for (int k = 0; k < right; ++k) {
        ViewSegment &s = ViewSegments[left + right - k];
        s = ViewSegment{};
        s.left = width - Round((k + 1) * unit);
        s.right = width - Round(k * unit);
    }
    ViewSegmentCount = segments;

    // 9. The screen angle never exceeds the field of view.
    if (!(record.screenAngle <= fov)) {
        record.screenAngle = fov;
    }
    const float angle = record.screenAngle * DegreesToRadians;

    // 10. The main screen.
    const float offset = record.viewOffset;
    centre.yaw = 0.0f;
    centre.scale = 2.0f * t;
    centre.offset = offset;
    centre.leftEdge = std::atan((offset + 1.0f) * t);
    centre.rightEdge = std::atan((offset - 1.0f) * t);

    // 11, 12. Each side screen continues its neighbour's image.
    if (!TurnSideSegments(left, right, left, angle)) {
        ViewTotalFov = 0.0f;
        return;
    }
    ViewTotalFov = ViewSegments[0].leftEdge - ViewSegments[segments - 1].rightEdge;

    // 13. Bezel compensation.
    if (ViewLayoutKind == 2 && record.bezelCompensation != 0.0f) {
        const float factor = 1.0f - record.bezelCompensation * 0.01f;
        for (int i = 0; i < segments; ++i) {
            ViewSegments[i].scale *= factor;
            ViewSegments[i].offset /= factor;
        }
    }
}
