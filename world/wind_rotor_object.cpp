#include "world/wind_rotor_object.h"

#include <cmath>

#include "core/data_stream.h"
#include "core/shell_globals.h"
#include "render/object_bounds.h"
#include "world/object_holder.h"
#include "world/scenery_maths.h"
#include "world/world.h"

namespace {

constexpr float FixOne = 65536.0f;
constexpr float StepSeconds = 0.01f;
constexpr float RotorRate = 6956.81f;   // 2/3 radian in 16-bit angle units
constexpr int MaxRotorTicks = 4;

} // namespace

WindRotorObject::WindRotorObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

int WindRotorObject::Read(DataStream *stream, int)
{
    height = stream->ReadFloat();
    unused = stream->ReadU32();
    duplicator = stream->ReadU32();
    if (stream->overrun) {
        return 1;
    }
    if (duplicator != NoRotorDuplicator) {
        const uint32_t count = CurrentWorld ? static_cast<uint32_t>(CurrentWorld->duplicatorCount) : 0;
        if (duplicator >= count) {
            return 1;
        }
        FreeModel();
    }
    return 0;
}

void WindRotorObject::Prepare()
{
    stateFlags |= 4;
    minX = maxX = positionX;
    minY = maxY = positionY;
    radius = 0;
    centreX = centreY = centreZ = 0;
    if (duplicator == NoRotorDuplicator || !CurrentWorld ||
        duplicator >= static_cast<uint32_t>(CurrentWorld->duplicatorCount)) {
        return;
    }
    const Object3D *object = CurrentWorld->duplicators[duplicator].GetObject();
    if (!object) {
        return;
    }
    transform.matrix = FixIdentityMatrix;
    transform.position = {positionX, positionY, RoundToFix(height * FixOne)};
    FixVector localCentre;
    int32_t localRadius = 0;
    ComputeObjectBoundingSphere(object, localCentre, localRadius);
    FixVector centre;
    transform.Apply(localCentre, centre);
    centreX = centre.x;
    centreY = centre.y;
    centreZ = centre.z;
    radius = localRadius;
    rotorAngle = static_cast<uint16_t>(StepFrameRandom());
}

void WindRotorObject::FreeModel()
{
    // Models are built with drawing; until then none is ever made.
    model = nullptr;
}

void WindRotorObject::FaceWind(float baseDirection)
{
    FixRotationZ(transform.matrix, AngleFromRadians(baseDirection));
}

void WindRotorObject::AdvanceRotor(uint32_t raceTick, float baseSpeed)
{
    const int ticks = TakeTicksSince(lastTick, raceTick, MaxRotorTicks);
    const float root = baseSpeed > 0.0f ? std::sqrt(baseSpeed) : 0.0f;
    const int32_t turn = RoundToFix(StepSeconds * RotorRate * root * static_cast<float>(ticks));
    rotorAngle = static_cast<uint16_t>(rotorAngle - static_cast<uint32_t>(turn));
}
