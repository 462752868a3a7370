#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "core/motion_profile.h"

struct MouseEvent;

// The free camera of the layout editor and of the session's free view: its
// eye, direction (the view's back vector) and roll glide toward where the
// user puts them, and it moves by keys and the mouse. Everything reads and
// writes the current view (render/view.h). The free view's scale
// (2 tan(fov / 2)) is EditorViewScale of the settings.

// The seven glides, in this order: roll (radians), eye z, y, x (metres),
// back z, y, x (unit vector components).
enum CameraMotionIndex {
    MotionRoll,
    MotionEyeZ,
    MotionEyeY,
    MotionEyeX,
    MotionBackZ,
    MotionBackY,
    MotionBackX,
    CameraMotionCount
};
extern MotionProfile CameraMotion[CameraMotionCount];

// 0 free; 1 the pitch stays at or above level; 2 the editor's overhead
// camera. Set by the layout editor.
extern int FreeViewMode;
// 16.16 height of the plane PickGroundPoint meets; 0 but while
// PickGroundPointAtHeight runs.
extern int32_t PickHeight;
// 1 while the session's free view is attached to a car (the session writes
// it): the free camera then works on the current view itself.
extern int FreeViewAttached;

// back from the view's heading and pitch, then every glide at rest at the
// current view's values.
void StartCameraMotion();
// All seven glides by dt seconds.
void AdvanceCameraMotion(float dt);
// The glides' present values into the current view (back made unit length).
void WriteCameraMotionToView();
// back from the angles; the eye and direction glides head for the current
// view's values over "Editor Soft " seconds (ending at rest), and the view
// shows where the glide now stands.
void RetargetCameraMotion();
// Present rates of the eye x, y, z glides (metres per second).
void GetCameraMotionEyeRate(float rate[3]);
// Targets of the eye x, y, z glides (metres).
void GetCameraMotionEyeTarget(float target[3]);
// The glides' eye and back targets (16.16); with FreeViewMode 2 or the free
// view attached to a car, the current view's eye and back. back may be null.
void GetFreeViewEyeAndBack(FixVector *eye, FixVector *back);
// back = RotationZ(heading) x RotationX(pitch) x (0, 1, 0).
void SetViewBackFromAngles();

// Keyboard movement at speed (16.16 metres per second) by the arrows held,
// over the last frame's time; with Ctrl in the overhead camera, Up and Down
// raise and lower it.
void MoveFreeViewCamera(int32_t speed);
// Mouse look (right button), dolly toward the ground (overhead camera: wheel,
// or both buttons) and ground drag (left button).
void TurnFreeViewCamera(const MouseEvent &event);

// forward = -back, right horizontal, up = right x forward (unit vectors).
void GetViewBasisFloat(float right[3], float forward[3], float up[3]);
// Rows the world axes, columns right, up and forward.
void GetViewRotationFloat(float matrix[9]);
// PickGroundPoint on the plane z = height.
bool PickGroundPointAtHeight(FixVector *point, int32_t height);
// True when the ray from the free eye through the mouse pointer meets the
// plane z = PickHeight going down; the pointer must lie on the centre
// screen.
bool PickGroundPoint(FixVector *point);
