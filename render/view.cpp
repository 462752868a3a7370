#include "render/view.h"

#include <cmath>

#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/lit_colours.h"
#include "render/render_device.h"
#include "render/render_object.h"

ViewRecord MainView{};
ViewRecord *CurrentView = &MainView;

FixTransform ViewMatrix = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}};
FixVector ViewPlanes[ViewPlaneCount] = {};
int32_t OrthoViewSize = 0;
int ViewTopRow = 0;
int ViewBottomRow = 0;
float ViewDeviceMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
int ViewCentreLeft = 0;
int ViewCentreRight = 0;
float ViewWidthFraction = 1.0f;
float ViewHeightFraction = 1.0f;
float ViewCentreXFraction = 0.0f;
float ViewCentreYFraction = 0.0f;
float ViewZoomFactor = 1.0f;
float LodDistanceFactor = 1.0f;

namespace {

constexpr uint16_t DefaultViewHeading = 59392;
constexpr uint16_t DefaultViewPitch = 3072;
constexpr int32_t FullSunLight = 255;
constexpr int32_t One = 65536;
constexpr float NearPlaneMetres = 0.25f;
constexpr float FarPlaneMetres = 4096.0f + 64.0f;
constexpr float OrthoFarMetres = 1024.0f;
constexpr float OrthoPullBackMetres = 128.0f;

// Nearest integer (halves to even), held inside the int range; NaN gives 0.
int RoundToInt(float value)
{
    if (!(value > -2147483520.0f)) {
        return value < 0.0f ? INT32_MIN : 0;
    }
    if (value > 2147483520.0f) {
        return INT32_MAX;
    }
    return static_cast<int>(std::lrint(value));
}

int32_t FixProduct(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<int64_t>(a) * b >> 16);
}

// Kept in 64 bits: a centre far to the side of a unit normal passes the
// 32-bit range.
int64_t PlaneDistance(const FixVector &n, const FixVector &c)
{
    return (static_cast<int64_t>(n.x) * c.x + static_cast<int64_t>(n.y) * c.y + static_cast<int64_t>(n.z) * c.z) >>
           16;
}

// A slope of the view volume's side: scale x span / size (16.16), 1.0 for an
// empty window.
int32_t PlaneSlope(int32_t scale, int span, int size)
{
    if (size == 0) {
        return One;
    }
    return static_cast<int32_t>(static_cast<int64_t>(scale) * span / size);
}

}  // namespace

float ComputeLodDistanceFactor(int graphicsEnabled, float mainLod)
{
    if (!graphicsEnabled || !(mainLod > 0.0f)) {
        return 1.0f;
    }
    return 1024.0f / (1920.0f * mainLod);
}

void InitViewRecord(ViewRecord *record, const FixVector &eye, const FixVector &back, int32_t scale,
                    const FixVector &sunDirection)
{
    if (!record) {
        return;
    }
    *record = ViewRecord{};
    record->eye = eye;
    record->back = back;
    record->scaleX = scale;
    NormaliseFixVectorOrUp(sunDirection, record->sunDir);
    SetColourBytes(&record->sunColour, 255, 255, 255);
    for (int32_t &level : record->sunLight) {
        level = FullSunLight;
    }
    record->shadowSin = 0.0f;
    record->shadowCos = 0.0f;
    record->shadowLength = 1.0f;
    record->heading = DefaultViewHeading;
    record->pitch = DefaultViewPitch;
    CurrentView = record;
}

void SetViewLightsFromSettings()
{
    ViewRecord &view = *CurrentView;
    view.sunColour = SunColour;
    view.sunLight[0] = view.sunColour.red;
    view.sunLight[1] = view.sunColour.green;
    view.sunLight[2] = view.sunColour.blue;
    view.skyLight[0] = view.skyColour.red;
    view.skyLight[1] = view.skyColour.green;
    view.skyLight[2] = view.skyColour.blue;
    UpdateHemisphereLight();
}

