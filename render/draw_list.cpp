#include "render/draw_list.h"

DrawList TheDrawList = {{}, 0, {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}, -1};

void ClearDrawList()
{
    for (int &root : TheDrawList.buckets) {
        root = -1;
    }
    TheDrawList.unsortedRoot = -1;
    TheDrawList.used = 0;
}

int DrawListBucket(int32_t key)
{
    const int32_t bucket = key >> 24;  // arithmetic: negative keys stay negative
    if (bucket < 0) {
        return 0;
    }
    return bucket > DrawListBucketCount - 1 ? DrawListBucketCount - 1 : static_cast<int>(bucket);
}

DrawNode *FindDrawInsertPoint(DrawNode *root, DrawNode *pool, int32_t key)
{
    DrawNode *added = &pool[TheDrawList.used - 1];
    DrawNode *node = root;
    for (;;) {
        DrawNode **child = key <= node->key ? &node->left : &node->right;
        if (*child == nullptr) {
            *child = added;
            return added;
        }
        node = *child;
    }
}

namespace {

DrawNode *InsertInto(int *root, int32_t key)
{
    DrawList &list = TheDrawList;
    if (list.used >= DrawListNodeCount) {
        return nullptr;
    }
    DrawNode *node = &list.nodes[list.used];
    node->left = nullptr;
    node->right = nullptr;
    if (*root < 0) {
        *root = list.used++;
        return node;
    }
    ++list.used;
    return FindDrawInsertPoint(&list.nodes[*root], list.nodes, key);
}

}  // namespace

DrawNode *InsertDrawNode(int32_t key)
{
    return InsertInto(&TheDrawList.buckets[DrawListBucket(key)], key);
}

DrawNode *InsertDrawNodeUnsorted()
{
    return InsertInto(&TheDrawList.unsortedRoot, 0);
}

void Matrix3::Transform(const Matrix3 &matrix, const float *in, float *out)
{
    for (int i = 0; i < 3; ++i) {
        const float *row = &matrix.m[i * 3];
        out[i] = row[0] * in[0] + row[1] * in[1] + row[2] * in[2];
    }
}
