#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"
#include "world/world_object.h"

// A tree grown from a handful of numbers: a trunk, a two-way branching tree
// of branches whose directions come from the swaying sphere grid, and leaf
// cards at the tips. Nothing but the numbers is stored: the same seed grows
// the same tree whenever it is measured or drawn.

constexpr uint32_t MaxTreeLeaves = 256;
constexpr int MaxTreeNodes = 2 * MaxTreeLeaves;
// A larger spread could turn a branch off the grid's rings.
constexpr uint32_t MaxTreeSpread = 15;

constexpr uint32_t TreeLeafRing = 1u << 0;        // leaf cards use the leaf ring
constexpr uint32_t TreeRandomLengths = 1u << 1;   // branch lengths vary from 7/14 to 14/14

struct TreeNode {
    FixVector position;   // 16.16
    uint8_t ring, column; // the sphere grid entry the branch follows
};

class TreeObject : public WorldObject {
public:
    // Takes the seed from the next FrameRandom value (the file's replaces it).
    TreeObject(int32_t x, int32_t y);

    // Refuses a leaf count that is 0, not a power of two or above 256.
    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectTree; }
    void Prepare() override;

    // Generates the tree along the sphere grid's current points: mode 0 sets
    // the centre, mode 1 the bounding radius.
    void BuildNodes(int mode);
    // The node sequence from base (16.16) along the 384 grid points given
    // (ring by ring, 16.16 directions): the trunk top, then level by level.
    // Returns the node count, 2 x leaf count - 1.
    int GenerateNodes(const FixVector &base, const FixVector *gridPoints, TreeNode *nodes) const;

    uint32_t leafTexture = 0;      // 0..3
    uint32_t leafRing = 0;
    float trunkLength = 2.5f;      // metres
    float trunkRadius = 0.5f;
    float lengthFactor = 0.8f;
    uint32_t spread = 3;           // grid steps a branch may turn from its parent
    uint32_t seed = 0;
    uint32_t depth = 0;            // log2 of the leaf count
    uint32_t leafCount = 32;       // a power of two, 1..256
    float leafSize = 2.5f, leafHeight = 2.5f;   // metres
    float baseHeight = 0.0f;
    uint32_t unused = 0;
    uint32_t flags = 0;            // TreeLeafRing, TreeRandomLengths
    Colour trunkColour = {150, 80, 40, 0};
    Colour leafColour = {20, 110, 20, 0};
};