void BuildViewMatrix()
{
    const ViewRecord &view = *CurrentView;
    const FixVector &b = view.back;
    const FixVector &eye = view.eye;
    const int32_t h = CalcLength2D(b.x, b.y);
    int32_t bx;
    int32_t by;
    if (h != 0) {
        bx = static_cast<int32_t>((static_cast<int64_t>(b.x) << 16) / h);
        by = static_cast<int32_t>((static_cast<int64_t>(b.y) << 16) / h);
    } else {
        // Straight up or down: the horizontal direction comes from the
        // heading, which keeps rows 0 and 1 a basis (a glide between two
        // directions can pass through the vertical).
        bx = -SinTable[view.heading];
        by = CosTable[view.heading];
    }
    FixMatrix &m = ViewMatrix.matrix;
    m.m[0] = -by;
    m.m[1] = bx;
    m.m[2] = 0;
    m.m[3] = -FixProduct(bx, b.z);
    m.m[4] = -FixProduct(by, b.z);
    m.m[5] = h;
    m.m[6] = -FixProduct(bx, h);
    m.m[7] = -FixProduct(by, h);
    m.m[8] = -b.z;

    const int32_t along = static_cast<int32_t>(
        (static_cast<int64_t>(eye.y) * by + static_cast<int64_t>(eye.x) * bx) >> 16);
    FixVector &t = ViewMatrix.position;
    t.x = static_cast<int32_t>((-static_cast<int64_t>(eye.y) * bx + static_cast<int64_t>(eye.x) * by) >> 16);
    t.y = FixProduct(along, b.z) - FixProduct(eye.z, h);
    t.z = FixProduct(along, h) + FixProduct(eye.z, b.z);

    if (view.roll != 0) {
        FixMatrix rollMatrix;
        FixRotationZ(rollMatrix, view.roll);
        MultiplyFixMatrix(rollMatrix, m, m);
    }
}

int SetViewWindow(int x0, int y0, int x1, int y1, float offsetX, float offsetY, float scale, float nearScale)
{
    ViewRecord &view = *CurrentView;
    const int w = x1 - x0;
    const int h = y1 - y0;

    ViewTopRow = y0;
    ViewBottomRow = y1;
    SetViewportRect(x0, y0, w, h);
    if (OrthoViewSize == 0) {
        SetPerspective(scale, NearPlaneMetres / nearScale, FarPlaneMetres, offsetX, offsetY);
    } else {
        SetPerspective(2.0f, 0.0f, OrthoFarMetres, offsetX, offsetY);
        SetProjection(static_cast<float>(OrthoViewSize) / 65536.0f);
    }

    view.centreX = RoundToInt((offsetX + 1.0f) * 0.5f * static_cast<float>(w)) + x0;
    view.centreY = RoundToInt((offsetY + 1.0f) * 0.5f * static_cast<float>(h)) + y0;
    if (w != 0) {
        view.scaleX = RoundToInt(scale * 65536.0f);
        view.scaleY = static_cast<int32_t>(static_cast<int64_t>(view.scaleX) * h / w);
    } else {
        view.scaleX = 2 * One;
        view.scaleY = 2 * One;
    }
    view.halfScale = scale * 0.5f;

    TransformFixVector(ViewMatrix.matrix, view.sunDir, view.sunDirView);
    TransformFixVector(ViewMatrix.matrix, FixUnitZ, view.upView);

    const int wSlope = w != 0 && h != 0 ? w : 0;
    const int hSlope = w != 0 && h != 0 ? h : 0;
    ViewPlanes[ViewPlaneLeft] = {One, 0, PlaneSlope(view.scaleX, view.centreX - x0, wSlope)};
    ViewPlanes[ViewPlaneRight] = {-One, 0, PlaneSlope(view.scaleX, x1 - view.centreX, wSlope)};
    ViewPlanes[ViewPlaneBottom] = {0, One, PlaneSlope(view.scaleY, y1 - view.centreY, hSlope)};
    ViewPlanes[ViewPlaneTop] = {0, -One, PlaneSlope(view.scaleY, view.centreY - y0, hSlope)};
    for (FixVector &plane : ViewPlanes) {
        NormaliseFixVector(plane);
    }

    // Rows of the fixed-point matrix become the columns of the float one,
    // after a translation by minus the eye (the orthographic camera stands
    // 128 m back so that its 0..1024 m depth range holds the scene).
    const FixMatrix &m = ViewMatrix.matrix;
    float rotation[9];
    for (int i = 0; i < 9; ++i) {
        rotation[i] = static_cast<float>(m.m[i]) / 65536.0f;
    }
    float eye[3] = {-static_cast<float>(view.eye.x) / 65536.0f, -static_cast<float>(view.eye.y) / 65536.0f,
                    -static_cast<float>(view.eye.z) / 65536.0f};
    if (OrthoViewSize != 0) {
        for (int i = 0; i < 3; ++i) {
            eye[i] += OrthoPullBackMetres * rotation[6 + i];
        }
    }
    float *d = ViewDeviceMatrix;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            d[row * 4 + col] = rotation[col * 3 + row];
        }
        d[row * 4 + 3] = 0.0f;
    }
    for (int col = 0; col < 3; ++col) {
        d[12 + col] = eye[0] * rotation[col * 3] + eye[1] * rotation[col * 3 + 1] + eye[2] * rotation[col * 3 + 2];
    }
    d[15] = 1.0f;
    SetViewMatrix(ViewDeviceMatrix);
    ResetWorldMatrix();
    return 0;
}

