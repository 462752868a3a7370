#pragma once

// Writers of the world file's records: each writes exactly what the matching
// reader in world/ reads, in the form of the given file version. Tests build
// their fixtures with them and the default-data generator writes its track
// with them.
//
// Records are built in memory (WorldWriter); the bytes then open as a memory
// stream for a reader, or go to a file opened for writing.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/colour.h"
#include "core/containers.h"
#include "vehicle/solid_link.h"
#include "world/panel_object.h"
#include "world/world_object.h"

struct DataStream;
struct TrackColour;

// Little-endian bytes of world records.
class WorldWriter {
public:
    WorldWriter &U8(uint32_t value);
    WorldWriter &U16(uint32_t value);
    WorldWriter &U32(uint32_t value);
    WorldWriter &F32(float value);
    WorldWriter &Bytes(const void *data, size_t n);
    // A zero-padded 16-byte name (at most 15 characters are kept).
    WorldWriter &Name(const char *text);
    WorldWriter &Rgba(const Colour &colour);

    // Opens a copy of the bytes as a memory stream behind a world-file header
    // of this version. The writer must outlive the stream; bytes written after
    // the call are not seen by it.
    void Open(DataStream &stream, int version);
    // Appends the bytes to a stream opened for writing (OpenWrite).
    void WriteTo(DataStream &stream) const;

    std::vector<uint8_t> bytes;

private:
    std::vector<uint8_t> image;
};

// A header of that type at (x, y) in 16.16: flags 0, no reach radius, every
// configuration.
WorldObjectHeader ObjectHeaderAt(int type, int32_t x, int32_t y);

// The object header in the version's form. Version 251 and later write the
// config mask when flags bit 7 is set. Older versions write one u16 mask
// word: the low half of the mask when flags bit 0 is set, else the high
// half; with flags bit 7 the reach radius and three spare bytes follow.
// Solids (type 9) store no position.
void WriteObjectHeader(WorldWriter &out, int version, const WorldObjectHeader &header);

// A colour set: u16 count, the form byte, a spare byte, then the records in
// the new form (newForm non-zero) or the old one. The record counts
// (paletteCount, columnCount, rowCount) say how many entries of the
// record's arrays are written; a null array writes zeros. The old form has
// no bump amplitude and shift; it stores the form in the high half of its
// flags word.
void WriteColourSet(WorldWriter &out, const TrackColour *records, int count, int newForm);

// One link: 8 bytes, or 16 when the two curves are equal (the equal curve
// bytes then announce the two u32 that follow).
void WriteSolidLink(WorldWriter &out, const SolidLink &link);

// A panel record (type 8). At most 255 vertices and faces are written.
struct PanelFields {
    uint8_t flags = 0;            // PanelComposite, PanelExtraFloat (writes extraFloat), PanelTextured
    uint8_t spareByte = 0;
    uint16_t surface = 0;         // TrackColour index
    float extraFloat = 0.0f;
    float heading = 0.0f;         // radians; the lateral axis is (cos, sin)
    uint8_t tagA = 0, tagB = 0;
    uint16_t panelA = 0, panelB = 0;   // composite panels: source object indices
    std::vector<PanelVertex> vertices; // height, lateral, slope, angle and tag are written
    std::vector<PanelFace> faces;
};
void WritePanel(WorldWriter &out, int version, const WorldObjectHeader &header, const PanelFields &panel);

// One curve of a solid, in the file's order of fields.
struct SolidCurveFields {
    uint8_t kind = 2;             // 0 curved, 1 straight in plan, 2 straight
    uint8_t flags = 0;
    uint8_t vertexA = 0, vertexB = 0;
    float slopeA = 0.0f, angleA = 0.0f, slopeB = 0.0f, angleB = 0.0f;
};

