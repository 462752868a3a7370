#include "world/zone_object.h"

#include <cmath>

#include "core/data_stream.h"
#include "core/float_math.h"

ZoneObject::ZoneObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

int ZoneObject::Read(DataStream *stream, int)
{
    flags = stream->ReadU32();
    speedLimit = static_cast<uint8_t>(stream->ReadU8());
    stream->ReadBytes(keptBytes, 3);
    heading = stream->ReadFloat();
    keptFloat = stream->ReadFloat();
    halfLength = stream->ReadFloat();
    halfWidth = stream->ReadFloat();
    if (IsCameraZone()) {
        for (int32_t &value : cameraPosition) {
            value = static_cast<int32_t>(stream->ReadU32());
        }
        cameraValue = stream->ReadFloat();
    }
    return stream->overrun ? 1 : 0;
}

void ZoneObject::Prepare()
{
    minX = maxX = positionX;
    minY = maxY = positionY;
    radius = 0;
    centreX = positionX;
    centreY = positionY;
    centreZ = 0;
    sine = FloatSin(heading);
    cosine = FloatCos(heading);
    reachSquared = halfLength * halfLength + halfWidth * halfWidth;
}

int ZoneObject::ContainsPoint(int32_t x, int32_t y) const
{
    constexpr float MetresPerUnit = 1.0f / 65536.0f;
    const float dx = static_cast<float>(int64_t(x) - positionX) * MetresPerUnit;
    const float dy = static_cast<float>(int64_t(y) - positionY) * MetresPerUnit;
    const float along = dy * sine + dx * cosine;
    const float across = dy * cosine - dx * sine;
    return std::fabs(along) < halfLength && std::fabs(across) < halfWidth;
}
