#include "scene/camera_motion.h"

#include <cmath>

#include "core/config_file.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "render/view.h"

MotionProfile CameraMotion[CameraMotionCount] = {};
int FreeViewMode = 0;
int32_t PickHeight = 0;
int FreeViewAttached = 0;

namespace {

constexpr float RollToRadians = 0.00009587728f;   // 1 / 10430
constexpr float RollFromRadians = 10430.0f;
constexpr int MaxPitch = 15474;                   // about 85 degrees
constexpr int32_t One = 65536;
constexpr int32_t LevelBackZ = 512;               // below this the view is taken as level
constexpr int32_t WheelUpFactor = 61680;          // 0.941
constexpr int32_t WheelDownFactor = 69632;        // 1.0625
constexpr float MinDownward = -0.02f;

int32_t RoundFix(float value)
{
    if (!(value > -2147483520.0f)) {
        return value < 0.0f ? INT32_MIN : 0;
    }
    if (value > 2147483520.0f) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(std::lrint(value));
}

int32_t FixProduct(int64_t a, int64_t b)
{
    return static_cast<int32_t>(a * b >> 16);
}

bool NormaliseFloat(float v[3])
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0.0f)) {
        return false;
    }
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
    return true;
}

// The view's eye and back into the six glides' targets.
struct EyeAndBack {
    float value[CameraMotionCount];
};

EyeAndBack ViewValues()
{
    const ViewRecord &view = *CurrentView;
    EyeAndBack values{};
    values.value[MotionRoll] = static_cast<float>(static_cast<int16_t>(view.roll)) * RollToRadians;
    values.value[MotionEyeZ] = static_cast<float>(view.eye.z) / 65536.0f;
    values.value[MotionEyeY] = static_cast<float>(view.eye.y) / 65536.0f;
    values.value[MotionEyeX] = static_cast<float>(view.eye.x) / 65536.0f;
    values.value[MotionBackZ] = static_cast<float>(view.back.z) / 65536.0f;
    values.value[MotionBackY] = static_cast<float>(view.back.y) / 65536.0f;
    values.value[MotionBackX] = static_cast<float>(view.back.x) / 65536.0f;
    return values;
}

int ClampPitch(int pitch)
{
    const int low = FreeViewMode == 1 ? 0 : -MaxPitch;
    return pitch < low ? low : (pitch > MaxPitch ? MaxPitch : pitch);
}

}  // namespace

void SetViewBackFromAngles()
{
    ViewRecord &view = *CurrentView;
    FixMatrix turn;
    FixRotationZX(turn, view.heading, view.pitch);
    TransformFixVector(turn, FixUnitY, view.back);
}

void StartCameraMotion()
{
    SetViewBackFromAngles();
    const EyeAndBack values = ViewValues();
    for (int i = 0; i < CameraMotionCount; ++i) {
        CameraMotion[i].Clear();
        CameraMotion[i].Init(values.value[i], 0.0f);
        CameraMotion[i].target = values.value[i];
    }
}

void AdvanceCameraMotion(float dt)
{
    for (MotionProfile &profile : CameraMotion) {
        profile.Advance(dt);
    }
}

void WriteCameraMotionToView()
{
    ViewRecord &view = *CurrentView;
    FixVector back = {RoundFix(CameraMotion[MotionBackX].value * 65536.0f),
                      RoundFix(CameraMotion[MotionBackY].value * 65536.0f),
                      RoundFix(CameraMotion[MotionBackZ].value * 65536.0f)};
    // A glide through the middle can stop on a zero vector: the view keeps
    // its direction then.
    if (NormaliseFixVector(back)) {
        view.back = back;
    }
    view.eye = {RoundFix(CameraMotion[MotionEyeX].value * 65536.0f),
                RoundFix(CameraMotion[MotionEyeY].value * 65536.0f),
                RoundFix(CameraMotion[MotionEyeZ].value * 65536.0f)};
    view.roll = static_cast<uint16_t>(RoundFix(CameraMotion[MotionRoll].value * RollFromRadians));
}

void RetargetCameraMotion()
{
    SetViewBackFromAngles();
    const EyeAndBack values = ViewValues();
    for (int i = MotionEyeZ; i < CameraMotionCount; ++i) {
        CameraMotion[i].SetTarget(values.value[i], 0.0f, EditorSoft);
    }
    WriteCameraMotionToView();
}