// A solid record (type 9; the header's position is not written). At most
// 255 curves and links are written. Versions before 251 store the
// checkpoint mask as one u16 word with two flag bits: the low half of the
// mask when it is non-zero, else the high half, with bit 0 set for a
// non-zero low half and bit 1 for a non-zero high half.
struct SolidFields {
    uint16_t flags = 1;           // SolidCollides
    uint16_t sideA = 1, sideB = 1;
    uint16_t indexA = 0, indexB = 0;   // panel object indices
    uint8_t checkpoint = 0;       // 0: none (version 251 and later then write no mask)
    uint8_t spareByte = 0;
    uint32_t checkpointMask = ConfigMaskAll;
    std::vector<SolidCurveFields> curves;
    std::vector<SolidLink> links;
    float segmentLength = 3.0f;   // metres
    float textureScale = 1.0f;
};
void WriteSolid(WorldWriter &out, int version, const WorldObjectHeader &header, const SolidFields &solid);

// A zone record (type 7); the camera block follows for camera zones.
struct ZoneFields {
    uint32_t flags = 0;           // bit 0 camera zone
    uint8_t speedLimit = 80;
    uint8_t keptBytes[3] = {};
    float heading = 0.0f;
    float keptFloat = 0.0f;
    float halfLength = 5.0f;
    float halfWidth = 30.0f;
    int32_t cameraPosition[3] = {};
    float cameraValue = 0.0f;
};
void WriteZone(WorldWriter &out, int version, const WorldObjectHeader &header, const ZoneFields &zone);

// A television camera record (type 10): 20 bytes, 32 with the zoom range
// (flags bit 2).
struct CameraFields {
    uint32_t flags = 0;           // bit 0 fixed, bit 1 following, bit 2 zoom range
    float height = 0.0f;
    float heading = 0.0f;
    float pitch = 0.0f;
    float zoom = 1.0f;
    float farDistance = 100.0f;
    float nearZoom = 1.0f;
    float nearDistance = 10.0f;
};
void WriteCamera(WorldWriter &out, int version, const WorldObjectHeader &header, const CameraFields &camera);

// A start grid record (type 15); the curve end follows for curved grids
// (flags bit 1).
struct StartGridFields {
    uint32_t flags = 0;           // bit 0 mirrored columns, bit 1 curved
    uint8_t columns = 2, rows = 16, curveRow = 0, spareByte = 0;
    float heading = 0.0f;
    float height = 0.0f;
    float width = 10.0f;
    float rowSpacing = 16.0f;
    float columnStagger = 8.0f;
    int32_t curveEndX = 0, curveEndY = 0;   // 16.16
    float curveEndHeading = 0.0f;
};
void WriteStartGrid(WorldWriter &out, int version, const WorldObjectHeader &header, const StartGridFields &grid);

// The lighting record of one lit-mesh object under one light scheme. The
// levels' lists are written only when flags bit 0 is set; list3Extra only
// when list 3 is not empty.
struct LightingFields {
    struct Level {
        std::vector<uint32_t> list1, list2, list3;
        uint32_t list3Extra = 0;
    };
    uint32_t flags = 0;
    Level levels[4];
    float value = 0.0f;
};
void WriteLighting(WorldWriter &out, const LightingFields &lighting);

// A lathe object: name, segments, a spare word, the (radius, height)
// profile points and the links between them.
struct LatheFields {
    const char *name = "";
    int32_t segments = 5;
    std::vector<FloatPair> points;
    std::vector<SolidLink> links;
};
void WriteLathe(WorldWriter &out, const LatheFields &lathe);

// A straight, flat road: two panels and the solid between them.
struct RoadStrip {
    int32_t startX = 0, startY = 0;   // 16.16 ends of the centre line
    int32_t endX = 0, endY = 0;
    int32_t height = 0;               // 16.16 above the ground
    int32_t width = 10 << 16;         // 16.16
    uint16_t surface = 0;             // TrackColour index
    int firstIndex = 0;               // object index that panel A will have; panel B has the next
    float segmentLength = 3.0f;
};

// Writes panel A at the start, panel B at the end and then the solid (three
// objects, in this order). Both panels face into the road and hold the two
// edges, left edge first; the solid's link runs from the left edge curve
// to the right one, which is the order that makes the road's surface face
// up: probes from above hit it, probes from below pass through.
void WriteRoadStrip(WorldWriter &out, int version, const RoadStrip &strip);