int SetViewWindowFromSettings(float scale)
{
    const float width = static_cast<float>(ScreenWidth);
    const float height = static_cast<float>(ScreenHeight);
    const float left = width * 0.5f * (1.0f + ViewCentreXFraction) - width * ViewWidthFraction * 0.5f;
    const float right = left + width * ViewWidthFraction;
    const float top = height * 0.5f * (1.0f + ViewCentreYFraction) - height * ViewHeightFraction * 0.5f;
    const float bottom = top + height * ViewHeightFraction;
    int x0 = RoundToInt(left);
    int x1 = RoundToInt(right);
    int y0 = RoundToInt(top);
    int y1 = RoundToInt(bottom);
    x0 = x0 < 0 ? 0 : x0;
    y0 = y0 < 0 ? 0 : y0;
    x1 = x1 > ScreenWidth ? ScreenWidth : x1;
    y1 = y1 > ScreenHeight ? ScreenHeight : y1;
    return SetViewWindow(x0, y0, x1, y1, 0.0f, 0.0f, scale, scale);
}

bool ProjectToScreen(const FixVector &point, float *x, float *y)
{
    const ViewRecord &view = *CurrentView;
    const FixVector relative = {WrapSub(point.x, view.eye.x), WrapSub(point.y, view.eye.y),
                                WrapSub(point.z, view.eye.z)};
    FixVector v;
    TransformFixVector(ViewMatrix.matrix, relative, v);
    if (v.z < ViewNearLimit || ScreenWidth <= 0 || ScreenHeight <= 0) {
        return false;
    }
    const float k = 1.0f / (static_cast<float>(v.z) / 65536.0f * view.halfScale);
    float sx = static_cast<float>(v.x) / 65536.0f * k;
    float sy = -static_cast<float>(v.y) / 65536.0f * k * static_cast<float>(ScreenWidth) /
               static_cast<float>(ScreenHeight);
    if (!(sx >= -1.0f && sx < 1.0f)) {
        return false;
    }
    const float screenWidth = static_cast<float>(ScreenWidth);
    const float left = static_cast<float>(ViewCentreLeft);
    const float right = static_cast<float>(ViewCentreRight);
    sx = (left + right) / screenWidth - 1.0f + sx * (right - left) / screenWidth;
    sy = sy * (right - left) / screenWidth;
    *x = sx;
    *y = sy;
    return sy >= -1.0f && sy < 1.0f;
}

int ClassifySphereInView(const FixVector &centre, int32_t radius)
{
    const int64_t r = radius;
    if (static_cast<int64_t>(centre.z) + r < ViewNearLimit) {
        return ViewOutside;
    }
    int mask = static_cast<int64_t>(centre.z) - r <= ViewNearLimit ? 63 : 62;
    if (centre.z > ViewFarLimit) {
        return ViewOutside;
    }
    mask -= 2;
    // Each side plane: wholly outside rejects, wholly inside clears its bit.
    struct Side {
        int plane;
        int bit;
    };
    static constexpr Side Sides[] = {
        {ViewPlaneLeft, 4}, {ViewPlaneRight, 8}, {ViewPlaneBottom, 32}, {ViewPlaneTop, 16}};
    for (const Side &side : Sides) {
        const int64_t d = PlaneDistance(ViewPlanes[side.plane], centre);
        if (d < -r) {
            return ViewOutside;
        }
        if (d > r) {
            mask &= ~side.bit;
        }
    }
    return mask;
}