void GetCameraMotionEyeRate(float rate[3])
{
    rate[0] = CameraMotion[MotionEyeX].rate;
    rate[1] = CameraMotion[MotionEyeY].rate;
    rate[2] = CameraMotion[MotionEyeZ].rate;
}

void GetCameraMotionEyeTarget(float target[3])
{
    target[0] = CameraMotion[MotionEyeX].target;
    target[1] = CameraMotion[MotionEyeY].target;
    target[2] = CameraMotion[MotionEyeZ].target;
}

void GetFreeViewEyeAndBack(FixVector *eye, FixVector *back)
{
    const ViewRecord &view = *CurrentView;
    if (FreeViewMode == 2 || FreeViewAttached) {
        *eye = view.eye;
        if (back) {
            *back = view.back;
        }
        return;
    }
    *eye = {RoundFix(CameraMotion[MotionEyeX].target * 65536.0f), RoundFix(CameraMotion[MotionEyeY].target * 65536.0f),
            RoundFix(CameraMotion[MotionEyeZ].target * 65536.0f)};
    if (back) {
        *back = {RoundFix(CameraMotion[MotionBackX].target * 65536.0f),
                 RoundFix(CameraMotion[MotionBackY].target * 65536.0f),
                 RoundFix(CameraMotion[MotionBackZ].target * 65536.0f)};
    }
}

void MoveFreeViewCamera(int32_t speed)
{
    ViewRecord &view = *CurrentView;
    const float dt = static_cast<float>(FrameElapsed) * 0.001f;
    FixVector eye;
    FixVector back;
    GetFreeViewEyeAndBack(&eye, &back);

    if (CtrlHeld) {
        if (FreeViewMode == 2) {
            if (FreeViewMoveUp) {
                view.eye.z = RoundFix(std::pow(4.0f, dt) * static_cast<float>(eye.z));
            } else if (FreeViewMoveDown) {
                view.eye.z = RoundFix(std::pow(0.25f, dt) * static_cast<float>(eye.z));
            }
        }
        return;
    }
    const int side = (FreeViewMoveRight ? 1 : 0) - (FreeViewMoveLeft ? 1 : 0);
    const int ahead = (FreeViewMoveUp ? 1 : 0) - (FreeViewMoveDown ? 1 : 0);
    if (side == 0 && ahead == 0) {
        return;
    }
    int64_t s = speed;
    if (FreeViewMode == 2) {
        const int64_t height = 2 * static_cast<int64_t>(eye.z);
        const int64_t factor = height < 0 ? -height : height;
        s = s * (factor > One ? factor : One) >> 16;
    }
    FixVector forward = {-back.x, -back.y, 0};
    if (!NormaliseFixVector(forward)) {
        return;
    }
    const FixVector right = {forward.y, -forward.x, 0};
    const int64_t sideStep = RoundFix(static_cast<float>(s) * static_cast<float>(side) * dt);
    const int64_t aheadStep = RoundFix(static_cast<float>(s) * static_cast<float>(ahead) * dt);
    view.eye.x = WrapAdd(eye.x, FixProduct(right.x, sideStep) + FixProduct(forward.x, aheadStep));
    view.eye.y = WrapAdd(eye.y, FixProduct(right.y, sideStep) + FixProduct(forward.y, aheadStep));
}

