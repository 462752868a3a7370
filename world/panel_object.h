#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "world/world_object.h"

// One vertex of a panel (24 bytes in memory; the file stores the two floats
// in the other order).
struct PanelVertex {
    int32_t height;       // 16.16 metres above the ground
    int32_t lateral;      // 16.16 metres along the panel's lateral axis
    float angle;          // plan angle (radians) of a surface curve leaving the panel
    float slope;          // height slope of a surface curve leaving the panel
    uint8_t tag;          // 1 snap to the smallest lateral, 2 to the largest; non-zero = join vertex
    uint8_t unused[3];
    uint16_t u, v;        // texture coordinates, 65535 = 1 (textured panels)
};
static_assert(sizeof(PanelVertex) == 24, "PanelVertex is 24 bytes");

// One triangle of a panel: three vertex indices and the facing flags.
struct PanelFace {
    uint8_t vertex[3];
    uint8_t flags;        // 0x80 seen from the front, 0x40 from the back (set by Prepare)
};
static_assert(sizeof(PanelFace) == 4, "PanelFace is stored as 4 bytes");

// The farthest a panel vertex may lie from the panel's foot, laterally or in
// height (16.16, 10000 m). A vertex beyond it, or a heading, slope or angle
// that is no number, damages the record: the solids lofted between panels
// negate and sum these values in 32 bits.
constexpr int32_t PanelMaxOffset = 10000 * 65536;

// Panel flag bits.
constexpr uint8_t PanelComposite = 1;
constexpr uint8_t PanelExtraFloat = 2;
constexpr uint8_t PanelTextured = 8;
constexpr uint8_t PanelTransparent = 0x20;
constexpr uint8_t PanelBackFaces = 0x40;
constexpr uint8_t PanelFrontFaces = 0x80;

// An upright plane standing on the ground: the cross-section that solids are
// lofted between, and optionally a drawn polygon. A composite panel takes
// its vertices from the join vertices of two other panels and spans between
// them.
class PanelObject : public HeadedWorldObject {
public:
    PanelObject(int32_t x, int32_t y);

    void Release() override;
    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectPanel; }
    // Reads the sources' stored vertices (composite panels, after
    // ResolveSources) and the world's colour set (textured panels).
    void Prepare() override;

    // Composite panels: turns the two source indices into panel pointers.
    // 0, or non-zero when an index names no panel of the object array.
    int ResolveSources(WorldObject *const *objects, int objectCount);

    // Vertex access by side: side 1 is the panel as stored; any other side is
    // mirrored (index i stands for count - 1 - i; lateral and slope negated).
    // An index outside the vertices reads 0.
    int32_t GetVertexHeight(int side, int i) const;
    int32_t GetVertexLateral(int side, int i) const;
    float GetVertexSlope(int side, int i) const;
    float GetVertexAngle(int side, int i) const;
    int GetVertexTag(int side, int i) const;
    // The vertex's world point (16.16). A composite panel answers from its
    // sources' join vertices; with fewer join vertices than i + 1, point is
    // left unchanged.
    void GetVertexWorldPosition(int side, int i, FixVector &point) const;

    uint8_t flags = 0;
    uint8_t spareByte = 0;
    uint16_t surface = 0;         // TrackColour index
    uint8_t vertexCount = 0;
    uint8_t faceCount = 0;
    uint8_t tagA = 0, tagB = 0;   // composite: the join tags looked for in A and B
    uint16_t panelA = 0, panelB = 0;
    PanelVertex *vertices = nullptr;   // owned
    PanelFace *faces = nullptr;        // owned, null without faces
    PanelObject *sourceA = nullptr;    // composite: set by ResolveSources
    PanelObject *sourceB = nullptr;

private:
    int StoredIndex(int side, int i) const;
};
