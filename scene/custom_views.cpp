#include "scene/custom_views.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/data_stream.h"
#include "core/shell_globals.h"

CarViewSettings CarViews{};

namespace {

constexpr const char *CustomViewsId = "KZVCVW";
constexpr int CustomViewsVersion = 7;
constexpr int OldestCustomViewsVersion = 3;
constexpr uint32_t MaxDraw = 2;

void ViewsPath(char *path, size_t size, const char *carCode)
{
    std::snprintf(path, size, "data\\views\\%.3s.cvw", carCode);
}

void TakeFinite(float *field, float value)
{
    if (std::isfinite(value)) {
        *field = value;
    }
}

void TakeClamped(float *field, float value, float low, float high)
{
    if (std::isfinite(value)) {
        *field = value < low ? low : (value > high ? high : value);
    }
}

void ReadFinite(DataStream *stream, float *field)
{
    TakeFinite(field, stream->ReadFloat());
}

void ReadClamped(DataStream *stream, float *field, float low, float high)
{
    TakeClamped(field, stream->ReadFloat(), low, high);
}

// The one extra field of view of versions 5 and 6 belongs to the shape of
// the desktop the program started on.
void ReadExtraFov(CarViewSettings *views, DataStream *stream)
{
    const long triple = std::lrint(3.75 * DesktopHeight);
    ReadFinite(stream, DesktopWidth < triple ? &views->fovWide : &views->fovTriple);
}

// The custom eye offsets, pitch and rotation, clamped in every version.
void ReadCustomEye(CarViewSettings *views, DataStream *stream)
{
    ReadClamped(stream, &views->customX, -2.0f, 2.0f);
    ReadClamped(stream, &views->customY, -3.0f, 3.0f);
    ReadClamped(stream, &views->customZ, -0.6f, 0.6f);
    ReadFinite(stream, &views->customPitch);
    ReadFinite(stream, &views->customRotate);
}

}  // namespace

bool HasCustomViewSet()
{
    return CarViews.carCode[0] != 0;
}

void SetDefaultCustomViews()
{
    char code[sizeof CarViews.carCode];
    std::memcpy(code, CarViews.carCode, sizeof code);
    CarViews = CarViewSettings{};
    std::memcpy(CarViews.carCode, code, sizeof code);
    CarViews.draw = 1;
    CarViews.clocksMode = 2;
    CarViews.mirrorMode = 2;
    CarViews.accelerationShift = 1;
    CarViews.fovSingle = 90.0f;
    CarViews.fovWide = 90.0f;
    CarViews.fovTriple = 60.0f;
}

void ReadCustomViewFields(CarViewSettings *views, DataStream *stream, int version)
{
    if (version < OldestCustomViewsVersion) {
        return;
    }
    const uint32_t draw = static_cast<uint32_t>(stream->ReadU8());
    views->draw = draw > MaxDraw ? MaxDraw : draw;
    stream->ReadU8();
    stream->ReadU8();
    stream->ReadU8();
    views->clocksMode = static_cast<uint32_t>(stream->ReadU8());
    views->drawDriver = static_cast<uint32_t>(stream->ReadU8());
    views->mirrorMode = static_cast<uint32_t>(stream->ReadU8());
    views->accelerationShift = static_cast<uint32_t>(stream->ReadU8());

    if (version <= 4) {
        ReadCustomEye(views, stream);
        ReadFinite(stream, &views->inCarPitch);
        ReadFinite(stream, &views->inCarRotate);
        ReadFinite(stream, &views->customMirrorLateral);
        ReadFinite(stream, &views->customMirrorVertical);
        if (version == 4) {
            ReadFinite(stream, &views->inCarMirrorLateral);
            ReadFinite(stream, &views->inCarMirrorVertical);
        }
        return;
    }

    views->lookFunction = static_cast<uint32_t>(stream->ReadU8());
    stream->ReadU8();
    stream->ReadU8();
    stream->ReadU8();
    ReadFinite(stream, &views->fovSingle);
    if (version == 7) {
        ReadFinite(stream, &views->fovWide);
        ReadFinite(stream, &views->fovTriple);
    } else {
        ReadExtraFov(views, stream);
    }
    ReadCustomEye(views, stream);
    if (version == 5) {
        ReadFinite(stream, &views->inCarPitch);
        ReadFinite(stream, &views->inCarRotate);
        ReadFinite(stream, &views->customMirrorLateral);
        ReadFinite(stream, &views->customMirrorVertical);
        ReadFinite(stream, &views->inCarMirrorLateral);
        ReadFinite(stream, &views->inCarMirrorVertical);
        return;
    }
    ReadClamped(stream, &views->customMirrorLateral, 0.0f, 0.4f);
    ReadClamped(stream, &views->customMirrorVertical, -0.02f, 0.1f);
    ReadClamped(stream, &views->inCarX, -0.05f, 0.05f);
    ReadClamped(stream, &views->inCarY, 0.0f, 0.2f);
    ReadClamped(stream, &views->inCarZ, -0.05f, 0.05f);
    ReadFinite(stream, &views->inCarPitch);
    ReadFinite(stream, &views->inCarRotate);
    ReadClamped(stream, &views->inCarMirrorLateral, 0.0f, 0.4f);
    ReadClamped(stream, &views->inCarMirrorVertical, 0.0f, 0.1f);
}

