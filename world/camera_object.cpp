#include "world/camera_object.h"

#include <cmath>
#include <cstdint>

#include "core/data_stream.h"
#include "core/float_matrix.h"
#include "render/view.h"
#include "world/world.h"

namespace {

constexpr float MinZoom = 0.05f;
constexpr float MaxZoom = 4.0f;
constexpr float MaxAutoZoom = 6.0f;
constexpr float AutoZoomMetres = 15.0f;
constexpr float FixOne = 65536.0f;
// Closer than this (16.16 units) the camera does not turn toward the target.
constexpr float MinAimLength = 256.0f;

// v rounded to an integer, held inside the i32 range (NaN gives 0).
int32_t RoundToI32(float v)
{
    if (!(v > -2147483520.0f)) {
        return v < 0.0f ? INT32_MIN : 0;
    }
    if (v > 2147483520.0f) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(std::lround(v));
}

} // namespace

CameraObject::CameraObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

int CameraObject::Read(DataStream *stream, int)
{
    flags = stream->ReadU32();
    height = stream->ReadFloat();
    heading = stream->ReadFloat();
    pitch = stream->ReadFloat();
    zoom = stream->ReadFloatClamped(MinZoom, MaxZoom);
    if (HasZoomRange()) {
        farDistance = stream->ReadFloat();
        nearZoom = stream->ReadFloatClamped(MinZoom, MaxZoom);
        nearDistance = stream->ReadFloat();
    }
    return stream->overrun ? 1 : 0;
}

void CameraObject::Prepare()
{
    stateFlags |= 4;
    minX = maxX = positionX;
    minY = maxY = positionY;
    radius = 0;
}

int AimTvCamera(const World &world, const FixVector &target, int cameraIndex, ViewRecord &view, float &zoom)
{
    if (cameraIndex < 0 || cameraIndex >= world.objectCount || !world.objects[cameraIndex] ||
        world.objects[cameraIndex]->GetType() != ObjectCamera) {
        return 0;
    }
    const CameraObject &camera = *static_cast<const CameraObject *>(world.objects[cameraIndex]);
    zoom = camera.zoom;
    const FixVector point = {camera.positionX, camera.positionY, RoundToI32(camera.height * FixOne)};

    if (camera.IsFixed()) {
        float pitchMatrix[9];
        float headingMatrix[9];
        float m[9];
        SetFloatRotationXY(pitchMatrix, camera.pitch, 0.0f);
        SetFloatRotationZ(headingMatrix, camera.heading);
        MultiplyFloatMatrix(pitchMatrix, headingMatrix, m);
        view.eye = point;
        view.back = {RoundToI32(-m[1] * FixOne), RoundToI32(-m[4] * FixOne), RoundToI32(-m[7] * FixOne)};
        return 1;
    }

    const float v[3] = {static_cast<float>(int64_t(point.x) - target.x),
                        static_cast<float>(int64_t(point.y) - target.y),
                        static_cast<float>(int64_t(point.z) - target.z)};
    const float planLength = std::sqrt(v[0] * v[0] + v[1] * v[1]);
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);

    if (camera.HasZoomRange() && !camera.IsFollowing()) {
        const float distance = length / FixOne;
        if (distance < camera.farDistance) {
            if (distance < camera.nearDistance) {
                zoom = camera.nearZoom;
            } else {
                zoom = camera.nearZoom + (distance - camera.nearDistance) /
                                                  (camera.farDistance - camera.nearDistance) *
                                                  (camera.zoom - camera.nearZoom);
            }
        }
    }
    // Nearly straight above or below, or at the camera: the view stays.
    if (!(planLength > std::fabs(v[2]) / 16.0f) || !(length > MinAimLength)) {
        return 1;
    }
    view.eye = point;
    view.back = {RoundToI32(v[0] / length * FixOne), RoundToI32(v[1] / length * FixOne),
                    RoundToI32(v[2] / length * FixOne)};
    if (!camera.IsFollowing() && !camera.HasZoomRange()) {
        const float autoZoom = camera.zoom * AutoZoomMetres * FixOne / length;
        zoom = autoZoom < MaxAutoZoom ? autoZoom : MaxAutoZoom;
    }
    return 1;
}