void TurnFreeViewCamera(const MouseEvent &event)
{
    ViewRecord &view = *CurrentView;
    int dx = event.dx;
    int dy = event.dy;

    // Mouse look.
    if (event.right && !event.left) {
        if (CtrlHeld) {
            return;
        }
        if (ScreenFlags & 0x10) {
            dx = -dx;
            dy = -dy;
        }
        view.heading = static_cast<uint16_t>(view.heading + dx * 36);
        const uint16_t pitch = static_cast<uint16_t>(view.pitch - dy * 18);
        view.pitch = static_cast<uint16_t>(ClampPitch(static_cast<int16_t>(pitch)));
        return;
    }
    if (event.wheel && FreeViewMode != 2) {
        return;
    }
    if (!event.left && !event.wheel) {
        return;
    }

    // Dolly toward the ground point under the view centre.
    if (FreeViewMode == 2 && (event.right || event.wheel)) {
        if (view.back.z >= -LevelBackZ && view.back.z <= LevelBackZ) {
            return;
        }
        int64_t k;
        if (event.wheel == 1) {
            k = WheelUpFactor;
        } else if (event.wheel == 2) {
            k = WheelDownFactor;
        } else {
            if (ScreenHeight <= 0) {
                return;
            }
            k = (static_cast<int64_t>(ScreenHeight) + 3 * static_cast<int64_t>(dy)) * One / ScreenHeight;
        }
        const int64_t t = (static_cast<int64_t>(view.eye.z) * One) / view.back.z;
        const int64_t d = (t * k >> 16) - t;
        view.eye.x = WrapAdd(view.eye.x, FixProduct(view.back.x, d));
        view.eye.y = WrapAdd(view.eye.y, FixProduct(view.back.y, d));
        view.eye.z = WrapAdd(view.eye.z, FixProduct(view.back.z, d));
        return;
    }

    // Drag the ground: the point under the pointer before the move stays
    // under it.
    const int pointerX = MouseX;
    const int pointerY = MouseY;
    MouseX = pointerX - dx;
    MouseY = pointerY - dy;
    FixVector before;
    const bool hitBefore = PickGroundPoint(&before);
    MouseX = pointerX;
    MouseY = pointerY;
    FixVector after;
    const bool hitAfter = PickGroundPoint(&after);
    if (hitBefore && hitAfter) {
        FixVector eye;
        GetFreeViewEyeAndBack(&eye, nullptr);
        view.eye.x = WrapSub(eye.x, WrapSub(after.x, before.x));
        view.eye.y = WrapSub(eye.y, WrapSub(after.y, before.y));
    }
}

void GetViewBasisFloat(float right[3], float forward[3], float up[3])
{
    const ViewRecord &view = *CurrentView;
    forward[0] = -static_cast<float>(view.back.x);
    forward[1] = -static_cast<float>(view.back.y);
    forward[2] = -static_cast<float>(view.back.z);
    if (!NormaliseFloat(forward)) {
        forward[0] = 0.0f;
        forward[1] = 0.0f;
        forward[2] = -1.0f;
    }
    right[0] = forward[1];
    right[1] = -forward[0];
    right[2] = 0.0f;
    if (!NormaliseFloat(right)) {
        // Straight up or down: the heading gives the horizontal direction.
        right[0] = -static_cast<float>(CosTable[view.heading]) / 65536.0f;
        right[1] = -static_cast<float>(SinTable[view.heading]) / 65536.0f;
    }
    up[0] = right[1] * forward[2] - right[2] * forward[1];
    up[1] = right[2] * forward[0] - right[0] * forward[2];
    up[2] = right[0] * forward[1] - right[1] * forward[0];
}

void GetViewRotationFloat(float matrix[9])
{
    float right[3];
    float forward[3];
    float up[3];
    GetViewBasisFloat(right, forward, up);
    for (int row = 0; row < 3; ++row) {
        matrix[row * 3 + 0] = right[row];
        matrix[row * 3 + 1] = up[row];
        matrix[row * 3 + 2] = forward[row];
    }
}

bool PickGroundPointAtHeight(FixVector *point, int32_t height)
{
    PickHeight = height;
    const bool hit = PickGroundPoint(point);
    PickHeight = 0;
    return hit;
}

bool PickGroundPoint(FixVector *point)
{
    const int left = ViewCentreLeft;
    const int right = ViewCentreRight;
    // An empty centre screen (while the window is resized) has no pointer ray.
    if (right <= left || MouseX < left || MouseX > right) {
        return false;
    }
    FixVector eye;
    GetFreeViewEyeAndBack(&eye, nullptr);
    const float k = 1.0f / static_cast<float>(right - left);
    const float v = k * (static_cast<float>(ScreenHeight) * 0.5f - static_cast<float>(MouseY)) * EditorViewScale;
    const float u = (static_cast<float>(MouseX) - static_cast<float>(left + right) * 0.5f) * k * EditorViewScale;
    const float n = 1.0f / std::sqrt(u * u + v * v + 1.0f);
    float m[9];
    GetViewRotationFloat(m);
    const float ray[3] = {u * n, v * n, n};
    float d[3];
    for (int row = 0; row < 3; ++row) {
        d[row] = m[row * 3] * ray[0] + m[row * 3 + 1] * ray[1] + m[row * 3 + 2] * ray[2];
    }
    if (!(d[2] < MinDownward)) {
        return false;
    }
    const float h = static_cast<float>(static_cast<int64_t>(eye.z) - PickHeight);
    point->x = WrapSub(eye.x, RoundFix(d[0] * h / d[2]));
    point->y = WrapSub(eye.y, RoundFix(d[1] * h / d[2]));
    point->z = PickHeight;
    return true;
}