void LoadCustomViews()
{
    SetDefaultCustomViews();
    if (!HasCustomViewSet()) {
        return;
    }
    char path[64];
    ViewsPath(path, sizeof path, CarViews.carCode);
    if (!FileExists(path)) {
        return;
    }
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, path, CustomViewsId, &version, CustomViewsVersion, 0) != nullptr) {
        return;
    }
    // A cut file changes nothing.
    CarViewSettings read = CarViews;
    ReadCustomViewFields(&read, &stream, version);
    if (!stream.overrun) {
        CarViews = read;
    }
    stream.Close();
}

int SaveCustomViews()
{
    if (!CarViews.changed) {
        return 0;
    }
    CarViews.changed = 0;
    if (!HasCustomViewSet()) {
        return 0;
    }
    char path[64];
    ViewsPath(path, sizeof path, CarViews.carCode);
    DataStream stream;
    if (stream.OpenWrite(nullptr, path, CustomViewsId, CustomViewsVersion) != nullptr) {
        return 1;
    }
    const CarViewSettings &v = CarViews;
    stream.WriteU8(static_cast<int>(v.draw));
    stream.WriteU8(0);
    stream.WriteU8(1);
    stream.WriteU8(0);
    stream.WriteU8(static_cast<int>(v.clocksMode));
    stream.WriteU8(static_cast<int>(v.drawDriver));
    stream.WriteU8(static_cast<int>(v.mirrorMode));
    stream.WriteU8(static_cast<int>(v.accelerationShift));
    stream.WriteU8(static_cast<int>(v.lookFunction));
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(0);
    const float floats[] = {v.fovSingle,
                            v.fovWide,
                            v.fovTriple,
                            v.customX,
                            v.customY,
                            v.customZ,
                            v.customPitch,
                            v.customRotate,
                            v.customMirrorLateral,
                            v.customMirrorVertical,
                            v.inCarX,
                            v.inCarY,
                            v.inCarZ,
                            v.inCarPitch,
                            v.inCarRotate,
                            v.inCarMirrorLateral,
                            v.inCarMirrorVertical};
    for (const float value : floats) {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        stream.WriteU32(bits);
    }
    return stream.Close();
}

void SelectCustomViewSet(const char *carCode)
{
    if (!carCode || std::strncmp(carCode, CarViews.carCode, 3) == 0) {
        return;
    }
    SaveCustomViews();
    if (std::strlen(carCode) < 3) {
        return;
    }
    std::memcpy(CarViews.carCode, carCode, 3);
    CarViews.carCode[3] = 0;
    LoadCustomViews();
}
