#pragma once

#include <cstdint>

// The draw list: the transparent and blended things of a frame, collected
// as nodes keyed by depth and drawn from the farthest to the nearest after
// the opaque scene. A fixed pool of nodes forms one unsorted tree and 16
// depth buckets of 256 m each (the last one also takes everything farther),
// each bucket a binary tree, so insertion stays cheap and bounded.

constexpr int DrawListNodeCount = 640;
constexpr int DrawListBucketCount = 16;

struct DrawNode {
    void *payload;   // the caller's
    int32_t key;     // depth, 16.16; larger is farther
    uint32_t kind;   // the caller's
    DrawNode *right; // larger keys
    DrawNode *left;  // smaller or equal keys
};

struct DrawList {
    DrawNode nodes[DrawListNodeCount];
    int used;                            // nodes handed out, in pool order
    int buckets[DrawListBucketCount];    // root node index, -1 empty
    int unsortedRoot;                    // -1 empty
};

extern DrawList TheDrawList;

// Empties the list (every root -1, nothing used); done at the start of each
// world draw.
void ClearDrawList();
// The next free node, already linked into its bucket's tree, or null when
// the pool is used up. The caller fills payload, key and kind and clears
// both children.
DrawNode *InsertDrawNode(int32_t key);
// The same for the unsorted tree (placed as key 0).
DrawNode *InsertDrawNodeUnsorted();
// Links the last handed-out node below the tree rooted at `root` (walking
// left for key <= the node's key, else right) and returns it.
DrawNode *FindDrawInsertPoint(DrawNode *root, DrawNode *pool, int32_t key);
// The bucket of a key: its top byte (arithmetic shift), clamped to 0..15.
int DrawListBucket(int32_t key);

// Visits every node in drawing order: the unsorted tree, then buckets 15
// down to 0; in each tree the right subtree, the node, then the left
// subtree. Nodes come from the largest key to the smallest, equal keys in
// insertion order.
template <typename Visit>
void WalkDrawTree(DrawNode *node, Visit &visit)
{
    while (node != nullptr) {
        WalkDrawTree(node->right, visit);
        visit(*node);
        node = node->left;
    }
}

template <typename Visit>
void WalkDrawList(Visit &&visit)
{
    if (TheDrawList.unsortedRoot >= 0) {
        WalkDrawTree(&TheDrawList.nodes[TheDrawList.unsortedRoot], visit);
    }
    for (int b = DrawListBucketCount - 1; b >= 0; --b) {
        if (TheDrawList.buckets[b] >= 0) {
            WalkDrawTree(&TheDrawList.nodes[TheDrawList.buckets[b]], visit);
        }
    }
}

// A float 3 x 3 matrix in row order.
struct Matrix3 {
    float m[9];
    // out[i] = row i . in; out may not be in.
    static void Transform(const Matrix3 &matrix, const float *in, float *out);
};
