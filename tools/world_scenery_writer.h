#pragma once

// Writers of the scenery records of the world file: wind rotors (type 5),
// figures (6), trees (11), crowds (13) and flags (14). Each writes the object
// header in the version's form (the header's type is replaced by the kind's)
// and then exactly the record that the kind's reader takes back; the records
// are the same in every version.

#include <cstdint>

#include "core/colour.h"
#include "tools/world_writer.h"
#include "world/world_object.h"

struct WindRotorFields {
    float height = 0.0f;
    uint32_t unused = 0;
    uint32_t duplicator = 0xFFFFFFFFu;   // none
};
void WriteWindRotor(WorldWriter &out, int version, const WorldObjectHeader &header, const WindRotorFields &rotor);

struct FigureFields {
    uint32_t flags = 0;
    float heading = 0.0f;
    float height = 0.0f;
};
void WriteFigure(WorldWriter &out, int version, const WorldObjectHeader &header, const FigureFields &figure);

struct TreeFields {
    uint32_t leafTexture = 0;
    uint32_t leafRing = 0;
    float trunkLength = 2.5f;
    float trunkRadius = 0.5f;
    float lengthFactor = 0.8f;
    uint32_t spread = 3;
    uint32_t seed = 0;
    uint32_t leafCount = 32;
    float leafSize = 2.5f, leafHeight = 2.5f;
    float baseHeight = 0.0f;
    uint32_t unused = 0;
    uint32_t flags = 0;
    Colour trunkColour = {150, 80, 40, 0};
    Colour leafColour = {20, 110, 20, 0};
};
void WriteTree(WorldWriter &out, int version, const WorldObjectHeader &header, const TreeFields &tree);

struct CrowdFields {
    uint32_t flags = 0;
    uint32_t poseGroup = 0;
    float heading = 0.0f;
    float width = 5.0f;
    float heightStart = 0.0f, heightEnd = 0.0f;
    float sizeStart = 0.5f, sizeEnd = 0.5f;
};
void WriteCrowd(WorldWriter &out, int version, const WorldObjectHeader &header, const CrowdFields &crowd);

struct FlagFields {
    uint32_t flags = 0;
    float poleHeight = 2.0f;
    float width = 2.0f;
    float height = 1.5f;
    uint16_t surface = 0;                // TrackColour index
};
void WriteFlag(WorldWriter &out, int version, const WorldObjectHeader &header, const FlagFields &flag);
