#include "world/world_object.h"

#include "core/data_stream.h"
#include "world/camera_object.h"
#include "world/duplicator_object.h"
#include "world/figure_object.h"
#include "world/flag_object.h"
#include "world/panel_object.h"
#include "world/solid_object.h"
#include "world/start_grid_object.h"
#include "world/tree_object.h"
#include "world/wind_rotor_object.h"
#include "world/zone_object.h"

int LoadingWorldObjects = 0;

int ConfigMaskHas(uint32_t mask, int config, int reversed)
{
    if (config < 0 || config > MaxConfigNumber) {
        return 0;
    }
    const int bit = reversed ? config + 16 : config;
    return (mask >> bit) & 1u;
}

WorldObject::WorldObject() = default;

int WorldObject::IsPointInside(int32_t, int32_t, int32_t)
{
    return 0;
}

int WorldObject::Contact(const FixVector &, const FixVector &, ContactProbe &, uint32_t *, int32_t *, int32_t *)
{
    return 0;
}

void WorldObject::GetPosition(int32_t position[3], float &heading) const
{
    position[0] = positionX;
    position[1] = positionY;
    position[2] = 0;
    heading = 0.0f;
}

void WorldObject::SetPosition(const int32_t position[3], float)
{
    positionX = position[0];
    positionY = position[1];
}

void HeadedWorldObject::GetPosition(int32_t position[3], float &outHeading) const
{
    WorldObject::GetPosition(position, outHeading);
    outHeading = heading;
}

void HeadedWorldObject::SetPosition(const int32_t position[3], float newHeading)
{
    WorldObject::SetPosition(position, newHeading);
    heading = newHeading;
}

int ReadWorldObjectHeader(DataStream *stream, int version, WorldObjectHeader &header)
{
    header.type = stream->ReadU8();
    header.flags = static_cast<uint8_t>(stream->ReadU8());
    if (version >= 251) {
        header.reachRadius = static_cast<uint8_t>(stream->ReadU8());
        stream->ReadU8();
        header.configMask = (header.flags & 0x80) ? (stream->ReadU32() | ConfigMaskAlways) : ConfigMaskAll;
    } else {
        const uint32_t word = static_cast<uint16_t>(stream->ReadU16());
        header.configMask = ConfigMaskAlways;
        if (header.flags & 1) {
            header.configMask |= word;
        }
        if (header.flags & 2) {
            header.configMask |= word << 16;
        }
        header.reachRadius = 0;
        if (header.flags & 0x80) {
            header.reachRadius = static_cast<uint8_t>(stream->ReadU8());
            uint8_t unused[3];
            stream->ReadBytes(unused, 3);
        }
    }
    header.x = 0;
    header.y = 0;
    if (header.type != ObjectSolid) {
        header.x = static_cast<int32_t>(stream->ReadU32());
        header.y = static_cast<int32_t>(stream->ReadU32());
    }
    return stream->overrun ? 1 : 0;
}

namespace {

// The kind named by a type code, constructed at the header's position; null
// for a code that names no kind.
WorldObject *NewWorldObject(int type, int32_t x, int32_t y)
{
    switch (type) {
    case ObjectDuplicator:
        return new DuplicatorObject(x, y);
    case ObjectWindRotor:
        return new WindRotorObject(x, y);
    case ObjectFigure:
        return new FigureObject(x, y);
    case ObjectZone:
        return new ZoneObject(x, y);
    case ObjectPanel:
        return new PanelObject(x, y);
    case ObjectSolid:
        return new SolidObject();
    case ObjectCamera:
        return new CameraObject(x, y);
    case ObjectTree:
        return new TreeObject(x, y);
    case ObjectCrowd:
        return new CrowdObject(x, y);
    case ObjectFlag:
        return new FlagObject(x, y);
    case ObjectStartGrid:
        return new StartGridObject(x, y);
    default:
        return nullptr;
    }
}

} // namespace

WorldObjectResult CreateWorldObject(DataStream *stream, int version)
{
    WorldObjectHeader header;
    if (ReadWorldObjectHeader(stream, version, header) != 0) {
        return {nullptr, WorldObjectTruncated, header.type};
    }
    WorldObject *object = NewWorldObject(header.type, header.x, header.y);
    if (!object) {
        return {nullptr, WorldObjectUnknownType, header.type};
    }
    object->reachRadius = header.reachRadius;
    object->configMask = header.configMask;
    object->stateFlags = header.flags & 4;
    object->spare[0] = 0;
    object->spare[1] = 0;
    if (object->Read(stream, version) != 0 || stream->overrun) {
        object->Release();
        delete object;
        return {nullptr, WorldObjectBadRecord, header.type};
    }
    return {object, WorldObjectOk, header.type};
}
