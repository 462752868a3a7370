#pragma once

// Writers of the duplicator table's holders and of placed copies
// (DuplicatorObject records), beside the other world records of
// tools/world_writer.h, plus the 3D objects that tests and the generator
// hold in them.

#include <cstdint>

#include "tools/world_writer.h"
#include "world/duplicator_object.h"
#include "world/object_holder.h"

struct Object3D;

// A placed copy's record after its header (type 4).
struct DuplicatorFields {
    float heading = 0.0f;        // radians
    float pitch = 0.0f;
    float roll = 0.0f;
    float height = 0.0f;         // metres
    uint32_t flags = DuplicatorNone;
    uint16_t duplicator = NoDuplicator;
    uint8_t number = 0;
    uint8_t markerWidth = 0;
};
void WriteDuplicator(WorldWriter &out, int version, const WorldObjectHeader &header, const DuplicatorFields &copy);

// A duplicator holder: kind, three flag bytes, five floats (two zero floats
// more when flag byte 2 has HolderExtraFloats), four bytes, then the held
// object: the 3D object as a root record (kind 0) or the lathe (kind 1).
struct HolderFields {
    uint8_t kind = HolderObject3D;
    uint8_t flags1 = 0, flags2 = 0, flags3 = 0;
    float scale = 1.0f;
    float stiffness = 0.0f;
    float friction = 0.0f;
    float damping = 0.0f;
    float density = 0.0f;
    uint8_t movable = HolderStatic;
    uint8_t placeable = 0;
    uint8_t pitPlace = 0;
    uint8_t spare = 0;
    const Object3D *object = nullptr;   // kind 0
    LatheFields lathe;                  // kind 1
};
void WriteObjectHolder(WorldWriter &out, const HolderFields &holder);

// Sets a surface record of an object: colour, name (at most 10 characters)
// and mapping 0. Start lamps bind the records named "l_red1" .. "l_green".
void SetObjectSurface(Object3D &object, int row, int column, const char *name, uint8_t r, uint8_t g, uint8_t b);

// Fills an initialised object with a box from (-halfX, -halfY, 0) to
// (halfX, halfY, height) in metres: 8 points and, in each of levelCount
// levels (1..4, each 100 m farther than the last), 12 triangles wound
// outward, all of surface column 0. The surface table gets one row of
// surfaceCount columns (named "s0", "s1", ...), with the one texture,
// material and mapping the reader asks for.
void BuildBoxObject(Object3D &object, const char *name, float halfX, float halfY, float height, int levelCount,
                    int surfaceCount);

// A start-lamp gantry: an 8 m wide box of five surface records, four of
// them the lamps "l_red1", "l_red2", "l_red3" (dark red) and greenName
// (dark green; lamps bind without regard to case).
void BuildLampGantry(Object3D &object, const char *greenName);

// A traffic cone on a lathe (0.7 m high, 0.15 m base radius, 8 segments):
// a placeable movable holder of 300 kg/m3 whose one link uses `surface`.
HolderFields ConeHolder(uint8_t movable, uint16_t surface);
