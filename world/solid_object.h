#pragma once

#include <cstdint>

#include "vehicle/solid_link.h"
#include "world/lit_mesh_object.h"

class PanelObject;

// The most curves a solid may have: the mesh and contact passes hold room
// for this many.
constexpr int MaxSolidCurves = 64;

// Solid flag bits.
constexpr uint16_t SolidCollides = 1;          // takes part in contact lists
constexpr uint16_t SolidCopyPanelShape = 2;    // panel A's shape is copied onto panel B
constexpr uint16_t SolidUnsortedAlpha = 0x20;

// Curve flag bits.
constexpr uint8_t CurveSmooth = 1;
constexpr uint8_t CurveDegenerate = 2;

// The configuration bit that lap timing sets for the current configuration:
// a solid's contact writes its checkpoint number only when its checkpoint
// mask holds this bit.
extern uint32_t CheckpointConfigBit;

// One curve of a solid: from a vertex of panel A to a vertex of panel B.
struct SolidCurve {
    uint8_t kind;          // 0 curved in plan and height, 1 straight in plan, 2 straight
    uint8_t flags;         // CurveSmooth, CurveDegenerate
    uint8_t vertexA, vertexB;
    int32_t lateral[4];    // 16.16 cubic of u(t), the fraction of the width from the chosen edge
    int32_t height[4];     // 16.16 cubic of h(t) in metres
    float slopeA, slopeB;  // added to the panels' height slopes
    float angleA, angleB;  // added to the panels' plan angles (radians)
};

// What ResolvePanels reports.
enum SolidResolveError {
    SolidResolveOk = 0,
    SolidBadPanelIndex,    // a panel index names no panel of the world
    SolidBadVertexIndex,   // a curve names a vertex beyond its panel's vertices
    SolidBadSurface,       // a link names a surface beyond the colour set
};

// A section of drivable surface lofted between two panels: each curve joins
// a vertex of panel A to one of panel B, each link is the strip between two
// curves with one surface. Its detail levels are the lit mesh's levels
// (segment count and distance).
class SolidObject : public LitMeshObject {
public:
    SolidObject();

    void Release() override;
    int IsPointInside(int32_t x, int32_t y, int32_t margin) override;
    // Links are hit from the side their cross-section normal points to only.
    // Surfaces come from CurrentWorld's colour set; bumps from its bump map
    // and curve.
    int Contact(const FixVector &endPoint, const FixVector &segment, ContactProbe &probe, uint32_t *bumpKind,
                int32_t *bumpWeight, int32_t *bumpHeight) override;
    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectSolid; }
    // Needs ResolvePanels and prepared panels.
    void Prepare() override;
    int IsSolid() const override { return flags & SolidCollides; }
    // Modes 3 (bounds, z range, centre) and 4 (radius) measure the surface
    // with the rows the mesh is built from; the mesh modes come with drawing.
    void Build(int level, int mode) override;

    // Turns the two panel indices into panel pointers and checks that every
    // curve's vertices and every link's surface exist. 0, or a
    // SolidResolveError; the loader then fails the load.
    int ResolvePanels(WorldObject *const *objects, int objectCount, int colourCount);

    // The surface point of a curve at t (16.16): plan point and height.
    void EvaluateCurve(const SolidCurve &curve, int32_t t, FixVector &point) const;

    uint16_t flags = 0;
    uint16_t sideA = 1, sideB = 1;      // 1 as stored, else mirrored
    uint16_t indexA = 0, indexB = 0;    // panel indices in the world's object array
    uint8_t checkpoint = 0;             // 0 = not a checkpoint
    uint8_t spareByte = 0;
    uint8_t curveCount = 0;
    uint8_t linkCount = 0;
    uint32_t checkpointMask = ConfigMaskAll;
    SolidCurve *curves = nullptr;       // owned
    SolidLink *links = nullptr;         // owned
    float segmentLength = 0.0f;         // metres
    float textureScale = 0.0f;
    PanelObject *panelA = nullptr;
    PanelObject *panelB = nullptr;
    FixVector cornerA = {}, cornerB = {};        // ends of the chosen long edge
    FixVector directionA = {}, directionB = {};  // unit lateral directions (B negated)
    FixVector widthA = {}, widthB = {};          // cross vectors at the two ends
    int32_t meanLength = 0;                       // 16.16
    int32_t minZ = 0, maxZ = 0;                   // 16.16 height range (Build mode 3)
};
