#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"

// The strip mesh builder: track-side meshes that are not stored as object
// files (surfaces of revolution, placed objects made of cross-section
// strips, the world's solids) are generated from rows of profile points.
// Each row is cut into sections; a section between two profile points is
// covered by one track material, and consecutive rows are joined section by
// section into triangles. The result becomes a model node or an object mesh
// part with lit vertex colours.
//
// The builder works in fixed arrays of one global instance: a build stops
// adding rows once 4096 points or triangles would be passed.

struct Material;
struct ModelNode;
class ObjectMeshPart;

constexpr int StripMaxPoints = 4096;
constexpr int StripMaxTriangles = 4096;
constexpr int StripMaxNormals = 3 * StripMaxTriangles;
constexpr int StripMaxSections = 64;
constexpr int StripMaxProfile = 256;
constexpr int StripMaxSplitEdges = 1024;

// A track material as the builder reads it, filled by the world's callers
// from their material records (the render layer does not read those).
struct StripMaterial {
    Material *material;          // the texture material; null: untextured
    const char *textureName;     // kept in model-node lists; may be null
    int textureSize;             // texels across (0: no inset)
    int textureKind;             // 1: the inset is doubled
    uint8_t uRepeat, vRepeat;    // 1/64 of the texture
    uint8_t uOffset, vOffset;
    uint8_t orientation;         // texture orientation row 0..7
    uint8_t subdivisionCount;    // quads across a section (0 taken as 1)
    const int32_t *subdivisions; // subdivisionCount - 1 rising fractions, 16.16
    uint8_t lengthCount;         // texture repeats along the strip count
    uint8_t perTile;             // 1: the texture restarts on every row
    uint8_t radial;              // 1: radial mapping
    float radialAngle;           // radians
    int32_t radialCentre[2];     // x, y, 16.16
    float radialExtent[2];       // metres
    uint8_t patternLength;       // pattern rows
    const uint8_t *pattern;      // patternLength rows of colour-list indices (255 none)
    int colourCount;
    const Colour *colours;       // the material's colour list
    Colour colour;               // its own colour (flags: bit 0 unlit, bit 2 up normal)
    uint8_t flags;               // bit 1: drawn by a build without material lists
    uint8_t environment;         // 1: an environment (reflection-mapped) material
    uint8_t upNormal;            // 1: every vertex lit as facing straight up
};

// One section of a row: the material, how its length is measured (0 not,
// 1 the U repeat scales with it, 2 it also keeps the far end's U), the
// smoothing key of its normals, and its first and last profile point.
struct StripSection {
    uint16_t material;
    uint8_t lengthMode;
    uint8_t smoothingKey;
    uint16_t first;
    uint16_t last;
};

// Build flags.
constexpr uint32_t StripMaterialLists = 1;   // sections take their track materials' lists
constexpr uint32_t StripFixedLengths = 2;    // lengths are not measured
constexpr uint32_t StripPatternLayout = 4;   // four pattern bytes per quad (the world's layout byte)

struct StripMeshInputs {
    int sectionCount;
    const StripSection *sections;
    int profileCount;                 // points per row
    const StripMaterial *materials;
    int materialCount;
    const float *referenceLengths;    // per section, metres (measured lengths); may be null
    int rowCount;                     // rows the caller will add after the first
    float lengthFactor;               // texture length per segment
    uint32_t flags;
    int lightClass;                   // the lighting value: the class of the lit colours
};

struct StripPoint {
    FixVector position;
    FixVector normal;
    int hasNormal;
    int firstNormal;   // -1 none
    float u, v;
};

struct StripNormalEntry {
    uint8_t key;
    Colour colour;
    FixVector normal;
    int next;          // -1 none
};

struct StripTriangle {
    FixVector faceNormal;
    int points[3];
    int normals[3];
    int list;
    Colour colour;
};

struct StripListEntry {
    uint8_t environment;
    uint8_t upNormal;
    Material *material;
    const char *textureName;
};

struct StripSectionState {
    int list;
    int pointsPerRow;
    int previousFirst;  // the previous row's points of the section
    int currentFirst;   // this row's, joined to the previous row
    int nextFirst;      // this row's, joined to the next row (a per-tile row's second copy)
    int strip;          // rows generated so far
};

class StripMeshBuilder {
public:
    // Slot 0: material lists and the counts each row adds.
    virtual void PrepareSections();
    // Slot 1: the points of one row from profile points (and optionally two
    // normals per section).
    virtual void GeneratePoints(const FixVector *row, const FixVector *normals);
    // Slot 2: a row and its triangles to the previous one; false when the
    // 4096 limit stops it.
    virtual bool GenerateTriangles(const FixVector *row, const FixVector *normals);
    // Slot 3: a row repeating the first row's points.
    virtual void GenerateFlatPoints();
    // Slot 4: the row just made becomes the previous one.
    virtual void LinkSections();
    // Slot 5: false when the triangle is too small to keep.
    virtual bool AddTriangle(int a, int b, int c, const Colour &colour, uint8_t key, int list);
    // Slot 6: an object mesh part of the built mesh, lit by the current view
    // (lightList null) or by four bytes per vertex (ambient r, g, b, flags
    // bit 0 admits the sun). Null when nothing was built.
    virtual ObjectMeshPart *MakeObjectMeshPart(const uint8_t *lightList);
    virtual ~StripMeshBuilder() = default;

    // Starts a build with the first row.
    void Generate(const StripMeshInputs &inputs, const FixVector *row, const FixVector *normals);
    // Adds a row (null: the first row again); false when the limit stops it.
    bool AddRow(const FixVector *row, const FixVector *normals);
    // The built mesh as a node's vertices, triangles and lists (replacing
    // what the node held).
    void MakeModelNode(ModelNode *node);
    // The midpoint of two points, made once per edge.
    int SplitEdge(int a, int b);

    StripMeshInputs inputs{};
    int pointCount = 0;
    int normalCount = 0;
    int triangleCount = 0;
    int listCount = 0;
    int pendingPoints = 0;      // what one row adds
    int pendingTriangles = 0;
    int rowsAdded = 0;
    int stopped = 0;            // 1 once a row was refused
    StripSectionState sections[StripMaxSections];
    StripListEntry lists[StripMaxSections];
    StripPoint points[StripMaxPoints];
    StripNormalEntry normals[StripMaxNormals];
    StripTriangle triangles[StripMaxTriangles];
    FixVector firstRow[StripMaxProfile];
    FixVector firstNormals[2 * StripMaxSections];
    int haveFirstNormals = 0;
    int splitEdges[StripMaxSplitEdges][3];
    int splitCount = 0;

private:
    void AddSectionPoints(int s, const FixVector *row, const FixVector *normals);
    int AddPoint(const FixVector &position, const FixVector *normal, float u, float v);
    float RowV(const StripMaterial &m, int strip, float vRepeat, float vOffset, int copy) const;
    bool DoubledRow(const StripMaterial &m, int strip) const;
    const StripMaterial *SectionMaterial(int s) const;
};

extern StripMeshBuilder TheStripMeshBuilder;

// Which colour word object mesh parts draw with: ObjectMeshLitWord (the
// default) or ObjectMeshAmbientWord. The world sets it per draw.
constexpr int ObjectMeshLitWord = 0;
constexpr int ObjectMeshAmbientWord = 1;
extern int ObjectMeshColourSelector;
